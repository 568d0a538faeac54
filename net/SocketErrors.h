// Error numbers of the socket layer: the classic socket error codes (10004 ... 11004) that the
// messages show, the system's errno values and resolver results mapped onto them, and the
// exception of the socket layer.
#pragma once

#include <QString>

#include <stdexcept>
#include <string>

// The codes the layer and the HTTP client refer to by name.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;

// The text of a code; "Not a WinSock error" for a code outside the table.
const char* WinsockErrorText(int code);
// The code that stands for an errno value (0 for 0; an errno without its own code keeps its
// own value, which reads as "Not a WinSock error").
int SocketErrorFromErrno(int err);
// The code that stands for a getaddrinfo result (0 for success).
int SocketErrorFromResolver(int result);
// "Connection refused (Error #10061)": the form the HTTP client reports connect failures in.
std::string SocketErrorDescription(int code);

class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const std::string& message) : std::runtime_error(message) {}
    QString Message() const { return QString::fromUtf8(what()); }
};
