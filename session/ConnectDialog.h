// The connect dialog: before a session the user picks the source (a serial port or "DEMO") and
// the connect type, may listen to the source (Test) or try every port (Search), and the dialog
// keeps section "Connect" of the settings file.
//
// How the row window uses it:
//     TfrmConnect dlg(frmMain);
//     dlg.SetColors(...);
//     if (dlg.exec() == QDialog::Accepted) {
//         TInterface* i = TInterfaceFactory::Default().Create(dlg.InterfaceKind(), rowWindow);
//         ...                                   // nullptr: kind 0 or not built
//         i->Open(dlg.SourceKind(), dlg.SelectedSource());
//     }
// Two different kinds meet here: the open kind (kSourceSerial or kSourceDemo, the first
// argument of Open) and the interface kind (1..6, which class talks to the device).
#pragma once

#include "devices/Clock.h"
#include "devices/Interface.h"
#include "shell/FormDialog.h"

#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TInterfaceFactory;
class TKVInterface;

inline constexpr const char* kConnectSection = "Connect";
inline constexpr const char* kDemoSource = "DEMO";

// "Incorrect interface protocol. ..." for an interface whose data matched none of its protocols;
// the advice to use [Test] is left out when the connect dialog itself reports it.
QString ProtocolErrorText(const TInterface& interface, bool fromConnectDialog);

class TfrmConnect : public TFormDialog {
    Q_OBJECT
public:
    enum class TPhase { Idle, Testing, Searching };

    // factory: where the test interfaces come from (nullptr: the program's own).
    explicit TfrmConnect(QWidget* parent = nullptr, const TInterfaceFactory* factory = nullptr);
    ~TfrmConnect() override;

    // What the row window reads after OK.
    QString SelectedSource() const;     // as listed: "DEMO" or a device path; empty for none
    std::uint8_t SourceKind() const;    // open kind of the selected source
    int ConnectType() const;            // 0 Direct, 1 Delayed (5 seconds), 2 Warming up
    std::uint8_t InterfaceKind() const { return FInterfaceKind; }
    bool StrictProtocol() const { return FStrictProtocol; }
    bool RawHeartRate() const { return FRawHeartRate; }
    bool Beeps() const { return FBeeps; }
    bool Quick() const { return FQuick; }
    TPhase Phase() const { return FPhase; }

    // The settings file (empty: the user's settings file).
    QString IniFileName;
    // The connect type selected when the dialog is shown (the main window's default).
    int DefaultConnectType = 0;
    // Waits and the click pacing follow this clock (not owned); the test interfaces get it too.
    void SetClock(TClock* clock) { FClock = clock ? clock : &DefaultClock(); }
    // The click of each pulse during a test; tests replace it.
    std::function<void()> ClickSound;
    // Shows the protocol message; runs queued, never inside a device event. Tests replace it.
    std::function<void(const QString& text)> ShowProtocolMessage;

    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;

    // Controls, in tab order.
    QLabel* lblSource;
    QComboBox* cmbSource;
    QPushButton* btbTest;
    QPushButton* btbSearch;
    QGroupBox* rgpConnect;
    QButtonGroup* rgpConnectItems;
    QLabel* lblTest;
    QWidget* pnlMagnets;
    std::array<QLabel*, 4> pnlMagnet{};

    // Handlers and own routines.
    void FillSources();
    void FormShow();
    void btbTestClick();
    void btbSearchClick();

    // The test interfaces (nullptr while none run).
    TKVInterface* TestInterface() const;

public slots:
    void accept() override;  // OK, only when idle
    void reject() override;  // Cancel or Esc, only when idle
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void InterfaceCreate();
    void InterfaceDestroy();
    void StartTest();
    void StopTest();
    void EndTest();
    void SetBusy(bool busy, bool stopEnabled);
    // Waits ms on the clock while events run; ends early on a cancel. False when the dialog
    // was destroyed meanwhile.
    bool WaitMs(unsigned ms, bool cancellable);
    void SelectSource(const QString& source);
    QString SettingsFileName(bool writeMode) const;

    void InterfaceError(TInterface* Sender, const QString& Msg);
    void InterfaceProtocolError(TInterface* Sender);
    void InterfaceOpened(TInterface* Sender);
    void KVInterfaceRawData(TInterface* Sender, double Wheel, int HeartRaw, int HeartCorrected);

    const TInterfaceFactory* FFactory;
    TClock* FClock = &DefaultClock();
    TPhase FPhase = TPhase::Idle;
    // The test interfaces: the neutral marker, the flywheel interface, the other serial
    // interface when this program has it.
    QPointer<TInterface> FMarker;
    QPointer<TKVInterface> FKVInterface;
    QPointer<TInterface> FOtherInterface;
    // The interface whose OpenAndWait runs; Stop closes it so that the wait returns.
    QPointer<TInterface> FWaitingOn;
    bool FWaiting = false;  // the start of a test or a search is still on the stack
    bool FCancel = false;   // Stop was pressed during that start
    bool FDestroying = false;
    std::int64_t FLastBeep = 0;
    std::uint32_t FRawDataCount = 0;
    std::uint32_t FProtocolErrorCount = 0;
    bool FStrictProtocol = true;
    bool FRawHeartRate = false;
    bool FBeeps = true;
    bool FQuick = false;
    std::uint8_t FInterfaceKind = 0;
    QColor FDesignTextColor;
};
