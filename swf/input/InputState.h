#pragma once
// What the player knows about the user's input right now, shared by the engine's
// event routing and the scripts' Key, Mouse and Selection objects. Positions are in
// the root timeline's space, in pixels.

#include <array>
#include <cstdint>
#include <string>

namespace swf::input {

enum class Cursor : std::uint8_t { Arrow, Hand, IBeam, Hidden };

// A display object found again by the id of the clip whose list holds it and its serial.
struct ObjectRef {
    std::uint64_t parent = 0, serial = 0;
    explicit operator bool() const { return serial != 0; }
    bool operator==(const ObjectRef&) const = default;
};

struct DragState {
    std::uint64_t clip = 0; // timeline::Clip::id(); 0 when nothing is dragged
    bool lockCenter = false;
    double offsetX = 0, offsetY = 0; // clip position minus mouse, parent space, at the start
    bool constrained = false;
    double left = 0, top = 0, right = 0, bottom = 0; // parent space, pixels
};

struct InputState {
    double mouseX = 0, mouseY = 0;
    bool mouseDown = false; // the left button (the only one movies see)
    std::array<bool, 256> keys{};
    bool capsLock = false, numLock = false, scrollLock = false;
    int lastKeyCode = 0;
    int lastCharCode = 0;
    bool windowFocused = true;
    bool mouseHidden = false; // Mouse.hide()
    Cursor cursor = Cursor::Arrow;
    // The desktop clipboard's text as the engine knows it: hosts set it before a paste and
    // copy it out when `clipboardWrites` has moved (a copy or cut in a text field).
    std::string clipboard;
    std::uint64_t clipboardWrites = 0;
    DragState drag;
    // The clip under the mouse when the last drag ended (slash path), for _droptarget.
    std::string dropTarget;
    // Keyboard focus: the focused display object (none when 0); `focusShown` when Tab put it
    // there, so a button or clip shows the yellow focus rectangle.
    ObjectRef focus;
    bool focusShown = false;

    bool keyDown(int code) const { return code >= 0 && code < 256 && keys[std::size_t(code)]; }
};

} // namespace swf::input
