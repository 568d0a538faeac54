// The status bar of the main windows: indexed panels of fixed width, owner-drawn on request.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

enum class TPanelBevel { None, Lowered, Raised };

struct TStatusPanel {
    QString Text;
    int Width = 50;
    Qt::Alignment Alignment = Qt::AlignLeft;
    TPanelBevel Bevel = TPanelBevel::Lowered;
    bool OwnerDraw = false;
};

class TStatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit TStatusPanels(QWidget* parent = nullptr);

    int Count() const { return int(FPanels.size()); }
    TStatusPanel& Panel(int index) { return FPanels.at(std::size_t(index)); }
    const TStatusPanel& Panel(int index) const { return FPanels.at(std::size_t(index)); }
    void Add(const TStatusPanel& panel);
    void Truncate(int count);  // deletes the panels from index count on
    void SetPanelText(int index, const QString& text);

    int PanelLeft(int index) const;
    // The last panel reaches the right edge of the bar.
    QRect PanelRect(int index) const;
    // The panel whose left edge lies strictly left of x and whose right edge strictly right of it.
    int PanelAt(int x) const;

    std::function<void(TStatusPanels*, QPainter&, int index, const QRect&)> OnDrawPanel;
    std::function<void(TStatusPanels*, int x, int y)> OnMouseMove;
    std::function<void(TStatusPanels*)> OnClick;
    std::function<void(TStatusPanels*)> OnDblClick;
    std::function<void(TStatusPanels*)> OnResize;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<TStatusPanel> FPanels;
};

// Shortens a text with "..." until textWidth(text) <= maxWidth; at least one character of the
// text is kept (4 characters and more).
// Mode 0 shortens at the end, 1 at the start, 2 at both ends.
QString ShortenPanelText(const QString& text, int maxWidth, int mode,
                         const std::function<int(const QString&)>& textWidth);
