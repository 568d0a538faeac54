#include "net/Socket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

constexpr int PumpDrained = 0x5057;  // the message pump's own end of its loop

std::string AddressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

// Errors of a send that mean the connection is gone.
bool EndsConnection(int code) {
    return code == WSAECONNRESET || code == WSAENOTSOCK || code == WSAENOTCONN ||
           code == WSAEINVAL || code == WSAECONNABORTED || code == WSAESHUTDOWN;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Resolution

long WSocketDecimal(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return value;
}

bool WSocketIsDottedAddress(const std::string& text) {
    int dots = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        int value = 0, digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (part < 3) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
            ++dots;
        }
    }
    return dots == 3 && i == text.size();
}

namespace {

std::uint32_t DottedToAddress(const std::string& text) {
    std::string compact;
    for (char c : text)
        if (c != ' ')
            compact += c;
    in_addr a{};
    inet_pton(AF_INET, compact.c_str(), &a);
    return a.s_addr;
}

}  // namespace

std::uint32_t WSocketResolveHost(const std::string& text) {
    if (text.empty() || text.size() > 256)
        throw ESocketException("WSocketResolveHost: '" + text + "' Invalid Hostname.");
    std::string host = Trimmed(text);
    if (!host.empty() && host.find_first_not_of("0123456789. ") == std::string::npos) {
        if (!WSocketIsDottedAddress(host))
            throw ESocketException("WSocketResolveHost: '" + text + "' Invalid IP address.");
        return DottedToAddress(host);
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
    if (rc != 0 || !res)
        throw ESocketException("WSocketResolveHost: Cannot convert host address '" + host +
                               "', Error #" + std::to_string(SocketErrorFromResolver(rc)));
    std::uint32_t addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return addr;
}

std::uint16_t WSocketResolvePort(const std::string& text, const std::string& proto) {
    std::string port = Trimmed(text);
    if (port.empty())
        throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (port[0] >= '0' && port[0] <= '9') {
        const long number = WSocketDecimal(port);
        if (number > 65535)  // would wrap to another port
            throw ESocketException("WSocketResolvePort: Port '" + port + "' out of range.");
        return htons(std::uint16_t(number));
    }
    if (proto.empty())
        throw ESocketException("WSocketResolvePort: Invalid Proto.");
    servent* s = getservbyname(port.c_str(), proto.c_str());
    if (!s)
        throw ESocketException("WSocketResolvePort: Cannot convert port '" + port + "', Error #" +
                               std::to_string(WSAHOST_NOT_FOUND));
    return std::uint16_t(s->s_port);
}

int WSocketResolveProto(const std::string& text) {
    std::string proto = Trimmed(text);
    if (proto.empty())
        throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    if (proto[0] >= '0' && proto[0] <= '9')
        return int(WSocketDecimal(proto));
    // The two every system knows, also without a protocols file.
    if (strcasecmp(proto.c_str(), "tcp") == 0)
        return IPPROTO_TCP;
    if (strcasecmp(proto.c_str(), "udp") == 0)
        return IPPROTO_UDP;
    protoent* p = getprotobyname(proto.c_str());
    if (!p)
        throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + proto +
                               "', Error #" + std::to_string(WSAHOST_NOT_FOUND));
    return p->p_proto;
}

// ---------------------------------------------------------------------------------------------
// TWSocket

struct TWSocket::TLookupChannel {
    std::mutex Lock;
    TWSocket* Socket;
};

TWSocket::TWSocket(QObject* parent)
    : QObject(parent), FLookupChannel(std::make_shared<TLookupChannel>()) {
    FLookupChannel->Socket = this;
}

TWSocket::~TWSocket() {
    {
        std::lock_guard<std::mutex> lock(FLookupChannel->Lock);
        FLookupChannel->Socket = nullptr;
    }
    FDestroying = true;
    FLookupPending = false;
    ++FLookupSerial;
    if (FHSocket >= 0)
        InternalClose(true, 0);
    DropNotifiers();
}

void TWSocket::ChangeState(TSocketState newState) {
    TSocketState old = FState;
    FState = newState;
    if (OnChangeState && old != newState)
        OnChangeState(this, old, newState);
}

void TWSocket::CheckClosed(const char* what) const {
    if (FState != wsClosed)
        throw ESocketException(std::string("Cannot change ") + what + " if not closed");
}

void TWSocket::SetAddr(const std::string& value) {
    CheckClosed("Addr");
    FAddr = Trimmed(value);
}

void TWSocket::SetPort(const std::string& value) {
    CheckClosed("Port");
    FPort = Trimmed(value);
}

void TWSocket::SetProto(const std::string& value) {
    CheckClosed("Proto");
    FProto = Trimmed(value);
}

void TWSocket::SetLocalAddr(const std::string& value) {
    CheckClosed("LocalAddr");
    FLocalAddr = value.empty() ? "0.0.0.0" : value;
}

void TWSocket::SetLocalPort(const std::string& value) {
    CheckClosed("LocalPort");
    FLocalPort = value;
}

int TWSocket::RcvdCount() const {
    int n = 0;
    if (FHSocket < 0 || ioctl(FHSocket, FIONREAD, &n) < 0)
        return 0;
    return n;
}

void TWSocket::SocketError(const char* operation, int code) {
    if ((code == WSAECONNRESET || code == WSAENOTCONN) && FHSocket >= 0)
        InternalClose(false, code);
    ReportError(operation, code);
}

void TWSocket::ReportError(const char* operation, int code) {
    RaiseError("Error " + std::to_string(code) + " in function " + operation + "\r\n" + WinsockErrorText(code),
               code);
}

void TWSocket::RaiseError(const std::string& message, int code) {
    FLastErrorMessage = message;
    FLastError = code;
    if (OnError) {
        OnError(this);
        return;
    }
    throw ESocketException(FLastErrorMessage);
}

// ---------------------------------------------------------------------------------------------
// Name lookup

void TWSocket::DnsLookup(const std::string& host) {
    if (Trimmed(host).empty()) {
        RaiseError("DNS lookup: invalid host name.", WSAEINVAL);
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, WSAEINVAL);
        return;
    }
    ++FLookupSerial;
    FLookupPending = false;
    FDnsResult.clear();
    FDnsResultList.clear();
    if (WSocketIsDottedAddress(host)) {
        in_addr a{DottedToAddress(host)};
        FDnsResult = inet_ntoa(a);
        FDnsResultList.push_back(FDnsResult);
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, 0);
        return;
    }
    // getaddrinfo blocks: it runs on a thread of its own, whose result comes back through the
    // socket's own thread's event loop and is dropped when the socket is gone or the lookup was
    // cancelled.
    FLookupPending = true;
    unsigned serial = FLookupSerial;
    std::thread([channel = FLookupChannel, serial, host]() {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* res = nullptr;
        int rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
        std::vector<std::string> list;
        for (addrinfo* p = rc == 0 ? res : nullptr; p; p = p->ai_next) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr, text, sizeof text);
            list.emplace_back(text);
        }
        if (res)
            freeaddrinfo(res);
        int error = rc == 0 && list.empty() ? 11004 : SocketErrorFromResolver(rc);
        // Held while posting, so the socket cannot go away meanwhile; a posted call whose socket
        // goes away later is dropped with it.
        std::lock_guard<std::mutex> lock(channel->Lock);
        if (TWSocket* socket = channel->Socket)
            QMetaObject::invokeMethod(socket, [socket, serial, list, error]() {
                socket->LookupDone(serial, list, error);
            }, Qt::QueuedConnection);
    }).detach();
}

void TWSocket::LookupDone(unsigned serial, const std::vector<std::string>& list, int error) {
    if (serial != FLookupSerial || !FLookupPending)
        return;
    FLookupPending = false;
    Guarded([&] {
        FDnsResultList = list;
        if (error == 0)
            FDnsResult = list.front();
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, std::uint16_t(error));
    });
}

void TWSocket::CancelDnsLookup() {
    if (!FLookupPending)
        return;
    FLookupPending = false;
    ++FLookupSerial;
    if (!FDestroying && OnDnsLookupDone)
        OnDnsLookupDone(this, WSAEINTR);
}

// ---------------------------------------------------------------------------------------------
// Connecting

void TWSocket::Connect() {
    if (FHSocket >= 0 && FState != wsClosed)
        throw ESocketException("Connect: Socket already in use");
    if (FPort.empty())
        throw ESocketException("Connect: No Port Specified");
    if (FAddr.empty())
        throw ESocketException("Connect: No IP Address Specified");
    if (FProto.empty())
        throw ESocketException("Connect: No Protocol Specified");
    int proto = WSocketResolveProto(FProto);
    if (proto != IPPROTO_TCP)
        throw ESocketException("Connect: only tcp is supported");
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = WSocketResolvePort(FPort, FProto);
    remote.sin_addr.s_addr = WSocketResolveHost(FAddr);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = WSocketResolvePort(FLocalPort, FProto);
    local.sin_addr.s_addr = WSocketResolveHost(FLocalAddr);

    FSendQueue.clear();
    FAllSent = true;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        SocketError("Connect (socket)", SocketErrorFromErrno(errno));
        return;
    }
    FHSocket = fd;
    ++FConnection;
    FCloseInvoked = false;
    FPeerClosed = false;
    FReceiveShut = false;
    FPeerError = 0;
    ChangeState(wsOpened);
    if (FState != wsOpened) {
        InternalClose(false, WSAEINVAL);
        SocketError("Connect (Invalid operation in OnChangeState)", WSAEINVAL);
        return;
    }
    auto fail = [this](const char* operation) {
        int code = SocketErrorFromErrno(errno);
        InternalClose(false, code);
        SocketError(operation, code);
    };
    int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
        return fail("setsockopt(SO_REUSEADDR)");
    if ((ComponentOptions & wsoTcpNoDelay) && setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) < 0)
        return fail("setsockopt(IPPROTO_TCP, TCP_NODELAY)");
    if (LingerOnOff != wsLingerNoSet) {
        const linger option{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
        if (setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option) < 0) {
            if (errno != EINVAL)
                return fail("setsockopt(SO_LINGER)");
            InternalClose(false, WSAEINVAL);
            return RaiseError("Cannot set linger option at this time", WSAEINVAL);
        }
    }
    if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) < 0)
        return fail("setsockopt(SO_KEEPALIVE)");
    if ((local.sin_port != 0 || local.sin_addr.s_addr != 0) &&
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0)
        return fail("Bind");

    FReadNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    FReadNotifier->setEnabled(false);
    connect(FReadNotifier, &QSocketNotifier::activated, this, [this] { Guarded([this] { ReadReady(); }); });
    FWriteNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    FWriteNotifier->setEnabled(false);
    connect(FWriteNotifier, &QSocketNotifier::activated, this, [this] { Guarded([this] { WriteReady(); }); });

    int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    int err = rc == 0 ? 0 : errno;
    ChangeState(wsConnecting);
    if (rc == 0 || err == EINPROGRESS) {
        FWriteNotifier->setEnabled(true);  // writable = the connect has finished
        return;
    }
    // An immediate failure arrives as the connect event with its error, like a late one, so
    // that whoever waits for the connection hears of it.
    unsigned connection = FConnection;
    int code = SocketErrorFromErrno(err);
    QMetaObject::invokeMethod(this, [this, connection, code] {
        if (connection == FConnection && FState == wsConnecting)
            Guarded([this, code] { ConnectEvent(code); });
    }, Qt::QueuedConnection);
}

void TWSocket::ConnectEvent(int error) {
    if (FState == wsConnected)
        return;
    if (error == 0) {
        ChangeState(wsConnected);
        FReadNotifier->setEnabled(true);
        UpdateWriteNotifier();
        if (OnSessionConnected)
            OnSessionConnected(this, 0);
        return;
    }
    FLastError = error;
    if (FWriteNotifier)
        FWriteNotifier->setEnabled(false);
    if (OnSessionConnected)
        OnSessionConnected(this, std::uint16_t(error));
    if (FHSocket >= 0)
        InternalClose(false, error);
}

// ---------------------------------------------------------------------------------------------
// Events

void TWSocket::Guarded(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& e) {
        bool canClose = true;
        if (OnBgException)
            OnBgException(this, e, canClose);
        if (canClose)
            Abort();
    } catch (...) {
        Abort();
    }
}

void TWSocket::WriteReady() {
    if (FHSocket < 0)
        return;
    if (FState == wsConnecting) {
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(FHSocket, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
            err = errno;
        ConnectEvent(SocketErrorFromErrno(err));
        return;
    }
    if (FState != wsConnected)
        return;
    TryToSend();
    if (FHSocket >= 0 && FAllSent && OnDataSent)
        OnDataSent(this, 0);
}

void TWSocket::ReadReady() {
    if (FHSocket < 0 || FState != wsConnected)
        return;
    ReceiveLoop();
    if (FHSocket >= 0 && FPeerClosed)
        CloseEvent(FPeerError);
}

void TWSocket::ReceiveLoop() {
    for (;;) {
        FLastError = 0;
        FReadCalled = false;
        std::uint32_t before = FReadCount;
        if (OnDataAvailable) {
            OnDataAvailable(this, 0);
        } else {
            char drop[1024];
            if (Receive(drop, sizeof drop) < 0 && FLastError == WSAEWOULDBLOCK) {
                FLastError = 0;
                break;
            }
        }
        if (FHSocket < 0 || FPeerClosed || FLastError != 0)
            break;
        if (FReadCount == before) {
            // An empty pass: the handler took nothing. Wait for it to read again instead of
            // asking it over and over.
            if (!FReadCalled && FReadNotifier)
                FReadNotifier->setEnabled(false);
            break;
        }
        if (ComponentOptions & wsoNoReceiveLoop)
            break;
        int waiting = 0;
        if (ioctl(FHSocket, FIONREAD, &waiting) < 0) {
            FLastError = SocketErrorFromErrno(errno);
            break;
        }
        if (waiting <= 0)
            break;
    }
}

void TWSocket::CloseEvent(int error) {
    if (!FCloseInvoked) {
        FCloseInvoked = true;
        if (OnSessionClosed)
            OnSessionClosed(this, std::uint16_t(error));
    }
    if (FHSocket >= 0)
        InternalClose(false, error);
}

int TWSocket::Receive(void* buffer, int length) {
    FReadCalled = true;
    if (FHSocket < 0) {
        FLastError = WSAENOTCONN;
        return -1;
    }
    if (FReadNotifier && FState == wsConnected && !FReceiveShut)
        FReadNotifier->setEnabled(true);
    ssize_t n = ::recv(FHSocket, buffer, std::size_t(std::max(length, 0)), 0);
    if (n >= 0) {
        FReadCount += std::uint32_t(n);
        if (n == 0 && length > 0 && !FReceiveShut)
            FPeerClosed = true;
        return int(n);
    }
    FLastError = SocketErrorFromErrno(errno);
    if (FLastError != WSAEWOULDBLOCK && FLastError != WSAEINTR) {
        FPeerClosed = true;  // a reset or another end of the connection
        FPeerError = FLastError;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Sending

int TWSocket::Send(const void* data, int length) {
    if (FState != wsConnected) {
        SocketError("Send", WSAENOTCONN);
        return -1;
    }
    if (length <= 0)
        return 0;
    FAllSent = false;
    const char* p = static_cast<const char*>(data);
    int left = length;
    if (!FSendQueue.empty()) {
        int taken = FSendQueue.back().Write(p, left);
        p += taken;
        left -= taken;
    }
    while (left > 0) {
        FSendQueue.emplace_back(SocketBufferSize);
        int taken = FSendQueue.back().Write(p, left);
        p += taken;
        left -= taken;
    }
    TryToSend();
    if (FAllSent)
        PostWriteEvent();
    return length;
}

void TWSocket::PostWriteEvent() {
    unsigned connection = FConnection;
    QMetaObject::invokeMethod(this, [this, connection] {
        if (connection == FConnection && FState == wsConnected)
            Guarded([this] { WriteReady(); });
    }, Qt::QueuedConnection);
}

void TWSocket::TryToSend() {
    if (FHSocket < 0 || FSendQueue.empty())
        return;
    for (;;) {
        TBuffer& first = FSendQueue.front();
        auto [data, count] = first.Peek();
        if (count > 0) {
            int flags = MSG_NOSIGNAL | (SendFlags == wsSendUrgent ? MSG_OOB : 0);
            ssize_t n = ::send(FHSocket, data, std::size_t(count), flags);
            if (n > 0) {
                first.Remove(int(n));
                if (OnSendData)
                    OnSendData(this, int(n));
                if (n < count)
                    break;  // the stack is full: the write notifier continues
            } else if (n == 0) {
                break;
            } else {
                int code = SocketErrorFromErrno(errno);
                if (code == WSAEWOULDBLOCK || code == WSAEINTR)
                    break;
                if (EndsConnection(code)) {
                    FLastError = code;
                    FCloseInvoked = true;
                    InternalClose(false, code);
                    if (OnSessionClosed)
                        OnSessionClosed(this, std::uint16_t(code));
                    return;
                }
                SocketError("TryToSend failed", code);
                return;
            }
            if (FHSocket < 0 || FSendQueue.empty())
                return;
            continue;
        }
        if (FSendQueue.size() > 1) {
            FSendQueue.pop_front();
            continue;
        }
        FAllSent = true;
        break;
    }
    UpdateWriteNotifier();
}

void TWSocket::UpdateWriteNotifier() {
    // Writability is asked for only while data waits; otherwise it would fire all the time.
    if (FWriteNotifier && FState == wsConnected)
        FWriteNotifier->setEnabled(!FAllSent);
}

// ---------------------------------------------------------------------------------------------
// Closing

void TWSocket::DropNotifiers() {
    // Never deleted at once: this may run inside one of their own slots.
    for (QSocketNotifier** n : {&FReadNotifier, &FWriteNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->disconnect(this);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
}

void TWSocket::ResetDefaults() {
    FSendQueue.clear();
    FAllSent = true;
    FAddr.clear();
    FPort.clear();
    FProto = "tcp";
}

void TWSocket::InternalClose(bool shutdownFirst, int error) {
    if (FHSocket < 0) {
        if (FState != wsClosed)
            ChangeState(wsClosed);
        ResetDefaults();
        return;
    }
    if (shutdownFirst)
        ::shutdown(FHSocket, SHUT_WR);
    DropNotifiers();
    ::close(FHSocket);  // once: a retry could close a descriptor opened meanwhile
    FHSocket = -1;
    ChangeState(wsClosed);
    ResetDefaults();
    if (!FDestroying && !FCloseInvoked) {
        FCloseInvoked = true;
        if (OnSessionClosed)
            OnSessionClosed(this, std::uint16_t(error));
    }
}

void TWSocket::Close() {
    InternalClose(true, 0);
}

int TWSocket::Shutdown(TShutdownHow how) {
    if (FHSocket < 0 || FState != wsConnected) {
        ReportError("Shutdown", WSAENOTCONN);
        return -1;
    }
    if (::shutdown(FHSocket, how) < 0) {
        SocketError("Shutdown", SocketErrorFromErrno(errno));
        return -1;
    }
    if (how != sdSend) {
        // The end of input the system reports from now on would otherwise read as the peer's
        // close, over and over.
        FReceiveShut = true;
        if (FReadNotifier)
            FReadNotifier->setEnabled(false);
    }
    return 0;
}

void TWSocket::Abort() {
    FLookupPending = false;
    ++FLookupSerial;
    FSendQueue.clear();
    FAllSent = true;
    if (FHSocket >= 0 && FState == wsConnected) {
        const linger off{0, 0};
        setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    }
    InternalClose(false, 0);
}

// ---------------------------------------------------------------------------------------------
// Ends of the connection

int TWSocket::PeerName(sockaddr_in& name) {
    if (FHSocket < 0 || FState != wsConnected) {
        FLastError = WSAENOTCONN;
        return -1;
    }
    socklen_t length = sizeof name;
    if (::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&name), &length) < 0) {
        FLastError = SocketErrorFromErrno(errno);
        return -1;
    }
    return 0;
}

std::string TWSocket::PeerText(bool port) {
    sockaddr_in name{};
    if (PeerName(name) < 0) {
        ReportError("GetPeerName", FLastError);
        return "error";
    }
    return port ? std::to_string(ntohs(name.sin_port)) : AddressText(name);
}

std::string TWSocket::PeerAddr() { return PeerText(false); }
std::string TWSocket::PeerPort() { return PeerText(true); }

std::string TWSocket::LocalName(bool port) const {
    sockaddr_in name{};
    socklen_t length = sizeof name;
    if (FHSocket < 0 || (FState != wsBound && FState != wsConnected && FState != wsListening) ||
        ::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&name), &length) < 0)
        return "error";
    return port ? std::to_string(ntohs(name.sin_port)) : AddressText(name);
}

std::string TWSocket::LocalAddrText() const { return LocalName(false); }
std::string TWSocket::LocalPortText() const { return LocalName(true); }

// ---------------------------------------------------------------------------------------------
// Message pump

bool TWSocket::MessagePump(bool waitForMore) {
    if (!MultiThreaded) {
        QCoreApplication::processEvents(waitForMore ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
        return !FTerminated;
    }
    // The thread's own loop, ended by an end posted behind what waits now: a quit of the thread
    // ends it with another code, or at once when it came before.
    QPointer<TWSocket> self(this);
    QEventLoop loop;
    if (waitForMore)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    QMetaObject::invokeMethod(&loop, [&loop] { loop.exit(PumpDrained); }, Qt::QueuedConnection);
    const bool quit = loop.exec() != PumpDrained;
    if (!self)  // an event handler freed the socket
        return false;
    if (quit)
        FTerminated = true;
    return !FTerminated;
}
