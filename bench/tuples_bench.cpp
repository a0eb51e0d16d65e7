// Cost of the tuple recognisers on the default series (1200 samples, pulses of
// 20, distances 40..181, noise 20) with 4 stored tuples of length 3, next to
// the literal model of the tests, at processing levels 100 and 75; at the end
// one line per operation and level gives the model's CPU time over the
// operation's ("ratio"). A few milliseconds per model run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "detection/detection.h"
#include "detection/tuples_reference.h" // the literal model of the tests

namespace {

// The alphabet, the stored tuples, and one series of each kind built with
// the tuples through the program's own streams.
struct Setting {
    PulseHeader alphabet[kAlphabetCapacity];
    std::vector<std::vector<int32_t>> tuples{{3, 7, 12}, {5, 2, 9}, {3, 9, 17}, {14, 6, 1}};
    std::vector<int32_t> sizes;
    std::vector<const int32_t*> rows;
    SeriesHeader* fixed = nullptr;   // 18 pulses, the second tuple placed completely
    SeriesHeader* unfixed = nullptr; // a drawn pulse count, likewise
    ChainsHeader* chains = nullptr;

    Setting()
    {
        RandomStreams streams;  // a fresh start's
        makeAlphabet(nullptr, 128, 20, 20, alphabet, streams);
        for (const auto& t : tuples) {
            sizes.push_back(static_cast<int32_t>(t.size()));
            rows.push_back(t.data());
        }
        std::vector<uint16_t> sequence(30, 1);
        for (SeriesHeader** h : {&fixed, &unfixed}) {
            *h = getCutOffSeriesHeader(nullptr, 20, 20, 40, 181, 1200, nullptr);
            addSomeSelectedSubsetToSeriesHeader(nullptr, sizes.data(), rows.data(), 4, 4, 3, 2, 4, 1, *h);
            if (h == &fixed)
                *h = getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 100, *h,
                                       streams);
            else
                *h = getRandomCountSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 0, sequence.data(), 128, 100, *h,
                                            streams);
            addNoise(*h, 20, streams);
        }
        chains = getChainsHeader(nullptr, 10, 30, nullptr);
    }
    tuples_reference::Input input(const SeriesHeader* h, int level) const
    {
        return {alphabet, tuples, 2, 40, 181, level, 10, false, h};
    }
};

Setting& setting()
{
    static Setting s;
    return s;
}

template <bool Fixed>
void BM_recognizeTuples(benchmark::State& state)
{
    Setting& s = setting();
    const uint16_t level = static_cast<uint16_t>(state.range(0));
    int32_t debug = 0;
    int32_t result = 0;
    for (auto _ : state) {
        result = Fixed ? recognizeFixedTuples(nullptr, s.alphabet, s.sizes.data(), s.rows.data(), 4, 2, 40, 181, level,
                                              debug, s.chains, s.fixed)
                       : recognizeUnfixedTuples(nullptr, s.alphabet, s.sizes.data(), s.rows.data(), 4, 2, 40, 181,
                                                level, debug, s.chains, s.unfixed);
        benchmark::DoNotOptimize(result);
    }
    state.counters["recognized"] = result;
}

template <bool Fixed>
void BM_literalModel(benchmark::State& state)
{
    Setting& s = setting();
    const int level = static_cast<int>(state.range(0));
    tuples_reference::Outcome out;
    for (auto _ : state) {
        out = Fixed ? tuples_reference::recognizeFixed(s.input(s.fixed, level))
                    : tuples_reference::recognizeUnfixed(s.input(s.unfixed, level));
        benchmark::DoNotOptimize(out.value);
    }
    state.counters["recognized"] = out.value;
}

BENCHMARK(BM_recognizeTuples<true>)->Name("recognizeFixedTuples")->Arg(100)->Arg(75)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_literalModel<true>)->Name("recognizeFixedTuples/model")->Arg(100)->Arg(75)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_recognizeTuples<false>)->Name("recognizeUnfixedTuples")->Arg(100)->Arg(75)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_literalModel<false>)->Name("recognizeUnfixedTuples/model")->Arg(100)->Arg(75)->Unit(benchmark::kMicrosecond);

// The console report, then the model's time over the operation's for each
// operation and level.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    std::map<std::string, double> times; // benchmark name -> CPU time per iteration (steady on a busy machine)
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [name, time] : reporter.times) {
        const size_t cut = name.rfind('/');
        if (name.find("/model") != std::string::npos || cut == std::string::npos)
            continue;
        const auto model = reporter.times.find(name.substr(0, cut) + "/model" + name.substr(cut));
        if (model != reporter.times.end() && time > 0)
            std::printf("ratio %-28s model %10.1f us, operation %8.1f us (CPU): %6.1fx\n", name.c_str(), model->second,
                        time, model->second / time);
    }
    benchmark::Shutdown();
    return 0;
}
