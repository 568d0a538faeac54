#include "shell/OrderlyEnd.h"

#include "foundation/core/AppUtils.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One program, one pipe: the handler may only use what is async-signal-safe.
int GPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT};

void OnSignal(int signo)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(GPipe[1], &byte, 1);
    // A second signal while the close runs ends the program at once, as without us.
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(signo, &dfl, nullptr);
    errno = saved;
}

QString SignalName(int signo)
{
    switch (signo) {
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGINT: return QStringLiteral("SIGINT");
    default: return QStringLiteral("signal %1").arg(signo);
    }
}

}  // namespace

TOrderlyEnd::TOrderlyEnd(std::function<void(const QString& reason)> onEnd, QObject* parent)
    : QObject(parent), FOnEnd(std::move(onEnd))
{
    if (GPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, GPipe) != 0) {
        DebugTrace(QStringLiteral("Orderly end: no pipe for the signals"));
        return;
    }
    FNotifier = new QSocketNotifier(GPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { PipeReadable(); });
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int signo : kSignals)
        ::sigaction(signo, &sa, nullptr);
    DebugTrace(QStringLiteral("Orderly end on SIGTERM, SIGINT and logout"));
}

TOrderlyEnd::~TOrderlyEnd()
{
    if (!FNotifier)
        return;
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    for (int signo : kSignals)
        ::sigaction(signo, &dfl, nullptr);
    delete FNotifier;
    FNotifier = nullptr;
    ::close(GPipe[0]);
    ::close(GPipe[1]);
    GPipe[0] = GPipe[1] = -1;
}

void TOrderlyEnd::SessionEnding()
{
    End(QStringLiteral("logout"));
}

void TOrderlyEnd::PipeReadable()
{
    unsigned char bytes[16];
    const ssize_t n = ::read(GPipe[0], bytes, sizeof bytes);
    if (n > 0)
        End(SignalName(bytes[0]));
}

void TOrderlyEnd::End(const QString& reason)
{
    if (FEnded)
        return;
    FEnded = true;
    DebugTrace(QStringLiteral("Ending in order: %1").arg(reason));
    try {
        if (FOnEnd)
            FOnEnd(reason);
    } catch (const std::exception& e) {
        DebugTrace(QStringLiteral("Orderly end failed: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        DebugTrace(QStringLiteral("Orderly end failed"));
    }
}
