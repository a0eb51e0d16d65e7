// Inside the Python module: the statistical simulation. simulate() takes the
// options of `pulsebench simulate` as keywords, runs the engine's
// runSimulation with the GIL released (its progress hook takes the GIL back a
// few times a second to report and to let Ctrl-C cancel the run), and hands
// back a Simulation: the six tables as sums, the normalised errors and the
// description. One run per call: milliseconds to hours, as the grid asks.
//
//   [SECTION] The keywords
//   [SECTION] The run
//   [SECTION] The result
#include <chrono>
#include <algorithm>
#include <cmath>
#include <exception>

#include "records/records.h"
#include "bridge.h"
#include "simulation/simulation.h"

/*==========================================================================
** [SECTION] The keywords
**========================================================================*/

namespace {

// The integer keywords of simulate, each the option of `pulsebench simulate`
// of the same name (underscores for dashes), with the request's default.
struct IntKeyword {
    const char* name;                 // the keyword
    int SimulationRequest::*field;    // the request's field it sets
    bool derived;                     // None (the default) leaves the field at -1: derived as the program does
};
constexpr IntKeyword kIntKeywords[] = {
    {"length", &SimulationRequest::length, false},
    {"tmin", &SimulationRequest::tmin, false},
    {"tmax", &SimulationRequest::tmax, false},
    {"task", &SimulationRequest::task, false},
    {"series_type", &SimulationRequest::seriesType, false},
    {"making_level", &SimulationRequest::makingLevel, true},
    {"processing_level", &SimulationRequest::processingLevel, true},
    {"pulses_from", &SimulationRequest::pulsesFrom, true},
    {"pulses_to", &SimulationRequest::pulsesTo, true},
    {"pulses_step", &SimulationRequest::pulsesStep, false},
    {"noise_initial", &SimulationRequest::noiseInitial, false},
    {"noise_steps", &SimulationRequest::noiseSteps, false},
    {"noise_step", &SimulationRequest::noiseStep, false},
    {"repeats", &SimulationRequest::repeats, false},
    {"required", &SimulationRequest::required, false},
};
// The keywords after the integers, in the order of the signature.
constexpr const char* kSubsetKeyword = "subset";    // the tuple of tuples detection, or None
constexpr const char* kSubsetsKeyword = "subsets";  // the stored tuples of tuples recognition, or None
constexpr IntKeyword kSubsetIntKeywords[] = {
    {"pick", &SimulationRequest::pick, false},
    {"employment", &SimulationRequest::employment, false},
    {"init", &SimulationRequest::init, false},
    {"proceeding", &SimulationRequest::proceeding, false},
};
constexpr int kMaxThreads = 64;  // threads=: as --threads

// The signature help() shows, made from the keyword tables and the request's defaults.
std::string simulateSignature()
{
    const SimulationRequest defaults;
    std::string s = "simulate(*";
    auto add = [&](const IntKeyword& k) {
        s += std::string(", ") + k.name +
             (k.derived ? ": Optional[int] = None" : ": int = " + std::to_string(defaults.*k.field));
    };
    for (const IntKeyword& k : kIntKeywords)
        add(k);
    s += std::string(", ") + kSubsetKeyword + ": Optional[Sequence[int]] = None, " + kSubsetsKeyword +
         ": Optional[Sequence[Sequence[int]]] = None";
    for (const IntKeyword& k : kSubsetIntKeywords)
        add(k);
    return s + ", seed: int = 0, threads: int = 0, progress: Optional[Callable[[int, int], object]] = None, "
               "streams: Optional[Streams] = None) -> Simulation\n";
}

// One integer keyword: a Python int within 32 bits (the request then checks its range).
int intKeyword(py::handle value, const char* name)
{
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
        throw py::type_error(std::string("simulate: ") + name + " must be an integer, not " +
                             py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    int64_t wide = 0;
    try {
        wide = value.cast<int64_t>();
    } catch (const py::cast_error&) {
        wide = INT64_MAX;  // beyond 64 bits: refused below
    }
    return static_cast<int>(checkedInt(wide, name, INT32_MIN, INT32_MAX));
}

// The replicate seed: a Python int within 0..kMaxReplicateSeed.
uint32_t seedKeyword(py::handle value)
{
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
        throw py::type_error("simulate: seed must be an integer, not " +
                             py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    int64_t wide = INT64_MAX;  // beyond 64 bits: refused below
    try {
        wide = value.cast<int64_t>();
    } catch (const py::cast_error&) {
    }
    return static_cast<uint32_t>(checkedInt(wide, "seed", 0, kMaxReplicateSeed));
}

// A tuple of etalon numbers as 32-bit values; their range is the request's to check.
std::vector<int32_t> tupleKeyword(py::handle value, const std::string& name)
{
    if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value))
        throw py::type_error("simulate: " + name + " must be a list of integers, not a string");
    return intList(value, name.c_str(), INT32_MIN, INT32_MAX);
}

std::vector<std::vector<int32_t>> tuplesKeyword(py::handle value)
{
    if (py::isinstance<py::str>(value) || !py::isinstance<py::iterable>(value))
        throw py::type_error(std::string("simulate: ") + kSubsetsKeyword + " must be a list of lists of integers");
    std::vector<std::vector<int32_t>> tuples;
    for (py::handle tuple : value)
        tuples.push_back(tupleKeyword(tuple, std::string(kSubsetsKeyword) + "[" + std::to_string(tuples.size()) + "]"));
    return tuples;
}

// The keywords of one call, every one known, as what the run needs.
struct SimulateCall {
    SimulationRequest request;      // the run asked for, checked by validateSimulationRequest
    int32_t threads = 0;            // detector threads, 0..64; 0: one per hardware thread
    py::object progress;            // called with (done, total) trials, or None
    StreamsValue* streams = nullptr; // the Streams the run draws from and advances
};

void setIntKeyword(SimulationRequest& r, const IntKeyword& k, py::handle value)
{
    if (value.is_none() && k.derived)
        return;  // stays -1
    r.*k.field = intKeyword(value, k.name);
}

// The integer keyword of that name, from either table; none for another name.
const IntKeyword* intKeywordNamed(const std::string& name)
{
    for (const IntKeyword& k : kIntKeywords)
        if (name == k.name)
            return &k;
    for (const IntKeyword& k : kSubsetIntKeywords)
        if (name == k.name)
            return &k;
    return nullptr;
}

SimulateCall callFrom(const py::args& args, const py::kwargs& kwargs)
{
    if (!args.empty())
        throw py::type_error("simulate() takes keyword arguments only, not " + std::to_string(args.size()) +
                             " positional");
    SimulateCall c;
    c.progress = py::none();
    py::object streams = py::none();
    for (auto item : kwargs) {
        const std::string key = py::str(item.first);
        const py::handle value = item.second;
        if (const IntKeyword* k = intKeywordNamed(key)) {
            setIntKeyword(c.request, *k, value);
        } else if (key == kSubsetKeyword) {
            const std::vector<int32_t> subset = value.is_none() ? std::vector<int32_t>() : tupleKeyword(value, key);
            c.request.subset.assign(subset.begin(), subset.end());
        } else if (key == kSubsetsKeyword) {
            c.request.subsets = value.is_none() ? std::vector<std::vector<int32_t>>() : tuplesKeyword(value);
        } else if (key == "seed") {
            c.request.seed = seedKeyword(value);
        } else if (key == "threads") {
            c.threads = static_cast<int32_t>(checkedInt(intKeyword(value, "threads"), "threads", 0, kMaxThreads));
        } else if (key == "progress") {
            if (!value.is_none() && !PyCallable_Check(value.ptr()))
                throw py::type_error("simulate: progress must be a callable taking (done, total), or None");
            c.progress = py::reinterpret_borrow<py::object>(value);
        } else if (key == "streams") {
            streams = py::reinterpret_borrow<py::object>(value);
        } else {
            throw py::type_error("simulate() got an unexpected keyword argument '" + key + "'");
        }
    }
    if (const std::string fault = validateSimulationRequest(c.request); !fault.empty())
        throw py::value_error("simulate: " + fault);
    c.streams = &streamsOrDefault(streams);
    return c;
}

} // namespace

/*==========================================================================
** [SECTION] The run
**========================================================================*/

namespace {

constexpr auto kReportInterval = std::chrono::milliseconds(100);  // least time between two progress reports

// What the progress hook shares with the call: the Python callback, the
// cancel flag and the exception that cancelled the run.
struct RunWatch {
    py::object progress;                   // callable or None; touched only with the GIL
    std::atomic<bool> cancel{false};       // the run's cancel flag
    std::exception_ptr failure;            // the callback's exception or KeyboardInterrupt; null: none
    std::chrono::steady_clock::time_point last;  // when the hook last took the GIL
    bool reported = false;                 // the hook has taken the GIL once
};

// After every finished trial, on the calling thread with the GIL released:
// at the first trial, then at most every kReportInterval and at the last,
// takes the GIL, lets Python run its signal handlers (Ctrl-C), calls the
// callback; an exception from either cancels the run and is kept.
void watchRun(void* context, const TrawlingProgress& p)
{
    auto& w = *static_cast<RunWatch*>(context);
    const auto now = std::chrono::steady_clock::now();
    if (w.cancel.load() || (w.reported && p.trialsDone < p.trialsTotal && now - w.last < kReportInterval))
        return;
    w.reported = true;
    w.last = now;
    py::gil_scoped_acquire gil;
    try {
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        if (!w.progress.is_none())
            w.progress(p.trialsDone, p.trialsTotal);
    } catch (...) {
        w.failure = std::current_exception();
        w.cancel = true;
    }
}

// Runs the request on the call's Streams with the GIL released, holding the
// Streams' lock throughout. A run that does not complete, or whose callback
// raised, leaves the Streams as they were before the call.
SimulationOutcome runCall(const SimulateCall& c, CallWindow& w, RunWatch& watch)
{
    SimulationControl control;
    control.hWnd = w.hWnd();
    control.threads = c.threads;
    control.progress = watchRun;
    control.progressContext = &watch;
    control.lpCancel = &watch.cancel;
    StreamsValue& value = *c.streams;
    py::gil_scoped_release release;
    const std::unique_lock<std::mutex> held = holdStreams(value);
    value.runner = std::this_thread::get_id();
    const RandomStreams before = value.streams;
    SimulationOutcome outcome = runSimulation(c.request, value.streams, control);
    if (outcome.status != kTrawlingComplete || watch.failure)
        value.streams = before;
    value.runner = std::thread::id();
    return outcome;
}

// The outcome's failure as the Python exception: the callback's or Ctrl-C's,
// MemoryError, or ValueError with the engine's message.
void raiseIfFailed(const SimulationOutcome& outcome, const CallWindow& w, const RunWatch& watch)
{
    if (watch.failure)
        std::rethrow_exception(watch.failure);
    if (outcome.status == kTrawlingComplete && outcome.record && outcome.setup)
        return;
    if (outcome.status == kTrawlingNoMemory) {
        PyErr_SetString(PyExc_MemoryError, ("simulate: " + outcome.error).c_str());
        throw py::error_already_set();
    }
    if (!outcome.error.empty())
        throw py::value_error("simulate: " + outcome.error);
    w.raiseIfShown("simulate");
    throw py::value_error("simulate: the run stopped before its end");
}

} // namespace

/*==========================================================================
** [SECTION] The result
**========================================================================*/

namespace {

// The six tables of the record, in order; the errors and normalisers of the
// three that have a meaning are keyed by the same names.
constexpr const char* kTableNames[kErrorTables] = {"restoring", "detection", "unused2",
                                                   "recognition", "unused4", "unused5"};
constexpr int kNormalisedTables[] = {0, 1, 3};  // restoring, detection, recognition

// A finished run as Python values; every array read-only.
struct Simulation {
    py::array tables;          // int64 (6, L, P): cell [t][k][j] of table t, noise level k, pulse count j
    py::array noiseLevels;     // int64 (L,): noise level of row k, sample units
    py::array pulseCounts;     // int64 (P,): pulse count of column j
    int32_t repeats = 0;       // trials per cell, >= 1
    py::dict description;      // as simulation.json's description, without the wall clock
    py::dict errors;           // name -> float64 (L, P): the normalised errors
    py::dict normalizers;      // name -> int64 (P,): what errors divides each column's sums by
    py::dict reference;        // etEnergy, minSquare, Rmin, Rmax: the alphabet's reference values
    int64_t startTime = 0;     // calendar time the trials started, seconds since the epoch
    int64_t elapsedSeconds = 0; // calendar seconds the trials took
};

template <typename T>
py::array readOnly(py::array_t<T> a)
{
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

py::array tablesArray(const RestoreErrorHeader& r)
{
    const py::ssize_t L = r.wNoiseLevels, P = r.wVariousPulses;
    py::array_t<int64_t> a({py::ssize_t(kErrorTables), L, P});
    auto cells = a.mutable_unchecked<3>();
    for (int t = 0; t < kErrorTables; t++)
        for (py::ssize_t k = 0; k < L; k++)
            for (py::ssize_t j = 0; j < P; j++)
                cells(t, k, j) = r.lpErrors[t][k][j];
    return readOnly(std::move(a));
}

// Each normalised table as (L, P) and its normalisers as (P,).
void addErrors(Simulation& s, const RestoreErrorHeader& r, const ErrorNormalizers& n)
{
    const NormalisedErrors e = normaliseErrors(&r, n);
    const std::vector<double>* values[] = {&e.restoring, &e.detection, &e.recognition};
    const py::ssize_t L = r.wNoiseLevels, P = r.wVariousPulses;
    for (size_t i = 0; i < std::size(kNormalisedTables); i++) {
        const int t = kNormalisedTables[i];
        py::array_t<double> errors({L, P});
        std::copy(values[i]->begin(), values[i]->end(), errors.mutable_data());
        s.errors[kTableNames[t]] = readOnly(std::move(errors));
        py::array_t<int64_t> divisors(P);
        for (py::ssize_t j = 0; j < P; j++)
            divisors.mutable_data()[j] = errorNormalizer(n, t, static_cast<int>(j));
        s.normalizers[kTableNames[t]] = readOnly(std::move(divisors));
    }
}

Simulation simulationOf(const SimulationOutcome& outcome, const SimulationRequest& request)
{
    const RestoreErrorHeader& r = *outcome.record;
    const SimulationSetup& setup = *outcome.setup;
    Simulation s;
    s.tables = tablesArray(r);
    s.noiseLevels = int64Array(r.lpNoiseLevels, r.wNoiseLevels);
    s.pulseCounts = int64Array(r.wPulseValues, r.wVariousPulses);
    s.repeats = r.repeats;
    s.description = jsonToPython(simulationDescriptionJson(&r, request));
    const ErrorReference ref = errorReference(&r, setup.lpSeriesHeader, &setup.alphabet[0], setup.wRequiredQuantity,
                                              setup.lpRequiredList);
    s.reference["etEnergy"] = ref.etEnergy;
    s.reference["minSquare"] = ref.minSquare;
    s.reference["Rmin"] = ref.Rmin;
    s.reference["Rmax"] = ref.Rmax;
    addErrors(s, r, errorNormalizers(&r, setup.lpSeriesHeader, ref));
    s.startTime = outcome.startTime;
    s.elapsedSeconds = outcome.elapsedSeconds;
    return s;
}

py::object simulate(const py::args& args, const py::kwargs& kwargs)
{
    const SimulateCall c = callFrom(args, kwargs);
    CallWindow w;
    RunWatch watch;
    watch.progress = c.progress;
    const SimulationOutcome outcome = runCall(c, w, watch);
    raiseIfFailed(outcome, w, watch);
    return py::cast(simulationOf(outcome, c.request));
}

template <typename T>
py::array_t<T> arrayOf(const std::vector<T>& values)
{
    py::array_t<T> a(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), a.mutable_data());
    return a;
}

// One row per table, noise level and pulse count, in the order of the tables'
// cells; the error is NaN for the tables without a normalised form.
py::object toDataFrame(const Simulation& s)
{
    py::module_ pandas;
    try {
        pandas = py::module_::import("pandas");
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError))
            throw;
        throw py::import_error(std::string("Simulation.to_dataframe needs pandas (Debian: python3-pandas): ") +
                               e.what());
    }
    const auto cells = s.tables.cast<py::array_t<int64_t>>().unchecked<3>();
    const auto noise = s.noiseLevels.cast<py::array_t<int64_t>>().unchecked<1>();
    const auto pulses = s.pulseCounts.cast<py::array_t<int64_t>>().unchecked<1>();
    py::list table;
    std::vector<int64_t> noiseColumn, pulsesColumn, sums;
    std::vector<double> errors;
    for (py::ssize_t t = 0; t < cells.shape(0); t++) {
        const bool normalised = s.errors.contains(kTableNames[t]);
        const auto e = normalised ? s.errors[kTableNames[t]].cast<py::array_t<double>>() : py::array_t<double>();
        for (py::ssize_t k = 0; k < cells.shape(1); k++)
            for (py::ssize_t j = 0; j < cells.shape(2); j++) {
                table.append(kTableNames[t]);
                noiseColumn.push_back(noise(k));
                pulsesColumn.push_back(pulses(j));
                sums.push_back(cells(t, k, j));
                errors.push_back(normalised ? *e.data(k, j) : std::nan(""));
            }
    }
    py::dict columns;
    columns["table"] = table;
    columns["noise"] = arrayOf(noiseColumn);
    columns["pulses"] = arrayOf(pulsesColumn);
    columns["sum"] = arrayOf(sums);
    columns["error"] = arrayOf(errors);
    return pandas.attr("DataFrame")(columns);
}

py::dict copyOf(const py::dict& d)
{
    return py::dict(d);
}

} // namespace

void bindSimulation(py::module_& m)
{
    py::class_<Simulation> simulation(m, "Simulation", R"doc(
A finished statistical simulation: ``tables``, the six error tables of the
record as their raw integer sums (int64, shape (6, noise levels, pulse
counts), named by ``table_names``), the grid (``noise_levels``,
``pulse_counts``, ``repeats``), ``errors``, the normalised errors the charts
plot (float64 (noise levels, pulse counts) per name: exactly the sum divided
by its normaliser, ``normalizers``), the alphabet's ``reference`` values and
the run's ``description``. ``to_dataframe()`` gives it all as a tidy table.
)doc");
    py::tuple names(kErrorTables);
    for (int t = 0; t < kErrorTables; t++)
        names[t] = kTableNames[t];
    simulation.attr("table_names") = names;  // restoring, detection, unused2, recognition, unused4, unused5
    simulation
        .def_readonly("tables", &Simulation::tables,
                      "The raw sums, int64 (6, noise levels, pulse counts): cell [t, k, j] of table t for noise level "
                      "k and pulse count j, as simulation.json's lpErrors.")
        .def_readonly("noise_levels", &Simulation::noiseLevels, "The noise level of each row, sample units (int64).")
        .def_readonly("pulse_counts", &Simulation::pulseCounts, "The pulse count of each column (int64).")
        .def_readonly("repeats", &Simulation::repeats, "Trials per noise level and pulse count.")
        .def_property_readonly("description", [](const Simulation& s) { return copyOf(s.description); },
                               "The run as simulation.json describes it (series type, task, their names, saved "
                               "energy levels, length, tmin, tmax, required etalons), without the wall clock.")
        .def_property_readonly("errors", [](const Simulation& s) { return copyOf(s.errors); },
                               "The normalised errors by name (restoring, detection, recognition), float64 (noise "
                               "levels, pulse counts): the double nearest to sum / normaliser.")
        .def_property_readonly("normalizers", [](const Simulation& s) { return copyOf(s.normalizers); },
                               "What each column of a table is divided by, int64 (pulse counts,) per name of errors.")
        .def_property_readonly("reference", [](const Simulation& s) { return copyOf(s.reference); },
                               "The alphabet's reference values the normalisers rest on: etEnergy, minSquare, Rmin, "
                               "Rmax.")
        .def_readonly("start_time", &Simulation::startTime,
                      "Wall clock: calendar time the trials started, seconds since the epoch.")
        .def_readonly("elapsed_seconds", &Simulation::elapsedSeconds,
                      "Wall clock: calendar seconds the trials took (differs from run to run).")
        .def("to_dataframe", &toDataFrame, R"doc(
A tidy pandas DataFrame: one row per table, noise level and pulse count, with
the columns table (its name), noise, pulses, sum (the raw sum) and error (the
normalised error; NaN for the three unused tables). Needs pandas: an
ImportError saying so otherwise.
)doc")
        .def("__repr__", [](const Simulation& s) {
            const auto shape = s.tables.shape();
            return "<pulsebench.Simulation: " + py::str(s.description["lpTaskName"]).cast<std::string>() + ", " +
                   py::str(s.description["lpSeriesTypeName"]).cast<std::string>() + "; " + std::to_string(shape[1]) +
                   " noise levels x " + std::to_string(shape[2]) + " pulse counts, " + std::to_string(s.repeats) +
                   " repeats>";
        });

    py::options options;
    options.disable_function_signatures();  // the signature is written from the keyword tables
    m.def("simulate", &simulate, (simulateSignature() + R"doc(
The statistical simulation of `pulsebench simulate`, from the state of a
freshly started program: the program's alphabet (20 etalons of 20 samples)
and first series, then for every pulse count and noise level of the grid
`repeats` trials of build, noise, detect and score. The keywords are the
command's options with underscores and the same defaults; None derives a
value as the command does (making_level: 75, 100 for whole-pulse series
types; processing_level: the making level; pulses_from, pulses_to: the
admissible bounds). subset is the tuple of tuples detection (e.g. [2, 5]),
subsets the stored tuples of tuples recognition (e.g. [[1, 2], [3, 4]]).

seed: the replicate. 0 draws from the program's own streams (the run of
the command, bit for bit); any other value, up to 4294967295, draws every
trial from a counter-based generator keyed by the seed and the stream, so
that two seeds give independent replicates (the 15-bit streams have one cycle
of 32768 values: other start values would only shift its phase). The streams
then end where the fresh start left them.

threads: detector threads (0: one per hardware thread); the results do not
depend on it. progress: called as progress(done, total) trials from the
calling thread, at the first trial, then at most about ten times a second, and
at the end. The run draws from ``streams`` (default: the module's own
Streams); a fresh Streams gives the command's run bit for bit. The GIL is
released while the run works. Ctrl-C (KeyboardInterrupt) or an exception
raised by progress cancels the run after the trials in flight and propagates;
then, as after any refused or failed run, the Streams are left as they were
before the call. Bad keywords raise TypeError or ValueError with the command's
message. Returns a Simulation.
)doc").c_str());
}
