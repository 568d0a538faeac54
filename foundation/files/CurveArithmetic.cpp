#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

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

namespace {

// Sample values of any width: a curve's words or a sum of curves.
template <class T>
void Resample(std::span<const T> samples, double step, std::span<double> output) {
    if (samples.empty() || samples.size() != output.size()) return;
    const std::size_t high = samples.size() - 1;
    const double h = static_cast<double>(high);
    const auto count = static_cast<std::int64_t>(samples.size());
    // Signed indexes: their conversions to and from double are single instructions.
    for (std::int64_t j = 0; j < count; ++j) {
        const double x = static_cast<double>(j) * step;
        double value = 0; // also for a step that is not a number
        if (x >= 0 && x < h) {
            // Between two samples, or on one (f = 0 gives the sample itself): the usual case,
            // kept quick.
            const auto i = static_cast<std::int64_t>(x);
            const double f = x - static_cast<double>(i);
            const auto a = static_cast<double>(samples[static_cast<std::size_t>(i)]);
            value = a + (static_cast<double>(samples[static_cast<std::size_t>(i + 1)]) - a) * f;
        } else {
            const double k = std::trunc(x);
            const double f = x - k;
            if (f == 0) {
                if (k >= 0 && k <= h) value = static_cast<double>(samples[static_cast<std::size_t>(k)]);
            } else if (k >= h) {
                value = static_cast<double>(samples[high]);
            } else if (k >= 0) {  // -0: a step just below zero
                const auto a = static_cast<double>(samples[0]);
                value = a + (static_cast<double>(samples[1]) - a) * f;
            } else if (k < 0) {
                value = static_cast<double>(samples[0]) * step;
            }
        }
        output[static_cast<std::size_t>(j)] = std::fabs(value);
    }
    // Plateaus of equal samples become a slope towards the previous (already smoothed) value.
    for (std::size_t j = 1; j + 1 <= high; ++j)
        if (output[j] == output[j + 1] && output[j] > 0) output[j] = (output[j] + output[j - 1]) / 2;
}

// The length a curve is stretched from: the stroke's, else read off the curve, at least 1 cm.
double StretchLength(const TStgStrokeData& stroke, const TStgForceCurve& curve, int sprocket) {
    double length = stroke.Length;
    if (length < 0) length = EstimateStrokeLength(curve, sprocket);
    if (length <= 0) length = 1.0;
    return length;
}

// Without a positive mean length there is nothing to stretch to.
double StretchStep(double length, float meanLength) {
    return meanLength > 0 ? SafeDivide(static_cast<float>(length), meanLength) : 1.0;
}

} // namespace

void ResampleForceCurve(std::span<const Word> samples, double step, std::span<double> output) {
    Resample(samples, step, output);
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
        const double step = StretchStep(StretchLength(strokes[i], curves[i], sprocket), avgStroke.Length);
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

// ---------------------------------------------------------------- the running average

void TRunningStrokeAverage::Clear() {
    *this = TRunningStrokeAverage{};
}

void TRunningStrokeAverage::Add(int number, const TStgStrokeData& stroke, const TStgForceCurve& curve,
                                int sprocket) {
    if (number < 2 || !curve.Present) return;
    ++FCount;
    FEnergySum += stroke.Energy;
    FLengthSum += stroke.Length;
    AddCurve(stroke, curve, sprocket, 1);
}

void TRunningStrokeAverage::ReplaceCurve(int number, const TStgStrokeData& stroke, const TStgForceCurve& before,
                                         const TStgForceCurve& after, int sprocket) {
    if (number < 2) return;
    if (before.Present) AddCurve(stroke, before, sprocket, -1);
    if (after.Present) AddCurve(stroke, after, sprocket, 1);
}

void TRunningStrokeAverage::AddCurve(const TStgStrokeData& stroke, const TStgForceCurve& curve, int sprocket,
                                     int sign) {
    const double length = StretchLength(stroke, curve, sprocket);
    auto it = std::find_if(FBundles.begin(), FBundles.end(), [length](const TBundle& b) { return b.Length == length; });
    if (it == FBundles.end()) {
        FBundles.push_back(TBundle{length, 0, {}});
        it = FBundles.end() - 1;
    }
    it->Curves += sign;
    for (std::size_t k = 0; k < curve.Force.size(); ++k)
        it->Sum[k] += sign * static_cast<double>(curve.Force[k]);  // whole numbers: exact
    if (it->Curves == 0) FBundles.erase(it);
}

void TRunningStrokeAverage::Result(int sprocket, TStgStrokeData& avgStroke, TStgForceCurve& avgCurve) const {
    avgStroke = TStgStrokeData{};
    avgCurve = TStgForceCurve{};
    const auto c = static_cast<float>(FCount);
    avgStroke.Energy = SafeDivide(FEnergySum, c);
    avgStroke.Length = SafeDivide(FLengthSum, c);
    // Resampling is linear in the samples: the curves of one length are stretched together.
    std::array<double, kForceCurveSamples> sum{};
    std::array<double, kForceCurveSamples> stretched{};
    for (const TBundle& b : FBundles) {
        Resample(std::span<const double>(b.Sum), StretchStep(b.Length, avgStroke.Length), stretched);
        for (std::size_t k = 0; k < sum.size(); ++k)
            sum[k] += stretched[k];
    }
    for (std::size_t k = 0; k < sum.size(); ++k)
        avgCurve.Force[k] = FloatToWord(SafeDivide(static_cast<float>(sum[k]), c));
    CalcPeakForce(avgStroke, avgCurve, sprocket);
}
