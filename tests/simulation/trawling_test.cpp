// Simulation driver: the etalon changes of the recognition and joint tasks seen
// by the detector trial after trial, the cell arithmetic with scripted
// detectors, the restoring error, refused runs, progress and cancellation.
// Scripted detectors run on the caller's thread (one thread) and take no time.
#include <algorithm>
#include <vector>

#include "detection/detection.h"
#include "simulation/simulation.h"
#include "support/fixtures.h"
#include "trawling_support.h"

namespace {

/*---- Scripted detectors ----*/

// What the scripted detectors saw, trial after trial (one thread only).
struct Seen {
    std::vector<std::vector<int16_t>> etalons;     // the series' etalon numbers, K per trial
    std::vector<std::vector<uint16_t>> candidates; // the candidate list handed over, n entries
};
Seen seen;

// What the scripted detectors do to the series after recording it.
enum class Script { Truth, OneOffByTwo, RestoreOneThenTwo };
Script script = Script::Truth;

void writeTruth(ChainsHeader* c, SeriesHeader* h)
{
    const int K = h->wImpulseQuantity;
    for (int m = 0; m < K; m++) {
        h->lpDetectedPositions[m] = h->lpPositions[m];
        h->lpDetectedNumbers[m] = h->lpEtalonNumbers[m];
        h->lpDetectedCutBegin[m] = h->lpCutBegin[m];
        h->lpDetectedCutEnd[m] = h->lpCutEnd[m];
    }
    h->wDetectedQuantity = static_cast<uint16_t>(K);
    c->wSeekingPulsesQuantity = static_cast<uint16_t>(K);
}

int32_t scripted(HWND, PulseHeader*, uint16_t n, uint16_t* list, uint16_t, uint16_t, uint16_t, ChainsHeader* c,
                 SeriesHeader* h)
{
    seen.etalons.emplace_back(h->lpEtalonNumbers, h->lpEtalonNumbers + h->wImpulseQuantity);
    seen.candidates.emplace_back(list, list + n);
    writeTruth(c, h);
    const size_t trial = seen.etalons.size() - 1;
    if (script == Script::OneOffByTwo)
        h->lpDetectedPositions[1] += 2;
    if (script == Script::RestoreOneThenTwo) {
        // samples 0 and 1 precede every pulse here; a pure value of 1 where
        // nothing is restored costs 1 each
        h->lpPureData[0] = 1;
        if (trial % 2 == 1)
            h->lpPureData[1] = 1;
    }
    return 1;
}

// Tuples detection: records the series and the subset handed over.
int32_t scriptedTuples(HWND, PulseHeader*, int32_t length, const int32_t* subset, uint16_t, uint16_t, uint16_t,
                       uint16_t, int32_t&, ChainsHeader* c, SeriesHeader* h)
{
    seen.etalons.emplace_back(h->lpEtalonNumbers, h->lpEtalonNumbers + h->wImpulseQuantity);
    seen.candidates.emplace_back(subset, subset + length);
    writeTruth(c, h);
    return 1;
}

// Tuples recognition: records the series and recognises stored subset 2 every time.
int32_t scriptedRecognizer(HWND, PulseHeader*, const int32_t* sizes, const int32_t* const*, int32_t count, uint16_t,
                           uint16_t, uint16_t, uint16_t, int32_t&, ChainsHeader* c, SeriesHeader* h)
{
    seen.etalons.emplace_back(h->lpEtalonNumbers, h->lpEtalonNumbers + h->wImpulseQuantity);
    seen.candidates.emplace_back(sizes, sizes + count);
    writeTruth(c, h);
    return 2;
}

const DetectorSet kScripted = [] {
    DetectorSet set;
    for (const DetectorKind& kind : kDetectorKinds) {
        set[kind.slot].pulses = scripted;
        set[kind.slot].tuples = scriptedTuples;
        set[kind.slot].recognizer = scriptedRecognizer;
    }
    return set;
}();

class Trawling : public SimulationRun {
protected:
    void SetUp() override
    {
        SimulationRun::SetUp();
        seen = Seen{};
        script = Script::Truth;
        context.detectors = &kScripted;
        context.threads = 1;
    }
};

/*---- Detector slots ----*/

int gSlotCalls = 0;  // calls of the one bound slot

int32_t countedScripted(HWND hWnd, PulseHeader* a, uint16_t n, uint16_t* list, uint16_t Tmin, uint16_t Tmax,
                        uint16_t level, ChainsHeader* c, SeriesHeader* h)
{
    gSlotCalls++;
    return scripted(hWnd, a, n, list, Tmin, Tmax, level, c, h);
}

// Only the slot the kind table names is bound: a run calling any other would
// call a null function.
TEST_F(Trawling, EachPulseKindCallsTheSlotItsRowNamesOnEverySeriesType)
{
    for (const ProcessingKind& kind : kProcessingKinds)
        for (uint16_t type : {kSeriesFixedWhole, kSeriesFixedCutoff, kSeriesUnfixedWhole, kSeriesUnfixedCutoff}) {
            if (kind.tuples)
                continue;
            DetectorSet one;
            const DetectorSlot slot = detectorSlotFor(kind.processingType, type);
            ASSERT_EQ(detectorKindOf(slot).form, DetectorForm::Pulses);
            one[slot].pulses = countedScripted;
            context.detectors = &one;
            gSlotCalls = 0;
            prepare(200, 40, 181, {3}, {0}, 4);
            ASSERT_EQ(run(kind.processingType, type), kTrawlingComplete) << kind.processingType << " " << type;
            EXPECT_EQ(gSlotCalls, 4) << kind.processingType << " " << type;
        }
}

/*---- Etalon changes ----*/

TEST_F(Trawling, RecognitionStepFiveUsesEachRequiredEtalonForFiveTrials)
{
    prepare(200, 40, 181, {3}, {0}, 100);
    ASSERT_EQ(run(2, 2), kTrawlingComplete);
    ASSERT_EQ(seen.etalons.size(), 100u);
    for (int l = 0; l < 100; l++) {
        const int16_t expected = static_cast<int16_t>(required[l / 5]);
        EXPECT_EQ(seen.etalons[l], std::vector<int16_t>(3, expected)) << "trial " << l;
        // the candidate list is the sequence: K entries of the etalon, then 1
        ASSERT_EQ(seen.candidates[l].size(), 20u);
        EXPECT_EQ(seen.candidates[l][2], expected);
        EXPECT_EQ(seen.candidates[l][3], 1);
    }
}

TEST_F(Trawling, JointStepThirtySevenAdvancesOdometerAtTrials13And25And37)
{
    required = {3, 7};
    prepare(200, 40, 181, {3}, {0}, 100);
    ASSERT_EQ(run(4, 2), kTrawlingComplete);
    ASSERT_EQ(seen.etalons.size(), 100u);
    std::vector<int> changes;
    for (int l = 1; l < 100; l++)
        if (seen.etalons[l] != seen.etalons[l - 1])
            changes.push_back(l);
    EXPECT_EQ(changes, (std::vector<int>{13, 25, 37, 50, 62, 74, 87, 99}));
    // digit 0 first, base n = 2: (3,3,3) (7,3,3) (3,7,3) (7,7,3) (3,3,7) ...
    EXPECT_EQ(seen.etalons[0], (std::vector<int16_t>{3, 3, 3}));
    EXPECT_EQ(seen.etalons[13], (std::vector<int16_t>{7, 3, 3}));
    EXPECT_EQ(seen.etalons[25], (std::vector<int16_t>{3, 7, 3}));
    EXPECT_EQ(seen.etalons[37], (std::vector<int16_t>{7, 7, 3}));
    EXPECT_EQ(seen.etalons[50], (std::vector<int16_t>{3, 3, 7}));
    EXPECT_EQ(seen.etalons[99], (std::vector<int16_t>{3, 3, 3})); // eighth change wraps every digit
}

TEST_F(Trawling, EveryCellRestartsTheEtalonsAtTheFirstRequired)
{
    required = {3, 7};
    prepare(200, 40, 181, {2, 3}, {0, 10}, 30);
    ASSERT_EQ(run(2, 2), kTrawlingComplete);
    ASSERT_EQ(seen.etalons.size(), 120u);
    for (int cell = 0; cell < 4; cell++)
        EXPECT_EQ(seen.etalons[cell * 30][0], 3) << "cell " << cell;
    EXPECT_EQ(seen.etalons[15][0], 7); // step (2 + 60) / 4 = 15
}

TEST_F(Trawling, DetectionTaskUsesTheRequiredEtalonInEveryTrial)
{
    required = {5};
    prepare(200, 40, 181, {4}, {0}, 10);
    ASSERT_EQ(run(1, 2), kTrawlingComplete);
    for (const auto& etalons : seen.etalons)
        EXPECT_EQ(etalons, std::vector<int16_t>(4, 5));
}

TEST_F(Trawling, TuplesRecognitionRotatesTheStoredSubsetsAndCountsWrongRecognitions)
{
    prepare(200, 40, 181, {4}, {0}, 9);
    const std::vector<int32_t> a{1, 2}, b{3, 4, 5}, c{6};
    const int32_t sizes[3] = {2, 3, 1};
    const int32_t* rows[3] = {a.data(), b.data(), c.data()};
    ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, rows, 3, 3, 3, 3, 4, 1, series), 1);
    ASSERT_EQ(run(40, 40), kTrawlingComplete);
    ASSERT_EQ(seen.etalons.size(), 9u);
    // step (3 + 18) / 6 = 3: three trials per subset, complete employment from pulse 1
    for (int l = 0; l < 3; l++) {
        EXPECT_EQ(seen.etalons[l], (std::vector<int16_t>{1, 2, 1, 2})) << "trial " << l;
        EXPECT_EQ(seen.etalons[l + 3], (std::vector<int16_t>{3, 4, 5, 3})) << "trial " << l + 3;
        EXPECT_EQ(seen.etalons[l + 6], (std::vector<int16_t>{6, 6, 6, 6})) << "trial " << l + 6;
    }
    EXPECT_EQ(seen.candidates[0], (std::vector<uint16_t>{2, 3, 1})); // the sizes of the stored subsets
    EXPECT_EQ(record->lpErrors[3][0][0], 6); // subset 2 recognised every time: wrong in 6 of 9
    EXPECT_EQ(series->wSubsetLength, 1);     // as before the run (subset 3 was the selected one)
}

TEST_F(Trawling, TuplesDetectionBuildsEverySeriesAroundTheSelectedSubset)
{
    prepare(200, 40, 181, {5}, {0, 10}, 2);
    ASSERT_EQ(setSelectedSubset(hWnd, std::vector<int32_t>{7, 9}.data(), 2, 4, 1, series), 1);
    ASSERT_EQ(run(36, 36), kTrawlingComplete);
    ASSERT_EQ(seen.etalons.size(), 4u);
    for (size_t l = 0; l < 4; l++) {
        EXPECT_EQ(seen.etalons[l], (std::vector<int16_t>{7, 9, 7, 9, 7}));
        EXPECT_EQ(seen.candidates[l], (std::vector<uint16_t>{7, 9}));
    }
    EXPECT_EQ(record->lpErrors[3][0][0], 0); // counted for tuples recognition only
}

TEST_F(Trawling, SubsetWithAnEtalonOutsideTheAlphabetIsRefused)
{
    prepare(200, 40, 181, {3}, {0}, 2);
    ASSERT_EQ(setSelectedSubset(hWnd, std::vector<int32_t>{7, 21}.data(), 2, 4, 1, series), 1);
    EXPECT_EQ(run(36, 36), kTrawlingNotStarted);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].caption, " About selectedSubset ");
    EXPECT_TRUE(seen.etalons.empty());
}

/*---- Cell arithmetic ----*/

TEST_F(Trawling, PerfectDetectionGivesZeroRestoringAndDetectionCells)
{
    prepare(200, 40, 181, {3, 4}, {0, 20}, 5, 60);
    ASSERT_EQ(run(4, 2), kTrawlingComplete);
    for (int t = 0; t < kErrorTables; t++)
        for (int k = 0; k < 2; k++)
            for (int j = 0; j < 2; j++)
                EXPECT_EQ(record->lpErrors[t][k][j], 0) << t << "/" << k << "/" << j;
}

TEST_F(Trawling, OnePulseOffByTwoInTenTrialsGivesDetectionCellTen)
{
    script = Script::OneOffByTwo;
    prepare(200, 40, 181, {4}, {0}, 10);
    ASSERT_EQ(run(4, 1), kTrawlingComplete);
    EXPECT_EQ(record->lpErrors[1][0][0], 10); // (4 + 1024) / 8 = 128 per trial
}

TEST_F(Trawling, RestoringCellIsTheMeanRoundedToNearest)
{
    script = Script::RestoreOneThenTwo;
    prepare(200, 40, 181, {1}, {0}, 2);
    // one pulse of a 200-sample series starts at 19 at the earliest
    ASSERT_EQ(run(4, 1), kTrawlingComplete);
    EXPECT_EQ(record->lpErrors[0][0][0], 2); // errors 1 and 2: (6 + 2) / 4
}

TEST_F(Trawling, CompleteRunRestoresSubsetLengthAndSetsDescription)
{
    prepare(200, 40, 181, {3}, {0}, 3);
    ASSERT_EQ(setSelectedSubset(hWnd, std::vector<int32_t>{2, 5}.data(), 2, 4, 1, series), 1);
    ASSERT_EQ(run(2, 8), kTrawlingComplete);
    EXPECT_EQ(series->wSubsetLength, 2);
    EXPECT_EQ(record->ifComplete, 1);
    EXPECT_EQ(record->wDescription, 2);
    EXPECT_EQ(record->wTaskType, 2);
    EXPECT_EQ(record->wSeriesType, 8);
    EXPECT_EQ(record->wMakingSavedEnergy, 75);
    EXPECT_LE(simStartTime.load(), simEndTime.load());
    // the series header holds the last trial's series (built with K = 3)
    EXPECT_EQ(series->wImpulseQuantity, 3);
    EXPECT_TRUE(boxes.messages().empty());
}

/*---- Restoring error ----*/

TEST_F(Trawling, RestoringErrorIsThePureEnergyWithoutDetectedPulses)
{
    prepare(200, 40, 181, {3}, {0}, 1);
    uint16_t sequence[5] = {4, 9, 12, 1, 1};
    ASSERT_NE(getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 200, 3, sequence, 128, 60, series, streams), nullptr);
    int64_t energy = 0;
    for (int t = 0; t < 200; t++)
        energy += series->lpPureData[t] * series->lpPureData[t];
    series->wDetectedQuantity = 0;
    EXPECT_EQ(restoringError(series), energy);
    writeTruth(scratchChains(), series);
    EXPECT_EQ(restoringError(series), 0);
    // a pulse restored with a wrong etalon costs the difference of the shapes
    series->lpDetectedNumbers[1] = 0; // no such etalon: restores nothing
    int64_t second = 0;
    for (int o = series->lpCutBegin[1]; o <= series->lpCutEnd[1]; o++)
        second += alphabet[8].lpData[o] * alphabet[8].lpData[o];
    EXPECT_EQ(restoringError(series), second);
}

TEST_F(Trawling, DetectionUnitsRoundHalfAndCountOnlySoughtPulses)
{
    prepare(200, 40, 181, {4}, {0}, 1);
    uint16_t sequence[5] = {1, 1, 1, 1, 1};
    ASSERT_NE(getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 200, 4, sequence, 128, 100, series, streams), nullptr);
    writeTruth(scratchChains(), series);
    series->lpDetectedPositions[1] += 2;
    series->lpDetectedPositions[3] += 1;
    EXPECT_EQ(detectionErrorUnits(series, 4, 4), (4 + 256 * 5) / 8);
    EXPECT_EQ(detectionErrorUnits(series, 4, 2), 128); // pulse 3 not sought
    EXPECT_EQ(detectionErrorUnits(series, 4, 0), 0);
}

/*---- Refused runs ----*/

TEST_F(Trawling, PulseCountOutsideTheSeriesRangeIsRefusedOnceBeforeAnyTrial)
{
    prepare(200, 40, 181, {3, 6, 7}, {0, 10}, 4);
    const RandomStreams before = streams;
    EXPECT_EQ(run(4, 2), kTrawlingNotStarted);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(texts()[0].find("число импульсов: 6"), std::string::npos) << texts()[0];
    EXPECT_NE(texts()[0].find("допустимо от 1 до 5"), std::string::npos) << texts()[0];
    EXPECT_TRUE(seen.etalons.empty());
    EXPECT_EQ(record->ifComplete, 0);
    EXPECT_EQ(streams, before);
}

TEST_F(Trawling, MissingRecordAndTupleTaskWithoutSubsetAreRefused)
{
    prepare(200, 40, 181, {3}, {0}, 2);
    EXPECT_EQ(statCutoffTrawling(hWnd, nullptr, 20, alphabet, 1, required.data(), 2, 4, 75, 75, series, context),
              kTrawlingNotStarted);
    series->wSubsetLength = 0;
    EXPECT_EQ(run(36, 36), kTrawlingNotStarted);
    const std::vector<std::string> t = texts();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], "Absence of RestoreErrorHeader!");
    EXPECT_EQ(boxes.messages()[0].caption, "statCutoffTrawling");
    EXPECT_EQ(t[1], "Error: selected Subset is absence!");
    EXPECT_TRUE(seen.etalons.empty());
}

TEST_F(Trawling, EmptyRequiredListZeroRepeatsAndUnpreparedHeaderAreRefused)
{
    prepare(200, 40, 181, {3}, {0}, 2);
    EXPECT_EQ(statCutoffTrawling(hWnd, record, 20, alphabet, 0, required.data(), 2, 4, 75, 75, series, context),
              kTrawlingNotStarted);
    record->repeats = 0;
    EXPECT_EQ(run(4, 2), kTrawlingNotStarted);
    record->repeats = 2;
    ASSERT_NE(getCutOffSeriesHeader(hWnd, 20, 20, 40, 181, 100, series), nullptr); // too short for the grid's N
    series->dwSeriesSize = 300;
    EXPECT_EQ(run(4, 2), kTrawlingNotStarted);
    EXPECT_EQ(boxes.count(), 3u);
    EXPECT_TRUE(seen.etalons.empty());
}

/*---- Progress and cancellation ----*/

struct ProgressLog {
    std::vector<TrawlingProgress> calls;  // every call, in order
    int32_t cancelAfter = -1;             // trials after which the flag is raised
    std::atomic<bool>* flag = nullptr;    // the run's cancel flag
};

void logProgress(void* context, const TrawlingProgress& p)
{
    auto* log = static_cast<ProgressLog*>(context);
    log->calls.push_back(p);
    if (log->cancelAfter >= 0 && p.trialsDone >= log->cancelAfter)
        *log->flag = true;
}

TEST_F(Trawling, ProgressReportsEveryTrialInGridOrder)
{
    prepare(200, 40, 181, {2, 3}, {0, 5, 10}, 4);
    ProgressLog log;
    context.progress = logProgress;
    context.progressContext = &log;
    ASSERT_EQ(run(4, 2), kTrawlingComplete);
    ASSERT_EQ(log.calls.size(), 24u);
    for (size_t i = 0; i < log.calls.size(); i++) {
        EXPECT_EQ(log.calls[i].trialsDone, int64_t(i) + 1);
        EXPECT_EQ(log.calls[i].cell, int32_t(i / 4));
        EXPECT_EQ(log.calls[i].trial, int32_t(i % 4));
    }
    EXPECT_EQ(log.calls.back().trialsTotal, 24);
    EXPECT_EQ(log.calls.back().cells, 6);
}

TEST_F(Trawling, CancelledRunFillsNoCellAndLeavesIfCompleteZero)
{
    prepare(200, 40, 181, {2, 3}, {0, 5}, 4);
    std::atomic<bool> cancel = false;
    ProgressLog log;
    log.cancelAfter = 6;
    log.flag = &cancel;
    context.progress = logProgress;
    context.progressContext = &log;
    context.lpCancel = &cancel;
    ASSERT_EQ(setSelectedSubset(hWnd, std::vector<int32_t>{2, 5}.data(), 2, 4, 1, series), 1);
    script = Script::OneOffByTwo;
    EXPECT_EQ(run(1, 2), kTrawlingCancelled);
    EXPECT_EQ(seen.etalons.size(), 6u);
    EXPECT_EQ(record->ifComplete, 0);
    EXPECT_EQ(record->lpErrors[1][0][0], 0);
    EXPECT_EQ(series->wSubsetLength, 2);
}

} // namespace
