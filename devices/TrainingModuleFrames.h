// The training module's framed messages: FF FF, size n (type + payload), type, payload, checksum,
// FE FE. What the module sends is checked member by member and turned into the training
// records; what the program sends is a bare command frame.
#pragma once

#include "foundation/core/Types.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Frame index k of a received type 128 + k; also the bit of an accepted-frame set.
enum TVSFrameIndex : std::uint8_t {
    vsfNone = 0,
    vsfAlive = 1,
    vsfStartWorkout = 2,
    vsfStrokeFinished = 3,
    vsfWorkoutFinished = 4,
    vsfWorkoutCanceled = 5,
};

struct TVSFrameKind {
    std::uint8_t Type;
    std::uint8_t Size;  // n: type byte and payload
    const char* Name;   // prefix of the members in the log
};

inline constexpr std::array<TVSFrameKind, 5> kVSReceivedFrames{{
    {0x81, 71, "oFrameVSU_ALIVE"},
    {0x82, 9, "oFrameVSU_STARTWORKOUT"},
    {0x83, 87, "oFrameVSU_STROKEFINISHED"},
    {0x84, 17, "oFrameVSU_WORKOUTFINISHED"},
    {0x85, 1, "oFrameVSU_WORKOUTCANCELED"},
}};

inline constexpr std::uint8_t kVSFrameTypeBase = 0x80;
inline constexpr std::size_t kVSFrameOverhead = 6;  // header, size, checksum, footer
inline constexpr std::size_t kVSShortestFrame = 7;
inline constexpr std::size_t kVSLongestFrame = 93;
inline constexpr int kVSStrokeWords = 13;
inline constexpr int kVSForceBytes = 60;
inline constexpr int kVSForceScale = 10;  // N per force unit

// Commands to the module.
inline constexpr std::uint8_t kVSPing = 1;
inline constexpr std::uint8_t kVSAccept = 2;
inline constexpr std::uint8_t kVSStop = 3;

constexpr std::uint8_t VSFrameBit(TVSFrameIndex index) {
    return std::uint8_t(1u << index);
}

// XOR of all bytes.
std::uint8_t FrameChecksum(std::string_view bytes);
// A command frame: the checksum covers the type only (the module's own rule).
std::string VSCommandFrame(std::uint8_t type);
// "oFrameVSU_STROKEFINISHED" for type 0x83; empty for a type the module never sends.
const TVSFrameKind* VSFrameKindOf(std::uint8_t type);
// "130 ($82) or 133 ($85)": the types of an accepted-frame set.
QString VSAcceptedTypesText(std::uint8_t accepted);

using TVSLog = std::function<void(const QString& line)>;

// True when equal; otherwise logs the mismatch of the member Name.
bool ValidFrameMember(int Received, int Expected, const QString& Name, const TVSLog& log);

enum class TVSScan {
    Incomplete,   // no whole frame at the start yet; the buffer keeps it
    Taken,        // a valid, accepted frame was taken into frame
    NotAccepted,  // a valid frame of a type not accepted now, dropped whole
    Invalid,      // not a frame after all: its first byte was dropped
};

// Looks at the start of buffer: bytes before a frame start are dropped, then at most one frame
// is taken or dropped. A start whose members do not match loses only its first byte, so a
// frame hidden behind a false start is still found.
TVSScan CheckForFrame(std::string& buffer, std::uint8_t accepted, TVSFrameIndex& index,
                      std::string& frame, const TVSLog& log);

// STARTWORKOUT into the workout settings (every other field 0).
TStgIni VSStartWorkoutIni(const std::string& frame);
// STROKEFINISHED into one stroke and its curve; energySum is the running sum of the
// stroke energies (J) of this connection.
void VSDecodeStroke(const std::string& frame, float& energySum, TStgStrokeData& stroke,
                    TStgForceCurve& curve);
// WORKOUTFINISHED into the totals, in the units of the training record (s, kJ, W).
TStgWorkout VSDecodeWorkout(const std::string& frame);
// 1: two-point mean, 2: three-point mean, others: unchanged; results rounded half to even.
void SmoothForceCurve(TStgForceCurve& curve, int smoothing);
