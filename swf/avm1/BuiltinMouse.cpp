// Mouse: showing and hiding the pointer, and the listeners told of mouse events.

#include "BuiltinSupport.h"
#include "Interpreter.h"

namespace swf::avm1 {

namespace {

constexpr std::uint8_t kMember = kDontEnum | kDontDelete | kReadOnly;

// Both answer 1 when the pointer was showing before the call, 0 when it was hidden.
Value setShown(Interpreter& vm, bool shown) {
    input::InputState* s = vm.host() ? vm.host()->inputState() : nullptr;
    if (!s)
        return 1.0;
    const bool wasShown = !s->mouseHidden;
    s->mouseHidden = !shown;
    if (s->cursor == input::Cursor::Hidden && shown)
        s->cursor = input::Cursor::Arrow;
    else if (!shown)
        s->cursor = input::Cursor::Hidden;
    return wasShown ? 1.0 : 0.0;
}

Value mouse_show(Interpreter& vm, Object*, std::span<const Value>) {
    return setShown(vm, true);
}

Value mouse_hide(Interpreter& vm, Object*, std::span<const Value>) {
    return setShown(vm, false);
}

} // namespace

void installMouseBuiltins(Interpreter& vm) {
    Object* mouse = vm.newObject();
    makeBuiltinBroadcaster(vm, mouse);
    vm.defineMethod(mouse, "show", mouse_show, kMember);
    vm.defineMethod(mouse, "hide", mouse_hide, kMember);
    registerNative(vm, 5, 0, mouse_show);
    registerNative(vm, 5, 1, mouse_hide);
    vm.define(vm.global(), "Mouse", mouse, kDontEnum);
}

} // namespace swf::avm1
