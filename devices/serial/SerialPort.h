// Serial port component of the device interfaces: one tty opened non-blocking, its line
// settings through termios, and a worker thread that does all waiting and reading and hands
// every packet, line event and error to the main thread with a queued call.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct termios;

// Line-event bits, as the event mask of a turn (CommEvent).
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;

// Comm-error bits (CommError).
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// Modem-status bits (ModemState).
inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;

// Flag bits of the classic device control block, as FlowControl carries them.
inline constexpr std::int32_t DCB_fBinary = 0x0001;
inline constexpr std::int32_t DCB_fParity = 0x0002;
inline constexpr std::int32_t DCB_fOutxCtsFlow = 0x0004;
inline constexpr std::int32_t DCB_fOutxDsrFlow = 0x0008;
inline constexpr std::int32_t DCB_fDtrControlMask = 0x0030;
inline constexpr std::int32_t DCB_fDsrSensitivity = 0x0040;
inline constexpr std::int32_t DCB_fTXContinueOnXoff = 0x0080;
inline constexpr std::int32_t DCB_fOutX = 0x0100;
inline constexpr std::int32_t DCB_fInX = 0x0200;
inline constexpr std::int32_t DCB_fErrorChar = 0x0400;
inline constexpr std::int32_t DCB_fNull = 0x0800;
inline constexpr std::int32_t DCB_fRtsControlMask = 0x3000;
inline constexpr std::int32_t DCB_fRtsHandshake = 0x2000;
inline constexpr std::int32_t DCB_fAbortOnError = 0x4000;

struct TComStateFlags {
    bool fCtlHold = false;
    bool fDsrHold = false;
    bool fRlsHold = false;
    bool fXoffHold = false;
    bool fXOffSent = false;
    bool fEof = false;
    bool fTxim = false;
};

// The open-error text of place 112: the plain text, plus for a refused permission the group
// that owns the device (so the user knows which group to join).
QString SerialOpenErrorMessage(const QString& path, int osError);

// "\\.\COM1"-style names do not exist here: a name without a '/' is taken below /dev.
QString SerialDevicePath(const QString& commPort);

// Raw-mode termios for the line settings (flags: DCB flag bits); false when a value has no
// tty equivalent.
bool SerialLineToTermios(termios& t, std::uint32_t baud, std::uint8_t dataBits,
                         std::uint8_t parity, std::uint8_t stopBits, std::int32_t flags, char xon,
                         char xoff);

// Character time in µs for a baud rate, from the fixed table (1100 below 110 baud).
std::uint32_t SerialCharDelayForBaud(std::uint32_t baud);

// With parity checking on, the tty layer marks what it read (PARMRK): a byte received with a
// parity or framing error as FF 00 b, a real FF as FF FF. Undoes the marking in place: a marked
// byte becomes `replacement` when `replace` is set, else stays as received. A mark cut by the end
// of the bytes waits in `carry` for the next read. CE_RXPARITY when a marked byte was found.
std::uint32_t SerialUnmarkErrors(std::string& bytes, std::string& carry, bool replace, char replacement);

// One packet read from the line, with the line errors (CE_ bits) at the time of its read.
struct TSerialCluster {
    std::string Data;
    std::uint32_t CommError = 0;
};

class TSerialPortNG : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TSerialPortNG* Sender)>;
    using TNotifyErrorEvent = std::function<void(TSerialPortNG* Sender, std::uint32_t Place,
                                                 std::uint32_t Code, const QString& Msg,
                                                 std::uint8_t Noise)>;

    explicit TSerialPortNG(QObject* parent = nullptr);
    ~TSerialPortNG() override;
    TSerialPortNG(const TSerialPortNG&) = delete;
    TSerialPortNG& operator=(const TSerialPortNG&) = delete;

    // Open state
    bool Active() const { return FActive.load(); }
    void SetActive(bool value);
    int ComHandle() const { return FFd; }  // -1 while closed
    const QString& CommPort() const { return FCommPort; }
    void SetCommPort(const QString& value);

    // Line settings (re-applied at once while active)
    std::uint32_t BaudRate() const { return FBaudRate; }
    void SetBaudRate(std::uint32_t value);
    std::uint8_t ParityType() const { return FParityType; }
    void SetParityType(std::uint8_t value);
    char ParityErrorChar() const { return FParityErrorChar.load(); }
    void SetParityErrorChar(char value);
    bool ParityErrorReplacement() const { return FParityErrorReplacement; }
    void SetParityErrorReplacement(bool value);
    std::uint8_t StopBits() const { return FStopBits; }
    void SetStopBits(std::uint8_t value);
    std::uint8_t DataBits() const { return FDataBits; }
    void SetDataBits(std::uint8_t value);
    char XONChar() const { return FXONChar; }
    void SetXONChar(char value);
    char XOFFChar() const { return FXOFFChar; }
    void SetXOFFChar(char value);
    std::uint8_t XONLimDiv() const { return FXONLimDiv; }
    void SetXONLimDiv(std::uint8_t value);
    std::uint8_t XOFFLimDiv() const { return FXOFFLimDiv; }
    void SetXOFFLimDiv(std::uint8_t value);
    std::int32_t FlowControl() const { return FFlowControl.load(); }
    void SetFlowControl(std::int32_t value);
    bool StripNullChars() const { return FStripNullChars.load(); }
    void SetStripNullChars(bool value);
    char EventChar() const { return FEventChar.load(); }
    void SetEventChar(char value);
    // The XON/XOFF limits in bytes the settings stand for (queue size x percent / 100).
    std::uint32_t XonLim() const { return std::uint32_t(FRxQueueSize) * FXONLimDiv / 100; }
    std::uint32_t XoffLim() const { return std::uint32_t(FRxQueueSize) * FXOFFLimDiv / 100; }

    // Time-outs and packets
    std::uint32_t RTOCharDelayTime() const { return FRTOCharDelayTime.load(); }
    void SetRTOCharDelayTime(std::uint32_t value) { FRTOCharDelayTime = value; }
    std::uint16_t RTOExtraDelayTime() const { return FRTOExtraDelayTime.load(); }
    void SetRTOExtraDelayTime(std::uint16_t value) { FRTOExtraDelayTime = value; }
    std::uint16_t ClusterSize() const { return FClusterSize.load(); }
    void SetClusterSize(std::uint16_t value) { FClusterSize = value; }
    std::uint16_t RxQueueSize() const { return FRxQueueSize; }
    void SetRxQueueSize(std::uint16_t value) { FRxQueueSize = value; }
    std::uint16_t TxQueueSize() const { return FTxQueueSize; }
    void SetTxQueueSize(std::uint16_t value) { FTxQueueSize = value; }
    std::uint32_t WTOCharDelayTime() const { return FWTOCharDelayTime; }
    void SetWTOCharDelayTime(std::uint32_t value);
    std::uint16_t WTOExtraDelayTime() const { return FWTOExtraDelayTime; }
    void SetWTOExtraDelayTime(std::uint16_t value);
    bool XTOAuto() const { return FXTOAuto; }
    void SetXTOAuto(bool value);

    // Output lines
    bool RTSState() const { return FRTSState; }
    void SetRTSState(bool value);
    bool DTRState() const { return FDTRState; }
    void SetDTRState(bool value);
    bool BREAKState() const { return FBREAKState; }
    void SetBREAKState(bool value);

    // Input lines and last values seen by the worker
    bool CTSState() const { return FModemState.load() & MS_CTS_ON; }
    bool DSRState() const { return FModemState.load() & MS_DSR_ON; }
    bool RLSDState() const { return FModemState.load() & MS_RLSD_ON; }
    bool RingState() const { return FModemState.load() & MS_RING_ON; }
    std::uint32_t CommError() const { return FCommError.load(); }
    std::uint32_t CommStateInQueue() const { return FInQueue.load(); }
    std::uint32_t CommStateOutQueue() const { return FOutQueue.load(); }
    std::uint32_t ModemState() const { return FModemState.load(); }
    std::uint32_t CommEvent() const { return FCommEvent.load(); }
    std::uint32_t WrittenBytes() const { return FWrittenBytes.load(); }
    TComStateFlags CommStateFlags() const { return {}; }  // the tty layer reports no hold states

    std::uint8_t ErrorNoise() const { return FErrorNoise; }
    void SetErrorNoise(std::uint8_t value) { FErrorNoise = value; }
    bool ReadRequest() const { return FReadRequest.load(); }
    void SetReadRequest(bool value);
    bool SendInProgress() const { return FSendInProgress.load(); }
    bool ThreadQuietMode() const { return FThreadQuietMode.load(); }
    void SetThreadQuietMode(bool value) { FThreadQuietMode = value; }
    bool AutoReadRequest() const { return FAutoReadRequest; }
    void SetAutoReadRequest(bool value) { FAutoReadRequest = value; }
    // Set by a reader that only peeks: ReadNextClusterAsString then leaves the packet queued.
    bool KeepCluster() const { return FKeepCluster; }
    void SetKeepCluster(bool value) { FKeepCluster = value; }
    int PlatformId() const { return FPlatformId; }

    // Operations
    void ClearRxDQueue();
    void ClearTxDQueue();
    void SendData(const void* data, std::size_t count);
    void SendString(const std::string& s);
    std::string ReadNextClusterAsString();
    // The oldest packet and its error word (empty when none); removed unless KeepCluster is set.
    TSerialCluster ReadNextCluster();
    std::size_t ClusterCount() const;
    void ProcessError(std::uint32_t place, std::uint32_t code, std::uint8_t noise,
                      const QString& msg);

    // Events, all on the main thread
    TNotifyEvent OnCommEvent;
    TNotifyEvent OnCommStat;
    TNotifyEvent OnTxQueueEmptyEvent;
    TNotifyEvent OnWriteDone;
    TNotifyEvent OnBreakEvent;
    TNotifyEvent OnCTSEvent;
    TNotifyEvent OnDSREvent;
    TNotifyEvent OnLineErrorEvent;
    TNotifyEvent OnRingEvent;
    TNotifyEvent OnRIEvent;
    TNotifyEvent OnRLSDEvent;
    TNotifyEvent OnRxClusterEvent;
    TNotifyEvent OnRxCharEvent;
    TNotifyEvent OnRxEventCharEvent;
    TNotifyErrorEvent OnProcessError;

private:
    struct TWorkerError {
        std::uint32_t Place = 0;
        std::uint32_t Code = 0;
        std::uint8_t Noise = 0;
        QString Msg;
    };

    // Main thread
    void Activate();
    void CloseDevice();
    void ApplyLineSettings();
    void ReapplyLineSettings();
    void DeriveDelays();
    void SetModemLine(int bit, bool on, std::uint32_t placeOn, std::uint32_t placeOff,
                      const char* msgOn, const char* msgOff);
    void WakeWorker();

    // Worker thread
    void WorkerRun(int fd, int generation);
    void Post(int generation, std::function<void()> call);
    void PostError(int generation, TWorkerError error);
    void PostLost(int generation, TWorkerError error);
    void DeliverEvents(std::uint32_t mask);

    QString FCommPort = QStringLiteral("COM2");
    std::uint32_t FBaudRate = 9600;
    std::uint8_t FParityType = 0;
    std::atomic<char> FParityErrorChar{0};
    bool FParityErrorReplacement = false;
    std::uint8_t FStopBits = 0;
    std::uint8_t FDataBits = 8;
    char FXONChar = 17;
    char FXOFFChar = 19;
    std::uint8_t FXONLimDiv = 33;
    std::uint8_t FXOFFLimDiv = 33;
    std::atomic<std::int32_t> FFlowControl{0};
    std::atomic<bool> FStripNullChars{false};
    std::atomic<char> FEventChar{0};
    std::atomic<std::uint32_t> FRTOCharDelayTime{1100};
    std::atomic<std::uint16_t> FRTOExtraDelayTime{250};
    std::atomic<std::uint16_t> FClusterSize{3072};
    std::uint16_t FRxQueueSize = 4096;
    std::uint16_t FTxQueueSize = 4096;
    std::uint32_t FWTOCharDelayTime = 1100;
    std::uint16_t FWTOExtraDelayTime = 250;
    bool FXTOAuto = true;
    bool FRTSState = false;
    bool FDTRState = false;
    bool FBREAKState = false;
    std::uint8_t FErrorNoise = 255;
    bool FAutoReadRequest = false;
    bool FKeepCluster = false;
    int FPlatformId = 0;

    // Shared with the worker
    std::atomic<bool> FActive{false};
    std::atomic<bool> FReadRequest{false};
    std::atomic<bool> FSendInProgress{false};
    std::atomic<bool> FThreadQuietMode{false};
    std::atomic<bool> FStop{false};
    std::atomic<bool> FLost{false};  // the worker saw the device vanish
    // As the line is set: the tty marks bytes with errors, and the reader replaces them.
    std::atomic<bool> FMarkErrors{false};
    std::atomic<bool> FReplaceErrors{false};
    std::atomic<std::uint32_t> FCommError{0};
    std::atomic<std::uint32_t> FInQueue{0};
    std::atomic<std::uint32_t> FOutQueue{0};
    std::atomic<std::uint32_t> FModemState{0};
    std::atomic<std::uint32_t> FCommEvent{0};
    std::atomic<std::uint32_t> FWrittenBytes{0};

    mutable std::mutex FLock;                            // guards the two below
    std::deque<TSerialCluster> FClusters;  // packets read, oldest first
    struct {
        std::string Data;         // bytes still to write
        std::size_t Count = 0;    // bytes of the whole write
        std::int64_t DeadlineMs = 0;
    } FPendingWrite;

    int FFd = -1;
    int FWakeFd = -1;
    std::thread FWorker;
    int FGeneration = 0;  // main thread only: counts opens and closes
    bool FDestroying = false;
};
