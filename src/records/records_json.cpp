// The series and chains records as JSON for the
// dumps, the batch command, the Python module and its test twin
// (records.h). One call per dump; a series of N samples gives two arrays
// of N numbers.
#include "records/records.h"

#include "detection/detection.h"
#include "simulation/simulation.h"
#include "synthesis/synthesis.h"

using nlohmann::ordered_json;

ordered_json seriesHeaderJson(const SeriesHeader* h)
{
    if (!h)
        return nullptr;
    const long N = h->dwSeriesSize, K = h->wImpulseQuantity, D = h->wDetectedQuantity;
    ordered_json j;
    j["dwSeriesSize"] = h->dwSeriesSize;
    j["wTmin"] = h->wTmin;
    j["wTmax"] = h->wTmax;
    j["wImpulseSize"] = h->wImpulseSize;
    j["wImpulseQuantity"] = h->wImpulseQuantity;
    j["wMinPulses"] = h->wMinPulses;
    j["wMaxPulses"] = h->wMaxPulses;
    j["wSeriesNoiseLevel"] = h->wSeriesNoiseLevel;
    j["wSeriesAmplitude"] = h->wSeriesAmplitude;
    j["lpPureData"] = jsonArray(h->lpPureData, N);
    j["lpNoisyData"] = jsonArray(h->lpNoisyData, N);
    j["lpPositions"] = jsonArray(h->lpPositions, K);
    j["lpEtalonNumbers"] = jsonArray(h->lpEtalonNumbers, K);
    j["lpCutBegin"] = jsonArray(h->lpCutBegin, K);
    j["lpCutEnd"] = jsonArray(h->lpCutEnd, K);
    j["lpLowBounds"] = jsonArray(h->lpLowBounds, K);
    j["lpHighBounds"] = jsonArray(h->lpHighBounds, K);
    j["wDetectedQuantity"] = h->wDetectedQuantity;
    j["lpDetectedPositions"] = jsonArray(h->lpDetectedPositions, D);
    j["lpDetectedNumbers"] = jsonArray(h->lpDetectedNumbers, D);
    j["lpDetectedCutBegin"] = jsonArray(h->lpDetectedCutBegin, D);
    j["lpDetectedCutEnd"] = jsonArray(h->lpDetectedCutEnd, D);
    j["wDetectedTuples"] = h->wDetectedTuples;
    j["lpTupleFirst"] = jsonArray(h->lpTupleFirst, h->wDetectedTuples);
    j["lpTupleLast"] = jsonArray(h->lpTupleLast, h->wDetectedTuples);
    j["wRecognizedTuple"] = h->wRecognizedTuple;
    j["wSubsetLength"] = h->wSubsetLength;
    j["selectedSubset"] = jsonArray(h->selectedSubset, h->wSubsetLength);
    return j;
}

ordered_json chainsHeaderJson(const ChainsHeader* h)
{
    if (!h)
        return nullptr;
    ordered_json j;
    j["wMaxSize"] = h->wMaxSize;
    j["wPretenders"] = h->wPretenders;
    j["wMaxPulses"] = h->wMaxPulses;
    j["wQuanPulses"] = h->wQuanPulses;
    j["wSeekingPulsesQuantity"] = h->wSeekingPulsesQuantity;
    j["distance"] = jsonArray(h->distance, h->wPretenders);
    j["pulsesQuantity"] = jsonArray(h->pulsesQuantity, h->wPretenders);
    ordered_json pulses = ordered_json::array(), positions = ordered_json::array(), first = ordered_json::array(),
                 last = ordered_json::array();
    for (long i = 0; i < h->wPretenders; i++) {
        const long n = h->pulsesQuantity[i];
        pulses.push_back(jsonArray(h->pulsesList[i], n));
        positions.push_back(jsonArray(h->positionsList[i], n));
        first.push_back(jsonArray(h->firstSamplesList[i], n));
        last.push_back(jsonArray(h->lastSamplesList[i], n));
    }
    j["pulsesList"] = pulses;
    j["positionsList"] = positions;
    j["firstSamplesList"] = first;
    j["lastSamplesList"] = last;
    j["wDescription"] = h->wDescription;
    j["wSeriesType"] = h->wSeriesType;
    j["wProcessingType"] = h->wProcessingType;
    j["lpTaskName"] = h->lpTaskName ? ordered_json(h->lpTaskName) : ordered_json(nullptr);
    j["lpSeriesTypeName"] = h->lpSeriesTypeName ? ordered_json(h->lpSeriesTypeName) : ordered_json(nullptr);
    j["wMakingSavedEnergy"] = h->wMakingSavedEnergy;
    j["wProcessingSavedEnergy"] = h->wProcessingSavedEnergy;
    return j;
}
