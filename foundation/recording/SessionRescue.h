// A session that the program has to end without a person to answer (SIGTERM, logout) is not
// dropped: its training is written to the user data folder under a name no file has yet, and
// the settings file notes the name so that the next start can say where it is.
#pragma once

#include "foundation/core/Types.h"

#include <QDateTime>
#include <QString>

// "Session yyyy-MM-dd hh-mm-ss.stg" in folder (which ends with '/'), with " (2)", " (3)" ...
// before the extension while that name is taken.
QString RescueFileName(const QString& folder, const QDateTime& when);
// Writes the training there and notes its name in the settings file (when writable). True when
// the file was written; fileName is its name.
bool RescueSession(const TTraining& training, const QString& folder, const QString& settingsFile,
                   QString& fileName);
bool RescueSession(const TTraining& training, QString& fileName);  // the user's folder and settings
// The message for the next start, empty when nothing was kept; the note is taken away.
QString TakeRescueNotice(const QString& settingsFile);
QString TakeRescueNotice();
