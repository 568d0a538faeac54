#include "shell/ScreenSaver.h"

#include "foundation/core/AppUtils.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");

bool ServicePresent(QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(kService);
    return registered.isValid() && registered.value();
}

}  // namespace

TScreenSaverBlock::~TScreenSaverBlock()
{
    Release();
}

bool TScreenSaverBlock::Inhibit(const QString& application, const QString& reason)
{
    Release();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ServicePresent(bus))
        return false;
    QDBusInterface saver(kService, kPath, kService, bus);
    saver.setTimeout(2000);
    const QDBusReply<std::uint32_t> reply = saver.call(QStringLiteral("Inhibit"), application, reason);
    if (!reply.isValid()) {
        DebugTrace(QStringLiteral("Screen saver not blocked: %1").arg(reply.error().message()));
        return false;
    }
    FCookie = reply.value();
    FActive = true;
    return true;
}

void TScreenSaverBlock::Release()
{
    if (!FActive)
        return;
    FActive = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface saver(kService, kPath, kService, bus);
    saver.setTimeout(2000);
    saver.call(QDBus::NoBlock, QStringLiteral("UnInhibit"), FCookie);
}
