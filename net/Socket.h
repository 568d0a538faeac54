// Asynchronous IPv4 TCP client socket on the thread that made it: name lookup on a helper thread,
// non-blocking connect, a send queue of 1,460-byte chunks written as the stack accepts them,
// and events for connected, data available (with a drain loop), data sent and closed (once a
// connection). Readiness comes from QSocketNotifier; nothing here blocks.
#pragma once

#include "net/SendBuffer.h"
#include "net/SocketErrors.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
struct sockaddr_in;

enum TSocketState : std::uint8_t {
    wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed
};

enum TWSocketOption : unsigned { wsoNoReceiveLoop = 1, wsoTcpNoDelay = 2 };
enum TSocketSendFlags : std::uint8_t { wsSendNormal, wsSendUrgent };
// How a connect sets SO_LINGER: off, on with LingerTimeout, or left as the system has it.
enum TSocketLingerOnOff : std::uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };
// What Shutdown ends: receiving, sending or both (the values shutdown() takes).
enum TShutdownHow : int { sdReceive = 0, sdSend = 1, sdBoth = 2 };

// Name, port and protocol resolution (blocking; ESocketException on failure). Addresses and
// ports are returned in network order.
std::uint32_t WSocketResolveHost(const std::string& text);
std::uint16_t WSocketResolvePort(const std::string& text, const std::string& proto);
int WSocketResolveProto(const std::string& text);
// Four decimal numbers 0..255 joined by exactly three dots, blanks around the parts allowed.
bool WSocketIsDottedAddress(const std::string& text);
// Leading blanks skipped; stops at the first non-digit. 0 without digits.
long WSocketDecimal(const std::string& text);

class TWSocket : public QObject {
    Q_OBJECT

public:
    using TChangeState = std::function<void(TWSocket* Sender, TSocketState OldState, TSocketState NewState)>;
    using TSessionEvent = std::function<void(TWSocket* Sender, std::uint16_t Error)>;
    using TSendData = std::function<void(TWSocket* Sender, int BytesSent)>;
    using TNotifyEvent = std::function<void(TWSocket* Sender)>;
    using TBgExceptionEvent = std::function<void(TWSocket* Sender, const std::exception& E, bool& CanClose)>;

    static constexpr int SocketBufferSize = 1460;  // chunk size of the send queue

    explicit TWSocket(QObject* parent = nullptr);
    ~TWSocket() override;
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Remote and local end; changing any of them while not closed raises.
    const std::string& Addr() const { return FAddr; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return FProto; }
    void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return FLocalPort; }
    void SetLocalPort(const std::string& value);

    TSocketState State() const { return FState; }
    int HSocket() const { return FHSocket; }
    bool AllSent() const { return FAllSent; }
    std::uint32_t ReadCount() const { return FReadCount; }
    int LastError() const { return FLastError; }
    const std::string& LastErrorMessage() const { return FLastErrorMessage; }
    int RcvdCount() const;  // bytes waiting in the stack

    // A dotted address completes at once; a name is looked up on a helper thread and
    // OnDnsLookupDone follows from the event loop.
    void DnsLookup(const std::string& host);
    void CancelDnsLookup();
    const std::string& DnsResult() const { return FDnsResult; }
    const std::vector<std::string>& DnsResultList() const { return FDnsResultList; }

    void Connect();
    // Queues the bytes and writes what the stack takes; -1 (error 10057) while not connected.
    int Send(const void* data, int length);
    // Reads at most length bytes; the raw result (0 at the peer's end, -1 with LastError).
    int Receive(void* buffer, int length);
    void Close();
    // Close without the orderly shutdown, dropping what is queued. A connected socket's linger is
    // switched off first: a linger set on neither holds the close up nor makes it a reset.
    void Abort();
    // Ends receiving, sending or both of a connected socket; 0, or -1 with the error reported.
    // After receiving has ended nothing more is read, and the peer's end is heard of at the next
    // send or Close only.
    int Shutdown(TShutdownHow how);

    // The other end of a connected socket: 0, or -1 with LastError (10057 when not connected).
    int PeerName(sockaddr_in& name);
    // Its address and port as text; while not connected "error", and error 10057 is reported
    // (OnError, or raised without it).
    std::string PeerAddr();
    std::string PeerPort();
    // The address and port this end is bound to, as text; "error" unless the socket is bound,
    // connected or listening.
    std::string LocalAddrText() const;
    std::string LocalPortText() const;

    // The socket is used in a thread of its own: waits on it handle that thread's events
    // themselves (MessagePump) instead of running the application's pump.
    bool MultiThreaded = false;
    // The message pump. Without MultiThreaded the application's pump runs once; with it the events
    // waiting for the calling thread are handled until none is left (with waitForMore, after
    // waiting for the first). A quit of that thread (QThread::quit or exit, or the application's
    // exit on its main thread) sets Terminated and makes it return false.
    bool MessagePump(bool waitForMore = false);
    bool Terminated() const { return FTerminated; }

    unsigned ComponentOptions = 0;  // TWSocketOption bits
    TSocketSendFlags SendFlags = wsSendNormal;
    // SO_LINGER of the next connections. Off by default: on with 0 seconds would end every
    // Close with a reset, losing what the peer has not yet been sent.
    TSocketLingerOnOff LingerOnOff = wsLingerOff;
    std::uint16_t LingerTimeout = 0;  // seconds

    TChangeState OnChangeState;
    TSessionEvent OnDnsLookupDone;
    TSessionEvent OnSessionConnected;
    TSessionEvent OnSessionClosed;
    TSessionEvent OnDataAvailable;
    TSessionEvent OnDataSent;
    TSendData OnSendData;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;

private:
    void ChangeState(TSocketState newState);
    void CheckClosed(const char* what) const;
    void SocketError(const char* operation, int code);
    // The error in the socket error's form, without closing: OnError, or raised without it.
    void ReportError(const char* operation, int code);
    // A message with its code: OnError, or raised without it.
    void RaiseError(const std::string& message, int code);
    std::string LocalName(bool port) const;
    std::string PeerText(bool port);
    void InternalClose(bool shutdownFirst, int error);
    void DropNotifiers();
    void ResetDefaults();
    void LookupDone(unsigned serial, const std::vector<std::string>& list, int error);

    // Event handling, each behind an exception guard.
    void Guarded(const std::function<void()>& work);
    void ReadReady();
    void WriteReady();
    void ConnectEvent(int error);
    void CloseEvent(int error);
    void ReceiveLoop();
    void TryToSend();
    void PostWriteEvent();
    void UpdateWriteNotifier();

    std::string FAddr, FPort, FProto = "tcp", FLocalAddr = "0.0.0.0", FLocalPort = "0";
    TSocketState FState = wsClosed;
    int FHSocket = -1;
    unsigned FConnection = 0;  // counts connections, so a stale queued event is recognised
    QSocketNotifier* FReadNotifier = nullptr;
    QSocketNotifier* FWriteNotifier = nullptr;
    std::deque<TBuffer> FSendQueue;
    bool FAllSent = true;
    bool FCloseInvoked = false;
    bool FPeerClosed = false;  // Receive saw the end or a connection-ending error
    bool FReceiveShut = false;  // Shutdown ended receiving
    bool FTerminated = false;
    int FPeerError = 0;
    bool FReadCalled = false;
    bool FDestroying = false;
    std::uint32_t FReadCount = 0;
    int FLastError = 0;
    std::string FLastErrorMessage;
    std::string FDnsResult;
    std::vector<std::string> FDnsResultList;
    unsigned FLookupSerial = 0;
    bool FLookupPending = false;
    // How a lookup thread reaches the socket, in the socket's own thread, while it lives.
    struct TLookupChannel;
    std::shared_ptr<TLookupChannel> FLookupChannel;
};
