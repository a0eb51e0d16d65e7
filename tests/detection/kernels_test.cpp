// The detectors' vector kernels on every instruction set this processor runs:
// the local match costs against the single-position form, and one layer of
// the fixed-count search (one chain, or chains side by side) against a plain
// scan of each window.
#include <climits>
#include <random>

#include "detection/matchkernels.h"
#include "support/fixtures.h"
#include "support/targets.h"

namespace {

class MatchKernels : public FreshStart {};

TEST_F(MatchKernels, CostsEqualTheSinglePositionFormOnEveryTarget)
{
    std::mt19937 random(1219);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    std::vector<int16_t> x(700);
    onEveryTarget(matchKernelTarget, [&](const char* target) {
        for (int trial = 0; trial < 60; trial++) {
            const int n = pick(1, 24);
            // Every 16-bit sample against quiet etalons, or loud etalons:
            // products and sums up to about 2^29.
            const int loud = trial % 4 == 0 ? 32767 : pick(0, 2000);
            buildAlphabet(static_cast<int16_t>(pick(1, loud == 32767 ? 250 : 3000)), 20, static_cast<uint16_t>(n));
            for (int16_t& v : x)
                v = static_cast<int16_t>(pick(-loud - (loud == 32767), loud));
            std::vector<uint16_t> list;
            for (int i = pick(1, 21); i > 0; i--)
                list.push_back(static_cast<uint16_t>(pick(1, 20)));
            const int level = trial % 6 == 0 ? 100 : trial % 6 == 1 ? 0 : pick(0, 130);
            MatchTable table;
            prepareMatchTable(table, alphabet, static_cast<uint16_t>(list.size()), list.data(), static_cast<uint16_t>(n),
                              static_cast<uint16_t>(level));
            const int L = static_cast<int>(x.size());
            // Ranges shorter than a vector, and ranges that end inside one.
            const int first = pick(0, L - n), last = trial % 3 == 0 ? std::min(L - n, first + pick(0, 17))
                                                                     : pick(first, L - n);
            const int from = pick(0, table.count - 1), to = pick(from + 1, table.count);
            const size_t stride = (table.count + 7) / 8 * 8 + pick(0, 1) * 8;
            std::vector<int32_t> cost(L, 0), each(L * stride, 0);
            matchCosts(table, from, to, x.data(), first, last, cost.data());
            matchCostsEach(table, x.data(), first, last, each.data(), stride);
            for (int l = first; l <= last; l++) {
                ASSERT_EQ(cost[l], localMatchAt(table, from, to, x.data() + l).cost)
                    << target << ", trial " << trial << ", position " << l;
                for (int e = 0; e < table.count; e++)
                    ASSERT_EQ(each[l * stride + e], localMatchAt(table, e, e + 1, x.data() + l).cost)
                        << target << ", trial " << trial << ", position " << l << ", entry " << e;
            }
            std::vector<int32_t> at(pick(0, 40));
            for (int32_t& p : at)
                p = pick(0, L - n);
            std::vector<int32_t> atCosts(at.size() * stride, 0);
            matchCostsAt(table, x.data(), at.data(), static_cast<int32_t>(at.size()), atCosts.data(), stride);
            for (size_t i = 0; i < at.size(); i++)
                for (int e = 0; e < table.count; e++)
                    ASSERT_EQ(atCosts[i * stride + e], localMatchAt(table, e, e + 1, x.data() + at[i]).cost)
                        << target << ", trial " << trial << ", listed position " << at[i] << ", entry " << e;
            EXPECT_TRUE(std::all_of(cost.begin(), cost.begin() + first, [](int32_t c) { return c == 0; }));
            EXPECT_TRUE(std::all_of(cost.begin() + last + 1, cost.end(), [](int32_t c) { return c == 0; }));
        }
    });
}

// One layer by scanning each window: min(start, window minimum) + local, in
// 32-bit wrap-around.
std::vector<int32_t> layerByScan(const std::vector<int32_t>& prev, int prevLo, int prevHi,
                                 const std::vector<int32_t>& local, int lo, int hi, int Tmin, int Tmax, int32_t start,
                                 size_t stride)
{
    std::vector<int32_t> out((hi - lo + 1) * stride);
    for (int k = lo; k <= hi; k++)
        for (size_t e = 0; e < stride; e++) {
            int32_t least = start;
            for (int p = std::max(k - Tmax, prevLo); p <= std::min(k - Tmin, prevHi); p++)
                least = std::min(least, prev[(p - prevLo) * stride + e]);
            out[(k - lo) * stride + e] =
                static_cast<int32_t>(static_cast<uint32_t>(least) + static_cast<uint32_t>(local[(k - lo) * stride + e]));
        }
    return out;
}

TEST(FixedLayerKernel, WindowMinimaEqualAScanOfEachWindowOnEveryTarget)
{
    std::mt19937 random(7);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    onEveryTarget(matchKernelTarget, [&](const char* target) {
        for (int trial = 0; trial < 300; trial++) {
            const size_t stride = trial % 4 == 0 ? 1 : 8 * pick(1, 3); // one chain, or chains side by side
            const int Tmin = pick(1, 12), Tmax = Tmin + pick(0, trial % 2 ? 3 : 40);
            const int prevLo = pick(0, 60), prevHi = prevLo + pick(-1, 90); // sometimes an empty layer
            const int lo = pick(0, 150), hi = lo + pick(-1, 120);
            // Few distinct values (ties) or the whole range (wrap-around of the sum).
            const bool wide = trial % 5 == 0;
            auto value = [&] { return wide ? static_cast<int32_t>(random()) : pick(-5, 5); };
            const int32_t start = wide ? static_cast<int32_t>(random()) : pick(-3, 8);
            std::vector<int32_t> prev(std::max(prevHi - prevLo + 1, 0) * stride), local(std::max(hi - lo + 1, 0) * stride);
            for (int32_t& v : prev)
                v = value();
            for (int32_t& v : local)
                v = value();
            const size_t work = prev.size() + 2 * (Tmax - Tmin) + 1;
            std::vector<int32_t> padded(work), ahead(work), behind(work), out(local.size());
            if (stride == 1)
                fixedLayer(prev.data(), prevLo, prevHi, local.data(), lo, hi, Tmin, Tmax, start, padded.data(),
                           ahead.data(), behind.data(), out.data());
            else
                fixedLayerAcross(prev.data(), prevLo, prevHi, local.data(), lo, hi, Tmin, Tmax, start, stride,
                                 ahead.data(), behind.data(), out.data());
            ASSERT_EQ(out, layerByScan(prev, prevLo, prevHi, local, lo, hi, Tmin, Tmax, start, stride))
                << target << ", trial " << trial << ", T " << Tmin << ".." << Tmax << ", previous " << prevLo << ".."
                << prevHi << ", layer " << lo << ".." << hi;
        }
    });
}

} // namespace
