#include "devices/TrainingModuleInterface.h"
#include "devices/serial/SerialPort.h"

#include "support/FakeClock.h"
#include "support/FakePrompt.h"
#include "support/TrainingModulePeer.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The module interface with the port list the test gives it.
class TTestVS : public TVSInterface {
public:
    TTestVS(TCreateKey key, QObject* owner) : TVSInterface(key, owner) {}
    void SetPorts(const QStringList& ports) { FPortList = ports; }
};

const std::array<std::uint16_t, 13> kWords{1, 2000, 24, 25, 150, 8, 500, 130, 80, 160, 2, 0, 800};

std::string StrokeFrame(std::uint16_t number) {
    std::array<std::uint16_t, 13> w = kWords;
    w[0] = number;
    w[3] = std::uint16_t(25 * number);
    std::array<std::uint8_t, 60> f{};
    f[0] = 3;
    f[1] = 5;
    return vsenc::Stroke(w, f);
}

class TrainingModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        Vs = NewInterface(Module);
        Vs->OnStateChange = [this](TInterface*, TKeloState, TKeloState to) {
            States.emplace_back(StateName(to));
            if (to == kvsSearching)
                WaitStart = Clock.NowMs();
            else if (to == kvsClosing)
                Waited.push_back(Clock.NowMs() - WaitStart);
        };
        Vs->OnError = [this](TInterface*, const QString& msg) { Errors.push_back(msg); };
        Vs->OnStrokeData = [this](TInterface*, const TStgStrokeData& s) {
            Strokes.push_back(s);
            Events.push_back("stroke " + std::to_string(s.Number));
        };
        Vs->OnForceCurve = [this](TInterface*, const TStgForceCurve& c) {
            Curves.push_back(c);
            Events.push_back("curve " + std::to_string(c.Number));
        };
        Vs->OnWorkoutFinished = [this](TInterface*, const TStgWorkout& w) { Totals.push_back(w); };
    }

    void TearDown() override {
        Clock.OnWait = nullptr;
        if (Vs)
            Vs->Close();
        Vs.reset();
        DrainEvents();
    }

    // An interface listing the module's port (ports times). The test is the world outside: the
    // clock moves speed ms per ms waited and the module answers.
    std::unique_ptr<TTestVS> NewInterface(TVSModulePeer& module, int ports = 1, int speed = 1) {
        std::unique_ptr<TTestVS> vs(CreateInterface<TTestVS>(nullptr));
        vs->SetClock(&Clock);
        vs->SetPorts(QStringList(ports, module.Pty.SlavePath()));
        Clock.OnWait = [this, &module, speed, port = vs.get()](unsigned ms) {
            Clock.Advance(std::int64_t(ms) * speed);
            module.Poll();
            // What the module said arrives before the clock runs on, however slow the machine.
            WaitUntil([&] { return port->ReceivedBytes() >= module.Pty.Written(); }, 200);
        };
        return vs;
    }

    void StartWorkout() {
        Module.AfterAccept = vsenc::StartWorkout(2, 2000, 3, 60, 30);
        Vs->Open(kSourceSerial, Module.Pty.SlavePath());
        ASSERT_EQ(Vs->State(), kvsWorkoutStarted);
        States.clear();
    }

    // Writes bytes as the module and waits until the interface has taken them.
    void Send(const std::string& bytes) {
        const std::uint64_t target = Vs->ReceivedBytes() + bytes.size();
        Module.Write(bytes);
        ASSERT_TRUE(WaitUntil([&] { return Vs->ReceivedBytes() >= target; }));
        DrainEvents();
    }

    TFakePrompt Messages;
    TVSModulePeer Module;
    TFakeClock Clock;
    std::unique_ptr<TTestVS> Vs;
    std::vector<std::string> States;
    std::vector<std::string> Events;
    std::vector<QString> Errors;
    std::vector<TStgStrokeData> Strokes;
    std::vector<TStgForceCurve> Curves;
    std::vector<TStgWorkout> Totals;
    std::int64_t WaitStart = 0;
    std::vector<std::int64_t> Waited;  // clock time from each search to the close after it
};

}  // namespace

TEST_F(TrainingModuleTest, HandshakeStrokesAndWorkoutEnd) {
    EXPECT_EQ(Vs->InterfaceType(), 3);
    EXPECT_EQ(Vs->Port()->BaudRate(), 115200u);
    EXPECT_EQ(Vs->Port()->ClusterSize(), 7);
    TStgIni started;
    Vs->OnStartingWorkout = [&](TInterface*, const TStgIni& ini) { started = ini; };
    Module.AfterAccept = vsenc::StartWorkout(2, 2000, 3, 60, 30);
    Vs->Open(kSourceSerial, Module.Pty.SlavePath());
    EXPECT_EQ(States, (std::vector<std::string>{
                          "Opening", "Closing", "Closed", "Searching", "SearchFound", "Verifying",
                          "Verified", "Accepting", "StartingWorkout", "WorkoutStarted"}));
    EXPECT_EQ(Module.Commands, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(Module.BadBytes, 0);
    EXPECT_EQ(started, TStgIni{});  // the event comes before the module's settings
    EXPECT_EQ(Vs->Ini().LimitDistance, 2000);
    EXPECT_EQ(Vs->Ini().WorkTime, 60);
    EXPECT_EQ(Vs->Ini().RestTime, 30);
    EXPECT_EQ(Vs->Protocol(), kvpVSU);
    States.clear();

    // Two frames in one packet, then one split over two packets.
    Vs->SetSmoothing(1);
    Send(StrokeFrame(1) + StrokeFrame(2));
    const std::string third = StrokeFrame(3);
    Send(third.substr(0, 40));
    EXPECT_EQ(Strokes.size(), 2u);
    Send(third.substr(40));
    EXPECT_EQ(Events, (std::vector<std::string>{"stroke 1", "curve 1", "stroke 2", "curve 2",
                                                "stroke 3", "curve 3"}));
    EXPECT_FLOAT_EQ(Strokes[2].Time, 7.5f);
    EXPECT_FLOAT_EQ(Strokes[2].EnergySum, 1.5f);
    EXPECT_FLOAT_EQ(Strokes[2].AvgPower, 200.0f);
    EXPECT_EQ(Curves[2].Force[0], 40);  // (30 + 50) / 2
    EXPECT_EQ(Curves[2].Force[1], 25);  // 50 against 0

    Send(vsenc::WorkoutFinished(0, 90000, 20000, 6000));
    EXPECT_EQ(States, (std::vector<std::string>{"WorkoutFinished", "Closing", "Closed"}));
    ASSERT_EQ(Totals.size(), 1u);
    EXPECT_FLOAT_EQ(Totals[0].Time, 600);
    EXPECT_FLOAT_EQ(Totals[0].AvgPower, 150);
    Module.Poll();
    EXPECT_EQ(Module.Commands, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(Errors.empty());
}

// Every packet is logged with the whole buffer it leaves, binary as hex then as it is.
TEST_F(TrainingModuleTest, TheBufferIsLoggedWithEveryPacket) {
    StartWorkout();
    ASSERT_FALSE(Vs->LogPortEvents());
    ::testing::internal::CaptureStderr();
    Send(StrokeFrame(1).substr(0, 6));
    const QString log = QString::fromStdString(::testing::internal::GetCapturedStderr());
    EXPECT_TRUE(log.contains("ComPortRxCluster : Buffer = (6) FF FF 57 83 01 0 ")) << log.toStdString();
}

TEST_F(TrainingModuleTest, HandshakeSkipsWhatItDoesNotWait) {
    // A stroke before the start, junk, a start with a bad checksum, then the real start with a
    // stroke in the same packet: the stroke is handled once Open has returned.
    std::string badStart = vsenc::StartWorkout(0, 100, 0, 10, 5);
    badStart[12] = char(badStart[12] ^ 1);
    Module.AfterAccept = StrokeFrame(7) + "\x01\xFF\xFE junk" + badStart +
                         vsenc::StartWorkout(3, 1800, 0, 20, 10) + StrokeFrame(1);
    Vs->Open(kSourceSerial, Module.Pty.SlavePath());
    ASSERT_EQ(Vs->State(), kvsWorkoutStarted);
    EXPECT_EQ(Vs->Ini().LimitTime, 1800);
    EXPECT_EQ(Vs->Ini().WorkStrokes, 20);
    EXPECT_TRUE(Strokes.empty());
    ASSERT_TRUE(WaitUntil([&] { return Strokes.size() == 1; }));
    EXPECT_EQ(Strokes[0].Number, 1);
}

TEST_F(TrainingModuleTest, NoModulePingsEveryTwoSecondsForTenSeconds) {
    Module.AnswerPing = false;
    Clock.OnWait = [this](unsigned ms) {
        Clock.Advance(10 * ms);
        Module.Poll();
    };
    Vs->Open(kSourceSerial, Module.Pty.SlavePath());
    Module.Poll();
    EXPECT_EQ(Module.Commands, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 3}));
    EXPECT_EQ(Waited.back(), 10000);
    EXPECT_EQ(States.back(), "SearchNotFound");
    EXPECT_FALSE(Vs->IsConnected());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(TrainingModuleTest, SearchTriesEveryListedPortUnlessTheSourceIsListed) {
    TVSModulePeer silent;
    silent.AnswerPing = false;
    Clock.OnWait = [&](unsigned ms) {
        Clock.Advance(Vs->State() == kvsSearching ? 10 * ms : ms);
        Module.Poll();
        silent.Poll();
    };
    // A port that cannot be opened is skipped, a silent one times out.
    Vs->SetPorts({"/nonexistent/ttyUSB9", silent.Pty.SlavePath(), Module.Pty.SlavePath()});
    Module.AfterAccept = vsenc::StartWorkout(0, 300, 0, 10, 5);
    Vs->Open(kSourceSerial, "");
    EXPECT_EQ(Vs->State(), kvsWorkoutStarted);
    EXPECT_EQ(Vs->SourceName(), Module.Pty.SlavePath());
    // Opening, the port that cannot be had, the silent port for 10 s (told to stop), the module.
    EXPECT_EQ(Waited, (std::vector<std::int64_t>{Waited[0], 0, 10000}));
    EXPECT_EQ(silent.Commands, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 3}));
    EXPECT_TRUE(Errors.empty());
    Vs->Close();

    // Nothing listed: not found at once.
    std::unique_ptr<TTestVS> none(CreateInterface<TTestVS>(nullptr));
    none->SetClock(&Clock);
    none->SetPorts({});
    none->Open(kSourceSerial, Module.Pty.SlavePath());
    EXPECT_EQ(none->State(), kvsSearchNotFound);

    // Only ports that cannot be had: not found, and the reason is told (the permission hint).
    std::vector<QString> errors;
    none->OnError = [&](TInterface*, const QString& msg) { errors.push_back(msg); };
    none->SetPorts({"/nonexistent/ttyUSB9"});
    none->Close();
    none->Open(kSourceSerial, "");
    EXPECT_EQ(none->State(), kvsSearchNotFound);
    EXPECT_EQ(errors, std::vector<QString>{
                          "ComPort : Error reopening Port (Error 2 No such file or directory - 112)"});
}

TEST_F(TrainingModuleTest, CancelTimeOutAndModuleCancel) {
    struct Case {
        const char* name;
        bool answerPing;
        std::string afterAccept;
        TKeloState cancelIn;  // the waiting handler cancels in this state
        std::int64_t elapsed;
        int speed;  // clock ms per ms waited
        const char* last;
        const char* message;
    } cases[] = {
        {"cancel while searching", false, "", kvsSearching, 50, 1, "SearchCanceled", nullptr},
        {"cancel while waiting for the start", true, "", kvsStartingWorkout, 10, 1, "Closed",
         "Waiting for workout canceled"},
        {"no start within 30 s", true, "", kvsClosed, 30000, 100, "Closed",
         "Waiting for workout canceled"},
        {"module cancels", true, vsenc::WorkoutCanceled(), kvsClosed, -1, 1, "Closed",
         "Workout canceled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVSModulePeer module;
        module.AnswerPing = c.answerPing;
        module.AfterAccept = c.afterAccept;
        std::unique_ptr<TTestVS> vs = NewInterface(module, 1, c.speed);
        std::int64_t waitStart = 0, waited = -1;
        vs->OnStateChange = [&](TInterface*, TKeloState, TKeloState to) {
            if (to == kvsSearching || to == kvsStartingWorkout)
                waitStart = Clock.NowMs();
            else if (to == kvsClosing && waitStart != 0)
                waited = Clock.NowMs() - waitStart;
        };
        vs->OnWaiting = [&](TInterface* sender, bool& cancel) {
            cancel = sender->State() == c.cancelIn;
        };
        Messages.Texts.clear();
        vs->Open(kSourceSerial, module.Pty.SlavePath());
        if (c.elapsed >= 0) {
            EXPECT_EQ(waited, c.elapsed);
        }
        EXPECT_EQ(StateName(vs->State()), c.last);
        EXPECT_TRUE(Messages.Texts.empty());  // never from inside Open
        DrainEvents();
        EXPECT_EQ(Messages.Texts, c.message ? QStringList{c.message} : QStringList{});
        module.Poll();
        if (c.answerPing) {  // the module was accepted, and is told to stop
            // On a fast clock a slow reply can cross a second ping: pings repeat until answered.
            const auto firstOther = std::find_if(module.Commands.begin(), module.Commands.end(),
                                                 [](std::uint8_t t) { return t != 1; });
            EXPECT_NE(firstOther, module.Commands.begin());
            EXPECT_EQ(std::vector<std::uint8_t>(firstOther, module.Commands.end()),
                      (std::vector<std::uint8_t>{2, 3}));
        }
        EXPECT_FALSE(vs->IsConnected());
    }
}

TEST_F(TrainingModuleTest, CloseFromAnyEventOfTheOpenEndsIt) {
    // Every listed port is tried and the module is listed twice: a search that went on after
    // the close would find it again.
    for (const TKeloState in : {kvsClosing, kvsClosed, kvsSearching, kvsSearchFound, kvsVerifying,
                                kvsAccepting, kvsStartingWorkout}) {
        SCOPED_TRACE(StateName(in));
        TVSModulePeer module;
        module.AfterAccept = vsenc::StartWorkout(0, 300, 0, 10, 5);
        std::unique_ptr<TTestVS> vs = NewInterface(module, 2);
        bool closed = false;
        std::vector<std::string> after;  // states of the open once the close has returned
        vs->OnStateChange = [&](TInterface* sender, TKeloState, TKeloState to) {
            if (closed) {
                if (to != kvsClosing && to != kvsClosed)  // a close under way ends
                    after.emplace_back(StateName(to));
            } else if (to == in) {
                sender->Close();
                closed = true;
            }
        };
        Messages.Texts.clear();
        vs->Open(kSourceSerial, "");
        EXPECT_TRUE(closed);
        EXPECT_EQ(after, std::vector<std::string>{});
        EXPECT_EQ(vs->State(), kvsClosed);
        EXPECT_FALSE(vs->Port()->Active());
        DrainEvents();
        EXPECT_TRUE(Messages.Texts.empty());
    }
}

TEST_F(TrainingModuleTest, ModuleVanishingMidWorkoutEndsWithOneMessage) {
    StartWorkout();
    Send(StrokeFrame(1));
    Module.Pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return Vs->State() == kvsClosed; }));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_TRUE(Errors[0].startsWith("ComPort : Error reading Data")) << Errors[0].toStdString();
    EXPECT_EQ(Strokes.size(), 1u);
    EXPECT_EQ(States, (std::vector<std::string>{"Closing", "Closed"}));
}

TEST_F(TrainingModuleTest, CloseStopsTheModuleAndDemoIsRefused) {
    StartWorkout();
    Vs->Close();
    Module.Poll();
    EXPECT_EQ(Module.Commands, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(States, (std::vector<std::string>{"Closing", "Closed"}));

    std::unique_ptr<TTestVS> demo(CreateInterface<TTestVS>(nullptr));
    demo->OnError = [this](TInterface*, const QString& msg) { Errors.push_back(msg); };
    demo->Open(kSourceDemo, "DEMO");
    EXPECT_EQ(Errors, std::vector<QString>{"Demo data not supported yet"});
    EXPECT_EQ(demo->State(), kvsOpening);
    demo->Close();
    EXPECT_EQ(demo->State(), kvsClosed);
}
