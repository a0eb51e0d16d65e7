// JSON pictures of the records for scripted sessions and their readers: the
// current series, the chains of the last processing, the program state with
// the display layout of the last paint, and the message boxes shown.
#include "records/records.h"
#include "app/session.h"
#include "display/display.h"
#include "resources/resources.h"
#include "shell/shell.h"

#include "detection/detection.h"

using nlohmann::ordered_json;

namespace {

ordered_json rect(const RECT& r)
{
    return ordered_json{{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

ordered_json table(const LevelTable& t)
{
    return ordered_json{{"count", t.count}, {"values", jsonArray(t.values, 3)}, {"index", t.index}};
}

} // namespace

ordered_json seriesToJson()
{
    return seriesHeaderJson(gState.lpSeriesHeader);
}

ordered_json chainsToJson()
{
    ordered_json j = chainsHeaderJson(gState.lpChainsHeader);
    if (!j.is_null())
        j["lastDetector"] = lastDetectorName();
    return j;
}

ordered_json stateToJson(HWND hWnd)
{
    const ProgramState& s = gState;
    ordered_json j;
#define F(name) j[#name] = s.name
    j["SeriesLengthTable"] = table(s.SeriesLengthTable);
    j["NoiseLevelTable"] = table(s.NoiseLevelTable);
    j["LostDataLevelTable"] = table(s.LostDataLevelTable);
    F(wAlphabetSize); F(wImpulseSize); F(wAmplitude); F(bAlphabetReady);
    j["lpRequiredList"] = jsonArray(s.lpRequiredList, s.wRequiredQuantity);
    F(wRequiredQuantity); F(wRequiredCapacity);
    j["EtalonSelected"] = jsonArray(s.EtalonSelected, kAlphabetCapacity);
    F(wEtalonNumber); F(wSelectedEtalon);
    F(dwNextSeriesLength); F(dwSeriesLength); F(wTmin); F(wTmax); F(wMinPulses); F(wMaxPulses);
    F(wNextImpulseQuantity); F(wImpulseQuantity);
    j["lpEtalonSequence"] = jsonArray(s.lpEtalonSequence, s.wEtalonSequenceCapacity);
    F(wEtalonSequenceCapacity);
    j["lpNewEtalonSequence"] = jsonArray(s.lpNewEtalonSequence, s.wNewEtalonSequenceCapacity);
    F(wNewEtalonSequenceCapacity);
    F(wNextNoiseLevel); F(wNoiseLevel); j["wNoiseSeed"] = s.streams.wNoiseSeed;
    F(wNextLostDataLevel); F(wLostDataLevel);
    F(wNextSavedEnergyLevel); F(wSavedEnergyLevel); F(wNextProcSavedEnergyLevel); F(wProcSavedEnergyLevel);
    F(dwNewSeriesLength); F(wNewTmin); F(wNewTmax); F(wNewSavedEnergy); F(wNewProcSavedEnergy);
    F(wNewImpulseQuantity); F(wNewNoiseLevel); F(wNewMinPulses); F(wNewMaxPulses); F(wOldImpulseQuantity);
    F(bDialogAccepted);
    F(wTaskType); F(wSeriesType); F(wProcessingType);
    F(wPulsesIncrement); F(wVariousPulsesNumber); F(wInitNoiseLevel); F(wNoiseSteps); F(wNoiseIncrement);
    F(wRepeats); F(bFirstSimulation);
    F(wErrorKind); F(wStatView); F(bFixedUpperBound); F(dUpperBound); F(bBoundsIncluded); F(wChartKind);
    F(wSubsetEmployment); F(wSubsetInitPosition); F(wSubsetProceeding);
    F(wTuplesHighlight); F(bHighlightDetectedPulses); F(bShadedOriginalPulses); F(bFrameGraphFields);
    F(bSpecialGraphSize);
    F(wViewMode); F(wResultsMode); F(wChainsQuantity); F(wChainsPulsesCapacity); F(bDebugRepeat);
    F(bOverdrawSeries); F(bSeriesLengthChanged); F(bNoiseLevelChanged); F(bLostDataLevelChanged);
    F(bButtonsChanged); F(wPreviousSelectedEtalon);
#undef F
    j["lpSeriesHeader"] = s.lpSeriesHeader != nullptr;
    j["lpChainsHeader"] = s.lpChainsHeader != nullptr;

    const DisplayState& d = gDisplay;
    ordered_json layout;
    RECT client{};
    GetClientRect(hWnd, &client);
    layout["client"] = rect(client);
    layout["wLineHeight"] = d.wLineHeight;
    layout["wAveCharWidth"] = d.wAveCharWidth;
    layout["wMaxCharWidth"] = d.wMaxCharWidth;
    layout["ExitButtonRect"] = rect(d.ExitButtonRect);
    layout["NextButtonRect"] = rect(d.NextButtonRect);
    layout["bSelectButtonExists"] = d.bSelectButtonExists;
    layout["SelectAllButtonRect"] = rect(d.SelectAllButtonRect);
    layout["UnselectAllButtonRect"] = rect(d.UnselectAllButtonRect);
    layout["bSelectAllShown"] = d.bSelectAllShown;
    layout["RestartButtonRect"] = rect(d.RestartButtonRect);
    layout["ButtonsAreaRect"] = rect(d.ButtonsAreaRect);
    layout["SeriesAreaRect"] = rect(d.SeriesAreaRect);
    layout["wCellWidth"] = d.wCellWidth;
    layout["wCellHeight"] = d.wCellHeight;
    ordered_json cells = ordered_json::array();
    for (int i = 0; i < s.wAlphabetSize && i < kAlphabetCapacity; i++)
        cells.push_back(rect(d.EtalonCellRect[i]));
    layout["EtalonCellRect"] = cells;
    const std::pair<const char*, const RECT*> panels[] = {{"SeriesLengthPanelRect", &d.SeriesLengthPanelRect},
                                                          {"NoiseLevelPanelRect", &d.NoiseLevelPanelRect},
                                                          {"LostDataLevelPanelRect", &d.LostDataLevelPanelRect}};
    for (const auto& [name, r] : panels)
        layout[name] = rect(*r);
    const std::pair<const char*, const RECT*> items[] = {{"SeriesLengthItemRect", d.SeriesLengthItemRect},
                                                         {"NoiseLevelItemRect", d.NoiseLevelItemRect},
                                                         {"LostDataLevelItemRect", d.LostDataLevelItemRect}};
    for (const auto& [name, r] : items) {
        ordered_json a = ordered_json::array();
        for (int k = 0; k < kLevelChoices; k++)
            a.push_back(rect(r[k]));
        layout[name] = a;
    }
    layout["bLostDataPanelShown"] = d.bLostDataPanelShown;
    layout["dwPanelsBottom"] = d.dwPanelsBottom;
    j["display"] = layout;

    ordered_json checked = ordered_json::array();
    for (const MenuItemDesc& item : mainMenu())
        if (item.id && menuItemChecked(hWnd, item.id))
            checked.push_back(item.id);
    j["checkedMenuItems"] = checked;
    j["lastDetector"] = lastDetectorName();
    return j;
}

ordered_json messagesToJson(const std::vector<MessageRecord>& messages)
{
    ordered_json a = ordered_json::array();
    for (const MessageRecord& m : messages)
        a.push_back(ordered_json{{"caption", m.caption},
                                 {"text", m.text},
                                 {"flags", m.flags},
                                 {"hasCaption", m.hasCaption},
                                 {"reply", m.reply}});
    return a;
}

