// The serial ports the system knows, as device paths.
#pragma once

#include <QString>
#include <QStringList>

// Appends the device path ("/dev/ttyUSB0") of every serial port under sysfsRoot/class/tty
// that is not in list yet; the list is neither cleared nor sorted. Only ttys with a device
// behind them count (ttyS only with a real UART); rfcomm bindings always count.
void GetCommPortList(QStringList& list, const QString& sysfsRoot = QStringLiteral("/sys"));

// The platform id of the operating-system family: always 2 (the NT family) here.
int GetPlatformId();
