// The example session of the dialogs run by the executable on the real window
// and dialogs (offscreen) twice and once headless: every file it writes is the
// same, byte for byte, in the three runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int runPulsebench(const std::string& options, const fs::path& out)
{
    const std::string command = "QT_QPA_PLATFORM=offscreen '" + std::string(PULSEBENCH_EXE) + "' " + options +
                                " --script '" + std::string(PULSEBENCH_EXAMPLES) + "/dialogs.txt' --out '" +
                                out.string() + "' 2>'" + out.string() + ".log'";
    return std::system(command.c_str());
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
