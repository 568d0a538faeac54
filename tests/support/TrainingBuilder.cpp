#include "support/TrainingBuilder.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"

#include <cmath>

void EnsureParameterTables()
{
    if (!StrokeParameters.empty())
        return;
    BuildParameterTables();
}

TTraining MakeRowedTraining(int strokes, int intervalStrokes)
{
    TTraining t;
    LoadDefaultTraining(t);
    t.Header.Title = "Two hours steady";
    t.Header.Name = "Tester";
    t.Header.ContentKind = 7;
    t.Header.Modified = 0;
    t.Header.Date = 45000.25;  // 2023-03-15 06:00
    t.Recorded = 1;
    if (intervalStrokes > 0) {
        t.Ini.SessionLimit = 4;
        t.Ini.IntervalBy = 0;
        t.Ini.WorkStrokes = intervalStrokes;
        t.Ini.WorkValue = intervalStrokes;
        t.Ini.LimitIntervals = strokes / intervalStrokes;
    }
    SetStrokeCount(t, strokes);
    double time = 0, distance = 0, energy = 0;
    for (int i = 1; i <= strokes; ++i) {
        TStgStrokeData& s = t.StrokeData[std::size_t(i)];
        const double wave = std::sin(i / 40.0);
        const double power = 180 + 25 * wave + (i % 7) * 2;
        const double rate = 30 + 1.5 * std::sin(i / 55.0);
        const double period = 60 / rate;
        const double speed = std::cbrt(power / 2.8);
        time += period;
        distance += speed * period;
        energy += power * period;
        s.Power = float(std::nearbyint(power));
        s.AvgPower = float(std::nearbyint(energy / time));
        s.StrokeRate = float(std::nearbyint(rate));
        s.Time = float(std::nearbyint(time * 8) / 8);
        s.Length = float(std::nearbyint(140 + 6 * wave));
        s.Distance = float(std::nearbyint(distance * 8) / 8);
        s.Est500mTime = float(std::nearbyint(500 / speed * 8) / 8);
        s.Energy = float(std::nearbyint(power * period));
        s.EnergySum = float(std::nearbyint(energy / 1000 * 8) / 8);
        s.Pulse = float(std::nearbyint(130 + 20 * double(i) / strokes));
        s.WorkPerPulse = float(std::nearbyint(s.Energy / (s.Pulse / rate) * 8) / 8);
        s.DriveTime = float(std::nearbyint(0.8 * 8) / 8);
        s.DriveRatio = float(std::nearbyint((period - 0.8) / 0.8 * 8) / 8);
        s.DistancePerStroke = float(std::nearbyint(speed * period * 100 * 8) / 8);
        s.K = 1;
        TStgForceCurve& c = t.ForceCurves[std::size_t(i)];
        c.Present = 1;
        const int samples = int(s.Length / 2.2);
        const double peak = 400 + 80 * wave;
        for (int k = 0; k < kForceCurveSamples && k < samples; ++k) {
            const double x = (k + 0.5) / samples;
            c.Force[std::size_t(k)] = Word(std::nearbyint(peak * std::sin(3.14159265 * x) * (1.1 - 0.3 * x)));
        }
        CalcPeakForce(s, c, t.Ini.Sprocket);
        if (intervalStrokes > 0)
            s.IntervalNumber = Word((i - 1) / intervalStrokes + 1);
    }
    if (intervalStrokes > 0) {
        for (int first = 1; first + intervalStrokes - 1 <= strokes; first += intervalStrokes) {
            TStgInterval interval;
            interval.Number = Word(t.Intervals.size() + 1);
            const auto begin = std::size_t(first);
            const auto end = begin + std::size_t(intervalStrokes);
            std::vector<TStgStrokeData> part(t.StrokeData.begin() + long(begin) - 1, t.StrokeData.begin() + long(end));
            std::vector<TStgForceCurve> curves(t.ForceCurves.begin() + long(begin) - 1, t.ForceCurves.begin() + long(end));
            AverageStrokes(part, curves, t.Ini.Sprocket, interval.Stroke, interval.Curve);
            // The curve average leaves the rates and times to the caller: plain means here.
            TStgStrokeData& avg = interval.Stroke;
            for (float TStgStrokeData::*f : {&TStgStrokeData::Power, &TStgStrokeData::AvgPower,
                                             &TStgStrokeData::StrokeRate, &TStgStrokeData::Est500mTime,
                                             &TStgStrokeData::Pulse, &TStgStrokeData::WorkPerPulse,
                                             &TStgStrokeData::DriveRatio, &TStgStrokeData::DriveTime,
                                             &TStgStrokeData::DistancePerStroke, &TStgStrokeData::K}) {
                double sum = 0;
                for (std::size_t i = begin; i < end; ++i)
                    sum += double(t.StrokeData[i].*f);
                avg.*f = float(sum / intervalStrokes);
            }
            avg.Time = t.StrokeData[end - 1].Time;
            avg.Distance = t.StrokeData[end - 1].Distance;
            avg.EnergySum = t.StrokeData[end - 1].EnergySum;
            avg.IntervalNumber = Word(t.Intervals.size() + 1);
            interval.Stroke.Number = Word(intervalStrokes);
            const TStgStrokeData& last = t.StrokeData[end - 1];
            const TStgStrokeData& before = t.StrokeData[begin - 1];
            interval.Time = Word(std::nearbyint(last.Time - before.Time));
            interval.Distance = Word(std::nearbyint(last.Distance - before.Distance));
            interval.AvgPower = Word(std::nearbyint(interval.Stroke.Power));
            interval.AvgRate = Word(std::nearbyint(interval.Stroke.StrokeRate));
            interval.AvgPulse = Word(std::nearbyint(interval.Stroke.Pulse));
            t.Intervals.push_back(interval);
        }
    }
    SetAverageStroke(t);
    t.Workout.Distance = float(std::nearbyint(distance * 8) / 8);
    t.Workout.Time = float(std::nearbyint(time * 8) / 8);
    t.Workout.Energy = float(std::nearbyint(energy / 1000 * 8) / 8);
    t.Workout.AvgPower = SafeDivide(t.Workout.Energy * 1000, t.Workout.Time);
    return t;
}
