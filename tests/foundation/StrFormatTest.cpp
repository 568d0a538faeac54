#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "support/FileHelpers.h"
#include "support/RecordPrinters.h"
#include "support/StrZtBuilder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>

namespace {

// Settings values in stored order, each fitting its field.
constexpr std::array<std::int32_t, 26> kIni{75, 1, 3,  1,  0,  4,  6,  1800, 300, 5000, 900, 150, 10,
                                            12, 3, 60, 61, 62, 63, 64, 30,   31,  32,   33,  34,  1};

TStgIni IniOf(const std::array<std::int32_t, 26>& values) {
    TStgIni ini;
    for (std::size_t i = 0; i < values.size(); ++i)
        ini.*StgIniFields[i] = values[i];
    return ini;
}

bool DecodeStr(const std::vector<std::uint8_t>& b, TTraining& t) {
    return DecodeStrFile(b.data(), b.size(), t);
}
bool DecodeUser(const std::vector<std::uint8_t>& b, TTraining& t) {
    return DecodeUserFile(b.data(), b.size(), t);
}

QByteArray AsQBytes(const std::vector<std::uint8_t>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

} // namespace

TEST(UserFile, WriterStoresEveryFieldClampedAndCutsTheName) {
    TTraining t;
    t.Header.Name = "Fifteen chars!!";
    auto values = kIni;
    values[0] = 40000;  // Weight: signed field
    values[1] = -40000; // Gender
    values[2] = -3;     // Boat keeps its sign
    values[3] = 2;      // Ergometer: only 0 and 1 are stored
    values[9] = 70000;  // LimitDistance: unsigned field
    values[12] = -5;    // StepValue
    t.Ini = IniOf(values);
    auto expected = values;
    expected[0] = 32767;
    expected[1] = -32768;
    expected[3] = 0;
    expected[9] = 65535;
    expected[12] = 0;
    const auto bytes = EncodeUserFile(t);
    EXPECT_EQ(bytes, UserRecordBytes("Fifteen c", expected));

    TTraining back;
    ASSERT_TRUE(DecodeUser(bytes, back));
    EXPECT_EQ(back.Header.Name, "Fifteen c");
    EXPECT_EQ(back.Ini, IniOf(expected));
}

TEST(UserFile, ReaderTakesNamesToTheFirstZeroAndRefusesOtherErgometers) {
    auto bytes = UserRecordBytes("Bob", kIni);
    bytes[5] = 'X'; // behind the terminating zero
    auto values = kIni;
    values[3] = 3;
    values[0] = -2;
    const auto withErgometer3 = UserRecordBytes("Ann", values);

    TTraining t;
    t.Ini.Display = 99; // replaced whole
    ASSERT_TRUE(DecodeUser(bytes, t));
    EXPECT_EQ(t.Header.Name, "Bob");
    EXPECT_EQ(t.Ini, IniOf(kIni));

    ASSERT_TRUE(DecodeUser(withErgometer3, t));
    EXPECT_EQ(t.Ini.Ergometer, 0);
    EXPECT_EQ(t.Ini.Weight, -2); // signed
    EXPECT_EQ(t.Ini.LimitTime, 1800);
}

// Sizes a byte off are refused. The fixed bytes of the user record tell a binary user file from
// a text one, so a user file without them is refused while a stroke file is read.
TEST(UserAndStrFile, WrongSizesAndOtherFixedBytes) {
    const auto user = UserRecordBytes("A", kIni);
    const auto str = StrFileBytes({1}, {}, "A", kIni);
    TTraining t;
    for (const bool isUser : {true, false}) {
        const auto& good = isUser ? user : str;
        const auto decode = [&](const std::vector<std::uint8_t>& b) { return isUser ? DecodeUser(b, t) : DecodeStr(b, t); };
        auto longer = good;
        longer.push_back(0);
        EXPECT_FALSE(decode(std::vector<std::uint8_t>(good.begin(), good.end() - 1))) << isUser;
        EXPECT_FALSE(decode(longer)) << isUser;
        EXPECT_FALSE(decode({})) << isUser;
        for (std::size_t at = 9; at < 19; ++at) {
            auto otherFixed = good;
            otherFixed[good.size() - std::size_t{kUserRecordSize} + at] ^= 0x20;
            t = TTraining{};
            EXPECT_EQ(decode(otherFixed), !isUser) << at;
            EXPECT_EQ(t.Header.Name, isUser ? "" : "A") << at;
        }
    }
    // A text settings file that happens to be 106 bytes long.
    std::string text = "[Options]\r\nName=Bob\r\n";
    text.resize(106, 'x');
    EXPECT_FALSE(DecodeUser(std::vector<std::uint8_t>(text.begin(), text.end()), t));
    ASSERT_TRUE(DecodeStr(str, t));
    EXPECT_EQ(t.Ini, IniOf(kIni));
    // All-zero force is still the stroke's curve (and the session's); it has no peak.
    EXPECT_EQ((std::vector<int>{t.ForceCurves[1].Present, t.ForceCurves[0].Present}), (std::vector<int>{1, 1}));
    EXPECT_EQ(t.StrokeData[1].PeakForce, 0.0f);
}

TEST(StrFile, WriterRoundsWithTiesToEvenAndSaturates) {
    TTraining t;
    t.Header.Name = "Al";
    t.Ini = IniOf(kIni);
    SetStrokeCount(t, 1);
    // Ties to even (245.5 -> 246, 244.5 -> 244, 0.5 -> 0, 1.5 -> 2), saturated, NaN as 0; no peak stored.
    const float inf = std::numeric_limits<float>::infinity();
    t.StrokeData[1] = {.Number = 7, .Power = 245.5f, .AvgPower = 244.5f, .StrokeRate = 27.49f, .TargetPower = -12,
                       .Time = 1e9f, .Length = std::numeric_limits<float>::quiet_NaN(), .Distance = 65535.4f,
                       .Est500mTime = inf, .Energy = 0.5f, .EnergySum = 1.5f, .Pulse = -inf, .WorkPerPulse = 3,
                       .PeakForce = 999, .IntervalNumber = 65535, .IntervalCountdown = 64001, .IntervalPower = 300};
    TStgForceCurve& c = t.ForceCurves[1];
    const std::array<Word, 8> samples{385, 770, 982, 983, 5000, 65535, 2, 1};
    std::copy(samples.begin(), samples.end(), c.Force.begin());

    const std::array<std::uint16_t, 16> words{7,     246, 244, 27, 0, 65535, 0,     65535,
                                              65535, 0,   2,   0,  3, 65535, 64001, 300};
    std::array<std::uint8_t, 80> force{};
    const std::array<std::uint8_t, 8> bytes{100, 200, 255, 255, 255, 255, 1, 0};
    std::copy(bytes.begin(), bytes.end(), force.begin());
    const auto encoded = EncodeStrFile(t);
    ASSERT_EQ(encoded.size(), std::size_t{kStrFileSize});
    EXPECT_EQ(encoded, StrFileBytes(words, force, "Al", kIni));
}

TEST(StrFile, TrimmedTrainingWritesZeroStrokeAndCurve) {
    TTraining t;
    t.Header.Name = "Al";
    t.Ini = IniOf(kIni);
    SetStrokeCount(t, 0);
    const auto expected = StrFileBytes({}, {}, "Al", kIni);
    EXPECT_EQ(EncodeStrFile(t), expected);
    t.StrokeData.clear(); // not even the average element
    t.ForceCurves.clear();
    EXPECT_EQ(EncodeStrFile(t), expected);
}

TEST(StrFile, ReaderFillsStrokeOneCurveAndAverage) {
    const std::array<std::uint16_t, 16> words{57,  250, 240, 28,  260, 95, 150, 480,
                                              105, 700, 21,  130, 5,   2,  40,  255};
    std::array<std::uint8_t, 80> force{};
    // 10: 38.5 N, a tie, to 38; 200, 0, 0: 770 N, the saturated 780 N, then a real 0;
    // 100, 0: 385 N and 0.
    const std::array<std::uint8_t, 8> bytes{10, 200, 0, 0, 100, 0, 255, 0};
    std::copy(bytes.begin(), bytes.end(), force.begin());
    auto values = kIni;
    values[4] = 0; // small sprocket: 2.0 cm spacing
    TTraining t;
    ASSERT_TRUE(DecodeStr(StrFileBytes(words, force, "Eve", values), t));

    ASSERT_EQ(t.StrokeData.size(), 2u);
    // Peak 982 N at sample 7 (k = 7), 2.0 cm spacing: 14 cm, 14 / 150 of the stroke.
    EXPECT_EQ(t.StrokeData[1],
              (TStgStrokeData{.Number = 57, .Power = 250, .AvgPower = 240, .StrokeRate = 28, .TargetPower = 260,
                              .Time = 95, .Length = 150, .Distance = 480, .Est500mTime = 105, .Energy = 700,
                              .EnergySum = 21, .Pulse = 130, .WorkPerPulse = 5, .PeakForce = 982, .PeakForcePos = 14,
                              .RelPeakForcePos = 14.0f * 100.0f / 150.0f, .IntervalNumber = 2,
                              .IntervalCountdown = 40, .IntervalPower = 255}));
    const TStgForceCurve& c = t.ForceCurves[1];
    EXPECT_EQ(c.Number, 1);
    EXPECT_EQ(c.Present, 1);
    EXPECT_EQ(std::vector<Word>(c.Force.begin(), c.Force.begin() + 9),
              (std::vector<Word>{38, 770, 780, 0, 385, 0, 982, 780, 0}));
    EXPECT_EQ(t.StrokeData[0], t.StrokeData[1]);
    EXPECT_EQ(t.ForceCurves[0], t.ForceCurves[1]);
    EXPECT_EQ(t.Header.Name, "Eve");
    EXPECT_EQ(t.Ini, IniOf(values));
    // The session's totals are those the stroke had reached: distance, time, energy sum and
    // average power, and so the totals shown; the averages shown are those of the one stroke
    // held, as its maxima are.
    EXPECT_EQ(t.Workout, (TStgWorkout{.Distance = 480, .Time = 95, .Energy = 21, .AvgPower = 240}));
    EXPECT_EQ(GetSessionParameterValue(t, 0), 480.0f);
    EXPECT_EQ(GetSessionParameterValue(t, 3), 250.0f);
    EXPECT_EQ(GetSessionParameterValue(t, 4), 1.0f);
    EXPECT_FLOAT_EQ(GetSessionParameterValue(t, 5), 105.0f / 86400);
}

class StrFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(StrFileOnDisk, SavedHeadersAndOpenedThroughTheDispatch) {
    TTraining t;
    t.Header.Name = "Disk";
    t.Ini = IniOf(kIni);
    SetStrokeCount(t, 1);
    t.StrokeData[1].Power = 200.0f;
    t.StrokeData[1].IntervalCountdown = 64001; // dropped by the open
    const QString str = Path("sub/session one.str");
    const QString ini = Path("rower.ini");
    ASSERT_TRUE(SaveTrainingAs(str, t, 5));
    ASSERT_TRUE(SaveTrainingAs(ini, t, 7));
    EXPECT_EQ(ReadAllBytes(str), AsQBytes(EncodeStrFile(t)));
    EXPECT_EQ(ReadAllBytes(ini), AsQBytes(EncodeUserFile(t)));
    const struct {
        QString File;
        const char* Title;
        int Format, Kind, Size;
        std::size_t Strokes;
    } cases[] = {{str, "session one", 6, 5, kStrFileSize, 2}, {ini, "rower", 2, 7, kUserFileSize, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Title);
        TStgHeader h;
        std::int32_t version = -1;
        ASSERT_TRUE(ReadFileHeader(c.File, h, version, false));
        EXPECT_EQ(version, 0);
        EXPECT_EQ((std::vector<std::string>{h.Title, h.SourceFileName, h.Name}),
                  (std::vector<std::string>{c.Title, c.File.toStdString(), "Anyone"})); // no data read
        EXPECT_EQ((std::vector<int>{h.SourceFileFormat, h.SourceContentKind, int(h.SourceFileSize)}),
                  (std::vector<int>{c.Format, c.Kind, c.Size}));
        EXPECT_EQ(h.Date, h.SourceFileDate);
        EXPECT_GT(h.Date, 40000.0);
        TTraining back;
        ASSERT_TRUE(OpenTrainingFile(c.File, back, false));
        EXPECT_EQ(back.Header.Title, c.Title);
        EXPECT_EQ(back.Ini, t.Ini);
        EXPECT_EQ(back.StrokeData.size(), c.Strokes);
    }
    TTraining back;
    ASSERT_TRUE(OpenTrainingFile(str, back, false));
    EXPECT_EQ(back.Header.Name, "Disk");
    EXPECT_EQ(back.StrokeData[1].Power, 200.0f);
    EXPECT_EQ(back.StrokeData[1].IntervalCountdown, 0);

    // A text settings file of the user file's size, and a stroke file a byte short.
    QByteArray text("[Options]\nName=Bob\n");
    ASSERT_TRUE(WriteAllBytes(ini, text.leftJustified(106, 'x')));
    auto cut = StrFileBytes({1}, {}, "A", kIni);
    cut.pop_back();
    ASSERT_TRUE(WriteAllBytes(str, cut));
    for (const QString& name : {ini, str}) {
        TStgHeader h;
        std::int32_t version = -1;
        EXPECT_FALSE(ReadFileHeader(name, h, version, false)) << name.toStdString();
        TTraining training;
        training.Ini = IniOf(kIni);
        EXPECT_FALSE(OpenTrainingFile(name, training, false));
        EXPECT_EQ(training.StrokeData.size(), 1u);
        EXPECT_EQ(training.Ini, TStgIni{});
    }
}
