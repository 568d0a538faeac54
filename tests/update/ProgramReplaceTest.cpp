// The replacement mode of the program: a good replacement and its restart, refusals, a kill
// after every step, the wait for the old program's end, and the checks of program files.
#include "platform/ProgramReplace.h"

#include "UpdateFixtures.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ProgramReplaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Old = FakeProgram(OldTag);
        New = FakeProgram(NewTag);
        ASSERT_TRUE(WriteProgram(Target, Old));
        ASSERT_TRUE(WriteProgram(NewFile, New, 0644));
    }

    // The replacement of Target by newFile, checked as holding New.
    std::vector<std::string> ReplaceArgs(const QString& newFile, const QByteArray& checked = {}) const {
        const QByteArray bytes = checked.isNull() ? New : checked;
        return {KV_PROGRAM_PATH, "--replace", QFile::encodeName(Target).toStdString(),
                QFile::encodeName(newFile).toStdString(), "--size", std::to_string(bytes.size()),
                "--sha256", Sha256Hex(bytes).toStdString()};
    }

    QTemporaryDir Dir;
    QString Target = Dir.filePath(QStringLiteral("kvwt"));
    QString NewFile = Dir.filePath(QStringLiteral("kvwt.$$$"));
    QByteArray Old, New;
};

// A good replacement swaps the file (keeping the old file's permissions) and starts the new
// program; a refused one removes the download, keeps and restarts the old program, and leaves
// its reason for the next start.
TEST_F(ProgramReplaceTest, ReplacementsAndRefusals) {
    const QString other = Dir.filePath(QStringLiteral("sub/kvwt.$$$"));
    ASSERT_TRUE(QDir().mkpath(Dir.filePath(QStringLiteral("sub"))));
    ASSERT_TRUE(WriteProgram(other, New));
    const QString foreign = Dir.filePath(QStringLiteral("foreign.$$$"));
    ASSERT_TRUE(WriteProgram(foreign, ForeignProgram(NewTag)));
    const QString text = Dir.filePath(QStringLiteral("text.$$$"));
    ASSERT_TRUE(WriteAllBytes(text, QByteArray("#!/bin/sh\necho hello\n")));
    const QByteArray changed = FakeProgram("CHANGED1"), dies = FakeProgram("DIESTART");
    const struct {
        const char* Name;
        QString NewFile;
        QByteArray Written;  // put at NewFile first, when not null
        QByteArray Checked;  // what the dialog checked, when not New
        int Exit;
        std::string Ran;
        const char* Why;
    } cases[] = {
        {"missing new file", Dir.filePath(QStringLiteral("missing.$$$")), {}, {}, 4, OldTag, "File not found"},
        {"the program itself, unchecked", Target, {}, {}, 4, OldTag, "changed after its check"},
        {"other folder", other, {}, {}, 4, OldTag, "Not in the program's folder"},
        {"foreign machine", foreign, {}, {}, 4, OldTag, "Not a program for this computer"},
        {"not a program", text, {}, {}, 4, OldTag, "Not a program for this computer"},
        {"changed after its check", NewFile, changed, {}, 4, OldTag, "changed after its check"},
        {"a byte more than checked", NewFile, New + "x", {}, 4, OldTag, "changed after its check"},
        {"does not start", NewFile, dies, dies, 5, std::string("DIESTART") + OldTag, "did not start"},
        {"good", NewFile, New, {}, 0, NewTag, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (!c.Written.isNull()) {
            ASSERT_TRUE(WriteProgram(c.NewFile, c.Written, 0644));
        }
        TReportPipe report;
        const pid_t pid = Spawn(ReplaceArgs(c.NewFile, c.Checked));
        ASSERT_GT(pid, 0);
        EXPECT_EQ(WaitExit(pid), c.Exit);
        EXPECT_EQ(report.Collect(), c.Ran);  // the program restarted
        EXPECT_EQ(ReadAllBytes(Target), c.Exit == 0 ? New : Old);
        EXPECT_FALSE(QFileInfo::exists(ReplaceBackupName(Target)));
        EXPECT_EQ(QFileInfo::exists(c.NewFile), c.NewFile == other || c.NewFile == Target);  // only a download goes
        const QString notice = TakeUpdateNotice(Target);
        EXPECT_EQ(notice.contains(QLatin1String(c.Why ? c.Why : "-")), c.Why != nullptr) << notice.toStdString();
        EXPECT_EQ(notice.isEmpty(), c.Why == nullptr);
        EXPECT_TRUE(TakeUpdateNotice(Target).isEmpty());  // said once
    }
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(Target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);  // the old file's permissions, not the download's
    EXPECT_EQ(WaitExit(Spawn({KV_PROGRAM_PATH, "--replace"})), 2);
}

// An old program that does not end (a question left open) keeps its file: the replacement gives
// up after its limit, removes the download and starts nothing; the next start says why.
TEST_F(ProgramReplaceTest, OldProgramThatDoesNotEnd) {
    int p[2];
    ASSERT_EQ(::pipe2(p, O_CLOEXEC), 0);
    const int inherited = ::fcntl(p[0], F_DUPFD, 30);  // the replacement's end, without close-on-exec
    ::close(p[0]);
    std::vector<std::string> args = ReplaceArgs(NewFile);
    args.insert(args.end(), {"--wait-fd", std::to_string(inherited)});
    TReportPipe report;
    const pid_t pid = Spawn(args, {"KVWT_REPLACE_WAIT_MS=0"});
    ::close(inherited);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 3);
    ::close(p[1]);  // the old program ends only now
    EXPECT_EQ(report.Collect(), "");
    EXPECT_EQ(ReadAllBytes(Target), Old);
    EXPECT_FALSE(QFileInfo::exists(NewFile));
    EXPECT_TRUE(TakeUpdateNotice(Target).contains(QLatin1String("did not end")));
}

// Killed after any step, the program file is a whole program: the old one up to the rename,
// the new one after it. A later replacement still works.
TEST_F(ProgramReplaceTest, KillAfterAnyStepLeavesAWholeProgram) {
    for (int step = 0; step <= 5; ++step) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(WriteProgram(Target, Old));
        ASSERT_TRUE(WriteProgram(NewFile, New, 0644));
        {
            TReportPipe report;
            const pid_t pid = Spawn(ReplaceArgs(NewFile), {"KVWT_REPLACE_STOP=" + std::to_string(step)});
            ASSERT_GT(pid, 0);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
            ASSERT_TRUE(WIFSTOPPED(status));
            ::kill(pid, SIGKILL);
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            report.Collect();
        }
        const bool swapped = step >= 3;
        EXPECT_EQ(ReadAllBytes(Target), swapped ? New : Old);
        EXPECT_EQ(RunAndReport(Target), swapped ? NewTag : OldTag);
    }
    // The backup of the last kill is in the way of nothing.
    ASSERT_TRUE(WriteProgram(Target, Old));
    ASSERT_TRUE(WriteProgram(NewFile, New, 0644));
    TReportPipe report;
    EXPECT_EQ(WaitExit(Spawn(ReplaceArgs(NewFile))), 0);
    EXPECT_EQ(report.Collect(), NewTag);
    EXPECT_EQ(ReadAllBytes(Target), New);
}

TEST(ProgramReplace, WaitsForEveryWriteEndToClose) {
    int p[2];
    ASSERT_EQ(::pipe2(p, O_CLOEXEC), 0);
    EXPECT_FALSE(WaitForPipeEnd(p[0], 0));  // the old program still runs
    ASSERT_EQ(::write(p[1], "x", 1), 1);   // stray bytes are no end
    EXPECT_FALSE(WaitForPipeEnd(p[0], 0));
    ::close(p[1]);
    EXPECT_TRUE(WaitForPipeEnd(p[0], 0));
    ::close(p[0]);
}

TEST(ProgramReplace, ElfIdentityOfProgramFiles) {
    QTemporaryDir dir;
    const QString own = dir.filePath(QStringLiteral("own")), other = dir.filePath(QStringLiteral("other"));
    ASSERT_TRUE(WriteProgram(own, FakeProgram(OldTag)));
    TElfIdentity id;
    ASSERT_TRUE(ReadElfIdentity(own, id));
    const auto patched = [&](int offset, char value) {
        QByteArray b = FakeProgram(NewTag);
        b[offset] = value;
        return b;
    };
    const struct {
        const char* Name;
        QByteArray Bytes;
        bool Matches;
    } cases[] = {
        {"same", FakeProgram(NewTag), true},
        {"other machine", ForeignProgram(NewTag), false},
        {"32 bit", patched(4, 1), false},
        {"big endian", patched(5, 2), false},
        {"GNU ABI", patched(7, 3), true},
        {"object file", patched(16, 1), false},
        {"no ELF", QByteArray("MZ") + FakeProgram(NewTag).mid(2), false},
        {"header cut", FakeProgram(NewTag).left(19), false},
        {"empty", QByteArray(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(WriteProgram(other, c.Bytes));
        EXPECT_EQ(ElfProgramMatches(other, own), c.Matches);
    }
    EXPECT_FALSE(ElfProgramMatches(dir.filePath(QStringLiteral("missing")), own));
}

}  // namespace
