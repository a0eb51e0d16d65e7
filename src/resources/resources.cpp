// The main menu as one table (texts character for character, ids, check-mark
// groups), the registration of the resources with the platform, and the button
// pictures compiled in from bitmaps/ through buttons.qrc.
#include <QtGlobal>

#include "resources/resources.h"

namespace {

const std::vector<MenuItemDesc> kMainMenu = {
    {0, " File", 0, 0},
    {1, " Save image as...", IDM_SAVE_IMAGE, 0},
    {1, nullptr, 0, 0},
    {1, " Open signal...", IDM_OPEN_SIGNAL, 0},
    {1, " Open etalons...", IDM_OPEN_ETALONS, 0},
    {1, " Open series...", IDM_OPEN_SERIES, 0},
    {1, " Save series...", IDM_SAVE_SERIES, 0},
    {1, " Export results...", IDM_EXPORT_RESULTS, 0},
    {1, nullptr, 0, 0},
    {1, " Exit", IDM_EXIT, 0},
    {0, " Processing", 0, 0},
    {1, " Processing Same Data", IDM_PROCESS_SAME, 0},
    {1, " Processing Next Data ", IDM_PROCESS_NEXT, 0},
    {1, " More details", IDM_MORE_DETAILS, 0},
    {1, " Type more detales", IDM_TYPE_MORE, 0},
    {1, nullptr, 0, 0},
    {1, " Statistical Simulation", IDM_SIMULATION, 0},
    {1, " Resume simulation...", IDM_RESUME_SIMULATION, 0},
    {1, " Show Statistical Simulation", IDM_SHOW_SIMULATION, 0},
    {0, " Settings", 0, 0},
    {1, " Select Task Type", 0, 0},
    {2, " Detection", IDM_DETECTION, kTaskTypeGroup},
    {2, " Recognition", IDM_RECOGNITION, kTaskTypeGroup},
    {2, " Joint Detection and Identification", IDM_JOINT, kTaskTypeGroup},
    {2, " Series Processing", IDM_SERIES_PROCESSING, kTaskTypeGroup},
    {1, " Select Series Type", 0, 0},
    {2, " Fixed Number of Whole Pulses", IDM_FIXED_WHOLE, kSeriesTypeGroup},
    {2, " Unfixed Number of Whole Pulses", IDM_UNFIXED_WHOLE, kSeriesTypeGroup},
    {2, " Fixed Number of Cutoffs Pulses", IDM_FIXED_CUTOFF, kSeriesTypeGroup},
    {2, " Unfuxed Number of Cutoffs Pulses", IDM_UNFIXED_CUTOFF, kSeriesTypeGroup},
    {2, " Fixed Number of Whole Pulses Tuples ", IDM_FIXED_TUPLES, kSeriesTypeGroup},
    {2, " Unfixed Number of Whole Pulses Tuples ", IDM_UNFIXED_TUPLES, kSeriesTypeGroup},
    {1, nullptr, 0, 0},
    {1, " New pulses... ", IDM_NEW_PULSES, 0},
    {1, " Create series... ", IDM_CREATE_SERIES, 0},
    {1, " Select set of pulses", IDM_SELECT_SET, 0},
    {1, " View series parameters...", IDM_VIEW_PARAMETERS, 0},
    {1, nullptr, 0, 0},
    {1, " Subset settings ...", IDM_SUBSET_SETTINGS, 0},
    {1, " Drawing settings ...", IDM_DRAWING_SETTINGS, 0},
    {0, " Else One", 0, 0},
    {1, " Fixed case", IDM_FIXED_CASE, 0},
    {1, " Unfixed case", IDM_UNFIXED_CASE, 0},
    {1, nullptr, 0, 0},
    {1, " Repeat Detection", IDM_REPEAT_DETECTION, 0},
    {1, " Repeat Recognition", IDM_REPEAT_RECOGNITION, 0},
    {1, " Repeat Joint Detection and Discrimination", IDM_REPEAT_JOINT, 0},
    {1, " Repeat Series Processing", IDM_REPEAT_PROCESSING, 0},
    {1, nullptr, 0, 0},
    {1, " Debugging repeat ", IDM_DEBUG_REPEAT, 0},
    {0, " Create Series...", IDM_CREATE_SERIES_TOP, 0},
};

} // namespace

// Outside any namespace, as the macro needs.
static void initButtonPictures()
{
    Q_INIT_RESOURCE(buttons);
}

void loadResources()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    initButtonPictures();
    registerMenu(IDR_MAINMENU, kMainMenu);
    registerDialogs();
}

const std::vector<MenuItemDesc>& mainMenu()
{
    return kMainMenu;
}

int menuGroupOf(UINT id)
{
    for (const MenuItemDesc& item : kMainMenu)
        if (item.id == id)
            return item.group;
    return 0;
}

std::vector<UINT> menuGroupItems(int group)
{
    std::vector<UINT> ids;
    for (const MenuItemDesc& item : kMainMenu)
        if (group && item.group == group)
            ids.push_back(item.id);
    return ids;
}
