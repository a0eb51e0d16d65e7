// The application shell: the program state (state.h), the main window's life
// (program entry, creation, message routing, destruction), the processing
// pipeline and the menu commands. Public face of src/shell/ for app/, the
// display and the tests.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"
#include "resources/resources.h"
#include "shell/state.h"

inline constexpr const char* kMainWindowClass = "JointDetectionAndIdentificationFixedCutOffs"; // class and title

/*---- Program entry and the window's life ----*/

// Registers the class (when no previous instance), creates the main window,
// shows it maximised and paints it. Returns the window, or null after failure.
HWND startMainWindow(HINSTANCE instance, HINSTANCE previous);
// Runs the message loop until the quit message; returns its code.
int runMessageLoop();
// The window procedure of the main window.
LRESULT mainWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

/*---- Commands ----*/

// Carries out a menu command or an internal command (the low 16 bits of
// WM_COMMAND's parameter). Unknown ids are ignored.
void doCommand(HWND hWnd, UINT id);
// Sets the check mark of a menu item and clears the others of its group.
void checkMenuGroupItem(HWND hWnd, UINT id);
// Invalidates the series area (as the last paint laid it out), extended 10
// pixels upwards.
void invalidateSeriesArea(HWND hWnd, BOOL erase);

/*---- Dialog, simulation and view commands (commands_dialogs.cpp) ----*/

// Carries out the commands of the dialogs, the simulation and the panels;
// false for an id it does not know.
bool doDialogCommand(HWND hWnd, UINT id);
// The tuple stage of processing: opens the subset view when no subset is
// selected; false when nothing was processed.
bool runTupleStage(HWND hWnd);
// wChartKind from the error kind, the view and the bounds flag.

/*---- Parameter dialogs (dialogs.cpp): each returns true on OK ----*/

bool openCreateSeriesDialog(HWND hWnd);            // "Create Series", series parameters
bool openSeriesStructureDialog(HWND hWnd);         // "Create Series", series structure
bool openRequiredEtalonsDialog(HWND hWnd);         // "List of Required Etalons"
bool openLocationParametersDialog(HWND hWnd);      // " Location Parameters"
bool openSubsetSettingsDialog(HWND hWnd);          // "Subset settings"
bool openDrawingSettingsDialog(HWND hWnd);         // "Drawing settings"
bool openShowSimulationDialog(HWND hWnd, bool recognition); // with recognition error, or the parameters one
bool openFileDialog(HWND hWnd, UINT command);
bool openResumeSimulationDialog(HWND hWnd);       // " Resume simulation", the checkpoint to continue      // " Open signal", " Open etalons" or " Open series" for the menu id

// Numbers joined by "," (no trailing comma).
std::string formatNumberList(const uint16_t* values, int count);
// Reads `count` numbers, each followed by skipping past the next "," or " ";
// entries after the text ran out read 0. Returns the entries present.
int readNumberList(const std::string& text, int64_t* values, int count);
// Up to five significant digits, fixed or exponential notation ("0.25"); all
// seventeen when five would round a finite value past the largest double.
std::string formatUpperBound(double value);
// The number a dialog field's text holds: its leading decimal integer (blanks
// and a sign allowed, clamped to the 64-bit range); 0 when none.
int64_t readNumberText(const std::string& text);
// The "upper bound" field's text as a number above 0 and finite; false (and
// `bound` unspecified) for anything else.
bool readUpperBound(const std::string& text, double& bound);

/*---- Opened recordings and loaded series (recordings.cpp) ----*/

struct SignalSource;
// Reads pulse shapes for recordings (see readEtalons); with a signal open,
// both are scaled again and shown. False with the message, nothing changed.
bool openEtalonsFile(HWND hWnd, const std::string& path, std::string& error);
// Reads a signal, scales it with the opened etalons (or to the window's
// alphabet) and makes it the current series, shown without truth. The window's
// Tmin and Tmax apply. A signal longer than one series (kMaxSeriesSize) is
// shown a stretch at a time: the series holds the samples from `first` on
// (the scale is the whole signal's). False with the message, nothing changed.
bool openSignalFile(HWND hWnd, const SignalSource& source, int64_t first, std::string& error);
// Keeps the etalons a loaded series carries (none: the window's alphabet) and
// returns the array its pulse list is to point at, `count` entries.
PulseHeader* storeSeriesEtalons(const std::vector<std::vector<int16_t>>& shapes, uint16_t& count);
// Makes `series` (owned from now on) the current series in place of the one
// Next built; `recording`: a signal without truth. Shows the results view.
void installSeries(HWND hWnd, SeriesHeader* series, bool recording);
// True while the current series was opened or loaded rather than built.
bool recordingActive();
// Before Next builds a series: the opened one is released.
void endRecording();
// Page Up, Page Down, Home and End on a recording longer than the view's page
// turn the page (the step leaves a pulse length of overlap); false for any
// other key or view.
bool turnRecordingPage(HWND hWnd, int key);
// Reads a series file (a dump, or a saved series with its etalons) and makes
// it the current series; false with a message naming the file, nothing changed.
bool loadSeriesFile(HWND hWnd, const std::string& path, std::string& error);
// " Save series...": the current series with the etalons it points at, as
// JSON under the name the save dialog gives; a failure is a message.
void saveSeriesAs(HWND hWnd);
// " Export results...": the result files of the last complete simulation
// (simulation.csv, description.csv, simulation.json) into the folder of the
// name the save question gives; no simulation or a failure is a message.
void exportResults(HWND hWnd);
// The statistical simulation of the window's settings (simulation_run.cpp):
// the whole run, or with `prior` the trials a checkpoint does not hold yet,
// its sums added. A complete run's charts are shown; Cancel offers to keep
// the trials done in a checkpoint. Returns kTrawlingComplete, or the
// driver's kTrawling* for a run refused, cancelled or out of memory.
struct Checkpoint;
int runWindowSimulation(HWND hWnd, const Checkpoint* prior);
// The first simulation of a program gives every pulse of the sequence the
// selected etalon (wEtalonNumber), over wMaxPulses entries; false after a
// message when memory runs out. Nothing after the first.
bool firstSimulationSequence(HWND hWnd);
// " Resume simulation...": the checkpoint file the " Resume simulation"
// dialog names, continued from the window's state. The dialog refuses a
// file that is no checkpoint of the window's, is damaged, or was written by
// another build or for other settings, and nothing changes.
void resumeSimulation(HWND hWnd);
// `--checkpoint FILE`: every run of the window keeps its checkpoint in FILE,
// written every few seconds and when Cancel stops it ("": none, Cancel asks
// whether to keep one). The " Resume simulation" dialog offers FILE.
void setWindowCheckpoint(const std::string& path);
const std::string& windowCheckpoint();
// The dialog's check of the file `path`: true when the window can continue
// it (it is then what resumeSimulation runs); false with a message naming
// the file and the fault.
bool takeResumeCheckpoint(const std::string& path, std::string& error);
// At window creation: nothing opened yet (the series is the window's own).
void forgetRecordings();
// Before processing an opened series: the operation from the task and series
// type, a pulse count for the fixed-count ones; false after a message.
bool prepareRecordingRun(HWND hWnd);
// The etalons the detectors match and the numbers they may use: the
// required ones of the window's alphabet, or every etalon of an opened series.
PulseHeader* processingAlphabet(uint16_t& count, std::vector<uint16_t>& list);
// The etalons the tuple operations number from 1: the window's alphabet, or
// those of an opened series. A subset naming an etalon beyond `count` is
// refused with a message (false).
PulseHeader* tupleAlphabet(HWND hWnd, uint16_t& count, bool& subsetsFit);

/*---- Detector stage (detectors.cpp) ----*/

// (Re)makes the chains record for `pulses` pulses per chain; null after a message.
ChainsHeader* makeChainsHeader(HWND hWnd, int16_t chains, uint16_t pulses, ChainsHeader* old);
void releaseChainsHeader(HWND hWnd, ChainsHeader* header);
// Runs the single-pulse detector that wProcessingType and wSeriesType select.
void runPulseDetector(HWND hWnd);
// Name of the detector the last processing ran ("" before the first).
const char* lastDetectorName();
void forgetLastDetector();  // at window creation: nothing has run yet
// Records the run's description in lpChainsHeader; 0 on failure.
int recordRunDescription(HWND hWnd);
