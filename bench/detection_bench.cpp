// Cost of the four single-pulse detectors on one default series (L = 1200,
// n = 20, 20 required etalons, 18 pulses for the fixed ones, noise 20), each
// next to the tests' literal model on the same series; the ratios close the report.
// detectFixedPulses/program-series times the call on the series a freshly
// started program's streams give (what bench/python_bench.py times from Python).
// Scaling: the fixed-count operations at level 75 on series of 1200 to 32767
// samples at the default density (18 pulses per 1200 samples), and on the
// default series with 5, 10 and 20 etalons; the fitted exponents close the report.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "detection/detection.h"
#include "detection/reference.h"

namespace {

using Detector = int32_t (*)(HWND, PulseHeader*, uint16_t, uint16_t*, uint16_t, uint16_t, uint16_t, ChainsHeader*,
                             SeriesHeader*);
using Model = reference::Outcome (*)(const reference::Input&);

struct Operation {
    const char* name; // the detector's name
    Detector detect;  // the production operation
    Model model;      // the literal model
    bool unfixed;     // an unfixed-count series (random count) instead of 18 pulses
};

const Operation kOperations[] = {
    {"detectFixedPulses", detectFixedPulses, reference::detectFixed, false},
    {"detectUnfixedPulses", detectUnfixedPulses, reference::detectUnfixed, true},
    {"recognizeFixedPulses", recognizeFixedPulses, reference::recognizeFixed, false},
    {"recognizeUnfixedPulses", recognizeUnfixedPulses, reference::recognizeUnfixed, true},
};

// The default alphabet, list and one series per making level and count kind.
struct Workload {
    PulseHeader alphabet[kAlphabetCapacity];
    std::vector<uint16_t> list;
    std::map<std::pair<int, bool>, SeriesHeader*> series;
    ChainsHeader* chains = nullptr;

    Workload()
    {
        RandomStreams streams;
        makeAlphabet(nullptr, 128, 20, 20, alphabet, streams);
        for (uint16_t e = 1; e <= 20; e++)
            list.push_back(e);
        chains = getChainsHeader(nullptr, 10, 30, nullptr);
    }
    SeriesHeader* seriesFor(int level, bool unfixed)
    {
        SeriesHeader*& h = series[{level, unfixed}];
        if (!h) {
            RandomStreams streams;  // a fresh start's
            std::vector<uint16_t> sequence(30);
            for (int i = 0; i < 30; i++)
                sequence[i] = static_cast<uint16_t>(1 + (i * 7) % 20);
            const int16_t making = static_cast<int16_t>(level);
            h = unfixed ? getRandomCountSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 0, sequence.data(), 128,
                                               making, nullptr, streams)
                        : getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, making,
                                          nullptr, streams);
            addNoise(h, 20, streams);
        }
        return h;
    }
};

Workload& workload()
{
    static Workload w;
    return w;
}

void runFast(benchmark::State& state, const Operation* op, int level)
{
    Workload& w = workload();
    SeriesHeader* h = w.seriesFor(level, op->unfixed);
    for (auto _ : state)
        benchmark::DoNotOptimize(op->detect(nullptr, w.alphabet, 20, w.list.data(), 40, 181,
                                            static_cast<uint16_t>(level), w.chains, h));
}

// The first series of fresh streams as the Python module makes it by default:
// the alphabet, the program's etalon sequence, 18 pulses at level 75, noise 20.
void runOnProgramSeries(benchmark::State& state)
{
    static PulseHeader alphabet[kAlphabetCapacity];
    static SeriesHeader* h = nullptr;
    static std::vector<uint16_t> list;
    if (!h) {
        RandomStreams streams;
        makeAlphabet(nullptr, 128, 20, 20, alphabet, streams);
        std::vector<uint16_t> sequence(30);
        for (uint16_t& e : sequence)
            e = static_cast<uint16_t>(1 + (nextSequenceRandom(streams) >> 3) % 20);
        h = getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 75, nullptr, streams);
        addNoise(h, 20, streams);
        for (uint16_t e = 1; e <= 20; e++)
            list.push_back(e);
    }
    ChainsHeader* chains = getChainsHeader(nullptr, 10, h->wPulsesCapacity, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(detectFixedPulses(nullptr, alphabet, 20, list.data(), 40, 181, 75, chains, h));
    freeChainsHeader(nullptr, chains);
}

// A series of L samples at the default density made of etalons 1..E, noise 20.
struct ScalingCase {
    PulseHeader alphabet[kAlphabetCapacity];
    std::vector<uint16_t> list;
    SeriesHeader* h = nullptr;
    ChainsHeader* chains = nullptr;

    ScalingCase(int L, int E)
    {
        RandomStreams streams;
        makeAlphabet(nullptr, 128, 20, 20, alphabet, streams);
        const int K = static_cast<int>(std::lround(18.0 * L / 1200));
        std::vector<uint16_t> sequence(K);
        for (int i = 0; i < K; i++)
            sequence[i] = static_cast<uint16_t>(1 + (i * 7) % E);
        h = getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, L, static_cast<uint16_t>(K), sequence.data(), 128, 75,
                            nullptr, streams);
        addNoise(h, 20, streams);
        for (uint16_t e = 1; e <= E; e++)
            list.push_back(e);
        chains = getChainsHeader(nullptr, 10, static_cast<uint16_t>(K), nullptr);
    }
    ~ScalingCase()
    {
        freeChainsHeader(nullptr, chains);
        freeSeriesHeader(h);
        freeAlphabet(20, alphabet);
    }
};

void runScaling(benchmark::State& state, const Operation* op, int L, int E)
{
    ScalingCase c(L, E);
    for (auto _ : state)
        benchmark::DoNotOptimize(op->detect(nullptr, c.alphabet, static_cast<uint16_t>(E), c.list.data(), 40, 181, 75,
                                            c.chains, c.h));
}

constexpr int kLengths[] = {1200, 4800, 19200, 32767};
constexpr int kAlphabets[] = {5, 10, 20};

void runModel(benchmark::State& state, const Operation* op, int level)
{
    Workload& w = workload();
    const reference::Input in{w.alphabet, w.list, 40, 181, level, 10, w.seriesFor(level, op->unfixed)};
    for (auto _ : state)
        benchmark::DoNotOptimize(op->model(in).value);
}

// "name/kind/level": the run name of one benchmark.
std::string runName(const char* name, const char* kind, int level)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s/%s/%d", name, kind, level);
    return text;
}

// The console report, then fast against literal per operation and level.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& r : reports)
            if (!r.error_occurred && r.iterations > 0) {
                std::string name = r.benchmark_name();
                name = name.substr(0, name.find("/iterations")); // the literal runs carry their fixed count
                // CPU time: steadier than wall time on a busy machine.
                seconds[name] = r.cpu_accumulated_time / static_cast<double>(r.iterations);
            }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-24s %5s %12s %14s %10s   (CPU time per series)\n", "operation", "level", "fast, ms",
                    "literal, ms", "ratio");
        for (const Operation& op : kOperations)
            for (int level : {100, 75}) {
                const auto fast = seconds.find(runName(op.name, "fast", level));
                const auto slow = seconds.find(runName(op.name, "literal", level));
                if (fast == seconds.end() || slow == seconds.end())
                    continue;
                std::printf("%-24s %5d %12.3f %14.1f %9.0fx\n", op.name, level, fast->second * 1e3,
                            slow->second * 1e3, slow->second / fast->second);
            }
        for (const Operation& op : kOperations) {
            printExponent(op.name, "length", kLengths);
            printExponent(op.name, "etalons", kAlphabets);
        }
    }

    // The least-squares slope of log time over log size for the runs name/kind/size.
    template <size_t count>
    void printExponent(const char* name, const char* kind, const int (&sizes)[count])
    {
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        int points = 0;
        for (int size : sizes) {
            const auto run = seconds.find(runName(name, kind, size));
            if (run == seconds.end())
                continue;
            const double x = std::log(size), y = std::log(run->second);
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
            points++;
        }
        if (points < 2)
            return;
        const double slope = (points * sxy - sx * sy) / (points * sxx - sx * sx);
        std::printf("%-24s time ~ %s^%.2f over %d sizes\n", name, kind, slope, points);
    }

private:
    std::map<std::string, double> seconds; // CPU seconds per iteration, by run name
};

} // namespace

int main(int argc, char** argv)
{
    for (const Operation& op : kOperations)
        for (int level : {100, 75}) {
            benchmark::RegisterBenchmark(runName(op.name, "fast", level).c_str(), runFast, &op, level)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(runName(op.name, "literal", level).c_str(), runModel, &op, level)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(2);
        }
    benchmark::RegisterBenchmark("detectFixedPulses/program-series", runOnProgramSeries)
        ->Unit(benchmark::kMicrosecond);
    for (const Operation& op : kOperations) {
        if (op.unfixed)
            continue;
        for (int L : kLengths)
            benchmark::RegisterBenchmark(runName(op.name, "length", L).c_str(), runScaling, &op, L, 20)
                ->Unit(benchmark::kMillisecond);
        for (int E : kAlphabets)
            benchmark::RegisterBenchmark(runName(op.name, "etalons", E).c_str(), runScaling, &op, 1200, E)
                ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
