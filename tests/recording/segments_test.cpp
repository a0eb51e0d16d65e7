// Long signals in segments cut at pulses: the anchor and the merge rule, the
// segmented run against the same stretch in one piece on random pulse trains
// that follow the model, the operations that refuse a long signal, and the
// evaluation against a truth beside a brute-force matching twin.
#include <algorithm>
#include <random>

#include "recording/recording.h"
#include "support/fixtures.h"

TEST(SegmentAnchor, TheLastPulseAtLeastTheMarginInsideBothEdgesOrNone)
{
    const std::vector<FoundPulse> found{{3, 1, 0, 4}, {40, 1, 0, 4}, {61, 2, 0, 4}, {89, 1, 0, 4}};
    EXPECT_EQ(segmentAnchor(found, 100, 12), 61);   // 89 lies within 12 of the end
    EXPECT_EQ(segmentAnchor(found, 100, 2), 89);
    EXPECT_EQ(segmentAnchor(found, 100, 39), 61);
    EXPECT_EQ(segmentAnchor(found, 100, 40), -1);   // 40 is not beyond the margin, 61 not 40 before the end
    EXPECT_EQ(segmentAnchor({}, 100, 10), -1);
    EXPECT_EQ(segmentMargin(20, 200), 220);
}

TEST(SegmentMerge, APulseSeenOnBothSidesOfACutIsKeptOnceFromTheEarlierSegment)
{
    const Segment first{0, 100, 0, 70}, second{40, 140, 70, 140};
    std::vector<FoundPulse> merged;
    EXPECT_EQ(mergeSegmentPulses(first, {{10, 1, 0, 4}, {66, 2, 0, 4}, {80, 1, 0, 4}}, 20, merged), 2);
    // 26 + 40 = 66 lies before the second's range; 31 + 40 = 71 lies 5 after 66: the same pulse.
    EXPECT_EQ(mergeSegmentPulses(second, {{26, 2, 0, 4}, {31, 2, 0, 4}, {60, 3, 0, 4}}, 20, merged), 1);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].position, 10);
    EXPECT_EQ(merged[1].position, 66);
    EXPECT_EQ(merged[2].position, 100);
    EXPECT_EQ(merged[2].etalon, 3);
}

namespace {

struct Train {
    std::vector<int16_t> samples;
    std::vector<int> positions, etalons;
    uint16_t Tmin = 0, Tmax = 0;
};

// A train of `etalons` (alphabet entries) that follows the model, in uniform
// noise of +-noise: gaps in Tmin..Tmax (Tmax - Tmin >= n), first start within
// Tmax - n, last within Tmax of the end.
Train makeTrain(std::mt19937& random, const PulseHeader* alphabet, const std::vector<int>& etalons, int n, int noise)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    Train t;
    t.Tmin = uint16_t(pick(n, 3 * n));
    t.Tmax = uint16_t(t.Tmin + pick(n, 4 * n));  // room for a stand-in pulse at a probe's end
    const int length = pick(1500, 7000);
    int at = pick(0, t.Tmax - n);
    while (at + n <= length) {
        t.positions.push_back(at);
        t.etalons.push_back(etalons[size_t(pick(0, int(etalons.size()) - 1))]);
        at += pick(t.Tmin, t.Tmax);
    }
    const int N = t.positions.back() + pick(n, t.Tmax);
    t.samples.resize(size_t(N));
    for (int16_t& v : t.samples)
        v = int16_t(pick(-noise, noise));
    for (size_t i = 0; i < t.positions.size(); i++)
        for (int k = 0; k < n; k++)
            t.samples[size_t(t.positions[i] + k)] += alphabet[t.etalons[i] - 1].lpData[k];
    return t;
}

} // namespace

class SegmentedRuns : public FreshStart {
protected:
    static constexpr int kLength = 20;

    DetectOutcome run(const Train& t, DetectorSlot slot, int32_t segment, uint16_t count)
    {
        DetectRequest r;
        r.slot = slot;
        r.Tmin = t.Tmin;
        r.Tmax = t.Tmax;
        r.segment = segment;
        DetectOutcome o;
        std::string error;
        EXPECT_TRUE(runOnSignal(hWnd, alphabet, count, kLength, t.samples, r, o, error)) << error;
        EXPECT_TRUE(texts().empty());
        return o;
    }
};

TEST_F(SegmentedRuns, OnTrainsThatFollowTheModelTheMergedPulsesEqualTheWholeStretchInOnePiece)
{
    buildAlphabet(128, 4, kLength);
    std::mt19937 random(15122026);
    int segmentedRuns = 0;
    for (int trial = 0; trial < 400; trial++) {
        const bool recognise = trial % 2 == 1;
        const std::vector<int> etalons = recognise ? std::vector<int>{1 + trial % 4} : std::vector<int>{1, 2, 3, 4};
        const Train t = makeTrain(random, alphabet, etalons, kLength, 8);
        const DetectorSlot slot = recognise ? DetectorSlot::RecognizeUnfixed : DetectorSlot::DetectUnfixed;
        const int32_t N = int32_t(t.samples.size());
        const int32_t least = 4 * segmentMargin(kLength, t.Tmax);
        const int32_t segment = std::uniform_int_distribution<int32_t>(least, std::max(least, N / 2))(random);
        const std::string what = "trial " + std::to_string(trial) + ", N " + std::to_string(N) + ", Tmin " +
                                 std::to_string(t.Tmin) + ", Tmax " + std::to_string(t.Tmax) + ", segment " +
                                 std::to_string(segment);
        const DetectOutcome whole = run(t, slot, kMaxSeriesSize, 4);
        const DetectOutcome parts = run(t, slot, segment, 4);
        ASSERT_TRUE(whole.segments.empty());
        ASSERT_EQ(whole.pulses.size(), t.positions.size()) << what;  // the twin itself finds the truth
        segmentedRuns += parts.segments.size() > 1;
        ASSERT_EQ(parts.pulses.size(), whole.pulses.size()) << what;
        int32_t kept = 0, tiled = 0;
        for (const Segment& s : parts.segments) {
            kept += s.pulses;
            EXPECT_EQ(s.keepFrom, tiled) << what;  // the kept ranges tile the signal
            EXPECT_LE(s.end - s.begin, segment) << what;
            tiled = s.keepTo;
        }
        EXPECT_EQ(tiled, N) << what;
        EXPECT_EQ(kept, int32_t(parts.pulses.size())) << what;
        for (size_t i = 0; i < whole.pulses.size(); i++) {
            EXPECT_EQ(parts.pulses[i].position, whole.pulses[i].position) << what << ", pulse " << i;
            EXPECT_EQ(parts.pulses[i].etalon, whole.pulses[i].etalon) << what << ", pulse " << i;
            EXPECT_EQ(parts.pulses[i].cutBegin, whole.pulses[i].cutBegin) << what << ", pulse " << i;
            EXPECT_EQ(parts.pulses[i].cutEnd, whole.pulses[i].cutEnd) << what << ", pulse " << i;
        }
        for (const Segment& s : parts.segments)
            if (recognise) {
                EXPECT_EQ(s.result, whole.result) << what;
            }
    }
    EXPECT_GT(segmentedRuns, 300);
}

TEST_F(SegmentedRuns, TheFixedCountAndTupleOperationsAndCountBoundsRefuseASignalLongerThanOneSegment)
{
    buildAlphabet(128, 4, kLength);
    std::mt19937 random(7);
    const Train t = makeTrain(random, alphabet, {1, 2}, kLength, 10);
    const int32_t segment = 4 * segmentMargin(kLength, t.Tmax);
    ASSERT_GT(int32_t(t.samples.size()), segment);
    struct Case {
        DetectorSlot slot;
        int32_t minPulses;
        const char* message;
    } cases[] = {
        {DetectorSlot::DetectFixed, 0, "the fixed-count operations need the whole signal as one series: use detect-unfixed"},
        {DetectorSlot::RecognizeFixedTuples, 0, "the fixed-count operations need the whole signal"},
        {DetectorSlot::DetectUnfixedTuples, 0, "begin every chain with the tuple's first etalon"},
        {DetectorSlot::RecognizeUnfixedTuples, 0, "begin every chain with the tuple's first etalon"},
        {DetectorSlot::DetectUnfixed, 2, "--min-pulses and --max-pulses do not apply"},
    };
    for (const Case& c : cases) {
        DetectRequest r;
        r.slot = c.slot;
        r.pulses = detectorKindOf(c.slot).fixedCount ? 3 : 0;
        r.minPulses = c.minPulses;
        r.subset = {1, 2};
        r.subsets = {{1, 2}};
        r.Tmin = t.Tmin;
        r.Tmax = t.Tmax;
        r.segment = segment;
        DetectOutcome o;
        std::string error;
        EXPECT_FALSE(runOnSignal(hWnd, alphabet, 4, kLength, t.samples, r, o, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    DetectRequest r;  // a segment too short for the overlap
    r.slot = DetectorSlot::DetectUnfixed;
    r.Tmin = t.Tmin;
    r.Tmax = t.Tmax;
    r.segment = segment - 1;
    DetectOutcome o;
    std::string error;
    EXPECT_FALSE(runOnSignal(hWnd, alphabet, 4, kLength, t.samples, r, o, error));
    EXPECT_NE(error.find("the segment length must be in " + std::to_string(segment)), std::string::npos) << error;
    EXPECT_TRUE(texts().empty());
}

namespace {

// The most pairs (true, found) within the tolerance, by trying every assignment.
int bruteHits(const std::vector<FoundPulse>& found, const std::vector<TruePulse>& truth, size_t i, std::vector<bool>& used,
              int tolerance)
{
    if (i == truth.size())
        return 0;
    int best = bruteHits(found, truth, i + 1, used, tolerance);
    for (size_t f = 0; f < found.size(); f++)
        if (!used[f] && std::abs(found[f].position - truth[i].position) <= tolerance) {
            used[f] = true;
            best = std::max(best, 1 + bruteHits(found, truth, i + 1, used, tolerance));
            used[f] = false;
        }
    return best;
}

} // namespace

TEST(TruthEvaluation, TheOrderedMatchingFindsAsManyPairsAsEveryAssignmentAndCountsConsistently)
{
    std::mt19937 random(2026);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int trial = 0; trial < 3000; trial++) {
        std::vector<TruePulse> truth(size_t(pick(0, 6)));
        for (TruePulse& t : truth)
            t = {pick(0, 30), pick(0, 3)};
        std::sort(truth.begin(), truth.end(), [](auto& a, auto& b) { return a.position < b.position; });
        std::vector<FoundPulse> found(size_t(pick(0, 6)));
        for (FoundPulse& f : found)
            f = {pick(0, 30), pick(1, 3), 0, 0};
        const int tolerance = pick(0, 4);
        std::vector<bool> used(found.size());
        const Evaluation e = evaluate(found, truth, tolerance);
        ASSERT_EQ(e.hits, bruteHits(found, truth, 0, used, tolerance)) << "trial " << trial;
        EXPECT_EQ(e.misses + e.hits, int(truth.size()));
        EXPECT_EQ(e.falseAlarms + e.hits, int(found.size()));
        EXPECT_LE(e.confusions, e.etalonsKnown);
        EXPECT_LE(e.etalonsKnown, e.hits);
        EXPECT_LE(e.maxError, tolerance);
        EXPECT_LE(e.meanError, e.maxError);
    }
    const Evaluation e = evaluate({{10, 1, 0, 0}, {52, 2, 0, 0}, {90, 1, 0, 0}}, {{9, 1}, {50, 1}, {70, 0}}, 2);
    EXPECT_EQ(e.hits, 2);
    EXPECT_EQ(e.misses, 1);
    EXPECT_EQ(e.falseAlarms, 1);
    EXPECT_EQ(e.confusions, 1);
    EXPECT_EQ(e.maxError, 2);
    EXPECT_DOUBLE_EQ(e.meanError, 1.5);
}
