#include "swf/text/Restrict.h"

namespace swf::text {

Restrict::Restrict(std::u16string_view p) : m_active(true) {
    // A pattern that starts by refusing allows everything else.
    m_allowByDefault = !p.empty() && p.front() == u'^';
    bool allow = true;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char16_t c = p[i];
        if (c == u'^') {
            allow = !allow;
            continue;
        }
        if (c == u'\\' && i + 1 < p.size())
            c = p[++i];
        char16_t last = c;
        if (i + 2 < p.size() && p[i + 1] == u'-') {
            i += 2;
            last = p[i];
            if (last == u'\\' && i + 1 < p.size())
                last = p[++i];
        }
        m_ranges.push_back({std::min(c, last), std::max(c, last), allow});
    }
}

bool Restrict::allows(char16_t c) const {
    bool ok = m_allowByDefault;
    for (const Range& r : m_ranges)
        if (c >= r.first && c <= r.last)
            ok = r.allow;
    return ok;
}

std::optional<char16_t> Restrict::filter(char16_t c) const {
    if (!m_active || allows(c))
        return c;
    const char16_t other = c >= u'a' && c <= u'z'   ? char16_t(c - 32)
                           : c >= u'A' && c <= u'Z' ? char16_t(c + 32)
                                                    : c;
    if (other != c && allows(other))
        return other;
    return std::nullopt;
}

} // namespace swf::text
