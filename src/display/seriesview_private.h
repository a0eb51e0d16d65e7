// Inside the display folder: the bounded readers of the series and chains
// records that every part of the series view uses, so that a record with
// counts beyond its arrays or null entries draws less instead of reading
// outside an array.
#pragma once

#include "kinds/kinds.h"
#include <algorithm>
#include <cstdint>

#include "detection/detection.h"
#include "display/display_private.h"
#include "synthesis/synthesis.h"

namespace seriesview {

// Samples of the series that may be read (0 without sample arrays).
inline int32_t samplesOf(const SeriesHeader* s)
{
    if (!s || !s->lpPureData || !s->lpNoisyData || s->dwSeriesSize <= 0)
        return 0;
    return std::min<int64_t>(s->dwSeriesSize, s->dwReservedSize);
}

// True pulses that may be read: wImpulseQuantity within the per-pulse arrays.
inline int32_t truePulsesOf(const SeriesHeader* s)
{
    return s ? std::min<int32_t>(s->wImpulseQuantity, s->wPulsesCapacity) : 0;
}

// Detected pulses that may be read.
inline int32_t detectedPulsesOf(const SeriesHeader* s)
{
    return s ? std::min<int32_t>(s->wDetectedQuantity, s->wPulsesCapacity) : 0;
}

// Detected tuples that may be read.
inline int32_t detectedTuplesOf(const SeriesHeader* s)
{
    return s ? std::clamp<int32_t>(s->wDetectedTuples, 0, s->wPulsesCapacity) : 0;
}

// The shape of etalon `number` (1-based) with at least one sample, or none.
inline const PulseHeader* etalonOf(const SeriesHeader* s, int32_t number)
{
    if (!s || !s->lpPulsesList || number < 1 || number > s->wEtalonsQuantity || number > s->wReservedEtalons)
        return nullptr;
    const PulseHeader* p = s->lpPulsesList[number - 1];
    if (!p || !p->lpData || p->wLength == 0)
        return nullptr;
    return p;
}

// The letter that follows an etalon number: 1 is a. Numbers beyond the
// printable range show as '?' rather than as a stray byte.
inline char letterOf(int32_t number)
{
    return (number >= 0 && number <= 30) ? static_cast<char>(number + 96) : '?';
}

// Whether the header holds the description of a run.
inline bool described(const ChainsHeader* c)
{
    return c && c->wDescription > 1;
}
inline uint16_t taskCodeOf(const ChainsHeader* c) { return described(c) ? c->wProcessingType : 0; }
inline uint16_t seriesCodeOf(const ChainsHeader* c) { return described(c) ? c->wSeriesType : 0; }

// Chains that may be read, and the pulses of chain k that may be read.
inline int32_t chainsOf(const ChainsHeader* c)
{
    if (!c || !c->distance || !c->pulsesQuantity || !c->pulsesList || !c->positionsList || !c->firstSamplesList ||
        !c->lastSamplesList)
        return 0;
    return std::min(c->wPretenders, c->wMaxSize);
}
inline int32_t chainPulsesOf(const ChainsHeader* c, int32_t k)
{
    return std::clamp<int32_t>(c->pulsesQuantity[k], 0, c->wMaxPulses);
}

} // namespace seriesview

// The legend (frame, caption, cells) and the tuple pattern box (legend.cpp);
// the box writes the row of each stored subset into rows (may be null).
void paintLegend(HDC hdc, const SeriesViewGeometry& g, int32_t A, uint16_t count, const uint16_t* list,
                 const ChainsHeader* c, const SeriesHeader* s);
void paintPatternBox(HDC hdc, const SeriesViewGeometry& g, int32_t A, int32_t picked, const ChainsHeader* c,
                     const SeriesHeader* s, std::vector<RECT>* rows);
