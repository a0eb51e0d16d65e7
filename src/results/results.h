// The result files of a finished statistical simulation: simulation.csv (one
// row per pulse count and noise level, the normalised errors, their standard
// errors, the SNR and the raw cells), simulation.json (the tables, the named
// arrays, the normalisers and the run) and description.csv, and their writing
// as one set. Shared by the batch command (app/) and the window's " Export
// results..." (src/shell); free of Qt. Milliseconds per run.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulation/simulation.h"

// Every JSON file the program writes carries "format_version": this number.
// It grows when a key changes its meaning or goes; new keys leave it.
inline constexpr int kJsonFormatVersion = 1;

// `object` with "format_version" put first.
nlohmann::ordered_json withFormatVersion(const nlohmann::ordered_json& object);

// What the result files are made of. The pointers belong to the caller and
// stay valid while the texts are made.
struct SimulationResults {
    const RestoreErrorHeader* record = nullptr;  // the finished run's grid, tables and sums (ifComplete = 1)
    const SeriesHeader* series = nullptr;        // the run's series header (its etalons, Tmax, pulse counts)
    const PulseHeader* firstEtalon = nullptr;    // the etalon of reference while the series names none
    uint16_t wRequiredQuantity = 0;              // entries of lpRequiredList
    const uint16_t* lpRequiredList = nullptr;    // [wRequiredQuantity] 1-based numbers of the required etalons
    SimulationRequest request;                   // the run's settings (length, Tmin, Tmax, subsets, ...)
    RandomStreams streams{};                     // every stream where the run left it
    int64_t elapsedSeconds = 0;                  // calendar seconds of the run
    nlohmann::ordered_json run = nlohmann::ordered_json::object(); // how the run was made: options, version, times, ...
};

// One row of simulation.csv: pulse count j and noise level k. Errors are the
// values the charts plot (exact quotients as doubles); a standard error is
// NaN where it is not defined (one trial per cell, or no sums kept).
struct ResultRow {
    int32_t pulses;             // pulse count
    int32_t noiseLevel;         // noise level sigma, sample units
    double snrDb;               // 10 log10(mean etalon energy / (q sigma^2)); +inf at sigma 0
    int32_t repeats;            // trials in the cell
    double restoring, restoringSe;   // table 0 / its normaliser
    double detection, detectionSe;   // sqrt(table 1 / (repeats (Tmax - q)^2))
    double recognition, recognitionSe; // table 3 / repeats
    double restoringAggregate, restoringAggregateSe;   // mean of restoring over the pulse counts at this level
    double detectionAggregate, detectionAggregateSe;   // sqrt(sum of table 1 / (P repeats (Tmax - q)^2))
    double recognitionAggregate, recognitionAggregateSe; // sum of table 3 / (P repeats)
    int32_t sums[kErrorTables]; // cell [k][j] of each of the six tables
};

// The rows in run order: pulse count (outer), then noise level.
std::vector<ResultRow> resultRows(const SimulationResults& results);

// Mean energy of the required etalons (what snr_db compares with), and the
// SNR of a noise level against it; +inf for a level of 0.
double meanEtalonEnergy(const SimulationResults& results);
double snrDb(double meanEnergy, int32_t etalonLength, int32_t noiseLevel);

// The description of a run as simulation.json prints it, without its
// wall-clock field (elapsedSeconds): the record's series type, task, their
// names and the saved energy levels, whether it is complete, and the request's
// length, Tmin, Tmax and number of required etalons (1 for detection).
nlohmann::ordered_json simulationDescriptionJson(const RestoreErrorHeader* record, const SimulationRequest& request);

// Every quantity the normalisation uses, under its name.
nlohmann::ordered_json normalisersJson(const SimulationResults& results);

// One file of a result set: its name in the folder and its bytes.
struct SimulationFile {
    std::string name;   // "simulation.csv", "description.csv", "chart-KIND.png", "simulation.json"
    std::string bytes;  // the whole file
};

// The texts. With `files`, the JSON lists them under "files" (name and size
// in bytes of each): the rest of its set.
std::string simulationCsvText(const SimulationResults& results);
std::string descriptionCsvText(const SimulationResults& results);
std::string simulationJsonText(const SimulationResults& results, const std::vector<SimulationFile>* files = nullptr);

// simulation.csv and description.csv, then `extra` (a chart), then
// simulation.json listing them: a whole result set, in the order it is placed.
std::vector<SimulationFile> resultFiles(const SimulationResults& results, std::vector<SimulationFile> extra = {});

// Writes the set into `folder` (made when missing) as one (platform/files.h,
// FileSet): all new files are in place, or the previous ones all stay. "" when
// written, else why not ("cannot create out: ...", "cannot write ..."). Nothing
// is replaced when *cancel became true while the files were being written.
std::string writeResultSet(const std::string& folder, const std::vector<SimulationFile>& files,
                           const std::atomic<bool>* cancel = nullptr);

// The shortest decimal that reads back as the same double: "0.25", "1e-05";
// "" for NaN, "inf" and "-inf" for the infinities.
std::string shortestDecimal(double value);

// The program's version and the git commit it was built from ("unknown"
// outside a git checkout).
const char* programVersion();
const char* programCommit();
