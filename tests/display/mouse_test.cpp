// Presses on the alphabet view and the level choice panels of the headless
// main window, at the rectangles the last paint stored: what each press
// changes, what it builds, and what the next paint shows.
#include <QImage>

#include "support/mainwindow.h"

namespace {

COLORREF pixelAt(HWND hWnd, POINT p)
{
    const QRgb c = windowRaster(hWnd).pixel(p.x, p.y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

// The dot of a choice: the centre of its circle.
POINT dotOf(const RECT& item)
{
    const int32_t lh = gDisplay.wLineHeight;
    return POINT{item.left + lh / 2, item.top + lh / 2};
}

int selectedCount()
{
    int n = 0;
    for (int k = 0; k < kAlphabetCapacity; k++)
        n += gState.EtalonSelected[k] == 1;
    return n;
}

constexpr COLORREF kBlackDot = RGB(0, 0, 0);
constexpr COLORREF kGreyDot = RGB(163, 163, 163);
constexpr COLORREF kNoDot = RGB(255, 255, 255);

class Mouse : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        runPendingPaints(hWnd);
    }
};

} // namespace

TEST_F(Mouse, DetectionKeepsASingleSelectedEtalon)
{
    menu(IDM_DETECTION);
    pressAt(gDisplay.EtalonCellRect[6]);
    EXPECT_EQ(selectedCount(), 1);
    EXPECT_EQ(gState.EtalonSelected[6], 1);
    EXPECT_EQ(gState.wSelectedEtalon, 7);
    pressAt(gDisplay.EtalonCellRect[2]);
    EXPECT_EQ(selectedCount(), 1);
    EXPECT_EQ(gState.EtalonSelected[2], 1);
    pressAt(gDisplay.EtalonCellRect[2]);  // pressed again: it stays the one
    EXPECT_EQ(selectedCount(), 1);
    EXPECT_EQ(gState.EtalonSelected[2], 1);
    EXPECT_EQ(gState.wRequiredQuantity, 1);
    EXPECT_EQ(gState.lpRequiredList[0], 3);
    EXPECT_EQ(gState.wViewMode, 5);
}

TEST_F(Mouse, UnselectAllThenSelectAllSwapTheButtonAndTheList)
{
    ASSERT_EQ(gDisplay.bSelectAllShown, 0);  // all twenty selected: Unselect All is shown
    pressAt(gDisplay.UnselectAllButtonRect);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(gState.wRequiredQuantity, 0);
    EXPECT_EQ(gState.wViewMode, 5);
    EXPECT_EQ(gDisplay.bSelectAllShown, 1);  // the repaint put Select All in its place

    pressAt(gDisplay.SelectAllButtonRect);
    EXPECT_EQ(selectedCount(), 20);
    ASSERT_EQ(gState.wRequiredQuantity, 20);
    for (int k = 0; k < 20; k++)
        EXPECT_EQ(gState.lpRequiredList[k], k + 1);
    EXPECT_EQ(gDisplay.bSelectAllShown, 0);
}

TEST_F(Mouse, NextWithNoEtalonSelectedStaysInTheAlphabetAndBuildsNothing)
{
    pressAt(gDisplay.UnselectAllButtonRect);
    const uint16_t wNoiseSeed = gState.streams.wNoiseSeed;
    pressAt(gDisplay.NextButtonRect);
    EXPECT_EQ(gState.wViewMode, 5);
    EXPECT_EQ(gState.streams.wNoiseSeed, wNoiseSeed);  // no noise drawn: no series made
    EXPECT_STREQ(lastDetectorName(), "");
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(Mouse, ChoiceWithoutRequiredEtalonsTakesTheLevelAndShowsAGreyDotUntilProcessed)
{
    pressAt(gDisplay.UnselectAllButtonRect);
    const int16_t inForce = gState.wNoiseLevel;
    pressAt(gDisplay.NoiseLevelItemRect[2]);  // the third noise level
    EXPECT_EQ(gState.NoiseLevelTable.index, 3);
    EXPECT_EQ(gState.wNextNoiseLevel, gState.NoiseLevelTable.values[2]);
    EXPECT_EQ(gState.wNoiseLevel, inForce);  // nothing processed yet
    EXPECT_EQ(gState.wViewMode, 5);
    EXPECT_EQ(pixelAt(hWnd, dotOf(gDisplay.NoiseLevelItemRect[2])), kGreyDot);

    // Etalons again, then Next: the series is made with that level, the dot turns black.
    pressAt(gDisplay.SelectAllButtonRect);
    pressAt(gDisplay.NextButtonRect);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.wNoiseLevel, gState.NoiseLevelTable.values[2]);
    EXPECT_EQ(pixelAt(hWnd, dotOf(gDisplay.NoiseLevelItemRect[2])), kBlackDot);
}

TEST_F(Mouse, ChoiceFromTheResultsRaisesOnlyItsChangedFlagAndClearsItAfterThePaint)
{
    pressAt(gDisplay.NextButtonRect);
    ASSERT_EQ(gState.wViewMode, 6);
    pressAt(gDisplay.NoiseLevelItemRect[0]);
    EXPECT_EQ(gState.wNoiseLevel, gState.NoiseLevelTable.values[0]);
    EXPECT_EQ(gState.bNoiseLevelChanged, 0);  // the results paint took it
    EXPECT_EQ(gState.bSeriesLengthChanged, 0);
    EXPECT_EQ(pixelAt(hWnd, dotOf(gDisplay.NoiseLevelItemRect[0])), kBlackDot);
    EXPECT_EQ(pixelAt(hWnd, dotOf(gDisplay.NoiseLevelItemRect[1])), kNoDot);
}

TEST_F(Mouse, PressesOutsideEveryElementChangeNoStateInAnyView)
{
    const RECT& area = gDisplay.SeriesAreaRect;
    const POINT corner{area.right - 3, area.bottom - 3};  // inside the area, below the last etalon row
    injectMouse(hWnd, WM_LBUTTONDOWN, corner.x, corner.y, MK_LBUTTON);
    EXPECT_EQ(runPendingPaints(hWnd), 0);
    EXPECT_EQ(gState.wViewMode, 5);
    EXPECT_EQ(selectedCount(), 20);

    pressAt(gDisplay.NextButtonRect);
    const uint16_t wNoiseSeed = gState.streams.wNoiseSeed;
    injectMouse(hWnd, WM_LBUTTONDOWN, corner.x, corner.y, MK_LBUTTON);
    runPendingPaints(hWnd);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.streams.wNoiseSeed, wNoiseSeed);
}
