// Inside the simulation folder: the trials in flight of a simulation run and
// the worker threads that run their detectors. The driver (trawling.cpp) fills
// a slot on its own thread, submits it and takes the results back in trial
// order; a run keeps a few slots per worker, whatever the size of the grid.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "detection/detection.h"
#include "simulation.h"

// What every trial of a run shares; read-only while workers run.
struct TrialSetup {
    HWND hWnd = nullptr;                 // owner of the run's boxes (never reached from a trial: each slot records its own)
    PulseHeader* alphabet = nullptr;     // entry k - 1 is etalon k
    uint16_t wRequiredQuantity = 0;      // n, entries of the candidate lists
    uint16_t* lpRequiredList = nullptr;  // [n] the required etalons
    uint16_t wSeriesType = 0;            // series type code of the run
    uint16_t wTaskType = 0;              // processing type code of the run
    uint16_t wProcSavedEnergyLevel = 0;  // saved energy level given to the detectors
    uint16_t wSubsetProceeding = 1;      // phase mode of the tuple detectors
    DetectorSet detectors = {};          // the detectors called (production or models)
    int32_t subsetLength = 0;            // entries of subset (tuples detection)
    int32_t* subset = nullptr;           // [subsetLength] the selected subset, 32-bit (tuples detection)
    int32_t subsetCount = 0;             // S, stored subsets (tuples recognition)
    int32_t* subsetSizes = nullptr;      // [S] size of each stored subset
    int32_t** subsetRows = nullptr;      // [S] entries of each stored subset
};

// How a trial ended besides its scores.
enum class TrialFault : uint8_t {
    None,        // ran to its end without a box
    Box,         // the detector showed a box (out of memory: the checks before the run leave nothing else)
    NoMemory,    // an allocation of the trial threw std::bad_alloc
    Exception,   // any other exception left the detector
};

// One trial in flight: its own series, chains header and candidate list.
struct TrialSlot {
    SeriesHeader series;                 // copy of the series built for the trial
    ChainsHeader* chains = nullptr;      // private chains header (10 chains of M pulses)
    std::vector<uint16_t> candidates;    // the etalon sequence at the trial, at least n entries
    uint16_t K = 0;                      // pulse count of the trial
    int16_t expectedSubset = 0;          // task 40: the employed subset number e
    int32_t cell = 0;                    // grid cell j * L + k
    int32_t trial = 0;                   // trial l within the cell
    bool counted = true;                 // the scores go to the run's sums (false: a share's copy of the last trial)
    int32_t restoring = 0;               // result: restoring error
    int64_t detectionUnits = 0;          // result: detection error, 1/128 units
    int32_t wrongRecognition = 0;        // result: 1 when the recognised subset was not e
    TrialFault fault = TrialFault::None; // result: how the trial ended
    PlatformWindow boxOwner;             // the window the trial's detector shows its boxes on: they are recorded
    std::unique_ptr<RecordingMessageBoxes> boxes; // the boxes of this slot's trials, shown by the driver's thread
    bool done = true;                    // result ready, or never submitted (guarded by the pool's lock)
    bool pending = false;                // submitted and not yet added to its cell (the driver's thread only)
};

// Worker threads and the slots they work on. Slots are used round-robin: slot
// t mod size holds trial t.
struct TrialPool {
    const TrialSetup* setup = nullptr;   // shared by every trial
    std::vector<TrialSlot> slots;        // trials in flight, a few per worker
    std::vector<std::thread> workers;    // none: trials run on the caller's thread at submit
    std::mutex lock;                     // guards queue, done flags and stopping
    std::condition_variable work;        // a slot was queued, or stopping
    std::condition_variable finished;    // a slot is done
    std::deque<TrialSlot*> queue;        // submitted slots not yet taken, oldest first
    bool stopping = false;               // workers leave when the queue is empty

    TrialPool() = default;
    TrialPool(const TrialPool&) = delete;
    TrialPool& operator=(const TrialPool&) = delete;
};

// Starts one worker thread running `loop` on the pool: std::thread's
// constructor, which throws std::system_error when the system gives no more
// threads. Tests put a starter here that fails.
typedef std::thread (*TrialWorkerStarter)(void (*loop)(TrialPool*), TrialPool* pool);
extern TrialWorkerStarter startTrialWorker;

// Makes the slots (each with a chains header of 10 chains of M pulses) and
// starts `threads` workers (none for 1). A worker that cannot be started is
// done without: fewer workers, down to none (every trial on the caller's
// thread), give the same results. False when memory ran out (a message from
// getChainsHeader, or none for the slots themselves); the pool is then stopped
// and empty.
bool startTrialPool(HWND hWnd, TrialPool& pool, const TrialSetup& setup, int threads, uint16_t M);

// Waits until the slot's trial is done (at once when it is free).
void waitTrialSlot(TrialPool& pool, TrialSlot& slot);

// Hands a filled slot to the workers (or runs it at once without workers).
void submitTrialSlot(TrialPool& pool, TrialSlot& slot);

// Lets the workers finish what was submitted, joins them and frees the slots.
void stopTrialPool(TrialPool& pool);

// Copies every field and array of a series into another header's own storage.
void copySeriesHeader(const SeriesHeader& source, SeriesHeader& destination);

// Copies the detectors' results of a series (detected pulses, tuples,
// recognised tuple) into another header of the same capacity.
void copySeriesResult(const SeriesHeader& source, SeriesHeader& destination);

// Runs the trial's detector and scores it. Called by a worker or at submit.
void runTrial(const TrialSetup& setup, TrialSlot& slot);

// runTrial that never throws: what went wrong is left in slot.fault.
void runTrialGuarded(const TrialSetup& setup, TrialSlot& slot);
