// The codecs against records built independently from the layout tables.
#include "support/ByteBuilder.h"
#include "foundation/files/RecordCodec.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TStgHeader DistinctHeader() {
    TStgHeader h;
    h.FileName = "C:\\a.stg";
    h.FileDate = 45000.75;
    h.FileSize = -5;
    h.FileFormat = 5;
    h.ContentKind = 255;
    h.Title = "T\xE4tel";
    h.Name = std::string(255, 'n');
    h.Description = "desc";
    h.Date = 45001.5;
    h.TrainingType = "type";
    h.Event = "event";
    h.Note = "note";
    h.SourceFileName = "src";
    h.SourceFileDate = 1.25;
    h.SourceFileSize = 0x01020304;
    h.SourceFileFormat = 11;
    h.SourceContentKind = 12;
    h.Active = 1;
    h.Reserved = 0xAA;
    h.CurrentStroke = 77;
    h.Color = 0x00123456;
    h.PenStyle = 3;
    h.PenWidth = 4;
    h.Modified = 1;
    h.CurveMode = 2;
    h.IntervalIndex = 9;
    h.SourceProgram = 14;
    h.InterfaceType = 6;
    h.Protocol = 8;
    h.DeviceId = "dev";
    h.Guid = TGUID{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    return h;
}

TRecordBuilder DistinctHeaderBytes() {
    TRecordBuilder b = HeaderBuilder();
    b.ShortString("FileName", "C:\\a.stg").F64("FileDate", 45000.75).Int("FileSize", -5).Int("FileFormat", 5)
        .Int("ContentKind", 255).ShortString("Title", "T\xE4tel").ShortString("Name", std::string(255, 'n'))
        .ShortString("Description", "desc").F64("Date", 45001.5).ShortString("TrainingType", "type")
        .ShortString("Event", "event").ShortString("Note", "note").ShortString("SourceFileName", "src")
        .F64("SourceFileDate", 1.25).Int("SourceFileSize", 0x01020304).Int("SourceFileFormat", 11)
        .Int("SourceContentKind", 12).Int("Active", 1).Int("Reserved", 0xAA).Int("CurrentStroke", 77)
        .Int("Color", 0x00123456).Int("PenStyle", 3).Int("PenWidth", 4).Int("Modified", 1).Int("CurveMode", 2)
        .Int("IntervalIndex", 9).Int("SourceProgram", 14).Int("InterfaceType", 6).Int("Protocol", 8)
        .ShortString("DeviceId", "dev")
        .Raw("Guid", 0, {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE, 1, 2, 3, 4, 5, 6, 7, 8});
    return b;
}

TStgStrokeData DistinctStroke() {
    TStgStrokeData s;
    float v = 1.0f;
    for (float* f : {&s.Power, &s.AvgPower, &s.StrokeRate, &s.TargetPower, &s.Time, &s.Length, &s.Distance,
                     &s.Est500mTime, &s.Energy, &s.EnergySum, &s.Pulse, &s.WorkPerPulse, &s.PeakForce,
                     &s.PeakForcePos, &s.RelPeakForcePos, &s.DriveRatio, &s.K, &s.DriveTime, &s.DistancePerStroke})
        *f = (v += 1.5f);
    s.Number = 0xBEEF;
    s.IntervalNumber = 0x0102;
    s.IntervalCountdown = 0x0304;
    s.IntervalPower = 0x0506;
    return s;
}

std::vector<std::uint8_t> DistinctStrokeBytes() {
    TRecordBuilder b = StrokeBuilder();
    float v = 1.0f;
    for (const char* name : {"Power", "AvgPower", "StrokeRate", "TargetPower", "Time", "Length", "Distance",
                             "Est500mTime", "Energy", "EnergySum", "Pulse", "WorkPerPulse", "PeakForce",
                             "PeakForcePos", "RelPeakForcePos", "DriveRatio", "K", "DriveTime", "DistancePerStroke"})
        b.F32(name, v += 1.5f);
    b.Int("Number", 0xBEEF).Int("IntervalNumber", 0x0102).Int("IntervalCountdown", 0x0304).Int("IntervalPower", 0x0506);
    return b.Bytes();
}

template <class T, class Write> std::vector<std::uint8_t> Encode(const T& value, Write write) {
    TByteWriter w;
    write(w, value);
    return w.Take();
}

} // namespace

TEST(StgCodec, HeaderFieldsSitAtTheirTableOffsets) {
    const TRecordBuilder expected = DistinctHeaderBytes();
    EXPECT_EQ(Encode(DistinctHeader(), WriteStgHeaderRecord), expected.Bytes());
    TStgHeader h;
    TByteReader r(expected.Bytes());
    ASSERT_TRUE(ReadStgHeaderRecord(r, h));
    EXPECT_EQ(r.Position(), static_cast<std::size_t>(kStgHeaderSize));
    EXPECT_EQ(h, DistinctHeader());
}

TEST(StgCodec, ShortStringsIgnoreTheUndefinedRestAndWriteZeros) {
    TRecordBuilder b = HeaderBuilder();
    b.ShortString("Title", "abc").Raw("Title", 4, {'x', 'y', 'z'});
    TStgHeader h;
    TByteReader r(b.Bytes());
    ReadStgHeaderRecord(r, h);
    EXPECT_EQ(h.Title, "abc");
    const auto written = Encode(h, WriteStgHeaderRecord);
    EXPECT_EQ(written[static_cast<std::size_t>(b.Field("Title").Offset) + 4], 0);
}

TEST(StgCodec, ElementRecordsMatchTheTables) {
    EXPECT_EQ(Encode(DistinctStroke(), WriteStgStrokeRecord), DistinctStrokeBytes());

    TStgForceCurve c;
    c.Number = 7;
    c.Present = 1;
    for (int k = 0; k < kForceCurveSamples; ++k)
        c.Force[static_cast<std::size_t>(k)] = static_cast<Word>(1000 + k);
    const auto curveBytes = Encode(c, WriteStgForceCurveRecord);
    ASSERT_EQ(curveBytes.size(), static_cast<std::size_t>(kStgForceCurveSize));
    EXPECT_EQ(curveBytes[3 + 2 * 79], (1079) & 0xFF);
    EXPECT_EQ(curveBytes[3 + 2 * 79 + 1], 1079 >> 8);

    TStgInterval i;
    i.Number = 1;
    i.AvgPower = 2;
    i.AvgRate = 3;
    i.Time = 4;
    i.Distance = 5;
    i.AvgPulse = 6;
    i.Curve = c;
    i.Stroke = DistinctStroke();
    const std::vector<std::uint8_t> intervalBytes = IntervalBuilder()
                                                        .Int("Number", 1).Int("AvgPower", 2).Int("AvgRate", 3)
                                                        .Int("Time", 4).Int("Distance", 5).Int("AvgPulse", 6)
                                                        .Raw("Curve", 0, curveBytes)
                                                        .Raw("Stroke", 0, DistinctStrokeBytes())
                                                        .Bytes();
    EXPECT_EQ(Encode(i, WriteStgIntervalRecord), intervalBytes);
    TStgInterval back;
    TByteReader r(intervalBytes);
    ASSERT_TRUE(ReadStgIntervalRecord(r, back));
    EXPECT_EQ(back, i);

    EXPECT_EQ(Encode(TStgRawData{0xABCD, 150}, WriteStgRawRecord), RawBuilder().Int("Interval", 0xABCD).Int("HeartRate", 150).Bytes());
    EXPECT_EQ(Encode(TStgWorkout{1.0f, 2.0f, 3.0f, 4.0f}, WriteStgWorkoutRecord),
              WorkoutBuilder().F32("Distance", 1).F32("Time", 2).F32("Energy", 3).F32("AvgPower", 4).Bytes());

    TStgIni ini;
    for (std::size_t k = 0; k < StgIniFields.size(); ++k)
        ini.*StgIniFields[k] = static_cast<std::int32_t>(k * 1000 - 3);
    std::vector<std::int32_t> values;
    for (std::size_t k = 0; k < StgIniFields.size(); ++k)
        values.push_back(static_cast<std::int32_t>(k * 1000 - 3));
    EXPECT_EQ(Encode(ini, WriteStgIniRecord), IniBytes(values));
    EXPECT_EQ(IniBytes(values)[4 * 4], 0x9D); // Sprocket = 3997 = 0x0F9D at offset 16
}

TEST(StgCodec, NonFiniteValuesReadAsZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto stroke = StrokeBuilder().F32("Power", nan).F32("Time", -inf).F32("K", 2.5f).Bytes();
    TStgStrokeData s;
    TByteReader r(stroke);
    ASSERT_TRUE(ReadStgStrokeRecord(r, s));
    EXPECT_EQ(s.Power, 0.0f);
    EXPECT_EQ(s.Time, 0.0f);
    EXPECT_EQ(s.K, 2.5f);

    const auto header = HeaderBuilder().F64("Date", std::numeric_limits<double>::infinity())
                            .F64("FileDate", std::numeric_limits<double>::quiet_NaN()).Bytes();
    TStgHeader h;
    TByteReader hr(header);
    ASSERT_TRUE(ReadStgHeaderRecord(hr, h));
    EXPECT_EQ(h.Date, 0.0);
    EXPECT_EQ(h.FileDate, 0.0);

    const auto workout = WorkoutBuilder().F32("AvgPower", nan).Bytes();
    TStgWorkout w{1, 1, 1, 1};
    TByteReader wr(workout);
    ReadStgWorkoutRecord(wr, w);
    EXPECT_EQ(w.AvgPower, 0.0f);
}

TEST(StgCodec, ShortInputFailsTheRecord) {
    const auto bytes = DistinctHeaderBytes().Bytes();
    TByteReader r(bytes.data(), bytes.size() - 1);
    TStgHeader h;
    EXPECT_FALSE(ReadStgHeaderRecord(r, h));
    std::vector<std::uint8_t> two{1, 2};
    TByteReader s(two);
    TStgRawData raw;
    EXPECT_FALSE(ReadStgRawRecord(s, raw));
}

TEST(StgCodec, OldHeaderBlockFillsItsFields) {
    const auto bytes = BuildOldStgFile();
    TByteReader r(bytes);
    TStgHeader h;
    h.DeviceId = "stale";
    std::int32_t version = 0;
    ASSERT_TRUE(ReadStgOldHeaderRecord(r, h, version));
    EXPECT_EQ(version, 0x00080400);
    EXPECT_EQ(r.Position(), 1024u);
    EXPECT_EQ(h.FileName, "C:\\old\\file.stg");
    EXPECT_EQ(h.FileDate, 36000.5);
    EXPECT_EQ(h.FileSize, 2048);
    EXPECT_EQ(h.FileFormat, 5);
    EXPECT_EQ(h.ContentKind, 6);
    EXPECT_EQ(h.Title, "Old title");
    EXPECT_EQ(h.Name, "Old name");
    EXPECT_EQ(h.Description, "Old description");
    EXPECT_EQ(h.Date, 36001.0);
    EXPECT_EQ(h.TrainingType, "Type");
    EXPECT_EQ(h.Event, "Event");
    EXPECT_EQ(h.Note, "Note text");
    EXPECT_EQ(h.SourceFileName, "C:\\source.ses");
    EXPECT_EQ(h.SourceFileDate, 35999.0);
    EXPECT_EQ(h.SourceFileSize, 777);
    EXPECT_EQ(h.SourceFileFormat, 4);
    EXPECT_EQ(h.SourceContentKind, 9);
    EXPECT_EQ(h.Active, 1);
    EXPECT_EQ(h.CurveMode, 1);
    EXPECT_EQ(h.Color, 0x00FF00);
    EXPECT_EQ(h.PenStyle, 2);
    EXPECT_EQ(h.PenWidth, 3);
    EXPECT_EQ(h.Modified, 1);
    EXPECT_EQ(h.DeviceId, "");
    EXPECT_EQ(h.Guid, TGUID{});

    auto wrongMagic = bytes;
    wrongMagic[0] = 'X';
    TByteReader w(wrongMagic);
    EXPECT_FALSE(ReadStgOldHeaderRecord(w, h, version));
}
