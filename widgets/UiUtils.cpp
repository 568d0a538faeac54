#include "widgets/UiUtils.h"

#include "foundation/core/AppUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTableWidget>
#include <functional>

TMessageBoxHook MessageBoxHook;

namespace {

bool ColumnVisible(const QTableView* grid, int col)
{
    return !grid->isColumnHidden(col) && grid->columnWidth(col) > 0;
}

// A grid's text; cell(row, col) gives the text of a cell, row 0 being the fixed row.
QString GridText(const QTableView* grid, int rows, int cols, int currentRow, int mode,
                 const std::function<QString(int, int)>& cell)
{
    QString out;
    const auto appendRow = [&](int row, int firstCol) {
        const int last = cols - 1;
        for (int col = firstCol; col <= last; ++col) {
            const bool visible = ColumnVisible(grid, col);
            if (visible)
                out += FlattenLineBreaks(cell(row, col));
            if (col == last)
                out += QStringLiteral("\r\n");
            else if (visible)
                out += QLatin1Char('\t');
        }
    };
    switch (mode) {
    case 1:
        for (int row = 0; row < rows; ++row)
            appendRow(row, 0);
        break;
    case 2:
        for (int row = 1; row < rows; ++row)
            appendRow(row, 1);
        break;
    case 3:
        if (currentRow >= 0 && currentRow < rows)
            appendRow(currentRow, 1);
        break;
    default:
        break;
    }
    return out;
}

// Ctrl+C on a grid copies the current cell's value: the display formats pad numbers to a width
// ("%4.0f"), which a pasted value must not carry.
class TGridCopyKey : public QObject {
public:
    explicit TGridCopyKey(QAbstractItemView* grid) : QObject(grid), FGrid(grid) { grid->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return false;
        if (const QModelIndex cell = FGrid->currentIndex(); cell.isValid())
            QGuiApplication::clipboard()->setText(cell.data().toString().trimmed());
        return true;
    }

private:
    QAbstractItemView* FGrid;
};

}  // namespace

QString GridToText(const QTableWidget* grid, int mode)
{
    if (!grid)
        return QString();
    return GridText(grid, grid->rowCount(), grid->columnCount(), grid->currentRow(), mode, [grid](int row, int col) {
        const QTableWidgetItem* item = grid->item(row, col);
        return item ? item->text() : QString();
    });
}

void CopyGridToClipboard(const QTableWidget* grid, int mode)
{
    QGuiApplication::clipboard()->setText(GridToText(grid, mode));
}

QString ViewToText(const QTableView* view, int mode)
{
    const QAbstractItemModel* model = view ? view->model() : nullptr;
    if (!model)
        return QString();
    const int current = view->currentIndex().isValid() ? view->currentIndex().row() + 1 : -1;
    return GridText(view, model->rowCount() + 1, model->columnCount(), current, mode, [model](int row, int col) {
        if (row == 0)
            return model->headerData(col, Qt::Horizontal).toString();
        return model->data(model->index(row - 1, col)).toString();
    });
}

void CopyGridToClipboard(const QTableView* view, int mode)
{
    QGuiApplication::clipboard()->setText(ViewToText(view, mode));
}

QString GetGridColWidths(const QTableView* grid)
{
    QString text;
    if (!grid || !grid->model())
        return text;
    for (int col = 1; col < grid->model()->columnCount(); ++col)
        text += QString::number(grid->isColumnHidden(col) ? 0 : grid->columnWidth(col)) + QLatin1Char(' ');
    return text;
}

void SetGridColWidths(QTableView* grid, const QString& text)
{
    if (!grid || !grid->model())
        return;
    // Stored widths may be hand-edited: an item that is not a width leaves its column alone.
    const QStringList items = text.split(QLatin1Char(' '));
    int col = 1;
    for (qsizetype i = 0; i < items.size() && col < grid->model()->columnCount(); ++i, ++col) {
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

void SetGridKeys(QAbstractItemView* grid)
{
    grid->setTabKeyNavigation(false);
    new TGridCopyKey(grid);
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

void SetEnabledColor(QPalette& palette, QPalette::ColorRole role, const QColor& color)
{
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
}

bool ThemesActive()
{
    // The plain "Windows" style is the unthemed look; every other style follows the desktop.
    const QStyle* style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

QString ApplicationTitle()
{
    const QString description = GetFileDescription();
    return description.isEmpty() ? QCoreApplication::applicationName() : description;
}

bool IsShiftDown()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton)
{
    if (MessageBoxHook)
        return MessageBoxHook(icon, text, buttons);
    QMessageBox box(icon, ApplicationTitle(), text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
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
