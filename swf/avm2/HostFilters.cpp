// flash.filters: BitmapFilter and its subclasses as classes of public variables (the
// constructor's parameters, in order, with the documented defaults), and the conversion
// between them and the filter records the renderer draws. DisplacementMapFilter and
// ShaderFilter are data only: the renderer has no such filter, so they draw nothing.
#include "swf/avm2/HostFilters.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

enum class Kind : std::uint8_t { Number, Int, Uint, Bool, Text, Array, Any };

struct Field {
    const char* name;
    Kind kind;
    double number = 0;
    const char* text = nullptr;
};

struct FilterClass {
    const char* name;
    std::vector<Field> fields;
};

const std::vector<FilterClass>& filterClasses() {
    const Field distance{"distance", Kind::Number, 4}, angle{"angle", Kind::Number, 45};
    const Field blurX{"blurX", Kind::Number, 4}, blurY{"blurY", Kind::Number, 4};
    const Field strength{"strength", Kind::Number, 1}, quality{"quality", Kind::Int, 1};
    const Field inner{"inner", Kind::Bool}, knockout{"knockout", Kind::Bool};
    const Field colors{"colors", Kind::Array}, alphas{"alphas", Kind::Array}, ratios{"ratios", Kind::Array};
    static const std::vector<FilterClass> table = {
        {"BlurFilter", {blurX, blurY, quality}},
        {"DropShadowFilter", {distance, angle, {"color", Kind::Uint}, {"alpha", Kind::Number, 1}, blurX, blurY, strength,
                              quality, inner, knockout, {"hideObject", Kind::Bool}}},
        {"GlowFilter", {{"color", Kind::Uint, 0xFF0000}, {"alpha", Kind::Number, 1}, {"blurX", Kind::Number, 6},
                        {"blurY", Kind::Number, 6}, {"strength", Kind::Number, 2}, quality, inner, knockout}},
        {"BevelFilter", {distance, angle, {"highlightColor", Kind::Uint, 0xFFFFFF}, {"highlightAlpha", Kind::Number, 1},
                         {"shadowColor", Kind::Uint}, {"shadowAlpha", Kind::Number, 1}, blurX, blurY, strength,
                         quality, {"type", Kind::Text, 0, "inner"}, knockout}},
        {"GradientGlowFilter", {distance, angle, colors, alphas, ratios, blurX, blurY, strength, quality,
                                {"type", Kind::Text, 0, "inner"}, knockout}},
        {"GradientBevelFilter", {distance, angle, colors, alphas, ratios, blurX, blurY, strength, quality,
                                 {"type", Kind::Text, 0, "inner"}, knockout}},
        {"ColorMatrixFilter", {{"matrix", Kind::Array}}},
        {"ConvolutionFilter", {{"matrixX", Kind::Number}, {"matrixY", Kind::Number}, {"matrix", Kind::Array},
                               {"divisor", Kind::Number, 1}, {"bias", Kind::Number}, {"preserveAlpha", Kind::Bool, 1},
                               {"clamp", Kind::Bool, 1}, {"color", Kind::Uint}, {"alpha", Kind::Number}}},
        {"DisplacementMapFilter", {{"mapBitmap", Kind::Any}, {"mapPoint", Kind::Any}, {"componentX", Kind::Uint},
                                   {"componentY", Kind::Uint}, {"scaleX", Kind::Number}, {"scaleY", Kind::Number},
                                   {"mode", Kind::Text, 0, "wrap"}, {"color", Kind::Uint}, {"alpha", Kind::Number}}},
        {"ShaderFilter", {{"shader", Kind::Any}}},
    };
    return table;
}

Value fieldValue(Machine& m, const Field& f, Value given) {
    if (given.isUndefined()) {
        switch (f.kind) {
        case Kind::Text: return m.string(f.text);
        case Kind::Bool: return Value::boolean(f.number != 0);
        case Kind::Array: case Kind::Any: return Value::null();
        default: given = Machine::numberValue(f.number);
        }
    }
    switch (f.kind) {
    case Kind::Number: return Value::number(m.toNumber(given));
    case Kind::Int: return Value::integer(m.toInt(given));
    case Kind::Uint: return Value::uinteger(m.toUint(given));
    case Kind::Bool: return Value::boolean(m.toBoolean(given));
    case Kind::Text: return m.string(m.toString(given));
    case Kind::Array: case Kind::Any: return given;
    }
    return given;
}

const FilterClass* classOf(Machine& m, Value v) {
    for (ClassObject* c = m.classOf(v); c; c = c->super)
        for (const FilterClass& fc : filterClasses())
            if (c->name == fc.name && c->qualified == std::string("flash.filters::") + fc.name)
                return &fc;
    return nullptr;
}

double number(Machine& m, Value o, const char* name) {
    double d = m.toNumber(m.getProperty(o, Machine::publicName(name)));
    return std::isfinite(d) ? d : 0;
}

format::Rgba colorOf(Machine& m, Value o, const char* color, const char* alpha) {
    std::uint32_t rgb = m.toUint(m.getProperty(o, Machine::publicName(color)));
    double a = std::clamp(number(m, o, alpha), 0.0, 1.0);
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb),
            static_cast<std::uint8_t>(std::lround(a * 255))};
}

// The numbers of an Array field, at most `limit`.
std::vector<double> numbers(Machine& m, Value o, const char* name, std::size_t limit) {
    std::vector<double> out;
    Value v = m.getProperty(o, Machine::publicName(name));
    if (v.isObject() && v.o->kind == ObjectKind::Array)
        for (const Value& e : static_cast<ArrayObject*>(v.o)->elements) {
            if (out.size() >= limit)
                break;
            out.push_back(m.toNumber(e));
        }
    return out;
}

Value numberArray(Machine& m, const auto& values, double scale = 1) {
    std::vector<Value> out;
    for (auto v : values)
        out.push_back(Machine::numberValue(static_cast<double>(v) * scale));
    return Value::object(m.newArray(std::move(out)));
}

double rgb(format::Rgba c) {
    return static_cast<double>(std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
}

} // namespace

bool filterRecord(Machine& m, Value o, format::Filter& f) {
    const FilterClass* cls = classOf(m, o);
    if (!cls)
        return false;
    const std::string_view name = cls->name;
    auto flag = [&](const char* field) { return m.toBoolean(m.getProperty(o, Machine::publicName(field))); };
    f = {};
    if (name != "ColorMatrixFilter" && name != "ConvolutionFilter") {
        f.blurX = std::clamp(number(m, o, "blurX"), 0.0, 255.0);
        f.blurY = std::clamp(number(m, o, "blurY"), 0.0, 255.0);
        f.passes = static_cast<int>(std::clamp(number(m, o, "quality"), 0.0, 15.0));
    }
    if (name != "BlurFilter" && name != "ColorMatrixFilter" && name != "ConvolutionFilter") {
        f.strength = std::clamp(number(m, o, "strength"), 0.0, 255.0);
        f.knockout = flag("knockout");
    }
    f.compositeSource = true;
    if (name == "BlurFilter") {
        f.type = format::FilterType::Blur;
    } else if (name == "DropShadowFilter" || name == "GlowFilter") {
        f.type = name == "GlowFilter" ? format::FilterType::Glow : format::FilterType::DropShadow;
        f.color = colorOf(m, o, "color", "alpha");
        f.inner = flag("inner");
        if (name == "DropShadowFilter") {
            f.distance = number(m, o, "distance");
            f.angle = number(m, o, "angle") / kDegrees;
            f.compositeSource = !flag("hideObject");
        }
    } else if (name == "BevelFilter" || name == "GradientGlowFilter" || name == "GradientBevelFilter") {
        std::string type = m.toString(m.getProperty(o, Machine::publicName("type")));
        f.distance = number(m, o, "distance");
        f.angle = number(m, o, "angle") / kDegrees;
        f.inner = type == "inner";
        f.onTop = type == "full";
        f.type = format::FilterType::Bevel;
        if (name == "BevelFilter") {
            f.color = colorOf(m, o, "shadowColor", "shadowAlpha");
            f.highlightColor = colorOf(m, o, "highlightColor", "highlightAlpha");
        } else {
            f.type = name == "GradientGlowFilter" ? format::FilterType::GradientGlow : format::FilterType::GradientBevel;
            auto colors = numbers(m, o, "colors", 16);
            auto alphas = numbers(m, o, "alphas", colors.size());
            auto ratios = numbers(m, o, "ratios", colors.size());
            if (colors.empty() || alphas.size() != colors.size() || ratios.size() != colors.size())
                return false;
            for (std::size_t i = 0; i < colors.size(); ++i) {
                std::uint32_t c = doubleToUint32(colors[i]);
                double a = std::isfinite(alphas[i]) ? std::clamp(alphas[i], 0.0, 1.0) : 0;
                f.gradientColors.push_back({static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                            static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(std::lround(a * 255))});
                f.gradientRatios.push_back(
                    static_cast<std::uint8_t>(std::isfinite(ratios[i]) ? std::clamp(ratios[i], 0.0, 255.0) : 0));
            }
        }
    } else if (name == "ColorMatrixFilter") {
        f.type = format::FilterType::ColorMatrix;
        static constexpr float kIdentity[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
        std::copy(std::begin(kIdentity), std::end(kIdentity), f.colorMatrix.begin());
        auto values = numbers(m, o, "matrix", 20);
        for (std::size_t i = 0; i < values.size(); ++i)
            f.colorMatrix[i] = std::isfinite(values[i]) ? static_cast<float>(values[i]) : 0.0f;
    } else if (name == "ConvolutionFilter") {
        f.type = format::FilterType::Convolution;
        f.matrixX = static_cast<int>(std::clamp(number(m, o, "matrixX"), 0.0, 15.0));
        f.matrixY = static_cast<int>(std::clamp(number(m, o, "matrixY"), 0.0, 15.0));
        auto values = numbers(m, o, "matrix", static_cast<std::size_t>(f.matrixX * f.matrixY));
        f.convolution.assign(values.begin(), values.end());
        f.convolution.resize(static_cast<std::size_t>(f.matrixX * f.matrixY), 0.0f);
        f.divisor = static_cast<float>(number(m, o, "divisor"));
        f.bias = static_cast<float>(number(m, o, "bias"));
        f.preserveAlpha = flag("preserveAlpha");
        f.clamp = flag("clamp");
        f.defaultColor = colorOf(m, o, "color", "alpha");
    } else {
        return false;
    }
    return true;
}

Value filterObject(Machine& m, const format::Filter& f) {
    auto alpha = [](format::Rgba c) { return Value::number(c.a / 255.0); };
    auto num = [](double d) { return Machine::numberValue(d); };
    const Value quality = Value::integer(f.passes), angle = num(f.angle * kDegrees);
    const Value bevelType = m.string(f.onTop ? "full" : f.inner ? "inner" : "outer");
    std::vector<Value> args;
    const char* name = nullptr;
    switch (f.type) {
    case format::FilterType::Blur:
        name = "BlurFilter";
        args = {num(f.blurX), num(f.blurY), quality};
        break;
    case format::FilterType::DropShadow:
        name = "DropShadowFilter";
        args = {num(f.distance), angle, num(rgb(f.color)), alpha(f.color), num(f.blurX), num(f.blurY), num(f.strength),
                quality, Value::boolean(f.inner), Value::boolean(f.knockout), Value::boolean(!f.compositeSource)};
        break;
    case format::FilterType::Glow:
        name = "GlowFilter";
        args = {num(rgb(f.color)), alpha(f.color), num(f.blurX), num(f.blurY), num(f.strength), quality,
                Value::boolean(f.inner), Value::boolean(f.knockout)};
        break;
    case format::FilterType::Bevel:
        name = "BevelFilter";
        args = {num(f.distance), angle, num(rgb(f.highlightColor)), alpha(f.highlightColor), num(rgb(f.color)),
                alpha(f.color), num(f.blurX), num(f.blurY), num(f.strength), quality, bevelType, Value::boolean(f.knockout)};
        break;
    case format::FilterType::GradientGlow:
    case format::FilterType::GradientBevel: {
        name = f.type == format::FilterType::GradientGlow ? "GradientGlowFilter" : "GradientBevelFilter";
        std::vector<double> colors, alphas;
        for (format::Rgba c : f.gradientColors) {
            colors.push_back(rgb(c));
            alphas.push_back(c.a / 255.0);
        }
        args = {num(f.distance), angle, numberArray(m, colors), numberArray(m, alphas), numberArray(m, f.gradientRatios),
                num(f.blurX), num(f.blurY), num(f.strength), quality, bevelType, Value::boolean(f.knockout)};
        break;
    }
    case format::FilterType::ColorMatrix:
        name = "ColorMatrixFilter";
        args = {numberArray(m, f.colorMatrix)};
        break;
    case format::FilterType::Convolution:
        name = "ConvolutionFilter";
        args = {num(f.matrixX), num(f.matrixY), numberArray(m, f.convolution), num(f.divisor), num(f.bias),
                Value::boolean(f.preserveAlpha), Value::boolean(f.clamp), num(rgb(f.defaultColor)), alpha(f.defaultColor)};
        break;
    }
    ClassObject* cls = name ? m.findClass(std::string("flash.filters.") + name) : nullptr;
    return cls ? Value::object(m.constructInstance(cls, args)) : Value::null();
}

void installFilterClasses(Machine& m) {
    ClassObject* base = m.defineNativeClass("flash.filters", "BitmapFilter", m.objectClass);
    base->init = m.newNative("BitmapFilter", [](Machine&, Value, std::span<Value>) { return Value(); });
    // clone(): the same class with the same fields (arrays copied).
    m.defineMethod(base, "clone", [](Machine& m, Value self, std::span<Value>) {
        const FilterClass* fc = classOf(m, self);
        if (!fc)
            return Value::null();
        std::vector<Value> args;
        for (const Field& f : fc->fields) {
            Value v = m.getProperty(self, Machine::publicName(f.name));
            if (f.kind == Kind::Array && v.isObject() && v.o->kind == ObjectKind::Array)
                v = Value::object(m.newArray(static_cast<ArrayObject*>(v.o)->elements));
            args.push_back(v);
        }
        return Value::object(m.constructInstance(m.classOf(self), args));
    });
    for (const FilterClass& fc : filterClasses()) {
        ClassObject* cls = m.defineNativeClass("flash.filters", fc.name, base);
        cls->dynamicInstances = false;
        Traits& t = cls->instanceTraits;
        for (const Field& f : fc.fields) {
            Binding& b = t.define(f.name, kPublicNs);
            b.kind = Binding::Kind::Slot;
            b.slot = ++t.slotCount;
            t.slotDefaults.resize(b.slot + 1);
        }
        const FilterClass* table = &fc;
        cls->init = m.newNative(fc.name, [table](Machine& m, Value self, std::span<Value> a) {
            for (std::size_t i = 0; i < table->fields.size(); ++i)
                m.setProperty(self, Machine::publicName(table->fields[i].name), fieldValue(m, table->fields[i], arg(a, i)));
            // A colour matrix starts as the identity.
            if (std::string_view(table->name) == "ColorMatrixFilter" && arg(a, 0).isNullish()) {
                format::Filter identity;
                identity.type = format::FilterType::ColorMatrix;
                for (std::size_t i = 0; i < 20; i += 6)
                    identity.colorMatrix[i] = 1;
                m.setProperty(self, Machine::publicName("matrix"), numberArray(m, identity.colorMatrix));
            }
            return Value();
        }, static_cast<std::uint32_t>(fc.fields.size()));
    }
}

} // namespace swf::avm2
