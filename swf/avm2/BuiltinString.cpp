// String. Strings are kept as UTF-8; positions and lengths count bytes for ASCII text
// and code points are not split (see docs/unsupported.md).
#include "swf/avm2/Machine.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

std::size_t clampIndex(Machine& m, Value v, std::size_t size, std::size_t fallback) {
    if (v.isUndefined())
        return fallback;
    double d = m.toNumber(v);
    if (std::isnan(d) || d < 0)
        return 0;
    return static_cast<std::size_t>(std::min(std::trunc(d), static_cast<double>(size)));
}

std::string self(Machine& m, Value v) {
    return m.toString(v);
}

} // namespace

std::size_t relativeIndex(Machine& m, Value v, std::size_t size, std::size_t fallback) {
    if (v.isUndefined())
        return fallback;
    double d = m.toNumber(v);
    if (std::isnan(d))
        return 0;
    if (d < 0)
        d = std::max(0.0, static_cast<double>(size) + std::trunc(d));
    return static_cast<std::size_t>(std::min(std::trunc(d), static_cast<double>(size)));
}

void installStringBuiltins(Machine& m) {
    ClassObject* string = m.defineNativeClass("", "String", m.objectClass);
    m.stringClass = string;
    string->constructsPrimitive = true;
    string->dynamicInstances = false;
    string->callAsFunction = [](Machine& m, Value, std::span<Value> a) {
        return a.empty() ? m.string("") : m.string(m.toString(a[0]));
    };
    m.defineGetter(string, "length", [](Machine& m, Value s, std::span<Value>) {
        return Value::integer(static_cast<std::int32_t>(self(m, s).size()));
    });
    m.defineMethod(string, "toString", [](Machine& m, Value s, std::span<Value>) { return m.string(self(m, s)); });
    m.defineMethod(string, "valueOf", [](Machine& m, Value s, std::span<Value>) { return m.string(self(m, s)); });
    m.defineMethod(string, "charAt", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        double i = a.empty() ? 0 : m.toNumber(a[0]);
        if (std::isnan(i))
            i = 0;
        return i >= 0 && i < static_cast<double>(str.size()) ? m.string(str.substr(static_cast<std::size_t>(i), 1)) : m.string("");
    }, 1);
    m.defineMethod(string, "charCodeAt", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        double i = a.empty() ? 0 : m.toNumber(a[0]);
        if (std::isnan(i))
            i = 0;
        if (i < 0 || i >= static_cast<double>(str.size()))
            return Value::number(NAN);
        return Value::integer(static_cast<unsigned char>(str[static_cast<std::size_t>(i)]));
    }, 1);
    m.defineMethod(string, "indexOf", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::size_t from = clampIndex(m, arg(a, 1), str.size(), 0);
        std::size_t at = str.find(m.toString(arg(a, 0)), from);
        return Value::integer(at == std::string::npos ? -1 : static_cast<std::int32_t>(at));
    }, 1);
    m.defineMethod(string, "lastIndexOf", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::size_t from = a.size() > 1 ? clampIndex(m, a[1], str.size(), str.size()) : std::string::npos;
        std::size_t at = str.rfind(m.toString(arg(a, 0)), from);
        return Value::integer(at == std::string::npos ? -1 : static_cast<std::int32_t>(at));
    }, 1);
    m.defineMethod(string, "substring", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::size_t b = clampIndex(m, arg(a, 0), str.size(), 0);
        std::size_t e = clampIndex(m, arg(a, 1), str.size(), str.size());
        if (b > e)
            std::swap(b, e);
        return m.string(str.substr(b, e - b));
    }, 2);
    m.defineMethod(string, "substr", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::size_t b = relativeIndex(m, arg(a, 0), str.size(), 0);
        double len = a.size() > 1 && !a[1].isUndefined() ? m.toNumber(a[1]) : static_cast<double>(str.size());
        if (std::isnan(len) || len <= 0)
            return m.string("");
        return m.string(str.substr(b, static_cast<std::size_t>(std::min(len, static_cast<double>(str.size())))));
    }, 2);
    m.defineMethod(string, "slice", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::size_t b = relativeIndex(m, arg(a, 0), str.size(), 0);
        std::size_t e = relativeIndex(m, arg(a, 1), str.size(), str.size());
        return e > b ? m.string(str.substr(b, e - b)) : m.string("");
    }, 2);
    m.defineMethod(string, "toUpperCase", [](Machine& m, Value s, std::span<Value>) {
        std::string str = self(m, s);
        for (char& c : str)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        return m.string(str);
    });
    m.defineMethod(string, "toLowerCase", [](Machine& m, Value s, std::span<Value>) {
        std::string str = self(m, s);
        for (char& c : str)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return m.string(str);
    });
    m.defineMethod(string, "concat", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        for (auto& v : a)
            str += m.toString(v);
        return m.string(str);
    });
    // replace with a string pattern: its first occurrence, the replacement taken literally
    // (RegExp patterns are not supported yet) or the result of a function.
    m.defineMethod(string, "replace", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::string pattern = m.toString(arg(a, 0));
        std::size_t at = str.find(pattern);
        if (at == std::string::npos)
            return m.string(str);
        Value with = arg(a, 1);
        std::string replacement;
        if (with.isObject() && with.o->kind == ObjectKind::Function) {
            Value args[3] = {m.string(pattern), Value::integer(static_cast<std::int32_t>(at)), m.string(str)};
            replacement = m.toString(m.call(with, Value::null(), args));
        } else {
            replacement = m.toString(with);
        }
        return m.string(str.substr(0, at) + replacement + str.substr(at + pattern.size()));
    }, 2);
    m.defineMethod(string, "split", [](Machine& m, Value s, std::span<Value> a) {
        std::string str = self(m, s);
        std::vector<Value> parts;
        std::uint32_t limit = a.size() > 1 && !a[1].isUndefined() ? m.toUint(a[1]) : 0xFFFFFFFFu;
        if (a.empty() || a[0].isUndefined()) {
            parts.push_back(m.string(str));
        } else {
            std::string sep = m.toString(a[0]);
            if (sep.empty()) {
                for (char c : str) {
                    if (parts.size() >= limit)
                        break;
                    parts.push_back(m.string(std::string(1, c)));
                }
            } else {
                std::size_t start = 0;
                while (parts.size() < limit) {
                    std::size_t at = str.find(sep, start);
                    if (at == std::string::npos) {
                        parts.push_back(m.string(str.substr(start)));
                        break;
                    }
                    parts.push_back(m.string(str.substr(start, at - start)));
                    start = at + sep.size();
                }
            }
        }
        return Value::object(m.newArray(std::move(parts)));
    }, 2);
    m.defineStaticMethod(string, "fromCharCode", [](Machine& m, Value, std::span<Value> a) {
        std::string out;
        for (auto& v : a) {
            std::uint32_t c = m.toUint(v) & 0xFFFF;
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return m.string(out);
    }, 1);
}

} // namespace swf::avm2
