// The results view in simulation mode: the paint dispatcher draws the
// statistics charts of the program's record in the series area, and without
// a record only the area's frame.
#include <QImage>

#include "simulation/simulation.h"
#include "support/mainwindow.h"

namespace {

COLORREF pixel(HWND hWnd, int x, int y)
{
    const QRgb p = windowRaster(hWnd).pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

using StatisticsView = MainWindowTest;

TEST_F(StatisticsView, ResultsModeTwoPaintsTheChartOfTheRecord)
{
    RestoreErrorHeader* r = getRestErrHeader(hWnd, 3, 9, 10, nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(initRestErrHeader(hWnd, 3, 6, 2, 9, 0, 10, 10, r), 1);
    ASSERT_EQ(addInitRestErrHeader(hWnd, 2, 2, 75, 75, r), 1);
    r->lpErrors[3][4][0] = 5;  // half the trials wrong at the fifth level: the chart's top
    r->ifComplete = 1;
    gState.lpRestErrorHeader = r;
    gState.wViewMode = kViewResults;
    gState.wResultsMode = 2;
    gState.wChartKind = 4;
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);

    ChartInputs in;
    in.options.SeriesAreaRect = gDisplay.SeriesAreaRect;
    in.options.wLineHeight = gDisplay.wLineHeight;
    in.wChartKind = 4;
    in.wRequiredQuantity = gState.wRequiredQuantity;
    in.lpRequiredList = gState.lpRequiredList;
    in.lpRestErrorHeader = r;
    in.lpSeriesHeader = gState.lpSeriesHeader;
    const ChartGeometry g = chartGeometry(in);
    ASSERT_GT(g.rowHeight, 0);
    EXPECT_EQ(pixel(hWnd, g.box.left - 1, g.box.top - 1), RGB(0, 0, 0));  // the outer frame
    EXPECT_EQ(pixel(hWnd, g.box.left + 4 * g.levelStep, g.box.top + 1), RGB(0, 0, 0));  // the curve's peak
    EXPECT_TRUE(session.messages().empty());

    gState.lpRestErrorHeader = nullptr;  // the frame alone: the inside is white again
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    EXPECT_EQ(pixel(hWnd, g.box.left - 1, g.box.top - 1), RGB(255, 255, 255));
    EXPECT_EQ(pixel(hWnd, gDisplay.SeriesAreaRect.left, gDisplay.SeriesAreaRect.top), RGB(0, 0, 0));
    freeRestErrHeader(r);
}

} // namespace
