// The backtracking machine that runs a compiled pattern. Choices and the old values of
// the slots it overwrites go on one explicit stack (bounded in size); a lookahead runs its
// body on the same stack, one native call deep per nested lookahead in the pattern.
#include "swf/avm2/regex/CaseFold.h"
#include "swf/avm2/regex/Program.h"
#include "swf/avm2/regex/Regex.h"

#include <algorithm>
#include <cstring>

namespace swf::avm2::regex {

namespace {

// A choice to come back to (slot kBranch), a Star that can give back characters down to
// `lo` (slot kGiveBack), or the value a slot had before (slot >= 0, old value in pos).
struct Entry {
    std::uint32_t pc;
    std::int32_t slot;
    std::int64_t pos;
    std::int64_t lo;
};

constexpr std::int32_t kBranch = -1;
constexpr std::int32_t kGiveBack = -2;

bool isLineBreak(char32_t c) {
    return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029;
}

bool isWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool inRanges(const Ranges& r, char32_t c) {
    auto it = std::upper_bound(r.begin(), r.end(), c, [](char32_t v, const auto& range) { return v < range.first; });
    return it != r.begin() && c <= std::prev(it)->second;
}

unsigned char lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c;
}

class Matcher {
public:
    Matcher(const Program& program, std::string_view subject, std::uint64_t& steps)
        : prog(program), s(subject), stepsLeft(steps), slots(program.slots, -1) {}

    const Program& prog;
    std::string_view s;
    std::uint64_t& stepsLeft;
    std::vector<std::int64_t> slots;
    std::vector<Entry> stack;
    bool tooComplex = false;

    bool run(std::uint32_t pc, std::size_t pos);

private:
    bool tick() {
        if (stepsLeft == 0) {
            tooComplex = true;
            return false;
        }
        --stepsLeft;
        return true;
    }

    bool push(Entry e) {
        if (stack.size() >= kMaxBacktrackEntries) {
            tooComplex = true;
            return false;
        }
        stack.push_back(e);
        return true;
    }

    bool setSlot(std::uint32_t slot, std::int64_t value) {
        if (slots[slot] == value)
            return true;
        if (!push({0, static_cast<std::int32_t>(slot), slots[slot], 0}))
            return false;
        slots[slot] = value;
        return true;
    }

    // One character for a single-character instruction; its length in `len`.
    bool single(const Inst& in, std::size_t pos, std::size_t& len) const {
        if (pos >= s.size())
            return false;
        auto byte = static_cast<unsigned char>(s[pos]);
        len = 1;
        switch (in.op) {
        case Op::Byte: return byte == in.a;
        case Op::ByteFold: return lower(byte) == in.a;
        default: break;
        }
        auto [cp, n] = decodeUtf8(s, pos);
        len = n;
        if (in.op == Op::Any)
            return !isLineBreak(cp);
        if (in.op == Op::AnyAll)
            return true;
        return inRanges(prog.classes[in.a], cp);
    }

    // The start of the character before `pos`, not below `lo`.
    std::size_t stepBack(std::size_t pos, std::size_t lo) const {
        for (std::size_t k = 2; k <= 4 && pos >= lo + k; ++k)
            if (decodeUtf8(s, pos - k).second == k)
                return pos - k;
        return pos - 1;
    }

    bool lineBreakBefore(std::size_t pos) const {
        if (pos == 0)
            return false;
        char c = s[pos - 1];
        if (c == '\n' || c == '\r')
            return true;
        return pos >= 3 && isLineBreak(decodeUtf8(s, pos - 3).first);
    }

    bool wordEdge(std::size_t pos) const {
        bool before = pos > 0 && isWordByte(static_cast<unsigned char>(s[pos - 1]));
        bool after = pos < s.size() && isWordByte(static_cast<unsigned char>(s[pos]));
        return before != after;
    }

    bool backRef(std::uint32_t group, std::size_t& pos) const {
        std::int64_t b = slots[2 * group], e = slots[2 * group + 1];
        if (b < 0 || e < b)
            return true; // a group that took no part matches nothing, successfully
        auto len = static_cast<std::size_t>(e - b);
        if (pos + len > s.size())
            return false;
        for (std::size_t k = 0; k < len; ++k) {
            auto x = static_cast<unsigned char>(s[static_cast<std::size_t>(b) + k]);
            auto y = static_cast<unsigned char>(s[pos + k]);
            if (x != y && !(prog.ignoreCase && lower(x) == lower(y)))
                return false;
        }
        pos += len;
        return true;
    }

    bool star(const Inst& in, std::uint32_t pc, std::size_t& pos) {
        const Inst& one = prog.singles[in.a];
        std::size_t len = 0;
        std::uint32_t count = 0;
        for (; count < in.b; ++count) {
            if (!tick() || !single(one, pos, len))
                return false;
            pos += len;
        }
        std::size_t lo = pos;
        for (; count < in.c && single(one, pos, len); ++count) {
            if (!tick())
                return false;
            pos += len;
        }
        return pos == lo || push({pc + 1, kGiveBack, static_cast<std::int64_t>(pos), static_cast<std::int64_t>(lo)});
    }

    // Undoes the slot writes above `mark` and drops its choices.
    void unwind(std::size_t mark) {
        while (stack.size() > mark) {
            if (stack.back().slot >= 0)
                slots[static_cast<std::size_t>(stack.back().slot)] = stack.back().pos;
            stack.pop_back();
        }
    }

    // A lookahead that matched is not entered again: its choices go, its slot writes stay
    // undoable.
    void keepOnlyUndo(std::size_t mark) {
        auto end = std::remove_if(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end(),
                                  [](const Entry& e) { return e.slot < 0; });
        stack.erase(end, stack.end());
    }

    // Resumes at the latest choice above `base`; false when there is none.
    bool backtrack(std::size_t base, std::uint32_t& pc, std::size_t& pos) {
        while (stack.size() > base) {
            Entry e = stack.back();
            stack.pop_back();
            if (e.slot >= 0) {
                slots[static_cast<std::size_t>(e.slot)] = e.pos;
                continue;
            }
            pc = e.pc;
            pos = static_cast<std::size_t>(e.pos);
            if (e.slot == kGiveBack) {
                pos = stepBack(pos, static_cast<std::size_t>(e.lo));
                if (pos > static_cast<std::size_t>(e.lo))
                    stack.push_back({e.pc, kGiveBack, static_cast<std::int64_t>(pos), e.lo});
            }
            return true;
        }
        return false;
    }
};

bool Matcher::run(std::uint32_t pc, std::size_t pos) {
    const std::size_t base = stack.size();
    for (;;) {
        if (!tick())
            return false;
        const Inst& in = prog.code[pc];
        bool ok = true;
        std::size_t len = 0;
        switch (in.op) {
        case Op::Byte: case Op::ByteFold: case Op::Any: case Op::AnyAll: case Op::Class:
            ok = single(in, pos, len);
            pos += ok ? len : 0;
            ++pc;
            break;
        case Op::Star:
            ok = star(in, pc, pos);
            ++pc;
            break;
        case Op::LineStart:
            ok = pos == 0 || (prog.multiline && lineBreakBefore(pos));
            ++pc;
            break;
        case Op::LineEnd:
            ok = pos == s.size() || (prog.multiline && isLineBreak(decodeUtf8(s, pos).first));
            ++pc;
            break;
        case Op::WordEdge: case Op::NotWordEdge:
            ok = wordEdge(pos) == (in.op == Op::WordEdge);
            ++pc;
            break;
        case Op::BackRef:
            ok = backRef(in.a, pos);
            ++pc;
            break;
        case Op::Split:
            ok = push({in.b, kBranch, static_cast<std::int64_t>(pos), 0});
            pc = in.a;
            break;
        case Op::Jump:
            pc = in.a;
            break;
        case Op::Save:
            ok = setSlot(in.a, static_cast<std::int64_t>(pos));
            ++pc;
            break;
        case Op::Clear:
            for (std::uint32_t k = in.a; k < in.b && ok; ++k)
                ok = setSlot(k, -1);
            ++pc;
            break;
        case Op::EmptyCheck:
            ok = slots[in.a] != static_cast<std::int64_t>(pos);
            ++pc;
            break;
        case Op::Look: {
            const std::size_t mark = stack.size();
            bool found = run(pc + 1, pos);
            if (tooComplex)
                return false;
            if (found && in.a)
                unwind(mark);
            else if (found)
                keepOnlyUndo(mark);
            ok = found != (in.a != 0);
            pc = in.b;
            break;
        }
        case Op::LookEnd: case Op::Match:
            return true;
        }
        if (tooComplex)
            return false;
        if (!ok && !backtrack(base, pc, pos))
            return false;
    }
}

} // namespace

Outcome Regex::search(std::string_view subject, std::size_t from, Groups& out, std::uint64_t& steps) const {
    const Program& prog = *m_program;
    Matcher m(prog, subject, steps);
    for (std::size_t start = from; start <= subject.size();) {
        if (prog.anchored && start > 0)
            break;
        if (prog.firstByte >= 0) {
            const void* at = start < subject.size()
                                 ? std::memchr(subject.data() + start, prog.firstByte, subject.size() - start)
                                 : nullptr;
            if (!at)
                break;
            start = static_cast<std::size_t>(static_cast<const char*>(at) - subject.data());
        }
        m.stack.clear();
        std::fill(m.slots.begin(), m.slots.end(), -1);
        if (m.run(0, start)) {
            out.slots.assign(m.slots.begin(), m.slots.begin() + static_cast<std::ptrdiff_t>(2 * (prog.groups + 1)));
            return Outcome::Match;
        }
        if (m.tooComplex)
            return Outcome::TooComplex;
        if (start == subject.size())
            break;
        start += decodeUtf8(subject, start).second;
    }
    out.slots.assign(2 * (prog.groups + 1), -1);
    return Outcome::NoMatch;
}

} // namespace swf::avm2::regex
