// XML/LoadVars loading and LoadVars itself.

#include "BuiltinLoad.h"

#include "BuiltinSupport.h"

namespace swf::avm1 {

namespace {

// Loads waiting for delivery live in a hidden global array, so they stay reachable.
constexpr const char* kPending = "\x01pendingLoads";
// More waiting loads than this are refused: a script that loads in a loop cannot pile them up.
constexpr std::size_t kMaxPending = 256;
// The data clip event's bit among a placement's event flags.
constexpr std::uint32_t kClipDataEvent = 0x100;
// Byte counts of the last load (not enumerable): 0 and undefined until it arrives.
constexpr const char* kBytesLoaded = "_bytesLoaded";
constexpr const char* kBytesTotal = "_bytesTotal";

ArrayObject* pendingList(Interpreter& vm) {
    return hiddenGlobalArray(vm, kPending);
}

bool queueLoad(Interpreter& vm, Object* target, const Value& url) {
    ArrayObject* list = pendingList(vm);
    if (!target || list->elements.size() >= kMaxPending)
        return false;
    Object* entry = vm.newObject();
    vm.set(entry, "target", target);
    vm.set(entry, "url", vm.toString(url));
    list->elements.push_back(entry);
    vm.set(target, "loaded", false);
    vm.define(target, kBytesLoaded, 0, kDontEnum);
    vm.define(target, kBytesTotal, Value(), kDontEnum); // unknown until the data comes
    return true;
}

Value load(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty())
        return false;
    return queueLoad(vm, self, args[0]);
}

// Nothing is sent anywhere; a local URL still reads back into the target.
Value sendAndLoad(Interpreter& vm, Object*, std::span<const Value> args) {
    if (args.size() < 2)
        return false;
    return queueLoad(vm, arg(args, 1).object(), args[0]);
}

Value send(Interpreter&, Object*, std::span<const Value>) {
    return false;
}

Value bytesLoaded(Interpreter& vm, Object* self, std::span<const Value>) {
    return vm.get(self, kBytesLoaded);
}

Value bytesTotal(Interpreter& vm, Object* self, std::span<const Value>) {
    return vm.get(self, kBytesTotal);
}

// --- LoadVars

// "a=b&c=d": each pair unescaped into a property; a pair without a name is skipped.
Value decode(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty())
        return false; // what Flash answered a call without the text (measured)
    if (!self)
        return Value();
    const std::string s = vm.toString(args[0]);
    const Value unescape = vm.get(vm.global(), "unescape");
    std::size_t i = 0;
    while (i <= s.size()) {
        std::size_t end = s.find('&', i);
        if (end == std::string::npos)
            end = s.size();
        const std::string pair = s.substr(i, end - i);
        const std::size_t eq = pair.find('=');
        const std::string name = pair.substr(0, eq);
        if (!name.empty()) {
            const Value rawName[] = {Value(name)};
            const Value rawValue[] = {Value(eq == std::string::npos ? std::string() : pair.substr(eq + 1))};
            vm.set(self, vm.toString(vm.call(unescape, Value(), rawName)), vm.toString(vm.call(unescape, Value(), rawValue)));
        }
        i = end + 1;
        if (vm.failing())
            break;
    }
    return Value();
}

// Enumerable properties as name=value pairs, escaped through the global escape().
Value loadVarsToString(Interpreter& vm, Object* self, std::span<const Value>) {
    if (!self)
        return Value();
    // Each pair is escaped name first, then pushed through Array's push, as Flash's
    // own script did (measured: a script's replacements of escape and push see them).
    const Value escape = vm.get(vm.global(), "escape");
    ArrayObject* pairs = vm.newArray({});
    const std::vector<Property> props = self->properties();
    std::size_t size = 0;
    for (auto it = props.begin(); it != props.end(); ++it) {
        if ((it->flags & kDontEnum) || it->virtualProperty || vm.isCallable(it->value))
            continue;
        const Value n[] = {Value(it->name)};
        const Value v[] = {vm.get(self, it->name)};
        std::string pair = vm.toString(vm.call(escape, Value(), n));
        pair += "=" + vm.toString(vm.call(escape, Value(), v));
        size += pair.size() + 1;
        if (!vm.checkStringSize(size) || vm.failing())
            break;
        const Value item[] = {Value(pair)};
        vm.callMethod(Value(pairs), "push", item);
    }
    std::string out;
    for (const Value& pair : pairs->elements) {
        out += (out.empty() ? "" : "&") + vm.toString(pair);
        if (!vm.checkStringSize(out.size()))
            break;
    }
    return out;
}

Value loadVarsOnData(Interpreter& vm, Object* self, std::span<const Value> args) {
    return onDataParsing(vm, self, args, "decode");
}

Value loadVarsConstruct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

Value ignore(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

} // namespace

void installLoadMethods(Interpreter& vm, Object* proto) {
    vm.defineMethod(proto, "load", load);
    vm.defineMethod(proto, "sendAndLoad", sendAndLoad);
    vm.defineMethod(proto, "send", send);
    vm.defineMethod(proto, "getBytesLoaded", bytesLoaded);
    vm.defineMethod(proto, "getBytesTotal", bytesTotal);
}

void installLoadVarsBuiltins(Interpreter& vm) {
    FunctionObject* lv = defineClass(vm, vm.global(), "LoadVars", loadVarsConstruct);
    Object* proto = vm.get(lv, "prototype").object();
    installLoadMethods(vm, proto);
    vm.defineMethod(proto, "decode", decode);
    vm.defineMethod(proto, "toString", loadVarsToString);
    vm.defineMethod(proto, "onData", loadVarsOnData);
    vm.defineMethod(proto, "onLoad", ignore);
    vm.define(proto, "contentType", "application/x-www-form-urlencoded", kDontEnum);
    flagAllMembers(proto, kSwf6Up); // a Flash 6 class
    const NativeFn natives[] = {load, send, sendAndLoad, decode};
    for (int i = 0; i < 4; ++i)
        registerNative(vm, 301, i, natives[i]);
}

Value onDataParsing(Interpreter& vm, Object* self, std::span<const Value> args, const char* parse) {
    const Value src = arg(args, 0);
    if (src.isUndefined()) {
        const Value no[] = {false};
        vm.callMethod(self, "onLoad", no);
        return Value();
    }
    const Value text[] = {src};
    vm.callMethod(self, parse, text);
    vm.set(self, "loaded", true);
    const Value yes[] = {true};
    vm.callMethod(self, "onLoad", yes);
    return Value();
}

bool queueVariablesLoad(Interpreter& vm, const std::string& target, const std::string& url) {
    ArrayObject* list = pendingList(vm);
    Object* clip = vm.host() ? vm.resolveTarget(Value(target), vm.currentTarget()) : nullptr;
    if (!clip || clip->kind() != Object::Kind::Clip || list->elements.size() >= kMaxPending)
        return false;
    Object* entry = vm.newObject();
    vm.set(entry, "clip", vm.clipPath(static_cast<ClipObject*>(clip)->clip));
    vm.set(entry, "url", url);
    list->elements.push_back(entry);
    return true;
}

namespace {

// A loadVariables request: the clip (found again by its path) takes the variables; a file that
// cannot be read gives it nothing and no events, as a failed load did in Flash.
void deliverVariables(Interpreter& vm, Object* entry) {
    Object* clip = vm.resolveTarget(vm.get(entry, "clip"), vm.host()->root());
    std::string text;
    if (!clip || clip->kind() != Object::Kind::Clip ||
        !vm.host()->readLocalFile(vm.toString(vm.get(entry, "url")), text))
        return;
    const Value data[] = {Value(std::move(text))};
    decode(vm, clip, data);
    vm.host()->runClipEvent(static_cast<ClipObject*>(clip)->clip, kClipDataEvent);
    if (vm.isCallable(vm.get(clip, "onData")))
        vm.callMethod(clip, "onData", {});
}

} // namespace

void deliverLoads(Interpreter& vm) {
    Object* list = vm.get(vm.global(), kPending).object();
    if (!list || list->kind() != Object::Kind::Array || static_cast<ArrayObject*>(list)->elements.empty())
        return;
    // Loads asked for by onData handlers wait for the next delivery.
    const std::vector<Value> due = std::move(static_cast<ArrayObject*>(list)->elements);
    static_cast<ArrayObject*>(list)->elements.clear();
    for (const Value& entry : due) {
        if (vm.host() && entry.object() && !vm.get(entry, "clip").isUndefined()) {
            deliverVariables(vm, entry.object());
            continue;
        }
        Object* target = vm.get(entry, "target").object();
        const std::string url = vm.toString(vm.get(entry, "url"));
        std::string text;
        const bool ok = vm.host() && vm.host()->readLocalFile(url, text);
        if (ok) {
            vm.define(target, kBytesLoaded, static_cast<double>(text.size()), kDontEnum);
            vm.define(target, kBytesTotal, static_cast<double>(text.size()), kDontEnum);
        }
        const Value data[] = {ok ? Value(std::move(text)) : Value()};
        vm.callMethod(target, "onData", data);
    }
}

} // namespace swf::avm1
