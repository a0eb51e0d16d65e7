// `pulsebench simulate --checkpoint FILE` and `--resume FILE`: the trials not
// yet done run as one share of the run (statCutoffTrawling skips the others,
// drawing what they draw), while the sums so far and the ranges they cover
// are written to the checkpoint every few seconds and when the run is
// cancelled. A resumed run adds the checkpoint's sums to its own, so its
// tables are those of a run never interrupted, whatever the thread count.
#include <algorithm>

#include "checkpoint/checkpoint.h"
#include "app/progress_line.h"
#include "app/simulate_command.h"
#include "platform/files.h"

namespace {

constexpr double kCheckpointSeconds = 5.0;  // least time between two checkpoints of a run

// A run that keeps a checkpoint.
struct CheckpointedRun {
    const SimulateOptions* options = nullptr;
    std::string path;                  // where the checkpoints go
    Checkpoint prior;                  // the trials done before this run (none for a fresh run)
    PendingTrials pending;             // the trials this run does: the rest, ascending
    TrawlingShare share;               // this run's share: the ranges of pending
    ProgressLine line;                 // trials done, earlier runs' included
    const std::atomic<bool>* external = nullptr;  // the signal handlers' flag; none: no signals
    std::atomic<bool> stop = false;    // the run's cancel flag
    double writtenAt = 0;              // elapsed seconds of the last checkpoint
    std::string failure;               // the first checkpoint that could not be written; "" none
};

// The checkpoint once this run has counted its trials up to `last` (run
// order; its sums `sums`): the earlier trials and this run's ranges up to there.
Checkpoint stateAt(const CheckpointedRun& c, const std::vector<TrawlingCellSums>& sums, int64_t last)
{
    return checkpointAfter(c.prior, c.pending.handedRanges(), sums, last);
}

void writeState(CheckpointedRun& c, const Checkpoint& state)
{
    std::string error;
    if (state.sums.empty() || writeFileAtomically(c.path, checkpointText(state), &error) || !c.failure.empty())
        return;
    c.failure = error;
    c.line.close();
    std::fprintf(stderr, "pulsebench simulate: %s; the run goes on without a checkpoint\n", error.c_str());
}

void checkpointProgress(void* context, const TrawlingProgress& p)
{
    auto* c = static_cast<CheckpointedRun*>(context);
    const int64_t earlier = rangeTrials(c->prior.done);
    c->line.show(earlier + p.trialsDone, c->prior.trials, p.elapsedSeconds);
    if ((c->external && c->external->load()) ||
        (c->options->cancelAfter >= 0 && p.trialsDone >= c->options->cancelAfter))
        c->stop = true;
    if (p.sums && p.elapsedSeconds - c->writtenAt >= kCheckpointSeconds) {
        c->writtenAt = p.elapsedSeconds;
        writeState(*c, stateAt(*c, *p.sums, p.trialNumber));
    }
}

} // namespace

bool loadRunCheckpoint(const SimulateOptions& o, Checkpoint& prior)
{
    SimulationRequest request;
    std::string error;
    if (!requestOf(o, request, error) || !(error = validateSimulationRequest(request)).empty()) {
        std::fprintf(stderr, "pulsebench simulate: %s\n", error.c_str());
        return false;
    }
    if (!o.resume.empty() && !readCheckpoint(o.resume, request, prior, error)) {
        std::fprintf(stderr, "pulsebench simulate: --resume %s; nothing was run or written\n", error.c_str());
        return false;
    }
    if (o.resume.empty()) {
        prior.program = checkpointProgram();
        prior.options = checkpointOptions(request);
        prior.trials = simulationTrials(request);
        prior.done.clear();
        prior.sums.assign(size_t(prior.trials / request.repeats), TrawlingCellSums{});
    }
    return true;
}

std::string checkpointPath(const SimulateOptions& o)
{
    return o.checkpoint.empty() ? o.resume : o.checkpoint;
}

namespace {

// A run that stopped before its end: the checkpoint of what it counted.
void keepCancelled(CheckpointedRun& c)
{
    const Checkpoint state = stateAt(c, c.share.sums, c.share.lastCounted);
    writeState(c, state);
    if (c.failure.empty())
        sayCheckpointKept(state, c.path);
}

} // namespace

void sayCheckpointKept(const Checkpoint& state, const std::string& path)
{
    std::fprintf(stderr, "pulsebench simulate: %lld of %lld trials done are in the checkpoint %s "
                         "(--resume %s continues the run)\n",
                 static_cast<long long>(rangeTrials(state.done)), static_cast<long long>(state.trials), path.c_str(),
                 path.c_str());
}

int runCheckpointedSimulate(const SimulateOptions& options, const std::atomic<bool>* cancel)
{
    CheckpointedRun c;
    c.options = &options;
    c.path = checkpointPath(options);
    c.external = cancel;
    if (!loadRunCheckpoint(options, c.prior))
        return 1;
    c.pending.todo = missingRanges(c.prior.done, c.prior.trials);
    c.line = ProgressLine::forStandardError(options.quiet, "trials");
    c.share.next = nextPendingTrials;
    c.share.context = &c.pending;
    SimulateHooks hooks{&c.share, checkpointProgress, &c, &c.stop};
    SimulateResult result;
    simulate(nullptr, options, result, &hooks);
    c.line.close();
    if (!result.error.empty())
        std::fprintf(stderr, "pulsebench simulate: %s\n", result.error.c_str());
    if (result.status == kTrawlingCancelled) {
        keepCancelled(c);
        return 1;
    }
    std::vector<TrawlingCellSums> sums = c.prior.sums;
    if (result.status != kTrawlingShareDone || !addTrawlingSums(sums, c.share.sums) ||
        !completeSimulation(result, sums))
        return 1;
    return writeSimulationFiles(options, result, cancel);
}
