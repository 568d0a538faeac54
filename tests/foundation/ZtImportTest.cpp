#include "foundation/files/TrainingFiles.h"
#include "support/FileHelpers.h"
#include "support/StrZtBuilder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

std::array<std::uint8_t, 28> WorkoutOfType(std::uint8_t type) {
    std::array<std::uint8_t, 28> w{};
    w[0] = type;
    w[1] = 5;  // intervals
    w[2] = 12; // minutes
    w[3] = 30; // seconds
    PutWord(w, 4, 3000);
    PutWord(w, 6, 500);
    PutWord(w, 8, 250);
    PutWord(w, 12, 2000);
    PutWord(w, 14, 400);
    PutWord(w, 16, 300);
    PutWord(w, 18, 100);
    PutWord(w, 20, 20);
    PutWord(w, 22, 10);
    w[24] = 2; // work minutes
    w[25] = 1; // rest minutes
    w[26] = 30;
    w[27] = 15;
    return w;
}

TZtStart Start(TZtFileKind kind, std::uint16_t k, std::uint16_t n, std::uint16_t m, std::uint8_t type = 0) {
    TZtStart s;
    s.Kind = kind;
    s.Versions = {3, 2, 1, 9};
    s.K = k;
    s.N = n;
    s.M = m;
    s.User = {4, 11, 82, 0xFF};
    s.Workout = WorkoutOfType(type);
    return s;
}

std::vector<std::uint8_t> Force(std::initializer_list<std::uint8_t> first, std::uint8_t last = 0) {
    std::vector<std::uint8_t> f(76, 0);
    std::copy(first.begin(), first.end(), f.begin());
    f[75] = last;
    return f;
}

bool Decode(const std::vector<std::uint8_t>& b, TZtFileKind kind, TTraining& t) {
    t = TTraining{};
    SetStrokeCount(t, 0);
    return DecodeZtFile(b.data(), b.size(), kind, t);
}

TZtStrokeBlock Stroke(std::uint16_t number, std::uint32_t distance) {
    TZtStrokeBlock s;
    s.Number = number;
    s.Distance = distance;
    s.Time = 1000u * number;
    s.Power = 1000;
    s.Energy = 5000;
    s.Length = 140;
    return s;
}

std::vector<std::uint8_t> EmptySession() {
    return ZtSessionBytes(0, 0, 0, 0);
}

} // namespace

TEST(ZtsFile, SessionConvertsEveryField) {
    TZtStrokeBlock s1;
    s1.K = 2500000000u;
    s1.DriveTime = 85000;
    s1.Energy = 7005;
    s1.Power = 2455;
    s1.DriveRatio = 215;
    s1.Est500mTime = 1053;
    s1.WorkPerPulse = 54;
    s1.Length = 150;
    s1.StrokeRate = 28;
    s1.Pulse = 140;
    s1.IntervalNumber = 1;
    s1.Number = 1;
    s1.Distance = 9000;
    s1.EnergySum = 123456;
    s1.Time = 3500;
    s1.AvgPower = 2401;
    s1.TimeLeft = 605;
    s1.IntervalPower = 250;
    s1.DistanceLeft = 77;
    TZtStrokeBlock s2 = Stroke(2, 10500);
    s2.Energy = 6000;
    s2.Length = 160;
    TZtStrokeBlock s3 = Stroke(3, 12000);
    TZtStrokeBlock first = s1; // the first run is replaced by the second
    first.Power = 9999;
    first.Distance = 1;

    const auto bytes = JoinBytes({Start(ztkSession, 2, 3, 3, 20).Bytes(), first.Bytes(), Force({100, 255}, 1),
                                  s2.Bytes(), Force({10, 20, 30, 20}), s1.Bytes(), s2.Bytes(), s3.Bytes(),
                                  ZtIntervalBytes(605, 2455, 500), ZtIntervalBytes(1200, 1999, 65535),
                                  ZtSessionBytes(2000500, 1234567, 480250, 2501)});
    TTraining t;
    ASSERT_TRUE(Decode(bytes, ztkSession, t));

    EXPECT_EQ(t.Header.Note, "ZtIV file. SW=3, HW=2, MR=1, BL=9");
    EXPECT_EQ(t.Header.CurrentStroke, 0);
    EXPECT_EQ(t.Ini.Boat, 4);
    EXPECT_EQ(t.Ini.Sprocket, 1); // code 11: big right
    EXPECT_EQ(t.Ini.Weight, 82);
    EXPECT_EQ(t.Ini.SessionLimit, 4);
    EXPECT_EQ(t.Ini.IntervalBy, 3);
    EXPECT_EQ(t.Ini.LimitIntervals, 5);
    EXPECT_EQ(t.Ini.WorkTime, 150);
    EXPECT_EQ(t.Ini.RestTime, 75);

    ASSERT_EQ(t.StrokeData.size(), 4u);
    const TStgStrokeData& a = t.StrokeData[1];
    EXPECT_FLOAT_EQ(a.K, 2.5f);
    EXPECT_FLOAT_EQ(a.DriveTime, 0.85f);
    EXPECT_FLOAT_EQ(a.Energy, 700.5f);
    EXPECT_FLOAT_EQ(a.Power, 245.5f);
    EXPECT_FLOAT_EQ(a.DriveRatio, 2.15f);
    EXPECT_FLOAT_EQ(a.Est500mTime, 105.3f);
    EXPECT_FLOAT_EQ(a.WorkPerPulse, 5.4f);
    EXPECT_EQ(a.Length, 150.0f);
    EXPECT_EQ(a.StrokeRate, 28.0f);
    EXPECT_EQ(a.Pulse, 140.0f);
    EXPECT_EQ(a.IntervalNumber, 1);
    EXPECT_EQ(a.Number, 1);
    EXPECT_FLOAT_EQ(a.Distance, 9.0f);
    EXPECT_FLOAT_EQ(a.EnergySum, 12.3456f);
    EXPECT_FLOAT_EQ(a.Time, 3.5f);
    EXPECT_FLOAT_EQ(a.AvgPower, 240.1f);
    EXPECT_EQ(a.IntervalPower, 250);
    EXPECT_EQ(a.IntervalCountdown, 60); // 60.5 s left, whole seconds
    EXPECT_EQ(a.TargetPower, 0.0f);
    EXPECT_FLOAT_EQ(a.DistancePerStroke, 900.0f);
    EXPECT_FLOAT_EQ(t.StrokeData[2].DistancePerStroke, 150.0f);
    EXPECT_FLOAT_EQ(t.StrokeData[3].DistancePerStroke, 150.0f);

    const TStgForceCurve& c = t.ForceCurves[1];
    EXPECT_EQ(c.Present, 1);
    EXPECT_EQ(c.Force[0], 575);
    EXPECT_EQ(c.Force[1], 1466);
    EXPECT_EQ(c.Force[75], 5);
    for (std::size_t k = 76; k < 80; ++k)
        EXPECT_EQ(c.Force[k], 0);
    EXPECT_EQ(t.ForceCurves[3].Present, 0);
    // Peak 1466 N at the second sample, 2.2 cm apart.
    EXPECT_EQ(a.PeakForce, 1466.0f);
    EXPECT_FLOAT_EQ(a.PeakForcePos, 4.4f);
    EXPECT_FLOAT_EQ(a.RelPeakForcePos, 4.4f * 100.0f / 150.0f);
    EXPECT_EQ(t.StrokeData[3].PeakForce, 0.0f);

    // Element 0: the average of the strokes after the first that have a curve (stroke 2 only).
    TStgStrokeData avg;
    TStgForceCurve avgCurve;
    AverageStrokes(t.StrokeData, t.ForceCurves, 1, avg, avgCurve);
    EXPECT_EQ(t.StrokeData[0], avg);
    EXPECT_EQ(t.ForceCurves[0], avgCurve);
    EXPECT_FLOAT_EQ(t.StrokeData[0].Energy, 600.0f);
    EXPECT_EQ(t.ForceCurves[0].Force[2], 172); // 30 x 5.75 = 172.5, whole newtons

    ASSERT_EQ(t.Intervals.size(), 2u);
    EXPECT_EQ(t.Intervals[0].Number, 1);
    EXPECT_EQ(t.Intervals[0].Time, 60);
    EXPECT_EQ(t.Intervals[0].AvgPower, 245);
    EXPECT_EQ(t.Intervals[0].Distance, 500);
    EXPECT_EQ(t.Intervals[1].Number, 2);
    EXPECT_EQ(t.Intervals[1].Time, 120);
    EXPECT_EQ(t.Intervals[1].AvgPower, 199);
    EXPECT_EQ(t.Intervals[1].Distance, 65535);

    EXPECT_FLOAT_EQ(t.Workout.Distance, 2000.5f);
    EXPECT_FLOAT_EQ(t.Workout.Energy, 123.4567f);
    EXPECT_FLOAT_EQ(t.Workout.Time, 480.25f);
    EXPECT_FLOAT_EQ(t.Workout.AvgPower, 250.1f);
}

TEST(ZtFile, WorkoutTypesSetTheSessionLimit) {
    struct Case {
        std::uint8_t Type;
        TStgIni Expected;
    };
    const auto ini = [](auto set) {
        TStgIni i;
        i.Boat = 4;
        i.Sprocket = 1;
        i.Weight = 82;
        set(i);
        return i;
    };
    const Case cases[] = {
        {0, ini([](TStgIni& i) { i.SessionLimit = 0; })},
        {1, ini([](TStgIni& i) { i.SessionLimit = 0, i.LimitStrokes = 250; })},
        {2, ini([](TStgIni& i) { i.SessionLimit = 1, i.LimitEnergy = 500; })},
        {3, ini([](TStgIni& i) { i.SessionLimit = 2, i.LimitDistance = 3000; })},
        {4, ini([](TStgIni& i) { i.SessionLimit = 3, i.LimitTime = 750; })},
        {17, ini([](TStgIni& i) {
             i.SessionLimit = 4, i.IntervalBy = 0, i.LimitIntervals = 5, i.WorkStrokes = 20,
             i.RestStrokes = 10;
         })},
        {18, ini([](TStgIni& i) {
             i.SessionLimit = 4, i.IntervalBy = 1, i.LimitIntervals = 5, i.WorkEnergy = 300,
             i.RestEnergy = 100;
         })},
        {19, ini([](TStgIni& i) {
             i.SessionLimit = 4, i.IntervalBy = 2, i.LimitIntervals = 5, i.WorkDistance = 2000,
             i.RestDistance = 400;
         })},
        {20, ini([](TStgIni& i) {
             i.SessionLimit = 4, i.IntervalBy = 3, i.LimitIntervals = 5, i.WorkTime = 150, i.RestTime = 75;
         })},
        {5, ini([](TStgIni&) {})},
        {255, ini([](TStgIni&) {})},
    };
    for (const Case& c : cases) {
        TTraining t;
        ASSERT_TRUE(Decode(Start(ztkUser, 0, 0, 0, c.Type).Bytes(), ztkUser, t)) << int(c.Type);
        EXPECT_EQ(t.Ini, c.Expected) << int(c.Type);
    }
}

TEST(ZtFile, IntervalCountdownFollowsIntervalBy) {
    TZtStrokeBlock s = Stroke(1, 1000);
    s.TimeLeft = 605;
    s.IntervalPower = 250;
    s.DistanceLeft = 77;
    TZtStrokeBlock huge = s;
    huge.TimeLeft = 65535;
    huge.IntervalPower = 65535;
    const std::pair<std::uint8_t, int> cases[] = {{17, 0}, {18, 15125}, {19, 77}, {20, 60}, {3, 0}};
    for (const auto& [type, countdown] : cases) {
        TTraining t;
        ASSERT_TRUE(Decode(JoinBytes({Start(ztkSession, 0, 1, 0, type).Bytes(), s.Bytes(), EmptySession()}),
                           ztkSession, t));
        EXPECT_EQ(t.StrokeData[1].IntervalCountdown, countdown) << int(type);
    }
    // Energy left of 65535 W over 6553.5 s does not fit a Word: it stays at the Word's top.
    TTraining t;
    ASSERT_TRUE(Decode(JoinBytes({Start(ztkSession, 0, 1, 0, 18).Bytes(), huge.Bytes(), EmptySession()}),
                       ztkSession, t));
    EXPECT_EQ(t.StrokeData[1].IntervalCountdown, 65535);
}

TEST(ZtFile, UserAndStrokeFiles) {
    TTraining t;
    TZtStart user = Start(ztkUser, 3, 5, 2);
    user.User = {9, 10, 70, 0}; // an unknown boat; code 10 is the small sprocket
    ASSERT_TRUE(Decode(user.Bytes(), ztkUser, t));
    EXPECT_EQ(t.Ini.Boat, 0);
    EXPECT_EQ(t.Ini.Sprocket, 0);
    EXPECT_EQ(t.Ini.Weight, 70);
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_TRUE(t.Intervals.empty());
    EXPECT_EQ(t.Header.CurrentStroke, 0);

    TZtStrokeBlock s = Stroke(1, 1500);
    ASSERT_TRUE(
        Decode(JoinBytes({Start(ztkStroke, 1, 1, 0).Bytes(), s.Bytes(), Force({200})}), ztkStroke, t));
    ASSERT_EQ(t.StrokeData.size(), 2u);
    EXPECT_FLOAT_EQ(t.StrokeData[1].DistancePerStroke, 150.0f);
    EXPECT_FLOAT_EQ(t.StrokeData[1].Power, 100.0f);
    EXPECT_EQ(t.ForceCurves[1].Force[0], 1150);
    EXPECT_EQ(t.ForceCurves[1].Present, 1);
    EXPECT_EQ(t.StrokeData[1].PeakForce, 0.0f); // not computed for a single stroke file
    EXPECT_EQ(t.Header.CurrentStroke, 1);
    // The average is the one stroke, as after a save as .stg and a reopen.
    EXPECT_FLOAT_EQ(t.StrokeData[0].Power, 100.0f);
    EXPECT_EQ(t.ForceCurves[0].Force[0], 1150);
    const std::vector<std::uint8_t> stg = EncodeStgFile(t);
    TTraining reopened;
    ASSERT_TRUE(DecodeStgFile(stg.data(), stg.size(), reopened));
    EXPECT_EQ(reopened.StrokeData[0], t.StrokeData[0]);
    EXPECT_EQ(reopened.ForceCurves[0], t.ForceCurves[0]);
}

TEST(ZtFile, EmptySessionHasOnlyTotalsAndSettings) {
    const auto bytes =
        JoinBytes({Start(ztkSession, 0, 0, 0, 3).Bytes(), ZtSessionBytes(5000000, 0, 1200000, 0)});
    ASSERT_EQ(bytes.size(), std::size_t{kZtsMinFileSize});
    TTraining t;
    ASSERT_TRUE(Decode(bytes, ztkSession, t));
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_TRUE(t.Intervals.empty());
    EXPECT_EQ(t.Ini.LimitDistance, 3000);
    EXPECT_FLOAT_EQ(t.Workout.Distance, 5000.0f);
    EXPECT_FLOAT_EQ(t.Workout.Time, 1200.0f);
}

TEST(ZtFile, HostileFilesFail) {
    TTraining t;
    const auto session = JoinBytes({Start(ztkSession, 1, 1, 1).Bytes(), Stroke(1, 1000).Bytes(), Force({1}),
                                    Stroke(1, 1000).Bytes(), EmptySession()});
    ASSERT_TRUE(Decode(session, ztkSession, t));
    auto cut = session;
    cut.pop_back();
    EXPECT_FALSE(Decode(cut, ztkSession, t));
    EXPECT_FALSE(Decode(session, ztkStroke, t)); // kind byte 2 is not a stroke file
    TZtStart wrongMagic = Start(ztkUser, 0, 0, 0);
    wrongMagic.Magic = "ZtIW";
    EXPECT_FALSE(Decode(wrongMagic.Bytes(), ztkUser, t));
    // More strokes with curves than strokes.
    EXPECT_FALSE(Decode(Start(ztkUser, 2, 1, 0).Bytes(), ztkUser, t));
    EXPECT_FALSE(Decode(JoinBytes({Start(ztkSession, 2, 1, 0).Bytes(), std::vector<std::uint8_t>(400, 0)}),
                        ztkSession, t));
    // Counts the file cannot hold allocate nothing and fail.
    EXPECT_FALSE(
        Decode(JoinBytes({Start(ztkSession, 0, 65535, 65535).Bytes(), EmptySession()}), ztkSession, t));
    // A stroke file must hold stroke 1.
    EXPECT_FALSE(Decode(JoinBytes({Start(ztkStroke, 0, 0, 0).Bytes(), Stroke(1, 0).Bytes(), Force({})}),
                        ztkStroke, t));
    // Sizes off by one.
    auto user = Start(ztkUser, 0, 0, 0).Bytes();
    auto longer = user;
    longer.push_back(0);
    EXPECT_FALSE(Decode(longer, ztkUser, t));
    user.pop_back();
    EXPECT_FALSE(Decode(user, ztkUser, t));
    auto stroke = JoinBytes({Start(ztkStroke, 1, 1, 0).Bytes(), Stroke(1, 0).Bytes(), Force({})});
    stroke.push_back(0);
    EXPECT_FALSE(Decode(stroke, ztkStroke, t));
    stroke.resize(kZtrFileSize - 1);
    EXPECT_FALSE(Decode(stroke, ztkStroke, t));
}

TEST(ZtFile, OpenThroughTheDispatch) {
    QTemporaryDir dir;
    const auto bytes = JoinBytes({Start(ztkSession, 0, 1, 2, 20).Bytes(), Stroke(1, 1000).Bytes(),
                                  ZtIntervalBytes(600, 2000, 300), EmptySession()});
    const QString zts = dir.filePath(QStringLiteral("Session.ZTS"));
    const QString ztr = dir.filePath(QStringLiteral("renamed.ztr"));
    for (const QString& name : {zts, ztr})
        ASSERT_TRUE(WriteAllBytes(name, bytes));
    TTraining t;
    ASSERT_TRUE(OpenTrainingFile(zts, t, false));
    EXPECT_EQ(t.Header.Title, "Session");
    EXPECT_EQ(t.Header.SourceFileFormat, 10);
    EXPECT_EQ(t.Header.SourceContentKind, 6);
    EXPECT_EQ(t.Header.SourceFileSize, static_cast<std::int32_t>(bytes.size()));
    ASSERT_EQ(t.Intervals.size(), 1u);
    EXPECT_EQ(t.Intervals[0].Number, 1);
    TStgHeader h;
    std::int32_t version = 0;
    EXPECT_TRUE(ReadFileHeader(zts, h, version, false));
    EXPECT_FALSE(ReadFileHeader(ztr, h, version, false)); // 300-odd bytes are no stroke file
    EXPECT_FALSE(OpenTrainingFile(ztr, t, false));
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_TRUE(t.Intervals.empty());
}
