// The session road of the row window without its widgets: one button connects a device (or the
// demo), waits for its first data, starts after the chosen connect type, pauses, continues and
// disconnects, and every stroke goes through the stroke recorder into the session's training.
//
// The road is a state machine driven by the interface's events and by a timer that follows the
// injectable clock; it never waits in a nested event loop of its own. Everything that shows
// something (dialogs, the message window, status panels, charts, other windows) goes through
// the seams of TSessionView, which the row window fills and tests replace. Dialogs and message
// boxes are never opened inside a device event: they are queued to run afterwards.
#pragma once

#include "devices/Interface.h"
#include "foundation/recording/StrokeRecorder.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

class QTimer;

// What the connect dialog hands back.
struct TConnectChoice {
    QString Source;                 // a port name, or "DEMO"
    std::uint8_t ConnectType = 0;   // 0 direct, 1 after a countdown, 2 warming up
    std::uint8_t InterfaceKind = 1; // InterfaceTypeNames index, 1 .. 6
};

// Interface tuning from section "Row".
struct TRowTuning {
    int Inertia = 8800; // 1e-6 kg m^2 above 0.1
    int StrokeTrigger = 0;
    int Tension = 0;    // 0: the interface's own
    int ThresHold = 5;
    bool DemoFast = false;  // the demo plays at its recorded pace unless asked
};

// What a press of the session button does in the present state.
enum class TButtonAction { Ignore, Connect, StartAfterWarmUp, PauseAndAsk, Continue, Reconnect };

enum class TSessionPhase {
    Idle,       // no interface
    Connecting, // opened or opening, waiting for the first data
    Countdown,  // data seen, counting down to the start
    Running,    // recording (warming up, rowing or paused)
    Closed,     // the interface closed; the next press connects anew
};

inline constexpr int kStartCountdown = 5;       // seconds of the delayed start
inline constexpr int kConnectTickMs = 100;      // the road looks at its waits this often
inline constexpr int kProtocolErrorsAlone = 10; // errors allowed before any packet
inline constexpr int kCountdownStepMs = 1000;

// Everything the road shows or asks; every member may stay empty.
struct TSessionView {
    // Dialogs (never called inside a device event). The connect dialog returns false on cancel;
    // ConfirmReset false keeps the training (default: ConfirmResetTraining, reason 1);
    // AskDisconnect true disconnects (default: a Yes/No question through the prompt).
    std::function<bool(TConnectChoice& choice)> ConnectDialog;
    std::function<bool(TTraining& training)> ConfirmReset;
    std::function<bool()> AskDisconnect;
    std::function<void(const QString& text)> ShowError;  // an error box with OK
    std::function<void(TTraining& training)> ShowResults;
    // The message window; while connecting, its closing (Esc) cancels the wait.
    std::function<void(const QString& text)> ShowMessageWindow;
    std::function<void()> CloseMessageWindow;
    std::function<bool()> MessageWindowVisible;
    // The row window's own display.
    std::function<void(const QString& line)> Log;
    std::function<void(int panel, const QString& text)> SetStatusPanel;
    std::function<void(bool on)> SetWarmingUpPanel; // panel 4 shows "Warming up" while on
    std::function<void()> UpdateButton;             // read ButtonCaption and ButtonEnabled
    std::function<void()> FocusButton;
    std::function<void()> SessionReset;             // rebuild both charts
    std::function<void(int puls, double length, double force)> LiveForce;
    std::function<void()> DriveStarted;
    std::function<void()> RecoveryStarted;
    std::function<void()> CurveDelivered;           // a device's own curve of the last stroke
    std::function<void(const TStrokeOutcome& outcome)> StrokeRecorded;
    std::function<void()> SaveLayout;
    // The session's training window and the main window.
    std::function<void()> RefreshTraining;
    std::function<void()> RefreshStrokeData;
    std::function<void()> RefreshForceCurves;
    std::function<void()> RefreshHeader; // the caption changed
    std::function<void()> TrainingsChanged;
    std::function<void(double days)> AddRowingTime;
    std::function<void()> AddRowingSession;
};

// The protocol message, with the accepted protocols of set; the hint to test the connection
// first is left out when the connect dialog itself asks.
QString ProtocolErrorText(TKeloProtocolSet set, bool fromConnectDialog);

class TSessionController : public QObject {
public:
    explicit TSessionController(QObject* owner = nullptr);
    ~TSessionController() override;
    TSessionController(const TSessionController&) = delete;
    TSessionController& operator=(const TSessionController&) = delete;

    TSessionView View;
    TRowTuning Tuning;
    // The settings file read for section "Connect"; empty: the user's settings file.
    QString SettingsFileName;
    // Makes the interface of a kind (1 .. 6) owned by owner; nullptr for any other kind.
    // The default makes the KV interface for kind 1.
    std::function<TInterface*(std::uint8_t kind, QObject* owner)> CreateInterfaceOfKind;

    // The session's training (looked up at every use) and the live value display.
    void SetTraining(TTrainingAccess access);
    void SetValues(TValueData* values) { FRecorder.Values = values; }
    // The clock of the road's waits and of the interfaces it makes (not owned).
    void SetClock(TClock* clock) { FClock = clock ? clock : &DefaultClock(); }

    // The session button.
    void ButtonClick();
    TButtonAction ButtonAction() const;
    QString ButtonCaption() const;
    bool ButtonEnabled() const { return FButtonEnabled; }

    // A new session: the recorder, the counters and the training start afresh (also called by
    // the training window when its settings change). The rowing time so far is counted.
    void ResetSession();
    // A reset asked from outside the road (the training window's reset or a changed setting):
    // a running session starts afresh on its interface, as at the end of the warm-up, with
    // strokes and totals from zero; otherwise as ResetSession.
    void RestartSession();
    // The goal target into the value display (at a reset and when the training changes).
    void UpdateTargets() { FRecorder.UpdateTargets(); }
    // The row window closes (quiet: the program ends without a person to answer): an open
    // session is closed in order, its totals set, and the interface freed. No results are shown
    // when quiet.
    void CloseSession(bool quiet);
    // From HoldResults on, the results a closing session would show wait (the row window holds
    // them while the training's own close question may be open); ReleaseResults ends the wait
    // and shows them when asked to and the training is still there.
    void HoldResults() { FHoldResults = true; }
    void ReleaseResults(bool show);
    // The road's waits; the timer calls it, tests may call it after moving the clock.
    void Tick();

    TSessionPhase Phase() const { return FPhase; }
    TInterface* CurrentInterface() const { return FInterface.data(); }
    std::uint8_t InterfaceKind() const { return FKind; }
    const TStrokeRecorder& Recorder() const { return FRecorder; }
    bool WarmingUp() const { return FWarmingUp; }
    bool DataReceived() const { return FDataReceived; }
    int PacketCount() const { return FPacketCount; }
    int ProtocolErrors() const { return FProtocolErrors; }
    int CountdownLeft() const { return FCountdown; }
    // Milliseconds since the session was opened or continued (the elapsed-time panel).
    std::int64_t ElapsedMs() const;

private:
    TTraining* Training() const;
    void Connect();
    void FailConnect();
    void NoSource();
    void AfterData();
    void StartRecording();
    void EndWarmUp();
    void RestartOnInterface(bool rowContent);
    // The interface's fields into the training; rowContent: it holds a row session. refresh:
    // the training window's header shows them at once.
    void ApplySessionSetup(bool rowContent, bool refresh = true);
    void Configure(TInterface* iface, std::uint8_t kind, const TStgIni& ini, bool strict, bool rawHeart);
    void WireSessionEvents(TInterface* iface);
    void WireRecordingEvents(TInterface* iface);
    void FreeInterface();
    void StartTicking();
    void StopTicking();
    void AddRowingTime();
    void QueueError(const QString& text);
    void QueueResults();
    void EnableButton(bool enabled);
    void Focus();
    void Panel(int panel, const QString& text);
    void Message(const QString& text);
    void CloseMessage();
    void SetTrainingState(std::uint8_t state);
    // The handlers of the interface's events.
    void Opened();
    void Closed();
    void RawData(TInterface* sender, double wheel, int heartRaw, int heartCorrected);
    void StrokeData(const TStgStrokeData& data);
    void ProtocolError();

    TStrokeRecorder FRecorder;
    TClock* FClock = &DefaultClock();
    QPointer<TInterface> FInterface;
    QTimer* FTimer = nullptr;
    TSessionPhase FPhase = TSessionPhase::Idle;
    std::uint8_t FKind = 0;
    std::uint8_t FConnectType = 0;
    bool FButtonEnabled = true;
    bool FWarmingUp = false;
    bool FDataReceived = false;
    bool FClosingGuard = false;
    bool FQuiet = false;
    bool FEngineResetDue = false; // reset when the paused interface continues
    bool FHoldResults = false;
    bool FResultsHeld = false;
    int FCountdown = 0;
    std::int64_t FDueMs = 0;
    std::int64_t FStartMs = 0;   // when the session opened; 0 once counted
    std::int64_t FRestartMs = 0; // when it opened or continued
    int FPacketCount = 0;        // raw-data events and curves of this session
    int FRecordedPackets = 0;    // those since recording began
    int FProtocolErrors = 0;
};
