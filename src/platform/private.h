// The window system's own records behind the handles: drawing objects, device
// contexts and windows. Private to src/platform/; the rest of the program sees
// only the handles of gdi.h and window.h.
#pragma once

#include <QFont>
#include <QImage>
#include <QRegion>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/gdi.h"
#include "platform/platform.h"
#include "platform/window.h"

class QMainWindow;
class QWidget;
class QAction;

/*---- Drawing objects ----*/

struct GdiObject {
    enum Kind { Pen, Brush, Font, Bitmap };
    explicit GdiObject(Kind k) : kind(k) {}
    Kind kind;                  // what the handle is
    bool stock = false;         // stock objects are never deleted
    COLORREF color = 0;         // pen or brush colour
    int style = PS_SOLID;       // pen style; PS_NULL draws nothing
    bool hollow = false;        // brush that fills nothing
    QFont font;                 // font: the Qt font text is rendered with
    bool symbol = false;        // font: Latin letters shown as the Greek ones of the "Symbol" face
    QImage image;               // bitmap: 32-bit pixels
};

/*---- Device contexts ----*/

struct DeviceContext {
    QImage* surface = nullptr;        // raster drawn on (the window's or the selected bitmap's)
    HWND window = nullptr;            // owner window; null for a memory context
    GdiObject* bitmap = nullptr;      // memory context: the selected bitmap
    GdiObject* ownBitmap = nullptr;   // memory context: its initial 1 x 1 bitmap
    QRegion clip;                     // drawing is limited to it; empty: whole surface
    bool clipped = false;             // true when clip applies
    GdiObject* pen = nullptr;         // selected pen
    GdiObject* brush = nullptr;       // selected brush
    GdiObject* font = nullptr;        // selected font
    POINT position{0, 0};             // current position for LineTo
    int bkMode = OPAQUE;              // text background mode
    COLORREF bkColor = RGB(255, 255, 255); // text background colour
    COLORREF textColor = RGB(0, 0, 0);     // text colour
};

// A context drawing on `surface`, with the default objects selected.
DeviceContext* newDeviceContext(QImage* surface, HWND window);
// Text metrics of a font object.
void fontMetrics(const GdiObject* font, TEXTMETRICA* metrics);

/*---- Windows ----*/

struct DialogControl;

struct WindowImpl {
    std::string className;           // registered class
    std::string title;               // window title or control text
    WNDPROC procedure = nullptr;     // window procedure (null for controls)
    HWND parent = nullptr;           // parent window; null for the main window
    int childId = 0;                 // control id of a child
    RECT placement{};                // a child: its place in the parent's client area, right/bottom exclusive
    bool destroyed = false;          // after DestroyWindow
    QImage raster;                   // top-level: the client area, 32 bits per pixel
    QRegion invalid;                 // what the next paint must draw
    QRegion erase;                   // part of `invalid` to be filled with the background first
    COLORREF background = RGB(255, 255, 255); // class background
    int menuResource = 0;            // menu resource id; 0: none
    std::map<UINT, bool> checks;     // menu item id -> check mark
    std::vector<HWND> children;      // child windows and dialog controls
    int buttonCheck = 0;             // control: BST_* state
    int selectionStart = 0;          // edit: first selected character
    int selectionEnd = 0;            // edit: past the last selected one; -1 to the end of the text
    intptr_t dialogResult = 0;       // dialog: EndDialog's result
    bool dialogEnded = false;        // dialog: EndDialog was called
    int dialogTemplate = 0;          // dialog: template id
    DLGPROC dialogProcedure = nullptr; // dialog: the procedure DialogBoxParamA was given (called through a guard)
    // Qt backend only
    QMainWindow* qtWindow = nullptr;           // the frame
    QWidget* canvas = nullptr;                 // shows `raster`
    std::map<UINT, QAction*> actions;          // menu item id -> its action
    QWidget* control = nullptr;                // a child: its widget
    bool paintQueued = false;                  // a flush is queued on the event loop
};

// The backend that windows are made for.
Backend activeBackend();
// Qt backend hooks (qtbackend.cpp); each does nothing for a window without widgets.
class QGuiApplication;
std::unique_ptr<QGuiApplication> makeQtApplication(Backend backend, int& argc, char** argv);
void qtCreateFrame(HWND hWnd);
void qtShow(HWND hWnd, bool maximized);
void qtCreateControl(HWND child, int x, int y, int width, int height);
void qtMoveControl(HWND child, int x, int y, int width, int height);
void qtSyncControl(HWND child);   // widget <- text and check state
void qtReadControl(HWND child);   // text and check state <- widget
void qtFocusControl(HWND child);  // keyboard focus to the widget
void qtFixCanvasSize(HWND hWnd, int width, int height);
// Scripted replies (scripted.cpp): the control a field name addresses (-1 for
// none), the described kind of a control ("" when not described), and whether
// a value means "on".
int scriptedControlId(HWND dialog, const std::string& name);
const char* describedControlKind(HWND dialog, int id);
bool scriptedValueOn(const std::string& value);
void qtSetCursor(intptr_t id);
void qtSchedulePaint(HWND hWnd);
void qtCanvasUpdate(HWND hWnd);
void qtSyncChecks(HWND hWnd);
void qtDestroyFrame(HWND hWnd);
bool qtWaitForEvents();  // false once the quit message was posted
