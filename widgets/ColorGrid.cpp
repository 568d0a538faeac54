#include "widgets/ColorGrid.h"

#include "widgets/UiUtils.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kSide = 4;

}  // namespace

TColorGrid::TColorGrid(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

const std::array<std::uint32_t, 16>& TColorGrid::Colors()
{
    // Black, maroon, green, olive, navy, purple, teal, gray, silver, red, lime, yellow, blue,
    // fuchsia, aqua, white.
    static const std::array<std::uint32_t, 16> colors{
        0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
        0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
    };
    return colors;
}

int TColorGrid::IndexOfColor(std::uint32_t color)
{
    const auto& colors = Colors();
    for (int i = 0; i < int(colors.size()); ++i)
        if (colors[std::size_t(i)] == (color & 0x00FFFFFFu))
            return i;
    return -1;
}

void TColorGrid::SetForegroundIndex(int index)
{
    const int value = index >= 0 && index < 16 ? index : -1;
    if (value == FForeground)
        return;
    FForeground = value;
    update();
    emit Changed();
}

void TColorGrid::SetBackgroundIndex(int index)
{
    FBackground = index >= 0 && index < 16 ? index : -1;
    update();
}

std::uint32_t TColorGrid::ForegroundColor() const
{
    return FForeground >= 0 ? Colors()[std::size_t(FForeground)] : 0;
}

QRect TColorGrid::CellRect(int index) const
{
    const int w = width() / kSide, h = height() / kSide;
    return QRect((index % kSide) * w, (index / kSide) * h, w, h);
}

int TColorGrid::CellAt(const QPoint& pos) const
{
    const int w = std::max(1, width() / kSide), h = std::max(1, height() / kSide);
    const int col = pos.x() / w, row = pos.y() / h;
    if (pos.x() < 0 || pos.y() < 0 || col >= kSide || row >= kSide)
        return -1;
    return row * kSide + col;
}

void TColorGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int i = 0; i < 16; ++i) {
        const QRect r = CellRect(i);
        const QColor color = ColorRefToQColor(Colors()[std::size_t(i)]);
        painter.fillRect(r, color);
        painter.setPen(Qt::gray);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        QStringList marks;
        if (i == FForeground)
            marks << QStringLiteral("FG");
        if (BackgroundEnabled && i == FBackground)
            marks << QStringLiteral("BG");
        if (marks.isEmpty())
            continue;
        // The mark in the colour that stands out from the cell.
        painter.setPen(color.lightness() > 128 ? Qt::black : Qt::white);
        painter.drawRect(r.adjusted(1, 1, -2, -2));
        painter.drawText(r, Qt::AlignCenter, marks.join(QLatin1Char('/')));
    }
    if (hasFocus() && FForeground >= 0) {
        QPen pen(palette().color(QPalette::Highlight), 2, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(CellRect(FForeground).adjusted(3, 3, -4, -4));
    }
}

void TColorGrid::mousePressEvent(QMouseEvent* event)
{
    const int cell = CellAt(event->position().toPoint());
    if (cell < 0)
        return;
    if (event->button() == Qt::LeftButton)
        SetForegroundIndex(cell);
    else if (event->button() == Qt::RightButton && BackgroundEnabled)
        SetBackgroundIndex(cell);
}

void TColorGrid::keyPressEvent(QKeyEvent* event)
{
    int cell = FForeground < 0 ? 0 : FForeground;
    switch (event->key()) {
    case Qt::Key_Left:
        cell = cell % kSide > 0 ? cell - 1 : cell;
        break;
    case Qt::Key_Right:
        cell = cell % kSide < kSide - 1 ? cell + 1 : cell;
        break;
    case Qt::Key_Up:
        cell = cell >= kSide ? cell - kSide : cell;
        break;
    case Qt::Key_Down:
        cell = cell + kSide < 16 ? cell + kSide : cell;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    SetForegroundIndex(cell);
}
