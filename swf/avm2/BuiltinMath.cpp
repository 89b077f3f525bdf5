// Math and the flash.utils functions that need no host.
#include "swf/avm2/Machine.h"

#include <cmath>

namespace swf::avm2 {

namespace {

void unary(Machine& m, ClassObject* math, const char* name, double (*fn)(double)) {
    m.defineStaticMethod(math, name, [fn](Machine& m, Value, std::span<Value> a) {
        return Machine::numberValue(fn(m.toNumber(arg(a, 0))));
    }, 1);
}

} // namespace

void installMathBuiltins(Machine& m) {
    ClassObject* math = m.defineNativeClass("", "Math", m.objectClass);
    math->dynamicInstances = false;
    for (auto [name, value] : {std::pair{"E", M_E}, {"LN10", M_LN10}, {"LN2", M_LN2}, {"LOG10E", M_LOG10E},
                               {"LOG2E", M_LOG2E}, {"PI", M_PI}, {"SQRT1_2", M_SQRT1_2}, {"SQRT2", M_SQRT2}})
        m.defineStatic(math, name, Value::number(value));
    unary(m, math, "abs", [](double x) { return std::fabs(x); });
    unary(m, math, "floor", [](double x) { return std::floor(x); });
    unary(m, math, "ceil", [](double x) { return std::ceil(x); });
    // Rounds halves up (toward +Infinity), as ECMA-262 does.
    unary(m, math, "round", [](double x) { return std::isfinite(x) ? std::floor(x + 0.5) : x; });
    unary(m, math, "sqrt", [](double x) { return std::sqrt(x); });
    unary(m, math, "sin", [](double x) { return std::sin(x); });
    unary(m, math, "cos", [](double x) { return std::cos(x); });
    unary(m, math, "tan", [](double x) { return std::tan(x); });
    unary(m, math, "asin", [](double x) { return std::asin(x); });
    unary(m, math, "acos", [](double x) { return std::acos(x); });
    unary(m, math, "atan", [](double x) { return std::atan(x); });
    unary(m, math, "exp", [](double x) { return std::exp(x); });
    unary(m, math, "log", [](double x) { return std::log(x); });
    m.defineStaticMethod(math, "atan2", [](Machine& m, Value, std::span<Value> a) {
        return Machine::numberValue(std::atan2(m.toNumber(arg(a, 0)), m.toNumber(arg(a, 1))));
    }, 2);
    m.defineStaticMethod(math, "pow", [](Machine& m, Value, std::span<Value> a) {
        return Machine::numberValue(std::pow(m.toNumber(arg(a, 0)), m.toNumber(arg(a, 1))));
    }, 2);
    auto extreme = [](bool wantMax) {
        return [wantMax](Machine& m, Value, std::span<Value> a) {
            double best = wantMax ? -INFINITY : INFINITY;
            for (auto& v : a) {
                double d = m.toNumber(v);
                if (std::isnan(d))
                    return Value::number(NAN);
                if (wantMax ? d > best : d < best)
                    best = d;
            }
            return Machine::numberValue(best);
        };
    };
    m.defineStaticMethod(math, "max", extreme(true), 2);
    m.defineStaticMethod(math, "min", extreme(false), 2);
    m.defineStaticMethod(math, "random", [](Machine& m, Value, std::span<Value>) { return Value::number(m.nextRandom()); });

    m.defineGlobal("flash.utils", "getTimer", Value::object(m.newNative("getTimer", [](Machine& m, Value, std::span<Value>) {
        return Value::integer(static_cast<std::int32_t>(m.timeMs));
    })));
    m.defineGlobal("flash.utils", "getQualifiedClassName", Value::object(m.newNative("getQualifiedClassName", [](Machine& m, Value, std::span<Value> a) {
        Value v = arg(a, 0);
        if (v.isObject() && v.o->kind == ObjectKind::Class)
            return m.string(static_cast<ClassObject*>(v.o)->qualified);
        if (v.isNumeric())
            return m.string(m.isType(v, m.intClass) ? "int" : "Number");
        return m.string(m.className(v));
    }, 1)));
    m.defineGlobal("flash.utils", "getDefinitionByName", Value::object(m.newNative("getDefinitionByName", [](Machine& m, Value, std::span<Value> a) {
        std::string name = m.toString(arg(a, 0));
        ClassObject* c = m.findClass(name);
        if (!c)
            m.referenceError(1065, "Variable " + name + " is not defined.");
        return Value::object(c);
    }, 1)));
}

} // namespace swf::avm2
