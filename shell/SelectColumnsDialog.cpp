#include "shell/SelectColumnsDialog.h"

#include "shell/MainWindow.h"
#include "widgets/UiUtils.h"

#include <QHeaderView>
#include <QListWidget>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

TfrmSelectColumns::TfrmSelectColumns(QWidget* parent) : TFormDialog(parent)
{
    setWindowTitle(tr("Select columns"));
    resize(260, 360);
    clbColumns = new QListWidget(Client);
    auto* layout = new QVBoxLayout(Client);
    layout->addWidget(clbColumns);
    FDesignTextColor = palette().color(QPalette::WindowText);
}

void TfrmSelectColumns::LoadFrom(const QTableView* grid)
{
    clbColumns->clear();
    const QAbstractItemModel* model = grid ? grid->model() : nullptr;
    if (!model)
        return;
    // Column 0 holds the row numbers: never listed, never hidden.
    for (int c = 1; c < model->columnCount(); ++c) {
        auto* item = new QListWidgetItem(model->headerData(c, Qt::Horizontal).toString(), clbColumns);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(grid->isColumnHidden(c) ? Qt::Unchecked : Qt::Checked);
    }
}

void TfrmSelectColumns::StoreTo(QTableView* grid) const
{
    const QAbstractItemModel* model = grid ? grid->model() : nullptr;
    if (!model)
        return;
    for (int c = 1; c < model->columnCount() && c - 1 < clbColumns->count(); ++c) {
        const bool checked = clbColumns->item(c - 1)->checkState() == Qt::Checked;
        if (!checked) {
            grid->setColumnHidden(c, true);
        } else if (grid->isColumnHidden(c)) {
            grid->setColumnHidden(c, false);
            grid->setColumnWidth(c, grid->horizontalHeader()->defaultSectionSize());
        }
    }
}

bool TfrmSelectColumns::Execute(QTableView* grid)
{
    LoadFrom(grid);
    if (exec() != QDialog::Accepted)
        return false;
    StoreTo(grid);
    return true;
}

void TfrmSelectColumns::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                                  const QColor& windowColor)
{
    TFormDialog::SetColors(font, textColor, backColor, windowColor);
    QPalette pal = palette();
    SetEnabledColor(pal, QPalette::WindowText, FDesignTextColor);
    setPalette(pal);
    QPalette list = clbColumns->palette();
    list.setColor(QPalette::Base, windowColor);
    SetEnabledColor(list, QPalette::Text, textColor);
    clbColumns->setPalette(list);
    clbColumns->setFont(font);
    update();
}

TfrmSelectColumns& SelectColumnsDialog()
{
    static QPointer<TfrmSelectColumns> dialog;
    if (!dialog) {
        dialog = new TfrmSelectColumns(frmMain);
        TakeMainLook(*dialog);
    }
    return *dialog;
}
