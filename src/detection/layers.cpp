// The layered chain searches. Each layer's predecessor minimum over the window
// [k - Tmax, k - Tmin] comes, in the fixed-count searches, from minima within
// blocks of the window's width (the vector kernels) and, in the unfixed-count
// search, from a monotone sliding minimum that keeps the lowest position among
// equal costs; either way a layer costs O(L) whatever Tmax - Tmin is. The
// fixed-count searches keep only costs: backtracking finds the positions.
//
//   [SECTION] Fixed number of pulses
//   [SECTION] Unfixed number of pulses
#include "layers.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "detection.h"

/*==========================================================================
** [SECTION] Fixed number of pulses
**========================================================================*/

void prepareFixedWork(FixedWork& w, int L, int n, int M, const int16_t* lowBounds, const int16_t* highBounds,
                      int Tmin, int Tmax)
{
    w.L = L;
    w.M = M;
    w.lo.assign(M, 0);
    w.hi.assign(M, -1);
    w.offset.assign(M + 1, 0);
    w.needed.assign(L, 0);
    for (int j = 0; j < M; j++) {
        w.lo[j] = std::max<int32_t>(lowBounds[j], 0);
        w.hi[j] = std::min<int32_t>(highBounds[j], L - n);
        const int32_t width = std::max<int32_t>(w.hi[j] - w.lo[j] + 1, 0);
        w.offset[j + 1] = w.offset[j] + width;
        for (int32_t k = w.lo[j]; k <= w.hi[j]; k++)
            w.needed[k] = 1;
    }
    w.ppDw.assign(w.offset[M], 0);
    w.cost.assign(L, 0);
    const size_t padded = static_cast<size_t>(L) + 2 * static_cast<size_t>(std::max(Tmax - Tmin, 0));
    w.padded.assign(padded, 0);
    w.ahead.assign(padded, 0);
    w.behind.assign(padded, 0);
}

namespace {

// The cheapest end of the last layer below the bound (lowest position on
// ties), then each earlier pulse the cheapest (lowest) position of its window
// from 999999999. rowOf(j) points at layer j's accumulated cost at lo[j], the
// costs of later positions follow `step` entries apart.
template <class Row>
bool chainBack(const FixedWork& w, int Tmin, int Tmax, int32_t bound, const Row& rowOf, size_t step, int32_t& cost,
               std::vector<int32_t>& positions)
{
    const int M = w.M;
    int32_t best = bound, end = -1;
    {
        const int32_t* D = rowOf(M - 1); // D[(k - lo) * step]: the cost at k
        for (int32_t k = w.lo[M - 1]; k <= w.hi[M - 1]; k++, D += step)
            if (*D < best) {
                best = *D;
                end = k;
            }
    }
    if (end < 0)
        return false;
    positions.assign(M, 0);
    positions[M - 1] = end;
    for (int j = M - 2; j >= 0; j--) {
        const int32_t c = positions[j + 1];
        int32_t least = kRecognitionBound, at = -1;
        const int32_t from = std::max(c - Tmax, w.lo[j]);
        const int32_t* D = rowOf(j) + static_cast<ptrdiff_t>(from - w.lo[j]) * static_cast<ptrdiff_t>(step);
        for (int32_t k = from; k <= std::min(c - Tmin, w.hi[j]); k++, D += step)
            if (*D < least) {
                least = *D;
                at = k;
            }
        if (at < 0)
            return false; // the chain breaks off: no admissible chain
        positions[j] = at;
    }
    cost = best;
    return true;
}

} // namespace

bool fixedChain(FixedWork& w, int Tmin, int Tmax, int32_t start, int32_t bound, int32_t& cost,
                std::vector<int32_t>& positions)
{
    const int M = w.M;
    auto row = [&](int j) { return w.ppDw.data() + w.offset[j] - w.lo[j]; }; // row(j)[k], k in lo[j]..hi[j]
    {
        int32_t* D = row(0);
        for (int32_t k = w.lo[0]; k <= w.hi[0]; k++)
            D[k] = w.cost[k];
    }
    for (int j = 1; j < M; j++) {
        assert(w.lo[j] >= 0 && w.hi[j] < w.L && w.lo[j - 1] >= 0 && w.hi[j - 1] < w.L); // windows inside the series
        fixedLayer(row(j - 1) + w.lo[j - 1], w.lo[j - 1], w.hi[j - 1], w.cost.data() + w.lo[j], w.lo[j], w.hi[j], Tmin,
                   Tmax, start, w.padded.data(), w.ahead.data(), w.behind.data(), row(j) + w.lo[j]);
    }
    return chainBack(w, Tmin, Tmax, bound, [&](int j) { return w.ppDw.data() + w.offset[j]; }, 1, cost, positions);
}

size_t fixedAcrossLimit = size_t(1) << 22; // 16 MB of rows

void prepareFixedAcross(FixedAcrossWork& a, const FixedWork& w, int count)
{
    a.stride = (static_cast<size_t>(count) + kEtalonLanes - 1) / kEtalonLanes * kEtalonLanes;
    if (w.offset[w.M] * a.stride > fixedAcrossLimit) {
        a.stride = 0;
        return;
    }
    size_t widest = 0;
    for (int j = 0; j < w.M; j++)
        widest = std::max(widest, w.offset[j + 1] - w.offset[j]);
    a.costs.assign(static_cast<size_t>(w.L) * a.stride, 0); // padding lanes stay 0
    a.rows.reset(new int32_t[w.offset[w.M] * a.stride]);
    a.ahead.reset(new int32_t[widest * a.stride]);
    a.behind.reset(new int32_t[widest * a.stride]);
}

void fixedLayersAcross(const FixedWork& w, FixedAcrossWork& a, int Tmin, int Tmax, int32_t start)
{
    const size_t S = a.stride;
    if (w.lo[0] <= w.hi[0])
        std::copy(a.costs.begin() + w.lo[0] * S, a.costs.begin() + (w.hi[0] + 1) * S, a.rows.get());
    for (int j = 1; j < w.M; j++) {
        assert(w.lo[j] >= 0 && w.hi[j] < w.L && w.lo[j - 1] >= 0 && w.hi[j - 1] < w.L); // windows inside the series
        fixedLayerAcross(a.rows.get() + w.offset[j - 1] * S, w.lo[j - 1], w.hi[j - 1], a.costs.data() + w.lo[j] * S,
                         w.lo[j], w.hi[j], Tmin, Tmax, start, S, a.ahead.get(), a.behind.get(),
                         a.rows.get() + w.offset[j] * S);
    }
}

bool fixedChainOf(const FixedWork& w, const FixedAcrossWork& a, int e, int Tmin, int Tmax, int32_t bound,
                  int32_t& cost, std::vector<int32_t>& positions)
{
    const int32_t* rows = a.rows.get() + e;
    return chainBack(w, Tmin, Tmax, bound, [&](int j) { return rows + w.offset[j] * a.stride; }, a.stride, cost,
                     positions);
}

/*==========================================================================
** [SECTION] Unfixed number of pulses
**========================================================================*/

namespace {

// Adds [first, last] clamped to 0..top unless it is empty. Bounds are 64-bit:
// Tmax * K may pass 32 bits for extreme arguments.
void addRange(PositionSet* set, int64_t first, int64_t last, int64_t top)
{
    first = std::max<int64_t>(first, 0);
    last = std::min(last, top);
    if (last < first)
        return;
    addInterval(set, static_cast<uint16_t>(first), static_cast<uint16_t>(last));
}

void markSet(const PositionSet* set, std::vector<uint8_t>& flags, uint8_t flag)
{
    for (int i = 0; i < set->wCount; i++)
        assert(set->lpTo[i] < flags.size()); // every marked position inside the series
    for (int i = 0; i < set->wCount; i++)
        for (int k = set->lpFrom[i]; k <= set->lpTo[i]; k++)
            flags[k] |= flag;
}

} // namespace

void prepareUnfixedWork(UnfixedWork& w, int L, int n, int Tmin, int Tmax, int Mmin, int Mmax)
{
    w.L = L;
    w.flags.assign(L, 0);
    w.cost.assign(L, 0);
    w.acc.assign(L, kUnfixedPredecessorStart);
    w.pred.assign(L, -2);
    w.window.assign(L, 0);
    Mmin = std::max(Mmin, 1);
    // Room for every interval added, so that none is ever dropped (with
    // Tmin = Tmax the ranges of consecutive pulses do not overlap). Touching
    // intervals are joined, so no set needs more than 32768 intervals.
    int64_t counts = 0, inner = 0;
    for (int64_t K = Mmin; K <= Mmax; K++) {
        counts++;
        inner += K - 1;
    }
    auto capacity = [](int64_t c) { return static_cast<uint16_t>(std::clamp<int64_t>(c, 1, 65535)); };
    // The three sets live for this call only; released however it ends.
    struct Sets {
        PositionSet* first = nullptr;
        PositionSet* later = nullptr;
        PositionSet* last = nullptr;
        ~Sets()
        {
            freePositionSet(first);
            freePositionSet(later);
            freePositionSet(last);
        }
    } sets;
    sets.first = getPositionSet(nullptr, capacity(counts));
    sets.later = getPositionSet(nullptr, capacity(inner));
    sets.last = getPositionSet(nullptr, capacity(counts));
    if (!sets.first || !sets.later || !sets.last)
        throw std::bad_alloc();
    PositionSet* first = sets.first;
    PositionSet* later = sets.later;
    PositionSet* last = sets.last;
    const int64_t top = L - n;
    for (int64_t K = Mmin; K <= Mmax; K++) {
        addRange(first, std::max<int64_t>(0, L - Tmax * K), std::min<int64_t>(Tmax - n, L - n - Tmin * (K - 1)), top);
        for (int64_t i = 1; i < K; i++)
            addRange(later, std::max<int64_t>(L - Tmax * (K - i), Tmin * i),
                     std::min<int64_t>(Tmax * (i + 1) - n, L - n - Tmin * (K - 1 - i)), top);
        addRange(last, std::max<int64_t>(L - Tmax, Tmin * (K - 1)), std::min<int64_t>(Tmax * K - n, L - n), top);
    }
    markSet(first, w.flags, kFirstPosition);
    markSet(later, w.flags, kLaterPosition);
    markSet(last, w.flags, kLastPosition);
}

bool unfixedChain(UnfixedWork& w, int Tmin, int Tmax, int32_t bound, int32_t& cost, std::vector<int32_t>& positions)
{
    const int L = w.L;
    const uint8_t* flags = w.flags.data();
    int32_t* acc = w.acc.data();
    int32_t* pred = w.pred.data();
    int32_t* window = w.window.data();
    std::fill(w.acc.begin(), w.acc.end(), kUnfixedPredecessorStart);
    std::fill(w.pred.begin(), w.pred.end(), -2);
    constexpr uint8_t both = kFirstPosition | kLaterPosition;

    // First only: a chain starts here.
    for (int l = 0; l < L; l++)
        if ((flags[l] & both) == kFirstPosition) {
            acc[l] = w.cost[l];
            pred[l] = -1;
        }
    // First or later, then later only; each walk sees the costs of the walks
    // before it and of its own earlier positions, every other position at
    // 99999999. A window position is pushed after it was settled.
    for (int pass = 0; pass < 2; pass++) {
        const uint8_t wanted = pass == 0 ? both : static_cast<uint8_t>(kLaterPosition);
        int head = 0, tail = 0, next = 0;
        for (int l = 0; l < L; l++) {
            if ((flags[l] & both) != wanted)
                continue;
            const int left = std::max(l - Tmax, 0), right = l - Tmin;
            assert(right < l); // the window lies inside the series, before l: its costs are settled
            for (; next <= right; next++) {
                while (tail > head && acc[window[tail - 1]] > acc[next])
                    tail--;
                window[tail++] = next;
            }
            while (head < tail && window[head] < left)
                head++;
            const bool some = head < tail;
            const int32_t least = some ? acc[window[head]] : 0;
            if (pass == 0) { // continue a chain only when that lowers the cost
                if (some && least < 0) {
                    acc[l] = w.cost[l] + least;
                    pred[l] = window[head];
                } else {
                    acc[l] = w.cost[l];
                    pred[l] = -2;
                }
            } else if (some && least < kUnfixedPredecessorStart) {
                acc[l] = w.cost[l] + least;
                pred[l] = window[head];
            } else {
                acc[l] = w.cost[l] + kUnfixedPredecessorStart;
                pred[l] = -2;
            }
        }
    }
    // The cheapest last position below the bound, the lowest on ties.
    int32_t best = bound, end = -1;
    for (int l = 0; l < L; l++)
        if ((flags[l] & kLastPosition) && acc[l] < best) {
            best = acc[l];
            end = l;
        }
    positions.clear();
    cost = best;
    if (end < 0)
        return false;
    for (int32_t p = end; p >= 0; p = pred[p])
        positions.push_back(p);
    std::reverse(positions.begin(), positions.end());
    return true;
}
