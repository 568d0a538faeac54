#include "foundation/recording/SessionRescue.h"

#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"

#include <QFileInfo>

namespace {

const QString kSection = QStringLiteral("Rescue");
const QString kKey = QStringLiteral("File");

}  // namespace

QString RescueFileName(const QString& folder, const QDateTime& when) {
    const QString base = folder + QStringLiteral("Session ") + when.toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
    QString name = base + QStringLiteral(".stg");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QStringLiteral(" (%1).stg").arg(n);
    return name;
}

bool RescueSession(const TTraining& training, const QString& folder, const QString& settingsFile,
                   QString& fileName) {
    fileName = RescueFileName(folder, QDateTime::currentDateTime());
    TTraining kept = training;
    kept.Header.FileName = QStringToCp1252(fileName).substr(0, kShortStringMax);
    kept.Header.Modified = 0;
    if (!WriteStgFile(fileName, kept))
        return false;
    if (IsFileWritable(settingsFile)) {
        TIniFile ini(settingsFile);
        ini.WriteString(kSection, kKey, fileName);
        ini.UpdateFile();
    }
    return true;
}

bool RescueSession(const TTraining& training, QString& fileName) {
    return RescueSession(training, GetUserDataFolder(), GetUserIniFileName(true), fileName);
}

QString TakeRescueNotice(const QString& settingsFile) {
    TIniFile ini(settingsFile);
    const QString fileName = ini.ReadString(kSection, kKey, QString());
    if (fileName.isEmpty())
        return {};
    if (IsFileWritable(settingsFile)) {
        ini.EraseSection(kSection);
        ini.UpdateFile();
    }
    return QStringLiteral("The session that was in progress when the program was ended has been kept in "
                          "\"%1\".")
        .arg(fileName);
}

QString TakeRescueNotice() {
    return TakeRescueNotice(GetUserIniFileName(true));
}
