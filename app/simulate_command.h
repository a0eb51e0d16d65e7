// The batch simulation command `pulsebench simulate`: a statistical simulation
// without a window, from the state of a freshly started program, written as
// CSV and JSON. Used by the program's main (a CLI11 subcommand) and the tests;
// a default grid takes about a minute on two cores.
#pragma once

#include <cstdint>
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
};

// What a batch run produced; owns the record.
struct SimulateResult {
    int status = kTrawlingNotStarted;         // what statCutoffTrawling returned (or not started)
    RestoreErrorHeader* record = nullptr;     // the filled record; null when refused before the grid existed
    int64_t elapsedSeconds = 0;               // simEndTime - simStartTime
    std::string error;                        // why the run was refused, when it was refused by the options
    std::string chartFile;                    // the chart image written (--chart), "" when none

    SimulateResult() = default;
    SimulateResult(const SimulateResult&) = delete;
    SimulateResult& operator=(const SimulateResult&) = delete;
    ~SimulateResult() { freeRestErrHeader(record); }
};

// Adds the command's options to `command` (the subcommand or a whole program).
void addSimulateOptions(CLI::App& command, SimulateOptions& options);

// Adds the subcommand "simulate" to the program; its callback runs the
// simulation and exits the program with runSimulate's result through
// CLI::RuntimeError when it is not 0.
CLI::App* addSimulateCommand(CLI::App& app);

// Replays a fresh start, runs the simulation and fills `result`. The window
// owns the message boxes (null: the process default, standard error).
void simulate(HWND hWnd, const SimulateOptions& options, SimulateResult& result);

// The JSON and CSV texts of a finished record.
std::string simulationJson(const RestoreErrorHeader* record, const SimulateOptions& options, int64_t elapsedSeconds);
std::string simulationCsv(const RestoreErrorHeader* record);
std::string descriptionCsv(const RestoreErrorHeader* record, const SimulateOptions& options, int64_t elapsedSeconds);

// The whole command: simulate, write simulation.json, simulation.csv and
// description.csv into options.out, print progress to standard error.
// Returns 0 when written, 1 when refused or a file could not be written.
int runSimulate(const SimulateOptions& options);
