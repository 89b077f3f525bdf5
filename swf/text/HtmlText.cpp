#include "swf/text/HtmlText.h"

#include "swf/text/StyleSheet.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace swf::text {
namespace {

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

std::string lowerAscii(std::u16string_view s) {
    std::string out;
    for (char16_t c : s)
        out.push_back(c < 128 ? static_cast<char>(asciiLower(c)) : '?');
    return out;
}

struct Tag {
    std::string name; // lower case, without the '/'
    bool closing = false;
    std::vector<std::pair<std::string, std::u16string>> attributes; // names lower case

    const std::u16string* attribute(std::string_view n) const {
        for (const auto& [k, v] : attributes)
            if (k == n)
                return &v;
        return nullptr;
    }
};

std::u16string decodeEntities(std::u16string_view s);

// The inside of "<...>": a name and attributes with quoted, unquoted or no values.
Tag readTag(std::u16string_view in) {
    Tag t;
    std::size_t i = 0;
    while (i < in.size() && isSpace(in[i]))
        ++i;
    if (i < in.size() && in[i] == u'/')
        t.closing = true, ++i;
    const std::size_t nameStart = i;
    while (i < in.size() && !isSpace(in[i]) && in[i] != u'/')
        ++i;
    t.name = lowerAscii(in.substr(nameStart, i - nameStart));
    while (i < in.size()) {
        while (i < in.size() && (isSpace(in[i]) || in[i] == u'/'))
            ++i;
        const std::size_t ks = i;
        while (i < in.size() && !isSpace(in[i]) && in[i] != u'=' && in[i] != u'/')
            ++i;
        if (i == ks) {
            ++i;
            continue;
        }
        std::string key = lowerAscii(in.substr(ks, i - ks));
        while (i < in.size() && isSpace(in[i]))
            ++i;
        std::u16string value;
        if (i < in.size() && in[i] == u'=') {
            ++i;
            while (i < in.size() && isSpace(in[i]))
                ++i;
            if (i < in.size() && (in[i] == u'"' || in[i] == u'\'')) {
                const char16_t q = in[i++];
                const std::size_t end = std::min(in.find(q, i), in.size());
                value = in.substr(i, end - i);
                i = end + 1;
            } else {
                const std::size_t vs = i;
                while (i < in.size() && !isSpace(in[i]))
                    ++i;
                value = in.substr(vs, i - vs);
            }
        }
        t.attributes.emplace_back(std::move(key), decodeEntities(value));
    }
    return t;
}

// One entity at s[0] == '&': the character and the length read, or 0 when it is none.
std::pair<char32_t, std::size_t> readEntity(std::u16string_view s) {
    const std::size_t semi = s.find(u';');
    if (semi == std::u16string_view::npos || semi < 2 || semi > 10)
        return {0, 0};
    const std::string name = lowerAscii(s.substr(1, semi - 1));
    static const std::pair<const char*, char32_t> named[] = {{"lt", U'<'},   {"gt", U'>'},    {"amp", U'&'},
                                                             {"quot", U'"'}, {"apos", U'\''}, {"nbsp", 0xA0}};
    for (const auto& [n, c] : named)
        if (name == n)
            return {c, semi + 1};
    if (name[0] == '#') {
        const bool hex = name.size() > 1 && name[1] == 'x';
        const char* first = name.data() + (hex ? 2 : 1);
        std::uint32_t v = 0;
        const auto [end, ec] = std::from_chars(first, name.data() + name.size(), v, hex ? 16 : 10);
        if (ec == std::errc() && end == name.data() + name.size() && end != first && v > 0 && v < 0x110000)
            return {v, semi + 1};
    }
    return {0, 0};
}

void appendCodePoint(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        out.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
        out.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
        out.push_back(char16_t(c));
    }
}

std::u16string decodeEntities(std::u16string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&') {
            const auto [c, len] = readEntity(s.substr(i));
            if (len) {
                appendCodePoint(out, c);
                i += len - 1;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

std::optional<int> intAttribute(const Tag& t, std::string_view name) {
    const std::u16string* v = t.attribute(name);
    if (!v)
        return std::nullopt;
    const std::string s = lowerAscii(*v);
    int n = 0;
    const char* first = s.data() + (!s.empty() && s[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, s.data() + s.size(), n);
    if (ec != std::errc() || end == first)
        return std::nullopt;
    return n;
}

// The state while reading: the open elements with the format each replaced.
class HtmlReader {
public:
    HtmlReader(const TextFormat& base, const HtmlOptions& o) : m_options(o), m_format(base) {}

    RichText read(std::u16string_view html) {
        for (std::size_t i = 0; i < html.size(); ++i) {
            const char16_t c = html[i];
            if (c == u'<') {
                const std::size_t end = html.find(u'>', i);
                if (end == std::u16string_view::npos)
                    break; // an unterminated tag ends the text
                handleTag(readTag(html.substr(i + 1, end - i - 1)));
                i = end;
            } else if (c == u'&') {
                const auto [ch, len] = readEntity(html.substr(i));
                if (len) {
                    std::u16string one;
                    appendCodePoint(one, ch);
                    addText(one, false);
                    i += len - 1;
                } else {
                    addText(u"&", false);
                }
            } else {
                addText(std::u16string_view(&html[i], 1), true);
            }
        }
        flush();
        return std::move(m_out);
    }

private:
    void addText(std::u16string_view s, bool fromSource) {
        char16_t c = s.size() == 1 ? s[0] : 0;
        if (fromSource && isSpace(c)) {
            if (m_options.condenseWhite) {
                if (m_lastWasSpace)
                    return;
                m_lastWasSpace = true;
                c = u' ';
                s = u" ";
            } else if (c == u'\n' || c == u'\r') {
                lineBreak(); // each of "\r\n" breaks
                return;
            }
        } else {
            m_lastWasSpace = false;
        }
        materializeBreak();
        m_pending += s;
    }

    void materializeBreak() {
        if (m_breakPending) {
            m_breakPending = false;
            m_pending += u'\r';
        }
    }

    void lineBreak() {
        materializeBreak();
        m_pending += u'\r';
        m_lastWasSpace = m_options.condenseWhite;
    }

    // A paragraph starts on a fresh line: it breaks unless nothing precedes it.
    void startParagraph() {
        materializeBreak();
        if (!m_out.text().empty() || !m_pending.empty())
            if ((m_pending.empty() ? m_out.text().back() : m_pending.back()) != u'\r')
                m_pending += u'\r';
    }

    void flush() {
        if (!m_pending.empty())
            m_out.append(m_pending, m_pendingFormat);
        m_pending.clear();
    }

    void setFormat(const TextFormat& f) {
        if (f == m_format)
            return;
        flush();
        m_format = f;
        m_pendingFormat = f;
    }

    void applyStyle(const std::string& selector) {
        if (!m_options.styles)
            return;
        TextFormat f = m_format;
        f.apply(m_options.styles->format(selector));
        setFormat(f);
    }

    void applyClass(const Tag& t) {
        if (const std::u16string* cls = t.attribute("class"))
            applyStyle("." + utf16ToUtf8(*cls));
    }

    void handleTag(const Tag& t) {
        static const char* const known[] = {"p", "br", "font",       "b",    "i",  "u",
                                            "a", "li", "textformat", "span", "tab"};
        bool isKnown = false;
        for (const char* k : known)
            isKnown = isKnown || t.name == k;
        if (!isKnown)
            return; // img and unknown tags: dropped, their content kept
        if (t.closing) {
            close(t.name);
            return;
        }
        if (t.name == "br") {
            if (m_options.multiline)
                lineBreak();
            return;
        }
        if (t.name == "tab") {
            addText(u"\t", false);
            return;
        }
        m_open.push_back({t.name, m_format});
        TextFormat f = m_format;
        if ((t.name == "p" || t.name == "li") && m_options.paragraphs) {
            startParagraph();
            if (t.name == "li")
                f.bullet = true;
            if (const std::u16string* a = t.attribute("align"))
                if (const auto al = alignFromName(lowerAscii(*a)))
                    f.align = al;
        } else if (t.name == "b") {
            f.bold = true;
        } else if (t.name == "i") {
            f.italic = true;
        } else if (t.name == "u") {
            f.underline = true;
        } else if (t.name == "a") {
            const std::u16string* href = t.attribute("href");
            const std::u16string* target = t.attribute("target");
            f.url = href ? utf16ToUtf8(*href) : "";
            f.target = target ? utf16ToUtf8(*target) : "";
        } else if (t.name == "font") {
            fontAttributes(t, f);
        } else if (t.name == "textformat") {
            textFormatAttributes(t, f);
        }
        setFormat(f);
        if (t.name == "p" || t.name == "li" || t.name == "a" || t.name == "span")
            applyStyle(t.name);
        applyClass(t);
    }

    static void fontAttributes(const Tag& t, TextFormat& f) {
        if (const std::u16string* face = t.attribute("face"))
            f.font = utf16ToUtf8(*face);
        if (const std::u16string* size = t.attribute("size")) {
            const bool relative = !size->empty() && (size->front() == u'+' || size->front() == u'-');
            if (const auto n = intAttribute(t, "size"))
                f.size = relative ? f.size.value_or(12) + *n : *n;
        }
        if (const std::u16string* color = t.attribute("color")) {
            std::string s = lowerAscii(*color);
            if (!s.empty() && s[0] == '#')
                s.erase(0, 1);
            std::uint32_t v = 0;
            const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
            if (ec == std::errc() && end != s.data())
                f.color = v & 0xFFFFFF;
        }
        if (const std::u16string* ls = t.attribute("letterspacing")) {
            const std::string s = lowerAscii(*ls);
            double v = 0;
            const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
            if (ec == std::errc() && end != s.data())
                f.letterSpacing = v;
        }
        if (const auto k = intAttribute(t, "kerning"))
            f.kerning = *k != 0;
    }

    static void textFormatAttributes(const Tag& t, TextFormat& f) {
        const std::pair<const char*, std::optional<int> TextFormat::*> ints[] = {
            {"leftmargin", &TextFormat::leftMargin},
            {"rightmargin", &TextFormat::rightMargin},
            {"indent", &TextFormat::indent},
            {"blockindent", &TextFormat::blockIndent},
            {"leading", &TextFormat::leading}};
        for (const auto& [name, member] : ints)
            if (const auto v = intAttribute(t, name))
                f.*member = *v;
        if (const std::u16string* stops = t.attribute("tabstops")) {
            std::vector<int> list;
            const std::string s = lowerAscii(*stops);
            for (std::size_t i = 0; i < s.size();) {
                int v = 0;
                const auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v);
                if (ec == std::errc())
                    list.push_back(v);
                i = std::size_t(end - s.data()) + 1;
            }
            f.tabStops = std::move(list);
        }
    }

    void close(const std::string& name) {
        for (std::size_t k = m_open.size(); k-- > 0;) {
            if (m_open[k].name != name)
                continue;
            setFormat(m_open[k].before);
            m_open.resize(k);
            if ((name == "p" || name == "li") && m_options.paragraphs) {
                materializeBreak();
                m_breakPending = true;
            }
            return;
        }
    }

    struct Open {
        std::string name;
        TextFormat before;
    };
    const HtmlOptions& m_options;
    TextFormat m_format;
    TextFormat m_pendingFormat = m_format;
    std::u16string m_pending;
    std::vector<Open> m_open;
    RichText m_out;
    bool m_breakPending = false;
    // Condensed white space at the start of the text, or after a break, is dropped.
    bool m_lastWasSpace = m_options.condenseWhite;
};

// Writing -------------------------------------------------------------------------------

void put(std::u16string& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

void putEscaped(std::u16string& out, std::u16string_view s, bool attribute) {
    for (char16_t c : s) {
        if (c == u'<')
            put(out, "&lt;");
        else if (c == u'>')
            put(out, "&gt;");
        else if (c == u'&')
            put(out, "&amp;");
        else if (c == u'"' && attribute)
            put(out, "&quot;");
        else
            out.push_back(c);
    }
}

void putAttr(std::u16string& out, std::string_view name, std::u16string_view value) {
    out.push_back(u' ');
    put(out, name);
    put(out, "=\"");
    putEscaped(out, value, true);
    out.push_back(u'"');
}
void putAttr(std::u16string& out, std::string_view name, std::string_view value) {
    putAttr(out, name, std::u16string_view(utf8ToUtf16(value)));
}

std::string number(double v) {
    char buf[32];
    if (v == std::floor(v) && std::abs(v) < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string colorText(std::uint32_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
    return buf;
}

// FONT attributes of `f` that differ from `outer` (all of them when `outer` is null).
void putFontAttributes(std::u16string& out, const TextFormat& f, const TextFormat* outer) {
    const auto differs = [&](auto member) { return f.*member && (!outer || outer->*member != f.*member); };
    if (differs(&TextFormat::font))
        putAttr(out, "FACE", *f.font);
    if (differs(&TextFormat::size))
        putAttr(out, "SIZE", number(*f.size));
    if (differs(&TextFormat::color))
        putAttr(out, "COLOR", colorText(*f.color));
    if (differs(&TextFormat::letterSpacing))
        putAttr(out, "LETTERSPACING", number(*f.letterSpacing));
    if (differs(&TextFormat::kerning))
        putAttr(out, "KERNING", *f.kerning ? "1" : "0");
}

void putTextFormatOpen(std::u16string& out, const TextFormat& f) {
    std::u16string attrs;
    const std::pair<const char*, std::optional<int> TextFormat::*> ints[] = {
        {"LEFTMARGIN", &TextFormat::leftMargin},
        {"RIGHTMARGIN", &TextFormat::rightMargin},
        {"INDENT", &TextFormat::indent},
        {"BLOCKINDENT", &TextFormat::blockIndent},
        {"LEADING", &TextFormat::leading}};
    for (const auto& [name, member] : ints)
        if ((f.*member).value_or(0) != 0)
            putAttr(attrs, name, number(*(f.*member)));
    if (f.tabStops && !f.tabStops->empty()) {
        std::string list;
        for (int s : *f.tabStops)
            list += (list.empty() ? "" : ",") + number(s);
        putAttr(attrs, "TABSTOPS", list);
    }
    if (attrs.empty())
        return;
    put(out, "<TEXTFORMAT");
    out += attrs;
    out.push_back(u'>');
}

void putParagraph(std::u16string& out, const RichText& text, std::size_t begin, std::size_t end,
                  const TextFormat& first) {
    const std::size_t before = out.size();
    putTextFormatOpen(out, first);
    const bool hasTextFormat = out.size() != before;
    const bool bullet = first.bullet.value_or(false);
    if (bullet) {
        put(out, "<LI>");
    } else {
        std::string align = alignName(first.align.value_or(Align::Left));
        for (char& c : align)
            c = static_cast<char>(c - 'a' + 'A');
        put(out, "<P");
        putAttr(out, "ALIGN", align);
        out.push_back(u'>');
    }
    put(out, "<FONT");
    putFontAttributes(out, first, nullptr);
    out.push_back(u'>');
    const auto& runs = text.runs();
    for (std::size_t r = runs.empty() ? 0 : text.runIndexAt(begin); r < runs.size() && runs[r].start < end;
         ++r) {
        const std::size_t s = std::max(begin, runs[r].start);
        const std::size_t e = r + 1 < runs.size() ? std::min(end, runs[r + 1].start) : end;
        if (s >= e)
            continue;
        const TextFormat& f = runs[r].format;
        std::u16string font;
        putFontAttributes(font, f, &first);
        if (!font.empty()) {
            put(out, "<FONT");
            out += font;
            out.push_back(u'>');
        }
        const bool link = f.url && !f.url->empty();
        if (link) {
            put(out, "<A");
            putAttr(out, "HREF", *f.url);
            putAttr(out, "TARGET", f.target.value_or(""));
            out.push_back(u'>');
        }
        const bool b = f.bold.value_or(false), i = f.italic.value_or(false), u = f.underline.value_or(false);
        if (b)
            put(out, "<B>");
        if (i)
            put(out, "<I>");
        if (u)
            put(out, "<U>");
        putEscaped(out, std::u16string_view(text.text()).substr(s, e - s), false);
        if (u)
            put(out, "</U>");
        if (i)
            put(out, "</I>");
        if (b)
            put(out, "</B>");
        if (link)
            put(out, "</A>");
        if (!font.empty())
            put(out, "</FONT>");
    }
    put(out, "</FONT>");
    put(out, bullet ? "</LI>" : "</P>");
    if (hasTextFormat)
        put(out, "</TEXTFORMAT>");
}

} // namespace

RichText parseHtml(std::u16string_view html, const TextFormat& base, const HtmlOptions& options) {
    return HtmlReader(base, options).read(html);
}

std::u16string toHtml(const RichText& text, const TextFormat& empty) {
    std::u16string out;
    const std::u16string& s = text.text();
    if (s.empty()) {
        putParagraph(out, text, 0, 0, empty);
        return out;
    }
    // A break at the very end opens no paragraph of its own.
    for (std::size_t p = 0; p < s.size();) {
        const std::size_t e = text.paragraphEnd(p);
        putParagraph(out, text, p, e, text.formatAt(p));
        p = e + 1;
    }
    return out;
}

} // namespace swf::text
