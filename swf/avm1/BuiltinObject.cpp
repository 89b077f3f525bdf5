// Object, Function, Error, ASSetPropFlags and the global functions.

#include "BuiltinButton.h"
#include "BuiltinSupport.h"
#include "BuiltinTextField.h"
#include "BuiltinTextFormat.h"
#include "BuiltinVideo.h"
#include "Interpreter.h"

#include <cmath>
#include <cstdlib>

namespace swf::avm1 {

namespace {

// --- Object

Value objectConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value v = arg(args, 0);
    if (v.isObject())
        return v;
    if (!v.isNullish())
        return vm.toObject(v);
    if (vm.isConstructing(self))
        return self;
    return vm.newObject(nullptr); // Object() called plainly gives a bare object, without even __proto__
}

Value objectToString(Interpreter& vm, Object* self, std::span<const Value>) {
    if (self && self->kind() == Object::Kind::Function)
        return "[type Function]";
    // A button (which has no toString of its own) reads as its target path, as trace shows it.
    if (const Value path = buttonPath(vm, self); path.isString())
        return path;
    return "[object Object]";
}

Value objectValueOf(Interpreter&, Object* self, std::span<const Value>) {
    return self ? Value(self) : Value();
}

// An array's elements are its own properties, though they are not in its property table.
bool isArrayElement(Object* self, const std::string& name) {
    std::uint32_t i;
    return self->kind() == Object::Kind::Array && parseArrayIndex(name, i) &&
           i < static_cast<ArrayObject*>(self)->elements.size();
}

Value objectHasOwnProperty(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self || args.empty())
        return false;
    const std::string name = vm.toString(args[0]);
    if (isArrayElement(self, name))
        return true;
    // The slot is asked for as it is, version bits and all: Flash answers true for a member
    // that the movie's version hides (measured on the built-in classes' listings).
    return self->own(vm.key(name)) != nullptr;
}

Value objectIsPropertyEnumerable(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self || args.empty())
        return false;
    const std::string name = vm.toString(args[0]);
    if (isArrayElement(self, name))
        return true;
    const Property* p = vm.visibleOwn(self, vm.key(name));
    return p && !(p->flags & kDontEnum);
}

Value objectIsPrototypeOf(Interpreter&, Object* self, std::span<const Value> args) {
    Object* o = arg(args, 0).object();
    if (!self || !o)
        return false;
    int guard = 0;
    for (Object* p = o->proto(); p && ++guard < 256; p = p->proto())
        if (p == self)
            return true;
    return false;
}

Value objectAddProperty(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::string name = vm.toString(arg(args, 0));
    const Value getter = arg(args, 1);
    const Value setter = arg(args, 2);
    if (!self || name.empty() || !vm.isCallable(getter))
        return false;
    if (!setter.isNullish() && !vm.isCallable(setter))
        return false;
    Property& p = self->put(name, vm.key(name), Value());
    p.virtualProperty = true;
    p.getter = getter.object();
    p.setter = setter.object();
    vm.noteAccessors();
    return true;
}

Value objectWatch(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::string name = vm.toString(arg(args, 0));
    const Value fn = arg(args, 1);
    if (!self || name.empty() || !vm.isCallable(fn))
        return false;
    Property* p = self->own(vm.key(name));
    if (!p)
        p = &self->put(name, vm.key(name), Value());
    p->watcher = fn.object();
    p->watchData = arg(args, 2);
    return true;
}

Value objectUnwatch(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self)
        return false;
    Property* p = self->own(vm.key(vm.toString(arg(args, 0))));
    if (!p || !p->watcher)
        return false;
    p->watcher = nullptr;
    p->watchData = Value();
    return true;
}

Value objectRegisterClass(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string name = vm.toString(arg(args, 0));
    const Value ctor = arg(args, 1);
    if (name.empty())
        return false;
    Object* registry = vm.get(vm.global(), "\x01classes").object();
    if (!registry) {
        registry = vm.newObject();
        registry->setProto(nullptr);
        vm.define(vm.global(), "\x01classes", registry, kDontEnum | kDontDelete);
    }
    if (ctor.isNull() || ctor.isUndefined())
        vm.remove(registry, name);
    else if (vm.isCallable(ctor))
        vm.define(registry, name, ctor);
    else
        return false;
    return true;
}

// --- Function

Value functionConstruct(Interpreter& vm, Object*, std::span<const Value>) {
    return vm.newObject();
}

Value functionCall(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value thisValue = arg(args, 0);
    return vm.call(self, thisValue.isNullish() ? Value() : thisValue, args.empty() ? args : args.subspan(1));
}

Value functionApply(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value thisValue = arg(args, 0);
    std::vector<Value> list;
    if (Object* a = arg(args, 1).object(); a && a->kind() == Object::Kind::Array)
        list = static_cast<ArrayObject*>(a)->elements;
    return vm.call(self, thisValue.isNullish() ? Value() : thisValue, list);
}

// --- Error

Value errorConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    Object* o = vm.isConstructing(self) ? self : vm.construct(vm.get(vm.global(), "Error"), {}).object();
    if (o && !args.empty() && !args[0].isUndefined())
        vm.set(o, "message", args[0]);
    return o ? Value(o) : Value();
}

Value errorToString(Interpreter& vm, Object* self, std::span<const Value>) {
    return vm.toString(vm.get(self, "message"));
}

// --- ASSetPropFlags(object, names, set, clear)

Value asSetPropFlags(Interpreter& vm, Object*, std::span<const Value> args) {
    Object* o = arg(args, 0).object();
    if (!o)
        return Value();
    const auto setBits = static_cast<PropFlags>(toUint32(vm.toNumber(arg(args, 2))));
    const auto clearBits = static_cast<PropFlags>(toUint32(vm.toNumber(arg(args, 3))));
    auto apply = [&](Property& p) { p.flags = static_cast<PropFlags>((p.flags & ~clearBits) | setBits); };
    const Value names = arg(args, 1);
    if (names.isNull()) {
        for (Property& p : o->properties())
            apply(p);
        return Value();
    }
    std::vector<std::string> list;
    if (Object* a = names.object(); a && a->kind() == Object::Kind::Array) {
        for (const Value& v : static_cast<ArrayObject*>(a)->elements)
            list.push_back(vm.toString(v));
    } else {
        const std::string s = vm.toString(names);
        std::size_t i = 0;
        while (i <= s.size()) {
            std::size_t j = s.find(',', i);
            if (j == std::string::npos)
                j = s.size();
            list.push_back(s.substr(i, j - i));
            i = j + 1;
        }
    }
    for (const std::string& n : list)
        if (Property* p = o->own(vm.key(n)))
            apply(*p);
    return Value();
}

// --- globals

Value globalParseInt(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string s = vm.toString(arg(args, 0));
    int radix = args.size() > 1 ? toInt32(vm.toNumber(args[1])) : 0;
    std::size_t i = 0;
    bool negative = false;
    // As the player read them (measured): a "0x" prefix counts only at the very start,
    // whatever the radix, with a sign allowed after it; a sign right before it gives NaN; a
    // leading zero means octal only when the whole string is octal digits.
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        i = 2;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            negative = s[i++] == '-';
        radix = 16;
    } else {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
        const std::size_t lead = i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            negative = s[i++] == '-';
        if (lead == 0 && i > 0 && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X'))
            return std::nan("");
        if (radix == 0) {
            radix = 10;
            if (lead == 0 && i + 1 < s.size() && s[i] == '0' &&
                s.find_first_not_of("01234567", i) == std::string::npos)
                radix = 8;
        }
    }
    if (radix < 2 || radix > 36)
        return std::nan("");
    double v = 0;
    std::size_t digits = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int d = 99;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'z')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z')
            d = c - 'A' + 10;
        if (d >= radix)
            break;
        v = v * radix + d;
        ++digits;
    }
    if (digits == 0)
        return std::nan("");
    return negative ? -v : v;
}

Value globalParseFloat(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string s = vm.toString(arg(args, 0));
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    // Longest prefix that reads as a decimal number.
    std::size_t j = i;
    if (j < s.size() && (s[j] == '+' || s[j] == '-'))
        ++j;
    std::size_t digits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9')
        ++j, ++digits;
    if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            ++j, ++digits;
    }
    if (digits == 0)
        return std::nan("");
    if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-'))
            ++k;
        std::size_t e = 0;
        while (k < s.size() && s[k] >= '0' && s[k] <= '9')
            ++k, ++e;
        if (e)
            j = k;
    }
    return std::strtod(s.substr(i, j - i).c_str(), nullptr); // plain decimal: "030" is 30
}

Value globalIsNaN(Interpreter& vm, Object*, std::span<const Value> args) {
    return std::isnan(vm.toNumber(arg(args, 0)));
}

Value globalIsFinite(Interpreter& vm, Object*, std::span<const Value> args) {
    return std::isfinite(vm.toNumber(arg(args, 0)));
}

Value globalEscape(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string s = vm.toString(arg(args, 0));
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : s) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (plain) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

// unescape as the player did (measured): "+" is a space; a "%" takes the next two
// characters, dropping them when either is not a hex digit (and a cut-off escape);
// a %00 ends the text. From SWF 6 this runs over UTF-8 bytes, read back leniently;
// SWF 5 text is one byte a character, and an empty result is undefined there.
template <typename Text>
static bool unescapeUnits(const Text& s, Text& out) {
    auto hex = [](auto c) { return c < 0x80 ? hexDigit(static_cast<char>(c)) : -1; };
    for (std::size_t i = 0; i < s.size();) {
        const auto c = s[i];
        if (c == '+') {
            out.push_back(' ');
            ++i;
        } else if (c != '%') {
            out.push_back(c);
            ++i;
        } else if (i + 1 >= s.size()) {
            break;
        } else if (hex(s[i + 1]) < 0) {
            i += 2;
        } else if (i + 2 >= s.size()) {
            break;
        } else if (hex(s[i + 2]) < 0) {
            i += 3;
        } else {
            const int b = hex(s[i + 1]) * 16 + hex(s[i + 2]);
            if (b == 0)
                return true;
            out.push_back(static_cast<typename Text::value_type>(b));
            i += 3;
        }
    }
    return false;
}

Value globalUnescape(Interpreter& vm, Object*, std::span<const Value> args) {
    const std::string s = vm.toString(arg(args, 0));
    if (vm.version() <= 5) {
        std::u16string out;
        const bool ended = unescapeUnits(toUtf16(s), out);
        return out.empty() && !ended ? Value() : Value(fromUtf16(out));
    }
    std::string out;
    unescapeUnits(s, out);
    return lenientUtf8(out);
}

Value globalGetTimer(Interpreter& vm, Object*, std::span<const Value>) {
    return std::floor(vm.time());
}

Value globalTrace(Interpreter& vm, Object*, std::span<const Value> args) {
    const Value v = arg(args, 0);
    vm.trace(v.isUndefined() ? std::string("undefined") : vm.toString(v));
    return Value();
}

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...);
// setTimeout takes the same arguments and calls once.
Value scheduleCall(Interpreter& vm, std::span<const Value> args, bool once) {
    if (args.size() < 2)
        return Value();
    if (vm.isCallable(args[0])) {
        std::vector<Value> rest(args.begin() + 2, args.end());
        const auto id = vm.addInterval(args[0], Value(), {}, vm.toNumber(args[1]), std::move(rest), once);
        return id ? Value(static_cast<double>(id)) : Value();
    }
    if (args.size() < 3 || !args[0].isObject())
        return Value();
    std::vector<Value> rest(args.begin() + 3, args.end());
    const auto id =
        vm.addInterval(Value(), args[0], vm.toString(args[1]), vm.toNumber(args[2]), std::move(rest), once);
    return id ? Value(static_cast<double>(id)) : Value();
}

Value globalSetInterval(Interpreter& vm, Object*, std::span<const Value> args) {
    return scheduleCall(vm, args, false);
}

Value globalSetTimeout(Interpreter& vm, Object*, std::span<const Value> args) {
    return scheduleCall(vm, args, true);
}

Value globalClearInterval(Interpreter& vm, Object*, std::span<const Value> args) {
    vm.clearInterval(toUint32(vm.toNumber(arg(args, 0))));
    return Value();
}

} // namespace

void installBuiltins(Interpreter& vm) {
    installObjectBuiltins(vm);
    installMathBuiltins(vm);
    installArrayBuiltins(vm);
    installStringBuiltins(vm);
    installDateBuiltins(vm);
    installClipBuiltins(vm);
    installGeomBuiltins(vm);
    installBroadcasterBuiltins(vm);
    installXmlBuiltins(vm);
    installLoadVarsBuiltins(vm);
    installTextFormatBuiltins(vm);
    installTextFieldBuiltins(vm);
    installNativeTable(vm);
    installSystemBuiltins(vm);
    installFilterBuiltins(vm);
    installDrawingBuiltins(vm);
    installBitmapDataBuiltins(vm);
    installClipLoaderBuiltins(vm);
    installClipDisplayBuiltins(vm);
    installSharedObjectBuiltins(vm);
    installSoundBuiltins(vm);
    installVideoBuiltins(vm);
    installButtonBuiltins(vm);
    installKeyBuiltins(vm);
    installMouseBuiltins(vm);
    installSelectionBuiltins(vm);
}

void installObjectBuiltins(Interpreter& vm) {
    Object* g = vm.global();
    Object* op = vm.objectProto;
    FunctionObject* object = vm.newNative(objectConstruct, op);
    vm.defineMethod(op, "toString", objectToString);
    vm.define(op, "toLocaleString", vm.newNative(objectToString, vm.newObject()), kDontEnum | kDontDelete);
    vm.defineMethod(op, "valueOf", objectValueOf);
    vm.defineMethod(op, "hasOwnProperty", objectHasOwnProperty, kDontEnum | kDontDelete | kSwf6Up);
    vm.defineMethod(op, "isPropertyEnumerable", objectIsPropertyEnumerable, kDontEnum | kDontDelete | kSwf6Up);
    vm.defineMethod(op, "isPrototypeOf", objectIsPrototypeOf, kDontEnum | kDontDelete | kSwf6Up);
    vm.defineMethod(op, "addProperty", objectAddProperty, kDontEnum | kDontDelete | kSwf6Up);
    vm.defineMethod(op, "watch", objectWatch, kDontEnum | kDontDelete | kSwf6Up);
    vm.defineMethod(op, "unwatch", objectUnwatch, kDontEnum | kDontDelete | kSwf6Up);
    vm.defineMethod(object, "registerClass", objectRegisterClass, kDontEnum | kDontDelete | kReadOnly);
    vm.define(g, "Object", object, kDontEnum);

    FunctionObject* function = vm.newNative(functionConstruct, vm.functionProto);
    vm.defineMethod(vm.functionProto, "call", functionCall);
    vm.defineMethod(vm.functionProto, "apply", functionApply);
    vm.define(g, "Function", function, kDontEnum | kSwf6Up); // SWF 5 movies have no Function global
    vm.setFunctionClass(function);
    sealClass(object);

    vm.errorProto = vm.newObject();
    vm.define(vm.errorProto, "message", "Error", kDontEnum);
    vm.define(vm.errorProto, "name", "Error", kDontEnum);
    vm.defineMethod(vm.errorProto, "toString", errorToString);
    vm.define(g, "Error", vm.newNative(errorConstruct, vm.errorProto), kDontEnum);

    vm.defineMethod(g, "ASSetPropFlags", asSetPropFlags);
    vm.defineMethod(g, "parseInt", globalParseInt);
    vm.defineMethod(g, "parseFloat", globalParseFloat);
    vm.defineMethod(g, "isNaN", globalIsNaN);
    vm.defineMethod(g, "isFinite", globalIsFinite);
    vm.defineMethod(g, "escape", globalEscape);
    vm.defineMethod(g, "unescape", globalUnescape);
    vm.defineMethod(g, "getTimer", globalGetTimer);
    vm.defineMethod(g, "trace", globalTrace);
    vm.defineMethod(g, "setInterval", globalSetInterval);
    vm.defineMethod(g, "clearInterval", globalClearInterval);
    vm.defineMethod(g, "setTimeout", globalSetTimeout);
    vm.defineMethod(g, "clearTimeout", globalClearInterval);
    vm.define(g, "NaN", std::nan(""), kDontEnum | kDontDelete);
    vm.define(g, "Infinity", HUGE_VAL, kDontEnum | kDontDelete);
}

} // namespace swf::avm1
