// Starting documents and programs the desktop way, without waiting for them.
#pragma once

#include <QString>
#include <QStringList>

// Opens a file or web address with the desktop's associated program (xdg-open). False when the
// opener could not be started.
bool OpenWithDesktop(const QString& target);

// Starts a program detached in the given working folder (empty: the current one). False when it
// could not be started.
bool StartDetached(const QString& program, const QStringList& arguments, const QString& folder);
