// Running out of memory, site by site: every allocation site of the one table
// in platform/allocation.h is made to fail while the operation that reaches it
// runs in a headless main window; the message it shows is checked, and the
// window must go on working once memory is back. Then a sweep fails each
// allocation of one session (start, a series, its detection, a small
// simulation) in turn.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/allocation.h"
#include "simulation/simulation.h"
#include "support/mainwindow.h"
#include "support/texts.h"

namespace {

ScriptedAnswer ok(std::vector<std::pair<std::string, std::string>> fields = {})
{
    return ScriptedAnswer{true, std::move(fields)};
}

class Allocation : public MainWindowTest {
public:
    using MainWindowTest::menu;
    using MainWindowTest::pressAt;
    using MainWindowTest::session;

    // The window made again as at program start; false when creation failed.
    bool restart()
    {
        if (windowAlive(hWnd))
            DestroyWindow(hWnd);
        resetProgramState();
        hWnd = startMainWindow(nullptr, nullptr);
        if (hWnd)
            runPendingPaints(hWnd);
        return hWnd != nullptr;
    }

    // A simulation of 3 and 4 pulses at two noise levels, two trials each.
    void simulate()
    {
        session.queue(ok({{"Samples Length", "400"}}));
        session.queue(ok({{"from", "3"}, {"to", "4"}, {"incr.", "1"}, {"Number of Repeats", "2"},
                          {"Initial Level", "10"}, {"Number of Steps in Simulation", "2"},
                          {"Noise Increment per Step", "10"}}));
        menu(IDM_SIMULATION);
    }

    // The subset panel of a tuple series with etalons 1 and 3 on its strip.
    void composeTuple(UINT series, UINT task)
    {
        menu(series);
        menu(task);
        menu(IDM_SELECT_SET);
        pressAt(gSubsetPanel.SubsetCellRect[0]);
        pressAt(gSubsetPanel.SubsetCellRect[2]);
    }
    void pressPanelButton(int j) { pressAt(gSubsetPanel.ButtonsWhileSelectedSubsetRect[j]); }

    void snapshot(const char* name)
    {
        session.queue(ScriptedAnswer{true, {{"file", (folder() / name).string()}}});
        menu(IDM_SAVE_IMAGE);
    }

protected:
    void TearDown() override
    {
        clearAllocationFault();
        MainWindowTest::TearDown();
    }
};

enum { kOk = 3, kAccept = 4 };  // subset panel buttons

using Step = void (*)(Allocation&);

// One site: what sets the scene, the operation that reaches the site, and the
// first message it shows when the site fails (caption null: none).
struct SiteCase {
    AllocSite site;
    Step scene;
    Step operation;
    const char* text;
    const char* caption;
};

void nothing(Allocation&) {}
void start(Allocation& t) { t.restart(); }
void next(Allocation& t) { t.menu(IDM_PROCESS_NEXT); }
void simulation(Allocation& t) { t.simulate(); }
void unfixedDetection(Allocation& t)
{
    t.menu(IDM_UNFIXED_WHOLE);
    t.menu(IDM_DETECTION);
}
void tuplesFixed(Allocation& t) { t.composeTuple(IDM_FIXED_TUPLES, IDM_DETECTION); }
void tuplesUnfixed(Allocation& t) { t.composeTuple(IDM_UNFIXED_TUPLES, IDM_DETECTION); }
void tuplesRecognition(Allocation& t)
{
    t.composeTuple(IDM_UNFIXED_TUPLES, IDM_RECOGNITION);
    t.pressPanelButton(kAccept);
}
void pressOk(Allocation& t) { t.pressPanelButton(kOk); }
void selectSet(Allocation& t)
{
    t.menu(IDM_UNFIXED_TUPLES);
    t.menu(IDM_RECOGNITION);
}
void openSet(Allocation& t) { t.menu(IDM_SELECT_SET); }
void createLonger(Allocation& t)
{
    t.session.queue(ok({{"Samples Length", "20000"}, {"Min Length of Interval", "21"}}));
    t.session.queue(ok());
    t.menu(IDM_CREATE_SERIES);
}
void params(Allocation& t) { t.menu(IDM_VIEW_PARAMETERS); }
void bmp(Allocation& t) { t.snapshot("shot.bmp"); }
void pcx(Allocation& t) { t.snapshot("shot.pcx"); }

const char* const kSeries = " getExtSeriesHeader ";
const char* const kChains = " getChainsHeader ";
const char* const kRestErr = " getRestErrHeader ";
const char* const kTrawling = " About statCutoffTrawling ";
const char* const kInfo = "CM_INFO";

const SiteCase kCases[] = {
    {AllocSite::AlphabetEtalon, nothing, start, "Не могу выделить память!", nullptr},
    {AllocSite::RequiredList, nothing, start, "Нет памяти для newList!", " getRequiredList "},
    {AllocSite::SeriesHeader, nothing, start, "Нет памяти для newSeriesHeader!", " getCutOffSeriesHeader "},
    {AllocSite::SeriesSamples, nothing, start, "Нет памяти для newSeriesHeader->lpPureData!", kSeries},
    {AllocSite::SeriesPulsesList, nothing, start, "Нет памяти для newSeriesHeader->lpPulsesList!", kSeries},
    {AllocSite::SeriesPartialEnergy, nothing, next, "Нет памяти для PartialEnergy!", nullptr},
    {AllocSite::SeriesSubsetSizes, tuplesRecognition, pressOk, "Нет памяти для lpSeriesHeader->selectedSubsetSize!",
     " addSomeSelectedSubsetToSeriesHeader "},
    {AllocSite::SeriesSubsetList, tuplesRecognition, pressOk, "Нет памяти для lpSeriesHeader->selectedSubsetList!",
     " addSomeSelectedSubsetToSeriesHeader "},
    {AllocSite::ChainsHeader, nothing, start, "Нет памяти для newChainsHeader!", kChains},
    {AllocSite::ChainsCosts, nothing, start, "Нет памяти для newChainsHeader->distance!", kChains},
    {AllocSite::ChainsTable, nothing, start, "Нет памяти для newChainsHeader->pulsesList!", kChains},
    {AllocSite::ChainsEntries, nothing, start, "Нет памяти для newChainsHeader->pulsesList[0]!", kChains},
    {AllocSite::PositionSet, unfixedDetection, next, "Нет памяти для indexes!", nullptr},
    {AllocSite::PositionSetBlock, unfixedDetection, next, "Нет памяти для indexes!", nullptr},
    {AllocSite::MatchTable, nothing, next, "Нет памяти для ppDw!", nullptr},
    {AllocSite::PulseWork, nothing, next, "Нет памяти для ppDw[m]!", nullptr},
    {AllocSite::TuplePhaseWork, tuplesFixed, pressOk, "Нет памяти для ppDw!", nullptr},
    {AllocSite::TupleMatches, tuplesUnfixed, pressOk, "Нет памяти для EtalonsPartialEnergy!", nullptr},
    {AllocSite::TupleLayerWork, tuplesUnfixed, pressOk, "Нет памяти для G_on_layers!", nullptr},
    {AllocSite::RestErrHeader, nothing, simulation, "Нет памяти для newRestErrorHeader!", kRestErr},
    {AllocSite::RestErrValues, nothing, simulation, "Нет памяти для newRestErrorHeader->lpNoiseLevel!", kRestErr},
    {AllocSite::RestErrRows, nothing, simulation, "Нет памяти для newRestErrorHeader->lpErrors!", kRestErr},
    {AllocSite::RestErrCells, nothing, simulation, "Нет памяти для newRestErrorHeader->lpErrors[]!", kRestErr},
    {AllocSite::TrialSequence, nothing, simulation, "Ошибка lpEtalonNumbersList!", kTrawling},
    {AllocSite::TrialSums, nothing, simulation, "Не могу выделить память для сумм по ячейкам!", kTrawling},
    {AllocSite::TrialSlots, nothing, simulation, "Error getChainsHeader!", " About ChainsHeader "},
    {AllocSite::TrialCopies, nothing, simulation, "Нет памяти для испытаний!", kTrawling},
    {AllocSite::EtalonSequence, nothing, start, "Нет памяти для lpEtalonSequence!", " WM_CREATE "},
    {AllocSite::NewEtalonSequence, nothing, createLonger, "Нет памяти для lpNewEtalonSequence!", kInfo},
    {AllocSite::RunCellSums, nothing, simulation, "Не могу выделить память для сумм по ячейкам!", kTrawling},
    {AllocSite::ChartNormalizers, nothing, simulation, "No memory to RestoredErrorNormalizer",
     " ERROR in DrawDetectionArrayZ "},
    {AllocSite::ParamsHeader, next, params, "Нет памяти для newParamsHeader!", " getParamsHeader "},
    {AllocSite::ParamsAreas, next, params, "Нет памяти для newParamsHeader->pulsesSelectedAreas!",
     " getParamsHeader "},
    {AllocSite::SubsetStripRects, selectSet, openSet, "Нет памяти для possibleSubsetRect!", nullptr},
    {AllocSite::SubsetStrip, selectSet, openSet, "Нет памяти для selectedSubset!", nullptr},
    {AllocSite::SubsetSizes, selectSet, openSet, "Нет памяти для selectedSubsetArraySize!", nullptr},
    {AllocSite::SubsetRowRects, selectSet, openSet, "Нет памяти для possibleSubsetRect!", nullptr},
    {AllocSite::SubsetRowStarts, selectSet, openSet, "Нет памяти для possibleSubsetArrayRect!", nullptr},
    {AllocSite::SubsetRows, selectSet, openSet, "Нет памяти для selectedSubset!", nullptr},
    {AllocSite::SubsetButtons, selectSet, openSet, "Нет памяти для ButtonsWhileSelectedSubsetRect!", nullptr},
    {AllocSite::BmpDescription, nothing, bmp, "Нет памяти для BITMAPINFO", "About Bitmap"},
    {AllocSite::BmpRows, nothing, bmp, "GlobalAlloc ERROR!", "About Bitmap"},
    {AllocSite::PcxLine, nothing, pcx, "Нет памяти для буфера строки!", "About PCX"},
    {AllocSite::PcxCodes, nothing, pcx, "Нет памяти для кодов строки!", "About PCX"},
};

bool isOutOfMemoryText(const std::string& text)
{
    for (const SiteCase& c : kCases)
        if (text == c.text)
            return true;
    return false;
}

std::string siteName(const ::testing::TestParamInfo<SiteCase>& info)
{
    return allocationSiteName(info.param.site);
}

class EverySite : public Allocation, public ::testing::WithParamInterface<SiteCase> {};

} // namespace

TEST(AllocationSites, EachSiteOfTheTableIsTriedBelowAndNamedOnce)
{
    std::set<std::string> names, tried;
    for (size_t i = 0; i < kAllocationSites; i++)
        names.insert(allocationSiteName(static_cast<AllocSite>(i)));
    EXPECT_EQ(names.size(), kAllocationSites);
    for (const SiteCase& c : kCases)
        tried.insert(allocationSiteName(c.site));
    EXPECT_EQ(tried, names);
}

TEST_P(EverySite, FailureShowsItsMessageAndTheSameOperationWorksOnceMemoryIsBack)
{
    const SiteCase& c = GetParam();
    c.scene(*this);
    const size_t before = session.messages().size();
    injectAllocationFault(c.site);
    c.operation(*this);
    const AllocationFaultReport report = clearAllocationFault();
    ASSERT_TRUE(report.struck) << "the operation never reached the site";
    // The site's message, after whatever the operation says before it (the
    // simulation's summary).
    const std::vector<MessageRecord>& shown = session.messages();
    auto it = shown.begin() + before;
    while (it != shown.end() && !isOutOfMemoryText(it->text))
        ++it;
    ASSERT_NE(it, shown.end()) << "no message about memory";
    EXPECT_EQ(it->text, c.text);
    EXPECT_EQ(it->hasCaption, c.caption != nullptr);
    if (c.caption) {
        EXPECT_EQ(it->caption, c.caption);
    }

    // Nothing lost on the way: with memory back the same operation (from
    // where the failure left the window) runs without a word about memory.
    if (!windowAlive(hWnd)) {
        ASSERT_TRUE(restart());
    }
    const size_t after = session.messages().size();
    c.operation(*this);
    ASSERT_TRUE(windowAlive(hWnd));
    for (size_t i = after; i < session.messages().size(); i++)
        EXPECT_FALSE(isOutOfMemoryText(session.messages()[i].text)) << session.messages()[i].text;
}

// The same failure in English: every box it brings shows English, and one of
// them is the rendering of the site's message under the rendering of its
// caption, whichever way the text reached the box (straight, through a helper,
// kept in a variable, formatted).
TEST_P(EverySite, InEnglishTheFailureShowsTheRenderingOfItsMessage)
{
    const SiteCase& c = GetParam();
    SpokenLanguage english(Language::English);
    c.scene(*this);
    const size_t before = session.messages().size();
    injectAllocationFault(c.site);
    c.operation(*this);
    ASSERT_TRUE(clearAllocationFault().struck) << "the operation never reached the site";
    const std::vector<MessageRecord>& shown = session.messages();
    bool found = false;
    for (size_t i = before; i < shown.size(); i++) {
        EXPECT_FALSE(hasCyrillic(shown[i].text)) << shown[i].text;
        EXPECT_FALSE(hasCyrillic(shown[i].caption)) << shown[i].caption;
        if (shown[i].text == shownText(c.text)) {
            found = true;
            EXPECT_EQ(shown[i].caption, c.caption ? shownText(c.caption) : kStandardCaption);
        }
    }
    EXPECT_TRUE(found) << "no box shows the rendering of \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Allocation, EverySite, ::testing::ValuesIn(kCases), siteName);

// Each allocation of a whole session (start, a series with its detection, a
// small simulation and its charts) fails in turn: never a crash, and each
// failure is reported.
TEST_F(Allocation, FailingAnyOneAllocationOfASessionIsReported)
{
    const auto run = [this] {
        if (restart()) {
            menu(IDM_PROCESS_NEXT);
            simulate();
        }
    };
    countAllocations();
    run();
    const int64_t total = clearAllocationFault().seen;
    ASSERT_GT(total, 10);
    std::set<std::string> clean;  // what a run says when memory suffices
    for (const MessageRecord& m : session.messages())
        clean.insert(m.text);
    for (int64_t n = 1; n <= total; n++) {
        const size_t before = session.messages().size();
        injectNthAllocationFault(n);
        run();
        const AllocationFaultReport report = clearAllocationFault();
        if (!report.struck)
            continue;  // the worker threads took another order; this run had fewer
        bool reported = false;
        for (size_t i = before; i < session.messages().size(); i++)
            reported = reported || !clean.count(session.messages()[i].text);
        EXPECT_TRUE(reported) << "allocation " << n << " at " << allocationSiteName(report.site);
    }
}
