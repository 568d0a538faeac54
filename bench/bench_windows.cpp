// The training window over a two-hour training (3,600 strokes with curves), offscreen at
// 1000 x 700: opening it (record copy, refresh, first paint) and scrolling its stroke grid
// page by page from top to bottom.
#include "bench/BenchMain.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/TrainingWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <cmath>

namespace {

constexpr int kStrokes = 3600;

TTraining MakeTraining()
{
    TTraining t;
    LoadDefaultTraining(t);
    t.Header.ContentKind = 7;
    SetStrokeCount(t, kStrokes);
    for (int i = 1; i <= kStrokes; ++i) {
        TStgStrokeData& s = t.StrokeData[std::size_t(i)];
        s.Time = 2.0f * float(i);
        s.Distance = 8.1f * float(i);
        s.Power = 180.0f + 25.0f * float(std::sin(i * 0.025));
        s.StrokeRate = 30;
        s.Length = 140;
        s.DriveRatio = 1.5f;
        TStgForceCurve& c = t.ForceCurves[std::size_t(i)];
        c.Present = 1;
        for (int k = 0; k < 63; ++k)
            c.Force[std::size_t(k)] = Word(400 * std::sin(3.14159 * (k + 0.5) / 63));
    }
    t.Workout = {29000, 7200, 1340, 186};
    return t;
}

void OpenTrainingWindow(benchmark::State& state)
{
    const TTraining training = MakeTraining();
    for (auto _ : state) {
        TfrmTraining window(nullptr);
        window.resize(1000, 700);
        window.Training = training;
        window.RefreshTraining();
        benchmark::DoNotOptimize(window.grab());
    }
}
BENCHMARK(OpenTrainingWindow)->Unit(benchmark::kMillisecond);

void ScrollStrokeGrid(benchmark::State& state)
{
    TfrmTraining window(nullptr);
    window.resize(1000, 700);
    window.Training = MakeTraining();
    window.RefreshTraining();
    window.pclTraining->setTabVisible(3, true);
    window.pclTraining->setCurrentIndex(3);
    QTableView* grid = window.sgdStrokeData;
    window.grab();
    QScrollBar* bar = grid->verticalScrollBar();
    int pages = 0;
    for (auto _ : state) {
        pages = 0;
        for (int value = 0; value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
            bar->setValue(value);
            benchmark::DoNotOptimize(grid->viewport()->grab());
            ++pages;
        }
    }
    state.counters["pages"] = pages;
}
BENCHMARK(ScrollStrokeGrid)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BuildParameterTables();
    return RunBenchmarks(argc, argv);
}
