#pragma once
// TextField.StyleSheet: CSS rules by selector ("p", ".note", "a:hover") whose properties
// turn into text formats when HTML text is read.

#include "swf/text/TextFormat.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace swf::text {

using StyleProps = std::map<std::string, std::string>; // camelCase name -> value as written

class StyleSheet {
public:
    // Reads CSS text, adding its rules; false (and nothing added) when it is malformed.
    bool parseCss(std::string_view css);
    void setStyle(const std::string& selector, StyleProps props) {
        m_styles[key(selector)] = std::move(props);
    }
    void removeStyle(const std::string& selector) { m_styles.erase(key(selector)); }
    void clear() { m_styles.clear(); }
    const StyleProps* style(const std::string& selector) const;
    std::vector<std::string> selectors() const;

    // The format the rule of `selector` gives, unset where it says nothing.
    TextFormat format(const std::string& selector) const;

private:
    // Tag selectors match any case; class names keep theirs.
    static std::string key(const std::string& selector);
    std::map<std::string, StyleProps> m_styles;
};

// "font-size" -> "fontSize".
std::string cssNameToCamel(std::string_view name);
// The format one rule's properties describe.
TextFormat formatFromStyle(const StyleProps& props);

} // namespace swf::text
