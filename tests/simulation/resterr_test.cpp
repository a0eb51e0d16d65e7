// Error statistics record: the grid, the report text for small and large grids,
// storage reuse and the layout of the six tables, refused sizes, the run's
// description and the release of a record that could not be grown.
#include <string>

#include "simulation/simulation.h"
#include "support/fixtures.h"

namespace {

class RestErr : public FreshStart {
protected:
    RestoreErrorHeader* h = nullptr;

    void TearDown() override { freeRestErrHeader(h); }

    // Writes a distinct value into every cell of the grid in use.
    void fillCells(int32_t base)
    {
        for (int t = 0; t < kErrorTables; t++)
            for (int k = 0; k < h->wNoiseLevels; k++)
                for (int j = 0; j < h->wVariousPulses; j++)
                    h->lpErrors[t][k][j] = base + t * 1000000 + k * 1000 + j;
    }

    // First cell whose value is not the one fillCells wrote, or "".
    std::string checkCells(int32_t base) const
    {
        for (int t = 0; t < kErrorTables; t++)
            for (int k = 0; k < h->wNoiseLevels; k++)
                for (int j = 0; j < h->wVariousPulses; j++)
                    if (h->lpErrors[t][k][j] != base + t * 1000000 + k * 1000 + j)
                        return "cell " + std::to_string(t) + "/" + std::to_string(k) + "/" + std::to_string(j);
        return "";
    }
};

TEST_F(RestErr, InitFillsPulseCountsAndLevelsFromFirstValueAndStep)
{
    h = getRestErrHeader(hWnd, 3, 4, 100, nullptr);
    ASSERT_NE(h, nullptr);
    h->ifComplete = 1;
    ASSERT_EQ(initRestErrHeader(hWnd, 3, 6, 2, 4, 10, 5, 100, h), 1);
    EXPECT_EQ(std::vector<int16_t>(h->wPulseValues, h->wPulseValues + 3), (std::vector<int16_t>{6, 8, 10}));
    EXPECT_EQ(std::vector<int16_t>(h->lpNoiseLevels, h->lpNoiseLevels + 4), (std::vector<int16_t>{10, 15, 20, 25}));
    EXPECT_EQ(h->wVariousPulses, 3);
    EXPECT_EQ(h->wNoiseLevels, 4);
    EXPECT_EQ(h->repeats, 100);
    EXPECT_EQ(h->ifComplete, 0);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(RestErr, InitWrapsValuesTo16Bits)
{
    h = getRestErrHeader(hWnd, 2, 2, 1, nullptr);
    ASSERT_EQ(initRestErrHeader(hWnd, 2, 32767, 1, 2, 65535, 2, 1, h), 1);
    EXPECT_EQ(h->wPulseValues[1], -32768);
    EXPECT_EQ(h->lpNoiseLevels[0], -1);
    EXPECT_EQ(h->lpNoiseLevels[1], 1);
}

TEST_F(RestErr, ReportOfOnePulseCountAndTwoLevels)
{
    h = getRestErrHeader(hWnd, 1, 2, 10, nullptr);
    ASSERT_EQ(initRestErrHeader(hWnd, 1, 6, 1, 2, 10, 5, 10, h), 1);
    h->lpErrors[0][0][0] = 123;
    h->lpErrors[0][1][0] = -4;
    h->lpErrors[1][1][0] = 77;
    const std::string expected = "lpRestErrorHeader:\n"
                                 "wReservedPulses: 1\n"
                                 "wVariousPulses: 1\n"
                                 "wReservedLevels: 2\n"
                                 "wNoiseLevels: 2\n"
                                 "repeats: 10\n"
                                 "ifComplete: 0\n"
                                 "lpNoiseLevels:  10 15\n"
                                 "wPulseValues:  6\n"
                                 "Restoring Errors: \n"
                                 " 1 [6]:  123 -4\n"
                                 "\n"
                                 "Detection Errors: \n"
                                 " 1 [6]:  0 77\n"
                                 "\n";
    EXPECT_EQ(restErrHeaderText(h), expected);

    aboutRestErrHeader(hWnd, h);
    ASSERT_EQ(boxes.count(), 1u);
    MessageRecord shown = boxes.messages()[0];
    EXPECT_EQ(shown.text, expected);
    EXPECT_EQ(shown.caption, "aboutRestErrHeader Info");
    EXPECT_EQ(shown.flags, MB_OK);
}

TEST_F(RestErr, ReportPrintsOneLinePerPulseCountWithEveryLevel)
{
    h = getRestErrHeader(hWnd, 5, 4, 0, nullptr);  // reserved 5 x 4, grid in use 3 x 2
    ASSERT_EQ(initRestErrHeader(hWnd, 3, 6, 2, 2, 10, 5, 7, h), 1);
    for (int k = 0; k < 2; k++)
        for (int j = 0; j < 3; j++) {
            h->lpErrors[0][k][j] = 10 * (j + 1) + k;
            h->lpErrors[1][k][j] = 100 * (j + 1) + k;
        }
    h->ifComplete = 1;
    EXPECT_EQ(restErrHeaderText(h), "lpRestErrorHeader:\n"
                                    "wReservedPulses: 5\n"
                                    "wVariousPulses: 3\n"
                                    "wReservedLevels: 4\n"
                                    "wNoiseLevels: 2\n"
                                    "repeats: 7\n"
                                    "ifComplete: 1\n"
                                    "lpNoiseLevels:  10 15\n"
                                    "wPulseValues:  6 8 10\n"
                                    "Restoring Errors: \n"
                                    " 1 [6]:  10 11\n"
                                    " 2 [8]:  20 21\n"
                                    " 3 [10]:  30 31\n"
                                    "\n"
                                    "Detection Errors: \n"
                                    " 1 [6]:  100 101\n"
                                    " 2 [8]:  200 201\n"
                                    " 3 [10]:  300 301\n"
                                    "\n");
}

// The default simulation grid with wide cells runs far past what a fixed
// 1500-character buffer would hold; the whole text must come out.
TEST_F(RestErr, ReportOfLargeGridIsWhole)
{
    h = getRestErrHeader(hWnd, 40, 29, 100, nullptr);
    ASSERT_EQ(initRestErrHeader(hWnd, 40, 6, 1, 29, 0, 5, 100, h), 1);
    for (int k = 0; k < 29; k++)
        for (int j = 0; j < 40; j++) {
            h->lpErrors[0][k][j] = -1000000000;
            h->lpErrors[1][k][j] = 2000000000;
        }
    std::string text = restErrHeaderText(h);
    EXPECT_GT(text.size(), 40u * 29u * 12u * 2u);
    std::string cells0, cells1;
    for (int k = 0; k < 29; k++) {
        cells0 += " -1000000000";
        cells1 += " 2000000000";
    }
    EXPECT_EQ(text.rfind("lpRestErrorHeader:\nwReservedPulses: 40\nwVariousPulses: 40\nwReservedLevels: 29\n"
                         "wNoiseLevels: 29\nrepeats: 100\nifComplete: 0\n"
                         "lpNoiseLevels:  0 5 10 15 20 25 30 35 40 45 50 55 60 65 70 75 80 85 90 95 100 105 110 "
                         "115 120 125 130 135 140\n"
                         "wPulseValues:  6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 "
                         "32 33 34 35 36 37 38 39 40 41 42 43 44 45\n"
                         "Restoring Errors: \n 1 [6]: " + cells0 + "\n",
                         0),
              0u);
    const std::string tail = " 39 [44]: " + cells1 + "\n 40 [45]: " + cells1 + "\n\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_NE(text.find(" 40 [45]: " + cells0 + "\n\nDetection Errors: \n 1 [6]: " + cells1 + "\n"),
              std::string::npos);
}

TEST_F(RestErr, SecondGetWithSameOrSmallerGridReusesBlocksAndClearsEveryTable)
{
    h = getRestErrHeader(hWnd, 5, 4, 10, nullptr);
    ASSERT_NE(h, nullptr);
    const int16_t* values = h->valueStore.data();
    int32_t* const* rows = h->rowStore.data();
    const int32_t* cells = h->cellStore.data();
    fillCells(7);
    h->wPulseValues[4] = 99;
    h->lpNoiseLevels[3] = 99;

    for (auto [P, L] : {std::pair{5, 4}, std::pair{3, 2}, std::pair{1, 4}}) {
        SCOPED_TRACE(std::to_string(P) + " x " + std::to_string(L));
        RestoreErrorHeader* again = getRestErrHeader(hWnd, P, L, 20, h);
        ASSERT_EQ(again, h);
        EXPECT_EQ(h->valueStore.data(), values);
        EXPECT_EQ(h->rowStore.data(), rows);
        EXPECT_EQ(h->cellStore.data(), cells);
        EXPECT_EQ(h->wReservedPulses, 5);
        EXPECT_EQ(h->wReservedLevels, 4);
        EXPECT_EQ(h->wVariousPulses, P);
        EXPECT_EQ(h->wNoiseLevels, L);
        EXPECT_EQ(h->repeats, 20);
        fillCells(0);
        EXPECT_EQ(checkCells(0), "");  // rows of the new grid are disjoint
        ASSERT_EQ(getRestErrHeader(hWnd, P, L, 20, h), h);
        for (int t = 0; t < kErrorTables; t++)
            for (int k = 0; k < L; k++)
                for (int j = 0; j < P; j++)
                    ASSERT_EQ(h->lpErrors[t][k][j], 0) << t << "/" << k << "/" << j;
        for (int j = 0; j < P; j++)
            EXPECT_EQ(h->wPulseValues[j], 0);
        for (int k = 0; k < L; k++)
            EXPECT_EQ(h->lpNoiseLevels[k], 0);
        fillCells(3);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(RestErr, GetGrowsCapacitiesToTheNewGridAndLaysTablesOneAfterAnother)
{
    h = getRestErrHeader(hWnd, 2, 3, 1, nullptr);
    for (auto [P, L] : {std::pair{4, 3}, std::pair{1, 7}, std::pair{6, 6}}) {
        SCOPED_TRACE(std::to_string(P) + " x " + std::to_string(L));
        ASSERT_EQ(getRestErrHeader(hWnd, P, L, 1, h), h);
        EXPECT_GE(h->wReservedPulses, P);
        EXPECT_GE(h->wReservedLevels, L);
        EXPECT_GE(h->valueStore.size(), size_t(h->wReservedPulses) + h->wReservedLevels);
        EXPECT_GE(h->cellStore.size(), size_t(kErrorTables) * h->wReservedPulses * h->wReservedLevels);
        EXPECT_EQ(h->wPulseValues, h->lpNoiseLevels + h->wReservedLevels);
        for (int t = 0; t < kErrorTables; t++)
            for (int k = 0; k < L; k++)
                ASSERT_EQ(h->lpErrors[t][k], h->cellStore.data() + t * P * L + k * P);
        fillCells(5);
        EXPECT_EQ(checkCells(5), "");
    }
}

// A grid other than the one get laid out (within the capacities) must not make
// rows of one table run into another.
TEST_F(RestErr, InitWithAnotherGridKeepsRowsApart)
{
    h = getRestErrHeader(hWnd, 10, 10, 1, nullptr);
    ASSERT_EQ(getRestErrHeader(hWnd, 5, 4, 1, h), h);
    ASSERT_EQ(initRestErrHeader(hWnd, 8, 1, 1, 9, 0, 1, 1, h), 1);
    fillCells(11);
    EXPECT_EQ(checkCells(11), "");
    for (int t = 0; t < kErrorTables; t++)
        EXPECT_EQ(h->lpErrors[t][0], h->cellStore.data() + t * 8 * 9);
}

TEST_F(RestErr, InitClearsTableZeroAndKeepsTheOthers)
{
    h = getRestErrHeader(hWnd, 3, 2, 1, nullptr);
    fillCells(1);
    ASSERT_EQ(initRestErrHeader(hWnd, 3, 1, 1, 2, 0, 1, 1, h), 1);
    for (int k = 0; k < 2; k++)
        for (int j = 0; j < 3; j++) {
            EXPECT_EQ(h->lpErrors[0][k][j], 0);
            EXPECT_EQ(h->lpErrors[1][k][j], 1 + 1000000 + k * 1000 + j);
        }
}

TEST_F(RestErr, InitRefusesMissingRecordAndGridsLargerThanAllocated)
{
    EXPECT_EQ(initRestErrHeader(hWnd, 1, 1, 1, 1, 1, 1, 1, nullptr), 0);

    h = getRestErrHeader(hWnd, 3, 4, 10, nullptr);
    ASSERT_EQ(initRestErrHeader(hWnd, 3, 6, 2, 4, 10, 5, 10, h), 1);
    fillCells(9);
    h->ifComplete = 1;
    EXPECT_EQ(initRestErrHeader(hWnd, 4, 1, 1, 5, 1, 1, 99, h), 0);  // both too large: pulse counts reported
    EXPECT_EQ(initRestErrHeader(hWnd, 3, 1, 1, 5, 1, 1, 99, h), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"Не определен lpErrorHeader!", "Неверно задан wVariousPulsesNumber!",
                                                 "Неверно задан wNoiseLevels!"}));
    for (const MessageRecord& m : boxes.messages()) {
        EXPECT_EQ(m.caption, " initRestErrHeader ");
        EXPECT_EQ(m.flags, MB_OK);
    }
    EXPECT_EQ(checkCells(9), "");
    EXPECT_EQ(h->wVariousPulses, 3);
    EXPECT_EQ(h->wNoiseLevels, 4);
    EXPECT_EQ(h->repeats, 10);
    EXPECT_EQ(h->ifComplete, 1);
    EXPECT_EQ(h->wPulseValues[2], 10);
    EXPECT_EQ(h->lpNoiseLevels[3], 25);
}

// A grid of 65535 x 65535 cannot be held: the record the caller passed is
// released with its blocks (the sanitizer build proves nothing leaks).
TEST_F(RestErr, GetReleasesTheRecordWhenTheTablesCannotBeHeld)
{
    RestoreErrorHeader* given = getRestErrHeader(hWnd, 3, 4, 10, nullptr);
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(getRestErrHeader(hWnd, 65535, 65535, 10, given), nullptr);
    EXPECT_EQ(getRestErrHeader(hWnd, 65535, 65535, 10, nullptr), nullptr);
    ASSERT_EQ(boxes.count(), 2u);
    for (const MessageRecord& m : boxes.messages()) {
        EXPECT_EQ(m.text, "Нет памяти для newRestErrorHeader->lpErrors[]!");
        EXPECT_EQ(m.caption, " getRestErrHeader ");
        EXPECT_EQ(m.flags, MB_OK);
    }
}

TEST_F(RestErr, DescriptionNamesSeriesTypeAndTask)
{
    h = getRestErrHeader(hWnd, 1, 1, 1, nullptr);
    EXPECT_EQ(h->wDescription, 0);
    ASSERT_EQ(addInitRestErrHeader(hWnd, 8, 4, 75, -3, h), 1);
    EXPECT_EQ(h->wDescription, 2);
    EXPECT_EQ(h->wSeriesType, 8);
    EXPECT_EQ(h->wTaskType, 4);
    EXPECT_STREQ(h->lpSeriesTypeName, "unknown number of cut-off pulses");
    EXPECT_STREQ(h->lpTaskName, "joint detection and identification");
    EXPECT_EQ(h->wMakingSavedEnergy, 75);
    EXPECT_EQ(h->wProcessingSavedEnergy, -3);

    // Codes outside the tables leave the names empty.
    ASSERT_EQ(addInitRestErrHeader(hWnd, 16, 64, 100, 100, h), 1);
    EXPECT_STREQ(h->lpSeriesTypeName, "");
    EXPECT_STREQ(h->lpTaskName, "");

    EXPECT_EQ(addInitRestErrHeader(hWnd, 1, 1, 100, 100, nullptr), 0);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Не определен lpErrorHeader!");
    EXPECT_EQ(boxes.messages()[0].caption, " addInitRestErrHeader ");
}

TEST(RestErrNames, EveryCodeOfBothTables)
{
    const std::pair<int, const char*> series[] = {
        {1, "known number of whole pulses"},        {2, "known number of cut-off pulses"},
        {4, "unknown number of whole pulses"},      {8, "unknown number of cut-off pulses"},
        {36, "known number of whole pulses tuples"}, {40, "unknown number of whole pulses tuples"},
        {0, ""}, {16, ""}, {32, ""}, {3, ""}};
    for (auto [code, name] : series)
        EXPECT_STREQ(restErrSeriesTypeName(code), name) << code;
    const std::pair<int, const char*> tasks[] = {
        {1, "detection"}, {36, "detection"}, {2, "recognition"}, {40, "recognition"},
        {4, "joint detection and identification"}, {8, "joint detection and estimation"},
        {16, "joint detection and estimation"}, {32, "blind detection"}, {0, ""}, {64, ""}, {3, ""}};
    for (auto [code, name] : tasks)
        EXPECT_STREQ(restErrTaskName(code), name) << code;
}

TEST_F(RestErr, AboutWithoutRecordSaysSo)
{
    aboutRestErrHeader(hWnd, nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Нет RestoreErrorHeader!");
    EXPECT_EQ(boxes.messages()[0].caption, " About RestoreErrorHeader ");
    EXPECT_EQ(restErrHeaderText(nullptr), "");
    EXPECT_EQ(freeRestErrHeader(nullptr), 1);
}

TEST_F(RestErr, EmptyGridReportsHeadingsOnly)
{
    h = getRestErrHeader(hWnd, 0, 0, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(restErrHeaderText(h), "lpRestErrorHeader:\nwReservedPulses: 0\nwVariousPulses: 0\n"
                                    "wReservedLevels: 0\nwNoiseLevels: 0\nrepeats: 0\nifComplete: 0\n"
                                    "lpNoiseLevels: \nwPulseValues: \nRestoring Errors: \n\n"
                                    "Detection Errors: \n\n");
}

} // namespace
