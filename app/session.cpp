// The runner of scripted sessions: reads the script line by line, checks each
// line where it enters, and turns it into what a person at the window would
// cause (a menu choice, a press, a key, a reply to a dialog); paints whatever
// became invalid after each event, as the window system does when idle. Each
// script command has one handler, found in the command table below.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <ostream>
#include <sstream>

#include "app/session.h"
#include "platform/files.h"
#include "recording/recording.h"
#include "resources/resources.h"
#include "results/results.h"
#include "shell/shell.h"
#include "simulation/simulation.h"

namespace fs = std::filesystem;

namespace {

/*==========================================================================
** Words and values
**========================================================================*/

// Splits a line into words; double quotes group words with blanks ("Noise Level"=30).
std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                out.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        out.push_back(word);
    return out;
}

bool parseInt(const std::string& s, long lo, long hi, long& value)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(s.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= lo && value <= hi;
}

// Writes a dump whole or not at all; a failure is one of the writer's
// failed writes, which the session takes after the line.
// An object opens with its format_version; a list (of messages) stays a list.
void writeJson(const fs::path& file, const nlohmann::ordered_json& j)
{
    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    nlohmann::ordered_json out = j;
    if (out.is_object())
        out = withFormatVersion(j);
    writeFileAtomically(file.string(), out.dump(2) + "\n");
}

// The clock of a scripted session: always 2026-01-01 00:00:00 UTC, so every
// simulation in a script takes no time and starts at the same moment.
int64_t scriptedClock()
{
    return 1767225600;
}

/*==========================================================================
** The session and its commands
**========================================================================*/

// The progress dialog of a session: nothing is shown; its Cancel is pressed
// once, as soon as `cancelAt` trials are done (every trial is shown to it
// while it waits), when a `cancel N` line asked for it. A progress service installed before the
// session (a test's) is asked first.
class ScriptedProgress : public ProgressService {
public:
    ProgressService* before = nullptr;  // the service installed before the session, or none
    int64_t cancelAt = -1;              // trials done at which Cancel is pressed; -1: never
    bool update(HWND owner, const char* title, const char* text, int64_t done, int64_t total) override
    {
        if (before && !before->update(owner, title, text, done, total))
            return false;
        if (cancelAt < 0 || done < cancelAt)
            return true;
        cancelAt = -1;
        return false;
    }
    void finish() override
    {
        if (before)
            before->finish();
    }
    bool wantsEveryStep() const override { return cancelAt >= 0 || (before && before->wantsEveryStep()); }
};

// One running session: what every command handler may read and change.
struct SessionRun {
    ScriptedSession& session;  // the replies queued and the message boxes recorded
    HWND hWnd = nullptr;       // the main window of the session
    fs::path outDir;           // where relative file names go
    int line = 0;              // the number of the line being run, 1-based
    bool confined = false;     // every file name must stay inside outDir
    std::string error;         // why the current line failed ("" while it did not)
    bool writeFailed = false;  // the line failed because a file could not be written
    ScriptedProgress progress; // the progress dialog of the session's long runs
};

// What a handler did with its line.
enum class LineOutcome {
    Painted,  // an event was sent: paint what became invalid before the next line
    Done,     // nothing to paint (a reply queued, a file written)
    Failed,   // the line was refused or failed; SessionRun::error says why, the session stops
};

using Words = std::vector<std::string>;
using CommandHandler = LineOutcome (*)(SessionRun& run, const Words& w);

LineOutcome refuse(SessionRun& run, const std::string& why)
{
    run.error = why;
    return LineOutcome::Failed;
}

// Why a name could leave the output folder: absolute, a ".." component, or a
// symbolic link at a step from the folder to the file; "" when it cannot.
std::string confinementFault(const fs::path& outDir, const std::string& name)
{
    const fs::path relative(name);
    if (relative.has_root_path())
        return "an absolute name";
    fs::path at = outDir;
    for (const fs::path& part : relative) {
        if (part == "..")
            return "a \"..\" in the name";
        at /= part;
        std::error_code ec;
        if (fs::is_symlink(fs::symlink_status(at, ec)))
            return "a symbolic link on the way: " + at.string();
    }
    return "";
}

// A script's file name as a path: a relative name is taken relative to the
// output folder. Confined, a name that could leave the folder is refused
// (false, run.error says why).
bool place(SessionRun& run, const std::string& name, fs::path& file)
{
    if (run.confined) {
        if (const std::string fault = confinementFault(run.outDir, name); !fault.empty()) {
            run.error = "the name must stay inside the output folder (" + fault + "): " + name;
            return false;
        }
    }
    file = fs::path(name).is_absolute() ? fs::path(name) : run.outDir / name;
    return true;
}

// menu ID, command ID: a WM_COMMAND as the menu or the program sends it.
LineOutcome commandLine(SessionRun& run, const Words& w)
{
    long id = 0;
    if (w.size() != 2 || !parseInt(w[1], 0, 65535, id))
        return LineOutcome::Failed;
    SendMessageA(run.hWnd, WM_COMMAND, static_cast<WPARAM>(id), 0);
    return LineOutcome::Painted;
}

// press X Y, move X Y, release X Y: the left mouse button in client coordinates.
LineOutcome mouseLine(SessionRun& run, const Words& w)
{
    long x = 0, y = 0;
    if (w.size() != 3 || !parseInt(w[1], -32768, 32767, x) || !parseInt(w[2], -32768, 32767, y))
        return LineOutcome::Failed;
    const std::string& cmd = w[0];
    const UINT message = cmd == "press" ? WM_LBUTTONDOWN : cmd == "move" ? WM_MOUSEMOVE : WM_LBUTTONUP;
    const WPARAM keys = cmd == "release" ? WPARAM{0} : WPARAM{MK_LBUTTON};
    injectMouse(run.hWnd, message, static_cast<int>(x), static_cast<int>(y), keys);
    return LineOutcome::Painted;
}

// key CODE: a key pressed and released.
LineOutcome keyLine(SessionRun& run, const Words& w)
{
    long code = 0;
    if (w.size() != 2 || !parseInt(w[1], 0, 255, code))
        return LineOutcome::Failed;
    injectKey(run.hWnd, static_cast<int>(code));
    return LineOutcome::Painted;
}

// resize W H: the client area's size.
LineOutcome resizeLine(SessionRun& run, const Words& w)
{
    long width = 0, height = 0;
    if (w.size() != 3 || !parseInt(w[1], 1, 32767, width) || !parseInt(w[2], 1, 32767, height))
        return LineOutcome::Failed;
    fixClientSize(run.hWnd, static_cast<int>(width), static_cast<int>(height));
    return LineOutcome::Painted;
}

// answer ok|cancel [NAME=VALUE ...]: the reply to the next message box or dialog.
LineOutcome answerLine(SessionRun& run, const Words& w)
{
    if (w.size() < 2 || (w[1] != "ok" && w[1] != "cancel"))
        return LineOutcome::Failed;
    ScriptedAnswer answer;
    answer.ok = w[1] == "ok";
    answer.line = run.line;
    for (size_t i = 2; i < w.size(); i++) {
        const size_t eq = w[i].find('=');
        if (eq == std::string::npos)
            answer.fields.emplace_back("", w[i]);
        else
            answer.fields.emplace_back(w[i].substr(0, eq), w[i].substr(eq + 1));
    }
    for (const auto& [name, value] : answer.fields) {
        fs::path file;  // confined, a save dialog's name is checked like every other (the dialog places it)
        if (run.confined && (name.empty() || name == "file") && !place(run, value, file))
            return LineOutcome::Failed;
    }
    run.session.queue(answer);
    return LineOutcome::Done;
}

// snapshot NAME.bmp|.pcx|.png: " Save image as..." answered with that name.
LineOutcome snapshotLine(SessionRun& run, const Words& w)
{
    if (w.size() != 2)
        return LineOutcome::Failed;
    fs::path file;
    if (!place(run, w[1], file))
        return LineOutcome::Failed;
    const std::string ext = file.extension().string();
    if (ext != ".bmp" && ext != ".pcx" && ext != ".png" && ext != ".BMP" && ext != ".PCX" && ext != ".PNG")
        return refuse(run, "snapshot needs a .bmp, .pcx or .png name: " + w[1]);
    runPendingPaints(run.hWnd);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    PreviousFile previous(file.string());  // the name free, so no overwrite question; back if no new file came
    run.session.queueFirst(ScriptedAnswer{true, {{"file", w[1]}}, run.line});  // the dialog places it as `file`
    SendMessageA(run.hWnd, WM_COMMAND, IDM_SAVE_IMAGE, 0);
    if (!fs::exists(file, ec)) {  // refused by the dialog or not written: the old file comes back
        run.writeFailed = true;
        return refuse(run, "cannot write " + file.string() + ": no picture was saved under that name");
    }
    previous.release();
    return LineOutcome::Painted;
}

// cancel N: the Cancel of the next long run's progress dialog is pressed as
// soon as N trials are done.
LineOutcome cancelLine(SessionRun& run, const Words& w)
{
    long trials = 0;
    if (w.size() != 2 || !parseInt(w[1], 1, INT32_MAX, trials))
        return LineOutcome::Failed;
    run.progress.cancelAt = trials;
    return LineOutcome::Done;
}

// dump series|chains|state FILE: the JSON picture of a record.
LineOutcome dumpLine(SessionRun& run, const Words& w)
{
    if (w.size() != 3 || (w[1] != "series" && w[1] != "chains" && w[1] != "state"))
        return LineOutcome::Failed;
    fs::path file;
    if (!place(run, w[2], file))
        return LineOutcome::Failed;
    runPendingPaints(run.hWnd);
    const nlohmann::ordered_json j =
        w[1] == "series" ? seriesToJson() : w[1] == "chains" ? chainsToJson() : stateToJson(run.hWnd);
    writeJson(file, j);
    return LineOutcome::Done;
}

// open signal FILE [CHANNEL [FIRST]], open etalons FILE: a recording (from
// sample FIRST on, when it is longer than one series) and its pulse shapes,
// read as " Open signal..." and " Open etalons..." read them. A file that
// cannot be taken stops the session with its message; nothing changed.
LineOutcome openLine(SessionRun& run, const Words& w)
{
    long channel = 0, first = 0;
    const bool signal = w.size() >= 3 && w[1] == "signal";
    if (w.size() < 3 || (!signal && (w[1] != "etalons" || w.size() != 3)) ||
        (signal && w.size() >= 4 && !parseInt(w[3], 0, 65535, channel)) ||
        (signal && w.size() == 5 && !parseInt(w[4], 0, std::numeric_limits<int32_t>::max(), first)) || w.size() > 5)
        return LineOutcome::Failed;
    fs::path file;
    if (!place(run, w[2], file))
        return LineOutcome::Failed;
    std::string error;
    SignalSource source;
    source.path = file.string();
    source.channel = static_cast<int>(channel);
    const bool ok =
        signal ? openSignalFile(run.hWnd, source, first, error) : openEtalonsFile(run.hWnd, file.string(), error);
    return ok ? LineOutcome::Painted : refuse(run, error);
}

// load series FILE: a series as `dump series` or " Save series..." wrote it,
// checked field by field, becomes the current series exactly.
LineOutcome loadLine(SessionRun& run, const Words& w)
{
    if (w.size() != 3 || w[1] != "series")
        return LineOutcome::Failed;
    fs::path file;
    if (!place(run, w[2], file))
        return LineOutcome::Failed;
    std::string error;
    return loadSeriesFile(run.hWnd, file.string(), error) ? LineOutcome::Painted : refuse(run, error);
}

// messages FILE: every message box shown so far (allowed after the window closed).
LineOutcome messagesLine(SessionRun& run, const Words& w)
{
    if (w.size() != 2)
        return LineOutcome::Failed;
    fs::path file;
    if (!place(run, w[1], file))
        return LineOutcome::Failed;
    writeJson(file, messagesToJson(run.session.messages()));
    return LineOutcome::Done;
}

// The script commands. A line whose first word is not here, or whose words do
// not fit its command, is not understood.
struct ScriptCommand {
    const char* name;        // the first word of the line
    CommandHandler handler;  // does the line; Failed with no error: the words do not fit
    bool needsWindow;        // refused once the window was closed
};

constexpr ScriptCommand kScriptCommands[] = {
    {"menu", commandLine, true},       {"command", commandLine, true}, {"press", mouseLine, true},
    {"move", mouseLine, true},         {"release", mouseLine, true},   {"key", keyLine, true},
    {"resize", resizeLine, true},      {"answer", answerLine, true},   {"snapshot", snapshotLine, true},
    {"dump", dumpLine, true},          {"messages", messagesLine, false}, {"open", openLine, true},
    {"load", loadLine, true},          {"cancel", cancelLine, true},
};

const ScriptCommand* findScriptCommand(const std::string& name)
{
    for (const ScriptCommand& c : kScriptCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

// Runs one line that has words; false when the session stops (run.error says why).
bool runScriptLine(SessionRun& run, const std::string& line, const Words& w)
{
    const ScriptCommand* command = findScriptCommand(w[0]);
    if ((!command || command->needsWindow) && !windowAlive(run.hWnd)) {
        run.error = "the window was closed before this line";
        return false;
    }
    const size_t boxesBefore = run.session.messages().size();
    const LineOutcome outcome = command ? command->handler(run, w) : LineOutcome::Failed;
    if (!run.session.replyError.empty()) {  // a dialog this line opened found a reply that does not fit
        run.error = run.session.replyError;
        return false;
    }
    if (const std::vector<std::string> failed = takeFailedWrites(); !failed.empty()) {
        run.error = failed[0];
        run.writeFailed = true;
    }
    if (run.writeFailed) {  // the boxes the failure showed stay recorded; they are named too
        const std::vector<MessageRecord> boxes = run.session.messages();
        for (size_t i = boxesBefore; i < boxes.size(); i++)
            run.error += "\n  [" + boxes[i].caption + "] " + boxes[i].text;
        return false;
    }
    if (outcome == LineOutcome::Failed) {
        if (run.error.empty())
            run.error = "not understood: " + line;
        return false;
    }
    if (outcome == LineOutcome::Painted)
        runPendingPaints(run.hWnd);  // what the window system does before the next event
    return true;
}

// Makes a script line ready for its words: one UTF-8 byte-order mark before
// the first line and the '\r' of a CRLF line end dropped, the comment cut off.
// False when the line holds a NUL byte (its words would end there unseen).
bool prepareLine(std::string& line, int number)
{
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
        line.erase(0, 3);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.find('\0') != std::string::npos)
        return false;
    if (const size_t hash = line.find('#'); hash != std::string::npos)
        line.erase(hash);
    return true;
}

// Gives the services and the clock back to the program after a session.
void endSession(ProgressService* progress)
{
    setDefaultMessageBoxService(nullptr);
    setDialogService(nullptr);
    setProgressService(progress);
    simClock = simRealClock;
}

} // namespace

int runScriptedSession(const std::string& path, const std::string& outputDirectory, std::ostream& log,
                       const SessionOptions& options)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        log << path << ": cannot be read\n";
        return 2;
    }
    const fs::path outDir = outputDirectory.empty() ? fs::path(".") : fs::path(outputDirectory);
    std::error_code ec;
    fs::create_directories(outDir, ec);

    ScriptedSession session;
    session.saveFolder = outDir.string();  // a name typed into the save dialog is relative to the output folder too
    setDefaultMessageBoxService(&session);
    setDialogService(options.realDialogs ? qtScriptedDialogs(&session) : static_cast<DialogService*>(&session));
    resetProgramState();  // a session is a fresh program: defaults and every stream at its start
    simClock = scriptedClock;  // charts print times: a session's must not depend on the day it runs
    simStartTime = simEndTime = 0;
    SessionRun run{session, startMainWindow(nullptr, nullptr), outDir, 0, options.confineToOutput, {}, false, {}};
    run.progress.before = progressService();
    setProgressService(&run.progress);
    if (!run.hWnd) {
        for (const MessageRecord& m : session.messages())
            log << "[" << m.caption << "] " << m.text << "\n";
        log << "the main window could not be created\n";
        endSession(run.progress.before);
        return 1;
    }
    fixClientSize(run.hWnd, kHeadlessWidth, kHeadlessHeight);  // the same pictures on a screen of any size

    takeFailedWrites();  // what went wrong before this session is not its failure
    int result = 0;
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        run.line = number;
        const bool clean = prepareLine(line, number);
        const Words w = clean ? words(line) : Words{};
        if (clean && w.empty())
            continue;
        if (!clean)
            run.error = "this line holds a NUL byte";
        if (!clean || !runScriptLine(run, line, w)) {
            log << path << ":" << number << ": " << run.error << "\n";
            result = run.writeFailed ? 3 : 2;
            break;
        }
    }
    if (windowAlive(run.hWnd))
        DestroyWindow(run.hWnd);
    endSession(run.progress.before);
    return result;
}
