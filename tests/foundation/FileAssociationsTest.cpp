#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "platform/DesktopFileTypes.h"
#include "platform/SystemProbe.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// XDG_DATA_HOME and HOME pointed at temporary folders for one test.
class TTempDataHome {
public:
    TTempDataHome() : FOldData(qgetenv("XDG_DATA_HOME")), FOldHome(qgetenv("HOME")) {
        qputenv("XDG_DATA_HOME", FData.path().toUtf8());
        qputenv("HOME", FHome.path().toUtf8());
    }
    ~TTempDataHome() {
        Restore("XDG_DATA_HOME", FOldData);
        Restore("HOME", FOldHome);
    }
    QString Data() const { return FData.path(); }
    QString Home() const { return FHome.path(); }

private:
    static void Restore(const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QTemporaryDir FData;
    QTemporaryDir FHome;
    QByteArray FOldData;
    QByteArray FOldHome;
};

} // namespace

TEST(FileAssociations, RegisteredAndRemovedAgain) {
    TTempDataHome env;
    const TDesktopFileTypeTarget target = DefaultDesktopFileTypeTarget(GetProductName());
    ASSERT_EQ(target.DataHome, env.Data());

    ASSERT_TRUE(RegisterFileAssociations(false, false, true, true, true));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str", "zts"}));
    const QByteArray stg = ReadAllBytes(DesktopMimePackageFile(target, "stg"));
    EXPECT_TRUE(
        stg.contains("<comment>" + (GetProductName() + " Training File").trimmed().toUtf8() + "</comment>"));
    EXPECT_TRUE(stg.contains("value=\"MIL \""));
    EXPECT_FALSE(ReadAllBytes(DesktopMimePackageFile(target, "zts")).contains("<magic"));
    const QByteArray desktop = ReadAllBytes(DesktopEntryFile(target));
    EXPECT_TRUE(desktop.contains(ProgramFilePath().toUtf8()));
    EXPECT_TRUE(desktop.contains(" %F\n"));
    EXPECT_TRUE(QFileInfo::exists(DesktopMimeIconFile(target, "str")));

    // One type away, then the rest; the databases the tools build may stay, our files go.
    ASSERT_TRUE(RegisterFileAssociation(false, "zts", "ZtIV Session", false, false, 5));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str"}));
    ASSERT_TRUE(RegisterFileAssociations(false, false, false, false, false));
    for (const QString& file : FilesUnder(env.Data()))
        EXPECT_FALSE(file.startsWith("mime/packages/") || file.startsWith("applications/") ||
                     file.startsWith("icons/"))
            << file.toStdString();
    EXPECT_TRUE(FilesUnder(env.Home()).isEmpty()); // nothing outside the data folder
}
