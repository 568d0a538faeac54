// Utility services: guarded arithmetic, version numbers and the version block, text helpers,
// command-line switches, waiting and the platform helpers.
#include "foundation/core/AppUtils.h"

#include "support/FileHelpers.h"

#include <QCoreApplication>
#include <QRegularExpression>
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

TEST(Arithmetic, SafeDivideKeepsAwayFromZeroAndNonFiniteResults) {
    const float big = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::tuple<float, float, float> cases[] = {
        {5, 0, 0},          {5, -0.0f, 0}, {1, 5e-10f, 1e9f}, {1, -5e-10f, -1e9f},
        {3, 1e-30f, 3e9f},  // kept 1e-9 away from zero
        {-7, 2, -3.5f},     {big, 2, big / 2},
        {big, 1e-3f, 0},    // overflows a Single
        {inf, 2, 0},        {nan, 2, 0}, {2, nan, 0}, {2, inf, 0},
    };
    for (auto [a, b, q] : cases)
        EXPECT_FLOAT_EQ(SafeDivide(a, b), q) << a << " / " << b;
}

TEST(Arithmetic, FloatToWordClampsAndRoundsTiesToEven) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, int> cases[] = {{std::nan(""), 0}, {-inf, 0},     {inf, 65535},    {-0.4, 0},
                                            {-1e300, 0},       {65535.4, 65535}, {1e12, 65535}, {2.5, 2},
                                            {3.5, 4},          {0.5, 0},      {65534.5, 65534}, {1234.6, 1235}};
    for (auto [value, word] : cases)
        EXPECT_EQ(FloatToWord(value), word) << value;
    EXPECT_EQ(EnsureRangeInt(5, 10, 1), 10); // Min wins when the range is empty
    EXPECT_EQ(EnsureRangeInt(12, 0, 9), 9);
    EXPECT_TRUE(InRangeSingle(1.0f, 1.0f, 2.0f));
    EXPECT_FALSE(InRangeSingle(2.0f, 1.0f, 2.0f));
    EXPECT_FALSE(InRangeSingle(std::nanf(""), 1.0f, 2.0f));
}

TEST(Versions, PackingBothWaysAndInvalidTexts) {
    EXPECT_EQ(VersionStrToInt("1.0.10.5"), 0x01000A05u);
    EXPECT_EQ(VersionStrToInt("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(VersionStrToInt("01.2.3.0004"), 0x01020304u);
    EXPECT_EQ(VersionIntToStr(0xFFFEFDFC), "255.254.253.252");
    for (const char* text : {"0.0.0.0", "1.2.3.4", "200.0.99.255"})
        EXPECT_EQ(VersionIntToStr(VersionStrToInt(text)), text);
    // Packed as unsigned: 200.x is not a negative number below 0.8.5.0.
    EXPECT_GT(VersionStrToInt("200.0.0.0"), VersionStrToInt("0.8.5.0"));
    for (const char* text : {"1.2.3", "", "1..3.4", "1.2.3.", ".1.2.3", "1.2.3.4.5", "a.b.c.d", "256.0.0.0",
                             "1.2.3.256", "-1.0.0.0", "+1.0.0.0", "1.2.3.4 ", "1.2.3.0x4", "1.2.3.99999999999"})
        EXPECT_EQ(VersionStrToInt(text), 0u) << text;
}

TEST(VerInfo, OwnProgramCarriesTheVersionBlock) {
    const TVerInfo info;
    EXPECT_TRUE(info.HasData());
    EXPECT_TRUE(info.Filename().endsWith("kv_foundation_tests"));
    EXPECT_EQ(GetFileVersionDigits(), "1000");
    EXPECT_EQ(GetFileVersionInt(), 0x01000000u);
    EXPECT_EQ(GetProductTitle(), "Kavelo Training 1.0.0.0");
    EXPECT_EQ(GetDescriptionTitle(), "Rowing ergometer training 1.0.0.0");
    EXPECT_EQ(GetVersionInfoValue("NoSuchKey"), "");
    // Website and Email are empty, so they stay out.
    EXPECT_EQ(AboutBoxText(""), "Kavelo Training 1.0.0.0\n\nCopyright (C) 2026 Kavelo");
    EXPECT_EQ(AboutBoxText("Extra"), "Kavelo Training 1.0.0.0\n\nCopyright (C) 2026 Kavelo\n\nExtra");
    EXPECT_EQ(GetManualFileName("Manual"), GetProgramFolder() + "Manual1000.pdf");
}

TEST(VerInfo, FileWithoutBlockGivesEmptyValuesAndVersionZero) {
    QTemporaryDir dir;
    const QString name = dir.filePath("plain.txt");
    ASSERT_TRUE(WriteAllBytes(name, QByteArray("no version here\n")));
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

TEST(Text, FlattenLineBreaksFileCharsAndHex) {
    const std::pair<const char*, const char*> flat[] = {{" a\r\nb ", "a; b"},       {"a\n\rb", "a; b"},
                                                        {"a\r\n\r\nb", "a; ; b"},   {"a\n\n\rb\rc", "a; ; b; c"},
                                                        {"\t\r\n x \x01", "x"},     {"", ""}};
    for (auto [in, out] : flat)
        EXPECT_EQ(FlattenLineBreaks(in), out) << in;
    EXPECT_EQ(RemoveInvalidFileChars("a*b.c/d:e<f>g?h\\i|j k"), "abcdefghij k");
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(AddBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(HexToInt("ff"), 255);
    EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(ReverseBits(0xB4), 0x2D);
}

TEST(Text, NumbersFromTextThrowOnBadItems) {
    EXPECT_EQ(StrToIntDigits("120 px"), 120);
    EXPECT_EQ(StrToIntDigits(" -45"), -45);
    EXPECT_EQ(StrToIntDigits("1a2b3"), 123);
    EXPECT_EQ(StrToIntDigits(QString(254, 'x') + "78"), 7); // only the first 255 characters count
    for (const char* bad : {"", "abc", "-", "1-2", "99999999999"})
        EXPECT_THROW(StrToIntDigits(bad), std::invalid_argument) << bad;
    EXPECT_DOUBLE_EQ(StrToFloatAnySep("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatAnySep(" -2.25 "), -2.25);
    for (const char* bad : {"", "x", "1.2.3", "nan", "inf", "1e999"})
        EXPECT_THROW(StrToFloatAnySep(bad), std::invalid_argument) << bad;
}

TEST(CmdLine, WholeSwitchNamesWithEitherPrefix) {
    struct Case {
        const char* Name;
        QStringList Args;
        bool Found;
    };
    const Case cases[] = {{"X", {"-X"}, true},          {"X", {"file.stg", "/x"}, true},
                          {"X+", {"-x+"}, true},        {"X", {"-XD"}, false},
                          {"XD", {"-X"}, false},        {"X", {"X"}, false},
                          {"X", {"--X"}, false},        {"home", {"/home/rower/x.stg"}, false},
                          {"X", {"/x/training.stg"}, false}, {"", {"-"}, false},
                          {"X", {}, false}};
    for (const Case& c : cases)
        EXPECT_EQ(HasCmdLineSwitch(c.Name, c.Args), c.Found) << c.Name << " in " << c.Args.join(' ').toStdString();
}

TEST(Delay, KeepsEventsFlowing) {
    QObject context;  // what a broken wait leaves undone goes with the test
    int calls = 0;
    QTimer::singleShot(0, &context, [&] { ++calls; });
    QMetaObject::invokeMethod(&context, [&] { ++calls; }, Qt::QueuedConnection);
    Delay(0); // a zero wait still handles what is pending
    EXPECT_EQ(calls, 2);

    // A wait inside a timer event inside a wait: both return.
    bool inner = false;
    QTimer::singleShot(1, &context, [&] {
        Delay(5);
        inner = true;
    });
    Delay(20);
    EXPECT_TRUE(inner);
}

TEST(Platform, GuidsErrorsAndProcesses) {
    const TGUID a = NewGuid();
    EXPECT_FALSE(a == NewGuid());
    EXPECT_EQ(a.D3 >> 12, 4);        // random, version 4
    EXPECT_EQ(a.D4[0] & 0xC0, 0x80); // the RFC 4122 variant

    errno = ENOENT;
    try {
        RaiseLastOSErrorProc();
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT);
    }

    // Names without a folder compare without regard to case, full paths exactly.
    EXPECT_TRUE(IsProcessRunning("KV_FOUNDATION_TESTS", false));
    EXPECT_TRUE(IsProcessRunning(TVerInfo().Filename(), true));
    EXPECT_FALSE(IsProcessRunning("kv_foundation_tests", true));
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
}
