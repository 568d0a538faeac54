// The results dialog: totals, averages and maxima of one training, shown when a session ends
// and when the training window's averages are clicked.
#pragma once

#include "foundation/core/Types.h"
#include "shell/FormDialog.h"

#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;

// The maxima and the average drive : recover ratio over strokes 1..n (element 0, the session
// average, is left out). Strokes without a 500 m time (0, no power) do not count for the
// lowest one.
struct TResultsSummary {
    float MaxPower = 0;       // W
    float Min500mTime = 0;    // days; 0 when no stroke has one
    bool Has500mTime = false;
    float MaxStrokeRate = 0;  // /min
    float MaxRatio = 0;
    float AvgRatio = 0;       // the session's, as every view shows it
};
TResultsSummary CalcResultsSummary(const TTraining& training);

// Every text the dialog shows, from the catalogue's formats and units.
struct TResultsTexts {
    QString Caption;
    QString Distance, Time, Energy, Strokes;
    QString AvgPower, Avg500m, AvgStrokeRate, AvgRatio;
    QString MaxPower, Max500m, MaxStrokeRate, MaxRatio;
};
TResultsTexts FormatResults(const TTraining& training);

// Section "Results": the keys of the groups this dialog never shows (intervals, splits) are
// kept and written back as they were read.
struct TResultsSettings {
    QString IntColumns;
    QString SplitColumns;
    int SplitType = 0;
    int SplitStrokes = 0;
    int SplitDistance = 0;
    int SplitTime = 0;
    int SplitCustom = 100;
    int SplitFactor = 4;
};

class TfrmResults : public TFormDialog {
    Q_OBJECT
public:
    explicit TfrmResults(QWidget* parent = nullptr);

    QGroupBox* gbxTotals;
    QLabel *lblDistance, *lblTime, *lblEnergy, *lblStrokes;
    QLineEdit *edtDistance, *edtTime, *edtEnergy, *edtStrokes;
    QGroupBox* gbxAverages;
    QLabel *lblAvgPower, *lblAvg500mTime, *lblAvgStrokerate, *lblAvgDriveRecover;
    QLineEdit *edtAvgPower, *edtAvg500m, *edtAvgStrokerate, *edtAvgDriveRecover;
    QGroupBox* gbxMaxima;
    QLabel *lblMaxPower, *lblMax500mTime, *lblMaxStrokerate, *lblMaxDriveRecover;
    QLineEdit *edtMaxPower, *edtMax500m, *edtMaxStrokerate, *edtMaxDriveRecover;

    // Fills the dialog from a copy of the training; the caller then shows it.
    void Execute(const TTraining& training);
    const TTraining& Training() const { return FTraining; }
    const TResultsSettings& Settings() const { return FSettings; }

    void LoadSettings(const QString& iniFileName);
    // Only into a file that can be written.
    void SaveSettings(const QString& iniFileName);

    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    TTraining FTraining;
    TResultsSettings FSettings;
    void SetCaptions();
};

// The program's one results dialog (made on first use, owned by the main window when there is one).
TfrmResults* ResultsDialog();
// Fills the dialog and shows it modally at once.
void ShowResults(const TTraining& training);
// For callers inside a device event: the training is copied now and the dialog shown once the
// event has returned.
void QueueResults(const TTraining& training);
