// Helpers shared by the script-like built-in classes.

#include "BuiltinSupport.h"

#include <cmath>
#include <iterator>

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

void flagAllMembers(Object* object, PropFlags versionFlag) {
    for (Property& p : object->properties())
        p.flags |= versionFlag;
}

ArrayObject* listenerArray(Interpreter& vm, std::vector<Value> items) {
    ArrayObject* list = vm.newArray(std::move(items));
    vm.define(list, "constructor", vm.get(vm.global(), "Array"), kDontEnum | kDontDelete);
    return list;
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

// ASSetNative(object, table, "name,6name,...", first): each listed name becomes ASnative(table,
// first + i) on the object. A leading digit (6 to 9) hides the name from movies before that
// version, as Flash's own class scripts marked theirs; flags are the script's to set after.
Value asSetNative(Interpreter& vm, Object*, std::span<const Value> args) {
    Object* target = arg(args, 0).object();
    const double table = vm.toNumber(arg(args, 1));
    const double first = args.size() > 3 ? vm.toNumber(args[3]) : 0;
    if (!target || !std::isfinite(table) || !std::isfinite(first))
        return Value();
    const std::string names = vm.toString(arg(args, 2));
    double index = first;
    for (std::size_t at = 0; at <= names.size() && !vm.failing(); ++index) {
        std::size_t end = names.find(',', at);
        if (end == std::string::npos)
            end = names.size();
        std::string name = names.substr(at, end - at);
        at = end + 1;
        PropFlags flags = 0;
        if (!name.empty() && name[0] >= '6' && name[0] <= '9') {
            constexpr PropFlags kByVersion[] = {kSwf6Up, kSwf7Up, kSwf8Up, kSwf9Up};
            flags = kByVersion[name[0] - '6'];
            name.erase(0, 1);
        }
        if (name.empty())
            continue;
        const Value where[] = {table, index};
        vm.define(target, name, asNative(vm, nullptr, where), flags);
    }
    return Value();
}

// ASconstructor(table, index): the native as a class, with a prototype of its own.
Value asConstructor(Interpreter& vm, Object*, std::span<const Value> args) {
    const Value native = asNative(vm, nullptr, args);
    auto* fn = vm.isCallable(native) ? static_cast<FunctionObject*>(native.object()) : nullptr;
    if (!fn || !fn->native)
        return Value();
    FunctionObject* cls = vm.newNative(fn->native, vm.newObject());
    cls->allocate = fn->allocate;
    return cls;
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
    vm.defineMethod(vm.global(), "ASSetNative", asSetNative);
    vm.defineMethod(vm.global(), "ASconstructor", asConstructor);
    for (const auto& [index, name] : {std::pair{0, "escape"}, std::pair{1, "unescape"}})
        registerNative(vm, 100, index, vm.get(vm.global(), name));
    // Read past the version flags: SWF 5 movies reach hasOwnProperty only this way.
    if (const Property* p = vm.objectProto->own(vm.key("hasOwnProperty")))
        registerNative(vm, 101, 5, p->value);
    registerNative(vm, 2, 0, asNew);
    // Table 252 is Array: its constructor, then the prototype's methods in Flash's order.
    const Value array = vm.get(vm.global(), "Array");
    registerNative(vm, 252, 0, array);
    Object* arrayProto = vm.get(array, "prototype").object();
    const char* const arrayMethods[] = {"push",   "pop",      "concat", "shift",   "unshift", "slice",
                                        "join",   "splice",   "toString", "sort",  "reverse", "sortOn"};
    for (int i = 0; arrayProto && i < static_cast<int>(std::size(arrayMethods)); ++i)
        if (const Property* p = arrayProto->own(vm.key(arrayMethods[i])))
            registerNative(vm, 252, i + 1, p->value);
}

} // namespace swf::avm1
