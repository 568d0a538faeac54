// Utility services: guarded arithmetic, version numbers and the version block, text helpers,
// command-line switches, waiting and the platform helpers.
#include "foundation/core/AppUtils.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

TEST(SafeDivide, ZeroAndTinyDivisors) {
    EXPECT_EQ(SafeDivide(5, 0), 0.0f);
    EXPECT_EQ(SafeDivide(5, -0.0f), 0.0f);
    EXPECT_FLOAT_EQ(SafeDivide(1, 5e-10f), 1e9f);
    EXPECT_FLOAT_EQ(SafeDivide(1, -5e-10f), -1e9f);
    EXPECT_FLOAT_EQ(SafeDivide(3, 1e-30f), 3e9f);  // kept 1e-9 away from zero
    EXPECT_FLOAT_EQ(SafeDivide(6, 3), 2.0f);
    EXPECT_FLOAT_EQ(SafeDivide(-7, 2), -3.5f);
}

TEST(SafeDivide, NonFiniteResultsGiveZero) {
    const float big = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(SafeDivide(big, 1e-3f), 0.0f);  // overflows a Single
    EXPECT_EQ(SafeDivide(big, 1e-10f), 0.0f);
    EXPECT_EQ(SafeDivide(inf, 2), 0.0f);
    EXPECT_EQ(SafeDivide(nan, 2), 0.0f);
    EXPECT_EQ(SafeDivide(2, nan), 0.0f);
    EXPECT_EQ(SafeDivide(2, inf), 0.0f);  // finite: 2 / inf is 0 anyway
    EXPECT_FLOAT_EQ(SafeDivide(big, 2), big / 2);
}

TEST(FloatToWord, ClampsAndRoundsTiesToEven) {
    EXPECT_EQ(FloatToWord(std::nan("")), 0);
    EXPECT_EQ(FloatToWord(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(FloatToWord(std::numeric_limits<double>::infinity()), 65535);
    EXPECT_EQ(FloatToWord(-0.4), 0);
    EXPECT_EQ(FloatToWord(-1e300), 0);
    EXPECT_EQ(FloatToWord(65535.0), 65535);
    EXPECT_EQ(FloatToWord(65535.4), 65535);
    EXPECT_EQ(FloatToWord(1e12), 65535);
    EXPECT_EQ(FloatToWord(2.5), 2);
    EXPECT_EQ(FloatToWord(3.5), 4);
    EXPECT_EQ(FloatToWord(0.5), 0);
    EXPECT_EQ(FloatToWord(65534.5), 65534);
    EXPECT_EQ(FloatToWord(1234.6), 1235);
}

TEST(Ranges, EnsureRangeAndInRange) {
    EXPECT_EQ(EnsureRangeInt(5, 10, 1), 10);  // Min wins when the range is empty
    EXPECT_EQ(EnsureRangeInt(-3, 0, 9), 0);
    EXPECT_EQ(EnsureRangeInt(12, 0, 9), 9);
    EXPECT_EQ(EnsureRangeInt(4, 0, 9), 4);
    EXPECT_TRUE(InRangeSingle(1.0f, 1.0f, 2.0f));
    EXPECT_FALSE(InRangeSingle(2.0f, 1.0f, 2.0f));
    EXPECT_FALSE(InRangeSingle(std::nanf(""), 1.0f, 2.0f));
}

TEST(Versions, PackingBothWays) {
    EXPECT_EQ(VersionStrToInt("1.0.10.5"), 0x01000A05u);
    EXPECT_EQ(VersionStrToInt("2.3.4.5"), 0x02030405u);
    EXPECT_EQ(VersionStrToInt("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(VersionStrToInt("0.8.5.0"), 0x00080500u);
    EXPECT_EQ(VersionStrToInt("01.2.3.0004"), 0x01020304u);
    EXPECT_EQ(VersionIntToStr(0x02030405), "2.3.4.5");
    EXPECT_EQ(VersionIntToStr(0xFFFEFDFC), "255.254.253.252");
    for (const char* text : {"0.0.0.0", "1.2.3.4", "200.0.99.255"})
        EXPECT_EQ(VersionIntToStr(VersionStrToInt(text)), text);
}

TEST(Versions, InvalidTextsGiveZero) {
    for (const char* text : {"1.2.3", "", "1..3.4", "1.2.3.", ".1.2.3", "1.2.3.4.5", "a.b.c.d", "256.0.0.0",
                             "1.2.3.256", "-1.0.0.0", "+1.0.0.0", "1.2.3.4 ", "1.2.3.0x4", "1.2.3.99999999999"})
        EXPECT_EQ(VersionStrToInt(text), 0u) << text;
}

TEST(Versions, HighVersionsCompareAboveLowOnes) {
    // Packed as unsigned: 200.x is not a negative number below 0.8.5.0.
    EXPECT_GT(VersionStrToInt("200.0.0.0"), VersionStrToInt("0.8.5.0"));
    EXPECT_GT(VersionStrToInt("128.0.0.0"), VersionStrToInt("127.255.255.255"));
}

TEST(VerInfo, OwnProgramCarriesTheVersionBlock) {
    const TVerInfo info;
    EXPECT_TRUE(info.HasData());
    EXPECT_TRUE(info.Filename().endsWith("kv_foundation_tests"));
    EXPECT_EQ(info.Value("OriginalFilename"), "kvwt");
    EXPECT_EQ(GetCompanyName(), "Kavelo");
    EXPECT_EQ(GetProductName(), "Kavelo Training");
    EXPECT_EQ(GetFileDescription(), "Rowing ergometer training");
    EXPECT_EQ(GetFileVersion(), "1.0.0.0");
    EXPECT_EQ(GetFileVersionDigits(), "1000");
    EXPECT_EQ(GetFileVersionInt(), 0x01000000u);
    EXPECT_GE(GetFileVersionInt(), VersionStrToInt("0.8.5.0"));
    EXPECT_EQ(GetProductTitle(), "Kavelo Training 1.0.0.0");
    EXPECT_EQ(GetDescriptionTitle(), "Rowing ergometer training 1.0.0.0");
    EXPECT_EQ(GetVersionInfoValue("Website"), "");
    EXPECT_EQ(GetVersionInfoValue("NoSuchKey"), "");
    // Website and Email are empty, so they stay out.
    EXPECT_EQ(AboutBoxText(""), "Kavelo Training 1.0.0.0\n\nCopyright (C) 2026 Kavelo");
    EXPECT_EQ(AboutBoxText("Extra"), "Kavelo Training 1.0.0.0\n\nCopyright (C) 2026 Kavelo\n\nExtra");
    EXPECT_EQ(GetManualFileName("Manual"), GetProgramFolder() + "Manual1000.pdf");
}

TEST(VerInfo, FileWithoutBlockGivesEmptyValuesAndVersionZero) {
    QTemporaryDir dir;
    const QString name = dir.filePath("plain.txt");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no version here\n");
    f.close();
    TVerInfo info(name);
    EXPECT_FALSE(info.HasData());
    EXPECT_EQ(info.Value("CompanyName"), "");
    EXPECT_EQ(VersionStrToInt(info.Value("FileVersion")), 0u);
    // Switching to the program file loads its block; switching back drops it.
    info.SetFilename(TVerInfo().Filename());
    EXPECT_EQ(info.Value("CompanyName"), "Kavelo");
    info.SetFilename(dir.filePath("missing"));
    EXPECT_FALSE(info.HasData());
    EXPECT_EQ(info.Value("CompanyName"), "");
}

TEST(Text, FlattenLineBreaks) {
    EXPECT_EQ(FlattenLineBreaks(" a\r\nb "), "a; b");
    EXPECT_EQ(FlattenLineBreaks("a\n\rb"), "a; b");
    EXPECT_EQ(FlattenLineBreaks("a\r\n\r\nb"), "a; ; b");
    EXPECT_EQ(FlattenLineBreaks("a\n\n\rb\rc"), "a; ; b; c");
    EXPECT_EQ(FlattenLineBreaks("\t\r\n x \x01"), "x");
    EXPECT_EQ(FlattenLineBreaks(""), "");
}

TEST(Text, FileCharsSeparatorsAndHex) {
    EXPECT_EQ(RemoveInvalidFileChars("a*b.c/d:e<f>g?h\\i|j k"), "abcdefghij k");
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(AddBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(HexToInt("1A"), 26);
    EXPECT_EQ(HexToInt("ff"), 255);
    EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(ReverseBits(0x01), 0x80);
    EXPECT_EQ(ReverseBits(0xB4), 0x2D);
    EXPECT_EQ(ReverseBits(0xFF), 0xFF);
}

TEST(Text, StrToIntDigitsKeepsDigitsAndThrowsOnBadItems) {
    EXPECT_EQ(StrToIntDigits("120 px"), 120);
    EXPECT_EQ(StrToIntDigits(" -45"), -45);
    EXPECT_EQ(StrToIntDigits("1a2b3"), 123);
    // Only the first 255 characters count.
    EXPECT_EQ(StrToIntDigits(QString(254, 'x') + "78"), 7);
    for (const char* bad : {"", "abc", "-", "1-2", "99999999999"})
        EXPECT_THROW(StrToIntDigits(bad), std::invalid_argument) << bad;
}

TEST(Text, StrToFloatAnySep) {
    EXPECT_DOUBLE_EQ(StrToFloatAnySep("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatAnySep("-2.25"), -2.25);
    EXPECT_DOUBLE_EQ(StrToFloatAnySep(" 3 "), 3.0);
    for (const char* bad : {"", "x", "1.2.3", "nan", "inf", "1e999"})
        EXPECT_THROW(StrToFloatAnySep(bad), std::invalid_argument) << bad;
}

TEST(CmdLine, WholeSwitchNamesWithEitherPrefix) {
    EXPECT_TRUE(HasCmdLineSwitch("X", {"-X"}));
    EXPECT_TRUE(HasCmdLineSwitch("X", {"file.stg", "/x"}));
    EXPECT_TRUE(HasCmdLineSwitch("X+", {"-x+"}));
    EXPECT_FALSE(HasCmdLineSwitch("X", {"-XD"}));
    EXPECT_FALSE(HasCmdLineSwitch("XD", {"-X"}));
    EXPECT_FALSE(HasCmdLineSwitch("X", {"X"}));
    EXPECT_FALSE(HasCmdLineSwitch("X", {"--X"}));
    EXPECT_FALSE(HasCmdLineSwitch("home", {"/home/rower/x.stg"}));
    EXPECT_FALSE(HasCmdLineSwitch("X", {"/x/training.stg"}));
    EXPECT_FALSE(HasCmdLineSwitch("", {"-"}));
    EXPECT_FALSE(HasCmdLineSwitch("X", {}));
}

TEST(Delay, KeepsEventsFlowing) {
    int calls = 0;
    QTimer::singleShot(0, [&] { ++calls; });
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { ++calls; }, Qt::QueuedConnection);
    Delay(0);  // a zero wait still handles what is pending
    EXPECT_EQ(calls, 2);

    // A wait inside a timer event inside a wait: both return.
    bool inner = false;
    QTimer::singleShot(1, [&] {
        Delay(5);
        inner = true;
    });
    Delay(20);
    EXPECT_TRUE(inner);
}

TEST(Platform, GuidsAreRandomVersion4) {
    const TGUID a = NewGuid();
    const TGUID b = NewGuid();
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.D3 >> 12, 4);
    EXPECT_EQ(a.D4[0] & 0xC0, 0x80);  // the RFC 4122 variant
}

TEST(Platform, RaiseLastOSErrorCarriesErrno) {
    errno = ENOENT;
    try {
        RaiseLastOSErrorProc();
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT);
        return;
    }
    FAIL() << "no exception";
}

TEST(Platform, ThisProgramIsAmongTheRunningProcesses) {
    QStringList list;
    GetProcessList(list);
    EXPECT_TRUE(list.contains(TVerInfo().Filename()));
    EXPECT_TRUE(IsProcessRunning("KV_FOUNDATION_TESTS", false));
    EXPECT_TRUE(IsProcessRunning(TVerInfo().Filename(), true));
    EXPECT_FALSE(IsProcessRunning("kv_foundation_tests", true));
    EXPECT_TRUE(IsWinNT());
}

TEST(Trace, LinesFromManyThreadsStayWhole) {
    ::testing::internal::CaptureStderr();
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                DebugTrace(QStringLiteral("worker %1 line %2 end").arg(t).arg(i));
        });
    for (std::thread& w : workers)
        w.join();
    const QString out = QString::fromStdString(::testing::internal::GetCapturedStderr());
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 200);
    const QRegularExpression shape(QStringLiteral("^\\S.* worker \\d line \\d+ end$"));
    for (const QString& line : lines)
        EXPECT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    EXPECT_FALSE(NowTimeStr().isEmpty());
}
