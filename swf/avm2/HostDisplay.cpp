// flash.display.DisplayObject and the leaf classes: position, scale, rotation, alpha,
// visibility, name, size and the links to parent, root and stage, read from and written
// to the timeline object a display object stands for. Objects bound to nothing (a
// timeline object that is gone) answer defaults and ignore writes.
#include "swf/avm2/HostDisplay.h"
#include "swf/avm2/HostFilters.h"

#include "swf/Player.h"
#include "swf/text/RichText.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <cmath>
#include <limits>

namespace swf::avm2 {

namespace {

constexpr double kTwips = 20.0;
constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// A matrix as the properties see it: scale along each axis, and the rotation of the x axis.
struct Parts {
    double scaleX, scaleY, rotation; // rotation in radians
};

Parts partsOf(const format::Matrix& m) {
    return {std::hypot(m.a, m.b), std::hypot(m.c, m.d), std::atan2(m.b, m.a)};
}

void setParts(format::Matrix& m, const Parts& p) {
    // The y axis keeps its angle to the x axis (a skew survives).
    const double skew = std::atan2(-m.c, m.d) - std::atan2(m.b, m.a);
    const double yAngle = p.rotation + skew;
    m.a = p.scaleX * std::cos(p.rotation);
    m.b = p.scaleX * std::sin(p.rotation);
    m.c = -p.scaleY * std::sin(yAngle);
    m.d = p.scaleY * std::cos(yAngle);
}

struct Box {
    double xMin = std::numeric_limits<double>::infinity(), yMin = xMin;
    double xMax = -xMin, yMax = -xMin;
    bool empty() const { return xMin > xMax; }
    void addRect(const format::Rect& r, const format::Matrix& m) {
        for (double x : {double(r.xMin), double(r.xMax)})
            for (double y : {double(r.yMin), double(r.yMax)}) {
                double px = x, py = y;
                timeline::applyMatrix(m, px, py);
                xMin = std::min(xMin, px);
                xMax = std::max(xMax, px);
                yMin = std::min(yMin, py);
                yMax = std::max(yMax, py);
            }
    }
};

// What a clip draws and holds, mapped by `m` (twips).
void addClip(const timeline::Clip& clip, const format::Matrix& m, Box& box, int nesting) {
    if (nesting > timeline::kMaxNesting)
        return;
    if (!clip.graphics().empty())
        box.addRect(clip.graphics().shape().bounds, m);
    for (const auto& [depth, obj] : clip.displayList()) {
        const format::Matrix inner = m * obj.matrix;
        if (obj.clip)
            addClip(*obj.clip, inner, box, nesting + 1);
        else if (obj.state)
            if (auto r = obj.state->bounds(obj))
                box.addRect(*r, inner);
    }
}

// What a located object draws, its own matrix not applied, mapped by `m` (twips).
Box boxOf(const Located& at, const format::Matrix& m) {
    Box box;
    if (at.clip)
        addClip(*at.clip, m, box, at.clip->nesting());
    else if (at.object && at.object->state)
        if (auto r = at.object->state->bounds(*at.object))
            box.addRect(*r, m);
    return box;
}

} // namespace

double displayWidthOrHeight(const Located& at, bool width) {
    Box box = boxOf(at, at.object ? at.object->matrix : format::Matrix{});
    if (box.empty())
        return 0;
    // Bounds are whole twips, as the player keeps them.
    return std::round(width ? box.xMax - box.xMin : box.yMax - box.yMin) / kTwips;
}

// Global (root) matrix of a located object, its own matrix included.
format::Matrix globalMatrix(const Located& at) {
    format::Matrix m = at.object ? at.object->matrix : format::Matrix{};
    int guard = 0;
    for (timeline::Clip* c = at.parent; c && c->displayObject() && ++guard < 64; c = c->parent())
        m = c->displayObject()->matrix * m;
    return m;
}

bool onStage(HostState& host, const Located& at) {
    timeline::Clip* r = host.root();
    timeline::Clip* c = at.clip ? at.clip : at.parent;
    for (int guard = 0; c && guard < 64; ++guard, c = c->parent())
        if (c == r)
            return true;
    return false;
}

DisplayHandle* parentOf(HostState& host, DisplayHandle& h) {
    if (h.isStage)
        return nullptr;
    if (h.isRoot)
        return host.stage;
    Located at = host.locate(h);
    return at.parent ? host.wrapClip(*at.parent) : nullptr;
}

void defineAccessor(Machine& m, ClassObject* cls, const std::string& name, NativeFn get, NativeFn set) {
    m.defineGetter(cls, name, std::move(get));
    if (set)
        m.defineSetter(cls, name, std::move(set));
}

namespace {

// A numeric property of the timeline object; writes mark it as the script's.
void defineMatrixProperty(HostState& host, ClassObject* cls, const std::string& name,
                          double (*read)(const format::Matrix&), void (*write)(format::Matrix&, double)) {
    HostState* s = &host;
    defineAccessor(
        host.machine, cls, name,
        [s, read](Machine& m, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            return Machine::numberValue(read(at.object ? at.object->matrix : format::Matrix{}));
        },
        [s, write](Machine& m, Value self, std::span<Value> a) {
            Located at = s->locate(*s->handleOf(self));
            double v = m.toNumber(arg(a, 0));
            if (at.object && std::isfinite(v)) {
                write(at.object->matrix, std::clamp(v, -1e9, 1e9));
                at.object->scriptTransformed = true;
                ++s->world()->generation;
            }
            return Value();
        });
}

} // namespace

void installDisplayObject(HostState& host, ClassObject* displayObject) {
    Machine& m = host.machine;
    HostState* s = &host;
    defineMatrixProperty(host, displayObject, "x", [](const format::Matrix& t) { return t.tx / kTwips; },
                         [](format::Matrix& t, double v) { t.tx = std::round(v * kTwips); });
    defineMatrixProperty(host, displayObject, "y", [](const format::Matrix& t) { return t.ty / kTwips; },
                         [](format::Matrix& t, double v) { t.ty = std::round(v * kTwips); });
    defineMatrixProperty(host, displayObject, "scaleX", [](const format::Matrix& t) { return partsOf(t).scaleX; },
                         [](format::Matrix& t, double v) {
                             Parts p = partsOf(t);
                             p.scaleX = v;
                             setParts(t, p);
                         });
    defineMatrixProperty(host, displayObject, "scaleY", [](const format::Matrix& t) { return partsOf(t).scaleY; },
                         [](format::Matrix& t, double v) {
                             Parts p = partsOf(t);
                             p.scaleY = v;
                             setParts(t, p);
                         });
    defineMatrixProperty(host, displayObject, "rotation",
                         [](const format::Matrix& t) { return partsOf(t).rotation * kDegrees; },
                         [](format::Matrix& t, double v) {
                             Parts p = partsOf(t);
                             p.rotation = std::fmod(v, 360.0) / kDegrees;
                             setParts(t, p);
                         });
    defineAccessor(
        m, displayObject, "alpha",
        [s](Machine&, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            return Value::number(at.object ? at.object->colorTransform.aMul / 256.0 : 1.0);
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            Located at = s->locate(*s->handleOf(self));
            double v = m.toNumber(arg(a, 0));
            if (at.object && !std::isnan(v)) {
                at.object->colorTransform.aMul = static_cast<std::int16_t>(std::clamp(v * 256, -32768.0, 32767.0));
                at.object->scriptTransformed = true;
                ++s->world()->generation;
            }
            return Value();
        });
    defineAccessor(
        m, displayObject, "visible",
        [s](Machine&, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            return Value::boolean(!at.object || at.object->visible);
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            Located at = s->locate(*s->handleOf(self));
            if (at.object) {
                at.object->visible = m.toBoolean(arg(a, 0));
                ++s->world()->generation;
            }
            return Value();
        });
    defineAccessor(
        m, displayObject, "name",
        [s](Machine& m, Value self, std::span<Value>) {
            DisplayHandle* h = s->handleOf(self);
            if (h->isStage)
                return Value::null();
            if (h->isRoot)
                return m.string("root1");
            Located at = s->locate(*h);
            if (at.object && !at.object->name.empty())
                return m.string(at.object->name);
            return m.string("instance" + std::to_string(h->serial));
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            DisplayHandle* h = s->handleOf(self);
            Located at = s->locate(*h);
            if (h->isRoot || (at.object && !at.object->scripted))
                m.throwError(m.findClass("flash.errors.IllegalOperationError"), 2078,
                             "The name property of a Timeline-placed object cannot be modified.");
            if (at.object)
                at.object->name = m.toString(arg(a, 0));
            return Value();
        });
    auto sizeProperty = [s](bool width) {
        return std::pair<NativeFn, NativeFn>{
            [s, width](Machine&, Value self, std::span<Value>) {
                return Machine::numberValue(displayWidthOrHeight(s->locate(*s->handleOf(self)), width));
            },
            [s, width](Machine& m, Value self, std::span<Value> a) {
                Located at = s->locate(*s->handleOf(self));
                double v = m.toNumber(arg(a, 0));
                // A text field's size is its box: the text is laid out again, not stretched.
                if (auto* field = at.object ? at.object->as<timeline::TextFieldObject>() : nullptr) {
                    if (std::isfinite(v) && v >= 0) {
                        double scale = std::hypot(width ? at.object->matrix.a : at.object->matrix.c,
                                                  width ? at.object->matrix.b : at.object->matrix.d);
                        double box = std::min(v / (scale > 0 ? scale : 1), 1e6) * kTwips;
                        field->field.change([&](text::FieldProperties& p) { (width ? p.width : p.height) = box; });
                        ++s->world()->generation;
                    }
                    return Value();
                }
                double now = displayWidthOrHeight(at, width);
                if (!at.object || now <= 0 || !std::isfinite(v))
                    return Value();
                double k = v / now;
                format::Matrix& t = at.object->matrix;
                (width ? t.a : t.c) *= k;
                (width ? t.b : t.d) *= k;
                at.object->scriptTransformed = true;
                ++s->world()->generation;
                return Value();
            }};
    };
    auto [wGet, wSet] = sizeProperty(true);
    defineAccessor(m, displayObject, "width", wGet, wSet);
    auto [hGet, hSet] = sizeProperty(false);
    defineAccessor(m, displayObject, "height", hGet, hSet);
    defineAccessor(m, displayObject, "parent",
                   [s](Machine&, Value self, std::span<Value>) { return Value::object(parentOf(*s, *s->handleOf(self))); },
                   {});
    defineAccessor(m, displayObject, "root",
                   [s](Machine&, Value self, std::span<Value>) {
                       DisplayHandle* h = s->handleOf(self);
                       if (h->isStage)
                           return Value::object(h);
                       DisplayHandle* root = s->rootOf(*h);
                       return root ? Value::object(root) : Value::null();
                   },
                   {});
    defineAccessor(m, displayObject, "stage",
                   [s](Machine&, Value self, std::span<Value>) {
                       DisplayHandle* h = s->handleOf(self);
                       return h->isRoot || h->isStage || onStage(*s, s->locate(*h)) ? Value::object(s->stage) : Value::null();
                   },
                   {});
    for (bool xAxis : {true, false})
        defineAccessor(m, displayObject, xAxis ? "mouseX" : "mouseY",
                       [s, xAxis](Machine&, Value self, std::span<Value>) {
                           timeline::World* w = s->world();
                           if (!w)
                               return Value::integer(0);
                           double x = w->input.mouseX * kTwips, y = w->input.mouseY * kTwips;
                           format::Matrix inverse;
                           if (timeline::invert(globalMatrix(s->locate(*s->handleOf(self))), inverse))
                               timeline::applyMatrix(inverse, x, y);
                           return Machine::numberValue((xAxis ? x : y) / kTwips);
                       },
                       {});
    m.defineMethod(displayObject, "hitTestPoint", [s](Machine& m, Value self, std::span<Value> a) {
        Located at = s->locate(*s->handleOf(self));
        timeline::World* w = s->world();
        double x = m.toNumber(arg(a, 0)) * kTwips, y = m.toNumber(arg(a, 1)) * kTwips;
        if (!w || !std::isfinite(x) || !std::isfinite(y))
            return Value::boolean(false);
        // The point is global; test it in the parent's space.
        format::Matrix parentGlobal;
        if (at.object) {
            format::Matrix own;
            timeline::invert(at.object->matrix, own);
            parentGlobal = globalMatrix(at) * own;
        }
        format::Matrix inverse;
        if (!timeline::invert(parentGlobal, inverse))
            return Value::boolean(false);
        timeline::applyMatrix(inverse, x, y);
        if (m.toBoolean(arg(a, 2))) {
            if (at.object)
                return Value::boolean(timeline::objectContains(*w, *at.object, x, y));
            return Value::boolean(at.clip && timeline::clipContains(*w, *at.clip, x, y));
        }
        Box box = boxOf(at, at.object ? at.object->matrix : format::Matrix{});
        return Value::boolean(!box.empty() && x >= box.xMin && x <= box.xMax && y >= box.yMin && y <= box.yMax);
    }, 2);
    m.defineMethod(displayObject, "hitTestObject", [s](Machine& m, Value self, std::span<Value> a) {
        (void)m;
        auto globalBox = [s](DisplayHandle* h) {
            Located at = s->locate(*h);
            return boxOf(at, globalMatrix(at));
        };
        Box p = globalBox(s->handleOf(self)), q = globalBox(s->handleOf(arg(a, 0)));
        return Value::boolean(!p.empty() && !q.empty() && p.xMin <= q.xMax && q.xMin <= p.xMax && p.yMin <= q.yMax &&
                              q.yMin <= p.yMax);
    }, 1);
}

namespace {

Value makeGeom(Machine& m, const char* cls, std::initializer_list<double> values) {
    std::vector<Value> args;
    for (double v : values)
        args.push_back(Machine::numberValue(v));
    ClassObject* c = m.findClass(cls);
    return c ? Value::object(m.constructInstance(c, args)) : Value::null();
}

} // namespace

// localToGlobal, globalToLocal (points between the object's space and the stage's), and
// getBounds/getRect (the object's box in another object's space; an empty one is 0,0,0,0).
void installSpaces(HostState& host, ClassObject* displayObject) {
    Machine& m = host.machine;
    HostState* s = &host;
    for (bool toGlobal : {true, false})
        m.defineMethod(displayObject, toGlobal ? "localToGlobal" : "globalToLocal",
                       [s, toGlobal](Machine& m, Value self, std::span<Value> a) {
                           Value p = arg(a, 0);
                           if (!p.isObject())
                               m.typeError(2007, "Parameter point must be non-null.");
                           double x = m.toNumber(m.getProperty(p, Machine::publicName("x"))) * kTwips;
                           double y = m.toNumber(m.getProperty(p, Machine::publicName("y"))) * kTwips;
                           format::Matrix t = globalMatrix(s->locate(*s->handleOf(self)));
                           format::Matrix inverse;
                           if (!toGlobal && !timeline::invert(t, inverse))
                               return makeGeom(m, "flash.geom.Point", {0, 0});
                           timeline::applyMatrix(toGlobal ? t : inverse, x, y);
                           return makeGeom(m, "flash.geom.Point", {x / kTwips, y / kTwips});
                       }, 1);
    for (const char* name : {"getBounds", "getRect"})
        m.defineMethod(displayObject, name, [s](Machine& m, Value self, std::span<Value> a) {
            Located at = s->locate(*s->handleOf(self));
            format::Matrix space;
            if (arg(a, 0).isObject() && !timeline::invert(globalMatrix(s->locate(*s->handleOf(a[0]))), space))
                space = {};
            Box box = boxOf(at, space * globalMatrix(at));
            if (box.empty())
                return makeGeom(m, "flash.geom.Rectangle", {0, 0, 0, 0});
            return makeGeom(m, "flash.geom.Rectangle", {box.xMin / kTwips, box.yMin / kTwips, (box.xMax - box.xMin) / kTwips,
                                                        (box.yMax - box.yMin) / kTwips});
        }, 1);
}

void installTextField(HostState& host, ClassObject* textField) {
    Machine& m = host.machine;
    HostState* s = &host;
    auto fieldOf = [s](Value self) -> text::FieldState* {
        Located at = s->locate(*s->handleOf(self));
        auto* state = at.object ? at.object->as<timeline::TextFieldObject>() : nullptr;
        return state ? &state->field : nullptr;
    };
    defineAccessor(
        m, textField, "text",
        [fieldOf](Machine& m, Value self, std::span<Value>) {
            text::FieldState* f = fieldOf(self);
            return m.string(f ? text::utf16ToUtf8(f->text()) : "");
        },
        [s, fieldOf](Machine& m, Value self, std::span<Value> a) {
            if (text::FieldState* f = fieldOf(self)) {
                f->setText(text::utf8ToUtf16(m.toString(arg(a, 0))));
                ++s->world()->generation;
            }
            return Value();
        });
    m.defineMethod(textField, "appendText", [s, fieldOf](Machine& m, Value self, std::span<Value> a) {
        if (text::FieldState* f = fieldOf(self)) {
            f->replaceText(f->length(), f->length(), text::utf8ToUtf16(m.toString(arg(a, 0))));
            ++s->world()->generation;
        }
        return Value();
    }, 1);
    defineAccessor(m, textField, "length",
                   [fieldOf](Machine&, Value self, std::span<Value>) {
                       text::FieldState* f = fieldOf(self);
                       return Value::integer(f ? static_cast<std::int32_t>(f->length()) : 0);
                   },
                   {});
}

} // namespace swf::avm2

namespace swf::avm2 {

void installDisplayClasses(HostState& host) {
    Machine& m = host.machine;
    HostState* s = &host;
    // Subclasses copy their base's members when made, so each class gets its members
    // before its subclasses are defined.
    ClassObject* displayObject = m.defineNativeClass("flash.display", "DisplayObject", m.findClass("flash.events.EventDispatcher"));
    installDisplayObject(host, displayObject);
    installSpaces(host, displayObject);
    installFilterClasses(m);
    installAppearance(host, displayObject);
    ClassObject* interactive = m.defineNativeClass("flash.display", "InteractiveObject", displayObject);
    installInteractiveMembers(host, interactive);
    defineAccessor(
        m, interactive, "mouseEnabled",
        [s](Machine&, Value self, std::span<Value>) { return Value::boolean(s->handleOf(self)->mouseEnabled); },
        [s](Machine& m, Value self, std::span<Value> a) {
            s->handleOf(self)->mouseEnabled = m.toBoolean(arg(a, 0));
            return Value();
        });
    ClassObject* container = m.defineNativeClass("flash.display", "DisplayObjectContainer", interactive);
    installContainer(host, container);
    installContainerMembers(host, container);
    ClassObject* sprite = m.defineNativeClass("flash.display", "Sprite", container);
    installSpriteMembers(host, sprite);
    ClassObject* shape = m.defineNativeClass("flash.display", "Shape", displayObject);
    for (ClassObject* c : {sprite, shape})
        defineAccessor(m, c, "graphics",
                       [s](Machine&, Value self, std::span<Value>) { return graphicsOf(*s, *s->handleOf(self)); }, {});
    ClassObject* movieClip = m.defineNativeClass("flash.display", "MovieClip", sprite);
    installMovieClip(host, movieClip);
    installMovieClipMembers(host, movieClip);
    ClassObject* stage = m.defineNativeClass("flash.display", "Stage", container);
    installStage(host, stage);
    ClassObject* textField = m.defineNativeClass("flash.text", "TextField", interactive);
    installTextField(host, textField);
    installTextFormat(m);
    installTextFieldMembers(host, textField);
    std::vector<ClassObject*> madeByNew = {sprite, movieClip, shape, textField};
    ClassObject* button = m.defineNativeClass("flash.display", "SimpleButton", interactive);
    installButtonMembers(host, button);
    installSimpleButton(host, button);
    madeByNew.push_back(m.defineNativeClass("flash.media", "Video", displayObject));
    installBitmapClasses(host, displayObject);
    installLoadClasses(host, container);
    m.defineNativeClass("flash.display", "MorphShape", displayObject);
    m.defineNativeClass("flash.text", "StaticText", displayObject);
    for (ClassObject* c : {displayObject, interactive, container, stage})
        c->init = m.newNative(c->name, [](Machine&, Value, std::span<Value>) { return Value(); });
    // `new Sprite()` and the like: an empty object off every list until it is added.
    for (ClassObject* c : madeByNew)
        c->init = m.newNative(c->name, [s, textField](Machine&, Value self, std::span<Value>) {
            DisplayHandle* h = s->handleOf(self);
            if (self.o->cls && self.o->cls->isSubclassOf(textField))
                s->createField(*h);
            else
                s->createOffList(*h);
            return Value();
        });

    Object* stageObject = m.allocateInstance(stage);
    host.stage = dynamic_cast<DisplayHandle*>(stageObject);
    if (host.stage)
        host.stage->isStage = true;
}

} // namespace swf::avm2
