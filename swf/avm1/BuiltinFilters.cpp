// flash.filters: BitmapFilter and its subclasses as data objects. A constructor
// converts each argument the way Flash's did (numbers clamped to the filter's range,
// colours to 24 bits, quality to 0..15), leaves out-of-range or missing ones at the
// class default, and `clone` makes the same class with the same fields. One table
// describes every class.

#include "BuiltinSupport.h"

#include "swf/format/Records.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace swf::avm1 {

namespace {

enum class Kind : std::uint8_t { Number, Range, Integer, Color, Alpha, Boolean, Text, Array, Object };

struct Field {
    const char* name;
    Kind kind;
    double fallback; // numbers, booleans (0/1); text fields use `text`
    double low = 0, high = 0;
    const char* text = nullptr;
};

struct FilterClass {
    const char* name;
    std::vector<Field> fields;
};

const Field kBlurX{"blurX", Kind::Range, 4, 0, 255};
const Field kBlurY{"blurY", Kind::Range, 4, 0, 255};
const Field kQuality{"quality", Kind::Integer, 1, 0, 15};
const Field kDistance{"distance", Kind::Number, 4};
const Field kAngle{"angle", Kind::Number, 45};
const Field kStrength{"strength", Kind::Range, 1, 0, 255};
const Field kKnockout{"knockout", Kind::Boolean, 0};
const Field kInner{"inner", Kind::Boolean, 0};
const Field kType{"type", Kind::Text, 0, 0, 0, "inner"};

const std::vector<FilterClass>& classes() {
    static const std::vector<FilterClass> table = {
        {"BlurFilter", {kBlurX, kBlurY, kQuality}},
        {"DropShadowFilter",
         {kDistance, kAngle, {"color", Kind::Color, 0}, {"alpha", Kind::Alpha, 1}, kBlurX, kBlurY, kStrength,
          kQuality, kInner, kKnockout, {"hideObject", Kind::Boolean, 0}}},
        {"GlowFilter",
         {{"color", Kind::Color, 0xFF0000}, {"alpha", Kind::Alpha, 1}, {"blurX", Kind::Range, 6, 0, 255},
          {"blurY", Kind::Range, 6, 0, 255}, {"strength", Kind::Range, 2, 0, 255}, kQuality, kInner, kKnockout}},
        {"BevelFilter",
         {kDistance, kAngle, {"highlightColor", Kind::Color, 0xFFFFFF}, {"highlightAlpha", Kind::Alpha, 1},
          {"shadowColor", Kind::Color, 0}, {"shadowAlpha", Kind::Alpha, 1}, kBlurX, kBlurY, kStrength, kQuality,
          kType, kKnockout}},
        {"GradientGlowFilter",
         {kDistance, kAngle, {"colors", Kind::Array, 0}, {"alphas", Kind::Array, 0}, {"ratios", Kind::Array, 0},
          kBlurX, kBlurY, kStrength, kQuality, {"type", Kind::Text, 0, 0, 0, "outer"}, kKnockout}},
        {"GradientBevelFilter",
         {kDistance, kAngle, {"colors", Kind::Array, 0}, {"alphas", Kind::Array, 0}, {"ratios", Kind::Array, 0},
          kBlurX, kBlurY, kStrength, kQuality, kType, kKnockout}},
        {"ColorMatrixFilter", {{"matrix", Kind::Array, 0}}},
        {"ConvolutionFilter",
         {{"matrixX", Kind::Integer, 0, 0, 15}, {"matrixY", Kind::Integer, 0, 0, 15}, {"matrix", Kind::Array, 0},
          {"divisor", Kind::Number, 1}, {"bias", Kind::Number, 0}, {"preserveAlpha", Kind::Boolean, 1},
          {"clamp", Kind::Boolean, 1}, {"color", Kind::Color, 0}, {"alpha", Kind::Alpha, 0}}},
        {"DisplacementMapFilter",
         {{"mapBitmap", Kind::Object, 0}, {"mapPoint", Kind::Object, 0}, {"componentX", Kind::Integer, 0, 0, 8},
          {"componentY", Kind::Integer, 0, 0, 8}, {"scaleX", Kind::Number, 0}, {"scaleY", Kind::Number, 0},
          {"mode", Kind::Text, 0, 0, 0, "wrap"}, {"color", Kind::Color, 0}, {"alpha", Kind::Alpha, 0}}},
    };
    return table;
}

// Fields per class, in the order of classes() (the accessors are made at compile time).
constexpr std::size_t kFieldCounts[] = {3, 11, 8, 12, 11, 11, 1, 9, 9};

const double kIdentityMatrix[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

Value defaultOf(Interpreter& vm, const FilterClass& cls, const Field& f) {
    switch (f.kind) {
    case Kind::Boolean:
        return f.fallback != 0;
    case Kind::Text:
        return f.text;
    case Kind::Array: {
        std::vector<Value> items;
        if (std::string_view(cls.name) == "ColorMatrixFilter")
            items.assign(std::begin(kIdentityMatrix), std::end(kIdentityMatrix));
        return vm.newArray(std::move(items));
    }
    case Kind::Object:
        return Value::null();
    default:
        return f.fallback;
    }
}

Value converted(Interpreter& vm, const FilterClass& cls, const Field& f, const Value& v) {
    if (v.isUndefined())
        return defaultOf(vm, cls, f);
    const double n = vm.toNumber(v);
    switch (f.kind) {
    case Kind::Number:
        return std::isfinite(n) ? n : f.fallback;
    case Kind::Range:
        return std::isnan(n) ? f.fallback : std::clamp(n, f.low, f.high);
    case Kind::Integer:
        return std::isnan(n) ? f.fallback : std::clamp(std::trunc(n), f.low, f.high);
    case Kind::Color:
        return static_cast<double>(toUint32(n) & 0xFFFFFF);
    case Kind::Alpha:
        return std::isnan(n) ? f.fallback : std::clamp(n, 0.0, 1.0);
    case Kind::Boolean:
        return vm.toBoolean(v);
    case Kind::Text:
        return vm.toString(v);
    case Kind::Array:
        return v.object() && v.object()->kind() == Object::Kind::Array
                   ? Value(vm.newArray(static_cast<ArrayObject*>(v.object())->elements))
                   : defaultOf(vm, cls, f);
    case Kind::Object:
        return v;
    }
    return v;
}

// A filter's fields live in the object, not in its properties: scripts reach them through
// accessors on each class's prototype, as Flash's native filters had them.
class FilterObject : public Object {
public:
    explicit FilterObject(Object* proto) : Object(Kind::Plain, proto) {}
    const FilterClass* cls = nullptr;
    std::vector<Value> fields;
    void references(std::vector<Object*>& out) const override {
        Object::references(out);
        for (const Value& v : fields)
            if (Object* o = v.object())
                out.push_back(o);
    }
};

Object* allocateFilter(Interpreter& vm, Object* proto) {
    return makeNative<FilterObject>(vm, proto);
}

FilterObject* filterOf(Object* self) {
    auto* f = dynamic_cast<FilterObject*>(self);
    return f && f->cls ? f : nullptr;
}

const FilterClass* classOf(Interpreter&, Object* self) {
    const FilterObject* f = filterOf(self);
    return f ? f->cls : nullptr;
}

// An array field reads as a copy, so changing it changes nothing until it is set back.
template <std::size_t C, std::size_t F> Value getField(Interpreter& vm, Object* self, std::span<const Value>) {
    FilterObject* f = filterOf(self);
    if (!f || f->cls != &classes()[C])
        return Value();
    const Value& v = f->fields[F];
    if (Object* a = v.object(); a && a->kind() == Object::Kind::Array)
        return vm.newArray(static_cast<ArrayObject*>(a)->elements);
    return v;
}

template <std::size_t C, std::size_t F> Value setField(Interpreter& vm, Object* self, std::span<const Value> args) {
    FilterObject* f = filterOf(self);
    const FilterClass& cls = classes()[C];
    if (f && f->cls == &cls)
        f->fields[F] = converted(vm, cls, cls.fields[F], arg(args, 0));
    return Value();
}

template <std::size_t C, std::size_t... F> void defineFields(Interpreter& vm, Object* proto, std::index_sequence<F...>) {
    (defineAccessor(vm, proto, classes()[C].fields[F].name, getField<C, F>, setField<C, F>, 0), ...);
}

template <std::size_t I> Value construct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self || !vm.isConstructing(self))
        return Value();
    const FilterClass& cls = classes()[I];
    // Flash left the instance's __constructor__ enumerable.
    if (Property* p = self->own(vm.key("__constructor__")))
        p->flags = 0;
    auto* f = dynamic_cast<FilterObject*>(self);
    if (!f) { // a script class that did not come through the filter's allocator
        for (std::size_t i = 0; i < cls.fields.size(); ++i)
            vm.set(self, cls.fields[i].name, converted(vm, cls, cls.fields[i], arg(args, i)));
        return Value();
    }
    f->cls = &cls;
    f->fields.clear();
    for (std::size_t i = 0; i < cls.fields.size(); ++i)
        f->fields.push_back(converted(vm, cls, cls.fields[i], arg(args, i)));
    return Value();
}

Value clone(Interpreter& vm, Object* self, std::span<const Value>) {
    const FilterClass* cls = classOf(vm, self);
    if (!cls)
        return Value();
    std::vector<Value> args;
    for (const Field& f : cls->fields)
        args.push_back(vm.get(self, f.name));
    return vm.construct(vm.get(vm.get(vm.get(vm.global(), "flash"), "filters"), cls->name), args);
}

Value baseConstruct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

// Each class's prototype is a BitmapFilter made by `new` (so it has a __constructor__ and
// no constructor of its own) carrying the field accessors.
template <std::size_t I> void defineSubclass(Interpreter& vm, Object* package, Object* baseProto,
                                             FunctionObject* base) {
    FunctionObject* c = defineClass(vm, package, classes()[I].name, construct<I>);
    c->allocate = allocateFilter;
    Object* proto = vm.get(c, "prototype").object();
    proto->erase(vm.key("constructor"));
    proto->setProto(baseProto);
    vm.define(proto, "__constructor__", base, kDontEnum);
    defineFields<I>(vm, proto, std::make_index_sequence<kFieldCounts[I]>{});
}

template <std::size_t... I> void defineSubclasses(Interpreter& vm, Object* package, Object* baseProto,
                                                  FunctionObject* base, std::index_sequence<I...>) {
    (defineSubclass<I>(vm, package, baseProto, base), ...);
}

} // namespace

// --- clip.filters: the renderer draws format::Filter records; scripts see filter objects.

namespace {

format::Rgba colorOf(Interpreter& vm, Object* o, const char* color, const char* alpha) {
    const std::uint32_t rgb = toUint32(numberField(vm, o, color));
    const double a = std::clamp(numberField(vm, o, alpha), 0.0, 1.0);
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb),
            static_cast<std::uint8_t>(std::isnan(a) ? 0 : std::lround(a * 255))};
}

double rgbOf(format::Rgba c) {
    return static_cast<double>((c.r << 16) | (c.g << 8) | c.b);
}

// An array field's numbers, at most `limit` of them.
std::vector<double> numbersOf(Interpreter& vm, Object* o, const char* name, std::size_t limit) {
    std::vector<double> out;
    Object* a = vm.get(o, name).object();
    if (a && a->kind() == Object::Kind::Array)
        for (const Value& v : static_cast<ArrayObject*>(a)->elements)
            if (out.size() < limit)
                out.push_back(vm.toNumber(v));
    return out;
}

Value numbersArray(Interpreter& vm, const auto& values, double scale = 1) {
    std::vector<Value> items;
    for (const auto& v : values)
        items.emplace_back(static_cast<double>(v) * scale);
    return vm.newArray(std::move(items));
}

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

} // namespace

bool filterRecord(Interpreter& vm, Object* o, format::Filter& f) {
    const FilterClass* cls = classOf(vm, o);
    if (!cls)
        return false;
    const std::string_view name = cls->name;
    const auto number = [&](const char* field) {
        const double n = numberField(vm, o, field);
        return std::isfinite(n) ? n : 0.0;
    };
    const auto flag = [&](const char* field) { return vm.toBoolean(vm.get(o, field)); };
    f = {};
    f.blurX = number("blurX");
    f.blurY = number("blurY");
    f.passes = static_cast<int>(number("quality"));
    f.strength = number("strength");
    f.distance = number("distance");
    f.angle = number("angle") / kDegrees;
    f.knockout = flag("knockout");
    f.inner = flag("inner");
    f.compositeSource = true;
    const std::string type = vm.toString(vm.get(o, "type"));
    if (name == "BlurFilter") {
        f.type = format::FilterType::Blur;
    } else if (name == "DropShadowFilter" || name == "GlowFilter") {
        f.type = name == "GlowFilter" ? format::FilterType::Glow : format::FilterType::DropShadow;
        f.color = colorOf(vm, o, "color", "alpha");
        f.compositeSource = !flag("hideObject");
    } else if (name == "BevelFilter" || name == "GradientGlowFilter" || name == "GradientBevelFilter") {
        f.inner = type == "inner";
        f.onTop = type == "full";
        f.type = format::FilterType::Bevel;
        f.color = colorOf(vm, o, "shadowColor", "shadowAlpha");
        f.highlightColor = colorOf(vm, o, "highlightColor", "highlightAlpha");
        if (name != "BevelFilter") {
            f.type = name == "GradientGlowFilter" ? format::FilterType::GradientGlow
                                                  : format::FilterType::GradientBevel;
            const auto colors = numbersOf(vm, o, "colors", 16);
            const auto alphas = numbersOf(vm, o, "alphas", colors.size());
            const auto ratios = numbersOf(vm, o, "ratios", colors.size());
            if (alphas.size() != colors.size() || ratios.size() != colors.size())
                return false;
            for (std::size_t i = 0; i < colors.size(); ++i) {
                format::Rgba c{};
                c.r = static_cast<std::uint8_t>(toUint32(colors[i]) >> 16);
                c.g = static_cast<std::uint8_t>(toUint32(colors[i]) >> 8);
                c.b = static_cast<std::uint8_t>(toUint32(colors[i]));
                c.a = static_cast<std::uint8_t>(std::lround(std::clamp(alphas[i], 0.0, 1.0) * 255));
                f.gradientColors.push_back(c);
                f.gradientRatios.push_back(static_cast<std::uint8_t>(std::clamp(ratios[i], 0.0, 255.0)));
            }
        }
    } else if (name == "ColorMatrixFilter") {
        f.type = format::FilterType::ColorMatrix;
        const auto m = numbersOf(vm, o, "matrix", 20);
        std::copy(m.begin(), m.end(), f.colorMatrix.begin());
    } else if (name == "ConvolutionFilter") {
        f.type = format::FilterType::Convolution;
        f.matrixX = static_cast<int>(number("matrixX"));
        f.matrixY = static_cast<int>(number("matrixY"));
        const auto m = numbersOf(vm, o, "matrix", static_cast<std::size_t>(f.matrixX * f.matrixY));
        f.convolution.assign(m.begin(), m.end());
        f.convolution.resize(static_cast<std::size_t>(f.matrixX * f.matrixY), 0.0f);
        f.divisor = static_cast<float>(number("divisor"));
        f.bias = static_cast<float>(number("bias"));
        f.preserveAlpha = flag("preserveAlpha");
        f.clamp = flag("clamp");
        f.defaultColor = colorOf(vm, o, "color", "alpha");
    } else {
        return false; // DisplacementMapFilter: not drawn
    }
    return true;
}

Value filterObject(Interpreter& vm, const format::Filter& f) {
    const auto alpha = [](format::Rgba c) { return c.a / 255.0; };
    const char* bevelType = f.onTop ? "full" : (f.inner ? "inner" : "outer");
    const Value quality = f.passes, angle = f.angle * kDegrees;
    std::vector<Value> args;
    const char* name = nullptr;
    switch (f.type) {
    case format::FilterType::Blur:
        name = "BlurFilter";
        args = {f.blurX, f.blurY, quality};
        break;
    case format::FilterType::DropShadow:
        name = "DropShadowFilter";
        args = {f.distance, angle, rgbOf(f.color), alpha(f.color), f.blurX, f.blurY, f.strength, quality, f.inner,
                f.knockout, !f.compositeSource};
        break;
    case format::FilterType::Glow:
        name = "GlowFilter";
        args = {rgbOf(f.color), alpha(f.color), f.blurX, f.blurY, f.strength, quality, f.inner, f.knockout};
        break;
    case format::FilterType::Bevel:
        name = "BevelFilter";
        args = {f.distance,       angle,    rgbOf(f.highlightColor), alpha(f.highlightColor),
                rgbOf(f.color),   alpha(f.color), f.blurX, f.blurY, f.strength, quality, bevelType, f.knockout};
        break;
    case format::FilterType::GradientGlow:
    case format::FilterType::GradientBevel: {
        name = f.type == format::FilterType::GradientGlow ? "GradientGlowFilter" : "GradientBevelFilter";
        std::vector<double> colors, alphas;
        for (format::Rgba c : f.gradientColors) {
            colors.push_back(rgbOf(c));
            alphas.push_back(alpha(c));
        }
        args = {f.distance, angle,   numbersArray(vm, colors), numbersArray(vm, alphas),
                numbersArray(vm, f.gradientRatios), f.blurX, f.blurY, f.strength, quality, bevelType, f.knockout};
        break;
    }
    case format::FilterType::ColorMatrix:
        name = "ColorMatrixFilter";
        args = {numbersArray(vm, f.colorMatrix)};
        break;
    case format::FilterType::Convolution:
        name = "ConvolutionFilter";
        args = {f.matrixX,      f.matrixY, numbersArray(vm, f.convolution), f.divisor, f.bias, f.preserveAlpha,
                f.clamp,        rgbOf(f.defaultColor), alpha(f.defaultColor)};
        break;
    }
    return name ? vm.construct(vm.get(vm.get(vm.get(vm.global(), "flash"), "filters"), name), args) : Value();
}

void installFilterBuiltins(Interpreter& vm) {
    if (vm.version() < 6)
        return; // SWF 5 movies never reach the flash package
    for (std::size_t i = 0; i < std::size(kFieldCounts); ++i)
        assert(classes()[i].fields.size() == kFieldCounts[i]);
    Object* filters = package(vm, package(vm, vm.global(), "flash"), "filters");
    FunctionObject* base = defineClass(vm, filters, "BitmapFilter", baseConstruct);
    Object* baseProto = vm.get(base, "prototype").object();
    // clone is listed, and only Flash 8 movies see it.
    vm.defineMethod(baseProto, "clone", clone, kSwf8Up);
    defineSubclasses(vm, filters, baseProto, base, std::make_index_sequence<9>{});
}

} // namespace swf::avm1
