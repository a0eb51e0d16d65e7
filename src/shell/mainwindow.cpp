// The main window's life: program entry (class, creation, maximised show, the
// message loop), the routing of its messages, the creation step that builds
// the alphabet and the first series, and the release of everything at the end.
#include "display/display.h"
#include "resources/resources.h"
#include "shell/shell.h"
#include "simulation/simulation.h"
#include "snapshot/snapshot.h"

namespace {

/*---- Creation ----*/

// Loads one button picture; on failure says which and fails the creation.
bool loadButton(HWND hWnd, int resource, const char* name, HBITMAP& into)
{
    into = LoadBitmapA(gState.hInst, resource);
    if (into)
        return true;
    std::string text = std::string("No Bitmap <") + name + ">";
    MessageBoxA(hWnd, text.c_str(), "Fatal Error", MB_OK);
    return false;
}

// Steps 5-7 of creation: the menu marks of series type 2 and task 4, the
// processing type and results mode, the selection that goes with them.
void setInitialKinds(HWND hWnd, ProgramState& s)
{
    // 5. Menu marks: series type 2, task 4.
    HMENU menu = GetMenu(hWnd);
    for (UINT id : {IDM_UNFIXED_CUTOFF, IDM_UNFIXED_WHOLE, IDM_FIXED_WHOLE, IDM_FIXED_CUTOFF, IDM_FIXED_TUPLES,
                    IDM_UNFIXED_TUPLES})
        CheckMenuItem(menu, id, MF_BYCOMMAND | MF_UNCHECKED);
    s.wSeriesType = kSeriesFixedCutoff;
    CheckMenuItem(menu, IDM_FIXED_CUTOFF, MF_BYCOMMAND | MF_CHECKED);
    for (UINT id : {IDM_JOINT, IDM_DETECTION, IDM_RECOGNITION, IDM_SERIES_PROCESSING})
        CheckMenuItem(menu, id, MF_BYCOMMAND | MF_UNCHECKED);
    s.wTaskType = kTaskJoint;
    CheckMenuItem(menu, IDM_JOINT, MF_BYCOMMAND | MF_CHECKED);
    // 6. Processing type and results mode.
    s.wProcessingType = processingTypeFor(s.wTaskType, s.wSeriesType);
    s.wResultsMode = 1;
    // 7. The selection that goes with the processing type.
    for (int k = 0; k < kAlphabetCapacity; k++)
        s.EtalonSelected[k] = 1;
    if (s.wProcessingType == kTaskDetection) {
        s.wSelectedEtalon = s.wEtalonNumber;
        for (int k = 0; k < kAlphabetCapacity; k++)
            s.EtalonSelected[k] = (k + 1 == s.wSelectedEtalon);
    }
    s.wViewMode = (s.wProcessingType == kProcTuplesDetection || s.wProcessingType == kProcTuplesRecognition)
                      ? kViewSubset
                      : kViewAlphabet;
    rebuildRequiredList();
}

// Steps 8-11 of creation: the series length, the pulse counts, the two etalon
// sequences, the noise level, the chains record, the lost data and saved
// energy levels. False (reported) when the sequences get no memory.
bool setInitialSeriesParameters(HWND hWnd, ProgramState& s)
{
    // 8. Series length: the last entry of its table.
    s.SeriesLengthTable.index = s.SeriesLengthTable.count;
    s.dwNextSeriesLength = s.dwSeriesLength = static_cast<uint32_t>(chosenLevel(s.SeriesLengthTable));
    s.wMinPulses = pulsesLowerBound(s.dwSeriesLength, s.wImpulseSize, s.wTmax);
    s.wMaxPulses = pulsesUpperBound(s.dwSeriesLength, s.wImpulseSize, s.wTmin);
    s.wNextImpulseQuantity = s.wImpulseQuantity = static_cast<uint16_t>((s.wMinPulses + s.wMaxPulses) / 2);
    // 9. The two etalon sequences.
    if (!makeEtalonSequences(s.wMaxPulses)) {
        MessageBoxA(hWnd, "Нет памяти для lpEtalonSequence!", " WM_CREATE ", MB_OK);
        return false;
    }
    s.wEtalonSequenceCapacity = s.wNewEtalonSequenceCapacity = s.wMaxPulses;
    // 10. Noise level and the chains record.
    s.NoiseLevelTable.index = 1;
    s.wNextNoiseLevel = s.wNoiseLevel = static_cast<int16_t>(chosenLevel(s.NoiseLevelTable));
    s.wChainsPulsesCapacity = s.wMaxPulses;
    s.lpChainsHeader = makeChainsHeader(hWnd, s.wChainsQuantity, s.wChainsPulsesCapacity, s.lpChainsHeader);
    // 11. Lost data level and the saved energy levels.
    s.LostDataLevelTable.index = 2;
    s.wNextLostDataLevel = static_cast<int16_t>(chosenLevel(s.LostDataLevelTable));
    if (!isCutoffSeries(s.wSeriesType)) {
        s.LostDataLevelTable.index = 1;
        s.wNextLostDataLevel = 0;
    }
    s.wLostDataLevel = s.wNextLostDataLevel;
    const int16_t saved = static_cast<int16_t>(100 - s.wLostDataLevel);
    s.wNextSavedEnergyLevel = s.wNextProcSavedEnergyLevel = s.wNewSavedEnergy = s.wNewProcSavedEnergy = saved;
    s.wSavedEnergyLevel = s.wProcSavedEnergyLevel = static_cast<uint16_t>(saved);
    return true;
}

// Step 12 of creation: the first series, without noise and without processing.
void makeFirstSeries(HWND hWnd, ProgramState& s)
{
    if (isUnfixedSeries(s.wSeriesType)) {
        s.lpSeriesHeader = getRandomCountSeries(hWnd, s.wAlphabetSize, s.Alphabet, s.wImpulseSize, s.wTmin, s.wTmax,
                                                static_cast<int32_t>(s.dwSeriesLength), s.wImpulseQuantity,
                                                s.lpEtalonSequence, s.wAmplitude,
                                                static_cast<int16_t>(s.wSavedEnergyLevel), s.lpSeriesHeader, s.streams);
        if (s.lpSeriesHeader)
            s.wImpulseQuantity = s.lpSeriesHeader->wImpulseQuantity;
    } else {
        s.lpSeriesHeader = getCutOffSeries(hWnd, s.wAlphabetSize, s.Alphabet, s.wImpulseSize, s.wTmin, s.wTmax,
                                           static_cast<int32_t>(s.dwSeriesLength), s.wImpulseQuantity,
                                           s.lpEtalonSequence, s.wAmplitude, static_cast<int16_t>(s.wSavedEnergyLevel),
                                           s.lpSeriesHeader, s.streams);
    }
}

// Window creation; returns false when the window must not come up.
bool createMainWindow(HWND hWnd)
{
    ProgramState& s = gState;
    s.hMainWnd = hWnd;
    forgetLastDetector();
    forgetRecordings();
    resetDisplayState();
    // 1. The five pictures, in this order; the first missing one is fatal.
    if (!loadButton(hWnd, IDB_BUTTONSTART, "ButtonStart", s.hButtonStart) ||
        !loadButton(hWnd, IDB_BUTTONEXIT, "ButtonExit", s.hButtonExit) ||
        !loadButton(hWnd, IDB_BITMAP1, "IDB_BITMAP1", s.hBitmap1) ||
        !loadButton(hWnd, IDB_BITMAP5, "IDB_BITMAP5", s.hBitmap5) ||
        !loadButton(hWnd, IDB_BITMAP4, "IDB_BITMAP4", s.hBitmap4))
        return false;
    // 2. The stock variable-pitch font.
    s.hFont = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    // 3. The alphabet.
    for (PulseHeader& p : s.Alphabet)
        p.lpData.reset();
    s.bAlphabetReady = makeAlphabet(hWnd, s.wAmplitude, s.wAlphabetSize, s.wImpulseSize, s.Alphabet, s.streams);
    if (s.bAlphabetReady)
        s.wViewMode = kViewAlphabet;
    // 4. Every etalon required.
    s.wRequiredQuantity = s.wRequiredCapacity = s.wAlphabetSize;
    s.lpRequiredList = getRequiredList(hWnd, s.wRequiredQuantity, s.lpRequiredList);
    if (!s.lpRequiredList)
        s.wRequiredQuantity = s.wRequiredCapacity = 0;
    setInitialKinds(hWnd, s);
    if (!setInitialSeriesParameters(hWnd, s))
        return false;
    makeFirstSeries(hWnd, s);
    // 13. The child edit.
    s.hTminEdit = CreateWindowExA(0, "edit", "Tmin Text", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, hWnd,
                                  kTminEditId, s.hInst, nullptr);
    return true;
}

/*---- Destruction ----*/

void destroyMainWindow(HWND hWnd)
{
    ProgramState& s = gState;
    for (HBITMAP* b : {&s.hButtonStart, &s.hButtonExit, &s.hBitmap1, &s.hBitmap5, &s.hBitmap4}) {
        DeleteObject(*b);
        *b = nullptr;
    }
    DeleteObject(s.hFont);  // a stock object: nothing is released
    s.hFont = nullptr;
    freeAlphabet(s.wAlphabetSize, s.Alphabet);
    freeRequiredList(s.lpRequiredList);
    s.lpRequiredList = nullptr;
    s.wRequiredQuantity = s.wRequiredCapacity = 0;
    releaseEtalonSequences();
    freeSeriesHeader(s.lpSeriesHeader);
    s.lpSeriesHeader = nullptr;
    releaseChainsHeader(hWnd, s.lpChainsHeader);
    s.lpChainsHeader = nullptr;
    freeRestErrHeader(s.lpRestErrorHeader);
    s.lpRestErrorHeader = nullptr;
    freeParamsHeader(hWnd, s.lpParamsHeader);
    s.lpParamsHeader = nullptr;
    freeSubsetPanel();  // the subset panel's lists
    s.hTminEdit = nullptr;
    s.hMainWnd = nullptr;
    PostQuitMessage(0);
}

} // namespace

/*---- Message routing ----*/

LRESULT mainWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return createMainWindow(hWnd) ? 0 : -1;
    case WM_DESTROY: destroyMainWindow(hWnd); return 0;
    case WM_PAINT: return paintMainWindow(hWnd);
    case WM_KEYDOWN:
        if (turnRecordingPage(hWnd, static_cast<int>(wParam)))
            return 0;
        if (wParam == 0 || wParam == 1)
            InvalidateRect(hWnd, nullptr, 1);
        return 0;
    case WM_COMMAND: doCommand(hWnd, LOWORD(wParam)); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        pressMainWindow(hWnd, message == WM_LBUTTONDBLCLK ? 1 : 0, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                        wParam);
        return 0;
    case WM_LBUTTONUP: releaseMainWindow(hWnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam); return 0;
    case WM_MOUSEMOVE: moveMainWindow(hWnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam); return 0;
    default: return DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

/*---- Program entry ----*/

HWND startMainWindow(HINSTANCE instance, HINSTANCE previous)
{
    loadResources();
    gState.hInst = instance;
    if (!previous) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = mainWindowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.menuResource = IDR_MAINMENU;
        wc.lpszClassName = kMainWindowClass;
        if (!RegisterClassA(&wc))
            return nullptr;
    }
    HWND hWnd = CreateWindowExA(0, kMainWindowClass, kMainWindowClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0, instance, nullptr);
    if (!hWnd)
        return nullptr;
    ShowWindow(hWnd, SW_SHOWMAXIMIZED);  // maximised whatever show mode was asked
    UpdateWindow(hWnd);
    return hWnd;
}

int runMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
