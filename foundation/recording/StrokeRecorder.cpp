#include "foundation/recording/StrokeRecorder.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "foundation/values/ValueData.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

namespace {

constexpr double kSecondsPerDay = 86400;

const TStgStrokeData kZeroStroke{};

float Single(double value) {
    return static_cast<float>(value);
}

// Room for `size` elements, reserved ahead so that the arrays can end at what is recorded
// without reallocating at every element.
template <class T>
void Reserve(std::vector<T>& v, std::size_t size, std::size_t room) {
    if (v.capacity() < size)
        v.reserve(std::max(size + room, 2 * v.capacity()));
}

void ReserveStrokes(TTraining& t, std::size_t size, std::size_t room) {
    Reserve(t.StrokeData, size, room);
    Reserve(t.ForceCurves, size, room);
}

// The value of a record in the interval's unit set to v (the boundary a part starts from).
void SetStrokeValueInUnit(TStgStrokeData& record, std::int32_t unit, double v) {
    switch (unit) {
    case 0: record.Number = Word(std::clamp(v, 0.0, 65535.0)); break;
    case 1: record.EnergySum = Single(v); break;
    case 2: record.Distance = Single(v); break;
    case 3: record.Time = Single(v); break;
    default: break;
    }
}

// The session's totals as a record carries them (kept to an eighth).
void SetTotalsOf(const TStgStrokeData& record, TStgWorkout& workout) {
    TStgWorkout totals;
    totals.Distance = record.Distance;
    totals.Time = record.Time;
    totals.Energy = record.EnergySum;
    totals.AvgPower = SafeDivide(record.EnergySum * 1000, record.Time);
    RoundBlockToEighths(totals, workout);
}

}  // namespace

bool IntervalProgrammeRuns(const TStgIni& ini) {
    return ini.SessionLimit == 4 && GetIntervalWork(ini) > 0;
}

double TStrokeRecorder::LiveLength(int puls) const {
    return puls >= 1 && puls <= kForceCurveSamples ? FLiveLength[std::size_t(puls - 1)] : 0.0;
}

double TStrokeRecorder::LiveForce(int puls) const {
    return puls >= 1 && puls <= kForceCurveSamples ? FLiveForce[std::size_t(puls - 1)] : 0.0;
}

const TStgStrokeData& TStrokeRecorder::StrokeBefore(const TTraining& t, int n) const {
    // Element 0 holds the session average, not a stroke before stroke 1.
    if (n <= 1 || std::size_t(n - 1) >= t.StrokeData.size())
        return kZeroStroke;
    return t.StrokeData[std::size_t(n - 1)];
}

// ---------------------------------------------------------------- session

void TStrokeRecorder::ResetSession() {
    FStrokeCount = 0;
    FCurrentInterval = 1;
    FIntervalPhase = 0;
    FIntervalStart = TStgStrokeData{};
    FFinished = false;
    FLiveCurve = TStgForceCurve{};
    FLiveLength.fill(0);
    FLiveForce.fill(0);
    FLiveSampleCount = 0;
    FRawIndex = 0;
    FLastIdle = TStgStrokeData{};
    FLastRecord = TStgStrokeData{};
    FAverage.Clear();
    if (TTraining* t = Training ? Training() : nullptr) {
        ResetTraining(*t);
        ReserveStrokes(*t, kStrokeRoom + 1, 0);
        Reserve(t->RawData, kRawRoom + 1, 0);
    }
    UpdateTargets();
}

TStrokeOutcome TStrokeRecorder::StrokeData(const TStgStrokeData& data) {
    TStrokeOutcome outcome;
    TTraining* t = Training ? Training() : nullptr;
    if (FFinished || !t) {
        outcome.Ignored = true;
        return outcome;
    }
    const TStgIni& ini = t->Ini;
    const bool programme = !WarmingUp && IntervalProgrammeRuns(ini);

    if (data.Number <= FStrokeCount) {
        // The engine repeats the last stroke's number while the rower rests: such a record
        // carries the running time and totals, but it is no stroke and has no curve.
        outcome.Idle = true;
        RoundStroke(data, FLastIdle);
        if (FStrokeCount < 1)
            return outcome;
        if (programme) {
            EndRestIfDue(FLastIdle, ini);
            FillIntervalFields(FLastIdle, ini);
        }
        FLastRecord = FLastIdle;
        if (!WarmingUp)
            RunGoal(*t, FLastIdle, t->StrokeData[std::size_t(FStrokeCount)]);
        UpdateValues(FLastIdle);
        RefreshValueArea();
        if (FFinished) {
            SetStrokeCount(*t, FStrokeCount);
            UpdateSessionAverage();
        }
        outcome.Finished = FFinished;
        return outcome;
    }

    const int n = data.Number;
    FStrokeCount = n;
    FLastIdle = TStgStrokeData{};
    if (t->StrokeData.size() <= std::size_t(n) || t->ForceCurves.size() <= std::size_t(n)) {
        ReserveStrokes(*t, std::size_t(n) + 1, kStrokeRoom);
        SetStrokeCount(*t, n);
    }

    const bool noPower = StrokeHasNoPower(data);
    if (noPower)
        FLiveCurve = TStgForceCurve{};
    TStgForceCurve& curve = t->ForceCurves[std::size_t(n)];
    curve = FLiveCurve;
    curve.Number = Word(n);
    curve.Present = noPower ? 0 : 1;
    TStgStrokeData stroke = data;
    CalcPeakForce(stroke, curve, ini.Sprocket);
    TStgStrokeData& stored = t->StrokeData[std::size_t(n)];
    RoundStroke(stroke, stored);
    t->Header.CurrentStroke = n;
    // Also after a save during the session: what is rowed since is not in that file.
    t->Header.Modified = 1;

    if (programme)
        outcome.IntervalEnded = RunIntervals(*t);
    if (!WarmingUp)
        RunGoal(*t, stored, StrokeBefore(*t, n));
    // The session so far, for every view and a save while it runs; the goal sets its own.
    if (!FFinished)
        SetTotalsOf(stored, t->Workout);

    FLastRecord = stored;
    FAverage.Add(n, stored, curve, ini.Sprocket);
    if (FFinished) {
        SetStrokeCount(*t, n);
        UpdateSessionAverage();
    } else {
        RunningAverage(*t);
    }
    UpdateValues(t->StrokeData[std::size_t(n)]);
    RefreshValueArea();
    outcome.Finished = FFinished;
    return outcome;
}

void TStrokeRecorder::ForceCurve(const TStgForceCurve& curve) {
    TTraining* t = Training ? Training() : nullptr;
    if (FFinished || !t || FStrokeCount < 1 || t->ForceCurves.size() <= std::size_t(FStrokeCount))
        return;
    const auto n = std::size_t(FStrokeCount);
    const TStgForceCurve before = t->ForceCurves[n];
    t->ForceCurves[n].Force = curve.Force;
    TStgStrokeData stroke = t->StrokeData[n];
    CalcPeakForce(stroke, t->ForceCurves[n], t->Ini.Sprocket);
    RoundStroke(stroke, t->StrokeData[n]);
    FAverage.ReplaceCurve(FStrokeCount, t->StrokeData[n], before, t->ForceCurves[n], t->Ini.Sprocket);
    RunningAverage(*t);
}

double TStrokeRecorder::ForceData(int puls, double length, double force) {
    if (FFinished)
        return 0;
    double f = force > 0 ? force : 0.0;
    if (FStrokeCount == 0 && f > kStartSpikeForce && puls < kStartSpikeSamples)
        f = 0;
    if (puls >= 1 && puls <= kForceCurveSamples) {
        const auto k = std::size_t(puls - 1);
        FLiveLength[k] = length;
        FLiveForce[k] = f;
        FLiveCurve.Force[k] = FloatToWord(f);
        FLiveSampleCount = puls;
    }
    return f;
}

void TStrokeRecorder::StartingStroke() {
    if (!FFinished)
        FLiveCurve = TStgForceCurve{};
}

void TStrokeRecorder::StartingRecover() {
    if (FFinished)
        return;
    if (FLiveSampleCount >= 1 && FLiveSampleCount <= kForceCurveSamples)
        std::fill(FLiveForce.begin() + (FLiveSampleCount - 1), FLiveForce.end(), 0.0);
}

void TStrokeRecorder::RawData(double wheel, int heartRaw, int heartCorrected, bool allPulsesValid) {
    TTraining* t = Training ? Training() : nullptr;
    if (FFinished || !t)
        return;
    if (!allPulsesValid && Values && Values->ItemExists(kPulseColumn))
        Values->SetValue(kPulseColumn, true, heartCorrected);
    ++FRawIndex;
    const double ticks = std::nearbyint(wheel * kRawTicksPerSecond);
    const TStgRawData raw{ticks >= 65535 ? Word(65535) : ticks > 0 ? Word(ticks) : Word(0),
                          std::uint8_t(heartRaw & 0xFF)};
    std::vector<TStgRawData>& raws = t->RawData;
    const auto at = std::size_t(FRawIndex);
    if (raws.size() == at && raws.capacity() > at) {
        raws.push_back(raw);  // every pulse but the first of a session
        return;
    }
    Reserve(raws, at + 1, kRawRoom);
    if (raws.size() <= at)
        raws.resize(at + 1);
    raws[at] = raw;
}

void TStrokeRecorder::Closing() {
    TTraining* t = Training ? Training() : nullptr;
    if (!t)
        return;
    SetStrokeCount(*t, FStrokeCount);
    t->RawData.resize(std::size_t(FRawIndex) + 1);
    if (FStrokeCount > 0 && !FFinished && std::size_t(FStrokeCount) < t->StrokeData.size()) {
        // An idle record after the last stroke holds the later time.
        const TStgStrokeData& stroke = t->StrokeData[std::size_t(FStrokeCount)];
        SetTotalsOf(FLastIdle.Time > stroke.Time ? FLastIdle : stroke, t->Workout);
        t->Header.Modified = 1;
    }
    UpdateSessionAverage();
}

// ---------------------------------------------------------------- intervals and goal

void TStrokeRecorder::FillIntervalFields(TStgStrokeData& stroke, const TStgIni& ini) const {
    const double p = GetStrokeValueByIntervalType(stroke, ini);
    const double w = GetIntervalWork(ini);
    const double r = GetIntervalRest(ini);
    const int i = FCurrentInterval;
    stroke.IntervalNumber = Word(std::clamp(i, 0, 65535));
    if (FIntervalPhase == 0) {
        const double endWork = std::nearbyint(w + (w + r) * (i - 1));
        const float seconds = stroke.Time - FIntervalStart.Time;
        const float joules = (stroke.EnergySum - FIntervalStart.EnergySum) * 1000;
        stroke.IntervalCountdown = FloatToWord(endWork - p);
        stroke.IntervalPower = FloatToWord(SafeDivide(joules, seconds));
    } else {
        const double endRest = std::nearbyint((w + r) * i);
        stroke.IntervalCountdown = FloatToWord(endRest - p);
        stroke.IntervalPower = 0;
    }
}

bool TStrokeRecorder::EndRestIfDue(const TStgStrokeData& record, const TStgIni& ini) {
    if (FIntervalPhase != 1)
        return false;
    const double endRest = std::nearbyint((GetIntervalWork(ini) + GetIntervalRest(ini)) * FCurrentInterval);
    const double p = GetStrokeValueByIntervalType(record, ini);
    if (p < endRest)
        return false;
    FIntervalPhase = 0;
    ++FCurrentInterval;
    if (p == endRest) {
        // A record that ends exactly at the rest's end (the last rest stroke by count) belongs
        // to the rest: the next work part counts from it.
        FIntervalStart = record;
        return false;
    }
    // A record that ends past it belongs to the work part, which counts from the rest's end:
    // the rower's totals of the record before, at the boundary by time, distance or count. A
    // rower who starts late loses the time, one who starts early rows the first stroke in the
    // rest.
    FIntervalStart = FLastRecord;
    const double from = GetStrokeValueByIntervalType(FLastRecord, ini);
    SetStrokeValueInUnit(FIntervalStart, ini.IntervalBy, std::max(from, endRest));
    return true;
}

bool TStrokeRecorder::RunIntervals(TTraining& t) {
    const TStgIni& ini = t.Ini;
    TStgStrokeData& stroke = t.StrokeData[std::size_t(FStrokeCount)];
    if (FIntervalPhase == 1 && !EndRestIfDue(stroke, ini)) {
        FillIntervalFields(stroke, ini);
        return false;
    }
    // The work phase, also for a stroke that ended past the end of the rest.
    const double p = GetStrokeValueByIntervalType(stroke, ini);
    const double w = GetIntervalWork(ini);
    const double r = GetIntervalRest(ini);
    const int i = FCurrentInterval;
    const double endWork = std::nearbyint(w + (w + r) * (i - 1));
    const double endRest = std::nearbyint((w + r) * i);
    if (p < endWork) {
        FillIntervalFields(stroke, ini);
        return false;
    }

    // The work part of interval i ends at this stroke.
    SetIntervalCount(t, i);
    SummariseInterval(t, i);
    FFinished = GetTrainingTarget(ini) == i;
    if (endRest == endWork) {
        // Without a rest the next interval begins after this stroke, which counts in interval
        // i alone: its fields still describe interval i, whose countdown is over.
        FillIntervalFields(stroke, ini);
        FCurrentInterval = i + 1;
        FIntervalStart = stroke;
    } else {
        FIntervalPhase = 1;
        FillIntervalFields(stroke, ini);
    }
    return true;
}

void TStrokeRecorder::SummariseInterval(TTraining& t, int interval) {
    const TStgStrokeData& stroke = t.StrokeData[std::size_t(FStrokeCount)];
    const TStgStrokeData& start = FIntervalStart;
    const int first = start.Number + 1;
    const int last = stroke.Number;
    const double count = double(last - start.Number);
    const double seconds = double(stroke.Time) - start.Time;
    const double joules = (double(stroke.EnergySum) - start.EnergySum) * 1000;
    const double metres = double(stroke.Distance) - start.Distance;

    double length = 0, peak = 0, peakPos = 0, relPeakPos = 0, ratio = 0, k = 0, drive = 0, perStroke = 0;
    int ratios = 0;  // strokes with a ratio: one whose recovery was not measured has none
    double beats = 0;  // heart beats: each stroke's pulse over its own duration
    float before = start.Time;  // the interval may start at an idle record, after its stroke
    for (int s = first; s <= last; ++s) {
        const TStgStrokeData& d = t.StrokeData[std::size_t(s)];
        length += d.Length;
        peak += d.PeakForce;
        peakPos += d.PeakForcePos;
        relPeakPos += d.RelPeakForcePos;
        ratio += d.DriveRatio;
        ratios += d.DriveRatio != 0 ? 1 : 0;
        k += d.K;
        drive += d.DriveTime;
        perStroke += d.DistancePerStroke;
        beats += (double(d.Time) - before) * d.Pulse / 60;
        before = d.Time;
    }

    TStgInterval& iv = t.Intervals[std::size_t(interval - 1)];
    const float n = Single(count);
    const float minutes = Single(seconds / 60);
    TStgStrokeData& avg = iv.Stroke;
    avg = TStgStrokeData{};
    avg.Number = Word(std::clamp(last - start.Number, 0, 65535));
    avg.Power = SafeDivide(Single(joules), Single(seconds));
    avg.AvgPower = avg.Power;
    avg.StrokeRate = SafeDivide(n, minutes);
    avg.TargetPower = 0;
    avg.Time = Single(seconds);
    avg.Length = SafeDivide(Single(length), n);
    avg.Distance = Single(metres);
    avg.Est500mTime = Single(double(SafeDivide(500, Single(metres))) * seconds);
    avg.Energy = SafeDivide(Single(joules), n);
    avg.EnergySum = Single(joules / 1000);
    avg.Pulse = SafeDivide(Single(beats), minutes);
    avg.WorkPerPulse = SafeDivide(avg.Power, avg.Pulse);
    avg.PeakForce = SafeDivide(Single(peak), n);
    avg.PeakForcePos = SafeDivide(Single(peakPos), n);
    avg.RelPeakForcePos = SafeDivide(Single(relPeakPos), n);
    avg.DriveRatio = SafeDivide(Single(ratio), Single(ratios));
    avg.K = SafeDivide(Single(k), n);
    avg.DriveTime = SafeDivide(Single(drive), n);
    avg.DistancePerStroke = SafeDivide(Single(perStroke), n);
    avg.IntervalNumber = Word(interval);
    avg.IntervalCountdown = 0;
    avg.IntervalPower = FloatToWord(avg.AvgPower);

    // The interval's strokes, indexed as AverageStrokes expects: element 0 (the stroke before
    // the interval) is not used.
    const auto from = std::size_t(start.Number);
    const auto size = std::size_t(last - start.Number + 1);
    TStgStrokeData unused;
    AverageStrokes(std::span<const TStgStrokeData>(t.StrokeData).subspan(from, size),
                   std::span<const TStgForceCurve>(t.ForceCurves).subspan(from, size), t.Ini.Sprocket,
                   unused, iv.Curve);

    iv.Number = Word(interval);
    iv.AvgPower = FloatToWord(SafeDivide(Single(joules), Single(seconds)));
    iv.AvgRate = FloatToWord(SafeDivide(n, minutes));
    iv.Time = FloatToWord(seconds);
    iv.Distance = FloatToWord(metres);
    iv.AvgPulse = FloatToWord(SafeDivide(Single(beats), minutes));
}

void TStrokeRecorder::RunGoal(TTraining& t, const TStgStrokeData& current, const TStgStrokeData& prev) {
    const TStgIni& ini = t.Ini;
    double f = 1;
    if (ini.SessionLimit == 4) {
        // The interval programme ends the session itself, at the end of the last work part.
        if (!FFinished)
            return;
    } else {
        const double target = GetTrainingTarget(ini);
        if (target < 1)
            return;
        const double v = GetStrokeValueByTrainingType(current, ini);
        if (!(v >= target || FFinished))
            return;
        const double before = GetStrokeValueByTrainingType(prev, ini);
        f = SafeDivide(Single(target - before), Single(v - before));
    }
    FFinished = true;
    const auto between = [f](float a, float b) { return Single(a + (double(b) - a) * f); };
    TStgWorkout totals;
    totals.Distance = between(prev.Distance, current.Distance);
    totals.Time = between(prev.Time, current.Time);
    totals.Energy = between(prev.EnergySum, current.EnergySum);
    totals.AvgPower = SafeDivide(totals.Energy * 1000, totals.Time);
    RoundBlockToEighths(totals, t.Workout);
    t.State = 4;
    t.Header.Modified = 1;
}

// ---------------------------------------------------------------- averages and values

void TStrokeRecorder::UpdateSessionAverage() {
    TTraining* t = Training ? Training() : nullptr;
    if (!t || t->StrokeData.empty() || t->ForceCurves.empty())
        return;
    const std::size_t size =
        std::min({std::size_t(FStrokeCount) + 1, t->StrokeData.size(), t->ForceCurves.size()});
    AverageStrokes(std::span<const TStgStrokeData>(t->StrokeData).first(size),
                   std::span<const TStgForceCurve>(t->ForceCurves).first(size), t->Ini.Sprocket,
                   t->StrokeData[0], t->ForceCurves[0]);
}

void TStrokeRecorder::RunningAverage(TTraining& t) {
    if (FStrokeCount < 2) {
        UpdateSessionAverage();  // stroke 1 alone, its own average
        return;
    }
    if (t.StrokeData.empty() || t.ForceCurves.empty())
        return;
    FAverage.Result(t.Ini.Sprocket, t.StrokeData[0], t.ForceCurves[0]);
}

void TStrokeRecorder::UpdateValues(const TStgStrokeData& stroke) {
    TTraining* t = Training ? Training() : nullptr;
    if (!Values || !t || FStrokeCount < 1)
        return;
    const TStgIni& ini = t->Ini;
    const int target = GetTrainingTarget(ini);
    const bool countdown = target >= 1 && !WarmingUp;
    const int goalColumn = ini.SessionLimit >= 0 && ini.SessionLimit < int(kGoalColumns.size())
                               ? kGoalColumns[std::size_t(ini.SessionLimit)]
                               : -1;
    const int columns = std::min<int>(kStrokeParameterCount, int(StrokeParameters.size()));
    for (int i = 0; i < columns; ++i) {
        if (StrokeParameters[std::size_t(i)].Id < 0)
            continue;
        double v = GetStrokeParameterValue(stroke, i, ini);
        if (countdown) {
            if (i == goalColumn)
                v = (ini.SessionLimit == 3 ? target / kSecondsPerDay : double(target)) - v;
            if (v < 0)
                v = 0;
        }
        Values->SetValue(i, true, v);
    }
}

void TStrokeRecorder::UpdateTargets() {
    if (!Values)
        return;
    Values->ClearValues();
    TTraining* t = Training ? Training() : nullptr;
    const TStgIni ini = t ? t->Ini : TStgIni{};
    const int target = GetTrainingTarget(ini);
    const int goalColumn = ini.SessionLimit >= 0 && ini.SessionLimit < int(kGoalColumns.size())
                               ? kGoalColumns[std::size_t(ini.SessionLimit)]
                               : -1;
    for (int i = 0; i < kStrokeParameterCount; ++i) {
        if (!Values->ItemExists(i))
            continue;
        double v = 0;
        if (i == goalColumn)
            v = ini.SessionLimit == 3 ? target / kSecondsPerDay : double(target);
        Values->SetValue(i, false, v < 0 ? 0 : v);
    }
    Values->UpdateAreas();
}

void TStrokeRecorder::RefreshValueArea() {
    if (Values)
        Values->UpdateAreas();
}
