// The subset selection panel (view 9): painting of the plain panel and of the
// tuple panel with its reserved subsets, the raised text buttons, the presses
// on the panel's cells, strip, buttons and rows, and the commit that hands the
// strip or the stored subsets to the series header. One paint or press at a
// time, on the window's thread.
//
// Sections: helpers - painting - commit - presses
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/display_private.h"
#include "resources/resources.h"
#include "display/textout.h"
#include "platform/allocation.h"
#include "shell/state.h"

/*==========================================================================
** Helpers
**========================================================================*/

namespace {

constexpr COLORREF kPanelBackground = RGB(235, 240, 225);
constexpr COLORREF kEmptySlotOutline = RGB(160, 160, 160);
constexpr COLORREF kReservedRowOutline = RGB(215, 220, 205);
constexpr int kLabelListEnd = 21;  // a label list is scanned this far for its end

const char* const SubsetButtonLabels[] = {" Delete All ", " Delete ", " Cancel ", " OK ", nullptr};
const char* const TupleSubsetButtonLabels[] = {" Delete All ", " Delete ", " Cancel ", " OK ",
                                               " Accept ",     " Clear All ", nullptr};

enum : int { kDeleteAll = 0, kDelete = 1, kCancel = 2, kOk = 3, kAccept = 4, kClearAll = 5 };

// What a chosen subset runs on: the next series built from it, or the series
// opened from a file, which has no next.
UINT nextOrSame()
{
    return gState.bSeriesOpened ? CM_PROCESS : CM_NEXT_SERIES;
}

bool hit(const RECT& r, int x, int y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

void send(HWND hWnd, UINT command)
{
    SendMessageA(hWnd, WM_COMMAND, command, 0);
}

int labelCount(const char* const* labels)
{
    int n = 0;
    while (n < kLabelListEnd && labels[n])
        n++;
    return n;
}

// An outline over the rectangle, its right and bottom edges included.
void frame(HDC hdc, const RECT& r)
{
    MoveToEx(hdc, r.left, r.top, nullptr);
    LineTo(hdc, r.right, r.top);
    LineTo(hdc, r.right, r.bottom);
    LineTo(hdc, r.left, r.bottom);
    LineTo(hdc, r.left, r.top);
}

// The etalon with a 1-based number: the header's entry, else the alphabet's
// (no series has been built yet); null for a number outside both.
const PulseHeader* etalonOf(const SeriesHeader* h, int32_t number)
{
    if (number < 1)
        return nullptr;
    if (h && h->lpPulsesList && number <= h->wReservedEtalons && h->lpPulsesList[number - 1])
        return h->lpPulsesList[number - 1];
    if (number <= gState.wAlphabetSize && number <= kAlphabetCapacity && gState.Alphabet[number - 1].lpData)
        return &gState.Alphabet[number - 1];
    return nullptr;
}

// The amplitude the cells scale etalons to: the program's amplitude, or for a
// series opened from a file (etalons in the file's units) their greatest
// magnitude, so that the curves stay inside their cells.
int32_t cellAmplitude(const SeriesHeader* h)
{
    const ProgramState& s = gState;
    if (!s.bSeriesOpened || !h || !h->lpPulsesList)
        return s.wAmplitude;
    int32_t peak = 1;
    for (uint16_t e = 0; e < h->wReservedEtalons; e++)
        for (uint16_t k = 0; h->lpPulsesList[e] && h->lpPulsesList[e]->lpData && k < h->lpPulsesList[e]->wLength; k++)
            peak = std::max(peak, std::abs(static_cast<int32_t>(h->lpPulsesList[e]->lpData[k])));
    return peak;
}

// Whether layoutSubsetPanel made the strip and the reserved rows.
bool panelReady()
{
    const ProgramState& s = gState;
    return s.wPossibleSubsetCapacity >= kSubsetCapacity && s.selectedSubset && gSubsetPanel.selectedSubsetMarks &&
           s.selectedSubsetArraySize && s.selectedSubsetArray && gSubsetPanel.possibleSubsetArrayRect;
}

// Deletes every marked strip entry, from the end, shifting later ones down.
void deleteMarked()
{
    ProgramState& s = gState;
    int32_t* marks = gSubsetPanel.selectedSubsetMarks;
    for (int32_t i = s.wSelectedSubsetLength - 1; i >= 0; i--) {
        if (!marks[i])
            continue;
        for (int32_t j = i; j + 1 < s.wSelectedSubsetLength; j++) {
            s.selectedSubset[j] = s.selectedSubset[j + 1];
            marks[j] = marks[j + 1];
        }
        s.wSelectedSubsetLength--;
        s.selectedSubset[s.wSelectedSubsetLength] = 0;
        marks[s.wSelectedSubsetLength] = 0;
    }
}

void emptyStrip()
{
    ProgramState& s = gState;
    std::fill(s.selectedSubset, s.selectedSubset + s.wPossibleSubsetCapacity, 0);
    std::fill(gSubsetPanel.selectedSubsetMarks, gSubsetPanel.selectedSubsetMarks + s.wPossibleSubsetCapacity, 0);
    s.wSelectedSubsetLength = 0;
}

/*==========================================================================
** Painting
**========================================================================*/

// Keeps what the presses hit-test afterwards.
void recordSubsetShapes(const SubsetPanelGeometry& g, int32_t shownCells, int buttons, int32_t capacity)
{
    SubsetPanelState& p = gSubsetPanel;
    std::copy(g.cells.begin(), g.cells.end(), p.SubsetCellRect);
    p.wSubsetCellsShown = shownCells;
    p.SubsetStripRect = g.strip;
    std::copy(g.stripSlots.begin(), g.stripSlots.end(), p.possibleSubsetRect);
    p.wSubsetSlotsShown = static_cast<int32_t>(g.stripSlots.size());
    std::copy(g.buttons.begin(), g.buttons.end(), p.ButtonsWhileSelectedSubsetRect);
    p.wButtonsQuantity = buttons;
    for (size_t k = 0; k < g.rows.size(); k++) {
        std::copy(g.rowCells.begin() + k * capacity, g.rowCells.begin() + (k + 1) * capacity,
                  p.possibleSubsetArrayRect[k]);
        p.possibleSubsetArrayRect[k][capacity] = g.rows[k];
    }
}

// The strip: every slot outlined in grey, the used ones in black with their
// etalons, marked ones on grey.
void drawStrip(HWND hWnd, HDC hdc, const SubsetPanelGeometry& g, const SeriesHeader* header, bool tuple)
{
    const ProgramState& s = gState;
    SubsetPanelState& p = gSubsetPanel;
    const int32_t h = gDisplay.wLineHeight;
    Rectangle(hdc, g.strip.left, g.strip.top, g.strip.right + 1, g.strip.bottom + 1);
    const int32_t used = std::min<int32_t>(s.wSelectedSubsetLength, p.wSubsetSlotsShown);
    if (tuple && p.bMarkAllOnce)
        std::fill(p.selectedSubsetMarks, p.selectedSubsetMarks + s.wSelectedSubsetLength, 1);
    HPEN grey = CreatePen(PS_SOLID, 1, kEmptySlotOutline);
    HGDIOBJ oldPen = SelectObject(hdc, grey);
    for (const RECT& slot : g.stripSlots)
        frame(hdc, slot);
    SelectObject(hdc, oldPen);
    DeleteObject(grey);
    const int32_t A = cellAmplitude(header);
    for (int32_t i = 0; i < used; i++) {
        frame(hdc, g.stripSlots[i]);
        drawEtalonCell(hWnd, hdc, etalonOf(header, s.selectedSubset[i]), A,
                       p.selectedSubsetMarks[i] ? 1 : 0, subsetEtalonRect(g, g.stripSlots[i], h));
    }
}

// The tuple panel's reserved rows: every one in a faint outline, the stored
// ones in white with their etalons, the picked one on red; then the caption,
// last, so that the rows do not paint over it.
void drawReservedRows(HWND hWnd, HDC hdc, const SubsetPanelGeometry& g, const SeriesHeader* header, int32_t capacity)
{
    const ProgramState& s = gState;
    HPEN faint = CreatePen(PS_SOLID, 1, kReservedRowOutline);
    HGDIOBJ oldPen = SelectObject(hdc, faint);
    for (const RECT& r : g.rows)
        Rectangle(hdc, r.left, r.top, r.right, r.bottom);
    SelectObject(hdc, oldPen);
    DeleteObject(faint);
    SelectObject(hdc, GetStockObject(WHITE_BRUSH));
    const int32_t stored = std::min<int32_t>(s.wReservedSubsetsUsed, static_cast<int32_t>(g.rows.size()));
    const int32_t A = cellAmplitude(header);
    for (int32_t k = 0; k < stored; k++) {
        const RECT& r = g.rows[k];
        Rectangle(hdc, r.left, r.top, r.right, r.bottom);
        const int32_t* row = s.selectedSubsetArray + static_cast<size_t>(k) * (capacity + 1);
        const int32_t size = std::clamp(s.selectedSubsetArraySize[k], 0, capacity);
        for (int32_t j = 0; j < size; j++)
            drawEtalonCell(hWnd, hdc, etalonOf(header, row[j]), A, k + 1 == s.wPickedSubset ? 2 : 0,
                           g.rowCells[static_cast<size_t>(k) * capacity + j]);
    }
    char caption[64];
    std::snprintf(caption, sizeof caption, " reserved subsets %d ", s.wReservedSubsets);
    TextOutA(hdc, g.captionAt.x, g.captionAt.y, caption, static_cast<int>(std::strlen(caption)));
}

// Both panels: the top panel with the required etalons, the strip, the
// buttons and, for the tuple panel, the reserved subsets.
int drawPanel(HWND hWnd, HDC hdc, uint16_t required, const uint16_t* list, const SeriesHeader* header, bool tuple)
{
    const ProgramState& s = gState;
    SubsetPanelState& p = gSubsetPanel;
    if (!panelReady())
        return 0;  // the layout could not allocate the panel and said so
    if (!p.ButtonsWhileSelectedSubsetRect) {
        if (assignFresh<RECT>(AllocSite::SubsetButtons, p.buttonStore, kSubsetButtonsAllocated))
            p.ButtonsWhileSelectedSubsetRect = p.buttonStore.data();
        if (!p.ButtonsWhileSelectedSubsetRect) {
            MessageBoxA(hWnd, "Нет памяти для ButtonsWhileSelectedSubsetRect!", nullptr, MB_OK);
            if (tuple)
                freeSubsetPanel();  // made again by the next layout
            return 0;
        }
    }

    // Geometry first.
    const char* const* labels = tuple ? TupleSubsetButtonLabels : SubsetButtonLabels;
    const int buttons = std::min(labelCount(labels), int(kSubsetButtonsAllocated));
    int widest = 0;
    for (int j = 0; j < buttons; j++)
        widest = std::max(widest, textWidth(hdc, labels[j]));
    const int32_t capacity = s.wPossibleSubsetCapacity;
    const int32_t cells = header ? header->wReservedEtalons : s.wAlphabetSize;
    const int32_t slotCount = tuple || !header ? capacity : std::min<int32_t>(capacity, header->wMaxPulses);
    const int32_t h = gDisplay.wLineHeight;
    const SubsetPanelGeometry g =
        subsetPanelGeometry(gDisplay.SeriesAreaRect, h, gDisplay.wAveCharWidth, cells, slotCount, widest, buttons, tuple,
                            tuple ? s.wReservedSubsets : 0, capacity);
    const int32_t shownCells = std::min<int32_t>(static_cast<int32_t>(g.cells.size()), list ? required : 0);
    recordSubsetShapes(g, shownCells, buttons, capacity);

    // The area in the panel colour, the top panel in white with its cells.
    HBRUSH background = CreateSolidBrush(kPanelBackground);
    HGDIOBJ oldBrush = SelectObject(hdc, background);
    const RECT& area = gDisplay.SeriesAreaRect;
    Rectangle(hdc, area.left, area.top, area.right + 1, area.bottom + 1);
    SelectObject(hdc, GetStockObject(WHITE_BRUSH));
    Rectangle(hdc, g.panelLeft, g.panelTop, g.panelRight + 1, g.panelBottom + 1);
    const int32_t A = cellAmplitude(header);
    for (int32_t i = 0; i < shownCells; i++) {
        frame(hdc, g.cells[i]);
        drawEtalonCell(hWnd, hdc, etalonOf(header, list[i]), A, 0, subsetEtalonRect(g, g.cells[i], h));
    }
    drawStrip(hWnd, hdc, g, header, tuple);

    // The buttons on the panel colour, their labels without a background.
    SelectObject(hdc, background);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    for (int j = 0; j < buttons; j++)
        drawTextButton(hWnd, hdc, g.buttons[j], labels[j]);
    if (tuple) {
        drawReservedRows(hWnd, hdc, g, header, capacity);
        p.bMarkAllOnce = 0;
    }
    SetBkMode(hdc, oldMode);
    SelectObject(hdc, oldBrush);
    DeleteObject(background);
    return 1;
}

} // namespace

int drawSubsetPanel(HWND hWnd, HDC hdc, uint16_t wRequiredQuantity, const uint16_t* lpRequiredList,
                    const SeriesHeader* lpSeriesHeader)
{
    return drawPanel(hWnd, hdc, wRequiredQuantity, lpRequiredList, lpSeriesHeader, false);
}

int drawTupleSubsetPanel(HWND hWnd, HDC hdc, uint16_t wRequiredQuantity, const uint16_t* lpRequiredList,
                         const SeriesHeader* lpSeriesHeader)
{
    return drawPanel(hWnd, hdc, wRequiredQuantity, lpRequiredList, lpSeriesHeader, true);
}

void drawTextButton(HWND, HDC hdc, const RECT& r, const char* label)
{
    const int32_t x0 = r.left, y0 = r.top, x1 = r.right, y1 = r.bottom;
    const int32_t w = x1 - x0, h = y1 - y0;
    Rectangle(hdc, x0, y0, x1 + 1, y1 + 1);  // the face with the current brush, a dark outline
    struct Edge {
        COLORREF colour;
        int32_t xa, ya, xb, yb;
    };
    // Dark upper and left edges (their end points lie past the corners), a
    // dark and a grey inner shade at right and bottom, a white inner highlight.
    const Edge edges[] = {
        {RGB(125, 125, 125), x0, y0, x0 + w + 1, y0},         {RGB(125, 125, 125), x0, y0, x0, y0 + h + 1},
        {RGB(125, 125, 125), x1 - 1, y0 + 1, x1 - 1, y1},     {RGB(125, 125, 125), x0 + 1, y1 - 1, x1, y1 - 1},
        {RGB(165, 170, 165), x1 - 2, y0 + 2, x1 - 2, y1 - 1}, {RGB(165, 170, 165), x0 + 2, y1 - 2, x1 - 1, y1 - 2},
        {RGB(255, 255, 255), x0 + 1, y0 + 1, x1 - 1, y0 + 1}, {RGB(255, 255, 255), x0 + 1, y0 + 1, x0 + 1, y1 - 1},
    };
    for (const Edge& e : edges) {
        HPEN pen = CreatePen(PS_SOLID, 1, e.colour);
        HGDIOBJ old = SelectObject(hdc, pen);
        MoveToEx(hdc, e.xa, e.ya, nullptr);
        LineTo(hdc, e.xb, e.yb);
        SelectObject(hdc, old);
        DeleteObject(pen);
    }
    const int length = static_cast<int>(std::strlen(label));
    TextOutA(hdc, x0 + (w - textWidth(hdc, label)) / 2, y0 + (gDisplay.wLineHeight - 2) / 2, label, length);
}

/*==========================================================================
** Commit
**========================================================================*/

bool commitSubsetPanel(HWND hWnd)
{
    ProgramState& s = gState;
    if (s.wProcessingType == kProcTuplesRecognition) {
        if (s.wReservedSubsetsUsed <= 0 || !s.selectedSubsetArraySize || !s.selectedSubsetArray)
            return false;
        std::vector<const int32_t*> rows = subsetRows();
        return addSomeSelectedSubsetToSeriesHeader(hWnd, s.selectedSubsetArraySize, rows.data(),
                                                   s.wReservedSubsetsUsed, s.wReservedSubsets,
                                                   s.wPossibleSubsetCapacity, s.wPickedSubset, s.wSubsetEmployment,
                                                   s.wSubsetInitPosition, s.lpSeriesHeader) != 0;
    }
    if (s.wSelectedSubsetLength <= 0 || !s.selectedSubset)
        return false;
    return setSelectedSubset(hWnd, s.selectedSubset, s.wSelectedSubsetLength, s.wSubsetEmployment,
                             s.wSubsetInitPosition, s.lpSeriesHeader) != 0;
}

/*==========================================================================
** Presses
**========================================================================*/

bool pressSubsetPanel(HWND hWnd, int x, int y)
{
    ProgramState& s = gState;
    SubsetPanelState& p = gSubsetPanel;
    if (!panelReady() || !p.ButtonsWhileSelectedSubsetRect)
        return false;  // never drawn: nothing of it can be hit

    // 1. A required etalon: the marked entries go, the etalon is appended
    // when a shown slot is free.
    const int32_t cells = std::min<int32_t>(p.wSubsetCellsShown, s.lpRequiredList ? s.wRequiredQuantity : 0);
    for (int32_t i = 0; i < cells; i++) {
        if (!hit(p.SubsetCellRect[i], x, y))
            continue;
        deleteMarked();
        ptLastClick = POINT{x, y};
        if (s.wSelectedSubsetLength < p.wSubsetSlotsShown) {
            s.selectedSubset[s.wSelectedSubsetLength] = s.lpRequiredList[i];
            p.selectedSubsetMarks[s.wSelectedSubsetLength] = 0;
            s.wSelectedSubsetLength++;
        }
        send(hWnd, CM_REDRAW_PANEL);
        return true;
    }

    // 2. The strip: one used slot marked alone, or no mark at all.
    if (hit(p.SubsetStripRect, x, y)) {
        std::fill(p.selectedSubsetMarks, p.selectedSubsetMarks + s.wPossibleSubsetCapacity, 0);
        const int32_t used = std::min(s.wSelectedSubsetLength, p.wSubsetSlotsShown);
        for (int32_t i = 0; i < used; i++)
            if (hit(p.possibleSubsetRect[i], x, y))
                p.selectedSubsetMarks[i] = 1;
        send(hWnd, CM_REDRAW_PANEL);
        return true;
    }

    // 3..8. The buttons.
    const RECT* buttons = p.ButtonsWhileSelectedSubsetRect;
    const bool tupleButtons = p.wButtonsQuantity > 4;
    if (p.wButtonsQuantity > kDeleteAll && hit(buttons[kDeleteAll], x, y)) {
        emptyStrip();
        send(hWnd, CM_REDRAW_PANEL);
        return true;
    }
    if (p.wButtonsQuantity > kDelete && hit(buttons[kDelete], x, y)) {
        deleteMarked();
        send(hWnd, CM_REDRAW_PANEL);
        return true;
    }
    if (p.wButtonsQuantity > kCancel && hit(buttons[kCancel], x, y)) {
        emptyStrip();
        s.wViewMode = kViewResults;
        s.bSeriesLengthChanged = s.bNoiseLevelChanged = s.bLostDataLevelChanged = 0;
        send(hWnd, s.bSeriesOpened ? CM_SHOW_RESULTS : CM_NEXT_SERIES);  // an opened series stays as it is
        return true;
    }
    if (p.wButtonsQuantity > kOk && hit(buttons[kOk], x, y)) {
        if (!commitSubsetPanel(hWnd)) {
            send(hWnd, CM_REDRAW_SUBSET);  // nothing to hand over: the panel stays
            return true;
        }
        s.bButtonsChanged = 1;
        s.wViewMode = kViewResults;
        s.bLostDataLevelChanged = 0;
        send(hWnd, nextOrSame());
        return true;
    }
    if (tupleButtons && hit(buttons[kAccept], x, y)) {
        p.bMarkAllOnce = 1;
        s.wReservedSubsetsUsed =
            reserveSubset(hWnd, s.selectedSubset, s.wSelectedSubsetLength, s.selectedSubsetArraySize,
                          s.selectedSubsetArray, s.wReservedSubsetsUsed, s.wReservedSubsets, s.wPossibleSubsetCapacity);
        s.wPickedSubset = s.wReservedSubsetsUsed;
        send(hWnd, CM_REDRAW_SUBSET);
        return true;
    }
    if (p.wButtonsQuantity > kClearAll && hit(buttons[kClearAll], x, y)) {
        p.bMarkAllOnce = 1;
        s.wReservedSubsetsUsed = 0;
        send(hWnd, CM_REDRAW_SUBSET);
        return true;
    }

    // 9. A stored subset's row: it becomes the picked one.
    if (tupleButtons)
        for (int32_t k = 0; k < s.wReservedSubsetsUsed && k < s.wReservedSubsets; k++)
            if (hit(p.possibleSubsetArrayRect[k][s.wPossibleSubsetCapacity], x, y)) {
                s.wPickedSubset = k + 1;
                send(hWnd, CM_REDRAW_SUBSET);
                return true;
            }
    return false;
}

bool pressPatternRow(HWND hWnd, int x, int y)
{
    ProgramState& s = gState;
    if (!isTupleSeries(s.wSeriesType) || s.wProcessingType != kProcTuplesRecognition)
        return false;
    const std::vector<RECT>& rows = gSeriesView.PatternRowRect;
    for (int32_t k = 0; k < s.wReservedSubsetsUsed && k < static_cast<int32_t>(rows.size()); k++) {
        if (!hit(rows[k], x, y))
            continue;
        ptLastClick = POINT{x, y};
        s.wPickedSubset = k + 1;
        std::vector<const int32_t*> stored = subsetRows();
        addSomeSelectedSubsetToSeriesHeader(hWnd, s.selectedSubsetArraySize, stored.data(), s.wReservedSubsetsUsed,
                                            s.wReservedSubsets, s.wPossibleSubsetCapacity, s.wPickedSubset,
                                            s.wSubsetEmployment, s.wSubsetInitPosition, s.lpSeriesHeader);
        send(hWnd, nextOrSame());
        return true;
    }
    return false;
}
