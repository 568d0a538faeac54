#include "platform/ShellServices.h"

#include <QProcess>
#include <QStandardPaths>

bool OpenWithDesktop(const QString& target) {
    if (target.isEmpty())
        return false;
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    return StartDetached(opener, {target}, QString());
}

bool StartDetached(const QString& program, const QStringList& arguments, const QString& folder) {
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}
