#pragma once
// An ActionScript 3 value: a small tagged union, cheap to copy. Strings and objects
// live in the machine's heap (Heap.h) and are referred to by pointer; they stay
// valid while the machine that made them lives.

#include <cstdint>
#include <span>
#include <string>

namespace swf::avm2 {

class Object;

enum class Tag : std::uint8_t { Undefined, Null, Boolean, Int, UInt, Number, String, Object };

struct Value {
    Tag tag = Tag::Undefined;
    union {
        bool b;
        std::int32_t i;
        std::uint32_t u;
        double d;
        const std::string* s;
        Object* o;
    };

    Value() : d(0) {}
    static Value undefined() { return Value(); }
    static Value null() {
        Value v;
        v.tag = Tag::Null;
        return v;
    }
    static Value boolean(bool x) {
        Value v;
        v.tag = Tag::Boolean;
        v.b = x;
        return v;
    }
    static Value integer(std::int32_t x) {
        Value v;
        v.tag = Tag::Int;
        v.i = x;
        return v;
    }
    static Value uinteger(std::uint32_t x) {
        Value v;
        v.tag = Tag::UInt;
        v.u = x;
        return v;
    }
    static Value number(double x) {
        Value v;
        v.tag = Tag::Number;
        v.d = x;
        return v;
    }
    static Value string(const std::string* x) {
        Value v;
        v.tag = Tag::String;
        v.s = x;
        return v;
    }
    static Value object(Object* x) {
        if (!x)
            return null();
        Value v;
        v.tag = Tag::Object;
        v.o = x;
        return v;
    }

    bool isUndefined() const { return tag == Tag::Undefined; }
    bool isNull() const { return tag == Tag::Null; }
    bool isNullish() const { return tag == Tag::Undefined || tag == Tag::Null; }
    bool isNumeric() const { return tag == Tag::Int || tag == Tag::UInt || tag == Tag::Number; }
    bool isString() const { return tag == Tag::String; }
    bool isObject() const { return tag == Tag::Object; }
    // Only for numeric values.
    double asDouble() const { return tag == Tag::Int ? i : tag == Tag::UInt ? u : d; }
};

// Argument i of a native call, undefined when the caller passed fewer.
inline Value arg(std::span<Value> args, std::size_t i) {
    return i < args.size() ? args[i] : Value();
}

// ECMA-262 number to string, as ActionScript 3 prints numbers.
std::string numberToString(double d);
// ECMA-262 string to number ("" is 0, whitespace trimmed, hex with 0x, else NaN).
double stringToNumber(const std::string& s);
// ToInt32 / ToUint32 of a double.
std::int32_t doubleToInt32(double d);
std::uint32_t doubleToUint32(double d);

} // namespace swf::avm2
