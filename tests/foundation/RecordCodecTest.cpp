// The codecs against records built independently from the layout tables.
#include "support/ByteBuilder.h"
#include "foundation/files/RecordCodec.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TStgHeader DistinctHeader() {
    return {.FileName = "C:\\a.stg", .FileDate = 45000.75, .FileSize = -5, .FileFormat = 5, .ContentKind = 255,
            .Title = "T\xE4tel", .Name = std::string(255, 'n'), .Description = "desc", .Date = 45001.5,
            .TrainingType = "type", .Event = "event", .Note = "note", .SourceFileName = "src",
            .SourceFileDate = 1.25, .SourceFileSize = 0x01020304, .SourceFileFormat = 11, .SourceContentKind = 12,
            .Active = 1, .Reserved = 0xAA, .CurrentStroke = 77, .Color = 0x00123456, .PenStyle = 3, .PenWidth = 4,
            .Modified = 1, .CurveMode = 2, .IntervalIndex = 9, .SourceProgram = 14, .InterfaceType = 6,
            .Protocol = 8, .DeviceId = "dev", .Guid = TGUID{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}}};
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

TEST(StgCodec, OldHeaderBlockFillsItsFields) {
    const auto bytes = BuildOldStgFile();
    TByteReader r(bytes);
    TStgHeader h;
    h.DeviceId = "stale";
    std::int32_t version = 0;
    ASSERT_TRUE(ReadStgOldHeaderRecord(r, h, version));
    EXPECT_EQ(version, 0x00080400);
    EXPECT_EQ(r.Position(), 1024u);
    // The fields the old block has; the rest, DeviceId too, start empty.
    EXPECT_EQ(h, (TStgHeader{.FileName = "C:\\old\\file.stg", .FileDate = 36000.5, .FileSize = 2048,
                             .FileFormat = 5, .ContentKind = 6, .Title = "Old title", .Name = "Old name",
                             .Description = "Old description", .Date = 36001.0, .TrainingType = "Type",
                             .Event = "Event", .Note = "Note text", .SourceFileName = "C:\\source.ses",
                             .SourceFileDate = 35999.0, .SourceFileSize = 777, .SourceFileFormat = 4,
                             .SourceContentKind = 9, .Active = 1, .Color = 0x00FF00, .PenStyle = 2, .PenWidth = 3,
                             .Modified = 1, .CurveMode = 1, .DeviceId = "", .Guid = {}}));

    auto wrongMagic = bytes;
    wrongMagic[0] = 'X';
    TByteReader w(wrongMagic);
    EXPECT_FALSE(ReadStgOldHeaderRecord(w, h, version));
}
