// The program's own training file (.stg): the start "MIL " + version, then chunks of
// fixed-size records (type byte, record size Word, record count Integer, the records).

#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "foundation/files/RecordCodec.h"
#include "foundation/files/FileIo.h"

#include <algorithm>
#include <cstring>

namespace {

enum TStgChunk : std::uint8_t {
    kChunkEnd = 0, // never written; makes the reader give up
    kChunkHeader = 1,
    kChunkIni = 2,
    kChunkStrokes = 3,
    kChunkCurves = 4,
    kChunkIntervals = 5,
    kChunkWorkout = 6,
    kChunkRaw = 7,
};

constexpr int kChunkHeadSize = 7;
// Strokes and intervals are numbered by a Word; more cannot be stored faithfully. Raw samples
// are bounded so that a file of tiny records cannot make us allocate without limit.
constexpr std::int64_t kMaxStgStrokes = 65535;
constexpr std::int64_t kMaxStgIntervals = 65535;
constexpr std::int64_t kMaxStgRawSamples = std::int64_t{1} << 25;

struct TChunkHead {
    std::uint8_t Type = 0;
    std::uint16_t Size = 0;
    std::int32_t Count = 0;
};

// Reads a chunk head. A file cut short at a record boundary (a full disk, a broken copy) holds
// the chunk's records up to its end: the count becomes what the file holds, so the arrays are
// sized by it. A record cut in the middle makes the file unreadable.
bool ReadChunkHead(TByteReader& r, TChunkHead& head) {
    head.Type = r.ReadU8();
    head.Size = r.ReadU16();
    head.Count = r.ReadI32();
    if (r.Failed() || head.Type == kChunkEnd || head.Count < 0) return false;
    const std::uint64_t bytes = static_cast<std::uint64_t>(head.Count) * head.Size;
    if (bytes <= r.Remaining()) return true;
    if (r.Remaining() % head.Size != 0) return false;
    head.Count = static_cast<std::int32_t>(r.Remaining() / head.Size);
    return true;
}

// Decodes one record stored with `storedSize` bytes into a record of `ownSize` bytes: shorter
// records get zeros for their missing trailing fields, the extra bytes of longer ones are
// dropped. The caller has checked that the stored bytes are there.
template <class T, class Decode>
void ReadSizedRecord(TByteReader& r, std::size_t storedSize, std::size_t ownSize, T& record, Decode decode) {
    if (storedSize >= ownSize) {
        TByteReader sub(r.Current(), ownSize);
        decode(sub, record);
    } else {
        std::uint8_t buffer[kStgHeaderSize];
        std::memcpy(buffer, r.Current(), storedSize);
        std::memset(buffer + storedSize, 0, ownSize - storedSize);
        TByteReader sub(buffer, ownSize);
        decode(sub, record);
    }
    r.Skip(storedSize);
}

// Header, settings and totals hold one record; further records are skipped so that the reader
// stays on chunk boundaries.
template <class T, class Decode>
void ReadSingleRecordChunk(TByteReader& r, const TChunkHead& head, std::size_t ownSize, T& record,
                           Decode decode) {
    if (head.Count < 1) return;
    ReadSizedRecord(r, head.Size, ownSize, record, decode);
    r.Skip(static_cast<std::size_t>(head.Count - 1) * head.Size);
}

bool ReadStrokeChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    if (head.Count > kMaxStgStrokes) return false;
    SetStrokeCount(t, head.Count);
    TStgStrokeData stroke;
    for (std::int32_t i = 1; i <= head.Count; ++i) {
        ReadSizedRecord(r, head.Size, kStgStrokeDataSize, stroke, ReadStgStrokeRecord);
        // A stroke goes to the place its number names; others are dropped.
        if (stroke.Number >= 1 && stroke.Number <= head.Count) t.StrokeData[stroke.Number] = stroke;
    }
    return true;
}

bool ReadCurveChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    if (head.Count > kMaxStgStrokes) return false;
    // Only grows the stroke arrays, so a curve chunk after the stroke chunk cannot cut strokes.
    if (static_cast<std::size_t>(head.Count) + 1 > t.ForceCurves.size()) SetStrokeCount(t, head.Count);
    for (std::int32_t i = 1; i <= head.Count; ++i)
        ReadSizedRecord(r, head.Size, kStgForceCurveSize, t.ForceCurves[static_cast<std::size_t>(i)],
                        ReadStgForceCurveRecord);
    return true;
}

bool ReadIntervalChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    if (head.Count > kMaxStgIntervals) return false;
    SetIntervalCount(t, head.Count);
    for (std::int32_t i = 0; i < head.Count; ++i)
        ReadSizedRecord(r, head.Size, kStgIntervalSize, t.Intervals[static_cast<std::size_t>(i)],
                        ReadStgIntervalRecord);
    return true;
}

bool ReadRawChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    if (head.Count > kMaxStgRawSamples) return false;
    const auto count = static_cast<std::size_t>(head.Count);
    t.RawData.resize(count + 1);
    if (head.Size == kStgRawDataSize) {
        // The usual case, decoded straight from the buffer.
        const std::uint8_t* p = r.Current();
        for (std::size_t i = 1; i <= count; ++i, p += kStgRawDataSize) {
            t.RawData[i].Interval = static_cast<Word>(p[0] | (p[1] << 8));
            t.RawData[i].HeartRate = p[2];
        }
        r.Skip(count * kStgRawDataSize);
    } else {
        for (std::size_t i = 1; i <= count; ++i)
            ReadSizedRecord(r, head.Size, kStgRawDataSize, t.RawData[i], ReadStgRawRecord);
    }
    return true;
}

// Reads the start of the file; false unless it is "MIL " with a version.
bool ReadStart(TByteReader& r, std::int32_t& version) {
    char magic[4];
    r.ReadBytes(magic, sizeof magic);
    if (r.Failed() || !std::equal(magic, magic + 4, TrainingMagic.begin())) return false;
    version = r.ReadI32();
    return !r.Failed();
}

// Stored indexes are only used inside the arrays.
void ClampIndexes(TTraining& t) {
    const auto lastStroke = static_cast<std::int32_t>(t.StrokeData.empty() ? 0 : t.StrokeData.size() - 1);
    t.Header.CurrentStroke = std::clamp(t.Header.CurrentStroke, 0, lastStroke);
    const auto lastInterval = static_cast<std::int32_t>(t.Intervals.empty() ? 0 : t.Intervals.size() - 1);
    t.Header.IntervalIndex = std::clamp(t.Header.IntervalIndex, 0, lastInterval);
}

void WriteChunkHead(TByteWriter& w, TStgChunk type, int size, std::size_t count) {
    w.WriteU8(type);
    w.WriteU16(static_cast<std::uint16_t>(size));
    w.WriteI32(static_cast<std::int32_t>(count));
}

std::size_t HighestIndex(std::size_t length) { return length > 1 ? length - 1 : 0; }

} // namespace

std::int32_t StgWriterVersion() {
    std::uint32_t version = GetFileVersionInt();
    if (version == 0) version = KV_PROJECT_VERSION_PACKED;
    return static_cast<std::int32_t>(version);
}

bool DecodeStgFile(const std::uint8_t* data, std::size_t size, TTraining& t) {
    t = TTraining{};
    SetStrokeCount(t, 0);
    TByteReader r(data, size);
    std::int32_t version = 0;
    if (!ReadStart(r, version) || version == 0) return false;
    // Older files start with a header block instead of chunks; only their header is read.
    if (static_cast<std::uint32_t>(version) < kStgChunkedVersion) return false;

    while (!r.AtEnd()) {
        TChunkHead head;
        if (!ReadChunkHead(r, head)) return false;
        if (head.Size == 0) continue; // holds no records
        bool ok = true;
        switch (head.Type) {
        case kChunkHeader:
            ReadSingleRecordChunk(r, head, kStgHeaderSize, t.Header, ReadStgHeaderRecord);
            break;
        case kChunkIni:
            ReadSingleRecordChunk(r, head, kStgIniSize, t.Ini, ReadStgIniRecord);
            break;
        case kChunkWorkout:
            ReadSingleRecordChunk(r, head, kStgWorkoutSize, t.Workout, ReadStgWorkoutRecord);
            break;
        case kChunkStrokes:
            ok = ReadStrokeChunk(r, head, t);
            break;
        case kChunkCurves:
            ok = ReadCurveChunk(r, head, t);
            break;
        case kChunkIntervals:
            ok = ReadIntervalChunk(r, head, t);
            break;
        case kChunkRaw:
            ok = ReadRawChunk(r, head, t);
            break;
        default:
            r.Skip(static_cast<std::size_t>(head.Count) * head.Size);
            break;
        }
        if (!ok || r.Failed()) return false;
    }

    ClampIndexes(t);
    SetAverageStroke(t);
    t.Magic = TrainingMagic;
    t.Version = version;
    return true;
}

bool DecodeStgHeader(const std::uint8_t* data, std::size_t size, TStgHeader& header, std::int32_t& version) {
    header = TStgHeader{};
    version = 0;
    TByteReader r(data, size);
    if (!ReadStart(r, version)) return false;
    if (static_cast<std::uint32_t>(version) < kStgChunkedVersion) {
        r.Seek(0);
        std::int32_t ignored = 0;
        return ReadStgOldHeaderRecord(r, header, ignored);
    }
    while (!r.AtEnd()) {
        TChunkHead head;
        if (!ReadChunkHead(r, head)) return false;
        if (head.Type == kChunkHeader && head.Size > 0)
            ReadSingleRecordChunk(r, head, kStgHeaderSize, header, ReadStgHeaderRecord);
        else
            r.Skip(static_cast<std::size_t>(head.Count) * head.Size);
        if (r.Failed()) return false;
    }
    return true;
}

std::vector<std::uint8_t> EncodeStgFile(const TTraining& t) {
    const std::size_t strokes = HighestIndex(t.StrokeData.size());
    const std::size_t curves = HighestIndex(t.ForceCurves.size());
    const std::size_t raws = HighestIndex(t.RawData.size());
    TByteWriter w(8 + 7 * kChunkHeadSize + kStgHeaderSize + kStgIniSize + kStgWorkoutSize +
                  strokes * kStgStrokeDataSize + curves * kStgForceCurveSize +
                  t.Intervals.size() * kStgIntervalSize + raws * kStgRawDataSize);
    w.WriteBytes(TrainingMagic.data(), TrainingMagic.size());
    w.WriteI32(StgWriterVersion());

    WriteChunkHead(w, kChunkHeader, kStgHeaderSize, 1);
    TStgHeader header = t.Header;
    header.CurveMode = 0;
    WriteStgHeaderRecord(w, header);

    WriteChunkHead(w, kChunkIni, kStgIniSize, 1);
    WriteStgIniRecord(w, t.Ini);

    WriteChunkHead(w, kChunkStrokes, kStgStrokeDataSize, strokes);
    for (std::size_t i = 1; i <= strokes; ++i) {
        // The reader places strokes by number: store the index, whatever the number says.
        TStgStrokeData stroke = t.StrokeData[i];
        stroke.Number = static_cast<Word>(i);
        WriteStgStrokeRecord(w, stroke);
    }

    WriteChunkHead(w, kChunkCurves, kStgForceCurveSize, curves);
    for (std::size_t i = 1; i <= curves; ++i)
        WriteStgForceCurveRecord(w, t.ForceCurves[i]);

    WriteChunkHead(w, kChunkIntervals, kStgIntervalSize, t.Intervals.size());
    for (const TStgInterval& interval : t.Intervals)
        WriteStgIntervalRecord(w, interval);

    WriteChunkHead(w, kChunkWorkout, kStgWorkoutSize, 1);
    WriteStgWorkoutRecord(w, t.Workout);

    WriteChunkHead(w, kChunkRaw, kStgRawDataSize, raws);
    for (std::size_t i = 1; i <= raws; ++i)
        WriteStgRawRecord(w, t.RawData[i]);
    return w.Take();
}

bool WriteStgFile(const QString& fileName, const TTraining& t) {
    // What the reader could not take back is not written.
    if (static_cast<std::int64_t>(HighestIndex(t.StrokeData.size())) > kMaxStgStrokes ||
        static_cast<std::int64_t>(HighestIndex(t.ForceCurves.size())) > kMaxStgStrokes ||
        static_cast<std::int64_t>(t.Intervals.size()) > kMaxStgIntervals ||
        static_cast<std::int64_t>(HighestIndex(t.RawData.size())) > kMaxStgRawSamples)
        return false;
    return SaveFileBytes(fileName, EncodeStgFile(t));
}

bool ReadStgFile(const QString& fileName, TTraining& training) {
    QByteArray bytes;
    if (!ReadWholeFile(fileName, kMaxStgFileSize, bytes) ||
        !DecodeStgFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()), training))
        return false;
    training.Header.FileName = StoredShortString(fileName);
    return true;
}

bool ReadStgHeader(const QString& fileName, TStgHeader& header, std::int32_t& version) {
    header = TStgHeader{};
    version = 0;
    QByteArray bytes;
    if (!ReadWholeFile(fileName, kMaxStgFileSize, bytes)) return false;
    return DecodeStgHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           static_cast<std::size_t>(bytes.size()), header, version);
}
