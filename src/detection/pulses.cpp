// The four single-pulse detectors: detection with a fixed or an unfixed pulse
// count (best etalon per pulse) and recognition (one etalon per chain, run once
// per listed etalon). Called by the shell per processed series and by the
// simulation per trial; at the default sizes each run takes about a millisecond.
//
//   [SECTION] Input checks and the series result
//   [SECTION] Fixed pulse count
//   [SECTION] Unfixed pulse count
#include <algorithm>
#include <cstdio>

#include "chainstore.h"
#include "detection.h"
#include "inputcheck.h"
#include "layers.h"
#include "matchkernels.h"
#include "platform/allocation.h"

/*==========================================================================
** [SECTION] Input checks and the series result
**========================================================================*/

namespace {

enum InputCheck { kRefused, kUsable, kNotBuilt };

// Checks what the detector reads. Refused input gets a message with the
// operation's caption; a series whose construction was refused (null pulse
// list) is reported as not built, without a message (its constructor already
// said why).
InputCheck checkInput(HWND hWnd, const char* caption, const PulseHeader* alphabet, uint16_t count,
                      const uint16_t* list, uint16_t Tmin, uint16_t Tmax, const ChainsHeader* chains,
                      bool needsChains, bool unfixed, const SeriesHeader* h)
{
    char text[320];
    text[0] = 0;
    if (!h)
        std::snprintf(text, sizeof text, shownText("Не определен lpSeriesHeader!"));
    else if (needsChains && !chains)
        std::snprintf(text, sizeof text, shownText("Не определен lpChainsHeader!"));
    if (text[0]) {
        MessageBoxA(hWnd, text, caption, MB_OK | MB_ICONWARNING);
        return kRefused;
    }
    if (!h->lpPulsesList || h->wEtalonsQuantity == 0 || !h->lpPulsesList[0] || !h->lpNoisyData)
        return kNotBuilt;
    const int n = h->wImpulseSize;
    // An unfixed count's positions are 16-bit: such a series is at most 65535 long.
    const int64_t longest = unfixed ? std::min<int64_t>(h->dwReservedSize, 65535) : int64_t{h->dwReservedSize};
    if (!alphabet)
        std::snprintf(text, sizeof text, shownText("Не определен Alphabet!"));
    else if (count == 0 || !list)
        std::snprintf(
            text, sizeof text,
            shownText("Неверно задан wRequiredQuantity!\n\nwRequiredQuantity: %d (нужен хотя бы один эталон)"), count);
    else
        checkSeriesBounds(text, sizeof text, h, Tmin, Tmax, longest,
                          unfixed ? 65535 : static_cast<int>(h->dwReservedSize));
    if (!text[0] && alphabet)
        for (int i = 0; i < count && !text[0]; i++) {
            const int e = list[i];
            if (e < 1 || e > kMaxEtalonNumber)
                std::snprintf(text, sizeof text,
                              shownText("Неверно задан lpRequiredList!\n\nэлемент %d: %d (от 1 до %d)"), i + 1, e,
                              kMaxEtalonNumber);
            else
                checkEtalonLength(text, sizeof text, alphabet, e, n);
        }
    if (!text[0])
        checkPulseRoom(text, sizeof text, h, Tmin, unfixed);
    if (!text[0])
        return kUsable;
    MessageBoxA(hWnd, text, caption, MB_OK | MB_ICONWARNING);
    return kRefused;
}

// The answer of a detector whose input check did not pass: `refused` after
// the check's message; `notBuilt` for a series that was never built, whose
// result is emptied (no pulses, no chains).
int32_t earlyAnswer(InputCheck check, int32_t refused, int32_t notBuilt, ChainsHeader* chains, SeriesHeader* h)
{
    if (check == kRefused)
        return refused;
    h->wDetectedQuantity = 0;
    resetChainsHeader(chains, 0, 0);
    return notBuilt;
}

// The chain's pulses from its positions and the local match of table entries
// from..to-1 at each (the searches keep only the costs): the first entry of
// least cost, then its kept part.
void collectChain(const std::vector<int32_t>& positions, const MatchTable& table, int from, int to,
                  const int16_t* x, ChainPulses& chain)
{
    chain.clear();
    const size_t count = table.count;
    std::vector<int32_t> each(to - from > 1 ? positions.size() * count : 0);
    if (!each.empty())
        matchCostsAt(table, x, positions.data(), static_cast<int32_t>(positions.size()), each.data(), count);
    for (size_t i = 0; i < positions.size(); i++) {
        int e = from;
        if (!each.empty()) {
            const int32_t* costs = &each[i * count];
            e = static_cast<int>(std::min_element(costs + from, costs + to) - costs);
        }
        const LocalMatch m = localMatchAt(table, e, e + 1, x + positions[i]);
        chain.push(m.number, static_cast<int16_t>(positions[i]), m.first, m.last);
    }
}

// Calls visit(first, last) for every run of positions marked in `wanted`.
template <typename Flag, class Visit>
void forEachRun(const std::vector<Flag>& marks, Flag wanted, const Visit& visit)
{
    const int32_t L = static_cast<int32_t>(marks.size());
    for (int32_t k = 0; k < L;) {
        if (!(marks[k] & wanted)) {
            k++;
            continue;
        }
        int32_t end = k;
        while (end + 1 < L && (marks[end + 1] & wanted))
            end++;
        visit(k, end);
        k = end + 1;
    }
}

// The local match cost of table entries from..to-1 at every position marked
// in `wanted`.
template <typename Flag>
void localCosts(const MatchTable& table, int from, int to, const int16_t* x, const std::vector<Flag>& marks,
                Flag wanted, std::vector<int32_t>& cost)
{
    forEachRun(marks, wanted, [&](int32_t first, int32_t last) { matchCosts(table, from, to, x, first, last, cost.data()); });
}

// After each offer the unfixed detectors seek the length of the best chain.
void seekBestChain(ChainsHeader* chains)
{
    if (chains && chains->wPretenders > 0)
        chains->wSeekingPulsesQuantity = static_cast<uint16_t>(chains->pulsesQuantity[0]);
}

} // namespace

/*==========================================================================
** [SECTION] Fixed pulse count
**========================================================================*/

namespace {

// Takes the work of a fixed-count run in two blocks (with the side-by-side
// searches of `across`, when given, in the second); false when memory ran out,
// after the message that names the block (`second` for the second one).
bool takeFixedWork(HWND hWnd, FixedWork& w, MatchTable& table, const PulseHeader* alphabet, uint16_t count,
                   const uint16_t* list, uint16_t level, uint16_t Tmin, uint16_t Tmax, const SeriesHeader* h,
                   const char* second, FixedAcrossWork* across = nullptr)
{
    if (!tryAllocate(AllocSite::MatchTable,
                     [&] { prepareMatchTable(table, alphabet, count, list, h->wImpulseSize, level, false); })) {
        MessageBoxA(hWnd, "Нет памяти для ppDw!", nullptr, MB_OK);
        return false;
    }
    if (!tryAllocate(AllocSite::PulseWork, [&] {
            prepareFixedWork(w, h->dwSeriesSize, h->wImpulseSize, h->wImpulseQuantity, h->lpLowBounds, h->lpHighBounds,
                             Tmin, Tmax);
            if (across)
                prepareFixedAcross(*across, w, count);
        })) {
        MessageBoxA(hWnd, second, nullptr, MB_OK);
        return false;
    }
    return true;
}

} // namespace

int32_t detectFixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                          uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel,
                          ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    const InputCheck check = checkInput(hWnd, " detectFixedPulses ", Alphabet, wRequiredQuantity, lpRequiredList,
                                        wTmin, wTmax, lpChainsHeader, false, false, h);
    if (check != kUsable)
        return earlyAnswer(check, 0, 1, lpChainsHeader, h);
    FixedWork w;
    MatchTable table;
    if (!takeFixedWork(hWnd, w, table, Alphabet, wRequiredQuantity, lpRequiredList, wProcSavedEnergyLevel, wTmin,
                       wTmax, h, "Нет памяти для ppDw[m]!"))
        return 0;
    const uint16_t M = h->wImpulseQuantity;
    resetChainsHeader(lpChainsHeader, M, M);
    localCosts<uint8_t>(table, 0, table.count, h->lpNoisyData, w.needed, 1, w.cost);
    int32_t cost = 0;
    std::vector<int32_t> positions;
    if (!fixedChain(w, wTmin, wTmax, kFixedPredecessorStart, kFixedAcceptBound, cost, positions)) {
        h->wDetectedQuantity = 0; // no admissible chain: nothing detected, nothing offered
        if (lpChainsHeader)
            lpChainsHeader->wSeekingPulsesQuantity = 0;
        return 1;
    }
    ChainPulses chain;
    collectChain(positions, table, 0, table.count, h->lpNoisyData, chain);
    writeDetectedPulses(h, chain);
    storeChain(lpChainsHeader, cost, chain);
    return 1;
}

int32_t recognizeFixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                             uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel,
                             ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    const InputCheck check = checkInput(hWnd, " recognizeFixedPulses ", Alphabet, wRequiredQuantity, lpRequiredList,
                                        wTmin, wTmax, lpChainsHeader, false, false, h);
    if (check != kUsable)
        return earlyAnswer(check, -1, -1, lpChainsHeader, h);
    FixedWork w;
    FixedAcrossWork across;
    MatchTable table;
    if (!takeFixedWork(hWnd, w, table, Alphabet, wRequiredQuantity, lpRequiredList, wProcSavedEnergyLevel, wTmin,
                       wTmax, h, "Нет памяти для indexes!", &across))
        return -1;
    const uint16_t M = h->wImpulseQuantity;
    resetChainsHeader(lpChainsHeader, M, M);
    // Every etalon's local match once, then every etalon's search side by
    // side; when that would take too much memory, one etalon after another.
    if (across.stride > 0) {
        forEachRun<uint8_t>(w.needed, 1, [&](int32_t first, int32_t last) {
            matchCostsEach(table, h->lpNoisyData, first, last, across.costs.data(), across.stride);
        });
        fixedLayersAcross(w, across, wTmin, wTmax, kRecognitionBound);
    }
    auto chainOf = [&](int e, int32_t& cost, std::vector<int32_t>& positions) {
        if (across.stride > 0)
            return fixedChainOf(w, across, e, wTmin, wTmax, kRecognitionBound, cost, positions);
        localCosts<uint8_t>(table, e, e + 1, h->lpNoisyData, w.needed, 1, w.cost);
        return fixedChain(w, wTmin, wTmax, kRecognitionBound, kRecognitionBound, cost, positions);
    };
    int32_t winner = -1, winnerCost = kRecognitionBound;
    ChainPulses chain, winning;
    std::vector<int32_t> positions;
    for (int e = 0; e < table.count; e++) {
        int32_t cost = 0;
        if (!chainOf(e, cost, positions))
            continue; // no admissible chain for this etalon: nothing offered
        collectChain(positions, table, e, e + 1, h->lpNoisyData, chain);
        storeChain(lpChainsHeader, cost, chain);
        if (cost < winnerCost) { // strictly cheaper: the earliest etalon wins ties
            winnerCost = cost;
            winner = table.numbers[e];
            winning = chain;
        }
    }
    if (winner < 0) {
        h->wDetectedQuantity = 0;
        if (lpChainsHeader && lpChainsHeader->wPretenders == 0)
            lpChainsHeader->wSeekingPulsesQuantity = 0;
        return -1;
    }
    writeDetectedPulses(h, winning);
    return winner;
}

/*==========================================================================
** [SECTION] Unfixed pulse count
**========================================================================*/

int32_t detectUnfixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                            uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel,
                            ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    const InputCheck check = checkInput(hWnd, " detectUnfixedPulses ", Alphabet, wRequiredQuantity, lpRequiredList,
                                        wTmin, wTmax, lpChainsHeader, false, true, h);
    if (check != kUsable)
        return earlyAnswer(check, 0, 1, lpChainsHeader, h);
    MatchTable table;
    UnfixedWork w;
    if (!tryAllocate(AllocSite::MatchTable, [&] {
            prepareMatchTable(table, Alphabet, wRequiredQuantity, lpRequiredList, h->wImpulseSize,
                              wProcSavedEnergyLevel, false);
        })) {
        MessageBoxA(hWnd, "Нет памяти для EtalonsPartialEnergy!", nullptr, MB_OK);
        return 0;
    }
    if (!tryAllocate(AllocSite::PulseWork, [&] {
            prepareUnfixedWork(w, h->dwSeriesSize, h->wImpulseSize, wTmin, wTmax, h->wMinPulses, h->wMaxPulses);
        })) {
        MessageBoxA(hWnd, "Нет памяти для indexes!", nullptr, MB_OK);
        return 0;
    }
    resetChainsHeader(lpChainsHeader, 0, h->wMaxPulses);
    localCosts<uint8_t>(table, 0, table.count, h->lpNoisyData, w.flags, kFirstPosition | kLaterPosition, w.cost);
    int32_t cost = 0;
    std::vector<int32_t> positions;
    ChainPulses chain;
    if (unfixedChain(w, wTmin, wTmax, kUnfixedAcceptBound, cost, positions)) {
        collectChain(positions, table, 0, table.count, h->lpNoisyData, chain);
        writeDetectedPulses(h, chain);
    } else {
        h->wDetectedQuantity = 0; // a chain of no pulses is offered
    }
    storeChain(lpChainsHeader, cost, chain);
    seekBestChain(lpChainsHeader);
    return 1;
}

int32_t recognizeUnfixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity,
                               uint16_t* lpRequiredList, uint16_t wTmin, uint16_t wTmax,
                               uint16_t wProcSavedEnergyLevel, ChainsHeader* lpChainsHeader,
                               SeriesHeader* lpSeriesHeader)
{
    constexpr int32_t kNone = 65535;
    SeriesHeader* h = lpSeriesHeader;
    const InputCheck check = checkInput(hWnd, " recognizeUnfixedPulses ", Alphabet, wRequiredQuantity, lpRequiredList,
                                        wTmin, wTmax, lpChainsHeader, true, true, h);
    if (check != kUsable)
        return earlyAnswer(check, kNone, kNone, lpChainsHeader, h);
    ChainsHeader* chains = lpChainsHeader;
    MatchTable table;
    UnfixedWork w;
    if (!tryAllocate(AllocSite::MatchTable, [&] {
            prepareMatchTable(table, Alphabet, wRequiredQuantity, lpRequiredList, h->wImpulseSize,
                              wProcSavedEnergyLevel, false);
        }) || !tryAllocate(AllocSite::PulseWork, [&] {
            prepareUnfixedWork(w, h->dwSeriesSize, h->wImpulseSize, wTmin, wTmax, h->wMinPulses, h->wMaxPulses);
        })) {
        MessageBoxA(hWnd, "Нет памяти для indexes!", nullptr, MB_OK);
        return 0;
    }
    emptyChainsHeader(chains, h->wImpulseQuantity);
    int32_t winner = kNone, winnerCost = kUnfixedAcceptBound;
    std::vector<int32_t> positions;
    ChainPulses chain;
    for (int e = 0; e < table.count; e++) {
        localCosts<uint8_t>(table, e, e + 1, h->lpNoisyData, w.flags, kFirstPosition | kLaterPosition, w.cost);
        int32_t cost = 0;
        chain.clear();
        if (unfixedChain(w, wTmin, wTmax, kRecognitionBound, cost, positions))
            collectChain(positions, table, e, e + 1, h->lpNoisyData, chain);
        storeChain(chains, cost, chain);
        seekBestChain(chains);
        if (cost < winnerCost) { // strictly cheaper: the earliest etalon wins ties
            winnerCost = cost;
            winner = table.numbers[e];
        }
    }
    // The result is the best chain held.
    ChainPulses best;
    if (chains->wPretenders > 0) {
        const int count = std::clamp<int>(chains->pulsesQuantity[0], 0, chains->wMaxPulses);
        for (int i = 0; i < count; i++)
            best.push(chains->pulsesList[0][i], chains->positionsList[0][i], chains->firstSamplesList[0][i],
                      chains->lastSamplesList[0][i]);
    }
    writeDetectedPulses(h, best);
    return winner;
}
