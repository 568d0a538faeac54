// The force-curve window on the main window's registry: list and averages, grid rows and fixed
// values, browsing (with and without Shift), deleting, the play timer, settings and the export.
#include "analysis/ForceCurveWindow.h"
#include "support/MainWindowHome.h"
#include "support/TrainingBuilder.h"
#include "support/UiInput.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/ForceCurveBrowsing.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/IniFiles.h"
#include "session/TrainingWindow.h"
#include "shell/StatusPanels.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyleOptionSpinBox>
#include <QToolTip>
#include <QHelpEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class ForceCurveWindowTest : public TMainWindowHome {
protected:
    TfrmForceCurves* window = nullptr;
    bool shift = false;

    // Open trainings of these stroke counts, all active, then the window with the first selected,
    // on screen to take clicks.
    void Open(std::initializer_list<int> strokes) {
        ShowForm();
        for (int n : strokes) {
            TfrmTraining* w = form->NewTraining(QString());
            w->Training = MakeRowedTraining(n);
            w->Training.Header.Title = "T" + std::to_string(n);
            w->Training.Header.Active = 1;
            w->Training.Header.CurrentStroke = 1;
        }
        window = OpenForceCurveWindow(form.get());
        ASSERT_NE(window, nullptr);
        window->ShiftDown = [this] { return shift; };
    }
    // The main window on screen, its first-show sequence left out: clicks reach the windows.
    void ShowForm() {
        form->FirstShow = false;
        form->resize(1000, 800);
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    // Types into the curve number as a person does: click, select all, type, end with `end`.
    void TypeCurve(const QString& text, Qt::Key end) {
        ClickAt(window->metCurve);
        QTest::keyClick(window->metCurve, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(window->metCurve, Qt::Key_Delete);
        QTest::keyClicks(window->metCurve, text);
        QTest::keyClick(window->metCurve, end);
    }
    TTraining& Training(int n) { return form->TrainingWindow(n)->Training; }
    // A click on a training's caption (right of its check box) in the list.
    void Select(int index) {
        QListWidget* list = window->clbTrainings;
        ClickAt(list->viewport(), list->visualItemRect(list->item(index)).center());
    }
    // A click on a button's caption, where a radio button or check box takes it too.
    static void Press(QAbstractButton* button) {
        const QPoint caption(std::min(button->sizeHint().width(), button->width()) / 2, button->height() / 2);
        EXPECT_EQ(ClickAt(button, caption), button) << button->objectName().toStdString();
    }
    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = window->sgdData->item(row - 1, column);
        return item ? item->text() : QString();
    }
};

} // namespace

TEST_F(ForceCurveWindowTest, ListHoldsTheTrainingsAndTheFourAverages) {
    Open({3, 5});
    ASSERT_EQ(window->clbTrainings->count(), 6);
    // Checking an average activates its record and gives it a grid row after the trainings.
    window->clbTrainings->item(3)->setCheckState(Qt::Checked);
    EXPECT_EQ(form->SpareTraining(-2).Header.Active, 1);
    ASSERT_EQ(window->sgdData->rowCount(), 3);
    EXPECT_EQ(Cell(3, 0), "*Avg. 2 all curves");
    // Average 2 of curve 1 of each training: its length is their mean.
    const double mean = (Training(0).StrokeData[1].Length + Training(1).StrokeData[1].Length) / 2.0;
    EXPECT_NEAR(form->SpareTraining(-2).StrokeData[0].Length, mean, 1e-3);
}

// Copying the picture colours the window twice: the grid keeps the average's row and every value.
TEST_F(ForceCurveWindowTest, CopyingThePictureKeepsTheGrid) {
    Open({3, 5});
    const QRect box = window->clbTrainings->visualItemRect(window->clbTrainings->item(3));
    ClickAt(window->clbTrainings->viewport(), QPoint(box.left() + 4, box.center().y()));
    ASSERT_EQ(window->sgdData->rowCount(), 3);
    QStringList before;
    for (int r = 1; r <= 3; ++r)
        for (int c = 0; c < window->sgdData->columnCount(); ++c)
            before << Cell(r, c);
    ASSERT_TRUE(form->EditCopyChart->isEnabled());  // the window opened in front: nothing to click first
    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuEdit, form->EditCopyChart));
    QStringList after;
    for (int r = 1; r <= window->sgdData->rowCount(); ++r)
        for (int c = 0; c < window->sgdData->columnCount(); ++c)
            after << Cell(r, c);
    EXPECT_EQ(after, before);
}

// The fixed values' edits and their up-downs have hints of their own, as tool tip and in the
// status bar, by where the pointer is.
TEST_F(ForceCurveWindowTest, FixedValuesHintTheirEditsAndUpDowns) {
    Open({3});
    const struct {
        QCheckBox* Box;
        QSpinBox* Edit;
        QString EditHint, UpDownHint;
    } fixed[] = {{window->cbxForce, window->edtForce, "Fixed peakforce", "Change fixed peakforce"},
                 {window->cbxLength, window->edtLength, "Fixed strokelength", "Change fixed strokelength"}};
    for (const auto& f : fixed) {
        Press(f.Box);
        ASSERT_TRUE(f.Edit->isEnabled());
        QStyleOptionSpinBox option;
        option.initFrom(f.Edit);
        option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        const QPoint arrow =
            f.Edit->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, f.Edit).center();
        const QPoint text(4, f.Edit->height() / 2);
        for (const auto& [at, hint] : {std::pair{arrow, f.UpDownHint}, std::pair{text, f.EditHint},
                                       std::pair{arrow, f.UpDownHint}}) {
            HoverAt(f.Edit, at);
            EXPECT_EQ(form->StatusBar->Panel(2).Text, hint);
            QHelpEvent help(QEvent::ToolTip, at, f.Edit->mapToGlobal(at));
            QApplication::sendEvent(f.Edit, &help);
            EXPECT_EQ(QToolTip::text(), hint);
        }
    }
}

TEST_F(ForceCurveWindowTest, GridRows) {
    Open({3});
    Training(0).Header.Active = 0;
    form->RefreshViews();
    // No active training and no active average: one empty row.
    EXPECT_EQ(window->sgdData->rowCount(), 1);
    EXPECT_EQ(Cell(1, 0) + Cell(1, 7), "");

    // Only an average active: its row is row 1.
    form->SpareTraining(-4).Header.Active = 1;
    form->RefreshViews();
    EXPECT_EQ(window->sgdData->rowCount(), 1);
    EXPECT_EQ(Cell(1, 0), QString::fromStdString(form->SpareTraining(-4).Header.Title));

    // At its last stroke a training shows that stroke's values.
    form->SpareTraining(-4).Header.Active = 0;
    Training(0).Header.Active = 1;
    Training(0).Header.CurrentStroke = 3;
    form->RefreshViews();
    const TStgStrokeData& s = Training(0).StrokeData[3];
    EXPECT_EQ(Cell(1, 1), FormatStrokeParameter(s, 0, Training(0).Ini));
    EXPECT_EQ(Cell(1, 7), FormatStrokeParameter(s, 6, Training(0).Ini));
}

TEST_F(ForceCurveWindowTest, FixedForceDoublesTheEnergyOfAHalfPeak) {
    Open({3});
    TStgStrokeData& s = Training(0).StrokeData[1];
    s.PeakForce = 275;
    s.Energy = 300;
    window->edtForce->setValue(550);
    Press(window->cbxForce);
    EXPECT_EQ(Cell(1, 11), FormatParameterValue(StrokeParameterFormat(10), 600));
    EXPECT_EQ(Cell(1, 15), FormatParameterValue(StrokeParameterFormat(14), 550));
    EXPECT_EQ(Cell(1, 2), ""); // the unscaled columns are emptied
}

TEST_F(ForceCurveWindowTest, BrowseButtonsAndTheirEnableStates) {
    // The enable table itself is tested with the browsing routines; here the buttons follow it.
    Open({1, 6});
    EXPECT_FALSE(window->btbNext->isEnabled());
    EXPECT_FALSE(window->rbtBrowseAverage->isEnabled());

    Select(1);
    EXPECT_TRUE(window->btbNext->isEnabled());
    Training(1).ForceCurves[2].Present = 0;
    Press(window->btbNext);
    EXPECT_EQ(Training(1).Header.CurrentStroke, 3);
    EXPECT_EQ(window->metCurve->text(), "3");
    EXPECT_EQ(window->sbrCurves->value(), 3);
    Press(window->btbLast);
    EXPECT_FALSE(window->btbNext->isEnabled());
    window->sbrCurves->setValue(4); // a user's scroll
    EXPECT_EQ(Training(1).Header.CurrentStroke, 4);
    EXPECT_EQ(Training(0).Header.CurrentStroke, 1);

    Press(window->rbtBrowseAverage);
    EXPECT_EQ(Training(1).Header.CurveMode, kCurveModeAverage);
    EXPECT_FALSE(window->btbFirst->isEnabled());
    // Another training opened keeps the selection.
    form->NewTraining(QString());
    EXPECT_EQ(window->clbTrainings->currentRow(), 1);
}

TEST_F(ForceCurveWindowTest, ShiftActsOnEveryOpenTraining) {
    Open({3, 6, 4});
    Select(1);
    shift = true;
    Press(window->btbLast);
    EXPECT_EQ((std::vector<int>{Training(0).Header.CurrentStroke, Training(1).Header.CurrentStroke,
                                Training(2).Header.CurrentStroke}),
              (std::vector<int>{3, 6, 4}));
    Press(window->rbtBrowseAverage);
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(Training(n).Header.CurveMode, kCurveModeAverage) << n;
    // Averages are never stepped by Shift.
    EXPECT_EQ(form->SpareTraining(-1).Header.CurveMode, kCurveModeAverage);
}

TEST_F(ForceCurveWindowTest, SelectingAnotherTrainingStepsNone) {
    // Setting the scroll bar's range and position from code must not reach its handler, which
    // would move the trainings (all of them while Shift is held for a shift-click in the list).
    Open({10, 3, 6});
    Training(0).Header.CurrentStroke = 8;
    Training(1).Header.CurrentStroke = 2;
    Training(2).Header.CurrentStroke = 5;
    shift = true;
    for (int row : {0, 1, 2, 1, 0})
        Select(row);
    EXPECT_EQ((std::vector<int>{Training(0).Header.CurrentStroke, Training(1).Header.CurrentStroke,
                                Training(2).Header.CurrentStroke}),
              (std::vector<int>{8, 2, 5}));
}

TEST_F(ForceCurveWindowTest, TypedCurveNumber) {
    Open({150});
    const struct {
        const char* Text;
        Qt::Key End;
        int Current;
    } cases[] = {
        {"12", Qt::Key_Return, 12}, {"7", Qt::Key_Tab, 7},       {"150", Qt::Key_Enter, 150},
        {"151", Qt::Key_Return, 150}, {"0", Qt::Key_Tab, 150}, {"1", Qt::Key_Return, 1},
    };
    for (const auto& c : cases) {
        TypeCurve(QString::fromLatin1(c.Text), c.End);
        EXPECT_EQ(Training(0).Header.CurrentStroke, c.Current) << c.Text;
        EXPECT_EQ(window->metCurve->text(), QString::number(c.Current)) << c.Text;
    }
    EXPECT_TRUE(messages.isEmpty());
    TypeCurve(QString(), Qt::Key_Return);
    EXPECT_EQ(messages, QStringList{"'' is not a valid integer value"});
    EXPECT_EQ(Training(0).Header.CurrentStroke, 1);
}

TEST_F(ForceCurveWindowTest, OpensReadyAndComesBackFromMinimised) {
    form->TrainingViewMode = 2;  // filling the client area, not maximised
    Open({6});
    QWidget* frame = ChildFrame(window);
    ASSERT_FALSE(frame->windowState() & Qt::WindowMaximized);
    Press(window->btbNext);
    EXPECT_EQ(Training(0).Header.CurrentStroke, 2);

    frame->showMinimized();
    EXPECT_EQ(OpenForceCurveWindow(form.get()), window);
    EXPECT_FALSE(frame->windowState() & Qt::WindowMinimized);
}

TEST_F(ForceCurveWindowTest, DeleteStepsOnlyTheSelectedTrainingAndMarksItModified) {
    Open({3, 3});
    Training(0).Header.CurrentStroke = 2;
    Training(1).Header.CurrentStroke = 2;
    Select(1);
    shift = true; // Delete ignores it
    Press(window->btbDelete);  // the average's rebuild is tested with DeleteCurrentCurve
    EXPECT_EQ(Training(1).ForceCurves[2].Present, 0);
    EXPECT_EQ(Training(1).Header.CurrentStroke, 1);
    EXPECT_EQ(Training(1).Header.Modified, 1);
    EXPECT_EQ(Training(0).Header.CurrentStroke, 2);
    EXPECT_EQ(Training(0).ForceCurves[2].Present, 1);
    EXPECT_EQ(Training(0).Header.Modified, 0);

}

TEST_F(ForceCurveWindowTest, PlayRunsToTheLastCurveAndStops) {
    Open({3});
    EXPECT_EQ(window->tmrPlay->interval(), 60000 / form->CurvesPerMinute);
    Press(window->btbPlay);
    EXPECT_TRUE(window->tmrPlay->isActive());
    window->tmrPlayTimer();
    window->tmrPlayTimer();
    EXPECT_EQ(Training(0).Header.CurrentStroke, 3);
    EXPECT_TRUE(window->tmrPlay->isActive());
    window->tmrPlayTimer(); // at the last curve: stops at once
    EXPECT_FALSE(window->tmrPlay->isActive());

    // Any browse action stops a running play.
    Press(window->btbPlay);
    Press(window->btbFirst);
    EXPECT_FALSE(window->tmrPlay->isActive());
}

TEST_F(ForceCurveWindowTest, SettingsRoundTripAndRanges) {
    Open({3});
    const QString file = home.filePath("kv.ini");
    Press(window->cbxForce);
    window->edtForce->setValue(700);
    window->edtLength->setValue(120);
    Press(window->cbxSquare);
    window->SaveSettings(file);
    {
        TIniFile ini(file);
        EXPECT_TRUE(ini.ReadBool("ForceCurves", "FixedForce", false));
        EXPECT_EQ(ini.ReadInteger("ForceCurves", "Force", 0), 700);
        EXPECT_FALSE(ini.ReadBool("ForceCurves", "FixedLength", true));
        EXPECT_EQ(ini.ReadInteger("ForceCurves", "Length", 0), 120);
        EXPECT_FALSE(ini.ReadBool("ForceCurves", "Square", true));
        ini.WriteInteger("ForceCurves", "Force", 5000);
        ini.WriteInteger("ForceCurves", "Length", -3);
        ini.UpdateFile();
    }
    TfrmForceCurves other(nullptr);
    other.LoadSettings(file, 0);
    EXPECT_TRUE(other.edtForce->isEnabled());
    EXPECT_EQ(other.edtForce->value(), 999);  // out-of-range texts clamped
    EXPECT_EQ(other.edtLength->value(), 0);
    EXPECT_FALSE(other.edtLength->isEnabled());
    EXPECT_FALSE(other.FSquare);
}

TEST_F(ForceCurveWindowTest, ExportWritesTheShownCurve) {
    Open({3});
    const QString file = home.filePath("curve.str");
    QString offered;
    window->AskExportFileName = [&](const QString&, const QString& name) {
        offered = name;
        return file;
    };
    Training(0).Header.Active = 0;
    form->RefreshViews();
    EXPECT_FALSE(window->ExportStrokeFile());
    EXPECT_EQ(messages, QStringList{"Please select an active curve to export"});
    EXPECT_FALSE(QFile::exists(file));

    Training(0).Header.Active = 1;
    Training(0).Header.CurrentStroke = 2;
    Training(0).Header.FileName = home.filePath("session.stg").toStdString();
    form->RefreshViews();
    Press(window->cbxLength);
    window->edtLength->setValue(150);
    ASSERT_TRUE(window->ExportStrokeFile());
    EXPECT_EQ(offered, home.filePath("session")); // without its extension
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), kStrFileSize);
    EXPECT_EQ(std::uint8_t(bytes[0]), 1);    // stroke number
    EXPECT_EQ(std::uint8_t(bytes[12]), 150); // length: the fixed length
    EXPECT_EQ(std::uint8_t(bytes[2]), 0);    // power: zeroed at a fixed length
}

// A small window thins its length labels out until they fit; a large one labels every 10 cm.
// The grid's columns are as wide as their titles.
TEST_F(ForceCurveWindowTest, SmallWindowLabelsAndGridTitlesFit) {
    form->TrainingViewMode = 0;  // where it opens
    Open({6});
    QCPAxis* axis = window->FChart->xAxis;
    for (const QSize size : {QSize(480, 420), QSize(1000, 800)}) {
        ChildFrame(window)->resize(size);
        QCoreApplication::processEvents();
        window->FChart->replot();
        const QFontMetrics metrics(axis->tickLabelFont());
        const QVector<double> ticks = axis->tickVector();
        const QVector<QString> labels = axis->tickVectorLabels();
        ASSERT_GE(ticks.size(), 3);
        for (int i = 1; i < ticks.size(); ++i)
            EXPECT_GE(axis->coordToPixel(ticks[i]) - axis->coordToPixel(ticks[i - 1]),
                      (metrics.horizontalAdvance(labels[i - 1]) + metrics.horizontalAdvance(labels[i])) / 2.0)
                << size.width() << " at " << ticks[i];
        if (size.width() == 1000) {
            EXPECT_EQ(ticks[1] - ticks[0], 10);
        }
    }
    const QHeaderView* header = window->sgdData->horizontalHeader();
    for (int c = 1; c < window->sgdData->columnCount(); ++c)
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << header->model()->headerData(c, Qt::Horizontal).toString().toStdString();
}

TEST_F(ForceCurveWindowTest, ClosingTheLastTrainingClosesTheWindow) {
    Open({3});
    QPointer<TfrmForceCurves> alive(window);
    form->CloseTraining(form->TrainingId(0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(!alive || alive->Closing || !alive->isVisible());
    EXPECT_EQ(form->frmForceCurves, nullptr);
}

// A training opened without strokes has no current curve, never one beyond its count.
TEST_F(ForceCurveWindowTest, AnOpenedTrainingWithoutStrokesHasNoCurrentCurve) {
    Open({3});
    TTraining empty = MakeRowedTraining(0);
    empty.Header.Title = "Empty";
    const QString file = home.filePath(QStringLiteral("empty.stg"));
    ASSERT_TRUE(WriteStgFile(file, empty));
    form->AskOpenFileNames = [file] { return QStringList{file}; };
    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuFile, form->FileOpen));
    ASSERT_EQ(form->TrainingCount(), 2);
    EXPECT_EQ(Training(1).Header.CurrentStroke, 0);
    EXPECT_TRUE(window->GetTrainingCaption(1).endsWith(QStringLiteral(" (0/0)"))) << window->GetTrainingCaption(1).toStdString();
}
