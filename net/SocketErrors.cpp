#include "net/SocketErrors.h"

#include <cerrno>
#include <netdb.h>

namespace {

// One row a code: its text and the errno it stands for on this system (0 when none does).
struct TSocketError {
    int Code;
    int Errno;
    const char* Text;
};

constexpr TSocketError SocketErrors[] = {
    {0, 0, "No Error"},
    {10004, EINTR, "Interrupted system call"},
    {10009, EBADF, "Bad file number"},
    {10013, EACCES, "Permission denied"},
    {10014, EFAULT, "Bad address"},
    {10022, EINVAL, "Invalid argument"},
    {10024, EMFILE, "Too many open files"},
    {10035, EWOULDBLOCK, "Operation would block"},
    {10036, EINPROGRESS, "Operation now in progress"},
    {10037, EALREADY, "Operation already in progress"},
    {10038, ENOTSOCK, "Socket operation on non-socket"},
    {10039, EDESTADDRREQ, "Destination address required"},
    {10040, EMSGSIZE, "Message too long"},
    {10041, EPROTOTYPE, "Protocol wrong type for socket"},
    {10042, ENOPROTOOPT, "Protocol not available"},
    {10043, EPROTONOSUPPORT, "Protocol not supported"},
    {10044, ESOCKTNOSUPPORT, "Socket type not supported"},
    {10045, EOPNOTSUPP, "Operation not supported on socket"},
    {10046, EPFNOSUPPORT, "Protocol family not supported"},
    {10047, EAFNOSUPPORT, "Address family not supported by protocol family"},
    {10048, EADDRINUSE, "Address already in use"},
    {10049, EADDRNOTAVAIL, "Address not available"},
    {10050, ENETDOWN, "Network is down"},
    {10051, ENETUNREACH, "Network is unreachable"},
    {10052, ENETRESET, "Network dropped connection on reset"},
    {10053, ECONNABORTED, "Connection aborted"},
    {10054, ECONNRESET, "Connection reset by peer"},
    {10055, ENOBUFS, "No buffer space available"},
    {10056, EISCONN, "Socket is already connected"},
    {10057, ENOTCONN, "Socket is not connected"},
    // A write to a connection the peer has left is a send after shutdown here.
    {10058, EPIPE, "Can't send after socket shutdown"},
    {10059, ETOOMANYREFS, "Too many references: can't splice"},
    {10060, ETIMEDOUT, "Connection timed out"},
    {10061, ECONNREFUSED, "Connection refused"},
    {10062, ELOOP, "Too many levels of symbolic links"},
    {10063, ENAMETOOLONG, "File name too long"},
    {10064, EHOSTDOWN, "Host is down"},
    {10065, EHOSTUNREACH, "No route to host"},
    {10066, ENOTEMPTY, "Directory not empty"},
    {10067, 0, "Too many processes"},
    {10068, EUSERS, "Too many users"},
    {10069, EDQUOT, "Disc quota exceeded"},
    {10070, ESTALE, "Stale NFS file handle"},
    {10071, EREMOTE, "Too many levels of remote in path"},
    {10091, 0, "Network sub-system is unusable"},
    {10092, 0, "WinSock DLL cannot support this application"},
    {10093, 0, "WinSock not initialized"},
    {11001, 0, "Host not found"},
    {11002, 0, "Non-authoritative host not found"},
    {11003, 0, "Non-recoverable error"},
    {11004, 0, "No Data"},
};

}  // namespace

const char* WinsockErrorText(int code) {
    for (const TSocketError& e : SocketErrors)
        if (e.Code == code)
            return e.Text;
    return "Not a WinSock error";
}

int SocketErrorFromErrno(int err) {
    if (err == 0)
        return 0;
    if (err == EAGAIN)
        return WSAEWOULDBLOCK;
    for (const TSocketError& e : SocketErrors)
        if (e.Errno == err)
            return e.Code;
    return err;
}

int SocketErrorFromResolver(int result) {
    switch (result) {
    case 0: return 0;
    case EAI_NONAME: return 11001;
#ifdef EAI_NODATA
    case EAI_NODATA: return 11004;
#endif
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
    case EAI_MEMORY: return 10055;
    case EAI_SYSTEM: return SocketErrorFromErrno(errno);
    default: return 11003;
    }
}

std::string SocketErrorDescription(int code) {
    return std::string(WinsockErrorText(code)) + " (Error #" + std::to_string(code) + ")";
}
