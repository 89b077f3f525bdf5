// What Flash 8 added to a clip's looks, for scripts: blendMode, filters, cacheAsBitmap,
// opaqueBackground, scrollRect and scale9Grid as MovieClip properties, and
// flash.geom.Transform (matrix, colorTransform, their concatenated forms and pixelBounds).
// All of it is kept on the clip's display-list entry, which the renderer reads; the root
// has none, so on _level0 these read undefined and setting them does nothing.

#include "BuiltinSupport.h"

#include "swf/timeline/DisplayObject.h"

#include <cmath>

namespace swf::avm1 {

namespace {

constexpr double kTwips = 20;

ClipId clipOf(Interpreter& vm, Object* self) {
    if (!vm.host() || !self || self->kind() != Object::Kind::Clip)
        return kNoClip;
    return static_cast<ClipObject*>(self)->clip;
}

timeline::DisplayObject* entryOf(Interpreter& vm, ClipId clip) {
    return clip ? vm.host()->displayObject(clip) : nullptr;
}

// The accessor pairs below read `entry` and write it, then tell the host.
using Reader = Value (*)(Interpreter&, const timeline::DisplayObject&);
using Writer = void (*)(Interpreter&, timeline::DisplayObject&, const Value&);

template <Reader read> Value getDisplay(Interpreter& vm, Object* self, std::span<const Value>) {
    const timeline::DisplayObject* entry = entryOf(vm, clipOf(vm, self));
    return entry ? read(vm, *entry) : Value();
}

template <Writer write> Value setDisplay(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId clip = clipOf(vm, self);
    if (timeline::DisplayObject* entry = entryOf(vm, clip)) {
        write(vm, *entry, arg(args, 0));
        vm.host()->displayChanged(clip, false);
    }
    return Value();
}

const char* const kBlendNames[] = {"normal", "layer",      "multiply", "screen", "lighten", "darken",  "difference",
                                   "add",    "subtract",   "invert",   "alpha",  "erase",   "overlay", "hardlight"};

Value readBlend(Interpreter&, const timeline::DisplayObject& e) {
    const int i = static_cast<int>(e.blendMode) - 1;
    return kBlendNames[i >= 0 && i < 14 ? i : 0];
}
// A name, or its number (1 to 14); anything else is "normal".
void writeBlend(Interpreter& vm, timeline::DisplayObject& e, const Value& v) {
    int mode = 1;
    if (v.isNumber()) {
        const double n = v.number();
        mode = n >= 1 && n <= 14 ? static_cast<int>(n) : 1;
    } else {
        const std::string name = vm.toString(v);
        for (int i = 0; i < 14; ++i)
            if (name == kBlendNames[i])
                mode = i + 1;
    }
    e.blendMode = static_cast<format::BlendMode>(mode);
}

Value readCache(Interpreter&, const timeline::DisplayObject& e) {
    return e.cacheAsBitmap;
}
void writeCache(Interpreter& vm, timeline::DisplayObject& e, const Value& v) {
    e.cacheAsBitmap = vm.toBoolean(v);
}

// opaqueBackground: a colour number, or undefined for none.
Value readBackground(Interpreter&, const timeline::DisplayObject& e) {
    if (!e.opaqueBackground)
        return Value();
    return static_cast<double>((e.opaqueBackground->r << 16) | (e.opaqueBackground->g << 8) | e.opaqueBackground->b);
}
void writeBackground(Interpreter& vm, timeline::DisplayObject& e, const Value& v) {
    if (v.isNullish()) {
        e.opaqueBackground.reset();
        return;
    }
    const std::uint32_t rgb = toUint32(vm.toNumber(v));
    e.opaqueBackground = format::Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                     static_cast<std::uint8_t>(rgb), 255};
}

// scrollRect and scale9Grid: a Rectangle in pixels (kept in twips), or undefined for none.
Value rectangleOf(Interpreter& vm, const std::optional<format::Rect>& r) {
    if (!r)
        return Value();
    const Value args[] = {r->xMin / kTwips, r->yMin / kTwips, r->width() / kTwips, r->height() / kTwips};
    return newGeom(vm, "Rectangle", args);
}
void storeRectangle(Interpreter& vm, std::optional<format::Rect>& out, const Value& v) {
    Object* o = v.object();
    const auto twips = [&](const char* field) {
        const double n = numberField(vm, o, field) * kTwips;
        return std::isfinite(n) ? static_cast<std::int32_t>(std::clamp(n, -1e9, 1e9)) : 0;
    };
    if (!o) {
        out.reset();
        return;
    }
    const std::int32_t x = twips("x"), y = twips("y");
    out = format::Rect{x, x + std::max(0, twips("width")), y, y + std::max(0, twips("height"))};
}
Value readScroll(Interpreter& vm, const timeline::DisplayObject& e) {
    return rectangleOf(vm, e.scrollRect);
}
void writeScroll(Interpreter& vm, timeline::DisplayObject& e, const Value& v) {
    storeRectangle(vm, e.scrollRect, v);
}
Value readGrid(Interpreter& vm, const timeline::DisplayObject& e) {
    return rectangleOf(vm, e.scale9Grid);
}
void writeGrid(Interpreter& vm, timeline::DisplayObject& e, const Value& v) {
    storeRectangle(vm, e.scale9Grid, v);
}

// filters: copies both ways, so changing a filter object later changes nothing drawn.
Value readFilters(Interpreter& vm, const timeline::DisplayObject& e) {
    std::vector<Value> items;
    for (const format::Filter& f : e.filters)
        items.push_back(filterObject(vm, f));
    return vm.newArray(std::move(items));
}
void writeFilters(Interpreter& vm, timeline::DisplayObject& e, const Value& v) {
    constexpr std::size_t kMaxFilters = 64;
    Object* list = v.object();
    e.filters.clear();
    if (!list || list->kind() != Object::Kind::Array)
        return;
    for (const Value& item : static_cast<ArrayObject*>(list)->elements) {
        format::Filter f;
        if (item.object() && e.filters.size() < kMaxFilters && filterRecord(vm, item.object(), f))
            e.filters.push_back(std::move(f));
    }
}

// --- flash.geom.Transform: a view of one clip, read when asked.

class TransformObject : public Object {
public:
    explicit TransformObject(Object* proto) : Object(Kind::Plain, proto) {}
    ClipId clip = kNoClip;
};

Object* allocateTransform(Interpreter& vm, Object* proto) {
    return makeNative<TransformObject>(vm, proto);
}

ClipId transformClip(Interpreter& vm, Object* self) {
    auto* t = dynamic_cast<TransformObject*>(self);
    return t && vm.host() && vm.host()->exists(t->clip) ? t->clip : kNoClip;
}

Value transformConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (auto* t = dynamic_cast<TransformObject*>(self))
        t->clip = clipOf(vm, arg(args, 0).object());
    return Value();
}

Value matrixValue(Interpreter& vm, const format::Matrix& m) {
    const Value args[] = {m.a, m.b, m.c, m.d, m.tx / kTwips, m.ty / kTwips};
    return newGeom(vm, "Matrix", args);
}

Value colorValue(Interpreter& vm, const format::ColorTransform& c) {
    const Value args[] = {c.rMul / 256.0, c.gMul / 256.0, c.bMul / 256.0, c.aMul / 256.0,
                          double(c.rAdd), double(c.gAdd), double(c.bAdd), double(c.aAdd)};
    return newGeom(vm, "ColorTransform", args);
}

// The clip's placement composed with its parents' up to the root (which has none).
void concatenated(Interpreter& vm, ClipId clip, format::Matrix& m, format::ColorTransform& c) {
    for (ClipId at = clip; at; at = vm.host()->parent(at))
        if (const timeline::DisplayObject* e = vm.host()->displayObject(at)) {
            m = e->matrix * m;
            c = e->colorTransform * c;
        }
}

// The clip's own placement, or with `whole` its placement on the stage; false when it is gone.
bool placementOf(Interpreter& vm, Object* self, bool whole, format::Matrix& m, format::ColorTransform& c) {
    const ClipId clip = transformClip(vm, self);
    if (whole) {
        concatenated(vm, clip, m, c);
    } else if (const timeline::DisplayObject* e = entryOf(vm, clip)) {
        m = e->matrix;
        c = e->colorTransform;
    }
    return clip != kNoClip;
}

template <bool whole> Value getMatrix(Interpreter& vm, Object* self, std::span<const Value>) {
    format::Matrix m;
    format::ColorTransform c;
    return placementOf(vm, self, whole, m, c) ? matrixValue(vm, m) : Value();
}

template <bool whole> Value getColor(Interpreter& vm, Object* self, std::span<const Value>) {
    format::Matrix m;
    format::ColorTransform c;
    return placementOf(vm, self, whole, m, c) ? colorValue(vm, c) : Value();
}

Value setMatrix(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId clip = transformClip(vm, self);
    timeline::DisplayObject* e = entryOf(vm, clip);
    Object* m = arg(args, 0).object();
    if (!e || !m)
        return Value();
    const auto field = [&](const char* name, double scale) {
        const double n = numberField(vm, m, name) * scale;
        return std::isfinite(n) ? std::clamp(n, -1e9, 1e9) : 0.0;
    };
    e->matrix = {field("a", 1), field("b", 1), field("c", 1), field("d", 1), field("tx", kTwips), field("ty", kTwips)};
    vm.host()->displayChanged(clip, true);
    return Value();
}

Value setColor(Interpreter& vm, Object* self, std::span<const Value> args) {
    const ClipId clip = transformClip(vm, self);
    timeline::DisplayObject* e = entryOf(vm, clip);
    double v[8];
    if (!e || !arg(args, 0).object() || !colorTransformValues(arg(args, 0).object(), v))
        return Value();
    const auto part = [&](int i, double scale) {
        const double n = v[i] * scale;
        return static_cast<std::int16_t>(std::isfinite(n) ? std::clamp(std::trunc(n), -32768.0, 32767.0) : 0);
    };
    e->colorTransform = {part(0, 256), part(1, 256), part(2, 256), part(3, 256),
                         part(4, 1),   part(5, 1),   part(6, 1),   part(7, 1)};
    vm.host()->displayChanged(clip, true);
    return Value();
}

Value getPixelBounds(Interpreter& vm, Object* self, std::span<const Value>) {
    const ClipId clip = transformClip(vm, self);
    if (!clip)
        return Value();
    const ClipRect r = vm.host()->bounds(clip, vm.host()->root());
    const Value args[] = {std::floor(r.xMin), std::floor(r.yMin), std::ceil(r.xMax) - std::floor(r.xMin),
                          std::ceil(r.yMax) - std::floor(r.yMin)};
    return newGeom(vm, "Rectangle", args);
}

// clip.transform is a new Transform of the clip each time; assigning one copies its matrix
// and colour transform.
Value getTransform(Interpreter& vm, Object* self, std::span<const Value>) {
    const Value args[] = {Value(self)};
    return clipOf(vm, self) ? newGeom(vm, "Transform", args) : Value();
}

Value setTransform(Interpreter& vm, Object* self, std::span<const Value> args) {
    Object* from = arg(args, 0).object();
    const Value mine = getTransform(vm, self, {});
    if (!from || !mine.object())
        return Value();
    const Value matrix[] = {vm.get(from, "matrix")};
    const Value color[] = {vm.get(from, "colorTransform")};
    setMatrix(vm, mine.object(), matrix);
    setColor(vm, mine.object(), color);
    return Value();
}

} // namespace

void installClipDisplayBuiltins(Interpreter& vm) {
    if (vm.version() < 6)
        return;
    // flash.geom.Transform is there from SWF 6, its accessors enumerable (measured); the
    // clip properties that use it come with SWF 8.
    Object* geom = package(vm, package(vm, vm.global(), "flash"), "geom");
    FunctionObject* cls = defineClass(vm, geom, "Transform", transformConstruct);
    cls->allocate = allocateTransform;
    Object* tp = vm.get(cls, "prototype").object();
    defineAccessor(vm, tp, "matrix", getMatrix<false>, setMatrix, 0);
    defineAccessor(vm, tp, "concatenatedMatrix", getMatrix<true>, nullptr, 0);
    defineAccessor(vm, tp, "colorTransform", getColor<false>, setColor, 0);
    defineAccessor(vm, tp, "concatenatedColorTransform", getColor<true>, nullptr, 0);
    defineAccessor(vm, tp, "pixelBounds", getPixelBounds, nullptr, 0);

    if (vm.version() < 8 || !vm.clipProto)
        return;
    Object* p = vm.clipProto;
    defineAccessor(vm, p, "blendMode", getDisplay<readBlend>, setDisplay<writeBlend>);
    defineAccessor(vm, p, "cacheAsBitmap", getDisplay<readCache>, setDisplay<writeCache>);
    defineAccessor(vm, p, "opaqueBackground", getDisplay<readBackground>, setDisplay<writeBackground>);
    defineAccessor(vm, p, "scrollRect", getDisplay<readScroll>, setDisplay<writeScroll>);
    defineAccessor(vm, p, "scale9Grid", getDisplay<readGrid>, setDisplay<writeGrid>);
    defineAccessor(vm, p, "filters", getDisplay<readFilters>, setDisplay<writeFilters>);
    defineAccessor(vm, p, "transform", getTransform, setTransform);
}

} // namespace swf::avm1
