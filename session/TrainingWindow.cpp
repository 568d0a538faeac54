#include "session/TrainingWindow.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/core/DateTimeUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"
#include "session/TrainingGridModels.h"
#include "shell/ChartOptionsDialog.h"
#include "shell/MainWindow.h"
#include "shell/SelectColumnsDialog.h"
#include "widgets/GridCellDelegate.h"
#include "widgets/ShapeSample.h"
#include "widgets/UiUtils.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int kTextLimit = int(kShortStringMax);  // what the file holds of each text
constexpr int kMaxWeight = 32767;  // what the user file can store
constexpr int kMaxSetting = 65535;
// What can be typed into a setting field: digits, and for a time up to two ':' (h:mm:ss).
const QRegularExpression kNumberInput(QStringLiteral("\\d{0,5}"));
const QRegularExpression kTimeInput(QStringLiteral("\\d{0,5}(:\\d{0,2}){0,2}"));
const QDate kDayZero(1899, 12, 30);

// The focus gone to a popup or another program, or given back by them.
bool FocusLentForAWhile(const QEvent* event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

int Tag(const QObject* control)
{
    return control ? control->property("Tag").toInt() : 0;
}

template <std::size_t N> void FillCombo(QComboBox* combo, const std::array<std::string_view, N>& table, int first)
{
    for (std::size_t i = std::size_t(first); i < N; ++i)
        combo->addItem(TableText(table, std::int64_t(i)));
}

QLabel* ValueLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setProperty("ValueLabel", true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// Stores a text into a header string; true when it changed.
bool StoreHeaderText(std::string& field, const QString& text)
{
    std::string bytes = QStringToCp1252(text);
    if (bytes.size() > kShortStringMax)
        bytes.resize(kShortStringMax);
    if (bytes == field)
        return false;
    field = std::move(bytes);
    return true;
}

void SetLineText(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

// A combo's text: the equal item is selected, else the text is set.
void SetComboText(QComboBox* combo, const QString& text)
{
    if (combo->currentText() == text)
        return;
    const int index = combo->findText(text, Qt::MatchExactly);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(text);
}

bool ParseInteger(const QString& text, long long& value)
{
    bool ok = false;
    value = text.trimmed().toLongLong(&ok);
    return ok;
}

int& LimitField(TStgIni& ini, bool& isTime)
{
    isTime = ini.SessionLimit == 3;
    switch (ini.SessionLimit) {
    case 1:
        return ini.LimitEnergy;
    case 2:
        return ini.LimitDistance;
    case 3:
        return ini.LimitTime;
    case 4:
        return ini.LimitIntervals;
    default:
        return ini.LimitStrokes;
    }
}

int& PeriodField(TStgIni& ini, bool work, bool& isTime)
{
    isTime = ini.IntervalBy == 3;
    switch (ini.IntervalBy) {
    case 1:
        return work ? ini.WorkEnergy : ini.RestEnergy;
    case 2:
        return work ? ini.WorkDistance : ini.RestDistance;
    case 3:
        return work ? ini.WorkTime : ini.RestTime;
    default:
        return work ? ini.WorkStrokes : ini.RestStrokes;
    }
}

// The field of a setting edit by its Tag, and whether it holds a time; null for none.
int* SettingField(TStgIni& ini, int tag, bool& isTime)
{
    isTime = false;
    switch (tag) {
    case 2:
        return &ini.Weight;
    case 3:
        return &LimitField(ini, isTime);
    case 4:
        return &PeriodField(ini, true, isTime);
    case 5:
        return &PeriodField(ini, false, isTime);
    case 6:
        return &ini.StartValue;
    case 7:
        return &ini.StepValue;
    case 8:
        return &ini.StepRest;
    default:
        return nullptr;
    }
}

}  // namespace

QString ModifiedMarkText(const QString& caption, bool modified)
{
    static const QString mark = QStringLiteral(" (*)");
    QString text = caption;
    if (text.endsWith(mark))
        text.chop(mark.size());
    if (modified)
        text += mark;
    return text;
}

// ---------------------------------------------------------------------------------------------
// Creation

TfrmTraining::TfrmTraining(TMDIMain* owner) : TMDIChild(owner)
{
    setAttribute(Qt::WA_DeleteOnClose, false);  // the sub-window owns it
    if (ThemesActive()) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, GetDialogColor());
        setPalette(pal);
        setAutoFillBackground(true);
    }
    SetDesignSize(640, 480);

    FIntervals = new TTrainingGridModel(TTrainingGridModel::gkIntervals, &Training, this);
    FStrokes = new TTrainingGridModel(TTrainingGridModel::gkStrokeData, &Training, this);
    FCurves = new TTrainingGridModel(TTrainingGridModel::gkForceCurves, &Training, this);

    pclTraining = new QTabWidget(this);
    tshWorkout = new QWidget;
    tshGeneral = new QWidget;
    tshSplits = new QWidget;
    tshStrokeData = new QWidget;
    tshForceCurves = new QWidget;
    tshLog = new QWidget;
    // A small window scrolls its page instead of squeezing the controls.
    const auto scrolled = [](QWidget* page) {
        auto* area = new QScrollArea;
        area->setWidget(page);
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        return area;
    };
    pclTraining->addTab(scrolled(tshWorkout), tr("W&orkout"));
    pclTraining->addTab(scrolled(tshGeneral), tr("&General"));
    pclTraining->addTab(tshSplits, tr("Spl&its"));
    pclTraining->addTab(tshStrokeData, tr("&Stroke data"));
    pclTraining->addTab(tshForceCurves, tr("&Force curves"));
    pclTraining->addTab(tshLog, tr("&Log"));
    for (int i = 2; i < pclTraining->count(); ++i)
        pclTraining->setTabVisible(i, false);

    CreateWorkoutPage();
    CreateGeneralPage();
    CreateGridPages();

    btbClose = new QPushButton(tr("&Close"), this);
    connect(btbClose, &QPushButton::clicked, this, [this] { Close(); });
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btbClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pclTraining, 1);
    layout->addLayout(bottom);

    pclTraining->setCurrentIndex(0);
    ReadHistoryLists();

    // Coming back to the window is not entering a setting: the frame gives the focus back to
    // the field last focused, which must not ask the reset question; the pages take it instead.
    if (QMdiSubWindow* frame = SubWindow())
        connect(frame, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates old, Qt::WindowStates now) {
                    if ((old & Qt::WindowActive) && !(now & Qt::WindowActive))
                        FComingBack = true;
                    else if (!(old & Qt::WindowActive) && (now & Qt::WindowActive))
                        QTimer::singleShot(0, this, [this] { FComingBack = false; });
                });
}

TfrmTraining::~TfrmTraining() = default;

void TfrmTraining::CreateWorkoutPage()
{
    gbxUser = new QGroupBox(tr("&User"), tshWorkout);
    auto* grid = new QGridLayout(gbxUser);
    auto addPair = [&](const QString& caption, QWidget* control, int row, int col) {
        auto* label = new QLabel(caption, gbxUser);
        label->setBuddy(control);
        grid->addWidget(label, row, col * 2);
        grid->addWidget(control, row, col * 2 + 1);
        return label;
    };
    auto newEdit = [&](int tag) {
        auto* edit = new QLineEdit(gbxUser);
        edit->setProperty("Tag", tag);
        edit->setMaximumWidth(90);
        FSettingEdits << edit;
        return edit;
    };
    auto newCombo = [&](int tag) {
        auto* combo = new QComboBox(gbxUser);
        combo->setProperty("Tag", tag);
        FSettingCombos << combo;
        return combo;
    };
    edtWeight = newEdit(2);
    cmbGender = newCombo(1);
    cmbBoat = newCombo(2);
    cmbSprocket = newCombo(3);
    cmbErgometer = newCombo(4);
    cmbSessionLimit = newCombo(5);
    edtLimitValue = newEdit(3);
    cmbIntervalBy = newCombo(6);
    edtWorkPeriod = newEdit(4);
    edtRestPeriod = newEdit(5);
    edtStartValue = newEdit(6);
    edtStepValue = newEdit(7);
    edtRestValue = newEdit(8);
    cmbDisplay = newCombo(7);
    FillCombo(cmbGender, GenderNames, 1);
    FillCombo(cmbBoat, BoatNames, 1);
    FillCombo(cmbSprocket, SprocketNames, 1);
    FillCombo(cmbErgometer, ErgometerNames, 1);
    FillCombo(cmbSessionLimit, LimitNames, 0);
    FillCombo(cmbIntervalBy, IntervalByNames, 0);
    FillCombo(cmbDisplay, DisplayNames, 0);

    addPair(tr("Weight"), edtWeight, 0, 0);
    addPair(tr("Gender"), cmbGender, 1, 0);
    addPair(tr("Boat"), cmbBoat, 2, 0);
    addPair(tr("Sprocket"), cmbSprocket, 0, 1);
    addPair(tr("Ergometer"), cmbErgometer, 1, 1);
    addPair(tr("Session limit"), cmbSessionLimit, 0, 2);
    addPair(tr("Limit value"), edtLimitValue, 1, 2);
    lblIntervalBy = addPair(tr("Interval by"), cmbIntervalBy, 0, 3);
    lblWorkPeriod = addPair(tr("Workperiod"), edtWorkPeriod, 1, 3);
    lblRestPeriod = addPair(tr("Restperiod"), edtRestPeriod, 2, 3);
    // The programme values and the display are kept but not shown.
    for (QWidget* hidden : {static_cast<QWidget*>(edtStartValue), static_cast<QWidget*>(edtStepValue),
                            static_cast<QWidget*>(edtRestValue), static_cast<QWidget*>(cmbDisplay)})
        hidden->hide();
    grid->setColumnStretch(8, 1);

    btnReset = new QPushButton(tr("&Reset"), gbxUser);
    grid->addWidget(btnReset, 2, 3);
    connect(btnReset, &QPushButton::clicked, this, &TfrmTraining::Reset);

    FNumberInput = new QRegularExpressionValidator(kNumberInput, this);
    FTimeInput = new QRegularExpressionValidator(kTimeInput, this);
    for (QLineEdit* edit : FSettingEdits) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { EditChanged(edit); });
        connect(edit, &QLineEdit::returnPressed, this, [this, edit] { EditExit(edit, false); });
    }
    for (QComboBox* combo : FSettingCombos) {
        combo->installEventFilter(this);
        connect(combo, &QComboBox::activated, this, [this, combo] { ComboChanged(combo); });
    }

    // Totals and averages: captions from the session values, values in bold.
    auto valueGroup = [&](const QString& title, std::initializer_list<std::pair<QString, QLabel**>> rows) {
        auto* box = new QGroupBox(title, tshWorkout);
        auto* form = new QFormLayout(box);
        for (const auto& [caption, label] : rows) {
            *label = ValueLabel(box);
            auto* captionLabel = new QLabel(caption, box);
            form->addRow(captionLabel, *label);
            captionLabel->installEventFilter(this);
            (*label)->installEventFilter(this);
        }
        box->installEventFilter(this);
        return box;
    };
    gbxTotals = valueGroup(tr("Totals"), {{SessionParameterCaption(0), &lblDistance},
                                          {SessionParameterCaption(1), &lblTime},
                                          {SessionParameterCaption(2), &lblEnergy},
                                          {SessionParameterCaption(4), &lblStrokes}});
    gbxAverages = valueGroup(tr("Averages"), {{SessionParameterCaption(3), &lblPower},
                                              {SessionParameterCaption(5), &lbl500m},
                                              {SessionParameterCaption(6), &lblStrokerate},
                                              {StrokeParameterCaption(20), &lblDRRatio}});
    gbxAverages->setToolTip(tr("Workout averages. Click to see the Results dialogue."));

    gbxIntervals = new QGroupBox(tr("Intervals"), tshWorkout);
    sgdIntervals = new QTableView(gbxIntervals);
    SetupGrid(sgdIntervals, FIntervals);
    auto* intervals = new QVBoxLayout(gbxIntervals);
    intervals->addWidget(sgdIntervals);
    gbxIntervals->setMinimumHeight(90);

    auto* values = new QHBoxLayout;
    values->addWidget(gbxTotals, 1);
    values->addWidget(gbxAverages, 1);
    auto* page = new QVBoxLayout(tshWorkout);
    page->addWidget(gbxUser);
    page->addLayout(values);
    page->addWidget(gbxIntervals, 1);
    page->addStretch(0);
}

void TfrmTraining::CreateGeneralPage()
{
    gbxRecording = new QGroupBox(tr("&Recording"), tshGeneral);
    edtTitle = new QLineEdit(gbxRecording);
    edtTitle->setMaxLength(kTextLimit);
    auto historyCombo = [&] {
        auto* combo = new QComboBox(gbxRecording);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->setMaxLength(kTextLimit);
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
        connect(combo, &QComboBox::editTextChanged, this, &TfrmTraining::RecordingChanged);
        FHistoryCombos << combo;
        return combo;
    };
    cmbName = historyCombo();
    cmbDescription = historyCombo();
    cmbType = historyCombo();
    cmbEvent = historyCombo();
    dtpDate = new QDateEdit(gbxRecording);
    dtpDate->setCalendarPopup(true);
    // The day before the first date a header can hold stands for no date.
    dtpDate->setDateRange(kDayZero, kDayZero.addDays(kHeaderDateEnd - 1));
    dtpDate->setSpecialValueText(QStringLiteral("-"));
    dtpTime = new QTimeEdit(gbxRecording);
    dtpTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    pnlRecInterface = new QLabel(gbxRecording);
    pnlRecInterface->setFrameShape(QFrame::StyledPanel);
    pnlRecInterface->setFrameShadow(QFrame::Sunken);
    connect(edtTitle, &QLineEdit::textChanged, this, &TfrmTraining::RecordingChanged);
    connect(dtpDate, &QDateEdit::dateChanged, this, &TfrmTraining::DateChanged);
    connect(dtpTime, &QTimeEdit::timeChanged, this, &TfrmTraining::TimeChanged);

    auto* dateTime = new QHBoxLayout;
    dateTime->addWidget(dtpDate, 1);
    dateTime->addWidget(dtpTime, 1);
    auto* form = new QFormLayout(gbxRecording);
    form->addRow(tr("Title"), edtTitle);
    form->addRow(tr("Name"), cmbName);
    form->addRow(tr("Description"), cmbDescription);
    form->addRow(tr("Date / Time"), dateTime);
    form->addRow(tr("Type"), cmbType);
    form->addRow(tr("Event"), cmbEvent);
    form->addRow(pnlRecInterface);

    gbxNote = new QGroupBox(tr("&Note"), tshGeneral);
    memNote = new QPlainTextEdit(gbxNote);
    connect(memNote, &QPlainTextEdit::textChanged, this, &TfrmTraining::RecordingChanged);
    auto* note = new QVBoxLayout(gbxNote);
    note->addWidget(memNote);

    auto fileGroup = [&](const QString& title, QLabel** file, QLabel** date, QLabel** size, QLabel** type) {
        auto* box = new QGroupBox(title, tshGeneral);
        auto* f = new QFormLayout(box);
        for (auto [caption, label] : {std::pair{tr("File"), file}, std::pair{tr("Date / Time"), date},
                                      std::pair{tr("Size"), size}, std::pair{tr("Type"), type}}) {
            *label = ValueLabel(box);
            (*label)->setWordWrap(true);
            f->addRow(caption, *label);
        }
        return box;
    };
    gbxTraining = fileGroup(tr("Training"), &lblTFile, &lblTDateTime, &lblTSize, &lblTType);
    gbxOFile = fileGroup(tr("Original file"), &lblOFile, &lblODateTime, &lblOSize, &lblOType);
    gbxOFile->hide();

    gbxClient = new QGroupBox(tr("Client"), tshGeneral);
    lblAddress = ValueLabel(gbxClient);
    lblIDStatus = ValueLabel(gbxClient);
    auto* client = new QFormLayout(gbxClient);
    client->addRow(lblAddress);
    client->addRow(lblIDStatus);
    gbxClient->hide();
    btnDatabase = new QPushButton(tr("&In database"), tshGeneral);
    btnDatabase->hide();

    gbxChart = new QGroupBox(tr("Chart"), tshGeneral);
    shpWindow = new TShape(gbxChart);
    shpDialog = new TShape(gbxChart);
    shpChart = new TShape(shpWindow);
    shpInverse = new TShape(shpDialog);
    shpWindow->setFixedHeight(24);
    shpDialog->setFixedHeight(24);
    shpWindow->installEventFilter(this);
    shpDialog->installEventFilter(this);
    btnOptions = new QPushButton(tr("&Options..."), gbxChart);
    connect(btnOptions, &QPushButton::clicked, this, [this] { ChartOptions(); });
    auto* chart = new QVBoxLayout(gbxChart);
    chart->addWidget(shpWindow);
    chart->addWidget(shpDialog);
    auto* options = new QHBoxLayout;
    options->addStretch(1);
    options->addWidget(btnOptions);
    chart->addLayout(options);

    auto* left = new QVBoxLayout;
    left->addWidget(gbxRecording);
    left->addWidget(gbxNote, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(gbxTraining);
    right->addWidget(gbxOFile);
    right->addWidget(gbxClient);
    right->addWidget(gbxChart);
    right->addStretch(1);
    right->addWidget(btnDatabase);
    auto* page = new QHBoxLayout(tshGeneral);
    page->addLayout(left, 3);
    page->addLayout(right, 2);
}

void TfrmTraining::CreateGridPages()
{
    sgdSplits = new QTableView(tshSplits);
    sgdStrokeData = new QTableView(tshStrokeData);
    sgdForceCurves = new QTableView(tshForceCurves);
    auto* splits = new TTrainingGridModel(TTrainingGridModel::gkSplits, &Training, this);
    SetupGrid(sgdSplits, splits);
    SetupGrid(sgdStrokeData, FStrokes);
    sgdForceCurves->horizontalHeader()->setDefaultSectionSize(30);
    SetupGrid(sgdForceCurves, FCurves);
    for (auto [page, grid] : {std::pair{tshSplits, sgdSplits}, std::pair{tshStrokeData, sgdStrokeData},
                              std::pair{tshForceCurves, sgdForceCurves}}) {
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(grid);
    }
}

void TfrmTraining::SetupGrid(QTableView* grid, TTrainingGridModel* model)
{
    grid->setModel(model);
    grid->setItemDelegate(new TGridCellDelegate(grid));  // column 0 drawn as the fixed column
    grid->verticalHeader()->hide();
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setContextMenuPolicy(Qt::NoContextMenu);
    SetGridKeys(grid);
    grid->setWordWrap(false);
    QHeaderView* header = grid->horizontalHeader();
    if (model->Kind() != TTrainingGridModel::gkForceCurves)
        header->setDefaultSectionSize(64);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    // Wide enough for the title and, in column 0, for four-digit row numbers.
    const QFontMetrics metrics(header->font());
    grid->setColumnWidth(0, std::max(30, metrics.horizontalAdvance(QStringLiteral("9999")) + 10));
    for (int c = 1; c < model->columnCount(); ++c)
        grid->setColumnWidth(c, std::max(header->defaultSectionSize(),
                                         metrics.horizontalAdvance(model->ColumnTitle(c)) + 12));
    // Fixed rows: the uniform height keeps long grids cheap to scroll.
    const int points = std::max(6, font().pointSize());
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(std::max(2 * points, fontMetrics().height() + 2));
    header->setFixedHeight(std::max(int(std::nearbyint(2.5 * points)), fontMetrics().height() + 4));
    QPalette pal = header->palette();
    SetEnabledColor(pal, QPalette::ButtonText, Qt::black);
    header->setPalette(pal);
}

void TfrmTraining::ReadHistoryLists()
{
    const QString name = GetUserIniFileName(false);
    if (name.isEmpty())
        return;
    TIniFile ini(name);
    const std::pair<const char*, QComboBox*> lists[] = {
        {"Name", cmbName}, {"Description", cmbDescription}, {"Type", cmbType}, {"Event", cmbEvent}};
    for (const auto& [section, combo] : lists) {
        QStringList lines;
        ini.ReadSectionValues(QString::fromLatin1(section), lines);
        const QSignalBlocker block(combo);
        for (const QString& line : lines) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            const QString value = eq < 0 ? line : line.mid(eq + 1);
            if (!value.isEmpty())
                combo->addItem(value.left(kTextLimit));
        }
        combo->setCurrentIndex(-1);
    }
}

// ---------------------------------------------------------------------------------------------
// Refresh

void TfrmTraining::RefreshTraining()
{
    RefreshHeader();
    const TStgHeader& h = Training.Header;
    lblOFile->setText(FormatHeaderText(h.SourceFileName));
    lblODateTime->setText(FormatHeaderDate(h.SourceFileDate));
    lblOSize->setText(FormatFileSize(Cp1252ToQString(h.SourceFileName), h.SourceFileSize));
    lblOType->setText(FormatFileKind(h.SourceContentKind, h.SourceFileFormat));
    UpdateUserControls();
    FillSettingControls();
    UpdateTotals();
    RefreshIntervals();
    RefreshStrokeData();
    RefreshForceCurves();
}

void TfrmTraining::FillSettingControls()
{
    FRefreshing = true;
    const TStgIni& ini = Training.Ini;
    for (QLineEdit* edit : FSettingEdits) {
        const QSignalBlocker block(edit);
        edit->setValidator(IsTimeSetting(Tag(edit)) ? FTimeInput : FNumberInput);
        edit->setText(SettingText(Tag(edit)));
    }
    const std::pair<QComboBox*, int> combos[] = {
        {cmbGender, ini.Gender},       {cmbBoat, ini.Boat},
        {cmbSprocket, ini.Sprocket},   {cmbErgometer, ini.Ergometer},
        {cmbSessionLimit, ini.SessionLimit}, {cmbIntervalBy, ini.IntervalBy},
        {cmbDisplay, ini.Display}};
    for (const auto& [combo, value] : combos) {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
    }
    FRefreshing = false;
}

void TfrmTraining::UpdateTotals()
{
    lblDistance->setText(FormatSessionParameterTrimmed(Training, 0));
    lblTime->setText(FormatSessionParameterTrimmed(Training, 1));
    lblEnergy->setText(FormatSessionParameterTrimmed(Training, 2));
    lblStrokes->setText(FormatSessionParameterTrimmed(Training, 4));
    lblPower->setText(FormatSessionParameterTrimmed(Training, 3));
    lbl500m->setText(FormatSessionParameterTrimmed(Training, 5));
    lblStrokerate->setText(FormatSessionParameterTrimmed(Training, 6));
    lblDRRatio->setText(FormatSessionDriveRatioTrimmed(Training));
}

void TfrmTraining::RefreshHeader()
{
    FRefreshing = true;
    const TStgHeader& h = Training.Header;
    const bool modified = h.Modified != 0;
    for (QGroupBox* box : {gbxTraining, gbxRecording, gbxNote, gbxChart, gbxClient, gbxOFile, gbxUser, gbxTotals,
                           gbxAverages, gbxIntervals})
        box->setTitle(ModifiedMarkText(box->title(), modified));
    setWindowTitle(Cp1252ToQString(h.Title));

    lblTFile->setText(FormatHeaderText(h.FileName));
    lblTDateTime->setText(FormatHeaderDate(h.FileDate));
    lblTSize->setText(FormatFileSize(Cp1252ToQString(h.FileName), h.FileSize));
    lblTType->setText(FormatFileKind(h.ContentKind, h.FileFormat));

    {
        const QSignalBlocker b1(edtTitle), b2(memNote), b3(dtpDate), b4(dtpTime);
        SetLineText(edtTitle, Cp1252ToQString(h.Title));
        const std::pair<QComboBox*, const std::string*> combos[] = {
            {cmbName, &h.Name}, {cmbDescription, &h.Description}, {cmbType, &h.TrainingType}, {cmbEvent, &h.Event}};
        for (const auto& [combo, text] : combos) {
            const QSignalBlocker block(combo);
            SetComboText(combo, Cp1252ToQString(*text));
        }
        const QString note = Cp1252ToQString(h.Note);
        if (memNote->toPlainText() != note)
            memNote->setPlainText(note);
        // No date (NaN, huge, negative) is shown as "-" in both, never as some other day.
        const bool isDate = IsHeaderDate(h.Date);
        const double day = isDate ? std::floor(h.Date) : 0.0;
        dtpDate->setDate(kDayZero.addDays(qint64(day)));
        dtpTime->setSpecialValueText(isDate ? QString() : QStringLiteral("-"));
        dtpTime->setTime(isDate ? QTime(0, 0).addMSecs(int(std::nearbyint((h.Date - day) * 86400000.0)) % 86400000)
                                : QTime(0, 0));
    }
    for (QWidget* w : {static_cast<QWidget*>(edtTitle), static_cast<QWidget*>(cmbName),
                       static_cast<QWidget*>(cmbDescription), static_cast<QWidget*>(dtpDate),
                       static_cast<QWidget*>(dtpTime), static_cast<QWidget*>(cmbType),
                       static_cast<QWidget*>(cmbEvent), static_cast<QWidget*>(memNote)})
        w->setEnabled(true);

    // Where the data came from, only while there is data: an emptied training keeps the text.
    if (!IsEmptyTraining(Training)) {
        QString source;
        if (h.InterfaceType != 0)
            source += TableText(InterfaceTypeNames, h.InterfaceType) + QStringLiteral(" @ ");
        if (h.SourceProgram != 0)
            source += TableText(SourceProgramNames, h.SourceProgram) + QLatin1Char(' ');
        if (Training.Version != 0) {
            const auto v = std::uint32_t(Training.Version);
            source += QString::asprintf("%u.%u.%u.%u", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        }
        pnlRecInterface->setText(source + QStringLiteral("  "));
    }

    // The line sample: a solid pen fills the shape with the colour, other styles draw only the
    // outline on the chart's background.
    const QColor color = ColorRefToQColor(std::uint32_t(h.Color));
    const bool solid = h.PenStyle == 0;
    const int width = std::clamp(int(h.PenWidth), 1, 20);
    shpChart->SetPen(color, PenStyleOfByte(h.PenStyle), 1);
    shpChart->SetBrushColor(solid ? color : shpWindow->BrushColor());
    shpChart->setFixedHeight(std::min(width, shpWindow->height()));
    const bool inverse = frmMain && frmMain->ChartSeriesOption;
    const QColor inverseColor = inverse ? ColorRefToQColor(InvertColor(std::uint32_t(h.Color))) : color;
    shpInverse->SetPen(inverseColor, PenStyleOfByte(h.PenStyle), 1);
    shpInverse->SetBrushColor(solid ? inverseColor : shpDialog->BrushColor());
    shpInverse->setFixedHeight(inverse ? std::min(width, shpDialog->height()) : 1);
    FormResize();
    btnOptions->setEnabled(true);

    lblAddress->setText(Training.Client.Address.empty()
                            ? QStringLiteral("-")
                            : QStringLiteral("%1:%2").arg(Cp1252ToQString(Training.Client.Address)).arg(Training.Client.Port));
    lblIDStatus->setText(QStringLiteral("%1 / %2").arg(Training.Id).arg(TableText(SessionStateNames, Training.State)));
    FRefreshing = false;
    if (Owner())
        Owner()->UpdateWindowPanels();
}

void TfrmTraining::UpdateUserControls()
{
    btnReset->setEnabled(!IsEmptyTraining(Training));
    const bool user = IsUserContent(Training);
    for (QLineEdit* edit : FSettingEdits)
        edit->setEnabled(user);
    for (QComboBox* combo : FSettingCombos)
        combo->setEnabled(user);
    const bool intervals = Training.Ini.SessionLimit == 4;
    for (QWidget* w : {static_cast<QWidget*>(cmbIntervalBy), static_cast<QWidget*>(edtWorkPeriod),
                       static_cast<QWidget*>(edtRestPeriod), static_cast<QWidget*>(lblIntervalBy),
                       static_cast<QWidget*>(lblWorkPeriod), static_cast<QWidget*>(lblRestPeriod)}) {
        w->setVisible(intervals);
        w->setEnabled(intervals && user);
    }
}

void TfrmTraining::RefreshIntervals()
{
    gbxIntervals->setVisible(Training.Ini.SessionLimit == 4);
    FIntervals->Refresh();
}

void TfrmTraining::RefreshStrokeData()
{
    FStrokes->Refresh();
}

void TfrmTraining::RefreshForceCurves()
{
    FCurves->Refresh();
}

void TfrmTraining::StrokeStored()
{
    RefreshStrokeData();
    // Minimised, the window is hidden in its frame: its showEvent sets them when it comes back.
    if (isVisible())
        UpdateTotals();
}

void TfrmTraining::FormResize()
{
    // The line samples sit in the middle of their shapes.
    for (auto [outer, inner] : {std::pair{shpWindow, shpChart}, std::pair{shpDialog, shpInverse}}) {
        const int w = std::max(0, outer->width() - 16);
        inner->setGeometry(8, (outer->height() - inner->height()) / 2, w, inner->height());
    }
}

void TfrmTraining::resizeEvent(QResizeEvent* event)
{
    TMDIChild::resizeEvent(event);
    FormResize();
}

void TfrmTraining::showEvent(QShowEvent* event)
{
    TMDIChild::showEvent(event);
    UpdateUserControls();
    UpdateTotals();  // a session may have rowed on while it was minimised
    QTimer::singleShot(0, this, [this] { FormResize(); });
}

void TfrmTraining::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor, const QColor& windowColor)
{
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, backColor);
    SetEnabledColor(pal, QPalette::WindowText, textColor);
    setPalette(pal);
    setAutoFillBackground(true);
    QFont bold = font;
    bold.setBold(true);
    for (QLabel* label : findChildren<QLabel*>())
        label->setFont(label->property("ValueLabel").toBool() ? bold : font);
    const auto editColours = [&](QWidget* w) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, windowColor);
        SetEnabledColor(p, QPalette::Text, textColor);
        w->setPalette(p);
        w->setFont(font);
    };
    for (QLineEdit* w : findChildren<QLineEdit*>())
        editColours(w);
    for (QComboBox* w : findChildren<QComboBox*>())
        editColours(w);
    for (QAbstractSpinBox* w : findChildren<QAbstractSpinBox*>())
        editColours(w);
    for (QTableView* w : findChildren<QTableView*>())
        editColours(w);
    editColours(memNote);
    shpWindow->SetBrushColor(windowColor);
    shpDialog->SetBrushColor(backColor);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        QPalette p = button->palette();
        SetEnabledColor(p, QPalette::ButtonText, Qt::black);
        button->setPalette(p);
    }
    RefreshTraining();
}

void TfrmTraining::NotifyMain()
{
    if (frmMain)
        frmMain->RefreshViews();
}

// ---------------------------------------------------------------------------------------------
// Settings

bool TfrmTraining::ParseTimeText(const QString& text, int& seconds)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.isEmpty() || parts.size() > 3)
        return false;
    long long values[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 9)
            return false;
        for (QChar c : part)
            if (!c.isDigit() || c.unicode() > 127)
                return false;
        values[i] = part.toLongLong();
        // Minutes and seconds after the first field stay below 60.
        if (i > 0 && values[i] >= 60)
            return false;
    }
    long long total = 0;
    for (qsizetype i = 0; i < parts.size(); ++i)
        total = total * 60 + values[i];
    seconds = int(std::min<long long>(total, 1LL << 30));
    return true;
}

QString TfrmTraining::TimeText(int seconds)
{
    const int s = std::max(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString TfrmTraining::SettingText(int tag) const
{
    TStgIni ini = Training.Ini;
    bool isTime = false;
    const int* field = SettingField(ini, tag, isTime);
    if (!field)
        return QString();
    return isTime ? TimeText(*field) : QString::number(*field);
}

bool TfrmTraining::IsTimeSetting(int tag) const
{
    TStgIni ini = Training.Ini;
    bool isTime = false;
    SettingField(ini, tag, isTime);
    return isTime;
}

int TfrmTraining::SettingMaximum(int tag)
{
    return tag == 2 ? kMaxWeight : kMaxSetting;
}

bool TfrmTraining::ReadSetting(int tag, const QString& text, int& value) const
{
    TStgIni ini = Training.Ini;
    bool isTime = false;
    if (!SettingField(ini, tag, isTime))
        return false;
    long long read = 0;
    if (isTime) {
        int seconds = 0;
        if (!ParseTimeText(text, seconds))
            return false;
        read = seconds;
    } else if (!ParseInteger(text, read)) {
        return false;
    }
    if (read < 0 || read > SettingMaximum(tag))
        return false;
    value = int(read);
    return true;
}

QString TfrmTraining::SettingRefusal(int tag, const QString& text) const
{
    if (IsTimeSetting(tag))
        return QStringLiteral("'%1' is not a time from %2 to %3 (hours:minutes:seconds).")
            .arg(text, TimeText(0), TimeText(SettingMaximum(tag)));
    return QStringLiteral("'%1' is not a whole number from 0 to %2.").arg(text).arg(SettingMaximum(tag));
}

bool TfrmTraining::StoreSetting(int tag, const QString& text)
{
    int value = 0;
    if (!ReadSetting(tag, text, value))
        return false;
    TStgIni& ini = Training.Ini;
    const TStgIni old = ini;
    bool isTime = false;
    *SettingField(ini, tag, isTime) = value;
    if (tag == 4)
        ini.WorkValue = value;
    else if (tag == 5)
        ini.RestValue = value;
    if (!(old == ini))
        Training.Header.Modified = 1;
    return true;
}

bool TfrmTraining::ConfirmSettingChange(QWidget* control)
{
    if (FAsking || FRefreshing)
        return false;
    if (IsEmptyTraining(Training))
        return true;
    FAsking = true;
    bool wasReset = false;
    const bool ok = ConfirmResetTraining(Training, 0, wasReset);
    FAsking = false;
    if (!ok) {
        // Nothing changed: the controls show the stored values again, not what was typed or
        // chosen meanwhile.
        FillSettingControls();
        // The focus goes elsewhere, also after the question's window has given it back.
        pclTraining->setFocus();
        QTimer::singleShot(0, this, [this, guard = QPointer<QWidget>(control)] {
            if (guard && guard->hasFocus())
                pclTraining->setFocus();
        });
        return false;
    }
    if (wasReset) {
        if (OnResetSession)
            OnResetSession(this);
        RefreshTraining();
        NotifyMain();
    }
    return true;
}

void TfrmTraining::EditChanged(QLineEdit* edit)
{
    if (FRefreshing || edit->text().isEmpty() || !ConfirmSettingChange(edit))
        return;
    // Only texts that make a value are taken while typing; leaving the field puts back the
    // value that was taken.
    if (StoreSetting(Tag(edit), edit->text())) {
        RefreshHeader();
        NotifyMain();
    }
}

void TfrmTraining::EditExit(QLineEdit* edit, bool leaving)
{
    if (FRefreshing)
        return;
    const int tag = Tag(edit);
    const QString text = edit->text().trimmed();
    int value = 0;
    const bool taken = !text.isEmpty() && ReadSetting(tag, text, value);
    if (!taken && FEntryEdit == edit && !(Training.Ini == FEntryIni)) {
        // A text that makes no value keeps what the field held when entered, not a value taken
        // on the way there ("0:00:6" of "0:00:61").
        Training.Ini = FEntryIni;
        RefreshHeader();
        NotifyMain();
    }
    if (!taken && !text.isEmpty()) {
        // Said once the focus has settled where the user put it.
        QTimer::singleShot(0, this, [why = SettingRefusal(tag, text)] {
            PromptUser(why, TMsgKind::Warning, TMsgButtons::Ok);
        });
    }
    if (leaving)
        FEntryEdit = nullptr;
    else if (taken && FEntryEdit == edit)
        FEntryIni = Training.Ini;  // Enter keeps what was typed
    const QSignalBlocker block(edit);
    SetLineText(edit, SettingText(tag));
}

void TfrmTraining::ComboChanged(QComboBox* combo)
{
    if (FRefreshing)
        return;
    if (!ConfirmSettingChange(combo)) {
        FillSettingControls();  // also when no question could be asked now
        return;
    }
    StoreCombo(combo);
}

void TfrmTraining::StoreCombo(QComboBox* combo)
{
    TStgIni& ini = Training.Ini;
    int* field = nullptr;
    switch (Tag(combo)) {
    case 1:
        field = &ini.Gender;
        break;
    case 2:
        field = &ini.Boat;
        break;
    case 3:
        field = &ini.Sprocket;
        break;
    case 4:
        field = &ini.Ergometer;
        break;
    case 5:
        field = &ini.SessionLimit;
        break;
    case 6:
        field = &ini.IntervalBy;
        break;
    case 7:
        field = &ini.Display;
        break;
    default:
        return;
    }
    if (combo->currentIndex() < 0)
        return;
    if (*field != combo->currentIndex()) {
        *field = combo->currentIndex();
        Training.Header.Modified = 1;
    }
    RefreshTraining();
    NotifyMain();
}

void TfrmTraining::RecordingChanged()
{
    if (FRefreshing)
        return;
    TStgHeader& h = Training.Header;
    QString note = memNote->toPlainText();
    if (note.size() > kTextLimit) {
        note.truncate(kTextLimit);
        const QSignalBlocker block(memNote);
        memNote->setPlainText(note);
        memNote->moveCursor(QTextCursor::End);
    }
    bool changed = StoreHeaderText(h.Title, edtTitle->text());
    changed |= StoreHeaderText(h.Name, cmbName->currentText());
    changed |= StoreHeaderText(h.Description, cmbDescription->currentText());
    changed |= StoreHeaderText(h.TrainingType, cmbType->currentText());
    changed |= StoreHeaderText(h.Event, cmbEvent->currentText());
    changed |= StoreHeaderText(h.Note, note);
    if (!changed)
        return;
    h.Modified = 1;
    RefreshHeader();
    NotifyMain();
}

void TfrmTraining::DateChanged()
{
    if (FRefreshing)
        return;
    TStgHeader& h = Training.Header;
    const double day = double(kDayZero.daysTo(dtpDate->date()));
    const bool isDate = IsHeaderDate(h.Date);
    if (!IsHeaderDate(day) || (isDate && day == std::floor(h.Date))) {
        RefreshHeader();  // "-" is no date to store
        return;
    }
    h.Date = day + (isDate ? h.Date - std::floor(h.Date) : 0.0);
    h.Modified = 1;
    RefreshHeader();
    NotifyMain();
}

void TfrmTraining::TimeChanged()
{
    if (FRefreshing)
        return;
    TStgHeader& h = Training.Header;
    // A time given to no date takes today's.
    const double day = IsHeaderDate(h.Date) ? std::floor(h.Date) : std::floor(Now());
    const double time = dtpTime->time().msecsSinceStartOfDay() / 86400000.0;
    if (IsHeaderDate(h.Date) && std::abs(h.Date - day - time) < 0.5 / 86400.0)
        return;
    h.Date = day + time;
    h.Modified = 1;
    RefreshHeader();
    NotifyMain();
}

void TfrmTraining::AddComboHistory(QComboBox* combo)
{
    const QString text = combo->currentText();
    if (text.isEmpty() || combo->findText(text, Qt::MatchExactly) >= 0)
        return;
    const QSignalBlocker block(combo);
    combo->addItem(text);
    combo->setCurrentIndex(combo->count() - 1);
}

bool TfrmTraining::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == shpWindow || watched == shpDialog)
            FormResize();
        break;
    case QEvent::FocusIn: {
        auto* control = qobject_cast<QWidget*>(watched);
        if (!FSettingEdits.contains(qobject_cast<QLineEdit*>(watched)) &&
            !FSettingCombos.contains(qobject_cast<QComboBox*>(watched)))
            break;
        // The focus given back when the program's window or a popup closes, or by the frame of
        // this window as it becomes active again, is not the user's entering of a setting.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (FComingBack && reason == Qt::OtherFocusReason) {
            QTimer::singleShot(0, this, [this, control = QPointer<QWidget>(control)] {
                if (control && control->hasFocus())
                    pclTraining->setFocus(Qt::OtherFocusReason);
            });
            break;
        }
        if (!FocusLentForAWhile(event) && ConfirmSettingChange(control)) {
            if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                FEntryEdit = edit;
                FEntryIni = Training.Ini;
            }
        }
        break;
    }
    case QEvent::FocusOut:
        if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && FSettingEdits.contains(edit)) {
            // The field's context menu or another program holding the focus for a while is no
            // leaving: the user is still typing in it.
            if (!FocusLentForAWhile(event))
                EditExit(edit, true);
        } else {
            for (QComboBox* combo : FHistoryCombos)
                if (watched == combo || watched == combo->lineEdit())
                    AddComboHistory(combo);
        }
        break;
    case QEvent::MouseButtonRelease: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == gbxTotals || widget == gbxAverages || widget->parentWidget() == gbxTotals ||
                       widget->parentWidget() == gbxAverages)) {
            QTimer::singleShot(0, this, &TfrmTraining::ShowResults);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return TMDIChild::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Buttons and actions

void TfrmTraining::Reset()
{
    if (IsEmptyTraining(Training))
        return;
    bool wasReset = false;
    if (!ConfirmResetTraining(Training, 2, wasReset))
        return;
    ResetTraining(Training);
    Training.Header.ContentKind = 7;
    if (OnResetSession) {
        OnResetSession(this);
        Training.Header.ContentKind = 7;
    }
    RefreshTraining();
    NotifyMain();
}

bool TfrmTraining::ChartOptions()
{
    if (!ChartOptionsDialog().Execute(Training))
        return false;
    Training.Header.Modified = 1;
    if (frmMain)
        frmMain->RefreshViews();
    RefreshHeader();
    NotifyMain();
    return true;
}

QTableView* TfrmTraining::ActiveGrid() const
{
    QWidget* page = pclTraining->currentWidget();
    if (auto* area = qobject_cast<QScrollArea*>(page))
        page = area->widget();
    if (page == tshWorkout)
        return gbxIntervals->isVisible() ? sgdIntervals : nullptr;
    if (page == tshSplits)
        return sgdSplits;
    if (page == tshStrokeData)
        return sgdStrokeData;
    if (page == tshForceCurves)
        return sgdForceCurves;
    return nullptr;
}

void TfrmTraining::CopyData(int mode)
{
    if (QTableView* grid = ActiveGrid())
        CopyGridToClipboard(grid, mode);
}

void TfrmTraining::SelectColumns()
{
    if (QTableView* grid = ActiveGrid())
        SelectColumnsDialog().Execute(grid);
}
