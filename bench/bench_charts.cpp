// Chart building and drawing at the size of real analysis windows, offscreen at 1200 x 800:
// a stroke-data chart of 10 one-hour trainings (time against power and pulse, both with moving
// averages) and a force-curve chart showing every curve of a one-hour training.
#include "bench/BenchMain.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "widgets/ChartWidget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cmath>
#include <vector>

namespace {

constexpr int kStrokes = 3600;
constexpr int kTrainings = 10;
constexpr int kColTime = 5;
constexpr int kColPower = 1;
constexpr int kColPulse = 12;
const QSize kChartSize(1200, 800);

TTraining MakeTraining(int seed) {
    TTraining t;
    t.Header.Active = 1;
    t.Header.Color = static_cast<std::int32_t>(ColorValues[static_cast<std::size_t>(seed % kTrainingColorCount)]);
    t.Header.PenWidth = 1;
    t.Header.CurrentStroke = kStrokes / 2;
    t.StrokeData.resize(kStrokes + 1);
    t.ForceCurves.resize(kStrokes + 1);
    for (int i = 1; i <= kStrokes; ++i) {
        TStgStrokeData& s = t.StrokeData[static_cast<std::size_t>(i)];
        s.Number = static_cast<Word>(i);
        s.Time = static_cast<float>(i);
        s.Distance = 4.2f * static_cast<float>(i);
        s.Power = 200.0f + 40.0f * static_cast<float>(std::sin(i * 0.01 + seed)) + static_cast<float>(i % 7);
        s.Pulse = 140.0f + static_cast<float>((i + seed) % 20);
        s.Length = 130.0f + static_cast<float>(i % 20);
        s.PeakForce = 600;
        TStgForceCurve& c = t.ForceCurves[static_cast<std::size_t>(i)];
        for (int k = 0; k < kForceCurveSamples; ++k)
            c.Force[static_cast<std::size_t>(k)] =
                static_cast<Word>(600 * std::sin(3.14159 * k / (kForceCurveSamples - 1)) + (i % 13));
    }
    return t;
}

void StrokeDataChart(benchmark::State& state) {
    BuildStrokeParameters();
    std::vector<TTraining> trainings;
    for (int i = 0; i < kTrainings; ++i)
        trainings.push_back(MakeTraining(i));
    TChartWidget chart;
    chart.resize(kChartSize);
    qint64 points = 0;
    for (auto _ : state) {
        TChartModel model;
        for (int i = 0; i < kTrainings; ++i)
            CreateStrokeSeries(model, trainings[static_cast<std::size_t>(i)], kColTime, kColPower, kColPulse, true,
                               true, false, true, true, false, true, i == 0, false, false);
        points = 0;
        for (const TChartSeries& s : model.Series)
            points += static_cast<qint64>(s.Points.size());
        chart.SetModel(std::move(model));
        const QImage picture = chart.ChartPicture();
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(StrokeDataChart)->Unit(benchmark::kMillisecond);

void ForceCurveChartAllCurves(benchmark::State& state) {
    BuildStrokeParameters();
    const TTraining training = MakeTraining(3);
    TChartWidget chart;
    chart.resize(kChartSize);
    qint64 series = 0;
    for (auto _ : state) {
        TChartModel model;
        CreateForceCurveSeries(model, training, true, true, true, 700, 140);
        series = static_cast<qint64>(model.Series.size());
        chart.SetModel(std::move(model));
        const QImage picture = chart.ChartPicture();
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.counters["series"] = static_cast<double>(series);
}
BENCHMARK(ForceCurveChartAllCurves)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
