// Object, Function, Class, Namespace, Boolean, Number, int, uint, the Error classes and
// the global functions.
#include "swf/avm2/Machine.h"

#include <cmath>
#include <cstdio>

namespace swf::avm2 {

namespace {

// Prototype functions are dynamic and hidden from for-in, as the built-in ones were.
void protoMethod(Machine& m, Object* proto, const std::string& name, NativeFn fn, std::uint32_t length = 0) {
    proto->setOwn(name, Value::object(m.newNative(name, std::move(fn), length)));
    proto->setDontEnum(name);
}

void instanceSlot(ClassObject* cls, const std::string& name, Value initial) {
    Traits& t = cls->instanceTraits;
    Binding& b = t.define(name, kPublicNs);
    b.kind = Binding::Kind::Slot;
    b.slot = ++t.slotCount;
    t.slotDefaults.resize(b.slot + 1);
    t.slotDefaults[b.slot] = initial;
}

std::string radixString(double d, int radix) {
    if (radix == 10 || !std::isfinite(d))
        return numberToString(d);
    bool negative = d < 0;
    double v = std::floor(std::fabs(d));
    std::string out;
    do {
        int digit = static_cast<int>(std::fmod(v, radix));
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        v = std::floor(v / radix);
    } while (v > 0 && out.size() < 1100);
    return negative ? "-" + out : out;
}

void numberMethods(Machine& m, ClassObject* cls) {
    m.defineMethod(cls, "toString", [](Machine& m, Value self, std::span<Value> a) {
        int radix = a.empty() || a[0].isUndefined() ? 10 : m.toInt(a[0]);
        if (radix < 2 || radix > 36)
            m.rangeError(1003, "The radix argument must be between 2 and 36; got " + std::to_string(radix) + ".");
        return m.string(radixString(m.toNumber(self), radix));
    });
    m.defineMethod(cls, "valueOf", [](Machine&, Value self, std::span<Value>) { return self; });
    m.defineMethod(cls, "toFixed", [](Machine& m, Value self, std::span<Value> a) {
        int digits = m.toInt(arg(a, 0));
        if (digits < 0 || digits > 20)
            m.rangeError(1002, "Number.toFixed has a range of 0 to 20. Value " + std::to_string(digits) + " is not valid.");
        double d = m.toNumber(self);
        if (!std::isfinite(d) || std::fabs(d) >= 1e21)
            return m.string(numberToString(d));
        char buf[128];
        std::snprintf(buf, sizeof buf, "%.*f", digits, d);
        return m.string(buf);
    });
}

} // namespace

void installCoreBuiltins(Machine& m) {
    ClassObject* object = m.defineNativeClass("", "Object", nullptr);
    m.objectClass = object;
    object->prototype->cls = object;
    ClassObject* cls = m.defineNativeClass("", "Class", object);
    m.classClass = cls;
    ClassObject* function = m.defineNativeClass("", "Function", object);
    m.functionClass = function;
    for (ClassObject* c : {object, cls, function}) {
        c->cls = cls;
        c->proto = cls->prototype;
    }
    // Function objects made before Function existed (none yet beyond the classes) need no fix.
    Object* oproto = object->prototype;
    protoMethod(m, oproto, "hasOwnProperty", [](Machine& m, Value self, std::span<Value> a) {
        if (!self.isObject())
            return Value::boolean(false);
        return Value::boolean(self.o->hasOwn(m.toString(arg(a, 0))) ||
                              (self.o->traits && self.o->traits->find(Machine::publicName(m.toString(arg(a, 0))))));
    }, 1);
    protoMethod(m, oproto, "propertyIsEnumerable", [](Machine& m, Value self, std::span<Value> a) {
        if (!self.isObject())
            return Value::boolean(false);
        auto names = self.o->enumerableNames();
        std::string n = m.toString(arg(a, 0));
        for (const auto& name : names)
            if (name == n)
                return Value::boolean(true);
        return Value::boolean(false);
    }, 1);
    protoMethod(m, oproto, "setPropertyIsEnumerable", [](Machine& m, Value self, std::span<Value> a) {
        if (self.isObject() && !m.toBoolean(arg(a, 1)))
            self.o->setDontEnum(m.toString(arg(a, 0)));
        return Value();
    }, 2);
    protoMethod(m, oproto, "isPrototypeOf", [](Machine&, Value self, std::span<Value> a) {
        Value v = arg(a, 0);
        if (self.isObject() && v.isObject())
            for (Object* o = v.o->proto; o; o = o->proto)
                if (o == self.o)
                    return Value::boolean(true);
        return Value::boolean(false);
    }, 1);
    protoMethod(m, oproto, "toString", [](Machine& m, Value self, std::span<Value>) {
        if (self.isObject() && self.o->kind == ObjectKind::Class)
            return m.string("[class " + static_cast<ClassObject*>(self.o)->name + "]");
        if (self.isObject() && self.o->kind == ObjectKind::Function)
            return m.string("function Function() {}");
        ClassObject* c = m.classOf(self);
        return m.string("[object " + (c ? c->name : std::string("Object")) + "]");
    });
    protoMethod(m, oproto, "toLocaleString", [](Machine& m, Value self, std::span<Value>) {
        return m.callProperty(self, Machine::publicName("toString"), {});
    });
    protoMethod(m, oproto, "valueOf", [](Machine&, Value self, std::span<Value>) { return self; });
    object->callAsFunction = [](Machine& m, Value, std::span<Value> a) {
        Value v = arg(a, 0);
        return v.isNullish() ? Value::object(m.newObject()) : v;
    };

    protoMethod(m, function->prototype, "call", [](Machine& m, Value self, std::span<Value> a) {
        Value thisArg = arg(a, 0);
        return m.call(self, thisArg, a.empty() ? a : a.subspan(1));
    }, 1);
    protoMethod(m, function->prototype, "apply", [](Machine& m, Value self, std::span<Value> a) {
        Value thisArg = arg(a, 0);
        std::vector<Value> list;
        Value array = arg(a, 1);
        if (array.isObject() && array.o->kind == ObjectKind::Array)
            list = static_cast<ArrayObject*>(array.o)->elements;
        else if (!array.isNullish())
            m.typeError(1116, "second argument to Function.prototype.apply must be an array.");
        return m.call(self, thisArg, list);
    }, 2);

    ClassObject* ns = m.defineNativeClass("", "Namespace", object);
    m.namespaceClass = ns;
    ns->dynamicInstances = false;
    m.defineGetter(ns, "uri", [](Machine& m, Value self, std::span<Value>) {
        Value* uri = self.isObject() ? self.o->own("uri") : nullptr;
        return uri ? *uri : m.string("");
    });

    // Primitive wrappers: calling or constructing them converts.
    ClassObject* boolean = m.defineNativeClass("", "Boolean", object);
    m.booleanClass = boolean;
    boolean->callAsFunction = [](Machine& m, Value, std::span<Value> a) { return Value::boolean(m.toBoolean(arg(a, 0))); };
    m.defineMethod(boolean, "toString", [](Machine& m, Value self, std::span<Value>) { return m.string(m.toString(self)); });
    m.defineMethod(boolean, "valueOf", [](Machine&, Value self, std::span<Value>) { return self; });

    ClassObject* number = m.defineNativeClass("", "Number", object);
    m.numberClass = number;
    number->callAsFunction = [](Machine& m, Value, std::span<Value> a) {
        return a.empty() ? Value::number(0) : Value::number(m.toNumber(a[0]));
    };
    numberMethods(m, number);
    m.defineStatic(number, "NaN", Value::number(NAN));
    m.defineStatic(number, "POSITIVE_INFINITY", Value::number(INFINITY));
    m.defineStatic(number, "NEGATIVE_INFINITY", Value::number(-INFINITY));
    m.defineStatic(number, "MAX_VALUE", Value::number(1.7976931348623157e308));
    m.defineStatic(number, "MIN_VALUE", Value::number(4.9406564584124654e-324));

    ClassObject* intc = m.defineNativeClass("", "int", object);
    m.intClass = intc;
    intc->callAsFunction = [](Machine& m, Value, std::span<Value> a) { return Value::integer(m.toInt(arg(a, 0))); };
    numberMethods(m, intc);
    m.defineStatic(intc, "MAX_VALUE", Value::integer(2147483647));
    m.defineStatic(intc, "MIN_VALUE", Value::integer(-2147483647 - 1));

    ClassObject* uintc = m.defineNativeClass("", "uint", object);
    m.uintClass = uintc;
    uintc->callAsFunction = [](Machine& m, Value, std::span<Value> a) { return Value::uinteger(m.toUint(arg(a, 0))); };
    numberMethods(m, uintc);
    m.defineStatic(uintc, "MAX_VALUE", Value::uinteger(4294967295u));
    m.defineStatic(uintc, "MIN_VALUE", Value::uinteger(0));
    for (ClassObject* c : {boolean, number, intc, uintc}) {
        c->constructsPrimitive = true;
        c->dynamicInstances = false;
    }

    // Errors: message, name and errorID live in fixed slots (1, 2, 3).
    ClassObject* error = m.defineNativeClass("", "Error", object);
    m.errorClass = error;
    instanceSlot(error, "message", m.string(""));
    instanceSlot(error, "name", m.string("Error"));
    instanceSlot(error, "_errorID", Value::integer(0));
    error->init = m.newNative("Error", [](Machine& m, Value self, std::span<Value> a) {
        if (!self.isObject() || self.o->slots.size() < 4)
            return Value();
        self.o->kind = ObjectKind::Error;
        self.o->slots[1] = a.empty() || a[0].isUndefined() ? m.string("") : m.string(m.toString(a[0]));
        self.o->slots[2] = m.string(self.o->cls ? self.o->cls->name : "Error");
        self.o->slots[3] = Value::integer(a.size() > 1 ? m.toInt(a[1]) : 0);
        return Value();
    });
    m.defineGetter(error, "errorID", [](Machine&, Value self, std::span<Value>) {
        return self.isObject() && self.o->slots.size() > 3 ? self.o->slots[3] : Value::integer(0);
    });
    m.defineMethod(error, "getStackTrace", [](Machine&, Value, std::span<Value>) { return Value::null(); });
    m.defineMethod(error, "toString", [](Machine& m, Value self, std::span<Value>) {
        std::string name = m.toString(m.getProperty(self, Machine::publicName("name")));
        std::string message = m.toString(m.getProperty(self, Machine::publicName("message")));
        return m.string(message.empty() ? name : name + ": " + message);
    });
    error->callAsFunction = [error](Machine& m, Value, std::span<Value> a) {
        return Value::object(m.constructInstance(error, a));
    };
    auto subError = [&](const char* name) {
        ClassObject* c = m.defineNativeClass("", name, error);
        c->init = error->init;
        return c;
    };
    m.typeErrorClass = subError("TypeError");
    m.referenceErrorClass = subError("ReferenceError");
    m.rangeErrorClass = subError("RangeError");
    m.argumentErrorClass = subError("ArgumentError");
    m.verifyErrorClass = subError("VerifyError");
    subError("EvalError");
    subError("SecurityError");
    subError("SyntaxError");
    subError("URIError");
    subError("UninitializedError");
    m.defineNativeClass("flash.errors", "IOError", error)->init = error->init;
    m.defineNativeClass("flash.errors", "EOFError", error)->init = error->init;
    m.defineNativeClass("flash.errors", "IllegalOperationError", error)->init = error->init;

    // Global functions.
    m.defineGlobal("", "trace", Value::object(m.newNative("trace", [](Machine& m, Value, std::span<Value> a) {
        std::string line;
        for (std::size_t i = 0; i < a.size(); ++i)
            line += (i ? " " : "") + m.toString(a[i]);
        m.trace(line);
        return Value();
    })));
    m.defineGlobal("", "isNaN", Value::object(m.newNative("isNaN", [](Machine& m, Value, std::span<Value> a) {
        return Value::boolean(std::isnan(m.toNumber(arg(a, 0))));
    }, 1)));
    m.defineGlobal("", "isFinite", Value::object(m.newNative("isFinite", [](Machine& m, Value, std::span<Value> a) {
        return Value::boolean(std::isfinite(m.toNumber(arg(a, 0))));
    }, 1)));
    m.defineGlobal("", "parseFloat", Value::object(m.newNative("parseFloat", [](Machine& m, Value, std::span<Value> a) {
        std::string s = m.toString(arg(a, 0));
        std::size_t b = s.find_first_not_of(" \t\n\r\f\v");
        if (b == std::string::npos)
            return Value::number(NAN);
        // The longest prefix that reads as a decimal number.
        std::size_t best = 0;
        double value = NAN;
        for (std::size_t len = 1; b + len <= s.size() && len <= 400; ++len) {
            std::string part = s.substr(b, len);
            char last = part.back();
            if (last == 'e' || last == 'E' || last == '-' || last == '+' || last == '.')
                continue;
            double d = stringToNumber(part);
            if (!std::isnan(d) && part.find("0x") == std::string::npos && part.find("0X") == std::string::npos) {
                best = len;
                value = d;
            }
        }
        return best ? Value::number(value) : Value::number(NAN);
    }, 1)));
    m.defineGlobal("", "parseInt", Value::object(m.newNative("parseInt", [](Machine& m, Value, std::span<Value> a) {
        std::string s = m.toString(arg(a, 0));
        int radix = a.size() > 1 ? m.toInt(a[1]) : 0;
        std::size_t p = s.find_first_not_of(" \t\n\r\f\v");
        if (p == std::string::npos)
            return Value::number(NAN);
        bool negative = false;
        if (s[p] == '-' || s[p] == '+')
            negative = s[p++] == '-';
        if ((radix == 0 || radix == 16) && s.size() > p + 1 && s[p] == '0' && (s[p + 1] == 'x' || s[p + 1] == 'X')) {
            radix = 16;
            p += 2;
        }
        if (radix == 0)
            radix = 10;
        if (radix < 2 || radix > 36)
            return Value::number(NAN);
        double v = 0;
        bool any = false;
        for (; p < s.size(); ++p) {
            char c = s[p];
            int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : c >= 'A' && c <= 'Z' ? c - 'A' + 10 : 99;
            if (digit >= radix)
                break;
            v = v * radix + digit;
            any = true;
        }
        if (!any)
            return Value::number(NAN);
        return Machine::numberValue(negative ? -v : v);
    }, 2)));
    m.defineGlobal("", "NaN", Value::number(NAN));
    m.defineGlobal("", "Infinity", Value::number(INFINITY));
    m.defineGlobal("", "undefined", Value());
}

} // namespace swf::avm2
