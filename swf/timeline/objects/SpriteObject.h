#pragma once
// A movie clip. Its timeline, children and run-time drawing live in its Clip
// (DisplayObject::clip; the root clip has no display object but draws all the same), so
// the state here is only what belongs to the placement. Its extent is its children's.

#include "swf/timeline/objects/ObjectState.h"

namespace swf::timeline {

class SpriteObject final : public ObjectState {
public:
    ObjectKind kind() const override { return ObjectKind::Sprite; }
    // Whether the clip acts as a button (AS2 handlers such as onRelease set it; issue 12).
    bool buttonMode = false;
};

} // namespace swf::timeline
