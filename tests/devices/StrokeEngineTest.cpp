// The stroke engine on pulse streams of the rowing model (tools/demosynth) and on hand-made
// ones, fed through the same chain as demo playback, with a fake clock that follows the stream.
#include "devices/FlywheelInterface.h"

#include "support/FakeClock.h"
#include "tools/demosynth/DemoSynth.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <numbers>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

// Opens without a source of its own; the test feeds the records.
class TEngineProbe : public TKVInterface {
public:
    TEngineProbe(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {}
    void FeedRecord(std::uint16_t ticks, std::uint8_t heart) {
        TakeRawRecord(ticks, heart, false);
        DemoProcess();
    }

protected:
    void DemoOpen() override {
        FValidData = 1;
        SetState(kvsOpened);
    }
};

struct TForce {
    int Puls;
    double Length, Force, DeltaTime;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInterfaceBeep([] {});
        Kv.reset(CreateInterface<TEngineProbe>(nullptr));
        Kv->SetClock(&Clock);
        Kv->SetDoCalculate(true);
        Kv->SetThresHold(5);
        Kv->SetWeight(80);
        Kv->OnStrokeData = [this](TInterface*, const TStgStrokeData& d) {
            Records.push_back(d);
            // Idle records repeat the last stroke's number.
            if (Strokes.empty() ? d.Number != 0 : d.Number != Strokes.back().Number) {
                Strokes.push_back(d);
                StrokeSample.push_back(Kv->SampleCount());
                Events.push_back("stroke");
            } else {
                Idles.push_back(d);
            }
        };
        Kv->OnForceData = [this](TInterface*, int puls, double length, double force, double dt) {
            Forces.push_back({puls, length, force, dt});
            Events.push_back("force");
        };
        Kv->OnStartingStroke = [this](TInterface*) {
            DriveStarts.push_back(Kv->SampleCount());
            Events.push_back("drive");
        };
        Kv->OnStartingRecover = [this](TInterface*) { Events.push_back("recover"); };
    }

    void TearDown() override {
        if (Kv)
            Kv->Close();
        Kv.reset();
        SetInterfaceBeep(nullptr);
    }

    void Open() {
        Kv->Open(kSourceDemo, QStringLiteral("test"));
        ASSERT_EQ(Kv->State(), kvsOpened);
    }

    // Feeds records while the interface is open; the clock follows the recorded time.
    void Feed(const std::vector<TStgRawData>& records) {
        for (const TStgRawData& r : records) {
            if (!Kv || Kv->State() <= kvsClosed)
                return;
            Seconds += double(r.Interval) / kKvTicksPerSecond;
            Clock.Advance(std::int64_t(Seconds * 1000) - (Clock.NowMs() - Start));
            Kv->FeedRecord(r.Interval, r.HeartRate);
        }
    }

    static std::vector<TStgRawData> Intervals(const std::vector<double>& seconds, int heart = 150) {
        std::vector<TStgRawData> result;
        for (double s : seconds)
            result.push_back({Word(std::nearbyint(s * kKvTicksPerSecond)), std::uint8_t(heart)});
        return result;
    }

    static TDemoSynthResult Synth(std::vector<TDemoSegment> segments) {
        TDemoSynthOptions options;
        options.Segments = std::move(segments);
        return SynthesizeDemo(options);
    }

    TFakeClock Clock;
    const std::int64_t Start = Clock.NowMs();
    double Seconds = 0;
    std::unique_ptr<TEngineProbe> Kv;
    std::vector<TStgStrokeData> Records, Strokes, Idles;
    std::vector<int> StrokeSample, DriveStarts;
    std::vector<TForce> Forces;
    std::vector<std::string> Events;
};

double Mean(const std::vector<double>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

// The built-in recording as the build made it, and the model's handle work of each stroke.
std::vector<TStgRawData> BuiltInRecords() {
    QFile f(QStringLiteral(KV_DEMODATA_FILE));
    std::vector<TStgRawData> records;
    if (!f.open(QIODevice::ReadOnly))
        return records;
    const QByteArray b = f.readAll();
    for (qsizetype i = kKvRawHeaderSize; i + kStgRawDataSize <= b.size(); i += kStgRawDataSize)
        records.push_back({Word(std::uint8_t(b[i]) | (std::uint8_t(b[i + 1]) << 8)), std::uint8_t(b[i + 2])});
    return records;
}

std::vector<double> BuiltInHandleWork() {
    QFile f(QStringLiteral(KV_DEMODATA_TRUTH_FILE));
    std::vector<double> work;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return work;
    f.readLine();  // the column names
    while (!f.atEnd()) {
        const QList<QByteArray> cells = f.readLine().trimmed().split(',');
        if (cells.size() > 5)
            work.push_back(cells[5].toDouble());  // handle_work_j
    }
    return work;
}

// The wheel's whole kinetic energy at a mean pulse interval.
double WheelEnergy(double meanInterval, int magnets = 4) {
    const double omega = 2 * std::numbers::pi / (magnets * meanInterval);
    return 0.5 * 0.1088 * omega * omega;
}

// Intervals from `from` to `to` in n equal steps (both ends included).
void Ramp(std::vector<double>& out, double from, double to, int n) {
    for (int i = 0; i < n; ++i)
        out.push_back(from + (to - from) * i / (n - 1));
}

}  // namespace

// ---------------------------------------------------------------- against the model

TEST_F(EngineTest, TwoMinutesAtTwentyFourAgreeWithTheModel) {
    const TDemoSynthResult model = Synth(DemoSteadyProfile(2, 24, 650, 0));
    Open();
    Feed(model.Records);
    ASSERT_EQ(Strokes.size(), model.Strokes.size());
    // The first strokes spin the wheel up; the last one is cut by the end of the recording.
    std::vector<double> rate, length, work, drive;
    for (std::size_t i = 3; i + 1 < Strokes.size(); ++i) {
        const TDemoStrokeTruth& t = model.Strokes[i];
        rate.push_back(Strokes[i].StrokeRate - t.Rate);
        length.push_back(Strokes[i].Length / 100 / t.DriveLength - 1);
        work.push_back(Strokes[i].Energy / t.HandleWork - 1);
        drive.push_back(Strokes[i].DriveTime / t.DriveTime - 1);
    }
    EXPECT_NEAR(Mean(rate), 0.0, 0.2);
    EXPECT_NEAR(Mean(length), 0.0, 0.08);  // the drive is seen from the wheel: shorter at its ends
    EXPECT_NEAR(Mean(work), 0.0, 0.04);
    EXPECT_NEAR(Mean(drive), 0.0, 0.15);
    // The learned drag factor is the model's.
    EXPECT_NEAR(Strokes.back().K, kDemoDragFactor * 10000, 0.05);
}

TEST_F(EngineTest, EveryStrokeOfTheBuiltInRecordingHasTheModelsWork) {
    const std::vector<TStgRawData> records = BuiltInRecords();
    const std::vector<double> truth = BuiltInHandleWork();
    ASSERT_GT(records.size(), 100000u);
    Open();
    Feed(records);
    ASSERT_EQ(Strokes.size(), truth.size());
    // The first stroke of a session counts its flywheel energy from its own first sample.
    double sum = Strokes[0].Energy, truthSum = truth[0];
    int afterStop = 0;
    for (std::size_t i = 1; i < Strokes.size(); ++i) {
        sum += Strokes[i].Energy;
        truthSum += truth[i];
        // Where the rate drops from a piece to paddling the drive is found a little late.
        EXPECT_NEAR(Strokes[i].Energy / truth[i], 1.0, 0.11) << "stroke " << i + 1;
        if (Strokes[i].Time - Strokes[i - 1].Time > 30) {
            ++afterStop;  // the wheel stood still: its whole energy is the rower's work
            EXPECT_NEAR(Strokes[i].Energy / truth[i], 1.0, 0.04) << "first stroke after the stop";
        }
        // No chest belt: no pulse and no work per pulse, also after the stop.
        EXPECT_EQ(Strokes[i].Pulse, 0) << i;
        EXPECT_EQ(Strokes[i].WorkPerPulse, 0) << i;
    }
    EXPECT_EQ(afterStop, 1);
    EXPECT_NEAR(sum / truthSum, 1.0, 0.03);
    EXPECT_NEAR(Kv->TotalEnergy(), sum, 1.0);
}

TEST_F(EngineTest, AMissedPulseInTheRecoveryIsNoStroke) {
    // A slow wheel's doubled interval lies beyond the valid range; a fast wheel's does not.
    struct TCase {
        double Rate, Peak;
        int Every;
        double At;
        std::uint64_t Seed;
    };
    const TCase cases[] = {
        {22, 150, 1, 0.5, kDemoDefaultSeed},
        {20, 120, 1, 0.8, 9},
        {22, 150, 2, 0.3, 3},
        {24, 650, 1, 0.5, kDemoDefaultSeed},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Peak << " N, every " << c.Every << " at " << c.At);
        TDemoSynthOptions options;
        options.Segments = DemoSteadyProfile(1, c.Rate, c.Peak, 0);
        options.Seed = c.Seed;
        const TDemoSynthResult clean = SynthesizeDemo(options);
        options.DropEvery = c.Every;
        options.DropAt = c.At;
        const TDemoSynthResult dropped = SynthesizeDemo(options);
        // Some pulses are missed (not in a recovery that runs into the wheel's spin-up).
        ASSERT_GE(clean.Records.size(), dropped.Records.size() + clean.Strokes.size() / c.Every / 2);
        std::vector<TStgStrokeData> strokes[2];
        for (int run = 0; run < 2; ++run) {
            Strokes.clear();
            Open();
            Feed(run == 0 ? clean.Records : dropped.Records);
            Kv->Close();
            strokes[run] = Strokes;
        }
        ASSERT_GE(strokes[0].size(), 10u);
        EXPECT_NEAR(double(strokes[1].size()), double(strokes[0].size()), 1.0);
        EXPECT_NEAR(strokes[1].back().EnergySum / strokes[0].back().EnergySum, 1.0, 0.03);
        for (const TStgStrokeData& st : strokes[1]) {
            EXPECT_GT(st.DriveTime, 0) << st.Number;
            EXPECT_GT(st.Length, 10) << st.Number;
        }
    }
    // A record that cannot be split (the counter ran out) in each recovery: the steady run
    // resumes while the wheel slows, which is still the recovery.
    std::vector<double> stream;
    Ramp(stream, 0.100, 0.060, 5);
    for (int stroke = 0; stroke < 4; ++stroke) {
        Ramp(stream, 0.048, 0.015, 40);
        Ramp(stream, 0.016, 0.030, 25);
        stream.push_back(65535.0 / kKvTicksPerSecond);
        Ramp(stream, 0.031, 0.045, 15);
    }
    Strokes.clear();
    Open();
    Feed(Intervals(stream, 0));
    EXPECT_EQ(Strokes.size(), 4u);
    for (const TStgStrokeData& st : Strokes)
        EXPECT_GT(st.DriveTime, 0) << st.Number;
}

TEST_F(EngineTest, StrokesAfterAPauseCountTheWheelsEnergyFromTheStand) {
    // Hand-made: three strokes, each followed by a pause in which the pulses become invalid
    // while the wheel runs down, as on a machine whose slow wheel gives no valid pulses in
    // the recovery.
    std::vector<double> stream;
    for (int stroke = 0; stroke < 3; ++stroke) {
        Ramp(stream, 0.100, 0.060, 5);   // the wheel starts from the stand: invalid pulses
        Ramp(stream, 0.048, 0.015, 40);  // the drive
        Ramp(stream, 0.016, 0.050, 30);  // the recovery
        Ramp(stream, 0.056, 0.106, 8);   // the pause
        stream.insert(stream.end(), 20, 0.106);  // the longest a record holds
    }
    std::vector<double> endInterval, firstForce;
    Kv->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
        if (!Strokes.empty() && d.Number == Strokes.back().Number)
            return;
        Strokes.push_back(d);
        endInterval.push_back(Kv->EngineSample(Kv->SampleCount() - 1).MeanInterval);
    };
    Kv->OnForceData = [&](TInterface*, int puls, double, double force, double) {
        if (puls == 1)
            firstForce.push_back(force);
    };
    Open();
    Feed(Intervals(stream, 0));
    ASSERT_EQ(Strokes.size(), 3u);
    ASSERT_EQ(firstForce.size(), 3u);
    for (std::size_t i = 1; i < Strokes.size(); ++i) {
        const double length = Strokes[i].Length / 100;
        const double cord = length * (length * 10.7 / 2 + 21.0);
        const double wheel = WheelEnergy(endInterval[i]);
        EXPECT_GE(Strokes[i].Energy, wheel + cord) << i;
        EXPECT_LE(Strokes[i].Energy, wheel + cord + 60) << i;  // the air drag of the drive
        EXPECT_NEAR(Strokes[i].EnergySum * 1000, Strokes[i - 1].EnergySum * 1000 + Strokes[i].Energy, 0.5);
        // The force of the first drive sample is that of its own pulse, not the wheel's whole
        // energy in one pulse (about 1600 N here).
        EXPECT_LT(firstForce[i], 100.0) << i;
        EXPECT_EQ(Strokes[i].Pulse, 0);
    }
}

TEST_F(EngineTest, NoBeltNoPulseABeltShowsItsValueFromTheFirstStroke) {
    const TDemoSynthResult model =
        Synth({{20, 24, 24, 650, 650}, {10, 0, 0, 0, 0, true}, {20, 24, 24, 650, 650}});
    for (const int belt : {0, 132}) {
        SCOPED_TRACE(belt);
        Strokes.clear();
        std::vector<TStgRawData> records = model.Records;
        for (TStgRawData& r : records)
            r.HeartRate = std::uint8_t(belt);
        Open();
        Feed(records);
        Kv->Close();
        ASSERT_GE(Strokes.size(), 10u);
        for (const TStgStrokeData& st : Strokes) {
            EXPECT_EQ(st.Pulse, belt) << st.Number;
            EXPECT_FLOAT_EQ(st.WorkPerPulse, belt == 0 ? 0.0f : st.Power / belt) << st.Number;
        }
        for (const TStgStrokeData& idle : Idles)
            EXPECT_EQ(idle.Pulse, belt);
        Idles.clear();
    }
}

TEST(BoatSpeed, TheSingleSculWithTheDefaultWeightFollowsTheErgometerConvention) {
    const double defaultMass = std::cbrt(80 + 17.5);
    // P = 2.8 v^3: 200 W is 4.149 m/s (2:00.5 per 500 m), 900 W 6.850 m/s.
    EXPECT_NEAR(BoatSpeed(kvb1x, defaultMass, 200), 4.1491, 1e-3);
    EXPECT_NEAR(BoatSpeed(kvb1x, defaultMass, 900), 6.8501, 1e-3);
    EXPECT_EQ(BoatSpeed(kvb1x, defaultMass, 0), 0);
    // The classes differ; a heavier crew is slower at the same power; an unknown class rows as
    // the single.
    EXPECT_GT(BoatSpeed(kvb2x, defaultMass, 200), BoatSpeed(kvb2cd, defaultMass, 200));
    EXPECT_LT(BoatSpeed(kvb1x, std::cbrt(100 + 17.5), 200), BoatSpeed(kvb1x, defaultMass, 200));
    EXPECT_EQ(BoatSpeed(TKeloBoatType(BoatFactors.size()), defaultMass, 200), BoatSpeed(kvb1x, defaultMass, 200));
}

TEST_F(EngineTest, FirstStrokeHasNoPowerAndItsDistanceFromTheFlywheelEnergy) {
    const TDemoSynthResult model = Synth(DemoSteadyProfile(0.25, 24, 650, 0));
    double bTime = -1, work = -1;
    Kv->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
        Strokes.push_back(d);
        if (Strokes.size() == 1) {
            bTime = Kv->EngineSample(Kv->SampleCount() - 1).Time;
            work = d.Energy;
        }
    };
    Open();
    Feed(model.Records);
    ASSERT_GE(Strokes.size(), 3u);
    const TStgStrokeData& first = Strokes[0];
    EXPECT_EQ(first.Number, 1);
    EXPECT_EQ(first.Power, 0);
    EXPECT_EQ(first.AvgPower, 0);
    EXPECT_EQ(first.StrokeRate, 0);
    EXPECT_GT(work, 0);
    EXPECT_NEAR(first.Distance, bTime / 2 * std::sqrt(2 * work / (80 + 17.5)), 1e-3);
    EXPECT_FLOAT_EQ(first.Time, float(bTime));
    // From the second stroke on: power, rate and the distance adding up.
    const TStgStrokeData& second = Strokes[1];
    EXPECT_GT(second.Power, 0);
    EXPECT_NEAR(second.StrokeRate, 60.0 / (second.Time - first.Time), 0.01);
    EXPECT_NEAR(second.Distance - first.Distance, second.DistancePerStroke / 100, 1e-3);
    EXPECT_NEAR(second.AvgPower, (first.Energy + second.Energy) / second.Time, 0.5);
    // The split of the ergometer convention at the stroke's power (80 kg, single scull).
    EXPECT_NEAR(second.Est500mTime, 500 / std::cbrt(second.Power / 2.8), 0.1);
    EXPECT_FLOAT_EQ(Strokes.back().K, float(Kv->DragFactor() * 10000));
}

// ---------------------------------------------------------------- drive and recovery

TEST_F(EngineTest, DriveEndsByTheForceTestWhenTheTriggerIsNeverReached) {
    const TDemoSynthResult model = Synth(DemoSteadyProfile(0.5, 24, 650, 0));
    Kv->SetStrokeTrigger(-100000);  // only CheckDriveEnd can end a drive
    Open();
    Feed(model.Records);
    ASSERT_GE(Strokes.size(), model.Strokes.size() - 1);
    EXPECT_LE(Strokes.size(), model.Strokes.size());
    // The force sample of the ending pulse is reported as 0, then the record.
    int zeros = 0;
    for (std::size_t i = 1, f = Events[0] == "force"; i < Events.size(); ++i) {
        if (Events[i] == "force")
            ++f;
        else if (Events[i] == "stroke")
            zeros += Events[i - 1] == "force" && Forces[f - 1].Force == 0;
    }
    EXPECT_EQ(zeros, int(Strokes.size()));
}

TEST_F(EngineTest, DriveEndsOnTheFirstForceAtOrBelowTheTrigger) {
    const TDemoSynthResult model = Synth(DemoSteadyProfile(0.5, 24, 650, 0));
    Open();
    Feed(model.Records);
    ASSERT_GE(Strokes.size(), 5u);
    for (std::size_t s = 1; s < Strokes.size(); ++s) {
        const int sc = StrokeSample[s];
        // The ending sample is the drive's first one at 0 N or below.
        EXPECT_LE(Kv->EngineSample(sc).Force, 0) << s;
        for (int i = Kv->EngineSample(sc).PulseNumber > 0 ? sc - Kv->EngineSample(sc).PulseNumber + 1 : sc; i < sc; ++i)
            EXPECT_GT(Kv->EngineSample(i).Force, 0) << s << " " << i;
    }
}

TEST_F(EngineTest, AThresholdBelowEveryForceNeverEndsADriveByTheForceTest) {
    // Twice the threshold is beyond the integer range; no force is below it.
    const TDemoSynthResult model = Synth(DemoSteadyProfile(0.5, 24, 650, 0));
    Kv->SetThresHold(std::numeric_limits<int>::min());
    Kv->SetStrokeTrigger(-100000);
    Open();
    Feed(model.Records);
    EXPECT_TRUE(Strokes.empty());
    EXPECT_EQ(Kv->Phase(), 1);
}

TEST_F(EngineTest, NoNewDriveBeforeFourRevolutionsOfRecovery) {
    // Speeding up, slowing down (the stroke ends), then speeding up again at once.
    std::vector<double> iv;
    double t = 0.030;
    for (int i = 0; i < 12; ++i)
        iv.push_back(t *= 0.97);
    for (int i = 0; i < 3; ++i)
        iv.push_back(t *= 1.01);
    for (int i = 0; i < 30; ++i)
        iv.push_back(t *= 0.99);
    Open();
    Feed(Intervals(iv));
    ASSERT_EQ(Strokes.size(), 1u);
    ASSERT_EQ(DriveStarts.size(), 2u);
    const int recoveryStart = StrokeSample[0];
    // Cog 11 and Link 0.008: one pulse is 2.2 cm, so the drive starts at the accelerating sample.
    EXPECT_NEAR(Kv->ModelConstants().HandlePerPulse, 0.022, 1e-12);
    EXPECT_EQ(DriveStarts[1], recoveryStart + 4 * 4);
    EXPECT_EQ(Kv->DriveStart(), recoveryStart + 16);
}

TEST_F(EngineTest, TheForceTestEndsNoDriveWithinItsFirstTwoRevolutions) {
    // The wheel slows from the seventh pulse on; the trigger is never reached, so the force
    // test ends the drive, at the first sample past two revolutions of the four magnets.
    Kv->SetStrokeTrigger(-100000);
    std::vector<double> iv;
    double t = 0.030;
    for (int i = 0; i < 6; ++i)
        iv.push_back(t *= 0.97);
    for (int i = 0; i < 40; ++i)
        iv.push_back(t *= 1.003);
    Open();
    Feed(Intervals(iv));
    ASSERT_EQ(Strokes.size(), 1u);
    EXPECT_EQ(StrokeSample[0], DriveStarts[0] + 2 * 4 + 1);
}

TEST_F(EngineTest, DriveStartRoundsTiesToEven) {
    // Cog 10: 0.01 / 0.02 = 0.5 pulses per centimetre rounds to 0: only the accelerating
    // sample is recomputed. Cog 5 (1 cm per pulse) reaches one sample further back.
    for (int cog : {10, 5}) {
        Strokes.clear(), DriveStarts.clear(), Events.clear(), Forces.clear(), Seconds = 0;
        SetUp();
        Kv->SetCog(cog);
        std::vector<double> iv;
        double t = 0.030;
        for (int i = 0; i < 12; ++i)
            iv.push_back(t *= 0.97);
        for (int i = 0; i < 20; ++i)
            iv.push_back(t *= 1.01);
        for (int i = 0; i < 3; ++i)
            iv.push_back(t *= 0.99);
        Open();
        Feed(Intervals(iv));
        ASSERT_EQ(DriveStarts.size(), 2u) << cog;
        const auto drive = std::find(Events.begin() + 1, Events.end(), "drive");
        const long forces = std::count(drive, Events.end(), "force");
        const int expectedBack = cog == 10 ? 0 : 1;
        EXPECT_EQ(Kv->DriveStart(), DriveStarts[1] - expectedBack) << cog;
        EXPECT_EQ(Kv->EngineSample(Kv->DriveStart() - 1).PulseNumber, 0);
        // Every sample since the drive start once at the start, then one per pulse.
        EXPECT_EQ(forces, long(Kv->SampleCount() - Kv->DriveStart() + 1)) << cog;
        TearDown();
    }
}

TEST_F(EngineTest, OneMagnetFindsStrokesAgainAfterAResetOrReopenWhileTheWheelTurns) {
    // With one magnet the cleared pulse history is full again at the first pulse: the engine
    // must start a drive there, not wait for the rower to stop. A wheel that never gets slow
    // enough for a pulse to be invalid: ten revolutions of drive, twenty of recovery.
    std::vector<double> cycle;
    double t = 0.030;
    for (int i = 0; i < 10; ++i)
        cycle.push_back(t *= 0.96);
    for (int i = 0; i < 20; ++i)
        cycle.push_back(t /= std::pow(0.96, 0.5));
    std::vector<double> tenCycles;
    for (int i = 0; i < 10; ++i)
        tenCycles.insert(tenCycles.end(), cycle.begin(), cycle.end());
    Kv->SetMagnets(1);
    Open();
    Feed(Intervals(tenCycles));
    const std::size_t first = Strokes.size();
    ASSERT_GE(first, 8u);

    Strokes.clear();
    Kv->Reset();
    Feed(Intervals(tenCycles));
    EXPECT_GE(Strokes.size(), first - 1);

    Strokes.clear();
    Kv->Close();
    Open();
    Feed(Intervals(tenCycles));
    EXPECT_GE(Strokes.size(), first - 1);
}

TEST_F(EngineTest, ReopenedWhileRowingTheEngineStartsWhenTheCountdownEnds) {
    // The interface is closed mid-stroke and opened again; the engine runs only from the end
    // of a countdown, while the rower keeps rowing.
    const TDemoSynthResult model = Synth(DemoSteadyProfile(1.5, 24, 650, 0));
    const std::size_t third = model.Records.size() / 3;
    const auto part = [&](std::size_t i) {
        return std::vector<TStgRawData>(model.Records.begin() + std::ptrdiff_t(i * third),
                                        model.Records.begin() + std::ptrdiff_t((i + 1) * third));
    };
    Open();
    Feed(part(0));
    const std::size_t first = Strokes.size();
    ASSERT_GE(first, 8u);
    Kv->Close();

    Strokes.clear();
    Kv->SetDoCalculate(false);
    Open();
    Feed(part(1));
    EXPECT_TRUE(Strokes.empty());
    Kv->SetDoCalculate(true);
    Feed(part(2));
    EXPECT_GE(Strokes.size(), first - 2);
}

// ---------------------------------------------------------------- stops

TEST_F(EngineTest, IdleRecordsEveryTwoSecondsAndTheStopCountsInTheTime) {
    const TDemoSynthResult model =
        Synth({{30, 24, 24, 650, 650}, {10, 0, 0, 0, 0, true}, {30, 24, 24, 650, 650}});
    Open();
    Feed(model.Records);
    ASSERT_GE(Idles.size(), 4u);
    for (std::size_t i = 1; i < Idles.size(); ++i) {
        EXPECT_NEAR(Idles[i].Time - Idles[i - 1].Time, 2.0, 0.15) << i;
        EXPECT_EQ(Idles[i].Number, Idles[0].Number);
        EXPECT_EQ(Idles[i].Power, 0);
        EXPECT_EQ(Idles[i].Distance, Idles[0].Distance);
        EXPECT_NEAR(Idles[i].AvgPower, Idles[i].EnergySum * 1000 / Idles[i].Time, 0.01);
    }
    // The strokes after the stop go on from the stopped time, on the model's time line.
    const auto after = std::find_if(Strokes.begin(), Strokes.end(), [&](const TStgStrokeData& s) {
        return s.Number > Idles.back().Number;
    });
    ASSERT_NE(after, Strokes.end());
    EXPECT_GT(after->Time, Idles.back().Time);
    EXPECT_NEAR(Strokes.back().Time, model.Strokes.back().StartTime + model.Strokes.back().DriveTime, 2.0);
    // No force spike from the stopped wheel at the first drive after the stop.
    double peak = 0;
    for (std::size_t i = 0, f = 0, s = 0; i < Events.size(); ++i) {
        if (Events[i] == "stroke")
            ++s;
        if (Events[i] == "force" && s > 0)
            peak = std::max(peak, Forces[f].Force);
        if (Events[i] == "force")
            ++f;
    }
    EXPECT_LT(peak, 1000.0);
}

// A stroke whose recovery was not measured whole gives no drive : recover ratio: the first
// stroke (none before it) and the first after a stop (its recovery holds the stop). The first
// stroke has no power, and so no 500 m time either.
TEST_F(EngineTest, StrokesNotMeasuredWholeGiveNoRatio) {
    const TDemoSynthResult model =
        Synth({{30, 24, 24, 650, 650}, {20, 0, 0, 0, 0, true}, {30, 24, 24, 650, 650}});
    Open();
    Feed(model.Records);
    ASSERT_GE(Strokes.size(), 20u);
    ASSERT_FALSE(Idles.empty());
    EXPECT_EQ(Strokes[0].DriveRatio, 0);
    EXPECT_EQ(Strokes[0].Est500mTime, 0);
    int noRatio = 0;
    for (std::size_t i = 1; i < Strokes.size(); ++i) {
        const bool afterStop = Strokes[i].Time - Strokes[i - 1].Time > 15;
        noRatio += Strokes[i].DriveRatio == 0 ? 1 : 0;
        if (afterStop) {
            EXPECT_EQ(Strokes[i].DriveRatio, 0) << "stroke " << i + 1;
        } else {
            EXPECT_GT(Strokes[i].DriveRatio, 0.5) << i + 1;
            EXPECT_LT(Strokes[i].DriveRatio, 5) << i + 1;
            EXPECT_GT(Strokes[i].Est500mTime, 0) << i + 1;
        }
    }
    EXPECT_EQ(noRatio, 1);
}

// A reset while the rower rows: numbering and totals start afresh, and the session counts from
// the end of the stroke under way, which is not counted; the next one is measured whole. A
// rower who stops before the stroke under way ends starts the session from rest.
TEST_F(EngineTest, AResetWhileRowingCountsFromTheEndOfTheStrokeUnderWay) {
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopping" : "rowing on");
        TearDown();
        SetUp();
        Strokes.clear();
        Seconds = 0;
        const TDemoSynthResult model = Synth({{20, 24, 24, 650, 650}});
        const TDemoSynthResult after =
            Synth(stop ? std::vector<TDemoSegment>{{10, 0, 0, 0, 0, true}, {20, 24, 24, 650, 650}}
                       : std::vector<TDemoSegment>{{20, 24, 24, 650, 650}});
        Open();
        const std::size_t half = model.Records.size() / 2 + 37;  // within a stroke
        Feed(std::vector<TStgRawData>(model.Records.begin(), model.Records.begin() + std::ptrdiff_t(half)));
        ASSERT_GE(Strokes.size(), 3u);
        Strokes.clear();
        const double reset = Seconds;
        Kv->Reset();
        if (!stop)
            Feed(std::vector<TStgRawData>(model.Records.begin() + std::ptrdiff_t(half), model.Records.end()));
        Feed(after.Records);
        ASSERT_GE(Strokes.size(), 5u);
        const TStgStrokeData& first = Strokes[0];
        EXPECT_EQ(first.Number, 1);
        EXPECT_LE(first.Time, Seconds - reset);
        EXPECT_NEAR(first.EnergySum * 1000, first.Energy, 0.01);
        if (stop) {  // from rest
            EXPECT_EQ(first.Power, 0);
            EXPECT_EQ(first.DriveRatio, 0);
        } else {
            EXPECT_GT(first.Power, 100);
            EXPECT_NEAR(first.Time, (first.DriveRatio + 1) * first.DriveTime, 1e-3) << "measured whole";
            EXPECT_NEAR(first.AvgPower, first.Power, 1);
        }
        for (std::size_t i = 1; i < Strokes.size(); ++i)
            EXPECT_EQ(Strokes[i].Number, i + 1);
    }
}

TEST_F(EngineTest, AStopBeforeTheFirstStrokeKeepsTheTimeSinceTheOpen) {
    Open();
    Feed(Intervals({0.02, 0.02, 0.02, 0.02, 0.02}));
    Feed(std::vector<TStgRawData>(40, TStgRawData{kDemoNoPulse, 0}));
    ASSERT_TRUE(Strokes.empty());
    ASSERT_FALSE(Idles.empty());
    // The first idle record comes two seconds after the open: its time is no later than that.
    EXPECT_GT(Idles[0].Time, 1.5);
    EXPECT_LT(Idles[0].Time, 2.2);
}

// ---------------------------------------------------------------- closing from an event

TEST_F(EngineTest, CloseInsideTheStrokeEventEndsTheEvents) {
    const TDemoSynthResult model = Synth(DemoSteadyProfile(0.5, 24, 650, 0));
    int strokes = 0;
    Kv->OnStrokeData = [&](TInterface*, const TStgStrokeData&) {
        Events.push_back("stroke");
        if (++strokes == 3)
            Kv->Close();
    };
    Open();
    Feed(model.Records);
    EXPECT_EQ(Kv->State(), kvsClosed);
    EXPECT_EQ(strokes, 3);
    EXPECT_EQ(Events.back(), "stroke");
    // The engine is no longer busy, so a new open works normally.
    Events.clear();
    Open();
    Feed(model.Records);
    EXPECT_FALSE(Events.empty());
}

TEST_F(EngineTest, AnInterfaceFreedInsideAnEngineEventStopsTheEngine) {
    const TDemoSynthResult model = Synth(DemoSteadyProfile(0.5, 24, 650, 0));
    struct TCase {
        const char* Event;
        bool Later;  // freed by deleteLater and a nested event loop, else at once
    };
    for (const TCase c : {TCase{"stroke", false}, TCase{"force", false}, TCase{"drive", false},
                          TCase{"recover", false}, TCase{"stroke", true}, TCase{"drive", true}}) {
        SCOPED_TRACE(std::string(c.Event) + (c.Later ? " later" : ""));
        SetUp();
        int seen = 0;
        const auto free = [&, c](const char* event) {
            if (std::string(event) != c.Event || ++seen != 3)
                return;
            Kv->Close();
            if (c.Later) {
                Kv.release()->deleteLater();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            } else {
                Kv.reset();
            }
        };
        Kv->OnStrokeData = [free](TInterface*, const TStgStrokeData&) { free("stroke"); };
        Kv->OnForceData = [free](TInterface*, int, double, double, double) { free("force"); };
        Kv->OnStartingStroke = [free](TInterface*) { free("drive"); };
        Kv->OnStartingRecover = [free](TInterface*) { free("recover"); };
        Open();
        Feed(model.Records);
        EXPECT_FALSE(Kv);
        EXPECT_EQ(seen, 3);
    }
}
