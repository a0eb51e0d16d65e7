// The six tables of a simulation record as one list, to compare two runs.
#pragma once

#include <cstdint>
#include <vector>

#include "simulation/simulation.h"

// Every cell of the six tables, table by table, row by row.
inline std::vector<int32_t> tableCells(const RestoreErrorHeader* r)
{
    std::vector<int32_t> out;
    for (int t = 0; t < kErrorTables; t++)
        for (int k = 0; k < r->wNoiseLevels; k++)
            for (int j = 0; j < r->wVariousPulses; j++)
                out.push_back(r->lpErrors[t][k][j]);
    return out;
}
