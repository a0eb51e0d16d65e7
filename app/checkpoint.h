// The checkpoint of a batch simulation (`pulsebench simulate --checkpoint
// FILE`, `--resume FILE`): the integer sums of the trials done so far, which
// trials those are (ranges in run order), the options the results depend on
// and the program that wrote it, as JSON. Written every few seconds and when
// the run is cancelled; read back, checked against the run asked for, and
// continued as a share of that run (the trials not yet done), so that the
// tables equal those of a run never interrupted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulation/simulation.h"

inline constexpr int kCheckpointFormat = 1;  // "format_version" of the checkpoints written

// Consecutive trials in run order.
struct TrialRange {
    int64_t first = 0;  // first trial, >= 0
    int64_t count = 0;  // trials, >= 1

    bool operator==(const TrialRange&) const = default;
};

// What a checkpoint holds.
struct Checkpoint {
    std::string program;                 // the fingerprint of the program that wrote it (checkpointProgram)
    nlohmann::ordered_json options;      // checkpointOptions of the run
    int64_t trials = 0;                  // trials of the whole run, >= 1
    std::vector<TrialRange> done;        // the trials in the sums: ascending, disjoint, not touching
    std::vector<TrawlingCellSums> sums;  // per cell j * L + k, the sums of the trials done
};

// The program's version and the commit it was built from: a checkpoint from
// any other build is refused (another build may draw or score otherwise).
std::string checkpointProgram();

// Every option the tables depend on (the request, the seed included; not
// --threads, --out, --chart or --quiet, which change nothing in the tables).
nlohmann::ordered_json checkpointOptions(const SimulationRequest& request);

// The one pair that writes and reads a cell's sums: [restoring, detection,
// wrong]. The reader refuses anything else (false, with the fault in `error`).
nlohmann::json cellSumsJson(const TrawlingCellSums& sums);
bool cellSumsFromJson(const nlohmann::json& value, TrawlingCellSums& sums, std::string& error);

// `ranges` sorted, and ranges that overlap or touch joined.
std::vector<TrialRange> joinRanges(std::vector<TrialRange> ranges);
// The trials of 0 .. trials - 1 outside `done` (joined ranges), ascending.
std::vector<TrialRange> missingRanges(const std::vector<TrialRange>& done, int64_t trials);
// Trials in the ranges.
int64_t rangeTrials(const std::vector<TrialRange>& ranges);

// The checkpoint as the file holds it.
std::string checkpointText(const Checkpoint& checkpoint);

// The checkpoint in `text`, for the run of a valid `request`. False, with
// `error` saying what is wrong, when it is no checkpoint, is corrupt, or was
// written by another program or for other options.
bool parseCheckpoint(const std::string& text, const SimulationRequest& request, Checkpoint& checkpoint,
                     std::string& error);

// parseCheckpoint of the file `path`; `error` names the file and the fault.
bool readCheckpoint(const std::string& path, const SimulationRequest& request, Checkpoint& checkpoint,
                    std::string& error);
