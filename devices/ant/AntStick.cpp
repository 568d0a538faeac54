#include "devices/ant/AntStick.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kvant {

namespace {

constexpr int kReadPollMs = 100;      // the reader looks at its stop flag this often
constexpr int kAnswerTimeoutMs = 1000;
constexpr int kProbeTimeoutMs = 500;
constexpr int kStartupTimeoutMs = 500;
constexpr std::size_t kMaxBuffered = 4096;

bool IsSync(std::uint8_t b) {
    return b == 0xA4 || b == 0xA5;
}

// A whole message with a good checksum starts at buffer[at].
bool GoodMessageAt(const std::vector<std::uint8_t>& buffer, std::size_t at) {
    if (buffer.size() < at + 4)
        return false;
    const std::size_t total = std::size_t(buffer[at + 1]) + 4;
    if (buffer.size() - at < total)
        return false;
    std::uint8_t sum = 0;
    for (std::size_t i = at; i + 1 < at + total; ++i)
        sum ^= buffer[i];
    return sum == buffer[at + total - 1];
}

}  // namespace

std::vector<std::uint8_t> FrameMessage(std::uint8_t id, const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> m;
    m.reserve(payload.size() + 4);
    m.push_back(KVANT_MESG_SYNC);
    m.push_back(std::uint8_t(payload.size()));
    m.push_back(id);
    m.insert(m.end(), payload.begin(), payload.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : m)
        sum ^= b;
    m.push_back(sum);
    return m;
}

// ---------------------------------------------------------------- parser

void TAntParser::Add(const std::uint8_t* data, std::size_t size) {
    FBuffer.insert(FBuffer.end(), data, data + size);
    if (FBuffer.size() > kMaxBuffered) {  // never grows without bound on a noisy line
        FSkipped += FBuffer.size() - kMaxBuffered;
        FBuffer.erase(FBuffer.begin(), FBuffer.end() - kMaxBuffered);
    }
}

bool TAntParser::Next(std::uint8_t& id, std::vector<std::uint8_t>& payload) {
    for (;;) {
        auto sync = std::find_if(FBuffer.begin(), FBuffer.end(), IsSync);
        FSkipped += std::size_t(sync - FBuffer.begin());
        FBuffer.erase(FBuffer.begin(), sync);
        if (FBuffer.size() < 4)
            return false;
        const std::size_t total = std::size_t(FBuffer[1]) + 4;
        if (FBuffer.size() < total) {
            // A stray sync byte with a large length would hold every message behind it until
            // its length had arrived: a good message starting at a later sync byte shows that
            // this one was no message start.
            std::size_t next = 1;
            while (next < FBuffer.size() && !(IsSync(FBuffer[next]) && GoodMessageAt(FBuffer, next)))
                ++next;
            if (next == FBuffer.size())
                return false;
            FSkipped += next;
            FBuffer.erase(FBuffer.begin(), FBuffer.begin() + std::ptrdiff_t(next));
            continue;
        }
        if (!GoodMessageAt(FBuffer, 0)) {
            ++FSkipped;
            FBuffer.erase(FBuffer.begin());
            continue;
        }
        id = FBuffer[2];
        payload.assign(FBuffer.begin() + 3, FBuffer.begin() + std::ptrdiff_t(total - 1));
        FBuffer.erase(FBuffer.begin(), FBuffer.begin() + std::ptrdiff_t(total));
        return true;
    }
}

// ---------------------------------------------------------------- open and close

bool TAntStick::Init(unsigned char deviceNum, unsigned baudrate) {
    Close();
    const std::vector<TAntDevice> devices = ListAntDevices();
    if (deviceNum >= devices.size())
        return false;
    std::string error;
    std::unique_ptr<TAntTransport> transport = OpenAntTransport(devices[deviceNum], baudrate, error);
    if (!transport)
        return false;
    FDevice = devices[deviceNum];
    FTransport = std::move(transport);
    FStop = false;
    FLost = false;
    FReader = std::thread([this] { ReaderLoop(); });
    FReaderId = FReader.get_id();
    // The stick answers: its capabilities, or after a reset its start-up message.
    bool answered = false;
    for (int attempt = 0; attempt < 2 && !answered; ++attempt) {
        if (attempt > 0)
            Reset();
        answered = Exchange(KVANT_MESG_REQUEST, {0, KVANT_MESG_CAPABILITIES}, KVANT_MESG_CAPABILITIES,
                            0, kProbeTimeoutMs, nullptr) == TExchange::Answered;
    }
    if (!answered)
        Close();
    return answered;
}

void TAntStick::Close() {
    FStop = true;
    if (OnReaderThread()) {
        // Closed from a callback: the reader ends after it; the stick is released by the
        // next Init or Close from another thread.
        UnassignAll();
        return;
    }
    if (FReader.joinable())
        FReader.join();
    FReaderId = {};
    {
        std::lock_guard<std::recursive_mutex> lock(FCallbackLock);
        FResponse = nullptr;
        FResponseBuffer = nullptr;
        FChannels = {};
    }
    std::lock_guard<std::mutex> lock(FWriteLock);
    FTransport.reset();
}

// ---------------------------------------------------------------- reader

void TAntStick::ReaderLoop() {
    TAntParser parser;
    std::uint8_t buffer[256];
    std::uint8_t id = 0;
    std::vector<std::uint8_t> payload;
    while (!FStop) {
        std::size_t got = 0;
        const TReadResult r = FTransport->Read(buffer, sizeof buffer, kReadPollMs, got);
        if (r == TReadResult::Lost) {
            DeviceLost();
            return;
        }
        if (got == 0)
            continue;
        parser.Add(buffer, got);
        while (!FStop && parser.Next(id, payload))
            Dispatch(id, payload);
    }
}

void TAntStick::Dispatch(std::uint8_t id, const std::vector<std::uint8_t>& payload) {
    {
        std::lock_guard<std::mutex> lock(FWaitLock);
        if (FWaiting && !FWaitGot) {
            const bool answer = id == KVANT_MESG_CHANNEL_RESPONSE && FWaitId == id &&
                                payload.size() >= 3 && payload[1] == FWaitAnswered;
            if (answer || (id == FWaitId && id != KVANT_MESG_CHANNEL_RESPONSE)) {
                FWaitGot = true;
                FWaitCode = answer ? payload[2] : 0;
                FWaitChanged.notify_all();
            }
        }
    }
    std::lock_guard<std::recursive_mutex> lock(FCallbackLock);
    const auto fill = [&payload](unsigned char* buffer) {
        std::memset(buffer, 0, KVANT_MESSAGE_BUFFER_SIZE);
        std::memcpy(buffer, payload.data(), std::min<std::size_t>(payload.size(), KVANT_MESSAGE_BUFFER_SIZE));
    };
    const std::uint8_t channel = payload.empty() ? 0 : payload[0];
    std::uint8_t event = 0;
    bool channelEvent = false;
    if (id == KVANT_MESG_CHANNEL_RESPONSE && payload.size() >= 3 && payload[1] == KVANT_MESG_EVENT) {
        channelEvent = true;
        event = payload[2];
    } else if (id == KVANT_MESG_BROADCAST_DATA) {
        channelEvent = true;
        event = KVANT_EVENT_RX_BROADCAST;
    } else if (id == KVANT_MESG_ACKNOWLEDGED_DATA) {
        channelEvent = true;
        event = KVANT_EVENT_RX_ACKNOWLEDGED;
    } else if (id == KVANT_MESG_BURST_DATA) {
        channelEvent = true;
        event = KVANT_EVENT_RX_BURST_PACKET;
    }
    if (channelEvent) {
        if (channel >= kChannels)
            return;
        const TChannelEvent& c = FChannels[channel];
        if (c.Func && c.Buffer) {
            fill(c.Buffer);
            c.Func(channel, event);
        }
        return;
    }
    if (FResponse && FResponseBuffer) {
        fill(FResponseBuffer);
        const bool perChannel = id == KVANT_MESG_CHANNEL_RESPONSE || id == KVANT_MESG_CHANNEL_ID ||
                                id == 0x52;  // channel status
        FResponse(perChannel ? channel : 0, id);
    }
}

void TAntStick::DeviceLost() {
    FLost = true;
    {
        std::lock_guard<std::mutex> lock(FWaitLock);
        FWaitChanged.notify_all();
    }
    std::lock_guard<std::recursive_mutex> lock(FCallbackLock);
    for (int ch = 0; ch < kChannels; ++ch) {
        const TChannelEvent c = FChannels[std::size_t(ch)];
        if (!c.Func || !c.Buffer)
            continue;
        std::memset(c.Buffer, 0, KVANT_MESSAGE_BUFFER_SIZE);
        c.Buffer[0] = std::uint8_t(ch);
        c.Buffer[1] = KVANT_MESG_EVENT;
        c.Buffer[2] = KVANT_EVENT_DEVICE_LOST;
        c.Func(std::uint8_t(ch), KVANT_EVENT_DEVICE_LOST);
    }
}

// ---------------------------------------------------------------- commands

bool TAntStick::Send(std::uint8_t id, const std::vector<std::uint8_t>& payload) {
    std::lock_guard<std::mutex> lock(FWriteLock);
    if (!FTransport || FLost)
        return false;
    const std::vector<std::uint8_t> m = FrameMessage(id, payload);
    return FTransport->Write(m.data(), m.size());
}

TAntStick::TExchange TAntStick::Exchange(std::uint8_t id, const std::vector<std::uint8_t>& payload,
                                         std::uint8_t waitId, std::uint8_t answered, int timeoutMs,
                                         std::uint8_t* code) {
    std::lock_guard<std::mutex> command(FCommandLock);
    {
        std::lock_guard<std::mutex> lock(FWaitLock);
        FWaiting = true;  // before sending: the answer may come at once
        FWaitGot = false;
        FWaitId = waitId;
        FWaitAnswered = answered;
        FWaitCode = 0xFF;
    }
    const bool sent = Send(id, payload);
    std::unique_lock<std::mutex> lock(FWaitLock);
    if (sent)
        FWaitChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return FWaitGot || FLost.load(); });
    FWaiting = false;
    if (code)
        *code = FWaitCode;
    return !sent ? TExchange::NotSent : FWaitGot ? TExchange::Answered : TExchange::NoAnswer;
}

bool TAntStick::Command(std::uint8_t id, const std::vector<std::uint8_t>& payload) {
    if (OnReaderThread())
        return Send(id, payload);
    std::uint8_t code = 0xFF;
    return Exchange(id, payload, KVANT_MESG_CHANNEL_RESPONSE, id, kAnswerTimeoutMs, &code) ==
               TExchange::Answered &&
           code == KVANT_RESPONSE_NO_ERROR;
}

bool TAntStick::Reset() {
    if (OnReaderThread())
        return Send(KVANT_MESG_RESET_SYSTEM, {0});
    // Commands sent during the reset would be lost: wait for the start-up message; a stick
    // without one is given that time.
    return Exchange(KVANT_MESG_RESET_SYSTEM, {0}, KVANT_MESG_STARTUP, 0, kStartupTimeoutMs, nullptr) !=
           TExchange::NotSent;
}

// ---------------------------------------------------------------- callbacks

void TAntStick::AssignResponse(ANT_RESPONSE_FUNC func, unsigned char* buffer) {
    std::lock_guard<std::recursive_mutex> lock(FCallbackLock);
    FResponse = func;
    FResponseBuffer = buffer;
}

void TAntStick::AssignChannelEvent(unsigned char channel, ANT_CHANNEL_EVENT_FUNC func,
                                   unsigned char* buffer) {
    if (channel >= kChannels)
        return;
    std::lock_guard<std::recursive_mutex> lock(FCallbackLock);
    FChannels[channel] = {func, buffer};
}

void TAntStick::UnassignAll() {
    std::lock_guard<std::recursive_mutex> lock(FCallbackLock);
    FResponse = nullptr;
    FResponseBuffer = nullptr;
    FChannels = {};
}

// ---------------------------------------------------------------- device information

bool TAntStick::UsbInfo(unsigned char deviceNum, unsigned char* product, unsigned char* serial) const {
    const std::vector<TAntDevice> devices = ListAntDevices();
    if (deviceNum >= devices.size() || !product || !serial)
        return false;
    const auto copy = [](unsigned char* to, const std::string& from) {
        const std::size_t n = std::min<std::size_t>(from.size(), KVANT_USB_STRING_SIZE - 1);
        std::memcpy(to, from.data(), n);
        to[n] = 0;
    };
    copy(product, devices[deviceNum].Product);
    copy(serial, devices[deviceNum].Serial);
    return true;
}

bool TAntStick::Pid(unsigned short* pid) const {
    if (!FTransport || !pid)
        return false;
    *pid = FDevice.Pid;
    return true;
}

}  // namespace kvant
