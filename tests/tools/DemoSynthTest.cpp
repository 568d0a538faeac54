#include "resources/DemoData.h"
#include "tools/demosynth/DemoSynth.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kTick = 1.0 / kDemoTicksPerSecond;

const TDemoSynthResult& SteadyRun() {
    static const TDemoSynthResult result = [] {
        TDemoSynthOptions o;
        o.Segments = DemoSteadyProfile(2, 24, 650, 0);
        return SynthesizeDemo(o);
    }();
    return result;
}

const TDemoSynthResult& SessionRun() {
    static const TDemoSynthResult result = SynthesizeDemo({});
    return result;
}

struct TToolRun {
    int ExitCode = -1;
    QByteArray Dat, Csv, Errors;
};

TToolRun RunTool(const QStringList& args, const QString& dir, const QString& name = "a") {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    p.setProcessEnvironment(env);
    const QString dat = dir + "/" + name + ".dat", csv = dir + "/" + name + ".csv";
    p.start(KV_DEMOSYNTH_EXE, QStringList{"--out", dat, "--truth", csv} + args);
    TToolRun run;
    if (!p.waitForFinished(60000))
        return run;
    run.ExitCode = p.exitCode();
    run.Errors = p.readAllStandardError();
    QFile f(dat), g(csv);
    if (f.open(QIODevice::ReadOnly))
        run.Dat = f.readAll();
    if (g.open(QIODevice::ReadOnly))
        run.Csv = g.readAll();
    return run;
}

} // namespace

TEST(DemoSynthFile, HeaderAndRecordsAtExactOffsets) {
    const QByteArray bytes = DemoFileBytes({{0x1234, 7}, {kDemoNoPulse, 0}}, 0x01020304);
    const char expected[] = {'M', 'I', 'L', ' ', 0x04, 0x03, 0x02, 0x01,
                             0x34, 0x12, 0x07, char(0xFF), char(0xFF), 0x00};
    EXPECT_EQ(bytes, QByteArray(expected, sizeof expected));
    EXPECT_EQ(kDemoHeaderSize + 2 * kStgRawDataSize, bytes.size());
    EXPECT_EQ(QByteArray("MIL \0\0\0\0", 8), DemoFileBytes({}, 0));
}

TEST(DemoSynthFile, TruthCsvLayout) {
    const TDemoStrokeTruth s{.Number = 3, .StartTime = 5.5, .Rate = 24, .DriveTime = 0.9, .DriveLength = 1.6,
                             .HandleWork = 700.125, .FlywheelWork = 650, .PeakForce = 655.55, .OmegaMin = 110,
                             .OmegaMax = 140.5};
    EXPECT_EQ("stroke,start_s,rate_spm,drive_s,length_m,handle_work_j,flywheel_work_j,"
              "peak_force_n,omega_min,omega_max\n"
              "3,5.50000,24.000,0.90000,1.6000,700.12,650.00,655.5,110.00,140.50\n",
              DemoTruthCsv({s}));
}

TEST(DemoSynthModel, SteadyRowingIsRealistic) {
    const TDemoSynthResult& r = SteadyRun();
    // 2 minutes at 24 strokes per minute.
    EXPECT_NEAR(48, static_cast<int>(r.Strokes.size()), 1);
    EXPECT_NEAR(120, r.Duration, 3);
    double lastStart = -1;
    for (const TDemoStrokeTruth& s : r.Strokes) {
        SCOPED_TRACE(s.Number);
        EXPECT_GT(s.StartTime, lastStart);
        lastStart = s.StartTime;
        EXPECT_NEAR(24, s.Rate, 0.5);
        EXPECT_NEAR(650, s.PeakForce, 650 * 0.04 + 1);
        EXPECT_LE(s.DriveTime, 0.39 * 60 / s.Rate); // the clutch holds at most the force's time
        EXPECT_GT(s.HandleWork, s.FlywheelWork);    // the cord takes its part
        if (s.Number <= 8)
            continue; // the first strokes bring the wheel up to speed
        EXPECT_GT(s.DriveTime, 0.30 * 60 / s.Rate);
        EXPECT_GT(s.DriveLength, 1.3);
        EXPECT_LT(s.DriveLength, 1.9);
        EXPECT_GT(s.HandleWork, 450);
        EXPECT_LT(s.HandleWork, 900);
        EXPECT_GT(s.OmegaMin, 80);
        EXPECT_LT(s.OmegaMax, 170);
        EXPECT_GT(s.OmegaMax - s.OmegaMin, 15); // drive and recovery show in the wheel
    }
    // The first stroke starts the wheel from a stand.
    EXPECT_EQ(0.0, r.Strokes.front().OmegaMin);
    EXPECT_LT(r.Strokes.front().DriveLength, r.Strokes.back().DriveLength / 2);
}

TEST(DemoSynthModel, PulseIntervalsAndTimeLine) {
    const TDemoSynthResult& r = SteadyRun();
    double t = 0;
    long long total = 0;
    for (const TStgRawData& rec : r.Records) {
        EXPECT_LT(rec.HeartRate, 50);
        if (t > 20) { // steady state: every pulse in 10..60 ms
            EXPECT_GE(rec.Interval * kTick, 0.010) << t;
            EXPECT_LE(rec.Interval * kTick, 0.060) << t;
        }
        total += rec.Interval;
        t = total * kTick;
    }
    // Records keep the model's time line (to the last pulse).
    EXPECT_NEAR(r.Duration, t, 0.06);
    EXPECT_GT(r.Records.size(), 100u * 48);
}

// The pulses alone must account for the rower's work on the wheel: between two catches at
// steady speed, the chain's work equals what drag and bearing take, computed from the wheel
// speed each pulse interval gives.
TEST(DemoSynthModel, PulsesCarryTheFlywheelWork) {
    const TDemoSynthResult& r = SteadyRun();
    ASSERT_GE(r.Strokes.size(), 45u);
    const double from = r.Strokes[10].StartTime, to = r.Strokes[44].StartTime;
    double work = 0;
    for (std::size_t i = 10; i < 44; ++i)
        work += r.Strokes[i].FlywheelWork;
    double t = 0, lost = 0;
    const double quarter = std::numbers::pi / 2;
    for (const TStgRawData& rec : r.Records) {
        const double dt = rec.Interval * kTick;
        if (t >= from && t + dt <= to) {
            const double omega = quarter / dt;
            lost += (kDemoDragFactor * omega * omega + kDemoBearingTorque) * quarter;
        }
        t += dt;
    }
    EXPECT_NEAR(1.0, lost / work, 0.02) << lost << " " << work;
}

TEST(DemoSynthModel, StopRunsDownThenNoPulseRecords) {
    TDemoSynthOptions o;
    o.Segments = DemoSteadyProfile(1, 24, 650, 10);
    const TDemoSynthResult r = SynthesizeDemo(o);
    ASSERT_FALSE(r.Records.empty());
    // The standing wheel's last 10 s are no-pulse records only.
    std::size_t trailing = 0;
    while (trailing < r.Records.size() &&
           r.Records[r.Records.size() - 1 - trailing].Interval == kDemoNoPulse)
        ++trailing;
    EXPECT_GE(trailing, static_cast<std::size_t>(10.0 * kDemoTicksPerSecond / kDemoNoPulse));
    // Before that the wheel runs down: intervals grow past the engine's limit of 32767 ticks
    // (and past what one record holds) before the wheel stands.
    const std::size_t lastPulse = r.Records.size() - 1 - trailing;
    int slow = 0;
    double at = 0;
    for (std::size_t i = 0; i < lastPulse; ++i) {
        at += r.Records[i].Interval * kTick;
        slow += at > 55 && r.Records[i].Interval > 32767 && r.Records[i].Interval < kDemoNoPulse;
    }
    EXPECT_GT(slow, 20);
    // The steady part had no no-pulse record after its first second.
    double t = 0;
    int early = 0;
    for (std::size_t i = 0; i < lastPulse && t < 50; ++i) {
        if (t > 1 && r.Records[i].Interval == kDemoNoPulse)
            ++early;
        t += r.Records[i].Interval * kTick;
    }
    EXPECT_EQ(0, early);
    EXPECT_EQ(r.Strokes.size(), SynthesizeDemo({DemoSteadyProfile(1, 24, 650, 0)}).Strokes.size());
}

TEST(DemoSynthSession, ProfileAsAPersonWouldRowIt) {
    const TDemoSynthResult& r = SessionRun();
    EXPECT_GT(r.Duration, 28 * 60);
    EXPECT_LT(r.Duration, 33 * 60);
    int warm = 0, steady = 0, pieces = 0;
    double longestGap = 0, gapAt = 0;
    for (std::size_t i = 0; i < r.Strokes.size(); ++i) {
        const TDemoStrokeTruth& s = r.Strokes[i];
        EXPECT_GE(s.Rate, 17.5);
        EXPECT_LE(s.Rate, 32.6);
        EXPECT_GE(s.PeakForce, 500 * 0.96);
        EXPECT_LE(s.PeakForce, 900);
        warm += s.StartTime < 300 && s.Rate < 20.5;
        steady += s.StartTime > 300 && s.StartTime < 1140 && s.Rate > 21.5 && s.Rate < 26.5;
        pieces += s.Rate > 29.5;
        if (i > 0) {
            const double gap = s.StartTime - r.Strokes[i - 1].StartTime;
            if (gap > longestGap) {
                longestGap = gap;
                gapAt = s.StartTime;
            }
        }
    }
    EXPECT_GT(warm, 90);
    EXPECT_GT(steady, 300);
    EXPECT_GT(pieces, 80);
    // One stop: the wheel runs down, stands about 10 s, and a cool-down follows.
    EXPECT_GT(longestGap, 30);
    EXPECT_LT(longestGap, 120);
    EXPECT_GT(r.Duration - gapAt, 170);
}

TEST(DemoSynthSession, BuiltInResourceIsTheModelsSession) {
    InitDemoDataResource();
    InitDemoDataResource(); // twice is harmless
    QFile res(kDemoDataResource);
    ASSERT_TRUE(res.open(QIODevice::ReadOnly));
    const QByteArray bytes = res.readAll();
    QFile built(KV_DEMODATA_FILE);
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    EXPECT_EQ(built.readAll(), bytes);
    // The build's run and this one give the same bytes, but for the version.
    ASSERT_GE(bytes.size(), kDemoHeaderSize);
    EXPECT_EQ(bytes.left(4) + bytes.mid(kDemoHeaderSize), DemoFileBytes(SessionRun().Records, 0).remove(4, 4));
    int noPulse = 0;
    for (const TStgRawData& rec : SessionRun().Records) {
        EXPECT_LT(rec.HeartRate, 50);
        noPulse += rec.Interval == kDemoNoPulse;
    }
    EXPECT_GT(noPulse, 90);
}

TEST(DemoSynthTool, ShortProfileIsByteIdenticalAndMatchesTheModel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList args{"--profile", "steady", "--minutes", "2", "--rate", "24",
                           "--version", "2.3.4.5"};
    const TToolRun a = RunTool(args, dir.path(), "a"), b = RunTool(args, dir.path(), "b");
    ASSERT_EQ(0, a.ExitCode) << a.Errors.toStdString();
    ASSERT_EQ(0, b.ExitCode);
    EXPECT_EQ(a.Dat, b.Dat);
    EXPECT_EQ(a.Csv, b.Csv);
    EXPECT_EQ(QByteArray("MIL \x05\x04\x03\x02", 8), a.Dat.left(8));
    EXPECT_EQ(DemoFileBytes(SteadyRun().Records, 0x02030405), a.Dat);
    EXPECT_EQ(QByteArray::fromStdString(DemoTruthCsv(SteadyRun().Strokes)), a.Csv);
    EXPECT_EQ(static_cast<qsizetype>(SteadyRun().Strokes.size()) + 1, a.Csv.count('\n'));

    const TToolRun c = RunTool(args + QStringList{"--seed", "0x1234"}, dir.path(), "c");
    ASSERT_EQ(0, c.ExitCode);
    EXPECT_NE(a.Dat, c.Dat);

    // Missed pulses: the same rowing, each missed pulse's interval joined to the next one.
    const TToolRun d =
        RunTool(args + QStringList{"--drop-every", "2", "--drop-at", "0.4"}, dir.path(), "d");
    ASSERT_EQ(0, d.ExitCode) << d.Errors.toStdString();
    TDemoSynthOptions o;
    o.Segments = DemoSteadyProfile(2, 24, 650, 0);
    o.DropEvery = 2;
    o.DropAt = 0.4;
    const std::vector<TStgRawData> dropped = SynthesizeDemo(o).Records;
    EXPECT_EQ(DemoFileBytes(dropped, 0x02030405), d.Dat);
    EXPECT_EQ(a.Csv, d.Csv);
    // Every record is the clean one or two clean ones joined.
    const std::vector<TStgRawData>& clean = SteadyRun().Records;
    std::size_t k = 0, joined = 0;
    for (const TStgRawData& r : dropped) {
        ASSERT_LT(k, clean.size());
        if (r.Interval != clean[k].Interval) {
            ASSERT_LT(k + 1, clean.size());
            ASSERT_EQ(r.Interval, clean[k].Interval + clean[k + 1].Interval) << k;
            ++k;
            ++joined;
        }
        ++k;
    }
    EXPECT_EQ(k, clean.size());
    EXPECT_NEAR(double(joined), SteadyRun().Strokes.size() / 2.0, 1.0);
}

TEST(DemoSynthTool, SessionCutShort) {
    QTemporaryDir dir;
    const TToolRun a = RunTool({"--minutes", "1"}, dir.path());
    ASSERT_EQ(0, a.ExitCode) << a.Errors.toStdString();
    TDemoSynthOptions o;
    o.MaxSeconds = 60;
    const TDemoSynthResult r = SynthesizeDemo(o);
    EXPECT_EQ(DemoFileBytes(r.Records, VersionStrToInt(KV_PROJECT_VERSION)), a.Dat);
    EXPECT_NEAR(60, r.Duration, 4);
    // Warm-up pace.
    EXPECT_NEAR(18, static_cast<double>(r.Strokes.size()), 1.5);
}

TEST(DemoSynthTool, BadArgumentsWriteNothing) {
    QTemporaryDir dir;
    for (const QStringList& args :
         {QStringList{"--rate", "abc"}, QStringList{"--rate", "5"}, QStringList{"--minutes", "0"},
          QStringList{"--profile", "sprint"}, QStringList{"--version", "1.2"},
          QStringList{"--seed", "-3"}, QStringList{"--bogus", "1"}, QStringList{"--minutes"},
          QStringList{"--drop-every", "0"}, QStringList{"--drop-every", "1.5"},
          QStringList{"--drop-at", "1.2"}}) {
        const TToolRun r = RunTool(args, dir.path());
        EXPECT_EQ(2, r.ExitCode) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Dat.isEmpty());
        EXPECT_FALSE(r.Errors.isEmpty());
    }
    // An output the tool cannot write is a failure.
    EXPECT_EQ(1, RunTool({"--minutes", "0.1"}, dir.path() + "/missing").ExitCode);
}
