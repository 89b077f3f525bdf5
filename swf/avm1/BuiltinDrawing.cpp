// The MovieClip drawing API and setMask: converts the script's arguments the way Flash read them and
// hands each call to the host (ClipHost::draw), which keeps the drawing as shape records.

#include "BuiltinSupport.h"
#include "BuiltinTextField.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

ClipId drawTarget(Interpreter& vm, Object* self) {
    if (!vm.host() || !self || self->kind() != Object::Kind::Clip)
        return kNoClip;
    const ClipId c = static_cast<ClipObject*>(self)->clip;
    return vm.host()->exists(c) ? c : kNoClip;
}

void send(Interpreter& vm, Object* self, const DrawOp& op) {
    if (const ClipId c = drawTarget(vm, self))
        vm.host()->draw(c, op);
}

// RGB plus a 0..100 alpha (100 when left out).
std::uint32_t colorWithAlpha(Interpreter& vm, std::span<const Value> args, std::size_t rgbAt) {
    const std::uint32_t rgb = toUint32(vm.toNumber(arg(args, rgbAt))) & 0xFFFFFF;
    double alpha = args.size() > rgbAt + 1 && !args[rgbAt + 1].isUndefined() ? vm.toNumber(args[rgbAt + 1]) : 100;
    if (std::isnan(alpha))
        alpha = 0;
    const auto a = static_cast<std::uint32_t>(std::round(std::clamp(alpha, 0.0, 100.0) * 255 / 100));
    return (a << 24) | rgb;
}

int choose(const std::string& s, std::initializer_list<const char*> names, int fallback) {
    int i = 0;
    for (const char* n : names) {
        if (s == n)
            return i;
        ++i;
    }
    return fallback;
}

Value clipClear(Interpreter& vm, Object* self, std::span<const Value>) {
    send(vm, self, DrawOp{.kind = DrawOp::Kind::Clear});
    return Value();
}

// lineStyle(thickness, rgb, alpha, pixelHinting, noScale, capsStyle, jointStyle, miterLimit);
// no thickness turns lines off.
Value clipLineStyle(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty() || args[0].isUndefined()) {
        send(vm, self, DrawOp{.kind = DrawOp::Kind::NoLine});
        return Value();
    }
    DrawOp op{.kind = DrawOp::Kind::LineStyle};
    const double width = vm.toNumber(args[0]);
    op.width = std::isnan(width) ? 0 : std::clamp(width, 0.0, 255.0);
    op.color = colorWithAlpha(vm, args, 1);
    op.pixelHinting = vm.toBoolean(arg(args, 3));
    const int noScale = args.size() > 4 ? choose(vm.toString(args[4]), {"normal", "none", "vertical", "horizontal"}, 0) : 0;
    op.noHScale = noScale == 1 || noScale == 3;
    op.noVScale = noScale == 1 || noScale == 2;
    op.caps = args.size() > 5 ? choose(vm.toString(args[5]), {"round", "none", "square"}, 0) : 0;
    op.joints = args.size() > 6 ? choose(vm.toString(args[6]), {"round", "bevel", "miter"}, 0) : 0;
    op.miterLimit = args.size() > 7 ? vm.toNumber(args[7]) : 3;
    if (std::isnan(op.miterLimit))
        op.miterLimit = 3;
    send(vm, self, op);
    return Value();
}

Value clipBeginFill(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty() || args[0].isUndefined()) {
        send(vm, self, DrawOp{.kind = DrawOp::Kind::EndFill});
        return Value();
    }
    send(vm, self, DrawOp{.kind = DrawOp::Kind::Fill, .color = colorWithAlpha(vm, args, 0)});
    return Value();
}

// The gradient matrix in any of its three forms: {matrixType: "box", x, y, w, h, r},
// a flash.geom.Matrix-like {a, b, c, d, tx, ty}, or the 3x3 {a, b, d, e, g, h} whose
// scale counts pixels per gradient width and whose g, h is the centre. The second form came
// with Flash 8: SWF 7 and earlier read any object without matrixType as the 3x3, so a
// flash.geom.Matrix there has no e, g or h and gives no fill (also in SWF 6, where those
// would convert to 0).
bool gradientMatrix(Interpreter& vm, const Value& m, double out[6]) {
    Object* o = m.object();
    if (!o)
        return false;
    auto n = [&](const char* name) { return vm.toNumber(vm.get(o, name)); };
    if (vm.toString(vm.get(o, "matrixType")) == "box") {
        const double w = n("w"), h = n("h"), r = n("r");
        const double c = std::cos(r), s = std::sin(r);
        const double sx = w / 1638.4, sy = h / 1638.4;
        const double values[6] = {c * sx, s * sy, -s * sx, c * sy, n("x") + w / 2, n("y") + h / 2};
        std::copy(values, values + 6, out);
    } else if (vm.version() >= 8 && vm.has(o, "tx")) {
        const double values[6] = {n("a"), n("b"), n("c"), n("d"), n("tx"), n("ty")};
        std::copy(values, values + 6, out);
    } else {
        for (const char* name : {"a", "b", "d", "e", "g", "h"})
            if (!vm.has(o, name))
                return false;
        const double values[6] = {n("a") / 1638.4, n("b") / 1638.4, n("d") / 1638.4, n("e") / 1638.4, n("g"), n("h")};
        std::copy(values, values + 6, out);
    }
    return std::all_of(out, out + 6, [](double v) { return std::isfinite(v); });
}

const std::vector<Value>* arrayItems(const Value& v) {
    Object* o = v.object();
    return o && o->kind() == Object::Kind::Array ? &static_cast<ArrayObject*>(o)->elements : nullptr;
}

// (type, colors, alphas, ratios, matrix, spread, interpolation, focalPoint) as beginGradientFill
// and lineGradientStyle take them; false for arrays of different lengths, an unknown type or
// a bad matrix.
bool readGradient(Interpreter& vm, std::span<const Value> args, DrawGradient& g) {
    const int type = choose(vm.toString(arg(args, 0)), {"linear", "radial"}, -1);
    const std::vector<Value>* colors = arrayItems(arg(args, 1));
    const std::vector<Value>* alphas = arrayItems(arg(args, 2));
    const std::vector<Value>* ratios = arrayItems(arg(args, 3));
    if (type < 0 || !colors || !alphas || !ratios || colors->empty() || colors->size() != alphas->size() ||
        colors->size() != ratios->size() || !gradientMatrix(vm, arg(args, 4), g.matrix))
        return false;
    g.radial = type == 1;
    for (std::size_t i = 0; i < colors->size() && i < 15; ++i) {
        const Value pair[] = {(*colors)[i], (*alphas)[i]};
        const double ratio = vm.toNumber((*ratios)[i]);
        g.stops.emplace_back(static_cast<std::uint8_t>(std::isnan(ratio) ? 0 : std::clamp(ratio, 0.0, 255.0)),
                             colorWithAlpha(vm, pair, 0));
    }
    g.spread = args.size() > 5 ? choose(vm.toString(args[5]), {"pad", "reflect", "repeat"}, 0) : 0;
    g.linearRgb = args.size() > 6 && vm.toString(args[6]) == "linearRGB";
    const double focal = args.size() > 7 ? vm.toNumber(args[7]) : 0;
    g.focalPoint = std::isfinite(focal) ? focal : 0;
    return true;
}

// A bad gradient gives no fill.
Value clipBeginGradientFill(Interpreter& vm, Object* self, std::span<const Value> args) {
    DrawGradient g;
    if (readGradient(vm, args, g))
        send(vm, self, DrawOp{.kind = DrawOp::Kind::Fill, .gradient = std::move(g)});
    else
        send(vm, self, DrawOp{.kind = DrawOp::Kind::EndFill});
    return Value();
}

// A bad gradient leaves the line as it was.
Value clipLineGradientStyle(Interpreter& vm, Object* self, std::span<const Value> args) {
    DrawGradient g;
    if (readGradient(vm, args, g))
        send(vm, self, DrawOp{.kind = DrawOp::Kind::LineGradient, .gradient = std::move(g)});
    return Value();
}

Value clipEndFill(Interpreter& vm, Object* self, std::span<const Value>) {
    send(vm, self, DrawOp{.kind = DrawOp::Kind::EndFill});
    return Value();
}

Value clipMoveTo(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.size() >= 2)
        send(vm, self, DrawOp{.kind = DrawOp::Kind::MoveTo, .x = vm.toNumber(args[0]), .y = vm.toNumber(args[1])});
    return Value();
}

Value clipLineTo(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.size() >= 2)
        send(vm, self, DrawOp{.kind = DrawOp::Kind::LineTo, .x = vm.toNumber(args[0]), .y = vm.toNumber(args[1])});
    return Value();
}

Value clipCurveTo(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.size() >= 4)
        send(vm, self,
             DrawOp{.kind = DrawOp::Kind::CurveTo,
                    .x = vm.toNumber(args[2]),
                    .y = vm.toNumber(args[3]),
                    .cx = vm.toNumber(args[0]),
                    .cy = vm.toNumber(args[1])});
    return Value();
}

// setMask(clip or target path); null or undefined removes the mask.
Value clipSetMask(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId c = drawTarget(vm, self);
    if (!c)
        return false;
    const Value target = arg(args, 0);
    Object* mask = target.isNullish() ? nullptr : vm.resolveTarget(target, vm.currentTarget());
    if (const FieldRef* field = mask ? fieldRefOf(mask) : nullptr)
        vm.host()->setFieldMask(c, *field);
    else
        vm.host()->setMask(c, mask && mask->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(mask)->clip
                                                                         : kNoClip);
    return true;
}

} // namespace

// Flash 6 brought the drawing API and script masks.
void installDrawingBuiltins(Interpreter& vm) {
    Object* proto = vm.clipProto;
    if (!proto || vm.version() < 6)
        return;
    vm.defineMethod(proto, "setMask", clipSetMask);
    vm.defineMethod(proto, "clear", clipClear);
    vm.defineMethod(proto, "lineStyle", clipLineStyle);
    vm.defineMethod(proto, "beginFill", clipBeginFill);
    vm.defineMethod(proto, "beginGradientFill", clipBeginGradientFill);
    vm.defineMethod(proto, "endFill", clipEndFill);
    vm.defineMethod(proto, "moveTo", clipMoveTo);
    vm.defineMethod(proto, "lineTo", clipLineTo);
    vm.defineMethod(proto, "curveTo", clipCurveTo);
    if (vm.version() >= 8)
        vm.defineMethod(proto, "lineGradientStyle", clipLineGradientStyle);
}

} // namespace swf::avm1
