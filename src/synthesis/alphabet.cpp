// The etalon alphabet: the storage of its entries, the analytic and noise-like
// shapes, and the resampling of a pulse. Built once at window creation and on
// "New pulses"; every series and every detector reads it.
#include <algorithm>
#include <cmath>

#include "platform/allocation.h"
#include "synthesis.h"

/*---- Shapes ----*/

namespace {

// Truncation toward zero of a real sample, stored as a 16-bit sample.
int16_t truncSample(double v)
{
    return static_cast<int16_t>(static_cast<int32_t>(std::trunc(v)));
}

// Envelope with rise length r: rises over the first r samples, then decays.
double envelope(int i, int r, int n)
{
    if (i < r)
        return 1.0 - std::exp(i * (-8.0 / r));
    return std::exp(-(4.0 / (n - r)) * (i - r));
}

} // namespace

void rectanglePulse(int16_t level, uint16_t n, int16_t* destination)
{
    for (int i = 0; i < n; i++)
        destination[i] = level;
}

void halfSinePulse(int amplitude, uint16_t n, int16_t* destination)
{
    double phase = 0.0;
    double step = 3.141592654 / (n + 1);
    for (int i = 0; i < n; i++) {
        phase += step; // grows before each sample
        destination[i] = truncSample(std::sin(phase) * amplitude);
    }
}

void sinePulse(int amplitude, uint16_t n, int16_t* destination)
{
    double phase = 0.0;
    double step = 6.283185308 / (n + 1);
    for (int i = 0; i < n; i++) {
        phase += step;
        destination[i] = truncSample(std::sin(phase) * amplitude);
    }
}

void modulatedPulse(int amplitude, int rise, int periods, uint16_t n, int16_t* destination)
{
    double phase = 0.0;
    double step = periods * 6.283185308 / n;
    for (int i = 0; i < n; i++) {
        destination[i] = truncSample(std::sin(phase) * (amplitude * envelope(i, rise, n)));
        phase += step; // grows after each sample
    }
}

void envelopePulse(int amplitude, int rise, uint16_t n, int16_t* destination)
{
    for (int i = 0; i < n; i++)
        destination[i] = truncSample(amplitude * envelope(i, rise, n));
}

void noiseLikePulse(int amplitude, uint16_t n, int16_t* destination, RandomStreams& streams)
{
    int16_t sigma = static_cast<int16_t>(amplitude / 2);
    for (int i = 0; i < n; i++) {
        int v = static_cast<int16_t>(drawGauss(streams, RandomStream::NoiseEtalon, 0, sigma));
        if (v > amplitude - 1)
            v = amplitude - 1;
        if (v < -amplitude)
            v = -amplitude;
        destination[i] = static_cast<int16_t>(v);
    }
}

/*---- Resampling ----*/

void resamplePulse(uint16_t S, const int16_t* source, uint16_t D, int16_t* destination)
{
    if (S == 0 || D == 0)
        return;
    if (S == 1) {
        // One source sample: nothing to interpolate between (the growing walk
        // below would read a second sample that does not exist).
        for (int k = 0; k < D; k++)
            destination[k] = source[0];
        return;
    }
    const int span = D - 1; // destination k lies at source position k * (S - 1) / span
    if (D < S) {
        destination[0] = source[0];
        int acc = 0, j = 0;
        for (int k = 1; k <= D - 2; k++) {
            acc += S - 1;
            while (acc >= span) {
                acc -= span;
                j += 1;
            }
            destination[k] = static_cast<int16_t>(source[j] + (source[j + 1] - source[j]) * acc / span);
        }
    } else {
        int prev = source[0], j = 1, acc = 0;
        for (int k = 0; k <= D - 2; k++) {
            destination[k] = static_cast<int16_t>(prev + (source[j] - prev) * acc / span);
            acc += S - 1;
            if (acc >= span) {
                acc -= span;
                prev = source[j];
                j += 1;
            }
        }
    }
    destination[D - 1] = source[S - 1];
}

void invertPulse(uint16_t S, const int16_t* source, uint16_t D, int16_t* destination)
{
    resamplePulse(S, source, D, destination);
    for (int k = 0; k < D; k++)
        destination[k] = static_cast<int16_t>(-destination[k]);
}

/*---- The alphabet ----*/

int makeAlphabet(HWND hWnd, int16_t amplitude, uint16_t count, uint16_t length, PulseHeader* alphabet,
                 RandomStreams& streams)
{
    if (count > kAlphabetCapacity) {
        MessageBoxA(hWnd, "Неверно задан wAlphabetSize!\n\nЭталонов не может быть больше 20.", " makeAlphabet ",
                    MB_OK | MB_ICONWARNING);
        return 0;
    }
    if (length == 0) {
        MessageBoxA(hWnd, "Неверно задан wImpulseSize!\n\nДлина эталона должна быть не меньше 1.", " makeAlphabet ",
                    MB_OK | MB_ICONWARNING);
        return 0;
    }
    if (amplitude < 1) {
        MessageBoxA(hWnd, "Неверно задан wAmplitude!\n\nАмплитуда должна быть не меньше 1.", " makeAlphabet ",
                    MB_OK | MB_ICONWARNING);
        return 0;
    }

    // Storage pass: reuse what is large enough, grow the rest.
    for (int i = 0; i < count; i++) {
        PulseHeader& entry = alphabet[i];
        if (entry.lpData && entry.wReservedLength < length) {
            if (i == 0)
                MessageBoxA(hWnd, "Предварительное освобождение памяти!", "Отладка", MB_OK | MB_ICONWARNING);
            entry.lpData.reset();
        }
        if (!entry.lpData) {
            entry.lpData = makeArrayOrNull<int16_t>(AllocSite::AlphabetEtalon, length);
            if (!entry.lpData) {
                MessageBoxA(hWnd, "Не могу выделить память!", nullptr, MB_OK | MB_ICONWARNING);
                for (int k = i - 1; k >= 0; k--)
                    alphabet[k].lpData.reset();
                return 0;
            }
            entry.wReservedLength = length;
        }
        entry.wLength = length;
        entry.wNumber = static_cast<uint16_t>(i + 1);
    }

    // Shape pass: five analytic shapes with their inverted copies, then noise.
    const int a = amplitude, n = length;
    for (int j = 0; j < count; j++) {
        int16_t* x = alphabet[j].lpData.get();
        switch (j) {
        case 0: rectanglePulse(wRectangleLevel, length, x); break;
        case 2: halfSinePulse(2 * a / 3 - 1, length, x); break;
        case 4: sinePulse(wRectangleLevel * 1414 / 1000, length, x); break;
        case 6: modulatedPulse(6 * a / 5 + 2, (2 * n + 4) / 8, 4, length, x); break;
        case 8: envelopePulse((7 * a + 4) / 8 + 6, (2 * n + 4) / 8 - 1, length, x); break;
        case 1: case 3: case 5: case 7: case 9:
            invertPulse(length, alphabet[j - 1].lpData.get(), length, x);
            break;
        default: noiseLikePulse(a, length, x, streams); break;
        }
    }
    return 1;
}

void freeAlphabet(uint16_t count, PulseHeader* alphabet)
{
    for (int i = 0; i < count && i < kAlphabetCapacity; i++) {
        alphabet[i].lpData.reset();
        alphabet[i].wReservedLength = 0;
        alphabet[i].wLength = 0;
    }
}

void setEtalon(PulseHeader& e, uint16_t number, const int16_t* values, uint16_t length)
{
    std::unique_ptr<int16_t[]> data(new int16_t[length ? length : 1]);
    std::copy(values, values + length, data.get());
    e.lpData = std::move(data);
    e.wReservedLength = e.wLength = length;
    e.wNumber = number;
}
