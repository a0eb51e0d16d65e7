// pulsebench-simulate: the batch simulation command as a program of its own,
// until the program's main carries it as `pulsebench simulate` (the same
// options, the same files).
#include <CLI/CLI.hpp>

#include "simulate_command.h"

int main(int argc, char** argv)
{
    CLI::App app{"Statistical simulation without a window: the six error tables as CSV and JSON"};
    SimulateOptions options;
    addSimulateOptions(app, options);
    CLI11_PARSE(app, argc, argv);
    return runSimulate(options);
}
