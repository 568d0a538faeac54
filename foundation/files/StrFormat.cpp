// The stroke file (.str: stroke record, force record, user record) and the binary user file
// (.ini: the user record alone) of the older program generation.

#include "foundation/files/TrainingFiles.h"

#include "foundation/core/ByteStream.h"
#include "foundation/files/FileIo.h"

#include <algorithm>

namespace {

// Offsets inside the user record.
constexpr std::size_t kUserFixedOffset = 9;
constexpr std::array<std::uint8_t, 10> kUserFixedBytes{2, 3, 10, 11, 0, 9, 4, 6, 0, 0};
constexpr std::size_t kUserSignedOffset = 22;   // fields 0-4, signed words
constexpr std::size_t kUserUnsignedOffset = 46; // fields 5-25, unsigned words
constexpr int kUserSignedFields = 5;
constexpr int kErgometerField = 3;
constexpr std::size_t kUserTrailerOffset = 90;

constexpr std::size_t kStrUserOffset = kStrStrokeRecordSize + kStrForceRecordSize;
static_assert(kStrUserOffset + kUserRecordSize == kStrFileSize);

// The sensor saturates: a zero right after a force above this stands for its ceiling.
constexpr double kForceSaturationLimit = 750.0;
constexpr double kForceSaturationValue = 780.0;

// The stroke fields of the stroke record, in stored order (Number and the interval words
// are Words of their own).
constexpr std::array<float TStgStrokeData::*, 12> kStrokeSingles{
    &TStgStrokeData::Power,       &TStgStrokeData::AvgPower,    &TStgStrokeData::StrokeRate,
    &TStgStrokeData::TargetPower, &TStgStrokeData::Time,        &TStgStrokeData::Length,
    &TStgStrokeData::Distance,    &TStgStrokeData::Est500mTime, &TStgStrokeData::Energy,
    &TStgStrokeData::EnergySum,   &TStgStrokeData::Pulse,       &TStgStrokeData::WorkPerPulse,
};

bool HasUserFixedBytes(const std::uint8_t* record) {
    return std::equal(kUserFixedBytes.begin(), kUserFixedBytes.end(), record + kUserFixedOffset);
}

// The user record at the reader's position into Ini and Header.Name. The fixed bytes are
// checked only where they tell a binary user file from a text settings file of the same name.
bool ReadUserRecord(TByteReader& r, TTraining& t, bool checkFixedBytes) {
    if (!r.CanRead(kUserRecordSize) || (checkFixedBytes && !HasUserFixedBytes(r.Current()))) return false;
    const std::size_t start = r.Position();
    t.Ini = TStgIni{};
    // Names are zero-padded: the text ends at the first zero.
    t.Header.Name = r.ReadZeroTerminated(kUserNameSize, kUserNameSize);
    r.Seek(start + kUserSignedOffset);
    for (int i = 0; i < kUserSignedFields; ++i)
        t.Ini.*StgIniFields[static_cast<std::size_t>(i)] = r.ReadI16();
    // Only the first two ergometer kinds are known to this format.
    if (t.Ini.Ergometer != 0 && t.Ini.Ergometer != 1) t.Ini.Ergometer = 0;
    r.Seek(start + kUserUnsignedOffset);
    for (int i = kUserSignedFields; i < kStgIniFieldCount; ++i)
        t.Ini.*StgIniFields[static_cast<std::size_t>(i)] = r.ReadU16();
    r.Seek(start + kUserRecordSize);
    return !r.Failed();
}

void WriteUserRecord(TByteWriter& w, const TTraining& t) {
    const std::size_t start = w.Size();
    const std::string& name = t.Header.Name;
    const std::size_t nameLength = std::min<std::size_t>(name.size(), kUserNameSize);
    w.WriteBytes(name.data(), nameLength);
    w.WriteZeros(kUserNameSize - nameLength);
    w.WriteBytes(kUserFixedBytes.data(), kUserFixedBytes.size());
    w.WriteZeros(3);
    for (int i = 0; i < kUserSignedFields; ++i) {
        std::int32_t value = t.Ini.*StgIniFields[static_cast<std::size_t>(i)];
        if (i == kErgometerField && value != 0 && value != 1) value = 0;
        w.WriteI16(ClampToField<std::int16_t>(value));
    }
    w.WriteZeros(kUserUnsignedOffset - (w.Size() - start));
    for (int i = kUserSignedFields; i < kStgIniFieldCount; ++i)
        w.WriteU16(ClampToField<std::uint16_t>(t.Ini.*StgIniFields[static_cast<std::size_t>(i)]));
    w.WriteZeros(kUserTrailerOffset - (w.Size() - start));
    w.WriteU32(11);
    w.WriteU32(15);
    const std::uint8_t tail[4] = {1, 0, 3, 0};
    w.WriteBytes(tail, sizeof tail);
    w.WriteZeros(4);
}

void ReadStrokeRecord(TByteReader& r, TStgStrokeData& s) {
    s = TStgStrokeData{};
    s.Number = r.ReadU16();
    for (float TStgStrokeData::*field : kStrokeSingles)
        s.*field = r.ReadU16();
    s.IntervalNumber = r.ReadU16();
    s.IntervalCountdown = r.ReadU16();
    s.IntervalPower = r.ReadU16();
}

void WriteStrokeRecord(TByteWriter& w, const TStgStrokeData& s) {
    w.WriteU16(s.Number);
    for (float TStgStrokeData::*field : kStrokeSingles)
        w.WriteU16(ClampToField<Word>(s.*field));
    w.WriteU16(s.IntervalNumber);
    w.WriteU16(s.IntervalCountdown);
    w.WriteU16(s.IntervalPower);
}

void ReadForceRecord(TByteReader& r, TStgForceCurve& c) {
    c.Present = 0;
    double previous = 0;
    for (Word& sample : c.Force) {
        const double raw = r.ReadU8() * kStrForceStep;
        // Compared with the raw previous value: a replaced zero does not make the next one 780 N.
        const double v = raw == 0 && previous > kForceSaturationLimit ? kForceSaturationValue : raw;
        previous = raw;
        sample = FloatToWord(v);
        if (v > 0) c.Present = 1;
    }
}

void WriteForceRecord(TByteWriter& w, const TStgForceCurve& c) {
    for (Word sample : c.Force)
        w.WriteU8(ClampToField<std::uint8_t>(sample / kStrForceStep));
}

bool ReadHeaderOfKind(const QString& fileName, std::uint8_t format, std::uint8_t kind, qint64 size,
                      TStgHeader& header) {
    return HeaderFromFileInfo(fileName, format, kind, header) == size;
}

// The whole file; false when it has another size.
bool ReadExactFile(const QString& fileName, qint64 size, QByteArray& bytes) {
    return ReadWholeFile(fileName, size, bytes) && bytes.size() == size;
}

const std::uint8_t* Bytes(const QByteArray& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.constData());
}

} // namespace

bool DecodeUserFile(const std::uint8_t* data, std::size_t size, TTraining& training) {
    if (size != kUserFileSize) return false;
    TByteReader r(data, size);
    return ReadUserRecord(r, training, true);
}

bool DecodeStrFile(const std::uint8_t* data, std::size_t size, TTraining& training) {
    if (size != kStrFileSize) return false;
    TByteReader r(data, size);
    SetStrokeCount(training, 1);
    ReadStrokeRecord(r, training.StrokeData[1]);
    ReadForceRecord(r, training.ForceCurves[1]);
    training.ForceCurves[1].Number = 1;
    training.ForceCurves[1].Present = 1; // the file always holds its stroke's curve
    if (!ReadUserRecord(r, training, false)) return false;
    TStgStrokeData& stroke = training.StrokeData[1];
    CalcPeakForce(stroke, training.ForceCurves[1], training.Ini.Sprocket);
    SetAverageStroke(training);
    // As the file stores no totals, the session's are those its one stroke had reached.
    training.Workout = {.Distance = stroke.Distance, .Time = stroke.Time, .Energy = stroke.EnergySum,
                        .AvgPower = stroke.AvgPower};
    return !r.Failed();
}

std::vector<std::uint8_t> EncodeUserFile(const TTraining& training) {
    TByteWriter w(kUserFileSize);
    WriteUserRecord(w, training);
    return w.Take();
}

std::vector<std::uint8_t> EncodeStrFile(const TTraining& training) {
    TByteWriter w(kStrFileSize);
    // A training whose strokes were all trimmed stores a zero stroke and curve.
    const bool hasStroke = training.StrokeData.size() > 1 && training.ForceCurves.size() > 1;
    WriteStrokeRecord(w, hasStroke ? training.StrokeData[1] : TStgStrokeData{});
    WriteForceRecord(w, hasStroke ? training.ForceCurves[1] : TStgForceCurve{});
    WriteUserRecord(w, training);
    return w.Take();
}

bool StrFileHeader(const QString& fileName, TStgHeader& header) {
    return ReadHeaderOfKind(fileName, kFileFormatStr, kContentKindStroke, kStrFileSize, header);
}

bool UserFileHeader(const QString& fileName, TStgHeader& header) {
    if (!ReadHeaderOfKind(fileName, kFileFormatIni, kContentKindUser, kUserFileSize, header)) return false;
    QByteArray start;
    const qint64 fixedEnd = kUserFixedOffset + kUserFixedBytes.size();
    return ReadFilePrefix(fileName, fixedEnd, start) && start.size() == fixedEnd &&
           HasUserFixedBytes(Bytes(start));
}

bool ReadStrFile(const QString& fileName, TTraining& training) {
    QByteArray bytes;
    return ReadHeaderOfKind(fileName, kFileFormatStr, kContentKindStroke, kStrFileSize, training.Header) &&
           ReadExactFile(fileName, kStrFileSize, bytes) &&
           DecodeStrFile(Bytes(bytes), static_cast<std::size_t>(bytes.size()), training);
}

bool ReadUserFile(const QString& fileName, TTraining& training) {
    QByteArray bytes;
    return ReadHeaderOfKind(fileName, kFileFormatIni, kContentKindUser, kUserFileSize, training.Header) &&
           ReadExactFile(fileName, kUserFileSize, bytes) &&
           DecodeUserFile(Bytes(bytes), static_cast<std::size_t>(bytes.size()), training);
}

bool WriteStrFile(const QString& fileName, const TTraining& training) {
    return SaveFileBytes(fileName, EncodeStrFile(training));
}

bool WriteUserFile(const QString& fileName, const TTraining& training) {
    return SaveFileBytes(fileName, EncodeUserFile(training));
}
