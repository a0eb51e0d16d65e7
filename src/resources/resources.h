// The resources of the workbench: the main menu (texts, ids, check-mark
// groups), the dialog descriptions and the five button pictures. Public face
// of src/resources/ for the shell, the display and the platform's backends.
#pragma once

#include <vector>

#include "platform/backend.h"

/*---- Resource ids ----*/
enum : int {
    IDB_BITMAP1 = 101,      // Next button picture
    IDB_BUTTONEXIT = 102,   // Exit button picture
    IDB_BUTTONSTART = 103,  // Restart button picture
    IDR_MAINMENU = 104,     // the main menu
    IDD_CREATE_SERIES = 105,        // dialog "Create Series" (series parameters)
    IDD_SERIES_STRUCTURE = 106,     // dialog "Create Series" (series structure)
    IDD_REQUIRED_ETALONS = 107,     // dialog "List of Required Etalons"
    IDB_BITMAP4 = 108,      // Unselect All button picture
    IDB_BITMAP5 = 109,      // Select All button picture
    IDD_LOCATION_PARAMETERS = 110,  // dialog " Location Parameters"
    IDD_SUBSET_SETTINGS = 111,      // dialog "Subset settings"
    IDD_DRAWING_SETTINGS = 112,     // dialog "Drawing settings"
    IDD_SHOW_PARAMETERS = 113,      // dialog " Show Statistical Simulation parameters"
    IDD_SHOW_SIMULATION = 114,      // dialog "Show Statistical Simulation"
};

/*---- Internal command ids (sent to the main window by the shell and the display; no menu item) ----*/
enum : UINT {
    CM_EXIT = 204,                 // close the window
    CM_NEXT_SERIES = 205,          // draw a sequence, build, noise, process, show
    CM_NONE = 207,                 // nothing
    CM_PROCESS = 210,              // process the series on screen again
    CM_TAKE_LEVELS = 211,          // chosen levels into the Next values
    CM_REDRAW_ETALON = 212,        // repaint the pressed etalon cell
    CM_REDRAW_ALPHABET = 213,      // repaint the alphabet view
    CM_SIMULATION_PARAMS = 214,    // ask the simulation parameters
    CM_SERIES_DIALOG = 215,        // the Create Series dialog
    CM_BUILD_SERIES = 216,         // build from the current values, noise, process, show
    CM_SHOW_RESULTS = 218,         // repaint the results
    CM_REDRAW_PANEL = 221,         // repaint the subset strip
    CM_REDRAW_AREA_NOERASE = 223,  // repaint the series area over the old picture
    CM_REDRAW_SUBSET = 224,        // repaint the subset panel
};

inline constexpr int kTminEditId = 225;  // child id of the "Tmin Text" edit

/*---- Menu command ids ----*/
enum : UINT {
    IDM_CREATE_SERIES = 40001,       // " Create series... "
    IDM_NEW_PULSES = 40002,          // " New pulses... "
    IDM_SAVE_IMAGE = 40003,          // " Save image as..."
    IDM_EXIT = 40004,                // " Exit"
    IDM_DETECTION = 40005,           // task: " Detection"
    IDM_RECOGNITION = 40006,         // task: " Recognition"
    IDM_JOINT = 40007,               // task: " Joint Detection and Identification"
    IDM_FIXED_WHOLE = 40008,         // series: " Fixed Number of Whole Pulses"
    IDM_UNFIXED_WHOLE = 40009,       // series: " Unfixed Number of Whole Pulses"
    IDM_FIXED_CUTOFF = 40010,        // series: " Fixed Number of Cutoffs Pulses"
    IDM_UNFIXED_CUTOFF = 40011,      // series: " Unfuxed Number of Cutoffs Pulses"
    IDM_SIMULATION = 40012,          // " Statistical Simulation"
    IDM_CREATE_SERIES_TOP = 40014,   // " Create Series..." on the bar (does nothing)
    IDM_SHOW_SIMULATION = 40015,     // " Show Statistical Simulation"
    IDM_SELECT_SET = 40016,          // " Select set of pulses"
    IDM_PROCESS_SAME = 40017,        // " Processing Same Data"
    IDM_PROCESS_NEXT = 40018,        // " Processing Next Data "
    IDM_MORE_DETAILS = 40019,        // " More details"
    IDM_TYPE_MORE = 40020,           // " Type more detales"
    IDM_FIXED_CASE = 40021,          // " Fixed case"
    IDM_UNFIXED_CASE = 40022,        // " Unfixed case"
    IDM_REPEAT_DETECTION = 40023,    // " Repeat Detection"
    IDM_REPEAT_RECOGNITION = 40024,  // " Repeat Recognition"
    IDM_REPEAT_JOINT = 40025,        // " Repeat Joint Detection and Discrimination"
    IDM_REPEAT_PROCESSING = 40026,   // " Repeat Series Processing"
    IDM_SERIES_PROCESSING = 40027,   // task: " Series Processing"
    IDM_FIXED_TUPLES = 40028,        // series: " Fixed Number of Whole Pulses Tuples "
    IDM_SUBSET_SETTINGS = 40029,     // " Subset settings ..."
    IDM_DRAWING_SETTINGS = 40030,    // " Drawing settings ..."
    IDM_VIEW_PARAMETERS = 40031,     // " View series parameters..."
    IDM_UNFIXED_TUPLES = 40032,      // series: " Unfixed Number of Whole Pulses Tuples "
    IDM_DEBUG_REPEAT = 40033,        // " Debugging repeat "
};

/*---- Check-mark groups ----*/
enum : int {
    kTaskTypeGroup = 1,    // exactly one task type is checked
    kSeriesTypeGroup = 2,  // exactly one series type is checked
};

// Registers the menu and the dialog descriptions with the platform and makes
// the button pictures loadable. Idempotent; call before the main window exists.
void loadResources();

// Registers the eight dialog descriptions (dialogs.cpp); part of loadResources.
void registerDialogs();

// The main menu, in reading order.
const std::vector<MenuItemDesc>& mainMenu();
// The check-mark group of a menu item (0: none), and the items of a group.
int menuGroupOf(UINT id);
std::vector<UINT> menuGroupItems(int group);
