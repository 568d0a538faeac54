// Chart set-up of the parameter catalogue: axes from the stroke columns, stroke and force-curve
// series from a training, and the stored axis settings of a column table.
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/ForceCurveAverages.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/IniFiles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

int RollingCount = 65535;

namespace {

constexpr int kForceCurveCapacity = kForceCurveSamples;
constexpr int kCursorCapacity = 2;
constexpr int kAverageReach = 5; // strokes on each side of a moving average

int HighIndex(std::size_t size) {
    return size == 0 ? 0 : static_cast<int>(size) - 1;
}

bool IsTimeFormat(int column) {
    return StrokeParameterFormat(column).startsWith(QLatin1Char('T'));
}

TChartColor ColorOf(const TTraining& t) {
    return static_cast<TChartColor>(t.Header.Color) & 0x00FFFFFFu;
}

TChartColor Complement(TChartColor color) {
    return ~color & 0x00FFFFFFu;
}

// Column values of strokes 0..last (index = stroke number).
std::vector<double> ColumnValues(const TTraining& t, int column, int last) {
    std::vector<double> v(static_cast<std::size_t>(last) + 1, 0.0);
    if (column < 0) return v;
    for (int i = 0; i <= last && static_cast<std::size_t>(i) < t.StrokeData.size(); ++i)
        v[static_cast<std::size_t>(i)] =
            GetStrokeParameterValue(t.StrokeData[static_cast<std::size_t>(i)], column, t.Ini);
    return v;
}

struct TSeriesLook {
    TVertAxis Axis = TVertAxis::Left;
    TChartColor Color = 0;
    std::uint8_t PenStyle = kPenSolid;
    int PenWidth = 1;
    TPointerStyle Pointer = TPointerStyle::Rectangle;
    bool Marks = false;
    int Column = -1;
};

// A new series on the look's axis in its colour; X and Y are times when their columns are.
TChartSeries& AddSeriesWithLook(TChartModel& chart, TSeriesKind kind, const TSeriesLook& look, int xColumn) {
    TChartSeries& s = chart.AddSeries(kind);
    s.VertAxis = look.Axis;
    s.Color = look.Color;
    s.MarksColor = look.Color;
    s.XDateTime = IsTimeFormat(xColumn);
    s.YDateTime = IsTimeFormat(look.Column);
    return s;
}

void AddValueSeries(TChartModel& chart, TSeriesKind kind, const TSeriesLook& look, int xColumn,
                    const std::vector<double>& xs, const std::vector<double>& ys, int first, int last) {
    TChartSeries& s = AddSeriesWithLook(chart, kind, look, xColumn);
    s.PenStyle = look.PenStyle;
    s.PenWidth = look.PenWidth;
    s.Pointer = look.Pointer;
    s.MarksVisible = look.Marks;
    s.MarksFormat = StrokeParameterFormat(look.Column);
    for (int i = first; i <= last; ++i) {
        const double x = xs[static_cast<std::size_t>(i)];
        const double y = ys[static_cast<std::size_t>(i)];
        if (x > 0 && y > 0) s.AddXY(x, y, look.Color);
    }
}

// Mean of the positive values of the strokes around each one (2 <= j <= last), plotted while a
// positive value lies at or after the stroke.
void AddMovingAverage(TChartModel& chart, const TSeriesLook& look, int xColumn, const std::vector<double>& xs,
                      const std::vector<double>& ys, int first, int last) {
    // A thin solid line whatever the values' pen.
    TChartSeries& s = AddSeriesWithLook(chart, TSeriesKind::Line, look, xColumn);
    for (int i = first; i <= last; ++i) {
        double sum = 0;
        int count = 0;
        int lastPositive = -1;
        for (int j = std::max(i - kAverageReach, 2); j <= std::min(i + kAverageReach, last); ++j) {
            const double y = ys[static_cast<std::size_t>(j)];
            if (y > 0) {
                sum += y;
                ++count;
                lastPositive = j;
            }
        }
        const double mean = count > 0 ? sum / count : 0;
        const double x = xs[static_cast<std::size_t>(i)];
        if (x > 0 && mean > 0 && i <= lastPositive) s.AddXY(x, mean, look.Color);
    }
}

// The curve as drawn: stretched to the reference length and scaled to the reference force.
void AddCurveSeries(TChartSeries& s, const TStgStrokeData& stroke, const TStgForceCurve& curve, double spacing,
                    bool fixedForce, bool scaleLength, double referenceForce, double referenceLength) {
    const TCurveScaling scaling{fixedForce, referenceForce, scaleLength, referenceLength};
    const std::array<double, kForceCurveSamples> samples = ScaleForceCurve(stroke, curve, scaling);
    for (int k = 1; k <= kForceCurveSamples; ++k)
        s.AddXY(k * spacing, samples[static_cast<std::size_t>(k - 1)], s.Color);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Axes

void SetupParameterAxis(TChartAxis& axis, const TTraining& training, int column, bool useDefaults,
                        bool allowRange) {
    if (column < 0 || column >= static_cast<int>(StrokeParameters.size())) return;
    const ParameterType& row = StrokeParameters[static_cast<std::size_t>(column)];
    const double w = static_cast<double>(row.AxisMax) - row.AxisMin;
    std::uint8_t mode = row.AxisMode;
    if (mode == kAxisRange && !allowRange) mode = kAxisDouble;

    if (mode == kAxisManual) {
        axis.SetMinMax(row.AxisMin, row.AxisMax);
        axis.Increment = row.AxisIncrement;
        return;
    }
    if (mode != kAxisDouble && mode != kAxisRange) {
        axis.SetAutomatic();
        return;
    }

    double lo = useDefaults ? row.AxisMin : axis.Minimum;
    double hi = useDefaults ? row.AxisMax : axis.Maximum;
    const int last = HighIndex(training.StrokeData.size());
    auto value = [&](int i) {
        return static_cast<double>(
            GetStrokeParameterValue(training.StrokeData[static_cast<std::size_t>(i)], column, training.Ini));
    };

    if (mode == kAxisDouble) {
        // The maximum grows only after two successive strokes above it, then by the column's
        // width for every further stroke above it.
        int above = 0;
        for (int i = 2; i <= last; ++i) {
            const double v = value(i);
            if (above >= 2 && v > hi)
                hi += w;
            else if (v > hi)
                ++above;
            else
                above = 0;
        }
        axis.SetMinMax(lo, hi);
        axis.Increment = (hi - lo) / 10;
        return;
    }

    // Range: the window moves up in half widths until the recent mean lies inside it.
    int reference = training.Header.CurrentStroke;
    if (reference < last) {
        for (int i = last; i >= 1; --i)
            if (value(i) > 0) {
                reference = i;
                break;
            }
    }
    double sum = 0;
    int count = 0;
    if (reference >= 1 && reference <= last) {
        for (int i = std::max(reference - 9, 1); i <= reference; ++i) {
            const double v = value(i);
            if (v > 0) {
                sum += v;
                ++count;
            }
        }
    }
    const double mean = count > 0 ? sum / count : w / 2;
    const double k = (w != 0 && mean >= hi) ? std::nearbyint((mean - hi) / (w / 2)) + 1 : 0;
    axis.SetMinMax(lo + k * w / 2, hi + k * w / 2);
    axis.Increment = w / 10;
}

void SetWholeNumberAxes(TChartModel& chart, int xColumn, int yColumn, int zColumn) {
    chart.Bottom.WholeNumbers = StrokeParameterWhole(xColumn);
    chart.Left.WholeNumbers = StrokeParameterWhole(yColumn);
    chart.Right.WholeNumbers = StrokeParameterWhole(zColumn);
}

// ---------------------------------------------------------------------------------------------
// Series

void CreateStrokeSeries(TChartModel& chart, const TTraining& training, int xColumn, int yColumn,
                        int zColumn, bool showY, bool yAverage, bool yMarks, bool showZ, bool zAverage,
                        bool zMarks, bool invertZColour, bool useDefaults, bool rolling, bool showCursor) {
    const int high = HighIndex(training.StrokeData.size());
    int first = 2;
    int last = high;
    if (rolling) {
        last = 0;
        for (int i = high; i >= 2; --i)
            if (training.StrokeData[static_cast<std::size_t>(i)].Distance > 0) {
                last = i;
                break;
            }
        if (RollingCount + 1 < last) first = last - RollingCount;
    }
    chart.DefaultCapacity = std::clamp(last - first + 1, 0, std::max(RollingCount, 0));

    const TSeriesKind kind =
        StrokeParameterSeriesKind(xColumn) == kSeriesLine ? TSeriesKind::Line : TSeriesKind::Points;
    const std::vector<double> xs = ColumnValues(training, xColumn, high);
    const TChartColor color = ColorOf(training);

    if (showY) {
        if (yColumn >= 0) SetupParameterAxis(chart.Left, training, yColumn, useDefaults, rolling);
        const std::vector<double> ys = ColumnValues(training, yColumn, high);
        TSeriesLook look;
        look.Axis = TVertAxis::Left;
        look.Color = color;
        look.Column = yColumn;
        look.Marks = yMarks;
        if (kind == TSeriesKind::Line) {
            look.PenStyle = training.Header.PenStyle;
            look.PenWidth = training.Header.PenWidth;
        }
        AddValueSeries(chart, kind, look, xColumn, xs, ys, first, last);
        if (yAverage && kind == TSeriesKind::Line) AddMovingAverage(chart, look, xColumn, xs, ys, first, last);
    }

    if (showZ) {
        if (zColumn >= 0) SetupParameterAxis(chart.Right, training, zColumn, useDefaults, rolling);
        const std::vector<double> zs = ColumnValues(training, zColumn, high);
        TSeriesLook look;
        look.Axis = TVertAxis::Right;
        look.Color = invertZColour ? Complement(color) : color;
        look.Column = zColumn;
        look.Marks = zMarks;
        look.Pointer = TPointerStyle::Circle;
        if (kind == TSeriesKind::Line) look.PenWidth = invertZColour ? training.Header.PenWidth : 1;
        AddValueSeries(chart, kind, look, xColumn, xs, zs, first, last);
        if (zAverage && kind == TSeriesKind::Line) AddMovingAverage(chart, look, xColumn, xs, zs, first, last);
    }

    const int current = training.Header.CurrentStroke;
    if (showCursor && (showY || showZ) && kind == TSeriesKind::Line && current >= 1 && current <= high) {
        const TVertAxis which = showY ? TVertAxis::Left : TVertAxis::Right;
        const TChartAxis& axis = chart.VerticalAxis(which);
        double lo = axis.Minimum;
        double hi = axis.Maximum;
        // An automatic axis spans the data it shows.
        if (axis.Automatic && !ChartDataRangeY(chart, which, lo, hi)) return;
        chart.DefaultCapacity = kCursorCapacity;
        TChartSeries& s = chart.AddSeries(TSeriesKind::Line);
        s.VertAxis = which;
        s.Color = chart.Bottom.AxisColor;
        s.PenWidth = 3;
        s.XDateTime = IsTimeFormat(xColumn);
        const double x = xs[static_cast<std::size_t>(current)];
        s.AddXY(x, lo, s.Color);
        s.AddXY(x, hi, s.Color);
    }
}

void CreateForceCurveSeries(TChartModel& chart, const TTraining& training, bool fixedForce,
                            bool scaleLength, bool showAll, double referenceForce, double referenceLength) {
    if (!training.Header.Active) return;
    const double spacing = ForceCurveSampleSpacing(training.Ini);
    // Strokes that have both a stroke record and a curve.
    const int last = HighIndex(std::min(training.StrokeData.size(), training.ForceCurves.size()));
    const int current = training.Header.CurrentStroke;
    const TChartColor color = ColorOf(training);
    chart.DefaultCapacity = kForceCurveCapacity;

    if (showAll && last >= 1 && current > 0) {
        for (int i = 1; i <= last; ++i) {
            TChartSeries& s = chart.AddSeries(TSeriesKind::Line);
            s.Color = Complement(color);
            s.PenStyle = training.Header.PenStyle;
            s.PenWidth = training.Header.PenWidth;
            AddCurveSeries(s, training.StrokeData[static_cast<std::size_t>(i)],
                           training.ForceCurves[static_cast<std::size_t>(i)], spacing, fixedForce, scaleLength,
                           referenceForce, referenceLength);
        }
    }

    TChartSeries& shown = chart.AddSeries(TSeriesKind::Line);
    shown.Color = color;
    shown.PenStyle = training.Header.PenStyle;
    shown.PenWidth = training.Header.PenWidth;
    if (training.StrokeData.size() < 2 || current < 1) return;
    if (const TShownCurve c = ShownCurve(training))
        AddCurveSeries(shown, *c.Stroke, *c.Curve, spacing, fixedForce, scaleLength, referenceForce, referenceLength);
}

// ---------------------------------------------------------------------------------------------
// Stored axis settings

bool ApplyParameterSetting(const QString& text, ParameterType& row) {
    // Items 1..3 end at the first, second and third blank; item 4 is the rest. A missing blank
    // makes the item empty, and an empty item ends the key.
    std::array<QString, 4> items;
    QString rest = text;
    for (int n = 0; n < 3; ++n) {
        const qsizetype blank = rest.indexOf(QLatin1Char(' '));
        if (blank < 0) {
            rest.clear();
            break;
        }
        items[static_cast<std::size_t>(n)] = rest.left(blank).trimmed();
        rest = rest.mid(blank + 1);
    }
    items[3] = rest.trimmed();

    ParameterType result = row;
    try {
        for (std::size_t n = 0; n < items.size(); ++n) {
            if (items[n].isEmpty()) break;
            if (n == 0) {
                bool ok = false;
                const int mode = items[n].toInt(&ok);
                if (!ok || mode < kAxisAuto || mode > kAxisRange) return false;
                result.AxisMode = static_cast<std::uint8_t>(mode);
                continue;
            }
            // Checked as a double (always finite): a value beyond the float range must not be
            // converted.
            const double v = StrToFloatAnySep(items[n]);
            if (std::fabs(v) > std::numeric_limits<float>::max()) return false;
            (n == 1 ? result.AxisMin : n == 2 ? result.AxisMax : result.AxisIncrement) = static_cast<float>(v);
        }
    } catch (const std::invalid_argument&) {
        return false;
    }
    if (!(result.AxisMin < result.AxisMax) || !(result.AxisIncrement > 0)) return false;
    row = result;
    return true;
}

namespace {

QString ShortestText(float value) {
    std::array<char, 32> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return QString::fromLatin1(buf.data(), r.ptr - buf.data());
}

QString ParameterKey(std::size_t row) {
    return QStringLiteral("Parameter%1").arg(row);
}

} // namespace

QString ParameterSettingText(const ParameterType& row) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(row.AxisMode)
        .arg(ShortestText(row.AxisMin), ShortestText(row.AxisMax), ShortestText(row.AxisIncrement));
}

void LoadParameterSettings(const TIniFile& ini, const QString& section, TParameterTable& table) {
    for (std::size_t i = 0; i < table.size(); ++i)
        ApplyParameterSetting(ini.ReadString(section, ParameterKey(i), QString()), table[i]);
}

void SaveParameterSettings(TIniFile& ini, const QString& section, const TParameterTable& table) {
    for (std::size_t i = 0; i < table.size(); ++i)
        ini.WriteString(section, ParameterKey(i), ParameterSettingText(table[i]));
    ini.UpdateFile();
}

void LoadParameterSettings(const QString& section, TParameterTable& table) {
    const TIniFile ini(GetUserIniFileName(false));
    LoadParameterSettings(ini, section, table);
}

void SaveParameterSettings(const QString& section, const TParameterTable& table) {
    // Empty when no settings file can be written.
    const QString name = GetUserIniFileName(true);
    if (name.isEmpty()) return;
    TIniFile ini(name);
    SaveParameterSettings(ini, section, table);
}
