// The texts of the series view for hand-made series: the header lines, the
// result lines with the chain table and the truth line, and the two figures
// printed there, restoreError and trueMeasure.
#include "display/seriesview_support.h"

namespace {

using SeriesText = HandMadeSeries;

/*---- Header lines ----*/

TEST_F(SeriesText, HeaderLinesOfADescribedCutoffRunCarryLettersRangesAndSavedEnergy)
{
    describe(2, 4, 75, 80);
    addTrue(5, 1);
    addTrue(20, 2, 1, 2);
    const std::vector<TextItem> lines = seriesHeaderLines(g, c, s);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, " joint detection and identification for series with known number of cut-off pulses ");
    EXPECT_EQ(lines[0].y, 10 - 7);  // straddles the area's top edge
    EXPECT_EQ(lines[1].y, 3 + 15);  // one line and a pixel below
    EXPECT_EQ(lines[1].text.rfind(" series length 400, Tmin=10, Tmax=40,  amplitude 128, noise level 20, allN/S 0,", 0),
              0u);
    EXPECT_EQ(lines[2].text, " pulses number 2 [10-40], length 4, saved energy level for making/processing 75/80");
    EXPECT_EQ(lines[3].text, " pulses: 5a[0..3]  20b[1..2] ");
    EXPECT_EQ(lines[3].x, g.x0);
}

TEST_F(SeriesText, HeaderLinesWithoutDescriptionShowLettersOnlyAfterARecognisedPulse)
{
    addTrue(5, 2);
    std::vector<TextItem> lines = seriesHeaderLines(g, nullptr, s);
    ASSERT_EQ(lines.size(), 3u);  // no run described: no first line
    EXPECT_EQ(lines[0].y, 10 - 7);
    EXPECT_EQ(lines[1].text, " pulses number 1 [10-40], length 4");
    EXPECT_EQ(lines[2].text, " pulses: 5");
    addDetected(5, 2);
    EXPECT_EQ(seriesHeaderLines(g, nullptr, s)[2].text, " pulses: 5b");
    // Detection (task 1) never shows letters, whatever was detected.
    describe(1, 1);
    EXPECT_EQ(seriesHeaderLines(g, c, s)[3].text, " pulses: 5");
}

// A recording has no true pulses: no count is claimed, only the admissible bounds.
TEST_F(SeriesText, HeaderLinesOfARecordingClaimNoPulseCount)
{
    const std::vector<TextItem> lines = seriesHeaderLines(g, nullptr, s, false);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].text, " pulses admissible [10-40], length 4");
}

TEST_F(SeriesText, HeaderPulseListEndsWithEllipsisAfterTheNineteenthPulse)
{
    for (int i = 0; i < 20; i++)
        addTrue(static_cast<int16_t>(i * 10), 1);
    std::string expected = " pulses:";
    for (int i = 0; i < 19; i++)
        expected += " " + std::to_string(i * 10);
    EXPECT_EQ(seriesHeaderLines(g, nullptr, s)[2].text, expected + "...");
    // Nineteen pulses are all listed.
    s->wImpulseQuantity = 19;
    EXPECT_EQ(seriesHeaderLines(g, nullptr, s)[2].text, expected);
}

TEST_F(SeriesText, AutomaticAmplitudeDoublesFrom128UntilTheNoiseLevel)
{
    const SeriesScale scale = seriesScale(0, 300);
    EXPECT_EQ(scale.a, 512);
    EXPECT_EQ(scale.S, 900);  // max(512, 300 * 8 / 3) + 800 / 8
    s->wSeriesAmplitude = 0;
    s->wSeriesNoiseLevel = 300;
    EXPECT_NE(seriesHeaderLines(g, nullptr, s)[0].text.find(" amplitude 512, noise level 300, "), std::string::npos);
    // A given amplitude is kept; the noise may still set the half-range.
    EXPECT_EQ(seriesScale(128, 20).S, 144);
    EXPECT_EQ(seriesScale(128, 96).S, 256 + 32);
    // An amplitude at or above the noise level stops the doubling at once.
    EXPECT_EQ(seriesScale(0, 128).a, 128);
    EXPECT_EQ(seriesScale(0, 129).a, 256);
}

TEST_F(SeriesText, EnergiesGiveRatiosOfZeroWithoutSignal)
{
    s->lpNoisyData[7] = 30;  // noise only
    const SeriesEnergies e = seriesEnergies(s);
    EXPECT_EQ(e.Es, 0);
    EXPECT_EQ(e.En, 900);
    EXPECT_EQ(e.allNS, 0.0);
    EXPECT_EQ(e.NS, 0.0);
    EXPECT_NE(seriesHeaderLines(g, nullptr, s)[0].text.find("allN/S 0,  N/S 0"), std::string::npos);
}

TEST_F(SeriesText, EnergiesCountNoiseUnderTheTruePulsesOverTheirWholeLength)
{
    addTrue(5, 1, 1, 2);                 // pure 20 20 at 6 and 7
    s->lpNoisyData[5] += 3;              // under the pulse, outside its kept part
    s->lpNoisyData[9] += 4;              // just past the pulse's four samples
    const SeriesEnergies e = seriesEnergies(s);
    EXPECT_EQ(e.Es, 800);
    EXPECT_EQ(e.En, 25);
    EXPECT_EQ(e.Ep, 9);
    EXPECT_DOUBLE_EQ(e.allNS, 25.0 / 800);
    EXPECT_DOUBLE_EQ(e.NS, 9.0 / 800);
}

/*---- Result lines ----*/

TEST_F(SeriesText, OneDetectedPulseIsSingularWithTheTrueCountWhenItDiffers)
{
    describe(2, 4);
    addTrue(5, 1);
    addTrue(20, 2);
    addDetected(5, 1, 0, 2);
    std::vector<TextItem> lines = seriesResultLines(g, c, s);
    EXPECT_EQ(lines[0].text, "Detected 1 (2) pulse:  5a[0..2]");
    EXPECT_EQ(lines[0].y, g.textTop);
    s->wImpulseQuantity = 1;
    EXPECT_EQ(seriesResultLines(g, c, s)[0].text, "Detected 1 pulse:  5a[0..2]");
    addDetected(20, 2);
    EXPECT_EQ(seriesResultLines(g, c, s)[0].text, "Detected 2 (1) pulses:  5a[0..2] 20b[0..3]");
    s->wDetectedQuantity = 0;
    EXPECT_EQ(seriesResultLines(g, c, s)[0].text, "Detected 0 (1) pulses: ");
}

TEST_F(SeriesText, DetectedListEndsWithEllipsisFromTheTenthPulse)
{
    for (int i = 0; i < 10; i++) {
        addTrue(static_cast<int16_t>(i * 10), 1);
        addDetected(static_cast<int16_t>(i * 10), 1);
    }
    EXPECT_EQ(seriesResultLines(g, nullptr, s)[0].text,
              "Detected 10 pulses:  0a 10a 20a 30a 40a 50a 60a 70a 80a ... ");
}

TEST_F(SeriesText, DetectedTuplesAreBracedWhenTuplesWereSoughtInATupleSeries)
{
    describe(36, 36);
    addTrue(5, 1);
    addTrue(20, 2);
    addTrue(40, 1);
    addDetected(5, 1);
    addDetected(20, 2);
    addDetected(40, 1);
    s->wDetectedTuples = 2;
    s->lpTupleFirst[0] = 1, s->lpTupleLast[0] = 2;
    s->lpTupleFirst[1] = 3, s->lpTupleLast[1] = 3;
    EXPECT_EQ(seriesResultLines(g, c, s)[0].text, "Detected 3 pulses:  {5a 20b}  {40a} ");
    // A tuple starting past the nineteenth pulse ends the list.
    s->lpTupleFirst[1] = 20, s->lpTupleLast[1] = 21;
    EXPECT_EQ(seriesResultLines(g, c, s)[0].text, "Detected 3 pulses:  {5a 20b}  ... ");
    // A tuple naming pulses beyond the detected ones keeps to those that exist.
    s->lpTupleFirst[1] = 3, s->lpTupleLast[1] = 30;
    EXPECT_EQ(seriesResultLines(g, c, s)[0].text, "Detected 3 pulses:  {5a 20b}  {40a} ");
}

TEST_F(SeriesText, ChainTableShowsAtMostSixOfSevenChainsThenTheTruthLine)
{
    describe(2, 4);
    addTrue(5, 1, 1, 2);
    addTrue(20, 2);
    for (int k = 0; k < 7; k++) {
        ChainPulses chain;
        chain.push(1, static_cast<int16_t>(5 + k), 1, 2);
        storeChain(c, 100 * (k + 1), chain);
    }
    const std::vector<TextItem> lines = seriesResultLines(g, c, s);
    const std::vector<std::string> left = textsAt(lines, g.x0), right = textsAt(lines, g.x0 + 100);
    ASSERT_EQ(left.size(), 2u + 1 + 6 + 1);  // detected, restore error, title, six chains, truth
    EXPECT_EQ(left[2], " n  measure ");
    EXPECT_EQ(right[0], "  positions and names of etalons in series");
    EXPECT_EQ(left[3], " 1.       100");
    EXPECT_EQ(right[1], "  5a [1..2] ");
    EXPECT_EQ(left[8], " 6.       600");
    EXPECT_EQ(right[6], "  10a [1..2] ");
    EXPECT_EQ(left[9].substr(0, 4), " 0. ");
    EXPECT_EQ(right[7], "  5a [1..2]   20b [0..3] ");
    // Rows one line apart, the title a pixel more, the truth a quarter line more.
    EXPECT_EQ(lines.back().y - lines[2].y, (14 + 1) + 6 * 14 + (14 + 3) / 4);
}

TEST_F(SeriesText, RecognitionTableNamesTheChainsEtalonAndNotThePulses)
{
    describe(1, 2);
    addTrue(5, 2);
    ChainPulses chain;
    chain.push(2, 5, 0, 3);
    storeChain(c, -1234, chain);
    const std::vector<TextItem> lines = seriesResultLines(g, c, s);
    const std::vector<std::string> left = textsAt(lines, g.x0), right = textsAt(lines, g.x0 + 100);
    EXPECT_EQ(left[2], " n et  measure ");
    EXPECT_EQ(right[0], "  positions of etalons in series");
    EXPECT_EQ(left[3], " 1.  b     -1234");
    EXPECT_EQ(right[1], "  5");
    EXPECT_EQ(left[4].substr(0, 8), " 0.  b  ");
}

TEST_F(SeriesText, WithoutChainsRecordOnlyTheTableIsLeftOut)
{
    addTrue(5, 1);
    const std::vector<TextItem> lines = seriesResultLines(g, nullptr, s);
    const std::vector<std::string> left = textsAt(lines, g.x0);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[1], "Restore Error 1000. ");
    EXPECT_EQ(left[2], " 0.     -1000");  // trueMeasure of a noiseless pulse: -sum e^2
}

TEST_F(SeriesText, VeryLongTupleStopsAtTheLineBuffer)
{
    // Room for a thousand pulses: one tuple of all of them prints far more
    // than a line holds.
    s = getCutOffSeriesHeader(hWnd, 2, 4, 10, 40, 32000, s);
    ASSERT_NE(s, nullptr);
    ASSERT_GE(s->wPulsesCapacity, 1000);
    s->lpPulsesList[0] = &etalons[0];
    s->lpPulsesList[1] = &etalons[1];
    describe(36, 36);
    for (int i = 0; i < 1000; i++)
        addDetected(30000, 1);
    s->wDetectedTuples = 1;
    s->lpTupleFirst[0] = 1;
    s->lpTupleLast[0] = 1000;
    const std::string line = seriesResultLines(g, c, s)[0].text;
    EXPECT_EQ(line.size(), size_t(kLineBufferSize - 1));
    EXPECT_EQ(line.substr(0, 30), "Detected 1000 (0) pulses:  {30");
}

/*---- Figures ----*/

TEST_F(SeriesText, RestoreErrorComparesThePureSeriesWithChainZeroKeptSamples)
{
    describe(2, 4);
    addTrue(5, 1);    // 10 20 20 10
    addTrue(20, 1);
    EXPECT_EQ(restoreError(c, s), 2 * 1000);  // nothing restored
    ChainPulses chain;
    chain.push(1, 5, 1, 3);   // restores 20 20 10 at 6..8, not 10 at 5
    chain.push(2, 20, 0, 3);  // -10 10 -10 10 against 10 20 20 10
    storeChain(c, 1, chain);
    c->wSeekingPulsesQuantity = 1;
    EXPECT_EQ(restoreError(c, s), 100 + 1000);
    c->wSeekingPulsesQuantity = 2;
    EXPECT_EQ(restoreError(c, s), 100 + 400 + 100 + 900 + 0);
    // A chain worse than the best is not used.
    ChainPulses worse;
    worse.push(1, 100, 0, 3);
    storeChain(c, 5, worse);
    EXPECT_EQ(restoreError(c, s), 1500);
}

TEST_F(SeriesText, RestoreErrorIgnoresEtalonsOutsideTheAlphabet)
{
    describe(2, 4);
    addTrue(5, 1);
    ChainPulses chain;
    chain.push(7, 5, 0, 3);
    storeChain(c, 1, chain);
    c->wSeekingPulsesQuantity = 1;
    EXPECT_EQ(restoreError(c, s), 1000);
}

TEST_F(SeriesText, TrueMeasureSumsOverTheKeptSamplesOnly)
{
    addTrue(5, 1, 1, 2);          // kept 20 20 at 6, 7
    s->lpNoisyData[6] += 1;
    s->lpNoisyData[7] += 1;
    s->lpNoisyData[8] = 99;       // outside the kept part
    EXPECT_EQ(trueMeasure(s), 2 * (20 - 2 * 21) * 20);
    addTrue(390, 2, 0, 3);        // -10 10 -10 10: -400 with no noise
    EXPECT_EQ(trueMeasure(s), -880 - 400);
}

} // namespace
