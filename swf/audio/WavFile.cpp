#include "swf/audio/WavFile.h"

#include <vector>

namespace swf::audio {

namespace {

constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void put(std::vector<char>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}

void tag(std::vector<char>& out, const char* fourcc) {
    for (int i = 0; i < 4; ++i)
        out.push_back(fourcc[i]);
}

// The 44-byte RIFF/WAVE header for `dataBytes` bytes of samples.
std::vector<char> header(std::uint32_t dataBytes, int rate, int channels) {
    std::vector<char> out;
    tag(out, "RIFF");
    put(out, 36 + dataBytes, 4);
    tag(out, "WAVE");
    tag(out, "fmt ");
    put(out, 16, 4);
    put(out, 1, 2); // PCM
    put(out, static_cast<std::uint32_t>(channels), 2);
    put(out, static_cast<std::uint32_t>(rate), 4);
    put(out, static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(out, static_cast<std::uint32_t>(channels * 2), 2);
    put(out, 16, 2);
    tag(out, "data");
    put(out, dataBytes, 4);
    return out;
}

} // namespace

WavWriter::WavWriter(const std::string& path, int rate, int channels)
    : m_file(path, std::ios::binary | std::ios::trunc), m_rate(rate), m_channels(channels) {
    const auto h = header(0, rate, channels);
    m_file.write(h.data(), static_cast<std::streamsize>(h.size()));
}

WavWriter::~WavWriter() {
    close();
}

void WavWriter::append(std::span<const std::int16_t> samples) {
    std::vector<char> bytes;
    bytes.reserve(samples.size() * 2);
    for (std::int16_t s : samples)
        put(bytes, static_cast<std::uint16_t>(s), 2);
    m_file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    m_dataBytes += bytes.size();
}

bool WavWriter::close() {
    if (m_closed)
        return ok();
    m_closed = true;
    if (m_dataBytes > kMaxDataBytes)
        m_file.setstate(std::ios::failbit);
    if (m_file) {
        const auto h = header(static_cast<std::uint32_t>(m_dataBytes), m_rate, m_channels);
        m_file.seekp(0);
        m_file.write(h.data(), static_cast<std::streamsize>(h.size()));
    }
    m_file.close();
    return !m_file.fail();
}

} // namespace swf::audio
