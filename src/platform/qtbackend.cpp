// The Qt Widgets backend: a QMainWindow with the menu bar of the window's menu
// description and a canvas that shows the window's raster and feeds mouse, key
// and size events to the window procedure; real message boxes and dialogs.
//
// Sections: frame and canvas - hooks - message boxes - dialogs - progress
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "platform/private.h"

/*==========================================================================
** Frame and canvas
**========================================================================*/

namespace {

// Win32 virtual key of a Qt key: letters and digits as their upper-case codes.
int virtualKeyOf(const QKeyEvent* e)
{
    const int k = e->key();
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return k;  // Qt and Win32 agree on these
    switch (k) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: return 0x09;
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Delete: return 0x2E;
    default:
        if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
            return 0x70 + (k - Qt::Key_F1);
        return 0xFF;  // a key the program does not know
    }
}

WPARAM keyStateOf(const QMouseEvent* e)
{
    WPARAM keys = 0;
    if (e->buttons() & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (e->modifiers() & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (e->modifiers() & Qt::ControlModifier)
        keys |= MK_CONTROL;
    return keys;
}

class Canvas : public QWidget {
public:
    explicit Canvas(HWND hWnd) : hWnd(hWnd)
    {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!windowAlive(hWnd))
            return;
        QPainter painter(this);
        painter.drawImage(0, 0, hWnd->lpImpl->raster);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (windowAlive(hWnd))
            resizeClient(hWnd, width(), height());
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            injectMouse(hWnd, WM_LBUTTONDOWN, e->position().toPoint().x(), e->position().toPoint().y(), keyStateOf(e));
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        // The class asks for no double clicks: the second press is a press.
        mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            injectMouse(hWnd, WM_LBUTTONUP, e->position().toPoint().x(), e->position().toPoint().y(), keyStateOf(e));
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        injectMouse(hWnd, WM_MOUSEMOVE, e->position().toPoint().x(), e->position().toPoint().y(), keyStateOf(e));
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        injectKey(hWnd, virtualKeyOf(e));
    }

private:
    HWND hWnd;  // the window shown
};

class Frame : public QMainWindow {
public:
    explicit Frame(HWND hWnd) : hWnd(hWnd) {}

protected:
    void closeEvent(QCloseEvent* e) override
    {
        // The close request goes to the window procedure, whose default
        // handling destroys the window (and with it this frame).
        e->ignore();
        if (windowAlive(hWnd))
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
    }

private:
    HWND hWnd;  // the window framed
};

void buildMenu(HWND hWnd, QMenuBar* bar, const std::vector<MenuItemDesc>& items)
{
    std::vector<QMenu*> open;  // open[d] receives entries of depth d + 1
    for (const MenuItemDesc& item : items) {
        open.resize(static_cast<size_t>(item.depth));
        QString text = item.text ? QString::fromUtf8(shownText(item.text)) : QString();
        if (!item.text) {
            if (!open.empty())
                open.back()->addSeparator();
            continue;
        }
        if (item.id == 0) {  // a popup
            QMenu* menu = open.empty() ? bar->addMenu(text) : open.back()->addMenu(text);
            open.push_back(menu);
            continue;
        }
        QAction* action = open.empty() ? bar->addAction(text) : open.back()->addAction(text);
        action->setCheckable(item.group != 0);
        const UINT id = item.id;
        QObject::connect(action, &QAction::triggered, [hWnd, id]() {
            if (!windowAlive(hWnd))
                return;
            chooseMenuItem(hWnd, id);
            if (windowAlive(hWnd))
                qtSyncChecks(hWnd);  // the marks are the program's, not Qt's toggling
        });
        hWnd->lpImpl->actions[id] = action;
    }
}

} // namespace

/*==========================================================================
** Hooks
**========================================================================*/

std::unique_ptr<QGuiApplication> makeQtApplication(Backend backend, int& argc, char** argv)
{
    if (backend == Backend::Qt)
        return std::make_unique<QApplication>(argc, argv);
    return std::make_unique<QGuiApplication>(argc, argv);
}

void qtCreateFrame(HWND hWnd)
{
    WindowImpl* impl = hWnd->lpImpl;
    Frame* frame = new Frame(hWnd);
    frame->setWindowTitle(QString::fromUtf8(impl->title.c_str()));
    if (const std::vector<MenuItemDesc>* menu = findMenu(impl->menuResource))
        buildMenu(hWnd, frame->menuBar(), *menu);
    Canvas* canvas = new Canvas(hWnd);
    frame->setCentralWidget(canvas);
    frame->resize(kHeadlessWidth, kHeadlessHeight);
    impl->qtWindow = frame;
    impl->canvas = canvas;
}

void qtShow(HWND hWnd, bool maximized)
{
    QMainWindow* frame = hWnd->lpImpl->qtWindow;
    if (!frame)
        return;
    if (maximized) {
        // Without a window manager nobody maximises: take the screen's
        // available area ourselves, then ask for the maximised state.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            frame->setGeometry(screen->availableGeometry());
        frame->showMaximized();
    } else {
        frame->show();
    }
    hWnd->lpImpl->canvas->setFocus();
}

void qtSchedulePaint(HWND hWnd)
{
    WindowImpl* impl = hWnd->lpImpl;
    if (!impl->canvas || impl->paintQueued)
        return;
    impl->paintQueued = true;
    // Paints come when the event queue is idle, as the window system sends them.
    QMetaObject::invokeMethod(
        impl->canvas,
        [hWnd]() {
            if (!windowAlive(hWnd))
                return;
            hWnd->lpImpl->paintQueued = false;
            runPendingPaints(hWnd);
        },
        Qt::QueuedConnection);
}

void qtCanvasUpdate(HWND hWnd)
{
    if (hWnd->lpImpl->canvas)
        hWnd->lpImpl->canvas->update();
}

void qtSyncChecks(HWND hWnd)
{
    for (auto& [id, action] : hWnd->lpImpl->actions)
        if (action->isCheckable())
            action->setChecked(hWnd->lpImpl->checks[id]);
}

void qtDestroyFrame(HWND hWnd)
{
    WindowImpl* impl = hWnd->lpImpl;
    if (!impl->qtWindow)
        return;
    impl->qtWindow->hide();
    impl->qtWindow->deleteLater();
    impl->qtWindow = nullptr;
    impl->canvas = nullptr;
    impl->actions.clear();
    for (HWND child : impl->children)
        child->lpImpl->control = nullptr;  // deleted with the frame
}

bool qtWaitForEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return quitCode() < 0;
}

void qtCreateControl(HWND child, int x, int y, int width, int height)
{
    QWidget* canvas = child->lpImpl->parent->lpImpl->canvas;
    if (!canvas)
        return;
    QLineEdit* edit = new QLineEdit(QString::fromUtf8(child->lpImpl->title.c_str()), canvas);
    edit->setGeometry(x, y, width, height);
    edit->setVisible(width > 0 && height > 0);
    child->lpImpl->control = edit;
}

void qtMoveControl(HWND child, int x, int y, int width, int height)
{
    if (QWidget* w = child->lpImpl->control) {
        w->setGeometry(x, y, width, height);
        w->setVisible(width > 0 && height > 0);
    }
}

void qtSyncControl(HWND child)
{
    QWidget* w = child->lpImpl ? child->lpImpl->control : nullptr;
    if (!w)
        return;
    if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
        edit->setText(QString::fromUtf8(child->lpImpl->title.c_str()));
        const int length = static_cast<int>(edit->text().size());
        const int start = std::clamp(child->lpImpl->selectionStart, 0, length);
        const int end = child->lpImpl->selectionEnd < 0 ? length : std::clamp(child->lpImpl->selectionEnd, start, length);
        if (end > start)
            edit->setSelection(start, end - start);
    } else if (auto* label = dynamic_cast<QLabel*>(w))
        label->setText(QString::fromUtf8(child->lpImpl->title.c_str()));
    else if (auto* box = dynamic_cast<QAbstractButton*>(w))
        box->setChecked(child->lpImpl->buttonCheck == BST_CHECKED);
}

void qtReadControl(HWND child)
{
    QWidget* w = child->lpImpl ? child->lpImpl->control : nullptr;
    if (!w)
        return;
    if (auto* edit = dynamic_cast<QLineEdit*>(w))
        child->lpImpl->title = edit->text().toStdString();
    else if (auto* box = dynamic_cast<QAbstractButton*>(w))
        child->lpImpl->buttonCheck = box->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void qtFixCanvasSize(HWND hWnd, int width, int height)
{
    QMainWindow* frame = hWnd->lpImpl->qtWindow;
    QWidget* canvas = hWnd->lpImpl->canvas;
    if (!frame || !canvas)
        return;
    frame->showNormal();
    canvas->setFixedSize(width, height);
    frame->adjustSize();
    QCoreApplication::processEvents();  // the resize events land now, not in the middle of a script
}

void qtFocusControl(HWND child)
{
    if (QWidget* w = child->lpImpl ? child->lpImpl->control : nullptr)
        w->setFocus(Qt::OtherFocusReason);
}

void qtSetCursor(intptr_t id)
{
    if (activeBackend() != Backend::Qt || !QGuiApplication::instance())
        return;
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (id) {
    case IDC_SIZENWSE: shape = Qt::SizeFDiagCursor; break;
    case IDC_SIZEWE: shape = Qt::SizeHorCursor; break;
    case IDC_SIZENS: shape = Qt::SizeVerCursor; break;
    case IDC_SIZEALL: shape = Qt::SizeAllCursor; break;
    case IDC_HAND: shape = Qt::PointingHandCursor; break;
    default: break;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* frame = dynamic_cast<QMainWindow*>(w))
            if (frame->centralWidget())
                frame->centralWidget()->setCursor(shape);
}

/*==========================================================================
** Message boxes
**========================================================================*/

namespace {

class QtMessageBoxes : public MessageBoxService {
public:
    int show(const char* text, const char* caption, unsigned flags) override
    {
        QMessageBox box;
        box.setWindowTitle(QString::fromUtf8(caption ? caption : kStandardCaption));
        box.setText(QString::fromUtf8(text ? text : ""));
        if ((flags & MB_ICONMASK) == MB_ICONWARNING)
            box.setIcon(QMessageBox::Warning);
        switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        default: box.setStandardButtons(QMessageBox::Ok); break;
        }
        switch (box.exec()) {
        case QMessageBox::Cancel: return IDCANCEL;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        default: return IDOK;
        }
    }
};

/*==========================================================================
** Dialogs
**========================================================================*/

// Types a scripted reply into a dialog on the screen and clicks its buttons, as
// a person would: a field's text replaced, a check box clicked when its state
// is to change, a radio button clicked to choose it, then OK or Cancel. OK that
// is refused (a bad value) is followed by Cancel; the person gives up. A reply
// that names a field the dialog lacks is not typed: the dialog is cancelled.
void pilotDialog(HWND dialog, QDialogButtonBox* buttons, ScriptedSession* session)
{
    const ScriptedAnswer answer = session->takeDialogAnswer(dialog);
    for (const auto& [name, value] : answer.fields) {
        const int id = scriptedControlId(dialog, name);
        QWidget* w = id < 0 ? nullptr : GetDlgItem(dialog, id)->lpImpl->control;
        if (!w) {
            session->log.push_back("dialog " + std::to_string(dialog->lpImpl->dialogTemplate) + ": no field " + name);
            continue;
        }
        if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
            edit->selectAll();
            edit->insert(QString::fromUtf8(value.c_str()));
        } else if (auto* check = dynamic_cast<QCheckBox*>(w)) {
            if (check->isChecked() != scriptedValueOn(value))
                check->click();
        } else if (auto* radio = dynamic_cast<QRadioButton*>(w)) {
            if (scriptedValueOn(value))
                radio->click();
        }
    }
    buttons->button(answer.ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    if (!dialog->lpImpl->dialogEnded && answer.ok)
        buttons->button(QDialogButtonBox::Cancel)->click();
    if (!dialog->lpImpl->dialogEnded)
        EndDialog(dialog, IDCANCEL);
    session->log.push_back("dialog " + std::to_string(dialog->lpImpl->dialogTemplate) + " " +
                           (dialog->lpImpl->dialogResult == IDOK ? "ok" : "cancel"));
}

// Builds the dialog from its description, runs it modally until EndDialog;
// with a `pilot` the session's next reply answers it.
intptr_t runQtDialog(HWND dialog, DLGPROC procedure, LPARAM param, ScriptedSession* pilot)
{
    const DialogTemplateDesc* desc = findDialogTemplate(dialog->lpImpl->dialogTemplate);
    QWidget* owner = nullptr;
    if (HWND parent = dialog->lpImpl->parent; parent && parent->lpImpl)
        owner = parent->lpImpl->qtWindow;
    QDialog box(owner);
    box.setWindowTitle(QString::fromUtf8(dialog->lpImpl->title.c_str()));
    auto* layout = new QVBoxLayout(&box);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    // A group box opens a form of its own; radio buttons are exclusive
    // within their group box, as in the dialog descriptions.
    std::vector<std::pair<int, QAbstractButton*>> clickable;
    if (desc)
        for (const DialogControlDesc& c : desc->controls) {
            const char* shown = c.label ? shownText(c.label) : "";
            const QString label = QString::fromUtf8(shown);
            QWidget* w = nullptr;
            if (std::strcmp(c.kind, "group") == 0) {
                auto* group = new QGroupBox(label);
                layout->addWidget(group);
                form = new QFormLayout(group);
                continue;
            }
            if (std::strcmp(c.kind, "edit") == 0) {
                w = new QLineEdit;
                form->addRow(label, w);
            } else if (std::strcmp(c.kind, "check") == 0) {
                w = new QCheckBox(label);
                form->addRow(w);
            } else if (std::strcmp(c.kind, "radio") == 0) {
                w = new QRadioButton(label);
                form->addRow(w);
            } else if (std::strcmp(c.kind, "button") == 0) {
                auto* button = new QPushButton(label);
                button->setAutoDefault(false);  // Enter still means OK
                w = button;
                form->addRow(w);
            } else {
                w = new QLabel(label);
                form->addRow(w);
            }
            w->setEnabled(!c.disabled);
            if (c.id >= 0) {
                w->setObjectName(QString::number(c.id));  // scripts and tests address controls by id
                HWND child = GetDlgItem(dialog, c.id);
                child->lpImpl->control = w;
                if (std::strcmp(c.kind, "label") == 0)
                    child->lpImpl->title = shown;
                if (auto* b = dynamic_cast<QAbstractButton*>(w))
                    clickable.emplace_back(c.id, b);
            }
        }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    auto press = [&](int id) {
        for (HWND child : dialog->lpImpl->children)
            qtReadControl(child);
        procedure(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
        if (dialog->lpImpl->dialogEnded)
            box.done(0);
        else
            for (HWND child : dialog->lpImpl->children)
                qtSyncControl(child);  // what the procedure set stays on screen, a refused field marked
    };
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, [&]() { press(IDOK); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, [&]() { press(IDCANCEL); });
    for (auto& [id, b] : clickable)  // a click on a check box or radio button: WM_COMMAND with its id
        QObject::connect(b, &QAbstractButton::clicked, &box, [&, id = id]() { press(id); });
    procedure(dialog, WM_INITDIALOG, 0, param);
    for (HWND child : dialog->lpImpl->children)
        qtSyncControl(child);
    if (!dialog->lpImpl->dialogEnded) {
        if (pilot)
            QTimer::singleShot(0, &box, [&]() {
                pilotDialog(dialog, buttons, pilot);
                box.done(0);
            });
        box.exec();
    }
    for (HWND child : dialog->lpImpl->children)
        child->lpImpl->control = nullptr;
    return dialog->lpImpl->dialogEnded ? dialog->lpImpl->dialogResult : static_cast<intptr_t>(IDCANCEL);
}

class QtDialogs : public DialogService {
public:
    intptr_t runDialog(HWND dialog, DLGPROC procedure, LPARAM param) override
    {
        return runQtDialog(dialog, procedure, param, nullptr);
    }

    bool chooseSaveFile(OPENFILENAMEA* request) override { return chooseFile(request, true); }
    bool chooseOpenFile(OPENFILENAMEA* request) override { return chooseFile(request, false); }

private:
    static bool chooseFile(OPENFILENAMEA* request, bool save)
    {
        // Filters come as pairs of NUL-terminated strings: "text\0pattern\0...\0".
        QStringList filters;
        for (const char* p = request->lpstrFilter; p && *p;) {
            const char* pattern = p + std::strlen(p) + 1;
            filters << QString::fromUtf8(p) + (std::strstr(p, "(") ? QString() : " (" + QString::fromUtf8(pattern) + ")");
            p = pattern + std::strlen(pattern) + 1;
        }
        QFileDialog box(request->hwndOwner && request->hwndOwner->lpImpl ? request->hwndOwner->lpImpl->qtWindow
                                                                           : nullptr,
                        QString::fromUtf8(request->lpstrTitle ? request->lpstrTitle : ""));
        box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        box.setNameFilters(filters);
        if (request->nFilterIndex >= 1 && request->nFilterIndex <= filters.size())
            box.selectNameFilter(filters[request->nFilterIndex - 1]);
        box.setOption(QFileDialog::DontConfirmOverwrite, !(request->Flags & OFN_OVERWRITEPROMPT));
        if (request->lpstrDefExt)
            box.setDefaultSuffix(QString::fromUtf8(request->lpstrDefExt));
        if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
            return false;
        const QByteArray name = box.selectedFiles().first().toUtf8();
        if (name.size() >= request->nMaxFile)
            return false;
        std::memcpy(request->lpstrFile, name.constData(), static_cast<size_t>(name.size()) + 1);
        request->nFilterIndex = static_cast<int>(filters.indexOf(box.selectedNameFilter())) + 1;
        return true;
    }
};

/*==========================================================================
** Progress
**========================================================================*/

class QtProgress : public ProgressService {
public:
    bool update(HWND owner, const char* title, const char* text, int64_t done, int64_t total) override
    {
        if (!dialog) {
            dialog = new QProgressDialog(owner && owner->lpImpl ? owner->lpImpl->qtWindow : nullptr);
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(500);  // short runs show nothing
            dialog->setAutoReset(false);
            dialog->setAutoClose(false);
        }
        dialog->setWindowTitle(QString::fromUtf8(title ? title : ""));
        dialog->setLabelText(QString::fromUtf8(text ? text : ""));
        // The bar counts in thousandths so that long runs fit an int.
        dialog->setMaximum(1000);
        dialog->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
        QCoreApplication::processEvents();
        return !dialog->wasCanceled();
    }

    void finish() override
    {
        delete dialog;
        dialog = nullptr;
    }

private:
    QProgressDialog* dialog = nullptr;  // shown during a run
};

// Real dialogs answered by a scripted session; its file names too.
class QtScriptedDialogs : public DialogService {
public:
    ScriptedSession* session = nullptr;  // where the replies come from

    intptr_t runDialog(HWND dialog, DLGPROC procedure, LPARAM param) override
    {
        return runQtDialog(dialog, procedure, param, session);
    }
    bool chooseSaveFile(OPENFILENAMEA* request) override { return session->chooseSaveFile(request); }
};

QtMessageBoxes gQtBoxes;
QtProgress gQtProgress;
QtDialogs gQtDialogs;
QtScriptedDialogs gQtScriptedDialogs;

} // namespace

MessageBoxService* qtMessageBoxes()
{
    return &gQtBoxes;
}

ProgressService* qtProgress()
{
    return &gQtProgress;
}

DialogService* qtDialogs()
{
    return &gQtDialogs;
}

DialogService* qtScriptedDialogs(ScriptedSession* session)
{
    gQtScriptedDialogs.session = session;
    return &gQtScriptedDialogs;
}
