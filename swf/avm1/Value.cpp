#include "Value.h"

#include "swf/io/Utf8.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace swf::avm1 {

double Value::freshNaN() {
    // Quiet NaN with a counter in the payload; the payload is never zero.
    constexpr std::uint64_t kPayload = 0x7FFFFFFFFFFFFull;
    thread_local std::uint64_t counter = 0;
    counter = counter % kPayload + 1;
    const std::uint64_t bits = 0x7FF8000000000000ull | counter;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool Value::sameNumber(const Value& other) const {
    const double a = number(), b = other.number();
    if (a == b)
        return true;
    return a != a && b != b && std::memcmp(&a, &b, sizeof a) == 0;
}

std::string numberToString(double n) {
    if (std::isnan(n))
        return "NaN";
    if (std::isinf(n))
        return n > 0 ? "Infinity" : "-Infinity";
    if (n == 0)
        return "0"; // also -0
    if (n == std::trunc(n) && std::fabs(n) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", n);
        return buf;
    }
    // 15 significant digits; positions from 1e-6 up to 1e15 are written out in full
    // (0.00006103515625 stays decimal), the rest as d.ddde+X.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", n);
    const std::string sci = buf;
    const std::size_t e = sci.find('e');
    const bool negative = sci[0] == '-';
    std::string digits = sci.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    digits.erase(1, 1); // the point
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(sci.c_str() + e + 1);
    std::string out = negative ? "-" : "";
    if (exponent >= -6 && exponent < 15) {
        if (exponent < 0) {
            out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        } else if (digits.size() <= static_cast<std::size_t>(exponent) + 1) {
            out += digits + std::string(exponent + 1 - digits.size(), '0');
        } else {
            out += digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
        }
        return out;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1)
        out += "." + digits.substr(1);
    out += exponent < 0 ? "e-" : "e+";
    return out + std::to_string(exponent < 0 ? -exponent : exponent);
}

std::string numberToString(double n, int radix) {
    if (radix < 2 || radix > 36 || radix == 10 || std::isnan(n) || std::isinf(n))
        return numberToString(n);
    double v = std::trunc(n);
    const bool negative = v < 0;
    v = std::fabs(v);
    if (v > 9007199254740992.0)
        return numberToString(n);
    auto u = static_cast<std::uint64_t>(v);
    std::string out;
    do {
        out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % radix]);
        u /= radix;
    } while (u);
    if (negative)
        out.insert(out.begin(), '-');
    return out;
}

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

int hexDigit(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

double stringToNumber(std::string_view s, int swfVersion) {
    const double bad = swfVersion >= 5 ? std::nan("") : 0.0;
    // From SWF 6 a "0x" right at the start (no space or sign before it, a sign may follow)
    // reads hex, and a string of a leading 0 and octal digits reads octal (measured).
    if (swfVersion >= 6 && s.size() >= 2 && s[0] == '0') {
        if (s[1] == 'x' || s[1] == 'X') {
            std::size_t i = 2;
            const bool negative = i < s.size() && s[i] == '-';
            if (i < s.size() && (s[i] == '+' || s[i] == '-'))
                ++i;
            if (i == s.size())
                return bad;
            double v = 0;
            for (; i < s.size(); ++i) {
                const int d = hexDigit(s[i]);
                if (d < 0)
                    return bad;
                v = v * 16 + d;
            }
            return negative ? -v : v;
        }
        if (s.find_first_not_of("01234567") == std::string_view::npos) {
            double v = 0;
            for (char c : s)
                v = v * 8 + (c - '0');
            return v;
        }
    }
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    if (i == s.size())
        return bad;
    std::size_t start = i;
    if (s[i] == '+' || s[i] == '-')
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return bad;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        std::size_t expDigits = 0;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits == 0)
            return bad;
        i = j;
    }
    std::size_t end = i;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    if (i != s.size())
        return bad;
    const std::string text(s.substr(start, end - start));
    return std::strtod(text.c_str(), nullptr);
}

std::int32_t toInt32(double n) {
    return static_cast<std::int32_t>(toUint32(n));
}

std::uint32_t toUint32(double n) {
    if (!std::isfinite(n))
        return 0;
    double t = std::fmod(std::trunc(n), 4294967296.0);
    if (t < 0)
        t += 4294967296.0;
    return static_cast<std::uint32_t>(t);
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = c;
        std::size_t len = 1;
        if (c >= 0xC0 && c < 0xE0)
            len = 2, cp = c & 0x1F;
        else if (c >= 0xE0 && c < 0xF0)
            len = 3, cp = c & 0x0F;
        else if (c >= 0xF0 && c < 0xF8)
            len = 4, cp = c & 0x07;
        bool ok = len == 1 ? c < 0x80 : i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) { // a stray byte stands for itself (Latin-1), as older movies meant
            out.push_back(c);
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        io::appendUtf8(out, cp);
    }
    return out;
}

std::string lenientUtf8(std::string_view bytes) {
    if (isAscii(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0xC0) {
            io::appendUtf8(out, b); // ASCII, or a stray continuation byte as Latin-1
            ++i;
            continue;
        }
        if (b >= 0xF8)
            break;
        const std::size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        if (i + extra >= bytes.size())
            break;
        std::uint32_t cp = b & (0x3F >> extra);
        bool ok = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            ok = ok && (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        io::appendUtf8(out, ok && cp <= 0x10FFFF ? cp : 0xFFFD);
        i += extra + 1;
    }
    return out;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool parseArrayIndex(std::string_view s, std::uint32_t& index) {
    if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0'))
        return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (!isDigit(c))
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v >= 4294967295u)
        return false;
    index = static_cast<std::uint32_t>(v);
    return true;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        io::appendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

} // namespace swf::avm1
