// The commands that open the parameter dialogs, run and show a statistical
// simulation, switch to the subset and parameter panels, and the tuple stage
// of processing. Called by the dispatcher in commands.cpp.
//
// Sections: helpers - series dialogs - simulation - views and settings - dispatch
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "detection/detection.h"
#include "platform/allocation.h"
#include "display/display.h"
#include "resources/resources.h"
#include "shell/shell.h"
#include "simulation/simulation.h"

/*==========================================================================
** Helpers
**========================================================================*/

namespace {

// The subset strip, and with `rows` first every reserved subset's row, as the
// last paint laid them out (right and bottom inclusive), erased.
void invalidateSubsetPanel(HWND hWnd, bool rows)
{
    const ProgramState& s = gState;
    const SubsetPanelState& p = gSubsetPanel;
    auto invalidate = [&](const RECT& r) {
        if (r.right <= r.left || r.bottom <= r.top)
            return;  // not laid out yet
        RECT exclusive{r.left, r.top, r.right + 1, r.bottom + 1};
        InvalidateRect(hWnd, &exclusive, 1);
    };
    if (rows && p.possibleSubsetArrayRect)
        for (int32_t k = 0; k < s.wReservedSubsets; k++) {
            // The row, raised to its cells' tops: their captions start above it.
            RECT r = p.possibleSubsetArrayRect[k][s.wPossibleSubsetCapacity];
            r.top = std::min(r.top, p.possibleSubsetArrayRect[k][0].top);
            invalidate(r);
        }
    invalidate(p.SubsetStripRect);
}

/*==========================================================================
** Series dialogs
**========================================================================*/

// CM_SERIES_DIALOG: a required etalon and a selected one first, then the dialog.
void seriesDialog(HWND hWnd)
{
    ProgramState& s = gState;
    s.bDialogAccepted = 0;
    if (s.wRequiredQuantity == 0 || !s.lpRequiredList) {
        uint16_t* list = getRequiredList(hWnd, 1, s.lpRequiredList);
        if (!list || !growEtalonSequence(1)) {
            MessageBoxA(hWnd, "Нет памяти для lpRequiredList!", "CM_INFO", MB_OK);
            return;
        }
        s.lpRequiredList = list;
        s.wRequiredQuantity = s.wRequiredCapacity = 1;
        s.lpRequiredList[0] = 1;
        s.lpEtalonSequence[0] = 1;
        s.wSelectedEtalon = 1;
        s.EtalonSelected[0] = 1;
    }
    if (s.wSelectedEtalon < 1 || s.wSelectedEtalon > s.wAlphabetSize || !s.EtalonSelected[s.wSelectedEtalon - 1])
        for (int k = 0; k < s.wAlphabetSize; k++)
            if (s.EtalonSelected[k]) {
                s.wSelectedEtalon = k + 1;
                break;
            }
    openCreateSeriesDialog(hWnd);
}

// What the Create Series dialog set, taken for the next series: length,
// interval bounds, saved energy levels and the pulse-count bounds.
void takeNewSeriesParameters()
{
    ProgramState& s = gState;
    s.dwNextSeriesLength = s.dwNewSeriesLength;
    s.wTmin = s.wNewTmin;
    s.wTmax = s.wNewTmax;
    s.wSavedEnergyLevel = static_cast<uint16_t>(s.wNewSavedEnergy);
    s.wProcSavedEnergyLevel = static_cast<uint16_t>(s.wNewProcSavedEnergy);
    s.wMinPulses = s.wNewMinPulses;
    s.wMaxPulses = s.wNewMaxPulses;
}

// The pulse-count bounds of the pending series parameters. The interval bound
// that divides is the new one in both: the current Tmin in the upper bound
// would admit counts that do not fit once Tmin changed.
void pendingPulseBounds()
{
    ProgramState& s = gState;
    s.wNewMinPulses = pulsesLowerBound(s.dwNewSeriesLength, s.wImpulseSize, s.wNewTmax);
    s.wNewMaxPulses = pulsesUpperBound(s.dwNewSeriesLength, s.wImpulseSize, s.wNewTmin);
}

// 40001: series parameters, then the structure; on OK a new series is built.
void createSeries(HWND hWnd)
{
    ProgramState& s = gState;
    SendMessageA(hWnd, WM_COMMAND, CM_SERIES_DIALOG, 0);
    if (!s.bDialogAccepted)
        return;
    s.wOldImpulseQuantity = s.wNextImpulseQuantity;
    pendingPulseBounds();
    s.wNewMinPulses = std::max<uint16_t>(s.wNewMinPulses, 1);
    if (s.wNewMaxPulses < s.wNewMinPulses) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "No series of %u samples has its pulse starts %u to %u samples apart: "
                      "at least %u pulses are needed, at most %u fit.",
                      s.dwNewSeriesLength, s.wNewTmin, s.wNewTmax, s.wNewMinPulses, s.wNewMaxPulses);
        MessageBoxA(hWnd, text, " Create Series ", MB_OK | MB_ICONWARNING);
        return;
    }
    s.wNextImpulseQuantity = static_cast<uint16_t>((s.wNewMinPulses + s.wNewMaxPulses) / 2);
    if (!growNewEtalonSequence(s.wNewMaxPulses)) {
        s.wNextImpulseQuantity = s.wOldImpulseQuantity;
        MessageBoxA(hWnd, "Нет памяти для lpNewEtalonSequence!", "CM_INFO", MB_OK);
        return;
    }
    for (uint16_t i = 0; i < s.wNewEtalonSequenceCapacity; i++)
        s.lpNewEtalonSequence[i] = i < s.wEtalonSequenceCapacity ? s.lpEtalonSequence[i]
                                                                 : static_cast<uint16_t>(s.wEtalonNumber);
    const bool accepted = openSeriesStructureDialog(hWnd);
    if (s.wNewImpulseQuantity < s.wNewMinPulses || s.wNewImpulseQuantity > s.wNewMaxPulses)
        s.wNewImpulseQuantity = static_cast<uint16_t>((s.wNewMinPulses + s.wNewMaxPulses) / 2);
    if (!accepted || !growEtalonSequence(s.wNewMaxPulses)) {
        s.wNextImpulseQuantity = s.wOldImpulseQuantity;
        if (accepted)
            MessageBoxA(hWnd, "Нет памяти для lpEtalonSequence!", "CM_INFO", MB_OK);
        return;
    }
    takeNewSeriesParameters();
    s.wSelectedEtalon = s.wEtalonNumber;
    s.wNextImpulseQuantity = s.wNewImpulseQuantity;
    s.wNextNoiseLevel = s.wNewNoiseLevel;
    // Entry i of the edited sequence; entries the sequence text did not reach
    // read 0 and become etalon 1, as the series builder reads them.
    for (uint16_t i = 0; i < s.wEtalonSequenceCapacity; i++) {
        if (i >= s.wNewEtalonSequenceCapacity) {
            s.lpEtalonSequence[i] = static_cast<uint16_t>(s.wEtalonNumber);
            continue;
        }
        const uint16_t e = s.lpNewEtalonSequence[i];
        s.lpEtalonSequence[i] = (e >= 1 && e <= s.wAlphabetSize) ? e : uint16_t{1};
    }
    ChainsHeader* chains = makeChainsHeader(hWnd, s.wChainsQuantity, s.wNewMaxPulses, s.lpChainsHeader);
    s.lpChainsHeader = chains;
    s.wChainsPulsesCapacity = chains ? s.wNewMaxPulses : 0;
    s.bSeriesLengthChanged = s.bNoiseLevelChanged = s.bLostDataLevelChanged = 1;
    s.wViewMode = kViewResults;
    if (s.wSeriesType == kSeriesFixedWhole)
        s.wSeriesType = kSeriesTypedFixed;
    else if (s.wSeriesType == kSeriesUnfixedWhole)
        s.wSeriesType = kSeriesTypedUnfixed;
    SendMessageA(hWnd, WM_COMMAND, CM_BUILD_SERIES, 0);
}

// 40002: the list of required etalons, then the selection flags from it.
void newPulses(HWND hWnd)
{
    ProgramState& s = gState;
    if (!s.lpRequiredList || s.wRequiredCapacity < s.wRequiredQuantity) {
        uint16_t* list = getRequiredList(hWnd, s.wAlphabetSize, s.lpRequiredList);
        if (!list) {
            MessageBoxA(hWnd, "Нет памяти для lpRequiredList!", "CM_INFO", MB_OK);
            return;
        }
        s.lpRequiredList = list;
        s.wRequiredQuantity = s.wRequiredCapacity = s.wAlphabetSize;
    }
    openRequiredEtalonsDialog(hWnd);
    for (uint16_t k = 0; k < s.wRequiredQuantity; k++)
        if (s.lpRequiredList[k] > s.wAlphabetSize)
            s.lpRequiredList[k] = static_cast<uint16_t>(k + 1);
    for (int k = 0; k < s.wRequiredCapacity && k < kAlphabetCapacity; k++)
        s.EtalonSelected[k] = std::find(s.lpRequiredList, s.lpRequiredList + s.wRequiredQuantity, k + 1) !=
                              s.lpRequiredList + s.wRequiredQuantity;
}

/*==========================================================================
** Simulation
**========================================================================*/

// CM_SIMULATION_PARAMS: series parameters, then the grid.
void simulationParams(HWND hWnd)
{
    ProgramState& s = gState;
    SendMessageA(hWnd, WM_COMMAND, CM_SERIES_DIALOG, 0);
    if (!s.bDialogAccepted)
        return;
    pendingPulseBounds();
    if (!firstSimulationSequence(hWnd)) {
        s.bDialogAccepted = 0;
        return;
    }
    if (!openLocationParametersDialog(hWnd))
        return;
    takeNewSeriesParameters();
    s.dwSeriesLength = s.dwNewSeriesLength;
    s.wPulsesIncrement = std::max<uint16_t>(s.wPulsesIncrement, 1);
    s.wVariousPulsesNumber = static_cast<uint16_t>((s.wNewMaxPulses - s.wNewMinPulses) / s.wPulsesIncrement + 1);
}

// 40012: parameters, a summary, the preparation chain, the run, the charts.
void statisticalSimulation(HWND hWnd)
{
    ProgramState& s = gState;
    s.wLostDataLevel = s.wNextLostDataLevel;
    s.wSavedEnergyLevel = static_cast<uint16_t>(s.wNextSavedEnergyLevel);
    s.wProcSavedEnergyLevel = static_cast<uint16_t>(s.wNextProcSavedEnergyLevel);
    s.bDialogAccepted = 0;
    SendMessageA(hWnd, WM_COMMAND, CM_SIMULATION_PARAMS, 0);
    if (!s.bDialogAccepted)
        return;
    // The noise line names the last level simulated after "to".
    const int lastLevel = s.wInitNoiseLevel + (s.wNoiseSteps - 1) * s.wNoiseIncrement;
    char text[600];
    std::snprintf(text, sizeof text,
                  shownText("Create series parameters:\nдлина серии: %d\nwTmin: %d\nwTmax: %d\nдлина эталона: %d\n"
                            "MinPulses: %d -> %d\nMaxPulses: %d -> %d\n\npulses: %d, from %d to %d incr %d \n"
                            "noise level: from %d to %d incr %d\nnumber of repeats: %d\n"),
                  static_cast<int>(s.dwSeriesLength), s.wTmin, s.wTmax, s.wImpulseSize, s.wNewMinPulses, s.wMinPulses,
                  s.wNewMaxPulses, s.wMaxPulses, s.wVariousPulsesNumber, s.wMinPulses, s.wMaxPulses, s.wPulsesIncrement,
                  s.wInitNoiseLevel, lastLevel, s.wNoiseIncrement, s.wRepeats);
    MessageBoxA(hWnd, text, "getPulseEstAsRepeats", MB_OK);
    runWindowSimulation(hWnd, nullptr);
}

// 40015: the charts of the last complete run.
void showSimulation(HWND hWnd)
{
    ProgramState& s = gState;
    if (!s.lpRestErrorHeader || !s.lpRestErrorHeader->ifComplete)
        return;
    s.wResultsMode = 2;
    openShowSimulationDialog(hWnd, s.wTaskType == kTaskRecognition);
    s.wChartKind = chartKindFor(s.wErrorKind, s.wStatView, s.bBoundsIncluded);
    // The series area, the buttons and the dirty level panels, flags cleared.
    s.bButtonsChanged = 1;
    s.bOverdrawSeries = 0;
    SendMessageA(hWnd, WM_COMMAND, CM_SHOW_RESULTS, 0);
    s.wViewMode = kViewResults;
}

/*==========================================================================
** Views and settings
**========================================================================*/

void subsetSettings(HWND hWnd)
{
    ProgramState& s = gState;
    openSubsetSettingsDialog(hWnd);
    if (!s.lpSeriesHeader)
        return;  // no series to give the subset to
    if (s.wProcessingType == kProcTuplesRecognition) {
        std::vector<const int32_t*> rows = subsetRows();
        addSomeSelectedSubsetToSeriesHeader(hWnd, s.selectedSubsetArraySize, rows.data(), s.wReservedSubsetsUsed,
                                            s.wReservedSubsets, s.wPossibleSubsetCapacity, s.wPickedSubset,
                                            s.wSubsetEmployment, s.wSubsetInitPosition, s.lpSeriesHeader);
    } else {
        setSelectedSubset(hWnd, s.selectedSubset, s.wSelectedSubsetLength, s.wSubsetEmployment,
                          s.wSubsetInitPosition, s.lpSeriesHeader);
    }
}

} // namespace

/*==========================================================================
** Dispatch
**========================================================================*/

bool firstSimulationSequence(HWND hWnd)
{
    ProgramState& s = gState;
    if (!s.bFirstSimulation)
        return true;
    if (!growEtalonSequence(s.wMaxPulses)) {
        MessageBoxA(hWnd, "Нет памяти для lpEtalonSequence!", "CM_INFO", MB_OK);
        return false;
    }
    std::fill_n(s.lpEtalonSequence, s.wMaxPulses, static_cast<uint16_t>(s.wEtalonNumber));
    s.bFirstSimulation = 0;
    return true;
}



bool runTupleStage(HWND hWnd)
{
    ProgramState& s = gState;
    const bool recognize = isTupleRecognition(s.wProcessingType);
    if (s.wSelectedSubsetLength == 0 || (recognize && s.wReservedSubsetsUsed == 0))
        SendMessageA(hWnd, WM_COMMAND, IDM_SELECT_SET, 0);
    if (s.wSelectedSubsetLength == 0 || !s.selectedSubset)
        return false;  // nothing selected yet: the selection view is open
    uint16_t count = 0;
    bool subsetsFit = true;
    PulseHeader* alphabet = tupleAlphabet(hWnd, count, subsetsFit);
    if (!subsetsFit)
        return false;
    const Detector detector = productionDetectors()[detectorSlotFor(s.wProcessingType, s.wSeriesType)];
    if (!recognize) {
        detector.tuples(hWnd, alphabet, s.wSelectedSubsetLength, s.selectedSubset, s.wSubsetProceeding, s.wTmin, s.wTmax,
               s.wProcSavedEnergyLevel, s.bDebugRepeat, s.lpChainsHeader, s.lpSeriesHeader);
    } else {
        std::vector<const int32_t*> rows = subsetRows();
        detector.recognizer(hWnd, alphabet, s.selectedSubsetArraySize, rows.data(), s.wReservedSubsetsUsed,
                        s.wSubsetProceeding, s.wTmin, s.wTmax, s.wProcSavedEnergyLevel, s.bDebugRepeat,
                        s.lpChainsHeader, s.lpSeriesHeader);
    }
    return true;
}

bool doDialogCommand(HWND hWnd, UINT id)
{
    ProgramState& s = gState;
    switch (id) {
    case IDM_NEW_PULSES: newPulses(hWnd); return true;
    case IDM_CREATE_SERIES: createSeries(hWnd); return true;
    case IDM_CREATE_SERIES_TOP: return true;  // the bar item does nothing
    case IDM_SIMULATION: statisticalSimulation(hWnd); return true;
    case IDM_SHOW_SIMULATION: showSimulation(hWnd); return true;
    case IDM_RESUME_SIMULATION: resumeSimulation(hWnd); return true;
    case IDM_SUBSET_SETTINGS: subsetSettings(hWnd); return true;
    case IDM_DRAWING_SETTINGS: openDrawingSettingsDialog(hWnd); return true;
    case IDM_OPEN_SIGNAL:
    case IDM_OPEN_ETALONS:
    case IDM_OPEN_SERIES: openFileDialog(hWnd, id); return true;
    case IDM_SAVE_SERIES: saveSeriesAs(hWnd); return true;
    case IDM_EXPORT_RESULTS: exportResults(hWnd); return true;
    case IDM_VIEW_PARAMETERS:
        s.wViewMode = kViewParams;
        s.lpParamsHeader = getParamsHeader(hWnd, s.lpSeriesHeader, s.lpParamsHeader);
        invalidateSeriesArea(hWnd, 1);
        return true;
    case CM_SERIES_DIALOG: seriesDialog(hWnd); return true;
    case CM_SIMULATION_PARAMS: simulationParams(hWnd); return true;
    case CM_REDRAW_PANEL: invalidateSubsetPanel(hWnd, false); return true;
    case CM_REDRAW_SUBSET: invalidateSubsetPanel(hWnd, true); return true;
    default: return false;
    }
}
