// A rectangle drawn with a pen and a brush: the colour and pen samples of trainings.
#pragma once

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);

    QColor PenColor() const { return FPenColor; }
    Qt::PenStyle PenStyle() const { return FPenStyle; }
    int PenWidth() const { return FPenWidth; }
    QColor BrushColor() const { return FBrushColor; }
    void SetPen(const QColor& color, Qt::PenStyle style, int width);
    void SetPenColor(const QColor& color);
    void SetBrushColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor FPenColor = Qt::black;
    Qt::PenStyle FPenStyle = Qt::SolidLine;
    int FPenWidth = 1;
    QColor FBrushColor = Qt::white;
};

// The pen style of a stored style byte: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot.
Qt::PenStyle PenStyleOfByte(int style);
