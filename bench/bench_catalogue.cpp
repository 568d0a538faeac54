// The parameter catalogue at the scale of a long session: formatting 100,000 column values,
// computing every stroke value of 3,600 strokes (an hour at one stroke a second) and the session
// values over them.
#include "foundation/catalogue/ParameterCatalogue.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kValues = 100000;
constexpr int kStrokes = 3600;

std::vector<TStgStrokeData> MakeStrokes() {
    std::vector<TStgStrokeData> strokes(kStrokes);
    for (int i = 0; i < kStrokes; ++i) {
        TStgStrokeData& s = strokes[static_cast<std::size_t>(i)];
        s.Number = static_cast<Word>(i + 1);
        s.Power = 200.0f + static_cast<float>(i % 50);
        s.StrokeRate = 24.0f + static_cast<float>(i % 5);
        s.Time = 1.0f * static_cast<float>(i + 1);
        s.Distance = 4.2f * static_cast<float>(i + 1);
        s.Est500mTime = 110.0f + static_cast<float>(i % 20) * 0.1f;
        s.EnergySum = 0.6f * static_cast<float>(i + 1);
        s.DriveTime = 0.8f;
        s.DriveRatio = 1.9f;
        s.DistancePerStroke = 1000.0f + static_cast<float>(i % 30);
    }
    return strokes;
}

// Formats of one kind applied to 100,000 values.
void FormatValues(benchmark::State& state, const QString& format, double scale) {
    for (auto _ : state) {
        qsizetype length = 0;
        for (int i = 0; i < kValues; ++i)
            length += FormatParameterValue(format, i * scale).size();
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}

void BM_Format100kNumbers(benchmark::State& state) {
    FormatValues(state, QStringLiteral("%4.0f"), 0.37);
}
BENCHMARK(BM_Format100kNumbers)->Unit(benchmark::kMillisecond);

void BM_Format100kTimes(benchmark::State& state) {
    FormatValues(state, QStringLiteral("Tnn:ss.0"), 0.1 / 86400.0);
}
BENCHMARK(BM_Format100kTimes)->Unit(benchmark::kMillisecond);

void BM_Format100kRatios(benchmark::State& state) {
    FormatValues(state, QStringLiteral("F%1.2f"), 0.01);
}
BENCHMARK(BM_Format100kRatios)->Unit(benchmark::kMillisecond);

// Every one of the 42 stroke values of 3,600 strokes, as a chart rebuild or grid fill asks.
void BM_StrokeValues3600(benchmark::State& state) {
    BuildStrokeParameters();
    const std::vector<TStgStrokeData> strokes = MakeStrokes();
    TStgIni ini;
    ini.SessionLimit = 3;
    ini.LimitTime = 3600;
    for (auto _ : state) {
        double sum = 0;
        for (const TStgStrokeData& s : strokes)
            for (int i = 0; i < kStrokeParameterCount; ++i)
                sum += GetStrokeParameterValue(s, i, ini);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kStrokes * kStrokeParameterCount);
}
BENCHMARK(BM_StrokeValues3600)->Unit(benchmark::kMicrosecond);

// The same strokes formatted, as the stroke-data grid shows them.
void BM_FormatStrokes3600(benchmark::State& state) {
    BuildStrokeParameters();
    const std::vector<TStgStrokeData> strokes = MakeStrokes();
    const TStgIni ini;
    for (auto _ : state) {
        qsizetype length = 0;
        for (const TStgStrokeData& s : strokes)
            for (int i = 0; i < kStrokeParameterCount; ++i)
                length += FormatStrokeParameter(s, i, ini).size();
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations() * kStrokes * kStrokeParameterCount);
}
BENCHMARK(BM_FormatStrokes3600)->Unit(benchmark::kMillisecond);

// Every session value and the average ratio of a 3,600-stroke training, as the training window,
// the results and the stroke-data grid show them (the averages go over every stroke).
void BM_SessionValues3600(benchmark::State& state) {
    BuildSessionParameters();
    BuildStrokeParameters();
    TTraining t;
    t.StrokeData.resize(1);
    const std::vector<TStgStrokeData> strokes = MakeStrokes();
    t.StrokeData.insert(t.StrokeData.end(), strokes.begin(), strokes.end());
    t.Workout = {strokes.back().Distance, strokes.back().Time, strokes.back().EnergySum, 210};
    for (auto _ : state) {
        qsizetype length = FormatSessionDriveRatioTrimmed(t).size();
        for (int i = 0; i < kSessionParameterCount; ++i)
            length += FormatSessionParameterTrimmed(t, i).size();
        benchmark::DoNotOptimize(length);
    }
}
BENCHMARK(BM_SessionValues3600)->Unit(benchmark::kMicrosecond);

} // namespace
