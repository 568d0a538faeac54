#include "UpdateFixtures.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr int SafetyMs = 20000;  // a broken replacement fails the test instead of hanging it
constexpr int ElfMachineOffset = 18;
}  // namespace

QByteArray FakeProgram(const char* tag) {
    QFile file(QStringLiteral(KV_FAKE_PROGRAM_PATH));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll() + QByteArray(tag);
}

QByteArray ForeignProgram(const char* tag) {
    QByteArray bytes = FakeProgram(tag);
    bytes[ElfMachineOffset] = char(0x28);  // ARM, little endian
    bytes[ElfMachineOffset + 1] = 0;
    return bytes;
}

bool WriteProgram(const QString& fileName, const QByteArray& bytes, int mode) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return ::chmod(QFile::encodeName(fileName).constData(), mode_t(mode)) == 0;
}

QString Sha256Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

TReportPipe::TReportPipe() {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0)
        return;
    FRead = p[0];
    FWrite = ::fcntl(p[1], F_DUPFD, 20);  // without close-on-exec: every program inherits it
    ::close(p[1]);
    ::setenv("KV_FAKE_REPORT_FD", std::to_string(FWrite).c_str(), 1);
}

TReportPipe::~TReportPipe() {
    ::unsetenv("KV_FAKE_REPORT_FD");
    for (int fd : {FRead, FWrite})
        if (fd >= 0)
            ::close(fd);
}

std::string TReportPipe::Collect() {
    if (FWrite >= 0)
        ::close(FWrite);
    FWrite = -1;
    std::string got;
    char buf[256];
    for (;;) {
        pollfd p{FRead, POLLIN, 0};
        if (::poll(&p, 1, SafetyMs) <= 0)
            return got + "<time-out>";
        const ssize_t n = ::read(FRead, buf, sizeof buf);
        if (n <= 0)
            return got;
        got.append(buf, std::size_t(n));
    }
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<char*> argv, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    for (const std::string& e : extraEnv)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0 ? pid : -1;
}

int WaitExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RunAndReport(const QString& program) {
    TReportPipe report;
    const pid_t pid = Spawn({QFile::encodeName(program).toStdString()});
    if (pid < 0)
        return {};
    WaitExit(pid);
    return report.Collect();
}
