#include "session/GoalRuler.h"

#include "foundation/core/AppUtils.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kInsetLeft = 3;
constexpr int kInsetRight = 4;

int RoundToInt(double v) {
    return int(std::nearbyint(v));
}

}  // namespace

TGoalRuler GoalRulerGeometry(int left, int top, int right, int bottom, int target, double value,
                             bool finished) {
    TGoalRuler r;
    if (target <= 0)
        return r;
    r.Empty = false;
    double v = std::max(0.0, std::min(value, double(target)));
    if (finished)
        v = target;
    r.Step = target < 10 ? 1 : target / 10;
    r.Ticks = target / r.Step + 1;
    const int x0 = left + kInsetLeft;
    const int w = (right - kInsetRight) - x0;
    const double scale = SafeDivide(float(w), float(target + r.Step));
    const double d = r.Step * scale;
    r.Baseline = bottom - 4;
    r.TickTop = bottom - 6;
    r.LabelTop = top + 4;
    r.TickX.reserve(std::size_t(r.Ticks));
    for (int k = 1; k <= r.Ticks; ++k)
        r.TickX.push_back(x0 + RoundToInt(k * d));
    for (int k = 2; k < r.Ticks; ++k)
        r.Labels.push_back({r.TickX[std::size_t(k - 1)], QString::number((k - 1) * r.Step)});
    r.Marker = QRect(QPoint(x0 + RoundToInt(0.1 * d + v * scale), top + 4),
                     QPoint(x0 + RoundToInt(v * scale + d), bottom - 10));
    return r;
}
