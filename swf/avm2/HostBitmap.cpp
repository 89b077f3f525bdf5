// flash.display.BitmapData and Bitmap for ActionScript 3. The pixels are timeline::Pixels
// (premultiplied, as the renderer reads them) and the pixel work is the same code AS1/2's
// BitmapData uses (swf/avm1/BitmapPixels, which depends on the timeline's Pixels only).
// A Bitmap is an empty clip holding one bitmap object at depth 1 that shows the pixels;
// changes bump the pixels' revision and the world's generation, so the stage repaints.
// A class linked (SymbolClass) to a bitmap character starts with the character's image.
#include "swf/avm1/BitmapPixels.h"
#include "swf/avm2/HostDisplay.h"

#include "swf/Player.h"
#include "swf/format/Media.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/PictureServices.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/BitmapObject.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace swf::avm2 {

namespace {

using timeline::Pixels;
namespace bm = avm1::bitmap;

class BitmapDataObject : public Object {
public:
    std::shared_ptr<Pixels> pixels; // null: disposed, or not made yet
    bool transparent = true;
};

BitmapDataObject& dataOf(Machine& m, Value v) {
    return requireNative<BitmapDataObject>(m, v, "flash.display.BitmapData");
}

[[noreturn]] void invalid(Machine& m) {
    m.throwError(m.argumentErrorClass, 2015, "Invalid BitmapData.");
}

// The pixels of a live bitmap; ArgumentError #2015 once it is disposed.
Pixels& live(Machine& m, Value v, BitmapDataObject** out = nullptr) {
    BitmapDataObject& b = dataOf(m, v);
    if (!b.pixels)
        invalid(m);
    if (out)
        *out = &b;
    return *b.pixels;
}

void changed(HostState& host, Pixels& p) {
    ++p.revision;
    if (timeline::World* w = host.world())
        ++w->generation;
}

// Largest side 2880 pixels up to SWF 9, from SWF 10 on 8191 and at most 16,777,215 pixels.
bool sizeAllowed(HostState& host, double width, double height) {
    const movie::Movie* movie = host.player.movie();
    const bool newer = !movie || movie->version() >= 10;
    const double side = newer ? 8191 : 2880;
    if (!(width >= 1 && height >= 1 && width <= side && height <= side))
        return false;
    return !newer || width * height <= 16777215;
}

// Gives `b` its pixels, counted against the machine's native memory.
void adopt(Machine& m, BitmapDataObject& b, std::shared_ptr<Pixels> p) {
    m.holdNativeBytes(p->argb.size() * sizeof(std::uint32_t));
    b.pixels = std::move(p);
}

void dispose(Machine& m, BitmapDataObject& b) {
    if (!b.pixels)
        return;
    m.releaseNativeBytes(b.pixels->argb.size() * sizeof(std::uint32_t));
    // Bitmaps showing these pixels show nothing from now on.
    b.pixels->width = b.pixels->height = 0;
    b.pixels->argb.clear();
    b.pixels->argb.shrink_to_fit();
    ++b.pixels->revision;
    b.pixels.reset();
}

int whole(Machine& m, Value v) {
    double n = m.toNumber(v);
    return std::isfinite(n) ? static_cast<int>(std::clamp(std::trunc(n), -1e9, 1e9)) : 0;
}

double field(Machine& m, Value o, const char* name) {
    return m.toNumber(m.getProperty(o, Machine::publicName(name)));
}

// A Rectangle's x, y, width and height as whole pixels; TypeError #2007 for null.
bm::IntRect rectOf(Machine& m, Value v) {
    if (!v.isObject())
        m.typeError(2007, "Parameter rect must be non-null.");
    return bm::toIntRect(field(m, v, "x"), field(m, v, "y"), field(m, v, "width"), field(m, v, "height"));
}

std::pair<int, int> pointOf(Machine& m, Value v) {
    if (!v.isObject())
        return {0, 0};
    return {whole(m, m.getProperty(v, Machine::publicName("x"))), whole(m, m.getProperty(v, Machine::publicName("y")))};
}

Value makeRect(Machine& m, const bm::IntRect& r) {
    Value args[] = {Value::integer(r.x), Value::integer(r.y), Value::integer(r.width), Value::integer(r.height)};
    ClassObject* rect = m.findClass("flash.geom.Rectangle");
    return rect ? Value::object(m.constructInstance(rect, args)) : Value::null();
}

// A Matrix's a b c d tx ty (identity for null; a field that is no number counts as 0).
void matrixOf(Machine& m, Value v, double (&out)[6]) {
    if (!v.isObject())
        return;
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (int i = 0; i < 6; ++i) {
        double n = field(m, v, names[i]);
        out[i] = std::isfinite(n) ? n : 0;
    }
}

// The decoded image of the bitmap character linked to the class, or null.
std::shared_ptr<Pixels> linkedImage(HostState& host, ClassObject* cls, bool& transparent) {
    const format::Character* c = host.linkedCharacter(cls);
    timeline::Clip* root = host.root();
    if (!c || !root || !host.pictures)
        return nullptr;
    auto p = host.pictures->decodeBitmap(*root, *c, transparent);
    return p && p->valid() ? p : nullptr;
}

// new BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF).
void construct(HostState& host, Value self, std::span<Value> a) {
    Machine& m = host.machine;
    BitmapDataObject& b = dataOf(m, self);
    if (auto image = linkedImage(host, self.o->cls, b.transparent)) {
        adopt(m, b, std::move(image));
        return;
    }
    double width = m.toNumber(arg(a, 0)), height = m.toNumber(arg(a, 1));
    if (!sizeAllowed(host, std::trunc(width), std::trunc(height)))
        invalid(m);
    b.transparent = a.size() > 2 ? m.toBoolean(a[2]) : true;
    std::uint32_t fill = a.size() > 3 ? m.toUint(a[3]) : 0xFFFFFFFFu;
    if (!b.transparent)
        fill |= 0xFF000000u;
    auto p = std::make_shared<Pixels>();
    p->width = static_cast<int>(width);
    p->height = static_cast<int>(height);
    m.holdNativeBytes(static_cast<std::size_t>(p->width) * static_cast<std::size_t>(p->height) * 4);
    p->argb.assign(static_cast<std::size_t>(p->width) * static_cast<std::size_t>(p->height), bm::premultiply(fill));
    b.pixels = std::move(p);
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a BitmapData or a
// display object (through the drawing layer) into this one. Colour transforms and blend
// modes are not applied.
void draw(HostState& host, Value self, std::span<Value> a) {
    Machine& m = host.machine;
    BitmapDataObject* b;
    Pixels& p = live(m, self, &b);
    double matrix[6] = {1, 0, 0, 1, 0, 0};
    matrixOf(m, arg(a, 1), matrix);
    bm::IntRect cut = arg(a, 4).isObject() ? rectOf(m, a[4]) : bm::IntRect{0, 0, p.width, p.height};
    Value source = arg(a, 0);
    if (nativeOf<BitmapDataObject>(source)) {
        bm::drawBitmap(p, b->transparent, live(m, source), matrix, nullptr, cut);
    } else if (auto* h = nativeOf<DisplayHandle>(source)) {
        Located at = host.locate(*h);
        timeline::Clip* clip = at.clip;
        double area[4] = {std::max(0.0, double(cut.x)), std::max(0.0, double(cut.y)),
                          std::min(double(p.width), double(cut.x) + cut.width),
                          std::min(double(p.height), double(cut.y) + cut.height)};
        if (clip && host.pictures && area[2] > area[0] && area[3] > area[1])
            host.pictures->drawClip(*clip, p, matrix, nullptr, area, m.toBoolean(arg(a, 5)));
        if (!b->transparent)
            for (std::uint32_t& w : p.argb)
                w |= 0xFF000000u;
    } else {
        m.typeError(2007, "Parameter source must be non-null.");
    }
    changed(host, p);
}

using BitmapFn = std::function<Value(HostState&, Value self, std::span<Value>)>;

// A method that changes the receiver's pixels: `fn(machine, pixels, transparent, args)`.
using EditFn = std::function<void(Machine&, Pixels&, bool transparent, std::span<Value>)>;

void installPixelMethods(HostState& host, ClassObject* cls) {
    Machine& m = host.machine;
    HostState* s = &host;
    auto method = [&](const char* name, std::uint32_t length, BitmapFn fn) {
        m.defineMethod(cls, name, [s, fn](Machine&, Value self, std::span<Value> a) { return fn(*s, self, a); }, length);
    };
    auto edit = [&](const char* name, std::uint32_t length, EditFn fn) {
        method(name, length, [fn](HostState& h, Value self, std::span<Value> a) {
            BitmapDataObject* b;
            Pixels& p = live(h.machine, self, &b);
            fn(h.machine, p, b->transparent, a);
            changed(h, p);
            return Value();
        });
    };
    for (bool withAlpha : {false, true})
        method(withAlpha ? "getPixel32" : "getPixel", 2, [withAlpha](HostState& h, Value self, std::span<Value> a) {
            Pixels& p = live(h.machine, self);
            std::uint32_t c = bm::get(p, whole(h.machine, arg(a, 0)), whole(h.machine, arg(a, 1)));
            return Value::uinteger(withAlpha ? c : c & 0xFFFFFFu);
        });
    for (bool withAlpha : {false, true})
        edit(withAlpha ? "setPixel32" : "setPixel", 3, [withAlpha](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
            int x = whole(m, arg(a, 0)), y = whole(m, arg(a, 1));
            std::uint32_t c = m.toUint(arg(a, 2));
            if (!withAlpha)
                c = (bm::get(p, x, y) & 0xFF000000u) | (c & 0xFFFFFFu);
            bm::set(p, transparent, x, y, c);
        });
    edit("fillRect", 2, [](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
        bm::fillRect(p, transparent, rectOf(m, arg(a, 0)), m.toUint(arg(a, 1)));
    });
    edit("floodFill", 3, [](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
        bm::floodFill(p, transparent, whole(m, arg(a, 0)), whole(m, arg(a, 1)), m.toUint(arg(a, 2)));
    });
    edit("scroll", 2, [](Machine& m, Pixels& p, bool, std::span<Value> a) {
        bm::scroll(p, whole(m, arg(a, 0)), whole(m, arg(a, 1)));
    });
    // copyPixels(source, sourceRect, destPoint, alphaBitmapData, alphaPoint, mergeAlpha)
    edit("copyPixels", 6, [](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
        const Pixels& src = live(m, arg(a, 0));
        auto [x, y] = pointOf(m, arg(a, 2));
        bm::CopySource how;
        if (arg(a, 3).isObject()) {
            how.alpha = &live(m, a[3]);
            std::tie(how.alphaX, how.alphaY) = pointOf(m, arg(a, 4));
        }
        how.merge = m.toBoolean(arg(a, 5));
        bm::copyPixels(p, transparent, src, rectOf(m, arg(a, 1)), x, y, how);
    });
    // copyChannel(source, sourceRect, destPoint, sourceChannel, destChannel)
    edit("copyChannel", 5, [](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
        auto [x, y] = pointOf(m, arg(a, 2));
        bm::copyChannel(p, transparent, live(m, arg(a, 0)), rectOf(m, arg(a, 1)), x, y, whole(m, arg(a, 3)),
                        whole(m, arg(a, 4)));
    });
    // noise(seed, low = 0, high = 255, channelOptions = 7, grayScale = false)
    edit("noise", 5, [](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
        bm::noise(p, transparent, m.toUint(arg(a, 0)), a.size() > 1 ? whole(m, a[1]) : 0,
                  a.size() > 2 ? whole(m, a[2]) : 255, a.size() > 3 ? whole(m, a[3]) : 7, m.toBoolean(arg(a, 4)));
    });
    // perlinNoise(baseX, baseY, octaves, seed, stitch, fractalNoise, channelOptions = 7,
    // grayScale = false, offsets = null)
    edit("perlinNoise", 9, [](Machine& m, Pixels& p, bool transparent, std::span<Value> a) {
        bm::PerlinOptions o;
        o.baseX = m.toNumber(arg(a, 0));
        o.baseY = m.toNumber(arg(a, 1));
        o.octaves = std::clamp(whole(m, arg(a, 2)), 0, 32);
        o.seed = m.toUint(arg(a, 3));
        o.stitch = m.toBoolean(arg(a, 4));
        o.fractal = m.toBoolean(arg(a, 5));
        o.channels = a.size() > 6 ? whole(m, a[6]) : 7;
        o.grey = m.toBoolean(arg(a, 7));
        if (auto* offsets = arg(a, 8).isObject() && arg(a, 8).o->kind == ObjectKind::Array
                                ? static_cast<ArrayObject*>(a[8].o) : nullptr)
            for (std::size_t i = 0; i < offsets->elements.size() && i < 32; ++i)
                o.offsets.emplace_back(pointOf(m, offsets->elements[i]));
        bm::perlinNoise(p, transparent, o);
    });
    method("getColorBoundsRect", 3, [](HostState& h, Value self, std::span<Value> a) {
        Machine& m = h.machine;
        Pixels& p = live(m, self);
        return makeRect(m, bm::colorBounds(p, m.toUint(arg(a, 0)), m.toUint(arg(a, 1)),
                                           a.size() > 2 ? m.toBoolean(a[2]) : true));
    });
    method("draw", 6, [](HostState& h, Value self, std::span<Value> a) {
        draw(h, self, a);
        return Value();
    });
    method("clone", 0, [](HostState& h, Value self, std::span<Value>) {
        BitmapDataObject* b;
        Pixels& p = live(h.machine, self, &b);
        Object* made = h.machine.allocateInstance(self.o->cls);
        auto* copy = nativeOf<BitmapDataObject>(Value::object(made));
        if (!copy)
            return Value::null();
        copy->transparent = b->transparent;
        auto pixels = std::make_shared<Pixels>();
        pixels->width = p.width;
        pixels->height = p.height;
        pixels->argb = p.argb;
        adopt(h.machine, *copy, std::move(pixels));
        return Value::object(made);
    });
    method("dispose", 0, [](HostState& h, Value self, std::span<Value>) {
        dispose(h.machine, dataOf(h.machine, self));
        if (timeline::World* w = h.world())
            ++w->generation;
        return Value();
    });
    for (const char* name : {"lock", "unlock"})
        method(name, 0, [](HostState&, Value, std::span<Value>) { return Value(); });
}

// --- what games use for effects and collisions: colour transforms, thresholds, merges and
// palettes (the same pixel work AS1/2's BitmapData does), hit tests, and the pixels as bytes
// or as a Vector.<uint>.

// The pixels of a live bitmap, held: a script run meanwhile (a getter, valueOf) may dispose
// the BitmapData, which then leaves these empty rather than freed.
std::shared_ptr<Pixels> held(Machine& m, Value v, bool* transparent = nullptr) {
    BitmapDataObject* b;
    live(m, v, &b);
    if (transparent)
        *transparent = b->transparent;
    return b->pixels;
}

// Calls visit(x, y) for the pixels of `r`, row by row, while it answers true.
template <typename Visit>
void forEachPixel(const bm::IntRect& r, Visit visit) {
    for (int j = r.y; !r.empty() && j < r.y + r.height; ++j)
        for (int i = r.x; i < r.x + r.width; ++i)
            if (!visit(i, j))
                return;
}

bm::ColorMatrix colorMatrixOf(Machine& m, Value ct) {
    if (!ct.isObject())
        m.typeError(2007, "Parameter colorTransform must be non-null.");
    bm::ColorMatrix cm;
    const char* multipliers[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier"};
    const char* offsets[] = {"redOffset", "greenOffset", "blueOffset", "alphaOffset"};
    for (int i = 0; i < 4; ++i) {
        const double mul = field(m, ct, multipliers[i]), add = field(m, ct, offsets[i]);
        cm.mul[i] = std::isfinite(mul) ? mul : 0;
        cm.add[i] = std::isfinite(add) ? add : 0;
    }
    return cm;
}

// The 256 colours of a paletteMap channel; nullopt for null (the channel passes through).
bm::Palette paletteOf(Machine& m, Value v) {
    auto* list = v.isObject() && v.o->kind == ObjectKind::Array ? static_cast<ArrayObject*>(v.o) : nullptr;
    if (!list)
        return std::nullopt;
    std::array<std::uint32_t, 256> table{};
    for (std::size_t i = 0; i < table.size() && i < list->elements.size(); ++i)
        table[i] = m.toUint(list->elements[i]);
    return table;
}

bool hasClass(Machine& m, Value v, const char* name) {
    ClassObject* cls = m.findClass(name);
    return v.isObject() && cls && m.isType(v, cls);
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondBitmapDataPoint = null,
// secondAlphaThreshold = 1): the bitmap placed at firstPoint against a point, a rectangle, or
// another bitmap (a BitmapData or a Bitmap's) placed at its own point; a pixel counts when its
// alpha reaches the threshold.
bool hitTest(Machine& m, const Pixels& p, std::span<Value> a) {
    auto [x, y] = pointOf(m, arg(a, 0));
    const int threshold = static_cast<int>(std::min<std::uint32_t>(m.toUint(arg(a, 1)), 256));
    Value other = arg(a, 2);
    if (hasClass(m, other, "flash.display.Bitmap"))
        other = m.getProperty(other, Machine::publicName("bitmapData"));
    if (nativeOf<BitmapDataObject>(other)) {
        auto [qx, qy] = pointOf(m, arg(a, 3));
        const std::shared_ptr<Pixels> kept = held(m, other);
        const Pixels& q = *kept;
        const int qThreshold = static_cast<int>(std::min<std::uint32_t>(a.size() > 4 ? m.toUint(a[4]) : 1, 256));
        const int left = std::max(x, qx), top = std::max(y, qy);
        const int right = std::min(x + p.width, qx + q.width), bottom = std::min(y + p.height, qy + q.height);
        for (int j = top; j < bottom; ++j)
            for (int i = left; i < right; ++i)
                if (static_cast<int>(bm::get(p, i - x, j - y) >> 24) >= threshold &&
                    static_cast<int>(bm::get(q, i - qx, j - qy) >> 24) >= qThreshold)
                    return true;
        return false;
    }
    if (hasClass(m, other, "flash.geom.Rectangle"))
        return bm::anyOpaque(p, x, y, rectOf(m, other), threshold);
    if (hasClass(m, other, "flash.geom.Point")) {
        auto [px, py] = pointOf(m, other);
        px -= x;
        py -= y;
        return px >= 0 && py >= 0 && px < p.width && py < p.height && static_cast<int>(bm::get(p, px, py) >> 24) >= threshold;
    }
    m.throwError(m.argumentErrorClass, 2005, "Parameter 2 is of the incorrect type. Should be type Point, Rectangle, Bitmap or BitmapData.");
}

bm::Compare compareOf(const std::string& op, bool& known) {
    known = true;
    if (op == "<")
        return bm::Compare::Less;
    if (op == "<=")
        return bm::Compare::LessEqual;
    if (op == ">")
        return bm::Compare::Greater;
    if (op == ">=")
        return bm::Compare::GreaterEqual;
    if (op == "==")
        return bm::Compare::Equal;
    known = op == "!=";
    return bm::Compare::NotEqual;
}

void installPixelOps(HostState& host, ClassObject* cls) {
    Machine& m = host.machine;
    HostState* s = &host;
    auto method = [&](const char* name, std::uint32_t length, BitmapFn fn) {
        m.defineMethod(cls, name, [s, fn](Machine&, Value self, std::span<Value> a) { return fn(*s, self, a); }, length);
    };
    // colorTransform(rect, colorTransform)
    method("colorTransform", 2, [](HostState& h, Value self, std::span<Value> a) {
        const bm::IntRect r = rectOf(h.machine, arg(a, 0));
        const bm::ColorMatrix cm = colorMatrixOf(h.machine, arg(a, 1));
        bool transparent = true;
        std::shared_ptr<Pixels> p = held(h.machine, self, &transparent);
        bm::colorTransform(*p, transparent, r, cm);
        changed(h, *p);
        return Value();
    });
    // The methods that read (source, sourceRect, destPoint, ...): `fn` works on the held pixels
    // of both bitmaps with the rectangle and the point; what it returns is the method's result.
    using SourceFn = std::function<Value(Machine&, Pixels& dst, bool transparent, const Pixels& src, bm::IntRect r,
                                         int x, int y, std::span<Value> a)>;
    auto fromSource = [&](const char* name, std::uint32_t length, SourceFn fn) {
        method(name, length, [fn](HostState& h, Value self, std::span<Value> a) {
            Machine& m = h.machine;
            const bm::IntRect r = rectOf(m, arg(a, 1));
            auto [x, y] = pointOf(m, arg(a, 2));
            bool transparent = true;
            std::shared_ptr<Pixels> p = held(m, self, &transparent);
            std::shared_ptr<Pixels> src = held(m, arg(a, 0));
            Value out = fn(m, *p, transparent, *src, r, x, y, a);
            changed(h, *p);
            return out;
        });
    };
    // threshold(source, sourceRect, destPoint, operation, threshold, color = 0, mask = 0xFFFFFFFF,
    // copySource = false): how many pixels passed.
    fromSource("threshold", 8, [](Machine& m, Pixels& p, bool transparent, const Pixels& src, bm::IntRect r, int x, int y,
                                  std::span<Value> a) {
        bool known = false;
        const bm::Compare op = compareOf(m.toString(arg(a, 3)), known);
        const std::uint32_t value = m.toUint(arg(a, 4)), color = m.toUint(arg(a, 5));
        const std::uint32_t mask = a.size() > 6 ? m.toUint(a[6]) : 0xFFFFFFFFu;
        const bool copySource = m.toBoolean(arg(a, 7));
        if (!known)
            return Value::uinteger(0); // an operation Flash does not know changes nothing
        const int passed = bm::threshold(p, transparent, src, r, x, y, op, value, color, mask, copySource);
        return Value::uinteger(static_cast<std::uint32_t>(std::max(passed, 0)));
    });
    // merge(source, sourceRect, destPoint, redMultiplier, greenMultiplier, blueMultiplier, alphaMultiplier)
    fromSource("merge", 7, [](Machine& m, Pixels& p, bool transparent, const Pixels& src, bm::IntRect r, int x, int y,
                              std::span<Value> a) {
        std::array<int, 4> multipliers{};
        for (int i = 0; i < 4; ++i)
            multipliers[i] = std::clamp(whole(m, arg(a, 3 + i)), 0, 256);
        bm::merge(p, transparent, src, r, x, y, multipliers);
        return Value();
    });
    // paletteMap(source, sourceRect, destPoint, redArray = null, greenArray = null, blueArray = null, alphaArray = null)
    fromSource("paletteMap", 7, [](Machine& m, Pixels& p, bool transparent, const Pixels& src, bm::IntRect r, int x,
                                   int y, std::span<Value> a) {
        std::array<bm::Palette, 4> tables;
        for (int i = 0; i < 4; ++i)
            tables[i] = paletteOf(m, arg(a, 3 + i));
        bm::paletteMap(p, transparent, src, r, x, y, tables);
        return Value();
    });
    method("hitTest", 5, [](HostState& h, Value self, std::span<Value> a) {
        std::shared_ptr<Pixels> p = held(h.machine, self);
        return Value::boolean(hitTest(h.machine, *p, a));
    });
    // getPixels(rect): the straight colours, row by row, as big-endian unsigned ints.
    method("getPixels", 1, [](HostState& h, Value self, std::span<Value> a) {
        Machine& m = h.machine;
        const bm::IntRect asked = rectOf(m, arg(a, 0));
        const Pixels& p = live(m, self);
        const bm::IntRect r = bm::clipTo(p, asked);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(r.empty() ? 0 : static_cast<std::size_t>(r.width) * r.height * 4);
        forEachPixel(r, [&](int i, int j) {
            const std::uint32_t c = bm::get(p, i, j);
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c >> 24), static_cast<std::uint8_t>(c >> 16),
                                       static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
            return true;
        });
        return newByteArray(m, std::move(bytes));
    });
    // setPixels(rect, inputByteArray): one unsigned int a pixel from the array's position, in
    // its byte order; EOFError #2030 when it ends first (the pixels before stay set).
    method("setPixels", 2, [](HostState& h, Value self, std::span<Value> a) {
        Machine& m = h.machine;
        const bm::IntRect asked = rectOf(m, arg(a, 0));
        if (!byteArrayBytes(arg(a, 1)))
            m.typeError(2007, "Parameter inputByteArray must be non-null.");
        const bool little = m.toString(m.getProperty(a[1], Machine::publicName("endian"))) == "littleEndian";
        std::size_t at = m.toUint(m.getProperty(a[1], Machine::publicName("position")));
        const std::vector<std::uint8_t>* bytes = byteArrayBytes(a[1]);
        bool transparent = true;
        std::shared_ptr<Pixels> kept = held(m, self, &transparent);
        Pixels& p = *kept;
        const bm::IntRect r = bm::clipTo(p, asked);
        bool ended = false;
        forEachPixel(r, [&](int i, int j) {
            if (at > bytes->size() || bytes->size() - at < 4)
                return !(ended = true);
            const std::uint8_t* q = bytes->data() + at;
            const std::uint32_t c = little ? std::uint32_t{q[3]} << 24 | std::uint32_t{q[2]} << 16 | std::uint32_t{q[1]} << 8 | q[0]
                                           : std::uint32_t{q[0]} << 24 | std::uint32_t{q[1]} << 16 | std::uint32_t{q[2]} << 8 | q[3];
            bm::set(p, transparent, i, j, c);
            at += 4;
            return true;
        });
        changed(h, p);
        m.setProperty(a[1], Machine::publicName("position"), Value::uinteger(static_cast<std::uint32_t>(std::min(at, bytes->size()))));
        if (ended)
            m.throwError(m.findClass("flash.errors.EOFError"), 2030, "End of file was encountered.");
        return Value();
    });
    // getVector(rect): Vector.<uint> of the straight colours, row by row.
    method("getVector", 1, [](HostState& h, Value self, std::span<Value> a) {
        Machine& m = h.machine;
        const bm::IntRect asked = rectOf(m, arg(a, 0));
        const Pixels& p = live(m, self);
        const bm::IntRect r = bm::clipTo(p, asked);
        Value made = m.construct(Value::object(m.vectorOf(m.uintClass)), {});
        auto* list = nativeOf<ArrayObject>(made);
        if (list)
            forEachPixel(r, [&](int i, int j) {
                list->elements.push_back(Value::uinteger(bm::get(p, i, j)));
                return true;
            });
        return made;
    });
    // setVector(rect, inputVector): RangeError #1125 when the vector is shorter than the rectangle.
    method("setVector", 2, [](HostState& h, Value self, std::span<Value> a) {
        Machine& m = h.machine;
        const bm::IntRect asked = rectOf(m, arg(a, 0));
        bool transparent = true;
        std::shared_ptr<Pixels> kept = held(m, self, &transparent);
        Pixels& p = *kept;
        const bm::IntRect r = bm::clipTo(p, asked);
        auto* list = nativeOf<ArrayObject>(arg(a, 1));
        if (!list)
            m.typeError(2007, "Parameter inputVector must be non-null.");
        std::size_t at = 0;
        forEachPixel(r, [&](int i, int j) {
            if (at >= list->elements.size())
                return false;
            const std::uint32_t c = m.toUint(list->elements[at++]);
            bm::set(p, transparent, i, j, c);
            return true;
        });
        changed(h, p);
        if (at < static_cast<std::size_t>(std::max(r.width, 0)) * static_cast<std::size_t>(std::max(r.height, 0)))
            m.rangeError(1125, "The index " + std::to_string(at) + " is out of range " +
                                   std::to_string(list->elements.size()) + ".");
        return Value();
    });
}

// --- Bitmap

// Shows `data` (or nothing) in the Bitmap's clip.
void show(HostState& host, DisplayHandle& h, Value data) {
    static const format::BitmapCharacter kScriptBitmap;
    h.extras["bitmapData"] = data;
    Located at = host.locate(h);
    timeline::World* w = host.world();
    if (!at.clip || !w)
        return;
    auto* b = nativeOf<BitmapDataObject>(data);
    if (!b || !b->pixels) {
        w->remove(*at.clip, 1);
    } else {
        timeline::PlaceState state;
        state.depth = 1;
        timeline::DisplayObject* o = w->createByScript(*at.clip, state, &kScriptBitmap);
        if (auto* shown = o ? o->as<timeline::BitmapObject>() : nullptr) {
            shown->pixels = b->pixels;
            Value smoothing = h.extras["smoothing"];
            shown->smoothing = smoothing.tag == Tag::Boolean && smoothing.b;
        }
    }
    ++w->generation;
}

void installBitmap(HostState& host, ClassObject* bitmap, ClassObject* bitmapData) {
    Machine& m = host.machine;
    HostState* s = &host;
    // new Bitmap(bitmapData = null, pixelSnapping = "auto", smoothing = false); a class linked
    // to a bitmap character shows the character's image.
    bitmap->init = m.newNative("Bitmap", [s, bitmapData](Machine& m, Value self, std::span<Value> a) {
        DisplayHandle* h = s->handleOf(self);
        s->createOffList(*h);
        h->extras["smoothing"] = Value::boolean(m.toBoolean(arg(a, 2)));
        Value data = arg(a, 0);
        bool transparent = true;
        if (data.isNullish())
            if (auto image = linkedImage(*s, self.o->cls, transparent)) {
                Object* made = m.allocateInstance(bitmapData);
                auto* b = nativeOf<BitmapDataObject>(Value::object(made));
                b->transparent = transparent;
                adopt(m, *b, std::move(image));
                data = Value::object(made);
            }
        if (!data.isNullish())
            dataOf(m, data);
        show(*s, *h, data.isNullish() ? Value::null() : data);
        return Value();
    }, 3);
    defineAccessor(
        m, bitmap, "bitmapData",
        [s](Machine&, Value self, std::span<Value>) {
            auto& extras = s->handleOf(self)->extras;
            auto it = extras.find("bitmapData");
            return it == extras.end() ? Value::null() : it->second;
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            if (!arg(a, 0).isNullish())
                dataOf(m, a[0]);
            show(*s, *s->handleOf(self), arg(a, 0).isNullish() ? Value::null() : a[0]);
            return Value();
        });
    defineAccessor(
        m, bitmap, "smoothing",
        [s](Machine&, Value self, std::span<Value>) {
            Value v = s->handleOf(self)->extras["smoothing"];
            return Value::boolean(v.tag == Tag::Boolean && v.b);
        },
        [s](Machine& m, Value self, std::span<Value> a) {
            DisplayHandle* h = s->handleOf(self);
            h->extras["smoothing"] = Value::boolean(m.toBoolean(arg(a, 0)));
            show(*s, *h, h->extras["bitmapData"]);
            return Value();
        });
    defineAccessor(
        m, bitmap, "pixelSnapping", [](Machine& m, Value, std::span<Value>) { return m.string("auto"); },
        [](Machine&, Value, std::span<Value>) { return Value(); });
}

} // namespace

Value makeBitmap(HostState& host, std::shared_ptr<Pixels> pixels, bool transparent) {
    Machine& m = host.machine;
    ClassObject* dataClass = m.findClass("flash.display.BitmapData");
    ClassObject* bitmapClass = m.findClass("flash.display.Bitmap");
    auto* b = dataClass ? nativeOf<BitmapDataObject>(Value::object(m.allocateInstance(dataClass))) : nullptr;
    if (!b || !bitmapClass)
        return Value::null();
    b->transparent = transparent;
    adopt(m, *b, std::move(pixels));
    Value args[] = {Value::object(b)};
    return Value::object(m.constructInstance(bitmapClass, args));
}

void installBitmapClasses(HostState& host, ClassObject* displayObject) {
    Machine& m = host.machine;
    HostState* s = &host;
    ClassObject* data = m.defineNativeClass("flash.display", "BitmapData", m.objectClass);
    data->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<BitmapDataObject>()); };
    data->init = m.newNative("BitmapData", [s](Machine&, Value self, std::span<Value> a) {
        construct(*s, self, a);
        return Value();
    }, 4);
    for (const char* side : {"width", "height"})
        m.defineGetter(data, side, [side](Machine& m, Value self, std::span<Value>) {
            Pixels& p = live(m, self);
            return Value::integer(side[0] == 'w' ? p.width : p.height);
        });
    m.defineGetter(data, "transparent", [](Machine& m, Value self, std::span<Value>) {
        BitmapDataObject* b;
        live(m, self, &b);
        return Value::boolean(b->transparent);
    });
    m.defineGetter(data, "rect", [](Machine& m, Value self, std::span<Value>) {
        Pixels& p = live(m, self);
        return makeRect(m, {0, 0, p.width, p.height});
    });
    installPixelMethods(host, data);
    installPixelOps(host, data);
    ClassObject* bitmap = m.defineNativeClass("flash.display", "Bitmap", displayObject);
    installBitmap(host, bitmap, data);
}

} // namespace swf::avm2
