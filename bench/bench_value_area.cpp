// Repaint of a value area of 20 cells (4 rows of 5 at 1000 x 400, the size of a row window's
// bottom area) with bars, histories and min/max labels, as it happens once per stroke.
// With --screenshot=FILE.png the program writes the area as a picture instead.
#include "bench/BenchMain.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "widgets/UiUtils.h"
#include "widgets/ValueArea.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

struct TSample {
    int Column;     // stroke parameter
    double Value;   // in the column's units (seconds for times)
    double Min, Max, Step;
    std::uint8_t Flags;
};

// Power, rate, time, length, distance, pulse, ... with a mix of the display options.
const TSample kSamples[] = {
    {1, 212, 0, 400, 50, vfBar | vfBarGrid | vfBarAvg},
    {3, 24.5, 15, 35, 5, vfHistory | vfHistoryGrid | vfHistoryAvg},
    {5, 1234.5, 0, 0, 0, 0},
    {6, 138, 100, 160, 10, vfBar | vfMinMax},
    {7, 4321, 0, 0, 0, 0},
    {9, 412, 250, 500, 50, vfHistory | vfHistoryLeft | vfHistoryAvg},
    {11, 147, 50, 200, 25, vfBar | vfBarAvg | vfMinMax},
    {13, 655, 250, 900, 100, vfHistory | vfHistoryGrid},
    {14, 31, 0, 60, 10, vfBar | vfBarGrid},
    {16, 0.82, 0, 1.5, 0.25, vfHistory | vfHistoryLeft},
    {17, 1.65, 0, 3, 0.5, vfBar},
    {18, 2.47, 1, 4, 0.5, vfHistory | vfHistoryAvg | vfMinMax},
    {19, 0.5, 0.2, 1, 0.1, vfBar | vfBarGrid | vfBarAvg},
    {20, 4.41, 2, 6, 1, vfHistory},
    {24, 198, 0, 400, 100, vfBar},
    {2, 205, 0, 400, 50, vfHistory | vfHistoryGrid | vfHistoryAvg | vfMinMax},
    {11, 149, 50, 200, 25, 0},
    {35, 15.9, 5, 25, 5, vfBar | vfBarAvg},
    {40, 24.1, 15, 35, 5, vfHistory | vfHistoryLeft | vfHistoryGrid},
    {12, 2.71, 0, 5, 1, vfMinMax},
};

std::unique_ptr<TValueData> MakeData() {
    BuildStrokeParameters();
    auto data = std::make_unique<TValueData>();
    data->ClearValues();
    int id = 0;
    for (const TSample& s : kSamples) {
        data->DefineValue(id, StrokeParameterCaption(s.Column), StrokeParameterLongCaption(s.Column),
                          StrokeParameterFormat(s.Column));
        const bool time = IsTimeFormat(StrokeParameterFormat(s.Column));
        const double scale = time ? 1.0 / 86400 : 1.0;
        TValueItem item;
        data->GetItem(id, item);
        item.Min = s.Min * scale;
        item.Max = s.Max * scale;
        item.Step = s.Step * scale;
        item.Flags = s.Flags;
        item.History.fill(-1.0);
        data->SetItem(id, item);
        // 25 strokes around the value.
        for (int k = 0; k < kValueHistoryLength; ++k) {
            const double wobble = 1 + 0.12 * std::sin(k * 0.9 + id) + 0.05 * std::cos(k * 2.3);
            data->SetValue(id, true, s.Value * wobble * scale);
        }
        data->SetValue(id, false, s.Value * scale);
        ++id;
    }
    return data;
}

QString Layout20() {
    QStringList tokens;
    for (int i = 0; i < 20; ++i) tokens << QStringLiteral("%1.%2").arg(i / 5).arg(i);
    return tokens.join(QLatin1Char(' '));
}

void ValueAreaRepaint20Cells(benchmark::State& state) {
    auto data = MakeData();
    TValueArea area;
    area.resize(1000, 400);
    area.SetData(data.get());
    area.Layout().LoadItemsText(Layout20(), *data);
    QImage image(area.size(), QImage::Format_RGB32);
    int stroke = 0;
    for (auto _ : state) {
        // A new stroke: every value moves, then the whole area is drawn.
        for (int id = 0; id < 20; ++id)
            data->SetValue(id, true, data->FindItem(id)->Value * (stroke % 2 ? 1.01 : 0.99));
        ++stroke;
        QPainter p(&image);
        area.PaintTo(p);
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(ValueAreaRepaint20Cells)->Unit(benchmark::kMicrosecond);

int WriteScreenshot(const char* fileName) {
    auto data = MakeData();
    data->Logo = std::make_unique<TValueLogoImage>(QImage(QStringLiteral(":/pictures/background.png")));
    TValueArea area;
    area.resize(1000, 500);
    area.SetData(data.get());
    area.Layout().LoadItemsText(Layout20() + QStringLiteral(" 4.-2 4.0 4.-1 4.2"), *data);
    return area.grab().save(QString::fromLocal8Bit(fileName)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0) {
            QApplication app(argc, argv);
            EnsureUiResources();
            return WriteScreenshot(argv[i] + 13);
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
