// Replicate seeds: the keyed counter generator against single draws and
// against the 15-bit streams it replaces, the noise of successive trials
// (the 15-bit noise repeats after 32768 draws, the keyed noise must not),
// and the independence of two seeds and of two streams of one seed.
#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "support/fixtures.h"

namespace {

constexpr RandomStream kEveryStream[] = {
    RandomStream::CutBegin,    RandomStream::CutEnd,      RandomStream::Position,
    RandomStream::Quantity,    RandomStream::SubsetShift, RandomStream::SubsetGap,
    RandomStream::NoiseEtalon, RandomStream::Sequence,    RandomStream::Noise,
};

// A header of N samples, pure part zero: its noisy part is the noise alone.
SeriesHeader* silentSeries(int32_t N)
{
    SeriesHeader* h = getCutOffSeriesHeader(nullptr, 20, 20, 40, 181, N, nullptr);
    if (h)
        std::fill(h->lpPureData, h->lpPureData + N, 0);
    return h;
}

// The noise of `trials` default trials (1200 samples each) in a row.
std::vector<int16_t> trialNoise(RandomStreams streams, int trials, int16_t level)
{
    SeriesHeader* h = silentSeries(1200);
    std::vector<int16_t> noise;
    for (int t = 0; h && t < trials; t++) {
        addNoise(h, level, streams);
        noise.insert(noise.end(), h->lpNoisyData, h->lpNoisyData + 1200);
    }
    freeSeriesHeader(h);
    return noise;
}

// Windows of 6 consecutive samples that occur earlier in the sequence too.
int repeatedWindows(const std::vector<int16_t>& v)
{
    std::set<std::vector<int16_t>> seen;
    int repeated = 0;
    for (size_t i = 0; i + 6 <= v.size(); i++)
        repeated += !seen.insert(std::vector<int16_t>(v.begin() + i, v.begin() + i + 6)).second;
    return repeated;
}

double correlation(const std::vector<double>& x, const std::vector<double>& y)
{
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); i++) {
        sx += x[i], sy += y[i];
        sxx += x[i] * x[i], syy += y[i] * y[i], sxy += x[i] * y[i];
    }
    return (sxy - sx * sy / n) / std::sqrt((sxx - sx * sx / n) * (syy - sy * sy / n));
}

std::vector<double> draws(uint32_t seed, RandomStream id, uint64_t from, size_t count)
{
    std::vector<double> out(count);
    for (size_t i = 0; i < count; i++)
        out[i] = keyedRandom(seed, id, from + i);
    return out;
}

} // namespace

namespace {

// The correlation of the noise with itself `lag` samples later.
double lagged(const std::vector<int16_t>& v, size_t lag)
{
    return correlation({v.begin(), v.end() - lag}, {v.begin() + lag, v.end()});
}

} // namespace

TEST(KeyedStreams, NoiseOfSuccessiveDefaultTrialsNeverRepeatsWhereTheFifteenBitNoiseDoes)
{
    // Ten trials: 144 000 draws. The 15-bit noise repeats itself after 8192
    // samples (12 x 8192 draws are whole cycles) and 2731 samples later it
    // is made of 8 of the same 12 draws (32772 draws on: 4 past a cycle).
    const std::vector<int16_t> programs = trialNoise(RandomStreams{}, 10, 1000);
    EXPECT_GT(repeatedWindows(programs), 3000) << "the planted fault: the 15-bit cycle";
    EXPECT_GT(lagged(programs, 2731), 0.5);
    for (uint32_t seed : {1u, 2u, 0xFFFFFFFFu}) {
        RandomStreams keyed;
        seedRandomStreams(keyed, seed);
        const std::vector<int16_t> noise = trialNoise(keyed, 10, 1000);
        EXPECT_EQ(repeatedWindows(noise), 0) << "seed " << seed;
        for (size_t lag : {1, 1200, 2731, 8192})
            EXPECT_LT(std::abs(lagged(noise, lag)), 0.05) << "seed " << seed << ", lag " << lag;
    }
}

TEST(KeyedStreams, TwoSeedsAndTwoStreamsOfOneSeedAreUncorrelated)
{
    const size_t n = 200000;  // the correlation of independent draws spreads by 1 / sqrt(n) = 0.0022
    const double bound = 0.015;
    const std::vector<double> one = draws(1, RandomStream::Noise, 0, n);
    EXPECT_LT(std::abs(correlation(one, draws(2, RandomStream::Noise, 0, n))), bound) << "neighbouring seeds";
    EXPECT_LT(std::abs(correlation(one, draws(257, RandomStream::Noise, 0, n))), bound) << "seeds 256 apart";
    EXPECT_LT(std::abs(correlation(one, draws(1, RandomStream::Position, 0, n))), bound) << "two streams";
    EXPECT_LT(std::abs(correlation(one, draws(1, RandomStream::Noise, 1, n))), bound) << "one draw apart";
    // and the noise itself, sample against sample, of two seeds
    RandomStreams a, b;
    seedRandomStreams(a, 41);
    seedRandomStreams(b, 42);
    const std::vector<int16_t> na = trialNoise(a, 20, 300), nb = trialNoise(b, 20, 300);
    EXPECT_LT(std::abs(correlation({na.begin(), na.end()}, {nb.begin(), nb.end()})), 0.03);
    // the draws fill the 15-bit range evenly: mean 16383.5, spread 32768 / sqrt(12)
    double mean = 0, square = 0;
    for (double v : one)
        mean += v / n, square += v * v / n;
    EXPECT_NEAR(mean, 16383.5, 100.0);
    EXPECT_NEAR(std::sqrt(square - mean * mean), 32768 / std::sqrt(12.0), 100.0);
    EXPECT_EQ(*std::min_element(one.begin(), one.end()), 0.0);
    EXPECT_EQ(*std::max_element(one.begin(), one.end()), 32767.0);
}

TEST(KeyedStreams, JumpsDrawsNoiseAndItsSkipAgreeWithSingleDrawsFromAnyCounter)
{
    std::mt19937_64 pick(18);
    SeriesHeader* h = silentSeries(97);
    ASSERT_NE(h, nullptr);
    for (int round = 0; round < 300; round++) {
        const uint32_t seed = static_cast<uint32_t>(pick()) | 1u;
        const RandomStream id = kEveryStream[pick() % 9];
        const uint64_t start = pick() % 1000, m = pick() % 5000;
        RandomStreams drawn, jumped;
        seedRandomStreams(drawn, seed);
        seedRandomStreams(jumped, seed);
        jumpStream(drawn, id, start);
        jumpStream(jumped, id, start);
        for (uint64_t i = 0; i < m; i++)
            ASSERT_EQ(drawRandom(drawn, id), keyedRandom(seed, id, start + i));
        jumpStream(jumped, id, m);
        ASSERT_EQ(jumped, drawn) << "a jump leaves the counter and the last draw as the draws do";
        ASSERT_EQ(drawRandom(jumped, id), drawRandom(drawn, id));

        // addNoise from any counter (aligned to four draws or not) against its twin
        RandomStreams noisy = drawn, twin = drawn, skipped = drawn;
        jumpStream(noisy, RandomStream::Noise, start);
        twin = skipped = noisy;
        addNoise(h, static_cast<int16_t>(round), noisy);
        for (int i = 0; i < 97; i++)
            ASSERT_EQ(h->lpNoisyData[i], static_cast<int16_t>(drawGauss(twin, RandomStream::Noise, 0,
                                                                        static_cast<int16_t>(round))));
        skipNoise(h, skipped);
        ASSERT_EQ(noisy, twin);
        ASSERT_EQ(skipped, noisy);
    }
    freeSeriesHeader(h);
}

TEST(KeyedStreams, SeedZeroDrawsEveryStreamFromItsFifteenBitGenerator)
{
    std::mt19937 pick(1812);
    auto any = [&pick] { return static_cast<int16_t>(pick() & 0x7FFF); };
    for (int round = 0; round < 200; round++) {
        RandomStreams through{any(), any(), any(), any(), any(), any(), any(), static_cast<int32_t>(pick()), any()};
        RandomStreams twin = through;
        const RandomStream id = kEveryStream[round % 9];
        const uint64_t m = pick() % 40000;
        jumpStream(through, id, m);
        int16_t value = drawRandom(through, id);
        int32_t gauss = id == RandomStream::Sequence ? 0 : drawGauss(through, id, 3, 77);
        // the twin: the generators by their own names
        int16_t* fields[] = {&twin.wCutBeginSeed, &twin.wCutEndSeed,      &twin.wPositionSeed,
                             &twin.wQuantitySeed, &twin.wSubsetShiftSeed, &twin.wSubsetGapSeed,
                             &twin.wNoiseEtalonSeed, nullptr,             &twin.wNoiseSeed};
        if (int16_t* f = fields[round % 9]) {
            jumpRandom(*f, m);
            ASSERT_EQ(value, nextRandom(*f));
            ASSERT_EQ(gauss, gaussRandom(*f, 3, 77));
        } else {
            for (uint64_t i = 0; i < m; i++)
                nextSequenceRandom(twin);
            ASSERT_EQ(value, nextSequenceRandom(twin));
        }
        ASSERT_EQ(through, twin) << "stream " << round % 9;
    }
}
