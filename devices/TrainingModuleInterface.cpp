#include "devices/TrainingModuleInterface.h"

#include "devices/serial/CommPortList.h"
#include "devices/serial/SerialPort.h"
#include "foundation/core/Prompt.h"

#include <QTimer>

namespace {

constexpr int kMaxPortName = 255;
constexpr int kLogPiece = 250;

constexpr std::uint8_t kSearchFrames = VSFrameBit(vsfAlive);
constexpr std::uint8_t kStartFrames = VSFrameBit(vsfStartWorkout) | VSFrameBit(vsfWorkoutCanceled);
constexpr std::uint8_t kWorkoutFrames = VSFrameBit(vsfStrokeFinished) |
                                        VSFrameBit(vsfWorkoutFinished) |
                                        VSFrameBit(vsfWorkoutCanceled);

// Never a modal box from inside a wait or a device event: it runs once the event loop is free.
void QueueMessage(const QString& text) {
    QTimer::singleShot(0, [text] { PromptUser(text, TMsgKind::Information, TMsgButtons::Ok); });
}

}  // namespace

TVSInterface::TVSInterface(TCreateKey key, QObject* owner) : TInterface(key, owner) {
    FInterfaceType = kVSInterfaceType;
    FProtocolSet = {kvpVSU};
    FSourceKind = kSourceSerial;
    FPort->SetBaudRate(kVSBaudRate);
    FPort->SetCommPort(QStringLiteral("COM1"));
    FPort->SetDataBits(8);
    FPort->SetParityType(0);
    FPort->SetStopBits(0);
    FPort->SetClusterSize(std::uint16_t(kVSShortestFrame));
}

void TVSInterface::ComPortUpdateList() {
    FPortList.clear();
    GetCommPortList(FPortList, FUsb.SysfsRoot);
    FPortList.sort();
    if (!FUsb.VirtualMachine)
        GetVSPortList(FPortList, FUsb);
}

// ---------------------------------------------------------------- commands

void TVSInterface::SendCommand(std::uint8_t type) {
    const std::string frame = VSCommandFrame(type);
    FPort->SendData(frame.data(), frame.size());
}

void TVSInterface::SendPing() {
    SendCommand(kVSPing);
}

void TVSInterface::SendAccept() {
    SendCommand(kVSAccept);
}

void TVSInterface::SendStop() {
    SendCommand(kVSStop);
}

void TVSInterface::Accept(std::uint8_t accepted) {
    FAcceptedFrames = accepted;
}

// ---------------------------------------------------------------- search and handshake

bool TVSInterface::ActivateSearchPort(const QString& port, bool reportErrors, QString& failure) {
    QPointer<TVSInterface> self(this);
    FPort->SetCommPort(port.left(kMaxPortName));
    SetState(kvsSearching);
    if (!self || FState != kvsSearching)
        return false;
    if (reportErrors) {
        FPort->SetActive(true);  // a refused port is reported and closes the interface
        return self && FPort->Active() && FState == kvsSearching;
    }
    // While trying every port, one that cannot be opened is skipped, not the end of the search.
    const auto reporter = FPort->OnProcessError;
    QString error;
    FPort->OnProcessError = [&error](TSerialPortNG*, std::uint32_t place, std::uint32_t code,
                                     const QString& msg, std::uint8_t) {
        if (error.isEmpty())
            error = ComPortErrorText(place, code, msg);
    };
    FPort->SetActive(true);
    FPort->OnProcessError = reporter;
    if (FPort->Active()) {
        FPort->ClearRxDQueue();
        return true;
    }
    DebugLog(QStringLiteral("ComPortConnect"), port + QStringLiteral(" skipped: ") + error);
    if (failure.isEmpty())
        failure = error;
    return false;
}

bool TVSInterface::WaitForFrame(int timeoutMs, unsigned stepMs, bool ping, TWaitEnd& end) {
    QPointer<TVSInterface> self(this);
    FTimedOut = false;
    StartTimer(timeoutMs, [this] {
        FTimedOut = true;
        SetTimerEnabled(false);
    });
    ProcessFrames();  // frames that came before the wait
    // The timer ends the wait; this only bounds it should the clock stand still.
    const int maxTurns = 2 * timeoutMs / int(stepMs) + 1;
    std::int64_t nextPing = Clock().NowMs();
    const std::int64_t deadline = nextPing + timeoutMs;
    bool cancel = false;
    end = TWaitEnd::TimedOut;
    for (int turn = 0; turn < maxTurns; ++turn) {
        if (FFrameType != vsfNone) {
            end = TWaitEnd::Frame;
            break;
        }
        if (ping && Clock().NowMs() >= nextPing) {
            nextPing = Clock().NowMs() + kVSPingPeriodMs;
            SendPing();
            if (!self)
                return false;
        }
        if (FState > kvsClosed)
            Clock().Wait(stepMs);
        if (!self)
            return false;
        if (FState <= kvsClosed) {
            end = TWaitEnd::Closed;
            return true;
        }
        if (OnWaiting) {
            OnWaiting(this, cancel);
            if (!self)
                return false;
            if (FState <= kvsClosed) {
                end = TWaitEnd::Closed;
                return true;
            }
        }
        if (FFrameType != vsfNone) {
            end = TWaitEnd::Frame;
            break;
        }
        if (cancel) {
            end = TWaitEnd::Cancel;
            break;
        }
        if (FTimedOut || Clock().NowMs() >= deadline)
            break;
        if (!TimerEnabled()) {  // the timer was taken away: nobody waits any more
            end = TWaitEnd::Cancel;
            break;
        }
    }
    StopTimer();
    return true;
}

bool TVSInterface::ComPortConnect() {
    QPointer<TVSInterface> self(this);
    ComPortClose();
    if (!self || FCloseAsked)
        return false;
    DebugLog(QStringLiteral("ComPortConnect"),
             QStringLiteral("Portlist and [used] ") + FPortList.join(QLatin1Char('\n')) +
                 QStringLiteral(" [") + SourceName() + QLatin1Char(']'));
    StopTimer();
    const bool single = FPortList.contains(SourceName());
    const QStringList ports = single ? QStringList{SourceName()} : FPortList;
    QString found;
    QString failure;
    bool canceled = false;
    for (const QString& port : ports) {
        if (FState != kvsClosed || IsConnected()) {
            ComPortClose();
            if (!self || FCloseAsked)
                return false;
        }
        FFrameType = vsfNone;
        FReceiveBuffer.clear();
        Accept(kSearchFrames);
        if (!ActivateSearchPort(port, single, failure)) {
            if (!self || FCloseAsked)
                return false;
            if (single)
                return false;  // reported, and closed by the report
            continue;
        }
        TWaitEnd end;
        if (!WaitForFrame(kVSSearchTimeoutMs, kVSSearchWaitMs, true, end))
            return false;
        if (end == TWaitEnd::Closed)
            return false;
        if (end == TWaitEnd::Frame) {
            found = port;
            break;
        }
        if (end == TWaitEnd::Cancel) {
            canceled = true;
            break;
        }
    }
    if (!found.isEmpty()) {
        FFrameType = vsfNone;
        SetState(kvsSearchFound);
        if (!self || FCloseAsked)
            return false;
        FOpenName = found;
        SetState(kvsVerifying);
        return self && FState == kvsVerifying;
    }
    ComPortClose();
    if (!self || FCloseAsked)
        return false;
    SetState(canceled ? kvsSearchCanceled : kvsSearchNotFound);
    // A port that could not be opened may be the module's: say why (the permission hint).
    if (self && !canceled && !failure.isEmpty())
        ReportError(failure);
    return false;
}

void TVSInterface::ComPortOpen() {
    QPointer<TVSInterface> self(this);
    FCloseAsked = false;
    if (IsConnected()) {
        ComPortClose();
        if (!self || FCloseAsked)
            return;
    }
    DebugLog(QStringLiteral("ComPortOpen"),
             QStringLiteral("Portlist and [used] ") + FPortList.join(QLatin1Char('\n')) +
                 QStringLiteral(" [") + SourceName() + QLatin1Char(']'));
    if (!ComPortConnect() || !self)
        return;
    // Each state event may close the interface.
    const auto goOn = [&](TKeloState state) {
        SetState(state);
        return self && FState == state;
    };
    if (!goOn(kvsVerified) || !goOn(kvsAccepting))
        return;
    FFrameType = vsfNone;
    Accept(kStartFrames);
    SendAccept();
    if (!self || FState != kvsAccepting)
        return;
    // A frame that comes while the rower is asked to start is kept for the wait below.
    if (!goOn(kvsStartingWorkout))
        return;
    TWaitEnd end;
    if (!WaitForFrame(kVSStartTimeoutMs, kVSStartWaitMs, false, end) || end == TWaitEnd::Closed)
        return;
    if (end != TWaitEnd::Frame || FFrameType == vsfWorkoutCanceled) {
        const bool byModule = end == TWaitEnd::Frame;
        FFrameType = vsfNone;
        ComPortClose();
        QueueMessage(byModule ? QStringLiteral("Workout canceled")
                              : QStringLiteral("Waiting for workout canceled"));
        return;
    }
    FIni = VSStartWorkoutIni(FFrameBuffer);
    FProtocol = kvpVSU;
    FFrameType = vsfNone;
    Accept(kWorkoutFrames);
    if (!goOn(kvsWorkoutStarted))
        return;
    // Strokes that came with the start are handled once the caller has wired its events.
    QTimer::singleShot(0, this, [this] { Receive(); });
}

void TVSInterface::ComPortClose() {
    if (IsConnected())
        SendStop();
    TInterface::ComPortClose();
}

// ---------------------------------------------------------------- receive path

void TVSInterface::LogBuffer() const {
    QString hex;
    bool binary = false;
    for (unsigned char c : FReceiveBuffer)
        binary = binary || !(c == 9 || c == 10 || c == 13 || (c >= 32 && c <= 126));
    if (binary)
        for (unsigned char c : FReceiveBuffer)
            hex += c == 0 ? QStringLiteral("0 ") : QStringLiteral("%1 ").arg(unsigned(c), 2, 16, QLatin1Char('0')).toUpper();
    const QString text = QStringLiteral("Buffer = (%1) ").arg(FReceiveBuffer.size()) + hex +
                         QString::fromLatin1(FReceiveBuffer.data(), qsizetype(FReceiveBuffer.size()));
    for (qsizetype i = 0; i < text.size(); i += kLogPiece)
        DebugLog(QStringLiteral("ComPortRxCluster"), text.mid(i, kLogPiece));
}

void TVSInterface::ComPortRxCluster(TSerialPortNG* Sender) {
    TInterface::ComPortRxCluster(Sender);
    Receive();
}

void TVSInterface::Receive() {
    if (FReceiving)
        return;  // a nested event: the outer handler drains the queue
    QPointer<TVSInterface> self(this);
    FReceiving = 1;
    try {
        while (self && FState > kvsClosed) {
            if (FPort->ClusterCount() > 0) {
                const std::string packet = FPort->ReadNextClusterAsString();
                FDataSeen = 1;
                FReceivedBytes += packet.size();
                FReceiveBuffer += packet;
                LogBuffer();
            }
            ProcessFrames();
            if (!self || FPort->ClusterCount() == 0)
                break;
        }
    } catch (const std::exception& e) {
        if (self)
            ShowError(QString::fromUtf8(e.what()));
    }
    if (self)
        FReceiving = 0;
}

void TVSInterface::ProcessFrames() {
    QPointer<TVSInterface> self(this);
    const TVSLog log = [this](const QString& line) { DebugTrace(line); };
    while (self && FState > kvsClosed) {
        const bool workout = FState == kvsWorkoutStarted;
        if (!workout && FFrameType != vsfNone)
            return;  // the waiting code has not read the last one yet
        TVSFrameIndex index = vsfNone;
        std::string frame;
        const TVSScan scan = CheckForFrame(FReceiveBuffer, FAcceptedFrames, index, frame, log);
        if (scan == TVSScan::Incomplete)
            return;
        if (scan != TVSScan::Taken)
            continue;
        FValidData = 1;
        FFrameType = index;
        FFrameBuffer = std::move(frame);
        if (workout)
            HandleWorkoutFrame();
    }
}

void TVSInterface::HandleWorkoutFrame() {
    QPointer<TVSInterface> self(this);
    const TVSFrameIndex type = FFrameType;
    FFrameType = vsfNone;
    switch (type) {
    case vsfStrokeFinished:
        VSDecodeStroke(FFrameBuffer, FEnergySum, FStrokeData, FForceCurve);
        DebugTrace(QStringLiteral("TVSInterface.ComPortRxCluster - FOnStrokeData"));
        if (OnStrokeData) {
            OnStrokeData(this, FStrokeData);
            if (!self || FState != kvsWorkoutStarted)
                return;
        }
        DebugTrace(QStringLiteral("TVSInterface.ComPortRxCluster - FOnForceCurve"));
        SmoothForceCurve(FForceCurve, FSmoothing);
        if (OnForceCurve)
            OnForceCurve(this, FForceCurve);
        return;
    case vsfWorkoutFinished:
        FWorkout = VSDecodeWorkout(FFrameBuffer);
        SetState(kvsWorkoutFinished);
        if (self && FState == kvsWorkoutFinished)
            ComPortClose();
        return;
    case vsfWorkoutCanceled:
        SetState(kvsWorkoutCanceled);
        if (self && FState == kvsWorkoutCanceled)
            ComPortClose();
        return;
    default:
        return;
    }
}

// ---------------------------------------------------------------- closing and demo

void TVSInterface::DemoOpen() {
    if (OnError)
        OnError(this, QStringLiteral("Demo data not supported yet"));
}

void TVSInterface::Close() {
    FCloseAsked = true;
    CloseSource();
}
