// JSON pictures of the records for scripted sessions and their readers: the
// current series, the chains of the last processing, the program state with
// the display layout of the last paint, and the message boxes shown.
#include "app/session.h"
#include "display/display.h"
#include "resources/resources.h"
#include "shell/shell.h"

#include "detection/detection.h"

using nlohmann::ordered_json;

namespace {

template <typename T>
ordered_json array(const T* data, long count)
{
    ordered_json a = ordered_json::array();
    for (long i = 0; data && i < count; i++)
        a.push_back(data[i]);
    return a;
}

ordered_json rect(const RECT& r)
{
    return ordered_json{{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

ordered_json table(const LevelTable& t)
{
    return ordered_json{{"count", t.count}, {"values", array(t.values, 3)}, {"index", t.index}};
}

} // namespace

ordered_json seriesToJson()
{
    const SeriesHeader* h = gState.lpSeriesHeader;
    if (!h)
        return nullptr;
    const long N = h->dwSeriesSize, K = h->wImpulseQuantity, D = h->wDetectedQuantity;
    ordered_json j;
    j["dwSeriesSize"] = h->dwSeriesSize;
    j["wTmin"] = h->wTmin;
    j["wTmax"] = h->wTmax;
    j["wImpulseSize"] = h->wImpulseSize;
    j["wImpulseQuantity"] = h->wImpulseQuantity;
    j["wMinPulses"] = h->wMinPulses;
    j["wMaxPulses"] = h->wMaxPulses;
    j["wSeriesNoiseLevel"] = h->wSeriesNoiseLevel;
    j["wSeriesAmplitude"] = h->wSeriesAmplitude;
    j["lpPureData"] = array(h->lpPureData, N);
    j["lpNoisyData"] = array(h->lpNoisyData, N);
    j["lpPositions"] = array(h->lpPositions, K);
    j["lpEtalonNumbers"] = array(h->lpEtalonNumbers, K);
    j["lpCutBegin"] = array(h->lpCutBegin, K);
    j["lpCutEnd"] = array(h->lpCutEnd, K);
    j["lpLowBounds"] = array(h->lpLowBounds, K);
    j["lpHighBounds"] = array(h->lpHighBounds, K);
    j["wDetectedQuantity"] = h->wDetectedQuantity;
    j["lpDetectedPositions"] = array(h->lpDetectedPositions, D);
    j["lpDetectedNumbers"] = array(h->lpDetectedNumbers, D);
    j["lpDetectedCutBegin"] = array(h->lpDetectedCutBegin, D);
    j["lpDetectedCutEnd"] = array(h->lpDetectedCutEnd, D);
    j["wDetectedTuples"] = h->wDetectedTuples;
    j["lpTupleFirst"] = array(h->lpTupleFirst, h->wDetectedTuples);
    j["lpTupleLast"] = array(h->lpTupleLast, h->wDetectedTuples);
    j["wRecognizedTuple"] = h->wRecognizedTuple;
    j["wSubsetLength"] = h->wSubsetLength;
    j["selectedSubset"] = array(h->selectedSubset, h->wSubsetLength);
    return j;
}

ordered_json chainsToJson()
{
    const ChainsHeader* h = gState.lpChainsHeader;
    if (!h)
        return nullptr;
    ordered_json j;
    j["wMaxSize"] = h->wMaxSize;
    j["wPretenders"] = h->wPretenders;
    j["wMaxPulses"] = h->wMaxPulses;
    j["wQuanPulses"] = h->wQuanPulses;
    j["wSeekingPulsesQuantity"] = h->wSeekingPulsesQuantity;
    j["distance"] = array(h->distance, h->wPretenders);
    j["pulsesQuantity"] = array(h->pulsesQuantity, h->wPretenders);
    ordered_json pulses = ordered_json::array(), positions = ordered_json::array(), first = ordered_json::array(),
                 last = ordered_json::array();
    for (long i = 0; i < h->wPretenders; i++) {
        const long n = h->pulsesQuantity[i];
        pulses.push_back(array(h->pulsesList[i], n));
        positions.push_back(array(h->positionsList[i], n));
        first.push_back(array(h->firstSamplesList[i], n));
        last.push_back(array(h->lastSamplesList[i], n));
    }
    j["pulsesList"] = pulses;
    j["positionsList"] = positions;
    j["firstSamplesList"] = first;
    j["lastSamplesList"] = last;
    j["wDescription"] = h->wDescription;
    j["wSeriesType"] = h->wSeriesType;
    j["wProcessingType"] = h->wProcessingType;
    j["lpTaskName"] = h->lpTaskName ? ordered_json(h->lpTaskName) : ordered_json(nullptr);
    j["lpSeriesTypeName"] = h->lpSeriesTypeName ? ordered_json(h->lpSeriesTypeName) : ordered_json(nullptr);
    j["wMakingSavedEnergy"] = h->wMakingSavedEnergy;
    j["wProcessingSavedEnergy"] = h->wProcessingSavedEnergy;
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
    j["lpRequiredList"] = array(s.lpRequiredList, s.wRequiredQuantity);
    F(wRequiredQuantity); F(wRequiredCapacity);
    j["EtalonSelected"] = array(s.EtalonSelected, kAlphabetCapacity);
    F(wEtalonNumber); F(wSelectedEtalon);
    F(dwNextSeriesLength); F(dwSeriesLength); F(wTmin); F(wTmax); F(wMinPulses); F(wMaxPulses);
    F(wNextImpulseQuantity); F(wImpulseQuantity);
    j["lpEtalonSequence"] = array(s.lpEtalonSequence, s.wEtalonSequenceCapacity);
    F(wEtalonSequenceCapacity);
    j["lpNewEtalonSequence"] = array(s.lpNewEtalonSequence, s.wNewEtalonSequenceCapacity);
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
