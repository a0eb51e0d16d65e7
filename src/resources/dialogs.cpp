// The descriptions of the eight parameter dialogs: titles, group boxes, labels
// and control ids, in reading order. One table for the Qt dialogs and the
// scripted answers alike; the dialog procedures of the shell fill and read it.
#include "resources/resources.h"

namespace {

// Kinds: "group" opens a group box (its label is the caption), "label" is a
// static text (id -1, or an id when its text is set on open), "edit", "check",
// "radio". A control marked disabled is shown greyed.
const std::vector<DialogTemplateDesc> kDialogs = {
    {IDD_CREATE_SERIES, "Create Series",
     {{-1, "group", "Parameters for creating series"},
      {1000, "edit", "Samples Length"},
      {1001, "edit", "Min Length of Interval"},
      {1003, "edit", "Max Length of Interval"},
      {1004, "edit", "Etalon Number"},
      {1005, "edit", "Saved Energy Level (from 0 to 100)"},
      {-1, "group", "Parameters for processing series"},
      {1006, "edit", "Saved Energy Level (from 0 to 100)"}}},
    {IDD_SERIES_STRUCTURE, "Create Series",
     {{-1, "group", " Series structure "},
      {1008, "label", "Number of Pulses in Series"},
      {1007, "edit", ""},
      {1009, "label", "Sequence of Etalons in Series"},
      {1010, "edit", ""},
      {1011, "edit", "Noise Level"}}},
    {IDD_REQUIRED_ETALONS, "List of Required Etalons",
     {{-1, "label", "Number of Required Etalons"},
      {1014, "edit", ""},
      {1012, "label", "List of Required Etalons"},
      {1013, "edit", ""}}},
    {IDD_LOCATION_PARAMETERS, " Location Parameters",
     {{-1, "group", " Number of Pulses in Series "},
      {1015, "edit", "from"},
      {1016, "edit", "to"},
      {1017, "edit", "incr."},
      {1021, "edit", "Number of Repeats"},
      {-1, "group", " Noise parameters "},
      {1019, "edit", "Initial Level"},
      {1018, "edit", "Number of Steps in Simulation"},
      {1020, "edit", "Noise Increment per Step"}}},
    {IDD_SUBSET_SETTINGS, "Subset settings",
     {{-1, "group", " Subset employment "},
      {1015, "radio", "Single random "},
      {1016, "radio", "Single fixed"},
      {1017, "radio", "Multiple random"},
      {1018, "radio", "Complete "},
      {1019, "radio", "Shifted complete"},
      {-1, "label", "Subset init position", true},
      {1020, "edit", "", true},
      {-1, "group", " Subset proceeding "},
      {1021, "radio", "Complete "},
      {1022, "radio", "Probably shifted complete"}}},
    {IDD_DRAWING_SETTINGS, "Drawing settings",
     {{1023, "check", "highlight detected pulses"},
      {1024, "check", "shaded original pulses"},
      {1043, "check", "special graph size"},
      {1044, "check", "frame graph fields"},
      {-1, "group", " Highlight detected tuples "},
      {1025, "radio", "dotted frame"},
      {1026, "radio", "coloured background"},
      {1027, "radio", "none"}}},
    {IDD_SHOW_PARAMETERS, " Show Statistical Simulation parameters",
     {{-1, "group", " Handling case "},
      {1028, "radio", "restoring error"},
      {1029, "radio", "detection error"},
      {-1, "group", " View case "},
      {1030, "radio", "componentwise"},
      {1031, "radio", "summary view"},
      {-1, "group", " Upper bound case "},
      {1032, "check", "fixed upper bound"},
      {1033, "edit", "upper bound"}}},
    {IDD_SHOW_SIMULATION, "Show Statistical Simulation",
     {{-1, "group", " Handling case "},
      {1028, "radio", "restoring error"},
      {1029, "radio", "detection error"},
      {1034, "radio", "recognition error"},
      {-1, "group", " View case "},
      {1030, "radio", "componentwise"},
      {1031, "radio", "summary view"},
      {-1, "group", " Upper bound case "},
      {1032, "check", "fixed upper bound"},
      {1033, "edit", "upper bound"},
      {1042, "check", "bounds incl."}}},
};

} // namespace

void registerDialogs()
{
    for (const DialogTemplateDesc& d : kDialogs)
        registerDialogTemplate(d);
}
