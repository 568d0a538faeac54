// The row window while rowing, offscreen at 1280 x 800: the demo recording is fed to the session
// through a replay interface, and each iteration takes one stroke's worth of it (every pulse,
// force sample and the stroke record) and then paints the whole window once. Also: painting
// after a single force sample (what a queued repaint during the drive costs), and the last
// strokes of a 3,600-stroke session whose live chart shows all of its strokes.
#include "bench/BenchMain.h"
#include "bench/ReplayInterface.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/RowWindow.h"
#include "session/TrainingWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <memory>

namespace {

struct TRowBench {
    TRawRecording Demo = TRawRecording::Demo();
    qsizetype Record = 0;
    TReplayClock Clock;
    std::unique_ptr<TfrmTraining> Window;
    std::unique_ptr<TfrmRow> Row;
    QPointer<TReplay> Replay;
    QImage Canvas{1280, 800, QImage::Format_ARGB32_Premultiplied};

    TRowBench() {
        Window = std::make_unique<TfrmTraining>(nullptr);
        LoadDefaultTraining(Window->Training);
        Window->Training.Id = 101;
        Window->TrainingId = 101;
        Row = std::make_unique<TfrmRow>(nullptr, Window.get());
        Row->resize(1280, 800);
        Row->show();
        StartReplaySession(*Row->Session, Clock, Replay);
        QCoreApplication::processEvents();
    }

    // Feeds records until one more stroke is stored; false at the end of the recording, or, with
    // Loop, the recording starts again.
    bool NextStroke(bool loop = false) {
        const int before = Row->Session->Recorder().StrokeCount();
        const qsizetype records = Demo.Count();
        if (records <= 0)
            return false;
        while (Replay && (loop || Record < records) && Row->Session->Recorder().StrokeCount() == before) {
            if (Record >= records)
                Record = 0;
            Demo.Feed(Record++, *Replay, Clock);
        }
        return Replay && (loop || Record < records);
    }

    void Paint() {
        QPainter painter(&Canvas);
        Row->render(&painter);
    }
};

// Made on first use, gone before the application object.
std::unique_ptr<TRowBench> SharedBench;

TRowBench& Bench() {
    if (!SharedBench)
        SharedBench = std::make_unique<TRowBench>();
    return *SharedBench;
}

void StrokeAndRepaint(benchmark::State& state) {
    TRowBench& b = Bench();
    for (auto _ : state) {
        if (!b.NextStroke()) {
            state.SkipWithError("recording ended");
            break;
        }
        QCoreApplication::processEvents();
        b.Paint();
    }
    state.counters["stroke"] = b.Row->Session->Recorder().StrokeCount();
}
BENCHMARK(StrokeAndRepaint)->Unit(benchmark::kMillisecond)->Iterations(200);

void RepaintOnly(benchmark::State& state) {
    TRowBench& b = Bench();
    for (auto _ : state)
        b.Paint();
}
BENCHMARK(RepaintOnly)->Unit(benchmark::kMillisecond);

// The last strokes of a 3,600-stroke session, with the data range as the argument (65535: all
// strokes).
constexpr int kLongSession = 3600;
constexpr int kTimedStrokes = 200;

void LongSessionLastStrokes(benchmark::State& state) {
    const int saved = RollingCount;
    RollingCount = int(state.range(0));
    {
        TRowBench b;
        // Rowed up to the last strokes untimed; the recording starts again whenever it ends.
        while (b.Row->Session->Recorder().StrokeCount() < kLongSession - kTimedStrokes && b.NextStroke(true))
            QCoreApplication::processEvents();
        for (auto _ : state) {
            if (!b.NextStroke(true)) {
                state.SkipWithError("the session ended");
                break;
            }
            QCoreApplication::processEvents();
            b.Paint();
        }
        state.counters["stroke"] = b.Row->Session->Recorder().StrokeCount();
        state.counters["points"] = b.Row->RightSeriesPoints(0);
    }
    RollingCount = saved;
}
BENCHMARK(LongSessionLastStrokes)->Unit(benchmark::kMillisecond)->Iterations(kTimedStrokes)->Arg(500)->Arg(65535);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BuildStrokeParameters();
    const int result = RunBenchmarks(argc, argv);
    SharedBench.reset();
    return result;
}
