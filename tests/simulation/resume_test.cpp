// Checkpoints of the batch simulation: a run cancelled after any number of
// trials and resumed (once or twice, on another thread count) writes the very
// files of the run never interrupted, also for a replicate seed; checkpoints
// that are damaged, foreign or for other options are refused and change
// nothing; the ranges of trials done and missing against a bit-set twin.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "checkpoint/checkpoint.h"
#include "app/simulate_command.h"

namespace fs = std::filesystem;

namespace {

int64_t fixedClock()
{
    return 1700000000;  // every run takes no time: the files hold no clock's digits
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Resume : public ::testing::Test {
protected:
    SimulateOptions options;
    fs::path root;
    int64_t (*savedClock)() = nullptr;

    void SetUp() override
    {
        savedClock = simClock;
        simClock = fixedClock;
        root = fs::temp_directory_path() / ("pulsebench-resume-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        options.length = 300;
        options.pulsesFrom = 3;
        options.pulsesTo = 5;
        options.noiseInitial = 10;
        options.noiseSteps = 3;
        options.noiseStep = 20;
        options.repeats = 4;  // 3 x 3 x 4 = 36 trials
        options.required = 5;
        options.quiet = true;
    }
    void TearDown() override
    {
        simClock = savedClock;
        fs::remove_all(root);
    }

    // The result files of a run into `out`, by name, without what tells runs
    // apart (the `run` record: threads, times, command line; and the file
    // sizes that its rows change).
    std::map<std::string, std::string> results(const fs::path& out)
    {
        std::map<std::string, std::string> files;
        for (const char* name : {"simulation.json", "simulation.csv", "description.csv"})
            files[name] = readText(out / name);
        if (nlohmann::json j = nlohmann::json::parse(files["simulation.json"], nullptr, false); j.is_object()) {
            j.erase("run");
            j.erase("files");
            files["simulation.json"] = j.dump();
        }
        std::istringstream rows(files["description.csv"]);
        std::string kept;
        for (std::string line; std::getline(rows, line);)
            if (line.rfind("run.", 0) != 0)
                kept += line + "\n";
        files["description.csv"] = kept;
        return files;
    }

    std::map<std::string, std::string> uninterrupted(const std::string& name)
    {
        SimulateOptions o = options;
        o.out = (root / name).string();
        o.threads = 1;
        EXPECT_EQ(runSimulate(o), 0);
        return results(o.out);
    }
};

} // namespace

TEST_F(Resume, CancelledAfterAnyTrialAndResumedWritesTheUninterruptedRunsFiles)
{
    for (uint32_t seed : {0u, 77u}) {
        options.seed = seed;
        const auto expected = uninterrupted("whole-" + std::to_string(seed));
        for (int64_t k : {0, 1, 7, 17, 35}) {
            for (int threads : {1, 2}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + ", cancelled after " + std::to_string(k) + " on " +
                             std::to_string(threads) + " threads");
                const fs::path out = root / "out", checkpoint = root / "run.checkpoint";
                fs::remove_all(out);
                fs::remove(checkpoint);
                SimulateOptions first = options;
                first.out = out.string();
                first.threads = threads;
                first.checkpoint = checkpoint.string();
                first.cancelAfter = k;
                if (runSimulate(first) == 0) {  // the trials in flight were the last: nothing to cancel
                    EXPECT_TRUE(threads > 1 && k > 30);
                    EXPECT_EQ(results(out), expected);
                    continue;
                }
                EXPECT_FALSE(fs::exists(out)) << "a cancelled run writes no result";
                ASSERT_TRUE(fs::exists(checkpoint));
                // a second interruption, then the rest on the other thread count
                SimulateOptions second = options;
                second.out = out.string();
                second.threads = 3 - threads;
                second.resume = checkpoint.string();
                second.cancelAfter = 5;
                const int code = runSimulate(second);
                second.cancelAfter = -1;
                if (code != 0) {
                    EXPECT_EQ(runSimulate(second), 0);
                }
                EXPECT_EQ(results(out), expected);
            }
        }
    }
}

TEST_F(Resume, DamagedForeignAndOtherOptionsCheckpointsAreRefusedAndNothingIsWritten)
{
    const fs::path checkpoint = root / "run.checkpoint", out = root / "out";
    SimulateOptions o = options;
    o.out = out.string();
    o.threads = 1;
    o.checkpoint = checkpoint.string();
    o.cancelAfter = 10;
    ASSERT_EQ(runSimulate(o), 1);
    const std::string good = readText(checkpoint);
    nlohmann::json j = nlohmann::json::parse(good);
    EXPECT_EQ(j["format_version"], kCheckpointFormat);
    EXPECT_EQ(j["done"], nlohmann::json::parse("[[0, 10]]")) << "exactly the trials counted, on one thread";

    auto edited = [&j](const char* key, nlohmann::json value) {
        nlohmann::json e = j;
        e[key] = value;
        return e.dump();
    };
    auto firstCell = [&j](const char* sums) {
        nlohmann::json e = j;
        e["sums"][0] = nlohmann::json::parse(sums);
        return e.dump();
    };
    const struct {
        std::string text;     // the checkpoint's bytes
        std::string fault;    // a piece of the message
    } cases[] = {
        {"", "not a JSON object"},
        {good.substr(0, good.size() / 2), "not a JSON object"},
        {"[1, 2]", "not a JSON object"},
        {edited("kind", "other"), "no pulsebench simulate checkpoint"},
        {edited("format_version", 99), "format_version 99"},
        {edited("program", "pulsebench 0.0 (commit 000000000000)"), "not by this program"},
        {edited("trials", 35), "\"trials\" must be 36"},
        {edited("done", nlohmann::json::parse("[[0, 40]]")), "within 36 trials"},
        {edited("done", nlohmann::json::parse("[[5, 3], [2, 1]]")), "ranges must ascend"},
        {edited("done", nlohmann::json::parse("[[0, 3], [3, 1]]")), "stay apart"},
        {edited("done", nlohmann::json::parse("[[0, \"3\"]]")), "not a [first, count] range"},
        {edited("sums", nlohmann::json::array()), "one entry per grid cell"},
        {firstCell("[1, 2, -3, 0, 0, 0, 0]"), "must not be negative"},
        {firstCell("[1, 2, 3, 0, -1, 0, 0]"), "must not be negative"},
        {firstCell("[1, 2, 3]"), "seven integers"},
        {firstCell("[0, 0, 5, 0, 0, 0, 0]"), "more wrong recognitions than trials"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        { std::ofstream(checkpoint, std::ios::binary) << c.text; }
        SimulateOptions again = options;
        again.out = out.string();
        again.resume = checkpoint.string();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runSimulate(again), 1);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(checkpoint.string()), std::string::npos) << said;
        EXPECT_NE(said.find(c.fault), std::string::npos) << said;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(readText(checkpoint), c.text) << "the refused checkpoint stays as it was";
    }
    {
        SimulateOptions missing = options;
        missing.out = out.string();
        missing.resume = (root / "none.checkpoint").string();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runSimulate(missing), 1);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("none.checkpoint: cannot be read"), std::string::npos);
        EXPECT_FALSE(fs::exists(out));
    }
    // a cell's sums one by one, and options that differ
    std::string error;
    TrawlingCellSums sums;
    for (const char* bad : {"[1, 2]", "[1, 2, -3]", "[1, 2.5, 3]", "{\"a\": 1}", "[1, 2, 3, 4]"})
        EXPECT_FALSE(cellSumsFromJson(nlohmann::json::parse(bad), sums, error)) << bad;
    EXPECT_TRUE(cellSumsFromJson(cellSumsJson({5, 6, 7}), sums, error));
    EXPECT_EQ(sums, (TrawlingCellSums{5, 6, 7}));
    { std::ofstream(checkpoint, std::ios::binary) << good; }
    for (auto change : {+[](SimulateOptions& x) { x.repeats = 5; }, +[](SimulateOptions& x) { x.seed = 3; },
                        +[](SimulateOptions& x) { x.noiseStep = 21; }}) {
        SimulateOptions other = options;
        change(other);
        other.out = out.string();
        other.resume = checkpoint.string();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runSimulate(other), 1);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("written for other options"), std::string::npos);
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(readText(checkpoint), good);
}

TEST(TrialRanges, JoinedAndMissingRangesMatchABitSetTwinOnEverySetOfTenTrials)
{
    std::mt19937 pick(1018);
    for (unsigned mask = 0; mask < 1024; mask++) {
        std::vector<TrialRange> pieces;  // each run of done trials cut into random overlapping pieces
        for (int t = 0; t < 10; t++)
            if (mask >> t & 1)
                pieces.push_back({t, 1 + int64_t(pick() % 2) * ((mask >> (t + 1) & 1) ? 1 : 0)});
        std::shuffle(pieces.begin(), pieces.end(), pick);
        const std::vector<TrialRange> done = joinRanges(pieces);
        const std::vector<TrialRange> missing = missingRanges(done, 10);
        unsigned fromDone = 0, fromMissing = 0;
        for (const TrialRange& r : done)
            for (int64_t t = r.first; t < r.first + r.count; t++)
                fromDone |= 1u << t;
        for (const TrialRange& r : missing)
            for (int64_t t = r.first; t < r.first + r.count; t++)
                fromMissing |= 1u << t;
        ASSERT_EQ(fromDone, mask);
        ASSERT_EQ(fromMissing, ~mask & 1023u);
        ASSERT_EQ(rangeTrials(done) + rangeTrials(missing), 10);
        for (size_t i = 1; i < done.size(); i++)
            ASSERT_GT(done[i].first, done[i - 1].first + done[i - 1].count) << "apart, not touching";
        for (size_t i = 1; i < missing.size(); i++)
            ASSERT_GT(missing[i].first, missing[i - 1].first + missing[i - 1].count);
    }
}
