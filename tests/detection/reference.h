// A literal, slow model of the four single-pulse detectors for the differential
// tests and the benchmark: the O(n^3) local match recomputed for every layer,
// a full window scan for every predecessor, plain position flags. Valid input only.
#pragma once

#include <cstdint>
#include <vector>

#include "synthesis/synthesis.h"

namespace reference {

struct Pulse {
    int16_t position; // series position of etalon sample 0
    int16_t number;   // etalon number, 1-based
    int16_t first;    // first matched sample
    int16_t last;     // last matched sample
    bool operator==(const Pulse&) const = default;
};

struct Chain {
    int32_t cost;              // chain cost
    std::vector<Pulse> pulses; // in order of position
    bool operator==(const Chain&) const = default;
};

// What a detector leaves behind.
struct Outcome {
    int32_t value = 0;                // the operation's result
    std::vector<Pulse> detected;      // the series result (wDetectedQuantity pulses)
    std::vector<Chain> chains;        // chains held, in order
    uint16_t quanPulses = 0;          // wQuanPulses after the run
    uint16_t seekingPulses = 0;       // wSeekingPulsesQuantity after the run
};

// The inputs every detector reads.
struct Input {
    const PulseHeader* alphabet;      // entry k - 1 is etalon k
    std::vector<uint16_t> list;       // etalon numbers, 1..20
    int Tmin, Tmax;                   // distance bounds, 1 <= Tmin <= Tmax
    int level;                        // processing saved energy level, percent
    int maxChains;                    // room for chains in the chains header
    const SeriesHeader* series;       // a built series
};

Outcome detectFixed(const Input& in);
Outcome detectUnfixed(const Input& in);
Outcome recognizeFixed(const Input& in);
Outcome recognizeUnfixed(const Input& in);

// The literal local match of the listed etalons at position l (cost, number, first, last).
Pulse localMatch(const Input& in, const std::vector<uint16_t>& etalons, int l, int32_t& cost);

} // namespace reference
