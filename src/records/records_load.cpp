// Reads a series record back from its JSON (records.h): the text parsed,
// every field checked for its type, its range and its agreement with the
// others, then a record built that holds exactly those fields, so that a dump
// of it repeats the file. One call per `load series`; a series of N samples
// is two arrays of N numbers.
#include "records/records.h"
#include "results/results.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "synthesis/synthesis.h"

using nlohmann::json;

namespace {

// Takes named fields from one JSON object; the first fault is kept and every
// later call does nothing.
class FieldReader {
public:
    FieldReader(const json& object, std::string& error) : j(object), error(error) {}

    bool ok() const { return error.empty(); }

    // An integer field within lo..hi.
    template <typename T>
    void number(const char* name, long lo, long hi, T& value)
    {
        const json* v = field(name);
        if (!v)
            return;
        if (!v->is_number_integer() || v->get<long long>() < lo || v->get<long long>() > hi)
            return fail(std::string(name) + " must be an integer in " + std::to_string(lo) + ".." +
                        std::to_string(hi) + ", not " + v->dump());
        value = static_cast<T>(v->get<long long>());
    }

    // An array of `count` integers, each within lo..hi.
    void array(const char* name, long count, long lo, long hi, std::vector<int16_t>& out)
    {
        const json* v = field(name);
        if (v)
            values(*v, name, count, lo, hi, out);
    }

    // An array of `count` integers within lo..hi found at `v`, named `what` in the message.
    void values(const json& v, const std::string& what, long count, long lo, long hi, std::vector<int16_t>& out)
    {
        if (!ok())
            return;
        if (!v.is_array() || static_cast<long>(v.size()) != count)
            return fail(what + " must be an array of " + std::to_string(count) + " numbers");
        out.clear();
        for (size_t i = 0; i < v.size(); i++) {
            const json& e = v[i];
            if (!e.is_number_integer() || e.get<long long>() < lo || e.get<long long>() > hi)
                return fail(what + "[" + std::to_string(i) + "] must be an integer in " + std::to_string(lo) + ".." +
                            std::to_string(hi) + ", not " + e.dump());
            out.push_back(static_cast<int16_t>(e.get<long long>()));
        }
    }

    void fail(const std::string& why)
    {
        if (ok())
            error = why;
    }

private:
    const json* field(const char* name)
    {
        if (!ok())
            return nullptr;
        const auto it = j.find(name);
        if (it == j.end()) {
            fail(std::string("the field ") + name + " is missing");
            return nullptr;
        }
        return &*it;
    }

    const json& j;
    std::string& error;
};

constexpr long kI16Lo = -32768, kI16Hi = 32767;

// The sizes: length, Tmin, Tmax, pulse length and the pulse counts they give.
void readSizes(FieldReader& r, LoadedSeries& s)
{
    r.number("dwSeriesSize", 1, kMaxSeriesSize, s.N);
    r.number("wTmin", 1, 65535, s.Tmin);
    r.number("wTmax", 1, 65535, s.Tmax);
    r.number("wImpulseSize", 1, 65535, s.q);
    if (r.ok() && s.Tmin > s.Tmax)
        r.fail("wTmin " + std::to_string(s.Tmin) + " must not exceed wTmax " + std::to_string(s.Tmax));
    if (r.ok() && (s.q > s.Tmax || s.q > s.N))
        r.fail("wImpulseSize " + std::to_string(s.q) + " must not exceed wTmax or dwSeriesSize");
    r.number("wMinPulses", 0, 65535, s.minPulses);
    r.number("wMaxPulses", 0, 65535, s.maxPulses);
    if (r.ok() && (s.minPulses != minPulsesFor(s.N, s.q, s.Tmax) || s.maxPulses != maxPulsesFor(s.N, s.q, s.Tmin)))
        r.fail("wMinPulses and wMaxPulses must be " + std::to_string(minPulsesFor(s.N, s.q, s.Tmax)) + " and " +
               std::to_string(maxPulsesFor(s.N, s.q, s.Tmin)) + " for this length, Tmin, Tmax and pulse length");
    r.number("wImpulseQuantity", 0, s.maxPulses, s.K);
    r.number("wSeriesNoiseLevel", kI16Lo, kI16Hi, s.noiseLevel);
    r.number("wSeriesAmplitude", kI16Lo, kI16Hi, s.amplitude);
}

// Cut ranges within the pulse, first <= last.
void checkCuts(FieldReader& r, const char* what, const std::vector<int16_t>& begin, const std::vector<int16_t>& end)
{
    for (size_t i = 0; r.ok() && i < begin.size(); i++)
        if (begin[i] > end[i])
            r.fail(std::string(what) + " " + std::to_string(i) + ": its first kept sample " +
                   std::to_string(begin[i]) + " lies after its last " + std::to_string(end[i]));
}

// The truth pulses and the detected ones.
void readPulses(FieldReader& r, const json& j, LoadedSeries& s, long etalonCount)
{
    const long K = s.K, lastStart = s.N - 1, firstStart = 1 - static_cast<long>(s.q), lastCut = s.q - 1;
    r.array("lpPureData", s.N, kI16Lo, kI16Hi, s.pure);
    r.array("lpNoisyData", s.N, kI16Lo, kI16Hi, s.noisy);
    r.array("lpPositions", K, firstStart, lastStart, s.positions);
    r.array("lpEtalonNumbers", K, 1, etalonCount, s.etalons);
    r.array("lpCutBegin", K, 0, lastCut, s.cutBegin);
    r.array("lpCutEnd", K, 0, lastCut, s.cutEnd);
    r.array("lpLowBounds", K, kI16Lo, kI16Hi, s.lowBounds);
    r.array("lpHighBounds", K, kI16Lo, kI16Hi, s.highBounds);
    checkCuts(r, "pulse", s.cutBegin, s.cutEnd);
    uint16_t D = 0;
    r.number("wDetectedQuantity", 0, s.maxPulses, D);
    r.array("lpDetectedPositions", D, firstStart, lastStart, s.detectedPositions);
    r.array("lpDetectedNumbers", D, 1, etalonCount, s.detectedNumbers);
    r.array("lpDetectedCutBegin", D, 0, lastCut, s.detectedCutBegin);
    r.array("lpDetectedCutEnd", D, 0, lastCut, s.detectedCutEnd);
    checkCuts(r, "detected pulse", s.detectedCutBegin, s.detectedCutEnd);
    int16_t tuples = 0;
    r.number("wDetectedTuples", 0, s.maxPulses, tuples);
    r.array("lpTupleFirst", tuples, 0, static_cast<long>(D) - 1, s.tupleFirst);
    r.array("lpTupleLast", tuples, 0, static_cast<long>(D) - 1, s.tupleLast);
    checkCuts(r, "detected tuple", s.tupleFirst, s.tupleLast);
    r.number("wRecognizedTuple", 0, kI16Hi, s.recognizedTuple);
    uint16_t subsetLength = 0;
    r.number("wSubsetLength", 0, s.maxPulses, subsetLength);
    r.array("selectedSubset", subsetLength, 1, etalonCount, s.subset);
    (void)j;
}

// The etalons a saved series carries: 1..20 arrays of q samples.
void readShapes(FieldReader& r, const json& v, LoadedSeries& s)
{
    if (!v.is_array() || v.empty() || v.size() > kAlphabetCapacity)
        return r.fail("etalons must be an array of 1 to " + std::to_string(kAlphabetCapacity) + " etalons");
    s.shapes.assign(v.size(), {});
    for (size_t k = 0; r.ok() && k < v.size(); k++)
        r.values(v[k], "etalons[" + std::to_string(k) + "]", s.q, kI16Lo, kI16Hi, s.shapes[k]);
}

} // namespace

bool parseSeriesJson(std::string_view text, uint16_t alphabetSize, uint16_t alphabetLength, LoadedSeries& out,
                     std::string& error)
{
    error.clear();
    const json j = json::parse(text.begin(), text.end(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = j.is_discarded() ? "not JSON text" : "not a series: the text must be one JSON object";
        return false;
    }
    LoadedSeries s;
    FieldReader r(j, error);
    if (j.contains("format_version")) {  // files written before it carry none
        int version = 0;
        r.number("format_version", 1, kJsonFormatVersion, version);
    }
    readSizes(r, s);
    long etalonCount = alphabetSize;
    if (r.ok() && j.contains("etalons")) {
        readShapes(r, j["etalons"], s);
        etalonCount = static_cast<long>(s.shapes.size());
    } else if (r.ok() && s.q != alphabetLength) {
        r.fail("wImpulseSize " + std::to_string(s.q) + " differs from the etalons' length " +
               std::to_string(alphabetLength) + " and the file carries no etalons");
    }
    readPulses(r, j, s, etalonCount);
    if (!r.ok())
        return false;
    out = std::move(s);
    return true;
}

SeriesHeader* makeLoadedSeries(HWND hWnd, const LoadedSeries& in, PulseHeader* etalons, uint16_t count,
                               std::string& error)
{
    SeriesHeader* h = getSignalSeriesHeader(hWnd, etalons, count, in.q, in.Tmin, in.Tmax, in.noisy.data(), in.N,
                                            nullptr);
    if (!h) {
        error = "no memory for a series of " + std::to_string(in.N) + " samples";
        return nullptr;
    }
    std::copy(in.pure.begin(), in.pure.end(), h->lpPureData);
    h->wImpulseQuantity = in.K;
    h->wSeriesNoiseLevel = in.noiseLevel;
    h->wSeriesAmplitude = in.amplitude;
    const std::pair<const std::vector<int16_t>*, int16_t*> arrays[] = {
        {&in.positions, h->lpPositions},           {&in.etalons, h->lpEtalonNumbers},
        {&in.cutBegin, h->lpCutBegin},             {&in.cutEnd, h->lpCutEnd},
        {&in.lowBounds, h->lpLowBounds},           {&in.highBounds, h->lpHighBounds},
        {&in.detectedPositions, h->lpDetectedPositions}, {&in.detectedNumbers, h->lpDetectedNumbers},
        {&in.detectedCutBegin, h->lpDetectedCutBegin},   {&in.detectedCutEnd, h->lpDetectedCutEnd},
        {&in.tupleFirst, h->lpTupleFirst},         {&in.tupleLast, h->lpTupleLast},
        {&in.subset, h->selectedSubset}};
    for (const auto& [from, to] : arrays) {
        assert(from->size() <= h->wPulsesCapacity);
        std::copy(from->begin(), from->end(), to);
    }
    h->wDetectedQuantity = static_cast<uint16_t>(in.detectedPositions.size());
    h->wDetectedTuples = static_cast<int16_t>(in.tupleFirst.size());
    h->wRecognizedTuple = in.recognizedTuple;
    h->wSubsetLength = static_cast<uint16_t>(in.subset.size());
    h->lpFirstEtalon = in.K > 0 ? &etalons[in.etalons[0] - 1] : &etalons[0];
    return h;
}
