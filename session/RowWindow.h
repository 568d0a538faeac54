// The row window: one rowing session at a time. The session button runs the session road of the
// session controller; the window shows what it records: the live force curve (with the previous
// drive and the reference curves of the other trainings) on the left chart, the last strokes on
// the right chart, the stroke values in two value areas, and a status bar with the button, the
// phase and the goal ruler. Its layout lives in section "Row" of the settings file or of a
// layout file (.srl).
//
// The row window records into the training of its training window, reached through a QPointer
// at every use: the training window may close first.
#pragma once

#include "devices/session/SessionController.h"
#include "session/TrainingWindow.h"
#include "shell/MdiChild.h"
#include "shell/TrainingViews.h"
#include "widgets/ChartWidget.h"
#include "widgets/ValueArea.h"

#include <QMdiSubWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>

class QAction;
class QMdiSubWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTimer;
class TStatusPanels;
class TfrmMain;

// The page needs this much room for its smallest charts and value areas: the splitters keep the
// right values 140 .. width - 225 wide and the bottom values 100 .. height - 225 high.
inline constexpr int kRowRightValuesMin = 140;
inline constexpr int kRowBottomValuesMin = 100;
inline constexpr int kRowChartsMin = 225;
inline constexpr int kRowMinPageWidth = kRowRightValuesMin + kRowChartsMin;    // 365
inline constexpr int kRowMinPageHeight = kRowBottomValuesMin + kRowChartsMin;  // 325
// Force-curve chart: fixed axes.
inline constexpr double kForceChartLength = 176;
inline constexpr double kForceChartForce = 780;
// A device's own curve: sample k at k x 4.5 cm.
inline constexpr double kDeliveredCurveSpacing = 4.5;

// Status panels of the row window.
enum TRowPanel { rpButton = 0, rpSource = 1, rpSpinner = 2, rpPhase = 3, rpGoal = 4, rpTime = 5 };

// An axis of the live stroke chart that follows the strokes one at a time: the catalogue's axis
// modes (automatic, doubling, manual, moving range) without walking the whole session.
struct TLiveAxis {
    int Column = -1;
    std::uint8_t Mode = 0;
    double Lo = 0, Hi = 0, Width = 0;
    int Above = 0;               // successive strokes above the maximum (doubling)
    std::deque<double> Recent;   // the last 10 values (moving range)
    // Starts from the column's limits.
    void Start(int column);
    // One more stroke value; true when the limits changed.
    bool Add(double value);
};

class TfrmRow : public TMDIChild, public TTrainingViews {
    Q_OBJECT
public:
    // trainingWindow: the window whose training the session records into.
    TfrmRow(TMDIMain* owner, TfrmTraining* trainingWindow);
    ~TfrmRow() override;

    // Layout fields, section "Row".
    int BoundsLeft = -1, BoundsTop = -1, BoundsWidth = -1, BoundsHeight = -1;
    bool LeftChart = true;
    bool RightChart = true;
    bool RightValues = false;
    int WidthRightValues = 300;
    bool BottomValues = true;
    int HeightBottomValues = 200;
    int LeftIndex = 0;  // -1 off, 0 force curve
    bool LeftReference = true;
    bool LeftPrevious = true;
    int RightIndex = -2;  // -1 off, -2 stroke data
    int RightX = 0, RightY = 1, RightZ = 12;
    std::uint8_t Language = 0;

    TSessionController* Session = nullptr;
    TTraining* Training() const;
    TfrmTraining* TrainingWindow() const { return FTrainingWindow.data(); }
    TfrmMain* MainWindow() const;

    // The four layout toggles (checkable); ApplyLayout reads them.
    QAction* LayoutLeftChart = nullptr;
    QAction* LayoutRightChart = nullptr;
    QAction* LayoutRightValues = nullptr;
    QAction* LayoutBottomValues = nullptr;

    // Placement: 1 saved bounds, 2 fill the main window, 3 maximised, others unchanged.
    void LoadLayout(const QString& fileName, int placement);
    void SaveLayout(const QString& fileName);
    // nullptr: the actions follow the flags; an action: its check is toggled. Then the flags
    // follow the actions and the page is laid out.
    void ApplyLayout(QAction* action);
    // Whether a file is the program's settings file (by canonical path).
    static bool IsSettingsFile(const QString& fileName);

    void RefreshTraining();
    void SetColors(const QFont& font, const QColor& fontColor, const QColor& listColor,
                   const QColor& formColor) override;
    void CloseIfTraining(int id);
    void SetupLeftChart();
    void SetupRightChart();
    void ResetSession();
    void UpdateConnectButton();
    void FocusConnectButton();
    // Closes a session in progress without asking anybody or showing anything; its training,
    // modified, is kept with the others by the main window.
    void EndSessionUnattended();

    // TTrainingViews
    void TrainingListChanged(bool) override {}
    void RefreshTrainingViews() override { RefreshTraining(); }
    void TrainingClosed(int id) override { CloseIfTraining(id); }

    // Controls, as designed.
    QWidget* Panel3 = nullptr;
    QStackedWidget* pgcRow = nullptr;
    QWidget* tshLog = nullptr;
    QWidget* tshAction = nullptr;
    QWidget* tshText = nullptr;
    QPlainTextEdit* memLog = nullptr;
    TStatusPanels* StatusBar = nullptr;
    QPushButton* ConnectButton = nullptr;
    QSplitter* splBottom = nullptr;  // charts and right values above the bottom values
    QSplitter* splRight = nullptr;   // charts beside the right values
    QWidget* pnlCharts = nullptr;
    QWidget* pnlChartLeft = nullptr;
    QWidget* pnlChartRight = nullptr;
    QMenu* popLeft = nullptr;
    QMenu* popRight = nullptr;
    QTimer* tmrUpdateAreas = nullptr;

    TChartWidget* LeftChartWidget() const { return FLeftChart.data(); }
    TChartWidget* RightChartWidget() const { return FRightChart.data(); }
    TValueArea* BottomArea() const { return FBottomArea.data(); }
    TValueArea* RightArea() const { return FRightArea.data(); }
    TValueData* ValueData() const { return FValueData.get(); }
    bool WarmingUpPanel() const { return FWarmingUpPanel; }
    // Points of the live stroke chart's value series (for checks).
    int RightSeriesPoints(int series) const;

    // Pop-up handlers.
    void LeftPopupClick(QAction* item);
    void popLeftPopup();
    void RightPopupClick(QAction* item);
    void RightAxisClick(int axis, QAction* item);  // axis 0 X, 1 Y, 2 Z
    void popRightPopup();

    // The status bar's panels as drawn (the benchmark and tests paint them).
    void StatusBarDrawPanel(QPainter& painter, int panel, const QRect& rect);

protected:
    bool CloseQuery() override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<TfrmTraining> FTrainingWindow;
    QPointer<QMdiSubWindow> FLastActive;  // the sub-window active before the last activation
    QPointer<TChartWidget> FLeftChart;
    QPointer<TChartWidget> FRightChart;
    QPointer<TValueArea> FBottomArea;
    QPointer<TValueArea> FRightArea;
    std::unique_ptr<TValueData> FValueData;
    QList<QAction*> FRightXItems, FRightYItems, FRightZItems, FRightTopItems, FLeftItems;
    bool FClosingGuard = false;
    bool FWarmingUpPanel = false;
    bool FSizesPending = false;
    bool FLayoutApplying = false;
    QColor FWindowColor;
    std::uint32_t FOldColor = 0x0000FF;  // COLORREF
    std::uint32_t FNewColor = 0xFF0000;
    TLiveAxis FAxisY, FAxisZ;
    int FRightYSeries = -1, FRightZSeries = -1;  // series indexes in the right chart
    int FLiveStrokes = 0;                         // strokes shown by the right chart

    void CreateControls();
    void CreateMenus();
    void WireSession();
    void CreateLeftChart();
    // The left chart's series after the live two: the curves of the other trainings.
    void SetupReferenceCurves();
    // The live two in the training's colours (the previous drive's inverted) and pen.
    void ApplyLiveCurveLook();
    void CreateRightChart();
    void SetupValueData();
    void CreateBottomValues();
    void CreateRightValues();
    void FreeArea(QPointer<TValueArea>& area);
    void PlaceButton();
    void LayoutCharts();
    void ApplyPendingSizes();
    void StatusBarResize();
    void SetPanel(int panel, const QString& text);
    void ApplyChartColors(TChartWidget* chart);
    int LiveStrokeLimit() const;
    // Per sample and per stroke.
    void LiveForce(int puls, double length, double force);
    void DriveStarted();
    void RecoveryStarted();
    void CurveDelivered();
    void StrokeRecorded(const TStrokeOutcome& outcome);
    void AppendStroke(const TStgStrokeData& stroke);
    void SubWindowActivated();
};

// The program's row window: made by the main window's OpenRowWindow. startDemo: the first row
// window rows the demo at once with the default rower (the program's tests start it so);
// disconnectAt > 0: after that stroke the rower pauses and disconnects.
void InstallRowWindow(TfrmMain& main, bool startDemo = false, int disconnectAt = 0);
