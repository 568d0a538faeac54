#include "FileHelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

QByteArray ReadAllBytes(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAllBytes(const QString& fileName, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile f(fileName);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool WriteAllBytes(const QString& fileName, const std::vector<std::uint8_t>& bytes) {
    return WriteAllBytes(fileName, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size())));
}

bool LinkBlockDeviceOf(const QString& sysRoot, const QString& file, const QString& target) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0) return false;
    const QString link = QStringLiteral("%1/dev/block/%2:%3").arg(sysRoot).arg(major(st.st_dev)).arg(minor(st.st_dev));
    return QDir().mkpath(sysRoot + QLatin1Char('/') + target) && QDir().mkpath(QFileInfo(link).absolutePath()) &&
           QFile::link(sysRoot + QLatin1Char('/') + target, link);
}

QStringList FilesUnder(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

TFileSizeLimit::TFileSizeLimit(unsigned long bytes) {
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    FOldLimit = limit.rlim_cur;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

TFileSizeLimit::~TFileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = FOldLimit;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, FOldHandler);
}
