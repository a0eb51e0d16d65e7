// The paint dispatcher of the main window and its layout: button column,
// series area with the alphabet grid, level choice panels; the alphabet view
// and the choice panel; the other views come from their own files.
//
// Sections: layout - helpers - alphabet view - choice panel - dispatcher
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "display/display_private.h"
#include "display/textout.h"
#include "shell/state.h"

DisplayState gDisplay;

void resetDisplayState()
{
    gDisplay = DisplayState();
    gSeriesView = SeriesViewState();
}

/*==========================================================================
** Layout
**========================================================================*/

void choiceItemRects(const RECT& panel, int32_t lineHeight, int count, RECT* items)
{
    const int32_t w = panel.right - panel.left + 1;
    const int32_t x = panel.left + 10;
    int32_t y = panel.top + (lineHeight >> 1) + lineHeight;  // below the caption that straddles the top edge
    for (int k = 0; k < count; k++) {
        // One and a half lines per choice; the last row of pixels belongs to the next.
        items[k] = RECT{x, y, x + w - 20, y + lineHeight + (lineHeight >> 1) - 1};
        y += lineHeight + (lineHeight >> 1);
    }
}

void layoutMainWindow(const RECT& client, const TEXTMETRICA& tm, DisplayState& d)
{
    const ProgramState& s = gState;
    const int32_t L = client.left, T = client.top, R = client.right, B = client.bottom;
    d.TextMetrics = tm;
    d.wLineHeight = tm.tmHeight + tm.tmExternalLeading - 1;
    d.wAveCharWidth = tm.tmAveCharWidth;
    d.wMaxCharWidth = tm.tmMaxCharWidth;

    // Button column: 143 pixels between left and right (both inclusive: the
    // 144-pixel picture fills it), 10 pixels from the window's right edge.
    d.ExitButtonRect = RECT{R - 154, B - 42, R - 11, B - 11};
    d.NextButtonRect = RECT{R - 154, B - 84, R - 11, B - 53};
    int32_t y = B - 126;
    const uint16_t p = s.wProcessingType;
    d.bSelectButtonExists = (p != kTaskDetection && p != kProcTuplesDetection && p != kProcTuplesRecognition);
    if (d.bSelectButtonExists) {
        d.SelectAllButtonRect = d.UnselectAllButtonRect = RECT{R - 154, y, R - 11, y + 31};
        y -= 42;
    }
    d.RestartButtonRect = RECT{R - 154, y, R - 11, y + 31};
    d.ButtonsAreaRect = RECT{R - 154, y - 42, R - 11, B - 95};
    int selected = 0;
    for (int i = 0; i < s.wAlphabetSize && i < kAlphabetCapacity; i++)
        selected += (s.EtalonSelected[i] == 1);
    d.bSelectAllShown = (2 * selected <= s.wAlphabetSize) ? 1 : 0;

    // Series area: what is left of the button column, shrunk to whole cells.
    d.SeriesAreaRect.left = L + 10;
    d.SeriesAreaRect.top = T + 10;
    const int32_t aw = (R - 154) - 10 - (L + 10) + 1;
    const int32_t ah = B - 10 - (T + 10) + 1;
    int32_t k = 1;
    while (k * (k + 1) < s.wAlphabetSize)
        k++;
    const int32_t c = k + 1, r = k;
    // A window too small for the grid gets cells of size 0, not negative sizes
    // wrapped into 16 bits.
    const int32_t cw = std::max(0, (aw - (c + 1) * 10) / c);
    const int32_t ch = std::max(0, (ah - (r + 1) * 10) / r);
    d.wCellWidth = static_cast<uint16_t>(cw);
    d.wCellHeight = static_cast<uint16_t>(ch);
    d.wCellInnerWidth = static_cast<uint16_t>(std::max(0, cw - 10));
    d.wCellInnerHeight = static_cast<uint16_t>(std::max(0, ch - 10));
    const int32_t gw = cw * c + (c + 1) * 10, gh = ch * r + (r + 1) * 10;
    d.SeriesAreaRect.right = d.SeriesAreaRect.left + gw - 1;  // inclusive
    d.SeriesAreaRect.bottom = d.SeriesAreaRect.top + gh - 1;  // inclusive

    int32_t x = d.SeriesAreaRect.left + 10;
    y = d.SeriesAreaRect.top + 10;
    for (int i = 0; i < s.wAlphabetSize && i < kAlphabetCapacity; i++) {
        d.EtalonCellRect[i] = RECT{x, y, x + cw - 1, y + ch - 1};
        x += cw + 10;
        if ((i + 1) % c == 0) {
            x = d.SeriesAreaRect.left + 10;
            y += ch + 10;
        }
    }

    // Choice panels, six lines each, one line apart, right of the series area.
    const int32_t lh = d.wLineHeight;
    d.SeriesLengthPanelRect = RECT{d.SeriesAreaRect.right + 10, d.SeriesAreaRect.top, R - 10,
                                   d.SeriesAreaRect.top + 6 * lh};
    d.NoiseLevelPanelRect = d.SeriesLengthPanelRect;
    d.NoiseLevelPanelRect.top = d.SeriesLengthPanelRect.bottom + lh;
    d.NoiseLevelPanelRect.bottom = d.NoiseLevelPanelRect.top + 6 * lh;
    d.dwPanelsBottom = d.NoiseLevelPanelRect.bottom;
    choiceItemRects(d.SeriesLengthPanelRect, lh, kLevelChoices, d.SeriesLengthItemRect);
    choiceItemRects(d.NoiseLevelPanelRect, lh, kLevelChoices, d.NoiseLevelItemRect);
    d.bLostDataPanelShown = isCutoffSeries(s.wSeriesType);
    if (d.bLostDataPanelShown) {
        d.LostDataLevelPanelRect = d.NoiseLevelPanelRect;
        d.LostDataLevelPanelRect.top = d.NoiseLevelPanelRect.bottom + lh;
        d.LostDataLevelPanelRect.bottom = d.LostDataLevelPanelRect.top + 6 * lh;
        d.dwPanelsBottom = d.LostDataLevelPanelRect.bottom;
        choiceItemRects(d.LostDataLevelPanelRect, lh, kLevelChoices, d.LostDataLevelItemRect);
    }
}

/*==========================================================================
** Helpers
**========================================================================*/

namespace {

// An outline from (x, y) over width w and height h: lines to (x, y + h),
// (x + w, y + h), (x + w, y) and back. With a rectangle's inclusive right and
// bottom, w = right - left + 1 puts the frame one pixel outside them.
void outline(HDC hdc, int32_t x, int32_t y, int32_t w, int32_t h)
{
    MoveToEx(hdc, x, y, nullptr);
    LineTo(hdc, x, y + h);
    LineTo(hdc, x + w, y + h);
    LineTo(hdc, x + w, y);
    LineTo(hdc, x, y);
}

void outlineRect(HDC hdc, const RECT& r)
{
    outline(hdc, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
}

void blitButton(HDC hdc, HBITMAP picture, const RECT& at)
{
    if (!picture)
        return;
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(hdc, at.left, at.top, kButtonWidth, kButtonHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void blitSelectButton(HDC hdc)
{
    if (!gDisplay.bSelectButtonExists)
        return;
    if (gDisplay.bSelectAllShown)
        blitButton(hdc, gState.hBitmap5, gDisplay.SelectAllButtonRect);
    else
        blitButton(hdc, gState.hBitmap4, gDisplay.UnselectAllButtonRect);
}

} // namespace

/*==========================================================================
** Alphabet view
**========================================================================*/

void drawAlphabetView(HWND, HDC hdc)
{
    const ProgramState& s = gState;
    const DisplayState& d = gDisplay;
    outlineRect(hdc, d.SeriesAreaRect);
    const int32_t A = s.wAmplitude;
    for (int i = 0; i < s.wAlphabetSize && i < kAlphabetCapacity; i++) {
        const PulseHeader& p = s.Alphabet[i];
        const int32_t x0 = d.EtalonCellRect[i].left, y0 = d.EtalonCellRect[i].top;
        const int32_t x = x0 + 5;
        int32_t y = y0 + 5;
        const int32_t w = d.wCellInnerWidth, h = d.wCellInnerHeight - d.wLineHeight;
        int32_t energy = 0;
        for (int j = 0; j < p.wLength && p.lpData; j++)
            energy += p.lpData[j] * p.lpData[j];
        char caption[64];
        std::snprintf(caption, sizeof caption, " pulse %d [%d]", p.wNumber, energy);
        text(hdc, x, y, caption);
        y += d.wLineHeight;
        // Axes with the default pen.
        MoveToEx(hdc, x, y, nullptr);
        LineTo(hdc, x, y + h);
        MoveToEx(hdc, x, y + h / 2, nullptr);
        LineTo(hdc, x + w - 1, y + h / 2);
        HPEN pen = CreatePen(PS_SOLID, 1, s.EtalonSelected[i] == 1 ? RGB(0, 0, 255) : RGB(0, 0, 127));
        HGDIOBJ oldPen = SelectObject(hdc, pen);
        const int32_t dx[3] = {0, 1, 0}, dy[3] = {0, 0, -1};  // three strokes make a bold curve
        for (int t = 0; t < 3 && p.lpData && A != 0; t++) {
            const int32_t cx = x + dx[t], cy = y + dy[t];
            MoveToEx(hdc, cx, cy + h / 2, nullptr);
            int32_t lastX = cx;
            for (int j = 0; j < p.wLength; j++) {
                // An etalon of one sample has no step: it stands at the axis origin.
                lastX = cx + (p.wLength > 1 ? j * (w - 6) / (p.wLength - 1) : 0);
                LineTo(hdc, lastX, cy + h - (p.lpData[j] + A) * h / (2 * A));
            }
            LineTo(hdc, lastX, cy + h / 2);
        }
        SelectObject(hdc, oldPen);
        DeleteObject(pen);
        const bool sel = s.EtalonSelected[i] == 1;
        pen = CreatePen(PS_SOLID, 1, sel ? RGB(163, 163, 163) : RGB(127, 127, 127));
        oldPen = SelectObject(hdc, pen);
        outline(hdc, x0, y0, d.wCellWidth, d.wCellHeight);
        if (sel) {
            outline(hdc, x0 + 1, y0 + 1, d.wCellWidth - 2, d.wCellHeight - 2);
            outline(hdc, x0 - 1, y0 - 1, d.wCellWidth + 2, d.wCellHeight + 2);
        }
        SelectObject(hdc, oldPen);
        DeleteObject(pen);
    }
}

/*==========================================================================
** Choice panel
**========================================================================*/

int drawChoicePanel(HWND, HDC hdc, const RECT& panel, RECT* items, const char* title, int32_t count,
                    const int32_t* values, int32_t index, int32_t current, bool inactive)
{
    const int32_t lh = gDisplay.wLineHeight;
    const int32_t w = panel.right - panel.left + 1, h = panel.bottom - panel.top + 1;
    outline(hdc, panel.left, panel.top, w, h);
    const int32_t x = panel.left + 10;
    int32_t d = (lh + 1) >> 3;  // dot inset
    if (d == 0)
        d = 1;
    text(hdc, x - 5, panel.top - (lh >> 1), title);  // a group caption across the top edge
    choiceItemRects(panel, lh, count, items);
    const COLORREF oldColour = inactive ? SetTextColor(hdc, RGB(163, 163, 163)) : 0;
    for (int k = 0; k < count; k++) {
        const RECT& it = items[k];
        Ellipse(hdc, it.left, it.top, it.left + lh, it.top + lh);
        char label[32];
        std::snprintf(label, sizeof label, " %5d ", values[k]);
        text(hdc, x + 2 * lh, it.top, label);
    }
    if (inactive) {
        SetTextColor(hdc, oldColour);
        return 1;
    }
    int32_t sIndex = index - 1;
    if (sIndex < 0 || sIndex >= count)
        sIndex = 0;
    if (count > 0) {
        // Black: the value in force; grey: chosen for the next series only.
        HBRUSH brush = CreateSolidBrush(values[sIndex] == current ? RGB(0, 0, 0) : RGB(163, 163, 163));
        HGDIOBJ old = SelectObject(hdc, brush);
        const RECT& it = items[sIndex];
        Ellipse(hdc, it.left + d, it.top + d, it.left + lh - d, it.top + lh - d);
        SelectObject(hdc, old);
        DeleteObject(brush);
    }
    return 1;
}

/*==========================================================================
** Dispatcher
**========================================================================*/

LRESULT paintMainWindow(HWND hWnd)
{
    ProgramState& s = gState;
    DisplayState& d = gDisplay;
    RECT client;
    GetClientRect(hWnd, &client);
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    if (!hdc)
        return 0;
    d.hOldFont = static_cast<HFONT>(SelectObject(hdc, s.hFont ? s.hFont : GetStockObject(ANSI_VAR_FONT)));
    TEXTMETRICA tm;
    GetTextMetricsA(hdc, &tm);
    layoutMainWindow(client, tm, d);
    if (s.wViewMode != kViewParams)
        leaveParamsPanel(hWnd);  // the Tmin field and the hover cursors belong to the parameter panel only

    switch (s.wViewMode) {
    case kViewAlphabet:
        drawAlphabetView(hWnd, hdc);
        blitButton(hdc, s.hBitmap1, d.NextButtonRect);
        blitButton(hdc, s.hButtonExit, d.ExitButtonRect);
        blitSelectButton(hdc);
        break;
    case kViewResults:
        if (s.wResultsMode == 2) {
            DrawDetectionArrayZ(hWnd, hdc, &s.Alphabet[std::clamp(s.wSelectedEtalon, 1, int32_t(kAlphabetCapacity)) - 1],
                                s.wAmplitude, s.wChartKind, s.wRequiredQuantity, s.lpRequiredList,
                                s.lpRestErrorHeader, s.lpSeriesHeader);
        } else {
            if (s.wProcessingType != kTaskSeriesProcessing || s.wSeriesType == kSeriesFixedWhole ||
                s.wSeriesType == kSeriesFixedCutoff || s.wSeriesType == kSeriesUnfixedWhole ||
                s.wSeriesType == kSeriesUnfixedCutoff)
                drawSeriesView(hWnd, hdc, s.wRequiredQuantity, s.lpRequiredList, s.lpChainsHeader,
                               s.lpSeriesHeader);
            s.bOverdrawSeries = 0;
        }
        blitButton(hdc, s.hButtonStart, d.RestartButtonRect);
        blitButton(hdc, s.hBitmap1, d.NextButtonRect);
        blitButton(hdc, s.hButtonExit, d.ExitButtonRect);
        blitSelectButton(hdc);
        break;
    case kViewSubset:
        layoutSubsetPanel(hWnd);
        if (s.wProcessingType == kProcTuplesRecognition)
            drawTupleSubsetPanel(hWnd, hdc, s.wRequiredQuantity, s.lpRequiredList, s.lpSeriesHeader);
        else
            drawSubsetPanel(hWnd, hdc, s.wRequiredQuantity, s.lpRequiredList, s.lpSeriesHeader);
        blitButton(hdc, s.hBitmap1, d.NextButtonRect);
        blitButton(hdc, s.hButtonExit, d.ExitButtonRect);
        blitSelectButton(hdc);
        break;
    case kViewParams:
        drawParamsPanel(hWnd, hdc, s.lpParamsHeader, s.lpSeriesHeader);
        blitButton(hdc, s.hBitmap1, d.NextButtonRect);
        blitButton(hdc, s.hButtonExit, d.ExitButtonRect);
        blitSelectButton(hdc);
        break;
    default: break;
    }

    // Which panels show a choice not yet in force: processing repaints them.
    auto grey = [](const LevelTable& t, int32_t current) {
        const int32_t k = (t.index >= 1 && t.index <= t.count) ? t.index - 1 : 0;
        return t.count > 0 && t.values[k] != current ? 1 : 0;
    };
    d.bGreyDotShown[0] = grey(s.SeriesLengthTable, static_cast<int32_t>(s.dwSeriesLength));
    d.bGreyDotShown[1] = grey(s.NoiseLevelTable, s.wNoiseLevel);
    d.bGreyDotShown[2] = d.bLostDataPanelShown ? grey(s.LostDataLevelTable, s.wLostDataLevel) : 0;
    const bool inactive = s.bRecordingShown != 0;  // a recording has no length, noise or lost data to choose
    drawChoicePanel(hWnd, hdc, d.SeriesLengthPanelRect, d.SeriesLengthItemRect, " series length: ",
                    s.SeriesLengthTable.count, s.SeriesLengthTable.values, s.SeriesLengthTable.index,
                    static_cast<int32_t>(s.dwSeriesLength), inactive);
    drawChoicePanel(hWnd, hdc, d.NoiseLevelPanelRect, d.NoiseLevelItemRect, " noise level: ", s.NoiseLevelTable.count,
                    s.NoiseLevelTable.values, s.NoiseLevelTable.index, s.wNoiseLevel, inactive);
    if (d.bLostDataPanelShown)
        drawChoicePanel(hWnd, hdc, d.LostDataLevelPanelRect, d.LostDataLevelItemRect, " lost data level: ",
                        s.LostDataLevelTable.count, s.LostDataLevelTable.values, s.LostDataLevelTable.index,
                        s.wLostDataLevel, inactive);

    SelectObject(hdc, d.hOldFont);
    return EndPaint(hWnd, &ps);
}
