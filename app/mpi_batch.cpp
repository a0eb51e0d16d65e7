// `pulsebench simulate` over MPI: every process of the job replays the fresh
// start and runs a share of the grid's trials (statCutoffTrawling with a
// TrawlingShare, its own trial pool inside); rank 0 hands out the ranges of
// trials, adds the sums and writes the files. Only this file includes MPI.
// Workload: a few small messages per range of trials, one array of sums per
// process at the end; the trials themselves are the whole cost.
//
//   [SECTION] Messages
//   [SECTION] The dispatcher of rank 0
//   [SECTION] Ranks other than 0
//   [SECTION] Rank 0
//   [SECTION] The run
//
// Protocol, between rank 0 and every other rank r:
//   r -> 0  kTagRequest  [trials of r's run]          asks for the next range
//   0 -> r  kTagRange    [first, count]               count 0: nothing more
//   r -> 0  kTagFailure  "text"                       why r failed (then kTagDone)
//   r -> 0  kTagProgress [trials done]                about once a second, for the progress line
//   r -> 0  kTagRangeDone [first, count, trials done, sums]  with a checkpoint: a range of r's is
//                                                     finished; sums are r's so far (all its finished ranges)
//   r -> 0  kTagDone     [outcome, trials run, sums]  r's share has ended
//   0 -> r  kTagControl  kStop | kEndOk | kEndFailed  stop soon / the verdict, last message
// Rank 0 runs its own share on a second thread that talks to nobody but the
// dispatcher, so MPI is called from the main threads only (MPI_THREAD_FUNNELED).
// A process interrupted by SIGINT or SIGTERM (mpirun forwards them) fails its
// share like any other failure: every process stops, nothing is written.
#include "app/mpi_batch.h"
#include "checkpoint/checkpoint.h"
#include "app/progress_line.h"
#include "app/signals.h"
#include "platform/files.h"

#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

/*==========================================================================
** [SECTION] Messages
**========================================================================*/

namespace {

constexpr int kTagRequest = 1;  // r -> 0: int64 trials of r's run; asks for a range
constexpr int kTagRange = 2;    // 0 -> r: int64 first, count; count 0: nothing more
constexpr int kTagFailure = 3;  // r -> 0: chars, why r failed; sent before its kTagDone
constexpr int kTagDone = 4;     // r -> 0: int64 outcome, trials run, then 3 sums per cell when kShareOk
constexpr int kTagControl = 5;  // 0 -> r: one int32 of Control
constexpr int kTagProgress = 6; // r -> 0: int64 trials r's share has finished so far
constexpr int kTagRangeDone = 7; // r -> 0: int64 first, count, trials done, then 3 sums per cell (checkpoints)
constexpr double kRangeSeconds = 5.0;  // with a checkpoint: the work a range holds at most, seconds

constexpr int64_t kShareOk = 1;       // the share ran to its end; its sums follow
constexpr int64_t kShareFailed = 0;   // the share failed; a kTagFailure said why
constexpr int64_t kShareStopped = 2;  // the share stopped because rank 0 said so

enum Control : int32_t {
    kStop = 1,      // another process failed: stop before the next trial
    kEndOk = 2,     // the run is complete and written: exit 0
    kEndFailed = 3  // the run is abandoned: exit 1
};

// Waits for a request without keeping a core busy: the processes share their
// nodes with their trial pools, and a run's ends wait longest.
void waitGently(MPI_Request& request)
{
    int done = 0;
    for (int polls = 0;; polls++) {
        MPI_Test(&request, &done, MPI_STATUS_IGNORE);
        if (done)
            return;
        std::this_thread::sleep_for(std::chrono::microseconds(polls < 200 ? 50 : 1000));
    }
}

void sendGently(const void* data, int count, MPI_Datatype type, int to, int tag)
{
    MPI_Request request;
    MPI_Isend(data, count, type, to, tag, MPI_COMM_WORLD, &request);
    waitGently(request);
}

void receiveGently(void* data, int count, MPI_Datatype type, int from, int tag)
{
    MPI_Request request;
    MPI_Irecv(data, count, type, from, tag, MPI_COMM_WORLD, &request);
    waitGently(request);
}

// The cell sums of a message, after its `head` words: per cell the restoring
// sum, the detection sum, the wrong recognitions and the two sums of squares,
// each as its low and high 64 bits.
constexpr size_t kWordsPerCell = 7;

void packSums(std::vector<int64_t>& out, const std::vector<TrawlingCellSums>& sums)
{
    const auto low = [](TrawlingSquareSum v) { return static_cast<int64_t>(static_cast<uint64_t>(v)); };
    const auto high = [](TrawlingSquareSum v) { return static_cast<int64_t>(static_cast<uint64_t>(v >> 64)); };
    for (const TrawlingCellSums& cell : sums)
        out.insert(out.end(), {cell.restoring, cell.detection, cell.wrong, low(cell.restoringSquares),
                               high(cell.restoringSquares), low(cell.detectionSquares), high(cell.detectionSquares)});
}

std::vector<TrawlingCellSums> unpackSums(const std::vector<int64_t>& message, size_t head)
{
    const auto square = [](int64_t low, int64_t high) {
        return (TrawlingSquareSum(static_cast<uint64_t>(high)) << 64) | static_cast<uint64_t>(low);
    };
    std::vector<TrawlingCellSums> sums;
    for (size_t i = head; i + kWordsPerCell <= message.size(); i += kWordsPerCell)
        sums.push_back(TrawlingCellSums{message[i], message[i + 1], message[i + 2], square(message[i + 3], message[i + 4]),
                                        square(message[i + 5], message[i + 6])});
    return sums;
}

// kTagDone of a finished share: outcome, trials run, then the sums.
std::vector<int64_t> packDone(int64_t outcome, const TrawlingShare& share)
{
    std::vector<int64_t> out{outcome, share.trialsRun};
    if (outcome == kShareOk)
        packSums(out, share.sums);
    return out;
}

// The ranges of a share taken and not yet finished, oldest first: the
// trials are counted in run order, so a range is finished once its last
// trial is.
struct TakenRanges {
    std::deque<TrialRange> ranges;

    // The ranges finished once trial `last` is counted, taken off the list.
    std::vector<TrialRange> finishedBy(int64_t last)
    {
        std::vector<TrialRange> finished;
        while (!ranges.empty() && last >= ranges.front().first + ranges.front().count - 1) {
            finished.push_back(ranges.front());
            ranges.pop_front();
        }
        return finished;
    }
};

// The hidden test hooks: true when this process is to fail now, after its
// first range; aborts the process when it is to crash.
bool injectedFault(const SimulateOptions& o, int rank, int rangesTaken)
{
    if (rangesTaken < 1)
        return false;
    if (o.crashProcess == rank) {
        std::fprintf(stderr, "pulsebench simulate: process %d aborts (--crash-process)\n", rank);
        std::abort();
    }
    return o.failProcess == rank;
}

/*==========================================================================
** [SECTION] The dispatcher of rank 0
**========================================================================*/

// The ranges of trials not yet handed out. Shared by rank 0's main thread,
// which answers the other ranks, and its compute thread, which takes ranges
// for rank 0's own share.
struct Dispatcher {
    std::mutex lock;                   // guards everything below
    std::condition_variable changed;   // total known, a rank joined, stopped, rank 0's share ended
    int processes = 1;                 // ranks of the job, rank 0 included
    int64_t total = -1;                // trials of the run; -1 until rank 0's driver told
    std::vector<TrialRange> priorDone; // trials a checkpoint holds already: never handed out
    std::vector<TrialRange> todo;      // the trials to hand out, ascending; set once total is known
    size_t todoIndex = 0;              // range of todo handed out from
    int64_t todoOffset = 0;            // trials of todo[todoIndex] handed out
    int64_t todoTrials = 0;            // trials in todo
    int64_t handed = 0;                // trials of todo handed out
    bool capped = false;               // a checkpoint is kept: ranges hold a few seconds of work at most
    int64_t cap = 0;                   // most trials per range; 0: no cap
    int joined = 0;                    // other ranks heard from (a request or their end)
    bool stopped = false;              // a process failed: hand out nothing more
    bool localEnded = false;           // rank 0's share has ended
    std::vector<int64_t> rangesOf;     // [processes] ranges handed to each rank
};

// Learns the run's size: every trial a checkpoint does not hold is to do.
void setTotal(Dispatcher& d, int64_t total)
{
    d.total = total;
    d.todo = missingRanges(d.priorDone, total);
    d.todoTrials = rangeTrials(d.todo);
    if (d.capped) // until trials have been timed: the least piece of guided scheduling
        d.cap = std::max<int64_t>(1, total / (256 * int64_t(d.processes)));
}

// The next range for `rank`; false when nothing is left (or the run stopped).
// Guided scheduling over the trials to do, within one range of them, and no
// more than the cap.
bool takeRange(Dispatcher& d, int rank, int64_t& first, int64_t& count)
{
    if (d.stopped || d.total < 0)
        return false;
    while (d.todoIndex < d.todo.size() && d.todoOffset >= d.todo[d.todoIndex].count) {
        d.todoIndex++;
        d.todoOffset = 0;
    }
    if (d.todoIndex == d.todo.size())
        return false;
    const TrialRange& range = d.todo[d.todoIndex];
    count = std::min(nextTrawlingChunk(d.handed, d.todoTrials, d.processes), range.count - d.todoOffset);
    if (d.cap > 0)
        count = std::min(count, d.cap);
    first = range.first + d.todoOffset;
    d.todoOffset += count;
    d.handed += count;
    d.rangesOf[rank]++;
    return true;
}

// Rank 0's own share, on its compute thread.
struct LocalShare {
    Dispatcher* dispatcher = nullptr;      // where the ranges come from
    TrawlingShare* share = nullptr;        // the share being run (its trials are set before the first call)
    const SimulateOptions* options = nullptr;
    bool injected = false;                 // the --fail-process hook struck
    TakenRanges* taken = nullptr;          // with a checkpoint: the ranges taken, until finished
};

bool localNext(void* context, int64_t& first, int64_t& count)
{
    auto* l = static_cast<LocalShare*>(context);
    Dispatcher& d = *l->dispatcher;
    std::unique_lock<std::mutex> guard(d.lock);
    if (d.total < 0) {
        setTotal(d, l->share->trials);
        d.changed.notify_all();
    }
    if (injectedFault(*l->options, 0, static_cast<int>(d.rangesOf[0]))) {
        l->injected = true;
        return false;
    }
    // Every rank gets its first range before rank 0 takes one: process start-up
    // takes longer than a small grid, which rank 0 would otherwise run alone.
    d.changed.wait(guard, [&d] { return d.joined == d.processes - 1 || d.stopped; });
    if (!takeRange(d, 0, first, count))
        return false;
    if (l->taken)
        l->taken->ranges.push_back({first, count});
    return true;
}

/*==========================================================================
** [SECTION] Ranks other than 0
**========================================================================*/

struct WorkerShare {
    int rank = 0;                          // this process
    const SimulateOptions* options = nullptr;
    TrawlingShare* share = nullptr;        // the share being run
    std::atomic<bool>* cancel = nullptr;   // set when rank 0 says stop
    int rangesTaken = 0;                   // ranges received so far
    bool stopped = false;                  // rank 0 said stop
    bool injected = false;                 // the --fail-process hook struck
    bool exhausted = false;                // rank 0 has nothing more
    bool checkpointing = false;            // rank 0 keeps a checkpoint: report each finished range
    TakenRanges taken;                     // ranges received and not yet finished (checkpointing only)
    std::chrono::steady_clock::time_point lastPoll;  // when kTagControl was last looked for
    std::chrono::steady_clock::time_point lastReport; // when kTagProgress was last sent
};

// Takes a kStop that rank 0 may have sent (nothing else comes before our end).
void pollStop(WorkerShare& w)
{
    int flag = 0;
    MPI_Status status;
    MPI_Iprobe(0, kTagControl, MPI_COMM_WORLD, &flag, &status);
    if (!flag)
        return;
    int32_t control = 0;
    MPI_Recv(&control, 1, MPI_INT32_T, 0, kTagControl, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    if (control == kStop) {
        w.stopped = true;
        w.cancel->store(true);
    }
}

bool workerNext(void* context, int64_t& first, int64_t& count)
{
    auto* w = static_cast<WorkerShare*>(context);
    pollStop(*w);
    if (w->stopped || w->exhausted)
        return false;
    if (injectedFault(*w->options, w->rank, w->rangesTaken)) {
        w->injected = true;
        return false;
    }
    const int64_t trials = w->share->trials;
    sendGently(&trials, 1, MPI_INT64_T, 0, kTagRequest);
    int64_t range[2] = {0, 0};
    receiveGently(range, 2, MPI_INT64_T, 0, kTagRange);
    if (range[1] <= 0) {
        w->exhausted = true;
        return false;
    }
    first = range[0];
    count = range[1];
    w->rangesTaken++;
    if (w->checkpointing)
        w->taken.ranges.push_back({first, count});
    return true;
}

// kTagRangeDone: a range of ours is finished; our sums so far hold it.
void reportFinished(WorkerShare& w, const TrawlingProgress& p)
{
    for (const TrialRange& range : w.taken.finishedBy(p.trialNumber)) {
        std::vector<int64_t> message{range.first, range.count, p.trialsDone};
        packSums(message, *p.sums);
        sendGently(message.data(), static_cast<int>(message.size()), MPI_INT64_T, 0, kTagRangeDone);
    }
}

// Called after every trial of the share: looks for a kStop now and then,
// and tells rank 0 the trials finished about once a second.
void workerProgress(void* context, const TrawlingProgress& p)
{
    auto* w = static_cast<WorkerShare*>(context);
    if (w->checkpointing && p.sums)
        reportFinished(*w, p);
    const auto now = std::chrono::steady_clock::now();
    if (now - w->lastPoll < std::chrono::milliseconds(20))
        return;
    w->lastPoll = now;
    pollStop(*w);
    if (now - w->lastReport >= std::chrono::seconds(1)) {
        w->lastReport = now;
        const int64_t done = p.trialsDone;
        sendGently(&done, 1, MPI_INT64_T, 0, kTagProgress);
    }
}

// A rank other than 0: its share, its end, then the verdict of rank 0.
int runWorker(const SimulateOptions& options, int rank)
{
    RecordingMessageBoxes boxes; // sent to rank 0 as the failure's text, not printed here
    PlatformWindow window;
    window.lpMessages = &boxes;

    std::atomic<bool> cancel = false;
    installInterruptHandlers(&cancel);
    TrawlingShare share;
    WorkerShare w;
    w.rank = rank;
    w.options = &options;
    w.share = &share;
    w.cancel = &cancel;
    w.checkpointing = !checkpointPath(options).empty();
    share.next = workerNext;
    share.context = &w;
    SimulateHooks hooks{&share, workerProgress, &w, &cancel};
    SimulateResult result;
    simulate(&window, options, result, &hooks);

    int64_t outcome = kShareOk;
    if (w.stopped && result.status != kTrawlingShareDone) {
        outcome = kShareStopped;
    } else if (w.injected || result.status != kTrawlingShareDone) {
        outcome = kShareFailed;
        std::string text = w.injected            ? "failure injected by --fail-process"
                           : interruptSignal() ? std::string("interrupted by ") + interruptName()
                                               : result.error;
        for (const MessageRecord& m : boxes.messages())
            text += (text.empty() ? "" : "; ") + m.text;
        if (text.empty())
            text = "the run ended before its share was done";
        sendGently(text.data(), static_cast<int>(text.size()), MPI_CHAR, 0, kTagFailure);
    }
    const std::vector<int64_t> done = packDone(outcome, share);
    sendGently(done.data(), static_cast<int>(done.size()), MPI_INT64_T, 0, kTagDone);

    // Rank 0 may still send a kStop before the verdict; the verdict comes last.
    for (;;) {
        int32_t control = 0;
        receiveGently(&control, 1, MPI_INT32_T, 0, kTagControl);
        if (control == kEndOk || control == kEndFailed)
            return interruptSignal() ? interruptExitCode() : control == kEndOk ? 0 : 1;
    }
}

/*==========================================================================
** [SECTION] Rank 0
**========================================================================*/

// What rank 0 learns from the other ranks while they run.
struct Gathered {
    std::vector<TrawlingCellSums> sums;   // the other ranks' sums, added
    std::vector<int64_t> trialsOf;        // [processes] trials each rank ran and counted
    std::vector<int64_t> doneOf;          // [processes] trials each other rank has finished so far (progress)
    std::vector<bool> ended;              // [processes] the rank's kTagDone arrived
    std::vector<std::string> failureOf;   // [processes] the rank's kTagFailure text
    std::string failure;                  // the first failure, as the user reads it
    int failedRank = -1;                  // the rank of that failure
    int endedRanks = 0;                   // other ranks whose kTagDone arrived
};

// The first failure stops the run: no more ranges, rank 0's share and every
// rank still running are told to stop.
void stopRun(Dispatcher& d, Gathered& g, std::atomic<bool>& cancel, int rank, const std::string& text)
{
    if (g.failedRank >= 0)
        return;
    g.failedRank = rank;
    g.failure = text;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        d.stopped = true;
    }
    d.changed.notify_all();
    cancel.store(true);
    const int32_t stop = kStop;
    for (int r = 1; r < d.processes; r++)
        if (!g.ended[r])
            sendGently(&stop, 1, MPI_INT32_T, r, kTagControl);
}

// Counts a rank as joined at the first message it sends (rank 0's share waits for all).
void noteJoined(Dispatcher& d, char& heard)
{
    if (heard)
        return;
    heard = 1;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        d.joined++;
    }
    d.changed.notify_all();
}

// Rank 0's checkpoint (--checkpoint or --resume): what earlier runs did,
// and the ranges every rank has finished in this one with its sums so far.
struct RootCheckpoint {
    bool on = false;                   // the run keeps a checkpoint
    std::string path;                  // where it goes
    Checkpoint prior;                  // the trials done before this run, their sums
    std::mutex lock;                   // guards finished and sumsOf (the compute thread adds rank 0's)
    std::vector<TrialRange> finished;  // ranges finished in this run, by any rank
    std::vector<std::vector<TrawlingCellSums>> sumsOf; // [processes] each rank's sums over its finished ranges
    TakenRanges localTaken;            // rank 0's ranges not yet finished (its compute thread only)
    double writtenAt = 0;              // seconds into the run of the last checkpoint
    bool failed = false;               // a checkpoint could not be written (said once)
    std::atomic<bool> hookStop = false; // --cancel-after struck on rank 0's share
};

// Everything rank 0 keeps while it runs its share and answers the others.
struct RootRun {
    const SimulateOptions* options = nullptr;  // the run's options
    int processes = 1;                         // ranks of the job
    Dispatcher d;                              // the ranges not yet handed out
    Gathered g;                                // what the other ranks sent
    std::vector<char> heard;                   // [processes] the rank has sent something
    std::atomic<bool> cancel = false;          // stops rank 0's share (a failure or a signal)
    TrawlingShare share;                       // rank 0's own share
    LocalShare local;                          // how that share takes its ranges
    SimulateResult result;                     // rank 0's run, completed with every rank's sums
    std::vector<int> deferred;                 // ranks whose next request waits until every rank has its first range
    std::chrono::steady_clock::time_point started;  // for the progress line and the summary
    std::atomic<int64_t> localDone = 0;        // trials rank 0's share has finished
    ProgressLine line;                         // trials finished by every rank, on standard error
    RootCheckpoint checkpoint;                 // the run's checkpoint, when it keeps one
};

// Rank 0's share reports its finished trials here (from its compute thread).
void localProgress(void* context, const TrawlingProgress& p)
{
    auto* r = static_cast<RootRun*>(context);
    r->localDone.store(p.trialsDone);
    RootCheckpoint& c = r->checkpoint;
    if (!c.on || !p.sums)
        return;
    if (r->options->cancelAfter >= 0 && p.trialsDone >= r->options->cancelAfter)
        c.hookStop = true;
    const std::vector<TrialRange> finished = c.localTaken.finishedBy(p.trialNumber);
    if (finished.empty())
        return;
    std::lock_guard<std::mutex> guard(c.lock);
    c.finished.insert(c.finished.end(), finished.begin(), finished.end());
    c.sumsOf[0] = *p.sums;
}

// kTagRangeDone: a range `source` finished, with its sums so far.
void takeRangeDone(RootRun& r, int source, const MPI_Status& status)
{
    int length = 0;
    MPI_Get_count(&status, MPI_INT64_T, &length);
    std::vector<int64_t> message(static_cast<size_t>(length));
    MPI_Recv(message.data(), length, MPI_INT64_T, source, kTagRangeDone, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    if (message.size() < 3)
        return;
    r.g.doneOf[source] = std::max(r.g.doneOf[source], message[2]);
    std::lock_guard<std::mutex> guard(r.checkpoint.lock);
    r.checkpoint.finished.push_back({message[0], message[1]});
    r.checkpoint.sumsOf[source] = unpackSums(message, 3);
}

// The checkpoint of what every rank has finished so far.
Checkpoint rootState(RootCheckpoint& c)
{
    Checkpoint state = c.prior;
    std::lock_guard<std::mutex> guard(c.lock);
    state.done.insert(state.done.end(), c.finished.begin(), c.finished.end());
    state.done = joinRanges(state.done);
    for (const std::vector<TrawlingCellSums>& sums : c.sumsOf)
        if (!sums.empty() && !addTrawlingSums(state.sums, sums))
            state.sums.clear();
    return state;
}

// Writes the checkpoint; false (said once) when it cannot be written.
bool writeRootCheckpoint(RootRun& r, const Checkpoint& state)
{
    std::string error;
    if (state.sums.empty() || writeFileAtomically(r.checkpoint.path, checkpointText(state), &error))
        return !state.sums.empty();
    if (!r.checkpoint.failed) {
        r.line.close();
        std::fprintf(stderr, "pulsebench simulate: %s; the run goes on without a checkpoint\n", error.c_str());
    }
    r.checkpoint.failed = true;
    return false;
}

// Every few seconds: the checkpoint, and ranges capped to a few seconds of
// work at the rate the trials are finished.
void keepCheckpoint(RootRun& r, int64_t finished, double seconds)
{
    RootCheckpoint& c = r.checkpoint;
    if (!c.on || seconds - c.writtenAt < kRangeSeconds)
        return;
    c.writtenAt = seconds;
    writeRootCheckpoint(r, rootState(c));
    const double perProcess = double(finished) / seconds / r.processes;  // trials per second
    std::lock_guard<std::mutex> guard(r.d.lock);
    if (r.d.total >= 0)
        r.d.cap = std::max<int64_t>({1, r.d.total / (256 * int64_t(r.processes)),
                                     static_cast<int64_t>(perProcess * kRangeSeconds)});
}

// The progress line: the trials every rank has finished (not handed out),
// and those of earlier runs a checkpoint holds; then the checkpoint.
void showFinished(RootRun& r, int64_t total)
{
    int64_t done = r.localDone.load();
    for (int rank = 1; rank < r.processes; rank++)
        done += r.g.doneOf[rank];
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - r.started).count();
    const int64_t earlier = rangeTrials(r.checkpoint.prior.done);
    r.line.show(std::min(earlier + done, total), total, seconds);
    keepCheckpoint(r, done, seconds);
}

// kTagProgress: the trials `source` has finished so far.
void takeProgress(RootRun& r, int source)
{
    int64_t done = 0;
    MPI_Recv(&done, 1, MPI_INT64_T, source, kTagProgress, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    r.g.doneOf[source] = std::max(r.g.doneOf[source], done);
}

// Starts rank 0's share on its compute thread; a thread that cannot start is
// judged like a refused share.
std::thread startLocalShare(RootRun& r, SimulateHooks& hooks)
{
    try {
        return std::thread([&r, &hooks] {
            simulate(nullptr, *r.options, r.result, &hooks);  // throws nothing
            std::lock_guard<std::mutex> guard(r.d.lock);
            r.d.localEnded = true;
            r.d.changed.notify_all();
        });
    } catch (const std::system_error&) {
        r.result.error = "no thread could be started for process 0's share";
        r.d.localEnded = true;  // every process is stopped
        return std::thread();
    }
}

// Once rank 0's share has ended: a share that did not finish stops the run.
void judgeLocalShare(RootRun& r)
{
    const bool ok = r.result.status == kTrawlingShareDone && !r.local.injected;
    if (ok || (r.cancel.load() && r.g.failedRank >= 0))
        return;
    if (!r.result.error.empty())
        std::fprintf(stderr, "pulsebench simulate: %s\n", r.result.error.c_str());
    stopRun(r.d, r.g, r.cancel, 0,
            r.local.injected ? "failure injected by --fail-process"
                             : (r.result.error.empty() ? "the run was refused" : r.result.error));
}

// True once every other rank has taken its first range (or ended), or the run stopped.
bool everyRankJoined(RootRun& r)
{
    std::lock_guard<std::mutex> guard(r.d.lock);
    return r.d.joined == r.processes - 1 || r.d.stopped;
}

// Sends `source` its next range (empty when none is left). A rank counts as
// joined only once its first range is taken: rank 0's own share, which waits
// for every rank to join, cannot take it first.
void sendRange(RootRun& r, int source)
{
    int64_t range[2] = {0, 0};
    {
        std::lock_guard<std::mutex> guard(r.d.lock);
        if (!takeRange(r.d, source, range[0], range[1]))
            range[1] = 0;
    }
    noteJoined(r.d, r.heard[source]);
    sendGently(range, 2, MPI_INT64_T, source, kTagRange);
}

// kTagRequest: the next range for `source`. A rank's later requests wait
// until every rank has had its first range, so that a rank that starts late
// on a busy machine still finds trials left.
void answerRequest(RootRun& r, int source, bool totalKnown, int64_t total)
{
    int64_t trials = 0;
    MPI_Recv(&trials, 1, MPI_INT64_T, source, kTagRequest, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    if (totalKnown && trials != total) {
        noteJoined(r.d, r.heard[source]);
        stopRun(r.d, r.g, r.cancel, source,
                "its grid has " + std::to_string(trials) + " trials, not " + std::to_string(total));
        const int64_t none[2] = {0, 0};
        sendGently(none, 2, MPI_INT64_T, source, kTagRange);
        return;
    }
    if (r.heard[source] && !everyRankJoined(r)) {
        r.deferred.push_back(source);
        return;
    }
    sendRange(r, source);
}

// kTagFailure: why `source` is about to end its share badly.
void takeFailure(RootRun& r, int source, const MPI_Status& status)
{
    int length = 0;
    MPI_Get_count(&status, MPI_CHAR, &length);
    std::string text(static_cast<size_t>(length), '\0');
    MPI_Recv(text.data(), length, MPI_CHAR, source, kTagFailure, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    r.g.failureOf[source] = text;
}

// kTagDone: the end of `source`'s share, with its trials and sums when it went well.
void takeDone(RootRun& r, int source, const MPI_Status& status)
{
    int length = 0;
    MPI_Get_count(&status, MPI_INT64_T, &length);
    std::vector<int64_t> done(static_cast<size_t>(length));
    MPI_Recv(done.data(), length, MPI_INT64_T, source, kTagDone, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    noteJoined(r.d, r.heard[source]);
    r.g.ended[source] = true;
    r.g.endedRanks++;
    const int64_t outcome = done.empty() ? kShareFailed : done[0];
    if (outcome == kShareOk) {
        r.g.trialsOf[source] = done.size() > 1 ? done[1] : 0;
        r.g.doneOf[source] = r.g.trialsOf[source];
        const std::vector<TrawlingCellSums> sums = unpackSums(done, 2);
        if (r.g.sums.empty())
            r.g.sums.assign(sums.size(), TrawlingCellSums{});
        if (!addTrawlingSums(r.g.sums, sums))
            stopRun(r.d, r.g, r.cancel, source, "its sums do not fit the grid");
    } else if (outcome == kShareFailed) {
        stopRun(r.d, r.g, r.cancel, source,
                r.g.failureOf[source].empty() ? "no reason given" : r.g.failureOf[source]);
    }
}

// Anything else: nothing else is sent to rank 0; taken so that it does not block the loop.
void dropMessage(int source, const MPI_Status& status)
{
    int length = 0;
    MPI_Get_count(&status, MPI_BYTE, &length);
    std::vector<char> junk(static_cast<size_t>(std::max(length, 1)));
    MPI_Recv(junk.data(), length, MPI_BYTE, source, status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
}

// Rank 0's loop: judges its own share when it ends, and answers the others
// until every rank has ended. Returns when the run is over, well or not.
void serveRanks(RootRun& r, std::thread& compute)
{
    bool localJudged = false;
    for (;;) {
        bool localEnded, totalKnown;
        int64_t total;
        {
            std::lock_guard<std::mutex> guard(r.d.lock);
            localEnded = r.d.localEnded;
            totalKnown = r.d.total >= 0;
            total = r.d.total;
        }
        if (interruptSignal() && r.g.failedRank < 0)
            stopRun(r.d, r.g, r.cancel, 0, std::string("interrupted by ") + interruptName());
        if (r.checkpoint.hookStop && r.g.failedRank < 0)
            stopRun(r.d, r.g, r.cancel, 0, "cancelled by --cancel-after");
        if (localEnded && !localJudged) {
            localJudged = true;
            if (compute.joinable())
                compute.join();
            judgeLocalShare(r);
        }
        if (localJudged && r.g.endedRanks == r.processes - 1)
            break;
        if (!r.deferred.empty() && everyRankJoined(r)) {
            for (int source : r.deferred)
                sendRange(r, source);
            r.deferred.clear();
        }
        if (!totalKnown && !localEnded) { // requests wait until rank 0 knows the run's size
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        int flag = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status);
        if (!flag) {
            if (totalKnown)
                showFinished(r, total);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        const int source = status.MPI_SOURCE;
        switch (status.MPI_TAG) {
        case kTagRequest: answerRequest(r, source, totalKnown, total); break;
        case kTagFailure: takeFailure(r, source, status); break;
        case kTagDone: takeDone(r, source, status); break;
        case kTagProgress: takeProgress(r, source); break;
        case kTagRangeDone: takeRangeDone(r, source, status); break;
        default: dropMessage(source, status); break;
        }
    }
    const int64_t total = r.d.total;  // the compute thread has ended: no lock needed
    if (total >= 0)
        showFinished(r, total);
    r.line.close();
}

// After the loop: names the failure, or adds every rank's sums to rank 0's run
// and writes the files. Returns the exit code.
int finishRoot(RootRun& r)
{
    Gathered& g = r.g;
    if (g.failedRank > 0) {
        std::fprintf(stderr, "pulsebench simulate: process %d of %d failed: %s\n", g.failedRank, r.processes,
                     g.failure.c_str());
    } else if (g.failedRank == 0 && (r.local.injected || interruptSignal() || r.checkpoint.hookStop)) {
        std::fprintf(stderr, "pulsebench simulate: process 0 of %d failed: %s\n", r.processes, g.failure.c_str());
    }
    if (g.failedRank >= 0) {
        const Checkpoint state = r.checkpoint.on ? rootState(r.checkpoint) : Checkpoint{};
        if (r.checkpoint.on && writeRootCheckpoint(r, state))
            sayCheckpointKept(state, r.checkpoint.path);
        return 1;
    }
    g.trialsOf[0] = r.share.trialsRun;
    std::vector<TrawlingCellSums> sums = r.share.sums;
    if (r.checkpoint.on && !addTrawlingSums(sums, r.checkpoint.prior.sums))
        sums.clear();  // refused below
    if ((!g.sums.empty() && !addTrawlingSums(sums, g.sums)) || !completeSimulation(r.result, sums)) {
        std::fprintf(stderr, "pulsebench simulate: the sums of the processes do not fit the grid\n");
        return 1;
    }
    r.result.elapsedSeconds = simClock() - r.result.startTime;
    r.result.processes = r.processes;
    std::string perProcess;
    int64_t trials = 0;
    for (int rank = 0; rank < r.processes; rank++) {
        perProcess += (rank ? ", " : "") + std::to_string(g.trialsOf[rank]);
        trials += g.trialsOf[rank];
    }
    std::fprintf(stderr, "pulsebench simulate: %lld trials on %d processes (%s), %.1f s\n",
                 static_cast<long long>(trials), r.processes, perProcess.c_str(),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - r.started).count());
    return writeSimulationFiles(*r.options, r.result, &r.cancel);
}

// Sets rank 0 up to keep the checkpoint that starts from `prior`.
void startCheckpoint(RootRun& r, Checkpoint& prior)
{
    RootCheckpoint& c = r.checkpoint;
    c.on = true;
    c.path = checkpointPath(*r.options);
    c.prior = std::move(prior);
    c.sumsOf.assign(r.processes, {});
    r.d.priorDone = c.prior.done;
    r.d.capped = true;
    r.local.taken = &c.localTaken;
}

int runRoot(const SimulateOptions& options, int processes, Checkpoint* prior)
{
    RootRun r;
    r.options = &options;
    r.processes = processes;
    r.d.processes = processes;
    r.d.rangesOf.assign(processes, 0);
    r.g.trialsOf.assign(processes, 0);
    r.g.doneOf.assign(processes, 0);
    r.line = ProgressLine::forStandardError(options.quiet, "trials");
    r.g.ended.assign(processes, false);
    r.g.failureOf.assign(processes, "");
    r.heard.assign(processes, 0);
    installInterruptHandlers(&r.cancel);
    r.local.dispatcher = &r.d;
    r.local.share = &r.share;
    r.local.options = &options;
    r.share.next = localNext;
    r.share.context = &r.local;
    if (prior)
        startCheckpoint(r, *prior);
    SimulateHooks hooks{&r.share, localProgress, &r, &r.cancel};
    r.started = std::chrono::steady_clock::now();
    std::thread compute = startLocalShare(r, hooks);
    serveRanks(r, compute);
    const int code = finishRoot(r);
    if (code != 0)
        std::fprintf(stderr, "pulsebench simulate: the run is abandoned; no result file was written\n");
    const int32_t verdict = code == 0 ? kEndOk : kEndFailed;
    for (int rank = 1; rank < processes; rank++)
        sendGently(&verdict, 1, MPI_INT32_T, rank, kTagControl);
    return code != 0 && interruptSignal() ? interruptExitCode() : code;
}

} // namespace

/*==========================================================================
** [SECTION] The run
**========================================================================*/

int runSimulateBatch(const SimulateOptions& options)
{
    if (mpiLauncherRank() < 0)
        return runSimulateInterruptibly(options);  // a plain start: no MPI at all
    int provided = 0;
    if (MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) {
        std::fprintf(stderr, "pulsebench simulate: MPI could not be initialised\n");
        return 1;
    }
    int rank = 0, processes = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &processes);
    int code = 1;
    // Rank 0 reads and checks the checkpoint to resume; every rank learns whether it may go on.
    Checkpoint prior;
    const bool checkpointing = !checkpointPath(options).empty();
    int32_t usable = rank != 0 || !checkpointing || loadRunCheckpoint(options, prior) ? 1 : 0;
    MPI_Bcast(&usable, 1, MPI_INT32_T, 0, MPI_COMM_WORLD);
    if (!usable) {
        code = 1;  // rank 0 said why
    } else if (provided < MPI_THREAD_FUNNELED) {
        if (rank == 0)
            std::fprintf(stderr, "pulsebench simulate: the MPI library offers no thread support (MPI_THREAD_FUNNELED)\n");
    } else {
        code = rank == 0 ? runRoot(options, processes, checkpointing ? &prior : nullptr) : runWorker(options, rank);
    }
    MPI_Finalize();
    return code;
}
