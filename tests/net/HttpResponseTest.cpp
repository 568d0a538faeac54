#include "net/HttpResponse.h"

#include <gtest/gtest.h>

namespace {

// What a reader made of a response: header lines, body and the event order.
struct TRead {
    std::string Events;  // [ header begin, ] header end, D body chunk
    std::vector<std::string> Lines;
    std::string Body;
    int Status = -1;
    std::int64_t Length = -2;
    bool Complete = false;
    int Error = 0;
};

TRead ReadInPieces(const std::string& response, const std::vector<std::size_t>& cuts) {
    THttpResponseReader reader;
    TRead r;
    reader.OnHeaderBegin = [&] { r.Events += '['; };
    reader.OnHeaderData = [&](const std::string& line) { r.Lines.push_back(line); };
    reader.OnHeaderEnd = [&] { r.Events += ']'; };
    reader.OnBody = [&](const char* data, int n) {
        if (r.Events.back() != 'D')
            r.Events += 'D';
        r.Body.append(data, std::size_t(n));
    };
    reader.Reset();
    try {
        std::size_t from = 0;
        for (std::size_t cut : cuts) {
            reader.Feed(response.data() + from, cut - from);
            from = cut;
        }
        reader.Feed(response.data() + from, response.size() - from);
    } catch (const EHttpException& e) {
        r.Error = e.ErrorCode;
    }
    r.Status = reader.StatusCode;
    r.Length = reader.ContentLength;
    r.Complete = reader.Complete();
    return r;
}

TEST(HttpResponseTest, EverySplitGivesTheSameResult) {
    const std::string responses[] = {
        "HTTP/1.0 200 OK\r\nContent-Length: 7\r\nContent-Type: Text/Plain\r\n\r\nabc\r\nde",
        "HTTP/1.1 302 Found\nLocation: /x\n\nbody of the relocation",
        "<Html>\n<b>\r\n</b>",
        "HTTP/1.0 200 OK\r\n\r\n\r\n\r\n",
        "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nignored",
    };
    for (const std::string& response : responses) {
        SCOPED_TRACE(response);
        TRead whole = ReadInPieces(response, {});
        EXPECT_EQ(whole.Error, 0);
        for (std::size_t cut = 1; cut < response.size(); ++cut) {
            TRead split = ReadInPieces(response, {cut});
            EXPECT_EQ(split.Lines, whole.Lines) << cut;
            EXPECT_EQ(split.Body, whole.Body) << cut;
            EXPECT_EQ(split.Events, whole.Events) << cut;
        }
        std::vector<std::size_t> everyByte;
        for (std::size_t i = 1; i < response.size(); ++i)
            everyByte.push_back(i);
        EXPECT_EQ(ReadInPieces(response, everyByte).Body, whole.Body);
    }
    TRead ok = ReadInPieces(responses[0], {});
    EXPECT_EQ(ok.Body, "abc\r\nde");
    EXPECT_EQ(ok.Lines, (std::vector<std::string>{"HTTP/1.0 200 OK", "Content-Length: 7", "Content-Type: Text/Plain"}));
    EXPECT_TRUE(ok.Complete);
    EXPECT_EQ(ReadInPieces(responses[1], {}).Body, "");  // a relocation's body is not read
    EXPECT_EQ(ReadInPieces(responses[2], {}).Body, "<Html>\n<b>\r\n</b>");
    EXPECT_EQ(ReadInPieces(responses[2], {}).Events, "[]D");
    EXPECT_EQ(ReadInPieces(responses[3], {}).Body, "\r\n\r\n");
    TRead empty = ReadInPieces(responses[4], {});
    EXPECT_EQ(empty.Events, "[]");
    EXPECT_TRUE(empty.Complete);
}

TEST(HttpResponseTest, HeaderFields) {
    THttpResponseReader reader;
    std::string location, cookie;
    reader.OnLocation = [&](const std::string& v) { location = v; };
    reader.OnCookie = [&](const std::string& v, bool&) { cookie = v; };
    const std::string header = "HTTP/1.1 206 Partial Content\r\nlocation:   /next\r\n"
                               "Content-Range: bytes 100-199/1000\r\nAccept-Ranges: bytes\r\n"
                               "WWW-Authenticate: Basic realm=\"x\"\r\nSet-Cookie: id=7\r\nno colon here\r\n";
    reader.Feed(header.data(), header.size());
    EXPECT_EQ(reader.StatusCode, 206);
    EXPECT_EQ(reader.ReasonPhrase, "Partial Content");
    EXPECT_EQ(location, "/next");
    EXPECT_TRUE(reader.Relocation);
    EXPECT_EQ(reader.ContentRangeBegin, "100");
    EXPECT_EQ(reader.ContentRangeEnd, "199");
    EXPECT_EQ(reader.AcceptRanges, "bytes");
    EXPECT_EQ(reader.AuthenticateList, (std::vector<std::string>{"Basic realm=\"x\""}));
    EXPECT_EQ(cookie, "id=7");
}

TEST(HttpResponseTest, LineLimitAndBadNumbers) {
    std::string line(THttpResponseReader::BufferSize - 1, 'a');
    EXPECT_EQ(ReadInPieces(line + "\n", {}).Error, 0);  // 8,191 bytes and its LF fit
    EXPECT_EQ(ReadInPieces(line + "a", {}).Error, httperrLineTooLong);
    EXPECT_EQ(ReadInPieces("HTTP/1.0 2x0 OK\r\n", {}).Error, httperrBadNumber);
    EXPECT_EQ(ReadInPieces("HTTP/1.0\r\n", {}).Error, httperrBadNumber);
    EXPECT_EQ(ReadInPieces("HTTP/1.0 200 OK\r\nContent-Length: -5\r\n", {}).Error, httperrBadNumber);
    EXPECT_EQ(HttpStrToInt(" 42 "), 42);
    EXPECT_EQ(HttpStrToInt("-7"), -7);
}

}  // namespace
