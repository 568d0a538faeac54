#include "tools/demosynth/DemoSynth.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kQuarterTurn = 2 * kPi / kDemoMagnets; // rad between two magnets
// Sprocket radius: one revolution moves Cog x Link of chain.
constexpr double kSprocketRadius = kDemoCog * kDemoLink / (2 * kPi);
// A wheel that has not stopped after this long of free running is a fault of the model.
constexpr double kMaxRunDown = 600;

// splitmix64: tiny, fast and the same on every platform.
class TDemoRandom {
public:
    explicit TDemoRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform in [-1, 1).
    double Symmetric() { return 2 * Uniform() - 1; }

private:
    std::uint64_t FState;
};

double Lerp(double a, double b, double f) { return a + (b - a) * f; }

// Drive share of the stroke cycle: short drives at low rates, longer ones at race pace.
double DriveShare(double rate) {
    return 0.35 + 0.07 * std::clamp((rate - 18.0) / 14.0, 0.0, 1.0);
}

struct TStroke {
    double Start = 0;
    double Cycle = 0;
    double InvForceTime = 0; // 1 / duration of the half-sine
    double Peak = 0;
};

class TDemoModel {
public:
    explicit TDemoModel(std::uint64_t seed) : FRandom(seed) {}

    double Now() const { return static_cast<double>(FSteps) * kDemoStep; }

    // Rows one stroke cycle from its start to the start of the next one.
    void Row(const TStroke& stroke) {
        FHandle = 0; // the recovery brought the handle back to the catch
        FTruth = TDemoStrokeTruth{};
        FTruth.Number = static_cast<int>(FResult.Strokes.size()) + 1;
        FTruth.StartTime = stroke.Start;
        FTruth.Rate = 60.0 / stroke.Cycle;
        FTruth.OmegaMin = FTruth.OmegaMax = FOmega;
        RunUntil(stroke.Start + stroke.Cycle, &stroke);
        FResult.Strokes.push_back(FTruth);
    }

    // No force until the wheel stands (or the limit comes).
    void RunDown(double limit) {
        RunUntil(std::min(limit, Now() + kMaxRunDown), nullptr, true);
    }

    // The integration loop: semi-implicit Euler on locals (the loop is bound by the latency
    // of the speed update, so nothing of it goes through memory).
    void RunUntil(double end, const TStroke* stroke, bool untilStanding = false) {
        long long steps = FSteps;
        double omega = FOmega, angle = FAngle, handle = FHandle;
        TDemoStrokeTruth truth = FTruth;
        const double start = stroke ? stroke->Start : 0;
        const double inv = stroke ? stroke->InvForceTime : 0;
        const double peak = stroke ? stroke->Peak : 0;
        constexpr double dragPerStep = kDemoDragFactor * kDemoStep / kDemoInertia;
        constexpr double frictionPerStep = kDemoBearingTorque * kDemoStep / kDemoInertia;
        constexpr double chainPerStep = kSprocketRadius * kDemoStep / kDemoInertia;
        for (;;) {
            const double t = static_cast<double>(steps) * kDemoStep;
            if (t >= end || (untilStanding && omega <= 0))
                break;
            double force = 0;
            const double phase = (t - start) * inv;
            if (phase > 0 && phase < 1)
                force = peak * DemoHalfSine(phase);
            const double cord = kDemoCordTension + kDemoCordStiffness * handle;
            // The clutch takes the chain only while the rower pulls harder than the cord.
            const bool engaged = force > cord;
            const double push = (engaged ? (force - cord) * chainPerStep : 0) -
                                (omega > 0 ? frictionPerStep : 0);
            double next = (omega + push) - (dragPerStep * omega) * omega;
            if (next < 0)
                next = 0;
            omega = next;
            const double turn = omega * kDemoStep;
            if (engaged) {
                const double travel = turn * kSprocketRadius;
                handle += travel;
                truth.DriveLength += travel;
                truth.DriveTime += kDemoStep;
                truth.HandleWork += force * travel;
                truth.FlywheelWork += (force - cord) * travel;
                if (force > truth.PeakForce)
                    truth.PeakForce = force;
            }
            if (omega < truth.OmegaMin)
                truth.OmegaMin = omega;
            if (omega > truth.OmegaMax)
                truth.OmegaMax = omega;
            const double before = angle;
            angle += turn;
            if (angle >= kQuarterTurn) {
                // The magnet passed inside this step: place it by linear interpolation.
                Pulse(t + kDemoStep * (kQuarterTurn - before) / turn);
                angle -= kQuarterTurn;
            }
            ++steps;
        }
        FSteps = steps;
        FOmega = omega;
        FAngle = angle;
        FHandle = handle;
        FTruth = truth;
    }

    TDemoSynthResult Finish() {
        // The counter runs out while the wheel stands at the end, too.
        const long long endTick = std::llrint(Now() * kDemoTicksPerSecond);
        while (endTick - FLastTick >= kDemoNoPulse) {
            FResult.Records.push_back({kDemoNoPulse, kDemoHeartRate});
            FLastTick += kDemoNoPulse;
        }
        FResult.Duration = Now();
        FResult.Steps = FSteps;
        return std::move(FResult);
    }

    TDemoRandom& Random() { return FRandom; }

private:
    void Pulse(double time) {
        const double seen = time + kDemoJitter * FRandom.Symmetric();
        const long long tick =
            std::max(FLastTick + 1, std::llrint(seen * kDemoTicksPerSecond));
        // The sensor's counter restarts after each record, also after one that ran out.
        while (tick - FLastTick > kDemoNoPulse) {
            FResult.Records.push_back({kDemoNoPulse, kDemoHeartRate});
            FLastTick += kDemoNoPulse;
        }
        FResult.Records.push_back({static_cast<Word>(tick - FLastTick), kDemoHeartRate});
        FLastTick = tick;
    }

    TDemoRandom FRandom;
    long long FSteps = 0;
    double FOmega = 0;  // rad/s
    double FAngle = 0;  // rad since the last magnet
    double FHandle = 0; // m from the catch
    long long FLastTick = 0;
    TDemoStrokeTruth FTruth;
    TDemoSynthResult FResult;
};

// The sensor misses a pulse: its record goes, and the next one spans both intervals (unless
// the counter would run out on the way).
void DropPulses(TDemoSynthResult& result, int every, double at) {
    std::vector<TStgRawData>& records = result.Records;
    long long tick = 0;
    std::size_t r = 0;
    for (const TDemoStrokeTruth& stroke : result.Strokes) {
        if (stroke.Number % every != 0)
            continue;
        const double driveEnd = stroke.StartTime + stroke.DriveTime;
        const double missed = driveEnd + at * (stroke.StartTime + 60 / stroke.Rate - driveEnd);
        const long long missedTick = std::llrint(missed * kDemoTicksPerSecond);
        while (r + 1 < records.size() && tick + records[r].Interval < missedTick)
            tick += records[r++].Interval;
        if (r + 1 >= records.size())
            break;
        const long long joined = static_cast<long long>(records[r].Interval) + records[r + 1].Interval;
        if (records[r].Interval == kDemoNoPulse || records[r + 1].Interval == kDemoNoPulse ||
            joined >= kDemoNoPulse)
            continue;
        records[r + 1].Interval = static_cast<Word>(joined);
        records.erase(records.begin() + static_cast<std::ptrdiff_t>(r));
    }
}

} // namespace

double DemoHalfSine(double x) {
    x = std::clamp(x, 0.0, 1.0);
    if (x > 0.5)
        x = 1 - x;
    const double y = kPi * x; // 0 .. pi/2: the Taylor series to y^15 is good to 1e-11
    const double y2 = y * y;
    double s = 1.0 / 1307674368000.0;
    s = 1.0 / 6227020800.0 - y2 * s;
    s = 1.0 / 39916800.0 - y2 * s;
    s = 1.0 / 362880.0 - y2 * s;
    s = 1.0 / 5040.0 - y2 * s;
    s = 1.0 / 120.0 - y2 * s;
    s = 1.0 / 6.0 - y2 * s;
    s = 1.0 - y2 * s;
    return y * s;
}

std::vector<TDemoSegment> DemoSessionProfile() {
    std::vector<TDemoSegment> p;
    p.push_back({300, 18, 20, 500, 560}); // warm-up
    p.push_back({300, 22, 22, 600, 610}); // steady work
    p.push_back({300, 24, 24, 630, 640});
    p.push_back({240, 26, 26, 660, 670});
    for (int i = 0; i < 3; ++i) {
        p.push_back({60, 30, 32, 800, 840}); // a piece
        p.push_back({90, 20, 20, 540, 520}); // paddling between the pieces
    }
    p.push_back({10, 0, 0, 0, 0, true});   // stop: the wheel runs down and stands
    p.push_back({180, 20, 18, 540, 500}); // cool-down
    return p;
}

std::vector<TDemoSegment> DemoSteadyProfile(double minutes, double rate, double peak,
                                            double standSeconds) {
    std::vector<TDemoSegment> p{{minutes * 60, rate, rate, peak, peak}};
    if (standSeconds > 0)
        p.push_back({standSeconds, 0, 0, 0, 0, true});
    return p;
}

TDemoSynthResult SynthesizeDemo(const TDemoSynthOptions& options) {
    const std::vector<TDemoSegment> segments =
        options.Segments.empty() ? DemoSessionProfile() : options.Segments;
    const double limit =
        options.MaxSeconds > 0 ? options.MaxSeconds : std::numeric_limits<double>::infinity();
    TDemoModel model(options.Seed);
    for (const TDemoSegment& seg : segments) {
        const double begin = model.Now();
        if (begin >= limit)
            break;
        if (seg.Stop) {
            model.RunDown(limit);
            model.RunUntil(std::min(limit, model.Now() + seg.Seconds), nullptr);
            continue;
        }
        if (seg.Seconds <= 0 || seg.RateFrom <= 0 || seg.RateTo <= 0)
            continue;
        // Strokes follow each other without a gap; the part ends with the last stroke
        // that begins inside it.
        for (double start = begin; start < begin + seg.Seconds && start < limit;
             start = model.Now()) {
            const double f = (start - begin) / seg.Seconds;
            const double rate = Lerp(seg.RateFrom, seg.RateTo, f);
            TStroke stroke;
            stroke.Start = start;
            stroke.Cycle = 60.0 / rate * (1 + 0.015 * model.Random().Symmetric());
            stroke.Peak = Lerp(seg.PeakFrom, seg.PeakTo, f) * (1 + 0.04 * model.Random().Symmetric());
            stroke.InvForceTime = 1 / (DriveShare(rate) * stroke.Cycle);
            model.Row(stroke);
        }
    }
    TDemoSynthResult result = model.Finish();
    if (options.DropEvery > 0)
        DropPulses(result, options.DropEvery, std::clamp(options.DropAt, 0.0, 1.0));
    return result;
}

QByteArray DemoFileBytes(const std::vector<TStgRawData>& records, std::uint32_t version) {
    QByteArray bytes;
    bytes.reserve(kDemoHeaderSize + static_cast<qsizetype>(records.size()) * kStgRawDataSize);
    bytes.append(TrainingMagic.data(), static_cast<qsizetype>(TrainingMagic.size()));
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((version >> (8 * i)) & 0xFF));
    for (const TStgRawData& r : records) {
        bytes.append(static_cast<char>(r.Interval & 0xFF));
        bytes.append(static_cast<char>(r.Interval >> 8));
        bytes.append(static_cast<char>(r.HeartRate));
    }
    return bytes;
}

namespace {

void AppendNumber(std::string& out, double value, int decimals) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    out.append(buf, res.ptr);
}

} // namespace

std::string DemoTruthCsv(const std::vector<TDemoStrokeTruth>& strokes) {
    std::string out = "stroke,start_s,rate_spm,drive_s,length_m,handle_work_j,flywheel_work_j,"
                      "peak_force_n,omega_min,omega_max\n";
    for (const TDemoStrokeTruth& s : strokes) {
        out += std::to_string(s.Number);
        const double values[] = {s.StartTime,   s.Rate,         s.DriveTime, s.DriveLength,
                                 s.HandleWork,  s.FlywheelWork, s.PeakForce, s.OmegaMin,
                                 s.OmegaMax};
        const int decimals[] = {5, 3, 5, 4, 2, 2, 1, 2, 2};
        for (int i = 0; i < 9; ++i) {
            out += ',';
            AppendNumber(out, values[i], decimals[i]);
        }
        out += '\n';
    }
    return out;
}
