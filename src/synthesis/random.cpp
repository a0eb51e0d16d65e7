// The random streams of the workbench: the 15-bit generator on separate seeds,
// the approximately normal draw, the additive noise and the 32-bit sequence
// generator, each drawing from the RandomStreams it is given. Every random
// quantity of a series comes from here, in a fixed order. With a replicate
// seed, the keyed counter generator stands in for every stream.
#include <cassert>

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

namespace {

// Twelve keyed draws summed (0..393204), centred and scaled to the given mean
// and standard deviation exactly as gaussRandom does.
int32_t gaussOfSum(int32_t sum, int16_t mean, int16_t sigma)
{
    // 64-bit product: equal to the 32-bit one wherever that one is defined.
    int64_t scaled = static_cast<int64_t>(sum - 196608) * sigma;
    return static_cast<int32_t>(scaled >> 15) + mean; // arithmetic shift: rounds toward minus infinity
}

void addKeyedNoise(SeriesHeader* lpSeriesHeader, int16_t level, RandomStreams& streams);

} // namespace

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
    if (streams.dwReplicateSeed != 0) {
        addKeyedNoise(lpSeriesHeader, level, streams);
        return;
    }
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
        jumpStream(streams, RandomStream::Noise, 12u * static_cast<uint64_t>(lpSeriesHeader->dwSeriesSize));
}

int32_t nextSequenceRandom(RandomStreams& streams)
{
    if (streams.dwReplicateSeed != 0)
        return drawRandom(streams, RandomStream::Sequence);
    uint32_t state = static_cast<uint32_t>(streams.dwSequenceState) * 214013u + 2531011u;
    streams.dwSequenceState = static_cast<int32_t>(state);
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}

/*---- Replicates: the keyed counter generator ----*/

namespace {

// The SplitMix64 finaliser: a bijection of 64-bit words that mixes every bit.
uint64_t mix64(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// The start and the odd increment of one keyed stream (see synthesis.h).
struct KeyedStream {
    uint64_t start;      // k = mix(N * 2^8 + s + 1)
    uint64_t increment;  // g, odd

    KeyedStream(uint32_t seed, RandomStream id)
        : start(mix64((uint64_t(seed) << 8) + uint64_t(id) + 1u)), increment(mix64(start ^ 0x5851F42D4C957F2Du) | 1u)
    {
    }
    // Four draws, 15 bits each from bit 0 up: draws 4 b .. 4 b + 3.
    uint64_t block(uint64_t b) const { return mix64(start + (b + 1u) * increment); }
    int16_t draw(uint64_t counter) const
    {
        return static_cast<int16_t>((block(counter >> 2) >> (15u * (counter & 3u))) & 0x7FFFu);
    }
};

// The 15-bit seed a stream keeps its last draw in; none for the sequence generator.
int16_t* lastDrawOf(RandomStreams& s, RandomStream id)
{
    switch (id) {
    case RandomStream::CutBegin: return &s.wCutBeginSeed;
    case RandomStream::CutEnd: return &s.wCutEndSeed;
    case RandomStream::Position: return &s.wPositionSeed;
    case RandomStream::Quantity: return &s.wQuantitySeed;
    case RandomStream::SubsetShift: return &s.wSubsetShiftSeed;
    case RandomStream::SubsetGap: return &s.wSubsetGapSeed;
    case RandomStream::NoiseEtalon: return &s.wNoiseEtalonSeed;
    case RandomStream::Noise: return &s.wNoiseSeed;
    case RandomStream::Sequence: break;
    }
    return nullptr;
}

// addNoise under a replicate seed: twelve keyed draws per sample, three blocks.
void addKeyedNoise(SeriesHeader* h, int16_t level, RandomStreams& streams)
{
    const KeyedStream keyed(streams.dwReplicateSeed, RandomStream::Noise);
    uint64_t& counter = streams.counters[size_t(RandomStream::Noise)];
    const int16_t* pure = h->lpPureData;
    int16_t* noisy = h->lpNoisyData;
    for (int32_t i = 0; i < h->dwSeriesSize; i++) {
        int32_t sum = 0;
        if ((counter & 3u) == 0) { // aligned: three whole blocks
            for (uint64_t b = counter >> 2; b < (counter >> 2) + 3; b++) {
                const uint64_t x = keyed.block(b);
                sum += int32_t(x & 0x7FFFu) + int32_t((x >> 15) & 0x7FFFu) + int32_t((x >> 30) & 0x7FFFu) +
                       int32_t((x >> 45) & 0x7FFFu);
            }
        } else {
            for (uint64_t c = counter; c < counter + 12; c++)
                sum += keyed.draw(c);
        }
        counter += 12;
        noisy[i] = static_cast<int16_t>(pure[i] + static_cast<int16_t>(gaussOfSum(sum, 0, level)));
    }
    if (h->dwSeriesSize > 0)
        streams.wNoiseSeed = keyed.draw(counter - 1);
    h->wSeriesNoiseLevel = level;
}

} // namespace

void seedRandomStreams(RandomStreams& streams, uint32_t seed)
{
    streams.dwReplicateSeed = seed;
    streams.counters.fill(0);
}

int16_t keyedRandom(uint32_t seed, RandomStream id, uint64_t counter)
{
    return KeyedStream(seed, id).draw(counter);
}

int16_t drawRandom(RandomStreams& streams, RandomStream id)
{
    int16_t* last = lastDrawOf(streams, id);
    if (streams.dwReplicateSeed == 0)
        return last ? nextRandom(*last) : static_cast<int16_t>(nextSequenceRandom(streams));
    const int16_t value = keyedRandom(streams.dwReplicateSeed, id, streams.counters[size_t(id)]++);
    if (last)
        *last = value;
    return value;
}

int32_t drawGauss(RandomStreams& streams, RandomStream id, int16_t mean, int16_t sigma)
{
    if (streams.dwReplicateSeed == 0) {
        int16_t* last = lastDrawOf(streams, id);
        assert(last); // the sequence generator has no normal draws
        return gaussRandom(*last, mean, sigma);
    }
    int32_t sum = 0;
    for (int i = 0; i < 12; i++)
        sum += drawRandom(streams, id);
    return gaussOfSum(sum, mean, sigma);
}

void jumpStream(RandomStreams& streams, RandomStream id, uint64_t draws)
{
    int16_t* last = lastDrawOf(streams, id);
    if (streams.dwReplicateSeed == 0) {
        if (last)
            jumpRandom(*last, draws);
        else
            for (uint64_t i = 0; i < draws; i++)
                nextSequenceRandom(streams);
        return;
    }
    if (draws == 0)
        return;
    uint64_t& counter = streams.counters[size_t(id)];
    counter += draws;
    if (last)
        *last = keyedRandom(streams.dwReplicateSeed, id, counter - 1);
}
