#pragma once
// The boundary between the player and whatever executes AVM1 code. The player
// decides *when* code runs (after a frame's display list is built, in tag order;
// init actions before the frame's own; clip events of placed sprites) and hands the
// code to the runner with the clip that owns it. A runner reaches other clips
// through timeline::Clip (resolvePath, the playhead calls, displayObject() for
// the display properties) and must never keep a raw Clip pointer across calls:
// clips can disappear whenever a timeline moves. Hold a std::weak_ptr<Clip>
// (Clip derives from enable_shared_from_this) instead.
//
// For an interpreter that names clips by number: Clip::id() is a never-reused id
// and World::clipById (clip.world()) finds the clip again; frame scripts are the
// DoAction tags of timeline().frameTags(frame) (bodies via Movie::tagBody);
// script edits of the display list go through Clip::placeScripted, createEmptyClip,
// duplicate, swapDepths and removeAt; a script that sets a display property writes
// the DisplayObject's fields and sets its scriptTransformed flag, after which the
// timeline no longer moves it.
//
// TimelineActions is the built-in runner: it executes the timeline-control
// actions only. The full interpreter implements the same interface and replaces it
// through Player::setActionRunner.

#include "swf/format/PlaceObject.h"
#include "swf/input/InputState.h"
#include "swf/timeline/WorldEvents.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace swf::timeline {
struct DisplayObject;
}

namespace swf::avm1 {

// The runner is also the world's event sink (timeline::WorldEvents: clipRemoved).
class ActionRunner : public timeline::WorldEvents {
public:
    virtual ~ActionRunner() = default;

    // A DoAction block of `clip`'s current frame. `code` is ACTIONRECORDs ending
    // with a 0 byte (or the tag end); it stays valid while the movie is loaded.
    virtual void runFrameActions(timeline::Clip& clip, std::span<const std::uint8_t> code) = 0;

    // A DoInitAction block for sprite `spriteId`, run once per movie before the
    // normal actions of the frame that holds it. `clip` is the timeline holding the tag.
    virtual void runInitActions(timeline::Clip& clip, std::uint16_t spriteId,
                                std::span<const std::uint8_t> code) = 0;

    // A clip event handler from the placement of `clip` (format::ClipEvent bits).
    virtual void runClipEvent(timeline::Clip& clip, std::uint32_t event,
                              std::span<const std::uint8_t> code) = 0;

    // Called once after a movie is loaded (and before the first frame), and when
    // it is unloaded, so a runner can reset its global state.
    virtual void movieLoaded(int /*swfVersion*/) {}
    virtual void movieUnloaded() {}

    // --- Input. The player routes mouse and keys (see swf/InputRouter.h) and asks the
    // runner only about what scripts add.

    // Condition actions of a button placed on `parent`'s display list.
    virtual void runButtonActions(timeline::Clip& parent, std::span<const std::uint8_t> code) {
        runFrameActions(parent, code);
    }
    // A script handler of the clip by name (onPress, onRollOver, onSetFocus, ...).
    virtual void callClipHandler(timeline::Clip&, std::string_view /*name*/) {}
    // Scripts made the clip a button (it has onPress, onRelease, ... and is enabled).
    virtual bool clipHandlesMouse(timeline::Clip&) { return false; }
    // The hand cursor shows over the clip (or button) when it acts as a button.
    virtual bool showsHandCursor(timeline::Clip&) { return true; }
    // A script set the clip's trackAsMenu.
    virtual bool clipTracksAsMenu(timeline::Clip&) { return false; }
    // Calls a handler (onPress ...) scripts gave the button `serial` on `parent`'s list.
    virtual void callButtonHandler(timeline::Clip& /*parent*/, std::uint64_t /*serial*/, std::string_view /*name*/) {}
    // Tells the Mouse and Key listeners, and every clip's own onMouseDown/Up/Move
    // handlers for the mouse messages. `wheelDelta` only for MouseWheel.
    enum class Broadcast { MouseDown, MouseUp, MouseMove, MouseWheel, KeyDown, KeyUp };
    virtual void broadcast(Broadcast, int /*wheelDelta*/) {}
    // The keyboard focus moved (InputState::focus already names `to`): onKillFocus of the
    // object losing it, onSetFocus of the one taking it, then the Selection listeners.
    virtual void focusChanged(const input::ObjectRef& /*from*/, const input::ObjectRef& /*to*/) {}
    // The user changed a field's text: its variable takes the text and onChanged runs.
    virtual void fieldChanged(const input::ObjectRef& /*field*/) {}
    // The user scrolled a field (the wheel, or the caret moving out of view): onScroller.
    virtual void fieldScrolled(const input::ObjectRef& /*field*/) {}
    // What scripts set for the tab order on a display object of `parent`.
    struct TabSettings {
        std::optional<bool> enabled; // tabEnabled, when set
        int index = -1;              // tabIndex, -1 when not set
        bool children = true;        // tabChildren: false keeps a clip's content out of the order
    };
    virtual TabSettings tabSettings(timeline::Clip& /*parent*/, timeline::DisplayObject& /*object*/) {
        return {};
    }
    // `_focusrect`: whether a button or clip that Tab focused shows the yellow rectangle.
    virtual bool focusRectShown() const { return true; }
};

} // namespace swf::avm1
