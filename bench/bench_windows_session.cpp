// The main thread's work for one stroke of a long session with the stroke-data and force-curve
// windows open on the session's training: the demo recording, played again and again, is fed to
// the row window's session through a replay interface, each record followed by the events it
// queued (replots, paints), as between the pulses of a real flywheel. The row window and both
// analysis windows are tiled side by side in the main window, offscreen at 1500 x 950, so all
// three paint.
//
// Measured at 100, 1,000 and 3,600 strokes; the analysis windows are opened at each size (the
// session gets there without them), and at 3,600 strokes also without them. Per size, over 25 strokes: stroke_ms, the median of what
// the record that ends a drive costs with its events (the recorder, the row window, the recovery
// start's broadcast to both analysis windows and their repaint), and its slowest; cycle_ms, the
// median of a whole stroke's records with their events (the live curve's repaint at every pulse
// included); chart_paints, the charts painted per stroke.
#include "bench/BenchMain.h"
#include "bench/ReplayInterface.h"
#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/RowWindow.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kMeasuredStrokes = 25;

// Counts the paints of the widgets it watches.
struct TPaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
};

struct TSessionBench {
    TRawRecording Demo = TRawRecording::Demo();
    qsizetype Record = 0;
    TReplayClock Clock;
    std::unique_ptr<TfrmMain> Main;
    TfrmRow* Row = nullptr;
    QPointer<TReplay> Replay;

    TSessionBench() {
        Main = std::make_unique<TfrmMain>();
        Main->ConfirmExit = false;
        Main->FirstShow = false;
        Main->resize(1500, 950);
        Main->show();
        InstallRowWindow(*Main);
        Main->RunNewSessionDialog = [](const QString&, TTraining& t) {
            LoadDefaultTraining(t);
            return true;
        };
        Main->OpenRowWindow(QString(), QString());
        Row = qobject_cast<TfrmRow*>(Main->frmRow.data());
        StartReplaySession(*Row->Session, Clock, Replay);
        QCoreApplication::processEvents();
    }

    int Strokes() const { return Row->Session->Recorder().StrokeCount(); }

    // What one stroke cost the main thread, in ms.
    struct TCost {
        double Stroke = 0; // the record that ends the drive and the events it queued: the stroke
                           // stored, the recovery start and its broadcast, the replots and paints
        double Cycle = 0;  // every record of the stroke, each with the events it queued
    };

    // Feeds records until one more stroke is stored, the recording from its start again at its
    // end; false when the session has ended. The events each record queued run before the next
    // one comes, as they do between the pulses of a real flywheel.
    bool NextStroke(TCost* cost = nullptr) {
        using TClockNow = std::chrono::steady_clock;
        const int before = Strokes();
        const qsizetype records = Demo.Count();
        if (records <= 0)
            return false;
        const auto cycle = TClockNow::now();
        while (Replay && Replay->State() == kvsOpened && Strokes() == before) {
            if (Record >= records)
                Record = 0;
            const auto start = TClockNow::now();
            Demo.Feed(Record++, *Replay, Clock);
            if (!cost)
                continue;
            QCoreApplication::processEvents();
            if (Strokes() != before)
                cost->Stroke = std::chrono::duration<double, std::milli>(TClockNow::now() - start).count();
        }
        if (cost)
            cost->Cycle = std::chrono::duration<double, std::milli>(TClockNow::now() - cycle).count();
        return Strokes() > before;
    }

    // Rows on to stroke n with the analysis windows closed.
    bool RowTo(int n) {
        CloseAnalysisWindows();
        while (Strokes() < n)
            if (!NextStroke())
                return false;
        QCoreApplication::processEvents();
        return true;
    }

    void OpenAnalysisWindows() {
        ShowStrokeData(Main.get());
        OpenForceCurveWindow(Main.get());
        Main->TileMosaic();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    void CloseAnalysisWindows() {
        for (QWidget* w : {Main->frmStrokeData.data(), Main->frmForceCurves.data()})
            if (w)
                delete ChildFrame(w);
        QCoreApplication::processEvents();
    }
};

// Made at the first use, freed before the application object goes.
std::unique_ptr<TSessionBench> TheBench;

TSessionBench& Bench() {
    if (!TheBench)
        TheBench = std::make_unique<TSessionBench>();
    return *TheBench;
}

void StrokeWithAnalysisWindows(benchmark::State& state) {
    TSessionBench& b = Bench();
    if (!b.RowTo(int(state.range(0)))) {
        state.SkipWithError("the session ended");
        return;
    }
    if (state.range(1) != 0)
        b.OpenAnalysisWindows();
    TPaintCounter paints;
    for (QWidget* w : {b.Main->frmStrokeData.data(), b.Main->frmForceCurves.data(), static_cast<QWidget*>(b.Row)})
        if (auto* chart = w ? w->findChild<TChartWidget*>() : nullptr)
            chart->installEventFilter(&paints);
    std::vector<double> stroke, cycle;
    for (auto _ : state) {
        TSessionBench::TCost cost;
        if (!b.NextStroke(&cost)) {
            state.SkipWithError("the session ended");
            break;
        }
        stroke.push_back(cost.Stroke);
        cycle.push_back(cost.Cycle);
    }
    if (stroke.empty())
        return;
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["stroke_ms"] = median(stroke);
    state.counters["stroke_slowest_ms"] = stroke.back();
    state.counters["cycle_ms"] = median(cycle);
    state.counters["stroke"] = b.Strokes();
    state.counters["chart_paints"] = double(paints.Paints) / double(stroke.size());
}
BENCHMARK(StrokeWithAnalysisWindows)
    ->ArgNames({"strokes", "windows"})
    ->Args({100, 1})
    ->Args({1000, 1})
    ->Args({3600, 1})
    ->Args({3600, 0}) // the row window alone, for comparison
    ->Iterations(kMeasuredStrokes)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));  // settings stay out of the user's
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BuildParameterTables();
    const int result = RunBenchmarks(argc, argv);
    TheBench.reset();
    return result;
}
