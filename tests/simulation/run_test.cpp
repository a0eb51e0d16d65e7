// A simulation run set up from its request, as a library user calls it: the
// checks of the request at the door, runs on two threads at once against each
// run alone, the cancel flag, and the streams after a refused request.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "simulation/simulation.h"

namespace {

// A small grid: 3 pulse counts, 3 noise levels, 3 repeats, one detector thread.
SimulationRequest smallRequest(int task, int seriesType)
{
    SimulationRequest q;
    q.task = task;
    q.seriesType = seriesType;
    q.length = 300;
    q.pulsesFrom = 2;
    q.pulsesTo = 6;
    q.pulsesStep = 2;
    q.noiseInitial = 10;
    q.noiseSteps = 3;
    q.noiseStep = 15;
    q.repeats = 3;
    q.required = 6;
    return q;
}

// The tables of a finished run, table by table, row by row, then the streams.
std::vector<int64_t> tablesAndStreams(const SimulationOutcome& o, const RandomStreams& s)
{
    std::vector<int64_t> out;
    const RestoreErrorHeader* r = o.record.get();
    for (int t = 0; r && t < kErrorTables; t++)
        for (int k = 0; k < r->wNoiseLevels; k++)
            out.insert(out.end(), r->lpErrors[t][k], r->lpErrors[t][k] + r->wVariousPulses);
    out.insert(out.end(), {s.wCutBeginSeed, s.wCutEndSeed, s.wPositionSeed, s.wQuantitySeed, s.wSubsetShiftSeed,
                           s.wSubsetGapSeed, s.wNoiseEtalonSeed, s.dwSequenceState, s.wNoiseSeed});
    return out;
}

std::vector<int64_t> runAlone(const SimulationRequest& q, const SimulationControl& c)
{
    RandomStreams streams;
    const SimulationOutcome o = runSimulation(q, streams, c);
    EXPECT_EQ(o.status, kTrawlingComplete) << o.error;
    return tablesAndStreams(o, streams);
}

class SimulationRequestDoor : public ::testing::Test {
protected:
    RecordingMessageBoxes boxes;
    PlatformWindow window;
    SimulationControl control;

    void SetUp() override
    {
        window.lpMessages = &boxes;
        control.hWnd = &window;
        control.threads = 1;
    }
};

} // namespace

TEST_F(SimulationRequestDoor, EachFieldOutsideItsRangeIsNamedAndTheStreamsStayAsTheyWere)
{
    struct Field {
        const char* option;
        int SimulationRequest::*member;
        int below, lowest, highest, above;  // in range: lowest .. highest (with the other fields at their defaults)
    } fields[] = {
        {"--length", &SimulationRequest::length, 19, 20, 32767, 32768},
        {"--tmin", &SimulationRequest::tmin, 0, 1, 181, 32768},
        {"--tmax", &SimulationRequest::tmax, 0, 181, 32767, 32768},
        {"--making-level", &SimulationRequest::makingLevel, -2, -1, 100, 101},
        {"--processing-level", &SimulationRequest::processingLevel, -2, -1, 100, 101},
        {"--pulses-from", &SimulationRequest::pulsesFrom, -2, -1, 30, 32768},
        {"--pulses-to", &SimulationRequest::pulsesTo, -2, 6, 32767, 32768},
        {"--pulses-step", &SimulationRequest::pulsesStep, -1, 0, 32767, 32768},
        {"--noise-initial", &SimulationRequest::noiseInitial, -1, 0, 32627, 32768},
        {"--noise-steps", &SimulationRequest::noiseSteps, 0, 1, 4096, 4097},
        {"--noise-step", &SimulationRequest::noiseStep, -1, 0, 1170, 32768},
        {"--repeats", &SimulationRequest::repeats, 0, 1, 65535, 65536},
        {"--required", &SimulationRequest::required, 0, 1, 20, 21},
        {"--pick", &SimulationRequest::pick, 0, 1, 32767, 32768},
        {"--employment", &SimulationRequest::employment, 0, 1, 5, 6},
        {"--init", &SimulationRequest::init, 0, 1, 32767, 32768},
        {"--proceeding", &SimulationRequest::proceeding, 0, 1, 2, 3},
        {"--task", &SimulationRequest::task, 0, 1, 64, 65},
        {"--series-type", &SimulationRequest::seriesType, 0, 1, 40, 65538},
    };
    const RandomStreams moved{1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const Field& f : fields) {
        for (int value : {f.below, f.above}) {
            SimulationRequest q;
            q.*f.member = value;
            const std::string message = validateSimulationRequest(q);
            EXPECT_EQ(message.rfind(f.option, 0), 0u) << f.option << " " << value << ": " << message;
            RandomStreams streams = moved;
            const SimulationOutcome o = runSimulation(q, streams, control);
            EXPECT_EQ(o.status, kTrawlingNotStarted);
            EXPECT_EQ(o.error, message);
            EXPECT_FALSE(o.record);
            EXPECT_EQ(streams, moved) << f.option << " " << value;
        }
        for (int value : {f.lowest, f.highest}) {
            SimulationRequest q;
            q.*f.member = value;
            EXPECT_EQ(validateSimulationRequest(q), "") << f.option << " " << value;
        }
    }
    EXPECT_EQ(boxes.count(), 0u);

    SimulationRequest q;
    q.seriesType = 16;  // a code of the window's typed series, which a run does not build
    EXPECT_EQ(validateSimulationRequest(q).rfind("--series-type", 0), 0u);
    q = SimulationRequest{};
    q.subsets = {{1, 2}, {}};
    EXPECT_EQ(validateSimulationRequest(q).rfind("--subsets", 0), 0u);
    q.subsets = {{1, 21}};
    EXPECT_EQ(validateSimulationRequest(q).rfind("--subsets", 0), 0u);
    q = SimulationRequest{};
    q.subset = {0};
    EXPECT_EQ(validateSimulationRequest(q).rfind("--subset:", 0), 0u);
    q = SimulationRequest{};
    q.tmin = 200;
    EXPECT_EQ(validateSimulationRequest(q), "--tmin must not exceed --tmax");
}

TEST_F(SimulationRequestDoor, ARunTheSeriesRefusesShowsOneBoxAndLeavesTheStreams)
{
    SimulationRequest q = smallRequest(4, 2);
    q.pulsesTo = 12;  // 300 samples hold at most 8 pulses
    ASSERT_EQ(validateSimulationRequest(q), "");
    RandomStreams streams;
    const SimulationOutcome o = runSimulation(q, streams, control);
    EXPECT_EQ(o.status, kTrawlingNotStarted);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.messages()[0].text.find("допустимо от 1 до 8"), std::string::npos);
    EXPECT_EQ(streams, RandomStreams{}) << "the fresh start's draws are taken back";
}

TEST_F(SimulationRequestDoor, TwoRunsOnTwoThreadsAtOnceGiveWhatEachGivesAlone)
{
    const SimulationRequest a = smallRequest(4, 2), b = smallRequest(2, 8);
    const std::vector<int64_t> aloneA = runAlone(a, control), aloneB = runAlone(b, control);
    ASSERT_NE(aloneA, aloneB);
    for (int repeat = 0; repeat < 2; repeat++) {
        std::vector<int64_t> togetherB;
        std::thread other([&] { togetherB = runAlone(b, control); });
        const std::vector<int64_t> togetherA = runAlone(a, control);
        other.join();
        EXPECT_EQ(togetherA, aloneA) << "repeat " << repeat;
        EXPECT_EQ(togetherB, aloneB) << "repeat " << repeat;
    }
    EXPECT_EQ(boxes.count(), 0u);
}

namespace {

// Sets the cancel flag once `after` trials have finished.
struct CancelAfter {
    std::atomic<bool> cancel{false};
    int64_t after = 0;  // trials to let finish
    int calls = 0;      // progress calls seen
};

void cancelAfter(void* context, const TrawlingProgress& p)
{
    auto* c = static_cast<CancelAfter*>(context);
    c->calls++;
    if (p.trialsDone >= c->after)
        c->cancel = true;
}

} // namespace

TEST_F(SimulationRequestDoor, TheCancelFlagStopsTheRunBetweenTrialsAndFillsNoCell)
{
    CancelAfter stop;
    stop.after = 5;
    control.progress = cancelAfter;
    control.progressContext = &stop;
    control.lpCancel = &stop.cancel;
    RandomStreams streams;
    const SimulationOutcome o = runSimulation(smallRequest(4, 2), streams, control);
    EXPECT_EQ(o.status, kTrawlingCancelled);
    EXPECT_EQ(stop.calls, 5) << "one detector thread: the flag is seen before the sixth trial";
    ASSERT_TRUE(o.record);
    EXPECT_EQ(o.record->ifComplete, 0);
    for (int k = 0; k < o.record->wNoiseLevels; k++)
        for (int j = 0; j < o.record->wVariousPulses; j++)
            EXPECT_EQ(o.record->lpErrors[0][k][j], 0);
    EXPECT_NE(streams, RandomStreams{}) << "the trials run so far drew";
}
