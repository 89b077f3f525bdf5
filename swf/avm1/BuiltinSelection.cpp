// Selection: the keyboard focus and the focused text field's selection and caret.

#include "BuiltinButton.h"
#include "BuiltinTextField.h"
#include "Interpreter.h"

#include "swf/text/FieldState.h"

#include <cmath>

namespace swf::avm1 {

namespace {

constexpr std::uint8_t kMember = kDontEnum | kDontDelete | kReadOnly;

text::FieldState* focusedField(Interpreter& vm) {
    if (!vm.host())
        return nullptr;
    const FieldRef* ref = fieldRefOf(vm.host()->focusObject());
    return ref ? vm.host()->field(*ref) : nullptr;
}

// The focus as a target path ("_level0.name"), null when nothing has it.
Value getFocus(Interpreter& vm, Object*, std::span<const Value>) {
    Object* o = vm.host() ? vm.host()->focusObject() : nullptr;
    if (!o)
        return Value::null();
    if (o->kind() == Object::Kind::Clip)
        return Value(vm.clipPath(static_cast<ClipObject*>(o)->clip));
    if (const Value path = buttonPath(vm, o); path.isString())
        return path;
    return Value(vm.toString(Value(o)));
}

// The target is an object or a path naming one; null or undefined takes the focus away.
Value setFocus(Interpreter& vm, Object*, std::span<const Value> args) {
    if (!vm.host())
        return false;
    const Value target = arg(args, 0);
    Object* to = nullptr;
    if (target.isObject()) {
        to = target.object();
    } else if (target.isString()) {
        const std::string path = target.string();
        const std::size_t split = path.find_last_of(".:/");
        Object* holder = split == std::string::npos ? vm.clipObject(vm.currentTarget())
                                                    : vm.resolveTarget(Value(path.substr(0, split)), vm.currentTarget());
        to = holder ? vm.get(holder, split == std::string::npos ? path : path.substr(split + 1)).object() : nullptr;
        if (!to)
            to = vm.resolveTarget(target, vm.currentTarget());
        if (!to)
            return false;
    } else if (!target.isNullish()) {
        return false;
    }
    return vm.host()->setFocusObject(to);
}

// The selection's ends and the caret of the focused field; -1 when no field has the focus.
template <int Which> Value selectionIndex(Interpreter& vm, Object*, std::span<const Value>) {
    const text::FieldState* f = focusedField(vm);
    if (!f)
        return -1.0;
    const std::size_t n = f->length();
    const std::size_t v = Which == 0 ? f->selection.begin() : Which == 1 ? f->selection.end() : f->selection.caret;
    return double(std::min(v, n));
}

Value setSelection(Interpreter& vm, Object*, std::span<const Value> args) {
    text::FieldState* f = focusedField(vm);
    if (!f)
        return Value();
    const auto index = [&](std::size_t i) {
        const double n = vm.toNumber(arg(args, i));
        return std::isfinite(n) && n > 0 ? std::min(std::size_t(std::min(n, 1e9)), f->length()) : std::size_t(0);
    };
    f->selection.anchor = index(0);
    f->selection.caret = args.size() > 1 ? index(1) : f->selection.anchor;
    f->restartBlink();
    f->touch();
    return Value();
}

} // namespace

void installSelectionBuiltins(Interpreter& vm) {
    Object* selection = vm.newObject();
    if (vm.version() >= 6)
        makeBuiltinBroadcaster(vm, selection);
    vm.defineMethod(selection, "getFocus", getFocus, kMember);
    vm.defineMethod(selection, "setFocus", setFocus, kMember);
    vm.defineMethod(selection, "getBeginIndex", selectionIndex<0>, kMember);
    vm.defineMethod(selection, "getEndIndex", selectionIndex<1>, kMember);
    vm.defineMethod(selection, "getCaretIndex", selectionIndex<2>, kMember);
    vm.defineMethod(selection, "setSelection", setSelection, kMember);
    vm.define(vm.global(), "Selection", selection, kDontEnum);
}

} // namespace swf::avm1
