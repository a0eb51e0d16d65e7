// The engine's records as JSON, keyed by their field names: the series with
// its truth and detected pulses and the best chains, written for the dumps,
// " Save series...", the Python module and its test twin; and a series record
// read back from that JSON for `load series` and " Open series...", where the
// file is untrusted and every field is checked before anything is built from
// it. Free of Qt and of the program state, so the fuzz target calls the
// reader alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

struct PulseHeader;
struct SeriesHeader;

/*==========================================================================
** Writing
**========================================================================*/

// The first `count` entries of an array (none for a null array).
template <typename T>
nlohmann::ordered_json jsonArray(const T* data, long count)
{
    nlohmann::ordered_json a = nlohmann::ordered_json::array();
    for (long i = 0; data && i < count; i++)
        a.push_back(data[i]);
    return a;
}

struct ChainsHeader;
struct RestoreErrorHeader;
struct SimulationRequest;

nlohmann::ordered_json seriesHeaderJson(const SeriesHeader* h);  // null for no header
nlohmann::ordered_json chainsHeaderJson(const ChainsHeader* h);  // null for no header

// simulationDescriptionJson, the description of a run, is the result files'
// (results/results.h).
#include "results/results.h"

/*==========================================================================
** Reading a series back
**========================================================================*/

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
