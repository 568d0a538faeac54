#include "support/LoopbackServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int SafetyMs = 20000;  // a broken client fails the test instead of hanging it

int ListenOnLoopback(int& port, bool listening) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 ||
        (listening && ::listen(fd, 16) < 0))
        throw std::runtime_error("loopback server: cannot listen");
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

}  // namespace

int RefusingPort() {
    int port = 0;
    int fd = ListenOnLoopback(port, false);  // bound, never listening: connects are refused
    ::close(fd);
    return port;
}

bool TLoopbackConnection::WaitReadable() {
    pollfd p[2] = {{FFd, POLLIN, 0}, {FServer->FStop[0], POLLIN, 0}};
    return ::poll(p, 2, SafetyMs) > 0 && !(p[1].revents & POLLIN);
}

std::string TLoopbackConnection::ReadRequest() {
    std::string got;
    char c;
    while (got.find("\r\n\r\n") == std::string::npos && WaitReadable() && ::recv(FFd, &c, 1, 0) == 1)
        got += c;
    std::lock_guard<std::mutex> lock(FServer->FLock);
    FServer->FRequests.push_back(got);
    return got;
}

std::string TLoopbackConnection::Read(std::size_t count) {
    std::string got;
    char buf[4096];
    ssize_t n;
    while (got.size() < count && WaitReadable() &&
           (n = ::recv(FFd, buf, std::min(sizeof buf, count - got.size()), 0)) > 0)
        got.append(buf, std::size_t(n));
    return got;
}

std::string TLoopbackConnection::ReadToEnd() {
    return Read(std::string::npos);
}

bool TLoopbackConnection::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(FFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

void TLoopbackConnection::WriteBytewise(const std::string& bytes) {
    int on = 1;
    setsockopt(FFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    for (char c : bytes)
        if (::send(FFd, &c, 1, MSG_NOSIGNAL) != 1)
            return;
}

void TLoopbackConnection::Reset() {
    linger l{1, 0};
    setsockopt(FFd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int TLoopbackConnection::PeerPort() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    return ::getpeername(FFd, reinterpret_cast<sockaddr*>(&a), &len) == 0 ? ntohs(a.sin_port) : -1;
}

TLoopbackServer::TLoopbackServer(TScript script) : FScript(std::move(script)) {
    FListen = ListenOnLoopback(FPort, true);
    if (::pipe2(FStop, O_CLOEXEC) < 0 || ::pipe2(FGate, O_CLOEXEC) < 0)
        throw std::runtime_error("loopback server: no pipe");
    FThread = std::thread([this] { Run(); });
}

TLoopbackServer::~TLoopbackServer() {
    char c = 0;
    (void)::write(FStop[1], &c, 1);
    FThread.join();
    for (int fd : {FListen, FStop[0], FStop[1], FGate[0], FGate[1]})
        ::close(fd);
}

std::string TLoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::vector<std::string> TLoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FRequests;
}

void TLoopbackServer::OpenGate() {
    char c = 0;
    (void)::write(FGate[1], &c, 1);
}

void TLoopbackServer::WaitGate() {
    pollfd p[2] = {{FGate[0], POLLIN, 0}, {FStop[0], POLLIN, 0}};
    if (::poll(p, 2, SafetyMs) > 0 && (p[0].revents & POLLIN)) {
        char c;
        (void)::read(FGate[0], &c, 1);
    }
}

void TLoopbackServer::Run() {
    for (;;) {
        pollfd p[2] = {{FListen, POLLIN, 0}, {FStop[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno == EINTR)
            continue;
        if (p[1].revents & POLLIN)
            return;
        int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        TLoopbackConnection connection(fd, this);
        connection.Index = FConnections++;
        FScript(connection);
        ::close(fd);
    }
}
