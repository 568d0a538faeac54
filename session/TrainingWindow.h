// The training window: one MDI child per open training. It owns the training record; the row
// window writes strokes into it and the analysis windows read it through the main window's
// training registry. Shows the rower's settings (editable for user content), the recording
// texts, totals, averages and the interval, stroke and curve grids.
#pragma once

#include "foundation/core/Types.h"
#include "shell/MdiChild.h"

#include <QList>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimeEdit;
class QValidator;
class TShape;
class TTrainingGridModel;

class TfrmTraining : public TMDIChild {
    Q_OBJECT
public:
    explicit TfrmTraining(TMDIMain* owner);
    ~TfrmTraining() override;

    // Window bounds from the settings, -1 each until loaded.
    int BoundsLeft = -1;
    int BoundsTop = -1;
    int BoundsWidth = -1;
    int BoundsHeight = -1;
    int TrainingId = 0;  // the registry's id, also kept in Training.Id
    TTraining Training;

    // Full refresh: header, settings, totals and all grids.
    void RefreshTraining();
    // Caption, the " (*)" marks and the general page.
    void RefreshHeader();
    void RefreshIntervals();
    void RefreshStrokeData();
    void RefreshForceCurves();
    // A stroke of a session was stored into the training: the stroke grid takes it, and the
    // totals and averages follow while the window is shown (a minimised one's are set afresh
    // when it comes back).
    void StrokeStored();
    void UpdateUserControls();
    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;
    // Saving and the window's settings (TrainingWindowSave.cpp).
    // Placement: 1 saved bounds, 2 fill the client area, 3 maximised, others as created.
    void LoadSettings(const QString& iniFileName, int placement, const QString& trainingFileName);
    // Bounds, interval column widths and the history lists, only into a writable file.
    void SaveSettings(const QString& iniFileName, const QString& trainingFileName);
    // The automatic save (main window's AutoSave); true when a file was written.
    bool SaveTraining();
    // File Save (the training's own name) and Save As (empty: the export dialog asks). A failed
    // save is reported and leaves the training modified. True when written.
    bool SaveToFile(const QString& fileName);
    // Asked before what closes with the window ends (the row window's session): true when the
    // window may close, and it then closes without asking again. Nothing is asked of a training
    // that its close saves automatically, with all the session holds by then.
    bool AgreeToClose();
    // Tells the main window that the training changed (RefreshViews).
    void NotifyMain();
    // The reset button: after the confirmation the training is emptied for a new session.
    void Reset();
    // The chart options of this training; true when the colour or pen changed.
    bool ChartOptions();
    void ShowResults();
    // The grid shown on the active page, if any.
    QTableView* ActiveGrid() const;
    void CopyData(int mode);
    void SelectColumns();

    // Tells the row window to reset its session when it records into this training (set by
    // the row window).
    std::function<void(TfrmTraining*)> OnResetSession;

    // Controls, as designed.
    QTabWidget* pclTraining;
    QWidget* tshWorkout;
    QWidget* tshGeneral;
    QWidget* tshSplits;
    QWidget* tshStrokeData;
    QWidget* tshForceCurves;
    QWidget* tshLog;

    QGroupBox* gbxUser;
    QLineEdit* edtWeight;
    QComboBox* cmbGender;
    QComboBox* cmbBoat;
    QComboBox* cmbSprocket;
    QComboBox* cmbErgometer;
    QComboBox* cmbSessionLimit;
    QLineEdit* edtLimitValue;
    QComboBox* cmbIntervalBy;
    QLineEdit* edtWorkPeriod;
    QLineEdit* edtRestPeriod;
    QLineEdit* edtStartValue;
    QLineEdit* edtStepValue;
    QLineEdit* edtRestValue;
    QComboBox* cmbDisplay;
    QLabel* lblIntervalBy;
    QLabel* lblWorkPeriod;
    QLabel* lblRestPeriod;
    QPushButton* btnReset;
    QGroupBox* gbxTotals;
    QLabel* lblDistance;
    QLabel* lblTime;
    QLabel* lblEnergy;
    QLabel* lblStrokes;
    QGroupBox* gbxAverages;
    QLabel* lblPower;
    QLabel* lbl500m;
    QLabel* lblStrokerate;
    QLabel* lblDRRatio;
    QGroupBox* gbxIntervals;
    QTableView* sgdIntervals;
    QTableView* sgdSplits;
    QTableView* sgdStrokeData;
    QTableView* sgdForceCurves;

    QGroupBox* gbxRecording;
    QLineEdit* edtTitle;
    QComboBox* cmbName;
    QComboBox* cmbDescription;
    QDateEdit* dtpDate;
    QTimeEdit* dtpTime;
    QComboBox* cmbType;
    QComboBox* cmbEvent;
    QLabel* pnlRecInterface;
    QGroupBox* gbxNote;
    QPlainTextEdit* memNote;
    QGroupBox* gbxTraining;
    QLabel* lblTFile;
    QLabel* lblTDateTime;
    QLabel* lblTSize;
    QLabel* lblTType;
    QGroupBox* gbxChart;
    TShape* shpWindow;
    TShape* shpDialog;
    TShape* shpChart;
    TShape* shpInverse;
    QPushButton* btnOptions;
    QGroupBox* gbxOFile;
    QLabel* lblOFile;
    QLabel* lblODateTime;
    QLabel* lblOSize;
    QLabel* lblOType;
    QGroupBox* gbxClient;
    QLabel* lblAddress;
    QLabel* lblIDStatus;
    QPushButton* btnDatabase;
    QPushButton* btbClose;

    TTrainingGridModel* IntervalModel() const { return FIntervals; }
    TTrainingGridModel* StrokeModel() const { return FStrokes; }
    TTrainingGridModel* CurveModel() const { return FCurves; }

    // A time text of a setting: "h:mm:ss", "mm:ss" or plain seconds; false for anything else.
    static bool ParseTimeText(const QString& text, int& seconds);
    static QString TimeText(int seconds);  // "h:nn:ss"

protected:
    bool CloseQuery() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    TTrainingGridModel* FIntervals;
    TTrainingGridModel* FStrokes;
    TTrainingGridModel* FCurves;
    QList<QLineEdit*> FSettingEdits;
    QList<QComboBox*> FSettingCombos;
    QList<QComboBox*> FHistoryCombos;
    bool FRefreshing = false;  // controls are being set from the record
    bool FAsking = false;      // the reset question is open
    bool FComingBack = false;  // deactivated: the focus the frame gives back is not the user's
    bool FCloseAgreed = false;  // the close question was answered before the close
    QLineEdit* FEntryEdit = nullptr;  // the setting field entered, and the settings then
    TStgIni FEntryIni;
    QValidator* FNumberInput = nullptr;  // what can be typed into a setting field
    QValidator* FTimeInput = nullptr;

    void CreateWorkoutPage();
    void CreateGeneralPage();
    void CreateGridPages();
    void SetupGrid(QTableView* grid, TTrainingGridModel* model);
    void ReadHistoryLists();
    void FillSettingControls();
    void UpdateTotals();
    void FormResize();
    // The reset question when a setting control is entered; false when the user declined.
    bool ConfirmSettingChange(QWidget* control);
    // The value an edit shows for the record, by its Tag.
    QString SettingText(int tag) const;
    bool IsTimeSetting(int tag) const;
    static int SettingMaximum(int tag);
    // The value of a text for the setting of a Tag; false when the text makes none the field can
    // hold (no clamping: a value beyond the range is refused).
    bool ReadSetting(int tag, const QString& text, int& value) const;
    // What the user is told when a text is refused.
    QString SettingRefusal(int tag, const QString& text) const;
    // Stores an edit's text by its Tag; false when the text is not a valid value.
    bool StoreSetting(int tag, const QString& text);
    void EditChanged(QLineEdit* edit);
    // Enter (leaving false) or leaving the field: a text that makes no value is refused, said
    // why, and the field shows what it held when entered.
    void EditExit(QLineEdit* edit, bool leaving);
    void ComboChanged(QComboBox* combo);
    void StoreCombo(QComboBox* combo);
    void RecordingChanged();
    void DateChanged();
    void TimeChanged();
    void AddComboHistory(QComboBox* combo);
};

// The text of a control with the " (*)" mark removed, and appended again when marked.
QString ModifiedMarkText(const QString& caption, bool modified);
