// The random streams of the workbench: the 15-bit generator on separate seeds,
// the approximately normal draw, the additive noise and the 32-bit sequence
// generator, each drawing from the RandomStreams it is given. Every random
// quantity of a series comes from here, in a fixed order.
#include "synthesis.h"

#include "noisekernel.h"

int16_t nextRandom(int16_t& seed)
{
    // 16-bit wrap-around then the low 15 bits: the same as mod 32768.
    uint32_t next = (static_cast<uint16_t>(seed) * 12869u + 6925u) & 0x7FFFu;
    seed = static_cast<int16_t>(next);
    return seed;
}

namespace {

// x -> a * x + c modulo 32768: the step of a 15-bit stream and its powers.
struct AffineStep {
    uint32_t a;  // multiplier, 0..32767
    uint32_t c;  // increment, 0..32767
};

// `second` after `first`.
AffineStep compose(AffineStep first, AffineStep second)
{
    return AffineStep{(second.a * first.a) & 0x7FFFu, (second.a * first.c + second.c) & 0x7FFFu};
}

} // namespace

int16_t jumpRandom(int16_t& seed, uint64_t draws)
{
    if (draws == 0)
        return seed;
    // The step only looks at the seed modulo 32768, and its period is 32768.
    AffineStep power{12869u, 6925u};
    AffineStep total{1u, 0u};
    for (uint64_t m = draws % 32768u; m != 0; m >>= 1) {
        if (m & 1u)
            total = compose(total, power);
        power = compose(power, power);
    }
    const uint32_t x = static_cast<uint16_t>(seed) & 0x7FFFu;
    seed = static_cast<int16_t>((total.a * x + total.c) & 0x7FFFu);
    return seed;
}

int32_t gaussRandom(int16_t& seed, int16_t mean, int16_t sigma)
{
    int32_t sum = 0;
    for (int i = 0; i < 12; i++)
        sum += nextRandom(seed);
    // 64-bit product: equal to the 32-bit one wherever that one is defined.
    int64_t scaled = static_cast<int64_t>(sum - 196608) * sigma;
    return static_cast<int32_t>(scaled >> 15) + mean; // arithmetic shift: rounds toward minus infinity
}

void addNoise(SeriesHeader* lpSeriesHeader, int16_t level, RandomStreams& streams)
{
    if (!lpSeriesHeader || !lpSeriesHeader->lpPureData)
        return;
    const int16_t* pure = lpSeriesHeader->lpPureData;
    int16_t* noisy = lpSeriesHeader->lpNoisyData;
    // Whole vectors of samples at once, then the rest one by one.
    int32_t i = addGaussNoise(streams.wNoiseSeed, level, pure, noisy, lpSeriesHeader->dwSeriesSize);
    for (; i < lpSeriesHeader->dwSeriesSize; i++) {
        int16_t noise = static_cast<int16_t>(gaussRandom(streams.wNoiseSeed, 0, level));
        noisy[i] = static_cast<int16_t>(pure[i] + noise); // wraps on overflow, as 16-bit samples do
    }
    lpSeriesHeader->wSeriesNoiseLevel = level;
}

void skipNoise(const SeriesHeader* lpSeriesHeader, RandomStreams& streams)
{
    if (lpSeriesHeader && lpSeriesHeader->lpPureData && lpSeriesHeader->dwSeriesSize > 0)
        jumpRandom(streams.wNoiseSeed, 12u * static_cast<uint64_t>(lpSeriesHeader->dwSeriesSize));
}

int32_t nextSequenceRandom(RandomStreams& streams)
{
    uint32_t state = static_cast<uint32_t>(streams.dwSequenceState) * 214013u + 2531011u;
    streams.dwSequenceState = static_cast<int32_t>(state);
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}
