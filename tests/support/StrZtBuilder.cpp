#include "StrZtBuilder.h"

#include <algorithm>

std::vector<std::uint8_t> UserRecordBytes(std::string_view name, const std::array<std::int32_t, 26>& ini) {
    TByteBuilder b;
    b.Text(name.substr(0, 9)).Zeros(9 - std::min<std::size_t>(name.size(), 9)); // 0
    for (std::uint8_t v : {2, 3, 10, 11, 0, 9, 4, 6, 0, 0})                     // 9
        b.U8(v);
    b.Zeros(3);                 // 19
    for (int i = 0; i < 5; ++i) // 22
        b.U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(ini[static_cast<std::size_t>(i)])));
    b.Zeros(14);                 // 32
    for (int i = 5; i < 26; ++i) // 46
        b.U16(static_cast<std::uint16_t>(ini[static_cast<std::size_t>(i)]));
    b.Zeros(2);                // 88
    b.U32(11).U32(15);         // 90, 94
    b.U8(1).U8(0).U8(3).U8(0); // 98
    b.Zeros(4);                // 102
    return b.Bytes();
}

std::vector<std::uint8_t> StrStrokeRecordBytes(const std::array<std::uint16_t, 16>& words) {
    TByteBuilder b;
    for (std::uint16_t w : words)
        b.U16(w);
    return b.Bytes();
}

std::vector<std::uint8_t> StrFileBytes(const std::array<std::uint16_t, 16>& stroke,
                                       const std::array<std::uint8_t, 80>& force, std::string_view name,
                                       const std::array<std::int32_t, 26>& ini) {
    TByteBuilder b;
    b.Append(StrStrokeRecordBytes(stroke));
    for (std::uint8_t f : force)
        b.U8(f);
    b.Append(UserRecordBytes(name, ini));
    return b.Bytes();
}

std::vector<std::uint8_t> TZtStrokeBlock::Bytes() const {
    TByteBuilder b;
    b.U32(K).U32(DriveTime).Zeros(2);                                            // 0, 4, 8
    b.U16(Energy).U16(Power).U16(DriveRatio).U16(Est500mTime).U16(WorkPerPulse); // 10 .. 18
    b.U8(Length).U8(StrokeRate).U8(Pulse).U8(IntervalNumber);                    // 20 .. 23
    b.Zeros(2).U16(Number);                                                      // 24, 26
    b.U32(Distance).U32(EnergySum).U32(Time);                                    // 28, 32, 36
    b.U16(AvgPower).U16(TimeLeft).U16(IntervalPower).U16(DistanceLeft);          // 40 .. 46
    return b.Bytes();
}

std::vector<std::uint8_t> TZtStart::Bytes() const {
    TByteBuilder b;
    b.Text(Magic).U8(0).U8(Kind);
    for (std::uint8_t v : Versions)
        b.U8(v);
    b.U16(K).U16(N).U16(M);
    for (int i = 0; i < 28; ++i) // skipped block: not zero, so that a reader using it shows
        b.U8(0xA5);
    for (std::uint8_t v : User)
        b.U8(v);
    for (std::uint8_t v : Workout)
        b.U8(v);
    return b.Bytes();
}

void PutWord(std::array<std::uint8_t, 28>& block, std::size_t at, std::uint16_t value) {
    block[at] = static_cast<std::uint8_t>(value);
    block[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::vector<std::uint8_t> ZtIntervalBytes(std::uint16_t tenthsOfSecond, std::uint16_t tenthsOfWatt,
                                          std::uint16_t distance) {
    TByteBuilder b;
    b.U16(tenthsOfSecond).U16(tenthsOfWatt).U16(distance).U8(0xEE).U8(0xEE);
    return b.Bytes();
}

std::vector<std::uint8_t> ZtSessionBytes(std::uint32_t distance, std::uint32_t energy, std::uint32_t time,
                                         std::uint16_t avgPower) {
    TByteBuilder b;
    b.U32(distance).U32(energy).U32(time).U16(0x7777).U16(avgPower);
    b.Zeros(216 - b.Size());
    return b.Bytes();
}

std::vector<std::uint8_t> JoinBytes(std::initializer_list<std::vector<std::uint8_t>> parts) {
    TByteBuilder b;
    for (const auto& p : parts)
        b.Append(p);
    return b.Bytes();
}
