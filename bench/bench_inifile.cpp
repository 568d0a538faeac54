// Reading and writing a settings file of 500 keys (25 sections of 20 keys), as a full program
// keeps it.
#include "platform/IniFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int KSections = 25;
constexpr int KKeys = 20;

QString SectionName(int s) {
    return QStringLiteral("Section%1").arg(s);
}
QString KeyName(int k) {
    return QStringLiteral("Key%1").arg(k);
}

void Fill(TIniFile& ini, int salt) {
    for (int s = 0; s < KSections; ++s)
        for (int k = 0; k < KKeys; ++k)
            ini.WriteString(SectionName(s), KeyName(k),
                            QStringLiteral("%1 %2, 1 =x").arg(s * KKeys + k).arg(salt));
}

// Opening the file and reading every key (the file is parsed once, when first opened).
void BM_IniRead500(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.ini");
    {
        TIniFile ini(path);
        Fill(ini, 0);
    }
    const qint64 size = QFileInfo(path).size();
    for (auto _ : state) {
        TIniFile ini(path);
        int sum = 0;
        for (int s = 0; s < KSections; ++s)
            for (int k = 0; k < KKeys; ++k)
                sum += int(ini.ReadString(SectionName(s), KeyName(k), QString()).size());
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_IniRead500);

// Changing every key and saving (temporary file and rename).
void BM_IniWrite500(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.ini");
    TIniFile ini(path);
    Fill(ini, 0);
    ini.UpdateFile();
    int salt = 0;
    for (auto _ : state) {
        Fill(ini, ++salt);
        if (!ini.UpdateFile()) state.SkipWithError("UpdateFile failed");
    }
}
BENCHMARK(BM_IniWrite500);

// Lookups alone on a file already in memory.
void BM_IniLookup500(benchmark::State& state) {
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("bench.ini"));
    Fill(ini, 0);
    for (auto _ : state) {
        int found = 0;
        for (int s = 0; s < KSections; ++s)
            for (int k = 0; k < KKeys; ++k)
                found += ini.ValueExists(SectionName(s), KeyName(k));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_IniLookup500);

// Opening a settings file of 100,000 sections again after its last object went away (as each
// window does at start-up), unchanged: its content is read and compared, not parsed again.
void BM_IniReopen100000Sections(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.ini");
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        for (int s = 0; s < 100000; ++s)
            f.write(QStringLiteral("[Window%1]\nLeft=%1\nTop=20\n").arg(s).toUtf8());
    }
    { TIniFile first(path); } // the first open parses
    for (auto _ : state) {
        TIniFile ini(path);
        benchmark::DoNotOptimize(ini.ReadInteger(QStringLiteral("Window99999"), QStringLiteral("Left"), 0));
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}
BENCHMARK(BM_IniReopen100000Sections)->Unit(benchmark::kMillisecond);

} // namespace
