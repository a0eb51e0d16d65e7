// What the tuple detectors share: the input check with its messages, the local
// match of each etalon they use, computed once per position for the whole run,
// and the series result with its grouping into tuples. A few calls per run.
#include <algorithm>
#include <cstdio>

#include "inputcheck.h"
#include "tuples.h"

TupleCheck checkTupleInput(HWND hWnd, const char* caption, const PulseHeader* alphabet, const int32_t* sizes,
                           const int32_t* const* tuples, int32_t count, bool recognition, uint16_t Tmin,
                           uint16_t Tmax, bool unfixed, const SeriesHeader* h, TupleSet& set)
{
    char text[320];
    text[0] = 0;
    auto refuse = [&](TupleCheck result) {
        MessageBoxA(hWnd, text, caption, MB_OK | MB_ICONWARNING);
        return result;
    };
    if (!h) {
        std::snprintf(text, sizeof text, shownText("Не определен lpSeriesHeader!"));
        return refuse(kTuplesRefused);
    }
    if (!h->lpPulsesList || h->wEtalonsQuantity == 0 || !h->lpPulsesList[0] || !h->lpNoisyData)
        return kTuplesNotBuilt;

    // The series and the distance bounds.
    const int n = h->wImpulseSize;
    const int64_t longest = std::min<uint32_t>(h->dwReservedSize, 32767);
    if (!alphabet)
        std::snprintf(text, sizeof text, shownText("Не определен Alphabet!"));
    else
        checkSeriesBounds(text, sizeof text, h, Tmin, Tmax, longest, static_cast<int>(longest));
    if (!text[0])
        checkPulseRoom(text, sizeof text, h, Tmin, unfixed);
    if (text[0])
        return refuse(kTuplesRefused);

    // The tuples: at least one, none empty, every etalon in the alphabet.
    const int alphabetSize = std::min<int>(h->wEtalonsQuantity, kMaxEtalonNumber);
    if (count <= 0 || !sizes || !tuples) {
        std::snprintf(
            text, sizeof text,
            shownText("Неверно задан wReservedSubsetsUsed!\n\nwReservedSubsetsUsed: %d (нужен хотя бы один кортеж)"),
            count);
        return refuse(kTuplesBad);
    }
    set.tuples.clear();
    set.etalons.clear();
    set.longest = 0;
    for (int32_t t = 0; t < count; t++) {
        const int32_t size = sizes[t];
        if (size <= 0 || size > 32767 || !tuples[t]) {
            if (recognition)
                std::snprintf(
                    text, sizeof text,
                    shownText("Неверно задан selectedSubsetArraySize!\n\nкортеж %d: %d эталонов (от 1 до 32767)"),
                    t + 1, size);
            else
                std::snprintf(
                    text, sizeof text,
                    shownText("Неверно задан wSelectedSubsetLength!\n\nwSelectedSubsetLength: %d (от 1 до 32767)"),
                    size);
            return refuse(kTuplesBad);
        }
        std::vector<int16_t> tuple(size);
        for (int32_t i = 0; i < size; i++) {
            const int32_t e = tuples[t][i];
            if (e < 1 || e > alphabetSize) {
                if (recognition)
                    std::snprintf(
                        text, sizeof text,
                        shownText("Неверно задан selectedSubsetArray!\n\nкортеж %d, элемент %d: %d (от 1 до %d)"),
                        t + 1, i + 1, e, alphabetSize);
                else
                    std::snprintf(text, sizeof text,
                                  shownText("Неверно задан selectedSubset!\n\nэлемент %d: %d (от 1 до %d)"), i + 1, e,
                                  alphabetSize);
                return refuse(kTuplesBad);
            }
            tuple[i] = static_cast<int16_t>(e);
            if (std::find(set.etalons.begin(), set.etalons.end(), e) == set.etalons.end())
                set.etalons.push_back(static_cast<uint16_t>(e));
        }
        set.longest = std::max(set.longest, tuple.size());
        set.tuples.push_back(std::move(tuple));
    }
    for (uint16_t e : set.etalons)
        if (!checkEtalonLength(text, sizeof text, alphabet, e, n))
            return refuse(kTuplesRefused);
    return kTuplesUsable;
}

int32_t tupleEarlyAnswer(TupleCheck check, bool recognition, bool unfixed, ChainsHeader* chains, SeriesHeader* h)
{
    if (check == kTuplesRefused)
        return 0;
    if (unfixed)
        resetChainsHeader(chains, 0, h->wMaxPulses);
    else
        resetChainsHeader(chains, h->wImpulseQuantity, h->wImpulseQuantity);
    emptyTupleResult(h);
    if (recognition)
        h->wRecognizedTuple = 0;
    if (chains)
        chains->wSeekingPulsesQuantity = 0;
    return check == kTuplesNotBuilt && !recognition ? 1 : 0;
}

void prepareEtalonMatches(EtalonMatches& m, const PulseHeader* alphabet, const TupleSet& set, uint16_t level,
                          const SeriesHeader* h)
{
    const uint16_t count = static_cast<uint16_t>(set.etalons.size());
    prepareMatchTable(m.table, alphabet, count, set.etalons.data(), h->wImpulseSize, level);
    std::fill(std::begin(m.entryOf), std::end(m.entryOf), -1);
    for (int e = 0; e < count; e++)
        m.entryOf[set.etalons[e]] = e;
    m.rows.assign(count, std::vector<LocalMatch>(h->dwSeriesSize, LocalMatch{0, 0, 0, 0}));
    m.computed.assign(count, 0);
    m.correlation.assign(h->dwSeriesSize, 0);
    m.x = h->lpNoisyData;
}

namespace {

// The match of an etalon that admits no part (a level of 100 or more) at
// positions first..last: the whole etalon, whose cost sum s (s - 2x) is its
// energy less twice its correlation with the series. One sample of the etalon
// at a time over all positions, so that the compiler can use vector instructions.
void wholeMatches(EtalonMatches& m, int e, int first, int last, LocalMatch* out)
{
    const int n = m.table.n;
    const int16_t* s = m.table.samples[e];
    const int32_t energy = m.table.energies[static_cast<size_t>(e) * (n + 1) + n];
    const int count = last - first + 1;
    int32_t* correlation = m.correlation.data();
    std::fill_n(correlation, count, 0);
    for (int i = 0; i < n; i++) {
        const int32_t si = s[i];
        const int16_t* x = m.x + first + i;
        for (int b = 0; b < count; b++)
            correlation[b] += si * x[b];
    }
    const int16_t number = m.table.numbers[e];
    const int16_t end = static_cast<int16_t>(n - 1);
    for (int b = 0; b < count; b++)
        out[first + b] = {energy - 2 * correlation[b], number, 0, end};
}

} // namespace

const LocalMatch* etalonRow(EtalonMatches& m, int number)
{
    const int e = m.entryOf[number];
    std::vector<LocalMatch>& row = m.rows[e];
    if (!m.computed[e]) {
        const int L = static_cast<int>(row.size());
        for (int k = 0; k < L; k++) { // each run of needed positions at once
            if (!m.needed[k])
                continue;
            int last = k;
            while (last + 1 < L && m.needed[last + 1])
                last++;
            if (m.table.lastStart[e] < 0)
                wholeMatches(m, e, k, last, row.data());
            else
                localMatchRange(m.table, e, e + 1, m.x, k, last, row.data());
            k = last;
        }
        m.computed[e] = 1;
    }
    return row.data();
}

void writeTupleResult(SeriesHeader* h, const ChainPulses& chain, int64_t firstGroup, int64_t a)
{
    writeDetectedPulses(h, chain);
    const int count = h->wDetectedQuantity;
    int groups = 0;
    int64_t size = std::max<int64_t>(firstGroup, 1);
    for (int first = 0; first < count; groups++) {
        const int last = static_cast<int>(std::min<int64_t>(first + size, count));
        h->lpTupleFirst[groups] = static_cast<int16_t>(first + 1);
        h->lpTupleLast[groups] = static_cast<int16_t>(last);
        first = last;
        size = std::max<int64_t>(a, 1);
    }
    h->wDetectedTuples = static_cast<int16_t>(groups);
}

void emptyTupleResult(SeriesHeader* h)
{
    h->wDetectedQuantity = 0;
    h->wDetectedTuples = 0;
}
