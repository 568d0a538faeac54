#include "platform/ProgramReplace.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int ElfHeaderBytes = 20;  // up to and including e_machine
constexpr std::uint8_t OsAbiNone = 0;
constexpr std::uint8_t OsAbiGnu = 3;
constexpr int WaitFdInChild = 3;

std::string Native(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString Quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Tests stop the replacement after a given step to kill it there.
void StopPoint(int step) {
    const char* stop = std::getenv("KVWT_REPLACE_STOP");
    if (stop && *stop && std::atoi(stop) == step)
        ::raise(SIGSTOP);
}

bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool SyncFolder(const QString& file) {
    return SyncPath(Native(QFileInfo(file).absolutePath()), O_RDONLY | O_DIRECTORY);
}

std::int64_t MonotonicMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void Report(const QString& message) {
    std::fprintf(stderr, "kvwt: %s\n", message.toLocal8Bit().constData());
}

// Starts the program without arguments; false when it could not be executed.
bool StartProgram(const QString& program) {
    const std::string path = Native(program);
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = -1;
    return ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) == 0;
}

// A limit in milliseconds from the environment (tests shorten it), else the default.
int LimitMs(const char* name, int fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value >= 0 && value <= fallback ? int(value) : fallback;
}

// Starts the new program and waits until it says that it runs (ReportProgramStarted): a program
// that ends before, or says nothing within the limit, has not started.
bool StartNewProgram(const QString& program, int limitMs) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0)
        return false;
    const int writeFd = ::fcntl(p[1], F_DUPFD, 10);  // inherited by the new program only
    ::close(p[1]);
    const std::string path = Native(program);
    const std::string startedVar = "KVWT_STARTED_FD=" + std::to_string(writeFd);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "KVWT_STARTED_FD=", 16) != 0)
            envp.push_back(*e);
    envp.push_back(const_cast<char*>(startedVar.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = -1;
    const bool spawned = writeFd >= 0 && ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) == 0;
    if (writeFd >= 0)
        ::close(writeFd);
    bool started = false;
    if (spawned) {
        const std::int64_t end = MonotonicMs() + limitMs;
        for (;;) {
            const std::int64_t left = end - MonotonicMs();
            pollfd pf{p[0], POLLIN, 0};
            const int n = ::poll(&pf, 1, int(left > 0 ? left : 0));
            if (n < 0 && errno == EINTR)
                continue;
            char c;
            started = n > 0 && ::read(p[0], &c, 1) == 1;
            break;
        }
    }
    ::close(p[0]);
    return started;
}

// Puts the kept old program back in the place of target.
bool RestoreBackup(const QString& target) {
    const bool ok = ::rename(Native(ReplaceBackupName(target)).c_str(), Native(target).c_str()) == 0;
    SyncFolder(target);
    return ok;
}

}  // namespace

bool ReadElfIdentity(const QString& fileName, TElfIdentity& identity) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray h = file.read(ElfHeaderBytes);
    if (h.size() < ElfHeaderBytes || !h.startsWith("\x7f" "ELF"))
        return false;
    const auto byte = [&](int i) { return std::uint8_t(h[i]); };
    identity.Class = byte(4);
    identity.Data = byte(5);
    identity.OsAbi = byte(7);
    if ((identity.Class != 1 && identity.Class != 2) || (identity.Data != 1 && identity.Data != 2))
        return false;
    const auto half = [&](int i) {
        return identity.Data == 1 ? std::uint16_t(byte(i) | byte(i + 1) << 8)
                                  : std::uint16_t(byte(i) << 8 | byte(i + 1));
    };
    identity.Type = half(16);
    identity.Machine = half(18);
    return true;
}

bool ElfProgramMatches(const QString& candidate, const QString& reference) {
    TElfIdentity c, r;
    if (!ReadElfIdentity(candidate, c) || !ReadElfIdentity(reference, r))
        return false;
    const auto linuxAbi = [](std::uint8_t abi) { return abi == OsAbiNone || abi == OsAbiGnu; };
    const bool abiOk = c.OsAbi == r.OsAbi || (linuxAbi(c.OsAbi) && linuxAbi(r.OsAbi));
    return (c.Type == 2 || c.Type == 3) && c.Class == r.Class && c.Data == r.Data &&
           c.Machine == r.Machine && abiOk;
}

QString FileSha256(const QString& fileName) {
    QFile file(fileName);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

QString ReplaceBackupName(const QString& target) { return target + QStringLiteral(".old"); }

QString UpdateNoteName(const QString& target) { return target + QStringLiteral(".update-failed"); }

QString TakeUpdateNotice(const QString& program) {
    if (program.isEmpty())
        return {};
    QFile note(UpdateNoteName(program));
    if (!note.open(QIODevice::ReadOnly))
        return {};
    const QString reason = QString::fromUtf8(note.read(4096)).trimmed();
    note.close();
    note.remove();
    return QStringLiteral("The update was not installed.\n") + reason;
}

void ReportProgramStarted() {
    const char* text = std::getenv("KVWT_STARTED_FD");
    if (!text || !*text)
        return;
    const int fd = std::atoi(text);
    ::unsetenv("KVWT_STARTED_FD");
    if (fd > 2) {
        (void)!::write(fd, "S", 1);
        ::close(fd);
    }
}

bool WaitForPipeEnd(int fd, int timeoutMs) {
    const std::int64_t end = MonotonicMs() + timeoutMs;
    for (;;) {
        const std::int64_t left = end - MonotonicMs();
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, int(left > 0 ? left : 0));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        char buf[64];
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got == 0)
            return true;
        if (got < 0 && errno != EINTR && errno != EAGAIN)
            return false;
    }
}

QString ReplaceProgramFile(const QString& target, const QString& newFile, std::int64_t size,
                           const QString& sha256) {
    const std::string t = Native(target), n = Native(newFile), b = Native(ReplaceBackupName(target));
    struct stat ts{}, ns{};
    if (::stat(n.c_str(), &ns) != 0 || !S_ISREG(ns.st_mode))
        return QStringLiteral("File not found : ") + Quoted(newFile);
    if (::stat(t.c_str(), &ts) != 0 || !S_ISREG(ts.st_mode))
        return QStringLiteral("File not found : ") + Quoted(target);
    if (QFileInfo(target).absolutePath() != QFileInfo(newFile).absolutePath() || ts.st_dev != ns.st_dev)
        return QStringLiteral("Not in the program's folder : ") + Quoted(newFile);
    if (!ElfProgramMatches(newFile, target))
        return QStringLiteral("Not a program for this computer : ") + Quoted(newFile);

    // The new file gets the old one's permissions and is on the disk before it takes its place.
    const int fd = ::open(n.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fchmod(fd, ts.st_mode & 07777) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return QStringLiteral("Error preparing : ") + Quoted(newFile) + QStringLiteral(" (") +
               SystemError(error) + QLatin1Char(')');
    }
    ::close(fd);
    StopPoint(1);

    // The old program stays reachable under the backup name until the new one has started.
    ::unlink(b.c_str());
    if (::link(t.c_str(), b.c_str()) != 0)
        return QStringLiteral("Error creating the backup : ") + Quoted(ReplaceBackupName(target)) +
               QStringLiteral(" (") + SystemError(errno) + QLatin1Char(')');
    StopPoint(2);

    // The file is installed only as it was checked: anything may have written to it since.
    if (sha256.isEmpty() || QFileInfo(newFile).size() != size ||
        FileSha256(newFile).compare(sha256, Qt::CaseInsensitive) != 0) {
        ::unlink(b.c_str());
        return QStringLiteral("The new program file changed after its check : ") + Quoted(newFile);
    }

    if (::rename(n.c_str(), t.c_str()) != 0) {
        const int error = errno;
        ::unlink(b.c_str());
        return QStringLiteral("Error renaming ") + Quoted(newFile) + QStringLiteral(" to ") +
               Quoted(target) + QStringLiteral(" (") + SystemError(error) + QLatin1Char(')');
    }
    StopPoint(3);

    if (!SyncFolder(target)) {
        const int error = errno;
        RestoreBackup(target);
        return QStringLiteral("Error writing the folder of ") + Quoted(target) + QStringLiteral(" (") +
               SystemError(error) + QLatin1Char(')');
    }
    StopPoint(4);
    return {};
}

bool IsReplaceMode(int argc, char** argv) {
    return argc >= 2 && std::strcmp(argv[1], "--replace") == 0;
}

int RunReplaceMode(int argc, char** argv) {
    if (argc < 4) {
        Report(QStringLiteral("No parameter(s) specified"));
        return 2;
    }
    const QString target = QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath();
    const QString newFile = QFileInfo(QFile::decodeName(argv[3])).absoluteFilePath();
    int waitFd = -1;
    std::int64_t size = -1;
    QString sha256;
    for (int i = 4; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--wait-fd") == 0)
            waitFd = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--size") == 0)
            size = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--sha256") == 0)
            sha256 = QString::fromLatin1(argv[i + 1]);
    }
    // Whatever stops the replacement, the download goes and the next start says why.
    const auto giveUp = [&](int code, const QString& why) {
        Report(why);
        if (QFileInfo(newFile).absolutePath() == QFileInfo(target).absolutePath() && newFile != target &&
            newFile != ReplaceBackupName(target))
            ::unlink(Native(newFile).c_str());
        QFile note(UpdateNoteName(target));
        if (note.open(QIODevice::WriteOnly | QIODevice::Truncate))
            note.write(why.toUtf8() + '\n');
        return code;
    };

    // Only once the old program has ended (it holds the pipe's write end until then).
    if (waitFd >= 0) {
        const int limit = LimitMs("KVWT_REPLACE_WAIT_MS", ReplaceWaitTimeoutMs);
        const bool ended = WaitForPipeEnd(waitFd, limit);
        ::close(waitFd);
        if (!ended)
            return giveUp(3, QStringLiteral("The program did not end within %1 seconds; ").arg(limit / 1000) +
                                 Quoted(target) + QStringLiteral(" was not replaced"));
    }
    StopPoint(0);

    const QString error = ReplaceProgramFile(target, newFile, size, sha256);
    if (!error.isEmpty()) {
        giveUp(4, error);
        StartProgram(target);  // the old program, as it was
        return 4;
    }
    if (!StartNewProgram(target, LimitMs("KVWT_REPLACE_START_MS", ReplaceStartTimeoutMs))) {
        RestoreBackup(target);
        giveUp(5, QStringLiteral("The new program did not start; the old one is back : ") + Quoted(target));
        StartProgram(target);
        return 5;
    }
    StopPoint(5);
    ::unlink(Native(ReplaceBackupName(target)).c_str());
    SyncFolder(target);
    return 0;
}

bool StartReplacer(const QString& replacer, const QString& target, const QString& newFile,
                   std::int64_t size, const QString& sha256, TReplacerProcess& process, QString& error) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) {
        error = SystemError(errno);
        return false;
    }
    // The read end away from the number it gets in the child, so that dup2 clears its close-on-exec.
    const int readFd = ::fcntl(p[0], F_DUPFD_CLOEXEC, 10);
    ::close(p[0]);

    const std::string exe = Native(replacer), t = Native(target), n = Native(newFile);
    const std::string fdText = std::to_string(WaitFdInChild), sizeText = std::to_string(size);
    const std::string shaText = sha256.toLower().toStdString();
    std::vector<char*> argv{const_cast<char*>(exe.c_str()), const_cast<char*>("--replace"),
                            const_cast<char*>(t.c_str()), const_cast<char*>(n.c_str()),
                            const_cast<char*>("--wait-fd"), const_cast<char*>(fdText.c_str()),
                            const_cast<char*>("--size"), const_cast<char*>(sizeText.c_str()),
                            const_cast<char*>("--sha256"), const_cast<char*>(shaText.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_adddup2(&actions, readFd, WaitFdInChild);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    // A session of its own: closing the old program's terminal does not end the replacement.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int rc = readFd < 0 ? errno
                              : ::posix_spawn(&pid, exe.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (readFd >= 0)
        ::close(readFd);
    if (rc != 0) {
        ::close(p[1]);
        error = SystemError(rc);
        return false;
    }
    process.Pid = pid;
    process.WaitFd = p[1];
    return true;
}

void HoldUntilExit(TReplacerProcess& process) {
    static std::vector<int> held;  // never closed: the end of this process closes them
    if (process.WaitFd >= 0)
        held.push_back(process.WaitFd);
    process.WaitFd = -1;
}
