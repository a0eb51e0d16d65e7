// Test scaffolding for the Qt backend: the window system started on Qt's
// offscreen platform (unless the caller chose another) for one test suite,
// and a main window on it made as at program start.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/backend.h"
#include "shell/shell.h"

inline void startOffscreenQtPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pulsebench-test";
    static char* argv[] = {name, nullptr};
    startPlatform(Backend::Qt, argc, argv);
}

inline void stopQtPlatform()
{
    QApplication::processEvents();
    stopPlatform();  // releases every window made
}

// A fresh main window on the Qt backend for each test; message boxes are
// answered and recorded by `session`, dialogs too unless a test picks the
// real ones.
class QtMainWindowTest : public ::testing::Test {
protected:
    ScriptedSession session;  // answers and records message boxes (and dialogs)
    HWND hWnd = nullptr;      // the main window

    static void SetUpTestSuite() { startOffscreenQtPlatform(); }
    static void TearDownTestSuite() { stopQtPlatform(); }

    void SetUp() override
    {
        setDefaultMessageBoxService(&session);
        setDialogService(&session);
        resetProgramState();
        hWnd = startMainWindow(nullptr, nullptr);
        ASSERT_NE(hWnd, nullptr);
        QApplication::processEvents();
    }

    void TearDown() override
    {
        if (windowAlive(hWnd))
            DestroyWindow(hWnd);
        QApplication::processEvents();
        setDefaultMessageBoxService(nullptr);
        setDialogService(nullptr);
    }
};
