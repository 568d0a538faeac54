// A grid of the 16 standard colours, 4 x 4. A click picks the foreground colour; the background
// colour (right button) can be switched off. A colour that is not one of the 16 selects no cell.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <cstdint>

class TColorGrid : public QWidget {
    Q_OBJECT
public:
    explicit TColorGrid(QWidget* parent = nullptr);

    // The 16 colours as COLORREF values (0x00BBGGRR), in grid order.
    static const std::array<std::uint32_t, 16>& Colors();
    static int IndexOfColor(std::uint32_t color);  // -1 when not one of them

    int ForegroundIndex() const { return FForeground; }
    void SetForegroundIndex(int index);  // -1: none
    int BackgroundIndex() const { return FBackground; }
    void SetBackgroundIndex(int index);
    bool BackgroundEnabled = true;
    std::uint32_t ForegroundColor() const;  // 0 when no cell is chosen

signals:
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int FForeground = -1;
    int FBackground = -1;
    QRect CellRect(int index) const;
    int CellAt(const QPoint& pos) const;
};
