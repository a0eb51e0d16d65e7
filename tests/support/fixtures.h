// Shared test scaffolding: a window whose message boxes are recorded, random
// streams at their start values, and the default alphabet.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "synthesis/synthesis.h"

// A window owning a recorder, with streams as in a freshly started program.
class FreshStart : public ::testing::Test {
protected:
    RecordingMessageBoxes boxes;   // every message box the code under test shows
    PlatformWindow window;         // owner of those boxes
    HWND hWnd = &window;           // what the operations take first
    RandomStreams streams;         // every random stream, at its start value
    PulseHeader alphabet[kAlphabetCapacity]; // built by buildAlphabet()

    void SetUp() override
    {
        window.lpMessages = &boxes;
    }

    void buildAlphabet(int16_t amplitude = 128, uint16_t count = 20, uint16_t length = 20)
    {
        ASSERT_EQ(makeAlphabet(hWnd, amplitude, count, length, alphabet, streams), 1);
    }

    // Texts of every box shown so far, oldest first.
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const MessageRecord& m : boxes.messages())
            out.push_back(m.text);
        return out;
    }
};

// A stream advanced `draws` times from `start`: where a consumer should leave it.
inline int16_t advanced(int16_t start, long draws)
{
    int16_t seed = start;
    for (long i = 0; i < draws; i++)
        nextRandom(seed);
    return seed;
}
