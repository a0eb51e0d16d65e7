// Mouse presses on the painted window: hit-tests the rectangles of the last
// paint (right and bottom edges included) in a fixed order per view, changes
// the program state and sends the window the command that acts on it.
// The subset and parameter panels add their own presses with their own work.
#include "display/display_private.h"
#include "resources/resources.h"
#include "shell/state.h"

POINT ptLastClick{0, 0};  // the point of the last press that hit a cell or a button

namespace {

int32_t wChangedChoice = 0;  // choice panel used last: 0 none, 1 length, 2 noise, 3 lost data

bool hit(const RECT& r, int x, int y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

void send(HWND hWnd, UINT command)
{
    SendMessageA(hWnd, WM_COMMAND, command, 0);
}

// A tuple series whose subset strip is empty: the subset panel comes first.
bool tupleSeriesWithEmptyStrip()
{
    return isTupleSeries(gState.wSeriesType) && gState.wSelectedSubsetLength == 0;
}

void clearPanelFlags()
{
    ProgramState& s = gState;
    wChangedChoice = 0;
    s.bSeriesLengthChanged = s.bNoiseLevelChanged = s.bLostDataLevelChanged = 0;
}

// The select button; true when it was hit.
bool pressSelectButton(HWND hWnd, int x, int y, bool buttonsChanged)
{
    ProgramState& s = gState;
    const DisplayState& d = gDisplay;
    if (!d.bSelectButtonExists)
        return false;
    if (!d.bSelectAllShown && hit(d.UnselectAllButtonRect, x, y)) {
        ptLastClick = POINT{x, y};
        s.wRequiredQuantity = 0;
        for (int k = 0; k < kAlphabetCapacity; k++)
            s.EtalonSelected[k] = 0;
    } else if (d.bSelectAllShown && hit(d.SelectAllButtonRect, x, y)) {
        ptLastClick = POINT{x, y};
        for (int k = 0; k < kAlphabetCapacity; k++)
            s.EtalonSelected[k] = 1;
        rebuildRequiredList();
    } else {
        return false;
    }
    if (buttonsChanged)
        s.bButtonsChanged = 1;
    s.wViewMode = kViewAlphabet;
    send(hWnd, CM_REDRAW_ALPHABET);
    return true;
}

// The three level panels; sends CM_NONE when nothing is hit.
void pressChoicePanels(HWND hWnd, int x, int y)
{
    ProgramState& s = gState;
    if (s.bRecordingShown)
        return send(hWnd, CM_NONE);  // the panels are inactive while a recording is shown
    const DisplayState& d = gDisplay;
    const int32_t viewBefore = s.wViewMode;
    auto nextSeries = [&](int32_t* flag, LevelTable& table, int k, int32_t choice) {
        wChangedChoice = choice;
        if (table.index != k + 1)
            *flag = 1;
        table.index = k + 1;
        if (tupleSeriesWithEmptyStrip()) {
            s.wViewMode = kViewSubset;
            send(hWnd, IDM_SELECT_SET);
            return;
        }
        if (viewBefore == kViewSubset && !commitSubsetPanel(hWnd))
            return send(hWnd, CM_REDRAW_SUBSET);  // nothing to hand over: the panel stays
        if (viewBefore != kViewResults)
            s.bButtonsChanged = 1;
        s.wViewMode = kViewResults;
        send(hWnd, CM_NEXT_SERIES);
    };
    for (int k = 0; k < s.SeriesLengthTable.count && k < kLevelChoices; k++)
        if (hit(d.SeriesLengthItemRect[k], x, y)) {
            if (s.wRequiredQuantity == 0) {
                s.SeriesLengthTable.index = k + 1;
                return send(hWnd, CM_TAKE_LEVELS);
            }
            s.dwNextSeriesLength = static_cast<uint32_t>(s.SeriesLengthTable.values[k]);
            s.wMinPulses = pulsesLowerBound(s.dwNextSeriesLength, s.wImpulseSize, s.wTmax);
            s.wMaxPulses = pulsesUpperBound(s.dwNextSeriesLength, s.wImpulseSize, s.wTmin);
            s.wNextImpulseQuantity = static_cast<uint16_t>((s.wMinPulses + s.wMaxPulses) / 2);
            return nextSeries(&s.bSeriesLengthChanged, s.SeriesLengthTable, k, 1);
        }
    for (int k = 0; k < s.NoiseLevelTable.count && k < kLevelChoices; k++)
        if (hit(d.NoiseLevelItemRect[k], x, y)) {
            if (s.wRequiredQuantity == 0) {
                s.NoiseLevelTable.index = k + 1;
                return send(hWnd, CM_TAKE_LEVELS);
            }
            s.wNextNoiseLevel = static_cast<int16_t>(s.NoiseLevelTable.values[k]);
            return nextSeries(&s.bNoiseLevelChanged, s.NoiseLevelTable, k, 2);
        }
    if (isCutoffSeries(s.wSeriesType))
        for (int k = 0; k < s.LostDataLevelTable.count && k < kLevelChoices; k++)
            if (hit(d.LostDataLevelItemRect[k], x, y)) {
                if (s.wRequiredQuantity == 0) {
                    s.LostDataLevelTable.index = k + 1;
                    return send(hWnd, CM_TAKE_LEVELS);
                }
                s.wNextLostDataLevel = static_cast<int16_t>(s.LostDataLevelTable.values[k]);
                s.wNextSavedEnergyLevel = s.wNextProcSavedEnergyLevel =
                    static_cast<int16_t>(100 - s.LostDataLevelTable.values[k]);
                if (viewBefore != kViewResults)
                    s.bButtonsChanged = 1;
                s.wViewMode = kViewResults;
                wChangedChoice = 3;
                if (s.LostDataLevelTable.index != k + 1)
                    s.bLostDataLevelChanged = 1;
                s.LostDataLevelTable.index = k + 1;
                return send(hWnd, CM_NEXT_SERIES);
            }
    send(hWnd, CM_NONE);
}

void pressAlphabetView(HWND hWnd, int x, int y)
{
    ProgramState& s = gState;
    const DisplayState& d = gDisplay;
    for (int i = 0; i < s.wAlphabetSize && i < kAlphabetCapacity; i++) {
        if (!hit(d.EtalonCellRect[i], x, y))
            continue;
        ptLastClick = POINT{x, y};
        if (s.wProcessingType == kTaskDetection) {
            if (s.EtalonSelected[i] != 1)
                for (int k = 0; k < kAlphabetCapacity; k++)
                    s.EtalonSelected[k] = (k == i);
            s.bButtonsChanged = 1;
            clearPanelFlags();
        } else {
            s.EtalonSelected[i] = s.EtalonSelected[i] == 1 ? 0 : 1;
        }
        s.wViewMode = kViewAlphabet;
        rebuildRequiredList();
        s.wPreviousSelectedEtalon = s.wSelectedEtalon;
        s.wSelectedEtalon = i + 1;
        return send(hWnd, CM_REDRAW_ETALON);
    }
    if (hit(d.NextButtonRect, x, y)) {
        rebuildRequiredList();
        if (tupleSeriesWithEmptyStrip()) {
            // The subset panel is asked for by the command that also repaints
            // the area: view 9 must not take presses while the alphabet shows.
            s.wViewMode = kViewSubset;
            return send(hWnd, IDM_SELECT_SET);
        }
        if (s.wRequiredQuantity == 0) {
            s.wViewMode = kViewAlphabet;
            return send(hWnd, CM_NONE);
        }
        ptLastClick = POINT{x, y};
        s.bButtonsChanged = 1;
        clearPanelFlags();
        s.wViewMode = kViewResults;
        return send(hWnd, CM_NEXT_SERIES);
    }
    if (hit(d.ExitButtonRect, x, y)) {
        ptLastClick = POINT{x, y};
        return send(hWnd, CM_EXIT);
    }
    if (pressSelectButton(hWnd, x, y, false))
        return;
    pressChoicePanels(hWnd, x, y);
}

void pressOtherView(HWND hWnd, int x, int y)
{
    ProgramState& s = gState;
    const DisplayState& d = gDisplay;
    if (s.wViewMode == kViewResults && pressPatternRow(hWnd, x, y))
        return;
    if (s.wViewMode == kViewResults && hit(d.RestartButtonRect, x, y)) {
        ptLastClick = POINT{x, y};
        if (isTupleSeries(s.wSeriesType)) {
            s.wViewMode = kViewSubset;
            return send(hWnd, IDM_SELECT_SET);
        }
        s.wViewMode = kViewAlphabet;
        s.bButtonsChanged = 1;
        return send(hWnd, CM_REDRAW_ALPHABET);
    }
    if (hit(d.NextButtonRect, x, y)) {
        ptLastClick = POINT{x, y};
        // Views 6 and 9: a fixed tuple series needs its strip (tuples
        // recognition may go on with its stored subsets).
        const bool needsStrip = s.wViewMode == kViewParams ? tupleSeriesWithEmptyStrip()
                                                           : s.wSeriesType == kSeriesFixedTuples &&
                                                                 s.wSelectedSubsetLength == 0;
        if (needsStrip) {
            s.wViewMode = kViewSubset;
            return send(hWnd, IDM_SELECT_SET);
        }
        if (s.wViewMode == kViewSubset && !commitSubsetPanel(hWnd))
            return send(hWnd, CM_REDRAW_SUBSET);  // nothing to hand over: the panel stays
        s.wViewMode = kViewResults;
        clearPanelFlags();
        s.bButtonsChanged = 1;
        return send(hWnd, CM_NEXT_SERIES);
    }
    if (hit(d.ExitButtonRect, x, y)) {
        ptLastClick = POINT{x, y};
        return send(hWnd, CM_EXIT);
    }
    if (pressSelectButton(hWnd, x, y, true))
        return;
    pressChoicePanels(hWnd, x, y);
}

} // namespace

void pressMainWindow(HWND hWnd, int, int x, int y, WPARAM)
{
    switch (gState.wViewMode) {
    case kViewAlphabet: pressAlphabetView(hWnd, x, y); break;
    case kViewResults: pressOtherView(hWnd, x, y); break;
    case kViewSubset:
        if (!pressSubsetPanel(hWnd, x, y))
            pressOtherView(hWnd, x, y);
        break;
    case kViewParams:
        if (!pressParamsPanel(hWnd, x, y))
            pressOtherView(hWnd, x, y);
        break;
    default: pressChoicePanels(hWnd, x, y); break;
    }
}

void releaseMainWindow(HWND hWnd, int x, int y, WPARAM)
{
    releaseParamsPanel(hWnd, x, y);  // releases matter only to the parameter panel
}

void moveMainWindow(HWND hWnd, int x, int y, WPARAM)
{
    moveParamsPanel(hWnd, x, y);  // moves matter only to the parameter panel
}
