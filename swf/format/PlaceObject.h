#pragma once
// Display-list control records: PlaceObject 1-3 (and 4, read as 3), RemoveObject 1-2,
// and the clip actions a placement may carry.

#include "swf/format/Records.h"
#include "swf/format/TagCode.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::format {

// Clip event bits in the SWF 6+ layout (32 bits, first byte in the low byte).
// SWF 5 files store only the first two bytes; they map to the same bits.
enum ClipEvent : std::uint32_t {
    kClipLoad = 0x00000001,
    kClipEnterFrame = 0x00000002,
    kClipUnload = 0x00000004,
    kClipMouseMove = 0x00000008,
    kClipMouseDown = 0x00000010,
    kClipMouseUp = 0x00000020,
    kClipKeyDown = 0x00000040,
    kClipKeyUp = 0x00000080,
    kClipData = 0x00000100,
    kClipInitialize = 0x00000200,
    kClipPress = 0x00000400,
    kClipRelease = 0x00000800,
    kClipReleaseOutside = 0x00001000,
    kClipRollOver = 0x00002000,
    kClipRollOut = 0x00004000,
    kClipDragOver = 0x00008000,
    kClipDragOut = 0x00010000,
    kClipKeyPress = 0x00020000,
    kClipConstruct = 0x00040000,
};

struct ClipActionRecord {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0;
    std::span<const std::uint8_t> actions; // points into the tag body
};

struct PlaceObject {
    int version = 2;
    std::uint16_t depth = 0;
    bool move = false;
    std::optional<std::uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<std::uint16_t> clipDepth;
    std::optional<std::vector<Filter>> filters;
    std::optional<BlendMode> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> backgroundColor;
    std::optional<std::string> className;
    std::uint32_t allClipEvents = 0;
    std::vector<ClipActionRecord> clipActions;
};

// PlaceObject, PlaceObject2, PlaceObject3 and PlaceObject4; false when broken.
bool parsePlaceObject(TagCode code, io::ByteReader& r, const ParseContext& ctx, PlaceObject& out);
// RemoveObject or RemoveObject2: the depth to clear; false when broken.
bool parseRemoveObject(TagCode code, io::ByteReader& r, std::uint16_t& depth);

} // namespace swf::format
