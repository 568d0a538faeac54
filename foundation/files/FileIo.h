// What the file layer's readers and writers share: format and kind indexes, whole-file reads
// with a size limit, saves through a temporary file, and the header of a file known only by its
// name, date and size.
#pragma once

#include "foundation/core/Types.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// FileFormatNames and ContentKindNames indexes the file layer reads, writes and offers.
inline constexpr std::uint8_t kFileFormatIni = 2;
inline constexpr std::uint8_t kFileFormatStg = 5;
inline constexpr std::uint8_t kFileFormatStr = 6;
inline constexpr std::uint8_t kFileFormatZti = 9;
inline constexpr std::uint8_t kFileFormatZts = 10;
inline constexpr std::uint8_t kFileFormatZtr = 11;
inline constexpr std::uint8_t kContentKindForceCurves = 1;
inline constexpr std::uint8_t kContentKindIntervals = 3;
inline constexpr std::uint8_t kContentKindStrokeData = 4;
inline constexpr std::uint8_t kContentKindStroke = 5;
inline constexpr std::uint8_t kContentKindTraining = 6;
inline constexpr std::uint8_t kContentKindUser = 7;
inline constexpr std::uint8_t kContentKindManual = 8;
inline constexpr std::uint8_t kContentKindRow = 9;
inline constexpr std::uint8_t kContentKindFullStrokeData = 10;

// The value stored in an integer field of type T: floats rounded to nearest (ties to even),
// then everything limited to T's range; NaN gives 0. A float is never converted to an integer
// type it does not fit.
template <std::integral T, class V> T ClampToField(V value) {
    using Limits = std::numeric_limits<T>;
    if constexpr (std::floating_point<V>) {
        if (std::isnan(value)) return 0;
        const double rounded = std::nearbyint(static_cast<double>(value));
        if (rounded <= static_cast<double>(Limits::min())) return Limits::min();
        if (rounded >= static_cast<double>(Limits::max())) return Limits::max();
        return static_cast<T>(rounded);
    } else {
        static_assert(std::is_signed_v<V> || sizeof(V) < sizeof(std::int64_t));
        const auto v = static_cast<std::int64_t>(value);
        return static_cast<T>(std::clamp<std::int64_t>(v, Limits::min(), Limits::max()));
    }
}

// The text as a short string field holds it: Windows-1252, cut to kShortStringMax bytes.
std::string StoredShortString(const QString& text);
// The reads take regular files only: a device or pipe has no size to trust, reading it could
// block or never end.
// A regular file opened for reads at offsets; closed with the object.
class TReadFile {
public:
    explicit TReadFile(const QString& fileName);
    ~TReadFile();
    TReadFile(const TReadFile&) = delete;
    TReadFile& operator=(const TReadFile&) = delete;
    bool IsOpen() const { return FHandle >= 0; }
    qint64 Size() const { return FSize; }
    // n bytes from offset into `bytes`; false when fewer could be read.
    bool ReadAt(qint64 offset, qint64 n, QByteArray& bytes);

private:
    int FHandle = -1;
    qint64 FSize = 0;
};
// Reads at most maxBytes from the start of the file. False when it cannot be opened or read.
bool ReadFilePrefix(const QString& fileName, qint64 maxBytes, QByteArray& bytes);
// Reads the whole file; false when it is larger than maxBytes or cannot be opened or read.
bool ReadWholeFile(const QString& fileName, qint64 maxBytes, QByteArray& bytes);
// The system's reason why this thread's last read of a file failed: it could not be opened, is
// not a regular file, is too large or could not be read. Empty after a success and when the
// bytes were there but are not a file of the kind.
QString LastReadError();
void SetReadError(const QString& reason);
// Writes the bytes to a temporary file in the target folder and renames it over the target.
// On failure the old file stays as it was. True when the file is complete.
bool SaveFileBytes(const QString& fileName, const std::vector<std::uint8_t>& bytes);
// The system's reason why this thread's last SaveFileBytes failed; empty after a success.
QString LastSaveError();
// A new header (InitTrainingHeader) with Title = the name without folder and extension,
// SourceFileName = the full name, Date and SourceFileDate = the file's date, SourceFileSize and
// the source format and kind. Returns the file's size, -1 when it does not exist.
qint64 HeaderFromFileInfo(const QString& fileName, std::uint8_t format, std::uint8_t kind,
                          TStgHeader& header);
