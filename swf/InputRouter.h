#pragma once
// Routes the user's input to the movie: keeps the mouse and key state scripts read,
// finds what the mouse is over, runs the button state machine (idle, over-up,
// over-down, out-down) on buttons and on clips that act as buttons, and fires the
// clip events, button condition actions and script handlers each change calls for.
//
// Within one mouse or key event the order is: the placement clip events of every clip
// (mouseDown, keyDown, ...), then the listeners and the clips' own handlers, then the
// button transition. The player runs the frame actions a handler's goto left pending
// right after the event, as scripts expect.

#include "swf/input/InputEvent.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace swf::timeline {
class Clip;
struct World;
struct DisplayObject;
} // namespace swf::timeline
namespace swf::avm1 {
class ActionRunner;
}
namespace swf::format {
struct ButtonCharacter;
}

namespace swf {

class FieldInput;

class InputRouter {
public:
    InputRouter(timeline::World& world, timeline::Clip& root, avm1::ActionRunner& runner);
    ~InputRouter();

    // `x`/`y` of mouse events are stage pixels; the router maps them to the root.
    void handle(const input::InputEvent& event);

    // Looks again for what is under the mouse (the display list changed under it).
    void refresh();

private:
    // A button or clip acting as one, remembered across events by its instance serial.
    struct Target {
        std::weak_ptr<timeline::Clip> parent;
        std::uint64_t serial = 0;
        explicit operator bool() const { return serial != 0; }
        bool operator==(const Target& o) const { return serial == o.serial; }
    };
    enum class Transition {
        RollOver,
        RollOut,
        Press,
        Release,
        ReleaseOutside,
        DragOut,
        DragOver,
        MenuDragOver, // idle to over-down: a track-as-menu target entered with the button held
        MenuDragOut,  // over-down to idle: a track-as-menu target left with the button held
    };

    void mouseMove(double x, double y);
    void mouseDown(double x, double y);
    void mouseUp(double x, double y);
    void keyDown(int keyCode, int charCode, std::uint8_t modifiers);
    void keyUp(int keyCode, int charCode);
    void moveTo(double stageX, double stageY);
    void moveIfElsewhere(double x, double y);
    void track();
    void dragTo();
    void updateCursor();
    Target targetUnderMouse();
    timeline::DisplayObject* resolve(const Target& t, timeline::Clip** parent = nullptr) const;
    bool isMenu(const Target& t) const;
    void transition(const Target& t, Transition what);
    void playButtonSound(const format::ButtonCharacter& button, std::uint16_t condition, std::uint64_t clipId);
    void clipEvents(std::uint32_t event, int keyPressCode = -1);
    void buttonKeyActions(int keyPressCode);
    bool pressFocused(int keyCode);
    void focusedKeyHandler(std::string_view handler);

    timeline::World& m_world;
    timeline::Clip& m_root;
    avm1::ActionRunner& m_runner;
    std::unique_ptr<FieldInput> m_fields; // focus, text editing and the tab order
    Target m_over;
    Target m_pressed;
    bool m_pressedOver = false; // the pressed target is under the mouse
    bool m_moved = false;       // a position has been given since load
};

} // namespace swf
