#include "devices/serial/SerialPort.h"

#include "devices/serial/CommPortList.h"
#include "platform/SerialSpeed.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// Send dumps are development trace: off unless QT_LOGGING_RULES="kv.serial.debug=true".
Q_LOGGING_CATEGORY(lcSerial, "kv.serial", QtInfoMsg)

namespace {

constexpr int TurnMs = 75;          // longest wait of one worker turn
constexpr std::size_t MaxPacket = 64;
constexpr std::uint32_t RiChanged = 0x10000;  // internal: ring bit changed this turn

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Unsupported modem ioctls (pseudo terminals, some adapters) are not failures of the line.
bool IsUnsupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

bool IsVanished(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

struct TBaudDelay {
    std::uint32_t Baud;
    std::uint32_t Micros;
};

constexpr TBaudDelay BaudDelays[] = {
    {110, 100000}, {300, 37000}, {600, 18000},   {1200, 9000},   {2400, 4500},
    {4800, 2300},  {9600, 1100}, {14400, 760},   {19200, 570},   {38400, 290},
    {56000, 200},  {57600, 190}, {115200, 95},   {128000, 85},   {256000, 43},
};

}  // namespace

std::uint32_t SerialCharDelayForBaud(std::uint32_t baud) {
    std::uint32_t result = 1100;
    for (const TBaudDelay& row : BaudDelays)
        if (baud >= row.Baud)
            result = row.Micros;
    return result;
}

QString SerialDevicePath(const QString& commPort) {
    if (commPort.contains(QLatin1Char('/')))
        return commPort;
    return QStringLiteral("/dev/") + commPort;
}

QString SerialOpenErrorMessage(const QString& path, int osError) {
    QString msg = QStringLiteral("Error reopening Port");
    if (osError != EACCES && osError != EPERM)
        return msg;
    QString owner = QStringLiteral("dialout");
    struct stat st{};
    if (::stat(path.toLocal8Bit().constData(), &st) == 0) {
        if (const struct group* g = ::getgrgid(st.st_gid); g && g->gr_name && *g->gr_name)
            owner = QString::fromLocal8Bit(g->gr_name);
    }
    return msg + QStringLiteral(" (no permission for %1: the user must be a member of the group "
                                "\"%2\" that owns it; log in again after joining)")
                     .arg(path, owner);
}

bool SerialLineToTermios(termios& t, std::uint32_t baud, std::uint8_t dataBits,
                         std::uint8_t parity, std::uint8_t stopBits, std::int32_t flags, char xon,
                         char xoff) {
    ::cfmakeraw(&t);
    t.c_cflag &= ~CIBAUD;  // input speed follows the output speed
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | IGNPAR);
    bool valid = true;
    switch (dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: valid = false;
    }
    switch (parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;           // odd
    case 2: t.c_cflag |= PARENB; break;                    // even
    case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;  // mark
    case 4: t.c_cflag |= PARENB | CMSPAR; break;           // space
    default: valid = false;
    }
    switch (stopBits) {
    case 0: break;
    case 1:  // one and a half: the nearest the tty layer has is two
    case 2: t.c_cflag |= CSTOPB; break;
    default: valid = false;
    }
    // Bytes with errors are marked rather than turned into zeros, so that the reader can hand
    // them on as received or replace them.
    t.c_iflag &= ~PARMRK;
    if (flags & DCB_fParity)
        t.c_iflag |= INPCK | PARMRK;
    if (flags & (DCB_fOutxCtsFlow | DCB_fRtsHandshake))
        t.c_cflag |= CRTSCTS;
    if (flags & DCB_fOutX)
        t.c_iflag |= IXON;
    if (flags & DCB_fInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(xon);
    t.c_cc[VSTOP] = cc_t(xoff);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const unsigned code = StandardSpeedCode(baud);
    ::cfsetospeed(&t, code != 0 ? code : B9600);  // other rates: SetLineSpeed afterwards

    return valid;
}

std::uint32_t SerialUnmarkErrors(std::string& bytes, std::string& carry, bool replace, char replacement) {
    const std::string in = carry + bytes;
    carry.clear();
    std::string out;
    out.reserve(in.size());
    std::uint32_t errors = 0;
    for (std::size_t i = 0; i < in.size();) {
        if (in[i] != '\xff') {
            out += in[i++];
        } else if (i + 1 == in.size() || (in[i + 1] == '\0' && i + 2 == in.size())) {
            carry = in.substr(i);  // the rest of the mark is still in the queue
            break;
        } else if (in[i + 1] == '\xff') {
            out += '\xff';
            i += 2;
        } else if (in[i + 1] == '\0') {
            out += replace ? replacement : in[i + 2];
            errors = CE_RXPARITY;
            i += 3;
        } else {
            out += in[i++];  // no mark the tty layer makes: taken as it is
        }
    }
    bytes = std::move(out);
    return errors;
}

TSerialPortNG::TSerialPortNG(QObject* parent) : QObject(parent) {
    FPlatformId = GetPlatformId();
    FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TSerialPortNG::~TSerialPortNG() {
    FDestroying = true;
    if (FFd >= 0)
        CloseDevice();
    if (FWakeFd >= 0)
        ::close(FWakeFd);
}

// ---------------------------------------------------------------- open and close

void TSerialPortNG::SetActive(bool value) {
    if (value) {
        if (FActive)
            return;
        if (FFd >= 0)  // a vanished device not yet cleaned up
            CloseDevice();
        Activate();
    } else if (FFd >= 0) {
        CloseDevice();
    }
}

void TSerialPortNG::SetCommPort(const QString& value) {
    if (value == FCommPort)
        return;
    const bool wasActive = FFd >= 0;
    if (wasActive)
        CloseDevice();
    FCommPort = value;
    if (wasActive)
        Activate();
}

void TSerialPortNG::Activate() {
    ProcessError(110, 0, 2, QStringLiteral("Start reactivating Port"));
    if (FFd >= 0)
        return;  // the note's handler opened it
    const QString path = SerialDevicePath(FCommPort);
    const QByteArray native = path.toLocal8Bit();
    int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int err = errno;
    if (fd >= 0 && !::isatty(fd)) {
        err = ENOTTY;
        ::close(fd);
        fd = -1;
    }
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = EBUSY;  // another program holds the port
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        ProcessError(112, std::uint32_t(err), 0, SerialOpenErrorMessage(path, err));
        return;
    }
    ::ioctl(fd, TIOCEXCL);  // keeps others out; refused by some drivers, which is harmless
    FFd = fd;
    FLost = false;
    FStop = false;
    FActive = true;
    const int generation = ++FGeneration;
    ApplyLineSettings();
    if (FFd != fd || FGeneration != generation)
        return;  // an error handler closed the port
    FWorker = std::thread([this, fd, generation] { WorkerRun(fd, generation); });
}

void TSerialPortNG::CloseDevice() {
    ProcessError(100, 0, 2, QStringLiteral("Start deactivating Port"));
    if (FFd < 0)
        return;  // the note's handler closed it
    const int fd = std::exchange(FFd, -1);
    FActive = false;
    ++FGeneration;  // drops every event the worker has queued for this open
    int purgeErr = 0;
    if (!FLost && ::tcflush(fd, TCIOFLUSH) != 0)
        purgeErr = errno;
    // The worker must be gone before the descriptor is closed and its number reused.
    FStop = true;
    WakeWorker();
    if (FWorker.joinable())
        FWorker.join();
    {
        std::lock_guard lock(FLock);
        FPendingWrite = {};
    }
    FSendInProgress = false;
    ::ioctl(fd, TIOCNXCL);
    const int closeErr = ::close(fd) != 0 ? errno : 0;
    if (purgeErr != 0)
        ProcessError(102, std::uint32_t(purgeErr), 0, QStringLiteral("Error clearing Queues"));
    if (closeErr != 0)
        ProcessError(103, std::uint32_t(closeErr), 0, QStringLiteral("Error closing Port"));
}

void TSerialPortNG::WakeWorker() {
    if (FWakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(FWakeFd, &one, sizeof one);
    }
}

// ---------------------------------------------------------------- line settings

void TSerialPortNG::ApplyLineSettings() {
    if (FFd < 0)
        return;
    termios t{};
    if (::tcgetattr(FFd, &t) != 0) {
        ProcessError(801, std::uint32_t(errno), 0,
                     QStringLiteral("Error getting DCB from CommState"));
        return;
    }
    std::int32_t flags = DCB_fBinary | FFlowControl.load();
    if (FParityType != 0)
        flags |= DCB_fParity;
    if (FParityErrorReplacement)
        flags |= DCB_fErrorChar;
    if (FStripNullChars)
        flags |= DCB_fNull;

    const bool valid = SerialLineToTermios(t, FBaudRate, FDataBits, FParityType, FStopBits, flags,
                                           FXONChar, FXOFFChar);
    int err = 0;
    if (!valid)
        err = EINVAL;
    else if (::tcsetattr(FFd, TCSANOW, &t) != 0 || !SetLineSpeed(FFd, FBaudRate))
        err = errno;
    // The reader follows what the tty does now, also after a setting it refused in part (a
    // pseudo terminal takes parity checking but no parity bit).
    termios now{};
    if (::tcgetattr(FFd, &now) == 0)
        FMarkErrors = (now.c_iflag & PARMRK) != 0;
    FReplaceErrors = (flags & DCB_fErrorChar) != 0;
    if (err != 0)
        ProcessError(802, std::uint32_t(err), 0,
                     QStringLiteral("Error setting CommState, 87 indicate that Parms are incorrect"));
}

void TSerialPortNG::ReapplyLineSettings() {
    if (FFd >= 0 && FActive)
        ApplyLineSettings();
}

void TSerialPortNG::DeriveDelays() {
    const std::uint32_t micros = SerialCharDelayForBaud(FBaudRate);
    FRTOCharDelayTime = micros;
    FWTOCharDelayTime = micros;
}

namespace {
template <typename T, typename V>
bool Change(T& field, V value) {
    if (field == value)
        return false;
    field = value;
    return true;
}
}  // namespace

void TSerialPortNG::SetBaudRate(std::uint32_t value) {
    if (!Change(FBaudRate, value))
        return;
    if (FXTOAuto)
        DeriveDelays();
    ReapplyLineSettings();
}

void TSerialPortNG::SetParityType(std::uint8_t value) {
    if (Change(FParityType, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetParityErrorChar(char value) {
    if (Change(FParityErrorChar, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetParityErrorReplacement(bool value) {
    if (Change(FParityErrorReplacement, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetStopBits(std::uint8_t value) {
    if (Change(FStopBits, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetDataBits(std::uint8_t value) {
    if (Change(FDataBits, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetXONChar(char value) {
    if (Change(FXONChar, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetXOFFChar(char value) {
    if (Change(FXOFFChar, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetXONLimDiv(std::uint8_t value) {
    if (value > 100) {
        value = 100;
        ProcessError(100, 0, 1, QStringLiteral("Warning XOnLimDef set to 100"));
    }
    if (Change(FXONLimDiv, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetXOFFLimDiv(std::uint8_t value) {
    if (value > 100) {
        value = 100;
        ProcessError(100, 0, 1, QStringLiteral("Warning XOffLimDef set to 100"));
    }
    if (Change(FXOFFLimDiv, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetFlowControl(std::int32_t value) {
    if (FFlowControl.exchange(value) != value)
        ReapplyLineSettings();
}

void TSerialPortNG::SetStripNullChars(bool value) {
    if (FStripNullChars.exchange(value) != value)
        ReapplyLineSettings();
}

void TSerialPortNG::SetEventChar(char value) {
    if (FEventChar.exchange(value) != value)
        ReapplyLineSettings();
}

void TSerialPortNG::SetWTOCharDelayTime(std::uint32_t value) {
    if (Change(FWTOCharDelayTime, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetWTOExtraDelayTime(std::uint16_t value) {
    if (Change(FWTOExtraDelayTime, value))
        ReapplyLineSettings();
}

void TSerialPortNG::SetXTOAuto(bool value) {
    FXTOAuto = value;
    if (value)
        DeriveDelays();
}

void TSerialPortNG::SetReadRequest(bool value) {
    FReadRequest = value;
    if (value)
        WakeWorker();
}

// ---------------------------------------------------------------- output lines and queues

void TSerialPortNG::SetModemLine(int bit, bool on, std::uint32_t placeOn, std::uint32_t placeOff,
                                 const char* msgOn, const char* msgOff) {
    if (FFd < 0 || !FActive)
        return;
    if (::ioctl(FFd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return;
    const int err = errno;
    ProcessError(on ? placeOn : placeOff, std::uint32_t(err), IsUnsupported(err) ? 1 : 0,
                 QString::fromLatin1(on ? msgOn : msgOff));
}

void TSerialPortNG::SetRTSState(bool value) {
    FRTSState = value;
    SetModemLine(TIOCM_RTS, value, 501, 502, "Error setting RTS", "Error clearing RTS");
}

void TSerialPortNG::SetDTRState(bool value) {
    FDTRState = value;
    SetModemLine(TIOCM_DTR, value, 601, 602, "Error setting DTR", "Error clearing DTR");
}

void TSerialPortNG::SetBREAKState(bool value) {
    FBREAKState = value;
    if (FFd < 0 || !FActive)
        return;
    if (::ioctl(FFd, value ? TIOCSBRK : TIOCCBRK) == 0)
        return;
    const int err = errno;
    ProcessError(value ? 701 : 702, std::uint32_t(err), IsUnsupported(err) ? 1 : 0,
                 value ? QStringLiteral("Error setting BREAK State")
                       : QStringLiteral("Error clearing BREAK State"));
}

void TSerialPortNG::ClearRxDQueue() {
    if (FFd < 0 || !FActive)
        return;
    if (::tcflush(FFd, TCIFLUSH) != 0)
        ProcessError(301, std::uint32_t(errno), 0, QStringLiteral("Error clearing RxD Queue"));
}

void TSerialPortNG::ClearTxDQueue() {
    if (FFd < 0 || !FActive)
        return;
    {
        // Purging the transmit side also abandons the write in progress.
        std::lock_guard lock(FLock);
        FPendingWrite = {};
        FSendInProgress = false;
    }
    if (::tcflush(FFd, TCOFLUSH) != 0)
        ProcessError(401, std::uint32_t(errno), 0, QStringLiteral("Error clearing TxD Queue"));
}

// ---------------------------------------------------------------- data

void TSerialPortNG::SendData(const void* data, std::size_t count) {
    if (FSendInProgress) {
        ProcessError(901, 0, 2, QStringLiteral("Don't enter SendData while SendInProgress is set"));
        return;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    qCDebug(lcSerial).noquote() << [&] {
        QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                       + QStringLiteral(" Send = ");
        for (std::size_t i = 0; i < count; ++i)
            line += QStringLiteral("%1 ").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
        return line;
    }();
    if (FFd < 0 || !FActive) {
        ProcessError(903, EBADF, 0, QStringLiteral("Error writing Data"));
        return;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(FFd, bytes + done, count - done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN) {
                ProcessError(903, std::uint32_t(errno), 0, QStringLiteral("Error writing Data"));
                FSendInProgress = false;
                return;
            }
            break;
        }
    }
    if (done == count) {
        FWrittenBytes = std::uint32_t(count);
        if (OnWriteDone)
            OnWriteDone(this);
        return;
    }
    // The rest goes out from the worker as the line drains.
    {
        std::lock_guard lock(FLock);
        FPendingWrite.Data.assign(reinterpret_cast<const char*>(bytes + done), count - done);
        FPendingWrite.Count = count;
        FPendingWrite.DeadlineMs =
            NowMs() + std::int64_t(count) * FWTOCharDelayTime / 1000 + FWTOExtraDelayTime;
        FSendInProgress = true;
    }
    WakeWorker();
}

void TSerialPortNG::SendString(const std::string& s) {
    if (!s.empty())
        SendData(s.data(), s.size());
}

std::string TSerialPortNG::ReadNextClusterAsString() {
    return ReadNextCluster().Data;
}

TSerialCluster TSerialPortNG::ReadNextCluster() {
    std::lock_guard lock(FLock);
    if (FClusters.empty())
        return {};
    if (FKeepCluster)
        return FClusters.front();
    TSerialCluster result = std::move(FClusters.front());
    FClusters.pop_front();
    return result;
}

std::size_t TSerialPortNG::ClusterCount() const {
    std::lock_guard lock(FLock);
    return FClusters.size();
}

void TSerialPortNG::ProcessError(std::uint32_t place, std::uint32_t code, std::uint8_t noise,
                                 const QString& msg) {
    if (OnProcessError && !FDestroying && noise <= FErrorNoise)
        OnProcessError(this, place, code, msg, noise);
}

// ---------------------------------------------------------------- hand-off to the main thread

void TSerialPortNG::Post(int generation, std::function<void()> call) {
    if (FThreadQuietMode)
        return;
    // The port itself is the context: Qt drops the call when the port is gone, and the
    // generation check drops calls of an earlier open.
    QMetaObject::invokeMethod(
        this,
        [this, generation, call = std::move(call)] {
            if (generation != FGeneration || FDestroying)
                return;
            try {
                call();
            } catch (const std::exception& e) {
                qCritical("Serial port event failed: %s", e.what());
            } catch (...) {
                qCritical("Serial port event failed");
            }
        },
        Qt::QueuedConnection);
}

void TSerialPortNG::PostError(int generation, TWorkerError error) {
    Post(generation, [this, error] { ProcessError(error.Place, error.Code, error.Noise, error.Msg); });
}

void TSerialPortNG::PostLost(int generation, TWorkerError error) {
    const bool quiet = FThreadQuietMode;
    QMetaObject::invokeMethod(
        this,
        [this, generation, error, quiet] {
            if (generation != FGeneration || FDestroying)
                return;  // closed or reopened meanwhile: nothing left to report
            try {
                CloseDevice();
                if (!quiet)
                    ProcessError(error.Place, error.Code, error.Noise, error.Msg);
            } catch (const std::exception& e) {
                qCritical("Serial port event failed: %s", e.what());
            } catch (...) {
                qCritical("Serial port event failed");
            }
        },
        Qt::QueuedConnection);
}

void TSerialPortNG::DeliverEvents(std::uint32_t mask) {
    const int generation = FGeneration;
    QPointer<TSerialPortNG> self(this);
    // A handler may close the port: the rest of the turn's events then belong to nobody.
    auto fire = [&](std::uint32_t bit, const TNotifyEvent& event) {
        if ((mask & bit) && event && self && generation == FGeneration)
            event(this);
    };
    fire(RiChanged, OnRIEvent);
    fire(EV_BREAK, OnBreakEvent);
    fire(EV_CTS, OnCTSEvent);
    fire(EV_DSR, OnDSREvent);
    fire(EV_ERR, OnLineErrorEvent);
    fire(EV_RING, OnRingEvent);
    fire(EV_RLSD, OnRLSDEvent);
    fire(EV_RXCHAR, OnRxCharEvent);
    fire(EV_RXFLAG, OnRxEventCharEvent);
    fire(EV_TXEMPTY, OnTxQueueEmptyEvent);
    if (mask & ~RiChanged)
        fire(mask, OnCommEvent);
}

// ---------------------------------------------------------------- worker thread

void TSerialPortNG::WorkerRun(int fd, int generation) {
    auto notify = [&](TNotifyEvent TSerialPortNG::*event) {
        Post(generation, [this, event] {
            if (this->*event)
                (this->*event)(this);
        });
    };
    auto lost = [&](int err) {
        FActive = false;
        FLost = true;
        PostLost(generation, {9804, std::uint32_t(err), 0, QStringLiteral("Error reading Data")});
    };

    bool modemOk = true;
    bool icountOk = true;
    std::uint32_t prevModem = 0;
    serial_icounter_struct prevCount{};
    std::uint32_t prevError = 0, prevIn = 0, prevOut = 0;
    std::uint32_t prevQueued = 0;
    bool firstTurn = true;
    bool hangup = false;
    bool txEmptyPending = false;
    std::int64_t lastRead = NowMs();
    char buffer[MaxPacket];
    std::string markCarry;  // the start of an error mark cut by the end of a read

    while (!FStop) {
        std::uint32_t mask = 0;
        const std::int64_t now = NowMs();

        // Modem lines
        if (modemOk) {
            int bits = 0;
            const int rc = ::ioctl(fd, TIOCMGET, &bits);
            if (rc != 0 && IsVanished(errno)) {
                hangup = true;  // told once, by the read below
            } else if (rc == 0) {
                const std::uint32_t ms = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) |
                                         ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
                                         ((bits & TIOCM_RNG) ? MS_RING_ON : 0) |
                                         ((bits & TIOCM_CAR) ? MS_RLSD_ON : 0);
                const std::uint32_t changed = firstTurn ? 0 : ms ^ prevModem;
                if (changed & MS_CTS_ON) mask |= EV_CTS;
                if (changed & MS_DSR_ON) mask |= EV_DSR;
                if (changed & MS_RLSD_ON) mask |= EV_RLSD;
                if (changed & MS_RING_ON) {
                    mask |= RiChanged;
                    if (ms & MS_RING_ON)
                        mask |= EV_RING;
                }
                prevModem = ms;
                FModemState = ms;
            } else {
                // Asked once per open: a line that cannot report its modem lines still carries data.
                modemOk = false;
                const int err = errno;
                PostError(generation, {9905, std::uint32_t(err), std::uint8_t(IsUnsupported(err) ? 1 : 0),
                                       QStringLiteral("Error getting ModemStatus")});
            }
        }

        // Line errors, from the driver's counters where it keeps them
        std::uint32_t commError = 0;
        if (icountOk) {
            serial_icounter_struct count{};
            if (::ioctl(fd, TIOCGICOUNT, &count) == 0) {
                if (!firstTurn) {
                    if (count.buf_overrun != prevCount.buf_overrun) commError |= CE_RXOVER;
                    if (count.overrun != prevCount.overrun) commError |= CE_OVERRUN;
                    if (count.parity != prevCount.parity) commError |= CE_RXPARITY;
                    if (count.frame != prevCount.frame) commError |= CE_FRAME;
                    if (count.brk != prevCount.brk) commError |= CE_BREAK;
                }
                prevCount = count;
            } else {
                icountOk = false;
            }
        }
        if (commError & CE_BREAK)
            mask |= EV_BREAK;
        if (commError & ~CE_BREAK)
            mask |= EV_ERR;

        int inq = 0;
        if (::ioctl(fd, TIOCINQ, &inq) != 0) {
            if (IsVanished(errno) || hangup) {
                lost(hangup ? EIO : errno);
                return;
            }
            inq = 0;
        }
        if (hangup && inq <= 0) {
            lost(EIO);
            return;
        }
        int outq = 0;
        if (::ioctl(fd, TIOCOUTQ, &outq) != 0)
            outq = 0;
        FCommError = commError;
        FInQueue = std::uint32_t(inq);
        FOutQueue = std::uint32_t(outq);
        if (commError != prevError || std::uint32_t(inq) != prevIn || std::uint32_t(outq) != prevOut)
            notify(&TSerialPortNG::OnCommStat);
        prevError = commError;
        prevIn = std::uint32_t(inq);
        prevOut = std::uint32_t(outq);
        firstTurn = false;

        // Write in progress
        std::int64_t writeDeadline = 0;
        if (FSendInProgress) {
            std::unique_lock lock(FLock);
            auto& w = FPendingWrite;
            int err = 0;
            while (!w.Data.empty()) {
                const ssize_t n = ::write(fd, w.Data.data(), w.Data.size());
                if (n > 0) {
                    w.Data.erase(0, std::size_t(n));
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno != EAGAIN)
                    err = errno;
                break;
            }
            if (FSendInProgress) {  // not purged meanwhile
                if (err != 0 && IsVanished(err)) {
                    lock.unlock();
                    lost(err);
                    return;
                }
                const std::uint32_t written = std::uint32_t(w.Count - w.Data.size());
                if (w.Data.empty() || err != 0 || NowMs() > w.DeadlineMs) {
                    const bool complete = w.Data.empty();
                    w = {};
                    FWrittenBytes = written;
                    FSendInProgress = false;
                    lock.unlock();
                    if (err != 0)
                        PostError(generation, {9702, std::uint32_t(err), 0,
                                               QStringLiteral("Error getting Overlapped Result")});
                    else if (!complete)
                        PostError(generation, {9701, ETIMEDOUT, 0, QStringLiteral("Error write TimeOut")});
                    notify(&TSerialPortNG::OnWriteDone);
                    txEmptyPending = true;
                } else {
                    writeDeadline = w.DeadlineMs;
                }
            }
        }
        if (txEmptyPending && !FSendInProgress && outq == 0) {
            mask |= EV_TXEMPTY;
            txEmptyPending = false;
        }

        // Read: a packet is ready at ClusterSize bytes, on request, after a line error, or
        // when the line has been quiet for the character time-out.
        bool hold = false;
        std::int64_t readDeadline = 0;
        if (inq > 0) {
            if (std::uint32_t(inq) > prevQueued)
                mask |= EV_RXCHAR;
            readDeadline = lastRead + std::int64_t(inq) * FRTOCharDelayTime / 1000 + FRTOExtraDelayTime;
            hold = !hangup && !FReadRequest && inq < FClusterSize && commError == 0 && now <= readDeadline;
            if (hold) {
                prevQueued = std::uint32_t(inq);
            } else {
                const ssize_t n = ::read(fd, buffer, std::min<std::size_t>(std::size_t(inq), MaxPacket));
                if (n > 0) {
                    FReadRequest = false;
                    TSerialCluster cluster{std::string(buffer, std::size_t(n)), commError};
                    if (FMarkErrors) {
                        if (SerialUnmarkErrors(cluster.Data, markCarry, FReplaceErrors, FParityErrorChar) != 0) {
                            cluster.CommError |= CE_RXPARITY;
                            FCommError |= CE_RXPARITY;
                            mask |= EV_ERR;
                        }
                    } else if (!markCarry.empty()) {
                        cluster.Data.insert(0, std::exchange(markCarry, {}));  // marking was switched off
                    }
                    if (cluster.Data.find(FEventChar.load()) != std::string::npos)
                        mask |= EV_RXFLAG;
                    // The tty layer cannot drop NUL bytes itself.
                    if (FStripNullChars || (FFlowControl & DCB_fNull))
                        std::erase(cluster.Data, '\0');
                    lastRead = NowMs();
                    if (!cluster.Data.empty()) {
                        {
                            std::lock_guard lock(FLock);
                            FClusters.push_back(std::move(cluster));
                        }
                        notify(&TSerialPortNG::OnRxClusterEvent);
                    }
                    prevQueued = std::uint32_t(inq) - std::uint32_t(n);
                } else if (n == 0 || IsVanished(errno)) {
                    lost(n == 0 ? EIO : errno);
                    return;
                } else if (errno != EAGAIN && errno != EINTR) {
                    FReadRequest = false;
                    PostError(generation, {9804, std::uint32_t(errno), 0, QStringLiteral("Error reading Data")});
                }
            }
        } else {
            lastRead = now;
            prevQueued = 0;
        }

        if (mask & ~RiChanged)
            FCommEvent = mask & ~RiChanged;
        if (mask)
            Post(generation, [this, mask] { DeliverEvents(mask); });

        // Wait for the line, the wake-up descriptor or the next due time.
        std::int64_t timeout = TurnMs;
        if (hold) {
            const std::int64_t charMs = std::clamp<std::int64_t>(FRTOCharDelayTime / 1000, 1, 10);
            timeout = std::min({timeout, charMs, std::max<std::int64_t>(readDeadline - NowMs() + 1, 0)});
        }
        if (writeDeadline != 0)
            timeout = std::min(timeout, std::max<std::int64_t>(writeDeadline - NowMs() + 1, 0));
        if (hangup)
            timeout = 0;
        pollfd fds[2] = {
            {fd, short((hold ? 0 : POLLIN) | (writeDeadline != 0 ? POLLOUT : 0)), 0},
            {FWakeFd, POLLIN, 0},
        };
        const int r = ::poll(fds, FWakeFd >= 0 ? 2 : 1, int(timeout));
        if (r < 0 && errno != EINTR) {
            // Cannot wait any more: end this open rather than spin.
            FActive = false;
            FLost = true;
            PostLost(generation, {9911, std::uint32_t(errno), 0, QStringLiteral("Error getting Overlappedresult")});
            return;
        }
        if (r > 0) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                hangup = true;  // read what is left first, then report the loss
            if (fds[1].revents & POLLIN) {
                std::uint64_t value;
                [[maybe_unused]] auto n = ::read(FWakeFd, &value, sizeof value);
            }
        }
    }
}
