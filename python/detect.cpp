// Inside the Python module: the eight detectors. Each call checks its
// arguments, puts the signal into a series record sized for it (the pulse
// count, its bounds and the pulse start bounds as series construction sets
// them), runs the engine's detector with the GIL released, and hands back a
// Detection; its chains become Python objects only when read. One detector
// run per call: about a millisecond at the default sizes.
//
//   [SECTION] The signal as the detectors read it
//   [SECTION] Results
//   [SECTION] The eight operations
#include <algorithm>

#include "bridge.h"
#include "simulation/simulation.h"

/*==========================================================================
** [SECTION] The signal as the detectors read it
**========================================================================*/

namespace {

// One detector call: its message recorder, the checked input in a series
// record, and a chains record for the best chains.
struct DetectorCall {
    const char* operation;            // the Python name, for messages
    CallWindow w;                     // this call's message boxes
    std::shared_ptr<Alphabet> a;      // the etalons
    uint16_t Tmin = 0, Tmax = 0;      // pulse start distance bounds, samples
    uint16_t level = 0;               // saved energy given to the detector, percent
    SeriesPtr h;                      // the signal in lpNoisyData, pulse list -> the alphabet
    ChainsPtr chains;                 // room for the best chains

    DetectorCall(const char* op) : operation(op) {}
    std::string fits() const;
};

std::string DetectorCall::fits() const
{
    return "a signal of " + std::to_string(h->dwSeriesSize) + " samples, etalons of " + std::to_string(a->length) +
           " samples, tmin " + std::to_string(Tmin) + " and tmax " + std::to_string(Tmax);
}

// Checks what every detector takes and sizes the records for it.
void prepareCall(DetectorCall& c, py::handle x, py::handle alphabet, int64_t tmin, int64_t tmax, int64_t level,
                 int64_t chains)
{
    const std::vector<int16_t> samples = int16Vector(x, "x");
    if (samples.empty() || samples.size() > size_t(kMaxSeriesSize))
        throw py::value_error(std::string(c.operation) + ": x has " + std::to_string(samples.size()) +
                              " samples; the detectors take 1.." + std::to_string(kMaxSeriesSize));
    c.a = alphabetFrom(alphabet);
    c.Tmin = static_cast<uint16_t>(checkedInt(tmin, "tmin", 1, 65535));
    c.Tmax = static_cast<uint16_t>(checkedInt(tmax, "tmax", tmin, 65535));
    c.level = static_cast<uint16_t>(checkedInt(level, "level", 0, 100));
    checkedInt(chains, "chains", 1, 32767);
    const int32_t N = static_cast<int32_t>(samples.size());
    if (c.a->length > c.Tmax || c.a->length > N)
        throw py::value_error(std::string(c.operation) + ": the etalon length (" + std::to_string(c.a->length) +
                              ") must not exceed tmax (" + std::to_string(c.Tmax) + ") or the signal length (" +
                              std::to_string(N) + ")");
    c.h.reset(getSignalSeriesHeader(c.w.hWnd(), c.a->data(), c.a->count, c.a->length, c.Tmin, c.Tmax,
                                    samples.data(), N, nullptr));
    c.w.raiseIfShown(c.operation);
    if (!c.h)
        throw std::bad_alloc();
    c.chains.reset(getChainsHeader(c.w.hWnd(), static_cast<uint16_t>(chains), c.h->wPulsesCapacity, nullptr));
    c.w.raiseIfShown(c.operation);
    if (!c.chains)
        throw std::bad_alloc();
}

// A fixed pulse count: K and each pulse's start bounds, as construction stores them.
void setFixedCount(DetectorCall& c, int64_t pulses)
{
    SeriesHeader* h = c.h.get();
    const uint16_t minP = minPulsesFor(h->dwSeriesSize, c.a->length, c.Tmax);
    const uint16_t maxP = maxPulsesFor(h->dwSeriesSize, c.a->length, c.Tmin);
    if (pulses < minP || pulses > maxP)
        throw py::value_error(std::string(c.operation) + ": pulses must be in " + std::to_string(minP) + ".." +
                              std::to_string(maxP) + " for " + c.fits() + ", not " + std::to_string(pulses));
    setSignalPulseCount(h, static_cast<uint16_t>(pulses));
}

// An unfixed pulse count between the given bounds (default: every admissible count).
void setCountRange(DetectorCall& c, std::optional<int64_t> least, std::optional<int64_t> most)
{
    SeriesHeader* h = c.h.get();
    const int64_t lo = least.value_or(h->wMinPulses), hi = most.value_or(h->wMaxPulses);
    if (lo < 1 || lo > hi || hi > h->wPulsesCapacity)
        throw py::value_error(std::string(c.operation) + ": min_pulses and max_pulses must satisfy 1 <= min_pulses <= " +
                              "max_pulses <= " + std::to_string(h->wPulsesCapacity) + " for " + c.fits() + ", not " +
                              std::to_string(lo) + " and " + std::to_string(hi));
    h->wMinPulses = static_cast<uint16_t>(lo);
    h->wMaxPulses = static_cast<uint16_t>(hi);
}

// The etalon numbers a pulse detector may use: the given ones, or every etalon.
std::vector<uint16_t> requiredList(const DetectorCall& c, py::object required)
{
    std::vector<uint16_t> list;
    if (required.is_none()) {
        for (uint16_t e = 1; e <= c.a->count; e++)
            list.push_back(e);
        return list;
    }
    const std::vector<int32_t> entries = intList(required, "required", 1, c.a->count);
    if (entries.empty())
        throw py::value_error("required must hold at least one etalon number");
    list.assign(entries.begin(), entries.end());
    return list;
}

} // namespace

/*==========================================================================
** [SECTION] Results
**========================================================================*/

namespace {

// What recognisers return when they recognised nothing (detection.h); the
// detectors that do not recognise are absent.
struct Recognition {
    DetectorSlot slot;  // the recogniser
    int32_t none;       // its return value for "nothing recognised"
};
constexpr Recognition kRecognitions[] = {
    {DetectorSlot::RecognizeFixed, -1},
    {DetectorSlot::RecognizeUnfixed, 65535},
    {DetectorSlot::RecognizeFixedTuples, 0},
    {DetectorSlot::RecognizeUnfixedTuples, 0},
};

Detection collectDetection(DetectorCall& c, DetectorSlot slot, int32_t result)
{
    const SeriesHeader* h = c.h.get();
    const size_t M = h->wPulsesCapacity;
    Detection d;
    d.detector = detectorKindOf(slot).name;
    d.length = h->dwSeriesSize;
    d.q = h->wImpulseSize;
    d.detected = std::min<uint16_t>(h->wDetectedQuantity, static_cast<uint16_t>(M));
    d.positions.assign(h->lpDetectedPositions, h->lpDetectedPositions + M);
    d.etalons.assign(h->lpDetectedNumbers, h->lpDetectedNumbers + M);
    d.cutBegin.assign(h->lpDetectedCutBegin, h->lpDetectedCutBegin + M);
    d.cutEnd.assign(h->lpDetectedCutEnd, h->lpDetectedCutEnd + M);
    d.tuples = static_cast<int16_t>(std::clamp<int>(h->wDetectedTuples, 0, static_cast<int>(M)));
    d.tupleFirst.assign(h->lpTupleFirst, h->lpTupleFirst + M);
    d.tupleLast.assign(h->lpTupleLast, h->lpTupleLast + M);
    d.result = result;
    for (const Recognition& r : kRecognitions)
        if (r.slot == slot) {
            d.recognition = true;
            d.none = r.none;
        }
    d.sought = c.chains->wSeekingPulsesQuantity;
    d.chains = std::move(c.chains);
    return d;
}

Chain chainAt(const ChainsHeader* c, int i)
{
    const int n = c->pulsesQuantity[i];
    Chain chain;
    chain.positions.assign(c->positionsList[i], c->positionsList[i] + n);
    chain.etalons.assign(c->pulsesList[i], c->pulsesList[i] + n);
    chain.cutBegin.assign(c->firstSamplesList[i], c->firstSamplesList[i] + n);
    chain.cutEnd.assign(c->lastSamplesList[i], c->lastSamplesList[i] + n);
    chain.cost = c->distance[i];
    return chain;
}

py::list chainList(Detection& d)
{
    if (!d.chainList) {
        py::list chains;
        for (int i = 0; d.chains && i < d.chains->wPretenders; i++)
            chains.append(py::cast(chainAt(d.chains.get(), i)));
        d.chainList = chains;
    }
    return *d.chainList;
}

py::object detectionCost(const Detection& d)
{
    if (!d.chains || d.chains->wPretenders == 0)
        return py::none();
    return py::int_(d.chains->distance[0]);
}

py::object recognized(const Detection& d)
{
    if (!d.recognition || d.result == d.none)
        return py::none();
    return py::int_(d.result);
}

/*==========================================================================
** [SECTION] The eight operations
**========================================================================*/

// Runs the detector of `slot` with the GIL released; a box it shows becomes the ValueError.
template <typename Run>
Detection runDetector(DetectorCall& c, DetectorSlot slot, Run run)
{
    int32_t result = 0;
    {
        py::gil_scoped_release release;
        result = run(productionDetectors()[slot]);
    }
    c.w.raiseIfShown(c.operation);
    return collectDetection(c, slot, result);
}

Detection pulseOperation(DetectorCall& c, DetectorSlot slot, py::object required)
{
    std::vector<uint16_t> list = requiredList(c, required);
    return runDetector(c, slot, [&](const Detector& d) {
        return d.pulses(c.w.hWnd(), c.a->data(), static_cast<uint16_t>(list.size()), list.data(), c.Tmin, c.Tmax,
                        c.level, c.chains.get(), c.h.get());
    });
}

Detection tupleOperation(DetectorCall& c, DetectorSlot slot, py::object subset, int64_t proceeding)
{
    std::vector<int32_t> tuple = intList(subset, "subset", 1, c.a->count);
    if (tuple.empty() || tuple.size() > 32767)
        throw py::value_error("subset must hold 1..32767 etalon numbers, not " + std::to_string(tuple.size()));
    const uint16_t phase = static_cast<uint16_t>(checkedInt(proceeding, "proceeding", 1, 65535));
    return runDetector(c, slot, [&](const Detector& d) {
        int32_t debug = 0;  // no step reports
        return d.tuples(c.w.hWnd(), c.a->data(), static_cast<int32_t>(tuple.size()), tuple.data(), phase, c.Tmin,
                        c.Tmax, c.level, debug, c.chains.get(), c.h.get());
    });
}

Detection recognizerOperation(DetectorCall& c, DetectorSlot slot, py::object subsets, int64_t proceeding)
{
    std::vector<std::vector<int32_t>> tuples;
    std::vector<int32_t> sizes;
    std::vector<const int32_t*> rows;
    for (py::handle s : py::iter(subsets)) {
        tuples.push_back(intList(s, "subsets", 1, c.a->count));
        if (tuples.back().empty() || tuples.back().size() > 32767)
            throw py::value_error("subsets: tuple " + std::to_string(tuples.size()) + " must hold 1..32767 etalon numbers");
    }
    if (tuples.empty())
        throw py::value_error("subsets must hold at least one tuple");
    for (const auto& t : tuples) {
        sizes.push_back(static_cast<int32_t>(t.size()));
        rows.push_back(t.data());
    }
    const uint16_t phase = static_cast<uint16_t>(checkedInt(proceeding, "proceeding", 1, 65535));
    return runDetector(c, slot, [&](const Detector& d) {
        int32_t debug = 0;  // no step reports
        return d.recognizer(c.w.hWnd(), c.a->data(), sizes.data(), rows.data(), static_cast<int32_t>(rows.size()),
                            phase, c.Tmin, c.Tmax, c.level, debug, c.chains.get(), c.h.get());
    });
}

using Count = std::optional<int64_t>;

// The call's records for a known pulse count.
DetectorCall& fixedCall(DetectorCall& c, py::handle x, py::handle alphabet, int64_t pulses, int64_t tmin,
                        int64_t tmax, int64_t level, int64_t chains)
{
    prepareCall(c, x, alphabet, tmin, tmax, level, chains);
    setFixedCount(c, pulses);
    return c;
}

// The call's records for a pulse count between two bounds.
DetectorCall& unfixedCall(DetectorCall& c, py::handle x, py::handle alphabet, int64_t tmin, int64_t tmax,
                          int64_t level, Count least, Count most, int64_t chains)
{
    prepareCall(c, x, alphabet, tmin, tmax, level, chains);
    setCountRange(c, least, most);
    return c;
}

Detection detectFixedCall(py::handle x, py::handle alphabet, int64_t pulses, int64_t tmin, int64_t tmax, int64_t level,
                          py::object required, int64_t chains)
{
    DetectorCall c("detect_fixed");
    fixedCall(c, x, alphabet, pulses, tmin, tmax, level, chains);
    return pulseOperation(c, DetectorSlot::DetectFixed, required);
}

Detection detectUnfixedCall(py::handle x, py::handle alphabet, int64_t tmin, int64_t tmax, int64_t level, Count least,
                            Count most, py::object required, int64_t chains)
{
    DetectorCall c("detect_unfixed");
    unfixedCall(c, x, alphabet, tmin, tmax, level, least, most, chains);
    return pulseOperation(c, DetectorSlot::DetectUnfixed, required);
}

Detection recognizeFixedCall(py::handle x, py::handle alphabet, int64_t pulses, int64_t tmin, int64_t tmax,
                             int64_t level, py::object required, int64_t chains)
{
    DetectorCall c("recognize_fixed");
    fixedCall(c, x, alphabet, pulses, tmin, tmax, level, chains);
    return pulseOperation(c, DetectorSlot::RecognizeFixed, required);
}

Detection recognizeUnfixedCall(py::handle x, py::handle alphabet, int64_t tmin, int64_t tmax, int64_t level,
                               Count least, Count most, py::object required, int64_t chains)
{
    DetectorCall c("recognize_unfixed");
    unfixedCall(c, x, alphabet, tmin, tmax, level, least, most, chains);
    return pulseOperation(c, DetectorSlot::RecognizeUnfixed, required);
}

Detection detectFixedTuplesCall(py::handle x, py::handle alphabet, py::object subset, int64_t pulses, int64_t tmin,
                                int64_t tmax, int64_t level, int64_t proceeding, int64_t chains)
{
    DetectorCall c("detect_fixed_tuples");
    fixedCall(c, x, alphabet, pulses, tmin, tmax, level, chains);
    return tupleOperation(c, DetectorSlot::DetectFixedTuples, subset, proceeding);
}

Detection detectUnfixedTuplesCall(py::handle x, py::handle alphabet, py::object subset, int64_t tmin, int64_t tmax,
                                  int64_t level, Count least, Count most, int64_t proceeding, int64_t chains)
{
    DetectorCall c("detect_unfixed_tuples");
    unfixedCall(c, x, alphabet, tmin, tmax, level, least, most, chains);
    return tupleOperation(c, DetectorSlot::DetectUnfixedTuples, subset, proceeding);
}

Detection recognizeFixedTuplesCall(py::handle x, py::handle alphabet, py::object subsets, int64_t pulses,
                                   int64_t tmin, int64_t tmax, int64_t level, int64_t proceeding, int64_t chains)
{
    DetectorCall c("recognize_fixed_tuples");
    fixedCall(c, x, alphabet, pulses, tmin, tmax, level, chains);
    return recognizerOperation(c, DetectorSlot::RecognizeFixedTuples, subsets, proceeding);
}

Detection recognizeUnfixedTuplesCall(py::handle x, py::handle alphabet, py::object subsets, int64_t tmin,
                                     int64_t tmax, int64_t level, Count least, Count most, int64_t proceeding,
                                     int64_t chains)
{
    DetectorCall c("recognize_unfixed_tuples");
    unfixedCall(c, x, alphabet, tmin, tmax, level, least, most, chains);
    return recognizerOperation(c, DetectorSlot::RecognizeUnfixedTuples, subsets, proceeding);
}

} // namespace

namespace {

void bindResults(py::module_& m)
{
    py::class_<Chain>(m, "Chain", "One of the best chains a detector found: its pulses and its cost.")
        .def_property_readonly("positions", [](const Chain& c) { return int64Array(c.positions.data(), c.positions.size()); },
                               "Start sample of each pulse (int64).")
        .def_property_readonly("etalons", [](const Chain& c) { return int64Array(c.etalons.data(), c.etalons.size()); },
                               "Etalon number (1-based) of each pulse.")
        .def_property_readonly("cut_begin", [](const Chain& c) { return int64Array(c.cutBegin.data(), c.cutBegin.size()); },
                               "First etalon sample matched, per pulse.")
        .def_property_readonly("cut_end", [](const Chain& c) { return int64Array(c.cutEnd.data(), c.cutEnd.size()); },
                               "Last etalon sample matched (inclusive), per pulse.")
        .def_readonly("cost", &Chain::cost, "The chain's cost (lower is better).")
        .def("__repr__", [](const Chain& c) {
            return "<pulsebench.Chain of " + std::to_string(c.positions.size()) + " pulses, cost " +
                   std::to_string(c.cost) + ">";
        });

    py::class_<Detection>(m, "Detection", R"doc(
What a detector found: the detected pulses (int64 arrays positions, etalons,
cut_begin, cut_end), the cost of the best chain (None when no chain was
offered), for the recognisers the recognised etalon or tuple (None when none),
for the tuple operations the grouping into tuples (tuple_first, tuple_last:
1-based pulse indexes), and ``chains``, the best chains ascending by cost.
)doc")
        .def_property_readonly("positions", [](const Detection& d) { return int64Array(d.positions.data(), d.detected); },
                               "Start sample of each detected pulse (int64).")
        .def_property_readonly("etalons", [](const Detection& d) { return int64Array(d.etalons.data(), d.detected); },
                               "Etalon number (1-based) of each detected pulse.")
        .def_property_readonly("cut_begin", [](const Detection& d) { return int64Array(d.cutBegin.data(), d.detected); },
                               "First kept etalon sample of each detected pulse.")
        .def_property_readonly("cut_end", [](const Detection& d) { return int64Array(d.cutEnd.data(), d.detected); },
                               "Last kept etalon sample (inclusive) of each detected pulse.")
        .def_property_readonly("cost", &detectionCost, "Cost of the best chain; None when no chain was offered.")
        .def_property_readonly("recognized", &recognized,
                               "The recognised etalon (pulse recognisers) or 1-based tuple (tuple recognisers); None "
                               "when nothing was recognised or the operation does not recognise.")
        .def_property_readonly("tuple_first", [](const Detection& d) { return int64Array(d.tupleFirst.data(), d.tuples); },
                               "First detected pulse (1-based) of each detected tuple.")
        .def_property_readonly("tuple_last", [](const Detection& d) { return int64Array(d.tupleLast.data(), d.tuples); },
                               "Last detected pulse (1-based) of each detected tuple.")
        .def_readonly("sought", &Detection::sought, "Pulses sought: the fixed count, or the best chain's length.")
        .def_readonly("length", &Detection::length, "Samples of the signal.")
        .def_property_readonly("detector", [](const Detection& d) { return std::string(d.detector); },
                               "The engine's name of the detector that ran.")
        .def_property_readonly("chains", &chainList, "The best chains (Chain), ascending by cost; made on first read.")
        .def("__repr__", [](const Detection& d) {
            return "<pulsebench.Detection by " + std::string(d.detector) + ": " + std::to_string(d.detected) +
                   " pulses>";
        });
}

} // namespace

void bindDetectors(py::module_& m)
{
    bindResults(m);
    const char* common = R"doc(
x: the signal, any 1-D integer array (converted to int16; a value outside
int16 is a ValueError), 1..32767 samples. alphabet: an integer array of shape
(count, length). tmin, tmax: least and greatest distance between pulse starts;
level: percent of an etalon's energy a pulse keeps at least (100: whole
pulses). chains: how many best chains to keep. The GIL is released while the
detector runs. Returns a Detection.
)doc";
    auto doc = [common](const char* what) { return std::string(what) + common; };
    const auto x = py::arg("x"), alphabet = py::arg("alphabet");
    m.def("detect_fixed", &detectFixedCall, x, alphabet, py::arg("pulses"), py::arg("tmin") = 40, py::arg("tmax") = 181,
          py::arg("level") = 75, py::kw_only(), py::arg("required") = py::none(), py::arg("chains") = 10,
          doc("Detects `pulses` pulses, the best etalon of `required` (default: every etalon) for each.").c_str());
    m.def("detect_unfixed", &detectUnfixedCall, x, alphabet, py::arg("tmin") = 40, py::arg("tmax") = 181,
          py::arg("level") = 75, py::kw_only(), py::arg("min_pulses") = py::none(), py::arg("max_pulses") = py::none(),
          py::arg("required") = py::none(), py::arg("chains") = 10,
          doc("Detects between min_pulses and max_pulses pulses (default: every admissible count), the best etalon "
              "of `required` for each.").c_str());
    m.def("recognize_fixed", &recognizeFixedCall, x, alphabet, py::arg("pulses"), py::arg("tmin") = 40,
          py::arg("tmax") = 181, py::arg("level") = 75, py::kw_only(), py::arg("required") = py::none(),
          py::arg("chains") = 10,
          doc("Recognises the one etalon of `required` that all `pulses` pulses share.").c_str());
    m.def("recognize_unfixed", &recognizeUnfixedCall, x, alphabet, py::arg("tmin") = 40, py::arg("tmax") = 181,
          py::arg("level") = 75, py::kw_only(), py::arg("min_pulses") = py::none(), py::arg("max_pulses") = py::none(),
          py::arg("required") = py::none(), py::arg("chains") = 10,
          doc("Recognises the one etalon of `required` that all pulses share, their count unknown.").c_str());
    m.def("detect_fixed_tuples", &detectFixedTuplesCall, x, alphabet, py::arg("subset"), py::arg("pulses"),
          py::arg("tmin") = 40, py::arg("tmax") = 181, py::arg("level") = 100, py::kw_only(),
          py::arg("proceeding") = 1, py::arg("chains") = 10,
          doc("Detects `pulses` pulses following the tuple `subset` (etalon numbers) cyclically. proceeding: 1, "
              "the chain begins with the tuple's first etalon; other values, with any of them.").c_str());
    m.def("detect_unfixed_tuples", &detectUnfixedTuplesCall, x, alphabet, py::arg("subset"), py::arg("tmin") = 40,
          py::arg("tmax") = 181, py::arg("level") = 100, py::kw_only(), py::arg("min_pulses") = py::none(),
          py::arg("max_pulses") = py::none(), py::arg("proceeding") = 1, py::arg("chains") = 10,
          doc("Detects pulses following the tuple `subset` cyclically, their count unknown (the chain begins with "
              "the tuple's first etalon).").c_str());
    m.def("recognize_fixed_tuples", &recognizeFixedTuplesCall, x, alphabet, py::arg("subsets"), py::arg("pulses"),
          py::arg("tmin") = 40, py::arg("tmax") = 181, py::arg("level") = 100, py::kw_only(),
          py::arg("proceeding") = 1, py::arg("chains") = 10,
          doc("Recognises which of the tuples `subsets` (a list of lists of etalon numbers) `pulses` pulses follow; "
              "`recognized` is its 1-based number.").c_str());
    m.def("recognize_unfixed_tuples", &recognizeUnfixedTuplesCall, x, alphabet, py::arg("subsets"), py::arg("tmin") = 40,
          py::arg("tmax") = 181, py::arg("level") = 100, py::kw_only(), py::arg("min_pulses") = py::none(),
          py::arg("max_pulses") = py::none(), py::arg("proceeding") = 1, py::arg("chains") = 10,
          doc("Recognises which of the tuples `subsets` the pulses follow, their count unknown; `recognized` is its "
              "1-based number.").c_str());
}
