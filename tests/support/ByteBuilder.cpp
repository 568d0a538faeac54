#include "ByteBuilder.h"

#include <bit>
#include <cstring>
#include <stdexcept>

TByteBuilder& TByteBuilder::U8(std::uint8_t v) {
    FData.push_back(v);
    return *this;
}
TByteBuilder& TByteBuilder::U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
TByteBuilder& TByteBuilder::U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
TByteBuilder& TByteBuilder::I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
TByteBuilder& TByteBuilder::F32(float v) { return U32(std::bit_cast<std::uint32_t>(v)); }
TByteBuilder& TByteBuilder::F64(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
}
TByteBuilder& TByteBuilder::Text(std::string_view bytes) {
    for (char c : bytes)
        U8(static_cast<std::uint8_t>(c));
    return *this;
}
TByteBuilder& TByteBuilder::Zeros(std::size_t n) {
    FData.resize(FData.size() + n, 0);
    return *this;
}
TByteBuilder& TByteBuilder::Append(const std::vector<std::uint8_t>& bytes) {
    FData.insert(FData.end(), bytes.begin(), bytes.end());
    return *this;
}

TRecordBuilder::TRecordBuilder(std::span<const TFieldLayout> layout, int size)
    : FLayout(layout), FData(static_cast<std::size_t>(size), 0) {}

const TFieldLayout& TRecordBuilder::Field(std::string_view field) const {
    for (const TFieldLayout& f : FLayout)
        if (f.Name == field) return f;
    throw std::invalid_argument("no field " + std::string(field));
}

TRecordBuilder& TRecordBuilder::Int(std::string_view field, std::int64_t value) {
    const TFieldLayout& f = Field(field);
    auto bits = static_cast<std::uint64_t>(value);
    for (int i = 0; i < f.Size; ++i, bits >>= 8)
        FData[static_cast<std::size_t>(f.Offset + i)] = static_cast<std::uint8_t>(bits);
    return *this;
}

TRecordBuilder& TRecordBuilder::F32(std::string_view field, float value) {
    if (Field(field).Size != 4) throw std::invalid_argument("not a Single");
    return Int(field, std::bit_cast<std::uint32_t>(value));
}

TRecordBuilder& TRecordBuilder::F64(std::string_view field, double value) {
    if (Field(field).Size != 8) throw std::invalid_argument("not a Double");
    return Int(field, static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(value)));
}

TRecordBuilder& TRecordBuilder::ShortString(std::string_view field, std::string_view bytes) {
    const TFieldLayout& f = Field(field);
    if (f.Size != kShortStringSize || bytes.size() > kShortStringMax) throw std::invalid_argument("short string");
    FData[static_cast<std::size_t>(f.Offset)] = static_cast<std::uint8_t>(bytes.size());
    std::memcpy(FData.data() + f.Offset + 1, bytes.data(), bytes.size());
    return *this;
}

TRecordBuilder& TRecordBuilder::Raw(std::string_view field, int offsetInField, const std::vector<std::uint8_t>& bytes) {
    const TFieldLayout& f = Field(field);
    if (offsetInField < 0 || offsetInField + static_cast<int>(bytes.size()) > f.Size)
        throw std::invalid_argument("outside the field");
    std::memcpy(FData.data() + f.Offset + offsetInField, bytes.data(), bytes.size());
    return *this;
}

TRecordBuilder HeaderBuilder() { return {kStgHeaderLayout, kStgHeaderSize}; }
TRecordBuilder StrokeBuilder() { return {kStgStrokeDataLayout, kStgStrokeDataSize}; }
TRecordBuilder CurveBuilder() { return {kStgForceCurveLayout, kStgForceCurveSize}; }
TRecordBuilder IntervalBuilder() { return {kStgIntervalLayout, kStgIntervalSize}; }
TRecordBuilder RawBuilder() { return {kStgRawDataLayout, kStgRawDataSize}; }
TRecordBuilder WorkoutBuilder() { return {kStgWorkoutLayout, kStgWorkoutSize}; }

std::vector<std::uint8_t> IniBytes(const std::vector<std::int32_t>& values) {
    TByteBuilder b;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kStgIniFieldCount); ++i)
        b.I32(i < values.size() ? values[i] : 0);
    return b.Bytes();
}

TStgFileBuilder::TStgFileBuilder(std::int32_t version, std::string_view magic) {
    FBytes.Text(magic).I32(version);
    FBoundaries.push_back(FBytes.Size());
    FRecordEnds.push_back(FBytes.Size());
}

TStgFileBuilder& TStgFileBuilder::Chunk(std::uint8_t type, std::uint16_t size, std::int32_t count,
                                        const std::vector<std::vector<std::uint8_t>>& records) {
    FBytes.U8(type).U16(size).I32(count);
    FRecordEnds.push_back(FBytes.Size());
    for (const auto& r : records) {
        FBytes.Append(r);
        FRecordEnds.push_back(FBytes.Size());
    }
    FBoundaries.push_back(FBytes.Size());
    return *this;
}

TStgFileBuilder& TStgFileBuilder::RawBytes(const std::vector<std::uint8_t>& bytes) {
    FBytes.Append(bytes);
    return *this;
}

namespace {

std::vector<std::uint8_t> SampleCurveBytes(int number, int present, int peak) {
    TRecordBuilder c = CurveBuilder();
    c.Int("Number", number).Int("Present", present);
    std::vector<std::uint8_t> force;
    for (int k = 0; k < kForceCurveSamples; ++k) {
        const int v = k < 20 ? peak * (k < 10 ? k : 20 - k) / 10 : 0;
        force.push_back(static_cast<std::uint8_t>(v));
        force.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    c.Raw("Force", 0, force);
    return c.Bytes();
}

std::vector<std::uint8_t> SampleStrokeBytes(int number, float time) {
    return StrokeBuilder()
        .Int("Number", number)
        .F32("Power", 200.0f + static_cast<float>(number))
        .F32("StrokeRate", 24.5f)
        .F32("Time", time)
        .F32("Length", 150.0f)
        .F32("Energy", 600.0f)
        .Int("IntervalNumber", 1)
        .Int("IntervalPower", 180)
        .F32("DriveTime", 0.875f)
        .F32("DistancePerStroke", 987.5f)
        .Bytes();
}

} // namespace

TStgFileBuilder BuildSampleStgFile() {
    TRecordBuilder header = HeaderBuilder();
    header.ShortString("FileName", "C:\\Rowing\\old.stg")
        .F64("FileDate", 45000.5)
        .Int("FileSize", 12345)
        .Int("FileFormat", 5)
        .Int("ContentKind", 7)
        .ShortString("Title", "Morning row")
        .ShortString("Name", "J\xF6rg") // Windows-1252 o umlaut
        .F64("Date", 45001.25)
        .Int("Active", 1)
        .Int("CurrentStroke", 2)
        .Int("Color", 0x0000FF)
        .Int("PenWidth", 2)
        .Int("CurveMode", 1)
        .Int("SourceProgram", 5)
        .ShortString("DeviceId", "KV3-0042")
        .Raw("Guid", 0, {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE, 1, 2, 3, 4, 5, 6, 7, 8});
    TStgFileBuilder file(0x01000000);
    file.Chunk(1, kStgHeaderSize, 1, {header.Bytes()});
    file.Chunk(2, kStgIniSize, 1, {IniBytes({80, 0, 0, 1, 1, 2})});
    file.Chunk(3, kStgStrokeDataSize, 3, {SampleStrokeBytes(1, 2.5f), SampleStrokeBytes(2, 5.0f), SampleStrokeBytes(3, 7.5f)});
    file.Chunk(4, kStgForceCurveSize, 3,
               {SampleCurveBytes(1, 1, 500), SampleCurveBytes(2, 1, 600), SampleCurveBytes(3, 0, 0)});
    std::vector<std::uint8_t> curve = SampleCurveBytes(0, 1, 550);
    std::vector<std::uint8_t> stroke = SampleStrokeBytes(3, 7.5f);
    file.Chunk(5, kStgIntervalSize, 2,
               {IntervalBuilder().Int("Number", 1).Int("AvgPower", 201).Int("Time", 60).Raw("Curve", 0, curve)
                    .Raw("Stroke", 0, stroke).Bytes(),
                IntervalBuilder().Int("Number", 2).Int("AvgPower", 202).Int("Distance", 250).Bytes()});
    file.Chunk(6, kStgWorkoutSize, 1,
               {WorkoutBuilder().F32("Distance", 30.5f).F32("Time", 7.5f).F32("Energy", 1.8f).F32("AvgPower", 240.0f).Bytes()});
    std::vector<std::vector<std::uint8_t>> raws;
    for (int i = 1; i <= 5; ++i)
        raws.push_back(RawBuilder().Int("Interval", 1000 * i).Int("HeartRate", 120 + i).Bytes());
    file.Chunk(7, kStgRawDataSize, 5, raws);
    return file;
}

std::vector<std::uint8_t> BuildOldStgFile() {
    std::vector<std::uint8_t> b(1024, 0);
    auto put = [&b](std::size_t at, const std::vector<std::uint8_t>& bytes) {
        std::memcpy(b.data() + at, bytes.data(), bytes.size());
    };
    auto text = [&put](std::size_t at, std::string_view s) { put(at, std::vector<std::uint8_t>(s.begin(), s.end())); };
    text(0, "MIL ");
    put(4, TByteBuilder().I32(0x00080400).Bytes());
    text(8, "C:\\old\\file.stg");
    put(268, TByteBuilder().F64(36000.5).Bytes());
    put(276, TByteBuilder().I32(2048).Bytes());
    b[280] = 5;
    b[281] = 6;
    text(282, "Old title");
    text(322, "Old name");
    text(362, "Old description");
    put(402, TByteBuilder().F64(36001.0).Bytes());
    text(410, "Type");
    text(430, "Event");
    text(450, "Note text");
    text(706, "C:\\source.ses");
    put(966, TByteBuilder().F64(35999.0).Bytes());
    put(974, TByteBuilder().I32(777).Bytes());
    b[978] = 4;
    b[979] = 9;
    b[980] = 1;
    b[981] = 7; // curve flag
    put(996, TByteBuilder().I32(0x00FF00).Bytes());
    b[1000] = 2;
    put(1001, TByteBuilder().I32(3).Bytes());
    b[1005] = 1;
    return b;
}
