// Cost of making one default series and of adding its noise: the part of every
// simulation trial that runs on one thread, in trial order; and of skipping
// both (another process's trial of a run split over MPI processes).
#include <benchmark/benchmark.h>

#include "synthesis/synthesis.h"

namespace {

struct DefaultAlphabet {
    PulseHeader entries[kAlphabetCapacity];
    RandomStreams streams;  // what the alphabet drew from, then the series
    DefaultAlphabet() { makeAlphabet(nullptr, 128, 20, 20, entries, streams); }
};

void BM_getCutOffSeries(benchmark::State& state)
{
    static DefaultAlphabet alphabet;
    std::vector<uint16_t> sequence(30, 7);
    SeriesHeader* h = nullptr;
    for (auto _ : state) {
        h = getCutOffSeries(nullptr, 20, alphabet.entries, 20, 40, 181, 1200, 18, sequence.data(), 128,
                            static_cast<int16_t>(state.range(0)), h, alphabet.streams);
        benchmark::DoNotOptimize(h->lpPureData);
    }
    freeSeriesHeader(h);
}
BENCHMARK(BM_getCutOffSeries)->Arg(100)->Arg(75);

void BM_addNoise(benchmark::State& state)
{
    static DefaultAlphabet alphabet;
    std::vector<uint16_t> sequence(30, 7);
    RandomStreams streams;
    SeriesHeader* h = getCutOffSeries(nullptr, 20, alphabet.entries, 20, 40, 181, 1200, 18, sequence.data(), 128, 75,
                                      nullptr, streams);
    for (auto _ : state) {
        addNoise(h, 20, streams);
        benchmark::DoNotOptimize(h->lpNoisyData);
    }
    freeSeriesHeader(h);
}
BENCHMARK(BM_addNoise);

// What a process spends on a trial of another process: the draws of the series
// (a subset in complete employment, replayed) and of its noise (jumped).
void BM_skipTrial(benchmark::State& state)
{
    static DefaultAlphabet alphabet;
    std::vector<uint16_t> sequence(30, 7);
    SeriesHeader* h = getCutOffSeriesHeader(nullptr, 20, 20, 40, 181, 1200, nullptr);
    const int32_t subset[] = {2, 5, 9};
    setSelectedSubset(nullptr, subset, 3, 4, 1, h);
    RandomStreams streams;
    for (auto _ : state) {
        skipExtSeries(20, alphabet.entries, 20, 40, 181, 1200, 18, sequence.data(), h, streams);
        skipNoise(h, streams);
        benchmark::DoNotOptimize(streams.wNoiseSeed);
    }
    freeSeriesHeader(h);
}
BENCHMARK(BM_skipTrial);

void BM_jumpRandom(benchmark::State& state)
{
    int16_t seed = kNoiseSeedStart;
    for (auto _ : state)
        benchmark::DoNotOptimize(jumpRandom(seed, 12u * 1200u));
}
BENCHMARK(BM_jumpRandom);

} // namespace

BENCHMARK_MAIN();
