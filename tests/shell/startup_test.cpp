// Start-up: the program state after window creation, the first series, the
// menu marks; the check-mark groups of the task and series type menus.
#include <map>

#include "support/mainwindow.h"

using StartUp = MainWindowTest;

TEST_F(StartUp, StateReachesTheDocumentedStartResult)
{
    const ProgramState& s = gState;
    EXPECT_EQ(s.wSeriesType, 2);
    EXPECT_EQ(s.wTaskType, 4);
    EXPECT_EQ(s.wProcessingType, 4);
    EXPECT_EQ(s.wRequiredQuantity, 20);
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(s.lpRequiredList[i], i + 1);
    EXPECT_EQ(s.dwNextSeriesLength, 1200u);
    EXPECT_EQ(s.dwSeriesLength, 1200u);
    EXPECT_EQ(s.wTmin, 40);
    EXPECT_EQ(s.wTmax, 181);
    EXPECT_EQ(s.wMinPulses, 6);
    EXPECT_EQ(s.wMaxPulses, 30);
    EXPECT_EQ(s.wNextImpulseQuantity, 18);
    EXPECT_EQ(s.wImpulseQuantity, 18);
    EXPECT_EQ(s.wNoiseLevel, 20);
    EXPECT_EQ(s.wNextNoiseLevel, 20);
    EXPECT_EQ(s.wLostDataLevel, 25);
    EXPECT_EQ(s.wNextLostDataLevel, 25);
    for (int level : {int(s.wNextSavedEnergyLevel), int(s.wSavedEnergyLevel), int(s.wNextProcSavedEnergyLevel),
                      int(s.wProcSavedEnergyLevel), int(s.wNewSavedEnergy), int(s.wNewProcSavedEnergy)})
        EXPECT_EQ(level, 75);
    EXPECT_EQ(s.wViewMode, 5);
    EXPECT_EQ(s.wResultsMode, 1);
    EXPECT_EQ(s.wChainsPulsesCapacity, 30);
    EXPECT_NE(s.lpChainsHeader, nullptr);
    EXPECT_NE(s.hTminEdit, nullptr);
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(StartUp, FirstSeriesHoldsEighteenPulsesOfEtalonOneWithoutNoise)
{
    const SeriesHeader* h = gState.lpSeriesHeader;
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->dwSeriesSize, 1200);
    EXPECT_EQ(h->wImpulseQuantity, 18);
    for (int i = 0; i < 18; i++)
        EXPECT_EQ(h->lpEtalonNumbers[i], 1);
    for (int i = 1; i < 18; i++) {
        EXPECT_GE(h->lpPositions[i] - h->lpPositions[i - 1], 40);
        EXPECT_LE(h->lpPositions[i] - h->lpPositions[i - 1], 181);
    }
    EXPECT_EQ(h->wSeriesNoiseLevel, 0);
    EXPECT_EQ(gState.streams.wNoiseSeed, kNoiseSeedStart);  // no noise drawn at creation
}

TEST_F(StartUp, MenuMarksFixedCutoffsAndJointDetection)
{
    for (const MenuItemDesc& item : mainMenu()) {
        if (item.id) {
            EXPECT_EQ(menuItemChecked(hWnd, item.id), item.id == IDM_FIXED_CUTOFF || item.id == IDM_JOINT)
                << item.id;
        }
    }
}

TEST_F(StartUp, MenuHoldsEveryCommandWithItsText)
{
    std::map<UINT, std::string> texts;
    for (const MenuItemDesc& item : mainMenu())
        if (item.id)
            texts[item.id] = item.text;
    EXPECT_EQ(texts.size(), 38u);  // 40001..40039 but 40013
    EXPECT_EQ(texts[40018], " Processing Next Data ");
    EXPECT_EQ(texts[40011], " Unfuxed Number of Cutoffs Pulses");
    EXPECT_EQ(texts[40020], " Type more detales");
    EXPECT_EQ(texts[40028], " Fixed Number of Whole Pulses Tuples ");
    EXPECT_EQ(texts[40003], " Save image as...");
    EXPECT_EQ(texts[40014], " Create Series...");
    EXPECT_EQ(texts[40002], " New pulses... ");
    EXPECT_EQ(texts[40034], " Open signal...");
    EXPECT_EQ(texts[40037], " Save series...");
    EXPECT_EQ(texts[40038], " Export results...");
    EXPECT_EQ(texts[40039], " Resume simulation...");
}

using MenuGroups = MainWindowTest;

TEST_F(MenuGroups, SeriesTypeItemChecksItselfAndClearsTheFiveOthers)
{
    const UINT series[] = {40008, 40009, 40010, 40011, 40028, 40032};
    const uint16_t codes[] = {1, 4, 2, 8, 36, 40};
    for (int k = 0; k < 6; k++) {
        menu(series[k]);
        EXPECT_EQ(gState.wSeriesType, codes[k]);
        for (UINT other : series)
            EXPECT_EQ(menuItemChecked(hWnd, other), other == series[k]) << series[k] << " vs " << other;
        EXPECT_TRUE(menuItemChecked(hWnd, IDM_JOINT));  // the other group is untouched
    }
}

TEST_F(MenuGroups, TaskItemChecksItselfAndSetsTheProcessingType)
{
    const UINT tasks[] = {40005, 40006, 40007, 40027};
    const uint16_t codes[] = {1, 2, 4, 64};
    for (int k = 0; k < 4; k++) {
        menu(tasks[k]);
        EXPECT_EQ(gState.wTaskType, codes[k]);
        EXPECT_EQ(gState.wProcessingType, codes[k]);
        for (UINT other : tasks)
            EXPECT_EQ(menuItemChecked(hWnd, other), other == tasks[k]);
        EXPECT_TRUE(menuItemChecked(hWnd, IDM_FIXED_CUTOFF));
    }
}

TEST_F(MenuGroups, DetectionKeepsOnlyTheSelectedEtalonRequired)
{
    gState.wSelectedEtalon = 7;
    menu(IDM_DETECTION);
    EXPECT_EQ(gState.wRequiredQuantity, 1);
    EXPECT_EQ(gState.lpRequiredList[0], 7);
    for (int k = 0; k < 20; k++)
        EXPECT_EQ(gState.EtalonSelected[k], k == 6 ? 1 : 0);
}

TEST_F(MenuGroups, TuplesWithDetectionOrRecognitionGiveTupleProcessing)
{
    menu(IDM_FIXED_TUPLES);
    menu(IDM_DETECTION);
    EXPECT_EQ(gState.wProcessingType, 36);
    EXPECT_EQ(gState.wRequiredQuantity, 20);  // tuples keep every etalon
    menu(IDM_RECOGNITION);
    EXPECT_EQ(gState.wProcessingType, 40);
}

TEST_F(MenuGroups, WholePulsesForceLostDataZeroAndCutoffsKeepIt)
{
    gState.LostDataLevelTable.index = 3;
    gState.wNextLostDataLevel = gState.wLostDataLevel = 50;
    menu(IDM_FIXED_WHOLE);
    EXPECT_EQ(gState.LostDataLevelTable.index, 1);
    EXPECT_EQ(gState.wLostDataLevel, 0);
    EXPECT_EQ(gState.wNextLostDataLevel, 0);
    for (int level : {int(gState.wNextSavedEnergyLevel), int(gState.wSavedEnergyLevel),
                      int(gState.wNextProcSavedEnergyLevel), int(gState.wProcSavedEnergyLevel),
                      int(gState.wNewSavedEnergy), int(gState.wNewProcSavedEnergy)})
        EXPECT_EQ(level, 100);
    menu(IDM_FIXED_CUTOFF);
    EXPECT_EQ(gState.wLostDataLevel, 0);
    EXPECT_EQ(gState.wSavedEnergyLevel, 100);
}

TEST(ProgramStateRules, PulseBoundsForSeriesLength200)
{
    EXPECT_EQ(pulsesLowerBound(200, 20, 181), 1);
    EXPECT_EQ(pulsesUpperBound(200, 20, 40), 5);
    EXPECT_EQ(pulsesLowerBound(200, 20, 0), 0);  // no division by a zero bound
    EXPECT_EQ(pulsesUpperBound(200, 20, 0), 0);
}

TEST(ProgramStateRules, ProcessingTypeFollowsTaskAndTupleSeries)
{
    EXPECT_EQ(processingTypeFor(1, 2), 1);
    EXPECT_EQ(processingTypeFor(1, 36), 36);
    EXPECT_EQ(processingTypeFor(1, 40), 36);
    EXPECT_EQ(processingTypeFor(2, 40), 40);
    EXPECT_EQ(processingTypeFor(4, 36), 4);
    EXPECT_EQ(processingTypeFor(64, 40), 64);
}
