// The series view painted from plain inputs: the area outline, the header
// lines, the three graphs (true pulses, the noisy series, the restored one),
// the legend, the result lines and the tuple pattern box, in that order.
// drawSeriesView (results.cpp) feeds it from the program state.
#include "display/display_private.h"
#include "display/seriesview_private.h"

#include <algorithm>
#include <string>

using namespace seriesview;

namespace {

// The longest head of `text` (whole UTF-8 characters) no wider than `room`.
size_t fittingLength(HDC hdc, const std::string& text, int32_t room)
{
    SIZE size{0, 0};
    size_t lo = 0, hi = text.size();
    while (lo < hi) {  // the largest length whose extent fits
        size_t mid = (lo + hi + 1) / 2;
        while (mid > lo && mid < text.size() && (static_cast<unsigned char>(text[mid]) & 0xC0) == 0x80)
            mid--;  // never cut inside a character
        if (mid == lo) {
            break;
        }
        GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(mid), &size);
        if (size.cx <= room)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// Writes the texts, each cut where it would run into the legend or past the
// area's right edge: long pulse lists end at the legend instead of covering it.
void writeTexts(HDC hdc, const SeriesViewGeometry& g, const std::vector<TextItem>& texts)
{
    const int32_t legendTop = g.legendTop - g.marginY, legendBottom = g.legendTop + g.legendHeight;  // caption included
    for (const TextItem& t : texts) {
        const bool besideLegend = t.y + g.h > legendTop && t.y <= legendBottom;
        const int32_t right = besideLegend ? g.legendLeft - 2 : g.area.right;  // a pixel of white before the frame
        size_t n = fittingLength(hdc, t.text, right - t.x);
        if (n < t.text.size()) {
            // Cut between list entries, not inside a number.
            const size_t blank = t.text.find_last_of(' ', n);
            if (blank != std::string::npos && blank > 0)
                n = blank;
        }
        TextOutA(hdc, t.x, t.y, t.text.c_str(), static_cast<int>(n));
    }
}

// The white framed field behind a graph: Rectangle's right and bottom are
// exclusive, so + 1 puts the frame on the graph's right and bottom pixels.
void graphField(HDC hdc, const SeriesViewOptions& o, const RECT& r)
{
    if (!o.bFrameGraphFields || o.bSpecialGraphSize)
        return;
    HGDIOBJ oldPen = SelectObject(hdc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(hdc, GetStockObject(WHITE_BRUSH));
    Rectangle(hdc, r.left, r.top, r.right + 1, r.bottom + 1);
    SelectObject(hdc, oldBrush);
    SelectObject(hdc, oldPen);
}

void tupleHighlight(HDC hdc, const SeriesViewOptions& o, const GraphFrame& f, const SeriesHeader* s)
{
    if (o.wTuplesHighlight == 1)
        frameDetectedTuples(hdc, f, s);
    else if (o.wTuplesHighlight == 2)
        fillDetectedTuples(hdc, f, s);
}

// What every graph shows beneath its curves, in this order: the pulse labels
// of graph `row`, the field, the tuple highlight (when `tuples`), the
// highlighted detected pulses and the axes.
void graphBackground(HDC hdc, const SeriesViewOptions& o, const GraphFrame& f, int row, const LabelStyle& labels,
                     bool tuples, const SeriesHeader* s)
{
    drawPulseLabels(hdc, f, row, labels, s);
    graphField(hdc, o, f.r);
    if (tuples)
        tupleHighlight(hdc, o, f, s);
    if (o.bHighlightDetectedPulses)
        highlightDetectedPulses(hdc, f, s);
    drawGraphAxes(hdc, f);
}

// Every detected pulse names an etalon: the restored series can be built.
bool restorable(const SeriesHeader* s)
{
    const int32_t D = detectedPulsesOf(s);
    for (int32_t i = 0; i < D; i++)
        if (s->lpDetectedNumbers[i] == 0)
            return false;
    return true;
}

// The samples the graphs show: the whole series, or a page of a recording.
struct PageSpan {
    int32_t first;  // first sample shown
    int32_t L;      // samples shown
    bool paged;     // fewer than the series holds
};

PageSpan pageSpan(const SeriesViewOptions& o, int32_t samples)
{
    if (o.dwPageSamples <= 0 || o.dwPageSamples >= samples)
        return PageSpan{0, samples, false};
    const int32_t first = std::clamp(o.dwFirstSample, 0, samples - o.dwPageSamples);
    return PageSpan{first, o.dwPageSamples, true};
}

// Where the recording's first graph stands: which samples the view shows,
// where a stretch of a longer signal lies in it, and how to turn the page.
TextItem pageLine(const SeriesViewOptions& o, const GraphFrame& f, int32_t samples, int32_t h)
{
    std::string text = " recording: no true pulses; samples " + std::to_string(f.first) + ".." +
                       std::to_string(f.first + f.L - 1) + " of " + std::to_string(samples);
    if (o.dwSignalSamples > samples)
        text += ", signal samples " + std::to_string(o.dwStretchFirst) + ".." +
                std::to_string(o.dwStretchFirst + samples - 1) + " of " + std::to_string(o.dwSignalSamples);
    if (f.page)
        text += " (Page Up, Page Down, Home, End turn the page)";
    return TextItem{f.r.left, f.r.top + h, text};
}

// The chain table's pulses column: the usual offset, or far enough right of
// the widest row head that would run into the pulses there.
int32_t pulsesColumn(HDC hdc, const ChainsHeader* c, const SeriesHeader* s, bool truth)
{
    int32_t column = kChainPulsesColumn;
    for (const std::string& head : wideChainRowHeads(c, s, truth)) {
        SIZE size{0, 0};
        GetTextExtentPoint32A(hdc, head.c_str(), static_cast<int>(head.size()), &size);
        if (size.cx >= kChainPulsesColumn)  // it would run into the pulses
            column = std::max<int32_t>(column, size.cx + size.cy);  // a line height of white after it
    }
    return column;
}

} // namespace

int paintSeriesView(HDC hdc, const SeriesViewOptions& o, uint16_t count, const uint16_t* list,
                    const ChainsHeader* c, const SeriesHeader* s, std::vector<RECT>* patternRows)
{
    if (patternRows)
        patternRows->clear();
    std::vector<uint16_t> own;  // a recording's legend holds its own etalons, 1..the series' count
    if (o.bRecording && s) {
        for (uint16_t e = 1; e <= s->wEtalonsQuantity; e++)
            own.push_back(e);
        count = static_cast<uint16_t>(own.size());
        list = own.data();
    }
    const SeriesViewGeometry g = seriesViewGeometry(o, count);
    // The outline one pixel outside the area's inclusive right and bottom.
    const RECT& a = o.SeriesAreaRect;
    MoveToEx(hdc, a.left, a.top, nullptr);
    LineTo(hdc, a.left, a.bottom + 1);
    LineTo(hdc, a.right + 1, a.bottom + 1);
    LineTo(hdc, a.right + 1, a.top);
    LineTo(hdc, a.left, a.top);
    if (!s)
        return 1;  // nothing to show but the area

    const bool truth = !o.bRecording;
    writeTexts(hdc, g, seriesHeaderLines(g, c, s, truth));
    const SeriesScale scale = seriesScale(s->wSeriesAmplitude, s->wSeriesNoiseLevel);
    const uint16_t task = taskCodeOf(c), series = seriesCodeOf(c);
    const LabelStyle labels{etalonLettersShown(c, s), isCutoffSeries(series)};
    const PageSpan page = pageSpan(o, samplesOf(s));
    const GraphFrame f1{g.graph[0], page.L, scale.S, page.first, page.paged};
    const GraphFrame f2{g.graph[1], page.L, scale.S, page.first, page.paged};
    const GraphFrame f3{g.graph[2], page.L, scale.S, page.first, page.paged};

    // The true pulses, or for a recording the page it shows.
    if (truth) {
        graphBackground(hdc, o, f1, 0, labels, isTupleProcessing(task), s);
        drawTruePulses(hdc, f1, s);
        drawKeptParts(hdc, f1, s);
        if (o.bShadedOriginalPulses)
            shadeOriginalPulses(hdc, f1, s);
    } else {
        writeTexts(hdc, g, {pageLine(o, f1, samplesOf(s), g.h)});
    }

    // The noisy series as the detector saw it.
    const bool tuplesFound = isTupleProcessing(task) && isTupleSeries(series);
    graphBackground(hdc, o, f2, 1, labels, tuplesFound, s);
    drawNoisySeries(hdc, f2, s);

    // The series restored from the detected pulses.
    if (restorable(s)) {
        graphBackground(hdc, o, f3, 2, labels, tuplesFound, s);
        drawDetectedPulses(hdc, f3, s);
    }

    paintLegend(hdc, g, scale.a, count, list, c, s);
    writeTexts(hdc, g, seriesResultLines(g, c, s, truth, pulsesColumn(hdc, c, s, truth)));
    paintPatternBox(hdc, g, scale.a, o.wPickedSubset, c, s, patternRows);
    return 1;
}
