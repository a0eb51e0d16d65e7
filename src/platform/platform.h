// The window-system layer: the calls the workbench's own code makes for windows,
// painting, message boxes and dialogs, in Win32's vocabulary, served by Qt or by
// a headless backend. This header is the public face of src/platform/;
// subsystems 1 to 3 use only the message box part of it and never see Qt.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/texts.h"

/*---- Message box flags (the values Win32 gives them) ----*/
enum : unsigned {
    MB_OK = 0x00000000u,           // one OK button
    MB_OKCANCEL = 0x00000001u,     // OK and Cancel
    MB_YESNO = 0x00000004u,        // Yes and No
    MB_ICONWARNING = 0x00000030u,  // exclamation-mark icon
    MB_TYPEMASK = 0x0000000Fu,     // the button part of the flags
    MB_ICONMASK = 0x000000F0u,     // the icon part of the flags
};

/*---- Message box results ----*/
enum : int {
    IDOK = 1,      // OK pressed (or the box closed)
    IDCANCEL = 2,  // Cancel pressed
    IDYES = 6,     // Yes pressed
    IDNO = 7,      // No pressed
};

// What the window system shows as the caption of a box given no caption of its own.
inline constexpr const char* kStandardCaption = "Error";

/*---- Message boxes ----*/

// One message box as it was shown: the record the scripted backend and the tests read.
struct MessageRecord {
    std::string caption;  // caption as shown; kStandardCaption when none was given
    std::string text;     // the text, UTF-8, character for character
    unsigned flags;       // MB_* buttons and icon
    bool hasCaption;      // false when the caller passed no caption (standard caption shown)
    int reply;            // IDOK, IDCANCEL, IDYES or IDNO: what the box answered
};

// A place where message boxes are shown. The Qt backend shows real boxes; the
// recording one keeps every box in order and answers from a queue of replies.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int show(const char* text, const char* caption, unsigned flags) = 0;
};

// Keeps every box in order; answers with the queued replies, then with the
// default answer of the box (OK, or Yes for a Yes/No question). Thread-safe.
class RecordingMessageBoxes : public MessageBoxService {
public:
    int show(const char* text, const char* caption, unsigned flags) override;
    void queueReply(int reply);                  // the answer for the next box
    std::vector<MessageRecord> messages() const; // copy of every box so far
    size_t count() const;                        // number of boxes so far
    void clear();                                // forget boxes and replies

private:
    mutable std::mutex lock;            // boxes may come from worker threads
    std::vector<MessageRecord> shown;   // every box, oldest first
    std::deque<int> replies;            // answers for the boxes to come
};

/*---- Windows ----*/

// A window of the system. For subsystems 1 to 3 a window is only the owner of
// their message boxes; the shell's main window adds its own state beside it.
struct WindowImpl;  // the window system's side of a window (src/platform/private.h)
struct PlatformWindow {
    MessageBoxService* lpMessages = nullptr;  // where this window's boxes go; null: the process default
    WindowImpl* lpImpl = nullptr;             // raster, menu, children; null for a window that only owns boxes
};
typedef PlatformWindow* HWND;

// Shows a modal message box owned by the window (null: no owner) and returns
// the button pressed. A null caption shows the standard caption. The text and
// the caption are shown in the current language (shownText); the services see,
// and record, the text as shown.
int MessageBoxA(HWND hWnd, const char* lpText, const char* lpCaption, unsigned uType);

// The service used by windows without one of their own (and by a null window).
// At start it writes each box to standard error and answers with the default.
void setDefaultMessageBoxService(MessageBoxService* service);
MessageBoxService* defaultMessageBoxService();
