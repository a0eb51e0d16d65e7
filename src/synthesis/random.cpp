// The random streams of the workbench: the 15-bit generator on separate seeds,
// the approximately normal draw, the additive noise and the 32-bit sequence
// generator. Every random quantity of a series comes from here, in a fixed order.
#include "synthesis.h"

int16_t wCutBeginSeed = kCutBeginSeedStart;
int16_t wCutEndSeed = kCutEndSeedStart;
int16_t wPositionSeed = kPositionSeedStart;
int16_t wQuantitySeed = kQuantitySeedStart;
int16_t wSubsetShiftSeed = kSubsetShiftSeedStart;
int16_t wSubsetGapSeed = kSubsetGapSeedStart;
int16_t wNoiseEtalonSeed = kNoiseEtalonSeedStart;
int32_t dwSequenceState = kSequenceStateStart;

int16_t nextRandom(int16_t& seed)
{
    // 16-bit wrap-around then the low 15 bits: the same as mod 32768.
    uint32_t next = (static_cast<uint16_t>(seed) * 12869u + 6925u) & 0x7FFFu;
    seed = static_cast<int16_t>(next);
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

void addNoise(SeriesHeader* lpSeriesHeader, int16_t level, int16_t& seed)
{
    if (!lpSeriesHeader || !lpSeriesHeader->lpPureData)
        return;
    const int16_t* pure = lpSeriesHeader->lpPureData;
    int16_t* noisy = lpSeriesHeader->lpNoisyData;
    for (int32_t i = 0; i < lpSeriesHeader->dwSeriesSize; i++) {
        int16_t noise = static_cast<int16_t>(gaussRandom(seed, 0, level));
        noisy[i] = static_cast<int16_t>(pure[i] + noise); // wraps on overflow, as 16-bit samples do
    }
    lpSeriesHeader->wSeriesNoiseLevel = level;
}

int32_t nextSequenceRandom()
{
    uint32_t state = static_cast<uint32_t>(dwSequenceState) * 214013u + 2531011u;
    dwSequenceState = static_cast<int32_t>(state);
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}

void resetRandomStreams()
{
    restoreRandomStreams(RandomStreamsState{kCutBeginSeedStart, kCutEndSeedStart, kPositionSeedStart,
                                            kQuantitySeedStart, kSubsetShiftSeedStart, kSubsetGapSeedStart,
                                            kNoiseEtalonSeedStart, kSequenceStateStart});
}

RandomStreamsState saveRandomStreams()
{
    return RandomStreamsState{wCutBeginSeed, wCutEndSeed,    wPositionSeed,    wQuantitySeed,
                              wSubsetShiftSeed, wSubsetGapSeed, wNoiseEtalonSeed, dwSequenceState};
}

void restoreRandomStreams(const RandomStreamsState& state)
{
    wCutBeginSeed = state.wCutBeginSeed;
    wCutEndSeed = state.wCutEndSeed;
    wPositionSeed = state.wPositionSeed;
    wQuantitySeed = state.wQuantitySeed;
    wSubsetShiftSeed = state.wSubsetShiftSeed;
    wSubsetGapSeed = state.wSubsetGapSeed;
    wNoiseEtalonSeed = state.wNoiseEtalonSeed;
    dwSequenceState = state.dwSequenceState;
}
