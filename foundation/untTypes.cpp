#include "foundation/untTypes.h"

#include <cmath>

double GetStrokeValueByIntervalType(const TStgStrokeData& stroke, const TStgIni& ini) {
    switch (ini.IntervalBy) {
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

double GetIntervalWork(const TStgIni& ini) {
    switch (ini.IntervalBy) {
    case 0:
        return ini.WorkStrokes;
    case 1:
        return ini.WorkEnergy;
    case 2:
        return ini.WorkDistance;
    case 3:
        return ini.WorkTime;
    default:
        return 0;
    }
}

double GetIntervalRest(const TStgIni& ini) {
    switch (ini.IntervalBy) {
    case 0:
        return ini.RestStrokes;
    case 1:
        return ini.RestEnergy;
    case 2:
        return ini.RestDistance;
    case 3:
        return ini.RestTime;
    default:
        return 0;
    }
}

double GetStrokeValueByTrainingType(const TStgStrokeData& stroke, const TStgIni& ini) {
    switch (ini.SessionLimit) {
    case 0:
        return stroke.Number;
    case 1:
        return stroke.EnergySum;
    case 2:
        return stroke.Distance;
    case 3:
        return stroke.Time;
    case 4:
        return stroke.IntervalNumber;
    default:
        return 0;
    }
}

std::int32_t GetTrainingTarget(const TStgIni& ini) {
    switch (ini.SessionLimit) {
    case 0:
        return ini.LimitStrokes;
    case 1:
        return ini.LimitEnergy;
    case 2:
        return ini.LimitDistance;
    case 3:
        return ini.LimitTime;
    case 4:
        return ini.LimitIntervals;
    default:
        return 0;
    }
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
