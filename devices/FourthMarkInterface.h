// Placeholder for the fourth-mark device family: it opens no port and produces no data; bytes
// that reach it are only kept.
#pragma once

#include "devices/Interface.h"

inline constexpr std::uint8_t kZTInterfaceType = 4;

class TZTInterface : public TInterface {
public:
    TZTInterface(TCreateKey key, QObject* owner);
    void Close() override;
    const std::string& ReceiveBuffer() const { return FReceiveBuffer; }

protected:
    void RecordStart() override {}
    void RecordData() override {}
    void RecordStop() override {}
    void ComPortOpen() override;
    void ComPortRxCluster(TSerialPortNG* Sender) override;
    void DemoOpen() override;
    void DemoClose() override {}
    bool DemoRead() override { return false; }
    void DemoProcess() override {}
    void DemoTimer() override {}
};
