#pragma once
// TextField.restrict: which characters the user may type. "A-Z 0-9" allows ranges, a '^'
// switches between allowing and refusing what follows ("^0-9", "a-z^q"), a backslash takes
// the next character literally ("\\-", "\\^", "\\\\").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swf::text {

class Restrict {
public:
    Restrict() = default; // no restriction (restrict = null)
    explicit Restrict(std::u16string_view pattern);

    bool active() const { return m_active; }
    // The character to insert for a typed `c`: itself, its other case when only that is
    // allowed, or nothing.
    std::optional<char16_t> filter(char16_t c) const;

private:
    bool allows(char16_t c) const;
    struct Range {
        char16_t first, last;
        bool allow;
    };
    bool m_active = false;
    bool m_allowByDefault = false;
    std::vector<Range> m_ranges; // later ranges win
};

} // namespace swf::text
