// The program state: every setting, the Next and current series parameters,
// the type codes, the level tables, the view state and the owning pointers,
// in one process-wide record `gState`. Read by the display and the simulation;
// written by the shell's commands, the dialogs and the display's mouse handling.
// Only the window's thread touches it: the simulation's worker threads get what
// they need through the engine's own records and never see this one.
#pragma once

#include <cstdint>
#include <vector>

#include "kinds/kinds.h"
#include "platform/window.h"
#include "synthesis/synthesis.h"

struct ChainsHeader;        // best candidate chains (src/detection/)
struct RestoreErrorHeader;  // simulation statistics (src/simulation/)
struct ParamsHeader;        // parameter panel state (src/display/)

/*---- Codes ----*/

// Task, series type and processing type codes: src/kinds/kinds.h.
enum : int32_t {
    kViewAlphabet = 5,  // wViewMode: the alphabet grid
    kViewResults = 6,   // series and results, or the simulation charts
    kViewSubset = 9,    // subset selection panel
    kViewParams = 10,   // series parameters panel
};

// Samples of a recording the series view shows at once; a longer one is paged.
inline constexpr int32_t kRecordingPageSamples = 2400;

// One column of choices: count, values, 1-based chosen index.
struct LevelTable {
    int32_t count;      // entries in use, 3
    int32_t values[3];  // the choices
    int32_t index;      // 1-based chosen entry
};
// The chosen value (the first when the index is out of range).
int32_t chosenLevel(const LevelTable& table);

/*---- The record ----*/

struct ProgramState {
    /* Level tables. Written by the choice panels (display) and at start; read by CM_TAKE_LEVELS and the painter. */
    LevelTable SeriesLengthTable = {3, {200, 600, 1200}, 3};  // series length, samples
    LevelTable NoiseLevelTable = {3, {20, 35, 50}, 1};        // noise level, amplitude units
    LevelTable LostDataLevelTable = {3, {0, 25, 50}, 2};      // percent of pulse energy lost by cut-off

    /* Alphabet and required set. Written at start, by New pulses and the etalon cells; read by everybody. */
    PulseHeader Alphabet[kAlphabetCapacity];  // entry i holds etalon i + 1
    uint16_t wAlphabetSize = 20;              // etalons in use; never changed
    uint16_t wImpulseSize = 20;               // etalon length, samples; never changed
    int16_t wAmplitude = 128;                 // amplitude of alphabet, series and drawing; never changed
    int32_t bAlphabetReady = 1;               // 1 when the alphabet was built at start
    uint16_t* lpRequiredList = nullptr;       // [wRequiredCapacity] 1-based numbers of the required etalons
    uint16_t wRequiredQuantity = 20;          // entries of lpRequiredList in use
    uint16_t wRequiredCapacity = 20;          // entries allocated in lpRequiredList
    uint16_t EtalonSelected[kAlphabetCapacity] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                                  1, 1, 1, 1, 1, 1, 1, 1, 1, 1};  // 1: etalon i + 1 required
    int32_t wEtalonNumber = 1;                // etalon new sequences are filled with (used as 16-bit)
    int32_t wSelectedEtalon = 1;              // the single etalon of Detection

    /* Series parameters, Next and current. Written by the pipeline, the dialogs and the choice panels. */
    uint32_t dwNextSeriesLength = 1200;       // length of the next series, samples
    uint32_t dwSeriesLength = 1200;           // length of the current series, samples
    uint16_t wTmin = 40;                      // least distance between pulse starts, samples
    uint16_t wTmax = 181;                     // greatest distance between pulse starts, samples
    uint16_t wMinPulses = 0;                  // fewest pulses that fill the series (6 after start)
    uint16_t wMaxPulses = 0;                  // most pulses that fit (30 after start)
    uint16_t wNextImpulseQuantity = 0;        // pulse count asked for the next fixed-count series (18)
    uint16_t wImpulseQuantity = 0;            // pulse count of the current series (18)
    uint16_t* lpEtalonSequence = nullptr;     // [wEtalonSequenceCapacity] etalon number of each pulse
    uint16_t wEtalonSequenceCapacity = 0;     // entries allocated in lpEtalonSequence, >= wMaxPulses in use
    uint16_t* lpNewEtalonSequence = nullptr;  // [wNewEtalonSequenceCapacity] sequence edited by the structure dialog
    uint16_t wNewEtalonSequenceCapacity = 0;  // entries allocated in lpNewEtalonSequence
    int16_t wNextNoiseLevel = 20;             // noise level of the next series
    int16_t wNoiseLevel = 20;                 // noise level of the current series
    int16_t wNextLostDataLevel = 25;          // lost data level of the next series, percent
    int16_t wLostDataLevel = 25;              // lost data level of the current series, percent
    int16_t wNextSavedEnergyLevel = 75;       // saved energy for building the next series, percent
    uint16_t wSavedEnergyLevel = 75;          // saved energy the current series was built with, percent
    int16_t wNextProcSavedEnergyLevel = 75;   // saved energy for processing the next series, percent
    uint16_t wProcSavedEnergyLevel = 75;      // saved energy given to the detectors, percent

    /* Random streams. Every series, its noise, the alphabet's noise-like etalons and the random
       sequences draw from here, on the window's thread; a simulation run draws from them on the
       thread that started it (never a worker). Start values: a freshly started program. */
    RandomStreams streams;                    // every stream; streams.wNoiseSeed is the additive noise

    /* Pending dialog values. Written by the dialogs; copied by the commands on OK. */
    uint32_t dwNewSeriesLength = 0;           // "Samples Length"
    uint16_t wNewTmin = 0;                    // "Min Length of Interval"
    uint16_t wNewTmax = 0;                    // "Max Length of Interval"
    int16_t wNewSavedEnergy = 75;             // series "Saved Energy Level (from 0 to 100)"
    int16_t wNewProcSavedEnergy = 75;         // processing "Saved Energy Level (from 0 to 100)"
    uint16_t wNewImpulseQuantity = 40;        // pulse count of the structure dialog
    int16_t wNewNoiseLevel = 0;               // "Noise Level"
    uint16_t wNewMinPulses = 0;               // bounds for the structure dialog; simulation "from"
    uint16_t wNewMaxPulses = 0;               // bounds for the structure dialog; simulation "to"
    uint16_t wOldImpulseQuantity = 0;         // wNextImpulseQuantity kept while the structure dialog is open
    int32_t bDialogAccepted = 0;              // 1: the last parameter dialog closed with OK

    /* Task and series type. Written by the menu commands and Create series; read by pipeline and display. */
    uint16_t wTaskType = kTaskJoint;          // 1, 2, 4 or 64
    uint16_t wSeriesType = kSeriesUnfixedCutoff; // 1, 2, 4, 8, 16, 32, 36, 40 (2 after start)
    uint16_t wProcessingType = kTaskJoint;    // processing actually run: task, or 36/40 for tuples

    /* Simulation parameters. Written by the Location Parameters dialog; read by the simulation. */
    uint16_t wPulsesIncrement = 1;            // pulse-count step, >= 1
    uint16_t wVariousPulsesNumber = 0;        // pulse counts simulated
    uint16_t wInitNoiseLevel = 0;             // "Initial Level" of the noise
    uint16_t wNoiseSteps = 29;                // "Number of Steps in Simulation"
    uint16_t wNoiseIncrement = 5;             // "Noise Increment per Step"
    uint16_t wRepeats = 100;                  // "Number of Repeats"
    uint32_t dwSimulationSeed = 0;            // "Seed": 0 the program's streams; else the trials draw from that replicate's keyed streams
    uint32_t dwRunSeed = 0;                   // the "Seed" of the run whose tables lpRestErrorHeader holds
    int32_t bFirstSimulation = 1;             // cleared when the simulation parameters are first asked

    /* Results display options. Written by the Show Statistical Simulation dialogs; read by the charts. */
    int32_t wErrorKind = 1;                   // 1 restoring, 2 detection, 3 recognition error
    int32_t wStatView = 1;                    // 1 componentwise, 2 summary
    int32_t bFixedUpperBound = 0;             // "fixed upper bound"
    double dUpperBound = 0.25;                // "upper bound"
    int32_t bBoundsIncluded = 1;              // "bounds incl."
    int32_t wChartKind = 2;                   // chart selector derived from the three above

    /* Subset options. Written by the Subset settings dialog; read by series construction and the subset panel. */
    uint16_t wSubsetEmployment = 4;           // 1..5, see the dialog
    uint16_t wSubsetInitPosition = 1;         // "Subset init position"
    uint16_t wSubsetProceeding = 1;           // 1 complete, 2 probably shifted complete

    /* Subset panel. Written by the subset selection panel; read by the tuple stage and Subset settings. */
    int32_t* selectedSubset = nullptr;        // [wPossibleSubsetCapacity] etalon numbers of the strip
    int32_t wSelectedSubsetLength = 0;        // strip slots in use
    int32_t wPossibleSubsetCapacity = 0;      // slots of the strip and entries of a reserved subset
    int32_t wReservedSubsets = 0;             // reserved subsets allocated
    int32_t wReservedSubsetsUsed = 0;         // reserved subsets stored
    int32_t* selectedSubsetArraySize = nullptr; // [wReservedSubsets] length of each stored subset
    int32_t* selectedSubsetArray = nullptr;   // rows of wPossibleSubsetCapacity + 1 entries, one per stored subset
    int32_t wPickedSubset = 0;                // 1-based picked stored subset, 0 for none

    /* Drawing options. Written by the Drawing settings dialog; read by the series view. */
    uint16_t wTuplesHighlight = 2;            // 0 none, 1 dotted frame, 2 coloured background
    int32_t bHighlightDetectedPulses = 1;     // "highlight detected pulses"
    int32_t bShadedOriginalPulses = 1;        // "shaded original pulses"
    int32_t bFrameGraphFields = 1;            // "frame graph fields"
    int32_t bSpecialGraphSize = 0;            // "special graph size"

    /* View state. Written by commands and mouse handling; read by the painter and the redraw commands. */
    int32_t wViewMode = kViewAlphabet;        // 5, 6, 9 or 10
    uint16_t wResultsMode = 1;                // view 6: 1 one series' results, 2 simulation charts
    int16_t wChainsQuantity = 10;             // chains a ChainsHeader is made for
    uint16_t wChainsPulsesCapacity = 0;       // pulses per chain of the current ChainsHeader
    int32_t bDebugRepeat = 0;                 // one-shot flag for the tuples detectors
    int32_t bOverdrawSeries = 0;              // next series repaint without erasing; cleared by the painter
    int32_t bSeriesLengthChanged = 0;         // series length panel to be repainted
    int32_t bNoiseLevelChanged = 0;           // noise level panel to be repainted
    int32_t bLostDataLevelChanged = 0;        // lost data level panel to be repainted
    int32_t bButtonsChanged = 0;              // ButtonsAreaRect to be repainted
    int32_t wPreviousSelectedEtalon = 0;      // wSelectedEtalon before its last change
    int32_t bRecordingShown = 0;              // 1: the current series is an opened recording (no truth to show)
    int32_t bSeriesOpened = 0;                // 1: the current series came from a file (a recording or a loaded
                                              // series): a panel's OK processes it instead of building the next
    int32_t dwFirstShownSample = 0;           // a recording longer than a page: first sample shown, >= 0
    int64_t dwStretchFirst = 0;               // a recording longer than one series: the signal sample the series
                                              // starts at, >= 0 (0 otherwise)
    int64_t dwSignalSamples = 0;              // the opened recording's whole signal, samples (0: none shown)

    /* Owned objects. Each made by its get...Header, released at window destruction. */
    SeriesHeader* lpSeriesHeader = nullptr;         // the current series; null only if building failed
    ChainsHeader* lpChainsHeader = nullptr;         // best chains of the last processing
    RestoreErrorHeader* lpRestErrorHeader = nullptr; // statistics of the last simulation
    ParamsHeader* lpParamsHeader = nullptr;         // parameter panel state

    /* Storage behind the sequence views. Written only by the sequence functions below. */
    std::vector<uint16_t> etalonSequenceStore;     // lpEtalonSequence points at its entries
    std::vector<uint16_t> newEtalonSequenceStore;  // lpNewEtalonSequence points at its entries

    /* Window resources. Made at window creation, released at its destruction; read by the painter. */
    HINSTANCE hInst = nullptr;        // module instance
    HWND hMainWnd = nullptr;          // the main window
    HWND hTminEdit = nullptr;         // child edit "Tmin Text", id 225
    HFONT hFont = nullptr;            // the stock variable-pitch font
    HBITMAP hButtonStart = nullptr;   // resource 103, Restart
    HBITMAP hButtonExit = nullptr;    // resource 102, Exit
    HBITMAP hBitmap1 = nullptr;       // resource 101, Next
    HBITMAP hBitmap5 = nullptr;       // resource 109, Select All
    HBITMAP hBitmap4 = nullptr;       // resource 108, Unselect All
};

extern ProgramState gState;  // the one instance

// Puts every field back to its compiled-in default and runs the start-up
// derivation that precedes the window (the owned objects must be released).
void resetProgramState();
// The start-up derivation: Next and current values from the level tables.
void deriveStartDefaults();

/*---- Derived values ----*/

// Rebuilds lpRequiredList and wRequiredQuantity from EtalonSelected.
void rebuildRequiredList();
// Forces the lost data level to 0 and every saved energy field to 100.
void forceWholePulses();
// Makes both etalon sequences anew, `count` entries (at least one) of
// wEtalonNumber each; false when out of memory, a sequence not made then null.
// The capacities are the caller's to set.
bool makeEtalonSequences(uint16_t count);
// Releases both etalon sequences; views null, capacities 0.
void releaseEtalonSequences();
// Grows lpEtalonSequence to `count` entries (new ones wEtalonNumber); false when out of memory.
bool growEtalonSequence(uint16_t count);
// Grows lpNewEtalonSequence to at least `count` entries, keeping its contents
// (the new ones 0) and raising its capacity; false when out of memory, the
// sequence and capacity unchanged.
bool growNewEtalonSequence(uint16_t count);

// Row pointers into selectedSubsetArray (wReservedSubsets rows, then null).
std::vector<const int32_t*> subsetRows();
