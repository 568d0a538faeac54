#include "devices/ant/AntTransport.h"

#include <libusb.h>

#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kvant {

namespace {

constexpr unsigned kUsbWriteTimeoutMs = 1000;
constexpr int kTtyWriteTimeoutMs = 1000;

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::vector<std::string> DirEntries(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// The tty below a USB device's interfaces ("ttyUSB0" directly, "ttyACM0" under tty/).
std::string TtyOf(const std::string& devicePath, const std::string& deviceName) {
    for (const std::string& iface : DirEntries(devicePath)) {
        if (!StartsWith(iface, (deviceName + ":").c_str()))
            continue;
        const std::string dir = devicePath + "/" + iface;
        for (const std::string& e : DirEntries(dir))
            if (StartsWith(e, "ttyUSB"))
                return "/dev/" + e;
        for (const std::string& e : DirEntries(dir + "/tty"))
            if (StartsWith(e, "tty"))
                return "/dev/" + e;
    }
    return {};
}

speed_t SpeedOf(unsigned baudrate) {
    switch (baudrate) {
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B57600;
    }
}

// ---------------------------------------------------------------- tty

class TTtyTransport : public TAntTransport {
public:
    explicit TTtyTransport(int fd) : FFd(fd) {}
    ~TTtyTransport() override { ::close(FFd); }

    TReadResult Read(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                     std::size_t& got) override {
        got = 0;
        pollfd p{FFd, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0)
            return errno == EINTR ? TReadResult::Timeout : TReadResult::Lost;
        if (r == 0)
            return TReadResult::Timeout;
        if (p.revents & (POLLERR | POLLNVAL))
            return TReadResult::Lost;
        const ssize_t n = ::read(FFd, buffer, size);
        if (n > 0) {
            got = std::size_t(n);
            return TReadResult::Data;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return TReadResult::Timeout;
        return TReadResult::Lost;  // EIO or end of file: the line is gone
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(FFd, data + done, size - done);
            if (n > 0) {
                done += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd p{FFd, POLLOUT, 0};
                if (::poll(&p, 1, kTtyWriteTimeoutMs) <= 0)
                    return false;
                continue;
            }
            return false;
        }
        return true;
    }

private:
    int FFd;
};

std::unique_ptr<TAntTransport> OpenTty(const std::string& path, unsigned baudrate,
                                       std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        error = path + ": not a serial line";
        ::close(fd);
        return nullptr;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    ::cfsetispeed(&t, SpeedOf(baudrate));
    ::cfsetospeed(&t, SpeedOf(baudrate));
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIOFLUSH);
    return std::make_unique<TTtyTransport>(fd);
}

// ---------------------------------------------------------------- libusb

class TUsbTransport : public TAntTransport {
public:
    TUsbTransport(libusb_context* context, libusb_device_handle* handle, int iface,
                  unsigned char in, unsigned char out)
        : FContext(context), FHandle(handle), FInterface(iface), FIn(in), FOut(out) {}
    ~TUsbTransport() override {
        libusb_release_interface(FHandle, FInterface);
        libusb_close(FHandle);
        libusb_exit(FContext);
    }

    TReadResult Read(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                     std::size_t& got) override {
        int n = 0;
        got = 0;
        const int r = libusb_bulk_transfer(FHandle, FIn, buffer, int(size), &n,
                                           unsigned(timeoutMs > 0 ? timeoutMs : 1));
        if (n > 0)
            got = std::size_t(n);
        if (r == 0 || (r == LIBUSB_ERROR_TIMEOUT && n > 0))
            return TReadResult::Data;
        if (r == LIBUSB_ERROR_TIMEOUT || r == LIBUSB_ERROR_INTERRUPTED ||
            r == LIBUSB_ERROR_OVERFLOW)
            return TReadResult::Timeout;
        return TReadResult::Lost;  // no device, pipe or I/O error
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        int n = 0;
        const int r = libusb_bulk_transfer(FHandle, FOut, const_cast<std::uint8_t*>(data),
                                           int(size), &n, kUsbWriteTimeoutMs);
        return r == 0 && std::size_t(n) == size;
    }

private:
    libusb_context* FContext;
    libusb_device_handle* FHandle;
    int FInterface;
    unsigned char FIn, FOut;
};

std::unique_ptr<TAntTransport> OpenUsb(const TAntDevice& device, std::string& error) {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        error = "libusb: no USB access";
        return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    libusb_device_handle* handle = nullptr;
    int iface = 0;
    unsigned char in = 0, out = 0;
    for (ssize_t i = 0; i < count && !handle; ++i) {
        libusb_device* d = list[i];
        if (libusb_get_bus_number(d) != device.Bus || libusb_get_device_address(d) != device.Address)
            continue;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(d, &config) != 0)
            break;
        // The first interface with a bulk endpoint each way.
        for (int k = 0; k < config->bNumInterfaces && !(in && out); ++k) {
            if (config->interface[k].num_altsetting < 1)
                continue;
            const libusb_interface_descriptor& alt = config->interface[k].altsetting[0];
            in = out = 0;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN)
                    in = ep.bEndpointAddress;
                else
                    out = ep.bEndpointAddress;
            }
            iface = alt.bInterfaceNumber;
        }
        libusb_free_config_descriptor(config);
        if (!(in && out)) {
            error = "USB stick without bulk endpoints";
            break;
        }
        const int r = libusb_open(d, &handle);
        if (r != 0) {
            error = std::string("libusb_open: ") + libusb_error_name(r);
            handle = nullptr;
            break;
        }
        libusb_set_auto_detach_kernel_driver(handle, 1);
        const int c = libusb_claim_interface(handle, iface);
        if (c != 0) {
            error = std::string("libusb_claim_interface: ") + libusb_error_name(c);
            libusb_close(handle);
            handle = nullptr;
            break;
        }
    }
    if (list)
        libusb_free_device_list(list, 1);
    if (!handle) {
        if (error.empty())
            error = "USB stick not found";
        libusb_exit(context);
        return nullptr;
    }
    // Drop what the stick still held from before.
    std::uint8_t stale[64];
    int n = 0;
    for (int i = 0; i < 8 && libusb_bulk_transfer(handle, in, stale, sizeof stale, &n, 10) == 0; ++i) {
    }
    return std::make_unique<TUsbTransport>(context, handle, iface, in, out);
}

}  // namespace

std::vector<TAntDevice> ListAntDevices(const std::string& sysfsRoot) {
    std::vector<TAntDevice> result;
    if (const char* serial = std::getenv("KVANT_SERIAL")) {
        std::string list = serial;
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            const std::string path = list.substr(start, end - start);
            if (!path.empty()) {
                TAntDevice d;
                d.Path = path;
                d.Product = "ANT Serial";
                d.Serial = path.substr(path.rfind('/') + 1);
                result.push_back(d);
            }
            start = end + 1;
        }
    }
    const std::string base = sysfsRoot + "/bus/usb/devices";
    std::vector<std::string> names = DirEntries(base);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string dir = base + "/" + name;
        if (name.find(':') != std::string::npos)
            continue;  // an interface, not a device
        if (std::strtoul(ReadLine(dir + "/idVendor").c_str(), nullptr, 16) != kAntVendor)
            continue;
        TAntDevice d;
        d.Pid = std::uint16_t(std::strtoul(ReadLine(dir + "/idProduct").c_str(), nullptr, 16));
        d.Product = ReadLine(dir + "/product");
        if (d.Product.empty())
            d.Product = "ANT USB Stick";
        d.Serial = ReadLine(dir + "/serial");
        d.Bus = std::atoi(ReadLine(dir + "/busnum").c_str());
        d.Address = std::atoi(ReadLine(dir + "/devnum").c_str());
        d.Path = TtyOf(dir, name);
        d.Tty = !d.Path.empty();
        result.push_back(d);
    }
    return result;
}

std::unique_ptr<TAntTransport> OpenAntTransport(const TAntDevice& device, unsigned baudrate,
                                                std::string& error) {
    if (device.Tty)
        return OpenTty(device.Path, baudrate, error);
    return OpenUsb(device, error);
}

}  // namespace kvant
