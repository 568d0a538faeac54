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

TEST(ValueAreaLayout, GeometryAndHitTest) {
    TValueAreaLayout layout;
    layout.Rows = {{1}, {1, 2, 5}, {}};
    // 3 rows in 100 px: 33, 33, 34; 3 cells in 200 px: 66, 66, 68.
    EXPECT_EQ(layout.RowRect(0, 200, 100), (TValueRect{0, 0, 200, 33}));
    EXPECT_EQ(layout.RowRect(2, 200, 100), (TValueRect{0, 66, 200, 100}));
    EXPECT_EQ(layout.CellRect(0, 0, 200, 100), (TValueRect{0, 0, 200, 33}));
    EXPECT_EQ(layout.CellRect(1, 1, 200, 100), (TValueRect{66, 33, 132, 66}));
    EXPECT_EQ(layout.CellRect(1, 2, 200, 100), (TValueRect{132, 33, 200, 66}));
    EXPECT_EQ(layout.CellRect(2, 0, 200, 100), TValueRect{});

    // 20 cells in one row of 1000 x 10: 50 px each, the area only 10 px high.
    TValueAreaLayout twenty;
    twenty.Rows = {std::vector<int>(20, 1)};
    EXPECT_EQ(twenty.CellRect(0, 19, 1010, 10), (TValueRect{950, 0, 1010, 10}));
    EXPECT_EQ(twenty.CellRect(0, 7, 1010, 10), (TValueRect{350, 0, 400, 10}));

    struct TCase {
        int X, Y, Row, Cell;
    };
    const TCase cases[] = {
        {10, 10, 0, 0},  {0, 10, 0, -1},  // the left edge belongs to no cell
        {10, 0, -1, -1}, {10, 33, -1, -1}, // row edges neither
        {70, 40, 1, 1},  {66, 40, 1, -1},  {199, 65, 1, 2},
        {100, 80, 2, -1}, // a row without cells
        {100, 100, -1, -1}, {-5, -5, -1, -1},
    };
    for (const TCase& c : cases) {
        int row = 7;
        int cell = 7;
        layout.HitTest(c.X, c.Y, 200, 100, row, cell);
        EXPECT_EQ(row, c.Row) << c.X << "," << c.Y;
        EXPECT_EQ(cell, c.Cell) << c.X << "," << c.Y;
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
