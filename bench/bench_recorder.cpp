// The recording side of a long session: the built-in demo recording is played (looped) through
// the stroke engine until 3,600 strokes have been rowed, and every event the engine sent (pulses,
// force samples, drive and recovery starts, stroke records) is replayed into the stroke recorder
// with a full value display. Reported: the mean time per stroke (all its events) over the strokes
// leading up to stroke N; the slowest record among them (a stroke, or an idle record while the
// rower stops, with the pulses before it), each timed by its quickest repetition (what it costs
// itself, without the machine's other work); and the slowest single repetition of any record.
#include "bench/ReplayInterface.h"
#include "devices/FlywheelInterface.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "foundation/recording/StrokeRecorder.h"
#include "foundation/values/ValueData.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

namespace {

constexpr int kSessionStrokes = 3600;

enum class TKind : std::uint8_t { Raw, Force, Drive, Recover, Stroke };

// Small, so that replaying them costs little beside the recorder's work.
struct TEvent {
    TKind Kind;
    bool Valid = false;
    int A = 0, B = 0;    // heart raw/corrected, the sample index, or the record's index
    double X = 0, Y = 0; // wheel, or length and force
};

// The session's events; Ends[n] is the index after stroke n's record, RecordEnds the index
// after each record (strokes and idle records).
struct TSession {
    std::vector<TEvent> Events;
    std::vector<TStgStrokeData> Records;
    std::vector<std::size_t> Ends{0};
    std::vector<std::size_t> RecordEnds;
};

const TSession& Session() {
    static const TSession session = [] {
        static int argc = 1;
        static char name[] = "bench_recorder";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        const TRawRecording demo = TRawRecording::Demo();

        TSession s;
        TReplayClock clock;
        std::unique_ptr<TReplay> kv(CreateInterface<TReplay>(nullptr));
        kv->SetClock(&clock);
        kv->SetDoCalculate(true);
        TReplay* k = kv.get();
        kv->OnRawData = [&s, k](TInterface*, double wheel, int raw, int corrected) {
            s.Events.push_back({TKind::Raw, k->AllPulsesValid(), raw, corrected, wheel, 0});
        };
        kv->OnForceData = [&s](TInterface*, int puls, double length, double force, double) {
            s.Events.push_back({TKind::Force, false, puls, 0, length, force});
        };
        kv->OnStartingStroke = [&s](TInterface*) { s.Events.push_back({TKind::Drive, false, 0, 0, 0, 0}); };
        kv->OnStartingRecover = [&s](TInterface*) { s.Events.push_back({TKind::Recover, false, 0, 0, 0, 0}); };
        kv->OnStrokeData = [&s](TInterface*, const TStgStrokeData& d) {
            s.Events.push_back({TKind::Stroke, false, int(s.Records.size()), 0, 0, 0});
            s.Records.push_back(d);
            s.RecordEnds.push_back(s.Events.size());
            if (d.Number == s.Ends.size())
                s.Ends.push_back(s.Events.size());
        };
        kv->Open(kSourceDemo, QStringLiteral("replay"));
        const qsizetype records = demo.Count();
        while (int(s.Ends.size()) <= kSessionStrokes && records > 0)
            for (qsizetype r = 0; r < records && int(s.Ends.size()) <= kSessionStrokes; ++r)
                demo.Feed(r, *kv, clock);
        kv->Close();
        return s;
    }();
    return session;
}

struct TRig {
    TTraining Training;
    TValueData Values;
    TStrokeRecorder Recorder;

    TRig() {
        BuildStrokeParameters();
        InitUserSettings(Training.Ini);
        Training.Ini.LimitDistance = 1000000;  // the goal column counts down all the way
        for (int i = 0; i < kStrokeParameterCount; ++i)
            if (StrokeParameters[std::size_t(i)].Id >= 0)
                Values.DefineValue(i, StrokeParameterCaption(i), {}, StrokeParameterFormat(i));
        Recorder.Training = [this] { return &Training; };
        Recorder.Values = &Values;
        Recorder.ResetSession();
    }

    void Play(const TEvent& e) {
        switch (e.Kind) {
        case TKind::Raw: Recorder.RawData(e.X, e.A, e.B, e.Valid); break;
        case TKind::Force: Recorder.ForceData(e.A, e.X, e.Y); break;
        case TKind::Drive: Recorder.StartingStroke(); break;
        case TKind::Recover: Recorder.StartingRecover(); break;
        case TKind::Stroke: Recorder.StrokeData(Session().Records[std::size_t(e.A)]); break;
        }
    }
    void Play(std::size_t from, std::size_t to) {
        const std::vector<TEvent>& events = Session().Events;
        for (std::size_t i = from; i < to; ++i)
            Play(events[i]);
    }
};

// Strokes N/2 + 1 .. N, each with all of its events, from the state after stroke N/2.
void BM_RecordStrokesUpTo(benchmark::State& state) {
    const TSession& s = Session();
    const int last = int(state.range(0));
    const int first = last / 2 + 1;
    if (int(s.Ends.size()) <= last) {
        state.SkipWithError("the recording gave too few strokes");
        return;
    }
    TRig start;
    start.Play(0, s.Ends[std::size_t(first - 1)]);
    // The records from stroke `first` to stroke `last`, each with the events before it.
    const std::size_t from = s.Ends[std::size_t(first - 1)], to = s.Ends[std::size_t(last)];
    std::vector<std::size_t> ends;
    for (std::size_t e : s.RecordEnds)
        if (e > from && e <= to)
            ends.push_back(e);
    TRig rig;
    const int strokes = last - first + 1;
    std::vector<double> quickest(ends.size(), 1e9);
    double slowestAny = 0, all = 0;
    for (auto _ : state) {
        rig.Training = start.Training;
        rig.Recorder = start.Recorder;
        rig.Recorder.Training = [&rig] { return &rig.Training; };
        rig.Recorder.Values = &rig.Values;
        double total = 0;
        std::size_t begin = from;
        for (std::size_t r = 0; r < ends.size(); ++r) {
            const auto t0 = std::chrono::steady_clock::now();
            rig.Play(begin, ends[r]);
            const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            begin = ends[r];
            total += t;
            slowestAny = std::max(slowestAny, t);
            quickest[r] = std::min(quickest[r], t);
        }
        state.SetIterationTime(total);
        all += total;
    }
    state.SetItemsProcessed(state.iterations() * strokes);
    state.counters["mean_stroke_us"] = all / double(state.iterations() * strokes) * 1e6;
    state.counters["quickest_mean_stroke_us"] =
        std::accumulate(quickest.begin(), quickest.end(), 0.0) / strokes * 1e6;
    state.counters["slowest_stroke_us"] = *std::max_element(quickest.begin(), quickest.end()) * 1e6;
    state.counters["slowest_any_us"] = slowestAny * 1e6;
    state.counters["events_per_stroke"] =
        double(s.Ends[std::size_t(last)] - s.Ends[std::size_t(first - 1)]) / strokes;
}
BENCHMARK(BM_RecordStrokesUpTo)->Arg(100)->Arg(1000)->Arg(kSessionStrokes)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
