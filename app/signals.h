// Interrupts of the batch command `pulsebench simulate`: the first SIGINT or
// SIGTERM cancels the run the way the window's Cancel does (the workers stop
// after their current trial and nothing is written); a second one removes the
// file writer's temporaries and ends the process at once. Installed by the
// batch command only: the engine, which other programs embed, never handles
// signals.
#pragma once

#include <atomic>

#include "app/simulate_command.h"

// Installs the handlers of SIGINT and SIGTERM. The first signal sets *cancel
// (the flag the run polls; null: none yet); a later call points the handlers
// at another flag.
void installInterruptHandlers(std::atomic<bool>* cancel);

// The first signal received (SIGINT or SIGTERM), 0 while none.
int interruptSignal();
// "SIGINT" or "SIGTERM" for the first signal, "" while none.
const char* interruptName();
// The exit code of a run ended by the first signal: 128 + its number.
int interruptExitCode();

// runSimulate under the handlers: the whole command in one process. Returns
// its code, or interruptExitCode() when a signal stopped the run before its
// files were written (a message says so).
int runSimulateInterruptibly(const SimulateOptions& options);
