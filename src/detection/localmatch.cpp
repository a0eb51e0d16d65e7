// The local match: prefix sums of the etalon's energy and of its products with
// the series make the cost of any part O(1), and suffix minima give the best
// part for each first sample, so one position and etalon costs O(n).
#include "localmatch.h"

#include <algorithm>
#include <cassert>

void prepareMatchTable(MatchTable& table, const PulseHeader* alphabet, uint16_t count, const uint16_t* list,
                       uint16_t n, uint16_t level, bool blockRows)
{
    table.n = n;
    table.count = count;
    table.numbers.assign(count, 0);
    table.samples.assign(count, nullptr);
    table.energies.assign(static_cast<size_t>(count) * (n + 1), 0);
    table.thresholds.assign(count, 0);
    table.firstEnd.assign(static_cast<size_t>(count) * n, static_cast<int16_t>(n));
    table.lastStart.assign(count, -1);
    table.leastEnd.assign(count, static_cast<int16_t>(n));
    table.scratch.assign(3 * (static_cast<size_t>(n) + 1), 0);
    table.wide.assign(static_cast<size_t>(count) * n, 0);
    table.block.assign(blockRows ? (3 * (static_cast<size_t>(n) + 1) + 3) * kMatchBlock : 0, 0);
    table.lanes.assign((3 * static_cast<size_t>(n) + 3) * kMatchLanes, 0); // one row more: room to align
    table.tail.assign(static_cast<size_t>(n) + kMatchLanes, 0);
    for (int e = 0; e < count; e++) {
        const int16_t* s = alphabet[list[e] - 1].lpData.get();
        int32_t* E = &table.energies[static_cast<size_t>(e) * (n + 1)];
        table.numbers[e] = static_cast<int16_t>(list[e]);
        table.samples[e] = s;
        std::copy(s, s + n, &table.wide[static_cast<size_t>(e) * n]);
        for (int i = 0; i < n; i++)
            E[i + 1] = E[i] + s[i] * s[i];
        // 64-bit product: the same value wherever the 32-bit one is defined,
        // and a level above 100 simply admits no part.
        const int32_t thr = static_cast<int32_t>(static_cast<int64_t>(E[n]) * level / 100);
        table.thresholds[e] = thr;
        int16_t* firstEnd = &table.firstEnd[static_cast<size_t>(e) * n];
        int i2 = 0;
        for (int i1 = 0; i1 < n; i1++) { // energies grow with i2, so the least end only moves right
            i2 = std::max(i2, i1);
            while (i2 < n && !(E[i2 + 1] - E[i1] > thr))
                i2++;
            firstEnd[i1] = static_cast<int16_t>(i2);
            if (i2 < n) {
                table.lastStart[e] = static_cast<int16_t>(i1);
                table.leastEnd[e] = std::min(table.leastEnd[e], static_cast<int16_t>(i2));
            }
        }
    }
}

LocalMatch localMatchAt(const MatchTable& table, int from, int to, const int16_t* x)
{
    const int n = table.n;
    int32_t* P = table.scratch.data();  // P[k]: cost of samples 0..k-1
    int32_t* best = P + (n + 1);        // best[k]: least of P[k..n]
    int32_t* where = best + (n + 1);    // where[k]: the lowest index holding it
    LocalMatch match{0, 0, 0, 0};
    bool any = false;
    for (int e = from; e < to; e++) {
        const int16_t* s = table.samples[e];
        P[0] = 0;
        for (int i = 0; i < n; i++)
            P[i + 1] = P[i] + s[i] * (s[i] - 2 * x[i]);
        // The whole etalon first.
        int32_t cost = P[n];
        int first = 0, last = n - 1;
        const int lastStart = table.lastStart[e];
        if (lastStart >= 0) {
            const int16_t* firstEnd = &table.firstEnd[static_cast<size_t>(e) * n];
            best[n] = P[n];
            where[n] = n;
            for (int k = n - 1; k >= 1; k--) {
                if (P[k] <= best[k + 1]) { // equal: the lower index, i.e. the shorter part, wins
                    best[k] = P[k];
                    where[k] = k;
                } else {
                    best[k] = best[k + 1];
                    where[k] = where[k + 1];
                }
            }
            for (int i1 = 0; i1 <= lastStart; i1++) {
                const int end = firstEnd[i1];
                if (end >= n)
                    continue;
                const int32_t c = best[end + 1] - P[i1];
                if (c < cost) {
                    cost = c;
                    first = i1;
                    last = where[end + 1] - 1;
                }
            }
        }
        if (!any || cost < match.cost) {
            match = {cost, table.numbers[e], static_cast<int16_t>(first), static_cast<int16_t>(last)};
            any = true;
        }
    }
    return match;
}

namespace {

// The inner rows of localMatchRange, each over `count` positions; separate
// rows never overlap. Choices are made with all-ones masks instead of branches
// so that the compiler vectorises every row.
void prefixRow(const int32_t* __restrict row, int32_t* __restrict next, const int16_t* __restrict x, int32_t s,
               int count)
{
    for (int b = 0; b < count; b++)
        next[b] = row[b] + s * (s - 2 * x[b]);
}

void suffixRow(const int32_t* __restrict p, const int32_t* __restrict bestUp, const int32_t* __restrict whereUp,
               int32_t* __restrict bestHere, int32_t* __restrict whereHere, int32_t k, int count)
{
    for (int b = 0; b < count; b++) {
        const int32_t take = -static_cast<int32_t>(p[b] <= bestUp[b]); // equal: the lower index, the shorter part
        bestHere[b] = bestUp[b] ^ ((p[b] ^ bestUp[b]) & take);
        whereHere[b] = whereUp[b] ^ ((k ^ whereUp[b]) & take);
    }
}

void partRow(const int32_t* __restrict start, const int32_t* __restrict bestAt, const int32_t* __restrict whereAt,
             int32_t* __restrict cost, int32_t* __restrict keptFirst, int32_t* __restrict keptLast, int32_t i1,
             int count)
{
    for (int b = 0; b < count; b++) {
        const int32_t c = bestAt[b] - start[b];
        const int32_t take = -static_cast<int32_t>(c < cost[b]); // only a strictly cheaper part replaces
        cost[b] ^= (c ^ cost[b]) & take;
        keptFirst[b] ^= (i1 ^ keptFirst[b]) & take;
        keptLast[b] ^= ((whereAt[b] - 1) ^ keptLast[b]) & take;
    }
}

} // namespace

void localMatchRange(const MatchTable& table, int from, int to, const int16_t* x, int32_t first, int32_t last,
                     LocalMatch* out)
{
    const int n = table.n;
    const size_t B = kMatchBlock;
    assert(!table.block.empty()); // the table was prepared with block rows
    int32_t* P = table.block.data();            // P[k * B + b]: cost of samples 0..k-1 at position base + b
    int32_t* best = P + (n + 1) * B;            // best[k * B + b]: least of P[k..n]
    int32_t* where = best + (n + 1) * B;        // where[k * B + b]: the lowest index holding it
    int32_t* cost = where + (n + 1) * B;        // the etalon's best candidate per position
    int32_t* keptFirst = cost + B;
    int32_t* keptLast = keptFirst + B;
    for (int32_t base = first; base <= last; base += kMatchBlock) {
        const int count = static_cast<int>(std::min<int32_t>(kMatchBlock, last - base + 1));
        const int16_t* xs = x + base;
        for (int e = from; e < to; e++) {
            const int16_t* s = table.samples[e];
            for (int b = 0; b < count; b++)
                P[b] = 0;
            for (int k = 0; k < n; k++)
                prefixRow(P + k * B, P + (k + 1) * B, xs + k, s[k], count);
            // The whole etalon first.
            const int32_t* whole = P + n * B;
            for (int b = 0; b < count; b++) {
                cost[b] = whole[b];
                keptFirst[b] = 0;
                keptLast[b] = n - 1;
            }
            const int lastStart = table.lastStart[e];
            if (lastStart >= 0) {
                const int16_t* firstEnd = &table.firstEnd[static_cast<size_t>(e) * n];
                const int lowest = table.leastEnd[e] + 1; // no part needs a suffix below this index
                for (int b = 0; b < count; b++) {
                    best[n * B + b] = whole[b];
                    where[n * B + b] = n;
                }
                for (int k = n - 1; k >= lowest; k--)
                    suffixRow(P + k * B, best + (k + 1) * B, where + (k + 1) * B, best + k * B, where + k * B, k,
                              count);
                for (int i1 = 0; i1 <= lastStart; i1++) {
                    const int end = firstEnd[i1];
                    if (end >= n)
                        continue;
                    partRow(P + i1 * B, best + (end + 1) * B, where + (end + 1) * B, cost, keptFirst, keptLast, i1,
                            count);
                }
            }
            // Across etalons only a strictly cheaper candidate replaces.
            LocalMatch* o = out + base;
            const int16_t number = table.numbers[e];
            for (int b = 0; b < count; b++)
                if (e == from || cost[b] < o[b].cost)
                    o[b] = {cost[b], number, static_cast<int16_t>(keptFirst[b]), static_cast<int16_t>(keptLast[b])};
        }
    }
}
