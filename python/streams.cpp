// Inside the Python module: the class Streams, every random stream's state as
// a value, readable and settable as a dict keyed by the streams' field names;
// the module's own Streams for calls given none; the lock one call at a time
// holds.
#include "bridge.h"

namespace {

// Each 15-bit stream of construction by the field name the records and dumps give it.
struct SeedField {
    const char* name;                     // field name, as the dumps print it
    int16_t RandomStreams::*seed;         // the stream's state in the record
};
constexpr SeedField kSeedFields[] = {
    {"wCutBeginSeed", &RandomStreams::wCutBeginSeed},
    {"wCutEndSeed", &RandomStreams::wCutEndSeed},
    {"wPositionSeed", &RandomStreams::wPositionSeed},
    {"wQuantitySeed", &RandomStreams::wQuantitySeed},
    {"wSubsetShiftSeed", &RandomStreams::wSubsetShiftSeed},
    {"wSubsetGapSeed", &RandomStreams::wSubsetGapSeed},
    {"wNoiseEtalonSeed", &RandomStreams::wNoiseEtalonSeed},
};
constexpr const char* kSequenceField = "dwSequenceState";  // the 32-bit sequence generator
constexpr const char* kNoiseField = "wNoiseSeed";          // the additive noise stream

py::dict stateDict(const StreamsValue& value)
{
    const RandomStreams s = value.get();
    py::dict d;
    for (const SeedField& f : kSeedFields)
        d[f.name] = s.*f.seed;
    d[kSequenceField] = s.dwSequenceState;
    d[kNoiseField] = s.wNoiseSeed;
    return d;
}

int64_t stateEntry(const py::dict& d, const char* name, int64_t low, int64_t high)
{
    if (!d.contains(name))
        throw py::value_error(std::string("Streams.state: the dict has no entry \"") + name + "\"");
    py::handle v = d[name];
    if (!py::isinstance<py::int_>(v) || py::isinstance<py::bool_>(v))
        throw py::type_error(std::string("Streams.state: \"") + name + "\" must be an integer");
    return checkedInt(v.cast<int64_t>(), (std::string("Streams.state[\"") + name + "\"]").c_str(), low, high);
}

// Every entry checked before any is taken: a bad dict leaves the streams as they were.
void setState(StreamsValue& value, const py::dict& d)
{
    RandomStreams next;
    for (const SeedField& f : kSeedFields)
        next.*f.seed = static_cast<int16_t>(stateEntry(d, f.name, -32768, 32767));
    next.dwSequenceState = static_cast<int32_t>(stateEntry(d, kSequenceField, INT32_MIN, INT32_MAX));
    next.wNoiseSeed = static_cast<int16_t>(stateEntry(d, kNoiseField, -32768, 32767));
    for (auto item : d) {
        const std::string key = py::str(item.first);
        bool found = key == kSequenceField || key == kNoiseField;
        for (const SeedField& f : kSeedFields)
            found = found || key == f.name;
        if (!found)
            throw py::value_error("Streams.state: unknown stream \"" + key + "\"");
    }
    const std::unique_lock<std::mutex> held = holdStreams(value);
    value.streams = next;
}

} // namespace

std::unique_lock<std::mutex> holdStreams(const StreamsValue& value)
{
    if (value.runner.load() == std::this_thread::get_id())
        throw std::runtime_error("this Streams is in use by the simulate call that runs this progress callback");
    std::unique_lock<std::mutex> held(value.lock, std::try_to_lock);
    if (held.owns_lock())
        return held;
    if (PyGILState_Check()) {
        py::gil_scoped_release release;  // the holder may need the GIL to finish
        held.lock();
    } else {
        held.lock();
    }
    return held;
}

StreamsValue& StreamsValue::operator=(const StreamsValue& other)
{
    const RandomStreams value = other.get();
    const std::unique_lock<std::mutex> held = holdStreams(*this);
    streams = value;
    return *this;
}

RandomStreams StreamsValue::get() const
{
    const std::unique_lock<std::mutex> held = holdStreams(*this);
    return streams;
}

StreamsValue& streamsOrDefault(py::object streams)
{
    static StreamsValue moduleStreams;
    if (streams.is_none())
        return moduleStreams;
    if (!py::isinstance<StreamsValue>(streams))
        throw py::type_error("streams must be a pulsebench.Streams, not " +
                             py::str(py::type::of(streams).attr("__name__")).cast<std::string>());
    return streams.cast<StreamsValue&>();
}

void bindStreams(py::module_& m)
{
    py::class_<StreamsValue>(m, "Streams", R"doc(
Every random stream of the engine: the 15-bit streams of series construction
(cut begin, cut end, positions, pulse count, subset shift and gap, noise-like
etalons), the 32-bit etalon sequence generator and the additive noise stream.

A new Streams starts at the start values, as a freshly started program before
it draws anything. Calls that draw (standard_alphabet, make_series) take
``streams=``; without it they use the module's own Streams. The same calls on
equal Streams give equal results, whatever other threads do meanwhile.

``state`` is a dict keyed by the streams' field names as the dumps print them
(wCutBeginSeed, wCutEndSeed, wPositionSeed, wQuantitySeed, wSubsetShiftSeed,
wSubsetGapSeed, wNoiseEtalonSeed, dwSequenceState, wNoiseSeed); assigning such
a dict puts every stream there. ``copy()`` gives an independent Streams.
)doc")
        .def(py::init<>(), "Streams at their start values, as in a freshly started program.")
        .def_property("state", &stateDict, &setState, "Every stream's state, as a dict keyed by field name.")
        .def("copy", [](const StreamsValue& s) { return s; }, "An independent Streams in the same state.")
        .def("__eq__", [](const StreamsValue& a, const StreamsValue& b) {
            return a.get() == b.get();
        })
        .def("__repr__", [](const StreamsValue& s) {
            return "pulsebench.Streams(" + py::repr(stateDict(s)).cast<std::string>() + ")";
        });
    m.def("default_streams", []() -> StreamsValue& { return streamsOrDefault(py::none()); },
          py::return_value_policy::reference,
          "The module's own Streams, used by every call given no streams=.");
}
