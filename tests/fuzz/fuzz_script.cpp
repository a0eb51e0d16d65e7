// Fuzz target: a whole scripted session on the headless window; the input is
// the script. Each input runs as in a fresh process: the session resets the
// program state, the random streams, the display and the clock, its replies
// live and die with it, and the platform is stopped after it (which frees
// every window). Every file the script names must stay inside the session's
// output folder (confineToOutput), which is removed after each input. A
// statistical simulation is cancelled after a few trials: the fuzzer looks
// for faults, not for results. Beyond "no crash" it checks that a refused
// script says why and that nothing was written outside the output folder.
#include <fstream>
#include <sstream>

#include "app/session.h"
#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// The progress of a statistical simulation: Cancel once a few trials ran.
class TrialBudget : public ProgressService {
public:
    bool update(HWND, const char*, const char*, int64_t done, int64_t) override { return done < kTrials; }
    void finish() override {}

private:
    static constexpr int64_t kTrials = 20;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_script";
    static char* argv[] = {name, nullptr};
    const fs::path folder = freshScratchFolder("script");
    const fs::path script = folder / "script.txt";
    std::ofstream(script, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));

    startPlatform(Backend::Headless, argc, argv);
    TrialBudget budget;
    setProgressService(&budget);
    std::ostringstream log;
    SessionOptions options;
    options.confineToOutput = true;
    const int result = runScriptedSession(script.string(), (folder / "out").string(), log, options);
    setProgressService(nullptr);
    stopPlatform();

    FUZZ_CHECK(result == 0 || result == 2 || result == 3);  // the window is always made; 3: a file not written
    FUZZ_CHECK(result == 0 || !log.str().empty());
    std::error_code ignored;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ignored))
        FUZZ_CHECK(e.path() == script || e.path() == folder / "out");
    removeScratchFolder(folder);
    return 0;
}
