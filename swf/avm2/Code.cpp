#include "swf/avm2/Code.h"

#include "swf/io/ByteReader.h"

#include <array>

namespace swf::avm2 {

const OpInfo& opInfo(std::uint8_t code) {
    static const std::array<OpInfo, 256> table = [] {
        std::array<OpInfo, 256> t{};
#define ORVANE_AVM2_INFO(name, code, format) t[code] = OpInfo{#name, Operands::format};
        ORVANE_AVM2_OPCODES(ORVANE_AVM2_INFO)
#undef ORVANE_AVM2_INFO
        return t;
    }();
    return table[code];
}

namespace {

class Decoder {
public:
    Decoder(const AbcFile& abc, const MethodBody& body) : abc(abc), body(body), r(body.code) {}

    std::optional<DecodedBody> run(std::string& error) {
        if (body.localCount > kMaxBodyDepth || body.maxStack > kMaxBodyDepth ||
            body.maxScopeDepth > kMaxBodyDepth || body.initScopeDepth > body.maxScopeDepth) {
            error = "Error #1107: The ABC data is corrupt, attempt to read out of bounds.";
            return std::nullopt;
        }
        out.maxStack = body.maxStack;
        out.localCount = body.localCount;
        out.maxScope = body.maxScopeDepth - body.initScopeDepth;
        out.initScope = body.initScopeDepth;
        // Byte offset of each instruction start -> its index (kNone elsewhere).
        startOf.assign(body.code.size() + 1, kNone);
        while (!r.atEnd()) {
            startOf[r.position()] = static_cast<std::uint32_t>(out.code.size());
            offsets.push_back(static_cast<std::uint32_t>(r.position()));
            if (!decodeOne()) {
                error = m_error.empty() ? "Error #1011: Method contained illegal opcode." : m_error;
                return std::nullopt;
            }
        }
        startOf[body.code.size()] = static_cast<std::uint32_t>(out.code.size());
        if (!resolveBranches() || !resolveHandlers()) {
            error = "Error #1021: At least one branch target was not on a valid instruction in the method.";
            return std::nullopt;
        }
        return std::move(out);
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    bool fail(const char* message) {
        m_error = message;
        return false;
    }
    std::uint32_t u30() { return r.encodedU32(); }
    std::int32_t s24() {
        std::uint32_t v = r.u24();
        return (v & 0x800000) ? static_cast<std::int32_t>(v | 0xFF000000u) : static_cast<std::int32_t>(v);
    }
    bool below(std::uint32_t i, std::size_t size) {
        if (i < size)
            return true;
        return fail("Error #1032: Cpool index is out of range.");
    }

    bool decodeOne() {
        std::uint8_t code = r.u8();
        const OpInfo& info = opInfo(code);
        if (!info.name)
            return false;
        Insn insn;
        insn.op = static_cast<Op>(code);
        switch (info.operands) {
        case Operands::None: {
            // getlocal_N / setlocal_N name their register in the opcode.
            int reg = code >= 0xD0 && code <= 0xD3 ? code - 0xD0 : code >= 0xD4 && code <= 0xD7 ? code - 0xD4 : -1;
            if (reg >= 0 && static_cast<std::uint32_t>(reg) >= body.localCount)
                return fail("Error #1025: An invalid register was accessed.");
            break;
        }
        case Operands::U8:
            insn.a = r.u8();
            break;
        case Operands::Int:
            // pushshort holds a sign-extended 16-bit value written as a u30.
            insn.a = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int16_t>(u30())));
            break;
        case Operands::String:
            insn.a = u30();
            if (!below(insn.a, abc.strings.size()))
                return false;
            break;
        case Operands::IntPool:
            insn.a = u30();
            if (!below(insn.a, abc.ints.size()))
                return false;
            break;
        case Operands::UIntPool:
            insn.a = u30();
            if (!below(insn.a, abc.uints.size()))
                return false;
            break;
        case Operands::DoublePool:
            insn.a = u30();
            if (!below(insn.a, abc.doubles.size()))
                return false;
            break;
        case Operands::Namespace:
            insn.a = u30();
            if (!below(insn.a, abc.namespaces.size()))
                return false;
            break;
        case Operands::Multiname:
        case Operands::MultinameArgc:
            insn.a = u30();
            if (!below(insn.a, abc.multinames.size()) || insn.a == 0)
                return fail("Error #1032: Cpool index is out of range.");
            if (info.operands == Operands::MultinameArgc)
                insn.b = u30();
            break;
        case Operands::Argc:
        case Operands::Slot:
        case Operands::Skip:
            insn.a = u30();
            break;
        case Operands::Register:
            insn.a = u30();
            if (insn.a >= body.localCount)
                return fail("Error #1025: An invalid register was accessed.");
            break;
        case Operands::TwoRegisters:
            insn.a = u30();
            insn.b = u30();
            if (insn.a >= body.localCount || insn.b >= body.localCount)
                return fail("Error #1025: An invalid register was accessed.");
            break;
        case Operands::Method:
            insn.a = u30();
            if (!below(insn.a, abc.methods.size()))
                return false;
            break;
        case Operands::MethodArgc:
            insn.a = u30();
            insn.b = u30();
            if (!below(insn.a, abc.methods.size()))
                return false;
            break;
        case Operands::DispArgc:
            insn.a = u30();
            insn.b = u30();
            break;
        case Operands::Class:
            insn.a = u30();
            if (!below(insn.a, abc.classes.size()))
                return false;
            break;
        case Operands::Exception:
            insn.a = u30();
            if (insn.a >= body.exceptions.size())
                return fail("Error #1020: Code cannot fall off the end of a method.");
            break;
        case Operands::Branch: {
            std::int32_t delta = s24();
            // Relative to the end of this instruction; resolved to an index once all starts are known.
            std::int64_t target = static_cast<std::int64_t>(r.position()) + delta;
            pendingBranches.push_back({static_cast<std::uint32_t>(out.code.size()), target});
            break;
        }
        case Operands::Switch: {
            std::int64_t base = static_cast<std::int64_t>(r.position()) - 1;
            std::vector<std::int64_t> targets;
            targets.push_back(base + s24());
            std::uint32_t cases = u30();
            if (cases >= r.remaining() / 3)
                return fail("Error #1021: At least one branch target was not on a valid instruction in the method.");
            for (std::uint32_t i = 0; i <= cases; ++i)
                targets.push_back(base + s24());
            insn.a = static_cast<std::uint32_t>(out.switches.size());
            pendingSwitches.push_back({insn.a, std::move(targets)});
            out.switches.emplace_back();
            break;
        }
        case Operands::Debug:
            r.u8();
            insn.a = u30();
            if (!below(insn.a, abc.strings.size()))
                return false;
            r.u8();
            u30();
            break;
        }
        if (!r.ok())
            return fail("Error #1020: Code cannot fall off the end of a method.");
        out.code.push_back(insn);
        return true;
    }

    // An offset that is an instruction start (the end of the code is not).
    std::uint32_t instructionAt(std::int64_t offset) const {
        if (offset < 0 || offset >= static_cast<std::int64_t>(body.code.size()))
            return kNone;
        return startOf[static_cast<std::size_t>(offset)];
    }

    bool resolveBranches() {
        for (auto& [index, target] : pendingBranches) {
            std::uint32_t to = instructionAt(target);
            if (to == kNone)
                return false;
            out.code[index].a = to;
        }
        for (auto& [table, targets] : pendingSwitches) {
            for (auto t : targets) {
                std::uint32_t to = instructionAt(t);
                if (to == kNone)
                    return false;
                out.switches[table].push_back(to);
            }
        }
        return true;
    }

    // The first instruction at or after a byte offset (ranges need not start on one).
    std::uint32_t firstAtOrAfter(std::uint32_t offset) const {
        while (offset < body.code.size() && startOf[offset] == kNone)
            ++offset;
        return startOf[std::min<std::size_t>(offset, body.code.size())];
    }

    bool resolveHandlers() {
        for (const auto& e : body.exceptions) {
            Handler h;
            h.from = firstAtOrAfter(e.from);
            h.to = firstAtOrAfter(e.to);
            h.target = instructionAt(e.target);
            if (h.target == kNone)
                return false;
            h.type = e.type;
            h.varName = e.varName;
            out.handlers.push_back(h);
        }
        return true;
    }

    const AbcFile& abc;
    const MethodBody& body;
    io::ByteReader r;
    DecodedBody out;
    std::vector<std::uint32_t> startOf;
    std::vector<std::uint32_t> offsets;
    std::vector<std::pair<std::uint32_t, std::int64_t>> pendingBranches;
    std::vector<std::pair<std::uint32_t, std::vector<std::int64_t>>> pendingSwitches;
    std::string m_error;
};

} // namespace

std::optional<DecodedBody> decodeBody(const AbcFile& abc, const MethodBody& body, std::string& error) {
    return Decoder(abc, body).run(error);
}

} // namespace swf::avm2
