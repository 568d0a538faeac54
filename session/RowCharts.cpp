// The row window's charts: the live force curve on the left, the last strokes on the right.
// While rowing the charts only take new points: a force sample redraws the two curves of the
// drive (at most 80 points each), a stroke appends one point per series and drops the oldest
// beyond the live limit.
#include "session/RowWindow.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/StatusPanels.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t kRecentValues = 10;
constexpr int kOldSeries = 0;
constexpr int kNewSeries = 1;
constexpr int kLiveSeries = 2;  // the two above: the drive being rowed and the previous one

TChartFont ChartFontOf(const QFont& font, const QColor& color) {
    TChartFont f;
    f.Name = font.family();
    f.Height = font.pixelSize() > 0 ? -font.pixelSize() : std::max(1, int(std::lround(font.pointSizeF())));
    f.Color = QColorToColorRef(color);
    f.Bold = font.bold();
    f.Italic = font.italic();
    return f;
}

}  // namespace

// ---------------------------------------------------------------- live axes

void TLiveAxis::Start(int column) {
    Column = column;
    Mode = kAxisAuto;
    Above = 0;
    Recent.clear();
    if (column < 0 || column >= int(StrokeParameters.size()))
        return;
    const ParameterType& row = StrokeParameters[std::size_t(column)];
    Mode = row.AxisMode;
    Lo = row.AxisMin;
    Hi = row.AxisMax;
    Width = double(row.AxisMax) - row.AxisMin;
}

bool TLiveAxis::Add(double value) {
    if (Mode == kAxisDouble) {
        // As the full walk does: the maximum grows after two successive strokes above it.
        if (Above >= 2 && value > Hi) {
            Hi += Width;
            return true;
        }
        Above = value > Hi ? Above + 1 : 0;
        return false;
    }
    if (Mode != kAxisRange || Column < 0)
        return false;
    Recent.push_back(value);
    if (Recent.size() > kRecentValues)
        Recent.pop_front();
    double sum = 0;
    int count = 0;
    for (double v : Recent)
        if (v > 0) {
            sum += v;
            ++count;
        }
    const ParameterType& row = StrokeParameters[std::size_t(Column)];
    const double mean = count > 0 ? sum / count : Width / 2;
    const double k = Width != 0 && mean >= row.AxisMax ? std::nearbyint((mean - row.AxisMax) / (Width / 2)) + 1 : 0;
    const double lo = row.AxisMin + k * Width / 2;
    const double hi = row.AxisMax + k * Width / 2;
    if (lo == Lo && hi == Hi)
        return false;
    Lo = lo;
    Hi = hi;
    return true;
}

// ---------------------------------------------------------------- creation

void TfrmRow::ApplyChartColors(TChartWidget* chart) {
    const TChartFont f = ChartFontOf(font(), palette().color(QPalette::WindowText));
    TChartModel& m = chart->EditModel();
    for (TChartAxis* axis : {&m.Bottom, &m.Left, &m.Top, &m.Right}) {
        axis->TitleFont = f;
        axis->LabelFont = f;
        axis->AxisColor = f.Color;
    }
    chart->Refresh();
}

void TfrmRow::CreateLeftChart() {
    auto* chart = new TChartWidget(pnlChartLeft);
    chart->setMinimumSize(100, 100);
    TChartModel m;
    m.BackClear = true;
    m.Bottom.SetMinMax(0, kForceChartLength);
    m.Bottom.Increment = 10;
    m.Bottom.Title = QStringLiteral("Strokelength (cm)");
    m.Left.SetMinMax(0, kForceChartForce);
    m.Left.Increment = 77;
    m.Left.Title = QStringLiteral("Force (N)");
    m.Left.TitleAngle = 90;
    m.Right.Visible = false;
    m.Top.Visible = false;
    m.DefaultCapacity = kForceCurveSamples;
    m.AddSeries(TSeriesKind::Line).Title = QStringLiteral("Old");
    m.AddSeries(TSeriesKind::Line).Title = QStringLiteral("New");
    chart->SetModel(std::move(m));
    // The two drive curves change at every pulse: they alone are redrawn then.
    chart->SetLiveSeries(kLiveSeries);
    chart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chart, &QWidget::customContextMenuRequested, this, [this, chart](const QPoint& pos) {
        if (LeftChart)
            popLeft->popup(chart->mapToGlobal(pos));
    });
    FLeftChart = chart;
    ApplyLiveCurveLook();
    ApplyChartColors(chart);
    chart->show();
    LayoutCharts();
}

void TfrmRow::ApplyLiveCurveLook() {
    const TTraining* t = Training();
    TChartModel& m = FLeftChart->EditModel();
    for (int s : {kOldSeries, kNewSeries}) {
        TChartSeries& series = m.Series[std::size_t(s)];
        series.Color = s == kOldSeries ? FOldColor : FNewColor;
        if (t) {
            series.PenStyle = t->Header.PenStyle;
            series.PenWidth = std::max<int>(t->Header.PenWidth, 1);
        }
        for (TChartPoint& point : series.Points)
            point.Color = series.Color;
    }
}

void TfrmRow::CreateRightChart() {
    auto* chart = new TChartWidget(pnlChartRight);
    chart->setMinimumSize(100, 100);
    TChartModel m;
    m.BackClear = true;
    m.Left.ExactDateTime = false;
    m.Top.Visible = false;
    chart->SetModel(std::move(m));
    chart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chart, &QWidget::customContextMenuRequested, this, [this, chart](const QPoint& pos) {
        if (RightChart)
            popRight->popup(chart->mapToGlobal(pos));
    });
    FRightChart = chart;
    ApplyChartColors(chart);
    chart->show();
    LayoutCharts();
}

void TfrmRow::SetupLeftChart() {
    if (LeftIndex < 0) {
        delete FLeftChart.data();
        FLeftChart.clear();
        return;
    }
    if (!FLeftChart)
        CreateLeftChart();
    TChartModel& m = FLeftChart->EditModel();
    const TTraining* t = Training();
    if (!t || t->Header.CurrentStroke == 0)
        for (int s : {kOldSeries, kNewSeries})
            m.Series[std::size_t(s)].Points.clear();
    SetupReferenceCurves();
    FLeftChart->Refresh();
}

void TfrmRow::SetupReferenceCurves() {
    TChartModel& m = FLeftChart->EditModel();
    m.Series.resize(2);
    TfrmMain* main = MainWindow();
    if (!LeftReference || !main)
        return;
    // The shown curves of the other trainings and of the spare records, read in place.
    const TTraining* t = Training();
    const int count = main->TrainingCount() + 4;
    for (int n = 0; n < count; ++n) {
        const TTraining* other = main->TrainingPtr(n);
        if (!other || (t && other->Id == t->Id))
            continue;
        CreateForceCurveSeries(m, *other, false, false, false, 0, 0);
    }
}

// The data range: how many strokes before the last one the live chart keeps.
int TfrmRow::LiveStrokeLimit() const {
    return std::max(RollingCount, 1);
}

void TfrmRow::SetupRightChart() {
    if (RightIndex == -1 || !RightChart) {
        delete FRightChart.data();
        FRightChart.clear();
        FRightYSeries = FRightZSeries = -1;
        return;
    }
    if (!FRightChart)
        CreateRightChart();
    TChartModel& m = FRightChart->EditModel();
    m.FreeAllSeries();
    m.Bottom.Title = QStringLiteral("X");
    m.Left.Title = QStringLiteral("Y");
    m.Right.Title = QStringLiteral("Z");
    m.Left.TitleAngle = 90;
    m.Right.TitleAngle = 90;
    // Counts and the like step by whole numbers, with or without strokes to show.
    SetWholeNumberAxes(m, RightX, RightY, RightZ);
    FRightYSeries = FRightZSeries = -1;
    const TTraining* t = Training();
    if (t && t->Id > 0) {
        const TfrmMain* main = MainWindow();
        const bool invertZ = main ? main->ChartSeriesOption : true;
        const int saved = RollingCount;
        RollingCount = LiveStrokeLimit();
        CreateStrokeSeries(m, *t, RightX, RightY, RightZ, RightY >= 0, false, false, RightZ >= 0, false, false,
                           invertZ, true, true, false);
        RollingCount = saved;
        int next = 0;
        if (RightY >= 0)
            FRightYSeries = next++;
        if (RightZ >= 0)
            FRightZSeries = next++;
        if (next > int(m.Series.size()))
            FRightYSeries = FRightZSeries = -1;
        m.Bottom.Title = QStringLiteral("X  ") + StrokeParameterLongTitle(RightX);
        if (RightY >= 0)
            m.Left.Title = QStringLiteral("Y  ") + StrokeParameterLongTitle(RightY);
        if (RightZ >= 0)
            m.Right.Title = QStringLiteral("Z  ") + StrokeParameterLongTitle(RightZ);
    }
    FAxisY.Start(RightY);
    FAxisZ.Start(RightZ);
    FAxisY.Lo = m.Left.Minimum;
    FAxisY.Hi = m.Left.Maximum;
    FAxisZ.Lo = m.Right.Minimum;
    FAxisZ.Hi = m.Right.Maximum;
    FRightChart->Refresh();
}

int TfrmRow::RightSeriesPoints(int series) const {
    const int index = series == 0 ? FRightYSeries : FRightZSeries;
    if (!FRightChart || index < 0 || index >= int(FRightChart->Model().Series.size()))
        return 0;
    return int(FRightChart->Model().Series[std::size_t(index)].Points.size());
}

// ---------------------------------------------------------------- live

void TfrmRow::LiveForce(int puls, double length, double force) {
    if (!FLeftChart)
        return;
    TChartModel& m = FLeftChart->EditModel();
    TChartSeries& old = m.Series[kOldSeries];
    old.Points.clear();
    if (LeftPrevious && puls <= kForceCurveSamples) {
        // What the previous drive did beyond this sample (the recorder has taken this one).
        const TStrokeRecorder& r = Session->Recorder();
        for (int k = std::max(puls + 1, 1); k <= kForceCurveSamples; ++k)
            if (r.LiveLength(k) > 0)
                old.AddXY(r.LiveLength(k), r.LiveForce(k), FOldColor);
    }
    TChartSeries& now = m.Series[kNewSeries];
    if (now.Points.size() < std::size_t(2 * kForceCurveSamples))  // a runaway drive stays bounded
        now.AddXY(length, force, FNewColor);
    FLeftChart->ReplotLive();
}

void TfrmRow::DriveStarted() {
    if (!FLeftChart)
        return;
    TChartModel& m = FLeftChart->EditModel();
    m.Series[kOldSeries].Points.clear();
    m.Series[kNewSeries].Points.clear();
    FLeftChart->ReplotLive();
    StatusBar->update();
}

void TfrmRow::RecoveryStarted() {
    StatusBar->update();
    // The windows that show trainings take the stroke just rowed (the force-curve averages
    // among them, which the reference curves below show).
    if (TfrmMain* main = MainWindow())
        main->TrainingsChanged(true);
    if (FLeftChart) {
        // The drive just finished stays in view through the recovery; the reference curves
        // follow the trainings opened, closed or browsed meanwhile.
        TChartModel& m = FLeftChart->EditModel();
        m.Series[kOldSeries].Points.clear();
        const std::vector<TChartSeries> before(m.Series.begin() + kLiveSeries, m.Series.end());
        SetupReferenceCurves();
        // Unchanged reference curves keep their drawing: only the live curves are drawn again.
        if (std::equal(before.begin(), before.end(), m.Series.begin() + kLiveSeries, m.Series.end()))
            FLeftChart->ReplotLive();
        else
            FLeftChart->Refresh();
    }
}

void TfrmRow::CurveDelivered() {
    const TTraining* t = Training();
    if (!FLeftChart || !t)
        return;
    const int n = Session->Recorder().StrokeCount();
    TChartModel& m = FLeftChart->EditModel();
    const auto fill = [&](TChartSeries& s, int stroke, std::uint32_t color) {
        s.Points.clear();
        if (stroke < 0 || stroke >= int(t->ForceCurves.size()))
            return;
        const TStgForceCurve& c = t->ForceCurves[std::size_t(stroke)];
        for (int k = 1; k <= kForceCurveSamples; ++k)
            s.AddXY(k * kDeliveredCurveSpacing, c.Force[std::size_t(k - 1)], color);
    };
    fill(m.Series[kOldSeries], LeftPrevious && n > 1 ? n - 1 : -1, FOldColor);
    fill(m.Series[kNewSeries], n, FNewColor);
    FLeftChart->ReplotLive();
}

void TfrmRow::StrokeRecorded(const TStrokeOutcome& outcome) {
    StatusBar->update();
    const TTraining* t = Training();
    const int n = Session->Recorder().StrokeCount();
    if (outcome.Idle || outcome.Ignored || !t || n < 1 || n >= int(t->StrokeData.size()))
        return;
    AppendStroke(t->StrokeData[std::size_t(n)]);
}

void TfrmRow::AppendStroke(const TStgStrokeData& stroke) {
    const TTraining* t = Training();
    if (!FRightChart || !t || stroke.Number < 2 || stroke.Distance <= 0)
        return;  // as the rolling set-up: from stroke 2, strokes that moved the boat
    TChartModel& m = FRightChart->EditModel();
    const double x = GetStrokeParameterValue(stroke, RightX, t->Ini);
    const std::size_t limit = std::size_t(LiveStrokeLimit()) + 1;
    const auto add = [&](int index, int column, TLiveAxis& axis, TChartAxis& chartAxis) {
        if (index < 0 || index >= int(m.Series.size()) || column < 0)
            return;
        const double y = GetStrokeParameterValue(stroke, column, t->Ini);
        TChartSeries& s = m.Series[std::size_t(index)];
        if (x > 0 && y > 0) {
            s.AddXY(x, y, s.Color);
            if (s.Points.size() > limit)
                s.Points.erase(s.Points.begin(), s.Points.begin() + std::ptrdiff_t(s.Points.size() - limit));
        }
        if (axis.Add(y)) {
            chartAxis.SetMinMax(axis.Lo, axis.Hi);
            chartAxis.Increment = axis.Mode == kAxisRange ? axis.Width / 10 : (axis.Hi - axis.Lo) / 10;
        }
    };
    add(FRightYSeries, RightY, FAxisY, m.Left);
    add(FRightZSeries, RightZ, FAxisZ, m.Right);
    ++FLiveStrokes;
    FRightChart->Refresh();
}
