// The cells of the program's grids: the text 2 pixels in from the left and top of its cell; the
// fixed column 0 (row numbers, row captions) in the button colour with black text, the other
// cells in the grid's colours, highlighted when selected.
#pragma once

#include <QStyledItemDelegate>

class TGridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TGridCellDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    // The background a cell was filled with.
    static QColor CellBackground(const QStyleOptionViewItem& option, const QModelIndex& index);
};
