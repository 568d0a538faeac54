// The partner slider's debug line protocol on its fixed line setting; the slider is woken with
// an empty line as soon as the port is open.
#pragma once

#include "devices/FlywheelInterface.h"

// The serial settings of the slider: 115200 8N1, RTS control enabled, RTS and DTR low on open.
inline constexpr std::uint32_t kSliderBaudRate = 115200;
inline constexpr std::int32_t kSliderFlowControl = 0x1000;

class TVDInterface : public TKVInterface {
public:
    TVDInterface(TCreateKey key, QObject* owner);

protected:
    void PortOpened() override;
    void ComPortClose() override;
};
