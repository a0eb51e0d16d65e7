// A series record read back from the JSON that seriesHeaderJson writes (the
// `dump series` file, and " Save series..." with its etalons), for `load
// series` and " Open series...". The file is untrusted: every field is
// checked before anything is built from it. Free of Qt and of the program
// state, so the fuzz target calls it alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

struct PulseHeader;
struct SeriesHeader;

// Every field of a series dump, checked against each other.
struct LoadedSeries {
    int32_t N = 0;                        // dwSeriesSize, samples, 1..32767
    uint16_t Tmin = 0, Tmax = 0;          // wTmin, wTmax, samples, 1 <= Tmin <= Tmax
    uint16_t q = 0;                       // wImpulseSize, samples, 1..min(Tmax, N)
    uint16_t K = 0;                       // wImpulseQuantity, truth pulses, <= the series' pulse capacity
    uint16_t minPulses = 0, maxPulses = 0; // wMinPulses, wMaxPulses: what the length, q, Tmin and Tmax give
    int16_t noiseLevel = 0;               // wSeriesNoiseLevel, sample units
    int16_t amplitude = 0;                // wSeriesAmplitude
    std::vector<int16_t> pure, noisy;     // lpPureData, lpNoisyData: N samples each
    std::vector<int16_t> positions, etalons, cutBegin, cutEnd, lowBounds, highBounds;  // K each, the truth
    std::vector<int16_t> detectedPositions, detectedNumbers, detectedCutBegin, detectedCutEnd;  // D each
    std::vector<int16_t> tupleFirst, tupleLast;  // wDetectedTuples each: 0-based detected pulse indices
    int16_t recognizedTuple = 0;          // wRecognizedTuple, 1-based, 0 for none
    std::vector<int16_t> subset;          // selectedSubset: etalon numbers, wSubsetLength of them
    std::vector<std::vector<int16_t>> shapes;  // "etalons" when the file carries them: [count][q]; empty: none
};

// Parses and checks the text. Etalon numbers must name one of the file's own
// etalons, or without them one of `alphabetSize` etalons of `alphabetLength`
// samples (which must then be q). False with a message that names the first
// field that is wrong and why.
bool parseSeriesJson(std::string_view text, uint16_t alphabetSize, uint16_t alphabetLength, LoadedSeries& out,
                     std::string& error);

// A new series record holding exactly the loaded fields, its pulse list
// pointing at `etalons` (count entries). Null with a message when the record
// could not be made (out of memory, a pulse capacity below the file's counts).
SeriesHeader* makeLoadedSeries(HWND hWnd, const LoadedSeries& in, PulseHeader* etalons, uint16_t count,
                               std::string& error);
