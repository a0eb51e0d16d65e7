// The program state's one instance, its start-up derivation and the small
// rules every command applies to it (processing type, pulse-count bounds,
// required list, whole-pulse levels, etalon sequence growth).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "shell/state.h"

ProgramState gState;

int32_t chosenLevel(const LevelTable& table)
{
    int32_t i = table.index - 1;
    if (i < 0 || i >= table.count)
        i = 0;
    return table.values[i];
}

void deriveStartDefaults()
{
    ProgramState& s = gState;
    s.dwNextSeriesLength = static_cast<uint32_t>(chosenLevel(s.SeriesLengthTable));
    s.dwSeriesLength = s.dwNextSeriesLength;
    s.wNextNoiseLevel = static_cast<int16_t>(chosenLevel(s.NoiseLevelTable));
    s.wNoiseLevel = s.wNextNoiseLevel;
    s.wNextLostDataLevel = static_cast<int16_t>(chosenLevel(s.LostDataLevelTable));
    s.wLostDataLevel = s.wNextLostDataLevel;
    s.wNextSavedEnergyLevel = static_cast<int16_t>(100 - s.wLostDataLevel);
    s.wSavedEnergyLevel = static_cast<uint16_t>(s.wNextSavedEnergyLevel);
    s.wNextProcSavedEnergyLevel = static_cast<int16_t>(100 - s.wLostDataLevel);
    s.wProcSavedEnergyLevel = static_cast<uint16_t>(s.wNextProcSavedEnergyLevel);
    s.wSelectedEtalon = s.wEtalonNumber;
}

void resetProgramState()
{
    gState = ProgramState();
    deriveStartDefaults();
}

void rebuildRequiredList()
{
    ProgramState& s = gState;
    if (!s.lpRequiredList || s.wRequiredCapacity < s.wAlphabetSize) {
        // Room for every etalon, so that selecting all never overflows.
        s.lpRequiredList = getRequiredList(nullptr, s.wAlphabetSize, s.lpRequiredList);
        s.wRequiredCapacity = s.lpRequiredList ? s.wAlphabetSize : 0;
        if (!s.lpRequiredList) {
            s.wRequiredQuantity = 0;
            return;
        }
    }
    uint16_t c = 0;
    for (uint16_t k = 0; k < s.wAlphabetSize && k < kAlphabetCapacity; k++)
        if (s.EtalonSelected[k] == 1)
            s.lpRequiredList[c++] = static_cast<uint16_t>(k + 1);
    s.wRequiredQuantity = c;
}

void forceWholePulses()
{
    ProgramState& s = gState;
    s.LostDataLevelTable.index = 1;
    s.wNextLostDataLevel = 0;
    s.wLostDataLevel = 0;
    s.wNextSavedEnergyLevel = 100;
    s.wSavedEnergyLevel = 100;
    s.wNextProcSavedEnergyLevel = 100;
    s.wProcSavedEnergyLevel = 100;
    s.wNewSavedEnergy = 100;
    s.wNewProcSavedEnergy = 100;
}

bool growSequence(uint16_t*& block, uint16_t& capacity, uint16_t count)
{
    if (block && capacity >= count)
        return true;
    void* grown = std::realloc(block, std::max<size_t>(count, 1) * sizeof(uint16_t));
    if (!grown)
        return false;
    block = static_cast<uint16_t*>(grown);
    capacity = std::max(capacity, count);
    return true;
}

bool growEtalonSequence(uint16_t count)
{
    ProgramState& s = gState;
    const uint16_t before = s.wEtalonSequenceCapacity;
    if (!growSequence(s.lpEtalonSequence, s.wEtalonSequenceCapacity, count))
        return false;
    for (uint16_t i = before; i < count; i++)
        s.lpEtalonSequence[i] = static_cast<uint16_t>(s.wEtalonNumber);
    return true;
}

std::vector<const int32_t*> subsetRows()
{
    const ProgramState& s = gState;
    std::vector<const int32_t*> rows;
    for (int32_t k = 0; k < s.wReservedSubsets && s.selectedSubsetArray; k++)
        rows.push_back(s.selectedSubsetArray + static_cast<size_t>(k) * (s.wPossibleSubsetCapacity + 1));
    rows.push_back(nullptr);
    return rows;
}
