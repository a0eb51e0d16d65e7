// One detector run on a recorded signal: the settings checked against the
// signal, the series record sized for it (getSignalSeriesHeader), the
// operation called through productionDetectors() and its result collected.
// One run takes milliseconds at the sizes one series allows.
#include <algorithm>
#include <limits>
#include <memory>

#include "detection/detection.h"
#include "recording.h"
#include "simulation/simulation.h"

namespace {

struct SeriesRelease {
    void operator()(SeriesHeader* h) const { freeSeriesHeader(h); }
};
struct ChainsRelease {
    void operator()(ChainsHeader* h) const { freeChainsHeader(nullptr, h); }
};

bool refuse(std::string& error, const std::string& what)
{
    error = what;
    return false;
}

// The pulse counts the request asks for, checked against the signal's admissible ones.
bool setCounts(const DetectRequest& r, SeriesHeader* h, std::string& error)
{
    const std::string admissible = std::to_string(h->wMinPulses) + ".." + std::to_string(h->wMaxPulses);
    if (detectorKindOf(r.slot).fixedCount) {
        if (r.pulses < h->wMinPulses || r.pulses > h->wMaxPulses)
            return refuse(error, "--pulses must be in " + admissible + " for this signal, Tmin and Tmax (the model: "
                                 "every gap between Tmin and Tmax, the first pulse within Tmax of the start, the "
                                 "last within Tmax of the end), not " + std::to_string(r.pulses));
        setSignalPulseCount(h, static_cast<uint16_t>(r.pulses));
        return true;
    }
    // Admissible bounds that cross (no count fits the model) are left to the
    // detector, which then offers no chain; given ones must make sense.
    const int32_t lo = r.minPulses > 0 ? r.minPulses : h->wMinPulses;
    const int32_t hi = r.maxPulses > 0 ? r.maxPulses : h->wMaxPulses;
    const bool given = r.minPulses > 0 || r.maxPulses > 0;
    if (lo < 1 || (given && lo > hi) || hi > h->wPulsesCapacity)
        return refuse(error, "--min-pulses and --max-pulses must satisfy 1 <= min <= max <= " +
                                 std::to_string(h->wPulsesCapacity) + " for this signal, not " + std::to_string(lo) +
                                 " and " + std::to_string(hi));
    h->wMinPulses = static_cast<uint16_t>(lo);
    h->wMaxPulses = static_cast<uint16_t>(hi);
    return true;
}

bool checkNumbers(const std::vector<int32_t>& tuple, uint16_t count, const char* what, std::string& error)
{
    if (tuple.empty())
        return refuse(error, std::string(what) + " must hold at least one etalon number");
    for (int32_t e : tuple)
        if (e < 1 || e > count)
            return refuse(error, std::string(what) + ": etalon " + std::to_string(e) + " does not exist (1.." +
                                     std::to_string(count) + ")");
    return true;
}

int32_t callDetector(HWND hWnd, PulseHeader* etalons, uint16_t count, const DetectRequest& r, ChainsHeader* chains,
                     SeriesHeader* h)
{
    const DetectorSet detectors = productionDetectors();
    const Detector& d = detectors[r.slot];
    int32_t debug = 0;  // no step reports
    switch (detectorKindOf(r.slot).form) {
    case DetectorForm::Pulses: {
        std::vector<uint16_t> list = r.required;  // none given: every etalon
        if (list.empty())
            for (uint16_t e = 1; e <= count; e++)
                list.push_back(e);
        return d.pulses(hWnd, etalons, static_cast<uint16_t>(list.size()), list.data(), r.Tmin, r.Tmax, r.level,
                        chains, h);
    }
    case DetectorForm::Tuples:
        return d.tuples(hWnd, etalons, static_cast<int32_t>(r.subset.size()), r.subset.data(), r.proceeding, r.Tmin,
                        r.Tmax, r.level, debug, chains, h);
    case DetectorForm::TupleRecognizer: {
        std::vector<int32_t> sizes;
        std::vector<const int32_t*> rows;
        for (const auto& t : r.subsets) {
            sizes.push_back(static_cast<int32_t>(t.size()));
            rows.push_back(t.data());
        }
        return d.recognizer(hWnd, etalons, sizes.data(), rows.data(), static_cast<int32_t>(rows.size()), r.proceeding,
                            r.Tmin, r.Tmax, r.level, debug, chains, h);
    }
    }
    return 0;
}

FoundPulse pulseAt(const int16_t* positions, const int16_t* numbers, const int16_t* first, const int16_t* last, int i)
{
    return {positions[i], numbers[i], first[i], last[i]};
}

void collect(const SeriesHeader* h, const ChainsHeader* c, DetectOutcome& o)
{
    const int detected = std::min<int>(h->wDetectedQuantity, h->wPulsesCapacity);
    for (int i = 0; i < detected; i++)
        o.pulses.push_back(pulseAt(h->lpDetectedPositions, h->lpDetectedNumbers, h->lpDetectedCutBegin,
                                   h->lpDetectedCutEnd, i));
    o.hasCost = c->wPretenders > 0;
    o.cost = o.hasCost ? c->distance[0] : 0;
    for (int k = 0; k < c->wPretenders; k++) {
        FoundChain chain{c->distance[k], {}};
        for (int i = 0; i < c->pulsesQuantity[k]; i++)
            chain.pulses.push_back(pulseAt(c->positionsList[k], c->pulsesList[k], c->firstSamplesList[k],
                                           c->lastSamplesList[k], i));
        o.chains.push_back(std::move(chain));
    }
}

// The settings checked against the signal (or one segment of `N` samples).
bool checkRequest(uint16_t count, uint16_t n, int64_t N, const DetectRequest& r, std::string& error)
{
    if (r.Tmin < 1 || r.Tmin > r.Tmax || n > r.Tmin || n > N)
        return refuse(error, "need 1 <= etalon length (" + std::to_string(n) + ") <= Tmin (" + std::to_string(r.Tmin) +
                                 ") <= Tmax (" + std::to_string(r.Tmax) + ") and an etalon length within the signal (" +
                                 std::to_string(N) + " samples)");
    for (uint16_t e : r.required)
        if (e < 1 || e > count)
            return refuse(error, "--required: etalon " + std::to_string(e) + " does not exist (1.." +
                                     std::to_string(count) + ")");
    const DetectorForm form = detectorKindOf(r.slot).form;
    if (form == DetectorForm::Tuples && !checkNumbers(r.subset, count, "--subset", error))
        return false;
    for (const auto& t : r.subsets)
        if (!checkNumbers(t, count, "--subsets", error))
            return false;
    if (form == DetectorForm::TupleRecognizer && r.subsets.empty())
        return refuse(error, "--subsets must hold at least one tuple");
    return true;
}

// One series: the samples [0, N) of `samples`, N <= kMaxSeriesSize.
bool runPiece(HWND hWnd, PulseHeader* etalons, uint16_t count, uint16_t n, const int16_t* samples, int32_t N,
              const DetectRequest& r, DetectOutcome& outcome, std::string& error)
{
    std::unique_ptr<SeriesHeader, SeriesRelease> h(
        getSignalSeriesHeader(hWnd, etalons, count, n, r.Tmin, r.Tmax, samples, N, nullptr));
    if (!h)
        return refuse(error, "the signal could not be prepared for the detectors (see the message above)");
    outcome = DetectOutcome{};
    outcome.minPulses = h->wMinPulses;
    outcome.maxPulses = h->wMaxPulses;
    if (!setCounts(r, h.get(), error))
        return false;
    std::unique_ptr<ChainsHeader, ChainsRelease> chains(
        getChainsHeader(hWnd, std::max<uint16_t>(r.chains, 1), h->wPulsesCapacity, nullptr));
    if (!chains)
        return refuse(error, "out of memory for the chains");
    outcome.result = callDetector(hWnd, etalons, count, r, chains.get(), h.get());
    collect(h.get(), chains.get(), outcome);
    return true;
}

// Why a signal longer than one segment cannot be split for this request; "" when it can.
std::string unsplittable(const DetectRequest& r, int64_t N)
{
    const DetectorKind& kind = detectorKindOf(r.slot);
    const std::string head = "the signal has " + std::to_string(N) + " samples, more than one series of " +
                             std::to_string(r.segment) + " (positions are 16-bit); ";
    if (kind.fixedCount)
        return head + "the fixed-count operations need the whole signal as one series: use detect-unfixed or "
                      "recognize-unfixed, which process it in segments, or cut the signal";
    if (kind.form != DetectorForm::Pulses)
        return head + "the unfixed tuple operations begin every chain with the tuple's first etalon, which a "
                      "segment cut cannot keep: use detect-unfixed or recognize-unfixed, or cut the signal";
    if (r.minPulses > 0 || r.maxPulses > 0)
        return head + "it is processed in segments, each with every admissible pulse count, so --min-pulses and "
                      "--max-pulses do not apply";
    return "";
}

// Runs `s` and, when it cuts the signal short, runs it again up to its
// anchor (or cuts it a margin before its end); sets its end and kept range.
bool runSegment(HWND hWnd, PulseHeader* etalons, uint16_t count, uint16_t n, const std::vector<int16_t>& samples,
                const DetectRequest& r, Segment& s, DetectOutcome& piece, std::string& error)
{
    const int32_t N = static_cast<int32_t>(samples.size()), margin = segmentMargin(n, r.Tmax);
    s.end = static_cast<int32_t>(std::min<int64_t>(int64_t{s.begin} + r.segment, N));
    s.keepTo = s.end;
    if (!runPiece(hWnd, etalons, count, n, samples.data() + s.begin, s.end - s.begin, r, piece, error))
        return false;
    if (s.end == N)
        return true;
    const int32_t anchor = segmentAnchor(piece.pulses, s.end - s.begin, margin);
    if (anchor < 0) {
        s.keepTo = s.end - margin;
        return true;
    }
    s.keepTo = s.begin + anchor;
    s.end = s.keepTo + n;
    return runPiece(hWnd, etalons, count, n, samples.data() + s.begin, s.end - s.begin, r, piece, error);
}

bool runSegments(HWND hWnd, PulseHeader* etalons, uint16_t count, uint16_t n, const std::vector<int16_t>& samples,
                 const DetectRequest& r, DetectOutcome& outcome, std::string& error,
                 const std::function<void(int64_t, int64_t)>& progress)
{
    const int64_t N = static_cast<int64_t>(samples.size());
    const int32_t margin = segmentMargin(n, r.Tmax);
    if (r.segment < 4 * margin)
        return refuse(error, "the segment length must be in " + std::to_string(4 * margin) + ".." +
                                 std::to_string(kMaxSeriesSize) + " (at least 4 (Tmax + etalon length)), not " +
                                 std::to_string(r.segment));
    if (N > std::numeric_limits<int32_t>::max())
        return refuse(error, "the signal has " + std::to_string(N) + " samples; a run takes at most " +
                                 std::to_string(std::numeric_limits<int32_t>::max()));
    DetectOutcome whole;
    Segment s;
    for (;;) {
        DetectOutcome piece;
        if (!runSegment(hWnd, etalons, count, n, samples, r, s, piece, error))
            return refuse(error, "segment from sample " + std::to_string(s.begin) + ": " + error);
        s.hasCost = piece.hasCost;
        s.cost = piece.cost;
        s.result = piece.result;
        s.pulses = mergeSegmentPulses(s, piece.pulses, r.Tmin, whole.pulses);
        whole.segments.push_back(s);
        if (progress)
            progress(s.keepTo, N);
        if (s.keepTo == N)
            break;
        const bool anchored = s.end == s.keepTo + n;
        s = Segment{anchored ? s.keepTo : s.keepTo - margin, 0, s.keepTo, 0};
    }
    whole.result = whole.segments.front().result;
    if (r.slot == DetectorSlot::RecognizeUnfixed) {
        bool agree = true;
        whole.result = segmentsVerdict(whole.segments, agree);
    }
    outcome = std::move(whole);
    return true;
}

} // namespace

bool runOnSignal(HWND hWnd, PulseHeader* etalons, uint16_t count, uint16_t n, const std::vector<int16_t>& samples,
                 const DetectRequest& r, DetectOutcome& outcome, std::string& error,
                 const std::function<void(int64_t done, int64_t total)>& progress)
{
    const int64_t N = static_cast<int64_t>(samples.size());
    if (r.segment < 1 || r.segment > kMaxSeriesSize)
        return refuse(error, "the segment length must be in 1.." + std::to_string(kMaxSeriesSize) + ", not " +
                                 std::to_string(r.segment));
    if (N < 1)
        return refuse(error, "the signal has no samples");
    if (!checkRequest(count, n, std::min<int64_t>(N, r.segment), r, error))
        return false;
    if (N <= r.segment)
        return runPiece(hWnd, etalons, count, n, samples.data(), static_cast<int32_t>(N), r, outcome, error);
    const std::string why = unsplittable(r, N);
    if (!why.empty())
        return refuse(error, why);
    return runSegments(hWnd, etalons, count, n, samples, r, outcome, error, progress);
}
