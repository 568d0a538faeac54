#include "devices/InterfaceFactory.h"

#include "devices/FlywheelInterface.h"
#include "devices/FourthMarkInterface.h"
#include "devices/SliderInterface.h"
#include "devices/TrainingModuleInterface.h"
#include "devices/UsbSerialInterface.h"
#include "devices/WirelessInterface.h"
#include "devices/serial/UsbAdapters.h"

static_assert(kInterfaceK3 == kK3InterfaceType && kInterfaceVSU == kVSInterfaceType &&
              kInterfaceZT == kZTInterfaceType && kInterfaceVD == kKvSliderInterfaceType);

TInterfaceFactory::TInterfaceFactory() {
    Register(kInterfaceKV, [](QObject* owner) { return CreateInterface<TKVInterface>(owner); });
    Register(kInterfaceK3, [](QObject* owner) { return CreateInterface<TK3Interface>(owner); });
    Register(kInterfaceVSU, [](QObject* owner) { return CreateInterface<TVSInterface>(owner); });
    Register(kInterfaceZT, [](QObject* owner) { return CreateInterface<TZTInterface>(owner); });
    Register(kInterfaceVD, [](QObject* owner) { return CreateInterface<TVDInterface>(owner); });
    Register(kInterfaceKW, [](QObject* owner) { return CreateInterface<TKWInterface>(owner); });
    IsK3Port = [](const QString& port) { return ::IsK3Port(port); };
}

TInterfaceFactory& TInterfaceFactory::Default() {
    static TInterfaceFactory factory;
    return factory;
}

void TInterfaceFactory::Register(std::uint8_t kind, TInterfaceMaker maker) {
    if (kind == kInterfaceNone || kind >= kInterfaceKindCount)
        return;
    FMakers[kind] = std::move(maker);
}

bool TInterfaceFactory::Available(std::uint8_t kind) const {
    return kind < kInterfaceKindCount && FMakers[kind];
}

TInterface* TInterfaceFactory::Create(std::uint8_t kind, QObject* owner) const {
    return Available(kind) ? FMakers[kind](owner) : nullptr;
}
