#include "swf/avm1/Disassembler.h"

#include "swf/avm1/ActionDecoder.h"
#include "swf/io/ByteReader.h"

#include <cstdio>
#include <vector>

namespace swf::avm1 {
namespace {

// Bodies inside bodies deeper than this are listed flat: the listing stays linear in the
// block's size whatever the nesting.
constexpr int kMaxIndent = 16;

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string number(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size() && i < 32; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        out += i ? " " : "";
        out += buf;
    }
    return bytes.size() > 32 ? out + " ..." : out;
}

std::string pushOperands(std::span<const std::uint8_t> payload) {
    auto values = decodePush(payload);
    if (!values)
        return "<broken> " + hex(payload);
    std::string out;
    for (const PushValue& v : *values) {
        if (!out.empty())
            out += ", ";
        if (auto s = std::get_if<std::string>(&v))
            out += quoted(*s);
        else if (auto d = std::get_if<double>(&v))
            out += number(*d);
        else if (auto b = std::get_if<bool>(&v))
            out += *b ? "true" : "false";
        else if (std::holds_alternative<PushNull>(v))
            out += "null";
        else if (std::holds_alternative<PushUndefined>(v))
            out += "undefined";
        else if (auto r = std::get_if<PushRegister>(&v))
            out += "r" + std::to_string(r->index);
        else if (auto c = std::get_if<PushConstant>(&v))
            out += "c" + std::to_string(c->index);
        else if (auto i = std::get_if<std::int32_t>(&v))
            out += std::to_string(*i) + "i";
    }
    return out;
}

std::string constantPool(std::span<const std::uint8_t> payload) {
    auto pool = decodeConstantPool(payload);
    if (!pool)
        return "<broken> " + hex(payload);
    std::string out;
    for (std::size_t i = 0; i < pool->size(); ++i)
        out += (i ? ", c" : "c") + std::to_string(i) + "=" + quoted((*pool)[i]);
    return out;
}

std::string functionHeader(const ActionRecord& rec) {
    io::ByteReader r(rec.payload);
    std::string out = quoted(r.string()) + " (";
    const std::uint16_t count = r.u16();
    if (rec.code == 0x8E) {
        const unsigned registers = r.u8();
        const unsigned flags = r.u16();
        std::string params;
        for (unsigned i = 0; i < count && !!r.ok(); ++i) {
            const unsigned reg = r.u8();
            params += (i ? ", " : "") + r.string() + (reg ? "=r" + std::to_string(reg) : "");
        }
        char buf[48];
        std::snprintf(buf, sizeof buf, ") registers=%u flags=0x%04x", registers, flags);
        out += params + buf;
    } else {
        for (unsigned i = 0; i < count && !!r.ok(); ++i)
            out += (i ? ", " : "") + r.string();
        out += ")";
    }
    out += " size=" + std::to_string(r.u16());
    return !r.ok() ? out + " <broken>" : out;
}

std::string operands(const ActionRecord& rec) {
    io::ByteReader r(rec.payload);
    switch (rec.code) {
    case 0x96:
        return pushOperands(rec.payload);
    case 0x88:
        return constantPool(rec.payload);
    case 0x9B:
    case 0x8E:
        return functionHeader(rec);
    case 0x99:
    case 0x9D: {
        const long target = static_cast<long>(rec.next) + r.s16();
        return !r.ok() ? "<broken>" : "-> " + std::to_string(target);
    }
    case 0x81:
        return std::to_string(r.u16());
    case 0x83: {
        std::string url = quoted(r.string());
        return url + " " + quoted(r.string());
    }
    case 0x8B:
    case 0x8C:
        return quoted(r.string());
    case 0x8A: {
        std::string frame = std::to_string(r.u16());
        return frame + " skip " + std::to_string(r.u8());
    }
    case 0x8D:
    case 0x87:
    case 0x9A:
    case 0x9F:
        return hex(rec.payload);
    case 0x94:
        return "size=" + std::to_string(r.u16());
    case 0x8F: {
        const unsigned flags = r.u8();
        std::string out = "try=" + std::to_string(r.u16());
        out += " catch=" + std::to_string(r.u16());
        out += " finally=" + std::to_string(r.u16());
        out += (flags & 4) ? " into r" + std::to_string(r.u8()) : " into " + quoted(r.string());
        return out;
    }
    default:
        return rec.payload.empty() ? std::string() : hex(rec.payload);
    }
}

} // namespace

std::string disassemble(std::span<const std::uint8_t> code) {
    std::string out;
    ActionDecoder decoder(code);
    ActionRecord rec;
    // End offsets of the bodies being listed, innermost last.
    std::vector<std::size_t> bodyEnds;
    while (decoder.next(rec)) {
        while (!bodyEnds.empty() && rec.offset >= bodyEnds.back())
            bodyEnds.pop_back();
        const char* name = actionName(rec.code);
        char head[32];
        std::snprintf(head, sizeof head, "%6zu  ", rec.offset);
        out += head;
        out.append(2 * std::min<std::size_t>(bodyEnds.size(), kMaxIndent), ' ');
        if (name) {
            out += name;
        } else {
            char unknown[16];
            std::snprintf(unknown, sizeof unknown, "Unknown_%02X", rec.code);
            out += unknown;
        }
        const std::string ops = operands(rec);
        if (!ops.empty())
            out += " " + ops;
        out += "\n";
        if (const std::size_t body = trailingBodySize(rec))
            bodyEnds.push_back(rec.next + body);
        if (rec.code == 0x00)
            break;
    }
    if (decoder.truncated())
        out += "        <record runs past the end of the block>\n";
    return out;
}

} // namespace swf::avm1
