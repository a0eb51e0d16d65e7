// Inside the Python module: the alphabet and the series. standard_alphabet
// builds the program's etalons; make_series builds a test series with its
// truth the way the program's Next Data does (etalon sequence, optional
// subset, construction, noise); the class Series shows it as NumPy arrays
// and its header as the dumps print it. One construction per call.
#include "records/records.h"
#include "bridge.h"

namespace {

/*---- standard_alphabet ----*/

py::array standardAlphabet(int64_t count, int64_t length, int64_t amplitude, py::object streams)
{
    checkedInt(count, "count", 1, kAlphabetCapacity);
    checkedInt(length, "length", 1, 65535);
    checkedInt(amplitude, "amplitude", 1, 32767);
    StreamsValue& s = streamsOrDefault(streams);
    Alphabet a;
    CallWindow w;
    const int built = drawWithStreams(s, [&](RandomStreams& streams) {
        return makeAlphabet(w.hWnd(), static_cast<int16_t>(amplitude), static_cast<uint16_t>(count),
                            static_cast<uint16_t>(length), a.data(), streams);
    });
    w.raiseIfShown("standard_alphabet");
    if (!built)
        throw py::value_error("standard_alphabet: the alphabet could not be built");
    a.count = static_cast<uint16_t>(count);
    a.length = static_cast<uint16_t>(length);
    return alphabetArray(a);
}

/*---- make_series ----*/

// What make_series was asked for, checked.
struct SeriesRequest {
    std::shared_ptr<Alphabet> alphabet;  // the etalons
    int32_t N;                           // series length, samples
    uint16_t Tmin, Tmax;                 // pulse start distance bounds, samples
    uint16_t K;                          // pulse count (fixed-count series)
    int16_t level;                       // saved energy, percent
    int16_t amplitude;                   // amplitude the alphabet was made with (recorded only)
    int16_t noise;                       // noise level, sample units
    bool randomCount;                    // draw K from the pulse count stream
    std::optional<std::vector<uint16_t>> sequence;  // etalon of each pulse; none: drawn as the program does
    std::vector<int32_t> subset;         // etalon numbers the series is made to contain; empty: none
    uint16_t employment, init;           // how and from which pulse the subset is placed
};

std::string seriesBounds(const SeriesRequest& r)
{
    return "a series of " + std::to_string(r.N) + " samples, etalons of " + std::to_string(r.alphabet->length) +
           " samples, tmin " + std::to_string(r.Tmin) + " and tmax " + std::to_string(r.Tmax);
}

void checkSeriesRequest(const SeriesRequest& r)
{
    const uint16_t q = r.alphabet->length;
    if (q > r.Tmax || q > r.N)
        throw py::value_error("the etalon length (" + std::to_string(q) + ") must not exceed tmax or length: " +
                              seriesBounds(r));
    const uint16_t minP = minPulsesFor(r.N, q, r.Tmax), maxP = maxPulsesFor(r.N, q, r.Tmin);
    if (!r.randomCount && (r.K < minP || r.K > maxP))
        throw py::value_error("pulses must be in " + std::to_string(minP) + ".." + std::to_string(maxP) + " for " +
                              seriesBounds(r) + ", not " + std::to_string(r.K));
    if (minP > maxP)
        throw py::value_error("no pulse count fits " + seriesBounds(r));
    const size_t read = r.randomCount ? maxP : r.K;
    if (r.sequence && r.sequence->size() < read)
        throw py::value_error("sequence needs at least " + std::to_string(read) + " entries, not " +
                              std::to_string(r.sequence->size()));
    if (r.subset.size() > maxP)
        throw py::value_error("subset may hold at most " + std::to_string(maxP) + " etalons for " + seriesBounds(r));
}

// The program's etalon sequence for the next series: each of the most pulses
// the series may hold drawn from the etalons 1..A.
std::vector<uint16_t> drawSequence(const SeriesRequest& r, RandomStreams& streams)
{
    const uint16_t A = r.alphabet->count;
    std::vector<uint16_t> sequence(maxPulsesFor(r.N, r.alphabet->length, r.Tmin));
    for (uint16_t& e : sequence)
        e = static_cast<uint16_t>(1 + (nextSequenceRandom(streams) >> 3) % A);
    return sequence;
}

// Builds and noises the series, drawing from `streams`; nothing when refused (a box says why).
SeriesPtr buildSeries(CallWindow& w, const SeriesRequest& r, RandomStreams& streams)
{
    Alphabet& a = *r.alphabet;
    std::vector<uint16_t> sequence = r.sequence ? *r.sequence : drawSequence(r, streams);
    sequence.resize(std::max<size_t>(sequence.size(), maxPulsesFor(r.N, a.length, r.Tmin)), 1);
    SeriesPtr h(getCutOffSeriesHeader(w.hWnd(), a.count, a.length, r.Tmin, r.Tmax, r.N, nullptr));
    if (!h || w.boxes.count())
        return nullptr;
    if (!r.subset.empty() && !setSelectedSubset(w.hWnd(), r.subset.data(), static_cast<int32_t>(r.subset.size()),
                                                r.employment, r.init, h.get()))
        return nullptr;
    SeriesHeader* built = (r.randomCount ? getRandomCountSeries : getCutOffSeries)(
        w.hWnd(), a.count, a.data(), a.length, r.Tmin, r.Tmax, r.N, r.K, sequence.data(), r.amplitude, r.level,
        h.release(), streams);
    h.reset(built);
    if (!h || !h->lpPulsesList || !h->lpPulsesList[0])
        return nullptr;
    addNoise(h.get(), r.noise, streams);
    return h;
}

py::object makeSeries(py::handle alphabet, int64_t length, int64_t tmin, int64_t tmax, int64_t pulses, int64_t level,
                      int64_t noise, py::object sequence, bool randomCount, py::object subset, int64_t employment,
                      int64_t init, int64_t amplitude, py::object streams)
{
    SeriesRequest r{};
    r.alphabet = alphabetFrom(alphabet);
    r.N = static_cast<int32_t>(checkedInt(length, "length", 1, kMaxSeriesSize));
    r.Tmin = static_cast<uint16_t>(checkedInt(tmin, "tmin", 1, 65535));
    r.Tmax = static_cast<uint16_t>(checkedInt(tmax, "tmax", tmin, 65535));
    r.K = static_cast<uint16_t>(checkedInt(pulses, "pulses", 1, 65535));
    r.level = static_cast<int16_t>(checkedInt(level, "level", 0, 100));
    r.noise = static_cast<int16_t>(checkedInt(noise, "noise", 0, 32767));
    r.amplitude = static_cast<int16_t>(checkedInt(amplitude, "amplitude", 1, 32767));
    r.randomCount = randomCount;
    if (!sequence.is_none()) {
        const std::vector<int32_t> entries = intList(sequence, "sequence", 1, r.alphabet->count);
        r.sequence.emplace(entries.begin(), entries.end());
    }
    if (!subset.is_none()) {
        r.subset = intList(subset, "subset", 1, r.alphabet->count);
        if (r.subset.empty())
            throw py::value_error("subset must hold at least one etalon number");
    }
    r.employment = static_cast<uint16_t>(checkedInt(employment, "employment", 1, 5));
    r.init = static_cast<uint16_t>(checkedInt(init, "init", 1, 65535));
    checkSeriesRequest(r);

    StreamsValue& s = streamsOrDefault(streams);
    const StreamsValue before = s;
    CallWindow w;
    SeriesPtr h = drawWithStreams(s, [&](RandomStreams& streams) { return buildSeries(w, r, streams); });
    if (!h || w.boxes.count()) {
        s = before;  // a refused series draws nothing
        w.raiseIfShown("make_series");
        throw py::value_error("make_series: no series could be built for " + seriesBounds(r));
    }
    return py::cast(Series{r.alphabet, std::move(h)});
}

py::array seriesSamples(const Series& s, bool noisy)
{
    return int16Array(noisy ? s.h->lpNoisyData : s.h->lpPureData, s.h->dwSeriesSize);
}

py::array pulseArray(const Series& s, int16_t* SeriesFields::*field)
{
    return int64Array(s.h.get()->*field, s.h->wImpulseQuantity);
}

void bindSeriesClass(py::module_& m);  // the class Series, below

} // namespace

void bindSeries(py::module_& m)
{
    m.def("standard_alphabet", &standardAlphabet, py::arg("count") = 20, py::arg("length") = 20,
          py::arg("amplitude") = 128, py::kw_only(), py::arg("streams") = py::none(), R"doc(
The program's etalon alphabet: ``count`` etalons (1..20) of ``length`` samples
and the given amplitude, as an int16 array of shape (count, length); row i is
etalon i + 1. The noise-like etalons draw from ``streams`` (default: the
module's Streams). Any int16 array of such a shape serves as an alphabet.
)doc");
    m.def("make_series", &makeSeries, py::arg("alphabet"), py::arg("length") = 1200, py::arg("tmin") = 40,
          py::arg("tmax") = 181, py::arg("pulses") = 18, py::arg("level") = 75, py::arg("noise") = 20,
          py::kw_only(), py::arg("sequence") = py::none(), py::arg("random_count") = false,
          py::arg("subset") = py::none(), py::arg("employment") = 4, py::arg("init") = 1, py::arg("amplitude") = 128,
          py::arg("streams") = py::none(), R"doc(
A test series with its truth, built as the program builds the next series.

length: samples (1..32767); tmin, tmax: least and greatest distance between
pulse starts; pulses: the pulse count (ignored with random_count=True, which
draws it between the admissible bounds); level: percent of each pulse's energy
kept when it is cut off (100: whole pulses); noise: standard deviation of the
additive noise. sequence: the etalon number of each pulse (at least `pulses`
entries, or max_pulses with random_count); without it the program's sequence
is drawn from every etalon. subset: etalon numbers the series is made to
contain, placed as `employment` says (1 single random, 2 single fixed,
3 multiple random, 4 complete, 5 shifted complete) from pulse `init` (1-based).
amplitude is only recorded in the header. Draws from ``streams`` (default: the
module's Streams); a refused series draws nothing. Returns a Series.
)doc");
    bindSeriesClass(m);
}

namespace {

void bindSeriesClass(py::module_& m)
{
    py::class_<Series>(m, "Series", R"doc(
A built series: noisy and pure samples (int16), the truth per pulse (int64:
positions, etalons, cut_begin, cut_end, low_bounds, high_bounds), the
admissible pulse counts, and ``header``, the record as the JSON dumps print it.
)doc")
        .def_property_readonly("noisy", [](const Series& s) { return seriesSamples(s, true); },
                               "The samples the detectors see: pure plus noise (int16).")
        .def_property_readonly("pure", [](const Series& s) { return seriesSamples(s, false); },
                               "The pulses without noise (int16).")
        .def_property_readonly("positions", [](const Series& s) { return pulseArray(s, &SeriesFields::lpPositions); },
                               "Start sample of each pulse.")
        .def_property_readonly("etalons", [](const Series& s) { return pulseArray(s, &SeriesFields::lpEtalonNumbers); },
                               "Etalon number (1-based) of each pulse.")
        .def_property_readonly("cut_begin", [](const Series& s) { return pulseArray(s, &SeriesFields::lpCutBegin); },
                               "First kept sample of each pulse, within its etalon.")
        .def_property_readonly("cut_end", [](const Series& s) { return pulseArray(s, &SeriesFields::lpCutEnd); },
                               "Last kept sample (inclusive) of each pulse, within its etalon.")
        .def_property_readonly("low_bounds", [](const Series& s) { return pulseArray(s, &SeriesFields::lpLowBounds); },
                               "Least admissible start of each pulse.")
        .def_property_readonly("high_bounds",
                               [](const Series& s) { return pulseArray(s, &SeriesFields::lpHighBounds); },
                               "Greatest admissible start of each pulse.")
        .def_property_readonly("pulses", [](const Series& s) { return s.h->wImpulseQuantity; }, "Pulses placed.")
        .def_property_readonly("min_pulses", [](const Series& s) { return s.h->wMinPulses; },
                               "Least admissible pulse count for the length, etalon length and tmax.")
        .def_property_readonly("max_pulses", [](const Series& s) { return s.h->wMaxPulses; },
                               "Greatest admissible pulse count for the length, etalon length and tmin.")
        .def_property_readonly("length", [](const Series& s) { return s.h->dwSeriesSize; }, "Samples.")
        .def_property_readonly("tmin", [](const Series& s) { return s.h->wTmin; }, "Least pulse start distance.")
        .def_property_readonly("tmax", [](const Series& s) { return s.h->wTmax; }, "Greatest pulse start distance.")
        .def_property_readonly("alphabet", [](const Series& s) { return alphabetArray(*s.alphabet); },
                               "The alphabet the series was built from.")
        .def_property_readonly("header", [](const Series& s) { return jsonToPython(seriesHeaderJson(s.h.get())); },
                               "The series record as a dict, keyed and valued as the JSON dump of a series.")
        .def("__len__", [](const Series& s) { return s.h->dwSeriesSize; })
        .def("__repr__", [](const Series& s) {
            return "<pulsebench.Series of " + std::to_string(s.h->dwSeriesSize) + " samples, " +
                   std::to_string(s.h->wImpulseQuantity) + " pulses, noise " +
                   std::to_string(s.h->wSeriesNoiseLevel) + ">";
        });
}

} // namespace
