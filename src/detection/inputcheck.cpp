// The checks of the series and the distance bounds that every detector makes
// of its input, with their messages (inputcheck.h). One call each per run.
#include "inputcheck.h"

#include <cstdio>

bool checkSeriesBounds(char* text, size_t size, const SeriesHeader* h, uint16_t Tmin, uint16_t Tmax, int64_t longest,
                       int shownLongest)
{
    const int32_t L = h->dwSeriesSize;
    const int n = h->wImpulseSize;
    if (Tmin == 0 || Tmin > Tmax)
        std::snprintf(text, size, shownText("Неверно задан wTmin!\n\nwTmin: %d, wTmax: %d (нужно 1 <= wTmin <= wTmax)"),
                      Tmin, Tmax);
    else if (L < 1 || L > longest)
        std::snprintf(text, size, shownText("Неверно задан dwSeriesSize!\n\ndwSeriesSize: %d (от 1 до %d)"), L,
                      shownLongest);
    else if (n == 0 || n > L)
        std::snprintf(text, size, shownText("Неверно задан wImpulseSize!\n\nwImpulseSize: %d, dwSeriesSize: %d"), n, L);
    else
        return true;
    return false;
}

bool checkPulseRoom(char* text, size_t size, const SeriesHeader* h, uint16_t Tmin, bool unfixed)
{
    if (!unfixed) {
        if (h->wImpulseQuantity > 0 && h->wImpulseQuantity <= h->wPulsesCapacity && h->lpLowBounds)
            return true;
        std::snprintf(text, size, shownText("Неверно задан wImpulseQuantity!\n\nwImpulseQuantity: %d (от 1 до %d)"),
                      h->wImpulseQuantity, h->wPulsesCapacity);
        return false;
    }
    const int32_t longest = (h->dwSeriesSize - h->wImpulseSize) / Tmin + 1; // pulses at least Tmin apart in 0..L-n
    if (longest <= h->wPulsesCapacity)
        return true;
    std::snprintf(text, size,
                  shownText("Неверно задан wTmin!\n\nwTmin: %d: цепочка может содержать до %d импульсов, "
                            "а в ряду есть место только для %d"),
                  Tmin, longest, h->wPulsesCapacity);
    return false;
}

bool checkEtalonLength(char* text, size_t size, const PulseHeader* alphabet, int e, int n)
{
    if (alphabet[e - 1].lpData && alphabet[e - 1].wLength >= n)
        return true;
    std::snprintf(text, size, shownText("Неверно задан wImpulseSize!\n\nэталон %d: %d отсчётов, wImpulseSize: %d"), e,
                  alphabet[e - 1].lpData ? alphabet[e - 1].wLength : 0, n);
    return false;
}
