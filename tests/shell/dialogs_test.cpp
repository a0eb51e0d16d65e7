// The parameter dialogs and the commands that open them, answered by a
// scripted session: what each dialog shows, OK and Cancel, the values each one
// refuses, Create series, New pulses, the simulation and its charts, the tuple
// stage without a subset.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "simulation/simulation.h"
#include "support/mainwindow.h"
#include "support/tables.h"

namespace {

// Runs every dialog through the session, keeping what the controls showed.
class PeekingDialogs : public DialogService {
public:
    explicit PeekingDialogs(ScriptedSession& inner) : inner(inner) {}
    intptr_t runDialog(HWND dialog, DLGPROC procedure, LPARAM param) override
    {
        procedure(dialog, WM_INITDIALOG, 0, param);
        for (int id = 1000; id <= 1044; id++) {  // the control ids of the dialogs
            char text[100] = {};
            GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
            shown[id] = text;
            checked[id] = SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
        }
        return inner.runDialog(dialog, procedure, param);
    }
    bool chooseSaveFile(OPENFILENAMEA* request) override { return inner.chooseSaveFile(request); }
    ScriptedSession& inner;
    std::map<int, std::string> shown;  // control id -> text at opening
    std::map<int, bool> checked;       // control id -> check state at opening
};

// A progress dialog whose Cancel is pressed at once.
class CancellingProgress : public ProgressService {
public:
    bool update(HWND, const char*, const char*, int64_t, int64_t) override { return false; }
    void finish() override {}
};

ScriptedAnswer ok(std::vector<std::pair<std::string, std::string>> fields = {})
{
    return ScriptedAnswer{true, std::move(fields)};
}

ScriptedAnswer cancel()
{
    return ScriptedAnswer{false, {}};
}

std::string numbers(int from, int to)
{
    std::string t;
    for (int i = from; i <= to; i++)
        t += (i > from ? "," : "") + std::to_string(i);
    return t;
}

class Dialogs : public MainWindowTest {
protected:
    PeekingDialogs peek{session};
    void SetUp() override
    {
        MainWindowTest::SetUp();
        setDialogService(&peek);
    }
    void TearDown() override
    {
        setProgressService(nullptr);
        MainWindowTest::TearDown();
    }
    // The simulation parameters of a small grid: 5 and 6 pulses, two noise levels, two trials.
    void queueSmallGrid(const char* from = "5", const char* to = "6", const char* seed = "0", const char* repeats = "2")
    {
        session.queue(ok({{"Samples Length", "600"}}));
        session.queue(ok({{"from", from}, {"to", to}, {"incr.", "1"}, {"Number of Repeats", repeats},
                          {"Initial Level", "10"}, {"Number of Steps in Simulation", "2"},
                          {"Noise Increment per Step", "10"}, {"Seed", seed}}));
    }
};

} // namespace

/*---- Numbers and lists ----*/

TEST(DialogNumbers, ListsJoinWithCommasAndShortTextsReadZeros)
{
    const uint16_t v[] = {3, 14, 7};
    EXPECT_EQ(formatNumberList(v, 3), "3,14,7");
    EXPECT_EQ(formatNumberList(v, 0), "");
    int64_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(readNumberList("5,6 7", out, 4), 3);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(out[2], 7);
    EXPECT_EQ(out[3], 0);
    // Each entry skips past the next "," or " ": ", " is two separators.
    EXPECT_EQ(readNumberList("5, 6", out, 3), 3);
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(out[2], 6);
}

TEST(DialogNumbers, UpperBoundShowsFiveSignificantDigits)
{
    EXPECT_EQ(formatUpperBound(0.25), "0.25");
    EXPECT_EQ(formatUpperBound(1234.5), "1234.5");
    EXPECT_EQ(formatUpperBound(123456.0), "1.2346e+05");
    EXPECT_EQ(formatUpperBound(0.000012345678), "1.2346e-05");
}

TEST(DialogNumbers, AnAcceptedUpperBoundIsAcceptedAgainAsShown)
{
    // The dialog shows the bound it holds; OK on the unchanged text must take it.
    for (const double bound : {0.25, 1e-300, 1.79769e308, std::nextafter(DBL_MAX, 0.0), DBL_MAX}) {
        double again = 0;
        ASSERT_TRUE(readUpperBound(formatUpperBound(bound), again)) << formatUpperBound(bound);
        EXPECT_NEAR(again, bound, bound * 1e-4);
    }
    double refused = 0;
    for (const char* text : {"0", "-1", "nan", "inf", "1e999", "x"})
        EXPECT_FALSE(readUpperBound(text, refused)) << text;
}

TEST(DialogNumbers, ChartKindFollowsErrorKindViewAndBounds)
{
    EXPECT_EQ(chartKindFor(1, 1, 1), 0);
    EXPECT_EQ(chartKindFor(1, 2, 0), 1);
    EXPECT_EQ(chartKindFor(2, 1, 1), 2);
    EXPECT_EQ(chartKindFor(2, 2, 1), 3);
    EXPECT_EQ(chartKindFor(3, 1, 0), 4);
    EXPECT_EQ(chartKindFor(3, 2, 0), 5);
    EXPECT_EQ(chartKindFor(3, 1, 1), 12);
    EXPECT_EQ(chartKindFor(3, 2, 1), 13);
}

/*---- New pulses ----*/

TEST_F(Dialogs, NewPulsesShowsTheDefaultListAndItsLabel)
{
    session.queue(cancel());
    menu(IDM_NEW_PULSES);
    EXPECT_EQ(peek.shown[IDC_REQUIRED_COUNT], "20");
    EXPECT_EQ(peek.shown[IDC_REQUIRED_LIST], numbers(1, 20));
    EXPECT_EQ(peek.shown[IDC_REQUIRED_LIST_LABEL], "List of Required Etalons (from 1 to 20)");
    EXPECT_EQ(gState.wRequiredQuantity, 20);
}

TEST_F(Dialogs, NewPulsesSelectsExactlyTheListedEtalons)
{
    session.queue(ok({{"1014", "2"}, {"List of Required Etalons", "5,7"}}));
    menu(IDM_NEW_PULSES);
    EXPECT_EQ(gState.wRequiredQuantity, 2);
    for (int k = 0; k < 20; k++)
        EXPECT_EQ(gState.EtalonSelected[k], k == 4 || k == 6) << k;
}

TEST_F(Dialogs, NewPulsesCountOfZeroOrAboveCapacityKeepsTheOldCountButReadsTheList)
{
    for (const char* count : {"0", "21"}) {
        session.queue(ok({{"1014", count}, {"1013", "20,19,18,17,16,15,14,13,12,11,10,9,8,7,6,5,4,3,2,1"}}));
        menu(IDM_NEW_PULSES);
        EXPECT_EQ(gState.wRequiredQuantity, 20) << count;
        EXPECT_EQ(gState.lpRequiredList[0], 20) << count;
        EXPECT_EQ(gState.lpRequiredList[19], 1) << count;
    }
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(Dialogs, NewPulsesRefusesNegativeCountsAndNumbersOutsideTheAlphabet)
{
    for (auto fields : std::vector<std::vector<std::pair<std::string, std::string>>>{
             {{"1014", "-1"}, {"1013", "1"}},
             {{"1014", "3"}, {"1013", "1,2,21"}},
             {{"1014", "3"}, {"1013", "1,0,2"}},
             {{"1014", "3"}, {"1013", "1,2"}}}) {
        session.queue(ok(fields));
        menu(IDM_NEW_PULSES);
        EXPECT_EQ(gState.wRequiredQuantity, 20);
        EXPECT_EQ(gState.lpRequiredList[2], 3);
    }
    ASSERT_EQ(session.messages().size(), 4u);
    EXPECT_NE(session.messages()[0].text.find("Number of Required Etalons"), std::string::npos);
    EXPECT_NE(session.messages()[1].text.find("List of Required Etalons"), std::string::npos);
    EXPECT_NE(session.messages()[3].text.find("missing"), std::string::npos);
}

/*---- Create series ----*/

TEST_F(Dialogs, CreateSeriesShowsTheCurrentParameters)
{
    session.queue(cancel());
    menu(IDM_CREATE_SERIES);
    EXPECT_EQ(peek.shown[IDC_SERIES_LENGTH], "1200");
    EXPECT_EQ(peek.shown[IDC_SERIES_TMIN], "40");
    EXPECT_EQ(peek.shown[IDC_SERIES_TMAX], "181");
    EXPECT_EQ(peek.shown[IDC_SERIES_ETALON], "1");
    EXPECT_EQ(peek.shown[IDC_SERIES_SAVED_ENERGY], "75");
    EXPECT_EQ(peek.shown[IDC_SERIES_PROC_SAVED_ENERGY], "75");
    EXPECT_EQ(gState.bDialogAccepted, 0);
}

TEST_F(Dialogs, CreateSeriesBuildsTheTypedSeriesAndTypesFixedWholeAsTyped)
{
    menu(IDM_FIXED_WHOLE);
    session.queue(ok({{"Samples Length", "600"}, {"Etalon Number", "3"}}));
    session.queue(ok({{"1007", "5"}, {"1010", "2,4,6,8,10"}, {"Noise Level", "7"}}));
    menu(IDM_CREATE_SERIES);
    const ProgramState& s = gState;
    EXPECT_EQ(peek.shown[IDC_STRUCTURE_COUNT_LABEL], "Number of Pulses in Series (from 3 to 15)");
    EXPECT_EQ(peek.shown[IDC_STRUCTURE_SEQUENCE_LABEL], "Sequence of Etalons in Series (values from 1 to 20)");
    EXPECT_EQ(s.wSeriesType, kSeriesTypedFixed);
    EXPECT_EQ(s.dwNextSeriesLength, 600u);
    EXPECT_EQ(s.wMinPulses, 3);
    EXPECT_EQ(s.wMaxPulses, 15);
    EXPECT_EQ(s.wNextImpulseQuantity, 5);
    EXPECT_EQ(s.wNextNoiseLevel, 7);
    EXPECT_EQ(s.wSelectedEtalon, 3);
    EXPECT_EQ(s.wViewMode, kViewResults);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    EXPECT_EQ(s.lpSeriesHeader->dwSeriesSize, 600);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(s.lpEtalonSequence[i], 2 * (i + 1)) << i;
}

TEST_F(Dialogs, CreateSeriesShortSequenceReadsZerosThatBecomeEtalonOne)
{
    session.queue(ok({{"Etalon Number", "9"}}));
    session.queue(ok({{"1010", "3,4"}}));
    menu(IDM_CREATE_SERIES);
    const ProgramState& s = gState;
    EXPECT_EQ(s.lpNewEtalonSequence[0], 3);
    EXPECT_EQ(s.lpNewEtalonSequence[1], 4);
    EXPECT_EQ(s.lpNewEtalonSequence[2], 0);
    EXPECT_EQ(s.lpEtalonSequence[2], 1);  // not the etalon number
}

// The etalon sequence a typed text gives: its first 99 characters are read,
// entries split at commas; an entry the text does not reach reads 0, and an
// entry below 1 becomes etalon 1.
std::vector<int> typedSequence(const std::string& text, int shown)
{
    const std::string read = text.substr(0, 99);
    std::vector<int> sequence;
    for (size_t pos = 0; pos < read.size() && static_cast<int>(sequence.size()) < shown;) {
        const size_t comma = std::min(read.find(',', pos), read.size());
        sequence.push_back(std::atoi(read.substr(pos, comma - pos).c_str()));
        pos = comma + 1;
    }
    sequence.resize(static_cast<size_t>(shown), 0);
    for (int& e : sequence)
        e = std::max(e, 1);
    return sequence;
}

TEST_F(Dialogs, CreateSeriesTakesTheTypedSequenceAsItsFirst99CharactersRead)
{
    std::mt19937 random(15);
    for (int trial = 0; trial < 40; trial++) {
        // Up to 80 entries of 1 to 20 for the 61 the dialog shows (the texts
        // pass 99 characters from about 40 entries); the first trial types
        // one entry alone.
        std::string text = trial == 0 ? "2" : "";
        const int entries = trial == 0 ? 0 : static_cast<int>(random() % 81);
        for (int i = 0; i < entries; i++)
            text += (i ? "," : "") + std::to_string(1 + random() % 20);
        session.queue(ok({{"Samples Length", "4000"}, {"Etalon Number", "5"}}));
        session.queue(ok({{"1010", text}}));
        menu(IDM_CREATE_SERIES);
        const ProgramState& s = gState;
        ASSERT_EQ(s.dwNextSeriesLength, 4000u) << text;
        const int shown = (s.wMinPulses + s.wMaxPulses) / 2;
        ASSERT_EQ(shown, 61);
        const std::vector<int> expected = typedSequence(text, shown);
        for (int i = 0; i < shown; i++)
            ASSERT_EQ(s.lpEtalonSequence[i], expected[i]) << "entry " << i << " of " << text;
        ASSERT_NE(s.lpSeriesHeader, nullptr);
        for (int j = 0; j < s.lpSeriesHeader->wImpulseQuantity && j < shown; j++)
            ASSERT_EQ(s.lpSeriesHeader->lpEtalonNumbers[j], expected[j]) << "pulse " << j << " of " << text;
    }
    EXPECT_TRUE(session.messages().empty()) << session.messages()[0].text;
}

TEST_F(Dialogs, CreateSeriesCancelledInTheStructureKeepsThePulseCount)
{
    gState.wNextImpulseQuantity = 11;
    const int16_t seed = gState.streams.wNoiseSeed;
    session.queue(ok({{"Samples Length", "600"}}));
    session.queue(cancel());
    menu(IDM_CREATE_SERIES);
    EXPECT_EQ(gState.wNextImpulseQuantity, 11);
    EXPECT_EQ(gState.dwNextSeriesLength, 1200u);
    EXPECT_EQ(gState.streams.wNoiseSeed, seed);  // no series was built
}

TEST_F(Dialogs, CreateSeriesDividesByTheNewTminInBothBounds)
{
    session.queue(ok({{"Min Length of Interval", "21"}}));
    session.queue(cancel());
    menu(IDM_CREATE_SERIES);
    EXPECT_EQ(gState.wNewMaxPulses, 57);  // (1200 + 21 - 20) / 21, not (1200 + 40 - 20) / 21 = 58
}

TEST_F(Dialogs, CreateSeriesRefusesValuesThatBreakTheSeries)
{
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"Samples Length", "70000"}, {"Samples Length", "-5"},           {"Min Length of Interval", "0"},
        {"Samples Length", "32768"}, {"Samples Length", "65535"},
        {"Max Length of Interval", "30"},  // Tmin 40 above it
        {"Max Length of Interval", "19"}, {"Etalon Number", "0"},        {"Etalon Number", "21"},
        {"1005", "101"},                  {"1006", "-1"},
    };
    const int16_t seed = gState.streams.wNoiseSeed;
    for (const auto& field : bad) {
        session.queue(ok({field}));
        menu(IDM_CREATE_SERIES);
        EXPECT_EQ(gState.bDialogAccepted, 0) << field.first << "=" << field.second;
    }
    const ProgramState& s = gState;
    EXPECT_EQ(s.dwNextSeriesLength, 1200u);
    EXPECT_EQ(s.wTmin, 40);
    EXPECT_EQ(s.wTmax, 181);
    EXPECT_EQ(s.wEtalonNumber, 1);
    EXPECT_EQ(s.streams.wNoiseSeed, seed);  // no series was built
    ASSERT_EQ(session.messages().size(), bad.size());
    EXPECT_NE(session.messages()[0].text.find("\"Samples Length\""), std::string::npos);
    EXPECT_NE(session.messages()[2].text.find("\"Min Length of Interval\""), std::string::npos);
    EXPECT_EQ(session.messages()[3].text, "\"Samples Length\" must be from 20 to 32767, not 32768.");
    EXPECT_NE(session.messages()[7].text.find("\"Etalon Number\""), std::string::npos);
}

TEST_F(Dialogs, LongestSeriesIsBuiltProcessedAndSimulatedWithoutAComplaint)
{
    session.queue(ok({{"Samples Length", "32767"}}));
    session.queue(ok());
    menu(IDM_CREATE_SERIES);
    ASSERT_NE(gState.lpSeriesHeader, nullptr);
    EXPECT_EQ(gState.lpSeriesHeader->dwSeriesSize, 32767);
    menu(IDM_PROCESS_NEXT);
    EXPECT_EQ(gState.lpSeriesHeader->dwSeriesSize, 32767);
    session.queue(ok({{"Samples Length", "65535"}}));  // the simulation asks the same, refused as above
    menu(IDM_SIMULATION);
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_EQ(session.messages()[0].text, "\"Samples Length\" must be from 20 to 32767, not 65535.");
    EXPECT_EQ(gState.dwSeriesLength, 32767u);
}

TEST_F(Dialogs, CreateSeriesRefusesASequenceNumberOutsideTheAlphabet)
{
    const int16_t seed = gState.streams.wNoiseSeed;
    session.queue(ok());
    session.queue(ok({{"1010", "1,2,33"}}));
    menu(IDM_CREATE_SERIES);
    EXPECT_EQ(gState.streams.wNoiseSeed, seed);  // no series was built
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_NE(session.messages()[0].text.find("Sequence of Etalons"), std::string::npos);
}

/*---- Settings ----*/

TEST_F(Dialogs, DrawingSettingsOkWithoutAClickChangesNothing)
{
    gState.bSpecialGraphSize = 1;
    gState.wTuplesHighlight = 1;
    session.queue(ok());
    menu(IDM_DRAWING_SETTINGS);
    EXPECT_TRUE(peek.checked[IDC_DRAWING_TUPLES_DOTTED]);
    EXPECT_EQ(gState.bSpecialGraphSize, 1);
    EXPECT_EQ(gState.wTuplesHighlight, 1);
    EXPECT_EQ(gState.bHighlightDetectedPulses, 1);
    EXPECT_EQ(gState.bFrameGraphFields, 1);
}

TEST_F(Dialogs, DrawingSettingsClicksApplyOnOkOnly)
{
    session.queue(cancel());
    menu(IDM_DRAWING_SETTINGS);
    session.queue(ScriptedAnswer{false, {{"highlight detected pulses", "0"}, {"none", "1"}}});
    menu(IDM_DRAWING_SETTINGS);
    EXPECT_EQ(gState.bHighlightDetectedPulses, 1);
    EXPECT_EQ(gState.wTuplesHighlight, 2);
    session.queue(ok({{"highlight detected pulses", "0"}, {"none", "1"}}));
    menu(IDM_DRAWING_SETTINGS);
    EXPECT_EQ(gState.bHighlightDetectedPulses, 0);
    EXPECT_EQ(gState.wTuplesHighlight, 0);
}

TEST_F(Dialogs, SubsetSettingsMarksTheCurrentChoicesAndCancelRestoresThem)
{
    gState.wSubsetEmployment = 9;  // outside 1..5: "Complete " is marked
    session.queue(ScriptedAnswer{false, {{"1016", "1"}, {"Probably shifted complete", "1"}}});
    menu(IDM_SUBSET_SETTINGS);
    EXPECT_TRUE(peek.checked[IDC_SUBSET_COMPLETE]);
    EXPECT_TRUE(peek.checked[IDC_SUBSET_PROCEED_COMPLETE]);
    EXPECT_EQ(gState.wSubsetEmployment, 9);
    EXPECT_EQ(gState.wSubsetProceeding, 1);
    session.queue(ok({{"1016", "1"}, {"Probably shifted complete", "1"}, {"1020", "3"}}));
    menu(IDM_SUBSET_SETTINGS);
    EXPECT_EQ(gState.wSubsetEmployment, 2);
    EXPECT_EQ(gState.wSubsetProceeding, 2);
    EXPECT_EQ(gState.wSubsetInitPosition, 3);
}

TEST_F(Dialogs, ShowParametersKeepsTheBoundUnlessItIsFixed)
{
    session.queue(ok({{"upper bound", "0.9"}, {"detection error", "1"}}));
    openShowSimulationDialog(hWnd, false);
    EXPECT_EQ(peek.shown[IDC_SHOW_UPPER_BOUND], "0.25");
    EXPECT_DOUBLE_EQ(gState.dUpperBound, 0.25);
    EXPECT_EQ(gState.wErrorKind, 2);
    session.queue(ok({{"fixed upper bound", "1"}, {"upper bound", "0.5"}}));
    openShowSimulationDialog(hWnd, false);
    EXPECT_DOUBLE_EQ(gState.dUpperBound, 0.5);
    EXPECT_EQ(gState.bFixedUpperBound, 1);
    session.queue(ok({{"upper bound", "0"}}));  // fixed and zero: refused
    openShowSimulationDialog(hWnd, false);
    EXPECT_DOUBLE_EQ(gState.dUpperBound, 0.5);
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_NE(session.messages()[0].text.find("\"upper bound\""), std::string::npos);
}

TEST_F(Dialogs, ShowSimulationWithRecognitionErrorOffersTheBoundsFlag)
{
    gState.wErrorKind = 3;
    session.queue(ok({{"bounds incl.", "0"}, {"summary view", "1"}}));
    openShowSimulationDialog(hWnd, true);
    EXPECT_TRUE(peek.checked[IDC_SHOW_RECOGNITION_ERROR]);
    EXPECT_EQ(gState.bBoundsIncluded, 0);
    EXPECT_EQ(gState.wStatView, 2);
    session.queue(cancel());
    gState.wErrorKind = 3;
    openShowSimulationDialog(hWnd, false);  // the parameters dialog has no recognition error
    EXPECT_TRUE(peek.checked[IDC_SHOW_RESTORING_ERROR]);
}

/*---- Simulation ----*/

TEST_F(Dialogs, ShowSimulationBeforeAnyRunDoesNothing)
{
    menu(IDM_SHOW_SIMULATION);
    EXPECT_TRUE(session.log.empty());
    EXPECT_EQ(gState.wResultsMode, 1);
    EXPECT_EQ(gState.wViewMode, kViewAlphabet);
}

TEST_F(Dialogs, SimulationOnASmallGridRunsSummarisesAndShowsTheCharts)
{
    queueSmallGrid();
    menu(IDM_SIMULATION);
    const ProgramState& s = gState;
    ASSERT_NE(s.lpRestErrorHeader, nullptr);
    EXPECT_EQ(s.lpRestErrorHeader->ifComplete, 1);
    EXPECT_EQ(s.wVariousPulsesNumber, 2);
    EXPECT_EQ(s.wViewMode, kViewResults);
    EXPECT_EQ(s.wResultsMode, 2);
    ASSERT_GE(session.messages().size(), 1u);
    const MessageRecord& summary = session.messages()[0];
    EXPECT_EQ(summary.caption, "getPulseEstAsRepeats");
    EXPECT_NE(summary.text.find("длина серии: 600\n"), std::string::npos);
    EXPECT_NE(summary.text.find("pulses: 2, from 5 to 6 incr 1 \n"), std::string::npos);
    EXPECT_NE(summary.text.find("noise level: from 10 to 20 incr 10\n"), std::string::npos);  // the last level
    EXPECT_EQ(session.messages().size(), 1u);
}

TEST_F(Dialogs, ASeedRunsTheTrialsOnItsReplicateAndLeavesTheProgramsStreams)
{
    auto tables = [] {
        const RestoreErrorHeader* r = gState.lpRestErrorHeader;
        std::vector<int32_t> cells;
        for (int t = 0; r && t < kErrorTables; t++)
            for (int k = 0; k < r->wNoiseLevels; k++)
                cells.insert(cells.end(), r->lpErrors[t][k], r->lpErrors[t][k] + r->wVariousPulses);
        return cells;
    };
    const RandomStreams before = gState.streams;
    queueSmallGrid("5", "6", "7");
    menu(IDM_SIMULATION);
    const std::vector<int32_t> seven = tables();
    ASSERT_FALSE(seven.empty());
    EXPECT_EQ(gState.dwSimulationSeed, 7u);
    EXPECT_EQ(gState.streams, before) << "the replicate's keyed streams are its own";
    queueSmallGrid("5", "6", "7");
    menu(IDM_SIMULATION);
    EXPECT_EQ(tables(), seven) << "the same seed, the same replicate";
    queueSmallGrid("5", "6", "0");
    menu(IDM_SIMULATION);
    EXPECT_NE(tables(), seven);
    EXPECT_NE(gState.streams, before) << "seed 0 draws from the program's streams";
    for (const char* refused : {"-1", "4294967296"}) {
        session.queue(ok());
        session.queue(ok({{"Seed", refused}}));
        SendMessageA(hWnd, WM_COMMAND, CM_SIMULATION_PARAMS, 0);
        EXPECT_EQ(gState.bDialogAccepted, 0) << refused;
        EXPECT_EQ(gState.dwSimulationSeed, 0u);
    }
}

TEST_F(Dialogs, SimulationRefusesAGridTheSeriesCannotHoldWithOneMessage)
{
    queueSmallGrid("5", "60");
    menu(IDM_SIMULATION);
    EXPECT_EQ(gState.lpRestErrorHeader, nullptr);
    EXPECT_EQ(session.messages().size(), 2u);  // the summary and the refusal
}

TEST_F(Dialogs, SimulationCancelledKeepsThePreviousCharts)
{
    queueSmallGrid();
    menu(IDM_SIMULATION);
    RestoreErrorHeader* previous = gState.lpRestErrorHeader;
    ASSERT_NE(previous, nullptr);
    CancellingProgress cancelling;
    setProgressService(&cancelling);
    queueSmallGrid();
    menu(IDM_SIMULATION);
    EXPECT_EQ(gState.lpRestErrorHeader, previous);
    EXPECT_EQ(previous->ifComplete, 1);
}

/*---- A cancelled simulation kept and resumed ----*/

namespace {

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int64_t trialsKept(const std::filesystem::path& checkpoint)
{
    int64_t done = 0;
    const nlohmann::json file = nlohmann::json::parse(fileText(checkpoint));
    for (const auto& range : file["done"])
        done += range[1].get<int64_t>();
    return done;
}

} // namespace

class Resuming : public Dialogs {
protected:
    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("pulsebench-resume-window-" + std::to_string(::getpid()));
    CancellingProgress cancelling;

    void SetUp() override
    {
        Dialogs::SetUp();
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        setWindowCheckpoint("");
        Dialogs::TearDown();
        std::filesystem::remove_all(folder);
    }
    // A fresh window, as at start.
    void restart()
    {
        Dialogs::TearDown();
        Dialogs::SetUp();
    }
    // The grid of 200 trials run and cancelled at its first trial, kept in
    // `name` (the trials in flight then are counted too).
    void cancelAndKeep(const char* seed, const std::string& name)
    {
        setProgressService(&cancelling);
        queueSmallGrid("5", "6", seed, "50");
        session.queue(ok());                                    // the summary
        session.queue(ok());                                    // keep the trials done
        session.queue(ok({{"file", (folder / name).string()}})); // under this name
        menu(IDM_SIMULATION);
        setProgressService(nullptr);
    }
    void resume(const std::string& name)
    {
        session.queue(ok({{"File", (folder / name).string()}}));
        menu(IDM_RESUME_SIMULATION);
    }
};

// Cancel keeps the trials done in a checkpoint; a resumed run cancelled again
// keeps more; the last resume, after a restart of the window, ends with the
// tables and the streams of the run never interrupted: for the program's
// streams, a replicate seed, and tuples recognition (whose runs change the
// series' selected subset as they go).
TEST_F(Resuming, CancelledRunsKeptAndResumedGiveTheTablesOfARunNeverInterrupted)
{
    struct Case {
        const char* seed;
        bool tuples;  // stored tuples (1, 3) and (1, 3, 2) recognised
    };
    for (const Case& c : {Case{"0", false}, Case{"7", false}, Case{"0", true}}) {
        SCOPED_TRACE(std::string(c.seed) + (c.tuples ? " tuples" : ""));
        const auto scene = [&] {
            restart();
            if (!c.tuples)
                return;
            menu(IDM_UNFIXED_TUPLES);
            menu(IDM_RECOGNITION);
            menu(IDM_SELECT_SET);
            pressAt(gSubsetPanel.SubsetCellRect[0]);
            pressAt(gSubsetPanel.SubsetCellRect[2]);
            pressAt(gSubsetPanel.ButtonsWhileSelectedSubsetRect[4]);  // keep (1, 3)
            pressAt(gSubsetPanel.SubsetCellRect[1]);
            pressAt(gSubsetPanel.ButtonsWhileSelectedSubsetRect[4]);  // keep (1, 3, 2)
            pressAt(gSubsetPanel.ButtonsWhileSelectedSubsetRect[3]);  // OK: the series made and recognised
            ASSERT_EQ(gState.wReservedSubsetsUsed, 2);
        };
        scene();
        queueSmallGrid("5", "6", c.seed, "50");
        menu(IDM_SIMULATION);
        ASSERT_NE(gState.lpRestErrorHeader, nullptr) << session.messages().back().text << session.log.back();
        const std::vector<int32_t> whole = tableCells(gState.lpRestErrorHeader);
        const RandomStreams streams = gState.streams;
        const auto sequence = [] {
            return std::vector<uint16_t>(gState.lpEtalonSequence, gState.lpEtalonSequence + gState.wMaxPulses);
        };
        const std::vector<uint16_t> etalons = sequence();

        scene();
        cancelAndKeep(c.seed, "first.json");
        EXPECT_EQ(gState.lpRestErrorHeader, nullptr);
        const int64_t first = trialsKept(folder / "first.json");
        EXPECT_GE(first, 1);
        setProgressService(&cancelling);
        session.queue(ok({{"File", (folder / "first.json").string()}}));
        session.queue(ok());
        session.queue(ok({{"file", (folder / "second.json").string()}}));
        menu(IDM_RESUME_SIMULATION);
        setProgressService(nullptr);
        EXPECT_EQ(gState.lpRestErrorHeader, nullptr) << session.messages().back().text;
        EXPECT_GT(trialsKept(folder / "second.json"), first);

        scene();
        resume("second.json");
        ASSERT_NE(gState.lpRestErrorHeader, nullptr) << session.messages().back().text;
        EXPECT_EQ(gState.lpRestErrorHeader->ifComplete, 1);
        EXPECT_EQ(tableCells(gState.lpRestErrorHeader), whole);
        EXPECT_TRUE(gState.streams == streams);
        EXPECT_EQ(sequence(), etalons);  // the first simulation's sequence, as the run left it
        EXPECT_EQ(gState.wRepeats, 50);  // the run's settings came with the checkpoint
        EXPECT_EQ(gState.dwSeriesLength, 600u);
    }
}

// Started with --checkpoint FILE, Cancel keeps the trials done in FILE
// without asking, and the resume dialog offers FILE; a FILE that cannot be
// written is said once and the run is over as before.
TEST_F(Resuming, TheSessionsCheckpointIsWrittenWithoutAskingAndOffered)
{
    queueSmallGrid("5", "6", "0", "50");
    menu(IDM_SIMULATION);
    ASSERT_NE(gState.lpRestErrorHeader, nullptr);
    const std::vector<int32_t> whole = tableCells(gState.lpRestErrorHeader);

    restart();
    setWindowCheckpoint((folder / "session.json").string());
    setProgressService(&cancelling);
    queueSmallGrid("5", "6", "0", "50");
    menu(IDM_SIMULATION);
    setProgressService(nullptr);
    EXPECT_NE(session.messages().back().text.find("they are in the checkpoint " + (folder / "session.json").string()),
              std::string::npos);
    EXPECT_GE(trialsKept(folder / "session.json"), 1);
    session.queue(ok());  // the file offered
    menu(IDM_RESUME_SIMULATION);
    ASSERT_NE(gState.lpRestErrorHeader, nullptr) << session.messages().back().text;
    EXPECT_EQ(tableCells(gState.lpRestErrorHeader), whole);

    restart();
    setWindowCheckpoint((folder / "no folder" / "session.json").string());
    setProgressService(&cancelling);
    queueSmallGrid("5", "6", "0", "50");
    const size_t shown = session.messages().size();
    menu(IDM_SIMULATION);
    setProgressService(nullptr);
    ASSERT_EQ(session.messages().size(), shown + 2);  // the summary, the failure
    EXPECT_NE(session.messages().back().text.find("no folder"), std::string::npos);
    EXPECT_EQ(gState.lpRestErrorHeader, nullptr);
}

// A checkpoint the window cannot continue is refused in the dialog, naming
// the file and the fault, and nothing changes: other settings than the run's,
// a damaged file, the batch command's checkpoint.
TEST_F(Resuming, CheckpointsForOtherSettingsDamagedOrForeignAreRefusedAndNothingChanges)
{
    cancelAndKeep("0", "kept.json");
    const std::string kept = fileText(folder / "kept.json");
    std::ofstream(folder / "damaged.json") << kept.substr(0, kept.size() / 2);
    nlohmann::json batch = nlohmann::json::parse(kept);
    batch["kind"] = "pulsebench simulate checkpoint";
    std::ofstream(folder / "batch.json") << batch.dump();
    restart();
    menu(IDM_DETECTION);
    const RandomStreams streams = gState.streams;
    const std::pair<const char*, const char*> cases[] = {
        {"kept.json", "is 4 in the checkpoint, 1 here"},
        {"damaged.json", "not a JSON object"},
        {"batch.json", "no pulsebench window simulation checkpoint"},
        {"missing.json", "cannot be read"},
    };
    for (const auto& [name, fault] : cases) {
        const size_t shown = session.messages().size();
        resume(name);
        ASSERT_EQ(session.messages().size(), shown + 1) << name;
        EXPECT_NE(session.messages().back().text.find(fault), std::string::npos) << session.messages().back().text;
        EXPECT_EQ(gState.lpRestErrorHeader, nullptr);
        EXPECT_TRUE(gState.streams == streams);
        EXPECT_EQ(gState.wRepeats, 100);
    }
    restart();  // the run's settings again: the checkpoint is taken
    resume("kept.json");
    EXPECT_NE(gState.lpRestErrorHeader, nullptr) << session.messages().back().text;
}

TEST_F(Dialogs, LocationParametersRefuseZeroRepeatsStepsAndAnEmptyRange)
{
    for (auto field : std::vector<std::pair<std::string, std::string>>{
             {"Number of Repeats", "0"}, {"Number of Steps in Simulation", "0"}, {"to", "2"}, {"from", "-3"}}) {
        session.queue(ok());
        session.queue(ok({{"from", "5"}, {"to", "6"}, field}));
        SendMessageA(hWnd, WM_COMMAND, CM_SIMULATION_PARAMS, 0);
        EXPECT_EQ(gState.bDialogAccepted, 0) << field.first;
    }
    EXPECT_EQ(gState.wRepeats, 100);
    EXPECT_EQ(gState.wNoiseSteps, 29);
    EXPECT_EQ(session.messages().size(), 4u);
}

/*---- Tuples ----*/

TEST_F(Dialogs, TuplesDetectionWithoutASubsetOpensTheSelectionAndProcessesNothing)
{
    menu(IDM_FIXED_TUPLES);
    menu(IDM_DETECTION);
    menu(IDM_PROCESS_NEXT);
    EXPECT_EQ(gState.wProcessingType, kProcTuplesDetection);
    EXPECT_EQ(gState.wViewMode, kViewSubset);
    EXPECT_STREQ(lastDetectorName(), "");
}

namespace {

// A person with a file chooser: presses "Browse..." in an open dialog, picks
// `pick` from the chooser (keeping the filter it offered) and cancels.
class BrowsingDialogs : public DialogService {
public:
    std::string pick, filter, typed;
    intptr_t runDialog(HWND dialog, DLGPROC procedure, LPARAM param) override
    {
        procedure(dialog, WM_INITDIALOG, 0, param);
        procedure(dialog, WM_COMMAND, IDC_OPEN_BROWSE, 0);
        char text[4096] = {};
        GetWindowTextA(GetDlgItem(dialog, IDC_OPEN_FILE), text, sizeof text);
        typed = text;
        procedure(dialog, WM_COMMAND, IDCANCEL, 0);
        return IDCANCEL;
    }
    bool chooseSaveFile(OPENFILENAMEA*) override { return false; }
    bool chooseOpenFile(OPENFILENAMEA* request) override
    {
        for (const char* p = request->lpstrFilter; p && *p; p += std::strlen(p) + 1)
            filter += std::string(p) + "|";
        if (pick.empty())
            return false;
        std::snprintf(request->lpstrFile, static_cast<size_t>(request->nMaxFile), "%s", pick.c_str());
        return true;
    }
};

} // namespace

// "Browse..." in each open dialog offers that dialog's files and puts the
// pick into "File"; a chooser closed without a pick leaves "File" as it was.
TEST_F(Dialogs, BrowseInTheOpenDialogsPutsTheChosenFileIntoTheFileField)
{
    BrowsingDialogs browsing;
    setDialogService(&browsing);
    const std::pair<UINT, const char*> dialogs[] = {
        {IDM_OPEN_SIGNAL, "*.wav *.flac"}, {IDM_OPEN_ETALONS, "*.csv *.npy *.mat"}, {IDM_OPEN_SERIES, "*.json"}};
    for (const auto& [command, pattern] : dialogs) {
        browsing.pick = "/data/chosen file.csv";
        browsing.filter.clear();
        EXPECT_FALSE(openFileDialog(hWnd, command));
        EXPECT_EQ(browsing.typed, "/data/chosen file.csv") << command;
        EXPECT_NE(browsing.filter.find(pattern), std::string::npos) << browsing.filter;
        browsing.pick.clear();
        openFileDialog(hWnd, command);
        EXPECT_EQ(browsing.typed, "") << command;
    }
    setDialogService(&peek);
}
