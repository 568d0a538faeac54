// Demo playback from .dat files and the built-in recording, and the raw recording, paced by a
// fake clock that the test moves while the event loop runs.
#include "devices/FlywheelInterface.h"

#include "support/FakeClock.h"
#include "support/FileHelpers.h"
#include "support/PtyPeer.h"
#include "tools/demosynth/DemoSynth.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class TDemoProbe : public TKVInterface {
public:
    TDemoProbe(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {}
    QString Path;  // the .dat file looked for; missing: the built-in recording
    QString DefaultDemoFileName() const { return TKVInterface::DemoFileName(); }

protected:
    QString DemoFileName() const override { return Path; }
};

std::string Header(const char* magic = "MIL ") {
    return std::string(magic, 4) + std::string("\x00\x00\x08\x01", 4);
}

std::string Record(int ticks, int heart) {
    return {char(ticks & 0xFF), char(ticks >> 8), char(heart)};
}

class DemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInterfaceBeep([] {});
        ASSERT_TRUE(Dir.isValid());
        Kv.reset(CreateInterface<TDemoProbe>(nullptr));
        Kv->SetClock(&Clock);
        Kv->SetDoCalculate(true);
        Kv->SetProtocolSet({kvpKvw, kvpDOS});
        Kv->Path = Dir.filePath(QStringLiteral("kvwt.dat"));
        Kv->OnError = [this](TInterface*, const QString& msg) { Errors.push_back(msg); };
        Kv->OnRawData = [this](TInterface*, double wheel, int heart, int) {
            Wheels.push_back(wheel);
            Hearts.push_back(heart);
        };
    }

    void TearDown() override {
        if (Kv)
            Kv->Close();
        Kv.reset();
        SetInterfaceBeep(nullptr);
    }

    void Write(const QString& name, const std::string& bytes) {
        ASSERT_TRUE(WriteAllBytes(name, QByteArray::fromStdString(bytes)));
    }

    // Runs the event loop while the fake clock moves stepMs per turn, until the interface is
    // closed or condition holds.
    bool PlayUntil(const std::function<bool()>& condition, int stepMs, int timeoutMs = 20000) {
        return WaitUntil(
            [&] {
                Clock.Advance(stepMs);
                return condition();
            },
            timeoutMs);
    }

    QTemporaryDir Dir;
    TFakeClock Clock;
    std::unique_ptr<TDemoProbe> Kv;
    std::vector<QString> Errors;
    std::vector<double> Wheels;
    std::vector<int> Hearts;
};

}  // namespace

TEST_F(DemoTest, TheDemoFileSitsNextToTheProgram) {
    const QString name = Kv->DefaultDemoFileName();
    EXPECT_TRUE(name.endsWith(QStringLiteral("/kv_devices_tests.dat"))) << name.toStdString();
}

TEST_F(DemoTest, BadFilesAreReportedOnceAndClose) {
    struct TCase {
        std::string Bytes;
        const char* Message;
    };
    for (const TCase& c : {TCase{Header().substr(0, 7), "DemoOpen 1 : Filesize"},
                           TCase{Header("MIT ") + Record(9000, 120), "DemoOpen 1 : Invalid file"}}) {
        Errors.clear();
        Write(Kv->Path, c.Bytes);
        Kv->Open(kSourceDemo, QString());
        EXPECT_EQ(Errors, (std::vector<QString>{QString::fromLatin1(c.Message)}));
        EXPECT_EQ(Kv->State(), kvsClosed);
        EXPECT_TRUE(Wheels.empty());
    }
}

TEST_F(DemoTest, OneRecordPlaysAndThenCloses) {
    Write(Kv->Path, Header() + Record(12280, 131));
    Kv->Open(kSourceDemo, QString());
    EXPECT_EQ(Kv->State(), kvsOpened);
    EXPECT_EQ(Kv->OpenName(), QStringLiteral("DEMO"));
    EXPECT_EQ(Kv->SourceName(), QStringLiteral("Demodata"));
    EXPECT_EQ(Kv->Protocol(), kvpDOS);
    ASSERT_TRUE(PlayUntil([&] { return Kv->State() == kvsClosed; }, 5));
    EXPECT_EQ(Wheels, (std::vector<double>{0.02}));
    EXPECT_EQ(Hearts, (std::vector<int>{131}));  // a file's heart rate is taken as it is
    EXPECT_TRUE(Errors.empty());
}

TEST_F(DemoTest, RecordingAndReplayingGiveTheSamePulses) {
    // A stream with a divided record (three pulses in one) and a no-pulse record.
    std::string bytes = Header();
    for (int i = 0; i < 40; ++i)
        bytes += Record(9000 + 37 * i, 140);
    bytes += Record(3 * 10500, 141) + Record(65535, 142) + Record(9000, 143) + Record(9100, 144);
    Write(Kv->Path, bytes);
    const QString recording = Dir.filePath(QStringLiteral("raw.dat"));
    Kv->SetRecordFileName(recording);
    Kv->SetDemoFast(true);
    Kv->Open(kSourceDemo, QString());
    ASSERT_TRUE(PlayUntil([&] { return Kv->State() == kvsClosed; }, 1));
    const std::vector<double> played = Wheels;
    const std::vector<int> hearts = Hearts;
    ASSERT_EQ(played.size(), 46u);
    EXPECT_NEAR(played[40], 10500.0 / kKvTicksPerSecond, 1e-9);

    const QByteArray data = ReadAllBytes(recording);
    ASSERT_EQ(data.size(), 8 + 3 * 46);
    const quint32 version = qToLittleEndian<quint32>(GetFileVersionInt());
    EXPECT_EQ(data.left(11), "MIL " + QByteArray(reinterpret_cast<const char*>(&version), 4) +
                                 QByteArray::fromStdString(Record(9000, 140)));

    Kv->SetRecordFileName(QString());
    Kv->Path = recording;
    Wheels.clear();
    Hearts.clear();
    Kv->Open(kSourceDemo, QString());
    ASSERT_TRUE(PlayUntil([&] { return Kv->State() == kvsClosed; }, 1));
    ASSERT_EQ(Wheels.size(), played.size());
    for (std::size_t i = 0; i < played.size(); ++i)
        EXPECT_NEAR(Wheels[i], played[i], 1.0 / kKvTicksPerSecond) << i;
    EXPECT_EQ(Hearts, hearts);
}

TEST_F(DemoTest, AMissedPulsePlaysAsTwoPulsesOfTheRecovery) {
    // A slow wheel: the doubled interval of a missed pulse lies beyond the valid range.
    TDemoSynthOptions options;
    options.Segments = DemoSteadyProfile(1, 22, 150, 0);
    std::vector<TStgStrokeData> strokes[2];
    std::size_t pulses[2] = {};
    Kv->SetDemoFast(true);
    for (int run = 0; run < 2; ++run) {
        options.DropEvery = run;  // none, then one in every recovery
        const TDemoSynthResult model = SynthesizeDemo(options);
        Write(Kv->Path, DemoFileBytes(model.Records, 1).toStdString());
        Kv->OnStrokeData = [&strokes, run](TInterface*, const TStgStrokeData& d) {
            if (d.Number != 0 && (strokes[run].empty() || d.Number != strokes[run].back().Number))
                strokes[run].push_back(d);
        };
        Wheels.clear();
        Kv->Open(kSourceDemo, QString());
        ASSERT_TRUE(PlayUntil([&] { return Kv->State() == kvsClosed; }, 1));
        pulses[run] = Wheels.size();
    }
    EXPECT_EQ(pulses[1], pulses[0]);
    ASSERT_GE(strokes[0].size(), 10u);
    EXPECT_NEAR(double(strokes[1].size()), double(strokes[0].size()), 1.0);
    EXPECT_NEAR(strokes[1].back().EnergySum / strokes[0].back().EnergySum, 1.0, 0.03);
    for (const TStgStrokeData& st : strokes[1])
        EXPECT_GT(st.DriveTime, 0) << st.Number;
}

TEST_F(DemoTest, PacedPlaybackAndNoBurstAfterAPause) {
    std::string bytes = Header();
    for (int i = 0; i < 2000; ++i)
        bytes += Record(6140, 120);  // 10 ms each
    Write(Kv->Path, bytes);
    const std::int64_t opened = Clock.NowMs();
    Kv->Open(kSourceDemo, QString());
    ASSERT_EQ(Kv->State(), kvsOpened);
    // Records keep the clock's pace: never ahead of it, late ones caught up at once.
    ASSERT_TRUE(PlayUntil([&] { return Wheels.size() >= 100; }, 10));
    const std::size_t played = Wheels.size();
    EXPECT_LE(played, std::size_t((Clock.NowMs() - opened) / 10 + 1));
    EXPECT_GE(played, std::size_t((Clock.NowMs() - opened) / 10 - 12));

    Kv->Pause();
    ASSERT_EQ(Kv->State(), kvsPaused);
    Clock.Advance(60000);
    WaitUntil([] { return false; }, 30);
    EXPECT_EQ(Wheels.size(), played);

    Kv->Continue();
    ASSERT_EQ(Kv->State(), kvsOpened);
    // Not a minute of records at once: the pace goes on from the continue.
    ASSERT_TRUE(PlayUntil([&] { return Wheels.size() > played; }, 1));
    EXPECT_LE(Wheels.size(), played + 3);
}

TEST_F(DemoTest, DemoFastPlaysTheBuiltInRecordingQuickly) {
    Kv->Path = Dir.filePath(QStringLiteral("missing.dat"));
    Kv->SetDemoFast(true);
    int strokes = 0;
    Kv->OnStrokeData = [&](TInterface*, const TStgStrokeData&) { ++strokes; };
    const std::int64_t start = Clock.NowMs();
    Kv->Open(kSourceDemo, QString());
    ASSERT_EQ(Kv->State(), kvsOpened);
    ASSERT_TRUE(PlayUntil([&] { return Kv->State() == kvsClosed; }, 1, 60000));
    EXPECT_TRUE(Errors.empty());
    double recorded = 0;
    for (double w : Wheels)
        recorded += w;
    EXPECT_GT(recorded, 25 * 60.0);  // about half an hour of rowing
    // Played in a small fraction of its own time, by the clock of the timer.
    EXPECT_LT(double(Clock.NowMs() - start), recorded * 1000 / 20);
    EXPECT_GT(strokes, 500);
    // The recording carries no heart rate: the demo shows 150-154.
    for (int h : Hearts) {
        ASSERT_GE(h, 150);
        ASSERT_LE(h, 154);
    }
}
