// Plain numbers of the series view, computed before anything is drawn: the
// energies and the scale, the graph and legend geometry, the legend cells and
// the tuple pattern box. No surface is touched; the tests read them directly.
//
// Sections: layout table - energies and scale - geometry - graph frame - legend - pattern box
#include <algorithm>
#include <cstdio>

#include "display/display_private.h"
#include "display/seriesview_private.h"

using namespace seriesview;

/*==========================================================================
** Layout table
**========================================================================*/

// Fields per record: horizontal margin, vertical margin, ..., graph width,
// graph height, legend cell width, ... (per-mille of the area).
const uint16_t GraphLayout[4][12] = {
    {12, 15, 800, 240, 800, 330, 50, 125, 800, 240, 200, 335},
    {12, 15, 800, 240, 800, 240, 50, 125, 800, 240, 200, 335},
    {12, 15, 800, 240, 800, 240, 50, 125, 800, 500, 200, 350},
    {12, 15, 800, 250, 400, 125, 50, 125, 800, 500, 200, 375},
};

/*==========================================================================
** Energies and scale
**========================================================================*/

SeriesEnergies seriesEnergies(const SeriesHeader* s)
{
    SeriesEnergies e{0, 0, 0, 0.0, 0.0};
    const int32_t L = samplesOf(s);
    for (int32_t i = 0; i < L; i++) {
        const int64_t pure = s->lpPureData[i], noise = s->lpNoisyData[i] - pure;
        e.Es += pure * pure;
        e.En += noise * noise;
    }
    const int32_t K = truePulsesOf(s);
    for (int32_t k = 0; k < K; k++) {
        const int32_t p = s->lpPositions[k];
        // The n samples from the pulse's start, those inside the series.
        for (int32_t j = std::max(0, -p); j < s->wImpulseSize && p + j < L; j++) {
            const int64_t noise = s->lpNoisyData[p + j] - s->lpPureData[p + j];
            e.Ep += noise * noise;
        }
    }
    if (e.Es > 0) {
        e.allNS = static_cast<double>(e.En) / static_cast<double>(e.Es);
        e.NS = static_cast<double>(e.Ep) / static_cast<double>(e.Es);
    }
    return e;
}

SeriesScale seriesScale(int16_t wSeriesAmplitude, int16_t wSeriesNoiseLevel)
{
    int32_t a = wSeriesAmplitude;
    if (a == 0) {
        a = 128;
        while (a < wSeriesNoiseLevel)  // ends: the level is below 32768
            a *= 2;
    }
    const int32_t l = std::max(a, wSeriesNoiseLevel * 8 / 3);
    // A negative amplitude and no noise would give a half-range of 0 or less,
    // and every y a division by it: the graphs then span +-1.
    const int32_t S = l + (l >> 3);
    return SeriesScale{a, std::max(S, 1)};
}

/*==========================================================================
** Geometry
**========================================================================*/

SeriesViewGeometry seriesViewGeometry(const SeriesViewOptions& o, int32_t requiredCount)
{
    const uint16_t* rec = GraphLayout[0];
    const RECT& a = o.SeriesAreaRect;
    SeriesViewGeometry g{};
    g.area = a;
    g.W = a.right - a.left + 1;  // right and bottom are inclusive
    g.H = a.bottom - a.top + 1;
    g.h = o.wLineHeight;
    const int32_t h = g.h;
    g.marginX = rec[0] * g.W / 1000;
    g.marginY = (rec[1] * g.H + 500) / 1000;   // rounded
    g.halfMarginY = (rec[1] * g.H + 1000) / 2000; // half of it, rounded
    g.x0 = a.left + g.marginX;
    if (o.bSpecialGraphSize) {
        g.graphWidth = 618;
        g.graphHeight = 112;
    } else {
        // An area too small for the texts gives graphs of no size, not negative ones.
        g.graphWidth = std::max(0, rec[4] * g.W / 1000);
        g.graphHeight = std::max(0, rec[5] * (g.H - 18 * h) / 1000);
    }
    if (g.graphHeight % 2)
        g.graphHeight += 1;  // even, so that the midline lies exactly halfway (Y(0) = mid)
    // The fourth header line ends at top + 3h + h/2 + 1 (the first line takes a
    // pixel more): the first graph starts half a line below it.
    const int32_t t1 = a.top + 4 * h + 1;
    const int32_t t2 = t1 + g.graphHeight + h;      // one line for the labels in between
    const int32_t t3 = t2 + g.graphHeight + h;
    const int32_t tops[3] = {t1, t2, t3};
    for (int i = 0; i < 3; i++)
        g.graph[i] = RECT{g.x0, tops[i], g.x0 + g.graphWidth, tops[i] + g.graphHeight};
    g.textTop = t3 + g.graphHeight + h + h / 2;  // half a line below the third graph's labels

    // Legend: two columns of cells at the right, from the top margin down.
    g.cellWidth = rec[6] * g.W / 1000;
    g.legendWidth = 2 * (g.cellWidth + 2 * g.marginX) + g.marginX / 2;
    // The frame's last column legendLeft + legendWidth is marginX pixels inside the outline at right + 1.
    g.legendLeft = a.right - g.legendWidth - g.marginX + 1;
    g.legendTop = a.top + g.marginY + h / 2;
    g.legendRoom = a.bottom - g.legendTop - (h + h / 4 - 3);  // a line and a quarter, less 3 pixels, kept below
    g.rows = std::max(0, (2 * requiredCount + 2) / 4);
    g.cellHeight = (g.legendRoom - 2 * g.marginY) / 8 - (g.halfMarginY + h);  // room for eight rows
    g.legendHeight = (g.cellHeight + g.halfMarginY + h) * g.rows + 2 * g.marginY;
    if (g.legendHeight > g.legendRoom && g.rows > 0) {
        // More than eight rows share the room.
        g.cellHeight = (g.legendRoom - 2 * g.marginY) / g.rows - (g.halfMarginY + h);
        g.legendHeight = g.legendRoom;
    }
    return g;
}

/*==========================================================================
** Graph frame
**========================================================================*/

int32_t GraphFrame::dx(int32_t p) const
{
    if (L < 2)
        return 0;
    return static_cast<int32_t>(static_cast<int64_t>(p - first) * (r.right - r.left) / (L - 1));
}

int32_t GraphFrame::X(int32_t p) const
{
    return r.left + dx(p);
}

int32_t GraphFrame::Y(int32_t s) const
{
    return r.bottom - static_cast<int32_t>((static_cast<int64_t>(s) + S) * (r.bottom - r.top) / (2 * int64_t(S)));
}

int32_t GraphFrame::mid() const
{
    return r.top + (r.bottom - r.top) / 2;
}

/*==========================================================================
** Legend
**========================================================================*/

std::string legendCaption(int32_t legendWidth, int32_t requiredCount)
{
    char text[64];
    if (legendWidth < 100)
        std::snprintf(text, sizeof text, " Alph: %d ", requiredCount);
    else
        std::snprintf(text, sizeof text, requiredCount == 1 ? " Alphabet, %d item " : " Alphabet, %d items ",
                      requiredCount);
    return text;
}

std::vector<EtalonCellItem> legendCells(const SeriesViewGeometry& g, uint16_t count, const uint16_t* list,
                                        const ChainsHeader* c)
{
    std::vector<EtalonCellItem> cells;
    if (!list || g.rows <= 0)
        return cells;
    // The etalon of the recognised series is shown on grey.
    int32_t recognised = 0;
    if (taskCodeOf(c) == kTaskRecognition && chainsOf(c) > 0 && chainPulsesOf(c, 0) > 0)
        recognised = c->pulsesList[0][0];
    for (int32_t column = 0; column < 2; column++)
        for (int32_t row = 0; row < g.rows; row++) {
            const int32_t idx = column * g.rows + row;
            if (idx >= count)
                return cells;
            const int32_t x = g.legendLeft + g.marginX + column * (g.cellWidth + 2 * g.marginX);
            const int32_t y = g.legendTop + g.marginY + row * (g.cellHeight + g.halfMarginY + g.h);
            const int32_t number = list[idx];
            const RECT cell{x, y, x + g.cellWidth, y + g.cellHeight};
            cells.push_back(EtalonCellItem{cell, number, number == recognised ? 1 : 0});
        }
    return cells;
}

/*==========================================================================
** Pattern box
**========================================================================*/

std::string patternCaption(const ChainsHeader* c)
{
    if (!isTupleSeries(seriesCodeOf(c)))
        return "";
    return isTupleRecognition(taskCodeOf(c)) ? " pattern tuples " : " pattern tuple ";
}

namespace {

// Stored subset k's size, within the entries stored for it.
int32_t storedSize(const SeriesHeader* s, int32_t k)
{
    return std::clamp<int32_t>(s->selectedSubsetSize[k], 0, s->wSubsetCapacity);
}

// The stored subsets of an unfixed tuple series, one row each.
void storedSubsetsBox(const SeriesViewGeometry& g, SIZE cap, int32_t picked, const SeriesHeader* s,
                      PatternBoxGeometry& box)
{
    const int32_t count = std::min(s->wSelectedSubsets, s->wSubsetsCapacity);
    if (count < 1 || !s->selectedSubsetSize || !s->selectedSubsetList)
        return;
    const int32_t h = g.h, rowGap = g.marginY / 8 + 1, cellGap = g.marginX / 8 + 1;
    int32_t m = 0;
    for (int32_t k = 0; k < count; k++)
        m = std::max(m, storedSize(s, k));
    int32_t cellWidth = g.cellWidth;
    int32_t boxWidth = (cellWidth + cellGap) * m + cellGap + 1;
    const int32_t rowHeight = ((g.cellHeight + 2 * rowGap + h) * 8 + 5) / 9;  // 8/9 of a legend row, rounded
    const int32_t boxHeight = (rowHeight + rowGap) * count + rowGap;
    const int32_t room = g.area.right - g.x0 - g.marginX - 1;
    if (room < boxWidth && m > 0) {
        // Narrower cells, as for the single pattern: the room shared by the longest subset.
        boxWidth = room;
        cellWidth = std::max(0, (boxWidth - cellGap - 1) / m - cellGap);
        boxWidth = (cellWidth + cellGap) * m + cellGap + 1;
    }
    boxWidth = std::max(boxWidth, cap.cx + 20);
    const int32_t bottom = g.area.bottom;
    const int32_t boxLeft = room - boxWidth + g.x0 + 1, boxTop = bottom - boxHeight - rowGap;
    box.shown = true;
    // Rectangle()'s right and bottom: the frame's last column is boxLeft + boxWidth - 1; its
    // top is raised a quarter line (less a pixel) for the caption across it.
    box.frame = RECT{boxLeft, boxTop - h / 4 + 1, boxLeft + boxWidth, boxTop + boxHeight};
    box.captionAt = POINT{boxLeft + boxWidth - cap.cx - 10, boxTop - (cap.cy / 4 + cap.cy / 2)};
    int32_t y = boxTop + rowGap / 2;
    for (int32_t k = 0; k < count; k++) {
        int32_t mode = (k + 1 == picked) ? 2 : 0;
        if (k + 1 == s->wRecognizedTuple)
            mode = 1;
        box.rows.push_back(RECT{boxLeft + cellGap, y, boxLeft + cellGap + boxWidth, y + rowHeight + rowGap});
        int32_t x = boxLeft + cellGap;
        const int32_t size = storedSize(s, k);
        for (int32_t i = 0; i < size && s->selectedSubsetList[k]; i++) {
            // The cell's caption starts a pixel above the row's top gap; its curve
            // takes the row's height less the gaps and the caption line.
            const RECT cell{x + cellGap, y - rowGap - 1, x + cellWidth - 2 * cellGap, y + rowHeight - 2 * rowGap - h};
            box.cells.push_back(EtalonCellItem{cell, s->selectedSubsetList[k][i], mode});
            x += cellWidth + cellGap;
        }
        y += rowHeight + rowGap;
    }
}

// The one pattern of a fixed tuple series, under the graphs.
void singlePatternBox(const SeriesViewGeometry& g, SIZE cap, const SeriesHeader* s, PatternBoxGeometry& box)
{
    // Never past the entries the header stores.
    const int32_t p = std::min(s->wSubsetLength, s->wPulsesCapacity);
    if (p == 0 || !s->selectedSubset)
        return;
    const int32_t h = g.h, rowGap = g.marginY / 4 + 1, cellGap = g.marginX / 4 + 1;
    int32_t cellPitch = g.cellWidth + 2 * cellGap;
    int32_t boxWidth = (cellPitch + cellGap) * p + cellGap + 1;
    const int32_t rowHeight = g.cellHeight + 2 * rowGap + h, boxHeight = rowHeight + 2 * rowGap;
    const int32_t room = g.graphWidth;
    if (room < boxWidth) {
        boxWidth = room;
        cellPitch = std::max(0, (boxWidth - cellGap - 1) / p - cellGap);
        boxWidth = (cellPitch + cellGap) * p + cellGap + 1;
    }
    boxWidth = std::max(boxWidth, cap.cx + 20);
    const int32_t bottom = g.area.bottom;
    const int32_t boxLeft = room - boxWidth + g.x0 + 1;
    // Level with the bottom of a full legend; else near the area's bottom.
    const int32_t boxTop =
        g.rows < 8 ? bottom - boxHeight - (h + h / 4 - 3) : g.legendTop + g.legendHeight + 1 - boxHeight;
    box.shown = true;
    // Rectangle()'s right and bottom: the frame's last column is boxLeft + boxWidth - 1; its
    // top is raised a quarter line (less a pixel) for the caption across it.
    box.frame = RECT{boxLeft, boxTop - h / 4 + 1, boxLeft + boxWidth, boxTop + boxHeight};
    box.captionAt = POINT{boxLeft + boxWidth - cap.cx - 10, boxTop - (cap.cy / 4 + cap.cy / 2)};
    const int32_t y = boxTop + rowGap;
    int32_t x = boxLeft + cellGap;
    for (int32_t i = 0; i < p; i++) {
        const RECT cell{x + cellGap, y - rowGap - 1, x + cellPitch - 2 * cellGap, y + rowHeight - 2 * rowGap - h};
        box.cells.push_back(EtalonCellItem{cell, s->selectedSubset[i], 0});
        x += cellPitch + cellGap;
    }
}

} // namespace

PatternBoxGeometry patternBoxGeometry(const SeriesViewGeometry& g, SIZE captionSize, int32_t pickedSubset,
                                      const ChainsHeader* c, const SeriesHeader* s)
{
    PatternBoxGeometry box;
    box.caption = patternCaption(c);
    if (box.caption.empty() || !s)
        return box;
    if (isTupleRecognition(taskCodeOf(c)))
        storedSubsetsBox(g, captionSize, pickedSubset, s, box);
    else
        singlePatternBox(g, captionSize, s, box);
    if (!box.shown)
        box.caption.clear();
    return box;
}
