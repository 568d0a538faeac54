// HTTP/1.0 client on one TWSocket. Get, Post and Head are synchronous: they start the request
// and wait for its end in a nested event loop (windows repaint, progress moves; with
// MultiThreaded the socket's own message pump on the client's thread), then raise
// EHttpException for a status of 400 or more, a failed connection, a cut-off response, a
// time-out, an abort, or an exception out of one of the document handlers. RequestAsync starts
// any of them and returns at once; OnRequestDone tells the end.
//
// A POST sends SendStream from where it stands to its end, announced as its Content-Length, in
// blocks of SendBlockSize (OnSendBegin, OnSendData for each block, OnSendEnd); a relocated POST
// goes on as a GET. The answer to a HEAD ends with its header.
//
// Use from a window:
//     THttpCli http(this);
//     http.URL = address;
//     http.OnDocData = [&](THttpCli*, const char* data, int length) { ... };
//     http.OnDocEnd = [&](THttpCli* sender) { if (sender->DocComplete()) ... };
//     http.Get();
// OnDocEnd also follows the body of an error page and a body cut short: DocComplete tells.
#pragma once

#include "foundation/core/DateTimeUtils.h"
#include "net/HttpResponse.h"

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QEventLoop;
class QIODevice;
class QTimer;
class TWSocket;

enum THttpRequest : std::uint8_t { httpAbort, httpGET, httpPOST, httpHEAD };

enum THttpState : std::uint8_t {
    httpReady, httpNotConnected, httpConnected, httpDnsLookup, httpDnsLookupDone,
    httpWaitingHeader, httpWaitingBody, httpAborting
};

// The last part of a path without its query; "document.htm" for a folder.
std::string MakeDocName(const std::string& path);

class THttpCli : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(THttpCli* Sender)>;
    using TDocDataEvent = std::function<void(THttpCli* Sender, const char* Data, int Length)>;
    using THeaderDataEvent = std::function<void(THttpCli* Sender, const std::string& Line)>;
    using TBeforeHeaderSendEvent = std::function<void(THttpCli* Sender, const std::string& Method,
                                                      std::vector<std::string>& Headers)>;
    using TOnCommand = std::function<void(THttpCli* Sender, std::string& Line)>;
    using THttpRequestDone = std::function<void(THttpCli* Sender, THttpRequest Request, int Error)>;
    using TCookieRcvdEvent = std::function<void(THttpCli* Sender, const std::string& Data, bool& Accept)>;

    static constexpr int DefaultIdleTimeoutMs = 15000;
    static constexpr int DefaultRequestTimeoutMs = 30 * 60 * 1000;
    static constexpr int MaxRelocations = 10;
    static constexpr int SendBlockSize = 8193;  // read from SendStream for each send

    explicit THttpCli(QObject* parent = nullptr);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Request settings
    std::string URL;
    std::string LocalAddr = "0.0.0.0";
    std::string Proxy;  // "host" or "host:port"; empty = direct
    std::string ProxyPort = "80";
    std::string Sender;
    std::string Agent = "Mozilla/3.0 (compatible)";
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string AcceptLanguage;
    std::string Reference;
    std::string Username, Password;
    std::string ProxyUsername, ProxyPassword;
    bool NoCache = false;
    TDateTime ModifiedSince = 0;
    std::string Cookie;
    std::string ContentTypePost = "application/x-www-form-urlencoded";
    std::string ContentRangeBegin, ContentRangeEnd;  // cleared after each request
    QIODevice* RcvdStream = nullptr;  // the body is written here as well, when set
    QIODevice* SendStream = nullptr;  // what a POST sends; open for reading
    // A request ends with error 10060 after this long without any progress, or this long in all.
    int IdleTimeoutMs = DefaultIdleTimeoutMs;
    int RequestTimeoutMs = DefaultRequestTimeoutMs;
    // A body longer than this ends the request with an error before the excess is delivered
    // (-1: no limit); so does a Content-Length above it.
    std::int64_t MaxBodySize = -1;

    void Get();        // synchronous
    void Post();
    void Head();
    void GetASync();   // returns at once; OnRequestDone tells the end
    void RequestSync(THttpRequest request);
    void RequestAsync(THttpRequest request);
    void Abort();      // ends the running request with httperrAborted

    // The client and its socket are used in a thread of their own: the synchronous requests wait
    // in the socket's message pump, which a quit of that thread ends (the request is aborted).
    bool MultiThreaded() const;
    void SetMultiThreaded(bool value);

    // The request and its response
    THttpState State() const { return FState; }
    int StatusCode() const { return FReader.StatusCode; }
    const std::string& ReasonPhrase() const { return FReader.ReasonPhrase; }
    int RequestError() const { return FRequestError; }  // 0, a socket error or an httperr code
    const std::string& RequestErrorText() const { return FRequestErrorText; }
    // The whole document came: status below 400, no error, the full Content-Length.
    bool DocComplete() const;
    std::int64_t ContentLength() const { return FReader.ContentLength; }
    const std::string& ContentType() const { return FReader.ContentType; }
    std::int64_t RcvdCount() const { return FReader.RcvdCount; }
    std::int64_t SentCount() const { return FSentCount; }  // body bytes of a POST handed to the socket
    THttpRequest RequestType() const { return FRequestType; }  // httpGET once a POST was relocated
    const std::vector<std::string>& RcvdHeader() const { return FReader.RcvdHeader; }
    const std::vector<std::string>& AuthenticateList() const { return FReader.AuthenticateList; }
    const std::string& AcceptRanges() const { return FReader.AcceptRanges; }
    const std::string& Location() const { return FLocation; }
    const std::string& DocName() const { return FDocName; }
    const std::string& Hostname() const { return FHostName; }
    int Relocations() const { return FRelocations; }
    TWSocket* CtrlSocket() const { return FCtrlSocket; }

    TNotifyEvent OnStateChange;
    TNotifyEvent OnSessionConnected;
    TNotifyEvent OnRequestHeaderBegin;
    TNotifyEvent OnRequestHeaderEnd;
    TBeforeHeaderSendEvent OnBeforeHeaderSend;
    TOnCommand OnCommand;
    TNotifyEvent OnHeaderBegin;
    THeaderDataEvent OnHeaderData;
    TNotifyEvent OnHeaderEnd;
    TNotifyEvent OnDocBegin;
    TDocDataEvent OnDocData;
    TNotifyEvent OnDocEnd;
    TNotifyEvent OnSendBegin;
    TDocDataEvent OnSendData;
    TNotifyEvent OnSendEnd;
    THttpRequestDone OnRequestDone;
    TNotifyEvent OnLocationChange;
    TCookieRcvdEvent OnCookie;
    TNotifyEvent OnSocketError;

private:
    void StartRequest();
    void SetState(THttpState state);
    void PostReady();
    void SendRequest(const char* method);
    void SocketDnsLookupDone(int error);
    void SocketSessionConnected(int error);
    void SocketDataSent();
    void SocketDataAvailable();
    void SocketSessionClosed(int error);
    void LocationHeader(const std::string& value);
    void Relocate();
    void HeaderEnded();
    void BodyData(const char* data, int length);
    void Fail(int error, const std::string& text, std::exception_ptr raised = nullptr);
    // Runs work; an exception out of it (a parse error, a handler's) ends the request and waits
    // for Get to raise it again.
    void Guarded(const std::function<void()>& work);
    void Finish();
    void RestartIdle();

    TWSocket* FCtrlSocket;
    QTimer* FIdleTimer;
    QTimer* FRequestTimer;
    QEventLoop* FWaitLoop = nullptr;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    THttpResponseReader FReader;
    THttpState FState = httpReady;
    THttpRequest FRequestType = httpGET;
    unsigned FRequestSerial = 0;
    bool FEnded = true;
    bool FConnected = false;
    bool FSendAllowed = false;
    std::int64_t FSendLeft = 0;  // of the body announced
    std::int64_t FSentCount = 0;
    int FRequestError = 0;
    std::string FRequestErrorText;
    std::exception_ptr FRaised;
    int FRelocations = 0;
    // Where the request goes (the proxy, when there is one) and what it asks for.
    std::string FHostName, FPort, FPath;
    // The document's own host, port and path, and the credentials sent to that host.
    std::string FTargetHost, FTargetPort, FTargetPath, FUser, FPass;
    std::string FLocation;
    std::string FDocName;
};
