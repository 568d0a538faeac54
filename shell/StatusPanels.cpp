#include "shell/StatusPanels.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

TStatusPanels::TStatusPanels(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(19);
}

void TStatusPanels::Add(const TStatusPanel& panel)
{
    FPanels.push_back(panel);
    update();
}

void TStatusPanels::Truncate(int count)
{
    if (count >= 0 && count < Count())
        FPanels.resize(std::size_t(count));
    update();
}

void TStatusPanels::SetPanelText(int index, const QString& text)
{
    if (index < 0 || index >= Count() || FPanels[std::size_t(index)].Text == text)
        return;
    FPanels[std::size_t(index)].Text = text;
    update(PanelRect(index));
}

int TStatusPanels::PanelLeft(int index) const
{
    int left = 0;
    for (int i = 0; i < index && i < Count(); ++i)
        left += FPanels[std::size_t(i)].Width;
    return left;
}

QRect TStatusPanels::PanelRect(int index) const
{
    const int left = PanelLeft(index);
    int width = FPanels.at(std::size_t(index)).Width;
    if (index == Count() - 1)
        width = std::max(width, this->width() - left);
    return QRect(left, 0, width, height());
}

int TStatusPanels::PanelAt(int x) const
{
    for (int i = 0; i < Count(); ++i) {
        const QRect r = PanelRect(i);
        if (r.left() < x && r.left() + r.width() > x)
            return i;
    }
    return -1;
}

QSize TStatusPanels::sizeHint() const
{
    return QSize(PanelLeft(Count()), 19);
}

void TStatusPanels::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    for (int i = 0; i < Count(); ++i) {
        const TStatusPanel& panel = FPanels[std::size_t(i)];
        const QRect r = PanelRect(i);
        if (r.width() <= 0)
            continue;
        if (panel.Bevel != TPanelBevel::None) {
            const QColor dark = palette().color(QPalette::Dark), light = palette().color(QPalette::Light);
            const bool lowered = panel.Bevel == TPanelBevel::Lowered;
            p.setPen(lowered ? dark : light);
            p.drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(lowered ? light : dark);
            p.drawLine(r.bottomLeft() + QPoint(1, 0), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        }
        p.save();
        p.setClipRect(r);
        if (panel.OwnerDraw && OnDrawPanel) {
            OnDrawPanel(this, p, i, r);
        } else {
            p.setPen(palette().color(QPalette::WindowText));
            const QRect textRect = r.adjusted(2, 0, -2, 0);
            p.drawText(textRect, int(panel.Alignment | Qt::AlignVCenter),
                       fontMetrics().elidedText(panel.Text, Qt::ElideRight, textRect.width()));
        }
        p.restore();
    }
}

void TStatusPanels::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(this, int(event->position().x()), int(event->position().y()));
    QWidget::mouseMoveEvent(event);
}

void TStatusPanels::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick(this);
    QWidget::mouseReleaseEvent(event);
}

void TStatusPanels::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (OnDblClick)
        OnDblClick(this);
    QWidget::mouseDoubleClickEvent(event);
}

void TStatusPanels::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (OnResize)
        OnResize(this);
}

QString ShortenPanelText(const QString& text, int maxWidth, int mode,
                         const std::function<int(const QString&)>& textWidth)
{
    // At least one character of the text stays next to the dots.
    static const QString dots = QStringLiteral("...");
    const qsizetype n = dots.size();
    if (textWidth(text) <= maxWidth)
        return text;
    QString s;
    switch (mode) {
    case 1:
        s = dots + text;
        while (textWidth(s) > maxWidth && s.size() > n + 1)
            s.remove(n, 1);
        break;
    case 2:
        s = dots + text + dots;
        while (textWidth(s) > maxWidth && s.size() > 2 * n + 1) {
            s.remove(n, 1);
            if (s.size() > 2 * n + 1)
                s.remove(s.size() - n - 1, 1);
        }
        break;
    default:
        s = text + dots;
        while (textWidth(s) > maxWidth && s.size() > n + 1)
            s.remove(s.size() - n - 1, 1);
        break;
    }
    return s;
}
