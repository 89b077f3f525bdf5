#pragma once
// Builds whole SWF movies in memory for tests: the only source of test movies.
//
//   SwfWriter movie;                                   // SWF 10, 550 x 400, 24 fps, FWS
//   movie.setCompression(Compression::Zlib);
//   ShapeBuilder box;
//   box.setFill0(box.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, 2000, 2000);
//   movie.setBackgroundColor({255, 255, 255});
//   movie.defineShape(1, box).place(1, 1).showFrame();
//   std::vector<std::uint8_t> file = movie.bytes();    // frame count 1, End appended
//
// Header fields are computed unless overridden: FileLength from the body, FrameCount from
// the ShowFrame tags of the root list.

#include "BitWriter.h"
#include "ByteWriter.h"
#include "Compression.h"
#include "MorphShapeBuilder.h"
#include "ShapeBuilder.h"
#include "SwfRecords.h"
#include "TagList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::testing {

enum class Compression { None, Zlib, Lzma }; // FWS, CWS, ZWS

class SwfWriter : public TagList {
public:
    SwfWriter& setVersion(std::uint8_t version);
    // Stage rectangle in twips; nbits < 0 uses the smallest field width.
    SwfWriter& setStage(const Rect& twips, int nbits = -1);
    SwfWriter& setStageSize(int widthPixels, int heightPixels);
    SwfWriter& setFrameRate(double fps);                // stored as 8.8
    SwfWriter& setFrameRateRaw(std::uint16_t fixed8_8); // e.g. 0 for a zero rate
    SwfWriter& setFrameCount(std::uint16_t count);      // instead of the ShowFrame count
    SwfWriter& setCompression(Compression c);
    SwfWriter& setDeclaredLength(std::uint32_t length); // instead of the true length
    // Without End the file stops after the last tag (files that lack it exist).
    SwfWriter& setAppendEnd(bool append);

    std::uint8_t version() const { return m_version; }

    // The file as written, compressed as set.
    std::vector<std::uint8_t> bytes() const;
    // The uncompressed file: what a reader sees after inflating (signature kept).
    std::vector<std::uint8_t> uncompressedBytes() const;
    // Writes bytes() to path; throws std::runtime_error on failure.
    void save(const std::string& path) const;

private:
    std::vector<std::uint8_t> body() const; // everything after the 8-byte header, uncompressed

    std::uint8_t m_version = 10;
    Rect m_stage = Rect::pixels(550, 400);
    int m_stageBits = -1;
    std::uint16_t m_frameRate = 24 << 8;
    std::optional<std::uint16_t> m_frameCount;
    Compression m_compression = Compression::None;
    std::optional<std::uint32_t> m_declaredLength;
    bool m_appendEnd = true;
};

} // namespace orvane::testing
