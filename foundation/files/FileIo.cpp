#include "foundation/files/FileIo.h"

#include "foundation/core/DateTimeUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"

#include <QDateTime>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local QString ReadError;

QString SystemReason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

} // namespace

QString LastReadError() { return ReadError; }

void SetReadError(const QString& reason) { ReadError = reason; }

TReadFile::TReadFile(const QString& fileName) {
    ReadError.clear();
    // Non-blocking, so that a FIFO or a device cannot hold us at the open; anything but a
    // regular file is then refused by its type.
    const int fd = ::open(EncodeFileName(fileName).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        ReadError = SystemReason(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ReadError = SystemReason(errno);
    } else if (S_ISDIR(st.st_mode)) {
        ReadError = SystemReason(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        ReadError = QStringLiteral("Not a regular file");
    } else {
        FHandle = fd;
        FSize = st.st_size;
        return;
    }
    ::close(fd);
}

TReadFile::~TReadFile() {
    if (FHandle >= 0) ::close(FHandle);
}

bool TReadFile::ReadAt(qint64 offset, qint64 n, QByteArray& bytes) {
    bytes.clear();
    if (FHandle < 0 || offset < 0 || n < 0) return false;
    bytes.resize(n);
    qint64 got = 0;
    while (got < n) {
        const ssize_t r = ::pread(FHandle, bytes.data() + got, static_cast<std::size_t>(n - got), offset + got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ReadError = r < 0 ? SystemReason(errno) : QStringLiteral("The file ended early");
            bytes.clear();
            return false;
        }
        got += r;
    }
    return true;
}

std::string StoredShortString(const QString& text) {
    std::string bytes = QStringToCp1252(text);
    if (bytes.size() > kShortStringMax) bytes.resize(kShortStringMax);
    return bytes;
}

bool ReadFilePrefix(const QString& fileName, qint64 maxBytes, QByteArray& bytes) {
    bytes.clear();
    TReadFile file(fileName);
    return file.IsOpen() && file.ReadAt(0, std::min(file.Size(), maxBytes), bytes);
}

bool ReadWholeFile(const QString& fileName, qint64 maxBytes, QByteArray& bytes) {
    bytes.clear();
    TReadFile file(fileName);
    if (!file.IsOpen()) return false;
    if (file.Size() > maxBytes) {
        ReadError = SystemReason(EFBIG);
        return false;
    }
    return file.ReadAt(0, file.Size(), bytes);
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
    struct stat st {};
    if (::stat(EncodeFileName(fileName).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        // The reason, as a read of the file would give it.
        TReadFile probe(fileName);
        return -1;
    }
    // The name without folder and last extension.
    QString title = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    if (const qsizetype dot = title.lastIndexOf(QLatin1Char('.')); dot >= 0) title.truncate(dot);
    header.Title = StoredShortString(title);
    header.SourceFileName = StoredShortString(fileName);
    const TDateTime date = QDateTimeToDateTime(QDateTime::fromMSecsSinceEpoch(
        qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000));
    header.Date = date;
    header.SourceFileDate = date;
    const qint64 size = st.st_size;
    header.SourceFileSize =
        static_cast<std::int32_t>(std::min<qint64>(size, std::numeric_limits<std::int32_t>::max()));
    header.SourceFileFormat = format;
    header.SourceContentKind = kind;
    return size;
}
