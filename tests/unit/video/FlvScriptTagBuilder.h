#pragma once
// Writes FLV script tags for tests: AMF0 values, tags and a file header, by hand, so the
// tests control every byte (FFmpeg's tool writes no cue points).

#include "VideoTestSupport.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace flv_test {

struct Amf {
    std::vector<std::uint8_t> bytes;

    Amf& big(std::uint64_t v, int count) {
        for (int i = count - 1; i >= 0; --i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Amf& raw(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Amf& number(double v) { return big(0, 1).big(std::bit_cast<std::uint64_t>(v), 8); }
    Amf& boolean(bool v) { return big(1, 1).big(v ? 1 : 0, 1); }
    Amf& string(const std::string& s) { return big(2, 1).big(s.size(), 2).raw(s); }
    Amf& longString(const std::string& s) { return big(12, 1).big(s.size(), 4).raw(s); }
    Amf& null() { return big(5, 1); }
    Amf& undefined() { return big(6, 1); }
    Amf& date(double ms) { return big(11, 1).big(std::bit_cast<std::uint64_t>(ms), 8).big(0, 2); }
    Amf& objectStart() { return big(3, 1); }
    Amf& ecmaArrayStart(std::uint32_t count) { return big(8, 1).big(count, 4); }
    Amf& strictArray(std::uint32_t count) { return big(10, 1).big(count, 4); }
    Amf& key(const std::string& name) { return big(name.size(), 2).raw(name); }
    Amf& objectEnd() { return big(0, 2).big(9, 1); }
};

inline std::vector<std::uint8_t> flvHeader() {
    return {'F', 'L', 'V', 1, 1, 0, 0, 0, 9, 0, 0, 0, 0};
}

// Appends a tag and the size field after it.
inline void appendTag(std::vector<std::uint8_t>& file, std::uint8_t type, std::uint32_t ms,
                      const std::vector<std::uint8_t>& body) {
    Amf t;
    t.big(type, 1).big(body.size(), 3).big(ms & 0xFFFFFF, 3).big(ms >> 24, 1).big(0, 3);
    t.bytes.insert(t.bytes.end(), body.begin(), body.end());
    t.big(body.size() + 11, 4);
    file.insert(file.end(), t.bytes.begin(), t.bytes.end());
}

inline std::string writeScratch(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = video_test::scratchPath(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace flv_test
