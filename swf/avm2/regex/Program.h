#pragma once
// The compiled form of a regular expression: instructions for a backtracking machine
// (Matcher.cpp), built by Compiler.cpp.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace swf::avm2::regex {

enum class Op : std::uint8_t {
    Byte,       // a: the byte
    ByteFold,   // a: an ASCII letter, either case
    Any,        // one character but a line break
    AnyAll,     // one character
    Class,      // a: class index, one character in it
    Star,       // a: single-character instruction index (Byte/ByteFold/Any/AnyAll/Class), b: min, c: max;
                // takes as many as it can, gives back one at a time
    LineStart,  // ^
    LineEnd,    // $
    WordEdge,   // \b
    NotWordEdge, // \B
    BackRef,    // a: group
    Split,      // a: tried first, b: tried on backtrack
    Jump,       // a
    Save,       // a: slot = position
    Clear,      // slots [a, b) = unset (groups inside a repeat start each pass unset)
    EmptyCheck, // a: slot holding where this pass began; fails when nothing was taken
    Look,       // a: negate, b: index after the matching LookEnd
    LookEnd,
    Match,
};

struct Inst {
    Op op;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
};

constexpr std::uint32_t kUnbounded = 0xFFFFFFFFu;

// Code point ranges, sorted and merged.
using Ranges = std::vector<std::pair<char32_t, char32_t>>;

struct Program {
    std::vector<Inst> code;
    std::vector<Inst> singles; // the one-character instructions that Star repeats
    std::vector<Ranges> classes;
    std::size_t groups = 0;    // capturing groups without group 0
    std::size_t slots = 0;     // 2 * (groups + 1), then the repeat marks
    std::vector<std::pair<std::string, std::size_t>> names;
    bool multiline = false;
    bool ignoreCase = false;
    bool anchored = false;     // starts with ^ and not multiline: only offset 0 can match
    int firstByte = -1;        // every match starts with this byte (to skip ahead quickly)
};

} // namespace swf::avm2::regex
