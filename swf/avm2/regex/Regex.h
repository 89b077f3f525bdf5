#pragma once
// Regular expressions as AS3's RegExp reads them (ECMAScript syntax with the s and x
// flags and named groups), matched over UTF-8 text with byte positions.
//
// Our own engine, because std::regex recurses once per character (a long subject overflows
// the stack), has no step limit and expands counted repeats without bound; this one
// backtracks on an explicit stack of bounded size and stops after a caller's step budget.
// Hostile patterns are the normal case: the pattern's length, nesting and compiled size
// are bounded, and a search that runs out of steps or stack says so instead of hanging.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace swf::avm2::regex {

struct Options {
    bool ignoreCase = false; // i
    bool multiline = false;  // m: ^ and $ also at line breaks
    bool dotAll = false;     // s: a dot also matches line breaks
    bool extended = false;   // x: white space and # comments in the pattern are left out
};

enum class Outcome { Match, NoMatch, TooComplex };

// Where each group matched: begin/end byte offsets, -1 for a group that took no part.
struct Groups {
    std::vector<std::int64_t> slots; // 2 per group, group 0 is the whole match
    std::size_t count() const { return slots.size() / 2; }
    bool matched(std::size_t g) const { return 2 * g + 1 < slots.size() && slots[2 * g] >= 0 && slots[2 * g + 1] >= 0; }
    std::size_t begin(std::size_t g) const { return static_cast<std::size_t>(slots[2 * g]); }
    std::size_t end(std::size_t g) const { return static_cast<std::size_t>(slots[2 * g + 1]); }
    std::string_view text(std::string_view subject, std::size_t g) const {
        return matched(g) ? subject.substr(begin(g), end(g) - begin(g)) : std::string_view();
    }
};

struct Program;

inline constexpr std::size_t kMaxPatternBytes = 32 * 1024;
inline constexpr int kMaxNesting = 64;                  // groups, classes and lookaheads inside each other
inline constexpr std::size_t kMaxInstructions = 100'000; // counted repeats are copied out
inline constexpr std::size_t kMaxBacktrackEntries = 1u << 20;

class Regex {
public:
    // Nullptr with `error` set for a pattern that cannot be read or is too large.
    static std::unique_ptr<Regex> compile(std::string_view pattern, const Options& options, std::string& error);
    ~Regex();

    std::size_t groupCount() const; // capturing groups, without the whole match
    // Named groups, (?P<name>...) or (?<name>...): name and group number.
    const std::vector<std::pair<std::string, std::size_t>>& names() const;

    // The first match that starts at or after `from`. Each instruction run takes one of
    // `steps`; when none are left the search gives up with TooComplex.
    Outcome search(std::string_view subject, std::size_t from, Groups& out, std::uint64_t& steps) const;

private:
    explicit Regex(std::unique_ptr<Program> program);
    std::unique_ptr<Program> m_program;
};

} // namespace swf::avm2::regex
