#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Every fsync of this program is noted (what it synced, in order) and then done.
namespace {
QStringList GSynced;
}

extern "C" int fsync(int fd) {
    char link[64];
    char target[PATH_MAX] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    if (n > 0) GSynced << (folder ? QStringLiteral("folder ") : QStringLiteral("file ")) + QFile::decodeName(QByteArray(target, n));
    return int(::syscall(SYS_fsync, fd));
}

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

// A new file, a replaced one and one written through a link: the data is synced under the
// temporary name, then the folder after the rename; the temporary file is gone and a replaced
// file keeps its permissions.
TEST(AtomicFile, DataThenFolderAreSyncedAndPermissionsKept) {
    QTemporaryDir dir;
    const QString real = QDir(dir.path()).canonicalPath();
    ASSERT_TRUE(QDir().mkpath(real + "/data"));
    struct Case { const char* Name; QString Path; QString Target; mode_t Mode; };
    ASSERT_EQ(::symlink("data/linked.ini", QFile::encodeName(real + "/link.ini").constData()), 0);
    ASSERT_TRUE(WriteFileAtomically(real + "/data/kept.ini", "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(real + "/data/kept.ini").constData(), 0604), 0);
    const mode_t mask = ::umask(022);
    for (const Case& c : {Case{"new", real + "/new.ini", real + "/new.ini", 0644},
                          Case{"replaced", real + "/data/kept.ini", real + "/data/kept.ini", 0604},
                          Case{"through a link", real + "/link.ini", real + "/data/linked.ini", 0644}}) {
        GSynced.clear();
        QString error;
        ASSERT_TRUE(WriteFileAtomically(c.Path, "content", &error)) << c.Name << error.toStdString();
        QFile f(c.Target);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.Name;
        EXPECT_EQ(f.readAll(), "content") << c.Name;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(c.Target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.Mode) << c.Name;
        const QString folder = QFileInfo(c.Target).absolutePath();
        ASSERT_EQ(GSynced.size(), 2) << c.Name << GSynced.join(", ").toStdString();
        EXPECT_TRUE(GSynced[0].startsWith("file " + folder + "/.")) << c.Name << GSynced[0].toStdString();
        EXPECT_EQ(GSynced[1], "folder " + folder) << c.Name;
    }
    ::umask(mask);
    EXPECT_EQ(Entries(real + "/data"), QStringList({"kept.ini", "linked.ini"}));
    EXPECT_TRUE(QFileInfo(real + "/link.ini").isSymLink());
}

// What a write killed before its rename left behind goes; everything else stays.
TEST(AtomicFile, StaleTemporaryFilesAreRemoved) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("kvwt.ini");
    for (const char* name : {"kvwt.ini", ".kvwt.ini.part-Ab3dE9", ".kvwt.ini.part-zzzzzz", ".kvwt.ini.part-long123",
                             "kvwt.ini.backup", ".other.ini.part-Ab3dE9"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(RemoveStaleTemporaryFiles(ini), 2);
    EXPECT_EQ(Entries(dir.path()), QStringList({".kvwt.ini.part-long123", ".other.ini.part-Ab3dE9", "kvwt.ini",
                                                "kvwt.ini.backup"}));
}
