// Where the settings file lives and its one-time move, in temporary folders with HOME and the
// XDG configuration of the test's own.
#include "foundation/core/AppUtils.h"

#include "support/EnvOverride.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class SettingsLocation : public ::testing::Test {
protected:
    QTemporaryDir FDir;
    TEnvOverride FHome{"HOME", QFile::encodeName(FDir.path())};
    TEnvOverride FConfig{"XDG_CONFIG_HOME", QFile::encodeName(FDir.filePath("config"))};
    QString FProgram = FDir.filePath("program") + '/';
    QString FUser = FDir.filePath("user") + '/';

    void SetUp() override {
        Put("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
        QDir().mkpath(FProgram);
        QDir().mkpath(FUser);
    }
    void Put(const QString& relative, const QByteArray& content) {
        ASSERT_TRUE(WriteAllBytes(FDir.filePath(relative), content));
    }
};

} // namespace

TEST_F(SettingsLocation, UserDataFolderIsInTheXdgDocumentsFolder) {
    const QString docs = FDir.filePath("Papers") + '/';
    EXPECT_EQ(GetDocumentsFolder(), docs);
    EXPECT_EQ(GetUserDataFolder(), docs + "Kavelo/Kavelo Training/");
    EXPECT_TRUE(DirExists(docs + "Kavelo/Kavelo Training"));
    EXPECT_EQ(GetExeIniFileName(), GetProgramFolder() + "kv_foundation_tests.ini");
    // Written where the user data folder is, as long as the user has not put one elsewhere.
    EXPECT_EQ(GetUserIniFileName(true), docs + "Kavelo/Kavelo Training/kv_foundation_tests.ini");
    EXPECT_FALSE(QFile::exists(docs + "Kavelo/Kavelo Training/kv_foundation_tests.ini"));
}

TEST_F(SettingsLocation, UserFolderWinsAndReadModeFindsAnySpelling) {
    Put("program/kvwt.ini", "[Options]\n");
    EXPECT_EQ(LocateUserFileIn(false, "kvwt.ini", FUser, FProgram), FProgram + "kvwt.ini");
    Put("user/KVWT.INI", "[Options]\n");
    EXPECT_EQ(LocateUserFileIn(false, "kvwt.ini", FUser, FProgram), FUser + "KVWT.INI");
    EXPECT_EQ(LocateUserFileIn(true, "kvwt.ini", FUser, FProgram), FUser + "kvwt.ini");
    EXPECT_EQ(LocateUserFileIn(false, "other.ini", FUser, FProgram), "");
    // An unusable user folder leaves writing to the program folder.
    EXPECT_EQ(LocateUserFileIn(true, "kvwt.ini", FDir.filePath("none") + '/', FProgram), FProgram + "kvwt.ini");
    EXPECT_EQ(LocateUserFileIn(true, "kvwt.ini", FDir.filePath("none") + '/', FDir.filePath("gone") + '/'), "");
}

TEST_F(SettingsLocation, FileOnlyInProgramFolderMovesOnce) {
    Put("program/kvwt.ini", "[Options]\nMultipleCopies=1\n");
    EXPECT_TRUE(MoveSettingsFileOnce(FProgram, FUser, "kvwt.ini"));
    EXPECT_FALSE(QFile::exists(FProgram + "kvwt.ini"));
    EXPECT_FALSE(MoveSettingsFileOnce(FProgram, FUser, "kvwt.ini"));
    EXPECT_EQ(ReadAllBytes(FUser + "kvwt.ini"), "[Options]\nMultipleCopies=1\n");
    EXPECT_EQ(QDir(FUser).entryList(QDir::Files), QStringList{"kvwt.ini"}); // no temporary left

    // In both folders, in any spelling: each stays where it is.
    ASSERT_TRUE(QFile::rename(FUser + "kvwt.ini", FUser + "Kvwt.ini"));
    Put("program/kvwt.ini", "old");
    EXPECT_FALSE(MoveSettingsFileOnce(FProgram, FUser, "kvwt.ini"));
    EXPECT_EQ(ReadAllBytes(FProgram + "kvwt.ini"), "old");
    EXPECT_EQ(ReadAllBytes(FUser + "Kvwt.ini"), "[Options]\nMultipleCopies=1\n");

    // The same folder under another name is never copied onto itself.
    const QString alias = FDir.filePath("alias");
    ASSERT_TRUE(QFile::link(FDir.filePath("program"), alias));
    EXPECT_FALSE(MoveSettingsFileOnce(FProgram, alias + '/', "kvwt.ini"));
    EXPECT_FALSE(MoveSettingsFileOnce(FProgram, FDir.filePath("program/../program") + '/', "kvwt.ini"));
    EXPECT_EQ(ReadAllBytes(FProgram + "kvwt.ini"), "old");
}

TEST_F(SettingsLocation, InitAppUtilsKeepsNumbersInTheCLocale) {
    // The start-up's process-wide results go back afterwards, for the tests that follow.
    const std::string locale = std::setlocale(LC_NUMERIC, nullptr);
    const bool virtualMachine = VirtualMachine;
    const QString virtualMachineName = VirtualMachineName;
    InitAppUtils();
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_TRUE(DirExists(FDir.filePath("Papers/Kavelo/Kavelo Training")));
    EXPECT_EQ(VirtualMachine, !VirtualMachineName.isEmpty());
    std::setlocale(LC_NUMERIC, locale.c_str());
    VirtualMachine = virtualMachine;
    VirtualMachineName = virtualMachineName;
}

TEST_F(SettingsLocation, IsFileWritableLeavesFilesAsTheyWere) {
    EXPECT_FALSE(IsFileWritable(""));
    // A missing file: writable, and no empty file is left behind.
    EXPECT_TRUE(IsFileWritable(FUser + "new.ini"));
    EXPECT_FALSE(QFile::exists(FUser + "new.ini"));
    // An existing file keeps its contents.
    Put("user/kvwt.ini", "[Options]\nA=1\n");
    EXPECT_TRUE(IsFileWritable(FUser + "kvwt.ini"));
    // Read-only (no write permission at all) is not writable, even for root.
    ASSERT_EQ(::chmod(QFile::encodeName(FUser + "kvwt.ini").constData(), 0444), 0);
    EXPECT_FALSE(IsFileWritable(FUser + "kvwt.ini"));
    EXPECT_EQ(ReadAllBytes(FUser + "kvwt.ini"), "[Options]\nA=1\n");
    // Folders and names in missing folders.
    EXPECT_FALSE(IsFileWritable(FDir.filePath("user")));
    EXPECT_FALSE(IsFileWritable(FDir.filePath("none/kvwt.ini")));
}

TEST_F(SettingsLocation, FoldersAndSizes) {
    EXPECT_TRUE(ForceFolder(""));
    EXPECT_TRUE(ForceFolder(FDir.filePath("a/b/c")));
    EXPECT_TRUE(DirExists(FDir.filePath("a/b/c")));
    Put("a/file", "12345");
    EXPECT_FALSE(ForceFolder(FDir.filePath("a/file/d")));
    EXPECT_EQ(GetFileSizeByName(FDir.filePath("a/file")), 5);
    EXPECT_EQ(GetFileSizeByName(FDir.filePath("a/missing")), -1);
    EXPECT_FALSE(DirExists(FDir.filePath("a/file")));
    EXPECT_FALSE(DirExists(""));
}
