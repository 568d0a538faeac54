// The program's safe self-replacement. The running program downloads the new program file next
// to itself, starts its own file again in the replacement mode ("kvwt --replace TARGET NEW
// --wait-fd N") and ends. The replacement waits for the old program's end (end of file on a pipe
// whose write end only the old program holds), then swaps the files so that TARGET is always a
// complete program: a hard-linked backup, one rename(2), fsync of the folder, the backup put back
// on any failure. It needs no window and runs before the application object exists.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <sys/types.h>

// What makes two program files interchangeable: ELF class, byte order, machine and kind.
struct TElfIdentity {
    std::uint8_t Class = 0;  // 1: 32 bit, 2: 64 bit
    std::uint8_t Data = 0;   // 1: little endian, 2: big endian
    std::uint8_t OsAbi = 0;
    std::uint16_t Type = 0;  // 2: executable, 3: shared object (position independent)
    std::uint16_t Machine = 0;
};

// False when the file cannot be read or is no ELF program.
bool ReadElfIdentity(const QString& fileName, TElfIdentity& identity);
// True when candidate is an ELF program for the machine and system that reference runs on.
bool ElfProgramMatches(const QString& candidate, const QString& reference);
// SHA-256 of the file in lower-case hex; empty when it cannot be read.
QString FileSha256(const QString& fileName);

// The name of the old program kept while the new one takes its place.
QString ReplaceBackupName(const QString& target);

inline constexpr int ReplaceWaitTimeoutMs = 60 * 1000;
// How long the new program has to say that it started before the old one is put back.
inline constexpr int ReplaceStartTimeoutMs = 60 * 1000;

// Where a replacement that did not happen leaves its reason for the program's next start.
QString UpdateNoteName(const QString& target);
// The message for the start of program, empty when its last update went through; the note is
// taken away.
QString TakeUpdateNotice(const QString& program);
// Tells the replacement that started this program that it runs (KVWT_STARTED_FD).
void ReportProgramStarted();

// Waits until every write end of the pipe is closed (the old program has ended). False on a
// time-out or an error.
bool WaitForPipeEnd(int fd, int timeoutMs);

// Puts newFile in the place of target (both in one folder) when it still has the size and
// SHA-256 it was checked with. Empty on success; otherwise the message, and target is still the
// complete old program. Stops (SIGSTOP) after the step named by KVWT_REPLACE_STOP, so that tests
// can kill it there.
QString ReplaceProgramFile(const QString& target, const QString& newFile, std::int64_t size,
                           const QString& sha256);

// The replacement mode. args are the program's arguments after its name; true when they ask for
// it ("--replace" first).
bool IsReplaceMode(int argc, char** argv);
// Runs the whole replacement and the restart; the process's exit code (0 when the new program
// was started). A replacement that does not happen removes newFile and leaves a note for the
// next start. KVWT_REPLACE_WAIT_MS and KVWT_REPLACE_START_MS change the two time limits.
int RunReplaceMode(int argc, char** argv);

// The replacement started by the running program.
struct TReplacerProcess {
    pid_t Pid = -1;
    int WaitFd = -1;  // the write end: the replacement goes on once it is closed
};

// Starts "replacer --replace target newFile --wait-fd N --size S --sha256 H" in a session of
// its own. False and the reason in error when it cannot start.
bool StartReplacer(const QString& replacer, const QString& target, const QString& newFile,
                   std::int64_t size, const QString& sha256, TReplacerProcess& process, QString& error);
// Keeps the write end open until this process ends (the kernel closes it then).
void HoldUntilExit(TReplacerProcess& process);
