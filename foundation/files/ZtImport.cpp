// Import of the ZtIV devices' user (.zti), stroke (.ztr) and session (.zts) files. Every file
// starts with the same 76 bytes: magic, kind, versions, the counts K (strokes with force
// curves), N (strokes) and M (intervals), a skipped block, the user and the workout block.

#include "foundation/files/TrainingFiles.h"

#include "foundation/core/ByteStream.h"
#include "foundation/files/FileIo.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace {

constexpr char kZtMagic[4] = {'Z', 't', 'I', 'V'};
constexpr std::size_t kSkippedBlockSize = 28;
constexpr std::size_t kWorkoutBlockSize = 28;
constexpr std::uint8_t kSmallLeftSprocketCode = 10;
constexpr int kBoatTypeCount = 8; // TKeloBoatType

constexpr int kLimitStrokes = 0;
constexpr int kLimitEnergy = 1;
constexpr int kLimitDistance = 2;
constexpr int kLimitTime = 3;
constexpr int kLimitIntervals = 4;
constexpr int kByStrokes = 0;
constexpr int kByEnergy = 1;
constexpr int kByDistance = 2;
constexpr int kByTime = 3;

// The largest session file the counts can describe (all three at 65535); longer files are
// read only that far.
constexpr qint64 kMaxZtsFileSize = kZtStartSize + 65535LL * (kZtStrokeBlockSize + kZtForceBlockSize) +
                                   65535LL * kZtStrokeBlockSize + 65534LL * kZtIntervalBlockSize +
                                   kZtSessionBlockSize;

struct TZtStart {
    std::uint8_t Kind = 0;
    std::uint8_t Versions[4] = {};  // SW, HW, MR, BL
    std::uint32_t CurveStrokes = 0; // K
    std::uint32_t Strokes = 0;      // N
    std::uint32_t Intervals = 0;    // M
};

bool ReadStart(TByteReader& r, TZtStart& start) {
    char magic[4];
    r.ReadBytes(magic, sizeof magic);
    r.Skip(1);
    start.Kind = r.ReadU8();
    for (std::uint8_t& v : start.Versions)
        v = r.ReadU8();
    start.CurveStrokes = r.ReadU16();
    start.Strokes = r.ReadU16();
    start.Intervals = r.ReadU16();
    r.Skip(kSkippedBlockSize);
    return !r.Failed() && std::equal(magic, magic + 4, kZtMagic);
}

void ReadUserBlock(TByteReader& r, TStgIni& ini) {
    const std::uint8_t boat = r.ReadU8();
    // A boat the program does not know becomes a single scull.
    ini.Boat = boat < kBoatTypeCount ? boat : 0;
    ini.Sprocket = r.ReadU8() == kSmallLeftSprocketCode ? 0 : 1;
    ini.Weight = r.ReadU8();
    r.Skip(1);
}

void ReadWorkoutBlock(TByteReader& r, TStgIni& ini) {
    std::uint8_t b[kWorkoutBlockSize];
    if (!r.ReadBytes(b, sizeof b)) return;
    const auto word = [&b](std::size_t at) { return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8)); };
    const auto intervals = [&](int by) {
        ini.SessionLimit = kLimitIntervals;
        ini.IntervalBy = by;
        ini.LimitIntervals = b[1];
    };
    switch (b[0]) {
    case 0:
        ini.SessionLimit = kLimitStrokes;
        ini.LimitStrokes = 0;
        break;
    case 1:
        ini.SessionLimit = kLimitStrokes;
        ini.LimitStrokes = word(8);
        break;
    case 2:
        ini.SessionLimit = kLimitEnergy;
        ini.LimitEnergy = word(6);
        break;
    case 3:
        ini.SessionLimit = kLimitDistance;
        ini.LimitDistance = word(4);
        break;
    case 4:
        ini.SessionLimit = kLimitTime;
        ini.LimitTime = b[2] * 60 + b[3];
        break;
    case 17:
        intervals(kByStrokes);
        ini.WorkStrokes = word(20);
        ini.RestStrokes = word(22);
        break;
    case 18:
        intervals(kByEnergy);
        ini.WorkEnergy = word(16);
        ini.RestEnergy = word(18);
        break;
    case 19:
        intervals(kByDistance);
        ini.WorkDistance = word(12);
        ini.RestDistance = word(14);
        break;
    case 20:
        intervals(kByTime);
        ini.WorkTime = b[24] * 60 + b[26];
        ini.RestTime = b[25] * 60 + b[27];
        break;
    default:
        break;
    }
}

// Stroke n of the training from a stroke block; stroke n - 1 is already in place.
void ReadStrokeBlock(TByteReader& r, TTraining& t, std::size_t n) {
    TStgStrokeData& s = t.StrokeData[n];
    s.K = static_cast<float>(r.ReadU32() / 1e9);
    s.DriveTime = static_cast<float>(r.ReadU32() / 100000.0);
    r.Skip(2);
    s.Energy = static_cast<float>(r.ReadU16() / 10.0);
    s.Power = static_cast<float>(r.ReadU16() / 10.0);
    s.DriveRatio = static_cast<float>(r.ReadU16() / 100.0);
    s.Est500mTime = static_cast<float>(r.ReadU16() / 10.0);
    s.WorkPerPulse = static_cast<float>(r.ReadU16() / 10.0);
    s.Length = r.ReadU8();
    s.StrokeRate = r.ReadU8();
    s.Pulse = r.ReadU8();
    s.IntervalNumber = r.ReadU8();
    r.Skip(2);
    s.Number = r.ReadU16();
    s.Distance = static_cast<float>(r.ReadU32() / 1000.0);
    s.EnergySum = static_cast<float>(r.ReadU32() / 10000.0);
    s.Time = static_cast<float>(r.ReadU32() / 1000.0);
    s.AvgPower = static_cast<float>(r.ReadU16() / 10.0);
    const double timeLeft = r.ReadU16() / 10.0; // s
    s.IntervalPower = r.ReadU16();
    const Word distanceLeft = r.ReadU16();
    s.TargetPower = 0;
    s.PeakForce = 0;
    s.PeakForcePos = 0;
    s.RelPeakForcePos = 0;
    switch (t.Ini.IntervalBy) {
    case kByEnergy: // the energy left at the interval's power
        s.IntervalCountdown = ClampToField<Word>(std::trunc(s.IntervalPower * timeLeft));
        break;
    case kByDistance:
        s.IntervalCountdown = distanceLeft;
        break;
    case kByTime:
        s.IntervalCountdown = ClampToField<Word>(std::trunc(timeLeft));
        break;
    default:
        s.IntervalCountdown = 0;
        break;
    }
    const double previous = n > 1 ? t.StrokeData[n - 1].Distance : 0.0;
    s.DistancePerStroke = static_cast<float>((s.Distance - previous) * 100.0);
}

void ReadForceBlock(TByteReader& r, TStgForceCurve& c) {
    for (int k = 0; k < kZtForceBlockSize; ++k)
        c.Force[static_cast<std::size_t>(k)] = FloatToWord(std::trunc(r.ReadU8() * kZtForceStep));
    c.Present = 1;
}

void ReadIntervalBlock(TByteReader& r, TStgInterval& interval) {
    interval.Time = static_cast<Word>(r.ReadU16() / 10);
    interval.AvgPower = static_cast<Word>(r.ReadU16() / 10);
    interval.Distance = r.ReadU16();
    r.Skip(2);
    interval.AvgRate = 0;
    interval.AvgPulse = 0;
}

void ReadSessionBlock(TByteReader& r, TStgWorkout& w) {
    const std::size_t start = r.Position();
    w.Distance = static_cast<float>(r.ReadU32() / 1000.0);
    w.Energy = static_cast<float>(r.ReadU32() / 10000.0);
    w.Time = static_cast<float>(r.ReadU32() / 1000.0);
    r.Skip(2);
    w.AvgPower = static_cast<float>(r.ReadU16() / 10.0);
    if (!r.Failed()) r.Seek(start + kZtSessionBlockSize);
}

std::uint64_t SessionSize(const TZtStart& s) {
    const std::uint64_t intervalBlocks = s.Intervals > 0 ? s.Intervals - 1 : 0;
    return kZtStartSize + std::uint64_t{s.CurveStrokes} * (kZtStrokeBlockSize + kZtForceBlockSize) +
           std::uint64_t{s.Strokes} * kZtStrokeBlockSize + intervalBlocks * kZtIntervalBlockSize +
           kZtSessionBlockSize;
}

bool ReadSession(TByteReader& r, const TZtStart& start, TTraining& t) {
    if (SessionSize(start) > r.Size()) return false;
    SetStrokeCount(t, static_cast<int>(start.Strokes));
    for (std::size_t n = 1; n <= start.CurveStrokes; ++n) {
        ReadStrokeBlock(r, t, n);
        ReadForceBlock(r, t.ForceCurves[n]);
    }
    t.Header.CurrentStroke = 0;
    // The second run holds every stroke and replaces what the first stored.
    for (std::size_t n = 1; n <= start.Strokes; ++n) {
        ReadStrokeBlock(r, t, n);
        CalcPeakForce(t.StrokeData[n], t.ForceCurves[n], t.Ini.Sprocket);
    }
    // M - 1 finished intervals, numbered from 1 at element 0.
    const std::size_t intervals = start.Intervals > 0 ? start.Intervals - 1 : 0;
    SetIntervalCount(t, static_cast<int>(intervals));
    for (std::size_t i = 0; i < intervals; ++i) {
        ReadIntervalBlock(r, t.Intervals[i]);
        t.Intervals[i].Number = static_cast<Word>(i + 1);
    }
    ReadSessionBlock(r, t.Workout);
    if (r.Failed()) return false;
    SetAverageStroke(t);
    return true;
}

const struct {
    std::uint8_t Format;
    std::uint8_t Kind;
} kZtSourceKinds[3] = {{kFileFormatZti, kContentKindUser},
                       {kFileFormatZtr, kContentKindStroke},
                       {kFileFormatZts, kContentKindTraining}};

bool SizeFits(TZtFileKind kind, qint64 size) {
    switch (kind) {
    case ztkUser:
        return size == kZtiFileSize;
    case ztkStroke:
        return size == kZtrFileSize;
    case ztkSession:
        return size >= kZtsMinFileSize;
    }
    return false;
}

bool ZtHeader(const QString& fileName, TZtFileKind kind, TStgHeader& header) {
    return SizeFits(
        kind, HeaderFromFileInfo(fileName, kZtSourceKinds[kind].Format, kZtSourceKinds[kind].Kind, header));
}

bool ReadZtFile(const QString& fileName, TZtFileKind kind, TTraining& training) {
    if (!ZtHeader(fileName, kind, training.Header)) return false;
    QByteArray bytes;
    return ReadFilePrefix(fileName, kMaxZtsFileSize, bytes) &&
           DecodeZtFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size()), kind, training);
}

} // namespace

bool DecodeZtFile(const std::uint8_t* data, std::size_t size, TZtFileKind kind, TTraining& t) {
    if (kind > ztkSession ||
        !SizeFits(kind, static_cast<qint64>(std::min<std::size_t>(size, kMaxZtsFileSize))))
        return false;
    TByteReader r(data, size);
    TZtStart start;
    if (!ReadStart(r, start) || start.Kind != kind) return false;
    // The stroke shown is one of the strokes.
    if (start.CurveStrokes > start.Strokes) return false;
    t.Header.Note = QString::asprintf("ZtIV file. SW=%d, HW=%d, MR=%d, BL=%d", start.Versions[0],
                                      start.Versions[1], start.Versions[2], start.Versions[3])
                        .toStdString();
    t.Ini = TStgIni{};
    ReadUserBlock(r, t.Ini);
    ReadWorkoutBlock(r, t.Ini);
    if (r.Failed()) return false;
    switch (kind) {
    case ztkUser:
        // A user file holds no strokes; its counts are not turned into empty ones.
        SetStrokeCount(t, 0);
        SetIntervalCount(t, 0);
        t.Header.CurrentStroke = 0;
        return true;
    case ztkStroke:
        // The one stroke of the file is stroke 1, which the counts must include.
        if (start.Strokes < 1) return false;
        SetStrokeCount(t, 1);
        SetIntervalCount(t, 0);
        t.Header.CurrentStroke = static_cast<std::int32_t>(std::min<std::uint32_t>(start.CurveStrokes, 1));
        ReadStrokeBlock(r, t, 1);
        ReadForceBlock(r, t.ForceCurves[1]);
        if (r.Failed()) return false;
        // The average as every other reader has it, so a save and a reopen show the same one.
        SetAverageStroke(t);
        return true;
    case ztkSession:
        return ReadSession(r, start, t);
    }
    return false;
}

bool ZtiFileHeader(const QString& fileName, TStgHeader& header) {
    return ZtHeader(fileName, ztkUser, header);
}
bool ZtrFileHeader(const QString& fileName, TStgHeader& header) {
    return ZtHeader(fileName, ztkStroke, header);
}
bool ZtsFileHeader(const QString& fileName, TStgHeader& header) {
    return ZtHeader(fileName, ztkSession, header);
}

bool ReadZtiFile(const QString& fileName, TTraining& training) {
    return ReadZtFile(fileName, ztkUser, training);
}
bool ReadZtrFile(const QString& fileName, TTraining& training) {
    return ReadZtFile(fileName, ztkStroke, training);
}
bool ReadZtsFile(const QString& fileName, TTraining& training) {
    return ReadZtFile(fileName, ztkSession, training);
}
