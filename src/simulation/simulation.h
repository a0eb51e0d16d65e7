// Statistical simulation: the error statistics record (RestoreErrorHeader) that
// a simulation fills over a grid of pulse counts and noise levels and that the
// charts draw. Public face of src/simulation/ for the shell and the display.
// Reports through message boxes owned by the window passed first; never uses Qt.
#pragma once

#include <atomic>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kinds/kinds.h"
#include "platform/platform.h"
#include "synthesis/synthesis.h"

/*==========================================================================
** Error statistics record
**========================================================================*/

inline constexpr int kErrorTables = 6;  // tables of lpErrors: restoring, detection, 0, wrong recognitions, 0, 0

// Greatest number of cells (all six tables together) a record may hold: 256 MB
// of cells. A bigger grid is refused like an allocation that failed, before any
// memory is touched.
inline constexpr uint64_t kMaxErrorCells = uint64_t(1) << 26;

// The grid of one simulation, its error tables and the description of the run.
// Obtained from getRestErrHeader, released by freeRestErrHeader; the shell keeps
// one for the whole program run. Cell [k][j] of table t is lpErrors[t][k][j]
// for noise level k < wNoiseLevels and pulse count j < wVariousPulses; row k of
// every table begins wVariousPulses cells after row k - 1, and table t begins at
// cell t * wVariousPulses * wNoiseLevels of the cell block.
struct RestoreErrorHeader {
    uint16_t wReservedPulses = 0;      // pulse-count values allocated (columns of every table)
    uint16_t wVariousPulses = 0;       // P, pulse-count values in use, <= wReservedPulses
    uint16_t wReservedLevels = 0;      // noise levels allocated (rows of every table)
    uint16_t wNoiseLevels = 0;         // L, noise levels in use, <= wReservedLevels
    int32_t repeats = 0;               // trials per grid cell
    int16_t* wPulseValues = nullptr;   // [wReservedPulses] pulse count of column j; behind lpNoiseLevels in valueStore
    int16_t* lpNoiseLevels = nullptr;  // [wReservedLevels] noise level of row k, sample units; start of valueStore
    int32_t** lpErrors[kErrorTables] = {};  // per table, [wReservedLevels] row pointers into cellStore
    uint16_t wDescription = 0;         // 2 once addInitRestErrHeader described the run; 0 before
    uint16_t wSeriesType = 0;          // series type code of the run (1, 2, 4, 8, 36, 40, ...)
    uint16_t wTaskType = 0;            // processing type code of the run (1, 2, 4, 36, 40, ...)
    const char* lpTaskName = "";       // task name of wTaskType; "" when the code has none (never null)
    const char* lpSeriesTypeName = ""; // series type name of wSeriesType; "" when the code has none (never null)
    uint16_t wMakingSavedEnergy = 0;   // saved energy level the run's series were built with, percent
    int16_t wProcessingSavedEnergy = 0; // saved energy level given to the detectors, percent
    uint16_t ifComplete = 0;           // 0 after initRestErrHeader, 1 when a run has finished

    // Owning storage behind the pointers above.
    std::vector<int16_t> valueStore;   // wReservedLevels noise levels, then wReservedPulses pulse counts
    std::vector<int32_t*> rowStore;    // kErrorTables arrays of wReservedLevels row pointers
    std::vector<int32_t> cellStore;    // kErrorTables * wReservedLevels * wReservedPulses cells

    RestoreErrorHeader() = default;
    RestoreErrorHeader(const RestoreErrorHeader&) = delete;  // the pointers point into the owner's storage
    RestoreErrorHeader& operator=(const RestoreErrorHeader&) = delete;
};

// Names printed in the description of a run; "" for a code outside the tables.
const char* restErrSeriesTypeName(uint16_t seriesType);
const char* restErrTaskName(uint16_t taskType);

// Allocates a record when none is given and makes every block large enough for
// P pulse counts and L noise levels (reusing what is large enough); sets P, L
// and repeats and zeroes the values and all six tables. Out of memory (or a
// grid above kMaxErrorCells): a message, the record released, also one passed
// in, and nothing returned.
RestoreErrorHeader* getRestErrHeader(HWND hWnd, uint16_t P, uint16_t L, int32_t repeats,
                                     RestoreErrorHeader* lpRestErrorHeader);

// Fills the grid: pulse counts firstPulses + j * pulsesStep, noise levels
// firstLevel + k * levelStep (16-bit), clears table 0 and ifComplete. Returns 1,
// or 0 after a message with nothing changed (no record, or more pulse counts or
// levels than allocated).
int initRestErrHeader(HWND hWnd, uint16_t P, uint16_t firstPulses, uint16_t pulsesStep, uint16_t L,
                      uint16_t firstLevel, uint16_t levelStep, int32_t repeats,
                      RestoreErrorHeader* lpRestErrorHeader);

// Records the description of the run. Returns 1, or 0 after a message when
// there is no record.
int addInitRestErrHeader(HWND hWnd, uint16_t seriesType, uint16_t taskType, uint16_t makingSavedEnergy,
                         int16_t processingSavedEnergy, RestoreErrorHeader* lpRestErrorHeader);

// Releases the record and everything it owns (nothing for null). Returns 1.
int freeRestErrHeader(RestoreErrorHeader* lpRestErrorHeader);

// The record as the text aboutRestErrHeader shows (whole, for any grid); "" for null.
std::string restErrHeaderText(const RestoreErrorHeader* lpRestErrorHeader);

// Shows restErrHeaderText in a box captioned "aboutRestErrHeader Info".
void aboutRestErrHeader(HWND hWnd, const RestoreErrorHeader* lpRestErrorHeader);

/*==========================================================================
** Statistical simulation driver
**========================================================================*/
// statCutoffTrawling builds and noises the series of every trial in trial order
// on the calling thread (they share the random streams) and runs the detectors,
// which draw nothing, on a small pool of worker threads. Each trial in flight
// has its own copy of the series and its own ChainsHeader; the scores are added
// in trial order, so the tables, the streams and the series header after a run
// do not depend on the number of threads.
//
// Message boxes: everything a worker's detector could refuse is checked before
// the first trial, so workers show no box. A window whose boxes are not
// thread-safe (the Qt one) must never be reached from a worker: checkRun and
// copySubsets refuse what a detector of kinds.h would. RecordingMessageBoxes is
// thread-safe.

struct ChainsHeader;

// Calendar times (seconds since the epoch) of the start and the end of the
// last run; the charts print their difference as the elapsed time.
extern int64_t simStartTime;
extern int64_t simEndTime;

// The calendar clock the driver reads (seconds since the epoch). The program
// uses the real clock; a scripted session puts a fixed one here so that two
// runs of a script draw the same charts, times included.
extern int64_t (*simClock)();
int64_t simRealClock();

// What statCutoffTrawling returns.
inline constexpr int kTrawlingNotStarted = 0;  // refused before the first trial (a box says why)
inline constexpr int kTrawlingComplete = 1;    // every cell filled, ifComplete = 1
inline constexpr int kTrawlingCancelled = 2;   // stopped by the cancel flag; tables untouched, ifComplete = 0
inline constexpr int kTrawlingShareDone = 3;   // a share ran to its end; its sums are in the share, tables untouched
inline constexpr int kTrawlingNoMemory = 4;    // memory ran out before or during the trials (a box says so); tables untouched

// Signatures of the detectors (detection.h); the driver calls them through a
// DetectorSet so a test or a benchmark can put a model detector in their place.
typedef int32_t (*PulseDetector)(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity,
                                 uint16_t* lpRequiredList, uint16_t wTmin, uint16_t wTmax,
                                 uint16_t wProcSavedEnergyLevel, ChainsHeader* lpChainsHeader,
                                 SeriesHeader* lpSeriesHeader);
typedef int32_t (*TupleDetector)(HWND hWnd, PulseHeader* Alphabet, int32_t wSelectedSubsetLength,
                                 const int32_t* selectedSubset, uint16_t wSubsetProceeding, uint16_t wTmin,
                                 uint16_t wTmax, uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat,
                                 ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader);
typedef int32_t (*TupleRecognizer)(HWND hWnd, PulseHeader* Alphabet, const int32_t* selectedSubsetArraySize,
                                   const int32_t* const* selectedSubsetArray, int32_t wReservedSubsetsUsed,
                                   uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                                   uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat,
                                   ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader);

// One bound slot: the member its form (kinds.h) names is set.
struct Detector {
    PulseDetector pulses = nullptr;        // DetectorForm::Pulses
    TupleDetector tuples = nullptr;        // DetectorForm::Tuples
    TupleRecognizer recognizer = nullptr;  // DetectorForm::TupleRecognizer
};

// The detectors, indexed by DetectorSlot.
struct DetectorSet {
    std::array<Detector, kDetectorSlots> bound{};  // entry DetectorSlot s is the detector of s
    Detector& operator[](DetectorSlot s) { return bound[size_t(s)]; }
    const Detector& operator[](DetectorSlot s) const { return bound[size_t(s)]; }
};

// The production detectors of detection.h.
DetectorSet productionDetectors();

// Where a run is, handed to the progress callback after every finished trial.
struct TrawlingProgress {
    int32_t cell;            // grid cell of the trial: j * wNoiseLevels + k (pulse count j, noise level k)
    int32_t cells;           // cells in the grid, P * L
    int32_t trial;           // trial within the cell, 0 .. repeats - 1
    int32_t trials;          // trials per cell (repeats)
    int64_t trialsDone;      // trials finished in the whole run
    int64_t trialsTotal;     // trials of the whole run, P * L * repeats
    double elapsedSeconds;   // wall time since the run started
};

// Called on the thread that called statCutoffTrawling, never from a worker.
typedef void (*TrawlingProgressCallback)(void* context, const TrawlingProgress& progress);

/*---- A run split over processes ----*/
// The trials of a run are numbered in run order: trial l of the cell of pulse
// count j and noise level k is number (j * L + k) * repeats + l. A share is the
// part of a run one process does: the driver walks every trial in that order,
// runs the trials of its ranges and skips the others, drawing what their series
// and noise would draw (skipExtSeries, skipNoise) so that each trial it runs
// sees the streams as the whole run would. Cells are sums, so the sums of the
// shares added together are the sums of the whole run, whatever the split.

// The sums of one grid cell over the trials of a run or of a share of one.
struct TrawlingCellSums {
    int64_t restoring = 0;  // sum of the trials' restoring errors
    int64_t detection = 0;  // sum of the trials' detection errors, 1/128 units
    int64_t wrong = 0;      // trials whose recognised subset was not the employed one

    bool operator==(const TrawlingCellSums&) const = default;
};

// Hands out the next range of trials of a share: `first` and `count` (> 0).
// Ranges must ascend: a range (or its part) behind trials already walked is
// dropped. Called on the thread that called statCutoffTrawling, whenever the
// walk passes the end of the current range; false when the share has no more.
typedef bool (*TrawlingShareSource)(void* context, int64_t& first, int64_t& count);

struct TrawlingShare {
    TrawlingShareSource next = nullptr;      // the ranges of this share (required)
    void* context = nullptr;                 // handed back to next
    int64_t trials = 0;                      // out: trials of the whole run, P * L * repeats, set before next is first called
    std::vector<TrawlingCellSums> sums;      // out: per cell j * L + k, the sums of the trials this share ran
    int64_t trialsRun = 0;                   // out: trials of the share that were run and counted
};

// Trials of the next range a dispatcher hands out when `next` trials of
// `total` are already handed out to `processes` processes: half the rest
// shared out, then smaller and smaller pieces (guided scheduling), so that
// processes finish together however the cost of a trial varies over the grid.
int64_t nextTrawlingChunk(int64_t next, int64_t total, int processes);

// Adds the sums of one share to those of others, cell by cell. False (nothing
// added) when the two grids differ in size.
bool addTrawlingSums(std::vector<TrawlingCellSums>& total, const std::vector<TrawlingCellSums>& share);

// Stores the tables of a run from the sums of all its shares, as a whole run
// stores them, and sets ifComplete. Returns 1, or 0 (nothing changed) when the
// sums do not fit the record's grid.
int storeTrawlingSums(const std::vector<TrawlingCellSums>& sums, RestoreErrorHeader* lpRestErrorHeader);

// What the driver takes from the program state besides its arguments, and how
// it runs. The noise stream is the program state's wNoiseSeed and is advanced.
// A progress dialog: the callback runs on the thread that started the run, so
// it may pump the window's events (throttled) and its Cancel button may set
// *lpCancel. A cancelled run has already lost the previous tables (the shell
// cleared them with getRestErrHeader/initRestErrHeader); a shell that wants to
// keep them runs into a second record and swaps the two on kTrawlingComplete.
struct TrawlingContext {
    int16_t* lpNoiseSeed = nullptr;            // the program state's wNoiseSeed (required)
    int16_t wAmplitude = 128;                  // amplitude of the series built (program state wAmplitude)
    uint16_t wSubsetProceeding = 1;            // phase mode handed to the tuple detectors
    int32_t threads = 0;                       // detector threads; 0: one per hardware thread; 1: all on the caller's thread
    TrawlingProgressCallback progress = nullptr; // per finished trial, or none
    void* progressContext = nullptr;           // handed back to progress
    const std::atomic<bool>* lpCancel = nullptr; // true: stop before the next trial (any thread may set it)
    const DetectorSet* detectors = nullptr;    // none: productionDetectors()
    TrawlingShare* share = nullptr;            // none: the whole run; else only this share's trials (see above)
};

// The simulation over the grid of the record: for every pulse count (outer)
// and noise level (inner) `repeats` trials of build, noise, detect and score;
// fills the six tables and the description, sets ifComplete. Returns one of
// kTrawling*. A grid the series parameters cannot build (a pulse count outside
// the admissible range for the length, Tmin and Tmax), zero repeats, a missing
// noise stream or a series header not prepared by getCutOffSeriesHeader are
// refused with one message before the first trial. A cancelled run fills no
// cell: the tables stay as initRestErrHeader left them and ifComplete stays 0;
// so does a run that runs out of memory (kTrawlingNoMemory): the cell sums are
// taken before the first trial, and a trial whose copies or detector find no
// memory stops the run after the trials in flight, with one box on the
// caller's thread. Worker threads that cannot be started are done without
// (the results do not depend on their number). In every case the series
// header holds the last series built and its wSubsetLength is restored.
//
// With a share: only the share's trials are run and counted; the run's last
// trial is run in every share (counted only in the one that holds it), so the
// series header and the streams end as after the whole run. Returns
// kTrawlingShareDone with the sums in the share; the tables stay untouched and
// ifComplete 0 until storeTrawlingSums stores the sums of all shares.
int statCutoffTrawling(HWND hWnd, RestoreErrorHeader* lpRestErrorHeader, uint16_t A, PulseHeader* Alphabet,
                       uint16_t wRequiredQuantity, uint16_t* lpRequiredList, uint16_t wSeriesType,
                       uint16_t wProcessingType, uint16_t wSavedEnergyLevel, uint16_t wProcSavedEnergyLevel,
                       SeriesHeader* lpSeriesHeader, const TrawlingContext& context);

// The restoring error of a series: the sum over its samples of the squared
// difference between the pure series and the series rebuilt from the detected
// pulses (their kept parts of their etalons). Saturates at INT32_MAX.
int32_t restoringError(const SeriesHeader* lpSeriesHeader);

// The series rebuilt from the detected pulses, dwSeriesSize samples into
// `restored`: the kept part of each detected pulse's etalon at its position,
// 0 elsewhere (what restoringError compares with the pure series).
void restoreSeries(const SeriesHeader* lpSeriesHeader, int16_t* restored);

// One trial's detection error in 1/128 units: 128 * H / K rounded to nearest,
// H the sum of squared start errors over the first min(K, sought) pulses.
int64_t detectionErrorUnits(const SeriesHeader* lpSeriesHeader, uint16_t K, uint16_t sought);

// One trial's recognition error: 1 when the recognised tuple (the tuple
// recognisers' result) is not the one the series employed, else 0.
int32_t recognitionError(int32_t recognized, int32_t expected);
