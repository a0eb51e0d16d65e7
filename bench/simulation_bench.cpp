// Cost of a statistical simulation: the whole default grid (pulse counts 6..30,
// 29 noise levels from 0 in steps of 5, 100 repeats, joint detection and
// identification of fixed counts of cut-off pulses, levels 75/75, 20 required
// etalons) with one thread and with every hardware thread, and the tests'
// literal model detectors per trial on a sample of that grid. Minutes in all.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "detection/detection.h"
#include "detection/reference.h"
#include "simulation/simulation.h"

namespace {

struct Grid {
    uint16_t firstPulses, pulsesStep, P; // pulse counts firstPulses + j * pulsesStep, j < P
    uint16_t firstLevel, levelStep, L;   // noise levels firstLevel + k * levelStep, k < L
    int32_t repeats;                     // trials per cell
};

constexpr Grid kDefaultGrid{6, 1, 25, 0, 5, 29, 100};
// A sample of the default grid for the literal model: few, short and long series.
constexpr Grid kModelSample{6, 12, 3, 20, 25, 2, 1};

void applyOutcome(const reference::Outcome& o, ChainsHeader* c, SeriesHeader* h)
{
    for (size_t m = 0; m < o.detected.size(); m++) {
        h->lpDetectedPositions[m] = o.detected[m].position;
        h->lpDetectedNumbers[m] = o.detected[m].number;
        h->lpDetectedCutBegin[m] = o.detected[m].first;
        h->lpDetectedCutEnd[m] = o.detected[m].last;
    }
    h->wDetectedQuantity = static_cast<uint16_t>(o.detected.size());
    c->wSeekingPulsesQuantity = o.seekingPulses;
}

int32_t modelDetectFixed(HWND, PulseHeader* alphabet, uint16_t n, uint16_t* list, uint16_t Tmin, uint16_t Tmax,
                         uint16_t level, ChainsHeader* c, SeriesHeader* h)
{
    const reference::Input in{alphabet, std::vector<uint16_t>(list, list + n), Tmin, Tmax, level, c->wMaxSize, h};
    const reference::Outcome o = reference::detectFixed(in);
    applyOutcome(o, c, h);
    return o.value;
}

// One whole run over a grid from the program's start state; returns the trials run.
int64_t runGrid(const Grid& g, int threads, const DetectorSet* detectors)
{
    RandomStreams streams;  // a fresh start's
    PulseHeader alphabet[kAlphabetCapacity];
    makeAlphabet(nullptr, 128, 20, 20, alphabet, streams);
    std::vector<uint16_t> required;
    for (uint16_t e = 1; e <= 20; e++)
        required.push_back(e);
    SeriesHeader* series = getCutOffSeriesHeader(nullptr, 20, 20, 40, 181, 1200, nullptr);
    RestoreErrorHeader* record = getRestErrHeader(nullptr, g.P, g.L, g.repeats, nullptr);
    initRestErrHeader(nullptr, g.P, g.firstPulses, g.pulsesStep, g.L, g.firstLevel, g.levelStep, g.repeats, record);
    TrawlingContext context;
    context.lpStreams = &streams;
    context.threads = threads;
    context.detectors = detectors;
    const int status = statCutoffTrawling(nullptr, record, 20, alphabet, 20, required.data(), 2, 4, 75, 75, series,
                                          context);
    benchmark::DoNotOptimize(record->lpErrors[0][0][0]);
    freeRestErrHeader(record);
    freeSeriesHeader(series);
    freeAlphabet(20, alphabet);
    return status == kTrawlingComplete ? int64_t(g.P) * g.L * g.repeats : 0;
}

using Clock = std::chrono::steady_clock;

// Trials run and wall milliseconds per trial since `started`.
void reportPerTrial(benchmark::State& state, int64_t trials, Clock::time_point started)
{
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    state.counters["trials"] = static_cast<double>(trials);
    state.counters["ms_per_trial"] = trials ? ms / static_cast<double>(trials) : 0.0;
}

// The default grid; Arg 1: one thread, Arg 0: every hardware thread.
void BM_DefaultGrid(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    int64_t trials = 0;
    const Clock::time_point started = Clock::now();
    for (auto _ : state)
        trials += runGrid(kDefaultGrid, threads, nullptr);
    state.counters["threads"] = threads ? threads : std::thread::hardware_concurrency();
    reportPerTrial(state, trials, started);
}
BENCHMARK(BM_DefaultGrid)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The production detectors on the same sample as the literal model.
void BM_SampleProduction(benchmark::State& state)
{
    int64_t trials = 0;
    const Clock::time_point started = Clock::now();
    for (auto _ : state)
        trials += runGrid(kModelSample, 1, nullptr);
    reportPerTrial(state, trials, started);
}
BENCHMARK(BM_SampleProduction)->Unit(benchmark::kMillisecond)->UseRealTime();

// The literal model of detectFixedPulses on a sample of the default grid (one thread).
void BM_SampleLiteralModel(benchmark::State& state)
{
    DetectorSet model = productionDetectors();
    model[DetectorSlot::DetectFixed].pulses = modelDetectFixed;
    int64_t trials = 0;
    const Clock::time_point started = Clock::now();
    for (auto _ : state)
        trials += runGrid(kModelSample, 1, &model);
    reportPerTrial(state, trials, started);
}
BENCHMARK(BM_SampleLiteralModel)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
