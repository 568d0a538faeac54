#include "update/UpdateDocument.h"

#include "platform/CodePage.h"
#include "platform/ProgramReplace.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

void TUpdateTextBuffer::Clear() {
    FText.clear();
    FOverflowed = false;
}

void TUpdateTextBuffer::Add(const char* data, int length) {
    if (FOverflowed || length <= 0)
        return;
    const std::size_t space = UpdateTextBufferSize - FText.size();
    if (std::size_t(length) >= space) {
        FOverflowed = true;
        return;
    }
    FText.append(data, std::size_t(length));
}

std::string TUpdateTextBuffer::Text() const { return FText.substr(0, FText.find('\0')); }

QString WebTextToQString(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return utf8.hasError() ? Cp1252ToQString(bytes) : text;
}

void TUpdateDocument::Load(const QString& text) {
    FLines.clear();
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& line : unified.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0)
            FLines.emplace_back(line.left(eq), line.mid(eq + 1));
    }
}

QString TUpdateDocument::Value(const QString& key) const {
    for (const auto& [k, v] : FLines)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

namespace {

bool ParseVersion(const QString& text, TVersionParts& result) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    result = {};
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const qulonglong n = parts[i].toULongLong(&ok);
        if (!ok || n > 0xFFFFFFFFull || parts[i].isEmpty() || !parts[i][0].isDigit()) {
            result = {};
            return false;
        }
        result[std::size_t(i)] = std::uint32_t(n);
    }
    return true;
}

}  // namespace

TVersionParts VersionStrToParts(const QString& text) {
    TVersionParts result;
    ParseVersion(text, result);
    return result;
}

bool IsVersionText(const QString& text) {
    TVersionParts result;
    return ParseVersion(text, result);
}

bool IsNewerVersion(const QString& offered, const QString& current) {
    return VersionStrToParts(current) < VersionStrToParts(offered);
}

QString UrlFileName(const QString& address) {
    return address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
}

QString DownloadFileName(const QString& address) {
    QString path = address;
    const qsizetype cut = path.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (cut >= 0)
        path.truncate(cut);
    const QString name = UrlFileName(path);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}

QString UnifyLineBreaks(const QString& text) {
    const QChar mark(1);
    QString s = text;
    s.replace(QStringLiteral("\r\n"), mark)
        .replace(QStringLiteral("\n\r"), mark)
        .replace(QLatin1Char('\r'), mark)
        .replace(QLatin1Char('\n'), mark);
    return s.replace(mark, QStringLiteral("\r\n"));
}

QString CheckDownload(const TDownloadFacts& facts, std::int64_t announcedSize, const QString& file,
                      const QString& expectedSha256, const QString& referenceProgram) {
    if (facts.StatusCode != 200)
        return QStringLiteral("the server answered with status %1").arg(facts.StatusCode);
    if (facts.RequestError != 0 || !facts.DocComplete)
        return QStringLiteral("the download was cut short");
    const qint64 onDisk = QFileInfo(file).size();
    if (facts.ContentLength != announcedSize || facts.RcvdCount != announcedSize || onDisk != announcedSize)
        return QStringLiteral("%1 bytes came instead of the %2 announced").arg(onDisk).arg(announcedSize);
    if (!referenceProgram.isEmpty() && !ElfProgramMatches(file, referenceProgram))
        return QStringLiteral("the file is not a program for this computer");
    if (expectedSha256.isEmpty()) {
        if (!referenceProgram.isEmpty())
            return QStringLiteral("the update gives no SHA-256 to check the file with");
        return {};
    }
    if (FileSha256(file).compare(expectedSha256.trimmed(), Qt::CaseInsensitive) != 0)
        return QStringLiteral("the file's SHA-256 does not match the update's");
    return {};
}
