#include "swf/render/TextLayout.h"

#include <QList>
#include <QString>

#include <algorithm>

namespace swf::render {
namespace {

constexpr double kGutter = 40; // twips, on every side of a text field

std::u32string fromUtf8(const std::string& s) {
    const QList<uint> ucs4 = QString::fromStdString(s).toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

// Crude HTML: tags dropped, <br> and </p> become line breaks, the common entities decoded.
std::u32string stripHtml(const std::u32string& in) {
    std::u32string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == U'<') {
            const std::size_t end = in.find(U'>', i);
            if (end == std::u32string::npos)
                break;
            std::u32string tag = in.substr(i + 1, end - i - 1);
            for (char32_t& c : tag)
                c = c < 128 ? char32_t(std::tolower(int(c))) : c;
            if (tag.rfind(U"br", 0) == 0 || tag == U"/p")
                out += U'\n';
            i = end;
            continue;
        }
        if (in[i] == U'&') {
            static const std::pair<const char32_t*, char32_t> entities[] = {
                {U"&lt;", U'<'},   {U"&gt;", U'>'},    {U"&amp;", U'&'},
                {U"&quot;", U'"'}, {U"&apos;", U'\''}, {U"&nbsp;", U' '}};
            bool found = false;
            for (const auto& [name, c] : entities) {
                const std::u32string n(name);
                if (in.compare(i, n.size(), n) == 0) {
                    out += c;
                    i += n.size() - 1;
                    found = true;
                    break;
                }
            }
            if (found)
                continue;
        }
        out += in[i];
    }
    // A trailing paragraph end adds no empty line.
    while (!out.empty() && out.back() == U'\n')
        out.pop_back();
    return out;
}

int glyphFor(const format::FontCharacter& font, char32_t c) {
    const auto it = std::lower_bound(font.codes.begin(), font.codes.end(), c);
    if (it != font.codes.end() && *it == c) {
        const auto i = static_cast<std::size_t>(it - font.codes.begin());
        if (i < font.glyphs.size())
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

std::u32string displayText(const format::EditTextCharacter& field) {
    std::u32string text = fromUtf8(field.initialText);
    if (field.html)
        text = stripHtml(text);
    if (field.password)
        for (char32_t& c : text)
            if (c != U'\n' && c != U'\r')
                c = U'*';
    return text;
}

std::vector<PlacedChar> layoutField(const format::EditTextCharacter& field, const FieldMetrics& metrics,
                                    std::size_t* missing) {
    std::vector<PlacedChar> out;
    const double lineHeight = metrics.ascent + metrics.descent + field.leading;
    const double left = field.bounds.xMin + kGutter + field.leftMargin;
    const double right = field.bounds.xMax - kGutter - field.rightMargin;
    const auto& advance = metrics.advance;

    // Split into lines: breaks always, words too when the field wraps.
    std::vector<std::u32string> lines(1);
    const std::u32string text = displayText(field);
    double width = field.indent;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
                ++i;
            if (!field.multiline) {
                lines.back() += U' ';
                continue;
            }
            lines.emplace_back();
            width = 0;
            continue;
        }
        const double a = advance(c);
        if (field.wordWrap && width + a > right - left && !lines.back().empty()) {
            // Break at the last space of the line, or here when there is none.
            std::u32string& cur = lines.back();
            const std::size_t sp = cur.rfind(U' ');
            std::u32string carry = sp == std::u32string::npos ? U"" : cur.substr(sp + 1);
            if (sp != std::u32string::npos)
                cur.erase(sp);
            lines.push_back(carry);
            width = 0;
            for (char32_t k : carry)
                width += advance(k);
        }
        lines.back() += c;
        width += a;
    }

    double baseline = field.bounds.yMin + kGutter + metrics.ascent;
    for (std::size_t li = 0; li < lines.size(); ++li, baseline += lineHeight) {
        const std::u32string& line = lines[li];
        const double indent = li == 0 ? field.indent : 0;
        double lineWidth = indent;
        for (char32_t c : line)
            lineWidth += advance(c);
        double x = left + indent;
        if (field.align == format::TextAlign::Right)
            x = right - lineWidth + indent;
        else if (field.align == format::TextAlign::Center)
            x = left + (right - left - lineWidth) / 2 + indent;
        for (char32_t c : line) {
            const int g = metrics.glyph(c);
            if (g >= 0)
                out.push_back({c, g, x, baseline});
            else if (c != U' ' && missing)
                ++*missing;
            x += advance(c);
        }
    }
    return out;
}

TextFieldLayout layoutTextField(const format::EditTextCharacter& field, const format::FontCharacter& font) {
    TextFieldLayout out;
    out.scale = field.fontHeight / font.emSquare();
    FieldMetrics metrics;
    metrics.ascent = font.hasLayout ? font.ascent * out.scale : field.fontHeight * 0.8;
    metrics.descent = font.hasLayout ? font.descent * out.scale : field.fontHeight * 0.2;
    metrics.glyph = [&font](char32_t c) { return glyphFor(font, c); };
    metrics.advance = [&](char32_t c) {
        const int g = glyphFor(font, c);
        if (g >= 0 && font.hasLayout && std::size_t(g) < font.advances.size())
            return font.advances[std::size_t(g)] * out.scale;
        return field.fontHeight * 0.5; // a font without layout has no advances: half an em
    };
    for (const PlacedChar& p : layoutField(field, metrics, &out.missing))
        out.glyphs.push_back({static_cast<std::uint32_t>(p.glyph), p.x, p.y});
    return out;
}

} // namespace swf::render
