// flash.display.BitmapData (SWF 8) and MovieClip.attachBitmap. A BitmapData holds its
// pixels natively (premultiplied, shared with the display objects that show it); the
// pixel work is in BitmapPixels, drawing clips into it goes through the host's renderer.
// A disposed bitmap, or one whose size was refused, answers -1 to its getters as in Flash.

#include "BitmapPixels.h"
#include "BuiltinSupport.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace swf::avm1 {

namespace {

using timeline::Pixels;

// Largest side: 2880 pixels up to SWF 9, 8191 from SWF 10 on (then also at most 16,777,215
// pixels in all), as Flash Player's limits were published.
constexpr int kMaxSideOld = 2880;
constexpr int kMaxSideNew = 8191;
constexpr long long kMaxPixelsNew = 16777215;
// All bitmaps of the process together; past this a new bitmap is refused like a bad size,
// so a script making bitmaps in a loop cannot take the machine's memory.
constexpr std::size_t kMaxLiveBytes = std::size_t(512) << 20;
std::atomic<std::size_t> g_liveBytes{0};

class BitmapDataObject : public Object {
public:
    explicit BitmapDataObject(Object* proto) : Object(Kind::Plain, proto) {}
    ~BitmapDataObject() override { release(); }

    // Takes `p` (already filled) when the budget allows it.
    bool adopt(std::shared_ptr<Pixels> p) {
        const std::size_t bytes = p->argb.size() * sizeof(std::uint32_t);
        if (g_liveBytes.load() + bytes > kMaxLiveBytes)
            return false;
        release();
        g_liveBytes += bytes;
        pixels = std::move(p);
        return true;
    }
    void release() {
        if (!pixels)
            return;
        g_liveBytes -= pixels->argb.size() * sizeof(std::uint32_t);
        // Objects showing the bitmap show nothing from now on.
        pixels->width = pixels->height = 0;
        pixels->argb.clear();
        pixels->argb.shrink_to_fit();
        ++pixels->revision;
        pixels.reset();
    }

    std::shared_ptr<Pixels> pixels; // null: disposed or refused
    bool transparent = true;
};

BitmapDataObject* bitmapOf(const Value& v) {
    return dynamic_cast<BitmapDataObject*>(v.object());
}

// The receiver's pixels, or null when it is not a live bitmap.
Pixels* live(Object* self, BitmapDataObject** out = nullptr) {
    auto* b = dynamic_cast<BitmapDataObject*>(self);
    if (out)
        *out = b;
    return b && b->pixels ? b->pixels.get() : nullptr;
}

// After a change: drawings of the pixels are stale and the stage needs repainting.
void changed(Interpreter& vm, Pixels& p) {
    ++p.revision;
    if (vm.host())
        vm.host()->pixelsChanged();
}

int whole(Interpreter& vm, const Value& v) {
    const double n = vm.toNumber(v);
    return std::isfinite(n) ? static_cast<int>(std::clamp(std::trunc(n), -1e9, 1e9)) : 0;
}

std::uint32_t colour(Interpreter& vm, const Value& v) {
    return toUint32(vm.toNumber(v));
}

// A flash.geom.Rectangle-like object's x, y, width and height.
bitmap::IntRect rectOf(Interpreter& vm, const Value& v) {
    Object* o = v.object();
    if (!o)
        return {};
    return bitmap::toIntRect(numberField(vm, o, "x"), numberField(vm, o, "y"), numberField(vm, o, "width"),
                             numberField(vm, o, "height"));
}

std::pair<int, int> pointOf(Interpreter& vm, const Value& v) {
    Object* o = v.object();
    if (!o)
        return {0, 0};
    return {whole(vm, vm.get(o, "x")), whole(vm, vm.get(o, "y"))};
}

// A flash.geom.Matrix-like object's fields into `out` (left as it is for a non-object); a
// field that is not a number counts as 0 (a NaN ty draws at the top, as in Flash).
void matrixOf(Interpreter& vm, const Value& v, double (&out)[6]) {
    Object* o = v.object();
    if (!o)
        return;
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (int i = 0; i < 6; ++i) {
        const double n = numberField(vm, o, names[i]);
        out[i] = std::isfinite(n) ? n : 0;
    }
}

Value makeRect(Interpreter& vm, const bitmap::IntRect& r) {
    const Value args[] = {r.x, r.y, r.width, r.height};
    const Value made = newGeom(vm, "Rectangle", args);
    return made.isObject() ? made : Value(-1);
}

Object* allocateBitmapData(Interpreter& vm, Object* proto) {
    return makeNative<BitmapDataObject>(vm, proto);
}

bool sizeAllowed(Interpreter& vm, int width, int height) {
    const int side = vm.version() >= 10 ? kMaxSideNew : kMaxSideOld;
    if (width <= 0 || height <= 0 || width > side || height > side)
        return false;
    return vm.version() < 10 || static_cast<long long>(width) * height <= kMaxPixelsNew;
}

std::shared_ptr<Pixels> blank(int width, int height, std::uint32_t word) {
    auto p = std::make_shared<Pixels>();
    p->width = width;
    p->height = height;
    p->argb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), word);
    return p;
}

// new BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF).
Value bitmapConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    auto* b = dynamic_cast<BitmapDataObject*>(self);
    if (!b)
        return Value();
    const int width = whole(vm, arg(args, 0)), height = whole(vm, arg(args, 1));
    b->transparent = args.size() > 2 ? vm.toBoolean(args[2]) : true;
    const std::uint32_t fill = args.size() > 3 ? colour(vm, args[3]) : 0xFFFFFFFFu;
    if (sizeAllowed(vm, width, height))
        b->adopt(blank(width, height, bitmap::premultiply(b->transparent ? fill : fill | 0xFF000000u)));
    return Value();
}

Value getWidth(Interpreter&, Object* self, std::span<const Value>) {
    const Pixels* p = live(self);
    return p ? p->width : -1;
}

Value getHeight(Interpreter&, Object* self, std::span<const Value>) {
    const Pixels* p = live(self);
    return p ? p->height : -1;
}

Value getTransparent(Interpreter&, Object* self, std::span<const Value>) {
    BitmapDataObject* b;
    return live(self, &b) ? Value(b->transparent) : Value(-1);
}

Value getRectangle(Interpreter& vm, Object* self, std::span<const Value>) {
    const Pixels* p = live(self);
    return p ? makeRect(vm, {0, 0, p->width, p->height}) : Value(-1);
}

Value bitmapGetPixel(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Pixels* p = live(self);
    return p ? Value(static_cast<double>(bitmap::get(*p, whole(vm, arg(args, 0)), whole(vm, arg(args, 1))) &
                                         0xFFFFFF))
             : Value(-1);
}

// The 32-bit colour reads back as a signed number, as Flash 8's getPixel32 gave it.
Value bitmapGetPixel32(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Pixels* p = live(self);
    return p ? Value(static_cast<double>(static_cast<std::int32_t>(
                   bitmap::get(*p, whole(vm, arg(args, 0)), whole(vm, arg(args, 1))))))
             : Value(-1);
}

void setPixelCommon(Interpreter& vm, Object* self, std::span<const Value> args, bool withAlpha) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    if (!p || args.size() < 3)
        return;
    const int x = whole(vm, args[0]), y = whole(vm, args[1]);
    std::uint32_t c = colour(vm, args[2]);
    if (!withAlpha)
        c = (bitmap::get(*p, x, y) & 0xFF000000u) | (c & 0xFFFFFF);
    if (bitmap::set(*p, b->transparent, x, y, c))
        changed(vm, *p);
}

Value bitmapSetPixel(Interpreter& vm, Object* self, std::span<const Value> args) {
    setPixelCommon(vm, self, args, false);
    return Value();
}

Value bitmapSetPixel32(Interpreter& vm, Object* self, std::span<const Value> args) {
    setPixelCommon(vm, self, args, true);
    return Value();
}

Value bitmapFillRect(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    if (!p || args.size() < 2)
        return Value();
    bitmap::fillRect(*p, b->transparent, rectOf(vm, args[0]), colour(vm, args[1]));
    changed(vm, *p);
    return Value();
}

Value bitmapFloodFill(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    if (!p || args.size() < 3)
        return Value();
    bitmap::floodFill(*p, b->transparent, whole(vm, args[0]), whole(vm, args[1]), colour(vm, args[2]));
    changed(vm, *p);
    return Value();
}

// What the source-to-destination methods start with: (source, sourceRect, destPoint, ...).
struct CopyArgs {
    Pixels* dst = nullptr;
    bool transparent = true;
    const Pixels* src = nullptr;
    bitmap::IntRect from;
    int x = 0, y = 0;
};

bool copyArgs(Interpreter& vm, Object* self, std::span<const Value> args, CopyArgs& c) {
    BitmapDataObject* b;
    c.dst = live(self, &b);
    c.src = live(arg(args, 0).object());
    if (!c.dst || !c.src)
        return false;
    c.transparent = b->transparent;
    c.from = rectOf(vm, arg(args, 1));
    std::tie(c.x, c.y) = pointOf(vm, arg(args, 2));
    return true;
}

// copyPixels(source, sourceRect, destPoint, alphaBitmap, alphaPoint, mergeAlpha).
Value bitmapCopyPixels(Interpreter& vm, Object* self, std::span<const Value> args) {
    CopyArgs c;
    if (!copyArgs(vm, self, args, c))
        return Value();
    bitmap::CopySource how;
    how.alpha = live(arg(args, 3).object());
    std::tie(how.alphaX, how.alphaY) = pointOf(vm, arg(args, 4));
    how.merge = vm.toBoolean(arg(args, 5));
    bitmap::copyPixels(*c.dst, c.transparent, *c.src, c.from, c.x, c.y, how);
    changed(vm, *c.dst);
    return Value();
}

Value bitmapClone(Interpreter& vm, Object* self, std::span<const Value>) {
    BitmapDataObject* b;
    const Pixels* p = live(self, &b);
    auto* copy = makeNative<BitmapDataObject>(vm, self ? self->proto() : nullptr);
    copy->transparent = b ? b->transparent : true;
    if (p) {
        auto pixels = std::make_shared<Pixels>(*p);
        pixels->revision = 0;
        copy->adopt(std::move(pixels));
    }
    return copy;
}

Value bitmapDispose(Interpreter& vm, Object* self, std::span<const Value>) {
    if (auto* b = dynamic_cast<BitmapDataObject*>(self); b && b->pixels) {
        b->release();
        if (vm.host())
            vm.host()->pixelsChanged();
    }
    return Value();
}

Value bitmapScroll(Interpreter& vm, Object* self, std::span<const Value> args) {
    Pixels* p = live(self);
    if (!p || args.size() < 2)
        return Value();
    bitmap::scroll(*p, whole(vm, args[0]), whole(vm, args[1]));
    changed(vm, *p);
    return Value();
}

bool colorMatrixOf(const Value& v, bitmap::ColorMatrix& m) {
    double values[8];
    if (!colorTransformValues(v.object(), values))
        return false;
    std::copy(values, values + 4, m.mul);
    std::copy(values + 4, values + 8, m.add);
    return true;
}

Value bitmapColorTransform(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    bitmap::ColorMatrix m;
    if (!p || !colorMatrixOf(arg(args, 1), m))
        return Value();
    bitmap::colorTransform(*p, b->transparent, rectOf(vm, arg(args, 0)), m);
    changed(vm, *p);
    return Value();
}

// threshold(source, sourceRect, destPoint, operation, threshold, color = 0, mask = 0xFFFFFFFF,
// copySource = false): the number of pixels that passed.
Value bitmapThreshold(Interpreter& vm, Object* self, std::span<const Value> args) {
    CopyArgs c;
    if (!copyArgs(vm, self, args, c))
        return Value();
    static const char* const kOps[] = {"<", "<=", ">", ">=", "==", "!="};
    const std::string op = vm.toString(arg(args, 3));
    const auto found = std::find(std::begin(kOps), std::end(kOps), op);
    if (found == std::end(kOps))
        return 0;
    const int count = bitmap::threshold(
        *c.dst, c.transparent, *c.src, c.from, c.x, c.y, static_cast<bitmap::Compare>(found - std::begin(kOps)),
        colour(vm, arg(args, 4)), args.size() > 5 ? colour(vm, args[5]) : 0,
        args.size() > 6 ? colour(vm, args[6]) : 0xFFFFFFFFu, vm.toBoolean(arg(args, 7)));
    changed(vm, *c.dst);
    return count;
}

// copyChannel(source, sourceRect, destPoint, sourceChannel, destChannel).
Value bitmapCopyChannel(Interpreter& vm, Object* self, std::span<const Value> args) {
    CopyArgs c;
    if (!copyArgs(vm, self, args, c))
        return Value();
    bitmap::copyChannel(*c.dst, c.transparent, *c.src, c.from, c.x, c.y, whole(vm, arg(args, 3)),
                        whole(vm, arg(args, 4)));
    changed(vm, *c.dst);
    return Value();
}

// merge(source, sourceRect, destPoint, redMult, greenMult, blueMult, alphaMult).
Value bitmapMerge(Interpreter& vm, Object* self, std::span<const Value> args) {
    CopyArgs c;
    if (!copyArgs(vm, self, args, c))
        return Value();
    const std::array<int, 4> mult = {whole(vm, arg(args, 3)), whole(vm, arg(args, 4)), whole(vm, arg(args, 5)),
                                     whole(vm, arg(args, 6))};
    bitmap::merge(*c.dst, c.transparent, *c.src, c.from, c.x, c.y, mult);
    changed(vm, *c.dst);
    return Value();
}

// paletteMap(source, sourceRect, destPoint, redArray, greenArray, blueArray, alphaArray).
Value bitmapPaletteMap(Interpreter& vm, Object* self, std::span<const Value> args) {
    CopyArgs c;
    if (!copyArgs(vm, self, args, c))
        return Value();
    std::array<bitmap::Palette, 4> tables;
    for (std::size_t i = 0; i < 4; ++i) {
        Object* o = arg(args, 3 + i).object();
        if (!o || o->kind() != Object::Kind::Array)
            continue;
        const auto& items = static_cast<ArrayObject*>(o)->elements;
        auto& table = tables[i].emplace();
        for (std::size_t k = 0; k < 256; ++k)
            table[k] = k < items.size() ? colour(vm, items[k]) : 0;
    }
    bitmap::paletteMap(*c.dst, c.transparent, *c.src, c.from, c.x, c.y, tables);
    changed(vm, *c.dst);
    return Value();
}

// getColorBoundsRect(mask, color, findColor = true).
Value bitmapColorBounds(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Pixels* p = live(self);
    if (!p)
        return -1;
    const bool find = args.size() > 2 ? vm.toBoolean(args[2]) : true;
    return makeRect(vm, bitmap::colorBounds(*p, colour(vm, arg(args, 0)), colour(vm, arg(args, 1)), find));
}

// noise(randomSeed, low = 0, high = 255, channelOptions = 7, grayScale = false).
Value bitmapNoise(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    if (!p)
        return Value();
    bitmap::noise(*p, b->transparent, colour(vm, arg(args, 0)), args.size() > 1 ? whole(vm, args[1]) : 0,
                  args.size() > 2 ? whole(vm, args[2]) : 255, args.size() > 3 ? whole(vm, args[3]) : 7,
                  vm.toBoolean(arg(args, 4)));
    changed(vm, *p);
    return Value();
}

// perlinNoise(baseX, baseY, numOctaves, randomSeed, stitch, fractalNoise, channelOptions = 7,
// grayScale = false, offsets = null).
Value bitmapPerlinNoise(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    if (!p)
        return Value();
    bitmap::PerlinOptions o;
    o.baseX = vm.toNumber(arg(args, 0));
    o.baseY = vm.toNumber(arg(args, 1));
    o.octaves = whole(vm, arg(args, 2));
    o.seed = colour(vm, arg(args, 3));
    o.stitch = vm.toBoolean(arg(args, 4));
    o.fractal = vm.toBoolean(arg(args, 5));
    o.channels = args.size() > 6 ? whole(vm, args[6]) : 7;
    o.grey = vm.toBoolean(arg(args, 7));
    if (Object* list = arg(args, 8).object(); list && list->kind() == Object::Kind::Array)
        for (const Value& v : static_cast<ArrayObject*>(list)->elements) {
            if (o.offsets.size() >= 32)
                break;
            Object* point = v.object();
            o.offsets.emplace_back(point ? numberField(vm, point, "x") : 0, point ? numberField(vm, point, "y") : 0);
        }
    bitmap::perlinNoise(*p, b->transparent, o);
    changed(vm, *p);
    return Value();
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondBitmapPoint, secondAlphaThreshold):
// against a Point, a Rectangle or another BitmapData.
Value bitmapHitTest(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Pixels* p = live(self);
    if (!p)
        return -1;
    const auto [x, y] = pointOf(vm, arg(args, 0));
    const int threshold = whole(vm, arg(args, 1));
    Object* other = arg(args, 2).object();
    if (!other)
        return false;
    if (const Pixels* second = live(other)) {
        const auto [ox, oy] = pointOf(vm, arg(args, 3));
        const int secondThreshold = args.size() > 4 ? whole(vm, args[4]) : 1;
        for (int j = 0; j < second->height; ++j)
            for (int i = 0; i < second->width; ++i)
                if (static_cast<int>(bitmap::get(*second, i, j) >> 24) >= secondThreshold &&
                    bitmap::anyOpaque(*p, x, y, {ox + i, oy + j, 1, 1}, threshold))
                    return true;
        return false;
    }
    if (vm.has(other, "width"))
        return bitmap::anyOpaque(*p, x, y, rectOf(vm, other), threshold);
    const auto [px, py] = pointOf(vm, other);
    return bitmap::anyOpaque(*p, x, y, {px, py, 1, 1}, threshold);
}

// compare(other): 0 when equal, -3 / -4 for different widths / heights, -1 / -2 when
// either is not a live bitmap, else a new bitmap of the differences (straight colours
// subtracted channel by channel; where only alpha differs, white with that difference).
Value bitmapCompare(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Pixels* p = live(self);
    const Pixels* q = live(arg(args, 0).object());
    if (!p)
        return -1;
    if (!q)
        return -2;
    if (p->width != q->width)
        return -3;
    if (p->height != q->height)
        return -4;
    auto diff = blank(p->width, p->height, 0);
    bool same = true;
    for (int y = 0; y < p->height; ++y)
        for (int x = 0; x < p->width; ++x) {
            const std::uint32_t a = bitmap::get(*p, x, y), c = bitmap::get(*q, x, y);
            if (a == c)
                continue;
            same = false;
            std::uint32_t out;
            if ((a & 0xFFFFFF) != (c & 0xFFFFFF)) {
                out = 0xFF000000u;
                for (int shift : {16, 8, 0})
                    out |= (((a >> shift) - (c >> shift)) & 0xFF) << shift;
            } else {
                out = (((a >> 24) - (c >> 24)) & 0xFF) << 24 | 0xFFFFFF;
            }
            bitmap::set(*diff, true, x, y, out);
        }
    if (same)
        return 0;
    auto* made = makeNative<BitmapDataObject>(vm, self->proto());
    made->adopt(std::move(diff));
    return made;
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a clip through the
// host's renderer, or another bitmap.
Value bitmapDraw(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b;
    Pixels* p = live(self, &b);
    Object* source = arg(args, 0).object();
    if (!p || !source)
        return Value();
    double m[6] = {1, 0, 0, 1, 0, 0};
    matrixOf(vm, arg(args, 1), m);
    bitmap::ColorMatrix tint;
    const bool tinted = colorMatrixOf(arg(args, 2), tint);
    const bool clipped = arg(args, 4).isObject();
    const bitmap::IntRect cut = clipped ? rectOf(vm, args[4]) : bitmap::IntRect{0, 0, p->width, p->height};
    if (const Pixels* src = live(source)) {
        bitmap::drawBitmap(*p, b->transparent, *src, m, tinted ? &tint : nullptr, cut);
    } else if (source->kind() == Object::Kind::Clip && vm.host()) {
        ClipColor color;
        for (int i = 0; i < 4; ++i) {
            color.mul[i] = static_cast<std::int16_t>(std::clamp(tint.mul[i] * 256, -32768.0, 32767.0));
            color.add[i] = static_cast<std::int16_t>(std::clamp(tint.add[i], -32768.0, 32767.0));
        }
        const ClipRect rect{double(cut.x), double(cut.y), double(cut.x) + cut.width, double(cut.y) + cut.height};
        vm.host()->drawClip(*p, static_cast<ClipObject*>(source)->clip, m, tinted ? &color : nullptr, &rect,
                            vm.toBoolean(arg(args, 5)));
        if (!b->transparent)
            for (std::uint32_t& w : p->argb)
                w |= 0xFF000000u;
    }
    changed(vm, *p);
    return Value();
}

// BitmapData.loadBitmap(linkageName): the exported bitmap's pixels in a new BitmapData.
Value bitmapLoadBitmap(Interpreter& vm, Object*, std::span<const Value> args) {
    if (!vm.host())
        return Value();
    bool transparent = true;
    auto pixels = vm.host()->exportedBitmap(vm.toString(arg(args, 0)), transparent);
    if (!pixels || !pixels->valid())
        return Value();
    const Value cls = vm.get(vm.get(vm.get(vm.global(), "flash"), "display"), "BitmapData");
    Object* proto = cls.object() ? vm.get(cls.object(), "prototype").object() : nullptr;
    auto* made = makeNative<BitmapDataObject>(vm, proto);
    made->transparent = transparent;
    if (!made->adopt(std::move(pixels)))
        return Value();
    return made;
}

// MovieClip.attachBitmap(bitmap, depth, pixelSnapping, smoothing).
Value clipAttachBitmap(Interpreter& vm, Object* self, std::span<const Value> args) {
    BitmapDataObject* b = bitmapOf(arg(args, 0));
    if (!b || !b->pixels || !vm.host() || !self || self->kind() != Object::Kind::Clip || args.size() < 2)
        return Value();
    const double depth = vm.toNumber(args[1]);
    if (!std::isfinite(depth))
        return Value();
    vm.host()->attachBitmap(static_cast<ClipObject*>(self)->clip, b->pixels, static_cast<int>(depth),
                            vm.toBoolean(arg(args, 3)));
    return Value();
}

// MovieClip.beginBitmapFill(bitmap, matrix, repeat = true, smoothing = false); anything but
// a live bitmap ends the fill.
Value clipBeginBitmapFill(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!vm.host() || !self || self->kind() != Object::Kind::Clip)
        return Value();
    const ClipId clip = static_cast<ClipObject*>(self)->clip;
    BitmapDataObject* b = bitmapOf(arg(args, 0));
    DrawOp op{.kind = DrawOp::Kind::EndFill};
    if (b && b->pixels) {
        DrawBitmap fill;
        fill.pixels = b->pixels;
        matrixOf(vm, arg(args, 1), fill.matrix);
        fill.repeat = args.size() > 2 ? vm.toBoolean(args[2]) : true;
        fill.smoothing = vm.toBoolean(arg(args, 3));
        op.kind = DrawOp::Kind::Fill;
        op.bitmap = std::move(fill);
    }
    if (vm.host()->exists(clip))
        vm.host()->draw(clip, op);
    return Value();
}

} // namespace

void installBitmapDataBuiltins(Interpreter& vm) {
    if (vm.version() < 8)
        return;
    Object* display = package(vm, package(vm, vm.global(), "flash"), "display");
    FunctionObject* cls = defineClass(vm, display, "BitmapData", bitmapConstruct);
    cls->allocate = allocateBitmapData;
    vm.defineMethod(cls, "loadBitmap", bitmapLoadBitmap);
    Object* proto = vm.get(cls, "prototype").object();
    defineAccessor(vm, proto, "width", getWidth, nullptr);
    defineAccessor(vm, proto, "height", getHeight, nullptr);
    defineAccessor(vm, proto, "transparent", getTransparent, nullptr);
    defineAccessor(vm, proto, "rectangle", getRectangle, nullptr);
    const std::pair<const char*, NativeFn> methods[] = {
        {"getPixel", bitmapGetPixel},     {"getPixel32", bitmapGetPixel32},
        {"setPixel", bitmapSetPixel},     {"setPixel32", bitmapSetPixel32},
        {"fillRect", bitmapFillRect},     {"floodFill", bitmapFloodFill},
        {"copyPixels", bitmapCopyPixels}, {"clone", bitmapClone},
        {"dispose", bitmapDispose},       {"scroll", bitmapScroll},
        {"colorTransform", bitmapColorTransform}, {"threshold", bitmapThreshold},
        {"copyChannel", bitmapCopyChannel}, {"merge", bitmapMerge},
        {"paletteMap", bitmapPaletteMap}, {"getColorBoundsRect", bitmapColorBounds},
        {"noise", bitmapNoise},           {"perlinNoise", bitmapPerlinNoise},
        {"hitTest", bitmapHitTest},       {"compare", bitmapCompare},
        {"draw", bitmapDraw}};
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn);
    if (vm.clipProto) {
        vm.defineMethod(vm.clipProto, "attachBitmap", clipAttachBitmap);
        vm.defineMethod(vm.clipProto, "beginBitmapFill", clipBeginBitmapFill);
    }
}

} // namespace swf::avm1
