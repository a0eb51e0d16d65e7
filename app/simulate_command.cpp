// The batch simulation command: its options, the progress line, the chart
// and the CSV and JSON files. Used by `pulsebench simulate` and its tests; the
// run is the engine's runSimulation, the rest is milliseconds.
//
//   [SECTION] Options
//   [SECTION] Run
//   [SECTION] Output files
#include "simulate_command.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <new>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "app/chart_image.h"
#include "app/progress_line.h"
#include "app/records_json.h"
#include "platform/files.h"

bool parseSubsets(const std::string& text, std::vector<std::vector<int32_t>>& out)
{
    out.clear();
    std::stringstream tuples(text);
    std::string tuple;
    while (std::getline(tuples, tuple, ';')) {
        std::vector<int32_t> entries;
        std::stringstream items(tuple);
        std::string item;
        while (std::getline(items, item, ',')) {
            try {
                size_t used = 0;
                const int value = std::stoi(item, &used);
                if (item.find_first_not_of(" \t", used) != std::string::npos)
                    return false;
                entries.push_back(value);
            } catch (const std::exception&) {
                return false;
            }
        }
        if (entries.empty())
            return false;
        out.push_back(entries);
    }
    return !out.empty();
}

/*==========================================================================
** [SECTION] Options
**========================================================================*/

void addSimulateOptions(CLI::App& c, SimulateOptions& o)
{
    c.add_option("--task", o.task, "task: 1 detection, 2 recognition, 4 joint detection and identification, "
                                   "64 series processing")
        ->check(CLI::IsMember({1, 2, 4, 64}))
        ->capture_default_str();
    c.add_option("--series-type", o.seriesType,
                 "series type: 1/2 known number of whole/cut-off pulses, 4/8 unknown number, "
                 "36/40 known/unknown number of whole-pulse tuples")
        ->check(CLI::IsMember({1, 2, 4, 8, 36, 40}))
        ->capture_default_str();
    c.add_option("--length", o.length, "series length in samples")->check(CLI::Range(20, 32767))->capture_default_str();
    c.add_option("--tmin", o.tmin, "least distance between pulse starts")->check(CLI::Range(1, 32767))->capture_default_str();
    c.add_option("--tmax", o.tmax, "greatest distance between pulse starts")->check(CLI::Range(1, 32767))->capture_default_str();
    c.add_option("--making-level", o.makingLevel, "saved energy level of the series built, percent "
                                                  "(default 75; 100 for whole-pulse series types)")
        ->check(CLI::Range(0, 100));
    c.add_option("--processing-level", o.processingLevel, "saved energy level given to the detectors, percent "
                                                          "(default: the making level)")
        ->check(CLI::Range(0, 100));
    c.add_option("--pulses-from", o.pulsesFrom, "first pulse count (default (length + 19) / tmax)")
        ->check(CLI::Range(0, 32767));
    c.add_option("--pulses-to", o.pulsesTo, "last pulse count (default (length + tmin - 20) / tmin)")
        ->check(CLI::Range(0, 32767));
    c.add_option("--pulses-step", o.pulsesStep, "pulse count increment")->check(CLI::Range(0, 32767))->capture_default_str();
    c.add_option("--noise-initial", o.noiseInitial, "first noise level")->check(CLI::Range(0, 32767))->capture_default_str();
    c.add_option("--noise-steps", o.noiseSteps, "number of noise levels")->check(CLI::Range(1, 4096))->capture_default_str();
    c.add_option("--noise-step", o.noiseStep, "noise level increment")->check(CLI::Range(0, 32767))->capture_default_str();
    c.add_option("--repeats", o.repeats, "trials per pulse count and noise level")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    c.add_option("--required", o.required, "number of required etalons: 1..N (detection uses etalon 1 alone)")
        ->check(CLI::Range(1, 20))
        ->capture_default_str();
    c.add_option("--subset", o.subset, "the tuple for tuples detection, e.g. 2,5")
        ->delimiter(',')
        ->check(CLI::Range(1, 20));
    c.add_option("--subsets", o.subsetsText, "the stored tuples for tuples recognition, e.g. \"1,2;3,4\"");
    c.add_option("--pick", o.pick, "the stored tuple selected first, 1-based")->check(CLI::Range(1, 32767))->capture_default_str();
    c.add_option("--employment", o.employment, "subset employment: 1 single random, 2 single fixed, "
                                               "3 multiple random, 4 complete, 5 shifted complete")
        ->check(CLI::Range(1, 5))
        ->capture_default_str();
    c.add_option("--init", o.init, "subset init position, 1-based")->check(CLI::Range(1, 32767))->capture_default_str();
    c.add_option("--proceeding", o.proceeding, "subset proceeding: 1 complete, 2 probably shifted complete")
        ->check(CLI::Range(1, 2))
        ->capture_default_str();
    c.add_option("--seed", o.seed, "replicate seed: 0 the program's own random streams (bit for bit); "
                                   "any other value draws every trial from a keyed counter-based generator")
        ->check(CLI::Range(uint32_t(0), kMaxReplicateSeed))
        ->capture_default_str();
    c.add_option("--threads", o.threads, "detector threads, 0: one per hardware thread")
        ->check(CLI::Range(0, 64))
        ->capture_default_str();
    c.add_option("--out", o.out, "directory of simulation.json, simulation.csv and description.csv")
        ->capture_default_str();
    c.add_option("--chart", o.chart, "chart kind to save as chart-KIND.png in the --out folder: 0/1 restoring, "
                                     "2/3 detection, 4/5 recognition error (componentwise/aggregate), "
                                     "12/13 recognition with the bounds")
        ->check(CLI::IsMember({"0", "1", "2", "3", "4", "5", "12", "13"}));
    c.add_flag("--quiet", o.quiet, "no progress line on standard error");
    c.add_option("--checkpoint", o.checkpoint, "write the run's state to FILE every few seconds and when the run "
                                               "is cancelled; --resume FILE continues it");
    c.add_option("--resume", o.resume, "continue the run of the checkpoint FILE (written by --checkpoint with the "
                                       "same options and program); the tables equal an uninterrupted run's");
    // Hooks of the MPI tests, left out of the help: one process of the run fails
    // (or aborts) after its first range of trials.
    c.add_option("--fail-process", o.failProcess, "test hook")->group("");
    c.add_option("--crash-process", o.crashProcess, "test hook")->group("");
    // Hook of the resume tests, left out of the help: cancel after K trials.
    c.add_option("--cancel-after", o.cancelAfter, "test hook")->group("");
}

CLI::App* addSimulateCommand(CLI::App& app, int (*run)(const SimulateOptions&))
{
    if (!run)
        run = [](const SimulateOptions& o) { return runSimulate(o); };
    CLI::App* command = app.add_subcommand("simulate", "statistical simulation without a window: "
                                                       "tables as CSV and JSON");
    auto options = std::make_shared<SimulateOptions>();
    addSimulateOptions(*command, *options);
    command->callback([options, run] {
        int status = 1;
        try {
            status = run(*options);
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "pulsebench simulate: out of memory; the run is abandoned\n");
        } catch (const std::system_error& e) {
            std::fprintf(stderr, "pulsebench simulate: %s; the run is abandoned\n", e.what());
        }
        if (status != 0)
            throw CLI::RuntimeError(status);
    });
    return command;
}

/*==========================================================================
** [SECTION] Run
**========================================================================*/

namespace {

void printProgress(void* context, const TrawlingProgress& p)
{
    static_cast<ProgressLine*>(context)->show(p.trialsDone, p.trialsTotal, p.elapsedSeconds);
}

// The chart the options ask for, as the window shows it after this run (etalon
// 1 selected, no fixed upper bound), as PNG bytes. False when the kind is no
// chart or the picture could not be encoded.
bool renderChart(const SimulateOptions& o, const SimulateResult& result, std::string& png)
{
    const SimulationSetup& s = *result.setup;
    ChartInputs in;
    in.options.simStartTime = result.startTime;
    in.options.simEndTime = result.startTime + result.elapsedSeconds;
    in.lpFirstEtalon = &s.alphabet[0];
    in.wAmplitude = kRunAmplitude;
    char* end = nullptr;
    in.wChartKind = static_cast<int32_t>(std::strtol(o.chart.c_str(), &end, 10));
    if (end == o.chart.c_str() || *end != '\0' || !chartKindOf(in.wChartKind))
        return false;  // not a chart kind
    in.wRequiredQuantity = s.wRequiredQuantity;
    in.lpRequiredList = s.lpRequiredList;
    in.lpRestErrorHeader = result.record.get();
    in.lpSeriesHeader = s.lpSeriesHeader;
    return renderChartPng(in, png);
}

} // namespace

bool requestOf(const SimulateOptions& o, SimulationRequest& request, std::string& error)
{
    request = o;
    if (!o.subsetsText.empty() && !parseSubsets(o.subsetsText, request.subsets)) {
        error = "--subsets: tuples of etalon numbers 1..20, e.g. \"1,2;3,4\"";
        return false;
    }
    return true;
}

void simulate(HWND hWnd, const SimulateOptions& o, SimulateResult& result, const SimulateHooks* hooks)
{
    result.streams = RandomStreams{};  // a batch run starts as a freshly started program
    SimulationRequest request;
    if (!requestOf(o, request, result.error)) {
        result.status = kTrawlingNotStarted;
        return;
    }
    ProgressLine line = ProgressLine::forStandardError(o.quiet, "trials");
    SimulationControl control;
    control.hWnd = hWnd;
    control.threads = o.threads;
    control.progress = printProgress;
    control.progressContext = &line;
    if (hooks) {
        control.share = hooks->share;
        control.lpCancel = hooks->lpCancel;
        control.checkOnly = hooks->checkOnly;
        if (hooks->progress) {
            control.progress = hooks->progress;
            control.progressContext = hooks->progressContext;
        }
    }
    static_cast<SimulationOutcome&>(result) = runSimulation(request, result.streams, control);
    line.close();  // a cancelled run leaves its line open
}

/*==========================================================================
** [SECTION] Output files
**========================================================================*/

std::string simulationJson(const SimulateResult& result, const SimulateOptions& o,
                           const std::vector<SimulationFile>* files)
{
    const RestoreErrorHeader* r = result.record.get();
    const int64_t elapsedSeconds = result.elapsedSeconds;
    const RandomStreams& st = result.streams;
    using nlohmann::json;
    json tables = json::array();
    for (int t = 0; t < kErrorTables; t++) {
        json rows = json::array();
        for (int k = 0; k < r->wNoiseLevels; k++)
            rows.push_back(std::vector<int32_t>(r->lpErrors[t][k], r->lpErrors[t][k] + r->wVariousPulses));
        tables.push_back(rows);
    }
    json description = simulationDescriptionJson(r, o);  // ordered as every json object: by key
    description["elapsedSeconds"] = elapsedSeconds;
    json out = {
        {"description", description},
        {"wPulseValues", std::vector<int16_t>(r->wPulseValues, r->wPulseValues + r->wVariousPulses)},
        {"lpNoiseLevels", std::vector<int16_t>(r->lpNoiseLevels, r->lpNoiseLevels + r->wNoiseLevels)},
        {"repeats", r->repeats},
        {"lpErrors", tables},
        // where every stream stands after the run: a later run in the same
        // program would go on from here
        {"randomStreams",
         {{"wCutBeginSeed", st.wCutBeginSeed},
          {"wCutEndSeed", st.wCutEndSeed},
          {"wPositionSeed", st.wPositionSeed},
          {"wQuantitySeed", st.wQuantitySeed},
          {"wSubsetShiftSeed", st.wSubsetShiftSeed},
          {"wSubsetGapSeed", st.wSubsetGapSeed},
          {"wNoiseEtalonSeed", st.wNoiseEtalonSeed},
          {"dwSequenceState", st.dwSequenceState},
          {"wNoiseSeed", st.wNoiseSeed}}},
    };
    if (files) {
        json list = json::array();
        for (const SimulationFile& f : *files)
            list.push_back({{"name", f.name}, {"bytes", f.bytes.size()}});
        out["files"] = list;
    }
    return out.dump() + "\n";
}

std::string simulationCsv(const RestoreErrorHeader* r)
{
    std::string out = "table,noise_level,pulses,value\n";
    char line[96];
    for (int t = 0; t < kErrorTables; t++)
        for (int k = 0; k < r->wNoiseLevels; k++)
            for (int j = 0; j < r->wVariousPulses; j++) {
                std::snprintf(line, sizeof line, "%d,%d,%d,%d\n", t, r->lpNoiseLevels[k], r->wPulseValues[j],
                              r->lpErrors[t][k][j]);
                out += line;
            }
    return out;
}

std::string descriptionCsv(const RestoreErrorHeader* r, const SimulateOptions& o, int64_t elapsedSeconds)
{
    std::ostringstream out;
    out << "field,value\n"
        << "wSeriesType," << r->wSeriesType << "\n"
        << "lpSeriesTypeName,\"" << r->lpSeriesTypeName << "\"\n"
        << "wTaskType," << r->wTaskType << "\n"
        << "lpTaskName,\"" << r->lpTaskName << "\"\n"
        << "wMakingSavedEnergy," << r->wMakingSavedEnergy << "\n"
        << "wProcessingSavedEnergy," << r->wProcessingSavedEnergy << "\n"
        << "ifComplete," << r->ifComplete << "\n"
        << "dwSeriesLength," << o.length << "\n"
        << "wTmin," << o.tmin << "\n"
        << "wTmax," << o.tmax << "\n"
        << "wRequiredQuantity," << (r->wTaskType == kTaskDetection ? 1 : o.required) << "\n"
        << "repeats," << r->repeats << "\n";
    if (o.seed != 0) // a replicate; seed 0 is left out, as before seeds existed
        out << "seed," << o.seed << "\n";
    out << "elapsedSeconds," << elapsedSeconds << "\n";
    return out.str();
}

int writeSimulationFiles(const SimulateOptions& options, SimulateResult& result, const std::atomic<bool>* cancel)
{
    if (result.status != kTrawlingComplete || !result.record)
        return 1;
    std::error_code failed;
    const std::filesystem::path dir(options.out);
    std::filesystem::create_directories(dir, failed);
    if (failed) {
        std::fprintf(stderr, "pulsebench simulate: cannot create %s: %s\n", options.out.c_str(),
                     failed.message().c_str());
        return 1;
    }
    std::vector<SimulationFile> files = {
        {"simulation.csv", simulationCsv(result.record.get())},
        {"description.csv", descriptionCsv(result.record.get(), options, result.elapsedSeconds)},
    };
    const std::string chartName = "chart-" + options.chart + ".png";
    if (!options.chart.empty() && result.setup) {
        SimulationFile chart{chartName, ""};
        if (!renderChart(options, result, chart.bytes)) {
            std::fprintf(stderr, "pulsebench simulate: cannot draw the chart %s; no result file was replaced\n",
                         options.chart.c_str());
            return 1;
        }
        files.push_back(std::move(chart));
    }
    // The JSON lists the other files of its set with their sizes and is placed
    // last: a set mixed by a crash inside the commit shows in the sizes.
    const std::string json = simulationJson(result, options, &files);
    files.push_back({"simulation.json", json});

    FileSet set;
    for (const SimulationFile& f : files)
        if (!set.add((dir / f.name).string(), f.bytes))
            break;
    if (cancel && cancel->load())
        return 1;  // interrupted while the files were written: the old set stays
    if (!set.error().empty() || !set.commit()) {
        std::fprintf(stderr, "pulsebench simulate: %s; no result file was replaced\n", set.error().c_str());
        return 1;
    }
    if (!options.chart.empty() && result.setup)
        result.chartFile = (dir / chartName).string();
    return 0;
}

int runSimulate(const SimulateOptions& options, const std::atomic<bool>* cancel)
{
    if (!options.checkpoint.empty() || !options.resume.empty())
        return runCheckpointedSimulate(options, cancel);
    SimulateResult result;
    SimulateHooks hooks;
    hooks.lpCancel = cancel;
    simulate(nullptr, options, result, &hooks);
    if (!result.error.empty())
        std::fprintf(stderr, "pulsebench simulate: %s\n", result.error.c_str());
    // A cancelled run ends here with its record and streams in `result`;
    // nothing of it is written.
    if (result.status != kTrawlingComplete)
        return 1;
    return writeSimulationFiles(options, result, cancel);
}
