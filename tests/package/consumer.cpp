// Builds the standard alphabet and a noisy series with the installed engine,
// detects its pulses, and prints how many were found next to how many were
// placed: what a program of someone else's would do first.
#include <cstdio>

#include "detection/detection.h"
#include "synthesis/synthesis.h"

int main()
{
    RandomStreams streams;  // as in a freshly started program
    PulseHeader alphabet[20];
    if (!makeAlphabet(nullptr, 128, 20, 20, alphabet, streams))
        return 1;
    uint16_t sequence[64];
    for (uint16_t& e : sequence)
        e = 1;
    SeriesHeader* series =
        getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 18, sequence, 128, 75, nullptr, streams);
    if (!series)
        return 1;
    uint16_t required[1] = {1};
    ChainsHeader* chains = getChainsHeader(nullptr, 10, series->wMaxPulses, nullptr);
    const int32_t found = detectFixedPulses(nullptr, alphabet, 1, required, 40, 181, 75, chains, series);
    std::printf("placed %d, detected %d, result %d\n", series->wImpulseQuantity, series->wDetectedQuantity, found);
    const bool ok = found == 1 && series->wDetectedQuantity == series->wImpulseQuantity;
    freeChainsHeader(nullptr, chains);
    freeSeriesHeader(series);
    return ok ? 0 : 1;
}
