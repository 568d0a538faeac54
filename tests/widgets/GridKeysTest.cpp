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

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
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
    const QString unchanged = QStringLiteral("(unchanged)");
    QWidget* tabs = training->pclTraining->tabBar();
    const struct {
        const char* Name;
        QWidget* Child;
        int Page;  // of the training window: Workout 0, Splits 2, Stroke data 3, Force curves 4
        QAbstractItemView* Grid;
        int Column;
        QWidget *Next, *Previous;
        QString Copied;  // of the cell in row 1 of Column
    } cases[] = {
        // Row 1 is the second training: its strokes, and the stroke number of its curve.
        {"stroke data", strokeData, -1, strokeData->sgdData, 1 + 4, strokeData->cmbX, strokeData->clbTrainings, "30"},
        {"force curves", curves, -1, curves->sgdData, 1, curves->cbxSquare, curves->clbTrainings, "7"},
        // Column 0 holds the row number.
        {"intervals", training, 0, training->sgdIntervals, 0, training->btbClose, training->btnReset, "2"},
        {"training's stroke data", training, 3, training->sgdStrokeData, 0, training->btbClose, tabs, "2"},
        {"training's force curves", training, 4, training->sgdForceCurves, 0, training->btbClose, tabs, "2"},
        {"splits, no rows", training, 2, training->sgdSplits, 0, training->btbClose, tabs, unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(c.Child)));
        if (c.Page >= 0)  // the grid pages have no tabs to click
            training->pclTraining->setCurrentIndex(c.Page);
        ASSERT_TRUE(c.Grid->isVisible());
        const bool rows = c.Grid->model()->rowCount() > 1;
        const QModelIndex first = c.Grid->model()->index(0, c.Column);
        ClickAt(c.Grid->viewport(), rows ? c.Grid->visualRect(first).center() : QPoint(-1, -1));
        ASSERT_EQ(QApplication::focusWidget(), c.Grid);
        EXPECT_EQ(c.Grid->currentIndex(), rows ? first : QModelIndex());

        QTest::keyClick(c.Grid, Qt::Key_Down);
        EXPECT_EQ(c.Grid->currentIndex(), rows ? first.siblingAtRow(1) : QModelIndex());
        QGuiApplication::clipboard()->setText(unchanged);
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
