// How a display object is drawn, as scripts set it: transform (flash.geom.Transform with
// matrix and colorTransform), filters, blendMode, cacheAsBitmap, opaqueBackground,
// scrollRect and mask, all written to the timeline object the renderer draws. Also the
// members of the interactive classes that only keep what scripts set (tabEnabled,
// buttonMode, ...), dragging with startDrag/stopDrag, and the root's loaderInfo.
#include "swf/avm2/HostDisplay.h"
#include "swf/avm2/HostFilters.h"

#include "swf/Player.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"

#include <cmath>

namespace swf::avm2 {

namespace {

constexpr double kTwips = 20.0;
constexpr const char* kBlendModes[] = {"normal",     "layer", "multiply", "screen", "lighten",
                                       "darken",     "difference", "add", "subtract", "invert",
                                       "alpha",      "erase", "overlay", "hardlight"};

// A flash.geom.Transform: the display object it reads and writes.
class TransformObject : public Object {
public:
    Value target = Value::null();
};

double field(Machine& m, Value o, const char* name) {
    return m.toNumber(m.getProperty(o, Machine::publicName(name)));
}

Value construct(Machine& m, const char* cls, std::initializer_list<double> values) {
    std::vector<Value> args;
    for (double v : values)
        args.push_back(Machine::numberValue(v));
    ClassObject* c = m.findClass(cls);
    return c ? Value::object(m.constructInstance(c, args)) : Value::null();
}

Value matrixObject(Machine& m, const format::Matrix& t) {
    return construct(m, "flash.geom.Matrix", {t.a, t.b, t.c, t.d, t.tx / kTwips, t.ty / kTwips});
}

Value colorObject(Machine& m, const format::ColorTransform& c) {
    return construct(m, "flash.geom.ColorTransform",
                     {c.rMul / 256.0, c.gMul / 256.0, c.bMul / 256.0, c.aMul / 256.0, double(c.rAdd), double(c.gAdd),
                      double(c.bAdd), double(c.aAdd)});
}

std::int16_t fixed(double v, double scale) {
    return static_cast<std::int16_t>(std::isfinite(v) ? std::clamp(std::round(v * scale), -32768.0, 32767.0) : 0);
}

format::ColorTransform colorOf(Machine& m, Value o) {
    format::ColorTransform c;
    c.rMul = fixed(field(m, o, "redMultiplier"), 256);
    c.gMul = fixed(field(m, o, "greenMultiplier"), 256);
    c.bMul = fixed(field(m, o, "blueMultiplier"), 256);
    c.aMul = fixed(field(m, o, "alphaMultiplier"), 256);
    c.rAdd = fixed(field(m, o, "redOffset"), 1);
    c.gAdd = fixed(field(m, o, "greenOffset"), 1);
    c.bAdd = fixed(field(m, o, "blueOffset"), 1);
    c.aAdd = fixed(field(m, o, "alphaOffset"), 1);
    return c;
}

// Writes `change` to the object's timeline side and tells the renderer.
template <typename F>
void change(HostState& host, Value self, F&& write) {
    Located at = host.locate(*host.handleOf(self));
    if (!at.object)
        return;
    write(*at.object);
    if (timeline::World* w = host.world())
        ++w->generation;
}

// A property whose value only lives in the handle's extras.
void storedProperty(HostState& host, ClassObject* cls, const char* name, Value initial) {
    HostState* s = &host;
    defineAccessor(
        host.machine, cls, name,
        [s, name, initial](Machine&, Value self, std::span<Value>) {
            auto& extras = s->handleOf(self)->extras;
            auto it = extras.find(name);
            return it == extras.end() ? initial : it->second;
        },
        [s, name](Machine&, Value self, std::span<Value> a) {
            s->handleOf(self)->extras[name] = arg(a, 0);
            return Value();
        });
}

void installTransformClass(HostState& host, ClassObject* displayObject) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* transform = m.defineNativeClass("flash.geom", "Transform", m.objectClass);
    transform->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<TransformObject>()); };
    transform->init = m.newNative("Transform", [](Machine& m, Value self, std::span<Value> a) {
        requireNative<TransformObject>(m, self, "flash.geom.Transform").target = arg(a, 0);
        return Value();
    }, 1);
    auto targetOf = [s](Machine& m, Value self) {
        return s->locate(*s->handleOf(requireNative<TransformObject>(m, self, "flash.geom.Transform").target));
    };
    defineAccessor(
        m, transform, "matrix",
        [targetOf](Machine& m, Value self, std::span<Value>) {
            Located at = targetOf(m, self);
            return matrixObject(m, at.object ? at.object->matrix : format::Matrix{});
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            Value mat = arg(a, 0);
            if (!mat.isObject())
                return Value(); // null: the player keeps the matrix (3D is not there)
            double v[6] = {field(m, mat, "a"), field(m, mat, "b"), field(m, mat, "c"), field(m, mat, "d"),
                           field(m, mat, "tx") * kTwips, field(m, mat, "ty") * kTwips};
            for (double& x : v)
                x = std::isfinite(x) ? std::clamp(x, -2e9, 2e9) : 0;
            change(*s, requireNative<TransformObject>(m, self, "flash.geom.Transform").target,
                   [&](timeline::DisplayObject& o) {
                       o.matrix = {v[0], v[1], v[2], v[3], std::round(v[4]), std::round(v[5])};
                       o.scriptTransformed = true;
                   });
            return Value();
        });
    defineAccessor(
        m, transform, "colorTransform",
        [targetOf](Machine& m, Value self, std::span<Value>) {
            Located at = targetOf(m, self);
            return colorObject(m, at.object ? at.object->colorTransform : format::ColorTransform{});
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            if (!arg(a, 0).isObject())
                m.typeError(2007, "Parameter colorTransform must be non-null.");
            format::ColorTransform c = colorOf(m, a[0]);
            change(*s, requireNative<TransformObject>(m, self, "flash.geom.Transform").target,
                   [&](timeline::DisplayObject& o) {
                       o.colorTransform = c;
                       o.scriptTransformed = true;
                   });
            return Value();
        });
    defineAccessor(m, transform, "concatenatedMatrix",
                   [targetOf](Machine& m, Value self, std::span<Value>) {
                       return matrixObject(m, globalMatrix(targetOf(m, self)));
                   },
                   {});
    defineAccessor(m, transform, "concatenatedColorTransform",
                   [targetOf](Machine& m, Value self, std::span<Value>) {
                       Located at = targetOf(m, self);
                       format::ColorTransform c = at.object ? at.object->colorTransform : format::ColorTransform{};
                       int guard = 0;
                       for (timeline::Clip* p = at.parent; p && p->displayObject() && ++guard < 64; p = p->parent())
                           c = p->displayObject()->colorTransform * c;
                       return colorObject(m, c);
                   },
                   {});

    defineAccessor(
        m, displayObject, "transform",
        [transform](Machine& m, Value self, std::span<Value>) {
            Value args[1] = {self};
            return Value::object(m.constructInstance(transform, args));
        },
        [transform](Machine& m, Value self, std::span<Value> a) {
            // Setting a Transform copies its matrix and colour transform.
            Value t = arg(a, 0);
            if (!t.isObject())
                m.typeError(2007, "Parameter transform must be non-null.");
            Value mine[1] = {self};
            Value own = Value::object(m.constructInstance(transform, mine));
            for (const char* part : {"matrix", "colorTransform"})
                m.setProperty(own, Machine::publicName(part), m.getProperty(t, Machine::publicName(part)));
            return Value();
        });
}

void installLooks(HostState& host, ClassObject* displayObject) {
    Machine& m = host.machine;
    HostState* s = &host;
    defineAccessor(
        m, displayObject, "filters",
        [s](Machine& m, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            std::vector<Value> out;
            if (at.object)
                for (const format::Filter& f : at.object->filters)
                    if (Value v = filterObject(m, f); !v.isNull())
                        out.push_back(v);
            return Value::object(m.newArray(std::move(out)));
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            std::vector<format::Filter> filters;
            Value list = arg(a, 0);
            if (list.isObject() && list.o->kind == ObjectKind::Array) {
                std::vector<Value> items = static_cast<ArrayObject*>(list.o)->elements;
                for (const Value& item : items) {
                    format::Filter f;
                    if (!item.isObject() || !m.isType(item, m.findClass("flash.filters.BitmapFilter")))
                        m.throwError(m.argumentErrorClass, 2005, "Parameter 0 is of the incorrect type. Should be type Filter.");
                    if (filterRecord(m, item, f) && filters.size() < 64)
                        filters.push_back(std::move(f));
                }
            } else if (!list.isNullish()) {
                m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(list) + " to Array.");
            }
            change(*s, self, [&](timeline::DisplayObject& o) { o.filters = std::move(filters); });
            return Value();
        });
    defineAccessor(
        m, displayObject, "blendMode",
        [s](Machine& m, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            auto mode = static_cast<std::size_t>(at.object ? at.object->blendMode : format::BlendMode::Normal);
            return m.string(mode >= 1 && mode <= std::size(kBlendModes) ? kBlendModes[mode - 1] : "normal");
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            std::string name = m.toString(arg(a, 0));
            auto it = std::find(std::begin(kBlendModes), std::end(kBlendModes), name);
            if (it == std::end(kBlendModes)) {
                if (name == "shader")
                    return Value();
                m.throwError(m.argumentErrorClass, 2008, "Parameter blendMode must be one of the accepted values.");
            }
            auto mode = static_cast<format::BlendMode>(it - std::begin(kBlendModes) + 1);
            change(*s, self, [&](timeline::DisplayObject& o) { o.blendMode = mode; });
            return Value();
        });
    defineAccessor(
        m, displayObject, "cacheAsBitmap",
        [s](Machine&, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            return Value::boolean(at.object && (at.object->cacheAsBitmap || !at.object->filters.empty()));
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            bool on = m.toBoolean(arg(a, 0));
            change(*s, self, [&](timeline::DisplayObject& o) { o.cacheAsBitmap = on; });
            return Value();
        });
    defineAccessor(
        m, displayObject, "opaqueBackground",
        [s](Machine&, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            if (!at.object || !at.object->opaqueBackground)
                return Value::null();
            format::Rgba c = *at.object->opaqueBackground;
            return Value::uinteger(std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            std::optional<format::Rgba> color;
            if (!arg(a, 0).isNullish()) {
                std::uint32_t rgb = m.toUint(a[0]);
                color = format::Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                     static_cast<std::uint8_t>(rgb), 255};
            }
            change(*s, self, [&](timeline::DisplayObject& o) { o.opaqueBackground = color; });
            return Value();
        });
    defineAccessor(
        m, displayObject, "scrollRect",
        [s](Machine& m, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            if (!at.object || !at.object->scrollRect)
                return Value::null();
            const format::Rect& r = *at.object->scrollRect;
            return construct(m, "flash.geom.Rectangle", {r.xMin / kTwips, r.yMin / kTwips, (r.xMax - r.xMin) / kTwips,
                                                         (r.yMax - r.yMin) / kTwips});
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            std::optional<format::Rect> rect;
            if (Value r = arg(a, 0); r.isObject()) {
                double v[4] = {field(m, r, "x"), field(m, r, "y"), field(m, r, "width"), field(m, r, "height")};
                for (double& x : v)
                    x = std::isfinite(x) ? std::clamp(x * kTwips, -1e9, 1e9) : 0;
                rect = format::Rect{static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[0] + std::max(0.0, v[2])),
                                    static_cast<std::int32_t>(v[1]), static_cast<std::int32_t>(v[1] + std::max(0.0, v[3]))};
            }
            change(*s, self, [&](timeline::DisplayObject& o) { o.scrollRect = rect; });
            return Value();
        });
    defineAccessor(
        m, displayObject, "mask",
        [s](Machine&, Value self, std::span<Value>) {
            Located at = s->locate(*s->handleOf(self));
            if (!at.object || !at.object->scriptMask)
                return Value::null();
            auto it = s->wrappers.find(at.object->scriptMask);
            return it == s->wrappers.end() ? Value::null() : Value::object(it->second);
        },
        [s](Machine&, Value self, std::span<Value> a) {
            std::uint64_t serial = 0;
            if (arg(a, 0).isObject()) {
                Located mask = s->locate(*s->handleOf(a[0]));
                serial = mask.object ? mask.object->serial : 0;
            }
            change(*s, self, [&](timeline::DisplayObject& o) {
                o.scriptMask = serial != o.serial ? serial : 0;
                if (o.scriptMask)
                    s->world()->hasScriptMasks = true;
            });
            return Value();
        });
    storedProperty(host, displayObject, "accessibilityProperties", Value::null());
    storedProperty(host, displayObject, "scale9Grid", Value::null());
    // Every object of the movie shares the root's LoaderInfo.
    // What a Loader loaded answers with its Loader's contentLoaderInfo, the rest with the movie's.
    defineAccessor(m, displayObject, "loaderInfo",
                   [s](Machine&, Value self, std::span<Value>) {
                       DisplayHandle* h = s->handleOf(self);
                       if (auto own = h->extras.find("loaderInfo"); own != h->extras.end())
                           return own->second;
                       DisplayHandle* root = h->isStage ? nullptr : s->rootOf(*h);
                       if (root && root != s->document)
                           if (auto it = root->extras.find("loaderInfo"); it != root->extras.end())
                               return it->second;
                       return Value::object(s->rootLoaderInfo());
                   },
                   {});
}

} // namespace

void installAppearance(HostState& host, ClassObject* displayObject) {
    installTransformClass(host, displayObject);
    installLooks(host, displayObject);
}

void installInteractiveMembers(HostState& host, ClassObject* interactive) {
    for (auto [name, initial] : {std::pair{"tabEnabled", Value::boolean(false)}, {"tabIndex", Value::integer(-1)},
                                 {"doubleClickEnabled", Value::boolean(false)}, {"focusRect", Value::null()},
                                 {"contextMenu", Value::null()}, {"accessibilityImplementation", Value::null()},
                                 {"needsSoftKeyboard", Value::boolean(false)}})
        storedProperty(host, interactive, name, initial);
}

void installContainerMembers(HostState& host, ClassObject* container) {
    storedProperty(host, container, "tabChildren", Value::boolean(true));
}

void installSpriteMembers(HostState& host, ClassObject* sprite) {
    Machine& m = host.machine;
    HostState* s = &host;
    for (auto [name, initial] : {std::pair{"buttonMode", Value::boolean(false)}, {"useHandCursor", Value::boolean(true)},
                                 {"hitArea", Value::null()}, {"soundTransform", Value::null()}})
        storedProperty(host, sprite, name, initial);
    // startDrag(lockCenter, bounds): the player moves the sprite with the mouse, in its
    // parent's space, within the bounds.
    m.defineMethod(sprite, "startDrag", [s](Machine& m, Value self, std::span<Value> a) {
        Located at = s->locate(*s->handleOf(self));
        timeline::World* w = s->world();
        if (!w || !at.clip || !at.object || !at.clip->parent())
            return Value();
        input::DragState d;
        d.clip = at.clip->id();
        d.lockCenter = m.toBoolean(arg(a, 0));
        double mx = w->input.mouseX * kTwips, my = w->input.mouseY * kTwips;
        format::Matrix toParent;
        if (timeline::invert(timeline::rootMatrix(*at.clip->parent()), toParent))
            timeline::applyMatrix(toParent, mx, my);
        d.offsetX = (at.object->matrix.tx - mx) / kTwips;
        d.offsetY = (at.object->matrix.ty - my) / kTwips;
        if (Value r = arg(a, 1); r.isObject()) {
            double x = field(m, r, "x"), y = field(m, r, "y"), wd = field(m, r, "width"), ht = field(m, r, "height");
            if (std::isfinite(x) && std::isfinite(y) && std::isfinite(wd) && std::isfinite(ht)) {
                d.constrained = true;
                d.left = x;
                d.top = y;
                d.right = x + wd;
                d.bottom = y + ht;
            }
        }
        w->input.drag = d;
        return Value();
    }, 2);
    m.defineMethod(sprite, "stopDrag", [s](Machine&, Value self, std::span<Value>) {
        timeline::World* w = s->world();
        Located at = s->locate(*s->handleOf(self));
        if (!w || !w->input.drag.clip)
            return Value();
        w->input.drag = {};
        timeline::Clip* root = s->root();
        timeline::Clip* under = root && at.clip ? timeline::findClipUnder(*w, *root, w->input.mouseX * kTwips,
                                                                         w->input.mouseY * kTwips, at.clip)
                                                : nullptr;
        s->handleOf(self)->extras["dropTarget"] = Value::object(under ? s->wrapClip(*under) : nullptr);
        return Value();
    });
    defineAccessor(m, sprite, "dropTarget",
                   [s](Machine&, Value self, std::span<Value>) {
                       auto& extras = s->handleOf(self)->extras;
                       auto it = extras.find("dropTarget");
                       return it == extras.end() ? Value::null() : it->second;
                   },
                   {});
}

// SimpleButton's members keep what scripts set: the states a timeline button shows are
// its character's, which scripts cannot read or replace here.
void installButtonMembers(HostState& host, ClassObject* button) {
    for (auto [name, initial] : {std::pair{"useHandCursor", Value::boolean(true)}, {"trackAsMenu", Value::boolean(false)},
                                 {"soundTransform", Value::null()}})
        storedProperty(host, button, name, initial);
}

void installMovieClipMembers(HostState& host, ClassObject* movieClip) {
    Machine& m = host.machine;
    HostState* s = &host;
    for (auto [name, initial] : {std::pair{"enabled", Value::boolean(true)}, {"trackAsMenu", Value::boolean(false)}})
        storedProperty(host, movieClip, name, initial);
    ClassObject* frameLabel = m.defineNativeClass("flash.display", "FrameLabel", m.objectClass);
    frameLabel->init = m.newNative("FrameLabel", [](Machine& m, Value self, std::span<Value> a) {
        if (self.isObject()) {
            self.o->setOwn("name", m.string(m.toString(arg(a, 0))));
            self.o->setOwn("frame", Value::integer(m.toInt(arg(a, 1))));
        }
        return Value();
    }, 2);
    // Frame labels in frame order, frames counted from 1.
    m.defineGetter(movieClip, "currentLabels", [s, frameLabel](Machine& m, Value self, std::span<Value>) {
        timeline::Clip* c = s->locate(*s->handleOf(self)).clip;
        std::vector<Value> out;
        if (c) {
            std::vector<format::FrameLabel> labels = c->timeline().labels;
            std::stable_sort(labels.begin(), labels.end(), [](const auto& x, const auto& y) { return x.frame < y.frame; });
            for (const auto& l : labels) {
                Value args[2] = {m.string(l.name), Value::integer(static_cast<std::int32_t>(l.frame) + 1)};
                out.push_back(Value::object(m.constructInstance(frameLabel, args)));
            }
        }
        return Value::object(m.newArray(std::move(out)));
    });
}

DisplayHandle* HostState::rootLoaderInfo() {
    if (m_rootLoaderInfo)
        return m_rootLoaderInfo;
    ClassObject* info = machine.findClass("flash.display.LoaderInfo");
    m_rootLoaderInfo = info ? nativeOf<DisplayHandle>(Value::object(machine.allocateInstance(info))) : nullptr;
    if (!m_rootLoaderInfo)
        return nullptr;
    auto& x = m_rootLoaderInfo->extras;
    const movie::Movie* movie = player.movie();
    const format::Rect stage = player.stageRect();
    x["bytesLoaded"] = x["bytesTotal"] = Value::uinteger(movie ? movie->declaredFileLength() : 0);
    x["content"] = Value::object(document);
    x["loader"] = Value::null();
    x["url"] = x["loaderURL"] = machine.string(movieUrl);
    x["parameters"] = urlParameters(machine, movieUrl);
    x["contentType"] = machine.string("application/x-shockwave-flash");
    x["actionScriptVersion"] = Value::uinteger(3);
    x["swfVersion"] = Value::uinteger(movie ? movie->version() : 9);
    x["frameRate"] = Value::number(player.frameRate());
    x["width"] = Value::integer(static_cast<std::int32_t>(std::lround(stage.width() / kTwips)));
    x["height"] = Value::integer(static_cast<std::int32_t>(std::lround(stage.height() / kTwips)));
    x["sameDomain"] = x["childAllowsParent"] = x["parentAllowsChild"] = Value::boolean(true);
    x["applicationDomain"] = Value::null();
    if (ClassObject* domain = machine.findClass("flash.system.ApplicationDomain"))
        x["applicationDomain"] = machine.getProperty(Value::object(domain), Machine::publicName("currentDomain"));
    return m_rootLoaderInfo;
}

} // namespace swf::avm2

namespace swf::avm2 {

void HostState::announceLoaded() {
    if (m_announced || !document)
        return;
    m_announced = true;
    if (!m_rootLoaderInfo)
        return; // nobody asked for it, so nobody listens
    for (const char* type : {"init", "complete"})
        machine.runAndReport([&] {
            if (Object* e = makeEvent(*this, eventClass, type, false))
                dispatch(m_rootLoaderInfo, Value::object(e));
        });
}

} // namespace swf::avm2
