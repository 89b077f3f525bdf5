#include "swf/timeline/objects/ObjectState.h"

#include "swf/format/Media.h"
#include "swf/format/Shape.h"
#include "swf/format/Text.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/DisplayObject.h"
#include "swf/timeline/objects/BitmapObject.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/ShapeObject.h"
#include "swf/timeline/objects/SpriteObject.h"
#include "swf/timeline/objects/TextFieldObject.h"
#include "swf/timeline/objects/VideoObject.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

namespace swf::timeline {

namespace {

// Kinds that cannot be placed still get a state, so every live object has one.
class OtherObject final : public ObjectState {
public:
    ObjectKind kind() const override { return ObjectKind::Other; }
};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A field's runs find the movie's embedded fonts by the name scripts give (TextFormat.font,
// <font face>): the export name of a font symbol first, then the fonts' own names, the one
// of the asked style before the others. The dictionary is read on the first lookup only.
text::FieldState::FontLookup movieFonts(const movie::Movie& movie) {
    auto fonts = std::make_shared<std::optional<std::vector<const format::FontCharacter*>>>();
    return [&movie, fonts](std::string_view name, bool bold, bool italic) -> const format::FontCharacter* {
        if (name.empty())
            return nullptr;
        const auto asFont = [](const format::Character* c) {
            return c && c->kind == format::CharacterKind::Font ? static_cast<const format::FontCharacter*>(c)
                                                               : nullptr;
        };
        if (auto exported = movie.exports().find(std::string(name)); exported != movie.exports().end())
            if (const format::FontCharacter* f = asFont(movie.character(exported->second)))
                return f;
        if (!*fonts) {
            fonts->emplace();
            for (std::uint32_t id = 1; id <= 0xFFFF; ++id)
                if (const format::FontCharacter* f = asFont(movie.character(std::uint16_t(id))))
                    (*fonts)->push_back(f);
        }
        const format::FontCharacter* found = nullptr;
        for (const format::FontCharacter* f : **fonts) {
            if (!sameName(f->name, name) || f->glyphs.empty())
                continue;
            if (f->bold == bold && f->italic == italic)
                return f;
            if (!found)
                found = f;
        }
        return found;
    };
}

std::int32_t mix(std::int32_t a, std::int32_t b, double t) {
    return static_cast<std::int32_t>(std::lround(a + (double(b) - a) * t));
}

format::Rect pixelRect(int width, int height) {
    return {0, width * 20, 0, height * 20};
}

} // namespace

const char* objectKindName(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Shape:
        return "shape";
    case ObjectKind::MorphShape:
        return "morphshape";
    case ObjectKind::Sprite:
        return "sprite";
    case ObjectKind::Button:
        return "button";
    case ObjectKind::EditText:
        return "edittext";
    case ObjectKind::StaticText:
        return "text";
    case ObjectKind::Bitmap:
        return "bitmap";
    case ObjectKind::Video:
        return "video";
    case ObjectKind::Other:
        break;
    }
    return "other";
}

ObjectKind kindOf(const format::Character& character) {
    switch (character.kind) {
    case format::CharacterKind::Shape:
        return ObjectKind::Shape;
    case format::CharacterKind::MorphShape:
        return ObjectKind::MorphShape;
    case format::CharacterKind::Sprite:
        return ObjectKind::Sprite;
    case format::CharacterKind::Button:
        return ObjectKind::Button;
    case format::CharacterKind::EditText:
        return ObjectKind::EditText;
    case format::CharacterKind::Text:
        return ObjectKind::StaticText;
    case format::CharacterKind::Bitmap:
        return ObjectKind::Bitmap;
    case format::CharacterKind::VideoStream:
        return ObjectKind::Video;
    default:
        return ObjectKind::Other;
    }
}

std::unique_ptr<ObjectState> makeObjectState(const format::Character& character, const movie::Movie& movie) {
    switch (kindOf(character)) {
    case ObjectKind::Shape:
        return std::make_unique<ShapeObject>(ObjectKind::Shape);
    case ObjectKind::MorphShape:
        return std::make_unique<ShapeObject>(ObjectKind::MorphShape);
    case ObjectKind::Sprite:
        return std::make_unique<SpriteObject>();
    case ObjectKind::Button:
        return std::make_unique<ButtonObject>();
    case ObjectKind::EditText: {
        const auto& field = static_cast<const format::EditTextCharacter&>(character);
        const format::Character* font = field.fontId ? movie.character(field.fontId) : nullptr;
        auto object = std::make_unique<TextFieldObject>(field, font && font->kind == format::CharacterKind::Font
                                                                  ? static_cast<const format::FontCharacter*>(font)
                                                                  : nullptr);
        object->field.setFontLookup(movieFonts(movie));
        return object;
    }
    case ObjectKind::StaticText:
        return std::make_unique<StaticTextObject>();
    case ObjectKind::Bitmap:
        return std::make_unique<BitmapObject>();
    case ObjectKind::Video:
        return std::make_unique<VideoObject>();
    case ObjectKind::Other:
        break;
    }
    return std::make_unique<OtherObject>();
}

std::optional<format::Rect> ObjectState::bounds(const DisplayObject&) const {
    return std::nullopt;
}

bool ObjectState::hitTest(const DisplayObject& self, double x, double y) const {
    const auto r = bounds(self);
    return r && x >= r->xMin && x <= r->xMax && y >= r->yMin && y <= r->yMax;
}

std::optional<format::Rect> ShapeObject::bounds(const DisplayObject& self) const {
    if (!self.character)
        return std::nullopt;
    if (self.character->kind == format::CharacterKind::Shape)
        return static_cast<const format::ShapeCharacter&>(*self.character).bounds;
    if (self.character->kind != format::CharacterKind::MorphShape)
        return std::nullopt;
    const auto& m = static_cast<const format::MorphShapeCharacter&>(*self.character);
    const double t = self.ratio / 65535.0;
    return format::Rect{
        mix(m.startBounds.xMin, m.endBounds.xMin, t), mix(m.startBounds.xMax, m.endBounds.xMax, t),
        mix(m.startBounds.yMin, m.endBounds.yMin, t), mix(m.startBounds.yMax, m.endBounds.yMax, t)};
}

std::optional<format::Rect> StaticTextObject::bounds(const DisplayObject& self) const {
    if (!self.character || self.character->kind != format::CharacterKind::Text)
        return std::nullopt;
    return static_cast<const format::TextCharacter&>(*self.character).bounds;
}

// The field's box as it is now: scripts move and size it, autoSize grows it.
std::optional<format::Rect> TextFieldObject::bounds(const DisplayObject&) const {
    const text::FieldProperties& p = field.properties();
    const text::TextLayout& laid = field.layout();
    const auto twips = [](double v) {
        return std::int32_t(std::isfinite(v) ? std::lround(std::clamp(v, -1e9, 1e9)) : 0);
    };
    const double left = p.x + laid.xShift;
    return format::Rect{twips(left), twips(left + laid.width), twips(p.y), twips(p.y + laid.height)};
}

bool TextFieldObject::hitTest(const DisplayObject& self, double x, double y) const {
    const auto b = bounds(self);
    return b && x >= b->xMin && x <= b->xMax && y >= b->yMin && y <= b->yMax;
}

void TextFieldObject::advance(DisplayObject&, World& world) {
    if (!field.focused || field.properties().type != text::FieldType::Input)
        return;
    const double rate = world.movie.headerFrameRate() > 0 ? world.movie.headerFrameRate() : 12;
    const auto half = std::uint32_t(std::max(1.0, std::round(rate / 2)));
    ++field.caretBlink;
    const bool on = (field.caretBlink / half) % 2 == 0;
    if (on != field.caretOn) {
        field.caretOn = on;
        ++world.generation;
    }
}

std::optional<format::Rect> BitmapObject::bounds(const DisplayObject&) const {
    // The character's own size is known only once its image is decoded (in the renderer).
    if (pixels && pixels->valid())
        return pixelRect(pixels->width, pixels->height);
    return std::nullopt;
}

std::optional<format::Rect> VideoObject::bounds(const DisplayObject& self) const {
    if (!self.character || self.character->kind != format::CharacterKind::VideoStream)
        return std::nullopt;
    const auto& v = static_cast<const format::VideoStreamCharacter&>(*self.character);
    return pixelRect(v.width, v.height);
}

} // namespace swf::timeline
