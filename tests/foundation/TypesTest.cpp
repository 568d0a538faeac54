#include "foundation/core/Types.h"

#include <gtest/gtest.h>

namespace {

template <std::size_t N> constexpr bool Fits(const std::array<std::string_view, N>& table, int width) {
    for (std::string_view s : table)
        if (static_cast<int>(s.size()) > width) return false;
    return true;
}

} // namespace

// Stored sizes and ordinals: files and streams hold these numbers. That each layout table fills
// its size is checked where Types.h compiles.
static_assert(kShortStringSize == 256 && kStgHeaderSize == 2380 && kStgIniSize == 104 &&
              kStgStrokeDataSize == 84 && kStgForceCurveSize == 163 && kStgIntervalSize == 259 &&
              kStgRawDataSize == 3 && kStgWorkoutSize == 16 && kTrainingRecordSize == 2563);
static_assert(kvsOpening == 2 && kvsStartingWorkout == 12 && kvsContinued == 25 &&
              kvsContinued + 1 == kKeloStateCount && kvpKV3WI == 8 && kvb8cd == 7 && kvmGreater == 3);
// Name tables are stored as short strings of fixed width.
static_assert(Fits(StateNames, kStateNameWidth) && Fits(ProtocolNames, kProtocolNameWidth) &&
              Fits(SourceProgramNames, kSourceProgramNameWidth) &&
              Fits(InterfaceTypeNames, kInterfaceTypeNameWidth) && Fits(FileFormatNames, kFileFormatNameWidth) &&
              Fits(ContentKindNames, kContentKindNameWidth) && Fits(SessionStateNames, kSessionStateNameWidth));

TEST(RecordSizes, IniFieldsInStoredOrder) {
    TStgIni ini;
    for (int i = 0; i < kStgIniFieldCount; ++i)
        ini.*StgIniFields[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ((std::vector<int>{ini.Weight, ini.SessionLimit, ini.LimitEnergy, ini.IntervalBy, ini.RestValue,
                                ini.Display}),
              (std::vector<int>{0, 5, 10, 14, 20, 25}));
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

TEST(NameTables, LookupsAreBoundsChecked) {
    EXPECT_EQ(TableName(SourceProgramNames, 15), "STG2LOG");
    for (auto [name, bad] : {std::pair{TableName(SourceProgramNames, 16), 16}, {TableName(SourceProgramNames, 255), 255},
                             {TableName(ProtocolNames, -1), -1}, {TableName(ContentKindNames, 11), 11}})
        EXPECT_EQ(name, "-") << bad;
    EXPECT_EQ(StateName(kvsSearchNotFound), "SearchNotFound");
    EXPECT_EQ(StateName(static_cast<TKeloState>(26)), "-");
    EXPECT_EQ(TableText(InterfaceTypeNames, 6), QStringLiteral("KV3 Wireless Interface"));
    // A table starting with "-" shows stored value v as entry v + 1.
    EXPECT_EQ(NameOfStoredValue(GenderNames, 0), "Male");
    EXPECT_EQ(NameOfStoredValue(GenderNames, 2), "-");
    EXPECT_EQ(NameOfStoredValue(BoatNames, kvb8cd), "8+");
    for (std::int64_t bad : {std::int64_t{-1}, std::int64_t{INT32_MAX}, std::int64_t{INT64_MAX}})
        EXPECT_EQ(NameOfStoredValue(SprocketNames, bad), "-") << bad;
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

TEST(SelectorRoutines, NoPowerAndSampleSpacing) {
    TStgStrokeData s;
    EXPECT_TRUE(StrokeHasNoPower(s));
    s.Power = -0.0f;
    EXPECT_TRUE(StrokeHasNoPower(s));
    s.Power = 1e-30f;
    EXPECT_FALSE(StrokeHasNoPower(s));

    // The ergometer decides before the sprocket.
    TStgIni ini;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 2.0);
    ini.Sprocket = 1;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 2.2);
    ini.Ergometer = 2;
    EXPECT_EQ(ForceCurveSampleSpacing(ini), 4.5);
}

TEST(Rounding, TiesGoToEven) {
    const std::pair<float, float> whole[] = {{0.5f, 0}, {1.5f, 2}, {2.5f, 2}, {-2.5f, -2}, {2.5001f, 3}};
    for (auto [in, out] : whole)
        EXPECT_EQ(RoundSingle(in), out) << in;
    const std::pair<float, float> eighths[] = {
        {0.0625f, 0}, {0.1875f, 0.25f}, {0.3125f, 0.25f}, {100.06f, 100}, {100.07f, 100.125f}};
    for (auto [in, out] : eighths)
        EXPECT_EQ(RoundToEighth(in), out) << in;
}
