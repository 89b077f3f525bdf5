#include "TagList.h"

#include "Compression.h"

#include <stdexcept>

namespace orvane::testing {

namespace {

std::vector<std::uint8_t> padRows(const std::vector<std::uint8_t>& rows, std::size_t rowBytes,
                                  std::size_t height) {
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    std::vector<std::uint8_t> out;
    out.reserve(stride * height);
    for (std::size_t y = 0; y < height; ++y) {
        out.insert(out.end(), rows.begin() + y * rowBytes, rows.begin() + (y + 1) * rowBytes);
        out.resize(out.size() + (stride - rowBytes), 0);
    }
    return out;
}

void checkPixelCount(std::size_t have, std::uint16_t width, std::uint16_t height) {
    if (have != std::size_t(width) * height)
        throw std::invalid_argument("pixel count does not match the bitmap size");
}

std::vector<std::uint8_t> losslessBody(std::uint16_t id, const LosslessBitmap& b) {
    ByteWriter w;
    w.u16(id);
    w.u8(b.format);
    w.u16(b.width);
    w.u16(b.height);
    if (b.format == 3)
        w.u8(b.colorTableSize);
    w.bytes(b.rawZlib ? *b.rawZlib : zlibCompress(b.pixels));
    return w.take();
}

void placeBody(ByteWriter& w, const PlaceObject& p, bool version3) {
    std::uint8_t flags = 0;
    if (!p.clipActions.empty())
        flags |= 0x80;
    if (p.clipDepth)
        flags |= 0x40;
    if (p.name)
        flags |= 0x20;
    if (p.ratio)
        flags |= 0x10;
    if (p.colorTransform)
        flags |= 0x08;
    if (p.matrix)
        flags |= 0x04;
    if (p.characterId)
        flags |= 0x02;
    if (p.move)
        flags |= 0x01;
    w.u8(flags);
    if (version3) {
        std::uint8_t more = 0;
        if (p.backgroundColor)
            more |= 0x40;
        if (p.visible)
            more |= 0x20;
        if (p.hasImage)
            more |= 0x10;
        if (p.className)
            more |= 0x08;
        if (p.bitmapCache)
            more |= 0x04;
        if (p.blendMode)
            more |= 0x02;
        if (p.filters)
            more |= 0x01;
        w.u8(more);
    }
    w.u16(p.depth);
    if (version3 && p.className)
        w.string(*p.className);
    if (p.characterId)
        w.u16(*p.characterId);
    if (p.matrix)
        encode::matrix(w, *p.matrix);
    if (p.colorTransform)
        encode::colorTransform(w, *p.colorTransform, true);
    if (p.ratio)
        w.u16(*p.ratio);
    if (p.name)
        w.string(*p.name);
    if (p.clipDepth)
        w.u16(*p.clipDepth);
    if (version3) {
        if (p.filters)
            encode::filters(w, *p.filters);
        if (p.blendMode)
            w.u8(*p.blendMode);
        if (p.bitmapCache)
            w.u8(*p.bitmapCache);
        if (p.visible)
            w.u8(*p.visible);
        if (p.backgroundColor)
            encode::rgba(w, *p.backgroundColor);
    }
    if (!p.clipActions.empty())
        encode::clipActions(w, p.clipActions, p.clipEventBytes);
}

} // namespace

LosslessBitmap LosslessBitmap::truecolor(std::uint16_t width, std::uint16_t height,
                                         const std::vector<Rgba>& pixels, bool withAlpha) {
    checkPixelCount(pixels.size(), width, height);
    LosslessBitmap b;
    b.format = 5;
    b.width = width;
    b.height = height;
    b.pixels.reserve(pixels.size() * 4);
    for (const Rgba& p : pixels) {
        if (withAlpha) {
            b.pixels.push_back(p.a);
            b.pixels.push_back(static_cast<std::uint8_t>((p.r * p.a + 127) / 255));
            b.pixels.push_back(static_cast<std::uint8_t>((p.g * p.a + 127) / 255));
            b.pixels.push_back(static_cast<std::uint8_t>((p.b * p.a + 127) / 255));
        } else {
            b.pixels.push_back(0);
            b.pixels.push_back(p.r);
            b.pixels.push_back(p.g);
            b.pixels.push_back(p.b);
        }
    }
    return b;
}

LosslessBitmap LosslessBitmap::colormapped(std::uint16_t width, std::uint16_t height,
                                           const std::vector<Rgba>& palette,
                                           const std::vector<std::uint8_t>& indices, bool withAlpha) {
    checkPixelCount(indices.size(), width, height);
    if (palette.empty() || palette.size() > 256)
        throw std::invalid_argument("a palette holds 1 to 256 colours");
    LosslessBitmap b;
    b.format = 3;
    b.width = width;
    b.height = height;
    b.colorTableSize = static_cast<std::uint8_t>(palette.size() - 1);
    for (const Rgba& c : palette) {
        b.pixels.push_back(c.r);
        b.pixels.push_back(c.g);
        b.pixels.push_back(c.b);
        if (withAlpha)
            b.pixels.push_back(c.a);
    }
    const auto rows = padRows(indices, width, height);
    b.pixels.insert(b.pixels.end(), rows.begin(), rows.end());
    return b;
}

LosslessBitmap LosslessBitmap::rgb15(std::uint16_t width, std::uint16_t height,
                                     const std::vector<Rgba>& pixels) {
    checkPixelCount(pixels.size(), width, height);
    std::vector<std::uint8_t> rows;
    rows.reserve(pixels.size() * 2);
    for (const Rgba& p : pixels) {
        const std::uint16_t v = static_cast<std::uint16_t>((p.r >> 3) << 10 | (p.g >> 3) << 5 | (p.b >> 3));
        rows.push_back(static_cast<std::uint8_t>(v >> 8));
        rows.push_back(static_cast<std::uint8_t>(v));
    }
    LosslessBitmap b;
    b.format = 4;
    b.width = width;
    b.height = height;
    b.pixels = padRows(rows, std::size_t(width) * 2, height);
    return b;
}

TagList& TagList::rawTag(std::uint16_t code, std::span<const std::uint8_t> body, TagHeader header) {
    if (code > 0x3FF)
        throw std::invalid_argument("tag code out of range");
    if (body.size() > 0xFFFFFFFFull)
        throw std::invalid_argument("tag body too long");
    ByteWriter w;
    if (header == TagHeader::Auto && body.size() < 0x3F) {
        w.u16(static_cast<std::uint16_t>(code << 6 | body.size()));
    } else {
        w.u16(static_cast<std::uint16_t>(code << 6 | 0x3F));
        w.u32(static_cast<std::uint32_t>(body.size()));
    }
    w.bytes(body);
    const auto& head = w.data();
    m_bytes.insert(m_bytes.end(), head.begin(), head.end());
    if (code == tag::ShowFrame)
        ++m_showFrames;
    if (code == tag::End)
        m_ended = true;
    return *this;
}

TagList& TagList::rawBytes(std::span<const std::uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

TagList& TagList::setBackgroundColor(Rgba color) {
    ByteWriter w;
    encode::rgb(w, color);
    return rawTag(tag::SetBackgroundColor, w.data());
}

TagList& TagList::fileAttributes(std::uint32_t flags) {
    ByteWriter w;
    w.u32(flags);
    return rawTag(tag::FileAttributes, w.data());
}

TagList& TagList::defineShape(std::uint16_t id, const ShapeBuilder& shape, int version) {
    static constexpr std::uint16_t codes[] = {tag::DefineShape, tag::DefineShape2, tag::DefineShape3,
                                              tag::DefineShape4};
    if (version < 1 || version > 4)
        throw std::invalid_argument("shape version is 1 to 4");
    ByteWriter w;
    w.u16(id);
    encode::rect(w, shape.bounds());
    if (version == 4) {
        encode::rect(w, shape.edgeBounds());
        w.u8(shape.flags());
    }
    w.bytes(shape.encodeWithStyles(version));
    return rawTag(codes[version - 1], w.data());
}

TagList& TagList::defineMorphShape(std::uint16_t id, const MorphShapeBuilder& morph, int version) {
    if (version < 1 || version > 2)
        throw std::invalid_argument("morph shape version is 1 or 2");
    return rawTag(version == 1 ? tag::DefineMorphShape : tag::DefineMorphShape2, morph.encode(id, version));
}

TagList& TagList::defineSprite(std::uint16_t id, const Sprite& sprite,
                               std::optional<std::uint16_t> frameCount) {
    ByteWriter w;
    w.u16(id);
    w.u16(frameCount.value_or(static_cast<std::uint16_t>(sprite.showFrameCount())));
    w.bytes(sprite.tagBytes());
    if (!sprite.ended())
        w.u16(0);
    return rawTag(tag::DefineSprite, w.data());
}

TagList& TagList::place(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = characterId;
    p.matrix = matrix;
    return placeObject2(p);
}

TagList& TagList::moveTo(std::uint16_t depth, const Matrix& matrix) {
    PlaceObject p;
    p.depth = depth;
    p.move = true;
    p.matrix = matrix;
    return placeObject2(p);
}

TagList& TagList::placeObject(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix,
                              const std::optional<ColorTransform>& cx) {
    ByteWriter w;
    w.u16(characterId);
    w.u16(depth);
    encode::matrix(w, matrix);
    if (cx)
        encode::colorTransform(w, *cx, false);
    return rawTag(tag::PlaceObject, w.data());
}

TagList& TagList::placeObject2(const PlaceObject& p) {
    ByteWriter w;
    placeBody(w, p, false);
    return rawTag(tag::PlaceObject2, w.data());
}

TagList& TagList::placeObject3(const PlaceObject& p) {
    ByteWriter w;
    placeBody(w, p, true);
    return rawTag(tag::PlaceObject3, w.data());
}

TagList& TagList::removeObject(std::uint16_t characterId, std::uint16_t depth) {
    ByteWriter w;
    w.u16(characterId);
    w.u16(depth);
    return rawTag(tag::RemoveObject, w.data());
}

TagList& TagList::removeObject2(std::uint16_t depth) {
    ByteWriter w;
    w.u16(depth);
    return rawTag(tag::RemoveObject2, w.data());
}

TagList& TagList::showFrame(int count) {
    for (int i = 0; i < count; ++i)
        rawTag(tag::ShowFrame, {});
    return *this;
}

TagList& TagList::frameLabel(const std::string& name, bool anchor) {
    ByteWriter w;
    w.string(name);
    if (anchor)
        w.u8(1);
    return rawTag(tag::FrameLabel, w.data());
}

TagList& TagList::doAction(std::span<const std::uint8_t> actions) {
    ByteWriter w;
    w.bytes(actions);
    w.u8(0);
    return rawTag(tag::DoAction, w.data());
}

TagList& TagList::doInitAction(std::uint16_t spriteId, std::span<const std::uint8_t> actions) {
    ByteWriter w;
    w.u16(spriteId);
    w.bytes(actions);
    w.u8(0);
    return rawTag(tag::DoInitAction, w.data());
}

TagList& TagList::defineBitsLossless(std::uint16_t id, const LosslessBitmap& bitmap) {
    return rawTag(tag::DefineBitsLossless, losslessBody(id, bitmap), TagHeader::Long);
}

TagList& TagList::defineBitsLossless2(std::uint16_t id, const LosslessBitmap& bitmap) {
    return rawTag(tag::DefineBitsLossless2, losslessBody(id, bitmap), TagHeader::Long);
}

TagList& TagList::jpegTables(std::span<const std::uint8_t> tables) {
    return rawTag(tag::JPEGTables, tables, TagHeader::Long);
}

TagList& TagList::defineBits(std::uint16_t id, std::span<const std::uint8_t> jpeg) {
    ByteWriter w;
    w.u16(id);
    w.bytes(jpeg);
    return rawTag(tag::DefineBits, w.data(), TagHeader::Long);
}

TagList& TagList::defineBitsJpeg2(std::uint16_t id, std::span<const std::uint8_t> image) {
    ByteWriter w;
    w.u16(id);
    w.bytes(image);
    return rawTag(tag::DefineBitsJPEG2, w.data(), TagHeader::Long);
}

TagList& TagList::defineBitsJpeg3(std::uint16_t id, std::span<const std::uint8_t> image,
                                  std::span<const std::uint8_t> alpha) {
    ByteWriter w;
    w.u16(id);
    w.u32(static_cast<std::uint32_t>(image.size()));
    w.bytes(image);
    if (!alpha.empty())
        w.bytes(zlibCompress(alpha));
    return rawTag(tag::DefineBitsJPEG3, w.data(), TagHeader::Long);
}

TagList& TagList::defineFont(std::uint16_t id, const FontBuilder& font) {
    return rawTag(tag::DefineFont, font.encodeFont1(id));
}

TagList& TagList::defineFontInfo(std::uint16_t id, const FontBuilder& font, int version) {
    return rawTag(version >= 2 ? tag::DefineFontInfo2 : tag::DefineFontInfo,
                  font.encodeFontInfo(id, version));
}

TagList& TagList::defineFont2(std::uint16_t id, const FontBuilder& font, int version) {
    if (version != 2 && version != 3)
        throw std::invalid_argument("DefineFont2 or DefineFont3 only");
    return rawTag(version == 3 ? tag::DefineFont3 : tag::DefineFont2, font.encodeFont2(id, version));
}

TagList& TagList::defineText(std::uint16_t id, const TextBuilder& text, int version) {
    return rawTag(version >= 2 ? tag::DefineText2 : tag::DefineText, text.encode(id, version));
}

TagList& TagList::defineEditText(std::uint16_t id, const EditText& text) {
    return rawTag(tag::DefineEditText, text.encode(id));
}

TagList& TagList::defineButton(std::uint16_t id, const ButtonBuilder& button, int version) {
    return rawTag(version >= 2 ? tag::DefineButton2 : tag::DefineButton, button.encode(id, version));
}

TagList& TagList::defineSound(std::uint16_t id, SoundFormat format, std::uint32_t sampleCount,
                              std::span<const std::uint8_t> data) {
    ByteWriter w;
    w.u16(id);
    w.u8(format.byte());
    w.u32(sampleCount);
    w.bytes(data);
    return rawTag(tag::DefineSound, w.data(), TagHeader::Long);
}

namespace {

void writeSoundInfo(ByteWriter& w, const SoundInfo& info) {
    w.u8(static_cast<std::uint8_t>((info.syncStop ? 0x20 : 0) | (info.syncNoMultiple ? 0x10 : 0) |
                                   (info.envelope ? 0x08 : 0) | (info.loopCount ? 0x04 : 0) |
                                   (info.outPoint ? 0x02 : 0) | (info.inPoint ? 0x01 : 0)));
    if (info.inPoint)
        w.u32(*info.inPoint);
    if (info.outPoint)
        w.u32(*info.outPoint);
    if (info.loopCount)
        w.u16(*info.loopCount);
    if (info.envelope) {
        if (info.envelope->size() > 255)
            throw std::invalid_argument("an envelope holds at most 255 points");
        w.u8(static_cast<std::uint8_t>(info.envelope->size()));
        for (const SoundEnvelopePoint& p : *info.envelope) {
            w.u32(p.pos44);
            w.u16(p.left);
            w.u16(p.right);
        }
    }
}

} // namespace

TagList& TagList::defineButtonSound(std::uint16_t buttonId, const std::array<ButtonSound, 4>& sounds) {
    ByteWriter w;
    w.u16(buttonId);
    for (const ButtonSound& s : sounds) {
        w.u16(s.soundId);
        if (s.soundId != 0)
            writeSoundInfo(w, s.info);
    }
    return rawTag(tag::DefineButtonSound, w.data());
}

TagList& TagList::startSound(std::uint16_t id, const SoundInfo& info) {
    ByteWriter w;
    w.u16(id);
    writeSoundInfo(w, info);
    return rawTag(tag::StartSound, w.data());
}

TagList& TagList::soundStreamHead(SoundFormat playback, SoundFormat stream, std::uint16_t samplesPerFrame,
                                  std::optional<std::int16_t> latencySeek, int version) {
    ByteWriter w;
    w.u8(playback.byte() & 0x0F);
    w.u8(stream.byte());
    w.u16(samplesPerFrame);
    if (latencySeek)
        w.s16(*latencySeek);
    return rawTag(version >= 2 ? tag::SoundStreamHead2 : tag::SoundStreamHead, w.data());
}

TagList& TagList::soundStreamBlock(std::span<const std::uint8_t> data) {
    return rawTag(tag::SoundStreamBlock, data, TagHeader::Long);
}

TagList& TagList::defineVideoStream(std::uint16_t id, std::uint16_t frames, std::uint16_t width,
                                    std::uint16_t height, std::uint8_t codec, std::uint8_t flags) {
    ByteWriter w;
    w.u16(id);
    w.u16(frames);
    w.u16(width);
    w.u16(height);
    w.u8(flags);
    w.u8(codec);
    return rawTag(tag::DefineVideoStream, w.data());
}

TagList& TagList::videoFrame(std::uint16_t streamId, std::uint16_t frame,
                             std::span<const std::uint8_t> data) {
    ByteWriter w;
    w.u16(streamId);
    w.u16(frame);
    w.bytes(data);
    return rawTag(tag::VideoFrame, w.data(), TagHeader::Long);
}

TagList& TagList::defineScalingGrid(std::uint16_t id, const Rect& centre) {
    ByteWriter w;
    w.u16(id);
    encode::rect(w, centre);
    return rawTag(tag::DefineScalingGrid, w.data());
}

TagList& TagList::exportAssets(const std::vector<std::pair<std::uint16_t, std::string>>& exports) {
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(exports.size()));
    for (const auto& [id, name] : exports) {
        w.u16(id);
        w.string(name);
    }
    return rawTag(tag::ExportAssets, w.data());
}

TagList&
TagList::defineSceneAndFrameLabelData(const std::vector<std::pair<std::uint32_t, std::string>>& scenes,
                                      const std::vector<std::pair<std::uint32_t, std::string>>& labels) {
    ByteWriter w;
    w.encodedU32(static_cast<std::uint32_t>(scenes.size()));
    for (const auto& [frame, name] : scenes) {
        w.encodedU32(frame);
        w.string(name);
    }
    w.encodedU32(static_cast<std::uint32_t>(labels.size()));
    for (const auto& [frame, name] : labels) {
        w.encodedU32(frame);
        w.string(name);
    }
    return rawTag(tag::DefineSceneAndFrameLabelData, w.data());
}

TagList& TagList::end() {
    return rawTag(tag::End, {});
}

} // namespace orvane::testing
