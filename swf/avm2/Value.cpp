#include "swf/avm2/Value.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace swf::avm2 {

std::string numberToString(double d) {
    if (std::isnan(d))
        return "NaN";
    if (d == 0)
        return "0";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    std::string sign;
    if (d < 0) {
        sign = "-";
        d = -d;
    }
    // Shortest digits that read back as d, then ECMA-262's layout (9.8.1): plain notation
    // for exponents -7 < n <= 21, else d.ddde+n.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    std::string sci(buf, res.ptr);
    std::size_t e = sci.find('e');
    std::string mant = sci.substr(0, e);
    int exp = std::atoi(sci.c_str() + e + 1);
    std::string digits;
    for (char c : mant)
        if (c != '.')
            digits += c;
    int k = static_cast<int>(digits.size());
    int n = exp + 1;
    std::string out;
    if (k <= n && n <= 21) {
        out = digits + std::string(n - k, '0');
    } else if (0 < n && n <= 21) {
        out = digits.substr(0, n) + "." + digits.substr(n);
    } else if (-6 < n && n <= 0) {
        out = "0." + std::string(-n, '0') + digits;
    } else {
        out = digits.substr(0, 1);
        if (k > 1)
            out += "." + digits.substr(1);
        out += (n - 1 >= 0 ? "e+" : "e-") + std::to_string(std::abs(n - 1));
    }
    return sign + out;
}

double stringToNumber(const std::string& s) {
    std::size_t b = 0, e = s.size();
    auto space = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (b < e && space(s[b]))
        ++b;
    while (e > b && space(s[e - 1]))
        --e;
    if (b == e)
        return 0;
    std::string t = s.substr(b, e - b);
    bool negative = false;
    std::size_t p = 0;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        p = 1;
    }
    if (t.compare(p, std::string::npos, "Infinity") == 0)
        return negative ? -INFINITY : INFINITY;
    if (t.size() > p + 2 && t[p] == '0' && (t[p + 1] == 'x' || t[p + 1] == 'X')) {
        double v = 0;
        for (std::size_t i = p + 2; i < t.size(); ++i) {
            char c = t[i];
            int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0)
                return NAN;
            v = v * 16 + digit;
        }
        return negative ? -v : v;
    }
    double v = 0;
    auto res = std::from_chars(t.data() + p, t.data() + t.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        v = std::strtod(t.c_str() + p, nullptr);
    } else if (res.ec != std::errc() || res.ptr != t.data() + t.size()) {
        return NAN;
    }
    return negative ? -v : v;
}

std::int32_t doubleToInt32(double d) {
    return static_cast<std::int32_t>(doubleToUint32(d));
}

std::uint32_t doubleToUint32(double d) {
    if (!std::isfinite(d))
        return 0;
    double t = std::trunc(d);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return static_cast<std::uint32_t>(m);
}

} // namespace swf::avm2
