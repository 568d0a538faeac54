#include "widgets/ChartWidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtEndian>

#include <functional>
#include <vector>

namespace {

constexpr TChartColor kRedRef = 0x0000FF;  // COLORREF of pure red
constexpr TChartColor kBlueRef = 0xFF0000; // pure blue

// A red line across the left axis and blue squares on the right axis, fixed limits.
TChartModel SampleModel() {
    TChartModel m;
    m.Bottom.SetMinMax(0, 10);
    m.Left.SetMinMax(0, 100);
    m.Right.SetMinMax(0, 1);
    TChartSeries& line = m.AddSeries(TSeriesKind::Line);
    line.Color = kRedRef;
    line.PenWidth = 3;
    for (int i = 0; i <= 10; ++i)
        line.AddXY(i, 10 + 5 * i, kRedRef);
    TChartSeries& points = m.AddSeries(TSeriesKind::Points);
    points.VertAxis = TVertAxis::Right;
    points.Color = kBlueRef;
    for (int i = 1; i < 10; ++i)
        points.AddXY(i, 0.8, kBlueRef);
    return m;
}

int CountPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

// The widget's own rows of pixels: where a value lies.
int PixelRowOf(QCPAxis* axis, double value) {
    return static_cast<int>(std::lround(axis->coordToPixel(value)));
}

void Drag(QWidget* w, QPoint from, QPoint to) {
    QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, w->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

TEST(ChartWidget, DrawsSeriesInTheirColours) {
    TChartWidget chart;
    chart.resize(400, 300);
    chart.SetModel(SampleModel());
    const QImage picture = chart.ChartPicture();
    EXPECT_GT(CountPixels(picture, qRgb(255, 0, 0)), 300); // a 3-pixel line over the plot width
    EXPECT_GE(CountPixels(picture, qRgb(0, 0, 255)), 9 * 30); // nine 6 x 6 squares
    // The line passes through its first point; the squares sit at 0.8 of the right axis.
    const int x5 = static_cast<int>(std::lround(chart.xAxis->coordToPixel(5)));
    EXPECT_EQ(picture.pixel(x5, PixelRowOf(chart.yAxis, 35)) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(picture.pixel(x5, PixelRowOf(chart.yAxis2, 0.8)) & 0xFFFFFF, 0x0000FFu);
    // Clear background: the picture's own background shows.
    EXPECT_EQ(picture.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(ChartWidget, MarksPointColoursAndClearPens) {
    TChartModel m;
    m.Bottom.SetMinMax(0, 10);
    m.Left.SetMinMax(0, 100);
    TChartSeries& marked = m.AddSeries(TSeriesKind::Points);
    marked.MarksVisible = true;
    marked.MarksColor = 0x00FFFF; // yellow label boxes
    marked.MarksFormat = QStringLiteral("%3.0f");
    marked.AddXY(2, 50, kBlueRef);
    marked.AddXY(8, 50, kBlueRef);
    // A line whose second half is recoloured: each segment takes its end point's colour.
    TChartSeries& line = m.AddSeries(TSeriesKind::Line);
    line.PenWidth = 2;
    line.AddXY(0, 20, kRedRef);
    line.AddXY(5, 20, kRedRef);
    line.AddXY(10, 20, 0x00FF00);
    TChartWidget chart;
    chart.resize(400, 300);
    chart.SetModel(m);
    QImage picture = chart.ChartPicture();
    EXPECT_GT(CountPixels(picture, qRgb(255, 255, 0)), 2 * 40); // two label boxes
    EXPECT_GT(CountPixels(picture, qRgb(255, 0, 0)), 100);
    EXPECT_GT(CountPixels(picture, qRgb(0, 255, 0)), 100);

    // A clear pen draws no line at all; hidden marks draw no boxes.
    chart.EditModel().Series[1].PenStyle = kPenClear;
    chart.EditModel().Series[0].MarksVisible = false;
    chart.Refresh();
    picture = chart.ChartPicture();
    EXPECT_EQ(CountPixels(picture, qRgb(255, 0, 0)), 0);
    EXPECT_EQ(CountPixels(picture, qRgb(255, 255, 0)), 0);
}

// A line of thousands of points in a few hundred pixels: every pixel column still reaches from
// its lowest to its highest point (a lone spike and a lone dip included), and a dashed line keeps
// its pattern along the whole length.
TEST(ChartWidget, DenseLinesKeepEveryColumnsExtremesAndTheirDashes) {
    TChartModel m;
    m.Bottom.SetMinMax(0, 4000);
    m.Left.SetMinMax(0, 100);
    TChartSeries& dense = m.AddSeries(TSeriesKind::Line);
    dense.PenWidth = 2;
    for (int i = 0; i < 4000; ++i)
        dense.AddXY(i, i == 2001 ? 95 : i == 3003 ? 5 : 40 + (i % 7), kRedRef);
    TChartSeries& dashed = m.AddSeries(TSeriesKind::Line);
    dashed.PenWidth = 2;
    dashed.PenStyle = kPenDash;
    for (int i = 0; i < 4000; ++i)
        dashed.AddXY(i, 80, kBlueRef);
    // Wider than the segment drawing: in pieces, a step every 50 points.
    TChartSeries& wide = m.AddSeries(TSeriesKind::Line);
    wide.PenWidth = 5;
    for (int i = 0; i < 4000; ++i)
        wide.AddXY(i, 15 + 10 * (i / 50 % 2), 0x00FF00);
    TChartWidget chart;
    chart.resize(300, 240);
    chart.SetModel(m);
    const QImage picture = chart.ChartPicture();
    const auto redRows = [&](int x) {
        std::pair<int, int> rows{picture.height(), -1};
        for (int y = 0; y < picture.height(); ++y)
            if ((picture.pixel(x, y) & 0xFFFFFF) == 0xFF0000u)
                rows = {std::min(rows.first, y), std::max(rows.second, y)};
        return rows;
    };
    const auto [spikeTop, spikeBottom] = redRows(static_cast<int>(chart.xAxis->coordToPixel(2001)));
    EXPECT_LE(spikeTop, PixelRowOf(chart.yAxis, 95) + 1);
    EXPECT_GE(spikeBottom, PixelRowOf(chart.yAxis, 43) - 1);
    const auto [dipTop, dipBottom] = redRows(static_cast<int>(chart.xAxis->coordToPixel(3003)));
    EXPECT_GE(dipBottom, PixelRowOf(chart.yAxis, 5) - 1);
    EXPECT_LE(dipTop, PixelRowOf(chart.yAxis, 43) + 1);
    // Dashes of 4 pen widths with gaps of 2 along some 250 pixels.
    const int row = PixelRowOf(chart.yAxis, 80);
    int inked = 0, length = 0;
    for (int x = int(chart.xAxis->coordToPixel(0)) + 1; x < int(chart.xAxis->coordToPixel(3999)); ++x, ++length)
        inked += (picture.pixel(x, row) & 0xFFFFFF) == 0x0000FFu || (picture.pixel(x, row - 1) & 0xFFFFFF) == 0x0000FFu;
    ASSERT_GT(length, 200);
    EXPECT_NEAR(double(inked) / length, 2.0 / 3, 0.1);
    // The wide line has no gap where its pieces meet.
    for (int x = int(chart.xAxis->coordToPixel(0)) + 1; x < int(chart.xAxis->coordToPixel(3999)); ++x) {
        bool inkedColumn = false;
        for (int y = PixelRowOf(chart.yAxis, 30); y <= PixelRowOf(chart.yAxis, 10) && !inkedColumn; ++y)
            inkedColumn = (picture.pixel(x, y) & 0xFFFFFF) == 0x00FF00u;
        ASSERT_TRUE(inkedColumn) << x;
    }
}

TEST(ChartWidget, AxesFollowTheDescription) {
    TChartModel m = SampleModel();
    m.Left.SetAutomatic();
    m.Right.Visible = false;
    m.Left.Increment = 25;
    TChartWidget chart;
    chart.resize(400, 300);
    chart.SetModel(m);
    // Automatic: the data's extent, 10 .. 60.
    EXPECT_DOUBLE_EQ(chart.yAxis->range().lower, 10);
    EXPECT_DOUBLE_EQ(chart.yAxis->range().upper, 60);
    EXPECT_FALSE(chart.yAxis2->visible());
    chart.replot();
    EXPECT_EQ(chart.yAxis->tickVector(), (QVector<double>{25, 50}));

    // No series on the right axis: it is not drawn.
    m.Series.pop_back();
    m.Right.Visible = true;
    chart.SetModel(m);
    EXPECT_FALSE(chart.yAxis2->visible());
}

TEST(ChartWidget, TimeAxesAreLabelledFromDays) {
    TChartModel m;
    m.Bottom.SetMinMax(0, 300 / 86400.0);
    m.Bottom.Increment = 60 / 86400.0;
    TChartSeries& s = m.AddSeries(TSeriesKind::Line);
    s.XDateTime = true;
    s.AddXY(0, 1, kRedRef);
    s.AddXY(250 / 86400.0, 2, kRedRef);
    TChartWidget chart;
    chart.resize(600, 300);
    chart.SetModel(m);
    chart.replot();
    EXPECT_EQ(chart.xAxis->tickVectorLabels(),
              (QVector<QString>{"00:00", "01:00", "02:00", "03:00", "04:00", "05:00"}));

    // Without an increment the steps are whole minutes: two hours in steps of 30 minutes.
    chart.EditModel().Bottom.SetMinMax(0, 7200 / 86400.0);
    chart.EditModel().Bottom.Increment = 0;
    chart.EditModel().Bottom.DateTimeFormat = QStringLiteral("h:nn:ss");
    chart.Refresh();
    chart.replot();
    EXPECT_EQ(chart.xAxis->tickVectorLabels(),
              (QVector<QString>{"00:00", "30:00", "1:00:00", "1:30:00", "2:00:00"}));
}

TEST(ChartWidget, RubberBandZoomAndAnimatedReturn) {
    TChartModel m = SampleModel();
    TChartWidget chart;
    chart.resize(400, 300);
    chart.SetModel(m);
    chart.replot();
    const QCPRange homeX = chart.xAxis->range();
    const QPoint from(static_cast<int>(chart.xAxis->coordToPixel(2)), static_cast<int>(chart.yAxis->coordToPixel(80)));
    const QPoint to(static_cast<int>(chart.xAxis->coordToPixel(6)), static_cast<int>(chart.yAxis->coordToPixel(20)));
    Drag(&chart, from, to);
    EXPECT_TRUE(chart.Zoomed() && chart.ZoomAnimating());
    chart.FinishZoomAnimation();
    EXPECT_NEAR(chart.xAxis->range().lower, 2, 0.05);
    EXPECT_NEAR(chart.xAxis->range().upper, 6, 0.05);
    EXPECT_NEAR(chart.yAxis->range().lower, 20, 0.5);
    EXPECT_NEAR(chart.yAxis->range().upper, 80, 0.5);

    // Dragging up and left returns to the description's limits.
    Drag(&chart, to, from);
    EXPECT_FALSE(chart.Zoomed());
    chart.FinishZoomAnimation();
    EXPECT_EQ(chart.xAxis->range(), homeX);
    EXPECT_DOUBLE_EQ(chart.yAxis->range().upper, 100);

    // A click is no zoom; without animation the zoom is immediate.
    Drag(&chart, from, from + QPoint(1, 1));
    EXPECT_FALSE(chart.Zoomed());
    chart.EditModel().AnimatedZoom = false;
    chart.ZoomToRect(QRect(from, to));
    EXPECT_FALSE(chart.ZoomAnimating());
    EXPECT_NEAR(chart.xAxis->range().lower, 2, 0.05);
}

TEST(ChartWidget, PictureToBitmapFileAndClipboard) {
    TChartWidget chart;
    chart.resize(320, 200);
    chart.SetModel(SampleModel());
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("chart.bmp"));
    ASSERT_TRUE(chart.SaveChartPicture(name));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_GT(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 28), 4); // bits per pixel
    // 14 + 40 header bytes, 16 palette entries, rows of 160 bytes.
    EXPECT_EQ(bytes.size(), 14 + 40 + 16 * 4 + 160 * 200);
    const QImage back(name);
    EXPECT_GT(CountPixels(back, qRgb(255, 0, 0)), 300);

    // A file that cannot be written is reported and nothing is left behind.
    EXPECT_FALSE(chart.SaveChartPicture(dir.filePath(QStringLiteral("missing/chart.bmp"))));

    chart.CopyChartPicture();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(320, 200));
}

} // namespace

// A zoom stays while the description grows or moves its limits, and goes when an axis comes to
// show another quantity or a new description comes; unzoomed, automatic axes follow the data.
TEST(ChartWidget, ZoomStaysWhileTheDataGrows) {
    struct TCase {
        const char* Name;
        std::function<void(TChartWidget&)> Change;
        bool Kept;
    };
    const std::vector<TCase> cases{
        {"points added", [](TChartWidget& c) { c.EditModel().Series[0].AddXY(20, 200, kRedRef); c.Refresh(); }, true},
        {"limits moved", [](TChartWidget& c) { c.EditModel().Right.SetMinMax(0, 2); c.Refresh(); }, true},
        {"left axis retitled", [](TChartWidget& c) { c.EditModel().Left.Title = QStringLiteral("Y  Pulse"); c.Refresh(); }, false},
        {"new description", [](TChartWidget& c) { c.SetModel(c.Model()); }, false},
    };
    for (const TCase& c : cases) {
        TChartModel m = SampleModel();
        m.Bottom.SetAutomatic();
        m.Left.Title = QStringLiteral("Y  Power");
        TChartWidget chart;
        chart.resize(400, 300);
        chart.SetModel(m);
        chart.replot();
        const QPoint from(int(chart.xAxis->coordToPixel(2)), int(chart.yAxis->coordToPixel(80)));
        const QPoint to(int(chart.xAxis->coordToPixel(6)), int(chart.yAxis->coordToPixel(20)));
        Drag(&chart, from, to);
        // The change comes while the zoom is still on its way.
        c.Change(chart);
        chart.FinishZoomAnimation();
        EXPECT_EQ(chart.Zoomed(), c.Kept) << c.Name;
        if (c.Kept) {
            EXPECT_NEAR(chart.xAxis->range().lower, 2, 0.05) << c.Name;
            EXPECT_NEAR(chart.xAxis->range().upper, 6, 0.05) << c.Name;
            EXPECT_NEAR(chart.yAxis->range().lower, 20, 0.5) << c.Name;
        } else {
            EXPECT_EQ(chart.xAxis->range(), chart.HomeRange(chart.xAxis)) << c.Name;
            EXPECT_EQ(chart.yAxis->range(), chart.HomeRange(chart.yAxis)) << c.Name;
        }
        // Back to the whole chart, which again follows the points (the return still on its way).
        Drag(&chart, to, from);
        chart.EditModel().Series[0].AddXY(30, 50, kRedRef);
        chart.Refresh();
        chart.FinishZoomAnimation();
        EXPECT_FALSE(chart.Zoomed()) << c.Name;
        EXPECT_DOUBLE_EQ(chart.xAxis->range().upper, 30) << c.Name;
    }
}

// Live series are redrawn on their own: what ReplotLive shows is their new points over the
// chart as it was last drawn whole, under the other series as in the description's order.
TEST(ChartWidget, LiveSeriesRedrawAlone) {
    constexpr TChartColor kGreenRef = 0x00FF00;
    TChartModel m = SampleModel();
    m.BackClear = false;
    m.BackColor = 0xFFFFFF;
    // Series 0, the live one, takes a colour of its own.
    m.Series[0].Color = kGreenRef;
    for (TChartPoint& p : m.Series[0].Points)
        p.Color = kGreenRef;
    TChartWidget chart;
    chart.resize(400, 300);
    chart.SetModel(m);
    chart.SetLiveSeries(1);
    chart.show();
    QCoreApplication::processEvents();
    const auto shown = [&chart] {
        QCoreApplication::processEvents();
        return chart.grab().toImage();
    };
    ASSERT_GT(CountPixels(shown(), qRgb(0, 255, 0)), 300);
    ASSERT_GE(CountPixels(shown(), qRgb(0, 0, 255)), 9 * 30);

    // The live line moves up; the squares are moved without telling the chart.
    for (TChartPoint& p : chart.EditModel().Series[0].Points)
        p.Y = 95;
    for (TChartPoint& p : chart.EditModel().Series[1].Points)
        p.Y = 0.2;
    chart.ReplotLive();
    QImage picture = shown();
    const int x5 = int(std::lround(chart.xAxis->coordToPixel(5)));
    EXPECT_EQ(picture.pixel(x5, PixelRowOf(chart.yAxis, 95)) & 0xFFFFFF, 0x00FF00u);
    EXPECT_NE(picture.pixel(x5, PixelRowOf(chart.yAxis, 35)) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(picture.pixel(x5, PixelRowOf(chart.yAxis2, 0.8)) & 0xFFFFFF, 0x0000FFu);
    EXPECT_NE(picture.pixel(x5, PixelRowOf(chart.yAxis2, 0.2)) & 0xFFFFFF, 0x0000FFu);

    // A whole replot draws everything as described; a square on the live line covers it.
    chart.EditModel().Series[1].Points[4].Y = 0.95;
    chart.Refresh();
    picture = shown();
    const int x3 = int(std::lround(chart.xAxis->coordToPixel(3)));
    EXPECT_EQ(picture.pixel(x3, PixelRowOf(chart.yAxis2, 0.2)) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(picture.pixel(x5, PixelRowOf(chart.yAxis2, 0.95)) & 0xFFFFFF, 0x0000FFu);
}

// Counts are labelled at whole numbers: where the readable step would be 2.5, a step of 2 or 5,
// whichever gives the nearer number of labels; other axes keep 2.5.
TEST(ChartWidget, WholeNumberAxesStepByWholeNumbers) {
    struct TCase {
        double Upper;
        bool Whole;
        QVector<double> Ticks;
    };
    const std::vector<TCase> cases{
        {12, true, {0, 2, 4, 6, 8, 10, 12}},
        {17, true, {0, 5, 10, 15}},
        {12, false, {0, 2.5, 5, 7.5, 10}},
        {0.6, true, {0}},
        {100, true, {0, 20, 40, 60, 80, 100}},
    };
    for (const TCase& c : cases) {
        TChartModel m;
        m.Bottom.SetMinMax(0, c.Upper);
        m.Bottom.WholeNumbers = c.Whole;
        TChartWidget chart;
        chart.resize(400, 300);
        chart.SetModel(m);
        chart.replot();
        EXPECT_EQ(chart.xAxis->tickVector(), c.Ticks) << c.Upper << (c.Whole ? " whole" : "");
    }
}
