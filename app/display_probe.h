// Whether the window of the workbench can open here, found out before Qt is
// started: Qt's own answer to a missing display is a fatal message and an
// abort. Used by main for the window and for a script on the real window.
#pragma once

#include <string>

// What stands in the way of the window: "" when QT_QPA_PLATFORM names a
// platform (Qt is left to it), when a Wayland socket or the X server of
// DISPLAY accepts a connection, or when DISPLAY has a form this probe does not
// know (Qt is left to try). Otherwise one line saying which display was
// looked for and not found.
std::string missingDisplay();

// The message of a start without a display: `reason` (from missingDisplay)
// and how to run without one. Ends with a newline.
std::string noDisplayMessage(const std::string& reason);
