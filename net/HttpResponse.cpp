#include "net/HttpResponse.h"

#include "net/HttpUrl.h"

#include <algorithm>
#include <cstring>

std::int64_t HttpStrToInt(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t");
    std::size_t e = text.find_last_not_of(" \t");
    std::string t = b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
    std::size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    bool ok = i < t.size() && t.size() - i <= 18 &&
              std::all_of(t.begin() + long(i), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!ok)
        throw EHttpException("'" + text + "' is not a valid integer value", httperrBadNumber);
    std::int64_t v = std::stoll(t.substr(i));
    return t[0] == '-' ? -v : v;
}

namespace {

std::string BodyTooLarge(std::int64_t limit) {
    return "The document is larger than the " + std::to_string(limit) + " bytes expected";
}

}  // namespace

void THttpResponseReader::Reset() {
    Relocation = false;
    StatusCode = 0;
    ReasonPhrase.clear();
    ContentLength = -1;
    ContentType.clear();
    AcceptRanges.clear();
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
    RcvdHeader.clear();
    AuthenticateList.clear();
    RcvdCount = 0;
    BodyChunks = 0;
    FStep = rsHeader;
    FHeaderLines = 0;
    FHeaderBytes = 0;
    FFill = 0;
}

bool THttpResponseReader::Complete() const {
    return FStep == rsDone && !Relocation;
}

void THttpResponseReader::Feed(const char* data, std::size_t count) {
    while (count > 0) {
        if (FreeSpace() <= 0)
            throw EHttpException("HTTP line too long", httperrLineTooLong);
        int n = int(std::min<std::size_t>(count, std::size_t(FreeSpace())));
        std::memcpy(FreeArea(), data, std::size_t(n));
        data += n;
        count -= std::size_t(n);
        Commit(n);
    }
}

void THttpResponseReader::Commit(int count) {
    FFill += std::clamp(count, 0, FreeSpace());
    FBuffer[FFill] = '\0';
    while (FStep == rsHeader && FFill > 0) {
        const char* lf = static_cast<const char*>(std::memchr(FBuffer, '\n', std::size_t(FFill)));
        if (!lf)
            break;
        int rawLength = int(lf - FBuffer) + 1;
        int lineLength = rawLength - 1;
        if (lineLength > 0 && FBuffer[lineLength - 1] == '\r')
            --lineLength;
        std::string line(FBuffer, std::size_t(lineLength));
        std::string raw(FBuffer, std::size_t(rawLength));
        std::memmove(FBuffer, FBuffer + rawLength, std::size_t(FFill - rawLength));
        FFill -= rawLength;
        FBuffer[FFill] = '\0';
        FHeaderBytes += rawLength;
        if (FHeaderBytes > MaxHeaderSize)
            throw EHttpException("HTTP header too long (more than " + std::to_string(MaxHeaderSize) + " bytes)",
                                 httperrHeaderTooLong);
        ProcessHeaderLine(line, raw.data(), rawLength);
    }
    if (FStep == rsBody)
        DeliverBuffer();  // what followed the header, or simply the next chunk
    else if (FStep == rsDone)
        FFill = 0;
    else if (FFill >= BufferSize)
        throw EHttpException("HTTP line too long", httperrLineTooLong);
}

void THttpResponseReader::DeliverBuffer() {
    if (FFill <= 0)
        return;
    int n = FFill;
    FFill = 0;
    ProcessBody(FBuffer, n);
}

void THttpResponseReader::ProcessBody(const char* data, int count) {
    if (FStep != rsBody)
        return;
    if (ContentLength >= 0)
        count = int(std::min<std::int64_t>(count, ContentLength - RcvdCount));
    if (count <= 0)
        return;
    if (MaxBodySize >= 0 && RcvdCount + count > MaxBodySize)
        throw EHttpException(BodyTooLarge(MaxBodySize), httperrTooLarge);
    ++BodyChunks;
    RcvdCount += count;
    if (ContentLength >= 0 && RcvdCount >= ContentLength)
        FStep = rsDone;
    if (OnBody)
        OnBody(data, count);
}

void THttpResponseReader::ProcessHeaderLine(const std::string& line, const char* raw, int rawLength) {
    if (++FHeaderLines == 1 && OnHeaderBegin)
        OnHeaderBegin();

    if (FHeaderLines == 1 && line.size() >= 6 && LowerCase(line.substr(0, 6)) == "<html>") {
        // A server that sent no header at all: the line, with its own line end, is body.
        if (ContentType.empty())
            ContentType = "text/html";
        FStep = rsBody;
        if (OnHeaderEnd)
            OnHeaderEnd();
        ProcessBody(raw, rawLength);
        return;
    }

    if (line.empty()) {
        if (!Relocation && ExpectBody && MaxBodySize >= 0 && ContentLength > MaxBodySize)
            throw EHttpException(BodyTooLarge(MaxBodySize), httperrTooLarge);
        if (Relocation || !ExpectBody) {
            FStep = rsDone;
        } else if (ContentLength != 0) {
            FStep = rsBody;
        } else {
            FStep = rsDone;
        }
        if (OnHeaderEnd)
            OnHeaderEnd();
        return;
    }

    RcvdHeader.push_back(line);
    if (line.compare(0, 8, "HTTP/1.0") == 0 || line.compare(0, 8, "HTTP/1.1") == 0) {
        StatusCode = int(HttpStrToInt(line.size() > 9 ? line.substr(9, 3) : std::string()));
        ReasonPhrase = line.size() > 13 ? line.substr(13) : std::string();
    } else if (std::size_t colon = line.find(':'); colon != std::string::npos) {
        std::string name = LowerCase(line.substr(0, colon));
        std::size_t v = line.find_first_not_of(' ', colon + 1);
        std::string value = v == std::string::npos ? std::string() : line.substr(v);
        if (name == "location") {
            if (OnLocation)
                OnLocation(value);
            Relocation = true;
        } else if (name == "content-length") {
            std::int64_t length = HttpStrToInt(value);
            if (length < 0)
                throw EHttpException("'" + value + "' is not a valid length", httperrBadNumber);
            ContentLength = length;
        } else if (name == "content-range") {
            std::size_t dash = value.find('-');
            std::size_t slash = value.find('/');
            if (dash != std::string::npos && dash >= 6) {
                ContentRangeBegin = value.substr(6, dash - 6);
                ContentRangeEnd = value.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
            }
        } else if (name == "accept-ranges") {
            AcceptRanges = value;
        } else if (name == "content-type") {
            ContentType = LowerCase(value);
        } else if (name == "www-authenticate") {
            AuthenticateList.push_back(value);
        } else if (name == "set-cookie") {
            bool accept = true;
            if (OnCookie)
                OnCookie(value, accept);
        }
    }
    if (OnHeaderData)
        OnHeaderData(line);
}
