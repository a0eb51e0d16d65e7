// Painting of the statistics charts from plain inputs: the frame, the text
// block, the alphabet panel, the tuple legend, the "Symbol" formula lines, the
// chart box with its dotted grid and labels, the curves and the bounds. Every
// position comes from charts_layout.cpp; this file only draws.
//
// Sections: helpers - panels - chart box - entry
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "display/display_private.h"
#include "display/textout.h"
#include "display/seriesview_private.h"
#include "platform/allocation.h"
#include "simulation/simulation.h"

using namespace seriesview;

namespace {

const COLORREF kBlack = RGB(0, 0, 0);

/*==========================================================================
** Helpers
**========================================================================*/

HFONT symbolFont(int32_t height)
{
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = 408;
    lf.lfOutPrecision = 3;
    lf.lfClipPrecision = 2;
    std::strncpy(lf.lfFaceName, "Symbol", sizeof lf.lfFaceName - 1);
    return CreateFontIndirectA(&lf);
}

/*==========================================================================
** Panels
**========================================================================*/

void paintAlphabetPanel(HDC hdc, const ChartInputs& in, const ChartGeometry& g, int32_t A)
{
    const uint16_t b = in.lpRequiredList ? in.wRequiredQuantity : 0;
    Rectangle(hdc, g.panel.left, g.panel.top, g.panel.right, g.panel.bottom);
    for (int32_t i = 0; i < b && i < static_cast<int32_t>(g.panelCells.size()); i++)
        drawEtalonCell(nullptr, hdc, etalonOf(in.lpSeriesHeader, in.lpRequiredList[i]), A, 0, g.panelCells[i]);
    // The title straddles the top edge like a group caption.
    text(hdc, g.panel.left + 7, g.panel.top - g.h / 2, alphabetPanelTitle(b, g.panel.right - g.panel.left));
}

void paintTupleLegend(HDC hdc, const ChartInputs& in, const ChartGeometry& g, int32_t A)
{
    if (!g.tupleLegend)
        return;
    Rectangle(hdc, g.tupleBox.left, g.tupleBox.top, g.tupleBox.right, g.tupleBox.bottom);
    for (const EtalonCellItem& c : g.tupleCells)
        drawEtalonCell(nullptr, hdc, etalonOf(in.lpSeriesHeader, c.number), A, c.mode, c.cell);
    const char* caption = isTupleRecognition(in.lpRestErrorHeader->wTaskType) ? " pattern tuples " : " pattern tuple ";
    text(hdc, g.tupleBox.left + 7, g.tupleBox.top - g.h / 2, caption);
}

/*==========================================================================
** Chart box
**========================================================================*/

// An outline through the four corners, each line's end drawn by the next;
// the last line returns to the start, whose pixel the first line drew.
void outline(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b)
{
    MoveToEx(hdc, l, t, nullptr);
    LineTo(hdc, l, b);
    LineTo(hdc, r, b);
    LineTo(hdc, r, t);
    LineTo(hdc, l, t);
}

void paintBox(HDC hdc, const ChartInputs& in, const ChartGeometry& g)
{
    const RECT& x = g.box;
    // The box's edges are the lines left..right and top..bottom themselves;
    // the second frame runs one pixel outside them.
    outline(hdc, x.left, x.top, x.right, x.bottom);
    outline(hdc, x.left - 1, x.top - 1, x.right + 1, x.bottom + 1);
    // Dotted grid: a dot every 4 pixels on every grid row and on every second level.
    for (int32_t row = 1; row < 10; row++)
        for (int32_t px = x.left; px <= x.right; px += 4)
            SetPixel(hdc, px, x.bottom - row * g.rowHeight, kBlack);
    const int32_t L = in.lpRestErrorHeader ? in.lpRestErrorHeader->wNoiseLevels : 0;
    for (int32_t k = 2; k < L - 1; k += 2)  // the last level is the right edge itself
        for (int32_t py = x.top; py <= x.bottom; py += 4)
            SetPixel(hdc, x.left + k * g.levelStep, py, kBlack);
}

void paintLabels(HDC hdc, const ChartInputs& in, const ChartGeometry& g, const ChartScale& sc)
{
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    const std::vector<std::string> values = chartValueLabels(sc.Z);
    for (int i = 0; i <= 5; i++) {
        // Right-aligned five pixels left of the outer frame, centred on grid row 2i.
        const std::string& v = values[i];
        text(hdc, g.box.left - 6 - textWidth(hdc, v), g.box.bottom - 2 * i * g.rowHeight - tm.tmHeight / 2, v);
    }
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const int32_t L = r ? r->wNoiseLevels : 0;
    const int32_t y = g.box.bottom + 4;  // the outer frame is at bottom + 1: two blank rows between
    char label[16];
    int32_t end = g.box.right + tm.tmAveCharWidth;  // right of the last level label drawn
    for (int32_t k = 0; k < L; k += 4) {
        std::snprintf(label, sizeof label, "%3d", r->lpNoiseLevels[k]);
        const int32_t x = g.box.left + k * g.levelStep - textWidth(hdc, label) / 2;  // centred on the level
        text(hdc, x, y, label);
        end = std::max(end, x + textWidth(hdc, label));
    }
    // Sigma in the "Symbol" face, a character's width past the box and past
    // a label centred on the last level.
    text(hdc, end + tm.tmAveCharWidth, y, "s");
}

void paintCurves(HDC hdc, const std::vector<ChartCurve>& curves)
{
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    const int32_t ox[3] = {0, 0, 1}, oy[3] = {0, 1, 0};  // (0,0), (0,+1), then (+1,0) for three strokes
    for (const ChartCurve& c : curves) {
        if (c.points.empty())
            continue;
        for (int t = 0; t < c.strokes && t < 3; t++) {
            MoveToEx(hdc, c.points[0].x + ox[t], c.points[0].y + oy[t], nullptr);
            for (size_t i = 1; i < c.points.size(); i++)
                LineTo(hdc, c.points[i].x + ox[t], c.points[i].y + oy[t]);
            // LineTo leaves out its end point: the curve's last point is set by hand.
            SetPixel(hdc, c.points.back().x + ox[t], c.points.back().y + oy[t], kBlack);
        }
        if (!c.label.empty())
            text(hdc, c.points.back().x + 4, c.points.back().y - tm.tmHeight / 2, c.label);
    }
}

} // namespace

/*==========================================================================
** Entry
**========================================================================*/

int paintStatisticsChart(HWND hWnd, HDC hdc, const ChartInputs& in, std::vector<RECT>* patternRows)
{
    const RECT& a = in.options.SeriesAreaRect;
    // The frame; its white inside clears the previous picture. Right and bottom
    // are inclusive in the area and exclusive for Rectangle().
    Rectangle(hdc, a.left, a.top, a.right + 1, a.bottom + 1);
    if (patternRows)
        patternRows->clear();
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    if (!r || !in.lpSeriesHeader)
        return 0;  // nothing simulated: the frame alone
    const ChartReference ref = chartReference(in);
    std::vector<int32_t> norm;
    if (!tryAllocate(AllocSite::ChartNormalizers, [&] { norm = chartNormalizers(in, ref); })) {
        MessageBoxA(hWnd, "No memory to RestoredErrorNormalizer", " ERROR in DrawDetectionArrayZ ", MB_OK);
        return 0;
    }
    const ChartScale sc = chartScale(chartTop(in, norm), in.options.bFixedUpperBound, in.options.dUpperBound);
    const ChartGeometry g = chartGeometry(in);
    const int32_t A = seriesScale(in.wAmplitude, in.lpSeriesHeader->wSeriesNoiseLevel).a;

    const std::vector<std::string> lines = chartTextLines(in, ref);
    for (size_t i = 0; i < lines.size(); i++)
        if (!lines[i].empty())
            text(hdc, g.textX, g.textTop + static_cast<int32_t>(i) * g.lineStep, lines[i]);
    paintAlphabetPanel(hdc, in, g, A);
    paintTupleLegend(hdc, in, g, A);
    if (patternRows && isTupleRecognition(r->wTaskType))
        *patternRows = g.tupleRows;

    HFONT formula = nullptr;
    if (in.wChartKind >= 0 && in.wChartKind <= 3) {
        formula = symbolFont(g.formulaFontSize);
        SelectObject(hdc, formula);
        text(hdc, g.textX, g.formulaTop,
             in.wChartKind <= 1 ? "e(s)=E||C-<C>||2/||C||2" : "e(s)=E||h-<h>||2/||h||2");
    }
    // The label font: its requested and obtained heights are printed, and it
    // stays selected for the value, level and curve labels.
    HFONT labels = symbolFont(g.labelFontSize);
    SelectObject(hdc, labels);
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    char line[64];
    std::snprintf(line, sizeof line, " %d -> %d", g.labelFontSize, tm.tmHeight);
    text(hdc, g.textX, g.fontLineTop, line);

    if (g.rowHeight > 0) {
        paintBox(hdc, in, g);
        // Labels over the grid and over each other: the blanks of "%3d" under
        // the box must not wipe out the bottom value label.
        const int oldMode = SetBkMode(hdc, TRANSPARENT);
        paintLabels(hdc, in, g, sc);
        paintCurves(hdc, chartCurves(in, g, ref, norm, sc));
        SetBkMode(hdc, oldMode);
    }

    // Back to the window's default font: the stock variable-pitch one.
    SelectObject(hdc, GetStockObject(ANSI_VAR_FONT));
    DeleteObject(labels);
    if (formula)
        DeleteObject(formula);
    return 1;
}
