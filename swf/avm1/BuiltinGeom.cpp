// flash.geom.Point, Rectangle and Matrix. Flash wrote these classes in ActionScript:
// fields are plain properties kept as given (a string stays a string until arithmetic
// needs a number), `+` concatenates like the script operator, and methods that make
// new objects construct whatever _global.flash.geom.<Class> is at that moment.

#include "BuiltinSupport.h"

#include <cmath>

namespace swf::avm1 {

namespace {

Value field(Interpreter& vm, Object* self, std::string_view name) {
    return vm.get(self, name);
}

double num(Interpreter& vm, const Value& v) {
    return vm.toNumber(v);
}

// "(x=1, y=2)" style text: each field as the script's `+` would write it.
Value fieldsText(Interpreter& vm, Object* self, std::initializer_list<std::pair<const char*, const char*>> fields) {
    std::string out = "(";
    bool first = true;
    for (const auto& [label, name] : fields) {
        out += (first ? "" : ", ") + std::string(label) + "=" + concatText(vm, field(vm, self, name));
        first = false;
    }
    return out + ")";
}

// Constructors take their arguments as they are, or the class's default when called
// without any.
void assignFields(Interpreter& vm, Object* self, std::span<const Value> args,
                  std::initializer_list<const char*> names, std::initializer_list<double> defaults) {
    std::size_t i = 0;
    auto d = defaults.begin();
    for (const char* name : names) {
        vm.set(self, name, args.empty() ? Value(*d) : arg(args, i));
        ++i;
        ++d;
    }
}

bool isInstance(Interpreter& vm, const Value& v, std::string_view cls) {
    Object* o = v.object();
    const Value ctor = vm.get(vm.get(vm.get(vm.global(), "flash"), "geom"), cls);
    return o && ctor.object() && vm.instanceOf(o, ctor.object());
}

Value makePoint(Interpreter& vm, Value x, Value y) {
    const Value args[] = {std::move(x), std::move(y)};
    return newGeom(vm, "Point", args);
}

// --- Point

Value pointConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (self)
        assignFields(vm, self, args, {"x", "y"}, {0, 0});
    return Value();
}

Value pointLength(Interpreter& vm, Object* self, std::span<const Value>) {
    const double x = num(vm, field(vm, self, "x"));
    const double y = num(vm, field(vm, self, "y"));
    return std::sqrt(x * x + y * y);
}

Value pointAdd(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value other = arg(args, 0);
    return makePoint(vm, scriptAdd(vm, field(vm, self, "x"), vm.get(other, "x")),
                     scriptAdd(vm, field(vm, self, "y"), vm.get(other, "y")));
}

Value pointSubtract(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value other = arg(args, 0);
    return makePoint(vm, num(vm, field(vm, self, "x")) - num(vm, vm.get(other, "x")),
                     num(vm, field(vm, self, "y")) - num(vm, vm.get(other, "y")));
}

Value pointClone(Interpreter& vm, Object* self, std::span<const Value>) {
    return makePoint(vm, field(vm, self, "x"), field(vm, self, "y"));
}

Value pointEquals(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value other = arg(args, 0);
    if (!isInstance(vm, other, "Point"))
        return false;
    if (other.object() == self)
        return true; // even with NaN fields
    return vm.looseEquals(vm.get(other, "x"), field(vm, self, "x")) &&
           vm.looseEquals(vm.get(other, "y"), field(vm, self, "y"));
}

Value pointNormalize(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double length = num(vm, vm.get(self, "length"));
    if (length > 0) {
        const double f = num(vm, arg(args, 0)) / length;
        vm.set(self, "x", num(vm, field(vm, self, "x")) * f);
        vm.set(self, "y", num(vm, field(vm, self, "y")) * f);
    }
    return Value();
}

Value pointOffset(Interpreter& vm, Object* self, std::span<const Value> args) {
    vm.set(self, "x", scriptAdd(vm, field(vm, self, "x"), arg(args, 0)));
    vm.set(self, "y", scriptAdd(vm, field(vm, self, "y"), arg(args, 1)));
    return Value();
}

Value pointToString(Interpreter& vm, Object* self, std::span<const Value>) {
    return fieldsText(vm, self, {{"x", "x"}, {"y", "y"}});
}

Value pointDistance(Interpreter& vm, Object*, std::span<const Value> args) {
    const Value a = arg(args, 0);
    if (!a.isObject())
        return Value();
    const Value args1[] = {arg(args, 1)};
    return vm.get(vm.callMethod(a, "subtract", args1), "length");
}

Value pointInterpolate(Interpreter& vm, Object*, std::span<const Value> args) {
    const Value a = arg(args, 0);
    const Value b = arg(args, 1);
    const double f = num(vm, arg(args, 2));
    const double bx = num(vm, vm.get(b, "x"));
    const double by = num(vm, vm.get(b, "y"));
    return makePoint(vm, bx + f * (num(vm, vm.get(a, "x")) - bx), by + f * (num(vm, vm.get(a, "y")) - by));
}

Value pointPolar(Interpreter& vm, Object*, std::span<const Value> args) {
    const double length = num(vm, arg(args, 0));
    const double angle = num(vm, arg(args, 1));
    return makePoint(vm, length * std::cos(angle), length * std::sin(angle));
}

// --- Rectangle


// Without arguments the constructor calls this.setEmpty(), so a script's replacement runs.
Value rectConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self)
        return Value();
    if (args.empty())
        vm.callMethod(self, "setEmpty", {});
    else
        assignFields(vm, self, args, {"x", "y", "width", "height"}, {0, 0, 0, 0});
    return Value();
}

Value rectLeft(Interpreter& vm, Object* self, std::span<const Value>) {
    return field(vm, self, "x");
}
Value rectTop(Interpreter& vm, Object* self, std::span<const Value>) {
    return field(vm, self, "y");
}
Value rectRight(Interpreter& vm, Object* self, std::span<const Value>) {
    return scriptAdd(vm, field(vm, self, "x"), field(vm, self, "width"));
}
Value rectBottom(Interpreter& vm, Object* self, std::span<const Value>) {
    return scriptAdd(vm, field(vm, self, "y"), field(vm, self, "height"));
}
// Moving an edge keeps the opposite one where it was.
Value setRectLeft(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double v = num(vm, arg(args, 0));
    vm.set(self, "width", numberField(vm, self, "width") + numberField(vm, self, "x") - v);
    vm.set(self, "x", v);
    return Value();
}
Value setRectTop(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double v = num(vm, arg(args, 0));
    vm.set(self, "height", numberField(vm, self, "height") + numberField(vm, self, "y") - v);
    vm.set(self, "y", v);
    return Value();
}
Value setRectRight(Interpreter& vm, Object* self, std::span<const Value> args) {
    vm.set(self, "width", num(vm, arg(args, 0)) - numberField(vm, self, "x"));
    return Value();
}
Value setRectBottom(Interpreter& vm, Object* self, std::span<const Value> args) {
    vm.set(self, "height", num(vm, arg(args, 0)) - numberField(vm, self, "y"));
    return Value();
}
Value rectTopLeft(Interpreter& vm, Object* self, std::span<const Value>) {
    return makePoint(vm, field(vm, self, "x"), field(vm, self, "y"));
}
Value setRectTopLeft(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value p = arg(args, 0);
    const Value v[] = {vm.get(p, "x")};
    const Value w[] = {vm.get(p, "y")};
    setRectLeft(vm, self, v);
    setRectTop(vm, self, w);
    return Value();
}
Value rectBottomRight(Interpreter& vm, Object* self, std::span<const Value>) {
    return makePoint(vm, rectRight(vm, self, {}), rectBottom(vm, self, {}));
}
Value setRectBottomRight(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value p = arg(args, 0);
    const Value v[] = {vm.get(p, "x")};
    const Value w[] = {vm.get(p, "y")};
    setRectRight(vm, self, v);
    setRectBottom(vm, self, w);
    return Value();
}
Value rectSize(Interpreter& vm, Object* self, std::span<const Value>) {
    return makePoint(vm, field(vm, self, "width"), field(vm, self, "height"));
}
Value setRectSize(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value p = arg(args, 0);
    vm.set(self, "width", vm.get(p, "x"));
    vm.set(self, "height", vm.get(p, "y"));
    return Value();
}

struct Box {
    double x, y, w, h;
};
Box boxOf(Interpreter& vm, const Value& r) {
    Object* o = r.object();
    return {num(vm, vm.get(o, "x")), num(vm, vm.get(o, "y")), num(vm, vm.get(o, "width")),
            num(vm, vm.get(o, "height"))};
}
Value makeRect(Interpreter& vm, const Box& b) {
    const Value args[] = {b.x, b.y, b.w, b.h};
    return newGeom(vm, "Rectangle", args);
}
bool boxEmpty(const Box& b) {
    return !(b.w > 0) || !(b.h > 0);
}

Value rectClone(Interpreter& vm, Object* self, std::span<const Value>) {
    const Value args[] = {field(vm, self, "x"), field(vm, self, "y"), field(vm, self, "width"),
                          field(vm, self, "height")};
    return newGeom(vm, "Rectangle", args);
}
Value rectIsEmpty(Interpreter& vm, Object* self, std::span<const Value>) {
    return boxEmpty(boxOf(vm, self));
}
Value rectSetEmpty(Interpreter& vm, Object* self, std::span<const Value>) {
    for (const char* name : {"x", "y", "width", "height"})
        vm.set(self, name, 0);
    return Value();
}
bool boxContains(const Box& b, double x, double y) {
    return x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h;
}
Value rectContains(Interpreter& vm, Object* self, std::span<const Value> args) {
    return boxContains(boxOf(vm, self), num(vm, arg(args, 0)), num(vm, arg(args, 1)));
}
Value rectContainsPoint(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value p = arg(args, 0);
    return boxContains(boxOf(vm, self), num(vm, vm.get(p, "x")), num(vm, vm.get(p, "y")));
}
Value rectContainsRectangle(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Box a = boxOf(vm, self);
    const Box b = boxOf(vm, arg(args, 0));
    return b.x >= a.x && b.y >= a.y && b.x + b.w <= a.x + a.w && b.y + b.h <= a.y + a.h;
}
Value rectEquals(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value other = arg(args, 0);
    if (!isInstance(vm, other, "Rectangle"))
        return false;
    for (const char* name : {"x", "y", "width", "height"})
        if (!vm.looseEquals(vm.get(other, name), field(vm, self, name)))
            return false;
    return true;
}
Value rectInflate(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double dx = num(vm, arg(args, 0));
    const double dy = num(vm, arg(args, 1));
    const Box b = boxOf(vm, self);
    vm.set(self, "x", b.x - dx);
    vm.set(self, "width", b.w + 2 * dx);
    vm.set(self, "y", b.y - dy);
    vm.set(self, "height", b.h + 2 * dy);
    return Value();
}
Value rectInflatePoint(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value p = arg(args, 0);
    const Value d[] = {vm.get(p, "x"), vm.get(p, "y")};
    return rectInflate(vm, self, d);
}
Value rectOffset(Interpreter& vm, Object* self, std::span<const Value> args) {
    vm.set(self, "x", numberField(vm, self, "x") + num(vm, arg(args, 0)));
    vm.set(self, "y", numberField(vm, self, "y") + num(vm, arg(args, 1)));
    return Value();
}
Value rectOffsetPoint(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value p = arg(args, 0);
    const Value d[] = {vm.get(p, "x"), vm.get(p, "y")};
    return rectOffset(vm, self, d);
}
bool boxIntersection(const Box& a, const Box& b, Box& out) {
    const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (!(x1 > x0) || !(y1 > y0))
        return false;
    out = {x0, y0, x1 - x0, y1 - y0};
    return true;
}
Value rectIntersects(Interpreter& vm, Object* self, std::span<const Value> args) {
    Box out{};
    return boxIntersection(boxOf(vm, self), boxOf(vm, arg(args, 0)), out);
}
Value rectIntersection(Interpreter& vm, Object* self, std::span<const Value> args) {
    Box out{0, 0, 0, 0};
    boxIntersection(boxOf(vm, self), boxOf(vm, arg(args, 0)), out);
    return makeRect(vm, out);
}
Value rectUnion(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Box a = boxOf(vm, self);
    const Box b = boxOf(vm, arg(args, 0));
    if (boxEmpty(a))
        return makeRect(vm, b);
    if (boxEmpty(b))
        return makeRect(vm, a);
    const double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const double x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return makeRect(vm, {x0, y0, x1 - x0, y1 - y0});
}
Value rectToString(Interpreter& vm, Object* self, std::span<const Value>) {
    return fieldsText(vm, self, {{"x", "x"}, {"y", "y"}, {"w", "width"}, {"h", "height"}});
}

// --- Matrix

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};
Affine affineOf(Interpreter& vm, const Value& m) {
    Object* o = m.object();
    return {num(vm, vm.get(o, "a")), num(vm, vm.get(o, "b")),  num(vm, vm.get(o, "c")),
            num(vm, vm.get(o, "d")), num(vm, vm.get(o, "tx")), num(vm, vm.get(o, "ty"))};
}
void storeAffine(Interpreter& vm, Object* self, const Affine& m) {
    vm.set(self, "a", m.a);
    vm.set(self, "b", m.b);
    vm.set(self, "c", m.c);
    vm.set(self, "d", m.d);
    vm.set(self, "tx", m.tx);
    vm.set(self, "ty", m.ty);
}
// `first` then `second`.
Affine multiply(const Affine& m, const Affine& n) {
    return {m.a * n.a + m.b * n.c,        m.a * n.b + m.b * n.d,        m.c * n.a + m.d * n.c,
            m.c * n.b + m.d * n.d,        m.tx * n.a + m.ty * n.c + n.tx, m.tx * n.b + m.ty * n.d + n.ty};
}

Value matrixConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (self)
        assignFields(vm, self, args, {"a", "b", "c", "d", "tx", "ty"}, {1, 0, 0, 1, 0, 0});
    return Value();
}
Value matrixToString(Interpreter& vm, Object* self, std::span<const Value>) {
    return fieldsText(vm, self, {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"tx", "tx"}, {"ty", "ty"}});
}
Value matrixClone(Interpreter& vm, Object* self, std::span<const Value>) {
    const Value args[] = {field(vm, self, "a"), field(vm, self, "b"),  field(vm, self, "c"),
                          field(vm, self, "d"), field(vm, self, "tx"), field(vm, self, "ty")};
    return newGeom(vm, "Matrix", args);
}
Value matrixIdentity(Interpreter& vm, Object* self, std::span<const Value>) {
    storeAffine(vm, self, Affine{});
    return Value();
}
Value matrixConcat(Interpreter& vm, Object* self, std::span<const Value> args) {
    storeAffine(vm, self, multiply(affineOf(vm, self), affineOf(vm, arg(args, 0))));
    return Value();
}
Value matrixInvert(Interpreter& vm, Object* self, std::span<const Value>) {
    const Affine m = affineOf(vm, self);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0) { // Flash leaves a singular matrix as the identity
        storeAffine(vm, self, Affine{});
        return Value();
    }
    Affine r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    storeAffine(vm, self, r);
    return Value();
}
Value matrixRotate(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double angle = num(vm, arg(args, 0));
    const double c = std::cos(angle), s = std::sin(angle);
    storeAffine(vm, self, multiply(affineOf(vm, self), Affine{c, s, -s, c, 0, 0}));
    return Value();
}
Value matrixScale(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double sx = num(vm, arg(args, 0));
    const double sy = num(vm, arg(args, 1));
    storeAffine(vm, self, multiply(affineOf(vm, self), Affine{sx, 0, 0, sy, 0, 0}));
    return Value();
}
Value matrixTranslate(Interpreter& vm, Object* self, std::span<const Value> args) {
    vm.set(self, "tx", numberField(vm, self, "tx") + num(vm, arg(args, 0)));
    vm.set(self, "ty", numberField(vm, self, "ty") + num(vm, arg(args, 1)));
    return Value();
}
// Scale, then rotation, then translation; missing rotation and offsets count as 0.
Affine box(double sx, double sy, double rotation, double tx, double ty) {
    const double c = std::cos(rotation), s = std::sin(rotation);
    return {c * sx, s * sy, -s * sx, c * sy, tx, ty};
}
double optional(Interpreter& vm, std::span<const Value> args, std::size_t i) {
    return i < args.size() ? num(vm, args[i]) : 0.0;
}
Value matrixCreateBox(Interpreter& vm, Object* self, std::span<const Value> args) {
    storeAffine(vm, self,
                box(num(vm, arg(args, 0)), num(vm, arg(args, 1)), optional(vm, args, 2), optional(vm, args, 3),
                    optional(vm, args, 4)));
    return Value();
}
// Gradient squares are 1638.4 pixels wide (32768 twips), centred on the origin.
Value matrixCreateGradientBox(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double w = num(vm, arg(args, 0));
    const double h = num(vm, arg(args, 1));
    storeAffine(vm, self,
                box(w / 1638.4, h / 1638.4, optional(vm, args, 2), optional(vm, args, 3) + w / 2,
                    optional(vm, args, 4) + h / 2));
    return Value();
}
Value transformWith(Interpreter& vm, Object* self, std::span<const Value> args, bool translate) {
    const Affine m = affineOf(vm, self);
    const Value p = arg(args, 0);
    const double x = num(vm, vm.get(p, "x"));
    const double y = num(vm, vm.get(p, "y"));
    return makePoint(vm, m.a * x + m.c * y + (translate ? m.tx : 0), m.b * x + m.d * y + (translate ? m.ty : 0));
}
Value matrixTransformPoint(Interpreter& vm, Object* self, std::span<const Value> args) {
    return transformWith(vm, self, args, true);
}
Value matrixDeltaTransformPoint(Interpreter& vm, Object* self, std::span<const Value> args) {
    return transformWith(vm, self, args, false);
}

struct Method {
    const char* name;
    NativeFn fn;
};
// flash.geom was written in ActionScript inside the player: its methods are plain
// properties, and functions with a prototype of their own (measured).
void defineMethods(Interpreter& vm, Object* o, std::initializer_list<Method> methods) {
    for (const Method& m : methods)
        vm.define(o, m.name, vm.newNative(m.fn, vm.newObject()));
}

} // namespace

void installColorTransform(Interpreter& vm, Object* geom);

// SWF 5 movies never reach the flash package (they have no _global to unhide it through).
void installGeomBuiltins(Interpreter& vm) {
    if (vm.version() < 6) {
        installColorTransform(vm, nullptr);
        return;
    }
    Object* geom = package(vm, package(vm, vm.global(), "flash"), "geom");

    FunctionObject* point = defineClass(vm, geom, "Point", pointConstruct);
    Object* pp = vm.get(point, "prototype").object();
    defineMethods(vm, pp,
                  {{"add", pointAdd},
                   {"subtract", pointSubtract},
                   {"clone", pointClone},
                   {"equals", pointEquals},
                   {"normalize", pointNormalize},
                   {"offset", pointOffset},
                   {"toString", pointToString}});
    defineAccessor(vm, pp, "length", pointLength, nullptr, 0); // enumerable, as Flash listed it
    defineMethods(vm, point, {{"distance", pointDistance}, {"interpolate", pointInterpolate}, {"polar", pointPolar}});

    FunctionObject* rect = defineClass(vm, geom, "Rectangle", rectConstruct);
    Object* rp = vm.get(rect, "prototype").object();
    defineMethods(vm, rp,
                  {{"clone", rectClone},
                   {"contains", rectContains},
                   {"containsPoint", rectContainsPoint},
                   {"containsRectangle", rectContainsRectangle},
                   {"equals", rectEquals},
                   {"inflate", rectInflate},
                   {"inflatePoint", rectInflatePoint},
                   {"intersection", rectIntersection},
                   {"intersects", rectIntersects},
                   {"isEmpty", rectIsEmpty},
                   {"offset", rectOffset},
                   {"offsetPoint", rectOffsetPoint},
                   {"setEmpty", rectSetEmpty},
                   {"union", rectUnion},
                   {"toString", rectToString}});
    defineAccessor(vm, rp, "left", rectLeft, setRectLeft);
    defineAccessor(vm, rp, "top", rectTop, setRectTop);
    defineAccessor(vm, rp, "right", rectRight, setRectRight);
    defineAccessor(vm, rp, "bottom", rectBottom, setRectBottom);
    defineAccessor(vm, rp, "topLeft", rectTopLeft, setRectTopLeft);
    defineAccessor(vm, rp, "bottomRight", rectBottomRight, setRectBottomRight);
    defineAccessor(vm, rp, "size", rectSize, setRectSize);

    FunctionObject* matrix = defineClass(vm, geom, "Matrix", matrixConstruct);
    defineMethods(vm, vm.get(matrix, "prototype").object(),
                  {{"clone", matrixClone},
                   {"concat", matrixConcat},
                   {"createBox", matrixCreateBox},
                   {"createGradientBox", matrixCreateGradientBox},
                   {"deltaTransformPoint", matrixDeltaTransformPoint},
                   {"identity", matrixIdentity},
                   {"invert", matrixInvert},
                   {"rotate", matrixRotate},
                   {"scale", matrixScale},
                   {"transformPoint", matrixTransformPoint},
                   {"translate", matrixTranslate},
                   {"toString", matrixToString}});

    installColorTransform(vm, geom);
}

} // namespace swf::avm1
