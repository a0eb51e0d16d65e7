// The executable in English against its own texts: the example session of the
// dialogs, run in English by the option and by the environment, on the
// headless and the real window, shows the same boxes rendered in English and
// draws the same pictures; the batch command takes the option among its own;
// an unknown language is refused before anything runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include "support/texts.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The exit code of `ENVIRONMENT pulsebench ARGUMENTS`, its standard error in LOG.
int runPulsebench(const std::string& environment, const std::string& arguments, const fs::path& log)
{
    const std::string command = "QT_QPA_PLATFORM=offscreen " + environment + " '" + std::string(PULSEBENCH_EXE) +
                                "' " + arguments + " 2>'" + log.string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> figuresOf(const std::string& text)
{
    static const std::regex figure("[0-9]+");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), figure); it != std::sregex_iterator(); ++it)
        found.push_back(it->str());
    return found;
}

class Languages : public ::testing::Test {
protected:
    fs::path root = fs::temp_directory_path() / ("pulsebench-language-" + std::to_string(::getpid()));

    void SetUp() override
    {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // The example session of the dialogs into root/NAME; its exit code.
    int session(const std::string& environment, const std::string& options, const std::string& name)
    {
        const std::string script = std::string(PULSEBENCH_EXAMPLES) + "/dialogs.txt";
        return runPulsebench(environment, options + " --script '" + script + "' --out '" + (root / name).string() + "'",
                             root / (name + ".log"));
    }
};

} // namespace

TEST_F(Languages, EnglishSessionsShowTheOwnBoxesInEnglishAndDrawTheSamePictures)
{
    ASSERT_EQ(session("", "--headless", "own"), 0) << readAll(root / "own.log");
    ASSERT_EQ(session("", "--lang en --headless", "option"), 0) << readAll(root / "option.log");
    ASSERT_EQ(session("PULSEBENCH_LANG=en", "", "window"), 0) << readAll(root / "window.log");

    // Pictures and state: the same bytes in every language.
    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(root / "own")) {
        const fs::path name = e.path().filename();
        EXPECT_EQ(readAll(root / "option" / name), readAll(root / "window" / name)) << name;
        if (name != "messages.json") {
            EXPECT_EQ(readAll(e.path()), readAll(root / "option" / name)) << name;
            files++;
        }
    }
    EXPECT_EQ(files, 5);

    // The boxes: one for one, each the English rendering of the program's own
    // box, with the same figures in the same order.
    const auto own = nlohmann::json::parse(readAll(root / "own" / "messages.json"));
    const auto english = nlohmann::json::parse(readAll(root / "option" / "messages.json"));
    ASSERT_EQ(own.size(), english.size());
    bool anyRussian = false;
    for (size_t i = 0; i < own.size(); i++) {
        const std::string ownText = own[i]["text"], text = english[i]["text"];
        anyRussian = anyRussian || hasCyrillic(ownText);
        EXPECT_FALSE(hasCyrillic(text)) << text;
        EXPECT_EQ(figuresOf(ownText), figuresOf(text)) << ownText << "\n" << text;
        EXPECT_EQ(own[i]["caption"], english[i]["caption"]);
        EXPECT_EQ(own[i]["flags"], english[i]["flags"]);
    }
    EXPECT_TRUE(anyRussian) << "the session showed no Russian box to render";
}

TEST_F(Languages, BatchCommandTakesTheOptionAmongItsOwnAndWritesTheSameTables)
{
    const std::string grid = "--length 400 --pulses-from 3 --pulses-to 4 --noise-steps 2 --repeats 2 --chart 2 --quiet";
    ASSERT_EQ(runPulsebench("", "simulate " + grid + " --out '" + (root / "own").string() + "'", root / "own.log"), 0)
        << readAll(root / "own.log");
    ASSERT_EQ(runPulsebench("", "simulate --lang en " + grid + " --out '" + (root / "en").string() + "'",
                            root / "en.log"),
              0)
        << readAll(root / "en.log");
    // The chart prints the run's start and end times, so it is only checked
    // to be there; the tables it draws are the CSV's.
    const std::string a = readAll(root / "own" / "simulation.csv");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, readAll(root / "en" / "simulation.csv"));
    EXPECT_TRUE(fs::exists(root / "en" / "chart-2.png"));
}

TEST_F(Languages, UnknownLanguageIsRefusedBeforeAnythingRuns)
{
    EXPECT_EQ(session("", "--headless --lang de", "option"), 2);
    EXPECT_NE(readAll(root / "option.log").find("--lang: unknown language \"de\""), std::string::npos)
        << readAll(root / "option.log");
    EXPECT_EQ(session("PULSEBENCH_LANG=english", "--headless", "environment"), 2);
    EXPECT_NE(readAll(root / "environment.log").find("PULSEBENCH_LANG: unknown language \"english\""),
              std::string::npos)
        << readAll(root / "environment.log");
    EXPECT_FALSE(fs::exists(root / "option"));
    EXPECT_FALSE(fs::exists(root / "environment"));
}
