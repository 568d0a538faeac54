// Load and save of a two-hour training (3,600 strokes with curves, 600,000 raw samples), from
// and to memory and through a file. Bytes/s is the file size per second.
#include "foundation/files/TrainingFiles.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const TTraining& TwoHourTraining() {
    static const TTraining training = [] {
        TTraining t;
        InitTrainingHeader(t.Header);
        InitUserSettings(t.Ini);
        constexpr int strokes = 3600;
        SetStrokeCount(t, strokes);
        for (int i = 1; i <= strokes; ++i) {
            TStgStrokeData& s = t.StrokeData[static_cast<std::size_t>(i)];
            s.Time = 2.0f * static_cast<float>(i);
            s.Power = 180.0f + static_cast<float>(i % 40);
            s.StrokeRate = 26.0f;
            s.Length = 150.0f;
            s.Distance = 9.5f * static_cast<float>(i);
            TStgForceCurve& c = t.ForceCurves[static_cast<std::size_t>(i)];
            c.Present = 1;
            for (int k = 0; k < 70; ++k)
                c.Force[static_cast<std::size_t>(k)] = static_cast<Word>(k * (70 - k) / 3);
        }
        SetIntervalCount(t, 20);
        t.RawData.resize(600001);
        for (std::size_t i = 1; i < t.RawData.size(); ++i)
            t.RawData[i] = TStgRawData{static_cast<Word>(3000 + i % 2000), static_cast<std::uint8_t>(120 + i % 40)};
        return t;
    }();
    return training;
}

void BM_StgEncode(benchmark::State& state) {
    const TTraining& t = TwoHourTraining();
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes = EncodeStgFile(t);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_StgDecode(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = EncodeStgFile(TwoHourTraining());
    TTraining t;
    for (auto _ : state) {
        if (!DecodeStgFile(bytes.data(), bytes.size(), t)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(t.RawData.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_StgSaveFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("bench.stg"));
    const TTraining& t = TwoHourTraining();
    for (auto _ : state)
        if (!WriteStgFile(name, t)) state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * QFileInfo(name).size());
}

void BM_StgLoadFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("bench.stg"));
    WriteStgFile(name, TwoHourTraining());
    TTraining t;
    for (auto _ : state)
        if (!ReadStgFile(name, t)) state.SkipWithError("load failed");
    state.SetBytesProcessed(state.iterations() * QFileInfo(name).size());
}

// The two-hour training followed by a chunk of another kind up to 100 MB, the file sparse (no
// disk blocks): only the chunks that are decoded are read, so this costs what the training does.
void BM_StgLoadFileWithALargeUnknownChunk(benchmark::State& state) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("bench.stg"));
    WriteStgFile(name, TwoHourTraining());
    {
        QFile f(name);
        f.open(QIODevice::Append);
        const qint64 filler = (qint64{100} << 20) - f.size() - 7;
        const char head[7] = {9, 1, 0, char(filler & 0xFF), char((filler >> 8) & 0xFF), char((filler >> 16) & 0xFF),
                              char((filler >> 24) & 0xFF)};
        f.write(head, sizeof head);
        f.resize(qint64{100} << 20);
    }
    TTraining t;
    for (auto _ : state)
        if (!ReadStgFile(name, t)) state.SkipWithError("load failed");
}

} // namespace

BENCHMARK(BM_StgEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StgDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StgSaveFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StgLoadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StgLoadFileWithALargeUnknownChunk)->Unit(benchmark::kMillisecond);
