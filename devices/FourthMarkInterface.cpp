#include "devices/FourthMarkInterface.h"

#include "devices/serial/SerialPort.h"

TZTInterface::TZTInterface(TCreateKey key, QObject* owner) : TInterface(key, owner) {
    FInterfaceType = kZTInterfaceType;
    FProtocolSet = {kvpZtIV};
}

void TZTInterface::ComPortOpen() {
    QPointer<TZTInterface> self(this);
    TInterface::ComPortClose();
    if (!self)
        return;
    FOpenName.clear();
    StopTimer();
}

void TZTInterface::ComPortRxCluster(TSerialPortNG* Sender) {
    TInterface::ComPortRxCluster(Sender);
    while (FPort->ClusterCount() > 0) {
        const std::string packet = FPort->ReadNextClusterAsString();
        FReceivedBytes += packet.size();
        FReceiveBuffer += packet;
    }
}

void TZTInterface::DemoOpen() {
    if (OnError)
        OnError(this, QStringLiteral("Demo data not supported yet"));
}

void TZTInterface::Close() {
    CloseSource();
}
