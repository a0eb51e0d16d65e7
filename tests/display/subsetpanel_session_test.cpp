// A tuples recognition session driven by presses alone: the subset panel
// composes and accepts two subsets, one is picked, OK makes and recognises the
// series, the results show the pattern box with the stored subsets, and a
// press on the other pattern row makes the next series from it. Run twice, the
// session leaves the same picture.
#include <QImage>

#include "detection/detection.h"
#include "support/mainwindow.h"

namespace {

enum { kDeleteAll, kDelete, kCancel, kOk, kAccept, kClearAll };

// Pixels of one colour inside a rectangle (right and bottom inclusive).
int countColour(const QImage& image, const RECT& r, COLORREF colour)
{
    int n = 0;
    for (int y = std::max(0, r.top); y <= r.bottom && y < image.height(); y++)
        for (int x = std::max(0, r.left); x <= r.right && x < image.width(); x++) {
            const QRgb p = image.pixel(x, y);
            n += RGB(qRed(p), qGreen(p), qBlue(p)) == colour;
        }
    return n;
}

} // namespace

class SubsetPanelSession : public MainWindowTest {
protected:
    void pressCell(int i) { pressAt(gSubsetPanel.SubsetCellRect[i]); }
    void pressButton(int j) { pressAt(gSubsetPanel.ButtonsWhileSelectedSubsetRect[j]); }
    void pressRow(int k) { pressAt(gSubsetPanel.possibleSubsetArrayRect[k][gState.wPossibleSubsetCapacity]); }

    // A fresh window, as at program start.
    void restart()
    {
        DestroyWindow(hWnd);
        stopPlatform();
        ensureHeadlessPlatform();
        resetProgramState();
        hWnd = startMainWindow(nullptr, nullptr);
        ASSERT_NE(hWnd, nullptr);
    }

    // The whole session; returns the window's picture at its end.
    QImage runSession()
    {
        menu(IDM_UNFIXED_TUPLES);
        menu(IDM_RECOGNITION);
        EXPECT_EQ(gState.wProcessingType, 40);
        runPendingPaints(hWnd);
        pressAt(gDisplay.NextButtonRect);  // no subset yet: the panel opens
        EXPECT_EQ(gState.wViewMode, 9);
        EXPECT_EQ(gSubsetPanel.wButtonsQuantity, 6);

        for (int i : {1, 4, 7})
            pressCell(i);
        pressButton(kAccept);
        pressButton(kDeleteAll);
        for (int i : {2, 9})
            pressCell(i);
        pressButton(kAccept);
        EXPECT_EQ(gState.wReservedSubsetsUsed, 2);
        EXPECT_EQ(gState.wPickedSubset, 2);
        pressRow(0);
        EXPECT_EQ(gState.wPickedSubset, 1);
        pressButton(kOk);

        // The series was made with the picked subset and recognised.
        EXPECT_EQ(gState.wViewMode, 6);
        const SeriesHeader* h = gState.lpSeriesHeader;
        EXPECT_NE(h, nullptr);
        if (!h)
            return QImage();
        EXPECT_EQ(h->wSelectedSubsets, 2);
        EXPECT_EQ(std::vector<int16_t>(h->selectedSubset, h->selectedSubset + h->wSubsetLength),
                  (std::vector<int16_t>{2, 5, 8}));
        for (int i = 0; i < h->wImpulseQuantity; i++)
            EXPECT_EQ(h->lpEtalonNumbers[i], h->selectedSubset[i % 3]) << i;  // Complete employment
        EXPECT_EQ(h->wRecognizedTuple, 1);
        EXPECT_EQ(gState.lpChainsHeader->wProcessingType, 40);

        // The pattern box: one row per stored subset; the recognised one grey.
        const std::vector<RECT> rows = gSeriesView.PatternRowRect;
        EXPECT_EQ(rows.size(), 2u);
        if (rows.size() != 2)
            return QImage();
        QImage image = windowRaster(hWnd);
        EXPECT_GT(countColour(image, rows[0], RGB(163, 163, 163)), 20);
        EXPECT_EQ(countColour(image, rows[1], RGB(163, 163, 163)), 0);
        EXPECT_EQ(countColour(image, rows[1], RGB(255, 0, 0)), 0);

        // A press on the second row picks it and makes the next series from it.
        pressAt(rows[1]);
        EXPECT_EQ(gState.wPickedSubset, 2);
        EXPECT_EQ(gState.wViewMode, 6);
        h = gState.lpSeriesHeader;
        EXPECT_EQ(std::vector<int16_t>(h->selectedSubset, h->selectedSubset + h->wSubsetLength),
                  (std::vector<int16_t>{3, 10}));
        EXPECT_EQ(h->wRecognizedTuple, 2);
        EXPECT_EQ(gSeriesView.PatternRowRect.size(), 2u);
        EXPECT_TRUE(session.messages().empty()) << texts().front();
        return windowRaster(hWnd);
    }
};

TEST_F(SubsetPanelSession, TupleRecognitionByPressesShowsThePickedSubsetsResultsTheSameEveryRun)
{
    const QImage first = runSession();
    ASSERT_FALSE(first.isNull());
    restart();
    const QImage second = runSession();
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(first == second);
}
