// Child controls, mouse capture and cursors of the window layer, as the
// parameter panel uses them: the edit field's place, hiding it with a size of
// 0, and the capture and cursor a hover takes and gives back.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "support/headless.h"
#include "platform/backend.h"
#include "platform/window.h"

namespace {

LRESULT plainProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

class ChildWindows : public ::testing::Test {
protected:
    HWND hWnd = nullptr;  // a plain top-level window

    void SetUp() override
    {
        startHeadlessPlatform();
        hWnd = makeWindow("plain", plainProc);
        ASSERT_NE(hWnd, nullptr);
    }

    void TearDown() override { stopPlatform(); }

    // A top-level window of a class of its own; null when it could not be made.
    static HWND makeWindow(const char* className, WNDPROC procedure)
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = procedure;
        wc.lpszClassName = className;
        if (!RegisterClassA(&wc))
            return nullptr;
        return CreateWindowExA(0, className, "t", 0, 0, 0, 0, 0, nullptr, 0, nullptr, nullptr);
    }
};

int gPaints = 0;  // paints the throwing procedure was asked for

// Out of memory on command 1 and on every paint, a failure of another kind on command 2.
LRESULT throwingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT && ++gPaints)
        throw std::bad_alloc();
    if (message == WM_COMMAND && wParam == 1)
        throw std::bad_alloc();
    if (message == WM_COMMAND && wParam == 2)
        throw std::runtime_error("broken invariant");
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// Out of memory at its start; Cancel still ends it.
intptr_t throwingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        throw std::bad_alloc();
    if (message == WM_COMMAND && wParam == IDCANCEL)
        EndDialog(dialog, 7);
    return 0;
}

bool same(const RECT& u, const RECT& v)
{
    return u.left == v.left && u.top == v.top && u.right == v.right && u.bottom == v.bottom;
}

} // namespace

TEST_F(ChildWindows, EditKeepsThePlaceMoveWindowGivesAndItsText)
{
    HWND edit = CreateWindowExA(0, "edit", "Tmin Text", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, hWnd, 225,
                                nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetDlgItem(hWnd, 225), edit);
    EXPECT_TRUE(same(controlPlacement(edit), RECT{0, 0, 0, 0}));  // made hidden
    EXPECT_TRUE(MoveWindow(edit, 40, 700, 35, 18, 1));
    EXPECT_TRUE(same(controlPlacement(edit), RECT{40, 700, 75, 718}));
    EXPECT_TRUE(MoveWindow(edit, 0, 1000, 0, 0, 1));
    EXPECT_TRUE(same(controlPlacement(edit), RECT{0, 1000, 0, 1000}));
    SetWindowTextA(edit, "55");
    char text[8];
    EXPECT_EQ(GetWindowTextA(edit, text, sizeof text), 2);
    EXPECT_STREQ(text, "55");
    // The parent's client size is not touched by its child's moves.
    RECT client;
    GetClientRect(hWnd, &client);
    EXPECT_EQ(client.right, kHeadlessWidth);
}

TEST_F(ChildWindows, CaptureAndCursorAreHeldUntilGivenBack)
{
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(hWnd), nullptr);
    EXPECT_EQ(GetCapture(), hWnd);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW), sizing = LoadCursorA(nullptr, IDC_SIZENWSE);
    EXPECT_NE(arrow, sizing);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(sizing), arrow);
    EXPECT_EQ(GetCursor(), sizing);
    EXPECT_EQ(SetCursor(arrow), sizing);
    // Destroying the window that holds the capture frees it.
    SetCapture(hWnd);
    DestroyWindow(hWnd);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ChildWindows, AnExceptionLeavingAProcedureIsABoxAndTheMessageFails)
{
    HWND w = makeWindow("throwing", throwingProc);
    ASSERT_NE(w, nullptr);
    RecordingMessageBoxes boxes;
    w->lpMessages = &boxes;
    EXPECT_EQ(SendMessageA(w, WM_COMMAND, 1, 0), 0);
    EXPECT_EQ(SendMessageA(w, WM_COMMAND, 2, 0), 0);
    gPaints = 0;
    resizeClient(w, 40, 30);
    EXPECT_EQ(runPendingPaints(w), 1);
    EXPECT_EQ(runPendingPaints(w), 0);  // a paint that failed is not asked for again and again
    EXPECT_EQ(gPaints, 1);
    EXPECT_EQ(DialogBoxParamA(nullptr, 0, w, throwingDialog, 0), 7);
    const std::vector<MessageRecord> shown = boxes.messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text.rfind("Не могу выделить память!", 0), 0u) << shown[0].text;
    EXPECT_NE(shown[1].text.find("broken invariant"), std::string::npos) << shown[1].text;
    EXPECT_EQ(shown[2].text.rfind("Не могу выделить память!", 0), 0u) << shown[2].text;
    EXPECT_EQ(shown[3].text.rfind("Не могу выделить память!", 0), 0u) << shown[3].text;
    DestroyWindow(w);
}
