// Series construction: the SeriesHeader's storage, the fixed- and random-count
// constructors with their placement and cut-off draws, the selected subsets and
// the required list. Called once per series by the shell and per trial by the
// simulation; the order of draws on every stream is part of the result.
//
//   [SECTION] Parameters and admissible counts
//   [SECTION] Storage (getCutOffSeriesHeader)
//   [SECTION] Construction (makeExtSeries and the constructors)
//   [SECTION] Selected subsets
//   [SECTION] Required list and release
#include <algorithm>
#include <cassert>
#include <cstdio>
#include <string>

#include "platform/allocation.h"
#include "synthesis.h"

/*==========================================================================
** [SECTION] Parameters and admissible counts
**========================================================================*/

uint16_t pulsesLowerBound(uint32_t length, uint16_t impulseSize, uint16_t tmax)
{
    if (tmax == 0)
        return 0;
    return static_cast<uint16_t>((length + impulseSize - 1u) / tmax);
}

uint16_t pulsesUpperBound(uint32_t length, uint16_t impulseSize, uint16_t tmin)
{
    if (tmin == 0)
        return 0;
    // Unsigned 32-bit arithmetic: a length shorter than one pulse wraps around
    // and is cut to 16 bits, as every pulse count is.
    return static_cast<uint16_t>((length + tmin - impulseSize) / tmin);
}

uint16_t minPulsesFor(int32_t N, uint16_t q, uint16_t Tmax)
{
    const uint16_t least = pulsesLowerBound(static_cast<uint32_t>(N), q, Tmax);
    return least == 0 ? 1 : least;
}

uint16_t maxPulsesFor(int32_t N, uint16_t q, uint16_t Tmin)
{
    return pulsesUpperBound(static_cast<uint32_t>(N), q, Tmin);
}

namespace {

// The first fault of the sizes every constructor relies on (non-empty draw
// ranges, no division by zero, positions that fit 16 bits) as a message in
// `text`; an empty text when the parameters can be built.
void seriesParameterFault(uint16_t A, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N, char (&text)[256])
{
    text[0] = 0;
    if (A == 0 || A > kAlphabetCapacity)
        std::snprintf(text, sizeof text,
                      shownText("Неверно задан wEtalonsQuantity!\n\nwEtalonsQuantity: %d (от 1 до %d)"), A,
                      kAlphabetCapacity);
    else if (Tmin == 0 || Tmin > Tmax)
        std::snprintf(text, sizeof text,
                      shownText("Неверно задан wTmin!\n\nwTmin: %d, wTmax: %d (нужно 1 <= wTmin <= wTmax)"), Tmin,
                      Tmax);
    else if (N < 1 || N > kMaxSeriesSize)
        std::snprintf(text, sizeof text, shownText("Неверно задан dwSeriesSize!\n\ndwSeriesSize: %d (от 1 до %d)"), N,
                      kMaxSeriesSize);
    else if (q == 0 || q > Tmax || q > N)
        std::snprintf(text, sizeof text,
                      shownText("Неверно задан wImpulseSize!\n\nwImpulseSize: %d, wTmax: %d, dwSeriesSize: %d"
                                " (нужно 1 <= wImpulseSize <= wTmax и wImpulseSize <= dwSeriesSize)"),
                      q, Tmax, N);
}

// Reports the first fault of seriesParameterFault with the given caption and
// returns 0; returns 1 when the parameters can be built.
int checkSeriesParameters(HWND hWnd, uint16_t A, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                          const char* caption)
{
    char text[256];
    seriesParameterFault(A, q, Tmin, Tmax, N, text);
    if (!text[0])
        return 1;
    MessageBoxA(hWnd, text, caption, MB_OK | MB_ICONWARNING);
    return 0;
}

// Points the per-pulse arrays into the sample block, in their fixed order.
void carveSampleBlock(SeriesHeader* h, uint32_t N, uint16_t M)
{
    int16_t* w = h->sampleBlock.data();
    h->lpPureData = w;
    h->lpNoisyData = w + N;
    int16_t** arrays[] = {&h->lpEtalonNumbers,    &h->lpDetectedNumbers, &h->lpPositions,  &h->lpDetectedPositions,
                          &h->lpLowBounds,        &h->lpHighBounds,      &h->lpCutBegin,   &h->lpCutEnd,
                          &h->lpDetectedCutBegin, &h->lpDetectedCutEnd,  &h->selectedSubset, &h->lpTupleFirst,
                          &h->lpTupleLast};
    int16_t* next = w + 2 * static_cast<size_t>(N);
    for (int16_t** array : arrays) {
        *array = next;
        next += M;
    }
}

} // namespace

int32_t pulseLowBound(int i, int K, int32_t N, int Tmin, int Tmax)
{
    return std::max<int32_t>(i * Tmin, N - Tmax * (K - i));
}

int32_t pulseHighBound(int i, int K, int32_t N, int q, int Tmin, int Tmax)
{
    return std::min<int32_t>((i + 1) * Tmax - q, N - q - Tmin * (K - i - 1));
}

/*==========================================================================
** [SECTION] Storage (getCutOffSeriesHeader)
**========================================================================*/

SeriesHeader* getCutOffSeriesHeader(HWND hWnd, uint16_t A, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                                    SeriesHeader* lpSeriesHeader)
{
    if (!checkSeriesParameters(hWnd, A, q, Tmin, Tmax, N, " getCutOffSeriesHeader "))
        return lpSeriesHeader;

    uint16_t maxPulses = maxPulsesFor(N, q, Tmin);
    uint16_t minPulses = minPulsesFor(N, q, Tmax);

    // A stored subset that fits the new capacity survives a reallocation.
    std::vector<int16_t> keptSubset;
    bool keep = false;
    uint16_t keptEmployment = 0, keptInit = 0;
    if (lpSeriesHeader && lpSeriesHeader->wSubsetLength != 0 && lpSeriesHeader->wSubsetLength <= maxPulses) {
        keptSubset.assign(lpSeriesHeader->selectedSubset, lpSeriesHeader->selectedSubset + lpSeriesHeader->wSubsetLength);
        keptEmployment = lpSeriesHeader->wSubsetEmployment;
        keptInit = lpSeriesHeader->wSubsetInitPosition;
        keep = true;
    }

    SeriesHeader* h = reuseOrMake(hWnd, lpSeriesHeader, AllocSite::SeriesHeader, "Нет памяти для newSeriesHeader!",
                                  " getCutOffSeriesHeader ");
    if (!h)
        return nullptr;

    if (h->dwReservedSize < static_cast<uint32_t>(N) || h->wPulsesCapacity < maxPulses) {
        if (!assignFreshOrSay<int16_t>(hWnd, AllocSite::SeriesSamples, h->sampleBlock,
                                       2 * static_cast<size_t>(N) + 13 * static_cast<size_t>(maxPulses),
                                       "Нет памяти для newSeriesHeader->lpPureData!", " getExtSeriesHeader ")) {
            freeSeriesHeader(h);
            return nullptr;
        }
        h->dwReservedSize = static_cast<uint32_t>(N);
        h->wPulsesCapacity = maxPulses;
        carveSampleBlock(h, static_cast<uint32_t>(N), maxPulses);
        // The old entries are gone with the old block: keep the subset only if
        // it fits, otherwise record that there is none (never a length that
        // would read past the new array).
        if (keep) {
            std::copy(keptSubset.begin(), keptSubset.end(), h->selectedSubset);
            h->wSubsetLength = static_cast<uint16_t>(keptSubset.size());
            h->wSubsetEmployment = keptEmployment;
            h->wSubsetInitPosition = keptInit;
        } else {
            h->wSubsetLength = 0;
        }
    }

    if (h->wReservedEtalons < A) {
        if (!assignFreshOrSay<PulseHeader*>(hWnd, AllocSite::SeriesPulsesList, h->pulsesStore, A,
                                            "Нет памяти для newSeriesHeader->lpPulsesList!", " getExtSeriesHeader ")) {
            freeSeriesHeader(h);
            return nullptr;
        }
        h->lpPulsesList = h->pulsesStore.data();
        h->wReservedEtalons = A;
    }

    h->wEtalonsQuantity = A;
    h->dwSeriesSize = N;
    h->wMaxPulses = maxPulses;
    h->wMinPulses = minPulses;
    h->wTmin = Tmin;
    h->wTmax = Tmax;
    std::fill(h->pulsesStore.begin(), h->pulsesStore.end(), nullptr);
    return h;
}

/*==========================================================================
** [SECTION] Construction (makeExtSeries and the constructors)
**========================================================================*/

namespace {

// Writes the selected subset into the sequence from subset index `from`, at
// write position p onward, while both last; returns the new write position.
int copySubset(const SeriesHeader* h, int from, int p, int K, uint16_t* sequence)
{
    for (int i = from; i < h->wSubsetLength && p < K; i++, p++)
        sequence[p] = static_cast<uint16_t>(h->selectedSubset[i]);
    return p;
}

// Places the selected subset into the sequence as its employment mode says.
void placeSubset(const SeriesHeader* h, int K, uint16_t* sequence, RandomStreams& streams)
{
    const int L = h->wSubsetLength;
    int p = h->wSubsetInitPosition - 1;
    switch (h->wSubsetEmployment) {
    case 1: { // single random
        int room = K - p - L + 1;
        if (room > 0)
            p += (drawRandom(streams, RandomStream::SubsetShift) >> 1) % room;
        copySubset(h, 0, p, K, sequence);
        break;
    }
    case 2: // single fixed
        copySubset(h, 0, p, K, sequence);
        break;
    case 3: { // multiple random
        int room = K - p - L + 1; // computed once
        do {
            if (room > 0)
                p += (drawRandom(streams, RandomStream::SubsetGap) >> 1) % room;
            p = copySubset(h, 0, p, K, sequence);
        } while (p < K);
        break;
    }
    case 4: // complete
        do
            p = copySubset(h, 0, p, K, sequence);
        while (p < K);
        break;
    case 5: { // shifted complete
        int f = (drawRandom(streams, RandomStream::SubsetShift) >> 1) % L;
        p = copySubset(h, f, p, K, sequence);
        while (p < K)
            p = copySubset(h, 0, p, K, sequence);
        break;
    }
    default:
        break;
    }
}

// Chooses the kept part c..d of an etalon (holding at least level % of its
// energy) with one draw on each cut stream, and writes it at `pos`.
void cutAndWritePulse(SeriesHeader* h, const PulseHeader* etalon, int q, int16_t level, int32_t pos,
                      int64_t* partialEnergy, int i, RandomStreams& streams)
{
    const int16_t* x = etalon ? etalon->lpData.get() : nullptr;
    partialEnergy[0] = 0;
    for (int k = 0; k < q; k++) {
        int32_t v = x ? x[k] : 0;
        partialEnergy[k + 1] = partialEnergy[k] + v * v;
    }
    const int64_t E = partialEnergy[q];
    const int64_t T = level * E / 100; // as the 32-bit product wherever that one is defined

    int b = 0;
    while (b < q && T < E - partialEnergy[b + 1])
        b += 1;
    if (b >= q)
        b = q - 1;
    int c = drawRandom(streams, RandomStream::CutBegin) % (b + 1);

    int k = q;
    for (;;) {
        k -= 1;
        if (k <= c || !(T < partialEnergy[k] - partialEnergy[c]))
            break;
    }
    int d = k + drawRandom(streams, RandomStream::CutEnd) % (q - k);

    for (int t = c; t <= d; t++)
        h->lpPureData[pos + t] = x ? x[t] : 0;
    h->lpPositions[i] = static_cast<int16_t>(pos);
    h->lpDetectedPositions[i] = -1;
    h->lpCutBegin[i] = static_cast<int16_t>(c);
    h->lpCutEnd[i] = static_cast<int16_t>(d);
}

// Why makeExtSeries refuses to build K pulses into the header, as the text of
// its message (the incompatibility report among them); an empty text when it
// builds them. The same for makeExtSeries and skipExtSeries.
void extSeriesFault(uint16_t A, const PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                    uint16_t K, const SeriesHeader* h, char (&text)[512])
{
    text[0] = 0;
    char parameters[256];
    seriesParameterFault(A, q, Tmin, Tmax, N, parameters);
    if (parameters[0]) {
        std::snprintf(text, sizeof text, "%s", parameters);
        return;
    }
    const uint16_t minP = minPulsesFor(N, q, Tmax);
    const uint16_t maxP = maxPulsesFor(N, q, Tmin);
    if (K < minP || K > maxP) {
        std::snprintf(text, sizeof text,
                      shownText("Несовместимые входные параметры!\n\ndwSeriesSize: %d [%d]\nwImpulseSize: %d [%d]\n"
                                "wMinPulses: %d [%d]\nwMaxPulses: %d [%d]\nwImpulseQuantity: %d\n\n"),
                      N, h->dwSeriesSize, q, h->wImpulseSize, minP, h->wMinPulses, maxP, h->wMaxPulses, K);
        return;
    }
    // The header must have been sized for these parameters (getCutOffSeriesHeader).
    if (h->dwReservedSize < static_cast<uint32_t>(N) || h->wPulsesCapacity < maxP || h->wReservedEtalons < A) {
        std::snprintf(text, sizeof text, shownText("Заголовок ряда не подготовлен для этих параметров!"));
        return;
    }
    for (int i = 0; i < A; i++) {
        if (alphabet[i].lpData && alphabet[i].wLength < q) {
            std::snprintf(text, sizeof text,
                          shownText("Неверно задан wImpulseSize!\n\nэталон %d: %d отсчётов, wImpulseSize: %d"), i + 1,
                          alphabet[i].wLength, q);
            return;
        }
    }
    if (h->wSubsetLength != 0 && (h->wSubsetInitPosition < 1 || h->wSubsetLength > h->wPulsesCapacity))
        std::snprintf(text, sizeof text,
                      shownText("Неверно задано подмножество!\n\nwSubsetInitPosition: %d (не меньше 1)\n"
                                "wSubsetLength: %d (не больше %d)"),
                      h->wSubsetInitPosition, h->wSubsetLength, h->wPulsesCapacity);
}

// The construction's mending of the sequence: an entry that names no etalon
// of the alphabet becomes 1 (the caller keeps the change).
void mendSequence(uint16_t A, int K, uint16_t* sequence)
{
    for (int j = 0; j < K; j++)
        if (sequence[j] < 1 || sequence[j] > A)
            sequence[j] = 1;
}

} // namespace

int makeExtSeries(HWND hWnd, uint16_t A, PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                  uint16_t K, uint16_t* sequence, int16_t amplitude, int16_t level, SeriesHeader* lpSeriesHeader,
                  RandomStreams& streams)
{
    SeriesHeader* h = lpSeriesHeader;
    if (!h || !alphabet || !sequence)
        return 0;
    char text[512];
    extSeriesFault(A, alphabet, q, Tmin, Tmax, N, K, h, text);
    if (text[0]) {
        MessageBoxA(hWnd, text, " makeExtSeries ", MB_OK | MB_ICONWARNING);
        return 0;
    }
    const uint16_t minP = minPulsesFor(N, q, Tmax);
    const uint16_t maxP = maxPulsesFor(N, q, Tmin);

    h->dwSeriesSize = N;
    h->wMaxPulses = maxP;
    h->wMinPulses = minP;
    h->wSeriesNoiseLevel = 0;
    h->wSeriesAmplitude = amplitude;
    h->wDefaultCutBegin = 0;
    h->wDefaultCutEnd = static_cast<int16_t>(q - 1);

    if (h->wSubsetLength != 0)
        placeSubset(h, K, sequence, streams);

    mendSequence(A, K, sequence);
    for (int j = 0; j < K; j++) {
        h->lpEtalonNumbers[j] = static_cast<int16_t>(sequence[j]);
        h->lpDetectedNumbers[j] = 0;
        h->lpDetectedCutBegin[j] = 0;
        h->lpDetectedCutEnd[j] = 0;
        h->lpCutBegin[j] = 0;
        h->lpCutEnd[j] = static_cast<int16_t>(q - 1);
    }

    h->wEtalonsQuantity = A;
    for (int i = 0; i < A; i++)
        h->lpPulsesList[i] = &alphabet[i];
    std::fill(h->lpPureData, h->lpPureData + N, 0);

    std::vector<int64_t> partialEnergy;
    if (!assignFreshOrSay<int64_t>(hWnd, AllocSite::SeriesPartialEnergy, partialEnergy, q + 1u,
                                   "Нет памяти для PartialEnergy!", nullptr))
        return 0;

    // Anchor first, then forward, then backward: the order of draws is fixed.
    int s = (drawRandom(streams, RandomStream::Position) >> 2) % K;
    for (int i = 0; i < K; i++) {
        h->lpLowBounds[i] = static_cast<int16_t>(pulseLowBound(i, K, N, Tmin, Tmax));
        h->lpHighBounds[i] = static_cast<int16_t>(pulseHighBound(i, K, N, q, Tmin, Tmax));
    }
    auto place = [&](int i, int32_t from, int32_t to) {
        int32_t pos = from + (drawRandom(streams, RandomStream::Position) >> 2) % (to - from + 1);
        cutAndWritePulse(h, h->lpPulsesList[sequence[i] - 1], q, level, pos, partialEnergy.data(), i, streams);
        return pos;
    };
    place(s, h->lpLowBounds[s], h->lpHighBounds[s]);
    for (int i = s + 1; i < K; i++)
        place(i, std::max<int32_t>(h->lpLowBounds[i], h->lpPositions[i - 1] + Tmin),
              std::min<int32_t>(h->lpPositions[i - 1] + Tmax, h->lpHighBounds[i]));
    for (int i = s - 1; i >= 0; i--)
        place(i, std::max<int32_t>(h->lpLowBounds[i], h->lpPositions[i + 1] - Tmax),
              std::min<int32_t>(h->lpPositions[i + 1] - Tmin, h->lpHighBounds[i]));

    h->wTmin = Tmin;
    h->wTmax = Tmax;
    h->wImpulseSize = q;
    h->wImpulseQuantity = K;
    std::copy(h->lpPureData, h->lpPureData + N, h->lpNoisyData);
    h->lpFirstEtalon = h->lpPulsesList[sequence[0] - 1];
    return 1;
}

int skipExtSeries(uint16_t A, const PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                  uint16_t K, uint16_t* sequence, const SeriesHeader* h, RandomStreams& streams)
{
    if (!h || !alphabet || !sequence)
        return 0;
    char text[512];
    extSeriesFault(A, alphabet, q, Tmin, Tmax, N, K, h, text);
    if (text[0])
        return 0;
    if (h->wSubsetLength != 0)
        placeSubset(h, K, sequence, streams);
    mendSequence(A, K, sequence);
    // makeExtSeries: the anchor index and one start per pulse, each pulse cut
    // with one draw on either cut stream (whole pulses too).
    jumpStream(streams, RandomStream::Position, 1u + K);
    jumpStream(streams, RandomStream::CutBegin, K);
    jumpStream(streams, RandomStream::CutEnd, K);
    return 1;
}

SeriesHeader* getSignalSeriesHeader(HWND hWnd, PulseHeader* alphabet, uint16_t A, uint16_t q, uint16_t Tmin,
                                    uint16_t Tmax, const int16_t* samples, int32_t N, SeriesHeader* lpSeriesHeader)
{
    if (!checkSeriesParameters(hWnd, A, q, Tmin, Tmax, N, " getCutOffSeriesHeader "))
        return nullptr;
    SeriesHeader* h = getCutOffSeriesHeader(hWnd, A, q, Tmin, Tmax, N, lpSeriesHeader);
    if (!h)
        return nullptr;
    h->wImpulseSize = q;
    std::copy(samples, samples + N, h->lpNoisyData);
    std::fill(h->lpPureData, h->lpPureData + N, int16_t{0});
    for (uint16_t i = 0; i < A; i++)
        h->lpPulsesList[i] = &alphabet[i];
    return h;
}

void setSignalPulseCount(SeriesHeader* h, uint16_t K)
{
    assert(K >= 1 && K <= h->wPulsesCapacity);
    h->wImpulseQuantity = K;
    for (int i = 0; i < K; i++) {
        h->lpLowBounds[i] = static_cast<int16_t>(pulseLowBound(i, K, h->dwSeriesSize, h->wTmin, h->wTmax));
        h->lpHighBounds[i] =
            static_cast<int16_t>(pulseHighBound(i, K, h->dwSeriesSize, h->wImpulseSize, h->wTmin, h->wTmax));
    }
}

SeriesHeader* getCutOffSeries(HWND hWnd, uint16_t A, PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax,
                              int32_t N, uint16_t K, uint16_t* sequence, int16_t amplitude, int16_t level,
                              SeriesHeader* lpSeriesHeader, RandomStreams& streams)
{
    if (!checkSeriesParameters(hWnd, A, q, Tmin, Tmax, N, " getCutOffSeries "))
        return lpSeriesHeader;
    SeriesHeader* h = getCutOffSeriesHeader(hWnd, A, q, Tmin, Tmax, N, lpSeriesHeader);
    if (!h) {
        MessageBoxA(hWnd, "Не могу выделить память для lpSeriesHeader!", " getCutOffSeries ", MB_OK | MB_ICONWARNING);
        return nullptr;
    }
    makeExtSeries(hWnd, A, alphabet, q, Tmin, Tmax, N, K, sequence, amplitude, level, h, streams);
    return h;
}

SeriesHeader* getRandomCountSeries(HWND hWnd, uint16_t A, PulseHeader* alphabet, uint16_t q, uint16_t Tmin,
                                   uint16_t Tmax, int32_t N, uint16_t /*K*/, uint16_t* sequence, int16_t amplitude,
                                   int16_t level, SeriesHeader* lpSeriesHeader, RandomStreams& streams)
{
    if (!checkSeriesParameters(hWnd, A, q, Tmin, Tmax, N, " getRandomCountSeries "))
        return lpSeriesHeader;
    uint16_t minP = minPulsesFor(N, q, Tmax);
    uint16_t maxP = maxPulsesFor(N, q, Tmin);
    if (maxP < minP) {
        // No count fits: the caller reports that no series could be made and
        // stores the null it gets, so the header goes rather than leaks.
        freeSeriesHeader(lpSeriesHeader);
        return nullptr;
    }
    uint16_t K = static_cast<uint16_t>(minP + (drawRandom(streams, RandomStream::Quantity) >> 2) % (maxP - minP + 1));
    return getCutOffSeries(hWnd, A, alphabet, q, Tmin, Tmax, N, K, sequence, amplitude, level, lpSeriesHeader,
                           streams);
}

/*==========================================================================
** [SECTION] Selected subsets
**========================================================================*/

int setSelectedSubset(HWND hWnd, const int32_t* entries, int32_t length, uint16_t employment, uint16_t initPosition,
                      SeriesHeader* lpSeriesHeader)
{
    SeriesHeader* h = lpSeriesHeader;
    if (!h)
        return 1;
    if (length < 0 || length > h->wMaxPulses || (length > 0 && !entries)) {
        char text[200];
        std::snprintf(text, sizeof text, shownText("Неверно задана длина подмножества!\n\nдлина: %d (от 0 до %d)"),
                      length, h->wMaxPulses);
        MessageBoxA(hWnd, text, " setSelectedSubset ", MB_OK | MB_ICONWARNING);
        return 0;
    }
    for (int i = 0; i < length; i++)
        h->selectedSubset[i] = static_cast<int16_t>(entries[i]);
    h->wSubsetLength = static_cast<uint16_t>(length);
    h->wSubsetEmployment = employment;
    h->wSubsetInitPosition = initPosition;
    return 1;
}

int addSomeSelectedSubsetToSeriesHeader(HWND hWnd, const int32_t* sizes, const int32_t* const* subsets,
                                        int32_t number, int32_t subsetsCapacity, int32_t entriesCapacity,
                                        int32_t chosen, uint16_t employment, uint16_t initPosition,
                                        SeriesHeader* lpSeriesHeader)
{
    if (number <= 0)
        return 0;
    SeriesHeader* h = lpSeriesHeader;
    if (!h)
        return 1;

    // Validate at the door: nothing is stored unless every subset fits.
    int pick = chosen - 1;
    if (pick < 0 || pick >= number)
        pick = number - 1;
    const char* fault = nullptr;
    if (!sizes || !subsets || number > subsetsCapacity || subsetsCapacity > 65535 || entriesCapacity < 0 ||
        entriesCapacity > 65535)
        fault = "Неверно заданы ёмкости подмножеств!";
    for (int i = 0; !fault && i < number; i++)
        if (sizes[i] < 0 || sizes[i] > entriesCapacity || (sizes[i] > 0 && !subsets[i]))
            fault = "Неверно задана длина подмножества!";
    if (!fault && sizes[pick] > h->wMaxPulses)
        fault = "Выбранное подмножество длиннее wMaxPulses!";
    if (fault) {
        MessageBoxA(hWnd, fault, " addSomeSelectedSubsetToSeriesHeader ", MB_OK | MB_ICONWARNING);
        return 0;
    }

    if (h->wSubsetsCapacity < subsetsCapacity || h->wSubsetCapacity < entriesCapacity) {
        h->subsetStore.clear();
        h->subsetStore.shrink_to_fit();
        h->subsetPointers.clear();
        h->subsetPointers.shrink_to_fit();
        h->selectedSubsetSize = nullptr;
        h->selectedSubsetList = nullptr;
        h->wSubsetsCapacity = 0;
        h->wSubsetCapacity = 0;
    }
    if (!h->selectedSubsetSize) {
        if (!assignFreshOrSay<int16_t>(hWnd, AllocSite::SeriesSubsetSizes, h->subsetStore,
                                       static_cast<size_t>(subsetsCapacity) * (entriesCapacity + 1),
                                       "Нет памяти для lpSeriesHeader->selectedSubsetSize!",
                                       " addSomeSelectedSubsetToSeriesHeader "))
            return 0;
        if (!assignFresh<int16_t*>(AllocSite::SeriesSubsetList, h->subsetPointers, subsetsCapacity)) {
            h->subsetStore.clear();
            MessageBoxA(hWnd, "Нет памяти для lpSeriesHeader->selectedSubsetList!",
                        " addSomeSelectedSubsetToSeriesHeader ", MB_OK);
            return 0;
        }
        h->selectedSubsetSize = h->subsetStore.data();
        h->selectedSubsetList = h->subsetPointers.data();
        for (int i = 0; i < subsetsCapacity; i++)
            h->selectedSubsetList[i] = h->selectedSubsetSize + subsetsCapacity + i * entriesCapacity;
        h->wSubsetsCapacity = static_cast<uint16_t>(subsetsCapacity);
        h->wSubsetCapacity = static_cast<uint16_t>(entriesCapacity);
    }

    h->wSelectedSubsets = static_cast<uint16_t>(number);
    for (int i = 0; i < number; i++) {
        h->selectedSubsetSize[i] = static_cast<int16_t>(sizes[i]);
        for (int k = 0; k < sizes[i]; k++)
            h->selectedSubsetList[i][k] = static_cast<int16_t>(subsets[i][k]);
    }

    for (int k = 0; k < sizes[pick]; k++)
        h->selectedSubset[k] = static_cast<int16_t>(subsets[pick][k]);
    h->wSubsetLength = static_cast<uint16_t>(sizes[pick]);
    h->wSubsetEmployment = employment;
    h->wSubsetInitPosition = initPosition;
    return 1;
}

/*==========================================================================
** [SECTION] Required list and release
**========================================================================*/

uint16_t* getRequiredList(HWND hWnd, uint16_t count, uint16_t* oldList)
{
    freeRequiredList(oldList);
    std::unique_ptr<uint16_t[]> list = makeArrayOrNull<uint16_t>(AllocSite::RequiredList, count);
    if (!list) {
        MessageBoxA(hWnd, "Нет памяти для newList!", " getRequiredList ", MB_OK);
        return nullptr;
    }
    for (int i = 0; i < count; i++)
        list[i] = static_cast<uint16_t>(i + 1);
    return list.release();  // the caller's until freeRequiredList
}

void freeRequiredList(uint16_t* list)
{
    std::unique_ptr<uint16_t[]> released(list);
}

int freeSeriesHeader(SeriesHeader* lpSeriesHeader)
{
    std::unique_ptr<SeriesHeader> released(lpSeriesHeader);  // with the block, the pulse list and the subsets
    return 1;
}
