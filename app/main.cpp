// pulsebench: the workbench executable. By default the desktop window; with
// --script FILE a scripted session on the real window and dialogs (offscreen
// without a display), with --headless on a window nobody sees; with
// `simulate [options]` a statistical simulation written as CSV and JSON, split
// over the processes of an MPI job when started by mpirun; with `detect
// [options]` one detector on a recorded signal. PULSEBENCH_LANG=en or
// `--lang en` anywhere on the command line shows every text in English;
// `--checkpoint FILE` keeps the checkpoint of the window's simulations.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>

#include <CLI/CLI.hpp>
#include <QByteArray>
#include <QtGlobal>

#include <unistd.h>

#include "app/detect_command.h"
#include "app/display_probe.h"
#include "app/session.h"
#include "app/mpi_batch.h"
#include "app/simulate_command.h"
#include "platform/backend.h"
#include "platform/texts.h"
#include "shell/shell.h"

namespace {

QtMessageHandler gQtMessages = nullptr;  // Qt's handler, for every message but a fatal one at start-up

// Qt's messages while it starts: a fatal one can only be that no platform
// could be opened (a display the probe took for one). Our message, exit 1.
void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        if (gQtMessages)
            gQtMessages(type, context, text);
        return;
    }
    (void)text;  // Qt's own advice (reinstalling) does not fit: the display is what is missing
    const std::string message = noDisplayMessage("the display that DISPLAY or WAYLAND_DISPLAY names could not be opened");
    std::fputs(message.c_str(), stderr);
    _exit(1);
}

// Starts Qt for the window, our message instead of Qt's abort when no platform opens.
void startQt(int& argc, char** argv)
{
    gQtMessages = qInstallMessageHandler(startupMessages);
    startPlatform(Backend::Qt, argc, argv);
    qInstallMessageHandler(gQtMessages);
}

int runProgram(int argc, char** argv)
{
    Language language = Language::Own;
    if (const std::string refused = takeLanguageOption(argc, argv, std::getenv("PULSEBENCH_LANG"), language);
        !refused.empty()) {
        std::fprintf(stderr, "pulsebench: %s\n", refused.c_str());
        return 2;
    }
    setLanguage(language);

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
    std::string checkpoint;
    app.add_option("--checkpoint", checkpoint,
                   "the window's simulations keep their checkpoint in this file, every 5 s and on Cancel "
                   "(\" Resume simulation...\" continues it); without it Cancel asks")
        ->check([](const std::string& path) {
            const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
            std::error_code error;
            if (std::filesystem::is_directory(path, error))
                return "a folder has that name: " + path;
            return std::filesystem::is_directory(folder, error) ? std::string() : "no such folder: " + folder.string();
        });
    headlessFlag->needs(scriptOption);
    app.set_version_flag("--version", std::string("pulsebench ") + programVersion() + " (commit " + programCommit() + ")",
                         "print the version and the git commit, then exit");
    setCommandLine(argc, argv);
    CLI::App* simulateCommand = addSimulateCommand(app, runSimulateBatch);  // runs in its callback during parsing
    CLI::App* detectCommand = addDetectCommand(app);  // also runs in its callback
    CLI11_PARSE(app, argc, argv);
    if (simulateCommand->parsed() || detectCommand->parsed())
        return 0;
    setWindowCheckpoint(checkpoint);

    if (headless) {
        startPlatform(Backend::Headless, argc, argv);
        const int result = runScriptedSession(script, output, std::cerr);
        stopPlatform();
        return result;
    }

    const std::string noDisplay = missingDisplay();
    if (!script.empty()) {
        // A script on the real window and dialogs; with no display, offscreen.
        if (!noDisplay.empty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        startQt(argc, argv);
        const int result = runScriptedSession(script, output, std::cerr, SessionOptions{.realDialogs = true});
        stopPlatform();
        return result;
    }
    if (!noDisplay.empty()) {
        std::fputs(noDisplayMessage(noDisplay).c_str(), stderr);
        return 1;
    }

    startQt(argc, argv);
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

} // namespace

int main(int argc, char** argv)
{
    // The last guard: the window and the batch command report their own
    // failures; whatever still escapes ends the program with a message, not an abort.
    try {
        return runProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("pulsebench: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pulsebench: %s\n", e.what());
    }
    return 1;
}
