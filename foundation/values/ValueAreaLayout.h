// The layout of a value area without any window: rows of cells (each cell an item ID or a cell
// code), the "Items" settings text, the geometry of rows and cells, the hit test, and the plan
// of one cell's drawing (frame, bar, history graph, font fit) as numbers.
#pragma once

#include "foundation/values/ValueData.h"

#include <QString>
#include <array>
#include <vector>

// More rows or cells than this cannot be shown; settings texts asking for more are cut.
inline constexpr int kMaxValueRows = 20;
inline constexpr int kMaxValueCells = 20;
inline constexpr int kValueCellBorder = 4;  // border width of a cell
inline constexpr int kValueMeasureSize = 100; // font size the value text is measured at

// Right and bottom are exclusive.
struct TValueRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TValueRect&) const = default;
};

struct TValuePoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TValuePoint&) const = default;
};

class TValueAreaLayout {
public:
    std::vector<std::vector<int>> Rows; // cell IDs by row

    int RowCount() const { return static_cast<int>(Rows.size()); }
    int CellCount(int row) const;
    int CellId(int row, int cell) const; // -1 outside the layout
    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    bool ValidCell(int row, int cell) const { return ValidRow(row) && cell >= 0 && cell < CellCount(row); }

    // Each returns false (and changes nothing) outside the layout or at the caps.
    bool AddRow();
    bool DeleteRow(int row);
    bool AddCell(int row, int id);
    bool DeleteCell(int row, int cell);
    bool SetCellId(int row, int cell, int id);
    void Clear() { Rows.clear(); }

    // Appends rows up to `row`, then a cell with `id`, or an empty cell when the data defines no
    // such item (the cell codes pass). Nothing for a negative row or beyond the caps.
    bool PlaceCell(int row, int id, const TValueData& data);

    // "row.id" tokens separated by blanks, rows then cells in order.
    QString ItemsText() const;
    // Replaces the layout. Tokens that are not "int.int" are skipped, as are rows and cells
    // beyond the caps.
    void LoadItemsText(const QString& text, const TValueData& data);

    // Equal heights (widths); the last row (cell) takes what the division leaves.
    TValueRect RowRect(int row, int width, int height) const;
    TValueRect CellRect(int row, int cell, int width, int height) const;
    // The first row whose relative y lies strictly inside it, then the first cell of it whose
    // relative x does; -1 when none.
    void HitTest(int x, int y, int width, int height, int& row, int& cell) const;
};

// Where a logo of w x h goes in a cell client of cw x ch (the client's right and bottom edges
// are cw and ch, both inclusive).
TValueRect LogoTarget(TLogoPosition position, int cw, int ch, int w, int h);

// The fitted value font size from the text's extent (cx, cy) at kValueMeasureSize; 0 when
// nothing fits or nothing was measured.
int FitValueFontSize(int innerWidth, int innerHeight, int cx, int cy);

// Everything a cell draws, in client coordinates (the cell less its border).
struct TValueCellPlan {
    bool Visible = false; // false when the client is narrower or lower than 5
    TValueRect LightFrame;
    TValueRect DarkFrame;
    TValueRect Inner;
    bool HasRange = false;

    bool Bar = false;
    int BarX = 0; // filled part ends here
    std::vector<int> BarGridX;
    bool BarAvg = false;
    int BarAvgX = 0;

    TValueRect Plot;
    bool History = false;
    std::vector<int> HistoryGridY;
    bool HistoryAvg = false;
    int HistoryAvgY = 0;
    std::array<TValuePoint, kValueHistoryLength> HistoryPoints{};

    bool MinMax = false;
    int ValueFontSize = 0;
};

// The fraction of v between the item's Min and Max, clamped to 0..1.
double ValueFraction(const TValueItem& item, double v);
// measureCx/measureCy: extent at kValueMeasureSize of FormatValue of the larger of Max and Value.
TValueCellPlan PlanValueCell(const TValueItem& item, int clientWidth, int clientHeight, int textHeight,
                             int measureCx, int measureCy);
