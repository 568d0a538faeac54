// The stroke recorder fed with made-up stroke records and samples: storage rounding, idle
// records, the interval programme, the goal's interpolated totals and the live values.
#include "foundation/recording/StrokeRecorder.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "foundation/values/ValueData.h"

#include <gtest/gtest.h>

namespace {

// A steady rower: stroke n at 2.5 n s, 10 n m, 0.25 n kJ (100 W), pulse 120.
TStgStrokeData Steady(int n, float power = 120) {
    return {.Number = Word(n), .Power = power, .AvgPower = 120.4f, .StrokeRate = 24, .Time = 2.5f * n,
            .Length = 140.3f, .Distance = 10.0f * n, .Energy = 300.2f, .EnergySum = 0.25f * n, .Pulse = 120,
            .DriveRatio = 2.01f, .DriveTime = 0.83f};
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildStrokeParameters();
        InitUserSettings(Training.Ini);
        Training.Ini.SessionLimit = 2;
        Training.Ini.LimitDistance = 0;
        Rec.Training = [this] { return &Training; };
        Rec.ResetSession();
    }

    // An interval programme by strokes.
    void Intervals(int limit, int work, int rest) {
        Training.Ini.SessionLimit = 4;
        Training.Ini.LimitIntervals = limit;
        Training.Ini.IntervalBy = 0;
        Training.Ini.WorkStrokes = work;
        Training.Ini.RestStrokes = rest;
    }

    // Live force samples of one drive (a triangle peaking at sample 10), then the stroke.
    TStrokeOutcome Row(const TStgStrokeData& s) {
        Rec.StartingStroke();
        for (int k = 1; k <= 20; ++k)
            Rec.ForceData(k, k * 7.0, k <= 10 ? k * 50.0 : (20 - k) * 50.0);
        Rec.StartingRecover();
        return Rec.StrokeData(s);
    }

    TTraining Training;
    TStrokeRecorder Rec;
};

TEST_F(RecorderTest, StoresStrokesRoundedWithCurveAndPeak) {
    ASSERT_FALSE(Row(Steady(1, 0)).Idle);  // the engine's first stroke has no power
    Row(Steady(2));
    ASSERT_EQ(Training.StrokeData.size(), std::size_t(2 + kStrokeGrowth));
    EXPECT_EQ(Training.Header.CurrentStroke, 2);

    const TStgForceCurve& none = Training.ForceCurves[1];
    EXPECT_EQ(none.Present, 0);
    EXPECT_EQ(none.Force, TStgForceCurve{}.Force);
    const TStgForceCurve& curve = Training.ForceCurves[2];
    EXPECT_EQ(curve.Number, 2);
    EXPECT_EQ(curve.Present, 1);
    EXPECT_EQ(curve.Force[0], 50);  // sample 1 is element 0
    EXPECT_EQ(curve.Force[9], 500);
    EXPECT_EQ(curve.Force[19], 0);

    TStgStrokeData expected = Steady(2);
    CalcPeakForce(expected, curve, Training.Ini.Sprocket);
    TStgStrokeData rounded;
    RoundStroke(expected, rounded);
    EXPECT_EQ(Training.StrokeData[2], rounded);
    EXPECT_EQ(Training.StrokeData[2].Length, 140.0f);
    EXPECT_EQ(Training.StrokeData[2].PeakForcePos, 22.0f);  // 10 x 2.2 cm
    EXPECT_EQ(Training.StrokeData[2].DriveTime, 0.875f);
}

TEST_F(RecorderTest, LiveForceSamples) {
    struct Case {
        int Strokes, Puls;
        double Force, Kept;
        int Slot;  // curve element written, -1 none
    } cases[] = {
        {0, 3, 1200, 0, 2}, {0, 10, 1200, 1200, 9}, {1, 3, 1200, 1200, 2},
        {0, 5, -20, 0, 4},  {0, 80, 300, 300, 79},  {0, 81, 300, 300, -1},
    };
    for (const Case& c : cases) {
        Rec.ResetSession();
        if (c.Strokes)
            Rec.StrokeData(Steady(1));
        Rec.StartingStroke();
        EXPECT_EQ(Rec.ForceData(c.Puls, 10, c.Force), c.Kept) << c.Puls << " " << c.Force;
        if (c.Slot >= 0) {
            EXPECT_EQ(Rec.LiveCurve().Force[std::size_t(c.Slot)], FloatToWord(c.Kept));
        }
        EXPECT_EQ(Rec.LiveSampleCount(), c.Slot >= 0 ? c.Puls : 0);
    }
}

TEST_F(RecorderTest, RawSamplesClampedAndTrimmedAtClose) {
    Rec.RawData(0.2, 150, 150, true);     // 122800 ticks
    Rec.RawData(0.001, 300, 150, true);   // heart keeps its low byte
    Rec.RawData(0.0010008, 70, 70, true); // 614.49 ticks
    ASSERT_EQ(Training.RawData.size(), std::size_t(1 + kRawGrowth));
    EXPECT_EQ(Training.RawData[1], (TStgRawData{65535, 150}));
    EXPECT_EQ(Training.RawData[2], (TStgRawData{614, 44}));
    EXPECT_EQ(Training.RawData[3].Interval, 614);
    Rec.Closing();
    EXPECT_EQ(Training.RawData.size(), 4u);
}

TEST_F(RecorderTest, GoalInterpolatesTotals) {
    Training.Ini.LimitDistance = 1000;
    TStgStrokeData a = Steady(1), b = Steady(2);
    a.Distance = 996, a.Time = 200, a.EnergySum = 50;
    b.Distance = 1006, b.Time = 205, b.EnergySum = 52;
    EXPECT_FALSE(Row(a).Finished);
    const TStrokeOutcome out = Row(b);
    EXPECT_TRUE(out.Finished);
    EXPECT_TRUE(Rec.Finished());
    EXPECT_EQ(Training.State, 4);
    EXPECT_EQ(Training.StrokeData.size(), 3u);  // the arrays end at the last stroke
    EXPECT_EQ(Training.Workout.Distance, 1000.0f);
    EXPECT_EQ(Training.Workout.Time, 202.0f);
    EXPECT_EQ(Training.Workout.Energy, 50.75f);  // 50.8 to an eighth
    EXPECT_EQ(Training.Workout.AvgPower, RoundToEighth(SafeDivide(50.8f * 1000, 202)));
    // Nothing more is recorded, and closing keeps the goal's totals.
    EXPECT_TRUE(Rec.StrokeData(Steady(3)).Ignored);
    Rec.Closing();
    EXPECT_EQ(Training.Workout.Distance, 1000.0f);
}

TEST_F(RecorderTest, IdleRecordsAreKeptApart) {
    Training.Ini.SessionLimit = 3;
    Training.Ini.LimitTime = 20;
    for (int n = 1; n <= 7; ++n)
        Row(Steady(n));  // stroke 7 at 17.5 s
    const TStgStrokeData seven = Training.StrokeData[7];
    const TStgForceCurve curve = Training.ForceCurves[7];
    TStgStrokeData idle{.Number = 7, .Time = 19, .Distance = 70, .EnergySum = 2.1f};
    TStrokeOutcome out = Rec.StrokeData(idle);
    EXPECT_TRUE(out.Idle);
    EXPECT_FALSE(out.Finished);
    EXPECT_EQ(Training.StrokeData[7], seven);
    EXPECT_EQ(Training.ForceCurves[7], curve);
    EXPECT_EQ(Rec.StrokeCount(), 7);

    idle.Time = 22.5f;  // the time goal passes while the rower rests
    out = Rec.StrokeData(idle);
    EXPECT_TRUE(out.Finished);
    EXPECT_EQ(Training.Workout.Time, 20.0f);
    EXPECT_EQ(Training.Workout.Distance, 70.0f);
    EXPECT_EQ(Training.StrokeData.size(), 8u);
}

TEST_F(RecorderTest, ClosingTotalsTakeTheLatestRecord) {
    for (int n = 1; n <= 4; ++n)
        Row(Steady(n));
    TStgStrokeData idle = Steady(4, 0);
    idle.Time = 14.3f;
    Rec.StrokeData(idle);
    Rec.Closing();
    EXPECT_EQ(Training.StrokeData.size(), 5u);
    EXPECT_EQ(Training.Workout.Time, 14.25f);
    EXPECT_EQ(Training.Workout.Distance, 40.0f);
    EXPECT_EQ(Training.Workout.Energy, 1.0f);
    EXPECT_EQ(Training.Workout.AvgPower, RoundToEighth(SafeDivide(1000, 14.25f)));
}

struct IntervalCase {
    const char* Name;
    int Limit, Work, Rest;
    int EndStroke;                 // the stroke that finishes the session
    std::vector<int> StrokesEach;  // strokes counted in each interval summary
};

class IntervalTest : public RecorderTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(IntervalTest, EndsAfterTheLastWorkPart) {
    const IntervalCase& c = GetParam();
    Intervals(c.Limit, c.Work, c.Rest);
    int n = 0;
    while (!Rec.Finished() && n < 100)
        Row(Steady(++n));
    EXPECT_EQ(n, c.EndStroke);
    ASSERT_EQ(Training.Intervals.size(), c.StrokesEach.size());
    for (std::size_t i = 0; i < c.StrokesEach.size(); ++i) {
        const TStgInterval& iv = Training.Intervals[i];
        const int k = c.StrokesEach[i];
        EXPECT_EQ(iv.Number, i + 1);
        EXPECT_EQ(iv.Stroke.Number, k);
        EXPECT_EQ(iv.Time, FloatToWord(2.5 * k));
        EXPECT_EQ(iv.Distance, 10 * k);
        EXPECT_EQ(iv.AvgPower, 100);  // 250 J per 2.5 s
        EXPECT_EQ(iv.AvgRate, 24);
        EXPECT_EQ(iv.AvgPulse, 120);
        EXPECT_FLOAT_EQ(iv.Stroke.Est500mTime, 125);
    }
    EXPECT_EQ(Training.Workout.Distance, 10.0f * c.EndStroke);
}

INSTANTIATE_TEST_SUITE_P(
    Programmes, IntervalTest,
    ::testing::Values(IntervalCase{"ThreeWithRest", 3, 3, 2, 13, {3, 3, 3}},
                      IntervalCase{"OneInterval", 1, 3, 2, 3, {3}},
                      IntervalCase{"NoRest", 2, 3, 0, 6, {3, 3}}),
    [](const auto& info) { return std::string(info.param.Name); });

// A rower who stops in every rest: an easy stroke (5 s, 10 m, 125 J), a stop of 30 s (idle
// records every 2 s), then easy strokes until the rest is over. Each summary, and the live interval power
// of each work stroke, covers the steady work strokes alone.
struct RestStopCase {
    const char* Name;
    int By, Work, Rest;
    int WorkStrokes;  // steady strokes in each work part
};

class RestStopTest : public RecorderTest, public ::testing::WithParamInterface<RestStopCase> {};

TEST_P(RestStopTest, SummariesCoverTheWorkOnly) {
    const RestStopCase& c = GetParam();
    Intervals(3, 0, 0);
    Training.Ini.IntervalBy = c.By;
    int* work[] = {&Training.Ini.WorkStrokes, nullptr, &Training.Ini.WorkDistance, &Training.Ini.WorkTime};
    int* rest[] = {&Training.Ini.RestStrokes, nullptr, &Training.Ini.RestDistance, &Training.Ini.RestTime};
    *work[c.By] = c.Work;
    *rest[c.By] = c.Rest;

    TStgStrokeData at;  // where the rower is
    int idle = 0, records = 0;
    while (!Rec.Finished() && ++records < 500) {
        const bool resting = Rec.IntervalPhase() == 1;
        if (!resting)
            idle = 0;
        if (resting && idle > 0 && idle <= 15) {
            at.Time += 2;
            ++idle;
            ASSERT_TRUE(Rec.StrokeData(at).Idle);
            continue;
        }
        const bool easy = resting;
        idle += easy ? 1 : 0;
        at.Number = Word(at.Number + 1);
        at.Time += easy ? 5.0f : 2.5f;
        at.Distance += 10;
        at.EnergySum += easy ? 0.125f : 0.25f;
        TStgStrokeData s = Steady(at.Number);
        s.Time = at.Time, s.Distance = at.Distance, s.EnergySum = at.EnergySum;
        Row(s);
        if (!easy && Rec.IntervalPhase() == 0) {  // the stroke ending a work part shows the rest
            const TStgStrokeData& stored = Training.StrokeData[at.Number];
            EXPECT_EQ(stored.IntervalPower, 100) << "stroke " << at.Number;
        }
    }
    ASSERT_TRUE(Rec.Finished());
    ASSERT_EQ(Training.Intervals.size(), 3u);
    const int k = c.WorkStrokes;
    for (const TStgInterval& iv : Training.Intervals) {
        SCOPED_TRACE(iv.Number);
        EXPECT_EQ(iv.Stroke.Number, k);
        EXPECT_EQ(iv.Time, FloatToWord(2.5 * k));
        EXPECT_EQ(iv.Distance, 10 * k);
        EXPECT_EQ(iv.AvgPower, 100);
        EXPECT_EQ(iv.AvgRate, 24);
        EXPECT_EQ(iv.AvgPulse, 120);
    }
}

INSTANTIATE_TEST_SUITE_P(Programmes, RestStopTest,
                         ::testing::Values(RestStopCase{"ByStrokes", 0, 5, 3, 5},
                                           RestStopCase{"ByDistance", 2, 100, 50, 10},
                                           RestStopCase{"ByTime", 3, 60, 30, 24}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RecorderTest, IntervalFieldsOfEveryStroke) {
    Intervals(3, 3, 0);
    for (int n = 1; n <= 4; ++n)
        Row(Steady(n));
    struct Fields {
        Word Number, Countdown, Power;
    } expected[] = {{1, 2, 100}, {1, 1, 100}, {1, 0, 100}, {2, 2, 100}};
    for (int n = 1; n <= 4; ++n) {
        const TStgStrokeData& s = Training.StrokeData[std::size_t(n)];
        EXPECT_EQ(s.IntervalNumber, expected[n - 1].Number) << n;
        EXPECT_EQ(s.IntervalCountdown, expected[n - 1].Countdown) << n;
        EXPECT_EQ(s.IntervalPower, expected[n - 1].Power) << n;
    }
}

TEST_F(RecorderTest, WarmUpRecordsWithoutGoal) {
    Training.Ini.LimitDistance = 15;
    Rec.WarmingUp = true;
    for (int n = 1; n <= 3; ++n)
        EXPECT_FALSE(Row(Steady(n)).Finished);
    EXPECT_EQ(Rec.StrokeCount(), 3);
    Rec.WarmingUp = false;
    Rec.ResetSession();
    EXPECT_TRUE(IsEmptyTraining(Training));
    Row(Steady(1));
    EXPECT_TRUE(Row(Steady(2)).Finished);
}

TEST_F(RecorderTest, SavedSessionReadsBackAsRecorded) {
    Intervals(2, 20, 5);
    int n = 0;
    while (!Rec.Finished()) {
        ++n;
        TStgStrokeData s = Steady(n, n == 1 ? 0.0f : 100.0f + n % 7);
        s.Length = 130.37f + n % 5;
        s.Energy = 280.19f + n;
        s.K = 1.07f * n;
        Row(s);
        for (int k = 0; k < 50; ++k)
            Rec.RawData(0.01 + k * 1e-4, 150, 150, true);
    }
    Rec.Closing();
    const std::vector<std::uint8_t> bytes = EncodeStgFile(Training);
    TTraining read;
    ASSERT_TRUE(DecodeStgFile(bytes.data(), bytes.size(), read));
    EXPECT_EQ(read.StrokeData, Training.StrokeData);
    EXPECT_EQ(read.ForceCurves, Training.ForceCurves);
    EXPECT_EQ(read.Intervals, Training.Intervals);
    EXPECT_EQ(read.RawData, Training.RawData);
    EXPECT_EQ(read.Workout, Training.Workout);
}

TEST_F(RecorderTest, SessionAverageRenewedAtGrowingDistances) {
    std::vector<int> renewed;
    for (int n = 1; n <= 80; ++n) {
        const int due = Rec.AverageDue();
        Row(Steady(n, 100.0f + n));
        if (n == due)
            renewed.push_back(n);
    }
    EXPECT_EQ(renewed, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                         19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 34, 36,
                                         38, 40, 42, 44, 46, 48, 51, 54, 57, 60, 63, 66, 70, 74, 78}));
    Rec.Closing();
    TTraining exact = Training;
    SetAverageStroke(exact);
    EXPECT_EQ(Training.StrokeData[0], exact.StrokeData[0]);
    EXPECT_EQ(Training.ForceCurves[0], exact.ForceCurves[0]);
}

TEST_F(RecorderTest, LiveValuesCountDownToTheGoal) {
    TValueData values;
    for (int i : {0, 5, 7, 12})
        values.DefineValue(i, "c", "h", "%f");
    Rec.Values = &values;
    Training.Ini.LimitDistance = 25;
    Rec.UpdateTargets();
    EXPECT_EQ(values.FindItem(7)->Value, 25);
    EXPECT_EQ(values.FindItem(5)->Value, 0);

    Row(Steady(1));
    EXPECT_EQ(values.FindItem(7)->Value, 15);
    EXPECT_EQ(values.FindItem(0)->Value, 1);
    EXPECT_EQ(values.FindItem(12)->History[kValueHistoryLength - 1], 120);
    Row(Steady(2));
    EXPECT_EQ(values.FindItem(7)->Value, 5);
    Rec.RawData(0.01, 150, 133, false);  // pattern not steady yet: the heart rate shows live
    EXPECT_EQ(values.FindItem(12)->Value, 133);

    Training.Ini.SessionLimit = 3;
    Training.Ini.LimitTime = 3600;
    Rec.UpdateTargets();
    EXPECT_DOUBLE_EQ(values.FindItem(5)->Value, 3600.0 / 86400);
    Rec.WarmingUp = true;  // no countdown while warming up
    Row(Steady(3));
    EXPECT_NEAR(values.FindItem(5)->Value, 7.5 / 86400, 1e-9);
}

}  // namespace
