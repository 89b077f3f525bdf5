// TextFormat: every property is an accessor on the prototype that converts what is
// assigned the way the player did (from SWF 8: sizes and indents to 32-bit integers with
// anything not finite as -2147483648; before: wrapped to 32 bits with anything not finite
// as 0, and indents and leading never negative; margins never negative, colours as
// unsigned 32-bit, align and display only from their names); undefined and null unset a
// property. kerning and letterSpacing came with SWF 8.

#include "BuiltinTextFormat.h"

#include "swf/text/DeviceFaces.h"
#include "swf/text/RichText.h"
#include "swf/text/TextLayout.h"

#include <array>
#include <cmath>
#include <utility>

namespace swf::avm1 {
namespace {

enum class Conv : std::uint8_t { Align, Int, Indent, Bool, Color, Display, String, Margin, Number, TabStops };

struct Prop {
    const char* name;
    Conv conv;
};

// In the order the player lists them; the constructor's arguments are a subset.
constexpr std::array<Prop, 19> kProps{{{"align", Conv::Align},
                                       {"blockIndent", Conv::Indent},
                                       {"bold", Conv::Bool},
                                       {"bullet", Conv::Bool},
                                       {"color", Conv::Color},
                                       {"display", Conv::Display},
                                       {"font", Conv::String},
                                       {"indent", Conv::Indent},
                                       {"italic", Conv::Bool},
                                       {"kerning", Conv::Bool},
                                       {"leading", Conv::Indent},
                                       {"leftMargin", Conv::Margin},
                                       {"letterSpacing", Conv::Number},
                                       {"rightMargin", Conv::Margin},
                                       {"size", Conv::Int},
                                       {"tabStops", Conv::TabStops},
                                       {"target", Conv::String},
                                       {"underline", Conv::Bool},
                                       {"url", Conv::String}}};

constexpr std::size_t indexOf(std::string_view name) {
    for (std::size_t i = 0; i < kProps.size(); ++i)
        if (name == kProps[i].name)
            return i;
    return kProps.size();
}

// new TextFormat(font, size, color, bold, italic, underline, url, target, align,
//                leftMargin, rightMargin, indent, leading)
constexpr std::array<std::size_t, 13> kConstructorArgs{
    indexOf("font"),        indexOf("size"),   indexOf("color"),  indexOf("bold"),  indexOf("italic"),
    indexOf("underline"),   indexOf("url"),    indexOf("target"), indexOf("align"), indexOf("leftMargin"),
    indexOf("rightMargin"), indexOf("indent"), indexOf("leading")};

class TextFormatObject : public Object {
public:
    explicit TextFormatObject(Object* proto) : Object(Kind::Plain, proto) {
        for (Value& v : slots)
            v = Value::null();
        slots[indexOf("display")] = Value("block");
    }
    void references(std::vector<Object*>& out) const override {
        Object::references(out);
        for (const Value& v : slots)
            if (Object* o = v.object())
                out.push_back(o);
    }
    std::array<Value, kProps.size()> slots;
};

TextFormatObject* asTextFormat(Object* o) {
    return dynamic_cast<TextFormatObject*>(o);
}

// A format integer: SWF 8 truncates and takes anything out of range as -2147483648; older
// movies wrap to 32 bits as the bit operators do.
double formatInt(const Interpreter& vm, double n) {
    if (vm.version() < 8)
        return double(toInt32(n));
    if (!std::isfinite(n) || std::trunc(n) >= 2147483648.0 || std::trunc(n) < -2147483648.0)
        return -2147483648.0;
    return std::trunc(n) + 0.0; // no negative zero
}

// What an object assigned to a format property gives. The player asked it for valueOf
// twice and toString once whatever the property (the traces show each call), and took
// numbers from the first and text from the last; primitives convert as they are.
struct Assigned {
    Value primitive; // valueOf's result
    std::string text;
};

Assigned readAssigned(Interpreter& vm, const Value& v) {
    const Object::Kind kind = v.object()->kind();
    if (kind == Object::Kind::Function || kind == Object::Kind::Clip)
        return {v, vm.toString(v)}; // a clip reads as its path
    Value prim = vm.callMethod(v, "valueOf", {});
    vm.callMethod(v, "valueOf", {});
    const Value s = vm.callMethod(v, "toString", {});
    return {prim, s.isString() ? s.string() : std::string("[type Object]")}; // only a string is text
}

std::optional<Value> convert(Interpreter& vm, Conv conv, const Value& v, const Value& current) {
    const bool object = v.isObject();
    const Assigned in = object ? readAssigned(vm, v) : Assigned{v, {}};
    // Numbers from an object come from its valueOf (a non-primitive one reads as NaN).
    const auto number = [&] {
        return object ? (in.primitive.isObject() ? std::nan("") : vm.toNumber(in.primitive)) : vm.toNumber(v);
    };
    const auto text = [&] { return object ? in.text : vm.toString(v); };
    switch (conv) {
    case Conv::Align:
    case Conv::Display: {
        if (conv == Conv::Align && v.isNullish())
            return current;
        // display asks the object for its text once more.
        const std::string s =
            asciiLower(v.isNullish() ? std::string() : conv == Conv::Display && object ? vm.toString(v) : text());
        const char* const aligns[] = {"left", "right", "center", "justify"};
        const char* const displays[] = {"none", "inline", "block"};
        for (const char* name : conv == Conv::Align ? std::span<const char* const>(aligns)
                                                    : std::span<const char* const>(displays))
            if (s == name)
                return Value(name);
        return conv == Conv::Align ? current : Value("block");
    }
    case Conv::Int:
        return Value(formatInt(vm, number()));
    case Conv::Indent: {
        const double n = formatInt(vm, number());
        return Value(vm.version() < 8 && n < 0 ? 0.0 : n);
    }
    case Conv::Margin: {
        const double n = number();
        if (vm.version() < 8)
            return Value(std::max(0.0, formatInt(vm, n)));
        return Value(std::isnan(n) || n < 0 ? 0.0 : formatInt(vm, n));
    }
    case Conv::Bool:
        return Value(vm.toBoolean(v));
    case Conv::Color: {
        const double n = number();
        return Value(std::isfinite(n) ? double(toUint32(n)) : 0.0);
    }
    case Conv::String:
        return Value(text());
    case Conv::Number:
        return Value(number());
    case Conv::TabStops: {
        // Anything with a length: its elements as integers; strings count their characters.
        // No stops at all leave an unset property unset and empty a set one.
        const double len = v.isString()   ? double(toUtf16(v.string()).size())
                           : v.isObject() ? vm.toNumber(vm.get(v, "length"))
                                          : 0.0;
        if (!(len > 0) && current.isNull())
            return Value::null();
        std::vector<Value> stops;
        for (double i = 0; std::isfinite(len) && i < std::min(len, 10000.0); ++i)
            stops.push_back(
                formatInt(vm, v.isString() ? std::nan("") : vm.toNumber(vm.get(v, numberToString(i, 10)))));
        return Value(vm.newArray(std::move(stops)));
    }
    }
    return std::nullopt;
}

void assign(Interpreter& vm, TextFormatObject* t, std::size_t i, const Value& v) {
    if (v.isNullish() && kProps[i].conv != Conv::Align && kProps[i].conv != Conv::Display) {
        t->slots[i] = Value::null();
        return;
    }
    if (auto c = convert(vm, kProps[i].conv, v, t->slots[i]))
        t->slots[i] = std::move(*c);
}

template <std::size_t I> Value getProp(Interpreter&, Object* self, std::span<const Value>) {
    const TextFormatObject* t = asTextFormat(self);
    return t ? t->slots[I] : Value();
}

template <std::size_t I> Value setProp(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (TextFormatObject* t = asTextFormat(self))
        assign(vm, t, I, arg(args, 0));
    return Value();
}

TextFormatObject* makeTextFormat(Interpreter& vm, Object* proto) {
    auto owned = std::make_unique<TextFormatObject>(proto);
    TextFormatObject* t = owned.get();
    vm.adopt(std::move(owned));
    return t;
}

Object* allocateTextFormat(Interpreter& vm, Object* proto) { return makeTextFormat(vm, proto); }

Value construct(Interpreter& vm, Object* self, std::span<const Value> args) {
    TextFormatObject* t = asTextFormat(self);
    if (!t)
        return Value();
    for (std::size_t a = 0; a < kConstructorArgs.size() && a < args.size(); ++a)
        assign(vm, t, kConstructorArgs[a], args[a]);
    return Value();
}

template <std::size_t... I> void defineAccessors(Interpreter& vm, Object* proto, std::index_sequence<I...>) {
    (
        [&] {
            if (vm.version() < 8 && (I == indexOf("kerning") || I == indexOf("letterSpacing")))
                return;
            Property& p = proto->put(kProps[I].name, vm.key(kProps[I].name), Value(), kDontEnum);
            p.virtualProperty = true;
            p.getter = vm.newNative(getProp<I>);
            p.setter = vm.newNative(setProp<I>);
        }(),
        ...);
    vm.noteAccessors();
}

// Values of a format as the object holds them, and back.
Value asValue(Interpreter& vm, std::size_t i, const text::TextFormat& f) {
    const auto num = [](const auto& o) { return o ? Value(double(*o)) : Value::null(); };
    const auto str = [](const std::optional<std::string>& o) { return o ? Value(*o) : Value::null(); };
    const auto flag = [](const std::optional<bool>& o) { return o ? Value(*o) : Value::null(); };
    switch (i) {
    case indexOf("align"):
        return f.align ? Value(text::alignName(*f.align)) : Value::null();
    case indexOf("blockIndent"):
        return num(f.blockIndent);
    case indexOf("bold"):
        return flag(f.bold);
    case indexOf("bullet"):
        return flag(f.bullet);
    case indexOf("color"):
        return num(f.color);
    case indexOf("display"):
        return Value("block");
    case indexOf("font"):
        return str(f.font);
    case indexOf("indent"):
        return num(f.indent);
    case indexOf("italic"):
        return flag(f.italic);
    case indexOf("kerning"):
        return flag(f.kerning);
    case indexOf("leading"):
        return num(f.leading);
    case indexOf("leftMargin"):
        return num(f.leftMargin);
    case indexOf("letterSpacing"):
        return num(f.letterSpacing);
    case indexOf("rightMargin"):
        return num(f.rightMargin);
    case indexOf("size"):
        return num(f.size);
    case indexOf("tabStops"): {
        if (!f.tabStops)
            return Value::null();
        std::vector<Value> stops(f.tabStops->begin(), f.tabStops->end());
        return Value(vm.newArray(std::move(stops)));
    }
    case indexOf("target"):
        return str(f.target);
    case indexOf("underline"):
        return flag(f.underline);
    case indexOf("url"):
        return str(f.url);
    default:
        return Value::null();
    }
}

} // namespace

Object* newTextFormatObject(Interpreter& vm, const text::TextFormat& f) {
    Value ctor = vm.get(vm.global(), "TextFormat");
    Object* proto = ctor.object() ? vm.get(ctor, "prototype").object() : nullptr;
    TextFormatObject* t = makeTextFormat(vm, proto ? proto : vm.objectProto);
    for (std::size_t i = 0; i < kProps.size(); ++i)
        t->slots[i] = asValue(vm, i, f);
    return t;
}

std::optional<text::TextFormat> textFormatOf(const Object* o) {
    const auto* t = dynamic_cast<const TextFormatObject*>(o);
    if (!t)
        return std::nullopt;
    text::TextFormat f;
    const auto& s = t->slots;
    const auto number = [&](std::size_t i) -> std::optional<double> {
        return s[i].isNumber() ? std::optional<double>(s[i].number()) : std::nullopt;
    };
    const auto integer = [&](std::size_t i) -> std::optional<int> {
        const auto n = number(i);
        return n ? std::optional<int>(int(*n)) : std::nullopt;
    };
    const auto flag = [&](std::size_t i) -> std::optional<bool> {
        return s[i].isBoolean() ? std::optional<bool>(s[i].boolean()) : std::nullopt;
    };
    const auto str = [&](std::size_t i) -> std::optional<std::string> {
        return s[i].isString() ? std::optional<std::string>(s[i].string()) : std::nullopt;
    };
    if (const auto a = str(indexOf("align")))
        f.align = text::alignFromName(*a);
    f.blockIndent = integer(indexOf("blockIndent"));
    f.bold = flag(indexOf("bold"));
    f.bullet = flag(indexOf("bullet"));
    if (const auto c = number(indexOf("color")))
        f.color = std::uint32_t(std::int64_t(*c)) & 0xFFFFFF;
    f.font = str(indexOf("font"));
    f.indent = integer(indexOf("indent"));
    f.italic = flag(indexOf("italic"));
    f.kerning = flag(indexOf("kerning"));
    f.leading = integer(indexOf("leading"));
    f.leftMargin = integer(indexOf("leftMargin"));
    f.letterSpacing = number(indexOf("letterSpacing"));
    f.rightMargin = integer(indexOf("rightMargin"));
    f.size = number(indexOf("size"));
    if (const auto* a = dynamic_cast<const ArrayObject*>(s[indexOf("tabStops")].object())) {
        std::vector<int> stops;
        for (const Value& v : a->elements)
            stops.push_back(v.isNumber() ? int(v.number()) : 0);
        f.tabStops = std::move(stops);
    }
    f.target = str(indexOf("target"));
    f.underline = flag(indexOf("underline"));
    f.url = str(indexOf("url"));
    return f;
}

namespace {

// getTextExtent(text[, width]): the text in this format laid out with device fonts, on one
// line or wrapped at `width` pixels; the field sizes add the 2-pixel gutter on each side.
Value getTextExtent(Interpreter& vm, Object* self, std::span<const Value> args) {
    const auto own = textFormatOf(self);
    if (!own || args.empty())
        return Value();
    text::TextFormat f = text::TextFormat::fieldDefault();
    f.apply(*own);
    text::FieldBox box;
    const double wrapAt = args.size() > 1 ? vm.toNumber(args[1]) : NAN;
    box.wordWrap = std::isfinite(wrapAt) && wrapAt > 0;
    box.width = box.wordWrap ? std::min(wrapAt, 1e6) * 20 : 1e9;
    box.height = 1e9;
    box.multiline = true;
    box.emptyFormat = f;
    const text::RichText content(text::normalizeNewlines(text::utf8ToUtf16(vm.toString(args[0]))), f);
    const text::TextLayout laid =
        text::layoutText(content, box, [](const text::TextFormat& tf) { return text::deviceFace(tf); });
    const double width = std::round(laid.textWidth / 20), height = std::round(laid.textHeight / 20);
    Object* o = vm.newObject();
    vm.set(o, "width", width);
    vm.set(o, "height", height);
    vm.set(o, "ascent", std::round(laid.lines.front().ascent / 20));
    vm.set(o, "descent", std::round(laid.lines.front().descent / 20));
    vm.set(o, "textFieldWidth", box.wordWrap ? std::round(wrapAt) : width + 4);
    vm.set(o, "textFieldHeight", height + 4);
    return Value(o);
}

} // namespace

void installTextFormatBuiltins(Interpreter& vm) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = vm.newNative(construct, proto);
    ctor->allocate = allocateTextFormat;
    defineAccessors(vm, proto, std::make_index_sequence<kProps.size()>());
    vm.defineMethod(proto, "getTextExtent", getTextExtent);
    vm.define(vm.global(), "TextFormat", ctor, kDontEnum);
}

} // namespace swf::avm1
