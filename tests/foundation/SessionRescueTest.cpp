// Trainings kept when the program ends unasked: written exclusively under names no file has, in
// the data folder or else the temporary folder, and noted for the next start of the same user.
#include "foundation/recording/SessionRescue.h"

#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "support/FileHelpers.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

TTraining Rowed() {
    TTraining t;
    LoadDefaultTraining(t);
    ResetTraining(t);
    t.Header.ContentKind = kContentKindRow;
    SetStrokeCount(t, 2);
    t.StrokeData[2].Time = 5;
    t.Workout.Distance = 12.5f;
    return t;
}

}  // namespace

TEST(SessionRescue, NewFilesAreCreatedExclusively) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("a.stg"));
    EXPECT_EQ(WriteNewFileAtomically(name, "first"), TNewFileResult::Written);
    EXPECT_EQ(WriteNewFileAtomically(name, "second"), TNewFileResult::Exists);
    EXPECT_EQ(ReadAllBytes(name), "first");
    QString error;
    EXPECT_EQ(WriteNewFileAtomically(dir.filePath(QStringLiteral("no/b.stg")), "x", &error), TNewFileResult::Failed);
    EXPECT_FALSE(error.isEmpty());

    // Writers racing for one name: exactly one gets it, whole.
    const QString raced = dir.filePath(QStringLiteral("raced.stg"));
    std::atomic<int> written{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&, i] {
            if (WriteNewFileAtomically(raced, QByteArray(4096, char('a' + i))) == TNewFileResult::Written)
                ++written;
        });
    for (std::thread& w : writers)
        w.join();
    EXPECT_EQ(written.load(), 1);
    EXPECT_EQ(ReadAllBytes(raced).count(ReadAllBytes(raced).front()), 4096);
    EXPECT_EQ(FilesUnder(dir.path()), (QStringList{"a.stg", "raced.stg"}));
}

TEST(SessionRescue, KeptInTheFirstFolderThatTakesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString data = dir.filePath(QStringLiteral("data/"));
    const QString temp = dir.filePath(QStringLiteral("temp/"));
    ASSERT_TRUE(QDir().mkpath(data) && QDir().mkpath(temp));
    const QString blocked = dir.filePath(QStringLiteral("file/"));
    ASSERT_TRUE(WriteAllBytes(dir.filePath(QStringLiteral("file")), "not a folder"));
    const TTraining t = Rowed();
    struct Case {
        QString DataFolder, TempFolder, Expected;
    } cases[] = {
        {data, temp, data},
        {data, temp, data},  // the second of the same second gets a name of its own
        {blocked, temp, temp},
        {blocked, blocked, QString()},
    };
    QStringList names;
    for (const Case& c : cases) {
        SCOPED_TRACE((c.DataFolder + " " + c.TempFolder).toStdString());
        QString fileName, error;
        const bool kept = RescueTraining(t, {c.DataFolder, c.TempFolder, QString()}, fileName, error);
        ASSERT_EQ(kept, !c.Expected.isEmpty()) << error.toStdString();
        if (!kept) {
            EXPECT_TRUE(fileName.isEmpty());
            EXPECT_TRUE(error.contains(c.DataFolder)) << error.toStdString();
            continue;
        }
        EXPECT_TRUE(fileName.startsWith(c.Expected + "Session ")) << fileName.toStdString();
        EXPECT_FALSE(names.contains(fileName));
        names << fileName;
        TTraining read;
        ASSERT_TRUE(ReadStgFile(fileName, read));
        EXPECT_EQ(read.StrokeData[2].Time, 5.0f);
        EXPECT_EQ(read.Workout.Distance, 12.5f);
        EXPECT_EQ(read.Header.Modified, 0);
    }
}

TEST(SessionRescue, NamedAfterTheTrainingsOwnName) {
    const QDateTime when = QDateTime::fromString("2026-01-02 03:04:05", "yyyy-MM-dd hh:mm:ss");
    EXPECT_EQ(RescueFileName("/d/", "Session", when, 1), "/d/Session 2026-01-02 03-04-05.stg");
    EXPECT_EQ(RescueFileName("/d/", "run", when, 3), "/d/run 2026-01-02 03-04-05 (3).stg");
    struct Case {
        const char* FileName;
        std::uint8_t Kind;
        const char* Title;
        const char* Base;
    } cases[] = {
        {"/x/run.day.stg", kContentKindTraining, "Anyone", "runday"},
        {"?", kContentKindRow, "Anyone", "Session"},
        {"?", kContentKindUser, "Anyone2", "Anyone2"},
        {"", kContentKindUser, "a/b", "ab"},
        {"?", kContentKindUser, " ", "Training"},
    };
    for (const Case& c : cases) {
        TTraining t;
        LoadDefaultTraining(t);
        t.Header.FileName = c.FileName;
        t.Header.ContentKind = c.Kind;
        t.Header.Title = c.Title;
        EXPECT_EQ(RescueBaseName(t), QString::fromLatin1(c.Base)) << c.FileName << " " << c.Title;
    }
}

// Settings shared by two users (a fallback into the program folder) name each file only to the
// user whose data folder it belongs to, once.
TEST(SessionRescue, NoticeNamesThisUsersFilesOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("kvwt.ini"));
    const TRescuePlace first{dir.filePath(QStringLiteral("first/")), dir.filePath(QStringLiteral("tmp/")), settings};
    const TRescuePlace second{dir.filePath(QStringLiteral("second/")), first.TempFolder, settings};
    ASSERT_TRUE(QDir().mkpath(second.DataFolder) && QDir().mkpath(first.TempFolder));
    const TTraining t = Rowed();
    // First the data folder cannot take it (a file has its name), then it can.
    QString inData, inTemp, error;
    ASSERT_TRUE(WriteAllBytes(dir.filePath(QStringLiteral("first")), "not a folder"));
    ASSERT_TRUE(RescueTraining(t, first, inTemp, error));
    ASSERT_TRUE(inTemp.startsWith(first.TempFolder));
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("first"))) && QDir().mkpath(first.DataFolder));
    ASSERT_TRUE(RescueTraining(t, first, inData, error));
    ASSERT_TRUE(inData.startsWith(first.DataFolder));
    QString removed;  // a file taken away since is not named
    ASSERT_TRUE(RescueTraining(t, first, removed, error));
    ASSERT_TRUE(QFile::remove(removed));

    EXPECT_TRUE(TakeRescueNotice(second).isEmpty());
    const QString notice = TakeRescueNotice(first);
    for (const QString& name : {inData, inTemp})
        EXPECT_EQ(notice.count("\"" + name + "\""), 1) << notice.toStdString();
    EXPECT_FALSE(notice.contains(removed));
    EXPECT_TRUE(TakeRescueNotice(first).isEmpty());
    EXPECT_FALSE(ReadAllBytes(settings).contains("[Rescue]"));
}
