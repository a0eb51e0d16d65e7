// Batch simulation command: its tables equal those of a simulation run in
// process right after a fresh start, the JSON and CSV layouts, the options
// parsed from a command line, and refused options. Small grids only.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

#include "simulate_command.h"
#include "trawling_support.h"

namespace {

class SimulateCommand : public SimulationRun {
protected:
    SimulateOptions options;

    void SetUp() override
    {
        SimulationRun::SetUp();
        options.length = 300;
        options.pulsesFrom = 2;
        options.pulsesTo = 6;
        options.pulsesStep = 2;
        options.noiseInitial = 10;
        options.noiseSteps = 3;
        options.noiseStep = 15;
        options.repeats = 3;
        options.required = 6;
        options.threads = 2;
        options.quiet = true;
    }

    // What the program does from its start to the end of the simulation
    // command, spelled out: the alphabet, the first series of window creation,
    // the task and series type chosen, the simulation parameters, the run.
    std::vector<int32_t> inProcess(uint16_t task, uint16_t seriesType, uint16_t level)
    {
        freeAlphabet(20, alphabet);
        streams = RandomStreams{};
        EXPECT_EQ(makeAlphabet(hWnd, 128, 20, 20, alphabet, streams), 1);
        std::vector<uint16_t> sequence(30, 1);
        series = getCutOffSeries(hWnd, 20, alphabet, 20, 40, 181, 1200, 18, sequence.data(), 128, 75, series, streams);
        required.resize(options.required);
        prepare(options.length, 40, 181, {2, 4, 6}, {10, 25, 40}, options.repeats, level);
        context.threads = 1;
        EXPECT_EQ(run(task, seriesType), kTrawlingComplete);
        return cells();
    }

};

TEST_F(SimulateCommand, TablesEqualAnInProcessRunAfterAFreshStart)
{
    SimulateResult batch;
    simulate(hWnd, options, batch);
    ASSERT_EQ(batch.status, kTrawlingComplete) << batch.error;
    EXPECT_EQ(tableCells(batch.record.get()), inProcess(4, 2, 75));

    options.task = 2;
    options.seriesType = 8;
    SimulateResult recognition;
    simulate(hWnd, options, recognition);
    ASSERT_EQ(recognition.status, kTrawlingComplete) << recognition.error;
    EXPECT_EQ(tableCells(recognition.record.get()), inProcess(2, 8, 75));
    EXPECT_EQ(recognition.record->wMakingSavedEnergy, 75);
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(SimulateCommand, WholePulseTypesDefaultToFullEnergyAndDetectionToEtalonOne)
{
    options.task = 1;
    options.seriesType = 4;
    SimulateResult batch;
    simulate(hWnd, options, batch);
    ASSERT_EQ(batch.status, kTrawlingComplete) << batch.error;
    EXPECT_EQ(batch.record->wMakingSavedEnergy, 100);
    EXPECT_EQ(batch.record->wProcessingSavedEnergy, 100);
    options.required = 1;
    EXPECT_EQ(tableCells(batch.record.get()), inProcess(1, 4, 100));
}

TEST_F(SimulateCommand, JsonHoldsDescriptionGridAndSixTablesByLevelThenPulseCount)
{
    SimulateResult batch;
    simulate(hWnd, options, batch);
    ASSERT_EQ(batch.status, kTrawlingComplete);
    const RestoreErrorHeader* r = batch.record.get();
    batch.elapsedSeconds = 7;
    const SimulationResults results = simulationResults(batch, options);
    const nlohmann::json j = nlohmann::json::parse(simulationJsonText(results));
    EXPECT_EQ(j["format_version"], kJsonFormatVersion);
    EXPECT_EQ(j["wPulseValues"], (std::vector<int>{2, 4, 6}));
    EXPECT_EQ(j["lpNoiseLevels"], (std::vector<int>{10, 25, 40}));
    EXPECT_EQ(j["repeats"], 3);
    EXPECT_EQ(j["description"]["lpTaskName"], "joint detection and identification");
    EXPECT_EQ(j["description"]["lpSeriesTypeName"], "known number of cut-off pulses");
    EXPECT_EQ(j["description"]["ifComplete"], 1);
    EXPECT_EQ(j["description"]["elapsedSeconds"], 7);
    ASSERT_EQ(j["lpErrors"].size(), 6u);
    for (int t = 0; t < 6; t++) {
        ASSERT_EQ(j["lpErrors"][t].size(), 3u);
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(j["lpErrors"][t][k], std::vector<int32_t>(r->lpErrors[t][k], r->lpErrors[t][k] + 3));
    }
    EXPECT_EQ(j["normalisers"]["TmaxMinusQ"], 181 - 20);
    EXPECT_EQ(j["run"]["resolved"]["pulses_to"], 6);
    EXPECT_EQ(j["run"]["resolved"]["making_level"], 75);

    // One row per pulse count (outer) and noise level; every column of the
    // CSV is the array of the same name under "errors", the raw cells too.
    std::istringstream csv(simulationCsvText(results));
    std::string line;
    std::getline(csv, line);
    std::vector<std::string> names;
    for (std::stringstream header(line); std::getline(header, line, ',');)
        names.push_back(line);
    ASSERT_EQ(names.size(), j["errors"].size());
    EXPECT_EQ(names.front(), "pulses");
    EXPECT_EQ(names.back(), "sum_5");
    size_t row = 0;
    for (; std::getline(csv, line); row++) {
        std::vector<std::string> cells;
        for (std::stringstream fields(line); std::getline(fields, line, ',');)
            cells.push_back(line);
        cells.resize(names.size());
        const int jp = int(row) / 3, k = int(row) % 3;
        EXPECT_EQ(cells[0], std::to_string(2 + 2 * jp));
        EXPECT_EQ(cells[1], std::to_string(10 + 15 * k));
        for (int t = 0; t < 6; t++)
            EXPECT_EQ(cells[names.size() - 6 + t], std::to_string(r->lpErrors[t][k][jp]));
        for (size_t c = 0; c < names.size(); c++) {
            const nlohmann::json& v = j["errors"][names[c]][row];
            if (v.is_null())
                EXPECT_TRUE(cells[c].empty() || cells[c] == "inf") << names[c];
            else
                EXPECT_EQ(std::stod(cells[c]), v.get<double>()) << names[c] << " row " << row;
        }
    }
    EXPECT_EQ(row, 3u * 3);
}

TEST_F(SimulateCommand, CommandLineOptionsReachTheRun)
{
    CLI::App app;
    SimulateOptions parsed;
    addSimulateOptions(app, parsed);
    app.parse(R"(--subsets "1,2;3,4" --subset 2,5 --task 2 --series-type 40 --noise-steps 4 --pick 2)", false);
    EXPECT_EQ(parsed.subset, (std::vector<int>{2, 5}));
    EXPECT_EQ(parsed.subsetsText, "1,2;3,4");
    EXPECT_EQ(parsed.task, 2);
    EXPECT_EQ(parsed.seriesType, 40);
    EXPECT_EQ(parsed.pick, 2);
    EXPECT_EQ(parsed.noiseSteps, 4);

    CLI::App refusing;
    SimulateOptions other;
    addSimulateOptions(refusing, other);
    EXPECT_THROW(refusing.parse("--task 3", false), CLI::ValidationError);
}

TEST_F(SimulateCommand, RefusedGridsAndSubsetsRunNoTrial)
{
    options.pulsesFrom = 6;
    options.pulsesTo = 2;
    SimulateResult reversed;
    simulate(hWnd, options, reversed);
    EXPECT_EQ(reversed.status, kTrawlingNotStarted);
    EXPECT_NE(reversed.error.find("--pulses-to"), std::string::npos);

    options.pulsesTo = 12; // 300 samples hold at most 8 pulses
    SimulateResult tooMany;
    simulate(hWnd, options, tooMany);
    EXPECT_EQ(tooMany.status, kTrawlingNotStarted);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(texts()[0].find("допустимо от 1 до 8"), std::string::npos) << texts()[0];
    EXPECT_EQ(tooMany.record->ifComplete, 0);

    options.pulsesTo = 6;
    options.noiseInitial = 32760; // three levels 15 apart pass 32767
    SimulateResult loud;
    simulate(hWnd, options, loud);
    EXPECT_EQ(loud.status, kTrawlingNotStarted);
    EXPECT_NE(loud.error.find("noise levels"), std::string::npos);

    options.noiseInitial = 0;
    options.subsetsText = "1,2;;3";
    SimulateResult badSubsets;
    simulate(hWnd, options, badSubsets);
    EXPECT_EQ(badSubsets.status, kTrawlingNotStarted);
    EXPECT_NE(badSubsets.error.find("--subsets"), std::string::npos);

    options.subsetsText.clear();
    options.tmin = options.tmax = 10;           // shorter than a pulse: no series can be built
    options.pulsesFrom = options.pulsesTo = 6;  // a count the fresh start's series would take
    SimulateResult shortTmax;
    simulate(hWnd, options, shortTmax);
    EXPECT_EQ(shortTmax.status, kTrawlingNotStarted);
    EXPECT_NE(shortTmax.error.find("--tmax"), std::string::npos);
}

} // namespace
