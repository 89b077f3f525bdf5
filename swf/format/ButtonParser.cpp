// Parsers for DefineButton 1-2, DefineButtonCxform and DefineButtonSound.

#include "swf/format/Button.h"

namespace swf::format {
namespace {

// Action bytes up to and including the end byte, or to the end of the reader.
std::vector<std::uint8_t> copyActions(std::span<const std::uint8_t> bytes) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

bool readRecords(io::ByteReader& r, int version, std::vector<ButtonRecord>& out) {
    while (true) {
        std::uint8_t flags = r.u8();
        if (!r.ok())
            return false;
        if (flags == 0)
            return true;
        ButtonRecord rec;
        rec.hitTest = flags & 0x08;
        rec.down = flags & 0x04;
        rec.over = flags & 0x02;
        rec.up = flags & 0x01;
        rec.characterId = r.u16();
        rec.depth = r.u16();
        rec.matrix = readMatrix(r);
        if (version == 2) {
            rec.colorTransform = readColorTransform(r, true);
            if (flags & 0x10)
                rec.filters = readFilterList(r);
            if (flags & 0x20)
                rec.blendMode = blendModeFromByte(r.u8());
        }
        if (!r.ok())
            return false;
        out.push_back(std::move(rec));
    }
}

} // namespace

// DefineButton, DefineButton2
std::unique_ptr<ButtonCharacter> parseButton(TagCode code, io::ByteReader& r, const ParseContext&) {
    auto button = std::make_unique<ButtonCharacter>();
    button->id = r.u16();
    if (code == TagCode::DefineButton) {
        button->version = 1;
        if (!readRecords(r, 1, button->records))
            return nullptr;
        ButtonAction action;
        action.conditions = kOverDownToOverUp;
        action.actions = copyActions(r.rest());
        button->actions.push_back(std::move(action));
        return button;
    }
    button->version = 2;
    button->trackAsMenu = r.u8() & 0x01;
    std::size_t actionStart = r.position();
    std::uint16_t actionOffset = r.u16();
    if (!readRecords(r, 2, button->records))
        return nullptr;
    if (actionOffset == 0)
        return button;
    std::size_t at = actionStart + actionOffset;
    // A condition list that cannot be found costs the actions, not the button.
    while (at + 4 <= r.size()) {
        r.seek(at);
        std::uint16_t size = r.u16();
        std::uint8_t a = r.u8();
        std::uint8_t b = r.u8();
        ButtonAction action;
        action.conditions = static_cast<std::uint16_t>(a | ((b & 0x01) << 8));
        action.keyCode = b >> 1;
        std::size_t end = size == 0 ? r.size() : at + size;
        if (end > r.size() || end < r.position())
            break;
        action.actions = copyActions(r.data().subspan(r.position(), end - r.position()));
        button->actions.push_back(std::move(action));
        if (size == 0)
            break;
        at = end;
    }
    return button;
}

// DefineButtonCxform: one CXFORM per button record, in record order.
bool applyButtonCxform(io::ByteReader& r, ButtonCharacter& button) {
    r.u16();
    for (auto& rec : button.records) {
        if (r.atEnd())
            break;
        rec.colorTransform = readColorTransform(r, false);
    }
    return r.ok();
}

// DefineButtonSound: entries missing at the end mean no sound.
bool applyButtonSound(io::ByteReader& r, ButtonCharacter& button) {
    r.u16();
    for (auto& entry : button.sounds) {
        if (r.remaining() < 2)
            break;
        entry.soundId = r.u16();
        if (entry.soundId != 0)
            entry.info = readSoundInfo(r);
    }
    return r.ok();
}

} // namespace swf::format
