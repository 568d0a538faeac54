#include "session/TrainingGridModels.h"

#include "foundation/catalogue/ParameterCatalogue.h"

namespace {

QString RowNumber(int number)
{
    return QString::asprintf("%4.0f", double(number));
}

int High(std::size_t size)
{
    return size > 1 ? int(size - 1) : 0;
}

}  // namespace

TTrainingGridModel::TTrainingGridModel(TKind kind, const TTraining* training, QObject* parent)
    : QAbstractTableModel(parent), FKind(kind), FTraining(training)
{
    FRows = CountRows();
}

int TTrainingGridModel::CountRows() const
{
    if (!FTraining)
        return 0;
    switch (FKind) {
    case gkIntervals:
        // Without intervals one blank row stays under the titles.
        return std::max(1, int(FTraining->Intervals.size()));
    case gkStrokeData:
        return High(FTraining->StrokeData.size());
    case gkForceCurves:
        return High(FTraining->ForceCurves.size());
    case gkSplits:
        return 0;
    }
    return 0;
}

void TTrainingGridModel::Refresh()
{
    const int rows = CountRows();
    if (rows > FRows && FRows > 0) {
        const int old = FRows;
        beginInsertRows(QModelIndex(), old, rows - 1);
        FRows = rows;
        endInsertRows();
        emit dataChanged(index(0, 0), index(old - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        return;
    }
    beginResetModel();
    FRows = rows;
    endResetModel();
}

int TTrainingGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FRows;
}

int TTrainingGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    switch (FKind) {
    case gkIntervals:
        return kIntervalParameterCount + 1;
    case gkStrokeData:
        return kStrokeParameterCount + 1;
    case gkForceCurves:
        return kForceCurveSamples + 2;
    case gkSplits:
        return kSplitParameterCount + 1;
    }
    return 0;
}

QString TTrainingGridModel::ColumnTitle(int column) const
{
    if (column == 0)
        return QStringLiteral("#");
    switch (FKind) {
    case gkIntervals:
        return IntervalParameterTitle(column - 1);
    case gkStrokeData:
        return StrokeParameterTitle(column - 1);
    case gkSplits:
        return SplitParameterTitle(column - 1);
    case gkForceCurves:
        if (column == 1)
            return QStringLiteral("Used");
        return FTraining ? QString::asprintf("%3.1f", (column - 1) * ForceCurveSampleSpacing(FTraining->Ini)) : QString();
    }
    return QString();
}

QString TTrainingGridModel::CellText(int row, int column) const
{
    if (!FTraining || row < 0 || row >= FRows || column < 0 || column >= columnCount())
        return QString();
    const TTraining& t = *FTraining;
    switch (FKind) {
    case gkIntervals: {
        if (std::size_t(row) >= t.Intervals.size())
            return QString();  // the blank row of a training without intervals
        return column == 0 ? RowNumber(row + 1) : FormatIntervalParameter(t.Intervals[std::size_t(row)], column - 1);
    }
    case gkStrokeData: {
        const std::size_t i = std::size_t(row) + 1;
        if (i >= t.StrokeData.size())
            return QString();
        return column == 0 ? RowNumber(row + 1) : FormatStrokeParameter(t.StrokeData[i], column - 1, t.Ini);
    }
    case gkForceCurves: {
        const std::size_t i = std::size_t(row) + 1;
        if (i >= t.ForceCurves.size())
            return QString();
        const TStgForceCurve& curve = t.ForceCurves[i];
        if (column == 0)
            return RowNumber(row + 1);
        if (column == 1)
            return curve.Present ? QStringLiteral("+") : QString();
        return QString::asprintf("%3.0f", double(curve.Force[std::size_t(column - 2)]));
    }
    case gkSplits:
        return QString();
    }
    return QString();
}

QVariant TTrainingGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return CellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

QVariant TTrainingGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole)
        return ColumnTitle(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}
