#include "foundation/files/TrainingFiles.h"

#include "support/FakePrompt.h"
#include "support/FileHelpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

TTraining RecordedTraining(int strokes) {
    TTraining t;
    SetStrokeCount(t, strokes);
    for (std::size_t i = 1; i <= std::size_t(strokes); ++i) {
        t.StrokeData[i].Time = 2.5f * float(i);
        t.ForceCurves[i].Present = 1;
    }
    t.Workout = {100, 12.5f, 3, 240};
    t.Header.Title = "Morning", t.Header.Color = 0x008000, t.Header.PenWidth = 3, t.Header.SourceFileName = "old.zts";
    t.Ini.Weight = 72;
    t.Recorded = 1;
    return t;
}

} // namespace

TEST(TrainingDefaults, ColoursCycleThroughFifteenFromRed) {
    NextTrainingColor();
    RestartTrainingColors();  // as at program start
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(NextTrainingColor(), ColorValues[i % 15]) << i;
    EXPECT_EQ(ColorValues[0], 0x0000FFu);  // red
}

TEST(TrainingDefaults, HeaderStartsFromZero) {
    TStgHeader h;
    h.FileName = "x.stg";
    h.Modified = 1;
    h.Reserved = 7;
    h.IntervalIndex = 4;
    const TDateTime before = Now();
    InitTrainingHeader(h);
    EXPECT_EQ(h.Title, "Anyone");
    EXPECT_EQ(h.Name, "Anyone");
    EXPECT_TRUE(h.FileName.empty());
    EXPECT_EQ((std::vector<int>{h.Modified, h.Reserved, h.IntervalIndex, h.PenWidth, h.Active, h.SourceProgram}),
              (std::vector<int>{0, 0, 0, 2, 1, 5}));
    EXPECT_GE(h.Date, before);
    EXPECT_LE(h.Date, Now());
    TStgHeader other;
    InitTrainingHeader(other);
    EXPECT_NE(h.Guid, other.Guid);
}

TEST(StrokeCount, GrowingNumbersOnlyNewElementsAndZeroClearsTheAverage) {
    TTraining t;
    SetStrokeCount(t, 2);
    ASSERT_EQ(t.ForceCurves.size(), 3u);
    for (Word i = 0; i <= 2; ++i) {
        EXPECT_EQ(t.StrokeData[i].Number, i);
        EXPECT_EQ(t.ForceCurves[i].Number, i);
    }
    t.StrokeData[1].Number = 77;
    t.StrokeData[2].Power = 150;
    t.ForceCurves[2].Present = 1;
    SetStrokeCount(t, 3);
    ASSERT_EQ(t.StrokeData.size(), 4u);
    EXPECT_EQ(t.StrokeData[1].Number, 77);
    EXPECT_EQ(t.StrokeData[2].Power, 150);
    EXPECT_EQ(t.ForceCurves[2].Present, 1);
    EXPECT_EQ(t.ForceCurves[3].Number, 3);
    SetStrokeCount(t, 1); // shrinking keeps the rest as it was
    ASSERT_EQ(t.ForceCurves.size(), 2u);
    EXPECT_EQ(t.StrokeData[1].Number, 77);

    t.StrokeData[0].Power = 200;
    t.ForceCurves[0].Force[5] = 300;
    SetStrokeCount(t, 0);
    EXPECT_EQ(t.StrokeData, std::vector<TStgStrokeData>(1));
    EXPECT_EQ(t.ForceCurves, std::vector<TStgForceCurve>(1));
    // Other negative counts than -1 change nothing.
    const TTraining before = t;
    SetStrokeCount(t, -2);
    EXPECT_EQ(t, before);
}

TEST(StrokeCount, TrimCutsTrailingStrokesWithoutTimeAndRepairsTheCurves) {
    TTraining t = RecordedTraining(5);
    t.StrokeData[4].Time = 0;
    t.StrokeData[5].Time = 0;
    t.StrokeData[2].Time = 0; // a gap inside stays
    SetStrokeCount(t, -1);
    EXPECT_EQ(t.StrokeData.size(), 4u);
    EXPECT_EQ(t.ForceCurves.size(), 4u);
    EXPECT_EQ(t.ForceCurves[3].Present, 1);

    for (auto& s : t.StrokeData)
        s.Time = 0;
    t.StrokeData[0].Time = 9; // the average element does not count
    SetStrokeCount(t, -1);
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_EQ(t.ForceCurves.size(), 1u);

    TTraining outOfStep;
    outOfStep.StrokeData.resize(4);
    outOfStep.StrokeData[3].Time = 1;
    SetStrokeCount(outOfStep, -1);
    ASSERT_EQ(outOfStep.ForceCurves.size(), 4u);
    EXPECT_EQ(outOfStep.ForceCurves[3].Number, 3);
}

TEST(IntervalCount, GrowsNeverShrinksAndEmptiesOnZero) {
    TTraining t;
    SetIntervalCount(t, 2);
    t.Intervals[1].AvgPower = 180;
    SetIntervalCount(t, 1);
    SetIntervalCount(t, -5);
    EXPECT_EQ(t.Intervals.size(), 2u);
    SetIntervalCount(t, 4);
    ASSERT_EQ(t.Intervals.size(), 4u);
    EXPECT_EQ((std::vector<int>{t.Intervals[1].Number, t.Intervals[1].AvgPower, t.Intervals[3].Number}),
              (std::vector<int>{2, 180, 4}));
    SetIntervalCount(t, 0);
    EXPECT_TRUE(t.Intervals.empty());
}

TEST(EmptyTraining, OnlyAverageElementsAndNoTotals) {
    TTraining t;
    EXPECT_TRUE(IsEmptyTraining(t));
    SetStrokeCount(t, 0);
    t.RawData.resize(1);
    EXPECT_TRUE(IsEmptyTraining(t));
    t.RawData.resize(2);
    EXPECT_FALSE(IsEmptyTraining(t));
    t.RawData.clear();
    t.Workout.AvgPower = 0.001f;
    EXPECT_FALSE(IsEmptyTraining(t));
    t.Workout = {};
    SetIntervalCount(t, 1);
    EXPECT_FALSE(IsEmptyTraining(t));
    SetIntervalCount(t, 0);
    SetStrokeCount(t, 1);
    EXPECT_FALSE(IsEmptyTraining(t));
}

TEST(EmptyTraining, UserContent) {
    // Content kind, source content kind, user content.
    const std::tuple<int, int, bool> cases[] = {{0, 0, false}, {7, 0, true}, {8, 0, true},
                                                {6, 0, false}, {6, 7, true}, {6, 8, false}};
    for (auto [kind, source, user] : cases) {
        TTraining t;
        t.Header.ContentKind = static_cast<std::uint8_t>(kind);
        t.Header.SourceContentKind = static_cast<std::uint8_t>(source);
        EXPECT_EQ(IsUserContent(t), user) << kind << " " << source;
    }
}

TEST(Reset, EmptiesButKeepsIdentityAndSettings) {
    TTraining t = RecordedTraining(4);
    SetIntervalCount(t, 2);
    t.RawData.resize(10);
    TStgHeader& stored = t.Header;
    stored.FileName = "a.stg", stored.FileSize = 5000, stored.FileFormat = 5, stored.ContentKind = 6;
    stored.CurrentStroke = 4, stored.InterfaceType = 3, stored.Protocol = kvpVSU, stored.Active = 0;
    t.Id = 103;
    const TGUID oldGuid = t.Header.Guid;

    ResetTraining(t);
    EXPECT_TRUE(IsEmptyTraining(t));
    EXPECT_EQ(t.Magic, TrainingMagic);
    EXPECT_EQ((std::vector<int>{t.Version, t.Id}), (std::vector<int>{int(GetFileVersionInt()), 103}));
    EXPECT_EQ(t.Header.FileName, "?");
    const TStgHeader& h = t.Header;
    EXPECT_EQ((std::vector<int>{h.FileSize, h.FileFormat, h.ContentKind, h.CurrentStroke, h.InterfaceType,
                                h.Protocol, h.Modified, h.Active, t.Recorded}),
              (std::vector<int>{0, 0, 7, 0, 0, kvpUnknown, 1, 1, 0}));
    EXPECT_NE(t.Header.Guid, oldGuid);
    // Kept: the look, the source and the rower.
    EXPECT_EQ(t.Header.Title + t.Header.SourceFileName, "Morningold.zts");
    EXPECT_EQ((std::vector<int>{t.Header.Color, t.Header.PenWidth, t.Ini.Weight}), (std::vector<int>{0x008000, 3, 72}));
}

TEST(Reset, ConfirmAsksOnlyWhenThereIsDataWithTheCallersText) {
    struct Case {
        TMsgResult Answer;
        int Reason;
        const char* Text;
    };
    const Case cases[] = {
        {TMsgResult::Yes, 1,
         "Connecting again will reset the current training session.\nDo you wish to continue?"},
        {TMsgResult::No, 2,
         "Resetting the current training session will erase all recorded data.\nDo you wish to continue?"},
        {TMsgResult::No, 0, "Changing this value will reset the training session.\nDo you wish to continue?"},
        {TMsgResult::No, 9, "Do you wish to continue?"},
    };
    for (const Case& c : cases) {
        TFakePrompt prompt(c.Answer);
        TTraining t = RecordedTraining(2);
        const TTraining before = t;
        bool wasReset = c.Answer == TMsgResult::No;
        EXPECT_EQ(ConfirmResetTraining(t, c.Reason, wasReset), c.Answer == TMsgResult::Yes) << c.Reason;
        EXPECT_EQ(wasReset, c.Answer == TMsgResult::Yes);
        EXPECT_EQ(IsEmptyTraining(t), c.Answer == TMsgResult::Yes);
        if (c.Answer == TMsgResult::No) {
            EXPECT_EQ(t, before);
        }
        EXPECT_EQ(prompt.Texts, QStringList{c.Text});
        EXPECT_EQ(prompt.Kind, TMsgKind::Confirmation);
        EXPECT_EQ(prompt.Buttons, TMsgButtons::YesNoDefaultNo);
    }
    // Nothing to lose: no question. No prompt: no reset.
    TFakePrompt prompt(TMsgResult::No);
    TTraining empty;
    bool wasReset = true;
    EXPECT_TRUE(ConfirmResetTraining(empty, 0, wasReset));
    EXPECT_FALSE(wasReset);
    EXPECT_TRUE(prompt.Texts.isEmpty());
    SetPrompt(nullptr);
    TTraining t = RecordedTraining(1);
    wasReset = true;
    EXPECT_FALSE(ConfirmResetTraining(t, 0, wasReset));
    EXPECT_FALSE(wasReset);
    EXPECT_FALSE(IsEmptyTraining(t));
}

TEST(Rounding, StrokeFieldsToWholesAndEighths) {
    TStgStrokeData s{.Number = 7, .Power = 250.5f, .AvgPower = 251.5f, .StrokeRate = 27.4f, .TargetPower = 0.5f,
                     .Time = 61.0625f, .Length = 140.6f, .Distance = 250.1875f, .Est500mTime = 110.3f,
                     .Energy = 850.49f, .EnergySum = 12.04f, .Pulse = 151.5f, .WorkPerPulse = 5.6f,
                     .PeakForce = 612.5f, .PeakForcePos = 30.2f, .RelPeakForcePos = 21.5f, .DriveRatio = 1.95f,
                     .K = 0.8f, .IntervalNumber = 2, .IntervalCountdown = 40, .IntervalPower = 200,
                     .DriveTime = 0.77f, .DistancePerStroke = 980.3f};
    // Wholes and eighths, ties to even (250.5 -> 250, 251.5 -> 252, 61.0625 -> 61).
    const TStgStrokeData expected{.Number = 7, .Power = 250, .AvgPower = 252, .StrokeRate = 27, .TargetPower = 0,
                                  .Time = 61, .Length = 141, .Distance = 250.25f, .Est500mTime = 110.25f,
                                  .Energy = 850, .EnergySum = 12, .Pulse = 152, .WorkPerPulse = 5.625f,
                                  .PeakForce = 612, .PeakForcePos = 30, .RelPeakForcePos = 22, .DriveRatio = 2,
                                  .K = 0.75f, .IntervalNumber = 2, .IntervalCountdown = 40, .IntervalPower = 200,
                                  .DriveTime = 0.75f, .DistancePerStroke = 980.25f};
    TStgStrokeData d;
    RoundStroke(s, d);
    EXPECT_EQ(d, expected);
    RoundStroke(s, s); // in place
    EXPECT_EQ(s, expected);

    TStgWorkout w;
    RoundBlockToEighths(TStgWorkout{2000.0625f, 421.1875f, 35.3f, 83.95f}, w);
    EXPECT_EQ(w, (TStgWorkout{2000, 421.25f, 35.25f, 84}));
}

TEST(HeaderTexts, EmptyValuesShowADash) {
    EXPECT_EQ(FormatHeaderText(""), "-");
    EXPECT_EQ(FormatHeaderText("Caf\xe9"), QString::fromUtf8("Caf\u00e9"));
    for (double bad : {0.0, 0.999, 73000.0, -5.0, std::nan("")})
        EXPECT_EQ(FormatHeaderDate(bad), "-") << bad;
    EXPECT_EQ(FormatFileKind(0, 5), "-");
    EXPECT_EQ(FormatFileKind(6, 5), "Training (STG)");
    EXPECT_EQ(FormatFileKind(200, 200), "- (-)");
}

TEST(HeaderTexts, DatesUseTheLocaleAndDropMidnight) {
    const QLocale locale = QLocale::system();
    // 2020-05-17 is day 43968.
    const QString day = locale.toString(QDate(2020, 5, 17), QLocale::ShortFormat);
    EXPECT_EQ(FormatHeaderDate(43968.0), day);
    const QString withTime = FormatHeaderDate(43968.5);
    EXPECT_TRUE(withTime.startsWith(day + " ") && withTime.contains("12")) << withTime.toStdString();
    EXPECT_EQ(FormatHeaderDate(1.0), locale.toString(QDate(1899, 12, 31), QLocale::ShortFormat));
}

TEST(HeaderTexts, FileSizePrefersTheFileOnDisk) {
    QTemporaryDir dir;
    const QString name = dir.filePath("t.stg");
    EXPECT_EQ(FormatFileSize(name, 1234), "1234 bytes");
    EXPECT_EQ(FormatFileSize(name, 0), "-");
    EXPECT_EQ(FormatFileSize(QString(), -3), "-");
    ASSERT_TRUE(WriteAllBytes(name, QByteArray("12345")));
    EXPECT_EQ(FormatFileSize(name, 1234), "5 bytes");
}
