#include "devices/SliderInterface.h"

#include "devices/serial/SerialPort.h"

TVDInterface::TVDInterface(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {
    FInterfaceType = kKvSliderInterfaceType;
    FProtocolSet = {kvpVSDebug};
    FPort->SetBaudRate(kSliderBaudRate);
    FPort->SetDataBits(8);
    FPort->SetParityType(0);
    FPort->SetStopBits(0);
    FPort->SetFlowControl(kSliderFlowControl);
    FRTSOnOpen = 0;
    FDTROnOpen = 0;
}

// Before the wait for the identification line: the slider only talks once woken.
void TVDInterface::PortOpened() {
    FPort->SendString("\r\n");
}

void TVDInterface::ComPortClose() {
    TInterface::ComPortClose();
}
