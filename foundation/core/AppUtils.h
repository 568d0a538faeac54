// General utility services: trace, version information, settings-file location, guarded
// arithmetic, waiting, sound, process list and virtual-machine detection.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

using Word = std::uint16_t;

// A GUID in the Windows byte layout (first three fields little-endian when stored).
struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::array<std::uint8_t, 8> D4{};
    bool operator==(const TGUID&) const = default;
};

// Reads the version block of a program file (an ELF section of our own).
class TVerInfo {
public:
    TVerInfo();                                 // the running program's own file
    explicit TVerInfo(const QString& fileName);
    const QString& Filename() const { return FFilename; }
    void SetFilename(const QString& fileName);  // reloads when the name differs
    QString Value(const QString& key) const;    // empty when missing
    bool HasData() const;

private:
    QString FFilename;
    QByteArray FData;
    void Load();
};

// Trace and text
void DebugTrace(const QString& text);
QString NowTimeStr();
QString NowDateTimeStr();
QString FlattenLineBreaks(const QString& text);
QString RemoveInvalidFileChars(const QString& text);
QString AddBackslash(const QString& path);  // appends the path separator '/'
double StrToFloatAnySep(const QString& text);  // ',' or '.'; throws std::invalid_argument on bad text
// Keeps '-' and the digits of the first 255 characters; throws std::invalid_argument when what
// is left is not an integer (empty, misplaced '-', out of range), so callers can skip the item.
int StrToIntDigits(const QString& text);
int HexToInt(const QString& text);  // hex digits of either case; other characters are skipped
std::uint8_t ReverseBits(std::uint8_t b);
// An argument of '-' or '/' followed by the whole name (case ignored): a path is never a switch.
bool HasCmdLineSwitch(const QString& name);
bool HasCmdLineSwitch(const QString& name, const QStringList& args);  // args without the program

// Version information
QString GetVersionInfoValue(const QString& key);
QString GetCompanyName();
QString GetProductName();
QString GetFileDescription();
QString GetFileVersion();
QString GetFileVersionDigits();
QString GetProductTitle();
QString GetDescriptionTitle();
QString AboutBoxText(const QString& extra);  // the text ShowAboutBox shows
// "a.b.c.d" packed as (a << 24) + (b << 16) + (c << 8) + d; 0 when a part is missing, not a
// number or outside 0..255. Packed versions compare as unsigned numbers.
std::uint32_t VersionStrToInt(const QString& text);
QString VersionIntToStr(std::uint32_t v);
std::uint32_t GetFileVersionInt();
QString GetManualFileName(const QString& prefix);

// Files and folders
bool DirExists(const QString& path);
bool ForceFolder(const QString& path);
qint64 GetFileSizeByName(const QString& name);
// Opens the file for writing without changing it; a file created for the check is removed again.
bool IsFileWritable(const QString& name);
QString GetDocumentsFolder();
QString GetProgramFolder();  // with trailing '/'
QString GetUserDataFolder();
QString GetExeIniFileName();
QString LocateUserFile(bool writeMode, const QString& fileName);
QString LocateUserFileIn(bool writeMode, const QString& fileName, const QString& userFolder,
                         const QString& programFolder);  // the folders end with '/'
QString GetUserIniFileName(bool writeMode);
// The program's own settings file under any of its names, written yet or not: nothing else is
// ever saved over it.
bool IsProgramSettingsFile(const QString& fileName);
// Why a save over the program's settings file is refused, for the user.
QString SettingsFileOverwriteReason();
// Moves fileName once from the program folder into the user data folder when it is found only in
// the former; the folders are compared by identity, never by name. True when it moved.
bool MoveSettingsFileOnce(const QString& programFolder, const QString& userFolder,
                          const QString& fileName);
bool OpenDocument(const QString& fileName);
bool ShellExec(const QString& file, const QString& verb, const QString& parameters,
               const QString& folder, int showCommand);

// Arithmetic
float SafeDivide(float dividend, float divisor);  // 0 for a zero divisor or a non-finite result
Word FloatToWord(double value);                   // 0..65535, ties to even, NaN gives 0
int EnsureRangeInt(int value, int min, int max);
bool InRangeSingle(float value, float min, float max);

// Timing and sound
void Delay(unsigned milliseconds);
void Sound(int frequency, int milliseconds);  // starts the tone and returns at once
void NoSound();
// Where Sound goes instead of the speaker (tests); empty: the speaker again.
void SetSoundHook(std::function<void(int frequency, int milliseconds)> hook);

// Platform
bool IsWinNT();  // always true here
TGUID NewGuid();
[[noreturn]] void RaiseLastOSErrorProc();  // std::system_error from errno
void GetProcessList(QStringList& list);
bool IsProcessRunning(const QString& name, bool fullPath);
bool DetectVirtualMachine(QString& name);

// Module state of the start-up
extern bool VirtualMachine;
extern QString VirtualMachineName;
void InitAppUtils();  // start-up: virtual machine detection, one-time settings-file move
