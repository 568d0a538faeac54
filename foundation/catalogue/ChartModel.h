// A chart as plain data: four axes and a list of line and point series. The catalogue fills it
// from trainings without any widget; the chart widget of the window library draws it.
//
// Values on time axes are days (seconds / 86400), like every time column of the catalogue.
// Colours are COLORREF values (0x00BBGGRR).
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

using TChartColor = std::uint32_t;

// Pen styles in the order the training record stores them (Header.PenStyle).
inline constexpr std::uint8_t kPenSolid = 0;
inline constexpr std::uint8_t kPenDash = 1;
inline constexpr std::uint8_t kPenDot = 2;
inline constexpr std::uint8_t kPenDashDot = 3;
inline constexpr std::uint8_t kPenDashDotDot = 4;
inline constexpr std::uint8_t kPenClear = 5;

struct TChartFont {
    QString Name = QStringLiteral("Arial");
    int Height = -13; // negative: pixels, positive: points
    TChartColor Color = 0;
    bool Bold = false;
    bool Italic = false;
    bool operator==(const TChartFont&) const = default;
};

struct TChartAxis {
    bool Visible = true;
    // Automatic limits follow the data; otherwise Minimum and Maximum hold. An increment of 0
    // lets the labels choose their own step.
    bool Automatic = true;
    double Minimum = 0;
    double Maximum = 0;
    double Increment = 0;
    QString Title;
    int TitleAngle = 0; // degrees; 90 turns a vertical axis's title
    TChartFont TitleFont;
    TChartFont LabelFont;
    // Labels of time values: the time part of a catalogue format ("nn:ss", "h:nn:ss").
    QString DateTimeFormat = QStringLiteral("nn:ss");
    bool ExactDateTime = true; // time labels at whole seconds, minutes ...
    bool WholeNumbers = false; // labels at whole numbers only (counts: no stroke 0.2)
    TChartColor AxisColor = 0; // line and tick colour

    void SetAutomatic() { Automatic = true; }
    // Fixed limits, taken in either order.
    void SetMinMax(double minimum, double maximum);
};

enum class TSeriesKind : std::uint8_t { Line, Points };
enum class TPointerStyle : std::uint8_t { Rectangle, Circle };
enum class TVertAxis : std::uint8_t { Left, Right };

struct TChartPoint {
    double X = 0;
    double Y = 0;
    TChartColor Color = 0;
    bool operator==(const TChartPoint&) const = default;
};

struct TChartSeries {
    TSeriesKind Kind = TSeriesKind::Line;
    QString Title;
    TChartColor Color = 0; // the pen of lines, the fill of pointers
    std::uint8_t PenStyle = kPenSolid;
    int PenWidth = 1;
    TPointerStyle Pointer = TPointerStyle::Rectangle;
    int PointerHorizSize = 3; // half the pointer's width in pixels
    int PointerVertSize = 3;
    bool MarksVisible = false; // a value label at every point
    TChartColor MarksColor = 0xFFFFFF; // label background
    QString MarksFormat;               // catalogue format of the labels (the Y column's)
    TVertAxis VertAxis = TVertAxis::Left;
    bool XDateTime = false; // X values are days
    bool YDateTime = false; // Y values are days
    std::vector<TChartPoint> Points;

    void AddXY(double x, double y, TChartColor color) { Points.push_back({x, y, color}); }
    bool operator==(const TChartSeries&) const = default;
};

// The right axis is drawn only while a series uses it; the top axis carries no series and starts
// hidden.
struct TChartModel {
    TChartAxis Bottom;
    TChartAxis Left;
    TChartAxis Right;
    TChartAxis Top;
    std::vector<TChartSeries> Series;
    bool BackClear = true; // no back brush: the parent shows through
    TChartColor BackColor = 0xFFFFFF;
    bool FrameVisible = false;
    bool LegendVisible = false;
    bool TitleVisible = false;
    QString Title;
    bool AnimatedZoom = true;
    int MarginLeft = 5; // pixels around the axes
    int MarginTop = 5;
    int MarginRight = 5;
    int MarginBottom = 5;
    // How many points a new series reserves room for (the series grow beyond it as needed).
    int DefaultCapacity = 1000;

    TChartModel();
    // A new series at the end, reserving DefaultCapacity points.
    TChartSeries& AddSeries(TSeriesKind kind);
    void FreeAllSeries() { Series.clear(); }
    TChartAxis& VerticalAxis(TVertAxis which) { return which == TVertAxis::Left ? Left : Right; }
    const TChartAxis& VerticalAxis(TVertAxis which) const {
        return which == TVertAxis::Left ? Left : Right;
    }
};

// The extent of the Y values of every series on one vertical axis (of the X values on the
// bottom axis). False when that axis has no point.
bool ChartDataRangeY(const TChartModel& chart, TVertAxis axis, double& minimum, double& maximum);
bool ChartDataRangeX(const TChartModel& chart, double& minimum, double& maximum);
