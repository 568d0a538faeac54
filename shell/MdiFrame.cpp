#include "shell/MdiFrame.h"

#include "widgets/UiUtils.h"
#include "shell/MenuBar.h"
#include "shell/StatusPanels.h"
#include "shell/MdiChild.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace {

bool IsLiveChild(const QWidget* w)
{
    const auto* child = qobject_cast<const TMDIChild*>(w);
    return child && !child->Closing;
}

}  // namespace

TMDIMain::TMDIMain(QWidget* parent, const QString& iniFileName) : TFormMain(parent, iniFileName)
{
    MdiArea = new QMdiArea(this);
    MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetClientWidget(MdiArea);

    mnuWindow = new QMenu(tr("&Window"), this);
    menuBar()->insertMenu(Help_Menu, mnuWindow);
    Window_Menu = mnuWindow->menuAction();
    auto add = [this](const QString& text, const QString& hint, const QString& icon) {
        auto* a = new QAction(text, this);
        a->setStatusTip(hint);
        a->setToolTip(hint);
        if (!icon.isEmpty())
            a->setIcon(ThemeIcon(icon));
        addAction(a);
        MainActions.append(a);
        mnuWindow->addAction(a);
        return a;
    };
    WindowCascade = add(tr("&Cascade"), tr("Arrange windows so that they overlap"), QStringLiteral("window-cascade"));
    WindowTileHorizontal = add(tr("Tile &Horizontally"), tr("Arrange windows one above the other"),
                               QStringLiteral("window-tile-horizontal"));
    WindowTileVertical = add(tr("&Tile Vertically"), tr("Arrange windows side by side"),
                             QStringLiteral("window-tile-vertical"));
    WindowTileMosaic = add(tr("Tile M&osaic"), tr("Arrange windows in rows and columns"),
                           QStringLiteral("window-tile-mosaic"));
    mnuWindow->addSeparator();
    WindowMinimizeAll = add(tr("&Minimize All"), tr("Minimize all windows"), QString());
    WindowArrangeIcons = add(tr("&Arrange icons"), tr("Arrange the minimized windows"), QString());
    WindowMaximize = add(tr("Ma&ximize"), tr("Maximize current window (use Shift to maximize all windows)"),
                         QStringLiteral("window-maximize"));

    connect(WindowCascade, &QAction::triggered, MdiArea, &QMdiArea::cascadeSubWindows);
    connect(WindowTileHorizontal, &QAction::triggered, this, [this] { TileStrips(true); });
    connect(WindowTileVertical, &QAction::triggered, this, [this] { TileStrips(false); });
    connect(WindowTileMosaic, &QAction::triggered, this, &TMDIMain::TileMosaic);
    connect(WindowMinimizeAll, &QAction::triggered, this, [this] {
        for (QWidget* child : MDIChildren())
            ChildFrame(child)->showMinimized();
    });
    connect(WindowArrangeIcons, &QAction::triggered, this, &TMDIMain::ArrangeIcons);
    connect(WindowMaximize, &QAction::triggered, this, [this] { MaximizeChildren(IsShiftDown()); });

    FirstWindowPanel = StatusBar->Count();
    LastFixedPanelWidth = FirstWindowPanel > 0 ? StatusBar->Panel(FirstWindowPanel - 1).Width : 0;
    PanelTimer = new QTimer(this);
    PanelTimer->setInterval(500);
    connect(PanelTimer, &QTimer::timeout, this, [this] {
        PanelTimer->stop();
        UpdateWindowPanels();
    });
    StatusBar->OnResize = [this](TStatusPanels*) { UpdateWindowPanels(); };
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [this] {
        UpdateWindowPanels();
        UpdateActions();
    });

    // The Window menu joins the tool bars.
    MenuBar->CreateToolbars();
    UpdateActions();
}

TMDIMain::~TMDIMain()
{
    StatusBar->OnResize = nullptr;
    PanelTimer->stop();
    disconnect(MdiArea, nullptr, this, nullptr);
}

QList<QWidget*> TMDIMain::MDIChildren() const
{
    QList<QWidget*> result;
    const QList<QMdiSubWindow*> subs = MdiArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        if ((*it)->widget())
            result.append((*it)->widget());
    // The active child leads even where the stacking order says otherwise.
    if (QMdiSubWindow* active = MdiArea->activeSubWindow(); active && active->widget()) {
        result.removeOne(active->widget());
        result.prepend(active->widget());
    }
    return result;
}

int TMDIMain::MDIChildCount() const
{
    return int(MDIChildren().size());
}

QWidget* TMDIMain::ActiveMDIChild() const
{
    QMdiSubWindow* active = MdiArea->activeSubWindow();
    return active ? active->widget() : nullptr;
}

QMdiSubWindow* TMDIMain::AddMDIChild(QWidget* child)
{
    QMdiSubWindow* sub = MdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    return sub;
}

int TMDIMain::ChildAreaHeight() const
{
    return MdiArea->viewport()->height() - ReservedHeight;
}

int TMDIMain::ChildAreaWidth() const
{
    return MdiArea->viewport()->width() - ReservedWidth;
}

void TMDIMain::PlaceChild(QWidget* child)
{
    if (!child)
        return;
    QWidget* frame = ChildFrame(child);
    frame->setWindowState(Qt::WindowNoState);
    frame->setGeometry(0, 0, ChildAreaWidth(), ChildAreaHeight());
}

void TMDIMain::ShowChild(QWidget* child)
{
    if (!child)
        return;
    QWidget* frame = ChildFrame(child);
    frame->show();
    frame->raise();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
        MdiArea->setActiveSubWindow(sub);
    if (frame->windowState() & Qt::WindowMinimized)
        WindowMaximize->trigger();
}

void TMDIMain::TileMosaic()
{
    const int h = ChildAreaHeight(), w = ChildAreaWidth();
    const QList<QWidget*> children = MDIChildren();
    const int n = int(std::count_if(children.begin(), children.end(), [](QWidget* c) {
        return !(ChildFrame(c)->windowState() & Qt::WindowMinimized);
    }));
    if (n == 0)
        return;
    int cols = 1;
    while (cols * cols < n)
        ++cols;
    const int rows = (n + cols - 1) / cols;
    const int tileWidth = w / cols, tileHeight = h / rows;
    int column = 0, row = 1;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        QWidget* frame = ChildFrame(*it);
        if (frame->windowState() & Qt::WindowMinimized)
            continue;
        if (++column > cols) {
            column = 1;
            ++row;
        }
        frame->setWindowState(Qt::WindowNoState);
        frame->setGeometry((column - 1) * tileWidth, (row - 1) * tileHeight, tileWidth, tileHeight);
    }
}

void TMDIMain::TileStrips(bool horizontal)
{
    QList<QWidget*> frames;
    for (QWidget* child : MDIChildren())
        if (!(ChildFrame(child)->windowState() & Qt::WindowMinimized))
            frames.append(ChildFrame(child));
    if (frames.isEmpty())
        return;
    const int n = int(frames.size());
    const int h = ChildAreaHeight(), w = ChildAreaWidth();
    for (int i = 0; i < n; ++i) {
        frames[i]->setWindowState(Qt::WindowNoState);
        if (horizontal)
            frames[i]->setGeometry(0, i * (h / n), w, h / n);
        else
            frames[i]->setGeometry(i * (w / n), 0, w / n, h);
    }
}

void TMDIMain::ArrangeIcons()
{
    int left = 0;
    for (QWidget* child : MDIChildren()) {
        QWidget* frame = ChildFrame(child);
        if (!(frame->windowState() & Qt::WindowMinimized))
            continue;
        frame->move(left, ChildAreaHeight() - frame->height());
        left += frame->width();
    }
}

void TMDIMain::MaximizeChildren(bool all)
{
    if (all) {
        const QList<QWidget*> children = MDIChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            PlaceChild(*it);
    } else {
        PlaceChild(ActiveMDIChild());
    }
}

void TMDIMain::SetShowWindowPanels(bool value)
{
    ShowWindowPanels = value;
    UpdateWindowPanels();
}

void TMDIMain::SetPanelElision(int mode)
{
    PanelElision = std::uint8_t(std::clamp(mode, 0, 2));
    UpdateWindowPanels();
}

void TMDIMain::RestartPanelTimer()
{
    PanelTimer->stop();
    PanelTimer->start();
}

void TMDIMain::UpdateWindowPanels()
{
    // Window panels always go, also when they were just switched off.
    StatusBar->Truncate(FirstWindowPanel);
    const int lastFixed = FirstWindowPanel - 1;
    if (lastFixed >= 0)
        StatusBar->Panel(lastFixed).Width = LastFixedPanelWidth;
    const QList<QWidget*> children = MDIChildren();
    const int n = int(std::count_if(children.begin(), children.end(), [](QWidget* c) {
        return !qobject_cast<TMDIChild*>(c) || IsLiveChild(c);
    }));
    if (!ShowWindowPanels || n == 0) {
        StatusBar->update();
        return;
    }
    int fixed = LastFixedPanelWidth;
    for (int i = 0; i <= FirstWindowPanel - 2; ++i)
        fixed += StatusBar->Panel(i).Width;
    const int clientWidth = StatusBar->contentsRect().width();
    const int panelWidth = std::max(0, std::min((clientWidth - fixed) / n, MaxPanelWidth));
    if (lastFixed >= 0)
        StatusBar->Panel(lastFixed).Width = std::max(0, clientWidth - n * panelWidth - fixed + LastFixedPanelWidth);

    QStringList captions;
    for (QWidget* child : children)
        if (IsLiveChild(child))
            captions.append(child->windowTitle());
    std::sort(captions.begin(), captions.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QWidget* active = ActiveMDIChild();
    const QString activeCaption = IsLiveChild(active) ? active->windowTitle() : QString();
    bool lowered = false;
    for (const QString& caption : captions) {
        const bool isActive = !lowered && IsLiveChild(active) && caption == activeCaption;
        lowered = lowered || isActive;
        StatusBar->Add({caption, panelWidth, Qt::AlignLeft, isActive ? TPanelBevel::Lowered : TPanelBevel::Raised, true});
    }
    StatusBar->update();
}

QString TMDIMain::WindowPanelHint(int panel) const
{
    if (panel < FirstWindowPanel || panel >= StatusBar->Count())
        return QString();
    return tr("Click to switch to window [") + StatusBar->Panel(panel).Text + QLatin1Char(']');
}

void TMDIMain::StatusBarClick()
{
    SwitchToPanel(HoverPanel);
}

void TMDIMain::SwitchToPanel(int panel)
{
    if (panel < FirstWindowPanel || panel >= StatusBar->Count())
        return;
    const QString text = StatusBar->Panel(panel).Text;
    const QList<QWidget*> children = MDIChildren();
    QWidget* chosen = nullptr;
    // With two windows of one caption the later one wins, so a click leaves the active one.
    for (QWidget* child : children) {
        if (!IsLiveChild(child) || child->windowTitle() != text)
            continue;
        if (chosen) {
            chosen = child;
            break;
        }
        chosen = child;
    }
    if (!chosen) {
        const int index = panel - FirstWindowPanel;
        if (index >= children.size())
            return;
        chosen = children[index];
    }
    QWidget* frame = ChildFrame(chosen);
    frame->show();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
        MdiArea->setActiveSubWindow(sub);
    frame->raise();
    UpdateWindowPanels();
}

void TMDIMain::StatusBarDrawPanel(QPainter& painter, int panel, const QRect& rect)
{
    if (panel < FirstWindowPanel)
        return;  // panel 0 under the progress bar
    const TStatusPanel& p = StatusBar->Panel(panel);
    QFont font = StatusBar->font();
    font.setBold(p.Bevel == TPanelBevel::Lowered);
    painter.setFont(font);
    painter.setPen(StatusBar->palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font);
    const QString text = ShortenPanelText(p.Text, p.Width - 7, PanelElision,
                                          [&](const QString& s) { return metrics.horizontalAdvance(s); });
    const int slack = p.Width - 7 - metrics.horizontalAdvance(text) - 2;
    int left = rect.left() + 2;
    if (PanelElision == 1)
        left += slack;
    else if (PanelElision == 2)
        left += slack / 2;
    painter.drawText(QPoint(left, rect.top() + 1 + metrics.ascent()), text);
}

void TMDIMain::UpdateActions()
{
    TFormMain::UpdateActions();
    if (!MdiArea)
        return;
    const bool any = MDIChildCount() > 0;
    for (QAction* a : {WindowCascade, WindowTileHorizontal, WindowTileVertical, WindowTileMosaic,
                       WindowMinimizeAll, WindowArrangeIcons, WindowMaximize})
        a->setEnabled(any);
}
