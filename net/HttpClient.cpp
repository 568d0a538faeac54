#include "net/HttpClient.h"

#include "net/HttpUrl.h"
#include "net/Socket.h"

#include <QEventLoop>
#include <QIODevice>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && LowerCase(s.substr(0, prefix.size())) == prefix;
}

// "https" for "HTTPS://host/": the scheme of an absolute address, "" for a relative one.
std::string SchemeOf(const std::string& address) {
    std::size_t sep = address.find("://");
    if (sep == std::string::npos || sep == 0)
        return {};
    for (std::size_t i = 0; i < sep; ++i) {
        unsigned char c = static_cast<unsigned char>(address[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return LowerCase(address.substr(0, sep));
}

std::string NonEmptyPath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return "/" + path;
    return path;
}

}  // namespace

std::string MakeDocName(const std::string& path) {
    std::string name = path.substr(0, path.find('?'));
    if (name.empty() || name.back() == '/')
        return "document.htm";
    name = name.substr(name.rfind('/') + 1);
    return name.substr(0, 255);
}

THttpCli::THttpCli(QObject* parent)
    : QObject(parent), FCtrlSocket(new TWSocket(this)), FIdleTimer(new QTimer(this)),
      FRequestTimer(new QTimer(this)) {
    FCtrlSocket->OnDnsLookupDone = [this](TWSocket*, std::uint16_t e) { SocketDnsLookupDone(e); };
    FCtrlSocket->OnSessionConnected = [this](TWSocket*, std::uint16_t e) { SocketSessionConnected(e); };
    FCtrlSocket->OnSessionClosed = [this](TWSocket*, std::uint16_t e) { SocketSessionClosed(e); };
    FCtrlSocket->OnDataAvailable = [this](TWSocket*, std::uint16_t) { SocketDataAvailable(); };
    FCtrlSocket->OnDataSent = [this](TWSocket*, std::uint16_t) { Guarded([this] { SocketDataSent(); }); };
    // Errors of the socket never raise inside its events; they end the request through the
    // close that follows them.
    FCtrlSocket->OnError = [this](TWSocket*) {
        if (OnSocketError)
            OnSocketError(this);
    };
    FCtrlSocket->OnBgException = [this](TWSocket*, const std::exception& e, bool& canClose) {
        canClose = true;
        Fail(httperrAborted, e.what(), std::current_exception());
    };

    for (QTimer* t : {FIdleTimer, FRequestTimer}) {
        t->setSingleShot(true);
        connect(t, &QTimer::timeout, this, [this] {
            Guarded([this] { Fail(WSAETIMEDOUT, SocketErrorDescription(WSAETIMEDOUT)); });
        });
    }

    FReader.OnHeaderBegin = [this] {
        if (OnHeaderBegin)
            OnHeaderBegin(this);
    };
    FReader.OnHeaderData = [this](const std::string& line) {
        if (OnHeaderData)
            OnHeaderData(this, line);
    };
    FReader.OnHeaderEnd = [this] { HeaderEnded(); };
    FReader.OnBody = [this](const char* data, int length) { BodyData(data, length); };
    FReader.OnLocation = [this](const std::string& value) { LocationHeader(value); };
    FReader.OnCookie = [this](const std::string& value, bool& accept) {
        if (OnCookie)
            OnCookie(this, value, accept);
    };
}

THttpCli::~THttpCli() {
    *FAlive = false;
    if (FWaitLoop)
        FWaitLoop->quit();
    FCtrlSocket->OnDnsLookupDone = nullptr;
    FCtrlSocket->OnSessionConnected = nullptr;
    FCtrlSocket->OnSessionClosed = nullptr;
    FCtrlSocket->OnDataAvailable = nullptr;
    FCtrlSocket->OnDataSent = nullptr;
    FCtrlSocket->OnError = nullptr;
    FCtrlSocket->OnBgException = nullptr;
}

bool THttpCli::DocComplete() const {
    return FEnded && FRequestError == 0 && !FRaised && StatusCode() < 400 && FReader.HeaderEnded() &&
           FReader.BodyWhole();
}

void THttpCli::Get() { RequestSync(httpGET); }
void THttpCli::Post() { RequestSync(httpPOST); }
void THttpCli::Head() { RequestSync(httpHEAD); }
void THttpCli::GetASync() { RequestAsync(httpGET); }

bool THttpCli::MultiThreaded() const { return FCtrlSocket->MultiThreaded; }
void THttpCli::SetMultiThreaded(bool value) { FCtrlSocket->MultiThreaded = value; }

void THttpCli::Abort() {
    if (!FEnded)
        Fail(httperrAborted, "HTTP request aborted");
}

// ---------------------------------------------------------------------------------------------
// Starting

void THttpCli::RequestSync(THttpRequest request) {
    RequestAsync(request);
    if (FState != httpReady) {
        std::shared_ptr<bool> alive = FAlive;
        if (MultiThreaded()) {
            // The socket's own pump, waiting for each event; false once the thread is told to end.
            while (*alive && FState != httpReady && FCtrlSocket->MessagePump(true)) {
            }
        } else {
            QEventLoop loop;
            FWaitLoop = &loop;
            loop.exec();
        }
        if (!*alive)  // the client went away while it waited
            throw EHttpException("HTTP request aborted", httperrAborted);
        FWaitLoop = nullptr;
        // The wait was ended from outside (the program or the thread is quitting): the request
        // ends here.
        if (!FEnded)
            Abort();
        if (FState != httpReady)
            SetState(httpReady);
    }
    if (FRaised) {
        std::exception_ptr raised = FRaised;
        FRaised = nullptr;
        std::rethrow_exception(raised);
    }
    if (StatusCode() >= 400)
        throw EHttpException(ReasonPhrase(), StatusCode());
    if (FRequestError != 0)
        throw EHttpException(FRequestErrorText, FRequestError);
}

void THttpCli::RequestAsync(THttpRequest request) {
    if (FState != httpReady)
        throw EHttpException("HTTP component is busy", httperrBusy);
    if (request == httpPOST && (!SendStream || !SendStream->isReadable()))
        throw EHttpException("HTTP component has nothing to post", httperrNothingToPost);
    if (request != httpGET && request != httpPOST && request != httpHEAD)
        throw EHttpException("HTTP component knows no such request", httperrAborted);
    TUrlParts url;
    ParseURL(URL, url);
    if (url.Proto != "http")
        throw EHttpException("Unsupported scheme \"" + url.Proto + "\" in " + URL, httperrUnsupportedScheme);

    ++FRequestSerial;
    FEnded = false;
    FRaised = nullptr;
    FRelocations = 0;
    FRequestType = request;
    FSendAllowed = false;
    FSentCount = 0;
    // What is announced is what is sent: the stream from where it stands to its end.
    FSendLeft = request == httpPOST ? std::max<qint64>(SendStream->size() - SendStream->pos(), 0) : 0;
    SetState(httpNotConnected);
    FReader.MaxBodySize = MaxBodySize;
    FReader.ExpectBody = request != httpHEAD;
    FReader.Reset();
    FRequestError = 0;
    FRequestErrorText.clear();
    FLocation = URL;
    FUser = Username;
    FPass = Password;
    if (!url.User.empty() || !url.Pass.empty()) {
        FUser = url.User;
        FPass = url.Pass;
    }
    FTargetHost = url.Host;
    FTargetPort = url.Port.empty() ? "80" : url.Port;
    FTargetPath = NonEmptyPath(url.Path);
    if (Proxy.empty()) {
        FHostName = FTargetHost;
        FPort = FTargetPort;
        FPath = FTargetPath;
    } else {
        FPath = "http://" + url.Host + (url.Port.empty() ? "" : ":" + url.Port) + FTargetPath;
        std::size_t colon = Proxy.rfind(':');
        FHostName = Proxy.substr(0, colon);
        FPort = colon == std::string::npos ? ProxyPort : Proxy.substr(colon + 1);
    }
    FDocName = MakeDocName(FTargetPath);

    if (IdleTimeoutMs > 0)
        FIdleTimer->start(IdleTimeoutMs);
    if (RequestTimeoutMs > 0)
        FRequestTimer->start(RequestTimeoutMs);
    Guarded([this] { StartRequest(); });
}

void THttpCli::StartRequest() {
    if (FEnded)
        return;
    SetState(httpDnsLookup);
    FCtrlSocket->SetLocalAddr(LocalAddr);
    FCtrlSocket->DnsLookup(FHostName);
}

void THttpCli::SetState(THttpState state) {
    FState = state;
    if (OnStateChange)
        OnStateChange(this);
    if (state != httpReady)
        return;
    if (FWaitLoop)
        FWaitLoop->quit();
    QMetaObject::invokeMethod(this, [this, request = FRequestType, error = FRequestError] {
        try {
            if (OnRequestDone)
                OnRequestDone(this, request, error);
        } catch (const std::exception& e) {
            qWarning("THttpCli: OnRequestDone failed: %s", e.what());
        } catch (...) {
            qWarning("THttpCli: OnRequestDone failed");
        }
    }, Qt::QueuedConnection);
}

void THttpCli::PostReady() {
    unsigned serial = FRequestSerial;
    QMetaObject::invokeMethod(this, [this, serial] {
        if (serial == FRequestSerial && FState != httpReady) {
            try {
                SetState(httpReady);
            } catch (...) {
                if (!FRaised)
                    FRaised = std::current_exception();
                FState = httpReady;
                if (FWaitLoop)
                    FWaitLoop->quit();
            }
        }
    }, Qt::QueuedConnection);
}

void THttpCli::RestartIdle() {
    if (IdleTimeoutMs > 0 && !FEnded)
        FIdleTimer->start(IdleTimeoutMs);
}

// ---------------------------------------------------------------------------------------------
// Socket events

void THttpCli::SocketDnsLookupDone(int error) {
    if (FEnded || FState != httpDnsLookup)
        return;
    if (error != 0) {
        FRequestError = error;
        FRequestErrorText = "can't resolve hostname to IP address";
        FReader.StatusCode = 404;
        FReader.ReasonPhrase = FRequestErrorText;
        SocketSessionClosed(error);
        return;
    }
    SetState(httpDnsLookupDone);
    try {
        FCtrlSocket->SetAddr(FCtrlSocket->DnsResult());
        FCtrlSocket->SetPort(FPort);
        FCtrlSocket->SetProto("tcp");
        FCtrlSocket->Connect();
    } catch (const std::exception& e) {
        FReader.StatusCode = 404;
        FReader.ReasonPhrase = e.what();
        Fail(WSAEINVAL, e.what());
    }
}

void THttpCli::SocketSessionConnected(int error) {
    if (FEnded)
        return;
    if (error != 0) {
        FRequestError = error;
        FRequestErrorText = SocketErrorDescription(error);
        FReader.StatusCode = 404;
        FReader.ReasonPhrase = FRequestErrorText;
        SocketSessionClosed(error);
        return;
    }
    FConnected = true;
    SetState(httpConnected);
    if (OnSessionConnected)
        OnSessionConnected(this);
    SetState(httpWaitingHeader);
    RestartIdle();
    SendRequest(FRequestType == httpHEAD ? "HEAD" : FRequestType == httpPOST ? "POST" : "GET");
    if (FRequestType == httpPOST && !FEnded) {
        if (OnSendBegin)
            OnSendBegin(this);
        FSendAllowed = true;
        Guarded([this] { SocketDataSent(); });
    }
}

void THttpCli::SocketDataSent() {
    if (FEnded || !FSendAllowed || FRequestType != httpPOST)
        return;
    RestartIdle();
    char block[SendBlockSize];
    const qint64 n = FSendLeft > 0 ? SendStream->read(block, std::min<qint64>(SendBlockSize, FSendLeft)) : 0;
    if (n < 0 || (n == 0 && FSendLeft > 0))
        throw EHttpException("Cannot read the data to post: " +
                                 (n < 0 ? SendStream->errorString().toStdString()
                                        : "it ended after " + std::to_string(FSentCount) + " of " +
                                              std::to_string(FSentCount + FSendLeft) + " bytes"),
                             httperrReadFailed);
    if (n == 0) {
        FSendAllowed = false;
        if (OnSendEnd)
            OnSendEnd(this);
        return;
    }
    FSendLeft -= n;
    FSentCount += n;
    if (OnSendData)
        OnSendData(this, block, int(n));
    if (!FEnded)
        FCtrlSocket->Send(block, int(n));
}

void THttpCli::SendRequest(const char* method) {
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
    std::vector<std::string> lines;
    auto add = [&lines](const std::string& name, const std::string& value) {
        if (!value.empty())
            lines.push_back(name + value);
    };
    lines.push_back(std::string(method) + " " + FPath + " HTTP/1.0");
    add("From: ", Sender);
    add("Accept: ", Accept);
    add("Referer: ", Reference);
    add("Accept-Language: ", AcceptLanguage);
    if (FRequestType == httpPOST)
        add("Content-Type: ", ContentTypePost);
    add("User-Agent: ", Agent);
    lines.push_back("Host: " + FTargetHost);
    if (NoCache)
        lines.push_back("Pragma: no-cache");
    if (FRequestType == httpPOST)
        lines.push_back("Content-Length: " + std::to_string(FSendLeft));
    if (ModifiedSince != 0)
        lines.push_back("If-Modified-Since: " + RFC1123DateStr(ModifiedSince) + " GMT");
    if (!FUser.empty())
        lines.push_back("Authorization: Basic " + EncodeBase64(FUser + ":" + FPass));
    if (!Proxy.empty() && !ProxyUsername.empty())
        lines.push_back("Proxy-Authorization: Basic " + EncodeBase64(ProxyUsername + ":" + ProxyPassword));
    add("Cookie: ", Cookie);
    if (!ContentRangeBegin.empty() || !ContentRangeEnd.empty()) {
        lines.push_back("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
        ContentRangeBegin.clear();
        ContentRangeEnd.clear();
    }
    FReader.AcceptRanges.clear();
    if (OnBeforeHeaderSend)
        OnBeforeHeaderSend(this, method, lines);

    std::string request;
    auto command = [&](std::string line) {
        if (OnCommand)
            OnCommand(this, line);
        request += line + "\r\n";
    };
    for (const std::string& line : lines)
        command(line);
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
    command({});
    FCtrlSocket->Send(request.data(), int(request.size()));
}

void THttpCli::SocketDataAvailable() {
    Guarded([this] {
        if (FReader.FreeSpace() <= 0)
            throw EHttpException("HTTP line too long", httperrLineTooLong);
        int n = FCtrlSocket->Receive(FReader.FreeArea(), FReader.FreeSpace());
        if (FEnded || FRequestType == httpAbort || n <= 0)
            return;
        RestartIdle();
        FReader.Commit(n);
        if (FEnded)
            return;
        // A relocation ends at its header; a body ends at its length (at once for a length of
        // 0): the close that follows ends the request once.
        if (FReader.HeaderEnded() && (FReader.Relocation || FReader.Complete()))
            FCtrlSocket->Close();
    });
}

void THttpCli::Guarded(const std::function<void()>& work) {
    try {
        work();
    } catch (const EHttpException& e) {
        Fail(e.ErrorCode, e.what(), std::current_exception());
    } catch (const std::exception& e) {
        Fail(httperrAborted, e.what(), std::current_exception());
    } catch (...) {
        Fail(httperrAborted, "HTTP request aborted", std::current_exception());
    }
}

void THttpCli::SocketSessionClosed(int error) {
    if (FEnded)
        return;
    FConnected = false;
    if (FReader.Relocation && FRequestError == 0) {
        Relocate();
        return;
    }
    if (error != 0 && FRequestError == 0) {
        FRequestError = error;
        FRequestErrorText = SocketErrorDescription(error);
    }
    Finish();
}

// ---------------------------------------------------------------------------------------------
// Response

void THttpCli::HeaderEnded() {
    if (!FReader.Relocation && FReader.ExpectBody && FReader.ContentLength != 0) {
        std::size_t dot = FDocName.rfind('.');
        std::string ext = dot == std::string::npos ? std::string() : LowerCase(FDocName.substr(dot));
        if ((ext.empty() || ext == ".exe") && FReader.ContentType == "text/html")
            FDocName = (dot == std::string::npos ? FDocName : FDocName.substr(0, dot)) + ".htm";
        SetState(httpWaitingBody);
    }
    if (OnHeaderEnd)
        OnHeaderEnd(this);
}

void THttpCli::BodyData(const char* data, int length) {
    if (FReader.BodyChunks == 1 && OnDocBegin)
        OnDocBegin(this);
    if (RcvdStream) {
        // A short write (a full disk) leaves the device without a reason of its own: errno has it.
        errno = 0;
        if (RcvdStream->write(data, length) != length) {
            const int error = errno;
            throw EHttpException("Cannot write the received data: " +
                                     (error != 0 ? std::string(std::strerror(error))
                                                 : RcvdStream->errorString().toStdString()),
                                 httperrWriteFailed);
        }
    }
    if (OnDocData)
        OnDocData(this, data, length);
}

void THttpCli::LocationHeader(const std::string& value) {
    std::string location = value.substr(0, value.find('#'));
    std::string host = FTargetHost, port = FTargetPort, path;
    std::string scheme = SchemeOf(location);
    if (StartsWithNoCase(location, "http://")) {
        TUrlParts url;
        ParseURL(location, url);
        host = url.Host;
        port = url.Port.empty() ? "80" : url.Port;
        path = NonEmptyPath(url.Path);
        if (!url.User.empty() && !url.Pass.empty()) {
            FUser = url.User;
            FPass = url.Pass;
        } else if (LowerCase(host) != LowerCase(FTargetHost) || port != FTargetPort) {
            // Credentials belong to the host they were given for.
            FUser.clear();
            FPass.clear();
        }
    } else if (!scheme.empty()) {
        throw EHttpException("Unsupported scheme \"" + scheme + "\" in relocation to " + location,
                             httperrUnsupportedScheme);
    } else if (!location.empty() && location[0] == '/') {
        path = location;
    } else {
        std::string current = FTargetPath.substr(0, FTargetPath.find('?'));
        std::size_t last = current.find_last_of("/:");
        path = NonEmptyPath((last == std::string::npos ? std::string() : current.substr(0, last + 1)) + location);
    }
    FLocation = "http://" + host + (port == "80" ? "" : ":" + port) + path;
}

void THttpCli::Relocate() {
    if (++FRelocations > MaxRelocations) {
        FReader.Relocation = false;
        Fail(httperrTooManyRelocations,
             "Too many relocations (more than " + std::to_string(MaxRelocations) + ")");
        return;
    }
    TUrlParts url;
    ParseURL(FLocation, url);
    FTargetHost = url.Host;
    FTargetPort = url.Port.empty() ? "80" : url.Port;
    FTargetPath = NonEmptyPath(url.Path);
    FDocName = MakeDocName(FTargetPath);
    if (Proxy.empty()) {
        FHostName = FTargetHost;
        FPort = FTargetPort;
        FPath = FTargetPath;
    } else {
        FPath = FLocation;
    }
    FConnected = false;
    FSendAllowed = false;
    if (FRequestType == httpPOST)
        FRequestType = httpGET;
    if (OnLocationChange)
        OnLocationChange(this);
    FReader.Reset();
    unsigned serial = FRequestSerial;
    QMetaObject::invokeMethod(this, [this, serial] {
        if (serial == FRequestSerial)
            Guarded([this] { StartRequest(); });
    }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Ending

void THttpCli::Fail(int error, const std::string& text, std::exception_ptr raised) {
    if (FEnded)
        return;
    if (FRequestError == 0) {
        FRequestError = error;
        FRequestErrorText = text;
    }
    if (raised && !FRaised)
        FRaised = raised;
    FReader.Relocation = false;
    Finish();
}

void THttpCli::Finish() {
    if (FEnded)
        return;
    FEnded = true;
    FConnected = false;
    FSendAllowed = false;
    FIdleTimer->stop();
    FRequestTimer->stop();
    auto fire = [this](const TNotifyEvent& event) {
        try {
            if (event)
                event(this);
        } catch (...) {
            if (!FRaised)
                FRaised = std::current_exception();
        }
    };
    if (!FReader.HeaderEnded()) {
        if (FReader.HeaderStarted())
            fire(OnHeaderEnd);
        if (FRequestError == 0) {
            FRequestError = httperrHeaderIncomplete;
            FRequestErrorText = "Connection closed before the end of the HTTP header";
        }
    } else if (FRequestError == 0 && !FReader.BodyWhole()) {
        FRequestError = httperrBodyIncomplete;
        FRequestErrorText = "Incomplete download: " + std::to_string(FReader.RcvdCount) + " of " +
                            std::to_string(FReader.ContentLength) + " bytes received";
    }
    // Both may fire events; this request has ended, so those are ignored.
    FCtrlSocket->CancelDnsLookup();
    if (FCtrlSocket->State() != wsClosed)
        FCtrlSocket->Close();
    PostReady();
    if (FReader.HeaderEnded() && FReader.BodyChunks > 0)
        fire(OnDocEnd);
}
