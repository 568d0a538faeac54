// The response side of the HTTP client: a receive buffer of 8,192 bytes cut into header lines
// until the blank line, then handed on as body chunks. Knows nothing of sockets, so that it can
// be driven from memory as well.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// Error codes of EHttpException besides the HTTP status codes (and 10060 for a time-out).
inline constexpr int httperrBusy = 1;
inline constexpr int httperrNothingToPost = 2;
inline constexpr int httperrBadNumber = 3;         // a status or length that is not a number
inline constexpr int httperrLineTooLong = 4;
inline constexpr int httperrHeaderIncomplete = 5;  // closed before the end of the header
inline constexpr int httperrBodyIncomplete = 6;    // closed before Content-Length bytes came
inline constexpr int httperrTooManyRelocations = 7;
inline constexpr int httperrUnsupportedScheme = 8;
inline constexpr int httperrAborted = 9;
inline constexpr int httperrWriteFailed = 10;      // the received-data stream refused the body
inline constexpr int httperrHeaderTooLong = 11;    // more than MaxHeaderSize bytes of header
inline constexpr int httperrTooLarge = 12;         // a body beyond the caller's MaxBodySize
inline constexpr int httperrReadFailed = 13;       // the send stream did not give what it holds

class EHttpException : public std::runtime_error {
public:
    EHttpException(const std::string& message, int errorCode)
        : std::runtime_error(message), ErrorCode(errorCode) {}
    QString Message() const { return QString::fromUtf8(what()); }
    int ErrorCode;
};

class THttpResponseReader {
public:
    static constexpr int BufferSize = 8192;
    // A header that goes on beyond this is refused: no server needs more, and an endless one
    // would otherwise fill memory.
    static constexpr std::int64_t MaxHeaderSize = 64 * 1024;

    void Reset();

    // The socket reads straight into the free part of the buffer and commits what it got.
    char* FreeArea() { return FBuffer + FFill; }
    int FreeSpace() const { return BufferSize - FFill; }
    void Commit(int count);
    // The same from memory, in as many passes as the buffer needs.
    void Feed(const char* data, std::size_t count);

    bool HeaderStarted() const { return FHeaderLines > 0; }
    bool HeaderEnded() const { return FStep != rsHeader; }
    // The body has reached its Content-Length (at once for a length of 0).
    bool Complete() const;
    // Nothing of the body is missing: no body was expected, none was announced, or all of it came.
    bool BodyWhole() const { return !ExpectBody || ContentLength < 0 || RcvdCount >= ContentLength; }

    // The body may not be longer than this (-1: no limit); kept by Reset.
    std::int64_t MaxBodySize = -1;
    // false for the answer to a HEAD request: its header ends it, whatever length it names.
    // Kept by Reset.
    bool ExpectBody = true;

    // Set by the header parser (and by whoever follows the relocation); cleared by Reset.
    bool Relocation = false;
    int StatusCode = 0;
    std::string ReasonPhrase;
    std::int64_t ContentLength = -1;  // -1: not given
    std::string ContentType;
    std::string AcceptRanges;
    std::string ContentRangeBegin, ContentRangeEnd;
    std::vector<std::string> RcvdHeader;
    std::vector<std::string> AuthenticateList;
    std::int64_t RcvdCount = 0;  // body bytes delivered
    int BodyChunks = 0;

    std::function<void()> OnHeaderBegin;
    std::function<void(const std::string& Line)> OnHeaderData;
    std::function<void()> OnHeaderEnd;
    std::function<void(const char* Data, int Length)> OnBody;
    std::function<void(const std::string& Value)> OnLocation;  // may raise to refuse it
    std::function<void(const std::string& Value, bool& Accept)> OnCookie;

private:
    enum TStep { rsHeader, rsBody, rsDone };

    void ProcessHeaderLine(const std::string& line, const char* raw, int rawLength);
    void ProcessBody(const char* data, int count);
    void DeliverBuffer();

    TStep FStep = rsHeader;
    int FHeaderLines = 0;
    std::int64_t FHeaderBytes = 0;
    int FFill = 0;
    char FBuffer[BufferSize + 1] = {};
};

// The class library's integer conversion: blanks around, an optional sign, decimal digits.
// Raises EHttpException (httperrBadNumber) for anything else.
std::int64_t HttpStrToInt(const std::string& text);
