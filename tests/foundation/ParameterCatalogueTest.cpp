#include "foundation/catalogue/ParameterCatalogue.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

double Days(double seconds) {
    return seconds / 86400.0;
}

QString Fmt(const char* format, double value) {
    return FormatParameterValue(QString::fromLatin1(format), value);
}

struct TFmtCase {
    const char* Format;
    double Value;
    const char* Expected;
};

// A stroke whose fields all differ, so that a formula reading the wrong field shows.
TStgStrokeData CraftedStroke() {
    return {.Number = 40, .Power = 250, .AvgPower = 230, .StrokeRate = 24, .TargetPower = 240, .Time = 150,
            .Length = 140, .Distance = 600, .Est500mTime = 110.5f, .Energy = 700, .EnergySum = 25, .Pulse = 150,
            .WorkPerPulse = 4.5f, .PeakForce = 610, .PeakForcePos = 45, .RelPeakForcePos = 32, .DriveRatio = 2,
            .K = 0.75f, .IntervalNumber = 3, .IntervalCountdown = 12, .IntervalPower = 210, .DriveTime = 0.8f,
            .DistancePerStroke = 1000};
}

// A time-limited session of 600 s: the crafted stroke at 150 s has done a quarter of it.
TStgIni TimeLimit(std::int32_t seconds) {
    TStgIni ini;
    ini.SessionLimit = 3;
    ini.LimitTime = seconds;
    return ini;
}

class Catalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BuildParameterTables();
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Value formats

TEST(FormatParameterValue, Times) {
    const TFmtCase cases[] = {
        {"Th:nn:ss", Days(125), "02:05"}, // zero hours dropped
        {"Th:nn:ss", Days(3725), "1:02:05"},
        {"Thh:nn:ss", Days(3725), "01:02:05"},
        {"Thh:nn:ss", Days(125), "02:05"},
        {"Th:nn:ss", 0, "00:00"},
        {"Tnn:ss.0", 0, "00:00.0"},
        {"Tnn:ss.0", Days(75 * 60), "1:15:00.0"}, // no hour field: whole hours still shown
        {"Tnn:ss.0", Days(3599.9), "59:59.9"},
        {"Th:nn:ss", Days(25 * 3600 + 61), "25:01:01"}, // past a day, no wrap
        {"Th:nn:ss.0", Days(65535), "18:12:15.0"},
        // Fractions are cut after whole milliseconds.
        {"Tnn:ss.0", Days(95.29), "01:35.2"},
        {"Tnn:ss.0", Days(59.96), "00:59.9"},
        {"Tnn:ss.00", Days(95.257), "01:35.25"},
        {"Tnn:ss.000", Days(95.257), "01:35.257"},
        {"Tnn:ss.000", Days(95.0004), "01:35.000"},
        {"Th:nn:ss", Days(-150), "-02:30"},
        {"Th:nn:ss", Days(-3725), "-1:02:05"},
        {"Tnn:ss.0", Days(-0.04), "-00:00.0"},
        {"Tnn:ss.0", Days(-0.0001), "00:00.0"}, // rounds to no time at all
        {"Tn's'", Days(605), "10s"},
        {"T\"at \"h:nn", Days(7260), "at 2:01"},
        {"Tss.zzz", Days(1.25), "01.250"}, // zzz is the millisecond field, no ".0" rule
        {"Tnn:ss", std::numeric_limits<double>::quiet_NaN(), "nan"},
        {"Tnn:ss", 1e300, "1e+300"},
    };
    for (const TFmtCase& c : cases)
        EXPECT_EQ(Fmt(c.Format, c.Value), c.Expected) << c.Format << " " << c.Value * 86400;
}

// Stored as Single days, 95.3 s lies a hair below 95.3: it still shows .3, as every tenth does.
TEST(FormatParameterValue, SingleTenthsShowAsWritten) {
    ASSERT_LT(static_cast<double>(static_cast<float>(95.3 / 86400.0)) * 86400.0, 95.3);
    for (int tenths = 0; tenths < 6000; ++tenths) {
        const float days = static_cast<float>(tenths / 10.0 / 86400.0);
        const QString expected = QString::asprintf("%02d:%02d.%d", tenths / 600, tenths / 10 % 60, tenths % 10);
        ASSERT_EQ(Fmt("Tnn:ss.0", days), expected) << tenths;
    }
}

TEST(FormatParameterValue, RatiosAndNumbers) {
    const TFmtCase cases[] = {
        {"F%3.1f", 0, "n/a"},
        {"F%3.1f", 0.5, "1:2.0"},
        {"F%1.2f", -0.25, "1:-4.00"},
        {"F%s", 0.5, "1:2"},
        {"%4.0f", -0.4, "  -0"},
        {"%#.0f", 2, "2."},
        {"%.f", 1.7, "2"},
        {"Power %4.0f W, 100%%", 250, "Power  250 W, 100%"},
        {"%d", 2.5, "2"}, // ties to even, as glibc rounds them; more in AgreesWithPrintf
        {"%d", 3.5, "4"},
        {"%1.2f", 1.005, "1.00"}, // a hair below the tie in binary
        {"%3d", -7, " -7"},
        {"%.3d", 5, "005"},
        {"%05d", -42, "-0042"},
        {"%+d", 0, "+0"},
    };
    for (const TFmtCase& c : cases)
        EXPECT_EQ(Fmt(c.Format, c.Value), c.Expected) << c.Format << " " << c.Value;
}

TEST(FormatParameterValue, AgreesWithPrintfOnTheColumnFormats) {
    const lconv* lc = std::localeconv();
    if (std::strcmp(lc->decimal_point, ".") != 0) GTEST_SKIP() << "printf writes another decimal point";
    const char* formats[] = {"%4.0f", "%2.1f", "%3.0f", "%3.2f",  "%3.1f",  "%2.2f", "%1.2f",
                             "%2.0f", "%5.0f", "%4.1f", "%08.3f", "%-7.2f", "%+5.1f"};
    const double values[] = {0,      -0.0, 0.005, 0.015,  0.125,    1.125, 2.5,   99.95, -99.95,
                             1234.5, 1e-7, -1e-7, 0.0625, 123456.5, 1e20,  -3.75, 0.045, 1.0 / 3};
    for (const char* f : formats)
        for (double v : values) {
            char expected[128];
            std::snprintf(expected, sizeof expected, f, v);
            EXPECT_EQ(Fmt(f, v), QString::fromLatin1(expected)) << f << " " << v;
        }
}

// Only one conversion of the shapes above goes to the number writer; anything else is a plain
// number, so that a format from a settings file can never read or write past its value.
TEST(FormatParameterValue, OtherFormatsGiveAPlainNumber) {
    for (const char* f : {"%s", "%n", "%p", "%x", "%e", "%4.0f %4.0f", "%*d", "%ld", "%Lf", "%123f", "%1.123f",
                          "%", "abc", "100%", "%4.0F", "%'d", "%1$f", "%.-1f", "%4.0f%n%d", "%-"})
        EXPECT_EQ(Fmt(f, 12.5), "12.5") << f;
    EXPECT_EQ(Fmt("%s", 0.1f), "0.1"); // a Single shows as its own shortest text
    EXPECT_EQ(Fmt("%s", 1.0 / 3), "0.3333333333333333");
    EXPECT_EQ(Fmt("", 12.5), "");
    EXPECT_EQ(Fmt("%4.0f", std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(Fmt("%d", 1e30), "1e+30");
}

// ---------------------------------------------------------------------------------------------
// Tables

TEST_F(Catalogue, TablesIndexesAndTitles) {
    // Every axis of every table starts with ten steps over its range.
    for (const TParameterTable* table : {&StrokeParameters, &IntervalParameters, &SessionParameters,
                                         &SplitParameters})
        for (const ParameterType& p : *table)
            EXPECT_FLOAT_EQ(p.AxisIncrement, (p.AxisMax - p.AxisMin) / 10) << p.Caption.toStdString();
    // Each index entry names the row with that id; building again gives no longer tables.
    BuildStrokeParameters();
    ASSERT_EQ(StrokeParameters.size(), 42u);
    ASSERT_EQ(StrokeParameterIndex.size(), 26u);
    for (int id = 0; id < 26; ++id) {
        const int row = StrokeParameterIndex[static_cast<std::size_t>(id)];
        EXPECT_EQ(row < 0 ? -1 : StrokeParameters[static_cast<std::size_t>(row)].Id, id == 4 ? -1 : id) << id;
    }
    EXPECT_EQ(StrokeParameterTitle(1), "Power (W)");
    EXPECT_EQ(StrokeParameterTitle(0), "Stroke"); // no unit
}

TEST_F(Catalogue, IndexesOutsideATableGiveNothing) {
    const TStgStrokeData s = CraftedStroke();
    const TStgIni ini = TimeLimit(600);
    for (int i : {-1, 42, 1000, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(GetStrokeParameterValue(s, i, ini), 0) << i;
        EXPECT_EQ(StrokeParameterSeriesKind(i), kSeriesPoints) << i;
        EXPECT_TRUE(StrokeParameterTitle(i).isEmpty());
        EXPECT_TRUE(StrokeParameterLongTitle(i).isEmpty());
        EXPECT_TRUE(FormatStrokeParameter(s, i, ini).isEmpty());
    }
    TStgInterval interval;
    interval.Stroke = s;
    TTraining t;
    t.Workout.Distance = 100;
    for (int i : {-1, 22}) {
        EXPECT_EQ(GetIntervalParameterValue(interval, i), 0);
        EXPECT_TRUE(FormatIntervalParameter(interval, i).isEmpty());
        EXPECT_EQ(GetSessionParameterValue(t, i == 22 ? 7 : i), 0);
        EXPECT_TRUE(FormatSessionParameterTrimmed(t, i == 22 ? 7 : i).isEmpty());
        EXPECT_TRUE(SplitParameterTitle(i == 22 ? 21 : i).isEmpty());
    }
}

// ---------------------------------------------------------------------------------------------
// Formulas

TEST_F(Catalogue, EveryStrokeFormula) {
    const double speed = 10.0 / 2.4; // 1000 cm per (2 + 1) x 0.8 s
    const double avgSpeed = 600.0 / 150;
    const double mph = 2.2369362920544025;
    const double expected[kStrokeParameterCount] = {
        40, 250, 230, 24, 240, Days(150), 140, 600, 1000, Days(110.5),  // 0..9
        700, 25, 150, 4.5, 610, 45, 32, 0.8, 1.6, 2.4,                  // 10..19
        2, speed, 0.75, 3, 12, 210,                                     // 20..25
        Days(150), Days(450), Days(600), 600, 1800, 2400, 40, 120, 160, // elapsed, remaining, projected
        speed * 3.6, speed * mph, Days(125), avgSpeed, avgSpeed * 3.6, avgSpeed * mph, 16,
    };
    const TStgStrokeData s = CraftedStroke();
    const TStgIni ini = TimeLimit(600);
    for (int i = 0; i < kStrokeParameterCount; ++i)
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, i, ini), static_cast<float>(expected[i]))
            << i << " " << StrokeParameterCaption(i).toStdString();
}

TEST_F(Catalogue, StrokeValuesFormatted) {
    TStgStrokeData s = CraftedStroke();
    const TStgIni ini = TimeLimit(600);
    for (auto [column, text] : {std::pair{1, " 250"}, {9, "01:50.5"}, {19, "2.40"}, {27, "07:30"}, {41, "16.0"}})
        EXPECT_EQ(FormatStrokeParameter(s, column, ini), text) << column;
    s.Est500mTime = 95.3f;
    EXPECT_EQ(FormatStrokeParameter(s, 9, ini), "01:35.3");
    s.Time = 3725;
    EXPECT_EQ(FormatStrokeParameter(s, 5, ini), "1:02:05");
    EXPECT_EQ(FormatStrokeParameter(s, 27, TimeLimit(0)), "-1:02:05");
}

TEST_F(Catalogue, SpeedsWithoutTimeOrDistanceAreZero) {
    TStgStrokeData s;
    s.DistancePerStroke = 1000;
    s.DriveTime = 1.0f;
    s.DriveRatio = 1.0f;
    const TStgIni ini;
    EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 21, ini), 5.0f);
    EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 35, ini), 18.0f);
    // Never a division fault.
    for (int i : {21, 35, 36, 37, 38, 39, 40, 41})
        EXPECT_EQ(GetStrokeParameterValue(TStgStrokeData{}, i, ini), 0) << i;
    // A stroke without a ratio (its recovery was not measured) has no stroke time, so no speed.
    s.DriveRatio = 0;
    for (int i : {18, 19, 21, 35, 36})
        EXPECT_EQ(GetStrokeParameterValue(s, i, ini), 0) << i;
    EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 17, ini), 1.0f);
}

TEST_F(Catalogue, ProjectionFollowsTheSessionLimit) {
    const TStgStrokeData s = CraftedStroke(); // 40 strokes, 25 kJ, 600 m, 150 s, interval 3
    struct Case {
        std::int32_t limit;
        std::int32_t TStgIni::*target;
        std::int32_t value;
    };
    // Each target is four times what the stroke has reached, so every projection is x 4.
    const Case cases[] = {{0, &TStgIni::LimitStrokes, 160},
                          {1, &TStgIni::LimitEnergy, 100},
                          {2, &TStgIni::LimitDistance, 2400},
                          {3, &TStgIni::LimitTime, 600},
                          {4, &TStgIni::LimitIntervals, 12}};
    for (const Case& c : cases) {
        TStgIni ini;
        ini.SessionLimit = c.limit;
        ini.*c.target = c.value;
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 28, ini), static_cast<float>(Days(600))) << c.limit;
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 31, ini), 2400) << c.limit;
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 33, ini), 120) << c.limit;
        // Another limit's target does not count.
        ini.SessionLimit = (c.limit + 1) % 5;
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 31, ini), 0) << c.limit;
    }
    // Without a target, and with an unknown limit, nothing is projected.
    TStgIni unknown = TimeLimit(600);
    unknown.SessionLimit = 5;
    for (const TStgIni& ini : {TimeLimit(0), unknown}) {
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 27, ini), static_cast<float>(Days(-150)));
        EXPECT_EQ(GetStrokeParameterValue(s, 28, ini), 0);
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 30, ini), -600);
        EXPECT_FLOAT_EQ(GetStrokeParameterValue(s, 33, ini), -40);
    }
    // Past the target the projection is the target and what remains is negative.
    const TStgIni passed = TimeLimit(100);
    EXPECT_NEAR(GetStrokeParameterValue(s, 28, passed) * 86400.0, 100, 1e-3);
    EXPECT_EQ(FormatStrokeParameter(s, 27, passed), "-00:50");
    EXPECT_NEAR(GetStrokeParameterValue(s, 31, passed), 400, 1e-3);
}

TEST_F(Catalogue, EveryIntervalAndSessionFormula) {
    TStgInterval interval;
    interval.Number = 2;
    interval.AvgPower = 180;
    interval.AvgRate = 22;
    interval.Time = 300;
    interval.Distance = 1200;
    interval.AvgPulse = 140;
    interval.Stroke = CraftedStroke();
    const double expected[kIntervalParameterCount] = {
        2,  180, 22,   Days(300), 1200, 140, 4,   40,  140, Days(110.5), 700,
        25, 4.5, 1000, 610,       45,   32,  0.8, 1.6, 2.4, 2,           0.75,
    };
    for (int i = 0; i < kIntervalParameterCount; ++i)
        EXPECT_FLOAT_EQ(GetIntervalParameterValue(interval, i), static_cast<float>(expected[i]))
            << i << " " << IntervalParameterCaption(i).toStdString();
    EXPECT_EQ(FormatIntervalParameter(interval, 3), "05:00.0");
    EXPECT_EQ(FormatIntervalParameter(interval, 1), "180.0");
    interval.Time = 0;
    EXPECT_EQ(GetIntervalParameterValue(interval, 6), 0);

    TTraining t;
    t.StrokeData.resize(41); // strokes 1..40 and the average
    t.Workout = {2000, 480, 120, 250};
    const double session[kSessionParameterCount] = {2000, Days(480), 120, 250, 40, Days(120), 5};
    for (int i = 0; i < kSessionParameterCount; ++i) {
        EXPECT_FLOAT_EQ(GetSessionParameterValue(t, i), static_cast<float>(session[i])) << i;
        EXPECT_EQ(GetSessionParameterValue(TTraining{}, i), 0) << i;
    }
    EXPECT_EQ(FormatSessionParameter(t, 4), "  40");
    EXPECT_EQ(FormatSessionParameterTrimmed(t, 4), "40");
    EXPECT_EQ(FormatSessionParameterTrimmed(t, 0), "2000 m");
    EXPECT_EQ(FormatSessionParameterTrimmed(t, 5), "02:00.0 m:s");
    EXPECT_EQ(FormatSessionParameterTrimmed(t, 6), "5.0 /min");
}

// The session's stroke rate, power and 500 m time lie within its strokes' own, whatever its
// totals say.
TEST_F(Catalogue, SessionAveragesWithinTheStrokes) {
    struct Part {
        int Strokes;
        float Rate, Power, Pace;  // each stroke's as kept: /min, W, s per 500 m
        float Seconds, Metres;    // what each stroke covered
    };
    struct Totals {
        float Time, Distance, AvgPower;
    };
    const struct {
        const char* What;
        std::vector<Part> Parts;
        Totals Stored;
        double Rate, Power, Pace;
    } cases[] = {
        // The engine's first stroke: no rate, power or 500 m time, only its drive's time, but
        // its energy.
        {"first stroke", {{1, 0, 0, 0, 0.75f, 0.5f}, {4, 20, 90, 150, 3, 10}}, {12.75f, 40.5f, 100}, 20, 90, 150},
        // Two strokes after a reset: the totals, kept to an eighth of a second, a metre and a
        // kilojoule, would give 173.1 W and 2:05.6 per 500 m.
        {"two strokes",
         {{1, 18, 170, 127.25f, 3.375f, 13}, {1, 19, 176, 125.75f, 3.125f, 12.875f}},
         {6.5f, 25.875f, 173.125f},
         (18 * 3.375 + 19 * 3.125) / 6.5,
         (170 * 3.375 + 176 * 3.125) / 6.5,
         (127.25 * 13 + 125.75 * 12.875) / 25.875},
        // 20.87 a minute kept as 21, 181.6 W as 182.
        {"rounded", {{1, 0, 0, 0, 1, 0.5f}, {10, 21, 182, 120, 2.875f, 12}}, {29.75f, 120.5f, 185.5f}, 21, 182, 120},
        // A rest after the last stroke runs the session time on.
        {"rest at the end", {{1, 0, 0, 0, 1, 0.5f}, {9, 24, 150, 125, 2.5f, 10}}, {323.5f, 90.5f, 10.5f}, 24, 150, 125},
        // A stop between two intervals: the first stroke after it took 30 s.
        {"stop between",
         {{1, 0, 0, 0, 1, 0.5f}, {4, 24, 200, 110, 2.5f, 11.5f}, {1, 2, 20, 250, 30, 60}, {4, 24, 200, 110, 2.5f, 11.5f}},
         {51, 152.5f, 94},
         60.0 * 9 / 50,
         (8 * 200 * 2.5 + 20 * 30) / 50.0,
         (8 * 110 * 11.5 + 250 * 60) / (8 * 11.5 + 60)},
        // Values without times or distances: their mean.
        {"no totals", {{1, 24.25f, 250.5f, 110.5f, 0, 0}, {1, 20, 200, 120, 0, 0}}, {7200, 2000, 30}, 22.125, 225.25, 115.25},
        // No stroke values at all: the totals'.
        {"no values", {{40, 0, 0, 0, 0, 0}}, {480, 2000, 250}, 5, 250, 120},
        // A session at its first stroke from rest: a stroke in time, but none of its values yet
        // (its totals would give 160 /min and 25:00 per 500 m against none).
        {"first stroke alone", {{1, 0, 0, 0, 0.375f, 0.125f}}, {0.375f, 0.125f, 8}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        TTraining t;
        t.StrokeData.resize(1);
        t.StrokeData[0] = {.Power = 999, .StrokeRate = 99, .Est500mTime = 1};  // the average is no stroke
        float time = 0, distance = 0;
        for (const Part& p : c.Parts)
            for (int k = 0; k < p.Strokes; ++k) {
                time += p.Seconds;
                distance += p.Metres;
                t.StrokeData.push_back({.Number = Word(t.StrokeData.size()), .Power = p.Power, .StrokeRate = p.Rate,
                                        .Time = time, .Distance = distance, .Est500mTime = p.Pace});
            }
        t.Workout = {c.Stored.Distance, c.Stored.Time, 0, c.Stored.AvgPower};
        EXPECT_FLOAT_EQ(GetSessionParameterValue(t, 6), float(c.Rate)) << c.What;
        EXPECT_FLOAT_EQ(GetSessionParameterValue(t, 3), float(c.Power)) << c.What;
        EXPECT_FLOAT_EQ(GetSessionParameterValue(t, 5), float(c.Pace / 86400)) << c.What;
    }
}
