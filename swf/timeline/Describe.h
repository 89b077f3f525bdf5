#pragma once
// Text form of a display list: one line per object, nested sprites indented. It is
// what `orvane-tool dump` prints and what timeline tests compare against.

#include <string>

namespace swf::timeline {

class Clip;

// "frame F/T playing|stopped" and then the objects of `clip`, recursively.
std::string describe(const Clip& clip);

} // namespace swf::timeline
