// The chart component of the windows: draws a chart description (foundation/ChartModel.h) on
// QCustomPlot. Bottom, left, right and top axes; line and point series; time axes labelled with
// the catalogue's formatter (values in days); rubber-band zoom with an animated return; the
// chart's picture for the clipboard and for .bmp files.
//
// Zoom: dragging a rectangle from its top left to its bottom right zooms into it; dragging the
// other way returns to the description's limits. A zoom stays while the description changes
// (points added, limits moved) as long as its axes keep their titles; unzoomed, the axes take
// the description's limits at every Refresh.
#pragma once

#include "foundation/catalogue/ChartModel.h"

#include <QImage>
#include <QPointer>
#include <qcustomplot.h>

class QRubberBand;
class QVariantAnimation;

// Tick steps and labels of one axis: a fixed increment when the description gives one, time
// labels through FormatParameterValue for axes of day values.
class TChartAxisTicker : public QCPAxisTicker {
public:
    double Increment = 0;   // > 0: fixed step
    QString TimeFormat;     // not empty: time labels, e.g. "nn:ss"
    bool ExactDateTime = true;
    bool WholeNumbers = false;  // whole steps of at least 1

protected:
    double getTickStep(const QCPRange& range) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;
    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks, QVector<QString>* tickLabels) override;
};

class TChartWidget : public QCustomPlot {
    Q_OBJECT
public:
    explicit TChartWidget(QWidget* parent = nullptr);
    ~TChartWidget() override;

    // Takes a copy of the description and draws it (any zoom is dropped).
    void SetModel(const TChartModel& model);
    void SetModel(TChartModel&& model);
    const TChartModel& Model() const { return FModel; }
    // Change the description in place, then call Refresh (which keeps a zoom, see above).
    TChartModel& EditModel() { return FModel; }
    void Refresh();

    // A force chart's length labels (bottom axis, up to three digits) every 10 while they fit
    // side by side in the plot (the chart less its left axis), else every 20 or 40; the chart is
    // refreshed when the step changes. Called after each change of the chart's size.
    void FitLengthLabelStep();

    // The first `count` series of the description are live: drawn on a layer of their own,
    // which ReplotLive redraws without the rest of the chart (axes, other series).
    void SetLiveSeries(int count);
    // Redraws the live series after a change of their points alone, queued as a replot is.
    // The axes' limits must not have changed meanwhile (then Refresh).
    void ReplotLive();

    // The axis limits the description gives (automatic axes: the data's extent).
    QCPRange HomeRange(const QCPAxis* axis) const;
    QCPAxis* AxisOf(TVertAxis which) const { return which == TVertAxis::Left ? yAxis : yAxis2; }

    // Zoom into a rectangle of widget pixels / back to the description's limits; animated when
    // the description asks for it.
    void ZoomToRect(const QRect& pixels);
    void UndoZoom();
    bool Zoomed() const { return FZoomed; }
    bool ZoomAnimating() const;
    void FinishZoomAnimation(); // jumps to the end of a running animation

    // The chart as it is drawn, on an opaque background (a clear chart on `background`).
    QImage ChartPicture(const QColor& background = Qt::white);
    void CopyChartPicture(const QColor& background = Qt::white);
    bool SaveChartPicture(const QString& fileName, const QColor& background = Qt::white);

protected:
    // A resize queues its replot, so that the resizes of one layout pass and a pending Refresh
    // share one replot.
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct TRanges {
        QCPRange Bottom, Left, Right, Top;
    };
    TChartModel FModel;
    TRanges FHome;
    bool FZoomed = false;
    QPoint FDragStart;
    bool FDragging = false;
    QRubberBand* FRubberBand = nullptr;
    QVariantAnimation* FAnimation = nullptr;
    TRanges FAnimFrom, FAnimTo;
    int FLiveSeries = 0;
    QCPLayer* FLiveLayer = nullptr;
    bool FLiveReplotQueued = false;
    QCPItemRect* FFrame = nullptr;
    QCPTextElement* FTitle = nullptr;

    void ApplyAxis(QCPAxis* axis, const TChartAxis& model, bool visible, bool timeValues);
    TRanges CurrentRanges() const;
    void SetRanges(const TRanges& ranges);
    void AnimateTo(const TRanges& target);
};

// The Qt pen of a record pen style (kPenSolid .. kPenClear; others solid).
Qt::PenStyle ToQtPenStyle(std::uint8_t style);

// The 16 standard colours of a 4-bit bitmap.
QList<QRgb> SixteenColourPalette();
// The image in those 16 colours (nearest colour, no dithering).
QImage ToSixteenColours(const QImage& image);
// Writes a Windows bitmap of 4 bits per pixel: complete or not at all (temporary file, rename).
// On failure `error` (when given) says why.
bool SaveImageAsBitmap(const QImage& image, const QString& fileName, QString* error = nullptr);
