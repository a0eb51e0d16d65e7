// `pulsebench detect` on a recording made from real sounds (scripts/
// make-recording: freedesktop sounds through sox, a pulse train in noise with
// a known truth): every pulse found at its position with its etalon and its
// time in seconds, by the fixed and the unfixed detector, as JSON and as CSV;
// and a signal that looks nothing like its etalon, which says that no chain
// was found instead of returning nothing.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/detect_command.h"
#include "support/folder.h"

namespace {

namespace fs = std::filesystem;

struct Truth {
    int position;
    double time;
    int etalon;
};

std::vector<Truth> readTruth(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // header
    std::vector<Truth> truth;
    while (std::getline(in, line)) {
        Truth t{};
        char comma;
        std::istringstream(line) >> t.position >> comma >> t.time >> comma >> t.etalon;
        truth.push_back(t);
    }
    return truth;
}

// The options of a run on what scripts/make-recording made in `folder`.
DetectOptions recordingOptions(const fs::path& folder, const char* operation, const char* out)
{
    DetectOptions o;
    o.signal.path = (folder / "signal.wav").string();
    o.etalons = (folder / "etalons").string();
    o.operation = operation;
    o.tmin = 100;
    o.tmax = 200;
    o.level = 100;
    o.out = (folder / out).string();
    return o;
}

} // namespace

TEST(DetectCommand, FindsEveryPulseOfARecordingFromRealSoundsWithItsEtalonAndTime)
{
    const fs::path folder = freshTestFolder("detect");
    const std::string make = std::string(PULSEBENCH_SOURCE "/scripts/make-recording ") + folder.string() + " >/dev/null";
    const int made = std::system(make.c_str());
    if (WIFEXITED(made) && WEXITSTATUS(made) == 2)
        GTEST_SKIP() << "sox or the freedesktop sounds are missing";
    ASSERT_EQ(made, 0);
    const std::vector<Truth> truth = readTruth(folder / "truth.csv");
    ASSERT_GT(truth.size(), 10u);

    for (const char* operation : {"detect-fixed", "detect-unfixed"}) {
        DetectOptions o = recordingOptions(folder, operation, "result.json");
        o.pulses = std::string(operation) == "detect-fixed" ? int(truth.size()) : 0;
        std::string text, error;
        ASSERT_EQ(runDetect(o, text, error), 0) << error;
        std::ifstream in(o.out);
        const nlohmann::json j = nlohmann::json::parse(in);
        EXPECT_EQ(j["signal"]["rate"], 8000.0);
        EXPECT_EQ(j["signal"]["rate_source"], "file");
        EXPECT_EQ(j["signal"]["clipped"], 0);
        EXPECT_GT(j["signal"]["scale"].get<double>(), 0.0);
        EXPECT_EQ(j["settings"]["operation"], operation);
        ASSERT_EQ(j["pulses"].size(), truth.size()) << operation;
        for (size_t i = 0; i < truth.size(); i++) {
            EXPECT_EQ(j["pulses"][i]["position"], truth[i].position) << operation << " pulse " << i;
            EXPECT_EQ(j["pulses"][i]["etalon"], truth[i].etalon) << operation << " pulse " << i;
            EXPECT_DOUBLE_EQ(j["pulses"][i]["time"].get<double>(), truth[i].position / 8000.0);
            EXPECT_NEAR(j["pulses"][i]["time"].get<double>(), truth[i].time, 1e-9);
        }
        EXPECT_LT(j["cost"].get<int64_t>(), 0);
        EXPECT_FALSE(j["chains"].empty());
        EXPECT_FALSE(j.contains("note"));
    }
    // The same run as CSV: one row per pulse.
    const DetectOptions o = recordingOptions(folder, "detect-unfixed", "result.csv");
    std::string text, error;
    ASSERT_EQ(runDetect(o, text, error), 0) << error;
    std::ifstream in(o.out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "position,time,etalon,cut_begin,cut_end");
    for (const Truth& t : truth) {
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(line.substr(0, line.find(',')), std::to_string(t.position));
    }
    EXPECT_FALSE(std::getline(in, line));
}

TEST(DetectCommand, SaysSoWhenNoChainIsFoundAndReportsTimeAsPositionWithoutARate)
{
    const fs::path folder = freshTestFolder("nochain");
    std::string minusOnes;
    for (int i = 0; i < 300; i++)
        minusOnes += "-1\n";
    std::ofstream(folder / "signal.csv") << minusOnes;
    std::ofstream(folder / "etalon.csv") << "1,1,1,1,1,1,1,1,1,1\n";
    DetectOptions o;
    o.signal.path = (folder / "signal.csv").string();
    o.etalons = (folder / "etalon.csv").string();
    o.operation = "detect-unfixed";
    o.tmin = 20;
    o.tmax = 40;
    std::string text, error;
    ASSERT_EQ(runDetect(o, text, error), 0) << error;
    const nlohmann::json j = nlohmann::json::parse(text);
    EXPECT_TRUE(j["pulses"].empty());
    ASSERT_TRUE(j.contains("note"));
    EXPECT_NE(j["note"].get<std::string>().find("no chain was found"), std::string::npos);
    EXPECT_EQ(j["signal"]["rate"], 1.0);
    EXPECT_EQ(j["signal"]["rate_source"], "default 1 Hz: time = position");
    EXPECT_EQ(j["signal"]["samples"], 300);
}
