// The third-generation machine over the air: a wireless sensor sends flywheel intervals to an
// ANT USB stick. The stick's library (our own kvant, loaded at run time by name) hands them to
// two callbacks on its own thread; a worker thread passes them on to the main thread, where
// each wheel interval enters the pulse chain and the stroke engine of the KV interface.
#pragma once

#include "devices/FlywheelInterface.h"
#include "devices/ant/KvAnt.h"
#include "devices/serial/UsbAdapters.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TKWInterface;

using TOnStatusMessageEvent = std::function<void(TInterface* Sender, const QString& AMessage)>;
using TOnRawPacketEvent = std::function<void(TInterface* Sender, const QString& APacket)>;
using TOnWheelDataEvent = std::function<void(TInterface* Sender, Word AWheel)>;

inline constexpr std::uint8_t kKWInterfaceType = 6;
inline constexpr int kKWNoDataTimeoutMs = 5000;
// The library's file name; it is looked for next to the program first.
QString DefaultAntLibraryName();

// The 20 entry points of the stick library, resolved by name.
struct TAntEntryPoints {
    decltype(&ANT_Init) Init = nullptr;
    decltype(&ANT_Close) Close = nullptr;
    decltype(&ANT_ResetSystem) ResetSystem = nullptr;
    decltype(&ANT_AssignChannel) AssignChannel = nullptr;
    decltype(&ANT_UnAssignChannel) UnAssignChannel = nullptr;
    decltype(&ANT_SetChannelId) SetChannelId = nullptr;
    decltype(&ANT_SetChannelPeriod) SetChannelPeriod = nullptr;
    decltype(&ANT_SetChannelRFFreq) SetChannelRFFreq = nullptr;
    decltype(&ANT_SetTransmitPower) SetTransmitPower = nullptr;
    decltype(&ANT_OpenChannel) OpenChannel = nullptr;
    decltype(&ANT_CloseChannel) CloseChannel = nullptr;
    decltype(&ANT_SetNetworkKey) SetNetworkKey = nullptr;
    decltype(&ANT_RequestMessage) RequestMessage = nullptr;
    decltype(&ANT_AssignResponseFunction) AssignResponseFunction = nullptr;
    decltype(&ANT_AssignChannelEventFunction) AssignChannelEventFunction = nullptr;
    decltype(&ANT_UnassignAllResponseFunctions) UnassignAllResponseFunctions = nullptr;
    decltype(&ANT_Nap) Nap = nullptr;
    decltype(&ANT_GetDeviceUSBInfo) GetDeviceUSBInfo = nullptr;
    decltype(&ANT_GetDeviceUSBPID) GetDeviceUSBPID = nullptr;
    decltype(&ANT_LibVersion) LibVersion = nullptr;
};

// What the callbacks share with the main thread during one connection. The callbacks write
// only here; counters are atomics, the queues and the device identity sit behind one lock.
struct TKWShared {
    TAntEntryPoints* Ant = nullptr;
    std::uint8_t Channel = 0;
    bool AllMessages = false;
    std::atomic<bool> ResponseEnabled{false};
    std::atomic<bool> ChannelEventEnabled{false};
    unsigned char ResponseBuffer[KVANT_MESSAGE_BUFFER_SIZE] = {};
    unsigned char ChannelEventBuffer[KVANT_MESSAGE_BUFFER_SIZE] = {};

    std::atomic<std::uint32_t> TotalNopePackets{0}, TotalWheelPackets{0};
    std::atomic<std::uint32_t> LostNopePackets{0}, LostWheelPackets{0};
    std::atomic<std::uint8_t> LastNopeSequence{0}, LastWheelSequence{0};
    // Library thread only: whether a packet of each kind came in this connection.
    bool NopeSeen = false, WheelSeen = false;

    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<QString> StatusLines, RawLines;
    std::deque<Word> Wheels;
    bool CountersChanged = false;
    bool ValidData = false;
    bool DeviceLost = false;
    QString DeviceID;  // set once per connection

    void Reset();
};

// Carries what the callbacks queued over to the main thread: each turn at most one item of
// each queue, posted to the interface without waiting for it; it sleeps while nothing waits.
class TKV3WIThread {
public:
    TKV3WIThread(TKWInterface* owner, TKWShared* shared, int generation);
    ~TKV3WIThread() { Stop(); }
    TKV3WIThread(const TKV3WIThread&) = delete;
    TKV3WIThread& operator=(const TKV3WIThread&) = delete;

    void Start();
    void Stop();  // terminated and joined; it never waits for the main thread

private:
    void Execute();

    TKWInterface* FOwner;
    TKWShared* FShared;
    int FGeneration;
    bool FTerminated = false;  // under FShared->Lock
    std::thread FThread;
};

class TKWInterface : public TKVInterface {
public:
    TKWInterface(TCreateKey key, QObject* owner);
    ~TKWInterface() override;

    bool IsConnected() const override { return FAntConnectedFlag; }
    void ComPortUpdateList() override;

    void LoadAntLib();
    void UnloadAntLib();
    void StatusMessage(const QString& Text);
    void ProcessWheelData(Word Wheel);

    // Properties
    bool AntBusyFlag() const { return FAntBusyFlag; }
    bool AntLoadedFlag() const { return FAntLoadedFlag; }
    bool AntConnectedFlag() const { return FAntConnectedFlag; }
    Word AntBaudrate = 57600;
    std::uint8_t AntChannel = 0;
    std::uint8_t AntChanType = 0;
    std::uint8_t AntChanFrequency = 66;
    Word AntDevice = 0;
    std::uint8_t AntDevType = 1;
    std::uint8_t AntNetNumber = 0;
    std::uint8_t AntTransType = 1;
    std::uint8_t AntTransPower = 3;
    Word AntMessPeriod = 256;
    Word AntDelay = 10;
    bool AllMessages = false;
    // The stick library's file name or path (a bare name is looked for next to the program
    // first, then where the system looks).
    QString AntLibraryName = DefaultAntLibraryName();
    const TUsbLookup& UsbLookup() const { return FUsb; }
    void SetUsbLookup(const TUsbLookup& value) { FUsb = value; }

    std::uint32_t TotalNopePackets() const { return FShared->TotalNopePackets; }
    std::uint32_t TotalWheelpackets() const { return FShared->TotalWheelPackets; }
    std::uint32_t LostNopePackets() const { return FShared->LostNopePackets; }
    std::uint32_t LostWheelPackets() const { return FShared->LostWheelPackets; }
    std::uint8_t LastNopeSequence() const { return FShared->LastNopeSequence; }
    std::uint8_t LastWheelSequence() const { return FShared->LastWheelSequence; }

    TOnStatusMessageEvent OnStatusMessage;
    TNotifyEvent OnStatusUpdate;
    TOnRawPacketEvent OnRawPacket;
    TOnWheelDataEvent OnWheelData;
    TNotifyEvent OnUpdateCounters;

protected:
    void ComPortOpen() override;
    void ComPortClose() override;

private:
    friend class TKV3WIThread;
    // One turn of the worker, on the main thread; items of an older connection are dropped.
    void HandOver(int generation, const QString* status, bool counters, const QString* raw,
                  const Word* wheel, bool lost);
    // The set-up steps; false after the first that failed (its name in failedStep).
    bool Connect(QString& failedStep);
    // Callbacks off, library released from the stick, worker joined: quiet, no events.
    void Disconnect();
    // Another interface holds the stick: this one leaves it alone.
    bool StickTaken() const;
    void ReleaseStick();
    bool GetAntLibrary(QString& error);
    bool FreeAntLibrary();
    void ScanDevices();
    // A take-down step: its status line, then the call; AntDelay follows each.
    struct TStep {
        const char* Name;
        std::function<void()> Run;
    };
    TStep RemoveResponseFunctionStep(bool onlyIfFree);
    TStep RemoveChannelEventFunctionStep(bool onlyIfFree);
    // Runs the steps while goOn() holds; false when the interface went away meanwhile.
    bool RunSteps(const std::vector<TStep>& steps, const std::function<bool()>& goOn);
    // The three flags: OnStatusUpdate when one changes.
    void SetFlag(bool& flag, bool value);
    void Wait(unsigned ms);

    bool FAntBusyFlag = false;
    bool FAntLoadedFlag = false;
    bool FAntConnectedFlag = false;
    void* FLibrary = nullptr;
    TAntEntryPoints FAnt;
    std::unique_ptr<TKWShared> FShared;
    std::unique_ptr<TKV3WIThread> FThread;
    int FGeneration = 0;
    QString FLoadError;
    TUsbLookup FUsb = TUsbLookup::System();
};

// The sticks the system knows (description-PID-serial from sysfs; List cleared first).
void GetAntRegistryDevices(QStringList& List, const TUsbLookup& usb = TUsbLookup::System());
