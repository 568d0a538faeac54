#include "foundation/values/ValueAreaLayout.h"

#include <gtest/gtest.h>

namespace {

void DefineItems(TValueData& data) {
    for (int id : {0, 1, 2, 5, 41}) data.DefineValue(id, QStringLiteral("V%1").arg(id), QString(), QStringLiteral("%1.0f"));
}

} // namespace

TEST(ValueAreaLayout, ItemsTextRoundTripsAndSurvivesHostileInput) {
    TValueData data;
    DefineItems(data);
    struct TCase {
        const char* Text;
        std::vector<std::vector<int>> Rows;
        const char* Written;
    };
    const std::vector<TCase> cases = {
        {"0.1 2.-2", {{1}, {}, {-2}}, "0.1 2.-2"},
        {"0.1 0.5 1.41 1.-1", {{1, 5}, {41, -1}}, "0.1 0.5 1.41 1.-1"},
        {"", {}, ""},
        {"0.7", {{-1}}, "0.-1"},                       // undefined item: an empty cell
        {"0.1  x 1 .2 1. a.b 1.2", {{1}, {2}}, "0.1 1.2"}, // bad tokens skipped
        {"999999.1 -1.1 0.0", {{0}}, "0.0"},           // no million rows, no negative row
        {"19.1", std::vector<std::vector<int>>(19), nullptr},
        {"0.2 0.1.5 0.99999999999", {{2}}, "0.2"},
    };
    for (const TCase& c : cases) {
        TValueAreaLayout layout;
        layout.Rows = {{3, 3}};
        layout.LoadItemsText(QString::fromLatin1(c.Text), data);
        if (c.Written == nullptr) {
            ASSERT_EQ(layout.RowCount(), 20) << c.Text;
            EXPECT_EQ(layout.Rows[19], std::vector<int>{1});
            continue;
        }
        EXPECT_EQ(layout.Rows, c.Rows) << c.Text;
        EXPECT_EQ(layout.ItemsText(), QString::fromLatin1(c.Written)) << c.Text;
    }

    // The caps: 20 rows, 20 cells a row, whatever the text asks for.
    QString many;
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 30; ++c) many += QStringLiteral("%1.1 ").arg(r);
    TValueAreaLayout layout;
    layout.LoadItemsText(many, data);
    EXPECT_EQ(layout.RowCount(), kMaxValueRows);
    EXPECT_EQ(layout.CellCount(19), kMaxValueCells);
    EXPECT_FALSE(layout.AddRow());
    EXPECT_FALSE(layout.AddCell(0, 1));
}

TEST(ValueAreaLayout, EditingOperationsStayInsideTheLayout) {
    TValueData data;
    DefineItems(data);
    TValueAreaLayout layout;
    EXPECT_FALSE(layout.AddCell(0, 1));
    EXPECT_TRUE(layout.AddRow());
    EXPECT_TRUE(layout.AddCell(0, 1));
    EXPECT_TRUE(layout.AddCell(0, 2));
    EXPECT_TRUE(layout.SetCellId(0, 1, kLogoCellId));
    EXPECT_FALSE(layout.SetCellId(0, 2, 5));
    EXPECT_FALSE(layout.DeleteCell(0, -1));
    EXPECT_FALSE(layout.DeleteRow(1));
    EXPECT_EQ(layout.CellId(0, 1), kLogoCellId);
    EXPECT_EQ(layout.CellId(3, 0), kEmptyCellId);
    EXPECT_TRUE(layout.DeleteCell(0, 0));
    EXPECT_EQ(layout.Rows, (std::vector<std::vector<int>>{{kLogoCellId}}));
    EXPECT_FALSE(layout.PlaceCell(-1, 1, data));
    EXPECT_TRUE(layout.PlaceCell(2, 3, data));
    EXPECT_EQ(layout.ItemsText(), QStringLiteral("0.-2 2.-1"));
    EXPECT_TRUE(layout.DeleteRow(0));
    EXPECT_EQ(layout.RowCount(), 2);
}

// Rows split the height and cells their row's width in equal parts, the last part taking the
// rest; a point on a border belongs to no row or cell.
TEST(ValueAreaLayout, RowsAndCellsTileTheAreaAndHitTestFindsThem) {
    TValueAreaLayout layout;
    layout.Rows = {{1}, {1, 2, 5}, {}, std::vector<int>(20, 1)};
    const auto hit = [&](int x, int y, int w, int h) {
        int row = 7, cell = 7;
        layout.HitTest(x, y, w, h, row, cell);
        return std::pair{row, cell};
    };
    for (auto [w, h] : {std::pair{200, 100}, {1010, 90}, {203, 411}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        int top = 0;
        for (int r = 0; r < layout.RowCount(); ++r) {
            const TValueRect row = layout.RowRect(r, w, h);
            EXPECT_EQ(row, (TValueRect{0, top, w, r == 3 ? h : top + h / 4}));
            EXPECT_EQ(hit(w / 2, row.Top, w, h).first, -1);
            top = row.Bottom;
            const int n = layout.CellCount(r);
            if (n == 0) {
                EXPECT_EQ(hit(w / 2, row.Top + 1, w, h), std::pair(r, -1));
            }
            int left = 0;
            for (int c = 0; c < n; ++c) {
                const TValueRect cell = layout.CellRect(r, c, w, h);
                EXPECT_EQ(cell, (TValueRect{left, row.Top, c == n - 1 ? w : left + w / n, row.Bottom}));
                left = cell.Right;
                EXPECT_EQ(hit(cell.Left, row.Top + 1, w, h), std::pair(r, -1));
                EXPECT_EQ(hit(cell.Left + 1, row.Top + 1, w, h), std::pair(r, c));
                EXPECT_EQ(hit(cell.Right - 1, row.Bottom - 1, w, h), std::pair(r, c));
            }
        }
        EXPECT_EQ(top, h);
        EXPECT_EQ(layout.CellRect(2, 0, w, h), TValueRect{});
        EXPECT_EQ(hit(w / 2, h, w, h), std::pair(-1, -1));
        EXPECT_EQ(hit(-5, -5, w, h), std::pair(-1, -1));
    }
}

TEST(ValueAreaLayout, CellPlanFollowsTheFormulas) {
    TValueItem item;
    item.ID = 1;
    item.Min = 0;
    item.Max = 200;
    item.Step = 50;
    item.Value = 50;
    item.Average = 100;
    item.Flags = vfBar | vfBarGrid | vfBarAvg | vfHistory | vfHistoryGrid | vfHistoryAvg | vfMinMax;
    item.History.fill(-1.0);
    item.History[24] = 200;
    item.History[12] = 100;
    // Client 192 x 92, text height 15: half 7.
    const TValueCellPlan plan = PlanValueCell(item, 192, 92, 15, 160, 115);
    ASSERT_TRUE(plan.Visible);
    EXPECT_EQ(plan.LightFrame, (TValueRect{1, 7, 192, 92}));
    EXPECT_EQ(plan.DarkFrame, (TValueRect{0, 6, 191, 91}));
    EXPECT_EQ(plan.Inner, (TValueRect{4, 16, 188, 87}));
    EXPECT_EQ(plan.BarX, 4 + 46); // 184 x 0.25
    EXPECT_EQ(plan.BarGridX, (std::vector<int>{4, 50, 95, 140, 186}));   // 182 x k / 4, ties to even
    EXPECT_EQ(plan.BarAvgX, 4 + 92);
    // History: HH = 71 - 4 = 67; y(f) = 87 - 2 - nint(67 f).
    EXPECT_EQ(plan.HistoryGridY, (std::vector<int>{85, 68, 51, 35, 18}));
    EXPECT_EQ(plan.HistoryAvgY, 85 - 34);
    EXPECT_EQ(plan.HistoryPoints[0], (TValuePoint{6, 85}));  // empty slot: fraction 0
    EXPECT_EQ(plan.HistoryPoints[12], (TValuePoint{6 + 90, 51}));
    EXPECT_EQ(plan.HistoryPoints[24], (TValuePoint{186, 18}));
    // Font fit: min(nint(176 x 100 / 160), nint(63 x 140 / 115)) = min(110, 77).
    EXPECT_EQ(plan.ValueFontSize, 77);
    EXPECT_EQ(plan.Plot, plan.Inner);

    // The graph left of the number: the number's width at the fitted size, then 4 px.
    item.Flags |= vfHistoryLeft;
    EXPECT_EQ(PlanValueCell(item, 192, 92, 15, 160, 115).Plot.Right, 188 - 123 - 4);

    // Fractions at the ends move the average marker inside; a too dense grid is left out.
    item.Average = -5;
    item.Step = 0.1;
    TValueCellPlan ends = PlanValueCell(item, 192, 92, 15, 160, 115);
    EXPECT_EQ(ends.BarAvgX, 5);
    EXPECT_TRUE(ends.BarGridX.empty());
    EXPECT_TRUE(ends.HistoryGridY.empty());
    item.Average = 1e9;
    item.Step = 0;
    ends = PlanValueCell(item, 192, 92, 15, 160, 115);
    EXPECT_EQ(ends.BarAvgX, 187);
    EXPECT_TRUE(ends.BarGridX.empty());

    // Max = Min: only frame, caption and value.
    item.Max = 0;
    const TValueCellPlan flat = PlanValueCell(item, 192, 92, 15, 160, 115);
    EXPECT_TRUE(flat.Visible);
    EXPECT_FALSE(flat.Bar || flat.History || flat.MinMax || flat.BarAvg);
    EXPECT_EQ(flat.ValueFontSize, 77);

    // Tiny cells: nothing below 5 px; no negative or divided-by-zero font size.
    EXPECT_FALSE(PlanValueCell(item, 4, 90, 15, 160, 115).Visible);
    EXPECT_EQ(PlanValueCell(item, 8, 8, 15, 160, 115).ValueFontSize, 0);
    EXPECT_EQ(FitValueFontSize(100, 100, 0, 115), 0);
    EXPECT_EQ(FitValueFontSize(100, 100, 50, 0), 0);
    EXPECT_EQ(FitValueFontSize(2, 100, 50, 100), 0);
}

TEST(ValueAreaLayout, LogoTargets) {
    EXPECT_EQ(LogoTarget(TLogoPosition::lpCenter, 99, 49, 40, 20), (TValueRect{29, 14, 68, 33}));
    EXPECT_EQ(LogoTarget(TLogoPosition::lpStretch, 99, 49, 40, 20), (TValueRect{0, 0, 99, 49}));
    // 100 x 50 client and a 40 x 10 logo: wide, scale 100 / 40.
    EXPECT_EQ(LogoTarget(TLogoPosition::lpProportional, 99, 49, 40, 10), (TValueRect{0, 12, 99, 36}));
    // A tall logo: scale 50 / 20.
    EXPECT_EQ(LogoTarget(TLogoPosition::lpProportional, 99, 49, 10, 20), (TValueRect{37, 0, 61, 49}));
    EXPECT_EQ(LogoTarget(TLogoPosition::lpProportional, 99, 49, 0, 20), TValueRect{});
}
