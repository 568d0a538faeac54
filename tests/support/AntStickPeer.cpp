#include "AntStickPeer.h"

#include "PtyPeer.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace antenc {

std::string Message(std::uint8_t id, const std::string& payload) {
    std::string m;
    m += char(0xA4);
    m += char(payload.size());
    m += char(id);
    m += payload;
    std::uint8_t sum = 0;
    for (char c : m)
        sum ^= std::uint8_t(c);
    m += char(sum);
    return m;
}

std::string ChannelResponse(std::uint8_t channel, std::uint8_t answered, std::uint8_t code) {
    return Message(0x40, std::string{char(channel), char(answered), char(code)});
}

std::string Broadcast(std::uint8_t channel, const std::array<std::uint8_t, 8>& data) {
    std::string p(1, char(channel));
    for (std::uint8_t b : data)
        p += char(b);
    return Message(0x4E, p);
}

std::string WheelPacket(std::uint8_t sequence, std::uint16_t w0, std::uint16_t w1, std::uint16_t w2) {
    return Broadcast(0, {sequence, 0, std::uint8_t(w0), std::uint8_t(w0 >> 8), std::uint8_t(w1),
                         std::uint8_t(w1 >> 8), std::uint8_t(w2), std::uint8_t(w2 >> 8)});
}

std::string NopePacket(std::uint8_t page, std::uint8_t sequence, std::uint32_t id) {
    return Broadcast(0, {page, 0, sequence, 0, std::uint8_t(id >> 24), std::uint8_t(id >> 16),
                         std::uint8_t(id >> 8), std::uint8_t(id)});
}

}  // namespace antenc

TAntStickPeer::TAntStickPeer() {
    if (OpenRawPty(FMaster, FSlave, FSlavePath))
        FThread = std::thread([this] { Run(); });
}

TAntStickPeer::~TAntStickPeer() {
    Vanish();
}

void TAntStickPeer::Vanish() {
    FStop = true;
    if (FThread.joinable())
        FThread.join();
    std::lock_guard<std::mutex> lock(FWriteLock);
    if (FMaster >= 0)
        ::close(FMaster);
    if (FSlave >= 0)
        ::close(FSlave);
    FMaster = FSlave = -1;
}

void TAntStickPeer::Write(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(FWriteLock);
    std::size_t done = 0;
    int stalls = 0;
    while (FMaster >= 0 && done < bytes.size() && stalls < 300) {
        const ssize_t n = ::write(FMaster, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
            stalls = 0;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{FMaster, POLLOUT, 0};
            if (::poll(&p, 1, 10) == 0)
                ++stalls;  // nobody reads the line
        } else {
            break;
        }
    }
    ASSERT_EQ(done, bytes.size()) << "the stick's line is not read";
}

void TAntStickPeer::FailCommand(std::uint8_t id, std::uint8_t code) {
    std::lock_guard<std::mutex> lock(FLock);
    FFailures[id] = code;
}

std::vector<TAntCommand> TAntStickPeer::Commands() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FCommands;
}

void TAntStickPeer::ClearCommands() {
    std::lock_guard<std::mutex> lock(FLock);
    FCommands.clear();
}

void TAntStickPeer::Answer(std::uint8_t id, const std::string& payload) {
    std::uint8_t code = 0;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FCommands.push_back({id, payload});
        if (auto f = FFailures.find(id); f != FFailures.end())
            code = f->second;
    }
    const char channel = payload.empty() ? 0 : payload[0];
    switch (id) {
    case 0x4D:  // request
        if (payload.size() >= 2 && std::uint8_t(payload[1]) == 0x54)
            Write(antenc::Message(0x54, std::string{8, 3, 0, 0, 0, 0}));
        break;
    case 0x4A:  // reset
        Write(antenc::Message(0x6F, std::string(1, char(0x20))));
        break;
    case 0x41: case 0x42: case 0x43: case 0x45: case 0x46: case 0x47: case 0x4B: case 0x4C:
    case 0x51:
        Write(antenc::ChannelResponse(id == 0x47 ? 0 : std::uint8_t(channel), id, code));
        break;
    default:
        break;
    }
}

void TAntStickPeer::Run() {
    std::string pending;
    while (!FStop) {
        pollfd p{FMaster, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0)
            continue;  // EIO while the library has the line closed
        pending.append(buffer, std::size_t(n));
        while (pending.size() >= 4) {
            if (std::uint8_t(pending[0]) != 0xA4) {
                ++FBadBytes;
                pending.erase(0, 1);
                continue;
            }
            const std::size_t total = std::uint8_t(pending[1]) + 4u;
            if (pending.size() < total)
                break;
            std::uint8_t sum = 0;
            for (std::size_t i = 0; i + 1 < total; ++i)
                sum ^= std::uint8_t(pending[i]);
            if (sum != std::uint8_t(pending[total - 1])) {
                ++FBadBytes;
                pending.erase(0, 1);
                continue;
            }
            const std::uint8_t id = std::uint8_t(pending[2]);
            const std::string payload = pending.substr(3, total - 4);
            pending.erase(0, total);
            Answer(id, payload);
        }
    }
}
