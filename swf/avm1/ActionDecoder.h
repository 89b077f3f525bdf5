#pragma once
// Splits an action block into ACTIONRECORDs with checked lengths, and decodes the
// payloads the timeline needs (Push values, ConstantPool, frame and label
// arguments). Nothing here executes code.

#include "swf/avm1/ActionTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace swf::avm1 {

struct ActionRecord {
    std::uint8_t code = 0;
    std::size_t offset = 0;                // of the code byte within the block
    std::span<const std::uint8_t> payload; // empty for codes below 0x80
    std::size_t next = 0;                  // offset of the following record
};

// Walks the records of a block in file order. Stops at the End action, at the
// end of the data, or at a record whose length runs past the data (then
// truncated() is true).
class ActionDecoder {
public:
    explicit ActionDecoder(std::span<const std::uint8_t> code) : m_code(code) {}

    // False when there are no more records.
    bool next(ActionRecord& out);
    // Continues decoding at `offset` (a branch target or the end of a body).
    void seek(std::size_t offset) { m_pos = offset; }
    std::size_t position() const { return m_pos; }
    bool truncated() const { return m_truncated; }
    std::span<const std::uint8_t> code() const { return m_code; }

private:
    std::span<const std::uint8_t> m_code;
    std::size_t m_pos = 0;
    bool m_truncated = false;
};

// Bytes of code that follow a record and belong to it (bodies of DefineFunction,
// DefineFunction2, With, and the blocks of Try); 0 for other actions.
std::size_t trailingBodySize(const ActionRecord& record);

struct PushRegister {
    std::uint8_t index = 0;
};
struct PushConstant {
    std::uint16_t index = 0;
};
struct PushNull {};
struct PushUndefined {};

// One Push operand as stored: strings, numbers (float, double, integer),
// booleans, null, undefined, register numbers and constant-pool indices.
using PushValue = std::variant<std::string, double, bool, PushNull, PushUndefined, PushRegister, PushConstant,
                               std::int32_t>;

// Decodes a Push payload; nullopt when a value runs past the payload.
std::optional<std::vector<PushValue>> decodePush(std::span<const std::uint8_t> payload);
// Decodes a ConstantPool payload; nullopt when broken.
std::optional<std::vector<std::string>> decodeConstantPool(std::span<const std::uint8_t> payload);

} // namespace swf::avm1
