// Inside the detection folder: the layered chain searches behind the detectors,
// a fixed number of layers over each pulse's range and the unfixed-count
// search over the first, later and last pulse positions. O(L) per layer; the
// recognisers run them once per listed etalon.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "localmatch.h"
#include "matchkernels.h"

// Start values and acceptance bounds of the layered searches.
inline constexpr int32_t kFixedPredecessorStart = 999999;     // fixed detection: no predecessor costs this much
inline constexpr int32_t kFixedAcceptBound = 9999999;         // fixed detection: chain ends must cost less
inline constexpr int32_t kRecognitionBound = 999999999;       // recognition start and bound; backtracking start
inline constexpr int32_t kUnfixedPredecessorStart = 99999999; // unfixed: later-only start; positions never reached
inline constexpr int32_t kUnfixedAcceptBound = 9999999;       // unfixed detection bound; unfixed recognition winners

// Work memory of the fixed-count search, taken once per call: one cost row per
// layer over that layer's range, the local match cost per position, the block
// minima of one layer.
struct FixedWork {
    int L = 0;                     // series length
    int M = 0;                     // layers (pulses)
    std::vector<int32_t> lo, hi;   // [M] each layer's range within 0..L-n; empty when lo > hi
    std::vector<size_t> offset;    // [M + 1] start of each layer's row in ppDw
    std::vector<int32_t> ppDw;     // accumulated cost of layer j at k: ppDw[offset[j] + k - lo[j]]
    std::vector<int32_t> cost;     // [L] local match cost at each position of some range
    std::vector<uint8_t> needed;   // [L] 1 where some layer's range holds the position
    std::vector<int32_t> padded;   // [L + 2 (Tmax - Tmin)] one layer's row between padding
    std::vector<int32_t> ahead;    // [as padded] its block minima
    std::vector<int32_t> behind;   // [as padded]
};

// Sizes the work for M layers with the given position bounds (clamped to
// 0..L-n) and distances Tmin..Tmax. Throws std::bad_alloc when memory runs out.
void prepareFixedWork(FixedWork& w, int L, int n, int M, const int16_t* lowBounds, const int16_t* highBounds,
                      int Tmin, int Tmax);

// The fixed-count search over w.cost: predecessors at distance Tmin..Tmax in
// the previous layer's range, at least `start` less; the end of the last layer
// cheaper than `bound` (lowest position on ties); then backtracking from
// 999999999. False when no chain end exists or a pulse finds no predecessor;
// otherwise the end cost and the M positions.
bool fixedChain(FixedWork& w, int Tmin, int Tmax, int32_t start, int32_t bound, int32_t& cost,
                std::vector<int32_t>& positions);

// Work memory of the fixed-count searches of several etalons side by side (the
// recognisers'), over the layers of a FixedWork: chain e in lane e of each row.
struct FixedAcrossWork {
    size_t stride = 0;             // lanes per row: the etalons rounded up to kEtalonLanes
    std::vector<int32_t> costs;    // [L * stride] local match cost of each etalon at each position
    // Uninitialised: every entry is written before it is read.
    std::unique_ptr<int32_t[]> rows;   // [offset[M] * stride] accumulated cost of layer j at k, as ppDw
    std::unique_ptr<int32_t[]> ahead;  // [widest range * stride] block minima of a layer's search
    std::unique_ptr<int32_t[]> behind; // [widest range * stride]
};

// Most row entries (stride times the layers' positions) the side-by-side
// searches take; past it the recognisers search one etalon after another, in
// the memory of one. Tests lower it.
extern size_t fixedAcrossLimit;

// Sizes the side-by-side work of `count` etalons over w's layers; stride 0 and
// nothing taken past fixedAcrossLimit. Throws std::bad_alloc when memory runs out.
void prepareFixedAcross(FixedAcrossWork& a, const FixedWork& w, int count);

// The fixed-count search of every etalon over a.costs at once, with the
// arguments of fixedChain; false, or true with etalon e's cost and positions.
void fixedLayersAcross(const FixedWork& w, FixedAcrossWork& a, int Tmin, int Tmax, int32_t start);
bool fixedChainOf(const FixedWork& w, const FixedAcrossWork& a, int e, int Tmin, int Tmax, int32_t bound,
                  int32_t& cost, std::vector<int32_t>& positions);

// Position flags of the unfixed-count search.
enum : uint8_t {
    kFirstPosition = 1, // may hold the first pulse of a chain of some admissible count
    kLaterPosition = 2, // may hold a later pulse
    kLastPosition = 4,  // may hold the last pulse
};

// Work memory of the unfixed-count search: O(L).
struct UnfixedWork {
    int L = 0;                     // series length, at most 65535
    std::vector<uint8_t> flags;    // [L] kFirstPosition | kLaterPosition | kLastPosition
    std::vector<int32_t> cost;     // [L] local match cost at each first or later position
    std::vector<int32_t> acc;      // [L] accumulated cost; 99999999 where never reached
    std::vector<int32_t> pred;     // [L] predecessor position; -1 first only, -2 fresh start
    std::vector<int32_t> window;   // [L] the sliding minimum's positions
};

// Sizes the work and marks the positions that a chain of Mmin..Mmax pulses can
// use, built as position sets large enough for every interval. Throws
// std::bad_alloc when memory runs out.
void prepareUnfixedWork(UnfixedWork& w, int L, int n, int Tmin, int Tmax, int Mmin, int Mmax);

// The unfixed-count search over w.cost. True when the cheapest last position
// costs less than `bound`; then its cost and the chain's positions read back
// through the predecessors. False: cost = bound and no positions.
bool unfixedChain(UnfixedWork& w, int Tmin, int Tmax, int32_t bound, int32_t& cost,
                  std::vector<int32_t>& positions);
