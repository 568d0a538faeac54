#include "platform/DesktopFileTypes.h"

#include "support/EnvOverride.h"
#include "support/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TDesktopFileTypeTarget Target(const QString& home) {
    return {home, "kvwt", "Kavelo Training", "/opt/kv apps/kvwt"};
}

TDesktopFileType Stg() {
    return {"stg", "Kavelo Training Training File", QByteArray("MIL "), 4};
}

} // namespace

TEST(DesktopFileTypes, WritesPackageIconsAndDesktopEntry) {
    QTemporaryDir home;
    const auto target = Target(home.path());
    ASSERT_TRUE(RegisterDesktopFileType(target, Stg()));
    ASSERT_TRUE(RegisterDesktopFileType(target, {"STR", "Kavelo Training Stroke File", {}, 6}));

    EXPECT_EQ(FilesUnder(home.path()),
              (QStringList{"applications/kvwt-files.desktop", "icons/hicolor/scalable/apps/kvwt.svg",
                           "icons/hicolor/scalable/mimetypes/application-x-kvwt-stg.svg",
                           "icons/hicolor/scalable/mimetypes/application-x-kvwt-str.svg",
                           "mime/packages/kvwt-stg.xml", "mime/packages/kvwt-str.xml"}));
    const QByteArray stg = ReadAllBytes(home.filePath("mime/packages/kvwt-stg.xml"));
    EXPECT_TRUE(stg.contains("<mime-type type=\"application/x-kvwt-stg\">"));
    EXPECT_TRUE(stg.contains("<comment>Kavelo Training Training File</comment>"));
    EXPECT_TRUE(stg.contains("<glob pattern=\"*.stg\"/>"));
    EXPECT_FALSE(stg.contains("case-sensitive")); // globs ignore case by default
    EXPECT_TRUE(stg.contains("<match type=\"string\" offset=\"0\" value=\"MIL \"/>"));
    const QByteArray str = ReadAllBytes(home.filePath("mime/packages/kvwt-str.xml"));
    EXPECT_TRUE(str.contains("<glob pattern=\"*.str\"/>"));
    EXPECT_FALSE(str.contains("<magic"));

    const QByteArray desktop = ReadAllBytes(home.filePath("applications/kvwt-files.desktop"));
    EXPECT_TRUE(desktop.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(desktop.contains("\nExec=\"/opt/kv apps/kvwt\" %F\n"));
    EXPECT_TRUE(desktop.contains("\nMimeType=application/x-kvwt-stg;application/x-kvwt-str;\n"));
    EXPECT_TRUE(desktop.contains("\nName=Kavelo Training\n"));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str"}));
}

TEST(DesktopFileTypes, ExecLineEscapesReservedCharacters) {
    QTemporaryDir home;
    auto target = Target(home.path());
    target.ProgramPath = "/opt/a$b\\c%d/kvwt";
    ASSERT_TRUE(RegisterDesktopFileType(target, Stg()));
    const QByteArray desktop = ReadAllBytes(DesktopEntryFile(target));
    // Quoted: $ and \ get a backslash, then the value's backslashes are doubled; % doubled.
    EXPECT_TRUE(desktop.contains("\nExec=\"/opt/a\\\\$b\\\\\\\\c%%d/kvwt\" %F\n")) << desktop.constData();
    target.ProgramPath = "/opt/kvwt\n";
    EXPECT_FALSE(RegisterDesktopFileType(target, Stg()));
    EXPECT_FALSE(RegisterDesktopFileType(Target(home.path()), {"../x", "bad", {}, 4}));
    // A part that cannot be written fails the registration, though the other parts were written.
    QTemporaryDir other;
    ASSERT_TRUE(WriteAllBytes(other.filePath("icons/hicolor/scalable/mimetypes"), "a file, not a folder"));
    EXPECT_FALSE(RegisterDesktopFileType(Target(other.path()), Stg()));
}

TEST(DesktopFileTypes, UnregisteringRemovesOnlyOurFiles) {
    QTemporaryDir home;
    const auto target = Target(home.path());
    // Files of others, one of them under a name we would use.
    ASSERT_TRUE(WriteAllBytes(home.filePath("mime/packages/other.xml"), "<mime-info/>"));
    ASSERT_TRUE(
        WriteAllBytes(home.filePath("mime/packages/kvwt-zts.xml"), "<mime-info>mine, not yours</mime-info>"));
    ASSERT_TRUE(WriteAllBytes(home.filePath("applications/other.desktop"), "[Desktop Entry]\n"));

    EXPECT_FALSE(RegisterDesktopFileType(target, {"zts", "Session", {}, 5})); // in the way: left alone
    EXPECT_EQ(ReadAllBytes(home.filePath("mime/packages/kvwt-zts.xml")),
              "<mime-info>mine, not yours</mime-info>");
    ASSERT_TRUE(RegisterDesktopFileType(target, Stg()));
    ASSERT_TRUE(RegisterDesktopFileType(target, {"str", "Stroke", {}, 6}));
    EXPECT_EQ(RegisteredDesktopFileTypes(target), (QStringList{"stg", "str"}));

    ASSERT_TRUE(UnregisterDesktopFileType(target, "stg"));
    EXPECT_FALSE(QFile::exists(DesktopMimePackageFile(target, "stg")));
    EXPECT_FALSE(QFile::exists(DesktopMimeIconFile(target, "stg")));
    EXPECT_TRUE(ReadAllBytes(DesktopEntryFile(target)).contains("\nMimeType=application/x-kvwt-str;\n"));

    ASSERT_TRUE(UnregisterDesktopFileType(target, "str"));
    ASSERT_TRUE(UnregisterDesktopFileType(target, "zts"));
    EXPECT_EQ(
        FilesUnder(home.path()),
        (QStringList{"applications/other.desktop", "mime/packages/kvwt-zts.xml", "mime/packages/other.xml"}));
}

TEST(DesktopFileTypes, DataHomeFollowsXdgDataHome) {
    {
        TEnvOverride xdg("XDG_DATA_HOME", "/tmp/somewhere/data");
        EXPECT_EQ(UserDataHome(), "/tmp/somewhere/data");
    }
    TEnvOverride xdg("XDG_DATA_HOME", "relative/data"); // not absolute: ignored
    EXPECT_EQ(UserDataHome(), QDir::homePath() + "/.local/share");
}
