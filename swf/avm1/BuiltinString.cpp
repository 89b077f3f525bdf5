// String and its methods. Strings are UTF-8 inside; positions and lengths count
// UTF-16 units as the player did.

#include "BuiltinSupport.h"
#include "Interpreter.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

std::u16string selfText(Interpreter& vm, Object* self) {
    if (!self)
        return {};
    if (self->kind() == Object::Kind::Boxed)
        return toUtf16(vm.toString(static_cast<BoxObject*>(self)->primitive));
    return toUtf16(vm.toString(Value(self)));
}

double integerArg(Interpreter& vm, std::span<const Value> args, std::size_t i, double fallback) {
    if (i >= args.size() || args[i].isUndefined())
        return fallback;
    const double v = vm.toNumber(args[i]);
    return std::isnan(v) ? 0 : std::trunc(v);
}

std::size_t clampIndex(double v, std::size_t size) {
    return static_cast<std::size_t>(std::clamp(v, 0.0, static_cast<double>(size)));
}

Object* allocateString(Interpreter& vm, Object* proto) {
    return vm.newBox(proto, Value(std::string()));
}

Value stringConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::string s = args.empty() ? std::string() : vm.toString(args[0]);
    if (vm.isConstructing(self) && self->kind() == Object::Kind::Boxed) {
        static_cast<BoxObject*>(self)->primitive = s;
        return self;
    }
    return s;
}

// On anything but a String object (a Date too) the receiver is converted as `"" + this` would.
Value stringValueOf(Interpreter& vm, Object* self, std::span<const Value>) {
    if (self && self->kind() == Object::Kind::Boxed && !static_cast<BoxObject*>(self)->isDate)
        return vm.toString(static_cast<BoxObject*>(self)->primitive);
    return vm.toString(Value(self));
}

Value stringCharAt(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    const double i = integerArg(vm, args, 0, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return "";
    return fromUtf16(s.substr(static_cast<std::size_t>(i), 1));
}

Value stringCharCodeAt(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    const double i = integerArg(vm, args, 0, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return std::nan("");
    return static_cast<double>(s[static_cast<std::size_t>(i)]);
}

Value stringConcat(Interpreter& vm, Object* self, std::span<const Value> args) {
    std::string out = fromUtf16(selfText(vm, self));
    for (const Value& v : args) {
        out += vm.toString(v);
        if (!vm.checkStringSize(out.size()))
            return Value();
    }
    return out;
}

Value stringIndexOf(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    const std::u16string what = toUtf16(vm.toString(arg(args, 0)));
    const std::size_t from = clampIndex(integerArg(vm, args, 1, 0), s.size());
    const std::size_t at = s.find(what, from);
    return at == std::u16string::npos ? -1.0 : static_cast<double>(at);
}

Value stringLastIndexOf(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    const std::u16string what = toUtf16(vm.toString(arg(args, 0)));
    const double fromArg = integerArg(vm, args, 1, static_cast<double>(s.size()));
    if (fromArg < 0)
        return -1.0;
    const std::size_t at = s.rfind(what, clampIndex(fromArg, s.size()));
    return at == std::u16string::npos ? -1.0 : static_cast<double>(at);
}

std::size_t relative(double v, std::size_t size) {
    if (v < 0)
        v = std::max(0.0, static_cast<double>(size) + v);
    return clampIndex(v, size);
}

Value stringSlice(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    const std::size_t start = relative(integerArg(vm, args, 0, 0), s.size());
    const std::size_t end = relative(integerArg(vm, args, 1, static_cast<double>(s.size())), s.size());
    return start < end ? fromUtf16(s.substr(start, end - start)) : std::string();
}

Value stringSubstring(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    std::size_t start = clampIndex(integerArg(vm, args, 0, 0), s.size());
    std::size_t end = clampIndex(integerArg(vm, args, 1, static_cast<double>(s.size())), s.size());
    if (start > end)
        std::swap(start, end);
    return fromUtf16(s.substr(start, end - start));
}

Value stringSubstr(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    const std::size_t start = relative(integerArg(vm, args, 0, 0), s.size());
    double len = integerArg(vm, args, 1, static_cast<double>(s.size()));
    // A negative length counts back from the end of the string, and gives nothing
    // when that would reach the end from `start` (measured).
    if (len < 0) {
        len += static_cast<double>(s.size());
        if (static_cast<double>(start) + len >= static_cast<double>(s.size()))
            return "";
    }
    if (len <= 0)
        return "";
    return fromUtf16(s.substr(start, clampIndex(len, s.size())));
}

// split as the player did (measured): a given limit is an int32 and one of 0 or less
// gives no parts. From SWF 6 an undefined separator keeps the string whole whatever
// the limit, an empty one splits into units, and an empty string gives one empty part
// for a non-empty separator. SWF 5 splits only at a one-unit separator: an empty one
// keeps the string whole even past the limit, a longer one keeps it whole within it;
// with a limit an undefined separator is a comma, and a non-empty one is read twice.
Value stringSplit(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::u16string s = selfText(vm, self);
    std::vector<Value> parts;
    const bool swf5 = vm.version() <= 5;
    const bool limited = args.size() > 1 && !args[1].isUndefined();
    if (args.empty() || (args[0].isUndefined() && (!swf5 || !limited))) {
        parts.emplace_back(fromUtf16(s));
        return vm.newArray(std::move(parts));
    }
    std::u16string sep = args[0].isUndefined() ? u"," : toUtf16(vm.toString(args[0]));
    if (swf5 && args.size() > 1 && !sep.empty() && !args[0].isUndefined())
        sep = toUtf16(vm.toString(args[0]));
    std::size_t max = 0xFFFFFFFFu;
    if (limited)
        max = static_cast<std::size_t>(std::max(0, toInt32(vm.toNumber(args[1]))));
    if (swf5 && sep.empty()) {
        parts.emplace_back(fromUtf16(s));
        return vm.newArray(std::move(parts));
    }
    if (!swf5 && s.empty()) {
        if (!sep.empty())
            parts.emplace_back(std::string());
        return vm.newArray(std::move(parts));
    }
    if (max == 0)
        return vm.newArray(std::move(parts));
    if (swf5 && sep.size() != 1) {
        parts.emplace_back(fromUtf16(s));
        return vm.newArray(std::move(parts));
    }
    if (sep.empty()) {
        if (!vm.checkArraySize(std::min(s.size(), max)))
            return Value();
        for (std::size_t i = 0; i < s.size() && parts.size() < max; ++i)
            parts.emplace_back(fromUtf16(s.substr(i, 1)));
        return vm.newArray(std::move(parts));
    }
    std::size_t i = 0;
    while (parts.size() < max) {
        const std::size_t at = s.find(sep, i);
        if (at == std::u16string::npos) {
            parts.emplace_back(fromUtf16(s.substr(i)));
            break;
        }
        parts.emplace_back(fromUtf16(s.substr(i, at - i)));
        i = at + sep.size();
        if (!vm.checkArraySize(parts.size()))
            return Value();
    }
    return vm.newArray(std::move(parts));
}

char16_t lowerUnit(char16_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) // Cyrillic
        return static_cast<char16_t>(c + 32);
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) // Greek
        return static_cast<char16_t>(c + 32);
    return c;
}

char16_t upperUnit(char16_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 32);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return static_cast<char16_t>(c - 32);
    return c;
}

Value stringToLowerCase(Interpreter& vm, Object* self, std::span<const Value>) {
    std::u16string s = selfText(vm, self);
    std::transform(s.begin(), s.end(), s.begin(), lowerUnit);
    return fromUtf16(s);
}

Value stringToUpperCase(Interpreter& vm, Object* self, std::span<const Value>) {
    std::u16string s = selfText(vm, self);
    std::transform(s.begin(), s.end(), s.begin(), upperUnit);
    return fromUtf16(s);
}

// ASnative(102, 0) and (102, 1): the case changes of Flash 5's string natives, which
// touch only the ASCII letters.
Value stringToAsciiUpperCase(Interpreter& vm, Object* self, std::span<const Value>) {
    std::string s = vm.toString(self ? Value(self) : Value());
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

Value stringToAsciiLowerCase(Interpreter& vm, Object* self, std::span<const Value>) {
    return asciiLower(vm.toString(self ? Value(self) : Value()));
}

Value stringFromCharCode(Interpreter& vm, Object*, std::span<const Value> args) {
    // Every argument is converted, but the player's strings end at a zero code unit.
    std::u16string s;
    bool ended = false;
    // SWF 5 strings are bytes: a code past 255 is written as two, high first.
    const auto put = [&](char16_t unit) {
        ended = ended || unit == 0;
        if (!ended)
            s.push_back(unit);
    };
    for (const Value& v : args) {
        const auto unit = static_cast<char16_t>(toUint32(vm.toNumber(v)) & 0xFFFF);
        if (vm.version() <= 5 && unit > 0xFF)
            put(unit >> 8);
        put(vm.version() <= 5 ? unit & 0xFF : unit);
    }
    return fromUtf16(s);
}

} // namespace

void installStringBuiltins(Interpreter& vm) {
    vm.stringProto = vm.newObject();
    Object* p = vm.stringProto;
    FunctionObject* string = vm.newNative(stringConstruct, p);
    string->allocate = allocateString;
    vm.defineMethod(p, "toString", stringValueOf);
    vm.defineMethod(p, "valueOf", stringValueOf);
    vm.defineMethod(p, "charAt", stringCharAt);
    vm.defineMethod(p, "charCodeAt", stringCharCodeAt);
    vm.defineMethod(p, "concat", stringConcat);
    vm.defineMethod(p, "indexOf", stringIndexOf);
    vm.defineMethod(p, "lastIndexOf", stringLastIndexOf);
    vm.defineMethod(p, "slice", stringSlice);
    vm.defineMethod(p, "substring", stringSubstring);
    vm.defineMethod(p, "substr", stringSubstr);
    vm.defineMethod(p, "split", stringSplit);
    vm.defineMethod(p, "toLowerCase", stringToLowerCase);
    vm.defineMethod(p, "toUpperCase", stringToUpperCase);
    registerNative(vm, 102, 0, stringToAsciiUpperCase);
    registerNative(vm, 102, 1, stringToAsciiLowerCase);
    vm.defineMethod(string, "fromCharCode", stringFromCharCode);
    vm.define(vm.global(), "String", string, kDontEnum);
}

} // namespace swf::avm1
