// Reads a pattern into a tree and lays the tree out as instructions for the matcher.
// Syntax: ECMAScript's (alternatives, groups, (?:), lookaheads, classes, escapes, greedy and
// lazy quantifiers, back-references) with AS3's named groups (?P<name>...) and x flag.
#include "swf/avm2/regex/CaseFold.h"
#include "swf/avm2/regex/Program.h"
#include "swf/avm2/regex/Regex.h"

#include <algorithm>

namespace swf::avm2::regex {

namespace {

struct Bad {
    std::string why;
};

enum class Kind { Empty, Single, Assert, BackRef, Group, Look, Concat, Alt, Repeat };

struct Node {
    Kind kind = Kind::Empty;
    Inst inst{Op::Match};                   // Single, Assert, BackRef, Look (a = negate)
    std::size_t group = 0;                   // Group
    std::uint32_t min = 0, max = 0;          // Repeat
    bool greedy = true;
    std::size_t firstGroup = 0, endGroup = 0; // the capturing groups inside
    std::vector<std::unique_ptr<Node>> kids;
};

using NodePtr = std::unique_ptr<Node>;

NodePtr leaf(Kind kind, Inst inst) {
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->inst = inst;
    return n;
}

void normalise(Ranges& r) {
    std::sort(r.begin(), r.end());
    Ranges merged;
    for (auto [lo, hi] : r) {
        if (!merged.empty() && lo <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, hi);
        else
            merged.emplace_back(lo, hi);
    }
    r = std::move(merged);
}

Ranges complement(const Ranges& r) {
    Ranges out;
    char32_t next = 0;
    for (auto [lo, hi] : r) {
        if (lo > next)
            out.emplace_back(next, lo - 1);
        next = hi + 1;
    }
    if (next <= 0x10FFFF)
        out.emplace_back(next, 0x10FFFF);
    return out;
}

const Ranges kDigits{{'0', '9'}};
const Ranges kWord{{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}};
const Ranges kSpace{{'\t', '\r'}, {' ', ' '}, {0xA0, 0xA0}, {0x1680, 0x1680}, {0x2000, 0x200A},
                    {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF}};

// Counts the capturing groups ahead of reading, so that \N can tell a back-reference from
// an octal escape wherever the group is.
std::size_t countGroups(std::string_view p) {
    std::size_t n = 0;
    bool inClass = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '\\') {
            ++i;
        } else if (inClass) {
            inClass = p[i] != ']';
        } else if (p[i] == '[') {
            inClass = true;
        } else if (p[i] == '(') {
            std::string_view rest = p.substr(i + 1);
            bool named = rest.starts_with("?P<") || (rest.starts_with("?<") && rest.size() > 2 && rest[2] != '=' &&
                                                    rest[2] != '!');
            if (!rest.starts_with("?") || named)
                ++n;
        }
    }
    return n;
}

class Parser {
public:
    Parser(std::string_view pattern, const Options& options, Program& program)
        : p(pattern), opt(options), prog(program), totalGroups(countGroups(pattern)) {}

    NodePtr parse() {
        NodePtr root = disjunction();
        if (i < p.size())
            throw Bad{"unmatched )"};
        return root;
    }

private:
    std::string_view p;
    const Options& opt;
    Program& prog;
    std::size_t totalGroups;
    std::size_t i = 0;
    int depth = 0;

    // A node of `kind` holding the groups numbered after `first`; done() closes the range.
    static NodePtr open(Kind kind, std::size_t first) {
        auto n = std::make_unique<Node>();
        n->kind = kind;
        n->firstGroup = first;
        return n;
    }
    NodePtr done(NodePtr n) const {
        n->endGroup = prog.groups;
        return n;
    }

    bool more() const { return i < p.size(); }
    char peek() const { return more() ? p[i] : '\0'; }
    bool eat(char c) {
        if (peek() != c || !more())
            return false;
        ++i;
        return true;
    }

    void skipLayout() {
        if (!opt.extended)
            return;
        while (more()) {
            char c = p[i];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++i;
            } else if (c == '#') {
                while (more() && p[i] != '\n')
                    ++i;
            } else {
                break;
            }
        }
    }

    NodePtr disjunction() {
        std::size_t first = prog.groups;
        NodePtr left = alternative();
        if (peek() != '|') {
            return left;
        }
        NodePtr alt = open(Kind::Alt, first);
        alt->kids.push_back(std::move(left));
        while (eat('|'))
            alt->kids.push_back(alternative());
        return done(std::move(alt));
    }

    NodePtr alternative() {
        NodePtr seq = open(Kind::Concat, prog.groups);
        for (skipLayout(); more() && peek() != '|' && peek() != ')'; skipLayout())
            seq->kids.push_back(term());
        return done(std::move(seq));
    }

    NodePtr term() {
        std::size_t first = prog.groups;
        char c = p[i];
        if (c == '^' || c == '$') {
            ++i;
            return leaf(Kind::Assert, {c == '^' ? Op::LineStart : Op::LineEnd});
        }
        if (c == '\\' && i + 1 < p.size() && (p[i + 1] == 'b' || p[i + 1] == 'B')) {
            i += 2;
            return leaf(Kind::Assert, {p[i - 1] == 'b' ? Op::WordEdge : Op::NotWordEdge});
        }
        NodePtr atom = this->atom();
        skipLayout();
        std::uint32_t min = 0, max = 0;
        if (!quantifier(min, max))
            return atom;
        NodePtr rep = open(Kind::Repeat, first);
        rep->min = min;
        rep->max = max;
        rep->greedy = !eat('?');
        rep->kids.push_back(std::move(atom));
        return done(std::move(rep));
    }

    // Reads decimal digits; false when there are none. Values past the limit are refused.
    bool number(std::uint32_t& out) {
        std::size_t start = i;
        std::uint64_t v = 0;
        while (more() && p[i] >= '0' && p[i] <= '9') {
            v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(p[i] - '0'), 1u << 20);
            ++i;
        }
        out = static_cast<std::uint32_t>(v);
        return i > start;
    }

    bool quantifier(std::uint32_t& min, std::uint32_t& max) {
        constexpr std::uint32_t kMaxCount = 65535;
        char c = peek();
        if (c == '*' || c == '+' || c == '?') {
            ++i;
            min = c == '+' ? 1 : 0;
            max = c == '?' ? 1 : kUnbounded;
            return true;
        }
        if (c != '{')
            return false;
        std::size_t start = i++;
        if (!number(min)) {
            i = start; // a brace that starts no count is itself
            return false;
        }
        max = min;
        if (eat(',')) {
            if (!number(max))
                max = kUnbounded;
        }
        if (!eat('}')) {
            i = start;
            return false;
        }
        if (min > kMaxCount || (max != kUnbounded && max > kMaxCount))
            throw Bad{"count too large"};
        if (max < min)
            throw Bad{"numbers out of order in {} quantifier"};
        return true;
    }

    struct Nest {
        explicit Nest(int& d) : depth(d) {
            if (++depth > kMaxNesting)
                throw Bad{"nested too deeply"};
        }
        ~Nest() { --depth; }
        int& depth;
    };

    NodePtr atom() {
        char c = p[i];
        switch (c) {
        case '.':
            ++i;
            return leaf(Kind::Single, {opt.dotAll ? Op::AnyAll : Op::Any});
        case '(':
            return group();
        case '[':
            return charClass();
        case '\\':
            return escape();
        case '*': case '+': case '?':
            throw Bad{"nothing to repeat"};
        case '{': {
            std::uint32_t min, max;
            std::size_t at = i;
            if (quantifier(min, max))
                throw Bad{"nothing to repeat"};
            i = at + 1;
            return literal('{');
        }
        default:
            return literal(codePoint());
        }
    }

    // The UTF-8 character at i (a stray byte stands for itself).
    char32_t codePoint() {
        auto [cp, len] = decodeUtf8(p, i);
        i += len;
        return cp;
    }

    NodePtr group() {
        Nest nest(depth);
        ++i;
        std::size_t first = prog.groups;
        if (eat('?')) {
            if (eat(':')) {
                NodePtr inner = disjunction();
                close();
                return inner;
            }
            if (peek() == '=' || peek() == '!') {
                bool negate = p[i++] == '!';
                NodePtr look = open(Kind::Look, first);
                look->inst = {Op::Look, negate ? 1u : 0u};
                look->kids.push_back(disjunction());
                close();
                return done(std::move(look));
            }
            if (peek() == '<' && i + 1 < p.size() && (p[i + 1] == '=' || p[i + 1] == '!'))
                throw Bad{"lookbehind is not supported"};
            eat('P');
            if (!eat('<'))
                throw Bad{"unknown group kind"};
            std::size_t nameStart = i;
            while (more() && p[i] != '>')
                ++i;
            if (!eat('>') || i - 1 == nameStart)
                throw Bad{"unterminated group name"};
            prog.names.emplace_back(std::string(p.substr(nameStart, i - 1 - nameStart)), prog.groups + 1);
        }
        NodePtr g = open(Kind::Group, first);
        g->group = ++prog.groups;
        g->kids.push_back(disjunction());
        close();
        return done(std::move(g));
    }

    void close() {
        if (!eat(')'))
            throw Bad{"missing )"};
    }

    NodePtr literal(char32_t c) {
        if (opt.ignoreCase && otherCase(c) != c) {
            if (c < 0x80 && otherCase(c) < 0x80)
                return leaf(Kind::Single, {Op::ByteFold, static_cast<std::uint32_t>(c | 0x20)});
            return classNode({{c, c}, {otherCase(c), otherCase(c)}});
        }
        if (c < 0x80)
            return leaf(Kind::Single, {Op::Byte, static_cast<std::uint32_t>(c)});
        return classNode({{c, c}});
    }

    NodePtr classNode(Ranges r) {
        normalise(r);
        prog.classes.push_back(std::move(r));
        return leaf(Kind::Single, {Op::Class, static_cast<std::uint32_t>(prog.classes.size() - 1)});
    }

    // Reads a hex number of exactly `digits` digits; false (and nothing read) otherwise.
    bool hex(int digits, char32_t& out) {
        if (i + static_cast<std::size_t>(digits) > p.size())
            return false;
        char32_t v = 0;
        for (int k = 0; k < digits; ++k) {
            char h = p[i + static_cast<std::size_t>(k)];
            int d = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (d < 0)
                return false;
            v = v * 16 + static_cast<char32_t>(d);
        }
        i += static_cast<std::size_t>(digits);
        out = v;
        return true;
    }

    // A class escape (\d \w \s and their negations) into `out`; false for another escape.
    bool classEscape(char e, Ranges& out) {
        const Ranges* set = nullptr;
        switch (e | 0x20) {
        case 'd': set = &kDigits; break;
        case 'w': set = &kWord; break;
        case 's': set = &kSpace; break;
        default: return false;
        }
        bool negated = e >= 'A' && e <= 'Z';
        Ranges add = negated ? complement(*set) : *set;
        out.insert(out.end(), add.begin(), add.end());
        return true;
    }

    // The character an escape stands for, after the backslash and its letter were read.
    char32_t characterEscape(char e, bool inClass) {
        char32_t v = 0;
        switch (e) {
        case 'f': return '\f';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'v': return '\v';
        case 'b': return inClass ? 8 : 'b';
        case 'x': return hex(2, v) ? v : 'x';
        case 'u': return hex(4, v) ? v : 'u';
        case 'c':
            if (more() && ((p[i] >= 'a' && p[i] <= 'z') || (p[i] >= 'A' && p[i] <= 'Z')))
                return static_cast<char32_t>(p[i++] % 32);
            --i; // \c without a letter is a backslash and a c
            return '\\';
        default:
            break;
        }
        if (e >= '0' && e <= '7') { // octal: \0, \012
            v = static_cast<char32_t>(e - '0');
            for (int k = 0; k < 2 && more() && p[i] >= '0' && p[i] <= '7' && v * 8 + static_cast<char32_t>(p[i] - '0') <= 0xFF; ++k)
                v = v * 8 + static_cast<char32_t>(p[i++] - '0');
            return v;
        }
        --i;
        return codePoint(); // any other escaped character is itself
    }

    NodePtr escape() {
        ++i;
        if (!more())
            throw Bad{"\\ at end of pattern"};
        char e = p[i++];
        Ranges set;
        if (classEscape(e, set))
            return classNode(std::move(set));
        if (e >= '1' && e <= '9') {
            std::size_t n = static_cast<std::size_t>(e - '0');
            if (more() && p[i] >= '0' && p[i] <= '9' && n * 10 + static_cast<std::size_t>(p[i] - '0') <= totalGroups)
                n = n * 10 + static_cast<std::size_t>(p[i++] - '0');
            if (n <= totalGroups)
                return leaf(Kind::BackRef, {Op::BackRef, static_cast<std::uint32_t>(n)});
        }
        return literal(characterEscape(e, false));
    }

    // One member of a class: a character into `c`, or a class escape added to `set`.
    bool classAtom(char32_t& c, Ranges& set) {
        if (p[i] != '\\') {
            c = codePoint();
            return true;
        }
        ++i;
        if (!more())
            throw Bad{"\\ at end of pattern"};
        char e = p[i++];
        if (classEscape(e, set))
            return false;
        c = characterEscape(e, true);
        return true;
    }

    NodePtr charClass() {
        ++i;
        bool negated = eat('^');
        Ranges set;
        while (more() && p[i] != ']') {
            char32_t lo = 0;
            if (!classAtom(lo, set))
                continue;
            char32_t hi = lo;
            if (peek() == '-' && i + 1 < p.size() && p[i + 1] != ']') {
                ++i;
                Ranges other;
                if (!classAtom(hi, other)) { // [a-\d]: the dash is itself
                    set.insert(set.end(), other.begin(), other.end());
                    set.emplace_back('-', '-');
                    hi = lo;
                } else if (hi < lo) {
                    throw Bad{"range out of order in character class"};
                }
            }
            set.emplace_back(lo, hi);
        }
        if (!eat(']'))
            throw Bad{"missing terminating ] for character class"};
        normalise(set);
        if (opt.ignoreCase) {
            addOtherCases(set);
            normalise(set);
        }
        return classNode(negated ? complement(set) : std::move(set));
    }
};

bool isSingle(const Node& n) {
    return n.kind == Kind::Single;
}

class Emitter {
public:
    explicit Emitter(Program& program) : prog(program) {}

    std::size_t emit(Inst in) {
        if (prog.code.size() >= kMaxInstructions)
            throw Bad{"pattern too large"};
        prog.code.push_back(in);
        return prog.code.size() - 1;
    }

    std::uint32_t here() const { return static_cast<std::uint32_t>(prog.code.size()); }

    void gen(const Node& n) {
        switch (n.kind) {
        case Kind::Empty:
            break;
        case Kind::Single: case Kind::Assert: case Kind::BackRef:
            emit(n.inst);
            break;
        case Kind::Group:
            emit({Op::Save, static_cast<std::uint32_t>(2 * n.group)});
            gen(*n.kids[0]);
            emit({Op::Save, static_cast<std::uint32_t>(2 * n.group + 1)});
            break;
        case Kind::Look: {
            std::size_t look = emit(n.inst);
            gen(*n.kids[0]);
            emit({Op::LookEnd});
            prog.code[look].b = here();
            break;
        }
        case Kind::Concat:
            for (const auto& k : n.kids)
                gen(*k);
            break;
        case Kind::Alt: {
            std::vector<std::size_t> jumps;
            for (std::size_t k = 0; k < n.kids.size(); ++k) {
                std::size_t split = k + 1 < n.kids.size() ? emit({Op::Split}) : 0;
                if (k + 1 < n.kids.size())
                    prog.code[split].a = here();
                gen(*n.kids[k]);
                if (k + 1 < n.kids.size()) {
                    jumps.push_back(emit({Op::Jump}));
                    prog.code[split].b = here();
                }
            }
            for (std::size_t j : jumps)
                prog.code[j].a = here();
            break;
        }
        case Kind::Repeat:
            repeat(n);
            break;
        }
    }

private:
    Program& prog;

    void clearGroups(const Node& n) {
        if (n.endGroup > n.firstGroup)
            emit({Op::Clear, static_cast<std::uint32_t>(2 * (n.firstGroup + 1)),
                  static_cast<std::uint32_t>(2 * (n.endGroup + 1))});
    }

    void repeat(const Node& n) {
        const Node& kid = *n.kids[0];
        if (n.max == 0)
            return;
        if (isSingle(kid) && n.greedy) {
            prog.singles.push_back(kid.inst);
            emit({Op::Star, static_cast<std::uint32_t>(prog.singles.size() - 1), n.min, n.max});
            return;
        }
        for (std::uint32_t k = 0; k < n.min; ++k) {
            clearGroups(n);
            gen(kid);
        }
        if (n.max == kUnbounded) {
            // Each pass notes where it began; a pass that took nothing ends the loop.
            auto mark = static_cast<std::uint32_t>(prog.slots++);
            std::size_t split = emit({Op::Split});
            std::uint32_t body = here();
            emit({Op::Save, mark});
            clearGroups(n);
            gen(kid);
            emit({Op::EmptyCheck, mark});
            emit({Op::Jump, static_cast<std::uint32_t>(split)});
            setSplit(split, body, here(), n.greedy);
            return;
        }
        std::vector<std::pair<std::size_t, std::uint32_t>> optional;
        for (std::uint32_t k = n.min; k < n.max; ++k) {
            std::size_t split = emit({Op::Split});
            optional.emplace_back(split, here());
            clearGroups(n);
            gen(kid);
        }
        for (auto [split, body] : optional)
            setSplit(split, body, here(), n.greedy);
    }

    void setSplit(std::size_t split, std::uint32_t body, std::uint32_t after, bool greedy) {
        prog.code[split].a = greedy ? body : after;
        prog.code[split].b = greedy ? after : body;
    }
};

// What every match must start with, to skip to candidates quickly.
void findStart(const Node& root, Program& prog) {
    const Node* first = &root;
    while (first->kind == Kind::Concat && !first->kids.empty())
        first = first->kids[0].get();
    if (first->kind == Kind::Assert && first->inst.op == Op::LineStart && !prog.multiline)
        prog.anchored = true;
    if (first->kind == Kind::Repeat && first->min > 0)
        first = first->kids[0].get();
    if (first->kind == Kind::Single && first->inst.op == Op::Byte)
        prog.firstByte = static_cast<int>(first->inst.a);
}

} // namespace

std::unique_ptr<Regex> Regex::compile(std::string_view pattern, const Options& options, std::string& error) {
    if (pattern.size() > kMaxPatternBytes) {
        error = "pattern too long";
        return nullptr;
    }
    auto prog = std::make_unique<Program>();
    prog->multiline = options.multiline;
    prog->ignoreCase = options.ignoreCase;
    try {
        NodePtr root = Parser(pattern, options, *prog).parse();
        prog->slots = 2 * (prog->groups + 1);
        Emitter out(*prog);
        out.emit({Op::Save, 0});
        out.gen(*root);
        out.emit({Op::Save, 1});
        out.emit({Op::Match});
        findStart(*root, *prog);
    } catch (const Bad& bad) {
        error = bad.why;
        return nullptr;
    }
    return std::unique_ptr<Regex>(new Regex(std::move(prog)));
}

Regex::Regex(std::unique_ptr<Program> program) : m_program(std::move(program)) {}
Regex::~Regex() = default;

std::size_t Regex::groupCount() const {
    return m_program->groups;
}

const std::vector<std::pair<std::string, std::size_t>>& Regex::names() const {
    return m_program->names;
}

} // namespace swf::avm2::regex
