// The parameter catalogue: every value a grid, chart, value display or results view can show,
// as columns of four tables (stroke, interval, session and split values), with the formulas
// that compute the values from the training record and the one formatter for all of them.
//
// Time-valued columns hold days (seconds / 86400), values and axis limits alike, so that charts
// can show them as times. Out-of-range column indexes are harmless everywhere: empty texts,
// value 0, series kind 1 (points).
#pragma once

#include "foundation/core/Types.h"

#include <QString>
#include <cstdint>
#include <vector>

using TParameterTable = std::vector<ParameterType>;

inline constexpr int kStrokeParameterCount = 42;
inline constexpr int kIntervalParameterCount = 22;
inline constexpr int kSessionParameterCount = 7;
inline constexpr int kSplitParameterCount = 21;

// Axis modes (AxisModeNames) and series kinds of ParameterType.
inline constexpr std::uint8_t kAxisAuto = 0;
inline constexpr std::uint8_t kAxisDouble = 1;
inline constexpr std::uint8_t kAxisManual = 2;
inline constexpr std::uint8_t kAxisRange = 3;
inline constexpr std::uint8_t kSeriesLine = 0;
inline constexpr std::uint8_t kSeriesPoints = 1;

// The tables, built once at start-up (stroke, interval, session, split, in that order) and then
// adjusted by the stored axis settings. Row i describes column i.
extern TParameterTable StrokeParameters;
extern TParameterTable IntervalParameters;
extern TParameterTable SessionParameters;
extern TParameterTable SplitParameters;

// Id -> row index, as long as the largest Id + 1; -1 for an Id no row has. The stroke table's
// rows 4 and 26..41 have Id -1 and are left out.
extern std::vector<int> StrokeParameterIndex;
extern std::vector<int> IntervalParameterIndex;
extern std::vector<int> SessionParameterIndex;
extern std::vector<int> SplitParameterIndex;

void BuildStrokeParameters();
void BuildIntervalParameters();
void BuildSessionParameters();
void BuildSplitParameters();
// All four tables, as the program builds them at start.
void BuildParameterTables();

// Formats one column value. Format "T...": a time, Value in days ("h"/"hh" hours, "nn"
// minutes, "ss" seconds, ".0"/".00"/".000" cut fractions of a second); "F...": a reciprocal
// ratio, "n/a" for 0, else "1:" and the rest applied to 1 / Value; otherwise one
// %[flags][width][.precision]f or d conversion with literal text around it. A format of any
// other shape gives the value as a plain number; an empty format gives an empty text.
QString FormatParameterValue(const QString& format, double value);

// Stroke columns (0..41). The session limit of `ini` drives the projected/remaining columns.
QString StrokeParameterUnit(int i);
QString StrokeParameterCaption(int i);
QString StrokeParameterLongCaption(int i);
QString StrokeParameterFormat(int i);
QString StrokeParameterTitle(int i);     // "Caption (unit)", or the caption alone
QString StrokeParameterLongTitle(int i); // the same with the long caption
std::uint8_t StrokeParameterSeriesKind(int i);
bool StrokeParameterWhole(int i);  // shown without a fraction: counts, watts, metres ...
float GetStrokeParameterValue(const TStgStrokeData& stroke, int i, const TStgIni& ini);
QString FormatStrokeParameter(const TStgStrokeData& stroke, int i, const TStgIni& ini);
// A value of stroke column i (a stroke's, or a maximum or mean of strokes): "value unit", trimmed.
QString FormatStrokeValueTrimmed(int i, double value);
inline constexpr int kStrokeDriveRatio = 20;

// Interval columns (0..21), from one finished interval and its average stroke.
QString IntervalParameterUnit(int i);
QString IntervalParameterCaption(int i);
QString IntervalParameterLongCaption(int i);
QString IntervalParameterFormat(int i);
QString IntervalParameterTitle(int i);
float GetIntervalParameterValue(const TStgInterval& interval, int i);
QString FormatIntervalParameter(const TStgInterval& interval, int i);

// Session columns (0..6), from a training's totals. The averages (power, 500 m time, stroke rate)
// are those of its strokes: their own values, weighted by the time (the 500 m time by the
// distance) each stroke covered, so that they lie within the strokes' range; the totals give
// them only for a training without such stroke values.
QString SessionParameterUnit(int i);
QString SessionParameterCaption(int i);
QString SessionParameterLongCaption(int i);
QString SessionParameterFormat(int i);
QString SessionParameterTitle(int i);
float GetSessionParameterValue(const TTraining& training, int i);
QString FormatSessionParameter(const TTraining& training, int i);
QString FormatSessionParameterTrimmed(const TTraining& training, int i); // "value unit", trimmed
// The session's average drive : recover ratio, shown by every view as stroke column 20 shows
// ratios: the mean of its strokes' ratios, a stroke without one (its recovery was not measured
// whole) left out; 0 without any.
float GetSessionDriveRatio(const TTraining& training);
QString FormatSessionDriveRatioTrimmed(const TTraining& training);

// Split columns (0..20): texts only; split values are computed by the windows that show them.
QString SplitParameterUnit(int i);
QString SplitParameterCaption(int i);
QString SplitParameterTitle(int i);

// ---------------------------------------------------------------------------------------------
// Chart set-up: axes from the stroke columns, series from trainings, stored axis settings.

#include "foundation/catalogue/ChartModel.h"

class TIniFile;

// How many strokes before the last one a rolling chart shows (at least 5 once the stroke table
// is built).
extern int RollingCount;

// Sets an axis from stroke column `column`'s axis mode (nothing for a column outside the table).
// UseDefaults starts Double and Range from the column's limits, otherwise from the axis's own;
// Range is allowed only in rolling charts, elsewhere it acts as Double.
void SetupParameterAxis(TChartAxis& axis, const TTraining& training, int column, bool useDefaults,
                        bool allowRange);

// Adds the series of one training: X against Y on the left axis and Z on the right axis, with
// moving averages and the cursor at the current stroke. Y or Z -1: no axis set-up.
void CreateStrokeSeries(TChartModel& chart, const TTraining& training, int xColumn, int yColumn,
                        int zColumn, bool showY, bool yAverage, bool yMarks, bool showZ, bool zAverage,
                        bool zMarks, bool invertZColour, bool useDefaults, bool rolling, bool showCursor);

// The bottom, left and right axes of stroke columns shown without a fraction (counts, watts)
// label whole numbers only; -1 or a column with a fraction: any step.
void SetWholeNumberAxes(TChartModel& chart, int xColumn, int yColumn, int zColumn);

// Adds the force-curve series of one active training: every stroke's curve when ShowAll, then the
// curve its CurveMode shows. ScaleLength draws each curve as if its stroke were ReferenceLength
// long, FixedForce scales each peak to ReferenceForce.
void CreateForceCurveSeries(TChartModel& chart, const TTraining& training, bool fixedForce,
                            bool scaleLength, bool showAll, double referenceForce, double referenceLength);

// The "Parameter<i>" keys of every row of a table: "mode min max increment", the numbers written
// with '.' and read with either separator. A key that does not make a valid axis (mode outside
// 0..3, minimum not below maximum, increment not above 0, text that is no number) leaves its row
// as it was. Without a file name the user's settings file is used; saving skips a file that
// cannot be written.
void LoadParameterSettings(const TIniFile& ini, const QString& section, TParameterTable& table);
void SaveParameterSettings(TIniFile& ini, const QString& section, const TParameterTable& table);
void LoadParameterSettings(const QString& section, TParameterTable& table);
void SaveParameterSettings(const QString& section, const TParameterTable& table);
// One key's text applied to a row; false (row unchanged) when it does not make a valid axis.
bool ApplyParameterSetting(const QString& text, ParameterType& row);
QString ParameterSettingText(const ParameterType& row);
