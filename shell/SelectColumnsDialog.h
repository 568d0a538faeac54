// Which columns of a grid are shown: one check box per column after the first.
#pragma once

#include "shell/FormDialog.h"

class QListWidget;
class QTableView;

class TfrmSelectColumns : public TFormDialog {
    Q_OBJECT
public:
    explicit TfrmSelectColumns(QWidget* parent = nullptr);

    QListWidget* clbColumns;

    // Shows the dialog for the grid; on OK unchecked columns are hidden, and hidden columns
    // checked again get the grid's default width. True on OK.
    bool Execute(QTableView* grid);
    void LoadFrom(const QTableView* grid);
    void StoreTo(QTableView* grid) const;

    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;

private:
    QColor FDesignTextColor;
};

TfrmSelectColumns& SelectColumnsDialog();
