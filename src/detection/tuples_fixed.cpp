// Tuple detection and recognition with a fixed pulse count by exhaustive phase
// search: the etalon of every pulse is fixed by the tuple and the phase (the
// element of the first pulse), and the cheapest phase (and tuple) wins. Called
// per processed series and per simulation trial; O(M * L) per phase besides
// the local match, which the whole run shares.
//
//   [SECTION] One phase search
//   [SECTION] The two operations
#include <algorithm>
#include <cassert>
#include <climits>
#include <new>

#include "tuples.h"
#include "platform/allocation.h"

/*==========================================================================
** [SECTION] One phase search
**========================================================================*/

namespace {

// Work of the phase searches, taken once per call and shared by every phase
// and tuple: the pulses' ranges, one cost row per pulse over its range.
struct PhaseWork {
    int L = 0;                            // series length
    int K = 0;                            // pulses of a chain
    std::vector<int32_t> lo, hi;          // [K] each pulse's range within 0..L-n; empty when lo > hi
    std::vector<size_t> offset;           // [K + 1] start of each pulse's row in ppDw
    std::vector<int32_t> ppDw;            // cost of pulse j at s: ppDw[offset[j] + s - lo[j]]
    std::vector<const LocalMatch*> local; // [K] the match of each pulse's etalon at each position
    std::vector<int32_t> values;          // [L + Tmax] a window row: the row before, unreachable outside its range
    std::vector<int32_t> prefix, suffix;  // [L + Tmax] block minima of the window row
    std::vector<int32_t> positions;       // [K] the chain found
};

// Sizes the work for K pulses over the given ranges (64-bit bounds, clamped
// to 0..L-n) and marks the positions the searches use. Throws std::bad_alloc.
void preparePhaseWork(PhaseWork& w, int L, int n, int K, int Tmax, const std::vector<int64_t>& lo,
                      const std::vector<int64_t>& hi, std::vector<uint8_t>& needed)
{
    w.L = L;
    w.K = K;
    w.lo.assign(K, 0);
    w.hi.assign(K, -1);
    w.offset.assign(K + 1, 0);
    needed.assign(L, 0);
    for (int j = 0; j < K; j++) {
        w.lo[j] = static_cast<int32_t>(std::max<int64_t>(lo[j], 0));
        w.hi[j] = static_cast<int32_t>(std::clamp<int64_t>(hi[j], -1, L - n));
        const int32_t width = std::max<int32_t>(w.hi[j] - w.lo[j] + 1, 0);
        w.offset[j + 1] = w.offset[j] + width;
        for (int32_t s = w.lo[j]; s <= w.hi[j]; s++)
            needed[s] = 1;
    }
    w.ppDw.assign(w.offset[K], 0);
    w.local.assign(K, nullptr);
    w.values.assign(static_cast<size_t>(L) + Tmax, 0);
    w.prefix.assign(static_cast<size_t>(L) + Tmax, 0);
    w.suffix.assign(static_cast<size_t>(L) + Tmax, 0);
    w.positions.assign(K, 0);
}

// The search of one phase: pulse j uses element (phase + j) mod a. A pulse
// without a predecessor in range costs 999999 more; the chain ends at the
// cheapest position of the last range below 9999999 (lowest on ties) and is
// read back by the cheapest predecessor of each pulse, searched from
// 999999999 so that a chain whose costs passed 999999 still finds its
// pulses. False, with cost 9999999 and no pulses, when no chain ends or a
// pulse finds no predecessor.
bool phaseChain(PhaseWork& w, EtalonMatches& matches, const std::vector<int16_t>& tuple, size_t phase, int Tmin,
                int Tmax, int32_t& cost, ChainPulses& chain)
{
    const int K = w.K;
    const size_t a = tuple.size();
    for (int j = 0; j < K; j++)
        w.local[j] = etalonRow(matches, tuple[(phase + j) % a]);
    auto row = [&](int j) { return w.ppDw.data() + w.offset[j]; }; // row(j)[s - lo[j]], s in lo[j]..hi[j]
    {
        int32_t* D = row(0);
        for (int32_t s = w.lo[0]; s <= w.hi[0]; s++)
            D[s - w.lo[0]] = w.local[0][s].cost;
    }
    // The predecessor minimum of each position s is taken over the window
    // [s - Tmax, s - Tmin] of the row before, positions outside its range
    // counting as unreachable: per block of W = Tmax - Tmin + 1 positions a
    // prefix and a suffix minimum, and each window is the suffix of one block
    // joined to the prefix of the next. O(1) per position, no branches.
    const int32_t W = Tmax - Tmin + 1;
    int32_t* V = w.values.data();
    int32_t* prefix = w.prefix.data();
    int32_t* suffix = w.suffix.data();
    for (int j = 1; j < K; j++) {
        if (w.lo[j] > w.hi[j])
            continue;
        const int32_t* prev = row(j - 1);
        int32_t* D = row(j);
        const int32_t prevLo = w.lo[j - 1], prevHi = w.hi[j - 1];
        const int32_t T0 = w.lo[j] - Tmax, N = w.hi[j] - w.lo[j] + W; // V[i] stands for position T0 + i
        assert(w.lo[j] >= 0 && w.hi[j] < w.L && prevLo >= 0 && prevHi < w.L); // every window inside the series
        assert(N <= static_cast<int32_t>(w.values.size()));                  // and inside the window rows
        std::fill_n(V, N, INT32_MAX);
        const int32_t from = std::max(prevLo, T0), to = std::min(prevHi, T0 + N - 1);
        if (from <= to)
            std::copy(prev + (from - prevLo), prev + (to - prevLo) + 1, V + (from - T0));
        for (int32_t b0 = 0; b0 < N; b0 += W) {
            const int32_t b1 = std::min(b0 + W, N);
            prefix[b0] = V[b0];
            for (int32_t i = b0 + 1; i < b1; i++)
                prefix[i] = std::min(prefix[i - 1], V[i]);
            suffix[b1 - 1] = V[b1 - 1];
            for (int32_t i = b1 - 2; i >= b0; i--)
                suffix[i] = std::min(suffix[i + 1], V[i]);
        }
        const LocalMatch* local = w.local[j];
        for (int32_t u = 0; u <= w.hi[j] - w.lo[j]; u++) { // position s = lo[j] + u, window from T0 + u
            const int32_t B = std::min({suffix[u], prefix[u + W - 1], kFixedPredecessorStart});
            D[u] = B + local[w.lo[j] + u].cost;
        }
    }
    chain.clear();
    cost = kFixedAcceptBound;
    int32_t best = kFixedAcceptBound, end = -1;
    {
        const int32_t* D = row(K - 1);
        for (int32_t s = w.lo[K - 1]; s <= w.hi[K - 1]; s++)
            if (D[s - w.lo[K - 1]] < best) {
                best = D[s - w.lo[K - 1]];
                end = s;
            }
    }
    if (end < 0)
        return false;
    w.positions[K - 1] = end;
    for (int j = K - 2; j >= 0; j--) {
        const int32_t* D = row(j);
        const int32_t c = w.positions[j + 1];
        int32_t least = kRecognitionBound, at = -1;
        for (int32_t t = std::max(c - Tmax, w.lo[j]); t <= std::min(c - Tmin, w.hi[j]); t++)
            if (D[t - w.lo[j]] < least) {
                least = D[t - w.lo[j]];
                at = t;
            }
        if (at < 0)
            return false;
        w.positions[j] = at;
    }
    for (int j = 0; j < K; j++) {
        const LocalMatch& match = w.local[j][w.positions[j]];
        chain.push(match.number, static_cast<int16_t>(w.positions[j]), match.first, match.last);
    }
    cost = best;
    return true;
}

// Phases a tuple of length a is tried with: phase 0 only in mode 1, else all.
size_t phasesOf(uint16_t mode, size_t a)
{
    return mode == 1 ? 1 : a;
}

// Takes the work of a run over the given ranges; false (with the message
// whose text names the second block) when memory ran out.
bool takePhaseWork(HWND hWnd, const char* secondBlock, const PulseHeader* alphabet, const TupleSet& set,
                   uint16_t level, uint16_t Tmax, const SeriesHeader* h, const std::vector<int64_t>& lo,
                   const std::vector<int64_t>& hi, PhaseWork& w, EtalonMatches& matches)
{
    const int L = h->dwSeriesSize, n = h->wImpulseSize, K = h->wImpulseQuantity;
    if (!tryAllocate(AllocSite::TuplePhaseWork, [&] { preparePhaseWork(w, L, n, K, Tmax, lo, hi, matches.needed); })) {
        MessageBoxA(hWnd, "Нет памяти для ppDw!", nullptr, MB_OK);
        return false;
    }
    if (!tryAllocate(AllocSite::TupleMatches, [&] { prepareEtalonMatches(matches, alphabet, set, level, h); })) {
        MessageBoxA(hWnd, secondBlock, nullptr, MB_OK);
        return false;
    }
    return true;
}

} // namespace

/*==========================================================================
** [SECTION] The two operations
**========================================================================*/

int32_t detectFixedTuples(HWND hWnd, PulseHeader* Alphabet, int32_t wSelectedSubsetLength,
                          const int32_t* selectedSubset, uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                          uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat, ChainsHeader* lpChainsHeader,
                          SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    bDebugRepeat = 0; // no step reports in the phase search
    TupleSet set;
    const TupleCheck check = checkTupleInput(hWnd, " detectFixedTuples ", Alphabet, &wSelectedSubsetLength,
                                             &selectedSubset, 1, false, wTmin, wTmax, false, h, set);
    if (check != kTuplesUsable)
        return tupleEarlyAnswer(check, false, false, lpChainsHeader, h);
    const int M = h->wImpulseQuantity;
    resetChainsHeader(lpChainsHeader, static_cast<uint16_t>(M), static_cast<uint16_t>(M));
    // Pulse j of M within the series: at most Tmax after the start (or the
    // pulse before), at least Tmin after the pulse before, with room behind it.
    const int64_t L = h->dwSeriesSize, n = h->wImpulseSize;
    std::vector<int64_t> lo(M), hi(M);
    for (int64_t j = 0; j < M; j++) {
        lo[j] = j == 0 ? std::max<int64_t>(L - int64_t{wTmax} * M, 0)
                       : std::max<int64_t>(L - int64_t{wTmax} * (M - j), int64_t{wTmin} * j);
        hi[j] = std::min<int64_t>(int64_t{wTmax} * (j + 1) - n, L - n - int64_t{wTmin} * (M - 1 - j));
    }
    PhaseWork w;
    EtalonMatches matches;
    if (!takePhaseWork(hWnd, "Нет памяти для ppDw[m]!", Alphabet, set, wProcSavedEnergyLevel, wTmax, h, lo, hi, w, matches))
        return 0;
    const std::vector<int16_t>& tuple = set.tuples[0];
    int32_t bestCost = kFixedAcceptBound;
    size_t bestPhase = 0;
    ChainPulses chain, best;
    for (size_t phase = 0; phase < phasesOf(wSubsetProceeding, tuple.size()); phase++) {
        int32_t cost = 0;
        const bool found = phaseChain(w, matches, tuple, phase, wTmin, wTmax, cost, chain);
        storeChain(lpChainsHeader, cost, chain);
        if (found && cost < bestCost) { // strictly cheaper: phase 0 wins ties
            bestCost = cost;
            bestPhase = phase;
            best = chain;
        }
    }
    // No phase below 9999999: nothing was detected, so nothing is claimed.
    if (best.size() > 0)
        writeTupleResult(h, best, static_cast<int64_t>(tuple.size() - bestPhase), tuple.size());
    else
        emptyTupleResult(h);
    if (lpChainsHeader)
        lpChainsHeader->wSeekingPulsesQuantity = h->wDetectedQuantity;
    return 1;
}

int32_t recognizeFixedTuples(HWND hWnd, PulseHeader* Alphabet, const int32_t* selectedSubsetArraySize,
                             const int32_t* const* selectedSubsetArray, int32_t wReservedSubsetsUsed,
                             uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                             uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat, ChainsHeader* lpChainsHeader,
                             SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    bDebugRepeat = 0; // no step reports in the phase search
    TupleSet set;
    const TupleCheck check = checkTupleInput(hWnd, " recognizeFixedTuples ", Alphabet, selectedSubsetArraySize,
                                             selectedSubsetArray, wReservedSubsetsUsed, true, wTmin, wTmax, false, h,
                                             set);
    if (check != kTuplesUsable)
        return tupleEarlyAnswer(check, true, false, lpChainsHeader, h);
    const int M = h->wImpulseQuantity;
    resetChainsHeader(lpChainsHeader, static_cast<uint16_t>(M), static_cast<uint16_t>(M));
    std::vector<int64_t> lo(h->lpLowBounds, h->lpLowBounds + M), hi(h->lpHighBounds, h->lpHighBounds + M);
    PhaseWork w;
    EtalonMatches matches;
    if (!takePhaseWork(hWnd, "Нет памяти для ppDw[]!", Alphabet, set, wProcSavedEnergyLevel, wTmax, h, lo, hi, w, matches))
        return 0;
    int32_t bestCost = kFixedAcceptBound, winner = 0;
    size_t bestPhase = 0;
    ChainPulses chain, best;
    for (size_t t = 0; t < set.tuples.size(); t++) {
        const std::vector<int16_t>& tuple = set.tuples[t];
        for (size_t phase = 0; phase < phasesOf(wSubsetProceeding, tuple.size()); phase++) {
            int32_t cost = 0;
            const bool found = phaseChain(w, matches, tuple, phase, wTmin, wTmax, cost, chain);
            storeChain(lpChainsHeader, cost, chain);
            if (found && cost < bestCost) { // strictly cheaper: the earlier tuple and phase win ties
                bestCost = cost;
                bestPhase = phase;
                winner = static_cast<int32_t>(t + 1);
                best = chain;
            }
        }
    }
    if (winner > 0) {
        const size_t a = set.tuples[winner - 1].size();
        writeTupleResult(h, best, static_cast<int64_t>(a - bestPhase), static_cast<int64_t>(a));
    } else {
        emptyTupleResult(h);
    }
    h->wRecognizedTuple = static_cast<int16_t>(winner);
    if (lpChainsHeader)
        lpChainsHeader->wSeekingPulsesQuantity = h->wDetectedQuantity;
    return winner;
}
