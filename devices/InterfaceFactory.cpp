#include "devices/InterfaceFactory.h"

#include "devices/FlywheelInterface.h"

TInterfaceFactory::TInterfaceFactory() {
    Register(kInterfaceKV, [](QObject* owner) { return CreateInterface<TKVInterface>(owner); });
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
