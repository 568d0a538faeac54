#include "shell/MdiChild.h"

#include "shell/MdiFrame.h"
#include "widgets/UiUtils.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>

TMDIChild::TMDIChild(TMDIMain* owner) : QWidget(nullptr), FOwner(owner)
{
    DesignColor = palette().color(backgroundRole());
    DesignFont = font();
    Closing = false;
    if (owner)
        owner->AddMDIChild(this);
}

QMdiSubWindow* TMDIChild::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

bool TMDIChild::IsActiveChild() const
{
    QMdiSubWindow* sub = SubWindow();
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    return !area || area->currentSubWindow() == sub;
}

void TMDIChild::Close()
{
    if (QMdiSubWindow* sub = SubWindow())
        sub->close();
    else
        close();
}

void TMDIChild::SetDesignSize(int width, int height)
{
    FDesignSize = QSize(width, height);
    resize(FDesignSize);
    // The frame does not follow its widget's size by itself: left alone it stays at the size the
    // MDI area gave it when the widget was still empty.
    QMdiSubWindow* sub = SubWindow();
    if (!sub)
        return;
    sub->resize(FDesignSize.grownBy(sub->contentsMargins()));
    // A shown area placed the frame while it was that small; grown, it can reach past what the area
    // shows, its title bar buttons with it. Moved back in as far as its size allows, top left first.
    if (QMdiArea* area = sub->mdiArea(); area && area->isVisible()) {
        const QSize view = area->viewport()->size();
        sub->move(std::max(0, std::min(sub->x(), view.width() - sub->width())),
                  std::max(0, std::min(sub->y(), view.height() - sub->height())));
    }
}

void TMDIChild::KeepNormalSize()
{
    QMdiSubWindow* sub = SubWindow();
    if (!sub || FDesignSize.isEmpty())
        return;
    const Qt::WindowStates sized = Qt::WindowMinimized | Qt::WindowMaximized;
    if (sub->windowState() & sized)
        sub->setWindowState(sub->windowState() & ~sized);
    const QSize least = FDesignSize.grownBy(sub->contentsMargins());
    if (sub->width() < least.width() || sub->height() < least.height())
        sub->resize(sub->size().expandedTo(least));
}

void TMDIChild::Place(int placement, int left, int top, int width, int height)
{
    switch (placement) {
    case 1:
        KeepNormalSize();
        SetFormBounds(this, left, top, width, height);
        break;
    case 2:
        if (FOwner)
            FOwner->PlaceChild(this);
        break;
    case 3:
        KeepNormalSize();
        SetFormBounds(this, -1, -1, -1, -1);
        break;
    default:
        break;
    }
}

void TMDIChild::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    Closing = true;
    if (FOwner)
        FOwner->RestartPanelTimer();
    event->accept();
}
