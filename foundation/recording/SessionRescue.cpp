#include "foundation/recording/SessionRescue.h"

#include "foundation/core/AppUtils.h"
#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kSection = QStringLiteral("Rescue");
const QString kFileKey = QStringLiteral("File");
const QString kFolderKey = QStringLiteral("Folder");
constexpr int kMaxNamesTried = 1000;

QString FolderKey(const QString& folder) {
    return QDir::cleanPath(folder);
}

// Written or failed in this folder; a name taken by then gives the next one.
bool WriteInFolder(const TTraining& training, const QString& folder, const QString& base,
                   QString& fileName, QString& error) {
    const QDateTime when = QDateTime::currentDateTime();
    for (int n = 1; n <= kMaxNamesTried; ++n) {
        fileName = RescueFileName(folder, base, when, n);
        // A kept session is a file like any saved one: reopened, it is a rowed training.
        TTraining kept = training;
        StampOwnStgFile(kept, fileName, kept.Header.ContentKind);
        kept.Header.FileName = kept.Header.FileName.substr(0, kShortStringMax);
        kept.Header.Modified = 0;
        std::vector<std::uint8_t> bytes;
        if (!EncodeStgFileForReader(kept, bytes)) {
            error = QStringLiteral("too large for a training file");
            return false;
        }
        const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<qsizetype>(bytes.size()));
        switch (WriteNewFileAtomically(fileName, view, &error)) {
        case TNewFileResult::Written: return true;
        case TNewFileResult::Exists: continue;
        case TNewFileResult::Failed: return false;
        }
    }
    error = QStringLiteral("no free name");
    return false;
}

void NoteRescue(const TRescuePlace& place, const QString& fileName) {
    if (!IsFileWritable(place.SettingsFile))
        return;
    TIniFile ini(place.SettingsFile);
    int n = 1;
    while (ini.ValueExists(kSection, kFileKey + QString::number(n)))
        ++n;
    ini.WriteString(kSection, kFileKey + QString::number(n), fileName);
    ini.WriteString(kSection, kFolderKey + QString::number(n), place.DataFolder);
    ini.UpdateFile();
}

}  // namespace

TRescuePlace UserRescuePlace() {
    return {GetUserDataFolder(), AddBackslash(QDir::tempPath()), GetUserIniFileName(true)};
}

QString RescueFileName(const QString& folder, const QString& base, const QDateTime& when, int n) {
    QString name = folder + base + QLatin1Char(' ') + when.toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
    if (n >= 2)
        name += QStringLiteral(" (%1)").arg(n);
    return name + QStringLiteral(".stg");
}

QString RescueBaseName(const TTraining& training) {
    const TStgHeader& h = training.Header;
    QString base;
    if (!h.FileName.empty() && h.FileName != "?")
        base = QFileInfo(Cp1252ToQString(h.FileName)).completeBaseName();
    else if (h.ContentKind == kContentKindRow)
        base = QStringLiteral("Session");
    else
        base = Cp1252ToQString(h.Title);
    base = RemoveInvalidFileChars(base).trimmed();
    return base.isEmpty() ? QStringLiteral("Training") : base.left(100);
}

bool RescueTraining(const TTraining& training, const TRescuePlace& place, QString& fileName,
                    QString& error) {
    fileName.clear();
    const QString base = RescueBaseName(training);
    QString why;
    for (const QString& folder : {place.DataFolder, place.TempFolder}) {
        if (folder.isEmpty())
            continue;
        if (WriteInFolder(training, folder, base, fileName, why)) {
            NoteRescue(place, fileName);
            error.clear();
            return true;
        }
        error += (error.isEmpty() ? QString() : QStringLiteral("; ")) + folder + QStringLiteral(": ") + why;
    }
    fileName.clear();
    return false;
}

QString TakeRescueNotice(const TRescuePlace& place) {
    TIniFile ini(place.SettingsFile);
    QStringList keys;
    ini.ReadSection(kSection, keys);
    const QString ourFolder = FolderKey(place.DataFolder);
    QStringList names, taken;
    int files = 0;
    for (const QString& key : keys) {
        if (!key.startsWith(kFileKey, Qt::CaseInsensitive))
            continue;
        ++files;
        const QString name = ini.ReadString(kSection, key, QString());
        const QString writer = ini.ReadString(kSection, kFolderKey + key.mid(kFileKey.size()), QString());
        // Settings that came from another user (a shared program folder) keep that user's notes.
        if (FolderKey(QFileInfo(name).absolutePath()) != ourFolder && FolderKey(writer) != ourFolder)
            continue;
        taken << key;
        // A file taken away since has nothing left to tell.
        if (QFileInfo::exists(name) && !names.contains(name))
            names << name;
    }
    if (taken.isEmpty())
        return {};
    if (IsFileWritable(place.SettingsFile)) {
        if (taken.size() == files) {
            ini.EraseSection(kSection);
        } else {
            for (const QString& key : taken) {
                ini.DeleteKey(kSection, key);
                ini.DeleteKey(kSection, kFolderKey + key.mid(kFileKey.size()));
            }
        }
        ini.UpdateFile();
    }
    if (names.isEmpty())
        return {};
    if (names.size() == 1)
        return QStringLiteral("The training that was not saved when the program was ended has been kept in \"%1\".")
            .arg(names.front());
    QString text = QStringLiteral("The trainings that were not saved when the program was ended have been kept in:");
    for (const QString& name : names)
        text += QStringLiteral("\n\"%1\"").arg(name);
    return text;
}
