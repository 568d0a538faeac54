#include "devices/Interface.h"

#include "devices/serial/CommPortList.h"
#include "devices/serial/SerialPort.h"
#include "foundation/core/Prompt.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kTimerPollMs = 10;     // real period at which the timer looks at the clock
constexpr int kCloseAttempts = 10;   // a port that will not close is given up after these
constexpr unsigned kCloseWaitMs = 100;

std::function<void()>& BeepHook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void InterfaceBeep() {
    if (BeepHook())
        BeepHook()();
    else
        Sound(880, 120);
}

void SetInterfaceBeep(std::function<void()> beep) {
    BeepHook() = std::move(beep);
}

QString ComPortErrorText(std::uint32_t Place, std::uint32_t Code, const QString& Msg) {
    QString text = QStringLiteral("ComPort : %1 (Error %2 %3 - %4)")
                       .arg(Msg)
                       .arg(Code)
                       .arg(QString::fromLocal8Bit(std::strerror(int(Code))))
                       .arg(Place);
    // A refused or busy port is nearly always the wrong port or a missing group membership.
    if (Code == EACCES || Code == EPERM || Code == EBUSY)
        text += QStringLiteral("\nPlease check the port and interface cable.");
    return text;
}

// ---------------------------------------------------------------- life

TInterface::TInterface(TCreateKey, QObject* owner) : QObject(owner) {
    FPort = std::make_unique<TSerialPortNG>();
    FPort->SetBaudRate(9600);
    FPort->SetCommPort(QStringLiteral("COM1"));
    FPort->SetStopBits(0);
    FPort->SetDataBits(8);
    FPort->SetParityType(0);
    FPort->SetErrorNoise(0);
    FPort->SetClusterSize(4);
    // The lambdas dispatch at event time, when the object is complete.
    FPort->OnRxClusterEvent = [this](TSerialPortNG* sender) { ComPortRxCluster(sender); };
    FPort->OnProcessError = [this](TSerialPortNG*, std::uint32_t place, std::uint32_t code,
                                   const QString& msg, std::uint8_t) {
        ComPortError(place, code, msg);
    };
    FPort->OnTxQueueEmptyEvent = [this](TSerialPortNG*) { LogPortEvent("TxQueueEmptyEvent"); };
    FPort->OnWriteDone = [this](TSerialPortNG*) { LogPortEvent("WriteDone"); };
    FPort->OnBreakEvent = [this](TSerialPortNG*) { LogPortEvent("BreakEvent"); };
    FPort->OnCTSEvent = [this](TSerialPortNG*) { LogPortEvent("CTSEvent"); };
    FPort->OnDSREvent = [this](TSerialPortNG*) { LogPortEvent("DSREvent"); };
    FPort->OnLineErrorEvent = [this](TSerialPortNG*) { LogPortEvent("LineErrorEvent"); };
    FPort->OnRingEvent = [this](TSerialPortNG*) { LogPortEvent("RingEvent"); };
    FPort->OnRIEvent = [this](TSerialPortNG*) { LogPortEvent("RIEvent"); };
    FPort->OnRLSDEvent = [this](TSerialPortNG*) { LogPortEvent("RLSDEvent"); };
    FPort->OnRxEventCharEvent = [this](TSerialPortNG*) { LogPortEvent("RxEventCharEvent"); };
    FPort->OnRxCharEvent = [this](TSerialPortNG*) { LogOldestPacket("RxChar"); };
    FPort->OnCommEvent = [](TSerialPortNG*) {};
    FPort->OnCommStat = [](TSerialPortNG*) {};
}

TInterface::~TInterface() {
    // Owners close first; what is left is released without events, waits or virtual calls.
    if (FState != kvsClosed)
        DebugTrace(QStringLiteral("TInterface destroyed while %1").arg(TableText(StateNames, FState)));
    delete FTimer;
    FTimer = nullptr;
    if (FPort) {
        FPort->OnRxClusterEvent = nullptr;
        FPort->OnProcessError = nullptr;
        FPort->SetActive(false);
        FPort.reset();
    }
}

// ---------------------------------------------------------------- operations

void TInterface::Open(std::uint8_t Kind, const QString& Name) {
    if (FState >= kvsOpening)
        return;
    try {
        FErrorShown = 0;
        FReceiveBuffer.clear();
        FReceivedBytes = 0;
        FSourceKind = Kind;
        FOpenName = Name;
        Prepare();
        const QPointer<TInterface> self(this);
        SetState(kvsOpening);
        // A handler of the opening may close or destroy the interface: nothing is opened then.
        if (!self || FState != kvsOpening)
            return;
        if (Kind == kSourceSerial)
            ComPortOpen();
        else if (Kind == kSourceDemo)
            DemoOpen();
        else
            throw EKeloError(std::string("No device selected"));
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    }
}

void TInterface::OpenAndWait(std::uint8_t Kind, const QString& Name) {
    QPointer<TInterface> self(this);
    FWaitForData = 1;
    Open(Kind, Name);
    if (self)
        FWaitForData = 0;
}

QString TInterface::SourceName() const {
    if (FSourceKind == kSourceSerial)
        return FOpenName;
    if (FSourceKind == kSourceDemo)
        return QStringLiteral("Demodata");
    return {};
}

bool TInterface::IsConnected() const {
    return FSourceKind == kSourceSerial && FPort && FPort->Active();
}

void TInterface::ComPortUpdateList() {
    FPortList.clear();
    GetCommPortList(FPortList);
    FPortList.sort();
}

// ---------------------------------------------------------------- state

void TInterface::SetState(TKeloState NewState) {
    if (NewState == FState)
        return;
    const TKeloState old = FState;
    DebugTrace(QStringLiteral("State %1 %2 -> %3 (%4)")
                   .arg(FOpenName, TableText(StateNames, old), TableText(StateNames, NewState),
                        TableText(InterfaceTypeNames, FInterfaceType)));
    FState = NewState;
    if (OnStateChange) {
        // The handler may destroy the interface: then there is no state event to fire.
        const QPointer<TInterface> self(this);
        OnStateChange(this, old, NewState);
        if (!self)
            return;
    }
    FireStateEvent(NewState);
}

void TInterface::FireStateEvent(TKeloState state) {
    if (state == kvsStartingWorkout) {
        if (OnStartingWorkout)
            OnStartingWorkout(this, FIni);
        return;
    }
    if (state == kvsWorkoutFinished) {
        if (OnWorkoutFinished)
            OnWorkoutFinished(this, FWorkout);
        return;
    }
    static constexpr TNotifyEvent TInterface::*events[kKeloStateCount] = {
        &TInterface::OnClosing,          &TInterface::OnClosed,
        &TInterface::OnOpening,          &TInterface::OnOpened,
        &TInterface::OnSearching,        &TInterface::OnSearchFound,
        &TInterface::OnSearchNotFound,   &TInterface::OnSearchCanceled,
        &TInterface::OnVerifying,        &TInterface::OnVerified,
        &TInterface::OnAccepting,        &TInterface::OnAccepted,
        nullptr,                         &TInterface::OnWorkoutStarted,
        &TInterface::OnCancelingWorkout, &TInterface::OnWorkoutCanceled,
        &TInterface::OnFinishingWorkout, nullptr,
        &TInterface::OnStartingStroke,   &TInterface::OnStrokeFinished,
        &TInterface::OnStartingRecover,  &TInterface::OnRecoverFinished,
        &TInterface::OnPausing,          &TInterface::OnPaused,
        &TInterface::OnContinueing,      &TInterface::OnContinued,
    };
    if (state < kKeloStateCount && events[state] && this->*events[state])
        (this->*events[state])(this);
}

// ---------------------------------------------------------------- errors and log

namespace {
// Never a modal box from inside a device event: it runs once the event loop is free.
void QueueErrorBox(const QString& Msg) {
    QTimer::singleShot(0, [Msg] { PromptUser(Msg, TMsgKind::Error, TMsgButtons::Ok); });
}
}  // namespace

bool TInterface::ReportOnce(const QString& Msg, bool close) {
    if (FErrorShown)
        return false;
    FErrorShown = 1;
    DebugTrace(QStringLiteral("TInterface.ShowError - FOnError ") + Msg);
    QPointer<TInterface> self(this);
    const bool handled = bool(OnError);
    if (handled)
        OnError(this, Msg);
    if (close && self)
        Close();
    if (!handled)
        QueueErrorBox(Msg);  // after the close, whose waits run events
    return true;
}

bool TInterface::ReportError(const QString& Msg) {
    return ReportOnce(Msg, false);
}

void TInterface::ShowError(const QString& Msg) {
    ReportOnce(Msg, true);
}

void TInterface::ComPortError(std::uint32_t Place, std::uint32_t Code, const QString& Msg) {
    try {
        ShowError(ComPortErrorText(Place, Code, Msg));
    } catch (const std::exception& e) {
        DebugTrace(QStringLiteral("TInterface.ComPortError: ") + QString::fromUtf8(e.what()));
    }
}

void TInterface::DebugLog(const QString& Event, const QString& Data) const {
    DebugTrace(Event + QStringLiteral(" : ") + Data);
}

void TInterface::LogPortEvent(const char* name) {
    if (FLogPortEvents)
        DebugLog(QString::fromLatin1(name), QString());
}

void TInterface::LogOldestPacket(const char* name) {
    if (!FLogPortEvents || !FPort)
        return;
    FPort->SetKeepCluster(true);
    const std::string packet = FPort->ReadNextClusterAsString();
    FPort->SetKeepCluster(false);
    QString hex;
    for (unsigned char c : packet)
        hex += QStringLiteral("%1 ").arg(unsigned(c), 2, 16, QLatin1Char('0')).toUpper();
    DebugLog(QString::fromLatin1(name), hex);
}

void TInterface::ComPortRxCluster(TSerialPortNG*) {
    LogOldestPacket("RxCluster");
}

// ---------------------------------------------------------------- port

void TInterface::DeactivatePort() {
    if (!FPort)
        return;
    QPointer<TInterface> self(this);
    for (int attempt = 0; attempt < kCloseAttempts && FPort->Active(); ++attempt) {
        FClock->Wait(kCloseWaitMs);
        if (!self)
            return;
        FPort->ClearTxDQueue();
        FPort->ClearRxDQueue();
        if (FPort->Active())
            FPort->SetActive(false);
        FClock->Wait(kCloseWaitMs);
        if (!self)
            return;
    }
    if (FPort->Active())
        DebugTrace(QStringLiteral("TInterface: the port did not close"));
    DiscardQueuedPackets();
}

void TInterface::DiscardQueuedPackets() {
    if (!FPort)
        return;
    // Bounded by the count seen now: the port is closed, so nothing new arrives.
    for (std::size_t n = FPort->ClusterCount(); n > 0; --n)
        FPort->ReadNextClusterAsString();
}

void TInterface::ComPortClose() {
    QPointer<TInterface> self(this);
    SetState(kvsClosing);
    if (!self)
        return;
    DeactivatePort();
    if (self)
        SetState(kvsClosed);
}

void TInterface::CloseSource() {
    if (FState == kvsClosing || FState == kvsClosed)
        return;
    QPointer<TInterface> self(this);
    try {
        // The timer first: no timer event runs while the closing state is handed out.
        StopTimer();
        SetState(kvsClosing);
        if (!self)
            return;
        RecordStop();
        if (FSourceKind == kSourceSerial)
            ComPortClose();
        else if (FSourceKind == kSourceDemo)
            DemoClose();
        if (!self)
            return;
        FValidData = 0;
        ClearOnClose();
        SetState(kvsClosed);
    } catch (const std::exception& e) {
        if (self)
            ShowError(QString::fromUtf8(e.what()));
    }
}

// ---------------------------------------------------------------- timer

void TInterface::StartTimer(int IntervalMs, std::function<void()> Handler) {
    StopTimer();
    FTimerHandler = std::move(Handler);
    FTimerInterval = std::max(IntervalMs, 1);
    FTimer = new QTimer(this);
    FTimer->setInterval(std::min(FTimerInterval, kTimerPollMs));
    QObject::connect(FTimer, &QTimer::timeout, this, [this] { TimerTick(); });
    SetTimerEnabled(true);
}

void TInterface::StopTimer() {
    if (!FTimer)
        return;
    FTimerEnabled = false;
    FTimer->stop();
    FTimerHandler = nullptr;
    // Deleted later: StopTimer may run inside the timer's own tick.
    FTimer->deleteLater();
    FTimer = nullptr;
}

bool TInterface::TimerEnabled() const {
    return FTimer && FTimerEnabled;
}

void TInterface::SetTimerEnabled(bool value) {
    if (!FTimer)
        return;
    FTimerEnabled = value;
    if (value) {
        FTimerDue = FClock->NowMs() + FTimerInterval;
        FTimer->start();
    } else {
        FTimer->stop();
    }
}

void TInterface::SetTimerInterval(int IntervalMs) {
    FTimerInterval = std::max(IntervalMs, 1);
    if (FTimer)
        FTimer->setInterval(std::min(FTimerInterval, kTimerPollMs));
}

void TInterface::TimerTick() {
    if (!FTimerEnabled || !FTimerHandler || FClock->NowMs() < FTimerDue)
        return;
    FTimerDue = FClock->NowMs() + FTimerInterval;
    const std::function<void()> handler = FTimerHandler;  // the handler may stop the timer
    try {
        try {
            handler();
        } catch (const std::exception& e) {
            ShowError(QString::fromUtf8(e.what()));
        }
    } catch (...) {
        DebugTrace(QStringLiteral("TInterface: timer handler failed"));
    }
}
