#include "foundation/files/ForceCurveBrowsing.h"

#include "foundation/files/ForceCurveAverages.h"
#include "foundation/files/TrainingFiles.h"

namespace {

bool MoveTo(TTraining& training, std::int32_t number) {
    if (training.Header.CurrentStroke == number) return false;
    training.Header.CurrentStroke = number;
    return true;
}

} // namespace

bool CurvePresent(const TTraining& training, int number) {
    return number >= 1 && number <= StrokeHigh(training) &&
           static_cast<std::size_t>(number) < training.ForceCurves.size() &&
           training.ForceCurves[static_cast<std::size_t>(number)].Present != 0;
}

bool BrowseFirst(TTraining& training) {
    return training.Header.CurrentStroke > 1 && MoveTo(training, 1);
}

bool BrowsePrevious(TTraining& training) {
    std::int32_t current = training.Header.CurrentStroke;
    if (current < 2) return false;
    do
        --current;
    while (current > 1 && !CurvePresent(training, current));
    return MoveTo(training, current);
}

bool BrowseNext(TTraining& training) {
    const int high = StrokeHigh(training);
    std::int32_t current = training.Header.CurrentStroke;
    if (current >= high) return false;
    // A number read from a file may lie below 0: go on from 0.
    if (current < 0) current = 0;
    do
        ++current;
    while (current < high && !CurvePresent(training, current));
    return MoveTo(training, current);
}

bool BrowseLast(TTraining& training) {
    const int high = StrokeHigh(training);
    return training.Header.CurrentStroke < high && MoveTo(training, high);
}

bool SetCurveNumber(TTraining& training, int number) {
    if (number < 1 || number > StrokeHigh(training)) return false;
    return MoveTo(training, number);
}

bool PlayStep(TTraining& training) {
    if (training.Header.CurrentStroke >= StrokeHigh(training)) return false;
    BrowseNext(training);
    return true;
}

bool DeleteCurrentCurve(TTraining& training) {
    const std::int32_t current = training.Header.CurrentStroke;
    if (current < 1 || current > StrokeHigh(training) ||
        static_cast<std::size_t>(current) >= training.ForceCurves.size())
        return false;
    training.ForceCurves[static_cast<std::size_t>(current)].Present = 0;
    if (current >= 2)
        BrowsePrevious(training);
    else
        BrowseNext(training);
    SetAverageStroke(training);
    training.Header.Modified = 1;
    return true;
}

TBrowseControls BrowseControlsFor(const TTraining* selected, bool isAverage) {
    TBrowseControls c;
    if (selected == nullptr) return c;
    const TStgHeader& h = selected->Header;
    const bool active = h.Active != 0;
    const std::int32_t current = h.CurrentStroke;
    const int high = StrokeHigh(*selected);
    c.BrowseCurvesEnabled = active && !isAverage;
    c.AverageEnabled = active && (current > 1 || high != current || isAverage);
    c.IntervalsEnabled = active && selected->Intervals.size() > 1;
    if (h.CurveMode == kCurveModeSingle) {
        c.BrowseCurvesChecked = true;
        c.Back = active && current > 1;
        c.Forward = active && current > 0 && current < high;
        c.DeleteEnabled = active && current > 0 && high > 1;
        c.Number = current;
        c.Low = current > 0 ? 1 : 0;
        c.Top = high;
    } else if (h.CurveMode == kCurveModeAverage) {
        c.AverageChecked = true;
    }
    return c;
}
