// The layout of the main window as numbers: the button column, the series
// area and the alphabet grid, the choice panels, for several client sizes,
// processing types and selections. No surface is involved.
#include <gtest/gtest.h>

#include "display/display_private.h"
#include "shell/shell.h"

namespace {

// Metrics with a line height of 14 (15 + 0 - 1).
TEXTMETRICA metrics()
{
    TEXTMETRICA tm{};
    tm.tmHeight = 15;
    tm.tmExternalLeading = 0;
    tm.tmAveCharWidth = 7;
    tm.tmMaxCharWidth = 20;
    return tm;
}

void expectRect(const RECT& r, int l, int t, int rr, int b)
{
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

class Layout : public ::testing::Test {
protected:
    DisplayState d;
    void SetUp() override
    {
        resetProgramState();
        gState.wSeriesType = kSeriesFixedCutoff;
        gState.wProcessingType = kTaskJoint;
    }
    void lay(int width, int height) { layoutMainWindow(RECT{0, 0, width, height}, metrics(), d); }
};

} // namespace

TEST_F(Layout, ButtonColumnHangsFromTheBottomRightCorner)
{
    lay(1280, 960);
    expectRect(d.ExitButtonRect, 1126, 918, 1269, 949);
    expectRect(d.NextButtonRect, 1126, 876, 1269, 907);
    EXPECT_EQ(d.bSelectButtonExists, 1);
    expectRect(d.SelectAllButtonRect, 1126, 834, 1269, 865);
    expectRect(d.UnselectAllButtonRect, 1126, 834, 1269, 865);
    expectRect(d.RestartButtonRect, 1126, 792, 1269, 823);
    expectRect(d.ButtonsAreaRect, 1126, 750, 1269, 865);
    EXPECT_EQ(d.wLineHeight, 14);
}

TEST_F(Layout, WithoutSelectButtonRestartTakesItsPlace)
{
    for (uint16_t p : {uint16_t(1), uint16_t(36), uint16_t(40)}) {
        gState.wProcessingType = p;
        d = DisplayState{};
        lay(1000, 700);
        EXPECT_EQ(d.bSelectButtonExists, 0) << p;
        expectRect(d.RestartButtonRect, 846, 574, 989, 605);
        expectRect(d.SelectAllButtonRect, 0, 0, 0, 0);  // never set
        expectRect(d.ButtonsAreaRect, 846, 532, 989, 605);
    }
}

TEST_F(Layout, TwentyEtalonsMakeAFiveByFourGridOfWholeCells)
{
    lay(1280, 960);
    EXPECT_EQ(d.wCellWidth, 209);   // (1107 - 60) / 5
    EXPECT_EQ(d.wCellHeight, 222);  // (941 - 50) / 4
    EXPECT_EQ(d.wCellInnerWidth, 199);
    EXPECT_EQ(d.wCellInnerHeight, 212);
    expectRect(d.SeriesAreaRect, 10, 10, 1114, 947);
    expectRect(d.EtalonCellRect[0], 20, 20, 228, 241);
    expectRect(d.EtalonCellRect[4], 896, 20, 1104, 241);
    expectRect(d.EtalonCellRect[5], 20, 252, 228, 473);
    expectRect(d.EtalonCellRect[19], 896, 716, 1104, 937);
}

TEST_F(Layout, GridShapeFollowsTheAlphabetSize)
{
    gState.wAlphabetSize = 1;  // 2 columns, 1 row
    lay(1280, 960);
    EXPECT_EQ(d.wCellWidth, (1107 - 30) / 2);
    EXPECT_EQ(d.wCellHeight, 941 - 20);
    gState.wAlphabetSize = 21;  // 6 columns, 5 rows
    lay(1280, 960);
    EXPECT_EQ(d.wCellWidth, (1107 - 70) / 6);
    EXPECT_EQ(d.wCellHeight, (941 - 60) / 5);
}

TEST_F(Layout, TooSmallWindowGetsEmptyCellsNotWrappedSizes)
{
    lay(200, 50);
    EXPECT_EQ(d.wCellWidth, 0);
    EXPECT_EQ(d.wCellHeight, 0);
    EXPECT_EQ(d.wCellInnerWidth, 0);
}

TEST_F(Layout, ChoicePanelsStackRightOfTheSeriesArea)
{
    lay(1280, 960);
    expectRect(d.SeriesLengthPanelRect, 1124, 10, 1270, 94);
    expectRect(d.NoiseLevelPanelRect, 1124, 108, 1270, 192);
    expectRect(d.LostDataLevelPanelRect, 1124, 206, 1270, 290);
    EXPECT_EQ(d.dwPanelsBottom, 290);
    expectRect(d.SeriesLengthItemRect[0], 1134, 31, 1261, 51);
    expectRect(d.SeriesLengthItemRect[1], 1134, 52, 1261, 72);
    expectRect(d.SeriesLengthItemRect[2], 1134, 73, 1261, 93);
}

TEST_F(Layout, LostDataPanelOnlyForCutoffSeries)
{
    for (uint16_t t : {uint16_t(1), uint16_t(4), uint16_t(36), uint16_t(40)}) {
        gState.wSeriesType = t;
        d = DisplayState{};
        lay(1280, 960);
        EXPECT_EQ(d.bLostDataPanelShown, 0) << t;
        EXPECT_EQ(d.dwPanelsBottom, d.NoiseLevelPanelRect.bottom);
    }
    gState.wSeriesType = kSeriesUnfixedCutoff;
    lay(1280, 960);
    EXPECT_EQ(d.dwPanelsBottom, d.LostDataLevelPanelRect.bottom);
}

TEST_F(Layout, SelectAllShownUpToHalfTheEtalonsSelected)
{
    for (int k = 0; k < 20; k++)
        gState.EtalonSelected[k] = k < 10;
    lay(1280, 960);
    EXPECT_EQ(d.bSelectAllShown, 1);
    gState.EtalonSelected[10] = 1;
    lay(1280, 960);
    EXPECT_EQ(d.bSelectAllShown, 0);
}
