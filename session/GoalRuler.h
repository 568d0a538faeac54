// The goal ruler of the row window's status bar: a scale from 0 to the session's target with a
// marker whose right edge stands at the value reached. Pure geometry, so that it can be checked
// without painting.
#pragma once

#include <QRect>
#include <QString>
#include <vector>

struct TGoalRulerLabel {
    int X = 0;  // centre of the text
    QString Text;
};

struct TGoalRuler {
    bool Empty = true;  // no target: the panel is only filled
    int Step = 0;
    int Ticks = 0;
    std::vector<int> TickX;  // x of tick 1 .. Ticks
    std::vector<TGoalRulerLabel> Labels;
    int Baseline = 0;        // y of the line joining the ticks
    int TickTop = 0;         // ticks reach from TickTop to Baseline
    int LabelTop = 0;
    QRect Marker;            // the value marker (left, top, right, bottom as drawn)
};

// left/top/right/bottom: the panel's edges (right and bottom exclusive). target <= 0 gives an
// empty ruler; value is limited to the target, and stands at it once the session is finished.
TGoalRuler GoalRulerGeometry(int left, int top, int right, int bottom, int target, double value,
                             bool finished);
