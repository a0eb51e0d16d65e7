// The results view in the headless window after " Processing Next Data ":
// the same pixels on a second run from a fresh start, the graphs and the
// legend where the geometry puts them, the third graph left out after a
// detected etalon 0, and no graph frames at the special size.
#include <QImage>

#include "support/mainwindow.h"

namespace {

class SeriesViewRender : public MainWindowTest {
protected:
    // The geometry of the view as the last paint laid it out.
    SeriesViewGeometry geometry() const
    {
        SeriesViewOptions o;
        o.SeriesAreaRect = gDisplay.SeriesAreaRect;
        o.wLineHeight = gDisplay.wLineHeight;
        o.bSpecialGraphSize = gState.bSpecialGraphSize;
        return seriesViewGeometry(o, gState.wRequiredQuantity);
    }
    void repaint()
    {
        InvalidateRect(hWnd, nullptr, 1);
        runPendingPaints(hWnd);
    }
    // Pixels of one colour inside r (right and bottom exclusive).
    int count(const QImage& image, const RECT& r, COLORREF colour) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; y++)
            for (int x = r.left; x < r.right; x++) {
                const QRgb p = image.pixel(x, y);
                n += RGB(qRed(p), qGreen(p), qBlue(p)) == colour;
            }
        return n;
    }
    static RECT inside(const RECT& r) { return RECT{r.left + 1, r.top + 1, r.right, r.bottom}; }
};

TEST_F(SeriesViewRender, ProcessedDefaultSeriesGivesTheSamePixelsOnASecondRun)
{
    menu(IDM_PROCESS_NEXT);
    ASSERT_EQ(gState.wViewMode, kViewResults);
    const QImage first = windowRaster(hWnd);

    // A second run from a fresh start.
    DestroyWindow(hWnd);
    resetProgramState();
    hWnd = startMainWindow(nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    menu(IDM_PROCESS_NEXT);
    const QImage second = windowRaster(hWnd);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second);

    // What a person sees: the noisy series in blue in the middle graph only,
    // black curves in the other two, the legend's frame.
    const SeriesViewGeometry g = geometry();
    EXPECT_GT(count(second, inside(g.graph[1]), RGB(0, 0, 255)), 1000);
    EXPECT_EQ(count(second, inside(g.graph[0]), RGB(0, 0, 255)), 0);
    EXPECT_GT(count(second, inside(g.graph[0]), RGB(0, 0, 0)), 1000);
    EXPECT_GT(count(second, inside(g.graph[2]), RGB(0, 0, 0)), 1000);
    const QRgb frame = second.pixel(g.legendLeft, g.legendTop + g.legendHeight / 2);
    EXPECT_EQ(RGB(qRed(frame), qGreen(frame), qBlue(frame)), RGB(0, 0, 0));
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(SeriesViewRender, DetectedEtalonZeroLeavesTheThirdGraphEmpty)
{
    menu(IDM_PROCESS_NEXT);
    ASSERT_NE(gState.lpSeriesHeader, nullptr);
    ASSERT_GT(gState.lpSeriesHeader->wDetectedQuantity, 1);
    const SeriesViewGeometry g = geometry();
    // The restored graph with its frame, axes and pulses.
    const RECT third{g.graph[2].left, g.graph[2].top, g.graph[2].right + 1, g.graph[2].bottom + 1};
    EXPECT_GT(count(windowRaster(hWnd), third, RGB(0, 0, 0)), 1000);
    gState.lpSeriesHeader->lpDetectedNumbers[1] = 0;
    repaint();
    const QImage image = windowRaster(hWnd);
    EXPECT_EQ(count(image, third, RGB(255, 255, 255)), (third.right - third.left) * (third.bottom - third.top));
    EXPECT_GT(count(image, inside(g.graph[1]), RGB(0, 0, 255)), 1000);  // the others stay
}

TEST_F(SeriesViewRender, SpecialGraphSizeDrawsGraphsWithoutFrames)
{
    menu(IDM_PROCESS_NEXT);
    SeriesViewGeometry g = geometry();
    // The frame's right edge, near the top where no curve reaches.
    QRgb p = windowRaster(hWnd).pixel(g.graph[0].right, g.graph[0].top + 2);
    EXPECT_EQ(RGB(qRed(p), qGreen(p), qBlue(p)), RGB(0, 0, 0));
    gState.bSpecialGraphSize = 1;
    repaint();
    g = geometry();
    EXPECT_EQ(g.graphWidth, 618);
    p = windowRaster(hWnd).pixel(g.graph[0].right, g.graph[0].top + 2);
    EXPECT_EQ(RGB(qRed(p), qGreen(p), qBlue(p)), RGB(255, 255, 255));
    EXPECT_GT(count(windowRaster(hWnd), inside(g.graph[1]), RGB(0, 0, 255)), 500);
}

} // namespace
