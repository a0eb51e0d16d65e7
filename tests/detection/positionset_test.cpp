// Position sets: the listed cases of each operation, failures that leave the
// set unchanged, and random sequences of operations against a plain bitmap.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "detection/detection.h"

namespace {

using Intervals = std::vector<std::pair<int, int>>;

Intervals intervalsOf(const PositionSet* s)
{
    Intervals out;
    for (int i = 0; i < s->wCount; i++)
        out.push_back({s->lpFrom[i], s->lpTo[i]});
    return out;
}

// A set of the given capacity holding the given intervals.
PositionSet* setOf(uint16_t capacity, const Intervals& intervals)
{
    PositionSet* s = getPositionSet(nullptr, capacity);
    for (auto [a, b] : intervals)
        EXPECT_EQ(addInterval(s, static_cast<uint16_t>(a), static_cast<uint16_t>(b)), 1);
    return s;
}

TEST(AddInterval, MergesInsertsAndFailsWhenFull)
{
    PositionSet* s = setOf(1, {{5, 9}});
    EXPECT_EQ(addInterval(s, 20, 30), 0);
    EXPECT_EQ(intervalsOf(s), (Intervals{{5, 9}}));
    EXPECT_EQ(addInterval(s, 7, 12), 1); // a merge needs no free slot
    EXPECT_EQ(intervalsOf(s), (Intervals{{5, 12}}));
    freePositionSet(s);

    const Intervals base{{5, 10}, {20, 30}};
    const std::pair<std::pair<int, int>, Intervals> cases[] = {
        {{4, 12}, {{4, 12}, {20, 30}}},
        {{8, 25}, {{5, 30}}},
        {{0, 40}, {{0, 40}}},
        {{12, 15}, {{5, 10}, {12, 15}, {20, 30}}},
        {{11, 19}, {{5, 30}}}, // touching intervals are joined
        {{0, 3}, {{0, 3}, {5, 10}, {20, 30}}},
        {{31, 31}, {{5, 10}, {20, 31}}},
    };
    for (const auto& [added, expected] : cases) {
        PositionSet* t = setOf(4, base);
        EXPECT_EQ(addInterval(t, static_cast<uint16_t>(added.first), static_cast<uint16_t>(added.second)), 1);
        EXPECT_EQ(intervalsOf(t), expected) << added.first << ".." << added.second;
        freePositionSet(t);
    }
}

TEST(SubtractInterval, CutsSplitsAndFailsWhenASplitFindsNoSlot)
{
    PositionSet* s = setOf(2, {{0, 10}});
    EXPECT_EQ(subtractInterval(s, 10, 20), 1);
    EXPECT_EQ(intervalsOf(s), (Intervals{{0, 9}}));
    EXPECT_EQ(subtractInterval(s, 3, 5), 1);
    EXPECT_EQ(intervalsOf(s), (Intervals{{0, 2}, {6, 9}}));
    EXPECT_EQ(subtractInterval(s, 7, 7), 0); // full: the split has nowhere to go
    EXPECT_EQ(intervalsOf(s), (Intervals{{0, 2}, {6, 9}}));
    EXPECT_EQ(subtractInterval(s, 0, 10), 1);
    EXPECT_EQ(intervalsOf(s), Intervals{});
    freePositionSet(s);
}

TEST(IntersectInterval, KeepsOnlyTheOverlap)
{
    PositionSet* s = setOf(2, {{0, 10}, {20, 30}});
    EXPECT_EQ(intersectInterval(s, 10, 25), 1);
    EXPECT_EQ(intervalsOf(s), (Intervals{{10, 10}, {20, 25}}));
    freePositionSet(s);
}

TEST(IntersectSet, KeepsThePiecesInsideEverySourceInterval)
{
    PositionSet* d = setOf(2, {{0, 100}});
    PositionSet* s = setOf(2, {{10, 20}, {40, 50}});
    EXPECT_EQ(intersectSet(d, s), 1);
    EXPECT_EQ(intervalsOf(d), (Intervals{{10, 20}, {40, 50}}));
    EXPECT_EQ(intersectSet(d, d), 1);
    EXPECT_EQ(intervalsOf(d), (Intervals{{10, 20}, {40, 50}}));
    freePositionSet(d);
    freePositionSet(s);
}

TEST(PositionSet, BadArgumentsFailAndChangeNothing)
{
    PositionSet* s = setOf(3, {{5, 9}});
    EXPECT_EQ(addInterval(s, 9, 5), 0);
    EXPECT_EQ(subtractInterval(s, 9, 5), 0);
    EXPECT_EQ(intersectInterval(s, 9, 5), 0);
    EXPECT_EQ(intervalsOf(s), (Intervals{{5, 9}}));
    EXPECT_EQ(addInterval(nullptr, 1, 2), 0);
    EXPECT_EQ(subtractInterval(nullptr, 1, 2), 0);
    EXPECT_EQ(intersectInterval(nullptr, 1, 2), 0);
    EXPECT_EQ(addSet(s, nullptr), 0);
    EXPECT_EQ(addSet(nullptr, s), 0);
    EXPECT_EQ(subtractSet(s, nullptr), 0);
    EXPECT_EQ(intersectSet(nullptr, s), 0);
    EXPECT_EQ(copyPositionSet(s, nullptr), nullptr);
    EXPECT_EQ(intervalsOf(s), (Intervals{{5, 9}}));
    EXPECT_EQ(freePositionSet(s), nullptr);
    EXPECT_EQ(freePositionSet(nullptr), nullptr);
}

TEST(GetPositionSet, KeepsALargerCapacityAndEmptiesTheSet)
{
    PositionSet* s = setOf(8, {{1, 2}, {4, 5}});
    EXPECT_EQ(getPositionSet(s, 3), s);
    EXPECT_EQ(s->wCapacity, 8);
    EXPECT_EQ(s->wCount, 0);
    EXPECT_EQ(getPositionSet(s, 20), s);
    EXPECT_EQ(s->wCapacity, 20);
    PositionSet* whole = setOf(5, {{0, 65535}});
    PositionSet* copy = copyPositionSet(nullptr, whole);
    EXPECT_EQ(intervalsOf(copy), (Intervals{{0, 65535}}));
    EXPECT_EQ(copy->wCapacity, 5);
    freePositionSet(copy);
    freePositionSet(whole);
    freePositionSet(s);
}

// Random operations on sets with room to spare must give the bitmap's result;
// sets kept sorted, disjoint and not touching whatever happens.
TEST(PositionSet, RandomOperationsMatchABitmap)
{
    std::mt19937 random(7);
    constexpr int kRange = 200;
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    for (int round = 0; round < 300; round++) {
        PositionSet* a = getPositionSet(nullptr, 120);
        PositionSet* b = getPositionSet(nullptr, 120);
        std::vector<bool> bitsA(kRange), bitsB(kRange);
        for (int step = 0; step < 30; step++) {
            const int x = pick(0, kRange - 1), y = std::min(kRange - 1, x + pick(0, 30));
            const auto first = static_cast<uint16_t>(x), last = static_cast<uint16_t>(y);
            switch (pick(0, 7)) {
            case 0:
            case 1:
                ASSERT_EQ(addInterval(a, first, last), 1);
                for (int k = x; k <= y; k++)
                    bitsA[k] = true;
                break;
            case 2:
                ASSERT_EQ(addInterval(b, first, last), 1);
                for (int k = x; k <= y; k++)
                    bitsB[k] = true;
                break;
            case 3:
                ASSERT_EQ(subtractInterval(a, first, last), 1);
                for (int k = x; k <= y; k++)
                    bitsA[k] = false;
                break;
            case 4:
                ASSERT_EQ(intersectInterval(a, first, last), 1);
                for (int k = 0; k < kRange; k++)
                    bitsA[k] = bitsA[k] && k >= x && k <= y;
                break;
            case 5:
                ASSERT_EQ(intersectSet(a, b), 1);
                for (int k = 0; k < kRange; k++)
                    bitsA[k] = bitsA[k] && bitsB[k];
                break;
            case 6:
                ASSERT_EQ(subtractSet(a, b), 1);
                for (int k = 0; k < kRange; k++)
                    bitsA[k] = bitsA[k] && !bitsB[k];
                break;
            default:
                ASSERT_EQ(addSet(a, b), 1);
                for (int k = 0; k < kRange; k++)
                    bitsA[k] = bitsA[k] || bitsB[k];
                break;
            }
            std::vector<bool> got(kRange);
            for (int i = 0; i < a->wCount; i++) {
                ASSERT_LE(a->lpFrom[i], a->lpTo[i]);
                if (i > 0) {
                    ASSERT_GT(a->lpFrom[i], a->lpTo[i - 1] + 1);
                }
                for (int k = a->lpFrom[i]; k <= a->lpTo[i]; k++)
                    got[k] = true;
            }
            ASSERT_EQ(got, bitsA) << "round " << round << ", step " << step;
        }
        freePositionSet(a);
        freePositionSet(b);
    }
}

} // namespace
