// Windows, messages, menus, dialogs and resources: the part of the window
// system the shell and the display call. A window belongs to a backend: the Qt
// one shows it on the screen, the headless one keeps the same raster and runs
// the same code paths with no event loop (tests and scripted sessions). The
// backends are started and driven through backend.h.
#pragma once

#include <cstdint>
#include <string>

#include "gdi.h"

typedef intptr_t LRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef void* HINSTANCE;
typedef void* HMENU;
typedef void* HCURSOR;
typedef void* HICON;
struct PlatformWindow;
typedef PlatformWindow* HWND;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef intptr_t (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

/*---- Messages ----*/
enum : UINT {
    WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_SIZE = 0x0005, WM_PAINT = 0x000F, WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014, WM_SETCURSOR = 0x0020, WM_KEYDOWN = 0x0100,
    WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
    BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, EM_SETSEL = 0x00B1,
};
enum : int { BST_UNCHECKED = 0, BST_CHECKED = 1 };
enum : UINT { MF_BYCOMMAND = 0x0000, MF_UNCHECKED = 0x0000, MF_CHECKED = 0x0008 };
enum : int { SW_SHOWMAXIMIZED = 3, SW_SHOW = 5 };
enum : uintptr_t { MK_LBUTTON = 0x0001, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008 };
enum : UINT { CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008 };
enum : DWORD { WS_OVERLAPPEDWINDOW = 0x00CF0000u, WS_CHILD = 0x40000000u, WS_VISIBLE = 0x10000000u,
               WS_BORDER = 0x00800000u };
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Cursors: the hover cursors of the parameter panel.
enum : intptr_t { IDC_ARROW = 32512, IDC_SIZENWSE = 32642, IDC_SIZEWE = 32644, IDC_SIZENS = 32645,
                  IDC_SIZEALL = 32646, IDC_HAND = 32649 };
inline constexpr intptr_t IDI_APPLICATION = 32512;


constexpr uint16_t LOWORD(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HIWORD(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
// Mouse coordinates travel as signed 16-bit halves of the parameter.
constexpr LPARAM MAKELPARAM(int lo, int hi)
{
    return static_cast<LPARAM>((static_cast<uint32_t>(lo) & 0xFFFF) | ((static_cast<uint32_t>(hi) & 0xFFFF) << 16));
}
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<int16_t>(lp & 0xFFFF); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<int16_t>((lp >> 16) & 0xFFFF); }

/*---- Window class, creation and the loop ----*/

struct WNDCLASSA {
    UINT style;               // CS_* redraw flags
    WNDPROC lpfnWndProc;      // the window procedure
    HINSTANCE hInstance;      // module
    HICON hIcon;              // ignored
    HCURSOR hCursor;          // ignored (arrow)
    HBRUSH hbrBackground;     // erase colour; white when null
    int menuResource;         // menu resource id (104), 0: none
    const char* lpszClassName; // class name
};
struct MSG {
    HWND hwnd;       // target
    UINT message;    // WM_*
    WPARAM wParam;   // first parameter
    LPARAM lParam;   // second parameter
};
struct PAINTSTRUCT {
    HDC hdc;          // the window's context, clipped to rcPaint
    BOOL fErase;      // the background was erased before the paint
    RECT rcPaint;     // the region to paint (bounding rectangle), right/bottom exclusive
};

BOOL RegisterClassA(const WNDCLASSA* windowClass);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, int childId, HINSTANCE instance, void* param);
BOOL ShowWindow(HWND hWnd, int mode);
BOOL UpdateWindow(HWND hWnd);       // paints now what is invalid
BOOL DestroyWindow(HWND hWnd);
BOOL GetMessageA(MSG* msg, HWND hWnd, UINT first, UINT last); // 0 after WM_QUIT
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam); // WM_CLOSE destroys
void PostQuitMessage(int exitCode);
LRESULT SendMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam); // synchronous

/*---- Painting ----*/

BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase); // null rect: the whole client area
BOOL GetClientRect(HWND hWnd, RECT* rect);  // (0, 0, width, height)
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint); // erases what was invalidated with erasing
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint);
HDC GetDC(HWND hWnd);                         // the window's raster, whole client area
int ReleaseDC(HWND hWnd, HDC hdc);
// Children: position and size in the parent's client area (a size of 0 hides
// the control); a top-level window: its client size.
BOOL MoveWindow(HWND hWnd, int x, int y, int width, int height, BOOL repaint);

/*---- Mouse, cursor, menu ----*/

HWND SetCapture(HWND hWnd);       // returns the window that held the capture before
BOOL ReleaseCapture();
HWND GetCapture();                // the window holding the capture, or null
HCURSOR LoadCursorA(HINSTANCE instance, intptr_t id);
HICON LoadIconA(HINSTANCE instance, intptr_t id);
HCURSOR SetCursor(HCURSOR cursor); // returns the cursor shown before
HCURSOR GetCursor();               // the cursor last set, null before the first
HMENU GetMenu(HWND hWnd);
DWORD CheckMenuItem(HMENU menu, UINT id, UINT flags); // returns the previous state, or (DWORD)-1

/*---- Resources ----*/

HBITMAP LoadBitmapA(HINSTANCE instance, int resource); // the button pictures 101, 102, 103, 108, 109

/*---- Dialogs and controls ----*/

// Runs a modal dialog from its description in resources/; the procedure sees
// WM_INITDIALOG, then WM_COMMAND for every button press, until EndDialog.
intptr_t DialogBoxParamA(HINSTANCE instance, int dialogTemplate, HWND parent, DLGPROC procedure, LPARAM param);
BOOL EndDialog(HWND dialog, intptr_t result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetWindowTextA(HWND hWnd, const char* text);
int GetWindowTextA(HWND hWnd, char* buffer, int size);
HWND SetFocus(HWND hWnd);  // the control that takes the keyboard; returns the one that had it
HWND GetFocus();

struct OPENFILENAMEA {
    HWND hwndOwner;           // owner
    const char* lpstrFilter;  // pairs of NUL-terminated strings, ended by an empty one
    int nFilterIndex;         // 1-based filter chosen
    char* lpstrFile;          // in/out: the name
    int nMaxFile;             // size of lpstrFile
    const char* lpstrTitle;   // dialog title
    const char* lpstrDefExt;  // added when the user types no extension
    DWORD Flags;              // OFN_OVERWRITEPROMPT
};
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002u;
BOOL GetSaveFileNameA(OPENFILENAMEA* request); // nonzero when a name was chosen
// The save dialog owned by hWnd with its first filter chosen and the
// overwrite question: true when a name was chosen into `name` (`size` bytes).
bool chooseSaveFileName(HWND hWnd, const char* filter, const char* title, const char* extension, char* name, int size);
BOOL GetOpenFileNameA(OPENFILENAMEA* request); // nonzero when an existing file was chosen
// The open dialog owned by hWnd with its first filter chosen: true when an
// existing file was chosen into `name` (`size` bytes). Without a file
// chooser (headless, scripted) it is false and the name is typed instead.
bool chooseOpenFileName(HWND hWnd, const char* filter, const char* title, char* name, int size);

// Progress of a long command: shows or updates a modal progress dialog with
// Cancel (where the window system has one). Returns FALSE once cancelled.
BOOL ShowProgress(HWND owner, const char* title, const char* text, int64_t done, int64_t total);
void EndProgress(HWND owner);  // closes it
// True while the progress dialog wants every step shown (a scripted Cancel
// waits for a count), so a caller that shows only a few a second must not skip.
bool ProgressWantsEveryStep();
