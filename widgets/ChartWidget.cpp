#include "widgets/ChartWidget.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "platform/AtomicFile.h"
#include "widgets/UiUtils.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMouseEvent>
#include <QRubberBand>
#include <QBuffer>
#include <QVariantAnimation>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int kZoomAnimationMs = 250;
constexpr int kDragThreshold = 3;       // pixels a drag must cover to zoom or unzoom
constexpr double kPixelLimit = 1.0e7;   // far outside any widget; keeps the rasteriser in range
constexpr int kMaxFixedTicks = 1000;    // a fixed increment giving more ticks is ignored
constexpr int kLabelGapPixels = 8;      // between two labels of the bottom axis
const QString kLiveLayer = QStringLiteral("live");
constexpr std::size_t kAllSeries = std::numeric_limits<std::size_t>::max();

QFont ToQFont(const TChartFont& f) {
    QFont font(f.Name);
    if (f.Height < 0)
        font.setPixelSize(-f.Height);
    else if (f.Height > 0)
        font.setPointSize(f.Height);
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    return font;
}

double ClampPixel(double v) {
    return std::clamp(v, -kPixelLimit, kPixelLimit);
}

// Consecutive points in one column as wide as the pen draw one upright stroke there: the first,
// the lowest, the highest and the last of them, in their order, draw the same, so a line of
// thousands of strokes costs what the chart's width costs.
void KeepColumnExtremes(std::vector<QPointF>& pixels, double width) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < pixels.size();) {
        const double column = std::floor(pixels[i].x() / width);
        std::size_t lo = i, hi = i, j = i + 1;
        for (; j < pixels.size() && std::floor(pixels[j].x() / width) == column; ++j) {
            if (pixels[j].y() < pixels[lo].y()) lo = j;
            if (pixels[j].y() > pixels[hi].y()) hi = j;
        }
        // Ascending, and never ahead of what is still to be read.
        const std::size_t keep[] = {i, std::min(lo, hi), std::max(lo, hi), j - 1};
        for (std::size_t k = 0; k < 4; ++k)
            if (k == 0 || keep[k] != keep[k - 1]) pixels[out++] = pixels[keep[k]];
        i = j;
    }
    pixels.resize(out);
}

// A wide pen strokes a polyline as one outline, and filling that grows far faster than its
// length. A solid line up to 3 pixels wide is drawn as separate segments, which the rasteriser
// fills directly (a join loses at most a pixel at its outer corner); wider or dashed lines go in
// pieces of a few dozen points: a solid line's pieces share a segment, so that every join is
// drawn; a dashed line's share a point and carry the pattern on.
void DrawPolyline(QPainter* painter, QPen pen, const std::vector<QPointF>& pixels) {
    constexpr int kPiece = 16;
    constexpr double kSegmentsUpTo = 3;
    const int n = static_cast<int>(pixels.size());
    painter->setPen(pen);
    if (pen.widthF() <= 1 || n <= kPiece) {
        painter->drawPolyline(pixels.data(), n);
        return;
    }
    const bool solid = pen.style() == Qt::SolidLine;
    if (solid && pen.widthF() <= kSegmentsUpTo) {
        std::vector<QLineF> lines;
        lines.reserve(pixels.size());
        for (std::size_t k = 1; k < pixels.size(); ++k)
            lines.emplace_back(pixels[k - 1], pixels[k]);
        painter->drawLines(lines.data(), int(lines.size()));
        return;
    }
    const double offset = pen.dashOffset();
    double walked = 0;  // along the line up to the piece's first point
    for (int start = 0; start < n - 1;) {
        const int count = std::min(kPiece, n - start);
        if (!solid)
            pen.setDashOffset(offset + walked / pen.widthF());
        painter->setPen(pen);
        painter->drawPolyline(pixels.data() + start, count);
        const int next = start + count - (solid && start + count < n ? 2 : 1);
        for (int k = start; k < next; ++k)
            walked += QLineF(pixels[std::size_t(k)], pixels[std::size_t(k) + 1]).length();
        start = next;
    }
}

// The series [first, end) of the description, drawn straight from their points in series order:
// one plottable for the whole chart (apart from its live series) keeps thousands of force curves
// cheap.
class TSeriesPlottable : public QCPAbstractPlottable {
public:
    TSeriesPlottable(QCPAxis* keyAxis, QCPAxis* leftAxis, QCPAxis* rightAxis, const TChartModel& model,
                     std::size_t first, std::size_t end)
        : QCPAbstractPlottable(keyAxis, leftAxis), FRightAxis(rightAxis), FModel(model), FFirst(first), FEnd(end) {
        setSelectable(QCP::stNone);
        setAntialiased(false);
    }

    double selectTest(const QPointF&, bool, QVariant*) const override { return -1; }

    QCPRange getKeyRange(bool& found, QCP::SignDomain domain) const override {
        return Extent(found, domain, [](const TChartSeries&, const TChartPoint& p, double& v) {
            v = p.X;
            return true;
        });
    }
    QCPRange getValueRange(bool& found, QCP::SignDomain domain, const QCPRange&) const override {
        return Extent(found, domain, [](const TChartSeries& s, const TChartPoint& p, double& v) {
            v = p.Y;
            return s.VertAxis == TVertAxis::Left;
        });
    }

protected:
    void draw(QCPPainter* painter) override {
        QCPAxis* kx = keyAxis();
        QCPAxis* left = valueAxis();
        if (!kx || !left || !FRightAxis) return;
        std::vector<QPointF> pixels;
        for (const TChartSeries& s : Shown()) {
            if (s.Points.empty()) continue;
            QCPAxis* vy = s.VertAxis == TVertAxis::Left ? left : FRightAxis.data();
            pixels.clear();
            pixels.reserve(s.Points.size());
            for (const TChartPoint& p : s.Points)
                pixels.emplace_back(ClampPixel(kx->coordToPixel(p.X)), ClampPixel(vy->coordToPixel(p.Y)));
            if (s.Kind == TSeriesKind::Line)
                DrawLine(painter, s, pixels);
            else
                DrawPointers(painter, s, pixels);
            if (s.MarksVisible) DrawMarks(painter, s, pixels);
        }
    }

    void drawLegendIcon(QCPPainter*, const QRectF&) const override {}

private:
    QPointer<QCPAxis> FRightAxis;
    const TChartModel& FModel;
    std::size_t FFirst;
    std::size_t FEnd;

    std::span<const TChartSeries> Shown() const {
        const std::size_t size = FModel.Series.size();
        const std::size_t first = std::min(FFirst, size);
        return std::span<const TChartSeries>(FModel.Series).subspan(first, std::min(FEnd, size) - first);
    }

    template <typename Pick> QCPRange Extent(bool& found, QCP::SignDomain domain, Pick pick) const {
        found = false;
        QCPRange range;
        for (const TChartSeries& s : Shown())
            for (const TChartPoint& p : s.Points) {
                double v = 0;
                if (!pick(s, p, v) || !std::isfinite(v) || (domain == QCP::sdPositive && v <= 0) ||
                    (domain == QCP::sdNegative && v >= 0))
                    continue;
                if (!found) {
                    range = QCPRange(v, v);
                    found = true;
                } else {
                    range.expand(v);
                }
            }
        return range;
    }

    // Each segment takes the colour of the point it leads to; a one-colour series is one polyline.
    static void DrawLine(QCPPainter* painter, const TChartSeries& s, const std::vector<QPointF>& pixels) {
        if (s.PenStyle == kPenClear || pixels.size() < 2) return;
        QPen pen(ColorRefToQColor(s.Points.front().Color), std::max(s.PenWidth, 1), ToQtPenStyle(s.PenStyle));
        pen.setCapStyle(Qt::FlatCap);
        painter->setBrush(Qt::NoBrush);
        const TChartColor first = s.Points.front().Color;
        const bool oneColour = std::all_of(s.Points.begin(), s.Points.end(),
                                           [first](const TChartPoint& p) { return p.Color == first; });
        if (oneColour) {
            std::vector<QPointF> thin(pixels);  // the marks still need every point
            KeepColumnExtremes(thin, pen.widthF());
            DrawPolyline(painter, pen, thin);
            return;
        }
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            pen.setColor(ColorRefToQColor(s.Points[i].Color));
            painter->setPen(pen);
            painter->drawLine(pixels[i - 1], pixels[i]);
        }
    }

    static void DrawPointers(QCPPainter* painter, const TChartSeries& s, const std::vector<QPointF>& pixels) {
        const double h = std::max(s.PointerHorizSize, 1);
        const double v = std::max(s.PointerVertSize, 1);
        TChartColor current = s.Points.front().Color;
        QColor colour = ColorRefToQColor(current);
        painter->setPen(s.Pointer == TPointerStyle::Circle ? QPen(colour) : QPen(Qt::NoPen));
        painter->setBrush(colour);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (s.Points[i].Color != current) {
                current = s.Points[i].Color;
                colour = ColorRefToQColor(current);
                if (s.Pointer == TPointerStyle::Circle) painter->setPen(colour);
                painter->setBrush(colour);
            }
            const QRectF r(pixels[i].x() - h, pixels[i].y() - v, 2 * h, 2 * v);
            if (s.Pointer == TPointerStyle::Circle)
                painter->drawEllipse(r);
            else
                painter->fillRect(r, colour);
        }
    }

    // A value label above each point; labels that would overlap the previous one are left out.
    void DrawMarks(QCPPainter* painter, const TChartSeries& s, const std::vector<QPointF>& pixels) const {
        painter->setFont(ToQFont(FModel.Bottom.LabelFont));
        const QFontMetrics metrics(painter->font());
        const QColor back = ColorRefToQColor(s.MarksColor);
        QRectF previous;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const double y = s.Points[i].Y;
            QString text = s.MarksFormat.isEmpty() ? QString::number(y, 'g', 6)
                                                   : FormatParameterValue(s.MarksFormat, y).trimmed();
            if (text.isEmpty()) continue;
            const QSizeF size(metrics.horizontalAdvance(text) + 4, metrics.height() + 2);
            const QRectF box(pixels[i].x() - size.width() / 2, pixels[i].y() - s.PointerVertSize - 4 - size.height(),
                             size.width(), size.height());
            if (!previous.isNull() && box.intersects(previous)) continue;
            previous = box;
            painter->setPen(Qt::black);
            painter->setBrush(back);
            painter->drawRect(box);
            painter->drawText(box, Qt::AlignCenter, text);
        }
    }
};

bool AnySeries(const TChartModel& chart, bool (*test)(const TChartSeries&)) {
    return std::any_of(chart.Series.begin(), chart.Series.end(), test);
}

QCPRange Lerp(const QCPRange& a, const QCPRange& b, double t) {
    return QCPRange(a.lower + (b.lower - a.lower) * t, a.upper + (b.upper - a.upper) * t);
}

// Extent of the data, or the fixed limits; never empty.
QCPRange RangeOf(const TChartAxis& axis, bool found, double lo, double hi) {
    if (!axis.Automatic) {
        lo = axis.Minimum;
        hi = axis.Maximum;
    } else if (!found) {
        lo = 0;
        hi = 1;
    }
    if (!(hi > lo)) {
        const double pad = lo != 0 ? std::fabs(lo) / 10 : 1;
        lo -= pad;
        hi += pad;
    }
    return QCPRange(lo, hi);
}

} // namespace

Qt::PenStyle ToQtPenStyle(std::uint8_t style) {
    switch (style) {
    case kPenDash:
        return Qt::DashLine;
    case kPenDot:
        return Qt::DotLine;
    case kPenDashDot:
        return Qt::DashDotLine;
    case kPenDashDotDot:
        return Qt::DashDotDotLine;
    case kPenClear:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

// ---------------------------------------------------------------------------------------------
// Ticks

double TChartAxisTicker::getTickStep(const QCPRange& range) {
    if (Increment > 0 && range.size() / Increment <= kMaxFixedTicks) return Increment;
    if (!TimeFormat.isEmpty() && ExactDateTime) {
        // Whole seconds, minutes and hours.
        static constexpr std::array<double, 17> kSteps{1,   2,   5,    10,   15,   30,    60,    120,  300,
                                                       600, 900, 1800, 3600, 7200, 10800, 21600, 43200};
        const double wanted = range.size() * kSecondsPerDay / std::max(tickCount(), 1);
        for (double step : kSteps)
            if (step >= wanted) return step / kSecondsPerDay;
    }
    const double step = QCPAxisTicker::getTickStep(range);
    if (!WholeNumbers) return step;
    if (step < 1) return 1;
    if (step == std::floor(step)) return step;
    // The one readable step that is no whole number, 2.5: 2 or 5, whichever comes nearer the
    // wanted count of ticks.
    const double wanted = range.size() / std::max(tickCount(), 1);
    return wanted * wanted > 2 * 5 ? 5 : 2;
}

QString TChartAxisTicker::getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) {
    if (!TimeFormat.isEmpty()) {
        // Rounding noise around zero would show as a negative time.
        if (std::fabs(tick) < 1e-12) tick = 0;
        return FormatParameterValue(QLatin1Char('T') + TimeFormat, tick);
    }
    return QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision);
}

void TChartAxisTicker::generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                                QVector<double>& ticks, QVector<double>* subTicks, QVector<QString>* tickLabels) {
    // Limits that are whole steps only up to rounding (5 minutes in days) keep their end ticks.
    const double slack = range.size() * 1e-9;
    QCPAxisTicker::generate(QCPRange(range.lower - slack, range.upper + slack), locale, formatChar, precision,
                            ticks, subTicks, tickLabels);
}

// ---------------------------------------------------------------------------------------------
// Widget

TChartWidget::TChartWidget(QWidget* parent) : QCustomPlot(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
    legend->setVisible(false);
    setNotAntialiasedElements(QCP::aeAll);
    setPlottingHint(QCP::phFastPolylines, true);
    // Nothing is drawn on the overlay layer (the zoom band is a widget of its own): its own
    // buffer would only be cleared and blended on every replot.
    if (QCPLayer* overlay = layer(QStringLiteral("overlay")))
        overlay->setMode(QCPLayer::lmLogical);
    for (QCPAxis* axis : {xAxis, yAxis, xAxis2, yAxis2})
        axis->setTicker(QSharedPointer<TChartAxisTicker>::create());
    FRubberBand = new QRubberBand(QRubberBand::Rectangle, this);
    FAnimation = new QVariantAnimation(this);
    FAnimation->setStartValue(0.0);
    FAnimation->setEndValue(1.0);
    FAnimation->setDuration(kZoomAnimationMs);
    FAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(FAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        SetRanges({Lerp(FAnimFrom.Bottom, FAnimTo.Bottom, t), Lerp(FAnimFrom.Left, FAnimTo.Left, t),
                   Lerp(FAnimFrom.Right, FAnimTo.Right, t), Lerp(FAnimFrom.Top, FAnimTo.Top, t)});
        replot(rpQueuedReplot);
    });
    Refresh();
}

TChartWidget::~TChartWidget() {
    FAnimation->stop();
    // The plottables read the description: they go before it does.
    clearPlottables();
}

void TChartWidget::FitLengthLabelStep() {
    const double length = FModel.Bottom.Maximum - FModel.Bottom.Minimum;
    if (!(length > 0)) return;
    const QFontMetrics metrics(font());
    const double label = metrics.horizontalAdvance(QStringLiteral("170")) + kLabelGapPixels;
    // Before the first drawing the axis rectangle is not laid out: the left axis then takes its
    // labels and its title.
    const int leftAxis =
        std::max(axisRect()->left(), metrics.horizontalAdvance(QStringLiteral("770")) + 2 * metrics.height());
    const double plot = std::max(0, width() - leftAxis - metrics.horizontalAdvance(QStringLiteral("0")));
    const double perTen = plot * 10.0 / length;
    const double step = perTen >= label ? 10 : perTen * 2 >= label ? 20 : 40;
    if (FModel.Bottom.Increment != step) {
        FModel.Bottom.Increment = step;
        Refresh();
    }
}

void TChartWidget::SetLiveSeries(int count) {
    FLiveSeries = std::max(count, 0);
    if (FLiveSeries > 0 && !FLiveLayer) {
        // Below the other series, where the description's order puts them.
        addLayer(kLiveLayer, layer(QStringLiteral("main")), limBelow);
        FLiveLayer = layer(kLiveLayer);
        FLiveLayer->setMode(QCPLayer::lmBuffered);
    }
    Refresh();
}

void TChartWidget::ReplotLive() {
    if (!FLiveLayer || FLiveSeries == 0) {
        replot(rpQueuedReplot);
        return;
    }
    if (FLiveReplotQueued)
        return;
    FLiveReplotQueued = true;
    // Queued as a replot is: the samples that arrive together are drawn once.
    QMetaObject::invokeMethod(
        this,
        [this] {
            FLiveReplotQueued = false;
            // A whole replot to come (after a Refresh, a new size) draws the live series too.
            if (mReplotQueued || hasInvalidatedPaintBuffers())
                replot(rpQueuedReplot);
            else
                FLiveLayer->replot();
        },
        Qt::QueuedConnection);
}

void TChartWidget::SetModel(const TChartModel& model) {
    TChartModel copy = model;
    SetModel(std::move(copy));
}

void TChartWidget::SetModel(TChartModel&& model) {
    clearPlottables();
    FModel = std::move(model);
    FZoomed = false;
    Refresh();
}

void TChartWidget::ApplyAxis(QCPAxis* axis, const TChartAxis& model, bool visible, bool timeValues) {
    axis->setVisible(visible);
    axis->setTickLabels(true);
    auto ticker = axis->ticker().dynamicCast<TChartAxisTicker>();
    if (!ticker) {
        ticker = QSharedPointer<TChartAxisTicker>::create();
        axis->setTicker(ticker);
    }
    ticker->Increment = model.Increment;
    ticker->TimeFormat = timeValues ? (model.DateTimeFormat.isEmpty() ? QStringLiteral("h:nn:ss")
                                                                      : model.DateTimeFormat)
                                    : QString();
    ticker->ExactDateTime = model.ExactDateTime;
    ticker->WholeNumbers = model.WholeNumbers;
    axis->setNumberFormat(QStringLiteral("g"));
    axis->setNumberPrecision(6);
    axis->setLabel(model.Title);
    axis->setLabelFont(ToQFont(model.TitleFont));
    axis->setLabelColor(ColorRefToQColor(model.TitleFont.Color));
    axis->setTickLabelFont(ToQFont(model.LabelFont));
    axis->setTickLabelColor(ColorRefToQColor(model.LabelFont.Color));
    const QPen pen(ColorRefToQColor(model.AxisColor));
    axis->setBasePen(pen);
    axis->setTickPen(pen);
    axis->setSubTickPen(pen);
}

void TChartWidget::Refresh() {
    // Axes titled as before show the same quantities: a zoom into them still means something.
    const bool sameAxes = xAxis->label() == FModel.Bottom.Title && yAxis->label() == FModel.Left.Title &&
                          yAxis2->label() == FModel.Right.Title && xAxis2->label() == FModel.Top.Title;
    clearPlottables();
    const auto live = std::size_t(FLiveSeries);
    if (FLiveLayer)
        (new TSeriesPlottable(xAxis, yAxis, yAxis2, FModel, 0, live))->setLayer(FLiveLayer);
    new TSeriesPlottable(xAxis, yAxis, yAxis2, FModel, live, kAllSeries);

    setBackground(FModel.BackClear ? QBrush(Qt::NoBrush) : QBrush(ColorRefToQColor(FModel.BackColor)));
    plotLayout()->setMargins(QMargins(FModel.MarginLeft, FModel.MarginTop, FModel.MarginRight, FModel.MarginBottom));
    legend->setVisible(FModel.LegendVisible);

    if (FModel.TitleVisible && !FTitle) {
        plotLayout()->insertRow(0);
        FTitle = new QCPTextElement(this, FModel.Title);
        plotLayout()->addElement(0, 0, FTitle);
    } else if (!FModel.TitleVisible && FTitle) {
        plotLayout()->remove(FTitle);
        plotLayout()->simplify();
        FTitle = nullptr;
    }
    if (FTitle) FTitle->setText(FModel.Title);

    if (FModel.FrameVisible && !FFrame) {
        FFrame = new QCPItemRect(this);
        FFrame->topLeft->setType(QCPItemPosition::ptAxisRectRatio);
        FFrame->bottomRight->setType(QCPItemPosition::ptAxisRectRatio);
        FFrame->topLeft->setCoords(0, 0);
        FFrame->bottomRight->setCoords(1, 1);
        FFrame->setClipToAxisRect(false);
    } else if (!FModel.FrameVisible && FFrame) {
        removeItem(FFrame);
        FFrame = nullptr;
    }

    const bool timeX = AnySeries(FModel, [](const TChartSeries& s) { return s.XDateTime && !s.Points.empty(); });
    const bool timeLeft = AnySeries(FModel, [](const TChartSeries& s) {
        return s.VertAxis == TVertAxis::Left && s.YDateTime && !s.Points.empty();
    });
    const bool timeRight = AnySeries(FModel, [](const TChartSeries& s) {
        return s.VertAxis == TVertAxis::Right && s.YDateTime && !s.Points.empty();
    });
    const bool rightUsed =
        AnySeries(FModel, [](const TChartSeries& s) { return s.VertAxis == TVertAxis::Right; });
    ApplyAxis(xAxis, FModel.Bottom, FModel.Bottom.Visible, timeX);
    ApplyAxis(yAxis, FModel.Left, FModel.Left.Visible, timeLeft);
    ApplyAxis(yAxis2, FModel.Right, FModel.Right.Visible && rightUsed, timeRight);
    ApplyAxis(xAxis2, FModel.Top, FModel.Top.Visible, timeX);

    double lo = 0;
    double hi = 0;
    bool found = ChartDataRangeX(FModel, lo, hi);
    FHome.Bottom = RangeOf(FModel.Bottom, found, lo, hi);
    FHome.Top = RangeOf(FModel.Top, found, lo, hi);
    found = ChartDataRangeY(FModel, TVertAxis::Left, lo, hi);
    FHome.Left = RangeOf(FModel.Left, found, lo, hi);
    found = ChartDataRangeY(FModel, TVertAxis::Right, lo, hi);
    FHome.Right = RangeOf(FModel.Right, found, lo, hi);
    if (!FZoomed || !sameAxes) {
        FZoomed = false;
        if (ZoomAnimating() && sameAxes) {
            FAnimTo = FHome;  // a return under way ends at the limits as they are now
        } else {
            FAnimation->stop();
            SetRanges(FHome);
        }
    }
    replot(rpQueuedReplot);
}

void TChartWidget::resizeEvent(QResizeEvent*) {
    setViewport(rect());
    replot(rpQueuedReplot);
}

QCPRange TChartWidget::HomeRange(const QCPAxis* axis) const {
    if (axis == xAxis) return FHome.Bottom;
    if (axis == yAxis) return FHome.Left;
    if (axis == yAxis2) return FHome.Right;
    return FHome.Top;
}

TChartWidget::TRanges TChartWidget::CurrentRanges() const {
    return {xAxis->range(), yAxis->range(), yAxis2->range(), xAxis2->range()};
}

void TChartWidget::SetRanges(const TRanges& r) {
    xAxis->setRange(r.Bottom);
    yAxis->setRange(r.Left);
    yAxis2->setRange(r.Right);
    xAxis2->setRange(r.Top);
}

void TChartWidget::AnimateTo(const TRanges& target) {
    FAnimation->stop();
    if (!FModel.AnimatedZoom) {
        SetRanges(target);
        replot(rpQueuedReplot);
        return;
    }
    FAnimFrom = CurrentRanges();
    FAnimTo = target;
    FAnimation->start();
}

void TChartWidget::ZoomToRect(const QRect& pixels) {
    const QRect r = pixels.normalized();
    if (r.width() < 1 || r.height() < 1) return;
    TRanges target;
    target.Bottom = QCPRange(xAxis->pixelToCoord(r.left()), xAxis->pixelToCoord(r.right()));
    target.Top = QCPRange(xAxis2->pixelToCoord(r.left()), xAxis2->pixelToCoord(r.right()));
    target.Left = QCPRange(yAxis->pixelToCoord(r.bottom()), yAxis->pixelToCoord(r.top()));
    target.Right = QCPRange(yAxis2->pixelToCoord(r.bottom()), yAxis2->pixelToCoord(r.top()));
    FZoomed = true;
    AnimateTo(target);
}

void TChartWidget::UndoZoom() {
    FZoomed = false;
    AnimateTo(FHome);
}

bool TChartWidget::ZoomAnimating() const {
    return FAnimation->state() == QAbstractAnimation::Running;
}

void TChartWidget::FinishZoomAnimation() {
    if (!ZoomAnimating()) return;
    FAnimation->stop();
    SetRanges(FAnimTo);
    replot(rpQueuedReplot);
}

void TChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && axisRect()->rect().contains(event->position().toPoint())) {
        FDragStart = event->position().toPoint();
        FDragging = true;
        FRubberBand->setGeometry(QRect(FDragStart, QSize()));
        event->accept();
        return;
    }
    QCustomPlot::mousePressEvent(event);
}

void TChartWidget::mouseMoveEvent(QMouseEvent* event) {
    if (FDragging) {
        FRubberBand->setGeometry(QRect(FDragStart, event->position().toPoint()).normalized());
        FRubberBand->show();
        event->accept();
        return;
    }
    QCustomPlot::mouseMoveEvent(event);
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (!FDragging || event->button() != Qt::LeftButton) {
        QCustomPlot::mouseReleaseEvent(event);
        return;
    }
    FDragging = false;
    FRubberBand->hide();
    const QPoint end = event->position().toPoint();
    const QPoint d = end - FDragStart;
    if (d.x() >= kDragThreshold && d.y() >= kDragThreshold)
        ZoomToRect(QRect(FDragStart, end));
    else if (d.x() <= -kDragThreshold || d.y() <= -kDragThreshold)
        UndoZoom();
    event->accept();
}

QImage TChartWidget::ChartPicture(const QColor& background) {
    const QSize s = size().expandedTo(QSize(1, 1));
    const QPixmap chart = toPixmap(s.width(), s.height());
    QImage image(s, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, chart);
    return image;
}

void TChartWidget::CopyChartPicture(const QColor& background) {
    QGuiApplication::clipboard()->setImage(ChartPicture(background));
}

bool TChartWidget::SaveChartPicture(const QString& fileName, const QColor& background) {
    return SaveImageAsBitmap(ChartPicture(background), fileName);
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

QList<QRgb> SixteenColourPalette() {
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

QImage ToSixteenColours(const QImage& image) {
    return image.convertToFormat(QImage::Format_Indexed8, SixteenColourPalette(),
                                 Qt::ColorOnly | Qt::ThresholdDither | Qt::AvoidDither);
}

bool SaveImageAsBitmap(const QImage& image, const QString& fileName, QString* error) {
    if (image.isNull()) {
        if (error) *error = QStringLiteral("The picture is empty");
        return false;
    }
    if (IsProgramSettingsFile(fileName)) {
        if (error) *error = SettingsFileOverwriteReason();
        return false;
    }
    // Qt's writer stores an 8-bit image of at most 16 colours with 4 bits per pixel.
    const QImage indexed = ToSixteenColours(image);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(indexed)) {
        if (error) *error = writer.errorString();
        return false;
    }
    return WriteFileAtomically(fileName, buffer.data(), error);
}
