#include "foundation/files/ForceCurveAverages.h"

#include "foundation/files/TrainingFiles.h"

#include <algorithm>

namespace {

// Averages are drawn and peaked at the plain sprocket's spacing.
constexpr double kAverageSpacing = 2.0;

float Single(double value) {
    return static_cast<float>(value);
}

} // namespace

int StrokeHigh(const TTraining& training) {
    return static_cast<int>(training.StrokeData.size()) - 1;
}

TShownCurve ShownCurve(const TTraining& training) {
    const std::size_t held = std::min(training.StrokeData.size(), training.ForceCurves.size());
    switch (training.Header.CurveMode) {
    case kCurveModeSingle: {
        const std::int32_t current = training.Header.CurrentStroke;
        if (current < 1 || static_cast<std::size_t>(current) >= held) return {};
        const auto i = static_cast<std::size_t>(current);
        return {&training.StrokeData[i], &training.ForceCurves[i]};
    }
    case kCurveModeAverage:
        if (held == 0) return {};
        return {&training.StrokeData[0], &training.ForceCurves[0]};
    case kCurveModeInterval: {
        const std::int32_t k = training.Header.IntervalIndex;
        if (k < 0 || static_cast<std::size_t>(k) >= training.Intervals.size()) return {};
        const TStgInterval& interval = training.Intervals[static_cast<std::size_t>(k)];
        return {&interval.Stroke, &interval.Curve};
    }
    default:
        return {};
    }
}

TScaledStrokeValues ScaleStrokeValues(const TStgStrokeData& stroke, const TCurveScaling& scaling) {
    TScaledStrokeValues v{stroke.Length, stroke.Energy, stroke.PeakForce, stroke.PeakForcePos,
                          stroke.RelPeakForcePos};
    if (scaling.FixedForce) {
        const double r = SafeDivide(Single(scaling.Force), stroke.PeakForce);
        v.Energy *= r;
        v.PeakForce = scaling.Force;
    }
    if (scaling.FixedLength) {
        const double r = SafeDivide(Single(scaling.Length), stroke.Length);
        v.Length = scaling.Length;
        v.Energy *= r;
        v.PeakForcePos *= r;
        v.RelPeakForcePos = SafeDivide(Single(v.PeakForcePos * 100), Single(scaling.Length));
    }
    return v;
}

std::array<double, kForceCurveSamples> ScaleForceCurve(const TStgStrokeData& stroke,
                                                       const TStgForceCurve& curve,
                                                       const TCurveScaling& scaling) {
    double step = 1.0;
    // A stroke or target without a length would squeeze the whole curve into its first sample.
    if (scaling.FixedLength && stroke.Length > 0 && scaling.Length > 0)
        step = SafeDivide(stroke.Length, Single(scaling.Length));
    std::array<double, kForceCurveSamples> samples{};
    ResampleForceCurve(curve.Force, step, samples);
    if (scaling.FixedForce) {
        const double r = SafeDivide(Single(scaling.Force), stroke.PeakForce);
        for (double& s : samples)
            s *= r;
    }
    return samples;
}

// ---------------------------------------------------------------------------------------------
// Averages

const std::array<const char*, kAverageCount> AverageTitles{
    "*Avg. 1 active curves",
    "*Avg. 2 all curves",
    "*Avg. 3 all curves in active trainings",
    "*Avg. 4 all curves in all trainings",
};
const std::array<TColor, kAverageCount> AverageColors{0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000};

void InitAverageRecord(TTraining& average, int k) {
    if (k < 1 || k > kAverageCount) return;
    const auto i = static_cast<std::size_t>(k - 1);
    average = TTraining{};
    average.Id = -k;
    TStgHeader& h = average.Header;
    h.Title = AverageTitles[i];
    h.Color = static_cast<std::int32_t>(AverageColors[i]);
    h.SourceFileName = QStringLiteral("Average[%1]").arg(k).toStdString();
    h.SourceFileDate = 0;
    h.Active = 0;
    h.CurrentStroke = 1;
    h.PenStyle = 0;
    h.PenWidth = 1;
    h.CurveMode = kCurveModeAverage;
    h.IntervalIndex = 0;
    SetStrokeCount(average, 0);
    SetStrokeCount(average, 1);
}

bool AverageMember(const TTraining& training, int k, const TStgStrokeData*& stroke,
                   const TStgForceCurve*& curve) {
    stroke = nullptr;
    curve = nullptr;
    if (StrokeHigh(training) <= 0 || training.ForceCurves.empty()) return false;
    const bool active = training.Header.Active != 0;
    switch (k) {
    case 1:
    case 2: {
        if ((k == 1 && !active) || training.Header.CurrentStroke <= 0) return false;
        const TShownCurve shown = ShownCurve(training);
        if (!shown) return false;
        stroke = shown.Stroke;
        curve = shown.Curve;
        break;
    }
    case 3:
    case 4:
        if (k == 3 && !active) return false;
        stroke = &training.StrokeData[0];
        curve = &training.ForceCurves[0];
        break;
    default:
        return false;
    }
    // A curve of no length cannot be stretched to the mean: it would only pull the mean down.
    if (!(stroke->Length > 0)) {
        stroke = nullptr;
        curve = nullptr;
        return false;
    }
    return true;
}

void ComputeAverageCurve(int k, std::span<const TTraining* const> trainings, TTraining& average) {
    if (average.StrokeData.empty() || average.ForceCurves.empty()) SetStrokeCount(average, 0);
    const TStgStrokeData* stroke = nullptr;
    const TStgForceCurve* curve = nullptr;

    int n = 0;
    double lengthSum = 0;
    for (const TTraining* t : trainings) {
        if (t == nullptr || !AverageMember(*t, k, stroke, curve)) continue;
        lengthSum += stroke->Length;
        ++n;
    }
    const float count = static_cast<float>(n);
    const float mean = SafeDivide(Single(lengthSum), count);

    std::array<float, kForceCurveSamples> sum{};
    std::array<double, kForceCurveSamples> stretched{};
    for (const TTraining* t : trainings) {
        if (t == nullptr || !AverageMember(*t, k, stroke, curve)) continue;
        // Source samples per result sample: the stroke brought to the mean length, read at the
        // averages' spacing from samples at the training's own spacing.
        const double spacing = ForceCurveSampleSpacing(t->Ini);
        const double step = SafeDivide(stroke->Length, mean) * (kAverageSpacing / spacing);
        ResampleForceCurve(curve->Force, step, stretched);
        for (std::size_t j = 0; j < sum.size(); ++j)
            sum[j] += Single(stretched[j]);
    }

    TStgStrokeData& avgStroke = average.StrokeData[0];
    TStgForceCurve& avgCurve = average.ForceCurves[0];
    avgStroke = TStgStrokeData{};
    for (std::size_t j = 0; j < sum.size(); ++j)
        avgCurve.Force[j] = FloatToWord(SafeDivide(sum[j], count));
    avgStroke.Length = mean;
    CalcPeakForce(avgStroke, avgCurve, 0);
}

// ---------------------------------------------------------------------------------------------
// Export

void BuildStrokeExport(const TTraining& source, const TCurveScaling& scaling, TTraining& target) {
    target = TTraining{};
    target.Ini = source.Ini;
    SetStrokeCount(target, 1);

    TStgStrokeData stroke;
    TStgForceCurve curve;
    if (const TShownCurve shown = ShownCurve(source)) {
        stroke = *shown.Stroke;
        curve = *shown.Curve;
    }
    const TScaledStrokeValues values = ScaleStrokeValues(stroke, scaling);
    const std::array<double, kForceCurveSamples> samples = ScaleForceCurve(stroke, curve, scaling);

    TStgStrokeData& out = target.StrokeData[1];
    out = (scaling.FixedForce || scaling.FixedLength) ? TStgStrokeData{} : stroke;
    out.Number = 1;
    out.Length = Single(values.Length);
    out.Energy = Single(values.Energy);
    TStgForceCurve& outCurve = target.ForceCurves[1];
    for (std::size_t j = 0; j < samples.size(); ++j)
        outCurve.Force[j] = FloatToWord(samples[j]);
}
