#pragma once
// Bounded little-endian reader over a byte span. A read past the end never touches
// memory outside the span: it yields zero (or an empty value), and the reader
// remembers the overrun so a parser can reject the record as a whole.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace swf::io {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::size_t size() const { return m_data.size(); }
    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    // False once any read ran past the end (sticky).
    bool ok() const { return !m_overrun; }
    void fail() { m_overrun = true; }
    std::span<const std::uint8_t> data() const { return m_data; }

    // Moves to an absolute offset; an offset past the end clamps to the end and fails.
    void seek(std::size_t pos) {
        if (pos > m_data.size()) {
            m_overrun = true;
            pos = m_data.size();
        }
        m_pos = pos;
    }

    bool skip(std::size_t n) {
        if (n > remaining()) {
            m_overrun = true;
            m_pos = m_data.size();
            return false;
        }
        m_pos += n;
        return true;
    }

    std::uint8_t u8() {
        if (m_pos >= m_data.size()) {
            m_overrun = true;
            return 0;
        }
        return m_data[m_pos++];
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(little(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(little(4)); }
    std::uint64_t u64() { return little(8); }
    std::uint32_t u24() { return static_cast<std::uint32_t>(little(3)); }
    std::int8_t s8() { return static_cast<std::int8_t>(u8()); }
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t s32() { return static_cast<std::int32_t>(u32()); }

    float f32() {
        std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    double f64() {
        std::uint64_t bits = u64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // 16.16 and 8.8 signed fixed point.
    double fixed16() { return s32() / 65536.0; }
    double fixed8() { return s16() / 256.0; }

    // 1 to 5 bytes, 7 bits each, low group first.
    std::uint32_t encodedU32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 5; ++i) {
            std::uint8_t byte = u8();
            value |= static_cast<std::uint32_t>(byte & 0x7F) << (7 * i);
            if (!(byte & 0x80))
                break;
        }
        return value;
    }

    // Zero-terminated string; the terminator is consumed. A string that runs to the
    // end without a terminator is returned as far as it goes and fails the reader.
    std::string string() {
        std::size_t start = m_pos;
        while (m_pos < m_data.size() && m_data[m_pos] != 0)
            ++m_pos;
        std::string text(reinterpret_cast<const char*>(m_data.data()) + start, m_pos - start);
        if (m_pos < m_data.size())
            ++m_pos;
        else
            m_overrun = true;
        return text;
    }

    // Exactly n bytes, or an empty span and a failed reader.
    std::span<const std::uint8_t> bytes(std::size_t n) {
        if (n > remaining()) {
            m_overrun = true;
            m_pos = m_data.size();
            return {};
        }
        auto out = m_data.subspan(m_pos, n);
        m_pos += n;
        return out;
    }

    // Everything left; the reader ends up at its end.
    std::span<const std::uint8_t> rest() {
        auto out = m_data.subspan(m_pos);
        m_pos = m_data.size();
        return out;
    }

    // A reader over the next n bytes (fewer if the data ends first, and then this
    // reader fails). This reader moves past them whatever the sub-reader does.
    ByteReader sub(std::size_t n) {
        if (n > remaining()) {
            m_overrun = true;
            n = remaining();
        }
        ByteReader child(m_data.subspan(m_pos, n));
        m_pos += n;
        return child;
    }

private:
    std::uint64_t little(int count) {
        if (static_cast<std::size_t>(count) > remaining()) {
            m_overrun = true;
            m_pos = m_data.size();
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i)
            value |= static_cast<std::uint64_t>(m_data[m_pos + i]) << (8 * i);
        m_pos += count;
        return value;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_overrun = false;
};

} // namespace swf::io
