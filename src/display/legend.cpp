// Etalon cells: one etalon drawn small, plain or on a grey or red ground, as
// the series view's alphabet legend and tuple pattern box show them (the
// subset panel uses the same cell), and the painting of legend and box.
//
// Sections: etalon cell - legend - pattern box
#include <cstdio>
#include <cstring>

#include "display/display_private.h"
#include "display/seriesview_private.h"

using namespace seriesview;

/*==========================================================================
** Etalon cell
**========================================================================*/

namespace {

// The curve at offset (ox, oy): from the midline through every sample and back.
void cellCurve(HDC hdc, const PulseHeader* e, int32_t A, int32_t x, int32_t yc, int32_t w, int32_t hc, int32_t ox,
               int32_t oy)
{
    const int32_t m = e->wLength;
    MoveToEx(hdc, x + ox, yc + hc / 2 + oy, nullptr);
    int32_t lastX = x;
    for (int32_t j = 0; j < m; j++) {
        lastX = x + j * w / (m - 1);
        LineTo(hdc, lastX + ox, yc + hc - static_cast<int32_t>((int64_t(e->lpData[j]) + A) * hc / (2 * int64_t(A))) + oy);
    }
    LineTo(hdc, lastX + ox, yc + hc / 2 + oy);
}

void cellAxes(HDC hdc, int32_t x, int32_t yc, int32_t w, int32_t hc, int32_t ox, int32_t oy)
{
    MoveToEx(hdc, x + ox, yc + oy, nullptr);
    LineTo(hdc, x + ox, yc + hc + oy);
    MoveToEx(hdc, x + ox, yc + hc / 2 + oy, nullptr);
    LineTo(hdc, x + 5 + w + ox, yc + hc / 2 + oy);  // the axis runs five pixels past the curve
}

} // namespace

void drawEtalonCell(HWND, HDC hdc, const PulseHeader* e, int32_t A, int mode, const RECT& cell)
{
    if (!e)
        return;
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    const int32_t h = tm.tmHeight + tm.tmExternalLeading - 1;  // the line step of every text
    const int32_t x = cell.left, y = cell.top, w = cell.right - cell.left, hc = cell.bottom - cell.top;
    char caption[16];
    std::snprintf(caption, sizeof caption, " %c ", letterOf(e->wNumber));
    TextOutA(hdc, x, y + 2, caption, static_cast<int>(std::strlen(caption)));
    const int32_t yc = y + 1 + h + h / 4;  // the curve area starts below the caption
    // An etalon of fewer than two samples has no x step, and an amplitude of
    // 0 or less no y scale: the cell then shows the caption and the axes only.
    const bool curve = e->lpData && e->wLength >= 2 && A > 0;
    if (mode == 0) {
        HGDIOBJ oldPen = SelectObject(hdc, GetStockObject(BLACK_PEN));  // whatever pen the caller left
        cellAxes(hdc, x, yc, w, hc, 0, 0);
        if (curve)
            cellCurve(hdc, e, A, x, yc, w, hc, 0, 0);
        SelectObject(hdc, oldPen);
        return;
    }
    const COLORREF ground = mode == 1 ? RGB(163, 163, 163) : RGB(255, 0, 0);
    HPEN pen = CreatePen(PS_SOLID, 1, ground);
    HBRUSH brush = CreateSolidBrush(ground);
    HGDIOBJ oldPen = SelectObject(hdc, pen), oldBrush = SelectObject(hdc, brush);
    // Right and bottom exclusive: the ground reaches x + 5 + w and yc + hc, one past the axes.
    Rectangle(hdc, x - 3, yc - 1, x + 6 + w, yc + 1 + hc);
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    SelectObject(hdc, white);
    const int32_t ox[3] = {0, 1, 0}, oy[3] = {0, 0, -1};  // three strokes make a bold curve
    for (int t = 0; t < 3; t++) {
        cellAxes(hdc, x, yc, w, hc, ox[t], oy[t]);
        if (curve)
            cellCurve(hdc, e, A, x, yc, w, hc, ox[t], oy[t]);
    }
    SelectObject(hdc, oldBrush);
    SelectObject(hdc, oldPen);
    DeleteObject(white);
    DeleteObject(brush);
    DeleteObject(pen);
}

/*==========================================================================
** Legend
**========================================================================*/

void paintLegend(HDC hdc, const SeriesViewGeometry& g, int32_t A, uint16_t count, const uint16_t* list,
                 const ChainsHeader* c, const SeriesHeader* s)
{
    // Right and bottom exclusive: the frame's last column and row are legendLeft + legendWidth and
    // legendTop + legendHeight.
    Rectangle(hdc, g.legendLeft, g.legendTop, g.legendLeft + g.legendWidth + 1, g.legendTop + g.legendHeight + 1);
    const std::string caption = legendCaption(g.legendWidth, count);
    TextOutA(hdc, g.legendLeft + 7, g.legendTop - g.marginY, caption.c_str(), static_cast<int>(caption.size()));
    for (const EtalonCellItem& cell : legendCells(g, count, list, c))
        drawEtalonCell(nullptr, hdc, etalonOf(s, cell.number), A, cell.mode, cell.cell);
}

/*==========================================================================
** Pattern box
**========================================================================*/

void paintPatternBox(HDC hdc, const SeriesViewGeometry& g, int32_t A, int32_t picked, const ChainsHeader* c,
                     const SeriesHeader* s, std::vector<RECT>* rows)
{
    const std::string caption = patternCaption(c);
    if (caption.empty())
        return;
    SIZE size{0, 0};
    GetTextExtentPoint32A(hdc, caption.c_str(), static_cast<int>(caption.size()), &size);
    const PatternBoxGeometry box = patternBoxGeometry(g, size, picked, c, s);
    if (rows)
        *rows = box.rows;
    if (!box.shown)
        return;
    Rectangle(hdc, box.frame.left, box.frame.top, box.frame.right, box.frame.bottom);
    for (const EtalonCellItem& cell : box.cells)
        drawEtalonCell(nullptr, hdc, etalonOf(s, cell.number), A, cell.mode, cell.cell);
    TextOutA(hdc, box.captionAt.x, box.captionAt.y, box.caption.c_str(), static_cast<int>(box.caption.size()));
}
