// The stroke engine: every valid flywheel pulse becomes a sample; the drive is found from the
// flywheel speeding up, its end from the handle force, and each drive ends in one stroke record.
// The drag factor is learned from the flywheel slowing down during each recovery.
#include "devices/FlywheelInterface.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kSampleTableStep = 10000;
constexpr std::int64_t kIdleRecordMs = 2000;

// The guarded division of the whole system works in single precision; the engine's results
// depend on that, so it is used as it is.
double Div(double dividend, double divisor) {
    return SafeDivide(float(dividend), float(divisor));
}

double Square(double x) {
    return x * x;
}

}  // namespace

double BoatSpeed(TKeloBoatType boat, double cubeRootMass, double power) {
    // The boat factors give the classes' speeds relative to each other; this scale puts the
    // single scull with the default crew weight on the ergometer convention P = 2.8 v^3.
    static const double scale = std::cbrt(kDefaultCrewWeight + kBoatMassAllowance) /
                                (BoatFactors[kvb1x] * std::cbrt(kErgometerPowerPerSpeedCube));
    const double factor = BoatFactors[boat < BoatFactors.size() ? boat : kvb1x];
    return Div(factor * scale, cubeRootMass) * std::cbrt(power);
}

void TKVInterface::UpdateModelConstants() {
    const double pi = std::numbers::pi;
    FModel.Mass = FWeight + kBoatMassAllowance;
    FModel.CubeRootMass = std::pow(FModel.Mass, 1.0 / 3.0);
    FModel.PulsesPerRadian = FMagnets / (2 * pi);
    FModel.InertiaPerRadian = FModel.PulsesPerRadian * FInertia;
    FModel.HandlePerPulse = FMagnets != 0 ? FCog * FLink / FMagnets : 0.0;
    FModel.EnergyPerSpeedSquare = FMagnets != 0 ? 2 * FInertia * Square(pi / FMagnets) : 0.0;
    FModel.HalfElastConst = FElastConst / 2;
    FPulsesPerRadianCube = FModel.PulsesPerRadian * FModel.PulsesPerRadian * FModel.PulsesPerRadian;
}

void TKVInterface::ResetSession() {
    FTotalEnergy = 0;
    FTotalDistance = 0;
    FLastStrokeTime = 0;
    FTimeOrigin = 0;
    FFromRest = true;
    FRecoveryWhole = false;  // the first stroke has no recovery before it
    FSkipStroke = false;
    FPhase = 0;
    FSampleCount = 0;
    FPulseCount = 0;
    FDriveStart = 0;
    FRecoveryStart = 0;
    FStrokeCount = 0;
    FPauseTick = 0;
    FPendingTime = 0;
    FDragFactor = 0.0001;
    FLastRecordTick = Clock().NowMs();
    // The table keeps its memory across sessions; a pulse never allocates.
    if (FSampleTable.capacity() < std::size_t(kSampleTableStep))
        FSampleTable.reserve(kSampleTableStep);
    FSampleTable.assign(1, TKVEngineSample{});
    FSampleTable[0].SpeedSquare = 1.0 / 10000;
    FStrokeData = TStgStrokeData{};
    FHeartRateCounter = 1;
    FHeartRateFilled = 0;
    // The steady run starts afresh with the session: a run left over from the last open would
    // keep the first steady pulses from starting a drive (the engine may start only once the
    // pulse history is full again, and with one magnet the next pulse alone fills it).
    FActive = 0;
    FResumedDriveSample = -1;
    FEngineMagnets = Magnets();
    FIntervalWindow.assign(std::size_t(FEngineMagnets), 0.0);
}

// ---------------------------------------------------------------- per pulse

void TKVInterface::AnalysePulse(bool Split) {
    if (FState <= kvsClosed || !FDoCalculate)
        return;
    // A handler of any engine event may close or destroy the interface.
    const QPointer<TKVInterface> self(this);
    ++FPulseCount;
    FHeartCorrected = !FRawHeartRate && FActive ? CorrectedHeartRate() : double(FHeartRaw);
    FSplitSeen = FSplitSeen || Split;

    if (!AllPulsesValid()) {
        if (FActive && FSampleCount > 0) {
            if (FSkipStroke) {
                // Reset, and the rower stops before the stroke under way ended: the session
                // starts from rest (the pulse statistics, still valid, are kept).
                ResetSession();
                return;
            }
            FPauseTick = Clock().NowMs();
            FRecoveryWhole = false;  // the next stroke's recovery holds the stop
        }
        FActive = 0;
        FPhase = 0;
        FHeartRateFilled = 0;  // the next steady run seeds the history afresh
        if (FSampleCount > 0 && Clock().NowMs() > FLastRecordTick + kIdleRecordMs) {
            const int sc = FSampleCount;
            SendIdleRecord();
            if (EngineInterrupted(self, sc))
                return;
            FLastRecordTick = Clock().NowMs();
        }
        return;
    }

    const int M = FEngineMagnets;
    FPendingTime += FInterval;
    const int sc = ++FSampleCount;
    if (!FActive) {
        FActive = 1;
        FPhase = 1;
        FDriveStart = sc;
        if (sc > 1) {
            // The time line includes the pause. The sample before the drive keeps its speed
            // square (none for a recovery sample): the stroke's flywheel energy counts from it,
            // so a wheel that ran down in the pause is counted in full.
            TKVEngineSample& before = FSampleTable[std::size_t(sc - 1)];
            before.Time = FLastStrokeTime + FPendingTime + double(Clock().NowMs() - FPauseTick) / 1000;
            FResumedDriveSample = sc;
        }
        if (OnStartingStroke) {
            OnStartingStroke(this);
            if (EngineInterrupted(self, sc))
                return;
        }
    }
    if (std::size_t(sc) >= FSampleTable.size())
        FSampleTable.resize(FSampleTable.size() - 1 + kSampleTableStep);

    {
        const TKVEngineSample& p = FSampleTable[std::size_t(sc - 1)];
        if (FInterval < 0.004)
            FInterval = 1.001 * p.Interval;
        if (std::fabs(FInterval - p.Interval) > 0.1)
            FInterval = p.Interval;
        TKVEngineSample& c = FSampleTable[std::size_t(sc)];
        c.Interval = FInterval;
        c.MeanInterval = MeanInterval(c.Interval);
        c.Time = p.Time + c.Interval;
        c.Acceleration = 1 - Div(p.MeanInterval, c.MeanInterval);
        c.HeartRate = FHeartCorrected;
    }

    // A session that starts with the flywheel slowing down starts in the recovery.
    if (sc == 2 * M && FPhase == 1) {
        bool speedingUp = false;
        for (int i = sc - M + 1; i <= sc && !speedingUp; ++i)
            speedingUp = FSampleTable[std::size_t(i)].MeanInterval <
                         FSampleTable[std::size_t(i - 1)].MeanInterval;
        if (!speedingUp) {
            FRecoveryStart = sc;
            FPhase = 2;
            FSplitSeen = 0;
        }
    }

    bool driveEnd = false;
    if (FPhase == 1) {
        ComputeDriveSample(sc);
        driveEnd = CheckDriveEnd(sc);
        if (OnForceData && !SendForceData(sc, driveEnd))
            return;
    }

    if (FPhase == 1 && (driveEnd || FSampleTable[std::size_t(sc)].Force <= FStrokeTrigger)) {
        // A drive that ends before it has lasted one pulse was none (a steady run that resumed
        // while the wheel slows): the recovery goes on without a stroke.
        if (sc - 1 > FDriveStart) {
            SendStrokeRecord();
            if (EngineInterrupted(self, sc))
                return;
            FLastRecordTick = Clock().NowMs();
            FPendingTime = 0;
        }
        FRecoveryStart = sc;
        FPhase = 2;
        FSplitSeen = 0;
        if (OnStartingRecover) {
            OnStartingRecover(this);
            if (EngineInterrupted(self, sc))
                return;
        }
    }

    if (FPhase == 2 && sc >= M) {
        const TKVEngineSample& b = FSampleTable[std::size_t(sc - 1)];
        TKVEngineSample& c = FSampleTable[std::size_t(sc)];
        if (b.Acceleration >= 0 || c.Acceleration >= 0)
            c.DragEstimate = FModel.InertiaPerRadian * c.Acceleration;
        else if (sc >= FRecoveryStart + 4 * M)
            StartDriveFromRecovery();
    }
}

// ---------------------------------------------------------------- pieces

double TKVInterface::CorrectedHeartRate() {
    // Without a belt there is no pulse to show; the history starts afresh with the belt's
    // first value, so no invented value fades out over the first strokes.
    if (FHeartRaw == 0) {
        FHeartRateFilled = 0;
        FHeartRateCounter = 1;
        return 0;
    }
    const double t = FHeartRateCounter * 0.001;
    const double lo = (1 - t) * FHeartCorrected;
    const double hi = (1 + t) * FHeartCorrected;
    double filtered;
    if (lo < FHeartRaw && FHeartRaw <= hi) {
        FHeartRateCounter = 1;
        filtered = FHeartRaw;
    } else {
        ++FHeartRateCounter;
        filtered = FHeartRaw > FHeartCorrected ? hi : lo;
    }
    // The first corrected pulse of a steady run seeds the history; the mean is taken over the
    // entries filled since, so the first strokes do not average with empty entries.
    // The history is a ring: entry i (0 the newest) is at FHeartRateHead + i.
    if (FHeartRateFilled == 0) {
        FHeartRateHead = 0;
        FHeartRateHistory[0] = double(FHeartRaw);
        FHeartRateFilled = 1;
        FHeartRateCounter = 1;
        return FHeartRateHistory[0];
    }
    const int k = std::min(kHeartRateHistory, FHeartRateFilled + 1);
    FHeartRateFilled = k;
    FHeartRateHead = FHeartRateHead == 0 ? kHeartRateHistory - 1 : FHeartRateHead - 1;
    FHeartRateHistory[std::size_t(FHeartRateHead)] = filtered;
    // Summed newest first, as entries 0..k-1.
    double sum = 0;
    const int tail = std::min(k, kHeartRateHistory - FHeartRateHead);
    for (int i = 0; i < tail; ++i)
        sum += FHeartRateHistory[std::size_t(FHeartRateHead + i)];
    for (int i = 0; i < k - tail; ++i)
        sum += FHeartRateHistory[std::size_t(i)];
    return sum > 0 ? sum / k : filtered;
}

double TKVInterface::MeanInterval(double interval) {
    const std::size_t m = FIntervalWindow.size();
    std::copy_backward(FIntervalWindow.begin(), FIntervalWindow.end() - 1, FIntervalWindow.end());
    FIntervalWindow[0] = interval;
    const std::size_t k = std::min(m, std::size_t(FSampleCount));
    double sum = 0;
    for (std::size_t i = 0; i < k; ++i)
        sum += FIntervalWindow[i];
    if (interval > kKvInvalidInterval)
        InterfaceBeep();
    return sum > 0 ? sum / double(k) : FIntervalWindow[0];
}

void TKVInterface::ComputeDriveSample(int i) {
    const TKVEngineSample& p = FSampleTable[std::size_t(i - 1)];
    TKVEngineSample& c = FSampleTable[std::size_t(i)];
    c.PulseNumber = p.PulseNumber + 1;
    c.DragEstimate = 0;
    c.SpeedSquare = Div(1, Square(c.MeanInterval));
    // The first drive sample after a pause follows a sample from before the pause: its force
    // is taken against that sample's own speed, not the energy the whole pause took away.
    const double before =
        i == FResumedDriveSample ? Div(1, Square(p.MeanInterval)) : p.SpeedSquare;
    c.KineticDelta = (c.SpeedSquare - before) * FModel.EnergyPerSpeedSquare;
    c.DragWork = Div(FDragFactor, Div(FPulsesPerRadianCube, c.SpeedSquare));
    c.Force = Div(c.KineticDelta + c.DragWork, FModel.HandlePerPulse);
}

bool TKVInterface::CheckDriveEnd(int m) const {
    const int M = FEngineMagnets;
    if (m <= FDriveStart + 2 * M)
        return false;
    const int first = m - M + 1;
    if (FSampleTable[std::size_t(first)].Interval >= FSampleTable[std::size_t(m)].Interval)
        return false;  // the flywheel is not slowing
    bool allLow = true;
    for (int i = first; i <= m && allLow; ++i)
        allLow = FSampleTable[std::size_t(i)].Force <= FThresHold;
    if (allLow)
        return true;
    const double twiceThreshold = 2.0 * FThresHold;  // beyond int for extreme settings
    for (int i = first; i <= m; ++i) {
        const double f = FSampleTable[std::size_t(i)].Force;
        if (f < twiceThreshold && f > FSampleTable[std::size_t(i - 1)].Force)
            return true;
    }
    return false;
}

bool TKVInterface::SendForceData(int i, bool driveEnd) {
    const QPointer<TKVInterface> self(this);
    const int sc = FSampleCount;
    const TKVEngineSample& p = FSampleTable[std::size_t(i - 1)];
    const TKVEngineSample& c = FSampleTable[std::size_t(i)];
    double force = 0;
    if (!driveEnd)
        force = FSplitSeen ? (p.Force + c.Force) / 2 : c.Force;
    const int n = i - FDriveStart + 1;
    OnForceData(this, n, n * FModel.HandlePerPulse * 100, 0.6 * force,
                std::fabs(c.MeanInterval - FSampleTable[std::size_t(FDriveStart)].MeanInterval));
    return !EngineInterrupted(self, sc);
}

void TKVInterface::SendStrokeRecord() {
    const int sc = FSampleCount;
    const TKVEngineSample& c = FSampleTable[std::size_t(sc)];
    const TKVEngineSample& b = FSampleTable[std::size_t(sc - 1)];
    const TKVEngineSample& start = FSampleTable[std::size_t(FDriveStart)];
    if (FSkipStroke) {
        // The stroke under way at a reset belongs to the time before it: the session counts
        // from its end, so that its first stroke is measured whole.
        FSkipStroke = false;
        FFromRest = false;
        FRecoveryWhole = true;
        FLastStrokeTime = b.Time;
        FTimeOrigin = b.Time;
        return;
    }
    ++FStrokeCount;
    const bool first = FFromRest;
    const bool whole = FRecoveryWhole;
    FFromRest = false;
    FRecoveryWhole = true;

    const double q0 = first ? FSampleTable[1].SpeedSquare
                            : FSampleTable[std::size_t(FDriveStart - 1)].SpeedSquare;
    const double kinetic = (b.SpeedSquare - q0) * FModel.EnergyPerSpeedSquare;
    double drag = 0;
    for (int i = FDriveStart - 1; i <= sc; ++i)
        drag += FSampleTable[std::size_t(i)].DragWork;
    const double length = c.PulseNumber * 100 * FModel.HandlePerPulse;  // cm
    const double cord = (length / 100) * ((length / 100) * FModel.HalfElastConst + FTension);
    double work = kinetic + drag + cord;
    if (work < 0)
        work = 0;
    FTotalEnergy += work;

    const double driveTime = b.Time - start.Time;
    const double recoverTime = start.Time - FLastStrokeTime;
    FLastStrokeTime = b.Time;
    double strokeTime = driveTime + recoverTime;
    if (!(strokeTime > 0))
        strokeTime = 1.0;
    const double power = FloatToWord(Div(work, strokeTime));
    const double speed = BoatSpeed(FBoatType, FModel.CubeRootMass, power);

    TStgStrokeData& d = FStrokeData;
    const double time = b.Time - FTimeOrigin;  // on the session's time line
    d.Number = Word(FStrokeCount);
    if (first) {
        d.Power = 0;
        d.AvgPower = 0;
        d.StrokeRate = 0;
        FTotalDistance = (time / 2) * std::sqrt(Div(2 * work, FModel.Mass));
    } else {
        d.Power = float(power);
        d.AvgPower = float(Div(FTotalEnergy, time));
        d.StrokeRate = float(Div(60, strokeTime));
        FTotalDistance += strokeTime * speed;
    }
    d.TargetPower = 0;
    d.Time = float(time);
    d.Length = float(length);
    d.DriveTime = float(driveTime);
    // A recovery not measured whole (none before the first stroke, or one that holds a stop)
    // gives no ratio; the first stroke's power, and so its speed, are not known.
    d.DriveRatio = whole ? float(Div(recoverTime, driveTime)) : 0.0f;
    d.Distance = float(FTotalDistance);
    d.DistancePerStroke = float(strokeTime * speed * 100);
    d.Est500mTime = first ? 0.0f : float(Div(500, speed));
    d.Energy = float(work);
    d.EnergySum = float(FTotalEnergy / 1000);
    d.Pulse = float(std::nearbyint(c.HeartRate));
    d.WorkPerPulse = float(Div(d.Power, c.HeartRate));
    d.PeakForce = 0;
    d.PeakForcePos = 0;
    d.RelPeakForcePos = 0;
    d.IntervalNumber = 0;
    d.IntervalCountdown = 0;
    d.IntervalPower = 0;
    d.K = float(FDragFactor * 10000);
    if (OnStrokeData)
        OnStrokeData(this, FStrokeData);
}

void TKVInterface::SendIdleRecord() {
    TStgStrokeData& d = FStrokeData;
    d = TStgStrokeData{};
    const double time =
        FLastStrokeTime + FPendingTime + double(Clock().NowMs() - FPauseTick) / 1000 - FTimeOrigin;
    d.Number = Word(FStrokeCount);
    d.Time = float(time);
    d.AvgPower = float(Div(FTotalEnergy, time));
    d.Distance = float(FTotalDistance);
    d.EnergySum = float(FTotalEnergy / 1000);
    d.Pulse = float(FHeartCorrected);
    if (OnStrokeData)
        OnStrokeData(this, FStrokeData);
}

// The flywheel speeds up again after at least four revolutions of recovery: a new drive. It is
// taken to have begun about a centimetre of handle travel earlier.
void TKVInterface::StartDriveFromRecovery() {
    const QPointer<TKVInterface> self(this);
    const int M = FEngineMagnets;
    const int sc = FSampleCount;
    FStrokeData.PeakForce = 0;
    const int k = int(std::nearbyint(Div(0.01, FModel.HandlePerPulse)));
    const int j = std::clamp(sc - k - 1, 0, sc - 1);
    TKVEngineSample& start = FSampleTable[std::size_t(j)];
    start.PulseNumber = 0;
    start.SpeedSquare = Div(1, Square(start.MeanInterval));

    double sum = 0;
    for (int i = FRecoveryStart + M; i <= j; ++i)
        sum += FSampleTable[std::size_t(i)].DragEstimate;
    const int count = j - FRecoveryStart - M + 1;
    FDragFactor = count != 0 ? sum / count : sum;

    FPhase = 1;
    FDriveStart = j + 1;
    if (OnStartingStroke) {
        OnStartingStroke(this);
        if (EngineInterrupted(self, sc))
            return;
    }
    for (int i = FDriveStart; i <= sc; ++i) {
        ComputeDriveSample(i);
        if (OnForceData && !SendForceData(i, false))
            return;
    }
}
