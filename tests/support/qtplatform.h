// Test scaffolding for the Qt backend: the window system started on Qt's
// offscreen platform (unless the caller chose another) for one test suite.
#pragma once

#include <QApplication>

#include "platform/backend.h"

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
