// The eight parameter dialogs of the main window: their procedures fill the
// controls from the program state, keep working copies for the buttons, check
// what was typed and write back on OK. Used by the commands (commands_dialogs.cpp).
//
// Sections: numbers and lists - field checks - the skeleton - the dialogs
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <variant>

#include "recording/recording.h"
#include <vector>

#include "resources/resources.h"
#include "shell/shell.h"

/*==========================================================================
** Numbers and lists
**========================================================================*/

std::string formatNumberList(const uint16_t* values, int count)
{
    std::string text;
    for (int i = 0; i < count; i++) {
        if (i)
            text += ",";
        text += std::to_string(values[i]);
    }
    return text;
}

int readNumberList(const std::string& text, int64_t* values, int count)
{
    size_t pos = 0;
    int present = 0;
    for (int i = 0; i < count; i++) {
        if (pos >= text.size()) {
            values[i] = 0;  // the text ran out
            continue;
        }
        values[i] = std::strtoll(text.c_str() + pos, nullptr, 10);
        present++;
        const size_t next = text.find_first_of(", ", pos);
        pos = next == std::string::npos ? text.size() : next + 1;
    }
    return present;
}

std::string formatUpperBound(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.5g", value);
    // Five digits of a bound next to the largest double round past it: such
    // a text would be refused when the dialog is accepted unchanged.
    if (std::isfinite(value) && !std::isfinite(std::strtod(text, nullptr)))
        std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

int64_t readNumberText(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 10);  // leading decimal; none reads 0
}

bool readUpperBound(const std::string& text, double& bound)
{
    bound = std::strtod(text.c_str(), nullptr);
    return bound > 0 && std::isfinite(bound);
}

namespace {

// The text of a control, as at most 99 characters.
std::string controlText(HWND dialog, int id)
{
    char buffer[100] = {};
    GetWindowTextA(GetDlgItem(dialog, id), buffer, sizeof buffer);
    return buffer;
}

void setText(HWND dialog, int id, const std::string& text)
{
    SetWindowTextA(GetDlgItem(dialog, id), text.c_str());
}

void setNumber(HWND dialog, int id, int64_t value)
{
    setText(dialog, id, std::to_string(value));
}

int64_t readNumber(HWND dialog, int id)
{
    return readNumberText(controlText(dialog, id));
}

void setCheck(HWND dialog, int id, bool on)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool isChecked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

/*==========================================================================
** Field checks
**========================================================================*/

// Marks the field that holds a refused value: focus on it, its whole text
// selected, so the next keystroke replaces it.
void markField(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

// Refuses with a message naming the field; the dialog stays open with the
// field `id` marked. Returns false for use in a chain of checks.
bool refuse(HWND dialog, int id, const std::string& text)
{
    MessageBoxA(dialog, text.c_str(), " Bad value ", MB_OK | MB_ICONWARNING);
    markField(dialog, id);
    return false;
}

// Refuses a value outside [low, high] in the field `id`.
bool inRange(HWND dialog, int id, const char* field, int64_t value, int64_t low, int64_t high)
{
    if (value >= low && value <= high)
        return true;
    return refuse(dialog, id,
                  "\"" + std::string(field) + "\" must be from " + std::to_string(low) + " to " +
                      std::to_string(high) + ", not " + std::to_string(value) + ".");
}

// A list typed in the field `id`: every entry present must be an etalon
// number; when `complete`, entries the text lacks are refused too.
bool etalonsInRange(HWND dialog, int id, const char* field, const int64_t* values, int count, int present,
                    bool complete)
{
    const int64_t A = gState.wAlphabetSize;
    for (int i = 0; i < count; i++) {
        if (i >= present && !complete)
            break;
        if (values[i] < 1 || values[i] > A) {
            return refuse(dialog, id,
                          "\"" + std::string(field) + "\": entry " + std::to_string(i + 1) +
                              (i >= present ? " is missing" : " is " + std::to_string(values[i])) +
                              "; etalon numbers are from 1 to " + std::to_string(A) + ".");
        }
    }
    return true;
}

/*==========================================================================
** The skeleton
**========================================================================*/

// Reads the number in the field `id` into `value` and refuses it outside
// [low, high] as inRange does.
bool readInRange(HWND dialog, int id, const char* field, int64_t low, int64_t high, int64_t& value)
{
    value = readNumber(dialog, id);
    return inRange(dialog, id, field, value, low, high);
}

// A state field that a number edit writes on OK, in one of the state's widths.
using StateNumber = std::variant<uint32_t*, int32_t*, uint16_t*, int16_t*>;

constexpr int kNoFloor = -1;  // NumberEntry::atLeast: no earlier entry raises the lower bound

// A number edit of a dialog: shown on opening, read, checked and written
// back on OK.
struct NumberEntry {
    int id;              // control id (IDC_*)
    const char* field;   // its name in a refusal
    int64_t shown;       // the number shown on opening
    int64_t low, high;   // admissible values, inclusive
    int atLeast;         // index of an earlier entry whose value raises `low`, or kNoFloor
    StateNumber target;  // the state field OK writes
};

// Shows each entry's number in its edit, in order.
void showNumbers(HWND dialog, std::span<const NumberEntry> entries)
{
    for (const NumberEntry& e : entries)
        setNumber(dialog, e.id, e.shown);
}

// Reads the edits of `entries` in order into `values` (one per entry) and
// refuses, as readInRange does, the first one outside its range; the later
// ones are not read then.
bool readNumbers(HWND dialog, std::span<const NumberEntry> entries, std::vector<int64_t>& values)
{
    values.assign(entries.size(), 0);
    for (size_t i = 0; i < entries.size(); i++) {
        const NumberEntry& e = entries[i];
        const int64_t low = e.atLeast == kNoFloor ? e.low : std::max(e.low, values[e.atLeast]);
        if (!readInRange(dialog, e.id, e.field, low, e.high, values[i]))
            return false;
    }
    return true;
}

// Writes each value read by readNumbers to its entry's state field.
void storeNumbers(std::span<const NumberEntry> entries, const std::vector<int64_t>& values)
{
    for (size_t i = 0; i < entries.size(); i++)
        std::visit([&](auto* target) { *target = static_cast<std::remove_pointer_t<decltype(target)>>(values[i]); },
                   entries[i].target);
}

// The procedure parts of a dialog of number edits, listed by `entries` from
// the state: fill shows them; accept reads and checks them, lets `check` see
// all values (it may refuse them together) and only then writes them back.
template <auto entries>
void fillNumbers(HWND dialog)
{
    showNumbers(dialog, entries(gState));
}

template <auto entries, bool (*check)(HWND, const std::vector<int64_t>&) = nullptr>
bool acceptNumbers(HWND dialog)
{
    const auto list = entries(gState);
    std::vector<int64_t> values;
    if (!readNumbers(dialog, list, values))
        return false;
    if constexpr (check != nullptr)
        if (!check(dialog, values))
            return false;
    storeNumbers(list, values);
    return true;
}

// A dialog's copy of some state fields, kept while the dialog is open:
// `Values` is a record whose fieldsOf(state) ties the state fields in the
// order of its members and whose members() copies them in that order.
template <class Values>
Values loadValues()
{
    return std::make_from_tuple<Values>(Values::fieldsOf(gState));
}

template <class Values>
void storeValues(const Values& v)
{
    Values::fieldsOf(gState) = v.members();
}

// Ends the dialog with `button`. Returns 1 (the button was handled).
intptr_t endDialog(HWND dialog, intptr_t button)
{
    EndDialog(dialog, button);
    return 1;
}

// Ends one of the four dialogs that report their outcome in bDialogAccepted:
// 1 for OK, 0 for Cancel. Returns 1 (the button was handled).
intptr_t closeDialog(HWND dialog, intptr_t button)
{
    gState.bDialogAccepted = button == IDOK ? 1 : 0;
    return endDialog(dialog, button);
}

// OK and Cancel of the four dialogs that report in bDialogAccepted. OK ends
// the dialog only when `accept` took the fields; when it refused one, the
// dialog stays open. Cancel writes nothing.
template <bool (*accept)(HWND)>
intptr_t okOrCancel(HWND dialog, int id)
{
    if (id == IDOK)
        return accept(dialog) ? closeDialog(dialog, IDOK) : 1;
    if (id == IDCANCEL)
        return closeDialog(dialog, IDCANCEL);
    return 0;
}

// The procedure of every dialog: `fill` sets the controls on opening,
// `command` answers a click on the control `id` (0: not handled).
template <void (*fill)(HWND), intptr_t (*command)(HWND, int)>
intptr_t dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        fill(dialog);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    return command(dialog, static_cast<int>(wParam & 0xFFFF));
}

/*==========================================================================
** The dialogs
**========================================================================*/

// 105 "Create Series": the series parameters, written to the pending fields.
std::array<NumberEntry, 6> createSeriesEntries(ProgramState& s)
{
    const char* const saved = "Saved Energy Level (from 0 to 100)";
    return {{
        {IDC_SERIES_LENGTH, "Samples Length", s.dwSeriesLength, s.wImpulseSize, kMaxSeriesSize, kNoFloor,
         &s.dwNewSeriesLength},
        {IDC_SERIES_TMIN, "Min Length of Interval", s.wTmin, 1, 65535, kNoFloor, &s.wNewTmin},
        {IDC_SERIES_TMAX, "Max Length of Interval", s.wTmax, s.wImpulseSize, 65535, 1, &s.wNewTmax},  // >= Tmin
        {IDC_SERIES_ETALON, "Etalon Number", s.wSelectedEtalon, 1, s.wAlphabetSize, kNoFloor, &s.wEtalonNumber},
        {IDC_SERIES_SAVED_ENERGY, saved, s.wSavedEnergyLevel, 0, 100, kNoFloor, &s.wNewSavedEnergy},
        {IDC_SERIES_PROC_SAVED_ENERGY, saved, s.wProcSavedEnergyLevel, 0, 100, kNoFloor, &s.wNewProcSavedEnergy},
    }};
}

// 106 "Create Series": the series structure, pulse count, sequence and noise.
int gStructureShown = 0;  // sequence entries shown at opening: the number read back

void fillSeriesStructure(HWND dialog)
{
    const ProgramState& s = gState;
    char label[100];
    std::snprintf(label, sizeof label, "Number of Pulses in Series (from %d to %d)", s.wNewMinPulses,
                  s.wNewMaxPulses);
    setText(dialog, IDC_STRUCTURE_COUNT_LABEL, label);
    setNumber(dialog, IDC_STRUCTURE_COUNT, s.wNextImpulseQuantity);
    std::snprintf(label, sizeof label, "Sequence of Etalons in Series (values from 1 to %d)", s.wAlphabetSize);
    setText(dialog, IDC_STRUCTURE_SEQUENCE_LABEL, label);
    gStructureShown = std::min<int>(s.wNextImpulseQuantity, s.wNewEtalonSequenceCapacity);
    setText(dialog, IDC_STRUCTURE_SEQUENCE, formatNumberList(s.lpNewEtalonSequence, gStructureShown));
    setNumber(dialog, IDC_STRUCTURE_NOISE, s.wNoiseLevel);
}

bool acceptSeriesStructure(HWND dialog)
{
    ProgramState& s = gState;
    const int shown = gStructureShown;
    int64_t count, noise;
    std::vector<int64_t> values(static_cast<size_t>(shown) + 1);
    const int present = readNumberList(controlText(dialog, IDC_STRUCTURE_SEQUENCE), values.data(), shown);
    if (!readInRange(dialog, IDC_STRUCTURE_COUNT, "Number of Pulses in Series", 0, 65535, count) ||
        !etalonsInRange(dialog, IDC_STRUCTURE_SEQUENCE, "Sequence of Etalons in Series", values.data(), shown,
                        present, false) ||
        !readInRange(dialog, IDC_STRUCTURE_NOISE, "Noise Level", 0, 32767, noise))
        return false;
    s.wNewImpulseQuantity = static_cast<uint16_t>(count);
    for (int i = 0; i < shown; i++)
        s.lpNewEtalonSequence[i] = static_cast<uint16_t>(values[i]);  // missing entries read 0
    s.wNewNoiseLevel = static_cast<int16_t>(noise);
    return true;
}

// 107 "List of Required Etalons": count and list straight into the state.
void fillRequiredEtalons(HWND dialog)
{
    const ProgramState& s = gState;
    setNumber(dialog, IDC_REQUIRED_COUNT, s.wRequiredQuantity);
    char label[100];
    std::snprintf(label, sizeof label, "List of Required Etalons (from 1 to %d)", s.wAlphabetSize);
    setText(dialog, IDC_REQUIRED_LIST_LABEL, label);
    setText(dialog, IDC_REQUIRED_LIST, formatNumberList(s.lpRequiredList, s.wRequiredQuantity));
}

bool acceptRequiredEtalons(HWND dialog)
{
    ProgramState& s = gState;
    int64_t count;
    if (!readInRange(dialog, IDC_REQUIRED_COUNT, "Number of Required Etalons", 0, 65535, count))
        return false;
    if (count < 1 || count > s.wRequiredCapacity)
        count = s.wRequiredQuantity;  // out of the list's room: the old count stays
    std::vector<int64_t> values(static_cast<size_t>(count) + 1);
    const int present = readNumberList(controlText(dialog, IDC_REQUIRED_LIST), values.data(), static_cast<int>(count));
    if (!etalonsInRange(dialog, IDC_REQUIRED_LIST, "List of Required Etalons", values.data(), static_cast<int>(count),
                        present, true))
        return false;
    s.wRequiredQuantity = static_cast<uint16_t>(count);
    for (int i = 0; i < count; i++)
        s.lpRequiredList[i] = static_cast<uint16_t>(values[i]);
    return true;
}

// 110 " Location Parameters": the simulation grid.
std::array<NumberEntry, 8> locationEntries(ProgramState& s)
{
    return {{
        {IDC_LOCATION_FROM, "from", s.wNewMinPulses, 1, 65535, kNoFloor, &s.wNewMinPulses},
        {IDC_LOCATION_TO, "to", s.wNewMaxPulses, 1, 65535, 0, &s.wNewMaxPulses},  // >= "from"
        {IDC_LOCATION_INCREMENT, "incr.", s.wPulsesIncrement, 0, 65535, kNoFloor, &s.wPulsesIncrement},
        {IDC_LOCATION_REPEATS, "Number of Repeats", s.wRepeats, 1, 65535, kNoFloor, &s.wRepeats},
        {IDC_LOCATION_INIT_NOISE, "Initial Level", s.wInitNoiseLevel, 0, 32767, kNoFloor, &s.wInitNoiseLevel},
        {IDC_LOCATION_NOISE_STEPS, "Number of Steps in Simulation", s.wNoiseSteps, 1, 65535, kNoFloor,
         &s.wNoiseSteps},
        {IDC_LOCATION_NOISE_INCREMENT, "Noise Increment per Step", s.wNoiseIncrement, 0, 32767, kNoFloor,
         &s.wNoiseIncrement},
        {IDC_LOCATION_SEED, "Seed", s.dwSimulationSeed, 0, kMaxReplicateSeed, kNoFloor, &s.dwSimulationSeed},
    }};
}

// The last noise level of the grid stays a noise level.
bool lastNoiseLevelFits(HWND dialog, const std::vector<int64_t>& values)
{
    const int64_t level = values[4], steps = values[5], levelIncr = values[6];  // the entries above
    if (level + (steps - 1) * levelIncr <= 32767)
        return true;
    return refuse(dialog, IDC_LOCATION_NOISE_STEPS,
                  "The last noise level, \"Initial Level\" + (\"Number of Steps in Simulation\" - 1)"
                  " x \"Noise Increment per Step\", must not exceed 32767.");
}

// 111 "Subset settings": employment and proceeding, with working copies.
uint16_t gSubsetShownEmployment = 0, gSubsetShownProceeding = 0;  // at opening; restored by Cancel

void fillSubsetSettings(HWND dialog)
{
    const ProgramState& s = gState;
    gSubsetShownEmployment = s.wSubsetEmployment;
    gSubsetShownProceeding = s.wSubsetProceeding;
    const int employment = (s.wSubsetEmployment >= 1 && s.wSubsetEmployment <= 5) ? s.wSubsetEmployment : 4;
    setCheck(dialog, IDC_SUBSET_SINGLE_RANDOM - 1 + employment, true);
    setCheck(dialog, s.wSubsetProceeding == 2 ? IDC_SUBSET_PROCEED_SHIFTED : IDC_SUBSET_PROCEED_COMPLETE, true);
    setNumber(dialog, IDC_SUBSET_INIT_POSITION, s.wSubsetInitPosition);
}

intptr_t subsetSettingsCommand(HWND dialog, int id)
{
    ProgramState& s = gState;
    if (id >= IDC_SUBSET_SINGLE_RANDOM && id <= IDC_SUBSET_SHIFTED_COMPLETE) {
        s.wSubsetEmployment = static_cast<uint16_t>(id - IDC_SUBSET_SINGLE_RANDOM + 1);
        return 1;
    }
    if (id == IDC_SUBSET_PROCEED_COMPLETE || id == IDC_SUBSET_PROCEED_SHIFTED) {
        s.wSubsetProceeding = static_cast<uint16_t>(id - IDC_SUBSET_PROCEED_COMPLETE + 1);
        return 1;
    }
    if (id == IDOK) {
        int64_t position;
        if (!readInRange(dialog, IDC_SUBSET_INIT_POSITION, "Subset init position", 0, 65535, position))
            return 1;
        s.wSubsetInitPosition = static_cast<uint16_t>(position);
        return endDialog(dialog, IDOK);
    }
    if (id == IDCANCEL) {
        s.wSubsetEmployment = gSubsetShownEmployment;
        s.wSubsetProceeding = gSubsetShownProceeding;
        return endDialog(dialog, IDCANCEL);
    }
    return 0;
}

// 112 "Drawing settings": four check boxes and the tuple highlight.
struct DrawingValues {
    int32_t highlight, shaded, special, frame;  // the four check boxes, 0 or 1
    uint16_t tuples;                            // wTuplesHighlight: 0 none, 1 dotted, 2 coloured

    static auto fieldsOf(ProgramState& s)
    {
        return std::tie(s.bHighlightDetectedPulses, s.bShadedOriginalPulses, s.bSpecialGraphSize,
                        s.bFrameGraphFields, s.wTuplesHighlight);
    }
    auto members() const { return std::tuple(highlight, shaded, special, frame, tuples); }
};
DrawingValues gDrawingShown, gDrawingWorking;  // at opening; after the clicks

void fillDrawingSettings(HWND dialog)
{
    const ProgramState& s = gState;
    gDrawingShown = loadValues<DrawingValues>();
    gDrawingWorking = gDrawingShown;
    setCheck(dialog, IDC_DRAWING_HIGHLIGHT, s.bHighlightDetectedPulses);
    setCheck(dialog, IDC_DRAWING_SHADED, s.bShadedOriginalPulses);
    setCheck(dialog, IDC_DRAWING_SPECIAL_SIZE, s.bSpecialGraphSize);
    setCheck(dialog, IDC_DRAWING_FRAME, s.bFrameGraphFields);
    setCheck(dialog,
             s.wTuplesHighlight == 0   ? IDC_DRAWING_TUPLES_NONE
             : s.wTuplesHighlight == 1 ? IDC_DRAWING_TUPLES_DOTTED
                                       : IDC_DRAWING_TUPLES_COLOURED,
             true);
}

intptr_t drawingSettingsCommand(HWND dialog, int id)
{
    DrawingValues& w = gDrawingWorking;
    switch (id) {
    case IDC_DRAWING_HIGHLIGHT: w.highlight = isChecked(dialog, id); return 1;
    case IDC_DRAWING_SHADED: w.shaded = isChecked(dialog, id); return 1;
    case IDC_DRAWING_SPECIAL_SIZE: w.special = isChecked(dialog, id); return 1;
    case IDC_DRAWING_FRAME: w.frame = isChecked(dialog, id); return 1;
    case IDC_DRAWING_TUPLES_DOTTED: w.tuples = 1; return 1;
    case IDC_DRAWING_TUPLES_COLOURED: w.tuples = 2; return 1;
    case IDC_DRAWING_TUPLES_NONE: w.tuples = 0; return 1;
    case IDOK:
    case IDCANCEL:
        storeValues(id == IDOK ? gDrawingWorking : gDrawingShown);
        return endDialog(dialog, id);
    default: return 0;
    }
}

// 113 and 114: what the statistics charts show.
struct ShowValues {
    int32_t errorKind, statView, fixedBound, boundsIncluded;  // wErrorKind, wStatView and the two flags
    double upperBound;                                        // dUpperBound, > 0

    static auto fieldsOf(ProgramState& s)
    {
        return std::tie(s.wErrorKind, s.wStatView, s.bFixedUpperBound, s.bBoundsIncluded, s.dUpperBound);
    }
    auto members() const { return std::tuple(errorKind, statView, fixedBound, boundsIncluded, upperBound); }
};
ShowValues gShowShown, gShowWorking;  // at opening; after the clicks
bool gShowRecognition = false;        // dialog 114 (with recognition error and bounds)

void fillShowSimulation(HWND dialog)
{
    const ProgramState& s = gState;
    gShowShown = loadValues<ShowValues>();
    gShowWorking = gShowShown;
    setCheck(dialog, s.wStatView == 2 ? IDC_SHOW_SUMMARY : IDC_SHOW_COMPONENTWISE, true);
    setCheck(dialog,
             s.wErrorKind == 2                          ? IDC_SHOW_DETECTION_ERROR
             : (s.wErrorKind == 3 && gShowRecognition) ? IDC_SHOW_RECOGNITION_ERROR
                                                        : IDC_SHOW_RESTORING_ERROR,
             true);
    setCheck(dialog, IDC_SHOW_FIXED_BOUND, s.bFixedUpperBound);
    setText(dialog, IDC_SHOW_UPPER_BOUND, formatUpperBound(s.dUpperBound));
    if (gShowRecognition)
        setCheck(dialog, IDC_SHOW_BOUNDS_INCLUDED, s.bBoundsIncluded);
}

// OK: the clicks into the state, once a fixed upper bound reads as a number.
intptr_t acceptShowSimulation(HWND dialog)
{
    ProgramState& s = gState;
    const ShowValues& w = gShowWorking;
    double bound = s.dUpperBound;
    if (w.fixedBound) {
        const std::string text = controlText(dialog, IDC_SHOW_UPPER_BOUND);
        if (!readUpperBound(text, bound)) {
            refuse(dialog, IDC_SHOW_UPPER_BOUND, "\"upper bound\" must be a number above 0, not \"" + text + "\".");
            return 1;  // the dialog stays open
        }
    }
    ShowValues taken = w;
    taken.upperBound = bound;
    if (!gShowRecognition)
        taken.boundsIncluded = s.bBoundsIncluded;  // dialog 113 has no such box
    storeValues(taken);
    return endDialog(dialog, IDOK);
}

intptr_t showSimulationCommand(HWND dialog, int id)
{
    ShowValues& w = gShowWorking;
    switch (id) {
    case IDC_SHOW_RESTORING_ERROR: w.errorKind = 1; return 1;
    case IDC_SHOW_DETECTION_ERROR: w.errorKind = 2; return 1;
    case IDC_SHOW_RECOGNITION_ERROR: w.errorKind = 3; return 1;
    case IDC_SHOW_COMPONENTWISE: w.statView = 1; return 1;
    case IDC_SHOW_SUMMARY: w.statView = 2; return 1;
    case IDC_SHOW_FIXED_BOUND: w.fixedBound = isChecked(dialog, id); return 1;
    case IDC_SHOW_BOUNDS_INCLUDED: w.boundsIncluded = isChecked(dialog, id); return 1;
    case IDOK: return acceptShowSimulation(dialog);
    case IDCANCEL:
        storeValues(gShowShown);
        return endDialog(dialog, IDCANCEL);
    default: return 0;
    }
}

// 115, 116, 117 " Open signal", " Open etalons", " Open series": a file
// name (a signal's also its channel). OK opens the file; one that cannot be
// taken is refused with its message and the dialog stays open.
std::string fileNameText(HWND dialog)
{
    char buffer[4096] = {};
    GetWindowTextA(GetDlgItem(dialog, IDC_OPEN_FILE), buffer, sizeof buffer);
    return buffer;
}

void fillOpenFile(HWND dialog)
{
    setText(dialog, IDC_OPEN_FILE, "");
    if (GetDlgItem(dialog, IDC_OPEN_CHANNEL))
        setNumber(dialog, IDC_OPEN_CHANNEL, 0);
    if (GetDlgItem(dialog, IDC_OPEN_FIRST))
        setNumber(dialog, IDC_OPEN_FIRST, 0);
}

bool acceptOpenSignal(HWND dialog)
{
    int64_t channel = 0, first = 0;
    if (!readInRange(dialog, IDC_OPEN_CHANNEL, "Channel", 0, 65535, channel) ||
        !readInRange(dialog, IDC_OPEN_FIRST, "First sample", 0, INT32_MAX, first))
        return false;
    SignalSource source;
    source.path = fileNameText(dialog);
    source.channel = static_cast<int>(channel);
    std::string error;
    return openSignalFile(gState.hMainWnd, source, first, error) || refuse(dialog, IDC_OPEN_FILE, error);
}

bool acceptOpenEtalons(HWND dialog)
{
    std::string error;
    return openEtalonsFile(gState.hMainWnd, fileNameText(dialog), error) || refuse(dialog, IDC_OPEN_FILE, error);
}

bool acceptOpenSeries(HWND dialog)
{
    std::string error;
    return loadSeriesFile(gState.hMainWnd, fileNameText(dialog), error) || refuse(dialog, IDC_OPEN_FILE, error);
}

void fillResumeFile(HWND dialog)
{
    setText(dialog, IDC_OPEN_FILE, windowCheckpoint());
}

bool acceptResumeCheckpoint(HWND dialog)
{
    std::string error;
    return takeResumeCheckpoint(fileNameText(dialog), error) || refuse(dialog, IDC_OPEN_FILE, error);
}

bool run(HWND hWnd, int dialogTemplate, DLGPROC procedure)
{
    return DialogBoxParamA(gState.hInst, dialogTemplate, hWnd, procedure, 0) == IDOK;
}

} // namespace

bool openCreateSeriesDialog(HWND hWnd)
{
    return run(hWnd, IDD_CREATE_SERIES,
               dialogProc<fillNumbers<createSeriesEntries>, okOrCancel<acceptNumbers<createSeriesEntries>>>);
}

bool openSeriesStructureDialog(HWND hWnd)
{
    return run(hWnd, IDD_SERIES_STRUCTURE, dialogProc<fillSeriesStructure, okOrCancel<acceptSeriesStructure>>);
}

bool openRequiredEtalonsDialog(HWND hWnd)
{
    return run(hWnd, IDD_REQUIRED_ETALONS, dialogProc<fillRequiredEtalons, okOrCancel<acceptRequiredEtalons>>);
}

bool openLocationParametersDialog(HWND hWnd)
{
    constexpr auto command = &okOrCancel<acceptNumbers<locationEntries, lastNoiseLevelFits>>;
    return run(hWnd, IDD_LOCATION_PARAMETERS, dialogProc<fillNumbers<locationEntries>, command>);
}

bool openSubsetSettingsDialog(HWND hWnd)
{
    return run(hWnd, IDD_SUBSET_SETTINGS, dialogProc<fillSubsetSettings, subsetSettingsCommand>);
}

bool openDrawingSettingsDialog(HWND hWnd)
{
    return run(hWnd, IDD_DRAWING_SETTINGS, dialogProc<fillDrawingSettings, drawingSettingsCommand>);
}

namespace {

// The file choosers' filters: pairs of NUL-terminated strings.
constexpr char kSignalFilter[] = "Signals (*.wav *.flac *.aiff *.aif *.ogg *.csv *.npy *.mat)\0"
                                 "*.wav *.flac *.aiff *.aif *.ogg *.csv *.npy *.mat\0All files (*)\0*\0";
constexpr char kEtalonsFilter[] = "Pulse shapes (*.csv *.npy *.mat)\0*.csv *.npy *.mat\0All files (*)\0*\0";
constexpr char kSeriesFilter[] = "JSON Files (*.json)\0*.json\0All files (*)\0*\0";
constexpr char kCheckpointFilter[] = "Checkpoints (*.json)\0*.json\0All files (*)\0*\0";

// An open dialog's clicks: "Browse..." puts the chooser's pick into "File"
// (nothing without a chooser, where the name is typed), OK and Cancel as usual.
template <const char* filter, bool (*accept)(HWND)>
intptr_t openFileCommand(HWND dialog, int id)
{
    if (id != IDC_OPEN_BROWSE)
        return okOrCancel<accept>(dialog, id);
    char name[4096] = {};
    if (chooseOpenFileName(dialog, filter, "Choose a file", name, sizeof name))
        setText(dialog, IDC_OPEN_FILE, name);
    return 1;
}

} // namespace

bool openFileDialog(HWND hWnd, UINT command)
{
    switch (command) {
    case IDM_OPEN_SIGNAL:
        return run(hWnd, IDD_OPEN_SIGNAL, dialogProc<fillOpenFile, openFileCommand<kSignalFilter, acceptOpenSignal>>);
    case IDM_OPEN_ETALONS:
        return run(hWnd, IDD_OPEN_ETALONS, dialogProc<fillOpenFile, openFileCommand<kEtalonsFilter, acceptOpenEtalons>>);
    default:
        return run(hWnd, IDD_OPEN_SERIES, dialogProc<fillOpenFile, openFileCommand<kSeriesFilter, acceptOpenSeries>>);
    }
}

bool openResumeSimulationDialog(HWND hWnd)
{
    return run(hWnd, IDD_RESUME_SIMULATION,
               dialogProc<fillResumeFile, openFileCommand<kCheckpointFilter, acceptResumeCheckpoint>>);
}

bool openShowSimulationDialog(HWND hWnd, bool recognition)
{
    gShowRecognition = recognition;
    return run(hWnd, recognition ? IDD_SHOW_SIMULATION : IDD_SHOW_PARAMETERS,
               dialogProc<fillShowSimulation, showSimulationCommand>);
}
