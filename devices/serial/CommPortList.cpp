#include "devices/serial/CommPortList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// ttyS entries exist for every possible 8250 slot; "type" 0 means no UART answered there.
bool HasRealUart(const QString& ttyDir) {
    QFile type(ttyDir + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const int value = QString::fromLatin1(type.readAll()).trimmed().toInt(&ok);
    return ok && value != 0;
}

}  // namespace

void GetCommPortList(QStringList& list, const QString& sysfsRoot) {
    const QDir ttys(sysfsRoot + QStringLiteral("/class/tty"));
    const QStringList names =
        ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QString dir = ttys.filePath(name);
        bool wanted;
        if (name.startsWith(QStringLiteral("rfcomm")))
            wanted = true;
        else if (!QFileInfo::exists(dir + QStringLiteral("/device")))
            wanted = false;  // consoles, pseudo terminals
        else if (name.startsWith(QStringLiteral("ttyS")))
            wanted = HasRealUart(dir);
        else
            wanted = true;
        const QString path = QStringLiteral("/dev/") + name;
        if (wanted && !list.contains(path))
            list.append(path);
    }
}

int GetPlatformId() {
    return 2;
}
