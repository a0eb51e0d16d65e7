// The checkpoint of a simulation: the integer sums of the trials done so far,
// which trials those are (ranges in run order), the options the results
// depend on and the program that wrote it, as JSON. The batch command's
// (`pulsebench simulate --checkpoint FILE`, `--resume FILE`) is written every
// few seconds and when the run is cancelled; the window's when its run is
// cancelled, with the random streams the run started from. Read back, checked
// against the run asked for, and continued as a share of that run (the trials
// not yet done), so that the tables equal those of a run never interrupted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulation/simulation.h"

inline constexpr int kCheckpointFormat = 1;  // "format_version" of the checkpoints written

// The "kind" of a checkpoint: which run can continue it.
inline constexpr const char* kBatchCheckpointKind = "pulsebench simulate checkpoint";
inline constexpr const char* kWindowCheckpointKind = "pulsebench window simulation checkpoint";

// Consecutive trials in run order.
struct TrialRange {
    int64_t first = 0;  // first trial, >= 0
    int64_t count = 0;  // trials, >= 1

    bool operator==(const TrialRange&) const = default;
};

// What a checkpoint holds.
struct Checkpoint {
    std::string kind = kBatchCheckpointKind;  // kBatchCheckpointKind or kWindowCheckpointKind
    std::string program;                 // the fingerprint of the program that wrote it (checkpointProgram)
    nlohmann::ordered_json options;      // checkpointOptions of the run
    int64_t trials = 0;                  // trials of the whole run, >= 1
    std::vector<TrialRange> done;        // the trials in the sums: ascending, disjoint, not touching
    std::vector<TrawlingCellSums> sums;  // per cell j * L + k, the sums of the trials done
    RandomStreams start;                 // window kind: the streams the run's first trial drew from
};

// What a checkpoint must be to continue a run: its kind, the run's options
// and its size.
struct CheckpointRun {
    std::string kind = kBatchCheckpointKind;  // the "kind" required
    nlohmann::ordered_json options;           // the options required, key for key
    int64_t trials = 0;                       // trials of the whole run, >= 1
    int64_t repeats = 0;                      // trials per cell, >= 1, dividing trials
};

// The run of a valid batch request.
CheckpointRun batchCheckpointRun(const SimulationRequest& request);

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

// What differs between the options a checkpoint was written for and those of
// the run asked for, for the user: the first key that differs, with both
// values ("\"tmax\" is 200 in the checkpoint, 181 here"); "" when equal.
std::string optionsDifference(const nlohmann::json& checkpoint, const nlohmann::json& here);

// The streams as a checkpoint holds them, and back: false (with the fault in
// `error`) for anything but every stream's state within its range.
nlohmann::ordered_json streamsJson(const RandomStreams& streams);
bool streamsFromJson(const nlohmann::json& value, RandomStreams& streams, std::string& error);

// `ranges` sorted, and ranges that overlap or touch joined.
std::vector<TrialRange> joinRanges(std::vector<TrialRange> ranges);
// The trials of 0 .. trials - 1 outside `done` (joined ranges), ascending.
std::vector<TrialRange> missingRanges(const std::vector<TrialRange>& done, int64_t trials);
// Trials in the ranges.
int64_t rangeTrials(const std::vector<TrialRange>& ranges);

// The trials a run still has to do (missingRanges of a checkpoint), handed to
// the driver a range at a time: `context` of nextPendingTrials, a
// TrawlingShareSource.
struct PendingTrials {
    std::vector<TrialRange> todo;  // ascending
    size_t handed = 0;             // ranges of todo handed out so far

    std::vector<TrialRange> handedRanges() const;  // todo[0 .. handed)
};
bool nextPendingTrials(void* context, int64_t& first, int64_t& count);

// The checkpoint of a share run cancelled or interrupted: `prior` (the
// trials of earlier runs) and, of the share's ranges `handed` (ascending),
// the trials up to run-order number `last`, with the share's `sums` added
// (`prior` without sums: the share's are the sums). Sums of another grid
// leave no sums (nothing to keep).
Checkpoint checkpointAfter(const Checkpoint& prior, const std::vector<TrialRange>& handed,
                           const std::vector<TrawlingCellSums>& sums, int64_t last);

// The checkpoint as the file holds it.
std::string checkpointText(const Checkpoint& checkpoint);

// The checkpoint in `text`, for `run`. False, with `error` saying what is
// wrong, when it is no checkpoint of that kind, is corrupt, or was written by
// another program or for other options.
bool parseCheckpoint(const std::string& text, const CheckpointRun& run, Checkpoint& checkpoint, std::string& error);
// parseCheckpoint for the run of a valid batch `request`.
bool parseCheckpoint(const std::string& text, const SimulationRequest& request, Checkpoint& checkpoint,
                     std::string& error);

// The "options" of a checkpoint of `kind` in `text`, unchecked beyond being
// an object: what a run that takes some of its settings from the checkpoint
// reads first. False, with `error`, for no checkpoint of that kind.
bool checkpointOptionsIn(const std::string& text, const char* kind, nlohmann::json& options, std::string& error);

// The text of the file `path`; false with `error` naming it when it cannot be read.
bool readCheckpointFile(const std::string& path, std::string& text, std::string& error);

// parseCheckpoint of the file `path`; `error` names the file and the fault.
bool readCheckpoint(const std::string& path, const SimulationRequest& request, Checkpoint& checkpoint,
                    std::string& error);
