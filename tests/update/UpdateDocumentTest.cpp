// The update dialog's parts without windows: the text buffer, the document, versions, names
// and line breaks; the check of a downloaded file (faulty downloads: UpdateDialogTest).
#include "update/UpdateDocument.h"

#include "UpdateFixtures.h"
#include "support/FileHelpers.h"
#include "support/QtPrinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(UpdateTextBuffer, KeepsChunksUntilTheFirstThatDoesNotFit) {
    TUpdateTextBuffer b;
    const std::string big(UpdateTextBufferSize - 2, 'a');
    b.Add(big.data(), int(big.size()));
    b.Add("b", 1);  // 65,534 characters: the most that fits with the NUL
    EXPECT_FALSE(b.Overflowed());
    EXPECT_EQ(b.Text().size(), std::size_t(UpdateTextBufferSize - 1));
    b.Add("c", 1);  // no room left
    EXPECT_TRUE(b.Overflowed());
    EXPECT_EQ(b.Text().back(), 'b');

    b.Clear();
    b.Add("key=1\n", 6);
    const std::string tooBig(UpdateTextBufferSize, 'x');
    b.Add(tooBig.data(), int(tooBig.size()));
    b.Add("more", 4);  // would fit, but after a dropped chunk it would leave a hole
    EXPECT_TRUE(b.Overflowed());
    EXPECT_EQ(b.Text(), "key=1\n");

    b.Clear();
    b.Add("ab\0cd", 5);
    EXPECT_EQ(b.Text(), "ab");
    EXPECT_FALSE(b.Overflowed());
}

TEST(UpdateDocument, KeysIgnoreCaseAndLinesEndAnyWay) {
    TUpdateDocument d;
    d.Load(QStringLiteral("VERSION=2.0.0.1\r\nname=Kavelo\rHomepage=http://x/a=b\nDate=2026-01-02\n\r"
                          "no pair here\nName=second\n=empty key"));
    EXPECT_EQ(d.Value(QStringLiteral("Version")), QStringLiteral("2.0.0.1"));
    EXPECT_EQ(d.Value(QStringLiteral("Name")), QStringLiteral("Kavelo"));  // the first one counts
    EXPECT_EQ(d.Value(QStringLiteral("homepage")), QStringLiteral("http://x/a=b"));
    EXPECT_EQ(d.Value(QStringLiteral("Date")), QStringLiteral("2026-01-02"));
    EXPECT_EQ(d.Value(QStringLiteral("Install")), QString());
    EXPECT_EQ(d.Value(QString()), QStringLiteral("empty key"));
    EXPECT_EQ(WebTextToQString("Caf\xc3\xa9"), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(WebTextToQString("Caf\xe9"), QStringLiteral("Caf\u00e9"));  // Windows-1252
}

TEST(UpdateVersion, ComparesTheFourPartsAsATuple) {
    const struct {
        const char* Offered;
        const char* Current;
        bool Newer;
    } cases[] = {
        {"1.0.0.1", "1.0.0.0", true},
        {"1.0.0.0", "1.0.0.0", false},
        {"0.9.9.9", "1.0.0.0", false},
        {"1.0.256.0", "1.0.255.9", true},   // a part above 255 does not spill into the next
        {"1.1.0.0", "1.0.300.0", true},
        {"200.0.0.0", "127.0.0.0", true},   // a first part of 128 or more still compares
        {"4294967295.0.0.0", "1.0.0.0", true},
        {"4294967296.0.0.0", "1.0.0.0", false},  // no number: 0
        {"", "1.0.0.0", false},             // missing Version counts as 0
        {"2.0.0", "1.0.0.0", false},        // a part missing
        {"2.0.0.0.0", "1.0.0.0", false},
        {"2.x.0.0", "1.0.0.0", false},
        {"2.-1.0.0", "1.0.0.0", false},
        {" 2.0.0.0 ", "1.0.0.0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Offered);
        EXPECT_EQ(IsNewerVersion(QString::fromLatin1(c.Offered), QString::fromLatin1(c.Current)), c.Newer);
    }
    EXPECT_EQ(VersionStrToParts(QStringLiteral("1.2.300.4")), (TVersionParts{1, 2, 300, 4}));
}

TEST(UpdateNames, FileNamesFromAddresses) {
    const struct {
        const char* Address;
        const char* Url;
        const char* Download;
    } cases[] = {
        {"http://h/dl/kvwt", "kvwt", "kvwt"},
        {"http://h/dl/kvwt?x=1/y", "y", "kvwt"},
        {"http://h/dl/setup.run#part/2", "2", "setup.run"},
        {"http://h/dl/", "", ""},
        {"http://h/dl/.", ".", ""},
        {"http://h/dl/..?a", "..?a", ""},
        {"http://h/dl/?name=kvwt", "?name=kvwt", ""},
        {"kvwt", "kvwt", "kvwt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Address);
        EXPECT_EQ(UrlFileName(QString::fromLatin1(c.Address)), QString::fromLatin1(c.Url));
        EXPECT_EQ(DownloadFileName(QString::fromLatin1(c.Address)), QString::fromLatin1(c.Download));
    }
}

TEST(UpdateText, EveryLineEndBecomesOneCrLf) {
    EXPECT_EQ(UnifyLineBreaks(QStringLiteral("a\r\nb\n\rc\rd\ne\r\n\r\nf\n\ng")),
              QStringLiteral("a\r\nb\r\nc\r\nd\r\ne\r\n\r\nf\r\n\r\ng"));
    EXPECT_EQ(UnifyLineBreaks(QStringLiteral("\r\r\n")), QStringLiteral("\r\n\r\n"));
}

// What the dialog cannot be made to meet: facts that disagree with the file, installers.
TEST(UpdateDownload, OnlyAWholeCheckedFileMayBeUsed) {
    QTemporaryDir dir;
    const QString reference = dir.filePath(QStringLiteral("kvwt"));
    const QString file = dir.filePath(QStringLiteral("kvwt.$$$"));
    ASSERT_TRUE(WriteProgram(reference, FakeProgram(OldTag)));
    const QByteArray good = FakeProgram(NewTag);
    const qint64 n = good.size();
    const QString sha = Sha256Hex(good);
    const TDownloadFacts ok{200, 0, true, n, n};
    const struct {
        const char* Name;
        TDownloadFacts Facts;
        QByteArray Bytes;
        qint64 Announced;
        QString Sha;
        bool Program;
        const char* Why;  // "" when the file may be used
    } cases[] = {
        {"good program", ok, good, n, sha, true, ""},
        {"installer without hash", ok, good, n, QString(), false, ""},
        {"no length given", {200, 0, true, -1, n}, good, n, sha, true, "bytes came"},
        {"file shorter than counted", ok, good.left(n - 1), n, sha, true, "bytes came"},
        {"wrong hash of an installer", ok, good, n, Sha256Hex("other"), false, "does not match"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(WriteAllBytes(file, c.Bytes));
        const QString why = CheckDownload(c.Facts, c.Announced, file, c.Sha, c.Program ? reference : QString());
        if (*c.Why)
            EXPECT_TRUE(why.contains(QString::fromLatin1(c.Why))) << why.toStdString();
        else
            EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    }
}

}  // namespace
