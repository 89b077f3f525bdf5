#include "swf/input/KeyCodes.h"

#include <array>
#include <string_view>

namespace swf::input {

namespace {

bool sameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct NamedKey {
    std::string_view name;
    KeyStroke stroke;
};

// Delete types DEL (127) in the player; the arrows and paging keys type nothing.
constexpr std::array kNamedKeys{
    NamedKey{"Enter", {key::kEnter, 13}},      NamedKey{"Escape", {key::kEscape, 27}},
    NamedKey{"Tab", {key::kTab, 9}},           NamedKey{"Backspace", {key::kBackspace, 8}},
    NamedKey{"Delete", {key::kDelete, 127}},   NamedKey{"Insert", {key::kInsert, 0}},
    NamedKey{"Space", {key::kSpace, 32}},      NamedKey{"Left", {key::kLeft, 0}},
    NamedKey{"Right", {key::kRight, 0}},       NamedKey{"Up", {key::kUp, 0}},
    NamedKey{"Down", {key::kDown, 0}},         NamedKey{"Home", {key::kHome, 0}},
    NamedKey{"End", {key::kEnd, 0}},           NamedKey{"PageUp", {key::kPageUp, 0}},
    NamedKey{"PageDown", {key::kPageDown, 0}}, NamedKey{"Shift", {key::kShift, 0}},
    NamedKey{"Control", {key::kControl, 0}},   NamedKey{"Alt", {key::kAlt, 0}},
    NamedKey{"CapsLock", {key::kCapsLock, 0}},
};

} // namespace

int keyCodeOfChar(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return int(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return int(c);
    switch (c) {
    case ' ':
        return key::kSpace;
    case '\n':
    case '\r':
        return key::kEnter;
    case '\t':
        return key::kTab;
    case '\b':
        return key::kBackspace;
    case ')':
        return '0';
    case '!':
        return '1';
    case '@':
        return '2';
    case '#':
        return '3';
    case '$':
        return '4';
    case '%':
        return '5';
    case '^':
        return '6';
    case '&':
        return '7';
    case '*':
        return '8';
    case '(':
        return '9';
    case ';':
    case ':':
        return 186;
    case '=':
    case '+':
        return 187;
    case ',':
    case '<':
        return 188;
    case '-':
    case '_':
        return 189;
    case '.':
    case '>':
        return 190;
    case '/':
    case '?':
        return 191;
    case '`':
    case '~':
        return 192;
    case '[':
    case '{':
        return 219;
    case '\\':
    case '|':
        return 220;
    case ']':
    case '}':
        return 221;
    case '\'':
    case '"':
        return 222;
    default:
        return 0;
    }
}

std::optional<KeyStroke> keyByName(std::string_view name) {
    if (name.size() == 1) {
        const char c = name[0];
        if (c < 0x21 || c > 0x7E)
            return std::nullopt;
        return KeyStroke{keyCodeOfChar(char32_t(c)), c};
    }
    for (const NamedKey& k : kNamedKeys)
        if (sameAsciiName(k.name, name))
            return k.stroke;
    // F1..F12
    if ((name[0] == 'F' || name[0] == 'f') && name.size() <= 3) {
        int n = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9')
                return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (name[1] != '0' && n >= 1 && n <= 12)
            return KeyStroke{key::kF1 + n - 1, 0};
    }
    return std::nullopt;
}

} // namespace swf::input
