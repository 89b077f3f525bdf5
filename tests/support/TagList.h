#pragma once
// A stream of SWF tags: the root timeline of a SwfWriter or the nested list of a Sprite.
// Every helper appends one tag (unless its name says more) and returns the list for chaining.

#include "ButtonBuilder.h"
#include "FontBuilder.h"
#include "MorphShapeBuilder.h"
#include "ShapeBuilder.h"
#include "SwfRecords.h"
#include "TextBuilder.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane::testing {

// Tag codes used by the helpers; any other code goes through rawTag().
namespace tag {
inline constexpr std::uint16_t End = 0, ShowFrame = 1, DefineShape = 2, PlaceObject = 4, RemoveObject = 5,
                               DefineBits = 6, JPEGTables = 8, SetBackgroundColor = 9, DoAction = 12,
                               DefineBitsLossless = 20, DefineBitsJPEG2 = 21, DefineShape2 = 22,
                               PlaceObject2 = 26, RemoveObject2 = 28, DefineShape3 = 32, DefineBitsJPEG3 = 35,
                               DefineBitsLossless2 = 36, DefineSprite = 39, FrameLabel = 43,
                               DefineMorphShape = 46, DoInitAction = 59, FileAttributes = 69,
                               PlaceObject3 = 70, DefineShape4 = 83, DefineMorphShape2 = 84, DefineButton = 7, DefineButtonSound = 17,
                               DefineFont = 10, DefineText = 11, DefineFontInfo = 13, DefineSound = 14,
                               StartSound = 15, SoundStreamHead = 18, SoundStreamBlock = 19, DefineText2 = 33,
                               DefineButton2 = 34, DefineEditText = 37, SoundStreamHead2 = 45,
                               DefineFont2 = 48, ExportAssets = 56, DefineVideoStream = 60, VideoFrame = 61,
                               DefineFontInfo2 = 62, DefineFont3 = 75, DefineScalingGrid = 78, DefineSceneAndFrameLabelData = 86;
}

// The sound format byte: format << 4 | rate << 2 | 16-bit << 1 | stereo.
struct SoundFormat {
    std::uint8_t format = 3; // 0 PCM native, 1 ADPCM, 2 MP3, 3 PCM little-endian, 4-6 Nellymoser, 11 Speex
    std::uint8_t rate = 3;   // 0 5.5 kHz, 1 11 kHz, 2 22 kHz, 3 44 kHz
    bool is16Bit = true;
    bool stereo = false;

    std::uint8_t byte() const {
        return static_cast<std::uint8_t>((format & 0x0F) << 4 | (rate & 3) << 2 | (is16Bit ? 2 : 0) |
                                         (stereo ? 1 : 0));
    }
};

struct SoundEnvelopePoint {
    std::uint32_t pos44 = 0;
    std::uint16_t left = 32768;
    std::uint16_t right = 32768;
};

// SOUNDINFO of StartSound; fields present when set.
struct SoundInfo {
    bool syncStop = false;
    bool syncNoMultiple = false;
    std::optional<std::uint32_t> inPoint;
    std::optional<std::uint32_t> outPoint;
    std::optional<std::uint16_t> loopCount;
    std::optional<std::vector<SoundEnvelopePoint>> envelope;
};

// DefineBitsLossless(2) content before compression.
struct LosslessBitmap {
    std::uint8_t format = 5; // 3 colormapped, 4 RGB15, 5 32-bit
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t colorTableSize = 0;  // colours - 1, format 3 only
    std::vector<std::uint8_t> pixels; // palette then rows, uncompressed; compressed on writing
    std::optional<std::vector<std::uint8_t>> rawZlib; // written instead of compressing pixels

    // Format 5, row-major pixels. For DefineBitsLossless2 (withAlpha) the colour is stored
    // premultiplied as the format wants; otherwise the first byte of each pixel is 0.
    static LosslessBitmap truecolor(std::uint16_t width, std::uint16_t height,
                                    const std::vector<Rgba>& pixels, bool withAlpha);
    // Format 3: palette (RGB, or RGBA withAlpha) and one index a pixel; rows padded to 4 bytes.
    static LosslessBitmap colormapped(std::uint16_t width, std::uint16_t height,
                                      const std::vector<Rgba>& palette,
                                      const std::vector<std::uint8_t>& indices, bool withAlpha);
    // Format 4 (DefineBitsLossless only): 5 bits a channel, big-endian words, rows padded to 4 bytes.
    static LosslessBitmap rgb15(std::uint16_t width, std::uint16_t height, const std::vector<Rgba>& pixels);
};

enum class TagHeader { Auto, Long };

class Sprite;

class TagList {
public:
    virtual ~TagList() = default;

    // Any tag, body as given. Auto uses the short header for bodies under 63 bytes.
    TagList& rawTag(std::uint16_t code, std::span<const std::uint8_t> body,
                    TagHeader header = TagHeader::Auto);
    // Bytes appended to the tag stream as they are (for truncated or lying headers).
    TagList& rawBytes(std::span<const std::uint8_t> bytes);

    TagList& setBackgroundColor(Rgba color);
    TagList& fileAttributes(std::uint32_t flags);
    // version 1-4 picks DefineShape, DefineShape2, DefineShape3 or DefineShape4.
    TagList& defineShape(std::uint16_t id, const ShapeBuilder& shape, int version = 3);
    // version 1 or 2 picks DefineMorphShape or DefineMorphShape2.
    TagList& defineMorphShape(std::uint16_t id, const MorphShapeBuilder& morph, int version = 1);
    // frameCount defaults to the sprite's ShowFrame count.
    TagList& defineSprite(std::uint16_t id, const Sprite& sprite,
                          std::optional<std::uint16_t> frameCount = std::nullopt);

    // PlaceObject2 that puts a new character at depth.
    TagList& place(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix = {});
    // PlaceObject2 that moves what is at depth.
    TagList& moveTo(std::uint16_t depth, const Matrix& matrix);
    TagList& placeObject(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix,
                         const std::optional<ColorTransform>& cx = std::nullopt);
    TagList& placeObject2(const PlaceObject& p);
    TagList& placeObject3(const PlaceObject& p);
    TagList& removeObject(std::uint16_t characterId, std::uint16_t depth);
    TagList& removeObject2(std::uint16_t depth);
    TagList& showFrame(int count = 1);
    TagList& frameLabel(const std::string& name, bool anchor = false);

    // Action records without the closing 0 byte; the writer adds it.
    TagList& doAction(std::span<const std::uint8_t> actions);
    TagList& doInitAction(std::uint16_t spriteId, std::span<const std::uint8_t> actions);

    TagList& defineBitsLossless(std::uint16_t id, const LosslessBitmap& bitmap);
    TagList& defineBitsLossless2(std::uint16_t id, const LosslessBitmap& bitmap);
    TagList& jpegTables(std::span<const std::uint8_t> tables);
    TagList& defineBits(std::uint16_t id, std::span<const std::uint8_t> jpeg);
    TagList& defineBitsJpeg2(std::uint16_t id, std::span<const std::uint8_t> image);
    // alpha: one byte a pixel, uncompressed (the writer compresses it); empty writes none.
    TagList& defineBitsJpeg3(std::uint16_t id, std::span<const std::uint8_t> image,
                             std::span<const std::uint8_t> alpha);

    // Fonts and text; see FontBuilder and TextBuilder.
    TagList& defineFont(std::uint16_t id, const FontBuilder& font);
    TagList& defineFontInfo(std::uint16_t id, const FontBuilder& font, int version = 1);
    // version 2 or 3 picks DefineFont2 or DefineFont3.
    TagList& defineFont2(std::uint16_t id, const FontBuilder& font, int version = 2);
    // version 1 or 2 picks DefineText or DefineText2.
    TagList& defineText(std::uint16_t id, const TextBuilder& text, int version = 1);
    TagList& defineEditText(std::uint16_t id, const EditText& text);
    // version 1 or 2 picks DefineButton or DefineButton2.
    TagList& defineButton(std::uint16_t id, const ButtonBuilder& button, int version = 2);

    // Sound: data is the SoundData as stored (PCM samples, ADPCM bits, MP3 with its seek word).
    TagList& defineSound(std::uint16_t id, SoundFormat format, std::uint32_t sampleCount,
                         std::span<const std::uint8_t> data);
    TagList& startSound(std::uint16_t id, const SoundInfo& info = {});
    // One sound (0: none) for each of: over-up to idle, idle to over-up, over-up to
    // over-down, over-down to over-up.
    struct ButtonSound {
        std::uint16_t soundId = 0;
        SoundInfo info;
    };
    TagList& defineButtonSound(std::uint16_t buttonId, const std::array<ButtonSound, 4>& sounds);
    // version 1 or 2 picks SoundStreamHead or SoundStreamHead2; latencySeek is written when given.
    TagList& soundStreamHead(SoundFormat playback, SoundFormat stream, std::uint16_t samplesPerFrame,
                             std::optional<std::int16_t> latencySeek = std::nullopt, int version = 2);
    TagList& soundStreamBlock(std::span<const std::uint8_t> data);

    // Video: flags are the DefineVideoStream flag byte (deblocking << 1 | smoothing).
    TagList& defineVideoStream(std::uint16_t id, std::uint16_t frames, std::uint16_t width,
                               std::uint16_t height, std::uint8_t codec, std::uint8_t flags = 0);
    TagList& videoFrame(std::uint16_t streamId, std::uint16_t frame, std::span<const std::uint8_t> data);

    // The centre rectangle (twips) of a sprite's or button's nine-region stretch.
    TagList& defineScalingGrid(std::uint16_t id, const Rect& centre);
    TagList& exportAssets(const std::vector<std::pair<std::uint16_t, std::string>>& exports);
    // Scenes and labels as (0-based frame, name).
    TagList& defineSceneAndFrameLabelData(const std::vector<std::pair<std::uint32_t, std::string>>& scenes,
                                          const std::vector<std::pair<std::uint32_t, std::string>>& labels);

    // Closes the list; without it the list is closed when written.
    TagList& end();

    int showFrameCount() const { return m_showFrames; }
    bool ended() const { return m_ended; }
    // The tag stream so far (End added only by end()).
    const std::vector<std::uint8_t>& tagBytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    int m_showFrames = 0;
    bool m_ended = false;
};

// The nested tag list of a DefineSprite.
class Sprite : public TagList {};

} // namespace orvane::testing
