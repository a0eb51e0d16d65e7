// pulsebench: the workbench executable. By default the desktop window; with
// --script FILE a scripted session on the real window and dialogs (offscreen
// without a display), with --headless on a window nobody sees; with
// `simulate [options]` a statistical simulation written as CSV and JSON, split
// over the processes of an MPI job when started by mpirun.
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>
#include <QByteArray>
#include <QtGlobal>

#include "app/session.h"
#include "app/mpi_batch.h"
#include "app/simulate_command.h"
#include "platform/backend.h"
#include "shell/shell.h"

int main(int argc, char** argv)
{
    CLI::App app{"Pulse series workbench: detection and recognition of pulse series in noise"};
    bool headless = false;
    std::string script;
    std::string output = ".";
    auto* headlessFlag = app.add_flag("--headless", headless, "run without a display (needs --script)");
    auto* scriptOption =
        app.add_option("--script", script,
                       "replay a scripted session (see README); without --headless on the real window and "
                       "dialogs, offscreen when there is no display")
            ->check(CLI::ExistingFile);
    app.add_option("--out", output, "folder for the files a script writes (default: the current folder)");
    headlessFlag->needs(scriptOption);
    CLI::App* simulateCommand = addSimulateCommand(app, runSimulateBatch);  // runs in its callback during parsing
    CLI11_PARSE(app, argc, argv);
    if (simulateCommand->parsed())
        return 0;

    if (headless) {
        startPlatform(Backend::Headless, argc, argv);
        const int result = runScriptedSession(script, output, std::cerr);
        stopPlatform();
        return result;
    }

    if (!script.empty()) {
        // A script on the real window and dialogs; with no display, offscreen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        startPlatform(Backend::Qt, argc, argv);
        const int result = runScriptedSession(script, output, std::cerr, SessionOptions{.realDialogs = true});
        stopPlatform();
        return result;
    }

    startPlatform(Backend::Qt, argc, argv);
    setDefaultMessageBoxService(qtMessageBoxes());
    setDialogService(qtDialogs());
    setProgressService(qtProgress());
    resetProgramState();
    if (!startMainWindow(nullptr, nullptr)) {
        stopPlatform();
        return 0;  // the failure was shown
    }
    const int code = runMessageLoop();
    stopPlatform();
    return code;
}
