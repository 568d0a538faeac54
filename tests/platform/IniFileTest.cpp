#include "platform/IniFiles.h"

#include "support/FileHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>
#include <memory>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name = QStringLiteral("kvwt.ini")) const { return FDir.filePath(name); }

    static void Put(const QString& path, const QByteArray& bytes) { ASSERT_TRUE(WriteAllBytes(path, bytes)); }
    static QByteArray Get(const QString& path) { return QFile::exists(path) ? ReadAllBytes(path) : "<missing>"; }
    // Writes the file through a fresh object and gives back its bytes.
    QByteArray Rewrite(const QByteArray& input, const std::function<void(TIniFile&)>& change) {
        Put(Path(), input);
        TIniFile ini(Path());
        change(ini);
        EXPECT_TRUE(ini.UpdateFile());
        return Get(Path());
    }

    QTemporaryDir FDir;
};

TEST_F(IniFileTest, ValuesRoundTripAsTheyStand) {
    {
        TIniFile ini(Path());
        ini.WriteString("General", "List", "a, b = c  d");
        ini.WriteString("General", "Padded", "  inner  blanks  ");
        ini.WriteString("General", "Empty", "");
        ini.WriteString("Toolbars", "Main", "0 25 1");
        ini.WriteString("General", "Broken", "one\r\ntwo");
        EXPECT_TRUE(ini.UpdateFile());
    }
    EXPECT_EQ(Get(Path()), "[General]\nList=a, b = c  d\nPadded=inner  blanks\nEmpty=\nBroken=one  two\n"
                           "[Toolbars]\nMain=0 25 1\n");
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadString("General", "List", "x"), "a, b = c  d");
    EXPECT_EQ(ini.ReadString("general", "PADDED", "x"), "inner  blanks");
    EXPECT_EQ(ini.ReadString("General", "Empty", "x"), "");
    EXPECT_TRUE(ini.ValueExists("General", "Empty"));
    EXPECT_EQ(ini.ReadString("General", "Missing", "x"), "x");
    EXPECT_EQ(ini.ReadString("Other", "List", "x"), "x");
    QStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, QStringList({"General", "Toolbars"}));
}

TEST_F(IniFileTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    TIniFile ini(Path());
    ini.WriteInteger("View", "Width", 3);
    ini.WriteInteger("VIEW", "width", 4);
    ini.WriteInteger("view", "WIDTH", 5);
    EXPECT_TRUE(ini.SectionExists("vIeW"));
    EXPECT_TRUE(ini.ValueExists("View", "wIdTh"));
    EXPECT_FALSE(ini.ValueExists("View", "Height"));
    EXPECT_FALSE(ini.SectionExists("Row"));
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(Get(Path()), "[View]\nWidth=5\n");
}

TEST_F(IniFileTest, BooleansWrittenAsDigitsReadInEveryForm) {
    Put(Path(), "[B]\na=1\nb=0\nc=true\nd= FALSE \ne=TrUe\nf=5\ng=-1\nh=yes\ni=\nj=0x10\n");
    TIniFile ini(Path());
    // Key, value with default false, with default true: text that is no boolean gives the default.
    const std::tuple<const char*, bool, bool> cases[] = {
        {"a", true, true},  {"b", false, false}, {"c", true, true}, {"d", false, false}, {"e", true, true},
        {"f", true, true},  {"g", true, true},   {"h", false, true}, {"i", false, true}, {"j", true, true},
        {"none", false, true}};
    for (auto [key, withFalse, withTrue] : cases) {
        EXPECT_EQ(ini.ReadBool("B", key, false), withFalse) << key;
        EXPECT_EQ(ini.ReadBool("B", key, true), withTrue) << key;
    }
    ini.WriteBool("B", "a", false);
    ini.WriteBool("B", "x", true);
    EXPECT_EQ(ini.ReadString("B", "a", ""), "0");
    EXPECT_EQ(ini.ReadString("B", "x", ""), "1");
}

TEST_F(IniFileTest, IntegersDecimalAndHexBadTextGivesDefault) {
    Put(Path(), "[I]\na=42\nb= -7 \nc=0x1F\nd=$ff\ne=$FFFFFFFF\nf=2147483647\ng=-2147483648\n"
                "h=2147483648\ni=12abc\nj=\nk=0x\nl=1.5\nm=$100000000\nn=+8\no=--3\n");
    TIniFile ini(Path());
    for (auto [key, value] : {std::pair{"a", 42}, {"b", -7}, {"c", 31}, {"d", 255}, {"e", -1}, {"f", 2147483647},
                              {"g", -2147483647 - 1}, {"n", 8}})
        EXPECT_EQ(ini.ReadInteger("I", key, 0), value) << key;
    for (const char* bad : {"h", "i", "j", "k", "l", "m", "o", "none"})
        EXPECT_EQ(ini.ReadInteger("I", bad, -99), -99) << bad;
    ini.WriteInteger("I", "a", -2147483647 - 1);
    EXPECT_EQ(ini.ReadString("I", "a", ""), "-2147483648");
}

TEST_F(IniFileTest, FloatsWrittenShortestWithPointReadWithPointOrComma) {
    TIniFile ini(Path());
    const std::pair<double, const char*> written[] = {
        {0.1, "0.1"},    {100000.0, "100000"}, {-2.5, "-2.5"}, {0.0, "0"}, {1.0 / 3.0, "0.3333333333333333"},
        {1e-7, "1e-07"}, {2.5e20, "2.5e+20"}};
    for (const auto& [value, text] : written) {
        ini.WriteFloat("F", "v", value);
        EXPECT_EQ(ini.ReadString("F", "v", ""), text);
        EXPECT_EQ(ini.ReadFloat("F", "v", 99.0), value) << text;
    }
    const std::pair<const char*, double> read[] = {
        {"3,25", 3.25},  {" 1.5e3 ", 1500.0}, {"-0,5", -0.5},  {"+2", 2.0},   {"7", 7.0},
        {"abc", 99.0},   {"1.2.3", 99.0},     {"1,5,0", 99.0}, {"nan", 99.0}, {"inf", 99.0},
        {"1e999", 99.0}, {"", 99.0},          {"2 3", 99.0}};
    for (const auto& [text, value] : read) {
        ini.WriteString("F", "r", text);
        EXPECT_EQ(ini.ReadFloat("F", "r", 99.0), value) << text;
    }
}

TEST_F(IniFileTest, FileLayoutKeptOnRewrite) {
    const QByteArray input = "\xEF\xBB\xBF; settings\r\n"
                             "[Row]\r\n"
                             "; layout of the row window\r\n"
                             "Left = 10\r\n"
                             "free text line\r\n"
                             "Top=20\r\n"
                             "\r\n"
                             "[ View ]\r\n"
                             "Menu=1\r\n";
    const QByteArray output = Rewrite(input, [](TIniFile& ini) {
        EXPECT_EQ(ini.ReadInteger("Row", "Left", 0), 10);
        EXPECT_EQ(ini.ReadInteger("view", "Menu", 0), 1);
        QStringList keys;
        ini.ReadSection("Row", keys);
        EXPECT_EQ(keys, QStringList({"Left", "Top"}));
        ini.ReadSectionValues("Row", keys);
        EXPECT_EQ(keys, QStringList({"Left=10", "free text line", "Top=20"}));
        EXPECT_FALSE(ini.ValueExists("Row", "free text line"));
        ini.WriteInteger("Row", "Top", 21);
        ini.WriteInteger("Row", "Width", 300);
    });
    EXPECT_EQ(output, "; settings\n"
                      "[Row]\n"
                      "; layout of the row window\n"
                      "Left = 10\n"
                      "free text line\n"
                      "Top=21\n"
                      "Width=300\n"
                      "\n"
                      "[ View ]\n"
                      "Menu=1\n");
}

TEST_F(IniFileTest, KeyOrderKeptAndDuplicatesResolvedAsTheFirst) {
    const QByteArray output =
        Rewrite("[A]\nz=1\ny=2\nx=3\nY=4\n[B]\nk=1\n[a]\nw=5\nx=6\n", [](TIniFile& ini) {
            EXPECT_EQ(ini.ReadInteger("A", "y", 0), 2);
            EXPECT_EQ(ini.ReadInteger("A", "x", 0), 3);
            EXPECT_EQ(ini.ReadInteger("A", "w", 0), 5);
            QStringList sections;
            ini.ReadSections(sections);
            EXPECT_EQ(sections, QStringList({"A", "B"}));
            ini.WriteInteger("A", "y", 7);
            ini.WriteInteger("A", "a", 8);
        });
    EXPECT_EQ(output, "[A]\nz=1\ny=7\nx=3\nY=4\nw=5\nx=6\na=8\n[B]\nk=1\n");
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey) {
    const QByteArray output = Rewrite("[A]\na=1\nb=2\nB=3\nc=4\n[B]\nx=1\n[C]\ny=2\n", [](TIniFile& ini) {
        ini.DeleteKey("a", "b");
        ini.DeleteKey("A", "missing");
        ini.DeleteKey("Missing", "a");
        ini.EraseSection("b");
        ini.EraseSection("Missing");
        EXPECT_FALSE(ini.ValueExists("A", "b"));
        EXPECT_FALSE(ini.SectionExists("B"));
        EXPECT_EQ(ini.ReadInteger("C", "y", 0), 2);
        ini.WriteInteger("B", "x", 9); // comes back at the end, as a new section
    });
    EXPECT_EQ(output, "[A]\na=1\nc=4\n[C]\ny=2\n[B]\nx=9\n");
}

TEST_F(IniFileTest, Windows1252LinesReadUtf8Written) {
    const QByteArray output =
        Rewrite("[Name]\nItem0=M\xfcller \x80 5\nItem1=Z\xc3\xbcrich\n", [](TIniFile& ini) {
            EXPECT_EQ(ini.ReadString("Name", "Item0", ""), QString::fromUtf8("M\u00fcller \u20ac 5"));
            EXPECT_EQ(ini.ReadString("Name", "Item1", ""), QString::fromUtf8("Z\u00fcrich"));
            ini.WriteString("Name", "Item2", QString::fromUtf8("\u00e9t\u00e9"));
        });
    EXPECT_EQ(output,
              "[Name]\nItem0=M\xc3\xbcller \xe2\x82\xac 5\nItem1=Z\xc3\xbcrich\nItem2=\xc3\xa9t\xc3\xa9\n");
}

TEST_F(IniFileTest, ObjectsOnOneFileShareOneCopy) {
    auto row = std::make_unique<TIniFile>(Path());
    auto view = std::make_unique<TIniFile>(FDir.path() + "/./kvwt.ini");
    row->WriteInteger("Row", "Left", 1);
    view->WriteInteger("View", "Menu", 0);
    EXPECT_EQ(view->ReadInteger("Row", "Left", -1), 1);
    row.reset(); // not the last object: nothing written yet
    EXPECT_EQ(Get(Path()), "<missing>");
    view.reset(); // the last one saves
    EXPECT_EQ(Get(Path()), "[Row]\nLeft=1\n[View]\nMenu=0\n");

    // A window that rewrites its own section keeps the other's.
    TIniFile a(Path());
    TIniFile b(Path());
    a.EraseSection("Row");
    a.WriteInteger("Row", "Left", 2);
    ASSERT_TRUE(a.UpdateFile());
    b.WriteInteger("View", "Menu", 1);
    ASSERT_TRUE(b.UpdateFile());
    EXPECT_EQ(Get(Path()), "[View]\nMenu=1\n[Row]\nLeft=2\n");
}

TEST_F(IniFileTest, ExternalChangeMergedBeforeWriting) {
    Put(Path(), "[Mine]\na=1\nb=2\n[Theirs]\nx=1\n");
    TIniFile ini(Path());
    ini.WriteInteger("Mine", "a", 10);
    ini.WriteInteger("Mine", "c", 30);
    ini.DeleteKey("Theirs", "x");
    // Another program rewrote the file meanwhile (other size, other inode).
    ASSERT_TRUE(QFile::remove(Path()));
    Put(Path(), "[Mine]\na=5\nb=6\nd=7\n[Theirs]\nx=1\ny=2\n[New]\nn=1\n");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(Get(Path()), "[Mine]\na=10\nb=6\nd=7\nc=30\n[Theirs]\ny=2\n[New]\nn=1\n");
    EXPECT_EQ(ini.ReadInteger("New", "n", 0), 1);

    // An object opened later sees a change made on disk since.
    Put(Path(), "[Mine]\na=11\n");
    TIniFile later(Path());
    EXPECT_EQ(ini.ReadInteger("Mine", "a", 0), 11);
}

// Rewritten in place with the same size and the old modification time (cp -p, touch -r) while
// an object holds the file: the next object reads what the file now says.
TEST_F(IniFileTest, RewriteInPlaceKeepingSizeAndTimeIsSeen) {
    Put(Path(), "[A]\na=1\n");
    TIniFile held(Path());
    ASSERT_EQ(held.ReadInteger("A", "a", 0), 1);
    const QByteArray native = QFile::encodeName(Path());
    struct stat before {};
    ASSERT_EQ(::stat(native.constData(), &before), 0);
    struct stat after {};
    // Only the change time tells; it moves with the system clock's tick, so the rewrite is
    // repeated until it has.
    for (int i = 0; i < 1000000; ++i) {
        Put(Path(), "[A]\na=2\n");
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
        ASSERT_EQ(::stat(native.constData(), &after), 0);
        if (after.st_ctim.tv_sec != before.st_ctim.tv_sec || after.st_ctim.tv_nsec != before.st_ctim.tv_nsec) break;
    }
    const auto same = [](const struct stat& st) {
        return std::vector<long long>{(long long)st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    };
    ASSERT_EQ(same(after), same(before));
    TIniFile next(Path());
    EXPECT_EQ(next.ReadInteger("A", "a", 0), 2);
    EXPECT_EQ(held.ReadInteger("A", "a", 0), 2); // one copy for both
}

TEST_F(IniFileTest, ManyChangesMergeAsTheirLastWord) {
    Put(Path(), "[Mine]\na=0\nb=1\n[Gone]\ng=1\n");
    TIniFile ini(Path());
    for (int i = 0; i < 300; ++i) {
        ini.WriteInteger("Mine", "a", i);
        ini.WriteInteger("Gone", QStringLiteral("k%1").arg(i % 3), i);
        if (i % 10 == 0) ini.EraseSection("gone"); // drops our earlier changes to it
    }
    ini.DeleteKey("MINE", "B");
    ASSERT_TRUE(QFile::remove(Path()));
    Put(Path(), "[Gone]\ng=2\nh=3\n[Mine]\nb=5\nc=6\n");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(Get(Path()), "[Mine]\nc=6\na=299\n[Gone]\nk0=297\nk1=298\nk2=299\n");
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsNotCreatedWithoutChanges) {
    TIniFile ini(Path());
    QStringList sections{"x"};
    ini.ReadSections(sections);
    EXPECT_TRUE(sections.isEmpty());
    EXPECT_EQ(ini.ReadInteger("A", "b", 5), 5);
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(IniFileTest, UnwritableFolderKeepsChangesInMemory) {
    Put(Path("plain"), "not a folder");
    const QString path = Path("plain") + "/kvwt.ini";
    TIniFile ini(path);
    ini.WriteString("General", "Key", "value");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ini.ReadString("General", "Key", ""), "value");
    TIniFile other(path);
    EXPECT_EQ(other.ReadString("General", "Key", ""), "value");
}

TEST_F(IniFileTest, ReadOnlyFileReadsButIsNotWritten) {
    const QByteArray input = "[General]\nKey=old\n";
    Put(Path(), input);
    ASSERT_TRUE(QFile::setPermissions(Path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadString("General", "Key", ""), "old");
    ini.WriteString("General", "Key", "new");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(Get(Path()), input);
    EXPECT_EQ(ini.ReadString("General", "Key", ""), "new");
    // Once writable again, the kept change is saved.
    ASSERT_TRUE(QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(Get(Path()), "[General]\nKey=new\n");
    EXPECT_EQ(QFile::permissions(Path()) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther),
              QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(IniFileTest, NamesTheFileCouldNotGiveBackAreNotWritten) {
    {
        TIniFile ini(Path());
        ini.WriteString("", "k", "v");
        ini.WriteString("S", "", "v");
        ini.WriteString("S", "a=b", "v");
        ini.WriteString("S", ";c", "v");
        ini.WriteString("S", "[d", "v");
        EXPECT_FALSE(ini.SectionExists("S"));
        // A section named after a path may hold brackets.
        ini.WriteInteger("/home/a/[old]/x.stg", "Left", 1);
    }
    EXPECT_EQ(Get(Path()), "[/home/a/[old]/x.stg]\nLeft=1\n");
    TIniFile again(Path());
    EXPECT_EQ(again.ReadInteger("/home/a/[old]/x.stg", "left", 0), 1);
}

TEST_F(IniFileTest, UpdateAllFilesSavesEveryLiveCopy) {
    TIniFile first(Path("one.ini"));
    TIniFile second(Path("two.ini"));
    first.WriteInteger("A", "a", 1);
    second.WriteInteger("B", "b", 2);
    EXPECT_TRUE(TIniFile::UpdateAllFiles());
    EXPECT_EQ(Get(Path("one.ini")), "[A]\na=1\n");
    EXPECT_EQ(Get(Path("two.ini")), "[B]\nb=2\n");
}

// A file opened again after its last object went away is parsed only when its content changed:
// our own saves are seen without a parse, anyone else's by one.
TEST_F(IniFileTest, AFileIsParsedAgainOnlyWhenItsContentChanged) {
    Put(Path(), "[A]\na=1\n\n[B]\nb=1\n");
    const auto open = [&](const std::function<void(TIniFile&)>& use) {
        TIniFile ini(Path());
        use(ini);
    };
    struct Step { const char* Name; std::function<void()> Action; int Parses; int A; };
    const int start = TIniFile::FilesParsed();
    for (const Step& step : std::initializer_list<Step>{
             {"first open", [&] { open([](TIniFile&) {}); }, 1, 1},
             {"opened again", [&] { open([](TIniFile&) {}); }, 1, 1},
             {"our own save", [&] { open([](TIniFile& ini) { ini.WriteInteger("A", "a", 2); }); }, 1, 2},
             {"changed in place, same size", [&] { Put(Path(), "[A]\na=3\n\n[B]\nb=1\n"); }, 2, 3},
             {"replaced", [&] {
                  Put(Path("new.ini"), "[A]\na=4\n");
                  ASSERT_EQ(::rename(QFile::encodeName(Path("new.ini")).constData(), QFile::encodeName(Path()).constData()), 0);
              }, 3, 4},
             {"a spaced save", [&] { open([](TIniFile& ini) { ini.SetSectionSpacing(true); ini.WriteInteger("C", "c", 1); }); }, 4, 4},
         }) {
        step.Action();
        TIniFile ini(Path());
        EXPECT_EQ(ini.ReadInteger("A", "a", 0), step.A) << step.Name;
        EXPECT_EQ(TIniFile::FilesParsed() - start, step.Parses) << step.Name;
    }
    EXPECT_EQ(Get(Path()), "[A]\na=4\n\n[C]\nc=1\n");
}

} // namespace

TEST_F(IniFileTest, SpacedSaveHasOneBlankLineBeforeEverySectionButTheFirst) {
    const QByteArray spaced = Rewrite("[A]\r\na=1\r\n\r\n\r\nb=2\n[B]\nx=1\n\n\n\n  [C]\n\n", [](TIniFile& ini) {
        ini.SetSectionSpacing(true);
        ini.WriteInteger("B", "y", 2);
        ini.WriteInteger("D", "z", 3);
    });
    EXPECT_EQ(spaced, "[A]\na=1\nb=2\n\n[B]\nx=1\ny=2\n\n  [C]\n\n[D]\nz=3\n");
    // A comment before the first section keeps its place and gets the blank line after it.
    EXPECT_EQ(Rewrite("; kvwt\n\n\n[A]\na=1\n", [](TIniFile& ini) {
                  ini.SetSectionSpacing(true);
                  ini.WriteInteger("A", "a", 2);
              }),
              "; kvwt\n\n[A]\na=2\n");
}

TEST_F(IniFileTest, FilesTheLayerWillNotWriteStayByteForByte) {
    // Too large, and not a regular file (a FIFO would hold a blocking open for ever).
    {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.write("[A]\r\n\r\nk=1\r\n") > 0);
        ASSERT_TRUE(f.resize(16 * 1024 * 1024 + 1));
    }
    const QByteArray before = Get(Path());
    {
        TIniFile ini(Path());
        EXPECT_FALSE(ini.SectionExists("A"));  // read as empty
        ini.SetSectionSpacing(true);
        ini.WriteInteger("B", "k", 2);
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_EQ(ini.ReadInteger("B", "k", 0), 2);  // kept in memory
    }
    EXPECT_TRUE(Get(Path()) == before);

    const QString fifo = Path(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TIniFile ini(fifo);  // returns at once: nobody writes to the FIFO
    EXPECT_FALSE(ini.SectionExists("A"));
    ini.WriteInteger("A", "k", 1);
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_FALSE(QFileInfo(fifo).isFile());
}
