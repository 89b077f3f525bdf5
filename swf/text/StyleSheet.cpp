#include "swf/text/StyleSheet.h"

#include <cctype>
#include <charconv>

namespace swf::text {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out;
    for (char c : s)
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return out;
}

// Comments go before anything else is read.
std::string withoutComments(std::string_view css) {
    std::string out;
    for (std::size_t i = 0; i < css.size(); ++i) {
        if (css.compare(i, 2, "/*") == 0) {
            const std::size_t end = css.find("*/", i + 2);
            if (end == std::string_view::npos)
                break;
            i = end + 1;
            continue;
        }
        out.push_back(css[i]);
    }
    return out;
}

// A leading number ("12px", "-3", "1.5pt"); nullopt when there is none.
std::optional<double> leadingNumber(std::string_view s) {
    s = trim(s);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end == s.data())
        return std::nullopt;
    return v;
}

std::optional<std::uint32_t> cssColor(std::string_view s) {
    s = trim(s);
    if (s.empty() || s.front() != '#')
        return std::nullopt;
    s.remove_prefix(1);
    std::uint32_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || end == s.data())
        return std::nullopt;
    return v & 0xFFFFFF;
}

} // namespace

std::string cssNameToCamel(std::string_view name) {
    std::string out;
    bool upper = false;
    for (char c : trim(name)) {
        if (c == '-') {
            upper = !out.empty();
            continue;
        }
        out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
        upper = false;
    }
    return out;
}

bool StyleSheet::parseCss(std::string_view cssText) {
    const std::string css = withoutComments(cssText);
    std::map<std::string, StyleProps> parsed;
    std::size_t i = 0;
    while (true) {
        const std::size_t open = css.find('{', i);
        if (open == std::string::npos) {
            if (!trim(std::string_view(css).substr(i)).empty())
                return false; // a selector without a body
            break;
        }
        const std::size_t close = css.find('}', open);
        if (close == std::string::npos)
            return false;
        StyleProps props;
        std::string_view body = std::string_view(css).substr(open + 1, close - open - 1);
        while (!trim(body).empty()) {
            const std::size_t semi = body.find(';');
            const std::string_view decl = body.substr(0, semi);
            body = semi == std::string_view::npos ? std::string_view() : body.substr(semi + 1);
            if (trim(decl).empty())
                continue;
            const std::size_t colon = decl.find(':');
            if (colon == std::string_view::npos)
                return false;
            const std::string name = cssNameToCamel(decl.substr(0, colon));
            if (name.empty())
                return false;
            props[name] = std::string(trim(decl.substr(colon + 1)));
        }
        std::string_view selectors = std::string_view(css).substr(i, open - i);
        if (trim(selectors).empty())
            return false;
        while (!selectors.empty()) {
            const std::size_t comma = selectors.find(',');
            const std::string sel(trim(selectors.substr(0, comma)));
            selectors = comma == std::string_view::npos ? std::string_view() : selectors.substr(comma + 1);
            if (sel.empty())
                return false;
            StyleProps& target = parsed[key(sel)];
            for (const auto& [k, v] : props)
                target[k] = v;
        }
        i = close + 1;
    }
    for (auto& [sel, props] : parsed)
        m_styles[sel] = std::move(props);
    return true;
}

const StyleProps* StyleSheet::style(const std::string& selector) const {
    const auto it = m_styles.find(key(selector));
    return it == m_styles.end() ? nullptr : &it->second;
}

std::vector<std::string> StyleSheet::selectors() const {
    std::vector<std::string> out;
    for (const auto& [sel, props] : m_styles)
        out.push_back(sel);
    return out;
}

std::string StyleSheet::key(const std::string& selector) {
    return !selector.empty() && selector.front() == '.' ? selector : lower(selector);
}

TextFormat StyleSheet::format(const std::string& selector) const {
    const StyleProps* props = style(selector);
    return props ? formatFromStyle(*props) : TextFormat{};
}

TextFormat formatFromStyle(const StyleProps& props) {
    TextFormat f;
    const auto get = [&](const char* name) -> std::optional<std::string_view> {
        const auto it = props.find(name);
        if (it == props.end())
            return std::nullopt;
        return trim(it->second);
    };
    const auto intProp = [&](const char* name, std::optional<int>& out) {
        if (const auto v = get(name))
            if (const auto n = leadingNumber(*v))
                out = static_cast<int>(*n);
    };
    if (const auto v = get("color"))
        f.color = cssColor(*v);
    if (const auto v = get("fontFamily")) {
        // The first family of the list, without quotes.
        std::string_view first = trim(v->substr(0, v->find(',')));
        if (first.size() >= 2 && (first.front() == '"' || first.front() == '\''))
            first = first.substr(1, first.size() - 2);
        f.font = std::string(first);
    }
    if (const auto v = get("fontSize"))
        f.size = leadingNumber(*v);
    if (const auto v = get("fontStyle"))
        f.italic = lower(*v) == "italic";
    if (const auto v = get("fontWeight"))
        f.bold = lower(*v) == "bold";
    if (const auto v = get("kerning"))
        f.kerning = lower(*v) == "true";
    intProp("leading", f.leading);
    if (const auto v = get("letterSpacing"))
        f.letterSpacing = leadingNumber(*v);
    intProp("marginLeft", f.leftMargin);
    intProp("marginRight", f.rightMargin);
    intProp("textIndent", f.indent);
    if (const auto v = get("textAlign"))
        f.align = alignFromName(*v);
    if (const auto v = get("textDecoration"))
        f.underline = lower(*v) == "underline";
    return f;
}

} // namespace swf::text
