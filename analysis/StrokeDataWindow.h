// The stroke-data window: for every active open training one stroke column (Y, left axis) and
// optionally a second one (Z, right axis) against a third (X), chosen from the 42 stroke columns
// of the catalogue; the grid lists the session values of the active trainings. One at a time,
// held by the main window.
#pragma once

#include "analysis/ChartWindow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class TfrmMain;

class TfrmStrokeData : public TfrmChart {
    Q_OBJECT
public:
    explicit TfrmStrokeData(TMDIMain* owner);

    QLabel* lblX;
    QComboBox* cmbX;
    QCheckBox* cbxY;
    QComboBox* cmbY;
    QCheckBox* cbxYMarks;
    QCheckBox* cbxYAverage;
    QCheckBox* cbxZ;
    QComboBox* cmbZ;
    QCheckBox* cbxZMarks;
    QCheckBox* cbxZAverage;

    void FillTrainingList(bool selectFirst) override;
    QString GetTrainingCaption(int index) const override;
    void UpdatePictureInfo() override;
    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;
    void LoadSettings(const QString& iniFileName, int placement) override;
    void SaveSettings(const QString& iniFileName) override;

    void BuildChart();
    void FillSessionGrid();

    // A list's stroke column: its position, which is the catalogue's row index; -1 without
    // selection.
    static int SelectedColumn(const QComboBox* list);
    // Selects stroke column `column` (0..41); any other number leaves the list without selection.
    static void SelectColumn(QComboBox* list, int column);

    void clbTrainingsClick() override;
    void clbTrainingsClickCheck(QListWidgetItem* item) override;
    void clbTrainingsDblClick() override;
    void cbxZClick();

protected:
    bool CloseQuery() override;
};

// The main window's stroke-data action: makes the window (placed, coloured and filled) or brings
// the open one to the front.
TfrmStrokeData* ShowStrokeData(TfrmMain* main);
