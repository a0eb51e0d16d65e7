// The executable where memory, threads or the display run out: a message and
// exit 1, or the same results with fewer threads, never an abort. Every run is
// a child process with its own environment and address-space limit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/folder.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Outcome {
    int code = -1;       // exit code; -1 when the child was killed by a signal
    int signal = 0;      // the signal that ended it, 0 when it exited
    std::string errors;  // what it wrote on standard error
};

// Runs pulsebench with `arguments` in the environment `environment` only (PATH
// and HOME added), its address space limited to `limitMegabytes` (0: no limit).
Outcome runPulsebench(const std::vector<std::string>& arguments, std::vector<std::string> environment,
                      const fs::path& errors, long limitMegabytes = 0)
{
    environment.push_back("PATH=/usr/bin:/bin");
    environment.push_back("HOME=" + errors.parent_path().string());
    std::vector<std::string> words{PULSEBENCH_EXE};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        dup2(fd, 1);
        if (limitMegabytes > 0) {
            const rlim_t bytes = static_cast<rlim_t>(limitMegabytes) << 20;
            const rlimit limit{bytes, bytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    Outcome out;
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return out;
    if (WIFEXITED(status))
        out.code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        out.signal = WTERMSIG(status);
    out.errors = readAll(errors);
    return out;
}

class Limits : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override
    {
        root = freshTestFolder("pulsebench-limits");
    }
    void TearDown() override { fs::remove_all(root); }

    static void skipWithSanitizers()
    {
#ifdef PULSEBENCH_SANITIZE
        GTEST_SKIP() << "the sanitizers reserve more address space than any limit leaves";
#endif
    }
};

// The pixels of a 32-bit BMP left of x = 1100: the series area and the
// alphabet, without the choice panels (which show the settings the dialogs
// accepted, refused run or not). Empty for anything else.
std::string seriesArea(const std::string& bmp)
{
    auto word = [&bmp](size_t at) {
        return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 |
               uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 3])) << 24;
    };
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M' || (word(28) & 0xFFFF) != 32)
        return "";
    const size_t offset = word(10), width = word(18), height = word(22), kept = 1100;
    if (width < kept || bmp.size() < offset + width * height * 4)
        return "";
    std::string out;
    for (size_t row = 0; row < height; row++)
        out += bmp.substr(offset + row * width * 4, kept * 4);
    return out;
}

// An X display number with no server behind it on this machine.
std::string absentDisplay()
{
    for (int n = 187; n < 250; n++)
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n)))
            return ":" + std::to_string(n);
    return ":249";
}

} // namespace

TEST_F(Limits, BatchSimulationOutOfMemoryIsOneLineAndExitOneWithNoResultFile)
{
    skipWithSanitizers();
    // 1638 pulse counts x 4096 noise levels: 160 MB of cells in the record
    // and as much again for the sums; the limits leave room for one or none.
    const std::vector<std::string> big{"simulate",     "--length",      "32767", "--tmin",        "20",
                                       "--tmax",       "32767",         "--pulses-from", "1", "--pulses-to",
                                       "1638",         "--noise-steps", "4096",  "--repeats",     "1",
                                       "--quiet",      "--out"};
    for (long megabytes : {150L, 250L}) {
        std::vector<std::string> arguments = big;
        arguments.push_back((root / "out").string());
        const Outcome o = runPulsebench(arguments, {}, root / "errors.txt", megabytes);
        EXPECT_EQ(o.signal, 0) << megabytes << " MB: " << o.errors;
        EXPECT_EQ(o.code, 1) << megabytes << " MB: " << o.errors;
        EXPECT_NE(o.errors.find("pulsebench simulate: out of memory"), std::string::npos) << o.errors;
        EXPECT_EQ(o.errors.find("terminate"), std::string::npos) << o.errors;
        EXPECT_FALSE(fs::exists(root / "out" / "simulation.json"));
        EXPECT_FALSE(fs::exists(root / "out" / "simulation.csv"));
    }
}

TEST_F(Limits, BatchSimulationWithThreadsThatCannotStartWritesTheSameTablesOrNothing)
{
    skipWithSanitizers();
    const std::vector<std::string> grid{"simulate",    "--length",  "300",       "--pulses-from", "3",
                                        "--pulses-to", "5",         "--noise-steps", "3",         "--noise-step",
                                        "20",          "--repeats", "3",         "--quiet"};
    std::vector<std::string> one = grid, many = grid;
    for (const char* word : {"--threads", "1", "--out"})
        one.push_back(word);
    one.push_back((root / "one").string());
    // 64 workers of 8 MB of stack each do not fit in 400 MB beside the program.
    for (const char* word : {"--threads", "64", "--out"})
        many.push_back(word);
    many.push_back((root / "many").string());
    const Outcome a = runPulsebench(one, {}, root / "one.txt");
    ASSERT_EQ(a.code, 0) << a.errors;
    // Whether the workers that did start leave the trials enough memory
    // depends on when each one takes its own (the C library's per-thread
    // heaps): the run either ends with the same tables, or says it ran out
    // of memory and writes nothing. Never an abort, never other tables.
    EXPECT_FALSE(readAll(root / "one" / "simulation.csv").empty());
    for (long megabytes : {400L, 500L}) {
        fs::remove_all(root / "many");
        const Outcome b = runPulsebench(many, {}, root / "many.txt", megabytes);
        EXPECT_EQ(b.signal, 0) << megabytes << " MB: " << b.errors;
        if (b.code == 0) {
            EXPECT_EQ(readAll(root / "many" / "simulation.csv"), readAll(root / "one" / "simulation.csv"));
            continue;
        }
        EXPECT_EQ(b.code, 1) << megabytes << " MB: " << b.errors;
        EXPECT_NE(b.errors.find("pulsebench simulate: out of memory"), std::string::npos) << b.errors;
        EXPECT_FALSE(fs::exists(root / "many" / "simulation.csv"));
    }
}

TEST_F(Limits, WindowSimulationOutOfMemoryIsABoxAndThePreviousChartsStay)
{
    skipWithSanitizers();
    // A small simulation shown, then one whose grid does not fit, then the
    // charts shown again: the same picture.
    std::ofstream(root / "script.txt")
        << "answer ok \"Samples Length=600\"\n"
           "answer ok from=5 to=6 incr.=1 \"Number of Repeats=2\" \"Initial Level=10\" "
           "\"Number of Steps in Simulation=2\" \"Noise Increment per Step=10\"\n"
           "answer ok\n"
           "answer ok\n"
           "menu 40012\n"
           "snapshot before.bmp\n"
           "dump series before.json\n"
           "answer ok \"Samples Length=32767\"\n"
           "answer ok from=1 to=1638 incr.=1 \"Number of Repeats=1\" \"Initial Level=0\" "
           "\"Number of Steps in Simulation=4096\" \"Noise Increment per Step=1\"\n"
           "answer ok\n"
           "menu 40012\n"
           "answer ok\n"
           "menu 40015\n"
           "snapshot after.bmp\n"
           "dump series after.json\n"
           "messages messages.json\n";
    const Outcome o = runPulsebench({"--headless", "--script", (root / "script.txt").string(), "--out",
                                     (root / "out").string()},
                                    {}, root / "errors.txt", 250);
    EXPECT_EQ(o.signal, 0) << o.errors;
    ASSERT_EQ(o.code, 0) << o.errors;
    const std::string messages = readAll(root / "out" / "messages.json");
    EXPECT_NE(messages.find("Нет памяти для newRestErrorHeader"), std::string::npos) << messages;
    EXPECT_TRUE(readAll(root / "out" / "after.json") == readAll(root / "out" / "before.json")) << "the series changed";
    const std::string before = seriesArea(readAll(root / "out" / "before.bmp"));
    EXPECT_FALSE(before.empty());
    EXPECT_TRUE(seriesArea(readAll(root / "out" / "after.bmp")) == before) << "the charts changed";
}

TEST_F(Limits, WindowWithoutADisplaySaysHowToRunHeadlessAndExitsOne)
{
    for (const std::vector<std::string>& environment :
         {std::vector<std::string>{}, std::vector<std::string>{"DISPLAY=" + absentDisplay()},
          std::vector<std::string>{"DISPLAY=localhost" + absentDisplay()}}) {
        const Outcome o = runPulsebench({}, environment, root / "errors.txt");
        const std::string which = environment.empty() ? "no DISPLAY" : environment[0];
        EXPECT_EQ(o.signal, 0) << which << ": " << o.errors;
        EXPECT_EQ(o.code, 1) << which << ": " << o.errors;
        EXPECT_EQ(o.errors.rfind("pulsebench: no display found", 0), 0u) << which << ": " << o.errors;
        EXPECT_NE(o.errors.find("--headless --script FILE"), std::string::npos) << o.errors;
    }
}

TEST_F(Limits, ScriptOnTheWindowWithAnUnreachableDisplayRunsOffscreen)
{
    const std::string script = std::string(PULSEBENCH_EXAMPLES) + "/session.txt";
    for (const std::string& display : {std::string("DISPLAY=") + absentDisplay(), std::string("QT_QPA_PLATFORM=offscreen")}) {
        const fs::path out = root / (display[0] == 'D' ? "unreachable" : "offscreen");
        const Outcome o = runPulsebench({"--script", script, "--out", out.string()}, {display}, root / "errors.txt");
        EXPECT_EQ(o.code, 0) << display << ": " << o.errors;
        EXPECT_FALSE(readAll(out / "state.json").empty()) << display;
    }
}
