#include "widgets/GridCellDelegate.h"

#include <QPainter>

QColor TGridCellDelegate::CellBackground(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QPalette& pal = option.widget ? option.widget->palette() : option.palette;
    if (index.column() == 0)
        return pal.color(QPalette::Button);
    return (option.state & QStyle::State_Selected) ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
}

void TGridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPalette& pal = option.widget ? option.widget->palette() : option.palette;
    const bool fixed = index.column() == 0;
    QColor text = fixed ? QColor(Qt::black) : pal.color(QPalette::Text);
    if (!fixed && (option.state & QStyle::State_Selected))
        text = pal.color(QPalette::HighlightedText);
    painter->save();
    painter->fillRect(option.rect, CellBackground(option, index));
    painter->setPen(text);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data().toString());
    painter->restore();
}
