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
#include <thread>
#include <ctime>

#include <nlohmann/json.hpp>

#include "app/chart_image.h"
#include "app/progress_line.h"
#include "records/records.h"
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
    c.add_option("--chart-data", o.chartData, "CSV file of the curves of the --chart kind (default 0): "
                                               "noise_level, value and label of every point");
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
    command->callback([options, run, command] {
        options->givenOptions.clear();
        for (const CLI::Option* option : command->get_options())
            if (option->count() > 0) {
                std::string value;
                for (const std::string& part : option->results())
                    value += (value.empty() ? "" : ",") + part;
                options->givenOptions[option->get_name()] = value;
            }
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
    if (!o.chartData.empty()) {
        // Checked before the run, so that a long run is not lost to a wrong name.
        std::error_code failed;
        const std::filesystem::path target = std::filesystem::absolute(o.chartData, failed).lexically_normal();
        const std::filesystem::path folder = target.parent_path();
        const bool inOut = (folder / "").lexically_normal() ==
                           (std::filesystem::absolute(o.out, failed) / "").lexically_normal();  // made with the set
        if (failed || (!inOut && !std::filesystem::is_directory(folder)) || std::filesystem::is_directory(target)) {
            result.status = kTrawlingNotStarted;
            result.error = "--chart-data " + o.chartData + ": " +
                           (failed || std::filesystem::is_directory(target) ? "not a file name"
                                                                            : "no folder " + folder.string());
            return;
        }
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

namespace {

std::string gCommandLine;  // the program's arguments, set once by main before parsing

// A calendar time as "2024-05-01T12:00:00Z".
std::string utcText(int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// Every option of the command: its value as given (omitted when not given)
// and as the run took it (the given value or the default).
void optionsJson(const SimulateOptions& o, nlohmann::ordered_json& given, nlohmann::ordered_json& taken)
{
    SimulateOptions copy;
    CLI::App registry;
    addSimulateOptions(registry, copy);
    for (const CLI::Option* option : registry.get_options()) {
        const std::string name = option->get_name();
        if (option->get_group().empty() || name == "--help")
            continue;  // the hidden test hooks and the help flag
        auto found = o.givenOptions.find(name);
        if (found != o.givenOptions.end()) {
            given[name] = found->second;
            taken[name] = found->second;
        } else {
            taken[name] = option->get_default_str();
        }
    }
}

// The request as the run resolved it: the derived pulse counts and levels filled in.
nlohmann::ordered_json resolvedJson(const SimulateOptions& o, const SimulateResult& result)
{
    const RestoreErrorHeader* r = result.record.get();
    nlohmann::ordered_json subsets = nlohmann::ordered_json::array();
    for (const std::vector<int32_t>& tuple : o.subsets)
        subsets.push_back(tuple);
    const int threads = o.threads > 0 ? o.threads : static_cast<int>(std::thread::hardware_concurrency());
    return {
        {"task", o.task}, {"series_type", o.seriesType}, {"length", o.length}, {"tmin", o.tmin}, {"tmax", o.tmax},
        {"making_level", r->wMakingSavedEnergy}, {"processing_level", r->wProcessingSavedEnergy},
        {"pulses_from", r->wPulseValues[0]}, {"pulses_to", r->wPulseValues[r->wVariousPulses - 1]},
        {"pulses_step", o.pulsesStep}, {"noise_initial", o.noiseInitial}, {"noise_steps", o.noiseSteps},
        {"noise_step", o.noiseStep}, {"repeats", o.repeats}, {"required", r->wTaskType == kTaskDetection ? 1 : o.required},
        {"subset", o.subset}, {"subsets", subsets}, {"pick", o.pick}, {"employment", o.employment}, {"init", o.init},
        {"proceeding", o.proceeding}, {"threads", std::clamp(threads, 1, 64)},
    };
}

} // namespace

void setCommandLine(int argc, const char* const* argv)
{
    gCommandLine.clear();
    for (int i = 0; i < argc; i++) {
        const std::string word = argv[i];
        const bool plain = !word.empty() && word.find_first_of(" \t\"'\\$") == std::string::npos;
        gCommandLine += (i ? " " : "") + (plain ? word : "'" + word + "'");
    }
}

nlohmann::ordered_json runJson(const SimulateOptions& o, const SimulateResult& result)
{
    nlohmann::ordered_json given = nlohmann::ordered_json::object(), taken = nlohmann::ordered_json::object();
    optionsJson(o, given, taken);
    const int64_t end = result.startTime + result.elapsedSeconds;
    nlohmann::ordered_json run = {
        {"version", programVersion()},
        {"commit", programCommit()},
        {"command_line", gCommandLine},
        {"options_given", given},
        {"options", taken},
        {"resolved", resolvedJson(o, result)},
        {"seed", taken.contains("--seed") ? taken["--seed"] : nlohmann::ordered_json(0)},
        {"threads", o.threads},
        {"processes", result.processes},
        {"start_time", utcText(result.startTime)},
        {"end_time", utcText(end)},
        {"start_seconds", result.startTime},
        {"end_seconds", end},
        {"elapsed_seconds", result.elapsedSeconds},
    };
    return run;
}

SimulationResults simulationResults(const SimulateResult& result, const SimulateOptions& o)
{
    SimulationResults x;
    x.record = result.record.get();
    if (result.setup) {
        x.series = result.setup->lpSeriesHeader;
        x.firstEtalon = &result.setup->alphabet[0];
        x.wRequiredQuantity = result.setup->wRequiredQuantity;
        x.lpRequiredList = result.setup->lpRequiredList;
    }
    x.request = o;
    x.streams = result.streams;
    x.elapsedSeconds = result.elapsedSeconds;
    if (x.record)
        x.run = runJson(o, result);
    return x;
}

bool chartDataFile(const SimulateOptions& o, const SimulateResult& result, const SimulationResults& x,
                   SimulationFile& file)
{
    const ChartKind* kind = chartKindOf(o.chart.empty() ? 0 : std::atoi(o.chart.c_str()));
    const RestoreErrorHeader* r = result.record.get();
    if (!kind || !r || !x.series)
        return false;
    const std::vector<ResultRow> rows = resultRows(x);
    const int P = r->wVariousPulses, L = r->wNoiseLevels;
    const auto value = [&](const ResultRow& row) {
        switch (kind->table) {
        case ChartTable::Restoring: return kind->aggregate ? row.restoringAggregate : row.restoring;
        case ChartTable::Detection: return kind->aggregate ? row.detectionAggregate : row.detection;
        default: return kind->aggregate ? row.recognitionAggregate : row.recognition;
        }
    };
    std::ostringstream out;
    out << "x,y,label\n";
    for (int j = 0; j < (kind->aggregate ? 1 : P); j++)
        for (int k = 0; k < L; k++) {
            const ResultRow& row = rows[size_t(j) * L + k];
            out << row.noiseLevel << "," << shortestDecimal(value(row)) << ","
                << (kind->aggregate ? std::string("all") : std::to_string(row.pulses)) << "\n";
        }
    if (kind->bounds) {
        const ErrorReference ref = errorReference(r, x.series, x.firstEtalon, x.wRequiredQuantity, x.lpRequiredList);
        for (const bool upper : {true, false})
            for (int k = 0; k < L; k++)
                if (r->lpNoiseLevels[k] > 0) {
                    const RecognitionBounds b = recognitionBounds(r, x.series, ref, r->lpNoiseLevels[k]);
                    out << r->lpNoiseLevels[k] << "," << shortestDecimal(upper ? b.upper : b.lower) << ","
                        << (upper ? "upper bound" : "lower bound") << "\n";
                }
    }
    // Named from the --out folder, where the set places its files: "curves.csv", "../curves.csv".
    const std::filesystem::path target = std::filesystem::absolute(o.chartData).lexically_normal();
    file = SimulationFile{target.lexically_relative(std::filesystem::absolute(o.out).lexically_normal()).string(),
                          out.str()};
    return true;
}

int writeSimulationFiles(const SimulateOptions& options, SimulateResult& result, const std::atomic<bool>* cancel)
{
    if (result.status != kTrawlingComplete || !result.record)
        return 1;
    std::vector<SimulationFile> chart;
    const std::string chartName = "chart-" + options.chart + ".png";
    if (!options.chart.empty() && result.setup) {
        chart.push_back({chartName, ""});
        if (!renderChart(options, result, chart[0].bytes)) {
            std::fprintf(stderr, "pulsebench simulate: cannot draw the chart %s; no result file was replaced\n",
                         options.chart.c_str());
            return 1;
        }
    }
    const SimulationResults results = simulationResults(result, options);
    if (!options.chartData.empty()) {
        chart.push_back({});
        if (!chartDataFile(options, result, results, chart.back())) {
            std::fprintf(stderr, "pulsebench simulate: no chart curves to write; no result file was replaced\n");
            return 1;
        }
    }
    const std::string failure = writeResultSet(options.out, resultFiles(results, std::move(chart)), cancel);
    if (cancel && cancel->load())
        return 1;  // interrupted while the files were written: the old set stays
    if (failure.rfind("cannot create ", 0) == 0) {
        std::fprintf(stderr, "pulsebench simulate: %s\n", failure.c_str());
        return 1;
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "pulsebench simulate: %s; no result file was replaced\n", failure.c_str());
        return 1;
    }
    if (!options.chart.empty() && result.setup)
        result.chartFile = (std::filesystem::path(options.out) / chartName).string();
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
