// The kind tables: every code maps back to its row, and the lookups agree over
// every task, series type and chart input with the rules they replaced (kept
// here once as twins).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kinds/kinds.h"

namespace {

/*---- Twins of the replaced rules ----*/

uint16_t oldProcessingType(int task, int seriesType)
{
    const bool tuples = seriesType == 36 || seriesType == 40;
    if (task == 1 && tuples)
        return 36;
    if (task == 2 && tuples)
        return 40;
    return static_cast<uint16_t>(task);
}

// The simulation's detector choice by name.
std::string oldDetector(int task, int seriesType)
{
    const bool tupleTask = task == 36 || task == 40;
    const bool unfixed = seriesType == 4 || seriesType == 8 || (tupleTask && seriesType == 40);
    if (task == 2)
        return unfixed ? "recognizeUnfixedPulses" : "recognizeFixedPulses";
    if (task == 36)
        return unfixed ? "detectUnfixedTuples" : "detectFixedTuples";
    if (task == 40)
        return unfixed ? "recognizeUnfixedTuples" : "recognizeFixedTuples";
    return unfixed ? "detectUnfixedPulses" : "detectFixedPulses";
}

const char* oldChainsTaskName(int code)
{
    switch (code) {
    case 1: case 32: case 36: return "detection";
    case 2: case 40: return "recognition";
    case 4: return "joint detection and identification";
    default: return nullptr;
    }
}

const char* oldReportTaskName(int code)
{
    switch (code) {
    case 1: case 36: return "detection";
    case 2: case 40: return "recognition";
    case 4: return "joint detection and identification";
    case 8: case 16: return "joint detection and estimation";
    case 32: return "blind detection";
    default: return "";
    }
}

int32_t oldChartKind(int32_t errorKind, int32_t statView, int32_t boundsIncluded)
{
    const bool summary = statView == 2;
    if (errorKind == 2)
        return summary ? 3 : 2;
    if (errorKind == 3)
        return (summary ? 5 : 4) + (boundsIncluded ? 8 : 0);
    return summary ? 1 : 0;
}

bool sameText(const char* a, const char* b)
{
    return (!a && !b) || (a && b && std::strcmp(a, b) == 0);
}

} // namespace

TEST(Kinds, EveryCodeMapsBackToItsOneRow)
{
    for (const SeriesKind& k : kSeriesKinds)
        EXPECT_EQ(seriesKindOf(k.code), &k) << k.code;
    for (const ProcessingKind& k : kProcessingKinds) {
        EXPECT_EQ(processingKindOf(k.processingType), &k) << k.processingType;
        EXPECT_EQ(processingTypeFor(k.task, k.tuples ? kSeriesFixedTuples : kSeriesFixedWhole), k.processingType);
        EXPECT_EQ(detectorKindOf(k.fixedDetector).form, detectorKindOf(k.unfixedDetector).form) << k.processingType;
    }
    for (size_t i = 0; i < kDetectorSlots; i++)
        EXPECT_EQ(size_t(kDetectorKinds[i].slot), i);
    for (const DetectorKind& k : kDetectorKinds) { // every operation name leads back to its own row
        EXPECT_EQ(detectorKindNamed(k.operation), &k) << k.operation;
        EXPECT_EQ(k.fixedCount, std::string_view(k.name).find("Unfixed") == std::string_view::npos) << k.name;
    }
    EXPECT_EQ(detectorKindNamed("detect"), nullptr);
    for (const ChartKind& k : kChartKinds) {
        EXPECT_EQ(chartKindOf(k.kind), &k) << k.kind;
        EXPECT_STRNE(k.title, "");
    }
    EXPECT_EQ(seriesKindOf(3), nullptr);
    EXPECT_EQ(processingKindOf(0), nullptr);
    EXPECT_EQ(chartKindOf(6), nullptr);
}

TEST(Kinds, LookupsAgreeWithTheFormerRulesOverEveryCodePair)
{
    for (int task = 0; task < 130; task++) {
        EXPECT_TRUE(sameText(processingKindOf(task) ? processingKindOf(task)->chainsName : nullptr,
                             oldChainsTaskName(task)))
            << task;
        const char* report = processingKindOf(task) ? processingKindOf(task)->reportName : nullptr;
        EXPECT_STREQ(report ? report : "", oldReportTaskName(task)) << task;
        for (int type = 0; type < 130; type++) {
            EXPECT_EQ(processingTypeFor(task, type), oldProcessingType(task, type)) << task << " " << type;
            EXPECT_EQ(detectorKindOf(detectorSlotFor(task, type)).name, oldDetector(task, type)) << task << " " << type;
        }
    }
    for (int type = 0; type < 130; type++) {
        EXPECT_EQ(isUnfixedSeries(type), type == 4 || type == 8 || type == 40) << type;
        EXPECT_EQ(isCutoffSeries(type), type == 2 || type == 8) << type;
        EXPECT_EQ(isTupleSeries(type), type == 36 || type == 40) << type;
        EXPECT_EQ(isWholePulseSeries(type), type == 1 || type == 4 || type == 36 || type == 40) << type;
    }
}

TEST(Kinds, ChartRowsAgreeWithTheFormerRules)
{
    for (int32_t errorKind = -1; errorKind < 6; errorKind++)
        for (int32_t view = -1; view < 4; view++)
            for (int32_t bounds : {0, 1, 2})
                EXPECT_EQ(chartKindFor(errorKind, view, bounds), oldChartKind(errorKind, view, bounds))
                    << errorKind << " " << view << " " << bounds;
    for (const ChartKind& k : kChartKinds) {
        EXPECT_EQ(k.strokes, (k.kind == 0 || k.kind == 1 || k.kind == 3) ? 2 : 3) << k.kind;
        EXPECT_EQ(k.bounds, k.kind == 12 || k.kind == 13) << k.kind;
    }
}
