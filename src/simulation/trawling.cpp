// The statistical simulation driver statCutoffTrawling: checks the run before
// any trial, walks the grid and the trials in order, changes the etalons and
// subsets the tasks ask for, builds and noises every series on the calling
// thread and stores the cells; for a share of a run split over processes it
// skips the other shares' trials, drawing only what they draw, and hands back
// the sums. Workload: P * L * repeats trials (72 500 for the default grid),
// each handed to the trial pool (trialpool.cpp) for detection.
//
//   [SECTION] Checks before the first trial
//   [SECTION] Etalon and subset changes
//   [SECTION] Shares and sums
//   [SECTION] The run
#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <new>
#include <string>

#include "platform/allocation.h"
#include "trialpool.h"

std::atomic<int64_t> simStartTime{0};
std::atomic<int64_t> simEndTime{0};

int64_t simRealClock()
{
    return static_cast<int64_t>(std::time(nullptr));
}
int64_t (*simClock)() = simRealClock;

/*==========================================================================
** [SECTION] Checks before the first trial
**========================================================================*/

namespace {

constexpr const char* kCaption = " About statCutoffTrawling ";

// Everything the series construction and the detectors would refuse, trial
// after trial, refused once here: the workers must never need a message box.
bool checkRun(HWND hWnd, const RestoreErrorHeader* r, uint16_t A, const PulseHeader* alphabet, uint16_t n,
              const uint16_t* list, const SeriesHeader* h, const TrawlingContext& context)
{
    char text[400];
    text[0] = 0;
    if (!h || !h->lpPulsesList || !h->sampleBlock.size() || h->dwSeriesSize < 1)
        std::snprintf(text, sizeof text, shownText("Не определен lpSeriesHeader!"));
    else if (!context.lpStreams)
        std::snprintf(text, sizeof text, shownText("Не определен wNoiseSeed!"));
    else if (!alphabet || A == 0 || A > kAlphabetCapacity)
        std::snprintf(text, sizeof text, shownText("Не определен Alphabet!\n\nwAlphabetSize: %d"), A);
    else if (n == 0 || !list)
        std::snprintf(
            text, sizeof text,
            shownText("Неверно задан wRequiredQuantity!\n\nwRequiredQuantity: %d (нужен хотя бы один эталон)"), n);
    else if (r->repeats < 1 || r->repeats > 65535)
        std::snprintf(text, sizeof text, shownText("Неверно задан repeats!\n\nrepeats: %d (от 1 до 65535)"),
                      r->repeats);
    if (!text[0])
        for (int i = 0; i < n && !text[0]; i++)
            if (list[i] < 1 || list[i] > A || !alphabet[list[i] - 1].lpData)
                std::snprintf(text, sizeof text,
                              shownText("Неверно задан lpRequiredList!\n\nэлемент %d: %d (от 1 до %d)"), i + 1, list[i],
                              A);
    if (text[0]) {
        MessageBoxA(hWnd, text, kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    const int32_t N = h->dwSeriesSize;
    const uint16_t q = alphabet[list[0] - 1].wLength, Tmin = h->wTmin, Tmax = h->wTmax;
    for (int i = 0; i < A && !text[0]; i++)
        if (!alphabet[i].lpData || alphabet[i].wLength < q)
            std::snprintf(text, sizeof text,
                          shownText("Неверно задан Alphabet!\n\nэталон %d: %d отсчётов, длина эталона: %d"), i + 1,
                          alphabet[i].lpData ? alphabet[i].wLength : 0, q);
    if (!text[0] && (Tmin == 0 || Tmin > Tmax || q == 0 || q > Tmax || q > N))
        std::snprintf(
            text, sizeof text,
            shownText("Неверно заданы параметры ряда!\n\ndwSeriesSize: %d, wTmin: %d, wTmax: %d, длина эталона: %d\n"
                      "(нужно 1 <= wTmin <= wTmax, длина эталона <= wTmax и <= dwSeriesSize)"),
            N, Tmin, Tmax, q);
    if (!text[0] && (uint32_t(N) > h->dwReservedSize || h->wPulsesCapacity < maxPulsesFor(N, q, Tmin) ||
                     h->wReservedEtalons < A || h->wMaxPulses != maxPulsesFor(N, q, Tmin)))
        std::snprintf(text, sizeof text, shownText("Не подготовлен lpSeriesHeader (getCutOffSeriesHeader)!"));
    if (!text[0]) {
        const uint16_t minP = minPulsesFor(N, q, Tmax), maxP = maxPulsesFor(N, q, Tmin);
        for (int j = 0; j < r->wVariousPulses && !text[0]; j++) {
            const int K = r->wPulseValues[j];
            if (K < minP || K > maxP)
                std::snprintf(
                    text, sizeof text,
                    shownText("Неверно задано число импульсов!\n\nчисло импульсов: %d (столбец %d из %d)\n"
                              "допустимо от %d до %d при dwSeriesSize: %d, wTmin: %d, wTmax: %d, длина эталона: %d"),
                    K, j + 1, r->wVariousPulses, minP, maxP, N, Tmin, Tmax, q);
        }
    }
    if (text[0]) {
        MessageBoxA(hWnd, text, kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}

/*==========================================================================
** [SECTION] Etalon and subset changes
**========================================================================*/

// The per-pulse counters and the etalon sequence handed to series construction.
struct EtalonState {
    std::vector<uint16_t> counters;  // [max(M, n)] 1-based index into the required list, per pulse
    std::vector<uint16_t> sequence;  // [max(M, n)] etalon number per pulse; entries past K stay 1
    uint32_t next = 0;               // threshold of the next change
    int16_t e = 1;                   // task 40: the employed stored subset, 1-based
};

// Step s of a cell: how many trials (task 4: trials times K) between changes.
EtalonChange changeOf(uint16_t taskType)
{
    const ProcessingKind* kind = processingKindOf(taskType);
    return kind ? kind->change : EtalonChange::None;
}

uint32_t changeStep(uint16_t taskType, uint16_t n, uint16_t u, uint16_t K, int32_t S)
{
    switch (changeOf(taskType)) {
    case EtalonChange::None: return 0;
    case EtalonChange::Cycle: return (n + 2u * u) / (2u * n);
    case EtalonChange::StoredSubset: return S > 0 ? static_cast<uint32_t>((S + 2 * int64_t(u)) / (2 * int64_t(S))) : 0;
    case EtalonChange::Odometer: break;
    }
    return K >= 63 ? 0 : static_cast<uint32_t>((uint64_t(u) * K) >> K);
}

// Makes stored subset e the selected subset of the header.
void employSubset(SeriesHeader* h, int e)
{
    const int16_t size = h->selectedSubsetSize[e - 1];
    const int stored = std::clamp<int>(size, 0, std::min<int>(h->wSubsetCapacity, h->wPulsesCapacity));
    std::copy(h->selectedSubsetList[e - 1], h->selectedSubsetList[e - 1] + stored, h->selectedSubset);
    h->wSubsetLength = static_cast<uint16_t>(stored);
}

// The change before trial l, when the task asks for one.
void changeEtalons(EtalonState& s, uint16_t taskType, uint32_t step, uint32_t l, uint16_t K, uint16_t n,
                   const uint16_t* list, SeriesHeader* h)
{
    const EtalonChange change = changeOf(taskType);
    if (change == EtalonChange::Cycle && s.next <= l) {
        for (int m = 0; m < K; m++) {
            s.counters[m] = s.counters[m] + 1 > n ? 1 : s.counters[m] + 1;
            s.sequence[m] = list[s.counters[m] - 1];
        }
        s.next += step;
    } else if (change == EtalonChange::Odometer && s.next <= uint64_t(l) * K) {
        s.next += step;
        for (int m = 0; m < K; m++) { // odometer in base n, digit 0 first
            if (++s.counters[m] <= n)
                break;
            s.counters[m] = 1;
        }
        for (int m = 0; m < K; m++)
            s.sequence[m] = list[s.counters[m] - 1];
    } else if (change == EtalonChange::StoredSubset && s.next <= l) {
        s.e = s.e >= h->wSelectedSubsets ? 1 : s.e + 1;
        employSubset(h, s.e);
        s.next += step;
    }
}

// The 32-bit copies of the header's subsets that the tuple detectors take.
struct SubsetCopies {
    std::vector<int32_t> subset;  // the selected subset
    std::vector<int32_t> sizes;   // size of each stored subset
    std::vector<int32_t> entries; // S rows, each as long as the longest stored subset
    std::vector<int32_t*> rows;   // [S] row pointers into entries
};

// True when every entry is an etalon number of the alphabet.
bool etalonsValid(const int16_t* entries, int count, uint16_t A)
{
    return std::all_of(entries, entries + count, [A](int16_t e) { return e >= 1 && e <= A; });
}

bool copySubsets(HWND hWnd, uint16_t taskType, uint16_t A, const SeriesHeader* h, SubsetCopies& c)
{
    if (h->wSubsetLength == 0 || (isTupleRecognition(taskType) && (h->wSelectedSubsets == 0 || !h->selectedSubsetList))) {
        MessageBoxA(hWnd, "Error: selected Subset is absence!", " About selectedSubset ", MB_OK);
        return false;
    }
    char text[200];
    text[0] = 0;
    const int stored = std::min<int>(h->wSubsetLength, h->wPulsesCapacity);
    c.subset.assign(h->selectedSubset, h->selectedSubset + stored);
    if (!etalonsValid(h->selectedSubset, stored, A))
        std::snprintf(text, sizeof text, shownText("Неверно задан selectedSubset!\n\n(номера эталонов от 1 до %d)"), A);
    const int S = isTupleRecognition(taskType) ? h->wSelectedSubsets : 0;
    int longest = 0;
    for (int i = 0; i < S && !text[0]; i++) {
        const int size = std::clamp<int>(h->selectedSubsetSize[i], 0, h->wSubsetCapacity);
        if (size == 0 || !etalonsValid(h->selectedSubsetList[i], size, A))
            std::snprintf(text, sizeof text,
                          shownText("Неверно задан selectedSubsetArray!\n\nкортеж %d: %d эталонов (номера от 1 до %d)"),
                          i + 1, size, A);
        c.sizes.push_back(size);
        longest = std::max(longest, size);
    }
    if (text[0]) {
        MessageBoxA(hWnd, text, " About selectedSubset ", MB_OK | MB_ICONWARNING);
        return false;
    }
    if (!isTupleRecognition(taskType))
        return true;
    c.entries.assign(size_t(S) * std::max(longest, 1), 0);
    for (int i = 0; i < S; i++) {
        c.rows.push_back(c.entries.data() + size_t(i) * std::max(longest, 1));
        std::copy(h->selectedSubsetList[i], h->selectedSubsetList[i] + c.sizes[i], c.rows[i]);
    }
    return true;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}


// The description of the run, on a chains header as every processing run has
// it and on the record. False after the message of the failing step.
bool describeRun(HWND hWnd, uint16_t seriesType, uint16_t taskType, uint16_t making, uint16_t processing,
                 uint16_t M, RestoreErrorHeader* r)
{
    ChainsHeader* described = getChainsHeader(hWnd, 10, M, nullptr);
    if (!described) {
        MessageBoxA(hWnd, "Error getChainsHeader!", " About ChainsHeader ", MB_OK);
        return false;
    }
    const int added = addToChainsHeader(hWnd, seriesType, taskType, making, processing, described);
    freeChainsHeader(hWnd, described);
    if (!added) {
        MessageBoxA(hWnd, "Error addToChainsHeader!", " About ChainsHeader ", MB_OK);
        return false;
    }
    if (!addInitRestErrHeader(hWnd, seriesType, taskType, making, static_cast<int16_t>(processing), r)) {
        MessageBoxA(hWnd, "Ошибка addInitRestErrHeader!", " About RestoreErrorHeader ", MB_OK);
        return false;
    }
    return true;
}

TrialSetup makeSetup(HWND hWnd, PulseHeader* alphabet, uint16_t n, uint16_t* list, uint16_t seriesType,
                     uint16_t taskType, uint16_t processing, const TrawlingContext& context, SubsetCopies& subsets)
{
    TrialSetup setup;
    setup.hWnd = hWnd;
    setup.alphabet = alphabet;
    setup.wRequiredQuantity = n;
    setup.lpRequiredList = list;
    setup.wSeriesType = seriesType;
    setup.wTaskType = taskType;
    setup.wProcSavedEnergyLevel = processing;
    setup.wSubsetProceeding = context.wSubsetProceeding;
    setup.detectors = context.detectors ? *context.detectors : productionDetectors();
    setup.subsetLength = static_cast<int32_t>(subsets.subset.size());
    setup.subset = subsets.subset.data();
    setup.subsetCount = static_cast<int32_t>(subsets.sizes.size());
    setup.subsetSizes = subsets.sizes.data();
    setup.subsetRows = subsets.rows.data();
    return setup;
}

// Shows, on the caller's thread, why a trial failed: the box its detector
// showed (recorded on the slot), or the exception that left it.
void reportFailedTrial(HWND hWnd, const TrialSlot& slot)
{
    const std::vector<MessageRecord> shown = slot.boxes ? slot.boxes->messages() : std::vector<MessageRecord>{};
    if (slot.fault == TrialFault::Box && !shown.empty())
        MessageBoxA(hWnd, shown.front().text.c_str(),
                    shown.front().hasCaption ? shown.front().caption.c_str() : nullptr, shown.front().flags);
    else if (slot.fault == TrialFault::Exception)
        MessageBoxA(hWnd, "Ошибка испытания: детектор прерван исключением!", kCaption, MB_OK);
    else
        MessageBoxA(hWnd, "Нет памяти для испытаний!", kCaption, MB_OK);
}

// Which trials of the run this process runs: all of them, or the ranges its
// share hands out, asked for one after another as the walk reaches them.
struct ShareWalk {
    TrawlingShare* share = nullptr;  // none: every trial
    int64_t first = 0;               // current range: trials first .. end - 1
    int64_t end = 0;
    bool exhausted = false;          // the share has handed out its last range

    bool runs(int64_t t)
    {
        if (!share)
            return true;
        while (!exhausted && t >= end) {
            int64_t from = 0, count = 0;
            if (!share->next(share->context, from, count) || count <= 0) {
                exhausted = true;
                break;
            }
            first = from;
            end = from + count;
        }
        return !exhausted && t >= first && t < end;
    }
};

} // namespace

/*==========================================================================
** [SECTION] Shares and sums
**========================================================================*/

int64_t nextTrawlingChunk(int64_t next, int64_t total, int processes)
{
    const int64_t rest = total - next;
    if (rest <= 0)
        return 0;
    const int64_t p = std::max(processes, 1);
    const int64_t least = std::max<int64_t>(1, total / (256 * p)); // a few hundred ranges per process at most
    const int64_t guided = (rest + 2 * p - 1) / (2 * p);
    return std::min(rest, std::max(least, guided));
}

bool addTrawlingSums(std::vector<TrawlingCellSums>& total, const std::vector<TrawlingCellSums>& share)
{
    if (total.size() != share.size())
        return false;
    for (size_t c = 0; c < total.size(); c++) {
        total[c].restoring += share[c].restoring;
        total[c].detection += share[c].detection;
        total[c].wrong += share[c].wrong;
        total[c].restoringSquares += share[c].restoringSquares;
        total[c].detectionSquares += share[c].detectionSquares;
    }
    return true;
}

// The six tables from the sums of a finished run: the mean restoring error
// rounded to nearest, the detection sum in whole units, the wrong recognitions.
int storeTrawlingSums(const std::vector<TrawlingCellSums>& sums, RestoreErrorHeader* r)
{
    if (!r || r->repeats < 1 || sums.size() != size_t(r->wVariousPulses) * r->wNoiseLevels)
        return 0;
    const int P = r->wVariousPulses, L = r->wNoiseLevels;
    const int64_t u = static_cast<uint16_t>(r->repeats);
    for (int j = 0; j < P; j++)
        for (int k = 0; k < L; k++) {
            const TrawlingCellSums& cell = sums[size_t(j) * L + k];
            // a cell's sums: non-negative errors, at most one wrong recognition per trial
            assert(cell.restoring >= 0 && cell.detection >= 0 && cell.wrong >= 0 && cell.wrong <= u);
            r->lpErrors[0][k][j] = static_cast<int32_t>(std::min<int64_t>((2 * cell.restoring + u) / (2 * u), INT32_MAX));
            r->lpErrors[1][k][j] = static_cast<int32_t>(std::min<int64_t>(cell.detection / 128, INT32_MAX));
            r->lpErrors[2][k][j] = 0;
            r->lpErrors[3][k][j] = static_cast<int32_t>(std::min<int64_t>(cell.wrong, INT32_MAX));
            r->lpErrors[4][k][j] = 0;
            r->lpErrors[5][k][j] = 0;
        }
    try {
        r->cellSums = sums;
    } catch (const std::bad_alloc&) {
        r->cellSums.clear();  // the tables stand; only the spread is not reported
    }
    r->ifComplete = 1;
    return 1;
}

/*==========================================================================
** [SECTION] The run
**========================================================================*/

namespace {

// What one run keeps while it walks the grid: the inputs, the pool of trial
// slots, the sums so far, the share's ranges and the first failure.
struct GridWalk {
    HWND hWnd = nullptr;                  // owner of the run's message boxes
    const TrawlingContext* context = nullptr;  // streams, amplitude, share, progress, cancel
    RestoreErrorHeader* r = nullptr;      // the grid: pulse counts, noise levels, repeats
    SeriesHeader* h = nullptr;            // the header every trial's series is built in
    PulseHeader* alphabet = nullptr;      // [A] the alphabet
    uint16_t A = 0;                       // etalons in the alphabet
    uint16_t n = 0;                       // required etalons
    uint16_t* list = nullptr;             // [n] their 1-based numbers
    uint16_t processingType = 0;          // 1, 2, 4, 36 or 40
    uint16_t savedLevel = 0;              // saved energy level of the series built, percent
    uint16_t q = 0;                       // etalon length, samples
    uint16_t Tmin = 0, Tmax = 0;          // the series' interval bounds, samples
    int32_t N = 0;                        // the series length, samples
    const TrialSetup* setup = nullptr;    // what every trial shares
    EtalonState state{};                  // the etalon sequence and its change counters
    TrialPool pool{};                     // the workers and their slots
    size_t slots = 0;                     // slots in the pool, >= 1
    std::vector<TrawlingCellSums> sums{}; // [P * L] the counted trials' sums, cell j * L + k
    TrawlingProgress progress{};          // what the progress callback is told
    std::chrono::steady_clock::time_point started{};  // for the progress callback's elapsed time
    ShareWalk walk{};                     // which trials this share counts
    int64_t trials = 0;                   // P * L * u
    int64_t submitted = 0;                // trials handed to the pool so far
    TrialSlot* failed = nullptr;          // the first trial that failed; the run stops there
};

// Adds a finished trial to its cell (in trial order) and reports progress.
// The first trial that failed stops the run; its slot keeps what it showed.
void collectTrial(GridWalk& g, TrialSlot& slot)
{
    waitTrialSlot(g.pool, slot);
    slot.pending = false;
    if (slot.fault != TrialFault::None && !g.failed)
        g.failed = &slot;
    if (!slot.counted || g.failed)
        return;
    TrawlingCellSums& cell = g.sums[slot.cell];
    cell.restoring += slot.restoring;
    cell.detection += slot.detectionUnits;
    cell.wrong += slot.wrongRecognition;
    cell.restoringSquares += TrawlingSquareSum(int64_t(slot.restoring) * slot.restoring);
    cell.detectionSquares += TrawlingSquareSum(slot.detectionUnits) * TrawlingSquareSum(slot.detectionUnits);
    g.progress.cell = slot.cell;
    g.progress.trial = slot.trial;
    g.progress.trialsDone++;
    g.progress.trialNumber = (int64_t(slot.cell) * g.r->repeats) + slot.trial;
    if (g.context->progress) {
        g.progress.elapsedSeconds = secondsSince(g.started);
        g.context->progress(g.context->progressContext, g.progress);
    }
}

// The start of a cell of K pulses: the subset as the processing kind wants it,
// every pulse on the first required etalon; returns the cell's change step.
uint32_t startCell(GridWalk& g, uint16_t K)
{
    const ProcessingKind* kind = processingKindOf(g.processingType);
    if (kind && kind->clearsSubset)
        g.h->wSubsetLength = 0;
    if (changeOf(g.processingType) == EtalonChange::StoredSubset) {
        g.state.e = 1;
        employSubset(g.h, 1);
    }
    const uint32_t step = changeStep(g.processingType, g.n, static_cast<uint16_t>(g.r->repeats), K,
                                     g.setup->subsetCount);
    g.state.next = step;
    for (int m = 0; m < K; m++) {
        g.state.counters[m] = 1;
        g.state.sequence[m] = g.list[0];
    }
    return step;
}

// The u trials of cell (j, k): each built, noised and handed to a slot, or,
// when another share counts it, only its draws taken. False when the run
// stops (cancelled, or a trial failed). Throws bad_alloc from the copies.
bool walkCell(GridWalk& g, int j, int k, uint16_t K, uint32_t step)
{
    const int L = g.r->wNoiseLevels;
    const uint16_t u = static_cast<uint16_t>(g.r->repeats);
    const int16_t D = g.r->lpNoiseLevels[k];
    SeriesHeader* h = g.h;
    RandomStreams& streams = *g.context->lpStreams;
    for (uint32_t l = 0; l < u; l++) {
        const int64_t t = (int64_t(j) * L + k) * u + l;
        const bool counted = g.walk.runs(t);
        // a share runs the run's last trial too, to end with the whole run's series
        TrialSlot* slot = counted || t == g.trials - 1 ? &g.pool.slots[g.submitted % g.slots] : nullptr;
        // the slot's previous trial (submitted `slots` trials ago) goes to its cell first
        if (slot && slot->pending)
            collectTrial(g, *slot);
        if (g.failed || (g.context->lpCancel && g.context->lpCancel->load()))
            return false;
        changeEtalons(g.state, g.processingType, step, l, K, g.n, g.list, h);
        if (!slot) { // another share's trial: only its draws
            skipExtSeries(g.A, g.alphabet, g.q, g.Tmin, g.Tmax, g.N, K, g.state.sequence.data(), h, streams);
            skipNoise(h, streams);
            continue;
        }
        getCutOffSeries(g.hWnd, g.A, g.alphabet, g.q, g.Tmin, g.Tmax, g.N, K, g.state.sequence.data(),
                        g.context->wAmplitude, static_cast<int16_t>(g.savedLevel), h, streams);
        addNoise(h, D, streams);
        if (!tryAllocate(AllocSite::TrialCopies, [&] {
                copySeriesHeader(*h, slot->series);
                slot->candidates = g.state.sequence;
            }))
            throw std::bad_alloc();  // walkGrid ends the walk
        slot->K = K;
        slot->expectedSubset = g.state.e;
        slot->cell = j * L + k;
        slot->trial = static_cast<int32_t>(l);
        slot->counted = counted;
        submitTrialSlot(g.pool, *slot);
        g.submitted++;
    }
    return true;
}

// Walks the grid in trial order; false when the run stopped early. Out of
// memory for a trial's copies sets `outOfMemory`; what is in flight still finishes.
bool walkGrid(GridWalk& g, bool& outOfMemory)
{
    try {
        for (int j = 0; j < g.r->wVariousPulses; j++) {
            const uint16_t K = static_cast<uint16_t>(g.r->wPulseValues[j]);
            for (int k = 0; k < g.r->wNoiseLevels; k++)
                if (!walkCell(g, j, k, K, startCell(g, K)))
                    return false;
        }
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
        return false;
    }
    return true;
}

// The trials still in flight, oldest first; the header keeps the last one's results.
void drainTrials(GridWalk& g)
{
    for (int64_t t = std::max<int64_t>(0, g.submitted - int64_t(g.slots)); t < g.submitted; t++) {
        TrialSlot& slot = g.pool.slots[t % g.slots];
        if (slot.pending)
            collectTrial(g, slot);
        if (t == g.submitted - 1)
            copySeriesResult(slot.series, *g.h);
    }
}

} // namespace

int statCutoffTrawling(HWND hWnd, RestoreErrorHeader* r, uint16_t A, PulseHeader* Alphabet, uint16_t n,
                       uint16_t* list, uint16_t wSeriesType, uint16_t wProcessingType, uint16_t wSavedEnergyLevel,
                       uint16_t wProcSavedEnergyLevel, SeriesHeader* h, const TrawlingContext& context)
{
    if (!r) {
        MessageBoxA(hWnd, "Absence of RestoreErrorHeader!", "statCutoffTrawling", MB_OK);
        return kTrawlingNotStarted;
    }
    assert(!context.share || context.share->next); // a share without ranges is a programming error
    if (!checkRun(hWnd, r, A, Alphabet, n, list, h, context))
        return kTrawlingNotStarted;
    const uint16_t savedSubsetLength = h->wSubsetLength;
    const uint16_t M = h->wMaxPulses;
    if (!describeRun(hWnd, wSeriesType, wProcessingType, wSavedEnergyLevel, wProcSavedEnergyLevel, M, r))
        return kTrawlingNotStarted;

    GridWalk g{.hWnd = hWnd, .context = &context, .r = r, .h = h, .alphabet = Alphabet, .A = A, .n = n,
               .list = list, .processingType = wProcessingType, .savedLevel = wSavedEnergyLevel,
               .q = Alphabet[list[0] - 1].wLength, .Tmin = h->wTmin, .Tmax = h->wTmax, .N = h->dwSeriesSize};
    SubsetCopies subsets;
    if (!tryAllocate(AllocSite::TrialSequence, [&] {
            g.state.counters.assign(std::max<size_t>(M, n), 1);
            g.state.sequence.assign(std::max<size_t>(M, n), 1);
        })) {
        MessageBoxA(hWnd, "Ошибка lpEtalonNumbersList!", kCaption, MB_OK);
        return kTrawlingNotStarted;
    }
    if (isTupleProcessing(wProcessingType) && !copySubsets(hWnd, wProcessingType, A, h, subsets))
        return kTrawlingNotStarted;

    const int P = r->wVariousPulses, L = r->wNoiseLevels;
    const uint16_t u = static_cast<uint16_t>(r->repeats);
    const TrialSetup setup = makeSetup(hWnd, Alphabet, n, list, wSeriesType, wProcessingType, wProcSavedEnergyLevel,
                                       context, subsets);
    int threads = context.threads > 0 ? context.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 64);
    // Cells are stored only when the whole run finished, so a cancelled run
    // leaves the tables as initRestErrHeader left them.
    if (!holdAtLeast(AllocSite::TrialSums, g.sums, size_t(P) * L)) {
        MessageBoxA(hWnd, "Не могу выделить память для сумм по ячейкам!", kCaption, MB_OK);
        return kTrawlingNoMemory;
    }
    if (!startTrialPool(hWnd, g.pool, setup, threads, M)) {
        MessageBoxA(hWnd, "Error getChainsHeader!", " About ChainsHeader ", MB_OK);
        return kTrawlingNoMemory;
    }
    g.setup = &setup;
    g.slots = g.pool.slots.size();
    g.started = std::chrono::steady_clock::now();
    const int64_t startTime = simClock();
    simStartTime = startTime;
    simEndTime = startTime;
    if (context.lpTimes)
        context.lpTimes[0] = context.lpTimes[1] = startTime;
    g.trials = int64_t(P) * L * u;
    g.progress = TrawlingProgress{0, P * L, 0, u, 0, g.trials, 0.0, -1, &g.sums};
    g.walk = ShareWalk{context.share};
    if (context.share)
        context.share->trials = g.trials;

    bool outOfMemory = false;
    const bool walked = walkGrid(g, outOfMemory);
    drainTrials(g);
    if (g.failed)
        reportFailedTrial(hWnd, *g.failed);  // before the slots go; the workers are idle
    stopTrialPool(g.pool);

    const int64_t endTime = simClock();
    simEndTime = endTime;
    if (context.lpTimes)
        context.lpTimes[1] = endTime;
    h->wSubsetLength = savedSubsetLength;
    if (!g.failed && outOfMemory)
        MessageBoxA(hWnd, "Нет памяти для испытаний!", kCaption, MB_OK);
    if (g.failed || outOfMemory)
        return kTrawlingNoMemory;
    if (context.share) {  // what was counted, also when cancelled: a checkpoint keeps it
        context.share->sums = std::move(g.sums);
        context.share->trialsRun = g.progress.trialsDone;
        context.share->lastCounted = g.progress.trialNumber;
    }
    if (!walked)
        return kTrawlingCancelled;
    if (context.share)
        return kTrawlingShareDone;
    storeTrawlingSums(g.sums, r);
    return kTrawlingComplete;
}
