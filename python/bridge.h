// Inside the Python module: what its files share. The alphabet and the signals
// as the engine holds them, converted from NumPy at the door; the random
// streams as a value and the one adapter that lends them to the engine; the
// message recorder each call gets; the owning handles of the engine's records;
// JSON records as Python values.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json_fwd.hpp>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "detection/detection.h"
#include "synthesis/synthesis.h"

namespace py = pybind11;

/*---- Records the engine allocates ----*/

struct SeriesRelease {
    void operator()(SeriesHeader* h) const { freeSeriesHeader(h); }
};
struct ChainsRelease {
    void operator()(ChainsHeader* h) const { freeChainsHeader(nullptr, h); }
};
using SeriesPtr = std::unique_ptr<SeriesHeader, SeriesRelease>;
using ChainsPtr = std::unique_ptr<ChainsHeader, ChainsRelease>;

/*---- Message boxes ----*/

// The window one module call hands the engine: every box it shows is recorded,
// and the first one becomes the call's ValueError.
struct CallWindow {
    RecordingMessageBoxes boxes;                 // the boxes of this call
    PlatformWindow window{&boxes, nullptr};      // owns them
    HWND hWnd() { return &window; }
    // Throws ValueError("<operation>: <the program's message>") when a box was shown.
    void raiseIfShown(const char* operation) const;
};

/*---- Arrays at the door ----*/

// A 1-D integer array (or anything NumPy makes one of) as 16-bit samples.
// TypeError for a non-integer array, ValueError for a value outside int16 or
// a wrong number of dimensions; `what` names the argument in the message.
std::vector<int16_t> int16Vector(py::handle object, const char* what);
// The same for any number of dimensions; the shape comes back in `shape`.
std::vector<int16_t> int16Values(py::handle object, const char* what, int dimensions, std::vector<size_t>& shape);
// A list of integers, each in [low, high], as 32-bit values (ValueError names the entry).
std::vector<int32_t> intList(py::handle object, const char* what, int64_t low, int64_t high);
// A read-only NumPy copy of `count` values, as int64 or as int16.
py::array int64Array(const int16_t* values, size_t count);
py::array int16Array(const int16_t* values, size_t count);
// An integer argument checked against its range: ValueError "what must be ..." outside.
int64_t checkedInt(int64_t value, const char* what, int64_t low, int64_t high);
// A JSON record (objects, arrays, integers, strings) as dicts, lists, ints and str.
py::object jsonToPython(const nlohmann::ordered_json& j);

/*---- The alphabet ----*/

// Etalons 1..count of equal length, as the detectors and the construction read them.
struct Alphabet {
    std::array<PulseHeader, kAlphabetCapacity> entries; // entry i holds etalon i + 1
    uint16_t count = 0;   // etalons in use, 1..20
    uint16_t length = 0;  // samples per etalon, >= 1

    PulseHeader* data() { return entries.data(); }
};

// Any integer array of shape (count, length), 1 <= count <= 20, length >= 1.
std::shared_ptr<Alphabet> alphabetFrom(py::handle object);
py::array alphabetArray(const Alphabet& a);

/*---- Random streams ----*/

// What the module's Streams holds: every random stream of the engine, and
// the lock that lets one call at a time draw from this object (the module's
// own Streams is shared by every thread that passes no streams=). A call
// takes the lock through holdStreams; simulate holds it for its whole run,
// while its progress reports take the GIL.
struct StreamsValue {
    RandomStreams streams;      // every stream, the additive noise included
    mutable std::mutex lock;    // held while a call draws from, reads or copies `streams`
    mutable std::atomic<std::thread::id> runner{};  // the thread whose simulate holds `lock`; none otherwise

    StreamsValue() = default;
    StreamsValue(const StreamsValue& other) : streams(other.get()) {}
    StreamsValue& operator=(const StreamsValue& other);
    RandomStreams get() const;
};

// Takes the lock of `value`. A thread holding the GIL gives it up while it
// waits (a simulation holding the lock takes the GIL for its progress
// reports); a simulation's own progress callback touching its Streams gets a
// RuntimeError instead of a deadlock.
std::unique_lock<std::mutex> holdStreams(const StreamsValue& value);

// Calls `draw(streams)` with the object's streams, one call at a time per
// object; separate Streams objects draw in parallel.
template <typename Draw>
auto drawWithStreams(StreamsValue& value, Draw&& draw)
{
    const std::unique_lock<std::mutex> held = holdStreams(value);
    return draw(value.streams);
}

// The Streams a call uses: the one given, or the module's own.
StreamsValue& streamsOrDefault(py::object streams);

/*---- Results ----*/

// A built series and the etalons its pulses point into (make_series).
struct Series {
    std::shared_ptr<Alphabet> alphabet;  // the etalons behind the series' pulse list
    SeriesPtr h;                         // the series with its truth, built and noised
};

// One chain of a detection: its pulses and its cost.
struct Chain {
    std::vector<int16_t> positions;  // start sample of each pulse
    std::vector<int16_t> etalons;    // etalon number of each pulse, 1-based
    std::vector<int16_t> cutBegin;   // first etalon sample matched, per pulse
    std::vector<int16_t> cutEnd;     // last etalon sample matched (inclusive), per pulse
    int32_t cost = 0;                // the chain's cost
};

// What a detector left: the detected pulses as the series record holds them
// (every per-pulse array at the record's capacity M; the first `detected`
// entries are the result), the tuples, the recognised etalon or tuple and
// the chains record, turned into Chain objects only when asked.
struct Detection {
    const char* detector = "";            // the engine's name of the detector that ran
    int32_t length = 0;                   // samples of the signal
    uint16_t q = 0;                       // etalon length, samples
    uint16_t detected = 0;                // pulses detected
    std::vector<int16_t> positions, etalons, cutBegin, cutEnd;  // [M] as the record holds them
    int16_t tuples = 0;                   // tuples detected
    std::vector<int16_t> tupleFirst, tupleLast;  // [M] first and last detected pulse (1-based) of each tuple
    bool recognition = false;             // a recogniser ran: `result` names what it recognised
    int32_t result = 0;                   // the detector's return value
    int32_t none = 0;                     // the return value that means nothing was recognised
    uint16_t sought = 0;                  // pulses sought (the chains record's wSeekingPulsesQuantity)
    ChainsPtr chains;                     // the best chains, ascending by cost
    std::optional<py::list> chainList;    // the chains as Python objects, once read
};

/*---- Binding, one function per file ----*/

void bindStreams(py::module_& m);
void bindSeries(py::module_& m);
void bindDetectors(py::module_& m);
void bindErrors(py::module_& m);
void bindSimulation(py::module_& m);
void bindRecording(py::module_& m);
