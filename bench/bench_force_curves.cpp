// The force-curve window at the size of a real analysis window, offscreen: 10 open trainings of
// 3,600 strokes each (two hours at 30 strokes a minute) and all four averages active.
//   Redraw: the four averages rebuilt, the series, the grid and the whole window painted.
//   PlayStep: one tick of the play timer (the selected training moves on one curve, then the
//   same redraw and paint).
//   DeleteCurve: one Delete on the selected training (its session average over 3,600 strokes
//   recomputed) and the redraw.
// With --screenshot=DIR the program writes pictures of the window instead, run on the display it
// finds (for example under xvfb-run): a demo session (the built-in recording replayed through the
// stroke engine and the recorder) beside a two-hour training, browsed, then at fixed values.
#include "bench/BenchMain.h"
#include "analysis/ForceCurveWindow.h"
#include "bench/ReplayInterface.h"
#include "foundation/recording/StrokeRecorder.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QListWidget>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>

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

// The built-in demo recording, looped, through the stroke engine into a recorded training.
TTraining DemoSession(int strokes) {
    TTraining training;
    InitUserSettings(training.Ini);
    training.Header.Title = "Demo session";
    TStrokeRecorder recorder;
    recorder.Training = [&training] { return &training; };
    recorder.ResetSession();

    const TRawRecording demo = TRawRecording::Demo();
    if (demo.Count() == 0) return training;
    TReplayClock clock;
    std::unique_ptr<TReplay> kv(CreateInterface<TReplay>(nullptr));
    kv->SetClock(&clock);
    kv->SetDoCalculate(true);
    TReplay* k = kv.get();
    int stored = 0;
    kv->OnRawData = [&](TInterface*, double wheel, int raw, int corrected) {
        recorder.RawData(wheel, raw, corrected, k->AllPulsesValid());
    };
    kv->OnForceData = [&](TInterface*, int puls, double length, double force, double) {
        recorder.ForceData(puls, length, force);
    };
    kv->OnStartingStroke = [&](TInterface*) { recorder.StartingStroke(); };
    kv->OnStartingRecover = [&](TInterface*) { recorder.StartingRecover(); };
    kv->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
        if (!recorder.StrokeData(d).Idle) stored = int(d.Number);
    };
    kv->Open(kSourceDemo, QStringLiteral("replay"));
    while (stored < strokes)
        for (qsizetype r = 0; r < demo.Count() && stored < strokes; ++r)
            demo.Feed(r, *kv, clock);
    kv->Close();
    recorder.Closing();
    return training;
}

int WriteScreenshots(const QString& folder) {
    QDir().mkpath(folder);
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    SplashDisplayTimeOverride = 0;
    BuildStrokeParameters();
    TfrmMain main;
    main.ConfirmExit = false;
    main.resize(1100, 760);
    main.show();
    TTraining demo = DemoSession(400);
    demo.Header.Active = 1;
    demo.Header.Color = 0x0000FF;
    demo.Header.PenWidth = 2;
    demo.Header.CurrentStroke = 200;
    TTraining twoHours = MakeTraining(3);
    twoHours.Header.Title = "Two hours";
    twoHours.Header.CurrentStroke = 1800;
    main.NewTraining(QString())->Training = demo;
    main.NewTraining(QString())->Training = twoHours;
    TfrmForceCurves* window = OpenForceCurveWindow(&main);
    ChildFrame(window)->resize(1000, 680);
    ChildFrame(window)->move(0, 0);
    window->clbTrainings->setCurrentRow(0);
    main.SpareTraining(-1).Header.Active = 1;
    main.SpareTraining(-4).Header.Active = 1;
    main.RefreshViews();
    const auto shoot = [&](const char* name) {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        return main.grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
    };
    bool ok = shoot("forcecurves-browse.png");
    window->cbxForce->setChecked(true);
    window->cbxLength->setChecked(true);
    window->clbTrainings->setCurrentRow(1);
    window->rbtBrowseAverage->click();
    ok = shoot("forcecurves-fixed.png") && ok;
    std::fprintf(stderr, "demo session: %d strokes, stroke 200 %.0f cm, peak %.0f N\n",
                 int(demo.StrokeData.size()) - 1, demo.StrokeData[200].Length, demo.StrokeData[200].PeakForce);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const char* shots = nullptr;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0) shots = argv[i] + 13;
    if (!shots) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (shots) return WriteScreenshots(QString::fromLocal8Bit(shots));
    return RunBenchmarks(argc, argv);
}
