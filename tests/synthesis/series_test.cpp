// Series construction: admissible counts, the refusal report, the invariants
// of every accepted series over random parameters, the order of draws, subset
// placement, storage reuse, bad input and reproducibility.
#include <algorithm>
#include <cstring>
#include <random>

#include "support/fixtures.h"

namespace {

// A fresh start with the default alphabet and a caller's sequence.
class Series : public FreshStart {
protected:
    std::vector<uint16_t> sequence = std::vector<uint16_t>(400, 1);
    SeriesHeader* h = nullptr;

    void SetUp() override
    {
        FreshStart::SetUp();
        buildAlphabet();
    }
    void TearDown() override { freeSeriesHeader(h); }

    SeriesHeader* build(int32_t N, uint16_t K, int16_t level = 100, uint16_t Tmin = 40, uint16_t Tmax = 181,
                        uint16_t q = 20)
    {
        h = getCutOffSeries(hWnd, 20, alphabet, q, Tmin, Tmax, N, K, sequence.data(), 128, level, h, streams);
        return h;
    }

    // Every byte the header owns, to prove a refusal changed nothing.
    std::vector<int16_t> snapshot() const { return h ? h->sampleBlock : std::vector<int16_t>{}; }
};

long energyOf(const int16_t* x, int from, int to)
{
    long e = 0;
    for (int t = from; t <= to; t++)
        e += static_cast<long>(x[t]) * x[t];
    return e;
}

// Checks every invariant an accepted series must hold; returns a failure text or "".
std::string checkSeries(const SeriesHeader* h, const PulseHeader* alphabet, const uint16_t* sequence, int level)
{
    const int N = h->dwSeriesSize, q = h->wImpulseSize, K = h->wImpulseQuantity;
    const int Tmin = h->wTmin, Tmax = h->wTmax;
    if (K < h->wMinPulses || K > h->wMaxPulses)
        return "count outside the admissible range";
    if (h->lpPositions[0] > Tmax - q)
        return "first start after Tmax - q";
    if (h->lpPositions[K - 1] < N - Tmax || h->lpPositions[K - 1] > N - q)
        return "last start outside N - Tmax .. N - q";
    std::vector<int16_t> expected(N, 0);
    for (int i = 0; i < K; i++) {
        int p = h->lpPositions[i];
        if (p < h->lpLowBounds[i] || p > h->lpHighBounds[i])
            return "start outside its stored bounds, pulse " + std::to_string(i);
        if (i > 0 && (p - h->lpPositions[i - 1] < Tmin || p - h->lpPositions[i - 1] > Tmax))
            return "spacing outside Tmin..Tmax, pulse " + std::to_string(i);
        int e = h->lpEtalonNumbers[i];
        if (e != sequence[i] || e < 1 || e > h->wEtalonsQuantity)
            return "etalon number not the (valid) sequence entry";
        int c = h->lpCutBegin[i], d = h->lpCutEnd[i];
        if (c < 0 || c > d || d > q - 1)
            return "kept range out of order";
        const int16_t* x = alphabet[e - 1].lpData.get();
        long E = energyOf(x, 0, q - 1), T = static_cast<long>(std::min(level, 100)) * E / 100; // above 100: whole
        if (energyOf(x, c, d) < T)
            return "kept energy below the level, pulse " + std::to_string(i);
        if (level >= 100 && (c != 0 || d != q - 1))
            return "level 100 did not keep the whole pulse";
        for (int t = c; t <= d; t++)
            expected[p + t] = x[t];
        if (h->lpDetectedPositions[i] != -1 || h->lpDetectedNumbers[i] != 0 || h->lpDetectedCutBegin[i] != 0 ||
            h->lpDetectedCutEnd[i] != 0)
            return "detection fields not reset";
    }
    // Pulses overlap when Tmin < q; then the one written last wins, which the
    // placement-order test covers.
    if (Tmin >= q && !std::equal(expected.begin(), expected.end(), h->lpPureData))
        return "pure samples are not the kept parts at their starts";
    if (!std::equal(h->lpPureData, h->lpPureData + N, h->lpNoisyData))
        return "noisy differs from pure after construction";
    if (h->lpFirstEtalon != &alphabet[h->lpEtalonNumbers[0] - 1])
        return "lpFirstEtalon is not the first pulse's etalon";
    return "";
}

} // namespace

/*---- Admissible counts and the refusal report ----*/

TEST(PulseCounts, DefaultsAndShortSeriesGiveTheStatedBounds)
{
    EXPECT_EQ(minPulsesFor(1200, 20, 181), 6);
    EXPECT_EQ(maxPulsesFor(1200, 20, 40), 30);
    EXPECT_EQ(minPulsesFor(200, 20, 181), 1);
    EXPECT_EQ(maxPulsesFor(200, 20, 40), 5);
    EXPECT_EQ(minPulsesFor(20, 20, 500), 1) << "raised to 1 when it comes out 0";
}

TEST_F(Series, CountAboveMaximumShowsTheIncompatibilityReportAndKeepsTheHeader)
{
    ASSERT_NE(build(1200, 18), nullptr);
    std::vector<int16_t> before = snapshot();
    SeriesHeader* same = build(1200, 40);
    ASSERT_EQ(same, h) << "the header comes back";
    auto shown = boxes.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, " makeExtSeries ");
    EXPECT_EQ(shown[0].flags, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(shown[0].text, "Несовместимые входные параметры!\n\ndwSeriesSize: 1200 [1200]\nwImpulseSize: 20 [20]\n"
                             "wMinPulses: 6 [6]\nwMaxPulses: 30 [30]\nwImpulseQuantity: 40\n\n");
    EXPECT_EQ(snapshot(), before) << "samples and pulse records of the earlier series";
    EXPECT_EQ(h->wImpulseQuantity, 18);
    EXPECT_EQ(h->lpPulsesList[0], nullptr) << "no series built: the pulse list holds null entries";
}

TEST_F(Series, CountBelowMinimumIsRefusedToo)
{
    ASSERT_NE(build(1200, 5), nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(texts()[0].find("wImpulseQuantity: 5\n"), std::string::npos);
    EXPECT_EQ(h->lpPulsesList[0], nullptr);
}

/*---- Invariants over random parameters ----*/

TEST_F(Series, EveryAcceptedSeriesHoldsItsInvariants)
{
    int16_t seed = 4242;
    auto pick = [&](int lo, int hi) { return lo + (nextRandom(seed) * 4 + nextRandom(seed) % 4) % (hi - lo + 1); };
    const int levels[] = {100, 75, 50, 25, 0, 120};
    int built = 0;
    for (int trial = 0; trial < 400; trial++) {
        uint16_t q = static_cast<uint16_t>(trial % 3 == 0 ? 20 : pick(1, 20));
        uint16_t Tmax = static_cast<uint16_t>(pick(std::max<int>(q, 2), 200));
        uint16_t Tmin = static_cast<uint16_t>(trial % 5 == 0 ? Tmax : pick(1, Tmax));
        int32_t N = pick(q, 3000);
        uint16_t minP = minPulsesFor(N, q, Tmax), maxP = maxPulsesFor(N, q, Tmin);
        if (maxP < minP || maxP > 390)
            continue;
        uint16_t K = static_cast<uint16_t>(pick(minP, maxP));
        int level = levels[trial % 6];
        for (int j = 0; j < K; j++)
            sequence[j] = static_cast<uint16_t>(pick(0, 22)); // 0, 21 and 22 are replaced by 1
        std::vector<uint16_t> given(sequence.begin(), sequence.begin() + K);

        ASSERT_NE(build(N, K, static_cast<int16_t>(level), Tmin, Tmax, q), nullptr);
        ASSERT_EQ(boxes.count(), 0u) << texts()[0];
        for (int j = 0; j < K; j++)
            ASSERT_EQ(sequence[j], (given[j] < 1 || given[j] > 20) ? 1 : given[j]) << "caller's sequence mended";
        std::string fault = checkSeries(h, alphabet, sequence.data(), level);
        ASSERT_EQ(fault, "") << "trial " << trial << ": N " << N << " q " << q << " Tmin " << Tmin << " Tmax "
                             << Tmax << " K " << K << " level " << level;
        built++;

        int16_t before = streams.wNoiseSeed;
        addNoise(h, static_cast<int16_t>(trial % 151), streams);
        int16_t twin = before;
        for (int i = 0; i < N; i++)
            ASSERT_EQ(h->lpNoisyData[i],
                      static_cast<int16_t>(h->lpPureData[i] + static_cast<int16_t>(gaussRandom(twin, 0, trial % 151))));
    }
    EXPECT_GT(built, 250);
}

TEST_F(Series, DefaultsWithThirtyPulsesPackTheStartsFortyApart)
{
    ASSERT_NE(build(1200, 30), nullptr);
    for (int i = 0; i < 30; i++) {
        EXPECT_GE(h->lpPositions[i] - 40 * i, 0);
        EXPECT_LE(h->lpPositions[i] - 40 * i, 20) << "the whole slack is 20 samples";
    }
}

TEST_F(Series, LevelZeroCanKeepASingleSample)
{
    bool single = false;
    for (int trial = 0; trial < 50 && !single; trial++) {
        ASSERT_NE(build(1200, 30, 0), nullptr);
        for (int i = 0; i < 30; i++)
            single |= h->lpCutBegin[i] == h->lpCutEnd[i];
    }
    EXPECT_TRUE(single);
}

/*---- The order of draws ----*/

TEST_F(Series, EachPulseDrawsOnceFromEachCutStreamAndOnceForItsStart)
{
    ASSERT_NE(build(1200, 18, 100), nullptr);
    EXPECT_EQ(streams.wPositionSeed, advanced(kPositionSeedStart, 1 + 18)) << "anchor index, then one start per pulse";
    EXPECT_EQ(streams.wCutBeginSeed, advanced(kCutBeginSeedStart, 18)) << "whole pulses still advance the cut streams";
    EXPECT_EQ(streams.wCutEndSeed, advanced(kCutEndSeedStart, 18));
    EXPECT_EQ(streams.wQuantitySeed, kQuantitySeedStart);
}

TEST_F(Series, AnchorIsPlacedFirstThenForwardThenBackward)
{
    // Replay the draws by hand: anchor index, anchor start, forward, backward.
    const int N = 1200, K = 12, q = 20, Tmin = 40, Tmax = 181;
    int16_t pos = kPositionSeedStart;
    int s = (nextRandom(pos) >> 2) % K;
    std::vector<int> start(K), lo(K), hi(K);
    for (int i = 0; i < K; i++) {
        lo[i] = std::max(i * Tmin, N - Tmax * (K - i));
        hi[i] = std::min((i + 1) * Tmax - q, N - q - Tmin * (K - i - 1));
    }
    start[s] = lo[s] + (nextRandom(pos) >> 2) % (hi[s] - lo[s] + 1);
    for (int i = s + 1; i < K; i++) {
        int from = std::max(lo[i], start[i - 1] + Tmin), to = std::min(start[i - 1] + Tmax, hi[i]);
        start[i] = from + (nextRandom(pos) >> 2) % (to - from + 1);
    }
    for (int i = s - 1; i >= 0; i--) {
        int from = std::max(lo[i], start[i + 1] - Tmax), to = std::min(start[i + 1] - Tmin, hi[i]);
        start[i] = from + (nextRandom(pos) >> 2) % (to - from + 1);
    }
    ASSERT_NE(build(N, K), nullptr);
    for (int i = 0; i < K; i++) {
        EXPECT_EQ(h->lpPositions[i], start[i]) << "pulse " << i << " (anchor " << s << ")";
        EXPECT_EQ(h->lpLowBounds[i], lo[i]);
        EXPECT_EQ(h->lpHighBounds[i], hi[i]);
    }
}

TEST_F(Series, CutDrawsFollowThePlacementOrder)
{
    // With one etalon and a level of 0 every cut begin is r mod (b + 1) with
    // the same b, so the begins name the order in which pulses were cut.
    std::fill(sequence.begin(), sequence.end(), 1);
    const int K = 10;
    int16_t pos = kPositionSeedStart;
    int s = (nextRandom(pos) >> 2) % K;
    ASSERT_NE(build(1200, K, 50), nullptr);
    // Rectangle etalon, level 50: T = 36000, the begin can be 0..9.
    std::vector<int> order;
    for (int i = s; i < K; i++)
        order.push_back(i);
    for (int i = s - 1; i >= 0; i--)
        order.push_back(i);
    int16_t cut = kCutBeginSeedStart;
    for (int i : order)
        EXPECT_EQ(h->lpCutBegin[i], nextRandom(cut) % 10) << "pulse " << i;
}

/*---- Subsets ----*/

TEST_F(Series, CompleteEmploymentRepeatsTheSubsetFromTheInitPosition)
{
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 200, nullptr);
    const int32_t subset[] = {2, 5};
    ASSERT_EQ(setSelectedSubset(hWnd, subset, 2, 4, 1, h), 1);
    ASSERT_NE(build(200, 5), nullptr);
    EXPECT_EQ(std::vector<int>(sequence.begin(), sequence.begin() + 5), (std::vector<int>{2, 5, 2, 5, 2}));
    EXPECT_EQ(std::vector<int>(h->lpEtalonNumbers, h->lpEtalonNumbers + 5), (std::vector<int>{2, 5, 2, 5, 2}));
}

TEST_F(Series, EveryEmploymentModePlacesTheSubsetAsItsDrawsSay)
{
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 1200, nullptr);
    const int32_t subset[] = {7, 8, 9};
    const int K = 12, init = 3;
    struct Expect { int mode; std::vector<int> seq; } cases[5];
    int16_t shift = kSubsetShiftSeedStart, gap = kSubsetGapSeedStart;
    // 1: one copy at init - 1 + offset, offset drawn over K - p - L + 1 places.
    {
        int p = init - 1 + (nextRandom(shift) >> 1) % (K - (init - 1) - 3 + 1);
        std::vector<int> seq(K, 4);
        for (int i = 0; i < 3 && p + i < K; i++)
            seq[p + i] = subset[i];
        cases[0] = {1, seq};
    }
    cases[1] = {2, {4, 4, 7, 8, 9, 4, 4, 4, 4, 4, 4, 4}};
    // 3: gaps drawn before each copy until the sequence is full.
    {
        int p = init - 1, room = K - p - 3 + 1;
        std::vector<int> seq(K, 4);
        while (p < K) {
            p += (nextRandom(gap) >> 1) % room;
            for (int i = 0; i < 3 && p < K; i++)
                seq[p++] = subset[i];
        }
        cases[2] = {3, seq};
    }
    cases[3] = {4, {4, 4, 7, 8, 9, 7, 8, 9, 7, 8, 9, 7}};
    {
        int f = (nextRandom(shift) >> 1) % 3;
        std::vector<int> seq(K, 4);
        for (int p = init - 1, i = f; p < K; p++, i = (i + 1) % 3)
            seq[p] = subset[i];
        cases[4] = {5, seq};
    }
    for (const Expect& c : cases) {
        std::fill(sequence.begin(), sequence.end(), 4);
        ASSERT_EQ(setSelectedSubset(hWnd, subset, 3, static_cast<uint16_t>(c.mode), init, h), 1);
        ASSERT_NE(build(1200, K), nullptr);
        EXPECT_EQ(std::vector<int>(sequence.begin(), sequence.begin() + K), c.seq) << "mode " << c.mode;
    }
    EXPECT_EQ(streams.wSubsetShiftSeed, shift);
    EXPECT_EQ(streams.wSubsetGapSeed, gap);
}

TEST_F(Series, SingleFixedBeyondTheCountChangesNothing)
{
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 1200, nullptr);
    const int32_t subset[] = {7, 8};
    ASSERT_EQ(setSelectedSubset(hWnd, subset, 2, 2, 20, h), 1);
    std::fill(sequence.begin(), sequence.end(), 3);
    ASSERT_NE(build(1200, 10), nullptr);
    EXPECT_EQ(std::count(sequence.begin(), sequence.begin() + 10, 3), 10);
}

TEST_F(Series, SubsetInitPositionZeroIsRefused)
{
    ASSERT_NE(build(1200, 10), nullptr);
    const int32_t subset[] = {7, 8};
    ASSERT_EQ(setSelectedSubset(hWnd, subset, 2, 4, 0, h), 1);
    std::vector<int16_t> before = snapshot();
    build(1200, 10);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(texts()[0].find("wSubsetInitPosition: 0"), std::string::npos);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Series, SubsetLongerThanTheCapacityIsRefused)
{
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 200, nullptr); // 5 pulses at most
    std::vector<int32_t> subset(6, 3);
    EXPECT_EQ(setSelectedSubset(hWnd, subset.data(), 6, 4, 1, h), 0);
    EXPECT_EQ(h->wSubsetLength, 0);
    EXPECT_EQ(boxes.count(), 1u);
}

TEST_F(Series, SeveralSubsetsAreStoredAndTheChosenOneSelected)
{
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 1200, nullptr);
    const int32_t a[] = {1, 2}, b[] = {3, 4, 5}, c[] = {6};
    const int32_t* lists[] = {a, b, c};
    const int32_t sizes[] = {2, 3, 1};
    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, lists, 0, 4, 5, 1, 4, 1, h), 0);
    ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, lists, 3, 4, 5, 2, 3, 2, h), 1);
    EXPECT_EQ(h->wSelectedSubsets, 3);
    EXPECT_EQ(h->wSubsetsCapacity, 4);
    EXPECT_EQ(h->wSubsetCapacity, 5);
    EXPECT_EQ(h->selectedSubsetList[1], h->selectedSubsetSize + 4 + 5) << "subset i at word capacity + i * entries";
    EXPECT_EQ(h->selectedSubsetSize[1], 3);
    EXPECT_EQ(h->selectedSubsetList[1][2], 5);
    EXPECT_EQ(h->wSubsetLength, 3);
    EXPECT_EQ(std::vector<int>(h->selectedSubset, h->selectedSubset + 3), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(h->wSubsetEmployment, 3);
    EXPECT_EQ(h->wSubsetInitPosition, 2);

    ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, lists, 3, 4, 5, 9, 4, 1, h), 1);
    EXPECT_EQ(h->wSubsetLength, 1) << "a choice outside the list takes the last subset";
    EXPECT_EQ(h->selectedSubset[0], 6);

    const int32_t tooLong[] = {2, 7, 1};
    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, tooLong, lists, 3, 4, 5, 1, 4, 1, h), 0);
    EXPECT_EQ(h->selectedSubsetSize[1], 3) << "a refused call stores nothing";
    EXPECT_EQ(boxes.count(), 1u);
}

/*---- Storage ----*/

TEST_F(Series, SameOrSmallerSeriesReusesTheStorage)
{
    ASSERT_NE(build(1200, 18), nullptr);
    const int16_t* block = h->sampleBlock.data();
    PulseHeader** list = h->lpPulsesList;
    ASSERT_NE(build(1200, 6), nullptr);
    ASSERT_NE(build(600, 10), nullptr);
    EXPECT_EQ(h->sampleBlock.data(), block);
    EXPECT_EQ(h->lpPulsesList, list);
    EXPECT_EQ(h->dwReservedSize, 1200u);
    EXPECT_EQ(h->wPulsesCapacity, 30);
    EXPECT_EQ(h->dwSeriesSize, 600);
    EXPECT_EQ(h->wMaxPulses, 15);
    EXPECT_EQ(h->lpNoisyData, h->lpPureData + 1200) << "carved for the reserved size";
}

TEST_F(Series, StoredSubsetSurvivesAReallocationWhenItFits)
{
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 600, nullptr);
    const int32_t subset[] = {4, 9, 4};
    ASSERT_EQ(setSelectedSubset(hWnd, subset, 3, 5, 2, h), 1);
    h = getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 2400, h);
    EXPECT_EQ(h->dwReservedSize, 2400u);
    EXPECT_EQ(h->wSubsetLength, 3);
    EXPECT_EQ(std::vector<int>(h->selectedSubset, h->selectedSubset + 3), (std::vector<int>{4, 9, 4}));
    EXPECT_EQ(h->wSubsetEmployment, 5);
    EXPECT_EQ(h->wSubsetInitPosition, 2);

    // Longer than the new capacity: not carried, and no stale length left behind.
    std::vector<int32_t> longSubset(20, 6);
    ASSERT_EQ(setSelectedSubset(hWnd, longSubset.data(), 20, 4, 1, h), 1);
    h = getCutOffSeriesHeader(hWnd, 20, 20, 181, 181, 3000, h); // capacity 17
    EXPECT_EQ(h->wPulsesCapacity, 17);
    EXPECT_EQ(h->wSubsetLength, 0);
}

TEST_F(Series, RequiredListCountsFromOne)
{
    uint16_t* list = getRequiredList(hWnd, 3, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::vector<int>(list, list + 3), (std::vector<int>{1, 2, 3}));
    list = getRequiredList(hWnd, 20, list);
    EXPECT_EQ(list[19], 20);
    freeRequiredList(list);
}

/*---- Bad input ----*/

TEST_F(Series, ImpossibleParametersAreRefusedWithAMessageAndTheHeaderKept)
{
    ASSERT_NE(build(1200, 18), nullptr);
    std::vector<int16_t> before = snapshot();
    struct Bad { uint16_t A, q, Tmin, Tmax; int32_t N; const char* field; } cases[] = {
        {20, 200, 40, 181, 1200, "wImpulseSize"}, // q > Tmax
        {20, 20, 190, 181, 1200, "wTmin"},        // Tmin > Tmax
        {20, 20, 0, 181, 1200, "wTmin"},          // Tmin = 0
        {20, 20, 10, 181, 15, "wImpulseSize"},    // q > N
        {20, 0, 40, 181, 1200, "wImpulseSize"},   // q = 0
        {20, 20, 40, 181, 40000, "dwSeriesSize"}, // beyond 16-bit positions
        {20, 20, 40, 181, -5, "dwSeriesSize"},
        {21, 20, 40, 181, 1200, "wEtalonsQuantity"},
        {0, 20, 40, 181, 1200, "wEtalonsQuantity"},
    };
    for (const Bad& b : cases) {
        boxes.clear();
        SeriesHeader* same = getCutOffSeries(hWnd, b.A, alphabet, b.q, b.Tmin, b.Tmax, b.N, 5, sequence.data(), 128,
                                             100, h, streams);
        EXPECT_EQ(same, h);
        SeriesHeader* random = getRandomCountSeries(hWnd, b.A, alphabet, b.q, b.Tmin, b.Tmax, b.N, 0,
                                                    sequence.data(), 128, 100, h, streams);
        EXPECT_EQ(random, h);
        SeriesHeader* sized = getCutOffSeriesHeader(hWnd, b.A, b.q, b.Tmin, b.Tmax, b.N, h);
        EXPECT_EQ(sized, h);
        ASSERT_EQ(boxes.count(), 3u) << b.field;
        EXPECT_NE(texts()[0].find(std::string("Неверно задан ") + b.field + "!"), std::string::npos) << texts()[0];
        EXPECT_EQ(boxes.messages()[0].caption, " getCutOffSeries ");
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(h->dwSeriesSize, 1200);
        EXPECT_NE(h->lpPulsesList[0], nullptr);
    }
    EXPECT_EQ(getCutOffSeriesHeader(hWnd, 20, 20, 0, 181, 1200, nullptr), nullptr);
}

TEST_F(Series, EtalonsShorterThanThePulseLengthAreRefused)
{
    PulseHeader shortAlphabet[kAlphabetCapacity];
    ASSERT_EQ(makeAlphabet(hWnd, 128, 20, 10, shortAlphabet, streams), 1);
    h = getCutOffSeries(hWnd, 20, shortAlphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 100, nullptr, streams);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(texts()[0].find("wImpulseSize"), std::string::npos);
    EXPECT_EQ(h->lpPulsesList[0], nullptr);
}

TEST_F(Series, RandomCountIsDrawnOnceWithinTheAdmissibleRange)
{
    int16_t quantity = kQuantitySeedStart;
    for (int trial = 0; trial < 100; trial++) {
        int expected = 6 + (nextRandom(quantity) >> 2) % 25;
        h = getRandomCountSeries(hWnd, 20, alphabet, 20, 40, 181, 1200, 0, sequence.data(), 128, 75, h, streams);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(h->wImpulseQuantity, expected);
    }
    EXPECT_EQ(boxes.count(), 0u);
    // No admissible count at all: nothing comes back, and nothing is left behind.
    h = getRandomCountSeries(hWnd, 20, alphabet, 20, 20, 20, 30, 0, sequence.data(), 128, 75, h, streams);
    EXPECT_EQ(h, nullptr);
}

/*---- Reproducibility ----*/

TEST_F(Series, TwoFreshStartsGiveIdenticalSeriesAndNoise)
{
    auto run = [&]() {
        RandomStreams streams;  // a fresh start's
        PulseHeader letters[kAlphabetCapacity];
        makeAlphabet(hWnd, 128, 20, 20, letters, streams);
        std::vector<int16_t> out;
        SeriesHeader* s = nullptr;
        for (int k = 0; k < 5; k++) {
            std::vector<uint16_t> seq(30);
            for (auto& e : seq)
                e = static_cast<uint16_t>(1 + (nextSequenceRandom(streams) >> 3) % 20);
            s = (k % 2) ? getRandomCountSeries(hWnd, 20, letters, 20, 40, 181, 1200, 0, seq.data(), 128, 75, s, streams)
                        : getCutOffSeries(hWnd, 20, letters, 20, 40, 181, 1200, 18, seq.data(), 128, 75, s, streams);
            addNoise(s, 20, streams);
            out.insert(out.end(), s->sampleBlock.begin(), s->sampleBlock.end());
        }
        for (auto& l : letters)
            out.insert(out.end(), l.lpData.get(), l.lpData.get() + 20);
        freeSeriesHeader(s);
        return out;
    };
    std::vector<int16_t> first = run(), second = run();
    EXPECT_EQ(first, second);
}

/*---- Draws of a series without the series ----*/

TEST_F(Series, SkipLeavesStreamsAndSequenceAsTheConstructionForRandomParameters)
{
    std::mt19937 pick(8122026);
    auto in = [&pick](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(pick); };
    int built = 0, refused = 0;
    for (int trial = 0; trial < 1500; trial++) {
        const uint16_t Tmin = static_cast<uint16_t>(in(5, 90));
        const uint16_t Tmax = static_cast<uint16_t>(in(std::max<int>(Tmin, 20), 260));
        const int32_t N = in(20, 1500);
        h = getCutOffSeriesHeader(hWnd, 20, 20, Tmin, Tmax, N, h);
        ASSERT_NE(h, nullptr);
        const int minP = minPulsesFor(N, 20, Tmax), maxP = maxPulsesFor(N, 20, Tmin);
        const uint16_t K = static_cast<uint16_t>(std::max(0, in(minP - 1, maxP + 1)));
        h->wSubsetLength = 0;
        if (in(0, 3) > 0 && maxP > 0) {
            std::vector<int32_t> subset(in(1, std::min(6, maxP)));
            for (int32_t& e : subset)
                e = in(0, 22); // an entry outside the alphabet becomes 1
            ASSERT_EQ(setSelectedSubset(hWnd, subset.data(), static_cast<int32_t>(subset.size()),
                                        static_cast<uint16_t>(in(0, 6)), static_cast<uint16_t>(in(0, K + 2)), h),
                      1);
        }
        for (uint16_t& e : sequence)
            e = static_cast<uint16_t>(in(0, 22));
        std::vector<uint16_t> skippedSequence = sequence;
        const RandomStreams before{static_cast<int16_t>(in(0, 32767)), static_cast<int16_t>(in(0, 32767)),
                                   static_cast<int16_t>(in(0, 32767)), static_cast<int16_t>(in(0, 32767)),
                                   static_cast<int16_t>(in(0, 32767)), static_cast<int16_t>(in(0, 32767)),
                                   123, 1, static_cast<int16_t>(in(0, 32767))};
        streams = before;
        const int made = makeExtSeries(hWnd, 20, alphabet, 20, Tmin, Tmax, N, K, sequence.data(), 128,
                                       static_cast<int16_t>(in(0, 100)), h, streams);
        const RandomStreams afterBuild = streams;
        streams = before;
        EXPECT_EQ(skipExtSeries(20, alphabet, 20, Tmin, Tmax, N, K, skippedSequence.data(), h, streams), made);
        const RandomStreams afterSkip = streams;
        ASSERT_TRUE(afterSkip == afterBuild)
            << "trial " << trial << ": N " << N << ", K " << K << ", employment " << h->wSubsetEmployment;
        ASSERT_EQ(skippedSequence, sequence) << "trial " << trial;
        (made ? built : refused)++;
    }
    EXPECT_GT(built, 1000);
    EXPECT_GT(refused, 20);
}
