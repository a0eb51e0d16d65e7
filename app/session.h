// Scripted sessions: a text file of commands replayed on a headless window
// through the same code paths as a person at the window, and the JSON dumps of
// the series, the chains, the program state and the message boxes.
#pragma once

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/backend.h"

// How a session runs, besides its script and its output folder.
struct SessionOptions {
    bool realDialogs = false;      // the real Qt dialogs on the screen, answered through their widgets (Qt backend)
    bool confineToOutput = false;  // every file name stays inside the output folder: relative, no "..", no symbolic link on the way
};

// Runs the script at `path` on a new main window of the running backend.
// Relative file names in the script are taken relative to `outputDirectory`
// (made if missing); confined, a name that could leave it stops the script.
// With `realDialogs` (Qt backend) the dialogs are the real ones on the screen,
// answered through their widgets. Message boxes are answered from the script
// and recorded, never shown. Progress and errors go to `log`. Returns 0 on
// success, 1 when the window could not be created, 2 on a bad script line, 3
// when a file (snapshot, dump, messages) could not be written: the session
// stops there and the line and the file are named. Every file is written whole
// under its name or not at all.
int runScriptedSession(const std::string& path, const std::string& outputDirectory, std::ostream& log,
                       const SessionOptions& options = {});

// The dumps (keys are the records' field names).
nlohmann::ordered_json seriesToJson();         // the current SeriesHeader, or null
nlohmann::ordered_json chainsToJson();         // the current ChainsHeader, or null
nlohmann::ordered_json stateToJson(HWND hWnd); // program state, layout of the last paint, menu marks
nlohmann::ordered_json messagesToJson(const std::vector<MessageRecord>& messages);
