// The trials in flight of a simulation run: copies of the series, the detector
// chosen by task and series type, the scoring of one trial, and the worker
// threads that run them. Workload: one detector run per trial (about a
// millisecond at the default sizes), a few kilobytes copied per trial.
//
//   [SECTION] Series copies
//   [SECTION] Detector dispatch and scoring
//   [SECTION] Worker threads
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/allocation.h"
#include "trialpool.h"

/*==========================================================================
** [SECTION] Series copies
**========================================================================*/

namespace {

// The same place in another copy of a block.
template <typename T>
T* rebase(T* pointer, const T* fromBase, T* toBase)
{
    return pointer ? toBase + (pointer - fromBase) : nullptr;
}

} // namespace

void copySeriesHeader(const SeriesHeader& s, SeriesHeader& d)
{
    d.sampleBlock = s.sampleBlock; // assignment keeps the destination's capacity when it suffices
    d.pulsesStore = s.pulsesStore;
    d.subsetStore = s.subsetStore;
    d.subsetPointers.resize(s.subsetPointers.size());
    static_cast<SeriesFields&>(d) = s;  // every field; then each pointer into the storage is moved to d's

    const int16_t* from = s.sampleBlock.data();
    int16_t* to = d.sampleBlock.data();
    for (int16_t* SeriesFields::*p : {&SeriesFields::lpPureData, &SeriesFields::lpNoisyData,
                                      &SeriesFields::lpPositions, &SeriesFields::lpDetectedPositions,
                                      &SeriesFields::lpLowBounds, &SeriesFields::lpHighBounds,
                                      &SeriesFields::lpEtalonNumbers, &SeriesFields::lpDetectedNumbers,
                                      &SeriesFields::lpCutBegin, &SeriesFields::lpCutEnd,
                                      &SeriesFields::lpDetectedCutBegin, &SeriesFields::lpDetectedCutEnd,
                                      &SeriesFields::selectedSubset, &SeriesFields::lpTupleFirst,
                                      &SeriesFields::lpTupleLast})
        d.*p = rebase(s.*p, from, to);
    d.lpPulsesList = s.lpPulsesList ? d.pulsesStore.data() : nullptr;
    const int16_t* sizesFrom = s.subsetStore.data();
    d.selectedSubsetSize = rebase(s.selectedSubsetSize, sizesFrom, d.subsetStore.data());
    for (size_t i = 0; i < s.subsetPointers.size(); i++)
        d.subsetPointers[i] = rebase(s.subsetPointers[i], sizesFrom, d.subsetStore.data());
    d.selectedSubsetList = s.selectedSubsetList ? d.subsetPointers.data() : nullptr;
}

void copySeriesResult(const SeriesHeader& s, SeriesHeader& d)
{
    const size_t M = std::min(s.wPulsesCapacity, d.wPulsesCapacity);
    auto copy = [M](const int16_t* from, int16_t* to) {
        if (from && to)
            std::memcpy(to, from, M * sizeof(int16_t));
    };
    copy(s.lpDetectedPositions, d.lpDetectedPositions);
    copy(s.lpDetectedNumbers, d.lpDetectedNumbers);
    copy(s.lpDetectedCutBegin, d.lpDetectedCutBegin);
    copy(s.lpDetectedCutEnd, d.lpDetectedCutEnd);
    copy(s.lpTupleFirst, d.lpTupleFirst);
    copy(s.lpTupleLast, d.lpTupleLast);
    d.wDetectedQuantity = static_cast<uint16_t>(std::min<size_t>(s.wDetectedQuantity, M));
    d.wDetectedTuples = s.wDetectedTuples;
    d.wRecognizedTuple = s.wRecognizedTuple;
}

/*==========================================================================
** [SECTION] Detector dispatch and scoring
**========================================================================*/

DetectorSet productionDetectors()
{
    DetectorSet set;
    set[DetectorSlot::DetectFixed].pulses = detectFixedPulses;
    set[DetectorSlot::DetectUnfixed].pulses = detectUnfixedPulses;
    set[DetectorSlot::RecognizeFixed].pulses = recognizeFixedPulses;
    set[DetectorSlot::RecognizeUnfixed].pulses = recognizeUnfixedPulses;
    set[DetectorSlot::DetectFixedTuples].tuples = detectFixedTuples;
    set[DetectorSlot::DetectUnfixedTuples].tuples = detectUnfixedTuples;
    set[DetectorSlot::RecognizeFixedTuples].recognizer = recognizeFixedTuples;
    set[DetectorSlot::RecognizeUnfixedTuples].recognizer = recognizeUnfixedTuples;
    return set;
}

namespace {

// Sample t of the series restored from the detected pulses: the etalon sample
// of the detected pulse that covers t, inside its kept part; 0 elsewhere.
// `i` is the detected pulse looked at, carried from sample to sample (t ascends).
int32_t restoredSample(const SeriesHeader* h, int& i, int32_t t)
{
    const int q = h->wImpulseSize;
    const int D = h->lpDetectedPositions ? h->wDetectedQuantity : 0;
    // the next detected pulse is looked at once the current one has ended
    while (i < D && t >= h->lpDetectedPositions[i] + q)
        i++;
    if (i >= D || t < h->lpDetectedPositions[i])
        return 0;
    const int o = t - h->lpDetectedPositions[i];
    const int e = h->lpDetectedNumbers[i];
    const PulseHeader* etalon =
        (h->lpPulsesList && e >= 1 && e <= h->wEtalonsQuantity) ? h->lpPulsesList[e - 1] : nullptr;
    if (etalon && etalon->lpData && o < etalon->wLength && h->lpDetectedCutBegin[i] <= o &&
        o <= h->lpDetectedCutEnd[i])
        return etalon->lpData[o];
    return 0;
}

} // namespace

void restoreSeries(const SeriesHeader* h, int16_t* restored)
{
    int i = 0;
    for (int32_t t = 0; h && t < h->dwSeriesSize; t++)
        restored[t] = static_cast<int16_t>(restoredSample(h, i, t));
}

int32_t restoringError(const SeriesHeader* h)
{
    if (!h || !h->lpPureData)
        return 0;
    int64_t sum = 0;
    int i = 0;
    for (int32_t t = 0; t < h->dwSeriesSize; t++) {
        const int64_t difference = int64_t(h->lpPureData[t]) - restoredSample(h, i, t);
        sum += difference * difference;
    }
    return static_cast<int32_t>(std::min<int64_t>(sum, INT32_MAX));
}

int64_t detectionErrorUnits(const SeriesHeader* h, uint16_t K, uint16_t sought)
{
    if (!h || K == 0 || !h->lpPositions || !h->lpDetectedPositions)
        return 0;
    const int count = std::min<int>({K, sought, h->wPulsesCapacity});
    int64_t H = 0;
    for (int m = 0; m < count; m++) {
        const int64_t d = int64_t(h->lpPositions[m]) - h->lpDetectedPositions[m];
        H += d * d;
    }
    return (K + 256 * H) / (2 * int64_t(K));
}

int32_t recognitionError(int32_t recognized, int32_t expected)
{
    return recognized != expected ? 1 : 0;
}

void runTrial(const TrialSetup& t, TrialSlot& slot)
{
    HWND const owner = &slot.boxOwner; // a box of the detector is recorded; the driver shows it
    SeriesHeader* h = &slot.series;
    ChainsHeader* c = slot.chains;
    const DetectorSlot which = detectorSlotFor(t.wTaskType, t.wSeriesType);
    const DetectorKind& kind = detectorKindOf(which);
    const Detector& d = t.detectors[which];
    const uint16_t n = t.wRequiredQuantity, Tmin = h->wTmin, Tmax = h->wTmax, p = t.wProcSavedEnergyLevel;
    int32_t recognized = 0;
    int32_t debug = 0; // no step reports during a simulation
    switch (kind.form) {
    case DetectorForm::Pulses: {
        uint16_t* list = kind.candidates ? slot.candidates.data() : t.lpRequiredList;
        d.pulses(owner, t.alphabet, n, list, Tmin, Tmax, p, c, h);
        break;
    }
    case DetectorForm::Tuples:
        d.tuples(owner, t.alphabet, t.subsetLength, t.subset, t.wSubsetProceeding, Tmin, Tmax, p, debug, c, h);
        break;
    case DetectorForm::TupleRecognizer:
        recognized = d.recognizer(owner, t.alphabet, t.subsetSizes, t.subsetRows, t.subsetCount, t.wSubsetProceeding,
                                  Tmin, Tmax, p, debug, c, h);
        break;
    }
    slot.restoring = restoringError(h);
    slot.detectionUnits = detectionErrorUnits(h, slot.K, c ? c->wSeekingPulsesQuantity : 0);
    slot.wrongRecognition =
        kind.form == DetectorForm::TupleRecognizer ? recognitionError(recognized, slot.expectedSubset) : 0;
}

void runTrialGuarded(const TrialSetup& setup, TrialSlot& slot)
{
    const size_t boxesBefore = slot.boxes ? slot.boxes->count() : 0;
    try {
        runTrial(setup, slot);
        slot.fault = slot.boxes && slot.boxes->count() > boxesBefore ? TrialFault::Box : TrialFault::None;
    } catch (const std::bad_alloc&) {
        slot.fault = TrialFault::NoMemory;
    } catch (...) {
        slot.fault = TrialFault::Exception;
    }
}

/*==========================================================================
** [SECTION] Worker threads
**========================================================================*/

namespace {

void workerLoop(TrialPool* pool)
{
    for (;;) {
        TrialSlot* slot = nullptr;
        {
            std::unique_lock<std::mutex> guard(pool->lock);
            pool->work.wait(guard, [pool] { return pool->stopping || !pool->queue.empty(); });
            if (pool->queue.empty())
                return; // stopping and nothing left
            slot = pool->queue.front();
            pool->queue.pop_front();
        }
        runTrialGuarded(*pool->setup, *slot);
        {
            std::lock_guard<std::mutex> guard(pool->lock);
            slot->done = true;
        }
        pool->finished.notify_all();
    }
}

std::thread startStdThread(void (*loop)(TrialPool*), TrialPool* pool)
{
    return std::thread(loop, pool);
}

// The slots of a pool, each with its chains header and its box recorder.
bool makeTrialSlots(HWND hWnd, TrialPool& pool, int count, uint16_t M)
{
    if (!tryAllocate(AllocSite::TrialSlots, [&] {
            pool.slots = std::vector<TrialSlot>(count);
            for (TrialSlot& slot : pool.slots) {
                slot.boxes = std::make_unique<RecordingMessageBoxes>();
                slot.boxOwner.lpMessages = slot.boxes.get();
            }
        }))
        return false;
    for (TrialSlot& slot : pool.slots) {
        slot.chains = getChainsHeader(hWnd, 10, M, nullptr);
        if (!slot.chains)
            return false;
    }
    return true;
}

} // namespace

TrialWorkerStarter startTrialWorker = startStdThread;

// Address space held back while the workers start and given back once they
// have: where the workers' stacks would take all that is left (a limit on the
// address space), those that could not start leave this much to the trials'
// own memory instead of none. Never touched, so it costs no memory.
constexpr size_t kTrialHeadroom = size_t(64) << 20;

bool startTrialPool(HWND hWnd, TrialPool& pool, const TrialSetup& setup, int threads, uint16_t M)
{
    pool.setup = &setup;
    pool.stopping = false;
    if (!makeTrialSlots(hWnd, pool, threads <= 1 ? 1 : 3 * threads, M)) {
        stopTrialPool(pool);
        return false;
    }
    std::unique_ptr<char[]> headroom;
    try {
        if (threads > 1)
            headroom.reset(new char[kTrialHeadroom]);
    } catch (const std::bad_alloc&) {
        // Less than that left already: the workers start without it.
    }
    try {
        pool.workers.reserve(threads > 1 ? threads : 0);
        for (int i = 0; threads > 1 && i < threads; i++)
            pool.workers.push_back(startTrialWorker(workerLoop, &pool)); // reserved: no throw once started
    } catch (const std::system_error&) {
        // No more threads: the workers started (maybe none) do the run alone.
    } catch (const std::bad_alloc&) {
        // Not even the list of workers: every trial runs on the caller's thread.
    }
    return true;
}

void waitTrialSlot(TrialPool& pool, TrialSlot& slot)
{
    std::unique_lock<std::mutex> guard(pool.lock);
    pool.finished.wait(guard, [&slot] { return slot.done; });
}

void submitTrialSlot(TrialPool& pool, TrialSlot& slot)
{
    slot.pending = true;
    if (pool.workers.empty()) {
        runTrialGuarded(*pool.setup, slot);
        slot.done = true;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        slot.done = false;
        pool.queue.push_back(&slot);
    }
    pool.work.notify_one();
}

void stopTrialPool(TrialPool& pool)
{
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        pool.stopping = true;
    }
    pool.work.notify_all();
    for (std::thread& worker : pool.workers)
        worker.join();
    pool.workers.clear();
    for (TrialSlot& slot : pool.slots)
        freeChainsHeader(nullptr, slot.chains);
    pool.slots.clear();
    pool.queue.clear();
}
