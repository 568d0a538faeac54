#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "platform/DesktopFileTypes.h"
#include "platform/SystemProbe.h"
#include "support/EnvOverride.h"
#include "support/FileHelpers.h"

#include <QDir>
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

} // namespace

TEST(FileAssociations, RegisteredAndRemovedAgain) {
    TTempDataHome env;
    const TDesktopFileTypeTarget target = DefaultDesktopFileTypeTarget(GetProductName());
    ASSERT_EQ(target.DataHome, env.Data.path());

    ASSERT_TRUE(RegisterFileAssociations(false, false, true, true, true));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str", "zts"}));
    const QByteArray stg = ReadAllBytes(DesktopMimePackageFile(target, "stg"));
    EXPECT_TRUE(
        stg.contains("<comment>" + (GetProductName() + " Training File").trimmed().toUtf8() + "</comment>"));
    EXPECT_TRUE(stg.contains("value=\"MIL \""));
    EXPECT_FALSE(ReadAllBytes(DesktopMimePackageFile(target, "zts")).contains("<magic"));
    EXPECT_TRUE(ReadAllBytes(DesktopEntryFile(target)).contains(ProgramFilePath().toUtf8()));

    // One type away, then the rest; the databases the tools build may stay, our files go.
    ASSERT_TRUE(RegisterFileAssociation(false, "zts", "ZtIV Session", false, false, 5));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str"}));
    ASSERT_TRUE(RegisterFileAssociations(false, false, false, false, false));
    for (const QString& file : FilesUnder(env.Data.path()))
        EXPECT_FALSE(file.startsWith("mime/packages/") || file.startsWith("applications/") ||
                     file.startsWith("icons/"))
            << file.toStdString();
    EXPECT_TRUE(FilesUnder(env.Home.path()).isEmpty()); // nothing outside the data folder
}
