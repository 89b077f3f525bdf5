// The regular expression engine on its own: what each construct matches, and that hostile
// patterns and subjects end within their bounds.
#include "swf/avm2/regex/Regex.h"

#include <gtest/gtest.h>

using namespace swf::avm2::regex;

namespace {

Options optionsFrom(const std::string& flags) {
    Options o;
    o.ignoreCase = flags.find('i') != std::string::npos;
    o.multiline = flags.find('m') != std::string::npos;
    o.dotAll = flags.find('s') != std::string::npos;
    o.extended = flags.find('x') != std::string::npos;
    return o;
}

// The groups of the first match as "whole|g1|g2@index" ("-" for a group that took no part),
// or "none", "too complex", "bad: why".
std::string first(const std::string& pattern, const std::string& subject, const std::string& flags = "",
                  std::uint64_t steps = 1'000'000) {
    std::string error;
    auto re = Regex::compile(pattern, optionsFrom(flags), error);
    if (!re)
        return "bad: " + error;
    Groups g;
    switch (re->search(subject, 0, g, steps)) {
    case Outcome::NoMatch: return "none";
    case Outcome::TooComplex: return "too complex";
    case Outcome::Match: break;
    }
    std::string out;
    for (std::size_t i = 0; i < g.count(); ++i)
        out += (i ? "|" : "") + (g.matched(i) ? std::string(g.text(subject, i)) : std::string("-"));
    return out + "@" + std::to_string(g.begin(0));
}

} // namespace

TEST(Regex, MatchesLiteralsClassesAndAnchors) {
    EXPECT_EQ(first("b+c", "aabbbcd"), "bbbc@2");
    EXPECT_EQ(first("[a-c]+", "xxcabz"), "cab@2");
    EXPECT_EQ(first("[^a-c]+", "abxyc"), "xy@2");
    EXPECT_EQ(first("\\d+\\s\\w+", "n: 42 apples"), "42 apples@3");
    EXPECT_EQ(first("[\\d.-]+", "v-1.5x"), "-1.5@1");
    EXPECT_EQ(first("^b", "ab\nbc"), "none");
    EXPECT_EQ(first("^b", "ab\nbc", "m"), "b@3");
    EXPECT_EQ(first("a$", "a\nb"), "none");
    EXPECT_EQ(first("a$", "a\nb", "m"), "a@0");
    EXPECT_EQ(first("\\bcat\\b", "concat cat"), "cat@7");
    EXPECT_EQ(first("\\Bcat", "cat concat"), "cat@7");
    EXPECT_EQ(first("a.c", "a\nc abc"), "abc@4");
    EXPECT_EQ(first("a.c", "a\nc", "s"), "a\nc@0");
    EXPECT_EQ(first("\\x41\\u0042\\t", "AB\t"), "AB\t@0");
    EXPECT_EQ(first("[]", "a"), "none");
    EXPECT_EQ(first("a{2}b{1,}c{0,1}", "aaabbc"), "aabbc@1");
    EXPECT_EQ(first("x{,2}", "x{,2}"), "x{,2}@0"); // a brace that starts no count is itself
}

TEST(Regex, GroupsAlternativesAndBackReferences) {
    EXPECT_EQ(first("(\\w+)\\s(\\w+)", "John Smith"), "John Smith|John|Smith@0");
    EXPECT_EQ(first("(a)|(b)", "b"), "b|-|b@0");
    EXPECT_EQ(first("(?:ab)+", "xababab"), "ababab@1");
    EXPECT_EQ(first("(a|ab)(c|bcd)(d*)", "abcd"), "abcd|a|bcd|@0");
    EXPECT_EQ(first("(\\w)\\1", "abccd"), "cc|c@2");
    EXPECT_EQ(first("(a)?b\\1", "b"), "b|-@0");
    // Each pass of a repeat starts its groups afresh.
    EXPECT_EQ(first("(?:(a)|b)+", "ab"), "ab|-@0");
    EXPECT_EQ(first("(?P<year>\\d{4})-(?P<month>\\d\\d)", "on 2024-05"), "2024-05|2024|05@3");
    std::string error;
    auto named = Regex::compile("(?P<y>\\d+)(x)(?<z>y)", {}, error);
    ASSERT_TRUE(named);
    ASSERT_EQ(named->names().size(), 2u);
    EXPECT_EQ(named->names()[0], (std::pair<std::string, std::size_t>{"y", 1}));
    EXPECT_EQ(named->names()[1], (std::pair<std::string, std::size_t>{"z", 3}));
}

TEST(Regex, GreedyLazyAndLookahead) {
    EXPECT_EQ(first("<.+>", "<a><b>"), "<a><b>@0");
    EXPECT_EQ(first("<.+?>", "<a><b>"), "<a>@0");
    EXPECT_EQ(first("a{2,3}?", "aaaa"), "aa@0");
    EXPECT_EQ(first("(a+)+b", "aaab"), "aaab|aaa@0");
    EXPECT_EQ(first("\\w+(?=!)", "hi you!"), "you@3");
    EXPECT_EQ(first("\\d(?!px)\\w+", "3px 4em"), "4em@4");
    EXPECT_EQ(first("(?=(a+))a*b\\1", "baaabac"), "aba|a@3");
    // A repeat whose body can match nothing ends instead of looping.
    EXPECT_EQ(first("(a*)*b", "aab"), "aab|aa@0");
    EXPECT_EQ(first("(a*?)*?c", "aac"), "aac|a@0");
    EXPECT_EQ(first("(?:)*x", "x"), "x@0");
}

TEST(Regex, IgnoresCaseAndReadsExtendedPatterns) {
    EXPECT_EQ(first("HeLLo", "say hello", "i"), "hello@4");
    EXPECT_EQ(first("[a-c]+", "XBCAY", "i"), "BCA@1");
    EXPECT_EQ(first("(ab)\\1", "abAB", "i"), "abAB|ab@0");
    EXPECT_EQ(first("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "i"), "\xC3\x89T\xC3\x89@0");
    EXPECT_EQ(first("a b  # letters\n c", "abc", "x"), "abc@0");
    EXPECT_EQ(first("[ ]", "a b", "x"), " @1"); // white space in a class still counts
}

TEST(Regex, CountsCharactersNotBytes) {
    // A dot and a class take a whole UTF-8 character; giving back steps over whole ones too.
    EXPECT_EQ(first("^.$", "\xE2\x82\xAC"), "\xE2\x82\xAC@0");
    EXPECT_EQ(first("[\xE2\x82\xAC$]+", "5\xE2\x82\xAC$"), "\xE2\x82\xAC$@1");
    EXPECT_EQ(first(".*\xE2\x82\xAC", "a\xE2\x82\xAC" "b\xE2\x82\xAC" "c"), "a\xE2\x82\xAC" "b\xE2\x82\xAC@0");
    EXPECT_EQ(first("[^a]", "\xC3\xA9"), "\xC3\xA9@0");
    // Stray bytes are single characters and never read past the end.
    EXPECT_EQ(first(".+", "\xE2\x82"), "\xE2\x82@0");
    EXPECT_EQ(first("\xFF", "a\xFF"), "\xFF@1");
}

TEST(Regex, RefusesMalformedAndOversizedPatterns) {
    for (const char* bad : {"(", "a)", "[a", "*a", "a**", "x{3,2}", "a{99999}", "\\", "(?<=a)b", "(?Q)", "(?P<>a)"})
        EXPECT_EQ(first(bad, "a").rfind("bad: ", 0), 0u) << bad;
    EXPECT_EQ(first(std::string(40000, 'a'), "a"), "bad: pattern too long");
    EXPECT_EQ(first(std::string(100, '(') + std::string(100, ')'), ""), "bad: nested too deeply");
    // Counted repeats are laid out copy by copy, so their product is bounded.
    EXPECT_EQ(first("((ab){1000}){1000}", ""), "bad: pattern too large");
}

TEST(Regex, HostilePatternsStopWithinTheirBudget) {
    const std::string as(5000, 'a');
    // Exponential backtracking ends after the given steps instead of hanging.
    for (const char* evil : {"(a+)+$", "(a|a)*$", "(a|aa)*c", "(.*a){12}$", "a*a*a*a*a*a*b", "(?:a?){30}a{30}$"})
        EXPECT_EQ(first(evil, as + "!", "", 2'000'000), "too complex") << evil;
    // Lookaheads and back-references under a repeat are bounded the same way.
    EXPECT_EQ(first("((?=(a*))\\2)*b", as, "", 2'000'000), "too complex");
    // Long subjects need no deep native stack: the choices live on the bounded stack.
    const std::string longSubject(3'000'000, 'x');
    EXPECT_EQ(first("(?:x|y)*z", longSubject, "", 100'000'000), "too complex");
    EXPECT_EQ(first("x*$", longSubject, "", 100'000'000).size(), longSubject.size() + 2);
    EXPECT_EQ(first("(x)*", "xxxx"), "xxxx|x@0");
}
