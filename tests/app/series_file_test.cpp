// Series files and recordings in scripted sessions: a dumped series loads back
// exactly (dump, load, dump gives the same file for every series type and
// task), every damaged field of a series file is refused with its name, and a
// recording opened from files is processed with the chosen operation.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "records/records.h"
#include "app/session.h"
#include "app/simulate_command.h"
#include "shell/shell.h"
#include "support/folder.h"
#include "support/headless.h"

namespace {

class SeriesFile : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override
    {
        startHeadlessPlatform();
        root = freshTestFolder("pulsebench-series-file");
    }
    void TearDown() override
    {
        stopPlatform();
        std::filesystem::remove_all(root);
    }

    void write(const std::string& name, const std::string& text) { std::ofstream(root / name) << text; }

    int run(const std::string& text, std::string* log = nullptr)
    {
        write("script.txt", text);
        std::ostringstream messages;
        const int result = runScriptedSession((root / "script.txt").string(), root.string(), messages);
        if (log)
            *log = messages.str();
        return result;
    }

    // etalons.csv with three shapes of 16 samples, and signal.csv of 1500
    // samples holding them without noise, 60 to 159 samples apart, the k-th
    // one etalon etalonAt(k) (0..2); the truth in `positions` and `numbers`.
    template <typename EtalonAt>
    void writeRecording(EtalonAt etalonAt, std::vector<int>& positions, std::vector<int>& numbers)
    {
        const int n = 16, N = 1500;
        std::vector<std::vector<int>> shapes(3, std::vector<int>(n));
        std::ostringstream etalons;
        for (int k = 0; k < 3; k++) {
            for (int i = 0; i < n; i++) {
                shapes[k][i] = (k == 0 ? 1000 : k == 1 ? (i < n / 2 ? 1000 : -1000) : (i % 4 < 2 ? 900 : -900));
                etalons << (i ? "," : "") << shapes[k][i];
            }
            etalons << "\n";
        }
        std::vector<int> signal(N, 0);
        std::mt19937 random(11);
        for (int p = 25, k = 0; p + n <= N - 20; p += 60 + static_cast<int>(random() % 100), k++) {
            const int e = etalonAt(k, random);
            positions.push_back(p);
            numbers.push_back(e + 1);
            for (int i = 0; i < n; i++)
                signal[p + i] = shapes[e][i];
        }
        std::ostringstream csv;
        for (int v : signal)
            csv << v << "\n";
        write("etalons.csv", etalons.str());
        write("signal.csv", csv.str());
    }

    std::string readAll(const std::string& name)
    {
        std::ifstream in(root / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

} // namespace

// Every series type under every task, processed or not: a fresh session that
// loads the dump dumps the same bytes, and processes it to the same chains.
TEST_F(SeriesFile, DumpLoadDumpGivesTheSameFileForEverySeriesTypeAndTask)
{
    const int types[] = {40008, 40009, 40010, 40011};
    const int tasks[] = {40005, 40006, 40007};
    for (int task : tasks)
        for (int type : types) {
            const std::string made = "menu " + std::to_string(task) + "\nmenu " + std::to_string(type) +
                                     "\nmenu 40018\nmenu 40018\ndump series a.json\n";
            ASSERT_EQ(run(made), 0) << task << " " << type;
            ASSERT_EQ(run("menu " + std::to_string(task) + "\nmenu " + std::to_string(type) +
                          "\nload series a.json\ndump series b.json\n"),
                      0);
            EXPECT_EQ(readAll("a.json"), readAll("b.json")) << task << " " << type;
            // The loaded series processes as the one it was dumped from.
            ASSERT_EQ(run(made + "menu 40017\ndump chains c1.json\n"), 0);
            ASSERT_EQ(run("menu " + std::to_string(task) + "\nmenu " + std::to_string(type) +
                          "\nload series a.json\nmenu 40017\ndump chains c2.json\n"),
                      0);
            EXPECT_EQ(readAll("c1.json"), readAll("c2.json")) << task << " " << type;
        }
}

// Each field removed, of the wrong type, out of its range, or of the wrong
// length: refused with the field's name, and a session stops at that line.
TEST_F(SeriesFile, EveryDamagedFieldIsRefusedWithItsName)
{
    ASSERT_EQ(run("menu 40018\ndump series good.json\n"), 0);
    const nlohmann::json good = nlohmann::json::parse(readAll("good.json"));
    LoadedSeries loaded;
    std::string error;
    ASSERT_TRUE(parseSeriesJson(good.dump(), 20, 20, loaded, error)) << error;
    std::mt19937 random(7);
    ASSERT_EQ(good["format_version"], 1);
    for (const auto& [key, value] : good.items()) {
        if (key == "format_version") {  // none (a file of an older program) is taken; a newer one is refused
            nlohmann::json older = good, newer = good;
            older.erase(key);
            EXPECT_TRUE(parseSeriesJson(older.dump(), 20, 20, loaded, error)) << error;
            newer[key] = 2;
            EXPECT_FALSE(parseSeriesJson(newer.dump(), 20, 20, loaded, error));
            EXPECT_NE(error.find(key), std::string::npos) << error;
            continue;
        }
        const std::vector<nlohmann::json> bad = {
            nlohmann::json("text"), nlohmann::json(1.5), nlohmann::json(100000), nlohmann::json(-100000),
            value.is_array() ? nlohmann::json(std::vector<int>(value.size() + 1, 0)) : nlohmann::json::array()};
        for (const nlohmann::json& b : bad) {
            nlohmann::json damaged = good;
            damaged[key] = b;
            EXPECT_FALSE(parseSeriesJson(damaged.dump(), 20, 20, loaded, error)) << key << " = " << b.dump();
            EXPECT_NE(error.find(key), std::string::npos) << error;
        }
        nlohmann::json missing = good;
        missing.erase(key);
        EXPECT_FALSE(parseSeriesJson(missing.dump(), 20, 20, loaded, error)) << key;
        EXPECT_NE(error.find(key), std::string::npos) << error;
        if (value.is_array() && !value.empty()) {  // one entry far out of range
            nlohmann::json damaged = good;
            damaged[key][random() % value.size()] = 40000;
            EXPECT_FALSE(parseSeriesJson(damaged.dump(), 20, 20, loaded, error)) << key;
            EXPECT_NE(error.find(key), std::string::npos) << error;
        }
    }
    for (const char* text : {"", "{", "[1,2]", "null", "{\"dwSeriesSize\": 5}"})
        EXPECT_FALSE(parseSeriesJson(text, 20, 20, loaded, error)) << text;
    EXPECT_FALSE(parseSeriesJson(good.dump(), 20, 16, loaded, error));  // another etalon length, none carried
    EXPECT_NE(error.find("wImpulseSize"), std::string::npos) << error;

    write("bad.json", "{\"dwSeriesSize\": 0}");
    std::string log;
    EXPECT_EQ(run("menu 40018\nload series bad.json\n", &log), 2);
    EXPECT_NE(log.find(":2: "), std::string::npos) << log;
    EXPECT_NE(log.find("dwSeriesSize"), std::string::npos) << log;
    EXPECT_EQ(run("load series none.json\n", &log), 2);
    EXPECT_NE(log.find("cannot be read"), std::string::npos) << log;
}

// A series file that carries its own etalons is matched with them, and the
// numbers in it may only name those.
TEST_F(SeriesFile, CarriedEtalonsReplaceTheAlphabetForTheLoadedSeries)
{
    ASSERT_EQ(run("menu 40018\ndump series good.json\n"), 0);
    nlohmann::json j = nlohmann::json::parse(readAll("good.json"));
    j["etalons"] = nlohmann::json::array();
    for (int k = 0; k < 20; k++)
        j["etalons"].push_back(std::vector<int>(20, k));
    LoadedSeries loaded;
    std::string error;
    EXPECT_TRUE(parseSeriesJson(j.dump(), 20, 20, loaded, error)) << error;
    EXPECT_EQ(loaded.shapes.size(), 20u);
    j["etalons"].erase(j["etalons"].size() - 1);  // 19 etalons: etalon 20 is named nowhere, or refused
    bool names20 = false;
    for (const auto& e : j["lpEtalonNumbers"])
        names20 = names20 || e == 20;
    EXPECT_EQ(parseSeriesJson(j.dump(), 20, 20, loaded, error), !names20) << error;
    j["etalons"][0] = std::vector<int>(19, 0);
    EXPECT_FALSE(parseSeriesJson(j.dump(), 20, 20, loaded, error));
    EXPECT_NE(error.find("etalons[0]"), std::string::npos) << error;
}

// A recording made of three etalons at known places, opened from CSV files:
// the unfixed-count operation finds every pulse at its place with its etalon,
// and a fixed-count one runs on it too.
TEST_F(SeriesFile, OpenedRecordingIsProcessedWithTheChosenOperation)
{
    std::vector<int> positions, numbers;
    writeRecording([](int, std::mt19937& random) { return static_cast<int>(random() % 3); }, positions, numbers);
    std::string log;
    ASSERT_EQ(run("menu 40011\nopen etalons etalons.csv\nopen signal signal.csv\nmenu 40017\ndump series s.json\n"
                  "dump state state.json\n", &log), 0) << log;
    const nlohmann::json s = nlohmann::json::parse(readAll("s.json"));
    EXPECT_EQ(s["dwSeriesSize"], 1500);
    EXPECT_EQ(s["wImpulseSize"], 16);
    EXPECT_EQ(s["lpDetectedPositions"], nlohmann::json(positions));
    EXPECT_EQ(s["lpDetectedNumbers"], nlohmann::json(numbers));
    EXPECT_EQ(nlohmann::json::parse(readAll("state.json"))["wViewMode"], 6);

    // The etalons opened after the signal rescale it; a fixed-count operation runs as well.
    ASSERT_EQ(run("open signal signal.csv\nopen etalons etalons.csv\nmenu 40010\nmenu 40017\ndump series f.json\n",
                  &log), 0) << log;
    const nlohmann::json f = nlohmann::json::parse(readAll("f.json"));
    EXPECT_GT(f["wDetectedQuantity"].get<int>(), 0);
    EXPECT_EQ(f["wImpulseSize"], 16);
}

// The tuple operations on an opened recording: the subset panel offers the
// recording's etalons and its OK processes the recording (there is no next
// one to build). A recording of the tuple (a, c) repeated is found whole by
// the unfixed detection and recognised among two stored tuples; the fixed
// detection keeps the tuple's order; a subset chosen earlier from the
// window's alphabet that names an etalon the recording lacks is refused with
// a box and leaves the series unprocessed.
TEST_F(SeriesFile, TupleOperationsRunOnAnOpenedRecordingWithItsEtalons)
{
    std::vector<int> positions, numbers;
    writeRecording([](int k, std::mt19937&) { return k % 2 == 0 ? 0 : 2; }, positions, numbers);
    const std::string open = "answer ok \"Min Length of Interval=60\" \"Max Length of Interval=200\"\nanswer ok\n"
                             "menu 40001\nopen etalons etalons.csv\nopen signal signal.csv\n";
    // Panel presses for the default 1280 x 960 window: cells a, b, c at y 76;
    // the buttons' row at y 512 (Delete All 61, Accept 267, OK 367 or 1056).
    std::string log;
    ASSERT_EQ(run(open + "menu 40032\nmenu 40005\nmenu 40017\npress 73 76\npress 289 76\npress 367 512\n"
                         "dump series d.json\n", &log), 0) << log;
    const nlohmann::json d = nlohmann::json::parse(readAll("d.json"));
    EXPECT_EQ(d["lpDetectedPositions"], nlohmann::json(positions));
    EXPECT_EQ(d["lpDetectedNumbers"], nlohmann::json(numbers));

    ASSERT_EQ(run(open + "menu 40032\nmenu 40006\nmenu 40017\npress 181 76\npress 73 76\npress 267 512\n"
                         "press 61 512\npress 73 76\npress 289 76\npress 267 512\npress 288 570\npress 1056 512\n"
                         "dump series r.json\n", &log), 0) << log;
    const nlohmann::json r = nlohmann::json::parse(readAll("r.json"));
    EXPECT_EQ(r["wRecognizedTuple"], 2);  // (a, c), stored after (b, a)
    EXPECT_EQ(r["lpDetectedPositions"], nlohmann::json(positions));
    EXPECT_EQ(r["lpDetectedNumbers"], nlohmann::json(numbers));

    ASSERT_EQ(run(open + "menu 40028\nmenu 40005\nmenu 40017\npress 73 76\npress 289 76\npress 367 512\n"
                         "dump series f.json\n", &log), 0) << log;
    const nlohmann::json f = nlohmann::json::parse(readAll("f.json"));
    const int found = f["wDetectedQuantity"].get<int>();
    EXPECT_EQ(found, f["wImpulseQuantity"].get<int>());
    for (int i = 0; i < found; i++)
        EXPECT_EQ(f["lpDetectedNumbers"][i], i % 2 == 0 ? 1 : 3) << i;

    // Etalon e (5) chosen for a series of the window, then the recording opened.
    ASSERT_EQ(run("menu 40032\nmenu 40005\nmenu 40018\npress 505 76\npress 367 512\n" + open +
                  "menu 40017\ndump series e.json\nmessages m.json\n", &log), 0) << log;
    const nlohmann::json e = nlohmann::json::parse(readAll("e.json"));
    EXPECT_EQ(e["wDetectedQuantity"], 0);
    EXPECT_NE(readAll("m.json").find("The subset holds etalon 5, but the series has 3 etalons"), std::string::npos)
        << readAll("m.json");
}

// A signal longer than one series is shown a stretch at a time: from sample
// 0 the series holds the first 32767 samples, from a given first sample the
// rest, and the pulses found are those of the stretch, counted from its
// start. A first sample beyond the signal is refused and changes nothing.
TEST_F(SeriesFile, ALongRecordingIsOpenedAStretchAtATime)
{
    const int N = 40000, n = 16;
    std::ostringstream csv;
    std::vector<int> truth;
    for (int i = 0; i < N; i++) {
        const int k = (i - 25) % 100;  // etalon a (16 samples of 1000) every 100 samples from 25
        csv << (i >= 25 && k < n ? 1000 : 0) << "\n";
        if (i >= 25 && k == 0 && i + n <= N)
            truth.push_back(i);
    }
    write("long.csv", csv.str());
    std::string row;
    for (int i = 0; i < n; i++)
        row += (i ? ",1000" : "1000");
    write("etalons.csv", row + "\n");
    auto found = [&](int64_t first, int64_t size) {
        std::vector<int> expected;
        for (int p : truth)
            if (p >= first && p + n <= first + size)
                expected.push_back(static_cast<int>(p - first));
        return nlohmann::json(expected);
    };
    const std::string setup = "answer ok \"Min Length of Interval=60\" \"Max Length of Interval=200\"\nanswer ok\n"
                              "menu 40001\nmenu 40011\nopen etalons etalons.csv\n";
    std::string log;
    ASSERT_EQ(run(setup + "open signal long.csv\nmenu 40017\ndump series a.json\nopen signal long.csv 0 30000\n"
                          "menu 40017\ndump series b.json\n", &log), 0) << log;
    const nlohmann::json a = nlohmann::json::parse(readAll("a.json")), b = nlohmann::json::parse(readAll("b.json"));
    EXPECT_EQ(a["dwSeriesSize"], kMaxSeriesSize);
    EXPECT_EQ(a["lpDetectedPositions"], found(0, kMaxSeriesSize));
    EXPECT_EQ(b["dwSeriesSize"], N - 30000);
    EXPECT_EQ(b["lpDetectedPositions"], found(30000, N - 30000));
    EXPECT_EQ(b["wSeriesAmplitude"], a["wSeriesAmplitude"]);  // one scale for the whole signal

    EXPECT_EQ(run(setup + "open signal long.csv\ndump series c.json\nopen signal long.csv 0 40000\n", &log), 2);
    EXPECT_NE(log.find("the first sample 40000 is not in the signal (0..39999)"), std::string::npos) << log;
}

// Bad recordings and bad lines: the file and the fault named, exit 2.
TEST_F(SeriesFile, BadRecordingFilesStopTheSessionWithTheirMessage)
{
    write("text.csv", "1\n2\nthree\n");
    write("long.csv", std::string(20, '1') + "\n");
    write("etalons.csv", std::string("1,2,3\n1,2\n"));
    std::string log;
    EXPECT_EQ(run("open signal text.csv\n", &log), 2);
    EXPECT_NE(log.find("text.csv"), std::string::npos) << log;
    EXPECT_EQ(run("open etalons etalons.csv\n", &log), 2);
    EXPECT_NE(log.find("etalons.csv"), std::string::npos) << log;
    EXPECT_EQ(run("open signal missing.wav\n", &log), 2);
    EXPECT_NE(log.find("missing.wav"), std::string::npos) << log;
    EXPECT_EQ(run("open signal\n", &log), 2);
    EXPECT_NE(log.find("not understood"), std::string::npos) << log;
    EXPECT_EQ(run("open signal text.csv x\n", &log), 2);
    EXPECT_EQ(run("open things text.csv\n", &log), 2);
}

// A recording longer than a page: Page Down shows another page, Home the first
// again, End the last (where Page Down stays); the keys change nothing on a
// series that Next built.
TEST_F(SeriesFile, PagesTurnThroughARecordingLongerThanTheView)
{
    std::ostringstream csv;
    std::mt19937 random(5);
    for (int i = 0; i < 7000; i++)
        csv << static_cast<int>(random() % 2000) - 1000 << "\n";
    write("long.csv", csv.str());
    write("etalons.csv", "1,2,3,4,5,6,7,8\n8,7,6,5,4,3,2,1\n");
    std::string log;
    ASSERT_EQ(run("menu 40011\nopen etalons etalons.csv\nopen signal long.csv\nmenu 40017\nsnapshot a.bmp\n"
                  "key 34\nsnapshot b.bmp\nkey 36\nsnapshot c.bmp\nkey 35\nsnapshot d.bmp\nkey 34\nsnapshot e.bmp\n"
                  "key 33\nsnapshot f.bmp\n",
                  &log),
              0)
        << log;
    EXPECT_NE(readAll("a.bmp"), readAll("b.bmp"));
    EXPECT_EQ(readAll("a.bmp"), readAll("c.bmp"));
    EXPECT_NE(readAll("a.bmp"), readAll("d.bmp"));
    EXPECT_EQ(readAll("d.bmp"), readAll("e.bmp"));
    EXPECT_NE(readAll("d.bmp"), readAll("f.bmp"));
    ASSERT_EQ(run("menu 40018\nsnapshot g.bmp\nkey 34\nkey 35\nsnapshot h.bmp\n"), 0);
    EXPECT_EQ(readAll("g.bmp"), readAll("h.bmp"));
}

// The File menu: Save series writes the series with its etalons, Open series
// reads it back (saving it again gives the same file), and Open signal and
// Open etalons take their files through their dialogs; a file that cannot be
// taken is refused with a message that names it, and the series stays.
TEST_F(SeriesFile, FileMenuSavesAndOpensSeriesAndRecordings)
{
    const std::string saved = (root / "saved.json").string();
    std::string log;
    ASSERT_EQ(run("menu 40018\nanswer ok saved.json\nmenu 40037\ndump series a.json\n", &log), 0) << log;
    const nlohmann::json j = nlohmann::json::parse(readAll("saved.json"));
    ASSERT_EQ(j["etalons"].size(), 20u);
    ASSERT_EQ(run("answer ok File=" + saved + "\nmenu 40036\ndump series b.json\nanswer ok again.json\nmenu 40037\n",
                  &log),
              0)
        << log;
    EXPECT_EQ(readAll("a.json"), readAll("b.json"));
    EXPECT_EQ(readAll("saved.json"), readAll("again.json"));

    write("etalons.csv", "1,2,3,4,5,6,7,8\n8,7,6,5,4,3,2,1\n");
    write("signal.csv", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n");
    write("bad.csv", "1\nx\n");
    ASSERT_EQ(run("menu 40018\ndump series before.json\nanswer ok File=" + (root / "bad.csv").string() +
                  "\nmenu 40034\ndump series after.json\nmessages m.json\nanswer ok File=" +
                  (root / "etalons.csv").string() + "\nmenu 40035\nanswer ok File=" + (root / "signal.csv").string() +
                  " Channel=0\nmenu 40034\ndump series s.json\n",
                  &log),
              0)
        << log;
    EXPECT_EQ(readAll("before.json"), readAll("after.json"));
    EXPECT_NE(readAll("m.json").find("bad.csv"), std::string::npos);
    const nlohmann::json s = nlohmann::json::parse(readAll("s.json"));
    EXPECT_EQ(s["dwSeriesSize"], 12);
    EXPECT_EQ(s["wImpulseSize"], 8);
}

// File -> Export results writes the window's last simulation as the batch
// command writes the same run: the same tables, normalisers and errors; before
// any simulation it says there is none and writes nothing.
TEST_F(SeriesFile, ExportResultsWritesWhatTheBatchCommandWritesForTheSameRun)
{
    std::string log;
    ASSERT_EQ(run("answer ok none/simulation.json\nmenu 40038\nmessages m.json\n"
                  "answer ok \"Samples Length=300\"\n"
                  "answer ok from=2 to=3 incr.=1 \"Number of Repeats=2\" \"Initial Level=10\""
                  " \"Number of Steps in Simulation=2\" \"Noise Increment per Step=10\" Seed=5\n"
                  "answer ok\nanswer ok \"summary view=1\"\nmenu 40012\n"
                  "answer ok export/simulation.json\nmenu 40038\n",
                  &log),
              0)
        << log;
    EXPECT_NE(readAll("m.json").find("Export results"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(root / "none"));

    SimulateOptions options;
    options.length = 300;
    options.pulsesFrom = 2;
    options.pulsesTo = 3;
    options.repeats = 2;
    options.noiseInitial = 10;
    options.noiseSteps = 2;
    options.noiseStep = 10;
    options.threads = 1;
    options.quiet = true;
    options.seed = 5;
    SimulateResult batch;
    simulate(nullptr, options, batch);
    ASSERT_EQ(batch.status, kTrawlingComplete) << batch.error;
    const SimulationResults results = simulationResults(batch, options);
    EXPECT_EQ(readAll("export/simulation.csv"), simulationCsvText(results));
    const nlohmann::json window = nlohmann::json::parse(readAll("export/simulation.json"));
    const nlohmann::json command = nlohmann::json::parse(simulationJsonText(results));
    for (const char* key : {"format_version", "lpErrors", "errors", "normalisers", "wPulseValues", "lpNoiseLevels"})
        EXPECT_EQ(window[key], command[key]) << key;
    EXPECT_EQ(window["run"]["resolved"]["pulses_to"], 3);
    EXPECT_EQ(window["run"]["seed"], 5);
    EXPECT_NE(readAll("export/description.csv").find("normalisers.TmaxMinusQ,161"), std::string::npos);
}

// While a recording is shown the choice panels are inactive: a press on any
// of their choices changes nothing; Next builds a series again and they act.
TEST_F(SeriesFile, ChoicePanelsAreInactiveWhileARecordingIsShown)
{
    write("etalons.csv", "1,2,3,4,5,6,7,8\n8,7,6,5,4,3,2,1\n");
    write("signal.csv", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n");
    const std::string open = "open etalons etalons.csv\nopen signal signal.csv\ndump state a.json\ndump series a1.json\n";
    ASSERT_EQ(run(open), 0);
    const nlohmann::json layout = nlohmann::json::parse(readAll("a.json"))["display"];
    std::string presses;
    for (const char* panel : {"SeriesLengthItemRect", "NoiseLevelItemRect", "LostDataLevelItemRect"})
        for (const auto& r : layout[panel]) {
            const int x = (r["left"].get<int>() + r["right"].get<int>()) / 2;
            const int y = (r["top"].get<int>() + r["bottom"].get<int>()) / 2;
            presses += "press " + std::to_string(x) + " " + std::to_string(y) + "\nrelease " + std::to_string(x) +
                       " " + std::to_string(y) + "\n";
        }
    ASSERT_EQ(run(open + presses + "dump state b.json\ndump series b1.json\n"), 0);
    EXPECT_EQ(readAll("a.json"), readAll("b.json"));
    EXPECT_EQ(readAll("a1.json"), readAll("b1.json"));
    ASSERT_EQ(run(open + "menu 40018\n" + presses + "dump state c.json\n"), 0);
    EXPECT_NE(readAll("a.json"), readAll("c.json"));
}

// A recording made from real sounds by scripts/make-recording (skipped without
// sox and the sounds), longer than a page: opened with its etalons in the
// window, the unfixed-count operation finds every pulse of its truth at its
// position with its etalon.
TEST_F(SeriesFile, WindowFindsEveryPulseOfARecordingFromRealSounds)
{
    const std::string make = std::string(PULSEBENCH_SOURCE "/scripts/make-recording ") + (root / "rec").string() +
                             " --samples 6000 >/dev/null 2>&1";
    const int made = std::system(make.c_str());
    if (WIFEXITED(made) && WEXITSTATUS(made) == 2)
        GTEST_SKIP() << "sox or the freedesktop sounds are missing";
    ASSERT_EQ(made, 0);
    std::string log;
    ASSERT_EQ(run("answer ok \"Min Length of Interval=100\" \"Max Length of Interval=200\"\nanswer ok\nmenu 40001\n"
                  "menu 40011\nopen etalons rec/etalons\nopen signal rec/signal.wav\nmenu 40017\ndump series s.json\n",
                  &log),
              0)
        << log;
    const nlohmann::json s = nlohmann::json::parse(readAll("s.json"));
    std::ifstream truth(root / "rec" / "truth.csv");
    std::string line;
    std::getline(truth, line);  // position,time,etalon
    std::vector<int> positions, etalons;
    while (std::getline(truth, line)) {
        positions.push_back(std::stoi(line.substr(0, line.find(','))));
        etalons.push_back(std::stoi(line.substr(line.rfind(',') + 1)));
    }
    EXPECT_GT(s["dwSeriesSize"].get<int>(), kRecordingPageSamples);
    EXPECT_EQ(s["lpDetectedPositions"], nlohmann::json(positions));
    EXPECT_EQ(s["lpDetectedNumbers"], nlohmann::json(etalons));
}
