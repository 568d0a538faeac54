#include "platform/AtomicFile.h"

#include "platform/FileNames.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemReason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The temporary file of a write of `name` in its folder: hidden, and named so that a leftover
// can be told from anything else.
QByteArray TemporaryPrefix(const QByteArray& name) { return '.' + name + ".part-"; }
constexpr int kTemporarySuffixLength = 6;

// The file a write replaces, as the system names it: a symbolic link stays and its target is
// written.
QByteArray FinalPath(const QString& path) {
    QByteArray final = EncodeFileName(AbsoluteFileName(path));
    for (int depth = 0; depth < 128; ++depth) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(final.constData(), target, sizeof target);
        if (n <= 0 || n >= ssize_t(sizeof target)) return final;
        const QByteArray link(target, n);
        final = link.startsWith('/') ? link : final.left(final.lastIndexOf('/') + 1) + link;
    }
    return EncodeFileName(AbsoluteFileName(path)); // a loop of links: as given
}

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QByteArray("/");
}

QByteArray NameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

class TFolder {
public:
    explicit TFolder(const QByteArray& path) : FHandle(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~TFolder() {
        if (FHandle >= 0) ::close(FHandle);
    }
    TFolder(const TFolder&) = delete;
    TFolder& operator=(const TFolder&) = delete;
    int Handle() const { return FHandle; }

private:
    int FHandle;
};

// A new temporary file for a write of `name` in the folder: its handle, or -1 (errno says why).
int OpenTemporary(const TFolder& folder, const QByteArray& name, QByteArray& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryPrefix(name);
        for (int i = 0; i < kTemporarySuffixLength; ++i)
            temporary += "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[QRandomGenerator::global()->bounded(62)];
        const int fd = ::openat(folder.Handle(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1; // errno is EEXIST
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QByteArray final = FinalPath(path);
    const QByteArray name = NameOf(final);
    if (name.isEmpty()) return fail(SystemReason(EISDIR));
    const TFolder folder(FolderOf(final));
    if (folder.Handle() < 0) return fail(SystemReason(errno));

    // A new file gets the usual permissions (the umask applies), a replaced one keeps its own.
    struct stat old {};
    const bool replacing = ::fstatat(folder.Handle(), name.constData(), &old, 0) == 0 && S_ISREG(old.st_mode);
    if (replacing && ::faccessat(folder.Handle(), name.constData(), W_OK, AT_EACCESS) != 0)
        return fail(SystemReason(errno)); // a file that may not be written is not replaced either
    QByteArray temporary;
    const int fd = OpenTemporary(folder, name, temporary);
    if (fd < 0) return fail(SystemReason(errno));

    // Unbuffered: a short write (full disk, file size limit) fails instead of committing a cut
    // file. The data is on the disk before the name points at it.
    int code = 0;
    if ((replacing && ::fchmod(fd, old.st_mode & 07777) != 0) || !WriteAll(fd, bytes) || ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    if (code == 0 && ::renameat(folder.Handle(), temporary.constData(), folder.Handle(), name.constData()) != 0)
        code = errno;
    if (code != 0) {
        ::unlinkat(folder.Handle(), temporary.constData(), 0);
        return fail(SystemReason(code));
    }
    // The new name is only lasting once the folder is.
    if (::fsync(folder.Handle()) != 0 && errno != EINVAL) return fail(SystemReason(errno));
    return true;
}

int RemoveStaleTemporaryFiles(const QString& path) {
    const QByteArray final = FinalPath(path);
    const QByteArray prefix = TemporaryPrefix(NameOf(final));
    DIR* folder = ::opendir(FolderOf(final).constData());
    if (!folder) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        if (name.size() == prefix.size() + kTemporarySuffixLength && name.startsWith(prefix) &&
            ::unlinkat(::dirfd(folder), name.constData(), 0) == 0)
            ++removed;
    }
    ::closedir(folder);
    return removed;
}

TNewFileResult WriteNewFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const auto fail = [&](int code) {
        if (error) *error = SystemReason(code);
        return TNewFileResult::Failed;
    };
    const QByteArray full = EncodeFileName(AbsoluteFileName(path));
    const QByteArray name = NameOf(full);
    if (name.isEmpty()) return fail(EISDIR);
    const TFolder folder(FolderOf(full));
    if (folder.Handle() < 0) return fail(errno);
    QByteArray temporary;
    const int fd = OpenTemporary(folder, name, temporary);
    if (fd < 0) return fail(errno);
    int code = 0;
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    // A hard link fails when the name exists; where links are not supported, a rename that
    // refuses to replace does the same.
    bool linked = false;
    if (code == 0) {
        if (::linkat(folder.Handle(), temporary.constData(), folder.Handle(), name.constData(), 0) == 0) {
            linked = true;
        } else if (errno == EEXIST) {
            code = EEXIST;
        } else if (::renameat2(folder.Handle(), temporary.constData(), folder.Handle(), name.constData(),
                               RENAME_NOREPLACE) == 0) {
            temporary.clear();
            linked = true;
        } else {
            code = errno;
        }
    }
    if (!temporary.isEmpty()) ::unlinkat(folder.Handle(), temporary.constData(), 0);
    if (!linked) return code == EEXIST ? TNewFileResult::Exists : fail(code);
    // The file is there under its name: a folder that cannot be synced does not undo that.
    ::fsync(folder.Handle());
    return TNewFileResult::Written;
}
