// Windows, messages, painting, menus, resources and dialogs, the same for both
// backends: the Qt backend only adds a frame that shows the raster and feeds
// its events in here (qtbackend.cpp). Also the backend control API of backend.h.
//
// Sections: registry - creation and messages - painting - mouse, cursor, menu -
// resources - dialogs - driving a window
#include <QGuiApplication>
#include <QThread>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>

#include <unistd.h>

#include "platform/private.h"

/*==========================================================================
** Registry
**========================================================================*/

namespace {

std::map<std::string, WNDCLASSA> gClasses;        // registered window classes
std::vector<PlatformWindow*> gWindows;            // every window made; freed by stopPlatform
std::map<int, std::vector<MenuItemDesc>> gMenus;  // menu resources
std::map<int, DialogTemplateDesc> gDialogs;       // dialog descriptions
Backend gBackend = Backend::Headless;             // what windows are made for
bool gStarted = false;                            // startPlatform ran
int gQuitCode = -1;                               // PostQuitMessage's code; -1 before
HWND gCapture = nullptr;                          // window holding the mouse capture
HCURSOR gCursor = nullptr;                        // cursor last set
QGuiApplication* gApp = nullptr;                  // the application object: lives until the process ends
int gArgc = 0;                                    // what the application object keeps a reference to
ScriptedSession gCancelAll;                       // default dialog service: nothing queued, all cancelled
DialogService* gDialogService = nullptr;          // where dialogs run
HWND gFocus = nullptr;                            // the control that takes the keyboard

PlatformWindow* newWindow(const std::string& className, const std::string& title, HWND parent, int childId)
{
    PlatformWindow* w = new PlatformWindow;
    w->lpImpl = new WindowImpl;
    w->lpImpl->className = className;
    w->lpImpl->title = title;
    w->lpImpl->parent = parent;
    w->lpImpl->childId = childId;
    if (parent)
        parent->lpImpl->children.push_back(w);
    gWindows.push_back(w);
    return w;
}

QRect clientQRect(HWND hWnd)
{
    return QRect(0, 0, hWnd->lpImpl->raster.width(), hWnd->lpImpl->raster.height());
}

} // namespace

Backend activeBackend()
{
    return gBackend;
}

void startPlatform(Backend backend, int& argc, char** argv)
{
    gBackend = backend;
    if (!QGuiApplication::instance()) {
        if (backend == Backend::Headless) {
            qputenv("QT_QPA_PLATFORM", "offscreen");  // no display needed, whatever the environment says
            if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
                // Qt wants a private runtime folder and warns when none is named.
                std::error_code ec;
                std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
                if (ec)
                    dir = "/tmp";  // TMPDIR names no folder
                dir /= "runtime-" + std::to_string(::getuid());
                std::filesystem::create_directories(dir, ec);
                std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::replace, ec);
                qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.string()));
            }
        }
        gArgc = argc;
        gApp = makeQtApplication(backend, gArgc, argv).release();
    }
    gStarted = true;
    gQuitCode = -1;
}

void stopPlatform()
{
    for (PlatformWindow* w : gWindows) {
        if (w->lpImpl && w->lpImpl->qtWindow)
            qtDestroyFrame(w);
    }
    for (PlatformWindow* w : gWindows) {
        delete w->lpImpl;
        delete w;
    }
    gWindows.clear();
    gClasses.clear();
    gCapture = nullptr;
    gFocus = nullptr;
    gCursor = nullptr;
    gQuitCode = -1;
    gStarted = false;
}

bool platformStarted()
{
    return gStarted;
}

void registerMenu(int resource, const std::vector<MenuItemDesc>& items)
{
    gMenus[resource] = items;
}

const std::vector<MenuItemDesc>* findMenu(int resource)
{
    auto it = gMenus.find(resource);
    return it == gMenus.end() ? nullptr : &it->second;
}

void registerDialogTemplate(const DialogTemplateDesc& desc)
{
    gDialogs[desc.id] = desc;
}

const DialogTemplateDesc* findDialogTemplate(int id)
{
    auto it = gDialogs.find(id);
    return it == gDialogs.end() ? nullptr : &it->second;
}

/*==========================================================================
** Creation and messages
**========================================================================*/

BOOL RegisterClassA(const WNDCLASSA* windowClass)
{
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc)
        return 0;
    gClasses[windowClass->lpszClassName] = *windowClass;
    return 1;
}

HWND CreateWindowExA(DWORD, const char* className, const char* title, DWORD, int x, int y, int width, int height,
                     HWND parent, int childId, HINSTANCE, void*)
{
    if (!className)
        return nullptr;
    const std::string cls = className;
    if (parent && (cls == "edit" || cls == "EDIT" || cls == "button" || cls == "static")) {
        HWND child = newWindow(cls, title ? title : "", parent, childId);
        child->lpImpl->placement = RECT{x, y, x + width, y + height};
        if (gBackend == Backend::Qt && parent->lpImpl->canvas)
            qtCreateControl(child, x, y, width, height);
        return child;
    }
    auto it = gClasses.find(cls);
    if (it == gClasses.end())
        return nullptr;
    HWND hWnd = newWindow(cls, title ? title : "", parent, childId);
    WindowImpl* impl = hWnd->lpImpl;
    impl->procedure = it->second.lpfnWndProc;
    impl->menuResource = it->second.menuResource;
    if (it->second.hbrBackground)
        impl->background = it->second.hbrBackground->color;
    if (const std::vector<MenuItemDesc>* menu = findMenu(impl->menuResource))
        for (const MenuItemDesc& item : *menu)
            if (item.id)
                impl->checks[item.id] = false;
    impl->raster = QImage(kHeadlessWidth, kHeadlessHeight, QImage::Format_RGB32);
    impl->raster.fill(Qt::white);
    impl->invalid = impl->erase = QRegion(clientQRect(hWnd));
    if (gBackend == Backend::Qt)
        qtCreateFrame(hWnd);
    if (impl->procedure(hWnd, WM_CREATE, 0, 0) == -1) {
        impl->procedure(hWnd, WM_DESTROY, 0, 0);
        impl->destroyed = true;
        if (impl->qtWindow)
            qtDestroyFrame(hWnd);
        return nullptr;
    }
    return hWnd;
}

BOOL ShowWindow(HWND hWnd, int mode)
{
    if (!windowAlive(hWnd))
        return 0;
    if (gBackend == Backend::Qt && hWnd->lpImpl->qtWindow)
        qtShow(hWnd, mode == SW_SHOWMAXIMIZED);
    return 1;
}

BOOL UpdateWindow(HWND hWnd)
{
    return runPendingPaints(hWnd) >= 0;
}

BOOL DestroyWindow(HWND hWnd)
{
    if (!windowAlive(hWnd))
        return 0;
    WindowImpl* impl = hWnd->lpImpl;
    for (HWND child : impl->children)
        if (child->lpImpl)
            child->lpImpl->destroyed = true;
    if (impl->procedure)
        impl->procedure(hWnd, WM_DESTROY, 0, 0);
    impl->destroyed = true;
    if (gCapture == hWnd)
        gCapture = nullptr;
    if (impl->qtWindow)
        qtDestroyFrame(hWnd);
    return 1;
}

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT)
{
    *msg = MSG{nullptr, 0, 0, 0};
    if (gQuitCode < 0 && gBackend == Backend::Qt)
        qtWaitForEvents();
    if (gQuitCode >= 0 || gBackend != Backend::Qt) {
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(gQuitCode < 0 ? 0 : gQuitCode);
        return 0;
    }
    return 1;  // the events themselves were dispatched by Qt
}

BOOL TranslateMessage(const MSG*)
{
    return 0;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg || !msg->hwnd || msg->message == 0)
        return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    default: return 0;
    }
}

void PostQuitMessage(int exitCode)
{
    gQuitCode = exitCode < 0 ? 0 : exitCode;
    // Only a running loop is told to end: Qt's exit with no loop running would
    // end every later loop at once, a modal dialog's too (GetMessageA sees the
    // code before it waits).
    if (gBackend == Backend::Qt && QGuiApplication::instance() && QThread::currentThread()->loopLevel() > 0)
        QGuiApplication::instance()->exit(gQuitCode);
}

int quitCode()
{
    return gQuitCode;
}

namespace {

bool gReportingEscape = false;  // a box about an escaped exception is up: a second one goes to standard error

// Shows on the window what an exception that left its procedure was: the
// message is given up as if it had failed. Procedures check what they allocate
// before they change the program state; this is the last line behind them.
void reportEscapedException(HWND hWnd, UINT message, const char* what, bool outOfMemory)
{
    if (message == WM_PAINT && windowAlive(hWnd)) {
        hWnd->lpImpl->invalid = QRegion();  // painted again only when something changes
        hWnd->lpImpl->erase = QRegion();
    }
    char text[400];
    if (outOfMemory)
        std::snprintf(text, sizeof text, shownText("Не могу выделить память!\n\nСообщение 0x%04X не выполнено."),
                      message);
    else
        std::snprintf(text, sizeof text, shownText("Ошибка: %s\n\nСообщение 0x%04X не выполнено."), what, message);
    if (gReportingEscape) {
        std::fprintf(stderr, "%s\n", text);
        return;
    }
    gReportingEscape = true;
    try {
        MessageBoxA(hWnd, text, outOfMemory ? " About memory " : " About exception ", MB_OK | MB_ICONWARNING);
    } catch (...) {
        std::fprintf(stderr, "%s\n", text);
    }
    gReportingEscape = false;
}

// Calls a window or dialog procedure; no exception leaves it.
template <typename Procedure>
intptr_t callGuarded(Procedure procedure, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return procedure(hWnd, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        reportEscapedException(hWnd, message, "", true);
    } catch (const std::exception& e) {
        reportEscapedException(hWnd, message, e.what(), false);
    } catch (...) {
        reportEscapedException(hWnd, message, "unknown exception", false);
    }
    return 0;
}

} // namespace

LRESULT SendMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hWnd || !hWnd->lpImpl || hWnd->lpImpl->destroyed)
        return 0;
    WindowImpl* impl = hWnd->lpImpl;
    if (impl->procedure)
        return callGuarded(impl->procedure, hWnd, message, wParam, lParam);
    switch (message) {  // a control without a procedure of its own
    case BM_GETCHECK: return impl->buttonCheck;
    case BM_SETCHECK: impl->buttonCheck = static_cast<int>(wParam); qtSyncControl(hWnd); return 0;
    case EM_SETSEL:
        impl->selectionStart = static_cast<int>(static_cast<intptr_t>(wParam));
        impl->selectionEnd = static_cast<int>(lParam);
        qtSyncControl(hWnd);
        return 0;
    default: return 0;
    }
}

bool windowAlive(HWND hWnd)
{
    return hWnd && hWnd->lpImpl && !hWnd->lpImpl->destroyed;
}

RECT controlPlacement(HWND child)
{
    return (child && child->lpImpl) ? child->lpImpl->placement : RECT{0, 0, 0, 0};
}

/*==========================================================================
** Painting
**========================================================================*/

BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase)
{
    if (!windowAlive(hWnd) || hWnd->lpImpl->parent)
        return 0;
    WindowImpl* impl = hWnd->lpImpl;
    // RECT here is right and bottom exclusive, as the window system takes it.
    QRect r = rect ? QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1))
                   : clientQRect(hWnd);
    r = r.intersected(clientQRect(hWnd));
    if (r.isEmpty())
        return 1;
    impl->invalid += r;
    if (erase)
        impl->erase += r;
    if (gBackend == Backend::Qt)
        qtSchedulePaint(hWnd);
    return 1;
}

BOOL GetClientRect(HWND hWnd, RECT* rect)
{
    if (!rect || !hWnd || !hWnd->lpImpl)
        return 0;
    *rect = RECT{0, 0, hWnd->lpImpl->raster.width(), hWnd->lpImpl->raster.height()};
    return 1;
}

HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint)
{
    if (!windowAlive(hWnd) || !paint)
        return nullptr;
    WindowImpl* impl = hWnd->lpImpl;
    DeviceContext* dc = newDeviceContext(&impl->raster, hWnd);
    // What was invalidated with erasing gets the class background first; what
    // was invalidated without keeps the picture already there.
    if (!impl->erase.isEmpty()) {
        QPainter painter(&impl->raster);
        const QColor bg(GetRValue(impl->background), GetGValue(impl->background), GetBValue(impl->background));
        for (const QRect& r : impl->erase)
            painter.fillRect(r, bg);
    }
    dc->clip = impl->invalid;
    dc->clipped = true;
    const QRect bound = impl->invalid.boundingRect();
    paint->hdc = dc;
    paint->fErase = !impl->erase.isEmpty();
    paint->rcPaint = RECT{bound.left(), bound.top(), bound.left() + bound.width(), bound.top() + bound.height()};
    impl->invalid = QRegion();
    impl->erase = QRegion();
    return dc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint)
{
    if (!paint)
        return 0;
    delete paint->hdc;
    if (windowAlive(hWnd) && gBackend == Backend::Qt)
        qtCanvasUpdate(hWnd);
    return 1;
}

HDC GetDC(HWND hWnd)
{
    if (!windowAlive(hWnd))
        return nullptr;
    return newDeviceContext(&hWnd->lpImpl->raster, hWnd);
}

int ReleaseDC(HWND hWnd, HDC hdc)
{
    if (!hdc)
        return 0;
    delete hdc;
    if (windowAlive(hWnd) && gBackend == Backend::Qt)
        qtCanvasUpdate(hWnd);
    return 1;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int width, int height, BOOL)
{
    if (!windowAlive(hWnd))
        return 0;
    if (hWnd->lpImpl->parent) {
        hWnd->lpImpl->placement = RECT{x, y, x + width, y + height};
        qtMoveControl(hWnd, x, y, width, height);
        return 1;
    }
    resizeClient(hWnd, width, height);
    return 1;
}

/*==========================================================================
** Mouse, cursor, menu
**========================================================================*/

HWND SetCapture(HWND hWnd)
{
    HWND previous = gCapture;
    gCapture = hWnd;
    return previous;
}

BOOL ReleaseCapture()
{
    gCapture = nullptr;
    return 1;
}

HWND GetCapture()
{
    return gCapture;
}

HCURSOR LoadCursorA(HINSTANCE, intptr_t id)
{
    return reinterpret_cast<HCURSOR>(id);
}

HICON LoadIconA(HINSTANCE, intptr_t id)
{
    return reinterpret_cast<HICON>(id);
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR previous = gCursor;
    gCursor = cursor;
    qtSetCursor(reinterpret_cast<intptr_t>(cursor));
    return previous;
}

HCURSOR GetCursor()
{
    return gCursor;
}

HMENU GetMenu(HWND hWnd)
{
    return (windowAlive(hWnd) && hWnd->lpImpl->menuResource) ? static_cast<HMENU>(hWnd) : nullptr;
}

DWORD CheckMenuItem(HMENU menu, UINT id, UINT flags)
{
    HWND hWnd = static_cast<HWND>(menu);
    if (!windowAlive(hWnd))
        return static_cast<DWORD>(-1);
    auto it = hWnd->lpImpl->checks.find(id);
    if (it == hWnd->lpImpl->checks.end())
        return static_cast<DWORD>(-1);
    DWORD previous = it->second ? MF_CHECKED : MF_UNCHECKED;
    it->second = (flags & MF_CHECKED) != 0;
    if (gBackend == Backend::Qt)
        qtSyncChecks(hWnd);
    return previous;
}

bool menuItemChecked(HWND hWnd, UINT id)
{
    if (!hWnd || !hWnd->lpImpl)
        return false;
    auto it = hWnd->lpImpl->checks.find(id);
    return it != hWnd->lpImpl->checks.end() && it->second;
}

/*==========================================================================
** Resources
**========================================================================*/

HBITMAP LoadBitmapA(HINSTANCE, int resource)
{
    QImage image(QStringLiteral(":/bitmaps/%1.bmp").arg(resource));
    if (image.isNull())
        return nullptr;
    GdiObject* bitmap = new GdiObject(GdiObject::Bitmap);
    bitmap->image = image.convertToFormat(QImage::Format_RGB32);
    return bitmap;
}

/*==========================================================================
** Dialogs
**========================================================================*/

namespace {
ProgressService* gProgressService = nullptr;  // where progress is shown; none by default
} // namespace

void setProgressService(ProgressService* service)
{
    gProgressService = service;
}

ProgressService* progressService()
{
    return gProgressService;
}

BOOL ShowProgress(HWND owner, const char* title, const char* text, int64_t done, int64_t total)
{
    return gProgressService ? (gProgressService->update(owner, shownText(title), shownText(text), done, total) ? 1 : 0)
                            : 1;
}

bool ProgressWantsEveryStep()
{
    return gProgressService && gProgressService->wantsEveryStep();
}

void EndProgress(HWND)
{
    if (gProgressService)
        gProgressService->finish();
}

void setDialogService(DialogService* service)
{
    gDialogService = service;
}

DialogService* dialogService()
{
    return gDialogService ? gDialogService : &gCancelAll;
}

namespace {

// What the dialog service calls: the dialog's own procedure behind the guard.
intptr_t guardedDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!dialog || !dialog->lpImpl || !dialog->lpImpl->dialogProcedure)
        return 0;
    return callGuarded(dialog->lpImpl->dialogProcedure, dialog, message, wParam, lParam);
}

} // namespace

intptr_t DialogBoxParamA(HINSTANCE, int dialogTemplate, HWND parent, DLGPROC procedure, LPARAM param)
{
    if (!procedure)
        return -1;
    const DialogTemplateDesc* desc = findDialogTemplate(dialogTemplate);
    HWND dialog = newWindow("#dialog", desc ? shownText(desc->title) : "", parent, 0);
    dialog->lpMessages = parent ? parent->lpMessages : nullptr;
    dialog->lpImpl->dialogTemplate = dialogTemplate;
    dialog->lpImpl->dialogProcedure = procedure;
    intptr_t result = dialogService()->runDialog(dialog, guardedDialogProcedure, param);
    for (HWND child : dialog->lpImpl->children)
        child->lpImpl->destroyed = true;
    dialog->lpImpl->destroyed = true;
    return result;
}

BOOL EndDialog(HWND dialog, intptr_t result)
{
    if (!dialog || !dialog->lpImpl)
        return 0;
    dialog->lpImpl->dialogResult = result;
    dialog->lpImpl->dialogEnded = true;
    return 1;
}

HWND GetDlgItem(HWND dialog, int id)
{
    if (!windowAlive(dialog))
        return nullptr;
    for (HWND child : dialog->lpImpl->children)
        if (child->lpImpl->childId == id)
            return child;
    // Controls come into being when first asked for: the descriptions need
    // not list every control a dialog procedure touches.
    return newWindow("control", "", dialog, id);
}

BOOL SetWindowTextA(HWND hWnd, const char* text)
{
    if (!hWnd || !hWnd->lpImpl)
        return 0;
    hWnd->lpImpl->title = text ? text : "";
    hWnd->lpImpl->selectionStart = hWnd->lpImpl->selectionEnd = 0;  // new text: nothing selected
    qtSyncControl(hWnd);
    return 1;
}

HWND SetFocus(HWND hWnd)
{
    HWND previous = windowAlive(gFocus) ? gFocus : nullptr;
    if (!windowAlive(hWnd))
        return previous;
    gFocus = hWnd;
    qtFocusControl(hWnd);
    return previous;
}

HWND GetFocus()
{
    return windowAlive(gFocus) ? gFocus : nullptr;
}

int GetWindowTextA(HWND hWnd, char* buffer, int size)
{
    if (!hWnd || !hWnd->lpImpl || !buffer || size <= 0)
        return 0;
    qtReadControl(hWnd);
    const std::string& text = hWnd->lpImpl->title;
    int n = std::min(static_cast<int>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

BOOL GetSaveFileNameA(OPENFILENAMEA* request)
{
    if (!request || !request->lpstrFile || request->nMaxFile <= 0)
        return 0;
    return dialogService()->chooseSaveFile(request) ? 1 : 0;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* request)
{
    if (!request || !request->lpstrFile || request->nMaxFile <= 0)
        return 0;
    return dialogService()->chooseOpenFile(request) ? 1 : 0;
}

namespace {

// A file dialog's request owned by hWnd, its first filter chosen.
OPENFILENAMEA fileRequest(HWND hWnd, const char* filter, const char* title, char* name, int size)
{
    OPENFILENAMEA request{};
    request.hwndOwner = hWnd;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = name;
    request.nMaxFile = size;
    request.lpstrTitle = title;
    return request;
}

} // namespace

bool chooseOpenFileName(HWND hWnd, const char* filter, const char* title, char* name, int size)
{
    OPENFILENAMEA request = fileRequest(hWnd, filter, title, name, size);
    return GetOpenFileNameA(&request) != 0;
}

bool chooseSaveFileName(HWND hWnd, const char* filter, const char* title, const char* extension, char* name, int size)
{
    OPENFILENAMEA request = fileRequest(hWnd, filter, title, name, size);
    request.lpstrDefExt = extension;
    request.Flags = OFN_OVERWRITEPROMPT;
    return GetSaveFileNameA(&request) != 0;
}

/*==========================================================================
** Driving a window
**========================================================================*/

int runPendingPaints(HWND hWnd)
{
    if (!windowAlive(hWnd) || hWnd->lpImpl->invalid.isEmpty())
        return 0;
    SendMessageA(hWnd, WM_PAINT, 0, 0);
    if (windowAlive(hWnd) && !hWnd->lpImpl->invalid.isEmpty() && hWnd->lpImpl->procedure) {
        // A procedure that does not validate (no BeginPaint) would be painted
        // forever; the window system validates for it, as after DefWindowProc.
        hWnd->lpImpl->invalid = QRegion();
        hWnd->lpImpl->erase = QRegion();
    }
    return 1;
}

void injectMouse(HWND hWnd, UINT message, int x, int y, WPARAM keys)
{
    SendMessageA(hWnd, message, keys, MAKELPARAM(x, y));
}

void injectKey(HWND hWnd, int virtualKey)
{
    SendMessageA(hWnd, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 0);
}

void chooseMenuItem(HWND hWnd, UINT id)
{
    SendMessageA(hWnd, WM_COMMAND, id, 0);
}

void resizeClient(HWND hWnd, int width, int height)
{
    if (!windowAlive(hWnd) || width <= 0 || height <= 0)
        return;
    WindowImpl* impl = hWnd->lpImpl;
    if (impl->raster.width() == width && impl->raster.height() == height)
        return;
    impl->raster = QImage(width, height, QImage::Format_RGB32);
    impl->raster.fill(Qt::white);
    // The class redraws on horizontal and vertical resize: all of it, erased.
    impl->invalid = impl->erase = QRegion(clientQRect(hWnd));
    SendMessageA(hWnd, WM_SIZE, 0, MAKELPARAM(width, height));
    if (gBackend == Backend::Qt)
        qtSchedulePaint(hWnd);
}

void fixClientSize(HWND hWnd, int width, int height)
{
    if (!windowAlive(hWnd) || width <= 0 || height <= 0)
        return;
    if (gBackend == Backend::Qt)
        qtFixCanvasSize(hWnd, width, height);
    resizeClient(hWnd, width, height);
}

QImage windowRaster(HWND hWnd)
{
    return (hWnd && hWnd->lpImpl) ? hWnd->lpImpl->raster.copy() : QImage();
}
