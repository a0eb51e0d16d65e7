// The scaling of recordings: at the largest amplitude largestAmplitude admits,
// adversarial full-scale signals and etalons run through the fixed-count
// detectors give what a 64-bit twin of their search gives, and every value
// that search forms fits in 32 bits; one step above, the same signals break
// the 32-bit range (the bound is the largest). The other six operations run
// on the same signals, so that the sanitizer build checks their sums too.
// Then the factor's rules.
#include <limits>
#include <random>

#include "recording/recording.h"
#include "support/fixtures.h"

namespace {

constexpr int64_t kFixedStart = 999999, kFixedBound = 9999999, kRecognition = 999999999;

struct Case {
    int n, N, Tmin, Tmax, K;          // etalon length, signal length, distance bounds, pulse count
    std::vector<std::vector<int16_t>> etalons;
    std::vector<int16_t> x;           // the signal
};

// Whole-etalon local costs sum s (s - 2x) of the listed etalons, the cheapest
// (the first on ties) at each position, in 64 bits.
std::vector<int64_t> localCosts(const Case& c, size_t from, size_t to)
{
    std::vector<int64_t> local(size_t(c.N - c.n + 1));
    for (size_t k = 0; k < local.size(); k++)
        for (size_t e = from; e < to; e++) {
            int64_t cost = 0;
            for (int i = 0; i < c.n; i++)
                cost += int64_t{c.etalons[e][i]} * (int64_t{c.etalons[e][i]} - 2 * int64_t{c.x[k + size_t(i)]});
            if (e == from || cost < local[k])
                local[k] = cost;
        }
    return local;
}

// The fixed-count search in 64 bits, as the detectors define it: each layer
// takes the cheapest predecessor in its window or `start`, the cheapest end
// below `bound` (lowest position on ties) is traced back. Records the
// greatest magnitude of every value formed.
struct TwinChain {
    bool found = false;
    int64_t cost = 0;
    std::vector<int> positions;
    int64_t extreme = 0;  // greatest |value| of any layer entry
};

TwinChain fixedTwin(const Case& c, const std::vector<int64_t>& local, int64_t start, int64_t bound)
{
    TwinChain t;
    const int L = c.N, n = c.n, K = c.K;
    std::vector<int> lo(K), hi(K);
    std::vector<std::vector<int64_t>> D(K, std::vector<int64_t>(size_t(L), 0));
    for (int j = 0; j < K; j++) {
        lo[j] = std::max(pulseLowBound(j, K, L, c.Tmin, c.Tmax), 0);
        hi[j] = std::min(pulseHighBound(j, K, L, n, c.Tmin, c.Tmax), L - n);
        for (int k = lo[j]; k <= hi[j]; k++) {
            int64_t B = j == 0 ? 0 : start;
            for (int i = std::max(k - c.Tmax, j ? lo[j - 1] : 0); j && i <= std::min(k - c.Tmin, hi[j - 1]); i++)
                B = std::min(B, D[j - 1][i]);
            D[j][k] = B + local[k];
            t.extreme = std::max({t.extreme, std::abs(D[j][k]), std::abs(local[k])});
        }
    }
    int64_t best = bound;
    int end = -1;
    for (int k = lo[K - 1]; k <= hi[K - 1]; k++)
        if (D[K - 1][k] < best)
            best = D[K - 1][k], end = k;
    if (end < 0)
        return t;
    t.positions.assign(K, end);
    for (int j = K - 2; j >= 0; j--) {
        int64_t least = kRecognition;
        int at = -1;
        for (int k = std::max(t.positions[j + 1] - c.Tmax, lo[j]); k <= std::min(t.positions[j + 1] - c.Tmin, hi[j]); k++)
            if (D[j][k] < least)
                least = D[j][k], at = k;
        if (at < 0)
            return t;
        t.positions[j] = at;
    }
    t.found = true;
    t.cost = best;
    return t;
}

// A random case at amplitude A: etalons and signal of full magnitude A, the
// signal constant -A (the greatest costs), constant +A (the most negative
// chains) or of random signs.
Case adversarialCase(std::mt19937& random, int kind)
{
    auto pick = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(random); };
    Case c;
    c.n = pick(1, 3) == 1 ? pick(1, 4) : pick(5, 64);
    c.Tmin = c.n + pick(0, 2 * c.n);
    c.Tmax = c.Tmin + pick(0, c.Tmin);
    c.N = c.n + pick(0, 12) * c.Tmin + pick(0, c.Tmax);
    const int minP = minPulsesFor(c.N, uint16_t(c.n), uint16_t(c.Tmax)), maxP = maxPulsesFor(c.N, uint16_t(c.n), uint16_t(c.Tmin));
    c.K = kind == 1 ? maxP : pick(minP, std::max(minP, maxP));
    const int A = largestAmplitude(uint16_t(c.n), uint16_t(maxP));
    const int count = pick(1, 3);
    for (int e = 0; e < count; e++) {
        std::vector<int16_t> s(size_t(c.n));
        for (int16_t& v : s)
            v = int16_t(e == 0 ? A : pick(0, 1) ? A : -A);
        c.etalons.push_back(s);
    }
    c.x.resize(size_t(c.N));
    for (int16_t& v : c.x)
        v = int16_t(kind == 0 ? -A : kind == 1 ? A : pick(0, 1) ? A : -A);
    return c;
}

} // namespace

class ScaledDetectors : public FreshStart {
protected:
    std::vector<PulseHeader> entries;

    void store(const Case& c)
    {
        entries = std::vector<PulseHeader>(c.etalons.size());
        for (size_t e = 0; e < c.etalons.size(); e++) {
            entries[e].lpData.reset(new int16_t[size_t(c.n)]);
            std::copy(c.etalons[e].begin(), c.etalons[e].end(), entries[e].lpData.get());
            entries[e].wReservedLength = entries[e].wLength = uint16_t(c.n);
            entries[e].wNumber = uint16_t(e + 1);
        }
    }

    DetectOutcome run(const Case& c, DetectorSlot slot)
    {
        DetectRequest r;
        r.slot = slot;
        r.pulses = detectorKindOf(slot).fixedCount ? c.K : 0;
        r.subset = {1, int32_t(c.etalons.size())};
        r.subsets = {{1}, {int32_t(c.etalons.size()), 1}};
        r.Tmin = uint16_t(c.Tmin);
        r.Tmax = uint16_t(c.Tmax);
        r.level = 100;
        DetectOutcome o;
        std::string error;
        EXPECT_TRUE(runOnSignal(hWnd, entries.data(), uint16_t(entries.size()), uint16_t(c.n), c.x, r, o, error)) << error;
        EXPECT_TRUE(texts().empty());
        return o;
    }
};

TEST_F(ScaledDetectors, AtTheLargestAmplitudeFullScaleSignalsGiveThe64BitResultAndStayWithin32Bits)
{
    std::mt19937 random(8122026);
    int found = 0, recognised = 0;
    for (int trial = 0; trial < 150; trial++) {
        const Case c = adversarialCase(random, trial % 3);
        if (minPulsesFor(c.N, uint16_t(c.n), uint16_t(c.Tmax)) > maxPulsesFor(c.N, uint16_t(c.n), uint16_t(c.Tmin)))
            continue;
        store(c);
        const std::string what = "n " + std::to_string(c.n) + ", N " + std::to_string(c.N) + ", Tmin " +
                                 std::to_string(c.Tmin) + ", Tmax " + std::to_string(c.Tmax) + ", K " + std::to_string(c.K);
        // Detection over every etalon.
        const TwinChain twin = fixedTwin(c, localCosts(c, 0, c.etalons.size()), kFixedStart, kFixedBound);
        EXPECT_LE(twin.extreme, std::numeric_limits<int32_t>::max()) << what;
        const DetectOutcome d = run(c, DetectorSlot::DetectFixed);
        ASSERT_EQ(d.hasCost, twin.found) << what;
        if (twin.found) {
            found++;
            EXPECT_EQ(d.cost, twin.cost) << what;
            for (size_t i = 0; i < d.pulses.size() && i < twin.positions.size(); i++)
                EXPECT_EQ(d.pulses[i].position, twin.positions[i]) << what << ", pulse " << i;
        }
        // Recognition: one search per etalon, from the greatest start constant.
        int64_t winnerCost = kRecognition;
        int winner = -1;
        for (size_t e = 0; e < c.etalons.size(); e++) {
            const TwinChain t = fixedTwin(c, localCosts(c, e, e + 1), kRecognition, kRecognition);
            EXPECT_LE(t.extreme, std::numeric_limits<int32_t>::max()) << what;
            if (t.found && t.cost < winnerCost)
                winnerCost = t.cost, winner = int(e + 1);
        }
        const DetectOutcome r = run(c, DetectorSlot::RecognizeFixed);
        EXPECT_EQ(r.result, winner) << what;
        recognised += winner > 0;
        // The other operations form the same kinds of sums; under the
        // sanitizer build an overflow in any of them fails here.
        for (const DetectorKind& k : kDetectorKinds)
            run(c, k.slot);
    }
    EXPECT_GT(found, 20);
    EXPECT_GT(recognised, 20);
}

TEST(ScalingBound, OneStepAboveTheLargestAmplitudeTheSameSignalsLeave32Bits)
{
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 200; trial++) {
        const int n = std::uniform_int_distribution<int>(1, 64)(random);
        const int Kmax = std::uniform_int_distribution<int>(1, 32767 / n)(random);
        const int64_t A = largestAmplitude(uint16_t(n), uint16_t(Kmax));
        ASSERT_GE(A, 1);
        // Etalon +A against a signal -A: each term 3 A^2 on top of the
        // recognisers' start constant; against +A: -A^2, over Kmax pulses.
        auto fits = [&](int64_t a) {
            return kRecognition + 3 * n * a * a <= std::numeric_limits<int32_t>::max() &&
                   int64_t{Kmax} * n * a * a <= std::numeric_limits<int32_t>::max();
        };
        EXPECT_TRUE(fits(A)) << "n " << n << ", Kmax " << Kmax;
        if (A < 32767) {
            EXPECT_FALSE(fits(A + 1)) << "n " << n << ", Kmax " << Kmax;
        }
    }
    EXPECT_LT(largestAmplitude(20, 1), 32767);  // full-scale 16-bit data overflows even one pulse of 20 samples
}

TEST(ScalingFactor, AutoTakesTheLargestSafeFactorAndAnExplicitOneAboveItIsRefused)
{
    Scaling s;
    std::string error;
    ASSERT_TRUE(chooseScale(0, 2.0, 0.5, 1000, s, error));
    EXPECT_NEAR(s.factor, 500.0, 1e-6);
    std::vector<int16_t> out;
    EXPECT_EQ(scaleSamples({2.0, -2.0, 0.5, 0.0}, s.factor, 1000, out), 0);
    EXPECT_EQ(out, (std::vector<int16_t>{1000, -1000, 250, 0}));
    // An explicit factor may clip the signal (counted) but never the etalons.
    ASSERT_TRUE(chooseScale(1000, 2.0, 0.5, 1000, s, error));
    EXPECT_EQ(scaleSamples({2.0, -0.9, 1.5}, s.factor, 1000, out), 2);
    EXPECT_EQ(out, (std::vector<int16_t>{1000, -900, 1000}));
    EXPECT_FALSE(chooseScale(2001, 2.0, 0.5, 1000, s, error));
    EXPECT_NE(error.find("above the limit 2000"), std::string::npos) << error;
    ASSERT_TRUE(chooseScale(0, 0.0, 0.0, 1000, s, error));  // silence: factor 1
    EXPECT_EQ(s.factor, 1.0);
}
