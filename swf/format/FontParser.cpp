// Parsers for DefineFont 1-3 and DefineFontInfo 1-2.

#include "swf/format/Font.h"

namespace swf::format {
namespace {

std::string fontName(io::ByteReader& r, const ParseContext& ctx) {
    std::size_t len = r.u8();
    auto raw = r.bytes(len);
    std::string name(reinterpret_cast<const char*>(raw.data()), raw.size());
    while (!name.empty() && name.back() == '\0')
        name.pop_back();
    return ctx.swfVersion >= 6 ? name : latin1ToUtf8(name);
}

// Reads glyph i from the offset table; glyphs may not overlap the table itself.
bool readGlyphs(io::ByteReader& r, std::size_t tableStart, const std::vector<std::uint32_t>& offsets,
                std::size_t glyphsEnd, int shapeVersion, std::vector<Shape>& glyphs) {
    glyphs.resize(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        std::size_t start = tableStart + offsets[i];
        std::size_t end = i + 1 < offsets.size() ? tableStart + offsets[i + 1] : glyphsEnd;
        if (start > end || end > r.size())
            return false;
        io::ByteReader glyph(r.data().subspan(start, end - start));
        // A glyph that breaks off is left empty rather than losing the font.
        if (!readShape(glyph, shapeVersion, glyphs[i]))
            glyphs[i].records.clear();
    }
    return true;
}

} // namespace

// DefineFont, DefineFont2, DefineFont3
std::unique_ptr<FontCharacter> parseFont(TagCode code, io::ByteReader& r, const ParseContext& ctx) {
    auto font = std::make_unique<FontCharacter>();
    font->id = r.u16();
    if (code == TagCode::DefineFont) {
        font->version = 1;
        std::size_t tableStart = r.position();
        if (r.remaining() < 2)
            return r.ok() ? std::move(font) : nullptr; // no glyphs at all
        std::uint16_t first = r.u16();
        std::size_t count = first / 2;
        if (count == 0 || count * 2 > r.remaining() + 2)
            return nullptr;
        std::vector<std::uint32_t> offsets{first};
        for (std::size_t i = 1; i < count; ++i)
            offsets.push_back(r.u16());
        if (!r.ok() || !readGlyphs(r, tableStart, offsets, r.size(), 1, font->glyphs))
            return nullptr;
        return font;
    }
    font->version = code == TagCode::DefineFont3 ? 3 : 2;
    std::uint8_t flags = r.u8();
    font->hasLayout = flags & 0x80;
    font->shiftJis = flags & 0x40;
    font->smallText = flags & 0x20;
    font->ansi = flags & 0x10;
    bool wideOffsets = flags & 0x08;
    font->wideCodes = flags & 0x04;
    font->italic = flags & 0x02;
    font->bold = flags & 0x01;
    font->language = r.u8();
    font->name = fontName(r, ctx);
    std::size_t count = r.u16();
    if (!r.ok())
        return nullptr;
    std::size_t tableStart = r.position();
    std::size_t offsetSize = wideOffsets ? 4 : 2;
    if (count * offsetSize > r.remaining())
        return nullptr;
    std::vector<std::uint32_t> offsets(count);
    for (auto& o : offsets)
        o = wideOffsets ? r.u32() : r.u16();
    if (count == 0 && r.remaining() < offsetSize)
        return font; // device font without a code table offset
    std::uint32_t codeTableOffset = wideOffsets ? r.u32() : r.u16();
    std::size_t codeTable = tableStart + codeTableOffset;
    if (!r.ok() || codeTable > r.size())
        return nullptr;
    if (!readGlyphs(r, tableStart, offsets, codeTable, 1, font->glyphs))
        return nullptr;
    r.seek(codeTable);
    std::size_t codeSize = font->wideCodes ? 2 : 1;
    if (count * codeSize > r.remaining())
        return nullptr;
    font->codes.resize(count);
    for (auto& c : font->codes)
        c = font->wideCodes ? r.u16() : r.u8();
    if (font->hasLayout) {
        font->ascent = r.u16();
        font->descent = r.u16();
        font->leading = r.s16();
        if (count * 2 > r.remaining()) {
            font->hasLayout = false; // layout cut short: keep the outlines
            return font;
        }
        font->advances.resize(count);
        for (auto& a : font->advances)
            a = r.s16();
        font->glyphBounds.reserve(count);
        for (std::size_t i = 0; i < count && r.ok(); ++i)
            font->glyphBounds.push_back(readRect(r));
        std::size_t kerns = r.u16();
        std::size_t kernSize = font->wideCodes ? 6 : 4;
        if (r.ok() && kerns * kernSize <= r.remaining()) {
            font->kerning.resize(kerns);
            for (auto& k : font->kerning) {
                k.code1 = font->wideCodes ? r.u16() : r.u8();
                k.code2 = font->wideCodes ? r.u16() : r.u8();
                k.adjustment = r.s16();
            }
        }
        if (!r.ok()) {
            // Many tools write truncated kerning tables; the glyphs are still good.
            font->kerning.clear();
            if (font->glyphBounds.size() != count)
                font->glyphBounds.clear();
        }
    }
    return font;
}

// DefineFontInfo, DefineFontInfo2
bool applyFontInfo(TagCode code, io::ByteReader& r, const ParseContext& ctx, FontCharacter& font) {
    r.u16(); // font id, already resolved by the caller
    std::string name = fontName(r, ctx);
    std::uint8_t flags = r.u8();
    std::uint8_t language = 0;
    if (code == TagCode::DefineFontInfo2)
        language = r.u8();
    if (!r.ok())
        return false;
    bool wide = flags & 0x01;
    std::vector<std::uint16_t> codes;
    std::size_t n = wide ? r.remaining() / 2 : r.remaining();
    codes.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        codes.push_back(wide ? r.u16() : r.u8());
    font.name = std::move(name);
    font.smallText = flags & 0x20;
    font.shiftJis = flags & 0x10;
    font.ansi = flags & 0x08;
    font.italic = flags & 0x04;
    font.bold = flags & 0x02;
    font.wideCodes = wide;
    font.language = language;
    font.codes = std::move(codes);
    return true;
}

} // namespace swf::format
