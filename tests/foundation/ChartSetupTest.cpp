#include "foundation/catalogue/ParameterCatalogue.h"
#include "platform/IniFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>

namespace {

constexpr int kColNumber = 0;     // auto, line kind
constexpr int kColPower = 1;      // range 0..100, point kind
constexpr int kColTime = 5;       // auto, line kind, time format
constexpr int kColEnergySum = 11; // auto
constexpr int kColRelPeak = 16;   // manual 0..100
constexpr TChartColor kRed = 0x0000FF;

// Strokes 1..n numbered, 2.5 s and 10 m apart, with the given powers (element 0 the average).
TTraining MakeTraining(const std::vector<float>& powers) {
    TTraining t;
    t.Header.Color = static_cast<std::int32_t>(kRed);
    t.Header.PenStyle = kPenDash;
    t.Header.PenWidth = 2;
    t.Header.Active = 1;
    t.StrokeData.resize(powers.size() + 1);
    t.ForceCurves.resize(powers.size() + 1);
    for (std::size_t i = 1; i <= powers.size(); ++i) {
        TStgStrokeData& s = t.StrokeData[i];
        s.Number = static_cast<Word>(i);
        s.Time = 2.5f * static_cast<float>(i);
        s.Distance = 10.0f * static_cast<float>(i);
        s.EnergySum = static_cast<float>(i);
        s.Power = powers[i - 1];
        s.RelPeakForcePos = 30;
    }
    return t;
}

std::vector<double> Xs(const TChartSeries& s) {
    std::vector<double> v;
    for (const TChartPoint& p : s.Points)
        v.push_back(p.X);
    return v;
}

std::vector<double> Ys(const TChartSeries& s) {
    std::vector<double> v;
    for (const TChartPoint& p : s.Points)
        v.push_back(p.Y);
    return v;
}

class ChartSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSavedRolling = RollingCount;
        BuildStrokeParameters();
    }
    void TearDown() override {
        RollingCount = FSavedRolling;
        BuildStrokeParameters();
    }
    int FSavedRolling = 0;
};

// ---------------------------------------------------------------------------------------------
// Axes

TEST_F(ChartSetupTest, DoubleModeRaisesAfterTwoStrokesAboveThenByTheWidth) {
    // Stroke 1 is never looked at; 120 and 130 arm the counter, 140 raises 100 to 200.
    const TTraining t = MakeTraining({500, 120, 130, 140, 150, 90});
    TChartAxis axis;
    SetupParameterAxis(axis, t, kColPower, true, false); // Range acts as Double without rolling
    EXPECT_FALSE(axis.Automatic);
    EXPECT_DOUBLE_EQ(axis.Minimum, 0);
    EXPECT_DOUBLE_EQ(axis.Maximum, 200);
    EXPECT_DOUBLE_EQ(axis.Increment, 20);

    // Every further stroke above the maximum adds one width; a stroke inside resets the count.
    const TTraining run = MakeTraining({0, 120, 130, 250, 350, 90, 500, 600});
    SetupParameterAxis(axis, run, kColPower, true, false);
    // 250 -> 200 and 350 -> 300; 90 resets, so 500 and 600 only arm the counter again.
    EXPECT_DOUBLE_EQ(axis.Maximum, 300);
}

TEST_F(ChartSetupTest, DoubleModeStartsFromTheAxisWithoutDefaults) {
    const TTraining t = MakeTraining({0, 10, 20});
    TChartAxis axis;
    axis.SetMinMax(50, 300);
    SetupParameterAxis(axis, t, kColPower, false, false);
    EXPECT_DOUBLE_EQ(axis.Minimum, 50);
    EXPECT_DOUBLE_EQ(axis.Maximum, 300);
    EXPECT_DOUBLE_EQ(axis.Increment, 25);
}

TEST_F(ChartSetupTest, RangeModeMovesUpInHalfWidths) {
    struct Case {
        float Mean;
        double Min, Max;
    };
    for (const Case c : {Case{180, 150, 250}, Case{100, 50, 150}, Case{99, 0, 100}}) {
        const TTraining t = MakeTraining(std::vector<float>(12, c.Mean));
        TChartAxis axis;
        SetupParameterAxis(axis, t, kColPower, true, true);
        EXPECT_DOUBLE_EQ(axis.Minimum, c.Min) << c.Mean;
        EXPECT_DOUBLE_EQ(axis.Maximum, c.Max) << c.Mean;
        EXPECT_DOUBLE_EQ(axis.Increment, 10) << c.Mean;
    }
}

TEST_F(ChartSetupTest, RangeModeReferenceIsTheLastPositiveStrokeBeforeTheEnd) {
    // Strokes 1..10 at 180, then two empty strokes: the reference moves back to stroke 10.
    std::vector<float> powers(10, 180);
    powers.push_back(0);
    powers.push_back(0);
    TTraining t = MakeTraining(powers);
    t.Header.CurrentStroke = 3;
    TChartAxis axis;
    SetupParameterAxis(axis, t, kColPower, true, true);
    EXPECT_DOUBLE_EQ(axis.Minimum, 150);

    // Only the 10 strokes ending at the reference count: 9 x 20 and one 1000 -> mean 118.
    std::vector<float> mixed(20, 500);
    for (int i = 10; i < 19; ++i)
        mixed[static_cast<std::size_t>(i)] = 20;
    mixed[19] = 1000;
    t = MakeTraining(mixed);
    t.Header.CurrentStroke = 20;
    SetupParameterAxis(axis, t, kColPower, true, true);
    EXPECT_DOUBLE_EQ(axis.Minimum, 50); // k = round(18 / 50) + 1 = 1
}

TEST_F(ChartSetupTest, RangeModeWithAReferenceOutsideTheStrokesUsesHalfTheWidth) {
    TTraining t = MakeTraining(std::vector<float>(5, 400));
    t.Header.CurrentStroke = 99; // beyond the strokes: nothing is read there
    TChartAxis axis;
    SetupParameterAxis(axis, t, kColPower, true, true);
    EXPECT_DOUBLE_EQ(axis.Minimum, 0);
    EXPECT_DOUBLE_EQ(axis.Maximum, 100);
}

TEST_F(ChartSetupTest, AutoAndManualModes) {
    const TTraining t = MakeTraining({1, 2, 3});
    TChartAxis axis;
    axis.SetMinMax(1, 2);
    SetupParameterAxis(axis, t, kColEnergySum, true, false);
    EXPECT_TRUE(axis.Automatic);

    StrokeParameters[kColRelPeak].AxisIncrement = 7;
    SetupParameterAxis(axis, t, kColRelPeak, false, true);
    EXPECT_FALSE(axis.Automatic);
    EXPECT_DOUBLE_EQ(axis.Minimum, 0);
    EXPECT_DOUBLE_EQ(axis.Maximum, 100);
    EXPECT_DOUBLE_EQ(axis.Increment, 7);

    // Columns outside the table leave the axis alone.
    for (int bad : {-1, kStrokeParameterCount}) {
        TChartAxis untouched;
        untouched.SetMinMax(3, 4);
        SetupParameterAxis(untouched, t, bad, true, true);
        EXPECT_DOUBLE_EQ(untouched.Maximum, 4);
        EXPECT_FALSE(untouched.Automatic);
    }
}

// ---------------------------------------------------------------------------------------------
// Stroke series

TEST_F(ChartSetupTest, RollingChartShowsTheLastStrokesWithDistance) {
    RollingCount = 5;
    TChartModel chart;
    CreateStrokeSeries(chart, MakeTraining({10, 20, 30}), kColNumber, kColPower, -1, true, false, false,
                       false, false, false, false, true, true, false);
    ASSERT_EQ(chart.Series.size(), 1u);
    EXPECT_EQ(Xs(chart.Series[0]), (std::vector<double>{2, 3}));

    // 12 strokes, the last two without distance: strokes 10 - 5 .. 10.
    TTraining t = MakeTraining(std::vector<float>(12, 50));
    t.StrokeData[11].Distance = 0;
    t.StrokeData[12].Distance = 0;
    chart.FreeAllSeries();
    CreateStrokeSeries(chart, t, kColNumber, kColPower, -1, true, false, false, false, false, false, false,
                       true, true, false);
    EXPECT_EQ(Xs(chart.Series[0]), (std::vector<double>{5, 6, 7, 8, 9, 10}));

    // Without rolling every stroke from 2 on is shown.
    chart.FreeAllSeries();
    CreateStrokeSeries(chart, t, kColNumber, kColPower, -1, true, false, false, false, false, false, false,
                       true, false, false);
    EXPECT_EQ(chart.Series[0].Points.size(), 11u);
}

TEST_F(ChartSetupTest, BuildingTheStrokeTableRaisesTheRollingCount) {
    RollingCount = 2;
    BuildStrokeParameters();
    EXPECT_EQ(RollingCount, 5);
    RollingCount = 300;
    BuildStrokeParameters();
    EXPECT_EQ(RollingCount, 300);
}

TEST_F(ChartSetupTest, NonPositiveValuesAreNotPlotted) {
    TTraining t = MakeTraining({10, 20, 0, -5, 50, 60});
    t.StrokeData[6].Number = 0; // X of stroke 6 is 0
    TChartModel chart;
    CreateStrokeSeries(chart, t, kColNumber, kColPower, -1, true, false, false, false, false, false, false,
                       true, false, false);
    ASSERT_EQ(chart.Series.size(), 1u);
    EXPECT_EQ(Xs(chart.Series[0]), (std::vector<double>{2, 5}));
    EXPECT_EQ(Ys(chart.Series[0]), (std::vector<double>{20, 50}));
}

TEST_F(ChartSetupTest, LineSeriesLookAndTimeValues) {
    TChartModel chart;
    CreateStrokeSeries(chart, MakeTraining({10, 20, 30}), kColTime, kColPower, -1, true, false, true, false,
                       false, false, false, true, false, false);
    const TChartSeries& s = chart.Series.at(0);
    EXPECT_EQ(s.Kind, TSeriesKind::Line);
    EXPECT_EQ(s.VertAxis, TVertAxis::Left);
    EXPECT_EQ(s.Color, kRed);
    EXPECT_EQ(s.PenStyle, kPenDash);
    EXPECT_EQ(s.PenWidth, 2);
    EXPECT_TRUE(s.MarksVisible);
    EXPECT_EQ(s.MarksColor, kRed);
    EXPECT_TRUE(s.XDateTime);
    EXPECT_FALSE(s.YDateTime);
    ASSERT_EQ(s.Points.size(), 2u);
    EXPECT_DOUBLE_EQ(s.Points[0].X, static_cast<float>(5.0 / 86400.0)); // the catalogue's Single
    EXPECT_EQ(s.Points[0].Color, kRed);
}

TEST_F(ChartSetupTest, PointKindXGivesPointSeriesAndZLooks) {
    TChartModel chart;
    const TTraining t = MakeTraining({10, 20, 30});
    // X = power (point kind), Y = stroke number, Z = energy sum on the right.
    CreateStrokeSeries(chart, t, kColPower, kColNumber, kColEnergySum, true, true, false, true, true, true,
                       true, true, false, true);
    ASSERT_EQ(chart.Series.size(), 2u); // no averages and no cursor for point series
    EXPECT_EQ(chart.Series[0].Kind, TSeriesKind::Points);
    EXPECT_EQ(chart.Series[0].Pointer, TPointerStyle::Rectangle);
    EXPECT_EQ(chart.Series[0].PointerHorizSize, 3);
    const TChartSeries& z = chart.Series[1];
    EXPECT_EQ(z.Pointer, TPointerStyle::Circle);
    EXPECT_EQ(z.VertAxis, TVertAxis::Right);
    EXPECT_EQ(z.Color, 0xFFFF00u); // complement of red
    EXPECT_TRUE(z.MarksVisible);
}

TEST_F(ChartSetupTest, ZLineWidthAndColourFollowTheInvertOption) {
    const TTraining t = MakeTraining({10, 20, 30});
    TChartModel chart;
    CreateStrokeSeries(chart, t, kColNumber, -1, kColPower, false, false, false, true, false, false, true,
                       true, false, false);
    EXPECT_EQ(chart.Series.at(0).PenWidth, 2);
    EXPECT_EQ(chart.Series.at(0).PenStyle, kPenSolid);
    EXPECT_EQ(chart.Series.at(0).Color, 0xFFFF00u);
    chart.FreeAllSeries();
    CreateStrokeSeries(chart, t, kColNumber, -1, kColPower, false, false, false, true, false, false, false,
                       true, false, false);
    EXPECT_EQ(chart.Series.at(0).PenWidth, 1);
    EXPECT_EQ(chart.Series.at(0).Color, kRed);
}

TEST_F(ChartSetupTest, MovingAverageOverElevenStrokes) {
    // Powers 10 x i for strokes 1..13, stroke 14 without power.
    std::vector<float> powers;
    for (int i = 1; i <= 13; ++i)
        powers.push_back(10.0f * static_cast<float>(i));
    powers.push_back(0);
    TChartModel chart;
    CreateStrokeSeries(chart, MakeTraining(powers), kColNumber, kColPower, -1, true, true, false, false, false,
                       false, false, true, false, false);
    ASSERT_EQ(chart.Series.size(), 2u);
    const TChartSeries& avg = chart.Series[1];
    EXPECT_EQ(avg.PenStyle, kPenSolid);
    EXPECT_EQ(avg.PenWidth, 1);
    // Stroke 14 lies after the last positive value: strokes 2..13 remain.
    ASSERT_EQ(avg.Points.size(), 12u);
    EXPECT_DOUBLE_EQ(avg.Points[0].X, 2);
    EXPECT_DOUBLE_EQ(avg.Points[0].Y, 45);  // strokes 2..7 (stroke 1 never counts)
    EXPECT_DOUBLE_EQ(avg.Points[6].Y, 80);  // stroke 8: strokes 3..13
    EXPECT_DOUBLE_EQ(avg.Points[11].Y, 105); // stroke 13: strokes 8..13 (14 has no power)
}

TEST_F(ChartSetupTest, CursorSpansTheVerticalAxisAtTheCurrentStroke) {
    TTraining t = MakeTraining({10, 20, 30, 40});
    t.Header.CurrentStroke = 3;
    TChartModel chart;
    chart.Bottom.AxisColor = 0x123456;
    // Manual left axis 0..100.
    CreateStrokeSeries(chart, t, kColNumber, kColRelPeak, -1, true, false, false, false, false, false, false,
                       true, false, true);
    ASSERT_EQ(chart.Series.size(), 2u);
    const TChartSeries& cursor = chart.Series[1];
    EXPECT_EQ(cursor.PenWidth, 3);
    EXPECT_EQ(cursor.Color, 0x123456u);
    EXPECT_EQ(cursor.Points, (std::vector<TChartPoint>{{3, 0, 0x123456}, {3, 100, 0x123456}}));

    // Without Y the automatic right axis spans the Z data.
    chart.FreeAllSeries();
    chart.Right.SetAutomatic();
    CreateStrokeSeries(chart, t, kColNumber, -1, kColEnergySum, false, false, false, true, false, false, false,
                       true, false, true);
    ASSERT_EQ(chart.Series.size(), 2u);
    EXPECT_EQ(chart.Series[1].VertAxis, TVertAxis::Right);
    EXPECT_DOUBLE_EQ(chart.Series[1].Points[0].Y, 2);
    EXPECT_DOUBLE_EQ(chart.Series[1].Points[1].Y, 4);

    // No cursor for a current stroke outside the strokes, nor without ShowCursor.
    for (int current : {0, 5, 1000, -3}) {
        t.Header.CurrentStroke = current;
        chart.FreeAllSeries();
        CreateStrokeSeries(chart, t, kColNumber, kColRelPeak, -1, true, false, false, false, false, false,
                           false, true, false, true);
        EXPECT_EQ(chart.Series.size(), 1u) << current;
    }
    t.Header.CurrentStroke = 2;
    chart.FreeAllSeries();
    CreateStrokeSeries(chart, t, kColNumber, kColRelPeak, -1, true, false, false, false, false, false, false,
                       true, false, false);
    EXPECT_EQ(chart.Series.size(), 1u);
}

TEST_F(ChartSetupTest, EmptyTrainingAddsEmptySeries) {
    TTraining t;
    t.Header.CurrentStroke = 1;
    TChartModel chart;
    CreateStrokeSeries(chart, t, kColNumber, kColPower, kColPower, true, true, true, true, true, true, false,
                       true, true, true);
    for (const TChartSeries& s : chart.Series)
        EXPECT_TRUE(s.Points.empty());
}

// ---------------------------------------------------------------------------------------------
// Force curves

TTraining CurveTraining(int strokes) {
    TTraining t = MakeTraining(std::vector<float>(static_cast<std::size_t>(strokes), 100));
    for (std::size_t i = 0; i < t.ForceCurves.size(); ++i)
        for (std::size_t k = 0; k < kForceCurveSamples; ++k)
            t.ForceCurves[i].Force[k] = static_cast<Word>(10 * (k + 1) + i);
    for (TStgStrokeData& s : t.StrokeData) {
        s.Length = 140;
        s.PeakForce = 400;
    }
    t.Header.CurrentStroke = 1;
    return t;
}

TEST_F(ChartSetupTest, ForceCurveOfTheCurrentStroke) {
    TTraining t = CurveTraining(3);
    t.Header.CurrentStroke = 2;
    t.Ini.Sprocket = 1; // 2.2 cm apart
    TChartModel chart;
    CreateForceCurveSeries(chart, t, false, false, false, 800, 70);
    ASSERT_EQ(chart.Series.size(), 1u);
    const TChartSeries& s = chart.Series[0];
    EXPECT_EQ(s.Color, kRed);
    EXPECT_EQ(s.PenStyle, kPenDash);
    ASSERT_EQ(s.Points.size(), 80u);
    EXPECT_DOUBLE_EQ(s.Points[0].X, 2.2);
    EXPECT_DOUBLE_EQ(s.Points[79].X, 80 * 2.2);
    EXPECT_DOUBLE_EQ(s.Points[0].Y, 12);
    EXPECT_DOUBLE_EQ(s.Points[79].Y, 802);

    // Fixed force: the peak of 400 N becomes 800 N.
    chart.FreeAllSeries();
    CreateForceCurveSeries(chart, t, true, false, false, 800, 70);
    EXPECT_DOUBLE_EQ(chart.Series[0].Points[0].Y, 24);

    // Length 140 against 70: every second sample.
    chart.FreeAllSeries();
    CreateForceCurveSeries(chart, t, false, true, false, 800, 70);
    EXPECT_DOUBLE_EQ(chart.Series[0].Points[1].Y, 32);
}

TEST_F(ChartSetupTest, ForceCurveWithoutLengthKeepsItsShape) {
    TTraining t = CurveTraining(2);
    TChartModel unscaled;
    CreateForceCurveSeries(unscaled, t, false, false, false, 0, 0);
    for (const auto& [length, reference] : {std::pair{0.0f, 70.0}, {-3.0f, 70.0}, {140.0f, 0.0}, {140.0f, -1.0}}) {
        t.StrokeData[1].Length = length;
        TChartModel chart;
        CreateForceCurveSeries(chart, t, false, true, false, 0, reference);
        EXPECT_EQ(chart.Series.at(0).Points, unscaled.Series.at(0).Points) << length << " " << reference;
    }
}

TEST_F(ChartSetupTest, ForceCurveModesAndShowAll) {
    TTraining t = CurveTraining(3);
    t.Header.CurrentStroke = 2;
    TChartModel chart;
    CreateForceCurveSeries(chart, t, false, false, true, 0, 0);
    ASSERT_EQ(chart.Series.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(chart.Series[static_cast<std::size_t>(i)].Color, 0xFFFF00u);
        EXPECT_DOUBLE_EQ(chart.Series[static_cast<std::size_t>(i)].Points[0].Y, 11 + i);
    }
    EXPECT_DOUBLE_EQ(chart.Series[3].Points[0].Y, 12);

    // The average element.
    t.Header.CurveMode = 1;
    chart.FreeAllSeries();
    CreateForceCurveSeries(chart, t, false, false, false, 0, 0);
    EXPECT_DOUBLE_EQ(chart.Series.at(0).Points.at(0).Y, 10);

    // An interval's curve, and nothing for an interval index outside the intervals.
    t.Header.CurveMode = 2;
    t.Intervals.resize(2);
    t.Intervals[1].Curve.Force[0] = 77;
    t.Header.IntervalIndex = 1;
    chart.FreeAllSeries();
    CreateForceCurveSeries(chart, t, false, false, false, 0, 0);
    EXPECT_DOUBLE_EQ(chart.Series.at(0).Points.at(0).Y, 77);
    for (int bad : {2, -1, 1 << 30}) {
        t.Header.IntervalIndex = bad;
        chart.FreeAllSeries();
        CreateForceCurveSeries(chart, t, false, false, false, 0, 0);
        ASSERT_EQ(chart.Series.size(), 1u);
        EXPECT_TRUE(chart.Series[0].Points.empty());
    }
}

TEST_F(ChartSetupTest, ForceCurveIndexesOutsideTheArraysDrawNothing) {
    TTraining t = CurveTraining(3);
    TChartModel chart;
    for (int current : {0, 4, 1 << 30}) {
        t.Header.CurrentStroke = current;
        chart.FreeAllSeries();
        CreateForceCurveSeries(chart, t, false, false, false, 0, 0);
        ASSERT_EQ(chart.Series.size(), 1u);
        EXPECT_TRUE(chart.Series[0].Points.empty()) << current;
    }
    // A curve array shorter than the strokes: only strokes with a curve are drawn.
    t.Header.CurrentStroke = 3;
    t.ForceCurves.resize(3);
    chart.FreeAllSeries();
    CreateForceCurveSeries(chart, t, false, false, true, 0, 0);
    ASSERT_EQ(chart.Series.size(), 3u);
    EXPECT_TRUE(chart.Series[2].Points.empty());

    t.Header.Active = 0;
    chart.FreeAllSeries();
    CreateForceCurveSeries(chart, t, false, false, true, 0, 0);
    EXPECT_TRUE(chart.Series.empty());
}

// ---------------------------------------------------------------------------------------------
// Stored axis settings

ParameterType Row(std::uint8_t mode, float min, float max, float increment) {
    return MakeParameter(0, mode, kSeriesPoints, min, max, increment, {}, {}, {}, {});
}

TEST_F(ChartSetupTest, SettingTextsWithEitherSeparator) {
    ParameterType row = Row(3, 0, 100, 10);
    EXPECT_TRUE(ApplyParameterSetting(QStringLiteral("2 1,5"), row));
    EXPECT_EQ(row.AxisMode, 2);
    EXPECT_FLOAT_EQ(row.AxisMin, 0); // the minimum needs a blank after it

    for (const char* text : {"2 1,5 9 0,5", "2 1.5 9 0.5", "2 1,5 9,0 0.5 "}) {
        row = Row(3, 0, 100, 10);
        EXPECT_TRUE(ApplyParameterSetting(QString::fromLatin1(text), row)) << text;
        EXPECT_EQ(row.AxisMode, 2);
        EXPECT_FLOAT_EQ(row.AxisMin, 1.5f);
        EXPECT_FLOAT_EQ(row.AxisMax, 9);
        EXPECT_FLOAT_EQ(row.AxisIncrement, 0.5f);
    }
    // Three fields: the maximum has no blank after it.
    row = Row(3, 0, 100, 10);
    EXPECT_TRUE(ApplyParameterSetting(QStringLiteral("1 20 80"), row));
    EXPECT_EQ(row.AxisMode, 1);
    EXPECT_FLOAT_EQ(row.AxisMin, 20);
    EXPECT_FLOAT_EQ(row.AxisMax, 100);

    EXPECT_EQ(ParameterSettingText(Row(3, 0, 100, 10)), QStringLiteral("3 0 100 10"));
    EXPECT_EQ(ParameterSettingText(Row(1, 0.5f, 1, 0.05f)), QStringLiteral("1 0.5 1 0.05"));
}

TEST_F(ChartSetupTest, InvalidSettingsKeepTheRow) {
    for (const char* text : {"4 0 100 10", "-1 0 100 10", "x 0 100 10", "1.5 0 100 10", "2 100 50 5",
                             "2 50 50 5", "2 0 100 0", "2 0 100 -1", "2 abc 100 10", "2 0 1e999 10",
                             "2 0 100 nan", "2 0 1,2,3 4", "2 150 ", "2 0 1e300 10", "2 -1e300 0 1"}) {
        ParameterType row = Row(3, 0, 100, 10);
        EXPECT_FALSE(ApplyParameterSetting(QString::fromLatin1(text), row)) << text;
        EXPECT_EQ(row.AxisMode, 3) << text;
        EXPECT_FLOAT_EQ(row.AxisMin, 0) << text;
        EXPECT_FLOAT_EQ(row.AxisMax, 100) << text;
        EXPECT_FLOAT_EQ(row.AxisIncrement, 10) << text;
    }
    ParameterType row = Row(3, 0, 100, 10);
    EXPECT_TRUE(ApplyParameterSetting(QString(), row)); // a missing key changes nothing
    EXPECT_EQ(row.AxisMode, 3);
}

TEST_F(ChartSetupTest, AllStrokeRowsAreSavedAndLoaded) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kvwt.ini"));
    TParameterTable saved = StrokeParameters;
    for (std::size_t i = 0; i < saved.size(); ++i) {
        saved[i].AxisMode = static_cast<std::uint8_t>(i % 4);
        saved[i].AxisMin = static_cast<float>(i) / 86400.0f;
        saved[i].AxisMax = static_cast<float>(i) + 0.1f;
        saved[i].AxisIncrement = 1.0f / 3.0f;
    }
    {
        TIniFile ini(file);
        SaveParameterSettings(ini, QStringLiteral("StrokeData"), saved);
    }
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString(QStringLiteral("StrokeData"), QStringLiteral("Parameter41"), QString()),
              ParameterSettingText(saved[41]));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("StrokeData"), QStringLiteral("Parameter42")));

    TParameterTable loaded = StrokeParameters;
    LoadParameterSettings(ini, QStringLiteral("StrokeData"), loaded);
    ASSERT_EQ(loaded.size(), static_cast<std::size_t>(kStrokeParameterCount));
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_EQ(loaded[i].AxisMode, saved[i].AxisMode) << i;
        EXPECT_EQ(loaded[i].AxisMin, saved[i].AxisMin) << i; // exact: shortest text round-trips
        EXPECT_EQ(loaded[i].AxisMax, saved[i].AxisMax) << i;
        EXPECT_EQ(loaded[i].AxisIncrement, saved[i].AxisIncrement) << i;
    }
}

TEST_F(ChartSetupTest, LoadingKeepsRowsOfBadOrMissingKeys) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kvwt.ini"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[StrokeData]\nParameter1=2 10 90 20\nParameter3=9 0 1 1\nParameter6=1 150 100 5\n"
                "Parameter41=2 1,5 9 0,5\n");
    }
    TIniFile ini(file);
    TParameterTable table = StrokeParameters;
    LoadParameterSettings(ini, QStringLiteral("StrokeData"), table);
    EXPECT_EQ(table[1].AxisMode, 2);
    EXPECT_FLOAT_EQ(table[1].AxisMin, 10);
    EXPECT_FLOAT_EQ(table[1].AxisIncrement, 20);
    EXPECT_EQ(table[3].AxisMode, StrokeParameters[3].AxisMode);
    EXPECT_FLOAT_EQ(table[6].AxisMin, StrokeParameters[6].AxisMin);
    EXPECT_FLOAT_EQ(table[41].AxisMax, 9);
    EXPECT_EQ(table[0].AxisMode, StrokeParameters[0].AxisMode);
}

} // namespace
