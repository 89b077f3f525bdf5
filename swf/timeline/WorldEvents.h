#pragma once
// What the world tells the script machine that owns its objects. Events flow one way:
// hosts deliver input and time to the world, the world raises events here; the world
// never calls into a script machine any other way, and knows none of its types.

namespace swf::timeline {

class Clip;

class WorldEvents {
public:
    virtual ~WorldEvents() = default;

    // A clip (or one inside it) left the display list. Called once the change that
    // removed it is complete, never in the middle of one, while the clip still knows
    // its parent and name (isOnStage() is already false). Not called when the whole
    // movie goes away.
    virtual void clipRemoved(Clip&) {}
};

} // namespace swf::timeline
