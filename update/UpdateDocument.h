// What the update dialog works with, apart from its windows: the text buffer of its requests,
// the update document, versions, download names and the check of a downloaded file.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline constexpr int UpdateTextBufferSize = 65535;  // with the closing NUL

// Collects a text in chunks as they arrive. A chunk that does not fit ends the collecting: the
// text never has a hole, and Overflowed tells that it is not whole.
class TUpdateTextBuffer {
public:
    void Clear();
    void Add(const char* data, int length);
    bool Overflowed() const { return FOverflowed; }
    std::string Text() const;  // up to the first NUL

private:
    std::string FText;
    bool FOverflowed = false;
};

// Text from the web: UTF-8, else Windows-1252.
QString WebTextToQString(const std::string& bytes);

// "key=value" lines ending in CR LF, LF or CR. The key is the text before the first "=",
// compared without regard to case; the first line of a key counts.
class TUpdateDocument {
public:
    void Load(const QString& text);
    QString Value(const QString& key) const;  // empty when missing

private:
    std::vector<std::pair<QString, QString>> FLines;
};

// Keys of the update document. The hash is our own addition: a new program is installed only
// when its file has this SHA-256.
inline constexpr const char* ukName = "Name";
inline constexpr const char* ukDescription = "Description";
inline constexpr const char* ukVersion = "Version";
inline constexpr const char* ukDate = "Date";
inline constexpr const char* ukReleasenotes = "Releasenotes";
inline constexpr const char* ukReleaseNotesSize = "ReleaseNotesSize";
inline constexpr const char* ukHomepage = "Homepage";
inline constexpr const char* ukInstall = "Install";
inline constexpr const char* ukInstallSize = "InstallSize";
inline constexpr const char* ukInstallSha256 = "InstallSHA256";

// The four numbers of "a.b.c.d"; all 0 when a part is missing or is no number. Compared as a
// tuple, so parts above 255 keep their order.
using TVersionParts = std::array<std::uint32_t, 4>;
TVersionParts VersionStrToParts(const QString& text);
// The text is a version: four numbers joined by dots.
bool IsVersionText(const QString& text);
bool IsNewerVersion(const QString& offered, const QString& current);

// The text after the last "/" of the address (the whole address when it has none).
QString UrlFileName(const QString& address);
// A name to save a download under: the last part of the address without its query and
// fragment; empty when that is empty, "." or "..".
QString DownloadFileName(const QString& address);

// Every line break (CR LF, LF CR, a lone CR or LF) becomes one CR LF.
QString UnifyLineBreaks(const QString& text);

// How a download ended, as the HTTP client tells it.
struct TDownloadFacts {
    int StatusCode = 0;
    int RequestError = 0;
    bool DocComplete = false;
    std::int64_t ContentLength = -1;
    std::int64_t RcvdCount = 0;
};

// Why the downloaded file may not be used; empty when it may. The file must be the whole
// announced document; with expectedSha256 it must have that hash; with referenceProgram it must
// also be a program for the machine that one runs on, and the hash is then required.
QString CheckDownload(const TDownloadFacts& facts, std::int64_t announcedSize, const QString& file,
                      const QString& expectedSha256, const QString& referenceProgram);
