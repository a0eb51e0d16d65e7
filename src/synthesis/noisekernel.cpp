// The vector kernel of the additive noise, one copy per instruction set (this
// file is compiled once per target through foreach_target.h). Lane j draws the
// twelve values of sample i + j: the lanes start at the stream jumped ahead by
// 12 j draws, each draw is the start's affine image, and after a vector each
// lane jumps 12 N draws.
// The product with sigma is split at bit 15 so that it stays in 32 bits and
// still rounds toward minus infinity as the 64-bit one does.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "synthesis/noisekernel.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include "synthesis/noisekernel.h"
#include "synthesis/synthesis.h"

HWY_BEFORE_NAMESPACE();
namespace pulsebench {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

constexpr int kNoiseLanes = 16;

// x -> a x + c modulo 32768 that `draws` steps of the stream make.
void affinePower(uint64_t draws, int32_t& a, int32_t& c)
{
    int16_t zero = 0, one = 1;
    c = jumpRandom(zero, draws);
    a = (jumpRandom(one, draws) - c) & 0x7FFF;
}

int32_t AddGaussNoise(int16_t& seed, int16_t sigma, const int16_t* pure, int16_t* noisy, int32_t count)
{
    const hn::CappedTag<int32_t, kNoiseLanes> d;
    const hn::Rebind<int16_t, decltype(d)> d16;
    const hn::Rebind<uint16_t, decltype(d)> du16;
    const hn::RebindToUnsigned<decltype(d)> du;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    const int32_t done = count / N * N;
    if (done == 0)
        return 0;
    HWY_ALIGN int32_t starts[kNoiseLanes];
    int16_t s = seed;
    for (int32_t j = 0; j < N; j++) {
        starts[j] = static_cast<uint16_t>(s) & 0x7FFF;
        jumpRandom(s, 12);
    }
    // Draw r of a sample straight from the state before it (no chain of
    // twelve steps), and the state before the sample N further on.
    int32_t powers[12], offsets[12];
    for (int r = 0; r < 12; r++)
        affinePower(static_cast<uint64_t>(r + 1), powers[r], offsets[r]);
    int32_t a = 0, c = 0;
    affinePower(12u * static_cast<uint64_t>(N), a, c);
    const auto mask = hn::Set(d, 0x7FFF);
    const auto skip = hn::Set(d, a), skipAdd = hn::Set(d, c), centre = hn::Set(d, 196608), sig = hn::Set(d, sigma);
    auto x = hn::Load(d, starts);
    for (int32_t i = 0; i < done; i += N) {
        auto sum = hn::Zero(d);
        for (int r = 0; r < 12; r++)
            sum = hn::Add(sum, hn::And(hn::Add(hn::Mul(x, hn::Set(d, powers[r])), hn::Set(d, offsets[r])), mask));
        const auto dev = hn::Sub(sum, centre);
        const auto high = hn::ShiftRight<15>(dev), low = hn::And(dev, mask);
        const auto noise = hn::Add(hn::Mul(high, sig), hn::ShiftRight<15>(hn::Mul(low, sig)));
        const auto sample = hn::Add(hn::PromoteTo(d, hn::LoadU(d16, pure + i)), noise);
        hn::StoreU(hn::BitCast(d16, hn::TruncateTo(du16, hn::BitCast(du, sample))), d16, noisy + i);
        x = hn::And(hn::Add(hn::Mul(x, skip), skipAdd), mask);
    }
    // Lane 0 now stands before sample `done`; the caller's stream continues there.
    seed = static_cast<int16_t>(hn::GetLane(x));
    return done;
}

const char* NoiseTargetName()
{
    return hwy::TargetName(HWY_TARGET);
}

} // namespace HWY_NAMESPACE
} // namespace pulsebench
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pulsebench {
HWY_EXPORT(AddGaussNoise);
HWY_EXPORT(NoiseTargetName);
} // namespace pulsebench

int32_t addGaussNoise(int16_t& seed, int16_t sigma, const int16_t* pure, int16_t* noisy, int32_t count)
{
    return count > 0 ? HWY_DYNAMIC_DISPATCH(pulsebench::AddGaussNoise)(seed, sigma, pure, noisy, count) : 0;
}

const char* noiseKernelTarget()
{
    return HWY_DYNAMIC_DISPATCH(pulsebench::NoiseTargetName)();
}
#endif // HWY_ONCE
