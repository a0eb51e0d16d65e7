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
    IDD_OPEN_SIGNAL = 115,          // dialog " Open signal"
    IDD_OPEN_ETALONS = 116,         // dialog " Open etalons"
    IDD_OPEN_SERIES = 117,          // dialog " Open series"
    IDD_RESUME_SIMULATION = 118,    // dialog " Resume simulation": the checkpoint to continue
};

/*---- Control ids of the dialogs (one number may name other controls in other dialogs; scripts use the numbers) ----*/
enum : int {
    // 105 "Create Series" (series parameters)
    IDC_SERIES_LENGTH = 1000,             // edit "Samples Length"
    IDC_SERIES_TMIN = 1001,               // edit "Min Length of Interval"
    IDC_SERIES_TMAX = 1003,               // edit "Max Length of Interval"
    IDC_SERIES_ETALON = 1004,             // edit "Etalon Number"
    IDC_SERIES_SAVED_ENERGY = 1005,       // edit "Saved Energy Level" of creation (0..100)
    IDC_SERIES_PROC_SAVED_ENERGY = 1006,  // edit "Saved Energy Level" of processing (0..100)
    // 106 "Create Series" (series structure)
    IDC_STRUCTURE_COUNT = 1007,           // edit: number of pulses in series
    IDC_STRUCTURE_COUNT_LABEL = 1008,     // label "Number of Pulses in Series (from .. to ..)"
    IDC_STRUCTURE_SEQUENCE_LABEL = 1009,  // label "Sequence of Etalons in Series (values from 1 to ..)"
    IDC_STRUCTURE_SEQUENCE = 1010,        // edit: sequence of etalons, comma separated
    IDC_STRUCTURE_NOISE = 1011,           // edit "Noise Level"
    // 107 "List of Required Etalons"
    IDC_REQUIRED_LIST_LABEL = 1012,  // label "List of Required Etalons (from 1 to ..)"
    IDC_REQUIRED_LIST = 1013,        // edit: required etalons, comma separated
    IDC_REQUIRED_COUNT = 1014,       // edit: number of required etalons
    // 110 " Location Parameters"
    IDC_LOCATION_FROM = 1015,             // edit "from": fewest pulses
    IDC_LOCATION_TO = 1016,               // edit "to": most pulses
    IDC_LOCATION_INCREMENT = 1017,        // edit "incr.": pulses added per step
    IDC_LOCATION_NOISE_STEPS = 1018,      // edit "Number of Steps in Simulation"
    IDC_LOCATION_INIT_NOISE = 1019,       // edit "Initial Level" of noise
    IDC_LOCATION_NOISE_INCREMENT = 1020,  // edit "Noise Increment per Step"
    IDC_LOCATION_REPEATS = 1021,          // edit "Number of Repeats"
    // 111 "Subset settings": employment radios 1015..1019 stand for employment 1..5 in order
    IDC_SUBSET_SINGLE_RANDOM = 1015,      // radio "Single random" (employment 1)
    IDC_SUBSET_SINGLE_FIXED = 1016,       // radio "Single fixed" (2)
    IDC_SUBSET_MULTIPLE_RANDOM = 1017,    // radio "Multiple random" (3)
    IDC_SUBSET_COMPLETE = 1018,           // radio "Complete" (4)
    IDC_SUBSET_SHIFTED_COMPLETE = 1019,   // radio "Shifted complete" (5)
    IDC_SUBSET_INIT_POSITION = 1020,      // edit "Subset init position" (shown disabled)
    IDC_SUBSET_PROCEED_COMPLETE = 1021,   // radio proceeding "Complete" (proceeding 1)
    IDC_SUBSET_PROCEED_SHIFTED = 1022,    // radio "Probably shifted complete" (proceeding 2)
    // 112 "Drawing settings"
    IDC_DRAWING_HIGHLIGHT = 1023,        // check "highlight detected pulses"
    IDC_DRAWING_SHADED = 1024,           // check "shaded original pulses"
    IDC_DRAWING_TUPLES_DOTTED = 1025,    // radio "dotted frame" (tuples highlight 1)
    IDC_DRAWING_TUPLES_COLOURED = 1026,  // radio "coloured background" (tuples highlight 2)
    IDC_DRAWING_TUPLES_NONE = 1027,      // radio "none" (tuples highlight 0)
    IDC_DRAWING_SPECIAL_SIZE = 1043,     // check "special graph size"
    IDC_DRAWING_FRAME = 1044,            // check "frame graph fields"
    // 113 and 114: the statistics charts (114 alone has 1034 and 1042)
    IDC_SHOW_RESTORING_ERROR = 1028,    // radio "restoring error" (error kind 1)
    IDC_SHOW_DETECTION_ERROR = 1029,    // radio "detection error" (2)
    IDC_SHOW_COMPONENTWISE = 1030,      // radio "componentwise" (view 1)
    IDC_SHOW_SUMMARY = 1031,            // radio "summary view" (view 2)
    IDC_SHOW_FIXED_BOUND = 1032,        // check "fixed upper bound"
    IDC_SHOW_UPPER_BOUND = 1033,        // edit "upper bound", a number above 0
    IDC_SHOW_RECOGNITION_ERROR = 1034,  // radio "recognition error" (error kind 3)
    IDC_SHOW_BOUNDS_INCLUDED = 1042,    // check "bounds incl."
    // 115, 116, 117 and 118: the file to open (115 also its channel)
    IDC_OPEN_FILE = 1045,               // edit "File"
    IDC_OPEN_CHANNEL = 1046,            // edit "Channel", 0-based
    IDC_OPEN_FIRST = 1047,              // edit "First sample": where a long signal's shown stretch starts, >= 0
    IDC_OPEN_BROWSE = 1048,             // button "Browse...": the file chooser (where there is one) fills "File"
    // 110 " Location Parameters" (continued)
    IDC_LOCATION_SEED = 1049,           // edit "Seed": replicate seed, 0 = the program's own streams

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
    IDM_OPEN_SIGNAL = 40034,         // " Open signal..."
    IDM_OPEN_ETALONS = 40035,        // " Open etalons..."
    IDM_OPEN_SERIES = 40036,         // " Open series..."
    IDM_SAVE_SERIES = 40037,         // " Save series..."
    IDM_EXPORT_RESULTS = 40038,      // " Export results..."
    IDM_RESUME_SIMULATION = 40039,   // " Resume simulation...": continue a checkpoint of a cancelled run
};

/*---- Check-mark groups ----*/
enum : int {
    kTaskTypeGroup = 1,    // exactly one task type is checked
    kSeriesTypeGroup = 2,  // exactly one series type is checked
};

// Registers the menu and the dialog descriptions with the platform and makes
// the button pictures loadable. Idempotent; call before the main window exists.
void loadResources();

// Registers the dialog descriptions (dialogs.cpp); part of loadResources.
void registerDialogs();

// The main menu, in reading order.
const std::vector<MenuItemDesc>& mainMenu();
// The check-mark group of a menu item (0: none), and the items of a group.
int menuGroupOf(UINT id);
std::vector<UINT> menuGroupItems(int group);
