// Input to windows as a person gives it (window tests only: it needs the window library).
#pragma once

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QWidget>

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
