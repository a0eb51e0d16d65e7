// Inside the detection folder: the vector kernels of the single-pulse
// detectors, compiled for every instruction set the library knows and chosen
// at run time for the processor (AVX-512, AVX2, SSE4, SSSE3 or plain code on
// x86; NEON or SVE on ARM). Every target gives the same bits: exact 32-bit
// wrap-around arithmetic, and only minima, whose value does not depend on the
// order in which ties are met.
#pragma once

#include <cstddef>
#include <cstdint>

#include "localmatch.h"

// Etalons that recognition treats together are padded to a multiple of this
// many lanes; padding lanes hold copies that are never read back.
inline constexpr int kEtalonLanes = 8;

// The cost of the local match of table entries from..to-1 (the least cost of
// any whole etalon or kept part) at every position l in first..last (n series
// samples from each are read), written to cost[l]. Same value as
// localMatchAt(table, from, to, x + l).cost.
void matchCosts(const MatchTable& table, int from, int to, const int16_t* x, int32_t first, int32_t last,
                int32_t* cost);

// The same cost of each entry e alone, written to costs[l * stride + e] for
// every entry of the table; stride >= table.count.
void matchCostsEach(const MatchTable& table, const int16_t* x, int32_t first, int32_t last, int32_t* costs,
                    size_t stride);

// The same cost of each entry at the listed positions (any order, repeats
// allowed; n samples from each are read): costs[i * stride + e] for position
// positions[i], i < count.
void matchCostsAt(const MatchTable& table, const int16_t* x, const int32_t* positions, int32_t count, int32_t* costs,
                  size_t stride);

// One layer of the fixed-count search for `stride` chains side by side (stride
// a multiple of kEtalonLanes). prev holds the previous layer's rows over
// positions prevLo..prevHi (row p - prevLo of `stride` costs); for every k in
// lo..hi, row k - lo of out becomes min(start, least of prev over
// [max(k - Tmax, prevLo), min(k - Tmin, prevHi)]) + local row k (start alone
// when that window is empty). ahead and behind hold (prevHi - prevLo + 1) *
// stride work values each.
void fixedLayerAcross(const int32_t* prev, int32_t prevLo, int32_t prevHi, const int32_t* local, int32_t lo,
                      int32_t hi, int Tmin, int Tmax, int32_t start, size_t stride, int32_t* ahead, int32_t* behind,
                      int32_t* out);

// The same layer for one chain (stride 1); padded, ahead and behind hold
// prevHi - prevLo + 2 (Tmax - Tmin) + 1 work values each.
void fixedLayer(const int32_t* prev, int32_t prevLo, int32_t prevHi, const int32_t* local, int32_t lo, int32_t hi,
                int Tmin, int Tmax, int32_t start, int32_t* padded, int32_t* ahead, int32_t* behind, int32_t* out);

// The name of the instruction set the kernels run on (the processor's best,
// or the one a test has chosen).
const char* matchKernelTarget();
