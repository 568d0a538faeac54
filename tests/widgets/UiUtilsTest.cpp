#include "widgets/UiUtils.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

// A 3 x 4 grid: row 0 and column 0 are the titles, cell (r, c) holds "r.c".
std::unique_ptr<QTableWidget> MakeGrid()
{
    auto grid = std::make_unique<QTableWidget>(3, 4);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            grid->setItem(r, c, new QTableWidgetItem(QStringLiteral("%1.%2").arg(r).arg(c)));
    for (int c = 0; c < 4; ++c)
        grid->setColumnWidth(c, 40);
    return grid;
}

}  // namespace

TEST(GridText, ModesAndHiddenColumns)
{
    auto grid = MakeGrid();
    EXPECT_EQ(GridToText(grid.get(), 1),
              "0.0\t0.1\t0.2\t0.3\r\n1.0\t1.1\t1.2\t1.3\r\n2.0\t2.1\t2.2\t2.3\r\n");
    EXPECT_EQ(GridToText(grid.get(), 2), "1.1\t1.2\t1.3\r\n2.1\t2.2\t2.3\r\n");
    grid->setCurrentCell(2, 1);
    EXPECT_EQ(GridToText(grid.get(), 3), "2.1\t2.2\t2.3\r\n");
    EXPECT_EQ(GridToText(grid.get(), 0), "");
    EXPECT_EQ(GridToText(grid.get(), 4), "");

    // A hidden column is left out together with its TAB; a hidden last column still ends the row.
    grid->setColumnHidden(2, true);
    EXPECT_EQ(GridToText(grid.get(), 2), "1.1\t1.3\r\n2.1\t2.3\r\n");
    grid->setColumnHidden(2, false);
    grid->setColumnHidden(3, true);
    EXPECT_EQ(GridToText(grid.get(), 3), "2.1\t2.2\t\r\n");
}

TEST(GridText, LineBreaksFlattenedAndClipboard)
{
    auto grid = MakeGrid();
    grid->item(1, 1)->setText(QStringLiteral(" a\r\nb\nc "));
    grid->item(1, 2)->setText(QString());
    grid->setCurrentCell(1, 3);
    EXPECT_EQ(GridToText(grid.get(), 3), "a; b; c\t\t1.3\r\n");
    CopyGridToClipboard(grid.get(), 3);
    EXPECT_EQ(QApplication::clipboard()->text(), "a; b; c\t\t1.3\r\n");
    CopyGridToClipboard(grid.get(), 7);
    EXPECT_EQ(QApplication::clipboard()->text(), "");
    // No current row: nothing to copy.
    grid->setCurrentCell(-1, -1);
    EXPECT_EQ(GridToText(grid.get(), 3), "");
}

// A model view: the header is row 0, the model's rows follow it.
TEST(GridText, TableViewCopiesHeaderAndRows)
{
    QStandardItemModel model(2, 3);
    model.setHorizontalHeaderLabels({QStringLiteral("No"), QStringLiteral("Power"), QStringLiteral("Rate")});
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            model.setItem(r, c, new QStandardItem(QStringLiteral("%1.%2").arg(r + 1).arg(c)));
    QTableView view;
    view.setModel(&model);
    CopyGridToClipboard(&view, 1);
    EXPECT_EQ(QApplication::clipboard()->text(), "No\tPower\tRate\r\n1.0\t1.1\t1.2\r\n2.0\t2.1\t2.2\r\n");
    EXPECT_EQ(ViewToText(&view, 2), "1.1\t1.2\r\n2.1\t2.2\r\n");
    EXPECT_EQ(ViewToText(&view, 3), ""); // no current row
    view.setCurrentIndex(model.index(1, 0));
    view.setColumnHidden(1, true);
    CopyGridToClipboard(&view, 3);
    EXPECT_EQ(QApplication::clipboard()->text(), "2.2\r\n");
    EXPECT_EQ(ViewToText(nullptr, 1), "");
}

TEST(GridColWidths, RoundTripEmptyAndBadItems)
{
    auto grid = MakeGrid();
    grid->setColumnWidth(1, 55);
    grid->setColumnWidth(2, 66);
    grid->setColumnWidth(3, 77);
    EXPECT_EQ(GetGridColWidths(grid.get()), "55 66 77 ");

    auto other = MakeGrid();
    SetGridColWidths(other.get(), GetGridColWidths(grid.get()));

    // Two blanks in a row keep column 2; a bad item keeps column 3; extra items are ignored.
    SetGridColWidths(other.get(), QStringLiteral("40  x 1 2 3"));
    EXPECT_EQ(GetGridColWidths(other.get()), "40 66 77 ");
    SetGridColWidths(other.get(), QStringLiteral("-5 0 12abc"));
    EXPECT_EQ(GetGridColWidths(other.get()), "40 0 77 ");
    EXPECT_TRUE(other->isColumnHidden(2));
    SetGridColWidths(other.get(), QStringLiteral(" 30"));
    EXPECT_EQ(GetGridColWidths(other.get()), "40 30 77 ");
    EXPECT_FALSE(other->isColumnHidden(2));
    SetGridColWidths(other.get(), QString());
    SetGridColWidths(nullptr, QStringLiteral("1 2"));
    EXPECT_EQ(GetGridColWidths(other.get()), "40 30 77 ");
}

TEST(FormBounds, NormalMaximisedAndMdiChild)
{
    auto bounds = [](QWidget* form) {
        int l = 0, t = 0, w = 0, h = 0;
        GetFormBounds(form, l, t, w, h);
        return std::vector<int>{l, t, w, h};
    };
    QWidget form;
    SetFormBounds(&form, 30, 40, 320, 210);
    EXPECT_EQ(bounds(&form), (std::vector<int>{30, 40, 320, 210}));
    // -1 everywhere maximises and is what a maximised window gives back.
    SetFormBounds(&form, -1, -1, -1, -1);
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(bounds(&form), (std::vector<int>{-1, -1, -1, -1}));
    SetFormBounds(&form, 5, 6, 200, 100);
    EXPECT_EQ(bounds(&form), (std::vector<int>{5, 6, 200, 100}));
    SetFormBounds(nullptr, 1, 2, 3, 4);

    // An MDI child is placed by its sub-window.
    QMdiArea area;
    area.resize(600, 400);
    auto* child = new QWidget;
    QMdiSubWindow* sub = area.addSubWindow(child);
    SetFormBounds(child, 10, 20, 300, 200);
    EXPECT_EQ(sub->geometry(), QRect(10, 20, 300, 200));
    EXPECT_EQ(bounds(child), (std::vector<int>{10, 20, 300, 200}));
}

TEST(Colors, InvertAndConvert)
{
    EXPECT_EQ(InvertColor(0x00123456u), 0x00EDCBA9u);
    EXPECT_EQ(InvertColor(0xFF000000u), 0x00FFFFFFu);  // the high byte is no colour
    EXPECT_EQ(ColorRefToQColor(0x000080FFu), QColor(255, 128, 0));
    EXPECT_EQ(QColorToColorRef(QColor(255, 128, 0)), 0x000080FFu);
}
