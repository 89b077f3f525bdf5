// The player's own event sources (Key, Mouse): broadcasters whose members scripts cannot
// replace or delete, told of input from outside any action block.

#include "BuiltinSupport.h"
#include "Interpreter.h"

namespace swf::avm1 {

namespace {

constexpr std::uint8_t kBuiltinMember = kDontEnum | kDontDelete | kReadOnly;

ArrayObject* listenersOf(Interpreter& vm, Object* self) {
    Object* l = self ? vm.get(self, "_listeners").object() : nullptr;
    return l && l->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(l) : nullptr;
}

// Each source has a broadcastMessage of its own rather than AsBroadcaster's.
Value broadcastFromSource(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty() || !listenersOf(vm, self))
        return Value();
    vm.broadcast(self, vm.toString(args[0]), args.subspan(1));
    return true;
}

} // namespace

void Interpreter::broadcast(Object* source, std::string_view message, std::span<const Value> args) {
    ArrayObject* list = listenersOf(*this, source);
    if (!list)
        return;
    const bool outer = !m_inBlock;
    if (outer)
        enterOuter();
    // A listener may add or remove listeners: the message goes to those there now.
    const std::vector<Value> listeners = list->elements;
    for (const Value& l : listeners) {
        if (failing())
            break;
        if (l.isNullish())
            continue;
        const Value fn = get(l, message);
        if (isCallable(fn))
            call(fn, l, args);
    }
    if (outer) {
        leaveOuter();
        maybeCollect();
    }
}

void makeBuiltinBroadcaster(Interpreter& vm, Object* o) {
    vm.define(o, "_listeners", listenerArray(vm), kBuiltinMember);
    if (Object* b = vm.get(vm.global(), "AsBroadcaster").object())
        for (const char* name : {"addListener", "removeListener"})
            vm.define(o, name, vm.get(b, name), kBuiltinMember);
    vm.define(o, "broadcastMessage", vm.newNative(broadcastFromSource), kBuiltinMember);
}

} // namespace swf::avm1
