#pragma once
// The Sound class's link back from the sound engine: sounds that played to their end
// call their Sound object's onSoundComplete.

namespace swf::audio {
class SoundControl;
}

namespace swf::avm1 {

class Interpreter;

// Calls onSoundComplete on the Sound objects whose sound `control` reports finished.
void dispatchSoundComplete(Interpreter& vm, audio::SoundControl& control);

} // namespace swf::avm1
