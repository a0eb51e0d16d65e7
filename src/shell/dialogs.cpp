// The eight parameter dialogs of the main window: their procedures fill the
// controls from the program state, keep working copies for the buttons, check
// what was typed and write back on OK. Used by the commands (commands_dialogs.cpp).
//
// Sections: numbers and lists - field checks - the dialogs
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
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
** The dialogs
**========================================================================*/

// Ends one of the four dialogs that report their outcome in bDialogAccepted:
// 1 for OK, 0 for Cancel. Returns 1 (the button was handled).
intptr_t closeDialog(HWND dialog, intptr_t button)
{
    gState.bDialogAccepted = button == IDOK ? 1 : 0;
    EndDialog(dialog, button);
    return 1;
}

// 105 "Create Series": series parameters into the pending fields.
intptr_t createSeriesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    if (message == WM_INITDIALOG) {
        setNumber(dialog, 1000, s.dwSeriesLength);
        setNumber(dialog, 1001, s.wTmin);
        setNumber(dialog, 1003, s.wTmax);
        setNumber(dialog, 1004, s.wSelectedEtalon);
        setNumber(dialog, 1005, s.wSavedEnergyLevel);
        setNumber(dialog, 1006, s.wProcSavedEnergyLevel);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id == IDOK) {
        const int64_t length = readNumber(dialog, 1000), tmin = readNumber(dialog, 1001),
                      tmax = readNumber(dialog, 1003), etalon = readNumber(dialog, 1004),
                      saved = readNumber(dialog, 1005), procSaved = readNumber(dialog, 1006);
        if (!inRange(dialog, 1000, "Samples Length", length, s.wImpulseSize, kMaxSeriesSize) ||
            !inRange(dialog, 1001, "Min Length of Interval", tmin, 1, 65535) ||
            !inRange(dialog, 1003, "Max Length of Interval", tmax, std::max<int64_t>(tmin, s.wImpulseSize), 65535) ||
            !inRange(dialog, 1004, "Etalon Number", etalon, 1, s.wAlphabetSize) ||
            !inRange(dialog, 1005, "Saved Energy Level (from 0 to 100)", saved, 0, 100) ||
            !inRange(dialog, 1006, "Saved Energy Level (from 0 to 100)", procSaved, 0, 100))
            return 1;
        s.dwNewSeriesLength = static_cast<uint32_t>(length);
        s.wNewTmin = static_cast<uint16_t>(tmin);
        s.wNewTmax = static_cast<uint16_t>(tmax);
        s.wEtalonNumber = static_cast<int32_t>(etalon);
        s.wNewSavedEnergy = static_cast<int16_t>(saved);
        s.wNewProcSavedEnergy = static_cast<int16_t>(procSaved);
        return closeDialog(dialog, IDOK);
    }
    if (id == IDCANCEL)
        return closeDialog(dialog, IDCANCEL);
    return 0;
}

// 106 "Create Series": the series structure, pulse count, sequence and noise.
intptr_t seriesStructureProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    static int shown = 0;  // sequence entries shown at opening: the number read back
    if (message == WM_INITDIALOG) {
        char label[100];
        std::snprintf(label, sizeof label, "Number of Pulses in Series (from %d to %d)", s.wNewMinPulses,
                      s.wNewMaxPulses);
        setText(dialog, 1008, label);
        setNumber(dialog, 1007, s.wNextImpulseQuantity);
        std::snprintf(label, sizeof label, "Sequence of Etalons in Series (values from 1 to %d)", s.wAlphabetSize);
        setText(dialog, 1009, label);
        shown = std::min<int>(s.wNextImpulseQuantity, s.wNewEtalonSequenceCapacity);
        setText(dialog, 1010, formatNumberList(s.lpNewEtalonSequence, shown));
        setNumber(dialog, 1011, s.wNoiseLevel);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id == IDOK) {
        const int64_t count = readNumber(dialog, 1007), noise = readNumber(dialog, 1011);
        std::vector<int64_t> values(static_cast<size_t>(shown) + 1);
        const int present = readNumberList(controlText(dialog, 1010), values.data(), shown);
        if (!inRange(dialog, 1007, "Number of Pulses in Series", count, 0, 65535) ||
            !etalonsInRange(dialog, 1010, "Sequence of Etalons in Series", values.data(), shown, present, false) ||
            !inRange(dialog, 1011, "Noise Level", noise, 0, 32767))
            return 1;
        s.wNewImpulseQuantity = static_cast<uint16_t>(count);
        for (int i = 0; i < shown; i++)
            s.lpNewEtalonSequence[i] = static_cast<uint16_t>(values[i]);  // missing entries read 0
        s.wNewNoiseLevel = static_cast<int16_t>(noise);
        return closeDialog(dialog, IDOK);
    }
    if (id == IDCANCEL)
        return closeDialog(dialog, IDCANCEL);
    return 0;
}

// 107 "List of Required Etalons": count and list straight into the state.
intptr_t requiredEtalonsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    if (message == WM_INITDIALOG) {
        setNumber(dialog, 1014, s.wRequiredQuantity);
        char label[100];
        std::snprintf(label, sizeof label, "List of Required Etalons (from 1 to %d)", s.wAlphabetSize);
        setText(dialog, 1012, label);
        setText(dialog, 1013, formatNumberList(s.lpRequiredList, s.wRequiredQuantity));
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id == IDOK) {
        int64_t count = readNumber(dialog, 1014);
        if (!inRange(dialog, 1014, "Number of Required Etalons", count, 0, 65535))
            return 1;
        if (count < 1 || count > s.wRequiredCapacity)
            count = s.wRequiredQuantity;  // out of the list's room: the old count stays
        std::vector<int64_t> values(static_cast<size_t>(count) + 1);
        const int present = readNumberList(controlText(dialog, 1013), values.data(), static_cast<int>(count));
        if (!etalonsInRange(dialog, 1013, "List of Required Etalons", values.data(), static_cast<int>(count), present,
                            true))
            return 1;
        s.wRequiredQuantity = static_cast<uint16_t>(count);
        for (int i = 0; i < count; i++)
            s.lpRequiredList[i] = static_cast<uint16_t>(values[i]);
        return closeDialog(dialog, IDOK);
    }
    if (id == IDCANCEL)
        return closeDialog(dialog, IDCANCEL);
    return 0;
}

// 110 " Location Parameters": the simulation grid.
intptr_t locationParametersProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    if (message == WM_INITDIALOG) {
        setNumber(dialog, 1015, s.wNewMinPulses);
        setNumber(dialog, 1016, s.wNewMaxPulses);
        setNumber(dialog, 1017, s.wPulsesIncrement);
        setNumber(dialog, 1021, s.wRepeats);
        setNumber(dialog, 1019, s.wInitNoiseLevel);
        setNumber(dialog, 1018, s.wNoiseSteps);
        setNumber(dialog, 1020, s.wNoiseIncrement);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id == IDOK) {
        const int64_t from = readNumber(dialog, 1015), to = readNumber(dialog, 1016),
                      incr = readNumber(dialog, 1017), repeats = readNumber(dialog, 1021),
                      level = readNumber(dialog, 1019), steps = readNumber(dialog, 1018),
                      levelIncr = readNumber(dialog, 1020);
        if (!inRange(dialog, 1015, "from", from, 1, 65535) || !inRange(dialog, 1016, "to", to, from, 65535) ||
            !inRange(dialog, 1017, "incr.", incr, 0, 65535) || !inRange(dialog, 1021, "Number of Repeats", repeats, 1, 65535) ||
            !inRange(dialog, 1019, "Initial Level", level, 0, 32767) ||
            !inRange(dialog, 1018, "Number of Steps in Simulation", steps, 1, 65535) ||
            !inRange(dialog, 1020, "Noise Increment per Step", levelIncr, 0, 32767))
            return 1;
        if (level + (steps - 1) * levelIncr > 32767)
            return refuse(dialog, 1018, "The last noise level, \"Initial Level\" + (\"Number of Steps in Simulation\" - 1)"
                                  " x \"Noise Increment per Step\", must not exceed 32767."),
                   1;
        s.wNewMinPulses = static_cast<uint16_t>(from);
        s.wNewMaxPulses = static_cast<uint16_t>(to);
        s.wPulsesIncrement = static_cast<uint16_t>(incr);
        s.wRepeats = static_cast<uint16_t>(repeats);
        s.wInitNoiseLevel = static_cast<uint16_t>(level);
        s.wNoiseSteps = static_cast<uint16_t>(steps);
        s.wNoiseIncrement = static_cast<uint16_t>(levelIncr);
        return closeDialog(dialog, IDOK);
    }
    if (id == IDCANCEL)
        return closeDialog(dialog, IDCANCEL);
    return 0;
}

// 111 "Subset settings": employment and proceeding, with working copies.
intptr_t subsetSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    static uint16_t shownEmployment = 0, shownProceeding = 0;  // restored by Cancel
    if (message == WM_INITDIALOG) {
        shownEmployment = s.wSubsetEmployment;
        shownProceeding = s.wSubsetProceeding;
        const int employment = (s.wSubsetEmployment >= 1 && s.wSubsetEmployment <= 5) ? s.wSubsetEmployment : 4;
        setCheck(dialog, 1014 + employment, true);
        setCheck(dialog, s.wSubsetProceeding == 2 ? 1022 : 1021, true);
        setNumber(dialog, 1020, s.wSubsetInitPosition);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id >= 1015 && id <= 1019) {
        s.wSubsetEmployment = static_cast<uint16_t>(id - 1014);
        return 1;
    }
    if (id == 1021 || id == 1022) {
        s.wSubsetProceeding = static_cast<uint16_t>(id - 1020);
        return 1;
    }
    if (id == IDOK) {
        const int64_t position = readNumber(dialog, 1020);
        if (!inRange(dialog, 1020, "Subset init position", position, 0, 65535))
            return 1;
        s.wSubsetInitPosition = static_cast<uint16_t>(position);
        EndDialog(dialog, IDOK);
        return 1;
    }
    if (id == IDCANCEL) {
        s.wSubsetEmployment = shownEmployment;
        s.wSubsetProceeding = shownProceeding;
        EndDialog(dialog, IDCANCEL);
        return 1;
    }
    return 0;
}

// 112 "Drawing settings": four check boxes and the tuple highlight.
struct DrawingValues {
    int32_t highlight, shaded, special, frame;  // the four check boxes
    uint16_t tuples;                            // wTuplesHighlight
};
DrawingValues gDrawingShown, gDrawingWorking;  // at opening; after the clicks

intptr_t drawingSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    if (message == WM_INITDIALOG) {
        gDrawingShown = {s.bHighlightDetectedPulses, s.bShadedOriginalPulses, s.bSpecialGraphSize,
                         s.bFrameGraphFields, s.wTuplesHighlight};
        gDrawingWorking = gDrawingShown;
        setCheck(dialog, 1023, s.bHighlightDetectedPulses);
        setCheck(dialog, 1024, s.bShadedOriginalPulses);
        setCheck(dialog, 1043, s.bSpecialGraphSize);
        setCheck(dialog, 1044, s.bFrameGraphFields);
        setCheck(dialog, s.wTuplesHighlight == 0 ? 1027 : s.wTuplesHighlight == 1 ? 1025 : 1026, true);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    DrawingValues& w = gDrawingWorking;
    switch (id) {
    case 1023: w.highlight = isChecked(dialog, id); return 1;
    case 1024: w.shaded = isChecked(dialog, id); return 1;
    case 1043: w.special = isChecked(dialog, id); return 1;
    case 1044: w.frame = isChecked(dialog, id); return 1;
    case 1025: w.tuples = 1; return 1;
    case 1026: w.tuples = 2; return 1;
    case 1027: w.tuples = 0; return 1;
    case IDOK:
    case IDCANCEL: {
        const DrawingValues& v = id == IDOK ? gDrawingWorking : gDrawingShown;
        s.bHighlightDetectedPulses = v.highlight;
        s.bShadedOriginalPulses = v.shaded;
        s.bSpecialGraphSize = v.special;
        s.bFrameGraphFields = v.frame;
        s.wTuplesHighlight = v.tuples;
        EndDialog(dialog, id);
        return 1;
    }
    default: return 0;
    }
}

// 113 and 114: what the statistics charts show.
struct ShowValues {
    int32_t errorKind, statView, fixedBound, boundsIncluded;  // wErrorKind, wStatView and the two flags
    double upperBound;                                        // dUpperBound
};
ShowValues gShowShown, gShowWorking;  // at opening; after the clicks
bool gShowRecognition = false;        // dialog 114 (with recognition error and bounds)

intptr_t showSimulationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    ProgramState& s = gState;
    if (message == WM_INITDIALOG) {
        gShowShown = {s.wErrorKind, s.wStatView, s.bFixedUpperBound, s.bBoundsIncluded, s.dUpperBound};
        gShowWorking = gShowShown;
        setCheck(dialog, s.wStatView == 2 ? 1031 : 1030, true);
        setCheck(dialog, s.wErrorKind == 2 ? 1029 : (s.wErrorKind == 3 && gShowRecognition) ? 1034 : 1028, true);
        setCheck(dialog, 1032, s.bFixedUpperBound);
        setText(dialog, 1033, formatUpperBound(s.dUpperBound));
        if (gShowRecognition)
            setCheck(dialog, 1042, s.bBoundsIncluded);
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(wParam & 0xFFFF);
    ShowValues& w = gShowWorking;
    switch (id) {
    case 1028: w.errorKind = 1; return 1;
    case 1029: w.errorKind = 2; return 1;
    case 1034: w.errorKind = 3; return 1;
    case 1030: w.statView = 1; return 1;
    case 1031: w.statView = 2; return 1;
    case 1032: w.fixedBound = isChecked(dialog, id); return 1;
    case 1042: w.boundsIncluded = isChecked(dialog, id); return 1;
    case IDOK: {
        double bound = s.dUpperBound;
        if (w.fixedBound) {
            const std::string text = controlText(dialog, 1033);
            if (!readUpperBound(text, bound))
                return refuse(dialog, 1033, "\"upper bound\" must be a number above 0, not \"" + text + "\"."), 1;
        }
        s.wErrorKind = w.errorKind;
        s.wStatView = w.statView;
        s.bFixedUpperBound = w.fixedBound;
        if (gShowRecognition)
            s.bBoundsIncluded = w.boundsIncluded;
        s.dUpperBound = bound;
        EndDialog(dialog, IDOK);
        return 1;
    }
    case IDCANCEL:
        s.wErrorKind = gShowShown.errorKind;
        s.wStatView = gShowShown.statView;
        s.bFixedUpperBound = gShowShown.fixedBound;
        s.bBoundsIncluded = gShowShown.boundsIncluded;
        s.dUpperBound = gShowShown.upperBound;
        EndDialog(dialog, IDCANCEL);
        return 1;
    default: return 0;
    }
}

bool run(HWND hWnd, int dialogTemplate, DLGPROC procedure)
{
    return DialogBoxParamA(gState.hInst, dialogTemplate, hWnd, procedure, 0) == IDOK;
}

} // namespace

bool openCreateSeriesDialog(HWND hWnd)
{
    return run(hWnd, IDD_CREATE_SERIES, createSeriesProc);
}

bool openSeriesStructureDialog(HWND hWnd)
{
    return run(hWnd, IDD_SERIES_STRUCTURE, seriesStructureProc);
}

bool openRequiredEtalonsDialog(HWND hWnd)
{
    return run(hWnd, IDD_REQUIRED_ETALONS, requiredEtalonsProc);
}

bool openLocationParametersDialog(HWND hWnd)
{
    return run(hWnd, IDD_LOCATION_PARAMETERS, locationParametersProc);
}

bool openSubsetSettingsDialog(HWND hWnd)
{
    return run(hWnd, IDD_SUBSET_SETTINGS, subsetSettingsProc);
}

bool openDrawingSettingsDialog(HWND hWnd)
{
    return run(hWnd, IDD_DRAWING_SETTINGS, drawingSettingsProc);
}

bool openShowSimulationDialog(HWND hWnd, bool recognition)
{
    gShowRecognition = recognition;
    return run(hWnd, recognition ? IDD_SHOW_SIMULATION : IDD_SHOW_PARAMETERS, showSimulationProc);
}
