// TextField.StyleSheet: CSS rules scripts build with parseCSS and setStyle, and give to
// fields through their styleSheet property; HTML text read afterwards takes its formats.

#include "BuiltinSupport.h"
#include "BuiltinTextField.h"
#include "BuiltinTextFormat.h"

namespace swf::avm1 {

namespace {

class StyleSheetObject : public Object {
public:
    explicit StyleSheetObject(Object* proto) : Object(Kind::Plain, proto) {}
    std::shared_ptr<text::StyleSheet> sheet = std::make_shared<text::StyleSheet>();
};

text::StyleSheet* sheetOf(Object* self) {
    auto* s = dynamic_cast<StyleSheetObject*>(self);
    return s ? s->sheet.get() : nullptr;
}

Object* allocateStyleSheet(Interpreter& vm, Object* proto) {
    return makeNative<StyleSheetObject>(vm, proto);
}

Value construct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

// True when the text was read as CSS; malformed text changes nothing.
Value parseCss(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::StyleSheet* s = sheetOf(self);
    return s ? Value(s->parseCss(vm.toString(arg(args, 0)))) : Value(false);
}

// The style's enumerable properties as CSS values; null or undefined removes the style.
text::StyleProps propsOf(Interpreter& vm, Object* style) {
    text::StyleProps props;
    for (const Property& p : style->properties())
        if (!(p.flags & kDontEnum) && !p.virtualProperty)
            props[p.name] = vm.toString(p.value);
    return props;
}

Value setStyle(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::StyleSheet* s = sheetOf(self);
    if (!s || args.empty())
        return Value();
    const std::string name = vm.toString(args[0]);
    if (Object* style = arg(args, 1).object())
        s->setStyle(name, propsOf(vm, style));
    else
        s->removeStyle(name);
    return Value();
}

// A copy of the style: changing it does not change the sheet.
Value getStyle(Interpreter& vm, Object* self, std::span<const Value> args) {
    text::StyleSheet* s = sheetOf(self);
    const text::StyleProps* props = s ? s->style(vm.toString(arg(args, 0))) : nullptr;
    if (!props)
        return Value::null();
    Object* o = vm.newObject();
    for (const auto& [name, value] : *props)
        vm.set(o, name, Value(value));
    return Value(o);
}

Value getStyleNames(Interpreter& vm, Object* self, std::span<const Value>) {
    std::vector<Value> names;
    if (text::StyleSheet* s = sheetOf(self))
        for (const std::string& n : s->selectors())
            names.emplace_back(n);
    return Value(vm.newArray(std::move(names)));
}

Value clear(Interpreter&, Object* self, std::span<const Value>) {
    if (text::StyleSheet* s = sheetOf(self))
        s->clear();
    return Value();
}

// The TextFormat a style object describes.
Value transform(Interpreter& vm, Object*, std::span<const Value> args) {
    Object* style = arg(args, 0).object();
    if (!style)
        return Value::null();
    return Value(newTextFormatObject(vm, text::formatFromStyle(propsOf(vm, style))));
}

// "#RRGGBB" (exactly seven characters, any case) as a number; anything else is null. The
// argument is converted to a string first, so an object's toString runs.
Value parseColor(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string s = vm.toString(arg(args, 0));
    if (s.size() != 7 || s[0] != '#')
        return Value::null();
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = s[i];
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            return Value::null();
        rgb = rgb * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<double>(rgb);
}

} // namespace

std::shared_ptr<const text::StyleSheet> styleSheetOf(Object* o) {
    auto* s = dynamic_cast<StyleSheetObject*>(o);
    return s ? s->sheet : nullptr;
}

void installStyleSheetBuiltins(Interpreter& vm, Object* textField) {
    FunctionObject* ctor = defineClass(vm, textField, "StyleSheet", construct);
    // A Flash 7 class: movies of earlier versions do not see it.
    if (Property* p = textField->own(vm.key("StyleSheet")))
        p->flags |= kSwf7Up;
    ctor->allocate = allocateStyleSheet;
    Object* proto = vm.get(ctor, "prototype").object();
    if (!proto)
        return;
    vm.defineMethod(proto, "parseCSS", parseCss);
    vm.defineMethod(proto, "setStyle", setStyle);
    vm.defineMethod(proto, "getStyle", getStyle);
    vm.defineMethod(proto, "getStyleNames", getStyleNames);
    vm.defineMethod(proto, "clear", clear);
    vm.defineMethod(proto, "transform", transform);
    vm.defineMethod(proto, "parseColor", parseColor);
}

} // namespace swf::avm1
