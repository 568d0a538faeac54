#include "foundation/core/Types.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

int Sum(std::initializer_list<int> sizes) {
    return std::accumulate(sizes.begin(), sizes.end(), 0);
}

int OffsetOf(auto& layout, std::string_view name) {
    for (const TFieldLayout& f : layout)
        if (f.Name == name) return f.Offset;
    return -1;
}

} // namespace

// Field sizes as the stored record tables list them; a codec must write exactly these.
TEST(RecordSizes, ConstantsMatchTheirFieldTables) {
    const int s = kShortStringSize;
    EXPECT_EQ(s, 256);
    EXPECT_EQ(kStgHeaderSize, 2380);
    EXPECT_EQ(kStgHeaderSize, Sum({s, 8, 4, 1, 1, s, s, s, 8, s, s, s, s, 8, 4, 1,
                                   1, 1, 1, 4, 4, 1, 4, 1, 1, 4, 1, 1, 1, s, 16}));
    EXPECT_EQ(kStgIniSize, 104);
    EXPECT_EQ(kStgIniSize, 26 * 4);
    EXPECT_EQ(kStgStrokeDataSize, 84);
    EXPECT_EQ(kStgStrokeDataSize, 2 + 17 * 4 + 3 * 2 + 2 * 4);
    EXPECT_EQ(kStgForceCurveSize, 163);
    EXPECT_EQ(kStgForceCurveSize, 2 + 1 + 80 * 2);
    EXPECT_EQ(kStgIntervalSize, 259);
    EXPECT_EQ(kStgIntervalSize, 6 * 2 + kStgForceCurveSize + kStgStrokeDataSize);
    EXPECT_EQ(kStgRawDataSize, 3);
    EXPECT_EQ(kStgRawDataSize, 2 + 1);
    EXPECT_EQ(kStgWorkoutSize, 16);
    EXPECT_EQ(kStgWorkoutSize, 4 * 4);
    EXPECT_EQ(kTrainingRecordSize, 2563);
    EXPECT_EQ(kTrainingRecordSize, Sum({4, 4, 4, kStgHeaderSize, kStgIniSize, kStgClientMemorySize, 1,
                                        4 * kArrayReferenceSize, kStgWorkoutSize, 1, 1}));
}

// That the layouts are contiguous and fill their sizes is checked when Types.h compiles.
TEST(RecordSizes, ListedOffsets) {
    EXPECT_EQ(OffsetOf(kStgHeaderLayout, "Date"), 1038);
    EXPECT_EQ(OffsetOf(kStgHeaderLayout, "Reserved"), 2085);
    EXPECT_EQ(OffsetOf(kStgHeaderLayout, "PenWidth"), 2095);
    EXPECT_EQ(OffsetOf(kStgHeaderLayout, "SourceProgram"), 2105);
    EXPECT_EQ(OffsetOf(kStgHeaderLayout, "Guid"), 2364);
    EXPECT_EQ(OffsetOf(kStgStrokeDataLayout, "K"), 66);
    EXPECT_EQ(OffsetOf(kStgStrokeDataLayout, "IntervalNumber"), 70);
    EXPECT_EQ(OffsetOf(kStgStrokeDataLayout, "DistancePerStroke"), 80);
    EXPECT_EQ(OffsetOf(kStgIntervalLayout, "Curve"), 12);
    EXPECT_EQ(OffsetOf(kStgIntervalLayout, "Stroke"), 175);
}

TEST(RecordSizes, IniFieldsInStoredOrder) {
    TStgIni ini;
    for (int i = 0; i < kStgIniFieldCount; ++i)
        ini.*StgIniFields[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(ini.Weight, 0);
    EXPECT_EQ(ini.SessionLimit, 5);
    EXPECT_EQ(ini.LimitEnergy, 10);
    EXPECT_EQ(ini.IntervalBy, 14);
    EXPECT_EQ(ini.RestValue, 20);
    EXPECT_EQ(ini.Display, 25);
}

TEST(Enumerations, OrdinalsAreFixed) {
    EXPECT_EQ(kvsOpening, 2);
    EXPECT_EQ(kvsStartingWorkout, 12);
    EXPECT_EQ(kvsContinued, 25);
    EXPECT_EQ(kvsContinued + 1, kKeloStateCount);
    EXPECT_EQ(kvpKV3WI, 8);
    EXPECT_EQ(kvb8cd, 7);
    EXPECT_EQ(kvmGreater, 3);
}

TEST(Enumerations, ProtocolSetUsesOrdinalBits) {
    TKeloProtocolSet set{kvpDOS, kvpKvw};
    EXPECT_EQ(set.Bits(), 0x0006);
    EXPECT_TRUE(set.Contains(kvpKvw));
    EXPECT_FALSE(set.Contains(kvpUnknown));
    set.Include(kvpKV3WI);
    set.Exclude(kvpDOS);
    EXPECT_EQ(set.Bits(), 0x0104);
    EXPECT_EQ(TKeloProtocolSet::FromBits(0x0104), set);
    // A byte from a stream beyond the 16 bits is never a member.
    EXPECT_FALSE(TKeloProtocolSet::FromBits(0xFFFF).Contains(static_cast<TKeloProtocol>(200)));
}

TEST(Enumerations, KeloErrorCarriesItsMessage) {
    try {
        throw EKeloError(QStringLiteral("Port COM3 not found"));
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Port COM3 not found");
    }
}

TEST(NameTables, EntriesFitTheirStoredWidths) {
    auto fits = [](const auto& table, int width) {
        for (std::string_view s : table)
            EXPECT_LE(static_cast<int>(s.size()), width) << s;
    };
    fits(StateNames, kStateNameWidth);
    fits(ProtocolNames, kProtocolNameWidth);
    fits(SourceProgramNames, kSourceProgramNameWidth);
    fits(InterfaceTypeNames, kInterfaceTypeNameWidth);
    fits(FileFormatNames, kFileFormatNameWidth);
    fits(ContentKindNames, kContentKindNameWidth);
    fits(SessionStateNames, kSessionStateNameWidth);
}

TEST(NameTables, LookupsAreBoundsChecked) {
    EXPECT_EQ(TableName(SourceProgramNames, 5), "KvwT");
    EXPECT_EQ(TableName(SourceProgramNames, 0), "Unknown");
    EXPECT_EQ(TableName(SourceProgramNames, 15), "STG2LOG");
    EXPECT_EQ(TableName(SourceProgramNames, 16), "-");
    EXPECT_EQ(TableName(SourceProgramNames, 255), "-");
    EXPECT_EQ(TableName(ProtocolNames, -1), "-");
    EXPECT_EQ(TableName(FileFormatNames, 12), "FITLOG");
    EXPECT_EQ(TableName(ContentKindNames, 10), "Full stroke data");
    EXPECT_EQ(TableName(ContentKindNames, 11), "-");
    EXPECT_EQ(StateName(kvsSearchNotFound), "SearchNotFound");
    EXPECT_EQ(StateName(static_cast<TKeloState>(26)), "-");
    EXPECT_EQ(TableText(InterfaceTypeNames, 6), QStringLiteral("KV3 Wireless Interface"));
}

TEST(NameTables, StoredValuesShowTheFollowingEntry) {
    EXPECT_EQ(NameOfStoredValue(GenderNames, 0), "Male");
    EXPECT_EQ(NameOfStoredValue(GenderNames, 1), "Female");
    EXPECT_EQ(NameOfStoredValue(GenderNames, 2), "-");
    EXPECT_EQ(NameOfStoredValue(BoatNames, kvb8cd), "8+");
    EXPECT_EQ(NameOfStoredValue(ErgometerNames, 2), "Veltro Slider");
    EXPECT_EQ(NameOfStoredValue(SprocketNames, -1), "-");
    EXPECT_EQ(NameOfStoredValue(SprocketNames, INT32_MAX), "-");
    EXPECT_EQ(NameOfStoredValue(SprocketNames, INT64_MAX), "-");
}

TEST(NameTables, ColoursMatchTheirNames) {
    ASSERT_EQ(ColorNames.size(), ColorValues.size());
    EXPECT_EQ(ColorNames[0], "Red");
    EXPECT_EQ(ColorValues[0], 0x0000FFu); // COLORREF: red in the low byte
    EXPECT_EQ(ColorNames[3], "Blue");
    EXPECT_EQ(ColorValues[3], 0xFF0000u);
    EXPECT_EQ(ColorNames[14], "DarkGray");
    EXPECT_EQ(ColorValues[14], 0x808080u);
}

TEST(SelectorRoutines, FollowIntervalByAndSessionLimit) {
    TStgStrokeData s;
    s.Number = 12;
    s.EnergySum = 3.5f;
    s.Distance = 120.25f;
    s.Time = 61.5f;
    s.IntervalNumber = 3;
    TStgIni ini;
    ini.WorkStrokes = 20, ini.WorkEnergy = 21, ini.WorkDistance = 22, ini.WorkTime = 23;
    ini.RestStrokes = 30, ini.RestEnergy = 31, ini.RestDistance = 32, ini.RestTime = 33;
    ini.LimitStrokes = 40, ini.LimitEnergy = 41, ini.LimitDistance = 42, ini.LimitTime = 43;
    ini.LimitIntervals = 44;

    const double byInterval[] = {12, 3.5, 120.25, 61.5, 0};
    const double work[] = {20, 21, 22, 23, 0};
    const double rest[] = {30, 31, 32, 33, 0};
    for (int by = 0; by < 5; ++by) {
        ini.IntervalBy = by;
        EXPECT_EQ(GetStrokeValueByIntervalType(s, ini), byInterval[by]) << by;
        EXPECT_EQ(GetIntervalWork(ini), work[by]) << by;
        EXPECT_EQ(GetIntervalRest(ini), rest[by]) << by;
    }
    ini.IntervalBy = -1;
    EXPECT_EQ(GetIntervalWork(ini), 0);

    const double byLimit[] = {12, 3.5, 120.25, 61.5, 3, 0};
    const int target[] = {40, 41, 42, 43, 44, 0};
    for (int limit = 0; limit < 6; ++limit) {
        ini.SessionLimit = limit;
        EXPECT_EQ(GetStrokeValueByTrainingType(s, ini), byLimit[limit]) << limit;
        EXPECT_EQ(GetTrainingTarget(ini), target[limit]) << limit;
    }
    ini.SessionLimit = 7;
    EXPECT_EQ(GetTrainingTarget(ini), 0);
}

TEST(SelectorRoutines, NoPowerOnlyWhenExactlyZero) {
    TStgStrokeData s;
    EXPECT_TRUE(StrokeHasNoPower(s));
    s.Power = -0.0f;
    EXPECT_TRUE(StrokeHasNoPower(s));
    s.Power = 1e-30f;
    EXPECT_FALSE(StrokeHasNoPower(s));
}

TEST(SelectorRoutines, SampleSpacingChecksTheErgometerFirst) {
    TStgIni ini;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 2.0);
    ini.Sprocket = 1;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 2.2);
    ini.Ergometer = 2;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 4.5);
    ini.Sprocket = 0;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 4.5);
}

TEST(SelectorRoutines, MakeParameterKeepsEveryArgument) {
    const ParameterType p = MakeParameter(9, 3, 1, 2.0f / 1440, 4.0f / 1440, 0.5f, "m:s", "Est. 500m time",
                                          "Estimated 500m time", "Tnn:ss.0");
    EXPECT_EQ(p.Id, 9);
    EXPECT_EQ(p.AxisMode, 3);
    EXPECT_EQ(p.SeriesKind, 1);
    EXPECT_FLOAT_EQ(p.AxisMin, 2.0f / 1440);
    EXPECT_FLOAT_EQ(p.AxisMax, 4.0f / 1440);
    EXPECT_EQ(p.AxisIncrement, 0.5f);
    EXPECT_EQ(p.Unit, "m:s");
    EXPECT_EQ(p.Caption, "Est. 500m time");
    EXPECT_EQ(p.LongCaption, "Estimated 500m time");
    EXPECT_EQ(p.Format, "Tnn:ss.0");
}

TEST(Rounding, TiesGoToEven) {
    EXPECT_EQ(RoundSingle(0.5f), 0.0f);
    EXPECT_EQ(RoundSingle(1.5f), 2.0f);
    EXPECT_EQ(RoundSingle(2.5f), 2.0f);
    EXPECT_EQ(RoundSingle(-2.5f), -2.0f);
    EXPECT_EQ(RoundSingle(2.5001f), 3.0f);
    EXPECT_EQ(RoundToEighth(0.0625f), 0.0f);
    EXPECT_EQ(RoundToEighth(0.1875f), 0.25f);
    EXPECT_EQ(RoundToEighth(0.3125f), 0.25f);
    EXPECT_EQ(RoundToEighth(100.06f), 100.0f);
    EXPECT_EQ(RoundToEighth(100.07f), 100.125f);
}
