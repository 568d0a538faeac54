#include "net/Socket.h"

#include "support/LoopbackServer.h"
#include "support/PtyPeer.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

TEST(SendBufferTest, WritePeekRemove) {
    TBuffer b(0);
    EXPECT_EQ(b.Size(), 1514);
    b.SetSize(10);
    EXPECT_EQ(b.Write("abcdefgh", 8), 8);
    EXPECT_EQ(b.Write("ijkl", 4), 2);  // full after two more
    EXPECT_EQ(b.Write("x", 1), 0);
    EXPECT_EQ(b.Remove(3), 3);
    auto [data, count] = b.Peek();
    EXPECT_EQ(std::string(data, std::size_t(count)), "defghij");
    EXPECT_EQ(b.Remove(100), 7);
    EXPECT_EQ(b.WriteCount(), 0);  // all sent: both counts back to 0
    EXPECT_EQ(b.ReadCount(), 0);
    EXPECT_EQ(b.Peek().first, nullptr);
    b.Write("xyz", 3);
    b.SetSize(20);  // keeps what is stored
    EXPECT_EQ(std::string(b.Peek().first, 3), "xyz");
}

TEST(SocketErrorsTest, CodesOutsideTheTable) {
    EXPECT_STREQ(WinsockErrorText(12345), "Not a WinSock error");
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10058);  // the peer has left: a send after shutdown
}

// Each call raises ESocketException with its message.
using TRaisingCall = std::pair<std::function<void()>, const char*>;
template <std::size_t N>
void ExpectRaised(const TRaisingCall (&calls)[N]) {
    for (const auto& [call, message] : calls) {
        try {
            call();
            ADD_FAILURE() << message;
        } catch (const ESocketException& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(SocketResolveTest, AddressesPortsAndTheirErrors) {
    const std::pair<const char*, bool> dotted[] = {
        {"127.0.0.1", true}, {" 10 . 0 . 0 . 1 ", true}, {"255.255.255.255", true}, {"1.2.3", false},
        {"1.2.3.4.5", false}, {"1.2.3.256", false}, {"1..2.3", false}, {"a.b.c.d", false}, {"", false},
    };
    for (auto [text, ok] : dotted)
        EXPECT_EQ(WSocketIsDottedAddress(text), ok) << text;
    EXPECT_EQ(WSocketResolveHost("10.0.0.1"), htonl(0x0A000001));
    EXPECT_EQ(WSocketResolvePort("8080", "tcp"), htons(8080));
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketDecimal("  42abc"), 42);
    const TRaisingCall errors[] = {
        {[] { WSocketResolveHost(""); }, "WSocketResolveHost: '' Invalid Hostname."},
        {[] { WSocketResolveHost("1.2.3.400"); }, "WSocketResolveHost: '1.2.3.400' Invalid IP address."},
        {[] { WSocketResolvePort("", "tcp"); }, "WSocketResolvePort: Invalid Port."},
        {[] { WSocketResolvePort("http", ""); }, "WSocketResolvePort: Invalid Proto."},
        {[] { WSocketResolvePort("65616", "tcp"); }, "WSocketResolvePort: Port '65616' out of range."},
        {[] { WSocketResolveProto(" "); }, "WSocketResolveProto: Invalid Protocol."},
    };
    ExpectRaised(errors);
}

// Records a socket's session events in one text: c<error> connected, x<error> closed.
void RecordSession(TWSocket& socket, std::string& log) {
    socket.OnSessionConnected = [&log](TWSocket*, std::uint16_t e) { log += "c" + std::to_string(e) + " "; };
    socket.OnSessionClosed = [&log](TWSocket*, std::uint16_t e) { log += "x" + std::to_string(e) + " "; };
}

// A socket with its events recorded: the session, s sent, the state changes and the data.
class SocketTest : public ::testing::Test {
protected:
    SocketTest() {
        RecordSession(Socket, Log);
        Socket.OnDataSent = [this](TWSocket*, std::uint16_t) { Log += "s "; };
        Socket.OnChangeState = [this](TWSocket*, TSocketState, TSocketState n) { States.push_back(n); };
        Socket.OnDataAvailable = [this](TWSocket* s, std::uint16_t) {
            char buf[256];
            int n = s->Receive(buf, sizeof buf);
            if (n > 0)
                Received.append(buf, std::size_t(n));
        };
    }

    void ConnectTo(int port) {
        Socket.SetAddr("127.0.0.1");
        Socket.SetPort(std::to_string(port));
        Socket.Connect();
    }

    TWSocket Socket;
    std::string Log;
    std::string Received;
    std::vector<TSocketState> States;
};

TEST_F(SocketTest, SendsReceivesAndClosesOnce) {
    std::string payload(3000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = char('a' + i % 26);
    std::string got;
    TLoopbackServer server([&](TLoopbackConnection& conn) {
        got = conn.Read(payload.size());
        conn.Write("bye");
    });
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitUntil([&] { return Socket.State() == wsConnected; }, 10000));
    EXPECT_EQ(Socket.Send(payload.data(), int(payload.size())), 3000);
    ASSERT_TRUE(WaitUntil([&] { return Log.find("x") != std::string::npos; }, 10000));
    Socket.Close();
    DrainEvents();
    EXPECT_EQ(got, payload);
    EXPECT_EQ(Received, "bye");
    EXPECT_EQ(Log, "c0 s x0 ");
    EXPECT_EQ(States, (std::vector<TSocketState>{wsOpened, wsConnecting, wsConnected, wsClosed}));
    EXPECT_EQ(Socket.ReadCount(), 3u);
}

TEST_F(SocketTest, LargeSendGoesOutAsTheStackTakesIt) {
    std::string payload(16 << 20, '\0');  // more than both ends' buffers hold
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7 + i / 4093);
    std::string got;
    std::atomic<bool> served{false};
    TLoopbackServer* self = nullptr;
    TLoopbackServer server([&](TLoopbackConnection& conn) {
        self->WaitGate();  // reads only once the client has queued everything
        got = conn.ReadToEnd();
        served = true;
    });
    self = &server;
    Socket.OnDataSent = [this](TWSocket* s, std::uint16_t) {
        Log += "s ";
        s->Close();
    };
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitUntil([&] { return Socket.State() == wsConnected; }, 10000));
    Socket.Send(payload.data(), int(payload.size()));
    EXPECT_FALSE(Socket.AllSent());  // more than the stack takes at once
    server.OpenGate();
    ASSERT_TRUE(WaitUntil([&] { return served.load(); }, 20000));
    EXPECT_TRUE(got == payload) << got.size();
    EXPECT_EQ(Log, "c0 s x0 ");
}

TEST(SocketConnectTest, FailedConnectIsAConnectEventThenOneClose) {
    // Refused comes late (after "in progress"); a broadcast address fails inside connect itself.
    const std::pair<std::string, const char*> cases[] = {
        {"127.0.0.1:" + std::to_string(RefusingPort()), "c10061 x10061 "},
        {"255.255.255.255:80", "c10051 x10051 "},
    };
    for (const auto& [address, expected] : cases) {
        TWSocket socket;
        std::string log;
        RecordSession(socket, log);
        socket.SetAddr(address.substr(0, address.find(':')));
        socket.SetPort(address.substr(address.find(':') + 1));
        socket.Connect();
        EXPECT_EQ(socket.State(), wsConnecting);
        ASSERT_TRUE(WaitUntil([&] { return socket.State() == wsClosed; }, 10000));
        DrainEvents();
        EXPECT_EQ(log, expected);
        EXPECT_EQ(socket.HSocket(), -1);
    }
}

// A handler that reads nothing is not asked again until it reads. A send to a peer that has
// reset the connection ends the session once with the reset's code; Send neither fails nor raises.
TEST_F(SocketTest, EmptyPassDoesNotSpinAndASendToAResetPeerCloses) {
    TLoopbackServer* self = nullptr;
    TLoopbackServer server([&self](TLoopbackConnection& conn) {
        conn.Write("data");
        self->WaitGate();  // a reset before the connect event would fail the connect instead
        conn.Reset();
    });
    self = &server;
    int passes = 0;
    Socket.OnDataAvailable = [&](TWSocket*, std::uint16_t) { ++passes; };  // reads nothing
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitUntil([&] { return passes > 0; }, 10000));
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(passes, 1);
    char buf[8];
    EXPECT_EQ(Socket.Receive(buf, sizeof buf), 4);  // the data waited for a reader
    server.OpenGate();
    ASSERT_TRUE(WaitUntil([&] { return passes > 1; }, 10000));  // the reset, left unread
    EXPECT_EQ(Socket.Send("x", 1), 1);
    EXPECT_EQ(Socket.State(), wsClosed);
    EXPECT_EQ(Socket.LastError(), WSAECONNRESET);
    DrainEvents();
    EXPECT_EQ(Log, "c0 x10054 ");
}

TEST_F(SocketTest, ExceptionInAHandlerAbortsTheSocket) {
    TLoopbackServer server([](TLoopbackConnection& conn) {
        conn.Write("x");
        conn.ReadToEnd();
    });
    std::string caught;
    Socket.OnDataAvailable = [](TWSocket*, std::uint16_t) { throw std::runtime_error("handler failed"); };
    Socket.OnBgException = [&](TWSocket*, const std::exception& e, bool&) { caught = e.what(); };
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitUntil([&] { return Socket.State() == wsClosed; }, 10000));
    EXPECT_EQ(caught, "handler failed");
    EXPECT_EQ(Log, "c0 x0 ");
}

// SO_LINGER as a connect sets it over the system's own on-with-0 s: off by default (a reset
// would lose what the peer has not been sent yet), on with its time-out, or left alone.
TEST_F(SocketTest, LingerOptionAsAConnectSetsIt) {
    const struct {
        TSocketLingerOnOff OnOff;
        std::uint16_t Timeout;
        int SetOnOff, SetSeconds;
    } cases[] = {{wsLingerOff, 0, 0, 0}, {wsLingerOn, 5, 1, 5}, {wsLingerNoSet, 5, 1, 0}};
    Socket.OnChangeState = [](TWSocket* s, TSocketState, TSocketState n) {
        const linger system{1, 0};
        if (n == wsOpened)
            setsockopt(s->HSocket(), SOL_SOCKET, SO_LINGER, &system, sizeof system);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.OnOff));
        Socket.LingerOnOff = c.OnOff;
        Socket.LingerTimeout = c.Timeout;
        TLoopbackServer server([](TLoopbackConnection& conn) { conn.ReadToEnd(); });
        ConnectTo(server.Port());
        ASSERT_TRUE(WaitUntil([&] { return Socket.State() == wsConnected; }, 10000));
        linger set{};
        socklen_t length = sizeof set;
        ASSERT_EQ(getsockopt(Socket.HSocket(), SOL_SOCKET, SO_LINGER, &set, &length), 0);
        EXPECT_EQ(std::pair(set.l_onoff, set.l_linger), std::pair(c.SetOnOff, c.SetSeconds));
        Socket.Close();
    }
}

TEST_F(SocketTest, MisuseIsReported) {
    // Sending while not connected: error 10057 through OnError, or raised without it.
    EXPECT_THROW(Socket.Send("x", 1), ESocketException);
    int errors = 0;
    Socket.OnError = [&](TWSocket*) { ++errors; };
    EXPECT_EQ(Socket.Send("x", 1), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(Socket.LastError(), 10057);
    EXPECT_EQ(Socket.LastErrorMessage(), "Error 10057 in function Send\r\nSocket is not connected");

    // A dotted address needs no lookup: done before DnsLookup returns.
    int lookups = 0;
    Socket.OnDnsLookupDone = [&](TWSocket*, std::uint16_t e) { lookups += 1 + e; };
    Socket.DnsLookup("127.0.0.1");
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(Socket.DnsResult(), "127.0.0.1");
    Socket.DnsLookup("");
    EXPECT_EQ(lookups, 1 + 1 + WSAEINVAL);
    EXPECT_EQ(errors, 2);

    TLoopbackServer server([](TLoopbackConnection& conn) { conn.ReadToEnd(); });
    ConnectTo(server.Port());
    EXPECT_THROW(Socket.SetPort("80"), ESocketException);  // not while open
    Socket.Close();
}

// What a socket without a connection answers: its own end "error", the peer's 10057 through
// OnError (and "error"), or raised without OnError; nothing of it closes or changes the socket.
void ExpectNotConnectedAnswers(TWSocket& socket) {
    const TSocketState state = socket.State();
    EXPECT_EQ(socket.LocalAddrText(), "error");
    EXPECT_EQ(socket.LocalPortText(), "error");
    sockaddr_in name{};
    EXPECT_EQ(socket.PeerName(name), -1);
    EXPECT_EQ(socket.LastError(), WSAENOTCONN);
    const TRaisingCall raised[] = {
        {[&] { socket.PeerAddr(); }, "Error 10057 in function GetPeerName\r\nSocket is not connected"},
        {[&] { socket.PeerPort(); }, "Error 10057 in function GetPeerName\r\nSocket is not connected"},
        {[&] { socket.Shutdown(sdBoth); }, "Error 10057 in function Shutdown\r\nSocket is not connected"},
    };
    ExpectRaised(raised);
    int errors = 0;
    socket.OnError = [&errors](TWSocket*) { ++errors; };
    EXPECT_EQ(socket.PeerAddr(), "error");
    EXPECT_EQ(socket.PeerPort(), "error");
    EXPECT_EQ(socket.Shutdown(sdSend), -1);
    EXPECT_EQ(errors, 3);
    EXPECT_EQ(socket.LastError(), WSAENOTCONN);
    socket.OnError = nullptr;
    EXPECT_EQ(socket.State(), state);
}

// Both ends of a connected pair as text, then Shutdown of each direction: the peer hears the end
// of what was shut, what stays open goes on working, and the end of input that Linux reports
// after the receiving side is shut is not taken for the peer's close. Closed, the socket answers
// as one that never connected.
TEST_F(SocketTest, QueriesAndShutdownOnAConnectedPair) {
    Socket.OnDataSent = nullptr;
    {
        SCOPED_TRACE("never connected");
        ExpectNotConnectedAnswers(Socket);
    }
    const struct {
        const char* Name;
        TShutdownHow How;
        const char* Before;  // sent before the shutdown
        const char* After;   // after it
        const char* PeerGot;
        const char* Received;  // from the peer's reply
        const char* Log;       // before the local Close
    } cases[] = {
        {"send", sdSend, "ab", "", "ab", "reply", "c0 x0 "},
        {"receive", sdReceive, "", "ping", "ping", "", "c0 "},
        {"both", sdBoth, "ab", "", "ab", "", "c0 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Log.clear();
        Received.clear();
        std::atomic<int> peerPort{0};
        std::atomic<bool> served{false};
        std::string peerGot;
        TLoopbackServer server([&](TLoopbackConnection& conn) {
            peerPort = conn.PeerPort();
            // Up to the end of input when the client shuts its sending, else what it sends after.
            peerGot = c.How == sdReceive ? conn.Read(4) : conn.ReadToEnd();
            conn.Write("reply");
            served = true;
        });
        ConnectTo(server.Port());
        ASSERT_TRUE(WaitUntil([&] { return Socket.State() == wsConnected; }, 10000));
        EXPECT_EQ(Socket.PeerAddr(), "127.0.0.1");
        EXPECT_EQ(Socket.PeerPort(), std::to_string(server.Port()));
        sockaddr_in name{};
        ASSERT_EQ(Socket.PeerName(name), 0);
        EXPECT_EQ(ntohs(name.sin_port), server.Port());
        EXPECT_EQ(Socket.LocalAddrText(), "127.0.0.1");
        const std::string localPort = Socket.LocalPortText();

        Socket.Send(c.Before, int(std::strlen(c.Before)));
        ASSERT_TRUE(WaitUntil([&] { return Socket.AllSent(); }, 10000));
        EXPECT_EQ(Socket.Shutdown(c.How), 0);
        Socket.Send(c.After, int(std::strlen(c.After)));
        ASSERT_TRUE(WaitUntil([&] { return served.load() && (c.How != sdSend || Log.find('x') != std::string::npos); }, 10000));
        DrainEvents();
        EXPECT_EQ(peerGot, c.PeerGot);
        EXPECT_EQ(Received, c.Received);
        EXPECT_EQ(Log, c.Log);
        EXPECT_EQ(localPort, std::to_string(peerPort.load()));
        Socket.Close();
        DrainEvents();
        EXPECT_EQ(Log, "c0 x0 ");
        ExpectNotConnectedAnswers(Socket);
    }
}

// With MultiThreaded the socket works in a thread of its own whose event loop is its message pump:
// a host name is looked up and handed back in that thread while the application's thread is
// blocked; a quit of the thread ends the pump for good.
TEST(SocketThreadTest, MultiThreadedSocketPumpsItsOwnThread) {
    bool done = false, inThread = false, terminated = false, pumpedAfterQuit = true;
    std::string result;
    QThread* thread = QThread::create([&] {
        TWSocket socket;
        socket.MultiThreaded = true;
        bool gaveUp = false;
        QTimer safety;  // a broken pump fails the test instead of hanging it
        QObject::connect(&safety, &QTimer::timeout, [&gaveUp] { gaveUp = true; });
        safety.start(20000);
        socket.OnDnsLookupDone = [&](TWSocket* s, std::uint16_t e) {
            done = e == 0;
            inThread = QThread::currentThread() == s->thread();
            result = s->DnsResult();
        };
        socket.DnsLookup("localhost");
        while (!done && !gaveUp && socket.MessagePump(true)) {
        }
        QThread::currentThread()->quit();
        pumpedAfterQuit = socket.MessagePump();
        terminated = socket.Terminated();
    });
    thread->start();
    thread->wait();  // the application's thread handles nothing meanwhile
    delete thread;
    EXPECT_TRUE(done);
    EXPECT_TRUE(inThread);
    EXPECT_EQ(result, "127.0.0.1");
    EXPECT_FALSE(pumpedAfterQuit);
    EXPECT_TRUE(terminated);
}

TEST_F(SocketTest, NameLookupComesBackThroughTheEventLoop) {
    int done = -1;
    Socket.OnDnsLookupDone = [&](TWSocket*, std::uint16_t e) { done = e; };
    Socket.DnsLookup("localhost");
    EXPECT_EQ(done, -1);
    ASSERT_TRUE(WaitUntil([&] { return done >= 0; }, 10000));
    EXPECT_EQ(done, 0);
    EXPECT_EQ(Socket.DnsResult(), "127.0.0.1");
}

}  // namespace
