#pragma once
// NetConnection, NetStream and Video for scripts: a NetStream plays a local video file
// (through the host's video engine) into the Video objects it is attached to, and hears
// onStatus and onMetaData from it.

#include "Interpreter.h"

namespace swf::video {
class VideoControl;
}

namespace swf::avm1 {

void installVideoBuiltins(Interpreter& vm);

// The script object for a video object found by name.
Object* videoObject(Interpreter& vm, const FieldRef& ref);

// Delivers the engine's messages to their NetStreams' onStatus and onMetaData, and lets the
// engine forget streams whose script objects were collected. Call once per tick.
void dispatchNetStreamEvents(Interpreter& vm, video::VideoControl& control);

} // namespace swf::avm1
