// What the force-curve window computes, without any widget: the curve a training shows, the four
// average curves across trainings, the fixed-force and fixed-length scaling that the grid, the
// chart and the stroke export share, the browse steps over a training's curves and which browse
// controls a selection enables.
#pragma once

#include "foundation/core/Types.h"

#include <array>
#include <span>

// ---------------------------------------------------------------------------------------------
// The shown curve

// Curve modes of Header.CurveMode.
inline constexpr std::uint8_t kCurveModeSingle = 0;   // the curve with the number CurrentStroke
inline constexpr std::uint8_t kCurveModeAverage = 1;  // element 0, the session average
inline constexpr std::uint8_t kCurveModeInterval = 2; // the average of interval IntervalIndex

// Highest index of the stroke arrays (strokes 1..High are real strokes), -1 when empty.
int StrokeHigh(const TTraining& training);

// The stroke and curve the training's curve mode shows. Numbers read from a file are checked
// here, once: a current stroke outside 1..High, an interval index outside the intervals or an
// unknown mode give nullptr for both.
struct TShownCurve {
    const TStgStrokeData* Stroke = nullptr;
    const TStgForceCurve* Curve = nullptr;
    explicit operator bool() const { return Stroke != nullptr && Curve != nullptr; }
};
TShownCurve ShownCurve(const TTraining& training);

// ---------------------------------------------------------------------------------------------
// Fixed force and fixed length

struct TCurveScaling {
    bool FixedForce = false;
    double Force = 550;   // N, the peak every curve is scaled to
    bool FixedLength = false;
    double Length = 150;  // cm, the length every stroke is stretched to
};

// The five stroke values of the grid as the scaling shows them.
struct TScaledStrokeValues {
    double Length = 0;
    double Energy = 0;
    double PeakForce = 0;
    double PeakForcePos = 0;
    double RelPeakForcePos = 0;
};
TScaledStrokeValues ScaleStrokeValues(const TStgStrokeData& stroke, const TCurveScaling& scaling);

// The 80 samples of the curve as drawn and exported: stretched so that the stroke becomes the
// fixed length (a stroke or fixed length without a length leaves the curve as it is), then
// multiplied by fixed force / peak force. Without fixed length the curve goes through the
// resampler with step 1.0 all the same (it evens out plateaus).
std::array<double, kForceCurveSamples> ScaleForceCurve(const TStgStrokeData& stroke,
                                                       const TStgForceCurve& curve,
                                                       const TCurveScaling& scaling);

// ---------------------------------------------------------------------------------------------
// The four average curves

inline constexpr int kAverageCount = 4;

// Titles and colours of average records 1..4 (index k - 1).
extern const std::array<const char*, kAverageCount> AverageTitles;
extern const std::array<TColor, kAverageCount> AverageColors;

// Zero-fills the record and makes it average record k (1..4): title, colour, id -k, "Average[k]"
// as source name, shown as a session average, and one empty stroke beside the average element.
void InitAverageRecord(TTraining& average, int k);

// Whether the training takes part in average k (1 active curves, 2 all curves, 3 all curves of
// the active trainings, 4 all curves of all trainings); when it does, `stroke` and `curve` are the
// ones it adds. A used stroke without a positive length takes no part.
bool AverageMember(const TTraining& training, int k, const TStgStrokeData*& stroke,
                   const TStgForceCurve*& curve);

// Element 0 of the average record := average k over the trainings: every taking-part curve is
// brought to the mean stroke length at 2.0 cm sample spacing and the samples are averaged; then
// the peak values. With no taking-part training an all-zero curve of length 0.
void ComputeAverageCurve(int k, std::span<const TTraining* const> trainings, TTraining& average);

// ---------------------------------------------------------------------------------------------
// The stroke export

// The one-stroke training that the .str export writes for the training's shown curve: the source's
// settings, stroke 1 and curve 1 scaled as the window shows them. In either fixed mode the stroke
// holds only its number, length and energy.
void BuildStrokeExport(const TTraining& source, const TCurveScaling& scaling, TTraining& target);
