// The grids of the training window as item models over the training record: cells are
// formatted when a view asks for them, so a long training never fills a grid cell by cell.
// Column 0 holds the row number ("#"); the titles are the horizontal header.
#pragma once

#include "foundation/core/Types.h"

#include <QAbstractTableModel>

class TTrainingGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TKind { gkIntervals, gkStrokeData, gkForceCurves, gkSplits };

    TTrainingGridModel(TKind kind, const TTraining* training, QObject* parent = nullptr);

    TKind Kind() const { return FKind; }
    // Re-reads the record: rows appended at the end are inserted, other changes reset the model.
    void Refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell (row and column of the model).
    QString CellText(int row, int column) const;
    QString ColumnTitle(int column) const;

private:
    TKind FKind;
    const TTraining* FTraining;
    int FRows = 0;
    int CountRows() const;
};
