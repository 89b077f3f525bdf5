#pragma once
// One piece of user input as the engine takes it: positions are stage pixels from the
// stage's top-left corner (fractions allowed), keys are the key codes scripts see
// through Key.getCode(), text is UTF-8.

#include <cstdint>
#include <string>

namespace swf::input {

enum class InputKind : std::uint8_t {
    Wait, // scripted sessions only: the movie runs its next frame
    MouseMove,
    MouseDown,
    MouseUp,
    Wheel,
    KeyDown,
    KeyUp,
    Text,
    FocusIn,
    FocusOut,
    Clipboard,
};

enum class MouseButton : std::uint8_t { Left, Right, Middle };

// Modifier keys held with a key, as the desktop reports them (whether or not their own key
// presses reached the movie).
namespace modifier {
inline constexpr std::uint8_t kShift = 1, kControl = 2;
}

struct InputEvent {
    InputKind kind = InputKind::Wait;
    double x = 0, y = 0; // MouseMove, MouseDown, MouseUp
    MouseButton button = MouseButton::Left;
    int wheelLines = 0; // Wheel: positive turns away from the user
    int keyCode = 0;    // KeyDown, KeyUp
    int charCode = 0;   // KeyDown, KeyUp: the character the key gives, 0 for none
    std::uint8_t modifiers = 0; // KeyDown: modifier::kShift | kControl
    std::string text;   // Text, Clipboard

    static InputEvent mouse(InputKind kind, double x, double y, MouseButton button = MouseButton::Left) {
        InputEvent e;
        e.kind = kind;
        e.x = x;
        e.y = y;
        e.button = button;
        return e;
    }
    static InputEvent key(InputKind kind, int keyCode, int charCode, std::uint8_t modifiers = 0) {
        InputEvent e;
        e.kind = kind;
        e.keyCode = keyCode;
        e.charCode = charCode;
        e.modifiers = modifiers;
        return e;
    }
};

} // namespace swf::input
