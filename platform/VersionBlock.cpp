#include "platform/VersionBlock.h"

#include <QFile>

namespace {

// Reads fixed-size fields of one byte order from a buffer that the caller has read in full
// (ReadAt gives all the bytes asked for or none).
class TElfFields {
public:
    TElfFields(const QByteArray& data, bool bigEndian) : FData(data), FBigEndian(bigEndian) {}

    quint64 Get(qint64 offset, int size) const {
        quint64 v = 0;
        for (int i = 0; i < size; ++i) {
            const auto b = static_cast<quint8>(FData[offset + (FBigEndian ? i : size - 1 - i)]);
            v = (v << 8) | b;
        }
        return v;
    }

private:
    const QByteArray& FData;
    bool FBigEndian;
};

struct TSection {
    quint64 Name = 0;
    quint64 Type = 0;
    quint64 Offset = 0;
    quint64 Size = 0;
    quint64 Link = 0;
};

constexpr quint64 SHT_NOBITS = 8;
constexpr quint64 SHN_XINDEX = 0xffff;

QByteArray ReadAt(QFile& file, quint64 offset, quint64 size) {
    const quint64 fileSize = static_cast<quint64>(file.size());
    if (offset > fileSize || size > fileSize - offset || !file.seek(static_cast<qint64>(offset)))
        return {};
    QByteArray data = file.read(static_cast<qint64>(size));
    return static_cast<quint64>(data.size()) == size ? data : QByteArray();
}

}  // namespace

QByteArray ReadElfSection(const QString& fileName, const QByteArray& sectionName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray ident = ReadAt(file, 0, 64);
    if (ident.size() < 52 || !ident.startsWith("\x7f" "ELF"))
        return {};
    const char cls = ident[4];
    const char order = ident[5];
    if ((cls != 1 && cls != 2) || (order != 1 && order != 2))
        return {};
    const bool is64 = cls == 2;
    const TElfFields header(ident, order == 2);

    const quint64 shoff = is64 ? header.Get(0x28, 8) : header.Get(0x20, 4);
    const quint64 shentsize = header.Get(is64 ? 0x3a : 0x2e, 2);
    quint64 shnum = header.Get(is64 ? 0x3c : 0x30, 2);
    quint64 shstrndx = header.Get(is64 ? 0x3e : 0x32, 2);
    const quint64 minEntry = is64 ? 64 : 40;
    const quint64 fileSize = static_cast<quint64>(file.size());
    if (shoff == 0 || shoff >= fileSize || shentsize < minEntry)
        return {};

    auto readSection = [&](quint64 index, TSection& s) {
        const QByteArray raw = ReadAt(file, shoff + index * shentsize, minEntry);
        if (raw.isEmpty())
            return false;
        const TElfFields f(raw, order == 2);
        s.Name = f.Get(0, 4);
        s.Type = f.Get(4, 4);
        s.Offset = is64 ? f.Get(0x18, 8) : f.Get(0x10, 4);
        s.Size = is64 ? f.Get(0x20, 8) : f.Get(0x14, 4);
        s.Link = is64 ? f.Get(0x28, 4) : f.Get(0x18, 4);
        return true;
    };

    // Extended numbering: the real counts sit in section 0.
    if (shnum == 0 || shstrndx == SHN_XINDEX) {
        TSection first;
        if (!readSection(0, first))
            return {};
        if (shnum == 0)
            shnum = first.Size;
        if (shstrndx == SHN_XINDEX)
            shstrndx = first.Link;
    }
    if (shnum == 0 || shnum > fileSize / shentsize || shstrndx >= shnum)
        return {};

    TSection names;
    if (!readSection(shstrndx, names) || names.Type == SHT_NOBITS ||
        names.Size > static_cast<quint64>(KvMaxSectionSize))
        return {};
    const QByteArray nameTable = ReadAt(file, names.Offset, names.Size);
    if (nameTable.isEmpty())
        return {};

    for (quint64 i = 1; i < shnum; ++i) {
        TSection s;
        if (!readSection(i, s))
            return {};
        if (s.Name >= static_cast<quint64>(nameTable.size()))
            continue;
        const qsizetype start = static_cast<qsizetype>(s.Name);
        const qsizetype end = nameTable.indexOf('\0', start);
        if (end < 0 || nameTable.mid(start, end - start) != sectionName)
            continue;
        if (s.Type == SHT_NOBITS || s.Size > static_cast<quint64>(KvMaxSectionSize))
            return {};
        return ReadAt(file, s.Offset, s.Size);
    }
    return {};
}

QString VersionBlockValue(const QByteArray& block, const QString& key) {
    qsizetype pos = 0;
    while (pos < block.size()) {
        const qsizetype keyEnd = block.indexOf('\0', pos);
        if (keyEnd < 0 || keyEnd == pos)
            break;  // an unterminated or empty key ends the block (padding)
        const qsizetype valueEnd = block.indexOf('\0', keyEnd + 1);
        if (valueEnd < 0)
            break;
        const QString name = QString::fromUtf8(block.constData() + pos, keyEnd - pos);
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(block.constData() + keyEnd + 1, valueEnd - keyEnd - 1);
        pos = valueEnd + 1;
    }
    return {};
}
