// The program state's one instance, its start-up derivation and the small
// rules every command applies to it (processing type, pulse-count bounds,
// required list, whole-pulse levels, etalon sequence growth).
#include <algorithm>
#include <cstring>

#include "platform/allocation.h"
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

namespace {

// Grows the sequence `view` shows (stored in `store`) to at least `count`
// entries, keeping its contents (the new ones 0) and raising `capacity`; a
// sequence large enough stays. False when out of memory, all three unchanged.
bool growSequence(AllocSite site, std::vector<uint16_t>& store, uint16_t*& view, uint16_t& capacity, uint16_t count)
{
    if (view && capacity >= count)
        return true;
    std::vector<uint16_t> grown;
    if (!assignFresh<uint16_t>(site, grown, std::max<size_t>({count, capacity, 1})))
        return false;
    if (view)
        std::copy_n(view, std::min<size_t>(capacity, grown.size()), grown.begin());
    store.swap(grown);
    view = store.data();
    capacity = std::max(capacity, count);
    return true;
}

// A fresh sequence of `count` entries (at least one) of `etalon`; false when
// out of memory, the view then null.
bool makeSequence(AllocSite site, std::vector<uint16_t>& store, uint16_t*& view, uint16_t count, uint16_t etalon)
{
    view = nullptr;
    store = std::vector<uint16_t>();
    if (!assignFresh(site, store, std::max<size_t>(count, 1), etalon))
        return false;
    view = store.data();
    return true;
}

} // namespace

bool makeEtalonSequences(uint16_t count)
{
    ProgramState& s = gState;
    const uint16_t etalon = static_cast<uint16_t>(s.wEtalonNumber);
    const bool made = makeSequence(AllocSite::EtalonSequence, s.etalonSequenceStore, s.lpEtalonSequence, count, etalon);
    return makeSequence(AllocSite::NewEtalonSequence, s.newEtalonSequenceStore, s.lpNewEtalonSequence, count,
                        etalon) &&
           made;
}

void releaseEtalonSequences()
{
    ProgramState& s = gState;
    s.etalonSequenceStore = std::vector<uint16_t>();
    s.newEtalonSequenceStore = std::vector<uint16_t>();
    s.lpEtalonSequence = s.lpNewEtalonSequence = nullptr;
    s.wEtalonSequenceCapacity = s.wNewEtalonSequenceCapacity = 0;
}

bool growNewEtalonSequence(uint16_t count)
{
    ProgramState& s = gState;
    return growSequence(AllocSite::NewEtalonSequence, s.newEtalonSequenceStore, s.lpNewEtalonSequence,
                        s.wNewEtalonSequenceCapacity, count);
}

bool growEtalonSequence(uint16_t count)
{
    ProgramState& s = gState;
    const uint16_t before = s.wEtalonSequenceCapacity;
    if (!growSequence(AllocSite::EtalonSequence, s.etalonSequenceStore, s.lpEtalonSequence, s.wEtalonSequenceCapacity,
                      count))
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
