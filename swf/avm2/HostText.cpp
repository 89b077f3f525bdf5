// flash.text.TextFormat and the members of TextField beyond its text: formats, the
// field's flags and colours, sizes, scrolling, and fields made with `new TextField()`
// (a 100 x 100 dynamic field in Times New Roman 12, as the player makes them). Everything
// reads and writes the field state the renderer lays out, shared with ActionScript 1/2.
#include "swf/avm2/HostDisplay.h"

#include "swf/format/Text.h"
#include "swf/text/RichText.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <cmath>

namespace swf::avm2 {

namespace {

constexpr double kTwips = 20.0;

// TextFormat's variables in the constructor's order, then the rest.
constexpr const char* kFormatFields[] = {"font",        "size",        "color",  "bold",         "italic",
                                         "underline",   "url",         "target", "align",        "leftMargin",
                                         "rightMargin", "indent",      "leading", "blockIndent", "letterSpacing",
                                         "kerning",     "bullet",      "tabStops", "display"};
constexpr std::size_t kConstructorFields = 13;

Value get(Machine& m, Value o, const char* name) {
    return m.getProperty(o, Machine::publicName(name));
}

// The text format a TextFormat object describes (null fields are left unset).
text::TextFormat formatOf(Machine& m, Value o) {
    text::TextFormat f;
    if (!o.isObject())
        return f;
    auto has = [&](const char* name, Value& v) { return !(v = get(m, o, name)).isNullish(); };
    auto pixels = [&](Value v) {
        double d = m.toNumber(v);
        return std::isfinite(d) ? std::clamp(d, -10000.0, 10000.0) : 0.0;
    };
    Value v;
    if (has("font", v))
        f.font = m.toString(v);
    if (has("size", v))
        f.size = pixels(v);
    if (has("color", v))
        f.color = m.toUint(v) & 0xFFFFFF;
    if (has("bold", v))
        f.bold = m.toBoolean(v);
    if (has("italic", v))
        f.italic = m.toBoolean(v);
    if (has("underline", v))
        f.underline = m.toBoolean(v);
    if (has("url", v))
        f.url = m.toString(v);
    if (has("target", v))
        f.target = m.toString(v);
    if (has("align", v))
        f.align = text::alignFromName(m.toString(v));
    if (has("leftMargin", v))
        f.leftMargin = static_cast<int>(pixels(v));
    if (has("rightMargin", v))
        f.rightMargin = static_cast<int>(pixels(v));
    if (has("indent", v))
        f.indent = static_cast<int>(pixels(v));
    if (has("blockIndent", v))
        f.blockIndent = static_cast<int>(pixels(v));
    if (has("leading", v))
        f.leading = static_cast<int>(pixels(v));
    if (has("letterSpacing", v))
        f.letterSpacing = pixels(v);
    if (has("kerning", v))
        f.kerning = m.toBoolean(v);
    if (has("bullet", v))
        f.bullet = m.toBoolean(v);
    return f;
}

Value formatObject(Machine& m, const text::TextFormat& f) {
    ClassObject* cls = m.findClass("flash.text.TextFormat");
    if (!cls)
        return Value::null();
    Value o = Value::object(m.constructInstance(cls, {}));
    auto set = [&](const char* name, Value v) { m.setProperty(o, Machine::publicName(name), v); };
    if (f.font)
        set("font", m.string(*f.font));
    if (f.size)
        set("size", Machine::numberValue(*f.size));
    if (f.color)
        set("color", Value::uinteger(*f.color));
    for (auto [name, flag] : {std::pair{"bold", &f.bold}, {"italic", &f.italic}, {"underline", &f.underline},
                              {"kerning", &f.kerning}, {"bullet", &f.bullet}})
        if (*flag)
            set(name, Value::boolean(**flag));
    if (f.url)
        set("url", m.string(*f.url));
    if (f.target)
        set("target", m.string(*f.target));
    if (f.align)
        set("align", m.string(text::alignName(*f.align)));
    for (auto [name, value] : {std::pair{"leftMargin", &f.leftMargin}, {"rightMargin", &f.rightMargin},
                               {"indent", &f.indent}, {"blockIndent", &f.blockIndent}, {"leading", &f.leading}})
        if (*value)
            set(name, Value::integer(**value));
    if (f.letterSpacing)
        set("letterSpacing", Machine::numberValue(*f.letterSpacing));
    return o;
}

// A range (begin, end) of the field's text from the arguments at `first`: -1 or absent
// is the whole text (or from begin to begin + 1 when only begin is given).
std::pair<std::size_t, std::size_t> rangeOf(Machine& m, std::span<Value> a, std::size_t first, std::size_t length) {
    std::int32_t begin = a.size() > first ? m.toInt(a[first]) : -1;
    std::int32_t end = a.size() > first + 1 ? m.toInt(a[first + 1]) : -1;
    if (begin < 0)
        return {0, length};
    if (end < 0)
        end = begin + 1;
    auto clampTo = [length](std::int32_t x) { return std::min<std::size_t>(static_cast<std::size_t>(std::max(0, x)), length); };
    std::size_t b = clampTo(begin), e = clampTo(end);
    if (b > e || begin > static_cast<std::int32_t>(length))
        m.rangeError(2006, "The supplied index is out of bounds.");
    return {b, e};
}

} // namespace

void installTextFormat(Machine& m) {
    ClassObject* cls = m.defineNativeClass("flash.text", "TextFormat", m.objectClass);
    Traits& t = cls->instanceTraits;
    for (const char* name : kFormatFields) {
        Binding& b = t.define(name, kPublicNs);
        b.kind = Binding::Kind::Slot;
        b.slot = ++t.slotCount;
        t.slotDefaults.resize(b.slot + 1, Value::null());
    }
    cls->init = m.newNative("TextFormat", [](Machine& m, Value self, std::span<Value> a) {
        for (std::size_t i = 0; i < kConstructorFields && i < a.size(); ++i)
            m.setProperty(self, Machine::publicName(kFormatFields[i]), a[i]);
        return Value();
    }, kConstructorFields);
}

void installTextFieldMembers(HostState& host, ClassObject* textField) {
    Machine& m = host.machine;
    HostState* s = &host;
    auto fieldOf = [s](Value self) -> text::FieldState* {
        Located at = s->locate(*s->handleOf(self));
        auto* state = at.object ? at.object->as<timeline::TextFieldObject>() : nullptr;
        return state ? &state->field : nullptr;
    };
    auto touched = [s]() {
        if (timeline::World* w = s->world())
            ++w->generation;
    };
    // Reads and writes of the field; a field that is gone answers `none` and ignores writes.
    auto member = [&](const char* name, auto read, auto write, Value none) {
        defineAccessor(
            m, textField, name,
            [fieldOf, read, none](Machine& m, Value self, std::span<Value>) {
                text::FieldState* f = fieldOf(self);
                return f ? read(m, *f) : none;
            },
            [fieldOf, write, touched](Machine& m, Value self, std::span<Value> a) {
                if (text::FieldState* f = fieldOf(self)) {
                    write(m, *f, arg(a, 0));
                    f->touch();
                    touched();
                }
                return Value();
            });
    };
    using FS = text::FieldState;
    using Props = text::FieldProperties;
    // The boolean flags of the field.
    struct Flag {
        const char* name;
        bool Props::*member;
    };
    for (Flag flag : {Flag{"multiline", &Props::multiline}, {"wordWrap", &Props::wordWrap},
                      {"displayAsPassword", &Props::password}, {"selectable", &Props::selectable},
                      {"border", &Props::border}, {"background", &Props::background},
                      {"condenseWhite", &Props::condenseWhite}, {"embedFonts", &Props::embedFonts}}) {
        auto ptr = flag.member;
        member(flag.name, [ptr](Machine&, FS& f) { return Value::boolean(f.properties().*ptr); },
               [ptr](Machine& m, FS& f, Value v) { f.change([&](Props& p) { p.*ptr = m.toBoolean(v); }); },
               Value::boolean(false));
    }
    for (bool border : {true, false}) {
        auto ptr = border ? &Props::borderColor : &Props::backgroundColor;
        member(border ? "borderColor" : "backgroundColor", [ptr](Machine&, FS& f) { return Value::uinteger(f.properties().*ptr); },
               [ptr](Machine& m, FS& f, Value v) { f.change([&](Props& p) { p.*ptr = m.toUint(v) & 0xFFFFFF; }); },
               Value::uinteger(0));
    }
    member("type", [](Machine& m, FS& f) { return m.string(f.properties().type == text::FieldType::Input ? "input" : "dynamic"); },
           [](Machine& m, FS& f, Value v) {
               std::string type = m.toString(v);
               if (type != "input" && type != "dynamic")
                   m.throwError(m.argumentErrorClass, 2008, "Parameter type must be one of the accepted values.");
               f.change([&](Props& p) { p.type = type == "input" ? text::FieldType::Input : text::FieldType::Dynamic; });
           },
           m.string("dynamic"));
    member("autoSize",
           [](Machine& m, FS& f) {
               static constexpr const char* kNames[] = {"none", "left", "center", "right"};
               return m.string(kNames[static_cast<int>(f.properties().autoSize)]);
           },
           [](Machine& m, FS& f, Value v) {
               std::string name = m.toString(v);
               text::AutoSize a = name == "left" ? text::AutoSize::Left : name == "center" ? text::AutoSize::Center
                                  : name == "right" ? text::AutoSize::Right : text::AutoSize::None;
               if (a == text::AutoSize::None && name != "none")
                   m.throwError(m.argumentErrorClass, 2008, "Parameter autoSize must be one of the accepted values.");
               f.change([&](Props& p) { p.autoSize = a; });
           },
           m.string("none"));
    member("maxChars", [](Machine&, FS& f) { return Value::integer(static_cast<std::int32_t>(f.properties().maxChars)); },
           [](Machine& m, FS& f, Value v) {
               f.change([&](Props& p) { p.maxChars = static_cast<std::size_t>(std::max(0, m.toInt(v))); });
           },
           Value::integer(0));
    member("restrict",
           [](Machine& m, FS& f) {
               const auto& r = f.properties().restrict;
               return r ? m.string(text::utf16ToUtf8(*r)) : Value::null();
           },
           [](Machine& m, FS& f, Value v) {
               f.change([&](Props& p) {
                   p.restrict = v.isNullish() ? std::nullopt : std::optional(text::utf8ToUtf16(m.toString(v)));
               });
           },
           Value::null());
    member("htmlText", [](Machine& m, FS& f) { return m.string(text::utf16ToUtf8(f.htmlText())); },
           [](Machine& m, FS& f, Value v) {
               f.change([](Props& p) { p.html = true; });
               f.setHtmlText(text::utf8ToUtf16(m.toString(v)));
           },
           m.string(""));
    member("textColor",
           [](Machine&, FS& f) { return Value::uinteger(f.textFormat(0, f.length()).color.value_or(f.newFormat().color.value_or(0))); },
           [](Machine& m, FS& f, Value v) {
               text::TextFormat c;
               c.color = m.toUint(v) & 0xFFFFFF;
               text::TextFormat next = f.newFormat();
               next.apply(c);
               f.setNewFormat(next);
               f.setTextFormat(0, f.length(), c);
           },
           Value::uinteger(0));
    member("defaultTextFormat", [](Machine& m, FS& f) { return formatObject(m, f.newFormat()); },
           [](Machine& m, FS& f, Value v) {
               if (!v.isObject())
                   m.typeError(2007, "Parameter format must be non-null.");
               text::TextFormat next = f.newFormat();
               next.apply(formatOf(m, v));
               f.setNewFormat(next);
           },
           Value::null());
    member("scrollV", [](Machine&, FS& f) { return Value::integer(f.scroll); },
           [](Machine& m, FS& f, Value v) { f.scroll = std::clamp(m.toInt(v), 1, std::max(1, f.maxScroll())); },
           Value::integer(1));
    member("scrollH", [](Machine&, FS& f) { return Machine::numberValue(std::floor(f.hscroll / kTwips)); },
           [](Machine& m, FS& f, Value v) {
               f.hscroll = std::clamp(static_cast<double>(m.toInt(v)), 0.0, std::max(0.0, f.maxHScroll())) * kTwips;
           },
           Value::integer(0));
    // Read-only measures of the laid out text.
    auto measure = [&](const char* name, Value (*read)(FS&)) {
        defineAccessor(m, textField, name,
                       [fieldOf, read](Machine&, Value self, std::span<Value>) {
                           text::FieldState* f = fieldOf(self);
                           return f ? read(*f) : Value::integer(0);
                       },
                       {});
    };
    measure("textWidth", [](FS& f) { return Machine::numberValue(f.textWidth()); });
    measure("textHeight", [](FS& f) { return Machine::numberValue(f.textHeight()); });
    measure("maxScrollV", [](FS& f) { return Value::integer(f.maxScroll()); });
    measure("bottomScrollV", [](FS& f) { return Value::integer(f.bottomScroll()); });
    measure("maxScrollH", [](FS& f) { return Machine::numberValue(f.maxHScroll()); });
    measure("caretIndex", [](FS& f) { return Value::integer(static_cast<std::int32_t>(f.selection.caret)); });
    measure("selectionBeginIndex", [](FS& f) { return Value::integer(static_cast<std::int32_t>(f.selection.begin())); });
    measure("selectionEndIndex", [](FS& f) { return Value::integer(static_cast<std::int32_t>(f.selection.end())); });
    // Settings that change nothing drawn here keep what scripts set.
    for (auto [key, start] : {std::pair{"antiAliasType", "normal"}, {"gridFitType", "pixel"}}) {
        const char* name = key;
        const char* initial = start;
        defineAccessor(
            m, textField, name,
            [s, name, initial](Machine& m, Value self, std::span<Value>) {
                auto& x = s->handleOf(self)->extras;
                auto it = x.find(name);
                return it == x.end() ? m.string(initial) : it->second;
            },
            [s, name](Machine& m, Value self, std::span<Value> a) {
                s->handleOf(self)->extras[name] = m.string(m.toString(arg(a, 0)));
                return Value();
            });
    }
    for (const char* name : {"sharpness", "thickness", "mouseWheelEnabled", "alwaysShowSelection", "styleSheet",
                             "useRichTextClipboard"})
        defineAccessor(
            m, textField, name,
            [s, name](Machine&, Value self, std::span<Value>) {
                auto& x = s->handleOf(self)->extras;
                auto it = x.find(name);
                return it == x.end() ? Value() : it->second;
            },
            [s, name](Machine&, Value self, std::span<Value> a) {
                s->handleOf(self)->extras[name] = arg(a, 0);
                return Value();
            });
    m.defineMethod(textField, "setTextFormat", [fieldOf, touched](Machine& m, Value self, std::span<Value> a) {
        if (text::FieldState* f = fieldOf(self)) {
            auto [begin, end] = rangeOf(m, a, 1, f->length());
            f->setTextFormat(begin, end, formatOf(m, arg(a, 0)));
            touched();
        }
        return Value();
    }, 3);
    m.defineMethod(textField, "getTextFormat", [fieldOf](Machine& m, Value self, std::span<Value> a) {
        text::FieldState* f = fieldOf(self);
        if (!f)
            return formatObject(m, {});
        auto [begin, end] = rangeOf(m, a, 0, f->length());
        return formatObject(m, begin < end ? f->textFormat(begin, end) : f->newFormat());
    }, 2);
    m.defineMethod(textField, "replaceText", [fieldOf, touched](Machine& m, Value self, std::span<Value> a) {
        if (text::FieldState* f = fieldOf(self)) {
            std::size_t n = f->length();
            auto clampTo = [n](std::int32_t x) { return std::min<std::size_t>(static_cast<std::size_t>(std::max(0, x)), n); };
            std::size_t begin = clampTo(m.toInt(arg(a, 0))), end = clampTo(m.toInt(arg(a, 1)));
            if (begin <= end)
                f->replaceText(begin, end, text::utf8ToUtf16(m.toString(arg(a, 2))));
            touched();
        }
        return Value();
    }, 3);
    m.defineMethod(textField, "replaceSelectedText", [fieldOf, touched](Machine& m, Value self, std::span<Value> a) {
        if (text::FieldState* f = fieldOf(self)) {
            f->replaceSel(text::utf8ToUtf16(m.toString(arg(a, 0))));
            touched();
        }
        return Value();
    }, 1);
    m.defineMethod(textField, "setSelection", [fieldOf](Machine& m, Value self, std::span<Value> a) {
        if (text::FieldState* f = fieldOf(self)) {
            std::size_t n = f->length();
            auto clampTo = [n](std::int32_t x) { return std::min<std::size_t>(static_cast<std::size_t>(std::max(0, x)), n); };
            f->selection.anchor = clampTo(m.toInt(arg(a, 0)));
            f->selection.caret = clampTo(m.toInt(arg(a, 1)));
        }
        return Value();
    }, 2);
}

// `new TextField()`: a field of its own on the off-list clip, until it is added somewhere.
void HostState::createField(DisplayHandle& h) {
    timeline::Clip* off = offList();
    timeline::World* w = world();
    if (!off || !w || h.serial || scriptFields.size() >= 100000)
        return;
    auto def = std::make_unique<format::EditTextCharacter>();
    def->bounds = {0, static_cast<std::int32_t>(100 * kTwips), 0, static_cast<std::int32_t>(100 * kTwips)};
    def->fontHeight = 240; // Times New Roman 12, black
    def->readOnly = true;
    timeline::PlaceState state;
    state.depth = off->nextHighestDepth();
    const timeline::DisplayObject* o = w->createByScript(*off, state, def.get());
    if (!o)
        return;
    scriptFields.push_back(std::move(def));
    h.serial = o->serial;
    h.parentId = off->id();
    wrappers[o->serial] = &h;
}

} // namespace swf::avm2
