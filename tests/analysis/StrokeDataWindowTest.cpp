// The chart window base and the stroke-data window over trainings in the main window's registry:
// defaults and the settings section, the training list and its check boxes, the session grid,
// closing with the last training, the picture, and a value for every stroke column.
#include "support/MainWindowHome.h"
#include "support/QtPrinters.h"
#include "support/TrainingBuilder.h"
#include "support/UiInput.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"
#include "platform/SystemProbe.h"
#include "session/TrainingWindow.h"
#include "widgets/ChartWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kPulse = 12;
constexpr int kTimeElapsed = 26;

class StrokeDataTest : public TMainWindowHome {
protected:
    QString iniName;

    static void SetUpTestSuite() { EnsureParameterTables(); }
    void SetUp() override
    {
        TMainWindowHome::SetUp();
        form->ChartLabelFields = 4;  // the title
        iniName = GetUserIniFileName(true);
        QDir().mkpath(QFileInfo(iniName).absolutePath());
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
    static QStringList Column(const QTableWidget* grid, int col)
    {
        QStringList texts;
        for (int r = 0; r < grid->rowCount(); ++r)
            texts << (grid->item(r, col) ? grid->item(r, col)->text() : QString());
        return texts;
    }
    // The main window on screen, its first-show sequence left out: clicks reach the windows.
    void ShowForm()
    {
        form->FirstShow = false;
        form->resize(1000, 800);
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    // A click on an item of the training list: on its check box, or on its caption.
    static void ClickItem(TfrmChart* w, int row, bool onBox = false)
    {
        const QRect r = w->clbTrainings->visualItemRect(w->clbTrainings->item(row));
        ClickAt(w->clbTrainings->viewport(), QPoint(onBox ? r.left() + 4 : r.center().x(), r.center().y()));
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
    EXPECT_EQ((std::vector<int>{w->cmbX->currentIndex(), w->cmbY->currentIndex(), w->cmbZ->currentIndex()}),
              (std::vector<int>{0, 1, kPulse}));
    // Strokes 2..20 of the one active training on each axis.
    EXPECT_EQ(PointCount(w->FChart->Model(), TVertAxis::Left), 19);
    EXPECT_EQ(PointCount(w->FChart->Model(), TVertAxis::Right), 19);
    EXPECT_EQ(ShowStrokeData(form.get()), w);  // the same window brought forward
    // Unticking Z drops the right series.
    w->cbxZ->click();
    EXPECT_FALSE(w->cmbZ->isEnabled());
    EXPECT_EQ(PointCount(w->FChart->Model(), TVertAxis::Right), 0);
}

TEST_F(StrokeDataTest, SettingsRoundTripKeepsTheMainWindowsKeys)
{
    {
        TIniFile ini(iniName);
        for (const auto& [key, value] : {std::pair{"Parameter3", "3 0 20 2"}, {"Parameter41", "3 0 10 1"}, {"DataHeight", "133"}})
            ini.WriteString(QStringLiteral("StrokeData"), QString::fromLatin1(key), QString::fromLatin1(value));
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
        QStringList values;
        for (const char* key : {"Parameter3", "Parameter41", "X", "Y", "Z", "ShowZ", "Data"})
            values << ini.ReadString(s, QString::fromLatin1(key), QString());
        EXPECT_EQ(values, QStringList({"3 0 20 2", "3 0 10 1", "26", "-1", "12", "0", "0"}));
        EXPECT_FALSE(ini.ValueExists(s, QStringLiteral("DataHeight")));
        QStringList keys;
        ini.ReadSection(s, keys);
        EXPECT_EQ(keys.mid(keys.size() - 9),
                  QStringList({"X", "ShowY", "Y", "AverageY", "MarksY", "ShowZ", "Z", "AverageZ", "MarksZ"}));
    }

    w = ShowStrokeData(form.get());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->cmbX->currentIndex(), kTimeElapsed);
    EXPECT_EQ(w->cmbY->currentIndex(), -1);
    EXPECT_FALSE(w->cbxZ->isChecked());
    EXPECT_FALSE(w->FDataVisible);
    EXPECT_EQ(w->FDataHeight, 80);  // not read while the data area is hidden
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
        NewForm();
        form->ChartLabelFields = 4;
        for (std::size_t i = 0; i < c.active.size(); ++i)
            AddTraining(QString(QChar('A' + int(i))), c.active[i]);
        TfrmStrokeData* w = ShowStrokeData(form.get());
        ASSERT_TRUE(w);
        EXPECT_EQ(Column(w->sgdData, 0), c.captions);
        if (c.captions[0].isEmpty())
            EXPECT_TRUE(w->FChart->Model().Series.empty());
        else {
            EXPECT_EQ(w->sgdData->item(0, 5)->text().trimmed(), QStringLiteral("20"));  // the strokes
            EXPECT_FALSE(Column(w->sgdData, 1).contains(QString()));  // the first value column too
        }
    }
}

TEST_F(StrokeDataTest, ChecksActOnTheirOwnItem)
{
    ShowForm();
    TfrmTraining* a = AddTraining(QStringLiteral("A"), true);
    TfrmTraining* b = AddTraining(QStringLiteral("B"), false);
    TfrmTraining* c = AddTraining(QStringLiteral("C"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    ClickItem(w, 0);
    // The box of the second item, while the first is selected.
    ClickItem(w, 1, true);
    EXPECT_EQ(a->Training.Header.Active, 1);
    EXPECT_EQ(b->Training.Header.Active, 1);
    EXPECT_EQ(Column(w->sgdData, 0), QStringList({"A", "B", "C"}));
    // The popup's action works on the selected one.
    ClickItem(w, 2);
    w->TrainingActive->trigger();
    EXPECT_EQ(c->Training.Header.Active, 0);
    EXPECT_EQ(Column(w->sgdData, 0), QStringList({"A", "B"}));
    EXPECT_EQ(w->clbTrainings->item(2)->checkState(), Qt::Unchecked);
}

TEST_F(StrokeDataTest, ChartOptionsMarkTheTrainingModifiedWhateverTheAnswer)
{
    ShowForm();
    AddTraining(QStringLiteral("A"), true);
    TfrmTraining* b = AddTraining(QStringLiteral("B"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    w->RunChartOptions = [](TTraining& t) {
        t.Header.Color = 0x00FF00;
        return false;  // cancelled, yet counted as a change
    };
    w->ChartOptions->trigger();  // nothing selected: nothing happens
    EXPECT_EQ(b->Training.Header.Modified, 0);
    ClickItem(w, 1);
    w->ChartOptions->trigger();
    EXPECT_EQ(b->Training.Header.Modified, 1);
    // The rebuilt chart draws B's power in its new colour.
    const TChartModel& model = w->FChart->Model();
    EXPECT_TRUE(std::any_of(model.Series.begin(), model.Series.end(), [](const TChartSeries& s) {
        return s.VertAxis == TVertAxis::Left && !s.Points.empty() && s.Points.front().Color == 0x00FF00;
    }));
}

// Typing in a training window shows at once in its header and in the chart windows.
TEST_F(StrokeDataTest, AnEditInTheTrainingWindowReachesHeaderAndChart)
{
    ShowForm();
    TfrmTraining* rowed = AddTraining(QStringLiteral("Morning"), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    const auto type = [this](TfrmTraining* t, QLineEdit* edit, const QString& text) {
        form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(t)));
        ClickAt(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    };
    const auto marked = [](const TfrmTraining* t) { return t->gbxTraining->title().endsWith(QStringLiteral(" (*)")); };
    type(rowed, rowed->edtTitle, QStringLiteral("Evening"));
    QTest::keyClick(rowed->edtTitle, Qt::Key_Tab);
    EXPECT_EQ(rowed->windowTitle(), QStringLiteral("Evening"));
    EXPECT_TRUE(marked(rowed));
    EXPECT_EQ(Column(w->sgdData, 0), QStringList{"Evening"});
    // A setting of a training not rowed yet is taken while typing.
    TfrmTraining* fresh = form->NewTraining(QString());
    ASSERT_FALSE(marked(fresh));
    type(fresh, fresh->edtWeight, QStringLiteral("81"));
    EXPECT_TRUE(marked(fresh));
}

TEST_F(StrokeDataTest, ClosesAfterItsLastTraining)
{
    TfrmTraining* a = AddTraining(QStringLiteral("A"), true);
    TfrmTraining* b = AddTraining(QStringLiteral("B"), true);
    QPointer<TfrmStrokeData> w = ShowStrokeData(form.get());
    a->Close();
    ASSERT_TRUE(form->frmStrokeData);
    EXPECT_EQ(Column(w->sgdData, 0), QStringList{"B"});
    b->Close();
    EXPECT_FALSE(form->frmStrokeData);
    EXPECT_TRUE(!w || w->Closing);
    // The closing window saved its section.
    EXPECT_TRUE(TIniFile(iniName).ValueExists(QStringLiteral("StrokeData"), QStringLiteral("MarksZ")));
}

TEST_F(StrokeDataTest, PictureLeavesColoursAndGridAsTheyWere)
{
    ShowForm();
    TfrmTraining* first = AddTraining(QStringLiteral("A"), true);
    for (const char* title : {"B", "C"})
        AddTraining(QString::fromLatin1(title), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    ChildFrame(w)->resize(700, 500);
    const QColor text(10, 20, 30), back(200, 210, 220), window(250, 240, 230);
    w->SetColors(w->font(), text, back, window);
    ClickItem(w, 1);
    const QStringList before = Column(w->sgdData, 0) + Column(w->sgdData, 3);
    ASSERT_EQ(before.size(), 6);
    ASSERT_FALSE(before.last().isEmpty());

    const QImage picture = w->ChartPicture();
    EXPECT_EQ(picture.size(), w->size());
    EXPECT_EQ(picture.pixel(picture.width() - 1, picture.height() / 2), qRgb(0, 0, 0));  // the frame line

    EXPECT_EQ(Column(w->sgdData, 0) + Column(w->sgdData, 3), before);
    EXPECT_EQ(w->palette().color(QPalette::Window), back);
    EXPECT_EQ(w->clbTrainings->palette().color(QPalette::Text), text);
    EXPECT_EQ(w->sgdData->palette().color(QPalette::Base), window);
    EXPECT_EQ(w->clbTrainings->currentRow(), 1);

    // Save Chart offers the selected training's file name, or the program's path when none is
    // selected, without extension.
    form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(w)));
    ASSERT_EQ(form->ActiveMDIChild(), w);
    form->UpdateActions();
    QString offered;
    const QString file = home.filePath(QStringLiteral("pics/chart.bmp"));
    QDir().mkpath(home.filePath(QStringLiteral("pics")));
    w->AskSaveFileName = [&](const QString&, const QString& name) {
        offered = name;
        return file;
    };
    first->Training.Header.FileName = "first.stg";
    ClickItem(w, 0);
    form->FileSaveChart->trigger();
    EXPECT_EQ(offered, QStringLiteral("first"));
    w->clbTrainings->clearSelection();
    form->FileSaveChart->trigger();
    const QFileInfo program(ProgramFilePath());
    EXPECT_EQ(offered, program.path() + QLatin1Char('/') + program.completeBaseName());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(form->LastDir, home.filePath(QStringLiteral("pics")) + QLatin1Char('/'));

    // Save Chart into a folder that is not there: said, and why.
    const QString nowhere = home.filePath(QStringLiteral("missing/chart.bmp"));
    w->AskSaveFileName = [&](const QString&, const QString&) { return nowhere; };
    form->FileSaveChart->trigger();
    ASSERT_EQ(messages.size(), 1);
    const QString said = "Could not write the file " + nowhere + ".\n";
    EXPECT_TRUE(messages[0].startsWith(said) && messages[0].size() > said.size()) << messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

// Colouring the window (as copying its picture does) sets the data grid's column 0 and row heights
// again from the font, and keeps what the grid holds.
TEST_F(StrokeDataTest, ColouringSetsTheGridsColumnZeroAgainAndKeepsItsValues)
{
    ShowForm();
    for (const char* title : {"A", "B"})
        AddTraining(QString::fromLatin1(title), true);
    TfrmStrokeData* w = ShowStrokeData(form.get());
    ChildFrame(w)->resize(700, 500);
    QCoreApplication::processEvents();
    QTableWidget* grid = w->sgdData;
    const QStringList before = Column(grid, 0) + Column(grid, 3);
    ASSERT_EQ(grid->columnWidth(0), 120);
    // The user drags column 0 wider by its right edge.
    QWidget* header = grid->horizontalHeader()->viewport();
    const int edge = grid->horizontalHeader()->sectionViewportPosition(0) + grid->columnWidth(0) - 1;
    const int y = header->height() / 2;
    QTest::mousePress(header, Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(header, QPoint(edge + 60, y));
    QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(edge + 60, y));
    ASSERT_EQ(grid->columnWidth(0), 180);

    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuEdit, form->EditCopyChart));
    EXPECT_EQ(grid->columnWidth(0), 120);
    EXPECT_EQ(Column(grid, 0) + Column(grid, 3), before);
}

TEST_F(StrokeDataTest, EveryStrokeColumnPlotsForARecordedTraining)
{
    TTraining& t = AddTraining(QStringLiteral("A"), true, 60)->Training;
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

TEST_F(StrokeDataTest, BaseCaptionsFollowTheCurveMode)
{
    TTraining& t = AddTraining(QStringLiteral("Row"), true, 1)->Training;
    TfrmChart chart(nullptr);
    struct TCase {
        int strokes, mode, current, interval;
        const char* caption;
    };
    for (const TCase& c : {TCase{1, 0, 1, 0, "Row"}, TCase{3, 0, 2, 0, "Row (2/3)"},
                           TCase{3, 0, 1, 0, "Row (1/3)"},
                           TCase{3, 1, 2, 0, "Row [A] (3)"}, TCase{3, 2, 2, 1, "Row [Int 2]"}}) {
        t.StrokeData.resize(std::size_t(c.strokes + 1));
        t.Header.CurveMode = std::uint8_t(c.mode);
        t.Header.CurrentStroke = c.current;
        t.Header.IntervalIndex = c.interval;
        EXPECT_EQ(chart.GetTrainingCaption(0), QString::fromLatin1(c.caption));
    }
}

}  // namespace
