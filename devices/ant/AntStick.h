// The one stick the library drives: its transport, the reader thread, the message framing and
// the callbacks. Plain C++, no Qt; the entry points of KvAnt.h forward here.
#pragma once

#include "devices/ant/AntTransport.h"
#include "devices/ant/KvAnt.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kvant {

// sync, length, id, payload, XOR of everything before.
std::vector<std::uint8_t> FrameMessage(std::uint8_t id, const std::vector<std::uint8_t>& payload);

// Takes bytes as they come and hands out whole messages with a good checksum; anything else is
// skipped byte by byte until a sync byte starts a good message.
class TAntParser {
public:
    void Add(const std::uint8_t* data, std::size_t size);
    // False when no complete message is buffered.
    bool Next(std::uint8_t& id, std::vector<std::uint8_t>& payload);
    std::size_t Skipped() const { return FSkipped; }

private:
    std::vector<std::uint8_t> FBuffer;
    std::size_t FSkipped = 0;
};

class TAntStick {
public:
    ~TAntStick() { Close(); }

    bool Init(unsigned char deviceNum, unsigned baudrate);
    void Close();
    bool IsOpen() const { return bool(FTransport); }

    // Sends and, off the reader thread, waits for the stick's answer to id: true for
    // "no error". On the reader thread (a callback) it only sends.
    bool Command(std::uint8_t id, const std::vector<std::uint8_t>& payload);
    bool Send(std::uint8_t id, const std::vector<std::uint8_t>& payload);
    bool Reset();

    void AssignResponse(ANT_RESPONSE_FUNC func, unsigned char* buffer);
    void AssignChannelEvent(unsigned char channel, ANT_CHANNEL_EVENT_FUNC func,
                            unsigned char* buffer);
    void UnassignAll();

    bool UsbInfo(unsigned char deviceNum, unsigned char* product, unsigned char* serial) const;
    bool Pid(unsigned short* pid) const;

private:
    static constexpr int kChannels = 16;
    struct TChannelEvent {
        ANT_CHANNEL_EVENT_FUNC Func = nullptr;
        unsigned char* Buffer = nullptr;
    };

    void ReaderLoop();
    void Dispatch(std::uint8_t id, const std::vector<std::uint8_t>& payload);
    void DeviceLost();
    enum class TExchange { NotSent, NoAnswer, Answered };
    // Sends a message and waits for message waitId (a channel response: the one answering
    // 'answered'), at most timeoutMs; the response code goes to code.
    TExchange Exchange(std::uint8_t id, const std::vector<std::uint8_t>& payload, std::uint8_t waitId,
                       std::uint8_t answered, int timeoutMs, std::uint8_t* code);
    bool OnReaderThread() const { return std::this_thread::get_id() == FReaderId; }

    std::unique_ptr<TAntTransport> FTransport;
    TAntDevice FDevice;
    std::mutex FWriteLock;
    std::thread FReader;
    std::thread::id FReaderId;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FLost{false};

    std::recursive_mutex FCallbackLock;  // held while a callback runs
    ANT_RESPONSE_FUNC FResponse = nullptr;
    unsigned char* FResponseBuffer = nullptr;
    std::array<TChannelEvent, kChannels> FChannels{};

    std::mutex FCommandLock;  // one waiting command at a time
    std::mutex FWaitLock;
    std::condition_variable FWaitChanged;
    bool FWaiting = false;
    std::uint8_t FWaitId = 0, FWaitAnswered = 0, FWaitCode = 0;
    bool FWaitGot = false;
};

}  // namespace kvant
