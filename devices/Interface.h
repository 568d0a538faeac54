// The abstract device interface: one ergometer source with its serial port, its state machine
// over TKeloState (one event per state) and the records it hands to the windows.
//
// Interfaces are made with CreateInterface<T>(owner), which runs the overridable set-up once the
// object is complete, and are closed with Close() before they are destroyed: a destructor only
// releases the port quietly, it never fires events, waits or calls an overridable routine.
#pragma once

#include "devices/Clock.h"
#include "foundation/core/Types.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QTimer;
class TSerialPortNG;
class TInterface;

using TNotifyEvent = std::function<void(TInterface* Sender)>;
using TKeloStateChangeEvent =
    std::function<void(TInterface* Sender, TKeloState OldState, TKeloState NewState)>;
using TKeloStartingWorkoutEvent = std::function<void(TInterface* Sender, const TStgIni& Ini)>;
using TKeloWorkoutFinishedEvent =
    std::function<void(TInterface* Sender, const TStgWorkout& Workout)>;
using TKeloErrorEvent = std::function<void(TInterface* Sender, const QString& Msg)>;
using TKeloStrokeDataEvent =
    std::function<void(TInterface* Sender, const TStgStrokeData& Data)>;
using TKeloForceCurveEvent =
    std::function<void(TInterface* Sender, const TStgForceCurve& Curve)>;

// Source kinds of Open.
inline constexpr std::uint8_t kSourceNone = 0;
inline constexpr std::uint8_t kSourceSerial = 1;
inline constexpr std::uint8_t kSourceDemo = 2;

// The system beep of the interfaces (no data, an implausible interval); tests replace it.
void InterfaceBeep();
void SetInterfaceBeep(std::function<void()> beep);  // empty: the default tone

// "ComPort : <msg> (Error <code> <os text> - <place>)", with the cable hint on a second line
// for a refused or busy port.
QString ComPortErrorText(std::uint32_t Place, std::uint32_t Code, const QString& Msg);

class TInterface : public QObject {
public:
    // Only CreateInterface can make one, so the set-up after construction is never skipped.
    class TCreateKey {
        TCreateKey() = default;
        template <class T>
        friend T* CreateInterface(QObject* owner);
    };

    TInterface(TCreateKey key, QObject* owner);
    ~TInterface() override;
    TInterface(const TInterface&) = delete;
    TInterface& operator=(const TInterface&) = delete;

    // Operations
    void Open(std::uint8_t Kind, const QString& Name);
    void OpenAndWait(std::uint8_t Kind, const QString& Name);
    virtual void Close() = 0;
    virtual void Pause() {}
    virtual void Continue() {}
    virtual void Reset() {}
    QString SourceName() const;
    virtual bool IsConnected() const;
    // Refills PortList with the ports this kind of device may use (run by CreateInterface).
    virtual void ComPortUpdateList();

    // State
    TKeloState State() const { return FState; }
    std::uint8_t SourceKind() const { return FSourceKind; }
    const QString& OpenName() const { return FOpenName; }
    std::uint8_t InterfaceType() const { return FInterfaceType; }
    const QString& DeviceID() const { return FDeviceID; }
    bool DataSeen() const { return FDataSeen != 0; }
    bool ValidData() const { return FValidData != 0; }
    bool ErrorShown() const { return FErrorShown != 0; }
    bool WaitingForData() const { return FWaitForData != 0; }
    // Bytes taken from the port since the last open (a sign of life for status lines).
    std::uint64_t ReceivedBytes() const { return FReceivedBytes; }
    const QStringList& PortList() const { return FPortList; }
    TSerialPortNG* Port() const { return FPort.get(); }

    // Properties (set before Open)
    TKeloBoatType BoatType() const { return FBoatType; }
    void SetBoatType(TKeloBoatType value) { FBoatType = value; }
    double Weight() const { return FWeight; }
    void SetWeight(double value) { FWeight = value; }
    int Cog() const { return FCog; }
    void SetCog(int value) { FCog = value; }
    TKeloProtocolSet ProtocolSet() const { return FProtocolSet; }
    void SetProtocolSet(TKeloProtocolSet value) { FProtocolSet = value; }
    TKeloProtocol Protocol() const { return FProtocol; }
    void SetProtocol(TKeloProtocol value) { FProtocol = value; }
    bool RTSOnOpen() const { return FRTSOnOpen != 0; }
    void SetRTSOnOpen(bool value) { FRTSOnOpen = value; }
    bool DTROnOpen() const { return FDTROnOpen != 0; }
    void SetDTROnOpen(bool value) { FDTROnOpen = value; }
    bool LogPortEvents() const { return FLogPortEvents != 0; }
    void SetLogPortEvents(bool value) { FLogPortEvents = value; }
    const QString& RecordFileName() const { return FRecordFileName; }
    void SetRecordFileName(const QString& value) { FRecordFileName = value; }
    // The clock for waits and time-outs (not owned; the steady clock by default).
    TClock& Clock() const { return *FClock; }
    void SetClock(TClock* clock) { FClock = clock ? clock : &DefaultClock(); }

    // Records handed to the events
    const TStgIni& Ini() const { return FIni; }
    const TStgStrokeData& StrokeData() const { return FStrokeData; }
    const TStgForceCurve& ForceCurve() const { return FForceCurve; }
    const TStgWorkout& Workout() const { return FWorkout; }

    // Events, on the main thread, first argument the sender
    TKeloStateChangeEvent OnStateChange;
    TNotifyEvent OnClosing, OnClosed, OnOpening, OnOpened, OnSearching, OnSearchFound,
        OnSearchNotFound, OnSearchCanceled, OnVerifying, OnVerified, OnAccepting, OnAccepted;
    TKeloStartingWorkoutEvent OnStartingWorkout;
    TNotifyEvent OnWorkoutStarted, OnCancelingWorkout, OnWorkoutCanceled, OnFinishingWorkout;
    TKeloWorkoutFinishedEvent OnWorkoutFinished;
    TNotifyEvent OnStartingStroke, OnStrokeFinished, OnStartingRecover, OnRecoverFinished,
        OnPausing, OnPaused, OnContinueing, OnContinued;
    TKeloErrorEvent OnError;
    TKeloStrokeDataEvent OnStrokeData;
    TKeloForceCurveEvent OnForceCurve;
    TNotifyEvent OnProtocolError;

protected:
    // Raw recording and demo playback, filled by the subclasses.
    virtual void RecordStart() = 0;
    virtual void RecordData() = 0;
    virtual void RecordStop() = 0;
    virtual void ComPortOpen() = 0;
    virtual void ComPortClose();
    // The port's packet event. The base only dumps the oldest packet to the log (without taking
    // it); subclasses call it first and then take the packets themselves.
    virtual void ComPortRxCluster(TSerialPortNG* Sender);
    virtual void DemoOpen() = 0;
    virtual void DemoClose() = 0;
    virtual bool DemoRead() = 0;
    virtual void DemoProcess() = 0;
    virtual void DemoTimer() = 0;
    virtual void Prepare() {}

    void SetState(TKeloState NewState);
    // Close of a source: timer stopped, closing, recording stopped, port or demo closed, the
    // kind's own state cleared (ClearOnClose), closed; an exception goes to ShowError.
    void CloseSource();
    virtual void ClearOnClose() {}
    // Reports the first error of an open (OnError, else a queued message box), then closes.
    void ShowError(const QString& Msg);
    // The once-per-open report without the close.
    bool ReportError(const QString& Msg);
    void DebugLog(const QString& Event, const QString& Data) const;

    // One timer serves every wait and the demo playback; it follows Clock().
    void StartTimer(int IntervalMs, std::function<void()> Handler);
    void StopTimer();
    bool TimerEnabled() const;
    void SetTimerEnabled(bool value);
    // A new interval for the running timer, counted from its next enable.
    void SetTimerInterval(int IntervalMs);

    // Closes the port without state changes, purging both queues; bounded.
    void DeactivatePort();
    // Drops packets still queued in the port (left from an earlier open).
    void DiscardQueuedPackets();

    // Fields, as the subclasses use them
    std::unique_ptr<TSerialPortNG> FPort;
    std::uint8_t FDataSeen = 0;
    std::uint8_t FValidData = 0;
    std::uint8_t FReceiving = 0;
    QStringList FPortList;
    std::string FReceiveBuffer;  // bytes received and not yet consumed
    std::uint8_t FRTSOnOpen = 1;
    std::uint8_t FDTROnOpen = 1;
    std::uint8_t FLogPortEvents = 0;
    TKeloBoatType FBoatType = kvb1x;
    double FWeight = 0;
    int FCog = 0;
    TStgIni FIni;
    TStgStrokeData FStrokeData;
    TStgForceCurve FForceCurve;
    TStgWorkout FWorkout;
    std::uint8_t FErrorShown = 0;
    TKeloState FState = kvsClosed;
    std::uint8_t FSourceKind = kSourceNone;
    QString FOpenName;
    std::uint8_t FWaitForData = 0;
    TKeloProtocolSet FProtocolSet;
    TKeloProtocol FProtocol = kvpUnknown;
    std::uint8_t FInterfaceType = 0;
    QString FDeviceID;
    QString FRecordFileName;
    std::uint8_t FRecordOpen = 0;
    std::uint64_t FReceivedBytes = 0;

private:
    bool ReportOnce(const QString& Msg, bool close);
    void ComPortError(std::uint32_t Place, std::uint32_t Code, const QString& Msg);
    void FireStateEvent(TKeloState state);
    void TimerTick();
    void LogPortEvent(const char* name);
    void LogOldestPacket(const char* name);

    TClock* FClock = &DefaultClock();
    QTimer* FTimer = nullptr;  // owned; nullptr while no timer runs
    std::function<void()> FTimerHandler;
    int FTimerInterval = 0;
    std::int64_t FTimerDue = 0;
    bool FTimerEnabled = false;
};

// The neutral source of the connect dialog: every abstract operation does nothing.
class T__Interface : public TInterface {
public:
    T__Interface(TCreateKey key, QObject* owner) : TInterface(key, owner) {}
    void Close() override {}

protected:
    void RecordStart() override {}
    void RecordData() override {}
    void RecordStop() override {}
    void ComPortOpen() override {}
    void DemoOpen() override {}
    void DemoClose() override {}
    bool DemoRead() override { return false; }
    void DemoProcess() override {}
    void DemoTimer() override {}
};

// Makes an interface of kind T owned by owner (a QObject parent; nullptr: the caller owns it)
// and runs its overridable set-up.
template <class T>
T* CreateInterface(QObject* owner) {
    T* result = new T(TInterface::TCreateKey(), owner);
    result->ComPortUpdateList();
    return result;
}
