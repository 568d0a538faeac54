#include "foundation/files/TrainingSaving.h"

#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/IniFiles.h"
#include "support/FakePrompt.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <unistd.h>

namespace {

TTraining Modified(const char* title) {
    TTraining t;
    SetStrokeCount(t, 3);
    for (std::size_t i = 1; i <= 3; ++i) {
        t.StrokeData[i].Time = 2.0f * float(i);
        t.StrokeData[i].Power = 200;
    }
    t.Header.Title = title;
    t.Header.FileName = "?";
    t.Header.ContentKind = 9;
    t.Header.FileFormat = 5;
    t.Header.Modified = 1;
    t.Recorded = 1;
    return t;
}

// A folder this process cannot write into: a read-only folder, or for root (who writes
// anywhere) a folder of the proc file system.
QString ReadOnlyFolder(const QTemporaryDir& dir) {
    if (geteuid() == 0) return QStringLiteral("/proc");
    const QString folder = dir.filePath("locked");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    return folder;
}

} // namespace

TEST(MakeUniqueFileName, CountsOnFromTheNameInBraces) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(name); };
    EXPECT_EQ(MakeUniqueFileName(path("run.stg")), path("run.stg"));  // free: unchanged
    for (const char* name : {"run.stg", "run{1}.stg", "run{7}.stg", "odd{x}.stg", "a{3}b.stg", "plain"})
        ASSERT_TRUE(WriteAllBytes(path(name), QByteArray("x")));
    const struct {
        const char* Name;
        const char* Expected;
    } cases[] = {
        {"run.stg", "run{2}.stg"},         // run{1} is taken too
        {"run{1}.stg", "run{2}.stg"},
        {"run{7}.stg", "run{8}.stg"},
        {"odd{x}.stg", "odd{x}{1}.stg"},   // not a number: the base stays whole
        {"a{3}b.stg", "a{4}.stg"},         // after the brace nothing is kept
        {"plain", "plain{1}"},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeUniqueFileName(path(c.Name)), path(c.Expected)) << c.Name;
}

TEST(SaveTrainingToFile, SuccessRecordsTheFolderActuallyWritten) {
    QTemporaryDir dir;
    TFakePrompt prompt;
    TSaveContext context;
    context.LastDir = "/somewhere/else/";
    QStringList recent;
    context.AddRecentFile = [&](const QString& name) { recent << name; };

    // A user file leaves the training named after its own file: the folder comes from the name
    // written. The session is not in it: the training stays modified.
    TTraining t = Modified("Morning");
    t.Header.SourceContentKind = 7;
    t.Header.SourceFileFormat = 2;
    const std::string own = t.Header.FileName;
    const QString userFile = dir.filePath("users/rower.ini");
    const TSaveOutcome outcome = SaveTrainingToFile(t, userFile, context);
    ASSERT_TRUE(outcome.Saved) << outcome.Error.toStdString();
    EXPECT_EQ(t.Header.FileName, own);
    EXPECT_EQ(context.LastDir, dir.filePath("users") + "/");
    EXPECT_EQ(context.FilesSaved, 1);
    EXPECT_EQ(recent, QStringList{userFile});
    EXPECT_EQ(t.Header.Modified, 1);
    EXPECT_TRUE(prompt.Texts.empty());

    // A cancelled export dialog reports nothing and changes nothing.
    t.Header.Modified = 1;
    EXPECT_TRUE(SaveTrainingToFile(t, QString(), context).Cancelled);
    EXPECT_EQ(context.FilesSaved, 1);
    EXPECT_TRUE(prompt.Texts.empty());
    EXPECT_EQ(t.Header.Modified, 1);
}

TEST(SaveTrainingToFile, FailuresKeepTheTrainingModifiedAndSayWhy) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("kept.stg");
    struct TCase {
        const char* What;
        QString FileName;
        bool FullDisk;
        const char* Reason;  // part of the message
    };
    const TCase cases[] = {
        {"read-only folder", ReadOnlyFolder(dir) + "/run.stg", false, ""},
        {"full disk", dir.filePath("full.stg"), true, "too large"},
        {"kind and extension", dir.filePath("notes.txt"), false, "cannot be saved as a .txt file"},
        {"folder in the way", existing + "/sub/run.stg", false, "cannot be created"},
    };
    ASSERT_TRUE(WriteAllBytes(existing, QByteArray("old")));
    for (const TCase& c : cases) {
        TFakePrompt prompt;
        TSaveContext context;
        context.LastDir = "/before/";
        int recent = 0;
        context.AddRecentFile = [&](const QString&) { ++recent; };
        TTraining t = Modified("Evening");
        t.Header.FileName = "/mine/evening.stg";
        t.Header.SourceContentKind = 6;  // a training cannot become a .txt file
        const TStgHeader before = t.Header;
        TSaveOutcome outcome;
        {
            std::optional<TFileSizeLimit> full;
            if (c.FullDisk) full.emplace(16);
            outcome = SaveTrainingToFile(t, c.FileName, context);
        }
        EXPECT_FALSE(outcome.Saved) << c.What;
        EXPECT_FALSE(outcome.Cancelled) << c.What;
        EXPECT_EQ(t.Header.Modified, 1) << c.What;
        EXPECT_EQ(t.Header, before) << c.What << ": the identity is left as it was";
        EXPECT_EQ(context.FilesSaved, 0);
        EXPECT_EQ(context.LastDir, "/before/");
        EXPECT_EQ(recent, 0);
        ASSERT_EQ(prompt.Texts.size(), 1u) << c.What;
        EXPECT_EQ(prompt.Kind, TMsgKind::Error);
        EXPECT_TRUE(prompt.Texts[0].startsWith(QStringLiteral("Error saving file \"%1\"\n").arg(c.FileName)))
            << prompt.Texts[0].toStdString();
        EXPECT_GT(outcome.Error.size(), 0) << c.What;
        EXPECT_TRUE(outcome.Error.contains(QLatin1String(c.Reason), Qt::CaseInsensitive))
            << c.What << ": " << outcome.Error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(c.FileName)) << c.What;
    }
    EXPECT_EQ(ReadAllBytes(existing), QByteArray("old"));
}

TEST(AutoSaveTraining, LogListsEveryNameWithItsResult) {
    QTemporaryDir dir;
    TFakePrompt prompt;
    TSaveContext context;
    context.AutoSave = true;
    context.UniqueFileNames = true;
    const QString first = dir.filePath("{title}.stg");
    const QString failing = dir.filePath("{title}.txt");
    context.AutoSaveFileName = first + ";" + failing;
    ASSERT_TRUE(WriteAllBytes(dir.filePath("Run.stg"), QByteArray("taken")));
    QStringList recent;
    context.AddRecentFile = [&](const QString& name) { recent << name; };
    TTraining t = Modified("Run");
    t.Recorded = 0;
    bool asked = false;
    EXPECT_TRUE(AutoSaveTraining(t, context, asked));
    EXPECT_TRUE(asked);
    ASSERT_EQ(prompt.Texts.size(), 2u);
    EXPECT_EQ(prompt.Texts[0], "Training session \"Run\" is about to be saved. Continue? ");
    const QString log = prompt.Texts[1];
    EXPECT_TRUE(log.startsWith("Saving training session\n\n  " + dir.filePath("Run{1}.stg") + "  [Saved]\n  " +
                               dir.filePath("Run.txt") + "  [Failure]\n    "))
        << log.toStdString();
    EXPECT_EQ(recent, QStringList{dir.filePath("Run{1}.stg")});
    EXPECT_EQ(ReadAllBytes(dir.filePath("Run.stg")), QByteArray("taken"));

    // An imported training is not saved by itself, and nothing is shown.
    TFakePrompt quiet;
    TTraining imported = Modified("Imported");
    imported.Header.SourceFileName = "/in/session.zts";
    EXPECT_FALSE(AutoSaveTraining(imported, context, asked));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(quiet.Texts.empty());
}

TEST(TrainingSettingsSection, ByWhereTheSettingsFileLies) {
    const QString user = "/home/u/.local/share/kv/Kavelo.ini";
    const struct {
        QString Ini;
        QString Training;
        QString Expected;
    } cases[] = {
        {user, "/data/run.stg", "Training"},
        {"/home/u/.local/share/kv/../kv/Kavelo.ini", "/data/run.stg", "Training"},  // the same file
        {"/data/run.ini", "/data/run.stg", "run.stg"},
        {"/data/Run.ini", "/Data/run.stg", "/Data/run.stg"},  // folders differ by case here
        {"/other/x.ini", "/data/run.stg", "/data/run.stg"},
        {"/other/x.ini", "", "Training"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrainingSettingsSection(c.Ini, user, c.Training), c.Expected) << c.Ini.toStdString();
}
