#include "swf/avm1/ActionDecoder.h"

#include "swf/io/ByteReader.h"

#include <cstring>

namespace swf::avm1 {

bool ActionDecoder::next(ActionRecord& out) {
    if (m_pos >= m_code.size())
        return false;
    out.offset = m_pos;
    out.code = m_code[m_pos];
    if (out.code == 0)
        return false;
    std::size_t pos = m_pos + 1;
    out.payload = {};
    if (out.code >= 0x80) {
        if (pos + 2 > m_code.size()) {
            m_truncated = true;
            m_pos = m_code.size();
            return false;
        }
        std::size_t length = m_code[pos] | (m_code[pos + 1] << 8);
        pos += 2;
        if (length > m_code.size() - pos) {
            m_truncated = true;
            m_pos = m_code.size();
            return false;
        }
        out.payload = m_code.subspan(pos, length);
        pos += length;
    }
    out.next = pos;
    m_pos = pos;
    return true;
}

std::size_t trailingBodySize(const ActionRecord& record) {
    io::ByteReader r(record.payload);
    switch (static_cast<ActionCode>(record.code)) {
    case ActionCode::DefineFunction:
    case ActionCode::DefineFunction2:
        // codeSize is the last field of both headers.
        if (record.payload.size() < 2)
            return 0;
        return record.payload[record.payload.size() - 2] | (record.payload[record.payload.size() - 1] << 8);
    case ActionCode::With:
        return r.u16();
    case ActionCode::Try: {
        r.u8();
        std::size_t trySize = r.u16();
        std::size_t catchSize = r.u16();
        std::size_t finallySize = r.u16();
        return r.ok() ? trySize + catchSize + finallySize : 0;
    }
    default:
        return 0;
    }
}

std::optional<std::vector<PushValue>> decodePush(std::span<const std::uint8_t> payload) {
    io::ByteReader r(payload);
    std::vector<PushValue> values;
    while (!r.atEnd()) {
        std::uint8_t type = r.u8();
        switch (type) {
        case 0:
            values.emplace_back(r.string());
            break;
        case 1:
            values.emplace_back(static_cast<double>(r.f32()));
            break;
        case 2:
            values.emplace_back(PushNull{});
            break;
        case 3:
            values.emplace_back(PushUndefined{});
            break;
        case 4:
            values.emplace_back(PushRegister{r.u8()});
            break;
        case 5:
            values.emplace_back(r.u8() != 0);
            break;
        case 6: {
            // The two 32-bit halves are stored high word first.
            std::uint64_t high = r.u32();
            std::uint64_t low = r.u32();
            std::uint64_t bits = (high << 32) | low;
            double d;
            static_assert(sizeof d == sizeof bits);
            std::memcpy(&d, &bits, sizeof d);
            values.emplace_back(d);
            break;
        }
        case 7:
            values.emplace_back(r.s32());
            break;
        case 8:
            values.emplace_back(PushConstant{r.u8()});
            break;
        case 9:
            values.emplace_back(PushConstant{r.u16()});
            break;
        default:
            return std::nullopt;
        }
        if (!r.ok())
            return std::nullopt;
    }
    return values;
}

std::optional<std::vector<std::string>> decodeConstantPool(std::span<const std::uint8_t> payload) {
    io::ByteReader r(payload);
    std::size_t count = r.u16();
    if (count > r.remaining())
        return std::nullopt; // each string takes at least its terminator
    std::vector<std::string> pool;
    pool.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        pool.push_back(r.string());
    if (!r.ok())
        return std::nullopt;
    return pool;
}

} // namespace swf::avm1
