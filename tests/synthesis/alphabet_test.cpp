// Etalon alphabet: the stated shapes, energies, noise-like range, rebuilds and
// the resampling of a pulse.
#include <numeric>

#include "support/fixtures.h"

namespace {

std::vector<int> samples(const PulseHeader& p)
{
    return std::vector<int>(p.lpData.get(), p.lpData.get() + p.wLength);
}

long energy(const PulseHeader& p)
{
    long e = 0;
    for (int i = 0; i < p.wLength; i++)
        e += p.lpData[i] * p.lpData[i];
    return e;
}

std::vector<int> negated(std::vector<int> v)
{
    for (int& x : v)
        x = -x;
    return v;
}

} // namespace

using MakeAlphabet = FreshStart;

TEST_F(MakeAlphabet, DefaultShapesAreTheStatedSamples)
{
    buildAlphabet();
    const std::vector<int> e3 = {12, 24, 36, 47, 57, 65, 72, 78, 81, 83, 83, 81, 78, 72, 65, 57, 47, 36, 24, 12};
    const std::vector<int> e5 = {24, 47, 65, 78, 83, 81, 72, 57, 36, 12, -12, -36, -57, -72, -81, -83, -78, -65, -47, -24};
    const std::vector<int> e7 = {0, 117, 87, -90, -147, 0, 112, 53, -40, -50, 0, 29, 14, -10, -13, 0, 7, 3, -2, -3};
    const std::vector<int> e9 = {0, 102, 115, 117, 118, 91, 71, 55, 43, 33, 26, 20, 15, 12, 9, 7, 5, 4, 3, 2};
    EXPECT_EQ(samples(alphabet[0]), std::vector<int>(20, 60));
    EXPECT_EQ(samples(alphabet[1]), std::vector<int>(20, -60));
    EXPECT_EQ(samples(alphabet[2]), e3);
    EXPECT_EQ(samples(alphabet[3]), negated(e3));
    EXPECT_EQ(samples(alphabet[4]), e5);
    EXPECT_EQ(samples(alphabet[5]), negated(e5));
    EXPECT_EQ(samples(alphabet[6]), e7);
    EXPECT_EQ(samples(alphabet[7]), negated(e7));
    EXPECT_EQ(samples(alphabet[8]), e9);
    EXPECT_EQ(samples(alphabet[9]), negated(e9));
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(alphabet[i].wNumber, i + 1);
        EXPECT_EQ(alphabet[i].wLength, 20);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(MakeAlphabet, AnalyticShapesHaveTheStatedEnergies)
{
    buildAlphabet();
    EXPECT_EQ(energy(alphabet[0]), 72000);
    EXPECT_EQ(energy(alphabet[2]), 72834);
    EXPECT_EQ(energy(alphabet[4]), 72834);
    EXPECT_EQ(energy(alphabet[6]), 71797);
    EXPECT_EQ(energy(alphabet[8]), 72156);
}

TEST_F(MakeAlphabet, NoiseLikeEtalonsStayWithinAmplitudeAndDifferFromEachOther)
{
    buildAlphabet();
    for (int i = 10; i < 20; i++) {
        for (int k = 0; k < 20; k++) {
            EXPECT_GE(alphabet[i].lpData[k], -128);
            EXPECT_LE(alphabet[i].lpData[k], 127);
        }
        if (i > 10) {
            EXPECT_NE(samples(alphabet[i]), samples(alphabet[i - 1]));
        }
    }
    // They are drawn from one stream: 10 etalons x 20 samples x 12 draws.
    EXPECT_EQ(streams.wNoiseEtalonSeed, advanced(kNoiseEtalonSeedStart, 10 * 20 * 12));

    // A small amplitude makes the clipping bite: -a .. a - 1 exactly.
    PulseHeader small[kAlphabetCapacity];
    ASSERT_EQ(makeAlphabet(hWnd, 4, 20, 50, small, streams), 1);
    bool low = false, high = false;
    for (int i = 10; i < 20; i++)
        for (int k = 0; k < 50; k++) {
            ASSERT_GE(small[i].lpData[k], -4);
            ASSERT_LE(small[i].lpData[k], 3);
            low |= small[i].lpData[k] == -4;
            high |= small[i].lpData[k] == 3;
        }
    EXPECT_TRUE(low && high);
}

TEST_F(MakeAlphabet, RebuildReusesStorageAndWarnsOnceOnlyWhenLengthGrows)
{
    buildAlphabet();
    const int16_t* first = alphabet[0].lpData.get();
    const int16_t* last = alphabet[19].lpData.get();
    std::vector<int> noisy = samples(alphabet[12]);

    ASSERT_EQ(makeAlphabet(hWnd, 128, 20, 20, alphabet, streams), 1);
    EXPECT_EQ(alphabet[0].lpData.get(), first);
    EXPECT_EQ(alphabet[19].lpData.get(), last);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_NE(samples(alphabet[12]), noisy) << "the noise stream goes on between builds";

    ASSERT_EQ(makeAlphabet(hWnd, 128, 20, 12, alphabet, streams), 1);
    EXPECT_EQ(alphabet[0].lpData.get(), first) << "shorter fits in place";
    EXPECT_EQ(alphabet[0].wReservedLength, 20);
    EXPECT_EQ(alphabet[0].wLength, 12);
    EXPECT_EQ(boxes.count(), 0u);

    ASSERT_EQ(makeAlphabet(hWnd, 128, 20, 32, alphabet, streams), 1);
    auto shown = boxes.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Предварительное освобождение памяти!");
    EXPECT_EQ(shown[0].caption, "Отладка");
    EXPECT_EQ(shown[0].flags, MB_OK | MB_ICONWARNING);
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(alphabet[i].wReservedLength, 32);
        EXPECT_EQ(alphabet[i].wLength, 32);
    }
}

TEST_F(MakeAlphabet, RefusesMoreThanTwentyEtalonsAndTouchesNothing)
{
    buildAlphabet();
    std::vector<int> before = samples(alphabet[5]);
    EXPECT_EQ(makeAlphabet(hWnd, 128, 21, 20, alphabet, streams), 0);
    EXPECT_EQ(makeAlphabet(hWnd, 128, 20, 0, alphabet, streams), 0);
    EXPECT_EQ(boxes.count(), 2u);
    EXPECT_EQ(samples(alphabet[5]), before);
}

TEST_F(MakeAlphabet, ShortAlphabetsAndShortPulsesAreBuiltWithoutFault)
{
    for (uint16_t n = 1; n <= 6; n++)
        for (uint16_t count = 1; count <= 20; count += 19) {
            PulseHeader entries[kAlphabetCapacity];
            ASSERT_EQ(makeAlphabet(hWnd, 128, count, n, entries, streams), 1);
            EXPECT_EQ(entries[count - 1].wNumber, count);
            if (count < kAlphabetCapacity) {
                EXPECT_EQ(entries[count].lpData, nullptr) << "entries past the count stay empty";
            }
        }
}

TEST(ResamplePulse, GivesTheStatedCases)
{
    const int16_t src[] = {0, 10, 20};
    int16_t d5[5], d2[2], d1[1];
    resamplePulse(3, src, 5, d5);
    resamplePulse(3, src, 2, d2);
    resamplePulse(3, src, 1, d1);
    EXPECT_EQ(std::vector<int>(d5, d5 + 5), (std::vector<int>{0, 5, 10, 15, 20}));
    EXPECT_EQ(std::vector<int>(d2, d2 + 2), (std::vector<int>{0, 20}));
    EXPECT_EQ(d1[0], 20);
}

TEST(ResamplePulse, SingleSourceSampleFillsEveryDestination)
{
    const int16_t src[] = {-7};
    int16_t dst[6];
    resamplePulse(1, src, 6, dst);
    EXPECT_EQ(std::vector<int>(dst, dst + 6), std::vector<int>(6, -7));
}

TEST(ResamplePulse, MatchesExactInterpolationOverRandomPulses)
{
    // Reference: destination k at source position k (S - 1) / (D - 1), the
    // fraction applied with truncation toward zero.
    int16_t seed = 99;
    for (int trial = 0; trial < 500; trial++) {
        int S = 2 + nextRandom(seed) % 40, D = 2 + nextRandom(seed) % 40;
        std::vector<int16_t> src(S), dst(D), inv(D);
        for (int16_t& v : src)
            v = static_cast<int16_t>(nextRandom(seed) % 2001 - 1000);
        resamplePulse(S, src.data(), D, dst.data());
        invertPulse(S, src.data(), D, inv.data());
        for (int k = 0; k < D; k++) {
            long num = static_cast<long>(k) * (S - 1);
            int j = static_cast<int>(num / (D - 1));
            int rem = static_cast<int>(num % (D - 1));
            int expected = (j + 1 < S) ? src[j] + (src[j + 1] - src[j]) * rem / (D - 1) : src[S - 1];
            ASSERT_EQ(dst[k], expected) << "S " << S << " D " << D << " k " << k;
            ASSERT_EQ(inv[k], -expected);
        }
        if (S == D) {
            ASSERT_EQ(dst, src);
        }
    }
}
