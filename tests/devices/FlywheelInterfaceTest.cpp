#include "InterfaceFixture.h"

#include "devices/serial/SerialPort.h"
#include "support/FileHelpers.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include <QTemporaryDir>
#include <thread>

using namespace kvenc;

namespace {

const auto* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// The slider: text lines only, kept until their LF.
class TSliderProbe : public TKVInterface {
public:
    TSliderProbe(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {
        FInterfaceType = kKvSliderInterfaceType;
    }
};

class SliderTest : public InterfaceTest {
protected:
    // A slider on the port, opened by its identification line unless told otherwise.
    void OpenSlider(bool identified = true) {
        Use(CreateInterface<TSliderProbe>(nullptr));
        Kv->SetProtocolSet({kvpVSDebug});
        OpenPort();
        if (identified)
            Send(SliderLine("VELTRO Slider VSM"));
    }
};

// An engine that closes the interface from inside its pulse, as a goal reached does.
class TClosingEngine : public TKVInterface {
public:
    TClosingEngine(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {}
    std::vector<bool> Runs;  // the split flag of every run

protected:
    void AnalysePulse(bool Split) override {
        Runs.push_back(Split);
        Close();
    }
};

}  // namespace

// ---------------------------------------------------------------- decoding without a port

TEST(KvSampleCodec, DecodesWhatTheDeviceEncodes) {
    // Every code bit of each protocol comes back as its tick count, to the microsecond.
    for (TKeloProtocol p : {kvpDOS, kvpKvw, kvpKV3W}) {
        for (int code = 0; code < NoPulseCode; code += 97) {
            const std::string s = Sample(p, code, 600);
            ASSERT_TRUE(KvDetectSample(p, Bytes(s), true)) << int(p) << " " << code;
            const TKVSample d = KvDecodeSample(Bytes(s));
            EXPECT_FALSE(d.NoPulse);
            EXPECT_NEAR(d.Interval * TicksPerSecond, NoPulseCode - code, 0.5) << code;
        }
    }
    // 0.02 s (12280 ticks) at 120 beats per minute: heart period 600 in the first two bytes,
    // code 20487 in the last three, check bits in bits 5 and 6 of the second byte.
    EXPECT_EQ(Sample(kvpDOS, 20487, 600), std::string("\x5a\x9d\x05\xe1", 4));
    EXPECT_EQ(Sample(kvpKvw, 20487, 600), std::string("\x5a\xbd\x05\xe1", 4));
    EXPECT_EQ(Sample(kvpKV3W, 20486, 600), std::string("\x5a\xdd\x05\x61", 4));

    TKVSample none = KvDecodeSample(Bytes(Sample(kvpDOS, NoPulseCode, 600)));
    EXPECT_TRUE(none.NoPulse);
    EXPECT_EQ(none.Interval, 1.0);
    // Heart period 0 has no rate: the lowest; a short period is held at the highest.
    for (auto [period, rate] : {std::pair{0, 30}, {1, 240}, {299, 240}, {301, 239}, {600, 120}, {2047, 35}})
        EXPECT_EQ(KvDecodeSample(Bytes(Sample(kvpDOS, 100, period))).HeartRaw, rate) << period;
}

TEST(KvSampleCodec, DetectorsTellTheProtocolsApart) {
    int kvwOnly = 0, kv3wOnly = 0, dosOnly = 0;
    for (int code = 0; code <= NoPulseCode; ++code) {
        const std::string kvw = Sample(kvpKvw, code, 500);
        const std::string kv3w = Sample(kvpKV3W, code, 500);
        const std::string dos = Sample(kvpDOS, code, 500);
        // A sample never passes both check rules.
        ASSERT_FALSE(KvDetectSample(kvpKV3W, Bytes(kvw), true)) << code;
        ASSERT_FALSE(KvDetectSample(kvpKvw, Bytes(kv3w), true)) << code;
        ASSERT_TRUE(KvDetectSample(kvpDOS, Bytes(kvw), true));
        kvwOnly += KvDetectSample(kvpKvw, Bytes(kvw), true);
        kv3wOnly += KvDetectSample(kvpKV3W, Bytes(kv3w), true);
        dosOnly += !KvDetectSample(kvpKvw, Bytes(dos), true) &&
                   !KvDetectSample(kvpKV3W, Bytes(dos), true);
    }
    EXPECT_EQ(kvwOnly, 32768);
    EXPECT_EQ(kv3wOnly, 32768);
    EXPECT_EQ(dosOnly, 16384);  // clear check bits fit neither rule for half of the codes

    const std::string framing("\x01\x01\x01\x01", 4);  // first byte must have bit 0 clear
    EXPECT_FALSE(KvDetectSample(kvpDOS, Bytes(framing), true));
    EXPECT_TRUE(KvDetectSample(kvpDOS, Bytes(framing), false));
    EXPECT_FALSE(KvDetectSample(kvpKvw, Bytes(framing), false));
}

TEST(KvTexts, SliderLineValue) {
    // The value is characters four to seven, digits only; -1 when the line has none.
    const std::pair<const char*, int> lines[] = {{"!S,1234", 1234}, {"!R,0815,77\r", 815}, {"!S,80\r", 80},
                                                 {"!S,", -1}, {"!S,\r", -1}, {"!S,12x4", -1}, {"!S,-123", -1}};
    for (auto [line, value] : lines) {
        int v = -1;
        EXPECT_EQ(KvSliderLineValue(line, v), value >= 0) << line;
        EXPECT_EQ(v, value) << line;
    }
}

// ---------------------------------------------------------------- through the pty

TEST_F(InterfaceTest, DetectorOrderKvwThenKv3wThenDos) {
    Kv->SetProtocolSet({kvpDOS, kvpKvw, kvpKV3W});
    OpenPort();
    SendTicks(kvpKvw, 12280, 600);
    EXPECT_EQ(Kv->State(), kvsOpened);
    EXPECT_EQ(Kv->Protocol(), kvpKvw);
    SendTicks(kvpKV3W, 12894, 480);
    EXPECT_EQ(Kv->Protocol(), kvpKV3W);
    Send(Sample(kvpDOS, 20481, 600));  // clear check bits that fit neither rule
    EXPECT_EQ(Kv->Protocol(), kvpDOS);
    Send(Sample(kvpDOS, 20487, 600));  // clear check bits that happen to fit KV3W
    EXPECT_EQ(Kv->Protocol(), kvpKV3W);
    ASSERT_EQ(Pulses.size(), 4u);
    EXPECT_DOUBLE_EQ(Pulses[0].Wheel, 0.02);
    EXPECT_EQ(Pulses[0].HeartRaw, 120);
    EXPECT_DOUBLE_EQ(Pulses[1].Wheel, 0.021);
    EXPECT_EQ(Pulses[1].HeartRaw, 150);
    EXPECT_EQ(ProtocolErrors, 0);
}

TEST_F(InterfaceTest, ForeignProtocolIsDroppedByteByByte) {
    Kv->SetProtocolSet({kvpKvw});
    OpenPort();
    Send(Sample(kvpKvw, 20000, 600));
    // Eight bytes of KV3W: each one is a protocol error, none a pulse.
    Send(Sample(kvpKV3W, 20000, 600) + Sample(kvpKV3W, 20000, 600));
    EXPECT_EQ(ProtocolErrors, 5);  // three bytes wait for more
    // The three waiting bytes go, then the stream is in step again.
    Send(Sample(kvpKvw, 20000, 600));
    EXPECT_EQ(ProtocolErrors, 8);
    EXPECT_EQ(Pulses.size(), 2u);
    Send(Sample(kvpKvw, 20000, 600));
    EXPECT_EQ(Pulses.size(), 3u);
    EXPECT_EQ(ProtocolErrors, 8);
}

TEST_F(InterfaceTest, ResynchronisesWithOneErrorPerDroppedByte) {
    Kv->SetProtocolSet({kvpDOS});
    OpenPort();
    SendTicks(kvpDOS, 12280);
    Send(std::string("\x01\x00\xff", 3) + SampleTicks(kvpDOS, 12280) + SampleTicks(kvpDOS, 12894));
    EXPECT_EQ(ProtocolErrors, 3);
    EXPECT_EQ(Wheels(), (std::vector<double>{0.02, 0.02, 0.021}));
}

TEST_F(InterfaceTest, LooseProtocolTakesAnyFourBytes) {
    Kv->SetProtocolSet({kvpDOS});
    Kv->SetStrictProtocol(false);
    OpenPort();
    Send(std::string("\x01\x01\x01\x01", 4));
    EXPECT_EQ(Kv->State(), kvsOpened);
    EXPECT_EQ(Pulses.size(), 1u);
    EXPECT_EQ(ProtocolErrors, 0);

    Kv->Close();
    Kv->SetStrictProtocol(true);
    OpenPort();
    Send(std::string("\x01\x01\x01\x01\x01", 5));
    EXPECT_EQ(Kv->State(), kvsOpening);
    EXPECT_EQ(ProtocolErrors, 2);
    EXPECT_EQ(Pulses.size(), 1u);
}

TEST_F(InterfaceTest, SplitsSamplesThatSpanSeveralMagnets) {
    OpenPort();
    SendTicks(kvpKvw, 9210);   // 0.015 s
    SendTicks(kvpKvw, 31314);  // 0.051 s = 3.4 x: three pulses
    SendTicks(kvpKvw, 6140);   // 0.010 s
    SendTicks(kvpKvw, 30700);  // 0.050 s = 5 x: one pulse
    SendTicks(kvpKvw, 6140);
    SendTicks(kvpKvw, 27016);  // 0.044 s = 4.4 x: four pulses
    const std::vector<double> w = Wheels();
    ASSERT_EQ(w.size(), 1u + 3u + 1u + 1u + 1u + 4u);
    EXPECT_DOUBLE_EQ(w[0], 0.015);
    for (int i = 1; i <= 3; ++i)
        EXPECT_NEAR(w[i], 0.017, 1e-12);
    EXPECT_DOUBLE_EQ(w[4], 0.01);
    EXPECT_DOUBLE_EQ(w[5], 0.05);
    EXPECT_DOUBLE_EQ(w[6], 0.01);
    for (int i = 7; i <= 10; ++i)
        EXPECT_NEAR(w[i], 0.011, 1e-12);
}

TEST_F(InterfaceTest, NoPulseCodeIsOneSecondAndInvalid) {
    OpenPort();
    SendTicks(kvpKvw, 12280);
    Send(Sample(kvpKvw, NoPulseCode, 600));
    SendTicks(kvpKvw, 12280);
    EXPECT_EQ(Wheels(), (std::vector<double>{0.02, 1.0, 0.02}));
    // Newest first: the one-second sample is the second entry.
    EXPECT_EQ(Kv->PulseValidity(), (std::vector<std::uint8_t>{1, 0, 1, 0}));
    EXPECT_FALSE(Kv->AllPulsesValid());
    SendTicks(kvpKvw, 12280);
    SendTicks(kvpKvw, 12280);
    EXPECT_FALSE(Kv->AllPulsesValid());
    SendTicks(kvpKvw, 12280);
    EXPECT_TRUE(Kv->AllPulsesValid());
}

TEST_F(InterfaceTest, MagnetPatternFollowsIntervalChanges) {
    OpenPort();
    EXPECT_EQ(Kv->MagnetPatternText(), "-1 ....");
    for (int ticks : {12280, 12280, 12280, 12894})
        SendTicks(kvpKvw, ticks);
    EXPECT_EQ(Kv->MagnetPatternText(), "3 O+O-");
    SendTicks(kvpKvw, 12894);
    EXPECT_EQ(Kv->MagnetPatternText(), "0 ++O-");
    EXPECT_EQ(Kv->MagnetStatsText(), " 50 100 100 100");
    Send(Sample(kvpKvw, NoPulseCode, 600));  // a stop clears everything
    EXPECT_EQ(Kv->MagnetPatternText(), "-1 ....");
    EXPECT_EQ(Kv->MagnetStatsText(), "  0   0   0   0");
}

TEST_F(InterfaceTest, EnginePulseCountDrivesTheSpinner) {
    OpenPort();
    SendTicks(kvpKvw, 12280);
    EXPECT_EQ(Kv->PulseCount(), 0);  // the engine waits for DoCalculate
    Kv->SetDoCalculate(true);
    SendTicks(kvpKvw, 12280);
    SendTicks(kvpKvw, 12280);
    EXPECT_EQ(Kv->PulseCount(), 2);
    EXPECT_EQ(Kv->SpinnerText(), "--");
    EXPECT_EQ(Kv->HeartCorrected(), 120.0);
}

TEST_F(InterfaceTest, KeepsEveryByteOfLongPackets) {
    OpenPort();
    std::string burst;
    for (int i = 0; i < 100; ++i)
        burst += SampleTicks(kvpKvw, 12280 + i);
    Send(burst);
    ASSERT_EQ(Pulses.size(), 100u);
    EXPECT_DOUBLE_EQ(Pulses[99].Wheel, 0.020161);
    EXPECT_EQ(ProtocolErrors, 0);
}

TEST_F(InterfaceTest, StateAndEventOrderThroughTheSession) {
    OpenPort();
    EXPECT_EQ(Log, (std::vector<std::string>{"Closed->Opening", "OnOpening"}));
    Kv->Open(kSourceSerial, Peer.SlavePath());  // already opening: nothing
    EXPECT_EQ(Log.size(), 2u);
    SendTicks(kvpKvw, 12280);
    Kv->Pause();
    Send(SampleTicks(kvpKvw, 12280) + SampleTicks(kvpKvw, 12280));  // dropped while paused
    EXPECT_EQ(Pulses.size(), 1u);
    Kv->Pause();  // already paused: nothing
    Kv->Continue();
    SendTicks(kvpKvw, 12894);
    ASSERT_EQ(Pulses.size(), 2u);
    EXPECT_DOUBLE_EQ(Pulses[1].Wheel, 0.021);
    EXPECT_EQ(Kv->MagnetIndex(), 1);
    Kv->Reset();
    EXPECT_EQ(Kv->MagnetIndex(), -1);
    Kv->Close();
    Kv->Close();  // closed: nothing
    Kv->Continue();
    EXPECT_EQ(Log, (std::vector<std::string>{
                       "Closed->Opening", "OnOpening", "Opening->Opened", "OnOpened",
                       "Opened->Pausing", "OnPausing", "Pausing->Paused", "OnPaused",
                       "Paused->Continueing", "OnContinueing", "Continueing->Continued",
                       "OnContinued", "Continued->Opened", "OnOpened", "Opened->Closing",
                       "OnClosing", "Closing->Closed", "OnClosed"}));
    EXPECT_FALSE(Kv->IsConnected());
    EXPECT_FALSE(Kv->ValidData());
    EXPECT_EQ(Kv->PulseValidity(), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(Errors.empty());
}

TEST_F(InterfaceTest, ShortPacketsBeforeValidDataAreNoise) {
    OpenPort();
    Send(std::string("\x01\x02", 2));
    EXPECT_TRUE(Kv->DataSeen());
    SendTicks(kvpKvw, 12280);
    EXPECT_EQ(ProtocolErrors, 0);  // the two bytes never reached the detectors
    EXPECT_EQ(Pulses.size(), 1u);
}

TEST_F(InterfaceTest, HandlerDrainsPacketsQueuedDuringANestedWait) {
    OpenPort();
    bool nested = false;
    Kv->OnRawData = [&](TInterface*, double wheel, int heart, int) {
        Pulses.push_back({wheel, heart});
        if (nested)
            return;
        nested = true;
        // The handler waits with events running; the packets arriving meanwhile get their
        // events while the receive path is busy and are left queued for it.
        Peer.Write(SampleTicks(kvpKvw, 12894) + SampleTicks(kvpKvw, 13508));
        ASSERT_TRUE(WaitUntil([&] { return Kv->Port()->ClusterCount() > 0; }));
        DrainEvents();
    };
    Peer.Write(SampleTicks(kvpKvw, 12280));
    ASSERT_TRUE(WaitUntil([&] { return Pulses.size() >= 3; }));
    EXPECT_EQ(Wheels(), (std::vector<double>{0.02, 0.021, 0.022}));
}

TEST_F(InterfaceTest, HandlerExceptionIsReportedAndReleasesTheGuard) {
    OpenPort();
    Kv->OnRawData = [](TInterface*, double, int, int) { throw std::runtime_error("display failed"); };
    SendTicks(kvpKvw, 12280);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "display failed");
    EXPECT_EQ(Kv->State(), kvsClosed);

    Kv->OnRawData = [this](TInterface*, double wheel, int heart, int) { Pulses.push_back({wheel, heart}); };
    OpenPort();
    SendTicks(kvpKvw, 12280);
    EXPECT_EQ(Pulses.size(), 1u);
}

// ---------------------------------------------------------------- slider lines

TEST_F(SliderTest, SliderWaitsForItsIdentificationLine) {
    OpenSlider(false);
    Send(SliderStroke(1000) + SliderLine("POWER DOWN"));
    EXPECT_EQ(Kv->State(), kvsOpening);  // ignored until the slider says who it is
    EXPECT_TRUE(Pulses.empty());
    Send("!S,10");  // half a line waits for its end
    EXPECT_EQ(Kv->State(), kvsOpening);
    Send("00\r\n" + SliderLine("VELTRO Slider VSM 1.3"));
    EXPECT_EQ(Kv->State(), kvsOpened);
    EXPECT_EQ(Kv->Protocol(), kvpVSDebug);
    ASSERT_EQ(Pulses.size(), 1u);  // the identification passes the last interval on
    Send(SliderStroke(1000) + SliderStroke(1100) + SliderLine(std::string(kSliderBanner)));
    EXPECT_EQ(ProtocolErrors, 0);  // a slider's odd lines are no protocol errors
    const std::vector<double> w = Wheels();
    ASSERT_EQ(w.size(), 4u);
    EXPECT_DOUBLE_EQ(w[1], 1000 * 0.00000864);
    EXPECT_DOUBLE_EQ(w[2], 1100 * 0.00000864);
    EXPECT_DOUBLE_EQ(w[3], w[2]);
}

TEST_F(SliderTest, MalformedSliderLineIsOneProtocolError) {
    OpenSlider();
    Send(SliderStroke(1000));
    Send(SliderLine("!S,") + SliderLine("!R,12x4") + SliderLine("unknown"));
    EXPECT_EQ(ProtocolErrors, 2);
    Send(SliderStroke(1050));
    EXPECT_EQ(Wheels().back(), 1050 * 0.00000864);
    EXPECT_EQ(Pulses.size(), 3u);
    EXPECT_TRUE(Errors.empty());
}

// ---------------------------------------------------------------- waiting for data

TEST_F(InterfaceTest, OpenAndWaitEndsOnValidDataOrReportsWhatCame) {
    struct TCase {
        std::string Bytes;  // what the device sends during the wait
        std::vector<QString> Errors;
        int ProtocolErrors;
        TKeloState State;
    };
    const TCase cases[] = {
        {"", {"ComPort : No data"}, 0, kvsOpening},  // the caller decides whether to close
        {std::string(6, '\x01'), {"ComPort : No valid data"}, 3, kvsOpening},
        {SampleTicks(kvpKvw, 12280), {}, 0, kvsOpened},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.State);
        Use(CreateInterface<TKVInterface>(nullptr));
        Errors.clear();
        ProtocolErrors = Beeps = Clock.Waits = 0;
        bool written = false;
        Clock.OnWait = [&](unsigned) {
            if (!std::exchange(written, true) && !c.Bytes.empty())
                Peer.Write(c.Bytes);
            if (c.Bytes.empty() || (Kv->DataSeen() && !Kv->ValidData()))
                Clock.Advance(1000);
        };
        Kv->OpenAndWait(kSourceSerial, Peer.SlavePath());
        Clock.OnWait = nullptr;
        EXPECT_EQ(Errors, c.Errors);
        EXPECT_EQ(Beeps, int(c.Errors.size()));
        EXPECT_EQ(ProtocolErrors, c.ProtocolErrors);
        EXPECT_EQ(Kv->ValidData(), c.Errors.empty());
        EXPECT_FALSE(Kv->WaitingForData());
        EXPECT_EQ(Kv->State(), c.State);
        EXPECT_LT(Clock.Waits, 20);
        Clock.Advance(5000);  // the no-data timer is gone with the wait
        DrainEvents();
        WaitUntil([] { return false; }, 20);
        EXPECT_EQ(Errors, c.Errors);
        Kv->Close();
    }
}

// The modem lines are set as the interface asks once its port is open.
TEST_F(InterfaceTest, ModemLinesFollowTheSettingsOnOpen) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        Kv->SetRTSOnOpen(on);
        Kv->SetDTROnOpen(!on);
        OpenPort();
        EXPECT_EQ(Kv->Port()->RTSState(), on);
        EXPECT_EQ(Kv->Port()->DTRState(), !on);
        EXPECT_TRUE(Errors.empty());  // a pty has no modem lines: warnings only
        Kv->Close();
    }
}

// ---------------------------------------------------------------- closing from the engine

TEST_F(InterfaceTest, CloseFromInsideTheEngineDoesNotRunItAgain) {
    // The engine is still on the stack: running it again would feed the pulse twice.
    auto* kv = CreateInterface<TClosingEngine>(nullptr);
    Use(kv);
    Log.clear();
    OpenPort();
    Peer.Write(SampleTicks(kvpKvw, 12280));
    ASSERT_TRUE(WaitUntil([&] { return Kv->State() == kvsClosed; }));
    EXPECT_EQ(kv->Runs, (std::vector<bool>{false}));
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "OnClosed"), 1);
}

// An open closes a port left active from before; the interface may go while that close waits.
TEST_F(InterfaceTest, InterfaceDestroyedWhileOpenClosesAnOldPort) {
    Kv->Port()->SetCommPort(Peer.SlavePath());
    Kv->Port()->SetActive(true);
    ASSERT_TRUE(Kv->Port()->Active());
    Clock.OnWait = [this](unsigned) { Kv.reset(); };
    TKVInterface* kv = Kv.get();
    kv->Open(kSourceSerial, Peer.SlavePath());
    EXPECT_EQ(Kv, nullptr);
}

TEST(KvSettings, MagnetCountFromSettingsStaysWithinWhatArraysCanHold) {
    std::unique_ptr<TKVInterface> kv(CreateInterface<TKVInterface>(nullptr));
    for (auto [set, kept] : {std::pair{1000000, kMaxMagnets}, {0, 1}, {-7, 1}, {6, 6}}) {
        kv->SetMagnets(set);
        EXPECT_EQ(kv->Magnets(), kept) << set;
    }
}

// A raw recording that fails mid-stream (file size limit) reports an error; a handler that
// closes the interface ends the pulses there, so no pulse arrives after the close.
TEST_F(InterfaceTest, FailedRecordingWriteWhoseHandlerClosesEndsThePulses) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Kv->SetRecordFileName(dir.filePath(QStringLiteral("raw.dat")));
    std::size_t pulsesAtError = 0;
    Kv->OnError = [&](TInterface*, const QString& msg) {
        Errors.push_back(msg);
        pulsesAtError = Pulses.size();
        Kv->Close();
    };
    {
        const TFileSizeLimit full(64);
        OpenPort();
        std::string burst;
        for (int i = 0; i < 8000; ++i)
            burst += kvenc::SampleTicks(kvpKvw, 9000);
        Peer.Write(burst);
        WaitUntil([&] { return Kv->State() == kvsClosed; });
    }
    ASSERT_FALSE(Errors.empty());
    EXPECT_EQ(Kv->State(), kvsClosed);
    EXPECT_EQ(Pulses.size(), pulsesAtError);
}

// ---------------------------------------------------------------- hostile and unplugged lines

TEST_F(InterfaceTest, CloseFromTheOpeningEventsLeavesThePortClosed) {
    for (const bool byStateChange : {false, true}) {
        SCOPED_TRACE(byStateChange);
        Use(CreateInterface<TKVInterface>(nullptr));
        if (byStateChange)
            Kv->OnStateChange = [this](TInterface*, TKeloState, TKeloState to) {
                if (to == kvsOpening)
                    Kv->Close();
            };
        else
            Kv->OnOpening = [this](TInterface*) { Kv->Close(); };
        Kv->Open(kSourceSerial, Peer.SlavePath());
        EXPECT_EQ(Kv->State(), kvsClosed);
        EXPECT_FALSE(Kv->IsConnected());
        EXPECT_EQ(Kv->Port()->ComHandle(), -1);
        // Nobody holds the port: the next open gets it.
        Kv->OnOpening = nullptr;
        Kv->OnStateChange = nullptr;
        OpenPort();
        Kv->Close();
    }
}

TEST_F(InterfaceTest, BytesReadBeforeAnUnplugAreDecodedThenTheLossIsReported) {
    OpenPort();
    // Three samples, each read by the port's worker before the cable comes out, none of them
    // handled yet by the main thread.
    for (std::size_t n = 1; n <= 3; ++n) {
        Peer.Write(SampleTicks(kvpKvw, 12280 + int(n)));
        for (int spin = 0; spin < 3000000 && Kv->Port()->ClusterCount() < n; ++spin)
            std::this_thread::yield();
        ASSERT_EQ(Kv->Port()->ClusterCount(), n);
    }
    Peer.CloseMaster();
    // The worker sees the loss before the main thread gets to the packets.
    for (int spin = 0; spin < 3000000 && Kv->Port()->Active(); ++spin)
        std::this_thread::yield();
    ASSERT_FALSE(Kv->Port()->Active());
    ASSERT_TRUE(WaitUntil([&] { return Kv->State() == kvsClosed; }));
    ASSERT_EQ(Pulses.size(), 3u);
    EXPECT_DOUBLE_EQ(Pulses[2].Wheel, 0.020005);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_TRUE(Errors[0].startsWith("ComPort : Error reading Data")) << Errors[0].toStdString();
    // The decoding came first, then the message, then the close.
    const auto opened = std::find(Log.begin(), Log.end(), "OnOpened");
    const auto error = std::find(Log.begin(), Log.end(), "error");
    EXPECT_LT(opened, error);
    EXPECT_LT(error, std::find(Log.begin(), Log.end(), "OnClosed"));
}

TEST_F(SliderTest, SliderJunkIsTracedOncePerLineBoundedAndWithoutControlBytes) {
    OpenSlider();
    // Lines of bytes that can begin no protocol line: control bytes, letters, high bytes.
    std::string junk;
    const std::string alphabet = std::string("\x01\x07\x1b\r\t abcxyz") + "\x80\xfe\xff";
    for (int line = 0; line < 6; ++line) {
        for (int i = 0; i < 3000; ++i)
            junk += alphabet[std::size_t(i * 7 + line) % alphabet.size()];
        junk += '\n';
    }
    ::testing::internal::CaptureStderr();
    Send(junk);
    Send(SliderStroke(1000));
    // The program's debug log: one line per junk line, however it was cut into packets.
    QStringList traces;
    for (const QString& line : QString::fromStdString(::testing::internal::GetCapturedStderr()).split('\n'))
        if (const qsizetype at = line.indexOf("???? : "); at >= 0)
            traces << line.mid(at);
    EXPECT_EQ(traces.size(), 6);
    for (const QString& t : traces) {
        EXPECT_LT(t.size(), 200);
        EXPECT_TRUE(t.endsWith("(3000 bytes)")) << t.toStdString();
        for (QChar c : t)
            EXPECT_GE(c.unicode(), 0x20) << t.toStdString();
    }
    EXPECT_EQ(Wheels().back(), 1000 * 0.00000864);  // the line after the junk is taken
    EXPECT_TRUE(Errors.empty());
}

TEST(KvLineExcerpt, PrintableAsItIsOtherBytesAsHex) {
    EXPECT_EQ(KvLineExcerpt("!S,12"), "!S,12");
    EXPECT_EQ(KvLineExcerpt(std::string("a\x00\x1b\\\xff", 5)), "a\\x00\\x1b\\x5c\\xff");
    EXPECT_EQ(KvLineExcerpt(std::string(41, 'x')), QString(40, 'x') + "... (41 bytes)");
}
