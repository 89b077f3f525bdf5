// E4X: XML and XMLList. A document is parsed into element, text, attribute, comment and
// instruction nodes (comments, instructions and whitespace-only text left out and text
// trimmed, as XML's default settings say); x.name and x.@name give lists of the matching
// children or attributes, x..name the matching descendants, list[i] an item; assignment
// replaces or appends. toString gives the text of simple content and markup otherwise;
// toXMLString prints markup with two-space indentation. Namespaces: element names carry
// their URI (from xmlns declarations), a public name matches elements of no namespace.
// Hostile documents are bounded: nesting depth and node counts are limited.
#include "swf/avm2/Xml.h"
#include "swf/io/Utf8.h"

#include <algorithm>
#include <cctype>

namespace swf::avm2 {

namespace {

constexpr std::size_t kMaxNodes = 1'000'000; // per document
constexpr int kMaxDepth = 512;

enum class XmlKind : std::uint8_t { Element, Text, Attribute, Comment, Instruction };

} // namespace

class XmlNode : public Object {
public:
    XmlNode() : Object(ObjectKind::Xml) {}
    XmlKind nodeKind = XmlKind::Element;
    std::string uri, local; // elements, attributes, instructions
    std::string text;       // text, comments, attribute values, instruction bodies
    bool cdata = false;
    std::vector<std::pair<std::string, std::string>> declarations; // xmlns prefix, uri
    std::vector<XmlNode*> attributes, children;
    XmlNode* parent = nullptr;
};

class XmlList : public Object {
public:
    XmlList() : Object(ObjectKind::Xml) {}
    std::vector<XmlNode*> items;
};

namespace {

struct Settings {
    bool ignoreWhitespace = true, ignoreComments = true, ignoreInstructions = true, pretty = true;
    int indent = 2;
};

// The settings are static variables of the XML class.
Settings settingsOf(Machine& m) {
    Settings s;
    if (!m.xmlClass)
        return s;
    auto flag = [&](const char* name, bool& out) {
        out = m.toBoolean(m.getProperty(Value::object(m.xmlClass), Machine::publicName(name)));
    };
    flag("ignoreWhitespace", s.ignoreWhitespace);
    flag("ignoreComments", s.ignoreComments);
    flag("ignoreProcessingInstructions", s.ignoreInstructions);
    flag("prettyPrinting", s.pretty);
    s.indent = std::clamp(m.toInt(m.getProperty(Value::object(m.xmlClass), Machine::publicName("prettyIndent"))), 0, 64);
    return s;
}

XmlNode* newNode(Machine& m, XmlKind kind) {
    auto* n = static_cast<XmlNode*>(m.allocateInstance(m.xmlClass));
    n->nodeKind = kind;
    return n;
}

XmlList* newList(Machine& m, std::vector<XmlNode*> items = {}) {
    auto* l = static_cast<XmlList*>(m.allocateInstance(m.xmlListClass));
    l->items = std::move(items);
    return l;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b]))
        ++b;
    while (e > b && isSpace(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string decodeEntities(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::size_t semi = s[i] == '&' ? s.find(';', i) : std::string_view::npos;
        if (semi == std::string_view::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        std::string_view ref = s.substr(i + 1, semi - i - 1);
        static constexpr std::pair<const char*, char> kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        bool done = false;
        for (auto [name, c] : kNamed)
            if (ref == name) {
                out += c;
                done = true;
            }
        if (!done && ref.size() > 1 && ref[0] == '#') {
            bool hex = ref[1] == 'x' || ref[1] == 'X';
            std::uint32_t code = 0;
            bool ok = ref.size() > (hex ? 2u : 1u);
            for (char c : ref.substr(hex ? 2 : 1)) {
                int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                        : hex && std::isxdigit(static_cast<unsigned char>(c)) ? (c | 0x20) - 'a' + 10 : -1;
                if (d < 0 || code > 0x10FFFF) {
                    ok = false;
                    break;
                }
                code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
            }
            if (ok && code <= 0x10FFFF) {
                io::appendUtf8(out, code);
                done = true;
            }
        }
        if (done)
            i = semi;
        else
            out += s[i];
    }
    return out;
}

std::string escapeText(std::string_view s) {
    std::string out;
    for (char c : s)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

std::string escapeAttribute(std::string_view s) {
    std::string out;
    for (char c : s)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '"' ? "&quot;" : c == '\n' ? "&#xA;" : c == '\r' ? "&#xD;"
               : c == '\t' ? "&#x9;" : std::string(1, c);
    return out;
}

[[noreturn]] void malformed(Machine& m) {
    m.typeError(1090, "XML parser failure: element is malformed.");
}

class Parser {
public:
    Parser(Machine& m, std::string_view s, const Settings& settings) : m_m(m), m_s(s), m_set(settings) {}

    // The top-level nodes of the text.
    std::vector<XmlNode*> fragment() {
        std::vector<XmlNode*> out;
        std::vector<std::pair<std::string, std::string>> scope;
        content(nullptr, out, scope, 0);
        if (m_at < m_s.size())
            malformed(m_m); // a stray end tag
        return out;
    }

private:
    bool starts(std::string_view p) const { return m_s.substr(m_at, p.size()) == p; }
    XmlNode* make(XmlKind kind, XmlNode* parent) {
        if (++m_nodes > kMaxNodes)
            throw ScriptAbort{"Error #1000: The system is out of memory."};
        XmlNode* n = newNode(m_m, kind);
        n->parent = parent;
        return n;
    }
    std::string name() {
        std::size_t b = m_at;
        while (m_at < m_s.size() && !isSpace(m_s[m_at]) && m_s[m_at] != '>' && m_s[m_at] != '/' && m_s[m_at] != '=')
            ++m_at;
        if (b == m_at)
            malformed(m_m);
        return std::string(m_s.substr(b, m_at - b));
    }
    void skipSpace() {
        while (m_at < m_s.size() && isSpace(m_s[m_at]))
            ++m_at;
    }
    std::string until(std::string_view end) {
        std::size_t e = m_s.find(end, m_at);
        if (e == std::string_view::npos)
            malformed(m_m);
        std::string out(m_s.substr(m_at, e - m_at));
        m_at = e + end.size();
        return out;
    }
    static std::string resolve(const std::vector<std::pair<std::string, std::string>>& scope, const std::string& prefix) {
        for (auto it = scope.rbegin(); it != scope.rend(); ++it)
            if (it->first == prefix)
                return it->second;
        return "";
    }
    void addText(XmlNode* parent, std::vector<XmlNode*>& out, std::string text, bool cdata) {
        if (!cdata && m_set.ignoreWhitespace) {
            text = trim(text);
            if (text.empty())
                return;
        }
        XmlNode* t = make(XmlKind::Text, parent);
        t->text = std::move(text);
        t->cdata = cdata;
        out.push_back(t);
    }

    // Nodes up to an end tag (left unread) or the end of the text.
    void content(XmlNode* parent, std::vector<XmlNode*>& out, std::vector<std::pair<std::string, std::string>>& scope, int depth) {
        while (m_at < m_s.size()) {
            if (m_s[m_at] != '<') {
                std::size_t e = std::min(m_s.find('<', m_at), m_s.size());
                addText(parent, out, decodeEntities(m_s.substr(m_at, e - m_at)), false);
                m_at = e;
            } else if (starts("</")) {
                return;
            } else if (starts("<!--")) {
                m_at += 4;
                std::string body = until("-->");
                if (!m_set.ignoreComments) {
                    XmlNode* c = make(XmlKind::Comment, parent);
                    c->text = std::move(body);
                    out.push_back(c);
                }
            } else if (starts("<![CDATA[")) {
                m_at += 9;
                addText(parent, out, until("]]>"), true);
            } else if (starts("<!")) {
                until(">"); // a document type
            } else if (starts("<?")) {
                m_at += 2;
                std::string body = until("?>");
                std::size_t split = 0;
                while (split < body.size() && !isSpace(body[split]))
                    ++split;
                std::string target = body.substr(0, split);
                if (!m_set.ignoreInstructions && target != "xml") {
                    XmlNode* pi = make(XmlKind::Instruction, parent);
                    pi->local = target;
                    pi->text = trim(std::string_view(body).substr(split));
                    out.push_back(pi);
                }
            } else {
                out.push_back(element(parent, scope, depth));
            }
        }
    }

    XmlNode* element(XmlNode* parent, std::vector<std::pair<std::string, std::string>>& scope, int depth) {
        if (depth > kMaxDepth)
            malformed(m_m);
        ++m_at; // <
        std::string qname = name();
        XmlNode* e = make(XmlKind::Element, parent);
        std::vector<std::pair<std::string, std::string>> rawAttributes;
        for (;;) {
            skipSpace();
            if (m_at >= m_s.size())
                malformed(m_m);
            if (m_s[m_at] == '>' || starts("/>"))
                break;
            std::string attr = name();
            skipSpace();
            if (m_at >= m_s.size() || m_s[m_at] != '=')
                malformed(m_m);
            ++m_at;
            skipSpace();
            if (m_at >= m_s.size() || (m_s[m_at] != '"' && m_s[m_at] != '\''))
                malformed(m_m);
            char quote = m_s[m_at++];
            std::string value = decodeEntities(until(std::string_view(&quote, 1)));
            if (attr == "xmlns" || attr.rfind("xmlns:", 0) == 0)
                e->declarations.emplace_back(attr.size() > 5 ? attr.substr(6) : "", value);
            else
                rawAttributes.emplace_back(std::move(attr), std::move(value));
        }
        std::size_t scopeSize = scope.size();
        scope.insert(scope.end(), e->declarations.begin(), e->declarations.end());
        auto split = [&](const std::string& q, bool attribute, XmlNode* n) {
            std::size_t colon = q.find(':');
            n->local = colon == std::string::npos ? q : q.substr(colon + 1);
            if (colon != std::string::npos)
                n->uri = resolve(scope, q.substr(0, colon));
            else if (!attribute)
                n->uri = resolve(scope, "");
        };
        split(qname, false, e);
        for (auto& [attr, value] : rawAttributes) {
            XmlNode* a = make(XmlKind::Attribute, e);
            split(attr, true, a);
            a->text = std::move(value);
            e->attributes.push_back(a);
        }
        if (starts("/>")) {
            m_at += 2;
        } else {
            ++m_at; // >
            content(e, e->children, scope, depth + 1);
            if (!starts("</"))
                m_m.typeError(1085, "The element type \"" + qname + "\" must be terminated by the matching end-tag \"</" +
                                        qname + ">\".");
            m_at += 2;
            if (name() != qname)
                m_m.typeError(1085, "The element type \"" + qname + "\" must be terminated by the matching end-tag \"</" +
                                        qname + ">\".");
            skipSpace();
            if (m_at >= m_s.size() || m_s[m_at] != '>')
                malformed(m_m);
            ++m_at;
        }
        scope.resize(scopeSize);
        return e;
    }

    Machine& m_m;
    std::string_view m_s;
    Settings m_set;
    std::size_t m_at = 0;
    std::size_t m_nodes = 0;
};

XmlNode* nodeOf(Value v) {
    return v.isObject() ? dynamic_cast<XmlNode*>(v.o) : nullptr;
}
XmlList* listOf(Value v) {
    return v.isObject() ? dynamic_cast<XmlList*>(v.o) : nullptr;
}

// The nodes of an XML or XMLList value.
std::vector<XmlNode*> nodesOf(Object* o) {
    if (auto* n = dynamic_cast<XmlNode*>(o))
        return {n};
    if (auto* l = dynamic_cast<XmlList*>(o))
        return l->items;
    return {};
}

// ToXML: a node made from a string (one element, or text), an XML value as it is.
XmlNode* toXml(Machine& m, Value v) {
    if (XmlNode* n = nodeOf(v))
        return n;
    if (XmlList* l = listOf(v)) {
        if (l->items.size() != 1)
            m.typeError(1088, "The markup in the document following the root element must be well-formed.");
        return l->items[0];
    }
    std::string text = v.isNullish() ? "" : m.toString(v);
    Parser p(m, text, settingsOf(m));
    std::vector<XmlNode*> nodes = p.fragment();
    XmlNode* element = nullptr;
    for (XmlNode* n : nodes)
        if (n->nodeKind == XmlKind::Element) {
            if (element)
                m.typeError(1088, "The markup in the document following the root element must be well-formed.");
            element = n;
        }
    if (element) {
        element->parent = nullptr;
        return element;
    }
    XmlNode* t = newNode(m, XmlKind::Text);
    for (XmlNode* n : nodes)
        if (n->nodeKind == XmlKind::Text)
            t->text += n->text;
    return t;
}

XmlList* toXmlList(Machine& m, Value v) {
    if (XmlList* l = listOf(v))
        return l;
    if (XmlNode* n = nodeOf(v))
        return newList(m, {n});
    std::string text = v.isNullish() ? "" : m.toString(v);
    Parser p(m, text, settingsOf(m));
    std::vector<XmlNode*> nodes = p.fragment();
    for (XmlNode* n : nodes)
        n->parent = nullptr;
    return newList(m, std::move(nodes));
}

bool simple(const XmlNode* n) {
    if (n->nodeKind == XmlKind::Comment || n->nodeKind == XmlKind::Instruction)
        return false;
    return std::none_of(n->children.begin(), n->children.end(), [](const XmlNode* c) { return c->nodeKind == XmlKind::Element; });
}

bool simpleList(const std::vector<XmlNode*>& items) {
    if (items.size() == 1)
        return simple(items[0]);
    return std::none_of(items.begin(), items.end(), [](const XmlNode* c) { return c->nodeKind == XmlKind::Element; });
}

std::string qualified(const XmlNode* n) {
    // Prefixes are not kept: a name in a namespace is printed with the prefix its
    // declaration gave, found on the way up.
    if (n->uri.empty())
        return n->local;
    for (const XmlNode* at = n; at; at = at->parent)
        for (const auto& [prefix, uri] : at->declarations)
            if (uri == n->uri)
                return prefix.empty() ? n->local : prefix + ":" + n->local;
    return n->local;
}

void markup(const XmlNode* n, const Settings& s, int indent, std::string& out, int depth) {
    if (depth > kMaxDepth)
        return;
    std::string pad = s.pretty ? std::string(static_cast<std::size_t>(indent), ' ') : "";
    switch (n->nodeKind) {
    case XmlKind::Text:
        out += pad + (n->cdata ? "<![CDATA[" + n->text + "]]>" : escapeText(s.pretty ? trim(n->text) : n->text));
        return;
    case XmlKind::Attribute: out += pad + escapeAttribute(n->text); return;
    case XmlKind::Comment: out += pad + "<!--" + n->text + "-->"; return;
    case XmlKind::Instruction: out += pad + "<?" + n->local + (n->text.empty() ? "" : " " + n->text) + "?>"; return;
    case XmlKind::Element: break;
    }
    std::string name = qualified(n);
    out += pad + "<" + name;
    for (const auto& [prefix, uri] : n->declarations)
        out += " xmlns" + (prefix.empty() ? "" : ":" + prefix) + "=\"" + escapeAttribute(uri) + "\"";
    for (const XmlNode* a : n->attributes)
        out += " " + qualified(a) + "=\"" + escapeAttribute(a->text) + "\"";
    if (n->children.empty()) {
        out += "/>";
        return;
    }
    out += ">";
    bool indentChildren = n->children.size() > 1 || n->children[0]->nodeKind != XmlKind::Text;
    bool lines = s.pretty && indentChildren;
    for (const XmlNode* c : n->children) {
        if (lines)
            out += "\n";
        markup(c, s, lines ? indent + s.indent : 0, out, depth + 1);
    }
    if (lines)
        out += "\n" + pad;
    out += "</" + name + ">";
}

std::string listMarkup(const std::vector<XmlNode*>& items, const Settings& s) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (s.pretty && i > 0)
            out += "\n";
        markup(items[i], s, 0, out, 0);
    }
    return out;
}

std::string stringOf(Machine& m, const std::vector<XmlNode*>& items, bool list) {
    if (!list && items.size() == 1 && (items[0]->nodeKind == XmlKind::Text || items[0]->nodeKind == XmlKind::Attribute))
        return items[0]->text;
    if (list ? simpleList(items) : simple(items[0])) {
        std::string out;
        for (const XmlNode* n : items) {
            if (n->nodeKind == XmlKind::Text || n->nodeKind == XmlKind::Attribute)
                out += n->text;
            else if (n->nodeKind == XmlKind::Element)
                for (const XmlNode* c : n->children)
                    if (c->nodeKind == XmlKind::Text)
                        out += c->text;
        }
        return out;
    }
    return listMarkup(items, settingsOf(m));
}

bool isIndex(const Name& n, std::uint32_t& index) {
    return !n.attribute && arrayIndex(n.local, index);
}

bool matches(const Name& name, const XmlNode* n) {
    if (!name.local.empty() && name.local != "*" && name.local != n->local)
        return false;
    if (name.anyNamespace)
        return true;
    for (const NsKey& ns : name.namespaces)
        if (ns == n->uri || (ns == kAs3Ns && n->uri.empty()))
            return true;
    return name.namespaces.empty();
}

bool wildcard(const Name& n) {
    return n.local.empty() || n.local == "*";
}

// x.name / x.@name on one node, added to `out`.
void getFrom(XmlNode* n, const Name& name, std::vector<XmlNode*>& out) {
    if (n->nodeKind != XmlKind::Element)
        return;
    if (name.attribute) {
        for (XmlNode* a : n->attributes)
            if (matches(name, a))
                out.push_back(a);
        return;
    }
    for (XmlNode* c : n->children)
        if (wildcard(name) || (c->nodeKind == XmlKind::Element && matches(name, c)))
            out.push_back(c);
}

void descend(XmlNode* n, const Name& name, std::vector<XmlNode*>& out, int depth) {
    if (depth > kMaxDepth || n->nodeKind != XmlKind::Element)
        return;
    if (name.attribute)
        for (XmlNode* a : n->attributes)
            if (matches(name, a))
                out.push_back(a);
    for (XmlNode* c : n->children) {
        if (!name.attribute && (wildcard(name) || (c->nodeKind == XmlKind::Element && matches(name, c))))
            out.push_back(c);
        descend(c, name, out, depth + 1);
    }
}

XmlNode* copyOf(Machine& m, const XmlNode* n, XmlNode* parent, int depth) {
    if (depth > kMaxDepth)
        malformed(m);
    XmlNode* c = newNode(m, n->nodeKind);
    c->uri = n->uri;
    c->local = n->local;
    c->text = n->text;
    c->cdata = n->cdata;
    c->declarations = n->declarations;
    c->parent = parent;
    for (const XmlNode* a : n->attributes)
        c->attributes.push_back(copyOf(m, a, c, depth + 1));
    for (const XmlNode* k : n->children)
        c->children.push_back(copyOf(m, k, c, depth + 1));
    return c;
}

// Nodes to put into an element for value `v`: copies of XML values, else one text node.
std::vector<XmlNode*> contentFor(Machine& m, Value v, XmlNode* parent) {
    std::vector<XmlNode*> out;
    if (v.isObject() && isXml(v.o)) {
        for (XmlNode* n : nodesOf(v.o)) {
            XmlNode* c = n->parent ? copyOf(m, n, parent, 0) : n;
            if (c->nodeKind == XmlKind::Attribute) {
                XmlNode* t = newNode(m, XmlKind::Text);
                t->text = c->text;
                c = t;
            }
            c->parent = parent;
            out.push_back(c);
        }
        return out;
    }
    XmlNode* t = newNode(m, XmlKind::Text);
    t->text = m.toString(v);
    t->parent = parent;
    out.push_back(t);
    return out;
}

Name nameArg(Machine& m, Value v, bool attribute) {
    Name n;
    n.attribute = attribute;
    if (v.isObject() && v.o->cls == m.qnameClass) {
        Value* local = v.o->own("localName");
        Value* uri = v.o->own("uri");
        n.local = local ? m.toString(*local) : "";
        n.namespaces.push_back(uri ? m.toString(*uri) : "");
        return n;
    }
    n.local = v.isUndefined() ? "*" : m.toString(v);
    n.namespaces.push_back(kPublicNs);
    return n;
}

XmlNode& requireNode(Machine& m, Value v) {
    return requireNative<XmlNode>(m, v, "XML");
}

} // namespace

bool isXml(const Object* o) {
    return o && o->kind == ObjectKind::Xml;
}

std::size_t xmlLength(Object* o) {
    return nodesOf(o).size();
}

std::string xmlToString(Machine& m, Object* o) {
    if (auto* n = dynamic_cast<XmlNode*>(o))
        return stringOf(m, {n}, false);
    if (auto* l = dynamic_cast<XmlList*>(o))
        return stringOf(m, l->items, true);
    return "";
}

Value xmlGet(Machine& m, Object* o, const Name& name) {
    std::uint32_t index;
    if (isIndex(name, index)) {
        std::vector<XmlNode*> items = nodesOf(o);
        return index < items.size() ? Value::object(items[index]) : Value();
    }
    std::vector<XmlNode*> out;
    for (XmlNode* n : nodesOf(o))
        getFrom(n, name, out);
    return Value::object(newList(m, std::move(out)));
}

void xmlSet(Machine& m, Object* o, const Name& name, Value v) {
    std::uint32_t index;
    if (auto* l = dynamic_cast<XmlList*>(o)) {
        if (isIndex(name, index)) {
            XmlNode* item = toXml(m, v);
            if (index < l->items.size())
                l->items[index] = item;
            else if (l->items.size() < kMaxNodes)
                l->items.push_back(item);
            return;
        }
        if (l->items.size() == 1)
            xmlSet(m, l->items[0], name, v);
        return;
    }
    auto* n = dynamic_cast<XmlNode*>(o);
    if (!n || n->nodeKind != XmlKind::Element || isIndex(name, index))
        return;
    if (name.attribute) {
        std::string text = v.isObject() && isXml(v.o) ? xmlToString(m, v.o) : m.toString(v);
        auto it = std::find_if(n->attributes.begin(), n->attributes.end(), [&](XmlNode* a) { return matches(name, a); });
        if (it != n->attributes.end()) {
            (*it)->text = text;
            return;
        }
        if (wildcard(name))
            return;
        XmlNode* a = newNode(m, XmlKind::Attribute);
        a->local = name.local;
        a->text = text;
        a->parent = n;
        n->attributes.push_back(a);
        return;
    }
    // The first matching child takes the value (an element's content becomes the text);
    // the other matches are removed; with none, a new element is appended.
    auto first = std::find_if(n->children.begin(), n->children.end(),
                              [&](XmlNode* c) { return c->nodeKind == XmlKind::Element && matches(name, c); });
    if (first == n->children.end()) {
        if (wildcard(name))
            return;
        XmlNode* e = newNode(m, XmlKind::Element);
        e->local = name.local;
        e->parent = n;
        if (v.isObject() && isXml(v.o)) {
            std::vector<XmlNode*> nodes = contentFor(m, v, n);
            n->children.insert(n->children.end(), nodes.begin(), nodes.end());
            return;
        }
        e->children = contentFor(m, v, e);
        n->children.push_back(e);
        return;
    }
    XmlNode* target = *first;
    std::erase_if(n->children, [&](XmlNode* c) {
        return c != target && c->nodeKind == XmlKind::Element && matches(name, c);
    });
    auto at = static_cast<std::size_t>(std::find(n->children.begin(), n->children.end(), target) - n->children.begin());
    if (v.isObject() && isXml(v.o)) {
        std::vector<XmlNode*> nodes = contentFor(m, v, n);
        n->children.erase(n->children.begin() + static_cast<std::ptrdiff_t>(at));
        n->children.insert(n->children.begin() + static_cast<std::ptrdiff_t>(at), nodes.begin(), nodes.end());
    } else {
        target->children = contentFor(m, v, target);
    }
}

bool xmlDelete(Machine&, Object* o, const Name& name) {
    std::uint32_t index;
    if (auto* l = dynamic_cast<XmlList*>(o)) {
        if (isIndex(name, index)) {
            if (index < l->items.size()) {
                XmlNode* gone = l->items[index];
                if (gone->parent) {
                    auto& siblings = gone->nodeKind == XmlKind::Attribute ? gone->parent->attributes : gone->parent->children;
                    std::erase(siblings, gone);
                    gone->parent = nullptr;
                }
                l->items.erase(l->items.begin() + index);
            }
            return true;
        }
    }
    for (XmlNode* n : nodesOf(o)) {
        if (n->nodeKind != XmlKind::Element)
            continue;
        if (name.attribute)
            std::erase_if(n->attributes, [&](XmlNode* a) { return matches(name, a); });
        else
            std::erase_if(n->children, [&](XmlNode* c) {
                return wildcard(name) || (c->nodeKind == XmlKind::Element && matches(name, c));
            });
    }
    return true;
}

bool xmlHas(Machine&, Object* o, const Name& name) {
    std::uint32_t index;
    if (isIndex(name, index))
        return index < nodesOf(o).size();
    std::vector<XmlNode*> found;
    for (XmlNode* n : nodesOf(o))
        getFrom(n, name, found);
    return !found.empty();
}

Value xmlDescendants(Machine& m, Value v, const Name& name) {
    if (!v.isObject() || !isXml(v.o))
        m.typeError(1016, "Descendants operator (..) not supported on type " + m.className(v) + ".");
    std::vector<XmlNode*> out;
    for (XmlNode* n : nodesOf(v.o))
        descend(n, name, out, 0);
    return Value::object(newList(m, std::move(out)));
}

namespace {

// Methods both XML and XMLList have, over the value's nodes.
void installCommonMethods(Machine& m, ClassObject* cls, bool list) {
    m.defineMethod(cls, "toString", [](Machine& m, Value self, std::span<Value>) {
        return m.string(self.isObject() && isXml(self.o) ? xmlToString(m, self.o) : "");
    });
    m.defineMethod(cls, "toXMLString", [](Machine& m, Value self, std::span<Value>) {
        return m.string(self.isObject() && isXml(self.o) ? listMarkup(nodesOf(self.o), settingsOf(m)) : "");
    });
    m.defineMethod(cls, "valueOf", [](Machine&, Value self, std::span<Value>) { return self; });
    m.defineMethod(cls, "length", [](Machine&, Value self, std::span<Value>) {
        return Value::integer(self.isObject() ? static_cast<std::int32_t>(nodesOf(self.o).size()) : 0);
    });
    auto gather = [](Machine& m, Value self, const Name& name) {
        std::vector<XmlNode*> out;
        if (self.isObject())
            for (XmlNode* n : nodesOf(self.o))
                getFrom(n, name, out);
        return Value::object(newList(m, std::move(out)));
    };
    m.defineMethod(cls, "children", [gather](Machine& m, Value self, std::span<Value>) {
        return gather(m, self, nameArg(m, Value(), false));
    });
    m.defineMethod(cls, "child", [gather](Machine& m, Value self, std::span<Value> a) {
        Value what = arg(a, 0);
        if (what.isNumeric()) {
            std::vector<XmlNode*> out;
            double i = what.asDouble();
            for (XmlNode* n : self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{})
                if (i >= 0 && i < static_cast<double>(n->children.size()))
                    out.push_back(n->children[static_cast<std::size_t>(i)]);
            return Value::object(newList(m, std::move(out)));
        }
        return gather(m, self, nameArg(m, what, false));
    }, 1);
    m.defineMethod(cls, "attribute", [gather](Machine& m, Value self, std::span<Value> a) {
        return gather(m, self, nameArg(m, arg(a, 0), true));
    }, 1);
    m.defineMethod(cls, "attributes", [gather](Machine& m, Value self, std::span<Value>) {
        return gather(m, self, nameArg(m, Value(), true));
    });
    m.defineMethod(cls, "elements", [](Machine& m, Value self, std::span<Value> a) {
        Name name = nameArg(m, arg(a, 0), false);
        std::vector<XmlNode*> out;
        for (XmlNode* n : self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{})
            for (XmlNode* c : n->children)
                if (c->nodeKind == XmlKind::Element && matches(name, c))
                    out.push_back(c);
        return Value::object(newList(m, std::move(out)));
    });
    for (bool comments : {false, true})
        m.defineMethod(cls, comments ? "comments" : "text", [comments](Machine& m, Value self, std::span<Value>) {
            std::vector<XmlNode*> out;
            for (XmlNode* n : self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{})
                for (XmlNode* c : n->children)
                    if (c->nodeKind == (comments ? XmlKind::Comment : XmlKind::Text))
                        out.push_back(c);
            return Value::object(newList(m, std::move(out)));
        });
    m.defineMethod(cls, "descendants", [](Machine& m, Value self, std::span<Value> a) {
        return xmlDescendants(m, self, nameArg(m, arg(a, 0), false));
    });
    m.defineMethod(cls, "hasSimpleContent", [](Machine&, Value self, std::span<Value>) {
        return Value::boolean(self.isObject() && simpleList(nodesOf(self.o)));
    });
    m.defineMethod(cls, "hasComplexContent", [](Machine&, Value self, std::span<Value>) {
        std::vector<XmlNode*> items = self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{};
        return Value::boolean(std::any_of(items.begin(), items.end(), [](const XmlNode* n) {
            return n->nodeKind == XmlKind::Element && !simple(n);
        }));
    });
    m.defineMethod(cls, "copy", [list](Machine& m, Value self, std::span<Value>) {
        std::vector<XmlNode*> out;
        for (XmlNode* n : self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{})
            out.push_back(copyOf(m, n, nullptr, 0));
        return list ? Value::object(newList(m, std::move(out))) : Value::object(out.empty() ? nullptr : out[0]);
    });
    m.defineMethod(cls, "parent", [](Machine&, Value self, std::span<Value>) {
        std::vector<XmlNode*> items = self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{};
        XmlNode* p = items.empty() ? nullptr : items[0]->parent;
        for (XmlNode* n : items)
            if (n->parent != p)
                return Value();
        return p ? Value::object(p) : Value();
    });
    m.defineMethod(cls, "hasOwnProperty", [](Machine& m, Value self, std::span<Value> a) {
        return Value::boolean(self.isObject() && xmlHas(m, self.o, nameArg(m, arg(a, 0), false)));
    }, 1);
    m.defineMethod(cls, "contains", [](Machine& m, Value self, std::span<Value> a) {
        std::string want = arg(a, 0).isObject() && isXml(a[0].o) ? xmlToString(m, a[0].o) : m.toString(arg(a, 0));
        for (XmlNode* n : self.isObject() ? nodesOf(self.o) : std::vector<XmlNode*>{})
            if (xmlToString(m, n) == want)
                return Value::boolean(true);
        return Value::boolean(false);
    }, 1);
}

// What appendChild and its kin add to `parent`: a value that is no XML is made one first.
std::vector<XmlNode*> childrenToAdd(Machine& m, Value v, XmlNode& parent) {
    if (!(v.isObject() && isXml(v.o)))
        v = Value::object(toXml(m, v));
    std::vector<XmlNode*> nodes = contentFor(m, v, &parent);
    if (parent.children.size() + nodes.size() > kMaxNodes)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
    return nodes;
}

void installNodeMethods(Machine& m, ClassObject* xml) {
    m.defineMethod(xml, "name", [](Machine& m, Value self, std::span<Value>) {
        XmlNode& n = requireNode(m, self);
        if (n.nodeKind == XmlKind::Text || n.nodeKind == XmlKind::Comment)
            return Value::null();
        return m.qualifiedName(n.uri, n.local);
    });
    m.defineMethod(xml, "localName", [](Machine& m, Value self, std::span<Value>) {
        XmlNode& n = requireNode(m, self);
        return n.nodeKind == XmlKind::Text || n.nodeKind == XmlKind::Comment ? Value::null() : m.string(n.local);
    });
    m.defineMethod(xml, "nodeKind", [](Machine& m, Value self, std::span<Value>) {
        static constexpr const char* kNames[] = {"element", "text", "attribute", "comment", "processing-instruction"};
        return m.string(kNames[static_cast<int>(requireNode(m, self).nodeKind)]);
    });
    m.defineMethod(xml, "childIndex", [](Machine& m, Value self, std::span<Value>) {
        XmlNode& n = requireNode(m, self);
        if (!n.parent || n.nodeKind == XmlKind::Attribute)
            return Value::integer(-1);
        auto& siblings = n.parent->children;
        return Value::integer(static_cast<std::int32_t>(std::find(siblings.begin(), siblings.end(), &n) - siblings.begin()));
    });
    for (bool append : {true, false})
        m.defineMethod(xml, append ? "appendChild" : "prependChild", [append](Machine& m, Value self, std::span<Value> a) {
            XmlNode& n = requireNode(m, self);
            if (n.nodeKind != XmlKind::Element)
                return self;
            std::vector<XmlNode*> nodes = childrenToAdd(m, arg(a, 0), n);
            n.children.insert(append ? n.children.end() : n.children.begin(), nodes.begin(), nodes.end());
            return self;
        }, 1);
    // insertChildAfter(child1, child2) / insertChildBefore(child1, child2): child2 goes next to
    // child1, or first (after) or last (before) when child1 is null; undefined, and nothing
    // changes, when child1 is not a child of this element.
    for (bool after : {true, false})
        m.defineMethod(xml, after ? "insertChildAfter" : "insertChildBefore", [after](Machine& m, Value self, std::span<Value> a) {
            XmlNode& n = requireNode(m, self);
            if (n.nodeKind != XmlKind::Element)
                return Value();
            auto at = after ? n.children.begin() : n.children.end();
            if (!arg(a, 0).isNullish()) {
                std::vector<XmlNode*> given = arg(a, 0).isObject() && isXml(a[0].o) ? nodesOf(a[0].o) : std::vector<XmlNode*>{};
                at = given.empty() ? n.children.end() : std::find(n.children.begin(), n.children.end(), given.front());
                if (at == n.children.end())
                    return Value();
                if (after)
                    ++at;
            }
            const std::size_t index = static_cast<std::size_t>(at - n.children.begin());
            std::vector<XmlNode*> nodes = childrenToAdd(m, arg(a, 1), n);
            n.children.insert(n.children.begin() + static_cast<std::ptrdiff_t>(std::min(index, n.children.size())),
                              nodes.begin(), nodes.end());
            return self;
        }, 2);
    // normalize(): adjacent text nodes become one and empty ones go, through the whole tree.
    m.defineMethod(xml, "normalize", [](Machine& m, Value self, std::span<Value>) {
        std::vector<XmlNode*> pending{&requireNode(m, self)};
        while (!pending.empty()) {
            XmlNode* n = pending.back();
            pending.pop_back();
            std::vector<XmlNode*> kept;
            for (XmlNode* c : n->children) {
                if (c->nodeKind == XmlKind::Text && !kept.empty() && kept.back()->nodeKind == XmlKind::Text) {
                    kept.back()->text += c->text;
                    continue;
                }
                kept.push_back(c);
                if (c->nodeKind == XmlKind::Element)
                    pending.push_back(c);
            }
            std::erase_if(kept, [](XmlNode* c) { return c->nodeKind == XmlKind::Text && c->text.empty(); });
            n->children = std::move(kept);
        }
        return self;
    });
    m.defineMethod(xml, "setChildren", [](Machine& m, Value self, std::span<Value> a) {
        XmlNode& n = requireNode(m, self);
        if (n.nodeKind == XmlKind::Element)
            n.children = contentFor(m, arg(a, 0), &n);
        return self;
    }, 1);
    m.defineMethod(xml, "setName", [](Machine& m, Value self, std::span<Value> a) {
        XmlNode& n = requireNode(m, self);
        Name name = nameArg(m, arg(a, 0), false);
        n.local = name.local;
        return Value();
    }, 1);
    m.defineMethod(xml, "namespace", [](Machine& m, Value self, std::span<Value>) {
        XmlNode& n = requireNode(m, self);
        Object* ns = m.newObject();
        ns->cls = m.namespaceClass;
        ns->proto = m.namespaceClass->prototype;
        ns->setOwn("uri", m.string(n.uri));
        return Value::object(ns);
    });
}

// A static variable of the class that scripts may change (XML's settings).
void staticVariable(ClassObject* cls, const char* name, Value v) {
    Binding& b = cls->staticTraits.define(name, kPublicNs);
    b.kind = Binding::Kind::Slot;
    b.slot = ++cls->staticTraits.slotCount;
    cls->staticTraits.slotDefaults.resize(b.slot + 1);
    cls->staticTraits.slotDefaults[b.slot] = v;
    cls->slots.resize(b.slot + 1);
    cls->slots[b.slot] = v;
}

} // namespace

std::string xmlAttributeEscaped(std::string_view s) {
    return escapeAttribute(s);
}

void installXmlBuiltins(Machine& m) {
    ClassObject* xml = m.defineNativeClass("", "XML", m.objectClass);
    ClassObject* list = m.defineNativeClass("", "XMLList", m.objectClass);
    m.xmlClass = xml;
    m.xmlListClass = list;
    xml->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<XmlNode>()); };
    list->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<XmlList>()); };
    // XML(x) and new XML(x): XML values are copied by new, given back by the call.
    xml->callAsFunction = [](Machine& m, Value, std::span<Value> a) { return Value::object(toXml(m, arg(a, 0))); };
    xml->constructsPrimitive = true;
    list->callAsFunction = [](Machine& m, Value, std::span<Value> a) { return Value::object(toXmlList(m, arg(a, 0))); };
    list->constructsPrimitive = true;
    for (auto [name, on] : {std::pair{"ignoreWhitespace", true}, {"ignoreComments", true},
                            {"ignoreProcessingInstructions", true}, {"prettyPrinting", true}})
        staticVariable(xml, name, Value::boolean(on));
    staticVariable(xml, "prettyIndent", Value::integer(2));
    installCommonMethods(m, xml, false);
    installCommonMethods(m, list, true);
    installNodeMethods(m, xml);
}

} // namespace swf::avm2
