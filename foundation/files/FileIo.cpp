#include "foundation/files/FileIo.h"

#include "foundation/core/DateTimeUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/AtomicFile.h"
#include "platform/CodePage.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

bool OpenRegularFile(QFile& file) {
    return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly);
}

} // namespace

std::string StoredShortString(const QString& text) {
    std::string bytes = QStringToCp1252(text);
    if (bytes.size() > kShortStringMax) bytes.resize(kShortStringMax);
    return bytes;
}

bool ReadFilePrefix(const QString& fileName, qint64 maxBytes, QByteArray& bytes) {
    bytes.clear();
    QFile file(fileName);
    if (!OpenRegularFile(file)) return false;
    const qint64 size = file.size();
    if (size < 0) return false;
    const qint64 wanted = std::min(size, maxBytes);
    bytes = file.read(wanted);
    return bytes.size() == wanted;
}

bool ReadWholeFile(const QString& fileName, qint64 maxBytes, QByteArray& bytes) {
    bytes.clear();
    QFile file(fileName);
    if (!OpenRegularFile(file)) return false;
    const qint64 size = file.size();
    if (size < 0 || size > maxBytes) return false;
    bytes = file.readAll();
    return bytes.size() == size;
}

namespace {
thread_local QString SaveError;
} // namespace

QString LastSaveError() { return SaveError; }

bool SaveFileBytes(const QString& fileName, const std::vector<std::uint8_t>& bytes) {
    SaveError.clear();
    const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size()));
    return WriteFileAtomically(fileName, view, &SaveError);
}

qint64 HeaderFromFileInfo(const QString& fileName, std::uint8_t format, std::uint8_t kind,
                          TStgHeader& header) {
    InitTrainingHeader(header);
    const QFileInfo info(fileName);
    if (!info.exists() || !info.isFile()) return -1;
    header.Title = StoredShortString(info.completeBaseName());
    header.SourceFileName = StoredShortString(fileName);
    const TDateTime date = QDateTimeToDateTime(info.lastModified());
    header.Date = date;
    header.SourceFileDate = date;
    const qint64 size = info.size();
    header.SourceFileSize =
        static_cast<std::int32_t>(std::min<qint64>(size, std::numeric_limits<std::int32_t>::max()));
    header.SourceFileFormat = format;
    header.SourceContentKind = kind;
    return size;
}
