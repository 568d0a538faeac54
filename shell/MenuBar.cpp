#include "shell/MenuBar.h"

#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QToolBar>
#include <algorithm>

namespace {

const QString kToolbars = QStringLiteral("Toolbars");
constexpr int kGap = 2;  // between tool bars placed side by side
constexpr int kSpacerWidth = 10;  // what a menu separator leaves between two buttons

bool HasButton(const QAction* entry)
{
    return !entry->isSeparator() && !entry->menu() && !entry->icon().isNull() && entry->isVisible();
}

}  // namespace

TMenuBar::TMenuBar(QMainWindow* form, QWidget* parent) : QFrame(parent)
{
    if (form)
        FMenu = form->menuBar();
    FPopup = new QMenu(this);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAutoFillBackground(true);
    UpdateFrame();
}

TMenuBar::~TMenuBar()
{
    SaveToolbars();
}

QString TMenuBar::Filename() const
{
    return FFilename.isEmpty() ? GetExeIniFileName() : FFilename;
}

QString TMenuBar::ToolbarName(const QString& caption)
{
    QString name;
    for (const QChar c : caption)
        if (c == QLatin1Char(' ') || c == QLatin1Char('-') || c.isLetterOrNumber())
            name += c;
    return name;
}

bool TMenuBar::ParsePlacement(const QString& value, int& left, int& top, bool& visible)
{
    const QStringList parts = value.split(QLatin1Char(' '));
    if (parts.size() != 3)
        return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    const int l = parts[0].toInt(&ok1), t = parts[1].toInt(&ok2), v = parts[2].toInt(&ok3);
    if (!ok1 || !ok2 || !ok3)
        return false;
    left = std::max(l, 0);  // a bar left of or above the strip could never be reached again
    top = std::max(t, 0);
    visible = v == 1;
    return true;
}

void TMenuBar::CreateToolbars()
{
    qDeleteAll(FToolbars);
    FToolbars.clear();
    FDragged = nullptr;
    if (!FMenu) {
        RebuildPopup();
        UpdateFrame();
        return;
    }
    for (QAction* item : FMenu->actions()) {
        QMenu* menu = item->menu();
        if (!menu || ActionTagHidden(item))
            continue;
        const QList<QAction*> entries = menu->actions();
        if (std::none_of(entries.begin(), entries.end(), HasButton))
            continue;
        const QString name = ToolbarName(item->text());
        auto* bar = new QToolBar(name, this);
        bar->setObjectName(name);
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->setIconSize(QSize(16, 16));
        bar->setContentsMargins(6, 0, 0, 0);  // room to grip the bar
        // A separator leaves a spacer only when a button follows it right away.
        bool separatorBefore = false;
        for (QAction* entry : entries) {
            if (entry->isSeparator()) {
                separatorBefore = true;
                continue;
            }
            if (HasButton(entry)) {
                if (separatorBefore) {
                    auto* spacer = new QWidget(bar);
                    spacer->setFixedWidth(kSpacerWidth);
                    bar->addWidget(spacer);
                }
                bar->addAction(entry);
                if (FDoubleWidth)
                    if (QWidget* button = bar->widgetForAction(entry))
                        button->setFixedWidth(2 * button->sizeHint().width());
            }
            separatorBefore = false;
        }
        bar->adjustSize();
        bar->installEventFilter(this);
        FToolbars.append(bar);
    }
    FlowToolbars();

    TIniFile ini(Filename());
    for (QToolBar* bar : FToolbars) {
        int left = 0, top = 0;
        bool visible = true;
        const QString value = ini.ReadString(kToolbars, bar->windowTitle(), QString());
        if (!value.isEmpty() && ParsePlacement(value, left, top, visible)) {
            bar->move(left, top);
            bar->setVisible(visible);
        }
    }
    RebuildPopup();
    UpdateFrame();
}

bool TMenuBar::ActionTagHidden(const QAction* item)
{
    return item->property("Tag").toInt() < 0 || !item->isVisible();
}

void TMenuBar::FlowToolbars()
{
    int left = kGap;
    for (QToolBar* bar : FToolbars) {
        bar->move(left, kGap);
        bar->show();
        left += bar->width() + kGap;
    }
}

void TMenuBar::SaveToolbars()
{
    const QString fileName = Filename();
    if (FToolbars.isEmpty() || !IsFileWritable(fileName))
        return;
    TIniFile ini(fileName);
    for (QToolBar* bar : FToolbars)
        ini.WriteString(kToolbars, bar->windowTitle(),
                        QStringLiteral("%1 %2 %3").arg(bar->x()).arg(bar->y()).arg(bar->isVisibleTo(this) ? 1 : 0));
    ini.UpdateFile();
}

QToolBar* TMenuBar::Toolbar(const QString& caption) const
{
    for (QToolBar* bar : FToolbars)
        if (bar->windowTitle() == caption)
            return bar;
    return nullptr;
}

bool TMenuBar::AnyToolbarVisible() const
{
    return std::any_of(FToolbars.begin(), FToolbars.end(),
                       [this](const QToolBar* bar) { return bar->isVisibleTo(this); });
}

void TMenuBar::RebuildPopup()
{
    FPopup->clear();
    for (QToolBar* bar : FToolbars) {
        QAction* a = FPopup->addAction(bar->windowTitle());
        a->setCheckable(true);
        a->setChecked(bar->isVisibleTo(this));
        connect(a, &QAction::toggled, this, [this, bar](bool on) {
            bar->setVisible(on);
            UpdateFrame();
        });
    }
}

void TMenuBar::UpdateFrame()
{
    // All four edges around visible tool bars, only the top edge without any.
    if (AnyToolbarVisible())
        setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    else
        setFrameStyle(QFrame::HLine | QFrame::Sunken);
    updateGeometry();
    adjustSize();
}

QSize TMenuBar::sizeHint() const
{
    int right = 0, bottom = 0;
    for (const QToolBar* bar : FToolbars) {
        if (!bar->isVisibleTo(this))
            continue;
        right = std::max(right, bar->x() + bar->width());
        bottom = std::max(bottom, bar->y() + bar->height());
    }
    return bottom > 0 ? QSize(right + kGap, bottom + kGap) : QSize(right, 2);
}

QSize TMenuBar::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void TMenuBar::contextMenuEvent(QContextMenuEvent* event)
{
    RebuildPopup();
    FPopup->exec(event->globalPos());
}

bool TMenuBar::eventFilter(QObject* watched, QEvent* event)
{
    // A tool bar is dragged by its empty parts (the grip at its left end).
    auto* bar = qobject_cast<QToolBar*>(watched);
    if (!bar || !FToolbars.contains(bar))
        return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            break;
        FDragged = bar;
        FDragOffset = me->position().toPoint();
        bar->raise();
        return true;
    }
    case QEvent::MouseMove:
        if (FDragged == bar) {
            const QPoint p = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint()) - FDragOffset;
            bar->move(std::max(p.x(), 0), std::max(p.y(), 0));
            updateGeometry();
            adjustSize();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (FDragged == bar) {
            FDragged = nullptr;
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
