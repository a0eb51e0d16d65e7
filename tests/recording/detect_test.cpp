// `pulsebench detect` on a recording made from real sounds (scripts/
// make-recording: freedesktop sounds through sox, a pulse train in noise with
// a known truth): every pulse found at its position with its etalon and its
// time in seconds, by the fixed and the unfixed detector, as JSON and as CSV,
// also in 50,000 samples (two segments) with the evaluation against the truth;
// a forced small segment against the one-piece run; every bad truth file; and
// a signal that looks nothing like its etalon, which says that no chain was
// found instead of returning nothing.
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

// Makes a recording with scripts/make-recording into `folder` (`options`
// added); false when sox or the sounds are missing.
bool makeRecording(const fs::path& folder, const std::string& options = "")
{
    const std::string make = std::string(PULSEBENCH_SOURCE "/scripts/make-recording ") + folder.string() + " " +
                             options + " >/dev/null";
    const int made = std::system(make.c_str());
    if (WIFEXITED(made) && WEXITSTATUS(made) == 2)
        return false;
    EXPECT_EQ(made, 0);
    return true;
}

// detect-unfixed on signal.csv with the etalons of etalon.csv in `folder`.
DetectOptions csvOptions(const fs::path& folder, int tmin, int tmax)
{
    DetectOptions o;
    o.signal.path = (folder / "signal.csv").string();
    o.etalons = (folder / "etalon.csv").string();
    o.operation = "detect-unfixed";
    o.tmin = tmin;
    o.tmax = tmax;
    return o;
}

nlohmann::json runJson(const DetectOptions& o)
{
    std::string text, error;
    EXPECT_EQ(runDetect(o, text, error), 0) << error;
    return nlohmann::json::parse(text.empty() ? "{}" : text);
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
    DetectOptions o = csvOptions(folder, 20, 40);
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

TEST(DetectCommand, FindsEveryPulseOf50000SamplesFromRealSoundsInSegmentsAndEvaluatesAgainstTheTruth)
{
    const fs::path folder = freshTestFolder("long");
    if (!makeRecording(folder, "--samples 50000 --seed 3"))
        GTEST_SKIP() << "sox or the freedesktop sounds are missing";
    const std::vector<Truth> truth = readTruth(folder / "truth.csv");
    ASSERT_GT(truth.size(), 300u);
    DetectOptions o = recordingOptions(folder, "detect-unfixed", "");
    o.out.clear();
    o.truth = (folder / "truth.csv").string();
    o.quiet = true;
    const nlohmann::json j = runJson(o);
    EXPECT_GT(j["signal"]["samples"].get<int>(), 50000 - 200);
    EXPECT_EQ(j["segments"].size(), 2u);
    ASSERT_EQ(j["pulses"].size(), truth.size());
    for (size_t i = 0; i < truth.size(); i++) {
        EXPECT_EQ(j["pulses"][i]["position"], truth[i].position) << "pulse " << i;
        EXPECT_EQ(j["pulses"][i]["etalon"], truth[i].etalon) << "pulse " << i;
        EXPECT_NEAR(j["pulses"][i]["time"].get<double>(), truth[i].time, 1e-9) << "pulse " << i;
    }
    const nlohmann::json& e = j["evaluation"];
    EXPECT_EQ(e["hits"], truth.size());
    EXPECT_EQ(e["misses"], 0);
    EXPECT_EQ(e["false_alarms"], 0);
    EXPECT_EQ(e["confusions"], 0);
    EXPECT_EQ(e["etalons_known"], truth.size());
    EXPECT_EQ(e["max_position_error"], 0);
    EXPECT_FALSE(j.contains("note"));
    // The fixed count needs the whole signal: refused with the way out.
    o.operation = "detect-fixed";
    o.pulses = int(truth.size());
    std::string text, error;
    EXPECT_EQ(runDetect(o, text, error), 1);
    EXPECT_NE(error.find("use detect-unfixed or recognize-unfixed"), std::string::npos) << error;
}

TEST(DetectCommand, AForcedSmallSegmentGivesThePulsesOfTheOnePieceRunAndATruthShiftedByTwoCountsWithinTolerance)
{
    const fs::path folder = freshTestFolder("segment");
    if (!makeRecording(folder))
        GTEST_SKIP() << "sox or the freedesktop sounds are missing";
    DetectOptions o = recordingOptions(folder, "detect-unfixed", "");
    o.out.clear();
    o.quiet = true;
    const nlohmann::json whole = runJson(o);
    o.segment = 1000;
    const nlohmann::json parts = runJson(o);
    EXPECT_FALSE(whole.contains("segments"));
    EXPECT_GE(parts["segments"].size(), 4u);
    EXPECT_EQ(parts["pulses"], whole["pulses"]);
    EXPECT_EQ(parts["settings"]["segment"], 1000);
    // A truth as JSON, two samples late and without etalons: hits at tolerance 2, misses at 1.
    nlohmann::json shifted = nlohmann::json::array();
    for (const auto& p : whole["pulses"])
        shifted.push_back({{"position", p["position"].get<int>() + 2}});
    std::ofstream(folder / "shifted.json") << shifted.dump();
    o.truth = (folder / "shifted.json").string();
    o.tolerance = 2;
    nlohmann::json e = runJson(o)["evaluation"];
    EXPECT_EQ(e["hits"], whole["pulses"].size());
    EXPECT_EQ(e["etalons_known"], 0);
    EXPECT_EQ(e["mean_position_error"], 2.0);
    o.tolerance = 1;
    e = runJson(o)["evaluation"];
    EXPECT_EQ(e["hits"], 0);
    EXPECT_EQ(e["misses"], whole["pulses"].size());
    EXPECT_EQ(e["false_alarms"], whole["pulses"].size());
}

TEST(DetectCommand, EveryBadTruthFileIsRefusedWithItsFaultAndNothingIsWritten)
{
    const fs::path folder = freshTestFolder("badtruth");
    std::ofstream(folder / "signal.csv") << "1\n2\n3\n4\n5\n6\n7\n8\n";
    std::ofstream(folder / "etalon.csv") << "1,2\n";
    const std::pair<const char*, const char*> cases[] = {
        {"words.csv", "position\nabc\n"},
        {"noposition.csv", "start,etalon\n1,2\n"},
        {"negative.csv", "-1\n"},
        {"fraction.csv", "1.5,1\n"},
        {"bigetalon.csv", "position,etalon\n3,21\n"},
        {"three.csv", "1,2,3\n"},
        {"broken.json", "[{\"position\": 3"},
        {"object.json", "{\"positions\": [1]}"},
        {"text.json", "[\"three\"]"},
        {"badetalon.json", "[{\"position\": 3, \"etalon\": \"a\"}]"},
        {"empty.csv", ""},
    };
    const char* messages[] = {"line 2, column 1: \"abc\" is not a number", "has no column \"position\"",
                              "row 1: the position must be a whole number >= 0",
                              "row 1: the position must be a whole number >= 0", "row 1: the etalon must be a whole number 1..20",
                              "has 3 columns and no header line", "is not valid JSON",
                              "holds neither an array of pulses nor an object with \"pulses\"",
                              "pulse 1: needs a number \"position\"", "pulse 1: needs a number \"position\"", "is empty"};
    size_t k = 0;
    for (const auto& [name, content] : cases) {
        std::ofstream(folder / name) << content;
        DetectOptions o = csvOptions(folder, 2, 4);
        o.truth = (folder / name).string();
        o.out = (folder / "result.json").string();
        std::string text, error;
        EXPECT_EQ(runDetect(o, text, error), 1) << name;
        EXPECT_NE(error.find(std::string(name) + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(messages[k++]), std::string::npos) << name << ": " << error;
        EXPECT_FALSE(fs::exists(o.out)) << name;
    }
    DetectOptions o = csvOptions(folder, 2, 4);  // a tolerance without a truth
    o.tolerance = 3;
    std::string text, error;
    EXPECT_EQ(runDetect(o, text, error), 1);
    EXPECT_NE(error.find("--tolerance needs --truth"), std::string::npos) << error;
}

TEST(DetectCommand, SeveralSignalsGiveOneResultEachAndASummaryTableThatListsTheOneThatFailed)
{
    const fs::path folder = freshTestFolder("many");
    fs::create_directories(folder / "signals");
    fs::create_directories(folder / "truth");
    std::ofstream(folder / "etalon.csv") << "10,20,30,20,10\n";
    const std::vector<std::vector<int>> trains = {{3, 30, 62, 90}, {10, 35, 70}};
    for (size_t s = 0; s < trains.size(); s++) {
        std::vector<int> x(size_t(trains[s].back() + 5 + 12), 0);
        for (int at : trains[s])
            for (int k = 0; k < 5; k++)
                x[size_t(at + k)] = 10 * std::min(k + 1, 5 - k);
        std::string text, truth = "position,etalon\n";
        for (int v : x)
            text += std::to_string(v) + "\n";
        for (int at : trains[s])
            truth += std::to_string(at) + ",1\n";
        std::ofstream(folder / "signals" / (std::string(1, char('a' + s)) + ".csv")) << text;
        std::ofstream(folder / "truth" / (std::string(1, char('a' + s)) + ".csv")) << truth;
    }
    std::ofstream(folder / "signals" / "c.csv") << "1\nabc\n";
    std::ofstream(folder / "truth" / "c.csv") << "position\n1\n";
    DetectOptions o;
    o.etalons = (folder / "etalon.csv").string();
    o.operation = "detect-unfixed";
    o.tmin = 20;
    o.tmax = 40;
    o.out = (folder / "out").string();
    o.truth = (folder / "truth").string();
    o.quiet = true;
    std::string error;
    EXPECT_EQ(runDetectMany(o, {(folder / "signals").string()}, error), 1);
    EXPECT_NE(error.find("1 of 3 signals failed (see summary.csv)"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(folder / "out" / "c.json"));
    for (size_t s = 0; s < trains.size(); s++) {
        std::ifstream in(folder / "out" / (std::string(1, char('a' + s)) + ".json"));
        const nlohmann::json j = nlohmann::json::parse(in);
        EXPECT_EQ(j["pulses"].size(), trains[s].size());
        EXPECT_EQ(j["evaluation"]["hits"], trains[s].size());
    }
    std::ifstream in(folder / "out" / "summary.csv");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 29), "file,samples,rate,segments,pu");
    EXPECT_NE(lines[1].find("a.csv\",107,1,0,4,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(",4,4,0,0,0,0,0,\"ok\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[3].find("c.csv\",,,,,,,,,,,,,\""), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find("\"abc\"\" is not a number"), std::string::npos) << lines[3];
    // Refusals before anything runs: --out a file, a truth that is no folder, a name twice.
    o.out = (folder / "result.json").string();
    EXPECT_EQ(runDetectMany(o, {(folder / "signals").string()}, error), 1);
    EXPECT_NE(error.find("several signals need --out FOLDER"), std::string::npos) << error;
    o.out = (folder / "out2").string();
    o.truth = (folder / "truth" / "a.csv").string();
    EXPECT_EQ(runDetectMany(o, {(folder / "signals").string()}, error), 1);
    EXPECT_NE(error.find("several signals need --truth FOLDER"), std::string::npos) << error;
    o.truth.clear();
    EXPECT_EQ(runDetectMany(o, {(folder / "signals" / "a.csv").string(), (folder / "truth" / "a.csv").string()}, error), 1);
    EXPECT_NE(error.find("two signals are named a"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(folder / "out2" / "summary.csv"));
}

TEST(DetectCommand, AStretchOfALongSignalWithoutPulsesIsNamedInTheNote)
{
    const fs::path folder = freshTestFolder("hole");
    std::string text;
    for (int i = 0; i < 1500; i++) {
        const int k = (i - 3) % 30, at = i - k;  // pulses every 30 samples from 3, none in 500..999
        text += std::to_string(k >= 0 && k < 5 && (at < 500 || at >= 1000) ? 10 * std::min(k + 1, 5 - k) : 0) + "\n";
    }
    std::ofstream(folder / "signal.csv") << text;
    std::ofstream(folder / "etalon.csv") << "10,20,30,20,10\n";
    DetectOptions o = csvOptions(folder, 20, 40);
    o.segment = 200;
    o.quiet = true;
    const nlohmann::json j = runJson(o);
    ASSERT_GT(j["segments"].size(), 5u);
    EXPECT_GT(j["pulses"].size(), 20u);
    for (const auto& p : j["pulses"])
        EXPECT_EQ((p["position"].get<int>() - 3) % 30, 0) << p;  // no false alarm
    ASSERT_TRUE(j.contains("note"));
    const std::string note = j["note"];
    EXPECT_NE(note.find("no pulse was found in samples "), std::string::npos) << note;
    EXPECT_NE(note.find("..1023, longer than Tmax 40: the recording breaks the model there"), std::string::npos) << note;
}

// recognize-unfixed in segments: each segment recognises on its own. On a
// recording of one etalon they agree and say nothing; where the last third
// holds another etalon, the result is the one most segments recognise and
// the note names both with their segment counts.
TEST(DetectCommand, SegmentsThatRecogniseDifferentEtalonsAreCountedInTheNoteAndTheMostFrequentIsTheResult)
{
    const fs::path folder = freshTestFolder("verdict");
    const int shapes[2][5] = {{10, 20, 30, 20, 10}, {30, -30, 30, -30, 30}};
    for (int mixed = 0; mixed < 2; mixed++) {
        std::string text;
        for (int i = 0; i < 1500; i++) {
            const int k = (i - 3) % 30, at = i - k;  // pulses every 30 samples from 3
            const int e = mixed && at >= 1000 ? 1 : 0;
            text += std::to_string(k >= 0 && k < 5 ? shapes[e][k] : 0) + "\n";
        }
        std::ofstream(folder / "signal.csv") << text;
        std::ofstream(folder / "etalon.csv") << "10,20,30,20,10\n30,-30,30,-30,30\n";
        DetectOptions o = csvOptions(folder, 20, 40);
        o.operation = "recognize-unfixed";
        o.segment = 200;
        o.quiet = true;
        const nlohmann::json j = runJson(o);
        ASSERT_GT(j["segments"].size(), 5u);
        EXPECT_EQ(j["result"], 1);
        if (!mixed) {
            EXPECT_FALSE(j.contains("note")) << j["note"];
            continue;
        }
        ASSERT_TRUE(j.contains("note"));
        const std::string note = j["note"];
        EXPECT_NE(note.find("the segments recognise different etalons (etalon 1 in "), std::string::npos) << note;
        EXPECT_NE(note.find(", etalon 2 in "), std::string::npos) << note;
        EXPECT_NE(note.find("the result is etalon 1"), std::string::npos) << note;
    }
}
