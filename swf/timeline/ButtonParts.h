#pragma once
// A button's parts: the characters of the state it shows (DefineButton records) as live
// display objects, so sprites inside a state play their timelines and run their scripts,
// and records' colour transforms, blend modes and filters apply as on any placement.
//
// The parts live on a holder timeline owned by the button (ButtonObject::holder), never on
// a display list: its placement follows the button's, so the parts sit where the button is.
// When the state changes, a record shown in both states keeps its object (a sprite in
// both the up and the over state plays on), the others go and the new state's come.
// Scripts see a part sprite's parent as the button's own timeline, as in Flash Player,
// where a button is not a timeline of its own.

#include <functional>

namespace swf::timeline {

class Clip;
struct DisplayObject;
struct World;

// Brings the parts of `button` (an object of `parent`'s list) to its current state;
// does nothing for other objects.
void syncButtonParts(World& world, Clip& parent, DisplayObject& button);

// One tick for the parts: brought to the current state, then each part advances.
void advanceButtonParts(World& world, Clip& parent, DisplayObject& button);

// Calls `visit` for every sprite instance among the button's parts and inside them.
void forEachPartClip(const DisplayObject& button, const std::function<void(Clip&)>& visit);

// Lets the button's parts go (the button leaves, or moves to another parent).
void dropButtonParts(DisplayObject& button, World& world);

// Whether `clip` is a button's holder of parts (its placement is the button's).
bool isButtonPartsHolder(const Clip& clip);

} // namespace swf::timeline
