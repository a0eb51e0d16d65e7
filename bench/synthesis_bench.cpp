// Cost of making one default series and of adding its noise: the part of every
// simulation trial that runs on one thread, in trial order.
#include <benchmark/benchmark.h>

#include "synthesis/synthesis.h"

namespace {

struct DefaultAlphabet {
    PulseHeader entries[kAlphabetCapacity];
    DefaultAlphabet() { makeAlphabet(nullptr, 128, 20, 20, entries); }
};

void BM_getCutOffSeries(benchmark::State& state)
{
    static DefaultAlphabet alphabet;
    std::vector<uint16_t> sequence(30, 7);
    SeriesHeader* h = nullptr;
    for (auto _ : state) {
        h = getCutOffSeries(nullptr, 20, alphabet.entries, 20, 40, 181, 1200, 18, sequence.data(), 128,
                            static_cast<int16_t>(state.range(0)), h);
        benchmark::DoNotOptimize(h->lpPureData);
    }
    freeSeriesHeader(h);
}
BENCHMARK(BM_getCutOffSeries)->Arg(100)->Arg(75);

void BM_addNoise(benchmark::State& state)
{
    static DefaultAlphabet alphabet;
    std::vector<uint16_t> sequence(30, 7);
    SeriesHeader* h = getCutOffSeries(nullptr, 20, alphabet.entries, 20, 40, 181, 1200, 18, sequence.data(), 128, 75,
                                      nullptr);
    int16_t seed = kNoiseSeedStart;
    for (auto _ : state) {
        addNoise(h, 20, seed);
        benchmark::DoNotOptimize(h->lpNoisyData);
    }
    freeSeriesHeader(h);
}
BENCHMARK(BM_addNoise);

} // namespace

BENCHMARK_MAIN();
