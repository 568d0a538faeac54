// The keys of every data grid of the chart windows and the training window, pressed as a person
// does: Tab and Shift+Tab leave the grid, the arrows move between its cells, Ctrl+C copies a
// cell's value without the padding of its display.
#include "support/MainWindowHome.h"
#include "support/QtPrinters.h"
#include "support/TrainingBuilder.h"
#include "support/UiInput.h"
#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "session/TrainingWindow.h"
#include "shell/MdiFrame.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <tuple>

namespace {

class GridKeysTest : public TMainWindowHome {
protected:
    static void SetUpTestSuite() { EnsureParameterTables(); }
    void TearDown() override {
        QGuiApplication::clipboard()->setText(clipboardBefore);
        TMainWindowHome::TearDown();
    }
    const QString clipboardBefore = QGuiApplication::clipboard()->text();
};

TEST_F(GridKeysTest, TabLeavesEveryGridArrowsMoveCtrlCCopiesTheValue) {
    form->FirstShow = false;
    form->resize(1000, 800);
    form->show();
    QApplication::setActiveWindow(form.get());
    // Two active trainings: 20 strokes in intervals of 5, and 30 strokes browsed at curve 7.
    TfrmTraining* training = nullptr;
    for (auto [strokes, intervalStrokes, current] : {std::tuple{20, 5, 1}, std::tuple{30, 0, 7}}) {
        TfrmTraining* w = form->NewTraining(QString());
        w->Training = MakeRowedTraining(strokes, intervalStrokes);
        w->Training.Header.Active = 1;
        w->Training.Header.CurrentStroke = current;
        w->RefreshTraining();
        training = training ? training : w;
    }
    form->TrainingsChanged(true);
    TfrmStrokeData* strokeData = ShowStrokeData(form.get());
    TfrmForceCurves* curves = OpenForceCurveWindow(form.get());
    ASSERT_TRUE(strokeData && curves);
    QWidget* tabs = training->pclTraining->tabBar();
    const struct {
        QWidget* Child;
        int Page;  // of the training window: Workout 0, Stroke data 3, Force curves 4
        QAbstractItemView* Grid;
        int Column;
        QWidget *Next, *Previous;
        QString Copied;  // of the cell in row 1 of Column
    } cases[] = {
        // Row 1 is the second training: its strokes, and the stroke number of its curve.
        {strokeData, -1, strokeData->sgdData, 1 + 4, strokeData->cmbX, strokeData->clbTrainings, "30"},
        {curves, -1, curves->sgdData, 1, curves->cbxSquare, curves->clbTrainings, "7"},
        // Column 0 holds the row number.
        {training, 0, training->sgdIntervals, 0, training->btbClose, training->btnReset, "2"},
        {training, 3, training->sgdStrokeData, 0, training->btbClose, tabs, "2"},
        {training, 4, training->sgdForceCurves, 0, training->btbClose, tabs, "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Grid->objectName().toStdString() + " " + std::to_string(c.Page));
        form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(c.Child)));
        if (c.Page >= 0)  // the grid pages have no tabs to click
            training->pclTraining->setCurrentIndex(c.Page);
        const QModelIndex first = c.Grid->model()->index(0, c.Column);
        ClickAt(c.Grid->viewport(), c.Grid->visualRect(first).center());
        ASSERT_EQ(QApplication::focusWidget(), c.Grid);
        QTest::keyClick(c.Grid, Qt::Key_Down);
        EXPECT_EQ(c.Grid->currentIndex(), first.siblingAtRow(1));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(c.Grid, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.Copied);
        QTest::keyClick(c.Grid, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), c.Next) << "Tab";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), c.Grid) << "Shift+Tab back";
        QTest::keyClick(c.Grid, Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), c.Previous) << "Shift+Tab";
    }
}

}  // namespace
