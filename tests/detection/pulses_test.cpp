// The four single-pulse detectors: the listed edge cases, a differential check
// against the literal model over hundreds of random series, a brute-force
// minimum on tiny series, strictly periodic pulses, and bad input.
#include <algorithm>
#include <functional>
#include <random>
#include <sstream>

#include "detection/detection.h"
#include "detection/layers.h"
#include "detection/matchkernels.h"
#include "reference.h"
#include "support/fixtures.h"
#include "support/targets.h"

namespace {

using Detector = int32_t (*)(HWND, PulseHeader*, uint16_t, uint16_t*, uint16_t, uint16_t, uint16_t, ChainsHeader*,
                             SeriesHeader*);
using Model = reference::Outcome (*)(const reference::Input&);

// What a detector left in the series and the chains header, as the model states it.
reference::Outcome outcomeOf(int32_t value, const SeriesHeader* h, const ChainsHeader* c)
{
    reference::Outcome out;
    out.value = value;
    for (int i = 0; i < h->wDetectedQuantity; i++)
        out.detected.push_back({h->lpDetectedPositions[i], h->lpDetectedNumbers[i], h->lpDetectedCutBegin[i],
                                h->lpDetectedCutEnd[i]});
    for (int k = 0; k < c->wPretenders; k++) {
        reference::Chain chain{c->distance[k], {}};
        for (int i = 0; i < c->pulsesQuantity[k]; i++)
            chain.pulses.push_back({c->positionsList[k][i], c->pulsesList[k][i], c->firstSamplesList[k][i],
                                    c->lastSamplesList[k][i]});
        out.chains.push_back(chain);
    }
    out.quanPulses = c->wQuanPulses;
    out.seekingPulses = c->wSeekingPulsesQuantity;
    return out;
}

std::string describe(const reference::Outcome& o)
{
    std::ostringstream s;
    s << "value " << o.value << ", quan " << o.quanPulses << ", seeking " << o.seekingPulses << "\n detected:";
    for (const auto& p : o.detected)
        s << " " << p.position << "(" << p.number << ")[" << p.first << " " << p.last << "]";
    for (const auto& c : o.chains) {
        s << "\n chain " << c.cost << ":";
        for (const auto& p : c.pulses)
            s << " " << p.position << "(" << p.number << ")";
    }
    return s.str();
}

bool sameOutcome(const reference::Outcome& a, const reference::Outcome& b)
{
    return a.value == b.value && a.detected == b.detected && a.chains == b.chains && a.quanPulses == b.quanPulses &&
           a.seekingPulses == b.seekingPulses;
}

class Pulses : public FreshStart {
protected:
    SeriesHeader* h = nullptr;
    ChainsHeader* chains = nullptr;
    std::vector<uint16_t> sequence = std::vector<uint16_t>(2000, 1);
    std::vector<uint16_t> list;

    void TearDown() override
    {
        freeSeriesHeader(h);
        freeChainsHeader(hWnd, chains);
    }

    // A series of K pulses (0: a random admissible count) with noise.
    void build(int32_t N, uint16_t q, uint16_t Tmin, uint16_t Tmax, uint16_t K, int16_t level, int16_t noise)
    {
        if (K == 0)
            h = getRandomCountSeries(hWnd, 20, alphabet, q, Tmin, Tmax, N, 0, sequence.data(), 128, level, h, streams);
        else
            h = getCutOffSeries(hWnd, 20, alphabet, q, Tmin, Tmax, N, K, sequence.data(), 128, level, h, streams);
        ASSERT_NE(h, nullptr);
        ASSERT_NE(h->lpPulsesList[0], nullptr);
        addNoise(h, noise, streams);
    }

    reference::Input input(uint16_t Tmin, uint16_t Tmax, uint16_t level) const
    {
        return {alphabet, list, Tmin, Tmax, level, chains->wMaxSize, h};
    }

    int32_t run(Detector detect, uint16_t Tmin, uint16_t Tmax, uint16_t level)
    {
        return detect(hWnd, alphabet, static_cast<uint16_t>(list.size()), list.data(), Tmin, Tmax, level, chains, h);
    }
};

/*---- The listed cases ----*/

TEST_F(Pulses, DetectFixedPulsesFindsALoneWholeEtalonAtZero)
{
    buildAlphabet();
    build(200, 20, 40, 181, 1, 100, 0);
    std::fill_n(h->lpNoisyData, 200, 0);
    std::copy_n(alphabet[2].lpData.get(), 20, h->lpNoisyData);
    h->lpLowBounds[0] = 0;
    list = {3, 1, 5};
    chains = getChainsHeader(hWnd, 10, 30, nullptr);
    ASSERT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    int32_t energy = 0;
    for (int i = 0; i < 20; i++)
        energy += alphabet[2].lpData[i] * alphabet[2].lpData[i];
    ASSERT_EQ(h->wDetectedQuantity, 1);
    EXPECT_EQ(h->lpDetectedPositions[0], 0);
    EXPECT_EQ(h->lpDetectedNumbers[0], 3);
    EXPECT_EQ(h->lpDetectedCutBegin[0], 0);
    EXPECT_EQ(h->lpDetectedCutEnd[0], 19);
    ASSERT_EQ(chains->wPretenders, 1);
    EXPECT_EQ(chains->distance[0], -energy);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, 1);
}

TEST_F(Pulses, EqualLocalCostsGoToTheEarlierEtalonAndTheLowerPosition)
{
    buildAlphabet();
    build(200, 20, 40, 181, 1, 100, 0);
    std::fill_n(h->lpNoisyData, 200, 0); // every position and etalon costs its energy: all ties
    h->lpLowBounds[0] = 5;
    h->lpHighBounds[0] = 60;
    list = {12, 11}; // two noise-like etalons; the cheaper one wins, the earlier one on a tie
    alphabet[10].lpData.get()[0] = alphabet[11].lpData[0];
    std::copy_n(alphabet[11].lpData.get(), 20, alphabet[10].lpData.get());
    chains = getChainsHeader(hWnd, 10, 30, nullptr);
    ASSERT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    EXPECT_EQ(h->lpDetectedNumbers[0], 12);
    EXPECT_EQ(h->lpDetectedPositions[0], 5);
}

TEST_F(Pulses, LevelHundredMatchesOnlyWholeEtalons)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 0, 50, 40);
    list = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    chains = getChainsHeader(hWnd, 10, 30, nullptr);
    ASSERT_EQ(run(detectUnfixedPulses, 40, 181, 100), 1);
    ASSERT_GT(h->wDetectedQuantity, 0);
    for (int i = 0; i < h->wDetectedQuantity; i++) {
        EXPECT_EQ(h->lpDetectedCutBegin[i], 0);
        EXPECT_EQ(h->lpDetectedCutEnd[i], 19);
    }
}

TEST_F(Pulses, DetectUnfixedPulsesWithMminAboveMmaxOffersAnEmptyChain)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 0, 100, 20);
    h->wMinPulses = static_cast<uint16_t>(h->wMaxPulses + 1);
    list = {1, 2, 3};
    chains = getChainsHeader(hWnd, 10, 30, nullptr);
    ASSERT_EQ(run(detectUnfixedPulses, 40, 181, 100), 1);
    EXPECT_EQ(h->wDetectedQuantity, 0);
    ASSERT_EQ(chains->wPretenders, 1);
    EXPECT_EQ(chains->distance[0], 9999999);
    EXPECT_EQ(chains->pulsesQuantity[0], 0);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, 0);
}

TEST_F(Pulses, DetectorsWriteTheSeriesResultWithoutAChainsHeader)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 12, 100, 10);
    list = {1, 3, 5};
    EXPECT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    EXPECT_EQ(h->wDetectedQuantity, 12);
    EXPECT_EQ(run(recognizeFixedPulses, 40, 181, 100), 1); // the sequence is all etalon 1
    EXPECT_EQ(h->wDetectedQuantity, 12);
    EXPECT_EQ(run(detectUnfixedPulses, 40, 181, 100), 1);
    EXPECT_GT(h->wDetectedQuantity, 0);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(Pulses, NoiselessSeriesAreFoundExactly)
{
    buildAlphabet();
    list = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    for (int i = 0; i < 30; i++)
        sequence[i] = static_cast<uint16_t>(1 + (i * 7) % 20);
    build(1200, 20, 40, 181, 18, 100, 0);
    chains = getChainsHeader(hWnd, 10, 30, nullptr);
    ASSERT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    ASSERT_EQ(h->wDetectedQuantity, 18);
    for (int i = 0; i < 18; i++) {
        EXPECT_EQ(h->lpDetectedPositions[i], h->lpPositions[i]) << i;
        EXPECT_EQ(h->lpDetectedNumbers[i], h->lpEtalonNumbers[i]) << i;
    }
    std::fill_n(sequence.begin(), 30, 6);
    build(1200, 20, 40, 181, 0, 100, 0);
    EXPECT_EQ(run(recognizeUnfixedPulses, 40, 181, 100), 6);
    ASSERT_EQ(h->wDetectedQuantity, h->wImpulseQuantity);
    for (int i = 0; i < h->wDetectedQuantity; i++)
        EXPECT_EQ(h->lpDetectedPositions[i], h->lpPositions[i]) << i;
}

/*---- Differential check against the literal model ----*/

struct Operation {
    const char* name;
    Detector detect;
    Model model;
    bool unfixed;
};
const Operation kOperations[] = {
    {"detectFixedPulses", detectFixedPulses, reference::detectFixed, false},
    {"recognizeFixedPulses", recognizeFixedPulses, reference::recognizeFixed, false},
    {"detectUnfixedPulses", detectUnfixedPulses, reference::detectUnfixed, true},
    {"recognizeUnfixedPulses", recognizeUnfixedPulses, reference::recognizeUnfixed, true},
};

TEST_F(Pulses, EveryOperationAgreesWithTheLiteralModelOnRandomSeries)
{
    // On every instruction set of the kernels; recognition side by side and,
    // every other trial, one etalon after another.
    const size_t limit = fixedAcrossLimit;
    onEveryTarget(matchKernelTarget, [&](const char* target) {
        std::mt19937 random(20261208);
        auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
        const int16_t levels[] = {100, 75, 50, 0};
        const int types[] = {1, 2, 4, 8};
        int compared = 0, periodic = 0, crossed = 0, empty = 0;
        int fixedWithoutChain = 0; // fixed runs that found no admissible chain
        int penalised = 0;         // chains that went through a position without a predecessor
        for (int trial = 0; trial < 240; trial++) {
            fixedAcrossLimit = trial % 2 ? limit : 0;
            const bool longSeries = trial % 40 == 0;
            const int n = longSeries ? 20 : pick(3, 8);
            buildAlphabet(128, 20, static_cast<uint16_t>(n));
            const int type = types[trial % 4];
            const bool unfixedType = type >= 4;
            const int16_t making = (type == 2 || type == 8) ? levels[pick(1, 3)] : 100;
            const int16_t processing = levels[pick(0, 3)];
            const int L = longSeries ? 1200 : pick(4 * n, 260);
            int Tmin = pick(n, 4 * n), Tmax = Tmin + pick(0, 5 * n);
            if (trial % 5 == 1)
                Tmax = Tmin; // strictly periodic pulses
            Tmax = std::max(Tmax, n);
            if (longSeries) {
                Tmin = 40;
                Tmax = trial % 80 == 0 ? 181 : 40;
            }
            const int Mmin = minPulsesFor(L, n, Tmax), Mmax = maxPulsesFor(L, n, Tmin);
            if (Mmin > Mmax)
                continue;
            for (int i = 0; i < Mmax; i++)
                sequence[i] = static_cast<uint16_t>(pick(1, 20));
            build(L, n, Tmin, Tmax, unfixedType ? 0 : pick(Mmin, Mmax), making, static_cast<int16_t>(pick(0, 150)));
            if (unfixedType && trial % 7 == 3) {
                h->wMinPulses = static_cast<uint16_t>(h->wMaxPulses + 1); // no admissible count
                empty++;
            }
            // Sometimes process with narrower distance bounds than the series was made with.
            int procTmin = Tmin, procTmax = Tmax;
            if (trial % 6 == 5) {
                procTmax = std::max(Tmin, Tmax - pick(0, Tmax - Tmin));
                procTmin = std::min(procTmax, Tmin + pick(0, 3));
                crossed++;
            }
            periodic += procTmin == procTmax;
            list.clear();
            const int listed = longSeries ? 20 : pick(1, 4);
            for (int i = 0; i < listed; i++)
                list.push_back(static_cast<uint16_t>(longSeries ? i + 1 : pick(1, 20)));
            uint16_t level = static_cast<uint16_t>(processing);
            if (trial % 8 == 7) {
                // Every listed etalon opposes the pulses: chain costs grow past the
                // start value of the predecessor minimum, which then caps them.
                std::fill_n(h->lpNoisyData, L, 0);
                for (int k = 0; k + n <= L; k += n)
                    std::copy_n(alphabet[0].lpData.get(), n, h->lpNoisyData + k);
                list = {2};
                level = 100;
            }
            chains = getChainsHeader(hWnd, static_cast<uint16_t>(pick(1, 6)), static_cast<uint16_t>(Mmax), chains);
            for (const Operation& op : kOperations) {
                if (op.unfixed != unfixedType && !(trial % 3 == 0))
                    continue; // each series mostly goes to the operations of its type
                if (op.unfixed && procTmin > Tmin)
                    continue; // a shorter procTmin would allow longer chains than the series holds
                // The model needs a tenth of a second there (seconds under the
                // sanitizer); the short series cover recognition.
                if (longSeries && !op.unfixed && op.model == reference::recognizeFixed)
                    continue;
                const reference::Input in = input(static_cast<uint16_t>(procTmin), static_cast<uint16_t>(procTmax), level);
                const reference::Outcome expected = op.model(in);
                const int32_t value =
                    run(op.detect, static_cast<uint16_t>(procTmin), static_cast<uint16_t>(procTmax), level);
                const reference::Outcome got = outcomeOf(value, h, chains);
                ASSERT_TRUE(sameOutcome(got, expected))
                    << target << ", " << op.name << ", trial " << trial << ", L " << L << ", n " << n << ", T " << procTmin << ".."
                    << procTmax << ", levels " << making << "/" << level << "\n got " << describe(got)
                    << "\n expected " << describe(expected);
                compared++;
                if (!op.unfixed && expected.detected.empty())
                    fixedWithoutChain++;
                if (!expected.chains.empty() && expected.chains[0].cost >= 999999 && expected.chains[0].cost < 9999999 &&
                    !expected.detected.empty())
                    penalised++;
            }
        }
        EXPECT_EQ(boxes.count(), 0u);
        EXPECT_GT(compared, 300);
        EXPECT_GT(periodic, 20);
        EXPECT_GT(crossed, 20);
        EXPECT_GT(empty, 5);
        EXPECT_GT(fixedWithoutChain, 0);
        EXPECT_GT(penalised, 0);
    });
    fixedAcrossLimit = limit;
}

/*---- True minima on tiny series ----*/

// The least sum of local costs over every chain whose pulse j lies in its range
// and whose distances lie within Tmin..Tmax, by enumeration.
int32_t cheapestFixedChain(const reference::Input& in, const std::vector<int32_t>& local, int j, int previous,
                           int32_t sofar)
{
    const SeriesHeader* h = in.series;
    if (j == h->wImpulseQuantity)
        return sofar;
    int32_t best = INT32_MAX;
    for (int k = h->lpLowBounds[j]; k <= h->lpHighBounds[j]; k++) {
        if (j > 0 && (k - previous < in.Tmin || k - previous > in.Tmax))
            continue;
        best = std::min(best, cheapestFixedChain(in, local, j + 1, k, sofar + local[k]));
    }
    return best;
}

std::vector<int32_t> localCosts(const reference::Input& in)
{
    std::vector<int32_t> local(in.series->dwSeriesSize, 0);
    for (int l = 0; l + in.series->wImpulseSize <= in.series->dwSeriesSize; l++)
        reference::localMatch(in, in.list, l, local[l]);
    return local;
}

TEST_F(Pulses, DetectFixedPulsesFindsTheTrueMinimumOnTinySeries)
{
    std::mt19937 random(99);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    for (int trial = 0; trial < 60; trial++) {
        const int n = pick(2, 5), Tmin = pick(n, 3 * n), Tmax = Tmin + pick(0, 6), L = pick(2 * Tmax, 5 * Tmax);
        buildAlphabet(128, 20, static_cast<uint16_t>(n));
        const int Mmin = minPulsesFor(L, n, Tmax), Mmax = std::min<int>(maxPulsesFor(L, n, Tmin), 5);
        if (Mmin > Mmax)
            continue;
        for (int i = 0; i < 6; i++)
            sequence[i] = static_cast<uint16_t>(pick(1, 20));
        build(L, n, Tmin, Tmax, static_cast<uint16_t>(pick(Mmin, Mmax)), 50, static_cast<int16_t>(pick(0, 60)));
        list = {static_cast<uint16_t>(pick(1, 20)), static_cast<uint16_t>(pick(1, 20))};
        chains = getChainsHeader(hWnd, 3, 8, chains);
        const reference::Input in = input(Tmin, Tmax, static_cast<uint16_t>(pick(0, 100)));
        const int32_t truth = cheapestFixedChain(in, localCosts(in), 0, 0, 0);
        ASSERT_EQ(run(detectFixedPulses, in.Tmin, in.Tmax, in.level), 1);
        ASSERT_EQ(h->wDetectedQuantity, h->wImpulseQuantity) << trial;
        EXPECT_EQ(chains->distance[0], truth) << "trial " << trial;
    }
}

// Strictly periodic pulses (Tmin = Tmax): every admissible chain is fixed by
// its count and first position, so all of them can be listed. Series where two
// counts are admissible need more intervals than there are pulses.
TEST_F(Pulses, DetectUnfixedPulsesWithTminEqualTmaxMissesNoAdmissibleChain)
{
    std::mt19937 random(5);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    int twoCounts = 0;
    for (int trial = 0; trial < 80; trial++) {
        const int n = pick(1, 4), T = pick(2 * n + 1, 12), L = pick(3 * T, 12 * T);
        buildAlphabet(128, 20, static_cast<uint16_t>(n));
        const int Mmin = minPulsesFor(L, n, T), Mmax = maxPulsesFor(L, n, T);
        if (Mmin > Mmax)
            continue;
        twoCounts += Mmax > Mmin;
        for (int i = 0; i < Mmax; i++)
            sequence[i] = static_cast<uint16_t>(pick(1, 20));
        build(L, n, T, T, 0, 100, static_cast<int16_t>(pick(0, 100)));
        list = {static_cast<uint16_t>(pick(1, 20)), static_cast<uint16_t>(pick(1, 20)), 1};
        chains = getChainsHeader(hWnd, 3, static_cast<uint16_t>(Mmax), chains);
        const reference::Input in = input(T, T, 100);
        const std::vector<int32_t> local = localCosts(in);
        int32_t truth = INT32_MAX;
        for (int K = Mmin; K <= Mmax; K++)
            for (int p = std::max(0, L - T * K); p <= std::min(T - n, L - n - T * (K - 1)); p++) {
                int32_t sum = 0;
                for (int i = 0; i < K; i++)
                    sum += local[p + i * T];
                truth = std::min(truth, sum);
            }
        ASSERT_EQ(run(detectUnfixedPulses, T, T, 100), 1);
        ASSERT_EQ(chains->distance[0], truth) << "trial " << trial << ", L " << L << ", n " << n << ", T " << T;
        const int count = h->wDetectedQuantity;
        ASSERT_GE(count, Mmin);
        ASSERT_LE(count, Mmax);
        EXPECT_LE(h->lpDetectedPositions[0], T - n);
        EXPECT_GE(h->lpDetectedPositions[count - 1], L - T);
        for (int i = 1; i < count; i++)
            EXPECT_EQ(h->lpDetectedPositions[i] - h->lpDetectedPositions[i - 1], T);
    }
    EXPECT_GT(twoCounts, 10);
}

/*---- Bad input ----*/

TEST_F(Pulses, ASeriesThatWasNotBuiltGivesAnEmptyResultWithoutAMessage)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 10, 100, 0);
    list = {1, 2};
    chains = getChainsHeader(hWnd, 4, 30, nullptr);
    ASSERT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    h = getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 1200, 40, sequence.data(), 128, 100, h, streams); // refused count
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->lpPulsesList[0], nullptr);
    boxes.clear();
    const std::pair<Detector, int32_t> cases[] = {{detectFixedPulses, 1},
                                                  {detectUnfixedPulses, 1},
                                                  {recognizeFixedPulses, -1},
                                                  {recognizeUnfixedPulses, 65535}};
    for (auto [detect, value] : cases) {
        h->wDetectedQuantity = 10;
        EXPECT_EQ(run(detect, 40, 181, 100), value);
        EXPECT_EQ(h->wDetectedQuantity, 0);
        EXPECT_EQ(chains->wPretenders, 0);
        EXPECT_EQ(chains->wSeekingPulsesQuantity, 0);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(Pulses, BadArgumentsAreReportedAndChangeNothing)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 10, 100, 20);
    chains = getChainsHeader(hWnd, 4, 30, nullptr);
    list = {1, 2};
    ASSERT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    const std::vector<int16_t> samples = h->sampleBlock;
    const int32_t cost = chains->distance[0];
    struct Case {
        std::vector<uint16_t> list;
        uint16_t Tmin, Tmax;
        std::function<void(SeriesHeader*)> spoil; // what else is wrong
        const char* text;                       // how the message begins
    };
    const Case cases[] = {
        {{}, 40, 181, nullptr, "Неверно задан wRequiredQuantity!"},
        {{1, 0}, 40, 181, nullptr, "Неверно задан lpRequiredList!"},
        {{21}, 40, 181, nullptr, "Неверно задан lpRequiredList!"},
        {{1}, 0, 181, nullptr, "Неверно задан wTmin!"},
        {{1}, 50, 40, nullptr, "Неверно задан wTmin!"},
        {{1}, 40, 181, [](SeriesHeader* s) { s->dwSeriesSize = 70000; }, "Неверно задан dwSeriesSize!"},
        {{1}, 40, 181, [](SeriesHeader* s) { s->wImpulseSize = 0; }, "Неверно задан wImpulseSize!"},
        {{1}, 40, 181, [](SeriesHeader* s) { s->wImpulseSize = 21; }, "Неверно задан wImpulseSize!"},
    };
    const std::pair<Detector, const char*> operations[] = {{detectFixedPulses, " detectFixedPulses "},
                                                           {detectUnfixedPulses, " detectUnfixedPulses "},
                                                           {recognizeFixedPulses, " recognizeFixedPulses "},
                                                           {recognizeUnfixedPulses, " recognizeUnfixedPulses "}};
    for (const Case& c : cases)
        for (auto [detect, caption] : operations) {
            const int32_t L = h->dwSeriesSize;
            const uint16_t n = h->wImpulseSize;
            if (c.spoil)
                c.spoil(h);
            list = c.list;
            boxes.clear();
            const int32_t value = run(detect, c.Tmin, c.Tmax, 100);
            h->dwSeriesSize = L;
            h->wImpulseSize = n;
            EXPECT_TRUE(value == 0 || value == -1 || value == 65535) << caption << c.text;
            ASSERT_EQ(boxes.count(), 1u) << caption << c.text;
            const MessageRecord m = boxes.messages()[0];
            EXPECT_EQ(m.caption, caption);
            EXPECT_EQ(m.text.rfind(c.text, 0), 0u) << m.text;
            EXPECT_EQ(m.flags, static_cast<unsigned>(MB_OK | MB_ICONWARNING));
            EXPECT_EQ(h->sampleBlock, samples) << caption << c.text;
            EXPECT_EQ(h->wDetectedQuantity, 10);
            EXPECT_EQ(chains->wPretenders, 1);
            EXPECT_EQ(chains->distance[0], cost);
        }
}

TEST_F(Pulses, MissingRecordsAndTooManyPulsesAreReported)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 10, 100, 20);
    list = {1, 2};
    EXPECT_EQ(recognizeUnfixedPulses(hWnd, alphabet, 2, list.data(), 40, 181, 100, nullptr, h), 65535);
    EXPECT_EQ(detectFixedPulses(hWnd, alphabet, 2, list.data(), 40, 181, 100, nullptr, nullptr), 0);
    EXPECT_EQ(detectFixedPulses(hWnd, nullptr, 2, list.data(), 40, 181, 100, nullptr, h), 0);
    h->wImpulseQuantity = static_cast<uint16_t>(h->wPulsesCapacity + 1);
    EXPECT_EQ(detectFixedPulses(hWnd, alphabet, 2, list.data(), 40, 181, 100, nullptr, h), 0);
    // A smaller processing Tmin would allow chains longer than the series can hold.
    EXPECT_EQ(detectUnfixedPulses(hWnd, alphabet, 2, list.data(), 20, 181, 100, nullptr, h), 0);
    const std::vector<std::string> shown = texts();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0], "Не определен lpChainsHeader!");
    EXPECT_EQ(shown[1], "Не определен lpSeriesHeader!");
    EXPECT_EQ(shown[2], "Не определен Alphabet!");
    EXPECT_EQ(shown[3].rfind("Неверно задан wImpulseQuantity!", 0), 0u);
    EXPECT_EQ(shown[4].rfind("Неверно задан wTmin!", 0), 0u);
    EXPECT_EQ(h->wDetectedQuantity, 0);
}

TEST_F(Pulses, UnfixedOperationsRefuseSeriesLongerThanSixteenBitPositions)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 10, 100, 20);
    std::vector<int16_t> longSeries(70000, 0);
    int16_t* own = h->lpNoisyData;
    const uint32_t reserved = h->dwReservedSize;
    h->lpNoisyData = longSeries.data();
    h->dwSeriesSize = 70000;
    h->dwReservedSize = 70000;
    list = {1};
    chains = getChainsHeader(hWnd, 2, 30, nullptr);
    EXPECT_EQ(run(detectUnfixedPulses, 40, 181, 100), 0);
    EXPECT_EQ(run(recognizeUnfixedPulses, 40, 181, 100), 65535);
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_EQ(texts()[0], "Неверно задан dwSeriesSize!\n\ndwSeriesSize: 70000 (от 1 до 65535)");
    EXPECT_EQ(run(detectFixedPulses, 40, 181, 100), 1); // fixed ranges are 16-bit starts: nothing to refuse
    EXPECT_EQ(h->wDetectedQuantity, 10);
    h->lpNoisyData = own;
    h->dwSeriesSize = 1200;
    h->dwReservedSize = reserved;
}

TEST_F(Pulses, AChainsHeaderWithLessRoomKeepsTheFirstPulsesOfEachChain)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 12, 100, 10);
    list = {1, 2};
    chains = getChainsHeader(hWnd, 2, 5, nullptr);
    ASSERT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    EXPECT_EQ(h->wDetectedQuantity, 12);
    ASSERT_EQ(chains->wPretenders, 1);
    ASSERT_EQ(chains->pulsesQuantity[0], 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(chains->positionsList[0][i], h->lpDetectedPositions[i]);
    EXPECT_EQ(chains->pulsesList[1][0], 0); // the next chain's entries are untouched
    EXPECT_EQ(run(recognizeFixedPulses, 40, 181, 100), 1);
    EXPECT_EQ(chains->pulsesQuantity[1], 5);
}

// Distance bounds that no chain of the series' ranges can meet: no chain end,
// or a chain that breaks off while backtracking. Either way nothing is detected.
TEST_F(Pulses, FixedOperationsWithoutAnAdmissibleChainDetectNothing)
{
    buildAlphabet();
    build(1200, 20, 40, 181, 10, 100, 20);
    list = {1, 2};
    chains = getChainsHeader(hWnd, 4, 30, nullptr);
    for (int i = 1; i < 10; i++) { // pulse i may only start far from pulse i - 1
        h->lpLowBounds[i] = static_cast<int16_t>(200 * i);
        h->lpHighBounds[i] = static_cast<int16_t>(200 * i + 10);
    }
    h->lpLowBounds[0] = 0;
    h->lpHighBounds[0] = 10;
    EXPECT_EQ(run(detectFixedPulses, 40, 100, 100), 1);
    EXPECT_EQ(h->wDetectedQuantity, 0);
    EXPECT_EQ(chains->wPretenders, 0);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, 0);
    EXPECT_EQ(run(recognizeFixedPulses, 40, 100, 100), -1);
    EXPECT_EQ(h->wDetectedQuantity, 0);
    EXPECT_EQ(chains->wPretenders, 0);
    h->lpLowBounds[9] = 2000; // an empty last range: no chain end at all
    EXPECT_EQ(run(detectFixedPulses, 40, 181, 100), 1);
    EXPECT_EQ(h->wDetectedQuantity, 0);
    EXPECT_EQ(boxes.count(), 0u);
}

} // namespace
