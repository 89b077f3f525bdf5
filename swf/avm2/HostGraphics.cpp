// flash.display.Graphics: the drawing of a Sprite, MovieClip or Shape, written through
// the same pen as the AS1/2 drawing API into the clip's run-time drawing. Rectangles,
// ellipses and rounded rectangles are built from lines and quadratic curves (eight
// curves for a full ellipse, as the player drew them).
#include "swf/avm2/HostDisplay.h"

#include "swf/avm1/DrawingPen.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <cmath>

namespace swf::avm2 {

namespace {

class GraphicsObject : public Object {
public:
    DisplayHandle* owner = nullptr;
    avm1::DrawingPen pen;
};

using Draw = avm1::DrawOp;

GraphicsObject& graphicsArg(Machine& m, Value v) {
    auto* g = v.isObject() ? dynamic_cast<GraphicsObject*>(v.o) : nullptr;
    if (!g)
        m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(v) + " to flash.display.Graphics.");
    return *g;
}

std::uint32_t argb(Machine& m, Value color, Value alpha) {
    double a = alpha.isUndefined() ? 1.0 : m.toNumber(alpha);
    if (std::isnan(a))
        a = 1.0;
    auto alpha8 = static_cast<std::uint32_t>(std::lround(std::clamp(a, 0.0, 1.0) * 255));
    return alpha8 << 24 | (m.toUint(color) & 0xFFFFFF);
}

double num(Machine& m, std::span<Value> a, std::size_t i) {
    double v = m.toNumber(arg(a, i));
    return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0;
}

class Drawing {
public:
    Drawing(HostState& s, GraphicsObject& g) : m_g(g) {
        Located at = s.locate(*g.owner);
        m_clip = at.clip;
    }
    void apply(const Draw& op) {
        if (!m_clip)
            return;
        m_g.pen.apply(m_clip->graphics(), op);
        ++m_clip->world().generation;
    }
    void to(Draw::Kind kind, double x, double y) {
        Draw op;
        op.kind = kind;
        op.x = x;
        op.y = y;
        apply(op);
    }
    void curve(double cx, double cy, double x, double y) {
        Draw op;
        op.kind = Draw::Kind::CurveTo;
        op.cx = cx;
        op.cy = cy;
        op.x = x;
        op.y = y;
        apply(op);
    }
    // An elliptic arc of `eighths` eighths of a turn from angle `from` (radians) around
    // (cx, cy), each eighth one quadratic curve.
    void arc(double cx, double cy, double rx, double ry, double from, int eighths) {
        const double step = std::atan(1.0);
        const double reach = 1 / std::cos(step / 2);
        for (int k = 0; k < eighths; ++k) {
            const double mid = from + step * (k + 0.5), end = from + step * (k + 1);
            curve(cx + rx * reach * std::cos(mid), cy + ry * reach * std::sin(mid), cx + rx * std::cos(end),
                  cy + ry * std::sin(end));
        }
    }

private:
    GraphicsObject& m_g;
    timeline::Clip* m_clip = nullptr;
};

// Gradient colours, alphas and ratios come as arrays of equal length (at most 15 stops).
std::optional<avm1::DrawGradient> gradientOf(Machine& m, std::span<Value> a) {
    auto* colors = arg(a, 1).isObject() ? dynamic_cast<ArrayObject*>(arg(a, 1).o) : nullptr;
    auto* alphas = arg(a, 2).isObject() ? dynamic_cast<ArrayObject*>(arg(a, 2).o) : nullptr;
    auto* ratios = arg(a, 3).isObject() ? dynamic_cast<ArrayObject*>(arg(a, 3).o) : nullptr;
    if (!colors || !alphas || !ratios)
        return std::nullopt;
    avm1::DrawGradient g;
    g.radial = m.toString(arg(a, 0)) == "radial";
    std::size_t n = std::min({colors->elements.size(), alphas->elements.size(), ratios->elements.size(), std::size_t(15)});
    for (std::size_t i = 0; i < n; ++i) {
        auto ratio = static_cast<std::uint8_t>(std::clamp(m.toNumber(ratios->elements[i]), 0.0, 255.0));
        g.stops.emplace_back(ratio, argb(m, colors->elements[i], alphas->elements[i]));
    }
    if (arg(a, 4).isObject()) {
        const char* names[6] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i) {
            double v = m.toNumber(m.getProperty(arg(a, 4), Machine::publicName(names[i])));
            g.matrix[i] = std::isfinite(v) ? v : (i == 0 || i == 3 ? 1 : 0);
        }
    }
    std::string spread = m.toString(arg(a, 5));
    g.spread = spread == "reflect" ? 1 : spread == "repeat" ? 2 : 0;
    g.linearRgb = m.toString(arg(a, 6)) == "linearRGB";
    g.focalPoint = std::clamp(a.size() > 7 ? m.toNumber(a[7]) : 0.0, -1.0, 1.0);
    if (g.stops.empty())
        return std::nullopt;
    return g;
}

} // namespace

Value graphicsOf(HostState& host, DisplayHandle& owner) {
    if (!owner.graphics) {
        ClassObject* cls = host.machine.findClass("flash.display.Graphics");
        auto made = std::make_unique<GraphicsObject>();
        made->owner = &owner;
        Object* g = host.machine.adopt(std::move(made));
        g->cls = cls;
        g->traits = cls ? &cls->instanceTraits : nullptr;
        g->proto = cls ? cls->prototype : nullptr;
        g->sealed = true;
        owner.graphics = g;
    }
    return Value::object(owner.graphics);
}

void installGraphicsClass(HostState& host) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* graphics = m.defineNativeClass("flash.display", "Graphics", m.objectClass);
    graphics->init = m.newNative("Graphics", [](Machine& m, Value, std::span<Value>) -> Value {
        m.throwError(m.argumentErrorClass, 2012, "Graphics class cannot be instantiated.");
    });
    // Each method draws through a Drawing of `this`.
    auto define = [&](const char* name, std::uint32_t length, void (*body)(Machine&, Drawing&, std::span<Value>)) {
        m.defineMethod(graphics, name, [s, body](Machine& m, Value self, std::span<Value> a) {
            Drawing d(*s, graphicsArg(m, self));
            body(m, d, a);
            return Value();
        }, length);
    };
    define("clear", 0, [](Machine&, Drawing& d, std::span<Value>) { d.apply(Draw{}); });
    define("beginFill", 1, [](Machine& m, Drawing& d, std::span<Value> a) {
        Draw op;
        op.kind = Draw::Kind::Fill;
        op.color = argb(m, arg(a, 0), arg(a, 1));
        d.apply(op);
    });
    define("beginGradientFill", 4, [](Machine& m, Drawing& d, std::span<Value> a) {
        Draw op;
        op.kind = Draw::Kind::Fill;
        op.gradient = gradientOf(m, a);
        if (op.gradient)
            d.apply(op);
    });
    define("endFill", 0, [](Machine&, Drawing& d, std::span<Value>) {
        Draw op;
        op.kind = Draw::Kind::EndFill;
        d.apply(op);
    });
    define("lineStyle", 0, [](Machine& m, Drawing& d, std::span<Value> a) {
        Draw op;
        double width = m.toNumber(arg(a, 0));
        if (std::isnan(width)) {
            op.kind = Draw::Kind::NoLine;
            d.apply(op);
            return;
        }
        op.kind = Draw::Kind::LineStyle;
        op.width = std::clamp(width, 0.0, 255.0);
        op.color = argb(m, arg(a, 1), arg(a, 2));
        op.pixelHinting = m.toBoolean(arg(a, 3));
        std::string scale = a.size() > 4 ? m.toString(a[4]) : "normal";
        op.noHScale = scale == "none" || scale == "vertical";
        op.noVScale = scale == "none" || scale == "horizontal";
        std::string caps = arg(a, 5).isNullish() ? "round" : m.toString(a[5]);
        op.caps = caps == "none" ? 1 : caps == "square" ? 2 : 0;
        std::string joints = arg(a, 6).isNullish() ? "round" : m.toString(a[6]);
        op.joints = joints == "bevel" ? 1 : joints == "miter" ? 2 : 0;
        op.miterLimit = a.size() > 7 ? std::clamp(m.toNumber(a[7]), 1.0, 255.0) : 3.0;
        d.apply(op);
    });
    define("moveTo", 2, [](Machine& m, Drawing& d, std::span<Value> a) { d.to(Draw::Kind::MoveTo, num(m, a, 0), num(m, a, 1)); });
    define("lineTo", 2, [](Machine& m, Drawing& d, std::span<Value> a) { d.to(Draw::Kind::LineTo, num(m, a, 0), num(m, a, 1)); });
    define("curveTo", 4, [](Machine& m, Drawing& d, std::span<Value> a) {
        d.curve(num(m, a, 0), num(m, a, 1), num(m, a, 2), num(m, a, 3));
    });
    define("drawRect", 4, [](Machine& m, Drawing& d, std::span<Value> a) {
        double x = num(m, a, 0), y = num(m, a, 1), w = num(m, a, 2), h = num(m, a, 3);
        d.to(Draw::Kind::MoveTo, x, y);
        d.to(Draw::Kind::LineTo, x + w, y);
        d.to(Draw::Kind::LineTo, x + w, y + h);
        d.to(Draw::Kind::LineTo, x, y + h);
        d.to(Draw::Kind::LineTo, x, y);
    });
    define("drawCircle", 3, [](Machine& m, Drawing& d, std::span<Value> a) {
        double x = num(m, a, 0), y = num(m, a, 1), r = num(m, a, 2);
        d.to(Draw::Kind::MoveTo, x + r, y);
        d.arc(x, y, r, r, 0, 8);
    });
    define("drawEllipse", 4, [](Machine& m, Drawing& d, std::span<Value> a) {
        double rx = num(m, a, 2) / 2, ry = num(m, a, 3) / 2;
        double cx = num(m, a, 0) + rx, cy = num(m, a, 1) + ry;
        d.to(Draw::Kind::MoveTo, cx + rx, cy);
        d.arc(cx, cy, rx, ry, 0, 8);
    });
    define("drawRoundRect", 5, [](Machine& m, Drawing& d, std::span<Value> a) {
        double x = num(m, a, 0), y = num(m, a, 1), w = num(m, a, 2), h = num(m, a, 3);
        double ew = num(m, a, 4);
        double eh = a.size() > 5 && !a[5].isNullish() ? num(m, a, 5) : ew;
        double rx = std::clamp(ew / 2, 0.0, std::abs(w) / 2), ry = std::clamp(eh / 2, 0.0, std::abs(h) / 2);
        const double quarter = 2 * std::atan(1.0);
        // Clockwise from the top edge's right end: each corner a quarter ellipse.
        d.to(Draw::Kind::MoveTo, x + w - rx, y);
        d.arc(x + w - rx, y + ry, rx, ry, -quarter, 2);
        d.to(Draw::Kind::LineTo, x + w, y + h - ry);
        d.arc(x + w - rx, y + h - ry, rx, ry, 0, 2);
        d.to(Draw::Kind::LineTo, x + rx, y + h);
        d.arc(x + rx, y + h - ry, rx, ry, quarter, 2);
        d.to(Draw::Kind::LineTo, x, y + ry);
        d.arc(x + rx, y + ry, rx, ry, 2 * quarter, 2);
        d.to(Draw::Kind::LineTo, x + w - rx, y);
    });
}

} // namespace swf::avm2
