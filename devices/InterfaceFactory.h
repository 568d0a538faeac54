// Makes a device interface from its interface kind (the byte stored in section "Connect" and in
// a training's header): the connect dialog and the row window create every interface here, so a
// kind that is built later plugs in with one Register call and no window changes.
#pragma once

#include "devices/Interface.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// Interface kinds (InterfaceTypeNames indexes).
inline constexpr std::uint8_t kInterfaceNone = 0;
inline constexpr std::uint8_t kInterfaceKV = 1;        // TKVInterface
inline constexpr std::uint8_t kInterfaceK3 = 2;        // USB serial adapter
inline constexpr std::uint8_t kInterfaceVSU = 3;       // training module
inline constexpr std::uint8_t kInterfaceZT = 4;        // ZtIV
inline constexpr std::uint8_t kInterfaceVD = 5;        // slider debug
inline constexpr std::uint8_t kInterfaceKW = 6;        // wireless
inline constexpr std::uint8_t kInterfaceKindCount = 7;

using TInterfaceMaker = std::function<TInterface*(QObject* owner)>;

class TInterfaceFactory {
public:
    // With the kinds this program is built with.
    TInterfaceFactory();

    // The factory of the program; tests and late-built kinds register into their own copies or
    // into this one.
    static TInterfaceFactory& Default();

    // maker == nullptr removes the kind. Kinds outside 1..6 are ignored.
    void Register(std::uint8_t kind, TInterfaceMaker maker);
    bool Available(std::uint8_t kind) const;
    // A new interface of the kind, owned by owner; nullptr when the kind is not available.
    TInterface* Create(std::uint8_t kind, QObject* owner) const;

    // Whether a port belongs to the third-generation USB adapter (whose own interface reads it,
    // not the flywheel interface); the sysfs lookup unless replaced.
    std::function<bool(const QString& port)> IsK3Port;

private:
    std::array<TInterfaceMaker, kInterfaceKindCount> FMakers{};
};
