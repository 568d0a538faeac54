#include "shell/MdiChild.h"

#include "shell/MdiFrame.h"

#include <QCloseEvent>
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

void TMDIChild::Close()
{
    if (QMdiSubWindow* sub = SubWindow())
        sub->close();
    else
        close();
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
