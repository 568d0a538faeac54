#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "platform/DesktopFileTypes.h"
#include "platform/SystemProbe.h"
#include "support/EnvOverride.h"
#include "support/FileHelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// XDG_DATA_HOME and HOME pointed at temporary folders for one test.
struct TTempDataHome {
    QTemporaryDir Data, Home;
    TEnvOverride DataVar{"XDG_DATA_HOME", QFile::encodeName(Data.path())};
    TEnvOverride HomeVar{"HOME", QFile::encodeName(Home.path())};
};

bool RegisterOnly(int which) { // zti, ztr, zts, str, stg
    return RegisterFileAssociations(which == 0, which == 1, which == 2, which == 3, which == 4);
}

} // namespace

TEST(FileAssociations, EachChoiceRegistersItsOwnType) {
    TTempDataHome env;
    const TDesktopFileTypeTarget target = DefaultDesktopFileTypeTarget(GetProductName());
    ASSERT_EQ(target.DataHome, env.Data.path());
    const char* const types[][2] = {
        {"zti", "ZtIV User"}, {"ztr", "ZtIV Stroke"}, {"zts", "ZtIV Session"}, {"str", "Stroke"}, {"stg", "Training"}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(types[i][0]);
        ASSERT_TRUE(RegisterOnly(i));
        EXPECT_EQ(RegisteredDesktopFileTypes(target), QStringList{types[i][0]});
        const QByteArray mime = ReadAllBytes(DesktopMimePackageFile(target, types[i][0]));
        EXPECT_TRUE(mime.contains("<comment>" + (GetProductName() + " " + types[i][1] + " File").trimmed().toUtf8() +
                                  "</comment>"));
        EXPECT_EQ(mime.contains("value=\"MIL \""), i == 4); // only the training file has a magic
    }
    EXPECT_TRUE(ReadAllBytes(DesktopEntryFile(target)).contains(ProgramFilePath().toUtf8()));

    // All of them, then one away, then the rest; the databases the tools build may stay, our files go.
    ASSERT_TRUE(RegisterFileAssociations(true, true, true, true, true));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str", "zti", "ztr", "zts"}));
    ASSERT_TRUE(RegisterFileAssociation(false, "zts", "ZtIV Session", false, false, 5));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str", "zti", "ztr"}));
    // A foreign file in the way of one type fails the whole call but not the others.
    ASSERT_TRUE(RegisterFileAssociations(false, false, false, false, false));
    ASSERT_TRUE(WriteAllBytes(DesktopMimePackageFile(target, "zti"), "<mime-info>not ours</mime-info>"));
    EXPECT_FALSE(RegisterFileAssociations(true, true, false, false, false));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), QStringList{"ztr"});
    ASSERT_TRUE(QFile::remove(DesktopMimePackageFile(target, "zti")));
    ASSERT_TRUE(RegisterFileAssociations(false, false, false, false, false));
    for (const QString& file : FilesUnder(env.Data.path()))
        EXPECT_FALSE(file.startsWith("mime/packages/") || file.startsWith("applications/") ||
                     file.startsWith("icons/"))
            << file.toStdString();
    EXPECT_TRUE(FilesUnder(env.Home.path()).isEmpty()); // nothing outside the data folder
}

// A copy run from a stick registers nothing and removes nothing, and says why; the same program
// on a fixed disk registers.
TEST(FileAssociations, NothingForAProgramOnRemovableMedia) {
    TTempDataHome env;
    const TDesktopFileTypeTarget target = DefaultDesktopFileTypeTarget(GetProductName());
    ASSERT_TRUE(RegisterFileAssociations(false, false, false, false, true)); // one registered before
    QTemporaryDir sys;
    ASSERT_TRUE(LinkBlockDeviceOf(sys.path(), ProgramFilePath(), "devices/usb1/1-1/block/sdb"));
    ASSERT_TRUE(WriteAllBytes(sys.filePath("devices/usb1/1-1/block/sdb/removable"), QByteArray("1\n")));
    QString error;
    EXPECT_FALSE(RegisterFileAssociations(true, true, true, true, false, error, sys.path()));
    EXPECT_EQ(error, "The program runs from removable media: file types are registered only for a copy on a "
                     "fixed drive");
    EXPECT_EQ(RegisteredDesktopFileTypes(target), QStringList{"stg"});

    ASSERT_TRUE(WriteAllBytes(sys.filePath("devices/usb1/1-1/block/sdb/removable"), QByteArray("0\n")));
    EXPECT_TRUE(RegisterFileAssociations(true, false, false, false, false, error, sys.path()));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(RegisteredDesktopFileTypes(target), QStringList{"zti"});
    ASSERT_TRUE(RegisterFileAssociations(false, false, false, false, false));
}
