// Test-side byte builder: writes stored records field by field from the layout tables of
// Types.h, little-endian, without the codec of the file layer, so that tests compare the
// codec against an independent picture of the bytes.
#pragma once

#include "foundation/core/Types.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Plain little-endian appends.
class TByteBuilder {
public:
    TByteBuilder& U8(std::uint8_t v);
    TByteBuilder& U16(std::uint16_t v);
    TByteBuilder& I32(std::int32_t v);
    TByteBuilder& U32(std::uint32_t v);
    TByteBuilder& F32(float v);
    TByteBuilder& F64(double v);
    TByteBuilder& Text(std::string_view bytes); // as they are, no length
    TByteBuilder& Zeros(std::size_t n);
    TByteBuilder& Append(const std::vector<std::uint8_t>& bytes);
    std::size_t Size() const { return FData.size(); }
    const std::vector<std::uint8_t>& Bytes() const { return FData; }

private:
    std::vector<std::uint8_t> FData;
};

// One stored record of `size` bytes, all zero until fields are set by name.
class TRecordBuilder {
public:
    TRecordBuilder(std::span<const TFieldLayout> layout, int size);
    TRecordBuilder& Int(std::string_view field, std::int64_t value); // the field's width
    TRecordBuilder& F32(std::string_view field, float value);
    TRecordBuilder& F64(std::string_view field, double value);
    TRecordBuilder& ShortString(std::string_view field, std::string_view bytes);
    // Raw bytes at an offset inside a field (arrays, nested records, GUIDs).
    TRecordBuilder& Raw(std::string_view field, int offsetInField, const std::vector<std::uint8_t>& bytes);
    const TFieldLayout& Field(std::string_view field) const;
    const std::vector<std::uint8_t>& Bytes() const { return FData; }

private:
    std::span<const TFieldLayout> FLayout;
    std::vector<std::uint8_t> FData;
};

TRecordBuilder HeaderBuilder();
TRecordBuilder StrokeBuilder();
TRecordBuilder CurveBuilder();
TRecordBuilder IntervalBuilder();
TRecordBuilder RawBuilder();
TRecordBuilder WorkoutBuilder();
// Settings: 26 Integers, field i at offset 4 x i.
std::vector<std::uint8_t> IniBytes(const std::vector<std::int32_t>& values);

// A .stg file: start, then chunks.
class TStgFileBuilder {
public:
    explicit TStgFileBuilder(std::int32_t version = 0x01000000, std::string_view magic = "MIL ");
    // A chunk head and the records given (their bytes appended as they are).
    TStgFileBuilder& Chunk(std::uint8_t type, std::uint16_t size, std::int32_t count,
                           const std::vector<std::vector<std::uint8_t>>& records = {});
    TStgFileBuilder& RawBytes(const std::vector<std::uint8_t>& bytes);
    // Positions where each chunk ends (the first entry is 8, the end of the start).
    const std::vector<std::size_t>& Boundaries() const { return FBoundaries; }
    // Positions where the start, each chunk head and each record given end.
    const std::vector<std::size_t>& RecordEnds() const { return FRecordEnds; }
    const std::vector<std::uint8_t>& Bytes() const { return FBytes.Bytes(); }

private:
    TByteBuilder FBytes;
    std::vector<std::size_t> FBoundaries;
    std::vector<std::size_t> FRecordEnds;
};

// The sample file of the tests and the fuzzing seeds: header, settings, three strokes with
// curves, two intervals, totals and five raw samples, chunks in the order the writer uses.
TStgFileBuilder BuildSampleStgFile();
// An old file (version 0.8.4.0) with its 1024-byte header block.
std::vector<std::uint8_t> BuildOldStgFile();
