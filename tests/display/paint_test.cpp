// Painting the main window on the headless raster: the choice dots, the
// button pictures, the select button rule, the alphabet cells' frames, and
// what the repaint commands leave alone.
#include <QImage>

#include "support/mainwindow.h"

namespace {

COLORREF pixel(HWND hWnd, int x, int y)
{
    const QImage image = windowRaster(hWnd);
    const QRgb p = image.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

POINT centre(const RECT& r, int32_t lineHeight)
{
    return POINT{r.left + lineHeight / 2, r.top + lineHeight / 2};
}

} // namespace

using Painting = MainWindowTest;

TEST_F(Painting, ValueInForceGetsABlackDotAChosenNextValueAGreyOne)
{
    runPendingPaints(hWnd);
    const int32_t lh = gDisplay.wLineHeight;
    POINT c = centre(gDisplay.SeriesLengthItemRect[2], lh);  // 1200, in force
    EXPECT_EQ(pixel(hWnd, c.x, c.y), RGB(0, 0, 0));
    c = centre(gDisplay.SeriesLengthItemRect[0], lh);
    EXPECT_EQ(pixel(hWnd, c.x, c.y), RGB(255, 255, 255));  // an empty circle

    gState.SeriesLengthTable.index = 1;  // 200 chosen, 1200 still in force
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    c = centre(gDisplay.SeriesLengthItemRect[0], lh);
    EXPECT_EQ(pixel(hWnd, c.x, c.y), RGB(163, 163, 163));
}

TEST_F(Painting, ChoiceIndexOutOfRangeMarksTheFirstChoice)
{
    gState.NoiseLevelTable.index = 7;
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    const POINT c = centre(gDisplay.NoiseLevelItemRect[0], gDisplay.wLineHeight);
    EXPECT_EQ(pixel(hWnd, c.x, c.y), RGB(0, 0, 0));  // 20 is in force
}

TEST_F(Painting, AlphabetViewShowsButtonsAndFramesSelectedCellsThreeTimes)
{
    gState.EtalonSelected[1] = 0;
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    const RECT& next = gDisplay.NextButtonRect;
    EXPECT_EQ(pixel(hWnd, next.left + 4, next.top + 4), RGB(192, 192, 192));  // the picture's face
    const RECT& sel = gDisplay.EtalonCellRect[0];
    EXPECT_EQ(pixel(hWnd, sel.left, sel.top + 30), RGB(163, 163, 163));
    EXPECT_EQ(pixel(hWnd, sel.left + 1, sel.top + 30), RGB(163, 163, 163));
    EXPECT_EQ(pixel(hWnd, sel.left - 1, sel.top + 30), RGB(163, 163, 163));
    const RECT& unsel = gDisplay.EtalonCellRect[1];
    EXPECT_EQ(pixel(hWnd, unsel.left, unsel.top + 30), RGB(127, 127, 127));
    EXPECT_EQ(pixel(hWnd, unsel.left + 1, unsel.top + 30), RGB(255, 255, 255));
}

TEST_F(Painting, NoSelectButtonInDetection)
{
    menu(IDM_DETECTION);
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    EXPECT_EQ(gDisplay.bSelectButtonExists, 0);
    const RECT& r = gDisplay.RestartButtonRect;  // where the select button would be; Restart only in view 6
    EXPECT_EQ(pixel(hWnd, r.left + 4, r.top + 4), RGB(255, 255, 255));
}

TEST_F(Painting, ResultsViewRepaintsTheSeriesAreaOnly)
{
    runPendingPaints(hWnd);
    const RECT next = gDisplay.NextButtonRect;
    // Draw a mark in the button column: a results repaint must not erase it.
    HDC hdc = GetDC(hWnd);
    SetPixel(hdc, next.left - 2, next.top - 2, RGB(255, 0, 0));
    ReleaseDC(hWnd, hdc);
    menu(IDM_PROCESS_NEXT);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(pixel(hWnd, next.left - 2, next.top - 2), RGB(255, 0, 0));
}

TEST_F(Painting, TypeMoreDetailsDrawsOverTheOldPictureAndClearsTheFlag)
{
    menu(IDM_PROCESS_NEXT);
    const RECT a = gDisplay.SeriesAreaRect;
    HDC hdc = GetDC(hWnd);
    SetPixel(hdc, a.left + 3, a.bottom - 3, RGB(255, 0, 0));
    ReleaseDC(hWnd, hdc);
    menu(IDM_TYPE_MORE);
    EXPECT_EQ(pixel(hWnd, a.left + 3, a.bottom - 3), RGB(255, 0, 0));  // not erased
    EXPECT_EQ(gState.bOverdrawSeries, 0);
    menu(IDM_PROCESS_SAME);
    EXPECT_EQ(pixel(hWnd, a.left + 3, a.bottom - 3), RGB(255, 255, 255));  // erased this time
}

TEST_F(Painting, NextButtonPressProcessesTheNextSeries)
{
    runPendingPaints(hWnd);
    pressAt(gDisplay.NextButtonRect);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_STREQ(lastDetectorName(), "detectFixedPulses");
    pressAt(gDisplay.RestartButtonRect);
    EXPECT_EQ(gState.wViewMode, 5);
}

TEST_F(Painting, ResizeRelaysTheWindowOut)
{
    resizeClient(hWnd, 1000, 700);
    runPendingPaints(hWnd);
    EXPECT_EQ(gDisplay.ExitButtonRect.right, 989);
    EXPECT_EQ(windowRaster(hWnd).width(), 1000);
}

TEST_F(Painting, ChoicePressBuildsTheNextSeriesWithThatLevel)
{
    runPendingPaints(hWnd);
    pressAt(gDisplay.SeriesLengthItemRect[1]);  // 600
    EXPECT_EQ(gState.SeriesLengthTable.index, 2);
    EXPECT_EQ(gState.dwSeriesLength, 600u);
    ASSERT_NE(gState.lpSeriesHeader, nullptr);
    EXPECT_EQ(gState.lpSeriesHeader->dwSeriesSize, 600);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.bSeriesLengthChanged, 0);  // repainted and cleared by the results
}

TEST_F(Painting, PressBetweenElementsChangesNothing)
{
    runPendingPaints(hWnd);
    const RECT& a = gDisplay.EtalonCellRect[0];
    injectMouse(hWnd, WM_LBUTTONDOWN, a.right + 5, a.top + 5, MK_LBUTTON);  // in the gap between two cells
    EXPECT_EQ(runPendingPaints(hWnd), 0);
    EXPECT_EQ(gState.wViewMode, 5);
    EXPECT_EQ(gState.wRequiredQuantity, 20);
}

TEST_F(Painting, EtalonPressTogglesItsSelectionAndRepaintsItsCell)
{
    runPendingPaints(hWnd);
    pressAt(gDisplay.EtalonCellRect[3]);
    EXPECT_EQ(gState.EtalonSelected[3], 0);
    EXPECT_EQ(gState.wRequiredQuantity, 19);
    EXPECT_EQ(gState.wSelectedEtalon, 4);
    const RECT& r = gDisplay.EtalonCellRect[3];
    const QImage image = windowRaster(hWnd);
    EXPECT_EQ(image.pixel(r.left, r.top + 30) & 0xFFFFFF, 0x7F7F7Fu);  // one grey frame now
}
