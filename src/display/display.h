// The display's public face for the shell and app/: the paint and mouse entry
// points of the main window, the layout the commands invalidate, the subset
// panel's state the redraw commands read, the parameter panel's record, and a
// statistics chart painted from plain inputs. Everything else of src/display/
// is in display_private.h.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

struct PulseHeader;   // one etalon (src/synthesis/)
struct SeriesHeader;  // one series with its truth and detected pulses (src/synthesis/)
struct ChainsHeader;  // best candidate chains of the last processing (src/detection/)
struct RestoreErrorHeader;  // grid and error tables of a simulation (src/simulation/)
struct ParamsHeader;  // the parameter panel's record (display_private.h)

/*---- Layout state (client pixels; right and bottom inclusive) ----*/

inline constexpr int kButtonWidth = 144;   // button picture, pixels
inline constexpr int kButtonHeight = 32;   // button picture, pixels
inline constexpr int kLevelChoices = 3;    // choices per level table

struct DisplayState {
    HFONT hOldFont = nullptr;                 // font selected before the paint; restored at its end
    TEXTMETRICA TextMetrics{};                // metrics of hFont at the last paint
    int32_t wLineHeight = 0;                  // tmHeight + tmExternalLeading - 1: line step of every text
    int32_t wAveCharWidth = 0;                // tmAveCharWidth
    int32_t wMaxCharWidth = 0;                // tmMaxCharWidth
    RECT ExitButtonRect{};                    // Exit button
    RECT NextButtonRect{};                    // Next button
    RECT SelectAllButtonRect{};               // Select All / Unselect All (same place); set only when shown
    RECT UnselectAllButtonRect{};             // same values as SelectAllButtonRect
    RECT RestartButtonRect{};                 // Restart button (drawn in view 6)
    RECT ButtonsAreaRect{};                   // above and over the upper buttons: invalidated by commands
    int32_t bSelectButtonExists = 0;          // 1 when the processing type has a select button (not 1, 36, 40)
    int32_t bSelectAllShown = 0;              // 1: Select All is the picture shown, 0: Unselect All
    RECT SeriesAreaRect{};                    // the main drawing area, a whole number of alphabet cells
    uint16_t wCellWidth = 0;                  // alphabet cell width, >= 0 (clamped)
    uint16_t wCellHeight = 0;                 // alphabet cell height, >= 0 (clamped)
    uint16_t wCellInnerWidth = 0;             // cell width - 10
    uint16_t wCellInnerHeight = 0;            // cell height - 10
    RECT EtalonCellRect[20]{};                // cell of etalon i + 1
    RECT SeriesLengthPanelRect{};             // series length choices
    RECT NoiseLevelPanelRect{};               // noise level choices
    RECT LostDataLevelPanelRect{};            // lost data level choices (series types 2 and 8 only)
    RECT SeriesLengthItemRect[kLevelChoices]{};   // hit rectangle of each series length choice
    RECT NoiseLevelItemRect[kLevelChoices]{};     // hit rectangle of each noise level choice
    RECT LostDataLevelItemRect[kLevelChoices]{};  // hit rectangle of each lost data level choice
    int32_t bLostDataPanelShown = 0;          // 1 when the lost data panel was laid out
    int32_t bGreyDotShown[3] = {0, 0, 0};     // length, noise, lost data panel: 1 when the last paint showed a grey dot
    int32_t dwPanelsBottom = 0;               // bottom of the last choice panel
};

extern DisplayState gDisplay;  // written by every paint; read by mouse handling and the commands
// Forgets the layout of every paint (gDisplay, gSeriesView): a new main
// window starts from nothing an earlier one left.
void resetDisplayState();

/*---- Painting and mouse ----*/

// The paint handler of the main window; returns EndPaint's result.
LRESULT paintMainWindow(HWND hWnd);

// Left button press (flag 1 for a double click, handled the same), release and move.
void pressMainWindow(HWND hWnd, int doubleClick, int x, int y, WPARAM keys);
void releaseMainWindow(HWND hWnd, int x, int y, WPARAM keys);
void moveMainWindow(HWND hWnd, int x, int y, WPARAM keys);

/*---- Subset selection panel (view 9) ----*/

inline constexpr int32_t kSubsetCapacity = 10;       // strip slots and entries of a reserved subset
inline constexpr int32_t kSubsetCells = 20;          // cells of the top panel at most
inline constexpr int32_t kSubsetButtonsAllocated = 8; // rectangles of ButtonsWhileSelectedSubsetRect

// The panel's own state, kept between paints (zero at start). The strip
// (selectedSubset, wSelectedSubsetLength), the stored subsets and the picked one
// live in the program state, where the tuple stage of processing reads them.
struct SubsetPanelState {
    int32_t wInitReservedSubsets = 10;             // reserved subsets allocated on first layout
    RECT* possibleSubsetRect = nullptr;            // [capacity] the strip's slots at the last paint
    int32_t* selectedSubsetMarks = nullptr;        // [capacity] 1: slot marked; second half of the selectedSubset block
    RECT** possibleSubsetArrayRect = nullptr;      // [wReservedSubsets] row starts: capacity cells, then the row
    RECT* possibleSubsetArrayBlock = nullptr;      // storage behind possibleSubsetArrayRect
    RECT* ButtonsWhileSelectedSubsetRect = nullptr; // [kSubsetButtonsAllocated] one per button, allocated once
    int32_t wButtonsQuantity = 0;                  // buttons of the panel drawn last: 4 or 6
    RECT SubsetCellRect[kSubsetCells]{};           // cells of the top panel, right and bottom inclusive
    int32_t wSubsetCellsShown = 0;                 // cells laid out at the last paint (the others are not hit)
    RECT SubsetStripRect{};                        // the strip's frame, right and bottom inclusive
    int32_t wSubsetSlotsShown = 0;                 // slots laid out at the last paint, <= capacity
    int32_t bMarkAllOnce = 0;                      // the next tuple-panel paint marks every used slot, then clears it
    // Storage behind the views above and gState's subset views, zero-filled when made.
    std::vector<RECT> stripRectStore;              // behind possibleSubsetRect
    std::vector<int32_t> stripStore;               // behind gState.selectedSubset and selectedSubsetMarks
    std::vector<int32_t> sizeStore;                // behind gState.selectedSubsetArraySize
    std::vector<RECT> rowRectStore;                // behind possibleSubsetArrayBlock
    std::vector<RECT*> rowStartStore;              // behind possibleSubsetArrayRect
    std::vector<int32_t> rowStore;                 // behind gState.selectedSubsetArray
    std::vector<RECT> buttonStore;                 // behind ButtonsWhileSelectedSubsetRect
};
extern SubsetPanelState gSubsetPanel;  // written by the panel; read by its presses and the redraw commands

// At window destruction: releases the panel's arrays and forgets the strip
// and the stored subsets.
void freeSubsetPanel();

/*---- Parameter panel (view 10) ----*/

// Refreshes the panel from the series (a new record when none is given);
// without a series the given record comes back unchanged. Null after a message.
ParamsHeader* getParamsHeader(HWND hWnd, const SeriesHeader* lpSeriesHeader, ParamsHeader* lpParamsHeader);
// Releases the areas and the record; accepts none.
void freeParamsHeader(HWND hWnd, ParamsHeader* lpParamsHeader);

/*---- Statistics charts ----*/

// What the charts read besides the records: the layout of this paint, the
// scale options of the Show Statistical Simulation dialog and the run's times.
struct ChartOptions {
    RECT SeriesAreaRect{};        // the area, right and bottom inclusive
    int32_t wLineHeight = 0;      // line step of the texts of the display
    int32_t bFixedUpperBound = 0; // 1: the top of the chart is dUpperBound
    double dUpperBound = 0.25;    // top of the chart when fixed, as an error value
    int64_t simStartTime = 0;     // calendar time the run started, seconds
    int64_t simEndTime = 0;       // calendar time the run ended, seconds
};

// Everything one chart is computed from.
struct ChartInputs {
    ChartOptions options;                          // layout, scale options, times
    const PulseHeader* lpFirstEtalon = nullptr;    // etalon of reference when the series names none
    int16_t wAmplitude = 128;                      // drawing amplitude; 0: from the series' noise level
    int32_t wChartKind = 2;                        // 0..5, 12, 13
    uint16_t wRequiredQuantity = 0;                // b, required etalons
    const uint16_t* lpRequiredList = nullptr;      // [b] their 1-based numbers
    const RestoreErrorHeader* lpRestErrorHeader = nullptr; // the simulation's record
    const SeriesHeader* lpSeriesHeader = nullptr;  // the series of the last trial
};

// The title line of a chart kind ("" for an unknown kind).
const char* chartTitle(int32_t kind);

// The whole chart view from plain inputs; the rows of stored subsets go to
// patternRows (may be null). Returns 1, or 0 when nothing but the frame could
// be drawn.
int paintStatisticsChart(HWND hWnd, HDC hdc, const ChartInputs& in, std::vector<RECT>* patternRows);
