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
    ASSERT_EQ(Training.StrokeData.size(), 3u);
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
    ASSERT_EQ(Training.RawData.size(), 4u);
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

// While the session runs the totals are those of the last stored stroke, warming up too: every
// view and a save read the session so far. An idle record leaves them to the close; a reset
// empties them.
TEST_F(RecorderTest, TotalsFollowTheStoredStrokes) {
    for (const bool warmingUp : {false, true}) {
        Rec.WarmingUp = warmingUp;
        Rec.ResetSession();
        EXPECT_EQ(Training.Workout, TStgWorkout{});
        for (int n = 1; n <= 3; ++n) {
            Row(Steady(n));
            EXPECT_EQ(Training.Workout, (TStgWorkout{10.0f * n, 2.5f * n, 0.25f * n, 100})) << n;
        }
        TStgStrokeData idle = Steady(3, 0);
        idle.Time = 9.1f;
        EXPECT_TRUE(Rec.StrokeData(idle).Idle);
        EXPECT_EQ(Training.Workout.Time, 7.5f);
    }
    Rec.ResetSession();
    EXPECT_EQ(Training.Workout, TStgWorkout{});
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

// A rower who stops in every rest, three intervals. Work: steady strokes (2.5 s, 10 m, 250 J,
// pulse 120). Rest: an easy stroke 5 s after the last work stroke (10 m, 125 J), a stop, then
// strokes again. While the rower stands, one kind of source sends an idle record every 2 s
// (a flywheel), the other nothing (the training module sends stroke frames only). By strokes
// and distance the rest is rowed out in easy strokes; by time the rower starts again at the
// beep, early or late: the first drive ends `Start` s after the rest's end. A stroke belongs to
// the part in which it ends; a work part by time runs from the rest's end.
struct RestStopCase {
    const char* Name;
    int By, Work, Rest;
    bool IdleRecords;
    double First, Start;  // time only: the first drive's end in interval 1 and after each rest
    struct Part {
        int Strokes;
        double Seconds;
        int Metres;
    } Parts[3];
    bool SteadyPower;  // the live interval power of every work stroke is the rower's 100 W
};

class RestStopTest : public RecorderTest, public ::testing::WithParamInterface<RestStopCase> {};

TEST_P(RestStopTest, SummariesCoverTheWorkParts) {
    const RestStopCase& c = GetParam();
    Intervals(3, 0, 0);
    Training.Ini.IntervalBy = c.By;
    int* work[] = {&Training.Ini.WorkStrokes, nullptr, &Training.Ini.WorkDistance, &Training.Ini.WorkTime};
    int* rest[] = {&Training.Ini.RestStrokes, nullptr, &Training.Ini.RestDistance, &Training.Ini.RestTime};
    *work[c.By] = c.Work;
    *rest[c.By] = c.Rest;
    const bool byTime = c.By == 3;

    TStgStrokeData at;  // where the rower is
    const auto stroke = [&](float seconds, float joules) {
        at.Number = Word(at.Number + 1);
        at.Time = seconds;
        at.Distance += 10;
        at.EnergySum += joules / 1000;
        TStgStrokeData s = Steady(at.Number);
        s.Time = at.Time, s.Distance = at.Distance, s.EnergySum = at.EnergySum;
        Row(s);
    };
    const auto stand = [&](double until) {  // idle records while the rower stands
        for (float t = at.Time + 2; c.IdleRecords && t < until; t += 2) {
            TStgStrokeData idle = at;
            idle.Time = t;
            ASSERT_TRUE(Rec.StrokeData(idle).Idle);
        }
    };
    double beep = 0;
    for (int interval = 1; interval <= 3 && !Rec.Finished(); ++interval) {
        // Work until the recorder goes into the rest.
        float t = float(byTime ? beep + (interval == 1 ? c.First : c.Start) : at.Time + 2.5);
        while (!Rec.Finished() && !(Rec.CurrentInterval() == interval && Rec.IntervalPhase() == 1)) {
            const int before = Rec.IntervalPhase();
            stroke(t, 250);
            if (c.SteadyPower && before == 0 && Rec.IntervalPhase() == 0) {  // the last shows the rest
                EXPECT_EQ(Training.StrokeData[at.Number].IntervalPower, 100) << "stroke " << at.Number;
            }
            t += 2.5f;
        }
        if (Rec.Finished())
            break;
        // The rest.
        stroke(at.Time + 5, 125);
        if (byTime) {
            beep = 90.0 * interval;
            stand(beep + c.Start - 1);  // the next drive takes a second
            continue;
        }
        stand(at.Time + 30);
        at.Time += 30;
        while (Rec.IntervalPhase() == 1)
            stroke(at.Time + 5, 125);
    }
    ASSERT_TRUE(Rec.Finished());
    ASSERT_EQ(Training.Intervals.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const TStgInterval& iv = Training.Intervals[std::size_t(i)];
        const RestStopCase::Part& e = c.Parts[i];
        SCOPED_TRACE(iv.Number);
        EXPECT_EQ(iv.Stroke.Number, e.Strokes);
        EXPECT_FLOAT_EQ(iv.Stroke.Time, float(e.Seconds));
        EXPECT_EQ(iv.Distance, e.Metres);
        EXPECT_EQ(iv.AvgPower, FloatToWord(250.0 * e.Strokes / e.Seconds));
        EXPECT_EQ(iv.AvgRate, FloatToWord(e.Strokes / (e.Seconds / 60)));
        EXPECT_EQ(iv.AvgPulse, 120);
    }
}

constexpr RestStopCase::Part kTen{10, 25, 100}, kFive{5, 12.5, 50};
constexpr RestStopCase::Part kBeep{25, 61, 250}, kEarly{25, 61.5, 250}, kLate{24, 61.5, 240};
constexpr RestStopCase::Part kWhole{24, 60, 240};

INSTANTIATE_TEST_SUITE_P(
    Programmes, RestStopTest,
    ::testing::Values(RestStopCase{"ByStrokes", 0, 5, 3, true, 0, 0, {kFive, kFive, kFive}, true},
                      RestStopCase{"ByStrokesSilent", 0, 5, 3, false, 0, 0, {kFive, kFive, kFive}, true},
                      RestStopCase{"ByDistance", 2, 100, 50, true, 0, 0, {kTen, kTen, kTen}, true},
                      RestStopCase{"ByDistanceSilent", 2, 100, 50, false, 0, 0, {kTen, kTen, kTen}, true},
                      RestStopCase{"ByTimeAtTheBeep", 3, 60, 30, true, 1, 1, {kBeep, kBeep, kBeep}, false},
                      RestStopCase{"ByTimeAtTheBeepSilent", 3, 60, 30, false, 2.5, 2.5, {kWhole, kWhole, kWhole},
                                   false},
                      RestStopCase{"ByTimeEarly", 3, 60, 30, true, 1, -1, {kBeep, kEarly, kEarly}, false},
                      RestStopCase{"ByTimeEarlySilent", 3, 60, 30, false, 1, -1, {kBeep, kEarly, kEarly}, false},
                      RestStopCase{"ByTimeLate", 3, 60, 30, true, 1, 4, {kBeep, kLate, kLate}, false},
                      RestStopCase{"ByTimeLateSilent", 3, 60, 30, false, 1, 4, {kBeep, kLate, kLate}, false}),
    [](const auto& info) { return std::string(info.param.Name); });

// Intervals without a work period would end a work part at every stroke: the programme does not
// run, and the strokes are recorded as in a session without a goal.
TEST_F(RecorderTest, NoProgrammeWithoutAWorkPeriod) {
    Intervals(2, 0, 2);
    for (int n = 1; n <= 12; ++n)
        EXPECT_FALSE(Row(Steady(n)).IntervalEnded) << n;
    EXPECT_FALSE(Rec.Finished());
    EXPECT_TRUE(Training.Intervals.empty());
    EXPECT_EQ(Training.StrokeData[12].IntervalNumber, 0);
    Rec.Closing();
    EXPECT_EQ(Training.Workout.Distance, 120.0f);
}

// The first stroke has no ratio (no recovery before it): the interval's ratio is that of the
// strokes that have one.
TEST_F(RecorderTest, IntervalRatioOfTheStrokesWithOne) {
    Intervals(1, 3, 0);
    TStgStrokeData first = Steady(1, 0);
    first.DriveRatio = 0;
    Row(first);
    Row(Steady(2));
    ASSERT_TRUE(Row(Steady(3)).IntervalEnded);
    EXPECT_EQ(Training.Intervals[0].Stroke.DriveRatio, RoundToEighth(2.01f));
}

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

// The arrays hold the strokes and samples recorded, at every stroke; the room for more is
// reserved, so that storing does not reallocate each time.
TEST_F(RecorderTest, ArraysEndAtWhatIsRecorded) {
    const auto strokes = Training.StrokeData.data();
    const auto raws = Training.RawData.capacity();
    for (int n = 1; n <= 150; ++n) {
        Row(Steady(n));
        for (int k = 0; k < 7; ++k)
            Rec.RawData(0.01, 150, 150, true);
        ASSERT_EQ(Training.StrokeData.size(), std::size_t(n + 1)) << n;
        ASSERT_EQ(Training.ForceCurves.size(), std::size_t(n + 1)) << n;
        ASSERT_EQ(Training.RawData.size(), std::size_t(7 * n + 1)) << n;
        ASSERT_EQ(Training.StrokeData.back().Number, n);
    }
    EXPECT_EQ(Training.StrokeData.data(), strokes);
    EXPECT_EQ(Training.RawData.capacity(), raws);
    // A stroke number that jumps numbers the strokes between.
    Row(Steady(153));
    ASSERT_EQ(Training.StrokeData.size(), 154u);
    EXPECT_EQ(Training.StrokeData[152].Number, 152);
    EXPECT_EQ(Training.ForceCurves[152].Present, 0);
}

// Element 0 is the average of the strokes so far at every stroke, kept up at the same cost
// per stroke: energy and length as AverageStrokes gives them, the curve within 2 N (plateaus
// of single curves are smoothed in the sums), also after a curve sent later replaced a
// stroke's; exact once the session closes.
TEST_F(RecorderTest, SessionAverageFollowsEveryStroke) {
    Training.Ini.SessionLimit = 0;
    Training.Ini.LimitStrokes = 0;
    TStgStrokeData peak;
    for (int n = 1; n <= 60; ++n) {
        TStgStrokeData s = Steady(n, n == 1 ? 0.0f : 100.0f + n % 9);
        s.Length = 120.0f + float(n * 7 % 23);
        s.Energy = 280.0f + float(n % 11);
        if (n == 17)
            s.Power = 0;  // a stroke without power is left out
        Rec.StartingStroke();
        const int top = 15 + n % 5;  // a plateau at the peak, longer in some curves
        for (int k = 1; k <= 40; ++k)
            Rec.ForceData(k, k * 3.5, 12.0 * (k <= top ? k : k <= top + n % 3 ? top : 2 * top + n % 3 - k));
        Rec.StartingRecover();
        Rec.StrokeData(s);
        if (n % 4 == 1) {
            // A curve sent after its stroke takes the place of the live one in the average too
            // (stroke 17's, without power, stays out).
            TStgForceCurve sent;
            for (int k = 0; k < 30; ++k)
                sent.Force[std::size_t(k)] = Word(25 * (k < 12 ? k + 1 : 30 - k) + n);
            Rec.ForceCurve(sent);
        }
        TStgStrokeData exact;
        TStgForceCurve exactCurve;
        AverageStrokes(Training.StrokeData, Training.ForceCurves, Training.Ini.Sprocket, exact, exactCurve);
        const TStgStrokeData& avg = Training.StrokeData[0];
        ASSERT_EQ(avg.Energy, exact.Energy) << n;
        ASSERT_EQ(avg.Length, exact.Length) << n;
        for (std::size_t k = 0; k < exactCurve.Force.size(); ++k)
            ASSERT_NEAR(Training.ForceCurves[0].Force[k], exactCurve.Force[k], 2) << n << " sample " << k;
        ASSERT_NEAR(avg.PeakForce, exact.PeakForce, 2) << n;
    }
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
