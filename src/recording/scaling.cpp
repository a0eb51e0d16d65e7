// Scaling a recording and its etalons to the detectors' 16-bit samples: the
// largest amplitude at which no 32-bit sum of the detectors overflows (the
// bound is derived in recording.h), the factor, and the rounding with the
// clipped samples counted. Called once per run, O(samples).
#include <cmath>
#include <cstdio>
#include <limits>

#include "recording.h"

namespace {

constexpr int64_t kLargestConstant = 999999999;  // the searches' greatest "unreachable" cost (kRecognitionBound)
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

int32_t largestAmplitude(uint16_t n, uint16_t Kmax)
{
    const int64_t N = std::max<int64_t>(n, 1), K = std::max<int64_t>(Kmax, 1);
    int64_t lo = 0, hi = 32767;
    auto fits = [&](int64_t A) {
        return kLargestConstant + 3 * N * A * A <= kInt32Max && K * N * A * A <= kInt32Max;
    };
    while (lo < hi) { // the greatest A that fits; fits is monotone in A
        const int64_t mid = (lo + hi + 1) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return static_cast<int32_t>(lo);
}

double peakOf(const std::vector<double>& values)
{
    double peak = 0;
    for (double v : values)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

bool chooseScale(double requested, double signalPeak, double etalonPeak, int32_t amplitude, Scaling& scaling,
                 std::string& error)
{
    if (!(requested >= 0) || !std::isfinite(requested))
        return error = "--scale must be auto or a positive number, not " + number(requested), false;
    if (amplitude < 1)
        return error = "no scale keeps the detectors' 32-bit sums from overflowing for these etalon and chain "
                       "lengths", false;
    // The greatest factor that keeps the etalons within the amplitude; the
    // tiny margin keeps a rounded product from stepping over it.
    const double etalonLimit = etalonPeak > 0 ? amplitude / etalonPeak * (1 - 1e-12) : HUGE_VAL;
    double factor = requested;
    if (requested == 0) {
        const double peak = std::max(signalPeak, etalonPeak);
        factor = peak > 0 ? amplitude / peak * (1 - 1e-12) : 1.0;
    } else if (requested > etalonLimit) {
        return error = "--scale " + number(requested) + " is above the limit " + number(etalonLimit) +
                       " (the etalons would exceed +-" + std::to_string(amplitude) +
                       ", the largest sample at which the detectors' 32-bit sums cannot overflow for this etalon "
                       "length and pulse count)", false;
    }
    scaling.factor = factor;
    scaling.amplitude = amplitude;
    scaling.clipped = 0;
    return true;
}

int64_t scaleSamples(const std::vector<double>& values, double factor, int32_t amplitude, std::vector<int16_t>& out)
{
    out.resize(values.size());
    int64_t clipped = 0;
    for (size_t k = 0; k < values.size(); k++) {
        const double v = std::nearbyint(values[k] * factor);
        if (std::fabs(v) > amplitude) {
            clipped++;
            out[k] = static_cast<int16_t>(v > 0 ? amplitude : -amplitude);
        } else {
            out[k] = static_cast<int16_t>(v);
        }
    }
    return clipped;
}
