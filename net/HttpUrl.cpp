#include "net/HttpUrl.h"

#include <QByteArray>

#include <algorithm>
#include <cctype>
#include <cstdio>

std::string LowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    std::size_t n = std::char_traits<char>::length(prefix);
    return s.size() >= n && LowerCase(s.substr(0, n)) == prefix;
}

bool IsSchemeChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

void SplitAuthority(const std::string& authority, TUrlParts& parts) {
    std::string hostPort = authority;
    std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string creds = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        std::size_t colon = creds.find(':');
        parts.User = creds.substr(0, colon);
        parts.Pass = colon == std::string::npos ? std::string() : creds.substr(colon + 1);
    }
    std::size_t colon = hostPort.rfind(':');
    parts.Host = hostPort.substr(0, colon);
    if (colon != std::string::npos)
        parts.Port = hostPort.substr(colon + 1);
}

}  // namespace

void ParseURL(const std::string& address, TUrlParts& parts) {
    // A fragment names a place inside the document: it is never sent to the server.
    const std::string url = address.substr(0, address.find('#'));
    if (url.empty())
        return;
    if (url.rfind("./", 0) == 0) {
        std::size_t slash = parts.Path.rfind('/');
        parts.Path = (slash == std::string::npos ? std::string() : parts.Path.substr(0, slash + 1)) + url.substr(2);
        return;
    }
    if (url.rfind("../", 0) == 0) {
        std::string rest = url;
        std::size_t last = parts.Path.rfind('/');
        std::string base = last == std::string::npos ? std::string() : parts.Path.substr(0, last);
        while (rest.rfind("../", 0) == 0) {
            rest.erase(0, 3);
            std::size_t slash = base.rfind('/');
            base = slash == std::string::npos ? std::string() : base.substr(0, slash);
        }
        parts.Path = base + "/" + rest;
        return;
    }
    parts = TUrlParts{};
    std::string rest;
    std::size_t sep = url.find("://");
    if (sep != std::string::npos && sep > 0 &&
        std::all_of(url.begin(), url.begin() + long(sep), IsSchemeChar)) {
        parts.Proto = LowerCase(url.substr(0, sep));
        rest = url.substr(sep + 3);
    } else if (sep != std::string::npos) {
        parts.Proto = "http";
        rest = url;
    } else if (url[0] == '/') {
        parts.Proto = "http";
        if (url.size() < 2 || url[1] != '/') {
            parts.Path = url;
            return;
        }
        rest = url.substr(2);
    } else if (StartsWithNoCase(url, "http:")) {
        parts.Proto = "http";
        if (url.size() < 7 || url[6] != '/') {
            parts.Path = url.substr(5);
            return;
        }
        rest = url.substr(7);
    } else if (StartsWithNoCase(url, "mailto:")) {
        parts.Proto = "mailto";
        rest = url.substr(7);
    } else {
        parts.Proto = "http";
        rest = url;
    }
    std::size_t end = rest.find_first_of("/?");
    SplitAuthority(rest.substr(0, end), parts);
    if (end != std::string::npos)
        parts.Path = rest.substr(end);
}

std::string EncodeBase64(const std::string& data) {
    return QByteArray(data.data(), qsizetype(data.size())).toBase64().toStdString();
}

std::string RFC1123DateStr(TDateTime value) {
    static const char Days[] = "MonTueWedThuFriSatSun";
    static const char Months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    QDateTime t = DateTimeToQDateTime(value);
    QDate d = t.date();
    QTime tm = t.time();
    char text[40];
    std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d", Days + 3 * (d.dayOfWeek() - 1),
                  d.day(), Months + 3 * (d.month() - 1), d.year(), tm.hour(), tm.minute(), tm.second());
    return text;
}

int PosNth(const std::string& sub, const std::string& text, int n) {
    if (sub.empty() || n == 0)
        return 0;
    if (n > 0) {
        std::size_t pos = std::string::npos;
        for (std::size_t from = 0; n > 0; --n, from = pos + 1) {
            pos = text.find(sub, from);
            if (pos == std::string::npos)
                return 0;
        }
        return int(pos) + 1;
    }
    std::size_t pos = text.size();
    for (; n < 0; ++n) {
        if (pos == 0)
            return 0;
        pos = text.rfind(sub, pos - 1);
        if (pos == std::string::npos)
            return 0;
    }
    return int(pos) + 1;
}
