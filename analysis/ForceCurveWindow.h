// The force-curve window: for every active open training the curve being browsed (or its session
// average) in a square chart of force over stroke length, four average curves across the
// trainings, the stroke values of every shown curve in the grid (optionally at a fixed peak force
// and stroke length), browsing and deleting curves, and the export of one curve as a .str file.
// The browsing state lives in the training records, so every view of a training shares it.
#pragma once

#include "analysis/ChartWindow.h"

#include "foundation/files/ForceCurveAverages.h"

#include <functional>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTimer;
class QToolButton;
class TfrmMain;

class TfrmForceCurves : public TfrmChart {
    Q_OBJECT
public:
    explicit TfrmForceCurves(TMDIMain* owner);
    ~TfrmForceCurves() override;

    // Controls. The fixed values are spin boxes: typing and the arrows both change them.
    QCheckBox* cbxSquare;
    QCheckBox* cbxForce;
    QSpinBox* edtForce; // 0..999 N, steps of 10
    QCheckBox* cbxLength;
    QSpinBox* edtLength; // 0..176 cm, steps of 2
    QCheckBox* cbxShowAll; // hidden: nothing sets a training's ShowAllCurves here
    QWidget* pnlBrowseCurves;
    QRadioButton* rbtBrowseCurves;
    QToolButton* btbFirst;
    QToolButton* btbPrevious;
    QLineEdit* metCurve;
    QToolButton* btbNext;
    QToolButton* btbLast;
    QToolButton* btbDelete;
    QScrollBar* sbrCurves;
    QToolButton* btbPlay;
    QWidget* pnlBrowseAverage;
    QRadioButton* rbtBrowseAverage;
    QWidget* pnlBrowseIntervals; // hidden: intervals are not browsed
    QScrollBar* sbrIntervals;
    QTimer* tmrPlay;

    // Overrides of the base.
    void RefreshTrainings() override;
    void FillTrainingList(bool selectFirst) override;
    void UpdatePictureInfo() override;
    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;
    void LoadSettings(const QString& iniFileName, int placement) override;
    void SaveSettings(const QString& iniFileName) override;
    // The main redraw: list checks, browse controls of the selected item, series and grid.
    void clbTrainingsClick() override;
    void clbTrainingsClickCheck(QListWidgetItem* item) override;
    void clbTrainingsDblClick() override;

    // The fixed force and length as the controls set them.
    TCurveScaling Scaling() const;
    // Average records 1..4 zero-filled and titled (the main window's spare records -1..-4).
    void InitAverageRecords();
    void BuildCurveSeries();
    void FillDataGrid();
    // Row is 1-based (row 0 is the title row); index -1..-4 names an average.
    void FillCurveRow(const TTraining& record, int index, int row);

    // Browsing. With Shift held the steps, the number, the scroll bar and the mode act on every
    // open training; otherwise on the selected list item's record.
    void SetCurveMode(int mode);
    void btbFirstClick();
    void btbPreviousClick();
    void btbNextClick();
    void btbLastClick();
    void metCurveExit();
    void sbrCurvesScroll(int position);
    void btbPlayClick();
    void tmrPlayTimer();
    // Deletes the selected training's current curve (never another training's).
    void btbDeleteClick();
    void SetPlayGlyph(bool play);
    QString PlayGlyph() const { return FPlayGlyph; } // "VCR_PLAY" or "VCR_STOP"
    // The shown curve of the selected item as a one-stroke .str file; true when written.
    bool ExportStrokeFile();
    // Lines of the picture's info panel, joined by "\r".
    QString PictureInfoText() const { return FInfoText; }

    // Tests replace these: the Shift state, and the export's save dialog (empty: cancelled).
    std::function<bool()> ShiftDown;
    std::function<QString(const QString& folder, const QString& name)> AskExportFileName;

protected:
    QStringList TrainingItemTitles() const override;
    void DrawExtraItem(QPainter& painter, const QRect& rect, int index, bool selected) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool CloseQuery() override;

private:
    QString FPlayGlyph;
    QString FInfoText;
    bool FInCurveExit = false;
    void CreateFixedControls();
    void CreateBrowseControls();
    void ArrangeFixedControls();
    void ArrangeBrowseControls();
    // After each change of the chart's place: its length labels and the square box.
    void ChartPlaced();
    void StopPlay();
    // The selected item's record, or null; isAverage tells whether it is one of the four.
    TTraining* SelectedRecord(bool* isAverage = nullptr) const;
    // Runs step on every open training (Shift) or on the selected record, then redraws.
    void ApplyToTrainings(const std::function<void(TTraining&)>& step);
    std::vector<const TTraining*> OpenTrainings() const;
    int ActiveTrainingCount() const;
    friend class TAverageLegendDelegate;
};

// Opens the force-curve window of the main window, or brings the open one to the front: loaded
// from its settings section, coloured, its list filled, the play interval from CurvesPerMinute.
TfrmForceCurves* OpenForceCurveWindow(TfrmMain* main);
