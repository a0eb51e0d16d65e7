// Inside the detection folder: how the detectors reset the chains header and
// offer it their chains. Used by the single-pulse detectors and the tuple
// detectors; one reset and a few offers per processing run.
#pragma once

#include <cstdint>
#include <vector>

#include "detection.h"

// One chain's pulses, in order of position; the four lists have one length.
struct ChainPulses {
    std::vector<int16_t> numbers;   // etalon number of each pulse, 1-based
    std::vector<int16_t> positions; // series position of each pulse (etalon sample 0)
    std::vector<int16_t> firsts;    // first etalon sample matched, 0..n-1
    std::vector<int16_t> lasts;     // last etalon sample matched, 0..n-1

    void clear()
    {
        numbers.clear();
        positions.clear();
        firsts.clear();
        lasts.clear();
    }
    void push(int16_t number, int16_t position, int16_t first, int16_t last)
    {
        numbers.push_back(number);
        positions.push_back(position);
        firsts.push_back(first);
        lasts.push_back(last);
    }
    size_t size() const { return numbers.size(); }
};

// The reset a detector does at the start of a run: no chains held, sought and
// held quantity `quantity`, every cost 0 and the first `pulses` entries of
// every per-chain array 0 (never more than the room per chain). None: nothing.
void resetChainsHeader(ChainsHeader* h, uint16_t quantity, uint16_t pulses);

// Emptied without clearing the arrays: no chains held, none sought, held
// quantity `quantity`.
void emptyChainsHeader(ChainsHeader* h, uint16_t quantity);

// Offers a chain: it goes in front of the first held chain that costs strictly
// more, or behind the last; a full header drops its last chain, and a chain
// that would land past the end is not kept. A chain longer than the room per
// chain keeps its first wMaxPulses pulses. Returns the place taken, -1 when
// not kept (or no header).
int storeChain(ChainsHeader* h, int32_t cost, const ChainPulses& chain);

// Writes a chain, in order of position, as the series result: the detected
// pulses (at most the series' room for pulses) and wDetectedQuantity.
void writeDetectedPulses(SeriesHeader* h, const ChainPulses& chain);
