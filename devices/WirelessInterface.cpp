#include "devices/WirelessInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

#include <cmath>
#include <dlfcn.h>
#include <optional>

#ifndef KV_ANT_LIBRARY_NAME
#define KV_ANT_LIBRARY_NAME "libkvant.so"
#endif

namespace {

constexpr int kWorkerPollMs = 5;
constexpr int kOpenWaitMs = 10;
constexpr int kOpenWaitTurns = 2 * kKWNoDataTimeoutMs / kOpenWaitMs;
constexpr int kMaxDeviceNumber = 255;
constexpr std::uint8_t kFirstWheelSequence = 16;
constexpr int kWheelSequences = 256 - kFirstWheelSequence;
// The set-up the response chain repeats, whatever the properties say.
constexpr std::uint8_t kChainDeviceType = 1, kChainTransType = 1, kChainFrequency = 66;
constexpr Word kChainPeriod = 256;

const QString kDashes(77, QLatin1Char('-'));

// The connection the callbacks serve; the library has no context argument.
std::mutex gSessionLock;
TKWShared* gSession = nullptr;

// The library drives one stick for the whole process. The interface that holds it, from the
// start of its connect to the end of its disconnect, is the only one that calls into the stick
// (main thread only).
const TKWInterface* gStickOwner = nullptr;

QString Hex2(unsigned v) {
    return QStringLiteral("%1").arg(v & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString DecHex(unsigned v) {
    return QStringLiteral("%1 ($%2)").arg(v).arg(v, 0, 16);
}

QString BufferLine(const char* name, unsigned channel, unsigned code, const unsigned char* buffer,
                   int count) {
    QString line = QString::fromLatin1(name) + QLatin1Char(' ') + Hex2(channel) + QLatin1Char(' ') +
                   Hex2(code) + QStringLiteral(" :");
    for (int i = 0; i < count; ++i)
        line += QLatin1Char(' ') + Hex2(buffer[i]);
    return line;
}

void Queue(TKWShared& s, std::deque<QString> TKWShared::*queue, const QString& line) {
    std::lock_guard<std::mutex> lock(s.Lock);
    (s.*queue).push_back(line);
    s.Changed.notify_one();
}

bool IsDataEvent(unsigned char event) {
    return event == KVANT_EVENT_RX_BROADCAST || event == KVANT_EVENT_RX_ACKNOWLEDGED ||
           event == KVANT_EVENT_RX_BURST_PACKET;
}

// ---------------------------------------------------------------- the two callbacks

bool AntResponseFunc(unsigned char Channel, unsigned char MessageId) {
    std::lock_guard<std::mutex> session(gSessionLock);
    TKWShared* s = gSession;
    if (!s || !s->ResponseEnabled)
        return true;
    const unsigned char* b = s->ResponseBuffer;
    {
        std::lock_guard<std::mutex> lock(s->Lock);
        s->ValidData = true;
        s->StatusLines.push_back(BufferLine("RESPONSE_FUNC", Channel, MessageId, b, 10));
        s->Changed.notify_one();
    }
    if (MessageId != KVANT_MESG_CHANNEL_RESPONSE || b[2] != KVANT_RESPONSE_NO_ERROR)
        return true;
    // Each accepted set-up message is followed by the next one.
    const TAntEntryPoints& ant = *s->Ant;
    const char* name = nullptr;
    switch (b[1]) {
    case KVANT_MESG_NETWORK_KEY:
        name = "MESG_NETWORK_KEY_ID";
        ant.AssignChannel(Channel, 0, 0);
        break;
    case KVANT_MESG_ASSIGN_CHANNEL:
        name = "MESG_ASSIGN_CHANNEL_ID";
        ant.SetChannelId(Channel, 0, kChainDeviceType, kChainTransType);
        break;
    case KVANT_MESG_CHANNEL_ID:
        name = "MESG_CHANNEL_ID_ID";
        ant.SetChannelPeriod(Channel, kChainPeriod);
        break;
    case KVANT_MESG_CHANNEL_PERIOD:
        name = "MESG_CHANNEL_MESG_PERIOD_ID";
        ant.SetChannelRFFreq(Channel, kChainFrequency);
        break;
    case KVANT_MESG_CHANNEL_RF_FREQ:
        name = "MESG_CHANNEL_RADIO_FREQ_ID";
        ant.OpenChannel(Channel);
        break;
    default:
        break;
    }
    if (name)
        Queue(*s, &TKWShared::StatusLines, QString::fromLatin1(name));
    return true;
}

bool AntChannelEventFunc(unsigned char Channel, unsigned char Event) {
    std::lock_guard<std::mutex> session(gSessionLock);
    TKWShared* s = gSession;
    if (!s || !s->ChannelEventEnabled)
        return true;
    const unsigned char* b = s->ChannelEventBuffer;
    const QString line = BufferLine("CHANNEL_EVENT_FUNC", Channel, Event, b, 9);
    std::lock_guard<std::mutex> lock(s->Lock);
    s->Changed.notify_one();
    if (Event == KVANT_EVENT_DEVICE_LOST) {
        s->StatusLines.push_back(line);
        s->DeviceLost = true;
        return true;
    }
    // Events of the channel (receive failures, search time-outs) carry no packet: the buffer
    // beyond the event code is not data.
    if (!IsDataEvent(Event)) {
        s->StatusLines.push_back(line);
        return true;
    }
    const bool wheel = b[1] >= kFirstWheelSequence;
    if (wheel) {
        const std::uint8_t seq = b[1];
        const std::uint8_t last = s->LastWheelSequence;
        // The radio repeats the last packet while the sensor has nothing new.
        if (s->WheelSeen && seq == last)
            return true;
        for (int i = 3; i <= 7; i += 2)
            s->Wheels.push_back(Word(b[i] + 256 * b[i + 1]));
        ++s->TotalWheelPackets;
        const int expected = last == 255 ? kFirstWheelSequence : last + 1;
        if (s->WheelSeen && seq != expected) {
            ++s->LostWheelPackets;
            s->StatusLines.push_back(QStringLiteral("LostWheelPackets = %1").arg(s->LostWheelPackets.load()));
        }
        s->WheelSeen = true;
        s->LastWheelSequence = seq;
    } else {
        const std::uint8_t seq = b[3];
        const std::uint8_t last = s->LastNopeSequence;
        if (s->NopeSeen && seq == last)
            return true;
        if (s->DeviceID.isEmpty()) {
            const std::uint32_t id = (std::uint32_t(b[5]) << 24) | (std::uint32_t(b[6]) << 16) |
                                     (std::uint32_t(b[7]) << 8) | b[8];
            s->DeviceID = QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toUpper();
        }
        ++s->TotalNopePackets;
        if (s->NopeSeen && seq != std::uint8_t(last + 1)) {
            ++s->LostNopePackets;
            s->StatusLines.push_back(QStringLiteral("LostNopePackets = %1").arg(s->LostNopePackets.load()));
        }
        s->NopeSeen = true;
        s->LastNopeSequence = seq;
    }
    s->ValidData = true;
    s->CountersChanged = true;
    if (wheel || s->AllMessages)
        s->RawLines.push_back(line);
    return true;
}

QString ResolveLibrary(const QString& name) {
    if (name.contains(QLatin1Char('/')) || !QCoreApplication::instance())
        return name;
    const QString local = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    return QFileInfo::exists(local) ? local : name;
}

}  // namespace

QString DefaultAntLibraryName() {
    return QStringLiteral(KV_ANT_LIBRARY_NAME);
}

void TKWShared::Reset() {
    std::lock_guard<std::mutex> lock(Lock);
    TotalNopePackets = TotalWheelPackets = LostNopePackets = LostWheelPackets = 0;
    LastNopeSequence = LastWheelSequence = 0;
    NopeSeen = WheelSeen = false;
    StatusLines.clear();
    RawLines.clear();
    Wheels.clear();
    CountersChanged = ValidData = DeviceLost = false;
    DeviceID.clear();
}

// ---------------------------------------------------------------- worker

TKV3WIThread::TKV3WIThread(TKWInterface* owner, TKWShared* shared, int generation)
    : FOwner(owner), FShared(shared), FGeneration(generation) {}

void TKV3WIThread::Start() {
    if (!FThread.joinable())
        FThread = std::thread([this] { Execute(); });
}

void TKV3WIThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(FShared->Lock);
        FTerminated = true;
        FShared->Changed.notify_all();
    }
    if (FThread.joinable())
        FThread.join();
}

void TKV3WIThread::Execute() {
    std::unique_lock<std::mutex> lock(FShared->Lock);
    while (!FTerminated) {
        std::optional<QString> status, raw;
        std::optional<Word> wheel;
        const auto take = [](auto& queue, auto& item) {
            if (!queue.empty()) {
                item = queue.front();
                queue.pop_front();
            }
        };
        take(FShared->StatusLines, status);
        take(FShared->RawLines, raw);
        take(FShared->Wheels, wheel);
        const bool counters = std::exchange(FShared->CountersChanged, false);
        const bool lost = std::exchange(FShared->DeviceLost, false);
        if (!status && !raw && !wheel && !counters && !lost) {
            FShared->Changed.wait_for(lock, std::chrono::milliseconds(kWorkerPollMs));
            continue;
        }
        lock.unlock();
        // Posted, never waited for: the main thread may be joining this thread right now.
        TKWInterface* owner = FOwner;
        const int generation = FGeneration;
        QMetaObject::invokeMethod(
            owner,
            [owner, generation, status, counters, raw, wheel, lost] {
                owner->HandOver(generation, status ? &*status : nullptr, counters,
                                raw ? &*raw : nullptr, wheel ? &*wheel : nullptr, lost);
            },
            Qt::QueuedConnection);
        lock.lock();
    }
}

// ---------------------------------------------------------------- life

TKWInterface::TKWInterface(TCreateKey key, QObject* owner)
    : TKVInterface(key, owner), FShared(std::make_unique<TKWShared>()) {
    FInterfaceType = kKWInterfaceType;
    FShared->Ant = &FAnt;
}

TKWInterface::~TKWInterface() {
    // Quietly: no events and no waits from a destructor.
    if (FAntConnectedFlag || gStickOwner == this)
        Disconnect();
    FThread.reset();
    if (FLibrary) {
        if (!StickTaken()) {  // another interface's callbacks stay
            FAnt.AssignResponseFunction(nullptr, FShared->ResponseBuffer);
            FAnt.AssignChannelEventFunction(AntChannel, nullptr, FShared->ChannelEventBuffer);
            FAnt.UnassignAllResponseFunctions();
        }
        FreeAntLibrary();
    }
}

bool TKWInterface::StickTaken() const {
    return gStickOwner && gStickOwner != this;
}

void TKWInterface::ReleaseStick() {
    if (gStickOwner == this)
        gStickOwner = nullptr;
}

void TKWInterface::StatusMessage(const QString& Text) {
    if (OnStatusMessage)
        OnStatusMessage(this, Text);
    DebugTrace(Text);
}

void TKWInterface::SetFlag(bool& flag, bool value) {
    if (flag == value)
        return;
    flag = value;
    if (OnStatusUpdate)
        OnStatusUpdate(this);
}

void TKWInterface::Wait(unsigned ms) {
    Clock().Wait(ms);
}

// ---------------------------------------------------------------- library

bool TKWInterface::GetAntLibrary(QString& error) {
    const QString path = ResolveLibrary(AntLibraryName);
    FLibrary = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!FLibrary) {
        const char* why = ::dlerror();
        error = why ? QString::fromLocal8Bit(why) : path;
        DebugTrace(QStringLiteral("Error loading AntLib : ") + error);
        return false;
    }
    struct TEntry {
        const char* Name;
        void** Slot;
    };
    const TEntry entries[] = {
        {"ANT_Init", reinterpret_cast<void**>(&FAnt.Init)},
        {"ANT_Close", reinterpret_cast<void**>(&FAnt.Close)},
        {"ANT_ResetSystem", reinterpret_cast<void**>(&FAnt.ResetSystem)},
        {"ANT_AssignChannel", reinterpret_cast<void**>(&FAnt.AssignChannel)},
        {"ANT_UnAssignChannel", reinterpret_cast<void**>(&FAnt.UnAssignChannel)},
        {"ANT_SetChannelId", reinterpret_cast<void**>(&FAnt.SetChannelId)},
        {"ANT_SetChannelPeriod", reinterpret_cast<void**>(&FAnt.SetChannelPeriod)},
        {"ANT_SetChannelRFFreq", reinterpret_cast<void**>(&FAnt.SetChannelRFFreq)},
        {"ANT_SetTransmitPower", reinterpret_cast<void**>(&FAnt.SetTransmitPower)},
        {"ANT_OpenChannel", reinterpret_cast<void**>(&FAnt.OpenChannel)},
        {"ANT_CloseChannel", reinterpret_cast<void**>(&FAnt.CloseChannel)},
        {"ANT_SetNetworkKey", reinterpret_cast<void**>(&FAnt.SetNetworkKey)},
        {"ANT_RequestMessage", reinterpret_cast<void**>(&FAnt.RequestMessage)},
        {"ANT_AssignResponseFunction", reinterpret_cast<void**>(&FAnt.AssignResponseFunction)},
        {"ANT_AssignChannelEventFunction", reinterpret_cast<void**>(&FAnt.AssignChannelEventFunction)},
        {"ANT_UnassignAllResponseFunctions", reinterpret_cast<void**>(&FAnt.UnassignAllResponseFunctions)},
        {"ANT_Nap", reinterpret_cast<void**>(&FAnt.Nap)},
        {"ANT_GetDeviceUSBInfo", reinterpret_cast<void**>(&FAnt.GetDeviceUSBInfo)},
        {"ANT_GetDeviceUSBPID", reinterpret_cast<void**>(&FAnt.GetDeviceUSBPID)},
        {"ANT_LibVersion", reinterpret_cast<void**>(&FAnt.LibVersion)},
    };
    for (const TEntry& e : entries) {
        *e.Slot = ::dlsym(FLibrary, e.Name);
        if (!*e.Slot) {
            const QString message = QStringLiteral("Error getting procaddress for ") + QLatin1String(e.Name);
            DebugTrace(message);
            if (error.isEmpty())
                error = message;
        }
    }
    if (!error.isEmpty()) {
        // A library without every entry point is not used at all.
        FreeAntLibrary();
        return false;
    }
    return true;
}

bool TKWInterface::FreeAntLibrary() {
    if (!FLibrary)
        return true;
    const bool freed = ::dlclose(FLibrary) == 0;
    FLibrary = nullptr;
    FAnt = {};
    return freed;
}

void TKWInterface::LoadAntLib() {
    if (FAntLoadedFlag)
        return;
    StatusMessage(kDashes);
    StatusMessage(QStringLiteral("Start loading AntLib ..."));
    SetFlag(FAntBusyFlag, true);
    FLoadError.clear();
    const bool loaded = GetAntLibrary(FLoadError);
    SetFlag(FAntLoadedFlag, loaded);
    if (loaded)
        StatusMessage(QStringLiteral("AntLibVersion = ") + DecHex(FAnt.LibVersion()));
    SetFlag(FAntBusyFlag, false);
    StatusMessage(loaded ? QStringLiteral("Done loading AntLib.") : QStringLiteral("Error loading AntLib."));
    if (loaded)
        ComPortUpdateList();
}

void TKWInterface::UnloadAntLib() {
    if (!FAntLoadedFlag || FAntConnectedFlag)
        return;
    StatusMessage(kDashes);
    StatusMessage(QStringLiteral("Unloading AntLib ..."));
    SetFlag(FAntBusyFlag, true);
    // The stick itself is left alone while another interface holds it.
    const std::vector<TStep> steps = {
        RemoveResponseFunctionStep(true),
        RemoveChannelEventFunctionStep(true),
        {"ANT_UnassignAllResponseFunctions",
         [this] {
             if (!StickTaken())
                 FAnt.UnassignAllResponseFunctions();
         }},
        {"FreeAntLibrary",
         [this] {
             if (FreeAntLibrary())
                 SetFlag(FAntLoadedFlag, false);
         }},
    };
    if (!RunSteps(steps, [] { return true; }))
        return;
    FPortList.clear();
    SetFlag(FAntBusyFlag, false);
    StatusMessage(FAntLoadedFlag ? QStringLiteral("Error unloading AntLib.")
                                 : QStringLiteral("Done unloading AntLib."));
}

// With onlyIfFree the stick is asked only if no other interface holds it when the step runs
// (the waits between steps let another one take it).
TKWInterface::TStep TKWInterface::RemoveResponseFunctionStep(bool onlyIfFree) {
    return {"Remove ANT_AssignResponseFunction", [this, onlyIfFree] {
                FShared->ResponseEnabled = false;
                FAnt.Nap(AntDelay);
                if (!onlyIfFree || !StickTaken())
                    FAnt.AssignResponseFunction(nullptr, FShared->ResponseBuffer);
            }};
}

TKWInterface::TStep TKWInterface::RemoveChannelEventFunctionStep(bool onlyIfFree) {
    return {"Remove ANT_AssignChannelEventFunction", [this, onlyIfFree] {
                FShared->ChannelEventEnabled = false;
                FAnt.Nap(AntDelay);
                if (!onlyIfFree || !StickTaken())
                    FAnt.AssignChannelEventFunction(AntChannel, nullptr, FShared->ChannelEventBuffer);
            }};
}

bool TKWInterface::RunSteps(const std::vector<TStep>& steps, const std::function<bool()>& goOn) {
    QPointer<TKWInterface> self(this);
    for (const TStep& step : steps) {
        if (!goOn())
            break;
        StatusMessage(QString::fromLatin1(step.Name));
        if (!self)
            return false;
        step.Run();
        if (!self)
            return false;
        Wait(AntDelay);
        if (!self)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- device list

void GetAntRegistryDevices(QStringList& List, const TUsbLookup& usb) {
    List.clear();
    const QDir base(usb.SysfsRoot + QStringLiteral("/bus/usb/devices"));
    const auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readLine()).trimmed() : QString();
    };
    const QStringList names = base.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString dir = base.filePath(name) + QLatin1Char('/');
        if (name.contains(QLatin1Char(':')) || read(dir + QStringLiteral("idVendor")).toUInt(nullptr, 16) != 0x0FCF)
            continue;
        QString description = read(dir + QStringLiteral("product"));
        description.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_'));
        const unsigned pid = read(dir + QStringLiteral("idProduct")).toUInt(nullptr, 16);
        QString serial = read(dir + QStringLiteral("serial"));
        if (serial.isEmpty())
            serial = QStringLiteral("0");
        DebugTrace(QStringLiteral("DeviceNum = ") + DecHex(unsigned(List.size())));
        DebugTrace(QStringLiteral("DeviceDescription = ") + description);
        DebugTrace(QStringLiteral("DeviceSerial = ") + serial);
        DebugTrace(QStringLiteral("DevicePID = ") + DecHex(pid));
        List << description + QLatin1Char('-') +
                    QStringLiteral("%1").arg(pid, 4, 16, QLatin1Char('0')).toUpper() +
                    QLatin1Char('-') + serial;
    }
}

void TKWInterface::ComPortUpdateList() {
    if (FAntLoadedFlag) {
        if (!FAntConnectedFlag)
            ScanDevices();
        return;
    }
    StatusMessage(kDashes);
    StatusMessage(QStringLiteral("Retrieving ANT devices from Registry ..."));
    GetAntRegistryDevices(FPortList, FUsb);
    StatusMessage(QStringLiteral("Done retrieving ANT devices."));
}

void TKWInterface::ScanDevices() {
    if (StickTaken())
        return;  // probing would close the stick under its owner; the list stays as it was
    StatusMessage(kDashes);
    StatusMessage(QStringLiteral("Scanning for ANT devices ..."));
    SetFlag(FAntBusyFlag, true);
    FPortList.clear();
    int failures = 0;
    for (int d = 0; d <= kMaxDeviceNumber && failures < 2; ++d) {
        if (FAnt.Init(std::uint8_t(d), AntBaudrate)) {
            unsigned char description[KVANT_USB_STRING_SIZE] = {};
            unsigned char serial[KVANT_USB_STRING_SIZE] = {};
            if (!FAnt.GetDeviceUSBInfo(std::uint8_t(d), description, serial))
                StatusMessage(QStringLiteral("Error with ANT_GetDeviceUSBInfo"));
            QString text = QString::fromLatin1(reinterpret_cast<const char*>(description));
            text.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_'));
            const QString serialText = QString::fromLatin1(reinterpret_cast<const char*>(serial));
            StatusMessage(QStringLiteral("DeviceNum = ") + DecHex(unsigned(d)));
            StatusMessage(QStringLiteral("DeviceDescription = ") + text);
            StatusMessage(QStringLiteral("DeviceSerial = ") + serialText);
            unsigned short pid = 0;
            if (!FAnt.GetDeviceUSBPID(&pid))
                StatusMessage(QStringLiteral("Error with ANT_GetDeviceUSBPID"));
            StatusMessage(QStringLiteral("DevicePID = ") + DecHex(pid));
            FPortList << text + QLatin1Char('-') +
                             QStringLiteral("%1").arg(pid, 4, 16, QLatin1Char('0')).toUpper() +
                             QLatin1Char('-') + serialText;
        } else {
            ++failures;
        }
        FAnt.Nap(AntDelay);
        FAnt.Close();
    }
    FPortList.sort();
    SetFlag(FAntBusyFlag, false);
    StatusMessage(QStringLiteral("Done scanning for ANT devices."));
}

// ---------------------------------------------------------------- connect

void TKWInterface::ComPortOpen() {
    QPointer<TKWInterface> self(this);
    if (!FAntLoadedFlag) {
        LoadAntLib();
        if (!self)
            return;
    }
    if (!FAntLoadedFlag) {
        ShowError(FLoadError.isEmpty() ? QStringLiteral("Error loading AntLib.")
                                       : QStringLiteral("Error loading AntLib.\n") + FLoadError);
        return;
    }
    if (FAntConnectedFlag) {  // still set up from before: nothing to repeat
        SetState(kvsOpened);
        return;
    }
    if (SourceName().isEmpty())
        throw EKeloError(std::string("No source selected"));
    if (StickTaken())
        throw EKeloError(std::string("ANT : Device in use"));
    FDataSeen = 0;
    FValidData = 0;
    FDeviceID.clear();
    StatusMessage(kDashes);
    StatusMessage(QStringLiteral("Connecting to ANT device ..."));
    if (FWaitForData) {
        StopTimer();
        StartTimer(kKWNoDataTimeoutMs, [this] { NoDataTimer(); });
    }
    SetFlag(FAntBusyFlag, true);
    QString failed;
    const bool connected = Connect(failed);
    if (!self)
        return;
    SetFlag(FAntBusyFlag, false);
    if (!connected) {
        StatusMessage(QStringLiteral("Error connecting to ANT device."));
        StopTimer();
        ShowError(QStringLiteral("Error with ") + failed +
                  QStringLiteral("\nError connecting to ANT device."));
        return;
    }
    StatusMessage(QStringLiteral("Done connecting to ANT device."));
    SetState(kvsOpened);
    if (!self)
        return;
    if (FWaitForData) {
        for (int turn = 0; turn < kOpenWaitTurns && !FValidData && TimerEnabled(); ++turn) {
            Wait(kOpenWaitMs);
            if (!self)
                return;
        }
    }
    StopTimer();
}

bool TKWInterface::Connect(QString& failedStep) {
    QPointer<TKWInterface> self(this);
    gStickOwner = this;
    bool initialised = false;
    struct TStep {
        const char* Name;
        std::function<bool()> Run;
    };
    const std::vector<TStep> steps = {
        {"ANT_Init",
         [&] { return initialised = FAnt.Init(std::uint8_t(std::min<int>(AntDevice, kMaxDeviceNumber)), AntBaudrate); }},
        {"ANT_ResetSystem", [&] { return FAnt.ResetSystem(); }},
        {"ANT_AssignChannel", [&] { return FAnt.AssignChannel(AntChannel, AntChanType, AntNetNumber); }},
        {"ANT_SetChannelId", [&] { return FAnt.SetChannelId(AntChannel, AntDevice, AntDevType, AntTransType); }},
        {"ANT_SetChannelPeriod", [&] { return FAnt.SetChannelPeriod(AntChannel, AntMessPeriod); }},
        {"ANT_SetChannelRFFreq", [&] { return FAnt.SetChannelRFFreq(AntChannel, AntChanFrequency); }},
        {"ANT_SetTransmitPower", [&] { return FAnt.SetTransmitPower(AntTransPower); }},
        {"ANT_OpenChannel", [&] { return FAnt.OpenChannel(AntChannel); }},
        {"Create thread",
         [&] {
             ++FGeneration;
             FThread = std::make_unique<TKV3WIThread>(this, FShared.get(), FGeneration);
             return true;
         }},
        {"Set ANT_AssignResponseFunction",
         [&] {
             FShared->Reset();
             FShared->Channel = AntChannel;
             FShared->AllMessages = AllMessages;
             {
                 std::lock_guard<std::mutex> lock(gSessionLock);
                 gSession = FShared.get();
             }
             FAnt.AssignResponseFunction(AntResponseFunc, FShared->ResponseBuffer);
             FShared->ResponseEnabled = true;
             return true;
         }},
        {"Set ANT_AssignChannelEventFunction",
         [&] {
             FAnt.AssignChannelEventFunction(AntChannel, AntChannelEventFunc, FShared->ChannelEventBuffer);
             FThread->Start();
             FShared->ChannelEventEnabled = true;
             SetFlag(FAntConnectedFlag, true);
             return true;
         }},
    };
    for (const TStep& step : steps) {
        if (FAntConnectedFlag)
            break;
        const QString name = QString::fromLatin1(step.Name);
        StatusMessage(name);
        if (!self)
            return false;
        if (!step.Run()) {
            StatusMessage(QStringLiteral("Error with ") + name);
            failedStep = name;
            break;
        }
        Wait(AntDelay);
        if (!self)
            return false;
    }
    if (!FAntConnectedFlag && initialised)
        Disconnect();  // the stick is not left initialised
    if (!FAntConnectedFlag)
        ReleaseStick();
    return FAntConnectedFlag;
}

// ---------------------------------------------------------------- disconnect

void TKWInterface::Disconnect() {
    FShared->ResponseEnabled = false;
    FShared->ChannelEventEnabled = false;
    if (FLibrary) {
        FAnt.AssignResponseFunction(nullptr, FShared->ResponseBuffer);
        FAnt.AssignChannelEventFunction(AntChannel, nullptr, FShared->ChannelEventBuffer);
        FAnt.UnassignAllResponseFunctions();
    }
    if (FThread) {
        FThread->Stop();
        FThread.reset();
    }
    ++FGeneration;  // what the worker posted before is dropped
    {
        std::lock_guard<std::mutex> lock(gSessionLock);
        if (gSession == FShared.get())
            gSession = nullptr;
    }
    if (FLibrary)
        FAnt.Close();
    FAntConnectedFlag = false;
    ReleaseStick();
}

void TKWInterface::ComPortClose() {
    if (!FAntLoadedFlag || !FAntConnectedFlag)
        return;
    StatusMessage(kDashes);
    StatusMessage(QStringLiteral("Disconnecting from ANT device ..."));
    SetFlag(FAntBusyFlag, true);
    const std::vector<TStep> steps = {
        RemoveResponseFunctionStep(false),
        RemoveChannelEventFunctionStep(false),
        {"ANT_UnAssignChannel", [this] { FAnt.UnAssignChannel(AntChannel); }},
        {"ANT_UnassignAllResponseFunctions", [this] { FAnt.UnassignAllResponseFunctions(); }},
        {"Remove thread",
         [this] {
             if (FThread) {
                 FThread->Stop();
                 FThread.reset();
             }
             ++FGeneration;
             std::lock_guard<std::mutex> lock(gSessionLock);
             if (gSession == FShared.get())
                 gSession = nullptr;
         }},
        {"ANT_ResetSystem", [this] { FAnt.ResetSystem(); }},
        {"ANT_Close",
         [this] {
             FAnt.Close();
             SetFlag(FAntConnectedFlag, false);
         }},
    };
    if (!RunSteps(steps, [this] { return FAntConnectedFlag; }))
        return;
    if (!FAntConnectedFlag)
        ReleaseStick();
    SetFlag(FAntBusyFlag, false);
    StatusMessage(FAntConnectedFlag ? QStringLiteral("Error disconnecting from ANT device.")
                                    : QStringLiteral("Done disconnecing from ANT device."));
}

// ---------------------------------------------------------------- main thread

void TKWInterface::HandOver(int generation, const QString* status, bool counters,
                            const QString* raw, const Word* wheel, bool lost) {
    if (generation != FGeneration)
        return;
    QPointer<TKWInterface> self(this);
    const auto still = [&] { return self && generation == FGeneration; };
    try {
        {
            std::lock_guard<std::mutex> lock(FShared->Lock);
            if (FShared->ValidData) {
                FValidData = 1;
                FProtocol = kvpKV3WI;
            }
            if (FDeviceID.isEmpty() && !FShared->DeviceID.isEmpty())
                FDeviceID = FShared->DeviceID;
        }
        if (status) {
            StatusMessage(*status);
            if (!still())
                return;
        }
        if (counters && OnUpdateCounters) {
            OnUpdateCounters(this);
            if (!still())
                return;
        }
        if (raw) {
            FValidData = 1;
            FProtocol = kvpKV3WI;
            if (OnRawPacket) {
                OnRawPacket(this, *raw);
                if (!still())
                    return;
            }
        }
        if (wheel) {
            ProcessWheelData(*wheel);
            if (!still())
                return;
        }
        if (lost)
            ShowError(QStringLiteral("ANT : Device lost"));
    } catch (const std::exception& e) {
        if (self)
            ShowError(QString::fromUtf8(e.what()));
    }
}

void TKWInterface::ProcessWheelData(Word Wheel) {
    if (FReceiving)
        return;
    QPointer<TKWInterface> self(this);
    if (OnWheelData) {
        OnWheelData(this, Wheel);
        if (!self)
            return;
    }
    FDataSeen = 1;
    FValidData = 1;
    FReceiving = 1;
    FProtocol = kvpKV3WI;
    if (FState > kvsClosed && FState != kvsPausing && FState != kvsPaused) {
        FPreviousInterval = FInterval;
        FInterval = Wheel == kKvNoPulseCode ? kKvNoPulseInterval : double(Wheel) / kKvTicksPerSecond;
        FInterval = std::nearbyint(FInterval * 1000000.0) / 1000000.0;
        RecordData();
        if (!self)
            return;
        ShiftPulseValidity();
        UpdateMagnetStats();
        if (OnRawData) {
            OnRawData(this, FInterval, FHeartRaw, int(std::nearbyint(FHeartCorrected)));
            if (!self)
                return;
        }
        if (FState > kvsClosed)
            AnalysePulse(false);
        if (!self)
            return;
    }
    FReceiving = 0;
}
