// The progress text of a long run: percent, count, rate, elapsed and
// remaining time, shared by the batch commands' progress lines and the
// window's progress dialog. A few hundred calls per run.
#include <cmath>
#include <cstdio>

#include "simulation.h"

std::string durationText(double seconds)
{
    if (!(seconds >= 0) || seconds > 1e9)  // NaN, negative or beyond any run
        return "--";
    const long long whole = std::llround(seconds);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string progressText(int64_t done, int64_t total, double elapsedSeconds, const char* unit)
{
    // tenths of a percent rounded down: 100.0% only once everything is done
    const long long tenths = total > 0 ? static_cast<long long>(done * 1000 / total) : 1000;
    const bool measured = done > 0 && elapsedSeconds > 0;
    const double rate = measured ? double(done) / elapsedSeconds : 0.0;
    char rateText[32] = "--";
    if (measured)
        std::snprintf(rateText, sizeof rateText, rate >= 100 ? "%.0f" : "%.1f", rate);
    const std::string remaining = measured ? durationText(double(total - done) / rate) : "--";
    char text[200];
    std::snprintf(text, sizeof text, "%lld.%lld%% %lld/%lld %s, %s %s/s, elapsed %s, remaining %s", tenths / 10,
                  tenths % 10,
                  static_cast<long long>(done), static_cast<long long>(total), unit, rateText, unit,
                  durationText(elapsedSeconds).c_str(), remaining.c_str());
    return text;
}
