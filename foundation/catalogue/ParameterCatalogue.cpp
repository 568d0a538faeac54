// Column tables, their accessors and the value formulas of the parameter catalogue.
#include "foundation/catalogue/ParameterCatalogue.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <optional>
#include <span>

TParameterTable StrokeParameters;
TParameterTable IntervalParameters;
TParameterTable SessionParameters;
TParameterTable SplitParameters;

std::vector<int> StrokeParameterIndex;
std::vector<int> IntervalParameterIndex;
std::vector<int> SessionParameterIndex;
std::vector<int> SplitParameterIndex;

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMpsToKmh = 3.6;
constexpr double kMpsToMph = 2.2369362920544025;

struct TColumnDef {
    const char* Caption;
    const char* LongCaption;
    const char* Unit;
    const char* Format;
    std::uint8_t AxisMode;
    std::uint8_t SeriesKind;
    double AxisMin;
    double AxisMax;
};

// Short names keep the tables readable as tables.
constexpr std::uint8_t A = kAxisAuto;
constexpr std::uint8_t M = kAxisManual;
constexpr std::uint8_t R = kAxisRange;
constexpr std::uint8_t L = kSeriesLine;
constexpr std::uint8_t P = kSeriesPoints;

// Axis limit of a time column: minutes:seconds in days.
constexpr double MinSec(int minutes, int seconds) {
    return (minutes * 60 + seconds) / kSecondsPerDay;
}

// clang-format off
constexpr std::array<TColumnDef, kStrokeParameterCount> kStrokeColumns{{
    {"Stroke", "Stroke number", "", "%4.0f", A, L, 0, 100},
    {"Power", "Power per stroke", "W", "%4.0f", R, P, 0, 100},
    {"Avg. power", "Average power per stroke", "W", "%4.0f", R, P, 0, 50},
    {"Stroke rate", "Stroke rate", "/min", "%2.1f", R, P, 0, 20},
    {"Target", "Target", "W", "%4.0f", R, P, 0, 100},
    {"Time", "Time", "m:s", "Th:nn:ss", A, L, MinSec(0, 0), MinSec(10, 0)},
    {"Stroke length", "Stroke length", "cm", "%3.0f", R, P, 100, 150},
    {"Distance", "Distance", "m", "%4.0f", A, L, 0, 500},
    {"Distance / stroke", "Distance per stroke", "cm", "%4.0f", R, P, 250, 500},
    {"Est. 500m time", "Estimated 500m time", "m:s", "Tnn:ss.0", R, P, MinSec(2, 0), MinSec(4, 0)},
    {"Energy / stroke", "Energy per stroke", "J", "%4.0f", R, P, 250, 500},
    {"Energy sum", "Energy sum", "kJ", "%4.0f", A, L, 0, 10},
    {"Pulse", "Pulse", "/min", "%3.0f", R, P, 50, 100},
    {"Work / pulse", "Work per pulse", "J/beat", "%3.2f", R, P, 0, 100},
    {"Peak force", "Peak force", "N", "%3.0f", R, P, 250, 500},
    {"Peak force pos.", "Peak force position", "cm", "%3.0f", R, P, 0, 50},
    {"Rel. peak force pos.", "Peak force position relative to stroke length", "%", "%3.1f", M, P, 0, 100},
    {"Drive time", "Drive time", "s", "%2.2f", R, P, 0, 0.5},
    {"Recover time", "Recover time", "s", "%2.2f", R, P, 0, 0.5},
    {"Stroke time", "Stroke time", "s", "%2.2f", R, P, 1, 2},
    {"DR ratio", "Drive : Recover ratio", "", "%1.2f", R, P, 0.5, 1},
    {"Speed mps", "Boat speed in m per s", "m/s", "%1.2f", R, P, 2, 4},
    {"K", "K value", "", "%1.2f", R, P, 0.5, 1},
    {"Interval number", "Interval number", "", "%2.0f", A, L, 0, 10},
    {"Interval countdown", "Interval countdown", "", "%3.0f", A, P, 0, 10},
    {"Interval power", "Interval power", "W", "%4.0f", R, P, 0, 50},
    {"Time elapsed", "Time elapsed", "m:s", "Th:nn:ss", A, L, MinSec(0, 0), MinSec(10, 0)},
    {"Time remaining", "Time remaining", "m:s", "Th:nn:ss", A, L, MinSec(0, 0), MinSec(10, 0)},
    {"Time projected", "Time projected", "m:s", "Th:nn:ss", A, P, MinSec(0, 0), MinSec(10, 0)},
    {"Distance elapsed", "Distance elapsed", "m", "%4.0f", A, L, 0, 500},
    {"Distance remaining", "Distance remaining", "m", "%4.0f", A, L, 0, 500},
    {"Distance projected", "Distance projected", "m", "%4.0f", A, P, 0, 500},
    {"Strokes elapsed", "Strokes elapsed", "", "%4.0f", A, L, 0, 100},
    {"Strokes remaining", "Strokes remaining", "", "%4.0f", A, L, 0, 100},
    {"Strokes projected", "Strokes projected", "", "%4.0f", A, P, 0, 100},
    {"Speed KmpHr", "Boat speed in Km per Hr", "km/h", "%3.1f", R, P, 5, 10},
    {"Speed MpHr", "Boat speed in M per Hr", "M/h", "%3.1f", R, P, 5, 10},
    {"Avg. 500m time", "Average 500m time", "m:s", "Tnn:ss.0", R, P, MinSec(2, 0), MinSec(4, 0)},
    {"Avg. speed mps", "Average boat speed in m per s", "m/s", "%1.2f", R, P, 2, 4},
    {"Avg. speed KmpHr", "Average boat speed in Km per Hr", "km/h", "%3.1f", R, P, 5, 10},
    {"Avg. speed MpHr", "Average boat speed in M per Hr", "M/h", "%3.1f", R, P, 5, 10},
    {"Avg. stroke rate", "Average stroke rate", "/min", "%2.1f", R, P, 0, 10},
}};

constexpr std::array<TColumnDef, kIntervalParameterCount> kIntervalColumns{{
    {"Number", "Interval number", "", "%3.0f", A, L, 0, 10},
    {"Power", "Average power", "W", "%3.1f", A, P, 0, 250},
    {"Stroke rate", "Average strokerate", "/min", "%2.1f", A, P, 0, 50},
    {"Time", "Total time", "m:s", "Th:nn:ss.0", A, P, MinSec(0, 0), MinSec(100, 0)},
    {"Distance", "Total distance", "m", "%5.0f", A, P, 0, 2000},
    {"Pulse", "Average pulse", "/min", "%3.0f", A, P, 0, 100},
    {"Speed", "Average boat speed", "m/s", "%1.2f", A, P, 0, 5},
    {"Strokes", "Number of strokes", "", "%3.0f", A, P, 0, 100},
    {"Stroke length", "Stroke length", "cm", "%3.0f", R, P, 100, 125},
    {"Est. 500m time", "Estimated 500m time", "m:s", "Tnn:ss.0", R, P, MinSec(2, 0), MinSec(4, 0)},
    {"Energy / stroke", "Energy per stroke", "J", "%4.0f", R, P, 250, 500},
    {"Energy sum", "Energy sum", "kJ", "%4.0f", A, P, 0, 10},
    {"Work / pulse", "Work per pulse", "J/beat", "%3.2f", R, P, 0, 100},
    {"Distance / stroke", "Distance per stroke", "cm", "%4.0f", R, P, 250, 500},
    {"Peak force", "Peak force", "N", "%3.0f", R, P, 250, 500},
    {"Peak force pos.", "Peak force position", "cm", "%3.0f", R, P, 0, 50},
    {"Rel. peak force pos.", "Peak force position relative to stroke length", "%", "%3.1f", M, P, 0, 100},
    {"Drive time", "Drive time", "s", "%2.2f", R, P, 0, 0.5},
    {"Recover time", "Recover time", "s", "%2.2f", R, P, 0, 0.5},
    {"Stroke time", "Stroke time", "s", "%2.2f", R, P, 1, 2},
    {"DR ratio", "Drive : Recover ratio", "", "%1.2f", R, P, 0.5, 1},
    {"K", "K value", "", "%1.2f", R, P, 0.5, 1},
}};

constexpr std::array<TColumnDef, kSessionParameterCount> kSessionColumns{{
    {"Distance", "Total distance", "m", "%5.0f", A, P, 0, 2000},
    {"Time", "Total time", "m:s", "Th:nn:ss.0", A, P, MinSec(0, 0), MinSec(10, 0)},
    {"Energy", "Total energy", "kJ", "%5.0f", A, P, 0, 10},
    {"Avg. power", "Average power", "W", "%3.1f", A, P, 0, 250},
    {"Strokes", "Number of strokes", "", "%4.0f", A, P, 0, 100},
    {"Avg. 500m time", "Average 500m time", "m:s", "Tnn:ss.0", R, P, MinSec(2, 0), MinSec(4, 0)},
    {"Avg. Stroke rate", "Average strokerate", "/min", "%2.1f", A, P, 0, 50},
}};

constexpr std::array<TColumnDef, kSplitParameterCount> kSplitColumns{{
    {"Strokes cum.", "Strokes cumulative", "", "%4.0f", A, P, 0, 100},
    {"Stroke split", "Strokes in split", "", "%4.0f", A, P, 0, 100},
    {"Distance cum.", "Distance cumulative", "m", "%4.1f", A, P, 0, 500},
    {"Distance split", "Distance in split", "m", "%4.1f", A, P, 0, 500},
    {"Time cum.", "Time cumulative", "m:s", "Tnn:ss.0", A, P, MinSec(0, 0), MinSec(10, 0)},
    {"Time split", "Time in split", "m:s", "Tnn:ss.0", A, P, MinSec(0, 0), MinSec(10, 0)},
    {"Power", "Average power per stroke", "W", "%4.1f", R, P, 0, 100},
    {"Stroke rate", "Average stroke rate", "/min", "%2.1f", R, P, 0, 10},
    {"Stroke length", "Average stroke length", "cm", "%3.0f", R, P, 100, 125},
    {"Distance / stroke", "Average distance per stroke", "cm", "%4.0f", R, P, 250, 500},
    {"500m time", "500m time", "m:s", "Tnn:ss.0", R, P, MinSec(2, 0), MinSec(4, 0)},
    {"Speed mps", "Boat speed in m per s", "m/s", "%1.2f", R, P, 2, 4},
    {"Energy / stroke", "Average energy per stroke", "J", "%4.0f", R, P, 250, 500},
    {"Energy sum cum.", "Energy sum cumulative", "kJ", "%4.1f", A, P, 0, 10},
    {"Energy sum split", "Energy sum in split", "kJ", "%4.1f", A, P, 0, 10},
    {"Pulse", "Average pulse", "/min", "%3.0f", R, P, 50, 100},
    {"Work / pulse", "Average work per pulse", "J/beat", "%3.2f", R, P, 0, 100},
    {"Drive time", "Average drive time", "s", "%2.2f", R, P, 0, 0.5},
    {"Recover time", "Average recover time", "s", "%2.2f", R, P, 0, 0.5},
    {"Stroke time", "Average stroke time", "s", "%2.2f", R, P, 1, 2},
    {"DR ratio", "Average drive : Recover ratio", "", "%1.2f", R, P, 0.5, 1},
}};
// clang-format on

// Interval columns 7..21 are columns of the interval's average stroke: the stroke column each
// one shows (-1 for the interval's own columns).
constexpr std::array<int, kIntervalParameterCount> kIntervalStrokeColumn{
    -1, -1, -1, -1, -1, -1, -1, 0, 6, 9, 10, 11, 13, 8, 14, 15, 16, 17, 18, 19, 20, 22,
};

void BuildTable(std::span<const TColumnDef> defs, TParameterTable& table) {
    table.clear();
    table.reserve(defs.size());
    for (std::size_t row = 0; row < defs.size(); ++row) {
        const TColumnDef& d = defs[row];
        table.push_back(MakeParameter(static_cast<std::int32_t>(row), d.AxisMode, d.SeriesKind,
                                      static_cast<float>(d.AxisMin), static_cast<float>(d.AxisMax), 0,
                                      QString::fromLatin1(d.Unit), QString::fromLatin1(d.Caption),
                                      QString::fromLatin1(d.LongCaption), QString::fromLatin1(d.Format)));
    }
}

void FinishTable(TParameterTable& table, std::vector<int>& index) {
    int maxId = -1;
    for (ParameterType& p : table) {
        p.AxisIncrement = static_cast<float>((static_cast<double>(p.AxisMax) - p.AxisMin) / 10.0);
        maxId = std::max(maxId, static_cast<int>(p.Id));
    }
    index.assign(static_cast<std::size_t>(maxId + 1), -1);
    for (std::size_t row = 0; row < table.size(); ++row)
        if (table[row].Id >= 0) index[static_cast<std::size_t>(table[row].Id)] = static_cast<int>(row);
}

const ParameterType* Row(const TParameterTable& table, int i) {
    return i >= 0 && static_cast<std::size_t>(i) < table.size() ? &table[static_cast<std::size_t>(i)]
                                                                : nullptr;
}

QString UnitOf(const TParameterTable& table, int i) {
    const ParameterType* p = Row(table, i);
    return p ? p->Unit : QString();
}
QString CaptionOf(const TParameterTable& table, int i) {
    const ParameterType* p = Row(table, i);
    return p ? p->Caption : QString();
}
QString LongCaptionOf(const TParameterTable& table, int i) {
    const ParameterType* p = Row(table, i);
    return p ? p->LongCaption : QString();
}
QString FormatOf(const TParameterTable& table, int i) {
    const ParameterType* p = Row(table, i);
    return p ? p->Format : QString();
}

QString Title(const QString& caption, const QString& unit) {
    return unit.isEmpty() ? caption : QStringLiteral("%1 (%2)").arg(caption, unit);
}

float Days(double seconds) {
    return static_cast<float>(seconds / kSecondsPerDay);
}

// How much of the session target the stroke has reached; the projected columns scale the
// elapsed values by its reciprocal (0 without a target).
float ProjectionFactor(const TStgStrokeData& s, const TStgIni& ini) {
    const float achieved = static_cast<float>(GetStrokeValueByTrainingType(s, ini));
    const float share = SafeDivide(achieved, static_cast<float>(GetTrainingTarget(ini)));
    return SafeDivide(1, share);
}

// The drive and the recovery; a stroke without a ratio (its recovery was not measured) has no
// known duration, so neither a stroke time nor a speed.
double StrokeSeconds(const TStgStrokeData& s) {
    return s.DriveRatio != 0 ? (static_cast<double>(s.DriveRatio) + 1) * s.DriveTime : 0.0;
}

float SpeedMps(const TStgStrokeData& s) {
    return SafeDivide(static_cast<float>(s.DistancePerStroke / 100.0), static_cast<float>(StrokeSeconds(s)));
}

float AvgSpeedMps(const TStgStrokeData& s) {
    return SafeDivide(s.Distance, s.Time);
}

double StrokeValue(const TStgStrokeData& s, int i, const TStgIni& ini) {
    switch (i) {
    case 0:
        return s.Number;
    case 1:
        return s.Power;
    case 2:
        return s.AvgPower;
    case 3:
        return s.StrokeRate;
    case 4:
        return s.TargetPower;
    case 5:
        return Days(s.Time);
    case 6:
        return s.Length;
    case 7:
        return s.Distance;
    case 8:
        return s.DistancePerStroke;
    case 9:
        return Days(s.Est500mTime);
    case 10:
        return s.Energy;
    case 11:
        return s.EnergySum;
    case 12:
        return s.Pulse;
    case 13:
        return s.WorkPerPulse;
    case 14:
        return s.PeakForce;
    case 15:
        return s.PeakForcePos;
    case 16:
        return s.RelPeakForcePos;
    case 17:
        return s.DriveTime;
    case 18:
        return static_cast<double>(s.DriveTime) * s.DriveRatio;
    case 19:
        return StrokeSeconds(s);
    case 20:
        return s.DriveRatio;
    case 21:
        return SpeedMps(s);
    case 22:
        return s.K;
    case 23:
        return s.IntervalNumber;
    case 24:
        return s.IntervalCountdown;
    case 25:
        return s.IntervalPower;
    case 26:
        return Days(s.Time);
    case 27:
        return Days(static_cast<double>(ProjectionFactor(s, ini)) * s.Time - s.Time);
    case 28:
        return Days(static_cast<double>(ProjectionFactor(s, ini)) * s.Time);
    case 29:
        return s.Distance;
    case 30:
        return static_cast<double>(ProjectionFactor(s, ini)) * s.Distance - s.Distance;
    case 31:
        return static_cast<double>(ProjectionFactor(s, ini)) * s.Distance;
    case 32:
        return s.Number;
    case 33:
        return static_cast<double>(ProjectionFactor(s, ini)) * s.Number - s.Number;
    case 34:
        return static_cast<double>(ProjectionFactor(s, ini)) * s.Number;
    case 35:
        return SpeedMps(s) * kMpsToKmh;
    case 36:
        return SpeedMps(s) * kMpsToMph;
    case 37:
        return Days(static_cast<double>(SafeDivide(500, s.Distance)) * s.Time);
    case 38:
        return AvgSpeedMps(s);
    case 39:
        return AvgSpeedMps(s) * kMpsToKmh;
    case 40:
        return AvgSpeedMps(s) * kMpsToMph;
    case 41:
        return static_cast<double>(SafeDivide(s.Number, s.Time)) * 60;
    default:
        return 0;
    }
}

int HighestStrokeIndex(const TTraining& t) {
    return t.StrokeData.empty() ? 0 : static_cast<int>(t.StrokeData.size()) - 1;
}

// The strokes' own values of one field, each weighted by how much of the session its stroke
// covered, the rise of a running total: its time for a rate or a power, its distance for a 500 m
// time. That is the session's average as its strokes show it, within their range. The session's
// totals would leave it: the first stroke has no rate, power or 500 m time but counts in the
// totals, the time may run on after the last stroke, and the totals are kept to an eighth while
// each stroke's value is rounded on its own. Strokes without a value (0) are left out, element 0
// (the average) is no stroke; a plain mean when the totals do not rise. Nothing without a value.
std::optional<float> StrokeMean(const TTraining& t, float TStgStrokeData::*value, float TStgStrokeData::*total) {
    const int strokes = HighestStrokeIndex(t);
    double weighted = 0, weights = 0, sum = 0;
    int valued = 0;
    float before = 0;
    for (int i = 1; i <= strokes; ++i) {
        const TStgStrokeData& s = t.StrokeData[static_cast<std::size_t>(i)];
        const double covered = static_cast<double>(s.*total) - before;
        before = s.*total;
        const float v = s.*value;
        if (!(v > 0))
            continue;
        ++valued;
        sum += v;
        if (covered > 0) {
            weighted += v * covered;
            weights += covered;
        }
    }
    if (valued == 0)
        return std::nullopt;
    return static_cast<float>(weights > 0 ? weighted / weights : sum / valued);
}

// Whether the totals stand in for stroke values: only in a training whose strokes carry no time
// line either (totals only). Timed strokes without the value, as a session's first stroke from
// rest while it is the only one, give none: its totals would put the average beyond every stroke.
bool TotalsStandIn(const TTraining& t) {
    const int strokes = HighestStrokeIndex(t);
    for (int i = 1; i <= strokes; ++i)
        if (t.StrokeData[static_cast<std::size_t>(i)].Time > 0)
            return false;
    return true;
}

// The session values out of its strokes; a training without such stroke values (totals only)
// gives them from its totals.
float SessionPower(const TTraining& t) {
    if (const std::optional<float> power = StrokeMean(t, &TStgStrokeData::Power, &TStgStrokeData::Time))
        return *power;
    return TotalsStandIn(t) ? t.Workout.AvgPower : 0;
}

double Session500mTime(const TTraining& t) {
    if (const std::optional<float> pace = StrokeMean(t, &TStgStrokeData::Est500mTime, &TStgStrokeData::Distance))
        return *pace;
    return TotalsStandIn(t) ? static_cast<double>(SafeDivide(500, t.Workout.Distance)) * t.Workout.Time : 0;
}

float SessionStrokeRate(const TTraining& t) {
    if (const std::optional<float> rate = StrokeMean(t, &TStgStrokeData::StrokeRate, &TStgStrokeData::Time))
        return *rate;
    return TotalsStandIn(t)
               ? SafeDivide(static_cast<float>(HighestStrokeIndex(t)), static_cast<float>(t.Workout.Time / 60.0))
               : 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Builders

void BuildStrokeParameters() {
    BuildTable(kStrokeColumns, StrokeParameters);
    // The target column and the session-progress and average columns are not offered by id.
    StrokeParameters[4].Id = -1;
    for (int row = 26; row < kStrokeParameterCount; ++row)
        StrokeParameters[static_cast<std::size_t>(row)].Id = -1;
    FinishTable(StrokeParameters, StrokeParameterIndex);
    // A rolling chart needs a few strokes to show a trend.
    RollingCount = std::max(RollingCount, 5);
}

void BuildIntervalParameters() {
    BuildTable(kIntervalColumns, IntervalParameters);
    FinishTable(IntervalParameters, IntervalParameterIndex);
}

void BuildSessionParameters() {
    BuildTable(kSessionColumns, SessionParameters);
    FinishTable(SessionParameters, SessionParameterIndex);
}

void BuildSplitParameters() {
    BuildTable(kSplitColumns, SplitParameters);
    FinishTable(SplitParameters, SplitParameterIndex);
}

void BuildParameterTables() {
    BuildStrokeParameters();
    BuildIntervalParameters();
    BuildSessionParameters();
    BuildSplitParameters();
}

// ---------------------------------------------------------------------------------------------
// Stroke columns

QString StrokeParameterUnit(int i) {
    return UnitOf(StrokeParameters, i);
}
QString StrokeParameterCaption(int i) {
    return CaptionOf(StrokeParameters, i);
}
QString StrokeParameterLongCaption(int i) {
    return LongCaptionOf(StrokeParameters, i);
}
QString StrokeParameterFormat(int i) {
    return FormatOf(StrokeParameters, i);
}
QString StrokeParameterTitle(int i) {
    return Title(StrokeParameterCaption(i), StrokeParameterUnit(i));
}
QString StrokeParameterLongTitle(int i) {
    return Title(StrokeParameterLongCaption(i), StrokeParameterUnit(i));
}

bool StrokeParameterWhole(int i) {
    static const QRegularExpression whole(QStringLiteral("^%[-+ #0]*\\d*(\\.0f|d)"));
    return whole.match(StrokeParameterFormat(i)).hasMatch();
}

std::uint8_t StrokeParameterSeriesKind(int i) {
    const ParameterType* p = Row(StrokeParameters, i);
    return p ? p->SeriesKind : kSeriesPoints;
}

float GetStrokeParameterValue(const TStgStrokeData& stroke, int i, const TStgIni& ini) {
    return static_cast<float>(StrokeValue(stroke, i, ini));
}

QString FormatStrokeParameter(const TStgStrokeData& stroke, int i, const TStgIni& ini) {
    return FormatParameterValue(StrokeParameterFormat(i), GetStrokeParameterValue(stroke, i, ini));
}

QString FormatStrokeValueTrimmed(int i, double value) {
    return (FormatParameterValue(StrokeParameterFormat(i), value) + QLatin1Char(' ') + StrokeParameterUnit(i))
        .trimmed();
}

// ---------------------------------------------------------------------------------------------
// Interval columns

QString IntervalParameterUnit(int i) {
    return UnitOf(IntervalParameters, i);
}
QString IntervalParameterCaption(int i) {
    return CaptionOf(IntervalParameters, i);
}
QString IntervalParameterLongCaption(int i) {
    return LongCaptionOf(IntervalParameters, i);
}
QString IntervalParameterFormat(int i) {
    return FormatOf(IntervalParameters, i);
}
QString IntervalParameterTitle(int i) {
    return Title(IntervalParameterCaption(i), IntervalParameterUnit(i));
}

float GetIntervalParameterValue(const TStgInterval& interval, int i) {
    switch (i) {
    case 0:
        return interval.Number;
    case 1:
        return interval.AvgPower;
    case 2:
        return interval.AvgRate;
    case 3:
        return Days(interval.Time);
    case 4:
        return interval.Distance;
    case 5:
        return interval.AvgPulse;
    case 6:
        return SafeDivide(interval.Distance, interval.Time);
    default:
        break;
    }
    if (i < 0 || i >= kIntervalParameterCount) return 0;
    // The remaining columns do not depend on the session limit.
    return GetStrokeParameterValue(interval.Stroke, kIntervalStrokeColumn[static_cast<std::size_t>(i)],
                                   TStgIni{});
}

QString FormatIntervalParameter(const TStgInterval& interval, int i) {
    return FormatParameterValue(IntervalParameterFormat(i), GetIntervalParameterValue(interval, i));
}

// ---------------------------------------------------------------------------------------------
// Session columns

QString SessionParameterUnit(int i) {
    return UnitOf(SessionParameters, i);
}
QString SessionParameterCaption(int i) {
    return CaptionOf(SessionParameters, i);
}
QString SessionParameterLongCaption(int i) {
    return LongCaptionOf(SessionParameters, i);
}
QString SessionParameterFormat(int i) {
    return FormatOf(SessionParameters, i);
}
QString SessionParameterTitle(int i) {
    return Title(SessionParameterCaption(i), SessionParameterUnit(i));
}

float GetSessionParameterValue(const TTraining& training, int i) {
    const TStgWorkout& w = training.Workout;
    const int strokes = HighestStrokeIndex(training);
    switch (i) {
    case 0:
        return w.Distance;
    case 1:
        return Days(w.Time);
    case 2:
        return w.Energy;
    case 3:
        return SessionPower(training);
    case 4:
        return static_cast<float>(strokes);
    case 5:
        return Days(Session500mTime(training));
    case 6:
        return SessionStrokeRate(training);
    default:
        return 0;
    }
}

QString FormatSessionParameter(const TTraining& training, int i) {
    return FormatParameterValue(SessionParameterFormat(i), GetSessionParameterValue(training, i));
}

QString FormatSessionParameterTrimmed(const TTraining& training, int i) {
    return (FormatSessionParameter(training, i) + QLatin1Char(' ') + SessionParameterUnit(i)).trimmed();
}

float GetSessionDriveRatio(const TTraining& training) {
    double sum = 0;
    int ratios = 0;
    const int strokes = HighestStrokeIndex(training);
    for (int i = 1; i <= strokes; ++i) {
        const float ratio = training.StrokeData[static_cast<std::size_t>(i)].DriveRatio;
        sum += ratio;
        ratios += ratio != 0 ? 1 : 0;
    }
    return SafeDivide(static_cast<float>(sum), static_cast<float>(ratios));
}

QString FormatSessionDriveRatioTrimmed(const TTraining& training) {
    return FormatStrokeValueTrimmed(kStrokeDriveRatio, GetSessionDriveRatio(training));
}

// ---------------------------------------------------------------------------------------------
// Split columns

QString SplitParameterUnit(int i) {
    return UnitOf(SplitParameters, i);
}
QString SplitParameterCaption(int i) {
    return CaptionOf(SplitParameters, i);
}
QString SplitParameterTitle(int i) {
    return Title(SplitParameterCaption(i), SplitParameterUnit(i));
}
