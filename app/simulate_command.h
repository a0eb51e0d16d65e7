// The batch simulation command `pulsebench simulate`: a statistical simulation
// without a window, from the state of a freshly started program, written as
// CSV and JSON. Used by the program's main (a CLI11 subcommand), the MPI
// wrapper (mpi_batch.cpp, which runs one share per process) and the tests;
// a default grid takes about a minute on two cores.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "platform/platform.h"
#include "simulation/simulation.h"

// The options of the command; each defaults to the program's own default.
// Levels and pulse counts left at -1 are derived as the program derives them.
struct SimulateOptions {
    int task = 4;                       // --task: 1, 2, 4 or 64 (wTaskType)
    int seriesType = 2;                 // --series-type: 1, 2, 4, 8, 36 or 40 (wSeriesType)
    int length = 1200;                  // --length: series length in samples
    int tmin = 40;                      // --tmin: least distance between pulse starts
    int tmax = 181;                     // --tmax: greatest distance between pulse starts
    int makingLevel = -1;               // --making-level: saved energy of the series built; -1: 75, 100 for whole-pulse types
    int processingLevel = -1;           // --processing-level: saved energy for the detectors; -1: as making
    int pulsesFrom = -1;                // --pulses-from; -1: (length + 19) / tmax
    int pulsesTo = -1;                  // --pulses-to; -1: (length + tmin - 20) / tmin
    int pulsesStep = 1;                 // --pulses-step (at least 1)
    int noiseInitial = 0;               // --noise-initial
    int noiseSteps = 29;                // --noise-steps: number of noise levels
    int noiseStep = 5;                  // --noise-step
    int repeats = 100;                  // --repeats: trials per cell
    int required = 20;                  // --required: etalons 1..required are required (Detection: etalon 1 alone)
    std::vector<int> subset;            // --subset 2,5: the tuple for tuples detection
    std::string subsets;                // --subsets "1,2;3,4": the stored tuples for tuples recognition
    int pick = 1;                       // --pick: the stored tuple selected first (1-based)
    int employment = 4;                 // --employment: wSubsetEmployment 1..5
    int init = 1;                       // --init: wSubsetInitPosition, at least 1
    int proceeding = 1;                 // --proceeding: wSubsetProceeding 1 or 2
    int threads = 0;                    // --threads: detector threads, 0 = one per hardware thread
    std::string out = ".";              // --out: directory of the written files
    std::string chart;                  // --chart: chart kind 0..5, 12 or 13 saved as chart-KIND.png; "": none
    bool quiet = false;                 // --quiet: no progress line
    int failProcess = -1;               // --fail-process (hidden test hook): this process of an MPI run fails after its first range
    int crashProcess = -1;              // --crash-process (hidden test hook): this process of an MPI run aborts after its first range
};

struct SimulateState;

// How a run is driven when it is one share of a run split over processes
// (app/mpi_batch.cpp); none of it for a plain run.
struct SimulateHooks {
    TrawlingShare* share = nullptr;                  // the share's ranges and sums; none: the whole run
    TrawlingProgressCallback progress = nullptr;     // instead of the progress line; none: the line (unless quiet)
    void* progressContext = nullptr;                 // handed back to progress
    const std::atomic<bool>* lpCancel = nullptr;     // true: stop before the next trial
    bool checkOnly = false;                          // stop once the options passed every check (status kTrawlingCancelled): no record, no trial
};

// What a batch run produced; owns the record.
struct SimulateResult {
    int status = kTrawlingNotStarted;         // what statCutoffTrawling returned (or not started)
    RestoreErrorHeader* record = nullptr;     // the filled record; null when refused before the grid existed
    int64_t elapsedSeconds = 0;               // simEndTime - simStartTime
    std::string error;                        // why the run was refused by the options, or stopped for want of memory
    std::string chartFile;                    // the chart image written (--chart), "" when none
    RandomStreamsState streams{};             // every private stream when the run ended
    int16_t wNoiseSeed = 0;                   // the noise stream when the run ended
    std::unique_ptr<SimulateState> state;     // alphabet, required list and series the run used (for the chart)

    SimulateResult();
    SimulateResult(const SimulateResult&) = delete;
    SimulateResult& operator=(const SimulateResult&) = delete;
    ~SimulateResult();
};

// The text of --subsets, "1,2;3,4", into {{1, 2}, {3, 4}}: tuples split by
// ";", entries by ","; false for an empty tuple or an entry that is not an
// integer. The entries' range is checked by the run.
bool parseSubsets(const std::string& text, std::vector<std::vector<int32_t>>& out);

// Adds the command's options to `command` (the subcommand or a whole program).
void addSimulateOptions(CLI::App& command, SimulateOptions& options);

// Adds the subcommand "simulate" to the program; its callback runs the
// simulation with `run` (runSimulate, or the MPI batch) and exits the program
// with its result through CLI::RuntimeError when it is not 0.
CLI::App* addSimulateCommand(CLI::App& app, int (*run)(const SimulateOptions&) = nullptr);

// Replays a fresh start, runs the simulation (or, with hooks holding a share,
// that share of it: status kTrawlingShareDone) and fills `result`. The window
// owns the message boxes (null: the process default, standard error). Throws
// nothing: out of memory anywhere in the run is status kTrawlingNoMemory with
// its message in `error`.
void simulate(HWND hWnd, const SimulateOptions& options, SimulateResult& result,
              const SimulateHooks* hooks = nullptr);

// Completes a run split into shares: stores the sums of all shares into the
// record of this process's share (which holds the whole run's streams and last
// series), as a whole run leaves it. False when the sums do not fit the grid.
bool completeSimulate(SimulateResult& result, const std::vector<TrawlingCellSums>& sums);

// One file of a run's result set: its name in the --out folder and its bytes.
struct SimulationFile {
    std::string name;   // "simulation.csv", "description.csv", "chart-KIND.png"
    std::string bytes;  // the whole file
};

// The JSON and CSV texts of a finished record. With `files`, the JSON lists
// them under "files" (name and size in bytes of each): the rest of its set.
std::string simulationJson(const SimulateResult& result, const SimulateOptions& options,
                           const std::vector<SimulationFile>* files = nullptr);
std::string simulationCsv(const RestoreErrorHeader* record);
std::string descriptionCsv(const RestoreErrorHeader* record, const SimulateOptions& options, int64_t elapsedSeconds);

// Writes simulation.csv, description.csv, the chart the options ask for and
// simulation.json into options.out as one set (platform/files.h, FileSet):
// all new files are in place, or all the files of the previous run stay. Does
// not replace anything when *cancel became true while the files were being
// written. Returns 0 when all were written, 1 otherwise (a message says why
// unless cancelled).
int writeSimulationFiles(const SimulateOptions& options, SimulateResult& result,
                         const std::atomic<bool>* cancel = nullptr);

// The whole command in one process: simulate (stopped before the next trial
// once *cancel is true), then writeSimulationFiles, with progress on standard
// error. Returns 0 when written, 1 when refused, cancelled or a file could not
// be written.
int runSimulate(const SimulateOptions& options, const std::atomic<bool>* cancel = nullptr);
