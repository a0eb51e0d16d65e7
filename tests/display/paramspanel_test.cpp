// The parameter panel (view 10): its geometry, scales and lines as plain
// numbers against hand-worked references, the hit tests and the values a point
// stands for against simple twins over random cases, and the real window
// driven through presses, moves and releases at the rectangles of the last paint.
#include <QImage>
#include <random>
#include <set>

#include "support/mainwindow.h"

namespace {

// The defaults of a started program: L 1200, n 20, Tmin 40, Tmax 181, M 18.
ParamsHeader defaultRecord()
{
    ParamsHeader p{};
    p.dwPanelLength = 1200;
    p.wPanelPulseLength = 20;
    p.wPanelTmin = 40;
    p.wPanelTmax = 181;
    p.wPanelPulses = 18;
    p.wPanelMinPulses = (1200 + 20 - 1) / 181;  // 6
    p.wPanelMaxPulses = (1200 + 40 - 20) / 40;  // 30
    p.a = 0;
    p.aPlus = 181 - 20;
    p.bMinus = 1200 - 181;
    p.b = 1200 - 20;
    return p;
}

ParamsTextSizes literalSizes()
{
    // line and text height, average character width, "1180", widest button label, " Tmin ", " 9999"
    return ParamsTextSizes{15, 16, 7, 28, 50, 40, 35};
}

const RECT kArea{10, 10, 1009, 789};  // 1000 x 780, inclusive edges

bool operator==(const RECT& u, const RECT& v)
{
    return u.left == v.left && u.top == v.top && u.right == v.right && u.bottom == v.bottom;
}

bool operator==(const POINT& u, const POINT& v)
{
    return u.x == v.x && u.y == v.y;
}

} // namespace

/*==========================================================================
** Geometry, scales and lines as numbers
**========================================================================*/

TEST(ParamsGeometry, LiteralAreaGivesFramePanelPlotEditAndButtons)
{
    const ParamsPanelGeometry g = paramsPanelGeometry(kArea, literalSizes());
    EXPECT_EQ(g.marginX, 5);
    EXPECT_EQ(g.marginY, 5);
    EXPECT_EQ(g.buttonWidth, 78);
    EXPECT_EQ(g.buttonHeight, 29);
    EXPECT_EQ(g.frameLeft, 15);
    EXPECT_EQ(g.frameRight, 1004);
    EXPECT_EQ(g.frameTop, 15);
    EXPECT_EQ(g.frameBottom, 745);
    EXPECT_TRUE((g.panel == RECT{262, 106, 999, 740}));
    EXPECT_EQ(g.plotLeft, 300);
    EXPECT_EQ(g.plotTop, 131);
    EXPECT_EQ(g.plotRight, 974);
    EXPECT_EQ(g.plotBottom, 692);
    EXPECT_EQ(g.plotWidth, 675);
    EXPECT_EQ(g.plotHeight, 562);
    EXPECT_TRUE((g.textAt == POINT{20, 30}));
    EXPECT_TRUE((g.tminLabelAt == POINT{20, 714}));
    EXPECT_EQ(g.editAt.x, 60);
    EXPECT_EQ(g.editAt.y, 713);
    EXPECT_EQ(g.editSize.cx, 35);
    EXPECT_EQ(g.editSize.cy, 18);
    EXPECT_TRUE((g.cancel == RECT{15, 752, 93, 781}));
    EXPECT_TRUE((g.ok == RECT{107, 752, 185, 781}));
}

TEST(ParamsGeometry, ScalesAndSlantedLinesOfTheDefaultSeries)
{
    const ParamsPanelGeometry g = paramsPanelGeometry(kArea, literalSizes());
    const ParamsHeader p = defaultRecord();
    const ParamsScale scale = paramsScale(g, p);
    EXPECT_EQ(scale.x(1), 300);
    EXPECT_EQ(scale.x(18), 695);   // 300 + 17 * 675 / 29
    EXPECT_EQ(scale.x(30), 975);
    EXPECT_EQ(scale.y(0), 692);
    EXPECT_EQ(scale.y(161), 616);  // 692 - 161 * 562 / 1180
    EXPECT_EQ(scale.y(1180), 130);
    EXPECT_EQ(scale.leftX(), 288);

    const ParamsDiagram diagram = paramsDiagram(g, p);
    EXPECT_EQ(diagram.c, 7);
    EXPECT_EQ(diagram.c1, 6);
    EXPECT_TRUE((diagram.lines[0].from == POINT{288, 658}));
    EXPECT_TRUE((diagram.lines[0].to == POINT{358, 400}));
    EXPECT_TRUE((diagram.lines[1].from == POINT{347, 416}));
    EXPECT_TRUE((diagram.lines[1].to == POINT{707, 120}));
    EXPECT_EQ(diagram.tolerance, 3);
    EXPECT_EQ(diagram.upTicks.size(), 18u);
    ASSERT_EQ(diagram.areas.size(), 25u);  // pulse counts 6 .. 30
    EXPECT_TRUE((diagram.areas[0] == RECT{scale.x(6) - 11, 684, scale.x(6) + 11, 700}));  // halfStep = (675 / 29) / 2
    EXPECT_TRUE((diagram.mLine.from == POINT{695, 692}));
    EXPECT_TRUE((diagram.mLine.to == POINT{695, 130}));
    EXPECT_TRUE((diagram.aPlusHandle == RECT{298, 616 - 3, 700, 616 + 3}));
}

TEST(ParamsGeometry, TminEqualToTmaxEndsLinesOneAndThreeAtTwiceMPlusOne)
{
    const ParamsPanelGeometry g = paramsPanelGeometry(kArea, literalSizes());
    ParamsHeader p = defaultRecord();
    p.wPanelTmin = p.wPanelTmax = 60;
    const ParamsDiagram diagram = paramsDiagram(g, p);
    EXPECT_EQ(diagram.c, 2 * 18 + 1);
    EXPECT_EQ(diagram.c2, 2 * 18 + 1);
    EXPECT_EQ(diagram.c1, 2 * 18);
}

TEST(ParamsGeometry, OnePulseCountOrAnEmptySpanDrawsWithoutDividingByZero)
{
    const ParamsPanelGeometry g = paramsPanelGeometry(kArea, literalSizes());
    ParamsHeader p{};
    p.dwPanelLength = p.wPanelPulseLength = 20;  // a series no longer than its pulse: b = a = 0
    p.wPanelTmin = p.wPanelTmax = 20;
    p.wPanelPulses = p.wPanelMinPulses = p.wPanelMaxPulses = 1;
    const ParamsDiagram diagram = paramsDiagram(g, p);
    const ParamsScale scale = paramsScale(g, p);
    EXPECT_EQ(scale.x(1), g.plotLeft);
    EXPECT_EQ(scale.y(0), g.plotBottom);
    EXPECT_EQ(diagram.areas.size(), 1u);
    for (const ParamsLine& l : diagram.lines) {
        EXPECT_LT(std::abs(l.from.x), 100000);
        EXPECT_LT(std::abs(l.to.y), 100000);
    }
}

TEST(ParamsGeometry, RandomSeriesKeepThePlotInsideThePanelAndTheAreasInOrder)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 2000; trial++) {
        const int32_t n = 20, L = std::uniform_int_distribution<int>(n, 4000)(rng);
        const int32_t Tmin = std::uniform_int_distribution<int>(n, 300)(rng);
        const int32_t Tmax = std::uniform_int_distribution<int>(Tmin, 600)(rng);
        ParamsHeader p{};
        p.dwPanelLength = L;
        p.wPanelPulseLength = n;
        p.wPanelTmin = Tmin;
        p.wPanelTmax = Tmax;
        p.wPanelMinPulses = (L + n - 1) / Tmax;
        p.wPanelMaxPulses = (L + Tmin - n) / Tmin;
        p.wPanelPulses = std::uniform_int_distribution<int>(1, std::max(1, p.wPanelMaxPulses))(rng);
        p.b = L - n;
        p.aPlus = std::clamp(Tmax - n, 0, p.b);
        p.bMinus = std::clamp(L - Tmax, 0, p.b);
        const RECT area{10, 10, 10 + std::uniform_int_distribution<int>(600, 1900)(rng),
                        10 + std::uniform_int_distribution<int>(500, 1200)(rng)};
        const ParamsPanelGeometry g = paramsPanelGeometry(area, literalSizes());
        ASSERT_GT(g.panel.left, g.frameLeft);
        ASSERT_LT(g.panel.right, g.frameRight);
        ASSERT_LT(g.panel.bottom, g.frameBottom);
        ASSERT_GT(g.plotLeft, g.panel.left);
        ASSERT_LT(g.plotRight, g.panel.right);
        ASSERT_GT(g.plotTop, g.panel.top);
        ASSERT_LT(g.plotBottom, g.panel.bottom);
        ASSERT_GT(g.cancel.top, g.frameBottom);
        const ParamsDiagram diagram = paramsDiagram(g, p);
        ASSERT_EQ(static_cast<int32_t>(diagram.areas.size()), std::max(0, p.wPanelMaxPulses - p.wPanelMinPulses + 1));
        for (size_t i = 1; i < diagram.areas.size(); i++)
            ASSERT_GE(diagram.areas[i].left, diagram.areas[i - 1].right) << "trial " << trial;
        // The levels stay between the b level and the axis.
        ASSERT_GE(diagram.aPlusLevel.from.y, diagram.bLevel.from.y);
        ASSERT_LE(diagram.aPlusLevel.from.y, g.plotBottom);
        ASSERT_GE(diagram.bMinusLevel.from.y, diagram.bLevel.from.y);
        ASSERT_GE(diagram.c, 1);
        ASSERT_GE(diagram.c2, 1);
        ASSERT_LE(diagram.c2, 2 * p.wPanelPulses + 1);
    }
}

TEST(ParamsTexts, ValueBlockShowsValuesPreviousTminAndTheCountsTheyAllow)
{
    ParamsHeader p = defaultRecord();
    p.previous.Tmin = 35;
    const auto v = paramsValueTexts(p);
    ASSERT_EQ(v.size(), 10u);
    EXPECT_EQ(v[0].first, " a   = ");
    EXPECT_EQ(v[0].second, "0     ");
    EXPECT_EQ(v[1].second, "161     ");
    EXPECT_EQ(v[2].first, " b-  = ");
    EXPECT_EQ(v[2].second, "1019     ");
    EXPECT_EQ(v[4].first, "");
    EXPECT_EQ(v[5].second, "40 [35]    ");
    EXPECT_EQ(v[7].first, " pulses = ");
    EXPECT_EQ(v[7].second, "18     ");
    EXPECT_EQ(v[8].second, "6 [6]     ");    // (1019 - 161 - 1 + 181) / 181 + 1
    EXPECT_EQ(v[9].second, "30 [30]     ");  // 1180 / 40 + 1
    p.TminLine = ParamsLine{{347, 416}, {707, 120}};
    p.wTminLineTolerance = 3;
    p.PlotRect = RECT{300, 131, 974, 692};
    const auto t = paramsGeometryTexts(p);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0], " (347,416) - (707,120) ");
    EXPECT_EQ(t[1], " h = 3");
    EXPECT_EQ(t[2], " (300,131) - (974,692) ");
    EXPECT_EQ(t[3], " w 675, h 562");
}

/*==========================================================================
** Hit tests and values from a point
**========================================================================*/

TEST(ParamsHitTest, LineIsHitWithinItsToleranceAndSpanOnly)
{
    const ParamsLine l{{0, 10}, {10, 0}};
    EXPECT_EQ(hitParamsLine(l, 1, 5, 5), 1);
    EXPECT_EQ(hitParamsLine(l, 1, 5, 6), 1);
    EXPECT_EQ(hitParamsLine(l, 1, 5, 8), 0);
    EXPECT_EQ(hitParamsLine(l, 1, 0, 10), 1);
    EXPECT_EQ(hitParamsLine(l, 1, 10, 0), 1);
    EXPECT_EQ(hitParamsLine(l, 1, 11, 0), 0);
    EXPECT_EQ(hitParamsLine(l, 1, -1, 10), 0);
    const ParamsLine vertical{{4, 0}, {4, 20}};
    EXPECT_EQ(hitParamsLine(vertical, 2, 4, 10), 1);
    EXPECT_EQ(hitParamsLine(vertical, 2, 4, 23), 0);
    EXPECT_EQ(hitParamsLine(vertical, 2, 5, 10), 0);
}

TEST(ParamsHitTest, EveryPointOfARandomLineIsHitWithToleranceOne)
{
    std::mt19937 rng(11);
    for (int trial = 0; trial < 3000; trial++) {
        const int x1 = std::uniform_int_distribution<int>(-50, 900)(rng);
        const int span = std::uniform_int_distribution<int>(1, 600)(rng);
        const int y1 = std::uniform_int_distribution<int>(0, 900)(rng);
        const int y2 = y1 + std::uniform_int_distribution<int>(-3 * span, 3 * span)(rng);
        const ParamsLine l{{x1, y1}, {x1 + span, y2}};
        const int d = std::uniform_int_distribution<int>(0, span)(rng);
        // The line's exact height at x, rounded to the nearest pixel.
        const double exact = y1 + double(d) * (y2 - y1) / span;
        const int y = static_cast<int>(std::lround(exact));
        ASSERT_EQ(hitParamsLine(l, 1, x1 + d, y), 1) << trial;
        ASSERT_EQ(hitParamsLine(l, 1, x1 + d, y + 3), 0) << trial;
        ASSERT_EQ(hitParamsLine(l, 1, x1 + d, y - 3), 0) << trial;
    }
}

TEST(ParamsValues, TmaxAndTminFromPointOfTheDefaultPlot)
{
    ParamsHeader p = defaultRecord();
    p.PlotRect = RECT{300, 131, 974, 692};
    EXPECT_EQ(tmaxFromPoint(400, 500, &p), 0);  // not hovered
    EXPECT_EQ(tminFromPoint(400, 500, &p), 0);
    p.bTmaxHover = p.bTminHover = 1;
    // q = 100 * 29 * 562; (q + (1180 * (562 - 369) - 161 * 562) * 675 * 2) / (2q) = 57.3
    EXPECT_EQ(tmaxFromPoint(400, 500, &p), 57);
    EXPECT_EQ(tmaxFromPoint(300, 500, &p), 0);  // on the axis: no interval
    // q = (17 * 675 - 100 * 29) * 562; (q + 1180 * 369 * 675 * 2) / (2q) = 61.5
    EXPECT_EQ(tminFromPoint(400, 500, &p), 61);
    EXPECT_EQ(tminFromPoint(696, 500, &p), 0);  // just right of x(M) = 695: no interval left
}

TEST(ParamsValues, ValuesFromPointFollowTheDirectionOfTheDrag)
{
    std::mt19937 rng(5);
    ParamsHeader p = defaultRecord();
    p.PlotRect = RECT{300, 131, 974, 692};
    p.bTmaxHover = p.bTminHover = 1;
    for (int trial = 0; trial < 3000; trial++) {
        const int x = std::uniform_int_distribution<int>(301, 690)(rng);
        const int y = std::uniform_int_distribution<int>(131, 690)(rng);
        // Lower on the screen: a smaller start at k, so a smaller Tmax and a larger Tmin.
        ASSERT_GE(tmaxFromPoint(x, y, &p), tmaxFromPoint(x, y + 1, &p));
        ASSERT_LE(tminFromPoint(x, y, &p), tminFromPoint(x, y + 1, &p));
    }
}

TEST(ParamsValues, LevelFromPointSpansAToBAndStaysThere)
{
    ParamsHeader p = defaultRecord();
    p.PlotRect = RECT{300, 131, 974, 692};
    EXPECT_EQ(levelFromPoint(692, &p), 0);
    EXPECT_EQ(levelFromPoint(130, &p), 1180);
    EXPECT_EQ(levelFromPoint(411, &p), 1180 * 281 / 562);
    EXPECT_EQ(levelFromPoint(900, &p), 0);
    EXPECT_EQ(levelFromPoint(-40, &p), 1180);
}

TEST(ParamsValues, ValidTminAndTmaxAgreeWithTheirTwinsOnRandomRecords)
{
    // Twins: the count M fits between a and b with intervals v, and the
    // intervals of at most Tmax bridge a+ to b- in M - 1 steps.
    std::mt19937 rng(3);
    for (int trial = 0; trial < 20000; trial++) {
        ParamsHeader p{};
        p.wPanelPulseLength = std::uniform_int_distribution<int>(1, 30)(rng);
        p.b = std::uniform_int_distribution<int>(0, 2000)(rng);
        p.aPlus = std::uniform_int_distribution<int>(0, p.b)(rng);
        p.bMinus = std::uniform_int_distribution<int>(0, p.b)(rng);
        p.wPanelTmin = std::uniform_int_distribution<int>(1, 300)(rng);
        p.wPanelTmax = std::uniform_int_distribution<int>(p.wPanelTmin, 400)(rng);
        p.wPanelPulses = std::uniform_int_distribution<int>(0, 60)(rng);
        const int32_t v = std::uniform_int_distribution<int>(-5, 450)(rng);
        const int64_t M = p.wPanelPulses, D = int64_t(p.bMinus) - p.aPlus;
        const bool tmin = v >= p.wPanelPulseLength && v >= 1 && v <= p.wPanelTmax && M >= 1 &&
                          (M - 1) * v <= p.b - p.a && (M - 1) * p.wPanelTmax >= D;
        ASSERT_EQ(validTmin(v, &p), tmin ? 1 : 0) << trial;
        const bool tmax = v > p.wPanelTmin && v <= p.bMinus && M >= 1 && (M - 1) * p.wPanelTmin <= p.b - p.a &&
                          (M - 1) * v >= D;
        ASSERT_EQ(validTmax(v, &p), tmax ? 1 : 0) << trial;
    }
    ParamsHeader p = defaultRecord();
    EXPECT_EQ(validTmin(40, &p), 1);
    EXPECT_EQ(validTmin(19, &p), 0);   // below the pulse length
    EXPECT_EQ(validTmin(182, &p), 0);  // above Tmax
    EXPECT_EQ(validTmin(70, &p), 0);   // 18 pulses no longer fit: 1180 / 70 + 1 = 17
    EXPECT_EQ(validTmin(0, &p), 0);
    EXPECT_EQ(validTmax(181, &p), 1);
    EXPECT_EQ(validTmax(40, &p), 0);    // not above Tmin
    EXPECT_EQ(validTmax(1020, &p), 0);  // beyond b-
}

/*==========================================================================
** The record
**========================================================================*/

using ParamsRecord = MainWindowTest;

TEST_F(ParamsRecord, GetReusesTheRecordGrowsItsAreasAndIgnoresAMissingSeries)
{
    ProgramState& s = gState;
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    ParamsHeader* p = getParamsHeader(hWnd, s.lpSeriesHeader, nullptr);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->wPanelTmin, s.lpSeriesHeader->wTmin);
    EXPECT_EQ(p->wPanelMinPulses, (1200 + 20 - 1) / 181);
    EXPECT_EQ(p->wPanelMaxPulses, 30);
    EXPECT_EQ(p->wAreasQuantity, 25);
    EXPECT_EQ(p->aPlus, 161);
    EXPECT_EQ(p->bMinus, 1019);
    EXPECT_EQ(p->b, 1180);
    EXPECT_EQ(p->initial.M, s.lpSeriesHeader->wImpulseQuantity);
    char text[16];
    GetWindowTextA(s.hTminEdit, text, sizeof text);
    EXPECT_STREQ(text, "40");
    RECT* areas = p->pulsesSelectedAreas;
    p->aPlus = 500;
    EXPECT_EQ(getParamsHeader(hWnd, s.lpSeriesHeader, p), p);  // reused, refreshed, same areas
    EXPECT_EQ(p->aPlus, 161);
    EXPECT_EQ(p->pulsesSelectedAreas, areas);
    EXPECT_EQ(getParamsHeader(hWnd, nullptr, p), p);
    // A shorter Tmin allows more pulse counts: the areas grow.
    s.lpSeriesHeader->wTmin = 20;
    EXPECT_EQ(getParamsHeader(hWnd, s.lpSeriesHeader, p), p);
    EXPECT_EQ(p->wAreasQuantity, 1200 / 20 - 6 + 1);
    EXPECT_GE(p->wAreasCapacity, p->wAreasQuantity);
    EXPECT_EQ(p->dwAllocatedLength, 1200);
    s.lpSeriesHeader->wTmin = 40;
    freeParamsHeader(hWnd, p);
    freeParamsHeader(hWnd, nullptr);
    EXPECT_TRUE(texts().empty());
}

TEST_F(ParamsRecord, SeriesWithZeroTminIsRefusedWithAMessage)
{
    ProgramState& s = gState;
    s.lpSeriesHeader->wTmin = 0;
    EXPECT_EQ(getParamsHeader(hWnd, s.lpSeriesHeader, nullptr), nullptr);
    s.lpSeriesHeader->wTmin = 40;
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0], "Неверно задан wTmin!");
}

/*==========================================================================
** The window in view 10
**========================================================================*/

namespace {

class ParamsPanel : public MainWindowTest {
protected:
    ParamsHeader* p = nullptr;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        runPendingPaints(hWnd);
        menu(IDM_VIEW_PARAMETERS);
        p = gState.lpParamsHeader;
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(gState.wViewMode, kViewParams);
    }

    void mouse(UINT message, int x, int y)
    {
        injectMouse(hWnd, message, x, y, message == WM_MOUSEMOVE ? WPARAM(0) : WPARAM(MK_LBUTTON));
        runPendingPaints(hWnd);
    }

    std::string editText() const
    {
        char text[128];
        GetWindowTextA(gState.hTminEdit, text, sizeof text);
        return text;
    }

    bool editShown() const
    {
        const RECT r = controlPlacement(gState.hTminEdit);
        return r.right > r.left && r.bottom > r.top;
    }

    // A point on the Tmin line (hit-tested as the panel does) at its middle.
    POINT onTminLine() const
    {
        const ParamsLine& l = p->TminLine;
        const int x = (l.from.x + l.to.x) / 2;
        for (int y = std::min(l.from.y, l.to.y); y <= std::max(l.from.y, l.to.y); y++)
            if (hitTminLine(x, y, p))
                return POINT{x, y};
        return POINT{-1, -1};
    }

    // The dark pixels of the series area.
    std::set<std::pair<int, int>> inkOfArea() const
    {
        const QImage image = windowRaster(hWnd);
        const RECT& a = gDisplay.SeriesAreaRect;
        std::set<std::pair<int, int>> ink;
        for (int y = a.top; y <= a.bottom; y++)
            for (int x = a.left; x <= a.right; x++) {
                const QRgb c = image.pixel(x, y);
                if (qRed(c) + qGreen(c) + qBlue(c) < 3 * 128)
                    ink.insert({x, y});
            }
        return ink;
    }
};

COLORREF pixelAt(HWND hWnd, int x, int y)
{
    const QRgb c = windowRaster(hWnd).pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

} // namespace

TEST_F(ParamsPanel, EnteringPaintsThePanelAndShowsTheEditBesideTmin)
{
    const RECT& area = gDisplay.SeriesAreaRect;
    EXPECT_EQ(pixelAt(hWnd, area.left + 1, area.top + 1), RGB(235, 240, 225));
    EXPECT_EQ(pixelAt(hWnd, p->PanelRect.left + 2, p->PanelRect.top + 2), RGB(255, 255, 255));
    EXPECT_EQ(pixelAt(hWnd, p->PlotRect.left, p->PlotRect.bottom - 5), RGB(0, 0, 0));  // the y axis
    EXPECT_EQ(editText(), "40");
    ASSERT_TRUE(editShown());
    const RECT e = controlPlacement(gState.hTminEdit);
    EXPECT_GT(e.left, area.left);
    EXPECT_LT(e.right, p->PanelRect.left);
    EXPECT_EQ(e.bottom - e.top, gDisplay.TextMetrics.tmHeight + 2);
    EXPECT_EQ(p->bChanged, 0);
    EXPECT_EQ(p->previous.Tmin, 40);
    // The dotted a+ level: every second pixel.
    const ParamsLine& l = p->APlusLevelLine;
    EXPECT_EQ(pixelAt(hWnd, l.from.x, l.from.y), RGB(0, 0, 0));
    EXPECT_NE(pixelAt(hWnd, l.from.x + 1, l.from.y), RGB(0, 0, 0));
}

TEST_F(ParamsPanel, HoverOverAPlusCapturesShowsTheSizingCursorAndLeavingGivesThemBack)
{
    const RECT h = p->APlusHandleRect;
    const int x = h.left + 4, y = (h.top + h.bottom) / 2;
    mouse(WM_MOUSEMOVE, x, y);
    EXPECT_EQ(p->bAPlusHover, 1);
    EXPECT_EQ(GetCapture(), hWnd);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZENS));
    mouse(WM_MOUSEMOVE, x, h.bottom + 20);
    EXPECT_EQ(p->bAPlusHover, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_NE(GetCursor(), LoadCursorA(nullptr, IDC_SIZENS));
    const POINT t = onTminLine();
    ASSERT_GE(t.x, 0);
    mouse(WM_MOUSEMOVE, t.x, t.y);
    EXPECT_EQ(p->bTminHover, 1);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZENWSE));
}

TEST_F(ParamsPanel, OverlappingElementsShareOneCaptureAndGiveTheFirstCursorBack)
{
    const HCURSOR before = GetCursor();
    const RECT h = p->APlusHandleRect;
    const int y = (h.top + h.bottom) / 2;
    int both = -1;  // where the a+ level crosses the Tmax line
    for (int x = h.left; x <= h.right && both < 0; x++)
        if (hitTmaxLine(x, y, p))
            both = x;
    ASSERT_GE(both, 0);
    mouse(WM_MOUSEMOVE, h.right - 1, y);  // the level only
    EXPECT_EQ(p->bAPlusHover, 1);
    EXPECT_EQ(p->bTmaxHover, 0);
    mouse(WM_MOUSEMOVE, both, y);  // both
    EXPECT_EQ(p->bAPlusHover, 1);
    EXPECT_EQ(p->bTmaxHover, 1);
    mouse(WM_MOUSEMOVE, both, h.top - 40);  // on neither (the line climbs far above the level)
    if (!hitTmaxLine(both, h.top - 40, p)) {
        EXPECT_EQ(p->bAPlusHover + p->bTmaxHover, 0);
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(GetCursor(), before);
    }
    mouse(WM_MOUSEMOVE, both, y);
    mouse(WM_MOUSEMOVE, p->PanelRect.left - 5, p->PanelRect.bottom - 5);  // far from everything
    EXPECT_EQ(p->bAPlusHover + p->bBMinusHover + p->bTminHover + p->bTmaxHover, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetCursor(), before);
}

TEST_F(ParamsPanel, DraggingAPlusFollowsTheMouseUntilTheRelease)
{
    const RECT h = p->APlusHandleRect;
    const int x = h.left + 4, y = (h.top + h.bottom) / 2;
    mouse(WM_MOUSEMOVE, x, y);
    mouse(WM_LBUTTONDOWN, x, y);
    EXPECT_EQ(p->bAPlusDrag, 1);
    EXPECT_EQ(p->aPlus, 161);  // a press alone moves nothing
    mouse(WM_MOUSEMOVE, x, y - 40);
    EXPECT_EQ(p->aPlus, levelFromPoint(y - 40, p));
    EXPECT_GT(p->aPlus, 161);
    EXPECT_EQ(p->bChanged, 0);  // repainted
    EXPECT_EQ(p->previous.aPlus, p->aPlus);
    // The dotted level moved with it: the handle follows the value.
    const RECT& plot = p->PlotRect;
    EXPECT_EQ(p->APlusLevelLine.from.y,
              plot.bottom - (p->aPlus - p->a) * (plot.bottom - plot.top + 1) / (p->b - p->a));
    mouse(WM_LBUTTONUP, x, y - 60);
    EXPECT_EQ(p->bAPlusDrag, 0);
    EXPECT_EQ(p->aPlus, levelFromPoint(y - 60, p));
    const int32_t kept = p->aPlus;
    mouse(WM_MOUSEMOVE, x, y - 100);  // no drag any more
    EXPECT_EQ(p->aPlus, kept);
    EXPECT_EQ(gState.wTmin, 40);  // dragged values stay in the panel
}

TEST_F(ParamsPanel, DraggingTheTminLineTakesAdmissibleValuesAndStopsAtAnInadmissibleOne)
{
    const POINT t = onTminLine();
    ASSERT_GE(t.x, 0);
    mouse(WM_MOUSEMOVE, t.x, t.y);
    mouse(WM_LBUTTONDOWN, t.x, t.y);
    ASSERT_EQ(p->bTminDrag, 1);
    // Somewhat lower: a larger Tmin that still lets M pulses fit.
    int yValid = -1;
    for (int y = t.y + 1; y < t.y + 60; y++) {
        const int32_t v = tminFromPoint(t.x, y, p);
        if (v != p->wPanelTmin && validTmin(v, p)) {
            yValid = y;
            break;
        }
    }
    ASSERT_GE(yValid, 0);
    const int32_t expected = tminFromPoint(t.x, yValid, p);
    mouse(WM_MOUSEMOVE, t.x, yValid);
    EXPECT_EQ(p->wPanelTmin, expected);
    EXPECT_EQ(p->bTminDrag, 1);
    // Far up: a Tmin below the pulse length is refused, the drag stops, the value stays.
    mouse(WM_MOUSEMOVE, t.x, p->PlotRect.bottom - 1);
    EXPECT_FALSE(validTmin(tminFromPoint(t.x, p->PlotRect.bottom - 1, p), p));
    EXPECT_EQ(p->bTminDrag, 0);
    EXPECT_EQ(p->wPanelTmin, expected);
    mouse(WM_LBUTTONUP, t.x, p->PlotRect.bottom - 1);
    EXPECT_EQ(p->wPanelTmin, expected);
    EXPECT_EQ(gState.wTmin, 40);
}

TEST_F(ParamsPanel, PressingAPulseCountChoosesItAndAPressElsewhereChangesNothing)
{
    ASSERT_GT(p->wAreasQuantity, 3);
    const RECT r = p->pulsesSelectedAreas[3];
    pressAt(r);
    EXPECT_EQ(p->wPanelPulses, p->wPanelMinPulses + 3);
    EXPECT_EQ(p->previous.M, p->wPanelMinPulses + 3);  // repainted
    const ParamsHeader before = *p;
    // Inside the frame, under the text block and away from every element.
    mouse(WM_LBUTTONDOWN, p->PanelRect.left - 5, p->PanelRect.bottom - 5);
    EXPECT_EQ(gState.wViewMode, kViewParams);
    EXPECT_EQ(p->wPanelPulses, before.wPanelPulses);
    EXPECT_EQ(p->aPlus, before.aPlus);
    EXPECT_EQ(p->bAPlusDrag + p->bBMinusDrag + p->bTminDrag + p->bTmaxDrag, 0);
    EXPECT_TRUE(texts().empty());
}

TEST_F(ParamsPanel, IncrementalPaintLeavesTheSameInkAsAFullPaint)
{
    // Several changes, each painted over the last picture.
    pressAt(p->pulsesSelectedAreas[p->wAreasQuantity - 1]);
    pressAt(p->pulsesSelectedAreas[0]);
    const RECT h = p->BMinusHandleRect;
    const int x = h.left + 4, y = (h.top + h.bottom) / 2;
    mouse(WM_MOUSEMOVE, x, y);
    mouse(WM_LBUTTONDOWN, x, y);
    mouse(WM_MOUSEMOVE, x, y + 25);
    mouse(WM_LBUTTONUP, x, y + 50);
    pressAt(p->pulsesSelectedAreas[p->wAreasQuantity / 2]);
    const auto incremental = inkOfArea();
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    EXPECT_EQ(p->bChanged, 0);
    const auto full = inkOfArea();
    EXPECT_EQ(incremental.size(), full.size());
    EXPECT_TRUE(incremental == full);
}

TEST_F(ParamsPanel, CancelLeavesTminAloneHidesTheEditAndShowsTheNextSeries)
{
    SetWindowTextA(gState.hTminEdit, "55");
    pressAt(p->ParamsCancelRect);
    EXPECT_EQ(gState.wTmin, 40);
    EXPECT_EQ(gState.wViewMode, kViewResults);
    EXPECT_FALSE(editShown());
    EXPECT_TRUE(texts().empty());
}

TEST_F(ParamsPanel, OkAppliesTheTypedTminAndBuildsTheNextSeriesWithIt)
{
    SetWindowTextA(gState.hTminEdit, " 55 ");
    pressAt(p->ParamsOKRect);
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(gState.wTmin, 55);
    EXPECT_EQ(gState.wViewMode, kViewResults);
    EXPECT_FALSE(editShown());
    ASSERT_NE(gState.lpSeriesHeader, nullptr);
    EXPECT_EQ(gState.lpSeriesHeader->wTmin, 55);
    EXPECT_EQ(gState.wMaxPulses, (1200 - 20 + 55) / 55);
    // Back in the panel the edit shows the new value.
    menu(IDM_VIEW_PARAMETERS);
    EXPECT_EQ(editText(), "55");
    EXPECT_TRUE(editShown());
}

TEST_F(ParamsPanel, OkRefusesATminThatIsNotANumberOrNotAdmissibleAndStays)
{
    for (const char* typed : {"abc", "", "12abc", "0", "19", "182", "99999999999"}) {
        SetWindowTextA(gState.hTminEdit, typed);
        pressAt(p->ParamsOKRect);
        EXPECT_EQ(gState.wTmin, 40) << typed;
        EXPECT_EQ(gState.wViewMode, kViewParams) << typed;
        EXPECT_TRUE(editShown()) << typed;
    }
    ASSERT_EQ(texts().size(), 7u);
    EXPECT_EQ(texts()[0], "\"Tmin\" must be a whole number from 20 to 181, not \"abc\".");
    EXPECT_EQ(texts()[3], "\"Tmin\" must be from 20 (the pulse length) to 181 (Tmax), not 0.");
    EXPECT_EQ(session.messages()[0].caption, " Bad value ");
    SetWindowTextA(gState.hTminEdit, "181");  // Tmin equal to Tmax is admissible
    pressAt(p->ParamsOKRect);
    EXPECT_EQ(gState.wTmin, 181);
}

TEST_F(ParamsPanel, NextLeavesThePanelHidingTheEditAndGivingBackCaptureAndCursor)
{
    const HCURSOR before = GetCursor();
    const RECT h = p->APlusHandleRect;
    mouse(WM_MOUSEMOVE, h.left + 4, (h.top + h.bottom) / 2);
    ASSERT_EQ(GetCapture(), hWnd);
    pressAt(gDisplay.NextButtonRect);
    EXPECT_EQ(gState.wViewMode, kViewResults);
    EXPECT_FALSE(editShown());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetCursor(), before);
    EXPECT_EQ(p->bAPlusHover, 0);
}

TEST_F(ParamsPanel, MovesAndReleasesOutsideViewTenChangeNothing)
{
    const RECT h = p->APlusHandleRect;
    const int x = h.left + 4, y = (h.top + h.bottom) / 2;
    mouse(WM_MOUSEMOVE, x, y);
    mouse(WM_LBUTTONDOWN, x, y);
    gState.wViewMode = kViewResults;
    mouse(WM_MOUSEMOVE, x, y - 40);
    mouse(WM_LBUTTONUP, x, y - 40);
    EXPECT_EQ(p->aPlus, 161);
    EXPECT_EQ(p->bAPlusDrag, 1);  // still pending for when the panel is back
}

TEST_F(ParamsPanel, DegeneratePanelOfOnePulseCountPaintsAndAnswersTheMouse)
{
    p->wPanelPulses = p->wPanelMinPulses = p->wPanelMaxPulses = 1;
    p->wAreasQuantity = 1;
    p->b = p->bMinus = p->aPlus = 0;
    p->wPanelTmin = p->wPanelTmax = 20;
    p->bChanged = 1;
    SendMessageA(hWnd, WM_COMMAND, CM_REDRAW_AREA_NOERASE, 0);
    runPendingPaints(hWnd);
    InvalidateRect(hWnd, nullptr, 1);
    runPendingPaints(hWnd);
    mouse(WM_MOUSEMOVE, p->PlotRect.left + 10, p->PlotRect.bottom - 10);
    pressAt(p->pulsesSelectedAreas[0]);
    EXPECT_EQ(p->wPanelPulses, 1);
    EXPECT_TRUE(texts().empty());
}
