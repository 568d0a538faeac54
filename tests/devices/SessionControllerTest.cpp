// The session road without a display: the connect dialog, message window and the other seams
// are played by the test; the interface is a KV interface fed with raw records by the test.
#include "devices/session/SessionController.h"

#include "bench/ReplayInterface.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "resources/DemoData.h"
#include "support/FakeClock.h"
#include "support/FakePrompt.h"
#include "support/PtyPeer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Opens at once without data; the test hands it records, or forces a state.
class TProbe : public TReplay {
public:
    using TReplay::TReplay;
    void Force(TKeloState state) { FState = state; }
};

const QByteArray& DemoBytes() {
    static const QByteArray bytes = [] {
        InitDemoDataResource();
        QFile file(QString::fromLatin1(kDemoDataResource));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInterfaceBeep([this] { ++Beeps; });
        BuildStrokeParameters();
        ASSERT_TRUE(Dir.isValid());
        LoadDefaultTraining(Training);
        Training.Ini.LimitDistance = 0;
        Ctl.SettingsFileName = Dir.filePath(QStringLiteral("kvwt.ini"));
        Ctl.SetClock(&Clock);
        Ctl.SetTraining([this] { return TrainingAlive ? &Training : nullptr; });
        Ctl.CreateInterfaceOfKind = [this](std::uint8_t kind, QObject* owner) -> TInterface* {
            if (kind < 1 || kind > 3)
                return nullptr;
            Probe = CreateInterface<TProbe>(owner);
            return Probe;
        };
        TSessionView& v = Ctl.View;
        v.ConnectDialog = [this](TConnectChoice& c) {
            c = Choice;
            return DialogOk;
        };
        v.ConfirmReset = [this](TTraining&) { return Note("confirm"), true; };
        v.AskDisconnect = [this] { return Note("ask"), Disconnect; };
        v.ShowError = [this](const QString& text) { Errors << text; };
        v.ShowResults = [this](TTraining&) { Note("results"); };
        v.ShowMessageWindow = [this](const QString& text) {
            MessageVisible = true;
            Messages << text;
        };
        v.CloseMessageWindow = [this] { MessageVisible = false; };
        v.MessageWindowVisible = [this] { return MessageVisible; };
        v.SetWarmingUpPanel = [this](bool on) { Note(on ? "warm-up on" : "warm-up off"); };
        v.RefreshHeader = [this] { Note("header"); };
        v.SaveLayout = [this] { Note("layout"); };
        v.AddRowingTime = [this](double days) { RowingDays.push_back(days); };
        v.AddRowingSession = [this] { Note("session"); };
    }

    void TearDown() override {
        Ctl.CloseSession(true);
        SetInterfaceBeep(nullptr);
    }

    void Note(const char* what) { Log.push_back(what); }
    int Count(const std::string& what) const { return int(std::count(Log.begin(), Log.end(), what)); }

    // Runs queued calls (error boxes, results, deferred deletes).
    static void RunQueued() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Demo records r0 .. r1 - 1 to the probe, the fake clock following them.
    void Feed(qsizetype r0, qsizetype r1) {
        const auto* data = reinterpret_cast<const unsigned char*>(DemoBytes().constData());
        for (qsizetype r = r0; r < r1 && Probe && Probe->State() > kvsClosed; ++r) {
            const unsigned char* p = data + kKvRawHeaderSize + kStgRawDataSize * r;
            const auto ticks = std::uint16_t(p[0] | (p[1] << 8));
            // The clock moves as the replay's does: whole milliseconds of the summed intervals.
            const std::int64_t before = std::int64_t(FedSeconds * 1000);
            FedSeconds += double(ticks) / kKvTicksPerSecond;
            Clock.Advance(std::int64_t(FedSeconds * 1000) - before);
            Probe->Feed(ticks, p[2]);
        }
    }

    // Press, get the first data, and let the road start recording.
    void StartSession(std::uint8_t connectType = 0) {
        Choice.ConnectType = connectType;
        Ctl.ButtonClick();
        ASSERT_EQ(Ctl.Phase(), TSessionPhase::Connecting);
        Feed(0, 1);
        Ctl.Tick();
        for (int s = 0; s < 5 && Ctl.Phase() == TSessionPhase::Countdown; ++s) {
            Clock.Advance(kCountdownStepMs);
            Ctl.Tick();
        }
        ASSERT_EQ(Ctl.Phase(), TSessionPhase::Running);
    }

    QTemporaryDir Dir;
    TFakeClock Clock;
    TTraining Training;
    bool TrainingAlive = true;
    TSessionController Ctl;
    QPointer<TProbe> Probe;
    TConnectChoice Choice{QStringLiteral("DEMO"), 0, 1};
    bool DialogOk = true;
    bool Disconnect = false;
    bool MessageVisible = false;
    QStringList Messages, Errors;
    std::vector<std::string> Log;
    std::vector<double> RowingDays;
    double FedSeconds = 0;
    int Beeps = 0;
};

TEST_F(SessionTest, ConnectRoadDirect) {
    EXPECT_EQ(Ctl.ButtonAction(), TButtonAction::Connect);
    StartSession();
    EXPECT_EQ(Messages, QStringList({"Connecting to KV Interface ...",
                                     "Searching for KV Interface on DEMO (press [Esc] to cancel) ...",
                                     "Waiting for interface ... (Press [Esc] to cancel)",
                                     "Waiting for action ... (Press [Esc] to cancel)"}));
    EXPECT_EQ(Count("confirm"), 1);  // asked every time; an empty training passes unasked
    EXPECT_EQ(Count("session"), 1);
    EXPECT_EQ(Training.Recorded, 1);
    EXPECT_EQ(Training.Header.ContentKind, 9);
    EXPECT_EQ(Training.Header.InterfaceType, 1);
    EXPECT_EQ(Training.State, 2);
    EXPECT_TRUE(Ctl.ButtonEnabled());
    EXPECT_EQ(Ctl.ButtonCaption(), "&Pause");
    auto* kv = dynamic_cast<TKVInterface*>(Ctl.CurrentInterface());
    ASSERT_TRUE(kv);
    EXPECT_TRUE(kv->DoCalculate());
    EXPECT_DOUBLE_EQ(kv->Inertia(), 0.1088);
    EXPECT_EQ(kv->Cog(), Training.Ini.Sprocket + 10);
    EXPECT_EQ(kv->Magnets(), 4);
    EXPECT_EQ(kv->Tension(), 21.0);  // [Row] Tension 0 leaves the interface's own
    EXPECT_FALSE(kv->DemoFast());  // the default tuning plays the demo at its pace
    EXPECT_EQ(kv->ProtocolSet(), (TKeloProtocolSet{kvpDOS, kvpKvw}));

    Feed(1, 1);
    Feed(1, 2);  // the first recorded packet closes the message window
    EXPECT_FALSE(MessageVisible);
}

TEST_F(SessionTest, DelayedStartCountsDown) {
    Choice.ConnectType = 1;
    Ctl.ButtonClick();
    EXPECT_FALSE(Ctl.ButtonEnabled());
    Feed(0, 1);
    Ctl.Tick();
    EXPECT_EQ(Ctl.Phase(), TSessionPhase::Countdown);
    Ctl.Tick();  // not due yet
    for (int s = 0; s < 5; ++s) {
        Clock.Advance(kCountdownStepMs);
        Ctl.Tick();
    }
    EXPECT_EQ(Ctl.Phase(), TSessionPhase::Running);
    EXPECT_EQ(Messages.mid(3), QStringList({"Start in 5 seconds", "Start in 4 seconds", "Start in 3 seconds",
                                            "Start in 2 seconds", "Start in 1 second",
                                            "Waiting for action ... (Press [Esc] to cancel)"}));
}

TEST_F(SessionTest, ConnectEndsWithoutInterface) {
    struct Case {
        const char* Name;
        bool DialogOk;
        std::uint8_t Kind;
        bool Esc;
        const char* Error;  // how the error begins
        bool NoWork = false;  // intervals set without a work period
    } cases[] = {
        {"dialog cancelled", false, 1, false, nullptr},
        {"kind 0", true, 0, false, "No source selected or veryfied."},
        {"kind 7", true, 7, false, "No source selected or veryfied."},
        {"Esc while waiting", true, 1, true, nullptr},
        {"a programme without work", true, 1, false, "The interval programme has no work period.", true},
    };
    for (const Case& c : cases) {
        Messages.clear();
        Errors.clear();
        Log.clear();
        DialogOk = c.DialogOk;
        Choice.InterfaceKind = c.Kind;
        Training.Ini.SessionLimit = c.NoWork ? 4 : 2;
        Training.Ini.IntervalBy = 3;
        Training.Ini.WorkTime = c.NoWork ? 0 : 60;
        Ctl.ButtonClick();
        if (c.Esc) {
            ASSERT_EQ(Ctl.Phase(), TSessionPhase::Connecting) << c.Name;
            MessageVisible = false;
            Ctl.Tick();
        }
        RunQueued();
        EXPECT_EQ(Ctl.Phase(), TSessionPhase::Idle) << c.Name;
        EXPECT_FALSE(Ctl.CurrentInterface()) << c.Name;
        EXPECT_FALSE(Probe) << c.Name;
        EXPECT_FALSE(MessageVisible) << c.Name;
        EXPECT_TRUE(Ctl.ButtonEnabled()) << c.Name;
        EXPECT_EQ(Errors.size(), c.Error ? 1 : 0) << c.Name;
        if (c.Error && Errors.size() == 1) {
            EXPECT_TRUE(Errors[0].startsWith(QString::fromLatin1(c.Error))) << c.Name;
        }
        if (c.Kind == 0 || c.Kind == 7 || c.NoWork) {
            EXPECT_TRUE(Messages.isEmpty()) << c.Name;  // no name looked up outside the table
        }
        if (c.NoWork) {
            EXPECT_EQ(Count("confirm"), 0) << "the training is not reset for nothing";
        }
    }
}

TEST_F(SessionTest, ButtonDecisionInEveryState) {
    StartSession();
    struct Case {
        TKeloState State;
        bool WarmingUp;
        TButtonAction Action;
    } cases[] = {
        {kvsClosing, false, TButtonAction::Ignore},
        {kvsClosed, false, TButtonAction::Reconnect},
        {kvsOpening, false, TButtonAction::PauseAndAsk},
        {kvsOpened, false, TButtonAction::PauseAndAsk},
        {kvsPaused, false, TButtonAction::Continue},
        {kvsWorkoutStarted, false, TButtonAction::Reconnect},
        {kvsSearching, false, TButtonAction::Reconnect},
    };
    for (const Case& c : cases) {
        Probe->Force(c.State);
        EXPECT_EQ(Ctl.ButtonAction(), c.Action) << StateName(c.State);
    }
    Probe->Force(kvsOpened);
    Ctl.ButtonClick();  // an ignored press while closing would have hung before
    Probe->Force(kvsClosing);
    Ctl.ButtonClick();
    EXPECT_EQ(Ctl.CurrentInterface(), Probe.data());
    Probe->Force(kvsOpened);
}

TEST_F(SessionTest, PauseContinueDisconnect) {
    StartSession();
    Clock.Advance(60000);
    Ctl.ButtonClick();  // No: stays paused
    EXPECT_EQ(Probe->State(), kvsPaused);
    EXPECT_EQ(Ctl.ButtonCaption(), "&Continue");
    Ctl.ButtonClick();
    EXPECT_EQ(Probe->State(), kvsOpened);
    EXPECT_EQ(Ctl.ButtonCaption(), "&Pause");
    Disconnect = true;
    Ctl.ButtonClick();
    EXPECT_EQ(Count("ask"), 2);
    EXPECT_FALSE(Ctl.CurrentInterface());
    EXPECT_EQ(Training.State, 4);
    EXPECT_EQ(Ctl.ButtonCaption(), "&Connect");
    ASSERT_EQ(RowingDays.size(), 1u);  // counted once from the first opening
    EXPECT_NEAR(RowingDays[0] * 86400, 60.0, 0.5);
    Ctl.CloseSession(false);
    EXPECT_EQ(RowingDays.size(), 1u);
    RunQueued();
    EXPECT_EQ(Count("results"), 0);  // no distance, no results
}

TEST_F(SessionTest, WarmUpEndsInARecordedSession) {
    StartSession(2);
    EXPECT_EQ(Count("warm-up on"), 1);
    EXPECT_EQ(Ctl.ButtonCaption(), "&Start");
    Feed(1, 20000);
    ASSERT_GT(Ctl.Recorder().StrokeCount(), 5);
    Ctl.ButtonClick();
    EXPECT_EQ(Count("warm-up off"), 1);
    EXPECT_FALSE(Ctl.WarmingUp());
    EXPECT_EQ(Ctl.Recorder().StrokeCount(), 0);
    EXPECT_EQ(Training.StrokeData.size(), 1u);
    EXPECT_EQ(Training.Recorded, 1);
    EXPECT_EQ(Training.Header.ContentKind, 9);
    EXPECT_EQ(Training.Header.InterfaceType, 1);
    EXPECT_EQ(Count("header"), 2);
    EXPECT_EQ(Ctl.ButtonCaption(), "&Pause");
    EXPECT_EQ(RowingDays.size(), 1u);  // the warm-up's time
    Feed(20000, 30000);
    EXPECT_GT(Ctl.Recorder().StrokeCount(), 5);
    EXPECT_EQ(Training.StrokeData[1].Number, 1);
}

// The training window resets a paused session: the interface counts afresh once it continues.
TEST_F(SessionTest, RestartWhilePaused) {
    StartSession();
    Feed(1, 20000);
    ASSERT_GT(Ctl.Recorder().StrokeCount(), 5);
    Ctl.ButtonClick();  // pause, and stay connected
    ASSERT_EQ(Ctl.ButtonAction(), TButtonAction::Continue);
    Ctl.RestartSession();
    EXPECT_EQ(Ctl.Recorder().StrokeCount(), 0);
    EXPECT_EQ(Training.Header.InterfaceType, 1);
    EXPECT_EQ(Training.Recorded, 1);
    Ctl.ButtonClick();  // continue
    const double continued = FedSeconds;
    Feed(20000, 30000);
    ASSERT_GT(Ctl.Recorder().StrokeCount(), 5);
    EXPECT_EQ(Training.StrokeData[1].Number, 1);
    EXPECT_LT(Training.StrokeData[1].Time, FedSeconds - continued);
}

TEST_F(SessionTest, ProtocolErrorRule) {
    struct Case {
        int Packets, ClosesAt;
    } cases[] = {{0, 10}, {100, 10}, {95, 10}, {101, 11}};
    for (const Case& c : cases) {
        Errors.clear();
        Choice.ConnectType = 2;  // no recording yet: the raw events count all the same
        Ctl.ButtonClick();
        ASSERT_TRUE(Probe);
        Feed(0, c.Packets);
        EXPECT_EQ(Ctl.PacketCount(), c.Packets);
        int errors = 0;
        while (Probe && Probe->State() == kvsOpened && errors < 50) {
            ++errors;
            Probe->OnProtocolError(Probe);
        }
        EXPECT_EQ(errors, c.ClosesAt) << c.Packets;
        RunQueued();
        ASSERT_EQ(Errors.size(), 1);
        EXPECT_TRUE(Errors[0].startsWith("Incorrect interface protocol.\n\n"));
        EXPECT_TRUE(Errors[0].contains(": LUMA/DOS or KVW.\n\nPlease use the [Test] button"));
        Ctl.CloseSession(true);
    }
    EXPECT_EQ(Beeps, 4);
}

TEST_F(SessionTest, GoalShowsResultsOnceAndClosing) {
    Training.Ini.SessionLimit = 0;
    Training.Ini.LimitStrokes = 8;
    StartSession();
    Feed(1, 40000);
    EXPECT_TRUE(Ctl.Recorder().Finished());
    EXPECT_EQ(Probe->State(), kvsClosed);
    EXPECT_EQ(Training.StrokeData.size(), 9u);
    EXPECT_EQ(Training.Workout.Distance, Training.StrokeData[8].Distance);
    RunQueued();
    EXPECT_EQ(Count("results"), 1);
    EXPECT_EQ(Ctl.ButtonAction(), TButtonAction::Reconnect);
}

TEST_F(SessionTest, WindowClosedWhileConnected) {
    StartSession();
    Feed(1, 20000);
    const int strokes = Ctl.Recorder().StrokeCount();
    ASSERT_GT(strokes, 3);
    QPointer<TInterface> iface = Ctl.CurrentInterface();
    Ctl.CloseSession(true);
    EXPECT_FALSE(Ctl.CurrentInterface());
    EXPECT_EQ(Count("layout"), 2);  // at the close of the interface and of the window
    EXPECT_EQ(Training.StrokeData.size(), std::size_t(strokes + 1));
    EXPECT_EQ(Training.Workout.Distance, RoundToEighth(Training.StrokeData[std::size_t(strokes)].Distance));
    RunQueued();
    EXPECT_FALSE(iface);
    EXPECT_EQ(Count("results"), 0);  // quiet
}

TEST_F(SessionTest, TrainingGoneDuringSession) {
    StartSession();
    Feed(1, 5000);
    TrainingAlive = false;
    Feed(5000, 10000);
    Ctl.ButtonClick();
    RunQueued();
    EXPECT_EQ(Count("results"), 0);
}

TEST_F(SessionTest, K3SpeaksThreeProtocols) {
    Choice.InterfaceKind = 2;
    Training.Ini.Ergometer = 1;
    Ctl.ButtonClick();
    ASSERT_TRUE(Probe);
    EXPECT_EQ(Probe->ProtocolSet(), (TKeloProtocolSet{kvpDOS, kvpKvw, kvpKV3W}));
    EXPECT_EQ(Probe->Magnets(), 3);
}

TEST_F(SessionTest, RecordedTrainingIsNotWipedUnasked) {
    TFakePrompt prompt(TMsgResult::No);
    Ctl.View.ConfirmReset = nullptr;  // the real question
    SetStrokeCount(Training, 3);
    Training.StrokeData[3].Time = 9;
    Training.Header.ContentKind = 9;
    Ctl.ButtonClick();
    EXPECT_EQ(prompt.Texts.size(), 1);
    EXPECT_EQ(Training.StrokeData.size(), 4u);
    EXPECT_FALSE(Ctl.CurrentInterface());
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(SessionTest, ClosedWhileWaitingForData) {
    Ctl.ButtonClick();
    ASSERT_EQ(Ctl.Phase(), TSessionPhase::Connecting);
    QPointer<TInterface> iface = Ctl.CurrentInterface();
    Ctl.CloseSession(true);
    EXPECT_FALSE(MessageVisible);
    EXPECT_EQ(Ctl.Phase(), TSessionPhase::Idle);
    Ctl.Tick();
    RunQueued();
    EXPECT_FALSE(iface);
    EXPECT_TRUE(Ctl.ButtonEnabled());
}

// The training module: opened once its workout started, closed for a moment while searching,
// strokes with their own curves.
TEST_F(SessionTest, TrainingModuleRoad) {
    Choice.InterfaceKind = 3;
    Ctl.ButtonClick();
    ASSERT_TRUE(Probe);
    Probe->Force(kvsClosed);
    Probe->OnClosed(Probe);  // transient: the road waits on
    EXPECT_EQ(Ctl.Phase(), TSessionPhase::Connecting);
    Probe->Force(kvsWorkoutStarted);
    Probe->OnStartingWorkout(Probe, Training.Ini);
    EXPECT_EQ(Messages.last(), "Waiting for data : Start rowing (or press [Esc] to cancel)");
    Probe->OnWorkoutStarted(Probe);
    Ctl.Tick();
    ASSERT_EQ(Ctl.Phase(), TSessionPhase::Running);
    EXPECT_EQ(Training.State, 2);
    Probe->OnStrokeData(Probe, {.Number = 1, .Power = 150, .Time = 2, .Length = 100});
    TStgForceCurve c;
    c.Force[4] = 300;
    Probe->OnForceCurve(Probe, c);
    EXPECT_FALSE(MessageVisible);
    EXPECT_EQ(Training.ForceCurves[1].Force[4], 300);
    EXPECT_EQ(Training.ForceCurves[1].Present, 1);
    EXPECT_EQ(Training.StrokeData[1].PeakForce, 300);
    EXPECT_EQ(Training.StrokeData[1].PeakForcePos, 11);  // sample 5 x 2.2 cm
    EXPECT_EQ(Ctl.ButtonAction(), TButtonAction::Reconnect);  // a module state: a new connect
}

// The training window is refreshed whole by the session's first stroke (and again by the first
// after a reset), by the stroke-data refresh at the strokes after it, not at idle records.
TEST_F(SessionTest, FirstStrokeRefreshesTheTrainingWindow) {
    Ctl.View.RefreshTraining = [this] { Note("training"); };
    Ctl.View.RefreshStrokeData = [this] { Note("strokes"); };
    Choice.InterfaceKind = 3;
    Ctl.ButtonClick();
    ASSERT_TRUE(Probe);
    Probe->Force(kvsWorkoutStarted);
    Probe->OnWorkoutStarted(Probe);
    Ctl.Tick();
    ASSERT_EQ(Ctl.Phase(), TSessionPhase::Running);
    const auto stroke = [this](int n) {
        Probe->OnStrokeData(Probe, {.Number = Word(n), .Power = 150, .Time = 2.0f * float(n)});
    };
    Log.clear();
    stroke(1);
    EXPECT_EQ(Log, (std::vector<std::string>{"training"}));
    stroke(1);  // idle
    stroke(2);
    EXPECT_EQ(Log, (std::vector<std::string>{"training", "strokes"}));
    Ctl.ResetSession();
    Log.clear();
    stroke(1);
    stroke(2);
    EXPECT_EQ(Log, (std::vector<std::string>{"training", "strokes"}));
}

// The recording as the road stores it, stroke by stroke against the same records replayed
// straight through the engine (the first record arrives before recording begins in both).
TEST_F(SessionTest, RecordedStrokesAreTheEngineReplays) {
    constexpr int kStrokes = 150;
    std::vector<TStgStrokeData> expected;
    std::vector<std::uint16_t> ticks;
    {
        TReplayClock clock;
        std::unique_ptr<TReplay> kv(CreateInterface<TReplay>(nullptr));
        kv->SetClock(&clock);
        kv->UseDefaultRower();
        kv->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
            if (d.Number == expected.size() + 1)
                expected.push_back(d);
        };
        kv->Open(kSourceDemo, QStringLiteral("replay"));
        const auto* data = reinterpret_cast<const unsigned char*>(DemoBytes().constData());
        for (qsizetype r = 0; expected.size() <= kStrokes; ++r) {
            const unsigned char* p = data + kKvRawHeaderSize + kStgRawDataSize * r;
            ticks.push_back(std::uint16_t(p[0] | (p[1] << 8)));
            clock.Advance(double(ticks.back()) / kKvTicksPerSecond);
            kv->Feed(ticks.back(), p[2]);
            kv->SetDoCalculate(true);
        }
        kv->Close();
    }

    StartSession();
    Feed(1, qsizetype(ticks.size()));
    Ctl.CloseSession(true);
    ASSERT_GE(Training.StrokeData.size(), std::size_t(kStrokes + 1));
    for (int n = 1; n <= kStrokes; ++n) {
        TStgStrokeData e;
        RoundStroke(expected[std::size_t(n - 1)], e);
        const TStgStrokeData& got = Training.StrokeData[std::size_t(n)];
        ASSERT_EQ(got.Number, n);
        EXPECT_EQ(got.Time, e.Time) << n;
        EXPECT_EQ(got.Distance, e.Distance) << n;
        EXPECT_EQ(got.Power, e.Power) << n;
        EXPECT_EQ(got.Energy, e.Energy) << n;
        EXPECT_EQ(got.Length, e.Length) << n;
        EXPECT_EQ(got.StrokeRate, e.StrokeRate) << n;
        EXPECT_EQ(got.Pulse, e.Pulse) << n;
        EXPECT_EQ(Training.ForceCurves[std::size_t(n)].Present, e.Power != 0) << n;
    }
    // Recording starts with the first record: raw sample k is record k - 1 (0 stays empty).
    ASSERT_EQ(Training.RawData.size(), ticks.size() + 1);
    for (std::size_t k = 1; k <= ticks.size(); ++k)
        ASSERT_EQ(Training.RawData[k].Interval, ticks[k - 1]) << k;
}

}  // namespace
