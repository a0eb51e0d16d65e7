// The SIGINT and SIGTERM handlers of the batch command and the one-process run
// under them. The handlers only store into lock-free atomics, or, at the
// second signal, unlink and rename through removeTemporaryFilesNow and _exit:
// nothing else is safe inside a signal handler.
#include "app/signals.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "platform/files.h"

namespace {

std::atomic<int> gSignal{0};                      // the first signal, 0 while none
std::atomic<std::atomic<bool>*> gCancel{nullptr}; // the flag the first signal sets

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<std::atomic<bool>*>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "the handlers use only lock-free atomics");

void onInterrupt(int signal)
{
    int none = 0;
    if (!gSignal.compare_exchange_strong(none, signal)) {
        removeTemporaryFilesNow();
        ::_exit(128 + signal);
    }
    if (std::atomic<bool>* cancel = gCancel.load())
        cancel->store(true);
}

} // namespace

void installInterruptHandlers(std::atomic<bool>* cancel)
{
    gCancel.store(cancel);
    if (cancel && gSignal.load() != 0)
        cancel->store(true);  // a signal came before there was a run to cancel
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interruptSignal()
{
    return gSignal.load();
}

const char* interruptName()
{
    switch (gSignal.load()) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "";
    }
}

int interruptExitCode()
{
    return 128 + gSignal.load();
}

int runSimulateInterruptibly(const SimulateOptions& options)
{
    std::atomic<bool> cancel = false;
    installInterruptHandlers(&cancel);
    const int code = runSimulate(options, &cancel);
    installInterruptHandlers(nullptr);  // the flag ends with this frame
    if (code == 0 || interruptSignal() == 0)
        return code;
    std::fprintf(stderr, "pulsebench simulate: interrupted by %s; no result file was written\n", interruptName());
    return interruptExitCode();
}
