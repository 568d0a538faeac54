// What the update tests share: tagged copies of the stand-in program, a pipe that tells which
// copy ran, and starting and waiting for processes.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <sys/types.h>
#include <vector>

inline constexpr const char* OldTag = "OLDPROG1";
inline constexpr const char* NewTag = "NEWPROG1";

// The stand-in program's bytes with the 8-byte tag at the end.
QByteArray FakeProgram(const char* tag);
// The same program for another machine (e_machine changed).
QByteArray ForeignProgram(const char* tag);
// Writes the bytes as a file with the given permissions; false when that fails.
bool WriteProgram(const QString& fileName, const QByteArray& bytes, int mode = 0755);
QString Sha256Hex(const QByteArray& bytes);

// A pipe whose write end every started program inherits (through KV_FAKE_REPORT_FD), so that
// the stand-in programs report their tags into it.
class TReportPipe {
public:
    TReportPipe();
    ~TReportPipe();
    TReportPipe(const TReportPipe&) = delete;
    TReportPipe& operator=(const TReportPipe&) = delete;
    // Closes this process's write end and reads until every program that held it has ended.
    std::string Collect();

private:
    int FRead = -1;
    int FWrite = -1;
};

// Starts a program with extra "NAME=value" entries in its environment; -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});
// Its exit code, or -1 when it did not exit normally.
int WaitExit(pid_t pid);
// Runs the program file and returns the tag it reported ("" when it did not run).
std::string RunAndReport(const QString& program);
