// Backend control: starting the Qt or the headless window system, driving a
// headless window (pending paints, mouse, keys, size), reading the raster, and
// the services behind message boxes and dialogs. Used by app/, the tests and
// the snapshot export; the shell and the display call only gdi.h and window.h.
#pragma once

class QImage;  // windowRaster's result; callers include <QImage>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/window.h"

/*---- Backends ----*/

enum class Backend {
    Qt,        // a real desktop window with an event loop
    Headless,  // the same raster and code paths, driven by a script or a test
};

// Makes the application object: QApplication for Qt, QGuiApplication on the
// offscreen platform for headless (no display needed; the platform is chosen
// here, not by the environment). Call once, before any window exists.
void startPlatform(Backend backend, int& argc, char** argv);
// Releases every window made and the application object.
void stopPlatform();
bool platformStarted();

// The default client size of a headless window.
inline constexpr int kHeadlessWidth = 1280;
inline constexpr int kHeadlessHeight = 960;

/*---- Driving a window (both backends; headless has no other way) ----*/

// Paints what is invalid, as the window system does when its queue is idle.
// Returns the number of paint messages dispatched (0 or 1).
int runPendingPaints(HWND hWnd);
// Mouse messages (WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP) at client (x, y).
void injectMouse(HWND hWnd, UINT message, int x, int y, WPARAM keys);
// A key press with a virtual key code.
void injectKey(HWND hWnd, int virtualKey);
// A menu item chosen (WM_COMMAND with its id), as the menu bar sends it.
void chooseMenuItem(HWND hWnd, UINT id);
// New client size: the raster is resized, WM_SIZE sent and everything invalidated with erasing.
void resizeClient(HWND hWnd, int width, int height);
// The client area held at one size whatever the screen: on the Qt backend the
// frame leaves the maximised state and the canvas keeps this size (scripts
// draw the same pictures on both backends).
void fixClientSize(HWND hWnd, int width, int height);
// A copy of the client raster (32 bits per pixel).
QImage windowRaster(HWND hWnd);
// The top-left width x height pixels of a context's surface, as GetPixel gives
// them, encoded as the bytes of a PNG file; false when they could not be.
bool encodePng(HDC hdc, int width, int height, std::string& bytes);
// The same for pixels held in memory (row by row from the top, 0x00BBGGRR).
bool encodePixelsAsPng(const COLORREF* pixels, int width, int height, std::string& bytes);
// Whether a menu item carries a check mark; false for unknown ids.
bool menuItemChecked(HWND hWnd, UINT id);
// Where a child control stands in its parent's client area (right and bottom
// exclusive; an empty rectangle: hidden), as CreateWindowExA and MoveWindow set it.
RECT controlPlacement(HWND child);
// Whether the window still exists (not yet destroyed).
bool windowAlive(HWND hWnd);
// The quit message's code once posted, else -1.
int quitCode();

/*---- Dialogs ----*/

// Where modal dialogs and the save-file dialog run. The Qt one shows real
// dialogs; the scripted one answers from a queue.
class DialogService {
public:
    virtual ~DialogService() = default;
    // Runs the dialog `dialogTemplate` over `dialog` (controls made on demand by
    // GetDlgItem); calls `procedure` with WM_INITDIALOG, then WM_COMMAND for the
    // button pressed, until EndDialog. Returns EndDialog's result.
    virtual intptr_t runDialog(HWND dialog, DLGPROC procedure, LPARAM param) = 0;
    // Asks for a file name; fills request->lpstrFile. False: cancelled.
    virtual bool chooseSaveFile(OPENFILENAMEA* request) = 0;
    // Asks for an existing file; fills request->lpstrFile. False: cancelled,
    // or no chooser (the default: the name is typed into the dialog).
    virtual bool chooseOpenFile(OPENFILENAMEA*) { return false; }
};
void setDialogService(DialogService* service);  // null: the scripted default (always Cancel)
DialogService* dialogService();

// Where a long command shows how far it got. The Qt one is a progress dialog
// with Cancel; without one (headless, scripted) nothing is shown and nothing
// is ever cancelled.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    // Shows (first call) or updates the progress; false once Cancel was pressed.
    virtual bool update(HWND owner, const char* title, const char* text, int64_t done, int64_t total) = 0;
    virtual void finish() = 0;  // closes what update showed
    // True while every step should reach update (a script waiting to press
    // Cancel at a given count); false lets a caller skip updates in between.
    virtual bool wantsEveryStep() const { return false; }
};
void setProgressService(ProgressService* service);  // null: none (never cancelled)
ProgressService* progressService();                 // null when none
ProgressService* qtProgress();                      // the Qt progress dialog

// One queued reply of a scripted session: OK or Cancel, with field values for
// a dialog (by control id or label text) or the file name for a save dialog.
struct ScriptedAnswer {
    bool ok = true;                                   // OK (Yes) or Cancel (No)
    std::vector<std::pair<std::string, std::string>> fields; // name=value pairs in the order given
    int line = 0;                                     // the script line that gave it, 1-based; 0: not from a script
};

// Message boxes and dialogs of a scripted session: answers from one queue, in
// order, whichever asks next; an unanswered box is answered with its default and
// recorded; an unanswered dialog is cancelled. A reply that names a field the
// dialog does not have cancels it and leaves the reason in replyError.
class ScriptedSession : public MessageBoxService, public DialogService {
public:
    int show(const char* text, const char* caption, unsigned flags) override;
    intptr_t runDialog(HWND dialog, DLGPROC procedure, LPARAM param) override;
    bool chooseSaveFile(OPENFILENAMEA* request) override;
    void queue(const ScriptedAnswer& answer);       // after the replies already queued
    void queueFirst(const ScriptedAnswer& answer);  // before them: the reply to the very next question
    // The next reply for `dialog`; Cancel when none is queued, or when a field
    // of the reply names none of its controls (replyError then says which).
    ScriptedAnswer takeDialogAnswer(HWND dialog);
    const std::vector<MessageRecord>& messages() const { return shown; }
    std::vector<std::string> log;  // dialogs run, file names chosen: "dialog 105 ok", ...
    std::string saveFolder;        // where the save dialog puts a relative name; "": the current folder
    std::string replyError;        // why a reply did not fit its dialog; "" while every one fitted

private:
    ScriptedAnswer takeNext();                               // the next reply, or Cancel when none is queued
    std::string saveName(const OPENFILENAMEA* request);      // the file name a save-dialog reply gives
    std::deque<ScriptedAnswer> answers;  // replies to come
    std::vector<MessageRecord> shown;    // every message box, oldest first
};

// Real message boxes and dialogs on the screen (Qt backend).
MessageBoxService* qtMessageBoxes();
DialogService* qtDialogs();
// Real dialogs on the screen answered by a script: each dialog is built and
// shown as for a person, then the session's next reply is typed into its
// fields and its buttons are clicked; file names come from the session.
DialogService* qtScriptedDialogs(ScriptedSession* session);

/*---- Menus ----*/

// One entry of a menu description, in reading order: a popup opens a level,
// `depth` says how deep the entry sits (0: the menu bar itself).
struct MenuItemDesc {
    int depth;         // 0 on the bar, 1 in a popup of the bar, 2 in a popup of a popup
    const char* text;  // text as shown; null for a separator
    UINT id;           // command id; 0 for a popup or a separator
    int group;         // check-mark group; 0: none
};
void registerMenu(int resource, const std::vector<MenuItemDesc>& items);
const std::vector<MenuItemDesc>* findMenu(int resource);

/*---- Dialog templates ----*/

// One control of a dialog description.
struct DialogControlDesc {
    int id;                 // control id; -1 for a static label or a group box
    const char* kind;       // "edit", "check", "radio", "label", "group" (opens a group box), "button"
    const char* label;      // text shown beside or on it; a group box's caption
    bool disabled = false;  // shown greyed, takes no input
};
// A dialog description: title and controls. Registered by resources/.
struct DialogTemplateDesc {
    int id;                                  // template id
    const char* title;                       // caption
    std::vector<DialogControlDesc> controls; // in reading order
};
void registerDialogTemplate(const DialogTemplateDesc& desc);
const DialogTemplateDesc* findDialogTemplate(int id);
