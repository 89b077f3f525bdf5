#include "swf/video/FlvScriptTags.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>

namespace swf::video {

namespace {

// Bounds for hostile files: a script tag's size, how deep values nest, how many values
// one tag holds, and how many tags a file may have and how many of them are kept.
constexpr std::uint32_t kMaxScriptTagBytes = 1 << 20;
constexpr int kMaxDepth = 16;
constexpr std::size_t kMaxValuesPerTag = 65536;
constexpr std::size_t kMaxTagsScanned = 4'000'000;
constexpr std::size_t kMaxScriptTags = 4096;
constexpr std::uint64_t kMaxScriptBytes = 16 << 20; // all kept tags together

// AMF0 type markers.
enum Marker : std::uint8_t {
    kNumber = 0,
    kBoolean = 1,
    kString = 2,
    kObject = 3,
    kNull = 5,
    kUndefined = 6,
    kReference = 7,
    kEcmaArray = 8,
    kObjectEnd = 9,
    kStrictArray = 10,
    kDate = 11,
    kLongString = 12,
};

// Big-endian reads that remember running past the end.
class AmfReader {
public:
    explicit AmfReader(std::span<const std::uint8_t> data) : m_data(data) {}

    bool ok() const { return m_ok; }
    // Gives up on the rest of the data.
    void fail() {
        m_ok = false;
        m_pos = m_data.size();
    }
    bool atEnd() const { return m_pos >= m_data.size(); }
    std::uint64_t big(int bytes) {
        if (m_data.size() - m_pos < static_cast<std::size_t>(bytes)) {
            fail();
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | m_data[m_pos++];
        return v;
    }
    double number() { return std::bit_cast<double>(big(8)); }
    std::string text(std::size_t length) {
        if (m_data.size() - m_pos < length) {
            fail();
            return {};
        }
        std::string s(reinterpret_cast<const char*>(m_data.data() + m_pos), length);
        m_pos += length;
        return s;
    }
    std::string shortText() { return text(static_cast<std::size_t>(big(2))); }
    // The end marker of an object: an empty name then kObjectEnd.
    bool objectEndNext() const {
        return m_data.size() - m_pos >= 3 && m_data[m_pos] == 0 && m_data[m_pos + 1] == 0 &&
               m_data[m_pos + 2] == kObjectEnd;
    }
    void skipObjectEnd() { m_pos += 3; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

struct Parser {
    AmfReader r;
    std::size_t values = 0;

    // Named members up to the end marker (or the end of the data, which some writers
    // leave out of ECMA arrays).
    void members(ScriptValue& into, int depth) {
        while (r.ok() && !r.atEnd()) {
            if (r.objectEndNext()) {
                r.skipObjectEnd();
                return;
            }
            std::string name = r.shortText();
            ScriptValue v = value(depth + 1);
            if (!r.ok())
                return;
            into.members.emplace_back(std::move(name), std::move(v));
        }
    }

    ScriptValue value(int depth) {
        ScriptValue v;
        if (++values > kMaxValuesPerTag || depth > kMaxDepth) {
            r.fail();
            return v;
        }
        switch (r.big(1)) {
        case kNumber:
            v.kind = ScriptValue::Kind::Number;
            v.number = r.number();
            break;
        case kBoolean:
            v.kind = ScriptValue::Kind::Boolean;
            v.number = r.big(1) ? 1 : 0;
            break;
        case kString:
            v = ScriptValue::of(r.shortText());
            break;
        case kLongString:
            v = ScriptValue::of(r.text(static_cast<std::size_t>(r.big(4))));
            break;
        case kObject:
            v.kind = ScriptValue::Kind::Object;
            members(v, depth);
            break;
        case kEcmaArray:
            // Flash gives scripts an ordinary object for it; the count is only a hint.
            r.big(4);
            v.kind = ScriptValue::Kind::Object;
            members(v, depth);
            break;
        case kStrictArray: {
            v.kind = ScriptValue::Kind::Array;
            const std::uint64_t count = r.big(4);
            for (std::uint64_t i = 0; i < count && r.ok(); ++i) {
                ScriptValue element = value(depth + 1);
                if (r.ok())
                    v.members.emplace_back(std::string(), std::move(element));
            }
            break;
        }
        case kDate:
            v.kind = ScriptValue::Kind::Date;
            v.number = r.number();
            r.big(2); // time zone: Flash ignores it
            break;
        case kNull:
            v.kind = ScriptValue::Kind::Null;
            break;
        case kReference:
            r.big(2); // references to earlier objects are not followed
            break;
        case kUndefined:
        default:
            break;
        }
        // A value cut short is nothing, unless it is a container with members read whole.
        if (!r.ok() && v.members.empty())
            return ScriptValue{};
        return v;
    }
};

std::uint32_t big24(const unsigned char* p) {
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

} // namespace

std::optional<ScriptCall> parseScriptTag(std::span<const std::uint8_t> body, double seconds) {
    Parser p{AmfReader(body)};
    ScriptValue name = p.value(0);
    if (!p.r.ok() || name.kind != ScriptValue::Kind::String || name.text.empty())
        return std::nullopt;
    ScriptCall call;
    call.seconds = seconds;
    call.handler = std::move(name.text);
    // A damaged argument keeps what was read of it.
    while (p.r.ok() && !p.r.atEnd()) {
        ScriptValue arg = p.value(0);
        if (p.r.ok() || arg.kind != ScriptValue::Kind::Undefined)
            call.args.push_back(std::move(arg));
    }
    return call;
}

std::vector<ScriptCall> readFlvScriptTags(const std::string& path) {
    std::vector<ScriptCall> calls;
    std::ifstream in(path, std::ios::binary);
    unsigned char header[9];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || std::memcmp(header, "FLV", 3) != 0)
        return calls;
    const std::uint32_t dataOffset = std::uint32_t(header[5]) << 24 | big24(header + 6);
    // Each tag follows the previous tag's size field (4 bytes).
    std::uint64_t at = std::max<std::uint32_t>(dataOffset, 9) + 4;
    std::uint64_t kept = 0;
    for (std::size_t n = 0; n < kMaxTagsScanned && calls.size() < kMaxScriptTags; ++n) {
        unsigned char tag[11];
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(reinterpret_cast<char*>(tag), sizeof tag))
            break;
        const std::uint8_t type = tag[0] & 0x1F; // the top bits flag filtered (encrypted) tags
        const std::uint32_t size = big24(tag + 1);
        const std::uint32_t stampMs = big24(tag + 4) | std::uint32_t(tag[7]) << 24;
        if (type == 18 && size <= kMaxScriptTagBytes && kept + size <= kMaxScriptBytes) {
            kept += size;
            std::vector<std::uint8_t> body(size);
            if (!in.read(reinterpret_cast<char*>(body.data()), size))
                break;
            if (auto call = parseScriptTag(body, stampMs / 1000.0))
                calls.push_back(std::move(*call));
        }
        at += 11 + std::uint64_t(size) + 4;
    }
    return calls;
}

} // namespace swf::video
