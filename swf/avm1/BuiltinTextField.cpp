// TextField properties and methods over a field's text::FieldState.

#include "BuiltinTextField.h"

#include "BuiltinSupport.h"
#include "BuiltinTextFormat.h"

#include "swf/text/FieldState.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {
namespace {

class TextFieldAsObject : public Object {
public:
    TextFieldAsObject(Object* proto, FieldRef ref, std::string name)
        : Object(Kind::Plain, proto), ref(ref), name(std::move(name)) {}
    FieldRef ref;
    std::string name;
    Value styleSheet; // the StyleSheet object scripts gave the field
    void references(std::vector<Object*>& out) const override {
        Object::references(out);
        if (Object* o = styleSheet.object())
            out.push_back(o);
    }
};

Value getStyleSheet(Interpreter&, Object* self, std::span<const Value>) {
    auto* t = dynamic_cast<TextFieldAsObject*>(self);
    return t ? t->styleSheet : Value();
}

// Later HTML text takes its formats from the sheet; anything but a StyleSheet removes it.
Value setStyleSheet(Interpreter& vm, Object* self, std::span<const Value> args) {
    auto* t = dynamic_cast<TextFieldAsObject*>(self);
    text::FieldState* f = t && vm.host() ? vm.host()->field(t->ref) : nullptr;
    if (!f)
        return Value();
    auto sheet = styleSheetOf(arg(args, 0).object());
    t->styleSheet = sheet ? arg(args, 0) : Value();
    f->setStyleSheet(std::move(sheet));
    return Value();
}

text::FieldState* stateOf(Interpreter& vm, Object* self) {
    auto* t = dynamic_cast<TextFieldAsObject*>(self);
    return t && vm.host() ? vm.host()->field(t->ref) : nullptr;
}

std::u16string argText(Interpreter& vm, const Value& v) {
    return text::utf8ToUtf16(vm.toString(v));
}

Value utf8(const std::u16string& s) {
    return Value(text::utf16ToUtf8(s));
}

std::size_t indexArg(Interpreter& vm, const Value& v, std::size_t fallback) {
    if (v.isUndefined())
        return fallback;
    const double n = vm.toNumber(v);
    return std::isfinite(n) && n > 0 ? std::size_t(std::min(n, 1e9)) : 0;
}

// One accessor: how it reads and writes the state.
struct Accessor {
    const char* name;
    Value (*get)(Interpreter&, text::FieldState&);
    void (*set)(Interpreter&, text::FieldState&, const Value&); // null: read only
};

template <bool text::FieldProperties::*Flag> Value getFlag(Interpreter&, text::FieldState& f) {
    return Value(f.properties().*Flag);
}
template <bool text::FieldProperties::*Flag>
void setFlag(Interpreter& vm, text::FieldState& f, const Value& v) {
    const bool b = vm.toBoolean(v);
    f.change([&](text::FieldProperties& p) { p.*Flag = b; });
}
template <std::uint32_t text::FieldProperties::*Color> Value getColor(Interpreter&, text::FieldState& f) {
    return Value(double(f.properties().*Color));
}
template <std::uint32_t text::FieldProperties::*Color>
void setColor(Interpreter& vm, text::FieldState& f, const Value& v) {
    const std::uint32_t c = toUint32(vm.toNumber(v)) & 0xFFFFFF;
    f.change([&](text::FieldProperties& p) { p.*Color = c; });
}

const char* autoSizeName(text::AutoSize a) {
    switch (a) {
    case text::AutoSize::Left:
        return "left";
    case text::AutoSize::Center:
        return "center";
    case text::AutoSize::Right:
        return "right";
    case text::AutoSize::None:
        break;
    }
    return "none";
}

const Accessor kAccessors[] = {
    {"text", [](Interpreter&, text::FieldState& f) { return utf8(f.text()); },
     [](Interpreter& vm, text::FieldState& f, const Value& v) { f.setText(argText(vm, v)); }},
    {"htmlText", [](Interpreter&, text::FieldState& f) { return utf8(f.htmlText()); },
     [](Interpreter& vm, text::FieldState& f, const Value& v) { f.setHtmlText(argText(vm, v), vm.version()); }},
    {"length", [](Interpreter&, text::FieldState& f) { return Value(double(f.length())); }, nullptr},
    {"html", getFlag<&text::FieldProperties::html>, setFlag<&text::FieldProperties::html>},
    {"multiline", getFlag<&text::FieldProperties::multiline>, setFlag<&text::FieldProperties::multiline>},
    {"wordWrap", getFlag<&text::FieldProperties::wordWrap>, setFlag<&text::FieldProperties::wordWrap>},
    {"password", getFlag<&text::FieldProperties::password>, setFlag<&text::FieldProperties::password>},
    {"selectable", getFlag<&text::FieldProperties::selectable>, setFlag<&text::FieldProperties::selectable>},
    {"border", getFlag<&text::FieldProperties::border>, setFlag<&text::FieldProperties::border>},
    {"background", getFlag<&text::FieldProperties::background>, setFlag<&text::FieldProperties::background>},
    {"condenseWhite", getFlag<&text::FieldProperties::condenseWhite>,
     setFlag<&text::FieldProperties::condenseWhite>},
    {"embedFonts", getFlag<&text::FieldProperties::embedFonts>, setFlag<&text::FieldProperties::embedFonts>},
    {"borderColor", getColor<&text::FieldProperties::borderColor>,
     setColor<&text::FieldProperties::borderColor>},
    {"backgroundColor", getColor<&text::FieldProperties::backgroundColor>,
     setColor<&text::FieldProperties::backgroundColor>},
    {"textColor",
     [](Interpreter&, text::FieldState& f) {
         return Value(double(f.textFormat(0, f.length()).color.value_or(f.newFormat().color.value_or(0))));
     },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         text::TextFormat c;
         c.color = toUint32(vm.toNumber(v)) & 0xFFFFFF;
         f.setTextFormat(0, f.length(), c);
         f.setNewFormat(c);
     }},
    {"type",
     [](Interpreter&, text::FieldState& f) {
         return Value(f.properties().type == text::FieldType::Input ? "input" : "dynamic");
     },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         const std::string s = asciiLower(vm.toString(v));
         if (s == "input" || s == "dynamic")
             f.change([&](text::FieldProperties& p) {
                 p.type = s == "input" ? text::FieldType::Input : text::FieldType::Dynamic;
             });
     }},
    {"variable",
     [](Interpreter&, text::FieldState& f) {
         return f.properties().variable.empty() ? Value::null() : Value(f.properties().variable);
     },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         const std::string name = v.isNullish() ? std::string() : vm.toString(v);
         f.change([&](text::FieldProperties& p) { p.variable = name; });
         f.boundValue.reset();
         f.rebound = true;
         if (vm.host())
             vm.host()->fieldVariablesChanged(); // the field shows the new variable at once
     }},
    {"maxChars",
     [](Interpreter&, text::FieldState& f) {
         return f.properties().maxChars ? Value(double(f.properties().maxChars)) : Value::null();
     },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         const double n = vm.toNumber(v);
         f.change([&](text::FieldProperties& p) {
             p.maxChars = std::isfinite(n) && n > 0 ? std::size_t(std::min(n, 1e9)) : 0;
         });
     }},
    {"restrict",
     [](Interpreter&, text::FieldState& f) {
         return f.properties().restrict ? utf8(*f.properties().restrict) : Value::null();
     },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         std::optional<std::u16string> r;
         if (!v.isNullish())
             r = argText(vm, v);
         f.change([&](text::FieldProperties& p) { p.restrict = r; });
     }},
    {"autoSize",
     [](Interpreter&, text::FieldState& f) { return Value(autoSizeName(f.properties().autoSize)); },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         text::AutoSize a = text::AutoSize::None;
         if (v.isBoolean()) {
             a = v.boolean() ? text::AutoSize::Left : text::AutoSize::None;
         } else {
             const std::string s = asciiLower(vm.toString(v));
             a = s == "left"     ? text::AutoSize::Left
                 : s == "right"  ? text::AutoSize::Right
                 : s == "center" ? text::AutoSize::Center
                                 : text::AutoSize::None;
         }
         f.change([&](text::FieldProperties& p) { p.autoSize = a; });
     }},
    {"textWidth", [](Interpreter&, text::FieldState& f) { return Value(std::round(f.textWidth())); },
     nullptr},
    {"textHeight", [](Interpreter&, text::FieldState& f) { return Value(std::round(f.textHeight())); },
     nullptr},
    {"scroll", [](Interpreter&, text::FieldState& f) { return Value(double(f.scroll)); },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n)) {
             f.scroll = int(std::clamp(std::trunc(n), 1.0, double(f.maxScroll())));
             f.touch();
         }
     }},
    {"maxscroll", [](Interpreter&, text::FieldState& f) { return Value(double(f.maxScroll())); }, nullptr},
    {"bottomScroll", [](Interpreter&, text::FieldState& f) { return Value(double(f.bottomScroll())); },
     nullptr},
    {"hscroll", [](Interpreter&, text::FieldState& f) { return Value(std::round(f.hscroll / 20)); },
     [](Interpreter& vm, text::FieldState& f, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n)) {
             f.hscroll = std::clamp(std::trunc(n), 0.0, f.maxHScroll()) * 20;
             f.touch();
         }
     }},
    {"maxhscroll", [](Interpreter&, text::FieldState& f) { return Value(f.maxHScroll()); }, nullptr},
};

template <std::size_t I> Value getAccessor(Interpreter& vm, Object* self, std::span<const Value>) {
    text::FieldState* f = stateOf(vm, self);
    return f ? kAccessors[I].get(vm, *f) : Value();
}

template <std::size_t I> Value setAccessor(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (text::FieldState* f = stateOf(vm, self); f && kAccessors[I].set)
        kAccessors[I].set(vm, *f, arg(args, 0));
    return Value();
}

template <std::size_t... I> void defineAccessors(Interpreter& vm, Object* proto, std::index_sequence<I...>) {
    (defineAccessor(vm, proto, kAccessors[I].name, getAccessor<I>, setAccessor<I>), ...);
}

// The placement properties a field shares with clips.
struct Placement {
    const char* name;
    ClipProperty property;
};
const Placement kPlacements[] = {
    {"_x", ClipProperty::X},         {"_y", ClipProperty::Y},           {"_xscale", ClipProperty::XScale},
    {"_yscale", ClipProperty::YScale}, {"_rotation", ClipProperty::Rotation}, {"_alpha", ClipProperty::Alpha},
    {"_visible", ClipProperty::Visible}, {"_width", ClipProperty::Width}, {"_height", ClipProperty::Height},
};

const FieldRef* liveRef(Interpreter& vm, Object* self) {
    auto* t = dynamic_cast<TextFieldAsObject*>(self);
    return t && vm.host() && vm.host()->field(t->ref) ? &t->ref : nullptr;
}

template <std::size_t I> Value getPlacement(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveRef(vm, self);
    if (!ref)
        return Value();
    const double v = vm.host()->fieldProperty(*ref, kPlacements[I].property);
    return kPlacements[I].property == ClipProperty::Visible ? Value(v != 0) : Value(v);
}

template <std::size_t I> Value setPlacement(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const FieldRef* ref = liveRef(vm, self)) {
        const ClipProperty p = kPlacements[I].property;
        const Value& given = arg(args, 0);
        // A field's position and size take undefined and null as no number at all (left
        // alone), in every version: Flash's traces show them ignored where SWF 6 reads 0.
        const bool sized = p == ClipProperty::X || p == ClipProperty::Y || p == ClipProperty::Width ||
                           p == ClipProperty::Height;
        const double v = p == ClipProperty::Visible ? (vm.toBoolean(given) ? 1 : 0)
                         : sized && given.isNullish() ? std::numeric_limits<double>::quiet_NaN()
                                                      : vm.toNumber(given);
        vm.host()->setFieldProperty(*ref, p, v);
    }
    return Value();
}

template <std::size_t... I> void definePlacements(Interpreter& vm, Object* proto, std::index_sequence<I...>) {
    (defineAccessor(vm, proto, kPlacements[I].name, getPlacement<I>, setPlacement<I>), ...);
}

Value getName(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveRef(vm, self);
    std::string name;
    int depth = 0;
    return ref && vm.host()->fieldPlacement(*ref, name, depth) ? Value(name) : Value();
}

Value setName(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (const FieldRef* ref = liveRef(vm, self)) {
        const std::string name = vm.toString(arg(args, 0));
        vm.host()->renameField(*ref, name);
        static_cast<TextFieldAsObject*>(self)->name = name;
    }
    return Value();
}

Value getParent(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveRef(vm, self);
    Object* parent = ref ? vm.clipObject(ref->parent) : nullptr;
    return parent ? Value(parent) : Value();
}

Value getTarget(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveRef(vm, self);
    if (!ref)
        return Value();
    const std::string parent = vm.clipSlashPath(ref->parent);
    return Value((parent == "/" ? parent : parent + "/") + static_cast<TextFieldAsObject*>(self)->name);
}

Value getDepth(Interpreter& vm, Object* self, std::span<const Value>) {
    const FieldRef* ref = liveRef(vm, self);
    std::string name;
    int depth = 0;
    return ref && vm.host()->fieldPlacement(*ref, name, depth) ? Value(double(depth)) : Value();
}

Value removeTextField(Interpreter& vm, Object* self, std::span<const Value>) {
    if (const FieldRef* ref = liveRef(vm, self))
        vm.host()->removeField(*ref);
    return Value();
}

// getTextFormat() is the whole text, (i) one character, (b, e) a range.
Value getTextFormat(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::FieldState* f = stateOf(vm, self);
    if (!f)
        return Value();
    std::size_t b = 0, e = f->length();
    if (!args.empty()) {
        b = indexArg(vm, args[0], 0);
        e = args.size() > 1 ? indexArg(vm, args[1], b + 1) : b + 1;
    }
    return newTextFormatObject(vm, f->textFormat(std::min(b, f->length()), std::min(e, f->length())));
}

// setTextFormat(fmt), (i, fmt) or (b, e, fmt): the format is the last argument.
Value setTextFormat(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::FieldState* f = stateOf(vm, self);
    if (!f || args.empty())
        return Value();
    const auto fmt = textFormatOf(args.back().object());
    if (!fmt)
        return Value();
    std::size_t b = 0, e = f->length();
    if (args.size() == 2) {
        b = indexArg(vm, args[0], 0);
        e = b + 1;
    } else if (args.size() >= 3) {
        b = indexArg(vm, args[0], 0);
        e = indexArg(vm, args[1], f->length());
    }
    f->setTextFormat(b, e, *fmt);
    return Value();
}

Value getNewTextFormat(Interpreter& vm, Object* self, std::span<const Value>) {
    text::FieldState* f = stateOf(vm, self);
    return f ? Value(newTextFormatObject(vm, f->newFormat())) : Value();
}

Value setNewTextFormat(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::FieldState* f = stateOf(vm, self);
    if (f && !args.empty())
        if (const auto fmt = textFormatOf(args[0].object()))
            f->setNewFormat(*fmt);
    return Value();
}

Value replaceSel(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (text::FieldState* f = stateOf(vm, self); f && !args.empty())
        f->replaceSel(argText(vm, args[0]));
    return Value();
}

Value replaceText(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::FieldState* f = stateOf(vm, self);
    if (f && args.size() >= 3)
        f->replaceText(indexArg(vm, args[0], 0), indexArg(vm, args[1], 0), argText(vm, args[2]));
    return Value();
}

Value getFontList(Interpreter& vm, Object*, std::span<const Value>) {
    return Value(vm.newArray({Value("_sans"), Value("_serif"), Value("_typewriter")}));
}

Value textFieldConstruct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

// A field names itself by its path, as clips do.
Value textFieldToString(Interpreter& vm, Object* self, std::span<const Value>) {
    auto* t = dynamic_cast<TextFieldAsObject*>(self);
    if (!t)
        return Value("[object Object]");
    return Value(vm.clipPath(t->ref.parent) + "." + t->name);
}

// MovieClip.createTextField(name, depth, x, y, width, height): the field from SWF 8 on,
// undefined before. Called without a clip (as ASnative(104, 200) may be) it makes the
// field in the clip whose script runs, as Flash's traces show.
Value createTextField(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!vm.host() || args.size() < 6)
        return Value();
    const ClipId clip =
        self && self->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(self)->clip : vm.currentTarget();
    const std::string name = vm.toString(args[0]);
    const double depth = vm.toNumber(args[1]);
    if (!std::isfinite(depth))
        return Value();
    const FieldRef ref = vm.host()->createField(clip, name, int(std::clamp(std::trunc(depth), -2e9, 2e9)),
                                                vm.toNumber(args[2]), vm.toNumber(args[3]),
                                                vm.toNumber(args[4]), vm.toNumber(args[5]));
    if (!ref.serial || vm.version() < 8)
        return Value();
    return Value(textFieldObject(vm, ref, name));
}

} // namespace

Object* textFieldObject(Interpreter& vm, const FieldRef& ref, const std::string& name) {
    if (Object* kept = vm.fieldObject(ref.serial)) {
        static_cast<TextFieldAsObject*>(kept)->name = name;
        return kept;
    }
    const Value ctor = vm.get(vm.global(), "TextField");
    Object* proto = ctor.isObject() ? vm.get(ctor, "prototype").object() : nullptr;
    auto owned = std::make_unique<TextFieldAsObject>(proto ? proto : vm.objectProto, ref, name);
    Object* o = owned.get();
    vm.adopt(std::move(owned));
    vm.keepFieldObject(ref, o);
    // Every field tells its listeners of changes, itself first (Flash 6 on).
    const Object* broadcaster = vm.get(vm.global(), "AsBroadcaster").object();
    if (broadcaster) {
        for (const char* method : {"broadcastMessage", "addListener", "removeListener"})
            vm.define(o, method, vm.get(const_cast<Object*>(broadcaster), method), kDontEnum);
        vm.define(o, "_listeners", listenerArray(vm, {Value(o)}), kDontEnum);
    }
    return o;
}

const FieldRef* fieldRefOf(Object* o) {
    auto* t = dynamic_cast<TextFieldAsObject*>(o);
    return t ? &t->ref : nullptr;
}

void installTextFieldBuiltins(Interpreter& vm) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = vm.newNative(textFieldConstruct, proto);
    defineAccessors(vm, proto, std::make_index_sequence<std::size(kAccessors)>());
    definePlacements(vm, proto, std::make_index_sequence<std::size(kPlacements)>());
    defineAccessor(vm, proto, "_name", getName, setName);
    defineAccessor(vm, proto, "_parent", getParent, nullptr);
    defineAccessor(vm, proto, "_target", getTarget, nullptr);
    defineAccessor(vm, proto, "styleSheet", getStyleSheet, setStyleSheet);
    vm.defineMethod(proto, "getDepth", getDepth);
    vm.defineMethod(proto, "removeTextField", removeTextField);
    vm.defineMethod(proto, "getTextFormat", getTextFormat);
    vm.defineMethod(proto, "setTextFormat", setTextFormat);
    vm.defineMethod(proto, "getNewTextFormat", getNewTextFormat);
    vm.defineMethod(proto, "setNewTextFormat", setNewTextFormat);
    vm.defineMethod(proto, "replaceSel", replaceSel);
    vm.defineMethod(proto, "replaceText", replaceText);
    vm.defineMethod(proto, "toString", textFieldToString);
    vm.defineMethod(ctor, "getFontList", getFontList);
    installStyleSheetBuiltins(vm, ctor);
    if (vm.clipProto) {
        vm.defineMethod(vm.clipProto, "createTextField", createTextField);
        registerNative(vm, 104, 200, vm.get(vm.clipProto, "createTextField"));
    }
    vm.define(vm.global(), "TextField", ctor, kDontEnum | kSwf6Up); // Flash 6 brought the class
}

} // namespace swf::avm1
