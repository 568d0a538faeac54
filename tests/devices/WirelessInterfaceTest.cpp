// The wireless interface against a stick played on a pseudo terminal: our ANT library is loaded
// by path, speaks the real message protocol to the peer both ways, and the wheel intervals
// reach the stroke engine on the main thread.
#include "devices/WirelessInterface.h"

#include "support/AntStickPeer.h"
#include "support/FakeClock.h"
#include "support/PtyPeer.h"
#include "tools/demosynth/DemoSynth.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>

namespace {

// The engine's clock follows the wheel intervals, as engine_replay's does.
class TWheelClock : public TClock {
public:
    std::int64_t NowMs() const override { return std::int64_t(Seconds * 1000); }
    void Wait(unsigned) override { WaitUntil([] { return false; }, 2); }
    double Seconds = 0;
};

std::string Hex(const std::string& bytes) {
    std::string s;
    for (unsigned char c : bytes) {
        char h[4];
        std::snprintf(h, sizeof h, "%02X ", c);
        s += h;
    }
    return s;
}

std::string CommandText(const TAntCommand& c) {
    return Hex(std::string(1, char(c.Id))) + "| " + Hex(c.Payload);
}

std::vector<std::string> CommandTexts(const TAntStickPeer& stick) {
    std::vector<std::string> sent;
    for (const TAntCommand& c : stick.Commands())
        sent.push_back(CommandText(c));
    return sent;
}

// What engine_replay --csv prints of a stroke, without the heart rate (the sensor sends none).
std::string StrokeLine(const TStgStrokeData& d) {
    char line[256];
    std::snprintf(line, sizeof line, "%u,%.3f,%.0f,%.2f,%.1f,%.3f,%.3f,%.2f,%.2f,%.4f",
                  unsigned(d.Number), d.Time, d.Power, d.StrokeRate, d.Length, d.DriveTime,
                  d.DriveRatio, d.Distance, d.Energy, d.K);
    return line;
}

class WirelessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KVANT_SERIAL", Stick.SlavePath().c_str(), 1);
        SetInterfaceBeep([] {});
        Kw.reset(CreateInterface<TKWInterface>(nullptr));
        Kw->AntLibraryName = QStringLiteral(KV_ANT_LIBRARY);
        Kw->SetClock(&Clock);
        Kw->OnStateChange = [this](TInterface*, TKeloState, TKeloState to) {
            States.emplace_back(StateName(to));
        };
        Kw->OnError = [this](TInterface*, const QString& msg) { Errors.push_back(msg); };
        Kw->OnStatusMessage = [this](TInterface*, const QString& line) { Status << line; };
        Kw->OnWheelData = [this](TInterface*, Word wheel) { Wheels.push_back(wheel); };
        Kw->OnRawPacket = [this](TInterface*, const QString&) { ++RawPackets; };
    }

    void TearDown() override {
        if (Kw)
            Kw->Close();
        Kw.reset();
        SetInterfaceBeep(nullptr);
        ::unsetenv("KVANT_SERIAL");
    }

    void Connect() {
        Kw->Open(kSourceSerial, QStringLiteral("ANTSerial"));
        ASSERT_EQ(Kw->State(), kvsOpened) << Errors.size();
        ASSERT_TRUE(Kw->IsConnected());
    }

    // Sends packets and waits until n more wheel values have reached the main thread.
    void SendWheels(const std::string& packets, std::size_t n, int timeoutMs = 5000) {
        const std::size_t target = Wheels.size() + n;
        Stick.Write(packets);
        ASSERT_TRUE(WaitUntil([&] { return Wheels.size() >= target; }, timeoutMs))
            << Wheels.size() << " of " << target;
    }

    // Sends packets that carry no wheel values and lets them arrive.
    void SendOther(const std::string& packets, std::uint32_t nopeTarget) {
        Stick.Write(packets);
        ASSERT_TRUE(WaitUntil([&] { return Kw->TotalNopePackets() >= nopeTarget; }));
        WaitUntil([] { return false; }, 30);  // the hand-over of the last one
    }

    TAntStickPeer Stick;
    TFakeClock Clock;
    std::unique_ptr<TKWInterface> Kw;
    std::vector<std::string> States;
    std::vector<QString> Errors;
    QStringList Status;
    std::vector<Word> Wheels;
    int RawPackets = 0;
};

TEST_F(WirelessTest, ConnectSendsTheSetUpInOrderAndScansTheStick) {
    Connect();
    EXPECT_EQ(States, (std::vector<std::string>{"Opening", "Opened"}));
    EXPECT_TRUE(Kw->AntLoadedFlag());
    EXPECT_FALSE(Kw->AntBusyFlag());
    // The scan found the stick on its tty and listed it as description-PID-serial.
    const QString tty = QString::fromStdString(Stick.SlavePath()).section(QLatin1Char('/'), -1);
    EXPECT_EQ(Kw->PortList(), QStringList{QStringLiteral("ANTSerial-0000-") + tty});
    EXPECT_TRUE(Status.contains(QStringLiteral("DeviceNum = 0 ($0)")));
    EXPECT_TRUE(Status.contains(QStringLiteral("AntLibVersion = 256 ($100)")));
    EXPECT_TRUE(Status.contains(QStringLiteral("Done connecting to ANT device.")));
    // Scan: probe; connect: probe, reset and the channel set-up with the default properties.
    EXPECT_EQ(CommandTexts(Stick), (std::vector<std::string>{
                        "4D | 00 54 ", "4D | 00 54 ", "4A | 00 ", "42 | 00 00 00 ",
                        "51 | 00 00 00 01 01 ", "43 | 00 00 01 ", "45 | 00 42 ", "47 | 00 03 ",
                        "4B | 00 "}));
    EXPECT_EQ(Stick.BadBytes(), 0);

    Stick.ClearCommands();
    Kw->Close();
    EXPECT_FALSE(Kw->IsConnected());
    EXPECT_EQ(States.back(), "Closed");
    EXPECT_TRUE(Status.contains(QStringLiteral("Done disconnecing from ANT device.")));
    ASSERT_FALSE(Stick.Commands().empty());
    EXPECT_EQ(CommandText(Stick.Commands().front()), "41 | 00 ");
    EXPECT_EQ(Stick.Commands().back().Id, 0x4A);
    // Unloading: a status line per step, each followed by the AntDelay wait.
    Kw->AntDelay = 7;
    Status.clear();
    std::vector<unsigned> waits;
    Clock.OnWait = [&](unsigned ms) { waits.push_back(ms); };
    Kw->UnloadAntLib();
    Clock.OnWait = nullptr;
    EXPECT_FALSE(Kw->AntLoadedFlag());
    EXPECT_EQ(Status, (QStringList{QString(77, '-'), "Unloading AntLib ...", "Remove ANT_AssignResponseFunction",
                                   "Remove ANT_AssignChannelEventFunction", "ANT_UnassignAllResponseFunctions",
                                   "FreeAntLibrary", "Done unloading AntLib."}));
    EXPECT_EQ(waits, (std::vector<unsigned>{7, 7, 7, 7}));
}

TEST_F(WirelessTest, WheelPacketsCountGapsButNotTheFirstNorARepeat) {
    Connect();
    struct TCase {
        std::uint8_t Sequence;
        std::uint32_t Lost;  // LostWheelPackets after it
        bool Delivered;
    };
    const TCase cases[] = {
        {200, 0, true},   // the first of the connection: nothing lost before it
        {201, 0, true},
        {203, 1, true},   // 202 missing
        {203, 1, false},  // the radio repeating the last packet
        {255, 2, true},
        {16, 2, true},    // 255 wraps to 16
        {17, 2, true},
        {16, 3, true},
    };
    std::uint32_t total = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.Sequence));
        const std::size_t before = Wheels.size();
        if (c.Delivered) {
            SendWheels(antenc::WheelPacket(c.Sequence, 9000, 9100, 32767), 3);
            ++total;
            EXPECT_EQ(std::vector<Word>(Wheels.begin() + std::ptrdiff_t(before), Wheels.end()),
                      (std::vector<Word>{9000, 9100, 32767}));
        } else {
            // A nope packet behind it tells when the repeat has been dealt with.
            SendOther(antenc::WheelPacket(c.Sequence, 1, 2, 3) + antenc::NopePacket(1, c.Sequence, 7),
                      Kw->TotalNopePackets() + 1);
            EXPECT_EQ(Wheels.size(), before);
        }
        EXPECT_EQ(Kw->LostWheelPackets(), c.Lost);
        EXPECT_EQ(Kw->TotalWheelpackets(), total);
        EXPECT_EQ(Kw->LastWheelSequence(), c.Sequence);
    }
    EXPECT_EQ(RawPackets, int(total));
    // 32767 stands for no magnet: one second, an invalid pulse.
    EXPECT_DOUBLE_EQ(Kw->Interval(), 1.0);
    EXPECT_TRUE(Status.contains(QStringLiteral("LostWheelPackets = 3")));
    EXPECT_EQ(Kw->Protocol(), kvpKV3WI);
}

TEST_F(WirelessTest, NopePacketsSetTheDeviceIdOnceAndCountWithoutRawLines) {
    Connect();
    // Noise, a message with a bad checksum and a stray sync byte whose length reaches past
    // everything sent are skipped; the message behind the stray byte is not held.
    std::string bad = antenc::NopePacket(1, 9, 0x99999999);
    bad.back() = char(bad.back() ^ 1);
    SendOther(std::string("\x00\x11\xA4\x02", 4) + antenc::NopePacket(1, 0, 0x0001E240) + bad +
                  antenc::NopePacket(2, 1, 0x12345678) + "\xA4\xF0" +
                  antenc::NopePacket(1, 4, 0x12345678),
              3);
    EXPECT_EQ(Kw->DeviceID(), QStringLiteral("0001E240"));
    EXPECT_EQ(Kw->TotalNopePackets(), 3u);
    EXPECT_EQ(Kw->LostNopePackets(), 1u);
    EXPECT_EQ(Kw->LastNopeSequence(), 4);
    EXPECT_EQ(RawPackets, 0);
    EXPECT_TRUE(Wheels.empty());
}

TEST_F(WirelessTest, AllMessagesPassesNopePacketsOnAsRawLines) {
    Kw->AllMessages = true;
    QStringList raw;
    Kw->OnRawPacket = [&raw](TInterface*, const QString& line) { raw << line; };
    Connect();
    SendOther(antenc::NopePacket(1, 0, 0x0001E240), 1);
    EXPECT_EQ(raw, QStringList{QStringLiteral("CHANNEL_EVENT_FUNC 00 9A : 00 01 00 00 00 00 01 E2 40")});
}

TEST_F(WirelessTest, AnAcceptedSetUpMessageIsFollowedByTheNextOne) {
    Connect();
    Stick.ClearCommands();
    Stick.Write(antenc::ChannelResponse(0, 0x46, 0));  // the network key was accepted
    ASSERT_TRUE(WaitUntil([&] { return Stick.Commands().size() >= 5; }));
    EXPECT_EQ(CommandTexts(Stick), (std::vector<std::string>{"42 | 00 00 00 ", "51 | 00 00 00 01 01 ",
                                              "43 | 00 00 01 ", "45 | 00 42 ", "4B | 00 "}));
    ASSERT_TRUE(WaitUntil([&] { return Status.contains(QStringLiteral("MESG_CHANNEL_RADIO_FREQ_ID")); }));
    EXPECT_TRUE(Status.contains(QStringLiteral("RESPONSE_FUNC 00 40 : 00 46 00 00 00 00 00 00 00 00")));
    EXPECT_TRUE(Status.contains(QStringLiteral("MESG_NETWORK_KEY_ID")));
}

TEST_F(WirelessTest, AFailingSetUpStepStopsTheSequenceReportsAndReleasesTheStick) {
    Stick.FailCommand(0x43, 0x28);
    Kw->Open(kSourceSerial, QStringLiteral("ANTSerial"));
    EXPECT_EQ(States, (std::vector<std::string>{"Opening", "Closing", "Closed"}));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], QStringLiteral("Error with ANT_SetChannelPeriod\nError connecting to ANT device."));
    EXPECT_TRUE(Status.contains(QStringLiteral("Error with ANT_SetChannelPeriod")));
    EXPECT_FALSE(Kw->IsConnected());
    for (const TAntCommand& c : Stick.Commands())
        EXPECT_TRUE(c.Id != 0x45 && c.Id != 0x47 && c.Id != 0x4B) << CommandText(c);
    // The stick was closed, so the next open starts afresh and connects.
    Stick.FailCommand(0x43, 0);
    States.clear();
    Connect();
    EXPECT_EQ(States, (std::vector<std::string>{"Opening", "Opened"}));
}

TEST_F(WirelessTest, ALibraryThatCannotBeUsedIsReportedAndCloses) {
    struct TCase {
        const char* Library;
        const char* Message;
    };
    // The C library has none of the entry points: the first missing one is named.
    for (const TCase& c : {TCase{"libc.so.6", "Error loading AntLib.\nError getting procaddress for ANT_Init"},
                           TCase{"/nonexistent/libkvant.so", "Error loading AntLib.\n/nonexistent/libkvant.so"}}) {
        SCOPED_TRACE(c.Library);
        Errors.clear();
        States.clear();
        Kw->AntLibraryName = QString::fromLatin1(c.Library);
        Kw->Open(kSourceSerial, QStringLiteral("ANTSerial"));
        EXPECT_EQ(States, (std::vector<std::string>{"Opening", "Closing", "Closed"}));
        ASSERT_EQ(Errors.size(), 1u);
        EXPECT_TRUE(Errors[0].startsWith(QString::fromLatin1(c.Message))) << Errors[0].toStdString();
        EXPECT_FALSE(Kw->AntLoadedFlag());
    }
}

TEST_F(WirelessTest, OpenAndWaitEndsOnTheFirstPacketOrReportsNoData) {
    for (const bool sensor : {true, false}) {
        SCOPED_TRACE(sensor);
        Errors.clear();
        bool sent = false;
        Clock.OnWait = [&](unsigned ms) {
            Clock.Advance(ms);
            if (sensor && Kw->IsConnected() && !std::exchange(sent, true))
                Stick.Write(antenc::WheelPacket(16, 9000, 9000, 9000));
        };
        Kw->OpenAndWait(kSourceSerial, QStringLiteral("ANTSerial"));
        EXPECT_EQ(Kw->ValidData(), sensor);
        EXPECT_EQ(Errors, sensor ? std::vector<QString>{} : std::vector<QString>{QStringLiteral("ComPort : No data")});
        EXPECT_EQ(Kw->State(), kvsOpened);
        Kw->Close();
    }
    Clock.OnWait = nullptr;
}

TEST_F(WirelessTest, AnEmptySourceNameIsReported) {
    Kw->Open(kSourceSerial, QString());
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], QStringLiteral("No source selected"));
    EXPECT_EQ(Kw->State(), kvsClosed);
}

TEST_F(WirelessTest, TheStickVanishingEndsTheSessionWithOneMessage) {
    Kw->SetDoCalculate(true);
    Connect();
    SendWheels(antenc::WheelPacket(16, 12000, 12000, 12000), 3);
    Stick.Vanish();
    ASSERT_TRUE(WaitUntil([&] { return Kw->State() == kvsClosed; }));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], QStringLiteral("ANT : Device lost"));
    EXPECT_FALSE(Kw->IsConnected());
    EXPECT_EQ(Kw->PulseCount(), 3);
}

// The library drives one stick for the process: whatever two interfaces do in turn, the one
// that holds it keeps its data, and the other is told the stick is in use.
TEST_F(WirelessTest, TwoInterfacesShareTheStickWithOneOwnerAtATime) {
    struct TSide {
        std::unique_ptr<TKWInterface> Kw;
        std::vector<QString> Errors;
        std::size_t Wheels = 0;
    };
    struct TCase {
        const char* Name;
        std::vector<std::string> Steps;  // "open A", "open B: in use", "close A", "free B", ...
        char Owner;
    };
    const TCase cases[] = {
        {"reconnect, the old one freed after the new one opened", {"open A", "close A", "open B", "free A"}, 'B'},
        {"reconnect, the old one freed first", {"open A", "close A", "free A", "open B"}, 'B'},
        {"second open", {"open A", "open B: in use"}, 'A'},
        {"second open, the second freed", {"open A", "open B: in use", "free B"}, 'A'},
        {"second open, the owner freed, the second again",
         {"open A", "open B: in use", "free A", "open B"}, 'B'},
        {"second open, the owner closed and freed after the second opened",
         {"open A", "open B: in use", "close A", "open B", "free A"}, 'B'},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSide sides[2];
        for (TSide& side : sides) {
            side.Kw.reset(CreateInterface<TKWInterface>(nullptr));
            side.Kw->AntLibraryName = QStringLiteral(KV_ANT_LIBRARY);
            side.Kw->SetClock(&Clock);
            side.Kw->OnError = [&side](TInterface*, const QString& msg) { side.Errors.push_back(msg); };
            side.Kw->OnWheelData = [&side](TInterface*, Word) { ++side.Wheels; };
        }
        for (const std::string& step : c.Steps) {
            SCOPED_TRACE(step);
            TSide& side = sides[step.find('B') != std::string::npos ? 1 : 0];
            TSide& other = sides[&side == &sides[0] ? 1 : 0];
            if (step.rfind("free", 0) == 0) {
                side.Kw.reset();
            } else if (step.rfind("close", 0) == 0) {
                side.Kw->Close();
                EXPECT_FALSE(side.Kw->IsConnected());
            } else if (step.find("in use") != std::string::npos) {
                side.Kw->Open(kSourceSerial, QStringLiteral("ANTSerial"));
                EXPECT_EQ(side.Errors, std::vector<QString>{QStringLiteral("ANT : Device in use")});
                EXPECT_EQ(side.Kw->State(), kvsClosed);
                EXPECT_TRUE(other.Kw->IsConnected());
                side.Errors.clear();
            } else {
                side.Kw->Open(kSourceSerial, QStringLiteral("ANTSerial"));
                EXPECT_EQ(side.Kw->State(), kvsOpened);
                EXPECT_TRUE(side.Errors.empty()) << side.Errors.front().toStdString();
            }
        }
        TSide& owner = sides[c.Owner == 'B' ? 1 : 0];
        TSide& other = sides[c.Owner == 'B' ? 0 : 1];
        ASSERT_TRUE(owner.Kw);
        Stick.Write(antenc::WheelPacket(16, 9000, 9000, 9000));
        EXPECT_TRUE(WaitUntil([&] { return owner.Wheels == 3; })) << owner.Wheels;
        EXPECT_EQ(owner.Kw->State(), kvsOpened);
        EXPECT_TRUE(owner.Errors.empty());
        EXPECT_EQ(other.Wheels, 0u);
    }
}

TEST_F(WirelessTest, TheSticksInSysfsAreListedWithoutTheLibrary) {
    QTemporaryDir root;
    const auto device = [&](const QString& name, const QString& vendor, const QString& product,
                            const QString& text, const QString& serial) {
        const QString dir = root.path() + QStringLiteral("/bus/usb/devices/") + name;
        QDir().mkpath(dir);
        const auto put = [&](const char* file, const QString& value) {
            QFile f(dir + QLatin1Char('/') + QLatin1String(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(value.toUtf8() + "\n");
        };
        put("idVendor", vendor);
        put("idProduct", product);
        put("product", text);
        if (!serial.isEmpty())
            put("serial", serial);
    };
    device(QStringLiteral("1-2"), QStringLiteral("0fcf"), QStringLiteral("1008"),
           QStringLiteral("ANT USBStick2"), QStringLiteral("123"));
    device(QStringLiteral("1-3"), QStringLiteral("0403"), QStringLiteral("6001"),
           QStringLiteral("FT232R"), QStringLiteral("A1"));
    device(QStringLiteral("2-1"), QStringLiteral("0fcf"), QStringLiteral("1009"),
           QStringLiteral("ANT USB-m_Stick"), QString());
    // The same on a virtual machine: the flag is for the serial adapters only.
    for (const bool vm : {false, true}) {
        QStringList list{QStringLiteral("old")};
        ::testing::internal::CaptureStderr();
        GetAntRegistryDevices(list, {root.path(), vm});
        const QString log = QString::fromStdString(::testing::internal::GetCapturedStderr());
        EXPECT_EQ(list, (QStringList{QStringLiteral("ANTUSBStick2-1008-123"),
                                     QStringLiteral("ANTUSBmStick-1009-0")}));
        EXPECT_TRUE(log.contains("DeviceNum = 1 ($1)\n")) << log.toStdString();
        EXPECT_TRUE(log.contains("DevicePID = 4105 ($1009)\n")) << log.toStdString();
    }
}

// A session through the stick gives as many strokes as engine_replay finds in the same recording,
// the last one the same.
TEST_F(WirelessTest, ASessionGivesTheStrokesOfTheRecordingThroughEngineReplay) {
#ifndef KV_ENGINE_REPLAY
    GTEST_SKIP() << "engine_replay is not built";
#else
    TDemoSynthOptions options;
    options.Segments = DemoSteadyProfile(2.0, 24, 700, 3.0);
    std::vector<TStgRawData> records = SynthesizeDemo(options).Records;
    records.resize(records.size() / 3 * 3);  // three intervals to a packet
    // The interface rounds each interval to the microsecond, replay takes the ticks as they
    // are: on whole microseconds (multiples of 307 ticks) both see the same numbers. A counter
    // that ran out stays what it is (no pulse, for both).
    for (TStgRawData& r : records)
        if (r.Interval != kDemoNoPulse)
            r.Interval = Word(std::min(65535 / 307, (r.Interval + 153) / 307) * 307);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("session.dat"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(DemoFileBytes(records, 0));
    }
    QProcess replay;
    replay.start(QStringLiteral(KV_ENGINE_REPLAY), {QStringLiteral("--csv"), file});
    ASSERT_TRUE(replay.waitForFinished(60000));
    ASSERT_EQ(replay.exitCode(), 0);
    std::vector<std::string> expected;
    for (const QByteArray& line : replay.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        QList<QByteArray> fields = line.split(',');
        fields.removeAt(9);  // the heart rate
        expected.push_back(fields.join(',').toStdString());
    }
    ASSERT_GT(expected.size(), 30u);

    // engine_replay's model settings.
    TWheelClock clock;
    Kw->SetClock(&clock);
    Kw->SetWeight(80);
    Kw->SetThresHold(5);
    Kw->SetDoCalculate(true);
    std::vector<std::string> strokes;
    Word last = 0;
    Kw->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
        if (d.Number != last)
            strokes.push_back(StrokeLine(d));
        last = d.Number;
    };
    Kw->OnWheelData = [&](TInterface*, Word wheel) {
        clock.Seconds += double(wheel) / kKvTicksPerSecond;
        Wheels.push_back(wheel);
    };
    Connect();
    std::string packets;
    std::uint8_t sequence = 16;
    for (std::size_t i = 0; i < records.size(); i += 3) {
        packets += antenc::WheelPacket(sequence, records[i].Interval, records[i + 1].Interval,
                                       records[i + 2].Interval);
        sequence = sequence == 255 ? 16 : std::uint8_t(sequence + 1);
    }
    SendWheels(packets, records.size(), 60000);
    Kw->Close();  // while the clock and the handlers' locals live
    EXPECT_EQ(Kw->LostWheelPackets(), 0u);
    ASSERT_EQ(strokes.size(), expected.size());
    EXPECT_EQ(strokes.back(), expected.back());
#endif
}

}  // namespace
