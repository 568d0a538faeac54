// Test-side builders of the stroke, user and ZtIV files: every field written at its place
// from the format tables with TByteBuilder, independently of the file layer's codecs.
#pragma once

#include "ByteBuilder.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

// User record (106 bytes): name (up to 9 bytes, zero-padded), fixed bytes, fields 0-4 as
// signed words, fields 5-25 as unsigned words, the trailer.
std::vector<std::uint8_t> UserRecordBytes(std::string_view name, const std::array<std::int32_t, 26>& ini);
// Stroke record (32 bytes): 16 words in stored order.
std::vector<std::uint8_t> StrStrokeRecordBytes(const std::array<std::uint16_t, 16>& words);
// A whole .str file.
std::vector<std::uint8_t> StrFileBytes(const std::array<std::uint16_t, 16>& stroke,
                                       const std::array<std::uint8_t, 80>& force, std::string_view name,
                                       const std::array<std::int32_t, 26>& ini);

struct TZtStrokeBlock {
    std::uint32_t K = 0;            // x 1e9
    std::uint32_t DriveTime = 0;    // x 100000 s
    std::uint16_t Energy = 0;       // tenths of J
    std::uint16_t Power = 0;        // tenths of W
    std::uint16_t DriveRatio = 0;   // hundredths
    std::uint16_t Est500mTime = 0;  // tenths of s
    std::uint16_t WorkPerPulse = 0; // tenths
    std::uint8_t Length = 0;
    std::uint8_t StrokeRate = 0;
    std::uint8_t Pulse = 0;
    std::uint8_t IntervalNumber = 0;
    std::uint16_t Number = 0;
    std::uint32_t Distance = 0;  // mm
    std::uint32_t EnergySum = 0; // tenths of J
    std::uint32_t Time = 0;      // ms
    std::uint16_t AvgPower = 0;  // tenths of W
    std::uint16_t TimeLeft = 0;  // tenths of s
    std::uint16_t IntervalPower = 0;
    std::uint16_t DistanceLeft = 0;
    std::vector<std::uint8_t> Bytes() const; // 48 bytes
};

// The common 76-byte start.
struct TZtStart {
    std::string_view Magic = "ZtIV";
    std::uint8_t Kind = 0;
    std::array<std::uint8_t, 4> Versions{}; // SW, HW, MR, BL
    std::uint16_t K = 0;
    std::uint16_t N = 0;
    std::uint16_t M = 0;
    std::array<std::uint8_t, 4> User{};     // boat, sprocket code, weight, unused
    std::array<std::uint8_t, 28> Workout{}; // byte 0 the workout type
    std::vector<std::uint8_t> Bytes() const;
};

// The parts one after the other.
std::vector<std::uint8_t> JoinBytes(std::initializer_list<std::vector<std::uint8_t>> parts);

// Workout block helpers: a word at an offset.
void PutWord(std::array<std::uint8_t, 28>& block, std::size_t at, std::uint16_t value);

std::vector<std::uint8_t> ZtIntervalBytes(std::uint16_t tenthsOfSecond, std::uint16_t tenthsOfWatt,
                                          std::uint16_t distance);
// Session block (216 bytes): distance mm, energy tenths of J, time ms, average power tenths of W.
std::vector<std::uint8_t> ZtSessionBytes(std::uint32_t distance, std::uint32_t energy, std::uint32_t time,
                                         std::uint16_t avgPower);
