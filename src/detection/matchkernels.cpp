// The vector kernels of the single-pulse detectors, one copy per instruction
// set (this file is compiled once per target through foreach_target.h), and
// the entry points that pick the copy for the processor at run time.
//
// Local match: a vector holds consecutive positions; for each etalon the
// prefix costs P[k] go up the samples, the suffix minima come down from P[n]
// and each first sample's part is one subtraction and one minimum. Fixed
// layers: a vector holds the chains of consecutive etalons; the window minimum
// of every position is min(behind[a], ahead[b]), from the minima within
// blocks of the window's width (each window spans at most two blocks).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "detection/matchkernels.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>

#include "detection/matchkernels.h"

HWY_BEFORE_NAMESPACE();
namespace pulsebench {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using PositionTag = hn::CappedTag<int32_t, kMatchLanes>;
using EtalonTag = hn::CappedTag<int32_t, kEtalonLanes>;

// Twice the series samples at the block's positions, one row of lanes per
// etalon sample: x2[k * N + b] = 2 x[b + k].
void doubledRows(PositionTag d, const int16_t* x, int n, int32_t* x2)
{
    const hn::Rebind<int16_t, PositionTag> d16;
    const size_t N = hn::Lanes(d);
    for (int k = 0; k < n; k++) {
        const auto v = hn::PromoteTo(d, hn::LoadU(d16, x + k));
        hn::StoreU(hn::Add(v, v), d, x2 + k * N);
    }
}

// The cost of entry e at the block's positions: P holds n + 1 rows.
hn::Vec<PositionTag> entryCost(PositionTag d, const MatchTable& table, int e, const int32_t* x2, int32_t* P)
{
    const int n = table.n;
    const size_t N = hn::Lanes(d);
    const int32_t* s = &table.wide[static_cast<size_t>(e) * n];
    const int lastStart = table.lastStart[e];
    // Only the rows that parts read are kept: starts 0..lastStart, ends from
    // the least end + 1 up (none but the whole etalon when no part qualifies).
    const int keepBelow = lastStart + 1, keepFrom = lastStart >= 0 ? table.leastEnd[e] + 1 : n + 1;
    auto p = hn::Zero(d);
    hn::StoreU(p, d, P);
    auto step = [&](int k) {
        const auto sk = hn::Set(d, s[k]);
        p = hn::Add(p, hn::Mul(sk, hn::Sub(sk, hn::LoadU(d, x2 + k * N))));
    };
    int k = 0;
    for (; k < n && k + 1 < keepBelow; k++) {
        step(k);
        hn::StoreU(p, d, P + (k + 1) * N);
    }
    for (; k < n && k + 1 < keepFrom; k++)
        step(k);
    for (; k < n; k++) {
        step(k);
        hn::StoreU(p, d, P + (k + 1) * N);
    }
    auto cost = p; // the whole etalon
    if (lastStart < 0)
        return cost;
    // First samples from the last down: the ends they need only move down
    // too (firstEnd grows with i1), so one running suffix minimum serves all.
    const int16_t* firstEnd = &table.firstEnd[static_cast<size_t>(e) * n];
    auto b = p;
    k = n; // b = least of P[k..n]
    for (int i1 = lastStart; i1 >= 0; i1--) {
        const int end = firstEnd[i1];
        if (end >= n)
            continue;
        for (; k > end + 1; k--)
            b = hn::Min(b, hn::LoadU(d, P + (k - 1) * N));
        cost = hn::Min(cost, hn::Sub(b, hn::LoadU(d, P + i1 * N)));
    }
    return cost;
}

// The kernels' work rows, from the first address on a 64-byte line: a row of
// 16 lanes then never straddles two lines.
int32_t* workRows(const MatchTable& table)
{
    const uintptr_t at = reinterpret_cast<uintptr_t>(table.lanes.data());
    return reinterpret_cast<int32_t*>((at + 63) & ~uintptr_t{63});
}

// Calls visit(base, count, x2) for every block of positions in first..last;
// the last block reads a zero-padded copy of its samples.
template <class Visit>
void forEachBlock(PositionTag d, const MatchTable& table, const int16_t* x, int32_t first, int32_t last,
                  const Visit& visit)
{
    const int n = table.n;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    int32_t* x2 = workRows(table);
    for (int32_t base = first; base <= last; base += N) {
        const int32_t count = std::min(N, last - base + 1);
        const int16_t* xs = x + base;
        if (count < N) {
            int16_t* pad = table.tail.data();
            std::fill(pad, pad + N + n, int16_t{0});
            std::memcpy(pad, xs, (count + n - 1) * sizeof(int16_t));
            xs = pad;
        }
        doubledRows(d, xs, n, x2);
        visit(base, count, x2);
    }
}

void MatchCosts(const MatchTable& table, int from, int to, const int16_t* x, int32_t first, int32_t last,
                int32_t* cost)
{
    const PositionTag d;
    const size_t N = hn::Lanes(d);
    int32_t* P = workRows(table) + table.n * N;
    HWY_ALIGN int32_t lanes[kMatchLanes];
    forEachBlock(d, table, x, first, last, [&](int32_t base, int32_t count, const int32_t* x2) {
        auto least = entryCost(d, table, from, x2, P);
        for (int e = from + 1; e < to; e++)
            least = hn::Min(least, entryCost(d, table, e, x2, P));
        hn::StoreU(least, d, lanes);
        std::copy(lanes, lanes + count, cost + base);
    });
}

void MatchCostsEach(const MatchTable& table, const int16_t* x, int32_t first, int32_t last, int32_t* costs,
                    size_t stride)
{
    const PositionTag d;
    const size_t N = hn::Lanes(d);
    int32_t* P = workRows(table) + table.n * N;
    HWY_ALIGN int32_t lanes[kMatchLanes];
    forEachBlock(d, table, x, first, last, [&](int32_t base, int32_t count, const int32_t* x2) {
        for (int e = 0; e < table.count; e++) {
            hn::StoreU(entryCost(d, table, e, x2, P), d, lanes);
            for (int32_t b = 0; b < count; b++)
                costs[(base + b) * stride + e] = lanes[b];
        }
    });
}

void MatchCostsAt(const MatchTable& table, const int16_t* x, const int32_t* positions, int32_t count,
                  int32_t* costs, size_t stride)
{
    const PositionTag d;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    const int n = table.n;
    int32_t* x2 = workRows(table);
    int32_t* P = x2 + n * N;
    HWY_ALIGN int32_t lanes[kMatchLanes];
    for (int32_t first = 0; first < count; first += N) {
        const int32_t m = std::min(N, count - first); // lane b: position positions[first + b]
        for (int k = 0; k < n; k++)
            for (int32_t b = 0; b < N; b++)
                x2[k * N + b] = b < m ? 2 * x[positions[first + b] + k] : 0;
        for (int e = 0; e < table.count; e++) {
            hn::StoreU(entryCost(d, table, e, x2, P), d, lanes);
            for (int32_t b = 0; b < m; b++)
                costs[(first + b) * stride + e] = lanes[b];
        }
    }
}

// Minima within blocks of `width` rows from prevLo: ahead[p] over the block's
// rows up to p, behind[p] over p up to the block's end.
void blockMinima(const int32_t* prev, int32_t rows, int32_t width, size_t stride, int32_t* ahead, int32_t* behind)
{
    const EtalonTag d;
    const size_t N = hn::Lanes(d);
    for (int32_t start = 0; start < rows; start += width) {
        const int32_t end = std::min(start + width, rows) - 1;
        if (stride == 1) { // one chain
            ahead[start] = prev[start];
            for (int32_t p = start + 1; p <= end; p++)
                ahead[p] = std::min(ahead[p - 1], prev[p]);
            behind[end] = prev[end];
            for (int32_t p = end - 1; p >= start; p--)
                behind[p] = std::min(behind[p + 1], prev[p]);
            continue;
        }
        for (size_t e = 0; e < stride; e += N) {
            auto m = hn::LoadU(d, prev + start * stride + e);
            hn::StoreU(m, d, ahead + start * stride + e);
            for (int32_t p = start + 1; p <= end; p++) {
                m = hn::Min(m, hn::LoadU(d, prev + p * stride + e));
                hn::StoreU(m, d, ahead + p * stride + e);
            }
            m = hn::LoadU(d, prev + end * stride + e);
            hn::StoreU(m, d, behind + end * stride + e);
            for (int32_t p = end - 1; p >= start; p--) {
                m = hn::Min(m, hn::LoadU(d, prev + p * stride + e));
                hn::StoreU(m, d, behind + p * stride + e);
            }
        }
    }
}

// The block minima that cover rows a..b of the previous layer (a <= b, at most
// `width` rows): behind[a] and ahead[b] when they lie in two blocks, else the
// one of them that spans exactly a..b; the other is null.
void coveringMinima(int32_t a, int32_t b, int32_t last, int32_t width, size_t stride, const int32_t* ahead,
                    const int32_t* behind, const int32_t*& left, const int32_t*& right)
{
    left = right = nullptr;
    if (a / width != b / width) {
        left = behind + a * stride;
        right = ahead + b * stride;
    } else if (a % width == 0) {
        right = ahead + b * stride;
    } else {
        assert(b == last || b % width == width - 1); // a short window ends at the last row
        left = behind + a * stride;
    }
}

void FixedLayerAcross(const int32_t* prev, int32_t prevLo, int32_t prevHi, const int32_t* local, int32_t lo,
                      int32_t hi, int Tmin, int Tmax, int32_t start, size_t stride, int32_t* ahead, int32_t* behind,
                      int32_t* out)
{
    const EtalonTag d;
    const size_t N = hn::Lanes(d);
    const int32_t width = Tmax - Tmin + 1;
    blockMinima(prev, prevHi - prevLo + 1, width, stride, ahead, behind);
    const auto startv = hn::Set(d, start);
    for (int32_t k = lo; k <= hi; k++) {
        // the window as rows of prev
        const int32_t a = std::max(k - Tmax, prevLo) - prevLo, b = std::min(k - Tmin, prevHi) - prevLo;
        const int32_t* row = local + (k - lo) * stride;
        int32_t* o = out + (k - lo) * stride;
        const int32_t *left = nullptr, *right = nullptr;
        if (a <= b)
            coveringMinima(a, b, prevHi - prevLo, width, stride, ahead, behind, left, right);
        for (size_t e = 0; e < stride; e += N) {
            auto m = startv;
            if (left)
                m = hn::Min(m, hn::LoadU(d, left + e));
            if (right)
                m = hn::Min(m, hn::LoadU(d, right + e));
            hn::StoreU(hn::Add(m, hn::LoadU(d, row + e)), d, o + e);
        }
    }
}

void FixedLayer(const int32_t* prev, int32_t prevLo, int32_t prevHi, const int32_t* local, int32_t lo, int32_t hi,
                int Tmin, int Tmax, int32_t start, int32_t* padded, int32_t* ahead, int32_t* behind, int32_t* out)
{
    const PositionTag d;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    const int32_t width = Tmax - Tmin + 1, rows = prevHi - prevLo + 1;
    // Positions whose window holds some row: k - Tmin >= prevLo, k - Tmax <= prevHi.
    const int32_t from = std::max(lo, prevLo + Tmin), to = std::min(hi, prevHi + Tmax);
    auto alone = [&](int32_t k) { // no row in the window: the start value
        out[k - lo] = static_cast<int32_t>(static_cast<uint32_t>(start) + static_cast<uint32_t>(local[k - lo]));
    };
    for (int32_t k = lo; k <= hi && k < from; k++)
        alone(k);
    for (int32_t k = std::max(lo, to + 1); k <= hi; k++)
        alone(k);
    if (from > to)
        return;
    // The rows with width - 1 rows of the largest value on either side: every
    // window of those positions is then whole, and the padding never wins.
    std::fill(padded, padded + width - 1, INT32_MAX);
    std::copy(prev, prev + rows, padded + width - 1);
    std::fill(padded + width - 1 + rows, padded + rows + 2 * (width - 1), INT32_MAX);
    blockMinima(padded, rows + 2 * (width - 1), width, 1, ahead, behind);
    // Window of k: padded rows k - Tmax - prevLo + width - 1 = k - Tmin - prevLo .. + width - 1.
    const int32_t shift = -Tmin - prevLo;
    const auto startv = hn::Set(d, start);
    int32_t k = from;
    for (; k + N - 1 <= to; k += N) {
        const auto m = hn::Min(hn::LoadU(d, behind + k + shift), hn::LoadU(d, ahead + k + shift + width - 1));
        hn::StoreU(hn::Add(hn::Min(startv, m), hn::LoadU(d, local + k - lo)), d, out + k - lo);
    }
    for (; k <= to; k++) {
        const int32_t m = std::min({start, behind[k + shift], ahead[k + shift + width - 1]});
        out[k - lo] = static_cast<int32_t>(static_cast<uint32_t>(m) + static_cast<uint32_t>(local[k - lo]));
    }
}

const char* MatchTargetName()
{
    return hwy::TargetName(HWY_TARGET);
}

} // namespace HWY_NAMESPACE
} // namespace pulsebench
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pulsebench {
HWY_EXPORT(MatchCosts);
HWY_EXPORT(MatchCostsEach);
HWY_EXPORT(MatchCostsAt);
HWY_EXPORT(FixedLayerAcross);
HWY_EXPORT(FixedLayer);
HWY_EXPORT(MatchTargetName);
} // namespace pulsebench

void matchCosts(const MatchTable& table, int from, int to, const int16_t* x, int32_t first, int32_t last,
                int32_t* cost)
{
    if (first <= last && from < to)
        HWY_DYNAMIC_DISPATCH(pulsebench::MatchCosts)(table, from, to, x, first, last, cost);
}

void matchCostsEach(const MatchTable& table, const int16_t* x, int32_t first, int32_t last, int32_t* costs,
                    size_t stride)
{
    assert(stride >= table.count);
    if (first <= last)
        HWY_DYNAMIC_DISPATCH(pulsebench::MatchCostsEach)(table, x, first, last, costs, stride);
}

void matchCostsAt(const MatchTable& table, const int16_t* x, const int32_t* positions, int32_t count, int32_t* costs,
                  size_t stride)
{
    assert(stride >= table.count);
    if (count > 0)
        HWY_DYNAMIC_DISPATCH(pulsebench::MatchCostsAt)(table, x, positions, count, costs, stride);
}

void fixedLayerAcross(const int32_t* prev, int32_t prevLo, int32_t prevHi, const int32_t* local, int32_t lo,
                      int32_t hi, int Tmin, int Tmax, int32_t start, size_t stride, int32_t* ahead, int32_t* behind,
                      int32_t* out)
{
    assert(stride % kEtalonLanes == 0 && Tmin >= 1 && Tmin <= Tmax);
    if (lo <= hi)
        HWY_DYNAMIC_DISPATCH(pulsebench::FixedLayerAcross)(prev, prevLo, prevHi, local, lo, hi, Tmin, Tmax, start,
                                                           stride, ahead, behind, out);
}

void fixedLayer(const int32_t* prev, int32_t prevLo, int32_t prevHi, const int32_t* local, int32_t lo, int32_t hi,
                int Tmin, int Tmax, int32_t start, int32_t* padded, int32_t* ahead, int32_t* behind, int32_t* out)
{
    assert(Tmin >= 1 && Tmin <= Tmax);
    if (lo <= hi)
        HWY_DYNAMIC_DISPATCH(pulsebench::FixedLayer)(prev, prevLo, prevHi, local, lo, hi, Tmin, Tmax, start, padded,
                                                     ahead, behind, out);
}

const char* matchKernelTarget()
{
    return HWY_DYNAMIC_DISPATCH(pulsebench::MatchTargetName)();
}
#endif // HWY_ONCE
