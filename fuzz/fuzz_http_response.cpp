// The HTTP response reader from memory: the first byte picks how the rest is cut into reads.
// Read whole and read in pieces must give the same header lines, body, events and error, and
// a body never goes past its Content-Length.
#include "net/HttpResponse.h"

#include <cstdlib>

namespace {

struct TOutcome {
    std::vector<std::string> Lines;
    std::string Body;
    std::string Events;
    int Error = 0;
    int Status = 0;
    std::int64_t Length = -1;
    std::int64_t Rcvd = 0;
    bool Complete = false;

    bool operator==(const TOutcome&) const = default;
};

TOutcome Read(const char* data, std::size_t size, unsigned cutSeed) {
    THttpResponseReader reader;
    TOutcome r;
    reader.OnHeaderBegin = [&] { r.Events += '['; };
    reader.OnHeaderData = [&](const std::string& line) { r.Lines.push_back(line); };
    reader.OnHeaderEnd = [&] { r.Events += ']'; };
    reader.OnBody = [&](const char* p, int n) {
        if (n <= 0)
            std::abort();
        if (r.Events.empty() || r.Events.back() != 'D')
            r.Events += 'D';
        r.Body.append(p, std::size_t(n));
    };
    reader.Reset();
    try {
        std::size_t at = 0;
        for (unsigned i = 0; at < size; ++i) {
            std::size_t n = cutSeed == 0 ? size : (cutSeed + i * 31u) % 97u + 1u;
            n = std::min(n, size - at);
            reader.Feed(data + at, n);
            at += n;
        }
    } catch (const EHttpException& e) {
        r.Error = e.ErrorCode;
    }
    r.Status = reader.StatusCode;
    r.Length = reader.ContentLength;
    r.Rcvd = reader.RcvdCount;
    r.Complete = reader.Complete();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    TOutcome whole = Read(text, size - 1, 0);
    TOutcome pieces = Read(text, size - 1, data[0] | 1u);
    if (!(whole == pieces))
        std::abort();
    if (whole.Rcvd != std::int64_t(whole.Body.size()))
        std::abort();
    if (whole.Length >= 0 && whole.Rcvd > whole.Length)
        std::abort();
    if (whole.Error == 0 && whole.Events.find(']') == std::string::npos && !whole.Body.empty())
        std::abort();
    return 0;
}
