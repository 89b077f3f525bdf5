// Key: the keyboard as scripts read it, and the listeners told of key presses.

#include "BuiltinSupport.h"
#include "Interpreter.h"

#include "swf/input/KeyCodes.h"

namespace swf::avm1 {

namespace {

constexpr std::uint8_t kConstant = kDontEnum | kDontDelete | kReadOnly;

const input::InputState* state(Interpreter& vm) {
    return vm.host() ? vm.host()->inputState() : nullptr;
}

int codeArg(Interpreter& vm, std::span<const Value> args) {
    const double n = vm.toNumber(arg(args, 0));
    return n >= 0 && n < 256 ? static_cast<int>(n) : -1;
}

Value key_isDown(Interpreter& vm, Object*, std::span<const Value> args) {
    const input::InputState* s = state(vm);
    return s && s->keyDown(codeArg(vm, args));
}

// Caps Lock, Num Lock and Scroll Lock are the keys that toggle.
Value key_isToggled(Interpreter& vm, Object*, std::span<const Value> args) {
    const input::InputState* s = state(vm);
    if (!s)
        return false;
    switch (codeArg(vm, args)) {
    case input::key::kCapsLock:
        return s->capsLock;
    case input::key::kNumLock:
        return s->numLock;
    case input::key::kScrollLock:
        return s->scrollLock;
    default:
        return false;
    }
}

Value key_getCode(Interpreter& vm, Object*, std::span<const Value>) {
    const input::InputState* s = state(vm);
    return s ? double(s->lastKeyCode) : 0.0;
}

Value key_getAscii(Interpreter& vm, Object*, std::span<const Value>) {
    const input::InputState* s = state(vm);
    return s ? double(s->lastCharCode) : 0.0;
}

Value key_isAccessible(Interpreter&, Object*, std::span<const Value>) {
    return false;
}

} // namespace

void installKeyBuiltins(Interpreter& vm) {
    Object* key = vm.newObject();
    using namespace input::key;
    const std::pair<const char*, int> constants[] = {
        {"ALT", kAlt},     {"BACKSPACE", kBackspace}, {"CAPSLOCK", kCapsLock}, {"CONTROL", kControl},
        {"DELETEKEY", kDelete}, {"DOWN", kDown},       {"END", kEnd},           {"ENTER", kEnter},
        {"ESCAPE", kEscape}, {"HOME", kHome},          {"INSERT", kInsert},     {"LEFT", kLeft},
        {"PGDN", kPageDown}, {"PGUP", kPageUp},        {"RIGHT", kRight},       {"SHIFT", kShift},
        {"SPACE", kSpace},  {"TAB", kTab},             {"UP", kUp},
    };
    for (const auto& [name, code] : constants)
        vm.define(key, name, double(code), kConstant);
    makeBuiltinBroadcaster(vm, key);
    vm.defineMethod(key, "isDown", key_isDown, kConstant);
    vm.defineMethod(key, "isToggled", key_isToggled, kConstant);
    vm.defineMethod(key, "getCode", key_getCode, kConstant);
    vm.defineMethod(key, "getAscii", key_getAscii, kConstant);
    vm.defineMethod(key, "isAccessible", key_isAccessible, kConstant);
    vm.define(key, "constructor", vm.get(vm.global(), "Object"), kConstant);
    sealClass(key);
    vm.define(vm.global(), "Key", key, kDontEnum);
}

} // namespace swf::avm1
