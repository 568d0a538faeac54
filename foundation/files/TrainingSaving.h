// Saving a training window's training without the window: unique file names, Save and Save As
// with honest results, the automatic save with its log, the close decision, and the window
// settings kept in the settings file (section choice, the shared history lists).
//
// Messages go through the prompt (foundation/core/Prompt.h), so all of this runs in tests
// without a display.
#pragma once

#include "foundation/core/Types.h"

#include <QString>
#include <QStringList>
#include <functional>

class TIniFile;

// The name when no such file exists, otherwise the first free "base{n}.ext": a name that
// already ends in "{n}" counts on from n (run{7}.stg -> run{8}.stg), any other from 0.
QString MakeUniqueFileName(const QString& fileName);

// The main window's options a save reads and changes. The caller copies LastDir and
// FilesSaved back after the call.
struct TSaveContext {
    bool AutoSave = false;
    QString AutoSaveFileName;  // template, see ExpandFileNameTemplate
    bool UniqueFileNames = false;
    QString LastDir;
    int FilesSaved = 0;
    std::function<void(const QString& fileName)> AddRecentFile;
};

struct TSaveOutcome {
    bool Saved = false;
    bool Cancelled = false;  // the export dialog was cancelled: nothing to report
    QString FileName;        // the name written, or the name that could not be written
    QString Error;           // why not, when not Saved and not Cancelled
};

// File Save (the training's display name) and Save As (an empty name: the export dialog asks).
// On success: AddRecentFile, FilesSaved + 1, LastDir := the folder actually written (a .ini
// export empties the training's own file name, so that name cannot tell). On failure the user
// is told why in an error box; Header.Modified stays set and the file identity unchanged.
TSaveOutcome SaveTrainingToFile(TTraining& training, const QString& fileName, TSaveContext& context);

// The automatic save. False at once with AutoSave off. Otherwise, unless the training was
// recorded, the user confirms; then every name of the list (own file name, else the template's
// names separated by ';'; nothing for an imported training) is written and one message lists
// each name with "[Saved]" or "[Failure]" and the reason. True when any name was saved.
// `asked` is set once the confirmation has passed (the window then refreshes).
bool AutoSaveTraining(TTraining& training, TSaveContext& context, bool& asked);

// The close decision for a training window: true when it may close. A modified training is
// saved automatically when the options say so; when that does not happen (AutoSave off,
// declined, failed) the user is asked whether to close anyway.
bool ConfirmCloseTraining(TTraining& training, TSaveContext& context, bool& asked);
// The close-anyway question of a modified training alone (Cancel is its default); true for OK.
bool AskCloseAnyway(const TTraining& training);

// The section of a training window's settings: "Training" in the user settings file, else (a
// settings file kept with the training) the training file's name without folder when the two
// share a folder, else its full path.
QString TrainingSettingsSection(const QString& iniFileName, const QString& userIniFileName,
                                const QString& trainingFileName);

// The history sections "Name", "Description", "Type", "Event": values of the key=value lines
// in file order, empty values left out.
QStringList ReadHistoryList(const TIniFile& ini, const QString& section);
// The stored list followed by the items it lacks, so that windows closed one after the other
// add to the history instead of replacing it.
QStringList MergeHistoryLists(const QStringList& stored, const QStringList& items);
// Rewrites the section from the merge of what it holds and the items: keys "0", "1", ...
void WriteHistoryList(TIniFile& ini, const QString& section, const QStringList& items);
