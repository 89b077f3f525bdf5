#pragma once
// The Sound class's link back from the sound engine: loads finished since the last
// frame call onID3 and onLoad, and sounds that played to their end call their Sound
// object's onSoundComplete.

namespace swf::audio {
class SoundControl;
}

namespace swf::avm1 {

class Interpreter;

// Reports the loads asked for since the last call, then the sounds `control` reports finished.
void dispatchSoundEvents(Interpreter& vm, audio::SoundControl& control);

} // namespace swf::avm1
