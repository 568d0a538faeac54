#include "session/ResultsDialog.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"
#include "shell/MainWindow.h"
#include "widgets/UiUtils.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Stroke columns of the maxima.
constexpr int kColPower = 1;
constexpr int kColStrokeRate = 3;
constexpr int kCol500mTime = 9;
constexpr int kColRatio = kStrokeDriveRatio;

const QString kSection = QStringLiteral("Results");

QLineEdit* ValueEdit(QWidget* parent) {
    auto* edit = new QLineEdit(QStringLiteral("-"), parent);
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setMinimumWidth(110);
    return edit;
}

QGroupBox* ValueGroup(QWidget* parent, const QString& title, QLabel* (&labels)[4], QLineEdit* (&edits)[4],
                      const char* const (&captions)[4]) {
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    for (int i = 0; i < 4; ++i) {
        labels[i] = new QLabel(QString::fromLatin1(captions[i]), box);
        labels[i]->setMinimumWidth(110);  // the values of all three groups line up
        edits[i] = ValueEdit(box);
        grid->addWidget(labels[i], i, 0);
        grid->addWidget(edits[i], i, 1);
    }
    return box;
}

QPointer<TfrmResults> TheResultsDialog;

} // namespace

TResultsSummary CalcResultsSummary(const TTraining& training) {
    TResultsSummary s;
    const std::size_t n = training.StrokeData.empty() ? 0 : training.StrokeData.size() - 1;
    for (std::size_t i = 1; i <= n; ++i) {
        const TStgStrokeData& stroke = training.StrokeData[i];
        const float power = GetStrokeParameterValue(stroke, kColPower, training.Ini);
        const float rate = GetStrokeParameterValue(stroke, kColStrokeRate, training.Ini);
        const float time500 = GetStrokeParameterValue(stroke, kCol500mTime, training.Ini);
        const float ratio = GetStrokeParameterValue(stroke, kColRatio, training.Ini);
        if (power > s.MaxPower) s.MaxPower = power;
        if (rate > s.MaxStrokeRate) s.MaxStrokeRate = rate;
        if (ratio > s.MaxRatio) s.MaxRatio = ratio;
        // A stroke without power has no 500 m time; its 0 is no record.
        if (time500 > 0 && (!s.Has500mTime || time500 < s.Min500mTime)) {
            s.Min500mTime = time500;
            s.Has500mTime = true;
        }
    }
    s.AvgRatio = GetSessionDriveRatio(training);
    return s;
}

TResultsTexts FormatResults(const TTraining& training) {
    const TResultsSummary s = CalcResultsSummary(training);
    TResultsTexts t;
    t.Caption = QStringLiteral("Results for %1").arg(Cp1252ToQString(training.Header.Title));
    t.Distance = FormatSessionParameterTrimmed(training, 0);
    t.Time = FormatSessionParameterTrimmed(training, 1);
    t.Energy = FormatSessionParameterTrimmed(training, 2);
    t.Strokes = FormatSessionParameterTrimmed(training, 4);
    t.AvgPower = FormatSessionParameterTrimmed(training, 3);
    t.Avg500m = FormatSessionParameterTrimmed(training, 5);
    t.AvgStrokeRate = FormatSessionParameterTrimmed(training, 6);
    t.AvgRatio = FormatStrokeValueTrimmed(kColRatio, s.AvgRatio);
    t.MaxPower = FormatStrokeValueTrimmed(kColPower, s.MaxPower);
    t.Max500m = FormatStrokeValueTrimmed(kCol500mTime, s.Min500mTime);
    t.MaxStrokeRate = FormatStrokeValueTrimmed(kColStrokeRate, s.MaxStrokeRate);
    t.MaxRatio = FormatStrokeValueTrimmed(kColRatio, s.MaxRatio);
    return t;
}

TfrmResults::TfrmResults(QWidget* parent) : TFormDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Results"));

    QLabel* labels[4];
    QLineEdit* edits[4];
    static const char* const totals[4] = {"Distance", "Time", "Energy", "Strokes"};
    gbxTotals = ValueGroup(Client, QStringLiteral("Totals"), labels, edits, totals);
    lblDistance = labels[0], lblTime = labels[1], lblEnergy = labels[2], lblStrokes = labels[3];
    edtDistance = edits[0], edtTime = edits[1], edtEnergy = edits[2], edtStrokes = edits[3];

    static const char* const averages[4] = {"Power", "500m time", "Stroke rate", "Drive : Recover"};
    gbxAverages = ValueGroup(Client, QStringLiteral("Averages"), labels, edits, averages);
    lblAvgPower = labels[0], lblAvg500mTime = labels[1], lblAvgStrokerate = labels[2], lblAvgDriveRecover = labels[3];
    edtAvgPower = edits[0], edtAvg500m = edits[1], edtAvgStrokerate = edits[2], edtAvgDriveRecover = edits[3];

    gbxMaxima = ValueGroup(Client, QStringLiteral("Maxima"), labels, edits, averages);
    lblMaxPower = labels[0], lblMax500mTime = labels[1], lblMaxStrokerate = labels[2], lblMaxDriveRecover = labels[3];
    edtMaxPower = edits[0], edtMax500m = edits[1], edtMaxStrokerate = edits[2], edtMaxDriveRecover = edits[3];

    // Only the left column of groups exists: the dialog is as wide as it plus the frame.
    auto* column = new QVBoxLayout(Client);
    column->setContentsMargins(8, 8, 8, 4);
    for (QGroupBox* box : {gbxTotals, gbxAverages, gbxMaxima}) {
        box->setFixedWidth(280);
        column->addWidget(box);
    }
    column->addStretch(1);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // One button: OK in Cancel's place.
    btbCancel->hide();
    btbOk->setToolTip(QString());
    SetCaptions();
}

void TfrmResults::SetCaptions() {
    const std::pair<QLabel*, int> session[] = {{lblDistance, 0}, {lblTime, 1},      {lblEnergy, 2},
                                               {lblStrokes, 4},  {lblAvgPower, 3},  {lblAvg500mTime, 5},
                                               {lblAvgStrokerate, 6}};
    for (const auto& [label, column] : session)
        if (!SessionParameterCaption(column).isEmpty()) label->setText(SessionParameterCaption(column));
    // The maxima are single strokes: they take the stroke captions.
    const std::pair<QLabel*, int> stroke[] = {{lblMaxPower, kColPower},
                                              {lblMax500mTime, kCol500mTime},
                                              {lblMaxStrokerate, kColStrokeRate},
                                              {lblAvgDriveRecover, kColRatio},
                                              {lblMaxDriveRecover, kColRatio}};
    for (const auto& [label, column] : stroke)
        if (!StrokeParameterCaption(column).isEmpty()) label->setText(StrokeParameterCaption(column));
}

void TfrmResults::Execute(const TTraining& training) {
    FTraining = training;
    const TResultsTexts t = FormatResults(FTraining);
    setWindowTitle(t.Caption);
    const std::pair<QLineEdit*, const QString*> fields[] = {
        {edtDistance, &t.Distance},     {edtTime, &t.Time},
        {edtEnergy, &t.Energy},         {edtStrokes, &t.Strokes},
        {edtAvgPower, &t.AvgPower},     {edtAvg500m, &t.Avg500m},
        {edtAvgStrokerate, &t.AvgStrokeRate}, {edtAvgDriveRecover, &t.AvgRatio},
        {edtMaxPower, &t.MaxPower},     {edtMax500m, &t.Max500m},
        {edtMaxStrokerate, &t.MaxStrokeRate}, {edtMaxDriveRecover, &t.MaxRatio},
    };
    for (const auto& [edit, text] : fields) {
        edit->setText(*text);
        edit->setCursorPosition(0);
    }
}

void TfrmResults::LoadSettings(const QString& iniFileName) {
    const TIniFile ini(iniFileName);
    TResultsSettings& s = FSettings;
    s.IntColumns = ini.ReadString(kSection, QStringLiteral("IntColumns"), QString());
    s.SplitColumns = ini.ReadString(kSection, QStringLiteral("SplitColumns"), QString());
    s.SplitType = ini.ReadInteger(kSection, QStringLiteral("SplitType"), 0);
    s.SplitStrokes = ini.ReadInteger(kSection, QStringLiteral("SplitStrokes"), 0);
    s.SplitDistance = ini.ReadInteger(kSection, QStringLiteral("SplitDistance"), 0);
    s.SplitTime = ini.ReadInteger(kSection, QStringLiteral("SplitTime"), 0);
    s.SplitCustom = ini.ReadInteger(kSection, QStringLiteral("SplitCustom"), 100);
    s.SplitFactor = ini.ReadInteger(kSection, QStringLiteral("SplitFactor"), 4);
    SetCaptions();
}

void TfrmResults::SaveSettings(const QString& iniFileName) {
    if (!IsFileWritable(iniFileName)) return;
    TIniFile ini(iniFileName);
    const TResultsSettings& s = FSettings;
    ini.WriteString(kSection, QStringLiteral("IntColumns"), s.IntColumns);
    ini.WriteString(kSection, QStringLiteral("SplitColumns"), s.SplitColumns);
    ini.WriteInteger(kSection, QStringLiteral("SplitType"), s.SplitType);
    ini.WriteInteger(kSection, QStringLiteral("SplitStrokes"), s.SplitStrokes);
    ini.WriteInteger(kSection, QStringLiteral("SplitDistance"), s.SplitDistance);
    ini.WriteInteger(kSection, QStringLiteral("SplitTime"), s.SplitTime);
    ini.WriteInteger(kSection, QStringLiteral("SplitCustom"), s.SplitCustom);
    ini.WriteInteger(kSection, QStringLiteral("SplitFactor"), s.SplitFactor);
    ini.UpdateFile();
}

void TfrmResults::SetColors(const QFont& font, const QColor& textColor, const QColor&, const QColor& windowColor) {
    // The dialog keeps its design colours; only the font comes from the main window.
    TFormDialog::SetColors(font, textColor, DesignColor, windowColor);
    const QColor designText = QApplication::palette().color(QPalette::WindowText);
    QPalette pal = palette();
    SetEnabledColor(pal, QPalette::WindowText, designText);
    setPalette(pal);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        QPalette ep = edit->palette();
        ep.setColor(QPalette::Base, DesignColor);
        SetEnabledColor(ep, QPalette::Text, designText);
        edit->setPalette(ep);
    }
    update();
}

void TfrmResults::showEvent(QShowEvent* event) {
    LoadSettings(GetUserIniFileName(false));
    TFormDialog::showEvent(event);
}

void TfrmResults::done(int result) {
    SaveSettings(GetUserIniFileName(true));
    TFormDialog::done(result);
}

TfrmResults* ResultsDialog() {
    if (!TheResultsDialog) {
        TheResultsDialog = new TfrmResults(frmMain);
        TakeMainLook(*TheResultsDialog);
    }
    return TheResultsDialog;
}

void ShowResults(const TTraining& training) {
    TfrmResults* dialog = ResultsDialog();
    dialog->Execute(training);
    dialog->exec();
}

void QueueResults(const TTraining& training) {
    QPointer<TfrmResults> dialog = ResultsDialog();
    dialog->Execute(training);
    QTimer::singleShot(0, dialog, [dialog] {
        if (dialog && !dialog->isVisible()) dialog->exec();
    });
}
