// The window side of the utility services: grids, window bounds, fonts, colours, message boxes.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QPalette>
#include <QString>
#include <cstdint>
#include <functional>

class QAbstractItemView;
class QTableView;
class QTableWidget;
class QWidget;

// Grid routines. Row 0 and column 0 of a grid are its fixed (title) cells.
// Mode 1: every cell; mode 2: without the fixed row and column; mode 3: the current row without
// the fixed column. Hidden columns (width 0) are left out; any other mode copies an empty text.
QString GridToText(const QTableWidget* grid, int mode);
void CopyGridToClipboard(const QTableWidget* grid, int mode);
// The same for a view over an item model: the column titles (the horizontal header) are row 0
// and the model's rows follow.
QString ViewToText(const QTableView* view, int mode);
void CopyGridToClipboard(const QTableView* view, int mode);
QString GetGridColWidths(const QTableView* grid);                 // columns 1.., each + " "
void SetGridColWidths(QTableView* grid, const QString& text);      // bad items are skipped
// The keys of a data grid: Tab and Shift+Tab leave it for the next and previous control (the
// arrows move between cells), and Ctrl+C copies the current cell's value without the blanks its
// display format pads it with.
void SetGridKeys(QAbstractItemView* grid);

// Window bounds: all four 0 for a minimised window, -1 for a maximised one. An MDI child's
// bounds are those of its sub-window.
void GetFormBounds(const QWidget* form, int& left, int& top, int& width, int& height);
void SetFormBounds(QWidget* form, int left, int top, int width, int height);
// The sub-window that hosts an MDI child, or the widget itself.
QWidget* ChildFrame(QWidget* child);

void UseMessageFont(QWidget* control);

// Colours are kept as COLORREF values (0x00BBGGRR) in records and settings.
std::uint32_t InvertColor(std::uint32_t color);
QColor ColorRefToQColor(std::uint32_t color);
std::uint32_t QColorToColorRef(const QColor& color);

// Sets a role's colour for enabled controls only (active and inactive windows): disabled
// controls keep the platform's disabled look.
void SetEnabledColor(QPalette& palette, QPalette::ColorRole role, const QColor& color);

bool ThemesActive();
bool IsShiftDown();

// The program's title (its file description) for captions and message boxes; never given to
// the window library as the display name, which the desktop would add to every caption.
QString ApplicationTitle();

// Message boxes of the window library. Tests replace MessageBoxHook to answer without a window.
using TMessageBoxHook = std::function<QMessageBox::StandardButton(
    QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons buttons)>;
extern TMessageBoxHook MessageBoxHook;
// Without a default button the box picks its own (the accepting one).
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
void ShowAboutBox(QWidget* parent, const QString& extra);

// An icon of the desktop's theme, or our own picture ":/icons/<name>.png" when the theme has none.
class QIcon;
QIcon ThemeIcon(const QString& name);
void EnsureUiResources();  // makes ":/icons/..." and ":/pictures/..." available
