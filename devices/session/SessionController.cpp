#include "devices/session/SessionController.h"

#include "devices/FlywheelInterface.h"
#include "devices/InterfaceFactory.h"
#include "devices/TrainingModuleInterface.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int kStatusPanels = 5;

bool IsRecordingKind(std::uint8_t kind) {  // the flywheel family: pulses and the stroke engine
    return kind == 1 || kind == 2 || kind == 5 || kind == 6;
}

QString KindName(std::uint8_t kind) {
    return TableText(InterfaceTypeNames, kind);
}

// Settings that ask for an interval programme that cannot run.
bool ProgrammeWithoutWork(const TTraining* t) {
    return t && t->Ini.SessionLimit == 4 && !IntervalProgrammeRuns(t->Ini);
}

const QString kNoWorkPeriod = QStringLiteral(
    "The interval programme has no work period.\nPlease set a work period above 0 in the training window.");

QString ElapsedText(std::int64_t ms) {
    const std::int64_t s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

// The message boxes break lines at '\n'.
QString ProtocolErrorText(TKeloProtocolSet set, bool fromConnectDialog) {
    QStringList names;
    for (int p = 0; p < kKeloProtocolCount; ++p)
        if (set.Contains(TKeloProtocol(p)))
            names << TableText(ProtocolNames, p);
    QString text = QStringLiteral("Incorrect interface protocol.\n\n%1 expected data using the following "
                                  "protocol : %2.\n\n")
                       .arg(GetFileDescription(), names.join(QStringLiteral(" or ")));
    if (!fromConnectDialog)
        text += QStringLiteral("Please use the [Test] button in the \"Connect\" dialogue first.\n\n");
    text += QStringLiteral("For support questions or information on upgrade options, please \n"
                           "contact your local agent/reseller, visit %1 \nor send an e-mail to %2.")
                .arg(GetVersionInfoValue(QStringLiteral("Website")),
                     GetVersionInfoValue(QStringLiteral("Email")));
    return text;
}

// ---------------------------------------------------------------- life

TSessionController::TSessionController(QObject* owner) : QObject(owner) {
    CreateInterfaceOfKind = [](std::uint8_t kind, QObject* parent) {
        return TInterfaceFactory::Default().Create(kind, parent);
    };
    FTimer = new QTimer(this);
    FTimer->setInterval(kConnectTickMs);
    QObject::connect(FTimer, &QTimer::timeout, this, [this] { Tick(); });
}

TSessionController::~TSessionController() {
    // The interface is our child: it goes with us, quietly (a destructor fires no events).
    FInterface.clear();
}

void TSessionController::SetTraining(TTrainingAccess access) {
    FRecorder.Training = std::move(access);
}

TTraining* TSessionController::Training() const {
    return FRecorder.Training ? FRecorder.Training() : nullptr;
}

std::int64_t TSessionController::ElapsedMs() const {
    return FRestartMs > 0 ? FClock->NowMs() - FRestartMs : 0;
}

// ---------------------------------------------------------------- small pieces of the view

void TSessionController::EnableButton(bool enabled) {
    FButtonEnabled = enabled;
    if (View.UpdateButton)
        View.UpdateButton();
}

void TSessionController::Focus() {
    if (View.FocusButton)
        View.FocusButton();
}

void TSessionController::Panel(int panel, const QString& text) {
    if (View.SetStatusPanel)
        View.SetStatusPanel(panel, text);
}

void TSessionController::Message(const QString& text) {
    if (View.ShowMessageWindow)
        View.ShowMessageWindow(text);
}

void TSessionController::CloseMessage() {
    if (View.CloseMessageWindow)
        View.CloseMessageWindow();
}

void TSessionController::SetTrainingState(std::uint8_t state) {
    if (TTraining* t = Training())
        t->State = state;
}

void TSessionController::QueueError(const QString& text) {
    if (FQuiet)
        return;
    QPointer<TSessionController> self(this);
    QTimer::singleShot(0, this, [self, text] {
        if (self && self->View.ShowError)
            self->View.ShowError(text);
    });
}

void TSessionController::QueueResults() {
    if (FQuiet)
        return;
    if (FHoldResults) {
        FResultsHeld = true;
        return;
    }
    QPointer<TSessionController> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self || !self->View.ShowResults)
            return;
        if (self->FHoldResults) {
            self->FResultsHeld = true;
            return;
        }
        if (TTraining* t = self->Training())  // its window may have gone meanwhile
            self->View.ShowResults(*t);
    });
}

void TSessionController::ReleaseResults(bool show) {
    // Results queued before the hold and not shown yet are held too, when their time comes.
    const bool held = FResultsHeld;
    FHoldResults = FResultsHeld = false;
    if (held && show && View.ShowResults)
        if (TTraining* t = Training())
            View.ShowResults(*t);
}

void TSessionController::StartTicking() {
    if (!FTimer->isActive())
        FTimer->start();
}

void TSessionController::StopTicking() {
    FTimer->stop();
}

void TSessionController::AddRowingTime() {
    const std::int64_t now = FClock->NowMs();
    if (FStartMs > 0 && now > FStartMs && View.AddRowingTime)
        View.AddRowingTime(double(now - FStartMs) / kMsPerDay);
    FStartMs = 0;  // counted once
}

// ---------------------------------------------------------------- the button

TButtonAction TSessionController::ButtonAction() const {
    if (FClosingGuard || FPhase == TSessionPhase::Connecting || FPhase == TSessionPhase::Countdown)
        return TButtonAction::Ignore;
    if (!FInterface)
        return TButtonAction::Connect;
    switch (FInterface->State()) {
    case kvsClosing:
        return TButtonAction::Ignore;  // the close finishes by itself
    case kvsOpening:
    case kvsOpened:
        return FWarmingUp ? TButtonAction::StartAfterWarmUp : TButtonAction::PauseAndAsk;
    case kvsPaused:
        return TButtonAction::Continue;
    default:
        return TButtonAction::Reconnect;
    }
}

QString TSessionController::ButtonCaption() const {
    const TTraining* t = Training();
    const std::uint8_t state = t ? t->State : 0;
    if (state == 2)
        return FWarmingUp ? QStringLiteral("&Start") : QStringLiteral("&Pause");
    if (state == 3)
        return QStringLiteral("&Continue");
    return QStringLiteral("&Connect");
}

void TSessionController::ButtonClick() {
    Focus();
    QPointer<TSessionController> self(this);
    switch (ButtonAction()) {
    case TButtonAction::Ignore:
        return;
    case TButtonAction::Connect:
        Connect();
        return;
    case TButtonAction::StartAfterWarmUp:
        EndWarmUp();
        return;
    case TButtonAction::Continue:
        FInterface->Continue();
        if (self && FInterface && FEngineResetDue && FInterface->State() == kvsOpened) {
            FEngineResetDue = false;
            FInterface->Reset();
        }
        return;
    case TButtonAction::Reconnect:
        FreeInterface();
        Connect();
        return;
    case TButtonAction::PauseAndAsk: {
        FInterface->Pause();
        if (!self || !FInterface)
            return;
        const bool yes = View.AskDisconnect
                             ? View.AskDisconnect()
                             : PromptUser(QStringLiteral("The system is paused. Do you want to disconnect?"),
                                          TMsgKind::Confirmation, TMsgButtons::YesNo) == TMsgResult::Yes;
        if (!self || !yes || !FInterface)
            return;  // No: the session stays paused, the next press continues
        FInterface->Close();
        if (self)
            FreeInterface();
        return;
    }
    }
}

// ---------------------------------------------------------------- the connect road

void TSessionController::ResetSession() {
    FRecorder.ResetSession();
    FPacketCount = 0;
    FRecordedPackets = 0;
    FProtocolErrors = 0;
    // The time rowed so far is counted now, so that it is counted once.
    if (FPhase == TSessionPhase::Running && FStartMs > 0) {
        AddRowingTime();
        FStartMs = FClock->NowMs();
    } else {
        FStartMs = 0;
    }
    if (View.RefreshTraining)
        View.RefreshTraining();
    if (View.TrainingsChanged)
        View.TrainingsChanged();
    if (View.SessionReset)
        View.SessionReset();
}

void TSessionController::Connect() {
    TTraining* t = Training();
    if (!t)
        return;
    if (ProgrammeWithoutWork(t)) {
        QueueError(kNoWorkPeriod);
        Focus();
        return;
    }
    // Asked every time: ConfirmResetTraining passes an empty training without a question, and a
    // recorded session is never wiped unasked.
    bool wasReset = false;
    const bool go = View.ConfirmReset ? View.ConfirmReset(*t) : ConfirmResetTraining(*t, 1, wasReset);
    if (!go)
        return;
    QPointer<TSessionController> self(this);
    ResetSession();

    bool strict = true, rawHeart = false;
    {
        TIniFile ini(SettingsFileName.isEmpty() ? GetUserIniFileName(false) : SettingsFileName);
        strict = ini.ReadBool(QStringLiteral("Connect"), QStringLiteral("StrictProtocol"), true);
        rawHeart = ini.ReadBool(QStringLiteral("Connect"), QStringLiteral("RawHeartRate"), false);
    }

    TConnectChoice choice;
    const bool chosen = View.ConnectDialog && View.ConnectDialog(choice);
    if (!self)
        return;
    if (!chosen) {
        CloseMessage();
        return;
    }
    const std::uint8_t openKind =
        choice.Source.compare(QStringLiteral("DEMO"), Qt::CaseInsensitive) == 0 ? kSourceDemo : kSourceSerial;
    EnableButton(false);
    FWarmingUp = choice.ConnectType == 2;
    FRecorder.WarmingUp = FWarmingUp;
    FConnectType = choice.ConnectType;
    FKind = choice.InterfaceKind;
    // The kind is checked before its name is looked up.
    if (FKind == 0 || FKind > 6) {
        NoSource();
        return;
    }
    Message(QStringLiteral("Connecting to %1 ...").arg(KindName(FKind)));
    TInterface* iface = CreateInterfaceOfKind ? CreateInterfaceOfKind(FKind, this) : nullptr;
    if (!iface) {
        NoSource();
        return;
    }
    t = Training();
    if (!t) {
        delete iface;
        NoSource();
        return;
    }
    FInterface = iface;
    iface->SetClock(FClock);
    Configure(iface, FKind, t->Ini, strict, rawHeart);
    WireSessionEvents(iface);

    FDataReceived = false;
    FPhase = TSessionPhase::Connecting;
    iface->Open(openKind, choice.Source);
    if (!self || FPhase != TSessionPhase::Connecting)
        return;  // it failed and closed inside Open
    if (FKind != 3 && !FDataReceived)
        Message(QStringLiteral("Waiting for interface ... (Press [Esc] to cancel)"));
    StartTicking();
}

void TSessionController::NoSource() {
    CloseMessage();
    FPhase = TSessionPhase::Idle;
    QueueError(QStringLiteral("No source selected or veryfied.\nPlease use the [Test] button in the "
                              "\"Connect\" dialogue."));
    EnableButton(true);
    Focus();
}

void TSessionController::Configure(TInterface* iface, std::uint8_t kind, const TStgIni& ini, bool strict,
                                   bool rawHeart) {
    const bool model = kind == 1 || kind == 2 || kind == 6;
    if (model) {
        iface->SetBoatType(TKeloBoatType(std::clamp(ini.Boat, 0, int(kvb8cd))));
        iface->SetCog(ini.Sprocket + 10);
        iface->SetWeight(double(ini.Weight));
    }
    if (auto* kv = dynamic_cast<TKVInterface*>(iface); kv && model) {
        kv->SetInertia(Tuning.Inertia / 1000000.0 + 0.1);
        kv->SetMagnets(ini.Ergometer == 1 ? 3 : 4);
        kv->SetStrokeTrigger(Tuning.StrokeTrigger);
        kv->SetThresHold(Tuning.ThresHold);
        if (Tuning.Tension != 0)
            kv->SetTension(double(Tuning.Tension));
        if (kind != 6) {
            kv->SetDemoFast(Tuning.DemoFast);
            kv->SetStrictProtocol(strict);
            kv->SetRawHeartRate(rawHeart);
        }
    }
    TKeloProtocolSet set = iface->ProtocolSet();
    if (kind == 1) {
        set.Include(kvpDOS);
        set.Include(kvpKvw);
    } else if (kind == 2) {
        set = TKeloProtocolSet{kvpDOS, kvpKvw, kvpKV3W};  // the K3 speaks all three
    } else if (kind == 4) {
        set.Include(kvpZtIV);
    }
    iface->SetProtocolSet(set);
}

void TSessionController::WireSessionEvents(TInterface* iface) {
    // Every handler first checks that the event comes from the session's interface and that we
    // still exist: a freed interface may still deliver until it is deleted.
    QPointer<TSessionController> self(this);
    const auto ours = [self](TInterface* sender) { return self && sender && sender == self->FInterface; };

    iface->OnStateChange = [this, ours](TInterface* s, TKeloState, TKeloState to) {
        if (ours(s) && View.Log)
            View.Log(QStringLiteral("%1 : %2 %3 @ %4")
                         .arg(NowTimeStr(), TableText(StateNames, to), KindName(FKind), s->SourceName()));
    };
    iface->OnOpening = [this, ours](TInterface* s) {
        if (!ours(s))
            return;
        Panel(5, QStringLiteral("Opening ..."));
        Message(QStringLiteral("Searching for %1 on %2 (press [Esc] to cancel) ...")
                    .arg(KindName(FKind), s->OpenName()));
    };
    iface->OnOpened = [this, ours](TInterface* s) {
        if (ours(s))
            Opened();
    };
    iface->OnPaused = [this, ours](TInterface* s) {
        if (!ours(s))
            return;
        SetTrainingState(3);
        EnableButton(true);
        Focus();
    };
    iface->OnContinued = [this, ours](TInterface* s) {
        if (!ours(s))
            return;
        Panel(5, QString());
        FRestartMs = FClock->NowMs();
        SetTrainingState(2);
        EnableButton(true);
        Focus();
    };
    iface->OnClosing = [this, ours](TInterface* s) {
        if (!ours(s))
            return;
        FRecorder.Closing();
        if (View.RefreshTraining)
            View.RefreshTraining();
    };
    iface->OnClosed = [this, ours](TInterface* s) {
        if (ours(s))
            Closed();
    };
    iface->OnError = [this, ours](TInterface* s, const QString& error) {
        if (!ours(s))
            return;
        CloseMessage();
        if (View.Log)
            View.Log(QStringLiteral("%1 : * Error - %2 *").arg(NowTimeStr(), error));
        Panel(5, QString());
        QueueError(error);
        EnableButton(FPhase != TSessionPhase::Connecting && FPhase != TSessionPhase::Countdown);
        Focus();
    };
    iface->OnProtocolError = [this, ours](TInterface* s) {
        if (ours(s))
            ProtocolError();
    };
    if (auto* kv = dynamic_cast<TKVInterface*>(iface); kv && IsRecordingKind(FKind)) {
        kv->OnRawData = [this, ours](TInterface* s, double wheel, int heartRaw, int heartCorrected) {
            if (ours(s))
                RawData(s, wheel, heartRaw, heartCorrected);
        };
    }
    if (auto* vs = dynamic_cast<TVSInterface*>(iface)) {
        // Esc in the message window cancels the module's search and workout waits.
        vs->OnWaiting = [this, ours](TInterface* s, bool& cancel) {
            if (ours(s) && View.MessageWindowVisible && !View.MessageWindowVisible())
                cancel = true;
        };
    }
    if (FKind == 3) {
        iface->OnSearchNotFound = [this, ours](TInterface* s) {
            if (!ours(s))
                return;
            CloseMessage();
            QueueError(QStringLiteral("No response from the VSU"));
            EnableButton(FButtonEnabled);
            Focus();
        };
        iface->OnStartingWorkout = [this, ours](TInterface* s, const TStgIni&) {
            if (ours(s))
                Message(QStringLiteral("Waiting for data : Start rowing (or press [Esc] to cancel)"));
        };
        iface->OnWorkoutStarted = [this, ours](TInterface* s) {
            if (!ours(s))
                return;
            FDataReceived = true;
            // The module's session is open once its workout started, whatever its state says.
            if (FStartMs == 0)
                Opened();
        };
    }
}

void TSessionController::WireRecordingEvents(TInterface* iface) {
    QPointer<TSessionController> self(this);
    const auto ours = [self](TInterface* sender) { return self && sender && sender == self->FInterface; };
    const auto live = [this, ours](TInterface* s) { return ours(s) && !FRecorder.Finished(); };
    if (FKind == 3) {
        iface->OnForceCurve = [this, live](TInterface* s, const TStgForceCurve& curve) {
            if (!live(s))
                return;
            ++FPacketCount;
            if (FRecordedPackets++ == 0)
                CloseMessage();
            FRecorder.ForceCurve(curve);
            if (View.CurveDelivered)
                View.CurveDelivered();
        };
    }
    if (FKind != 4) {
        iface->OnStrokeData = [this, ours](TInterface* s, const TStgStrokeData& data) {
            if (ours(s))
                StrokeData(data);
        };
    }
    auto* kv = dynamic_cast<TKVInterface*>(iface);
    if (!kv || !IsRecordingKind(FKind))
        return;
    kv->OnForceData = [this, live](TInterface* s, int puls, double length, double force, double) {
        if (!live(s))
            return;
        const double kept = FRecorder.ForceData(puls, length, force);
        if (View.LiveForce)
            View.LiveForce(puls, length, kept);
    };
    kv->OnStartingStroke = [this, live](TInterface* s) {
        if (!live(s))
            return;
        FRecorder.StartingStroke();
        Panel(3, QStringLiteral("D"));
        if (View.DriveStarted)
            View.DriveStarted();
    };
    kv->OnStartingRecover = [this, live](TInterface* s) {
        if (!live(s))
            return;
        FRecorder.StartingRecover();
        Panel(3, QStringLiteral("R"));
        if (View.RecoveryStarted)
            View.RecoveryStarted();
        // Only the session's own training window: a broadcast per stroke would make every
        // window refill.
        if (View.RefreshForceCurves)
            View.RefreshForceCurves();
    };
    kv->SetDoCalculate(true);
}

void TSessionController::Tick() {
    switch (FPhase) {
    case TSessionPhase::Connecting:
        if (FDataReceived)
            AfterData();
        else if (View.MessageWindowVisible && !View.MessageWindowVisible())
            FailConnect();  // Esc
        return;
    case TSessionPhase::Countdown:
        if (FClock->NowMs() < FDueMs)
            return;
        if (--FCountdown <= 0) {
            StartRecording();
            return;
        }
        FDueMs += kCountdownStepMs;
        Message(FCountdown == 1 ? QStringLiteral("Start in 1 second")
                                : QStringLiteral("Start in %1 seconds").arg(FCountdown));
        return;
    default:
        StopTicking();
        return;
    }
}

void TSessionController::AfterData() {
    if (FConnectType == 1) {
        FPhase = TSessionPhase::Countdown;
        FCountdown = kStartCountdown;
        FDueMs = FClock->NowMs() + kCountdownStepMs;
        Message(QStringLiteral("Start in %1 seconds").arg(FCountdown));
        return;
    }
    if (FConnectType == 2 && View.SetWarmingUpPanel)
        View.SetWarmingUpPanel(true);
    StartRecording();
}

void TSessionController::StartRecording() {
    StopTicking();
    if (!FInterface) {
        FailConnect();
        return;
    }
    FPhase = TSessionPhase::Running;
    WireRecordingEvents(FInterface);
    Message(QStringLiteral("Waiting for action ... (Press [Esc] to cancel)"));
    if (View.AddRowingSession)
        View.AddRowingSession();
    ApplySessionSetup(true);
    EnableButton(true);
    Focus();
}

void TSessionController::ApplySessionSetup(bool rowContent, bool refresh) {
    TTraining* t = Training();
    if (!t || !FInterface)
        return;
    t->Recorded = 1;
    t->Header.InterfaceType = FKind;
    t->Header.Protocol = FInterface->Protocol();
    t->Header.DeviceId = QStringToCp1252(FInterface->DeviceID()).substr(0, kShortStringMax);
    if (rowContent)
        t->Header.ContentKind = kContentKindRow;
    if (refresh && View.RefreshHeader)
        View.RefreshHeader();
}

void TSessionController::EndWarmUp() {
    FWarmingUp = false;
    FRecorder.WarmingUp = false;
    if (View.SetWarmingUpPanel)
        View.SetWarmingUpPanel(false);
    RestartOnInterface(true);
}

void TSessionController::RestartSession() {
    const TKeloState state = FInterface ? FInterface->State() : kvsClosed;
    if (FPhase == TSessionPhase::Running && (state == kvsOpening || state == kvsOpened || state == kvsPaused))
        RestartOnInterface(false);  // the training window keeps its own content kind
    else
        ResetSession();
}

void TSessionController::RestartOnInterface(bool rowContent) {
    QPointer<TSessionController> self(this);
    // The interface counts strokes and totals from zero again; a paused one when it continues.
    if (FInterface->State() == kvsPaused)
        FEngineResetDue = true;
    else
        FInterface->Reset();
    if (!self)
        return;
    ResetSession();  // counts the rowing time so far
    // The reset emptied the training's session set-up: what follows is recorded from the same
    // interface.
    ApplySessionSetup(rowContent);
    if (!FWarmingUp && ProgrammeWithoutWork(Training()))
        QueueError(kNoWorkPeriod);  // the session goes on without the programme
    FRestartMs = FClock->NowMs();
    EnableButton(true);
}

void TSessionController::FailConnect() {
    if (FPhase != TSessionPhase::Connecting && FPhase != TSessionPhase::Countdown)
        return;
    FPhase = TSessionPhase::Idle;
    StopTicking();
    QPointer<TSessionController> self(this);
    if (FInterface && FInterface->State() != kvsClosed && FInterface->State() != kvsClosing)
        FInterface->Close();
    if (!self)
        return;
    FreeInterface();
    CloseMessage();
    EnableButton(true);
    Focus();
}

void TSessionController::FreeInterface() {
    if (!FInterface)
        return;
    TInterface* iface = FInterface;
    FInterface.clear();  // its events are ignored from now on
    FEngineResetDue = false;
    // Deleted later: this may run inside one of its own events.
    iface->deleteLater();
    FKind = 0;
}

// ---------------------------------------------------------------- session events

void TSessionController::Opened() {
    Panel(1, FInterface ? FInterface->OpenName().left(6) : QString());
    Panel(5, QString());
    FRestartMs = FClock->NowMs();
    SetTrainingState(2);
    if (FStartMs == 0)  // a continued session keeps its start
        FStartMs = FRestartMs;
    // While connecting the button stays disabled until the session starts.
    EnableButton(FPhase == TSessionPhase::Running || FButtonEnabled);
    Focus();
}

void TSessionController::Closed() {
    // The training module closes for a moment while it searches.
    if (FKind == 3 && FPhase == TSessionPhase::Connecting)
        return;
    SetTrainingState(4);
    for (int panel = 1; panel <= kStatusPanels; ++panel)
        Panel(panel, QString());
    // The goal panel is the ruler again: the warm-up's text goes with the session.
    if (FWarmingUp && View.SetWarmingUpPanel)
        View.SetWarmingUpPanel(false);
    AddRowingTime();
    if (View.SaveLayout)
        View.SaveLayout();
    if (FPhase == TSessionPhase::Connecting || FPhase == TSessionPhase::Countdown) {
        FailConnect();
        return;
    }
    if (FPhase != TSessionPhase::Idle)  // Idle: a failed connect closes it
        FPhase = TSessionPhase::Closed;
    EnableButton(true);
    Focus();
    const TTraining* t = Training();
    if (!FRecorder.Finished() && t && t->Workout.Distance > 0)
        QueueResults();
}

void TSessionController::RawData(TInterface* sender, double wheel, int heartRaw, int heartCorrected) {
    if (FRecorder.Finished())
        return;
    // Every packet counts for the protocol-error rule, also before recording begins.
    ++FPacketCount;
    Panel(5, ElapsedText(ElapsedMs()));
    FDataReceived = true;
    // Without a countdown recording starts with the first data, not at the next look of the
    // wait: a fast demo would otherwise play much of its recording unrecorded meanwhile.
    if (FPhase == TSessionPhase::Connecting && FConnectType != 1) {
        QPointer<TSessionController> self(this);
        AfterData();
        if (!self || FRecorder.Finished())
            return;
    }
    auto* kv = static_cast<TKVInterface*>(sender);
    if (!kv->DoCalculate())
        return;
    if (FRecordedPackets++ == 0)
        CloseMessage();
    FRecorder.RawData(wheel, heartRaw, heartCorrected, kv->AllPulsesValid());
    Panel(2, kv->SpinnerText());
}

void TSessionController::StrokeData(const TStgStrokeData& data) {
    if (FRecorder.Finished())
        return;
    const bool noStrokeYet = FRecorder.StrokeCount() == 0;
    const TStrokeOutcome outcome = FRecorder.StrokeData(data);
    if (outcome.Ignored)
        return;
    QPointer<TSessionController> self(this);
    // A reset from the training window leaves an emptied user training behind; rowing on makes
    // it a rowed session again, as a connect does.
    if (noStrokeYet && !outcome.Idle) {
        if (const TTraining* t = Training(); t && t->Header.ContentKind != kContentKindRow)
            ApplySessionSetup(true, false);  // the first stroke refreshes the whole window
        if (!self)
            return;
    }
    if (outcome.Finished && FInterface) {
        // Closing from inside the interface's own event is safe; its closing events run now
        // and keep the goal's totals.
        FInterface->Close();
        if (!self)
            return;
    }
    if (View.StrokeRecorded)
        View.StrokeRecorded(outcome);
    if (!self)
        return;
    // The session's first stroke refreshes the whole training window too: it was emptied by
    // the reset, and its Reset button and totals would wait for the session's end.
    const bool firstStroke = noStrokeYet && !outcome.Idle;
    if (outcome.Finished || outcome.IntervalEnded || firstStroke) {
        if (View.RefreshTraining)
            View.RefreshTraining();
    } else if (!outcome.Idle && View.RefreshStrokeData) {
        View.RefreshStrokeData();
    }
    if (outcome.Finished)
        QueueResults();
    Focus();
}

void TSessionController::ProtocolError() {
    ++FProtocolErrors;
    const bool goOn = FPacketCount == 0 ? FProtocolErrors < kProtocolErrorsAlone
                                        : FProtocolErrors * 10 < FPacketCount;  // below 10 %
    if (goOn || !FInterface)
        return;
    const TKeloProtocolSet set = FInterface->ProtocolSet();
    QPointer<TSessionController> self(this);
    FInterface->Close();
    if (!self)
        return;
    InterfaceBeep();
    QueueError(ProtocolErrorText(set, false));
}

// ---------------------------------------------------------------- closing the window

void TSessionController::CloseSession(bool quiet) {
    if (FClosingGuard)
        return;
    FClosingGuard = true;
    FQuiet = quiet;
    QPointer<TSessionController> self(this);
    StopTicking();
    if (FPhase == TSessionPhase::Connecting || FPhase == TSessionPhase::Countdown)
        CloseMessage();
    if (FInterface) {
        // A paused session is closed too, so that its totals are set.
        if (FInterface->State() != kvsClosed && FInterface->State() != kvsClosing)
            FInterface->Close();
        if (!self)
            return;
        FreeInterface();
    }
    FPhase = TSessionPhase::Idle;
    if (View.SaveLayout)
        View.SaveLayout();
    FClosingGuard = false;
    FQuiet = false;
}
