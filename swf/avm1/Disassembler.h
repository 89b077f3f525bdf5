#pragma once
// Readable listings of action blocks, for developers reading a movie's scripts
// (`orvane-tool actions`). Every operand is decoded with the same checks the
// interpreter uses; what does not decode is shown as bytes, never trusted.

#include <cstdint>
#include <span>
#include <string>

namespace swf::avm1 {

// One line per record: "  offset  Name operands", function and With bodies indented
// under the record that owns them. Branch targets are written as block offsets.
std::string disassemble(std::span<const std::uint8_t> code);

} // namespace swf::avm1
