#pragma once
// Loading text for XML and LoadVars from files next to the movie, and the LoadVars
// class. A load finishes after the script that asked for it, on the next call of
// deliverLoads (the player calls it once per frame): the object's onData gets the
// text, or undefined when the host refused or could not read the file.

#include "Interpreter.h"

namespace swf::avm1 {

// load, sendAndLoad, send, getBytesLoaded and getBytesTotal on a class prototype.
void installLoadMethods(Interpreter& vm, Object* proto);
void installLoadVarsBuiltins(Interpreter& vm);
void deliverLoads(Interpreter& vm);
// Loads into clips (BuiltinClipLoader.cpp): loadMovie/unloadMovie (an empty url) and
// MovieClipLoader's requests, served by deliverClipLoads once per frame; `loader` (may be
// null) hears the events. False when refused (no such clip, too many waiting).
bool queueClipLoad(Interpreter& vm, ClipId target, const std::string& url, Object* loader);
// The same into level `level` (loadMovieNum, unloadMovieNum, "_levelN" targets).
bool queueLevelLoad(Interpreter& vm, int level, const std::string& url, Object* loader);
void deliverClipLoads(Interpreter& vm);
// loadVariables/loadVariablesNum: the file's name=value pairs land on the clip `target` names
// (a path or "_levelN") a frame later, then its onData and data event run. False when the
// target is no clip or too many loads wait.
bool queueVariablesLoad(Interpreter& vm, const std::string& target, const std::string& url);
// The default onData of XML and LoadVars: `parse` (parseXML or decode) reads the text,
// then onLoad(true); undefined text (a failed load) gives onLoad(false).
Value onDataParsing(Interpreter& vm, Object* self, std::span<const Value> args, const char* parse);

} // namespace swf::avm1
