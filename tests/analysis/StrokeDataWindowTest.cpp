// The chart window base and the stroke-data window over trainings in the main window's registry:
// defaults and the settings section, the training list and its check boxes, the session grid,
// closing with the last training, the picture, and a value for every stroke column.
#include "support/QtPrinters.h"
#include "support/TrainingBuilder.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/IniFiles.h"
#include "platform/SystemProbe.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int kPulse = 12;
constexpr int kTimeElapsed = 26;

class StrokeDataTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME");
    std::unique_ptr<TfrmMain> form;
    QString iniName;

    static void SetUpTestSuite() { EnsureParameterTables(); }
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        SplashDisplayTimeOverride = 0;
        MessageBoxHook = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::Ok;
        };
        form = std::make_unique<TfrmMain>();
        form->ConfirmExit = false;
        form->ChartLabelFields = 4;  // the title
        iniName = GetUserIniFileName(true);
        QDir().mkpath(QFileInfo(iniName).absolutePath());
    }
    void TearDown() override
    {
        form.reset();
        MessageBoxHook = nullptr;
        SplashDisplayTimeOverride = -1;
        qputenv("HOME", oldHome);
    }
    TfrmTraining* AddTraining(const QString& title, bool active, int strokes = 20)
    {
        auto* window = new TfrmTraining(form.get());
        TTraining t = MakeRowedTraining(strokes);
        t.Header.Title = title.toStdString();
        t.Header.Active = active ? 1 : 0;
        t.Header.Color = 0x0000FF;
        window->TrainingId = t.Id = form->NextTrainingId();
        window->Training = std::move(t);
        ChildFrame(window)->show();
        form->TrainingsChanged(true);
        return window;
    }
    TfrmStrokeData* Window() const { return qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data()); }
    static QStringList Column(const QTableWidget* grid, int col)
    {
        QStringList texts;
        for (int r = 0; r < grid->rowCount(); ++r)
            texts << (grid->item(r, col) ? grid->item(r, col)->text() : QString());
        return texts;
    }
    static int PointCount(const TChartModel& model, TVertAxis axis)
    {
        int n = 0;
        for (const TChartSeries& s : model.Series)
            if (s.VertAxis == axis)
                n += int(s.Points.size());
        return n;
    }
};

TEST_F(StrokeDataTest, DefaultsWithoutSettings)
{
    AddTraining(QStringLiteral("Morning"), true);
    ASSERT_FALSE(QFileInfo::exists(iniName));
    TfrmStrokeData* w = ShowStrokeData(form.get());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Stroke Data"));
    EXPECT_EQ(w->FSection, QStringLiteral("StrokeData"));
    EXPECT_EQ(w->cmbX->currentIndex(), 0);
    EXPECT_EQ(w->cmbY->currentIndex(), 1);
    EXPECT_EQ(w->cmbZ->currentIndex(), kPulse);
    EXPECT_TRUE(w->cbxY->isChecked());
    EXPECT_TRUE(w->cbxZ->isChecked());
    EXPECT_TRUE(w->FShowZ);
    EXPECT_EQ(w->cmbX->count(), kStrokeParameterCount);
    EXPECT_EQ(w->cmbX->itemText(kTimeElapsed), QStringLiteral("Time elapsed"));
    const TChartModel& model = w->FChart->Model();
    EXPECT_EQ(model.Bottom.Title, QStringLiteral("X  Stroke number"));
    EXPECT_EQ(model.Left.Title, QStringLiteral("Y  Power per stroke (W)"));
    EXPECT_EQ(model.Right.Title, QStringLiteral("Z  Pulse (/min)"));
    // Strokes 2..20 of the one active training on each axis.
    EXPECT_EQ(PointCount(model, TVertAxis::Left), 19);
    EXPECT_EQ(PointCount(model, TVertAxis::Right), 19);
    EXPECT_EQ(w->clbTrainings->currentRow(), 0);
    // Re-showing brings the same window forward.
    EXPECT_EQ(ShowStrokeData(form.get()), w);
}

TEST_F(StrokeDataTest, SettingsRoundTripKeepsTheMainWindowsKeys)
{
    {
        TIniFile ini(iniName);
        ini.WriteString(QStringLiteral("StrokeData"), QStringLiteral("Parameter3"), QStringLiteral("3 0 20 2"));
        ini.WriteString(QStringLiteral("StrokeData"), QStringLiteral("Parameter41"), QStringLiteral("3 0 10 1"));
        ini.WriteString(QStringLiteral("StrokeData"), QStringLiteral("DataHeight"), QStringLiteral("133"));
        ASSERT_TRUE(ini.UpdateFile());
    }
    AddTraining(QStringLiteral("Morning"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->FDataHeight, 133);
    w->cmbX->setCurrentIndex(kTimeElapsed);
    w->cmbY->setCurrentIndex(-1);
    w->cbxZ->click();
    w->ApplyLayout(w->LayoutData);  // the data area hidden
    EXPECT_FALSE(w->FDataVisible);
    w->Close();
    EXPECT_FALSE(form->frmStrokeData);

    {
        const TIniFile ini(iniName);
        const QString s = QStringLiteral("StrokeData");
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("Parameter3"), QString()), QStringLiteral("3 0 20 2"));
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("Parameter41"), QString()), QStringLiteral("3 0 10 1"));
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("X"), QString()), QStringLiteral("26"));
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("Y"), QString()), QStringLiteral("-1"));
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("Z"), QString()), QStringLiteral("12"));
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("ShowZ"), QString()), QStringLiteral("0"));
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("Data"), QString()), QStringLiteral("0"));
        EXPECT_FALSE(ini.ValueExists(s, QStringLiteral("DataHeight")));
        QStringList keys;
        ini.ReadSection(s, keys);
        const QStringList own{"X", "ShowY", "Y", "AverageY", "MarksY", "ShowZ", "Z", "AverageZ", "MarksZ"};
        QStringList tail = keys.mid(keys.size() - own.size());
        EXPECT_EQ(tail, own);
    }

    w = ShowStrokeData(form.get());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->cmbX->currentIndex(), kTimeElapsed);
    EXPECT_EQ(w->cmbY->currentIndex(), -1);
    EXPECT_FALSE(w->cbxZ->isChecked());
    EXPECT_FALSE(w->cmbZ->isEnabled());
    EXPECT_FALSE(w->FDataVisible);
    EXPECT_EQ(w->FDataHeight, 80);  // not read while the data area is hidden
    // Time elapsed is a real column: the right axis is off, the left has no column, and the
    // X values are times.
    EXPECT_EQ(w->FChart->Model().Bottom.Title, QStringLiteral("X  Time elapsed (m:s)"));
    w->ApplyLayout(w->LayoutData);
    EXPECT_TRUE(w->FDataVisible);
    EXPECT_FALSE(w->pnlData->isHidden());
}

TEST_F(StrokeDataTest, EmptySectionReadsAndWritesNothing)
{
    TfrmChart chart(nullptr);
    chart.resize(600, 400);
    chart.FLeft = 3;
    chart.LoadSettings(iniName, 1);
    chart.SaveSettings(iniName);
    EXPECT_FALSE(QFileInfo::exists(iniName));
    EXPECT_EQ(chart.size(), QSize(600, 400));
}

TEST_F(StrokeDataTest, GridRowsFollowTheActiveTrainings)
{
    struct TCase {
        std::vector<bool> active;
        QStringList captions;
    };
    const std::vector<TCase> cases{
        {{false, false}, {""}},
        {{false, true, false}, {"B"}},
        {{true, true, false, true}, {"A", "B", "D"}},
    };
    for (const TCase& c : cases) {
        form.reset();
        form = std::make_unique<TfrmMain>();
        form->ChartLabelFields = 4;
        for (std::size_t i = 0; i < c.active.size(); ++i)
            AddTraining(QString(QChar('A' + int(i))), c.active[i]);
        TfrmStrokeData* w = ShowStrokeData(form.get());
        ASSERT_TRUE(w);
        QTableWidget* grid = w->sgdData;
        EXPECT_EQ(grid->columnCount(), 8);
        EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Distance (m)"));
        EXPECT_EQ(Column(grid, 0), c.captions);
        if (c.captions.size() == 1 && c.captions[0].isEmpty()) {
            EXPECT_EQ(Column(grid, 1), QStringList{""});
            EXPECT_TRUE(w->FChart->Model().Series.empty());
            EXPECT_EQ(w->FChart->Model().Left.Title, QStringLiteral("Y  Power per stroke (W)"));
        } else {
            const TTraining* t = TfrmChart::ActiveTraining(1);
            ASSERT_TRUE(t);
            EXPECT_EQ(grid->item(0, 5)->text(), FormatSessionParameter(*t, 4));
            EXPECT_EQ(grid->item(0, 5)->text().trimmed(), QStringLiteral("20"));
        }
    }
}

TEST_F(StrokeDataTest, ChecksActOnTheirOwnItem)
{
    TfrmTraining* a = AddTraining(QStringLiteral("A"), true);
    TfrmTraining* b = AddTraining(QStringLiteral("B"), false);
    TfrmTraining* c = AddTraining(QStringLiteral("C"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    w->clbTrainings->setCurrentRow(0);
    // The box of the second item, while the first is selected.
    w->clbTrainings->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(a->Training.Header.Active, 1);
    EXPECT_EQ(b->Training.Header.Active, 1);
    EXPECT_EQ(Column(w->sgdData, 0), QStringList({"A", "B", "C"}));
    // The popup's action works on the selected one.
    w->clbTrainings->setCurrentRow(2);
    w->TrainingActiveUpdate();
    EXPECT_TRUE(w->TrainingActive->isChecked());
    w->TrainingActiveExecute();
    EXPECT_EQ(c->Training.Header.Active, 0);
    EXPECT_EQ(Column(w->sgdData, 0), QStringList({"A", "B"}));
    EXPECT_EQ(w->clbTrainings->item(2)->checkState(), Qt::Unchecked);
}

TEST_F(StrokeDataTest, ChartOptionsMarkTheTrainingModifiedWhateverTheAnswer)
{
    AddTraining(QStringLiteral("A"), true);
    TfrmTraining* b = AddTraining(QStringLiteral("B"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    w->RunChartOptions = [](TTraining& t) {
        t.Header.Color = 0x00FF00;
        return false;  // cancelled, yet counted as a change
    };
    w->ChartOptionsExecute();  // nothing selected: nothing happens
    EXPECT_EQ(b->Training.Header.Modified, 0);
    w->clbTrainings->setCurrentRow(1);
    w->ChartOptionsExecute();
    EXPECT_EQ(b->Training.Header.Modified, 1);
    EXPECT_TRUE(b->gbxChart->title().endsWith(QStringLiteral(" (*)")));
    // The rebuilt chart draws B's power in its new colour.
    const TChartModel& model = w->FChart->Model();
    EXPECT_TRUE(std::any_of(model.Series.begin(), model.Series.end(), [](const TChartSeries& s) {
        return s.VertAxis == TVertAxis::Left && !s.Points.empty() && s.Points.front().Color == 0x00FF00;
    }));
}

TEST_F(StrokeDataTest, ClosesAfterItsLastTraining)
{
    TfrmTraining* a = AddTraining(QStringLiteral("A"), true);
    TfrmTraining* b = AddTraining(QStringLiteral("B"), true);
    QPointer<TfrmStrokeData> w = ShowStrokeData(form.get());
    a->Close();
    ASSERT_TRUE(form->frmStrokeData);
    EXPECT_EQ(w->clbTrainings->count(), 1);
    EXPECT_EQ(Column(w->sgdData, 0), QStringList{"B"});
    b->Close();
    EXPECT_FALSE(form->frmStrokeData);
    EXPECT_TRUE(!w || w->Closing);
    // The closing window saved its section.
    EXPECT_TRUE(TIniFile(iniName).ValueExists(QStringLiteral("StrokeData"), QStringLiteral("MarksZ")));
}

TEST_F(StrokeDataTest, PictureLeavesColoursAndGridAsTheyWere)
{
    for (const char* title : {"A", "B", "C"})
        AddTraining(QString::fromLatin1(title), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    ChildFrame(w)->resize(700, 500);
    const QColor text(10, 20, 30), back(200, 210, 220), window(250, 240, 230);
    w->SetColors(w->font(), text, back, window);
    w->clbTrainings->setCurrentRow(1);
    const QStringList before = Column(w->sgdData, 0) + Column(w->sgdData, 3);
    ASSERT_EQ(before.size(), 6);
    ASSERT_FALSE(before.last().isEmpty());

    const QImage picture = w->ChartPicture();
    EXPECT_EQ(picture.size(), w->size());
    EXPECT_EQ(picture.colorCount(), 16);
    EXPECT_EQ(picture.pixel(picture.width() - 1, picture.height() / 2), qRgb(0, 0, 0));  // the frame line
    EXPECT_EQ(picture.pixel(picture.width() / 2, picture.height() - 1), qRgb(0, 0, 0));

    EXPECT_EQ(Column(w->sgdData, 0) + Column(w->sgdData, 3), before);
    EXPECT_EQ(w->palette().color(QPalette::Window), back);
    EXPECT_EQ(w->clbTrainings->palette().color(QPalette::Base), window);
    EXPECT_EQ(w->clbTrainings->palette().color(QPalette::Text), text);
    EXPECT_EQ(w->sgdData->palette().color(QPalette::Base), window);
    EXPECT_EQ(w->clbTrainings->currentRow(), 1);
    EXPECT_FALSE(w->pnlTraining4->isHidden());
    EXPECT_TRUE(w->pnlTraining1->isHidden());
    EXPECT_EQ(w->FontColor, QColor(Qt::black));

    // To a file: 4 bits per pixel; the offered name is the program's path without extension
    // when nothing is selected.
    w->clbTrainings->setCurrentRow(-1);
    QString offered;
    const QString file = home.filePath(QStringLiteral("pics/chart.bmp"));
    QDir().mkpath(home.filePath(QStringLiteral("pics")));
    w->AskSaveFileName = [&](const QString&, const QString& name) {
        offered = name;
        return file;
    };
    EXPECT_TRUE(w->ExportChartPicture(true));
    const QString program = ProgramFilePath();
    EXPECT_EQ(offered, program.left(program.size() - (QFileInfo(program).suffix().isEmpty()
                                                          ? 0
                                                          : QFileInfo(program).suffix().size() + 1)));
    QFile bmp(file);
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    const QByteArray head = bmp.read(30);
    EXPECT_EQ(head.left(2), QByteArray("BM"));
    EXPECT_EQ(int(head[28]), 4);
    EXPECT_EQ(form->LastDir, home.filePath(QStringLiteral("pics")) + QLatin1Char('/'));
}

TEST_F(StrokeDataTest, EveryStrokeColumnPlotsForARecordedTraining)
{
    TfrmTraining* a = AddTraining(QStringLiteral("A"), true, 60);
    TTraining& t = a->Training;
    t = MakeRowedTraining(60, 10);
    t.Header.Active = 1;
    // A distance goal beyond what was rowed: projected and remaining values are positive.
    t.Ini.SessionLimit = 2;
    t.Ini.LimitDistance = int(t.Workout.Distance * 2);
    for (TStgStrokeData& s : t.StrokeData) {
        s.TargetPower = 200;
        s.IntervalCountdown = 5;
        s.IntervalPower = 190;
    }
    TfrmStrokeData* w = ShowStrokeData(form.get());
    w->cbxZ->click();
    QStringList empty;
    for (int column = 0; column < kStrokeParameterCount; ++column) {
        w->cmbY->setCurrentIndex(column);
        if (PointCount(w->FChart->Model(), TVertAxis::Left) != 59)
            empty << StrokeParameterCaption(column);
    }
    EXPECT_EQ(empty, QStringList());
}

TEST_F(StrokeDataTest, UncheckingZDropsTheRightSeries)
{
    AddTraining(QStringLiteral("A"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    EXPECT_GT(PointCount(w->FChart->Model(), TVertAxis::Right), 0);
    w->cbxZ->click();
    EXPECT_FALSE(w->FShowZ);
    EXPECT_FALSE(w->cmbZ->isEnabled());
    EXPECT_EQ(PointCount(w->FChart->Model(), TVertAxis::Right), 0);
    EXPECT_EQ(w->cmbY->isEnabled(), true);
}

TEST_F(StrokeDataTest, BaseCaptionsFollowTheCurveMode)
{
    TfrmTraining* a = AddTraining(QStringLiteral("Row"), true, 1);
    TTraining& t = a->Training;
    TfrmChart chart(nullptr);
    struct TCase {
        int strokes, mode, current, interval;
        const char* caption;
    };
    for (const TCase& c : {TCase{1, 0, 1, 0, "Row"}, TCase{3, 0, 2, 0, "Row (2/3)"}, TCase{3, 1, 2, 0, "Row [A] (3)"},
                           TCase{3, 2, 2, 1, "Row [Int 2]"}}) {
        t.StrokeData.resize(std::size_t(c.strokes + 1));
        t.Header.CurveMode = std::uint8_t(c.mode);
        t.Header.CurrentStroke = c.current;
        t.Header.IntervalIndex = c.interval;
        EXPECT_EQ(chart.GetTrainingCaption(0), QString::fromLatin1(c.caption));
    }
}

TEST_F(StrokeDataTest, SplitterLimits)
{
    TfrmChart chart(nullptr);
    chart.resize(600, 400);
    struct TCase {
        int wanted;
        bool accepted;
        int result;
    };
    for (const TCase& c : {TCase{120, true, 120}, TCase{99, false, 100}, TCase{176, false, 175}}) {
        int size = c.wanted;
        EXPECT_EQ(chart.splDataCanResize(size), c.accepted) << c.wanted;
        EXPECT_EQ(size, c.result);
    }
    for (const TCase& c : {TCase{200, true, 200}, TCase{159, false, 160}, TCase{400, false, 375}}) {
        int size = c.wanted;
        EXPECT_EQ(chart.splTrainingsCanResize(size), c.accepted) << c.wanted;
        EXPECT_EQ(size, c.result);
    }
}

}  // namespace
