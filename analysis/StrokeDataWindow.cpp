#include "analysis/StrokeDataWindow.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/IniFiles.h"
#include "shell/MainWindow.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("StrokeData");
constexpr int kSessionColumns = kSessionParameterCount;
constexpr int kDefaultX = 0;   // stroke number
constexpr int kDefaultY = 1;   // power
constexpr int kDefaultZ = 12;  // pulse
constexpr int kLabelWidth = 76;  // the lists take the panel's width less 80
const QColor kCream(255, 251, 240);

}  // namespace

TfrmStrokeData::TfrmStrokeData(TMDIMain* owner) : TfrmChart(owner)
{
    setWindowTitle(tr("Stroke Data"));
    FSection = kSection;
    FSquare = false;
    FChart->setToolTip(tr("Stroke data chart"));

    sgdData->setColumnCount(1 + kSessionColumns);
    QStringList titles{QString()};
    for (int i = 0; i < kSessionColumns; ++i)
        titles << SessionParameterTitle(i);
    sgdData->setHorizontalHeaderLabels(titles);
    FitDataColumnsToTitles();

    pnlTraining4->setAutoFillBackground(true);
    QPalette pal = pnlTraining4->palette();
    pal.setColor(QPalette::Window, kCream);
    pnlTraining4->setPalette(pal);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(2, 4, 2, 4);
    grid->setHorizontalSpacing(4);
    grid->setColumnMinimumWidth(0, kLabelWidth);
    grid->setColumnStretch(1, 1);
    qobject_cast<QVBoxLayout*>(pnlTraining4->layout())->addLayout(grid);

    auto makeList = [this](const QString& hint) {
        auto* list = new QComboBox(pnlTraining4);
        list->setToolTip(hint);
        list->setMaxVisibleItems(kStrokeParameterCount);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(8);
        for (int i = 0; i < kStrokeParameterCount; ++i)
            list->addItem(StrokeParameterCaption(i));
        return list;
    };
    auto makeBox = [this](const QString& caption, const QString& hint) {
        auto* box = new QCheckBox(caption, pnlTraining4);
        box->setToolTip(hint);
        return box;
    };
    lblX = new QLabel(tr("X axis"), pnlTraining4);
    lblX->setToolTip(tr("X axis values"));
    cmbX = makeList(tr("X axis values"));
    cbxY = makeBox(tr("Y axis"), tr("Show Y axis"));
    cmbY = makeList(tr("Y axis values"));
    cbxYMarks = makeBox(tr("Marks"), tr("Show marks for Y values"));
    cbxYAverage = makeBox(tr("Averages"), tr("Show averages for Y values"));
    cbxZ = makeBox(tr("Z axis"), tr("Show Z axis"));
    cmbZ = makeList(tr("Z axis values"));
    cbxZMarks = makeBox(tr("Marks"), tr("Show marks for Z values"));
    cbxZAverage = makeBox(tr("Averages"), tr("Show averages for Z values"));
    grid->addWidget(lblX, 0, 0);
    grid->addWidget(cmbX, 0, 1);
    grid->addWidget(cbxY, 1, 0);
    grid->addWidget(cmbY, 1, 1);
    grid->addWidget(cbxYMarks, 2, 0);
    grid->addWidget(cbxYAverage, 2, 1);
    grid->addWidget(cbxZ, 3, 0);
    grid->addWidget(cmbZ, 3, 1);
    grid->addWidget(cbxZMarks, 4, 0);
    grid->addWidget(cbxZAverage, 4, 1);
    for (QCheckBox* box : {cbxYMarks, cbxYAverage, cbxZMarks, cbxZAverage})
        box->hide();

    SelectColumn(cmbX, kDefaultX);
    SelectColumn(cmbY, kDefaultY);
    SelectColumn(cmbZ, kDefaultZ);
    cbxY->setChecked(true);
    cbxZ->setChecked(true);

    for (QComboBox* list : {cmbX, cmbY, cmbZ})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { BuildChart(); });
    for (QCheckBox* box : {cbxY, cbxYMarks, cbxYAverage})
        connect(box, &QCheckBox::clicked, this, [this] { BuildChart(); });
    for (QCheckBox* box : {cbxZ, cbxZMarks, cbxZAverage})
        connect(box, &QCheckBox::clicked, this, [this] { cbxZClick(); });

    BuildChart();
}

int TfrmStrokeData::SelectedColumn(const QComboBox* list)
{
    // Positions are row indexes of the stroke table, so every column has a value to plot
    // (the table's ids are -1 for 17 of them).
    const int position = list->currentIndex();
    return position >= 0 && position < kStrokeParameterCount ? position : -1;
}

void TfrmStrokeData::SelectColumn(QComboBox* list, int column)
{
    list->setCurrentIndex(column >= 0 && column < kStrokeParameterCount ? column : -1);
}

void TfrmStrokeData::BuildChart()
{
    FShowZ = cbxZ->isChecked();
    TChartModel& model = FChart->EditModel();
    model.FreeAllSeries();
    const int x = SelectedColumn(cmbX);
    const int y = SelectedColumn(cmbY);
    const int z = SelectedColumn(cmbZ);
    const bool invertZ = FShowZ && (frmMain ? frmMain->ChartSeriesOption : true);
    bool first = true;
    const int count = OpenTrainingCount();
    for (int i = 0; i < count; ++i) {
        const TTraining* training = TrainingRef(i);
        if (!training || !training->Header.Active)
            continue;
        CreateStrokeSeries(model, *training, x, y, z, cbxY->isChecked(), cbxYAverage->isChecked(),
                           cbxYMarks->isChecked(), cbxZ->isChecked(), cbxZAverage->isChecked(),
                           cbxZMarks->isChecked(), invertZ, first, false, false);
        first = false;
    }
    SetWholeNumberAxes(model, x, y, z);
    model.Bottom.Title = QStringLiteral("X  ") + StrokeParameterLongTitle(x);
    model.Left.Title = QStringLiteral("Y  ") + StrokeParameterLongTitle(y);
    model.Right.Title = QStringLiteral("Z  ") + StrokeParameterLongTitle(z);
    FChart->Refresh();
    cmbY->setEnabled(cbxY->isChecked());
    cmbZ->setEnabled(cbxZ->isChecked());
    for (QCheckBox* box : {cbxYAverage, cbxYMarks, cbxZAverage, cbxZMarks})
        box->hide();
}

void TfrmStrokeData::FillSessionGrid()
{
    FillDataGridHeader();
    int row = 0;
    const int count = OpenTrainingCount();
    for (int i = 0; i < count; ++i) {
        const TTraining* training = TrainingRef(i);
        if (!training || !training->Header.Active)
            continue;
        ++row;
        for (int c = 0; c < kSessionColumns; ++c)
            sgdData->setItem(row - 1, c + 1, new QTableWidgetItem(FormatSessionParameter(*training, c)));
    }
    if (row == 0)
        for (int c = 0; c < sgdData->columnCount(); ++c)
            delete sgdData->takeItem(0, c);
}

void TfrmStrokeData::FillTrainingList(bool selectFirst)
{
    TfrmChart::FillTrainingList(selectFirst);
    BuildChart();
    FillSessionGrid();
}

QString TfrmStrokeData::GetTrainingCaption(int index) const
{
    const TTraining* training = TrainingRef(index);
    if (!training)
        return QString();
    return TrainingLabelText(training->Header, frmMain ? frmMain->ChartLabelFields : 4, false);
}

void TfrmStrokeData::UpdatePictureInfo()
{
    pnlTraining1->setFixedHeight(1);
    lblInfo->clear();
}

void TfrmStrokeData::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                               const QColor& windowColor)
{
    TfrmChart::SetColors(font, textColor, backColor, windowColor);
    for (QComboBox* list : {cmbX, cmbY, cmbZ}) {
        QPalette pal = list->palette();
        pal.setColor(QPalette::Base, windowColor);
        pal.setColor(QPalette::Button, windowColor);
        SetEnabledColor(pal, QPalette::Text, textColor);
        SetEnabledColor(pal, QPalette::ButtonText, textColor);
        list->setPalette(pal);
        list->setFont(font);
    }
    FillSessionGrid();  // the base's header step left only the captions
    update();
}

void TfrmStrokeData::LoadSettings(const QString& iniFileName, int placement)
{
    TfrmChart::LoadSettings(iniFileName, placement);
    if (FSection.isEmpty())
        return;
    int x = kDefaultX;
    int y = kDefaultY;
    int z = kDefaultZ;
    bool showY = true;
    bool showZ = true;
    if (QFileInfo::exists(iniFileName)) {
        const TIniFile ini(iniFileName);
        x = ini.ReadInteger(FSection, QStringLiteral("X"), x);
        showY = ini.ReadBool(FSection, QStringLiteral("ShowY"), showY);
        y = ini.ReadInteger(FSection, QStringLiteral("Y"), y);
        showZ = ini.ReadBool(FSection, QStringLiteral("ShowZ"), showZ);
        z = ini.ReadInteger(FSection, QStringLiteral("Z"), z);
    }
    const QSignalBlocker blockX(cmbX), blockY(cmbY), blockZ(cmbZ);
    SelectColumn(cmbX, x);
    SelectColumn(cmbY, y);
    SelectColumn(cmbZ, z);
    cbxY->setChecked(showY);
    cbxZ->setChecked(showZ);
    for (QCheckBox* box : {cbxYAverage, cbxYMarks, cbxZAverage, cbxZMarks})
        box->setChecked(false);
    BuildChart();
}

void TfrmStrokeData::SaveSettings(const QString& iniFileName)
{
    TfrmChart::SaveSettings(iniFileName);
    if (FSection.isEmpty() || !IsFileWritable(iniFileName))
        return;
    TIniFile ini(iniFileName);
    ini.WriteInteger(FSection, QStringLiteral("X"), SelectedColumn(cmbX));
    ini.WriteBool(FSection, QStringLiteral("ShowY"), cbxY->isChecked());
    ini.WriteInteger(FSection, QStringLiteral("Y"), SelectedColumn(cmbY));
    ini.WriteBool(FSection, QStringLiteral("AverageY"), cbxYAverage->isChecked());
    ini.WriteBool(FSection, QStringLiteral("MarksY"), cbxYMarks->isChecked());
    ini.WriteBool(FSection, QStringLiteral("ShowZ"), cbxZ->isChecked());
    ini.WriteInteger(FSection, QStringLiteral("Z"), SelectedColumn(cmbZ));
    ini.WriteBool(FSection, QStringLiteral("AverageZ"), cbxZAverage->isChecked());
    ini.WriteBool(FSection, QStringLiteral("MarksZ"), cbxZMarks->isChecked());
    ini.UpdateFile();
}

void TfrmStrokeData::clbTrainingsClick()
{
    TfrmChart::clbTrainingsClick();
    BuildChart();
    FillSessionGrid();
}

void TfrmStrokeData::clbTrainingsClickCheck(QListWidgetItem* item)
{
    TfrmChart::clbTrainingsClickCheck(item);
    BuildChart();
    FillSessionGrid();
}

void TfrmStrokeData::clbTrainingsDblClick()
{
    TfrmChart::clbTrainingsDblClick();
    BuildChart();
    FillSessionGrid();
}

void TfrmStrokeData::cbxZClick()
{
    BuildChart();
    clbTrainingsClick();
}

bool TfrmStrokeData::CloseQuery()
{
    TfrmChart::CloseQuery();
    if (frmMain && frmMain->frmStrokeData == this)
        frmMain->frmStrokeData = nullptr;
    return true;
}

TfrmStrokeData* ShowStrokeData(TfrmMain* main)
{
    if (!main)
        return nullptr;
    if (auto* window = qobject_cast<TfrmStrokeData*>(main->frmStrokeData.data())) {
        main->ShowChild(window);
        return window;
    }
    auto* window = new TfrmStrokeData(main);
    main->frmStrokeData = window;
    // Shown at once, as it is made: its first show clears the list's selection before the
    // list is filled.
    ChildFrame(window)->show();
    window->LoadSettings(GetUserIniFileName(false), main->TrainingViewMode);
    window->SetColors(main->OptionsFont, main->TextColor, main->BackColor, main->WindowColor);
    window->FillTrainingList(true);
    return window;
}
