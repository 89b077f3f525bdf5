#pragma once
// Text fields bound to a timeline variable (DefineEditText's variable name): each frame the
// field shows the variable's value as a string; a variable that does not exist yet takes
// the field's text, as the player did when the field was placed.

#include "swf/avm1/Interpreter.h"

namespace swf::timeline {
class Clip;
}

namespace swf::avm1 {

// Brings every bound field under `root` up to date with its variable.
void syncFieldVariables(Interpreter& vm, timeline::Clip& root);

// The object holding a field's variable and the variable's own name: "a.b.c", "_root.x",
// "/a/b:c" and "b:c" name a path then the variable; a bare name is on the field's timeline.
Object* variableHolder(Interpreter& vm, ClipId timeline, std::string_view path, std::string& name);

} // namespace swf::avm1
