// The training window driven through its widgets: settings by Tag, limit and interval mode,
// the reset question, the " (*)" marks, the grids over a two-hour training.
#include "support/FakePrompt.h"
#include "support/MainWindowHome.h"
#include "support/QtPrinters.h"
#include "support/TrainingBuilder.h"
#include "support/UiInput.h"
#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "devices/InterfaceFactory.h"
#include "session/ConnectDialog.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "session/TrainingGridModels.h"
#include "session/TrainingWindow.h"
#include "shell/ChartOptionsDialog.h"
#include "shell/MainWindow.h"
#include "shell/SelectColumnsDialog.h"
#include "shell/StatusPanels.h"
#include "shell/UiPrompt.h"
#include "widgets/ColorGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class TrainingWindowTest : public ::testing::Test {
protected:
    TFakePrompt prompt{TMsgResult::No};
    std::unique_ptr<TfrmTraining> window;

    static void SetUpTestSuite() { EnsureParameterTables(); }
    void SetUp() override
    {
        window = std::make_unique<TfrmTraining>(nullptr);
        LoadDefaultTraining(window->Training);
        window->Training.Header.ContentKind = 7;
        window->Training.Header.Modified = 0;
        window->RefreshTraining();
        window->show();
        QApplication::setActiveWindow(window.get());  // focus events reach only the active window
    }
    void Rowed(int strokes, int intervalStrokes = 0)
    {
        window->Training = MakeRowedTraining(strokes, intervalStrokes);
        window->RefreshTraining();
    }
    // Clicks into a setting field, types over its text and leaves it by Tab (or ends it by
    // another key); what the field then said is in prompt.Texts.
    void Type(QLineEdit* edit, const QString& text, Qt::Key end = Qt::Key_Tab)
    {
        ClickAt(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, end);
        QCoreApplication::processEvents();
    }
    void Choose(QComboBox* combo, int index)
    {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
};

// Edits land in the field of their Tag, limit and mode. What the field cannot hold is refused
// visibly: it cannot be typed, or the field turns back to what it held when entered and says
// why; it is never stored as another value.
TEST_F(TrainingWindowTest, EditsLandInTheFieldOfTheirTagOrAreRefusedVisibly)
{
    using E = QLineEdit* TfrmTraining::*;
    const E weight = &TfrmTraining::edtWeight, limit = &TfrmTraining::edtLimitValue,
            work = &TfrmTraining::edtWorkPeriod, rest = &TfrmTraining::edtRestPeriod;
    const QString number = "'%1' is not a whole number from 0 to %2.";
    const QString time = "'%1' is not a time from 0:00:00 to 18:12:15 (hours:minutes:seconds).";
    const struct {
        int limit, intervalBy;
        E edit;
        QString text;
        std::int32_t TStgIni::*field;
        std::int32_t expected;
        QString shown;  // the text after leaving the field
        QString said;
        Qt::Key end = Qt::Key_Tab;
    } cases[] = {
        {0, 0, weight, "300", &TStgIni::Weight, 300, "300", ""},
        {0, 0, weight, "32768", &TStgIni::Weight, 300, "300", number.arg("32768").arg(32767)},
        {0, 0, limit, "500", &TStgIni::LimitStrokes, 500, "500", ""},
        {0, 0, limit, "70000", &TStgIni::LimitStrokes, 500, "500", number.arg("70000").arg(65535)},
        {0, 0, limit, "65535", &TStgIni::LimitStrokes, 65535, "65535", ""},
        {0, 0, limit, "-5", &TStgIni::LimitStrokes, 5, "5", ""},  // no sign can be typed
        {1, 0, limit, "1234", &TStgIni::LimitEnergy, 1234, "1234", ""},
        {2, 0, limit, "2000", &TStgIni::LimitDistance, 2000, "2000", ""},
        // Only five digits can be typed: the sixth on is not taken.
        {2, 0, limit, "99999999999", &TStgIni::LimitDistance, 2000, "2000", number.arg("99999").arg(65535)},
        {3, 0, limit, "1:30", &TStgIni::LimitTime, 90, "0:01:30", ""},
        {3, 0, limit, "1:00:00", &TStgIni::LimitTime, 3600, "1:00:00", ""},
        {3, 0, limit, "95", &TStgIni::LimitTime, 95, "0:01:35", ""},
        {3, 0, limit, "0:00:61", &TStgIni::LimitTime, 95, "0:01:35", time.arg("0:00:61")},
        {3, 0, limit, "99:99:99", &TStgIni::LimitTime, 95, "0:01:35", time.arg("99:99:99")},
        {3, 0, limit, "25:00:00", &TStgIni::LimitTime, 95, "0:01:35", time.arg("25:00:00")},
        {3, 0, limit, "0:00:61", &TStgIni::LimitTime, 95, "0:01:35", time.arg("0:00:61"), Qt::Key_Return},
        {3, 0, limit, "18:12:15", &TStgIni::LimitTime, 65535, "18:12:15", ""},
        {3, 0, limit, "x:10", &TStgIni::LimitTime, 65535, "18:12:15", time.arg(":10")},
        {3, 0, limit, "1:2:3:4", &TStgIni::LimitTime, 3754, "1:02:34", ""},  // a third ':' is not taken
        {3, 0, weight, "8o", &TStgIni::Weight, 8, "8", ""},
        {3, 0, weight, "abc", &TStgIni::Weight, 8, "8", ""},
        {4, 0, limit, "6", &TStgIni::LimitIntervals, 6, "6", ""},
        {4, 0, work, "25", &TStgIni::WorkStrokes, 25, "25", ""},
        {4, 1, work, "900", &TStgIni::WorkEnergy, 900, "900", ""},
        {4, 2, rest, "250", &TStgIni::RestDistance, 250, "250", ""},
        {4, 2, rest, "65536", &TStgIni::RestDistance, 250, "250", number.arg("65536").arg(65535)},
        {4, 3, rest, "0:45", &TStgIni::RestTime, 45, "0:00:45", ""},
        {4, 3, work, "2:00", &TStgIni::WorkTime, 120, "0:02:00", ""},
        {4, 3, work, "0:00:61", &TStgIni::WorkTime, 120, "0:02:00", time.arg("0:00:61")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Choose(window->cmbSessionLimit, c.limit);
        if (c.limit == 4)
            Choose(window->cmbIntervalBy, c.intervalBy);
        QLineEdit* edit = window.get()->*c.edit;
        ASSERT_TRUE(edit->isEnabled());
        prompt.Texts.clear();
        Type(edit, c.text, c.end);
        EXPECT_EQ(window->Training.Ini.*c.field, c.expected);
        EXPECT_EQ(edit->text(), c.shown);
        EXPECT_EQ(prompt.Texts, c.said.isEmpty() ? QStringList() : QStringList{c.said});
        if (c.edit == work) {
            EXPECT_EQ(window->Training.Ini.WorkValue, c.expected);
        }
        if (c.edit == rest) {
            EXPECT_EQ(window->Training.Ini.RestValue, c.expected);
        }
    }
    EXPECT_EQ(window->Training.Header.Modified, 1);
}

// The field's context menu, or another program looked at, while a time is typed is no leaving
// of the field: nothing is said or put back then, and the time finished afterwards is stored.
TEST_F(TrainingWindowTest, AFieldsMenuOrAnotherProgramIsNoLeavingOfIt)
{
    Choose(window->cmbSessionLimit, 3);
    QLineEdit* edit = window->edtLimitValue;
    ClickAt(edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral("0:00:"));
    RightClickAt(edit);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompt.Texts.isEmpty()) << prompt.Texts.join('|').toStdString();
    QTest::keyClick(menu, Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), QStringLiteral("0:00:"));
    QTest::keyClicks(edit, QStringLiteral("45"));
    QTest::keyClick(edit, Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Training.Ini.LimitTime, 45);
    EXPECT_EQ(edit->text(), QStringLiteral("0:00:45"));
    EXPECT_TRUE(prompt.Texts.isEmpty()) << prompt.Texts.join('|').toStdString();

    // "0:00:6" is taken while typing; away and back, "0:00:61" makes no time and puts back 45.
    prompt.Texts.clear();
    ClickAt(edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral("0:00:6"));
    ASSERT_EQ(window->Training.Ini.LimitTime, 6);
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(window.get());
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompt.Texts.isEmpty()) << prompt.Texts.join('|').toStdString();
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, QStringLiteral("1"));
    QTest::keyClick(edit, Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Training.Ini.LimitTime, 45);
    EXPECT_EQ(edit->text(), QStringLiteral("0:00:45"));
    EXPECT_EQ(prompt.Texts, QStringList{
        QStringLiteral("'0:00:61' is not a time from 0:00:00 to 18:12:15 (hours:minutes:seconds).")});
}

// A declined reset leaves the record untouched; an accepted one clears the strokes, keeps the
// settings and tells the row window.
TEST_F(TrainingWindowTest, TheResetQuestion)
{
    Rowed(20);
    const TTraining before = window->Training;
    int resets = 0;
    window->OnResetSession = [&](TfrmTraining*) { ++resets; };
    window->edtWeight->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(prompt.Texts.size(), 1);
    EXPECT_FALSE(window->edtWeight->hasFocus());
    Choose(window->cmbBoat, 3);
    window->btnReset->click();
    EXPECT_EQ(window->Training, before);
    EXPECT_EQ(window->cmbBoat->currentIndex(), before.Ini.Boat);
    EXPECT_EQ(resets, 0);

    prompt.Answers = {TMsgResult::Yes};
    window->btnReset->click();
    EXPECT_TRUE(IsEmptyTraining(window->Training));
    EXPECT_EQ(window->Training.Header.ContentKind, 7);
    EXPECT_FALSE(window->btnReset->isEnabled());
    EXPECT_EQ(window->Training.Ini, before.Ini);
    EXPECT_EQ(window->Training.Header.Title, before.Header.Title);

    // Entering a field of a rowed training: once asked, then typed into freely.
    Rowed(20);
    prompt.Texts.clear();
    prompt.Answers = {TMsgResult::Yes};
    resets = 0;
    window->edtLimitValue->setFocus();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(window->StrokeModel()->rowCount(), 0);
    QTest::keyClicks(window->edtLimitValue, QStringLiteral("500"));
    EXPECT_EQ(prompt.Texts.size(), 1);
}

// The reset question's default button is No: Enter in it keeps the recorded session.
TEST_F(TrainingWindowTest, EnterInTheResetQuestionKeepsTheSession)
{
    Rowed(20);
    TUiPrompt boxes;
    SetPrompt(&boxes);
    QStringList asked;
    QTimer::singleShot(0, window.get(), [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked << box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    ClickAt(window->edtWeight);
    SetPrompt(&prompt);
    EXPECT_EQ(asked, QStringList{"Changing this value will reset the training session.\nDo you wish to continue?"});
    EXPECT_EQ(window->StrokeModel()->rowCount(), 20);
    EXPECT_FALSE(window->edtWeight->hasFocus());
}

// A change refused at the reset question shows the stored value again, also in a field entered
// while the training was empty, before a session's strokes came in.
TEST_F(TrainingWindowTest, ARefusedChangeShowsTheStoredValue)
{
    TUiPrompt boxes;
    SetPrompt(&boxes);
    const auto restore = qScopeGuard([this] { SetPrompt(&prompt); });
    for (QLineEdit* edit : {window->edtWeight, window->edtLimitValue}) {
        LoadDefaultTraining(window->Training);
        window->Training.Header.ContentKind = 7;
        window->RefreshTraining();
        QApplication::setActiveWindow(window.get());  // back from the last question's box
        ClickAt(edit);
        Rowed(20);
        const QString stored = edit->text();
        TModalSteps steps({[](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); }});  // No
        QTest::keyClick(edit, Qt::Key_7);
        QCoreApplication::processEvents();
        EXPECT_TRUE(steps.Steps.empty());
        EXPECT_EQ(edit->text(), stored);
        EXPECT_EQ(window->StrokeModel()->rowCount(), 20);
    }
}

// Training windows in the main window, as a person switches between them.
class TrainingWindowsInMain : public TMainWindowHome {
protected:
    TFakePrompt prompt{TMsgResult::No};
    static void SetUpTestSuite() { EnsureParameterTables(); }
};

// Coming back to a training window asks nothing: only entering a setting asks the reset question.
TEST_F(TrainingWindowsInMain, ComingBackToAWindowAsksNoResetQuestion)
{
    form->TrainingViewMode = 0;
    ShowStarted();
    TfrmTraining* rowed = form->NewTraining(QString());
    TfrmTraining* other = form->NewTraining(QString());
    form->TileMosaic();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(ClickTitleBar(rowed->SubWindow(), QStyle::SC_TitleBarLabel));
    ClickAt(rowed->edtWeight);
    ASSERT_TRUE(rowed->edtWeight->hasFocus());  // an empty training: entered without a question

    // A session records into it; the user looks at another window and comes back.
    rowed->Training = MakeRowedTraining(20);
    rowed->RefreshTraining();
    ASSERT_TRUE(ClickTitleBar(other->SubWindow(), QStyle::SC_TitleBarLabel));
    ASSERT_EQ(form->ActiveMDIChild(), other);
    ASSERT_TRUE(ClickTitleBar(rowed->SubWindow(), QStyle::SC_TitleBarLabel));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->ActiveMDIChild(), rowed);
    EXPECT_TRUE(prompt.Texts.isEmpty()) << prompt.Texts.join('|').toStdString();
    EXPECT_TRUE(rowed->pclTraining->hasFocus());

    // The same through the status bar's window panels (shown once the start-up banner is over).
    form->SetShowWindowPanels(true);
    TStatusPanels* bar = form->StatusBar;
    for (TfrmTraining* window : {other, rowed}) {
        int panel = form->FirstWindowPanel;
        while (panel < bar->Count() && bar->Panel(panel).Text != window->windowTitle())
            ++panel;
        ASSERT_LT(panel, bar->Count());
        const QPoint at(bar->PanelLeft(panel) + 3, bar->height() / 2);
        QTest::mouseMove(bar, at);
        ClickAt(bar, at);
        QCoreApplication::processEvents();
        EXPECT_EQ(form->ActiveMDIChild(), window);
    }
    EXPECT_TRUE(prompt.Texts.isEmpty()) << prompt.Texts.join('|').toStdString();
    EXPECT_TRUE(rowed->pclTraining->hasFocus());

    // The program's window given back the focus asks nothing either; entering the field asks.
    QApplication::setActiveWindow(nullptr);
    rowed->edtWeight->setFocus();
    QApplication::setActiveWindow(form.get());
    EXPECT_TRUE(prompt.Texts.isEmpty());
    ClickAt(rowed->cmbBoat);
    EXPECT_EQ(prompt.Texts.size(), 1);
    EXPECT_EQ(rowed->StrokeModel()->rowCount(), 20);
}

TEST_F(TrainingWindowTest, TheModifiedMarkAppearsOnceAndGoes)
{
    const QString title = window->gbxRecording->title();
    window->edtTitle->setFocus();
    QTest::keyClicks(window->edtTitle, QStringLiteral("ab"));
    EXPECT_EQ(window->Training.Header.Title, "Anyoneab");
    EXPECT_EQ(window->Training.Header.Modified, 1);
    for (QGroupBox* box : {window->gbxRecording, window->gbxUser, window->gbxTotals, window->gbxChart})
        EXPECT_TRUE(box->title().endsWith(" (*)") && box->title().count("(*)") == 1) << box->title().toStdString();
    window->Training.Header.Modified = 0;
    window->RefreshHeader();
    EXPECT_EQ(window->gbxRecording->title(), title);
}

TEST_F(TrainingWindowTest, IntervalControlsShowOnlyForIntervalSessionsOfUserContent)
{
    for (int limit = 0; limit < 5; ++limit) {
        Choose(window->cmbSessionLimit, limit);
        EXPECT_EQ(window->gbxIntervals->isVisibleTo(window.get()), limit == 4) << limit;
        EXPECT_EQ(window->cmbIntervalBy->isEnabled(), limit == 4) << limit;
    }
    window->Training.Header.ContentKind = 6;
    window->RefreshTraining();
    EXPECT_FALSE(window->edtWeight->isEnabled());
    EXPECT_FALSE(window->cmbIntervalBy->isEnabled());
}

TEST_F(TrainingWindowTest, GridsOverATwoHourTraining)
{
    Rowed(3600, 300);
    const TTraining& t = window->Training;
    TTrainingGridModel* strokes = window->StrokeModel();
    ASSERT_EQ(strokes->rowCount(), 3600);
    EXPECT_EQ(strokes->columnCount(), kStrokeParameterCount + 1);
    EXPECT_EQ(strokes->CellText(3599, 0), QStringLiteral("3600"));
    EXPECT_EQ(strokes->CellText(1799, 3), FormatStrokeParameter(t.StrokeData[1800], 2, t.Ini));
    TTrainingGridModel* curves = window->CurveModel();
    EXPECT_EQ(curves->CellText(0, 12), QString::asprintf("%3.0f", double(t.ForceCurves[1].Force[10])));
    TTrainingGridModel* intervals = window->IntervalModel();
    EXPECT_EQ(intervals->rowCount(), 12);
    EXPECT_EQ(intervals->CellText(11, 0), QStringLiteral("  12"));

    // The drive ratio shown is the mean over the strokes.
    double sum = 0;
    for (int i = 1; i <= 3600; ++i)
        sum += GetStrokeParameterValue(t.StrokeData[std::size_t(i)], 20, t.Ini);
    EXPECT_EQ(window->lblDRRatio->text(), FormatParameterValue(StrokeParameterFormat(20), float(sum / 3600)).trimmed());

    // A stroke more: one row inserted, nothing reset.
    QSignalSpy inserted(strokes, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(strokes, &QAbstractItemModel::modelReset);
    window->Training.StrokeData.push_back(window->Training.StrokeData.back());
    window->RefreshStrokeData();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(strokes->rowCount(), 3601);

    // Without strokes: an empty grid; one blank interval row.
    window->Training = TTraining{};
    LoadDefaultTraining(window->Training);
    window->Training.Ini.SessionLimit = 4;
    window->RefreshTraining();
    EXPECT_EQ(strokes->rowCount(), 0);
    EXPECT_EQ(intervals->rowCount(), 1);
    EXPECT_EQ(intervals->CellText(0, 0), QString());
}

TEST_F(TrainingWindowTest, RecordingFieldsAndDates)
{
    window->Training.Header.Date = 45000.25;  // 2023-03-15 06:00
    window->RefreshHeader();
    EXPECT_EQ(window->dtpDate->date(), QDate(2023, 3, 15));
    EXPECT_EQ(window->dtpTime->time(), QTime(6, 0));
    window->dtpDate->setDate(QDate(2023, 3, 16));
    window->dtpTime->setTime(QTime(18, 0));
    EXPECT_DOUBLE_EQ(window->Training.Header.Date, 45001.75);
    window->cmbEvent->setEditText(QStringLiteral("Club race \u00e9"));
    EXPECT_EQ(window->Training.Header.Event, "Club race \xe9");
    window->memNote->setPlainText(QString(300, QLatin1Char('n')));
    EXPECT_EQ(window->Training.Header.Note.size(), kShortStringMax);
}

// Column 0 of the grids is drawn as the fixed column: the button colour and black numbers, whatever
// colours the options give the grid. Where the data came from changes only while there is data.
TEST_F(TrainingWindowTest, FixedColumnAndTheSourceOfTheData)
{
    Rowed(40, 10);
    window->Training.Ini.SessionLimit = 4;  // the intervals grid shows
    window->Training.Header.InterfaceType = 2;
    window->SetColors(QApplication::font(), QColor(0, 0, 255), QColor(220, 220, 220), QColor(255, 255, 200));
    QTableView* grid = window->sgdIntervals;
    ASSERT_TRUE(grid->isVisible());
    const QImage image = grid->viewport()->grab().toImage();
    const auto inks = [&](const QRect& cell) {
        int black = 0, blue = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                black += c.red() < 100 && c.green() < 100 && c.blue() < 100;
                blue += c.blue() - c.red() > 60;
            }
        return std::pair{black, blue};
    };
    const QRect fixed = grid->visualRect(grid->model()->index(0, 0));
    const QRect value = grid->visualRect(grid->model()->index(0, 1));
    EXPECT_EQ(image.pixelColor(fixed.topLeft() + QPoint(1, 1)), grid->palette().color(QPalette::Button));
    EXPECT_GT(inks(fixed).first, 0);
    EXPECT_EQ(inks(fixed).second, 0);
    EXPECT_GT(inks(value).second, 0);
    // Nothing drawn above the text's place, 2 pixels in.
    int above = 0;
    for (int x = fixed.left(); x <= fixed.right(); ++x)
        above += image.pixelColor(x, fixed.top() + 1) != grid->palette().color(QPalette::Button);
    EXPECT_EQ(above, 0);

    const QString source = window->pnlRecInterface->text();
    ASSERT_FALSE(source.isEmpty());
    prompt.Answers = {TMsgResult::Yes};
    ClickAt(window->btnReset);
    ASSERT_TRUE(IsEmptyTraining(window->Training));
    EXPECT_EQ(window->pnlRecInterface->text(), source);
}

// A header date that is no date (a damaged or hostile file) shows as "-", not as today or a
// clamped day; an edit of its time or its date stores a date.
TEST_F(TrainingWindowTest, NoDateShowsAsADashAndAnEditStoresADate)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double date : {nan, 1e300, -1e300, -5.0, 0.5, 73000.0, inf}) {
        for (QAbstractSpinBox* picker : {static_cast<QAbstractSpinBox*>(window->dtpTime),
                                         static_cast<QAbstractSpinBox*>(window->dtpDate)}) {
            SCOPED_TRACE(std::to_string(date) + (picker == window->dtpTime ? " time" : " date"));
            TStgHeader& h = window->Training.Header;
            h.Date = date;
            h.Modified = 0;
            window->RefreshHeader();
            EXPECT_EQ(window->dtpDate->text(), "-");
            EXPECT_EQ(window->dtpTime->text(), "-");

            ClickAt(picker);
            QTest::keyClick(picker, Qt::Key_Up);
            ASSERT_TRUE(IsHeaderDate(h.Date)) << h.Date;
            EXPECT_EQ(h.Modified, 1);
            EXPECT_NE(window->dtpDate->text(), "-");
            EXPECT_NE(window->dtpTime->text(), "-");
            if (picker == window->dtpTime) {
                EXPECT_EQ(window->dtpDate->date(), QDate::currentDate());  // a time alone takes today
                EXPECT_EQ(window->dtpTime->time(), QTime(1, 0));
            } else {
                EXPECT_EQ(h.Date, std::floor(h.Date));  // a day alone at midnight
            }
        }
    }
}

// Runs fn on the dialog once it is shown modal, then closes it with OK or Cancel.
void WhenShown(QDialog& dialog, std::function<void()> fn, bool ok)
{
    QTimer::singleShot(0, &dialog, [&dialog, fn, ok] {
        ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
        fn();
        ok ? dialog.accept() : dialog.reject();
    });
}

TEST_F(TrainingWindowTest, ChartOptionsChangeOnlyWhatIsChosen)
{
    TfrmChartOptions& dialog = ChartOptionsDialog();
    const std::unique_ptr<QDialog> ownDialog(&dialog);  // made without a main window to own it
    const struct {
        TColor color;
        std::uint8_t style;
        std::int32_t width;
        std::function<void()> choose;
        bool ok;
        TColor color2;
        std::uint8_t style2;
        std::int32_t width2;
        bool changed;
    } cases[] = {
        // A width no button stands for: none checked, OK keeps it.
        {0x0000FF, 0, 7, [] {}, true, 0x0000FF, 0, 7, false},
        // A colour outside the 16 is kept unless one is picked.
        {0x123456, 0, 2, [] {}, true, 0x123456, 0, 2, false},
        {0x123456, 0, 2, [&] { dialog.ColorGrid->SetForegroundIndex(12); }, true, 0xFF0000, 0, 2, true},
        {0x0000FF, 0, 3, [&] { dialog.rbnDashDot->setChecked(true); }, true, 0x0000FF, 3, 1, true},
        {0x0000FF, 2, 1, [&] { dialog.rbnSolid4->setChecked(true); }, true, 0x0000FF, 0, 4, true},
        {0x0000FF, 0, 2, [&] { dialog.rbnDash->setChecked(true); dialog.ColorGrid->SetForegroundIndex(0); }, false,
         0x0000FF, 0, 2, false},
    };
    for (const auto& c : cases) {
        TStgHeader& h = window->Training.Header;
        h.Color = std::int32_t(c.color);
        h.PenStyle = c.style;
        h.PenWidth = c.width;
        h.Modified = 0;
        WhenShown(dialog, c.choose, c.ok);
        EXPECT_EQ(window->ChartOptions(), c.changed);
        EXPECT_EQ(TColor(h.Color), c.color2);
        EXPECT_EQ(h.PenStyle, c.style2);
        EXPECT_EQ(h.PenWidth, c.width2);
        EXPECT_EQ(h.Modified, c.changed ? 1 : 0);
    }
}

TEST_F(TrainingWindowTest, SelectColumnsHidesAndRestoresDefaultWidths)
{
    Rowed(10);
    QTableView* grid = window->sgdStrokeData;
    grid->setColumnWidth(2, 123);
    TfrmSelectColumns& dialog = SelectColumnsDialog();
    const std::unique_ptr<QDialog> ownDialog(&dialog);  // made without a main window to own it
    const auto check = [&](Qt::CheckState state) { return [&dialog, state] { dialog.clbColumns->item(1)->setCheckState(state); }; };
    WhenShown(dialog, check(Qt::Unchecked), true);  // column 0 is not listed: item 1 is column 2
    EXPECT_TRUE(dialog.Execute(grid));
    EXPECT_TRUE(grid->isColumnHidden(2));
    EXPECT_FALSE(grid->isColumnHidden(0));

    // Cancel changes nothing; checking again gives the default width, not the former one.
    WhenShown(dialog, check(Qt::Checked), false);
    EXPECT_FALSE(dialog.Execute(grid));
    EXPECT_TRUE(grid->isColumnHidden(2));
    WhenShown(dialog, check(Qt::Checked), true);
    EXPECT_TRUE(dialog.Execute(grid));
    EXPECT_FALSE(grid->isColumnHidden(2));
    EXPECT_EQ(grid->columnWidth(2), grid->horizontalHeader()->defaultSectionSize());
}

// Texts of the full length the file holds survive the edit of another field.
TEST_F(TrainingWindowTest, EditingAFieldKeepsTheOthersFullLength)
{
    TStgHeader& h = window->Training.Header;
    h.Title = std::string(kShortStringMax, 'T');
    h.Name = std::string(kShortStringMax, 'N');
    h.Note = std::string(kShortStringMax, 'x');
    window->RefreshTraining();
    window->pclTraining->setCurrentWidget(window->tshGeneral);
    QTest::keyClicks(window->cmbEvent->lineEdit(), QStringLiteral("Race"));
    EXPECT_EQ(h.Event, "Race");
    EXPECT_EQ(h.Title, std::string(kShortStringMax, 'T'));
    EXPECT_EQ(h.Name, std::string(kShortStringMax, 'N'));
    EXPECT_EQ(h.Note, std::string(kShortStringMax, 'x'));
    // Typing past the end of a full field stores nothing more.
    QTest::keyClick(window->edtTitle, Qt::Key_End);
    QTest::keyClicks(window->edtTitle, QStringLiteral("Z"));
    EXPECT_EQ(h.Title, std::string(kShortStringMax, 'T'));
}

// Disabled controls keep the platform's disabled text, whatever colours the options chose.
TEST(DisabledLook, SetColorsColoursOnlyEnabledText)
{
    EnsureParameterTables();
    const QFont font = QApplication::font();
    const QColor text(10, 20, 200), back(200, 210, 220), edit(250, 240, 230);
    TfrmTraining training(nullptr);
    TInterfaceFactory noDevices;
    noDevices.Register(kInterfaceKV, nullptr);
    noDevices.Register(kInterfaceZT, nullptr);
    TfrmConnect connect(nullptr, &noDevices);
    TfrmForceCurves curves(nullptr);
    TfrmStrokeData strokes(nullptr);
    training.SetColors(font, text, back, edit);
    connect.SetColors(font, text, back, edit);
    curves.SetColors(font, text, back, edit);
    strokes.SetColors(font, text, back, edit);
    const QColor designText = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
    const struct {
        const char* Name;
        QWidget* Control;
        QPalette::ColorRole Role;
        QColor Enabled;
    } cases[] = {
        {"weight", training.edtWeight, QPalette::Text, text},
        {"boat", training.cmbBoat, QPalette::Text, text},
        {"OK", connect.btbOk, QPalette::ButtonText, Qt::black},
        {"search", connect.btbSearch, QPalette::ButtonText, Qt::black},
        {"source label", connect.lblSource, QPalette::WindowText, designText},
        {"source", connect.cmbSource, QPalette::Text, text},
        {"fixed force", curves.edtForce, QPalette::Text, text},
        {"fixed length", curves.edtLength, QPalette::Text, text},
        {"curve number", curves.metCurve, QPalette::Text, text},
        {"Z list", strokes.cmbZ, QPalette::ButtonText, text},
    };
    for (const auto& c : cases) {
        const QPalette pal = c.Control->palette();
        EXPECT_EQ(pal.color(QPalette::Active, c.Role), c.Enabled) << c.Name;
        EXPECT_EQ(pal.color(QPalette::Disabled, c.Role),
                  QApplication::palette(c.Control).color(QPalette::Disabled, c.Role))
            << c.Name;
    }
}

}  // namespace
