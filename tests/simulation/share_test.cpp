// A simulation split into shares, as the processes of a batch run split it:
// every share ends with the whole run's streams and last series, and the sums
// of the shares stored together give the whole run's tables, for every task,
// subset employment and split. Also the ranges a dispatcher hands out, and the
// sums' merge and store. Small series keep each run to a fraction of a second.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "simulation/trialpool.h"
#include "trawling_support.h"

namespace {

/*---- Shares made of given ranges ----*/

struct Range {
    int64_t first;  // first trial
    int64_t count;  // trials
};

// The ranges of one share, handed out in the order given.
struct RangeList {
    std::vector<Range> ranges;  // what next() hands out
    size_t given = 0;           // ranges handed out so far
};

bool nextRange(void* context, int64_t& first, int64_t& count)
{
    auto* list = static_cast<RangeList*>(context);
    if (list->given == list->ranges.size())
        return false;
    first = list->ranges[list->given].first;
    count = list->ranges[list->given].count;
    list->given++;
    return true;
}

// The trials 0 .. total - 1 cut at random places into ranges, each range
// given to one of `shares` shares at random (a share may get none).
std::vector<RangeList> randomSplit(int64_t total, int shares, std::mt19937& pick)
{
    std::vector<int64_t> cuts{0, total};
    const int pieces = std::uniform_int_distribution<int>(1, int(std::min<int64_t>(total, 3 * shares)))(pick);
    for (int i = 1; i < pieces; i++)
        cuts.push_back(std::uniform_int_distribution<int64_t>(1, total - 1)(pick));
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<RangeList> out(shares);
    for (size_t i = 0; i + 1 < cuts.size(); i++)
        out[std::uniform_int_distribution<int>(0, shares - 1)(pick)].ranges.push_back({cuts[i], cuts[i + 1] - cuts[i]});
    return out;
}

/*---- What a run leaves behind ----*/

struct Outcome {
    std::vector<int32_t> cells;        // the six tables
    RandomStreams streams;             // every stream after the run
    std::vector<int16_t> lastPure;     // the last trial's pure samples
    std::vector<int16_t> lastNoisy;    // the last trial's noisy samples
    std::vector<int16_t> lastDetected; // the last trial's detected positions
    uint16_t subsetLength = 0;         // the header's wSubsetLength after the run
    std::vector<TrawlingCellSums> sums; // the sums the record keeps, squares included
    bool operator==(const Outcome&) const = default;
};

struct Case {
    uint16_t task;        // processing type
    uint16_t seriesType;  // series type
    uint16_t employment;  // subset employment, 0: no subset
};

class ShareRun : public SimulationRun {
protected:
    uint32_t seed = 0;  // replicate seed of the trials (0: the 15-bit streams)

    // The subsets of a case: one selected subset, or for tuples recognition three stored.
    void storeSubsets(const Case& c)
    {
        if (c.employment == 0)
            return;
        if (c.task == 40) {
            const std::vector<int32_t> a{2, 5}, b{9, 14, 3}, d{7};
            const int32_t sizes[3] = {2, 3, 1};
            const int32_t* rows[3] = {a.data(), b.data(), d.data()};
            ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, rows, 3, 3, 3, 1, c.employment, 2, series), 1);
        } else {
            ASSERT_EQ(setSelectedSubset(hWnd, std::vector<int32_t>{4, 11}.data(), 2, c.employment, 2, series), 1);
        }
    }

    Outcome outcome()
    {
        Outcome out{cells(), streams, {}, {}, {}, series->wSubsetLength, record->cellSums};
        out.lastPure.assign(series->lpPureData, series->lpPureData + series->dwSeriesSize);
        out.lastNoisy.assign(series->lpNoisyData, series->lpNoisyData + series->dwSeriesSize);
        out.lastDetected.assign(series->lpDetectedPositions, series->lpDetectedPositions + series->wDetectedQuantity);
        return out;
    }

    // A fresh start and the grid of every case: 2 pulse counts, 3 levels, 4 repeats.
    void freshGrid(const Case& c)
    {
        streams = RandomStreams{};
        prepare(300, 40, 181, {3, 5}, {0, 30, 60}, 4, c.task == 36 || c.task == 40 ? 100 : 75);
        storeSubsets(c);
        seedRandomStreams(streams, seed);
    }

    Outcome whole(const Case& c)
    {
        freshGrid(c);
        context.share = nullptr;
        EXPECT_EQ(run(c.task, c.seriesType), kTrawlingComplete);
        return outcome();
    }

    // Every share from a fresh start; the streams and the last series of each
    // must be the whole run's; the sums of all are stored at the end.
    Outcome split(const Case& c, std::vector<RangeList>& shares, const Outcome& expected)
    {
        std::vector<TrawlingCellSums> total;
        int64_t trialsRun = 0;
        for (size_t s = 0; s < shares.size(); s++) {
            freshGrid(c);
            TrawlingShare share{nextRange, &shares[s], 0, {}, 0};
            context.share = &share;
            EXPECT_EQ(run(c.task, c.seriesType), kTrawlingShareDone);
            context.share = nullptr;
            EXPECT_EQ(record->ifComplete, 0) << "a share alone is no complete run";
            Outcome after = outcome();
            after.cells = expected.cells; // the tables are not the share's to fill
            after.sums = expected.sums;
            EXPECT_EQ(after, expected) << "share " << s << " of " << shares.size();
            if (total.empty())
                total.assign(share.sums.size(), TrawlingCellSums{});
            EXPECT_TRUE(addTrawlingSums(total, share.sums));
            trialsRun += share.trialsRun;
        }
        EXPECT_EQ(trialsRun, 2 * 3 * 4) << "every trial counted once";
        EXPECT_EQ(storeTrawlingSums(total, record), 1);
        EXPECT_EQ(record->ifComplete, 1);
        return outcome();
    }
};

TEST_F(ShareRun, SharesOfARandomSplitAddUpToTheWholeRunForEveryTask)
{
    required = {2, 5, 9, 14};
    const Case cases[] = {
        {4, 2, 0}, {2, 8, 0}, {1, 4, 0}, {4, 8, 3}, {4, 2, 1}, {4, 2, 5}, {36, 36, 4}, {36, 40, 3}, {40, 40, 1},
    };
    std::mt19937 pick(1208);
    for (const Case& c : cases) {
        context.threads = 2;
        const Outcome expected = whole(c);
        EXPECT_EQ(record->ifComplete, 1);
        for (int shares : {1, 2, 3, 5}) {
            std::vector<RangeList> split3 = randomSplit(24, shares, pick);
            context.threads = shares % 2 + 1;
            EXPECT_EQ(split(c, split3, expected), expected)
                << "task " << c.task << ", series " << c.seriesType << ", employment " << c.employment << ", "
                << shares << " shares";
        }
    }
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(ShareRun, AReplicateSeedGivesTheSameTablesForEveryThreadCountAndSplitAndOthersThanSeedZero)
{
    required = {2, 5, 9, 14};
    const Case cases[] = {{4, 2, 0}, {4, 8, 3}, {4, 2, 5}, {40, 40, 1}};
    std::mt19937 pick(1808);
    for (const Case& c : cases) {
        seed = 0;
        context.threads = 1;
        const Outcome programs = whole(c);
        seed = 0x9E3779B9u;
        const Outcome expected = whole(c);
        EXPECT_NE(expected.lastNoisy, programs.lastNoisy) << "the keyed streams replace the program's";
        EXPECT_NE(expected.streams, programs.streams);
        context.threads = 2;
        EXPECT_EQ(whole(c), expected) << "task " << c.task << " on two threads";
        for (int shares : {2, 3}) {
            std::vector<RangeList> ranges = randomSplit(24, shares, pick);
            EXPECT_EQ(split(c, ranges, expected), expected)
                << "task " << c.task << ", series " << c.seriesType << ", " << shares << " shares";
        }
    }
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(ShareRun, OneTrialPerShareAndTheLastTrialAloneGiveTheWholeRun)
{
    required = {3, 8};
    const Case c{2, 2, 0};
    context.threads = 1;
    const Outcome expected = whole(c);
    std::vector<RangeList> single(24);
    for (int t = 0; t < 24; t++)
        single[t].ranges.push_back({t, 1});
    EXPECT_EQ(split(c, single, expected), expected);

    // a share with nothing but the last trial, and one with everything before it
    std::vector<RangeList> lastAlone(2);
    lastAlone[0].ranges.push_back({0, 23});
    lastAlone[1].ranges.push_back({23, 1});
    EXPECT_EQ(split(c, lastAlone, expected), expected);
}

TEST_F(ShareRun, RangesBehindTheWalkOrPastTheRunAreDropped)
{
    required = {3, 8};
    const Case c{4, 2, 0};
    context.threads = 1;
    const Outcome expected = whole(c);
    // share 0: 0..9, then 5..14 (5..9 already walked), then 20..99 (past the run's 24)
    // share 1: 10..14 again (counted twice if not dropped), then 15..19
    std::vector<RangeList> shares(2);
    shares[0].ranges = {{0, 10}, {5, 10}, {20, 80}};
    shares[1].ranges = {{15, 5}};
    freshGrid(c);
    TrawlingShare first{nextRange, &shares[0], 0, {}, 0};
    context.share = &first;
    ASSERT_EQ(run(c.task, c.seriesType), kTrawlingShareDone);
    EXPECT_EQ(first.trialsRun, 10 + 5 + 4);
    freshGrid(c);
    TrawlingShare second{nextRange, &shares[1], 0, {}, 0};
    context.share = &second;
    ASSERT_EQ(run(c.task, c.seriesType), kTrawlingShareDone);
    EXPECT_EQ(second.trialsRun, 5);
    ASSERT_TRUE(addTrawlingSums(first.sums, second.sums));
    ASSERT_EQ(storeTrawlingSums(first.sums, record), 1);
    EXPECT_EQ(cells(), expected.cells);
}

TEST_F(ShareRun, ShareWithoutRangesRunsOnlyTheLastTrialAndCountsNothing)
{
    required = {3, 8};
    const Case c{4, 2, 0};
    context.threads = 1;
    const Outcome expected = whole(c);
    freshGrid(c);
    RangeList none;
    TrawlingShare share{nextRange, &none, 0, {}, 0};
    context.share = &share;
    ASSERT_EQ(run(c.task, c.seriesType), kTrawlingShareDone);
    EXPECT_EQ(share.trialsRun, 0);
    EXPECT_EQ(share.trials, 24) << "the whole run's trials";
    EXPECT_EQ(share.sums, std::vector<TrawlingCellSums>(6));
    Outcome after = outcome();
    after.cells = expected.cells;
    after.sums = expected.sums;
    EXPECT_EQ(after, expected);
}

TEST_F(ShareRun, SquaresOfTheWholeRunAreTheSumsOfEachTrialsSquares)
{
    // A share of one trial holds that trial's errors alone: its squares are
    // the squares of its sums, and the whole run's squares add them up.
    required = {3, 8};
    for (const Case& c : {Case{4, 2, 0}, Case{40, 40, 1}}) {
        context.threads = 2;
        const Outcome expected = whole(c);
        ASSERT_EQ(expected.sums.size(), 6u);
        std::vector<TrawlingCellSums> total(6);
        bool someError = false;
        for (int64_t t = 0; t < 24; t++) {
            freshGrid(c);
            RangeList one{{{t, 1}}, 0};
            TrawlingShare share{nextRange, &one, 0, {}, 0};
            context.share = &share;
            ASSERT_EQ(run(c.task, c.seriesType), kTrawlingShareDone);
            context.share = nullptr;
            for (const TrawlingCellSums& cell : share.sums) {
                EXPECT_EQ(cell.restoringSquares, TrawlingSquareSum(cell.restoring) * TrawlingSquareSum(cell.restoring));
                EXPECT_EQ(cell.detectionSquares, TrawlingSquareSum(cell.detection) * TrawlingSquareSum(cell.detection));
                someError = someError || cell.restoring > 0 || cell.detection > 0;
            }
            ASSERT_TRUE(addTrawlingSums(total, share.sums));
        }
        EXPECT_TRUE(someError) << "a grid without errors proves nothing";
        EXPECT_EQ(total, expected.sums) << "task " << c.task;
    }
}

/*---- Ranges, merge and store ----*/

TEST(TrawlingChunks, RangesCoverTheRunOnceAndShrinkToTheLeastPiece)
{
    std::mt19937 pick(77);
    for (int trial = 0; trial < 300; trial++) {
        const int64_t total = std::uniform_int_distribution<int64_t>(1, trial < 200 ? 5000 : 3'000'000)(pick);
        const int processes = std::uniform_int_distribution<int>(1, 64)(pick);
        const int64_t least = std::max<int64_t>(1, total / (256 * processes));
        int64_t next = 0, previous = total, ranges = 0;
        while (next < total) {
            const int64_t count = nextTrawlingChunk(next, total, processes);
            ASSERT_GE(count, 1);
            ASSERT_LE(count, total - next);
            ASSERT_LE(count, previous) << "ranges never grow";
            ASSERT_TRUE(count >= least || count == total - next) << "only the last range is below the least piece";
            previous = count;
            next += count;
            ranges++;
        }
        EXPECT_EQ(next, total);
        EXPECT_LE(ranges, 16 * processes + 8) << total << " trials, " << processes << " processes";
        EXPECT_EQ(nextTrawlingChunk(total, total, processes), 0);
    }
}

TEST(TrawlingChunks, DefaultGridOnTwoProcessesStartsWithAQuarter)
{
    EXPECT_EQ(nextTrawlingChunk(0, 72500, 2), 18125);
    EXPECT_EQ(nextTrawlingChunk(18125, 72500, 2), 13594);
    EXPECT_EQ(nextTrawlingChunk(72400, 72500, 2), 100);  // the rest, below the least piece of 141
    EXPECT_EQ(nextTrawlingChunk(72000, 72500, 2), 141);  // the least piece
    EXPECT_EQ(nextTrawlingChunk(0, 24, 3), 4);
    EXPECT_EQ(nextTrawlingChunk(0, 24, 0), 12) << "no process counts as one";
}

TEST(TrawlingSums, MergeAddsCellByCellAndRefusesAnotherGrid)
{
    std::vector<TrawlingCellSums> total{{1, 2, 3}, {10, 20, 30}};
    EXPECT_TRUE(addTrawlingSums(total, {{5, 6, 7}, {0, 0, 1}}));
    EXPECT_EQ(total, (std::vector<TrawlingCellSums>{{6, 8, 10}, {10, 20, 31}}));
    EXPECT_FALSE(addTrawlingSums(total, {{5, 6, 7}}));
    EXPECT_EQ(total[0], (TrawlingCellSums{6, 8, 10}));
}

TEST_F(ShareRun, StoreRoundsTheMeanTruncatesDetectionAndRefusesAnotherGrid)
{
    prepare(300, 40, 181, {3, 5}, {0, 30, 60}, 4);
    std::vector<TrawlingCellSums> sums(6);
    sums[1] = {10, 255, 3};   // cell j 0, k 1: mean 10/4 = 2.5 -> 3; 255 / 128 -> 1
    sums[5] = {5, 128, 0};    // cell j 1, k 2: 5/4 = 1.25 -> 1
    EXPECT_EQ(storeTrawlingSums(std::vector<TrawlingCellSums>(5), record), 0);
    EXPECT_EQ(record->ifComplete, 0);
    ASSERT_EQ(storeTrawlingSums(sums, record), 1);
    EXPECT_EQ(record->ifComplete, 1);
    EXPECT_EQ(record->lpErrors[0][1][0], 3);
    EXPECT_EQ(record->lpErrors[1][1][0], 1);
    EXPECT_EQ(record->lpErrors[3][1][0], 3);
    EXPECT_EQ(record->lpErrors[0][2][1], 1);
    EXPECT_EQ(record->lpErrors[1][2][1], 1);
    EXPECT_EQ(record->lpErrors[0][0][0], 0);
}

} // namespace

namespace {

// True when `word` holds an address inside `storage`'s bytes.
template <typename T>
bool pointsInto(uintptr_t word, const std::vector<T>& storage)
{
    const auto begin = reinterpret_cast<uintptr_t>(storage.data());
    return !storage.empty() && word >= begin && word < begin + storage.size() * sizeof(T);
}

} // namespace

TEST_F(ShareRun, ACopiedSeriesOwnsEveryFieldItPointsThrough)
{
    // A series with a stored-subset block (tuples recognition) and one with a
    // single subset, copied into a fresh header: no word of the copy's fields
    // may point into the source's storage (a field the copy forgot to move
    // would), and the copy reads the same after the source's storage is wiped.
    for (const Case& c : {Case{40, 40, 1}, Case{36, 36, 3}, Case{4, 2, 0}}) {
        freshGrid(c);
        context.share = nullptr;
        ASSERT_EQ(run(c.task, c.seriesType), kTrawlingComplete);
        SeriesHeader copy;
        copySeriesHeader(*series, copy);
        const SeriesFields& fields = copy;
        const auto* words = reinterpret_cast<const unsigned char*>(&fields);
        for (size_t at = 0; at + sizeof(uintptr_t) <= sizeof(SeriesFields); at += alignof(void*)) {
            uintptr_t word = 0;
            std::memcpy(&word, words + at, sizeof word);
            EXPECT_FALSE(pointsInto(word, series->sampleBlock) || pointsInto(word, series->subsetStore) ||
                         pointsInto(word, series->pulsesStore) || pointsInto(word, series->subsetPointers))
                << "task " << c.task << ": the field at byte " << at << " points into the source";
        }
        const Outcome before = outcome();
        std::swap(series->lpPureData, copy.lpPureData);  // read the copy through the fixture's outcome()
        std::swap(series->lpNoisyData, copy.lpNoisyData);
        std::swap(series->lpDetectedPositions, copy.lpDetectedPositions);
        std::fill(series->sampleBlock.begin(), series->sampleBlock.end(), int16_t(0x5555));
        Outcome after = outcome();
        std::swap(series->lpPureData, copy.lpPureData);
        std::swap(series->lpNoisyData, copy.lpNoisyData);
        std::swap(series->lpDetectedPositions, copy.lpDetectedPositions);
        after.cells = before.cells;
        EXPECT_EQ(after, before) << "task " << c.task;
        EXPECT_EQ(copy.wSelectedSubsets, series->wSelectedSubsets);
        for (int k = 0; k < copy.wSelectedSubsets; k++) {
            ASSERT_EQ(copy.selectedSubsetSize[k], series->selectedSubsetSize[k]);
            EXPECT_TRUE(std::equal(copy.selectedSubsetList[k], copy.selectedSubsetList[k] + copy.selectedSubsetSize[k],
                                   series->selectedSubsetList[k]));
        }
    }
}
