#include "foundation/catalogue/ChartModel.h"

#include <algorithm>
#include <cmath>

void TChartAxis::SetMinMax(double minimum, double maximum) {
    Automatic = false;
    Minimum = std::min(minimum, maximum);
    Maximum = std::max(minimum, maximum);
}

TChartModel::TChartModel() {
    Top.Visible = false;
    Right.TitleAngle = 90;
}

TChartSeries& TChartModel::AddSeries(TSeriesKind kind) {
    TChartSeries& s = Series.emplace_back();
    s.Kind = kind;
    s.Points.reserve(static_cast<std::size_t>(std::max(DefaultCapacity, 0)));
    return s;
}

namespace {

template <typename Pick>
bool Extent(const TChartModel& chart, Pick pick, double& minimum, double& maximum) {
    bool any = false;
    for (const TChartSeries& s : chart.Series) {
        for (const TChartPoint& p : s.Points) {
            double v = 0;
            if (!pick(s, p, v) || !std::isfinite(v)) continue;
            if (!any) {
                minimum = maximum = v;
                any = true;
            } else {
                minimum = std::min(minimum, v);
                maximum = std::max(maximum, v);
            }
        }
    }
    return any;
}

} // namespace

bool ChartDataRangeY(const TChartModel& chart, TVertAxis axis, double& minimum, double& maximum) {
    return Extent(
        chart,
        [axis](const TChartSeries& s, const TChartPoint& p, double& v) {
            v = p.Y;
            return s.VertAxis == axis;
        },
        minimum, maximum);
}

bool ChartDataRangeX(const TChartModel& chart, double& minimum, double& maximum) {
    return Extent(
        chart,
        [](const TChartSeries&, const TChartPoint& p, double& v) {
            v = p.X;
            return true;
        },
        minimum, maximum);
}
