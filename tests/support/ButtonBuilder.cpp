#include "ButtonBuilder.h"

#include <stdexcept>

namespace orvane::testing {

std::vector<std::uint8_t> ButtonBuilder::encode(std::uint16_t id, int version) const {
    ByteWriter w;
    w.u16(id);
    std::size_t actionOffsetAt = 0;
    if (version >= 2) {
        w.u8(trackAsMenu ? 0x01 : 0x00);
        actionOffsetAt = w.size();
        w.u16(0);
    }
    for (const ButtonRecord& r : records) {
        std::uint8_t flags = r.states & 0x0F;
        if (version >= 2 && r.filters)
            flags |= 0x10;
        if (version >= 2 && r.blendMode)
            flags |= 0x20;
        if (flags == 0)
            throw std::invalid_argument("a button record needs at least one state");
        w.u8(flags);
        w.u16(r.characterId);
        w.u16(r.depth);
        encode::matrix(w, r.matrix);
        if (version >= 2) {
            encode::colorTransform(w, r.colorTransform, true);
            if (r.filters)
                encode::filters(w, *r.filters);
            if (r.blendMode)
                w.u8(*r.blendMode);
        }
    }
    w.u8(0);
    if (version < 2) {
        w.bytes(actions);
        w.u8(0);
        return w.take();
    }
    if (condActions.empty())
        return w.take();
    const std::size_t first = w.size();
    if (first - actionOffsetAt > 0xFFFF)
        throw std::invalid_argument("button records too long for the action offset");
    std::vector<std::uint8_t> body = w.take();
    body[actionOffsetAt] = static_cast<std::uint8_t>(first - actionOffsetAt);
    body[actionOffsetAt + 1] = static_cast<std::uint8_t>((first - actionOffsetAt) >> 8);
    ByteWriter rest;
    for (std::size_t i = 0; i < condActions.size(); ++i) {
        const ButtonCondAction& c = condActions[i];
        const std::size_t size = 2 + 2 + c.actions.size() + 1;
        const bool last = i + 1 == condActions.size();
        if (!last && size > 0xFFFF)
            throw std::invalid_argument("button actions too long");
        rest.u16(last ? 0 : static_cast<std::uint16_t>(size));
        rest.u16(c.conditions);
        rest.bytes(c.actions);
        rest.u8(0);
    }
    body.insert(body.end(), rest.data().begin(), rest.data().end());
    return body;
}

} // namespace orvane::testing
