// The force-curve window at the size of a real analysis window, offscreen: 10 open trainings of
// 3,600 strokes each (two hours at 30 strokes a minute) and all four averages active.
//   Redraw: the four averages rebuilt, the series, the grid and the whole window painted.
//   PlayStep: one tick of the play timer (the selected training moves on one curve, then the
//   same redraw and paint).
//   DeleteCurve: one Delete on the selected training (its session average over 3,600 strokes
//   recomputed) and the redraw.
#include "analysis/ForceCurveWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"
#include "widgets/ChartWidget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <cmath>

namespace {

constexpr int kStrokes = 3600;
constexpr int kTrainings = 10;
const QSize kWindowSize(1200, 800);

TTraining MakeTraining(int seed) {
    TTraining t;
    SetStrokeCount(t, kStrokes);
    t.Header.Title = "Training " + std::to_string(seed + 1);
    t.Header.Active = 1;
    t.Header.Color = static_cast<std::int32_t>(ColorValues[static_cast<std::size_t>(seed % kTrainingColorCount)]);
    t.Header.PenWidth = 1;
    t.Header.CurrentStroke = 1;
    for (int i = 1; i <= kStrokes; ++i) {
        TStgStrokeData& s = t.StrokeData[static_cast<std::size_t>(i)];
        s.Time = static_cast<float>(2 * i);
        s.Power = 200.0f + static_cast<float>((i + seed) % 30);
        s.Energy = 400.0f + static_cast<float>(i % 50);
        s.Length = 130.0f + static_cast<float>((i + seed) % 20);
        TStgForceCurve& c = t.ForceCurves[static_cast<std::size_t>(i)];
        c.Present = 1;
        for (int k = 0; k < 60; ++k)
            c.Force[static_cast<std::size_t>(k)] =
                static_cast<Word>(600 * std::sin(3.14159 * k / 59.0) + ((i + seed) % 13));
        CalcPeakForce(s, c, 0);
    }
    SetAverageStroke(t);
    return t;
}

struct TBenchWindow {
    QTemporaryDir home;
    std::unique_ptr<TfrmMain> main;
    TfrmForceCurves* window = nullptr;

    TBenchWindow() {
        qputenv("HOME", QFile::encodeName(home.path()));
        SplashDisplayTimeOverride = 0;
        BuildStrokeParameters();
        main = std::make_unique<TfrmMain>();
        main->ConfirmExit = false;
        main->resize(kWindowSize + QSize(40, 80));
        for (int n = 0; n < kTrainings; ++n)
            main->NewTraining(QString())->Training = MakeTraining(n);
        window = OpenForceCurveWindow(main.get());
        for (int k = 1; k <= kAverageCount; ++k)
            main->SpareTraining(-k).Header.Active = 1;
        window->resize(kWindowSize);
        window->clbTrainings->setCurrentRow(0);
    }
};

void Redraw(benchmark::State& state) {
    TBenchWindow b;
    for (auto _ : state) {
        b.window->clbTrainingsClick();
        const QPixmap picture = b.window->grab();
        benchmark::DoNotOptimize(picture.cacheKey());
    }
    state.counters["series"] = static_cast<double>(b.window->FChart->Model().Series.size());
}
BENCHMARK(Redraw)->Unit(benchmark::kMillisecond);

void PlayStep(benchmark::State& state) {
    TBenchWindow b;
    TTraining& first = b.main->TrainingWindow(0)->Training;
    for (auto _ : state) {
        if (first.Header.CurrentStroke >= kStrokes) first.Header.CurrentStroke = 1;
        b.window->tmrPlayTimer();
        const QPixmap picture = b.window->grab();
        benchmark::DoNotOptimize(picture.cacheKey());
    }
}
BENCHMARK(PlayStep)->Unit(benchmark::kMillisecond);

void DeleteCurve(benchmark::State& state) {
    TBenchWindow b;
    TTraining& first = b.main->TrainingWindow(0)->Training;
    for (auto _ : state) {
        state.PauseTiming();
        first.Header.CurrentStroke = kStrokes / 2;
        first.ForceCurves[kStrokes / 2].Present = 1;
        state.ResumeTiming();
        b.window->btbDeleteClick();
    }
}
BENCHMARK(DeleteCurve)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
