// Math, Number and Boolean.

#include "BuiltinSupport.h"
#include "Interpreter.h"

#include <cmath>

namespace swf::avm1 {

namespace {

double num(Interpreter& vm, std::span<const Value> args, std::size_t i) {
    return i < args.size() ? vm.toNumber(args[i]) : std::nan("");
}

#define SWF_AVM1_MATH1(name, expr)                                                                           \
    Value math_##name(Interpreter& vm, Object*, std::span<const Value> args) {                               \
        const double x = num(vm, args, 0);                                                                   \
        return static_cast<double>(expr);                                                                    \
    }
SWF_AVM1_MATH1(abs, std::fabs(x))
SWF_AVM1_MATH1(acos, std::acos(x))
SWF_AVM1_MATH1(asin, std::asin(x))
SWF_AVM1_MATH1(atan, std::atan(x))
SWF_AVM1_MATH1(ceil, std::ceil(x))
SWF_AVM1_MATH1(cos, std::cos(x))
SWF_AVM1_MATH1(exp, std::exp(x))
SWF_AVM1_MATH1(floor, std::floor(x))
SWF_AVM1_MATH1(log, std::log(x))
SWF_AVM1_MATH1(round, std::floor(x + 0.5))
SWF_AVM1_MATH1(sin, std::sin(x))
SWF_AVM1_MATH1(sqrt, std::sqrt(x))
SWF_AVM1_MATH1(tan, std::tan(x))
#undef SWF_AVM1_MATH1

Value math_atan2(Interpreter& vm, Object*, std::span<const Value> args) {
    return std::atan2(num(vm, args, 0), num(vm, args, 1));
}

Value math_pow(Interpreter& vm, Object*, std::span<const Value> args) {
    return std::pow(num(vm, args, 0), num(vm, args, 1));
}

Value math_min(Interpreter& vm, Object*, std::span<const Value> args) {
    double r = HUGE_VAL;
    for (const Value& v : args) {
        const double x = vm.toNumber(v);
        if (std::isnan(x))
            return x;
        if (x < r)
            r = x;
    }
    return r;
}

Value math_max(Interpreter& vm, Object*, std::span<const Value> args) {
    double r = -HUGE_VAL;
    for (const Value& v : args) {
        const double x = vm.toNumber(v);
        if (std::isnan(x))
            return x;
        if (x > r)
            r = x;
    }
    return r;
}

Value math_random(Interpreter& vm, Object*, std::span<const Value>) {
    return static_cast<double>(vm.nextRandom()) / 4294967296.0;
}

// --- Number

Object* allocateNumber(Interpreter& vm, Object* proto) {
    return vm.newBox(proto, Value(0.0));
}

Value numberConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double n = args.empty() ? 0.0 : vm.toNumber(args[0]);
    if (vm.isConstructing(self) && self->kind() == Object::Kind::Boxed) {
        static_cast<BoxObject*>(self)->primitive = n;
        return self;
    }
    return n;
}

double selfNumber(Interpreter& vm, Object* self) {
    if (self && self->kind() == Object::Kind::Boxed)
        return vm.toNumber(static_cast<BoxObject*>(self)->primitive);
    return std::nan("");
}

Value numberToStringMethod(Interpreter& vm, Object* self, std::span<const Value> args) {
    const double n = selfNumber(vm, self);
    const int radix = args.empty() || args[0].isUndefined() ? 10 : toInt32(vm.toNumber(args[0]));
    return numberToString(n, radix);
}

Value numberValueOf(Interpreter& vm, Object* self, std::span<const Value>) {
    return selfNumber(vm, self);
}

// --- Boolean

Object* allocateBoolean(Interpreter& vm, Object* proto) {
    return vm.newBox(proto, Value(false));
}

Value booleanConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty() && !vm.isConstructing(self))
        return Value(); // Boolean() with nothing to convert is undefined
    const bool b = !args.empty() && vm.toBoolean(args[0]);
    if (vm.isConstructing(self) && self->kind() == Object::Kind::Boxed) {
        static_cast<BoxObject*>(self)->primitive = b;
        return self;
    }
    return b;
}

Value booleanValueOf(Interpreter& vm, Object* self, std::span<const Value>) {
    if (self && self->kind() == Object::Kind::Boxed)
        return vm.toBoolean(static_cast<BoxObject*>(self)->primitive);
    return Value();
}

Value booleanToString(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value b = booleanValueOf(vm, self, args);
    return b.isBoolean() ? Value(b.boolean() ? "true" : "false") : Value();
}

} // namespace

void installMathBuiltins(Interpreter& vm) {
    Object* g = vm.global();
    Object* math = vm.newObject();
    const std::uint8_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.define(math, "E", M_E, constant);
    vm.define(math, "LN10", M_LN10, constant);
    vm.define(math, "LN2", M_LN2, constant);
    vm.define(math, "LOG10E", M_LOG10E, constant);
    vm.define(math, "LOG2E", M_LOG2E, constant);
    vm.define(math, "PI", M_PI, constant);
    vm.define(math, "SQRT1_2", M_SQRT1_2, constant);
    vm.define(math, "SQRT2", M_SQRT2, constant);
    vm.defineMethod(math, "abs", math_abs);
    vm.defineMethod(math, "acos", math_acos);
    vm.defineMethod(math, "asin", math_asin);
    vm.defineMethod(math, "atan", math_atan);
    vm.defineMethod(math, "atan2", math_atan2);
    vm.defineMethod(math, "ceil", math_ceil);
    vm.defineMethod(math, "cos", math_cos);
    vm.defineMethod(math, "exp", math_exp);
    vm.defineMethod(math, "floor", math_floor);
    vm.defineMethod(math, "log", math_log);
    vm.defineMethod(math, "max", math_max);
    vm.defineMethod(math, "min", math_min);
    vm.defineMethod(math, "pow", math_pow);
    vm.defineMethod(math, "random", math_random);
    vm.defineMethod(math, "round", math_round);
    vm.defineMethod(math, "sin", math_sin);
    vm.defineMethod(math, "sqrt", math_sqrt);
    vm.defineMethod(math, "tan", math_tan);
    vm.define(g, "Math", math, kDontEnum);

    vm.numberProto = vm.newObject();
    FunctionObject* number = vm.newNative(numberConstruct, vm.numberProto);
    number->allocate = allocateNumber;
    vm.defineMethod(vm.numberProto, "toString", numberToStringMethod);
    vm.defineMethod(vm.numberProto, "valueOf", numberValueOf);
    // The player's constant is the 15-digit value, a little below the largest double.
    vm.define(number, "MAX_VALUE", 1.79769313486231e308, constant);
    vm.define(number, "MIN_VALUE", 4.9406564584124654e-324, constant);
    vm.define(number, "NaN", std::nan(""), constant);
    vm.define(number, "NEGATIVE_INFINITY", -HUGE_VAL, constant);
    vm.define(number, "POSITIVE_INFINITY", HUGE_VAL, constant);
    sealClass(number);
    vm.define(g, "Number", number, kDontEnum);

    vm.booleanProto = vm.newObject();
    FunctionObject* boolean = vm.newNative(booleanConstruct, vm.booleanProto);
    boolean->allocate = allocateBoolean;
    vm.defineMethod(vm.booleanProto, "toString", booleanToString);
    vm.defineMethod(vm.booleanProto, "valueOf", booleanValueOf);
    vm.define(g, "Boolean", boolean, kDontEnum);
}

} // namespace swf::avm1
