// Saving a two-hour training (3,600 strokes with force curves, as a session records it) through
// the save path the File Save action takes: the export with its checks, the atomic write and the
// options it updates. The target stays under 100 ms per save.
#include "bench/BenchMain.h"
#include "foundation/files/TrainingFiles.h"
#include "foundation/files/TrainingSaving.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "session/TrainingWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

TTraining TwoHourSession() {
    TTraining t;
    InitTrainingHeader(t.Header);
    InitUserSettings(t.Ini);
    t.Header.Title = "Two hours";
    t.Header.ContentKind = 9;  // Row
    t.Header.FileFormat = 5;
    t.Recorded = 1;
    constexpr int strokes = 3600;
    SetStrokeCount(t, strokes);
    for (int i = 1; i <= strokes; ++i) {
        TStgStrokeData& s = t.StrokeData[static_cast<std::size_t>(i)];
        s.Time = 2.0f * static_cast<float>(i);
        s.Power = 180.0f + static_cast<float>(i % 40);
        s.StrokeRate = 26.0f;
        s.Length = 150.0f;
        s.Distance = 9.5f * static_cast<float>(i);
        s.Est500mTime = 110.0f + static_cast<float>(i % 7);
        s.DriveRatio = 2.0f;
        TStgForceCurve& c = t.ForceCurves[static_cast<std::size_t>(i)];
        c.Present = 1;
        for (int k = 0; k < 70; ++k) c.Force[static_cast<std::size_t>(k)] = static_cast<Word>(k * (70 - k) / 3);
    }
    t.Workout = {34200, 7200, 1400, 195};
    return t;
}

void BM_SaveTrainingToFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString name = dir.filePath("two-hours.stg");
    TTraining t = TwoHourSession();
    TSaveContext context;
    context.AddRecentFile = [](const QString&) {};
    for (auto _ : state) {
        t.Header.Modified = 1;
        const TSaveOutcome outcome = SaveTrainingToFile(t, name, context);
        if (!outcome.Saved) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * QFileInfo(name).size());
    state.counters["strokes"] = static_cast<double>(t.StrokeData.size() - 1);
}
BENCHMARK(BM_SaveTrainingToFile)->Unit(benchmark::kMillisecond);

// The same through the training window's File Save: the save and the window's refresh of its
// grids and marks afterwards.
void BM_TrainingWindowSave(benchmark::State& state) {
    QTemporaryDir dir;
    const QString name = dir.filePath("two-hours.stg");
    BuildParameterTables();
    TfrmTraining window(nullptr);
    window.Training = TwoHourSession();
    window.RefreshTraining();
    window.show();
    for (auto _ : state) {
        window.Training.Header.Modified = 1;
        if (!window.SaveToFile(name)) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * QFileInfo(name).size());
}
BENCHMARK(BM_TrainingWindowSave)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
