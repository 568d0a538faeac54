// The stroke recorder: turns what a device interface delivers during a session into the
// session's training. Stroke records and their force curves go into the stroke arrays (rounded
// as the training record stores them), flywheel pulses into the raw-data array, the interval
// programme writes a summary of every work interval and the countdown fields of every stroke,
// the training's totals follow every stored stroke, the goal ends the session with totals
// interpolated to the target, and the stroke parameters go into the live value display.
//
// The recorder knows no interface and no window: the session controller calls its handlers
// from the interface's events and does what the outcome asks (close the interface, refresh
// windows, show results). Per-stroke work does not grow with the session: the session average
// (element 0) follows every stroke through running sums, and is worked out over all strokes
// once more when the session closes. The stroke and raw-data arrays always end at the last
// stroke and sample recorded; room for what follows is reserved, not added.
#pragma once

#include "foundation/core/Types.h"
#include "foundation/files/TrainingFiles.h"

#include <array>
#include <functional>

class TValueData;

// The session's training, looked up at each event; nullptr once its window has gone.
using TTrainingAccess = std::function<TTraining*()>;

// What one stroke record did.
struct TStrokeOutcome {
    bool Ignored = false;       // finished before, or no training
    bool Idle = false;          // a record of a rower at rest: shown and tested, not stored
    bool IntervalEnded = false; // the work part of an interval ended at this stroke
    bool Finished = false;      // the goal or the interval programme ended the session here
};

// Stroke columns that count down to a goal, by session limit (strokes, energy, distance, time,
// intervals), and the heart-rate column.
inline constexpr std::array<int, 5> kGoalColumns{0, 11, 7, 5, 23};
inline constexpr int kPulseColumn = 12;
// Room reserved for the stroke arrays and the raw-data array at a session's start (about two
// hours of rowing); a longer session doubles it when full.
inline constexpr int kStrokeRoom = 4096;
inline constexpr int kRawRoom = 1 << 20;
// A raw interval is stored in ticks of this many per second, at most 65535.
inline constexpr double kRawTicksPerSecond = 614000;
// Live force above this before the first stored stroke, at a sample below kStartSpikeSamples,
// is a spike of the catch and is taken as 0.
inline constexpr double kStartSpikeForce = 1000;
inline constexpr int kStartSpikeSamples = 10;

// An interval programme runs only with a work period: a work part of 0 would end at every
// stroke.
bool IntervalProgrammeRuns(const TStgIni& ini);

class TStrokeRecorder {
public:
    TStrokeRecorder() = default;

    TTrainingAccess Training;
    TValueData* Values = nullptr; // the live value display (not owned); nullptr: none

    // While set, strokes are stored but neither intervals nor the goal run and no goal column
    // counts down.
    bool WarmingUp = false;

    // A new session: counters, interval programme and live buffers back to the start, the
    // training reset (ResetTraining) and the goal target shown.
    void ResetSession();

    // A finished stroke, or an idle record (its number not above the last stored stroke).
    TStrokeOutcome StrokeData(const TStgStrokeData& data);
    // The curve a device delivers after its stroke record: it goes to the stroke stored last.
    void ForceCurve(const TStgForceCurve& curve);
    // One live force sample of the drive, Puls from 1. Returns the force as kept (>= 0).
    double ForceData(int puls, double length, double force);
    void StartingStroke();
    void StartingRecover();
    // One flywheel pulse: its interval in s and the heart rates. allPulsesValid false shows the
    // corrected heart rate live while the flywheel pattern is not yet steady.
    void RawData(double wheel, int heartRaw, int heartCorrected, bool allPulsesValid);
    // The interface is closing: the arrays end at the last stroke and the last raw sample, the
    // totals come from the last record (unless a goal set them) and the average is exact.
    void Closing();

    // The live values of a record / the goal target into the value display.
    void UpdateValues(const TStgStrokeData& stroke);
    void UpdateTargets();
    void RefreshValueArea();
    // Element 0 of the stroke arrays: the average of the strokes stored so far.
    void UpdateSessionAverage();

    int StrokeCount() const { return FStrokeCount; }
    int CurrentInterval() const { return FCurrentInterval; }
    int IntervalPhase() const { return FIntervalPhase; } // 0 work, 1 rest
    const TStgStrokeData& IntervalStart() const { return FIntervalStart; }
    bool Finished() const { return FFinished; }
    int RawIndex() const { return FRawIndex; }
    int LiveSampleCount() const { return FLiveSampleCount; }
    const TStgForceCurve& LiveCurve() const { return FLiveCurve; }
    // Samples 1..80 of the drive in progress (the previous drive's beyond LiveSampleCount).
    double LiveLength(int puls) const;
    double LiveForce(int puls) const;
    // The last idle record since the last stored stroke (Number 0 when none).
    const TStgStrokeData& LastIdle() const { return FLastIdle; }

private:
    // Stroke n - 1 of the training, or a zero stroke for n <= 1 (element 0 is the average).
    const TStgStrokeData& StrokeBefore(const TTraining& t, int n) const;
    bool RunIntervals(TTraining& t);
    // In the rest phase, a record at or past the rest's end starts the next work part. True when
    // the record itself belongs to that work part (it ends past the rest's end).
    bool EndRestIfDue(const TStgStrokeData& record, const TStgIni& ini);
    void FillIntervalFields(TStgStrokeData& stroke, const TStgIni& ini) const;
    void SummariseInterval(TTraining& t, int interval);
    void RunGoal(TTraining& t, const TStgStrokeData& current, const TStgStrokeData& prev);
    // Element 0 from the running sums (after stroke 1, from that stroke as AverageStrokes does).
    void RunningAverage(TTraining& t);

    int FStrokeCount = 0;
    int FCurrentInterval = 1;
    int FIntervalPhase = 0;
    TStgStrokeData FIntervalStart;
    bool FFinished = false;
    TStgForceCurve FLiveCurve;
    std::array<double, kForceCurveSamples> FLiveLength{};
    std::array<double, kForceCurveSamples> FLiveForce{};
    int FLiveSampleCount = 0;
    int FRawIndex = 0;
    TStgStrokeData FLastIdle;
    TStgStrokeData FLastRecord;  // the latest record, stroke or idle, as stored
    TRunningStrokeAverage FAverage;
};
