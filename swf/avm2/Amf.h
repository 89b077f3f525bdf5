#pragma once
// Action Message Format, versions 0 and 3: how ByteArray.readObject/writeObject and
// SharedObject store values. Each call is one message with reference tables of its own.
// Hostile data is the normal case: every count and length is checked against the bytes
// left, references against what was read, and nesting is bounded.
#include "swf/avm2/Machine.h"

#include <cstdint>
#include <span>
#include <vector>

namespace swf::avm2 {

inline constexpr int kMaxAmfDepth = 256;

// Appends `v` as AMF0 (encoding 0) or AMF3 (any other encoding) to `out`.
void writeAmf(Machine& m, std::vector<std::uint8_t>& out, Value v, std::uint32_t encoding);
// Reads one value at `pos` and moves `pos` past it. EOFError #2030 when the data ends
// first; RangeError #2006 for a marker, reference or nesting the format does not allow.
Value readAmf(Machine& m, std::span<const std::uint8_t> data, std::size_t& pos, std::uint32_t encoding);

// flash.net.registerClassAlias and getClassByAlias (machine-wide, as in the player).
void installAmfBuiltins(Machine& m);

} // namespace swf::avm2
