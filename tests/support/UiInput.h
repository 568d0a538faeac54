// Input to windows as a person gives it (window tests only: it needs the window library).
#pragma once

#include <QApplication>
#include <QContextMenuEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTest>
#include <QWidget>
#include <deque>
#include <functional>

// What lies on top at a point of `widget` (its centre by default) in its window, and that point
// in the found widget's own terms.
inline QWidget* WidgetUnder(QWidget* widget, QPoint& pos) {
    if (pos == QPoint(-1, -1))
        pos = widget->rect().center();
    QWidget* window = widget->window();
    const QPoint at = widget->mapTo(window, pos);
    QWidget* under = window->childAt(at);
    if (!under)
        under = window;
    pos = under->mapFrom(window, at);
    return under;
}

// Clicks a point of `widget` (its centre by default) on whatever lies under that point of its
// window, so that a widget lying over it takes the click as it would on screen. Returns the
// widget that was clicked.
inline QWidget* ClickAt(QWidget* widget, QPoint pos = QPoint(-1, -1), Qt::KeyboardModifiers modifiers = {}) {
    QWidget* under = WidgetUnder(widget, pos);
    QTest::mouseClick(under, Qt::LeftButton, modifiers, pos);
    return under;
}

// The context-menu request a right click on a point of `widget` (its centre by default) gives to
// whatever lies under that point; it goes up to the parents until one takes it.
inline QWidget* RightClickAt(QWidget* widget, QPoint pos = QPoint(-1, -1)) {
    QWidget* under = WidgetUnder(widget, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, under->mapToGlobal(pos));
    QApplication::sendEvent(under, &event);
    return under;
}

// The pointer moved, no button held, onto a point of `widget` (its centre by default): the move
// goes to whatever lies under that point, and on to the widgets that follow hovering.
inline QWidget* HoverAt(QWidget* widget, QPoint pos = QPoint(-1, -1)) {
    QWidget* under = WidgetUnder(widget, pos);
    QMouseEvent move(QEvent::MouseMove, pos, under->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(under, &move);
    return under;
}

// Opens `menu` from the menu bar and clicks `item` in it; false when either is not there to click.
inline bool ChooseFromMenu(QMenuBar* bar, QMenu* menu, QAction* item) {
    const QRect title = bar->actionGeometry(menu->menuAction());
    if (title.isEmpty() || ClickAt(bar, title.center()) != bar || !menu->isVisible())
        return false;
    const QRect line = menu->actionGeometry(item);
    if (line.isEmpty() || !item->isVisible()) {
        menu->hide();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, line.center());
    return true;
}

// Where a part of an MDI child's title bar (its label, the close, minimise, restore ... buttons)
// lies in its frame; an invalid point when the title bar shows no such part.
inline QPoint TitleBarPart(QMdiSubWindow* frame, QStyle::SubControl button) {
    QStyleOptionTitleBar bar;
    bar.initFrom(frame);
    bar.subControls = QStyle::SC_All;
    bar.titleBarFlags = frame->windowFlags();
    bar.titleBarState = frame->windowState();
    const int border = frame->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
    bar.rect = QRect(border, border, frame->width() - 2 * border,
                     frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, frame));
    const QRect rect = frame->style()->subControlRect(QStyle::CC_TitleBar, &bar, button, frame);
    return rect.isEmpty() ? QPoint(-1, -1) : rect.center();
}

// Clicks a part of an MDI child's title bar; a maximised child whose buttons stand in the menu
// bar is clicked there. The buttons answer a pointer that came over them. False when there is no
// such part to click.
inline bool ClickTitleBar(QMdiSubWindow* frame, QStyle::SubControl button) {
    QWidget* target = frame;
    QPoint at = TitleBarPart(frame, button);
    QWidget* inMenuBar = frame->maximizedButtonsWidget();
    if (frame->isMaximized() && inMenuBar && inMenuBar->isVisible()) {
        const QStyle::SubControl mdi = button == QStyle::SC_TitleBarCloseButton ? QStyle::SC_MdiCloseButton
                                       : button == QStyle::SC_TitleBarMinButton ? QStyle::SC_MdiMinButton
                                                                                 : QStyle::SC_MdiNormalButton;
        QStyleOptionComplex controls;
        controls.initFrom(inMenuBar);
        controls.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton | QStyle::SC_MdiCloseButton;
        const QRect rect = inMenuBar->style()->subControlRect(QStyle::CC_MdiControls, &controls, mdi, inMenuBar);
        target = inMenuBar;
        at = rect.isEmpty() ? QPoint(-1, -1) : rect.center();
    }
    if (at == QPoint(-1, -1) || target->childAt(at))
        return false;
    QTest::mouseMove(target, target->rect().center());
    QTest::mouseMove(target, at);
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
    return true;
}

// Answers the modal windows of a run as they come up: each new one by the next step, the input a
// person gives it. The steps left over tell what never came up.
class TModalSteps {
public:
    explicit TModalSteps(std::deque<std::function<void(QWidget* modal)>> steps) : Steps(std::move(steps)) {
        QObject::connect(&FWatch, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || FMet.contains(modal) || Steps.empty())
                return;
            FMet << modal;
            // Run from outside this timer: a step may open the next modal window, which this
            // timer must see while the step waits in it.
            QTimer::singleShot(0, modal, [step = Steps.front(), modal] { step(modal); });
            Steps.pop_front();
        });
        FWatch.start(5);
    }
    std::deque<std::function<void(QWidget* modal)>> Steps;

private:
    QTimer FWatch;
    QList<QPointer<QWidget>> FMet;
};
