// JSON.parse and JSON.stringify. Parsing is strict JSON (no comments, no trailing
// commas, SyntaxError #1132 otherwise) and nests at most kMaxDepth deep; stringify
// writes dynamic properties in their order, calls toJSON, leaves out undefined and
// functions, writes non-finite numbers as null, and refuses cycles (TypeError #1129).
#include "swf/avm2/Machine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace swf::avm2 {

namespace {

constexpr int kMaxDepth = 512;

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class Parser {
public:
    Parser(Machine& m, const std::string& text) : m_m(m), m_s(text) {}

    Value document() {
        Value v = value(0);
        space();
        if (m_at != m_s.size())
            fail();
        return v;
    }

private:
    [[noreturn]] void fail() {
        m_m.throwError(m_m.findClass("SyntaxError"), 1132, "Invalid JSON parse input.");
    }
    void space() {
        while (m_at < m_s.size() && (m_s[m_at] == ' ' || m_s[m_at] == '\t' || m_s[m_at] == '\n' || m_s[m_at] == '\r'))
            ++m_at;
    }
    bool take(char c) {
        space();
        if (m_at < m_s.size() && m_s[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool word(const char* w) {
        std::size_t n = std::char_traits<char>::length(w);
        if (m_s.compare(m_at, n, w) != 0)
            return false;
        m_at += n;
        return true;
    }
    std::uint32_t hex4() {
        if (m_s.size() - m_at < 4)
            fail();
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_s[m_at++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                fail();
        }
        return v;
    }
    std::string string() {
        std::string out;
        for (;;) {
            if (m_at >= m_s.size())
                fail();
            char c = m_s[m_at++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                fail();
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_s.size())
                fail();
            switch (m_s[m_at++]) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::uint32_t c1 = hex4();
                if (c1 >= 0xD800 && c1 < 0xDC00 && m_s.compare(m_at, 2, "\\u") == 0) {
                    m_at += 2;
                    std::uint32_t c2 = hex4();
                    if (c2 >= 0xDC00 && c2 < 0xE000) {
                        c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                    } else {
                        appendUtf8(out, c1);
                        c1 = c2;
                    }
                }
                appendUtf8(out, c1);
                break;
            }
            default: fail();
            }
        }
    }
    Value number() {
        std::size_t start = m_at;
        if (m_at < m_s.size() && m_s[m_at] == '-')
            ++m_at;
        auto digits = [&] {
            std::size_t from = m_at;
            while (m_at < m_s.size() && m_s[m_at] >= '0' && m_s[m_at] <= '9')
                ++m_at;
            if (m_at == from)
                fail();
        };
        if (m_at < m_s.size() && m_s[m_at] == '0')
            ++m_at;
        else
            digits();
        if (m_at < m_s.size() && m_s[m_at] == '.') {
            ++m_at;
            digits();
        }
        if (m_at < m_s.size() && (m_s[m_at] == 'e' || m_s[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_s.size() && (m_s[m_at] == '+' || m_s[m_at] == '-'))
                ++m_at;
            digits();
        }
        return Machine::numberValue(stringToNumber(m_s.substr(start, m_at - start)));
    }
    Value value(int depth) {
        if (depth > kMaxDepth)
            fail();
        space();
        if (m_at >= m_s.size())
            fail();
        char c = m_s[m_at];
        if (c == '{') {
            ++m_at;
            Object* o = m_m.newObject();
            if (take('}'))
                return Value::object(o);
            do {
                if (!take('"'))
                    fail();
                std::string key = string();
                if (!take(':'))
                    fail();
                o->setOwn(key, value(depth + 1));
            } while (take(','));
            if (!take('}'))
                fail();
            return Value::object(o);
        }
        if (c == '[') {
            ++m_at;
            ArrayObject* a = m_m.newArray();
            if (take(']'))
                return Value::object(a);
            do
                a->elements.push_back(value(depth + 1));
            while (take(','));
            if (!take(']'))
                fail();
            return Value::object(a);
        }
        if (c == '"') {
            ++m_at;
            return m_m.string(string());
        }
        if (word("true"))
            return Value::boolean(true);
        if (word("false"))
            return Value::boolean(false);
        if (word("null"))
            return Value::null();
        if (c == '-' || (c >= '0' && c <= '9'))
            return number();
        fail();
    }

    Machine& m_m;
    const std::string& m_s;
    std::size_t m_at = 0;
};

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

class Writer {
public:
    Writer(Machine& m, std::string indent) : m_m(m), m_indent(std::move(indent)) {}

    // False when the value is left out (undefined, functions).
    bool write(Value v, std::string& out, const std::string& at) {
        if (v.isObject() && v.o->kind != ObjectKind::Function) {
            Value toJson = m_m.getProperty(v, Machine::publicName("toJSON"));
            if (toJson.isObject() && toJson.o->kind == ObjectKind::Function) {
                Value key[1] = {m_m.string("")};
                v = m_m.call(toJson, v, key);
            }
        }
        switch (v.tag) {
        case Tag::Undefined: return false;
        case Tag::Null: out += "null"; return true;
        case Tag::Boolean: out += v.b ? "true" : "false"; return true;
        case Tag::Int:
        case Tag::UInt:
        case Tag::Number:
            out += std::isfinite(v.asDouble()) ? numberToString(v.asDouble()) : "null";
            return true;
        case Tag::String: out += quote(*v.s); return true;
        case Tag::Object: break;
        }
        Object* o = v.o;
        if (o->kind == ObjectKind::Function)
            return false;
        if (o->cls == m_m.stringClass || o->cls == m_m.numberClass || o->cls == m_m.booleanClass)
            return write(m_m.toPrimitive(v, false), out, at);
        for (Object* seen : m_path)
            if (seen == o)
                m_m.typeError(1129, "Cyclic structure cannot be converted to JSON string.");
        if (m_path.size() > static_cast<std::size_t>(kMaxDepth))
            m_m.typeError(1129, "Cyclic structure cannot be converted to JSON string.");
        m_path.push_back(o);
        const std::string inner = at + m_indent;
        const std::string open = m_indent.empty() ? "" : "\n" + inner;
        bool first = true;
        auto separator = [&] {
            out += first ? open : (m_indent.empty() ? "," : ",\n" + inner);
            first = false;
        };
        if (o->kind == ObjectKind::Array) {
            out += '[';
            auto& el = static_cast<ArrayObject*>(o)->elements;
            for (std::size_t i = 0; i < el.size(); ++i) {
                separator();
                if (!write(el[i], out, inner))
                    out += "null";
            }
            if (!first && !m_indent.empty())
                out += "\n" + at;
            out += ']';
        } else {
            out += '{';
            for (const std::string& name : m_m.enumerate(o)) {
                std::string piece;
                if (!write(m_m.getProperty(v, Machine::publicName(name)), piece, inner))
                    continue;
                separator();
                out += quote(name) + (m_indent.empty() ? ":" : ": ") + piece;
            }
            if (!first && !m_indent.empty())
                out += "\n" + at;
            out += '}';
        }
        m_path.pop_back();
        return true;
    }

private:
    Machine& m_m;
    std::string m_indent;
    std::vector<Object*> m_path;
};

} // namespace

void installJsonBuiltins(Machine& m) {
    ClassObject* json = m.defineNativeClass("", "JSON", m.objectClass);
    m.defineStaticMethod(json, "parse", [](Machine& m, Value, std::span<Value> a) {
        std::string text = m.toString(arg(a, 0));
        return Parser(m, text).document();
    }, 2);
    m.defineStaticMethod(json, "stringify", [](Machine& m, Value, std::span<Value> a) {
        // The indent: a count of spaces (at most 10) or the first ten characters of a string.
        std::string indent;
        Value space = arg(a, 2);
        if (space.isNumeric())
            indent.assign(static_cast<std::size_t>(std::clamp(space.asDouble(), 0.0, 10.0)), ' ');
        else if (space.isString())
            indent = space.s->substr(0, 10);
        std::string out;
        if (!Writer(m, indent).write(arg(a, 0), out, ""))
            return Value();
        return m.string(out);
    }, 3);
}

} // namespace swf::avm2
