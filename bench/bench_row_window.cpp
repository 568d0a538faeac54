// The row window while rowing, offscreen at 1280 x 800: the demo recording is fed to the session
// through a replay interface, and each iteration takes one stroke's worth of it (every pulse,
// force sample and the stroke record) and then paints the whole window once. Also: painting
// after a single force sample (what a queued repaint during the drive costs).
#include "bench/BenchMain.h"
#include "bench/ReplayInterface.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "resources/DemoData.h"
#include "session/RowWindow.h"
#include "session/TrainingWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace {

struct TRowBench {
    QByteArray Bytes;
    qsizetype Record = 0;
    TReplayClock Clock;
    std::unique_ptr<TfrmTraining> Window;
    std::unique_ptr<TfrmRow> Row;
    QPointer<TReplay> Replay;
    QImage Canvas{1280, 800, QImage::Format_ARGB32_Premultiplied};

    TRowBench() {
        InitDemoDataResource();
        QFile f(QString::fromLatin1(kDemoDataResource));
        if (f.open(QIODevice::ReadOnly))
            Bytes = f.readAll();
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

    // Feeds records until one more stroke is stored; false at the end of the recording.
    bool NextStroke() {
        const int before = Row->Session->Recorder().StrokeCount();
        const auto* data = reinterpret_cast<const unsigned char*>(Bytes.constData());
        const qsizetype records = (Bytes.size() - kKvRawHeaderSize) / kStgRawDataSize;
        while (Replay && Record < records && Row->Session->Recorder().StrokeCount() == before) {
            const unsigned char* p = data + kKvRawHeaderSize + kStgRawDataSize * Record++;
            const auto ticks = std::uint16_t(p[0] | (p[1] << 8));
            Clock.Advance(double(ticks) / kKvTicksPerSecond);
            Replay->Feed(ticks, p[2]);
        }
        return Replay && Record < records;
    }

    void Paint() {
        QPainter painter(&Canvas);
        Row->render(&painter);
    }
};

TRowBench& Bench() {
    static TRowBench bench;
    return bench;
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BuildStrokeParameters();
    return RunBenchmarks(argc, argv);
}
