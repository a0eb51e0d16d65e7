// The Python module's test twin: what the program does for one series, in
// plain C++ on the engine, for the exactness tests to compare the module with.
// Reads one case per line (JSON) from standard input: fresh streams, the
// alphabet, the program's etalon sequence (or the given one), the subset, the
// series and its noise, then the named detector on the series as built; writes
// one line per case: the series and chains records, the detector's result, the
// streams after, or the first message box of a refused case. A case with
// "simulation" (the request's fields by their Python keywords) is a run from
// fresh streams instead: its normalisers, every cell's normalised error and
// the charts' per-mille of it.
#include <iostream>
#include <utility>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/records.h"
#include "detection/detection.h"
#include "simulation/simulation.h"

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

struct Twin {
    RecordingMessageBoxes boxes;
    PlatformWindow window{&boxes, nullptr};
    PulseHeader alphabet[kAlphabetCapacity];
    RandomStreams streams;  // every stream, from its start values
    SeriesHeader* h = nullptr;
    ChainsHeader* chains = nullptr;

    ~Twin()
    {
        freeSeriesHeader(h);
        if (chains)
            freeChainsHeader(nullptr, chains);
    }
};

// As the program's Next Data: the sequence drawn from the required etalons 1..A.
std::vector<uint16_t> programSequence(uint16_t A, int32_t N, uint16_t q, uint16_t Tmin, RandomStreams& streams)
{
    std::vector<uint16_t> sequence(pulsesUpperBound(static_cast<uint32_t>(N), q, Tmin));
    for (uint16_t& e : sequence)
        e = static_cast<uint16_t>(1 + (nextSequenceRandom(streams) >> 3) % A);
    return sequence;
}

bool buildSeries(Twin& t, const json& c)
{
    const uint16_t A = c["count"], q = c["q"], Tmin = c["tmin"], Tmax = c["tmax"];
    const int32_t N = c["length"];
    if (!makeAlphabet(&t.window, c["amplitude"].get<int16_t>(), A, q, t.alphabet, t.streams))
        return false;
    std::vector<uint16_t> sequence = c.contains("sequence") ? c["sequence"].get<std::vector<uint16_t>>()
                                                             : programSequence(A, N, q, Tmin, t.streams);
    sequence.resize(std::max<size_t>(sequence.size(), maxPulsesFor(N, q, Tmin)), 1);
    t.h = getCutOffSeriesHeader(&t.window, A, q, Tmin, Tmax, N, nullptr);
    if (c.contains("subset")) {
        const std::vector<int32_t> subset = c["subset"];
        setSelectedSubset(&t.window, subset.data(), static_cast<int32_t>(subset.size()), c["employment"], c["init"], t.h);
    }
    auto build = c["random_count"].get<bool>() ? getRandomCountSeries : getCutOffSeries;
    t.h = build(&t.window, A, t.alphabet, q, Tmin, Tmax, N, c["pulses"], sequence.data(), c["amplitude"],
                c["level"], t.h, t.streams);
    if (!t.h || !t.h->lpPulsesList || !t.h->lpPulsesList[0])
        return false;
    addNoise(t.h, c["noise"], t.streams);
    return true;
}

int32_t runDetector(Twin& t, const json& c)
{
    const std::string name = c["detector"];
    DetectorSlot slot = DetectorSlot::DetectFixed;
    for (const DetectorKind& k : kDetectorKinds)
        if (name == k.name)
            slot = k.slot;
    const Detector d = productionDetectors()[slot];
    const uint16_t Tmin = c["tmin"], Tmax = c["tmax"], level = c["proc_level"];
    t.chains = getChainsHeader(&t.window, c["chains"], t.h->wPulsesCapacity, nullptr);
    int32_t debug = 0;
    switch (detectorKindOf(slot).form) {
    case DetectorForm::Pulses: {
        std::vector<uint16_t> list = c["required"];
        return d.pulses(&t.window, t.alphabet, static_cast<uint16_t>(list.size()), list.data(), Tmin, Tmax, level,
                        t.chains, t.h);
    }
    case DetectorForm::Tuples: {
        const std::vector<int32_t> tuple = c["tuple"];
        return d.tuples(&t.window, t.alphabet, static_cast<int32_t>(tuple.size()), tuple.data(), c["proceeding"], Tmin,
                        Tmax, level, debug, t.chains, t.h);
    }
    case DetectorForm::TupleRecognizer: {
        const std::vector<std::vector<int32_t>> tuples = c["tuples"];
        std::vector<int32_t> sizes;
        std::vector<const int32_t*> rows;
        for (const auto& tuple : tuples) {
            sizes.push_back(static_cast<int32_t>(tuple.size()));
            rows.push_back(tuple.data());
        }
        return d.recognizer(&t.window, t.alphabet, sizes.data(), rows.data(), static_cast<int32_t>(rows.size()),
                            c["proceeding"], Tmin, Tmax, level, debug, t.chains, t.h);
    }
    }
    return 0;
}

// The request's integer fields by the keywords of pulsebench.simulate.
constexpr std::pair<const char*, int SimulationRequest::*> kRequestFields[] = {
    {"length", &SimulationRequest::length},           {"tmin", &SimulationRequest::tmin},
    {"tmax", &SimulationRequest::tmax},               {"task", &SimulationRequest::task},
    {"series_type", &SimulationRequest::seriesType},  {"pulses_from", &SimulationRequest::pulsesFrom},
    {"pulses_to", &SimulationRequest::pulsesTo},      {"noise_initial", &SimulationRequest::noiseInitial},
    {"noise_steps", &SimulationRequest::noiseSteps},  {"noise_step", &SimulationRequest::noiseStep},
    {"repeats", &SimulationRequest::repeats},         {"required", &SimulationRequest::required},
    {"pick", &SimulationRequest::pick},               {"employment", &SimulationRequest::employment},
    {"pulses_step", &SimulationRequest::pulsesStep},  {"making_level", &SimulationRequest::makingLevel},
    {"processing_level", &SimulationRequest::processingLevel}, {"init", &SimulationRequest::init},
    {"proceeding", &SimulationRequest::proceeding},
};

ordered_json runSimulationCase(const json& c)
{
    SimulationRequest q;
    for (const auto& [name, field] : kRequestFields)
        q.*field = c.value(name, q.*field);
    q.subset = c.value("subset", q.subset);
    q.subsets = c.value("subsets", q.subsets);
    q.seed = c.value("seed", q.seed);
    RandomStreams streams;
    SimulationControl control;
    control.threads = 1;
    const SimulationOutcome run = runSimulation(q, streams, control);
    if (run.status != kTrawlingComplete)
        return {{"refused", run.error}};
    const RestoreErrorHeader* r = run.record.get();
    const SimulationSetup& s = *run.setup;
    const ErrorNormalizers n = errorNormalizers(
        r, s.lpSeriesHeader, errorReference(r, s.lpSeriesHeader, &s.alphabet[0], s.wRequiredQuantity, s.lpRequiredList));
    const NormalisedErrors e = normaliseErrors(r, n);
    const std::pair<const char*, const std::vector<double>*> tables[] = {
        {"restoring", &e.restoring}, {"detection", &e.detection}, {"recognition", &e.recognition}};
    const int numbers[] = {0, 1, 3};
    ordered_json out;
    for (int i = 0; i < 3; i++) {
        ordered_json perMille = ordered_json::array(), normalizers = ordered_json::array();
        for (int k = 0; k < r->wNoiseLevels; k++)
            for (int j = 0; j < r->wVariousPulses; j++)
                perMille.push_back(errorPerMille(r->lpErrors[numbers[i]][k][j], errorNormalizer(n, numbers[i], j)));
        for (int j = 0; j < r->wVariousPulses; j++)
            normalizers.push_back(errorNormalizer(n, numbers[i], j));
        out[tables[i].first] = {{"normalised", *tables[i].second}, {"perMille", perMille}, {"normalizers", normalizers}};
    }
    return out;
}

ordered_json runCase(const json& c)
{
    if (c.contains("simulation"))
        return runSimulationCase(c["simulation"]);
    Twin t;
    ordered_json out;
    if (buildSeries(t, c) && t.boxes.count() == 0) {
        out["series"] = seriesHeaderJson(t.h);
        const RandomStreams& s = t.streams;
        out["streams"] = {s.wCutBeginSeed, s.wCutEndSeed, s.wPositionSeed, s.wQuantitySeed, s.wSubsetShiftSeed,
                          s.wSubsetGapSeed, s.wNoiseEtalonSeed, s.dwSequenceState, s.wNoiseSeed};
        if (c.contains("detector")) {
            out["result"] = runDetector(t, c);
            out["detected"] = seriesHeaderJson(t.h);
            out["chains"] = chainsHeaderJson(t.chains);
            out["restoring"] = restoringError(t.h);
            out["detectionUnits"] = detectionErrorUnits(t.h, t.h->wImpulseQuantity,
                                                        t.chains ? t.chains->wSeekingPulsesQuantity : 0);
        }
    }
    if (t.boxes.count())
        out["refused"] = t.boxes.messages().front().text;
    return out;
}

} // namespace

int main()
{
    std::string line;
    while (std::getline(std::cin, line))
        std::cout << runCase(json::parse(line)).dump() << "\n" << std::flush;
    return 0;
}
