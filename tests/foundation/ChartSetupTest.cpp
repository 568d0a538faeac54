#include "foundation/catalogue/ParameterCatalogue.h"
#include "platform/IniFiles.h"
#include "support/FileHelpers.h"

#include <gtest/gtest.h>

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

// The arguments of CreateStrokeSeries by name.
struct TSeriesOptions {
    int X = kColNumber, Y = kColPower, Z = -1;
    bool ShowY = true, YAverage = false, YMarks = false, ShowZ = false, ZAverage = false, ZMarks = false,
         InvertZ = false, UseDefaults = true, Rolling = false, Cursor = false;
};

TChartModel& AddSeries(TChartModel& chart, const TTraining& t, const TSeriesOptions& o) {
    CreateStrokeSeries(chart, t, o.X, o.Y, o.Z, o.ShowY, o.YAverage, o.YMarks, o.ShowZ, o.ZAverage, o.ZMarks,
                       o.InvertZ, o.UseDefaults, o.Rolling, o.Cursor);
    return chart;
}

TChartModel Series(const TTraining& t, const TSeriesOptions& o) {
    TChartModel chart;
    return AddSeries(chart, t, o);
}

TChartModel Curves(const TTraining& t, bool fixedForce = false, bool scaleLength = false, bool showAll = false,
                   double referenceForce = 0, double referenceLength = 0) {
    TChartModel chart;
    CreateForceCurveSeries(chart, t, fixedForce, scaleLength, showAll, referenceForce, referenceLength);
    return chart;
}

// "auto", or "min max increment" of a manual axis.
std::string AxisText(const TChartAxis& a) {
    return a.Automatic ? "auto" : QStringLiteral("%1 %2 %3").arg(a.Minimum).arg(a.Maximum).arg(a.Increment).toStdString();
}

std::vector<double> Xs(const TChartSeries& s) {
    std::vector<double> v;
    for (const TChartPoint& p : s.Points)
        v.push_back(p.X);
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
    TChartAxis axis;
    SetupParameterAxis(axis, MakeTraining({500, 120, 130, 140, 150, 90}), kColPower, true, false);
    EXPECT_EQ(AxisText(axis), "0 200 20");

    // 250 -> 200 and 350 -> 300; 90 resets the count, so 500 and 600 only arm the counter again.
    SetupParameterAxis(axis, MakeTraining({0, 120, 130, 250, 350, 90, 500, 600}), kColPower, true, false);
    EXPECT_DOUBLE_EQ(axis.Maximum, 300);

    // Without defaults the axis as it stands is the start.
    axis.SetMinMax(50, 300);
    SetupParameterAxis(axis, MakeTraining({0, 10, 20}), kColPower, false, false);
    EXPECT_EQ(AxisText(axis), "50 300 25");
}

TEST_F(ChartSetupTest, RangeModeMovesUpInHalfWidths) {
    struct Case {
        std::vector<float> Powers;
        int Current;
        double Min;
    };
    std::vector<float> tail(10, 180); // two empty strokes after ten: the reference moves back
    tail.insert(tail.end(), {0, 0});
    std::vector<float> mixed(10, 500); // only the 10 strokes ending at the reference count:
    mixed.insert(mixed.end(), 9, 20);  // 9 x 20 and one 1000 -> mean 118, k = round(18 / 50) + 1
    mixed.push_back(1000);
    const Case cases[] = {{std::vector<float>(12, 180), 0, 150}, {std::vector<float>(12, 100), 0, 50},
                          {std::vector<float>(12, 99), 0, 0},    {tail, 3, 150},
                          {mixed, 20, 50},
                          {std::vector<float>(5, 400), 99, 0}}; // beyond the strokes: half the width
    for (const Case& c : cases) {
        TTraining t = MakeTraining(c.Powers);
        t.Header.CurrentStroke = c.Current;
        TChartAxis axis;
        SetupParameterAxis(axis, t, kColPower, true, true);
        EXPECT_EQ(AxisText(axis), QStringLiteral("%1 %2 10").arg(c.Min).arg(c.Min + 100).toStdString())
            << c.Powers[0] << " at " << c.Current;
    }
}

TEST_F(ChartSetupTest, AutoAndManualModes) {
    const TTraining t = MakeTraining({1, 2, 3});
    TChartAxis axis;
    axis.SetMinMax(1, 2);
    SetupParameterAxis(axis, t, kColEnergySum, true, false);
    EXPECT_EQ(AxisText(axis), "auto");

    StrokeParameters[kColRelPeak].AxisIncrement = 7;
    SetupParameterAxis(axis, t, kColRelPeak, false, true);
    EXPECT_EQ(AxisText(axis), "0 100 7");

    // Columns outside the table leave the axis alone.
    for (int bad : {-1, kStrokeParameterCount}) {
        TChartAxis untouched;
        untouched.SetMinMax(3, 4);
        SetupParameterAxis(untouched, t, bad, true, true);
        EXPECT_EQ(AxisText(untouched), "3 4 0") << bad;
    }
}

// ---------------------------------------------------------------------------------------------
// Stroke series

TEST_F(ChartSetupTest, RollingChartShowsTheLastStrokesWithDistance) {
    RollingCount = 2; // building the table raises it to 5
    BuildStrokeParameters();
    EXPECT_EQ(RollingCount, 5);
    EXPECT_EQ(Xs(Series(MakeTraining({10, 20, 30}), {.Rolling = true}).Series.at(0)), (std::vector<double>{2, 3}));

    // 12 strokes, the last two without distance: strokes 10 - 5 .. 10.
    TTraining t = MakeTraining(std::vector<float>(12, 50));
    t.StrokeData[11].Distance = 0;
    t.StrokeData[12].Distance = 0;
    EXPECT_EQ(Xs(Series(t, {.Rolling = true}).Series.at(0)), (std::vector<double>{5, 6, 7, 8, 9, 10}));
    // Without rolling every stroke from 2 on is shown.
    EXPECT_EQ(Series(t, {}).Series.at(0).Points.size(), 11u);
}

TEST_F(ChartSetupTest, NonPositiveValuesAreNotPlotted) {
    TTraining t = MakeTraining({10, 20, 0, -5, 50, 60});
    t.StrokeData[6].Number = 0; // X of stroke 6 is 0
    const TChartModel chart = Series(t, {});
    ASSERT_EQ(chart.Series.size(), 1u);
    EXPECT_EQ(chart.Series[0].Points, (std::vector<TChartPoint>{{2, 20, kRed}, {5, 50, kRed}}));
}

TEST_F(ChartSetupTest, SeriesKindsAxesAndColours) {
    const TTraining t = MakeTraining({10, 20, 30});
    // A time X gives a line, X in days as the catalogue's Single holds them.
    const TChartSeries line = Series(t, {.X = kColTime}).Series.at(0);
    EXPECT_TRUE(line.Kind == TSeriesKind::Line && line.XDateTime && !line.YDateTime);
    EXPECT_DOUBLE_EQ(line.Points.at(0).X, static_cast<float>(5.0 / 86400.0));

    // X of point kind gives point series, and no averages or cursor; Z sits on the right in the
    // complement colour.
    const TChartModel points = Series(t, {.X = kColPower, .Y = kColNumber, .Z = kColEnergySum, .YAverage = true,
                                          .ShowZ = true, .ZAverage = true, .ZMarks = true, .InvertZ = true,
                                          .Cursor = true});
    ASSERT_EQ(points.Series.size(), 2u);
    EXPECT_TRUE(points.Series[0].Pointer == TPointerStyle::Rectangle && points.Series[1].Pointer == TPointerStyle::Circle &&
                points.Series[1].VertAxis == TVertAxis::Right && points.Series[1].Color == 0xFFFF00u);

    // A Z line: solid, width 2 and inverted, or width 1 in the training's colour.
    const TChartSeries inverted = Series(t, {.Y = -1, .Z = kColPower, .ShowY = false, .ShowZ = true,
                                             .InvertZ = true}).Series.at(0);
    EXPECT_TRUE(inverted.PenWidth == 2 && inverted.PenStyle == kPenSolid && inverted.Color == 0xFFFF00u);
    const TChartSeries plain = Series(t, {.Y = -1, .Z = kColPower, .ShowY = false, .ShowZ = true}).Series.at(0);
    EXPECT_TRUE(plain.PenWidth == 1 && plain.Color == kRed);
}

TEST_F(ChartSetupTest, MovingAverageOverElevenStrokes) {
    // Powers 10 x i for strokes 1..13, stroke 14 without power.
    std::vector<float> powers;
    for (int i = 1; i <= 13; ++i)
        powers.push_back(10.0f * static_cast<float>(i));
    powers.push_back(0);
    const TChartModel chart = Series(MakeTraining(powers), {.YAverage = true});
    ASSERT_EQ(chart.Series.size(), 2u);
    const TChartSeries& avg = chart.Series[1];
    EXPECT_EQ(avg.PenStyle, kPenSolid);
    // Stroke 14 lies after the last positive value: strokes 2..13 remain.
    ASSERT_EQ(avg.Points.size(), 12u);
    EXPECT_DOUBLE_EQ(avg.Points[0].X, 2);
    // Strokes 2..7 (stroke 1 never counts); stroke 8: strokes 3..13; stroke 13: 8..13 (14 has no power).
    EXPECT_EQ((std::vector<double>{avg.Points[0].Y, avg.Points[6].Y, avg.Points[11].Y}), (std::vector<double>{45, 80, 105}));
}

TEST_F(ChartSetupTest, CursorSpansTheVerticalAxisAtTheCurrentStroke) {
    TTraining t = MakeTraining({10, 20, 30, 40});
    t.Header.CurrentStroke = 3;
    TChartModel chart;
    chart.Bottom.AxisColor = 0x123456;
    AddSeries(chart, t, {.Y = kColRelPeak, .Cursor = true}); // manual left axis 0..100
    ASSERT_EQ(chart.Series.size(), 2u);
    EXPECT_EQ(chart.Series[1].PenWidth, 3);
    EXPECT_EQ(chart.Series[1].Points, (std::vector<TChartPoint>{{3, 0, 0x123456}, {3, 100, 0x123456}}));

    // Without Y the automatic right axis spans the Z data.
    chart.FreeAllSeries();
    chart.Right.SetAutomatic();
    AddSeries(chart, t, {.Y = -1, .Z = kColEnergySum, .ShowY = false, .ShowZ = true, .Cursor = true});
    ASSERT_EQ(chart.Series.size(), 2u);
    EXPECT_EQ(chart.Series[1].VertAxis, TVertAxis::Right);
    EXPECT_EQ((std::vector<double>{chart.Series[1].Points[0].Y, chart.Series[1].Points[1].Y}), (std::vector<double>{2, 4}));

    // No cursor for a current stroke outside the strokes, nor without ShowCursor.
    for (int current : {0, 5, 1000, -3}) {
        t.Header.CurrentStroke = current;
        EXPECT_EQ(Series(t, {.Y = kColRelPeak, .Cursor = true}).Series.size(), 1u) << current;
    }
    t.Header.CurrentStroke = 2;
    EXPECT_EQ(Series(t, {.Y = kColRelPeak}).Series.size(), 1u);

    // An empty training adds empty series.
    TTraining empty;
    empty.Header.CurrentStroke = 1;
    for (const TChartSeries& s : Series(empty, {.Z = kColPower, .YAverage = true, .YMarks = true, .ShowZ = true,
                                                .ZAverage = true, .ZMarks = true, .Rolling = true,
                                                .Cursor = true}).Series)
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
    const TChartModel chart = Curves(t, false, false, false, 800, 70);
    ASSERT_EQ(chart.Series.size(), 1u);
    const TChartSeries& s = chart.Series[0];
    EXPECT_TRUE(s.Color == kRed && s.PenStyle == kPenDash);
    ASSERT_EQ(s.Points.size(), 80u);
    EXPECT_EQ((std::vector<double>{s.Points[0].X, s.Points[79].X, s.Points[0].Y, s.Points[79].Y}),
              (std::vector<double>{2.2, 80 * 2.2, 12, 802}));
    // Fixed force: the peak of 400 N becomes 800 N.
    EXPECT_DOUBLE_EQ(Curves(t, true, false, false, 800, 70).Series.at(0).Points.at(0).Y, 24);
    // Length 140 against 70: every second sample.
    EXPECT_DOUBLE_EQ(Curves(t, false, true, false, 800, 70).Series.at(0).Points.at(1).Y, 32);

    // Without a length or reference the curve keeps its shape.
    const TChartModel unscaled = Curves(t);
    for (const auto& [length, reference] : {std::pair{0.0f, 70.0}, {-3.0f, 70.0}, {140.0f, 0.0}, {140.0f, -1.0}}) {
        t.StrokeData[2].Length = length;
        EXPECT_EQ(Curves(t, false, true, false, 0, reference).Series.at(0).Points, unscaled.Series.at(0).Points)
            << length << " " << reference;
    }
}

TEST_F(ChartSetupTest, ForceCurveModesAndShowAll) {
    TTraining t = CurveTraining(3);
    t.Header.CurrentStroke = 2;
    const TChartModel all = Curves(t, false, false, true);
    ASSERT_EQ(all.Series.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(all.Series[i].Color, 0xFFFF00u);
        EXPECT_DOUBLE_EQ(all.Series[i].Points[0].Y, 11 + static_cast<double>(i));
    }
    EXPECT_DOUBLE_EQ(all.Series[3].Points[0].Y, 12);

    t.Header.CurveMode = 1; // the average element
    EXPECT_DOUBLE_EQ(Curves(t).Series.at(0).Points.at(0).Y, 10);

    // An interval's curve, and nothing for an interval index outside the intervals.
    t.Header.CurveMode = 2;
    t.Intervals.resize(2);
    t.Intervals[1].Curve.Force[0] = 77;
    t.Header.IntervalIndex = 1;
    EXPECT_DOUBLE_EQ(Curves(t).Series.at(0).Points.at(0).Y, 77);
    for (int bad : {2, -1, 1 << 30}) {
        t.Header.IntervalIndex = bad;
        EXPECT_TRUE(Curves(t).Series.at(0).Points.empty()) << bad;
    }
}

TEST_F(ChartSetupTest, ForceCurveIndexesOutsideTheArraysDrawNothing) {
    TTraining t = CurveTraining(3);
    for (int current : {0, 4, 1 << 30}) {
        t.Header.CurrentStroke = current;
        EXPECT_TRUE(Curves(t).Series.at(0).Points.empty()) << current;
    }
    // A curve array shorter than the strokes: only strokes with a curve are drawn.
    t.Header.CurrentStroke = 3;
    t.ForceCurves.resize(3);
    const TChartModel chart = Curves(t, false, false, true);
    ASSERT_EQ(chart.Series.size(), 3u);
    EXPECT_TRUE(chart.Series[2].Points.empty());

    t.Header.Active = 0;
    EXPECT_TRUE(Curves(t, false, false, true).Series.empty());
}

// ---------------------------------------------------------------------------------------------
// Stored axis settings

ParameterType Row(std::uint8_t mode, float min, float max, float increment) {
    return MakeParameter(0, mode, kSeriesPoints, min, max, increment, {}, {}, {}, {});
}

TEST_F(ChartSetupTest, SettingTextsWithEitherSeparator) {
    struct Case {
        const char* Text;
        int Mode;
        float Min, Max, Increment;
    };
    const Case cases[] = {
        {"2 1,5", 2, 0, 100, 10}, // the minimum needs a blank after it
        {"2 1,5 9 0,5", 2, 1.5f, 9, 0.5f},
        {"2 1.5 9 0.5", 2, 1.5f, 9, 0.5f},
        {"2 1,5 9,0 0.5 ", 2, 1.5f, 9, 0.5f},
        {"1 20 80", 1, 20, 100, 10}, // the maximum has no blank after it
        {"", 3, 0, 100, 10},         // a missing key changes nothing
    };
    for (const Case& c : cases) {
        ParameterType row = Row(3, 0, 100, 10);
        EXPECT_TRUE(ApplyParameterSetting(QString::fromLatin1(c.Text), row)) << c.Text;
        EXPECT_EQ(row.AxisMode, c.Mode) << c.Text;
        EXPECT_FLOAT_EQ(row.AxisMin, c.Min) << c.Text;
        EXPECT_FLOAT_EQ(row.AxisMax, c.Max) << c.Text;
        EXPECT_FLOAT_EQ(row.AxisIncrement, c.Increment) << c.Text;
    }
    EXPECT_EQ(ParameterSettingText(Row(3, 0, 100, 10)), QStringLiteral("3 0 100 10"));
    EXPECT_EQ(ParameterSettingText(Row(1, 0.5f, 1, 0.05f)), QStringLiteral("1 0.5 1 0.05"));
}

TEST_F(ChartSetupTest, InvalidSettingsKeepTheRow) {
    for (const char* text : {"4 0 100 10", "-1 0 100 10", "x 0 100 10", "1.5 0 100 10", "2 100 50 5",
                             "2 50 50 5", "2 0 100 0", "2 0 100 -1", "2 abc 100 10", "2 0 1e999 10",
                             "2 0 100 nan", "2 0 1,2,3 4", "2 150 ", "2 0 1e300 10", "2 -1e300 0 1"}) {
        ParameterType row = Row(3, 0, 100, 10);
        EXPECT_FALSE(ApplyParameterSetting(QString::fromLatin1(text), row)) << text;
        EXPECT_EQ((std::vector<float>{float(row.AxisMode), row.AxisMin, row.AxisMax, row.AxisIncrement}),
                  (std::vector<float>{3, 0, 100, 10}))
            << text;
    }
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
    for (std::size_t i = 0; i < loaded.size(); ++i) { // exact: the shortest text round-trips
        EXPECT_EQ(loaded[i].AxisMode, saved[i].AxisMode) << i;
        EXPECT_EQ((std::vector<float>{loaded[i].AxisMin, loaded[i].AxisMax, loaded[i].AxisIncrement}),
                  (std::vector<float>{saved[i].AxisMin, saved[i].AxisMax, saved[i].AxisIncrement}))
            << i;
    }
}

TEST_F(ChartSetupTest, LoadingKeepsRowsOfBadOrMissingKeys) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kvwt.ini"));
    ASSERT_TRUE(WriteAllBytes(file, QByteArray("[StrokeData]\nParameter1=2 10 90 20\nParameter3=9 0 1 1\n"
                                               "Parameter41=2 1,5 9 0,5\n")));
    TIniFile ini(file);
    TParameterTable table = StrokeParameters;
    LoadParameterSettings(ini, QStringLiteral("StrokeData"), table);
    EXPECT_EQ((std::vector<float>{float(table[1].AxisMode), table[1].AxisMin, table[1].AxisIncrement}),
              (std::vector<float>{2, 10, 20}));
    EXPECT_FLOAT_EQ(table[41].AxisMax, 9);
    for (std::size_t bad : {0, 3}) // missing, invalid
        EXPECT_EQ(ParameterSettingText(table[bad]), ParameterSettingText(StrokeParameters[bad])) << bad;
}

} // namespace
