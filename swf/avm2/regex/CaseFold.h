#pragma once
// Characters for the regular expression engine: UTF-8 decoding that never fails, and the
// other case of a letter for the i flag (ASCII, Latin-1, Greek and Cyrillic letters).

#include "swf/avm2/regex/Program.h"

#include <string_view>
#include <utility>

namespace swf::avm2::regex {

// The code point at `at` and its length in bytes. A byte that starts no well-formed
// sequence stands for itself, one byte long, so every position moves forward.
inline std::pair<char32_t, std::size_t> decodeUtf8(std::string_view s, std::size_t at) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[at + k]); };
    unsigned char b = byte(0);
    std::size_t len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 1;
    if (b < 0x80 || len == 1 || at + len > s.size())
        return {b, 1};
    char32_t cp = b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(k) & 0xC0) != 0x80)
            return {b, 1};
        cp = (cp << 6) | (byte(k) & 0x3F);
    }
    // Overlong forms and values past U+10FFFF are not well-formed.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return {b, 1};
    return {cp, len};
}

inline char32_t otherCase(char32_t c) {
    auto between = [c](char32_t lo, char32_t hi) { return c >= lo && c <= hi; };
    if (between('A', 'Z') || between(0xC0, 0xDE) || between(0x391, 0x3AB) || between(0x410, 0x42F))
        return c == 0xD7 || c == 0x3A2 ? c : c + 0x20;
    if (between('a', 'z') || between(0xE0, 0xFE) || between(0x3B1, 0x3CB) || between(0x430, 0x44F))
        return c == 0xF7 || c == 0x3C2 ? c : c - 0x20;
    if (between(0x400, 0x40F))
        return c + 0x50;
    if (between(0x450, 0x45F))
        return c - 0x50;
    return c;
}

// Adds the other case of every letter in the ranges (only the scripts otherCase knows).
inline void addOtherCases(Ranges& set) {
    const std::size_t n = set.size();
    for (std::size_t k = 0; k < n; ++k) {
        for (char32_t c = set[k].first; c <= set[k].second && c < 0x460; ++c) {
            char32_t o = otherCase(c);
            if (o != c)
                set.emplace_back(o, o);
        }
    }
}

} // namespace swf::avm2::regex
