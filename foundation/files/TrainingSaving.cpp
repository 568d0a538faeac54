#include "foundation/files/TrainingSaving.h"

#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool Exists(const QString& fileName) { return QFileInfo::exists(fileName); }

QString TitleOf(const TTraining& training) { return Cp1252ToQString(training.Header.Title); }

bool IsRealName(const std::string& name) { return !name.empty() && name != "?"; }

QString SameFileKey(const QString& fileName) { return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()); }

} // namespace

QString MakeUniqueFileName(const QString& fileName) {
    if (!Exists(fileName)) return fileName;
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const QString folder = fileName.left(slash + 1);
    const QString name = fileName.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString base = dot >= 0 ? name.left(dot) : name;
    const QString ext = dot >= 0 ? name.mid(dot) : QString();

    qint64 counter = 0;
    const qsizetype open = base.indexOf(QLatin1Char('{'));
    const qsizetype close = open >= 0 ? base.indexOf(QLatin1Char('}'), open + 1) : -1;
    if (close > open) {
        bool ok = false;
        const qint64 number = base.mid(open + 1, close - open - 1).toLongLong(&ok);
        if (ok) {
            counter = number;
            base.truncate(open);
        }
    }
    for (;;) {
        ++counter;
        const QString candidate = folder + base + QStringLiteral("{%1}").arg(counter) + ext;
        if (!Exists(candidate)) return candidate;
    }
}

TSaveOutcome SaveTrainingToFile(TTraining& training, const QString& fileName, TSaveContext& context) {
    TSaveOutcome outcome;
    QString name = fileName;
    TExportResult result;
    outcome.Saved = ExportTraining(name, context.LastDir, training, result);
    outcome.FileName = result.Target;
    if (outcome.Saved) {
        if (context.AddRecentFile) context.AddRecentFile(name);
        ++context.FilesSaved;
        context.LastDir = AddBackslash(QFileInfo(name).absolutePath());
        return outcome;
    }
    if (result.Target.isEmpty()) {
        outcome.Cancelled = true;
        return outcome;
    }
    outcome.Error = result.Error;
    PromptUser(QStringLiteral("Error saving file \"%1\"\n%2").arg(result.Target, result.Error), TMsgKind::Error,
               TMsgButtons::Ok);
    return outcome;
}

bool AutoSaveTraining(TTraining& training, TSaveContext& context, bool& asked) {
    asked = false;
    if (!context.AutoSave) return false;
    if (!training.Recorded &&
        PromptUser(QStringLiteral("Training session \"%1\" is about to be saved. Continue? %2").arg(TitleOf(training), QString()),
                   TMsgKind::Confirmation, TMsgButtons::OkCancel) != TMsgResult::Ok)
        return false;
    asked = true;

    const TStgHeader& h = training.Header;
    QString list;
    if (IsRealName(h.FileName))
        list = TrainingDisplayName(training);
    else if (!IsRealName(h.SourceFileName))  // an imported training is not saved by itself
        list = ExpandFileNameTemplate(training, context.AutoSaveFileName);

    bool saved = false;
    bool any = false;
    QString log;
    for (const QString& part : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString name = context.UniqueFileNames ? MakeUniqueFileName(part) : part;
        const QString shown = name;
        TExportResult result;
        any = true;
        if (ExportTraining(name, context.LastDir, training, result)) {
            saved = true;
            if (context.AddRecentFile) context.AddRecentFile(name);
            log += QStringLiteral("  %1  [Saved]\n").arg(shown);
        } else {
            log += QStringLiteral("  %1  [Failure]\n    %2\n").arg(shown, result.Error);
        }
    }
    if (any)
        PromptUser(QStringLiteral("Saving training session\n\n") + log, TMsgKind::Information, TMsgButtons::Ok);
    return saved;
}

bool ConfirmCloseTraining(TTraining& training, TSaveContext& context, bool& asked) {
    asked = false;
    if (!training.Header.Modified) return true;
    if (AutoSaveTraining(training, context, asked) && !training.Header.Modified) return true;
    return AskCloseAnyway(training);
}

bool AskCloseAnyway(const TTraining& training) {
    // With nothing saved automatically a stray Enter must not throw the training away.
    return PromptUser(QStringLiteral("Training session \"%1\" is modified. Close anyway? %2").arg(TitleOf(training), QString()),
                      TMsgKind::Confirmation, TMsgButtons::OkCancelDefaultCancel) == TMsgResult::Ok;
}

QString TrainingSettingsSection(const QString& iniFileName, const QString& userIniFileName,
                                const QString& trainingFileName) {
    // Compared as paths: names differ by case on this system.
    if (SameFileKey(iniFileName) == SameFileKey(userIniFileName) || trainingFileName.isEmpty())
        return QStringLiteral("Training");
    const QFileInfo training(trainingFileName);
    if (SameFileKey(QFileInfo(iniFileName).absolutePath()) == SameFileKey(training.absolutePath()))
        return training.fileName();
    return trainingFileName;
}

QStringList ReadHistoryList(const TIniFile& ini, const QString& section) {
    QStringList lines;
    ini.ReadSectionValues(section, lines);
    QStringList items;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString value = eq >= 0 ? line.mid(eq + 1) : line;
        if (!value.isEmpty()) items << value;
    }
    return items;
}

QStringList MergeHistoryLists(const QStringList& stored, const QStringList& items) {
    QStringList merged;
    for (const QStringList* list : {&stored, &items})
        for (const QString& item : *list)
            if (!item.isEmpty() && !merged.contains(item)) merged << item;
    return merged;
}

void WriteHistoryList(TIniFile& ini, const QString& section, const QStringList& items) {
    const QStringList merged = MergeHistoryLists(ReadHistoryList(ini, section), items);
    ini.EraseSection(section);
    for (qsizetype i = 0; i < merged.size(); ++i) ini.WriteString(section, QString::number(i), merged[i]);
}
