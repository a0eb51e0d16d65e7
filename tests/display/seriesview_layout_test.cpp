// Geometry of the series view for a given area: graphs, legend and its cells,
// the tuple pattern box with its rows, and the graph coordinates.
#include "display/seriesview_support.h"

namespace {

using SeriesLayout = HandMadeSeries;

SeriesViewOptions areaOptions(RECT area, int32_t lineHeight)
{
    SeriesViewOptions o;
    o.SeriesAreaRect = area;
    o.wLineHeight = lineHeight;
    return o;
}

TEST_F(SeriesLayout, GraphsAndLegendOfAThousandBySevenHundredArea)
{
    // W = 1000, H = 700 (inclusive edges), lines of 14 pixels.
    EXPECT_EQ(g.marginX, 12);
    EXPECT_EQ(g.marginY, 11);   // (15 * 700 + 500) / 1000
    EXPECT_EQ(g.halfMarginY, 5);   // (15 * 700 + 1000) / 2000
    EXPECT_EQ(g.graphWidth, 800);
    EXPECT_EQ(g.graphHeight, 148);  // 330 * (700 - 18 * 14) / 1000 = 147, made even
    EXPECT_EQ(g.graph[0].left, 22);
    EXPECT_EQ(g.graph[0].top, 10 + 4 * 14 + 1);
    EXPECT_EQ(g.graph[1].top, 67 + 148 + 14);
    EXPECT_EQ(g.graph[2].top, 229 + 148 + 14);
    EXPECT_EQ(g.graph[2].right, 822);
    EXPECT_EQ(g.graph[2].bottom, 391 + 148);
    EXPECT_EQ(g.textTop, 539 + 14 + 7);
    // Legend: twenty etalons in ten rows, more than eight: they share the room.
    EXPECT_EQ(g.cellWidth, 50);
    EXPECT_EQ(g.legendWidth, 154);
    EXPECT_EQ(g.legendLeft, 1009 - 154 - 12 + 1);
    EXPECT_EQ(g.legendTop, 10 + 11 + 7);
    EXPECT_EQ(g.rows, 10);
    EXPECT_EQ(g.legendRoom, 709 - 28 - 14);
    EXPECT_EQ(g.cellHeight, (667 - 22) / 10 - 19);
    EXPECT_EQ(g.legendHeight, 667);
}

TEST_F(SeriesLayout, FewEtalonsKeepTheCellHeightOfEightRows)
{
    const SeriesViewGeometry four = seriesViewGeometry(areaOptions(RECT{10, 10, 1009, 709}, 14), 4);
    EXPECT_EQ(four.rows, 2);
    EXPECT_EQ(four.cellHeight, (667 - 22) / 8 - 19);
    EXPECT_EQ(four.legendHeight, (61 + 19) * 2 + 22);
    EXPECT_EQ(seriesViewGeometry(areaOptions(RECT{10, 10, 1009, 709}, 14), 1).rows, 1);
    EXPECT_EQ(seriesViewGeometry(areaOptions(RECT{10, 10, 1009, 709}, 14), 0).rows, 0);
}

TEST_F(SeriesLayout, SpecialGraphSizeIsFixedWhateverTheArea)
{
    for (RECT area : {RECT{10, 10, 1009, 709}, RECT{0, 0, 300, 200}, RECT{10, 10, 2500, 1800}}) {
        SeriesViewOptions o = areaOptions(area, 14);
        o.bSpecialGraphSize = 1;
        const SeriesViewGeometry sg = seriesViewGeometry(o, 20);
        EXPECT_EQ(sg.graphWidth, 618);
        EXPECT_EQ(sg.graphHeight, 112);
        EXPECT_EQ(sg.graph[1].top - sg.graph[0].top, 112 + 14);
    }
}

TEST_F(SeriesLayout, AreaTooSmallForTheTextsGivesGraphsOfNoHeight)
{
    const SeriesViewGeometry tiny = seriesViewGeometry(areaOptions(RECT{10, 10, 109, 109}, 14), 20);
    EXPECT_EQ(tiny.graphHeight, 0);
    EXPECT_EQ(tiny.graph[0].top, tiny.graph[0].bottom);
}

TEST_F(SeriesLayout, GraphCoordinatesSpanTheRectangleAndCentreZero)
{
    const GraphFrame f{RECT{100, 50, 900, 250}, 1201, 144};
    EXPECT_EQ(f.X(0), 100);
    EXPECT_EQ(f.X(1200), 900);
    EXPECT_EQ(f.X(600), 500);
    EXPECT_EQ(f.Y(0), f.mid());
    EXPECT_EQ(f.Y(144), 50);
    EXPECT_EQ(f.Y(-144), 250);
    EXPECT_EQ(f.Y(-1), 250 - 143 * 200 / 288);  // truncated toward zero
    // Fewer than two samples have no x step.
    EXPECT_EQ((GraphFrame{RECT{100, 50, 900, 250}, 1, 144}.X(0)), 100);
}

/*---- Legend ----*/

TEST_F(SeriesLayout, LegendCaptionIsSingularForOneEtalonAndShortWhenNarrow)
{
    EXPECT_EQ(legendCaption(154, 20), " Alphabet, 20 items ");
    EXPECT_EQ(legendCaption(154, 1), " Alphabet, 1 item ");
    EXPECT_EQ(legendCaption(99, 1), " Alph: 1 ");
    EXPECT_EQ(legendCaption(99, 20), " Alph: 20 ");
}

TEST_F(SeriesLayout, LegendCellsFillColumnByColumnAndGreyTheRecognisedEtalon)
{
    const uint16_t list[5] = {2, 4, 6, 8, 10};
    const SeriesViewGeometry g5 = seriesViewGeometry(areaOptions(RECT{10, 10, 1009, 709}, 14), 5);
    ASSERT_EQ(g5.rows, 3);
    describe(1, 2);
    ChainPulses chain;
    chain.push(8, 5, 0, 3);
    storeChain(c, 1, chain);
    const std::vector<EtalonCellItem> cells = legendCells(g5, 5, list, c);
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[2].number, 6);
    EXPECT_EQ(cells[3].number, 8);
    EXPECT_EQ(cells[3].cell.left, cells[0].cell.left + 50 + 24);  // second column
    EXPECT_EQ(cells[3].cell.top, cells[0].cell.top);
    EXPECT_EQ(cells[1].cell.top - cells[0].cell.top, g5.cellHeight + g5.halfMarginY + 14);
    EXPECT_EQ(cells[0].cell.right - cells[0].cell.left, 50);
    for (const EtalonCellItem& cell : cells)
        EXPECT_EQ(cell.mode, cell.number == 8 ? 1 : 0);
    // Joint detection greys nothing.
    c->wProcessingType = 4;
    for (const EtalonCellItem& cell : legendCells(g5, 5, list, c))
        EXPECT_EQ(cell.mode, 0);
}

/*---- Pattern box ----*/

TEST_F(SeriesLayout, SinglePatternSitsUnderTheGraphsLevelWithAFullLegend)
{
    describe(36, 36);
    const int32_t subset[3] = {1, 2, 1};
    ASSERT_EQ(setSelectedSubset(hWnd, subset, 3, 4, 1, s), 1);
    const PatternBoxGeometry box = patternBoxGeometry(g, SIZE{100, 14}, 0, c, s);
    ASSERT_TRUE(box.shown);
    EXPECT_EQ(box.caption, " pattern tuple ");
    // vg = 3, hg = 4, cell pitch 58, width (58 + 4) * 3 + 5 = 191, height 65 + 6.
    EXPECT_EQ(box.frame.left, 22 + 800 - 191 + 1);
    EXPECT_EQ(box.frame.right, box.frame.left + 191);
    EXPECT_EQ(box.frame.bottom, g.legendTop + g.legendHeight + 1);  // ten legend rows: level with the legend
    ASSERT_EQ(box.cells.size(), 3u);
    EXPECT_EQ(box.cells[1].number, 2);
    EXPECT_EQ(box.cells[1].cell.left - box.cells[0].cell.left, 62);
    EXPECT_EQ(box.captionAt.x, box.frame.right - 100 - 10);
    EXPECT_TRUE(box.rows.empty());
}

TEST_F(SeriesLayout, LongPatternNarrowsItsCellsToTheGraphWidth)
{
    describe(36, 36);
    std::vector<int32_t> subset(14, 1);
    ASSERT_EQ(setSelectedSubset(hWnd, subset.data(), 14, 4, 1, s), 1);
    const PatternBoxGeometry box = patternBoxGeometry(g, SIZE{100, 14}, 0, c, s);
    ASSERT_EQ(box.cells.size(), 14u);
    EXPECT_LE(box.frame.right - box.frame.left, g.graphWidth);
    EXPECT_GE(box.frame.left, g.x0);
    EXPECT_LE(box.cells.back().cell.right, box.frame.right);
}

TEST_F(SeriesLayout, StoredSubsetsGiveOneRowEachRecognisedBeforePicked)
{
    describe(40, 40);
    const int32_t sizes[3] = {2, 3, 1};
    const int32_t a[2] = {1, 2}, b[3] = {2, 2, 1}, d[1] = {2};
    const int32_t* subsets[3] = {a, b, d};
    ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, subsets, 3, 4, 5, 1, 4, 1, s), 1);
    s->wRecognizedTuple = 2;
    PatternBoxGeometry box = patternBoxGeometry(g, SIZE{100, 14}, 2, c, s);
    ASSERT_TRUE(box.shown);
    EXPECT_EQ(box.caption, " pattern tuples ");
    ASSERT_EQ(box.rows.size(), 3u);
    ASSERT_EQ(box.cells.size(), 6u);
    EXPECT_EQ(box.cells[0].mode, 0);
    EXPECT_EQ(box.cells[2].mode, 1);  // picked and recognised: recognised
    EXPECT_EQ(box.cells[5].mode, 0);
    EXPECT_EQ(box.rows[1].top, box.rows[0].bottom);  // rows touch
    EXPECT_LE(box.frame.bottom, g.area.bottom);
    EXPECT_EQ(box.frame.right, g.area.right - g.marginX);  // right-aligned at the margin
    box = patternBoxGeometry(g, SIZE{100, 14}, 3, c, s);
    EXPECT_EQ(box.cells[5].mode, 2);  // picked
}

TEST_F(SeriesLayout, PatternBoxOnlyForTupleSeriesWithSomethingToShow)
{
    describe(2, 4);
    const int32_t subset[2] = {1, 2};
    ASSERT_EQ(setSelectedSubset(hWnd, subset, 2, 4, 1, s), 1);
    EXPECT_FALSE(patternBoxGeometry(g, SIZE{100, 14}, 0, c, s).shown);
    c->wSeriesType = 36;
    EXPECT_TRUE(patternBoxGeometry(g, SIZE{100, 14}, 0, c, s).shown);
    s->wSubsetLength = 0;
    EXPECT_FALSE(patternBoxGeometry(g, SIZE{100, 14}, 0, c, s).shown);
    // Task 40 without stored subsets shows nothing.
    c->wProcessingType = 40;
    s->wSubsetLength = 2;
    EXPECT_FALSE(patternBoxGeometry(g, SIZE{100, 14}, 0, c, s).shown);
}

} // namespace
