// The subset panel's state and geometry: the panel's arrays (the strip, its
// marks, the reserved subsets and their rectangles), made once by
// layoutSubsetPanel before the first paint of view 9 and released at window
// destruction; the panel's positions as plain numbers; reserveSubset.
//
// Sections: state - allocation - geometry - reserved subsets
#include <algorithm>

#include "display/display_private.h"
#include "platform/allocation.h"
#include "shell/state.h"

/*==========================================================================
** State
**========================================================================*/

SubsetPanelState gSubsetPanel;

/*==========================================================================
** Allocation
**========================================================================*/

namespace {

// Points `view` at `count` zero-filled entries (at least one) held by `store`;
// null when out of memory.
template <typename T>
T* allocateArray(AllocSite site, std::vector<T>& store, size_t count)
{
    return assignFresh<T>(site, store, std::max<size_t>(count, 1)) ? store.data() : nullptr;
}

// The strip: its slots' rectangles and the one block of entries and marks.
void releaseStrip()
{
    ProgramState& s = gState;
    SubsetPanelState& p = gSubsetPanel;
    p.stripRectStore = std::vector<RECT>();
    p.stripStore = std::vector<int32_t>();  // the marks are its second half
    p.possibleSubsetRect = nullptr;
    s.selectedSubset = nullptr;
    p.selectedSubsetMarks = nullptr;
    s.wSelectedSubsetLength = 0;
}

// The stored subsets' entries and the rows' rectangles (not their sizes).
void releaseReservedRows()
{
    ProgramState& s = gState;
    SubsetPanelState& p = gSubsetPanel;
    p.rowStore = std::vector<int32_t>();
    p.rowStartStore = std::vector<RECT*>();
    p.rowRectStore = std::vector<RECT>();
    s.selectedSubsetArray = nullptr;
    p.possibleSubsetArrayRect = nullptr;
    p.possibleSubsetArrayBlock = nullptr;
}

void releaseSizes()
{
    gSubsetPanel.sizeStore = std::vector<int32_t>();
    gState.selectedSubsetArraySize = nullptr;
}

// After a failed allocation: nothing of the panel is left, so the next layout
// starts again from the beginning.
void layoutFailed(HWND hWnd, const char* text)
{
    releaseStrip();
    releaseReservedRows();
    releaseSizes();
    gState.wPossibleSubsetCapacity = 0;
    gState.wReservedSubsetsUsed = 0;
    MessageBoxA(hWnd, text, nullptr, MB_OK);
}

} // namespace

void layoutSubsetPanel(HWND hWnd)
{
    ProgramState& s = gState;
    SubsetPanelState& p = gSubsetPanel;
    if (s.wPossibleSubsetCapacity >= kSubsetCapacity)
        return;  // made once; never shrunk

    // 1. The strip: slot rectangles, entries and marks (one block), empty.
    releaseStrip();
    const int32_t capacity = kSubsetCapacity;
    p.possibleSubsetRect = allocateArray(AllocSite::SubsetStripRects, p.stripRectStore, capacity);
    if (!p.possibleSubsetRect)
        return layoutFailed(hWnd, "Нет памяти для possibleSubsetRect!");
    s.selectedSubset = allocateArray(AllocSite::SubsetStrip, p.stripStore, 2 * static_cast<size_t>(capacity));
    if (!s.selectedSubset)
        return layoutFailed(hWnd, "Нет памяти для selectedSubset!");
    p.selectedSubsetMarks = s.selectedSubset + capacity;
    s.wSelectedSubsetLength = 0;

    // 2. The sizes of the reserved subsets. Every row below is made anew and
    // empty, so nothing stays stored and nothing stays picked.
    releaseReservedRows();
    releaseSizes();
    if (s.wReservedSubsets <= 0)
        s.wReservedSubsets = std::max(1, p.wInitReservedSubsets);
    s.wReservedSubsetsUsed = 0;
    s.wPickedSubset = 0;
    const int32_t reserved = s.wReservedSubsets;
    s.selectedSubsetArraySize = allocateArray(AllocSite::SubsetSizes, p.sizeStore, reserved);
    if (!s.selectedSubsetArraySize)
        return layoutFailed(hWnd, "Нет памяти для selectedSubsetArraySize!");

    // 3. Rows of capacity + 1: the entries of each stored subset; the
    // rectangles of its cells followed by the row's own.
    const size_t n = static_cast<size_t>(reserved) * (capacity + 1);
    p.possibleSubsetArrayBlock = allocateArray(AllocSite::SubsetRowRects, p.rowRectStore, n);
    if (!p.possibleSubsetArrayBlock)
        return layoutFailed(hWnd, "Нет памяти для possibleSubsetRect!");
    p.possibleSubsetArrayRect = allocateArray(AllocSite::SubsetRowStarts, p.rowStartStore, reserved);
    if (!p.possibleSubsetArrayRect)
        return layoutFailed(hWnd, "Нет памяти для possibleSubsetArrayRect!");
    s.selectedSubsetArray = allocateArray(AllocSite::SubsetRows, p.rowStore, n);
    if (!s.selectedSubsetArray)
        return layoutFailed(hWnd, "Нет памяти для selectedSubset!");
    for (int32_t k = 0; k < reserved; k++)
        p.possibleSubsetArrayRect[k] = p.possibleSubsetArrayBlock + static_cast<size_t>(k) * (capacity + 1);
    s.wPossibleSubsetCapacity = capacity;
}

void freeSubsetPanel()
{
    releaseStrip();
    releaseReservedRows();
    releaseSizes();
    gSubsetPanel = SubsetPanelState();  // with the buttons' rectangles
    gState.wPossibleSubsetCapacity = 0;
    gState.wReservedSubsetsUsed = 0;
    gState.wPickedSubset = 0;
}

/*==========================================================================
** Geometry
**========================================================================*/

SubsetPanelGeometry subsetPanelGeometry(const RECT& area, int32_t h, int32_t aveCharWidth, int32_t cells,
                                        int32_t slotCount, int32_t labelWidth, int32_t buttons, bool tuplePanel,
                                        int32_t reserved, int32_t capacity)
{
    SubsetPanelGeometry g{};
    const int32_t L = area.left, T = area.top, R = area.right, B = area.bottom;
    const int32_t W = R - L + 1, H = B - T + 1;  // right and bottom are inclusive
    capacity = std::max(1, capacity);

    // The top panel: the required etalons, ten cells a row.
    g.marginX = W / 170;
    g.marginY = H / 131;
    g.panelLeft = L + g.marginX;
    g.panelRight = R - g.marginX;
    g.panelWidth = g.panelRight - g.panelLeft + 1;
    g.panelTop = T + g.marginY;
    g.panelHeight = (H - 3 * g.marginY) / 4;
    g.panelBottom = g.panelTop + g.panelHeight;
    const int32_t k = std::clamp(cells, 0, kSubsetCells);
    g.rowsOfCells = (k - 1) / 10 + 1;  // truncation: no cells still make one row
    g.cellWidth = (g.panelWidth - 11 * g.marginX) / 10;
    g.cellHeight = (g.panelHeight - (g.rowsOfCells + 1) * g.marginY) / g.rowsOfCells;
    for (int32_t i = 0; i < k; i++) {
        const int32_t left = g.panelLeft + g.marginX + (i % 10) * (g.cellWidth + g.marginX);
        const int32_t top = g.panelTop + g.marginY + (i / 10) * (g.cellHeight + g.marginY);
        g.cells.push_back(RECT{left, top, left + g.cellWidth, top + g.cellHeight});
    }

    // The strip a line below the panel, one cell high with a margin round it.
    const int32_t stripTop = g.panelBottom + g.marginY + h;
    g.strip = RECT{g.panelLeft, stripTop, g.panelRight, stripTop + g.cellHeight + 2 * g.marginY};
    for (int32_t i = 0; i < std::clamp(slotCount, 0, capacity); i++) {
        const int32_t left = g.panelLeft + g.marginX + i * (g.cellWidth + g.marginX);
        const int32_t slotTop = stripTop + g.marginY;
        g.stripSlots.push_back(RECT{left, slotTop, left + g.cellWidth, slotTop + g.cellHeight});
    }

    // The buttons half a line below the strip, all as wide as the widest label.
    g.buttonWidth = labelWidth + 4 * aveCharWidth;
    g.buttonHeight = 2 * h - 1;
    g.buttonTop = g.strip.bottom + h / 2;
    for (int32_t j = 0; j < std::max(0, buttons); j++) {
        int32_t left = g.panelLeft + j * (g.buttonWidth + 2 * aveCharWidth);  // left to right, 2 aveCharWidth apart
        if (tuplePanel) {
            // Delete All, Delete at the left; Cancel, OK at the right; Accept,
            // Clear All after Delete.
            switch (j) {
            case 0: left = g.panelLeft; break;
            case 1: left = g.panelLeft + g.buttonWidth + 2 * aveCharWidth; break;
            case 2: left = g.panelRight - 2 * (g.buttonWidth + aveCharWidth); break;
            case 3: left = g.panelRight - 2 * (g.buttonWidth + aveCharWidth) + g.buttonWidth + aveCharWidth; break;
            default: left = g.buttons[j == 4 ? 1 : j - 1].right + 2 * aveCharWidth; break;  // then one after the other
            }
        }
        g.buttons.push_back(RECT{left, g.buttonTop, left + g.buttonWidth, g.buttonTop + g.buttonHeight});
    }
    if (!tuplePanel || reserved <= 0)
        return g;

    // The reserved subsets, two columns under the buttons to the area's bottom.
    g.reservedLeft = L + g.marginX;
    g.reservedWidth = (R - g.marginX) - g.reservedLeft + 1;
    g.reservedTop = g.buttonTop + g.buttonHeight + h / 2;
    g.reservedHeight = B - (g.reservedTop + g.marginY);
    g.halfRows = (reserved + 1) / 2;
    g.columnWidth = (g.reservedWidth - g.marginX) / 2;
    g.rowHeight = (g.reservedHeight - (g.halfRows - 1) * g.marginY) / g.halfRows;
    g.miniCellWidth = (g.columnWidth - 2 * capacity + 1) / capacity;
    g.miniCellHeight = g.rowHeight - 2;
    g.captionAt = POINT{g.panelLeft, g.reservedTop + h};
    int32_t x = g.reservedLeft, y = g.reservedTop;
    for (int32_t r = 0; r < reserved; r++) {
        if (r == g.halfRows) {  // the second column
            x = g.reservedLeft + g.columnWidth + g.marginX;
            y = g.reservedTop;
        }
        g.rows.push_back(RECT{x, y, x + 1 + g.columnWidth, y + 1 + g.rowHeight});
        for (int32_t j = 0; j < capacity; j++)
            // The cell's caption starts above the row's top: the curve below it
            // keeps a line and a margin free at the row's bottom.
            g.rowCells.push_back(RECT{x + 2 + j * (g.miniCellWidth + 2), y + 1 - g.marginY / 2,
                                      x - 3 + (j + 1) * (g.miniCellWidth + 2),
                                      y + g.miniCellHeight - (g.marginY - 1 + h)});
        y += g.rowHeight + g.marginY;
    }
    return g;
}

RECT subsetEtalonRect(const SubsetPanelGeometry& g, const RECT& cell, int32_t h)
{
    return RECT{cell.left + g.marginX, cell.top, cell.right - 2 * g.marginX, cell.bottom - 2 * g.marginY - h};
}

/*==========================================================================
** Reserved subsets
**========================================================================*/

int32_t reserveSubset(HWND, const int32_t* strip, int32_t length, int32_t* sizes, int32_t* rows, int32_t used,
                      int32_t reserved, int32_t capacity)
{
    // An empty strip is no tuple: storing it would only make every later
    // recognition refuse the stored subsets.
    if (used >= reserved || used < 0 || length <= 0 || !strip || !sizes || !rows)
        return used;
    length = std::min(length, capacity);
    int32_t* row = rows + static_cast<size_t>(used) * (capacity + 1);
    std::copy(strip, strip + length, row);
    std::fill(row + length, row + capacity + 1, 0);
    sizes[used] = length;
    return used + 1;
}
