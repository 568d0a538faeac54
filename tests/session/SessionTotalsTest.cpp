// The totals and averages of a session in the windows beside it: the training window's and the
// stroke-data window's grid show the session as rowed so far, and at its end what the results
// show.
#include "support/RowByHand.h"
#include "support/FakePrompt.h"
#include "support/UiInput.h"

#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "session/ResultsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>

namespace {

// The session as its strokes 1..n give it: their totals those of stroke n.
TTraining SessionSoFar(const TTraining& t, int n) {
    TTraining s;
    s.Ini = t.Ini;
    s.Header = t.Header;
    s.StrokeData.assign(t.StrokeData.begin(), t.StrokeData.begin() + n + 1);
    s.ForceCurves.assign(t.ForceCurves.begin(), t.ForceCurves.begin() + n + 1);
    const TStgStrokeData& last = s.StrokeData[std::size_t(n)];
    s.Workout = {RoundToEighth(last.Distance), RoundToEighth(last.Time), RoundToEighth(last.EnergySum),
                 RoundToEighth(SafeDivide(last.EnergySum * 1000, last.Time))};
    return s;
}

// Totals and averages in the order the windows and the results show them.
using TShown = std::array<std::string, 8>;

TShown Expected(const TResultsTexts& r) {
    return {r.Distance.toStdString(), r.Time.toStdString(),          r.Energy.toStdString(),
            r.Strokes.toStdString(),  r.AvgPower.toStdString(),      r.Avg500m.toStdString(),
            r.AvgStrokeRate.toStdString(), r.AvgRatio.toStdString()};
}

template <class TWidget>
TShown Texts(std::initializer_list<const TWidget*> widgets) {
    TShown shown;
    std::size_t i = 0;
    for (const TWidget* w : widgets)
        shown[i++] = w->text().toStdString();
    return shown;
}

TShown ShownIn(const TfrmTraining& w) {
    return Texts<QLabel>({w.lblDistance, w.lblTime, w.lblEnergy, w.lblStrokes, w.lblPower, w.lbl500m,
                          w.lblStrokerate, w.lblDRRatio});
}

TShown ShownIn(const TfrmResults& r) {
    return Texts<QLineEdit>({r.edtDistance, r.edtTime, r.edtEnergy, r.edtStrokes, r.edtAvgPower, r.edtAvg500m,
                             r.edtAvgStrokerate, r.edtAvgDriveRecover});
}

// The stroke-data grid's row of the session: its seven session values.
std::vector<std::string> GridRow(const TfrmStrokeData& w) {
    std::vector<std::string> row;
    for (int c = 1; c <= kSessionParameterCount; ++c) {
        const QTableWidgetItem* item = w.sgdData->item(0, c);
        row.push_back(item ? item->text().toStdString() : std::string());
    }
    return row;
}

std::vector<std::string> GridRowOf(const TTraining& t) {
    std::vector<std::string> row;
    for (int c = 0; c < kSessionParameterCount; ++c)
        row.push_back(FormatSessionParameter(t, c).toStdString());
    return row;
}

class SessionTotals : public RowByHand {};

// The training window, minimised while the session rows and restored by its title-bar button,
// shows the session so far, and follows it stroke by stroke while open; the stroke-data grid's
// row follows it too, and a save during the session holds its totals. After the close both show
// what the results show.
TEST_F(SessionTotals, WindowsBesideTheSessionShowItSoFar) {
    TFakePrompt prompt(TMsgResult::Yes);  // disconnect: Yes
    QMenuBar* bar = form->menuBar();
    QMdiArea* area = form->MdiArea;
    Connect();
    RowUntilStroke(3);
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuAnalyse, form->AnalyseStrokeData));
    auto* strokeData = qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data());
    ASSERT_TRUE(strokeData);
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuView, form->ViewTraining));
    TfrmTraining* window = row->TrainingWindow();
    QMdiSubWindow* frame = window->SubWindow();
    ASSERT_EQ(area->currentSubWindow(), frame);
    if (!frame->isMaximized())
        frame->move(0, 0);  // its buttons in view
    ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarMinButton));
    ASSERT_TRUE(frame->isMinimized());
    const TTraining& t = window->Training;

    for (const int n : {24, 25, 40}) {
        SCOPED_TRACE(n);
        RowUntilStroke(n);
        ASSERT_EQ(row->Session->Recorder().StrokeCount(), n);
        if (frame->isMinimized()) {
            ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarNormalButton));
            ASSERT_FALSE(frame->isMinimized());
        }
        const TTraining soFar = SessionSoFar(t, n);
        EXPECT_EQ(window->lblStrokes->text().toStdString(), std::to_string(n));
        EXPECT_EQ(ShownIn(*window), Expected(FormatResults(soFar)));
        EXPECT_EQ(GridRow(*strokeData), GridRowOf(soFar));
    }
    const TStgWorkout rowed = t.Workout;
    EXPECT_EQ(SaveAndRead(QStringLiteral("so-far.stg")).Workout, SessionSoFar(t, 40).Workout);

    // The rower ends the session in the row window; the results come up.
    TShown results;
    row->Session->View.ShowResults = [](TTraining& training) { ShowResults(training); };
    TModalSteps steps({[&results](QWidget* modal) {
        if (auto* dialog = qobject_cast<TfrmResults*>(modal))
            results = ShownIn(*dialog);
        QTest::keyClick(modal, Qt::Key_Escape);
    }});
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuView, form->ViewRow));
    Click(row->ConnectButton);
    ASSERT_EQ(row->Session->Phase(), TSessionPhase::Closed);
    for (int i = 0; i < 200 && !steps.Steps.empty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(steps.Steps.empty()) << "the results came up";
    QCoreApplication::processEvents();
    EXPECT_GE(t.Workout.Time, rowed.Time);
    EXPECT_EQ(results[3], std::to_string(t.StrokeData.size() - 1));
    EXPECT_EQ(ShownIn(*window), results);
    // The grid's session values with their units, in the results' order.
    const std::vector<std::string> grid = GridRow(*strokeData);
    const int columns[] = {0, 1, 2, 4, 3, 5, 6};
    for (std::size_t i = 0; i < std::size(columns); ++i) {
        const int c = columns[i];
        const QString shown = QString::fromStdString(grid[std::size_t(c)]).trimmed() + QLatin1Char(' ') +
                              SessionParameterUnit(c);
        EXPECT_EQ(shown.trimmed().toStdString(), results[i]) << c;
    }
}

}  // namespace
