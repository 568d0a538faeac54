// Trainings that the program has to close without a person to answer (SIGTERM, logout) are not
// dropped: each modified one is written under a name no file has yet, in the user data folder or,
// when that cannot take it, in the system's temporary folder; the settings file notes the names
// so that the next start of the same user can say where they are. Originals stay untouched.
#pragma once

#include "foundation/core/Types.h"

#include <QDateTime>
#include <QString>

struct TRescuePlace {
    QString DataFolder;    // the user data folder, ending with '/'
    QString TempFolder;    // the second choice, ending with '/'
    QString SettingsFile;  // where the names are noted; empty when none can be written
};
TRescuePlace UserRescuePlace();

// "<base> yyyy-MM-dd hh-mm-ss.stg" in folder, with " (n)" before the extension for n >= 2.
QString RescueFileName(const QString& folder, const QString& base, const QDateTime& when, int n);
// The base of the name a training is kept under: its own file's name, "Session" for a session
// never saved, else its title.
QString RescueBaseName(const TTraining& training);
// Writes the training (created exclusively: a name taken meanwhile, by another copy too, gives
// the next one) and notes it. True when written; fileName is its name, error why not.
bool RescueTraining(const TTraining& training, const TRescuePlace& place, QString& fileName,
                    QString& error);
// The message for the next start, empty when nothing was kept for this user; the notes shown
// are taken away. A note is this user's when its file lies in this user's data folder or was
// written by a run with this data folder (the temporary folder's files); files no longer there
// are not named.
QString TakeRescueNotice(const TRescuePlace& place);
