// Child controls, mouse capture and cursors of the window layer, as the
// parameter panel uses them: the edit field's place, hiding it with a size of
// 0, and the capture and cursor a hover takes and gives back.
#include <gtest/gtest.h>

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
        static int argc = 1;
        static char name[] = "pulsebench-test";
        static char* argv[] = {name, nullptr};
        startPlatform(Backend::Headless, argc, argv);
        WNDCLASSA wc{};
        wc.lpfnWndProc = plainProc;
        wc.lpszClassName = "plain";
        ASSERT_TRUE(RegisterClassA(&wc));
        hWnd = CreateWindowExA(0, "plain", "t", 0, 0, 0, 0, 0, nullptr, 0, nullptr, nullptr);
        ASSERT_NE(hWnd, nullptr);
    }

    void TearDown() override { stopPlatform(); }
};

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
