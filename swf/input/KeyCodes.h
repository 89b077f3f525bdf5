#pragma once
// Key codes as scripts see them (Key.getCode(), Key.isDown()): the desktop's virtual
// key numbers, letters as their capitals and digits as themselves.

#include <optional>
#include <string_view>

namespace swf::input {

namespace key {
inline constexpr int kBackspace = 8, kTab = 9, kEnter = 13, kShift = 16, kControl = 17, kAlt = 18,
                     kCapsLock = 20, kEscape = 27, kSpace = 32, kPageUp = 33, kPageDown = 34, kEnd = 35,
                     kHome = 36, kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kInsert = 45, kDelete = 46,
                     kF1 = 112, kF12 = 123, kNumLock = 144, kScrollLock = 145;
}

struct KeyStroke {
    int keyCode = 0;
    int charCode = 0; // 0 when the key types nothing
};

// A key by name as scripted sessions write it: one printable ASCII character, or
// Enter Escape Tab Backspace Delete Insert Space Left Right Up Down Home End PageUp
// PageDown Shift Control Alt CapsLock F1..F12 (names match without regard to case).
std::optional<KeyStroke> keyByName(std::string_view name);

// The key that types an ASCII character on a US layout (letters as their capitals),
// 0 when no key does.
int keyCodeOfChar(char32_t c);

} // namespace swf::input
