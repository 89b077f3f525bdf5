#pragma once
// Writes 16-bit PCM WAV files as samples come: the header's sizes are filled in on close.

#include <cstdint>
#include <fstream>
#include <span>
#include <string>

namespace swf::audio {

class WavWriter {
public:
    WavWriter(const std::string& path, int rate, int channels);
    ~WavWriter();
    bool ok() const { return static_cast<bool>(m_file); }
    void append(std::span<const std::int16_t> samples);
    // Fills in the sizes and closes; false when anything failed to be written. A file
    // past the 4 GiB the format can state is refused.
    bool close();

private:
    std::ofstream m_file;
    int m_rate, m_channels;
    std::uint64_t m_dataBytes = 0;
    bool m_closed = false;
};

} // namespace swf::audio
