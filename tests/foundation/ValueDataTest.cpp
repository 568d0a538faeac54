#include "foundation/values/ValueData.h"
#include "platform/IniFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <stdexcept>

namespace {

struct TRecordingArea : TValueAreaLink {
    int Updates = 0;
    int OptionChanges = 0;
    TValueData* Data = nullptr;
    void Update() override { ++Updates; }
    void DataOptionsChanged() override { ++OptionChanges; }
    void DataDestroyed() override {
        if (Data) Data->UnregisterArea(this);
        Data = nullptr;
    }
};

TValueData& DataWithItems(TValueData& data) {
    data.DefineValue(3, QStringLiteral("Power"), QStringLiteral("Power of the stroke"), QStringLiteral("%4.0f"));
    data.DefineValue(7, QStringLiteral("Time"), QStringLiteral("Session time"), QStringLiteral("Th:nn:ss"));
    return data;
}

} // namespace

TEST(ValueData, ItemTableLookUpsAndRedefinition) {
    TValueData data;
    DataWithItems(data);
    EXPECT_EQ((std::vector<int>{data.IDByIndex(0), data.IDByIndex(1), data.IDByIndex(2), data.IDByIndex(3)}),
              (std::vector<int>{-1, 3, 7, -1}));

    TValueItem item;
    item.Caption = QStringLiteral("left over");
    item.Value = 5;
    EXPECT_FALSE(data.GetItem(4, item));
    EXPECT_EQ(item, TValueItem{}); // cleared, ID -1

    ASSERT_TRUE(data.GetItem(3, item));
    item.Min = 10;
    item.Flags = vfBar | vfMinMax;
    data.SetItem(3, item);
    data.SetItem(99, item); // ignored
    EXPECT_EQ(data.ItemCount(), 2);
    data.SetValue(3, true, 250);
    EXPECT_EQ(data.FindItem(3)->Min, 10);

    // Redefining keeps the place and resets options and history.
    data.DefineValue(3, QStringLiteral("Watts"), QString(), QStringLiteral("%1.0f"));
    EXPECT_EQ(data.IDByIndex(1), 3);
    const TValueItem* watts = data.FindItem(3);
    EXPECT_EQ(watts->Caption, QStringLiteral("Watts"));
    EXPECT_TRUE(watts->Min == 0 && watts->Flags == 0 && watts->History[24] == 0);

    // Cell codes never become items.
    data.DefineValue(kLogoCellId, QStringLiteral("x"), QString(), QString());
    data.DefineValue(kEmptyCellId, QStringLiteral("x"), QString(), QString());
    EXPECT_EQ(data.ItemCount(), 2);
}

TEST(ValueData, HistoryShiftsAndAveragesPositiveSamples) {
    TValueData data;
    DataWithItems(data);
    data.ClearValues();
    for (int i = 1; i <= 24; ++i) data.SetValue(3, true, i == 24 ? 0.0 : 10.0 * i);
    const TValueItem& item = *data.FindItem(3);
    EXPECT_EQ((std::vector<double>{item.History[0], item.History[1], item.History[23], item.History[24]}),
              (std::vector<double>{-1, 10, 230, 0}));
    EXPECT_DOUBLE_EQ(item.Average, 120.0); // mean of 10..230; the 0 and the empty slot left out

    // The window wraps: 26 more values push every old one out.
    for (int i = 0; i < 26; ++i) data.SetValue(3, true, i < 20 ? 0.0 : 6.0 * i);
    EXPECT_DOUBLE_EQ(data.FindItem(3)->Average, (120.0 + 126 + 132 + 138 + 144 + 150) / 6);
    EXPECT_EQ(data.FindItem(3)->History[0], 0.0);

    // Only -1 and 0 samples: the average is the new value itself.
    data.ClearValues();
    data.SetValue(7, true, 0);
    EXPECT_EQ(data.FindItem(7)->Average, 0);
    // Without the history only the value changes.
    data.SetValue(7, false, 42);
    EXPECT_EQ(data.FindItem(7)->Value, 42);
    EXPECT_EQ(data.FindItem(7)->History[24], 0);
}

TEST(ValueData, AreaRegistryReusesSlotsAndTellsAreas) {
    TRecordingArea a, b, c;
    {
        TValueData data;
        a.Data = b.Data = c.Data = &data;
        data.RegisterArea(&a);
        data.RegisterArea(&b);
        data.RegisterArea(&a);
        EXPECT_EQ(data.Areas.size(), 2u);
        data.UnregisterArea(&a);
        data.RegisterArea(&c);
        EXPECT_EQ(data.Areas, (std::vector<TValueAreaLink*>{&c, &b}));
        data.ClearValues();
        data.UpdateAreas();
        EXPECT_EQ(b.Updates, 2);
        data.SetCanAdd(true); // unchanged: nothing rebuilt
        data.SetCanOptions(false);
        data.SetCanChange(false);
        EXPECT_EQ(b.OptionChanges, 2);
        EXPECT_EQ(a.Updates, 0);
    }
    EXPECT_EQ(b.Data, nullptr);
    EXPECT_EQ(c.Data, nullptr);
}

TEST(ValueData, OptionsAndColorsTexts) {
    TValueItem item;
    item.Max = 150;
    item.Step = 10;
    item.Min = 0.25;
    item.Flags = vfMinMax | vfBarGrid;
    EXPECT_EQ(ValueOptionsText(item), QStringLiteral("0.25 150 10 01000001"));

    struct TCase {
        const char* Text;
        double Min, Max, Step;
        std::uint8_t Flags;
    };
    const TCase cases[] = {
        {"0 150 10 10010000", 0, 150, 10, vfBar | vfHistory},
        {"1,5 2.5 0.1 11", 1.5, 2.5, 0.1, vfBar | vfBarGrid},
        {"", 0, 0, 0, 0},
        {"abc 200 x 00000001", 0, 200, 0, vfMinMax}, // bad tokens read as 0
        {"  5   6 ", 5, 6, 0, 0},
        {"1 2 3 1x1x1x1x1111", 1, 2, 3, vfBar | vfBarAvg | vfHistoryGrid | vfHistoryLeft},
        {"1e400 -3 nan 1", 0, -3, 0, vfBar},
    };
    for (const TCase& c : cases) {
        TValueItem read;
        read.Flags = 0xFF;
        ApplyValueOptionsText(QString::fromLatin1(c.Text), read);
        EXPECT_EQ((std::vector<double>{read.Min, read.Max, read.Step, double(read.Flags)}),
                  (std::vector<double>{c.Min, c.Max, c.Step, double(c.Flags)})) << c.Text;
    }

    TValueData data;
    EXPECT_EQ(ValueColorsText(data.Colors), QStringLiteral("65535 16776960 -16777201 8421504 255 8421504 16711680"));
    std::array<TColor, kValueColorCount> colors{1, 2, 3, 4, 5, 6, 7};
    ApplyValueColorsText(QStringLiteral("10 20 x 40"), colors);
    EXPECT_EQ(colors, (std::array<TColor, kValueColorCount>{10, 20, 3, 4, 5, 6, 7}));
    ApplyValueColorsText(QStringLiteral("11  30"), colors); // an empty token ends the reading
    EXPECT_EQ(colors[0], 11u);
    EXPECT_EQ(colors[2], 3u);
    ApplyValueColorsText(QStringLiteral("1 2 3 4 5 6 7 8 4294967295"), colors);
    EXPECT_EQ(colors, (std::array<TColor, kValueColorCount>{1, 2, 3, 4, 5, 6, 7}));
    ApplyValueColorsText(QStringLiteral("4294967296"), colors);
    EXPECT_EQ(colors[0], 1u);
}

TEST(ValueData, SettingsFileRoundTripOnlyWithOptions) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kvwt.ini"));
    {
        TValueData data;
        data.IniSection = QStringLiteral("Row");
        DataWithItems(data);
        TValueItem item;
        data.GetItem(7, item);
        item.Min = 0.5;
        item.Max = 1.0 / 24;
        item.Flags = vfHistory | vfHistoryAvg;
        data.SetItem(7, item);
        data.Colors[4] = 0x123456;
        data.SaveColors(file);
        data.SaveOptions(file);
    }
    {
        const TIniFile ini(file);
        EXPECT_EQ(ini.ReadString(QStringLiteral("Row"), QStringLiteral("Options3"), QString()),
                  QStringLiteral("0 0 0 00000000"));
        EXPECT_EQ(ini.ReadString(QStringLiteral("Row"), QStringLiteral("Options7"), QString()),
                  QStringLiteral("0.5 0.0416666666666667 0 00010100"));
    }
    TValueData data;
    data.IniSection = QStringLiteral("Row");
    DataWithItems(data);
    data.DefineValue(9, QStringLiteral("New"), QString(), QString());
    TValueItem stale;
    data.GetItem(9, stale);
    stale.Min = 4;
    stale.Flags = vfBar;
    data.SetItem(9, stale);
    data.LoadColors(file);
    data.LoadOptions(file);
    EXPECT_EQ(data.Colors[4], 0x123456u);
    EXPECT_EQ(data.FindItem(7)->Min, 0.5);
    EXPECT_EQ(data.FindItem(7)->Flags, vfHistory | vfHistoryAvg);
    EXPECT_TRUE(data.FindItem(9)->Min == 0 && data.FindItem(9)->Flags == 0); // no key: options cleared

    // Without CanOptions the file is neither read nor written.
    TValueData quiet;
    quiet.IniSection = QStringLiteral("Row");
    quiet.SetCanOptions(false);
    quiet.LoadColors(file);
    EXPECT_EQ(quiet.Colors[4], clRed);
    const QString other = dir.filePath(QStringLiteral("other.ini"));
    quiet.SaveColors(other);
    EXPECT_FALSE(QFile::exists(other));
}

TEST(ValueData, FormatValueKinds) {
    struct TCase {
        const char* Format;
        double Value;
        const char* Text;
    };
    const TCase cases[] = {
        {"Thh:nn:ss.0", 75.25 / 86400, "01:15.2"},
        {"Thh:nn:ss.0", 3675.0 / 86400, "01:01:15.0"},
        {"Th:nn:ss", 59.0 / 86400, "00:59"},
        {"F%1.2f", 0, "n/a"},
        {"F%1.2f", 0.5, "1:2.00"},
        {"%4.0f", 123.4, " 123"},
        {"%1.1f", 0.1, "0.1"}, // single precision still rounds to the shown digit
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FormatValue(QString::fromLatin1(c.Format), c.Value), QString::fromLatin1(c.Text)) << c.Format;
    EXPECT_FALSE(IsTimeFormat(QStringLiteral("%T")));
}

TEST(ValueData, ParseValueByTheItemsOwnFormat) {
    struct TCase {
        const char* Format;
        const char* Text;
        bool Ok;
        double Seconds; // or the number for non-time formats
    };
    const TCase cases[] = {
        {"Thh:nn:ss.0", "01:15.2", true, 75.2}, // minutes first, as shown
        {"Thh:nn:ss.0", "1:01:15.0", true, 3675},
        {"Thh:nn:ss.0", "45", true, 45},
        {"Tnn:ss.0", "1:05:00", true, 3900}, // hours the formatter put in front
        {"Th:nn", "1:45", true, 6300},
        {"Th:nn:ss", "-0:30", true, -30},
        {"Th:nn:ss", "1:75", false, 0},
        {"Th:nn:ss", "1:2:3:4", false, 0},
        {"Th:nn:ss", "1.5:00", false, 0},
        {"Th:nn:ss", "", false, 0},
        {"Th:nn:ss", "a:00", false, 0},
        {"%4.0f", " 12,5 ", true, 12.5},
        {"%4.0f", "12x", false, 0},
        {"F%1.2f", "1:4.00", true, 0.25},
        {"F%1.2f", "n/a", true, 0},
        {"F%1.2f", "1:0", false, 0},
        {"F%1.2f", "0.5", true, 0.5},
    };
    for (const TCase& c : cases) {
        const QString format = QString::fromLatin1(c.Format);
        double value = -99;
        EXPECT_EQ(TryParseValue(format, QString::fromLatin1(c.Text), value), c.Ok) << c.Format << " " << c.Text;
        if (!c.Ok) {
            EXPECT_EQ(value, -99);
            EXPECT_THROW(ParseValue(format, QString::fromLatin1(c.Text)), std::invalid_argument);
            continue;
        }
        const double expected = IsTimeFormat(format) ? c.Seconds / 86400 : c.Seconds;
        EXPECT_NEAR(value, expected, 1e-12) << c.Format << " " << c.Text;
    }
    // Shown and read back: the same value.
    for (double seconds : {0.0, 59.9, 75.2, 3599.9, 3600.0, 36000.5}) {
        double back = 0;
        ASSERT_TRUE(TryParseValue(QStringLiteral("Thh:nn:ss.0"), FormatValue(QStringLiteral("Thh:nn:ss.0"), seconds / 86400), back));
        EXPECT_NEAR(back * 86400, seconds, 0.051) << seconds;
    }
}

TEST(ValueData, StrToTimeSimpleReadsHoursFirst) {
    struct TCase {
        const char* Text;
        double Seconds;
    };
    const TCase cases[] = {
        {"1:45", 6300}, {"1:02:03.9", 3723}, {"7", 25200}, {"", 0}, {"24:00", 0},
        {"1:60", 0},    {"1::2", 0},         {"1:2:3:4", 0}, {"12345", 0}, {"x", 0},
    };
    for (const TCase& c : cases)
        EXPECT_DOUBLE_EQ(StrToTimeSimple(QString::fromLatin1(c.Text)) * 86400, c.Seconds) << c.Text;
}
