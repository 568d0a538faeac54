#include "foundation/core/Types.h"

#include <cmath>

namespace {

// The stroke's value in one of the units intervals and sessions are counted in: 0 strokes,
// 1 energy, 2 distance, 3 time; 0 for any other unit.
double StrokeValueInUnit(const TStgStrokeData& stroke, std::int32_t unit) {
    switch (unit) {
    case 0:
        return stroke.Number;
    case 1:
        return stroke.EnergySum;
    case 2:
        return stroke.Distance;
    case 3:
        return stroke.Time;
    default:
        return 0;
    }
}

// The settings field that `index` picks from the fields given; 0 outside them.
template <std::size_t N>
std::int32_t PickField(const TStgIni& ini, const std::array<std::int32_t TStgIni::*, N>& fields,
                       std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? ini.*fields[static_cast<std::size_t>(index)] : 0;
}

constexpr std::array<std::int32_t TStgIni::*, 4> kWorkFields{&TStgIni::WorkStrokes, &TStgIni::WorkEnergy,
                                                             &TStgIni::WorkDistance, &TStgIni::WorkTime};
constexpr std::array<std::int32_t TStgIni::*, 4> kRestFields{&TStgIni::RestStrokes, &TStgIni::RestEnergy,
                                                             &TStgIni::RestDistance, &TStgIni::RestTime};
constexpr std::array<std::int32_t TStgIni::*, 5> kLimitFields{&TStgIni::LimitStrokes, &TStgIni::LimitEnergy,
                                                              &TStgIni::LimitDistance, &TStgIni::LimitTime,
                                                              &TStgIni::LimitIntervals};

} // namespace

double GetStrokeValueByIntervalType(const TStgStrokeData& stroke, const TStgIni& ini) {
    return StrokeValueInUnit(stroke, ini.IntervalBy);
}

double GetIntervalWork(const TStgIni& ini) {
    return PickField(ini, kWorkFields, ini.IntervalBy);
}

double GetIntervalRest(const TStgIni& ini) {
    return PickField(ini, kRestFields, ini.IntervalBy);
}

double GetStrokeValueByTrainingType(const TStgStrokeData& stroke, const TStgIni& ini) {
    // Limit 4 counts intervals: the stroke's interval number.
    return ini.SessionLimit == 4 ? stroke.IntervalNumber : StrokeValueInUnit(stroke, ini.SessionLimit);
}

std::int32_t GetTrainingTarget(const TStgIni& ini) {
    return PickField(ini, kLimitFields, ini.SessionLimit);
}

bool StrokeHasNoPower(const TStgStrokeData& stroke) {
    return stroke.Power == 0.0f;
}

ParameterType MakeParameter(std::int32_t id, std::uint8_t axisMode, std::uint8_t seriesKind, float axisMin,
                            float axisMax, float axisIncrement, const QString& unit, const QString& caption,
                            const QString& longCaption, const QString& format) {
    ParameterType p;
    p.Id = id;
    p.AxisMode = axisMode;
    p.SeriesKind = seriesKind;
    p.AxisMin = axisMin;
    p.AxisMax = axisMax;
    p.AxisIncrement = axisIncrement;
    p.Unit = unit;
    p.Caption = caption;
    p.LongCaption = longCaption;
    p.Format = format;
    return p;
}

double ForceCurveSampleSpacing(const TStgIni& ini) {
    if (ini.Ergometer == 2) return 4.5; // Veltro Slider, whatever the sprocket
    if (ini.Sprocket != 0) return 2.2;
    return 2.0;
}

// std::nearbyint rounds ties to even in the default rounding mode.
float RoundSingle(float value) {
    return static_cast<float>(std::nearbyint(static_cast<double>(value)));
}

float RoundToEighth(float value) {
    return static_cast<float>(std::nearbyint(static_cast<double>(value) * 8.0) / 8.0);
}
