// Fuzz target: the reader of simulation checkpoints (`simulate --resume`,
// and the window's " Resume simulation..."). The input is the file, read for
// a small grid; one of the window's is read for the options it names itself. Beyond "no crash" it checks
// that a refused file says why, and that an accepted one holds ranges within
// the run, ascending and apart, one entry of sums per cell, and is written
// back to what it reads. "@PROGRAM@" in the input stands for this build's
// fingerprint, so that the seeds stay checkpoints of every build.
#include "checkpoint/checkpoint.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SimulationRequest request;  // the grid of the seeds: 3 pulse counts x 2 levels x 2 repeats
    request.length = 300;
    request.pulsesFrom = 3;
    request.pulsesTo = 5;
    request.noiseSteps = 2;
    request.repeats = 2;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (const size_t at = text.find("@PROGRAM@"); at != std::string::npos)
        text.replace(at, 9, checkpointProgram());
    Checkpoint c;
    std::string error;
    nlohmann::json options;
    if (checkpointOptionsIn(text, kWindowCheckpointKind, options, error)) {
        const CheckpointRun run{kWindowCheckpointKind, nlohmann::ordered_json::parse(options.dump()), 12, 2};
        if (!parseCheckpoint(text, run, c, error)) {
            FUZZ_CHECK(!error.empty());
            return 0;
        }
        Checkpoint again;
        FUZZ_CHECK(parseCheckpoint(checkpointText(c), run, again, error));
        FUZZ_CHECK(again.done == c.done && again.sums == c.sums && again.start == c.start);
        return 0;
    }
    if (!parseCheckpoint(text, request, c, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(c.trials == 12 && c.sums.size() == 6);
    int64_t end = -1;
    for (const TrialRange& r : c.done) {
        FUZZ_CHECK(r.count >= 1 && r.first > end && r.first + r.count <= c.trials);
        end = r.first + r.count;
    }
    Checkpoint again;
    FUZZ_CHECK(parseCheckpoint(checkpointText(c), request, again, error));
    FUZZ_CHECK(again.done == c.done && again.sums == c.sums);
    return 0;
}
