// The row window: goal ruler geometry, the [Row] layout, and a whole demo session rowed through
// the window from the session button to the saved file.
#include "support/EnvOverride.h"
#include "support/FakePrompt.h"
#include "support/FileHelpers.h"
#include "support/MessageBoxes.h"
#include "support/QtPrinters.h"
#include "support/RowByHand.h"

#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/FileIo.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"
#include "session/GoalRuler.h"
#include "session/ResultsDialog.h"
#include "shell/MessageWindow.h"
#include "shell/StatusPanels.h"
#include "shell/UiPrompt.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <sys/stat.h>

namespace {

// ---------------------------------------------------------------- goal ruler

TEST(GoalRuler, TicksLabelsAndMarker) {
    const QStringList strokeLabels{"1", "2", "3", "4", "5", "6"};
    const QStringList metreLabels{"200", "400", "600", "800", "1000", "1200", "1400", "1600", "1800"};
    // Marker: the tick its right edge stands on, or -1 for between the first and the last.
    const struct {
        const char* Name;
        int Target;
        double Value;
        bool Finished;
        int Ticks;
        QStringList Labels;
        int MarkerTick;
    } cases[] = {
        {"7 strokes", 7, 3, false, 8, strokeLabels, 3},
        {"2000 m", 2000, 500, false, 11, metreLabels, -1},
        {"2000 m passed", 2000, 2150, false, 11, metreLabels, 10},
        {"2000 m finished early", 2000, 1990, true, 11, metreLabels, 10},
        {"5 strokes", 5, 0, false, 6, {"1", "2", "3", "4"}, 0},
    };
    const int left = 100, top = 0, right = 500, bottom = 30;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TGoalRuler r = GoalRulerGeometry(left, top, right, bottom, c.Target, c.Value, c.Finished);
        ASSERT_FALSE(r.Empty);
        ASSERT_EQ(r.Ticks, c.Ticks);
        ASSERT_EQ(int(r.TickX.size()), c.Ticks);
        // Evenly spaced inside the ruler.
        EXPECT_GT(r.TickX.front(), left);
        EXPECT_LT(r.TickX.back(), right);
        for (int k = 2; k < c.Ticks; ++k)
            EXPECT_NEAR(r.TickX[std::size_t(k)] - r.TickX[std::size_t(k - 1)], r.TickX[1] - r.TickX[0], 1) << k;
        QStringList labels;
        for (const TGoalRulerLabel& l : r.Labels)
            labels << l.Text;
        EXPECT_EQ(labels, c.Labels);
        // Labels stand on ticks 2 .. ticks - 1.
        EXPECT_EQ(r.Labels.front().X, r.TickX[1]);
        EXPECT_EQ(r.Labels.back().X, r.TickX[std::size_t(c.Ticks - 2)]);
        if (c.MarkerTick >= 0)
            EXPECT_EQ(r.Marker.right(), r.TickX[std::size_t(c.MarkerTick)]);
        else
            EXPECT_TRUE(r.Marker.right() > r.TickX.front() && r.Marker.right() < r.TickX.back());
    }
    EXPECT_TRUE(GoalRulerGeometry(left, top, right, bottom, 0, 100, false).Empty);
}

// ---------------------------------------------------------------- layout

// The chart's bottom axis, drawn, counts in whole numbers: no stroke 2.5.
void ExpectWholeTicks(TChartWidget* chart, const char* name) {
    SCOPED_TRACE(name);
    chart->replot();
    const QVector<double> ticks = chart->xAxis->tickVector();
    ASSERT_FALSE(ticks.isEmpty());
    for (double tick : ticks)
        EXPECT_EQ(tick, std::floor(tick));
}

class RowLayoutTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TEnvOverride home{"HOME", QFile::encodeName(dir.filePath(QStringLiteral("home")))};

    void SetUp() override {
        if (StrokeParameters.empty())
            BuildStrokeParameters();
        window = std::make_unique<TfrmTraining>(nullptr);
        LoadDefaultTraining(window->Training);
        window->Training.Id = 101;
        window->TrainingId = 101;
        row = std::make_unique<TfrmRow>(nullptr, window.get());
        row->resize(1000, 700);
        row->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        row.reset();
        window.reset();
    }
    QString Write(const QString& name, const QByteArray& text) {
        const QString file = dir.filePath(name);
        EXPECT_TRUE(WriteAllBytes(file, text));
        return file;
    }

    std::unique_ptr<TfrmTraining> window;
    std::unique_ptr<TfrmRow> row;
};

TEST_F(RowLayoutTest, RoundTripAndReadOnlyFile) {
    const QStringList keys = QString("LeftChart=1 RightChart=1 RightValues=1 WidthRightValues=250 BottomValues=1 "
                                     "HeightBottomValues=180 LeftIndex=0 LeftReference=0 LeftPrevious=0 "
                                     "RightIndex=-2 RightX=5 RightY=-1 RightZ=12").split(' ');
    const QByteArray tuning = "Inertia=9000\nThresHold=7\nDemoFast=1\n";
    row->LoadLayout(Write(QStringLiteral("in.srl"), "[Row]\n" + keys.join('\n').toLatin1() + "\n" + tuning), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(row->Session->Tuning.Inertia, 9000);
    EXPECT_EQ(row->Session->Tuning.ThresHold, 7);
    EXPECT_TRUE(row->Session->Tuning.DemoFast);
    ASSERT_TRUE(row->RightArea());
    EXPECT_EQ(row->RightArea()->width(), 250);
    EXPECT_EQ(row->BottomArea()->height(), 180);

    const QString out = dir.filePath(QStringLiteral("out.srl"));
    row->SaveLayout(out);
    const TIniFile ini(out);
    const QString s = QStringLiteral("Row");
    for (const QString& pair : keys)
        EXPECT_EQ(ini.ReadString(s, pair.section('=', 0, 0), "?"), pair.section('=', 1)) << pair.toStdString();
    // The tuning is read, never written.
    EXPECT_FALSE(ini.ValueExists(s, QStringLiteral("Inertia")));
    EXPECT_FALSE(ini.ValueExists(s, QStringLiteral("DemoFast")));
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("RowBottom"), QStringLiteral("Items")));

    // A layout file without DemoFast plays the demo at its pace.
    row->LoadLayout(Write(QStringLiteral("plain.srl"), "[Row]\nLeftChart=1\n"), 0);
    EXPECT_FALSE(row->Session->Tuning.DemoFast);

    // A read-only file stays as it was, items included.
    const QString locked = Write(QStringLiteral("locked.ini"), "[Row]\nLeftChart=0\n");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    row->SaveLayout(locked);
    EXPECT_EQ(ReadAllBytes(locked), QByteArray("[Row]\nLeftChart=0\n"));
}

// The ticked entries of a menu, those of its submenus after the submenu's title.
QStringList Ticked(const QMenu* menu) {
    QStringList ticked;
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            for (const QString& t : Ticked(a->menu()))
                ticked << a->text() + " " + t;
        } else if (a->isChecked()) {
            ticked << a->text();
        }
    }
    return ticked;
}

// A right click on a chart opens its menu with the layout's choices ticked, also after a
// layout file changed them.
TEST_F(RowLayoutTest, ChartMenusTickTheLayoutsChoices) {
    const struct {
        QByteArray Row;
        QStringList Left, Right;
    } cases[] = {
        {"LeftIndex=0\nLeftReference=1\nLeftPrevious=0\nRightIndex=-2\nRightX=5\nRightY=-1\nRightZ=12\n",
         {"&Force curve", "&Reference curve"},
         {"&Stroke data", "&X-Axis " + StrokeParameterCaption(5), "&Y-Axis Empty", "&Z-Axis " + StrokeParameterCaption(12)}},
        {"LeftIndex=-1\nLeftReference=0\nLeftPrevious=1\nRightIndex=-1\nRightX=0\nRightY=3\nRightZ=-1\n",
         {"&Empty", "&Previous curve"},
         {"&Empty", "&X-Axis " + StrokeParameterCaption(0), "&Y-Axis " + StrokeParameterCaption(3), "&Z-Axis Empty"}},
    };
    for (const auto& c : cases) {
        row->LoadLayout(Write(QStringLiteral("menus.srl"), "[Row]\nLeftChart=1\nRightChart=1\n" + c.Row), 0);
        QCoreApplication::processEvents();
        RightClickAt(row->pnlChartLeft);
        ASSERT_TRUE(row->popLeft->isVisible());
        EXPECT_EQ(Ticked(row->popLeft), c.Left);
        row->popLeft->close();
        RightClickAt(row->pnlChartRight);
        ASSERT_TRUE(row->popRight->isVisible());
        EXPECT_EQ(Ticked(row->popRight), c.Right);
        row->popRight->close();
    }
}

TEST_F(RowLayoutTest, BothChartsOff) {
    row->LoadLayout(Write(QStringLiteral("off.srl"), "[Row]\nLeftChart=0\nRightChart=0\nRightValues=0\n"
                                                     "BottomValues=1\n"),
                    0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(row->pnlCharts->isVisibleTo(row.get()));
    EXPECT_FALSE(row->splRight->isVisibleTo(row.get()));  // and with it the bottom splitter's handle
    ASSERT_TRUE(row->BottomArea());
    EXPECT_EQ(row->BottomArea()->height(), row->splBottom->height());  // the page is the values'

    // With the right values the top half stays, and so does the splitter between them.
    row->ApplyLayout(row->LayoutRightValues);
    QCoreApplication::processEvents();
    EXPECT_TRUE(row->splRight->isVisibleTo(row.get()));
    EXPECT_LT(row->BottomArea()->height(), row->splBottom->height());

    // Toggling the left chart back brings the force curve.
    row->ApplyLayout(row->LayoutLeftChart);
    EXPECT_TRUE(row->pnlCharts->isVisibleTo(row.get()));
    EXPECT_TRUE(row->LeftChartWidget());
}

TEST_F(RowLayoutTest, EmptySessionCountsWholeStrokes) {
    row->LoadLayout(Write(QStringLiteral("plain.srl"), "[Row]\nRightChart=1\nRightIndex=-2\nRightX=0\n"), 0);
    ASSERT_TRUE(row->RightChartWidget());
    ExpectWholeTicks(row->RightChartWidget(), "row");
}

// The data range: the live chart shows that many strokes before the last one, from stroke 2 on,
// however many that is.
TEST_F(RowLayoutTest, LiveChartShowsTheDataRange) {
    const int saved = RollingCount;
    window->Training = MakeRowedTraining(700);
    window->Training.Id = 101;
    const std::pair<int, int> cases[] = {{600, 601}, {65535, 699}, {5, 6}};
    for (const auto& [range, points] : cases) {
        RollingCount = range;
        row->LoadLayout(Write(QStringLiteral("range.srl"), "[Row]\nRightChart=1\nRightIndex=-2\nRightX=0\n"
                                                           "RightY=3\nRightZ=-1\n"), 0);
        EXPECT_EQ(row->RightSeriesPoints(0), points) << range;
    }
    RollingCount = saved;
}

TEST_F(RowLayoutTest, SettingsFileByPathAndMinimumSize) {
    const QString settings = GetUserIniFileName(true);
    EXPECT_TRUE(TfrmRow::IsSettingsFile(settings));
    EXPECT_TRUE(TfrmRow::IsSettingsFile(QFileInfo(settings).path() + QStringLiteral("/./") + QFileInfo(settings).fileName()));
    EXPECT_FALSE(TfrmRow::IsSettingsFile(settings.toUpper()));
    EXPECT_FALSE(TfrmRow::IsSettingsFile(dir.filePath(QStringLiteral("kvwt.ini"))));
    // The splitters' limits agree down to the smallest window.
    row->resize(10, 10);
    QCoreApplication::processEvents();
    EXPECT_GE(row->tshAction->width(), kRowMinPageWidth);
    EXPECT_GE(row->tshAction->height(), kRowMinPageHeight);
}

// ---------------------------------------------------------------- a whole session

// What the engine makes of the whole recording with the default rower.
std::vector<TStgStrokeData> ReplayedStrokes(const QByteArray& bytes) {
    std::vector<TStgStrokeData> strokes;
    TReplayClock clock;
    std::unique_ptr<TReplay> kv(CreateInterface<TReplay>(nullptr));
    kv->SetClock(&clock);
    kv->UseDefaultRower();
    kv->OnStrokeData = [&](TInterface*, const TStgStrokeData& d) {
        if (d.Number == strokes.size() + 1)
            strokes.push_back(d);
    };
    kv->Open(kSourceDemo, QStringLiteral("replay"));
    kv->SetDoCalculate(true);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype records = (bytes.size() - kKvRawHeaderSize) / kStgRawDataSize;
    for (qsizetype r = 0; r < records && kv->State() == kvsOpened; ++r) {
        const unsigned char* p = data + kKvRawHeaderSize + kStgRawDataSize * r;
        const auto ticks = std::uint16_t(p[0] | (p[1] << 8));
        clock.Advance(double(ticks) / kKvTicksPerSecond);
        kv->Feed(ticks, p[2]);
    }
    kv->Close();
    return strokes;
}

// No average of the session lies beyond its maximum (no average 500 m time below the fastest
// stroke's).
TResultsSummary ExpectNoAverageBeyondItsMaximum(const TTraining& t) {
    const TResultsSummary results = CalcResultsSummary(t);
    EXPECT_LE(GetSessionParameterValue(t, 3), results.MaxPower);
    EXPECT_GE(GetSessionParameterValue(t, 5), results.Min500mTime);
    EXPECT_LE(GetSessionParameterValue(t, 6), results.MaxStrokeRate);
    EXPECT_LE(results.AvgRatio, results.MaxRatio);
    return results;
}

class RowSession : public TMainWindowHome {
protected:
    // A new main window; its first show opens the row window, whose connect dialog picks the demo.
    TfrmRow* NewDemoRowWindow() {
        NewForm();
        TfrmMain& main = *form;
        InstallRowWindow(main);
        main.RunNewSessionDialog = [](const QString&, TTraining& t) {
            LoadDefaultTraining(t);
            return true;
        };
        ShowStarted();
        auto* row = qobject_cast<TfrmRow*>(main.frmRow.data());
        if (row)
            row->Session->View.ConnectDialog = [](TConnectChoice& c) {
                c = TConnectChoice{QStringLiteral("DEMO"), 0, 1};
                return true;
            };
        return row;
    }
};

TEST_F(RowSession, DemoFromTheButtonToTheSavedFile) {
    // The fast demo, and a short live chart to see it stay short.
    ASSERT_TRUE(WriteAllBytes(GetUserIniFileName(true), "[Row]\nDemoFast=1\n"));
    const int savedRolling = RollingCount;
    RollingCount = 30;
    {
        TfrmRow* row = NewDemoRowWindow();
        ASSERT_TRUE(row) << "the first show opens the row window";
        TfrmMain& main = *form;
        EXPECT_TRUE(row->Session->Tuning.DemoFast);
        int results = 0;
        row->Session->View.ShowResults = [&](TTraining&) { ++results; };
        int maxLeftPoints = 0;
        const auto oldLive = row->Session->View.LiveForce;
        row->Session->View.LiveForce = [&](int puls, double length, double force) {
            oldLive(puls, length, force);
            for (const TChartSeries& s : row->LeftChartWidget()->Model().Series)
                maxLeftPoints = std::max(maxLeftPoints, int(s.Points.size()));
        };
        QTest::mouseClick(row->ConnectButton, Qt::LeftButton);
        EXPECT_EQ(row->Session->Phase(), TSessionPhase::Connecting);
        // The road's own timer keeps events coming while it waits.
        for (int i = 0; i < 200000 && row->Session->Phase() != TSessionPhase::Closed; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        ASSERT_EQ(row->Session->Phase(), TSessionPhase::Closed);
        QCoreApplication::processEvents();
        EXPECT_EQ(results, 1);
        // The live charts stayed bounded over the whole session.
        EXPECT_EQ(row->RightSeriesPoints(0), 31);
        EXPECT_LE(row->RightSeriesPoints(1), 31);
        EXPECT_GT(maxLeftPoints, 10);
        EXPECT_LE(maxLeftPoints, 2 * kForceCurveSamples);

        TfrmTraining* window = row->TrainingWindow();
        ASSERT_TRUE(window);
        const QString file = home.filePath(QStringLiteral("session.stg"));
        ASSERT_TRUE(window->SaveToFile(file));
        TTraining saved;
        ASSERT_TRUE(OpenTrainingFile(file, saved, false, nullptr));
        const std::vector<TStgStrokeData> expected = ReplayedStrokes(DemoRecording());
        ASSERT_GT(expected.size(), 100u);
        ASSERT_EQ(saved.StrokeData.size(), expected.size() + 1);
        // The last stroke as the engine makes it (the fast demo passes a rest in no time, so
        // session time and distance differ from the recording's).
        TStgStrokeData e;
        RoundStroke(expected.back(), e);
        const TStgStrokeData& got = saved.StrokeData.back();
        EXPECT_EQ(got.Number, expected.size());
        EXPECT_EQ(got.Power, e.Power);
        EXPECT_EQ(got.Energy, e.Energy);
        EXPECT_EQ(got.Length, e.Length);
        EXPECT_EQ(got.StrokeRate, e.StrokeRate);
        EXPECT_EQ(got.DriveTime, e.DriveTime);
        EXPECT_EQ(saved.Workout.Distance, saved.StrokeData.back().Distance);
        main.close();
        form.reset();
    }
    RollingCount = savedRolling;
}

TEST_F(RowByHand, ResetInTheTrainingWindowStartsTheSessionAfresh) {
    const float goal = 150;
    TfrmTraining* window = row->TrainingWindow();
    window->Training.Ini.LimitDistance = int(goal);
    Connect();
    RowUntilStroke(9);
    const double erased = Seconds;
    TFakePrompt prompt(TMsgResult::Yes);
    ResetFromTrainingWindow(window->btnReset);
    ASSERT_EQ(prompt.Texts.size(), 1);
    EXPECT_EQ(row->Session->Recorder().StrokeCount(), 0);
    const TKeloProtocol protocol = Replay->Protocol();

    RowUntilStroke(1000);  // to the goal, judged from the reset on
    ASSERT_TRUE(row->Session->Recorder().Finished());
    QCoreApplication::processEvents();
    EXPECT_EQ(Results, 1);
    const TTraining saved = SaveAndRead(QStringLiteral("reset.stg"));
    const std::size_t strokes = saved.StrokeData.size() - 1;
    ASSERT_GT(strokes, 5u);
    float time = 0;
    for (std::size_t n = 1; n <= strokes; ++n) {
        const TStgStrokeData& s = saved.StrokeData[n];
        EXPECT_EQ(s.Number, n);
        EXPECT_GT(s.Time, time) << n;
        time = s.Time;
    }
    EXPECT_LE(time, Seconds - erased);
    EXPECT_LT(saved.StrokeData[strokes - 1].Distance, goal);
    EXPECT_GE(saved.StrokeData[strokes].Distance, goal);
    EXPECT_EQ(saved.Workout.Distance, goal);
    EXPECT_LE(saved.Workout.Time, time);
    double rawSeconds = 0;
    for (std::size_t i = 1; i < saved.RawData.size(); ++i)
        rawSeconds += saved.RawData[i].Interval / kRawTicksPerSecond;
    EXPECT_NEAR(rawSeconds, Seconds - erased, 0.5);
    EXPECT_EQ(saved.Header.InterfaceType, 1);
    EXPECT_EQ(saved.Header.Protocol, protocol);
    ExpectNoAverageBeyondItsMaximum(saved);
}

// Every road to a reset in the middle of a session: a direct or a warm-up session (whose Start
// is itself a reset), reset while rowing, while paused or after a pause and its continue, by the
// training window's Reset or by a setting being changed. What is recorded from then on is the
// strokes since the reset, each measured whole: the first one's time is its own duration, the
// totals are the strokes' own sums, and no average lies beyond its maximum.
enum class TResetWhen { Rowing, Paused, Continued };

struct TResetRoad {
    const char* Name;
    std::uint8_t ConnectType;
    TResetWhen When;
    bool BySetting;
};

class ResetRoad : public RowByHand, public ::testing::WithParamInterface<TResetRoad> {};

TEST_P(ResetRoad, GivesTheStrokesSinceTheReset) {
    const TResetRoad& road = GetParam();
    TFakePrompt prompt(TMsgResult::Yes);
    TfrmTraining* window = row->TrainingWindow();
    // A training made from a user's settings keeps them editable during the session.
    window->Training.Header.SourceContentKind = 7;
    ConnectType = road.ConnectType;
    Connect();
    RowUntilStroke(5);
    if (road.ConnectType == 2) {
        Click(row->ConnectButton);  // Start
        ASSERT_FALSE(row->Session->WarmingUp());
        RowUntilStroke(4);
    }
    if (road.When != TResetWhen::Rowing) {
        prompt.Answers.push_back(TMsgResult::No);  // paused, and stay connected
        Click(row->ConnectButton);
        ASSERT_EQ(row->Session->ButtonAction(), TButtonAction::Continue);
    }
    if (road.When == TResetWhen::Continued) {
        Click(row->ConnectButton);
        for (int r = 0; r < 300; ++r)  // a second of rowing
            FeedOne();
    }
    const qsizetype asked = prompt.Texts.size();
    ResetFromTrainingWindow(road.BySetting ? static_cast<QWidget*>(window->edtWeight) : window->btnReset);
    ASSERT_EQ(prompt.Texts.size(), asked + 1);
    ASSERT_EQ(row->Session->Recorder().StrokeCount(), 0);
    if (road.When == TResetWhen::Paused)
        Click(row->ConnectButton);  // continue
    RowUntilStroke(11);
    Click(row->ConnectButton);  // pause, and disconnect
    ASSERT_EQ(row->Session->Phase(), TSessionPhase::Closed);
    QCoreApplication::processEvents();
    EXPECT_EQ(Results, 1);

    const TTraining saved = SaveAndRead(QStringLiteral("reset.stg"));
    ASSERT_EQ(saved.StrokeData.size(), 12u);
    const TStgStrokeData& first = saved.StrokeData[1];
    EXPECT_NEAR(first.Time, (first.DriveRatio + 1) * first.DriveTime, 0.15) << "the first stroke is whole";
    double energy = 0, seconds = 0;
    for (std::size_t n = 1; n <= 11; ++n) {
        const TStgStrokeData& s = saved.StrokeData[n];
        EXPECT_EQ(s.Number, n);
        EXPECT_GT(s.Power, 0) << n;
        EXPECT_GT(s.DriveRatio, 0) << n;
        energy += s.Energy;
        seconds += (s.DriveRatio + 1) * s.DriveTime;
        EXPECT_NEAR(s.EnergySum * 1000, energy, 62.5 + 0.5 * n) << n;  // kept to eighths of a kJ
        EXPECT_NEAR(s.Time, seconds, 0.15 * n) << n;
    }
    const TResultsSummary results = ExpectNoAverageBeyondItsMaximum(saved);
    EXPECT_LE(saved.Workout.AvgPower, results.MaxPower);
    for (std::size_t n = 1; n <= 11; ++n) {  // the fastest 500 m is the strongest stroke's
        const TStgStrokeData& s = saved.StrokeData[n];
        EXPECT_EQ(s.Power == results.MaxPower, GetStrokeParameterValue(s, 9, saved.Ini) == results.Min500mTime)
            << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roads, ResetRoad,
    ::testing::Values(TResetRoad{"DirectRowingReset", 0, TResetWhen::Rowing, false},
                      TResetRoad{"DirectRowingSetting", 0, TResetWhen::Rowing, true},
                      TResetRoad{"DirectPausedReset", 0, TResetWhen::Paused, false},
                      TResetRoad{"DirectPausedSetting", 0, TResetWhen::Paused, true},
                      TResetRoad{"DirectContinuedReset", 0, TResetWhen::Continued, false},
                      TResetRoad{"DirectContinuedSetting", 0, TResetWhen::Continued, true},
                      TResetRoad{"WarmUpRowingReset", 2, TResetWhen::Rowing, false},
                      TResetRoad{"WarmUpRowingSetting", 2, TResetWhen::Rowing, true},
                      TResetRoad{"WarmUpPausedReset", 2, TResetWhen::Paused, false},
                      TResetRoad{"WarmUpPausedSetting", 2, TResetWhen::Paused, true},
                      TResetRoad{"WarmUpContinuedReset", 2, TResetWhen::Continued, false},
                      TResetRoad{"WarmUpContinuedSetting", 2, TResetWhen::Continued, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// A session reset from its training window and rowed on is a rowed session again, its settings
// locked; ended from outside, it is kept as a save keeps it and reopens so.
TEST_F(RowByHand, ASessionResetAndRowedOnStaysARowedSession) {
    TfrmTraining* window = row->TrainingWindow();
    Connect();
    RowUntilStroke(20);
    TFakePrompt prompt(TMsgResult::Yes);
    ResetFromTrainingWindow(window->btnReset);
    RowUntilStroke(5);
    EXPECT_EQ(window->lblTType->text(), FormatFileKind(kContentKindRow, 0));
    EXPECT_FALSE(window->edtWeight->isEnabled());
    const TDateTime date = window->Training.Header.Date;
    QTimer::singleShot(0, form.get(), [this] { form->CloseUnattended(); });  // as on SIGTERM
    QCoreApplication::exec();  // which it ends
    const QStringList kept = QDir(GetUserDataFolder()).entryList({QStringLiteral("Session *.stg")});
    ASSERT_EQ(kept.size(), 1);
    NewForm();
    ShowStarted();
    ASSERT_TRUE(form->OpenFile(QString(), GetUserDataFolder() + kept.front()));
    auto* reopened = qobject_cast<TfrmTraining*>(form->ActiveMDIChild());
    ASSERT_TRUE(reopened);
    const TStgHeader& h = reopened->Training.Header;
    EXPECT_EQ(std::tuple(h.ContentKind, h.FileFormat, h.Date, qint64(h.FileSize)),
              std::tuple(kContentKindTraining, kFileFormatStg, date, QFileInfo(GetUserDataFolder() + kept.front()).size()));
    EXPECT_NE(reopened->lblTDateTime->text(), QStringLiteral("-"));
    EXPECT_FALSE(reopened->edtWeight->isEnabled());
}

// Every way of closing the training of a session being rowed asks first, Cancel the default:
// Enter leaves all as it was, the session rowing on; OK closes training, session and row window.
enum class TCloseWay { FileClose, TrainingCloseButton, RowCloseButton, Exit };
class CloseRoad : public RowByHand, public ::testing::WithParamInterface<std::tuple<TCloseWay, bool>> {};

TEST_P(CloseRoad, AsksFirstAndEnterKeepsTheSession) {
    const auto [way, ok] = GetParam();
    Connect();
    RowUntilStroke(3);
    QPointer<TfrmTraining> training = row->TrainingWindow();
    const QString question = QStringLiteral("Training session \"%1\" is modified. Close anyway? ")
                                 .arg(Cp1252ToQString(training->Training.Header.Title));
    TUiPrompt prompt;
    SetPrompt(&prompt);
    const auto restore = qScopeGuard([] { SetPrompt(nullptr); });
    MessageBoxHook = nullptr;  // real message boxes, answered by a person
    QStringList asked;
    TModalSteps steps({[&asked, ok = ok](QWidget* modal) {
        asked << qobject_cast<QMessageBox*>(modal)->text();
        ok ? Click(qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)) : QTest::keyClick(modal, Qt::Key_Return);
    }});
    if (way == TCloseWay::FileClose || way == TCloseWay::Exit) {
        ASSERT_TRUE(ClickTitleBar(training->SubWindow(), QStyle::SC_TitleBarLabel));  // in front
        ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuFile, way == TCloseWay::Exit ? form->FileExit : form->FileClose));
    } else {
        QMdiSubWindow* frame = way == TCloseWay::RowCloseButton ? row->SubWindow() : training->SubWindow();
        frame->showNormal();  // a minimised child's buttons stand where the helper does not look
        ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarCloseButton));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, QStringList{question});
    EXPECT_EQ(Results, 0);
    EXPECT_EQ(training && !training->Closing, !ok);
    EXPECT_EQ(form->isVisible(), !ok || way != TCloseWay::Exit);
    if (ok) {
        EXPECT_TRUE(!form->frmRow || way == TCloseWay::Exit);  // an exit leaves it to the program
        return;
    }
    EXPECT_EQ(form->frmRow, row);
    RowUntilStroke(6);
    EXPECT_EQ(training->Training.StrokeData.size(), 7u);  // rowed on into the same training
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseRoad,
                         ::testing::Combine(::testing::Values(TCloseWay::FileClose, TCloseWay::TrainingCloseButton,
                                                              TCloseWay::RowCloseButton, TCloseWay::Exit),
                                            ::testing::Bool()));

// An interval programme without a work period does not start: the button says why and
// connects nothing.
TEST_F(RowByHand, AProgrammeWithoutWorkDoesNotStart) {
    TStgIni& ini = row->TrainingWindow()->Training.Ini;
    ini.SessionLimit = 4;
    ini.IntervalBy = 3;
    ini.WorkTime = 0;
    TMessageBoxes boxes;
    Click(row->ConnectButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("The interval programme has no work period.")));
    EXPECT_FALSE(Replay);
    EXPECT_EQ(row->Session->Phase(), TSessionPhase::Idle);
    EXPECT_EQ(row->ConnectButton->text(), QStringLiteral("&Connect"));
}

// The results of short and long sessions, from rest, after a reset, a pause or a warm-up, with
// intervals or a goal: no average lies beyond its maximum, and the training window shows the
// results' averages. A first stroke from rest has no power, the first after a stop no ratio.
enum class TRowed { FromRest, AfterReset, AfterPause, AfterWarmUp, Intervals, Goal };
struct TResultsSession {
    const char* Name;
    TRowed How;
    int Strokes;  // rowed from the start, the reset or the continue; above the demo's: all of it
};

class ResultsTable : public RowByHand, public ::testing::WithParamInterface<TResultsSession> {};

TEST_P(ResultsTable, NoAverageBeyondItsMaximum) {
    const TResultsSession& c = GetParam();
    TFakePrompt prompt(TMsgResult::Yes);
    TfrmTraining* window = row->TrainingWindow();
    TStgIni& ini = window->Training.Ini;
    if (c.How == TRowed::Intervals) {  // 10 s of work, 5 s of rest: ends after the second
        ini.SessionLimit = 4;
        ini.LimitIntervals = 3;
        ini.IntervalBy = 3;
        ini.WorkTime = 10;
        ini.RestTime = 5;
    }
    if (c.How == TRowed::Goal)
        ini.LimitDistance = 50;
    if (c.How == TRowed::AfterWarmUp)
        ConnectType = 2;
    Connect();
    int before = 0;  // strokes counted before the pause
    if (c.How == TRowed::AfterReset) {
        // Two strokes after this reset cover 25.875 m in 6.5 s as kept: 2:05.6 per 500 m,
        // faster than either stroke.
        RowUntilStroke(9);
        ResetFromTrainingWindow(window->btnReset);
        ASSERT_EQ(row->Session->Recorder().StrokeCount(), 0);
    } else if (c.How == TRowed::AfterPause) {
        RowUntilStroke(4);
        prompt.Answers.push_back(TMsgResult::No);  // paused, and stay connected
        Click(row->ConnectButton);
        Clock.Advance(5000);
        Click(row->ConnectButton);  // continue
        before = row->Session->Recorder().StrokeCount();
    } else if (c.How == TRowed::AfterWarmUp) {
        RowUntilStroke(4);
        Click(row->ConnectButton);  // Start
        ASSERT_FALSE(row->Session->WarmingUp());
    }
    RowUntilStroke(before + c.Strokes);
    if (row->Session->Phase() != TSessionPhase::Closed)
        Click(row->ConnectButton);  // pause, and disconnect
    ASSERT_EQ(row->Session->Phase(), TSessionPhase::Closed);
    QCoreApplication::processEvents();
    ASSERT_EQ(Results, 1);

    const TTraining& t = window->Training;
    ASSERT_GE(t.StrokeData.size(), 3u);
    EXPECT_GT(ExpectNoAverageBeyondItsMaximum(t).AvgRatio, 0);
    const TResultsTexts shown = FormatResults(t);
    const std::pair<const QLabel*, QString> same[] = {
        {window->lblPower, shown.AvgPower},
        {window->lbl500m, shown.Avg500m},
        {window->lblStrokerate, shown.AvgStrokeRate},
        {window->lblDRRatio, shown.AvgRatio},
    };
    for (const auto& [label, text] : same)
        EXPECT_EQ(label->text().toStdString(), text.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, ResultsTable,
    ::testing::Values(TResultsSession{"TwoStrokesFromRest", TRowed::FromRest, 2},
                      TResultsSession{"SixStrokesFromRest", TRowed::FromRest, 6},
                      TResultsSession{"TheWholeDemo", TRowed::FromRest, 100000},
                      TResultsSession{"TwoStrokesAfterAReset", TRowed::AfterReset, 2},
                      TResultsSession{"ThreeStrokesAfterAPause", TRowed::AfterPause, 3},
                      TResultsSession{"TwoStrokesAfterAWarmUp", TRowed::AfterWarmUp, 2},
                      TResultsSession{"Intervals", TRowed::Intervals, 100000},
                      TResultsSession{"AShortGoal", TRowed::Goal, 100000}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RowByHand, StrokesAfterASaveMarkTheTrainingModified) {
    Connect();
    RowUntilStroke(4);
    TfrmTraining* window = row->TrainingWindow();
    SaveAndRead(QStringLiteral("early.stg"));
    ASSERT_EQ(window->Training.Header.Modified, 0);
    RowUntilStroke(13);
    EXPECT_EQ(window->Training.Header.Modified, 1);
}

// Closing the row window while connected: the training's close question comes first and alone;
// Cancel leaves the session rowing, OK closes it without its results.
TEST_F(RowSession, ClosedWhileConnectedTheResultsFollowTheCloseQuestion) {
    TUiPrompt prompt;
    SetPrompt(&prompt);
    // Real message boxes: the order of the dialogs on screen is what is tested.
    const TMessageBoxHook hook = MessageBoxHook;
    ASSERT_TRUE(WriteAllBytes(GetUserIniFileName(true), "[Row]\nDemoFast=1\n"));
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        MessageBoxHook = nullptr;
        TfrmRow* row = NewDemoRowWindow();
        ASSERT_TRUE(row);
        TfrmMain& main = *form;
        QTest::mouseClick(row->ConnectButton, Qt::LeftButton);
        while (row->Session->Recorder().StrokeCount() < 3)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QPointer<TfrmTraining> training = row->TrainingWindow();

        // Each modal dialog as it comes up, with what else is on screen; a person answers it.
        QStringList seen;
        QList<QPointer<QWidget>> met;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || met.contains(modal))
                return;
            met << modal;
            const bool results = ResultsDialog()->isVisible();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen << (results ? "question over results" : "question");
                Click(box->button(keep ? QMessageBox::Cancel : QMessageBox::Ok));
            } else if (modal == ResultsDialog()) {
                bool question = false;
                for (QWidget* w : QApplication::topLevelWidgets())
                    question = question || (qobject_cast<QMessageBox*>(w) && w->isVisible());
                seen << (question ? "results over question" : "results");
                Click(ResultsDialog()->btbOk);
            }
        });
        watcher.start(5);
        // The row window's own close button on its title bar.
        QMdiSubWindow* frame = row->SubWindow();
        frame->showNormal();
        ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarCloseButton));
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        watcher.stop();
        // Cancel changes nothing: the row window stays and its session rows on.
        EXPECT_EQ(bool(main.frmRow), keep);
        EXPECT_EQ(seen, QStringList{"question"});
        EXPECT_EQ(training && !training->Closing, keep);
        if (keep)
            EXPECT_EQ(row->Session->Phase(), TSessionPhase::Running);
        MessageBoxHook = hook;  // the kept training's question at the end is answered OK
        main.close();
        form.reset();
    }
    SetPrompt(nullptr);
}

// Only switching to the row window from another window ends a wait; the program regaining the
// focus (a dialog closing) does not.
TEST_F(RowSession, ActivationEndsAWaitOnlyWhenSwitchingToTheWindow) {
    form->FirstShow = false;
    form->show();
    TfrmTraining* window = form->NewTraining(QString());
    auto* row = new TfrmRow(form.get(), window);
    form->frmRow = row;
    ChildFrame(row)->show();
    QMdiArea* area = form->MdiArea;
    area->setActiveSubWindow(row->SubWindow());
    ShowMessageWindow(QStringLiteral("Waiting for interface ... (Press [Esc] to cancel)"));
    emit area->subWindowActivated(nullptr);
    emit area->subWindowActivated(row->SubWindow());
    EXPECT_TRUE(MessageWindowVisible());
    emit area->subWindowActivated(window->SubWindow());
    emit area->subWindowActivated(row->SubWindow());
    EXPECT_FALSE(MessageWindowVisible());
    CloseMessageWindow();
}

// ---------------------------------------------------------------- the windows beside a session

// The session button takes the focus at each stroke and at a resize, but only while the row
// window is the current one: a window opened or chosen while the session rows stays in front, and
// so does one whose chart is copied or that is in front at a resize. The log writes in the
// window's font.
TEST_F(RowByHand, WindowsBesideTheSessionStayInFront) {
    QApplication::setActiveWindow(form.get());
    EXPECT_EQ(row->memLog->font().family().toStdString(), form->OptionsFont.family().toStdString());
    EXPECT_EQ(row->memLog->font().pointSizeF(), form->OptionsFont.pointSizeF());
    QMdiArea* area = form->MdiArea;
    QMenuBar* bar = form->menuBar();
    Connect();
    RowUntilStroke(3);
    EXPECT_EQ(area->currentSubWindow(), row->SubWindow());
    EXPECT_EQ(form->focusWidget(), row->ConnectButton);

    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuAnalyse, form->AnalyseStrokeData));
    auto* strokeData = qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data());
    ASSERT_TRUE(strokeData);
    RowUntilStroke(6);
    EXPECT_EQ(area->currentSubWindow(), strokeData->SubWindow()) << "opened while rowing";

    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuView, form->ViewTraining));
    TfrmTraining* training = row->TrainingWindow();
    ASSERT_EQ(area->currentSubWindow(), training->SubWindow());
    RowUntilStroke(9);
    EXPECT_EQ(area->currentSubWindow(), training->SubWindow()) << "chosen while rowing";

    // Back in the row window its button is the control in use again. A click on the status bar
    // turns to the log, a click in it takes the focus there until the next resize or stroke.
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuView, form->ViewRow));
    ASSERT_EQ(area->currentSubWindow(), row->SubWindow());
    ClickAt(row->StatusBar, QPoint(row->StatusBar->PanelLeft(rpTime) + 5, row->StatusBar->height() / 2));
    ASSERT_TRUE(row->memLog->isVisible());
    ClickAt(row->memLog->viewport());
    ASSERT_EQ(form->focusWidget(), row->memLog);
    form->resize(form->size() + QSize(40, 30));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->focusWidget(), row->ConnectButton);
    ClickAt(row->memLog->viewport());
    ASSERT_EQ(form->focusWidget(), row->memLog);
    RowUntilStroke(11);
    EXPECT_EQ(form->focusWidget(), row->ConnectButton);

    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuAnalyse, form->AnalyseForceCurves));
    auto* curves = qobject_cast<TfrmForceCurves*>(form->frmForceCurves.data());
    ASSERT_TRUE(curves);
    ClickAt(curves->metCurve);
    ASSERT_EQ(form->focusWidget(), curves->metCurve);
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuEdit, form->EditCopyChart));
    EXPECT_EQ(area->currentSubWindow(), curves->SubWindow()) << "its chart copied";
    EXPECT_EQ(form->focusWidget(), curves->metCurve);
    RowUntilStroke(13);
    EXPECT_EQ(area->currentSubWindow(), curves->SubWindow());
    form->resize(form->size() - QSize(40, 30));
    QCoreApplication::processEvents();
    EXPECT_EQ(area->currentSubWindow(), curves->SubWindow());
}

// Restored from maximised (as it opens), the row window comes back at a size it can be used at.
TEST_F(RowByHand, ComesBackFromMaximisedAtItsDesignSize) {
    form->resize(1200, 900);
    QMdiSubWindow* frame = row->SubWindow();
    ASSERT_TRUE(frame);
    if (!frame->isMaximized()) {
        ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarMaxButton));
    }
    ASSERT_TRUE(frame->isMaximized());
    ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarNormalButton));
    EXPECT_FALSE(frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
    EXPECT_GE(row->width(), 684);
    EXPECT_GE(row->height(), 373 + row->StatusBar->height());  // the status bar below the design's page
}

// A warm-up that ends because its device went (not by the button) clears every status panel:
// the goal ruler is back for the next session.
TEST_F(RowByHand, ASessionClosedByItsDeviceClearsTheWarmUpPanel) {
    ConnectType = 2;
    Connect();
    RowUntilStroke(2);
    ASSERT_TRUE(row->WarmingUpPanel());
    Replay->Close();  // unplugged: the interface closes itself
    QCoreApplication::processEvents();
    EXPECT_FALSE(row->WarmingUpPanel());
    for (int panel = rpSource; panel <= rpTime; ++panel)
        EXPECT_EQ(row->StatusBar->Panel(panel).Text.toStdString(), "") << panel;
}

// The stroke-data and force-curve windows follow the session: each stroke as it is rowed (the
// force curves' Last, scroll bar and Play reach the last one), the whole session when it ends.
TEST_F(RowByHand, AnalysisWindowsFollowTheSession) {
    TFakePrompt prompt(TMsgResult::Yes);  // disconnect: Yes
    QMenuBar* bar = form->menuBar();
    Connect();
    RowUntilStroke(10);
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuAnalyse, form->AnalyseStrokeData));
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuAnalyse, form->AnalyseForceCurves));
    auto* strokeData = qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data());
    auto* curves = qobject_cast<TfrmForceCurves*>(form->frmForceCurves.data());
    ASSERT_TRUE(strokeData && curves);
    const TTraining& t = row->TrainingWindow()->Training;
    // The power series: strokes from 2 on that have power.
    const auto powered = [&t](int n) {
        int count = 0;
        for (int k = 2; k <= n; ++k)
            count += t.StrokeData[std::size_t(k)].Power > 0;
        return count;
    };
    const auto powerPoints = [strokeData] {
        const std::vector<TChartSeries>& series = strokeData->FChart->Model().Series;
        return series.empty() ? -1 : int(series.front().Points.size());
    };
    for (const int n : {10, 25, 40}) {
        RowUntilStroke(n);
        EXPECT_EQ(powerPoints(), powered(n)) << n;
        EXPECT_EQ(curves->metCurve->text().toStdString(), std::to_string(n));
        EXPECT_EQ(curves->sgdData->item(0, 1)->text().trimmed().toStdString(), std::to_string(n));
    }
    QListWidget* list = curves->clbTrainings;
    ClickAt(list->viewport(), list->visualItemRect(list->item(0)).center());
    ClickAt(curves->btbLast);
    EXPECT_EQ(curves->sbrCurves->maximum(), 40);
    const QString caption = curves->sgdData->item(0, 0)->text();
    EXPECT_TRUE(caption.endsWith(QStringLiteral("(40/40)"))) << caption.toStdString();
    // Play from five before the last runs to the last and stops there.
    ClickAt(curves->metCurve);
    QTest::keyClick(curves->metCurve, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(curves->metCurve, QStringLiteral("35"));
    QTest::keyClick(curves->metCurve, Qt::Key_Return);
    ClickAt(curves->btbPlay);
    for (int i = 0; i < 10 && curves->tmrPlay->isActive(); ++i)
        curves->tmrPlayTimer();
    EXPECT_FALSE(curves->tmrPlay->isActive());
    EXPECT_EQ(curves->metCurve->text(), QStringLiteral("40"));

    // The rower ends the session in the row window.
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuView, form->ViewRow));
    Click(row->ConnectButton);
    ASSERT_EQ(row->Session->Phase(), TSessionPhase::Closed);
    const int n = row->Session->Recorder().StrokeCount();
    ASSERT_EQ(int(t.StrokeData.size()) - 1, n);
    EXPECT_EQ(powerPoints(), powered(n));
    for (int column = 0; column < kSessionParameterCount; ++column)
        EXPECT_EQ(strokeData->sgdData->item(0, column + 1)->text().toStdString(),
                  FormatSessionParameter(t, column).toStdString()) << column;
    EXPECT_EQ(curves->sgdData->item(0, 0)->text().toStdString(), curves->GetTrainingCaption(0).toStdString());
    EXPECT_TRUE(curves->btbFirst->isEnabled());
    EXPECT_FALSE(curves->btbLast->isEnabled());
}

// The left chart follows the list of trainings: the curve of a training opened during the session
// appears at the next recovery, and goes at the next after the training closed. Turned off and on
// (its menu's Empty, then Force curve) it is the same chart: the live curves in the training's
// colours and pen, the reference curves no others.
TEST_F(RowByHand, LeftChartFollowsTheTrainingsAndComesBackTheSame) {
    const TTraining& t = row->TrainingWindow()->Training;
    ASSERT_GT(t.Header.PenWidth, 1);
    const auto references = [this] { return int(row->LeftChartWidget()->Model().Series.size()) - 2; };
    // What each series draws with: colour, pen and, for a reference, its points.
    const auto looks = [this] {
        QStringList looks;
        const std::vector<TChartSeries>& series = row->LeftChartWidget()->Model().Series;
        for (std::size_t i = 0; i < series.size(); ++i)
            looks << QStringLiteral("%1 %2 %3 %4")
                         .arg(series[i].Color)
                         .arg(series[i].PenStyle)
                         .arg(series[i].PenWidth)
                         .arg(i >= 2 ? int(series[i].Points.size()) : -1);
        return looks.join(QStringLiteral("; ")).toStdString();
    };
    // Pixels of a colour in the chart as it is on screen (its buffers, not a fresh drawing).
    const auto shown = [this](std::uint32_t colour) {
        const QImage picture = row->LeftChartWidget()->grab().toImage();
        const QRgb rgb = ColorRefToQColor(colour).rgb();
        int n = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                n += picture.pixel(x, y) == rgb;
        return n;
    };
    const auto choose = [this](const QString& text) {
        RightClickAt(row->pnlChartLeft);
        ASSERT_TRUE(row->popLeft->isVisible());
        for (QAction* a : row->popLeft->actions())
            if (a->text() == text)
                QTest::mouseClick(row->popLeft, Qt::LeftButton, {}, row->popLeft->actionGeometry(a).center());
    };
    Connect();
    RowUntilStroke(3);
    ASSERT_EQ(references(), 0);
    // A colour of its own, whatever colours earlier trainings took: the chart's grid and texts are
    // grey, and pixels of that colour would not be the curve's.
    TTraining reference = MakeRowedTraining(20);
    reference.Header.Color = 0xFF00FF;
    OpenFromMenu({reference});
    ASSERT_EQ(form->TrainingCount(), 2);
    RowUntilStroke(5);
    ASSERT_EQ(references(), 1);
    TfrmTraining* other = form->TrainingWindow(1);
    const TChartSeries& curve = row->LeftChartWidget()->Model().Series[2];
    EXPECT_EQ(curve.Color, TChartColor(other->Training.Header.Color));
    EXPECT_EQ(int(curve.Points.size()), kForceCurveSamples);
    const std::uint32_t otherColour = other->Training.Header.Color;
    ASSERT_NE(otherColour, t.Header.Color);
    EXPECT_GT(shown(otherColour), 100);

    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuView, form->ViewRow));
    const std::string before = looks();
    EXPECT_NE(before.find(QStringLiteral("; %1 %2 %3 -1;").arg(t.Header.Color).arg(t.Header.PenStyle)
                              .arg(t.Header.PenWidth).toStdString()),
              std::string::npos) << before;
    choose(QStringLiteral("&Empty"));
    ASSERT_FALSE(row->LeftChartWidget());
    choose(QStringLiteral("&Force curve"));
    ASSERT_TRUE(row->LeftChartWidget());
    RowUntilStroke(7);
    EXPECT_EQ(looks(), before);

    form->MdiArea->setActiveSubWindow(other->SubWindow());
    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuFile, form->FileClose));
    ASSERT_EQ(form->TrainingCount(), 1);
    RowUntilStroke(9);
    EXPECT_EQ(references(), 0);
    EXPECT_EQ(shown(otherColour), 0);
}

// A curve number typed in the force-curve window while the session rows is not overwritten by
// the strokes that redraw the window before it is entered.
TEST_F(RowByHand, CurveNumberTypedWhileRowingIsKept) {
    QApplication::setActiveWindow(form.get());
    TTraining other = MakeRowedTraining(20);
    other.Header.Title = "Other";
    OpenFromMenu({other});
    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuView, form->ViewRow));
    Connect();
    RowUntilStroke(3);
    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuAnalyse, form->AnalyseForceCurves));
    auto* curves = qobject_cast<TfrmForceCurves*>(form->frmForceCurves.data());
    ASSERT_TRUE(curves);
    // The other training is selected, its curve number typed.
    const TTraining& opened = form->TrainingWindow(1)->Training;
    ASSERT_EQ(opened.Header.Title, "Other");
    QListWidget* list = curves->clbTrainings;
    ClickAt(list->viewport(), list->visualItemRect(list->item(1)).center() + QPoint(20, 0));
    ClickAt(curves->metCurve);
    QTest::keyClick(curves->metCurve, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(curves->metCurve, QStringLiteral("7"));
    RowUntilStroke(5);
    QTest::keyClick(curves->metCurve, Qt::Key_Return);
    EXPECT_EQ(opened.Header.CurrentStroke, 7);
}


// The stroke axes of the row window's right chart and the stroke-data window's chart count in
// whole strokes at every stroke of a session.
TEST_F(RowByHand, StrokeAxesCountInWholeStrokes) {
    Connect();
    RowUntilStroke(2);
    ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuAnalyse, form->AnalyseStrokeData));
    auto* strokeData = qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data());
    ASSERT_TRUE(strokeData && row->RightChartWidget());
    ASSERT_EQ(row->RightX, 0);
    ASSERT_EQ(strokeData->cmbX->currentIndex(), 0);
    for (int n = 3; n <= 45; ++n) {
        RowUntilStroke(n);
        SCOPED_TRACE(n);
        ExpectWholeTicks(row->RightChartWidget(), "row");
        ExpectWholeTicks(strokeData->FChart, "stroke data");
    }
}

// A rubber band dragged with the mouse on whatever lies at those points of the chart.
void DragOnChart(TChartWidget* chart, QPoint from, QPoint to) {
    QPoint at = from;
    ASSERT_EQ(WidgetUnder(chart, at), chart);
    QTest::mousePress(chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(chart, (from + to) / 2);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, to);
    chart->FinishZoomAnimation();
}

// The point of a chart at fractions of its bottom and left axes' ranges.
QPoint ChartPoint(const TChartWidget* chart, double fx, double fy) {
    const QCPRange x = chart->xAxis->range();
    const QCPRange y = chart->yAxis->range();
    return QPoint(int(chart->xAxis->coordToPixel(x.lower + fx * x.size())),
                  int(chart->yAxis->coordToPixel(y.lower + fy * y.size())));
}

// What the user set in an analysis window while the session rows stays as it was at the next
// strokes: the list's scroll position, selection and checks, the chart's zoom. Unzoomed, an
// automatic axis follows the strokes.
TEST_F(RowByHand, AnalysisWindowsKeepTheUsersViewWhileRowing) {
    form->resize(900, 470);
    std::vector<TTraining> others(16, MakeRowedTraining(5));
    for (std::size_t i = 0; i < others.size(); ++i)
        others[i].Header.Title = QStringLiteral("Other %1").arg(i).toStdString();
    OpenFromMenu(others);
    QMenuBar* bar = form->menuBar();
    ASSERT_EQ(form->TrainingCount(), 17);
    ASSERT_TRUE(ChooseFromMenu(bar, form->mnuView, form->ViewRow));
    Connect();
    RowUntilStroke(8);

    struct TWindowCase {
        QAction* Open;
        std::function<TfrmChart*()> Window;
    };
    const std::vector<TWindowCase> cases{
        {form->AnalyseStrokeData, [this] { return qobject_cast<TfrmChart*>(form->frmStrokeData.data()); }},
        {form->AnalyseForceCurves, [this] { return qobject_cast<TfrmChart*>(form->frmForceCurves.data()); }},
    };
    for (const TWindowCase& c : cases) {
        ASSERT_TRUE(ChooseFromMenu(bar, form->mnuAnalyse, c.Open));
        TfrmChart* w = c.Window();
        ASSERT_TRUE(w);
        const std::string name = w->metaObject()->className();
        QListWidget* list = w->clbTrainings;
        QScrollBar* scroll = list->verticalScrollBar();
        QCoreApplication::processEvents();
        ASSERT_GT(scroll->maximum(), 0) << name << ": the list is long enough to scroll";
        // The user unticks a training near the top, which selects it, and scrolls down a page
        // and beyond, out of its sight.
        const int picked = c.Open == form->AnalyseStrokeData ? 2 : 3;
        const QRect item = list->visualItemRect(list->item(picked));
        ClickAt(list->viewport(), QPoint(item.left() + 4, item.center().y()));
        ASSERT_EQ(list->item(picked)->checkState(), Qt::Unchecked) << name;
        ASSERT_EQ(list->currentRow(), picked) << name;
        for (int page = 0; page < 2; ++page)
            ClickAt(scroll, QPoint(scroll->width() / 2, scroll->height() - scroll->width() - 4));
        const int scrolled = scroll->value();
        ASSERT_FALSE(list->viewport()->rect().intersects(list->visualItemRect(list->item(picked)))) << name;
        // ... and zooms into the chart.
        TChartWidget* chart = w->FChart;
        DragOnChart(chart, ChartPoint(chart, 0.2, 0.8), ChartPoint(chart, 0.6, 0.3));
        ASSERT_TRUE(chart->Zoomed()) << name;
        const auto ends = [](const QCPAxis* axis) { return std::pair(axis->range().lower, axis->range().upper); };
        const auto zoomX = ends(chart->xAxis);
        const auto zoomY = ends(chart->yAxis);

        const int n = row->Session->Recorder().StrokeCount();
        RowUntilStroke(n + 3);
        ASSERT_GE(row->Session->Recorder().StrokeCount(), n + 3);
        EXPECT_EQ(scroll->value(), scrolled) << name;
        EXPECT_EQ(w->clbTrainings->currentRow(), picked) << name;
        EXPECT_TRUE(list->item(picked)->isSelected()) << name;
        EXPECT_EQ(list->item(picked)->checkState(), Qt::Unchecked) << name;
        EXPECT_EQ(list->item(0)->checkState(), Qt::Checked) << name;
        EXPECT_TRUE(chart->Zoomed()) << name;
        EXPECT_EQ(ends(chart->xAxis), zoomX) << name;
        EXPECT_EQ(ends(chart->yAxis), zoomY) << name;

        // Dragging back returns to the whole chart, which again follows the strokes.
        DragOnChart(chart, ChartPoint(chart, 0.6, 0.3), ChartPoint(chart, 0.2, 0.8));
        ASSERT_FALSE(chart->Zoomed()) << name;
        RowUntilStroke(row->Session->Recorder().StrokeCount() + 2);
        const QCPRange homeX = chart->HomeRange(chart->xAxis);
        const QCPRange homeY = chart->HomeRange(chart->yAxis);
        EXPECT_EQ(ends(chart->xAxis), std::pair(homeX.lower, homeX.upper)) << name;
        EXPECT_EQ(ends(chart->yAxis), std::pair(homeY.lower, homeY.upper)) << name;
    }
    // The stroke-data window's stroke axis reaches the last stroke with power.
    auto* strokeData = qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data());
    double last = 0;
    for (const TChartSeries& s : strokeData->FChart->Model().Series)
        for (const TChartPoint& p : s.Points)
            last = std::max(last, p.X);
    EXPECT_EQ(strokeData->FChart->xAxis->range().upper, last);
    EXPECT_GT(last, 14);
}

}  // namespace
