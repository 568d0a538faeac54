#include "shell/Wallpaper.h"

#include "widgets/UiUtils.h"

#include <QEvent>
#include <QMdiArea>
#include <QPainter>
#include <QWidget>

TWallPaper::TWallPaper(QObject* parent) : QObject(parent) {}

TWallPaper::~TWallPaper()
{
    if (FHost) {
        FHost->removeEventFilter(this);
        FHost->update();
    }
}

void TWallPaper::Attach(QWidget* form)
{
    if (FHost)
        FHost->removeEventFilter(this);
    FHost = nullptr;
    if (!form)
        return;
    auto* area = qobject_cast<QMdiArea*>(form);
    if (!area)
        area = form->findChild<QMdiArea*>();
    FHost = area ? area->viewport() : form;
    FHost->installEventFilter(this);
    FHost->update();
}

QPixmap TWallPaper::DefaultPicture()
{
    EnsureUiResources();
    return QPixmap(QStringLiteral(":/pictures/background.png"));
}

QList<QPoint> TWallPaper::TilePositions(QSize area, QSize picture, bool tiled)
{
    QList<QPoint> result;
    if (picture.width() <= 0 || picture.height() <= 0)
        return result;
    if (!tiled) {
        result.append(QPoint((area.width() - picture.width()) / 2, (area.height() - picture.height()) / 2));
        return result;
    }
    for (int r = 0; r <= area.height() / picture.height(); ++r)
        for (int c = 0; c <= area.width() / picture.width(); ++c)
            result.append(QPoint(c * picture.width(), r * picture.height()));
    return result;
}

void TWallPaper::Paint(QPainter& painter, QSize area) const
{
    if (!Tiled || Picture.isNull())
        painter.fillRect(QRect(QPoint(0, 0), area), BackGround ? Qt::white : Qt::black);
    for (const QPoint& p : TilePositions(area, Picture.deviceIndependentSize().toSize(), Tiled))
        painter.drawPixmap(p, Picture);
}

bool TWallPaper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FHost && event->type() == QEvent::Paint) {
        QPainter painter(FHost);
        Paint(painter, FHost->size());
        return true;
    }
    return QObject::eventFilter(watched, event);
}
