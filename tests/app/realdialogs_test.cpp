// The example session of the dialogs run by the executable on the real window
// and dialogs (offscreen) twice and once headless: every file it writes is the
// same, byte for byte, in the three runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The exit code of the executable on a script, its messages in OUT.log.
int runPulsebench(const std::string& options, const fs::path& out,
                  const std::string& script = std::string(PULSEBENCH_EXAMPLES) + "/dialogs.txt")
{
    const std::string command = "QT_QPA_PLATFORM=offscreen '" + std::string(PULSEBENCH_EXE) + "' " + options +
                                " --script '" + script + "' --out '" + out.string() + "' 2>'" + out.string() +
                                ".log'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(RealDialogs, ExampleSessionWritesTheSameFilesOnTheWindowTwiceAndHeadless)
{
    const fs::path root = fs::temp_directory_path() / ("pulsebench-real-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    ASSERT_EQ(runPulsebench("", root / "first"), 0) << readAll(root / "first.log");
    ASSERT_EQ(runPulsebench("", root / "second"), 0) << readAll(root / "second.log");
    ASSERT_EQ(runPulsebench("--headless", root / "headless"), 0) << readAll(root / "headless.log");

    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(root / "first")) {
        const fs::path name = e.path().filename();
        const std::string first = readAll(e.path());
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, readAll(root / "second" / name)) << name;
        EXPECT_EQ(first, readAll(root / "headless" / name)) << name;
        files++;
    }
    EXPECT_EQ(files, 6);  // four pictures, the state, the messages

    // Every dialog of the session was answered OK: the processed series and
    // the simulation made it into the state.
    const std::string state = readAll(root / "first" / "state.json");
    EXPECT_NE(state.find("\"wChartKind\""), std::string::npos);
    fs::remove_all(root);
}

TEST(RealDialogs, ReplyThatFitsNoFieldStopsTheRunOnTheWindowAsHeadless)
{
    const fs::path root = fs::temp_directory_path() / ("pulsebench-real-misfit-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    const fs::path script = root / "misfit.txt";
    std::ofstream(script) << "answer ok \"Samples Length=600\"\n"
                             "answer ok \"Noise Levle=15\"\n"
                             "menu 40001\n";
    EXPECT_EQ(runPulsebench("", root / "window", script.string()), 2);
    EXPECT_EQ(runPulsebench("--headless", root / "headless", script.string()), 2);
    const std::string headless = readAll(root / "headless.log"), window = readAll(root / "window.log");
    EXPECT_NE(headless.find("misfit.txt:3: the dialog \"Create Series\" opened by this line has no field "
                            "\"Noise Levle\" (answer at line 2); its fields: "),
              std::string::npos)
        << headless;
    // The window's log may begin with what Qt says about the platform.
    EXPECT_EQ(window.substr(window.size() - std::min(window.size(), headless.size())), headless) << window;
    fs::remove_all(root);
}

// " Open etalons..." and " Open signal..." on the real dialogs (the names
// typed into their fields; a missing file first, which the dialog refuses
// with a box, and the person gives up) read a recording that the unfixed
// operation then processes: the window and the headless run write the same
// files.
TEST(RealDialogs, OpenDialogsReadARecordingOnTheWindowAsHeadless)
{
    const fs::path root = fs::temp_directory_path() / ("pulsebench-real-open-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    std::string shape, signal;
    for (int i = 0; i < 16; i++)
        shape += i ? ",900" : "900";
    for (int i = 0; i < 3000; i++)
        signal += std::to_string(i >= 40 && (i - 40) % 110 < 16 ? 900 : 0) + "\n";
    std::ofstream(root / "etalons.csv") << shape << "\n";
    std::ofstream(root / "signal.csv") << signal;
    const fs::path script = root / "open.txt";
    std::ofstream(script) << "answer ok \"Min Length of Interval=60\" \"Max Length of Interval=200\"\nanswer ok\n"
                             "menu 40001\nmenu 40011\n"
                             "answer ok \"File=" << (root / "etalons.csv").string() << "\"\nmenu 40035\n"
                             "answer ok \"File=" << (root / "missing.csv").string() << "\"\nanswer ok\nmenu 40034\n"
                             "answer ok \"File=" << (root / "signal.csv").string() << "\" \"Channel=0\" "
                             "\"First sample=0\"\nmenu 40034\nmenu 40017\n"
                             "snapshot recording.png\ndump series series.json\nmessages messages.json\n";
    ASSERT_EQ(runPulsebench("", root / "window", script.string()), 0) << readAll(root / "window.log");
    ASSERT_EQ(runPulsebench("--headless", root / "headless", script.string()), 0) << readAll(root / "headless.log");
    for (const char* name : {"recording.png", "series.json", "messages.json"}) {
        const std::string window = readAll(root / "window" / name);
        EXPECT_FALSE(window.empty()) << name;
        EXPECT_EQ(window, readAll(root / "headless" / name)) << name;
    }
    const std::string series = readAll(root / "window" / "series.json");
    EXPECT_NE(series.find("\"lpDetectedPositions\": [\n    40,\n    150,"), std::string::npos) << series.substr(0, 400);
    EXPECT_NE(readAll(root / "window" / "messages.json").find("missing.csv"), std::string::npos);
    fs::remove_all(root);
}

// A simulation cancelled by the script's `cancel` and kept, then continued by
// " Resume simulation...", draws the chart of the run never interrupted: on
// the real dialogs (the resume dialog answered through its widgets) and
// headless alike.
TEST(RealDialogs, CancelledSimulationResumedDrawsTheChartOfTheRunNeverInterrupted)
{
    const fs::path root = fs::temp_directory_path() / ("pulsebench-real-resume-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    const std::string grid = "answer ok \"Samples Length=600\"\n"
                             "answer ok from=5 to=6 incr.=1 \"Number of Repeats=50\" \"Initial Level=10\""
                             " \"Number of Steps in Simulation=2\" \"Noise Increment per Step=10\"\n"
                             "answer ok\n";  // the summary
    const std::string charts = "answer ok \"summary view=1\"\n";
    std::ofstream(root / "whole.txt") << grid << charts << "menu 40012\nsnapshot chart.png\n";
    for (const char* mode : {"", "--headless"}) {
        const fs::path out = root / (std::string("resumed") + mode);
        const std::string kept = (out / "kept.json").string();
        std::ofstream(root / "resumed.txt") << grid << "answer ok\nanswer ok " << kept << "\ncancel 30\nmenu 40012\n"
                                            << "answer ok \"File=" << kept << "\"\n"
                                            << charts << "menu 40039\nsnapshot chart.png\nmessages m.json\n";
        ASSERT_EQ(runPulsebench(mode, root / "whole", (root / "whole.txt").string()), 0) << readAll(root / "whole.log");
        ASSERT_EQ(runPulsebench(mode, out, (root / "resumed.txt").string()), 0) << readAll(out.string() + ".log");
        EXPECT_TRUE(fs::exists(kept)) << mode;
        std::smatch done;  // Cancel pressed at 30 trials done; those in flight are kept too
        const std::string said = readAll(out / "m.json");
        ASSERT_TRUE(std::regex_search(said, done, std::regex("was cancelled after ([0-9]+) of 200 trials"))) << said;
        EXPECT_GE(std::stoi(done[1].str()), 30) << mode;
        EXPECT_LT(std::stoi(done[1].str()), 200) << mode;
        const std::string chart = readAll(root / "whole" / "chart.png");
        EXPECT_FALSE(chart.empty());
        EXPECT_EQ(readAll(out / "chart.png"), chart) << mode;
    }
    fs::remove_all(root);
}
