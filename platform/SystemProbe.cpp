#include "platform/SystemProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// Small text files of /proc and sysfs; bounded so a strange file cannot take much memory.
QByteArray ReadSmallFile(const QString& name, qint64 limit = 1 << 20) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

QString ReadTrimmed(const QString& name) {
    return QString::fromUtf8(ReadSmallFile(name, 4096)).trimmed();
}

bool HasHypervisorFlag(const QString& cpuinfo) {
    const QByteArray text = ReadSmallFile(cpuinfo);
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed() != "flags")
            continue;
        for (const QByteArray& flag : line.mid(colon + 1).simplified().split(' '))
            if (flag == "hypervisor")
                return true;
    }
    return false;
}

// A block device's folder in sysfs: the disk itself when it is a partition, then its own flag,
// else those of the devices it is mapped onto.
bool IsBlockFolderRemovable(const QString& folder, int depth) {
    if (folder.isEmpty() || depth > 8)
        return false;
    QString disk = folder;
    if (QFileInfo::exists(folder + QStringLiteral("/partition")))
        disk = QFileInfo(folder).absolutePath();
    if (ReadTrimmed(disk + QStringLiteral("/removable")) == QLatin1String("1"))
        return true;
    const QDir slaves(disk + QStringLiteral("/slaves"));
    for (const QString& name : slaves.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name))
        if (IsBlockFolderRemovable(QFileInfo(slaves.filePath(name)).canonicalFilePath(), depth + 1))
            return true;
    return false;
}

}  // namespace

bool IsOnRemovableMediaIn(const QString& fileName, const QString& sysRoot) {
    struct stat st {};
    if (fileName.isEmpty() || ::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return false;
    const QString link = QStringLiteral("%1/dev/block/%2:%3")
                             .arg(sysRoot)
                             .arg(major(st.st_dev))
                             .arg(minor(st.st_dev));
    return IsBlockFolderRemovable(QFileInfo(link).canonicalFilePath(), 0);
}

QString ProgramFilePath() {
    // Read once: a program file replaced while it runs (an update, a rebuild) reads back as
    // "<name> (deleted)", which would move the settings file and the program folder.
    static const QString path = [] {
        QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
        const QLatin1String deleted(" (deleted)");
        if (target.endsWith(deleted) && !QFileInfo::exists(target))
            target.chop(deleted.size());
        return target;
    }();
    return path;
}

bool DetectVirtualMachineIn(const QString& sysRoot, const QString& procRoot, QString& name) {
    name.clear();
    const QString dmi = sysRoot + QStringLiteral("/class/dmi/id/");
    const QString vendor = ReadTrimmed(dmi + QStringLiteral("sys_vendor"));
    const QString product = ReadTrimmed(dmi + QStringLiteral("product_name"));
    const QString board = ReadTrimmed(dmi + QStringLiteral("board_vendor"));
    const QString bios = ReadTrimmed(dmi + QStringLiteral("bios_vendor"));
    const QString all = QStringList{vendor, product, board, bios}.join(QLatin1Char('\n'));
    auto has = [&](const char* text) { return all.contains(QLatin1String(text), Qt::CaseInsensitive); };

    struct TKnown {
        const char* Text;
        const char* Name;
    };
    static const TKnown known[] = {
        {"VirtualBox", "VirtualBox"}, {"innotek", "VirtualBox"}, {"VMware", "VMWare"},
        {"Parallels", "Parallels"},   {"QEMU", "QEMU"},          {"KVM", "KVM"},
        {"Xen", "Xen"},               {"Bochs", "Bochs"},        {"BHYVE", "bhyve"},
    };
    for (const TKnown& k : known) {
        if (has(k.Text)) {
            name = QLatin1String(k.Name);
            return true;
        }
    }
    if (vendor.contains(QLatin1String("Microsoft"), Qt::CaseInsensitive) &&
        product.contains(QLatin1String("Virtual Machine"), Qt::CaseInsensitive)) {
        name = QStringLiteral("VirtualPC");
        return true;
    }
    if (!HasHypervisorFlag(procRoot + QStringLiteral("/cpuinfo")))
        return false;
    name = ReadTrimmed(sysRoot + QStringLiteral("/hypervisor/type"));
    if (name.isEmpty())
        name = vendor;
    if (name.isEmpty())
        name = QStringLiteral("Hypervisor");
    return true;
}

void ListProcessesIn(const QString& procRoot, QStringList& list) {
    const QDir proc(procRoot);
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        entry.toUInt(&isPid);
        if (!isPid)
            continue;
        const QString dir = procRoot + QLatin1Char('/') + entry;
        QString path = QFileInfo(dir + QStringLiteral("/exe")).symLinkTarget();
        if (path.isEmpty()) {
            // Kernel threads have an empty command line and stay out.
            const QByteArray cmdline = ReadSmallFile(dir + QStringLiteral("/cmdline"), 4096);
            path = QString::fromLocal8Bit(cmdline.left(cmdline.indexOf('\0')));
        }
        // A program replaced on disk while running.
        if (path.endsWith(QLatin1String(" (deleted)")))
            path.chop(10);
        if (!path.isEmpty())
            list.append(path);
    }
}
