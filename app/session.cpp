// The runner of scripted sessions: reads the script line by line, checks each
// line where it enters, and turns it into what a person at the window would
// cause (a menu choice, a press, a key, a reply to a dialog); paints whatever
// became invalid after each event, as the window system does when idle.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "app/session.h"
#include "resources/resources.h"
#include "shell/shell.h"
#include "simulation/simulation.h"

namespace fs = std::filesystem;

namespace {

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

bool writeJson(const fs::path& file, const nlohmann::ordered_json& j)
{
    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << j.dump(2) << '\n';
    return static_cast<bool>(out);
}

// The clock of a scripted session: always 2026-01-01 00:00:00 UTC, so every
// simulation in a script takes no time and starts at the same moment.
int64_t scriptedClock()
{
    return 1767225600;
}

} // namespace

int runScriptedSession(const std::string& path, const std::string& outputDirectory, std::ostream& log,
                       bool realDialogs)
{
    std::ifstream in(path);
    if (!in) {
        log << path << ": cannot be read\n";
        return 2;
    }
    const fs::path outDir = outputDirectory.empty() ? fs::path(".") : fs::path(outputDirectory);
    std::error_code ec;
    fs::create_directories(outDir, ec);
    auto place = [&](const std::string& name) { return fs::path(name).is_absolute() ? fs::path(name) : outDir / name; };

    ScriptedSession session;
    setDefaultMessageBoxService(&session);
    setDialogService(realDialogs ? qtScriptedDialogs(&session) : static_cast<DialogService*>(&session));
    resetProgramState();  // a session is a fresh program: defaults and every stream at its start
    resetRandomStreams();
    simClock = scriptedClock;  // charts print times: a session's must not depend on the day it runs
    HWND hWnd = startMainWindow(nullptr, nullptr);
    if (!hWnd) {
        for (const MessageRecord& m : session.messages())
            log << "[" << m.caption << "] " << m.text << "\n";
        log << "the main window could not be created\n";
        setDefaultMessageBoxService(nullptr);
        setDialogService(nullptr);
        simClock = simRealClock;
        return 1;
    }

    fixClientSize(hWnd, kHeadlessWidth, kHeadlessHeight);  // the same pictures on a screen of any size

    int result = 0;
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        const std::vector<std::string> w = words(line);
        if (w.empty())
            continue;
        const std::string& cmd = w[0];
        auto fail = [&](const std::string& why) {
            log << path << ":" << number << ": " << why << "\n";
            result = 2;
        };
        long a = 0, b = 0;
        const bool alive = windowAlive(hWnd);
        if (cmd != "messages" && !alive) {
            fail("the window was closed before this line");
            break;
        }
        if ((cmd == "menu" || cmd == "command") && w.size() == 2 && parseInt(w[1], 0, 65535, a)) {
            SendMessageA(hWnd, WM_COMMAND, static_cast<WPARAM>(a), 0);
        } else if ((cmd == "press" || cmd == "move" || cmd == "release") && w.size() == 3 &&
                   parseInt(w[1], -32768, 32767, a) && parseInt(w[2], -32768, 32767, b)) {
            const UINT message = cmd == "press" ? WM_LBUTTONDOWN : cmd == "move" ? WM_MOUSEMOVE : WM_LBUTTONUP;
            const WPARAM keys = cmd == "release" ? WPARAM{0} : WPARAM{MK_LBUTTON};
            injectMouse(hWnd, message, static_cast<int>(a), static_cast<int>(b), keys);
        } else if (cmd == "key" && w.size() == 2 && parseInt(w[1], 0, 255, a)) {
            injectKey(hWnd, static_cast<int>(a));
        } else if (cmd == "resize" && w.size() == 3 && parseInt(w[1], 1, 32767, a) && parseInt(w[2], 1, 32767, b)) {
            fixClientSize(hWnd, static_cast<int>(a), static_cast<int>(b));
        } else if (cmd == "answer" && w.size() >= 2 && (w[1] == "ok" || w[1] == "cancel")) {
            ScriptedAnswer answer;
            answer.ok = w[1] == "ok";
            for (size_t i = 2; i < w.size(); i++) {
                const size_t eq = w[i].find('=');
                if (eq == std::string::npos)
                    answer.fields.emplace_back("", w[i]);
                else
                    answer.fields.emplace_back(w[i].substr(0, eq), w[i].substr(eq + 1));
            }
            session.queue(answer);
            continue;
        } else if (cmd == "snapshot" && w.size() == 2) {
            const fs::path file = place(w[1]);
            const std::string ext = file.extension().string();
            if (ext != ".bmp" && ext != ".pcx" && ext != ".png" && ext != ".BMP" && ext != ".PCX" && ext != ".PNG") {
                fail("snapshot needs a .bmp, .pcx or .png name: " + w[1]);
                break;
            }
            runPendingPaints(hWnd);
            fs::create_directories(file.parent_path(), ec);
            fs::remove(file, ec);  // a fresh file each run: no overwrite question
            session.queueFirst(ScriptedAnswer{true, {{"file", file.string()}}});
            SendMessageA(hWnd, WM_COMMAND, IDM_SAVE_IMAGE, 0);
        } else if (cmd == "dump" && w.size() == 3 && (w[1] == "series" || w[1] == "chains" || w[1] == "state")) {
            runPendingPaints(hWnd);
            const nlohmann::ordered_json j =
                w[1] == "series" ? seriesToJson() : w[1] == "chains" ? chainsToJson() : stateToJson(hWnd);
            if (!writeJson(place(w[2]), j)) {
                fail("cannot write " + place(w[2]).string());
                break;
            }
            continue;
        } else if (cmd == "messages" && w.size() == 2) {
            if (!writeJson(place(w[1]), messagesToJson(session.messages()))) {
                fail("cannot write " + place(w[1]).string());
                break;
            }
            continue;
        } else {
            fail("not understood: " + line);
            break;
        }
        runPendingPaints(hWnd);  // what the window system does before the next event
    }
    if (windowAlive(hWnd))
        DestroyWindow(hWnd);
    setDefaultMessageBoxService(nullptr);
    setDialogService(nullptr);
    simClock = simRealClock;
    return result;
}
