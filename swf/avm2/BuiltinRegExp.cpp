// RegExp, and the String methods that take patterns: match, replace, search and split by
// a RegExp. Matching is the engine in regex/ over the UTF-8 text; positions count bytes,
// like the rest of String here.
//
// Every call gets at most kStepsPerCall matching steps, and each step is paid for out of
// the run's instruction budget: a pattern that backtracks without end finds no match, and
// a script that keeps trying it is stopped as any runaway script is.
#include "swf/avm2/Machine.h"
#include "swf/avm2/regex/CaseFold.h"
#include "swf/avm2/regex/Regex.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

constexpr std::uint64_t kStepsPerCall = 10'000'000;

class RegExpObject : public Object {
public:
    std::string source;
    std::string flags;
    std::shared_ptr<const regex::Regex> re; // null: the pattern could not be read and matches nothing
    bool global = false;
    std::uint32_t lastIndex = 0;
};

RegExpObject* regexpOf(Value v) {
    return nativeOf<RegExpObject>(v);
}

RegExpObject& requireRegExp(Machine& m, Value v) {
    return requireNative<RegExpObject>(m, v, "RegExp");
}

bool hasFlag(const std::string& flags, char f) {
    return flags.find(f) != std::string::npos;
}

void compile(RegExpObject& r, const std::string& source, const std::string& flags) {
    r.source = source;
    r.flags = flags;
    r.global = hasFlag(flags, 'g');
    regex::Options options;
    options.ignoreCase = hasFlag(flags, 'i');
    options.multiline = hasFlag(flags, 'm');
    options.dotAll = hasFlag(flags, 's');
    options.extended = hasFlag(flags, 'x');
    std::string error;
    r.re = regex::Regex::compile(source, options, error); // unreadable: matches nothing, as the player's did
}

// The searches of one call on one subject, sharing one step allowance that is paid for out
// of the machine's instruction budget.
class Searcher {
public:
    Searcher(Machine& m, const RegExpObject& r, std::string subject)
        : text(std::move(subject)), m_machine(m), m_re(r.re), m_steps(std::min(kStepsPerCall, m.budgetLeft)),
          m_granted(m_steps) {}
    ~Searcher() { m_machine.budgetLeft -= std::min(m_granted - m_steps, m_machine.budgetLeft); }
    Searcher(const Searcher&) = delete;
    Searcher& operator=(const Searcher&) = delete;

    const std::string text;

    // The first match at or after `from`; false for none (or when the steps ran out).
    bool find(std::size_t from, regex::Groups& out) {
        if (!m_re || from > text.size())
            return false;
        return m_re->search(text, from, out, m_steps) == regex::Outcome::Match;
    }

    std::string group(const regex::Groups& g, std::size_t i) const { return std::string(g.text(text, i)); }
    Value groupValue(const regex::Groups& g, std::size_t i) {
        return g.matched(i) ? m_machine.string(group(g, i)) : Value();
    }
    // Where a global search goes on: after the match, or one character on from an empty one.
    std::size_t after(const regex::Groups& g) const {
        if (g.end(0) > g.begin(0))
            return g.end(0);
        return g.end(0) < text.size() ? g.end(0) + regex::decodeUtf8(text, g.end(0)).second : g.end(0) + 1;
    }
    const regex::Regex& re() const { return *m_re; }

private:
    Machine& m_machine;
    std::shared_ptr<const regex::Regex> m_re;
    std::uint64_t m_steps;
    std::uint64_t m_granted;
};

// The exec() result: the match and its groups, with index, input and named groups.
Value matchArray(Machine& m, Searcher& s, const regex::Groups& g) {
    std::vector<Value> parts;
    for (std::size_t i = 0; i < g.count(); ++i)
        parts.push_back(s.groupValue(g, i));
    ArrayObject* a = m.newArray(std::move(parts));
    a->setOwn("index", Value::integer(static_cast<std::int32_t>(g.begin(0))));
    a->setOwn("input", m.string(s.text));
    for (const auto& [name, group] : s.re().names())
        a->setOwn(name, s.groupValue(g, group));
    return Value::object(a);
}

// exec(): global expressions search from lastIndex and move it past the match.
Value exec(Machine& m, RegExpObject& r, std::string subject) {
    Searcher s(m, r, std::move(subject));
    regex::Groups g;
    if (!s.find(r.global ? r.lastIndex : 0, g)) {
        r.lastIndex = 0;
        return Value::null();
    }
    if (r.global)
        r.lastIndex = static_cast<std::uint32_t>(g.end(0));
    return matchArray(m, s, g);
}

// A replacement with $&, $1..$99, $`, $' and $$ filled in.
std::string expand(const std::string& with, const Searcher& s, const regex::Groups& g) {
    std::string out;
    for (std::size_t i = 0; i < with.size(); ++i) {
        char c = with[i];
        char n = i + 1 < with.size() ? with[i + 1] : '\0';
        if (c != '$' || n == '\0') {
            out += c;
        } else if (n == '$') {
            out += '$';
            ++i;
        } else if (n == '&') {
            out += s.group(g, 0);
            ++i;
        } else if (n == '`') {
            out += s.text.substr(0, g.begin(0));
            ++i;
        } else if (n == '\'') {
            out += s.text.substr(g.end(0));
            ++i;
        } else if (n >= '0' && n <= '9') {
            std::size_t group = static_cast<std::size_t>(n - '0');
            std::size_t used = 1;
            char n2 = i + 2 < with.size() ? with[i + 2] : '\0';
            if (n2 >= '0' && n2 <= '9' && group * 10 + static_cast<std::size_t>(n2 - '0') < g.count()) {
                group = group * 10 + static_cast<std::size_t>(n2 - '0');
                used = 2;
            }
            if (group == 0 || group >= g.count()) {
                out += c;
                continue;
            }
            out += s.group(g, group);
            i += used;
        } else {
            out += c;
        }
    }
    return out;
}

// The pattern argument of match and search: a RegExp, or anything else read as a pattern.
RegExpObject* patternArg(Machine& m, Value v, RegExpObject& temp) {
    if (RegExpObject* r = regexpOf(v))
        return r;
    compile(temp, v.isUndefined() ? "" : m.toString(v), "");
    return &temp;
}

Value replace(Machine& m, Value self, std::span<Value> a) {
    Value with = arg(a, 1);
    bool callback = with.isObject() && with.o->kind == ObjectKind::Function;
    std::string withText = callback ? "" : m.toString(with);
    RegExpObject* r = regexpOf(arg(a, 0));
    RegExpObject literal;
    if (!r) {
        // A string pattern: its first occurrence, taken literally.
        std::string pattern = m.toString(arg(a, 0));
        std::string escaped;
        for (char c : pattern) {
            if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos)
                escaped += '\\';
            escaped += c;
        }
        compile(literal, escaped, "");
        r = &literal;
    }
    Searcher s(m, *r, m.toString(self));
    std::string out;
    std::size_t copied = 0;
    regex::Groups g;
    for (std::size_t from = 0; s.find(from, g);) {
        out.append(s.text, copied, g.begin(0) - copied);
        if (callback) {
            std::vector<Value> args;
            for (std::size_t i = 0; i < g.count(); ++i)
                args.push_back(s.groupValue(g, i));
            args.push_back(Value::integer(static_cast<std::int32_t>(g.begin(0))));
            args.push_back(m.string(s.text));
            out += m.toString(m.call(with, Value::null(), args));
        } else {
            out += expand(withText, s, g);
        }
        copied = g.end(0);
        from = s.after(g);
        if (!r->global || from > s.text.size())
            break;
        if (out.size() > kMaxStringBytes)
            m.rangeError(1000, "The system is out of memory.");
    }
    out.append(s.text, std::min(copied, s.text.size()));
    if (r->global)
        r->lastIndex = 0;
    return m.string(std::move(out));
}

Value split(Machine& m, RegExpObject& r, Value self, std::span<Value> a) {
    Searcher s(m, r, m.toString(self));
    std::uint32_t limit = a.size() > 1 && !a[1].isUndefined() ? m.toUint(a[1]) : 0xFFFFFFFFu;
    std::vector<Value> parts;
    regex::Groups g;
    if (limit == 0)
        return Value::object(m.newArray());
    if (s.text.empty()) {
        if (!s.find(0, g))
            parts.push_back(m.string(""));
        return Value::object(m.newArray(std::move(parts)));
    }
    std::size_t start = 0, from = 0;
    limit = static_cast<std::uint32_t>(std::min<std::size_t>(limit, kMaxHeapCells));
    while (parts.size() < limit && from < s.text.size() && s.find(from, g) && g.begin(0) < s.text.size()) {
        if (g.end(0) == start) { // an empty match where the piece starts splits nothing
            from = s.after(g);
            continue;
        }
        parts.push_back(m.string(s.text.substr(start, g.begin(0) - start)));
        for (std::size_t i = 1; i < g.count() && parts.size() < limit; ++i)
            parts.push_back(s.groupValue(g, i));
        start = from = g.end(0);
    }
    if (parts.size() < limit)
        parts.push_back(m.string(s.text.substr(start)));
    return Value::object(m.newArray(std::move(parts)));
}

void installStringPatternMethods(Machine& m) {
    ClassObject* string = m.stringClass;
    m.defineMethod(string, "match", [](Machine& m, Value self, std::span<Value> a) {
        RegExpObject temp;
        RegExpObject* r = patternArg(m, arg(a, 0), temp);
        if (!r->global)
            return exec(m, *r, m.toString(self));
        Searcher s(m, *r, m.toString(self));
        std::vector<Value> all;
        regex::Groups g;
        for (std::size_t from = 0; all.size() < kMaxHeapCells && s.find(from, g); from = s.after(g))
            all.push_back(s.groupValue(g, 0));
        r->lastIndex = 0;
        return Value::object(m.newArray(std::move(all)));
    }, 1);
    m.defineMethod(string, "search", [](Machine& m, Value self, std::span<Value> a) {
        RegExpObject temp;
        Searcher s(m, *patternArg(m, arg(a, 0), temp), m.toString(self));
        regex::Groups g;
        return Value::integer(s.find(0, g) ? static_cast<std::int32_t>(g.begin(0)) : -1);
    }, 1);
    m.defineMethod(string, "replace", replace, 2);
    // split by a RegExp; string separators stay with String's own split.
    Binding* stringSplit = string->instanceTraits.find("split", kPublicNs);
    Function* bySeparator = stringSplit ? stringSplit->method : nullptr;
    m.defineMethod(string, "split", [bySeparator](Machine& m, Value self, std::span<Value> a) {
        if (RegExpObject* r = regexpOf(arg(a, 0)))
            return split(m, *r, self, a);
        return bySeparator ? m.call(Value::object(bySeparator), self, a) : Value();
    }, 2);
}

} // namespace

void installRegExpBuiltins(Machine& m) {
    ClassObject* regexp = m.defineNativeClass("", "RegExp", m.objectClass);
    regexp->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<RegExpObject>()); };
    regexp->init = m.newNative("RegExp", [](Machine& m, Value self, std::span<Value> a) {
        RegExpObject& r = requireRegExp(m, self);
        if (RegExpObject* from = regexpOf(arg(a, 0))) {
            compile(r, from->source, arg(a, 1).isUndefined() ? from->flags : m.toString(a[1]));
            return Value();
        }
        compile(r, arg(a, 0).isUndefined() ? "" : m.toString(a[0]), arg(a, 1).isUndefined() ? "" : m.toString(a[1]));
        return Value();
    }, 2);
    m.defineMethod(regexp, "exec", [](Machine& m, Value self, std::span<Value> a) {
        return exec(m, requireRegExp(m, self), m.toString(arg(a, 0)));
    }, 1);
    m.defineMethod(regexp, "test", [](Machine& m, Value self, std::span<Value> a) {
        return Value::boolean(!exec(m, requireRegExp(m, self), m.toString(arg(a, 0))).isNull());
    }, 1);
    m.defineMethod(regexp, "toString", [](Machine& m, Value self, std::span<Value>) {
        RegExpObject& r = requireRegExp(m, self);
        return m.string("/" + r.source + "/" + r.flags);
    });
    m.defineGetter(regexp, "source", [](Machine& m, Value self, std::span<Value>) {
        return m.string(requireRegExp(m, self).source);
    });
    for (auto [name, flag] : {std::pair{"global", 'g'}, {"ignoreCase", 'i'}, {"multiline", 'm'}, {"dotall", 's'},
                              {"extended", 'x'}})
        m.defineGetter(regexp, name, [flag](Machine& m, Value self, std::span<Value>) {
            return Value::boolean(hasFlag(requireRegExp(m, self).flags, flag));
        });
    m.defineGetter(regexp, "lastIndex", [](Machine& m, Value self, std::span<Value>) {
        return Value::integer(static_cast<std::int32_t>(requireRegExp(m, self).lastIndex));
    });
    m.defineSetter(regexp, "lastIndex", [](Machine& m, Value self, std::span<Value> a) {
        requireRegExp(m, self).lastIndex = m.toUint(arg(a, 0));
        return Value();
    });
    installStringPatternMethods(m);
}

} // namespace swf::avm2
