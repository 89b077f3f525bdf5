// flash.geom: Point, Rectangle, Matrix and ColorTransform as classes with public number variables (so
// scripts read and write them as fields) and the methods games use most. Methods read
// and write the variables by name, so subclasses and scripts that change them are seen.
#include "swf/avm2/Machine.h"

#include <array>
#include <cmath>

namespace swf::avm2 {

namespace {

// Declares public Number variables `names` on `cls`, starting at `initial`.
void numberFields(ClassObject* cls, std::initializer_list<std::pair<const char*, double>> names) {
    Traits& t = cls->instanceTraits;
    for (auto [name, initial] : names) {
        Binding& b = t.define(name, kPublicNs);
        b.kind = Binding::Kind::Slot;
        b.slot = ++t.slotCount;
        t.slotDefaults.resize(b.slot + 1);
        t.slotDefaults[b.slot] = Value::number(initial);
    }
}

double get(Machine& m, Value o, const char* name) {
    return m.toNumber(m.getProperty(o, Machine::publicName(name)));
}

void put(Machine& m, Value o, const char* name, double v) {
    m.setProperty(o, Machine::publicName(name), Machine::numberValue(v));
}

// Sets the named fields from the arguments, in order, where given.
NativeFn fieldsFromArgs(std::vector<const char*> names) {
    return [names](Machine& m, Value self, std::span<Value> a) {
        for (std::size_t i = 0; i < names.size() && i < a.size(); ++i)
            if (!a[i].isUndefined())
                put(m, self, names[i], m.toNumber(a[i]));
        return Value();
    };
}

Value make(Machine& m, const char* cls, std::initializer_list<double> values) {
    std::vector<Value> args;
    for (double v : values)
        args.push_back(Machine::numberValue(v));
    return Value::object(m.constructInstance(m.findClass(cls), args));
}

// "(label=value, ...)" of the fields named, as the player prints them.
std::string describe(Machine& m, Value self, std::initializer_list<std::pair<const char*, const char*>> fields) {
    std::string out = "(";
    for (auto [label, field] : fields)
        out += (out.size() > 1 ? ", " : "") + std::string(label) + "=" + numberToString(get(m, self, field));
    return out + ")";
}

void installPoint(Machine& m) {
    ClassObject* point = m.defineNativeClass("flash.geom", "Point", m.objectClass);
    numberFields(point, {{"x", 0}, {"y", 0}});
    point->init = m.newNative("Point", fieldsFromArgs({"x", "y"}), 2);
    m.defineGetter(point, "length", [](Machine& m, Value s, std::span<Value>) {
        return Machine::numberValue(std::hypot(get(m, s, "x"), get(m, s, "y")));
    });
    m.defineMethod(point, "add", [](Machine& m, Value s, std::span<Value> a) {
        return make(m, "flash.geom.Point", {get(m, s, "x") + get(m, arg(a, 0), "x"), get(m, s, "y") + get(m, arg(a, 0), "y")});
    }, 1);
    m.defineMethod(point, "subtract", [](Machine& m, Value s, std::span<Value> a) {
        return make(m, "flash.geom.Point", {get(m, s, "x") - get(m, arg(a, 0), "x"), get(m, s, "y") - get(m, arg(a, 0), "y")});
    }, 1);
    m.defineMethod(point, "clone", [](Machine& m, Value s, std::span<Value>) {
        return make(m, "flash.geom.Point", {get(m, s, "x"), get(m, s, "y")});
    });
    m.defineMethod(point, "equals", [](Machine& m, Value s, std::span<Value> a) {
        return Value::boolean(get(m, s, "x") == get(m, arg(a, 0), "x") && get(m, s, "y") == get(m, arg(a, 0), "y"));
    }, 1);
    m.defineMethod(point, "offset", [](Machine& m, Value s, std::span<Value> a) {
        put(m, s, "x", get(m, s, "x") + m.toNumber(arg(a, 0)));
        put(m, s, "y", get(m, s, "y") + m.toNumber(arg(a, 1)));
        return Value();
    }, 2);
    m.defineMethod(point, "normalize", [](Machine& m, Value s, std::span<Value> a) {
        double x = get(m, s, "x"), y = get(m, s, "y"), len = std::hypot(x, y), to = m.toNumber(arg(a, 0));
        if (len > 0) {
            put(m, s, "x", x * to / len);
            put(m, s, "y", y * to / len);
        }
        return Value();
    }, 1);
    m.defineMethod(point, "toString", [](Machine& m, Value s, std::span<Value>) {
        return m.string(describe(m, s, {{"x", "x"}, {"y", "y"}}));
    });
    m.defineStaticMethod(point, "distance", [](Machine& m, Value, std::span<Value> a) {
        return Machine::numberValue(std::hypot(get(m, arg(a, 0), "x") - get(m, arg(a, 1), "x"),
                                               get(m, arg(a, 0), "y") - get(m, arg(a, 1), "y")));
    }, 2);
    m.defineStaticMethod(point, "interpolate", [](Machine& m, Value, std::span<Value> a) {
        double f = m.toNumber(arg(a, 2));
        auto mix = [&](const char* n) { return get(m, arg(a, 1), n) + (get(m, arg(a, 0), n) - get(m, arg(a, 1), n)) * f; };
        return make(m, "flash.geom.Point", {mix("x"), mix("y")});
    }, 3);
    m.defineStaticMethod(point, "polar", [](Machine& m, Value, std::span<Value> a) {
        double len = m.toNumber(arg(a, 0)), angle = m.toNumber(arg(a, 1));
        return make(m, "flash.geom.Point", {len * std::cos(angle), len * std::sin(angle)});
    }, 2);
}

void installRectangle(Machine& m) {
    ClassObject* rect = m.defineNativeClass("flash.geom", "Rectangle", m.objectClass);
    numberFields(rect, {{"x", 0}, {"y", 0}, {"width", 0}, {"height", 0}});
    rect->init = m.newNative("Rectangle", fieldsFromArgs({"x", "y", "width", "height"}), 4);
    struct Box {
        double x, y, w, h;
    };
    auto box = [](Machine& m, Value v) { return Box{get(m, v, "x"), get(m, v, "y"), get(m, v, "width"), get(m, v, "height")}; };
    m.defineGetter(rect, "left", [](Machine& m, Value s, std::span<Value>) { return Machine::numberValue(get(m, s, "x")); });
    m.defineGetter(rect, "top", [](Machine& m, Value s, std::span<Value>) { return Machine::numberValue(get(m, s, "y")); });
    m.defineGetter(rect, "right", [](Machine& m, Value s, std::span<Value>) {
        return Machine::numberValue(get(m, s, "x") + get(m, s, "width"));
    });
    m.defineGetter(rect, "bottom", [](Machine& m, Value s, std::span<Value>) {
        return Machine::numberValue(get(m, s, "y") + get(m, s, "height"));
    });
    m.defineMethod(rect, "isEmpty", [box](Machine& m, Value s, std::span<Value>) {
        Box b = box(m, s);
        return Value::boolean(!(b.w > 0) || !(b.h > 0));
    });
    m.defineMethod(rect, "contains", [box](Machine& m, Value s, std::span<Value> a) {
        Box b = box(m, s);
        double x = m.toNumber(arg(a, 0)), y = m.toNumber(arg(a, 1));
        return Value::boolean(x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h);
    }, 2);
    m.defineMethod(rect, "containsPoint", [box](Machine& m, Value s, std::span<Value> a) {
        Box b = box(m, s);
        double x = get(m, arg(a, 0), "x"), y = get(m, arg(a, 0), "y");
        return Value::boolean(x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h);
    }, 1);
    auto overlap = [box](Machine& m, Value s, Value o) {
        Box p = box(m, s), q = box(m, o);
        double x0 = std::max(p.x, q.x), y0 = std::max(p.y, q.y);
        double x1 = std::min(p.x + p.w, q.x + q.w), y1 = std::min(p.y + p.h, q.y + q.h);
        return x1 > x0 && y1 > y0 ? Box{x0, y0, x1 - x0, y1 - y0} : Box{0, 0, 0, 0};
    };
    m.defineMethod(rect, "intersects", [overlap](Machine& m, Value s, std::span<Value> a) {
        Box b = overlap(m, s, arg(a, 0));
        return Value::boolean(b.w > 0);
    }, 1);
    m.defineMethod(rect, "intersection", [overlap](Machine& m, Value s, std::span<Value> a) {
        Box b = overlap(m, s, arg(a, 0));
        return make(m, "flash.geom.Rectangle", {b.x, b.y, b.w, b.h});
    }, 1);
    m.defineMethod(rect, "union", [box](Machine& m, Value s, std::span<Value> a) {
        Box p = box(m, s), q = box(m, arg(a, 0));
        if (!(p.w > 0) || !(p.h > 0))
            return make(m, "flash.geom.Rectangle", {q.x, q.y, q.w, q.h});
        if (!(q.w > 0) || !(q.h > 0))
            return make(m, "flash.geom.Rectangle", {p.x, p.y, p.w, p.h});
        double x0 = std::min(p.x, q.x), y0 = std::min(p.y, q.y);
        return make(m, "flash.geom.Rectangle",
                    {x0, y0, std::max(p.x + p.w, q.x + q.w) - x0, std::max(p.y + p.h, q.y + q.h) - y0});
    }, 1);
    m.defineMethod(rect, "clone", [box](Machine& m, Value s, std::span<Value>) {
        Box b = box(m, s);
        return make(m, "flash.geom.Rectangle", {b.x, b.y, b.w, b.h});
    });
    m.defineMethod(rect, "offset", [](Machine& m, Value s, std::span<Value> a) {
        put(m, s, "x", get(m, s, "x") + m.toNumber(arg(a, 0)));
        put(m, s, "y", get(m, s, "y") + m.toNumber(arg(a, 1)));
        return Value();
    }, 2);
    m.defineMethod(rect, "inflate", [](Machine& m, Value s, std::span<Value> a) {
        double dx = m.toNumber(arg(a, 0)), dy = m.toNumber(arg(a, 1));
        put(m, s, "x", get(m, s, "x") - dx);
        put(m, s, "y", get(m, s, "y") - dy);
        put(m, s, "width", get(m, s, "width") + 2 * dx);
        put(m, s, "height", get(m, s, "height") + 2 * dy);
        return Value();
    }, 2);
    m.defineMethod(rect, "setEmpty", [](Machine& m, Value s, std::span<Value>) {
        for (const char* n : {"x", "y", "width", "height"})
            put(m, s, n, 0);
        return Value();
    });
    m.defineMethod(rect, "toString", [](Machine& m, Value s, std::span<Value>) {
        return m.string(describe(m, s, {{"x", "x"}, {"y", "y"}, {"w", "width"}, {"h", "height"}}));
    });
}

void installMatrix(Machine& m) {
    ClassObject* matrix = m.defineNativeClass("flash.geom", "Matrix", m.objectClass);
    numberFields(matrix, {{"a", 1}, {"b", 0}, {"c", 0}, {"d", 1}, {"tx", 0}, {"ty", 0}});
    matrix->init = m.newNative("Matrix", fieldsFromArgs({"a", "b", "c", "d", "tx", "ty"}), 6);
    using Six = std::array<double, 6>;
    static constexpr const char* kNames[6] = {"a", "b", "c", "d", "tx", "ty"};
    auto read = [](Machine& m, Value s) {
        Six v{};
        for (int i = 0; i < 6; ++i)
            v[static_cast<std::size_t>(i)] = get(m, s, kNames[i]);
        return v;
    };
    auto write = [](Machine& m, Value s, const Six& v) {
        for (int i = 0; i < 6; ++i)
            put(m, s, kNames[i], v[static_cast<std::size_t>(i)]);
    };
    // This matrix followed by `n`.
    auto then = [](const Six& t, const Six& n) {
        return Six{t[0] * n[0] + t[1] * n[2], t[0] * n[1] + t[1] * n[3], t[2] * n[0] + t[3] * n[2],
                   t[2] * n[1] + t[3] * n[3], t[4] * n[0] + t[5] * n[2] + n[4], t[4] * n[1] + t[5] * n[3] + n[5]};
    };
    m.defineMethod(matrix, "identity", [write](Machine& m, Value s, std::span<Value>) {
        write(m, s, {1, 0, 0, 1, 0, 0});
        return Value();
    });
    m.defineMethod(matrix, "concat", [read, write, then](Machine& m, Value s, std::span<Value> a) {
        write(m, s, then(read(m, s), read(m, arg(a, 0))));
        return Value();
    }, 1);
    m.defineMethod(matrix, "translate", [read, write, then](Machine& m, Value s, std::span<Value> a) {
        write(m, s, then(read(m, s), {1, 0, 0, 1, m.toNumber(arg(a, 0)), m.toNumber(arg(a, 1))}));
        return Value();
    }, 2);
    m.defineMethod(matrix, "scale", [read, write, then](Machine& m, Value s, std::span<Value> a) {
        write(m, s, then(read(m, s), {m.toNumber(arg(a, 0)), 0, 0, m.toNumber(arg(a, 1)), 0, 0}));
        return Value();
    }, 2);
    m.defineMethod(matrix, "rotate", [read, write, then](Machine& m, Value s, std::span<Value> a) {
        double r = m.toNumber(arg(a, 0));
        write(m, s, then(read(m, s), {std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0}));
        return Value();
    }, 1);
    m.defineMethod(matrix, "invert", [read, write](Machine& m, Value s, std::span<Value>) {
        Six t = read(m, s);
        double det = t[0] * t[3] - t[1] * t[2];
        if (det == 0) {
            write(m, s, {1, 0, 0, 1, 0, 0});
            return Value();
        }
        write(m, s, {t[3] / det, -t[1] / det, -t[2] / det, t[0] / det, (t[2] * t[5] - t[3] * t[4]) / det,
                     (t[1] * t[4] - t[0] * t[5]) / det});
        return Value();
    });
    // createBox(scaleX, scaleY, rotation, tx, ty) and createGradientBox(width, height,
    // rotation, tx, ty), whose square is 1638.4 units wide centred in the box.
    for (bool gradient : {false, true})
        m.defineMethod(matrix, gradient ? "createGradientBox" : "createBox", [write, gradient](Machine& m, Value s, std::span<Value> a) {
            double sx = m.toNumber(arg(a, 0)), sy = m.toNumber(arg(a, 1));
            double r = a.size() > 2 ? m.toNumber(a[2]) : 0, tx = a.size() > 3 ? m.toNumber(a[3]) : 0,
                   ty = a.size() > 4 ? m.toNumber(a[4]) : 0;
            if (gradient) {
                tx += sx / 2;
                ty += sy / 2;
                sx /= 1638.4;
                sy /= 1638.4;
            }
            write(m, s, {sx * std::cos(r), sx * std::sin(r), -sy * std::sin(r), sy * std::cos(r), tx, ty});
            return Value();
        }, 2);
    m.defineMethod(matrix, "transformPoint", [read](Machine& m, Value s, std::span<Value> a) {
        Six t = read(m, s);
        double x = get(m, arg(a, 0), "x"), y = get(m, arg(a, 0), "y");
        return make(m, "flash.geom.Point", {t[0] * x + t[2] * y + t[4], t[1] * x + t[3] * y + t[5]});
    }, 1);
    m.defineMethod(matrix, "clone", [read](Machine& m, Value s, std::span<Value>) {
        Six t = read(m, s);
        return make(m, "flash.geom.Matrix", {t[0], t[1], t[2], t[3], t[4], t[5]});
    });
    m.defineMethod(matrix, "toString", [](Machine& m, Value s, std::span<Value>) {
        return m.string(describe(m, s, {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"tx", "tx"}, {"ty", "ty"}}));
    });
}

// Multipliers and offsets per channel; `color` reads and writes the offsets as one RGB
// value (setting it zeroes the colour multipliers, as the player does).
void installColorTransform(Machine& m) {
    ClassObject* ct = m.defineNativeClass("flash.geom", "ColorTransform", m.objectClass);
    static constexpr const char* kNames[8] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                              "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
    numberFields(ct, {{kNames[0], 1}, {kNames[1], 1}, {kNames[2], 1}, {kNames[3], 1},
                      {kNames[4], 0}, {kNames[5], 0}, {kNames[6], 0}, {kNames[7], 0}});
    ct->init = m.newNative("ColorTransform", fieldsFromArgs(std::vector<const char*>(kNames, kNames + 8)), 8);
    m.defineGetter(ct, "color", [](Machine& m, Value s, std::span<Value>) {
        auto channel = [&](const char* name) { return static_cast<std::uint32_t>(doubleToInt32(get(m, s, name))) & 0xFF; };
        return Value::uinteger(channel("redOffset") << 16 | channel("greenOffset") << 8 | channel("blueOffset"));
    });
    m.defineSetter(ct, "color", [](Machine& m, Value s, std::span<Value> a) {
        std::uint32_t rgb = m.toUint(arg(a, 0));
        for (int i = 0; i < 3; ++i) {
            put(m, s, kNames[i], 0);
            put(m, s, kNames[4 + i], (rgb >> (16 - 8 * i)) & 0xFF);
        }
        return Value();
    });
    // concat(second): `second` is applied first, then this transform.
    m.defineMethod(ct, "concat", [](Machine& m, Value s, std::span<Value> a) {
        Value second = arg(a, 0);
        for (int i = 0; i < 4; ++i) {
            double mul = get(m, s, kNames[i]);
            put(m, s, kNames[4 + i], get(m, second, kNames[4 + i]) * mul + get(m, s, kNames[4 + i]));
            put(m, s, kNames[i], get(m, second, kNames[i]) * mul);
        }
        return Value();
    }, 1);
    m.defineMethod(ct, "toString", [](Machine& m, Value s, std::span<Value>) {
        return m.string(describe(m, s, {{kNames[0], kNames[0]}, {kNames[1], kNames[1]}, {kNames[2], kNames[2]},
                                        {kNames[3], kNames[3]}, {kNames[4], kNames[4]}, {kNames[5], kNames[5]},
                                        {kNames[6], kNames[6]}, {kNames[7], kNames[7]}}));
    });
}

} // namespace

void installGeomBuiltins(Machine& m) {
    installPoint(m);
    installRectangle(m);
    installMatrix(m);
    installColorTransform(m);
}

} // namespace swf::avm2
