// The window's statistical simulation run and its checkpoint: the record the
// run fills, the progress dialog, the run as one share of its trials, and,
// when Cancel stops it, the offer to keep the trials done in a checkpoint
// file that " Resume simulation..." continues. Started with `--checkpoint
// FILE`, the program keeps every run's checkpoint in FILE instead: written
// every few seconds while it runs and when Cancel stops it. A resumed run takes the
// simulation's own settings (length, interval bounds, saved energy levels,
// grid, seed) and the random streams its first trial drew from out of the
// checkpoint, and requires everything else it reads (task, series type,
// alphabet, required etalons, subsets) to be as it was; its tables are those
// of a run never interrupted.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "checkpoint/checkpoint.h"
#include "kinds/kinds.h"
#include "platform/allocation.h"
#include "platform/files.h"
#include "records/records.h"
#include "resources/resources.h"
#include "shell/shell.h"
#include "simulation/simulation.h"

namespace {

/*==========================================================================
** The settings a checkpoint carries
**========================================================================*/

// What the simulation's own dialogs set: the series parameters and the grid.
struct WindowGrid {
    int64_t length = 0;      // series length, samples
    int64_t tmin = 0;        // least distance between pulse starts, samples
    int64_t tmax = 0;        // greatest distance between pulse starts, samples
    int64_t making = 0;      // saved energy of the series built, percent
    int64_t processing = 0;  // saved energy given to the detectors, percent
    int64_t from = 0;        // first pulse count
    int64_t to = 0;          // last pulse count, >= from
    int64_t step = 0;        // pulse count increment, >= 1
    int64_t repeats = 0;     // trials per cell
    int64_t noise = 0;       // first noise level, sample units
    int64_t steps = 0;       // noise levels
    int64_t noiseStep = 0;   // noise level increment
    int64_t seed = 0;        // replicate seed, 0: the program's streams
};

// The grid's fields in a checkpoint's options, with the ranges the dialogs allow.
struct GridField {
    const char* key;
    int64_t WindowGrid::*member;
    int64_t low, high;
};
constexpr GridField kGridFields[] = {
    {"length", &WindowGrid::length, 1, kMaxSeriesSize},
    {"tmin", &WindowGrid::tmin, 1, 65535},
    {"tmax", &WindowGrid::tmax, 1, 65535},
    {"making_level", &WindowGrid::making, 0, 100},
    {"processing_level", &WindowGrid::processing, 0, 100},
    {"pulses_from", &WindowGrid::from, 1, 65535},
    {"pulses_to", &WindowGrid::to, 1, 65535},
    {"pulses_step", &WindowGrid::step, 1, 65535},
    {"repeats", &WindowGrid::repeats, 1, 65535},
    {"noise_initial", &WindowGrid::noise, 0, 32767},
    {"noise_steps", &WindowGrid::steps, 1, 65535},
    {"noise_step", &WindowGrid::noiseStep, 0, 32767},
    {"seed", &WindowGrid::seed, 0, kMaxReplicateSeed},
};

WindowGrid gridOf(const ProgramState& s)
{
    return {s.dwSeriesLength, s.wTmin, s.wTmax, s.wSavedEnergyLevel, s.wProcSavedEnergyLevel, s.wMinPulses,
            s.wMaxPulses, std::max<uint16_t>(s.wPulsesIncrement, 1), s.wRepeats, s.wInitNoiseLevel, s.wNoiseSteps,
            s.wNoiseIncrement, s.dwSimulationSeed};
}

int64_t pulseCounts(const WindowGrid& g)
{
    return (g.to - g.from) / g.step + 1;
}

int64_t gridTrials(const WindowGrid& g)
{
    return pulseCounts(g) * g.steps * g.repeats;
}

// The grid of a checkpoint's options; false with `error` for a field missing
// or outside what the dialogs allow.
bool gridFromOptions(const nlohmann::json& options, WindowGrid& g, std::string& error)
{
    for (const GridField& f : kGridFields) {
        const nlohmann::json v = options.value(f.key, nlohmann::json());
        if (!v.is_number_integer() || v.get<int64_t>() < f.low || v.get<int64_t>() > f.high) {
            error = std::string("\"") + f.key + "\" must be an integer from " + std::to_string(f.low) + " to " +
                    std::to_string(f.high);
            return false;
        }
        g.*f.member = v.get<int64_t>();
    }
    if (g.tmin > g.tmax || g.from > g.to || g.noise + (g.steps - 1) * g.noiseStep > 32767) {
        error = "the grid is inconsistent: tmin above tmax, pulses_from above pulses_to, or a last noise level above "
                "32767";
        return false;
    }
    return true;
}

// Everything the run reads, as a checkpoint's options: the grid first, then
// what the run requires to be as it was.
nlohmann::ordered_json runOptions(const ProgramState& s, const WindowGrid& g)
{
    nlohmann::ordered_json o;
    for (const GridField& f : kGridFields)
        o[f.key] = g.*f.member;
    o["task"] = s.wTaskType;
    o["processing"] = s.wProcessingType;
    o["series_type"] = s.wSeriesType;
    o["amplitude"] = s.wAmplitude;
    o["proceeding"] = s.wSubsetProceeding;
    o["required"] = jsonArray(s.lpRequiredList, s.wRequiredQuantity);
    nlohmann::ordered_json alphabet = nlohmann::ordered_json::array();
    for (int i = 0; i < s.wAlphabetSize; i++)
        alphabet.push_back(jsonArray(s.Alphabet[i].lpData.get(), s.Alphabet[i].wLength));
    o["alphabet"] = alphabet;
    const SeriesHeader* h = s.lpSeriesHeader;
    if (isTupleSeries(s.wSeriesType) && h) {
        o["subset"] = jsonArray(h->selectedSubset, h->wSubsetLength);
        o["subset_employment"] = h->wSubsetEmployment;
        o["subset_init"] = h->wSubsetInitPosition;
        nlohmann::ordered_json stored = nlohmann::ordered_json::array();
        for (int i = 0; i < h->wSelectedSubsets && h->selectedSubsetList; i++)
            stored.push_back(jsonArray(h->selectedSubsetList[i], h->selectedSubsetSize[i]));
        o["subsets"] = stored;
    }
    return o;
}

// The grid into the state, as the simulation's dialogs leave it.
void applyGrid(ProgramState& s, const WindowGrid& g)
{
    s.dwSeriesLength = s.dwNextSeriesLength = s.dwNewSeriesLength = uint32_t(g.length);
    s.wTmin = s.wNewTmin = uint16_t(g.tmin);
    s.wTmax = s.wNewTmax = uint16_t(g.tmax);
    s.wSavedEnergyLevel = uint16_t(g.making);
    s.wNewSavedEnergy = int16_t(g.making);
    s.wProcSavedEnergyLevel = uint16_t(g.processing);
    s.wNewProcSavedEnergy = int16_t(g.processing);
    s.wMinPulses = s.wNewMinPulses = uint16_t(g.from);
    s.wMaxPulses = s.wNewMaxPulses = uint16_t(g.to);
    s.wPulsesIncrement = uint16_t(g.step);
    s.wVariousPulsesNumber = uint16_t(pulseCounts(g));
    s.wRepeats = uint16_t(g.repeats);
    s.wInitNoiseLevel = uint16_t(g.noise);
    s.wNoiseSteps = uint16_t(g.steps);
    s.wNoiseIncrement = uint16_t(g.noiseStep);
    s.dwSimulationSeed = uint32_t(g.seed);
}

// What applyGrid and a resumed run change, to put back when the run is refused.
struct KeptSettings {
    uint32_t length = 0, nextLength = 0, newLength = 0;
    uint16_t tmin = 0, newTmin = 0, tmax = 0, newTmax = 0, making = 0, processing = 0;
    int16_t newMaking = 0, newProcessing = 0;
    uint16_t minPulses = 0, newMinPulses = 0, maxPulses = 0, newMaxPulses = 0, step = 0, counts = 0;
    uint16_t repeats = 0, noise = 0, steps = 0, noiseStep = 0;
    uint32_t seed = 0;
    RandomStreams streams;
};

KeptSettings keepSettings(const ProgramState& s)
{
    return {s.dwSeriesLength, s.dwNextSeriesLength, s.dwNewSeriesLength, s.wTmin, s.wNewTmin, s.wTmax, s.wNewTmax,
            s.wSavedEnergyLevel, s.wProcSavedEnergyLevel, s.wNewSavedEnergy, s.wNewProcSavedEnergy, s.wMinPulses,
            s.wNewMinPulses, s.wMaxPulses, s.wNewMaxPulses, s.wPulsesIncrement, s.wVariousPulsesNumber, s.wRepeats,
            s.wInitNoiseLevel, s.wNoiseSteps, s.wNoiseIncrement, s.dwSimulationSeed, s.streams};
}

void restoreSettings(ProgramState& s, const KeptSettings& k)
{
    s.dwSeriesLength = k.length;
    s.dwNextSeriesLength = k.nextLength;
    s.dwNewSeriesLength = k.newLength;
    s.wTmin = k.tmin;
    s.wNewTmin = k.newTmin;
    s.wTmax = k.tmax;
    s.wNewTmax = k.newTmax;
    s.wSavedEnergyLevel = k.making;
    s.wProcSavedEnergyLevel = k.processing;
    s.wNewSavedEnergy = k.newMaking;
    s.wNewProcSavedEnergy = k.newProcessing;
    s.wMinPulses = k.minPulses;
    s.wNewMinPulses = k.newMinPulses;
    s.wMaxPulses = k.maxPulses;
    s.wNewMaxPulses = k.newMaxPulses;
    s.wPulsesIncrement = k.step;
    s.wVariousPulsesNumber = k.counts;
    s.wRepeats = k.repeats;
    s.wInitNoiseLevel = k.noise;
    s.wNoiseSteps = k.steps;
    s.wNoiseIncrement = k.noiseStep;
    s.dwSimulationSeed = k.seed;
    s.streams = k.streams;
}

/*==========================================================================
** The run
**========================================================================*/

std::string gCheckpointPath;               // --checkpoint FILE; "": none, Cancel asks
constexpr double kCheckpointSeconds = 5.0;  // least time between two checkpoints of a run

// What the progress dialog of a run needs, and the checkpoint it keeps.
struct RunProgress {
    HWND hWnd;                          // owner of the dialog
    std::atomic<bool> cancel;           // set by Cancel
    double shownAt;                     // elapsed seconds at the last update
    int64_t earlier;                    // trials done by earlier runs of a resumed run
    int64_t total;                      // trials of the whole run
    const Checkpoint* base = nullptr;   // the trials done before this run
    const PendingTrials* pending = nullptr; // this run's ranges, those handed out so far
    double writtenAt = 0;               // elapsed seconds of the last checkpoint written
    bool writeFailed = false;           // a checkpoint could not be written (said once)
};

// The checkpoint into gCheckpointPath; a failure is said once a run, and the
// run goes on.
bool writeRunCheckpoint(RunProgress& run, const Checkpoint& state)
{
    std::string error;
    if (writeFileAtomically(gCheckpointPath, checkpointText(state), &error))
        return true;
    if (!run.writeFailed)
        MessageBoxA(run.hWnd, (error + "\nThe run goes on without a checkpoint.").c_str(), " Save checkpoint ",
                    MB_OK | MB_ICONWARNING);
    run.writeFailed = true;
    return false;
}

void showRunProgress(void* context, const TrawlingProgress& p)
{
    auto* run = static_cast<RunProgress*>(context);
    const int64_t done = run->earlier + p.trialsDone;
    if (!gCheckpointPath.empty() && p.sums && !run->writeFailed &&
        p.elapsedSeconds - run->writtenAt >= kCheckpointSeconds) {
        run->writtenAt = p.elapsedSeconds;
        writeRunCheckpoint(*run, checkpointAfter(*run->base, run->pending->handedRanges(), *p.sums, p.trialNumber));
    }
    if (done < run->total && p.elapsedSeconds - run->shownAt < 0.1 && !ProgressWantsEveryStep())
        return;  // a tenth of a second between updates
    run->shownAt = p.elapsedSeconds;
    char text[320];
    std::snprintf(text, sizeof text, "cell %d of %d, trial %d of %d\n%s", p.cell + 1, p.cells, p.trial + 1, p.trials,
                  progressText(done, run->total, p.elapsedSeconds, "trials").c_str());
    if (!ShowProgress(run->hWnd, " Statistical Simulation", text, done, run->total))
        run->cancel = true;
}

// The record a run fills, of its own: the previous statistics stay until it
// completes. Taken before the series changes, with a try of the driver's cell
// sums (as large again), so that a grid the memory cannot hold changes nothing.
// Null after a message.
RestoreErrorHeader* newRunRecord(HWND hWnd)
{
    const ProgramState& s = gState;
    RestoreErrorHeader* run = getRestErrHeader(hWnd, s.wVariousPulsesNumber, s.wNoiseSteps, s.wRepeats, nullptr);
    if (!run) {
        MessageBoxA(hWnd, "Нет RestoreErrorHeader!", " About RestoreErrorHeader ", MB_OK);
        return nullptr;
    }
    if (!initRestErrHeader(hWnd, s.wVariousPulsesNumber, s.wMinPulses, s.wPulsesIncrement, s.wNoiseSteps,
                           s.wInitNoiseLevel, s.wNoiseIncrement, s.wRepeats, run)) {
        freeRestErrHeader(run);
        MessageBoxA(hWnd, "Ошибка initRestErrHeader!", " About RestoreErrorHeader ", MB_OK);
        return nullptr;
    }
    std::vector<TrawlingCellSums> sums;
    const size_t cells = std::max<size_t>(1, size_t(s.wVariousPulsesNumber) * s.wNoiseSteps);
    if (!assignFresh(AllocSite::RunCellSums, sums, cells)) {
        freeRestErrHeader(run);
        MessageBoxA(hWnd, "Не могу выделить память для сумм по ячейкам!", " About statCutoffTrawling ", MB_OK);
        return nullptr;
    }
    *static_cast<volatile int64_t*>(&sums.back().restoring) = 0;  // taken for real, not optimised away
    return run;
}

// The selected subset of the series header, which the driver changes while it
// employs stored subsets: put back when a run is cancelled, so that a resumed
// run finds the header as the run found it.
struct HeaderSubset {
    std::vector<int16_t> entries;  // selectedSubset[0 .. wSubsetLength)
};

HeaderSubset headerSubset(const SeriesHeader* h)
{
    return h ? HeaderSubset{{h->selectedSubset, h->selectedSubset + h->wSubsetLength}} : HeaderSubset{};
}

void restoreHeaderSubset(SeriesHeader* h, const HeaderSubset& kept)
{
    if (!h || kept.entries.size() > h->wPulsesCapacity)
        return;
    std::copy(kept.entries.begin(), kept.entries.end(), h->selectedSubset);
    h->wSubsetLength = uint16_t(kept.entries.size());
}

// After Cancel: keeps the trials done in the session's checkpoint, or offers
// to keep them in a file.
void keepCancelled(RunProgress& run, const Checkpoint& state)
{
    const HWND hWnd = run.hWnd;
    const int64_t done = rangeTrials(state.done);
    if (done == 0 || state.sums.empty())
        return;  // nothing done, nothing to keep
    if (!gCheckpointPath.empty()) {
        if (!writeRunCheckpoint(run, state))
            return;
        const std::string said = "The simulation was cancelled after " + std::to_string(done) + " of " +
                                 std::to_string(state.trials) + " trials; they are in the checkpoint " +
                                 gCheckpointPath + ".\n\" Resume simulation...\" continues the run.";
        MessageBoxA(hWnd, said.c_str(), " Statistical Simulation ", MB_OK);
        return;
    }
    char text[400];
    std::snprintf(text, sizeof text,
                  "The simulation was cancelled after %lld of %lld trials.\n"
                  "Keep them in a checkpoint, so that \" Resume simulation...\" can continue the run?",
                  static_cast<long long>(done), static_cast<long long>(state.trials));
    if (MessageBoxA(hWnd, text, " Statistical Simulation ", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    char name[4096] = "simulation-checkpoint.json";
    if (!chooseSaveFileName(hWnd, "Checkpoints (*.json)\0*.json\0", " Save checkpoint", "json", name, sizeof name))
        return;
    std::string error;
    if (!writeFileAtomically(name, checkpointText(state), &error))
        MessageBoxA(hWnd, (error + "\nThe trials done are lost; a new run starts from the first.").c_str(),
                    " Save checkpoint ", MB_OK | MB_ICONWARNING);
}

// A fresh run's checkpoint: nothing done (and no sums), the run's options and streams.
Checkpoint freshCheckpoint(const ProgramState& s, const RandomStreams& start)
{
    Checkpoint c;
    c.kind = kWindowCheckpointKind;
    c.program = checkpointProgram();
    c.options = runOptions(s, gridOf(s));
    c.trials = gridTrials(gridOf(s));
    c.start = start;  // no sums: those of the run are the first
    return c;
}

} // namespace

int runWindowSimulation(HWND hWnd, const Checkpoint* prior)
{
    ProgramState& s = gState;
    RestoreErrorHeader* run = newRunRecord(hWnd);
    if (!run)
        return kTrawlingNotStarted;  // the series, the record and the charts are as they were
    const HeaderSubset subset = headerSubset(s.lpSeriesHeader);
    RandomStreams keyed = s.streams;  // a replicate's trials draw from its keyed streams; the program's stay
    seedRandomStreams(keyed, s.dwSimulationSeed);
    RandomStreams& streams = s.dwSimulationSeed != 0 ? keyed : s.streams;
    if (prior)
        streams = prior->start;
    const Checkpoint base = prior ? *prior : freshCheckpoint(s, streams);
    s.lpSeriesHeader = getCutOffSeriesHeader(hWnd, s.wAlphabetSize, s.wImpulseSize, s.wTmin, s.wTmax,
                                             static_cast<int32_t>(s.dwSeriesLength), s.lpSeriesHeader);
    if (!s.lpSeriesHeader) {
        freeRestErrHeader(run);
        MessageBoxA(hWnd, "Не могу выделить память для lpCutOffSeriesHeader!", " About getCutOffSeriesHeader ",
                    MB_ICONWARNING);
        return kTrawlingNoMemory;
    }
    PendingTrials pending{missingRanges(base.done, base.trials)};
    TrawlingShare share;
    share.next = nextPendingTrials;
    share.context = &pending;
    RunProgress progress{hWnd, {false}, -1.0, rangeTrials(base.done), base.trials, &base, &pending};
    TrawlingContext context;
    context.lpStreams = &streams;
    context.wAmplitude = s.wAmplitude;
    context.wSubsetProceeding = s.wSubsetProceeding;
    context.progress = showRunProgress;
    context.progressContext = &progress;
    context.lpCancel = &progress.cancel;
    context.share = &share;
    const int result = statCutoffTrawling(hWnd, run, s.wAlphabetSize, s.Alphabet, s.wRequiredQuantity,
                                          s.lpRequiredList, s.wSeriesType, s.wProcessingType, s.wSavedEnergyLevel,
                                          s.wProcSavedEnergyLevel, s.lpSeriesHeader, context);
    EndProgress(hWnd);
    if (result == kTrawlingCancelled) {
        restoreHeaderSubset(s.lpSeriesHeader, subset);
        keepCancelled(progress, checkpointAfter(base, pending.handedRanges(), share.sums, share.lastCounted));
    }
    // The earlier runs' sums into this run's, in place: a fresh run has none.
    const bool added = base.sums.empty() || addTrawlingSums(share.sums, base.sums);
    if (result != kTrawlingShareDone || !added || !storeTrawlingSums(share.sums, run)) {
        freeRestErrHeader(run);  // refused or cancelled: the previous charts stay
        return result == kTrawlingShareDone ? kTrawlingNotStarted : result;
    }
    freeRestErrHeader(s.lpRestErrorHeader);
    s.lpRestErrorHeader = run;
    s.dwRunSeed = s.dwSimulationSeed;
    SendMessageA(hWnd, WM_COMMAND, IDM_SHOW_SIMULATION, 0);
    return kTrawlingComplete;
}

namespace {

// The checkpoint the " Resume simulation" dialog accepted, for its run.
struct PendingResume {
    bool ready = false;     // a checkpoint was accepted
    WindowGrid grid;        // the settings it carries
    Checkpoint checkpoint;  // what it holds
};
PendingResume gPendingResume;

} // namespace

void setWindowCheckpoint(const std::string& path)
{
    gCheckpointPath = path;
}

const std::string& windowCheckpoint()
{
    return gCheckpointPath;
}

bool takeResumeCheckpoint(const std::string& path, std::string& error)
{
    std::string text;
    if (!readCheckpointFile(path, text, error))
        return false;
    PendingResume r;
    nlohmann::json options;
    if (checkpointOptionsIn(text, kWindowCheckpointKind, options, error) && gridFromOptions(options, r.grid, error)) {
        const CheckpointRun run{kWindowCheckpointKind, runOptions(gState, r.grid), gridTrials(r.grid), r.grid.repeats};
        r.ready = parseCheckpoint(text, run, r.checkpoint, error);
    }
    if (!r.ready) {
        error = path + ": " + error;
        return false;
    }
    gPendingResume = std::move(r);
    return true;
}

void resumeSimulation(HWND hWnd)
{
    ProgramState& s = gState;
    gPendingResume = PendingResume{};
    const bool accepted = openResumeSimulationDialog(hWnd);
    PendingResume r = std::move(gPendingResume);
    gPendingResume = PendingResume{};
    if (!accepted || !r.ready)
        return;
    const KeptSettings kept = keepSettings(s);
    applyGrid(s, r.grid);
    if (!firstSimulationSequence(hWnd)) {
        restoreSettings(s, kept);
        return;
    }
    const int result = runWindowSimulation(hWnd, &r.checkpoint);
    if (result == kTrawlingNotStarted || result == kTrawlingNoMemory)
        restoreSettings(s, kept);
}
