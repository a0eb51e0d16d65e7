// The series view painted from plain inputs: the area outline, the header
// lines, the three graphs (true pulses, the noisy series, the restored one),
// the legend, the result lines and the tuple pattern box, in that order.
// drawSeriesView (results.cpp) feeds it from the program state.
#include "display/display.h"
#include "display/seriesview_private.h"

using namespace seriesview;

namespace {

void writeTexts(HDC hdc, const std::vector<TextItem>& texts)
{
    for (const TextItem& t : texts)
        TextOutA(hdc, t.x, t.y, t.text.c_str(), static_cast<int>(t.text.size()));
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

// Every detected pulse names an etalon: the restored series can be built.
bool restorable(const SeriesHeader* s)
{
    const int32_t D = detectedPulsesOf(s);
    for (int32_t i = 0; i < D; i++)
        if (s->lpDetectedNumbers[i] == 0)
            return false;
    return true;
}

} // namespace

int paintSeriesView(HDC hdc, const SeriesViewOptions& o, uint16_t count, const uint16_t* list,
                    const ChainsHeader* c, const SeriesHeader* s, std::vector<RECT>* patternRows)
{
    if (patternRows)
        patternRows->clear();
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

    writeTexts(hdc, seriesHeaderLines(g, c, s));
    const SeriesScale scale = seriesScale(s->wSeriesAmplitude, s->wSeriesNoiseLevel);
    const uint16_t task = taskCodeOf(c), series = seriesCodeOf(c);
    const LabelStyle labels{etalonLettersShown(c, s), cutoffCode(series)};
    const int32_t L = samplesOf(s);
    const GraphFrame f1{g.graph[0], L, scale.S}, f2{g.graph[1], L, scale.S}, f3{g.graph[2], L, scale.S};

    // The true pulses.
    drawPulseLabels(hdc, f1, 0, labels, s);
    graphField(hdc, o, f1.r);
    if (tupleCode(task))
        tupleHighlight(hdc, o, f1, s);
    if (o.bHighlightDetectedPulses)
        highlightDetectedPulses(hdc, f1, s);
    drawGraphAxes(hdc, f1);
    drawTruePulses(hdc, f1, s);
    drawKeptParts(hdc, f1, s);
    if (o.bShadedOriginalPulses)
        shadeOriginalPulses(hdc, f1, s);

    // The noisy series as the detector saw it.
    const bool tuplesFound = tupleCode(task) && tupleCode(series);
    drawPulseLabels(hdc, f2, 1, labels, s);
    graphField(hdc, o, f2.r);
    if (tuplesFound)
        tupleHighlight(hdc, o, f2, s);
    if (o.bHighlightDetectedPulses)
        highlightDetectedPulses(hdc, f2, s);
    drawGraphAxes(hdc, f2);
    drawNoisySeries(hdc, f2, s);

    // The series restored from the detected pulses.
    if (restorable(s)) {
        drawPulseLabels(hdc, f3, 2, labels, s);
        graphField(hdc, o, f3.r);
        if (tuplesFound)
            tupleHighlight(hdc, o, f3, s);
        if (o.bHighlightDetectedPulses)
            highlightDetectedPulses(hdc, f3, s);
        drawGraphAxes(hdc, f3);
        drawDetectedPulses(hdc, f3, s);
    }

    paintLegend(hdc, g, scale.a, count, list, c, s);
    writeTexts(hdc, seriesResultLines(g, c, s));
    paintPatternBox(hdc, g, scale.a, o.wPickedSubset, c, s, patternRows);
    return 1;
}
