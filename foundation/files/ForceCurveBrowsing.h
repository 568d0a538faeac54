// Browsing a training's force curves: the steps of the browse buttons, the number field and the
// play timer, deleting a curve, and which browse controls the selected record enables. The state
// lives in the record itself (Header.CurrentStroke, Header.CurveMode, the curves' Present flags).
#pragma once

#include "foundation/core/Types.h"

// Whether curve `number` exists and was not deleted (numbers outside 1..High are not present).
bool CurvePresent(const TTraining& training, int number);

// Each step returns true when the current number changed.
bool BrowseFirst(TTraining& training);
// Back to the nearest present curve before the current one, but never below 1.
bool BrowsePrevious(TTraining& training);
// On to the nearest present curve after the current one, or to High.
bool BrowseNext(TTraining& training);
bool BrowseLast(TTraining& training);
// Number outside 1..High: nothing changes.
bool SetCurveNumber(TTraining& training, int number);
// One tick of the play timer: true while play goes on (the record moved as with Next); false at
// or beyond High, where play stops.
bool PlayStep(TTraining& training);

// Marks the current curve deleted, moves to the previous present curve (or, at curve 1, to the
// next), rebuilds the session average without it and marks the training modified. False (nothing
// changed) when the current number is outside 1..High.
bool DeleteCurrentCurve(TTraining& training);

// Which browse controls a selected list item enables. Without a selection every value is false
// or 0; outside curve mode 0 the single-curve values stay so.
struct TBrowseControls {
    bool BrowseCurvesEnabled = false;
    bool AverageEnabled = false;
    bool IntervalsEnabled = false;
    bool BrowseCurvesChecked = false;
    bool AverageChecked = false;
    bool Back = false;    // First, Previous
    bool Forward = false; // Next, Last
    bool DeleteEnabled = false;
    int Number = 0; // the number field and the scroll position
    int Low = 0;    // the scroll range
    int Top = 0;
    // The number field, the scroll bar and Play.
    bool StepsEnabled() const { return Back || Forward; }
};
TBrowseControls BrowseControlsFor(const TTraining* selected, bool isAverage);
