// The batch simulation command `pulsebench simulate`: a statistical simulation
// without a window, from the state of a freshly started program, written as
// CSV and JSON: the options parsed into the engine's SimulationRequest, the
// progress line and the output files; the run itself is runSimulation's. Used
// by the program's main (a CLI11 subcommand), the MPI wrapper (mpi_batch.cpp,
// which runs one share per process) and the tests; a default grid takes about
// a minute on two cores.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "platform/platform.h"
#include "results/results.h"
#include "simulation/simulation.h"

// The options of the command: the run it asks for (each field of
// SimulationRequest is the option of the same name, --pulses-from for
// pulsesFrom), then what only the command has.
struct SimulateOptions : SimulationRequest {
    std::string subsetsText;            // --subsets "1,2;3,4": the stored tuples, parsed into subsets by simulate
    int threads = 0;                    // --threads: detector threads, 0 = one per hardware thread
    std::string out = ".";              // --out: directory of the written files
    std::string chart;                  // --chart: chart kind 0..5, 12 or 13 saved as chart-KIND.png; "": none
    std::string chartData;              // --chart-data: CSV of the curves of the --chart kind (default 0); "": none
    bool quiet = false;                 // --quiet: no progress line
    std::string checkpoint;             // --checkpoint FILE: the run's state every few seconds and when cancelled; "": none
    std::string resume;                 // --resume FILE: continue the run of that checkpoint (and keep checkpointing there); "": none
    int64_t cancelAfter = -1;           // --cancel-after (hidden test hook): cancel the run after this many trials; -1: never
    int failProcess = -1;               // --fail-process (hidden test hook): this process of an MPI run fails after its first range
    int crashProcess = -1;              // --crash-process (hidden test hook): this process of an MPI run aborts after its first range
    std::map<std::string, std::string> givenOptions; // option name -> its value(s) as given ("," between several); set by the command
};

// How a run is driven when it is one share of a run split over processes
// (app/mpi_batch.cpp); none of it for a plain run.
struct SimulateHooks {
    TrawlingShare* share = nullptr;                  // the share's ranges and sums; none: the whole run
    TrawlingProgressCallback progress = nullptr;     // instead of the progress line; none: the line (unless quiet)
    void* progressContext = nullptr;                 // handed back to progress
    const std::atomic<bool>* lpCancel = nullptr;     // true: stop before the next trial
    bool checkOnly = false;                          // stop once the options passed every check (status kTrawlingCancelled): no record, no trial
};

// What a batch run produced: the engine's outcome (status, error, record,
// times, the run's alphabet and series), the streams where the run left them
// and the chart written.
struct SimulateResult : SimulationOutcome {
    RandomStreams streams{};                  // every stream when the run ended (fresh when it was refused)
    std::string chartFile;                    // the chart image written (--chart), "" when none
    int processes = 1;                        // processes the run was split over (mpirun)
};

// The text of --subsets, "1,2;3,4", into {{1, 2}, {3, 4}}: tuples split by
// ";", entries by ","; false for an empty tuple or an entry that is not an
// integer. The entries' range is checked by validateSimulationRequest.
bool parseSubsets(const std::string& text, std::vector<std::vector<int32_t>>& out);

// Adds the command's options to `command` (the subcommand or a whole program).
void addSimulateOptions(CLI::App& command, SimulateOptions& options);

// Adds the subcommand "simulate" to the program; its callback runs the
// simulation with `run` (runSimulate, or the MPI batch) and exits the program
// with its result through CLI::RuntimeError when it is not 0.
CLI::App* addSimulateCommand(CLI::App& app, int (*run)(const SimulateOptions&) = nullptr);

// The run the options ask for (the subsets parsed, nothing else checked);
// false with the fault in `error` when --subsets cannot be read.
bool requestOf(const SimulateOptions& options, SimulationRequest& request, std::string& error);

// Runs the simulation the options ask for from a fresh start (runSimulation
// with fresh streams; with hooks holding a share, that share of it: status
// kTrawlingShareDone) and fills `result`. The window owns the message boxes
// (null: the process default, standard error). Throws nothing: out of memory
// anywhere in the run is status kTrawlingNoMemory with its message in `error`.
void simulate(HWND hWnd, const SimulateOptions& options, SimulateResult& result,
              const SimulateHooks* hooks = nullptr);

// The program's arguments as one line, kept for the run record; main sets it.
void setCommandLine(int argc, const char* const* argv);

// How the run was made (simulation.json's "run"): version and commit, the
// command line, every option as given and as taken, the request as resolved,
// the seed, threads, processes and the start and end times.
nlohmann::ordered_json runJson(const SimulateOptions& options, const SimulateResult& result);

// What the result files of a finished run are made of (results/results.h).
SimulationResults simulationResults(const SimulateResult& result, const SimulateOptions& options);

// The curves of the chart kind of the options (0 when none is given) as the
// file options.chartData of the result set: CSV of x (the noise level), y
// (the value the chart plots) and label (the curve) of every point, curve
// after curve. False when there is no chart to take them from.
bool chartDataFile(const SimulateOptions& options, const SimulateResult& result, const SimulationResults& results,
                   SimulationFile& file);

// Writes simulation.csv, description.csv, the chart the options ask for
// (and its curves with --chart-data) and simulation.json into options.out as one set (platform/files.h, FileSet):
// all new files are in place, or all the files of the previous run stay. Does
// not replace anything when *cancel became true while the files were being
// written. Returns 0 when all were written, 1 otherwise (a message says why
// unless cancelled).
int writeSimulationFiles(const SimulateOptions& options, SimulateResult& result,
                         const std::atomic<bool>* cancel = nullptr);

// The whole command in one process: simulate (stopped before the next trial
// once *cancel is true), then writeSimulationFiles, with progress on standard
// error. With --checkpoint or --resume, the trials not yet done run as one
// share of the run while a checkpoint is kept (see checkpoint/checkpoint.h). Returns
// 0 when written, 1 when refused, cancelled or a file could not be written.
int runSimulate(const SimulateOptions& options, const std::atomic<bool>* cancel = nullptr);

// runSimulate with --checkpoint or --resume (app/simulate_resume.cpp). A
// checkpoint that cannot be used is refused with a message naming the file
// and the fault, before any trial.
int runCheckpointedSimulate(const SimulateOptions& options, const std::atomic<bool>* cancel);

// The state a checkpointed run starts from: the checkpoint of --resume, read
// and checked against the options, or a fresh one (no trial done, every sum
// 0). False after a message on standard error saying why it was refused.
struct Checkpoint;
bool loadRunCheckpoint(const SimulateOptions& options, Checkpoint& prior);
// Where the run's checkpoints go: --checkpoint, else the --resume file.
std::string checkpointPath(const SimulateOptions& options);
// Says on standard error how much of the run `state` holds and how to go on.
void sayCheckpointKept(const Checkpoint& state, const std::string& path);
