// The program's file types on a freedesktop desktop: one shared-mime-info package per file
// type, a .desktop entry that opens them with the program, and their icons, all under the
// user's data folder. Every file written carries a marker line; removing takes away only
// files that carry it, so files of the user or of other programs are never touched.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct TDesktopFileTypeTarget {
    QString DataHome;    // the user's data folder ($XDG_DATA_HOME or ~/.local/share)
    QString AppId;       // file-name stem of everything written, e.g. "kvwt"
    QString AppName;     // shown for the .desktop entry
    QString ProgramPath; // the program that opens the files
};

struct TDesktopFileType {
    QString Extension;   // without the dot; matched without regard to case
    QString Description; // the MIME type's comment
    QByteArray Magic;    // bytes at offset 0 that also identify the type; empty for none
    int IconIndex = 0;   // which of our icon pictures
};

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; empty without a home.
QString UserDataHome();
// The target for the running program: UserDataHome, the program file's name and path.
TDesktopFileTypeTarget DefaultDesktopFileTypeTarget(const QString& appName);

QString DesktopMimeType(const TDesktopFileTypeTarget& target, const QString& extension);
// The files written for a type (package and icon), for checks and clean-up.
QString DesktopMimePackageFile(const TDesktopFileTypeTarget& target, const QString& extension);
QString DesktopMimeIconFile(const TDesktopFileTypeTarget& target, const QString& extension);
QString DesktopEntryFile(const TDesktopFileTypeTarget& target);
QString DesktopAppIconFile(const TDesktopFileTypeTarget& target);

// Writes (or rewrites) the type's package and icon and the .desktop entry listing every type
// registered so far. False when something could not be written or a file of the same name
// that we did not write is in the way (it is left alone).
bool RegisterDesktopFileType(const TDesktopFileTypeTarget& target, const TDesktopFileType& type);
// Removes the type's package and icon; the .desktop entry and the program icon go with the
// last type. False when one of our files could not be removed.
bool UnregisterDesktopFileType(const TDesktopFileTypeTarget& target, const QString& extension);
// The extensions registered now, from the packages present.
QStringList RegisteredDesktopFileTypes(const TDesktopFileTypeTarget& target);
// Runs update-mime-database and update-desktop-database on the user's folders when they are
// installed.
void UpdateDesktopDatabases(const TDesktopFileTypeTarget& target);
