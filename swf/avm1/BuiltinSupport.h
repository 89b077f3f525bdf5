#pragma once
// Helpers for the built-in classes that Flash itself wrote in ActionScript (flash.geom,
// AsBroadcaster, XML ...): they read and write their fields as ordinary properties,
// so a script that replaces a field or a method sees the same effects as in Flash.

#include "Interpreter.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace swf::format {
struct Filter;
}

namespace swf::avm1 {

// An addProperty-style accessor pair; `setter` may be null (read-only).
void defineAccessor(Interpreter& vm, Object* object, std::string_view name, NativeFn getter, NativeFn setter,
                    PropFlags flags = kDontEnum);
// The `+` of scripts: strings concatenate, anything else adds as numbers.
Value scriptAdd(Interpreter& vm, const Value& a, const Value& b);
// How a value reads inside "x=" + v.
std::string concatText(Interpreter& vm, const Value& v);
// A constructor with a fresh prototype, stored as owner[name] (not enumerable).
FunctionObject* defineClass(Interpreter& vm, Object* owner, std::string_view name, NativeFn constructor);
// Makes a built-in's `__proto__`, `constructor` and `prototype` read-only, as Flash left
// them on its oldest classes (Object, Number, Date, Key ...).
void sealClass(Object* object);
// _global[key] as a hidden, permanent array (a queue the built-ins keep), made when missing.
ArrayObject* hiddenGlobalArray(Interpreter& vm, const char* key);
// Adds a version flag to every member of `object`, its `__proto__` link included, as
// Flash's class scripts did with ASSetPropFlags(proto, null, flag) for classes newer
// than the movie (a LoadVars prototype seen from a Flash 5 movie has no members at all).
void flagAllMembers(Object* object, PropFlags versionFlag);
// A `_listeners` array as Flash's broadcasters (written in ActionScript) made it with a
// literal: it has its own hidden, permanent `constructor`.
ArrayObject* listenerArray(Interpreter& vm, std::vector<Value> items = {});
// owner[name] as a package object, made when it is missing.
Object* package(Interpreter& vm, Object* owner, std::string_view name);
// `new _global.flash.geom.<name>(args)` as Flash's own scripts wrote it (a script that
// replaced the class gets its replacement).
Value newGeom(Interpreter& vm, std::string_view name, std::span<const Value> args);
// obj.name converted to a number.
double numberField(Interpreter& vm, Object* object, std::string_view name);

// A flash.geom.ColorTransform's multipliers and offsets (red, green, blue, alpha each);
// false when `object` is not one.
bool colorTransformValues(Object* object, double out[8]);

// clip.filters: a flash.filters object as the record the renderer draws (false for what is
// not a filter, or one that is not drawn), and a record as a new filter object.
bool filterRecord(Interpreter& vm, Object* filter, format::Filter& out);
Value filterObject(Interpreter& vm, const format::Filter& filter);

// ASnative(table, index): the numbered natives Flash's own class scripts were built
// from. Built-ins register the ones they provide; ASnative answers undefined for others.
void registerNative(Interpreter& vm, int table, int index, NativeFn fn);
void registerNative(Interpreter& vm, int table, int index, const Value& function);
void installNativeTable(Interpreter& vm);

// An object whose state is more than its properties; the interpreter owns it like any other.
template <class T, class... Args> T* makeNative(Interpreter& vm, Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    vm.adopt(std::move(owned));
    return raw;
}

} // namespace swf::avm1
