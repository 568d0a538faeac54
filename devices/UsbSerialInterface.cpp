#include "devices/UsbSerialInterface.h"

#include "devices/serial/CommPortList.h"

TK3Interface::TK3Interface(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {
    FInterfaceType = kK3InterfaceType;
    // The machine's electronics speak any of the sample protocols.
    FProtocolSet = {kvpDOS, kvpKvw, kvpKV3W};
}

void TK3Interface::ComPortUpdateList() {
    FPortList.clear();
    GetCommPortList(FPortList, FUsb.SysfsRoot);
    FPortList.sort();
    if (!FUsb.VirtualMachine)
        GetK3PortList(FPortList, FUsb);
}

void TK3Interface::ComPortOpen() {
    QPointer<TK3Interface> self(this);
    TKVInterface::ComPortOpen();  // may wait for data, running events
    if (self && FState > kvsClosed)
        FDeviceID = GetK3DeviceID(SourceName(), FUsb);
}

void TK3Interface::ComPortClose() {
    QPointer<TK3Interface> self(this);
    TInterface::ComPortClose();
    if (self)
        FDeviceID.clear();
}
