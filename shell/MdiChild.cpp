#include "shell/MdiChild.h"

#include "shell/MdiFrame.h"
#include "widgets/UiUtils.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

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

void TMDIChild::Place(int placement, int left, int top, int width, int height)
{
    switch (placement) {
    case 1:
        SetFormBounds(this, left, top, width, height);
        break;
    case 2:
        if (FOwner)
            FOwner->PlaceChild(this);
        break;
    case 3:
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
