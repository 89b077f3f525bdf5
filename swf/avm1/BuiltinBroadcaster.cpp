// AsBroadcaster: the listener lists behind Key, Mouse, Stage and script objects.
// initialize() gives an object a `_listeners` array and the three methods (the very
// function objects AsBroadcaster holds), all hidden from for-in.

#include "BuiltinSupport.h"

namespace swf::avm1 {

namespace {

ArrayObject* listenersOf(Interpreter& vm, Object* self) {
    Object* list = vm.get(self, "_listeners").object();
    return list && list->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(list) : nullptr;
}

Value removeListener(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* list = listenersOf(vm, self);
    if (!list)
        return false;
    const Value listener = arg(args, 0);
    for (std::size_t i = 0; i < list->elements.size(); ++i) {
        if (vm.looseEquals(list->elements[i], listener)) {
            list->elements.erase(list->elements.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

// A listener is never listed twice: adding moves it to the end.
Value addListener(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* list = listenersOf(vm, self);
    if (!list)
        return false;
    removeListener(vm, self, args);
    if (vm.checkArraySize(list->elements.size() + 1))
        list->elements.push_back(arg(args, 0));
    return true;
}

// Calls listener[name](rest...) on a copy of the list, so listeners may add or remove
// themselves. Answers true when some listener could be asked, undefined otherwise.
Value broadcastMessage(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* list = listenersOf(vm, self);
    if (!list || args.empty())
        return Value();
    const std::string name = vm.toString(args[0]);
    const std::vector<Value> listeners = list->elements;
    bool reached = false;
    for (const Value& l : listeners) {
        if (l.isNullish())
            continue;
        reached = true;
        const Value fn = vm.get(l, name);
        if (vm.isCallable(fn))
            vm.call(fn, l, args.subspan(1));
        if (vm.failing())
            break;
    }
    return reached ? Value(true) : Value();
}

Value initialize(Interpreter& vm, Object*, std::span<const Value> args) {
    Object* target = arg(args, 0).object();
    if (!target)
        return Value();
    Object* broadcaster = vm.get(vm.global(), "AsBroadcaster").object();
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"})
        vm.define(target, name, vm.get(broadcaster, name), kDontEnum);
    vm.define(target, "_listeners", listenerArray(vm), kDontEnum);
    return Value();
}

Value construct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

} // namespace

void installBroadcasterBuiltins(Interpreter& vm) {
    if (vm.version() < 6)
        return; // Flash 6 brought it
    FunctionObject* b = defineClass(vm, vm.global(), "AsBroadcaster", construct);
    vm.defineMethod(b, "initialize", initialize);
    vm.defineMethod(b, "addListener", addListener);
    vm.defineMethod(b, "removeListener", removeListener);
    vm.defineMethod(b, "broadcastMessage", broadcastMessage);
}

} // namespace swf::avm1
