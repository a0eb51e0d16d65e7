// Inside the detection folder: the local match of the layered detectors, the
// cheapest etalon (or kept part of one) at a series position, in O(n) per
// position and etalon. The tuple detectors call it once per position (and
// etalon) of a run: L * etalons calls; the single-pulse detectors take the
// costs from the vector kernels (matchkernels.h) and call it at the positions
// of their chain only.
#pragma once

#include <cstdint>
#include <vector>

#include "synthesis/synthesis.h"

inline constexpr int kMaxEtalonNumber = kAlphabetCapacity; // etalon numbers run 1..20

// The etalons of one run with what the local match needs of each: partial
// energies, the cut-off threshold, and for every first sample the least last
// sample whose part holds more than the threshold.
struct MatchTable {
    uint16_t n = 0;                      // etalon length in samples, >= 1
    uint16_t count = 0;                  // etalons in the table (the list's length)
    std::vector<int16_t> numbers;        // [count] etalon number of each entry, 1-based
    std::vector<const int16_t*> samples; // [count] the etalon's n samples (alphabet storage)
    std::vector<int32_t> wide;           // [count][n] the same samples as 32-bit values (vector broadcasts)
    std::vector<int32_t> energies;       // [count][n + 1] E[i] = sum of s[k]^2 for k < i
    std::vector<int32_t> thresholds;     // [count] E[n] * level / 100, truncated
    std::vector<int16_t> firstEnd;       // [count][n] least i2 >= i1 with E[i2+1] - E[i1] > thr; n when none
    std::vector<int16_t> lastStart;      // [count] greatest i1 that has a qualifying part; -1 when none
    std::vector<int16_t> leastEnd;       // [count] least firstEnd over i1 = 0..lastStart; n when none
    mutable std::vector<int32_t> scratch; // [3 * (n + 1)] work rows of localMatchAt (one thread per table)
    mutable std::vector<int32_t> block;   // [(3 (n + 1) + 3) * kMatchBlock] work rows of localMatchRange, or none
    mutable std::vector<int32_t> lanes;   // [(3 n + 3) * kMatchLanes] work rows of the vector kernels
    mutable std::vector<int16_t> tail;    // [n + kMatchLanes] zero-padded samples of a last, partial block
};

// Positions that localMatchRange treats together (their rows stay in cache).
inline constexpr int kMatchBlock = 128;

// Most positions a vector kernel treats together (the lanes of one vector).
inline constexpr int kMatchLanes = 16;

// The cheapest candidate at one position: its cost, etalon and kept samples.
struct LocalMatch {
    int32_t cost;    // sum over i = first..last of s[i] * (s[i] - 2 x[position + i])
    int16_t number;  // etalon number, 1-based
    int16_t first;   // first etalon sample matched, 0..n-1
    int16_t last;    // last etalon sample matched, first..n-1
};

// Fills the table for the listed etalons at the processing saved energy level
// (percent). The caller has checked the list and that every listed etalon has
// at least n samples. Without `blockRows` localMatchRange cannot use the table
// (the vector kernels and localMatchAt can).
void prepareMatchTable(MatchTable& table, const PulseHeader* alphabet, uint16_t count, const uint16_t* list,
                       uint16_t n, uint16_t level, bool blockRows = true);

// The local match of table entries from..to-1 at the series samples x (x[0] is
// the series sample at the position; n samples are read). Candidates in the
// order: entries in order; each whole etalon, then its parts (i1 ascending,
// then i2 ascending); a later candidate wins only when strictly cheaper.
LocalMatch localMatchAt(const MatchTable& table, int from, int to, const int16_t* x);

// The same local match for every position l in first..last (0-based series
// positions; n samples of x from each are read), written to out[l]. Works on
// blocks of positions at once, one sample row after another, so that the
// compiler can use vector instructions; same result as localMatchAt.
void localMatchRange(const MatchTable& table, int from, int to, const int16_t* x, int32_t first, int32_t last,
                     LocalMatch* out);
