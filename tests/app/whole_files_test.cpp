// The program's files are whole or absent, run as a user runs it: a scripted
// session and the batch command on a disk that fills up (a file size limit)
// stop with a message naming the file and leave the earlier files as they
// were; a folder under a result's name is refused; SIGINT and SIGTERM cancel
// a batch run, write nothing and exit with 128 + the signal. No temporary is
// ever left behind.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/child.h"
#include "support/folder.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = PULSEBENCH_EXE;
// A grid of a second or two: pulse counts 3 to 6, four noise levels, five repeats.
constexpr const char* kSmallGrid[] = {"--length", "300", "--pulses-from", "3", "--pulses-to", "6", "--noise-steps",
                                      "4", "--noise-step", "20", "--repeats", "5", "--threads", "2", "--quiet"};

class WholeFilesRun : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override
    {
        root = freshTestFolder("pulsebench-whole");
        fs::create_directories(root / "out");
    }
    void TearDown() override { fs::remove_all(root); }

    std::vector<std::string> simulate(std::vector<std::string> extra) const
    {
        std::vector<std::string> args = {kProgram, "simulate", "--out", (root / "out").string()};
        args.insert(args.end(), std::begin(kSmallGrid), std::end(kSmallGrid));
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // A finished run's result set in out/, with a chart.
    Folder previousRun()
    {
        Child first(simulate({"--chart", "2"}));
        EXPECT_EQ(first.finish(), 0) << first.errors;
        const Folder files = folderContents(root / "out");
        EXPECT_EQ(files.size(), 4u);
        return files;
    }
};

TEST_F(WholeFilesRun, SessionOnAFullDiskStopsNamingTheFileAndKeepsTheOldOne)
{
    const std::pair<const char*, const char*> lines[] = {
        {"snapshot shot.bmp", "[About Bitmap] Bitmap file is not created"},
        {"snapshot shot.pcx", "[About Bitmap] PCX file is not created"},
        {"snapshot shot.png", "[About Bitmap] PNG file is not created"},
        {"dump state shot.json", ""},
        {"messages shot.json", ""},
    };
    for (const auto& [line, box] : lines) {
        SCOPED_TRACE(line);
        const std::string name = std::string(line).substr(std::string(line).rfind(' ') + 1);
        fs::remove_all(root / "out");
        fs::create_directories(root / "out");
        std::ofstream(root / "out" / name) << "old";
        std::ofstream(root / "script.txt") << "menu 40018\n" << line << "\nmenu 40018\n";
        Child session({kProgram, "--headless", "--script", (root / "script.txt").string(), "--out",
                       (root / "out").string()},
                      2);  // two bytes: even "[]" does not fit
        EXPECT_EQ(session.finish(), 3) << session.errors;
        EXPECT_NE(session.errors.find("script.txt:2: cannot write " + (root / "out" / name).string() + ": " +
                                      std::strerror(EFBIG)),
                  std::string::npos)
            << session.errors;
        EXPECT_NE(session.errors.find(box), std::string::npos) << session.errors;
        EXPECT_EQ(folderContents(root / "out"), (Folder{{name, "old"}}));
    }
}

TEST_F(WholeFilesRun, SimulateOnAFullDiskKeepsThePreviousResultSet)
{
    const Folder previous = previousRun();
    // simulation.json lists the rest of its set with the sizes: a mixed set shows.
    const auto json = nlohmann::json::parse(previous.at("simulation.json"));
    ASSERT_EQ(json["files"].size(), 3u);
    for (const auto& file : json["files"])
        EXPECT_EQ(file["bytes"], previous.at(file["name"].get<std::string>()).size()) << file["name"];
    // The tables fit but not the chart; then not even the tables.
    for (size_t limit : {previous.at("chart-2.png").size() / 2, previous.at("simulation.csv").size() / 2}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        Child full(simulate({"--chart", "2", "--noise-initial", "5"}), static_cast<long>(limit));
        EXPECT_EQ(full.finish(), 1) << full.errors;
        EXPECT_NE(full.errors.find(std::string(": ") + std::strerror(EFBIG) + "; no result file was replaced"),
                  std::string::npos)
            << full.errors;
        EXPECT_EQ(folderContents(root / "out"), previous);
    }
}

TEST_F(WholeFilesRun, FolderUnderTheChartsNameKeepsEveryOldFile)
{
    fs::create_directories(root / "out" / "chart-2.png");
    std::ofstream(root / "out" / "simulation.csv") << "old";
    Child run(simulate({"--chart", "2"}));
    EXPECT_EQ(run.finish(), 1) << run.errors;
    EXPECT_NE(run.errors.find("chart-2.png: a folder has that name"), std::string::npos) << run.errors;
    EXPECT_EQ(folderContents(root / "out"), (Folder{{"chart-2.png", "<folder>"}, {"simulation.csv", "old"}}));
}

TEST_F(WholeFilesRun, SignalCancelsTheRunWritesNothingAndExitsWith128PlusTheSignal)
{
    const Folder previous = previousRun();
    for (int number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(number);
        // The default grid: a minute or more, still running when the signal comes.
        Child run({kProgram, "simulate", "--threads", "2", "--chart", "2", "--out", (root / "out").string()});
        ASSERT_TRUE(run.waitForText("trials")) << run.errors;  // the progress line: trials are running
        run.signal(number);
        EXPECT_EQ(run.finish(), 128 + number) << run.errors;
        EXPECT_NE(run.errors.find(std::string("interrupted by ") + (number == SIGINT ? "SIGINT" : "SIGTERM") +
                                  "; no result file was written"),
                  std::string::npos)
            << run.errors;
        EXPECT_EQ(folderContents(root / "out"), previous);
    }
}

} // namespace
