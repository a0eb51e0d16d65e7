// Scripted sessions: the same script gives the same files twice; presses land
// on the rectangles of the last paint; bad lines are refused with their number;
// replies reach dialogs and message boxes, and the boxes are written out.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "support/headless.h"
#include "support/folder.h"
#include "app/session.h"
#include "shell/shell.h"

namespace {

class Session : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override
    {
        startHeadlessPlatform();
        root = freshTestFolder("pulsebench-session");
    }
    void TearDown() override
    {
        stopPlatform();
        std::filesystem::remove_all(root);
    }

    std::filesystem::path script(const std::string& text)
    {
        const auto path = root / "script.txt";
        std::ofstream(path) << text;
        return path;
    }

    int run(const std::filesystem::path& path, const std::string& out, std::string* log = nullptr)
    {
        std::ostringstream messages;
        const int result = runScriptedSession(path.string(), (root / out).string(), messages);
        if (log)
            *log = messages.str();
        return result;
    }

    static std::string readAll(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

} // namespace

TEST_F(Session, TwoRunsOfOneScriptWriteTheSameFiles)
{
    const auto path = script("# start, process next data twice, dump\n"
                             "menu 40018\n"
                             "menu 40018   # again\n"
                             "snapshot shot.bmp\n"
                             "snapshot shot.pcx\n"
                             "dump series series.json\n"
                             "dump chains chains.json\n"
                             "dump state state.json\n"
                             "messages messages.json\n");
    ASSERT_EQ(run(path, "one"), 0);
    ASSERT_EQ(run(path, "two"), 0);
    for (const char* name : {"shot.bmp", "shot.pcx", "series.json", "chains.json", "state.json", "messages.json"}) {
        const std::string a = readAll(root / "one" / name), b = readAll(root / "two" / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, b) << name;
    }
    const auto series = nlohmann::json::parse(readAll(root / "one" / "series.json"));
    EXPECT_EQ(series["dwSeriesSize"], 1200);
    EXPECT_EQ(series["lpNoisyData"].size(), 1200u);
    EXPECT_EQ(series["lpPositions"].size(), series["wImpulseQuantity"].get<size_t>());
}

TEST_F(Session, PressOnTheNextButtonOfTheDumpedLayoutProcesses)
{
    ASSERT_EQ(run(script("dump state before.json\n"), "a"), 0);
    const auto before = nlohmann::json::parse(readAll(root / "a" / "before.json"));
    const auto& next = before["display"]["NextButtonRect"];
    EXPECT_EQ(before["wViewMode"], 5);
    const int x = (next["left"].get<int>() + next["right"].get<int>()) / 2;
    const int y = (next["top"].get<int>() + next["bottom"].get<int>()) / 2;
    ASSERT_EQ(run(script("press " + std::to_string(x) + " " + std::to_string(y) + "\nrelease " + std::to_string(x) +
                         " " + std::to_string(y) + "\ndump state after.json\n"),
                  "b"),
              0);
    const auto after = nlohmann::json::parse(readAll(root / "b" / "after.json"));
    EXPECT_EQ(after["wViewMode"], 6);
    EXPECT_EQ(after["checkedMenuItems"], nlohmann::json::array({40007, 40010}));
}

TEST_F(Session, ResizeChangesTheLayoutOfTheNextPaint)
{
    ASSERT_EQ(run(script("resize 1000 700\ndump state s.json\n"), "a"), 0);
    const auto s = nlohmann::json::parse(readAll(root / "a" / "s.json"));
    EXPECT_EQ(s["display"]["ExitButtonRect"]["right"], 989);
    EXPECT_EQ(s["display"]["client"]["bottom"], 700);
}

TEST_F(Session, BadLineIsRefusedWithItsNumber)
{
    std::string log;
    EXPECT_EQ(run(script("menu 40018\n\n  # comment\npress 10\n"), "a", &log), 2);
    EXPECT_NE(log.find("script.txt:4:"), std::string::npos) << log;
    EXPECT_EQ(run(script("snapshot picture.gif\n"), "b", &log), 2);
    EXPECT_EQ(run(script("launch rockets\n"), "c", &log), 2);
}

TEST_F(Session, LinesAfterExitAreRefused)
{
    std::string log;
    EXPECT_EQ(run(script("menu 40004\nmessages m.json\nmenu 40018\n"), "a", &log), 2);
    EXPECT_NE(log.find(":3:"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(root / "a" / "m.json"));
}

TEST_F(Session, RepliesReachTheSaveDialogAndBoxesAreWrittenOut)
{
    const std::string saved = (root / "x.bmp").string();
    ASSERT_EQ(run(script("answer ok \"" + saved + "\"\nmenu 40003\nmessages m.json\n"), "a"), 0);
    EXPECT_TRUE(std::filesystem::exists(saved));
    const auto m = nlohmann::json::parse(readAll(root / "a" / "m.json"));
    EXPECT_TRUE(m.empty()) << m.dump();
    // A name that cannot be written: the box as before, then the session stops
    // at that line with exit code 3, naming the file and the box.
    const std::string missing = (root / "no-such-folder" / "x.bmp").string();
    std::string log;
    EXPECT_EQ(run(script("answer ok \"" + missing + "\"\nmenu 40003\nmessages m.json\n"), "b", &log), 3);
    EXPECT_NE(log.find("script.txt:2: cannot write " + missing + ": "), std::string::npos) << log;
    EXPECT_NE(log.find("[About Bitmap] CreateFile ERROR!\n  [About Bitmap] Bitmap file is not created"),
              std::string::npos)
        << log;
    EXPECT_FALSE(std::filesystem::exists(root / "b" / "m.json"));
}

TEST_F(Session, DialogSessionThroughSimulationWritesTheSameFilesTwice)
{
    const auto path = script("answer ok \"Number of Required Etalons=3\" \"List of Required Etalons=2,5,9\"\n"
                             "menu 40002\n"
                             "answer ok \"Samples Length=600\" \"Etalon Number=5\"\n"
                             "answer ok \"Noise Level=15\"\n"
                             "menu 40001\n"
                             "menu 40017\n"
                             "answer ok \"Samples Length=600\"\n"
                             "answer ok from=5 to=6 incr.=1 \"Number of Repeats=2\" \"Initial Level=10\""
                             " \"Number of Steps in Simulation=2\" \"Noise Increment per Step=10\"\n"
                             "answer ok\n"
                             "answer ok \"summary view=1\"\n"
                             "menu 40012\n"
                             "snapshot shot.bmp\n"
                             "dump state state.json\n"
                             "messages messages.json\n");
    ASSERT_EQ(run(path, "one"), 0);
    ASSERT_EQ(run(path, "two"), 0);
    for (const char* name : {"shot.bmp", "state.json", "messages.json"}) {
        const std::string a = readAll(root / "one" / name), b = readAll(root / "two" / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, b) << name;
    }
    const auto state = nlohmann::json::parse(readAll(root / "one" / "state.json"));
    EXPECT_EQ(state["wRequiredQuantity"], 3);
    EXPECT_EQ(state["wViewMode"], 6);
    EXPECT_EQ(state["wResultsMode"], 2);
    EXPECT_EQ(state["wChartKind"], 1);
    const auto messages = nlohmann::json::parse(readAll(root / "one" / "messages.json"));
    ASSERT_EQ(messages.size(), 1u) << messages.dump();
    EXPECT_EQ(messages[0]["caption"], "getPulseEstAsRepeats");
}

TEST_F(Session, ReplyThatFitsNoFieldStopsTheRunAtTheLineThatOpenedTheDialog)
{
    struct Case {
        std::string script;  // the session
        std::string lacks;   // what the message says the dialog lacks
        std::string fields;  // a part of the fields it lists
        int opened, answered;
    };
    const Case cases[] = {
        {"answer ok \"Sample Lenght=600\"\nmenu 40001\n", "has no field \"Sample Lenght\"", "\"Samples Length\" (1000)",
         2, 1},
        {"answer ok 99999999999=5\n# the list\nmenu 40002\n", "has no field \"99999999999\"",
         "\"Number of Required Etalons\" (1014), \"List of Required Etalons\" (1013)", 3, 1},
        {"answer ok \"Samples Length=600\"\nanswer ok \"Noise Levle=3\" 1007=9\nmenu 40001\n",
         "has no field \"Noise Levle\"", "\"Number of Pulses in Series\" (1007)", 3, 2},
        {"answer ok 1000=600 plain\nmenu 40001\n", "takes no bare word \"plain\"", "\"Etalon Number\" (1004)", 2, 1},
        {"answer ok size=3\nmenu 40003\n", "has no field \"size\"", "\"file\"", 2, 1},
    };
    for (const Case& c : cases) {
        std::string log;
        EXPECT_EQ(run(script(c.script), "a", &log), 2) << c.script;
        const std::string where = "script.txt:" + std::to_string(c.opened) + ": the ";
        EXPECT_NE(log.find(where), std::string::npos) << log;
        EXPECT_NE(log.find("opened by this line " + c.lacks), std::string::npos) << log;
        EXPECT_NE(log.find("(answer at line " + std::to_string(c.answered) + "); its fields: "), std::string::npos)
            << log;
        EXPECT_NE(log.find(c.fields), std::string::npos) << log;
    }
}

TEST_F(Session, CrlfEndsAndAByteOrderMarkReadAsPlainLinesAndANulByteIsRefused)
{
    const std::string plain = "# a series made by hand, then processed\n"
                              "answer ok \"Samples Length=600\" \"Etalon Number=3\"\n"
                              "answer ok \"Noise Level=15\"\n"
                              "menu 40001\n"
                              "menu 40017   # Processing Same Data\n"
                              "dump series series.json\n"
                              "dump state state.json\n"
                              "messages messages.json\n";
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : plain)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_EQ(run(script(plain), "plain"), 0);
    std::string log;
    ASSERT_EQ(run(script(crlf), "crlf", &log), 0) << log;
    for (const char* name : {"series.json", "state.json", "messages.json"}) {
        const std::string a = readAll(root / "plain" / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, readAll(root / "crlf" / name)) << name;
    }
    EXPECT_EQ(run(script(std::string("menu 40018\nmenu 40018\0 junk\nmenu 40018\n", 36)), "nul", &log), 2);
    EXPECT_EQ(log, (root / "script.txt").string() + ":2: this line holds a NUL byte\n");
    EXPECT_EQ(run(script(std::string("# a comment \0 too\n", 18)), "nul", &log), 2);
    EXPECT_NE(log.find(":1: this line holds a NUL byte"), std::string::npos) << log;
}

TEST_F(Session, SaveDialogFromTheMenuWritesRelativeToTheOutputFolder)
{
    const std::string name = "menu-" + std::to_string(::getpid()) + ".png";
    ASSERT_FALSE(std::filesystem::exists(name));
    ASSERT_EQ(run(script("answer ok " + name + "\nmenu 40003\n"
                         "answer ok " + name + "\nanswer cancel   # do not replace it\nmenu 40003\n"
                         "messages m.json\n"),
                  "a"),
              0);
    EXPECT_FALSE(std::filesystem::exists(name));
    const std::filesystem::path file = root / "a" / name;
    ASSERT_TRUE(std::filesystem::exists(file));
    const auto m = nlohmann::json::parse(readAll(root / "a" / "m.json"));
    ASSERT_EQ(m.size(), 1u) << m.dump();
    EXPECT_EQ(m[0]["text"], file.string() + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(m[0]["reply"], IDNO);
}

TEST_F(Session, NamesTheSaveDialogCannotUseAreRefusedWithAMessage)
{
    // A name longer than the dialog holds (one part of it longer than the file
    // system allows, too): the snapshot line stops the session, naming the file
    // and the dialog's message. A name the file system cannot look up, typed
    // into the menu's save dialog: refused with a message, the session goes on.
    std::filesystem::create_directories(root / "a");
    std::filesystem::create_symlink("loop", root / "a" / "loop");
    const std::string longPart(300, 'a');
    std::string log;
    ASSERT_EQ(run(script("snapshot " + longPart + ".png\n"), "a", &log), 3);
    EXPECT_NE(log.find("cannot write " + (root / "a" / (longPart + ".png")).string()), std::string::npos) << log;
    EXPECT_NE(log.find("\nThis file name cannot be used: longer than 255 characters."), std::string::npos) << log;
    ASSERT_EQ(run(script("answer ok loop/x.bmp\nmenu 40003\nmessages m.json\n"), "a"), 0);
    const auto m = nlohmann::json::parse(readAll(root / "a" / "m.json"));
    ASSERT_EQ(m.size(), 1u) << m.dump();
    const std::string loop = (root / "a" / "loop" / "x.bmp").string() + "\nThis file name cannot be used: ";
    EXPECT_EQ(m[0]["text"].get<std::string>().substr(0, loop.size()), loop);  // then the system's reason
    EXPECT_EQ(m[0]["caption"], "Snapshot File Name");
    EXPECT_EQ(m[0]["flags"], MB_OK | MB_ICONWARNING);
    for (const auto& e : std::filesystem::directory_iterator(root / "a"))
        EXPECT_TRUE(e.path().filename() == "m.json" || e.path().filename() == "loop") << e.path();
}

TEST_F(Session, AnotherSessionInBetweenLeavesNoTrace)
{
    // A session starts as a fresh program: the same files before and after a
    // session that changed everything it could (view, series type, task,
    // stored subsets, size, the parameter panel, settings, a simulation).
    const auto first = script("menu 40018\n"
                              "press 600 400\n"
                              "release 600 400\n"
                              "snapshot shot.bmp\n"
                              "dump series series.json\n"
                              "dump chains chains.json\n"
                              "dump state state.json\n"
                              "messages messages.json\n");
    ASSERT_EQ(run(first, "one"), 0);
    const auto other = root / "other.txt";
    std::ofstream(other) << "menu 40032\nmenu 40006\npress 1197 891\npress 181 76\npress 505 76\npress 267 402\n"
                            "press 288 470\npress 1056 402\nmenu 40031\nmove 500 758\npress 500 758\n"
                            "resize 700 500\nanswer ok 1023=0 1024=0 1043=1\nmenu 40030\n"
                            "answer ok \"Samples Length=300\"\n"
                            "answer ok from=2 to=3 \"Number of Repeats=1\" \"Number of Steps in Simulation=2\"\n"
                            "answer ok\nanswer ok\nmenu 40012\nanswer ok 1032=1 1033=0.5\nmenu 40015\n"
                            "menu 40004\n";
    std::string log;
    ASSERT_EQ(run(other, "other", &log), 0) << log;
    ASSERT_EQ(run(first, "two"), 0);
    for (const char* name : {"shot.bmp", "series.json", "chains.json", "state.json", "messages.json"}) {
        const std::string a = readAll(root / "one" / name), b = readAll(root / "two" / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, b) << name;
    }
}

TEST_F(Session, ConfinedNamesStayInsideTheOutputFolder)
{
    SessionOptions confined;
    confined.confineToOutput = true;
    auto runConfined = [&](const std::string& text, std::string& log) {
        std::ostringstream messages;
        const int result = runScriptedSession(script(text).string(), (root / "out").string(), messages, confined);
        log = messages.str();
        return result;
    };
    std::string log;
    ASSERT_EQ(runConfined("dump state a/state.json\nanswer ok shot\nmenu 40003\n", log), 0) << log;
    EXPECT_TRUE(std::filesystem::exists(root / "out" / "a" / "state.json"));
    EXPECT_TRUE(std::filesystem::exists(root / "out" / "shot.bmp"));  // a save dialog's name goes there too

    std::filesystem::create_directory_symlink(root, root / "out" / "link");
    const std::pair<const char*, const char*> refused[] = {
        {"dump state /tmp/state.json\n", "absolute"},
        {"messages a/../../m.json\n", "\"..\""},
        {"snapshot link/shot.png\n", "symbolic link"},
        {"answer ok ../shot.bmp\nmenu 40003\n", "\"..\""},
        {"answer ok \"file=/tmp/shot.bmp\"\nmenu 40003\n", "absolute"},
    };
    for (const auto& [text, why] : refused) {
        EXPECT_EQ(runConfined(text, log), 2) << text;
        EXPECT_NE(log.find(":1: the name must stay inside the output folder ("), std::string::npos) << log;
        EXPECT_NE(log.find(why), std::string::npos) << log;
    }
    EXPECT_FALSE(std::filesystem::exists(root / "m.json"));
    EXPECT_FALSE(std::filesystem::exists(root / "shot.png"));
    EXPECT_FALSE(std::filesystem::exists(root / "shot.bmp"));
}
