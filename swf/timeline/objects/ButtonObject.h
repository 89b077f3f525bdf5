#pragma once
// A button (DefineButton, DefineButton2). The renderer shows the records of the current
// state; the input code (issue 12) moves the state with the mouse and runs the
// transitions' actions.

#include "swf/format/Button.h"
#include "swf/timeline/objects/ObjectState.h"

#include <optional>

namespace swf::timeline {

enum class ButtonState : std::uint8_t { Up, Over, Down };

class ButtonObject final : public ObjectState {
public:
    ObjectKind kind() const override { return ObjectKind::Button; }
    // Bounds stay the default; the mouse finds buttons through their hit-state records
    // (swf/timeline/HitTest.h), and the input router moves `state`.

    ButtonState state = ButtonState::Up;
    // AS2 `enabled`: a disabled button ignores the mouse.
    bool enabled = true;
    bool useHandCursor = true;
    // AS2 `trackAsMenu` once a script set it; the character's flag until then.
    std::optional<bool> trackAsMenu;
};

// Whether a record of the button is drawn in `state`.
inline bool shownIn(const format::ButtonRecord& record, ButtonState state) {
    switch (state) {
    case ButtonState::Over:
        return record.over;
    case ButtonState::Down:
        return record.down;
    default:
        return record.up;
    }
}

} // namespace swf::timeline
