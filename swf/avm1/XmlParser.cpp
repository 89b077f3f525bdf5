// Flash's lenient XML reader (see XmlParser.h for why it is our own).

#include "XmlParser.h"

#include "Value.h"

namespace swf::avm1::xml {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allSpace(std::string_view s) {
    for (char c : s)
        if (!isSpace(c))
            return false;
    return true;
}

void appendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A numeric reference body ("#65", "#x41") or 0 when it is not one.
std::uint32_t numericReference(std::string_view body) {
    if (body.size() < 2 || body[0] != '#')
        return 0;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    std::size_t i = hex ? 2 : 1;
    if (i >= body.size())
        return 0;
    std::uint32_t cp = 0;
    for (; i < body.size(); ++i) {
        const int d = hex ? hexDigit(body[i]) : (body[i] >= '0' && body[i] <= '9' ? body[i] - '0' : -1);
        if (d < 0 || cp > 0x10FFFF)
            return 0;
        cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    return cp;
}

class Reader {
public:
    Reader(std::string_view text, bool ignoreWhite, std::size_t maxNodes)
        : m_s(text), m_ignoreWhite(ignoreWhite), m_maxNodes(maxNodes) {}

    Document run() {
        m_open.push_back(&m_doc.root);
        while (m_pos < m_s.size() && m_doc.status == kOk) {
            if (m_s[m_pos] == '<')
                markup();
            else
                text();
        }
        if (m_doc.status == kOk && m_open.size() > 1)
            m_doc.status = kMissingEndTag;
        // A malformed tag loses the whole tree; other errors keep what was read.
        if (m_doc.status == kMalformedElement || m_doc.status == kAttributeNotTerminated)
            m_doc.root.children.clear();
        return std::move(m_doc);
    }

private:
    Node* add(bool element, std::string text) {
        if (++m_nodes > m_maxNodes) {
            m_doc.status = kOutOfMemory;
            return nullptr;
        }
        auto n = std::make_unique<Node>();
        n->element = element;
        n->text = std::move(text);
        Node* raw = n.get();
        m_open.back()->children.push_back(std::move(n));
        return raw;
    }

    void text() {
        const std::size_t end = std::min(m_s.find('<', m_pos), m_s.size());
        const std::string_view raw = m_s.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_ignoreWhite && allSpace(raw))
            return;
        add(false, decodeEntities(raw));
    }

    // Skips to `terminator`, storing what lies between; false (and `status`) when it never comes.
    bool until(std::string_view terminator, int status, std::size_t from, std::string_view& body) {
        const std::size_t end = m_s.find(terminator, from);
        if (end == std::string_view::npos) {
            m_doc.status = status;
            return false;
        }
        body = m_s.substr(from, end - from);
        m_pos = end + terminator.size();
        return true;
    }

    void markup() {
        const std::string_view rest = m_s.substr(m_pos);
        std::string_view body;
        if (rest.starts_with("<!--")) {
            until("-->", kCommentNotTerminated, m_pos + 4, body);
        } else if (rest.starts_with("<![CDATA[")) {
            if (until("]]>", kCdataNotTerminated, m_pos + 9, body))
                add(false, std::string(body));
        } else if (rest.starts_with("<?")) {
            const std::size_t start = m_pos;
            if (until(">", kDeclarationNotTerminated, m_pos + 2, body) && !m_doc.hasXmlDecl) {
                m_doc.xmlDecl = std::string(m_s.substr(start, m_pos - start));
                m_doc.hasXmlDecl = true;
            }
        } else if (rest.starts_with("<!")) {
            // An internal subset in [...] may hold '>' of its own.
            const std::size_t start = m_pos;
            const std::size_t open = m_s.find_first_of("[>", m_pos + 2);
            std::size_t from = m_pos + 2;
            if (open != std::string_view::npos && m_s[open] == '[') {
                const std::size_t close = m_s.find(']', open);
                from = close == std::string_view::npos ? m_s.size() : close;
            }
            if (until(">", kDoctypeNotTerminated, from, body) && !m_doc.hasDocType) {
                m_doc.docTypeDecl = std::string(m_s.substr(start, m_pos - start));
                m_doc.hasDocType = true;
            }
        } else if (rest.starts_with("</")) {
            endTag();
        } else {
            startTag();
        }
    }

    void endTag() {
        std::size_t i = m_pos + 2;
        const std::size_t nameStart = i;
        while (i < m_s.size() && !isSpace(m_s[i]) && m_s[i] != '>' && m_s[i] != '/')
            ++i;
        const std::string_view name = m_s.substr(nameStart, i - nameStart);
        const std::size_t close = m_s.find('>', i);
        if (close == std::string_view::npos || name.empty()) {
            m_doc.status = kMalformedElement;
            return;
        }
        m_pos = close + 1;
        if (m_open.size() > 1 && m_open.back()->text == name) {
            m_open.pop_back();
            return;
        }
        // Closing an element further out leaves the inner one unclosed.
        for (std::size_t k = m_open.size(); k-- > 1;)
            if (m_open[k]->text == name) {
                m_doc.status = kMissingEndTag;
                return;
            }
        m_doc.status = kEndTagWithoutStart;
    }

    void skipSpace(std::size_t& i) const {
        while (i < m_s.size() && isSpace(m_s[i]))
            ++i;
    }

    void startTag() {
        std::size_t i = m_pos + 1;
        const std::size_t nameStart = i;
        while (i < m_s.size() && !isSpace(m_s[i]) && m_s[i] != '>' && !m_s.substr(i).starts_with("/>"))
            ++i;
        if (i == nameStart || i >= m_s.size()) {
            m_doc.status = kMalformedElement;
            return;
        }
        const std::string_view name = m_s.substr(nameStart, i - nameStart);
        std::vector<std::pair<std::string, std::string>> attributes;
        bool empty = false;
        for (;;) {
            skipSpace(i);
            if (i >= m_s.size()) {
                m_doc.status = kMalformedElement;
                return;
            }
            if (m_s[i] == '>') {
                ++i;
                break;
            }
            if (m_s.substr(i).starts_with("/>")) {
                i += 2;
                empty = true;
                break;
            }
            const std::size_t attrStart = i;
            while (i < m_s.size() && !isSpace(m_s[i]) && m_s[i] != '=' && m_s[i] != '>' && m_s[i] != '/')
                ++i;
            const std::string_view rawName = m_s.substr(attrStart, i - attrStart);
            const std::string attrName = decodeEntities(rawName); // names take entities too
            skipSpace(i);
            if (rawName.empty() || i >= m_s.size() || m_s[i] != '=') {
                m_doc.status = kMalformedElement;
                return;
            }
            ++i;
            skipSpace(i);
            if (i >= m_s.size() || (m_s[i] != '"' && m_s[i] != '\'')) {
                m_doc.status = kMalformedElement;
                return;
            }
            const char quote = m_s[i++];
            const std::size_t valueEnd = m_s.find(quote, i);
            if (valueEnd == std::string_view::npos) {
                m_doc.status = kAttributeNotTerminated;
                return;
            }
            std::string attrValue = decodeEntities(m_s.substr(i, valueEnd - i));
            i = valueEnd + 1;
            bool duplicate = false;
            for (const auto& a : attributes)
                duplicate = duplicate || a.first == attrName;
            if (!duplicate)
                attributes.emplace_back(attrName, std::move(attrValue));
        }
        Node* n = add(true, std::string(name));
        m_pos = i;
        if (!n)
            return;
        n->attributes = std::move(attributes);
        if (!empty)
            m_open.push_back(n);
    }

    std::string_view m_s;
    bool m_ignoreWhite;
    std::size_t m_maxNodes;
    std::size_t m_nodes = 0;
    std::size_t m_pos = 0;
    Document m_doc;
    std::vector<Node*> m_open;
};

} // namespace

Document parse(std::string_view text, bool ignoreWhite, std::size_t maxNodes) {
    return Reader(text, ignoreWhite, maxNodes).run();
}

std::string decodeEntities(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const std::size_t semi = s.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += '&';
            continue;
        }
        const std::string_view body = s.substr(i + 1, semi - i - 1);
        static const std::pair<std::string_view, char> named[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        bool done = false;
        for (const auto& [entity, c] : named)
            if (body == entity) {
                out += c;
                done = true;
            }
        if (!done && body == "nbsp") { // the one HTML entity Flash's reader knew (measured)
            appendCodePoint(out, 0xA0);
            done = true;
        }
        if (!done) {
            if (const std::uint32_t cp = numericReference(body)) {
                appendCodePoint(out, cp);
                done = true;
            }
        }
        if (done)
            i = semi;
        else
            out += '&';
    }
    return out;
}

std::string escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace swf::avm1::xml
