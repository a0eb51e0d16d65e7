// Statistical simulation: the error statistics record (RestoreErrorHeader) that
// a simulation fills over a grid of pulse counts and noise levels and that the
// charts draw. Public face of src/simulation/ for the shell and the display.
// Reports through message boxes owned by the window passed first; never uses Qt.
#pragma once

#include <atomic>
#include <array>
#include <cstdint>
#include <memory>
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

// Sums of squares of the trials' errors: up to 65535 trials of squares of up
// to 2^74 (detection units) need more than 64 bits.
using TrawlingSquareSum = unsigned __int128;

// The sums of one grid cell over the trials of a run or of a share of one.
// The squares give the spread of the trials (the standard errors of the
// results); a wrong recognition is 0 or 1, so its square is itself.
struct TrawlingCellSums {
    int64_t restoring = 0;  // sum of the trials' restoring errors
    int64_t detection = 0;  // sum of the trials' detection errors, 1/128 units
    int64_t wrong = 0;      // trials whose recognised subset was not the employed one
    TrawlingSquareSum restoringSquares = 0;  // sum of the squared restoring errors
    TrawlingSquareSum detectionSquares = 0;  // sum of the squared detection errors, 1/128^2 units

    bool operator==(const TrawlingCellSums&) const = default;
};

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
    std::vector<TrawlingCellSums> cellSums; // [P * L] the run's sums per cell j * L + k, kept by storeTrawlingSums
                                       // for the spread; empty before (or when memory lacked for the copy)

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
// last run in the process; the window's charts print them and their
// difference. Runs on several threads at once each write them (atomically);
// such a caller takes its own run's times from TrawlingContext::lpTimes.
extern std::atomic<int64_t> simStartTime;
extern std::atomic<int64_t> simEndTime;

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
    int64_t trialNumber = -1;  // run-order number of the trial just finished (see "A run split over processes")
    const std::vector<TrawlingCellSums>* sums = nullptr;  // the sums of the trials counted so far, per cell j * L + k
};

// Called on the thread that called statCutoffTrawling, never from a worker.
typedef void (*TrawlingProgressCallback)(void* context, const TrawlingProgress& progress);

// How far a long run is, as the batch commands and the window's progress
// dialog print it: "45.1% 32700/72500 trials, 412 trials/s, elapsed 1:19,
// remaining 1:37" (`unit` names what is counted). The rate is done per
// elapsed second; the time remaining assumes it stays; both read "--" while
// nothing is done or no time has passed. Durations are m:ss, or h:mm:ss from
// an hour on.
std::string progressText(int64_t done, int64_t total, double elapsedSeconds, const char* unit);
// A duration as progressText prints it; "--" for a negative or unknown one.
std::string durationText(double seconds);

/*---- A run split over processes ----*/
// The trials of a run are numbered in run order: trial l of the cell of pulse
// count j and noise level k is number (j * L + k) * repeats + l. A share is the
// part of a run one process does: the driver walks every trial in that order,
// runs the trials of its ranges and skips the others, drawing what their series
// and noise would draw (skipExtSeries, skipNoise) so that each trial it runs
// sees the streams as the whole run would. Cells are sums, so the sums of the
// shares added together are the sums of the whole run, whatever the split.

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
    int64_t lastCounted = -1;                // out: run-order number of the last trial counted; -1: none
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
// stores them, keeps the sums in cellSums and sets ifComplete. Returns 1, or 0 (nothing changed) when the
// sums do not fit the record's grid.
int storeTrawlingSums(const std::vector<TrawlingCellSums>& sums, RestoreErrorHeader* lpRestErrorHeader);

// What the driver takes from its caller besides its arguments, and how it runs.
// Every series of the run draws from *lpStreams (the program state's streams,
// or a batch run's own), which the run advances.
// A progress dialog: the callback runs on the thread that started the run, so
// it may pump the window's events (throttled) and its Cancel button may set
// *lpCancel. A cancelled run has already lost the previous tables (the shell
// cleared them with getRestErrHeader/initRestErrHeader); a shell that wants to
// keep them runs into a second record and swaps the two on kTrawlingComplete.
struct TrawlingContext {
    RandomStreams* lpStreams = nullptr;        // the streams every series and its noise draw from (required)
    int16_t wAmplitude = 128;                  // amplitude of the series built (program state wAmplitude)
    uint16_t wSubsetProceeding = 1;            // phase mode handed to the tuple detectors
    int32_t threads = 0;                       // detector threads; 0: one per hardware thread; 1: all on the caller's thread
    TrawlingProgressCallback progress = nullptr; // per finished trial, or none
    void* progressContext = nullptr;           // handed back to progress
    const std::atomic<bool>* lpCancel = nullptr; // true: stop before the next trial (any thread may set it)
    const DetectorSet* detectors = nullptr;    // none: productionDetectors()
    TrawlingShare* share = nullptr;            // none: the whole run; else only this share's trials (see above)
    int64_t* lpTimes = nullptr;                // out, none: [2] this run's start and end as simStartTime, simEndTime
};

// The simulation over the grid of the record: for every pulse count (outer)
// and noise level (inner) `repeats` trials of build, noise, detect and score;
// fills the six tables and the description, sets ifComplete. Returns one of
// kTrawling*. A grid the series parameters cannot build (a pulse count outside
// the admissible range for the length, Tmin and Tmax), zero repeats, missing
// streams or a series header not prepared by getCutOffSeriesHeader are
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
// ifComplete 0 until storeTrawlingSums stores the sums of all shares. A
// cancelled share also hands back what it counted (sums, trialsRun,
// lastCounted: every trial of its ranges up to lastCounted is in the sums), so
// that a checkpoint can keep it.
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

/*==========================================================================
** A simulation run from its request
**========================================================================*/
// One statistical simulation from the state of a freshly started program, set
// up from a handful of options as `pulsebench simulate` takes them: the
// program's alphabet of 20 etalons of 20 samples at amplitude 128, the first
// series the window builds at its creation, then the task, the series type,
// the required set, the subsets and the grid of the request. Callable without
// a window, without Qt and without the program state: a library user fills a
// SimulationRequest, checks it with validateSimulationRequest and calls
// runSimulation with a fresh RandomStreams. Message boxes go to the window of
// the control (null: the process default, see setDefaultMessageBoxService).

inline constexpr uint16_t kRunAlphabetSize = 20;  // etalons of a run's alphabet (the program's wAlphabetSize)
inline constexpr uint16_t kRunImpulseSize = 20;   // samples per etalon (the program's wImpulseSize)
inline constexpr int16_t kRunAmplitude = 128;     // amplitude of alphabet and series (the program's wAmplitude)

// What a run is asked to do. Each field defaults to the program's own default;
// levels and pulse counts left at -1 are derived as the program derives them.
struct SimulationRequest {
    int task = 4;                       // wTaskType: 1 detection, 2 recognition, 4 joint, 64 series processing
    int seriesType = 2;                 // wSeriesType: 1, 2, 4, 8, 36 or 40
    int length = 1200;                  // series length, samples, 20..32767
    int tmin = 40;                      // least distance between pulse starts, samples, 1..32767, <= tmax
    int tmax = 181;                     // greatest distance between pulse starts, samples, 20..32767
    int makingLevel = -1;               // saved energy of the series built, percent 0..100; -1: 75, 100 for whole-pulse types
    int processingLevel = -1;           // saved energy given to the detectors, percent 0..100; -1: as making
    int pulsesFrom = -1;                // first pulse count, 0..32767; -1: (length + 19) / tmax
    int pulsesTo = -1;                  // last pulse count, 0..32767, >= pulsesFrom; -1: (length + tmin - 20) / tmin
    int pulsesStep = 1;                 // pulse count increment, 0..32767 (0 counts as 1)
    int noiseInitial = 0;               // first noise level, sample units, 0..32767
    int noiseSteps = 29;                // number of noise levels, 1..4096
    int noiseStep = 5;                  // noise level increment, 0..32767; the last level stays <= 32767
    int repeats = 100;                  // trials per pulse count and noise level, 1..65535
    int required = 20;                  // etalons 1..required are required, 1..20 (detection: etalon 1 alone)
    std::vector<int> subset;            // the tuple of tuples detection, etalon numbers 1..20; empty: none
    std::vector<std::vector<int32_t>> subsets; // the stored tuples of tuples recognition, each non-empty, entries 1..20
    int pick = 1;                       // the stored tuple selected first, 1-based, 1..32767
    int employment = 4;                 // wSubsetEmployment 1..5
    int init = 1;                       // wSubsetInitPosition, 1..32767
    int proceeding = 1;                 // wSubsetProceeding 1 or 2
    uint32_t seed = 0;                  // replicate seed: 0 the program's streams; else the trials draw from the keyed streams of this seed
};

// Why the request cannot be run, as the user reads it ("--tmin must not
// exceed --tmax"), or "" when every field is in its range and the grid fits.
// What only the built series can tell (a pulse count the series cannot hold,
// a tuple longer than the series) is refused by runSimulation with a box.
std::string validateSimulationRequest(const SimulationRequest& request);

// The trials of the run a valid request asks for: pulse counts x noise levels x repeats.
int64_t simulationTrials(const SimulationRequest& request);

// How a run is driven; the defaults run the whole grid silently on every core.
struct SimulationControl {
    HWND hWnd = nullptr;                          // owner of the run's message boxes; null: the process default
    int32_t threads = 0;                          // detector threads; <= 0: one per hardware thread; at most 64 used
    TrawlingProgressCallback progress = nullptr;  // after every finished trial, on the calling thread; none: silent
    void* progressContext = nullptr;              // handed back to progress
    const std::atomic<bool>* lpCancel = nullptr;  // true: stop before the next trial (any thread, or progress, may set it)
    TrawlingShare* share = nullptr;               // only this share of a run split over processes; none: the whole run
    bool checkOnly = false;                       // stop once the request passed every check: no record, no trial
};

// What the run built besides its tables, for the charts and the normalisers.
struct SimulationSetup {
    PulseHeader alphabet[kAlphabetCapacity];  // the alphabet, kRunAlphabetSize entries built
    uint16_t* lpRequiredList = nullptr;       // [wRequiredQuantity] 1-based numbers of the required etalons
    uint16_t wRequiredQuantity = 0;           // entries of lpRequiredList, 1..20
    SeriesHeader* lpSeriesHeader = nullptr;   // sized for the request, its subsets stored; after the run the last series built

    SimulationSetup() = default;
    SimulationSetup(const SimulationSetup&) = delete;
    SimulationSetup& operator=(const SimulationSetup&) = delete;
    ~SimulationSetup();
};

// Releases a record held by a std::unique_ptr (freeRestErrHeader).
struct RestErrHeaderRelease {
    void operator()(RestoreErrorHeader* r) const { freeRestErrHeader(r); }
};

// What a run produced. The tables are record->lpErrors (cell [k][j] of noise
// level k and pulse count j); the description is the record's wSeriesType,
// wTaskType, their names and the saved energy levels, with the run's times.
struct SimulationOutcome {
    int status = kTrawlingNotStarted;         // kTrawling*: kTrawlingComplete when the tables are filled
    std::string error;                        // why the request was refused or memory ran out; "" otherwise (a box may tell)
    std::unique_ptr<RestoreErrorHeader, RestErrHeaderRelease> record; // grid, tables, description; null before the grid
    int64_t startTime = 0;                    // calendar time the trials started, seconds since the epoch (simClock)
    int64_t elapsedSeconds = 0;               // calendar seconds from the first trial to the end
    std::unique_ptr<SimulationSetup> setup;   // alphabet, required list and series of the run; null before the fresh start
};

// Sets up the run the request describes and runs it: validateSimulationRequest,
// then the fresh start (the alphabet and the first series drawn from
// `streams`), the required list, the subsets, the series header, the record
// and statCutoffTrawling with the control's threads, progress, cancel flag and
// share. A fresh RandomStreams gives the run of a freshly started program;
// `streams` ends where every stream stands after the run (as the batch
// command's randomStreams). With a replicate seed the trials draw from a
// keyed copy of the streams (seedRandomStreams) and `streams` end as the
// fresh start left them. A request refused before the first trial leaves
// `streams` as they were; a cancelled run leaves them where its last trial
// did. Runs on several threads at once, each with its own streams, do not
// disturb each other. Throws nothing: out of memory anywhere is status
// kTrawlingNoMemory with its message in `error`.
SimulationOutcome runSimulation(const SimulationRequest& request, RandomStreams& streams,
                                const SimulationControl& control = {});

// Completes a run split into shares: stores the sums of every share into the
// record of this process's share (which holds the whole run's streams and last
// series), as a whole run leaves it, and sets status kTrawlingComplete. False
// (nothing changed) unless the outcome is kTrawlingShareDone and the sums fit.
bool completeSimulation(SimulationOutcome& outcome, const std::vector<TrawlingCellSums>& sums);

/*==========================================================================
** Normalised errors
**========================================================================*/
// The error tables divided by what makes them comparable across pulse counts
// and alphabets: the restoring error by the energy a series could lose, the
// detection error by the squared spread a start can have, the recognition
// errors by the trials. The charts plot these quotients; a library user gets
// them as doubles. "Normalised" means the double nearest to sum / normaliser.

// The alphabet's reference values the normalisers rest on (the charts print
// them as "etEnergy=%d, Rmin=%d, Rmax=%d").
struct ErrorReference {
    int32_t etEnergy;   // energy of the reference etalon (largest stored-subset etalon for tuples recognition), >= 0
    int32_t minSquare;  // smallest squared sample of the reference etalon, >= 0
    int32_t Rmin;       // smallest cross-correlation, <= 0
    int32_t Rmax;       // largest cross-correlation between stored subsets, >= 0 (0 but in tuples recognition)
};

// The stored subsets of a series as far as its arrays hold them: how many, and
// the size of subset t (0 for a t outside them).
int32_t storedSubsetCount(const SeriesHeader* series);
int32_t storedSubsetSize(const SeriesHeader* series, int32_t t);

// The reference values of a run: the etalon of reference is the one the
// series' first pulse names (firstEtalon while the series names none); Rmin
// is the least cross-correlation of the first two required etalons, or for
// tuples recognition of any two etalons of different stored subsets.
ErrorReference errorReference(const RestoreErrorHeader* record, const SeriesHeader* series,
                              const PulseHeader* firstEtalon, uint16_t wRequiredQuantity,
                              const uint16_t* lpRequiredList);

// What each table's cells are divided by. An entry that would be 0 or
// negative (a silent etalon, Tmax equal to the pulse length) stays 1.
struct ErrorNormalizers {
    std::vector<int32_t> restoring;  // [P] 2 * wMaxPulses * (etEnergy - Rmin), clamped to INT32_MAX: table 0, a mean per trial
    std::vector<int32_t> detection;  // [P] (wTmax - wImpulseSize)^2: table 1 per trial (the table sums the trials)
    int32_t repeats = 1;             // trials per cell, >= 1: tables 1 and 3 sum over them
};
ErrorNormalizers errorNormalizers(const RestoreErrorHeader* record, const SeriesHeader* series,
                                  const ErrorReference& reference);

// Every cell of a table of a finished run, normalised; cell k * P + j for
// noise level k and pulse count j.
struct NormalisedErrors {
    std::vector<double> restoring;    // table 0 / restoring[j]
    std::vector<double> detection;    // table 1 / (repeats * detection[j]): the mean squared start error over (Tmax - q)^2
    std::vector<double> recognition;  // table 3 / repeats: the share of trials recognised wrongly
};
NormalisedErrors normaliseErrors(const RestoreErrorHeader* record, const ErrorNormalizers& normalizers);

// The normalisers of a table as one number per pulse count: what
// normaliseErrors divides cell [k][j] of `table` (0, 1 or 3) by.
int64_t errorNormalizer(const ErrorNormalizers& normalizers, int table, int j);

// floor(1000 * sum / normaliser) in exact integer arithmetic, 0 for a negative
// sum: the per-mille the charts compute from a cell. Equal to the truncation
// of 1000 times the normalised double except where the double rounds just
// below a whole per-mille (1001 / 1000 gives 1.0009999...).
int64_t errorPerMille(int64_t sum, int64_t normaliser);

// The analytic bounds of the recognition error at a noise level sigma > 0
// (the charts' kinds 12 and 13): with d1 = (etEnergy - Rmin) / 2 and d2 =
// (p - Rmax) / 4 rounded (p the saved part of etEnergy, at least minSquare,
// for series of single pulses), upper = 1/2 - 1/2 sqrt(1 - exp(-wMaxPulses d1
// / sigma^2)) and lower = 1/2 exp(-wMinPulses d2 / sigma^2).
struct RecognitionBounds {
    double upper;  // upper bound, 0..0.5
    double lower;  // lower bound, 0..0.5
};
RecognitionBounds recognitionBounds(const RestoreErrorHeader* record, const SeriesHeader* series,
                                    const ErrorReference& reference, double sigma);

