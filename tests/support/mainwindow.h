// Test scaffolding for the window layer: a headless main window made exactly
// as at program start (defaults, streams at their start values), with every
// message box and dialog answered by a scripted session and recorded.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "display/display_private.h"
#include "platform/backend.h"
#include "resources/resources.h"
#include "shell/shell.h"

// Starts the headless window system once per test program.
inline void ensureHeadlessPlatform()
{
    if (!platformStarted()) {
        static int argc = 1;
        static char name[] = "pulsebench-test";
        static char* argv[] = {name, nullptr};
        startPlatform(Backend::Headless, argc, argv);
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    ScriptedSession session;  // answers and records every box and dialog
    HWND hWnd = nullptr;      // the main window, painted once
    std::filesystem::path madeFolder;  // removed after the test when made

    void SetUp() override
    {
        ensureHeadlessPlatform();
        setDefaultMessageBoxService(&session);
        setDialogService(&session);
        resetProgramState();
        hWnd = startMainWindow(nullptr, nullptr);
        ASSERT_NE(hWnd, nullptr);
    }

    void TearDown() override
    {
        if (windowAlive(hWnd))
            DestroyWindow(hWnd);
        stopPlatform();
        if (!madeFolder.empty())
            std::filesystem::remove_all(madeFolder);
        setDefaultMessageBoxService(nullptr);
        setDialogService(nullptr);
    }

    void menu(UINT id)
    {
        SendMessageA(hWnd, WM_COMMAND, id, 0);
        runPendingPaints(hWnd);
    }

    void pressAt(const RECT& r)
    {
        injectMouse(hWnd, WM_LBUTTONDOWN, (r.left + r.right) / 2, (r.top + r.bottom) / 2, MK_LBUTTON);
        runPendingPaints(hWnd);
    }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const MessageRecord& m : session.messages())
            out.push_back(m.text);
        return out;
    }

    // A private temporary folder, made on first use.
    std::filesystem::path folder()
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        auto f = std::filesystem::temp_directory_path() /
                 ("pulsebench-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                  std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        madeFolder = f;
        return f;
    }
};
