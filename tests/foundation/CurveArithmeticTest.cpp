#include "foundation/files/TrainingFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

TStgForceCurve CurveOf(std::initializer_list<std::pair<int, Word>> samples) {
    TStgForceCurve c;
    c.Present = 1;
    for (auto [k, v] : samples)
        c.Force[static_cast<std::size_t>(k)] = v;
    return c;
}

// Force rises by `slope` N per sample over the whole curve.
TStgForceCurve Ramp(Word slope) {
    TStgForceCurve c;
    c.Present = 1;
    for (std::size_t k = 0; k < c.Force.size(); ++k)
        c.Force[k] = static_cast<Word>(slope * k);
    return c;
}

// A drive: rises to 400 N at sample 9, falls to 0 at sample 20, zeros after it.
TStgForceCurve Drive() {
    TStgForceCurve c;
    c.Present = 1;
    for (int k = 0; k < 10; ++k)
        c.Force[static_cast<std::size_t>(k)] = static_cast<Word>(40 * (k + 1));
    for (int k = 10; k < 20; ++k)
        c.Force[static_cast<std::size_t>(k)] = static_cast<Word>(400 - 40 * (k - 9));
    return c;
}

std::array<double, kForceCurveSamples> Resampled(const TStgForceCurve& c, double step) {
    std::array<double, kForceCurveSamples> out{};
    ResampleForceCurve(c.Force, step, out);
    return out;
}

// The average element, then strokes 1.. of the given lengths and energies.
std::vector<TStgStrokeData> Strokes(std::initializer_list<std::pair<float, float>> lengthAndEnergy) {
    std::vector<TStgStrokeData> v(1);
    for (auto [length, energy] : lengthAndEnergy)
        v.push_back(TStgStrokeData{.Length = length, .Energy = energy});
    return v;
}

struct TAverage {
    TStgStrokeData Stroke;
    TStgForceCurve Curve;
};

TAverage Average(const std::vector<TStgStrokeData>& strokes, const std::vector<TStgForceCurve>& curves) {
    TAverage a;
    AverageStrokes(strokes, curves, 0, a.Stroke, a.Curve);
    return a;
}

const TStgForceCurve kNone{};

} // namespace

TEST(CalcPeakForce, EqualPeaksAreAveragedAndRelatedToLength) {
    TStgStrokeData s;
    s.Length = 48;
    CalcPeakForce(s, CurveOf({{9, 200}, {10, 300}, {11, 250}, {12, 300}, {13, 100}}), 0);
    EXPECT_FLOAT_EQ(s.PeakForce, 300);
    EXPECT_FLOAT_EQ(s.PeakForcePos, 24); // samples 11 and 13 (1-based) x 2.0 cm
    EXPECT_FLOAT_EQ(s.RelPeakForcePos, 50);
    CalcPeakForce(s, CurveOf({{10, 300}, {12, 300}}), 1);
    EXPECT_FLOAT_EQ(s.PeakForcePos, 26.4f); // 2.2 cm apart with the big sprocket

    s.PeakForce = 999; // cleared before the search
    CalcPeakForce(s, TStgForceCurve{}, 0);
    EXPECT_EQ(s.PeakForce, 0);
    EXPECT_EQ(s.PeakForcePos, 0);
    s.Length = 0; // guarded division, no error
    CalcPeakForce(s, CurveOf({{4, 150}}), 0);
    EXPECT_FLOAT_EQ(s.PeakForcePos, 10);
    EXPECT_EQ(s.RelPeakForcePos, 0);
    CalcPeakForce(s, CurveOf({{0, 10}, {79, 10}}), 0); // the last sample counts as well
    EXPECT_FLOAT_EQ(s.PeakForcePos, 81);                // (1 + 80) x 2.0 / 2
}

TEST(EstimateStrokeLength, FirstZeroAfterTheDrive) {
    EXPECT_DOUBLE_EQ(EstimateStrokeLength(Drive(), 0), 19 * 2.0); // sample 19 is the first 0
    EXPECT_NEAR(EstimateStrokeLength(Drive(), 1), 19 * 2.2, 1e-9);
    EXPECT_DOUBLE_EQ(EstimateStrokeLength(TStgForceCurve{}, 0), 0);
    // A dip counts only when nothing after it is lower: a dip to 0 ends the drive early.
    TStgForceCurve c = Drive();
    c.Force[5] = 50;
    EXPECT_DOUBLE_EQ(EstimateStrokeLength(c, 0), 38);
    c.Force[5] = 0;
    EXPECT_DOUBLE_EQ(EstimateStrokeLength(c, 0), 10);
    // Every sample above the sensor limit: no point found.
    TStgForceCurve high;
    high.Force.fill(800);
    EXPECT_DOUBLE_EQ(EstimateStrokeLength(high, 0), -2.0);
}

TEST(ResampleForceCurve, StepsPlateausAndEnds) {
    const auto same = Resampled(Drive(), 1.0);
    for (std::size_t k = 0; k < same.size(); ++k)
        EXPECT_EQ(same[k], Drive().Force[k]) << k;
    // Plateaus are smoothed with the value before, which is already smoothed.
    const auto flat = Resampled(CurveOf({{1, 10}, {2, 20}, {3, 20}, {4, 20}, {5, 10}}), 1.0);
    EXPECT_EQ((std::vector<double>(flat.begin() + 1, flat.begin() + 6)), (std::vector<double>{10, 15, 17.5, 20, 10}));

    const std::tuple<double, std::size_t, double> cases[] = {
        {0.5, 1, 5}, {0.5, 79, 395}, // interpolated half way
        {2.0, 39, 780}, {2.0, 40, 0}, // exactly beyond the last sample
        {1.5, 53, 790}, {1.5, 54, 0}, // 79.5 is the last sample, 81.0 beyond
    };
    for (auto [step, k, value] : cases)
        EXPECT_EQ(Resampled(Ramp(10), step)[k], value) << step << " " << k;
    EXPECT_EQ(Resampled(CurveOf({{0, 100}}), -1.5)[1], 150); // |100 x -1.5|

    std::array<double, 10> shortOut{};
    shortOut.fill(7);
    ResampleForceCurve(Ramp(10).Force, 1.0, shortOut);
    EXPECT_EQ(shortOut[0], 7); // different bounds: nothing written
}

TEST(AverageStrokes, WhoTakesPartAndWhatIsAveraged) {
    TStgStrokeData avg;
    avg.Power = 5;
    TStgForceCurve curve;
    curve.Present = 1;
    AverageStrokes({}, {}, 0, avg, curve); // cleared, also with nothing to average
    EXPECT_EQ(avg, TStgStrokeData{});
    EXPECT_EQ(curve, TStgForceCurve{});

    TStgForceCurve absent = Ramp(9);
    absent.Present = 0;
    struct TCase {
        const char* What;
        std::vector<TStgStrokeData> Strokes;
        std::vector<TStgForceCurve> Curves;
        float Energy, Length, Peak;
        TStgForceCurve Expected;
        bool Copied; // a single stroke is copied whole
    };
    const TCase cases[] = {
        {"only the average element", Strokes({}), {Drive()}, 0, 0, 0, kNone, false},
        {"one stroke is copied", Strokes({{76, 50}}), {kNone, Drive()}, 50, 76, 400, Drive(), true},
        // Of several strokes the first never counts; the average curve is not marked present.
        {"stroke 1 left out", Strokes({{10, 900}, {40, 300}}), {kNone, Ramp(5), Drive()}, 300, 40, 400, Drive(), false},
        {"absent curves take no part", Strokes({{0, 0}, {40, 300}, {90, 5000}}), {kNone, kNone, Drive(), absent},
         300, 40, 400, Drive(), false},
        {"no curve present", Strokes({{0, 0}, {40, 300}}), {kNone, kNone, absent}, 0, 0, 0, kNone, false},
        {"strokes without a curve element", Strokes({{40, 0}, {40, 100}, {40, 0}, {40, 0}}), {kNone, kNone, Drive()},
         100, 40, 400, Drive(), false},
        {"one stroke element", Strokes({{40, 0}}), {kNone, kNone, Drive(), Drive()}, 0, 40, 0, kNone, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<TStgStrokeData> strokes = c.Strokes;
        for (TStgStrokeData& s : strokes)
            s.Power = 210; // never averaged, copied from a single stroke
        const TAverage a = Average(strokes, c.Curves);
        EXPECT_EQ(a.Stroke.Energy, c.Energy);
        EXPECT_EQ(a.Stroke.Length, c.Length);
        EXPECT_EQ(a.Stroke.PeakForce, c.Peak);
        EXPECT_EQ(a.Stroke.Power, c.Copied ? 210 : 0);
        EXPECT_EQ(a.Curve.Force, c.Expected.Force);
        EXPECT_EQ(a.Curve.Present, c.Copied ? c.Expected.Present : 0);
    }
    // The copied stroke gets its peak position.
    const TAverage one = Average(Strokes({{76, 0}}), {kNone, Drive()});
    EXPECT_FLOAT_EQ(one.Stroke.PeakForcePos, 20);
    EXPECT_FLOAT_EQ(one.Stroke.RelPeakForcePos, 2000.0f / 76);
}

TEST(AverageStrokes, CurvesAreStretchedToTheMeanLength) {
    // Lengths 30 and 50 (mean 40): steps 0.75 and 1.25 over a ramp of 10 N per sample give
    // 7.5 j and 12.5 j, which average to 10 j while 1.25 j stays inside the curve.
    const TAverage a = Average(Strokes({{0, 0}, {30, 100}, {50, 200}}), {kNone, kNone, Ramp(10), Ramp(10)});
    EXPECT_EQ(a.Stroke.Length, 40);
    EXPECT_EQ(a.Stroke.Energy, 150);
    for (std::size_t j = 0; j <= 63; ++j)
        EXPECT_EQ(a.Curve.Force[j], 10 * j) << j;
}

TEST(AverageStrokes, LengthsNotAboveZeroKeepTheCurveShape) {
    // Mean length 0: each curve is taken at step 1.0, not squeezed onto its first sample.
    EXPECT_EQ(Average(Strokes({{0, 0}, {0, 0}, {0, 0}}), {kNone, kNone, Drive(), Drive()}).Curve.Force,
              Drive().Force);
    // Negative lengths are estimated from the curve; an all-zero curve counts as 1 cm.
    TStgForceCurve empty;
    empty.Present = 1;
    const TAverage a = Average(Strokes({{0, 0}, {40, 0}, {-1, 0}}), {kNone, kNone, Drive(), empty});
    EXPECT_FLOAT_EQ(a.Stroke.Length, 19.5f);
    const auto stretched = Resampled(Drive(), 40 / 19.5);
    for (std::size_t k = 0; k < stretched.size(); ++k)
        EXPECT_EQ(a.Curve.Force[k], FloatToWord(static_cast<float>(stretched[k]) / 2)) << k;
}
