#pragma once
// Bitmaps, video streams and binary data. Bitmaps stay raw: the renderer's media
// layer decodes them on first use.

#include "swf/format/Character.h"
#include "swf/format/Records.h"
#include "swf/format/TagCode.h"

#include <map>
#include <memory>
#include <vector>

namespace swf::format {

struct BitmapCharacter : Character {
    BitmapCharacter() : Character(0, CharacterKind::Bitmap) {}
    TagCode tag = TagCode::DefineBits;
    std::vector<std::uint8_t> data; // tag body after the character id
};

struct VideoStreamCharacter : Character {
    VideoStreamCharacter() : Character(0, CharacterKind::VideoStream) {}
    std::uint16_t frameCount = 0;
    std::uint16_t width = 0, height = 0; // pixels
    std::uint8_t deblocking = 0;
    bool smoothing = false;
    std::uint8_t codec = 0;
    // VideoFrame payloads by frame number, gathered from the whole movie at load.
    std::map<std::uint16_t, std::vector<std::uint8_t>> frames;
};

struct BinaryDataCharacter : Character {
    BinaryDataCharacter() : Character(0, CharacterKind::BinaryData) {}
    std::vector<std::uint8_t> data;
};

std::unique_ptr<BitmapCharacter> parseBitmap(TagCode code, io::ByteReader& r);
std::unique_ptr<VideoStreamCharacter> parseVideoStream(io::ByteReader& r);
std::unique_ptr<BinaryDataCharacter> parseBinaryData(io::ByteReader& r);

} // namespace swf::format
