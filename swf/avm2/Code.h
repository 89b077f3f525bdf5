#pragma once
// A method body decoded once, at its first call, into instructions whose operands
// have all been checked: pool indices in range, registers below the body's local
// count, branch targets on instruction starts. The interpreter then runs the decoded
// form without re-checking operands; stack and scope depths are checked as it runs
// against the limits the body declares.

#include "swf/avm2/Abc.h"
#include "swf/avm2/Opcodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swf::avm2 {

// Bodies declaring more locals, stack or scope than this are refused as malformed.
inline constexpr std::uint32_t kMaxBodyDepth = 65535;

struct Insn {
    Op op = Op::Nop;
    std::uint32_t a = 0; // first operand; for branches the target instruction index
    std::uint32_t b = 0; // second operand
};

struct Handler {
    std::uint32_t from = 0, to = 0, target = 0; // instruction indices, [from, to)
    std::uint32_t type = 0;                      // multiname, 0: catches everything
    std::uint32_t varName = 0;
};

class Traits;

// What a getproperty of a fixed name last found: objects of these traits keep the
// variable in this slot (a lookup cache; filled and checked by the interpreter).
struct SlotCache {
    const Traits* traits = nullptr;
    std::uint32_t slot = 0;
};

struct DecodedBody {
    std::vector<Insn> code;
    mutable std::vector<SlotCache> slotCache; // one per instruction
    // lookupswitch targets: switches[a] = {default, case 0, case 1, ...}
    std::vector<std::vector<std::uint32_t>> switches;
    std::vector<Handler> handlers;
    std::uint32_t maxStack = 0;
    std::uint32_t localCount = 0;
    std::uint32_t maxScope = 0;
    std::uint32_t initScope = 0;
};

// Decodes and checks `body` of `abc`; nullopt with `error` (a VerifyError message) when
// the code is malformed.
std::optional<DecodedBody> decodeBody(const AbcFile& abc, const MethodBody& body, std::string& error);

} // namespace swf::avm2
