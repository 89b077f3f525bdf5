// Button script objects. Flash listed only the newer display properties, enabled,
// useHandCursor and getDepth on Button.prototype; the `_x` family, `_name` and the flags
// the input code reads are hidden accessors on each button's own object.

#include "BuiltinButton.h"

#include "BuiltinSupport.h"

#include <limits>

namespace swf::avm1 {
namespace {

class ButtonAsObject : public Object {
public:
    ButtonAsObject(Object* proto, FieldRef ref) : Object(Kind::Plain, proto), ref(ref) {}
    FieldRef ref;
    // tabIndex as a script set it (a number, or undefined for none).
    double tabIndex = std::numeric_limits<double>::quiet_NaN();
    bool hasTabIndex = false;
};

// The button behind a script object, while it lives.
const FieldRef* liveButton(Interpreter& vm, Object* self) {
    auto* b = dynamic_cast<ButtonAsObject*>(self);
    return b && vm.host() && vm.host()->placedLives(b->ref) ? &b->ref : nullptr;
}

struct Placement {
    const char* name;
    ClipProperty property;
};
constexpr Placement kPlacements[] = {
    {"_x", ClipProperty::X},           {"_y", ClipProperty::Y},
    {"_xscale", ClipProperty::XScale}, {"_yscale", ClipProperty::YScale},
    {"_rotation", ClipProperty::Rotation}, {"_alpha", ClipProperty::Alpha},
    {"_visible", ClipProperty::Visible}, {"_width", ClipProperty::Width},
    {"_height", ClipProperty::Height},
};

template <std::size_t I> Value readPlacement(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveButton(vm, self);
    if (!ref)
        return Value();
    const double v = vm.host()->placedProperty(*ref, kPlacements[I].property);
    return kPlacements[I].property == ClipProperty::Visible ? Value(v != 0) : Value(v);
}

template <std::size_t I> Value writePlacement(Interpreter& vm, Object* self, std::span<const Value> args) {
    const FieldRef* ref = liveButton(vm, self);
    const ClipProperty p = kPlacements[I].property;
    if (ref && p == ClipProperty::Visible)
        vm.host()->setPlacedProperty(*ref, p, vm.toBoolean(arg(args, 0)) ? 1 : 0);
    else if (ref)
        vm.host()->setPlacedProperty(*ref, p, vm.toNumber(arg(args, 0)));
    return Value();
}

using Flag = ClipHost::ButtonFlag;
constexpr struct {
    const char* name;
    Flag flag;
} kFlags[] = {{"enabled", Flag::Enabled}, {"useHandCursor", Flag::HandCursor}, {"trackAsMenu", Flag::TrackAsMenu}};

template <std::size_t I> Value readFlag(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveButton(vm, self);
    const auto v = ref ? vm.host()->buttonFlag(*ref, kFlags[I].flag) : std::nullopt;
    return v ? Value(*v) : Value();
}

template <std::size_t I> Value writeFlag(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const FieldRef* ref = liveButton(vm, self))
        vm.host()->setButtonFlag(*ref, kFlags[I].flag, vm.toBoolean(arg(args, 0)));
    return Value();
}

Value readName(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveButton(vm, self);
    std::string name;
    int depth = 0;
    return ref && vm.host()->placedName(*ref, name, depth) ? Value(name) : Value();
}

Value writeName(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const FieldRef* ref = liveButton(vm, self))
        vm.host()->renamePlaced(*ref, vm.toString(arg(args, 0)));
    return Value();
}

Value readParent(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveButton(vm, self);
    Object* parent = ref ? vm.clipObject(ref->parent) : nullptr;
    return parent ? Value(parent) : Value();
}

Value readTarget(Interpreter& vm, Object* self, std::span<const Value> none) {
    const Value name = readName(vm, self, none);
    if (!name.isString())
        return Value();
    const std::string parent = vm.clipSlashPath(liveButton(vm, self)->parent);
    return Value((parent == "/" ? parent : parent + "/") + name.string());
}

// Button.prototype.tabIndex is an accessor in Flash 8: each button keeps its own number.
Value readTabIndex(Interpreter&, Object* self, std::span<const Value>) {
    auto* b = dynamic_cast<ButtonAsObject*>(self);
    return b && b->hasTabIndex ? Value(b->tabIndex) : Value();
}

Value writeTabIndex(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (auto* b = dynamic_cast<ButtonAsObject*>(self)) {
        b->hasTabIndex = !arg(args, 0).isUndefined();
        b->tabIndex = b->hasTabIndex ? vm.toNumber(arg(args, 0)) : 0;
    }
    return Value();
}

Value getDepth(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveButton(vm, self);
    std::string name;
    int depth = 0;
    return ref && vm.host()->placedName(*ref, name, depth) ? Value(double(depth)) : Value();
}

// `new Button()` makes a plain object: buttons come only from the display list.
Value construct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

Value nothing(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

template <std::size_t... I> void definePlacements(Interpreter& vm, Object* o, std::index_sequence<I...>) {
    (defineAccessor(vm, o, kPlacements[I].name, readPlacement<I>, writePlacement<I>), ...);
}

template <std::size_t... I> void defineFlags(Interpreter& vm, Object* o, std::index_sequence<I...>) {
    (defineAccessor(vm, o, kFlags[I].name, readFlag<I>, writeFlag<I>), ...);
}

} // namespace

Object* buttonObject(Interpreter& vm, const FieldRef& ref) {
    if (Object* kept = vm.fieldObject(ref.serial))
        return kept;
    const Value ctor = vm.get(vm.global(), "Button");
    Object* proto = ctor.isObject() ? vm.get(ctor, "prototype").object() : nullptr;
    Object* o = makeNative<ButtonAsObject>(vm, proto ? proto : vm.objectProto, ref);
    definePlacements(vm, o, std::make_index_sequence<std::size(kPlacements)>());
    defineFlags(vm, o, std::make_index_sequence<std::size(kFlags)>());
    defineAccessor(vm, o, "_name", readName, writeName);
    defineAccessor(vm, o, "_parent", readParent, nullptr);
    defineAccessor(vm, o, "_target", readTarget, nullptr);
    vm.keepFieldObject(ref, o);
    return o;
}

const FieldRef* buttonRefOf(Object* o) {
    auto* b = dynamic_cast<ButtonAsObject*>(o);
    return b ? &b->ref : nullptr;
}

Value buttonPath(Interpreter& vm, Object* o) {
    const FieldRef* ref = liveButton(vm, o);
    std::string name;
    int depth = 0;
    if (!ref || !vm.host()->placedName(*ref, name, depth))
        return Value();
    return Value(vm.clipPath(ref->parent) + "." + name);
}

void installButtonBuiltins(Interpreter& vm) {
    FunctionObject* ctor = defineClass(vm, vm.global(), "Button", construct);
    Object* proto = vm.get(Value(static_cast<Object*>(ctor)), "prototype").object();
    // Flash 8's display properties; a button's own values are not read back yet.
    for (const char* name : {"blendMode", "cacheAsBitmap", "filters", "scale9Grid"})
        defineAccessor(vm, proto, name, nothing, nothing, 0);
    defineAccessor(vm, proto, "tabIndex", readTabIndex, writeTabIndex, 0);
    vm.define(proto, "enabled", true);
    vm.define(proto, "useHandCursor", true);
    vm.defineMethod(proto, "getDepth", getDepth, 0);
}

} // namespace swf::avm1
