// Test scaffolding for the simulation driver: a fresh start with the default
// alphabet, a series header and a statistics record prepared the way the
// simulation command prepares them, and one call that runs the driver.
#pragma once

#include <initializer_list>
#include <vector>

#include "detection/detection.h"
#include "simulation/simulation.h"
#include "support/tables.h"
#include "support/fixtures.h"

class SimulationRun : public FreshStart {
protected:
    std::vector<uint16_t> required;        // the required etalons, 1..20 unless a test says otherwise
    SeriesHeader* series = nullptr;        // the current series header
    RestoreErrorHeader* record = nullptr;  // the statistics record
    ChainsHeader* chains = nullptr;        // scratch chains header for direct scoring
    TrawlingContext context;               // the driver's program-state inputs
    uint16_t level = 75;                   // saved energy level, making and processing

    void SetUp() override
    {
        FreshStart::SetUp();
        buildAlphabet();
        for (uint16_t e = 1; e <= 20; e++)
            required.push_back(e);
        context.lpStreams = &streams;
    }

    void TearDown() override
    {
        freeSeriesHeader(series);
        freeRestErrHeader(record);
        freeChainsHeader(hWnd, chains);
        freeAlphabet(20, alphabet);
    }

    // Sizes the series header for N, Tmin, Tmax and lays out the grid.
    void prepare(int32_t N, uint16_t Tmin, uint16_t Tmax, std::initializer_list<int16_t> pulses,
                 std::initializer_list<int16_t> levels, int32_t repeats, uint16_t savedLevel = 75)
    {
        level = savedLevel;
        series = getCutOffSeriesHeader(hWnd, 20, 20, Tmin, Tmax, N, series);
        ASSERT_NE(series, nullptr);
        const uint16_t P = static_cast<uint16_t>(pulses.size()), L = static_cast<uint16_t>(levels.size());
        record = getRestErrHeader(hWnd, P, L, repeats, record);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(initRestErrHeader(hWnd, P, 1, 1, L, 0, 1, repeats, record), 1);
        std::copy(pulses.begin(), pulses.end(), record->wPulseValues);
        std::copy(levels.begin(), levels.end(), record->lpNoiseLevels);
    }

    int run(uint16_t taskType, uint16_t seriesType)
    {
        return statCutoffTrawling(hWnd, record, 20, alphabet, static_cast<uint16_t>(required.size()),
                                  required.data(), seriesType, taskType, level, level, series, context);
    }

    ChainsHeader* scratchChains()
    {
        if (!chains)
            chains = getChainsHeader(hWnd, 10, 30, nullptr);
        return chains;
    }

    // Every cell of the six tables, table by table, row by row.
    std::vector<int32_t> cells() const { return tableCells(record); }
};
