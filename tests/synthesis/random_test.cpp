// Random streams: stated values, period, the normal draw, noise, copies of
// the streams, and streams used on several threads at once.
#include <cmath>
#include <algorithm>
#include <random>
#include <set>
#include <thread>

#include "support/fixtures.h"
#include "support/targets.h"
#include "synthesis/noisekernel.h"

TEST(NextRandom, GivesTheStatedValuesFromKnownSeeds)
{
    struct Case { int16_t seed; int16_t v[3]; } cases[] = {
        {0, {6925, 28558, 26707}},
        {7737, {25194, 21919, 15592}},
        {10597, {32070, 2795, 29284}},
        {12345, {15466, 6047, 1768}},
    };
    for (const Case& c : cases) {
        int16_t seed = c.seed;
        for (int16_t expected : c.v) {
            EXPECT_EQ(nextRandom(seed), expected) << "from " << c.seed;
            EXPECT_EQ(seed, expected) << "the seed holds the last value drawn";
        }
    }
}

TEST(NextRandom, HasFullPeriodAndTreatsNegativeSeedsByTheirLow16Bits)
{
    std::set<int16_t> seen;
    int16_t seed = 0;
    for (int i = 0; i < 32768; i++) {
        int16_t v = nextRandom(seed);
        ASSERT_GE(v, 0);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 32768u);
    EXPECT_EQ(seed, 0) << "period 32768 brings the seed back";

    // 16-bit wrap-around: -1 is 0xFFFF, so the next value is (65535 * 12869 + 6925) mod 32768.
    int16_t negative = -1;
    EXPECT_EQ(nextRandom(negative), static_cast<int16_t>((65535LL * 12869 + 6925) % 32768));
}

TEST(GaussRandom, SigmaZeroReturnsTheMeanYetAdvancesTwelve)
{
    int16_t seed = 7737;
    EXPECT_EQ(gaussRandom(seed, 42, 0), 42);
    EXPECT_EQ(seed, advanced(7737, 12));
}

TEST(GaussRandom, MatchesTheSumOfTwelveRoundedTowardMinusInfinity)
{
    int16_t seed = 555, twin = 555;
    for (int trial = 0; trial < 2000; trial++) {
        int16_t sigma = static_cast<int16_t>(trial % 300);
        int16_t mean = static_cast<int16_t>(trial % 7 - 3);
        long sum = 0;
        for (int i = 0; i < 12; i++)
            sum += nextRandom(twin);
        long expected = static_cast<long>(std::floor((sum - 196608.0) * sigma / 32768.0)) + mean;
        ASSERT_EQ(gaussRandom(seed, mean, sigma), expected) << "trial " << trial;
    }
}

TEST(GaussRandom, HasTheRequestedSpreadAndAMeanHalfAUnitLow)
{
    int16_t seed = 10597;
    const int n = 200000;
    double s = 0, s2 = 0;
    for (int i = 0; i < n; i++) {
        double v = gaussRandom(seed, 0, 100);
        s += v;
        s2 += v * v;
    }
    double mean = s / n, sd = std::sqrt(s2 / n - mean * mean);
    EXPECT_NEAR(sd, 100.0, 2.0);
    EXPECT_NEAR(mean, -0.5, 1.0);
}

TEST(SequenceGenerator, GivesTheStatedValuesFromStartStateOne)
{
    RandomStreams streams;
    for (int32_t expected : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(nextSequenceRandom(streams), expected);
}

TEST(RandomStreams, StartAsAFreshProgramAndCopyAndAssignSaveAndRestore)
{
    const RandomStreams start;
    EXPECT_EQ(start.wNoiseSeed, kNoiseSeedStart);
    EXPECT_EQ(start.wNoiseEtalonSeed, kNoiseEtalonSeedStart);
    EXPECT_EQ(start.dwSequenceState, kSequenceStateStart);
    RandomStreams streams = start;
    nextRandom(streams.wCutBeginSeed);
    nextRandom(streams.wSubsetGapSeed);
    nextSequenceRandom(streams);
    EXPECT_EQ(streams.wSubsetShiftSeed, kSubsetShiftSeedStart) << "shift and gap are separate streams";
    EXPECT_NE(streams.wSubsetGapSeed, kSubsetGapSeedStart);
    const RandomStreams moved = streams;
    streams = start;
    EXPECT_EQ(streams, start);
    streams = moved;
    EXPECT_EQ(streams.wCutBeginSeed, moved.wCutBeginSeed);
    EXPECT_EQ(streams.dwSequenceState, moved.dwSequenceState);
    EXPECT_NE(streams, start);
}

namespace {

// Everything a workbench session draws, from `streams`: an alphabet, series of
// both count kinds with a subset placed (random gaps or a random shift) and
// their noise, and random etalon sequences. The samples made, then the
// streams' end state.
std::vector<int32_t> drawSession(RandomStreams streams, int seriesCount)
{
    std::vector<int32_t> out;
    PulseHeader alphabet[kAlphabetCapacity];
    if (!makeAlphabet(nullptr, 128, 20, 20, alphabet, streams))
        return {};
    for (const PulseHeader& e : alphabet)
        out.insert(out.end(), e.lpData.get(), e.lpData.get() + e.wLength);
    SeriesHeader* h = getCutOffSeriesHeader(nullptr, 20, 20, 40, 181, 1200, nullptr);
    const int32_t subset[] = {3, 9, 14};
    std::vector<uint16_t> sequence(30);
    for (int k = 0; h && k < seriesCount; k++) {
        setSelectedSubset(nullptr, subset, 3, k % 3 == 0 ? 3 : 5, 2, h);
        for (uint16_t& e : sequence)
            e = static_cast<uint16_t>(1 + (nextSequenceRandom(streams) >> 3) % 20);
        h = k % 2 ? getRandomCountSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 0, sequence.data(), 128, 75, h,
                                         streams)
                  : getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 75, h, streams);
        addNoise(h, static_cast<int16_t>(10 * k), streams);
        out.insert(out.end(), h->lpNoisyData, h->lpNoisyData + h->dwSeriesSize);
    }
    freeSeriesHeader(h);
    freeAlphabet(20, alphabet);
    out.insert(out.end(), {streams.wCutBeginSeed, streams.wCutEndSeed, streams.wPositionSeed, streams.wQuantitySeed,
                           streams.wSubsetShiftSeed, streams.wSubsetGapSeed, streams.wNoiseEtalonSeed,
                           streams.dwSequenceState, streams.wNoiseSeed});
    return out;
}

} // namespace

TEST(RandomStreams, TwoUsedOnTwoThreadsAtOnceGiveWhatEachGivesAlone)
{
    std::mt19937 pick(81226);
    auto any = [&pick] { return static_cast<int16_t>(pick() & 0x7FFF); };
    for (int round = 0; round < 4; round++) {
        // a from a fresh start in the first round, then both from anywhere
        RandomStreams a;
        if (round > 0)
            a = RandomStreams{any(), any(), any(), any(), any(), any(), any(), static_cast<int32_t>(pick()), any()};
        const RandomStreams b{any(), any(), any(), any(), any(), any(), any(), static_cast<int32_t>(pick()), any()};
        const std::vector<int32_t> aloneA = drawSession(a, 12), aloneB = drawSession(b, 12);
        ASSERT_FALSE(aloneA.empty());
        ASSERT_NE(aloneA, aloneB) << "round " << round << ": the twins must differ to show anything";
        std::vector<int32_t> togetherA, togetherB;
        for (int repeat = 0; repeat < 3; repeat++) {
            std::thread other([&] { togetherB = drawSession(b, 12); });
            togetherA = drawSession(a, 12);
            other.join();
            ASSERT_EQ(togetherA, aloneA) << "round " << round << ", repeat " << repeat;
            ASSERT_EQ(togetherB, aloneB) << "round " << round << ", repeat " << repeat;
        }
    }
}

using AddNoise = FreshStart;

TEST_F(AddNoise, LevelZeroKeepsPureSamplesAndStillDrawsTwelvePerSample)
{
    buildAlphabet();
    std::vector<uint16_t> sequence(30, 3);
    SeriesHeader* h =
        getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 75, nullptr, streams);
    ASSERT_NE(h, nullptr);
    addNoise(h, 0, streams);
    EXPECT_TRUE(std::equal(h->lpPureData, h->lpPureData + 1200, h->lpNoisyData));
    EXPECT_EQ(streams.wNoiseSeed, advanced(kNoiseSeedStart, 12 * 1200));
    EXPECT_EQ(h->wSeriesNoiseLevel, 0);
    freeSeriesHeader(h);
}

TEST_F(AddNoise, ReplacesEarlierNoiseWithPurePlusFreshDraws)
{
    buildAlphabet();
    std::vector<uint16_t> sequence(30, 5);
    SeriesHeader* h =
        getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 600, 8, sequence.data(), 128, 100, nullptr, streams);
    ASSERT_NE(h, nullptr);
    addNoise(h, 150, streams);
    int16_t twin = streams.wNoiseSeed;
    addNoise(h, 35, streams);
    for (int i = 0; i < 600; i++)
        ASSERT_EQ(h->lpNoisyData[i], static_cast<int16_t>(h->lpPureData[i] + static_cast<int16_t>(gaussRandom(twin, 0, 35))));
    EXPECT_EQ(h->wSeriesNoiseLevel, 35);
    freeSeriesHeader(h);
}

// Every sample and every sigma of the 16-bit range, any seed, lengths around
// the vector widths: the same samples and the same seed as one draw at a time.
TEST(NoiseKernel, AddsWhatTheDrawsOneByOneAddOnEveryTarget)
{
    std::mt19937 random(19);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    onEveryTarget(noiseKernelTarget, [&](const char* target) {
        for (int trial = 0; trial < 400; trial++) {
            const int32_t count = trial % 2 ? pick(0, 70) : pick(0, 1300);
            const int16_t sigma = static_cast<int16_t>(trial % 7 == 0 ? (trial % 2 ? -32768 : 32767) : pick(-32768, 32767));
            std::vector<int16_t> pure(count), noisy(count, 0);
            for (int16_t& v : pure)
                v = static_cast<int16_t>(pick(-32768, 32767));
            int16_t seed = static_cast<int16_t>(pick(-32768, 32767)), twin = seed;
            const int32_t done = addGaussNoise(seed, sigma, pure.data(), noisy.data(), count);
            ASSERT_GE(done, 0);
            ASSERT_LE(done, count);
            ASSERT_GT(done + 16, count) << "at most one vector is left to the caller";
            for (int32_t i = 0; i < done; i++)
                ASSERT_EQ(noisy[i], static_cast<int16_t>(pure[i] + static_cast<int16_t>(gaussRandom(twin, 0, sigma))))
                    << target << ", trial " << trial << ", sample " << i << ", sigma " << sigma;
            ASSERT_EQ(seed, twin) << target << ", trial " << trial;
        }
    });
}

TEST(JumpRandom, EqualsThatManySingleDrawsForRandomSeedsAndCounts)
{
    std::mt19937_64 pick(20261208);
    for (int trial = 0; trial < 3000; trial++) {
        const int16_t start = static_cast<int16_t>(pick() & 0xFFFF); // negative seeds too
        const long draws = static_cast<long>(pick() % (trial < 2000 ? 200 : 70000));
        int16_t seed = start;
        EXPECT_EQ(jumpRandom(seed, static_cast<uint64_t>(draws)), advanced(start, draws))
            << "from " << start << " by " << draws;
        ASSERT_EQ(seed, advanced(start, draws));
    }
}

TEST(JumpRandom, KnownValuesZeroDrawsAndWholePeriods)
{
    int16_t seed = 12345;
    EXPECT_EQ(jumpRandom(seed, 3), 1768);
    seed = 0;
    EXPECT_EQ(jumpRandom(seed, 1), 6925);
    seed = -5;
    EXPECT_EQ(jumpRandom(seed, 0), -5) << "no draw leaves even an unmasked seed alone";
    seed = 10597;
    EXPECT_EQ(jumpRandom(seed, 32768), 10597);
    seed = 10597;
    EXPECT_EQ(jumpRandom(seed, 32768ull * 1000000007ull + 2), 2795) << "whole periods cost nothing";
    seed = -1; // 0xFFFF is 32767 to the generator
    EXPECT_EQ(jumpRandom(seed, 32768), 32767);
}

TEST(SkipNoise, LeavesTheStreamWhereAddNoiseLeavesIt)
{
    for (int32_t N : {1, 20, 1200}) {
        SeriesHeader* h = getCutOffSeriesHeader(nullptr, 20, 20, 40, 181, std::max(N, 20), nullptr);
        ASSERT_NE(h, nullptr);
        h->dwSeriesSize = N;
        RandomStreams added, skipped;
        added.wNoiseSeed = skipped.wNoiseSeed = 4321;
        addNoise(h, 37, added);
        skipNoise(h, skipped);
        EXPECT_EQ(skipped, added) << N << " samples";
        EXPECT_EQ(skipped.wNoiseSeed, advanced(4321, 12L * N));
        freeSeriesHeader(h);
    }
    RandomStreams untouched;
    skipNoise(nullptr, untouched);
    EXPECT_EQ(untouched, RandomStreams{});
}
