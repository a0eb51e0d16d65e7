// Hand-made series for the series view tests: a 400-sample header with two
// four-sample etalons, pulses placed by hand, a chains header filled by hand.
#pragma once

#include <vector>

#include "detection/chainstore.h"
#include "detection/detection.h"
#include "display/display_private.h"
#include "support/fixtures.h"

class HandMadeSeries : public FreshStart {
protected:
    SeriesHeader* s = nullptr;       // 400 samples, etalon length 4, room for 40 pulses
    ChainsHeader* c = nullptr;       // made by describe()
    PulseHeader etalons[2];          // 1: 10 20 20 10, 2: -10 10 -10 10
    SeriesViewGeometry g{};          // area (10, 10, 1009, 709), lines of 14 pixels

    void SetUp() override
    {
        FreshStart::SetUp();
        const int16_t shapes[2][4] = {{10, 20, 20, 10}, {-10, 10, -10, 10}};
        for (int k = 0; k < 2; k++) {
            etalons[k].wReservedLength = etalons[k].wLength = 4;
            etalons[k].wNumber = static_cast<uint16_t>(k + 1);
            etalons[k].lpData.reset(new int16_t[4]);
            std::copy(shapes[k], shapes[k] + 4, etalons[k].lpData.get());
        }
        s = getCutOffSeriesHeader(hWnd, 2, 4, 10, 40, 400, nullptr);
        ASSERT_NE(s, nullptr);
        s->lpPulsesList[0] = &etalons[0];
        s->lpPulsesList[1] = &etalons[1];
        s->wImpulseSize = 4;
        s->wSeriesAmplitude = 128;
        s->wSeriesNoiseLevel = 20;
        SeriesViewOptions o;
        o.SeriesAreaRect = RECT{10, 10, 1009, 709};
        o.wLineHeight = 14;
        g = seriesViewGeometry(o, 20);
    }
    void TearDown() override
    {
        freeChainsHeader(hWnd, c);
        freeSeriesHeader(s);
    }

    // A true pulse: etalon `number` at `position`, samples first..last kept.
    void addTrue(int16_t position, int16_t number, int16_t first = 0, int16_t last = 3)
    {
        const int i = s->wImpulseQuantity++;
        s->lpPositions[i] = position;
        s->lpEtalonNumbers[i] = number;
        s->lpCutBegin[i] = first;
        s->lpCutEnd[i] = last;
        for (int j = first; j <= last; j++)
            s->lpPureData[position + j] = s->lpNoisyData[position + j] = etalons[number - 1].lpData[j];
    }
    void addDetected(int16_t position, int16_t number, int16_t first = 0, int16_t last = 3)
    {
        const int i = s->wDetectedQuantity++;
        s->lpDetectedPositions[i] = position;
        s->lpDetectedNumbers[i] = number;
        s->lpDetectedCutBegin[i] = first;
        s->lpDetectedCutEnd[i] = last;
    }
    // A chains header with the run's description.
    void describe(uint16_t seriesType, uint16_t task, uint16_t making = 75, uint16_t processing = 75)
    {
        c = getChainsHeader(hWnd, 10, 40, nullptr);
        ASSERT_NE(c, nullptr);
        ASSERT_EQ(addToChainsHeader(hWnd, seriesType, task, making, processing, c), 1);
    }
    // Texts of the lines starting at x (header and result lines are at x0, the
    // table's right column at x0 + 100).
    static std::vector<std::string> textsAt(const std::vector<TextItem>& items, int32_t x)
    {
        std::vector<std::string> out;
        for (const TextItem& t : items)
            if (t.x == x)
                out.push_back(t.text);
        return out;
    }
};
