#include "devices/serial/UsbAdapters.h"

#include "devices/serial/SerialPort.h"
#include "foundation/core/AppUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString ReadAttribute(const QString& dir, const char* name) {
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.read(256)).trimmed();
}

// The USB device directory above a tty's device: the first ancestor with idVendor and idProduct.
QString UsbDeviceDirOf(const QString& ttyDevice, const QString& root) {
    QString dir = QFileInfo(ttyDevice).canonicalFilePath();
    while (!dir.isEmpty() && dir.startsWith(root) && dir.size() > root.size()) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")) &&
            QFileInfo::exists(dir + QStringLiteral("/idProduct")))
            return dir;
        const int slash = dir.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        dir.truncate(slash);
    }
    return {};
}

QList<TUsbSerialPort> AdapterPorts(const TUsbLookup& usb, std::uint16_t vendor,
                                   std::uint16_t product) {
    QList<TUsbSerialPort> result;
    if (usb.VirtualMachine)
        return result;
    for (const TUsbSerialPort& port : ListUsbSerialPorts(usb.SysfsRoot))
        if (port.Vendor == vendor && port.Product == product)
            result.append(port);
    return result;
}

}  // namespace

TUsbLookup TUsbLookup::System() {
    TUsbLookup usb;
    usb.VirtualMachine = ::VirtualMachine;
    return usb;
}

QList<TUsbSerialPort> ListUsbSerialPorts(const QString& sysfsRoot) {
    QList<TUsbSerialPort> result;
    const QString root = QFileInfo(sysfsRoot).canonicalFilePath();
    if (root.isEmpty())
        return result;
    const QDir ttys(root + QStringLiteral("/class/tty"));
    const QStringList names =
        ttys.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                       QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QString device = UsbDeviceDirOf(ttys.filePath(name) + QStringLiteral("/device"), root);
        if (device.isEmpty())
            continue;
        bool vendorOk = false, productOk = false;
        TUsbSerialPort port;
        port.PortName = QStringLiteral("/dev/") + name;
        port.Vendor = std::uint16_t(ReadAttribute(device, "idVendor").toUInt(&vendorOk, 16));
        port.Product = std::uint16_t(ReadAttribute(device, "idProduct").toUInt(&productOk, 16));
        port.Serial = ReadAttribute(device, "serial");
        if (vendorOk && productOk)
            result.append(port);
    }
    return result;
}

void GetK3PortList(QStringList& List, const TUsbLookup& usb) {
    List.clear();
    for (const TUsbSerialPort& port : AdapterPorts(usb, kFtdiVendor, kFtdiProduct))
        List.append(port.PortName);
}

bool IsK3Port(const QString& Source, const TUsbLookup& usb) {
    if (Source == QStringLiteral("DEMO"))
        return true;
    QStringList ports;
    GetK3PortList(ports, usb);
    return ports.contains(SerialDevicePath(Source));
}

QString GetK3DeviceID(const QString& PortName, const TUsbLookup& usb) {
    if (usb.VirtualMachine)
        return {};
    QString result = QStringLiteral("?");
    const QString path = SerialDevicePath(PortName);
    for (const TUsbSerialPort& port : AdapterPorts(usb, kFtdiVendor, kFtdiProduct))
        if (port.PortName == path && !port.Serial.isEmpty())
            result = port.Serial;
    return result;
}

QString GetK3PortBySerial(const QString& Serial, const TUsbLookup& usb) {
    if (usb.VirtualMachine)
        return {};
    QString result = QStringLiteral("?");
    for (const TUsbSerialPort& port : AdapterPorts(usb, kFtdiVendor, kFtdiProduct))
        if (!Serial.isEmpty() && port.Serial == Serial)
            result = port.PortName;
    return result;
}

void GetVSPortList(QStringList& List, const TUsbLookup& usb) {
    if (usb.VirtualMachine)
        return;
    const QList<TUsbSerialPort> adapters = AdapterPorts(usb, kVSUVendor, kVSUProduct);
    // No module adapter at all: the module may sit on a plain port, so every port stays.
    if (adapters.isEmpty())
        return;
    QStringList narrowed;
    for (const TUsbSerialPort& port : adapters)
        if (List.contains(port.PortName) && !narrowed.contains(port.PortName))
            narrowed.append(port.PortName);
    List = narrowed;
}
