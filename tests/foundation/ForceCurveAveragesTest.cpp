#include "foundation/files/ForceCurveAverages.h"
#include "foundation/files/ForceCurveBrowsing.h"
#include "foundation/files/TrainingFiles.h"
#include "support/StrZtBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <vector>

namespace {

// Force rises by `slope` N per sample over the whole curve (no plateau for the resampler to even).
TStgForceCurve Ramp(double slope) {
    TStgForceCurve c;
    c.Present = 1;
    for (std::size_t k = 0; k < c.Force.size(); ++k)
        c.Force[k] = static_cast<Word>(slope * static_cast<double>(k));
    return c;
}

// A training of `strokes` strokes of the given length, each with a ramp curve, its session
// average in element 0, browsed at curve 1.
TTraining TrainingOf(int strokes, float length = 100, double slope = 5, bool active = true) {
    TTraining t;
    SetStrokeCount(t, strokes);
    for (int i = 1; i <= strokes; ++i) {
        t.StrokeData[static_cast<std::size_t>(i)].Length = length;
        t.ForceCurves[static_cast<std::size_t>(i)] = Ramp(slope);
        t.ForceCurves[static_cast<std::size_t>(i)].Number = static_cast<Word>(i);
        CalcPeakForce(t.StrokeData[static_cast<std::size_t>(i)], t.ForceCurves[static_cast<std::size_t>(i)], 0);
    }
    if (strokes > 0) SetAverageStroke(t);
    t.Header.Active = active ? 1 : 0;
    t.Header.CurrentStroke = strokes > 0 ? 1 : 0;
    return t;
}

std::set<int> AveragesTakenPartIn(const TTraining& t) {
    std::set<int> ks;
    const TStgStrokeData* s = nullptr;
    const TStgForceCurve* c = nullptr;
    for (int k = 1; k <= kAverageCount; ++k)
        if (AverageMember(t, k, s, c)) ks.insert(k);
    return ks;
}

TTraining Average(int k, std::vector<const TTraining*> trainings) {
    TTraining avg;
    InitAverageRecord(avg, k);
    ComputeAverageCurve(k, trainings, avg);
    return avg;
}

} // namespace

TEST(ForceCurveAverages, WhoTakesPartInEachAverage) {
    struct Case {
        const char* what;
        std::function<void(TTraining&)> change;
        std::set<int> expected;
    };
    const std::vector<Case> cases{
        {"active, browsing", [](TTraining&) {}, {1, 2, 3, 4}},
        {"not active", [](TTraining& t) { t.Header.Active = 0, t.Header.CurrentStroke = 2; }, {2, 4}},
        {"no strokes", [](TTraining& t) { t = TrainingOf(0); }, {}},
        {"current 0", [](TTraining& t) { t.Header.CurrentStroke = 0; }, {3, 4}},
        {"current beyond High", [](TTraining& t) { t.Header.CurrentStroke = 7; }, {3, 4}},  // read from a file
        {"shown stroke of length 0", [](TTraining& t) { t.StrokeData[1].Length = 0; }, {3, 4}},
        {"interval index outside",
         [](TTraining& t) { t.Header.CurveMode = kCurveModeInterval, t.Header.IntervalIndex = 5; }, {3, 4}},
        {"unknown curve mode", [](TTraining& t) { t.Header.CurveMode = 9; }, {3, 4}},
    };
    for (const Case& c : cases) {
        TTraining t = TrainingOf(3);
        c.change(t);
        EXPECT_EQ(AveragesTakenPartIn(t), c.expected) << c.what;
    }
}

TEST(ForceCurveAverages, RecordsAreInitialisedAsSessionAverages) {
    for (int k = 1; k <= kAverageCount; ++k) {
        TTraining avg = TrainingOf(5);
        InitAverageRecord(avg, k);
        // The old training is gone: one empty stroke, not active, shown as a session average.
        EXPECT_EQ(avg.Id, -k);
        EXPECT_EQ((std::vector<int>{avg.Header.Active, avg.Header.CurrentStroke, avg.Header.CurveMode}),
                  (std::vector<int>{0, 1, kCurveModeAverage}));
        ASSERT_EQ(avg.ForceCurves.size(), 2u);
        EXPECT_EQ(avg.StrokeData.size(), 2u);
        EXPECT_EQ(avg.ForceCurves[0], TStgForceCurve{});
    }
}

TEST(ForceCurveAverages, EqualLengthsGiveTheSameCurve) {
    const TTraining a = TrainingOf(4, 120, 5);
    const TTraining b = TrainingOf(2, 120, 5);
    const TTraining avg = Average(2, {&a, &b});
    EXPECT_EQ(avg.ForceCurves[0].Force, a.ForceCurves[1].Force);
    // Peak 5 N x sample 79, at sample 80 x 2.0 cm.
    const TStgStrokeData& s = avg.StrokeData[0];
    EXPECT_EQ((std::vector<float>{s.Length, s.PeakForce, s.PeakForcePos}), (std::vector<float>{120, 395, 160}));
    EXPECT_FLOAT_EQ(s.RelPeakForcePos, 160 * 100 / 120.0f);
}

TEST(ForceCurveAverages, CurvesAreBroughtToTheMeanLength) {
    // Mean length 200: the short stroke is stretched (every sample read at half its index), the
    // long one compressed (at 1.5 times it). Both ramps of 10 N per sample then read 5 j and
    // 15 j, whose mean is the ramp again.
    const TTraining shortStroke = TrainingOf(3, 100, 10);
    const TTraining longStroke = TrainingOf(3, 300, 10);
    const TTraining avg = Average(1, {&shortStroke, &longStroke});
    EXPECT_FLOAT_EQ(avg.StrokeData[0].Length, 200);
    for (int j = 0; j < 52; ++j) // beyond it the long stroke has run out of samples
        EXPECT_EQ(avg.ForceCurves[0].Force[static_cast<std::size_t>(j)], 10 * j) << j;
}

TEST(ForceCurveAverages, SliderCurvesAreReadAtTwoCentimetres) {
    // 4.5 cm apart: the force at result sample j (2 j cm) is the source's at 2 j / 4.5.
    TTraining slider = TrainingOf(2, 150, 45);
    slider.Ini.Ergometer = 2;
    const TTraining avg = Average(4, {&slider});
    for (int j = 0; j < kForceCurveSamples; ++j)
        EXPECT_EQ(avg.ForceCurves[0].Force[static_cast<std::size_t>(j)], 20 * j) << j;
}

TEST(ForceCurveAverages, CurvesWithoutLengthAreLeftOutOfBothPasses) {
    const TTraining a = TrainingOf(3, 300, 10);
    TTraining noLength = TrainingOf(3, 0, 10);
    const TTraining avg = Average(2, {&a, &noLength});
    EXPECT_FLOAT_EQ(avg.StrokeData[0].Length, 300);
    EXPECT_EQ(avg.ForceCurves[0].Force, a.ForceCurves[1].Force);

    // Nobody takes part: an all-zero curve of length 0.
    const TTraining none = Average(3, {&noLength});
    EXPECT_EQ(none.ForceCurves[0].Force, TStgForceCurve{}.Force);
    EXPECT_EQ(none.StrokeData[0], TStgStrokeData{});
}

TEST(ForceCurveScaling, GridValues) {
    TStgStrokeData s;
    s.Length = 100;
    s.Energy = 400;
    s.PeakForce = 275;
    s.PeakForcePos = 40;
    s.RelPeakForcePos = 40;
    struct Case {
        TCurveScaling scaling;
        TScaledStrokeValues expected;
    };
    const std::vector<Case> cases{
        {{false, 550, false, 150}, {100, 400, 275, 40, 40}},
        {{true, 550, false, 150}, {100, 800, 550, 40, 40}}, // 550 N against a 275 N peak
        {{false, 550, true, 150}, {150, 600, 275, 60, 40}},
        {{true, 550, true, 150}, {150, 1200, 550, 60, 40}},
        {{true, 550, true, 50}, {50, 400, 550, 20, 40}},
    };
    for (const Case& c : cases) {
        const TScaledStrokeValues v = ScaleStrokeValues(s, c.scaling);
        EXPECT_DOUBLE_EQ(v.Length, c.expected.Length);
        EXPECT_NEAR(v.Energy, c.expected.Energy, 1e-3);
        EXPECT_DOUBLE_EQ(v.PeakForce, c.expected.PeakForce);
        EXPECT_NEAR(v.PeakForcePos, c.expected.PeakForcePos, 1e-4);
        EXPECT_NEAR(v.RelPeakForcePos, c.expected.RelPeakForcePos, 1e-4);
    }

    // Zero peak and zero length: the guarded divisions give 0.
    const TScaledStrokeValues zero = ScaleStrokeValues(TStgStrokeData{}, {true, 550, true, 150});
    EXPECT_EQ((std::vector<double>{zero.Length, zero.Energy, zero.PeakForce, zero.PeakForcePos, zero.RelPeakForcePos}),
              (std::vector<double>{150, 0, 550, 0, 0}));
}

namespace {

std::array<std::int32_t, 26> IniWords(const TStgIni& ini) {
    std::array<std::int32_t, 26> v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = ini.*StgIniFields[i];
    return v;
}

std::array<std::uint8_t, 80> ForceBytes(const std::function<double(int)>& sample) {
    std::array<std::uint8_t, 80> b{};
    for (int j = 0; j < 80; ++j)
        b[static_cast<std::size_t>(j)] =
            static_cast<std::uint8_t>(std::min(255.0, std::nearbyint(std::nearbyint(sample(j)) / 3.85)));
    return b;
}

// A training of 3 strokes of 100 cm, browsed at stroke 2: energy 300 J, power 150 W, a ramp of
// 5 N per sample (peak 395 N).
TTraining ExportSource() {
    TTraining t = TrainingOf(3, 100, 5);
    t.Ini.Weight = 80;
    t.Ini.LimitTime = 1800;
    for (std::size_t i = 1; i <= 3; ++i) {
        t.StrokeData[i].Energy = 300;
        t.StrokeData[i].Power = 150;
        t.StrokeData[i].Number = static_cast<Word>(i);
    }
    t.Header.CurrentStroke = 2;
    return t;
}

std::vector<std::uint8_t> ExportBytes(const TTraining& source, const TCurveScaling& scaling) {
    TTraining target;
    BuildStrokeExport(source, scaling, target);
    return EncodeStrFile(target);
}

} // namespace

TEST(StrokeExport, PlainFixedForceAndFixedLength) {
    const TTraining src = ExportSource();
    struct Case {
        const char* what;
        TCurveScaling scaling;
        std::uint16_t power, length, energy;
        std::function<double(int)> force;
    };
    const std::vector<Case> cases{
        {"plain copy", {}, 150, 100, 300, [](int j) { return 5.0 * j; }},
        // 790 N doubles the 395 N peak and the energy; the other stroke fields are zeroed.
        {"fixed force", {true, 790, false, 150}, 0, 100, 600, [](int j) { return 10.0 * j; }},
        // 50 cm reads the 100 cm stroke at twice the index (nothing beyond its last sample) and
        // halves the energy.
        {"fixed length", {false, 550, true, 50}, 0, 50, 150, [](int j) { return j < 40 ? 10.0 * j : 0.0; }},
        {"both", {true, 790, true, 50}, 0, 50, 300, [](int j) { return j < 40 ? 20.0 * j : 0.0; }},
    };
    for (const Case& c : cases) {
        std::array<std::uint16_t, 16> stroke{};
        stroke[0] = 1;        // Number
        stroke[1] = c.power;
        stroke[6] = c.length;
        stroke[9] = c.energy;
        EXPECT_EQ(ExportBytes(src, c.scaling), StrFileBytes(stroke, ForceBytes(c.force), "", IniWords(src.Ini)))
            << c.what;
    }
}

TEST(StrokeExport, ForceAboveTheByteIsClampedByTheWriter) {
    // 999 N is 259.5 force steps: stored as the largest byte (981.75 N).
    const auto bytes = ExportBytes(ExportSource(), {true, 999, false, 150});
    EXPECT_EQ(bytes[kStrStrokeRecordSize + 79], 255);
    EXPECT_EQ(bytes[kStrStrokeRecordSize + 40], static_cast<std::uint8_t>(std::nearbyint(
                                                    std::nearbyint(200 * 999.0 / 395) / 3.85)));
}

TEST(StrokeExport, CurveModesAndNumbersOutsideTheArrays) {
    TTraining src = ExportSource();
    src.StrokeData[0].Energy = 333;
    src.Header.CurveMode = kCurveModeAverage;
    TTraining target;
    BuildStrokeExport(src, {}, target);
    EXPECT_EQ((std::vector<float>{target.StrokeData[1].Energy, float(target.StrokeData[1].Number)}),
              (std::vector<float>{333, 1}));

    src.Header.CurveMode = kCurveModeSingle;
    src.Header.CurrentStroke = 9;
    BuildStrokeExport(src, {}, target);
    EXPECT_EQ(target.ForceCurves[1].Force, TStgForceCurve{}.Force);
    EXPECT_EQ((std::vector<float>{target.StrokeData[1].Energy, float(target.StrokeData[1].Number)}),
              (std::vector<float>{0, 1}));
    EXPECT_EQ(target.Ini, src.Ini);
}

TEST(ForceCurveBrowsing, Steps) {
    enum Op { First, Previous, Next, Last, Number, Play };
    struct Case {
        const char* what;
        std::set<int> deleted;
        int from;
        Op op;
        int arg;
        int expected;
        bool result;
    };
    const std::vector<Case> cases{
        {"previous skips deleted curves", {3, 4}, 5, Previous, 0, 2, true},
        {"previous stops at 1 even when deleted", {1, 2}, 3, Previous, 0, 1, true},
        {"previous at 1", {}, 1, Previous, 0, 1, false},
        {"next skips deleted curves", {3}, 2, Next, 0, 4, true},
        {"next lands on High when the last two are deleted", {5, 6}, 4, Next, 0, 6, true},
        {"next at High", {}, 6, Next, 0, 6, false},
        {"next from a number below 0", {}, -3, Next, 0, 1, true},
        {"first", {}, 4, First, 0, 1, true},
        {"first at 1", {}, 1, First, 0, 1, false},
        {"last", {}, 2, Last, 0, 6, true},
        {"typed High", {}, 2, Number, 6, 6, true},
        {"typed High + 1", {}, 2, Number, 7, 2, false},
        {"typed 0", {}, 2, Number, 0, 2, false},
        {"play moves as next", {3, 4}, 2, Play, 0, 5, true},
        {"play from the last curve stops at once", {}, 6, Play, 0, 6, false},
    };
    for (const Case& c : cases) {
        TTraining t = TrainingOf(6);
        for (int d : c.deleted)
            t.ForceCurves[static_cast<std::size_t>(d)].Present = 0;
        t.Header.CurrentStroke = c.from;
        bool result = false;
        switch (c.op) {
        case First: result = BrowseFirst(t); break;
        case Previous: result = BrowsePrevious(t); break;
        case Next: result = BrowseNext(t); break;
        case Last: result = BrowseLast(t); break;
        case Number: result = SetCurveNumber(t, c.arg); break;
        case Play: result = PlayStep(t); break;
        }
        EXPECT_EQ(t.Header.CurrentStroke, c.expected) << c.what;
        EXPECT_EQ(result, c.result) << c.what;
    }
}

TEST(ForceCurveBrowsing, DeleteMovesOnRebuildsTheAverageAndMarksModified) {
    // Strokes 2 and 3 differ; the session average leaves stroke 1 out.
    TTraining t = TrainingOf(3, 100, 5);
    t.ForceCurves[3] = Ramp(7);
    t.StrokeData[2].Energy = 200;
    t.StrokeData[3].Energy = 400;
    SetAverageStroke(t);
    EXPECT_FLOAT_EQ(t.StrokeData[0].Energy, 300);

    t.Header.CurrentStroke = 2;
    ASSERT_TRUE(DeleteCurrentCurve(t));
    EXPECT_EQ((std::vector<int>{t.ForceCurves[2].Present, t.Header.CurrentStroke, t.Header.Modified}),
              (std::vector<int>{0, 1, 1}));
    EXPECT_FLOAT_EQ(t.StrokeData[0].Energy, 400);
    EXPECT_EQ(t.ForceCurves[0].Force, t.ForceCurves[3].Force);

    // At curve 1 it moves on to the next present curve.
    t.Header.Modified = 0;
    ASSERT_TRUE(DeleteCurrentCurve(t));
    EXPECT_EQ((std::vector<int>{t.Header.CurrentStroke, t.Header.Modified}), (std::vector<int>{3, 1}));

    t.Header.CurrentStroke = 0;
    t.Header.Modified = 0;
    EXPECT_FALSE(DeleteCurrentCurve(t));
    EXPECT_EQ(t.Header.Modified, 0);
}

TEST(ForceCurveBrowsing, EnableTable) {
    struct Case {
        const char* what;
        std::function<void(TTraining&)> change;  // of a training of 3 strokes at curve 2
        bool isAverage;
        // BrowseCurvesEnabled, AverageEnabled, IntervalsEnabled, BrowseCurvesChecked,
        // AverageChecked, Back, Forward, DeleteEnabled
        std::array<bool, 8> flags;
        std::array<int, 3> numbers; // Number, Low, Top
    };
    const std::vector<Case> cases{
        {"one stroke", [](TTraining& t) { t = TrainingOf(1); }, false, {1, 0, 0, 1, 0, 0, 0, 0}, {1, 1, 1}},
        {"middle curve", [](TTraining&) {}, false, {1, 1, 0, 1, 0, 1, 1, 1}, {2, 1, 3}},
        {"last curve", [](TTraining& t) { t.Header.CurrentStroke = 3; }, false, {1, 1, 0, 1, 0, 1, 0, 1}, {3, 1, 3}},
        {"not active", [](TTraining& t) { t.Header.Active = 0; }, false, {0, 0, 0, 1, 0, 0, 0, 0}, {2, 1, 3}},
        {"an average", [](TTraining& t) { InitAverageRecord(t, 2), t.Header.Active = 1; }, true,
         {0, 1, 0, 0, 1, 0, 0, 0}, {0, 0, 0}},
        {"session average", [](TTraining& t) { t.Header.CurveMode = kCurveModeAverage; }, false,
         {1, 1, 0, 0, 1, 0, 0, 0}, {0, 0, 0}},
        {"interval mode", [](TTraining& t) { t.Header.CurveMode = kCurveModeInterval, SetIntervalCount(t, 2); },
         false, {1, 1, 1, 0, 0, 0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        TTraining t = TrainingOf(3);
        t.Header.CurrentStroke = 2;
        c.change(t);
        const TBrowseControls b = BrowseControlsFor(&t, c.isAverage);
        const std::array<bool, 8> flags{b.BrowseCurvesEnabled, b.AverageEnabled, b.IntervalsEnabled,
                                        b.BrowseCurvesChecked, b.AverageChecked,  b.Back,
                                        b.Forward,             b.DeleteEnabled};
        EXPECT_EQ(flags, c.flags) << c.what;
        EXPECT_EQ((std::array<int, 3>{b.Number, b.Low, b.Top}), c.numbers) << c.what;
    }
    const TBrowseControls none = BrowseControlsFor(nullptr, false);
    EXPECT_FALSE(none.BrowseCurvesEnabled || none.AverageEnabled || none.BrowseCurvesChecked ||
                 none.AverageChecked || none.StepsEnabled());
}
