#include "swf/text/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace swf::text {
namespace {

constexpr double kTwipsPerPixel = 20;
// Without tab stops a tab goes to the next multiple of half an inch (36 pixels).
constexpr double kDefaultTabTwips = 36 * kTwipsPerPixel;

bool isBreakSpace(char32_t c) {
    return c == U' ' || c == U'\t';
}

struct PendingLine {
    std::size_t begin = 0, end = 0;
    double width = 0;       // without trailing spaces
    double left = 0;        // margins, block indent, indent and bullet, gutter included
    double rightMargin = 0; // right margin and gutter
    double ascent = 0, descent = 0, leading = 0;
    Align align = Align::Left;
    bool lastOfParagraph = false;
    bool bullet = false;     // the first line of a bullet paragraph
    std::uint32_t style = 0; // of its first character, for the bullet
};

class Layouter {
public:
    Layouter(const RichText& text, const FieldBox& box, const FaceResolver& faces)
        : m_text(text), m_s(text.text()), m_box(box), m_faces(faces) {}

    TextLayout run() {
        resolveStyles();
        m_advances.assign(m_s.size(), 0.f);
        m_out.glyphs.reserve(m_s.size());
        if (m_s.empty())
            breakParagraph(0, 0, m_box.emptyFormat, 0);
        for (std::size_t p = 0; p < m_s.size();) {
            const std::size_t e = m_box.multiline ? m_text.paragraphEnd(p) : m_s.size();
            breakParagraph(p, e, m_text.formatAt(p), std::uint32_t(m_text.runIndexAt(p)));
            p = e + 1;
            // A break at the very end leaves an empty last line for the caret.
            if (p == m_s.size())
                breakParagraph(p, p, m_text.formatAt(p - 1), std::uint32_t(m_text.runIndexAt(p - 1)));
        }
        place();
        return std::move(m_out);
    }

private:
    void resolveStyles() {
        const auto add = [&](const TextFormat& f) {
            GlyphStyle st;
            st.face = m_faces ? m_faces(f) : nullptr;
            st.size = std::max(0.0, f.size.value_or(12)) * kTwipsPerPixel;
            st.color = f.color.value_or(0);
            st.underline = f.underline.value_or(false);
            m_out.styles.push_back(st);
            m_spacing.push_back(f.letterSpacing.value_or(0) * kTwipsPerPixel);
            m_kerning.push_back(f.kerning.value_or(false));
        };
        for (const FormatRun& r : m_text.runs())
            add(r.format);
        if (m_s.empty())
            add(m_box.emptyFormat);
    }

    char32_t codePointAt(std::size_t i, std::size_t& len) const {
        const char16_t c = m_s[i];
        len = 1;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < m_s.size() && m_s[i + 1] >= 0xDC00 && m_s[i + 1] < 0xE000) {
            len = 2;
            return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (m_s[i + 1] - 0xDC00);
        }
        return c;
    }

    char32_t shown(char32_t c) const { return m_box.password ? U'*' : c == U'\r' ? U' ' : c; }

    double nextTab(double pen, const TextFormat& pf) const {
        if (pf.tabStops)
            for (int stop : *pf.tabStops)
                if (stop * kTwipsPerPixel > pen + 0.5)
                    return stop * kTwipsPerPixel;
        return (std::floor(pen / kDefaultTabTwips) + 1) * kDefaultTabTwips;
    }

    // Splits one paragraph into lines: at spaces when the field wraps, anywhere inside a
    // word longer than the line.
    void breakParagraph(std::size_t begin, std::size_t end, const TextFormat& pf, std::uint32_t firstStyle) {
        const double size = m_out.styles[firstStyle].size;
        const bool bullet = pf.bullet.value_or(false);
        // FIXME: the bullet's indent is an approximation of Flash's.
        const double bulletIndent = bullet ? size * 1.5 : 0;
        const double base = kGutter +
                            (pf.leftMargin.value_or(0) + pf.blockIndent.value_or(0)) * kTwipsPerPixel +
                            bulletIndent;
        const double indent = pf.indent.value_or(0) * kTwipsPerPixel;
        const double rightMargin = kGutter + pf.rightMargin.value_or(0) * kTwipsPerPixel;
        bool first = true;
        std::size_t lineStart = begin;
        while (true) {
            const double left = base + (first ? indent : 0);
            const double avail = m_box.width - left - rightMargin;
            double pen = 0;
            std::size_t lastBreak = std::string::npos;
            std::size_t i = lineStart, run = m_text.runs().empty() ? 0 : m_text.runIndexAt(lineStart);
            char32_t prev = 0;
            std::size_t prevIndex = 0;
            std::size_t lineEnd = end;
            while (i < end) {
                while (run + 1 < m_text.runs().size() && m_text.runs()[run + 1].start <= i)
                    ++run, prev = 0;
                std::size_t len = 1;
                const char32_t c = codePointAt(i, len);
                const GlyphStyle& st = m_out.styles[run];
                double adv = 0;
                if (c == U'\t') {
                    adv = nextTab(pen, pf) - pen;
                } else if (st.face) {
                    adv = st.face->advance(shown(c)) * st.size + m_spacing[run];
                    if (prev && m_kerning[run]) {
                        const double k = st.face->kerning(shown(prev), shown(c)) * st.size;
                        m_advances[prevIndex] += float(k);
                        pen += k;
                    }
                }
                if (m_box.wordWrap && pen + adv > avail && i > lineStart && !isBreakSpace(c)) {
                    lineEnd = lastBreak != std::string::npos && lastBreak > lineStart ? lastBreak : i;
                    break;
                }
                m_advances[i] = float(adv);
                pen += adv;
                if (isBreakSpace(c))
                    lastBreak = i + len;
                prev = c;
                prevIndex = i;
                i += len;
            }
            emitLine(lineStart, lineEnd, left, rightMargin, pf, first && bullet, lineEnd == end, firstStyle);
            if (lineEnd >= end)
                break;
            lineStart = lineEnd;
            first = false;
        }
    }

    void emitLine(std::size_t begin, std::size_t end, double left, double rightMargin, const TextFormat& pf,
                  bool bullet, bool last, std::uint32_t paragraphStyle) {
        PendingLine l;
        l.begin = begin;
        l.end = end;
        l.left = left;
        l.rightMargin = rightMargin;
        l.leading = pf.leading.value_or(0) * kTwipsPerPixel;
        l.align = pf.align.value_or(Align::Left);
        l.lastOfParagraph = last;
        l.bullet = bullet;
        l.style = paragraphStyle;
        std::size_t contentEnd = end;
        while (contentEnd > begin && (m_s[contentEnd - 1] == u' ' || m_s[contentEnd - 1] == u'\t'))
            --contentEnd;
        for (std::size_t i = begin; i < contentEnd; ++i)
            l.width += m_advances[i];
        const auto measure = [&](std::uint32_t style) {
            const GlyphStyle& st = m_out.styles[style];
            if (st.face) {
                l.ascent = std::max(l.ascent, st.face->ascent() * st.size);
                l.descent = std::max(l.descent, st.face->descent() * st.size);
            }
        };
        if (begin == end) {
            measure(paragraphStyle);
        } else {
            for (std::size_t r = m_text.runIndexAt(begin);
                 r < m_text.runs().size() && m_text.runs()[r].start < end; ++r)
                measure(std::uint32_t(r));
        }
        m_lines.push_back(l);
    }

    // Places the lines: the field's size first (autoSize), then each line's x and baseline.
    void place() {
        double width = m_box.width;
        double top = kGutter;
        double textWidth = 0;
        double widest = 0;
        for (const PendingLine& l : m_lines) {
            textWidth = std::max(textWidth, l.width);
            widest = std::max(widest, l.left + l.width + l.rightMargin);
        }
        const bool autoSize = m_box.autoSize != AutoSize::None;
        if (autoSize && !m_box.wordWrap)
            width = widest;
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            const PendingLine& l = m_lines[k];
            LaidLine out;
            out.begin = l.begin;
            out.end = l.end;
            out.top = top;
            out.ascent = l.ascent;
            out.descent = l.descent;
            out.leading = l.leading;
            out.width = l.width;
            const double avail = width - l.left - l.rightMargin;
            double x = l.left;
            double spaceExtra = 0;
            if (l.align == Align::Right)
                x += avail - l.width;
            else if (l.align == Align::Center)
                x += (avail - l.width) / 2;
            else if (l.align == Align::Justify && !l.lastOfParagraph)
                spaceExtra = justifyExtra(l, avail);
            out.left = x;
            const double baseline = top + l.ascent;
            if (l.bullet)
                m_out.bullets.push_back(
                    {l.style, float(l.left - m_out.styles[l.style].size), float(baseline)});
            out.glyphBegin = m_out.glyphs.size();
            placeGlyphs(l, x, baseline, spaceExtra);
            out.glyphEnd = m_out.glyphs.size();
            m_out.lines.push_back(out);
            top += l.ascent + l.descent + (k + 1 < m_lines.size() ? l.leading : 0);
        }
        m_out.textWidth = textWidth;
        m_out.textHeight = top - kGutter;
        m_out.width = width;
        m_out.height = autoSize ? m_out.textHeight + 2 * kGutter : m_box.height;
        if (m_box.autoSize == AutoSize::Right)
            m_out.xShift = m_box.width - width;
        else if (m_box.autoSize == AutoSize::Center)
            m_out.xShift = (m_box.width - width) / 2;
    }

    double justifyExtra(const PendingLine& l, double avail) const {
        std::size_t spaces = 0;
        std::size_t contentEnd = l.end;
        while (contentEnd > l.begin && m_s[contentEnd - 1] == u' ')
            --contentEnd;
        for (std::size_t i = l.begin; i < contentEnd; ++i)
            spaces += m_s[i] == u' ';
        return spaces ? std::max(0.0, avail - l.width) / double(spaces) : 0;
    }

    void placeGlyphs(const PendingLine& l, double x, double baseline, double spaceExtra) {
        std::size_t run = m_text.runs().empty() ? 0 : m_text.runIndexAt(l.begin);
        // The spaces a wrapped line ends with hang past its end unseen.
        std::size_t shownEnd = l.end;
        if (!l.lastOfParagraph)
            while (shownEnd > l.begin && isBreakSpace(m_s[shownEnd - 1]))
                --shownEnd;
        for (std::size_t i = l.begin; i < l.end;) {
            while (run + 1 < m_text.runs().size() && m_text.runs()[run + 1].start <= i)
                ++run;
            std::size_t len = 1;
            const char32_t c = shown(codePointAt(i, len));
            const GlyphStyle& st = m_out.styles[run];
            LaidGlyph g;
            g.index = std::uint32_t(i);
            g.ch = c;
            g.glyph = st.face && c != U'\t' && i < shownEnd ? st.face->glyph(c) : -1;
            if (g.glyph < 0 && !isBreakSpace(c))
                ++m_out.missing;
            g.x = float(x);
            g.y = float(baseline);
            g.advance = m_advances[i] + float(c == U' ' ? spaceExtra : 0);
            g.style = std::uint32_t(run);
            m_out.glyphs.push_back(g);
            x += g.advance;
            i += len;
        }
    }

    const RichText& m_text;
    const std::u16string& m_s;
    const FieldBox& m_box;
    const FaceResolver& m_faces;
    TextLayout m_out;
    std::vector<double> m_spacing; // letter spacing per style, twips
    std::vector<bool> m_kerning;   // kerning on, per style
    std::vector<float> m_advances; // per text index, set on the first unit of a character
    std::vector<PendingLine> m_lines;
};

} // namespace

TextLayout layoutText(const RichText& text, const FieldBox& box, const FaceResolver& faces) {
    return Layouter(text, box, faces).run();
}

int TextLayout::maxScroll(double fieldHeight) const {
    const double visible = fieldHeight - 2 * kGutter;
    const double bottom = lines.back().bottom();
    // The first line from which the last one still fits.
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (bottom - lines[k].top <= visible + 0.5)
            return int(k) + 1;
    return int(lines.size());
}

int TextLayout::bottomScroll(int scroll, double fieldHeight) const {
    const std::size_t first = std::size_t(std::clamp(scroll, 1, int(lines.size()))) - 1;
    const double limit = lines[first].top + fieldHeight - 2 * kGutter + 0.5;
    std::size_t last = first;
    while (last + 1 < lines.size() && lines[last + 1].bottom() <= limit)
        ++last;
    return int(last) + 1;
}

double TextLayout::maxHScroll(double fieldWidth) const {
    double right = 0;
    for (const LaidLine& l : lines)
        right = std::max(right, l.left + l.width + kGutter);
    return std::max(0.0, right - fieldWidth);
}

std::size_t TextLayout::lineOf(std::size_t index) const {
    // The last line starting at or before the index; a line's end belongs to it.
    const auto it = std::upper_bound(lines.begin(), lines.end(), index,
                                     [](std::size_t i, const LaidLine& l) { return i < l.begin; });
    return it == lines.begin() ? 0 : std::size_t(it - lines.begin()) - 1;
}

double TextLayout::caretX(std::size_t index) const {
    const LaidLine& l = lines[lineOf(index)];
    for (std::size_t g = l.glyphBegin; g < l.glyphEnd; ++g)
        if (glyphs[g].index >= index)
            return glyphs[g].x;
    return l.glyphEnd > l.glyphBegin ? glyphs[l.glyphEnd - 1].x + glyphs[l.glyphEnd - 1].advance : l.left;
}

std::size_t TextLayout::indexAt(double x, double y) const {
    std::size_t k = 0;
    while (k + 1 < lines.size() && y >= lines[k + 1].top)
        ++k;
    const LaidLine& l = lines[k];
    for (std::size_t g = l.glyphBegin; g < l.glyphEnd; ++g)
        if (x < glyphs[g].x + glyphs[g].advance / 2)
            return glyphs[g].index;
    return l.end;
}

} // namespace swf::text
