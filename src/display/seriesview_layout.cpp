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
    g.mx = rec[0] * g.W / 1000;
    g.my = (rec[1] * g.H + 500) / 1000;   // rounded
    g.my2 = (rec[1] * g.H + 1000) / 2000; // half of it, rounded
    g.x0 = a.left + g.mx;
    if (o.bSpecialGraphSize) {
        g.gw = 618;
        g.gh = 112;
    } else {
        // An area too small for the texts gives graphs of no size, not negative ones.
        g.gw = std::max(0, rec[4] * g.W / 1000);
        g.gh = std::max(0, rec[5] * (g.H - 18 * h) / 1000);
    }
    if (g.gh % 2)
        g.gh += 1;  // even, so that the midline lies exactly halfway (Y(0) = mid)
    // The fourth header line ends at top + 3h + h/2 + 1 (the first line takes a
    // pixel more): the first graph starts half a line below it.
    const int32_t t1 = a.top + 4 * h + 1;
    const int32_t t2 = t1 + g.gh + h;      // one line for the labels in between
    const int32_t t3 = t2 + g.gh + h;
    const int32_t tops[3] = {t1, t2, t3};
    for (int i = 0; i < 3; i++)
        g.graph[i] = RECT{g.x0, tops[i], g.x0 + g.gw, tops[i] + g.gh};
    g.textTop = t3 + g.gh + h + h / 2;  // half a line below the third graph's labels

    // Legend: two columns of cells at the right, from the top margin down.
    g.cw = rec[6] * g.W / 1000;
    g.lw = 2 * (g.cw + 2 * g.mx) + g.mx / 2;
    // The frame's last column ll + lw is mx pixels inside the outline at right + 1.
    g.ll = a.right - g.lw - g.mx + 1;
    g.lt = a.top + g.my + h / 2;
    g.legendRoom = a.bottom - g.lt - (h + h / 4 - 3);  // a line and a quarter, less 3 pixels, kept below
    g.rows = std::max(0, (2 * requiredCount + 2) / 4);
    g.ch = (g.legendRoom - 2 * g.my) / 8 - (g.my2 + h);  // room for eight rows
    g.lh = (g.ch + g.my2 + h) * g.rows + 2 * g.my;
    if (g.lh > g.legendRoom && g.rows > 0) {
        g.ch = (g.legendRoom - 2 * g.my) / g.rows - (g.my2 + h);  // more than eight rows share the room
        g.lh = g.legendRoom;
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
    return static_cast<int32_t>(static_cast<int64_t>(p) * (r.right - r.left) / (L - 1));
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

std::string legendCaption(int32_t lw, int32_t requiredCount)
{
    char text[64];
    if (lw < 100)
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
            const int32_t x = g.ll + g.mx + column * (g.cw + 2 * g.mx);
            const int32_t y = g.lt + g.my + row * (g.ch + g.my2 + g.h);
            const int32_t number = list[idx];
            cells.push_back(EtalonCellItem{RECT{x, y, x + g.cw, y + g.ch}, number, number == recognised ? 1 : 0});
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
    const int32_t h = g.h, vg = g.my / 8 + 1, hg = g.mx / 8 + 1;
    int32_t m = 0;
    for (int32_t k = 0; k < count; k++)
        m = std::max(m, storedSize(s, k));
    int32_t cw = g.cw;
    int32_t bw = (cw + hg) * m + hg + 1;
    const int32_t rh = ((g.ch + 2 * vg + h) * 8 + 5) / 9;  // 8/9 of a legend row, rounded
    const int32_t bh = (rh + vg) * count + vg;
    const int32_t room = g.area.right - g.x0 - g.mx - 1;
    if (room < bw && m > 0) {
        // Narrower cells, as for the single pattern: the room shared by the longest subset.
        bw = room;
        cw = std::max(0, (bw - hg - 1) / m - hg);
        bw = (cw + hg) * m + hg + 1;
    }
    bw = std::max(bw, cap.cx + 20);
    const int32_t bottom = g.area.bottom;
    const int32_t bl = room - bw + g.x0 + 1, bt = bottom - bh - vg;
    box.shown = true;
    // Rectangle()'s right and bottom: the frame's last column is bl + bw - 1; its
    // top is raised a quarter line (less a pixel) for the caption across it.
    box.frame = RECT{bl, bt - h / 4 + 1, bl + bw, bt + bh};
    box.captionAt = POINT{bl + bw - cap.cx - 10, bt - (cap.cy / 4 + cap.cy / 2)};
    int32_t y = bt + vg / 2;
    for (int32_t k = 0; k < count; k++) {
        int32_t mode = (k + 1 == picked) ? 2 : 0;
        if (k + 1 == s->wRecognizedTuple)
            mode = 1;
        box.rows.push_back(RECT{bl + hg, y, bl + hg + bw, y + rh + vg});
        int32_t x = bl + hg;
        const int32_t size = storedSize(s, k);
        for (int32_t i = 0; i < size && s->selectedSubsetList[k]; i++) {
            // The cell's caption starts a pixel above the row's top gap; its curve
            // takes the row's height less the gaps and the caption line.
            box.cells.push_back(EtalonCellItem{RECT{x + hg, y - vg - 1, x + cw - 2 * hg, y + rh - 2 * vg - h},
                                               s->selectedSubsetList[k][i], mode});
            x += cw + hg;
        }
        y += rh + vg;
    }
}

// The one pattern of a fixed tuple series, under the graphs.
void singlePatternBox(const SeriesViewGeometry& g, SIZE cap, const SeriesHeader* s, PatternBoxGeometry& box)
{
    // Never past the entries the header stores.
    const int32_t p = std::min(s->wSubsetLength, s->wPulsesCapacity);
    if (p == 0 || !s->selectedSubset)
        return;
    const int32_t h = g.h, vg = g.my / 4 + 1, hg = g.mx / 4 + 1;
    int32_t cp = g.cw + 2 * hg;
    int32_t bw = (cp + hg) * p + hg + 1;
    const int32_t rh = g.ch + 2 * vg + h, bh = rh + 2 * vg;
    const int32_t room = g.gw;
    if (room < bw) {
        bw = room;
        cp = std::max(0, (bw - hg - 1) / p - hg);
        bw = (cp + hg) * p + hg + 1;
    }
    bw = std::max(bw, cap.cx + 20);
    const int32_t bottom = g.area.bottom;
    const int32_t bl = room - bw + g.x0 + 1;
    // Level with the bottom of a full legend; else near the area's bottom.
    const int32_t bt = g.rows < 8 ? bottom - bh - (h + h / 4 - 3) : g.lt + g.lh + 1 - bh;
    box.shown = true;
    // Rectangle()'s right and bottom: the frame's last column is bl + bw - 1; its
    // top is raised a quarter line (less a pixel) for the caption across it.
    box.frame = RECT{bl, bt - h / 4 + 1, bl + bw, bt + bh};
    box.captionAt = POINT{bl + bw - cap.cx - 10, bt - (cap.cy / 4 + cap.cy / 2)};
    const int32_t y = bt + vg;
    int32_t x = bl + hg;
    for (int32_t i = 0; i < p; i++) {
        box.cells.push_back(
            EtalonCellItem{RECT{x + hg, y - vg - 1, x + cp - 2 * hg, y + rh - 2 * vg - h}, s->selectedSubset[i], 0});
        x += cp + hg;
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
