// Shared types: the enumerations that device interfaces, windows and files agree on, the
// exception of the device interfaces, the training record family, the constant name tables
// and small pure routines over the records.
//
// The records are ordinary structs. Files hold them field by field, little-endian and packed,
// in the order and widths of the layout tables below (kStgHeaderLayout ...); they are never
// copied to or from a file as one block.
#pragma once

#include "foundation/core/AppUtils.h"
#include "foundation/core/DateTimeUtils.h"

#include <QString>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using TColor = std::uint32_t; // COLORREF, 0x00BBGGRR

// ---------------------------------------------------------------------------------------------
// Enumerations (stored as one byte wherever they are stored)

// The device interfaces compare states by order (a state at or after kvsOpening ...): keep it.
enum TKeloState : std::uint8_t {
    kvsClosing,
    kvsClosed,
    kvsOpening,
    kvsOpened,
    kvsSearching,
    kvsSearchFound,
    kvsSearchNotFound,
    kvsSearchCanceled,
    kvsVerifying,
    kvsVerified,
    kvsAccepting,
    kvsAccepted,
    kvsStartingWorkout,
    kvsWorkoutStarted,
    kvsCancelingWorkout,
    kvsWorkoutCanceled,
    kvsFinishingWorkout,
    kvsWorkoutFinished,
    kvsStartingStroke,
    kvsStrokeFinished,
    kvsStartingRecover,
    kvsRecoverFinished,
    kvsPausing,
    kvsPaused,
    kvsContinueing,
    kvsContinued,
};
inline constexpr int kKeloStateCount = 26;

enum TKeloProtocol : std::uint8_t {
    kvpUnknown = 0,
    kvpDOS = 1,
    kvpKvw = 2,
    kvpKV3W = 3,
    kvpZtIV = 4,
    kvpVSU = 5,
    kvpVSDebug = 6,
    kvpV17Test = 7,
    kvpKV3WI = 8,
};
inline constexpr int kKeloProtocolCount = 9;

// A set of protocols: bit n stands for the protocol of ordinal n (16 bits).
class TKeloProtocolSet {
public:
    constexpr TKeloProtocolSet() = default;
    constexpr TKeloProtocolSet(std::initializer_list<TKeloProtocol> protocols) {
        for (TKeloProtocol p : protocols)
            Include(p);
    }
    static constexpr TKeloProtocolSet FromBits(std::uint16_t bits) {
        TKeloProtocolSet s;
        s.FBits = bits;
        return s;
    }
    constexpr std::uint16_t Bits() const { return FBits; }
    constexpr bool Contains(TKeloProtocol p) const {
        return static_cast<unsigned>(p) < 16 && (FBits & (1u << p)) != 0;
    }
    constexpr void Include(TKeloProtocol p) {
        if (static_cast<unsigned>(p) < 16) FBits = static_cast<std::uint16_t>(FBits | (1u << p));
    }
    constexpr void Exclude(TKeloProtocol p) {
        if (static_cast<unsigned>(p) < 16) FBits = static_cast<std::uint16_t>(FBits & ~(1u << p));
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr bool operator==(const TKeloProtocolSet&) const = default;

private:
    std::uint16_t FBits = 0;
};

enum TKeloBoatType : std::uint8_t { kvb1x, kvb2cd, kvb2cs, kvb2x, kvb4cd, kvb4cs, kvb4x, kvb8cd };

// Result of comparing the magnet pulse pattern in the stroke engine.
enum TKeloMagnet : std::uint8_t { kvmInit, kvmSmaller, kvmEqual, kvmGreater };

// The exception of the device interfaces: a message and nothing else.
class EKeloError : public std::runtime_error {
public:
    explicit EKeloError(const std::string& message) : std::runtime_error(message) {}
    explicit EKeloError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromUtf8(what()); }
};

// ---------------------------------------------------------------------------------------------
// The training record family

// Short strings: std::string of Windows-1252 bytes, at most kShortStringMax of them; stored as
// one length byte and kShortStringMax characters (kShortStringSize bytes).
inline constexpr std::size_t kShortStringMax = 255;
inline constexpr int kShortStringSize = 256;

inline constexpr std::array<char, 4> TrainingMagic{'M', 'I', 'L', ' '};

inline constexpr int kForceCurveSamples = 80;

// Stored sizes in bytes.
inline constexpr int kStgHeaderSize = 2380;
inline constexpr int kStgIniSize = 104;
inline constexpr int kStgIniFieldCount = 26;
inline constexpr int kStgStrokeDataSize = 84;
inline constexpr int kStgForceCurveSize = 163;
inline constexpr int kStgIntervalSize = 259;
inline constexpr int kStgRawDataSize = 3;
inline constexpr int kStgWorkoutSize = 16;
// The size of the whole training record in the original memory layout: the stored fields plus a
// 32-byte client block and four 4-byte array references.
inline constexpr int kStgClientMemorySize = 32;
inline constexpr int kArrayReferenceSize = 4;
inline constexpr int kTrainingRecordSize = 2563;

// One field of a stored record: name, offset, size in bytes.
struct TFieldLayout {
    std::string_view Name;
    int Offset;
    int Size;
};

struct TStgHeader {
    std::string FileName; // own file name; "?" = not yet saved
    TDateTime FileDate = 0;
    std::int32_t FileSize = 0;
    std::uint8_t FileFormat = 0;  // FileFormatNames index
    std::uint8_t ContentKind = 0; // ContentKindNames index
    std::string Title;
    std::string Name;
    std::string Description;
    TDateTime Date = 0;
    std::string TrainingType;
    std::string Event;
    std::string Note;
    std::string SourceFileName;
    TDateTime SourceFileDate = 0;
    std::int32_t SourceFileSize = 0;
    std::uint8_t SourceFileFormat = 0;
    std::uint8_t SourceContentKind = 0;
    std::uint8_t Active = 0;   // 1 = ticked in analysis windows
    std::uint8_t Reserved = 0; // written as found
    std::int32_t CurrentStroke = 0;
    std::int32_t Color = 0; // TColor value
    std::uint8_t PenStyle = 0;
    std::int32_t PenWidth = 0;
    std::uint8_t Modified = 0;
    std::uint8_t CurveMode = 0; // 0 single, 1 average, 2 interval average curve
    std::int32_t IntervalIndex = 0;
    std::uint8_t SourceProgram = 0; // SourceProgramNames index
    std::uint8_t InterfaceType = 0; // InterfaceTypeNames index
    std::uint8_t Protocol = 0;      // TKeloProtocol
    std::string DeviceId;
    TGUID Guid;
    bool operator==(const TStgHeader&) const = default;
};

inline constexpr std::array<TFieldLayout, 31> kStgHeaderLayout{{
    {"FileName", 0, 256},
    {"FileDate", 256, 8},
    {"FileSize", 264, 4},
    {"FileFormat", 268, 1},
    {"ContentKind", 269, 1},
    {"Title", 270, 256},
    {"Name", 526, 256},
    {"Description", 782, 256},
    {"Date", 1038, 8},
    {"TrainingType", 1046, 256},
    {"Event", 1302, 256},
    {"Note", 1558, 256},
    {"SourceFileName", 1814, 256},
    {"SourceFileDate", 2070, 8},
    {"SourceFileSize", 2078, 4},
    {"SourceFileFormat", 2082, 1},
    {"SourceContentKind", 2083, 1},
    {"Active", 2084, 1},
    {"Reserved", 2085, 1},
    {"CurrentStroke", 2086, 4},
    {"Color", 2090, 4},
    {"PenStyle", 2094, 1},
    {"PenWidth", 2095, 4},
    {"Modified", 2099, 1},
    {"CurveMode", 2100, 1},
    {"IntervalIndex", 2101, 4},
    {"SourceProgram", 2105, 1},
    {"InterfaceType", 2106, 1},
    {"Protocol", 2107, 1},
    {"DeviceId", 2108, 256},
    {"Guid", 2364, 16},
}};

// Rower and workout settings: 26 Integers, stored in this order (see StgIniFields).
struct TStgIni {
    std::int32_t Weight = 0;       // kg
    std::int32_t Gender = 0;       // 0 Male, 1 Female
    std::int32_t Boat = 0;         // TKeloBoatType
    std::int32_t Ergometer = 0;    // 0 Kavelo, 1 Concept II A-E, 2 Veltro Slider, 3 Kavelo3
    std::int32_t Sprocket = 0;     // 0 small left, 1 big right
    std::int32_t SessionLimit = 0; // 0 strokes, 1 energy, 2 distance, 3 time, 4 intervals
    std::int32_t LimitIntervals = 0;
    std::int32_t LimitTime = 0; // s
    std::int32_t LimitStrokes = 0;
    std::int32_t LimitDistance = 0; // m
    std::int32_t LimitEnergy = 0;
    std::int32_t StartValue = 0;
    std::int32_t StepValue = 0;
    std::int32_t StepRest = 0;
    std::int32_t IntervalBy = 0; // 0 strokes, 1 energy, 2 distance, 3 time
    std::int32_t WorkValue = 0;
    std::int32_t WorkTime = 0;
    std::int32_t WorkStrokes = 0;
    std::int32_t WorkDistance = 0;
    std::int32_t WorkEnergy = 0;
    std::int32_t RestValue = 0;
    std::int32_t RestTime = 0;
    std::int32_t RestStrokes = 0;
    std::int32_t RestDistance = 0;
    std::int32_t RestEnergy = 0;
    std::int32_t Display = 0; // 0 normal, 1 Conconi
    bool operator==(const TStgIni&) const = default;
};

// The fields of TStgIni in stored order (field i at offset 4 x i).
inline constexpr std::array<std::int32_t TStgIni::*, kStgIniFieldCount> StgIniFields{
    &TStgIni::Weight,       &TStgIni::Gender,        &TStgIni::Boat,           &TStgIni::Ergometer,
    &TStgIni::Sprocket,     &TStgIni::SessionLimit,  &TStgIni::LimitIntervals, &TStgIni::LimitTime,
    &TStgIni::LimitStrokes, &TStgIni::LimitDistance, &TStgIni::LimitEnergy,    &TStgIni::StartValue,
    &TStgIni::StepValue,    &TStgIni::StepRest,      &TStgIni::IntervalBy,     &TStgIni::WorkValue,
    &TStgIni::WorkTime,     &TStgIni::WorkStrokes,   &TStgIni::WorkDistance,   &TStgIni::WorkEnergy,
    &TStgIni::RestValue,    &TStgIni::RestTime,      &TStgIni::RestStrokes,    &TStgIni::RestDistance,
    &TStgIni::RestEnergy,   &TStgIni::Display,
};

// Connection of a remote client; memory only, never stored, filled by nothing.
struct TStgClient {
    std::int32_t Value = 0;
    std::string Address;
    std::int32_t Port = 0;
    bool operator==(const TStgClient&) const = default;
};

// One stroke. In TTraining.StrokeData the index is the stroke number, element 0 the average.
struct TStgStrokeData {
    Word Number = 0; // 1-based; 0 in the average element
    float Power = 0; // W
    float AvgPower = 0;
    float StrokeRate = 0; // strokes/min
    float TargetPower = 0;
    float Time = 0;            // elapsed, s
    float Length = 0;          // cm
    float Distance = 0;        // m so far
    float Est500mTime = 0;     // s
    float Energy = 0;          // J
    float EnergySum = 0;       // kJ so far
    float Pulse = 0;           // beats/min
    float WorkPerPulse = 0;    // J/beat
    float PeakForce = 0;       // N
    float PeakForcePos = 0;    // cm
    float RelPeakForcePos = 0; // %
    float DriveRatio = 0;      // recover time / drive time
    float K = 0;
    Word IntervalNumber = 0;
    Word IntervalCountdown = 0;  // in the unit of IntervalBy
    Word IntervalPower = 0;      // W
    float DriveTime = 0;         // s
    float DistancePerStroke = 0; // cm
    bool operator==(const TStgStrokeData&) const = default;
};

inline constexpr std::array<TFieldLayout, 23> kStgStrokeDataLayout{{
    {"Number", 0, 2},
    {"Power", 2, 4},
    {"AvgPower", 6, 4},
    {"StrokeRate", 10, 4},
    {"TargetPower", 14, 4},
    {"Time", 18, 4},
    {"Length", 22, 4},
    {"Distance", 26, 4},
    {"Est500mTime", 30, 4},
    {"Energy", 34, 4},
    {"EnergySum", 38, 4},
    {"Pulse", 42, 4},
    {"WorkPerPulse", 46, 4},
    {"PeakForce", 50, 4},
    {"PeakForcePos", 54, 4},
    {"RelPeakForcePos", 58, 4},
    {"DriveRatio", 62, 4},
    {"K", 66, 4},
    {"IntervalNumber", 70, 2},
    {"IntervalCountdown", 72, 2},
    {"IntervalPower", 74, 2},
    {"DriveTime", 76, 4},
    {"DistancePerStroke", 80, 4},
}};

// One drive: force in N at fixed distance steps (ForceCurveSampleSpacing) from the catch.
struct TStgForceCurve {
    Word Number = 0;
    std::uint8_t Present = 0; // 1 = the stroke has a curve
    std::array<Word, kForceCurveSamples> Force{};
    bool operator==(const TStgForceCurve&) const = default;
};

inline constexpr std::array<TFieldLayout, 3> kStgForceCurveLayout{{
    {"Number", 0, 2},
    {"Present", 2, 1},
    {"Force", 3, 2 * kForceCurveSamples},
}};

// One finished work interval.
struct TStgInterval {
    Word Number = 0; // from 1
    Word AvgPower = 0;
    Word AvgRate = 0;
    Word Time = 0;     // s
    Word Distance = 0; // m
    Word AvgPulse = 0;
    TStgForceCurve Curve;  // average curve of the interval
    TStgStrokeData Stroke; // average stroke; its Number = strokes in the interval
    bool operator==(const TStgInterval&) const = default;
};

inline constexpr std::array<TFieldLayout, 8> kStgIntervalLayout{{
    {"Number", 0, 2},
    {"AvgPower", 2, 2},
    {"AvgRate", 4, 2},
    {"Time", 6, 2},
    {"Distance", 8, 2},
    {"AvgPulse", 10, 2},
    {"Curve", 12, kStgForceCurveSize},
    {"Stroke", 175, kStgStrokeDataSize},
}};

// One raw flywheel sample; also the record of the raw recording file.
struct TStgRawData {
    Word Interval = 0; // ticks of 1/614000 s between two pulses, clamped to 65535
    std::uint8_t HeartRate = 0;
    bool operator==(const TStgRawData&) const = default;
};

inline constexpr std::array<TFieldLayout, 2> kStgRawDataLayout{{
    {"Interval", 0, 2},
    {"HeartRate", 2, 1},
}};

struct TStgWorkout {
    float Distance = 0; // m
    float Time = 0;     // s
    float Energy = 0;   // kJ
    float AvgPower = 0; // W = SafeDivide(Energy x 1000, Time)
    bool operator==(const TStgWorkout&) const = default;
};

inline constexpr std::array<TFieldLayout, 4> kStgWorkoutLayout{{
    {"Distance", 0, 4},
    {"Time", 4, 4},
    {"Energy", 8, 4},
    {"AvgPower", 12, 4},
}};

// A whole training. Copying copies the arrays (a copy never changes its source).
struct TTraining {
    std::array<char, 4> Magic{}; // TrainingMagic
    std::int32_t Version = 0;    // packed version of the program that made it
    std::int32_t Id = 0;         // 101, 102 ... open trainings; -1 .. -4 spare average records
    TStgHeader Header;
    TStgIni Ini;
    TStgClient Client;
    std::uint8_t State = 0;                  // SessionStateNames index
    std::vector<TStgStrokeData> StrokeData;  // index = stroke number; 0 = session average
    std::vector<TStgForceCurve> ForceCurves; // parallel to StrokeData
    std::vector<TStgInterval> Intervals;     // one per finished work interval
    std::vector<TStgRawData> RawData;        // element 0 unused
    TStgWorkout Workout;
    std::uint8_t Recorded = 0; // 1 once a session was started with it
    std::uint8_t ShowAllCurves = 0;
    // The whole name of the file it was read from or last saved to, as the system gave it.
    // Header.FileName and SourceFileName hold only 8-bit text of at most 255 characters; never
    // stored, and used only while the header still names this file.
    QString FilePath;
    bool operator==(const TTraining&) const = default;
};

// TTraining as kTrainingRecordSize counts it; Client and the four array references are never stored.
inline constexpr std::array<TFieldLayout, 14> kTrainingLayout{{
    {"Magic", 0, 4},
    {"Version", 4, 4},
    {"Id", 8, 4},
    {"Header", 12, kStgHeaderSize},
    {"Ini", 2392, kStgIniSize},
    {"Client", 2496, kStgClientMemorySize},
    {"State", 2528, 1},
    {"StrokeData", 2529, kArrayReferenceSize},
    {"ForceCurves", 2533, kArrayReferenceSize},
    {"Intervals", 2537, kArrayReferenceSize},
    {"RawData", 2541, kArrayReferenceSize},
    {"Workout", 2545, kStgWorkoutSize},
    {"Recorded", 2561, 1},
    {"ShowAllCurves", 2562, 1},
}};

// True when the fields follow each other without gaps and fill exactly `size` bytes.
template <std::size_t N> constexpr bool LayoutFills(const std::array<TFieldLayout, N>& layout, int size) {
    int next = 0;
    for (const TFieldLayout& f : layout) {
        if (f.Offset != next || f.Size <= 0) return false;
        next += f.Size;
    }
    return next == size;
}
static_assert(LayoutFills(kStgHeaderLayout, kStgHeaderSize));
static_assert(LayoutFills(kStgStrokeDataLayout, kStgStrokeDataSize));
static_assert(LayoutFills(kStgForceCurveLayout, kStgForceCurveSize));
static_assert(LayoutFills(kStgIntervalLayout, kStgIntervalSize));
static_assert(LayoutFills(kStgRawDataLayout, kStgRawDataSize));
static_assert(LayoutFills(kStgWorkoutLayout, kStgWorkoutSize));
static_assert(LayoutFills(kTrainingLayout, kTrainingRecordSize));
static_assert(kStgIniSize == 4 * kStgIniFieldCount);

// One column of a value table (see the parameter catalogue).
struct ParameterType {
    std::int32_t Id = 0;
    std::uint8_t AxisMode = 0; // AxisModeNames
    float AxisMin = 0;
    float AxisMax = 0;
    float AxisIncrement = 0;
    std::uint8_t SeriesKind = 0; // 0 line, 1 points
    QString Unit;
    QString Caption;
    QString LongCaption;
    QString Format;
};

// ---------------------------------------------------------------------------------------------
// Name tables. Fixed-width tables are stored as short strings of the given width. A table whose
// first entry is "-" shows a stored value v as entry v + 1 (NameOfStoredValue).

inline constexpr int kStateNameWidth = 20;
inline constexpr std::array<std::string_view, kKeloStateCount> StateNames{
    "Closing",         "Closed",           "Opening",         "Opened",         "Searching",
    "SearchFound",     "SearchNotFound",   "SearchCanceled",  "Verifying",      "Verified",
    "Accepting",       "Accepted",         "StartingWorkout", "WorkoutStarted", "CancelingWorkout",
    "WorkoutCanceled", "FinishingWorkout", "WorkoutFinished", "StartingStroke", "StrokeFinished",
    "StartingRecover", "RecoverFinished",  "Pausing",         "Paused",         "Continueing",
    "Continued",
};

inline constexpr int kProtocolNameWidth = 8;
inline constexpr std::array<std::string_view, kKeloProtocolCount> ProtocolNames{
    "Unknown", "LUMA/DOS", "KVW", "KV3W", "ZtIV", "VSU", "VSDebug", "V17Test", "KV3WI",
};

inline constexpr int kSourceProgramNameWidth = 10;
inline constexpr std::uint8_t kThisSourceProgram = 5; // "KvwT"
inline constexpr std::array<std::string_view, 16> SourceProgramNames{
    "Unknown", "LUMA/DOS", "KELO",   "Kvw",  "KvwL", "KvwT", "KvwV",    "KOVI",
    "KvVI",    "Pex",      "Pelion", "KV3W", "LIRA", "DUNE", "SES2STG", "STG2LOG",
};

inline constexpr int kInterfaceTypeNameWidth = 25;
inline constexpr std::array<std::string_view, 7> InterfaceTypeNames{
    "Unknown", "KV Interface", "KV3 Interface", "VSU", "ZtIV", "VeltroDebug", "KV3 Wireless Interface",
};

// File formats by extension (without the dot).
inline constexpr int kFileFormatNameWidth = 6;
inline constexpr std::array<std::string_view, 13> FileFormatNames{
    "-", "BRM", "INI", "SED", "SES", "STG", "STR", "TXT", "XLS", "ZTI", "ZTS", "ZTR", "FITLOG",
};

inline constexpr int kContentKindNameWidth = 16;
inline constexpr std::array<std::string_view, 11> ContentKindNames{
    "-",        "Force Curves", "Desktop", "Intervals", "Stroke Data",      "Stroke",
    "Training", "User",         "Manual",  "Row",       "Full stroke data",
};

inline constexpr int kSessionStateNameWidth = 12;
inline constexpr std::array<std::string_view, 6> SessionStateNames{
    "-", "Connecting", "Rowing", "Paused", "Finished", "Disconnected",
};

inline constexpr int kTrainingColorCount = 15;
inline constexpr std::array<std::string_view, kTrainingColorCount> ColorNames{
    "Red",    "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White",    "Black",
    "Maroon", "Green", "Olive",  "Navy", "Purple",  "Teal", "DarkGray",
};
inline constexpr std::array<TColor, kTrainingColorCount> ColorValues{
    0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF, 0x000000,
    0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
};

inline constexpr std::array<std::string_view, 3> GenderNames{"-", "Male", "Female"};
inline constexpr std::array<std::string_view, 9> BoatNames{"-",  "1X", "2+", "2-", "2X",
                                                           "4+", "4-", "4X", "8+"};
inline constexpr std::array<std::string_view, 5> ErgometerNames{"-", "Kavelo", "Concept II A-E",
                                                                "Veltro Slider", "Kavelo3"};
inline constexpr std::array<std::string_view, 3> SprocketNames{"-", "Small left", "Big right"};
inline constexpr std::array<std::string_view, 5> LimitNames{"Strokes", "Energy", "Distance", "Time",
                                                            "Intervals"};
inline constexpr std::array<std::string_view, 4> IntervalByNames{"Strokes", "Energy", "Distance", "Time"};
inline constexpr std::array<std::string_view, 2> DisplayNames{"Normal", "Conconi"};
inline constexpr std::array<std::string_view, 4> AxisModeNames{"Auto", "Double", "Manual", "Range"};

// Entry `index` of a table; "-" for an index outside it (indexes often come from files).
template <std::size_t N>
constexpr std::string_view TableName(const std::array<std::string_view, N>& table, std::int64_t index) {
    return index >= 0 && static_cast<std::uint64_t>(index) < N ? table[static_cast<std::size_t>(index)]
                                                               : std::string_view("-");
}

// The entry that shows stored value v in a table whose first entry is "-" (entry v + 1).
template <std::size_t N>
constexpr std::string_view NameOfStoredValue(const std::array<std::string_view, N>& table,
                                             std::int64_t value) {
    return value >= 0 && static_cast<std::uint64_t>(value) + 1 < N
               ? table[static_cast<std::size_t>(value) + 1]
               : std::string_view("-");
}

constexpr std::string_view StateName(TKeloState state) {
    return TableName(StateNames, state);
}

// The same as a QString, for windows and traces.
template <std::size_t N> QString TableText(const std::array<std::string_view, N>& table, std::int64_t index) {
    const std::string_view s = TableName(table, index);
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// ---------------------------------------------------------------------------------------------
// Small routines over the records

double GetStrokeValueByIntervalType(const TStgStrokeData& stroke, const TStgIni& ini);
double GetIntervalWork(const TStgIni& ini);
double GetIntervalRest(const TStgIni& ini);
double GetStrokeValueByTrainingType(const TStgStrokeData& stroke, const TStgIni& ini);
std::int32_t GetTrainingTarget(const TStgIni& ini);
bool StrokeHasNoPower(const TStgStrokeData& stroke);
ParameterType MakeParameter(std::int32_t id, std::uint8_t axisMode, std::uint8_t seriesKind, float axisMin,
                            float axisMax, float axisIncrement, const QString& unit, const QString& caption,
                            const QString& longCaption, const QString& format);
// Distance in cm between two force-curve samples.
double ForceCurveSampleSpacing(const TStgIni& ini);
// To the nearest whole number / multiple of 1/8, ties to even.
float RoundSingle(float value);
float RoundToEighth(float value);
