// flash.geom.ColorTransform and the older Color class. ColorTransform keeps eight
// numbers natively; before SWF 8 its fields are not visible to scripts (they read
// undefined), as in Flash. Color works on a target clip's colour transform through
// the ClipHost.

#include "BuiltinSupport.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

const char* const kFieldNames[8] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                    "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

class ColorTransformObject : public Object {
public:
    explicit ColorTransformObject(Object* proto) : Object(Kind::Plain, proto) {}
    double values[8] = {1, 1, 1, 1, 0, 0, 0, 0};
};

ColorTransformObject* colorOf(Object* self) {
    return dynamic_cast<ColorTransformObject*>(self);
}

Object* allocateColorTransform(Interpreter& vm, Object* proto) {
    return makeNative<ColorTransformObject>(vm, proto);
}

Value colorTransformConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    ColorTransformObject* ct = colorOf(self);
    if (ct && !args.empty())
        for (int i = 0; i < 8; ++i)
            ct->values[i] = vm.toNumber(arg(args, static_cast<std::size_t>(i)));
    return Value();
}

template <int I> Value getField(Interpreter&, Object* self, std::span<const Value>) {
    const ColorTransformObject* ct = colorOf(self);
    return ct ? Value(ct->values[I]) : Value();
}

template <int I> Value setField(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (ColorTransformObject* ct = colorOf(self))
        ct->values[I] = vm.toNumber(arg(args, 0));
    return Value();
}

double clampedByte(double v) {
    return std::isfinite(v) ? static_cast<double>(static_cast<std::int64_t>(v) & 0xFF) : 0.0;
}

// rgb reads the offsets as one colour; writing it turns the multipliers to 0.
Value getRgb(Interpreter&, Object* self, std::span<const Value>) {
    const ColorTransformObject* ct = colorOf(self);
    if (!ct)
        return Value();
    return clampedByte(ct->values[4]) * 65536 + clampedByte(ct->values[5]) * 256 + clampedByte(ct->values[6]);
}

Value setRgb(Interpreter& vm, Object* self, std::span<const Value> args) {
    ColorTransformObject* ct = colorOf(self);
    if (!ct)
        return Value();
    const std::uint32_t rgb = toUint32(vm.toNumber(arg(args, 0)));
    for (int i = 0; i < 3; ++i)
        ct->values[i] = 0;
    ct->values[4] = (rgb >> 16) & 0xFF;
    ct->values[5] = (rgb >> 8) & 0xFF;
    ct->values[6] = rgb & 0xFF;
    return Value();
}

// Applies `second` after this one.
Value colorTransformConcat(Interpreter&, Object* self, std::span<const Value> args) {
    ColorTransformObject* ct = colorOf(self);
    const ColorTransformObject* second = colorOf(arg(args, 0).object());
    if (!ct || !second)
        return Value();
    for (int i = 0; i < 4; ++i) {
        ct->values[i + 4] += second->values[i + 4] * ct->values[i];
        ct->values[i] *= second->values[i];
    }
    return Value();
}

Value colorTransformToString(Interpreter& vm, Object* self, std::span<const Value>) {
    std::string out = "(";
    for (int i = 0; i < 8; ++i)
        out += std::string(i ? ", " : "") + kFieldNames[i] + "=" + concatText(vm, vm.get(self, kFieldNames[i]));
    return out + ")";
}

template <int... I> void defineFields(Interpreter& vm, Object* proto, std::integer_sequence<int, I...>) {
    (defineAccessor(vm, proto, kFieldNames[I], getField<I>, setField<I>, 0), ...);
}

// --- Color (SWF 5): works on the clip named when it was made.

ClipId colorTarget(Interpreter& vm, Object* self) {
    if (!vm.host() || !self)
        return kNoClip;
    Object* clip = vm.resolveTarget(vm.get(self, "target"), vm.currentTarget());
    if (!clip || clip->kind() != Object::Kind::Clip)
        return kNoClip;
    const ClipId id = static_cast<ClipObject*>(clip)->clip;
    return vm.host()->exists(id) ? id : kNoClip;
}

Value colorConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (self && vm.isConstructing(self))
        vm.define(self, "target", arg(args, 0), kDontEnum | kDontDelete | kReadOnly);
    return Value();
}

std::int16_t toInt16(double v) {
    return static_cast<std::int16_t>(std::isfinite(v) ? std::clamp(std::trunc(v), -32768.0, 32767.0) : 0.0);
}

Value colorSetRgb(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId clip = colorTarget(vm, self);
    if (!clip || args.empty())
        return Value();
    ClipColor c;
    vm.host()->colorTransform(clip, c);
    const std::uint32_t rgb = toUint32(vm.toNumber(args[0]));
    for (int i = 0; i < 3; ++i) {
        c.mul[i] = 0;
        c.add[i] = static_cast<std::int16_t>((rgb >> (16 - 8 * i)) & 0xFF);
    }
    vm.host()->setColorTransform(clip, c);
    return Value();
}

Value colorGetRgb(Interpreter& vm, Object* self, std::span<const Value>) {
    const ClipId clip = colorTarget(vm, self);
    ClipColor c;
    if (!clip || !vm.host()->colorTransform(clip, c))
        return Value();
    return static_cast<double>(((c.add[0] & 0xFF) << 16) | ((c.add[1] & 0xFF) << 8) | (c.add[2] & 0xFF));
}

// getTransform/setTransform speak percentages for the multipliers.
const char* const kPercentNames[4] = {"ra", "ga", "ba", "aa"};
const char* const kOffsetNames[4] = {"rb", "gb", "bb", "ab"};

Value colorGetTransform(Interpreter& vm, Object* self, std::span<const Value>) {
    const ClipId clip = colorTarget(vm, self);
    ClipColor c;
    if (!clip || !vm.host()->colorTransform(clip, c))
        return Value();
    Object* o = vm.newObject();
    for (int i = 0; i < 4; ++i) {
        vm.set(o, kPercentNames[i], c.mul[i] * 100.0 / 256.0);
        vm.set(o, kOffsetNames[i], static_cast<double>(c.add[i]));
    }
    return o;
}

Value colorSetTransform(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId clip = colorTarget(vm, self);
    Object* t = arg(args, 0).object();
    if (!clip || !t)
        return Value();
    ClipColor c;
    vm.host()->colorTransform(clip, c);
    for (int i = 0; i < 4; ++i) {
        if (vm.has(t, kPercentNames[i]))
            c.mul[i] = toInt16(vm.toNumber(vm.get(t, kPercentNames[i])) * 256.0 / 100.0);
        if (vm.has(t, kOffsetNames[i]))
            c.add[i] = toInt16(vm.toNumber(vm.get(t, kOffsetNames[i])));
    }
    vm.host()->setColorTransform(clip, c);
    return Value();
}

void installColorTransformClass(Interpreter& vm, Object* geom) {
    FunctionObject* ct = defineClass(vm, geom, "ColorTransform", colorTransformConstruct);
    ct->allocate = allocateColorTransform;
    Object* proto = vm.get(ct, "prototype").object();
    vm.defineMethod(proto, "concat", colorTransformConcat);
    vm.defineMethod(proto, "toString", colorTransformToString);
    if (vm.version() >= 8) {
        defineFields(vm, proto, std::make_integer_sequence<int, 8>{});
        defineAccessor(vm, proto, "rgb", getRgb, setRgb, 0);
    }
}

} // namespace

bool colorTransformValues(Object* object, double out[8]) {
    const ColorTransformObject* ct = colorOf(object);
    if (ct)
        std::copy(ct->values, ct->values + 8, out);
    return ct != nullptr;
}

// Color always; ColorTransform into `geom` unless it is null.
void installColorTransform(Interpreter& vm, Object* geom) {
    if (geom)
        installColorTransformClass(vm, geom);
    FunctionObject* color = defineClass(vm, vm.global(), "Color", colorConstruct);
    Object* cp = vm.get(color, "prototype").object();
    vm.defineMethod(cp, "setRGB", colorSetRgb);
    vm.defineMethod(cp, "getRGB", colorGetRgb);
    vm.defineMethod(cp, "setTransform", colorSetTransform);
    vm.defineMethod(cp, "getTransform", colorGetTransform);
}

} // namespace swf::avm1
