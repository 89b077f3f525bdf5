#include "swf/text/EmbeddedFace.h"

namespace swf::text {

EmbeddedFace::EmbeddedFace(const format::FontCharacter& font) : m_font(font), m_em(font.emSquare()) {
    // A font without a layout table has no metrics: 0.8/0.2 of an em is a common shape.
    m_ascent = font.hasLayout ? font.ascent / m_em : 0.8;
    m_descent = font.hasLayout ? font.descent / m_em : 0.2;
    // Codes are meant to be ascending and unique; a table tolerates files where they are not
    // (the first glyph of a code wins). A code without a glyph outline is ignored.
    std::size_t top = 0;
    for (std::size_t i = 0; i < font.codes.size() && i < font.glyphs.size(); ++i)
        top = std::max<std::size_t>(top, font.codes[i] + 1u);
    m_glyphOf.assign(top, -1);
    for (std::size_t i = 0; i < font.codes.size() && i < font.glyphs.size(); ++i)
        if (m_glyphOf[font.codes[i]] < 0)
            m_glyphOf[font.codes[i]] = std::int32_t(i);
    for (const format::KerningRecord& k : font.kerning)
        m_kerning.emplace((std::uint32_t(k.code1) << 16) | k.code2, k.adjustment / m_em);
}

double EmbeddedFace::advance(char32_t c) const {
    const int g = glyph(c);
    if (g >= 0 && m_font.hasLayout && std::size_t(g) < m_font.advances.size())
        return m_font.advances[std::size_t(g)] / m_em;
    return 0.5; // no advance known: half an em
}

double EmbeddedFace::kerning(char32_t a, char32_t b) const {
    if (m_kerning.empty() || a > 0xFFFF || b > 0xFFFF)
        return 0;
    const auto it = m_kerning.find((std::uint32_t(a) << 16) | std::uint32_t(b));
    return it == m_kerning.end() ? 0 : it->second;
}

} // namespace swf::text
