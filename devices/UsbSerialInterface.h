// The third-generation machine: the flywheel samples of the KV interface through an FTDI USB
// serial adapter, whose serial number is the device identity.
#pragma once

#include "devices/FlywheelInterface.h"
#include "devices/serial/UsbAdapters.h"

inline constexpr std::uint8_t kK3InterfaceType = 2;

class TK3Interface : public TKVInterface {
public:
    TK3Interface(TCreateKey key, QObject* owner);

    // The port list is the adapters' ports (the plain list on a virtual machine).
    void ComPortUpdateList() override;
    const TUsbLookup& UsbLookup() const { return FUsb; }
    void SetUsbLookup(const TUsbLookup& value) { FUsb = value; }

protected:
    void ComPortOpen() override;
    void ComPortClose() override;

private:
    TUsbLookup FUsb = TUsbLookup::System();
};
