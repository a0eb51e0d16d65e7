// The literal model of the tuple detectors, pass by pass over five tables per
// layer. Tenths of a second per default series; tests keep sizes small.
//
//   [SECTION] Shared pieces
//   [SECTION] Unfixed pulse count
//   [SECTION] Fixed pulse count
#include "tuples_reference.h"

#include <algorithm>
#include <cstdio>

#include "detection/detection.h"

namespace tuples_reference {

/*==========================================================================
** [SECTION] Shared pieces
**========================================================================*/

namespace {

using reference::Chain;
using reference::Pulse;

constexpr int32_t kBig6 = 999999, kBig7 = 9999999, kBig8 = 99999999, kBig9 = 999999999;

void offer(std::vector<Chain>& chains, int maxChains, const Chain& c)
{
    size_t k = 0;
    while (k < chains.size() && chains[k].cost <= c.cost)
        k++;
    if (static_cast<int>(k) >= maxChains)
        return;
    chains.insert(chains.begin() + k, c);
    if (static_cast<int>(chains.size()) > maxChains)
        chains.pop_back();
}

// The local match of one etalon alone at position m.
Pulse matchOf(const Input& in, int etalon, int m, int32_t& cost)
{
    const reference::Input single{in.alphabet, {}, in.Tmin, in.Tmax, in.level, in.maxChains, in.series};
    return reference::localMatch(single, {static_cast<uint16_t>(etalon)}, m, cost);
}

// Tuple 1 holds pulses 1..min(first, k), each further tuple the next a.
std::vector<std::pair<int, int>> grouping(int k, int first, int a)
{
    std::vector<std::pair<int, int>> groups;
    int from = 1, size = first;
    while (from <= k) {
        const int to = std::min(from + size - 1, k);
        groups.push_back({from, to});
        from = to + 1;
        size = a;
    }
    return groups;
}

// A report in a buffer of 5000 characters: a piece that does not fit ends it.
struct Buffer {
    char text[5000] = {};
    size_t used = 0;
    bool stopped = false;
    template <class... T>
    void put(const char* format, T... values)
    {
        char piece[100];
        const int length = std::snprintf(piece, sizeof piece, format, values...);
        if (stopped || used + length > sizeof text - 1) {
            stopped = true;
            return;
        }
        std::copy_n(piece, length, text + used);
        used += length;
    }
};

/*==========================================================================
** [SECTION] Unfixed pulse count
**========================================================================*/

// The position sets of every admissible pulse count, and their combinations.
struct Sets {
    PositionSet *minus = nullptr, *tilda = nullptr, *last = nullptr;         // first, later and last positions
    PositionSet *onlyFirst = nullptr, *both = nullptr, *onlyLater = nullptr; // minus \ tilda, minus x tilda, tilda \ minus
    ~Sets()
    {
        for (PositionSet* set : {minus, tilda, last, onlyFirst, both, onlyLater})
            freePositionSet(set);
    }
};

void addRange(PositionSet* set, int64_t a, int64_t b, int64_t top)
{
    a = std::max<int64_t>(a, 0);
    b = std::min(b, top);
    if (b >= a)
        addInterval(set, static_cast<uint16_t>(a), static_cast<uint16_t>(b));
}

void buildSets(const SeriesHeader* h, int Tmin, int Tmax, Sets& s)
{
    const int64_t L = h->dwSeriesSize, n = h->wImpulseSize;
    const int Mmin = std::max<int>(h->wMinPulses, 1), Mmax = h->wMaxPulses;
    int64_t room = 2;
    for (int64_t K = Mmin; K <= Mmax; K++)
        room += K + 1;
    const uint16_t capacity = static_cast<uint16_t>(std::min<int64_t>(room, 65535));
    s.minus = getPositionSet(nullptr, capacity);
    s.tilda = getPositionSet(nullptr, capacity);
    s.last = getPositionSet(nullptr, capacity);
    for (int64_t K = Mmin; K <= Mmax; K++) {
        addRange(s.minus, std::max<int64_t>(0, L - Tmax * K), std::min<int64_t>(Tmax - n, L - n - Tmin * (K - 1)),
                 L - n);
        for (int64_t i = 1; i < K; i++)
            addRange(s.tilda, std::max<int64_t>(L - Tmax * (K - i), Tmin * i),
                     std::min<int64_t>(Tmax * (i + 1) - n, L - n - Tmin * (K - 1 - i)), L - n);
        addRange(s.last, std::max<int64_t>(L - Tmax, Tmin * (K - 1)), std::min<int64_t>(Tmax * K - n, L - n), L - n);
    }
    s.onlyFirst = copyPositionSet(nullptr, s.minus);
    subtractSet(s.onlyFirst, s.tilda);
    s.both = copyPositionSet(nullptr, s.minus);
    intersectSet(s.both, s.tilda);
    s.onlyLater = copyPositionSet(nullptr, s.tilda);
    subtractSet(s.onlyLater, s.minus);
}

std::vector<int> positionsOf(const PositionSet* set)
{
    std::vector<int> out;
    for (int i = 0; i < set->wCount; i++)
        for (int k = set->lpFrom[i]; k <= set->lpTo[i]; k++)
            out.push_back(k);
    return out;
}

// The five tables of one layer.
struct Layer {
    std::vector<int32_t> acc, pred, index, first, last; // over positions 0..L-n
};

void marks(Buffer& b, const std::vector<int>& positions, const Layer& g)
{
    int best = -1;
    int32_t least = 0;
    for (int m : positions)
        if (g.acc[m] < least) {
            least = g.acc[m];
            best = m;
        }
    for (int m : positions) {
        if (m == best)
            b.put(" %d", g.acc[m]);
        else if (g.acc[m] < 0)
            b.put(" -");
        else
            b.put(" +");
        if (g.pred[m] >= 0)
            b.put("[%d]", g.pred[m]);
    }
}

void intervals(Buffer& b, const PositionSet* set)
{
    for (int i = 0; i < set->wCount; i++)
        b.put(" [%d..%d] ", set->lpFrom[i], set->lpTo[i]);
}

// The search for one tuple; `big` is 99999999 or 999999999. Returns
// whether a chain end was found; fills the chain (cost big and no pulses when not).
bool searchTuple(const Input& in, const Sets& s, const std::vector<int32_t>& tuple, int32_t big, Chain& chain,
                 std::vector<std::pair<int, int>>& groups, std::vector<std::string>& reports)
{
    const SeriesHeader* h = in.series;
    const int L = h->dwSeriesSize, n = h->wImpulseSize, P = L - n + 1;
    const int a = static_cast<int>(tuple.size()), Mmax = h->wMaxPulses;
    const int A = std::min(a, Mmax);
    std::vector<Layer> G(A);
    for (Layer& g : G) {
        g.acc.assign(P, big);
        g.pred.assign(P, big);
        g.index.assign(P, 0);
        g.first.assign(P, 0);
        g.last.assign(P, n - 1);
    }
    auto store = [&](int l, int m, int32_t& cost) {
        const Pulse p = matchOf(in, tuple[l], m, cost);
        G[l].index[m] = p.number - 1;
        G[l].first[m] = p.first;
        G[l].last[m] = p.last;
    };
    // The layer before layer l; none before layer 0 of a tuple longer than Mmax.
    auto before = [&](int l) { return l > 0 ? l - 1 : (a <= Mmax ? A - 1 : -1); };
    const std::vector<int> onlyFirst = positionsOf(s.onlyFirst), both = positionsOf(s.both),
                           onlyLater = positionsOf(s.onlyLater);
    // First-only positions start chains on layer 0 (the match stored too).
    for (int m : onlyFirst) {
        int32_t cost = 0;
        store(0, m, cost);
        G[0].acc[m] = cost;
        G[0].pred[m] = -1;
    }
    if (in.debug) {
        Buffer b;
        b.put("omega_minus - omega_tilda: ");
        intervals(b, s.onlyFirst);
        b.put("\n");
        if (A > 0)
            marks(b, onlyFirst, G[0]);
        b.put("\n ");
        reports.push_back(b.text);
    }
    // First-or-later positions: continue a chain only when that lowers the cost.
    for (int m : both)
        for (int l = 0; l < A; l++) {
            int32_t local = 0;
            store(l, m, local);
            const int q = before(l);
            int32_t least = 0;
            int at = -1;
            if (q >= 0)
                for (int t = m - in.Tmax; t <= m - in.Tmin; t++)
                    if (t >= 0 && G[q].acc[t] < least) {
                        least = G[q].acc[t];
                        at = t;
                    }
            if (at >= 0) {
                G[l].acc[m] = least + local;
                G[l].pred[m] = at;
            } else if (l != 0) {
                G[l].acc[m] = big;
                G[l].pred[m] = -2;
            } else {
                G[l].acc[m] = local;
                G[l].pred[m] = -1;
            }
        }
    if (in.debug) {
        Buffer b;
        b.put("omega_minus x omega_tilda: ");
        intervals(b, s.both);
        b.put("\n");
        for (int l = 0; l < A; l++) {
            b.put("l=%d\n ", l + 1);
            marks(b, both, G[l]);
            b.put("\n ");
        }
        reports.push_back(b.text);
    }
    // Later-only positions: the cheapest predecessor, from the unreached cost.
    for (int m : onlyLater)
        for (int l = 0; l < A; l++) {
            int32_t local = 0;
            store(l, m, local);
            const int q = before(l);
            int32_t least = big;
            int at = -2;
            if (q >= 0)
                for (int t = m - in.Tmax; t <= m - in.Tmin; t++)
                    if (t >= 0 && G[q].acc[t] < least) {
                        least = G[q].acc[t];
                        at = t;
                    }
            G[l].acc[m] = least + local;
            G[l].pred[m] = at;
        }
    // The chain end: last positions ascending, layers ascending.
    int32_t best = big;
    int end = -1, endLayer = -1;
    for (int m : positionsOf(s.last))
        for (int l = 0; l < A; l++)
            if (G[l].acc[m] < best) {
                best = G[l].acc[m];
                end = m;
                endLayer = l;
            }
    chain.cost = best;
    chain.pulses.clear();
    groups.clear();
    if (end < 0)
        return false;
    // The chain's length, then its pulses from the last backward.
    int k = 0;
    for (int p = end, l = endLayer; p >= 0; l = (l + A - 1) % A) {
        k++;
        p = G[l].pred[p];
    }
    chain.pulses.resize(k);
    for (int i = k - 1, p = end, l = endLayer; i >= 0; i--, l = (l + A - 1) % A) {
        chain.pulses[i] = {static_cast<int16_t>(p), static_cast<int16_t>(G[l].index[p] + 1),
                           static_cast<int16_t>(G[l].first[p]), static_cast<int16_t>(G[l].last[p])};
        p = G[l].pred[p];
    }
    // Grouped into tuples.
    groups = grouping(k, a, a);
    return true;
}

} // namespace

Outcome detectUnfixed(const Input& in)
{
    Outcome out;
    out.value = 1;
    Sets s;
    buildSets(in.series, in.Tmin, in.Tmax, s);
    Chain chain;
    std::vector<std::pair<int, int>> groups;
    if (searchTuple(in, s, in.tuples[0], kBig8, chain, groups, out.reports) && chain.cost < kBig8) {
        out.detected = chain.pulses;
        out.tuples = groups;
    }
    offer(out.chains, in.maxChains, chain);
    out.seekingPulses = static_cast<uint16_t>(out.detected.size());
    return out;
}

Outcome recognizeUnfixed(const Input& in)
{
    Outcome out;
    Sets s;
    buildSets(in.series, in.Tmin, in.Tmax, s);
    int32_t winnerCost = kBig9;
    for (size_t t = 0; t < in.tuples.size(); t++) {
        Chain chain;
        std::vector<std::pair<int, int>> groups;
        searchTuple(in, s, in.tuples[t], kBig9, chain, groups, out.reports);
        offer(out.chains, in.maxChains, chain);
        if (chain.cost < winnerCost) {
            winnerCost = chain.cost;
            out.value = static_cast<int32_t>(t + 1);
            out.detected = chain.pulses;
            out.tuples = groups;
        }
    }
    out.recognized = out.value;
    out.seekingPulses = static_cast<uint16_t>(out.detected.size());
    return out;
}

/*==========================================================================
** [SECTION] Fixed pulse count
**========================================================================*/

namespace {

// One phase search; false (a chain of cost 9999999 and no pulses) when no chain.
bool phaseSearch(const Input& in, const std::vector<int32_t>& tuple, int phase, const std::vector<int>& lo,
                 const std::vector<int>& hi, Chain& chain)
{
    const SeriesHeader* h = in.series;
    const int L = h->dwSeriesSize, K = h->wImpulseQuantity, a = static_cast<int>(tuple.size());
    std::vector<std::vector<int32_t>> ppDw(K, std::vector<int32_t>(L, 0));
    std::vector<std::vector<Pulse>> chosen(K, std::vector<Pulse>(L));
    for (int j = 0; j < K; j++) {
        const int e = tuple[(phase + j) % a];
        for (int s = lo[j]; s <= hi[j]; s++) {
            int32_t local = 0;
            chosen[j][s] = matchOf(in, e, s, local);
            int32_t B = 0;
            if (j > 0) {
                B = kBig6;
                for (int t = s - in.Tmax; t <= s - in.Tmin; t++)
                    if (t >= lo[j - 1] && t <= hi[j - 1] && ppDw[j - 1][t] < B)
                        B = ppDw[j - 1][t];
            }
            ppDw[j][s] = B + local;
        }
    }
    chain.cost = kBig7;
    chain.pulses.clear();
    int end = -1;
    int32_t best = kBig7;
    for (int s = lo[K - 1]; s <= hi[K - 1]; s++)
        if (ppDw[K - 1][s] < best) {
            best = ppDw[K - 1][s];
            end = s;
        }
    if (end < 0)
        return false;
    std::vector<int> pos(K);
    pos[K - 1] = end;
    for (int j = K - 2; j >= 0; j--) {
        int32_t least = kBig9;
        int at = -1;
        for (int t = pos[j + 1] - in.Tmax; t <= pos[j + 1] - in.Tmin; t++)
            if (t >= lo[j] && t <= hi[j] && ppDw[j][t] < least) {
                least = ppDw[j][t];
                at = t;
            }
        if (at < 0)
            return false;
        pos[j] = at;
    }
    chain.cost = best;
    for (int j = 0; j < K; j++)
        chain.pulses.push_back(chosen[j][pos[j]]);
    return true;
}

struct Ranges {
    std::vector<int> lo, hi;
};

Ranges computedRanges(const Input& in)
{
    const SeriesHeader* h = in.series;
    const int64_t L = h->dwSeriesSize, n = h->wImpulseSize, K = h->wImpulseQuantity;
    Ranges r;
    for (int64_t j = 0; j < K; j++) {
        const int64_t lo = j == 0 ? std::max<int64_t>(L - in.Tmax * K, 0)
                                  : std::max<int64_t>(L - in.Tmax * (K - j), in.Tmin * j);
        const int64_t hi = std::min<int64_t>(in.Tmax * (j + 1) - n, L - n - in.Tmin * (K - 1 - j));
        r.lo.push_back(static_cast<int>(lo));
        r.hi.push_back(static_cast<int>(std::max<int64_t>(hi, -1)));
    }
    return r;
}

Ranges storedRanges(const Input& in)
{
    const SeriesHeader* h = in.series;
    Ranges r;
    for (int j = 0; j < h->wImpulseQuantity; j++) {
        r.lo.push_back(std::max<int>(h->lpLowBounds[j], 0));
        r.hi.push_back(std::min<int>(h->lpHighBounds[j], h->dwSeriesSize - h->wImpulseSize));
    }
    return r;
}

// Every phase of every tuple; the strictly cheapest chain below 9999999 wins.
Outcome phases(const Input& in, const Ranges& r, size_t tuples)
{
    Outcome out;
    const uint16_t M = in.series->wImpulseQuantity;
    out.quanPulses = M;
    int32_t bestCost = kBig7;
    for (size_t t = 0; t < tuples; t++) {
        const std::vector<int32_t>& tuple = in.tuples[t];
        const int a = static_cast<int>(tuple.size());
        for (int phase = 0; phase < (in.phaseMode == 1 ? 1 : a); phase++) {
            Chain chain;
            const bool found = phaseSearch(in, tuple, phase, r.lo, r.hi, chain);
            offer(out.chains, in.maxChains, chain);
            if (found && chain.cost < bestCost) {
                bestCost = chain.cost;
                out.recognized = static_cast<int>(t + 1);
                out.detected = chain.pulses;
                out.tuples = grouping(M, a - phase, a);
            }
        }
    }
    out.seekingPulses = static_cast<uint16_t>(out.detected.size());
    return out;
}

} // namespace

Outcome detectFixed(const Input& in)
{
    Outcome out = phases(in, computedRanges(in), 1);
    out.recognized = 0;
    out.value = 1;
    return out;
}

Outcome recognizeFixed(const Input& in)
{
    Outcome out = phases(in, storedRanges(in), in.tuples.size());
    out.value = out.recognized;
    return out;
}

} // namespace tuples_reference
