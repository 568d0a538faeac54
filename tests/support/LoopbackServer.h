// A TCP server on 127.0.0.1 (port 0: the system picks one) for the client tests. A thread of its
// own accepts one connection after the other and plays the test's script on each; it waits
// with poll and never sleeps.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TLoopbackServer;

class TLoopbackConnection {
public:
    TLoopbackConnection(int fd, TLoopbackServer* server) : FFd(fd), FServer(server) {}

    // Reads up to the blank line that ends a request (or to the peer's end), and records it.
    std::string ReadRequest();
    // Reads count bytes (less when the peer ends first).
    std::string Read(std::size_t count);
    // Reads everything until the peer closes; what came.
    std::string ReadToEnd();
    bool Write(const std::string& bytes);  // false once the peer is gone
    // One byte a send, with Nagle off, so the client sees the bytes in many pieces.
    void WriteBytewise(const std::string& bytes);
    // Ends the connection with a reset instead of an orderly close.
    void Reset();
    // The client's port, as this end sees it.
    int PeerPort() const;
    int Index = 0;  // 0 for the first connection

private:
    bool WaitReadable();
    int FFd;
    TLoopbackServer* FServer;
};

class TLoopbackServer {
public:
    using TScript = std::function<void(TLoopbackConnection& Connection)>;

    explicit TLoopbackServer(TScript script);
    ~TLoopbackServer();
    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    int Port() const { return FPort; }
    std::string Url(const std::string& path = "/") const;
    // Every request as it came, in order.
    std::vector<std::string> Requests() const;
    int Connections() const { return FConnections.load(); }

    // A gate the script can wait at until the test opens it (from the client's events).
    void OpenGate();
    void WaitGate();

private:
    void Run();

    TScript FScript;
    int FListen = -1;
    int FPort = 0;
    int FStop[2] = {-1, -1};
    int FGate[2] = {-1, -1};
    std::atomic<int> FConnections{0};
    mutable std::mutex FLock;
    std::vector<std::string> FRequests;
    std::thread FThread;

    friend class TLoopbackConnection;
};

// A port on 127.0.0.1 where nobody listens.
int RefusingPort();
