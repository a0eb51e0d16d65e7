// Painting the series view on a memory surface from hand-made records: inputs
// that cannot be drawn (no series, one sample, one-sample etalons, counts
// beyond the arrays) draw less and never read outside an array.
#include "support/headless.h"
#include "display/seriesview_support.h"
#include "platform/backend.h"

namespace {

class SeriesPaint : public HandMadeSeries {
protected:
    MemoryCanvas canvas{1020, 720};
    HDC dc = canvas.dc;
    SeriesViewOptions o;

    void SetUp() override
    {
        HandMadeSeries::SetUp();
        o.SeriesAreaRect = RECT{10, 10, 1009, 709};
        o.wLineHeight = 14;
    }
    // Non-white pixels strictly inside r.
    int inked(const RECT& r) const
    {
        int n = 0;
        for (int y = r.top + 1; y < r.bottom; y++)
            for (int x = r.left + 1; x < r.right; x++)
                n += GetPixel(dc, x, y) != RGB(255, 255, 255);
        return n;
    }
};

const uint16_t kList[2] = {1, 2};

TEST_F(SeriesPaint, HandMadeSeriesDrawsPulsesHighlightsAndLegend)
{
    describe(2, 4);
    addTrue(100, 1);
    addTrue(200, 2, 1, 2);
    addDetected(100, 1);
    s->lpNoisyData[150] = 40;
    EXPECT_EQ(paintSeriesView(dc, o, 2, kList, c, s, nullptr), 1);
    EXPECT_GT(inked(g.graph[0]), 0);
    EXPECT_GT(inked(g.graph[2]), 0);
    // The mid point of the noisy series' peak at sample 150 lies in the middle graph.
    const GraphFrame f{g.graph[1], 400, seriesScale(128, 20).S};
    EXPECT_EQ(GetPixel(dc, f.X(150), f.Y(40)), RGB(0, 0, 255));
}

TEST_F(SeriesPaint, NoSeriesDrawsTheAreaOnly)
{
    EXPECT_EQ(paintSeriesView(dc, o, 2, kList, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(GetPixel(dc, 10, 300), RGB(0, 0, 0));
    EXPECT_EQ(inked(RECT{10, 10, 1010, 710}), 0);
}

TEST_F(SeriesPaint, SeriesOfOneSampleDrawsNoGraphs)
{
    addTrue(0, 1);
    addDetected(0, 1);
    s->dwSeriesSize = 1;
    EXPECT_EQ(paintSeriesView(dc, o, 2, kList, nullptr, s, nullptr), 1);
    for (const RECT& r : g.graph)  // axes and frames, nothing inside the fields but the axes
        EXPECT_EQ(inked(r), r.right - r.left - 1);
}

TEST_F(SeriesPaint, EtalonOfOneSampleShowsItsCaptionAndAxesOnly)
{
    etalons[0].wLength = 1;
    drawEtalonCell(nullptr, dc, &etalons[0], 128, 0, RECT{100, 100, 150, 160});
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    const int32_t h = tm.tmHeight + tm.tmExternalLeading - 1;
    const int32_t yc = 100 + 1 + h + h / 4;  // below the caption line
    EXPECT_EQ(GetPixel(dc, 100, yc + 10), RGB(0, 0, 0));                    // the vertical axis
    EXPECT_EQ(inked(RECT{101, yc, 150, yc + 60 / 2}), 0);                   // no curve above the axis
    drawEtalonCell(nullptr, dc, &etalons[1], 128, 2, RECT{200, 100, 250, 160});
    EXPECT_EQ(GetPixel(dc, 198, yc + 5), RGB(255, 0, 0));                  // the red ground
    EXPECT_EQ(GetPixel(dc, 200, yc + 5), RGB(255, 255, 255));               // white axis on it
}

TEST_F(SeriesPaint, CountsBeyondTheArraysAndUnknownEtalonsAreLeftOut)
{
    describe(36, 36);
    addTrue(100, 1);
    addDetected(100, 7);       // no such etalon
    s->wImpulseQuantity = 60000;  // more than the arrays hold
    s->wDetectedQuantity = 60000;
    s->wDetectedTuples = 3;
    s->lpTupleFirst[0] = -5, s->lpTupleLast[0] = 900;
    s->lpTupleFirst[1] = 1, s->lpTupleLast[1] = 1;
    s->lpTupleFirst[2] = 2, s->lpTupleLast[2] = 1;
    s->wSubsetLength = 5000;
    const uint16_t list[3] = {1, 0, 99};
    std::vector<RECT> rows{RECT{1, 2, 3, 4}};
    EXPECT_EQ(paintSeriesView(dc, o, 3, list, c, s, &rows), 1);
    EXPECT_TRUE(rows.empty());  // no stored subsets, no rows
    EXPECT_GT(inked(g.graph[0]), 0);
}

TEST_F(SeriesPaint, LongLinesStopBeforeTheLegend)
{
    describe(2, 4);
    for (int i = 0; i < 19; i++)
        addTrue(static_cast<int16_t>(100 + 15 * i), 1, 1, 2);
    paintSeriesView(dc, o, 2, kList, c, s, nullptr);
    const std::vector<TextItem> header = seriesHeaderLines(g, c, s);
    const int32_t y = header[3].y;  // " pulses: 100a[1..2]  115a[1..2] ..." is wider than the room
    EXPECT_EQ(inked(RECT{g.legendLeft - 2, y, g.legendLeft, y + 14}), 0);       // the column before the frame is white
    EXPECT_GT(inked(RECT{g.legendLeft - 120, y, g.legendLeft - 1, y + 14}), 0); // the text came close to it
}

/*---- Graph routines: one sample per column (W' = L - 1) ----*/

TEST_F(SeriesPaint, DetectedPulseBracketIsDottedAndMarksTheKeptRange)
{
    const GraphFrame f{RECT{100, 100, 499, 220}, 400, 20};  // mid 160, reach 40
    addDetected(50, 1, 1, 2);
    highlightDetectedPulses(dc, f, s);
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    EXPECT_EQ(GetPixel(dc, 150, 160), black);
    EXPECT_EQ(GetPixel(dc, 150, 159), white);
    EXPECT_EQ(GetPixel(dc, 150, 122), black);   // k = 38, the last below the reach
    EXPECT_EQ(GetPixel(dc, 153, 198), black);   // the pulse's last sample, below the midline
    EXPECT_EQ(GetPixel(dc, 150, 120), black);   // the top edge at k = 40, every second column
    EXPECT_EQ(GetPixel(dc, 151, 120), white);
    EXPECT_EQ(GetPixel(dc, 152, 200), black);
    EXPECT_EQ(GetPixel(dc, 154, 200), white);   // not past the last sample
    EXPECT_EQ(GetPixel(dc, 151, 158), black);   // kept range: verticals only
    EXPECT_EQ(GetPixel(dc, 152, 156), black);
    EXPECT_EQ(inked(RECT{100, 100, 149, 220}), 0);
}

TEST_F(SeriesPaint, DetectedTupleBackgroundWidensByTwoColumnsEachSide)
{
    const GraphFrame f{RECT{100, 100, 499, 220}, 400, 20};
    addDetected(50, 1);
    addDetected(80, 1);
    s->wDetectedTuples = 1;
    s->lpTupleFirst[0] = 1, s->lpTupleLast[0] = 2;
    fillDetectedTuples(dc, f, s);
    const COLORREF tuple = RGB(192, 191, 178);
    EXPECT_EQ(GetPixel(dc, 148, 160), tuple);   // 50 - 2
    EXPECT_EQ(GetPixel(dc, 147, 160), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 184, 160), tuple);   // 80 + 3 + 2, exclusive
    EXPECT_EQ(GetPixel(dc, 185, 160), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 160, 160 - 45), tuple);
    EXPECT_EQ(GetPixel(dc, 160, 160 - 46), RGB(255, 255, 255));
}

TEST_F(SeriesPaint, HatchingCoversTheKeptPartOnly)
{
    const GraphFrame f{RECT{100, 100, 499, 220}, 400, 20};
    addTrue(50, 1, 1, 2);  // samples 20, 20 at 51, 52: the span from 51 to 52
    shadeOriginalPulses(dc, f, s);
    EXPECT_GT(inked(RECT{150, 100, 152, 160}), 20);  // column 151, above the midline
    EXPECT_EQ(inked(RECT{151, 100, 160, 221}), 0);   // nothing from the last kept sample on
    EXPECT_EQ(inked(RECT{100, 159, 151, 221}), 0);   // nothing below the midline
}

} // namespace
