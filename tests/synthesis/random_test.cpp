// Random streams: stated values, period, the normal draw, noise and reset.
#include <cmath>
#include <algorithm>
#include <random>
#include <set>

#include "support/fixtures.h"

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
    resetRandomStreams();
    for (int32_t expected : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(nextSequenceRandom(), expected);
}

TEST(RandomStreams, ResetAndRestorePutEveryStreamBack)
{
    resetRandomStreams();
    RandomStreamsState start = saveRandomStreams();
    nextRandom(wCutBeginSeed);
    nextRandom(wSubsetGapSeed);
    nextSequenceRandom();
    EXPECT_EQ(wSubsetShiftSeed, kSubsetShiftSeedStart) << "shift and gap are separate streams";
    EXPECT_NE(wSubsetGapSeed, kSubsetGapSeedStart);
    RandomStreamsState moved = saveRandomStreams();
    resetRandomStreams();
    EXPECT_EQ(wCutBeginSeed, start.wCutBeginSeed);
    EXPECT_EQ(dwSequenceState, start.dwSequenceState);
    restoreRandomStreams(moved);
    EXPECT_EQ(wCutBeginSeed, moved.wCutBeginSeed);
    EXPECT_EQ(wSubsetGapSeed, moved.wSubsetGapSeed);
    EXPECT_EQ(dwSequenceState, moved.dwSequenceState);
}

using AddNoise = FreshStart;

TEST_F(AddNoise, LevelZeroKeepsPureSamplesAndStillDrawsTwelvePerSample)
{
    buildAlphabet();
    std::vector<uint16_t> sequence(30, 3);
    SeriesHeader* h = getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 75, nullptr);
    ASSERT_NE(h, nullptr);
    addNoise(h, 0, wNoiseSeed);
    EXPECT_TRUE(std::equal(h->lpPureData, h->lpPureData + 1200, h->lpNoisyData));
    EXPECT_EQ(wNoiseSeed, advanced(kNoiseSeedStart, 12 * 1200));
    EXPECT_EQ(h->wSeriesNoiseLevel, 0);
    freeSeriesHeader(h);
}

TEST_F(AddNoise, ReplacesEarlierNoiseWithPurePlusFreshDraws)
{
    buildAlphabet();
    std::vector<uint16_t> sequence(30, 5);
    SeriesHeader* h = getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 600, 8, sequence.data(), 128, 100, nullptr);
    ASSERT_NE(h, nullptr);
    addNoise(h, 150, wNoiseSeed);
    int16_t twin = wNoiseSeed;
    addNoise(h, 35, wNoiseSeed);
    for (int i = 0; i < 600; i++)
        ASSERT_EQ(h->lpNoisyData[i], static_cast<int16_t>(h->lpPureData[i] + static_cast<int16_t>(gaussRandom(twin, 0, 35))));
    EXPECT_EQ(h->wSeriesNoiseLevel, 35);
    freeSeriesHeader(h);
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
        int16_t added = 4321, skipped = 4321;
        addNoise(h, 37, added);
        skipNoise(h, skipped);
        EXPECT_EQ(skipped, added) << N << " samples";
        EXPECT_EQ(skipped, advanced(4321, 12L * N));
        freeSeriesHeader(h);
    }
    int16_t untouched = 99;
    skipNoise(nullptr, untouched);
    EXPECT_EQ(untouched, 99);
}
