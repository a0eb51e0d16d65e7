// A simulation run set up from its request: the checks of the request, the
// replay of a fresh start (alphabet, first series), the required list, the
// subsets, the series header and the record, then statCutoffTrawling. Used by
// the batch command, its MPI wrapper and library users; the set-up takes a few
// milliseconds, the trials the rest.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "simulation.h"

namespace {

constexpr const char* kNoMemory = "out of memory: the grid needs more than this machine gives "
                                  "(fewer pulse counts, noise levels, repeats or --threads need less)";
constexpr const char* kSubsetsFault = "--subsets: tuples of etalon numbers 1..20, e.g. \"1,2;3,4\"";

// "" when value lies in from..to, else the message naming the option.
std::string rangeFault(const char* option, int value, int from, int to)
{
    if (value >= from && value <= to)
        return "";
    return std::string(option) + " must be within " + std::to_string(from) + ".." + std::to_string(to) + ", not " +
           std::to_string(value);
}

bool isEtalon(int32_t e)
{
    return e >= 1 && e <= kRunAlphabetSize;
}

// The first field outside its range, as validateSimulationRequest reports it.
std::string fieldFault(const SimulationRequest& q)
{
    if (q.task != kTaskDetection && q.task != kTaskRecognition && q.task != kTaskJoint && q.task != kTaskSeriesProcessing)
        return "--task must be 1, 2, 4 or 64, not " + std::to_string(q.task);
    const bool code = q.seriesType >= 0 && q.seriesType <= 65535;
    const SeriesKind* series = code ? seriesKindOf(static_cast<uint16_t>(q.seriesType)) : nullptr;
    if (!series || !series->name) // the typed series (16, 32) are built by the window only
        return "--series-type must be 1, 2, 4, 8, 36 or 40, not " + std::to_string(q.seriesType);
    const struct {
        const char* option;
        int value, from, to;
    } ranges[] = {
        {"--length", q.length, 20, kMaxSeriesSize},     {"--tmin", q.tmin, 1, 32767},
        {"--tmax", q.tmax, 1, 32767},                   {"--making-level", q.makingLevel, -1, 100},
        {"--processing-level", q.processingLevel, -1, 100}, {"--pulses-from", q.pulsesFrom, -1, 32767},
        {"--pulses-to", q.pulsesTo, -1, 32767},         {"--pulses-step", q.pulsesStep, 0, 32767},
        {"--noise-initial", q.noiseInitial, 0, 32767},  {"--noise-steps", q.noiseSteps, 1, 4096},
        {"--noise-step", q.noiseStep, 0, 32767},        {"--repeats", q.repeats, 1, 65535},
        {"--required", q.required, 1, kRunAlphabetSize}, {"--pick", q.pick, 1, 32767},
        {"--employment", q.employment, 1, 5},           {"--init", q.init, 1, 32767},
        {"--proceeding", q.proceeding, 1, 2},
    };
    for (const auto& r : ranges)
        if (std::string fault = rangeFault(r.option, r.value, r.from, r.to); !fault.empty())
            return fault;
    if (!std::all_of(q.subset.begin(), q.subset.end(), isEtalon))
        return "--subset: etalon numbers 1..20";
    for (const std::vector<int32_t>& tuple : q.subsets)
        if (tuple.empty() || !std::all_of(tuple.begin(), tuple.end(), isEtalon))
            return kSubsetsFault;
    return "";
}

// The grid's pulse counts: first, step and number P (checked by validation).
struct PulseGrid {
    int from, step, P;
};

PulseGrid pulseGridOf(const SimulationRequest& q)
{
    const int from = q.pulsesFrom >= 0 ? q.pulsesFrom : pulsesLowerBound(q.length, kRunImpulseSize, q.tmax);
    const int to = q.pulsesTo >= 0 ? q.pulsesTo : pulsesUpperBound(q.length, kRunImpulseSize, q.tmin);
    const int step = std::max(1, q.pulsesStep);
    return PulseGrid{from, step, (to - from) / step + 1};
}

} // namespace

std::string validateSimulationRequest(const SimulationRequest& q)
{
    if (std::string fault = fieldFault(q); !fault.empty())
        return fault;
    if (q.tmin > q.tmax)
        return "--tmin must not exceed --tmax";
    if (q.tmax < kRunImpulseSize)
        return "--tmax must be at least the pulse length, " + std::to_string(kRunImpulseSize);
    const PulseGrid grid = pulseGridOf(q);
    if (grid.P < 1 || grid.P > 65535)
        return "--pulses-to must not be below --pulses-from";
    if (int64_t(q.noiseInitial) + int64_t(q.noiseSteps - 1) * q.noiseStep > 32767)
        return "the noise levels must stay within 0..32767";
    return "";
}

int64_t simulationTrials(const SimulationRequest& q)
{
    return int64_t(pulseGridOf(q).P) * q.noiseSteps * q.repeats;
}

SimulationSetup::~SimulationSetup()
{
    freeSeriesHeader(lpSeriesHeader);
    freeRequiredList(lpRequiredList);
    freeAlphabet(kRunAlphabetSize, alphabet);
}

namespace {

// What window creation does to the random streams, with the program's
// defaults: the alphabet (noise-like etalons), the required list, and the
// first series (series type 2: 18 pulses of etalon 1 in 1200 samples, Tmin
// 40, Tmax 181, saved energy 75; position and cut streams). No noise is added
// and no detector runs at creation.
bool replayFreshStart(HWND hWnd, SimulationSetup& s, RandomStreams& streams)
{
    if (!makeAlphabet(hWnd, kRunAmplitude, kRunAlphabetSize, kRunImpulseSize, s.alphabet, streams))
        return false;
    s.lpRequiredList = getRequiredList(hWnd, kRunAlphabetSize, nullptr);
    if (!s.lpRequiredList)
        return false;
    const uint16_t length = 1200, Tmin = 40, Tmax = 181;
    const uint16_t maxPulses = maxPulsesFor(length, kRunImpulseSize, Tmin);
    const uint16_t minPulses = pulsesLowerBound(length, kRunImpulseSize, Tmax);
    std::vector<uint16_t> sequence(maxPulses, 1); // wEtalonNumber
    s.lpSeriesHeader = getCutOffSeries(hWnd, kRunAlphabetSize, s.alphabet, kRunImpulseSize, Tmin, Tmax, length,
                                       static_cast<uint16_t>((minPulses + maxPulses) / 2), sequence.data(),
                                       kRunAmplitude, 75, nullptr, streams);
    return s.lpSeriesHeader != nullptr;
}

// The subsets the request names, stored the way the subset settings store them.
bool applySubsets(HWND hWnd, const SimulationRequest& q, SeriesHeader* h)
{
    if (!q.subsets.empty()) {
        std::vector<int32_t> sizes;
        std::vector<const int32_t*> rows;
        int32_t longest = 0;
        for (const auto& t : q.subsets) {
            sizes.push_back(static_cast<int32_t>(t.size()));
            rows.push_back(t.data());
            longest = std::max<int32_t>(longest, static_cast<int32_t>(t.size()));
        }
        const int32_t S = static_cast<int32_t>(q.subsets.size());
        if (!addSomeSelectedSubsetToSeriesHeader(hWnd, sizes.data(), rows.data(), S, S, longest, q.pick,
                                                 static_cast<uint16_t>(q.employment), static_cast<uint16_t>(q.init), h))
            return false;
    }
    if (!q.subset.empty()) {
        std::vector<int32_t> entries(q.subset.begin(), q.subset.end());
        if (!setSelectedSubset(hWnd, entries.data(), static_cast<int32_t>(entries.size()),
                               static_cast<uint16_t>(q.employment), static_cast<uint16_t>(q.init), h))
            return false;
    }
    return true;
}

// The menu and the dialogs after the fresh start: the required set, the
// subsets and the series header for the request. False after a message.
bool setUpRun(HWND hWnd, const SimulationRequest& q, SimulationSetup& s, std::string& error)
{
    const uint16_t processing = processingTypeFor(static_cast<uint16_t>(q.task), static_cast<uint16_t>(q.seriesType));
    // Detection: wSelectedEtalon alone
    const uint16_t n = processing == kTaskDetection ? 1 : static_cast<uint16_t>(q.required);
    s.lpRequiredList = getRequiredList(hWnd, n, s.lpRequiredList);
    s.wRequiredQuantity = n;
    if (!s.lpRequiredList) {
        error = "no memory for the required list";
        return false;
    }
    if (!applySubsets(hWnd, q, s.lpSeriesHeader))
        return false;
    s.lpSeriesHeader = getCutOffSeriesHeader(hWnd, kRunAlphabetSize, kRunImpulseSize, static_cast<uint16_t>(q.tmin),
                                             static_cast<uint16_t>(q.tmax), q.length, s.lpSeriesHeader);
    if (!s.lpSeriesHeader) {
        error = shownText("Не могу выделить память для lpCutOffSeriesHeader!");
        return false;
    }
    return true;
}

// The record of the request's grid, then the trials.
void runGrid(const SimulationRequest& q, RandomStreams& streams, const SimulationControl& c, SimulationOutcome& out)
{
    HWND const hWnd = c.hWnd;
    const PulseGrid grid = pulseGridOf(q);
    const uint16_t L = static_cast<uint16_t>(q.noiseSteps);
    out.record.reset(getRestErrHeader(hWnd, static_cast<uint16_t>(grid.P), L, q.repeats, nullptr));
    if (!out.record) {
        out.status = kTrawlingNoMemory;
        out.error = kNoMemory;
        return;
    }
    if (!initRestErrHeader(hWnd, static_cast<uint16_t>(grid.P), static_cast<uint16_t>(grid.from),
                           static_cast<uint16_t>(grid.step), L, static_cast<uint16_t>(q.noiseInitial),
                           static_cast<uint16_t>(q.noiseStep), q.repeats, out.record.get())) {
        out.error = shownText("Ошибка initRestErrHeader!");
        return;
    }
    const uint16_t type = static_cast<uint16_t>(q.seriesType);
    const uint16_t processing = processingTypeFor(static_cast<uint16_t>(q.task), type);
    const uint16_t making = static_cast<uint16_t>(q.makingLevel >= 0 ? q.makingLevel
                                                                     : isWholePulseSeries(type) ? 100 : 75);
    const uint16_t proc = static_cast<uint16_t>(q.processingLevel >= 0 ? q.processingLevel : making);
    RandomStreams keyed = streams;  // a replicate's trials draw from its keyed streams
    seedRandomStreams(keyed, q.seed);
    TrawlingContext context;
    context.lpStreams = q.seed != 0 ? &keyed : &streams;
    context.wAmplitude = kRunAmplitude;
    context.wSubsetProceeding = static_cast<uint16_t>(q.proceeding);
    context.threads = c.threads;
    context.progress = c.progress;
    context.progressContext = c.progressContext;
    context.lpCancel = c.lpCancel;
    context.share = c.share;
    int64_t times[2] = {0, 0};
    context.lpTimes = times;
    SimulationSetup& s = *out.setup;
    out.status = statCutoffTrawling(hWnd, out.record.get(), kRunAlphabetSize, s.alphabet, s.wRequiredQuantity,
                                    s.lpRequiredList, type, processing, making, proc, s.lpSeriesHeader, context);
    out.startTime = times[0];
    out.elapsedSeconds = times[1] - times[0];
    if (out.status == kTrawlingNoMemory)
        out.error = kNoMemory;
}

void runRequest(const SimulationRequest& q, RandomStreams& streams, const SimulationControl& c,
                SimulationOutcome& out)
{
    out.error = validateSimulationRequest(q);
    if (!out.error.empty())
        return;
    out.setup = std::make_unique<SimulationSetup>();
    if (!replayFreshStart(c.hWnd, *out.setup, streams)) {
        out.error = "the alphabet or the first series could not be built";
        return;
    }
    if (!setUpRun(c.hWnd, q, *out.setup, out.error))
        return;
    if (c.checkOnly) {
        out.status = kTrawlingCancelled;  // passed: stopped before the record and the first trial
        return;
    }
    runGrid(q, streams, c, out);
}

} // namespace

SimulationOutcome runSimulation(const SimulationRequest& request, RandomStreams& streams,
                                const SimulationControl& control)
{
    SimulationOutcome out;
    const RandomStreams before = streams;
    try {
        runRequest(request, streams, control, out);
    } catch (const std::bad_alloc&) {
        out.status = kTrawlingNoMemory;
        out.error = kNoMemory;
    } catch (const std::exception& e) {
        out.status = kTrawlingNotStarted;
        out.error = std::string("the run failed: ") + e.what();
    }
    if (out.status == kTrawlingNotStarted)
        streams = before;  // refused: as if the run had not been asked for
    return out;
}

bool completeSimulation(SimulationOutcome& outcome, const std::vector<TrawlingCellSums>& sums)
{
    if (outcome.status != kTrawlingShareDone || !storeTrawlingSums(sums, outcome.record.get()))
        return false;
    outcome.status = kTrawlingComplete;
    return true;
}
