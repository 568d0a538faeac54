// The stroke-data window over 10 open trainings of 3,600 strokes each (two hours apiece),
// offscreen at 1000 x 700: opening it (made, placed, coloured, filled and painted) and redrawing
// it after a change of the Y column.
//
// With --screenshot=FILE.png the program instead shows the main window with the stroke-data
// window over trainings and writes its picture (run it under Xvfb). The trainings come from raw
// recordings given as further arguments (FILE.dat, replayed through the stroke engine as demo
// playback does), else from the built-in model above; --x=N, --y=N and --z=N choose the columns
// and --size=WxH the main window's size.
#include "bench/BenchMain.h"
#include "bench/ReplayInterface.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kTrainings = 10;
constexpr int kStrokes = 3600;

// A steady two hours whose power, rate and pulse drift differently for every seed.
TTraining SteadyTraining(int seed)
{
    TTraining t;
    LoadDefaultTraining(t);
    t.Header.ContentKind = 7;
    t.Header.Title = "Steady " + std::to_string(seed + 1);
    t.Header.Active = 1;
    t.Header.Color = std::int32_t(ColorValues[std::size_t(seed) % ColorValues.size()]);
    SetStrokeCount(t, kStrokes);
    double time = 0, distance = 0;
    for (int i = 1; i <= kStrokes; ++i) {
        TStgStrokeData& s = t.StrokeData[std::size_t(i)];
        const double phase = i / (60.0 + 7 * seed);
        const double rate = 28 + 2 * std::cos(phase);
        time += 60 / rate;
        distance += 8.0 + 0.3 * std::sin(phase);
        s.Number = Word(i);
        s.Time = float(time);
        s.Distance = float(distance);
        s.Power = float(170 + 10 * seed + 30 * std::sin(phase));
        s.StrokeRate = float(rate);
        s.Pulse = float(120 + 30.0 * i / kStrokes + seed);
        s.Length = float(135 + 5 * std::sin(phase * 3));
        s.DriveTime = 0.8f;
        s.DriveRatio = float((60 / rate - 0.8) / 0.8);
        s.Energy = float(s.Power * 60 / rate);
    }
    t.Workout = {float(distance), float(time), float(time * 0.2), 190};
    return t;
}

// A raw recording replayed through the stroke engine into a training, as demo playback records
// a session.
bool ReplayTraining(const QString& fileName, int seed, TTraining& t)
{
    QFile input(fileName);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const TRawRecording recording{input.readAll()};
    if (recording.Bytes.size() < kKvRawHeaderSize)
        return false;
    LoadDefaultTraining(t);
    t.Header.ContentKind = 7;
    t.Header.Title = QFileInfo(fileName).completeBaseName().toStdString();
    t.Header.Active = 1;
    t.Header.Color = std::int32_t(ColorValues[std::size_t(seed) % ColorValues.size()]);
    TReplayClock clock;
    std::unique_ptr<TReplay> kv(CreateInterface<TReplay>(nullptr));
    kv->SetClock(&clock);
    kv->SetDoCalculate(true);
    std::vector<TStgStrokeData> strokes;
    std::vector<TStgForceCurve> curves;
    TStgForceCurve lastCurve{};
    kv->OnForceCurve = [&lastCurve](TInterface*, const TStgForceCurve& c) { lastCurve = c; };
    kv->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
        if (d.Number == 0 || (!strokes.empty() && d.Number == strokes.back().Number))
            return;  // idle records repeat the last stroke
        strokes.push_back(d);
        curves.push_back(lastCurve);
    };
    kv->Open(kSourceDemo, QStringLiteral("replay"));
    for (qsizetype r = 0; r < recording.Count() && kv->State() == kvsOpened; ++r)
        recording.Feed(r, *kv, clock);
    kv->Close();
    SetStrokeCount(t, int(strokes.size()));
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        t.StrokeData[i + 1] = strokes[i];
        t.ForceCurves[i + 1] = curves[i];
        // The recording derives the peak from the curve.
        CalcPeakForce(t.StrokeData[i + 1], curves[i], t.Ini.Sprocket);
    }
    SetAverageStroke(t);
    if (!strokes.empty())
        t.Workout = {strokes.back().Distance, strokes.back().Time, strokes.back().EnergySum,
                     SafeDivide(strokes.back().EnergySum * 1000, strokes.back().Time)};
    return !strokes.empty();
}

void AddTrainingWindow(TfrmMain& main, TTraining training)
{
    auto* window = new TfrmTraining(&main);
    window->TrainingId = training.Id = main.NextTrainingId();
    window->Training = std::move(training);
    ChildFrame(window)->showMinimized();
    main.TrainingsChanged(true);
}

std::unique_ptr<TfrmMain> MakeMain()
{
    auto main = std::make_unique<TfrmMain>();
    main->ConfirmExit = false;
    main->TrainingViewMode = 3;  // children open maximised
    main->resize(1000, 700);
    main->show();
    for (int i = 0; i < kTrainings; ++i)
        AddTrainingWindow(*main, SteadyTraining(i));
    QApplication::processEvents();
    return main;
}

void CloseWithoutSaving(TfrmStrokeData* window)
{
    delete ChildFrame(window);
    QApplication::processEvents();
}

// Everything the window does once it is shown: layout, the chart's replots, the paint.
void Settle(TfrmStrokeData* window)
{
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    benchmark::DoNotOptimize(window->grab());
}

void OpenStrokeDataWindow(benchmark::State& state)
{
    const std::unique_ptr<TfrmMain> main = MakeMain();
    for (auto _ : state) {
        TfrmStrokeData* window = ShowStrokeData(main.get());
        Settle(window);
        state.PauseTiming();
        CloseWithoutSaving(window);
        state.ResumeTiming();
    }
    state.counters["series"] = kTrainings * 2;
}
BENCHMARK(OpenStrokeDataWindow)->Unit(benchmark::kMillisecond);

void RedrawAfterColumnChange(benchmark::State& state)
{
    const std::unique_ptr<TfrmMain> main = MakeMain();
    TfrmStrokeData* window = ShowStrokeData(main.get());
    Settle(window);
    int column = 1;
    std::size_t points = 0;
    for (auto _ : state) {
        column = column == 1 ? 3 : 1;  // power, stroke rate
        window->cmbY->setCurrentIndex(column);
        Settle(window);
        points = 0;
        for (const TChartSeries& s : window->FChart->Model().Series)
            points += s.Points.size();
    }
    state.counters["points"] = double(points);
    CloseWithoutSaving(window);
}
BENCHMARK(RedrawAfterColumnChange)->Unit(benchmark::kMillisecond);

// Columns x, y and z below 0 keep the window's own.
int WriteScreenshot(const char* fileName, const QStringList& recordings, int width, int height, int x, int y, int z)
{
    TfrmMain main;
    main.ConfirmExit = false;
    main.resize(width, height);
    main.show();
    int seed = 0;
    for (const QString& recording : recordings) {
        TTraining t;
        if (!ReplayTraining(recording, seed++, t)) {
            std::fprintf(stderr, "no strokes in %s\n", qPrintable(recording));
            return 1;
        }
        std::fprintf(stderr, "%s: %d strokes\n", qPrintable(recording), int(t.StrokeData.size()) - 1);
        AddTrainingWindow(main, std::move(t));
    }
    if (recordings.isEmpty())
        for (int i = 0; i < 3; ++i)
            AddTrainingWindow(main, SteadyTraining(i));
    TfrmStrokeData* window = ShowStrokeData(&main);
    for (auto [list, column] : {std::pair{window->cmbX, x}, std::pair{window->cmbY, y}, std::pair{window->cmbZ, z}})
        if (column >= 0)
            list->setCurrentIndex(column);
    main.ShowChild(window);
    ChildFrame(window)->showMaximized();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    window->clbTrainings->setCurrentRow(0);
    QApplication::processEvents();
    const bool saved = main.grab().save(QString::fromLocal8Bit(fileName));
    window->ChartPicture().save(QString::fromLocal8Bit(fileName).replace(QStringLiteral(".png"), QStringLiteral("-picture.png")));
    CloseWithoutSaving(window);
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* screenshot = nullptr;
    QStringList recordings;
    int width = 1200, height = 800, x = -1, y = -1, z = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0)
            screenshot = argv[i] + 13;
        else if (std::strncmp(argv[i], "--x=", 4) == 0)
            x = std::atoi(argv[i] + 4);
        else if (std::strncmp(argv[i], "--y=", 4) == 0)
            y = std::atoi(argv[i] + 4);
        else if (std::strncmp(argv[i], "--z=", 4) == 0)
            z = std::atoi(argv[i] + 4);
        else if (std::strncmp(argv[i], "--size=", 7) == 0)
            std::sscanf(argv[i] + 7, "%dx%d", &width, &height);
        else if (screenshot && argv[i][0] != '-')
            recordings << QString::fromLocal8Bit(argv[i]);
    }
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));  // settings stay out of the user's
    if (!screenshot)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BuildParameterTables();
    if (screenshot)
        return WriteScreenshot(screenshot, recordings, width, height, x, y, z);
    return RunBenchmarks(argc, argv);
}
