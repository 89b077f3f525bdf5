#pragma once
// A script value as ActionScript 1 and 2 see it, and the conversions that do not
// need the interpreter (those of objects call valueOf/toString and live there).

#include <cstdint>
#include <string>
#include <string_view>

namespace swf::avm1 {

class Object;

enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
public:
    Value() = default;
    Value(bool b) : m_type(Type::Boolean) { m_u.b = b; }
    // Flash kept every computed number in its own box and compared NaNs by box, so a
    // NaN equals itself when it is the same stored value and no other NaN: each NaN
    // made here gets its own payload, and copies keep it.
    Value(double n) : m_type(Type::Number) { m_u.n = n != n ? freshNaN() : n; }
    Value(int n) : m_type(Type::Number) { m_u.n = n; }
    Value(std::string s) : m_type(Type::String), m_str(std::move(s)) {}
    Value(const char* s) : m_type(Type::String), m_str(s) {}
    Value(std::string_view s) : m_type(Type::String), m_str(s) {}
    Value(Object* o) : m_type(o ? Type::Object : Type::Null) { m_u.o = o; }

    // Only strings carry the string member along: numbers, the common case on the
    // stack, move as a few bytes.
    Value(const Value& v) : m_type(v.m_type), m_u(v.m_u) {
        if (m_type == Type::String)
            m_str = v.m_str;
    }
    Value(Value&& v) noexcept : m_type(v.m_type), m_u(v.m_u) {
        if (m_type == Type::String)
            m_str = std::move(v.m_str);
    }
    Value& operator=(const Value& v) {
        if (this != &v) {
            if (v.m_type == Type::String)
                m_str = v.m_str;
            else if (m_type == Type::String)
                m_str.clear();
            m_type = v.m_type;
            m_u = v.m_u;
        }
        return *this;
    }
    Value& operator=(Value&& v) noexcept {
        if (this != &v) {
            if (v.m_type == Type::String)
                m_str = std::move(v.m_str);
            else if (m_type == Type::String)
                m_str.clear();
            m_type = v.m_type;
            m_u = v.m_u;
        }
        return *this;
    }
    ~Value() = default;

    static Value null() {
        Value v;
        v.m_type = Type::Null;
        return v;
    }

    Type type() const { return m_type; }
    bool isUndefined() const { return m_type == Type::Undefined; }
    bool isNull() const { return m_type == Type::Null; }
    bool isNullish() const { return m_type == Type::Undefined || m_type == Type::Null; }
    bool isBoolean() const { return m_type == Type::Boolean; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }
    bool isObject() const { return m_type == Type::Object; }

    bool boolean() const { return m_type == Type::Boolean && m_u.b; }
    double number() const { return m_type == Type::Number ? m_u.n : 0.0; }
    const std::string& string() const { return m_str; }
    Object* object() const { return m_type == Type::Object ? m_u.o : nullptr; }

    // Same number, NaNs by identity (see the double constructor).
    bool sameNumber(const Value& other) const;

private:
    static double freshNaN();

    union Scalar {
        bool b;
        double n;
        Object* o;
    };
    Type m_type = Type::Undefined;
    Scalar m_u{.n = 0};
    std::string m_str;
};

// Flash's number text: up to 15 significant digits, exponent form outside
// 1e-6 .. 1e15 written as "1e+21" / "1e-7", "NaN", "Infinity", "-Infinity".
std::string numberToString(double n);
// Integer part in another radix (2..36), as Number.prototype.toString(radix) does.
std::string numberToString(double n, int radix);

// String to number as Number() does: surrounding white space is allowed, "0x" hex,
// an empty or malformed string is NaN (swfVersion >= 5) or 0 (SWF 4's rules).
double stringToNumber(std::string_view s, int swfVersion);

// ECMAScript ToInt32 / ToUint32 on a double.
std::int32_t toInt32(double n);
std::uint32_t toUint32(double n);

// Strings are UTF-8 inside the interpreter; string methods count UTF-16 units as
// the player did.
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view s);
// Bytes as Latin-1 (every byte the character of that code, as SWF 5 movies' text
// printed in Flash's traces: 0x80-0x9F too) as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);
// Bytes read as UTF-8 the lenient way the player did (measured): a stray continuation
// byte is its Latin-1 character, a broken sequence one U+FFFD for all its bytes, and
// a byte 0xF8-0xFF or a sequence cut off by the end ends the text.
std::string lenientUtf8(std::string_view bytes);
bool isAscii(std::string_view s);

// Lower-cases ASCII letters: identifiers compare this way before SWF 7.
std::string asciiLower(std::string_view s);

// The value of a hexadecimal digit, or -1 for any other character.
int hexDigit(char c);

// Is `s` a canonical array index ("0", "17", not "01" or "-1")? Sets `index`.
bool parseArrayIndex(std::string_view s, std::uint32_t& index);

} // namespace swf::avm1
