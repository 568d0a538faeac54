#include "foundation/values/ValueAreaLayout.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

int Nint(double x) {
    if (!std::isfinite(x)) return 0;
    return static_cast<int>(std::clamp(std::nearbyint(x), -1e9, 1e9));
}

// Offset and size of part `index` of `count` equal parts of `total`; the last takes the rest.
void SplitEqual(int total, int count, int index, int& offset, int& size) {
    const int each = total / count;
    offset = each * index;
    size = index == count - 1 ? total - offset : each;
}

bool IsCellCode(int id) {
    return id == kEmptyCellId || id == kLogoCellId;
}

} // namespace

int TValueAreaLayout::CellCount(int row) const {
    return ValidRow(row) ? static_cast<int>(Rows[static_cast<std::size_t>(row)].size()) : 0;
}

int TValueAreaLayout::CellId(int row, int cell) const {
    return ValidCell(row, cell) ? Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(cell)]
                                : kEmptyCellId;
}

bool TValueAreaLayout::AddRow() {
    if (RowCount() >= kMaxValueRows) return false;
    Rows.emplace_back();
    return true;
}

bool TValueAreaLayout::DeleteRow(int row) {
    if (!ValidRow(row)) return false;
    Rows.erase(Rows.begin() + row);
    return true;
}

bool TValueAreaLayout::AddCell(int row, int id) {
    if (!ValidRow(row) || CellCount(row) >= kMaxValueCells) return false;
    Rows[static_cast<std::size_t>(row)].push_back(id);
    return true;
}

bool TValueAreaLayout::DeleteCell(int row, int cell) {
    if (!ValidCell(row, cell)) return false;
    auto& cells = Rows[static_cast<std::size_t>(row)];
    cells.erase(cells.begin() + cell);
    return true;
}

bool TValueAreaLayout::SetCellId(int row, int cell, int id) {
    if (!ValidCell(row, cell)) return false;
    Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(cell)] = id;
    return true;
}

bool TValueAreaLayout::PlaceCell(int row, int id, const TValueData& data) {
    if (row < 0 || row >= kMaxValueRows) return false;
    while (RowCount() <= row) Rows.emplace_back();
    return AddCell(row, IsCellCode(id) || data.ItemExists(id) ? id : kEmptyCellId);
}

QString TValueAreaLayout::ItemsText() const {
    QStringList tokens;
    for (int r = 0; r < RowCount(); ++r)
        for (int id : Rows[static_cast<std::size_t>(r)]) tokens << QStringLiteral("%1.%2").arg(r).arg(id);
    return tokens.join(QLatin1Char(' '));
}

void TValueAreaLayout::LoadItemsText(const QString& text, const TValueData& data) {
    Clear();
    for (const QString& token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype point = token.indexOf(QLatin1Char('.'));
        if (point < 0) continue;
        bool rowOk = false;
        bool idOk = false;
        const int row = token.left(point).toInt(&rowOk);
        const int id = token.mid(point + 1).toInt(&idOk);
        if (rowOk && idOk) PlaceCell(row, id, data);
    }
}

TValueRect TValueAreaLayout::RowRect(int row, int width, int height) const {
    if (!ValidRow(row)) return {};
    int top = 0;
    int h = 0;
    SplitEqual(height, RowCount(), row, top, h);
    return {0, top, width, top + h};
}

TValueRect TValueAreaLayout::CellRect(int row, int cell, int width, int height) const {
    if (!ValidCell(row, cell)) return {};
    const TValueRect r = RowRect(row, width, height);
    int left = 0;
    int w = 0;
    SplitEqual(width, CellCount(row), cell, left, w);
    return {left, r.Top, left + w, r.Bottom};
}

void TValueAreaLayout::HitTest(int x, int y, int width, int height, int& row, int& cell) const {
    row = -1;
    cell = -1;
    for (int r = 0; r < RowCount(); ++r) {
        const TValueRect rr = RowRect(r, width, height);
        if (y - rr.Top > 0 && y - rr.Top < rr.Height()) {
            row = r;
            break;
        }
    }
    if (row < 0) return;
    for (int c = 0; c < CellCount(row); ++c) {
        const TValueRect cr = CellRect(row, c, width, height);
        if (x - cr.Left > 0 && x - cr.Left < cr.Width()) {
            cell = c;
            break;
        }
    }
}

TValueRect LogoTarget(TLogoPosition position, int cw, int ch, int w, int h) {
    switch (position) {
    case TLogoPosition::lpStretch:
        return {0, 0, cw, ch};
    case TLogoPosition::lpProportional: {
        if (w <= 0 || h <= 0) return {};
        const double scale = static_cast<double>(ch + 1) / (cw + 1) <= static_cast<double>(h) / w
                                 ? static_cast<double>(ch + 1) / h
                                 : static_cast<double>(cw + 1) / w;
        const int sw = static_cast<int>(std::trunc(w * scale));
        const int sh = static_cast<int>(std::trunc(h * scale));
        const int left = (cw - sw) / 2;
        const int top = (ch - sh) / 2;
        return {left, top, left + sw - 1, top + sh - 1};
    }
    case TLogoPosition::lpCenter:
    default: {
        const int left = (cw - w) / 2;
        const int top = (ch - h) / 2;
        return {left, top, left + w - 1, top + h - 1};
    }
    }
}

int FitValueFontSize(int innerWidth, int innerHeight, int cx, int cy) {
    // Nothing measured (an empty text) or a cell too small: no text rather than a negative size.
    if (cx <= 0 || cy <= 0) return 0;
    const int byWidth = Nint(static_cast<double>(innerWidth - 8) * kValueMeasureSize / cx);
    const int byHeight = Nint(static_cast<double>(innerHeight - 8) * 140 / cy);
    return std::max(0, std::min(byWidth, byHeight));
}

double ValueFraction(const TValueItem& item, double v) {
    const double range = item.Max - item.Min;
    if (!(range > 0)) return 0;
    const double f = (v - item.Min) / range;
    if (!(f >= 0)) return 0; // also NaN
    return f > 1 ? 1 : f;
}

TValueCellPlan PlanValueCell(const TValueItem& item, int clientWidth, int clientHeight, int textHeight,
                             int measureCx, int measureCy) {
    TValueCellPlan plan;
    if (clientWidth < 5 || clientHeight < 5) return plan;
    plan.Visible = true;
    const int half = textHeight / 2;
    // The etched group-box frame: a light frame one pixel right and down of the dark one.
    plan.LightFrame = {1, half, clientWidth, clientHeight};
    plan.DarkFrame = {0, half - 1, clientWidth - 1, clientHeight - 1};
    const TValueRect& box = plan.DarkFrame;
    plan.Inner = {box.Left + 3 + 1, box.Top + half + 3, box.Right - 3, box.Bottom - half + 3};
    const TValueRect& in = plan.Inner;

    const double range = item.Max - item.Min;
    plan.HasRange = range > 0;
    const double steps = item.Step != 0 ? std::nearbyint(range / item.Step) : 0;

    plan.ValueFontSize = FitValueFontSize(in.Width(), in.Height(), measureCx, measureCy);
    plan.Plot = in;
    if (item.Flags & vfHistoryLeft) {
        const int width = Nint(static_cast<double>(measureCx) * plan.ValueFontSize / kValueMeasureSize);
        plan.Plot.Right = in.Right - width - 4;
    }
    if (!plan.HasRange) return plan;

    if (item.Flags & vfBar) {
        plan.Bar = true;
        const int barW = in.Width();
        plan.BarX = in.Left + Nint(barW * ValueFraction(item, item.Value));
        if ((item.Flags & vfBarGrid) && item.Step > 0 && (barW - 2) / 2.0 > steps) {
            for (int k = 0; k <= static_cast<int>(steps); ++k)
                plan.BarGridX.push_back(in.Left + Nint((barW - 2) * k * item.Step / range));
        }
        if (item.Flags & vfBarAvg) {
            plan.BarAvg = true;
            const double f = ValueFraction(item, item.Average);
            plan.BarAvgX = in.Left + Nint(barW * f) + (f == 0 ? 1 : 0) - (f == 1 ? 1 : 0);
        }
    }

    if (item.Flags & vfHistory) {
        plan.History = true;
        const TValueRect& p = plan.Plot;
        const int hh = p.Height() - 4;
        const auto y = [&](double f) { return p.Bottom - 2 - Nint(hh * f); };
        if ((item.Flags & vfHistoryGrid) && item.Step > 0 && hh / 2.0 > steps) {
            for (int k = 0; k <= static_cast<int>(steps); ++k) plan.HistoryGridY.push_back(y(k * item.Step / range));
        }
        if (item.Flags & vfHistoryAvg) {
            plan.HistoryAvg = true;
            plan.HistoryAvgY = y(ValueFraction(item, item.Average));
        }
        const double dx = (p.Width() - 4) / 24.0;
        for (int i = 0; i < kValueHistoryLength; ++i)
            plan.HistoryPoints[static_cast<std::size_t>(i)] = {
                p.Left + 2 + Nint(i * dx), y(ValueFraction(item, item.History[static_cast<std::size_t>(i)]))};
    }

    plan.MinMax = (item.Flags & vfMinMax) != 0;
    return plan;
}
