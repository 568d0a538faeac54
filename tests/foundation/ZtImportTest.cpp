#include "foundation/files/TrainingFiles.h"
#include "support/FileHelpers.h"
#include "support/RecordPrinters.h"
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
    for (auto [at, value] : {std::pair{4, 3000}, {6, 500}, {8, 250}, {12, 2000}, {14, 400}, {16, 300}, {18, 100},
                             {20, 20}, {22, 10}})
        PutWord(w, std::size_t(at), std::uint16_t(value));
    w[24] = 2; // work minutes
    w[25] = 1; // rest minutes
    w[26] = 30;
    w[27] = 15;
    return w;
}

TZtStart Start(TZtFileKind kind, std::uint16_t k, std::uint16_t n, std::uint16_t m, std::uint8_t type = 0) {
    return {.Kind = std::uint8_t(kind), .Versions = {3, 2, 1, 9}, .K = k, .N = n, .M = m, .User = {4, 11, 82, 0xFF},
            .Workout = WorkoutOfType(type)};
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
    return {.Energy = 5000, .Power = 1000, .Length = 140, .Number = number, .Distance = distance,
            .Time = 1000u * number};
}

std::vector<std::uint8_t> EmptySession() {
    return ZtSessionBytes(0, 0, 0, 0);
}

} // namespace

TEST(ZtsFile, SessionConvertsEveryField) {
    const TZtStrokeBlock s1{.K = 2500000000u, .DriveTime = 85000, .Energy = 7005, .Power = 2455, .DriveRatio = 215,
                            .Est500mTime = 1053, .WorkPerPulse = 54, .Length = 150, .StrokeRate = 28, .Pulse = 140,
                            .IntervalNumber = 1, .Number = 1, .Distance = 9000, .EnergySum = 123456, .Time = 3500,
                            .AvgPower = 2401, .TimeLeft = 605, .IntervalPower = 250, .DistanceLeft = 77};
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
    // Sprocket code 11: big right.
    EXPECT_EQ(t.Ini, (TStgIni{.Weight = 82, .Boat = 4, .Sprocket = 1, .SessionLimit = 4, .LimitIntervals = 5,
                              .IntervalBy = 3, .WorkTime = 150, .RestTime = 75}));

    ASSERT_EQ(t.StrokeData.size(), 4u);
    // 60.5 s left counts down in whole seconds; peak 1466 N at the second sample, 2.2 cm apart.
    EXPECT_EQ(t.StrokeData[1],
              (TStgStrokeData{.Number = 1, .Power = 245.5f, .AvgPower = 240.1f, .StrokeRate = 28, .Time = 3.5f,
                              .Length = 150, .Distance = 9, .Est500mTime = 105.3f, .Energy = 700.5f,
                              .EnergySum = 12.3456f, .Pulse = 140, .WorkPerPulse = 5.4f, .PeakForce = 1466,
                              .PeakForcePos = 4.4f, .RelPeakForcePos = 4.4f * 100.0f / 150.0f, .DriveRatio = 2.15f,
                              .K = 2.5f, .IntervalNumber = 1, .IntervalCountdown = 60, .IntervalPower = 250,
                              .DriveTime = 0.85f, .DistancePerStroke = 900}));
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
    const auto summary = [](const TStgInterval& i) {
        return std::vector<int>{i.Number, i.Time, i.AvgPower, i.Distance};
    };
    EXPECT_EQ(summary(t.Intervals[0]), (std::vector<int>{1, 60, 245, 500}));
    EXPECT_EQ(summary(t.Intervals[1]), (std::vector<int>{2, 120, 199, 65535}));
    EXPECT_EQ(t.Workout, (TStgWorkout{2000.5f, 480.25f, 123.4567f, 250.1f}));
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
