// pulsebench simulate under mpirun: for a small grid of every task (1, 2, 4,
// 36, 40), runs on 1, 2 and 3 processes write the files of the plain
// one-process run, byte for byte but for the elapsed time, and the trials the
// processes ran add up to the run's (how they are shared depends on how soon
// each process starts, so a late one may run none); a process that fails or aborts ends the run with a message
// and no result file; a signal to mpirun stops every process and leaves the
// earlier results. Runs the real program through mpirun on this machine
// (loopback only); each run takes a second or two, most of it mpirun's start.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "support/child.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = PULSEBENCH_PROGRAM;  // the pulsebench built beside this test
constexpr const char* kMpiexec = PULSEBENCH_MPIEXEC;  // the launcher CMake found
// What lets mpirun start on one machine in a container, as root, with no
// network but loopback and no ssh: shared memory between the processes,
// no binding to cores, no remote shell.
constexpr const char* kMpiFlags = "--allow-run-as-root --oversubscribe --bind-to none --mca btl self,vader "
                                  "--mca btl_vader_single_copy_mechanism none --mca plm_rsh_agent false";
// A small grid: pulse counts 3 and 5, three noise levels, four repeats (24 trials).
constexpr const char* kGrid = "--length 300 --pulses-from 3 --pulses-to 5 --pulses-step 2 --noise-steps 3 "
                              "--noise-step 20 --repeats 4 --threads 2";

struct Outcome {
    int code = -1;       // exit code of the command (128 + signal when killed)
    std::string errors;  // what it wrote on standard error
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The result files of a run, the elapsed time and the record of how the run
// was made taken out (the clock's, the command line's): everything else must
// not depend on processes or threads.
struct Files {
    std::string csv;          // simulation.csv
    std::string description;  // description.csv without its elapsedSeconds and run.* lines
    std::string json;         // simulation.json without description.elapsedSeconds and run
    bool operator==(const Files&) const = default;
};

Files readResults(const fs::path& dir)
{
    Files f;
    f.csv = readFile(dir / "simulation.csv");
    f.description = std::regex_replace(readFile(dir / "description.csv"),
                                       std::regex("elapsedSeconds,[0-9]+\n|run\\.[^\n]*\n"), "");
    const std::string text = readFile(dir / "simulation.json");
    if (!text.empty()) {
        nlohmann::json j = nlohmann::json::parse(text);
        j["description"].erase("elapsedSeconds");
        EXPECT_TRUE(j["run"].contains("processes"));
        j.erase("run");
        // The list of the set's files must fit the files; its size of
        // description.csv depends on the elapsed time's digits.
        for (const auto& file : j["files"])
            EXPECT_EQ(file["bytes"], fs::file_size(dir / file["name"].get<std::string>())) << file["name"];
        j.erase("files");
        f.json = j.dump();
    }
    return f;
}

class MpiBatch : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override
    {
        // Under the sanitizer build the processes keep their memory checks but
        // not the leak report at exit: Open MPI's plugins leave allocations
        // behind and are unloaded before they could be named and suppressed.
        // Our own code's leaks are checked by the in-process suites.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() / ("pulsebench-mpi-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    Outcome run(const std::string& command)
    {
        const fs::path errors = root / "stderr.txt";
        const int status = std::system(("timeout 600 " + command + " 2> " + errors.string()).c_str());
        Outcome o;
        o.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        o.errors = readFile(errors);
        return o;
    }

    Outcome plain(const std::string& options, const fs::path& out)
    {
        return run(std::string(kProgram) + " simulate " + options + " --out " + out.string());
    }

    Outcome mpi(int processes, const std::string& options, const fs::path& out)
    {
        return run(std::string(kMpiexec) + " " + kMpiFlags + " -n " + std::to_string(processes) + " " + kProgram +
                   " simulate " + options + " --out " + out.string());
    }

    // mpirun's command line, for a Child.
    static std::vector<std::string> mpiArguments(int processes, const std::string& options, const fs::path& out)
    {
        std::vector<std::string> args;
        std::stringstream words(std::string(kMpiexec) + " " + kMpiFlags + " -n " + std::to_string(processes) + " " +
                                kProgram + " simulate " + options + " --out " + out.string());
        for (std::string word; words >> word;)
            args.push_back(word);
        return args;
    }

    // The trials each process ran, from rank 0's summary line.
    static std::vector<long> trialsPerProcess(const std::string& errors)
    {
        std::smatch m;
        std::vector<long> out;
        if (!std::regex_search(errors, m, std::regex(R"(trials on \d+ processes \(([0-9, ]+)\))")))
            return out;
        std::stringstream list(m[1].str());
        std::string item;
        while (std::getline(list, item, ','))
            out.push_back(std::stol(item));
        return out;
    }
};

struct Task {
    const char* name;     // the task type the options make
    const char* options;  // task, series type, required etalons and subsets
};

const Task kTasks[] = {
    {"1 detection", "--task 1 --series-type 1"},
    {"2 recognition", "--task 2 --series-type 8 --required 4"},
    {"4 joint detection and identification", "--task 4 --series-type 2 --required 4"},
    {"36 tuples detection", "--task 1 --series-type 36 --subset 2,5 --employment 3"},
    {"40 tuples recognition", "--task 2 --series-type 40 --subsets \"2,5;9,14,3\" --employment 1"},
};

TEST_F(MpiBatch, OneTwoAndThreeProcessesWriteThePlainRunsFilesForEveryTask)
{
    for (const Task& task : kTasks) {
        const std::string options = std::string(kGrid) + " " + task.options;
        const Outcome alone = plain(options + " --quiet", root / "plain");
        ASSERT_EQ(alone.code, 0) << task.name << ": " << alone.errors;
        const Files expected = readResults(root / "plain");
        ASSERT_FALSE(expected.json.empty()) << task.name;
        for (int processes : {1, 2, 3}) {
            const fs::path out = root / ("n" + std::to_string(processes));
            const Outcome split = mpi(processes, options, out);
            ASSERT_EQ(split.code, 0) << task.name << " on " << processes << " processes: " << split.errors;
            EXPECT_EQ(readResults(out), expected) << task.name << " on " << processes << " processes";
            const std::vector<long> trials = trialsPerProcess(split.errors);
            ASSERT_EQ(trials.size(), size_t(processes)) << split.errors;
            long total = 0;
            for (long t : trials) {
                EXPECT_GE(t, 0) << task.name << ": " << split.errors;
                total += t;
            }
            EXPECT_EQ(total, 24) << task.name;
            fs::remove_all(out);
        }
        fs::remove_all(root / "plain");
    }
}

TEST_F(MpiBatch, StreamsAtTheEndAreThoseOfThePlainRun)
{
    const std::string options = std::string(kGrid) + " --task 4 --series-type 8 --required 3 --subset 4,7 "
                                                     "--employment 5";
    ASSERT_EQ(plain(options + " --quiet", root / "plain").code, 0);
    ASSERT_EQ(mpi(3, options, root / "n3").code, 0);
    const auto streams = [](const fs::path& dir) {
        return nlohmann::json::parse(readFile(dir / "simulation.json"))["randomStreams"];
    };
    EXPECT_EQ(streams(root / "n3"), streams(root / "plain"));
    // the streams moved: 24 series of 300 noisy samples and their pulses
    EXPECT_NE(streams(root / "plain")["wNoiseSeed"], 10597);
    EXPECT_NE(streams(root / "plain")["wPositionSeed"], 12345);
}

TEST_F(MpiBatch, ARunCancelledUnderMpirunAndResumedWritesTheUninterruptedRunsFiles)
{
    // a larger grid than kGrid: 3 x 4 x 6 = 72 trials, so that both processes run some
    const std::string options = "--length 300 --pulses-from 3 --pulses-to 5 --noise-steps 4 --noise-step 20 "
                                "--repeats 6 --required 4 --seed 9";
    ASSERT_EQ(plain(options + " --quiet", root / "plain").code, 0);
    const Files expected = readResults(root / "plain");
    const std::string checkpoint = (root / "run.checkpoint").string();
    for (int cancelAfter : {1, 4, 9}) {
        SCOPED_TRACE(cancelAfter);
        fs::remove(checkpoint);
        const Outcome first = mpi(2, options + " --checkpoint " + checkpoint + " --cancel-after " +
                                         std::to_string(cancelAfter), root / "out");
        if (first.code == 0) {  // rank 0 finished its share before the hook could strike
            EXPECT_EQ(readResults(root / "out"), expected);
            fs::remove_all(root / "out");
            continue;
        }
        EXPECT_FALSE(fs::exists(root / "out")) << first.errors;
        ASSERT_TRUE(fs::exists(checkpoint)) << first.errors;
        EXPECT_NE(first.errors.find("--resume " + checkpoint + " continues"), std::string::npos) << first.errors;
        // resumed under mpirun for the first two, in one process for the last
        const Outcome resumed = cancelAfter < 9 ? mpi(2, options + " --resume " + checkpoint, root / "out")
                                                : plain(options + " --threads 2 --resume " + checkpoint, root / "out");
        ASSERT_EQ(resumed.code, 0) << resumed.errors;
        EXPECT_EQ(readResults(root / "out"), expected);
        fs::remove_all(root / "out");
    }
    // a checkpoint for other options is refused by rank 0, and nothing runs
    ASSERT_EQ(plain(options + " --quiet --checkpoint " + checkpoint + " --cancel-after 3", root / "out").code, 1);
    const Outcome refused = mpi(2, options + " --noise-initial 5 --resume " + checkpoint, root / "out");
    EXPECT_NE(refused.code, 0);
    EXPECT_NE(refused.errors.find("written for other options"), std::string::npos) << refused.errors;
    EXPECT_FALSE(fs::exists(root / "out"));
}

TEST_F(MpiBatch, AReplicateSeedWritesThePlainRunsFiles)
{
    const std::string options = std::string(kGrid) + " --task 4 --series-type 8 --required 3 --seed 4242";
    ASSERT_EQ(plain(options + " --quiet", root / "plain").code, 0);
    ASSERT_EQ(plain(std::string(kGrid) + " --task 4 --series-type 8 --required 3 --quiet", root / "seed0").code, 0);
    const Outcome split = mpi(2, options, root / "n2");
    ASSERT_EQ(split.code, 0) << split.errors;
    const Files expected = readResults(root / "plain");
    EXPECT_EQ(readResults(root / "n2"), expected);
    EXPECT_NE(expected.csv, readResults(root / "seed0").csv) << "a replicate is another run";
    EXPECT_NE(expected.description.find("seed,4242\n"), std::string::npos) << expected.description;
    EXPECT_NE(split.errors.find("100.0% 24/24 trials"), std::string::npos) << "trials finished: " << split.errors;
}

TEST_F(MpiBatch, ChartIsWrittenOnceByRankZero)
{
    const Outcome split = mpi(2, std::string(kGrid) + " --chart 2 --quiet", root / "out");
    ASSERT_EQ(split.code, 0) << split.errors;
    EXPECT_TRUE(fs::exists(root / "out" / "chart-2.png"));
    EXPECT_TRUE(fs::exists(root / "out" / "simulation.json"));
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(root / "out")) {
        (void)entry;
        files++;
    }
    EXPECT_EQ(files, 4u) << "three tables and the chart, no leftover partial file";
}

TEST_F(MpiBatch, FailingProcessEndsTheRunWithAMessageAndNoFile)
{
    for (int failing : {1, 0}) {
        const Outcome failed = mpi(3, std::string(kGrid) + " --fail-process " + std::to_string(failing), root / "out");
        EXPECT_NE(failed.code, 0);
        EXPECT_NE(failed.errors.find("process " + std::to_string(failing) + " of 3 failed"), std::string::npos)
            << failed.errors;
        EXPECT_NE(failed.errors.find("no result file was written"), std::string::npos) << failed.errors;
        EXPECT_FALSE(fs::exists(root / "out" / "simulation.json"));
        EXPECT_FALSE(fs::exists(root / "out" / "simulation.csv"));
        EXPECT_FALSE(fs::exists(root / "out" / "description.csv"));
    }
}

TEST_F(MpiBatch, AbortingProcessEndsTheWholeJobAndNoFileIsWritten)
{
    const Outcome crashed = mpi(3, std::string(kGrid) + " --crash-process 2", root / "out");
    EXPECT_NE(crashed.code, 0);
    EXPECT_NE(crashed.errors.find("process 2 aborts"), std::string::npos) << crashed.errors;
    EXPECT_FALSE(fs::exists(root / "out"));
}

TEST_F(MpiBatch, RefusedGridIsReportedOnceAndWritesNothing)
{
    const Outcome refused = mpi(2, "--length 300 --pulses-from 2 --pulses-to 12 --repeats 2", root / "out");
    EXPECT_NE(refused.code, 0);
    const size_t first = refused.errors.find("допустимо от 1 до 8");
    EXPECT_NE(first, std::string::npos) << refused.errors;
    EXPECT_EQ(refused.errors.find("допустимо от 1 до 8", first + 1), std::string::npos) << "once: " << refused.errors;
    EXPECT_NE(refused.errors.find("no result file was written"), std::string::npos) << refused.errors;
    EXPECT_FALSE(fs::exists(root / "out"));
}

TEST_F(MpiBatch, SignalToMpirunStopsEveryProcessAndKeepsTheEarlierResults)
{
    ASSERT_EQ(plain(std::string(kGrid) + " --quiet", root / "out").code, 0);
    const Files previous = readResults(root / "out");
    for (int number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(number);
        // The default grid: a minute or more on two processes.
        Child job(mpiArguments(2, "--threads 1", root / "out"));
        ASSERT_TRUE(job.waitForText("remaining")) << job.errors;
        job.signal(number);
        EXPECT_NE(job.finish(), 0) << job.errors;
        EXPECT_EQ(readResults(root / "out"), previous);
        size_t files = 0;
        for (const auto& entry : fs::directory_iterator(root / "out")) {
            (void)entry;
            files++;
        }
        EXPECT_EQ(files, 3u) << "the three tables, no temporary";
    }
}

} // namespace
