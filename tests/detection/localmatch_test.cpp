// The local match: the single-position and the block forms against the
// literal sum over every candidate part, at every level, on noisy series.
#include <random>

#include "detection/localmatch.h"
#include "reference.h"
#include "support/fixtures.h"

namespace {

class LocalMatches : public FreshStart {};

TEST_F(LocalMatches, BothFormsAgreeWithTheLiteralSumOverEveryPart)
{
    std::mt19937 random(31);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    std::vector<uint16_t> sequence(500, 1); // room for the longest series
    SeriesHeader* h = nullptr;
    for (int trial = 0; trial < 40; trial++) {
        const int n = pick(1, 24);
        buildAlphabet(static_cast<int16_t>(pick(1, 300)), 20, static_cast<uint16_t>(n));
        const int L = pick(n + 1, 400);
        for (int i = 0; i < 500; i++)
            sequence[i] = static_cast<uint16_t>(pick(1, 20));
        h = getCutOffSeries(hWnd, 20, alphabet, n, n, 3 * n, L, maxPulsesFor(L, n, n), sequence.data(), 128,
                            static_cast<int16_t>(pick(0, 100)), h, streams);
        ASSERT_NE(h, nullptr);
        ASSERT_NE(h->lpPulsesList[0], nullptr) << "trial " << trial;
        addNoise(h, static_cast<int16_t>(pick(0, 300)), streams);
        std::vector<uint16_t> list;
        for (int i = pick(1, 6); i > 0; i--)
            list.push_back(static_cast<uint16_t>(pick(1, 20)));
        const int level = trial % 5 == 0 ? 100 : trial % 5 == 1 ? 0 : pick(0, 130);
        MatchTable table;
        prepareMatchTable(table, alphabet, static_cast<uint16_t>(list.size()), list.data(), static_cast<uint16_t>(n),
                          static_cast<uint16_t>(level));
        const reference::Input in{alphabet, list, n, n, level, 1, h};
        std::vector<LocalMatch> block(L);
        const int first = pick(0, L - n), last = pick(first, L - n);
        localMatchRange(table, 0, table.count, h->lpNoisyData, first, last, block.data());
        for (int l = first; l <= last; l++) {
            int32_t cost = 0;
            const reference::Pulse literal = reference::localMatch(in, list, l, cost);
            const LocalMatch single = localMatchAt(table, 0, table.count, h->lpNoisyData + l);
            ASSERT_EQ(single.cost, cost) << "trial " << trial << ", position " << l;
            ASSERT_EQ(single.number, literal.number);
            ASSERT_EQ(single.first, literal.first);
            ASSERT_EQ(single.last, literal.last);
            ASSERT_EQ(block[l].cost, cost) << "trial " << trial << ", position " << l;
            ASSERT_EQ(block[l].number, literal.number);
            ASSERT_EQ(block[l].first, literal.first);
            ASSERT_EQ(block[l].last, literal.last);
        }
    }
    freeSeriesHeader(h);
}

TEST_F(LocalMatches, LevelZeroKeepsTheSingleBestSampleOfAnIsolatedSpike)
{
    buildAlphabet(128, 20, 20);
    std::vector<int16_t> x(20, 0);
    x[7] = 1000; // one sample matters; every other sample only adds energy
    const uint16_t list[] = {1}; // the rectangle: all samples equal
    MatchTable table;
    prepareMatchTable(table, alphabet, 1, list, 20, 0);
    const LocalMatch m = localMatchAt(table, 0, 1, x.data());
    EXPECT_EQ(m.first, 7);
    EXPECT_EQ(m.last, 7);
    EXPECT_EQ(m.cost, wRectangleLevel * (wRectangleLevel - 2000));
    prepareMatchTable(table, alphabet, 1, list, 20, 100);
    const LocalMatch whole = localMatchAt(table, 0, 1, x.data());
    EXPECT_EQ(whole.first, 0);
    EXPECT_EQ(whole.last, 19);
}

} // namespace
