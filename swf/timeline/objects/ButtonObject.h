#pragma once
// A button (DefineButton, DefineButton2). The renderer shows the parts of the current
// state (ButtonParts.h); the input code moves the state with the mouse and runs the
// transitions' actions.

#include "swf/format/Button.h"
#include "swf/timeline/DisplayObject.h"
#include "swf/timeline/objects/ObjectState.h"

#include <map>
#include <optional>

namespace swf::timeline {

class Clip;

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

    // The characters of the state shown, as live objects (ButtonParts.h): a holder
    // timeline placed where the button is, on a list of its own (one entry, whose clip it
    // is) so that it can be parked like any removed clip when the button goes.
    DisplayList holder;
    Clip* parts() const { return holder.empty() ? nullptr : holder.begin()->second.clip.get(); }
    ButtonState partsState = ButtonState::Up; // the state `parts()` holds
    std::map<int, std::size_t> partRecords;   // holder depth -> index of its record

    void removed(DisplayObject& self, World& world) override;
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
