// The partner's training module on its USB serial adapter: it detects strokes itself and sends
// finished strokes, their force curves and the workout result as frames. Opening searches the
// module's ports with a ping, accepts it and waits until the rower starts a workout on it.
#pragma once

#include "devices/Interface.h"
#include "devices/TrainingModuleFrames.h"
#include "devices/serial/UsbAdapters.h"

using TVSWaitingEvent = std::function<void(TInterface* Sender, bool& Cancel)>;

inline constexpr std::uint8_t kVSInterfaceType = 3;
inline constexpr std::uint32_t kVSBaudRate = 115200;
inline constexpr int kVSSearchTimeoutMs = 10000;
inline constexpr int kVSStartTimeoutMs = 30000;
inline constexpr int kVSPingPeriodMs = 2000;
inline constexpr unsigned kVSSearchWaitMs = 50;
inline constexpr unsigned kVSStartWaitMs = 10;

class TVSInterface : public TInterface {
public:
    TVSInterface(TCreateKey key, QObject* owner);

    void Close() override;
    // The plain port list narrowed to the module's adapters (not on a virtual machine).
    void ComPortUpdateList() override;

    int Smoothing() const { return FSmoothing; }
    void SetSmoothing(int value) { FSmoothing = value; }
    const TUsbLookup& UsbLookup() const { return FUsb; }
    void SetUsbLookup(const TUsbLookup& value) { FUsb = value; }
    // Sum of the stroke energies (J) decoded by this object.
    float EnergySum() const { return FEnergySum; }
    std::uint8_t AcceptedFrames() const { return FAcceptedFrames; }

    // Called during the waits for the module; setting Cancel ends the wait.
    TVSWaitingEvent OnWaiting;

    void SendPing();
    void SendAccept();
    void SendStop();

protected:
    void RecordStart() override {}
    void RecordData() override {}
    void RecordStop() override {}
    void ComPortOpen() override;
    void ComPortClose() override;
    void ComPortRxCluster(TSerialPortNG* Sender) override;
    void DemoOpen() override;
    void DemoClose() override {}
    bool DemoRead() override { return false; }
    void DemoProcess() override {}
    void DemoTimer() override {}

    // The search: true when a module answered on one of the ports.
    bool ComPortConnect();

private:
    enum class TWaitEnd { Frame, Cancel, TimedOut, Closed };
    // Waits in steps of stepMs until a frame of the accepted set is taken, the waiting handler
    // cancels, timeoutMs of the clock pass, or the interface is closed meanwhile. False when the
    // interface was destroyed.
    bool WaitForFrame(int timeoutMs, unsigned stepMs, bool ping, TWaitEnd& end);
    // Opens one port for the search; false (with the reason in failure) when it cannot be had.
    bool ActivateSearchPort(const QString& port, bool reportErrors, QString& failure);
    // Takes the queued packets and handles their frames; guarded against nested events.
    void Receive();
    // Takes every complete frame of the buffer; during the waits one taken frame stays until
    // the waiting code has read it.
    void ProcessFrames();
    void HandleWorkoutFrame();
    void Accept(std::uint8_t accepted);
    void SendCommand(std::uint8_t type);
    void LogBuffer() const;

    int FSmoothing = 0;
    std::uint8_t FAcceptedFrames = 0;
    TVSFrameIndex FFrameType = vsfNone;
    std::string FFrameBuffer;
    float FEnergySum = 0;
    bool FTimedOut = false;
    // Close was called while the search or the handshake ran: they stop, whatever state the
    // call came in (the search closes the port itself between its attempts).
    bool FCloseAsked = false;
    TUsbLookup FUsb = TUsbLookup::System();
};
