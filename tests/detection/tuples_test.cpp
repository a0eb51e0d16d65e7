// The four tuple detectors: a differential check against the literal model
// over random tuple series, a brute-force minimum on tiny series, the listed
// cases (grouping, phases, ties, one-etalon tuples, debugging reports), the
// mended faults, and bad input.
#include <algorithm>
#include <climits>
#include <functional>
#include <random>
#include <sstream>

#include "detection/detection.h"
#include "reference.h"
#include "support/fixtures.h"
#include "tuples_reference.h"

namespace {

using Tuples = std::vector<std::vector<int32_t>>;
using tuples_reference::Outcome;

enum Op { kDetectUnfixed, kRecognizeUnfixed, kDetectFixed, kRecognizeFixed };
const char* const kOpNames[] = {"detectUnfixedTuples", "recognizeUnfixedTuples", "detectFixedTuples",
                                "recognizeFixedTuples"};
constexpr const char* kReportCaption = " About TuplesDetection ";

std::string describe(const Outcome& o)
{
    std::ostringstream s;
    s << "value " << o.value << ", recognized " << o.recognized << ", quan " << o.quanPulses << ", seeking "
      << o.seekingPulses << "\n detected:";
    for (const auto& p : o.detected)
        s << " " << p.position << "(" << p.number << ")[" << p.first << " " << p.last << "]";
    s << "\n tuples:";
    for (const auto& [first, last] : o.tuples)
        s << " " << first << "-" << last;
    for (const auto& c : o.chains) {
        s << "\n chain " << c.cost << ":";
        for (const auto& p : c.pulses)
            s << " " << p.position << "(" << p.number << ")";
    }
    for (const auto& r : o.reports)
        s << "\n report: " << r;
    return s.str();
}

} // namespace

namespace tuples_reference {
// How failed comparisons show an outcome.
void PrintTo(const Outcome& o, std::ostream* os)
{
    *os << describe(o);
}
} // namespace tuples_reference

namespace {

class TupleDetectors : public FreshStart {
protected:
    SeriesHeader* h = nullptr;
    ChainsHeader* chains = nullptr;
    std::vector<uint16_t> sequence = std::vector<uint16_t>(2000, 1);
    int32_t bDebugRepeat = 0;

    void TearDown() override
    {
        freeSeriesHeader(h);
        freeChainsHeader(hWnd, chains);
    }

    // A tuple series: the stored subsets, the chosen one placed by `employment`
    // from `init`, K pulses (0: a random admissible count), noise.
    void build(int32_t N, uint16_t q, uint16_t Tmin, uint16_t Tmax, uint16_t K, const Tuples& stored, int chosen,
               uint16_t employment, uint16_t init, int16_t level, int16_t noise)
    {
        h = getCutOffSeriesHeader(hWnd, 20, q, Tmin, Tmax, N, h);
        ASSERT_NE(h, nullptr);
        std::vector<int32_t> sizes;
        std::vector<const int32_t*> rows;
        int32_t longest = 1;
        for (const auto& t : stored) {
            sizes.push_back(static_cast<int32_t>(t.size()));
            rows.push_back(t.data());
            longest = std::max(longest, static_cast<int32_t>(t.size()));
        }
        ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes.data(), rows.data(),
                                                      static_cast<int32_t>(stored.size()),
                                                      static_cast<int32_t>(stored.size()), longest, chosen,
                                                      employment, init, h),
                  1);
        if (K == 0)
            h = getRandomCountSeries(hWnd, 20, alphabet, q, Tmin, Tmax, N, 0, sequence.data(), 128, level, h, streams);
        else
            h = getCutOffSeries(hWnd, 20, alphabet, q, Tmin, Tmax, N, K, sequence.data(), 128, level, h, streams);
        ASSERT_NE(h, nullptr);
        ASSERT_NE(h->lpPulsesList[0], nullptr);
        addNoise(h, noise, streams);
    }

    void makeChains(uint16_t room) { chains = getChainsHeader(hWnd, room, h->wPulsesCapacity, chains); }

    int32_t run(Op op, const Tuples& tuples, uint16_t mode, uint16_t Tmin, uint16_t Tmax, uint16_t level)
    {
        std::vector<int32_t> sizes;
        std::vector<const int32_t*> rows;
        for (const auto& t : tuples) {
            sizes.push_back(static_cast<int32_t>(t.size()));
            rows.push_back(t.data());
        }
        const int32_t count = static_cast<int32_t>(tuples.size());
        const int32_t a = count > 0 ? sizes[0] : 0;
        const int32_t* tuple = count > 0 ? rows[0] : nullptr;
        switch (op) {
        case kDetectUnfixed:
            return detectUnfixedTuples(hWnd, alphabet, a, tuple, mode, Tmin, Tmax, level, bDebugRepeat, chains, h);
        case kRecognizeUnfixed:
            return recognizeUnfixedTuples(hWnd, alphabet, sizes.data(), rows.data(), count, mode, Tmin, Tmax, level,
                                          bDebugRepeat, chains, h);
        case kDetectFixed:
            return detectFixedTuples(hWnd, alphabet, a, tuple, mode, Tmin, Tmax, level, bDebugRepeat, chains, h);
        case kRecognizeFixed:
            return recognizeFixedTuples(hWnd, alphabet, sizes.data(), rows.data(), count, mode, Tmin, Tmax, level,
                                        bDebugRepeat, chains, h);
        }
        return -1;
    }

    // What an operation left in the series, the chains header and the boxes.
    Outcome outcome(Op op, int32_t value) const
    {
        Outcome out;
        out.value = value;
        for (int i = 0; i < h->wDetectedQuantity; i++)
            out.detected.push_back({h->lpDetectedPositions[i], h->lpDetectedNumbers[i], h->lpDetectedCutBegin[i],
                                    h->lpDetectedCutEnd[i]});
        for (int i = 0; i < h->wDetectedTuples; i++)
            out.tuples.push_back({h->lpTupleFirst[i], h->lpTupleLast[i]});
        out.recognized = (op == kRecognizeUnfixed || op == kRecognizeFixed) ? h->wRecognizedTuple : 0;
        for (int k = 0; k < chains->wPretenders; k++) {
            reference::Chain chain{chains->distance[k], {}};
            for (int i = 0; i < chains->pulsesQuantity[k]; i++)
                chain.pulses.push_back({chains->positionsList[k][i], chains->pulsesList[k][i],
                                        chains->firstSamplesList[k][i], chains->lastSamplesList[k][i]});
            out.chains.push_back(chain);
        }
        out.quanPulses = chains->wQuanPulses;
        out.seekingPulses = chains->wSeekingPulsesQuantity;
        for (const MessageRecord& m : boxes.messages())
            out.reports.push_back(m.caption == kReportCaption ? m.text : "[" + m.caption + "] " + m.text);
        return out;
    }

    Outcome model(Op op, const Tuples& tuples, int mode, int Tmin, int Tmax, int level, bool debug) const
    {
        const tuples_reference::Input in{alphabet, tuples, mode, Tmin, Tmax, level, chains->wMaxSize, debug, h};
        switch (op) {
        case kDetectUnfixed: return tuples_reference::detectUnfixed(in);
        case kRecognizeUnfixed: return tuples_reference::recognizeUnfixed(in);
        case kDetectFixed: return tuples_reference::detectFixed(in);
        case kRecognizeFixed: return tuples_reference::recognizeFixed(in);
        }
        return {};
    }
};

/*---- Differential check against the literal model ----*/

TEST_F(TupleDetectors, EveryTupleOperationAgreesWithTheLiteralModelOnRandomTupleSeries)
{
    std::mt19937 random(20261208);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    const int16_t levels[] = {100, 75};
    int compared = 0, reported = 0, recognitions = 0, longTuples = 0, empty = 0, shifted = 0, offsets = 0;
    for (int trial = 0; trial < 400; trial++) {
        const bool longSeries = trial % 50 == 7;
        const int n = longSeries ? 20 : pick(3, 7);
        buildAlphabet(128, 20, static_cast<uint16_t>(n));
        const bool unfixedType = trial % 2 == 1; // type 40, else type 36
        const int16_t making = levels[pick(0, 1)];
        const int16_t processing = longSeries ? 100 : levels[pick(0, 1)];
        const bool fewPulses = trial % 7 == 2; // room for fewer pulses than some tuples hold
        int Tmin = pick(n, 3 * n), Tmax = Tmin + pick(0, 4 * n);
        const int L = longSeries ? 1200 : fewPulses ? pick(n, Tmin * 2 + n) : pick(4 * n, 200);
        if (trial % 6 == 1)
            Tmax = Tmin; // strictly periodic pulses
        if (longSeries) {
            Tmin = 40;
            Tmax = 181;
        }
        const int Mmin = minPulsesFor(L, n, Tmax), Mmax = maxPulsesFor(L, n, Tmin);
        if (Mmin > Mmax)
            continue;
        // Stored subsets over a few etalons, so that tuples share etalons.
        const int palette = pick(2, 20);
        Tuples stored(pick(1, 4));
        for (auto& t : stored) {
            t.resize(pick(fewPulses ? 2 : 1, fewPulses ? 6 : 4));
            for (auto& e : t)
                e = pick(1, palette);
        }
        int chosen = pick(1, static_cast<int>(stored.size()));
        if (static_cast<int>(stored[chosen - 1].size()) > Mmax)
            stored[chosen - 1].resize(Mmax);
        for (int i = 0; i < Mmax; i++)
            sequence[i] = static_cast<uint16_t>(pick(1, 20));
        const uint16_t employment = static_cast<uint16_t>(pick(1, 5));
        build(L, n, Tmin, Tmax, unfixedType ? 0 : pick(Mmin, Mmax), stored, chosen, employment,
              static_cast<uint16_t>(pick(1, 3)), making, static_cast<int16_t>(pick(0, 100)));
        makeChains(static_cast<uint16_t>(pick(1, 6)));
        if (trial % 8 == 5) { // a far offset: matches cost a lot, chains pass 999999
            const int offset = trial % 16 == 5 ? -1000 : 1000;
            for (int i = 0; i < L; i++)
                h->lpNoisyData[i] = static_cast<int16_t>(h->lpNoisyData[i] + offset);
            offsets++;
        }
        if (unfixedType && trial % 9 == 3) {
            h->wMinPulses = static_cast<uint16_t>(h->wMaxPulses + 1); // no admissible count
            empty++;
        }
        int procTmin = Tmin, procTmax = Tmax;
        if (trial % 5 == 4) { // processed with other distance bounds than the series was made with
            procTmax = std::max(Tmin, Tmax - pick(0, Tmax - Tmin));
            procTmin = std::min(procTmax, Tmin + pick(0, 3));
            shifted++;
        }
        for (Op op : {kDetectUnfixed, kRecognizeUnfixed, kDetectFixed, kRecognizeFixed}) {
            const bool unfixedOp = op == kDetectUnfixed || op == kRecognizeUnfixed;
            if (unfixedOp != unfixedType && trial % 3 != 0)
                continue; // each series mostly goes to the operations of its type
            if (unfixedOp && procTmin > Tmin)
                continue; // a shorter procTmin would allow longer chains than the series holds
            const bool recognition = op == kRecognizeUnfixed || op == kRecognizeFixed;
            const Tuples tuples = recognition ? stored : Tuples{stored[chosen - 1]};
            const uint16_t mode = static_cast<uint16_t>(pick(1, 2));
            const bool debug = unfixedOp && !longSeries && trial % 4 == 0;
            bDebugRepeat = debug ? 1 : 0;
            boxes.clear();
            const Outcome expected = model(op, tuples, mode, procTmin, procTmax, processing, debug);
            const int32_t value = run(op, tuples, mode, static_cast<uint16_t>(procTmin),
                                      static_cast<uint16_t>(procTmax), static_cast<uint16_t>(processing));
            const Outcome got = outcome(op, value);
            ASSERT_EQ(got, expected) << kOpNames[op] << ", trial " << trial << ", L " << L << ", n " << n << ", T "
                                     << procTmin << ".." << procTmax << ", mode " << mode << ", levels " << making
                                     << "/" << processing << "\n got " << describe(got) << "\n expected "
                                     << describe(expected);
            EXPECT_EQ(bDebugRepeat, 0);
            compared++;
            reported += debug;
            recognitions += recognition && got.value > 0;
            for (const auto& t : tuples)
                longTuples += unfixedOp && static_cast<int>(t.size()) > h->wMaxPulses;
        }
    }
    EXPECT_GT(compared, 150);
    EXPECT_GT(reported, 15);
    EXPECT_GT(recognitions, 40);
    EXPECT_GT(longTuples, 3);
    EXPECT_GT(empty, 3);
    EXPECT_GT(shifted, 10);
    EXPECT_GT(offsets, 10);
}

/*---- Brute force on tiny series ----*/

// The literal local match cost of one etalon alone.
int32_t matchCost(const PulseHeader* alphabet, const SeriesHeader* h, int level, int etalon, int position)
{
    const reference::Input in{alphabet, {}, 1, 1, level, 1, h};
    int32_t cost = 0;
    reference::localMatch(in, {static_cast<uint16_t>(etalon)}, position, cost);
    return cost;
}

TEST_F(TupleDetectors, RecognizeFixedTuplesFindsTheCheapestChainOfEveryTupleAndPhaseOnTinySeries)
{
    std::mt19937 random(71);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    int checked = 0;
    for (int trial = 0; trial < 60; trial++) {
        const int n = 3;
        buildAlphabet(128, 20, n);
        const int Tmin = pick(4, 7), Tmax = Tmin + pick(0, 4), level = trial % 2 ? 100 : 75;
        const int L = pick(2 * Tmin + n, 4 * Tmax);
        const int Mmin = minPulsesFor(L, n, Tmax), Mmax = std::min<int>(maxPulsesFor(L, n, Tmin), 4);
        if (Mmin > Mmax)
            continue;
        Tuples stored(pick(1, 3));
        for (auto& t : stored) {
            t.resize(pick(1, 3));
            for (auto& e : t)
                e = pick(1, 6);
        }
        const int M = pick(Mmin, Mmax);
        build(L, n, Tmin, Tmax, static_cast<uint16_t>(M), stored, 1, 4, 1, 100, static_cast<int16_t>(pick(0, 80)));
        makeChains(40);
        const uint16_t mode = static_cast<uint16_t>(pick(1, 2));
        // Every chain of M positions inside the stored ranges, every tuple and phase.
        int32_t least = INT32_MAX;
        std::vector<int> pos(M);
        std::function<void(int, int32_t, const std::vector<int32_t>&, int)> walk =
            [&](int j, int32_t cost, const std::vector<int32_t>& tuple, int phase) {
                if (j == M) {
                    least = std::min(least, cost);
                    return;
                }
                for (int s = h->lpLowBounds[j]; s <= h->lpHighBounds[j]; s++) {
                    if (j > 0 && (s - pos[j - 1] < Tmin || s - pos[j - 1] > Tmax))
                        continue;
                    pos[j] = s;
                    const int e = tuple[(phase + j) % tuple.size()];
                    walk(j + 1, cost + matchCost(alphabet, h, level, e, s), tuple, phase);
                }
            };
        for (const auto& t : stored)
            for (int phase = 0; phase < (mode == 1 ? 1 : static_cast<int>(t.size())); phase++)
                walk(0, 0, t, phase);
        ASSERT_EQ(run(kRecognizeFixed, stored, mode, static_cast<uint16_t>(Tmin), static_cast<uint16_t>(Tmax),
                      static_cast<uint16_t>(level)),
                  h->wRecognizedTuple);
        ASSERT_LT(least, 999999) << "trial " << trial;
        ASSERT_EQ(h->wDetectedQuantity, M);
        ASSERT_GE(chains->wPretenders, 1);
        EXPECT_EQ(chains->distance[0], least) << "trial " << trial;
        int32_t own = 0; // the detected chain costs what it claims
        for (int j = 0; j < M; j++)
            own += matchCost(alphabet, h, level, h->lpDetectedNumbers[j], h->lpDetectedPositions[j]);
        EXPECT_EQ(own, least) << "trial " << trial;
        checked++;
    }
    EXPECT_GT(checked, 30);
}

TEST_F(TupleDetectors, DetectUnfixedTuplesFindsTheCheapestChainThatFollowsTheTupleOnTinySeries)
{
    std::mt19937 random(1208);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    enum { kFirst = 1, kLater = 2, kLast = 4 };
    int checked = 0, found = 0;
    for (int trial = 0; trial < 60; trial++) {
        const int n = 3;
        buildAlphabet(128, 20, n);
        const int Tmin = pick(6, 9), Tmax = Tmin + pick(0, 3), level = trial % 2 ? 100 : 75;
        const int L = pick(Tmax + n, 48);
        if (minPulsesFor(L, n, Tmax) > maxPulsesFor(L, n, Tmin))
            continue;
        Tuples stored{std::vector<int32_t>(pick(1, 4))};
        for (auto& e : stored[0])
            e = pick(1, 6);
        Tuples placed = stored; // the series holds at most Mmax elements of it
        placed[0].resize(std::min<size_t>(placed[0].size(), maxPulsesFor(L, n, Tmin)));
        build(L, n, Tmin, Tmax, 0, placed, 1, static_cast<uint16_t>(pick(1, 5)), 1, 100,
              static_cast<int16_t>(pick(0, 80)));
        makeChains(2);
        const int Mmin = std::max<int>(h->wMinPulses, 1), Mmax = h->wMaxPulses, a = static_cast<int>(stored[0].size());
        std::vector<int> flags(L, 0);
        auto mark = [&](int64_t from, int64_t to, int flag) {
            for (int64_t k = std::max<int64_t>(from, 0); k <= std::min<int64_t>(to, L - n); k++)
                flags[k] |= flag;
        };
        for (int64_t K = Mmin; K <= Mmax; K++) {
            mark(std::max<int64_t>(0, L - Tmax * K), std::min<int64_t>(Tmax - n, L - n - Tmin * (K - 1)), kFirst);
            for (int64_t i = 1; i < K; i++)
                mark(std::max<int64_t>(L - Tmax * (K - i), Tmin * i),
                     std::min<int64_t>(Tmax * (i + 1) - n, L - n - Tmin * (K - 1 - i)), kLater);
            mark(std::max<int64_t>(L - Tmax, Tmin * (K - 1)), std::min<int64_t>(Tmax * K - n, L - n), kLast);
        }
        // Chains begin on a first position with the tuple's first element and
        // go on cyclically (no further than Mmax elements of a longer tuple);
        // a position that may also begin a chain is only continued to from a
        // chain that costs less than nothing and does not end on a later-only
        // position (those are settled after it).
        int32_t least = INT32_MAX;
        std::function<void(int, int, int32_t)> walk = [&](int p, int pulses, int32_t cost) {
            if (flags[p] & kLast)
                least = std::min(least, cost);
            if (a > Mmax && pulses >= Mmax)
                return;
            const int e = stored[0][pulses % a];
            for (int q = p + Tmin; q <= std::min(p + Tmax, L - n); q++) {
                if (!(flags[q] & kLater))
                    continue;
                if ((flags[q] & kFirst) && (cost >= 0 || (flags[p] & (kFirst | kLater)) == kLater))
                    continue;
                walk(q, pulses + 1, cost + matchCost(alphabet, h, level, e, q));
            }
        };
        for (int p = 0; p <= L - n; p++)
            if (flags[p] & kFirst)
                walk(p, 1, matchCost(alphabet, h, level, stored[0][0], p));
        ASSERT_EQ(run(kDetectUnfixed, stored, 1, static_cast<uint16_t>(Tmin), static_cast<uint16_t>(Tmax),
                      static_cast<uint16_t>(level)),
                  1);
        ASSERT_GE(chains->wPretenders, 1);
        if (least == INT32_MAX) {
            EXPECT_GT(chains->distance[0], 9999999) << "trial " << trial;
        } else {
            EXPECT_EQ(chains->distance[0], least) << "trial " << trial;
            int32_t own = 0;
            for (int j = 0; j < h->wDetectedQuantity; j++) {
                EXPECT_EQ(h->lpDetectedNumbers[j], stored[0][j % a]);
                own += matchCost(alphabet, h, level, h->lpDetectedNumbers[j], h->lpDetectedPositions[j]);
            }
            EXPECT_EQ(own, least) << "trial " << trial;
            found++;
        }
        checked++;
    }
    EXPECT_GT(checked, 30);
    EXPECT_GT(found, 20);
}

/*---- The listed cases ----*/

TEST_F(TupleDetectors, DetectUnfixedTuplesWithOneEtalonDetectsAsDetectUnfixedPulses)
{
    for (int trial = 0; trial < 6; trial++) {
        buildAlphabet();
        const int32_t e = 1 + trial * 3;
        build(1200, 20, 40, 181, 0, {{e}}, 1, 4, 1, 100, static_cast<int16_t>(20 + 15 * trial));
        makeChains(10);
        uint16_t list[] = {static_cast<uint16_t>(e)};
        ASSERT_EQ(detectUnfixedPulses(hWnd, alphabet, 1, list, 40, 181, 100, chains, h), 1);
        std::vector<reference::Pulse> pulses;
        for (int i = 0; i < h->wDetectedQuantity; i++)
            pulses.push_back({h->lpDetectedPositions[i], h->lpDetectedNumbers[i], h->lpDetectedCutBegin[i],
                              h->lpDetectedCutEnd[i]});
        const int32_t cost = chains->distance[0];
        ASSERT_GT(pulses.size(), 0u);
        ASSERT_EQ(run(kDetectUnfixed, {{e}}, 1, 40, 181, 100), 1);
        const Outcome got = outcome(kDetectUnfixed, 1);
        EXPECT_EQ(got.detected, pulses) << "etalon " << e;
        ASSERT_EQ(got.chains.size(), 1u);
        EXPECT_EQ(got.chains[0].cost, cost);
        ASSERT_EQ(got.tuples.size(), pulses.size()); // every pulse a tuple of its own
        for (size_t i = 0; i < got.tuples.size(); i++)
            EXPECT_EQ(got.tuples[i], std::make_pair(int(i + 1), int(i + 1)));
    }
}

TEST_F(TupleDetectors, DetectUnfixedTuplesGroupsSevenPulsesOfATupleOfThreeAsThreeThreeOne)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 7, {{2, 7, 4}}, 1, 4, 1, 100, 0); // 2, 7, 4, 2, 7, 4, 2
    makeChains(10);
    ASSERT_EQ(run(kDetectUnfixed, {{2, 7, 4}}, 1, 40, 181, 100), 1);
    ASSERT_EQ(h->wDetectedQuantity, 7);
    const int16_t tuple[] = {2, 7, 4};
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(h->lpDetectedPositions[i], h->lpPositions[i]) << i;
        EXPECT_EQ(h->lpDetectedNumbers[i], tuple[i % 3]) << i;
    }
    EXPECT_EQ(outcome(kDetectUnfixed, 1).tuples, (std::vector<std::pair<int, int>>{{1, 3}, {4, 6}, {7, 7}}));
    EXPECT_EQ(chains->wSeekingPulsesQuantity, 7);
}

TEST_F(TupleDetectors, UnfixedOperationsWithoutAdmissibleCountOfferAChainOfNoPulses)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 0, {{3, 5}, {6}}, 1, 4, 1, 100, 20);
    makeChains(10);
    ASSERT_EQ(run(kDetectUnfixed, {{3, 5}}, 1, 40, 181, 100), 1);
    ASSERT_GT(h->wDetectedQuantity, 0);
    h->wMinPulses = static_cast<uint16_t>(h->wMaxPulses + 1);
    ASSERT_EQ(run(kDetectUnfixed, {{3, 5}}, 1, 40, 181, 100), 1);
    Outcome got = outcome(kDetectUnfixed, 1);
    EXPECT_TRUE(got.detected.empty());
    EXPECT_TRUE(got.tuples.empty());
    ASSERT_EQ(got.chains.size(), 1u);
    EXPECT_EQ(got.chains[0], (reference::Chain{99999999, {}}));
    EXPECT_EQ(got.seekingPulses, 0);
    ASSERT_EQ(run(kRecognizeUnfixed, {{3, 5}, {6}}, 1, 40, 181, 100), 0);
    got = outcome(kRecognizeUnfixed, 0);
    EXPECT_EQ(got.recognized, 0);
    EXPECT_TRUE(got.detected.empty());
    EXPECT_EQ(got.chains, (std::vector<reference::Chain>{{999999999, {}}, {999999999, {}}}));
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(TupleDetectors, UnfixedTupleOperationsShowBothReportsOncePerTupleInADebuggingRun)
{
    buildAlphabet();
    build(3000, 20, 40, 1000, 0, {{3, 5, 8, 9, 2}, {4}}, 1, 4, 1, 100, 20); // first pulses anywhere in 0..980
    makeChains(10);
    const Tuples tuples{{3, 5, 8, 9, 2}, {4}};
    bDebugRepeat = 1;
    const Outcome expected = model(kRecognizeUnfixed, tuples, 1, 40, 1000, 100, true);
    ASSERT_EQ(run(kRecognizeUnfixed, tuples, 1, 40, 1000, 100), expected.value);
    EXPECT_EQ(bDebugRepeat, 0);
    const std::vector<MessageRecord> shown = boxes.messages();
    ASSERT_EQ(shown.size(), 4u); // reports A and B for each tuple
    for (size_t i = 0; i < shown.size(); i++) {
        EXPECT_EQ(shown[i].caption, kReportCaption);
        EXPECT_EQ(shown[i].flags, MB_OK);
        EXPECT_EQ(shown[i].text.rfind(i % 2 ? "omega_minus x omega_tilda: " : "omega_minus - omega_tilda: ", 0), 0u);
        EXPECT_LE(shown[i].text.size(), 4999u); // five layers of marks do not fit: cut, never overrun
        EXPECT_EQ(shown[i].text, expected.reports[i]);
    }
    EXPECT_GT(shown[1].text.size(), 4990u);
    EXPECT_NE(shown[3].text.find("l=1\n "), std::string::npos);
    boxes.clear();
    run(kRecognizeUnfixed, tuples, 1, 40, 181, 100);
    run(kDetectUnfixed, tuples, 1, 40, 181, 100);
    EXPECT_TRUE(boxes.messages().empty()); // one-shot
    bDebugRepeat = 1;
    run(kDetectFixed, tuples, 1, 40, 181, 100);
    EXPECT_EQ(bDebugRepeat, 0);
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(TupleDetectors, DetectFixedTuplesTriesPhaseZeroInModeOneAndEveryPhaseOtherwise)
{
    buildAlphabet();
    build(800, 20, 40, 181, 5, {{3, 5}}, 1, 4, 1, 100, 10); // 3, 5, 3, 5, 3
    makeChains(10);
    ASSERT_EQ(run(kDetectFixed, {{3, 5}}, 1, 40, 181, 100), 1);
    Outcome got = outcome(kDetectFixed, 1);
    ASSERT_EQ(got.detected.size(), 5u);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(got.detected[i].number, i % 2 ? 5 : 3);
    EXPECT_EQ(got.tuples, (std::vector<std::pair<int, int>>{{1, 2}, {3, 4}, {5, 5}}));
    EXPECT_EQ(got.chains.size(), 1u);

    build(800, 20, 40, 181, 5, {{5, 3}}, 1, 4, 1, 100, 10); // 5, 3, 5, 3, 5
    ASSERT_EQ(run(kDetectFixed, {{3, 5}}, 1, 40, 181, 100), 1);
    EXPECT_EQ(h->lpDetectedNumbers[0], 3); // phase 0 forced
    ASSERT_EQ(run(kDetectFixed, {{3, 5}}, 2, 40, 181, 100), 1);
    got = outcome(kDetectFixed, 1);
    ASSERT_EQ(got.detected.size(), 5u);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(got.detected[i].number, i % 2 ? 3 : 5);
        EXPECT_EQ(got.detected[i].position, h->lpPositions[i]);
    }
    EXPECT_EQ(got.tuples, (std::vector<std::pair<int, int>>{{1, 1}, {2, 3}, {4, 5}}));
    ASSERT_EQ(got.chains.size(), 2u); // both phases ranked, the cheaper first
    EXPECT_EQ(got.chains[0].pulses, got.detected);
    EXPECT_EQ(got.seekingPulses, 5);
}

TEST_F(TupleDetectors, TupleOperationsGiveEqualCostsToPhaseZeroAndTheEarlierTuple)
{
    buildAlphabet();
    build(800, 20, 40, 181, 5, {{4}}, 1, 4, 1, 100, 30);
    makeChains(10);
    ASSERT_EQ(run(kDetectFixed, {{4, 4}}, 2, 40, 181, 100), 1);
    EXPECT_EQ(outcome(kDetectFixed, 1).tuples, (std::vector<std::pair<int, int>>{{1, 2}, {3, 4}, {5, 5}}));
    EXPECT_EQ(run(kRecognizeFixed, {{9, 4}, {4, 4}, {4, 4}}, 1, 40, 181, 100), 2);
    EXPECT_EQ(h->wRecognizedTuple, 2);
    EXPECT_EQ(chains->distance[0], chains->distance[1]);
    build(800, 20, 40, 181, 0, {{4}}, 1, 4, 1, 100, 30);
    EXPECT_EQ(run(kRecognizeUnfixed, {{9, 4}, {4}, {4}}, 1, 40, 181, 100), 2);
    EXPECT_EQ(h->wRecognizedTuple, 2);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, h->wDetectedQuantity);
}

TEST_F(TupleDetectors, UnfixedTupleLongerThanMmaxNeverWrapsToItsFirstElement)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 18, {{1}}, 1, 4, 1, 100, 0); // leaves room for 30 pulses
    build(200, 20, 40, 60, 0, {{2, 3, 4, 5}}, 1, 4, 1, 100, 10); // Mmax 5
    ASSERT_EQ(h->wMaxPulses, 5);
    makeChains(10);
    // Processed with half the distance: chains of up to 10 pulses fit.
    const Tuples tuples{{2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(run(kDetectUnfixed, tuples, 1, 20, 60, 100), 1);
    ASSERT_GT(h->wDetectedQuantity, 0);
    EXPECT_LE(h->wDetectedQuantity, 5);
    for (int i = 0; i < h->wDetectedQuantity; i++)
        EXPECT_EQ(h->lpDetectedNumbers[i], tuples[0][i]);
    EXPECT_EQ(h->wDetectedTuples, 1);
    EXPECT_EQ(outcome(kDetectUnfixed, 1), model(kDetectUnfixed, tuples, 1, 20, 60, 100, false));
}

/*---- Mended faults ----*/

TEST_F(TupleDetectors, DetectFixedTuplesWithoutAnyChainDetectsNothing)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 18, {{3, 5}}, 1, 4, 1, 100, 20);
    makeChains(10);
    ASSERT_EQ(run(kDetectFixed, {{3, 5}}, 2, 40, 181, 100), 1);
    ASSERT_EQ(h->wDetectedQuantity, 18);
    // 18 pulses 40 apart cannot reach the end of 1200 samples.
    ASSERT_EQ(run(kDetectFixed, {{3, 5}}, 2, 40, 40, 100), 1);
    const Outcome got = outcome(kDetectFixed, 1);
    EXPECT_TRUE(got.detected.empty());
    EXPECT_TRUE(got.tuples.empty());
    EXPECT_EQ(got.chains, (std::vector<reference::Chain>{{9999999, {}}, {9999999, {}}}));
    EXPECT_EQ(got.seekingPulses, 0);
    EXPECT_EQ(got.quanPulses, 18);
}

TEST_F(TupleDetectors, FixedTupleOperationsReadBackAChainWhoseCostsPass999999)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 8, {{1}}, 1, 4, 1, 100, 0);
    std::fill_n(h->lpNoisyData, 1200, -500); // every rectangle match costs far more than 999999
    const int32_t local = matchCost(alphabet, h, 100, 1, 0);
    ASSERT_GT(local, 999999);
    makeChains(10);
    for (Op op : {kDetectFixed, kRecognizeFixed}) {
        run(op, {{1}}, 1, 40, 181, 100);
        ASSERT_EQ(h->wDetectedQuantity, 8) << kOpNames[op];
        EXPECT_EQ(chains->distance[0], 999999 + local); // every later pulse pays the missing predecessor
        for (int i = 1; i < 8; i++) {
            EXPECT_GE(h->lpDetectedPositions[i] - h->lpDetectedPositions[i - 1], 40);
            EXPECT_LE(h->lpDetectedPositions[i] - h->lpDetectedPositions[i - 1], 181);
        }
    }
}

/*---- Bad input ----*/

TEST_F(TupleDetectors, TupleOperationsGiveAMessageAndAnEmptyResultForBadTuples)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 0, {{3, 5}}, 1, 4, 1, 100, 20);
    makeChains(10);
    struct Case {
        Op op;
        Tuples tuples;
        const char* caption;
        const char* text;
    };
    const Case cases[] = {
        {kDetectUnfixed, {{}}, " detectUnfixedTuples ",
         "Неверно задан wSelectedSubsetLength!\n\nwSelectedSubsetLength: 0 (от 1 до 32767)"},
        {kDetectFixed, {{3, 21}}, " detectFixedTuples ", "Неверно задан selectedSubset!\n\nэлемент 2: 21 (от 1 до 20)"},
        {kRecognizeUnfixed, {{3, 5}, {}}, " recognizeUnfixedTuples ",
         "Неверно задан selectedSubsetArraySize!\n\nкортеж 2: 0 эталонов (от 1 до 32767)"},
        {kRecognizeFixed, {{3}, {0, 5}}, " recognizeFixedTuples ",
         "Неверно задан selectedSubsetArray!\n\nкортеж 2, элемент 1: 0 (от 1 до 20)"},
        {kRecognizeFixed, {}, " recognizeFixedTuples ",
         "Неверно задан wReservedSubsetsUsed!\n\nwReservedSubsetsUsed: 0 (нужен хотя бы один кортеж)"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run(kRecognizeUnfixed, {{3, 5}}, 1, 40, 181, 100), 1);
        ASSERT_GT(h->wDetectedQuantity, 0);
        boxes.clear();
        bDebugRepeat = 1;
        EXPECT_EQ(run(c.op, c.tuples, 1, 40, 181, 100), 0) << c.caption;
        const std::vector<MessageRecord> shown = boxes.messages();
        ASSERT_EQ(shown.size(), 1u) << c.caption;
        EXPECT_EQ(shown[0].caption, c.caption);
        EXPECT_EQ(shown[0].text, c.text);
        EXPECT_EQ(shown[0].flags, MB_OK | MB_ICONWARNING);
        EXPECT_EQ(h->wDetectedQuantity, 0);
        EXPECT_EQ(h->wDetectedTuples, 0);
        if (c.op == kRecognizeUnfixed || c.op == kRecognizeFixed) {
            EXPECT_EQ(h->wRecognizedTuple, 0);
        }
        EXPECT_EQ(chains->wPretenders, 0);
        EXPECT_EQ(bDebugRepeat, 0);
    }
}

TEST_F(TupleDetectors, TupleOperationsLeaveEverythingOnRefusedParametersAndDetectNothingInUnbuiltSeries)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 12, {{3, 5}}, 1, 4, 1, 100, 20);
    makeChains(10);
    ASSERT_EQ(run(kRecognizeFixed, {{3, 5}}, 1, 40, 181, 100), 1);
    const Outcome before = outcome(kRecognizeFixed, 1);
    for (Op op : {kDetectUnfixed, kRecognizeUnfixed, kDetectFixed, kRecognizeFixed}) {
        boxes.clear();
        EXPECT_EQ(run(op, {{3, 5}}, 1, 181, 40, 100), 0);
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_EQ(boxes.messages()[0].text, "Неверно задан wTmin!\n\nwTmin: 181, wTmax: 40 (нужно 1 <= wTmin <= wTmax)");
        boxes.clear();
        EXPECT_EQ(outcome(kRecognizeFixed, 1), before) << kOpNames[op];
    }
    // A series whose construction was refused: nothing detected, no message.
    ASSERT_EQ(getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 1200, 40, sequence.data(), 128, 100, h, streams), h);
    boxes.clear();
    ASSERT_EQ(h->lpPulsesList[0], nullptr);
    EXPECT_EQ(run(kDetectFixed, {{3, 5}}, 1, 40, 181, 100), 1);
    EXPECT_EQ(run(kRecognizeUnfixed, {{3, 5}}, 1, 40, 181, 100), 0);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(h->wDetectedQuantity, 0);
    EXPECT_EQ(h->wDetectedTuples, 0);
    EXPECT_EQ(chains->wPretenders, 0);
    SeriesHeader* kept = h;
    h = nullptr;
    boxes.clear();
    EXPECT_EQ(run(kDetectFixed, {{3, 5}}, 1, 40, 181, 100), 0);
    h = kept;
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Не определен lpSeriesHeader!");
}

} // namespace
