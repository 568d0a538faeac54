#include "widgets/ShapeSample.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetPen(const QColor& color, Qt::PenStyle style, int width)
{
    FPenColor = color;
    FPenStyle = style;
    FPenWidth = std::max(1, width);
    update();
}

void TShape::SetPenColor(const QColor& color)
{
    FPenColor = color;
    update();
}

void TShape::SetBrushColor(const QColor& color)
{
    FBrushColor = color;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(FPenColor, FPenWidth, FPenStyle);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(FBrushColor);
    // The pen lies inside the rectangle, as wide as it is.
    const int half = FPenWidth / 2;
    painter.drawRect(rect().adjusted(half, half, -(FPenWidth - half), -(FPenWidth - half)));
}

Qt::PenStyle PenStyleOfByte(int style)
{
    switch (style) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}
