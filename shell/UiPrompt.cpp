#include "shell/UiPrompt.h"

#include "widgets/UiUtils.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

std::function<bool(TSaveDialogRequest&)> TUiPrompt::SaveDialogHook;

namespace {

QMessageBox::Icon IconOf(TMsgKind kind)
{
    switch (kind) {
    case TMsgKind::Warning:
        return QMessageBox::Warning;
    case TMsgKind::Error:
        return QMessageBox::Critical;
    case TMsgKind::Information:
        return QMessageBox::Information;
    case TMsgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(TMsgButtons buttons)
{
    switch (buttons) {
    case TMsgButtons::Ok:
        return QMessageBox::Ok;
    case TMsgButtons::OkCancel:
    case TMsgButtons::OkCancelDefaultCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMsgButtons::YesNo:
    case TMsgButtons::YesNoDefaultNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TMsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

QStringList PromptFilterToQt(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        // A description that already ends in its patterns ("Trainings (*.stg)", or a list
        // with commas) shows them once, in the form the dialog reads.
        const QString description = parts[i].trimmed();
        QString shown = description;
        shown.replace(QLatin1Char(','), QLatin1Char(' ')).replace(QLatin1Char(';'), QLatin1Char(' '));
        shown = shown.simplified().replace(QLatin1String("( "), QLatin1String("("));
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && shown.endsWith(QStringLiteral("(%1)").arg(patterns)))
            result << description.left(open).trimmed() + QStringLiteral(" (%1)").arg(patterns);
        else
            result << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return result;
}

TMsgResult TUiPrompt::Ask(const QString& text, TMsgKind kind, TMsgButtons buttons)
{
    const QMessageBox::StandardButton answer =
        ShowMessageBox(QApplication::activeWindow(), IconOf(kind), text, ButtonsOf(buttons),
                       buttons == TMsgButtons::YesNoDefaultNo          ? QMessageBox::No
                       : buttons == TMsgButtons::OkCancelDefaultCancel ? QMessageBox::Cancel
                                                                       : QMessageBox::NoButton);
    switch (answer) {
    case QMessageBox::Ok:
        return TMsgResult::Ok;
    case QMessageBox::Yes:
        return TMsgResult::Yes;
    case QMessageBox::No:
        return TMsgResult::No;
    default:
        // A closed box is the cautious answer.
        return buttons == TMsgButtons::YesNo || buttons == TMsgButtons::YesNoDefaultNo ? TMsgResult::No
                                                                                       : TMsgResult::Cancel;
    }
}

bool TUiPrompt::AskSaveFileName(TSaveDialogRequest& request)
{
    if (SaveDialogHook)
        return SaveDialogHook(request);
    QFileDialog dialog(QApplication::activeWindow(), request.Title, request.InitialDir);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters = PromptFilterToQt(request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    dialog.setDefaultSuffix(request.DefaultExt);
    // A type chosen in the dialog gives a name typed without extension that type's extension.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &request](const QString& filter) {
        static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch match = pattern.match(filter);
        dialog.setDefaultSuffix(match.hasMatch() ? match.captured(1) : request.DefaultExt);
    });
    if (!request.FileName.isEmpty())
        dialog.selectFile(request.FileName);
    if (!request.OverwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    request.FileName = dialog.selectedFiles().constFirst();
    request.FilterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (request.FilterIndex < 1)
        request.FilterIndex = 1;
    return true;
}
