#include "net/HttpClient.h"
#include "net/HttpUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpUrlTest, ParseURL) {
    struct TCase {
        const char* Url;
        TUrlParts Expected;
    };
    const TCase cases[] = {
        {"http://host/a/b.txt", {"http", "", "", "host", "", "/a/b.txt"}},
        {"http://host", {"http", "", "", "host", "", ""}},
        {"http://host:8080?q=1/2", {"http", "", "", "host", "8080", "?q=1/2"}},
        {"http://us:er:pw@d@host:81/x", {"http", "us", "er:pw@d", "host", "81", "/x"}},
        {"http://user@host/", {"http", "user", "", "host", "", "/"}},
        {"HTTP://Host/P", {"http", "", "", "Host", "", "/P"}},
        {"ftp://files/x", {"ftp", "", "", "files", "", "/x"}},
        {"/only/a/path", {"http", "", "", "", "", "/only/a/path"}},
        {"//host/p", {"http", "", "", "host", "", "/p"}},
        {"http:/p", {"http", "", "", "", "", "/p"}},
        {"Http://h/", {"http", "", "", "h", "", "/"}},
        {"mailto:me@there", {"mailto", "me", "", "there", "", ""}},
        {"www.host.com/x", {"http", "", "", "www.host.com", "", "/x"}},
        {"http://host/a?b=1#part", {"http", "", "", "host", "", "/a?b=1"}},
    };
    for (const TCase& c : cases) {
        TUrlParts p;
        p.Path = "/old";
        ParseURL(c.Url, p);
        EXPECT_EQ(p.Proto, c.Expected.Proto) << c.Url;
        EXPECT_EQ(p.User, c.Expected.User) << c.Url;
        EXPECT_EQ(p.Pass, c.Expected.Pass) << c.Url;
        EXPECT_EQ(p.Host, c.Expected.Host) << c.Url;
        EXPECT_EQ(p.Port, c.Expected.Port) << c.Url;
        EXPECT_EQ(p.Path, c.Expected.Path) << c.Url;
    }
    // Relative forms change only the path.
    const std::tuple<const char*, const char*, const char*> relative[] = {
        {"./c.htm", "/a/b/x.htm", "/a/b/c.htm"},
        {"../c.htm", "/a/b/x.htm", "/a/c.htm"},
        {"../../c.htm", "/a/b/x.htm", "/c.htm"},
        {"", "/keep", "/keep"},
    };
    for (auto [url, path, expected] : relative) {
        TUrlParts p{"http", "u", "p", "h", "81", path};
        ParseURL(url, p);
        EXPECT_EQ(p.Path, expected) << url;
        EXPECT_EQ(p.Host, "h");
    }
}

TEST(HttpUrlTest, Helpers) {
    EXPECT_EQ(EncodeBase64("user:pass"), "dXNlcjpwYXNz");
    EXPECT_EQ(EncodeBase64("ab"), "YWI=");
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(RFC1123DateStr(45356.25), "Tue, 05 Mar 2024 06:00:00");
    EXPECT_EQ(RFC1123DateStr(36526.5 + 1.0 / 86400), "Sat, 01 Jan 2000 12:00:01");
    const std::tuple<const char*, const char*, int, int> pos[] = {
        {"/", "/a/b/c", 1, 1}, {"/", "/a/b/c", 2, 3}, {"/", "/a/b/c", -1, 5}, {"/", "/a/b/c", -3, 1},
        {"/", "/a/b/c", 4, 0}, {"/", "/a/b/c", -4, 0}, {"x", "abc", 1, 0}, {"bc", "abcbc", -1, 4},
    };
    for (auto [sub, text, n, expected] : pos)
        EXPECT_EQ(PosNth(sub, text, n), expected) << text << " " << n;
    const std::pair<const char*, const char*> names[] = {
        {"/a/setup.exe?x=1", "setup.exe"}, {"/a/", "document.htm"}, {"", "document.htm"},
        {"/?q", "document.htm"}, {"/file", "file"},
    };
    for (auto [path, name] : names)
        EXPECT_EQ(MakeDocName(path), name) << path;
}

}  // namespace
