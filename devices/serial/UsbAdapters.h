// USB serial adapters behind the ttys, found through sysfs: the USB device above
// <root>/class/tty/ttyUSB* and ttyACM* tells vendor, product and serial number. Port names are
// device paths ("/dev/ttyUSB0"), compared as they are.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// Where the lookups look, and whether they run at all: on a virtual machine the adapters are
// not looked up (the host owns them; the plain port list is used instead).
struct TUsbLookup {
    QString SysfsRoot = QStringLiteral("/sys");
    bool VirtualMachine = false;
    // The running system: /sys and the start-up's virtual-machine flag.
    static TUsbLookup System();
};

struct TUsbSerialPort {
    QString PortName;  // /dev/ttyUSB0
    std::uint16_t Vendor = 0;
    std::uint16_t Product = 0;
    QString Serial;  // empty when the device has none
};

// The FTDI adapter of the third-generation machine and the training module's adapter.
inline constexpr std::uint16_t kFtdiVendor = 0x0403;
inline constexpr std::uint16_t kFtdiProduct = 0x6001;
inline constexpr std::uint16_t kVSUVendor = 0x10C4;
inline constexpr std::uint16_t kVSUProduct = 0x82BA;

// Every ttyUSB/ttyACM port whose USB device is present, by port name.
QList<TUsbSerialPort> ListUsbSerialPorts(const QString& sysfsRoot);

// The ports of the present FTDI adapters (List cleared first; nothing on a virtual machine).
void GetK3PortList(QStringList& List, const TUsbLookup& usb = TUsbLookup::System());
// True for "DEMO" and for a port of a present FTDI adapter.
bool IsK3Port(const QString& Source, const TUsbLookup& usb = TUsbLookup::System());
// The serial number of the FTDI adapter on PortName; "?" when the port has none, empty on a
// virtual machine.
QString GetK3DeviceID(const QString& PortName, const TUsbLookup& usb = TUsbLookup::System());
// The port of the FTDI adapter with that serial number; "?" when none, empty on a virtual machine.
QString GetK3PortBySerial(const QString& Serial, const TUsbLookup& usb = TUsbLookup::System());
// Narrows List to the ports of the training module's adapters that are present (possibly to
// none, when none of them is in List); without any such adapter, and on a virtual machine, List
// stays as it is.
void GetVSPortList(QStringList& List, const TUsbLookup& usb = TUsbLookup::System());
