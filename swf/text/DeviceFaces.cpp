#include "swf/text/DeviceFaces.h"

#include <variant>

namespace swf::text {
namespace {

class EstimatedFace : public FontFace {
public:
    double ascent() const override { return 0.93; }
    double descent() const override { return 0.24; }
    double advance(char32_t c) const override { return c == U' ' ? 0.32 : 0.58; }
    int glyph(char32_t c) const override { return c < 0x20 ? -1 : 0; }
};

struct Registry {
    DeviceFaceSource source;
    std::uint64_t generation = 1;
};

Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

void setDeviceFaceSource(DeviceFaceSource source) {
    registry().source = std::move(source);
    ++registry().generation;
}

const FontFace* deviceFace(const TextFormat& format) {
    static const EstimatedFace estimate;
    if (registry().source)
        if (const FontFace* f = registry().source(format))
            return f;
    return &estimate;
}

std::uint64_t deviceFaceGeneration() {
    return registry().generation;
}

bool hasOutlines(const format::FontCharacter& font) {
    for (const format::Shape& g : font.glyphs)
        for (const format::ShapeRecord& r : g.records)
            if (!std::holds_alternative<format::StyleChangeRecord>(r))
                return true;
    return false;
}

} // namespace swf::text
