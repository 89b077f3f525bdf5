// Helpers shared by the script-like built-in classes.

#include "BuiltinSupport.h"

#include <cmath>

namespace swf::avm1 {

void defineAccessor(Interpreter& vm, Object* object, std::string_view name, NativeFn getter, NativeFn setter,
                    PropFlags flags) {
    Property& p = object->put(name, vm.key(name), Value(), flags);
    p.virtualProperty = true;
    p.getter = vm.newNative(getter);
    p.setter = setter ? vm.newNative(setter) : nullptr;
    vm.noteAccessors();
}

Value scriptAdd(Interpreter& vm, const Value& a, const Value& b) {
    return vm.add(a, b);
}

std::string concatText(Interpreter& vm, const Value& v) {
    return vm.concatText(v);
}

FunctionObject* defineClass(Interpreter& vm, Object* owner, std::string_view name, NativeFn constructor) {
    FunctionObject* f = vm.newNative(constructor, vm.newObject());
    vm.define(owner, name, f, kDontEnum);
    return f;
}

void sealClass(Object* object) {
    for (const char* name : {"__proto__", "constructor", "prototype"})
        if (Property* p = object->own(name))
            p->flags |= kReadOnly;
}

ArrayObject* hiddenGlobalArray(Interpreter& vm, const char* key) {
    Object* list = vm.get(vm.global(), key).object();
    if (list && list->kind() == Object::Kind::Array)
        return static_cast<ArrayObject*>(list);
    ArrayObject* fresh = vm.newArray();
    vm.define(vm.global(), key, fresh, kDontEnum | kDontDelete);
    return fresh;
}

Object* package(Interpreter& vm, Object* owner, std::string_view name) {
    if (Object* o = vm.get(owner, name).object())
        return o;
    Object* o = vm.newObject();
    vm.define(owner, name, o, kDontEnum);
    return o;
}

Value newGeom(Interpreter& vm, std::string_view name, std::span<const Value> args) {
    const Value flash = vm.get(vm.global(), "flash");
    const Value geom = vm.get(flash, "geom");
    return vm.construct(vm.get(geom, name), args);
}

double numberField(Interpreter& vm, Object* object, std::string_view name) {
    return vm.toNumber(vm.get(object, name));
}

namespace {

constexpr const char* kNatives = "\x01natives";

std::string nativeKey(int table, int index) {
    return std::to_string(table) + "," + std::to_string(index);
}

// Each call makes a new function object over the same native code, as the player
// did: properties put on one ASnative(t, i) are not seen on the next.
Value asNative(Interpreter& vm, Object*, std::span<const Value> args) {
    const double table = vm.toNumber(arg(args, 0));
    const double index = vm.toNumber(arg(args, 1));
    const Property* entry = nullptr;
    if (const Property* registry = vm.global()->own(kNatives); registry && std::isfinite(table) && std::isfinite(index))
        if (Object* r = registry->value.object())
            entry = r->own(nativeKey(static_cast<int>(table), static_cast<int>(index)));
    auto* fn = entry && vm.isCallable(entry->value) ? static_cast<FunctionObject*>(entry->value.object()) : nullptr;
    if (!fn || !fn->native)
        return entry ? entry->value : Value();
    FunctionObject* copy = vm.newNative(fn->native);
    copy->allocate = fn->allocate;
    return copy;
}

// ASnative(2, 0): whether the script function calling it was called by `new`.
Value asNew(Interpreter& vm, Object*, std::span<const Value>) {
    return vm.scriptConstructed();
}

} // namespace

void registerNative(Interpreter& vm, int table, int index, const Value& function) {
    Object* registry = vm.get(vm.global(), kNatives).object();
    if (!registry) {
        registry = vm.newObject(nullptr);
        vm.define(vm.global(), kNatives, registry, kDontEnum | kDontDelete);
    }
    vm.define(registry, nativeKey(table, index), function);
}

void registerNative(Interpreter& vm, int table, int index, NativeFn fn) {
    registerNative(vm, table, index, vm.newNative(fn));
}

void installNativeTable(Interpreter& vm) {
    vm.defineMethod(vm.global(), "ASnative", asNative);
    for (const auto& [index, name] : {std::pair{0, "escape"}, std::pair{1, "unescape"}})
        registerNative(vm, 100, index, vm.get(vm.global(), name));
    // Read past the version flags: SWF 5 movies reach hasOwnProperty only this way.
    if (const Property* p = vm.objectProto->own(vm.key("hasOwnProperty")))
        registerNative(vm, 101, 5, p->value);
    registerNative(vm, 2, 0, asNew);
}

} // namespace swf::avm1
