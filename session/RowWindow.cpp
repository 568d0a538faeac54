// The row window: controls, the session controller's seams, the status bar, closing.
#include "session/RowWindow.h"

#include "devices/InterfaceFactory.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "session/ConnectDialog.h"
#include "session/GoalRuler.h"
#include "session/NewSessionDialog.h"
#include "session/ResultsDialog.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/MessageWindow.h"
#include "shell/StatusPanels.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"
#include "widgets/ValueArea.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

constexpr int kStatusBarHeight = 30;
constexpr int kPageBorder = 4;
constexpr int kUpdateAreasMs = 1000;
constexpr std::array<int, 6> kPanelWidths{90, 50, 30, 30, 100, 100};
constexpr std::uint32_t kRestColor = 0x0000FF;  // COLORREF red
constexpr std::uint32_t kWorkColor = 0x008000;  // green
constexpr std::uint8_t kLimitIntervals = 4;

}  // namespace

// ---------------------------------------------------------------- creation

TfrmRow::TfrmRow(TMDIMain* owner, TfrmTraining* trainingWindow)
    : TMDIChild(owner), FTrainingWindow(trainingWindow) {
    setAttribute(Qt::WA_DeleteOnClose, false);  // the sub-window owns it
    setWindowTitle(QStringLiteral("Row"));
    SetDesignSize(684, 373 + kStatusBarHeight);
    FWindowColor = palette().color(QPalette::Window);
    Session = new TSessionController(this);
    Session->CreateInterfaceOfKind = [](std::uint8_t kind, QObject* parent) {
        return TInterfaceFactory::Default().Create(kind, parent);
    };
    {
        QPointer<TfrmTraining> window = trainingWindow;
        Session->SetTraining([window]() -> TTraining* {
            return window && !window->Closing ? &window->Training : nullptr;
        });
    }
    SetupValueData();
    Session->SetValues(FValueData.get());
    CreateControls();
    CreateMenus();
    WireSession();
    if (trainingWindow)
        trainingWindow->OnResetSession = [this](TfrmTraining*) { ResetSession(); };
    if (QMdiSubWindow* sub = SubWindow()) {
        sub->installEventFilter(this);
        if (QMdiArea* area = sub->mdiArea()) {
            FLastActive = area->activeSubWindow();
            connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
                // The program losing and regaining the focus (a dialog closing, another program)
                // passes nullptr and then this window again: that is no switch to it.
                if (!w)
                    return;
                const bool switched = w == SubWindow() && FLastActive && FLastActive != w;
                FLastActive = w;
                if (switched)
                    SubWindowActivated();
            });
        }
    }
    // Neither the charts nor the value areas fit a smaller page.
    setMinimumSize(kRowMinPageWidth + 2 * kPageBorder, kRowMinPageHeight + 2 * kPageBorder + kStatusBarHeight);
    UpdateConnectButton();
}

TfrmRow::~TfrmRow() {
    if (FTrainingWindow)
        FTrainingWindow->OnResetSession = nullptr;
    if (TfrmMain* main = MainWindow(); main && main->frmRow == this)
        main->frmRow = nullptr;
    // The areas detach from the data before it goes.
    delete FBottomArea.data();
    delete FRightArea.data();
}

TfrmMain* TfrmRow::MainWindow() const {
    return qobject_cast<TfrmMain*>(Owner());
}

TTraining* TfrmRow::Training() const {
    return FTrainingWindow && !FTrainingWindow->Closing ? &FTrainingWindow->Training : nullptr;
}

void TfrmRow::CreateControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    Panel3 = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(Panel3);
    panelLayout->setContentsMargins(kPageBorder, kPageBorder, kPageBorder, kPageBorder);
    pgcRow = new QStackedWidget(Panel3);
    panelLayout->addWidget(pgcRow);
    outer->addWidget(Panel3, 1);

    tshLog = new QWidget;
    auto* logLayout = new QVBoxLayout(tshLog);
    logLayout->setContentsMargins(0, 0, 0, 0);
    memLog = new QPlainTextEdit(tshLog);
    memLog->setReadOnly(true);
    memLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont logFont(QStringLiteral("Courier New"));
    logFont.setPixelSize(11);
    memLog->setFont(logFont);
    logLayout->addWidget(memLog);

    tshAction = new QWidget;
    auto* actionLayout = new QVBoxLayout(tshAction);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    splBottom = new QSplitter(Qt::Vertical, tshAction);
    splBottom->setChildrenCollapsible(false);
    splRight = new QSplitter(Qt::Horizontal);
    splRight->setChildrenCollapsible(false);
    pnlCharts = new QWidget;
    pnlCharts->setMinimumSize(kRowChartsMin, kRowChartsMin);
    pnlChartLeft = new QWidget(pnlCharts);
    pnlChartRight = new QWidget(pnlCharts);
    pnlChartLeft->setMinimumSize(100, 100);
    pnlChartRight->setMinimumSize(100, 100);
    pnlCharts->installEventFilter(this);
    pnlChartLeft->installEventFilter(this);
    splRight->addWidget(pnlCharts);
    splRight->setStretchFactor(0, 1);
    splBottom->addWidget(splRight);
    splBottom->setStretchFactor(0, 1);
    actionLayout->addWidget(splBottom);

    tshText = new QWidget;
    tshText->setVisible(false);
    pgcRow->addWidget(tshLog);
    pgcRow->addWidget(tshAction);
    pgcRow->addWidget(tshText);
    pgcRow->setCurrentWidget(tshAction);

    StatusBar = new TStatusPanels(this);
    StatusBar->setFixedHeight(kStatusBarHeight);
    for (int i = 0; i < int(kPanelWidths.size()); ++i) {
        TStatusPanel panel;
        panel.Width = kPanelWidths[std::size_t(i)];
        panel.OwnerDraw = i > 0;
        StatusBar->Add(panel);
    }
    StatusBar->OnDrawPanel = [this](TStatusPanels*, QPainter& p, int index, const QRect& r) {
        StatusBarDrawPanel(p, index, r);
    };
    StatusBar->OnResize = [this](TStatusPanels*) {
        StatusBarResize();
        PlaceButton();
    };
    StatusBar->OnClick = [this](TStatusPanels*) {
        // Between the session page and the log.
        pgcRow->setCurrentWidget(pgcRow->currentWidget() == tshAction ? tshLog : tshAction);
    };
    outer->addWidget(StatusBar);

    ConnectButton = new QPushButton(StatusBar);
    QPalette pal = ConnectButton->palette();
    SetEnabledColor(pal, QPalette::ButtonText, Qt::black);
    ConnectButton->setPalette(pal);
    connect(ConnectButton, &QPushButton::clicked, this, [this] {
        try {
            Session->ButtonClick();
        } catch (const std::exception& e) {
            ShowMessageBox(this, QMessageBox::Critical, QString::fromLocal8Bit(e.what()));
        }
        UpdateConnectButton();
    });
    PlaceButton();

    tmrUpdateAreas = new QTimer(this);
    tmrUpdateAreas->setInterval(kUpdateAreasMs);
    connect(tmrUpdateAreas, &QTimer::timeout, this, [this] {
        if (FValueData)
            FValueData->UpdateAreas();
        StatusBar->update();
    });
    tmrUpdateAreas->start();

    const auto layoutAction = [this](const QString& text, bool checked) {
        auto* a = new QAction(text, this);
        a->setCheckable(true);
        a->setChecked(checked);
        connect(a, &QAction::triggered, this, [this, a] {
            // The trigger has toggled it already; ApplyLayout toggles the action it is given.
            a->setChecked(!a->isChecked());
            ApplyLayout(a);
        });
        return a;
    };
    LayoutLeftChart = layoutAction(QStringLiteral("&Left chart"), LeftChart);
    LayoutRightChart = layoutAction(QStringLiteral("&Right chart"), RightChart);
    LayoutRightValues = layoutAction(QStringLiteral("Right &values"), RightValues);
    LayoutBottomValues = layoutAction(QStringLiteral("&Bottom values"), BottomValues);
}

void TfrmRow::SetupValueData() {
    if (FValueData)
        return;
    FValueData = std::make_unique<TValueData>();
    FValueData->SetCanAdd(false);
    FValueData->SetCanOptions(false);
    FValueData->SetCanChange(true);
    FValueData->IniSection = QStringLiteral("Row");
    FValueData->Logo = std::make_unique<TValueLogoImage>(QImage(QStringLiteral(":/pictures/background.png")));
    FValueData->LogoPosition = TLogoPosition::lpProportional;
    FValueData->LogoMode = TLogoMode::lmOpaque;
    for (int i = 0; i < kStrokeParameterCount && i < int(StrokeParameters.size()); ++i)
        if (StrokeParameters[std::size_t(i)].Id >= 0)
            FValueData->DefineValue(i, StrokeParameterCaption(i), StrokeParameterLongTitle(i),
                                    StrokeParameterFormat(i));
}

// ---------------------------------------------------------------- the session's seams

void TfrmRow::WireSession() {
    TSessionView& v = Session->View;
    QPointer<TfrmRow> self(this);
    v.ConnectDialog = [self](TConnectChoice& choice) {
        if (!self)
            return false;
        TfrmMain* main = self->MainWindow();
        TfrmConnect dlg(main ? static_cast<QWidget*>(main) : self.data());
        if (main) {
            dlg.SetColors(main->OptionsFont, main->TextColor, main->BackColor, main->WindowColor);
            dlg.DefaultConnectType = main->DefaultConnectMode;
        }
        if (dlg.exec() != QDialog::Accepted || !self)
            return false;
        choice.Source = dlg.SelectedSource();
        choice.ConnectType = std::uint8_t(dlg.ConnectType());
        choice.InterfaceKind = dlg.InterfaceKind();
        // The demo plays through the flywheel interface, tested or not.
        if (choice.InterfaceKind == kInterfaceNone &&
            choice.Source.compare(QLatin1String(kDemoSource), Qt::CaseInsensitive) == 0)
            choice.InterfaceKind = kInterfaceKV;
        return true;
    };
    v.ShowError = [self](const QString& text) {
        ShowMessageBox(self, QMessageBox::Critical, text);
    };
    v.ShowResults = [](TTraining& training) { ShowResults(training); };
    v.ShowMessageWindow = [](const QString& text) { ShowMessageWindow(text); };
    v.CloseMessageWindow = [] { CloseMessageWindow(); };
    v.MessageWindowVisible = [] { return MessageWindowVisible(); };
    v.Log = [self](const QString& line) {
        if (self)
            self->memLog->appendPlainText(line);
    };
    v.SetStatusPanel = [self](int panel, const QString& text) {
        if (self)
            self->SetPanel(panel, text);
    };
    v.SetWarmingUpPanel = [self](bool on) {
        if (!self)
            return;
        self->FWarmingUpPanel = on;
        self->StatusBar->update();
    };
    v.UpdateButton = [self] {
        if (self)
            self->UpdateConnectButton();
    };
    v.FocusButton = [self] {
        if (self)
            self->FocusConnectButton();
    };
    v.SessionReset = [self] {
        if (!self)
            return;
        self->SetupLeftChart();
        self->SetupRightChart();
        self->StatusBar->update();
    };
    v.LiveForce = [self](int puls, double length, double force) {
        if (self)
            self->LiveForce(puls, length, force);
    };
    v.DriveStarted = [self] {
        if (self)
            self->DriveStarted();
    };
    v.RecoveryStarted = [self] {
        if (self)
            self->RecoveryStarted();
    };
    v.CurveDelivered = [self] {
        if (self)
            self->CurveDelivered();
    };
    v.StrokeRecorded = [self](const TStrokeOutcome& outcome) {
        if (self)
            self->StrokeRecorded(outcome);
    };
    v.SaveLayout = [self] {
        if (self)
            self->SaveLayout(GetUserIniFileName(true));
    };
    v.RefreshTraining = [self] {
        if (!self)
            return;
        if (self->FTrainingWindow)
            self->FTrainingWindow->RefreshTraining();
        // The session's training changed as a whole (reset, interval, end): so do its views.
        if (TfrmMain* main = self->MainWindow())
            main->RefreshViews();
    };
    v.RefreshStrokeData = [self] {
        if (self && self->FTrainingWindow)
            self->FTrainingWindow->StrokeStored();
    };
    v.RefreshForceCurves = [self] {
        if (self && self->FTrainingWindow)
            self->FTrainingWindow->RefreshForceCurves();
    };
    v.RefreshHeader = [self] {
        if (self && self->FTrainingWindow)
            self->FTrainingWindow->RefreshHeader();
    };
    v.TrainingsChanged = [self] {
        if (self && self->MainWindow())
            self->MainWindow()->TrainingsChanged(true);
    };
    v.AddRowingTime = [self](double days) {
        if (self && self->MainWindow())
            self->MainWindow()->RowingTime += days;
    };
    v.AddRowingSession = [self] {
        if (self && self->MainWindow())
            ++self->MainWindow()->RowingSessions;
    };
}

void TfrmRow::ResetSession() {
    Session->RestartSession();
}

void TfrmRow::UpdateConnectButton() {
    if (!ConnectButton)
        return;
    ConnectButton->setText(Session->ButtonCaption());
    ConnectButton->setEnabled(Session->ButtonEnabled());
}

void TfrmRow::FocusConnectButton() {
    // The button is this window's active control; while another window is in front it stays so
    // until this window is activated again.
    if (ConnectButton && ConnectButton->isEnabled() && ConnectButton->isVisible() && IsActiveChild())
        ConnectButton->setFocus();
}

void TfrmRow::SetPanel(int panel, const QString& text) {
    if (panel <= 0 || panel >= StatusBar->Count())
        return;
    if (StatusBar->Panel(panel).Text == text)
        return;
    StatusBar->SetPanelText(panel, text);
}

// ---------------------------------------------------------------- status bar

void TfrmRow::PlaceButton() {
    ConnectButton->setGeometry(0, 2, StatusBar->Panel(rpButton).Width, StatusBar->height() - 2);
}

void TfrmRow::StatusBarResize() {
    int rest = StatusBar->width();
    for (int i : {0, 1, 2, 3, 5})
        rest -= StatusBar->Panel(i).Width;
    StatusBar->Panel(rpGoal).Width = std::max(rest, 0);
}

void TfrmRow::StatusBarDrawPanel(QPainter& p, int panel, const QRect& rect) {
    const TTraining* t = Training();
    if (!t || t->Id == 0)
        return;
    const QColor window = FWindowColor;
    const QColor font = palette().color(QPalette::WindowText);
    const auto centred = [&](const QColor& fill) {
        p.fillRect(rect, fill);
        p.setPen(font);
        p.drawText(rect, Qt::AlignCenter, StatusBar->Panel(panel).Text);
    };
    switch (panel) {
    case rpSource:
    case rpSpinner:
    case rpTime:
        centred(window);
        return;
    case rpPhase: {
        QColor fill = window;
        if (t->Ini.SessionLimit == kLimitIntervals)
            fill = ColorRefToQColor(Session->Recorder().IntervalPhase() == 1 ? kRestColor : kWorkColor);
        centred(fill);
        return;
    }
    case rpGoal:
        break;
    default:
        return;
    }
    if (FWarmingUpPanel) {
        p.fillRect(rect, window);
        p.setPen(font);
        p.drawText(rect.adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Warming up"));
        return;
    }
    const int target = GetTrainingTarget(t->Ini);
    const int n = Session->Recorder().StrokeCount();
    double v = 0;
    if (n >= 1 && n < int(t->StrokeData.size()))
        v = GetStrokeValueByTrainingType(t->StrokeData[std::size_t(n)], t->Ini);
    const TGoalRuler r = GoalRulerGeometry(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1, target, v,
                                           Session->Recorder().Finished());
    p.fillRect(rect, window);
    if (r.Empty)
        return;
    QPen pen(font);
    p.setFont(StatusBar->font());
    for (int k = 0; k < r.Ticks; ++k) {
        const int x = r.TickX[std::size_t(k)];
        pen.setWidth(2);
        p.setPen(pen);
        p.drawLine(x, r.TickTop, x, r.Baseline);
        if (k + 1 < r.Ticks) {
            const int next = r.TickX[std::size_t(k + 1)];
            pen.setWidth(1);
            p.setPen(pen);
            p.drawLine(x, r.Baseline, next, r.Baseline);
        }
    }
    const QFontMetrics metrics(p.font());
    for (const TGoalRulerLabel& label : r.Labels) {
        const int w = metrics.horizontalAdvance(label.Text);
        p.drawText(label.X - w / 2, r.LabelTop + metrics.ascent(), label.Text);
    }
    const QRect marker(QPoint(r.Marker.left(), r.Marker.top()), QPoint(r.Marker.right() - 1, r.Marker.bottom() - 1));
    if (marker.width() > 0 && marker.height() > 0)
        p.fillRect(marker, ColorRefToQColor(std::uint32_t(t->Header.Color)));
}

// ---------------------------------------------------------------- show, activation, resize

void TfrmRow::showEvent(QShowEvent* event) {
    TMDIChild::showEvent(event);
    RefreshTraining();
    ApplyPendingSizes();
    FocusConnectButton();
}

void TfrmRow::resizeEvent(QResizeEvent* event) {
    TMDIChild::resizeEvent(event);
    PlaceButton();
    if (FValueData)
        FValueData->UpdateAreas();
    FocusConnectButton();
}

void TfrmRow::SubWindowActivated() {
    // Only a change to this window (not any activation of the program) cancels a connect wait.
    CloseMessageWindow();
    if (FValueData)
        FValueData->UpdateAreas();
    FocusConnectButton();
}

bool TfrmRow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && (watched == pnlCharts || watched == pnlChartLeft)) {
        LayoutCharts();
        if (watched == pnlCharts)
            ApplyPendingSizes();
    }
    if (watched == SubWindow() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && MessageWindowVisible())
        CloseMessageWindow();  // Esc cancels a wait
    return TMDIChild::eventFilter(watched, event);
}

// ---------------------------------------------------------------- training

void TfrmRow::RefreshTraining() {
    const TTraining* t = Training();
    if (!t || t->Id == 0)
        return;
    setWindowTitle(QStringLiteral("Row ") + Cp1252ToQString(t->Header.Title));
    FNewColor = std::uint32_t(t->Header.Color);
    FOldColor = InvertColor(FNewColor);
    if (FLeftChart) {
        ApplyLiveCurveLook();
        FLeftChart->replot(QCustomPlot::rpQueuedReplot);
    }
    if (TInterface* iface = Session->CurrentInterface()) {
        iface->SetBoatType(TKeloBoatType(std::clamp(t->Ini.Boat, 0, int(kvb8cd))));
        iface->SetCog(t->Ini.Sprocket + 10);
        iface->SetWeight(double(t->Ini.Weight));
    } else {
        Session->UpdateTargets();
    }
    StatusBar->update();
}

void TfrmRow::CloseIfTraining(int id) {
    const TTraining* t = Training();
    if (!t || t->Id == id)
        Close();
}

// ---------------------------------------------------------------- closing

bool TfrmRow::CloseQuery() {
    TfrmMain* main = MainWindow();
    if (FClosingGuard || (main && main->frmRow != this))
        return true;
    const bool exiting = !main || main->Exiting;
    // The training's close question comes while the session still rows: Cancel changes nothing.
    if (FTrainingWindow && !exiting && !FTrainingWindow->AgreeToClose())
        return false;
    FClosingGuard = true;
    // The session's results wait for the training's close, whose automatic save may ask.
    Session->HoldResults();
    Session->CloseSession(false);  // an unattended end has closed it quietly before
    SaveLayout(GetUserIniFileName(true));
    if (main)
        main->frmRow = nullptr;
    if (FTrainingWindow && !exiting)
        main->CloseTraining(FTrainingWindow->TrainingId);
    // Shown only for a training still open (its automatic save failed and the question then
    // was answered Cancel).
    Session->ReleaseResults(!exiting);
    FClosingGuard = false;
    return true;
}

void TfrmRow::closeEvent(QCloseEvent* event) {
    TMDIChild::closeEvent(event);
    if (!event->isAccepted())
        return;
    tmrUpdateAreas->stop();
}

void TfrmRow::EndSessionUnattended() {
    Session->CloseSession(true);
}

// ---------------------------------------------------------------- the program's row window

void InstallRowWindow(TfrmMain& main, bool startDemo, int disconnectAt) {
    QPointer<TfrmMain> owner(&main);
    main.RunNewSessionDialog = [](const QString& userFile, TTraining& training) {
        QPointer<TfrmNewRow> newRow = &NewRowDialog();
        if (!userFile.isEmpty())
            newRow->LoadUserFile(userFile);
        if (newRow->exec() != QDialog::Accepted || !newRow)
            return false;
        training = newRow->Training;
        return true;
    };
    // Ended without anybody there: a session in progress is closed in order and kept.
    main.OnUnattendedClose = [owner] {
        if (auto* row = owner ? qobject_cast<TfrmRow*>(owner->frmRow.data()) : nullptr)
            row->EndSessionUnattended();
    };
    main.CreateRowWindow = [owner, startDemo, disconnectAt](TfrmTraining* window, const QString& iniFile) -> QWidget* {
        if (!owner)
            return nullptr;
        auto* row = new TfrmRow(owner, window);
        owner->frmRow = row;
        row->LoadLayout(iniFile, owner->TrainingViewMode);
        row->SetColors(owner->OptionsFont, owner->TextColor, owner->BackColor, owner->WindowColor);
        row->RefreshTraining();
        QWidget* frame = ChildFrame(row);
        if (frame->windowState() & Qt::WindowMaximized)
            frame->showMaximized();
        else
            frame->show();
        row->FocusConnectButton();
        if (startDemo) {
            // The default rower rows the demo at once; the strokes are traced for whoever watches.
            TSessionView& v = row->Session->View;
            v.ConnectDialog = [](TConnectChoice& choice) {
                choice = TConnectChoice{QLatin1String(kDemoSource), 0, kInterfaceKV};
                return true;
            };
            v.StrokeRecorded = [row, disconnectAt, recorded = v.StrokeRecorded](const TStrokeOutcome& outcome) {
                recorded(outcome);
                const int n = row->Session->Recorder().StrokeCount();
                if (!outcome.Idle && (n == 1 || n % 10 == 0))
                    DebugTrace(QStringLiteral("Row: stroke %1").arg(n));
                if (!outcome.Idle && n == disconnectAt)
                    QTimer::singleShot(0, row->ConnectButton, &QPushButton::click);
            };
            // The rower who presses the button (pause) says Yes to the disconnect question.
            v.AskDisconnect = [] {
                DebugTrace(QStringLiteral("Row: disconnecting"));
                return true;
            };
            QTimer::singleShot(0, row->ConnectButton, &QPushButton::click);
        }
        return row;
    };
    if (startDemo)
        main.RunNewSessionDialog = [](const QString&, TTraining& training) {
            LoadDefaultTraining(training);
            return true;
        };
}
