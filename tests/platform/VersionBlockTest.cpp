// The ELF section reader and the version block format, on the test program itself and on small
// ELF files built here field by field.
#include "platform/VersionBlock.h"

#include "support/FileHelpers.h"

#include <functional>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A minimal ELF file: header, section-name table, one data section, three section headers.
struct TElfImage {
    QByteArray Bytes;
    qsizetype HeaderShoff = 0;    // where e_shoff is stored
    qsizetype HeaderShstrndx = 0;
    qsizetype DataHeader = 0;     // the section header of the data section
    bool Is64 = true;
    bool BigEndian = false;

    void Put(qsizetype at, quint64 value, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (BigEndian ? size - 1 - i : i);
            Bytes[at + i] = static_cast<char>((value >> shift) & 0xff);
        }
    }
};

TElfImage MakeElf(bool is64, bool bigEndian, const QByteArray& sectionName, const QByteArray& data) {
    TElfImage e;
    e.Is64 = is64;
    e.BigEndian = bigEndian;
    const int headerSize = is64 ? 64 : 52;
    const int entry = is64 ? 64 : 40;
    const QByteArray names = QByteArray("\0.shstrtab\0", 11) + sectionName + QByteArray(1, '\0');
    const qsizetype namesAt = headerSize;
    const qsizetype dataAt = namesAt + names.size();
    const qsizetype shoff = dataAt + data.size();
    e.Bytes = QByteArray(shoff + 3 * entry, '\0');
    e.Bytes.replace(0, 4, "\x7f" "ELF");
    e.Bytes[4] = is64 ? 2 : 1;
    e.Bytes[5] = bigEndian ? 2 : 1;
    e.Bytes[6] = 1;
    e.Bytes.replace(namesAt, names.size(), names);
    e.Bytes.replace(dataAt, data.size(), data);
    e.HeaderShoff = is64 ? 0x28 : 0x20;
    e.HeaderShstrndx = is64 ? 0x3e : 0x32;
    e.Put(e.HeaderShoff, static_cast<quint64>(shoff), is64 ? 8 : 4);
    e.Put(is64 ? 0x3a : 0x2e, static_cast<quint64>(entry), 2);
    e.Put(is64 ? 0x3c : 0x30, 3, 2);
    e.Put(e.HeaderShstrndx, 1, 2);
    auto section = [&](int index, quint64 name, quint64 type, qsizetype at, qsizetype size) {
        const qsizetype h = shoff + index * entry;
        e.Put(h, name, 4);
        e.Put(h + 4, type, 4);
        e.Put(h + (is64 ? 0x18 : 0x10), static_cast<quint64>(at), is64 ? 8 : 4);
        e.Put(h + (is64 ? 0x20 : 0x14), static_cast<quint64>(size), is64 ? 8 : 4);
        return h;
    };
    section(1, 1, 3, namesAt, names.size());                   // .shstrtab, SHT_STRTAB
    e.DataHeader = section(2, 11, 1, dataAt, data.size());     // SHT_PROGBITS
    return e;
}

class VersionBlockFile : public ::testing::Test {
protected:
    QTemporaryDir FDir;
    QString Write(const QByteArray& bytes) {
        const QString name = FDir.filePath(QStringLiteral("program"));
        EXPECT_TRUE(WriteAllBytes(name, bytes));
        return name;
    }
};

const QByteArray Block("CompanyName\0Acme\0FileVersion\0002.3.4.5\0Email\0\0", 45);

}  // namespace

TEST(VersionBlock, TheTestProgramCarriesTheBuildValues) {
    const QByteArray block = ReadElfSection(QStringLiteral("/proc/self/exe"), KvVersionSectionName);
    // The composed texts of these values are checked where the program reads them (TVerInfo).
    const std::pair<const char*, const char*> values[] = {
        {"CompanyName", "Kavelo"}, {"FileVersion", "1.0.0.0"}, {"OriginalFilename", "kvwt"}, {"Website", ""}};
    for (auto [key, value] : values)
        EXPECT_EQ(VersionBlockValue(block, key), value) << key;
    // The empty values still stand in the block, so the last key is found after them.
    EXPECT_TRUE(block.contains(QByteArray("Comments\0\0", 10)));
}

TEST(VersionBlock, ValuesByKeyWithoutRegardToCase) {
    EXPECT_EQ(VersionBlockValue(Block, "fileversion"), "2.3.4.5");
    EXPECT_EQ(VersionBlockValue(Block, "COMPANYNAME"), "Acme");
    EXPECT_EQ(VersionBlockValue(Block, "Email"), "");
    EXPECT_EQ(VersionBlockValue(Block, "Acme"), "");  // a value is never taken for a key
    // Padding after the pairs and a cut-off last pair end the block quietly.
    EXPECT_EQ(VersionBlockValue(Block + QByteArray(16, '\0') + "Website\0x", "Website"), "");
    EXPECT_EQ(VersionBlockValue(QByteArray("Website\0www", 11), "Website"), "");
    EXPECT_EQ(VersionBlockValue(QByteArray(), "Website"), "");
}

TEST_F(VersionBlockFile, FindsTheSectionInEveryClassAndByteOrder) {
    for (bool is64 : {true, false}) {
        for (bool bigEndian : {false, true}) {
            const TElfImage e = MakeElf(is64, bigEndian, KvVersionSectionName, Block);
            EXPECT_EQ(ReadElfSection(Write(e.Bytes), KvVersionSectionName), Block)
                << "64 bit " << is64 << ", big endian " << bigEndian;
        }
    }
}

TEST_F(VersionBlockFile, FilesWithoutTheSectionGiveNothing) {
    EXPECT_TRUE(ReadElfSection(Write(MakeElf(true, false, ".data", Block).Bytes), KvVersionSectionName).isEmpty());
    // A name that only begins like ours is another section.
    EXPECT_TRUE(ReadElfSection(Write(MakeElf(true, false, ".kvverinfo2", Block).Bytes), KvVersionSectionName).isEmpty());
    EXPECT_TRUE(ReadElfSection(Write("#!/bin/sh\necho hello\n"), KvVersionSectionName).isEmpty());
    EXPECT_TRUE(ReadElfSection(Write(QByteArray()), KvVersionSectionName).isEmpty());
    EXPECT_TRUE(ReadElfSection(FDir.filePath("missing"), KvVersionSectionName).isEmpty());
    EXPECT_TRUE(ReadElfSection(FDir.path(), KvVersionSectionName).isEmpty());  // a folder
}

TEST_F(VersionBlockFile, DamagedHeadersAreRejectedNotFollowed) {
    const std::pair<const char*, std::function<void(TElfImage&)>> damages[] = {
        {"data offset far outside", [](TElfImage& e) { e.Put(e.DataHeader + 0x18, 0xfffffffffffffff0ull, 8); }},
        {"size past the end",
         [](TElfImage& e) { e.Put(e.DataHeader + 0x20, static_cast<quint64>(e.Bytes.size()), 8); }},
        {"section table far outside", [](TElfImage& e) { e.Put(e.HeaderShoff, 0xffffffffffffff00ull, 8); }},
        {"name table index beyond the table", [](TElfImage& e) { e.Put(e.HeaderShstrndx, 7, 2); }},
        {"section name outside the name table", [](TElfImage& e) { e.Put(e.DataHeader, 0x7fffffff, 4); }},
        {"last section header cut off", [](TElfImage& e) { e.Bytes.chop(10); }},
        {"SHT_NOBITS: no bytes in the file", [](TElfImage& e) { e.Put(e.DataHeader + 4, 8, 4); }},
    };
    for (const auto& [what, damage] : damages) {
        TElfImage e = MakeElf(true, false, KvVersionSectionName, Block);
        damage(e);
        EXPECT_TRUE(ReadElfSection(Write(e.Bytes), KvVersionSectionName).isEmpty()) << what;
    }
}
