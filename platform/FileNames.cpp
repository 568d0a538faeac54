#include "platform/FileNames.h"

#include "platform/CodePage.h"

#include <QDir>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscapedByte(QChar c) { return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF; }

// The length of the valid UTF-8 character at p (strict: no overlong forms, no surrogates,
// nothing above U+10FFFF); 0 when there is none.
int Utf8Length(const unsigned char* p, qsizetype n) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    int len;
    unsigned min;
    unsigned cp;
    if ((c & 0xE0) == 0xC0)
        len = 2, min = 0x80, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        len = 3, min = 0x800, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        len = 4, min = 0x10000, cp = c & 0x07;
    else
        return 0;
    if (n < len) return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    return cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : len;
}

} // namespace

QString DecodeFileName(const QByteArray& native) {
    QString name;
    const auto* p = reinterpret_cast<const unsigned char*>(native.constData());
    const qsizetype n = native.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype run = i;
        while (run < n) {
            const int len = Utf8Length(p + run, n - run);
            if (len == 0) break;
            run += len;
        }
        name += QString::fromUtf8(native.constData() + i, run - i);
        if (run < n) {
            name += QChar(char16_t(kEscapeBase + p[run]));
            ++run;
        }
        i = run;
    }
    return name;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray native;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !IsEscapedByte(name[i])) continue;
        native += QStringView(name).mid(start, i - start).toUtf8();
        if (i < name.size()) native += char(name[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    return native;
}

QString DisplayFileName(const QString& name) {
    QString shown = name;
    for (QChar& c : shown)
        if (IsEscapedByte(c)) c = Cp1252ToQString(std::string(1, char(c.unicode() - kEscapeBase))).at(0);
    return shown;
}

QString AbsoluteFileName(const QString& name) {
    if (name.isEmpty()) return name;
    return QDir::cleanPath(QDir::isAbsolutePath(name) ? name : QDir::currentPath() + QLatin1Char('/') + name);
}
