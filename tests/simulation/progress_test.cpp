// The progress text of a long run on fixed figures, and when the progress
// line is written, on a terminal and as plain lines, driven by given times.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/progress_line.h"
#include "simulation/simulation.h"

TEST(ProgressText, PercentCountRateElapsedAndRemainingOnFixedFigures)
{
    EXPECT_EQ(progressText(0, 72500, 0.0, "trials"),
              "0.0% 0/72500 trials, -- trials/s, elapsed 0:00, remaining --");
    EXPECT_EQ(progressText(32700, 72500, 79.4, "trials"),
              "45.1% 32700/72500 trials, 412 trials/s, elapsed 1:19, remaining 1:37");
    EXPECT_EQ(progressText(72499, 72500, 7205.0, "trials"),
              "99.9% 72499/72500 trials, 10.1 trials/s, elapsed 2:00:05, remaining 0:00")
        << "100.0% only once everything is done";
    EXPECT_EQ(progressText(3, 12, 4.0, "samples"),
              "25.0% 3/12 samples, 0.8 samples/s, elapsed 0:04, remaining 0:12");
    EXPECT_EQ(progressText(12, 12, 4.0, "samples"),
              "100.0% 12/12 samples, 3.0 samples/s, elapsed 0:04, remaining 0:00");
    EXPECT_EQ(durationText(-1.0), "--");
    EXPECT_EQ(durationText(3599.4), "59:59");
    EXPECT_EQ(durationText(3600.0), "1:00:00");
}

namespace {

// What a line writes for the trials of a run of `total` trials, one every
// `step` seconds.
std::string written(ProgressLine line, int64_t total, double step)
{
    char* text = nullptr;
    size_t size = 0;
    line.out = open_memstream(&text, &size);
    for (int64_t done = 1; done <= total; done++)
        line.show(done, total, double(done) * step);
    std::fclose(line.out);
    std::string out(text, size);
    std::free(text);
    return out;
}

std::vector<std::string> split(const std::string& text, char at)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t i; (i = text.find(at, from)) != std::string::npos; from = i + 1)
        parts.push_back(text.substr(from, i - from));
    parts.push_back(text.substr(from));
    return parts;
}

} // namespace

TEST(ProgressLineOutput, ATerminalLineIsRedrawnInPlaceTwiceASecondAndEndedOnce)
{
    ProgressLine line;
    line.terminal = true;
    const std::string out = written(line, 1000, 0.01);  // ten seconds
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line, redrawn";
    const std::vector<std::string> draws = split(out.substr(0, out.size() - 1), '\r');
    EXPECT_EQ(draws.front(), "");
    EXPECT_GE(draws.size(), 21u);
    EXPECT_LE(draws.size(), 24u) << "at most twice a second, and the end";
    for (size_t i = 2; i < draws.size(); i++)
        EXPECT_GE(draws[i].size(), draws[i - 1].find_last_not_of(' ') + 1)
            << "a shorter line blanks the rest of the longer one before it";
    EXPECT_EQ(draws.back().rfind("100.0% 1000/1000 trials", 0), 0u) << draws.back();
}

TEST(ProgressLineOutput, PlainLinesComeEveryTenthAtMostEveryFiveSecondsAndAtTheEnd)
{
    ProgressLine line;
    const std::vector<std::string> lines = split(written(line, 1000, 0.1), '\n');  // 100 seconds
    EXPECT_EQ(lines.back(), "") << "every line ended";
    EXPECT_EQ(lines.size(), 12u) << "the first, one per tenth, the end";
    EXPECT_EQ(lines[9].rfind("90.0% 900/1000 trials", 0), 0u) << lines[9];
    EXPECT_EQ(lines[lines.size() - 2].rfind("100.0% 1000/1000 trials", 0), 0u);
    for (const std::string& l : lines)
        EXPECT_EQ(l.find('\r'), std::string::npos);

    // a fast run: tenths a second apart give lines five seconds apart at most
    EXPECT_EQ(split(written(line, 1000, 0.001), '\n').size(), 3u) << "the first, the end";
    // a slow one: a line a minute even within one tenth (100 trials of 20 s)
    const size_t slow = split(written(line, 100, 20.0), '\n').size();
    EXPECT_GE(slow, 34u);
    EXPECT_LE(slow, 46u);

    line.quiet = true;
    EXPECT_EQ(written(line, 1000, 0.1), "");
    line.terminal = true;
    EXPECT_EQ(written(line, 1000, 0.1), "");
}
