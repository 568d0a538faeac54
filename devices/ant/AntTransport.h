// The ways to a stick: a tty (sticks behind a USB serial bridge, or any serial line the user
// names) and libusb bulk transfers (sticks that are plain USB devices). Plain C++, no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvant {

inline constexpr std::uint16_t kAntVendor = 0x0FCF;

struct TAntDevice {
    bool Tty = true;
    std::string Path;  // tty device path
    int Bus = 0;       // USB bus and address, for libusb
    int Address = 0;
    std::uint16_t Pid = 0;
    std::string Product;
    std::string Serial;
};

// The sticks in device-number order: the ttys of KVANT_SERIAL, then the USB sticks under
// <sysfsRoot>/bus/usb/devices (a stick with a tty below its interface goes through the tty).
std::vector<TAntDevice> ListAntDevices(const std::string& sysfsRoot = "/sys");

enum class TReadResult { Data, Timeout, Lost };

class TAntTransport {
public:
    virtual ~TAntTransport() = default;
    // Reads what is there, waiting at most timeoutMs; Lost when the stick is gone.
    virtual TReadResult Read(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                             std::size_t& got) = 0;
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

// Null with the reason in error when the stick cannot be opened.
std::unique_ptr<TAntTransport> OpenAntTransport(const TAntDevice& device, unsigned baudrate,
                                                std::string& error);

}  // namespace kvant
