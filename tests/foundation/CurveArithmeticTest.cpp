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
}

TEST(CalcPeakForce, EdgeCases) {
    TStgStrokeData s;
    s.PeakForce = 999; // cleared before the search
    CalcPeakForce(s, TStgForceCurve{}, 0);
    EXPECT_EQ(s.PeakForce, 0);
    EXPECT_EQ(s.PeakForcePos, 0);
    EXPECT_EQ(s.RelPeakForcePos, 0);

    s.Length = 0; // guarded division, no error
    CalcPeakForce(s, CurveOf({{4, 150}}), 0);
    EXPECT_FLOAT_EQ(s.PeakForcePos, 10);
    EXPECT_EQ(s.RelPeakForcePos, 0);

    // The last sample of the curve counts as well.
    CalcPeakForce(s, CurveOf({{0, 10}, {79, 10}}), 0);
    EXPECT_FLOAT_EQ(s.PeakForcePos, 81); // (1 + 80) x 2.0 / 2
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

TEST(ResampleForceCurve, StepOneKeepsTheCurveButSmoothsPlateaus) {
    const auto same = Resampled(Drive(), 1.0);
    for (std::size_t k = 0; k < same.size(); ++k)
        EXPECT_EQ(same[k], Drive().Force[k]) << k;

    const auto flat = Resampled(CurveOf({{1, 10}, {2, 20}, {3, 20}, {4, 20}, {5, 10}}), 1.0);
    EXPECT_EQ(flat[1], 10);
    EXPECT_EQ(flat[2], 15);   // (20 + 10) / 2
    EXPECT_EQ(flat[3], 17.5); // (20 + 15) / 2: the previous value is already smoothed
    EXPECT_EQ(flat[4], 20);
    EXPECT_EQ(flat[5], 10);
}

TEST(ResampleForceCurve, StretchCompressAndEnds) {
    const auto half = Resampled(Ramp(10), 0.5);
    EXPECT_EQ(half[1], 5); // interpolated half way
    EXPECT_EQ(half[79], 395);
    const auto twice = Resampled(Ramp(10), 2.0);
    EXPECT_EQ(twice[39], 780);
    EXPECT_EQ(twice[40], 0); // exactly beyond the last sample
    const auto wide = Resampled(Ramp(10), 1.5);
    EXPECT_EQ(wide[53], 790); // 79.5: the last sample
    EXPECT_EQ(wide[54], 0);   // 81.0: beyond
    const auto negative = Resampled(CurveOf({{0, 100}}), -1.5);
    EXPECT_EQ(negative[1], 150); // |100 x -1.5|

    std::array<double, 10> shortOut{};
    shortOut.fill(7);
    ResampleForceCurve(Ramp(10).Force, 1.0, shortOut);
    EXPECT_EQ(shortOut[0], 7); // different bounds: nothing written
}

TEST(AverageStrokes, NoStrokesGivesZeros) {
    TStgStrokeData avg;
    avg.Power = 5;
    TStgForceCurve curve;
    curve.Present = 1;
    AverageStrokes({}, {}, 0, avg, curve);
    EXPECT_EQ(avg, TStgStrokeData{});
    EXPECT_EQ(curve, TStgForceCurve{});

    std::vector<TStgStrokeData> strokes(1);
    std::vector<TStgForceCurve> curves(1, Drive());
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(curve, TStgForceCurve{});
}

TEST(AverageStrokes, OneStrokeIsCopied) {
    std::vector<TStgStrokeData> strokes(2);
    strokes[1].Number = 1;
    strokes[1].Power = 210;
    strokes[1].Length = 76;
    std::vector<TStgForceCurve> curves{TStgForceCurve{}, Drive()};
    curves[1].Number = 1;
    TStgStrokeData avg;
    TStgForceCurve curve;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(avg.Power, 210);
    EXPECT_EQ(curve, curves[1]);
    EXPECT_EQ(avg.PeakForce, 400);
    EXPECT_FLOAT_EQ(avg.PeakForcePos, 20);
    EXPECT_FLOAT_EQ(avg.RelPeakForcePos, 2000.0f / 76);
}

TEST(AverageStrokes, TwoStrokesAverageTheSecondOnly) {
    std::vector<TStgStrokeData> strokes(3);
    strokes[1].Energy = 900;
    strokes[1].Length = 10;
    strokes[2].Energy = 300;
    strokes[2].Length = 40;
    strokes[2].Power = 250;
    std::vector<TStgForceCurve> curves{TStgForceCurve{}, Ramp(5), Drive()};
    TStgStrokeData avg;
    TStgForceCurve curve;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(avg.Energy, 300);
    EXPECT_EQ(avg.Length, 40);
    EXPECT_EQ(avg.Power, 0); // only energy, length and the peak fields are averaged
    EXPECT_EQ(curve.Force, Drive().Force);
    EXPECT_EQ(curve.Present, 0);
    EXPECT_EQ(avg.PeakForce, 400);
}

TEST(AverageStrokes, CurvesAreStretchedToTheMeanLength) {
    // Lengths 30 and 50 (mean 40): steps 0.75 and 1.25 over a ramp of 10 N per sample give
    // 7.5 j and 12.5 j, which average to 10 j while 1.25 j stays inside the curve.
    std::vector<TStgStrokeData> strokes(4);
    strokes[2].Length = 30;
    strokes[3].Length = 50;
    strokes[2].Energy = 100;
    strokes[3].Energy = 200;
    std::vector<TStgForceCurve> curves{TStgForceCurve{}, TStgForceCurve{}, Ramp(10), Ramp(10)};
    TStgStrokeData avg;
    TStgForceCurve curve;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(avg.Length, 40);
    EXPECT_EQ(avg.Energy, 150);
    for (std::size_t j = 0; j <= 63; ++j)
        EXPECT_EQ(curve.Force[j], 10 * j) << j;
}

TEST(AverageStrokes, CurvesNotPresentTakeNoPart) {
    std::vector<TStgStrokeData> strokes(4);
    strokes[2].Length = 40;
    strokes[2].Energy = 300;
    strokes[3].Length = 90;
    strokes[3].Energy = 5000;
    std::vector<TStgForceCurve> curves{TStgForceCurve{}, TStgForceCurve{}, Drive(), Ramp(9)};
    curves[3].Present = 0;
    TStgStrokeData avg;
    TStgForceCurve curve;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(avg.Energy, 300);
    EXPECT_EQ(avg.Length, 40);
    EXPECT_EQ(curve.Force, Drive().Force);

    curves[2].Present = 0;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(avg.Energy, 0);
    EXPECT_EQ(curve, TStgForceCurve{});
}

TEST(AverageStrokes, LengthsNotAboveZeroKeepTheCurveShape) {
    // Mean length 0: each curve is taken at step 1.0, not squeezed onto its first sample.
    std::vector<TStgStrokeData> strokes(4);
    std::vector<TStgForceCurve> curves{TStgForceCurve{}, TStgForceCurve{}, Drive(), Drive()};
    TStgStrokeData avg;
    TStgForceCurve curve;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_EQ(curve.Force, Drive().Force);

    // Negative lengths are estimated from the curve; an all-zero curve counts as 1 cm.
    strokes[2].Length = 40;
    strokes[3].Length = -1;
    curves[3] = TStgForceCurve{};
    curves[3].Present = 1;
    AverageStrokes(strokes, curves, 0, avg, curve);
    EXPECT_FLOAT_EQ(avg.Length, 19.5f);
    const auto stretched = Resampled(Drive(), 40 / 19.5);
    for (std::size_t k = 0; k < stretched.size(); ++k)
        EXPECT_EQ(curve.Force[k], FloatToWord(static_cast<float>(stretched[k]) / 2)) << k;
}

TEST(AverageStrokes, OnlyIndexesOfBothArraysCount) {
    std::vector<TStgStrokeData> strokes(5);
    for (auto& s : strokes)
        s.Length = 40;
    strokes[2].Energy = 100;
    std::vector<TStgForceCurve> curves{TStgForceCurve{}, TStgForceCurve{}, Drive()};
    TStgStrokeData avg;
    TStgForceCurve curve;
    AverageStrokes(strokes, curves, 0, avg, curve); // strokes 3 and 4 have no curve element
    EXPECT_EQ(avg.Energy, 100);
    EXPECT_EQ(curve.Force, Drive().Force);

    curves.resize(6, Drive());
    strokes.resize(2);
    AverageStrokes(strokes, curves, 0, avg, curve); // one stroke element: copied
    EXPECT_EQ(avg.Length, 40);
    EXPECT_EQ(curve.Force, TStgForceCurve{}.Force);
}
