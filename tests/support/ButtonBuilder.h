#pragma once
// DefineButton and DefineButton2 bodies.
//
//   ButtonBuilder b;
//   b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
//   b.condActions.push_back({ButtonCondAction::OverDownToOverUp, actionBytes});
//   movie.defineButton(5, b, 2);

#include "SwfRecords.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane::testing {

struct ButtonRecord {
    enum State : std::uint8_t { Up = 0x01, Over = 0x02, Down = 0x04, HitTest = 0x08 };
    std::uint8_t states = Up;
    std::uint16_t characterId = 0;
    std::uint16_t depth = 1;
    Matrix matrix;
    // DefineButton2 only.
    ColorTransform colorTransform;
    std::optional<std::vector<Filter>> filters;
    std::optional<std::uint8_t> blendMode;

    static ButtonRecord of(std::uint8_t states, std::uint16_t characterId, std::uint16_t depth,
                           const Matrix& matrix = {}) {
        ButtonRecord r;
        r.states = states;
        r.characterId = characterId;
        r.depth = depth;
        r.matrix = matrix;
        return r;
    }
};

// Conditions as a little-endian word: the low byte is the condition byte 0 of the format,
// the high byte holds the key code (<< 1) and OverDownToIdle.
struct ButtonCondAction {
    enum Condition : std::uint16_t {
        IdleToOverUp = 0x0001,
        OverUpToIdle = 0x0002,
        OverUpToOverDown = 0x0004,
        OverDownToOverUp = 0x0008,
        OverDownToOutDown = 0x0010,
        OutDownToOverDown = 0x0020,
        OutDownToIdle = 0x0040,
        IdleToOverDown = 0x0080,
        OverDownToIdle = 0x0100,
    };
    static constexpr std::uint16_t keyPress(std::uint8_t key) {
        return static_cast<std::uint16_t>((key & 0x7F) << 9);
    }

    std::uint16_t conditions = OverDownToOverUp;
    std::vector<std::uint8_t> actions; // action records without the closing 0
};

struct ButtonBuilder {
    std::vector<ButtonRecord> records;
    // DefineButton: the release actions (without the closing 0).
    std::vector<std::uint8_t> actions;
    // DefineButton2.
    bool trackAsMenu = false;
    std::vector<ButtonCondAction> condActions;

    // version 1 writes DefineButton, 2 DefineButton2.
    std::vector<std::uint8_t> encode(std::uint16_t id, int version) const;
};

} // namespace orvane::testing
