#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/FileIo.h"
#include "platform/CodePage.h"
#include "platform/SystemProbe.h"
#include "support/ByteBuilder.h"
#include "support/EnvOverride.h"
#include "support/FakePrompt.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>

namespace {

// A recorded training: three strokes with time, two trailing ones without.
TTraining Recorded(std::uint8_t contentKind) {
    TTraining t;
    SetStrokeCount(t, 5);
    for (std::size_t i = 1; i <= 3; ++i) {
        t.StrokeData[i].Time = 2.0f * float(i);
        t.StrokeData[i].Length = 120;
        t.ForceCurves[i].Present = 1;
        t.ForceCurves[i].Force[3] = 300;
    }
    SetIntervalCount(t, 1);
    t.RawData.resize(4);
    t.Workout = {60, 6, 1.5f, 250};
    t.Header.Title = "Morning";
    t.Header.FileName = "?";
    t.Header.ContentKind = contentKind;
    t.Header.FileFormat = 5;
    t.Header.SourceFileName = "/old/place.zts";
    t.Header.SourceFileFormat = 10;
    t.Header.SourceContentKind = 8;
    t.Header.Modified = 1;
    t.Header.Guid.D1 = 0x12345678;
    return t;
}

TStgHeader HeaderOf(const QString& name) {
    TStgHeader h;
    std::int32_t version = 0;
    EXPECT_TRUE(ReadFileHeader(name, h, version, false)) << name.toStdString();
    return h;
}

// The documents folder (and so the user data folder) in a temporary home.
class TempHome : public ::testing::Test {
protected:
    QTemporaryDir FDir;
    TEnvOverride FHome{"HOME", QFile::encodeName(FDir.path())};
    TEnvOverride FConfig{"XDG_CONFIG_HOME", QFile::encodeName(FDir.filePath("config"))};
};

} // namespace

TEST(FileNames, FormatOfNameAndDisplayName) {
    // A dot in a folder is no extension; only the first six characters count.
    const std::pair<const char*, int> formats[] = {{"/data/run.fitlog", 12}, {"/data/run.Stg", 5}, {"/data/run.ini", 2},
                                                   {"/data/run", 0}, {"/data.stg/run", 0}, {"/data/run.dat", 0},
                                                   {"/data/run.fitlogs", 12}};
    for (auto [name, format] : formats)
        EXPECT_EQ(FileFormatOfName(name), format) << name;
    TTraining t;
    t.Header.SourceFileName = "/in/a.zts";
    EXPECT_EQ(TrainingDisplayName(t), "/in/a.zts");
    t.Header.FileName = "/out/b.stg";
    EXPECT_EQ(TrainingDisplayName(t), "/out/b.stg");
    t.Header.FileName = "?";
    EXPECT_EQ(TrainingDisplayName(t), "");
}

TEST(FileNames, ExpandFileNameTemplate) {
    TTraining t;
    t.Header.Date = QDateTimeToDateTime(QDateTime(QDate(2024, 1, 31), QTime(7, 30, 5)));
    EXPECT_EQ(ExpandFileNameTemplate(t, "{title}_{date}_{time}.stg"), "(TITLE)_20240131_073005.stg");
    t.Header.Title = "Run: 5/6 km";
    t.Header.Name = "J\xE9r\xF4me";
    EXPECT_EQ(ExpandFileNameTemplate(t, "/d/{TITLE}-{Name}.stg"), "/d/Run 56 km-Jrme.stg");
    EXPECT_EQ(ExpandFileNameTemplate(t, "{description}{event}{type}{other}"),
              "(DESCRIPTION)(EVENT)(TYPE){other}");
    t.Header.Event = "{date}"; // braces are dropped, so a text never expands again
    EXPECT_EQ(ExpandFileNameTemplate(t, "{event}"), "date");
}

TEST(FileNames, BuildOpenFilter) {
    QString filter;
    int count = 0;
    const QString product = GetProductName();
    BuildOpenFilter(FileFormatBit(5) | FileFormatBit(6), true, true, filter, count, true);
    EXPECT_EQ(filter, "Training files (*.stg)|*.stg|Stroke files (*.str)|*.str|" + product +
                          " compatible files (*.stg, *.str)|*.stg;*.str|All files (*.*)|*.*");
    EXPECT_EQ(count, 3);

    // Fixed order whatever the bits; without patterns and without the last entry's "|".
    BuildOpenFilter(FileFormatBit(9) | FileFormatBit(2) | FileFormatBit(10), false, false, filter, count,
                    false);
    EXPECT_EQ(filter, "User files (*.ini)|ZtIV Session files (*.zts)|ZtIV User files (*.zti)");
    EXPECT_EQ(count, 3);

    BuildOpenFilter(FileFormatBit(11), true, false, filter, count, true);
    EXPECT_EQ(filter, "ZtIV Stroke files (*.ztr)|*.ztr|" + product + " compatible files (*.ztr)|*.ztr");
    EXPECT_EQ(count, 2);

    BuildOpenFilter(0, false, true, filter, count, false);
    EXPECT_EQ(filter, "All files (*.*)");
    EXPECT_EQ(count, 0);
}

TEST(FileNames, TrainingLabelText) {
    TStgHeader h;
    h.Title = "Morning";
    h.Name = "Anna";
    h.Note = "windy";
    h.Date = QDateTimeToDateTime(QDateTime(QDate(2024, 1, 31), QTime(7, 30, 5)));
    EXPECT_EQ(TrainingLabelText(h, 0x04 | 0x08 | 0x80, false), "Morning; Anna; windy");
    EXPECT_EQ(TrainingLabelText(h, 0x04 | 0x80, true), "Morning\nwindy");
    EXPECT_EQ(TrainingLabelText(h, 0, false), "");
    const QString withDate = TrainingLabelText(h, 0x01 | 0x04, false);
    EXPECT_TRUE(withDate.endsWith("; Morning"));
    EXPECT_GT(withDate.size(), QString("; Morning").size());
}

TEST(FileNames, ShortenPath) {
    const TTextWidthProc chars = [](const QString& s) { return int(s.size()); };
    const QString path = "/home/anna/rowing/2024/run.stg"; // 30 characters
    EXPECT_EQ(ShortenPath(path, chars, 30), path);
    EXPECT_EQ(ShortenPath(path, chars, 25), "/.../rowing/2024/run.stg");
    EXPECT_EQ(ShortenPath(path, chars, 20), "/.../2024/run.stg");
    EXPECT_EQ(ShortenPath(path, chars, 12), "/.../run.stg");
    EXPECT_EQ(ShortenPath(path, chars, 11), ".../run.stg");
    EXPECT_EQ(ShortenPath(path, chars, 3), "run.stg"); // the name itself always stays
    EXPECT_EQ(ShortenPath("rowing/2024/run.stg", chars, 15), ".../run.stg");
    EXPECT_EQ(ShortenPath("run.stg", chars, 2), "run.stg");
    // A wider measure (a font twice as wide) cuts further.
    EXPECT_EQ(ShortenPath(
                  path, [](const QString& s) { return 2 * int(s.size()); }, 40),
              "/.../2024/run.stg");
}

TEST(OpenTrainingFile, MissingAndUnknownFilesAreReported) {
    QTemporaryDir dir;
    TFakePrompt prompt;
    TTraining t = Recorded(9);
    std::vector<double> steps;
    const QString missing = dir.filePath("none.stg");
    EXPECT_FALSE(OpenTrainingFile(missing, t, true, [&](double p) { steps.push_back(p); }));
    EXPECT_EQ(prompt.Texts, QStringList{"File \"" + missing + "\" not found"});
    EXPECT_EQ(prompt.Kind, TMsgKind::Error);
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_TRUE(t.Header.Title.empty());
    EXPECT_EQ(steps, (std::vector<double>{0.0, -1.0}));

    const QString dat = dir.filePath("demo.dat");
    ASSERT_TRUE(WriteAllBytes(dat, QByteArray(40, '\x01')));
    steps.clear();
    EXPECT_FALSE(OpenTrainingFile(dat, t, true, [&](double p) { steps.push_back(p); }));
    EXPECT_EQ(prompt.Texts.last(), "Error reading file \"" + dat + "\"");
    EXPECT_EQ(steps, (std::vector<double>{0.0, 1.0, -1.0}));

    // Damaged .stg content: cleared record, the same message; quiet without messages.
    const QString bad = dir.filePath("bad.stg");
    ASSERT_TRUE(WriteAllBytes(bad, QByteArray("MIL \x01\x00\x00\x00\x03\x54", 10))); // chunk head cut short
    prompt.Texts.clear();
    t = Recorded(9);
    EXPECT_FALSE(OpenTrainingFile(bad, t, false));
    EXPECT_TRUE(prompt.Texts.isEmpty());
    EXPECT_EQ(t.StrokeData.size(), 1u);
    EXPECT_EQ(t.ForceCurves.size(), 1u);
    EXPECT_TRUE(t.Intervals.empty());

    TStgHeader h;
    h.Title = "x";
    std::int32_t version = 7;
    EXPECT_FALSE(ReadFileHeader(dat, h, version, true));
    EXPECT_EQ(prompt.Texts.last(), "Error reading header of file \"" + dat + "\"");
    EXPECT_TRUE(h.Title.empty());
    EXPECT_FALSE(ReadFileHeader(missing, h, version, true));
    EXPECT_EQ(prompt.Texts.last(), "File \"" + missing + "\" not found");

    // What exists but is no file to read says why, under any name.
    for (const char* name : {"folder.stg", "folder.str"}) {
        const QString folder = dir.filePath(name);
        ASSERT_TRUE(QDir().mkpath(folder));
        EXPECT_FALSE(OpenTrainingFile(folder, t, true)) << name;
        EXPECT_EQ(prompt.Texts.last(), "Error reading file \"" + folder + "\"\nIs a directory");
        EXPECT_FALSE(ReadFileHeader(folder, h, version, true)) << name;
        EXPECT_EQ(prompt.Texts.last(), "Error reading header of file \"" + folder + "\"\nIs a directory");
    }
}

TEST(OpenTrainingFile, ExtensionInAnyCaseAndStgContentUnderAnyName) {
    QTemporaryDir dir;
    TTraining t = Recorded(8);
    t.StrokeData[2].IntervalCountdown = 64001;
    t.StrokeData[3].IntervalCountdown = 64000;
    for (const char* name : {"a.Stg", "b.STG", "c.ini", "d.str"}) {
        const QString file = dir.filePath(name);
        ASSERT_TRUE(WriteStgFile(file, t));
        TTraining back;
        EXPECT_TRUE(OpenTrainingFile(file, back, false)) << name;
        EXPECT_EQ(back.Header.Title, "Morning") << name;
        EXPECT_EQ(back.StrokeData[2].IntervalCountdown, 0) << name; // above 64000: cleared
        EXPECT_EQ(back.StrokeData[3].IntervalCountdown, 64000) << name;
        EXPECT_EQ(HeaderOf(file).Title, "Morning") << name;
    }
    // A 106-byte .ini without the user record's fixed bytes is no user file.
    const QString user = dir.filePath("user.ini");
    ASSERT_TRUE(WriteAllBytes(user, QByteArray(106, '\0')));
    TTraining back;
    EXPECT_FALSE(OpenTrainingFile(user, back, false));
}

// A user or stroke file whose first bytes (the rower's name, the stroke number and power)
// happen to spell the .stg magic is still read as what its extension says.
TEST(OpenTrainingFile, OwnFilesWhoseStartLooksLikeStgMagic) {
    QTemporaryDir dir;
    TTraining t;
    SetStrokeCount(t, 1);
    t.Header.Name = "MIL Smith";
    t.Ini.Weight = 75;
    t.StrokeData[1].Number = 0x494D;  // "MI"
    t.StrokeData[1].Power = 0x204C;   // "L "
    t.StrokeData[1].Time = 12;
    const QString user = dir.filePath("u.ini");
    const QString stroke = dir.filePath("s.str");
    ASSERT_TRUE(SaveTrainingAs(user, t, 7));
    ASSERT_TRUE(SaveTrainingAs(stroke, t, 5));
    for (const QString& file : {user, stroke}) {
        TTraining back;
        EXPECT_TRUE(OpenTrainingFile(file, back, false)) << file.toStdString();
        EXPECT_EQ(back.Header.Name, "MIL Smith") << file.toStdString();
        EXPECT_EQ(back.Ini.Weight, 75) << file.toStdString();
        EXPECT_EQ(HeaderOf(file).SourceFileName, file.toStdString());
    }
    TTraining back;
    ASSERT_TRUE(OpenTrainingFile(stroke, back, false));
    EXPECT_EQ(back.StrokeData[1].Time, 12.0f);
}

TEST(SaveTrainingAs, KindAndExtensionMatrix) {
    QTemporaryDir dir;
    const TTraining t = Recorded(6);
    struct TCase {
        const char* Name;
        int Kind;
        bool Written;
    };
    const TCase cases[] = {
        {"k6.stg", 6, true},  {"k9.stg", 9, true},    {"k7.stg", 7, true},  {"k8.stg", 8, true},
        {"k8.ini", 8, true},  {"k8.txt", 8, true},    {"k6.ini", 6, false}, {"k9.str", 9, false},
        {"k7.str", 7, false}, {"k7.ini", 7, true},    {"k5.str", 5, true},  {"k0.stg", 0, false},
        {"k1.stg", 1, false}, {"k10.stg", 10, false},
    };
    for (const TCase& c : cases) {
        const QString file = dir.filePath(c.Name);
        EXPECT_EQ(SaveTrainingAs(file, t, c.Kind), c.Written) << c.Name;
        EXPECT_EQ(QFileInfo::exists(file), c.Written) << c.Name;
        if (c.Written) {
            // Stroke kind and user kind under .ini have their own small formats.
            const qsizetype size = c.Kind == 5                                       ? kStrFileSize
                                   : QString(c.Name).endsWith(".ini") && c.Kind == 7 ? kUserFileSize
                                                                                     : -1;
            if (size > 0)
                EXPECT_EQ(ReadAllBytes(file).size(), size) << c.Name;
            else
                EXPECT_TRUE(ReadAllBytes(file).startsWith("MIL ")) << c.Name;
        }
    }
    EXPECT_FALSE(SaveTrainingAs("", t, 8));
}

TEST(SaveTrainingAs, FailedSaveKeepsTheOldFile) {
    QTemporaryDir dir;
    const TTraining t = Recorded(6);
    const QString old = dir.filePath("keep.ini");
    ASSERT_TRUE(WriteAllBytes(old, "old user file"));
    EXPECT_FALSE(SaveTrainingAs(old, t, 6)); // kind and extension do not fit
    EXPECT_EQ(ReadAllBytes(old), "old user file");
    EXPECT_TRUE(SaveTrainingAs(old, t, 7)); // a user file replaces it whole
    EXPECT_EQ(ReadAllBytes(old).size(), kUserFileSize);

    // A folder that cannot be made: nothing written.
    const QString blocker = dir.filePath("plain");
    ASSERT_TRUE(WriteAllBytes(blocker, "x"));
    EXPECT_FALSE(SaveTrainingAs(blocker + "/sub/a.stg", t, 8));
    // Missing folders are made.
    EXPECT_TRUE(SaveTrainingAs(dir.filePath("new/deeper/a.stg"), t, 6));

    // A good save replaces the old file completely.
    const QString stg = dir.filePath("keep.stg");
    ASSERT_TRUE(WriteAllBytes(stg, QByteArray(10000, 'z')));
    EXPECT_TRUE(SaveTrainingAs(stg, t, 6));
    EXPECT_EQ(HeaderOf(stg).Title, "Morning");
}

TEST(ExportTraining, OwnStgFileByTargetName) {
    QTemporaryDir dir;
    struct TCase {
        std::uint8_t ContentKind;
        bool Empty;
        std::uint8_t Expected;
    };
    // Kind 9 (Row) saves as Training, 8 (Manual) stays, an empty training is User content.
    const TCase cases[] = {{9, false, 6}, {8, false, 8}, {6, false, 6}, {7, false, 7}, {9, true, 7}};
    for (const TCase& c : cases) {
        TTraining t = Recorded(c.ContentKind);
        if (c.Empty) {
            ResetTraining(t);
            t.Header.ContentKind = c.ContentKind;
        }
        t.Header.FileFormat = 0; // a reset training still saves as its own .stg file
        const TGUID guid = t.Header.Guid;
        QString name = dir.filePath(QString("kind%1%2.stg").arg(c.ContentKind).arg(c.Empty));
        const QString chosen = name;
        const TDateTime before = Now();
        ASSERT_TRUE(ExportTraining(name, "/unused", t)) << int(c.ContentKind);
        EXPECT_EQ(name, chosen);
        const TStgHeader& h = t.Header;
        // The size of the file as written, in the record and in the file.
        const int size = int(QFileInfo(name).size());
        EXPECT_EQ((std::vector<int>{h.ContentKind, h.FileFormat, h.FileSize, h.Modified}),
                  (std::vector<int>{c.Expected, 5, size, 0}));
        EXPECT_EQ(h.FileName, name.toStdString());
        EXPECT_GE(h.FileDate, before);
        EXPECT_EQ(h.Guid, guid); // kept when there was one
        EXPECT_EQ(h.SourceFileName, "/old/place.zts");
        EXPECT_EQ(t.Magic, TrainingMagic);
        EXPECT_EQ(t.StrokeData.size(), c.Empty ? 1u : 4u); // trailing strokes without time cut
        const TStgHeader stored = HeaderOf(name);
        EXPECT_EQ((std::vector<int>{stored.ContentKind, stored.FileFormat, stored.FileSize}),
                  (std::vector<int>{c.Expected, 5, size}));
    }
}

TEST(ExportTraining, OtherExtensionsMoveTheIdentityIntoTheSourceFields) {
    QTemporaryDir dir;
    TTraining t = Recorded(8); // source: a manual training
    t.Header.FileName = "/mine/own.stg";
    t.Header.FileDate = 45000;
    t.Header.Guid = TGUID{};
    QString name = dir.filePath("export.ini");
    ASSERT_TRUE(ExportTraining(name, "", t)); // kind 8 writes .stg content under any name
    const TStgHeader& h = t.Header;
    EXPECT_EQ(h.SourceFileName, name.toStdString());
    EXPECT_TRUE(h.FileName.empty());
    // The source kind and format stay as they were.
    EXPECT_EQ((std::vector<double>{h.FileDate, double(h.FileSize), double(h.FileFormat), double(h.ContentKind),
                                   double(h.SourceFileFormat), double(h.SourceContentKind), double(h.Modified)}),
              (std::vector<double>{0, 0, 0, 0, 10, 8, 0}));
    EXPECT_GT(h.SourceFileDate, 0);
    EXPECT_NE(h.Guid, TGUID{}); // an all-zero identity gets a new one
    EXPECT_EQ(HeaderOf(name).SourceFileName, name.toStdString());

    // User content under .ini is written as a user file. It holds the settings only: a training
    // holding a session keeps its name and stays modified; an empty one is all in the file.
    for (const bool empty : {false, true}) {
        TTraining u = Recorded(6);
        if (empty)
            ResetTraining(u);
        u.Header.FileName = "/mine/rowed.stg";
        u.Header.SourceContentKind = 7;
        u.Header.SourceFileFormat = 2;
        u.Header.Modified = 1;
        const TStgHeader before = u.Header;
        QString userName = dir.filePath("user.ini");
        EXPECT_TRUE(ExportTraining(userName, "", u)) << empty;
        EXPECT_EQ(userName, dir.filePath("user.ini"));
        EXPECT_EQ(ReadAllBytes(userName).size(), kUserFileSize);
        if (empty) {
            EXPECT_EQ(u.Header.Modified, 0);
            EXPECT_EQ(u.Header.SourceFileName, userName.toStdString());
            EXPECT_TRUE(u.Header.FileName.empty());
        } else {
            EXPECT_EQ(u.Header, before);
        }
    }
}

TEST(ExportTraining, DialogChoosesNameAndKind) {
    QTemporaryDir dir;
    TFakePrompt prompt;
    TTraining t = Recorded(9);
    t.Header.FileName = "/mine/session.stg";
    const TGUID guid = t.Header.Guid;

    QString name;
    EXPECT_FALSE(ExportTraining(name, "/start", t)); // cancelled
    EXPECT_TRUE(name.isEmpty());
    const TSaveDialogRequest& r = prompt.Request;
    EXPECT_EQ((QStringList{r.Title, r.Filter, r.DefaultExt, r.InitialDir, r.FileName}),
              (QStringList{"Export training session", "Trainings (*.stg)|*.stg|User (*.ini)|*.ini|", "STG", "/start",
                           "/mine/session"}));
    EXPECT_TRUE(r.FilterIndex == 1 && r.OverwritePrompt && r.PathMustExist);
    EXPECT_EQ(t.Header.FileName, "/mine/session.stg"); // nothing changed

    prompt.ChosenName = dir.filePath("chosen.stg");
    ASSERT_TRUE(ExportTraining(name, "/start", t));
    EXPECT_EQ(name, prompt.ChosenName);
    EXPECT_EQ(t.Header.ContentKind, 6);
    EXPECT_NE(t.Header.Guid, guid); // a dialog save is a new identity

    // "User" chosen with a .ini name: user content, written as a user file; the session stays
    // in the training file it was saved to.
    prompt.ChosenName = dir.filePath("chosen.ini");
    prompt.ChosenFilter = 2;
    name.clear();
    const TStgHeader saved = t.Header;
    EXPECT_TRUE(ExportTraining(name, "/start", t));
    EXPECT_EQ(prompt.Dialogs, 3);
    EXPECT_EQ(name, prompt.ChosenName);
    EXPECT_EQ(t.Header, saved);
    EXPECT_EQ(ReadAllBytes(name).size(), kUserFileSize);
}

// Nothing is saved over the program's own settings file, under any of its names, written yet or
// not: a named save fails with the reason, the export dialog's choice is refused like a cancel.
TEST_F(TempHome, NothingIsSavedOverTheSettingsFile) {
    const QString settings = GetUserIniFileName(true);
    ASSERT_FALSE(settings.isEmpty());
    TTraining t = Recorded(7);
    ResetTraining(t); // an empty user training: all of it would go into a user file
    const QString link = FDir.filePath("elsewhere.ini");
    const QString dotted = QFileInfo(settings).path() + "/./" + QFileInfo(settings).fileName();
    for (const QString& name : {settings, dotted, link}) {
        if (name == link) {
            ASSERT_TRUE(WriteAllBytes(settings, "[Options]\nLastDir=/x/\n"));
            ASSERT_EQ(::symlink(QFile::encodeName(settings).constData(), QFile::encodeName(link).constData()), 0);
        }
        const QByteArray before = ReadAllBytes(settings);
        QString error;
        EXPECT_FALSE(SaveTrainingAs(name, t, 7, error)) << name.toStdString();
        EXPECT_EQ(error, SettingsFileOverwriteReason());
        EXPECT_EQ(ReadAllBytes(settings), before);
    }
    TFakePrompt prompt;
    prompt.ChosenName = settings;
    prompt.ChosenFilter = 2;
    const TStgHeader header = t.Header;
    QString name;
    EXPECT_FALSE(ExportTraining(name, "", t));
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(prompt.Texts, QStringList{"Cannot save as \"" + settings + "\"\n" + SettingsFileOverwriteReason()});
    EXPECT_EQ(prompt.Kind, TMsgKind::Error);
    EXPECT_EQ(t.Header, header);
    EXPECT_EQ(ReadAllBytes(settings), "[Options]\nLastDir=/x/\n");
}

TEST_F(TempHome, DefaultTrainingTemplateFoundInAnyCase) {
    const QString folder = GetUserDataFolder();
    ASSERT_TRUE(folder.startsWith(FDir.path()));
    TTraining tpl = Recorded(8);
    tpl.Ini.Weight = 64;
    tpl.Header.FileName = "/x/Default.STG";
    tpl.Header.DeviceId = "KV 42";
    tpl.Header.Protocol = 3;
    ASSERT_TRUE(WriteStgFile(folder + "dEfAuLt.stg", tpl));

    TTraining t;
    EXPECT_TRUE(LoadDefaultTraining(t));
    EXPECT_EQ(t.Ini.Weight, 64);
    EXPECT_EQ((std::vector<std::string>{t.Header.Title, t.Header.FileName, t.Header.SourceFileName, t.Header.DeviceId}),
              (std::vector<std::string>{"Morning", "", "", ""}));
    EXPECT_EQ((std::vector<int>{t.Header.Protocol, t.Header.SourceProgram}), (std::vector<int>{0, 5}));
    EXPECT_NE(t.Header.Guid, tpl.Header.Guid);

    // The program's own template wins over Default.STG.
    const QString program = QFileInfo(ProgramFilePath()).fileName();
    ASSERT_FALSE(program.isEmpty());
    tpl.Ini.Weight = 99;
    ASSERT_TRUE(WriteStgFile(folder + program.toLower() + ".stg", tpl));
    EXPECT_TRUE(LoadDefaultTraining(t));
    EXPECT_EQ(t.Ini.Weight, 99);
}

// No template, one that is no user content, and one whose header reads but whose full load
// fails (the old format as Manual content): the built-in defaults each time.
TEST_F(TempHome, DefaultTrainingWithoutAUsableTemplate) {
    const QString folder = GetUserDataFolder();
    std::vector<std::uint8_t> old = BuildOldStgFile();
    old[281] = 8;
    for (int step = 0; step < 3; ++step) {
        if (step == 1) {
            ASSERT_TRUE(WriteStgFile(folder + "Default.STG", Recorded(6)));
        } else if (step == 2) {
            ASSERT_TRUE(WriteAllBytes(folder + "Default.STG", old));
            EXPECT_EQ(HeaderOf(folder + "Default.STG").Title, "Old title");
        }
        TTraining t = Recorded(6);
        EXPECT_FALSE(LoadDefaultTraining(t)) << step;
        EXPECT_EQ(t.Header.Title, "Anyone");
        EXPECT_EQ((std::vector<int>{t.Header.FileFormat, t.Header.ContentKind, t.Ini.Weight}),
                  (std::vector<int>{5, 8, 80}));
        EXPECT_TRUE(t.StrokeData.size() == 1 && t.Intervals.empty() && t.RawData.empty());
        EXPECT_EQ(t.Magic, TrainingMagic);
    }
}

TEST(OpenTrainingFile, AveragesAreComputedAfterReading) {
    QTemporaryDir dir;
    TTraining t = Recorded(6);
    t.StrokeData[2].Energy = 400;
    t.StrokeData[3].Energy = 600;
    t.StrokeData[0].Energy = 12345; // the stored average is not kept
    const QString file = dir.filePath("avg.stg");
    ASSERT_TRUE(WriteStgFile(file, t));
    TTraining back;
    ASSERT_TRUE(OpenTrainingFile(file, back, false));
    EXPECT_EQ(back.StrokeData[0].Energy, 500); // strokes 2 and 3
    EXPECT_EQ(back.StrokeData[0].Length, 120);
    EXPECT_EQ(back.ForceCurves[0].Force[3], 300);
    EXPECT_EQ(back.StrokeData[0].PeakForce, 300);
}

// Names that lead to a device or a pipe are no training files: reading them must neither
// block nor read without end.
TEST(OpenTrainingFile, DevicesAndPipesAreNoFiles) {
    QTemporaryDir dir;
    const QString zero = dir.filePath("zero.stg");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString pipe = dir.filePath("pipe.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& name : {zero, pipe}) {
        TTraining t;
        EXPECT_FALSE(OpenTrainingFile(name, t, false)) << name.toStdString();
        TStgHeader h;
        std::int32_t version = 0;
        EXPECT_FALSE(ReadFileHeader(name, h, version, false)) << name.toStdString();
    }
    TTraining t;
    EXPECT_FALSE(ReadStgFile(zero, t));
}

TEST(TrainingPaths, GreekChineseAndLongPathsAreKeptWhole) {
    QTemporaryDir dir;
    // A folder named in Greek and Chinese, and a path of more than 300 bytes under it.
    const QString folder = dir.filePath(QString::fromUtf8("Κωπηλασία 划船训练/") +
                                        QString::fromUtf8("προπόνηση-").repeated(8) + QLatin1Char('/') +
                                        QString::fromUtf8("训练").repeated(20));
    ASSERT_TRUE(QDir().mkpath(folder));
    QString first = folder + QString::fromUtf8("/Πρωί 早上.stg");
    ASSERT_GT(first.toUtf8().size(), 300);
    // What the header can hold is not the name: cut, and its characters not in Windows-1252.
    ASSERT_NE(Cp1252ToQString(StoredShortString(first)), first);

    TTraining t = Recorded(6);
    const QString chosen = first;
    ASSERT_TRUE(ExportTraining(first, "", t));
    EXPECT_EQ(first, chosen);
    EXPECT_EQ(TrainingDisplayName(t), first);

    // Opened again (as from the recent list): the name is whole, and saving under the name it
    // shows lands in the same file.
    TTraining reopened;
    ASSERT_TRUE(OpenTrainingFile(TrainingDisplayName(t), reopened, false));
    EXPECT_EQ(TrainingDisplayName(reopened), first);
    EXPECT_EQ(reopened.Header.Title, t.Header.Title);
    reopened.Header.Title = "Changed";
    QString again = TrainingDisplayName(reopened);
    ASSERT_TRUE(ExportTraining(again, "", reopened));
    EXPECT_EQ(again, first);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QString::fromUtf8("Πρωί 早上.stg")});
    EXPECT_EQ(HeaderOf(first).Title, "Changed");

    // A header changed elsewhere no longer names that file: its own text is shown.
    reopened.Header.FileName = "C:\\other.stg";
    EXPECT_EQ(TrainingDisplayName(reopened), "C:\\other.stg");
}
