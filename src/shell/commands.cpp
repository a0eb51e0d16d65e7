// The command dispatcher of the main window: the processing pipeline (next
// series, build, noise, process, show), the task and series type menus with
// their check marks, and the view and repaint commands.
//
// Sections: helpers - pipeline - repaint commands - menu commands - dispatcher
#include <algorithm>

#include "display/display.h"
#include "resources/resources.h"
#include "shell/shell.h"
#include "snapshot/snapshot.h"

/*==========================================================================
** Helpers
**========================================================================*/

namespace {

// A rectangle of the display (right and bottom inclusive) as the window system
// takes it (right and bottom exclusive), grown by the given margins.
RECT invalidationRect(const RECT& r, int left, int up, int right, int down)
{
    return RECT{r.left - left, r.top - up, r.right + 1 + right, r.bottom + 1 + down};
}

void invalidateButtonsArea(HWND hWnd)
{
    // Enlarged by one pixel to the right and below.
    RECT r = invalidationRect(gDisplay.ButtonsAreaRect, 0, 0, 1, 1);
    InvalidateRect(hWnd, &r, 1);
    gState.bButtonsChanged = 0;
}

// The choice panels whose flag is raised, and those that showed a choice not
// yet in force (a grey dot): processing may have put it in force.
void invalidateDirtyPanels(HWND hWnd)
{
    ProgramState& s = gState;
    struct {
        int32_t* flag;
        const RECT* rect;
        int32_t grey;  // the panel shows a choice that was not in force yet
    } panels[] = {{&s.bSeriesLengthChanged, &gDisplay.SeriesLengthPanelRect, gDisplay.bGreyDotShown[0]},
                  {&s.bNoiseLevelChanged, &gDisplay.NoiseLevelPanelRect, gDisplay.bGreyDotShown[1]},
                  {&s.bLostDataLevelChanged, &gDisplay.LostDataLevelPanelRect, gDisplay.bGreyDotShown[2]}};
    for (auto& p : panels)
        if (*p.flag || p.grey) {
            RECT r = invalidationRect(*p.rect, 0, 0, 0, 0);
            InvalidateRect(hWnd, &r, 1);
            *p.flag = 0;
        }
}

// The pulse count asked for, or the middle of the bounds when outside them.
uint16_t clampedQuantity(uint16_t asked)
{
    const ProgramState& s = gState;
    if (asked < s.wMinPulses || asked > s.wMaxPulses)
        return static_cast<uint16_t>((s.wMinPulses + s.wMaxPulses) / 2);
    return asked;
}

/*==========================================================================
** Pipeline
**========================================================================*/

// Stages 3 and 4: build the series from the current values and add noise.
// Returns false when no series could be built (reported).
bool buildSeries(HWND hWnd)
{
    ProgramState& s = gState;
    endRecording();
    s.dwSeriesLength = s.dwNextSeriesLength;
    s.wImpulseQuantity = clampedQuantity(s.wNextImpulseQuantity);
    s.wNoiseLevel = s.wNextNoiseLevel;
    // The builders read the sequence up to wMaxPulses entries.
    if (!growEtalonSequence(std::max(s.wMaxPulses, s.wImpulseQuantity))) {
        MessageBoxA(hWnd, "Нет памяти для lpEtalonSequence!", "CM_INFO", MB_OK);
        return false;
    }
    // The builders hand back the old header unchanged when they refuse the
    // parameters: clear its etalon links first, so that a refusal cannot pass
    // for a new series and the old one is never processed in its place.
    if (s.lpSeriesHeader && s.lpSeriesHeader->lpPulsesList)
        std::fill_n(s.lpSeriesHeader->lpPulsesList, s.lpSeriesHeader->wReservedEtalons, nullptr);
    if (isUnfixedSeries(s.wSeriesType))
        s.lpSeriesHeader = getRandomCountSeries(hWnd, s.wAlphabetSize, s.Alphabet, s.wImpulseSize, s.wTmin, s.wTmax,
                                                static_cast<int32_t>(s.dwSeriesLength), s.wImpulseQuantity,
                                                s.lpEtalonSequence, s.wAmplitude,
                                                static_cast<int16_t>(s.wSavedEnergyLevel), s.lpSeriesHeader, s.streams);
    else
        s.lpSeriesHeader = getCutOffSeries(hWnd, s.wAlphabetSize, s.Alphabet, s.wImpulseSize, s.wTmin, s.wTmax,
                                           static_cast<int32_t>(s.dwSeriesLength), s.wImpulseQuantity,
                                           s.lpEtalonSequence, s.wAmplitude, static_cast<int16_t>(s.wSavedEnergyLevel),
                                           s.lpSeriesHeader, s.streams);
    // A header that came back without a built series (the builder refused the
    // parameters and said why) is as good as none: nothing may process it.
    if (!s.lpSeriesHeader || !s.lpSeriesHeader->lpPulsesList || !s.lpSeriesHeader->lpPulsesList[0]) {
        freeSeriesHeader(s.lpSeriesHeader);  // no series: nothing is left to process or paint
        s.lpSeriesHeader = nullptr;
        MessageBoxA(hWnd, "Не могу создать ряд!", "CM_INFO", MB_OK);
        return false;
    }
    if (isUnfixedSeries(s.wSeriesType))
        s.wImpulseQuantity = s.lpSeriesHeader->wImpulseQuantity;  // read only after the null check
    addNoise(s.lpSeriesHeader, s.wNoiseLevel, s.streams);
    return true;
}

// Stage 5: run the detector, record the run, switch to the results.
// Returns false when the stage stopped.
bool processSeries(HWND hWnd)
{
    ProgramState& s = gState;
    if (!s.lpSeriesHeader) {
        MessageBoxA(hWnd, "Не могу создать ряд!", "CM_INFO", MB_OK);
        return false;
    }
    if (recordingActive() && !prepareRecordingRun(hWnd))
        return false;
    const bool tuples = isTupleProcessing(s.wProcessingType);
    // A chains record made for fewer pulses than a series may now hold (the
    // levels or the dialogs raised wMaxPulses) is made again first.
    if (!s.lpChainsHeader || s.wMaxPulses > s.wChainsPulsesCapacity) {
        ChainsHeader* chains = makeChainsHeader(hWnd, s.wChainsQuantity, s.wMaxPulses, s.lpChainsHeader);
        s.lpChainsHeader = chains;
        s.wChainsPulsesCapacity = chains ? s.wMaxPulses : 0;
        if (!chains)
            return false;
    }
    if (tuples) {
        if (!runTupleStage(hWnd))
            return false;  // no subset selected: the selection view is open
    } else {
        runPulseDetector(hWnd);
    }
    if (!recordRunDescription(hWnd)) {
        MessageBoxA(hWnd, "Ошибка addToChainsHeader!", " About ChainsHeader ", MB_OK);
        return false;
    }
    s.wViewMode = kViewResults;
    s.wResultsMode = 1;
    return true;
}

// Stage 6: ask for the repaints the new results need.
void showResults(HWND hWnd)
{
    ProgramState& s = gState;
    invalidateSeriesArea(hWnd, s.bOverdrawSeries ? 0 : 1);
    invalidateDirtyPanels(hWnd);
    if (s.bButtonsChanged == 1)
        invalidateButtonsArea(hWnd);
}

// Stages 1 and 2: a new etalon sequence from the required list, the Next
// values into the current ones.
bool prepareNextSeries(HWND hWnd)
{
    ProgramState& s = gState;
    s.wProcessingType = processingTypeFor(s.wTaskType, s.wSeriesType);
    s.wImpulseQuantity = s.wNextImpulseQuantity;
    const uint16_t count = pulsesUpperBound(s.dwNextSeriesLength, s.wImpulseSize, s.wTmin);
    s.wMaxPulses = count;
    if (!growEtalonSequence(count)) {
        MessageBoxA(hWnd, "Нет памяти для lpEtalonSequence!", "CM_INFO", MB_OK);
        return false;
    }
    if (s.wRequiredQuantity == 0 || !s.lpRequiredList) {
        // Nothing is required (Unselect All): as the series dialog does, etalon
        // 1 becomes the one required etalon rather than dividing by zero.
        for (int k = 0; k < kAlphabetCapacity; k++)
            s.EtalonSelected[k] = (k == 0);
        rebuildRequiredList();
        s.wSelectedEtalon = 1;
        if (s.wRequiredQuantity == 0)
            return false;
    }
    for (uint16_t i = 0; i < count; i++) {
        const int32_t r = nextSequenceRandom(s.streams);
        s.lpEtalonSequence[i] = s.lpRequiredList[(r >> 3) % s.wRequiredQuantity];
    }
    s.dwSeriesLength = s.dwNextSeriesLength;
    s.wMinPulses = pulsesLowerBound(s.dwSeriesLength, s.wImpulseSize, s.wTmax);
    s.wMaxPulses = pulsesUpperBound(s.dwSeriesLength, s.wImpulseSize, s.wTmin);
    s.wImpulseQuantity = clampedQuantity(s.wNextImpulseQuantity);
    s.wNoiseLevel = s.wNextNoiseLevel;
    s.wLostDataLevel = s.wNextLostDataLevel;
    s.wSavedEnergyLevel = static_cast<uint16_t>(s.wNextSavedEnergyLevel);
    s.wProcSavedEnergyLevel = static_cast<uint16_t>(s.wNextProcSavedEnergyLevel);
    if (!growEtalonSequence(s.wMaxPulses)) {
        MessageBoxA(hWnd, "Нет памяти для lpEtalonSequence!", "CM_INFO", MB_OK);
        return false;
    }
    if (s.wProcessingType == kTaskDetection || s.wProcessingType == kTaskRecognition)
        for (uint16_t i = 1; i < s.wMaxPulses; i++)
            s.lpEtalonSequence[i] = s.lpEtalonSequence[0];  // one etalon for the whole series
    return true;
}

/*==========================================================================
** Repaint commands
**========================================================================*/

void takeLevels(HWND hWnd)
{
    ProgramState& s = gState;
    s.dwNextSeriesLength = static_cast<uint32_t>(chosenLevel(s.SeriesLengthTable));
    s.wMinPulses = pulsesLowerBound(s.dwNextSeriesLength, s.wImpulseSize, s.wTmax);
    s.wMaxPulses = pulsesUpperBound(s.dwNextSeriesLength, s.wImpulseSize, s.wTmin);
    s.wNextImpulseQuantity = static_cast<uint16_t>((s.wMinPulses + s.wMaxPulses) / 2);
    s.wNextNoiseLevel = static_cast<int16_t>(chosenLevel(s.NoiseLevelTable));
    s.wNextLostDataLevel = static_cast<int16_t>(chosenLevel(s.LostDataLevelTable));
    s.wNextSavedEnergyLevel = s.wNextProcSavedEnergyLevel = static_cast<int16_t>(100 - s.wNextLostDataLevel);
    InvalidateRect(hWnd, nullptr, 1);
}

void redrawEtalon(HWND hWnd)
{
    ProgramState& s = gState;
    auto cell = [&](int32_t etalon) {
        if (etalon < 1 || etalon > kAlphabetCapacity)
            return;
        // 1 pixel to the left and up, 3 to the right and down: the frames of a
        // selected cell reach one pixel outside it.
        RECT r = invalidationRect(gDisplay.EtalonCellRect[etalon - 1], 1, 1, 3, 3);
        InvalidateRect(hWnd, &r, 1);
    };
    cell(s.wSelectedEtalon);
    if (s.wProcessingType == kTaskDetection) {
        cell(s.wPreviousSelectedEtalon);
    } else {
        RECT r = invalidationRect(gDisplay.SelectAllButtonRect, 0, 0, 0, 0);
        InvalidateRect(hWnd, &r, 1);
    }
}

void redrawAlphabet(HWND hWnd)
{
    ProgramState& s = gState;
    invalidateSeriesArea(hWnd, 1);
    if (s.wProcessingType != kTaskDetection) {
        RECT r = invalidationRect(gDisplay.SelectAllButtonRect, 0, 0, 0, 0);
        InvalidateRect(hWnd, &r, 1);
    }
    if (s.bButtonsChanged == 1)
        invalidateButtonsArea(hWnd);
}

/*==========================================================================
** Menu commands
**========================================================================*/

void chooseTask(HWND hWnd, UINT id)
{
    ProgramState& s = gState;
    checkMenuGroupItem(hWnd, id);
    switch (id) {
    case IDM_DETECTION:
        s.wTaskType = kTaskDetection;
        if (isTupleSeries(s.wSeriesType)) {
            s.wProcessingType = kProcTuplesDetection;
        } else {
            s.wProcessingType = kTaskDetection;
            if (s.wSelectedEtalon < 1 || s.wSelectedEtalon > s.wAlphabetSize)
                s.wSelectedEtalon = 1;
            for (int k = 0; k < kAlphabetCapacity; k++)
                s.EtalonSelected[k] = (k + 1 == s.wSelectedEtalon);
            rebuildRequiredList();
        }
        break;
    case IDM_RECOGNITION:
        s.wTaskType = s.wProcessingType = kTaskRecognition;
        if (isTupleSeries(s.wSeriesType))
            s.wProcessingType = kProcTuplesRecognition;
        break;
    case IDM_JOINT: s.wTaskType = s.wProcessingType = kTaskJoint; break;
    case IDM_SERIES_PROCESSING:
        s.wTaskType = s.wProcessingType = kTaskSeriesProcessing;
        s.wResultsMode = 1;
        break;
    }
}

void chooseSeriesType(HWND hWnd, UINT id)
{
    ProgramState& s = gState;
    checkMenuGroupItem(hWnd, id);
    switch (id) {
    case IDM_FIXED_WHOLE: s.wSeriesType = kSeriesFixedWhole; break;
    case IDM_UNFIXED_WHOLE: s.wSeriesType = kSeriesUnfixedWhole; break;
    case IDM_FIXED_CUTOFF: s.wSeriesType = kSeriesFixedCutoff; break;
    case IDM_UNFIXED_CUTOFF: s.wSeriesType = kSeriesUnfixedCutoff; break;
    case IDM_FIXED_TUPLES: s.wSeriesType = kSeriesFixedTuples; break;
    case IDM_UNFIXED_TUPLES: s.wSeriesType = kSeriesUnfixedTuples; break;
    }
    if (!isCutoffSeries(s.wSeriesType))
        forceWholePulses();
}

} // namespace

void invalidateSeriesArea(HWND hWnd, BOOL erase)
{
    // Extended 10 pixels upwards, for this invalidation only.
    RECT r = invalidationRect(gDisplay.SeriesAreaRect, 0, 10, 0, 0);
    InvalidateRect(hWnd, &r, erase);
}

void checkMenuGroupItem(HWND hWnd, UINT id)
{
    HMENU menu = GetMenu(hWnd);
    for (UINT other : menuGroupItems(menuGroupOf(id)))
        if (other != id)
            CheckMenuItem(menu, other, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(menu, id, MF_BYCOMMAND | MF_CHECKED);
}

/*==========================================================================
** Dispatcher
**========================================================================*/

void doCommand(HWND hWnd, UINT id)
{
    ProgramState& s = gState;
    switch (id) {
    /* The pipeline: each entry falls through to the later stages. */
    case CM_NEXT_SERIES:
        if (prepareNextSeries(hWnd) && buildSeries(hWnd) && processSeries(hWnd))
            showResults(hWnd);
        break;
    case CM_BUILD_SERIES:
        if (buildSeries(hWnd) && processSeries(hWnd))
            showResults(hWnd);
        break;
    case CM_PROCESS:
        if (processSeries(hWnd))
            showResults(hWnd);
        break;
    case CM_SHOW_RESULTS: showResults(hWnd); break;
    case CM_NONE: break;
    case CM_EXIT:
    case IDM_EXIT: SendMessageA(hWnd, WM_CLOSE, 0, 0); break;

    /* Repaints. */
    case CM_TAKE_LEVELS: takeLevels(hWnd); break;
    case CM_REDRAW_ETALON: redrawEtalon(hWnd); break;
    case CM_REDRAW_ALPHABET: redrawAlphabet(hWnd); break;
    case CM_REDRAW_AREA_NOERASE: invalidateSeriesArea(hWnd, 0); break;

    /* Task and series type. */
    case IDM_DETECTION:
    case IDM_RECOGNITION:
    case IDM_JOINT:
    case IDM_SERIES_PROCESSING: chooseTask(hWnd, id); break;
    case IDM_FIXED_WHOLE:
    case IDM_UNFIXED_WHOLE:
    case IDM_FIXED_CUTOFF:
    case IDM_UNFIXED_CUTOFF:
    case IDM_FIXED_TUPLES:
    case IDM_UNFIXED_TUPLES: chooseSeriesType(hWnd, id); break;

    /* Processing. */
    case IDM_PROCESS_SAME: s.wResultsMode = 1; SendMessageA(hWnd, WM_COMMAND, CM_PROCESS, 0); break;
    case IDM_PROCESS_NEXT: s.wResultsMode = 1; SendMessageA(hWnd, WM_COMMAND, CM_NEXT_SERIES, 0); break;
    case IDM_MORE_DETAILS: SendMessageA(hWnd, WM_COMMAND, CM_PROCESS, 0); break;
    case IDM_TYPE_MORE: s.bOverdrawSeries = 1; SendMessageA(hWnd, WM_COMMAND, CM_SHOW_RESULTS, 0); break;
    case IDM_FIXED_CASE:
    case IDM_UNFIXED_CASE:
        s.wSeriesType = (id == IDM_FIXED_CASE) ? kSeriesFixedWhole : kSeriesUnfixedWhole;  // marks unchanged
        s.wResultsMode = 1;
        SendMessageA(hWnd, WM_COMMAND, CM_NEXT_SERIES, 0);
        break;
    case IDM_REPEAT_DETECTION:
    case IDM_REPEAT_RECOGNITION:
    case IDM_REPEAT_JOINT:
    case IDM_REPEAT_PROCESSING: {
        static const uint16_t tasks[] = {kTaskDetection, kTaskRecognition, kTaskJoint, kTaskSeriesProcessing};
        s.wTaskType = tasks[id - IDM_REPEAT_DETECTION];  // marks unchanged
        s.wResultsMode = 1;
        SendMessageA(hWnd, WM_COMMAND, CM_NEXT_SERIES, 0);
        break;
    }
    case IDM_DEBUG_REPEAT:
        s.bDebugRepeat = 1;
        s.wResultsMode = 1;
        SendMessageA(hWnd, WM_COMMAND, CM_PROCESS, 0);
        break;

    /* Views and the image. */
    case IDM_SELECT_SET:
        s.wViewMode = kViewSubset;
        invalidateSeriesArea(hWnd, 1);
        break;
    case IDM_SAVE_IMAGE: MakeSnapshot(hWnd); break;

    default: doDialogCommand(hWnd, id); break;  // the dialogs, the simulation and the panels
    }
}
