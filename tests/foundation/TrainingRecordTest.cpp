#include "foundation/files/TrainingFiles.h"

#include "foundation/core/Prompt.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// Answers every question with a fixed answer and keeps what was asked.
class TFakePrompt : public TPrompt {
public:
    explicit TFakePrompt(TMsgResult answer) : FAnswer(answer) { SetPrompt(this); }
    ~TFakePrompt() override { SetPrompt(nullptr); }
    TMsgResult Ask(const QString& text, TMsgKind kind, TMsgButtons buttons) override {
        Texts.append(text);
        Kind = kind;
        Buttons = buttons;
        return FAnswer;
    }
    QStringList Texts;
    TMsgKind Kind = TMsgKind::Information;
    TMsgButtons Buttons = TMsgButtons::Ok;

private:
    TMsgResult FAnswer;
};

TTraining RecordedTraining(int strokes) {
    TTraining t;
    SetStrokeCount(t, strokes);
    for (int i = 1; i <= strokes; ++i) {
        t.StrokeData[static_cast<std::size_t>(i)].Time = 2.5f * static_cast<float>(i);
        t.ForceCurves[static_cast<std::size_t>(i)].Present = 1;
    }
    t.Workout = {100, 12.5f, 3, 240};
    t.Header.Title = "Morning";
    t.Header.Color = 0x008000;
    t.Header.PenWidth = 3;
    t.Header.SourceFileName = "old.zts";
    t.Ini.Weight = 72;
    t.Recorded = 1;
    return t;
}

} // namespace

TEST(TrainingDefaults, UserSettings) {
    TStgIni ini;
    for (auto field : StgIniFields)
        ini.*field = 9;
    InitUserSettings(ini);
    TStgIni expected;
    expected.Weight = 80;
    expected.Sprocket = 1;
    expected.SessionLimit = 2;
    expected.StartValue = 150;
    expected.StepRest = 10;
    expected.IntervalBy = 3;
    expected.WorkTime = 60;
    expected.RestTime = 30;
    EXPECT_EQ(ini, expected);
}

TEST(TrainingDefaults, ColoursCycleThroughFifteen) {
    // Other tests may have taken colours already: check the cycle from wherever it stands.
    std::vector<TColor> got;
    for (int i = 0; i < 16; ++i)
        got.push_back(NextTrainingColor());
    const auto first = std::find(ColorValues.begin(), ColorValues.end(), got[0]);
    ASSERT_NE(first, ColorValues.end());
    const auto start = static_cast<std::size_t>(first - ColorValues.begin());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], ColorValues[(start + i) % 15]) << i;
    EXPECT_EQ(got[15], got[0]);
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
    EXPECT_EQ(h.Modified, 0);
    EXPECT_EQ(h.Reserved, 0);
    EXPECT_EQ(h.IntervalIndex, 0);
    EXPECT_EQ(h.PenWidth, 2);
    EXPECT_EQ(h.Active, 1);
    EXPECT_EQ(h.SourceProgram, 5);
    EXPECT_EQ(TableName(SourceProgramNames, h.SourceProgram), "KvwT");
    EXPECT_GE(h.Date, before);
    EXPECT_LE(h.Date, Now());
    EXPECT_NE(std::find(ColorValues.begin(), ColorValues.end(), static_cast<TColor>(h.Color)),
              ColorValues.end());
    TStgHeader other;
    InitTrainingHeader(other);
    EXPECT_NE(h.Guid, other.Guid);
}

TEST(StrokeCount, GrowingNumbersOnlyNewElements) {
    TTraining t;
    SetStrokeCount(t, 0);
    ASSERT_EQ(t.StrokeData.size(), 1u);
    ASSERT_EQ(t.ForceCurves.size(), 1u);
    SetStrokeCount(t, 2);
    ASSERT_EQ(t.StrokeData.size(), 3u);
    ASSERT_EQ(t.ForceCurves.size(), 3u);
    EXPECT_EQ(t.StrokeData[0].Number, 0);
    EXPECT_EQ(t.ForceCurves[0].Number, 0);
    for (Word i = 1; i <= 2; ++i) {
        EXPECT_EQ(t.StrokeData[i].Number, i);
        EXPECT_EQ(t.ForceCurves[i].Number, i);
        EXPECT_EQ(t.ForceCurves[i].Present, 0);
    }
    t.StrokeData[1].Number = 77;
    t.StrokeData[2].Power = 150;
    t.ForceCurves[2].Present = 1;
    SetStrokeCount(t, 3);
    ASSERT_EQ(t.StrokeData.size(), 4u);
    EXPECT_EQ(t.StrokeData[1].Number, 77);
    EXPECT_EQ(t.StrokeData[2].Power, 150);
    EXPECT_EQ(t.ForceCurves[2].Present, 1);
    EXPECT_EQ(t.StrokeData[3].Number, 3);
    EXPECT_EQ(t.ForceCurves[3].Number, 3);
    // Shrinking keeps the rest as it was.
    SetStrokeCount(t, 1);
    ASSERT_EQ(t.StrokeData.size(), 2u);
    ASSERT_EQ(t.ForceCurves.size(), 2u);
    EXPECT_EQ(t.StrokeData[1].Number, 77);
}

TEST(StrokeCount, ZeroClearsTheAverageElements) {
    TTraining t = RecordedTraining(3);
    t.StrokeData[0].Power = 200;
    t.ForceCurves[0].Force[5] = 300;
    SetStrokeCount(t, 0);
    ASSERT_EQ(t.StrokeData.size(), 1u);
    ASSERT_EQ(t.ForceCurves.size(), 1u);
    EXPECT_EQ(t.StrokeData[0], TStgStrokeData{});
    EXPECT_EQ(t.ForceCurves[0], TStgForceCurve{});
}

TEST(StrokeCount, TrimCutsTrailingStrokesWithoutTime) {
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
}

TEST(StrokeCount, TrimRepairsArraysOutOfStep) {
    TTraining t;
    t.StrokeData.resize(4);
    t.StrokeData[3].Time = 1;
    SetStrokeCount(t, -1);
    ASSERT_EQ(t.ForceCurves.size(), 4u);
    EXPECT_EQ(t.ForceCurves[0].Number, 0);
    EXPECT_EQ(t.ForceCurves[3].Number, 3);
}

TEST(StrokeCount, OtherNegativeCountsChangeNothing) {
    TTraining t = RecordedTraining(2);
    const TTraining before = t;
    SetStrokeCount(t, -2);
    EXPECT_EQ(t, before);
}

TEST(IntervalCount, GrowsNeverShrinksAndEmptiesOnZero) {
    TTraining t;
    SetIntervalCount(t, 2);
    ASSERT_EQ(t.Intervals.size(), 2u);
    EXPECT_EQ(t.Intervals[0].Number, 1);
    EXPECT_EQ(t.Intervals[1].Number, 2);
    t.Intervals[1].AvgPower = 180;
    SetIntervalCount(t, 1);
    EXPECT_EQ(t.Intervals.size(), 2u);
    SetIntervalCount(t, -5);
    EXPECT_EQ(t.Intervals.size(), 2u);
    SetIntervalCount(t, 4);
    ASSERT_EQ(t.Intervals.size(), 4u);
    EXPECT_EQ(t.Intervals[1].AvgPower, 180);
    EXPECT_EQ(t.Intervals[3].Number, 4);
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
    TTraining t;
    EXPECT_FALSE(IsUserContent(t));
    t.Header.ContentKind = 7;
    EXPECT_TRUE(IsUserContent(t));
    t.Header.ContentKind = 8;
    EXPECT_TRUE(IsUserContent(t));
    t.Header.ContentKind = 6;
    EXPECT_FALSE(IsUserContent(t));
    t.Header.SourceContentKind = 7;
    EXPECT_TRUE(IsUserContent(t));
    t.Header.SourceContentKind = 8;
    EXPECT_FALSE(IsUserContent(t));
}

TEST(Reset, EmptiesButKeepsIdentityAndSettings) {
    TTraining t = RecordedTraining(4);
    SetIntervalCount(t, 2);
    t.RawData.resize(10);
    t.Header.FileName = "a.stg";
    t.Header.FileSize = 5000;
    t.Header.FileFormat = 5;
    t.Header.ContentKind = 6;
    t.Header.CurrentStroke = 4;
    t.Header.InterfaceType = 3;
    t.Header.Protocol = kvpVSU;
    t.Header.Active = 0;
    t.Id = 103;
    const TGUID oldGuid = t.Header.Guid;

    ResetTraining(t);
    EXPECT_TRUE(IsEmptyTraining(t));
    EXPECT_EQ(t.Magic, TrainingMagic);
    EXPECT_EQ(t.Version, static_cast<std::int32_t>(GetFileVersionInt()));
    EXPECT_EQ(t.Id, 103);
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_TRUE(t.RawData.empty());
    EXPECT_EQ(t.Header.FileName, "?");
    EXPECT_EQ(t.Header.FileSize, 0);
    EXPECT_EQ(t.Header.FileFormat, 0);
    EXPECT_EQ(t.Header.ContentKind, 7);
    EXPECT_EQ(t.Header.CurrentStroke, 0);
    EXPECT_EQ(t.Header.InterfaceType, 0);
    EXPECT_EQ(t.Header.Protocol, kvpUnknown);
    EXPECT_EQ(t.Header.Modified, 1);
    EXPECT_EQ(t.Header.Active, 1);
    EXPECT_NE(t.Header.Guid, oldGuid);
    EXPECT_EQ(t.Recorded, 0);
    EXPECT_EQ(t.Header.Title, "Morning");
    EXPECT_EQ(t.Header.Color, 0x008000);
    EXPECT_EQ(t.Header.PenWidth, 3);
    EXPECT_EQ(t.Header.SourceFileName, "old.zts");
    EXPECT_EQ(t.Ini.Weight, 72);
}

TEST(Reset, ConfirmAsksOnlyWhenThereIsData) {
    TFakePrompt prompt(TMsgResult::Yes);
    TTraining empty;
    bool wasReset = true;
    EXPECT_TRUE(ConfirmResetTraining(empty, 0, wasReset));
    EXPECT_FALSE(wasReset);
    EXPECT_TRUE(prompt.Texts.isEmpty());

    TTraining t = RecordedTraining(2);
    EXPECT_TRUE(ConfirmResetTraining(t, 1, wasReset));
    EXPECT_TRUE(wasReset);
    EXPECT_TRUE(IsEmptyTraining(t));
    ASSERT_EQ(prompt.Texts.size(), 1);
    EXPECT_EQ(prompt.Texts[0],
              "Connecting again will reset the current training session.\nDo you wish to continue?");
    EXPECT_EQ(prompt.Kind, TMsgKind::Confirmation);
    EXPECT_EQ(prompt.Buttons, TMsgButtons::YesNo);
}

TEST(Reset, DecliningChangesNothing) {
    TFakePrompt prompt(TMsgResult::No);
    TTraining t = RecordedTraining(2);
    const TTraining before = t;
    bool wasReset = true;
    EXPECT_FALSE(ConfirmResetTraining(t, 2, wasReset));
    EXPECT_FALSE(wasReset);
    EXPECT_EQ(t, before);
    EXPECT_FALSE(ConfirmResetTraining(t, 0, wasReset));
    EXPECT_FALSE(ConfirmResetTraining(t, 9, wasReset));
    ASSERT_EQ(prompt.Texts.size(), 3);
    EXPECT_EQ(
        prompt.Texts[0],
        "Resetting the current training session will erase all recorded data.\nDo you wish to continue?");
    EXPECT_EQ(prompt.Texts[1],
              "Changing this value will reset the training session.\nDo you wish to continue?");
    EXPECT_EQ(prompt.Texts[2], "Do you wish to continue?");
}

TEST(Reset, WithoutPromptNothingIsReset) {
    SetPrompt(nullptr);
    TTraining t = RecordedTraining(1);
    bool wasReset = true;
    EXPECT_FALSE(ConfirmResetTraining(t, 0, wasReset));
    EXPECT_FALSE(wasReset);
    EXPECT_FALSE(IsEmptyTraining(t));
}

TEST(Rounding, StrokeFieldsToWholesAndEighths) {
    TStgStrokeData s;
    s.Number = 7;
    s.Power = 250.5f;    // tie -> 250
    s.AvgPower = 251.5f; // tie -> 252
    s.StrokeRate = 27.4f;
    s.TargetPower = 0.5f;
    s.Length = 140.6f;
    s.Energy = 850.49f;
    s.Pulse = 151.5f;
    s.PeakForce = 612.5f;
    s.PeakForcePos = 30.2f;
    s.RelPeakForcePos = 21.5f;
    s.Time = 61.0625f;      // tie -> 61.0
    s.Distance = 250.1875f; // tie -> 250.25
    s.Est500mTime = 110.3f;
    s.EnergySum = 12.04f;
    s.WorkPerPulse = 5.6f;
    s.DriveRatio = 1.95f;
    s.K = 0.8f;
    s.DriveTime = 0.77f;
    s.DistancePerStroke = 980.3f;
    s.IntervalNumber = 2;
    s.IntervalCountdown = 40;
    s.IntervalPower = 200;
    TStgStrokeData d;
    RoundStroke(s, d);
    EXPECT_EQ(d.Number, 7);
    EXPECT_EQ(d.Power, 250);
    EXPECT_EQ(d.AvgPower, 252);
    EXPECT_EQ(d.StrokeRate, 27);
    EXPECT_EQ(d.TargetPower, 0);
    EXPECT_EQ(d.Length, 141);
    EXPECT_EQ(d.Energy, 850);
    EXPECT_EQ(d.Pulse, 152);
    EXPECT_EQ(d.PeakForce, 612);
    EXPECT_EQ(d.PeakForcePos, 30);
    EXPECT_EQ(d.RelPeakForcePos, 22);
    EXPECT_EQ(d.Time, 61.0f);
    EXPECT_EQ(d.Distance, 250.25f);
    EXPECT_EQ(d.Est500mTime, 110.25f);
    EXPECT_EQ(d.EnergySum, 12.0f);
    EXPECT_EQ(d.WorkPerPulse, 5.625f);
    EXPECT_EQ(d.DriveRatio, 2.0f);
    EXPECT_EQ(d.K, 0.75f);
    EXPECT_EQ(d.DriveTime, 0.75f);
    EXPECT_EQ(d.DistancePerStroke, 980.25f);
    EXPECT_EQ(d.IntervalNumber, 2);
    EXPECT_EQ(d.IntervalCountdown, 40);
    EXPECT_EQ(d.IntervalPower, 200);

    RoundStroke(s, s); // in place
    EXPECT_EQ(s, d);
}

TEST(Rounding, WorkoutToEighths) {
    TStgWorkout w{2000.0625f, 421.1875f, 35.3f, 83.95f};
    TStgWorkout d;
    RoundBlockToEighths(w, d);
    EXPECT_EQ(d.Distance, 2000.0f);
    EXPECT_EQ(d.Time, 421.25f);
    EXPECT_EQ(d.Energy, 35.25f);
    EXPECT_EQ(d.AvgPower, 84.0f);
}

TEST(HeaderTexts, EmptyValuesShowADash) {
    EXPECT_EQ(FormatHeaderText(""), "-");
    EXPECT_EQ(FormatHeaderText("Caf\xe9"), QString::fromUtf8("Caf\u00e9"));
    EXPECT_EQ(FormatHeaderDate(0), "-");
    EXPECT_EQ(FormatHeaderDate(0.999), "-");
    EXPECT_EQ(FormatHeaderDate(73000.0), "-");
    EXPECT_EQ(FormatHeaderDate(-5), "-");
    EXPECT_EQ(FormatHeaderDate(std::nan("")), "-");
    EXPECT_EQ(FormatFileKind(0, 5), "-");
    EXPECT_EQ(FormatFileKind(6, 5), "Training (STG)");
    EXPECT_EQ(FormatFileKind(200, 200), "- (-)");
}

TEST(HeaderTexts, DatesUseTheLocaleAndDropMidnight) {
    const QLocale locale = QLocale::system();
    // 2020-05-17 is day 43968.
    EXPECT_EQ(FormatHeaderDate(43968.0), locale.toString(QDate(2020, 5, 17), QLocale::ShortFormat));
    const QString withTime = FormatHeaderDate(43968.5);
    EXPECT_TRUE(withTime.startsWith(locale.toString(QDate(2020, 5, 17), QLocale::ShortFormat) + " "));
    EXPECT_TRUE(withTime.contains("12")) << withTime.toStdString();
    EXPECT_EQ(FormatHeaderDate(1.0), locale.toString(QDate(1899, 12, 31), QLocale::ShortFormat));
}

TEST(HeaderTexts, FileSizePrefersTheFileOnDisk) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("t.stg");
    EXPECT_EQ(FormatFileSize(name, 1234), "1234 bytes");
    EXPECT_EQ(FormatFileSize(name, 0), "-");
    EXPECT_EQ(FormatFileSize(QString(), -3), "-");
    ASSERT_TRUE(WriteAllBytes(name, "12345"));
    EXPECT_EQ(FormatFileSize(name, 1234), "5 bytes");
}

TEST(TrainingCopy, NeverChangesItsSource) {
    TTraining a = RecordedTraining(2);
    a.Client.Address = "10.0.0.1";
    TTraining b = a;
    b.StrokeData[1].Power = 999;
    b.Client.Address += "0";
    SetIntervalCount(b, 3);
    EXPECT_EQ(a.StrokeData[1].Power, 0);
    EXPECT_EQ(a.Client.Address, "10.0.0.1");
    EXPECT_TRUE(a.Intervals.empty());
}
