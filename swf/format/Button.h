#pragma once
// Buttons 1-2: state records, condition actions (kept as raw action bytes) and the
// amendments of DefineButtonCxform and DefineButtonSound.

#include "swf/format/Character.h"
#include "swf/format/Records.h"
#include "swf/format/Sound.h"
#include "swf/format/TagCode.h"

#include <array>
#include <memory>
#include <span>
#include <vector>

namespace swf::format {

struct ButtonRecord {
    bool up = false, over = false, down = false, hitTest = false;
    std::uint16_t characterId = 0;
    std::uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    std::vector<Filter> filters;
    BlendMode blendMode = BlendMode::Normal;
};

// Condition bits as the file stores them: low byte = the first flag byte
// (IdleToOverDown 0x80 ... IdleToOverUp 0x01), bit 8 = OverDownToIdle.
enum ButtonCondition : std::uint16_t {
    kIdleToOverUp = 0x0001,
    kOverUpToIdle = 0x0002,
    kOverUpToOverDown = 0x0004,
    kOverDownToOverUp = 0x0008,
    kOverDownToOutDown = 0x0010,
    kOutDownToOverDown = 0x0020,
    kOutDownToIdle = 0x0040,
    kIdleToOverDown = 0x0080,
    kOverDownToIdle = 0x0100,
};

struct ButtonAction {
    std::uint16_t conditions = 0;
    std::uint8_t keyCode = 0;          // 0 = none
    std::vector<std::uint8_t> actions; // ACTIONRECORDs up to and including the end byte
};

struct ButtonSound {
    std::uint16_t soundId = 0; // 0 = none
    SoundInfo info;
};

struct ButtonCharacter : Character {
    ButtonCharacter() : Character(0, CharacterKind::Button) {}
    int version = 1;
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records;
    std::vector<ButtonAction> actions;
    // OverUpToIdle, IdleToOverUp, OverUpToOverDown, OverDownToOverUp.
    std::array<ButtonSound, 4> sounds{};
    std::optional<Rect> scalingGrid;
};

std::unique_ptr<ButtonCharacter> parseButton(TagCode code, io::ByteReader& r, const ParseContext& ctx);
bool applyButtonCxform(io::ByteReader& r, ButtonCharacter& button);
bool applyButtonSound(io::ByteReader& r, ButtonCharacter& button);

} // namespace swf::format
