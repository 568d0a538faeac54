// FormatParameterValue: times, reciprocal ratios and printf-like numbers.
//
// Formats may come from settings and tables alike, so none is ever handed to printf: a numeric
// format is parsed into one conversion with literal text around it and the number is written
// with std::to_chars (locale-independent, exact ties to even like glibc's printf).
#include "foundation/catalogue/ParameterCatalogue.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr double kMsPerDay = 86400000.0;
// Widths and precisions beyond two digits are not a column format; they give a plain number.
constexpr int kMaxWidthDigits = 2;
// A time further away than this (about 31,000 years) is not a time to show.
constexpr double kMaxTimeMs = 1e15;

struct TNumberFormat {
    std::string Prefix;
    std::string Suffix;
    bool LeftAlign = false;
    bool Plus = false;
    bool Space = false;
    bool ZeroPad = false;
    bool Alternate = false;
    int Width = 0;
    int Precision = -1; // none given
    char Conversion = 'f';
};

// Up to kMaxWidthDigits digits at `pos`; false when there are more.
bool ReadSmallNumber(std::string_view f, std::size_t& pos, int& value) {
    int digits = 0;
    value = 0;
    while (pos < f.size() && f[pos] >= '0' && f[pos] <= '9') {
        if (++digits > kMaxWidthDigits) return false;
        value = value * 10 + (f[pos] - '0');
        ++pos;
    }
    return true;
}

// Literal text, "%%", and exactly one %[flags][width][.precision]f or d.
std::optional<TNumberFormat> ParseNumberFormat(std::string_view f) {
    TNumberFormat spec;
    bool seen = false;
    std::size_t pos = 0;
    while (pos < f.size()) {
        std::string& text = seen ? spec.Suffix : spec.Prefix;
        if (f[pos] != '%') {
            text += f[pos++];
            continue;
        }
        ++pos;
        if (pos < f.size() && f[pos] == '%') {
            text += '%';
            ++pos;
            continue;
        }
        if (seen) return std::nullopt;
        seen = true;
        for (; pos < f.size(); ++pos) {
            const char c = f[pos];
            if (c == '-')
                spec.LeftAlign = true;
            else if (c == '+')
                spec.Plus = true;
            else if (c == ' ')
                spec.Space = true;
            else if (c == '0')
                spec.ZeroPad = true;
            else if (c == '#')
                spec.Alternate = true;
            else
                break;
        }
        if (!ReadSmallNumber(f, pos, spec.Width)) return std::nullopt;
        if (pos < f.size() && f[pos] == '.') {
            ++pos;
            if (!ReadSmallNumber(f, pos, spec.Precision)) return std::nullopt;
        }
        if (pos >= f.size() || (f[pos] != 'f' && f[pos] != 'd')) return std::nullopt;
        spec.Conversion = f[pos++];
    }
    if (!seen) return std::nullopt;
    return spec;
}

// The shortest text that reads back as the value (as a Single when it is one).
std::string PlainNumber(double value) {
    char buf[64];
    const float single = static_cast<float>(value);
    const std::to_chars_result r = static_cast<double>(single) == value
                                       ? std::to_chars(buf, buf + sizeof buf, single)
                                       : std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FormatNumber(const TNumberFormat& spec, double value) {
    if (!std::isfinite(value)) return spec.Prefix + PlainNumber(value) + spec.Suffix;
    std::string digits;
    bool negative = std::signbit(value);
    bool zeroPad = spec.ZeroPad && !spec.LeftAlign;
    if (spec.Conversion == 'f') {
        char buf[512]; // 309 integer digits and 99 decimals at the most
        const std::to_chars_result r =
            std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed,
                          spec.Precision < 0 ? 6 : spec.Precision);
        digits.assign(buf, r.ptr);
        if (spec.Alternate && spec.Precision == 0) digits += '.';
    } else {
        const double rounded = std::nearbyint(value);
        if (std::fabs(rounded) >= 9.2e18) return spec.Prefix + PlainNumber(value) + spec.Suffix;
        const long long n = static_cast<long long>(rounded);
        negative = n < 0;
        char buf[32];
        const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, n < 0 ? -n : n);
        digits.assign(buf, r.ptr);
        if (spec.Precision >= 0) {
            if (spec.Precision == 0 && n == 0) digits.clear();
            if (digits.size() < static_cast<std::size_t>(spec.Precision))
                digits.insert(0, static_cast<std::size_t>(spec.Precision) - digits.size(), '0');
            zeroPad = false;
        }
    }
    std::string sign;
    if (negative)
        sign = "-";
    else if (spec.Plus)
        sign = "+";
    else if (spec.Space)
        sign = " ";
    const std::size_t width = static_cast<std::size_t>(spec.Width);
    const std::size_t length = sign.size() + digits.size();
    std::string body;
    if (length >= width)
        body = sign + digits;
    else if (spec.LeftAlign)
        body = sign + digits + std::string(width - length, ' ');
    else if (zeroPad)
        body = sign + std::string(width - length, '0') + digits;
    else
        body = std::string(width - length, ' ') + sign + digits;
    return spec.Prefix + body + spec.Suffix;
}

std::string FormatPrintfLike(std::string_view format, double value) {
    if (format.empty()) return {};
    const std::optional<TNumberFormat> spec = ParseNumberFormat(format);
    return spec ? FormatNumber(*spec, value) : PlainNumber(value);
}

// True when an hour field (h or hh) stands outside quoted text.
bool HasHourField(std::string_view f) {
    char quote = 0;
    for (char c : f) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == 'h' || c == 'H') {
            return true;
        }
    }
    return false;
}

void ReplaceAll(std::string& s, std::string_view from, const std::string& to) {
    for (std::size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
        s.replace(pos, from.size(), to);
}

char ToLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void AppendPadded(std::string& out, long long value, std::size_t digits) {
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    const std::size_t n = static_cast<std::size_t>(r.ptr - buf);
    if (n < digits) out.append(digits - n, '0');
    out.append(buf, n);
}

// The date-time tokens of the time formats: h hh (hours, not wrapped at a day), n nn
// (minutes), s ss (seconds), z zzz (milliseconds), quoted text; anything else is copied.
std::string ApplyTimeFormat(std::string_view f, long long h, long long n, long long s, long long ms) {
    std::string out;
    std::size_t pos = 0;
    while (pos < f.size()) {
        const char c = f[pos];
        const char lower = ToLower(c);
        if (c == '"' || c == '\'') {
            const std::size_t end = f.find(c, pos + 1);
            const std::size_t stop = end == std::string_view::npos ? f.size() : end;
            out.append(f.substr(pos + 1, stop - pos - 1));
            pos = end == std::string_view::npos ? f.size() : end + 1;
            continue;
        }
        // A run of the same letter, up to the longest token of that letter.
        const auto runOf = [&](std::size_t longest) {
            std::size_t count = 1;
            while (count < longest && pos + count < f.size() && ToLower(f[pos + count]) == lower)
                ++count;
            return count;
        };
        std::size_t run = 1;
        switch (lower) {
        case 'h':
            run = runOf(2);
            AppendPadded(out, h, run);
            break;
        case 'n':
            run = runOf(2);
            AppendPadded(out, n, run);
            break;
        case 's':
            run = runOf(2);
            AppendPadded(out, s, run);
            break;
        case 'z':
            run = runOf(3) == 3 ? 3 : 1;
            AppendPadded(out, ms, run);
            break;
        default:
            out += c;
            break;
        }
        pos += run;
    }
    return out;
}

// `format` without its leading "T"; `days` the time in days.
std::string FormatTime(std::string_view format, double days) {
    const double totalMs = std::nearbyint(std::fabs(days) * kMsPerDay);
    if (!std::isfinite(days) || totalMs > kMaxTimeMs) return PlainNumber(days);
    // Whole milliseconds first, so that 95.3 s is 95300 ms and never 95299.99.
    const long long ms = static_cast<long long>(totalMs);
    const long long hours = ms / 3600000;
    std::string f(format);
    if (hours == 0) {
        if (f.starts_with("hh:")) f.erase(0, 3);
        if (f.starts_with("h:")) f.erase(0, 2);
    } else if (!HasHourField(f)) {
        // A format without an hour field would otherwise drop whole hours.
        f.insert(0, "h:");
    }
    // Fractions of a second are cut, not rounded: the digits go in as quoted text.
    char frac[8];
    const std::to_chars_result r = std::to_chars(frac + 1, frac + sizeof frac, ms % 1000 + 1000);
    frac[1] = '.'; // ".457" from 1457
    const std::string fraction(frac + 1, r.ptr);
    for (std::size_t digits = 3; digits >= 1; --digits) {
        const std::string token = '.' + std::string(digits, '0');
        if (f.find(token) == std::string::npos) continue;
        ReplaceAll(f, token, '"' + fraction.substr(0, digits + 1) + '"');
        break;
    }
    std::string text = ApplyTimeFormat(f, hours, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    if (days < 0 && ms != 0) text.insert(0, 1, '-');
    return text;
}

} // namespace

QString FormatParameterValue(const QString& format, double value) {
    const QByteArray bytes = format.toUtf8();
    const std::string_view f(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::string text;
    if (f.starts_with('T')) {
        text = FormatTime(f.substr(1), value);
    } else if (f.starts_with('F')) {
        if (value == 0) return QStringLiteral("n/a");
        text = "1:" + FormatPrintfLike(f.substr(1), 1.0 / value);
    } else {
        text = FormatPrintfLike(f, value);
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
