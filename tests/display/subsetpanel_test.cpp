// The subset selection panel: its geometry as plain numbers (and invariants
// over random areas), reserveSubset, and the real window driven headless by
// presses at the rectangles the last paint stored: the strip, its marks, the
// buttons, the reserved subsets, the commit, the repaints the presses ask for,
// and the out-of-memory messages.
#include <QImage>
#include <random>

#include "detection/detection.h"
#include "platform/allocation.h"
#include "support/mainwindow.h"

namespace {

bool inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

bool overlap(const RECT& a, const RECT& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

std::vector<int32_t> strip()
{
    return std::vector<int32_t>(gState.selectedSubset, gState.selectedSubset + gState.wSelectedSubsetLength);
}

std::vector<int32_t> marks()
{
    return std::vector<int32_t>(gSubsetPanel.selectedSubsetMarks,
                                gSubsetPanel.selectedSubsetMarks + gState.wSelectedSubsetLength);
}

std::vector<int32_t> storedSubset(int k)
{
    const int32_t* row = gState.selectedSubsetArray + k * (gState.wPossibleSubsetCapacity + 1);
    return std::vector<int32_t>(row, row + gState.selectedSubsetArraySize[k]);
}

COLORREF pixel(HWND hWnd, int x, int y)
{
    const QRgb p = windowRaster(hWnd).pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

// The panel's horizontal margin in this window.
int32_t panelMarginX()
{
    return (gDisplay.SeriesAreaRect.right - gDisplay.SeriesAreaRect.left + 1) / 170;
}

// Where drawEtalonCell starts its curve area for a cell's top.
int32_t curveTop(int32_t top)
{
    const int32_t h = gDisplay.wLineHeight;
    return top + 1 + h + h / 4;
}

} // namespace

/*==========================================================================
** Geometry
**========================================================================*/

TEST(SubsetPanelGeometry, TuplePanelOfAThousandBySevenHundredEighty)
{
    const RECT area{10, 10, 1009, 789};  // 1000 x 780, edges inclusive
    const SubsetPanelGeometry g = subsetPanelGeometry(area, 15, 6, 20, 10, 60, 6, true, 10, 10);
    EXPECT_EQ(g.marginX, 5);
    EXPECT_EQ(g.marginY, 5);
    EXPECT_EQ(g.panelLeft, 15);
    EXPECT_EQ(g.panelRight, 1004);
    EXPECT_EQ(g.panelWidth, 990);
    EXPECT_EQ(g.panelTop, 15);
    EXPECT_EQ(g.panelHeight, 191);
    EXPECT_EQ(g.panelBottom, 206);
    EXPECT_EQ(g.rowsOfCells, 2);
    EXPECT_EQ(g.cellWidth, 93);
    EXPECT_EQ(g.cellHeight, 88);
    ASSERT_EQ(g.cells.size(), 20u);
    EXPECT_EQ(g.cells[0].left, 20);
    EXPECT_EQ(g.cells[0].top, 20);
    EXPECT_EQ(g.cells[0].right, 113);
    EXPECT_EQ(g.cells[0].bottom, 108);
    EXPECT_EQ(g.cells[11].left, 118);  // second row, second column
    EXPECT_EQ(g.cells[11].top, 113);
    EXPECT_EQ(g.cells[11].right, 211);
    EXPECT_EQ(g.cells[11].bottom, 201);
    EXPECT_EQ(g.strip.left, 15);
    EXPECT_EQ(g.strip.top, 226);
    EXPECT_EQ(g.strip.right, 1004);
    EXPECT_EQ(g.strip.bottom, 324);
    ASSERT_EQ(g.stripSlots.size(), 10u);
    EXPECT_EQ(g.stripSlots[3].left, 314);
    EXPECT_EQ(g.stripSlots[3].top, 231);
    EXPECT_EQ(g.stripSlots[3].right, 407);
    EXPECT_EQ(g.stripSlots[3].bottom, 319);
    EXPECT_EQ(g.buttonWidth, 84);
    EXPECT_EQ(g.buttonHeight, 29);
    EXPECT_EQ(g.buttonTop, 331);
    const int32_t lefts[6] = {15, 111, 824, 914, 207, 303};  // Delete All, Delete, Cancel, OK, Accept, Clear All
    ASSERT_EQ(g.buttons.size(), 6u);
    for (int j = 0; j < 6; j++) {
        EXPECT_EQ(g.buttons[j].left, lefts[j]) << j;
        EXPECT_EQ(g.buttons[j].right, lefts[j] + 84) << j;
        EXPECT_EQ(g.buttons[j].top, 331) << j;
        EXPECT_EQ(g.buttons[j].bottom, 360) << j;
    }
    EXPECT_EQ(g.reservedLeft, 15);
    EXPECT_EQ(g.reservedWidth, 990);
    EXPECT_EQ(g.reservedTop, 367);
    EXPECT_EQ(g.reservedHeight, 417);
    EXPECT_EQ(g.halfRows, 5);
    EXPECT_EQ(g.columnWidth, 492);
    EXPECT_EQ(g.rowHeight, 79);
    EXPECT_EQ(g.miniCellWidth, 47);
    EXPECT_EQ(g.miniCellHeight, 77);
    EXPECT_EQ(g.captionAt.x, 15);
    EXPECT_EQ(g.captionAt.y, 382);
    ASSERT_EQ(g.rows.size(), 10u);
    EXPECT_EQ(g.rows[0].left, 15);
    EXPECT_EQ(g.rows[0].top, 367);
    EXPECT_EQ(g.rows[0].right, 508);
    EXPECT_EQ(g.rows[0].bottom, 447);
    EXPECT_EQ(g.rows[4].top, 703);
    EXPECT_EQ(g.rows[4].bottom, 783);
    EXPECT_EQ(g.rows[5].left, 512);  // the second column starts again at the top
    EXPECT_EQ(g.rows[5].top, 367);
    EXPECT_EQ(g.rows[5].right, 1005);
    ASSERT_EQ(g.rowCells.size(), 100u);
    EXPECT_EQ(g.rowCells[0].left, 17);
    EXPECT_EQ(g.rowCells[0].top, 366);
    EXPECT_EQ(g.rowCells[0].right, 61);
    EXPECT_EQ(g.rowCells[0].bottom, 425);
    EXPECT_EQ(g.rowCells[9].left, 458);
    EXPECT_EQ(g.rowCells[9].right, 502);
    const RECT inner = subsetEtalonRect(g, g.cells[0], 15);
    EXPECT_EQ(inner.left, 25);
    EXPECT_EQ(inner.top, 20);
    EXPECT_EQ(inner.right, 103);
    EXPECT_EQ(inner.bottom, 83);
}

TEST(SubsetPanelGeometry, PlainPanelPutsFourButtonsLeftToRightAndShowsTheSlotsAsked)
{
    const RECT area{10, 10, 1009, 789};
    const SubsetPanelGeometry g = subsetPanelGeometry(area, 15, 6, 0, 7, 60, 4, false, 0, 10);
    EXPECT_TRUE(g.cells.empty());
    EXPECT_EQ(g.rowsOfCells, 1);  // no cells still make one row
    EXPECT_EQ(g.cellHeight, 181);
    EXPECT_EQ(g.stripSlots.size(), 7u);
    const int32_t lefts[4] = {15, 111, 207, 303};
    ASSERT_EQ(g.buttons.size(), 4u);
    for (int j = 0; j < 4; j++)
        EXPECT_EQ(g.buttons[j].left, lefts[j]) << j;
    EXPECT_TRUE(g.rows.empty());
    EXPECT_TRUE(g.rowCells.empty());
}

TEST(SubsetPanelGeometry, ElementsStayInsideTheirFramesAndApartOverRandomAreas)
{
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 500; trial++) {
        const int32_t L = random() % 50, T = random() % 50;
        const int32_t W = 700 + random() % 1500, H = 600 + random() % 800;
        const RECT area{L, T, L + W - 1, T + H - 1};
        const int32_t h = 12 + random() % 8, a = 5 + random() % 4;
        const int32_t cells = random() % 21, slotCount = random() % 11, reserved = 1 + random() % 12;
        const SubsetPanelGeometry g = subsetPanelGeometry(area, h, a, cells, slotCount, 40 + random() % 30, 6, true,
                                                          reserved, 10);
        const RECT panel{g.panelLeft, g.panelTop, g.panelRight, g.panelBottom};
        ASSERT_EQ(static_cast<int32_t>(g.cells.size()), cells);
        for (size_t i = 0; i < g.cells.size(); i++) {
            EXPECT_TRUE(inside(g.cells[i], panel)) << trial << " cell " << i;
            for (size_t j = i + 1; j < g.cells.size(); j++)
                EXPECT_FALSE(overlap(g.cells[i], g.cells[j])) << trial << " cells " << i << "," << j;
        }
        EXPECT_GT(g.strip.top, g.panelBottom);
        EXPECT_TRUE(inside(g.strip, area));
        for (size_t i = 0; i < g.stripSlots.size(); i++) {
            EXPECT_TRUE(inside(g.stripSlots[i], g.strip)) << trial << " slot " << i;
            if (i > 0) {
                EXPECT_FALSE(overlap(g.stripSlots[i - 1], g.stripSlots[i])) << trial;
            }
        }
        for (size_t i = 0; i < g.buttons.size(); i++) {
            EXPECT_GT(g.buttons[i].top, g.strip.bottom);
            for (size_t j = i + 1; j < g.buttons.size(); j++)
                EXPECT_FALSE(overlap(g.buttons[i], g.buttons[j])) << trial << " buttons " << i << "," << j;
        }
        ASSERT_EQ(static_cast<int32_t>(g.rows.size()), reserved);
        for (size_t i = 0; i < g.rows.size(); i++) {
            EXPECT_TRUE(inside(g.rows[i], RECT{area.left, g.reservedTop, area.right + 1, area.bottom + 1}))
                << trial << " row " << i;
            for (size_t j = i + 1; j < g.rows.size(); j++)
                EXPECT_FALSE(overlap(g.rows[i], g.rows[j])) << trial << " rows " << i << "," << j;
        }
    }
}

/*==========================================================================
** reserveSubset
**========================================================================*/

TEST(ReserveSubset, CopiesTheStripIntoTheNextRowUntilAllAreStored)
{
    int32_t sizes[2] = {0, 0};
    int32_t rows[2 * 4] = {};
    const int32_t first[3] = {4, 9, 4};
    EXPECT_EQ(reserveSubset(nullptr, first, 3, sizes, rows, 0, 2, 3), 1);
    EXPECT_EQ(sizes[0], 3);
    EXPECT_EQ(std::vector<int32_t>(rows, rows + 4), (std::vector<int32_t>{4, 9, 4, 0}));
    const int32_t second[1] = {7};
    EXPECT_EQ(reserveSubset(nullptr, second, 1, sizes, rows, 1, 2, 3), 2);
    EXPECT_EQ(sizes[1], 1);
    EXPECT_EQ(rows[4], 7);
    EXPECT_EQ(reserveSubset(nullptr, first, 3, sizes, rows, 2, 2, 3), 2);  // all stored: nothing changes
    EXPECT_EQ(sizes[1], 1);
    EXPECT_EQ(rows[4], 7);
}

TEST(ReserveSubset, EmptyStripIsNotStored)
{
    int32_t sizes[2] = {0, 0};
    int32_t rows[2 * 4] = {};
    EXPECT_EQ(reserveSubset(nullptr, rows, 0, sizes, rows, 0, 2, 3), 0);
}

/*==========================================================================
** The panel in the window
**========================================================================*/

class SubsetPanel : public MainWindowTest {
protected:
    void TearDown() override
    {
        clearAllocationFault();
        MainWindowTest::TearDown();
    }

    // The panel for a series type and a task, opened by " Select set of pulses".
    void open(UINT series, UINT task)
    {
        menu(series);
        menu(task);
        menu(IDM_SELECT_SET);
        ASSERT_EQ(gState.wViewMode, 9);
        ASSERT_EQ(gState.wPossibleSubsetCapacity, 10);
    }

    void pressCell(int i) { pressAt(gSubsetPanel.SubsetCellRect[i]); }
    void pressSlot(int i) { pressAt(gSubsetPanel.possibleSubsetRect[i]); }
    void pressButton(int j) { pressAt(gSubsetPanel.ButtonsWhileSelectedSubsetRect[j]); }
    void pressRow(int k) { pressAt(gSubsetPanel.possibleSubsetArrayRect[k][gState.wPossibleSubsetCapacity]); }

    // Composes a strip from the required etalons at the given cells.
    void compose(std::initializer_list<int> cells)
    {
        for (int i : cells)
            pressCell(i);
    }
};

enum { kDeleteAll, kDelete, kCancel, kOk, kAccept, kClearAll };

TEST_F(SubsetPanel, FirstLayoutAllocatesAnEmptyStripAndTenEmptyReservedSubsets)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    EXPECT_EQ(gState.wSelectedSubsetLength, 0);
    EXPECT_EQ(gState.wReservedSubsets, 10);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 0);
    EXPECT_EQ(gSubsetPanel.wButtonsQuantity, 4);
    EXPECT_EQ(gSubsetPanel.wSubsetCellsShown, 20);
    for (int k = 0; k < 10; k++)
        EXPECT_EQ(gState.selectedSubsetArraySize[k], 0);
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(SubsetPanel, PressingEtalonsAppendsThemToTheStrip)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    compose({0, 2, 4, 2});
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 3, 5, 3}));
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 0, 0, 0}));
    const RECT& c = gSubsetPanel.SubsetCellRect[2];
    EXPECT_EQ(ptLastClick.x, (c.left + c.right) / 2);
    EXPECT_EQ(ptLastClick.y, (c.top + c.bottom) / 2);
    // Used slots are outlined in black, free ones in grey.
    const RECT used = gSubsetPanel.possibleSubsetRect[3], free = gSubsetPanel.possibleSubsetRect[4];
    EXPECT_EQ(pixel(hWnd, used.left, used.bottom - 2), RGB(0, 0, 0));
    EXPECT_EQ(pixel(hWnd, free.left, free.bottom - 2), RGB(160, 160, 160));
}

TEST_F(SubsetPanel, PressingASlotMarksItAloneAndTheStripElsewhereClearsTheMarks)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    compose({0, 1, 2});
    pressSlot(1);
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 1, 0}));
    const RECT slot = gSubsetPanel.possibleSubsetRect[1];
    // Drawn on grey.
    EXPECT_EQ(pixel(hWnd, slot.left + panelMarginX() - 2, curveTop(slot.top) + 1), RGB(163, 163, 163));
    pressSlot(2);
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 0, 1}));
    pressSlot(5);  // a slot that holds nothing
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 0, 0}));
    pressSlot(0);
    const RECT strip = gSubsetPanel.SubsetStripRect;
    injectMouse(hWnd, WM_LBUTTONDOWN, strip.left + 1, strip.top + 1, MK_LBUTTON);  // the frame, no slot
    runPendingPaints(hWnd);
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 0, 0}));
}

TEST_F(SubsetPanel, AppendingDeletesTheMarkedEntriesFirst)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    compose({0, 2, 4});
    pressSlot(1);
    pressCell(6);
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 5, 7}));
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 0, 0}));
}

TEST_F(SubsetPanel, FullStripTakesAnEtalonOnlyAfterAMarkedSlotGoes)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    compose({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_EQ(gState.wSelectedSubsetLength, 10);
    pressCell(15);
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));  // no room, none marked
    pressSlot(3);
    pressCell(15);
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 2, 3, 5, 6, 7, 8, 9, 10, 16}));
}

TEST_F(SubsetPanel, DeleteRemovesTheMarkedEntryAndDeleteAllEmptiesTheStrip)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    compose({0, 1, 2, 3});
    pressButton(kDelete);  // nothing marked: nothing goes
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 2, 3, 4}));
    pressSlot(2);
    pressButton(kDelete);
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 2, 4}));
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 0, 0}));
    pressSlot(0);
    pressButton(kDeleteAll);
    EXPECT_EQ(gState.wSelectedSubsetLength, 0);
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(gState.selectedSubset[i], 0);
        EXPECT_EQ(gSubsetPanel.selectedSubsetMarks[i], 0);
    }
    EXPECT_EQ(gState.wViewMode, 9);
}

TEST_F(SubsetPanel, CancelEmptiesTheStripAndMakesTheNextSeries)
{
    open(IDM_FIXED_CUTOFF, IDM_JOINT);  // the panel of an ordinary task
    compose({3, 4});
    gState.bSeriesLengthChanged = gState.bNoiseLevelChanged = 1;
    pressButton(kCancel);
    EXPECT_EQ(gState.wSelectedSubsetLength, 0);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.bSeriesLengthChanged, 0);
    EXPECT_EQ(gState.bNoiseLevelChanged, 0);
    EXPECT_STREQ(lastDetectorName(), "detectFixedPulses");
}

TEST_F(SubsetPanel, OkWithAnEmptyStripKeepsThePanel)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    pressButton(kOk);
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_EQ(gState.lpChainsHeader->wDescription, 0);  // nothing processed
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(SubsetPanel, OkHandsTheStripToTheSeriesAndDetectsItsTuples)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    compose({1, 6, 3});
    pressButton(kOk);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.lpChainsHeader->wProcessingType, 36);  // tuples detection ran and was recorded
    EXPECT_GT(gState.lpSeriesHeader->wDetectedTuples, 0);
    const SeriesHeader* h = gState.lpSeriesHeader;
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->wSubsetLength, 3);
    EXPECT_EQ(h->selectedSubset[0], 2);
    EXPECT_EQ(h->selectedSubset[1], 7);
    EXPECT_EQ(h->selectedSubset[2], 4);
    // Complete employment: the series is the tuple over and over.
    for (int i = 0; i < h->wImpulseQuantity; i++)
        EXPECT_EQ(h->lpEtalonNumbers[i], h->selectedSubset[i % 3]) << i;
    EXPECT_EQ(strip(), (std::vector<int32_t>{2, 7, 4}));  // the strip stays for the next series
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(SubsetPanel, PlainPanelShowsNoMoreSlotsThanTheSeriesMayHoldPulses)
{
    gState.dwNextSeriesLength = 200;  // the next series holds at most five pulses
    menu(IDM_PROCESS_NEXT);
    ASSERT_EQ(gState.lpSeriesHeader->wMaxPulses, 5);
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    EXPECT_EQ(gSubsetPanel.wSubsetSlotsShown, 5);
    compose({0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(strip(), (std::vector<int32_t>{1, 2, 3, 4, 5}));  // no entry where no slot is shown
}

TEST_F(SubsetPanel, AcceptStoresTheStripAndPicksItWhileClearAllForgetsEverySubset)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    EXPECT_EQ(gSubsetPanel.wButtonsQuantity, 6);
    compose({0, 1});
    pressButton(kAccept);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 1);
    EXPECT_EQ(gState.wPickedSubset, 1);
    EXPECT_EQ(storedSubset(0), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(marks(), (std::vector<int32_t>{1, 1}));  // the paint marked the strip once
    EXPECT_EQ(gSubsetPanel.bMarkAllOnce, 0);
    pressCell(5);  // the marked entries give way to the new one
    EXPECT_EQ(strip(), (std::vector<int32_t>{6}));
    pressButton(kAccept);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 2);
    EXPECT_EQ(gState.wPickedSubset, 2);
    EXPECT_EQ(storedSubset(1), (std::vector<int32_t>{6}));
    pressButton(kClearAll);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 0);
    EXPECT_EQ(marks(), (std::vector<int32_t>{1}));
    EXPECT_EQ(gState.wViewMode, 9);
}

TEST_F(SubsetPanel, AcceptWithEveryReservedSubsetStoredChangesNothingButPicksTheLast)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    for (int k = 0; k < 10; k++) {
        pressCell(k);  // the accepted strip is marked: the next etalon replaces it
        pressButton(kAccept);
    }
    ASSERT_EQ(gState.wReservedSubsetsUsed, 10);
    for (int k = 0; k < 10; k++)
        EXPECT_EQ(storedSubset(k), (std::vector<int32_t>{k + 1})) << k;
    pressRow(3);
    EXPECT_EQ(gState.wPickedSubset, 4);
    pressCell(12);
    pressButton(kAccept);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 10);
    EXPECT_EQ(gState.wPickedSubset, 10);
    EXPECT_EQ(storedSubset(9), (std::vector<int32_t>{10}));
    EXPECT_EQ(marks(), (std::vector<int32_t>{1}));
}

TEST_F(SubsetPanel, PickingAStoredRowShowsItOnRed)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({2, 3});
    pressButton(kAccept);
    pressButton(kDeleteAll);
    compose({7});
    pressButton(kAccept);
    pressRow(0);
    EXPECT_EQ(gState.wPickedSubset, 1);
    const RECT& picked = gSubsetPanel.possibleSubsetArrayRect[0][0];
    const RECT& other = gSubsetPanel.possibleSubsetArrayRect[1][0];
    // Left of the cell's axis, inside the row's outline.
    EXPECT_EQ(pixel(hWnd, picked.left - 1, curveTop(picked.top) + 1), RGB(255, 0, 0));
    EXPECT_EQ(pixel(hWnd, other.left - 1, curveTop(other.top) + 1), RGB(255, 255, 255));
    pressRow(5);  // a row that stores nothing
    EXPECT_EQ(gState.wPickedSubset, 1);
}

TEST_F(SubsetPanel, OkInTuplesRecognitionNeedsAStoredSubset)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({2, 3});
    pressButton(kOk);  // a strip but nothing stored
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_EQ(gState.lpChainsHeader->wDescription, 0);  // nothing processed
    pressButton(kAccept);
    pressButton(kOk);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.lpChainsHeader->wProcessingType, 40);
    EXPECT_EQ(gState.lpSeriesHeader->wSelectedSubsets, 1);
}

TEST_F(SubsetPanel, PickedSubsetLongerThanTheSeriesMayHoldIsRefusedWithAMessage)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    gState.lpSeriesHeader->wMaxPulses = 5;  // as for a short series
    compose({0, 1, 2, 3, 4, 5, 6});
    pressButton(kAccept);
    pressButton(kOk);
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_EQ(session.messages()[0].text, "Выбранное подмножество длиннее wMaxPulses!");
    EXPECT_EQ(session.messages()[0].caption, " addSomeSelectedSubsetToSeriesHeader ");
    EXPECT_EQ(gState.wViewMode, 9);
}

TEST_F(SubsetPanel, CellsBeyondTheRequiredEtalonsAreNotHit)
{
    for (int k = 0; k < 20; k++)
        gState.EtalonSelected[k] = (k == 4 || k == 8 || k == 15);
    rebuildRequiredList();
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    ASSERT_EQ(gState.wRequiredQuantity, 3);
    EXPECT_EQ(gSubsetPanel.wSubsetCellsShown, 3);
    compose({0, 1, 2});
    EXPECT_EQ(strip(), (std::vector<int32_t>{5, 9, 16}));
    pressAt(gSubsetPanel.SubsetCellRect[5]);  // laid out, but no etalon shown there
    EXPECT_EQ(strip(), (std::vector<int32_t>{5, 9, 16}));
}

TEST_F(SubsetPanel, PressOutsideEveryElementChangesNothing)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({2});
    pressButton(kAccept);
    const std::vector<int32_t> before = strip();
    // Between the top panel and the strip, and between the buttons.
    const RECT frame = gSubsetPanel.SubsetStripRect;
    const RECT deleteButton = gSubsetPanel.ButtonsWhileSelectedSubsetRect[kDelete];
    const RECT acceptButton = gSubsetPanel.ButtonsWhileSelectedSubsetRect[kAccept];
    const POINT points[] = {{frame.left + 2, frame.top - 2},
                            {(deleteButton.right + acceptButton.left) / 2, deleteButton.top + 2}};
    for (POINT p : points) {
        injectMouse(hWnd, WM_LBUTTONDOWN, p.x, p.y, MK_LBUTTON);
        EXPECT_EQ(runPendingPaints(hWnd), 0);
    }
    EXPECT_EQ(::strip(), before);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 1);
    EXPECT_EQ(gState.wPickedSubset, 1);
    EXPECT_EQ(gState.wViewMode, 9);
}

TEST_F(SubsetPanel, StripPressRepaintsTheStripOnly)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    const RECT top = gSubsetPanel.SubsetCellRect[0];
    HDC hdc = GetDC(hWnd);
    SetPixel(hdc, top.left + 2, top.bottom - 2, RGB(255, 0, 0));  // in the top panel
    ReleaseDC(hWnd, hdc);
    pressCell(1);
    EXPECT_EQ(pixel(hWnd, top.left + 2, top.bottom - 2), RGB(255, 0, 0));  // not repainted
    const RECT slot = gSubsetPanel.possibleSubsetRect[0];
    EXPECT_EQ(pixel(hWnd, slot.left, slot.bottom - 2), RGB(0, 0, 0));  // the strip was
}

TEST_F(SubsetPanel, AcceptRepaintsTheStripAndTheReservedRowsOnly)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({0});
    const RECT top = gSubsetPanel.SubsetCellRect[0];
    HDC hdc = GetDC(hWnd);
    SetPixel(hdc, top.left + 2, top.bottom - 2, RGB(255, 0, 0));
    ReleaseDC(hWnd, hdc);
    pressButton(kAccept);
    EXPECT_EQ(pixel(hWnd, top.left + 2, top.bottom - 2), RGB(255, 0, 0));
    const RECT row = gSubsetPanel.possibleSubsetArrayRect[0][10];
    EXPECT_EQ(pixel(hWnd, row.left + 1, row.bottom - 2), RGB(255, 255, 255));  // the stored row is white now
    const RECT slot = gSubsetPanel.possibleSubsetRect[0];
    EXPECT_EQ(pixel(hWnd, slot.left + panelMarginX() - 2, curveTop(slot.top) + 1), RGB(163, 163, 163));  // marked once
}

TEST_F(SubsetPanel, ReservedSubsetsCaptionStaysVisibleOverTheRows)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    // The caption's text is drawn over the panel colour in black: some pixel
    // of the first row's left part is black where no etalon is stored.
    const RECT row = gSubsetPanel.possibleSubsetArrayRect[0][10];
    const QImage image = windowRaster(hWnd);
    int black = 0;
    for (int y = row.top + 2; y < row.bottom - 1; y++)
        for (int x = row.left + 2; x < row.left + 150; x++)
            black += (image.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_GT(black, 20);
}

/*==========================================================================
** Presses beside the panel while it is shown
**========================================================================*/

TEST_F(SubsetPanel, NextFromTheAlphabetOfATupleSeriesShowsThePanel)
{
    menu(IDM_FIXED_TUPLES);
    menu(IDM_DETECTION);
    runPendingPaints(hWnd);
    pressAt(gDisplay.NextButtonRect);
    EXPECT_EQ(gState.wViewMode, 9);
    // Painted at once: the presses that follow hit what is shown.
    const RECT& a = gDisplay.SeriesAreaRect;
    EXPECT_EQ(pixel(hWnd, a.left + 2, a.bottom - 2), RGB(235, 240, 225));
    EXPECT_EQ(gSubsetPanel.wSubsetCellsShown, 20);
}

TEST_F(SubsetPanel, NextCommitsTheStripOrKeepsThePanelWhenThereIsNone)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    pressAt(gDisplay.NextButtonRect);  // a fixed tuple series without a strip
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_EQ(gState.lpChainsHeader->wDescription, 0);
    compose({5, 5});
    pressAt(gDisplay.NextButtonRect);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.lpSeriesHeader->wSubsetLength, 2);
    EXPECT_EQ(gState.lpChainsHeader->wProcessingType, 36);
}

TEST_F(SubsetPanel, NextInTuplesRecognitionWithoutAStoredSubsetRepaintsThePanel)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({5});
    pressAt(gDisplay.NextButtonRect);  // the commit finds nothing stored
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_EQ(gState.lpChainsHeader->wDescription, 0);
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(SubsetPanel, ChoiceInThePanelCommitsTheStripAndMakesTheSeriesWithThatLevel)
{
    open(IDM_FIXED_TUPLES, IDM_DETECTION);
    pressAt(gDisplay.NoiseLevelItemRect[1]);  // no strip: the panel stays
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_EQ(gState.lpChainsHeader->wDescription, 0);
    compose({2, 3});
    pressAt(gDisplay.NoiseLevelItemRect[1]);
    EXPECT_EQ(gState.wViewMode, 6);
    EXPECT_EQ(gState.wNoiseLevel, 35);
    EXPECT_EQ(gState.lpSeriesHeader->wSubsetLength, 2);
}

TEST_F(SubsetPanel, ChoiceInTuplesRecognitionWithNothingStoredKeepsThePanel)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({2, 3});
    pressAt(gDisplay.SeriesLengthItemRect[1]);
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_EQ(gState.lpChainsHeader->wDescription, 0);
}

/*==========================================================================
** Running out of memory
**========================================================================*/

TEST_F(SubsetPanel, EachFailedAllocationSaysWhichArrayAndLeavesThePanelUndrawn)
{
    const char* expected[] = {"Нет памяти для possibleSubsetRect!",
                              "Нет памяти для selectedSubset!",
                              "Нет памяти для selectedSubsetArraySize!",
                              "Нет памяти для possibleSubsetRect!",
                              "Нет памяти для possibleSubsetArrayRect!",
                              "Нет памяти для selectedSubset!",
                              "Нет памяти для ButtonsWhileSelectedSubsetRect!"};
    const AllocSite sites[] = {AllocSite::SubsetStripRects, AllocSite::SubsetStrip,     AllocSite::SubsetSizes,
                               AllocSite::SubsetRowRects,   AllocSite::SubsetRowStarts, AllocSite::SubsetRows,
                               AllocSite::SubsetButtons};
    menu(IDM_UNFIXED_TUPLES);
    menu(IDM_RECOGNITION);
    for (int n = 0; n < 7; n++) {
        injectAllocationFault(sites[n]);
        const size_t before = session.messages().size();
        menu(IDM_SELECT_SET);
        ASSERT_EQ(session.messages().size(), before + 1) << n;
        EXPECT_EQ(session.messages().back().text, expected[n]) << n;
        EXPECT_FALSE(session.messages().back().hasCaption) << n;
        EXPECT_EQ(gState.wPossibleSubsetCapacity, 0) << n;  // allocated again by the next layout
        EXPECT_EQ(gState.selectedSubset, nullptr) << n;
        EXPECT_EQ(gState.selectedSubsetArray, nullptr) << n;
        EXPECT_EQ(gSubsetPanel.ButtonsWhileSelectedSubsetRect, nullptr) << n;
        // Nothing of the panel is hit.
        injectMouse(hWnd, WM_LBUTTONDOWN, gDisplay.SeriesAreaRect.left + 100, gDisplay.SeriesAreaRect.top + 100,
                    MK_LBUTTON);
        EXPECT_TRUE(clearAllocationFault().struck) << n;
        EXPECT_EQ(gState.wSelectedSubsetLength, 0);
    }
    menu(IDM_SELECT_SET);
    EXPECT_EQ(gState.wPossibleSubsetCapacity, 10);
    compose({4});
    EXPECT_EQ(strip(), (std::vector<int32_t>{5}));
}

TEST_F(SubsetPanel, WindowDestructionReleasesThePanel)
{
    open(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    compose({4});
    pressButton(kAccept);
    menu(IDM_EXIT);
    EXPECT_FALSE(windowAlive(hWnd));
    EXPECT_EQ(gState.selectedSubset, nullptr);
    EXPECT_EQ(gState.selectedSubsetArray, nullptr);
    EXPECT_EQ(gState.selectedSubsetArraySize, nullptr);
    EXPECT_EQ(gSubsetPanel.possibleSubsetArrayRect, nullptr);
    EXPECT_EQ(gSubsetPanel.ButtonsWhileSelectedSubsetRect, nullptr);
    EXPECT_EQ(gState.wPossibleSubsetCapacity, 0);
    EXPECT_EQ(gState.wSelectedSubsetLength, 0);
    EXPECT_EQ(gState.wReservedSubsetsUsed, 0);
}
