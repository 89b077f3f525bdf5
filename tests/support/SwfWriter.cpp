#include "SwfWriter.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

namespace orvane::testing {

SwfWriter& SwfWriter::setVersion(std::uint8_t version) {
    m_version = version;
    return *this;
}

SwfWriter& SwfWriter::setStage(const Rect& twips, int nbits) {
    m_stage = twips;
    m_stageBits = nbits;
    return *this;
}

SwfWriter& SwfWriter::setStageSize(int widthPixels, int heightPixels) {
    return setStage(Rect::pixels(widthPixels, heightPixels));
}

SwfWriter& SwfWriter::setFrameRate(double fps) {
    if (!(fps >= 0.0) || fps >= 256.0)
        throw std::invalid_argument("frame rate must be in [0, 256)");
    m_frameRate = static_cast<std::uint16_t>(std::lround(fps * 256.0));
    return *this;
}

SwfWriter& SwfWriter::setFrameRateRaw(std::uint16_t fixed8_8) {
    m_frameRate = fixed8_8;
    return *this;
}

SwfWriter& SwfWriter::setFrameCount(std::uint16_t count) {
    m_frameCount = count;
    return *this;
}

SwfWriter& SwfWriter::setCompression(Compression c) {
    m_compression = c;
    return *this;
}

SwfWriter& SwfWriter::setDeclaredLength(std::uint32_t length) {
    m_declaredLength = length;
    return *this;
}

SwfWriter& SwfWriter::setAppendEnd(bool append) {
    m_appendEnd = append;
    return *this;
}

std::vector<std::uint8_t> SwfWriter::body() const {
    ByteWriter w;
    encode::rect(w, m_stage, m_stageBits);
    w.u16(m_frameRate);
    w.u16(m_frameCount.value_or(static_cast<std::uint16_t>(showFrameCount())));
    w.bytes(tagBytes());
    if (m_appendEnd && !ended())
        w.u16(0);
    return w.take();
}

std::vector<std::uint8_t> SwfWriter::uncompressedBytes() const {
    const auto content = body();
    ByteWriter w;
    const char* signature = m_compression == Compression::Zlib   ? "CWS"
                            : m_compression == Compression::Lzma ? "ZWS"
                                                                 : "FWS";
    w.u8(static_cast<std::uint8_t>(signature[0]));
    w.u8('W');
    w.u8('S');
    w.u8(m_version);
    w.u32(m_declaredLength.value_or(static_cast<std::uint32_t>(content.size() + 8)));
    w.bytes(content);
    return w.take();
}

std::vector<std::uint8_t> SwfWriter::bytes() const {
    auto plain = uncompressedBytes();
    if (m_compression == Compression::None)
        return plain;
    const std::span<const std::uint8_t> content(plain.data() + 8, plain.size() - 8);
    ByteWriter w;
    w.bytes(std::span<const std::uint8_t>(plain.data(), 8));
    if (m_compression == Compression::Zlib) {
        w.bytes(zlibCompress(content));
    } else {
        const SwfLzma lzma = lzmaCompress(content);
        w.u32(static_cast<std::uint32_t>(lzma.data.size()));
        w.bytes(lzma.properties);
        w.bytes(lzma.data);
    }
    return w.take();
}

void SwfWriter::save(const std::string& path) const {
    const auto data = bytes();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace orvane::testing
