// The display: the paint dispatcher of the main window, its layout (the
// rectangles that mouse handling hit-tests and the commands invalidate), the
// alphabet view and the level choice panels, and the mouse entry points.
// Public face of src/display/ for the shell, the snapshot export and app/.
#pragma once

#include "platform/window.h"

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
    int32_t dwPanelsBottom = 0;               // bottom of the last choice panel
};

extern DisplayState gDisplay;  // written by every paint; read by mouse handling and the commands

// The whole layout for a client rectangle and the font's metrics, from the
// program state (processing type, series type, alphabet size, selection), as
// paintMainWindow computes it before drawing. Touches no surface.
void layoutMainWindow(const RECT& client, const TEXTMETRICA& metrics, DisplayState& out);
// The hit rectangles of `count` choices in a choice panel.
void choiceItemRects(const RECT& panel, int32_t lineHeight, int count, RECT* items);

/*---- Painting ----*/

// The paint handler of the main window; returns EndPaint's result.
LRESULT paintMainWindow(HWND hWnd);
// The grid of etalons (view 5).
void drawAlphabetView(HWND hWnd, HDC hdc);
// One column of radio-style choices; writes itemRects (count entries). Returns 1.
int drawChoicePanel(HWND hWnd, HDC hdc, const RECT& panelRect, RECT* itemRects, const char* title, int32_t count,
                    const int32_t* values, int32_t index, int32_t current);

/*---- Mouse ----*/

// Left button press (flag 1 for a double click, handled the same), release and move.
void pressMainWindow(HWND hWnd, int doubleClick, int x, int y, WPARAM keys);
void releaseMainWindow(HWND hWnd, int x, int y, WPARAM keys);
void moveMainWindow(HWND hWnd, int x, int y, WPARAM keys);
