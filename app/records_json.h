// The engine's records as JSON, keyed by their field names: the series with its
// truth and detected pulses, the best chains, and the description of a
// simulation run. Free of Qt and of the program
// state, so that the scripted dumps, the Python module and its test twin print
// the same fields the same way.
#pragma once

#include <nlohmann/json.hpp>

// The first `count` entries of an array (none for a null array).
template <typename T>
nlohmann::ordered_json jsonArray(const T* data, long count)
{
    nlohmann::ordered_json a = nlohmann::ordered_json::array();
    for (long i = 0; data && i < count; i++)
        a.push_back(data[i]);
    return a;
}

struct SeriesHeader;
struct ChainsHeader;
struct RestoreErrorHeader;
struct SimulationRequest;

nlohmann::ordered_json seriesHeaderJson(const SeriesHeader* h);  // null for no header
nlohmann::ordered_json chainsHeaderJson(const ChainsHeader* h);  // null for no header

// simulationDescriptionJson, the description of a run, is the result files'
// (results/results.h).
#include "results/results.h"
