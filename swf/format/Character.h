#pragma once
// Common base of every definition in a movie's dictionary. Definitions are parsed
// once at load and never change afterwards; instances on stage point at them.

#include <cstdint>

namespace swf::format {

enum class CharacterKind : std::uint8_t {
    Shape,
    MorphShape,
    Bitmap,
    Font,
    Text,
    EditText,
    Button,
    Sound,
    VideoStream,
    Sprite,
    BinaryData,
};

const char* characterKindName(CharacterKind kind);

struct Character {
    std::uint16_t id = 0;
    CharacterKind kind = CharacterKind::Shape;

    Character() = default;
    Character(std::uint16_t characterId, CharacterKind characterKind)
        : id(characterId), kind(characterKind) {}
    virtual ~Character() = default;
    Character(const Character&) = default;
    Character& operator=(const Character&) = default;
};

} // namespace swf::format
