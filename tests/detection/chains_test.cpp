// The chains header: preparing it, the order of stored chains, the run's
// description, and the report text, also when it is long.
#include <string>

#include "detection/chainstore.h"
#include "detection/detection.h"
#include "support/fixtures.h"

namespace {

class Chains : public FreshStart {
protected:
    ChainsHeader* c = nullptr;
    void TearDown() override { freeChainsHeader(hWnd, c); }

    // A chain of `count` pulses whose entries all derive from `tag`.
    static ChainPulses chainOf(int count, int tag)
    {
        ChainPulses chain;
        for (int i = 0; i < count; i++)
            chain.push(static_cast<int16_t>(tag), static_cast<int16_t>(tag * 10 + i), static_cast<int16_t>(i),
                       static_cast<int16_t>(tag + i));
        return chain;
    }
    std::vector<int32_t> costs() const { return std::vector<int32_t>(c->distance, c->distance + c->wPretenders); }
};

TEST_F(Chains, StoreChainKeepsTheCheapestInAscendingOrderFirstOfferedFirst)
{
    c = getChainsHeader(hWnd, 3, 4, nullptr);
    ASSERT_NE(c, nullptr);
    const int offered[][2] = {{5, 1}, {3, 2}, {5, 3}, {1, 4}};
    for (const auto& [cost, tag] : offered)
        storeChain(c, cost, chainOf(2, tag));
    EXPECT_EQ(costs(), (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(c->pulsesList[2][0], 1); // the first 5 offered stays, the second was dropped
    EXPECT_EQ(c->positionsList[1][1], 21);
    EXPECT_EQ(c->lastSamplesList[0][1], 5);
    // A chain not cheaper than any held one leaves a full header unchanged.
    EXPECT_EQ(storeChain(c, 5, chainOf(3, 9)), -1);
    EXPECT_EQ(costs(), (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(c->pulsesList[2][0], 1);
    EXPECT_EQ(c->pulsesQuantity[2], 2);
    // A cheaper chain moves the others down with all their entries.
    EXPECT_EQ(storeChain(c, 2, chainOf(4, 7)), 1);
    EXPECT_EQ(costs(), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(c->pulsesQuantity[2], 2);
    EXPECT_EQ(c->positionsList[2][1], 21);
    EXPECT_EQ(c->pulsesQuantity[1], 4);
}

TEST_F(Chains, StoreChainCutsAChainLongerThanTheRoomPerChain)
{
    c = getChainsHeader(hWnd, 2, 3, nullptr);
    EXPECT_EQ(storeChain(c, -4, chainOf(10, 1)), 0);
    EXPECT_EQ(c->pulsesQuantity[0], 3);
    EXPECT_EQ(c->positionsList[0][2], 12);
    EXPECT_EQ(c->pulsesList[1][0], 0); // the next chain's entries are untouched
    EXPECT_EQ(storeChain(nullptr, 1, chainOf(1, 1)), -1);
}

TEST_F(Chains, GetChainsHeaderKeepsLargerSizesAndEmptiesTheHeader)
{
    c = getChainsHeader(hWnd, 10, 30, nullptr);
    storeChain(c, 7, chainOf(5, 3));
    c->wQuanPulses = c->wSeekingPulsesQuantity = 5;
    EXPECT_EQ(getChainsHeader(hWnd, 4, 12, c), c);
    EXPECT_EQ(c->wMaxSize, 10);
    EXPECT_EQ(c->wMaxPulses, 30);
    EXPECT_EQ(c->wPretenders, 0);
    EXPECT_EQ(c->wQuanPulses, 0);
    EXPECT_EQ(c->wSeekingPulsesQuantity, 0);
    EXPECT_EQ(c->distance[0], 0);
    EXPECT_EQ(c->pulsesList[0][0], 0);
    EXPECT_EQ(getChainsHeader(hWnd, 12, 5, c), c);
    EXPECT_EQ(c->wMaxSize, 12);
    EXPECT_EQ(c->wMaxPulses, 5);
    for (int k = 0; k < 12; k++) { // every reference points into its own stretch of the entry block
        EXPECT_EQ(c->positionsList[k], c->pulsesList[0] + (12 + k) * 5);
        EXPECT_EQ(c->lastSamplesList[k], c->pulsesList[0] + (36 + k) * 5);
    }
    EXPECT_EQ(c->pulsesQuantity, c->distance + 12);
}

TEST_F(Chains, ResetClearsTheChainsUpToTheStatedPulses)
{
    c = getChainsHeader(hWnd, 2, 4, nullptr);
    storeChain(c, 3, chainOf(4, 2));
    storeChain(c, 4, chainOf(4, 3));
    resetChainsHeader(c, 3, 2);
    EXPECT_EQ(c->wPretenders, 0);
    EXPECT_EQ(c->wQuanPulses, 3);
    EXPECT_EQ(c->wSeekingPulsesQuantity, 3);
    EXPECT_EQ(c->distance[1], 0);
    EXPECT_EQ(c->positionsList[1][1], 0);
    EXPECT_EQ(c->positionsList[1][2], 32); // beyond the stated pulses
    resetChainsHeader(c, 0, 60000); // more than the room per chain: no write past it
    EXPECT_EQ(c->positionsList[1][3], 0);
    emptyChainsHeader(c, 9);
    EXPECT_EQ(c->wQuanPulses, 9);
    EXPECT_EQ(c->wSeekingPulsesQuantity, 0);
}

TEST_F(Chains, AddToChainsHeaderNamesTheRunOrComplainsWithoutAHeader)
{
    c = getChainsHeader(hWnd, 2, 4, nullptr);
    EXPECT_EQ(addToChainsHeader(hWnd, 8, 4, 75, 50, c), 1);
    EXPECT_EQ(c->wDescription, 2);
    EXPECT_STREQ(c->lpTaskName, "joint detection and identification");
    EXPECT_STREQ(c->lpSeriesTypeName, "unknown number of cut-off pulses");
    EXPECT_EQ(c->wMakingSavedEnergy, 75);
    EXPECT_EQ(c->wProcessingSavedEnergy, 50);
    const std::pair<int, const char*> tasks[] = {{1, "detection"}, {32, "detection"}, {36, "detection"},
                                                 {2, "recognition"}, {40, "recognition"}, {64, nullptr}};
    for (auto [code, name] : tasks) {
        addToChainsHeader(hWnd, 1, static_cast<uint16_t>(code), 100, 100, c);
        if (name)
            EXPECT_STREQ(c->lpTaskName, name) << code;
        else
            EXPECT_EQ(c->lpTaskName, nullptr) << code;
    }
    const std::pair<int, const char*> series[] = {{1, "known number of whole pulses"},
                                                  {2, "known number of cut-off pulses"},
                                                  {4, "unknown number of whole pulses"},
                                                  {36, "known number of whole pulses tuples"},
                                                  {40, "unknown number of whole pulses tuples"},
                                                  {16, nullptr}};
    for (auto [code, name] : series) {
        addToChainsHeader(hWnd, static_cast<uint16_t>(code), 1, 100, 100, c);
        if (name)
            EXPECT_STREQ(c->lpSeriesTypeName, name) << code;
        else
            EXPECT_EQ(c->lpSeriesTypeName, nullptr) << code;
    }
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(addToChainsHeader(hWnd, 1, 1, 100, 100, nullptr), 0);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Не определен lpChainsHeader!");
    EXPECT_EQ(boxes.messages()[0].caption, " addToChainsHeader ");
}

TEST_F(Chains, AboutChainsHeaderShowsTheReport)
{
    c = getChainsHeader(hWnd, 3, 4, nullptr);
    ChainPulses chain;
    chain.push(4, 100, 0, 19);
    chain.push(7, 160, 3, 12);
    storeChain(c, -250, chain);
    storeChain(c, 9999999, ChainPulses{});
    c->wQuanPulses = 0;
    c->wSeekingPulsesQuantity = 2;
    aboutChainsHeader(hWnd, c);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].caption, "aboutChainsHeader Info");
    EXPECT_EQ(boxes.messages()[0].flags, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(boxes.messages()[0].text, "ChainsHeader:\nwMaxSize: 3\nwPretenders: 2\nwMaxPulses: 4\nwQuanPulses: 0\n"
                                        "wSeekingPulsesQuantity: 2\n 1. -250 100 (4) [0 19] 160 (7) [3 12]\n"
                                        " 2. 9999999\n");
}

TEST_F(Chains, ALongReportIsShownWhole)
{
    c = getChainsHeader(hWnd, 10, 60, nullptr);
    for (int k = 0; k < 10; k++)
        storeChain(c, -1000000 + k, chainOf(60, 100 + k));
    const std::string text = chainsHeaderReport(c);
    EXPECT_GT(text.size(), 2500u);
    EXPECT_NE(text.find(" 10. -999991 1090 (109) [0 109]"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(chainsHeaderReport(nullptr), "ChainsHeader:\n");
}

} // namespace
