// An ANT USB stick played on a pseudo terminal, on a thread of its own (the library waits for
// its answers on the main thread). It answers the set-up commands with channel responses
// (0x40), a capabilities request with 0x54, a reset with the start-up message, and sends what
// the test gives it. Messages are built here byte by byte.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace antenc {

// A4, length, id, payload, XOR of all bytes before.
std::string Message(std::uint8_t id, const std::string& payload);
std::string ChannelResponse(std::uint8_t channel, std::uint8_t answered, std::uint8_t code);
std::string Broadcast(std::uint8_t channel, const std::array<std::uint8_t, 8>& data);
// Sequence 16..255 in byte 1, three little-endian intervals in bytes 3..8.
std::string WheelPacket(std::uint8_t sequence, std::uint16_t w0, std::uint16_t w1, std::uint16_t w2);
// Page below 16 in byte 1, sequence in byte 3, the sensor's id big-endian in bytes 5..8.
std::string NopePacket(std::uint8_t page, std::uint8_t sequence, std::uint32_t id);

}  // namespace antenc

struct TAntCommand {
    std::uint8_t Id = 0;
    std::string Payload;
};

class TAntStickPeer {
public:
    TAntStickPeer();  // fails the current test when no pseudo terminal can be had
    ~TAntStickPeer();
    TAntStickPeer(const TAntStickPeer&) = delete;
    TAntStickPeer& operator=(const TAntStickPeer&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    void Write(const std::string& bytes);
    // Answers this command with an error code instead of "no error".
    void FailCommand(std::uint8_t id, std::uint8_t code);
    std::vector<TAntCommand> Commands() const;
    void ClearCommands();
    int BadBytes() const { return FBadBytes; }
    // The stick is pulled out: the line is gone for the program.
    void Vanish();

private:
    void Run();
    void Answer(std::uint8_t id, const std::string& payload);

    int FMaster = -1;
    int FSlave = -1;  // kept open, so the line lives between the library's opens
    std::string FSlavePath;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    mutable std::mutex FLock;
    std::mutex FWriteLock;
    std::vector<TAntCommand> FCommands;
    std::map<std::uint8_t, std::uint8_t> FFailures;
    std::atomic<int> FBadBytes{0};
};
