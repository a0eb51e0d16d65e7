// Fuzz target: the options of `pulsebench simulate` and the checks of the
// run they describe, without running a trial. Each line of the input is one
// command-line argument ("--subsets" and "1, 2;3" are two lines). Beyond "no
// crash" it checks that a refused run always says why (an error text or a
// message box) and that a run that passed showed no box.
#include <vector>

#include "fuzz_support.h"
#include "simulate_command.h"

namespace {

std::vector<std::string> argumentsOf(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> arguments = argumentsOf(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<char*> argv{const_cast<char*>("pulsebench-simulate")};
    for (std::string& a : arguments)
        argv.push_back(a.data());

    CLI::App app{"simulate"};
    SimulateOptions options;
    addSimulateOptions(app, options);
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError&) {
        return 0;  // refused with CLI11's message, as the program's main reports it
    }

    RecordingMessageBoxes boxes;
    PlatformWindow window;
    window.lpMessages = &boxes;
    SimulateHooks hooks;
    hooks.checkOnly = true;
    SimulateResult result;
    simulate(&window, options, result, &hooks);
    if (result.status == kTrawlingCancelled) {
        FUZZ_CHECK(result.error.empty() && boxes.count() == 0 && !result.record);
    } else {
        FUZZ_CHECK(result.status == kTrawlingNotStarted);
        FUZZ_CHECK(!result.error.empty() || boxes.count() > 0);
    }
    return 0;
}
