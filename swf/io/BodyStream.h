#pragma once
// A movie body read front to back through a small window, decompressed as it goes: tag
// headers of a body of any size can be walked in a few hundred kilobytes, and nothing
// past `limit` bytes is ever decoded.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct z_stream_s;

namespace swf::io {

class BodyStream {
public:
    enum class Codec { None, Zlib, SwfLzma }; // SwfLzma: 5 property bytes, then raw LZMA1
    // Fills `into` with up to `max` bytes of the stored body; 0 at its end (or on an error,
    // which `readError` then names).
    using Source = std::function<std::size_t(std::uint8_t* into, std::size_t max, std::string& readError)>;

    BodyStream(Codec codec, Source source, std::uint64_t limit);
    ~BodyStream();
    BodyStream(const BodyStream&) = delete;
    BodyStream& operator=(const BodyStream&) = delete;

    // Copies up to `n` bytes; fewer at the end of the body, at the limit or on an error.
    std::size_t read(std::uint8_t* into, std::size_t n);
    // Passes over up to `n` bytes without keeping them; returns how many.
    std::uint64_t skip(std::uint64_t n);
    // Body bytes passed so far.
    std::uint64_t position() const { return m_position; }
    // Once reading is done: whether the body went on past `limit` bytes (it decodes one
    // byte more, so nothing may be read after it).
    bool pastLimit();
    // Why the body ended early (damaged data, a read error); empty when it ended cleanly.
    const std::string& error() const { return m_error; }

private:
    bool fill();
    bool fillInput();

    Codec m_codec;
    Source m_source;
    std::uint64_t m_limit;
    std::uint64_t m_position = 0;
    std::uint64_t m_produced = 0;
    std::vector<std::uint8_t> m_in, m_out;
    std::size_t m_inAt = 0, m_inEnd = 0, m_outAt = 0, m_outEnd = 0;
    bool m_sourceDone = false;
    bool m_ended = false; // the decoder reached its end of stream
    std::string m_error;
    z_stream_s* m_zlib = nullptr;
    void* m_lzma = nullptr; // lzma_stream
};

} // namespace swf::io
