#include "platform/DesktopFileTypes.h"
#include "platform/AtomicFile.h"

#include "platform/SystemProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>

namespace {

constexpr qint64 kMaxOwnFileSize = 1024 * 1024;

// ASCII letters and digits, '-' and '_': safe in file names, MIME types and .desktop keys.
bool IsSafeChar(QChar c) {
    return (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') || c == QLatin1Char('_');
}

bool IsSafeName(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsSafeChar);
}

QByteArray Marker(const TDesktopFileTypeTarget& target) {
    return "kv-file-types:" + target.AppId.toUtf8();
}

QString MimeIconName(const TDesktopFileTypeTarget& target, const QString& extension) {
    return DesktopMimeType(target, extension).replace(QLatin1Char('/'), QLatin1Char('-'));
}

// True when the file is there and holds our marker.
bool IsOurFile(const TDesktopFileTypeTarget& target, const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > kMaxOwnFileSize || !file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll().contains(Marker(target));
}

bool MayWrite(const TDesktopFileTypeTarget& target, const QString& path) {
    return !QFileInfo::exists(path) || IsOurFile(target, path);
}

bool WriteOwnFile(const QString& path, const QByteArray& content) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    return WriteFileAtomically(path, content);
}

bool RemoveOwnFile(const TDesktopFileTypeTarget& target, const QString& path) {
    if (!IsOurFile(target, path)) return true;
    return QFile::remove(path);
}

QByteArray XmlText(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

// A magic value as shared-mime-info reads it: printable ASCII as is, other bytes escaped.
QByteArray MagicValue(const QByteArray& magic) {
    QByteArray out;
    for (const char ch : magic) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\\')
            out += "\\\\";
        else if (b >= 32 && b < 127)
            out += ch;
        else
            out += "\\x" + QByteArray::number(b, 16).rightJustified(2, '0');
    }
    return XmlText(QString::fromLatin1(out));
}

QByteArray MimePackage(const TDesktopFileTypeTarget& target, const TDesktopFileType& type) {
    const QString ext = type.Extension.toLower();
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!-- " +
                     Marker(target) +
                     ": written by the program's file-type registration -->\n"
                     "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                     "  <mime-type type=\"" +
                     XmlText(DesktopMimeType(target, ext)) +
                     "\">\n"
                     "    <comment>" +
                     XmlText(type.Description) +
                     "</comment>\n"
                     "    <icon name=\"" +
                     XmlText(MimeIconName(target, ext)) +
                     "\"/>\n"
                     // Globs match without regard to case unless told otherwise.
                     "    <glob pattern=\"*." +
                     XmlText(ext) + "\"/>\n";
    if (!type.Magic.isEmpty())
        xml += "    <magic priority=\"50\">\n"
               "      <match type=\"string\" offset=\"0\" value=\"" +
               MagicValue(type.Magic) +
               "\"/>\n"
               "    </magic>\n";
    xml += "  </mime-type>\n</mime-info>\n";
    return xml;
}

QByteArray IconColor(int iconIndex) {
    switch (iconIndex) {
    case 4:
        return "#1f5fbf"; // trainings
    case 5:
        return "#2e8b57"; // sessions and users
    case 6:
        return "#d2691e"; // strokes
    default:
        return "#707070";
    }
}

QByteArray TypeIcon(const TDesktopFileTypeTarget& target, const TDesktopFileType& type) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- " +
           Marker(target) +
           " -->\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n"
           "  <path d=\"M12 4h28l12 12v44H12z\" fill=\"#ffffff\" stroke=\"#555555\" stroke-width=\"2\"/>\n"
           "  <path d=\"M40 4v12h12\" fill=\"none\" stroke=\"#555555\" stroke-width=\"2\"/>\n"
           "  <rect x=\"6\" y=\"34\" width=\"52\" height=\"18\" rx=\"3\" fill=\"" +
           IconColor(type.IconIndex) +
           "\"/>\n"
           "  <text x=\"32\" y=\"48\" font-family=\"sans-serif\" font-size=\"13\" font-weight=\"bold\" "
           "fill=\"#ffffff\" text-anchor=\"middle\">" +
           XmlText(type.Extension.toUpper()) +
           "</text>\n"
           "</svg>\n";
}

QByteArray AppIcon(const TDesktopFileTypeTarget& target) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- " +
           Marker(target) +
           " -->\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n"
           "  <circle cx=\"32\" cy=\"32\" r=\"29\" fill=\"#1f5fbf\"/>\n"
           "  <path d=\"M14 44l36-24\" stroke=\"#ffffff\" stroke-width=\"4\" stroke-linecap=\"round\"/>\n"
           "  <path d=\"M44 16l10 4-4 6z\" fill=\"#ffffff\"/>\n"
           "  <path d=\"M10 50q6-4 11 0t11 0t11 0t11 0\" fill=\"none\" stroke=\"#ffffff\" "
           "stroke-width=\"3\"/>\n"
           "</svg>\n";
}

// One argument of an Exec line, quoted when it holds a reserved character.
QString ExecArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (const QChar c : arg)
        quote = quote || reserved.contains(c);
    if (!quote) return arg;
    QString out = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

// A value of a .desktop key: backslashes escaped.
QString DesktopValue(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return text;
}

bool WriteDesktopEntry(const TDesktopFileTypeTarget& target, const QStringList& extensions) {
    const QString path = DesktopEntryFile(target);
    if (!MayWrite(target, path)) return false;
    QString program = ExecArgument(target.ProgramPath);
    program.replace(QLatin1Char('%'), QStringLiteral("%%"));
    QString name = target.AppName.isEmpty() ? target.AppId : target.AppName;
    name.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    QString mimeTypes;
    for (const QString& ext : extensions)
        mimeTypes += DesktopMimeType(target, ext) + QLatin1Char(';');
    const QString text =
        QStringLiteral("[Desktop Entry]\n# %1: written by the program's file-type registration\n"
                       "Type=Application\nName=%2\nExec=%3 %F\nIcon=%4\nTerminal=false\n"
                       "NoDisplay=true\nMimeType=%5\n")
            .arg(QString::fromUtf8(Marker(target)), DesktopValue(name), DesktopValue(program), target.AppId,
                 mimeTypes);
    return WriteOwnFile(path, text.toUtf8());
}

bool RunTool(const QString& tool, const QString& folder) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty() || !QFileInfo(folder).isDir()) return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {folder});
    if (!process.waitForStarted()) return false;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

QString UserDataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    const QString home = QDir::homePath();
    return home.isEmpty() || home == QDir::rootPath() ? QString() : home + QStringLiteral("/.local/share");
}

TDesktopFileTypeTarget DefaultDesktopFileTypeTarget(const QString& appName) {
    TDesktopFileTypeTarget target;
    target.DataHome = UserDataHome();
    target.ProgramPath = ProgramFilePath();
    QString id;
    for (const QChar c : QFileInfo(target.ProgramPath).fileName().toLower())
        if (IsSafeChar(c)) id += c;
    target.AppId = id.isEmpty() ? QStringLiteral("kvwt") : id;
    target.AppName = appName;
    return target;
}

QString DesktopMimeType(const TDesktopFileTypeTarget& target, const QString& extension) {
    return QStringLiteral("application/x-%1-%2").arg(target.AppId, extension.toLower());
}

QString DesktopMimePackageFile(const TDesktopFileTypeTarget& target, const QString& extension) {
    return QStringLiteral("%1/mime/packages/%2-%3.xml")
        .arg(target.DataHome, target.AppId, extension.toLower());
}

QString DesktopMimeIconFile(const TDesktopFileTypeTarget& target, const QString& extension) {
    return QStringLiteral("%1/icons/hicolor/scalable/mimetypes/%2.svg")
        .arg(target.DataHome, MimeIconName(target, extension));
}

QString DesktopEntryFile(const TDesktopFileTypeTarget& target) {
    return QStringLiteral("%1/applications/%2-files.desktop").arg(target.DataHome, target.AppId);
}

QString DesktopAppIconFile(const TDesktopFileTypeTarget& target) {
    return QStringLiteral("%1/icons/hicolor/scalable/apps/%2.svg").arg(target.DataHome, target.AppId);
}

QStringList RegisteredDesktopFileTypes(const TDesktopFileTypeTarget& target) {
    QStringList extensions;
    if (target.DataHome.isEmpty() || !IsSafeName(target.AppId)) return extensions;
    const QString folder = target.DataHome + QStringLiteral("/mime/packages/");
    const QString prefix = target.AppId + QLatin1Char('-');
    const QStringList files =
        QDir(folder).entryList({prefix + QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        const QString ext = file.mid(prefix.size(), file.size() - prefix.size() - 4);
        if (IsSafeName(ext) && IsOurFile(target, folder + file)) extensions << ext;
    }
    return extensions;
}

bool RegisterDesktopFileType(const TDesktopFileTypeTarget& target, const TDesktopFileType& type) {
    if (target.DataHome.isEmpty() || !IsSafeName(target.AppId) || !IsSafeName(type.Extension) ||
        target.ProgramPath.isEmpty() || target.ProgramPath.contains(QLatin1Char('\n')))
        return false;
    const QString package = DesktopMimePackageFile(target, type.Extension);
    const QString icon = DesktopMimeIconFile(target, type.Extension);
    const QString appIcon = DesktopAppIconFile(target);
    if (!MayWrite(target, package) || !MayWrite(target, icon) || !MayWrite(target, appIcon) ||
        !MayWrite(target, DesktopEntryFile(target)))
        return false;
    bool ok = WriteOwnFile(package, MimePackage(target, type));
    ok = WriteOwnFile(icon, TypeIcon(target, type)) && ok;
    ok = WriteOwnFile(appIcon, AppIcon(target)) && ok;
    return WriteDesktopEntry(target, RegisteredDesktopFileTypes(target)) && ok;
}

bool UnregisterDesktopFileType(const TDesktopFileTypeTarget& target, const QString& extension) {
    if (target.DataHome.isEmpty() || !IsSafeName(target.AppId) || !IsSafeName(extension)) return false;
    bool ok = RemoveOwnFile(target, DesktopMimePackageFile(target, extension));
    ok = RemoveOwnFile(target, DesktopMimeIconFile(target, extension)) && ok;
    const QStringList remaining = RegisteredDesktopFileTypes(target);
    if (remaining.isEmpty()) {
        ok = RemoveOwnFile(target, DesktopEntryFile(target)) && ok;
        ok = RemoveOwnFile(target, DesktopAppIconFile(target)) && ok;
    } else if (IsOurFile(target, DesktopEntryFile(target))) {
        ok = WriteDesktopEntry(target, remaining) && ok;
    }
    return ok;
}

void UpdateDesktopDatabases(const TDesktopFileTypeTarget& target) {
    if (target.DataHome.isEmpty()) return;
    RunTool(QStringLiteral("update-mime-database"), target.DataHome + QStringLiteral("/mime"));
    RunTool(QStringLiteral("update-desktop-database"), target.DataHome + QStringLiteral("/applications"));
}
