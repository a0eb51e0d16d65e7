// Tuple detection and recognition with an unfixed pulse count: one layer per
// tuple element, chains that follow the tuple cyclically, and the step reports
// of a debugging run. Called by the shell per processed series and by the
// simulation per trial; O(layers * L) per tuple besides the shared local match.
//
//   [SECTION] Step reports
//   [SECTION] The layered search of one tuple
//   [SECTION] The two operations
#include <algorithm>
#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>

#include "layers.h"
#include "tuples.h"
#include "platform/allocation.h"

/*==========================================================================
** [SECTION] Step reports
**========================================================================*/

namespace {

constexpr const char* kReportCaption = " About TuplesDetection ";
constexpr size_t kReportLength = 4999; // characters of a report; its buffer holds 5000 with the terminator

// A report text that never grows past kReportLength: the first piece that
// would not fit whole ends it.
struct ReportText {
    std::string text; // the report so far
    bool cut = false; // a piece did not fit; nothing more is added

    void add(const char* format, ...)
    {
        if (cut)
            return;
        char piece[64];
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(piece, sizeof piece, format, args);
        va_end(args);
        if (length < 0 || text.size() + static_cast<size_t>(length) > kReportLength) {
            cut = true;
            return;
        }
        text.append(piece, static_cast<size_t>(length));
    }
};

// Work of the layered search of one tuple, taken once per call for the longest tuple.
struct LayerWork {
    int P = 0;                            // positions 0..L-n of a layer
    int A = 0;                            // layers of the tuple at hand
    std::vector<int32_t> acc;             // [A][P] accumulated cost
    std::vector<int32_t> pred;            // [A][P] predecessor position on the layer before
    std::vector<const LocalMatch*> local; // [A] the match of the layer's etalon at each position
    std::vector<uint16_t> window;         // [A][P] each layer's sliding minimum (positions)
    std::vector<size_t> head, tail;       // [A] the live part of each layer's window
};

constexpr uint8_t kBoth = kFirstPosition | kLaterPosition;

// The intervals of the positions whose first/later flags are `wanted`.
void addIntervals(ReportText& r, const std::vector<uint8_t>& flags, int P, uint8_t wanted)
{
    for (int k = 0; k < P; k++) {
        if ((flags[k] & kBoth) != wanted)
            continue;
        int last = k;
        while (last + 1 < P && (flags[last + 1] & kBoth) == wanted)
            last++;
        r.add(" [%d..%d] ", k, last);
        k = last;
    }
}

// The marks of one layer over the positions whose flags are `wanted`: the
// cheapest (when below 0) with its cost, the others - or +, then predecessors.
void addMarks(ReportText& r, const std::vector<uint8_t>& flags, const LayerWork& g, int layer, uint8_t wanted)
{
    const int32_t* acc = g.acc.data() + static_cast<size_t>(layer) * g.P;
    const int32_t* pred = g.pred.data() + static_cast<size_t>(layer) * g.P;
    int32_t least = 0;
    int cheapest = -1;
    for (int k = 0; k < g.P; k++)
        if ((flags[k] & kBoth) == wanted && acc[k] < least) {
            least = acc[k];
            cheapest = k;
        }
    for (int k = 0; k < g.P; k++) {
        if ((flags[k] & kBoth) != wanted)
            continue;
        if (k == cheapest)
            r.add(" %d", acc[k]);
        else
            r.add(acc[k] < 0 ? " -" : " +");
        if (pred[k] >= 0)
            r.add("[%d]", pred[k]);
    }
}

// Report A: the first-only positions on the first layer, after they were set.
void showReportA(HWND hWnd, const std::vector<uint8_t>& flags, const LayerWork& g)
{
    ReportText r;
    r.add("omega_minus - omega_tilda: ");
    addIntervals(r, flags, g.P, kFirstPosition);
    r.add("\n");
    if (g.A > 0)
        addMarks(r, flags, g, 0, kFirstPosition);
    r.add("\n ");
    MessageBoxA(hWnd, r.text.c_str(), kReportCaption, MB_OK);
}

// Report B: the first-or-later positions on every layer, after they were set.
void showReportB(HWND hWnd, const std::vector<uint8_t>& flags, const LayerWork& g)
{
    ReportText r;
    r.add("omega_minus x omega_tilda: ");
    addIntervals(r, flags, g.P, kBoth);
    r.add("\n");
    for (int l = 0; l < g.A; l++) {
        r.add("l=%d\n ", l + 1);
        addMarks(r, flags, g, l, kBoth);
        r.add("\n ");
    }
    MessageBoxA(hWnd, r.text.c_str(), kReportCaption, MB_OK);
}

/*==========================================================================
** [SECTION] The layered search of one tuple
**========================================================================*/

// Sizes the work for tuples of up to `longest` layers. Throws std::bad_alloc.
void prepareLayerWork(LayerWork& g, int P, int longest)
{
    assert(P >= 1 && P <= 65536); // window entries are 16-bit positions 0..P-1
    const size_t cells = static_cast<size_t>(longest) * P;
    g.P = P;
    g.acc.reserve(cells);
    g.pred.reserve(cells);
    g.window.assign(cells, 0);
    g.local.reserve(longest);
    g.head.reserve(longest);
    g.tail.reserve(longest);
}

// Sets the layers up for a tuple: every cost unreached, the local match row of
// each element, and the first-only positions starting chains on layer 0.
void startTupleLayers(const std::vector<uint8_t>& flags, EtalonMatches& matches, const std::vector<int16_t>& tuple,
                      int A, int32_t big, LayerWork& g)
{
    const size_t P = static_cast<size_t>(g.P);
    g.A = A;
    g.acc.assign(A * P, big);
    g.pred.assign(A * P, big);
    g.local.assign(A, nullptr);
    for (int l = 0; l < A; l++)
        g.local[l] = etalonRow(matches, tuple[l]);
    if (A > 0)
        for (size_t m = 0; m < P; m++)
            if ((flags[m] & kBoth) == kFirstPosition) {
                g.acc[m] = g.local[0][m].cost;
                g.pred[m] = -1;
            }
}

// Moves every layer's window up to position m: positions up to m - Tmin enter
// (a monotone deque, lowest position on ties), those before m - Tmax leave.
void slideTupleWindows(LayerWork& g, int m, int Tmin, int Tmax, int& next)
{
    const size_t P = static_cast<size_t>(g.P);
    const int A = g.A;
    // Raw pointers of types other than the costs', so that the compiler keeps
    // the window bounds in registers across cost writes.
    size_t* head = g.head.data();
    size_t* tail = g.tail.data();
    const int left = std::max(m - Tmax, 0), right = m - Tmin;
    assert(m < g.P && right < m); // the windows lie inside the layers, before m: their costs are settled
    for (; next <= right; next++)
        for (int q = 0; q < A; q++) {
            const int32_t* c = g.acc.data() + q * P;
            uint16_t* w = g.window.data() + q * P;
            const int32_t value = c[next];
            size_t t = tail[q];
            while (t > head[q] && c[w[t - 1]] > value)
                t--;
            w[t] = static_cast<uint16_t>(next);
            tail[q] = t + 1;
        }
    for (int q = 0; q < A; q++) {
        const uint16_t* w = g.window.data() + q * P;
        size_t h = head[q];
        while (h < tail[q] && w[h] < left)
            h++;
        head[q] = h;
    }
}

// One walk over the positions of one kind: walk 0 takes the first-or-later
// positions (a chain is continued only when that lowers the cost), walk 1 the
// later-only ones. A position enters every layer's window once it lies Tmin
// behind; by then its cost is settled for the walk. After the last layer the
// chain goes on with layer 0 when `wraps`.
void walkTupleLayers(const std::vector<uint8_t>& flags, int walk, bool wraps, int Tmin, int Tmax, int32_t big,
                     LayerWork& g)
{
    const size_t P = static_cast<size_t>(g.P);
    const int A = g.A;
    const uint8_t wanted = walk == 0 ? kBoth : static_cast<uint8_t>(kLaterPosition);
    g.head.assign(A, 0);
    g.tail.assign(A, 0);
    const size_t* head = g.head.data();  // raw, as in slideTupleWindows
    const size_t* tail = g.tail.data();
    int next = 0;
    for (int m = 0; m < g.P; m++) {
        if ((flags[m] & kBoth) != wanted)
            continue;
        slideTupleWindows(g, m, Tmin, Tmax, next);
        for (int l = 0; l < A; l++) {
            const int q = l > 0 ? l - 1 : (wraps ? A - 1 : -1);
            const bool some = q >= 0 && head[q] < tail[q];
            const int at = some ? g.window[q * P + head[q]] : -1;
            const int32_t least = some ? g.acc[q * P + at] : 0;
            const int32_t local = g.local[l][m].cost;
            int32_t& cost = g.acc[l * P + m];
            int32_t& from = g.pred[l * P + m];
            if (walk == 0) {
                if (some && least < 0) {
                    cost = least + local;
                    from = at;
                } else {
                    cost = l == 0 ? local : big;
                    from = l == 0 ? -1 : -2;
                }
            } else {
                const bool reached = some && least < big;
                cost = reached ? least + local : big + local;
                from = reached ? at : -2;
            }
        }
    }
}

// The cheapest (last position, layer) below big, positions ascending, then
// layers, traced back through the predecessors (each on the layer before,
// cyclically) into `chain`. False, with cost = big and no pulses, when none.
bool traceTupleChain(const std::vector<uint8_t>& flags, int32_t big, const LayerWork& g, int32_t& cost,
                     ChainPulses& chain)
{
    const size_t P = static_cast<size_t>(g.P);
    const int A = g.A;
    int32_t best = big;
    int end = -1, endLayer = 0;
    for (size_t m = 0; m < P; m++)
        if (flags[m] & kLastPosition)
            for (int l = 0; l < A; l++)
                if (g.acc[l * P + m] < best) {
                    best = g.acc[l * P + m];
                    end = static_cast<int>(m);
                    endLayer = l;
                }
    chain.clear();
    cost = best;
    if (end < 0)
        return false;
    std::vector<int> positions, layers;
    for (int p = end, l = endLayer; p >= 0 && p < g.P && positions.size() <= P; l = l > 0 ? l - 1 : A - 1) {
        positions.push_back(p);
        layers.push_back(l);
        p = g.pred[l * P + p];
    }
    for (size_t i = positions.size(); i-- > 0;) {
        const LocalMatch& match = g.local[layers[i]][positions[i]];
        chain.push(match.number, static_cast<int16_t>(positions[i]), match.first, match.last);
    }
    return true;
}

// The cheapest chain that follows the tuple over the marked positions. Layer
// l holds the pulses of element l + 1; only layer 0 starts a chain, and after
// the last layer the chain goes on with layer 0 when every element has a
// layer (a tuple longer than Mmax ends with layer Mmax - 1). `big` stands for
// the unreached cost. False, with cost = big and no pulses, when no last
// position is reached below big.
bool tupleChain(HWND hWnd, const std::vector<uint8_t>& flags, EtalonMatches& matches,
                const std::vector<int16_t>& tuple, int Mmax, int Tmin, int Tmax, int32_t big, bool debug,
                LayerWork& g, int32_t& cost, ChainPulses& chain)
{
    const int a = static_cast<int>(tuple.size());
    const int A = std::min(a, Mmax);
    startTupleLayers(flags, matches, tuple, A, big, g);
    if (debug)
        showReportA(hWnd, flags, g);
    walkTupleLayers(flags, 0, A == a, Tmin, Tmax, big, g);
    if (debug)
        showReportB(hWnd, flags, g);
    walkTupleLayers(flags, 1, A == a, Tmin, Tmax, big, g);
    return traceTupleChain(flags, big, g, cost, chain);
}

/*==========================================================================
** [SECTION] The two operations
**========================================================================*/

// The work of a run: the position flags, the local match rows, the layers.
struct UnfixedTupleWork {
    UnfixedWork positions;  // first/later/last flags of every position
    EtalonMatches matches;  // local match rows of the tuples' etalons, computed on demand
    LayerWork g;            // the layers of the tuple at hand
};

// Resets the chains and takes the work of a run. False (with the message)
// when memory ran out.
bool takeUnfixedTupleWork(HWND hWnd, const PulseHeader* alphabet, const TupleSet& set, uint16_t Tmin, uint16_t Tmax,
                          uint16_t level, const SeriesHeader* h, ChainsHeader* chains, UnfixedTupleWork& w)
{
    resetChainsHeader(chains, 0, h->wMaxPulses);
    const int L = h->dwSeriesSize, n = h->wImpulseSize;
    if (!tryAllocate(AllocSite::TupleMatches, [&] {
            prepareUnfixedWork(w.positions, L, n, Tmin, Tmax, h->wMinPulses, h->wMaxPulses);
            w.matches.needed.assign(L, 0);
            for (int k = 0; k < L; k++)
                w.matches.needed[k] = (w.positions.flags[k] & kBoth) != 0;
            prepareEtalonMatches(w.matches, alphabet, set, level, h);
        })) {
        MessageBoxA(hWnd, "Нет памяти для EtalonsPartialEnergy!", nullptr, MB_OK);
        return false;
    }
    if (!tryAllocate(AllocSite::TupleLayerWork, [&] {
            prepareLayerWork(w.g, L - n + 1, static_cast<int>(std::min<size_t>(set.longest, h->wMaxPulses)));
        })) {
        MessageBoxA(hWnd, "Нет памяти для G_on_layers!", nullptr, MB_OK);
        return false;
    }
    return true;
}

} // namespace

int32_t detectUnfixedTuples(HWND hWnd, PulseHeader* Alphabet, int32_t wSelectedSubsetLength,
                            const int32_t* selectedSubset, uint16_t /*wSubsetProceeding: chains begin with element 1*/,
                            uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat,
                            ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    const bool debug = bDebugRepeat != 0;
    bDebugRepeat = 0;
    TupleSet set;
    const TupleCheck check = checkTupleInput(hWnd, " detectUnfixedTuples ", Alphabet, &wSelectedSubsetLength,
                                             &selectedSubset, 1, false, wTmin, wTmax, true, h, set);
    if (check != kTuplesUsable)
        return tupleEarlyAnswer(check, false, true, lpChainsHeader, h);
    UnfixedTupleWork w;
    if (!takeUnfixedTupleWork(hWnd, Alphabet, set, wTmin, wTmax, wProcSavedEnergyLevel, h, lpChainsHeader, w))
        return 0;
    int32_t cost = 0;
    ChainPulses chain;
    if (tupleChain(hWnd, w.positions.flags, w.matches, set.tuples[0], h->wMaxPulses, wTmin, wTmax,
                   kUnfixedPredecessorStart, debug, w.g, cost, chain))
        writeTupleResult(h, chain, set.tuples[0].size(), set.tuples[0].size());
    else
        emptyTupleResult(h);
    storeChain(lpChainsHeader, cost, chain);
    if (lpChainsHeader)
        lpChainsHeader->wSeekingPulsesQuantity = h->wDetectedQuantity;
    return 1;
}

int32_t recognizeUnfixedTuples(HWND hWnd, PulseHeader* Alphabet, const int32_t* selectedSubsetArraySize,
                               const int32_t* const* selectedSubsetArray, int32_t wReservedSubsetsUsed,
                               uint16_t /*wSubsetProceeding: chains begin with element 1*/, uint16_t wTmin,
                               uint16_t wTmax, uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat,
                               ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    const bool debug = bDebugRepeat != 0;
    bDebugRepeat = 0;
    TupleSet set;
    const TupleCheck check = checkTupleInput(hWnd, " recognizeUnfixedTuples ", Alphabet, selectedSubsetArraySize,
                                             selectedSubsetArray, wReservedSubsetsUsed, true, wTmin, wTmax, true, h,
                                             set);
    if (check != kTuplesUsable)
        return tupleEarlyAnswer(check, true, true, lpChainsHeader, h);
    UnfixedTupleWork w;
    if (!takeUnfixedTupleWork(hWnd, Alphabet, set, wTmin, wTmax, wProcSavedEnergyLevel, h, lpChainsHeader, w))
        return 0;
    int32_t winner = 0, winnerCost = kRecognitionBound;
    ChainPulses chain, winning;
    for (size_t t = 0; t < set.tuples.size(); t++) {
        int32_t cost = 0;
        tupleChain(hWnd, w.positions.flags, w.matches, set.tuples[t], h->wMaxPulses, wTmin, wTmax,
                   kRecognitionBound, debug, w.g, cost, chain);
        storeChain(lpChainsHeader, cost, chain);
        if (cost < winnerCost) { // strictly cheaper: the earlier tuple wins ties
            winnerCost = cost;
            winner = static_cast<int32_t>(t + 1);
            winning = chain;
        }
    }
    if (winner > 0)
        writeTupleResult(h, winning, set.tuples[winner - 1].size(), set.tuples[winner - 1].size());
    else
        emptyTupleResult(h);
    h->wRecognizedTuple = static_cast<int16_t>(winner);
    if (lpChainsHeader)
        lpChainsHeader->wSeekingPulsesQuantity = h->wDetectedQuantity;
    return winner;
}
