#include "foundation/core/AppUtils.h"
#include "platform/AtomicFile.h"

#include "foundation/core/DateTimeUtils.h"
#include "platform/ShellServices.h"
#include "platform/SystemProbe.h"
#include "platform/ToneOutput.h"
#include "platform/VersionBlock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

bool VirtualMachine = false;
QString VirtualMachineName;

namespace {

// The running program's own block; the file does not change while it runs.
const QByteArray& OwnVersionBlock() {
    static const QByteArray block = ReadElfSection(ProgramFilePath(), KvVersionSectionName);
    return block;
}

bool IsControlOrBlank(QChar c) { return c.unicode() <= 32; }

// Replaces the extension of the file-name part (after the last '/') by ext.
QString ChangeFileExt(const QString& name, const QString& ext) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? name.left(dot) : name) + ext;
}

// The spelling of fileName as it stands in folder, found without regard to case; empty when the
// folder holds no such file.
QString FindFileSpelling(const QString& folder, const QString& fileName) {
    if (fileName.isEmpty())
        return {};
    if (QFileInfo(folder + fileName).isFile())
        return fileName;
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return entry;
    return {};
}

// Two names of the same file or folder (device and inode; links and case do not fool it).
bool SameFile(const QString& a, const QString& b) {
    struct stat sa{}, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString SettingsFileName() {
    return ChangeFileExt(QFileInfo(ProgramFilePath()).fileName(), QStringLiteral(".ini"));
}

constexpr qint64 MaxSettingsFileSize = 16 * 1024 * 1024;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TVerInfo

TVerInfo::TVerInfo() : FFilename(ProgramFilePath()) { Load(); }

TVerInfo::TVerInfo(const QString& fileName) : FFilename(fileName) { Load(); }

void TVerInfo::SetFilename(const QString& fileName) {
    if (fileName == FFilename)
        return;
    FFilename = fileName;
    Load();
}

QString TVerInfo::Value(const QString& key) const { return VersionBlockValue(FData, key); }

bool TVerInfo::HasData() const { return !FData.isEmpty(); }

void TVerInfo::Load() {
    FData = FFilename.isEmpty() ? QByteArray() : ReadElfSection(FFilename, KvVersionSectionName);
}

// ---------------------------------------------------------------------------------------------
// Trace and text

void DebugTrace(const QString& text) {
    static std::mutex lock;
    const QByteArray line = (NowTimeStr() + QLatin1Char(' ') + text + QLatin1Char('\n')).toLocal8Bit();
    const std::lock_guard<std::mutex> guard(lock);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

QString NowTimeStr() { return QTime::currentTime().toString(LocaleLongTimeFormat()); }

QString NowDateTimeStr() {
    const QDateTime now = QDateTime::currentDateTime();
    return QLocale::system().toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           now.time().toString(LocaleLongTimeFormat());
}

QString FlattenLineBreaks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsControlOrBlank(text[first]))
        ++first;
    while (last > first && IsControlOrBlank(text[last - 1]))
        --last;
    QString result = text.mid(first, last - first);
    const QString sep = QStringLiteral("; ");
    result.replace(QStringLiteral("\r\n"), sep);
    result.replace(QStringLiteral("\n\r"), sep);
    result.replace(QLatin1Char('\r'), sep);
    result.replace(QLatin1Char('\n'), sep);
    return result;
}

QString RemoveInvalidFileChars(const QString& text) {
    static const QString invalid = QStringLiteral("*./:<>?\\|");
    QString result;
    result.reserve(text.size());
    for (const QChar c : text)
        if (!invalid.contains(c))
            result += c;
    return result;
}

QString AddBackslash(const QString& path) {
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

double StrToFloatAnySep(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid floating point value");
    return v;
}

int StrToIntDigits(const QString& text) {
    QString digits;
    for (const QChar c : text.left(255))
        if (c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            digits += c;
    bool ok = false;
    const int v = digits.toInt(&ok, 10);
    if (!ok)
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid integer value");
    return v;
}

int HexToInt(const QString& text) {
    quint32 v = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else
            continue;
        v = (v << 4) | static_cast<quint32>(digit);
    }
    return static_cast<int>(v);
}

std::uint8_t ReverseBits(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        r = static_cast<std::uint8_t>((r << 1) | (b & 1));
        b >>= 1;
    }
    return r;
}

bool HasCmdLineSwitch(const QString& name) {
    if (!QCoreApplication::instance())
        return false;
    return HasCmdLineSwitch(name, QCoreApplication::arguments().mid(1));
}

bool HasCmdLineSwitch(const QString& name, const QStringList& args) {
    if (name.isEmpty())
        return false;
    // The whole argument must be the switch: "/home/x" is a path, never the switch "home".
    for (const QString& arg : args) {
        if (arg.size() == name.size() + 1 && (arg[0] == QLatin1Char('-') || arg[0] == QLatin1Char('/')) &&
            QStringView(arg).mid(1).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Version information

QString GetVersionInfoValue(const QString& key) { return VersionBlockValue(OwnVersionBlock(), key); }
QString GetCompanyName() { return GetVersionInfoValue(QStringLiteral("CompanyName")); }
QString GetProductName() { return GetVersionInfoValue(QStringLiteral("ProductName")); }
QString GetFileDescription() { return GetVersionInfoValue(QStringLiteral("FileDescription")); }
QString GetFileVersion() { return GetVersionInfoValue(QStringLiteral("FileVersion")); }

QString GetFileVersionDigits() { return GetFileVersion().remove(QLatin1Char('.')); }

QString GetProductTitle() {
    const QString product = GetProductName();
    return product.isEmpty() ? QString() : product + QLatin1Char(' ') + GetFileVersion();
}

QString GetDescriptionTitle() {
    const QString description = GetFileDescription();
    return description.isEmpty() ? QString() : description + QLatin1Char(' ') + GetFileVersion();
}

QString AboutBoxText(const QString& extra) {
    QString text = GetProductTitle() + QLatin1Char('\n');
    const QString copyright = GetVersionInfoValue(QStringLiteral("LegalCopyright"));
    const QString website = GetVersionInfoValue(QStringLiteral("Website"));
    const QString email = GetVersionInfoValue(QStringLiteral("Email"));
    if (copyright.size() > 2)
        text += QLatin1Char('\n') + copyright;
    if (website.size() > 2)
        text += QStringLiteral("\nWebsite : ") + website;
    if (email.size() > 2)
        text += QStringLiteral("\nEmail : ") + email;
    if (!extra.isEmpty())
        text += QStringLiteral("\n\n") + extra;
    return text;
}

std::uint32_t VersionStrToInt(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() < 4)
        return 0;
    // Everything after the third point is the last part, so "1.2.3.4.5" is invalid.
    const QString last = parts.mid(3).join(QLatin1Char('.'));
    const QString fields[4] = {parts[0], parts[1], parts[2], last};
    std::uint32_t v = 0;
    for (const QString& f : fields) {
        if (f.isEmpty())
            return 0;
        for (const QChar c : f)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return 0;
        bool ok = false;
        const uint n = f.toUInt(&ok);
        if (!ok || n > 255)
            return 0;
        v = (v << 8) | n;
    }
    return v;
}

QString VersionIntToStr(std::uint32_t v) {
    return QStringLiteral("%1.%2.%3.%4").arg(v >> 24).arg((v >> 16) & 255).arg((v >> 8) & 255).arg(v & 255);
}

std::uint32_t GetFileVersionInt() { return VersionStrToInt(GetFileVersion()); }

QString GetManualFileName(const QString& prefix) {
    return GetProgramFolder() + prefix + GetFileVersionDigits() + QStringLiteral(".pdf");
}

// ---------------------------------------------------------------------------------------------
// Files and folders

bool DirExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

bool ForceFolder(const QString& path) {
    if (path.isEmpty())
        return true;
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

qint64 GetFileSizeByName(const QString& name) {
    const QFileInfo info(name);
    return !name.isEmpty() && info.isFile() ? info.size() : -1;
}

bool IsFileWritable(const QString& name) {
    if (name.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(name);
    struct stat st{};
    if (::stat(path.constData(), &st) == 0) {
        // No write permission bit at all is the read-only attribute (root could write anyway).
        if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return false;
        // Opened for writing without O_TRUNC: the file keeps its contents.
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
    if (errno != ENOENT)
        return false;
    // A file made only for the test is removed again: no empty file is left behind.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(path.constData());
    return true;
}

QString GetDocumentsFolder() {
    return AddBackslash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString GetProgramFolder() {
    QString file = ProgramFilePath();
    if (file.isEmpty() && QCoreApplication::instance())
        file = QCoreApplication::applicationFilePath();
    return file.isEmpty() ? QString() : AddBackslash(QFileInfo(file).absolutePath());
}

QString GetUserDataFolder() {
    QString folder = GetDocumentsFolder();
    if (folder.isEmpty())
        return GetProgramFolder();
    const QString company = RemoveInvalidFileChars(GetCompanyName());
    const QString product = RemoveInvalidFileChars(GetProductName());
    if (!company.isEmpty() && !product.isEmpty()) {
        folder += company + QLatin1Char('/') + product + QLatin1Char('/');
        ForceFolder(folder);
    }
    return folder;
}

QString GetExeIniFileName() { return ChangeFileExt(ProgramFilePath(), QStringLiteral(".ini")); }

QString LocateUserFileIn(bool writeMode, const QString& fileName, const QString& userFolder,
                         const QString& programFolder) {
    for (const QString& folder : {userFolder, programFolder}) {
        if (folder.isEmpty())
            continue;
        if (writeMode) {
            if (IsFileWritable(folder + fileName))
                return folder + fileName;
        } else {
            const QString spelling = FindFileSpelling(folder, fileName);
            if (!spelling.isEmpty())
                return folder + spelling;
        }
    }
    return {};
}

QString LocateUserFile(bool writeMode, const QString& fileName) {
    return LocateUserFileIn(writeMode, fileName, GetUserDataFolder(), GetProgramFolder());
}

QString GetUserIniFileName(bool writeMode) { return LocateUserFile(writeMode, SettingsFileName()); }

bool IsProgramSettingsFile(const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    // The file as it is, under any name that reaches it (links, another spelling) ...
    const QString existing = GetUserIniFileName(false);
    if (!existing.isEmpty() && SameFile(fileName, existing))
        return true;
    // ... and the places it is written to, before it exists.
    const QFileInfo target(fileName);
    if (target.fileName().compare(SettingsFileName(), Qt::CaseInsensitive) != 0)
        return false;
    const QString folder = QDir::cleanPath(target.absolutePath());
    for (const QString& place : {GetUserDataFolder(), GetProgramFolder()})
        if (!place.isEmpty() && (QDir::cleanPath(place) == folder || SameFile(place, folder)))
            return true;
    return false;
}

QString SettingsFileOverwriteReason() {
    return QStringLiteral("This is the program's own settings file: choose another name.");
}

bool MoveSettingsFileOnce(const QString& programFolder, const QString& userFolder,
                          const QString& fileName) {
    if (programFolder.isEmpty() || userFolder.isEmpty() || SameFile(programFolder, userFolder))
        return false;
    // A file in the user data folder always wins; only one found nowhere else moves.
    if (!FindFileSpelling(userFolder, fileName).isEmpty())
        return false;
    const QString spelling = FindFileSpelling(programFolder, fileName);
    if (spelling.isEmpty())
        return false;
    const QString from = programFolder + spelling;
    const QString to = userFolder + fileName;
    if (SameFile(from, to) || !IsFileWritable(to))
        return false;
    QFile source(from);
    if (source.size() > MaxSettingsFileSize || !source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = source.readAll();
    source.close();
    if (source.error() != QFileDevice::NoError)
        return false;
    if (!WriteFileAtomically(to, content))
        return false;
    // When the old file cannot go (a read-only program folder) the copy still wins from now on.
    QFile::remove(from);
    return true;
}

bool OpenDocument(const QString& fileName) { return OpenWithDesktop(fileName); }

bool ShellExec(const QString& file, const QString& verb, const QString& parameters,
               const QString& folder, int /*showCommand: the desktop decides*/) {
    const QString v = verb.toLower();
    if (v.isEmpty() || v == QLatin1String("open")) {
        const QFileInfo info(file);
        if (info.isFile() && info.isExecutable())
            return StartDetached(info.absoluteFilePath(), QProcess::splitCommand(parameters), folder);
        return OpenWithDesktop(file);
    }
    if (v == QLatin1String("explore"))
        return OpenWithDesktop(file);
    return false;
}

// ---------------------------------------------------------------------------------------------
// Arithmetic

float SafeDivide(float dividend, float divisor) {
    if (divisor == 0.0f)
        return 0.0f;
    double d = divisor;
    if (d >= 0.0 && d < 1e-9)
        d = 1e-9;
    else if (d < 0.0 && d >= -1e-9)
        d = -1e-9;
    const double r = static_cast<double>(dividend) / d;
    // Overflow or a non-finite operand gives 0, as a raised floating-point exception did.
    if (!std::isfinite(r) || std::fabs(r) > std::numeric_limits<float>::max())
        return 0.0f;
    return static_cast<float>(r);
}

Word FloatToWord(double value) {
    if (std::isnan(value) || value < 0.0)
        return 0;
    if (value > 65535.0)
        return 65535;
    return static_cast<Word>(std::nearbyint(value));
}

int EnsureRangeInt(int value, int min, int max) {
    if (value < min)
        return min;
    if (value > max)
        return max;
    return value;
}

bool InRangeSingle(float value, float min, float max) { return min <= value && value < max; }

// ---------------------------------------------------------------------------------------------
// Timing and sound

void Delay(unsigned milliseconds) {
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    // Pumps events until the monotonic clock says the time is up. The end is never left to a
    // timer: inside a timer event (a wait within a wait) the event loop may not deliver timers.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const qint64 left = static_cast<qint64>(milliseconds) - clock.elapsed();
        if (left <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(left, milliseconds >= 50 ? 10 : 1)));
    }
}

namespace {
std::function<void(int, int)>& SoundHook() {
    static std::function<void(int, int)> hook;
    return hook;
}
} // namespace

void Sound(int frequency, int milliseconds) {
    if (SoundHook())
        SoundHook()(frequency, milliseconds);
    else
        PlayTone(frequency, milliseconds);
}

void SetSoundHook(std::function<void(int, int)> hook) { SoundHook() = std::move(hook); }

void NoSound() {}

// ---------------------------------------------------------------------------------------------
// Platform

bool IsWinNT() { return true; }

TGUID NewGuid() {
    const QUuid u = QUuid::createUuid();
    TGUID g;
    g.D1 = u.data1;
    g.D2 = u.data2;
    g.D3 = u.data3;
    for (size_t i = 0; i < g.D4.size(); ++i)
        g.D4[i] = u.data4[i];
    return g;
}

void RaiseLastOSErrorProc() {
    const int code = errno;
    if (code == 0)
        throw std::system_error(0, std::generic_category(), "A call to an OS function failed");
    throw std::system_error(code, std::generic_category());
}

void GetProcessList(QStringList& list) { ListProcessesIn(QStringLiteral("/proc"), list); }

bool IsProcessRunning(const QString& name, bool fullPath) {
    QStringList list;
    GetProcessList(list);
    for (const QString& path : list) {
        const QString candidate = fullPath ? path : QFileInfo(path).fileName();
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool DetectVirtualMachine(QString& name) {
    return DetectVirtualMachineIn(QStringLiteral("/sys"), QStringLiteral("/proc"), name);
}

void InitAppUtils() {
    VirtualMachine = DetectVirtualMachine(VirtualMachineName);
    // Numbers are read and written with '.' everywhere below the windows.
    std::setlocale(LC_NUMERIC, "C");
    MoveSettingsFileOnce(GetProgramFolder(), GetUserDataFolder(), SettingsFileName());
}
