#include "widgets/UiUtils.h"

#include "foundation/core/AppUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTableWidget>

TMessageBoxHook MessageBoxHook;

namespace {

bool ColumnVisible(const QTableWidget* grid, int col)
{
    return !grid->isColumnHidden(col) && grid->columnWidth(col) > 0;
}

QString CellText(const QTableWidget* grid, int row, int col)
{
    const QTableWidgetItem* item = grid->item(row, col);
    return item ? item->text() : QString();
}

void AppendRow(const QTableWidget* grid, int row, int firstCol, QString& out)
{
    const int last = grid->columnCount() - 1;
    for (int col = firstCol; col <= last; ++col) {
        const bool visible = ColumnVisible(grid, col);
        if (visible)
            out += FlattenLineBreaks(CellText(grid, row, col));
        if (col == last)
            out += QStringLiteral("\r\n");
        else if (visible)
            out += QLatin1Char('\t');
    }
}

}  // namespace

QString GridToText(const QTableWidget* grid, int mode)
{
    QString text;
    if (!grid)
        return text;
    switch (mode) {
    case 1:
        for (int row = 0; row < grid->rowCount(); ++row)
            AppendRow(grid, row, 0, text);
        break;
    case 2:
        for (int row = 1; row < grid->rowCount(); ++row)
            AppendRow(grid, row, 1, text);
        break;
    case 3:
        if (grid->currentRow() >= 0 && grid->currentRow() < grid->rowCount())
            AppendRow(grid, grid->currentRow(), 1, text);
        break;
    default:
        break;
    }
    return text;
}

void CopyGridToClipboard(const QTableWidget* grid, int mode)
{
    QGuiApplication::clipboard()->setText(GridToText(grid, mode));
}

QString GetGridColWidths(const QTableWidget* grid)
{
    QString text;
    if (!grid)
        return text;
    for (int col = 1; col < grid->columnCount(); ++col)
        text += QString::number(grid->isColumnHidden(col) ? 0 : grid->columnWidth(col)) + QLatin1Char(' ');
    return text;
}

void SetGridColWidths(QTableWidget* grid, const QString& text)
{
    if (!grid)
        return;
    // Stored widths may be hand-edited: an item that is not a width leaves its column alone.
    const QStringList items = text.split(QLatin1Char(' '));
    int col = 1;
    for (qsizetype i = 0; i < items.size() && col < grid->columnCount(); ++i, ++col) {
        if (i == items.size() - 1 && items[i].isEmpty())
            break;  // the blank after the last width
        bool ok = false;
        const int width = items[i].toInt(&ok);
        if (!ok || width < 0)
            continue;
        if (width == 0) {
            grid->setColumnHidden(col, true);
        } else {
            grid->setColumnHidden(col, false);
            grid->setColumnWidth(col, width);
        }
    }
}

QWidget* ChildFrame(QWidget* child)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget()))
        return sub;
    return child;
}

void GetFormBounds(const QWidget* form, int& left, int& top, int& width, int& height)
{
    left = top = width = height = 0;
    if (!form)
        return;
    const QWidget* w = ChildFrame(const_cast<QWidget*>(form));
    if (w->windowState() & Qt::WindowMinimized)
        return;  // all four 0
    if (w->windowState() & Qt::WindowMaximized) {
        left = top = width = height = -1;
    } else {
        left = w->x();
        top = w->y();
        width = w->width();
        height = w->height();
    }
}

void SetFormBounds(QWidget* form, int left, int top, int width, int height)
{
    if (!form)
        return;
    QWidget* w = ChildFrame(form);
    if (left == -1 && top == -1 && width == -1 && height == -1) {
        w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    } else if (left == 0 && top == 0 && width == 0 && height == 0) {
        w->setWindowState((w->windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
    } else {
        w->setWindowState(w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        w->move(left, top);
        w->resize(width, height);
    }
}

void UseMessageFont(QWidget* control)
{
    if (control)
        control->setFont(QApplication::font("QMessageBox"));
}

std::uint32_t InvertColor(std::uint32_t color)
{
    return ~color & 0x00FFFFFFu;
}

QColor ColorRefToQColor(std::uint32_t color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

std::uint32_t QColorToColorRef(const QColor& color)
{
    return std::uint32_t(color.red()) | (std::uint32_t(color.green()) << 8) |
           (std::uint32_t(color.blue()) << 16);
}

bool ThemesActive()
{
    // The plain "Windows" style is the unthemed look; every other style follows the desktop.
    const QStyle* style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

bool IsShiftDown()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                           QMessageBox::StandardButtons buttons)
{
    if (MessageBoxHook)
        return MessageBoxHook(icon, text, buttons);
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

void ShowAboutBox(QWidget* parent, const QString& extra)
{
    ShowMessageBox(parent, QMessageBox::Information, AboutBoxText(extra));
}

// Outside any namespace, as Q_INIT_RESOURCE requires. The resources sit in a static library:
// without this reference the linker would drop them.
static void InitKvUiResources()
{
    Q_INIT_RESOURCE(kv_ui);
}

void EnsureUiResources()
{
    static const bool done = (InitKvUiResources(), true);
    (void)done;
}

QIcon ThemeIcon(const QString& name)
{
    EnsureUiResources();
    return QIcon::fromTheme(name, QIcon(QStringLiteral(":/icons/%1.png").arg(name)));
}
