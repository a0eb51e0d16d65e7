// The error statistics record: its storage (reused while large enough), the
// grid of pulse counts and noise levels, the run's description and its text
// report. Called by the shell once per simulation and read by the driver and
// the charts; nothing here is on a hot path.
#include <algorithm>
#include <cstdio>

#include "platform/allocation.h"
#include "simulation.h"

namespace {

// Points the values and the row pointers into the held blocks for P pulse
// counts and L levels: table t begins at cell t * P * L, row k at k * P from
// the first row of its table. Every held row pointer is set (rows k >= L stay
// inside the cell block because the blocks hold the reserved sizes).
void layOutRecord(RestoreErrorHeader* h, uint16_t P, uint16_t L)
{
    h->lpNoiseLevels = h->valueStore.data();
    h->wPulseValues = h->valueStore.data() + h->wReservedLevels;
    const size_t tableCells = static_cast<size_t>(P) * L;
    for (int t = 0; t < kErrorTables; t++) {
        h->lpErrors[t] = h->rowStore.data() + static_cast<size_t>(t) * h->wReservedLevels;
        for (size_t k = 0; k < h->wReservedLevels; k++)
            h->lpErrors[t][k] = h->cellStore.data() + t * tableCells + k * P;
    }
    h->wVariousPulses = P;
    h->wNoiseLevels = L;
}

} // namespace

const char* restErrSeriesTypeName(uint16_t seriesType)
{
    const SeriesKind* kind = seriesKindOf(seriesType);
    return kind && kind->name ? kind->name : "";
}

const char* restErrTaskName(uint16_t taskType)
{
    const ProcessingKind* kind = processingKindOf(taskType);
    return kind && kind->reportName ? kind->reportName : "";
}

/*---- Storage ----*/

RestoreErrorHeader* getRestErrHeader(HWND hWnd, uint16_t P, uint16_t L, int32_t repeats,
                                     RestoreErrorHeader* lpRestErrorHeader)
{
    const char* caption = " getRestErrHeader ";
    RestoreErrorHeader* h =
        reuseOrMake(hWnd, lpRestErrorHeader, AllocSite::RestErrHeader, "Нет памяти для newRestErrorHeader!", caption);
    if (!h)
        return nullptr;

    // The capacities stay while they cover the new grid; otherwise they become
    // the new grid, and every block too small for it is replaced.
    uint16_t reservedPulses = h->wReservedPulses, reservedLevels = h->wReservedLevels;
    if (P > reservedPulses || L > reservedLevels) {
        reservedPulses = P;
        reservedLevels = L;
    }
    const uint64_t cells = uint64_t(kErrorTables) * reservedPulses * reservedLevels;

    const char* failure = nullptr;
    if (!holdAtLeast(AllocSite::RestErrValues, h->valueStore, size_t(reservedLevels) + reservedPulses))
        failure = "Нет памяти для newRestErrorHeader->lpNoiseLevel!";
    else if (!holdAtLeast(AllocSite::RestErrRows, h->rowStore, size_t(kErrorTables) * reservedLevels))
        failure = "Нет памяти для newRestErrorHeader->lpErrors!";
    else if ((cells > h->cellStore.size() && cells > kMaxErrorCells) ||
             !holdAtLeast(AllocSite::RestErrCells, h->cellStore, cells))
        failure = "Нет памяти для newRestErrorHeader->lpErrors[]!";
    if (failure) {
        MessageBoxA(hWnd, failure, caption, MB_OK);
        freeRestErrHeader(h);
        return nullptr;
    }

    h->wReservedPulses = reservedPulses;
    h->wReservedLevels = reservedLevels;
    layOutRecord(h, P, L);
    h->repeats = repeats;
    std::fill(h->valueStore.begin(), h->valueStore.end(), 0);
    std::fill(h->cellStore.begin(), h->cellStore.end(), 0);
    h->cellSums.clear();
    return h;
}

/*---- Grid and description ----*/

int initRestErrHeader(HWND hWnd, uint16_t P, uint16_t firstPulses, uint16_t pulsesStep, uint16_t L,
                      uint16_t firstLevel, uint16_t levelStep, int32_t repeats,
                      RestoreErrorHeader* lpRestErrorHeader)
{
    const char* caption = " initRestErrHeader ";
    RestoreErrorHeader* h = lpRestErrorHeader;
    if (!h) {
        MessageBoxA(hWnd, "Не определен lpErrorHeader!", caption, MB_OK);
        return 0;
    }
    if (h->wReservedPulses < P) {
        MessageBoxA(hWnd, "Неверно задан wVariousPulsesNumber!", caption, MB_OK);
        return 0;
    }
    if (h->wReservedLevels < L) {
        MessageBoxA(hWnd, "Неверно задан wNoiseLevels!", caption, MB_OK);
        return 0;
    }

    // A grid other than the one the rows were laid out for gets its own
    // layout (rows of the old one would overlap); all tables then start clear.
    if (P != h->wVariousPulses || L != h->wNoiseLevels) {
        layOutRecord(h, P, L);
        std::fill(h->cellStore.begin(), h->cellStore.end(), 0);
    }
    h->repeats = repeats;
    h->ifComplete = 0;
    h->cellSums.clear();
    for (uint16_t j = 0; j < P; j++)
        h->wPulseValues[j] = static_cast<int16_t>(firstPulses + j * pulsesStep);
    for (uint16_t k = 0; k < L; k++)
        h->lpNoiseLevels[k] = static_cast<int16_t>(firstLevel + k * levelStep);
    for (uint16_t k = 0; k < L; k++)
        std::fill(h->lpErrors[0][k], h->lpErrors[0][k] + P, 0);
    return 1;
}

int addInitRestErrHeader(HWND hWnd, uint16_t seriesType, uint16_t taskType, uint16_t makingSavedEnergy,
                         int16_t processingSavedEnergy, RestoreErrorHeader* lpRestErrorHeader)
{
    RestoreErrorHeader* h = lpRestErrorHeader;
    if (!h) {
        MessageBoxA(hWnd, "Не определен lpErrorHeader!", " addInitRestErrHeader ", MB_OK);
        return 0;
    }
    h->wDescription = 2;
    h->wSeriesType = seriesType;
    h->lpSeriesTypeName = restErrSeriesTypeName(seriesType);
    h->wTaskType = taskType;
    h->lpTaskName = restErrTaskName(taskType);
    h->wMakingSavedEnergy = makingSavedEnergy;
    h->wProcessingSavedEnergy = processingSavedEnergy;
    return 1;
}

/*---- Release ----*/

int freeRestErrHeader(RestoreErrorHeader* lpRestErrorHeader)
{
    std::unique_ptr<RestoreErrorHeader> released(lpRestErrorHeader);
    return 1;
}

/*---- Report ----*/

namespace {

void appendFormatted(std::string& text, const char* format, int value)
{
    char piece[32];
    std::snprintf(piece, sizeof piece, format, value);
    text += piece;
}

// One table, a line per pulse count: " j+1 [count]: " and the cell of each level.
void appendTable(std::string& text, const RestoreErrorHeader* h, int table)
{
    for (int j = 0; j < h->wVariousPulses; j++) {
        appendFormatted(text, " %d", j + 1);
        appendFormatted(text, " [%d]: ", h->wPulseValues[j]);
        for (int k = 0; k < h->wNoiseLevels; k++)
            appendFormatted(text, " %d", h->lpErrors[table][k][j]);
        text += "\n";
    }
}

} // namespace

std::string restErrHeaderText(const RestoreErrorHeader* lpRestErrorHeader)
{
    const RestoreErrorHeader* h = lpRestErrorHeader;
    if (!h)
        return "";
    std::string text = "lpRestErrorHeader:\n";
    appendFormatted(text, "wReservedPulses: %d\n", h->wReservedPulses);
    appendFormatted(text, "wVariousPulses: %d\n", h->wVariousPulses);
    appendFormatted(text, "wReservedLevels: %d\n", h->wReservedLevels);
    appendFormatted(text, "wNoiseLevels: %d\n", h->wNoiseLevels);
    appendFormatted(text, "repeats: %d\n", h->repeats);
    appendFormatted(text, "ifComplete: %d\n", h->ifComplete);
    text += "lpNoiseLevels: ";
    for (int k = 0; k < h->wNoiseLevels; k++)
        appendFormatted(text, " %d", h->lpNoiseLevels[k]);
    text += "\n";
    text += "wPulseValues: ";
    for (int j = 0; j < h->wVariousPulses; j++)
        appendFormatted(text, " %d", h->wPulseValues[j]);
    text += "\n";
    text += "Restoring Errors: \n";
    appendTable(text, h, 0);
    text += "\n";
    text += "Detection Errors: \n";
    appendTable(text, h, 1);
    text += "\n";
    return text;
}

void aboutRestErrHeader(HWND hWnd, const RestoreErrorHeader* lpRestErrorHeader)
{
    if (!lpRestErrorHeader) {
        MessageBoxA(hWnd, "Нет RestoreErrorHeader!", " About RestoreErrorHeader ", MB_OK);
        return;
    }
    std::string text = restErrHeaderText(lpRestErrorHeader);
    MessageBoxA(hWnd, text.c_str(), "aboutRestErrHeader Info", MB_OK);
}
