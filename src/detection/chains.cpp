// The chains header: the few cheapest chains of the last processing run, kept
// sorted as the detectors offer them, and the description of the run. One
// header in the shell, one private header per simulation; a handful of offers per run.
#include "kinds/kinds.h"
#include <cassert>
#include <algorithm>
#include <cstdio>

#include "chainstore.h"
#include "platform/allocation.h"

namespace {

const char* seriesTypeText(uint16_t code)
{
    const SeriesKind* kind = seriesKindOf(code);
    return kind ? kind->name : nullptr;
}

const char* taskText(uint16_t code)
{
    const ProcessingKind* kind = processingKindOf(code);
    return kind ? kind->chainsName : nullptr;
}

// Points the four per-chain references of every chain into the entry block.
void setReferences(ChainsHeader* h)
{
    const size_t chains = h->wMaxSize, pulses = h->wMaxPulses;
    h->distance = h->costBlock.data();
    h->pulsesQuantity = h->costBlock.data() + chains;
    int16_t** table = h->referenceTable.data();
    for (size_t list = 0; list < 4; list++)
        for (size_t c = 0; c < chains; c++)
            table[list * chains + c] = h->entryBlock.data() + (list * chains + c) * pulses;
    h->pulsesList = table;
    h->positionsList = table + chains;
    h->firstSamplesList = table + 2 * chains;
    h->lastSamplesList = table + 3 * chains;
}

} // namespace

ChainsHeader* getChainsHeader(HWND hWnd, uint16_t wChainsQuantity, uint16_t pulsesCapacity, ChainsHeader* lpOld)
{
    const char* caption = " getChainsHeader ";
    ChainsHeader* h = reuseOrMake(hWnd, lpOld, AllocSite::ChainsHeader, "Нет памяти для newChainsHeader!", caption);
    if (!h)
        return nullptr;
    if (h->wMaxSize < wChainsQuantity || h->wMaxPulses < pulsesCapacity || !h->distance) {
        const uint16_t chains = wChainsQuantity, pulses = pulsesCapacity;
        std::vector<int32_t> costs;
        std::vector<int16_t*> table;
        std::vector<int16_t> entries;
        const char* failed = nullptr;
        if (!assignFresh<int32_t>(AllocSite::ChainsCosts, costs, 2u * chains + 1u))
            failed = "Нет памяти для newChainsHeader->distance!";
        else if (!assignFresh<int16_t*>(AllocSite::ChainsTable, table, 4u * chains + 1u))
            failed = "Нет памяти для newChainsHeader->pulsesList!";
        else if (!assignFresh<int16_t>(AllocSite::ChainsEntries, entries, 4u * chains * pulses + 1u))
            failed = "Нет памяти для newChainsHeader->pulsesList[0]!";
        if (failed) {
            MessageBoxA(hWnd, failed, caption, MB_OK);
            freeChainsHeader(hWnd, h);
            return nullptr;
        }
        h->costBlock = std::move(costs);
        h->referenceTable = std::move(table);
        h->entryBlock = std::move(entries);
        h->wMaxSize = chains;
        h->wMaxPulses = pulses;
        setReferences(h);
    }
    h->wPretenders = 0;
    h->wQuanPulses = 0;
    h->wSeekingPulsesQuantity = 0;
    std::fill(h->costBlock.begin(), h->costBlock.end(), 0);
    std::fill(h->entryBlock.begin(), h->entryBlock.end(), 0);
    return h;
}

void resetChainsHeader(ChainsHeader* h, uint16_t quantity, uint16_t pulses)
{
    if (!h)
        return;
    h->wPretenders = 0;
    h->wQuanPulses = quantity;
    h->wSeekingPulsesQuantity = quantity;
    const int count = std::min(pulses, h->wMaxPulses);
    for (int c = 0; c < h->wMaxSize; c++) {
        h->distance[c] = 0;
        std::fill_n(h->pulsesList[c], count, 0);
        std::fill_n(h->positionsList[c], count, 0);
        std::fill_n(h->firstSamplesList[c], count, 0);
        std::fill_n(h->lastSamplesList[c], count, 0);
    }
}

void emptyChainsHeader(ChainsHeader* h, uint16_t quantity)
{
    if (!h)
        return;
    h->wPretenders = 0;
    h->wSeekingPulsesQuantity = 0;
    h->wQuanPulses = quantity;
}

int storeChain(ChainsHeader* h, int32_t cost, const ChainPulses& chain)
{
    if (!h)
        return -1;
    int k = 0;
    while (k < h->wPretenders && h->distance[k] <= cost) // equal costs: the one offered first stays first
        k++;
    if (k >= h->wMaxSize)
        return -1;
    const int last = std::min<int>(h->wPretenders, h->wMaxSize - 1); // a full header drops its last chain
    const size_t pulses = h->wMaxPulses;
    for (int c = last; c > k; c--) {
        h->distance[c] = h->distance[c - 1];
        h->pulsesQuantity[c] = h->pulsesQuantity[c - 1];
        std::copy_n(h->pulsesList[c - 1], pulses, h->pulsesList[c]);
        std::copy_n(h->positionsList[c - 1], pulses, h->positionsList[c]);
        std::copy_n(h->firstSamplesList[c - 1], pulses, h->firstSamplesList[c]);
        std::copy_n(h->lastSamplesList[c - 1], pulses, h->lastSamplesList[c]);
    }
    const size_t count = std::min(chain.numbers.size(), pulses); // never longer than the room per chain
    h->distance[k] = cost;
    h->pulsesQuantity[k] = static_cast<int32_t>(count);
    std::copy_n(chain.numbers.begin(), count, h->pulsesList[k]);
    std::copy_n(chain.positions.begin(), count, h->positionsList[k]);
    std::copy_n(chain.firsts.begin(), count, h->firstSamplesList[k]);
    std::copy_n(chain.lasts.begin(), count, h->lastSamplesList[k]);
    if (h->wPretenders < h->wMaxSize)
        h->wPretenders++;
    for (int c = 1; c < h->wPretenders; c++) // the held chains stay in ascending cost
        assert(h->distance[c - 1] <= h->distance[c]);
    return k;
}

void writeDetectedPulses(SeriesHeader* h, const ChainPulses& chain)
{
    const size_t count = std::min<size_t>(chain.size(), h->wPulsesCapacity);
    for (size_t i = 0; i < count; i++) {
        h->lpDetectedPositions[i] = chain.positions[i];
        h->lpDetectedNumbers[i] = chain.numbers[i];
        h->lpDetectedCutBegin[i] = chain.firsts[i];
        h->lpDetectedCutEnd[i] = chain.lasts[i];
    }
    h->wDetectedQuantity = static_cast<uint16_t>(count);
}

int addToChainsHeader(HWND hWnd, uint16_t wSeriesType, uint16_t wProcessingType, uint16_t wSavedEnergyLevel,
                      uint16_t wProcSavedEnergyLevel, ChainsHeader* lpChainsHeader)
{
    if (!lpChainsHeader) {
        MessageBoxA(hWnd, "Не определен lpChainsHeader!", " addToChainsHeader ", MB_OK);
        return 0;
    }
    lpChainsHeader->wDescription = 2;
    lpChainsHeader->wSeriesType = wSeriesType;
    lpChainsHeader->wProcessingType = wProcessingType;
    lpChainsHeader->lpTaskName = taskText(wProcessingType);
    lpChainsHeader->lpSeriesTypeName = seriesTypeText(wSeriesType);
    lpChainsHeader->wMakingSavedEnergy = wSavedEnergyLevel;
    lpChainsHeader->wProcessingSavedEnergy = wProcSavedEnergyLevel;
    return 1;
}

int freeChainsHeader(HWND, ChainsHeader* lpChainsHeader)
{
    std::unique_ptr<ChainsHeader> released(lpChainsHeader);
    return 1;
}

std::string chainsHeaderReport(const ChainsHeader* h)
{
    std::string text = "ChainsHeader:\n";
    if (!h)
        return text;
    char line[96];
    auto add = [&](const char* format, int a, int b = 0, int c = 0, int d = 0) {
        std::snprintf(line, sizeof line, format, a, b, c, d);
        text += line;
    };
    add("wMaxSize: %d\n", h->wMaxSize);
    add("wPretenders: %d\n", h->wPretenders);
    add("wMaxPulses: %d\n", h->wMaxPulses);
    add("wQuanPulses: %d\n", h->wQuanPulses);
    add("wSeekingPulsesQuantity: %d\n", h->wSeekingPulsesQuantity);
    const int held = std::min(h->wPretenders, h->wMaxSize);
    for (int c = 0; c < held; c++) {
        add(" %d.", c + 1);
        add(" %d", h->distance[c]);
        const int pulses = std::clamp<int>(h->pulsesQuantity[c], 0, h->wMaxPulses); // never past the chain's room
        for (int p = 0; p < pulses; p++)
            add(" %d (%d) [%d %d]", h->positionsList[c][p], h->pulsesList[c][p], h->firstSamplesList[c][p],
                h->lastSamplesList[c][p]);
        text += "\n";
    }
    return text;
}

void aboutChainsHeader(HWND hWnd, ChainsHeader* lpChainsHeader)
{
    // The text grows as needed: a long report is shown whole.
    const std::string text = chainsHeaderReport(lpChainsHeader);
    MessageBoxA(hWnd, text.c_str(), "aboutChainsHeader Info", MB_OK);
}
