// The options of one value item (bar, history, min/max, their scale) and the drawing colours of
// its data, with a preview cell that draws the working copy.
#pragma once

#include "foundation/values/ValueData.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;
class TValueArea;

class TfrmValueOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmValueOptions(QWidget* parent = nullptr);
    ~TfrmValueOptions() override;

    TValueData* Data = nullptr;
    TValueItem Item; // the working copy; the caller stores it on OK

    QGroupBox* gbxItem;
    QCheckBox* cbxBar;
    QCheckBox* cbxBarGrid;
    QCheckBox* cbxBarAvg;
    QCheckBox* cbxHistory;
    QCheckBox* cbxHistoryGrid;
    QCheckBox* cbxHistoryAvg;
    QCheckBox* cbxHistoryLeft;
    QCheckBox* cbxMinMax;
    QLineEdit* edtMin;
    QLineEdit* edtMax;
    QLineEdit* edtStep;
    QGroupBox* gbxBar;
    QPushButton* btnBarLeft;
    QPushButton* btnBarRight;
    QPushButton* btnBarGrid;
    QPushButton* btnBarAvg;
    QGroupBox* gbxHistory;
    QPushButton* btnHistoryGraph;
    QPushButton* btnHistoryGrid;
    QPushButton* btnHistoryAverage;
    QGroupBox* gbxPreview;
    QWidget* pnlPreview;
    QPushButton* btbCancel;
    QPushButton* btbOk;
    QTimer* tmrPreview;
    TValueArea* Preview = nullptr;

    // Asks for a colour, starting from `color`; false when cancelled. Tests replace it.
    std::function<bool(QColor& color)> ChooseColor;

    // A preview area on the same data; then the area is repainted.
    void CreatePreview(TValueArea* area);
    void SetAppearance(const QFont& font, const QColor& editFontColor, const QColor& editColor,
                       const QColor& color);
    void RefreshPreview();
    // Leaving an edit: reads it into Min, Max or Step by the item's format, or shows the old
    // value again when the text cannot be read.
    void EditExit(QLineEdit* edit);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void FormShow();
    void CheckClicked(QCheckBox* box, std::uint8_t bit);
    void ColorClicked(int index);
    void ApplyEnabling();
    double* FieldOf(QLineEdit* edit);
};
