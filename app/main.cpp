// pulsebench: the workbench executable. Until the window exists it builds the
// default alphabet and the first series, as window creation will, and prints
// a summary of them.
#include <cstdio>

#include <CLI/CLI.hpp>

#include "synthesis/synthesis.h"

namespace {

int64_t energyOf(const int16_t* x, int n)
{
    int64_t e = 0;
    for (int i = 0; i < n; i++)
        e += static_cast<int64_t>(x[i]) * x[i];
    return e;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Pulse series workbench: detection and recognition of pulse series in noise"};
    int pulses = 18;
    int length = 1200;
    int noise = 20;
    int lost = 25;
    app.add_option("--pulses", pulses, "pulse count of the first series")->check(CLI::Range(1, 32767));
    app.add_option("--length", length, "series length in samples")->check(CLI::Range(20, 32767));
    app.add_option("--noise", noise, "noise level")->check(CLI::Range(0, 10000));
    app.add_option("--lost", lost, "lost data level, percent")->check(CLI::Range(0, 100));
    CLI11_PARSE(app, argc, argv);

    const uint16_t q = 20, A = 20, Tmin = 40, Tmax = 181;
    const int16_t amplitude = 128;
    PulseHeader alphabet[kAlphabetCapacity];
    if (!makeAlphabet(nullptr, amplitude, A, q, alphabet))
        return 1;

    std::printf("Alphabet: %d etalons of %d samples\n", A, q);
    for (int i = 0; i < A; i++) {
        std::printf("  %2d  energy %6lld :", alphabet[i].wNumber,
                    static_cast<long long>(energyOf(alphabet[i].lpData.get(), q)));
        for (int k = 0; k < q; k++)
            std::printf(" %4d", alphabet[i].lpData[k]);
        std::printf("\n");
    }

    std::vector<uint16_t> sequence(maxPulsesFor(length, q, Tmin) + 1u, 1);
    int16_t noiseSeed = kNoiseSeedStart;
    SeriesHeader* series = getCutOffSeries(nullptr, A, alphabet, q, Tmin, Tmax, length, static_cast<uint16_t>(pulses),
                                           sequence.data(), amplitude, static_cast<int16_t>(100 - lost), nullptr);
    if (!series || !series->lpPulsesList[0]) {
        std::fprintf(stderr, "Не могу создать ряд!\n");
        freeSeriesHeader(series);
        return 1;
    }
    addNoise(series, static_cast<int16_t>(noise), noiseSeed);

    std::printf("\nSeries: %d samples, Tmin %d, Tmax %d, %d..%d pulses admissible, %d placed, noise %d, saved energy %d%%\n",
                series->dwSeriesSize, series->wTmin, series->wTmax, series->wMinPulses, series->wMaxPulses,
                series->wImpulseQuantity, series->wSeriesNoiseLevel, 100 - lost);
    std::printf("  pulse  etalon  start  bounds         kept\n");
    for (int i = 0; i < series->wImpulseQuantity; i++)
        std::printf("  %5d  %6d  %5d  %5d..%-5d  %2d..%d\n", i + 1, series->lpEtalonNumbers[i], series->lpPositions[i],
                    series->lpLowBounds[i], series->lpHighBounds[i], series->lpCutBegin[i], series->lpCutEnd[i]);
    freeSeriesHeader(series);
    freeAlphabet(A, alphabet);
    return 0;
}
