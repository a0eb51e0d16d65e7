// A literal, slow model of the four tuple detectors for the differential tests
// and the benchmark: five tables per layer, position sets built and combined
// interval by interval, the O(n^3) local match recomputed for every layer,
// phase and tuple, every predecessor window scanned in full. Valid input only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "reference.h"

namespace tuples_reference {

// The inputs every tuple detector reads.
struct Input {
    const PulseHeader* alphabet;             // entry k - 1 is etalon k
    std::vector<std::vector<int32_t>> tuples; // the tuples (the detectors use the first)
    int phaseMode;                           // 1: phase 0 only; else every phase (fixed counts)
    int Tmin, Tmax;                          // distance bounds, 1 <= Tmin <= Tmax
    int level;                               // processing saved energy level, percent
    int maxChains;                           // room for chains in the chains header
    bool debug;                              // the one-shot debugging flag is set
    const SeriesHeader* series;              // a built series
};

// What a tuple detector leaves behind.
struct Outcome {
    int32_t value = 0;                       // the operation's result
    std::vector<reference::Pulse> detected;  // the series result (wDetectedQuantity pulses)
    std::vector<std::pair<int, int>> tuples; // first and last pulse (1-based) of each detected tuple
    int recognized = 0;                      // wRecognizedTuple (recognition only)
    std::vector<reference::Chain> chains;    // chains held, in order
    uint16_t quanPulses = 0;                 // wQuanPulses after the run
    uint16_t seekingPulses = 0;              // wSeekingPulsesQuantity after the run
    std::vector<std::string> reports;        // texts of the step reports shown, in order
    bool operator==(const Outcome&) const = default;
};

Outcome detectUnfixed(const Input& in);
Outcome recognizeUnfixed(const Input& in);
Outcome detectFixed(const Input& in);
Outcome recognizeFixed(const Input& in);

} // namespace tuples_reference
