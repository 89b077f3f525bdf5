#include "ActionAssembler.h"

#include "swf/avm1/ActionTable.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

namespace orvane::testing {

namespace {

struct Token {
    enum Kind { Word, String, Number, Punct, Newline, End } kind;
    std::string text;
    int line;
};

std::vector<Token> tokenize(std::string_view src) {
    std::vector<Token> out;
    int line = 1;
    std::size_t i = 0;
    while (i < src.size()) {
        const char c = src[i];
        if (c == '#') {
            while (i < src.size() && src[i] != '\n')
                ++i;
        } else if (c == '\n' || c == ';') {
            out.push_back({Token::Newline, "", line});
            if (c == '\n')
                ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '"') {
            std::string s;
            ++i;
            while (i < src.size() && src[i] != '"') {
                if (src[i] == '\\' && i + 1 < src.size()) {
                    ++i;
                    s.push_back(src[i] == 'n'   ? '\n'
                                : src[i] == 'r' ? '\r'
                                : src[i] == 't' ? '\t'
                                : src[i] == '0' ? '\0'
                                                : src[i]);
                } else {
                    s.push_back(src[i]);
                }
                ++i;
            }
            if (i >= src.size())
                throw std::runtime_error("line " + std::to_string(line) + ": unterminated string");
            ++i;
            out.push_back({Token::String, s, line});
        } else if ((c >= '0' && c <= '9') ||
                   (c == '-' && i + 1 < src.size() && (std::isdigit(src[i + 1]) || src[i + 1] == '.'))) {
            std::size_t j = i + 1;
            while (j < src.size() &&
                   (std::isalnum(static_cast<unsigned char>(src[j])) || src[j] == '.' ||
                    ((src[j] == '-' || src[j] == '+') && (src[j - 1] == 'e' || src[j - 1] == 'E'))))
                ++j;
            out.push_back({Token::Number, std::string(src.substr(i, j - i)), line});
            i = j;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t j = i + 1;
            while (j < src.size() && (std::isalnum(static_cast<unsigned char>(src[j])) || src[j] == '_'))
                ++j;
            out.push_back({Token::Word, std::string(src.substr(i, j - i)), line});
            i = j;
        } else {
            out.push_back({Token::Punct, std::string(1, c), line});
            ++i;
        }
    }
    out.push_back({Token::End, "", line});
    return out;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const std::map<std::string, std::uint8_t>& opcodes() {
    static const std::map<std::string, std::uint8_t> table = [] {
        std::map<std::string, std::uint8_t> t;
#define SWF_AVM1_ASM(name, code, version) t[lower(#name)] = code;
        SWF_AVM1_ACTIONS(SWF_AVM1_ASM)
#undef SWF_AVM1_ASM
        return t;
    }();
    return table;
}

class Assembler {
public:
    explicit Assembler(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    std::vector<std::uint8_t> program() {
        std::vector<std::uint8_t> out = body(false);
        out.push_back(0);
        return out;
    }

private:
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error("line " + std::to_string(peek().line) + ": " + what);
    }
    const Token& peek() const { return m_tokens[m_pos]; }
    const Token& next() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }
    bool accept(std::string_view punct) {
        if (peek().kind == Token::Punct && peek().text == punct) {
            ++m_pos;
            return true;
        }
        return false;
    }
    void expect(std::string_view punct) {
        if (!accept(punct))
            fail("expected '" + std::string(punct) + "'");
    }
    std::string word() {
        if (peek().kind != Token::Word)
            fail("expected a name");
        return next().text;
    }
    std::string string() {
        if (peek().kind != Token::String)
            fail("expected a string");
        return next().text;
    }
    long number() {
        if (peek().kind != Token::Number)
            fail("expected a number");
        return std::stol(next().text, nullptr, 0);
    }
    void skipNewlines() {
        while (peek().kind == Token::Newline)
            ++m_pos;
    }

    static void u16(std::vector<std::uint8_t>& out, std::size_t v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    static void str(std::vector<std::uint8_t>& out, const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
    }
    static void record(std::vector<std::uint8_t>& out, std::uint8_t code,
                       const std::vector<std::uint8_t>& payload) {
        out.push_back(code);
        u16(out, payload.size());
        out.insert(out.end(), payload.begin(), payload.end());
    }

    // Code with its labels and unresolved branches. Labels reach across With and
    // Try blocks but not into or out of function bodies.
    struct Unit {
        std::vector<std::uint8_t> bytes;
        std::map<std::string, std::size_t> labels;
        std::vector<std::pair<std::size_t, std::string>> fixups; // offset position, label
    };

    std::vector<std::uint8_t> body(bool braced) {
        Unit u = block(braced);
        resolve(u);
        return u.bytes;
    }

    Unit block(bool braced) {
        Unit u;
        if (braced) {
            skipNewlines();
            expect("{");
        }
        for (;;) {
            skipNewlines();
            if (peek().kind == Token::End) {
                if (braced)
                    fail("missing '}'");
                break;
            }
            if (braced && accept("}"))
                break;
            statement(u);
        }
        return u;
    }

    static void merge(Unit& into, Unit&& inner) {
        const std::size_t base = into.bytes.size();
        into.bytes.insert(into.bytes.end(), inner.bytes.begin(), inner.bytes.end());
        for (const auto& [name, at] : inner.labels)
            into.labels[name] = base + at;
        for (const auto& [at, name] : inner.fixups)
            into.fixups.emplace_back(base + at, name);
    }

    static void resolve(Unit& u) {
        for (const auto& [at, name] : u.fixups) {
            auto it = u.labels.find(name);
            if (it == u.labels.end())
                throw std::runtime_error("unknown label " + name);
            const long offset = static_cast<long>(it->second) - static_cast<long>(at + 2);
            u.bytes[at] = static_cast<std::uint8_t>(offset & 0xFF);
            u.bytes[at + 1] = static_cast<std::uint8_t>((offset >> 8) & 0xFF);
        }
        u.fixups.clear();
    }

    void pushValue(std::vector<std::uint8_t>& p) {
        const Token t = peek();
        if (t.kind == Token::String) {
            p.push_back(0);
            str(p, next().text);
            return;
        }
        if (t.kind == Token::Number) {
            next();
            const bool isInt = t.text.find_first_of(".eE") == std::string::npos || t.text.rfind("0x", 0) == 0;
            if (isInt) {
                const long v = std::stol(t.text, nullptr, 0);
                if (v >= INT32_MIN && v <= INT32_MAX) {
                    p.push_back(7);
                    const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
                    for (int k = 0; k < 4; ++k)
                        p.push_back(static_cast<std::uint8_t>(u >> (8 * k)));
                    return;
                }
            }
            pushDouble(p, std::stod(t.text));
            return;
        }
        if (t.kind != Token::Word)
            fail("bad push value");
        const std::string w = next().text;
        if (w == "true" || w == "false") {
            p.push_back(5);
            p.push_back(w == "true");
        } else if (w == "null") {
            p.push_back(2);
        } else if (w == "undefined") {
            p.push_back(3);
        } else if (w == "nan") {
            pushDouble(p, std::nan(""));
        } else if (w == "inf") {
            pushDouble(p, HUGE_VAL);
        } else if (w == "r" || w == "c" || w == "f") {
            expect(":");
            if (w == "f") {
                const Token n = next();
                const float fl = std::stof(n.text);
                std::uint32_t bits;
                std::memcpy(&bits, &fl, 4);
                p.push_back(1);
                for (int k = 0; k < 4; ++k)
                    p.push_back(static_cast<std::uint8_t>(bits >> (8 * k)));
                return;
            }
            const long n = number();
            if (w == "r") {
                p.push_back(4);
                p.push_back(static_cast<std::uint8_t>(n));
            } else if (n < 256) {
                p.push_back(8);
                p.push_back(static_cast<std::uint8_t>(n));
            } else {
                p.push_back(9);
                u16(p, static_cast<std::size_t>(n));
            }
        } else {
            fail("bad push value '" + w + "'");
        }
    }

    static void pushDouble(std::vector<std::uint8_t>& p, double d) {
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        p.push_back(6);
        const auto hi = static_cast<std::uint32_t>(bits >> 32);
        const auto lo = static_cast<std::uint32_t>(bits);
        for (int k = 0; k < 4; ++k)
            p.push_back(static_cast<std::uint8_t>(hi >> (8 * k)));
        for (int k = 0; k < 4; ++k)
            p.push_back(static_cast<std::uint8_t>(lo >> (8 * k)));
    }

    void statement(Unit& unit) {
        std::vector<std::uint8_t>& out = unit.bytes;
        const std::string w = lower(word());
        if (accept(":")) {
            unit.labels[w] = out.size();
            return;
        }
        using swf::avm1::ActionCode;
        auto code = [](ActionCode op) { return static_cast<std::uint8_t>(op); };
        if (w == "push") {
            std::vector<std::uint8_t> p;
            do
                pushValue(p);
            while (accept(","));
            record(out, code(ActionCode::Push), p);
        } else if (w == "constants") {
            std::vector<std::uint8_t> p;
            std::vector<std::string> items;
            while (peek().kind == Token::String) {
                items.push_back(next().text);
                accept(",");
            }
            u16(p, items.size());
            for (const std::string& s : items)
                str(p, s);
            record(out, code(ActionCode::ConstantPool), p);
        } else if (w == "jump" || w == "if") {
            out.push_back(code(w == "jump" ? ActionCode::Jump : ActionCode::If));
            u16(out, 2);
            unit.fixups.emplace_back(out.size(), lower(word()));
            u16(out, 0);
        } else if (w == "function" || w == "function2") {
            const bool two = w == "function2";
            std::string name;
            if (peek().kind == Token::Word)
                name = word();
            expect("(");
            std::vector<std::pair<int, std::string>> params;
            while (!accept(")")) {
                int reg = 0;
                std::string p = word();
                if (accept(":")) {
                    if (p.size() < 2 || p[0] != 'r')
                        fail("parameter register is rN:name");
                    reg = std::stoi(p.substr(1));
                    p = word();
                }
                params.emplace_back(reg, p);
                accept(",");
            }
            int regs = 0;
            std::uint16_t flags = 0;
            static const std::map<std::string, std::uint16_t> flagNames = {
                {"preload_this", 0x0001},  {"suppress_this", 0x0002},  {"preload_args", 0x0004},
                {"suppress_args", 0x0008}, {"preload_super", 0x0010},  {"suppress_super", 0x0020},
                {"preload_root", 0x0040},  {"preload_parent", 0x0080}, {"preload_global", 0x0100}};
            while (peek().kind == Token::Word) {
                const std::string opt = word();
                if (opt == "regs") {
                    expect("=");
                    regs = static_cast<int>(number());
                } else if (flagNames.count(opt)) {
                    flags |= flagNames.at(opt);
                } else {
                    fail("unknown function option " + opt);
                }
            }
            const std::vector<std::uint8_t> inner = body(true);
            std::vector<std::uint8_t> p;
            str(p, name);
            u16(p, params.size());
            if (two) {
                p.push_back(static_cast<std::uint8_t>(regs));
                p.push_back(static_cast<std::uint8_t>(flags & 0xFF));
                p.push_back(static_cast<std::uint8_t>(flags >> 8));
            }
            for (const auto& [reg, pname] : params) {
                if (two)
                    p.push_back(static_cast<std::uint8_t>(reg));
                str(p, pname);
            }
            u16(p, inner.size());
            record(out, code(two ? ActionCode::DefineFunction2 : ActionCode::DefineFunction), p);
            out.insert(out.end(), inner.begin(), inner.end());
        } else if (w == "with") {
            Unit inner = block(true);
            std::vector<std::uint8_t> p;
            u16(p, inner.bytes.size());
            record(out, code(ActionCode::With), p);
            merge(unit, std::move(inner));
        } else if (w == "try") {
            std::string catchName;
            int catchReg = -1;
            if (peek().kind == Token::Word) {
                catchName = word();
                if (catchName == "r" && accept(":")) {
                    catchReg = static_cast<int>(number());
                    catchName.clear();
                }
            }
            Unit tryBody = block(true);
            Unit catchBody, finallyBody;
            bool hasCatch = false, hasFinally = false;
            for (;;) {
                const std::size_t save = m_pos;
                skipNewlines();
                if (peek().kind == Token::Word && peek().text == "catch") {
                    next();
                    catchBody = block(true);
                    hasCatch = true;
                } else if (peek().kind == Token::Word && peek().text == "finally") {
                    next();
                    finallyBody = block(true);
                    hasFinally = true;
                } else {
                    m_pos = save;
                    break;
                }
            }
            std::vector<std::uint8_t> p;
            p.push_back(static_cast<std::uint8_t>((hasCatch ? 1 : 0) | (hasFinally ? 2 : 0) |
                                                  (catchReg >= 0 ? 4 : 0)));
            u16(p, tryBody.bytes.size());
            u16(p, catchBody.bytes.size());
            u16(p, finallyBody.bytes.size());
            if (catchReg >= 0)
                p.push_back(static_cast<std::uint8_t>(catchReg));
            else
                str(p, catchName);
            record(out, code(ActionCode::Try), p);
            merge(unit, std::move(tryBody));
            merge(unit, std::move(catchBody));
            merge(unit, std::move(finallyBody));
        } else if (w == "gotoframe") {
            std::vector<std::uint8_t> p;
            u16(p, static_cast<std::size_t>(number()));
            record(out, code(ActionCode::GotoFrame), p);
        } else if (w == "gotolabel" || w == "settarget") {
            std::vector<std::uint8_t> p;
            str(p, string());
            record(out, code(w == "gotolabel" ? ActionCode::GoToLabel : ActionCode::SetTarget), p);
        } else if (w == "store") {
            record(out, code(ActionCode::StoreRegister), {static_cast<std::uint8_t>(number())});
        } else if (w == "geturl") {
            std::vector<std::uint8_t> p;
            str(p, string());
            str(p, string());
            record(out, code(ActionCode::GetURL), p);
        } else if (w == "geturl2") {
            record(out, code(ActionCode::GetURL2), {static_cast<std::uint8_t>(number())});
        } else if (w == "gotoframe2") {
            std::uint8_t flags = 0;
            long bias = -1;
            while (peek().kind == Token::Word) {
                const std::string opt = word();
                if (opt == "play")
                    flags |= 1;
                else if (opt == "bias")
                    bias = number();
                else
                    fail("unknown gotoframe2 option " + opt);
            }
            std::vector<std::uint8_t> p;
            if (bias >= 0)
                flags |= 2;
            p.push_back(flags);
            if (bias >= 0)
                u16(p, static_cast<std::size_t>(bias));
            record(out, code(ActionCode::GotoFrame2), p);
        } else if (w == "waitforframe") {
            std::vector<std::uint8_t> p;
            u16(p, static_cast<std::size_t>(number()));
            p.push_back(static_cast<std::uint8_t>(number()));
            record(out, code(ActionCode::WaitForFrame), p);
        } else if (w == "waitforframe2") {
            record(out, code(ActionCode::WaitForFrame2), {static_cast<std::uint8_t>(number())});
        } else if (w == "raw") {
            while (peek().kind == Token::Number || peek().kind == Token::Word) {
                const std::string t = next().text;
                out.push_back(static_cast<std::uint8_t>(std::stoul(t, nullptr, 16)));
            }
        } else {
            auto it = opcodes().find(w);
            if (it == opcodes().end())
                fail("unknown action '" + w + "'");
            if (it->second >= 0x80)
                record(out, it->second, {}); // e.g. Call: a record with no payload
            else
                out.push_back(it->second);
        }
        if (peek().kind != Token::Newline && peek().kind != Token::End &&
            !(peek().kind == Token::Punct && peek().text == "}"))
            fail("junk after statement");
    }

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
};

} // namespace

std::vector<std::uint8_t> assembleActions(std::string_view source) {
    return Assembler(tokenize(source)).program();
}

} // namespace orvane::testing
