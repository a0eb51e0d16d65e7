// The literal model of the single-pulse detectors: every candidate part summed
// sample by sample, every predecessor window scanned in full, the local match
// recomputed in every layer. Seconds per default series; tests keep sizes small.
#include "reference.h"

#include <algorithm>

namespace reference {

namespace {

constexpr int32_t kBig6 = 999999, kBig7 = 9999999, kBig8 = 99999999, kBig9 = 999999999;

// The chains header model: the cheapest chains in ascending cost, first offered first.
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

int32_t threshold(const int16_t* s, int n, int level, std::vector<int32_t>& E)
{
    E.assign(n + 1, 0);
    for (int i = 0; i < n; i++)
        E[i + 1] = E[i] + s[i] * s[i];
    return static_cast<int32_t>(static_cast<int64_t>(E[n]) * level / 100);
}

} // namespace

Pulse localMatch(const Input& in, const std::vector<uint16_t>& etalons, int l, int32_t& cost)
{
    const SeriesHeader* h = in.series;
    const int n = h->wImpulseSize;
    const int16_t* x = h->lpNoisyData;
    bool any = false;
    Pulse best{static_cast<int16_t>(l), 0, 0, 0};
    std::vector<int32_t> E;
    auto consider = [&](int32_t c, int number, int i1, int i2) {
        if (!any || c < cost) {
            any = true;
            cost = c;
            best = {static_cast<int16_t>(l), static_cast<int16_t>(number), static_cast<int16_t>(i1),
                    static_cast<int16_t>(i2)};
        }
    };
    for (uint16_t number : etalons) {
        const int16_t* s = in.alphabet[number - 1].lpData.get();
        const int32_t thr = threshold(s, n, in.level, E);
        int32_t whole = 0;
        for (int i = 0; i < n; i++)
            whole += s[i] * (s[i] - 2 * x[l + i]);
        consider(whole, number, 0, n - 1);
        for (int i1 = 0; i1 < n; i1++)
            for (int i2 = i1; i2 < n; i2++) {
                if (!(E[n] - E[i1] > thr && E[i2 + 1] - E[i1] > thr))
                    continue;
                int32_t c = 0;
                for (int i = i1; i <= i2; i++)
                    c += s[i] * (s[i] - 2 * x[l + i]);
                consider(c, number, i1, i2);
            }
    }
    return best;
}

namespace {

// One fixed-count search with the given etalons; false when no admissible chain.
bool fixedSearch(const Input& in, const std::vector<uint16_t>& etalons, int32_t start, int32_t bound, Chain& chain)
{
    const SeriesHeader* h = in.series;
    const int L = h->dwSeriesSize, n = h->wImpulseSize, M = h->wImpulseQuantity;
    std::vector<int> lo(M), hi(M);
    for (int j = 0; j < M; j++) {
        lo[j] = std::max<int>(h->lpLowBounds[j], 0);
        hi[j] = std::min<int>(h->lpHighBounds[j], L - n);
    }
    std::vector<std::vector<int32_t>> ppDw(M, std::vector<int32_t>(L, 0));
    std::vector<std::vector<Pulse>> chosen(M, std::vector<Pulse>(L));
    for (int j = 0; j < M; j++)
        for (int k = lo[j]; k <= hi[j]; k++) {
            int32_t local = 0;
            chosen[j][k] = localMatch(in, etalons, k, local); // recomputed in every layer
            int32_t B = 0;
            if (j > 0) {
                B = start;
                for (int l = k - in.Tmax; l <= k - in.Tmin; l++)
                    if (l >= lo[j - 1] && l <= hi[j - 1] && ppDw[j - 1][l] < B)
                        B = ppDw[j - 1][l];
            }
            ppDw[j][k] = B + local;
        }
    int end = -1;
    int32_t best = bound;
    for (int k = lo[M - 1]; k <= hi[M - 1]; k++)
        if (ppDw[M - 1][k] < best) {
            best = ppDw[M - 1][k];
            end = k;
        }
    if (end < 0)
        return false;
    std::vector<int> pos(M);
    pos[M - 1] = end;
    for (int j = M - 2; j >= 0; j--) {
        const int c = pos[j + 1];
        int32_t least = kBig9;
        int at = -1;
        for (int k = c - in.Tmax; k <= c - in.Tmin; k++)
            if (k >= lo[j] && k <= hi[j] && ppDw[j][k] < least) {
                least = ppDw[j][k];
                at = k;
            }
        if (at < 0)
            return false;
        pos[j] = at;
    }
    chain.cost = best;
    chain.pulses.clear();
    for (int j = 0; j < M; j++)
        chain.pulses.push_back(chosen[j][pos[j]]);
    return true;
}

enum { kFirst = 1, kLater = 2, kLast = 4 };

// Marks every position of every admissible range, one interval at a time.
std::vector<int> positionFlags(const SeriesHeader* h, int Tmin, int Tmax)
{
    const int64_t L = h->dwSeriesSize, n = h->wImpulseSize;
    std::vector<int> flags(L, 0);
    auto mark = [&](int64_t a, int64_t b, int flag) {
        if (b < a || b < 0)
            return;
        for (int64_t k = std::max<int64_t>(a, 0); k <= b; k++)
            flags[k] |= flag;
    };
    for (int64_t K = std::max<int>(h->wMinPulses, 1); K <= h->wMaxPulses; K++) {
        mark(std::max<int64_t>(0, L - Tmax * K), std::min<int64_t>(Tmax - n, L - n - Tmin * (K - 1)), kFirst);
        for (int64_t i = 1; i < K; i++)
            mark(std::max<int64_t>(L - Tmax * (K - i), Tmin * i),
                 std::min<int64_t>(Tmax * (i + 1) - n, L - n - Tmin * (K - 1 - i)), kLater);
        mark(std::max<int64_t>(L - Tmax, Tmin * (K - 1)), std::min<int64_t>(Tmax * K - n, L - n), kLast);
    }
    return flags;
}

// One unfixed-count search; the chain of no pulses (cost = bound) when none is accepted.
bool unfixedSearch(const Input& in, const std::vector<int>& flags, const std::vector<uint16_t>& etalons,
                   int32_t bound, Chain& chain)
{
    const int L = in.series->dwSeriesSize;
    std::vector<int32_t> acc(L, kBig8), pred(L, -2), local(L, 0);
    std::vector<Pulse> chosen(L);
    for (int l = 0; l < L; l++)
        if (flags[l] & (kFirst | kLater))
            chosen[l] = localMatch(in, etalons, l, local[l]);
    for (int l = 0; l < L; l++)
        if ((flags[l] & kFirst) && !(flags[l] & kLater)) {
            acc[l] = local[l];
            pred[l] = -1;
        }
    for (int l = 0; l < L; l++)
        if ((flags[l] & kFirst) && (flags[l] & kLater)) {
            int32_t least = 0;
            int at = -2;
            for (int k = l - in.Tmax; k <= l - in.Tmin; k++)
                if (k >= 0 && acc[k] < least) {
                    least = acc[k];
                    at = k;
                }
            acc[l] = local[l] + least;
            pred[l] = at;
        }
    for (int l = 0; l < L; l++)
        if (!(flags[l] & kFirst) && (flags[l] & kLater)) {
            int32_t least = kBig8;
            int at = -2;
            for (int k = l - in.Tmax; k <= l - in.Tmin; k++)
                if (k >= 0 && acc[k] < least) {
                    least = acc[k];
                    at = k;
                }
            acc[l] = local[l] + least;
            pred[l] = at;
        }
    int end = -1;
    int32_t best = bound;
    for (int l = 0; l < L; l++)
        if ((flags[l] & kLast) && acc[l] < best) {
            best = acc[l];
            end = l;
        }
    chain.cost = best;
    chain.pulses.clear();
    if (end < 0)
        return false;
    for (int p = end; p >= 0; p = pred[p])
        chain.pulses.insert(chain.pulses.begin(), chosen[p]);
    return true;
}

} // namespace

Outcome detectFixed(const Input& in)
{
    Outcome out;
    const uint16_t M = in.series->wImpulseQuantity;
    out.quanPulses = out.seekingPulses = M;
    out.value = 1;
    Chain chain;
    if (!fixedSearch(in, in.list, kBig6, kBig7, chain)) {
        out.seekingPulses = 0;
        return out;
    }
    out.detected = chain.pulses;
    offer(out.chains, in.maxChains, chain);
    return out;
}

Outcome recognizeFixed(const Input& in)
{
    Outcome out;
    const uint16_t M = in.series->wImpulseQuantity;
    out.quanPulses = out.seekingPulses = M;
    out.value = -1;
    int32_t winnerCost = kBig9;
    for (uint16_t number : in.list) {
        Chain chain;
        if (!fixedSearch(in, {number}, kBig9, kBig9, chain))
            continue;
        offer(out.chains, in.maxChains, chain);
        if (chain.cost < winnerCost) {
            winnerCost = chain.cost;
            out.value = number;
            out.detected = chain.pulses;
        }
    }
    if (out.value < 0 && out.chains.empty())
        out.seekingPulses = 0;
    return out;
}

Outcome detectUnfixed(const Input& in)
{
    Outcome out;
    out.value = 1;
    const std::vector<int> flags = positionFlags(in.series, in.Tmin, in.Tmax);
    Chain chain;
    if (unfixedSearch(in, flags, in.list, kBig7, chain))
        out.detected = chain.pulses;
    offer(out.chains, in.maxChains, chain);
    out.seekingPulses = out.chains.empty() ? 0 : static_cast<uint16_t>(out.chains[0].pulses.size());
    return out;
}

Outcome recognizeUnfixed(const Input& in)
{
    Outcome out;
    out.value = 65535;
    out.quanPulses = in.series->wImpulseQuantity;
    const std::vector<int> flags = positionFlags(in.series, in.Tmin, in.Tmax);
    int32_t winnerCost = kBig7;
    for (uint16_t number : in.list) {
        Chain chain;
        unfixedSearch(in, flags, {number}, kBig9, chain);
        offer(out.chains, in.maxChains, chain);
        if (!out.chains.empty())
            out.seekingPulses = static_cast<uint16_t>(out.chains[0].pulses.size());
        if (chain.cost < winnerCost) {
            winnerCost = chain.cost;
            out.value = number;
        }
    }
    if (!out.chains.empty())
        out.detected = out.chains[0].pulses;
    return out;
}

} // namespace reference
