#pragma once
// A font embedded in the movie (DefineFont2/3) as the layout measures it: glyphs looked up
// by code, advances and kerning from its layout table.

#include "swf/format/Font.h"
#include "swf/text/TextLayout.h"

#include <unordered_map>
#include <vector>

namespace swf::text {

class EmbeddedFace : public FontFace {
public:
    explicit EmbeddedFace(const format::FontCharacter& font);

    double ascent() const override { return m_ascent; }
    double descent() const override { return m_descent; }
    double advance(char32_t c) const override;
    double kerning(char32_t a, char32_t b) const override;
    int glyph(char32_t c) const override { return c < m_glyphOf.size() ? m_glyphOf[c] : -1; }
    const format::FontCharacter& font() const { return m_font; }

private:
    const format::FontCharacter& m_font;
    double m_em;
    double m_ascent, m_descent;
    std::vector<std::int32_t> m_glyphOf;                 // by code; -1 where the font has no glyph
    std::unordered_map<std::uint32_t, double> m_kerning; // (code1 << 16 | code2) -> ems
};

} // namespace swf::text
