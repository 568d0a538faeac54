// The program's own training file (.stg): the start "MIL " + version, then chunks of
// fixed-size records (type byte, record size Word, record count Integer, the records).

#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "foundation/files/RecordCodec.h"
#include "foundation/files/FileIo.h"

#include <algorithm>
#include <cstring>
#include <limits>

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
// The tone that tells of a stroke record cut short.
constexpr int kCutStrokeToneHz = 2500;
constexpr int kCutStrokeToneMs = 100;
// Strokes and intervals are numbered by a Word; more cannot be stored faithfully. Raw samples
// are bounded so that a file of tiny records cannot make us allocate without limit.
constexpr std::int64_t kMaxStgStrokes = 65535;
constexpr std::int64_t kMaxStgIntervals = 65535;
constexpr std::int64_t kMaxStgRawSamples = std::int64_t{1} << 25;
// A stored stroke, curve, interval or raw sample shorter than its first field (the number, the
// interval) cannot be told from noise: such a chunk holds nothing, and nothing is made of it.
constexpr std::uint16_t kMinArrayRecordSize = 2;

struct TChunkHead {
    std::uint8_t Type = 0;
    std::uint16_t Size = 0;
    std::int32_t Count = 0;
};

// Where the bytes of a file come from: memory, or a file read piece by piece so that only the
// chunks that are decoded are ever in memory.
class TStgSource {
public:
    virtual ~TStgSource() = default;
    virtual std::uint64_t Size() const = 0;
    // n bytes at offset (the caller keeps within Size()); null when they cannot be read. Valid
    // until the next call.
    virtual const std::uint8_t* Bytes(std::uint64_t offset, std::size_t n) = 0;
};

class TMemorySource final : public TStgSource {
public:
    TMemorySource(const std::uint8_t* data, std::size_t size) : FData(data), FSize(data ? size : 0) {}
    std::uint64_t Size() const override { return FSize; }
    const std::uint8_t* Bytes(std::uint64_t offset, std::size_t n) override {
        return offset + n <= FSize ? FData + offset : nullptr;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
};

class TFileSource final : public TStgSource {
public:
    explicit TFileSource(TReadFile& file) : FFile(file) {}
    std::uint64_t Size() const override { return static_cast<std::uint64_t>(FFile.Size()); }
    const std::uint8_t* Bytes(std::uint64_t offset, std::size_t n) override {
        if (!FFile.ReadAt(static_cast<qint64>(offset), static_cast<qint64>(n), FBuffer)) return nullptr;
        return reinterpret_cast<const std::uint8_t*>(FBuffer.constData());
    }

private:
    TReadFile& FFile;
    QByteArray FBuffer;
};

enum class THeadRead { Ok, Failed, CutRecord };

// Reads the chunk head at `at` and moves past it. A file cut short at a record boundary (a full
// disk, a broken copy) holds the chunk's records up to its end: the count becomes what the file
// holds, so the arrays are sized by it. A record cut in the middle makes the file unreadable.
THeadRead ReadChunkHead(TStgSource& src, std::uint64_t& at, TChunkHead& head) {
    if (src.Size() - at < kChunkHeadSize) return THeadRead::Failed;
    const std::uint8_t* p = src.Bytes(at, kChunkHeadSize);
    if (!p) return THeadRead::Failed;
    TByteReader r(p, kChunkHeadSize);
    head.Type = r.ReadU8();
    head.Size = r.ReadU16();
    head.Count = r.ReadI32();
    at += kChunkHeadSize;
    if (head.Type == kChunkEnd || head.Count < 0) return THeadRead::Failed;
    const std::uint64_t remaining = src.Size() - at;
    const std::uint64_t bytes = static_cast<std::uint64_t>(head.Count) * head.Size;
    if (bytes <= remaining) return THeadRead::Ok;
    if (remaining % head.Size != 0) return THeadRead::CutRecord;
    head.Count = static_cast<std::int32_t>(remaining / head.Size);
    return THeadRead::Ok;
}

std::uint64_t ChunkBytes(const TChunkHead& head) { return static_cast<std::uint64_t>(head.Count) * head.Size; }

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

// Header, settings and totals hold one record; further records are skipped.
template <class T, class Decode>
bool ReadSingleRecordChunk(TStgSource& src, std::uint64_t at, const TChunkHead& head, std::size_t ownSize,
                           T& record, Decode decode) {
    if (head.Count < 1) return true;
    const std::uint8_t* p = src.Bytes(at, head.Size);
    if (!p) return false;
    TByteReader r(p, head.Size);
    ReadSizedRecord(r, head.Size, ownSize, record, decode);
    return !r.Failed();
}

void ReadStrokeChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    SetStrokeCount(t, head.Count);
    TStgStrokeData stroke;
    for (std::int32_t i = 1; i <= head.Count; ++i) {
        ReadSizedRecord(r, head.Size, kStgStrokeDataSize, stroke, ReadStgStrokeRecord);
        // A stroke goes to the place its number names; others are dropped.
        if (stroke.Number >= 1 && stroke.Number <= head.Count) t.StrokeData[stroke.Number] = stroke;
    }
}

void ReadCurveChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    // Only grows the stroke arrays, so a curve chunk after the stroke chunk cannot cut strokes.
    if (static_cast<std::size_t>(head.Count) + 1 > t.ForceCurves.size()) SetStrokeCount(t, head.Count);
    for (std::int32_t i = 1; i <= head.Count; ++i)
        ReadSizedRecord(r, head.Size, kStgForceCurveSize, t.ForceCurves[static_cast<std::size_t>(i)],
                        ReadStgForceCurveRecord);
}

void ReadIntervalChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
    SetIntervalCount(t, head.Count);
    for (std::int32_t i = 0; i < head.Count; ++i)
        ReadSizedRecord(r, head.Size, kStgIntervalSize, t.Intervals[static_cast<std::size_t>(i)],
                        ReadStgIntervalRecord);
}

void ReadRawChunk(TByteReader& r, const TChunkHead& head, TTraining& t) {
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
}

// Reads the start of the file; false unless it is "MIL " with a version.
bool ReadStart(TStgSource& src, std::int32_t& version) {
    const std::uint8_t* p = src.Size() >= 8 ? src.Bytes(0, 8) : nullptr;
    if (!p || !std::equal(p, p + 4, TrainingMagic.begin())) return false;
    TByteReader r(p + 4, 4);
    version = r.ReadI32();
    return true;
}

bool DecodeArrayChunk(TStgSource& src, std::uint64_t at, const TChunkHead& head, TTraining& t) {
    const std::int64_t most = head.Type == kChunkIntervals ? kMaxStgIntervals
                              : head.Type == kChunkRaw     ? kMaxStgRawSamples
                                                           : kMaxStgStrokes;
    if (head.Count > most) return false;
    if (head.Size < kMinArrayRecordSize) return true;
    // Counts are checked before the bytes are fetched: a refused chunk costs nothing.
    const std::uint64_t bytes = ChunkBytes(head);
    const std::uint8_t* p = src.Bytes(at, static_cast<std::size_t>(bytes));
    if (!p) return false;
    TByteReader r(p, static_cast<std::size_t>(bytes));
    switch (head.Type) {
    case kChunkStrokes:
        ReadStrokeChunk(r, head, t);
        break;
    case kChunkCurves:
        ReadCurveChunk(r, head, t);
        break;
    case kChunkIntervals:
        ReadIntervalChunk(r, head, t);
        break;
    default:
        ReadRawChunk(r, head, t);
        break;
    }
    return !r.Failed();
}

// Stored indexes are only used inside the arrays.
void ClampIndexes(TTraining& t) {
    const auto lastStroke = static_cast<std::int32_t>(t.StrokeData.empty() ? 0 : t.StrokeData.size() - 1);
    t.Header.CurrentStroke = std::clamp(t.Header.CurrentStroke, 0, lastStroke);
    const auto lastInterval = static_cast<std::int32_t>(t.Intervals.empty() ? 0 : t.Intervals.size() - 1);
    t.Header.IntervalIndex = std::clamp(t.Header.IntervalIndex, 0, lastInterval);
}

// cutStroke: set when the read failed on a stroke record cut by the end of the file.
bool DecodeStg(TStgSource& src, TTraining& t, bool* cutStroke = nullptr) {
    t = TTraining{};
    SetStrokeCount(t, 0);
    std::int32_t version = 0;
    if (!ReadStart(src, version) || version == 0) return false;
    // Older files start with a header block instead of chunks; only their header is read.
    if (static_cast<std::uint32_t>(version) < kStgChunkedVersion) return false;

    std::uint64_t at = 8;
    while (at < src.Size()) {
        TChunkHead head;
        const THeadRead read = ReadChunkHead(src, at, head);
        if (read == THeadRead::CutRecord && head.Type == kChunkStrokes && cutStroke) *cutStroke = true;
        if (read != THeadRead::Ok) return false;
        bool ok = true;
        if (head.Size > 0) {
            switch (head.Type) {
            case kChunkHeader:
                ok = ReadSingleRecordChunk(src, at, head, kStgHeaderSize, t.Header, ReadStgHeaderRecord);
                break;
            case kChunkIni:
                ok = ReadSingleRecordChunk(src, at, head, kStgIniSize, t.Ini, ReadStgIniRecord);
                break;
            case kChunkWorkout:
                ok = ReadSingleRecordChunk(src, at, head, kStgWorkoutSize, t.Workout, ReadStgWorkoutRecord);
                break;
            case kChunkStrokes:
            case kChunkCurves:
            case kChunkIntervals:
            case kChunkRaw:
                ok = DecodeArrayChunk(src, at, head, t);
                break;
            default:
                break; // skipped unread
            }
        }
        if (!ok) return false;
        at += ChunkBytes(head);
    }

    ClampIndexes(t);
    SetAverageStroke(t);
    t.Magic = TrainingMagic;
    t.Version = version;
    return true;
}

bool DecodeHeader(TStgSource& src, TStgHeader& header, std::int32_t& version) {
    header = TStgHeader{};
    version = 0;
    if (!ReadStart(src, version)) return false;
    if (static_cast<std::uint32_t>(version) < kStgChunkedVersion) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(src.Size(), kStgOldHeaderSize));
        const std::uint8_t* p = src.Bytes(0, n);
        if (!p) return false;
        TByteReader r(p, n);
        std::int32_t ignored = 0;
        return ReadStgOldHeaderRecord(r, header, ignored);
    }
    std::uint64_t at = 8;
    while (at < src.Size()) {
        TChunkHead head;
        if (ReadChunkHead(src, at, head) != THeadRead::Ok) return false;
        if (head.Type == kChunkHeader && head.Size > 0 &&
            !ReadSingleRecordChunk(src, at, head, kStgHeaderSize, header, ReadStgHeaderRecord))
            return false;
        at += ChunkBytes(head);
    }
    return true;
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
    TMemorySource src(data, size);
    return DecodeStg(src, t);
}

bool DecodeStgHeader(const std::uint8_t* data, std::size_t size, TStgHeader& header, std::int32_t& version) {
    TMemorySource src(data, size);
    return DecodeHeader(src, header, version);
}

namespace {

std::uint64_t EncodedSize(const TTraining& t) {
    return 8 + 7 * kChunkHeadSize + kStgHeaderSize + kStgIniSize + kStgWorkoutSize +
           std::uint64_t{HighestIndex(t.StrokeData.size())} * kStgStrokeDataSize +
           std::uint64_t{HighestIndex(t.ForceCurves.size())} * kStgForceCurveSize +
           std::uint64_t{t.Intervals.size()} * kStgIntervalSize +
           std::uint64_t{HighestIndex(t.RawData.size())} * kStgRawDataSize;
}

} // namespace

std::int32_t StgFileSize(const TTraining& t) {
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(EncodedSize(t), std::numeric_limits<std::int32_t>::max()));
}

std::vector<std::uint8_t> EncodeStgFile(const TTraining& t) {
    const std::size_t strokes = HighestIndex(t.StrokeData.size());
    const std::size_t curves = HighestIndex(t.ForceCurves.size());
    const std::size_t raws = HighestIndex(t.RawData.size());
    TByteWriter w(static_cast<std::size_t>(EncodedSize(t)));
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

bool EncodeStgFileForReader(const TTraining& t, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    // What the reader could not take back is not written.
    if (static_cast<std::int64_t>(HighestIndex(t.StrokeData.size())) > kMaxStgStrokes ||
        static_cast<std::int64_t>(HighestIndex(t.ForceCurves.size())) > kMaxStgStrokes ||
        static_cast<std::int64_t>(t.Intervals.size()) > kMaxStgIntervals ||
        static_cast<std::int64_t>(HighestIndex(t.RawData.size())) > kMaxStgRawSamples)
        return false;
    bytes = EncodeStgFile(t);
    if (static_cast<qint64>(bytes.size()) > kMaxStgFileSize) {
        bytes.clear();
        return false;
    }
    return true;
}

bool WriteStgFile(const QString& fileName, const TTraining& t) {
    std::vector<std::uint8_t> bytes;
    return EncodeStgFileForReader(t, bytes) && SaveFileBytes(fileName, bytes);
}

namespace {

// The file, opened for a read that takes only the chunks it decodes; nothing when it is larger
// than any training this program writes.
bool OpenStgFile(TReadFile& file) {
    if (!file.IsOpen()) return false;
    if (file.Size() > kMaxStgFileSize) {
        SetReadError(QStringLiteral("The file is larger than a training can be"));
        return false;
    }
    return true;
}

} // namespace

bool ReadStgFile(const QString& fileName, TTraining& training) {
    TReadFile file(fileName);
    if (!OpenStgFile(file)) return false;
    TFileSource src(file);
    bool cutStroke = false;
    if (!DecodeStg(src, training, &cutStroke)) {
        // A stroke cut short is said aloud too: the file was written incompletely.
        if (cutStroke) Sound(kCutStrokeToneHz, kCutStrokeToneMs);
        return false;
    }
    training.Header.FileName = StoredShortString(fileName);
    return true;
}

bool ReadStgHeader(const QString& fileName, TStgHeader& header, std::int32_t& version) {
    header = TStgHeader{};
    version = 0;
    TReadFile file(fileName);
    if (!OpenStgFile(file)) return false;
    TFileSource src(file);
    return DecodeHeader(src, header, version);
}
