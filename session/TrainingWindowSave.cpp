// The training window's saving, its close question and the settings it keeps.
#include "session/TrainingWindow.h"

#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "foundation/files/TrainingSaving.h"
#include "platform/IniFiles.h"
#include "session/ResultsDialog.h"
#include "shell/MainWindow.h"
#include "widgets/UiUtils.h"

#include <QComboBox>
#include <QFileInfo>
#include <QTableView>

namespace {

// What a save reads from and gives back to the main window's options.
TSaveContext MainSaveContext()
{
    TSaveContext context;
    if (!frmMain)
        return context;
    context.AutoSave = frmMain->AutoSave;
    context.AutoSaveFileName = frmMain->AutoSaveFileName;
    context.LastDir = frmMain->LastDir;
    context.FilesSaved = frmMain->FilesSaved;
    context.AddRecentFile = [](const QString& fileName) {
        if (frmMain)
            frmMain->AddRecentFile(fileName);
    };
    return context;
}

void ReturnSaveContext(const TSaveContext& context)
{
    if (!frmMain)
        return;
    frmMain->LastDir = context.LastDir;
    frmMain->FilesSaved = context.FilesSaved;
}

QString SettingsSection(const QString& iniFileName, const QString& trainingFileName)
{
    // Either spelling of the user settings file counts as the user settings file.
    const QString section = TrainingSettingsSection(iniFileName, GetUserIniFileName(false), trainingFileName);
    return section == QLatin1String("Training")
               ? section
               : TrainingSettingsSection(iniFileName, GetUserIniFileName(true), trainingFileName);
}

QStringList ComboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

void TfrmTraining::LoadSettings(const QString& iniFileName, int placement, const QString& trainingFileName)
{
    QString intColumns;
    if (!iniFileName.isEmpty() && QFileInfo::exists(iniFileName)) {
        const TIniFile ini(iniFileName);
        const QString section = SettingsSection(iniFileName, trainingFileName);
        BoundsLeft = ini.ReadInteger(section, QStringLiteral("Left"), BoundsLeft);
        BoundsTop = ini.ReadInteger(section, QStringLiteral("Top"), BoundsTop);
        BoundsWidth = ini.ReadInteger(section, QStringLiteral("Width"), BoundsWidth);
        BoundsHeight = ini.ReadInteger(section, QStringLiteral("Height"), BoundsHeight);
        intColumns = ini.ReadString(section, QStringLiteral("IntColumns"), QString());
    }
    Place(placement, BoundsLeft, BoundsTop, BoundsWidth, BoundsHeight);
    SetGridColWidths(sgdIntervals, intColumns);
}

void TfrmTraining::SaveSettings(const QString& iniFileName, const QString& trainingFileName)
{
    GetFormBounds(this, BoundsLeft, BoundsTop, BoundsWidth, BoundsHeight);
    if (!IsFileWritable(iniFileName))
        return;
    TIniFile ini(iniFileName);
    const QString section = SettingsSection(iniFileName, trainingFileName);
    ini.WriteInteger(section, QStringLiteral("Left"), BoundsLeft);
    ini.WriteInteger(section, QStringLiteral("Top"), BoundsTop);
    ini.WriteInteger(section, QStringLiteral("Width"), BoundsWidth);
    ini.WriteInteger(section, QStringLiteral("Height"), BoundsHeight);
    ini.WriteString(section, QStringLiteral("IntColumns"), GetGridColWidths(sgdIntervals));
    // Other windows may have added to the lists since this one read them: merged, not replaced.
    const std::pair<const char*, const QComboBox*> lists[] = {
        {"Name", cmbName}, {"Description", cmbDescription}, {"Type", cmbType}, {"Event", cmbEvent}};
    for (const auto& [name, combo] : lists)
        WriteHistoryList(ini, QString::fromLatin1(name), ComboItems(combo));
    ini.UpdateFile();
}

bool TfrmTraining::SaveTraining()
{
    TSaveContext context = MainSaveContext();
    bool asked = false;
    const bool saved = AutoSaveTraining(Training, context, asked);
    ReturnSaveContext(context);
    if (asked)
        RefreshTraining();
    return saved;
}

bool TfrmTraining::SaveToFile(const QString& fileName)
{
    TSaveContext context = MainSaveContext();
    const TSaveOutcome outcome = SaveTrainingToFile(Training, fileName, context);
    ReturnSaveContext(context);
    RefreshTraining();
    if (outcome.Saved)
        NotifyMain();  // names and marks shown elsewhere change
    return outcome.Saved;
}

bool TfrmTraining::AgreeToClose()
{
    if (Closing || FCloseAgreed || !Training.Header.Modified || (frmMain && frmMain->ClosingUnattended()) ||
        MainSaveContext().AutoSave)
        return true;
    FCloseAgreed = AskCloseAnyway(Training);
    return FCloseAgreed;
}

bool TfrmTraining::CloseQuery()
{
    if (Closing)
        return true;
    // Ended without anybody there: what could be kept has been kept, nothing waits for an answer.
    if (!FCloseAgreed && (!frmMain || !frmMain->ClosingUnattended())) {
        TSaveContext context = MainSaveContext();
        bool asked = false;
        const bool canClose = ConfirmCloseTraining(Training, context, asked);
        ReturnSaveContext(context);
        if (asked)
            RefreshTraining();
        if (!canClose)
            return false;
    }
    Training.State = 5;  // Disconnected
    SaveSettings(GetUserIniFileName(true), TrainingDisplayName(Training));
    // From here the registry and the window panels leave this window out.
    Closing = true;
    if (frmMain)
        frmMain->CloseTraining(Training.Id);
    return true;
}

void TfrmTraining::ShowResults()
{
    ::ShowResults(Training);
}
