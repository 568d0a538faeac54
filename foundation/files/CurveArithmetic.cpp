#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

double CurveSpacing(int sprocket) {
    return sprocket != 0 ? 2.2 : 2.0;
}

} // namespace

void CalcPeakForce(TStgStrokeData& stroke, const TStgForceCurve& curve, int sprocket) {
    const double spacing = CurveSpacing(sprocket);
    stroke.PeakForce = 0;
    int first = 0;
    int last = 0;
    for (int k = 1; k <= kForceCurveSamples; ++k) {
        const float sample = curve.Force[static_cast<std::size_t>(k - 1)];
        if (sample > stroke.PeakForce) {
            stroke.PeakForce = sample;
            first = k;
            last = k;
        } else if (sample == stroke.PeakForce && first >= 1) {
            // A later sample as high as the peak, adjacent or not, widens it.
            last = k;
        }
    }
    stroke.PeakForcePos = static_cast<float>((first + last) * spacing / 2.0);
    stroke.RelPeakForcePos = SafeDivide(stroke.PeakForcePos * 100.0f, stroke.Length);
}

double EstimateStrokeLength(const TStgForceCurve& curve, int sprocket) {
    const double spacing = CurveSpacing(sprocket);
    double threshold = 780.0;
    double pos = 0;
    for (int k = kForceCurveSamples - 1; k >= 0; --k) {
        const double sample = curve.Force[static_cast<std::size_t>(k)];
        if (sample <= threshold) {
            threshold = sample;
            pos = (k + 1) * spacing;
        }
    }
    return pos - spacing;
}

void ResampleForceCurve(std::span<const Word> samples, double step, std::span<double> output) {
    if (samples.empty() || samples.size() != output.size()) return;
    const std::size_t high = samples.size() - 1;
    const double h = static_cast<double>(high);
    for (std::size_t j = 0; j <= high; ++j) {
        const double x = static_cast<double>(j) * step;
        const double k = std::trunc(x);
        const double f = x - k;
        double value = 0; // also for a step that is not a number
        if (f == 0) {
            if (k >= 0 && k <= h) value = samples[static_cast<std::size_t>(k)];
        } else if (k >= h) {
            value = samples[high];
        } else if (k >= 0) {
            const auto i = static_cast<std::size_t>(k);
            value = samples[i] + (static_cast<double>(samples[i + 1]) - samples[i]) * f;
        } else if (k < 0) {
            value = samples[0] * step;
        }
        output[j] = std::fabs(value);
    }
    // Plateaus of equal samples become a slope towards the previous (already smoothed) value.
    for (std::size_t j = 1; j + 1 <= high; ++j)
        if (output[j] == output[j + 1] && output[j] > 0) output[j] = (output[j] + output[j - 1]) / 2;
}

void AverageStrokes(std::span<const TStgStrokeData> strokes, std::span<const TStgForceCurve> curves,
                    int sprocket, TStgStrokeData& avgStroke, TStgForceCurve& avgCurve) {
    avgStroke = TStgStrokeData{};
    avgCurve = TStgForceCurve{};
    const std::size_t held = std::min(strokes.size(), curves.size());
    if (held < 2) return;
    const std::size_t n = held - 1;
    if (n == 1) {
        avgStroke = strokes[1];
        avgCurve = curves[1];
        CalcPeakForce(avgStroke, avgCurve, sprocket);
        return;
    }
    // Stroke 1 is left out: its drive usually starts from rest.
    int count = 0;
    float energySum = 0;
    float lengthSum = 0;
    for (std::size_t i = 2; i <= n; ++i) {
        if (!curves[i].Present) continue;
        ++count;
        energySum += strokes[i].Energy;
        lengthSum += strokes[i].Length;
    }
    const auto c = static_cast<float>(count);
    avgStroke.Energy = SafeDivide(energySum, c);
    avgStroke.Length = SafeDivide(lengthSum, c);

    std::array<float, kForceCurveSamples> sum{};
    std::array<double, kForceCurveSamples> stretched{};
    for (std::size_t i = 2; i <= n; ++i) {
        if (!curves[i].Present) continue;
        double length = strokes[i].Length;
        if (length < 0) length = EstimateStrokeLength(curves[i], sprocket);
        if (length <= 0) length = 1.0;
        // Without a positive mean length there is nothing to stretch to.
        const double step =
            avgStroke.Length > 0 ? SafeDivide(static_cast<float>(length), avgStroke.Length) : 1.0;
        ResampleForceCurve(curves[i].Force, step, stretched);
        for (std::size_t k = 0; k < sum.size(); ++k)
            sum[k] += static_cast<float>(stretched[k]);
    }
    for (std::size_t k = 0; k < sum.size(); ++k)
        avgCurve.Force[k] = FloatToWord(SafeDivide(sum[k], c));
    CalcPeakForce(avgStroke, avgCurve, sprocket);
}

void SetAverageStroke(TTraining& training) {
    TStgStrokeData stroke;
    TStgForceCurve curve;
    AverageStrokes(training.StrokeData, training.ForceCurves, training.Ini.Sprocket, stroke, curve);
    training.StrokeData[0] = stroke;
    training.ForceCurves[0] = curve;
}
