// The descriptions of the eight parameter dialogs: titles, group boxes, labels
// and control ids, in reading order. One table for the Qt dialogs and the
// scripted answers alike; the dialog procedures of the shell fill and read it.
#include "resources/resources.h"

namespace {

// Kinds: "group" opens a group box (its label is the caption), "label" is a
// static text (id -1, or an id when its text is set on open), "edit", "check",
// "radio", "button" (a push button that tells the procedure and takes no
// reply). A control marked disabled is shown greyed.
const std::vector<DialogTemplateDesc> kDialogs = {
    {IDD_CREATE_SERIES, "Create Series",
     {{-1, "group", "Parameters for creating series"},
      {IDC_SERIES_LENGTH, "edit", "Samples Length"},
      {IDC_SERIES_TMIN, "edit", "Min Length of Interval"},
      {IDC_SERIES_TMAX, "edit", "Max Length of Interval"},
      {IDC_SERIES_ETALON, "edit", "Etalon Number"},
      {IDC_SERIES_SAVED_ENERGY, "edit", "Saved Energy Level (from 0 to 100)"},
      {-1, "group", "Parameters for processing series"},
      {IDC_SERIES_PROC_SAVED_ENERGY, "edit", "Saved Energy Level (from 0 to 100)"}}},
    {IDD_SERIES_STRUCTURE, "Create Series",
     {{-1, "group", " Series structure "},
      {IDC_STRUCTURE_COUNT_LABEL, "label", "Number of Pulses in Series"},
      {IDC_STRUCTURE_COUNT, "edit", ""},
      {IDC_STRUCTURE_SEQUENCE_LABEL, "label", "Sequence of Etalons in Series"},
      {IDC_STRUCTURE_SEQUENCE, "edit", ""},
      {IDC_STRUCTURE_NOISE, "edit", "Noise Level"}}},
    {IDD_REQUIRED_ETALONS, "List of Required Etalons",
     {{-1, "label", "Number of Required Etalons"},
      {IDC_REQUIRED_COUNT, "edit", ""},
      {IDC_REQUIRED_LIST_LABEL, "label", "List of Required Etalons"},
      {IDC_REQUIRED_LIST, "edit", ""}}},
    {IDD_LOCATION_PARAMETERS, " Location Parameters",
     {{-1, "group", " Number of Pulses in Series "},
      {IDC_LOCATION_FROM, "edit", "from"},
      {IDC_LOCATION_TO, "edit", "to"},
      {IDC_LOCATION_INCREMENT, "edit", "incr."},
      {IDC_LOCATION_REPEATS, "edit", "Number of Repeats"},
      {-1, "group", " Noise parameters "},
      {IDC_LOCATION_INIT_NOISE, "edit", "Initial Level"},
      {IDC_LOCATION_NOISE_STEPS, "edit", "Number of Steps in Simulation"},
      {IDC_LOCATION_NOISE_INCREMENT, "edit", "Noise Increment per Step"},
      {-1, "group", " Replicate "},
      {IDC_LOCATION_SEED, "edit", "Seed"}}},
    {IDD_SUBSET_SETTINGS, "Subset settings",
     {{-1, "group", " Subset employment "},
      {IDC_SUBSET_SINGLE_RANDOM, "radio", "Single random "},
      {IDC_SUBSET_SINGLE_FIXED, "radio", "Single fixed"},
      {IDC_SUBSET_MULTIPLE_RANDOM, "radio", "Multiple random"},
      {IDC_SUBSET_COMPLETE, "radio", "Complete "},
      {IDC_SUBSET_SHIFTED_COMPLETE, "radio", "Shifted complete"},
      {-1, "label", "Subset init position", true},
      {IDC_SUBSET_INIT_POSITION, "edit", "", true},
      {-1, "group", " Subset proceeding "},
      {IDC_SUBSET_PROCEED_COMPLETE, "radio", "Complete "},
      {IDC_SUBSET_PROCEED_SHIFTED, "radio", "Probably shifted complete"}}},
    {IDD_OPEN_SIGNAL, " Open signal",
     {{IDC_OPEN_FILE, "edit", "File"},
      {IDC_OPEN_BROWSE, "button", "Browse..."},
      {IDC_OPEN_CHANNEL, "edit", "Channel"},
      {IDC_OPEN_FIRST, "edit", "First sample"}}},
    {IDD_OPEN_ETALONS, " Open etalons", {{IDC_OPEN_FILE, "edit", "File"}, {IDC_OPEN_BROWSE, "button", "Browse..."}}},
    {IDD_OPEN_SERIES, " Open series", {{IDC_OPEN_FILE, "edit", "File"}, {IDC_OPEN_BROWSE, "button", "Browse..."}}},
    {IDD_DRAWING_SETTINGS, "Drawing settings",
     {{IDC_DRAWING_HIGHLIGHT, "check", "highlight detected pulses"},
      {IDC_DRAWING_SHADED, "check", "shaded original pulses"},
      {IDC_DRAWING_SPECIAL_SIZE, "check", "special graph size"},
      {IDC_DRAWING_FRAME, "check", "frame graph fields"},
      {-1, "group", " Highlight detected tuples "},
      {IDC_DRAWING_TUPLES_DOTTED, "radio", "dotted frame"},
      {IDC_DRAWING_TUPLES_COLOURED, "radio", "coloured background"},
      {IDC_DRAWING_TUPLES_NONE, "radio", "none"}}},
    {IDD_SHOW_PARAMETERS, " Show Statistical Simulation parameters",
     {{-1, "group", " Handling case "},
      {IDC_SHOW_RESTORING_ERROR, "radio", "restoring error"},
      {IDC_SHOW_DETECTION_ERROR, "radio", "detection error"},
      {-1, "group", " View case "},
      {IDC_SHOW_COMPONENTWISE, "radio", "componentwise"},
      {IDC_SHOW_SUMMARY, "radio", "summary view"},
      {-1, "group", " Upper bound case "},
      {IDC_SHOW_FIXED_BOUND, "check", "fixed upper bound"},
      {IDC_SHOW_UPPER_BOUND, "edit", "upper bound"}}},
    {IDD_SHOW_SIMULATION, "Show Statistical Simulation",
     {{-1, "group", " Handling case "},
      {IDC_SHOW_RESTORING_ERROR, "radio", "restoring error"},
      {IDC_SHOW_DETECTION_ERROR, "radio", "detection error"},
      {IDC_SHOW_RECOGNITION_ERROR, "radio", "recognition error"},
      {-1, "group", " View case "},
      {IDC_SHOW_COMPONENTWISE, "radio", "componentwise"},
      {IDC_SHOW_SUMMARY, "radio", "summary view"},
      {-1, "group", " Upper bound case "},
      {IDC_SHOW_FIXED_BOUND, "check", "fixed upper bound"},
      {IDC_SHOW_UPPER_BOUND, "edit", "upper bound"},
      {IDC_SHOW_BOUNDS_INCLUDED, "check", "bounds incl."}}},
};

} // namespace

void registerDialogs()
{
    for (const DialogTemplateDesc& d : kDialogs)
        registerDialogTemplate(d);
}
