// The processing pipeline: Processing Next Data builds, adds noise and runs
// the detector that task and series type select; failures stop it with the
// right message; the required list, the chains record and repaint requests.
#include "detection/detection.h"
#include "support/mainwindow.h"

using Pipeline = MainWindowTest;

TEST_F(Pipeline, NextDataBuildsNoisySeriesFromRequiredListAndShowsResults)
{
    menu(IDM_PROCESS_NEXT);
    const ProgramState& s = gState;
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    EXPECT_EQ(s.lpSeriesHeader->dwSeriesSize, 1200);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 18);
    EXPECT_EQ(s.lpSeriesHeader->wSeriesNoiseLevel, 20);
    EXPECT_NE(s.streams.wNoiseSeed, kNoiseSeedStart);
    bool mixed = false;
    for (int i = 0; i < 18; i++) {
        EXPECT_GE(s.lpSeriesHeader->lpEtalonNumbers[i], 1);
        EXPECT_LE(s.lpSeriesHeader->lpEtalonNumbers[i], 20);
        mixed |= s.lpSeriesHeader->lpEtalonNumbers[i] != s.lpSeriesHeader->lpEtalonNumbers[0];
    }
    EXPECT_TRUE(mixed);  // joint detection draws each pulse from the whole list
    EXPECT_STREQ(lastDetectorName(), "detectFixedPulses");
    EXPECT_EQ(s.lpSeriesHeader->wDetectedQuantity, 18);  // the fixed count is found
    for (int i = 0; i < 18; i++)
        EXPECT_GE(s.lpSeriesHeader->lpDetectedNumbers[i], 1);
    ASSERT_NE(s.lpChainsHeader, nullptr);
    EXPECT_GE(s.lpChainsHeader->wPretenders, 1);
    EXPECT_EQ(s.lpChainsHeader->wDescription, 2);  // the run was recorded
    EXPECT_EQ(s.lpChainsHeader->wSeriesType, 2);
    EXPECT_EQ(s.lpChainsHeader->wProcessingType, 4);
    EXPECT_EQ(s.lpChainsHeader->wMakingSavedEnergy, 75);
    EXPECT_EQ(s.wViewMode, 6);
    EXPECT_EQ(s.wResultsMode, 1);
    EXPECT_TRUE(session.messages().empty()) << texts().front();
}

TEST_F(Pipeline, SequenceDrawsOnlyRequiredEtalons)
{
    for (int k = 0; k < 20; k++)
        gState.EtalonSelected[k] = (k == 4 || k == 11);
    rebuildRequiredList();
    menu(IDM_PROCESS_NEXT);
    for (int i = 0; i < gState.wMaxPulses; i++)
        EXPECT_TRUE(gState.lpEtalonSequence[i] == 5 || gState.lpEtalonSequence[i] == 12) << i;
}

TEST_F(Pipeline, DetectionUsesOneEtalonForEveryPulse)
{
    menu(IDM_DETECTION);
    menu(IDM_PROCESS_NEXT);
    const SeriesHeader* h = gState.lpSeriesHeader;
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < h->wImpulseQuantity; i++)
        EXPECT_EQ(h->lpEtalonNumbers[i], 1);
    EXPECT_STREQ(lastDetectorName(), "detectFixedPulses");
}

TEST_F(Pipeline, DetectorFollowsTaskAndSeriesType)
{
    struct Case {
        UINT task, series;
        const char* detector;
    } cases[] = {
        {IDM_JOINT, IDM_UNFIXED_CUTOFF, "detectUnfixedPulses"},
        {IDM_JOINT, IDM_UNFIXED_WHOLE, "detectUnfixedPulses"},
        {IDM_JOINT, IDM_FIXED_WHOLE, "detectFixedPulses"},
        {IDM_RECOGNITION, IDM_FIXED_CUTOFF, "recognizeFixedPulses"},
        {IDM_RECOGNITION, IDM_UNFIXED_WHOLE, "recognizeUnfixedPulses"},
        {IDM_SERIES_PROCESSING, IDM_UNFIXED_CUTOFF, "detectUnfixedPulses"},
        {IDM_DETECTION, IDM_FIXED_WHOLE, "detectFixedPulses"},
    };
    for (const Case& c : cases) {
        menu(c.task);
        menu(c.series);
        menu(IDM_PROCESS_NEXT);
        EXPECT_STREQ(lastDetectorName(), c.detector) << c.task << "/" << c.series;
        EXPECT_EQ(gState.wViewMode, 6);
    }
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(Pipeline, UnfixedSeriesTakesTheDrawnPulseCount)
{
    menu(IDM_UNFIXED_WHOLE);
    menu(IDM_PROCESS_NEXT);
    ASSERT_NE(gState.lpSeriesHeader, nullptr);
    EXPECT_EQ(gState.wImpulseQuantity, gState.lpSeriesHeader->wImpulseQuantity);
    EXPECT_GE(gState.wImpulseQuantity, gState.wMinPulses);
    EXPECT_LE(gState.wImpulseQuantity, gState.wMaxPulses);
}

TEST_F(Pipeline, FailedBuildSaysSoAndRunsNoDetector)
{
    gState.dwNextSeriesLength = 10;  // shorter than one etalon: no series can be made
    menu(IDM_PROCESS_NEXT);
    const std::vector<MessageRecord> shown = session.messages();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, "Не могу создать ряд!");
    EXPECT_EQ(shown.back().caption, "CM_INFO");
    EXPECT_EQ(shown.back().flags, MB_OK);
    EXPECT_STREQ(lastDetectorName(), "");
    EXPECT_EQ(gState.lpSeriesHeader, nullptr);
    EXPECT_EQ(gState.wViewMode, 5);
    // Processing the same data afterwards finds nothing to process.
    menu(IDM_PROCESS_SAME);
    EXPECT_EQ(session.messages().back().text, "Не могу создать ряд!");
    EXPECT_STREQ(lastDetectorName(), "");
}

TEST_F(Pipeline, EmptyRequiredListMakesEtalonOneRequiredInsteadOfDividingByZero)
{
    for (int k = 0; k < 20; k++)
        gState.EtalonSelected[k] = 0;
    gState.wRequiredQuantity = 0;
    menu(IDM_PROCESS_NEXT);
    EXPECT_EQ(gState.wRequiredQuantity, 1);
    EXPECT_EQ(gState.lpRequiredList[0], 1);
    for (int i = 0; i < gState.wMaxPulses; i++)
        EXPECT_EQ(gState.lpEtalonSequence[i], 1);
    EXPECT_EQ(gState.wViewMode, 6);
}

TEST_F(Pipeline, ChainsRecordIsRemadeWhenSeriesMayHoldMorePulses)
{
    gState.wChainsPulsesCapacity = 5;  // as if levels had raised wMaxPulses since
    menu(IDM_PROCESS_NEXT);
    EXPECT_EQ(gState.wChainsPulsesCapacity, 30);
    ASSERT_NE(gState.lpChainsHeader, nullptr);
    EXPECT_GE(gState.lpChainsHeader->wMaxPulses, 30);
}

TEST_F(Pipeline, TupleProcessingWithoutSubsetOpensSelectionAndProcessesNothing)
{
    menu(IDM_FIXED_TUPLES);
    menu(IDM_DETECTION);
    menu(IDM_PROCESS_NEXT);
    EXPECT_EQ(gState.wViewMode, 9);
    EXPECT_STREQ(lastDetectorName(), "");
}

TEST_F(Pipeline, RepeatCommandsChangeTaskButNotTheMarks)
{
    menu(IDM_REPEAT_RECOGNITION);
    EXPECT_EQ(gState.wTaskType, 2);
    EXPECT_TRUE(menuItemChecked(hWnd, IDM_JOINT));
    EXPECT_FALSE(menuItemChecked(hWnd, IDM_RECOGNITION));
    EXPECT_STREQ(lastDetectorName(), "recognizeFixedPulses");
    menu(IDM_UNFIXED_CASE);
    EXPECT_EQ(gState.wSeriesType, 4);
    EXPECT_TRUE(menuItemChecked(hWnd, IDM_FIXED_CUTOFF));
}

TEST_F(Pipeline, OnlyVirtualKeysZeroAndOneRepaint)
{
    runPendingPaints(hWnd);
    injectKey(hWnd, 'A');
    EXPECT_EQ(runPendingPaints(hWnd), 0);
    injectKey(hWnd, 1);
    EXPECT_EQ(runPendingPaints(hWnd), 1);
}

TEST_F(Pipeline, ExitClosesTheWindowAndReleasesEverything)
{
    menu(IDM_PROCESS_NEXT);
    menu(IDM_EXIT);
    EXPECT_FALSE(windowAlive(hWnd));
    EXPECT_EQ(gState.lpSeriesHeader, nullptr);
    EXPECT_EQ(gState.lpChainsHeader, nullptr);
    EXPECT_EQ(gState.lpRequiredList, nullptr);
    EXPECT_EQ(gState.lpEtalonSequence, nullptr);
    EXPECT_EQ(gState.wRequiredQuantity, 0);
    EXPECT_EQ(quitCode(), 0);
}
