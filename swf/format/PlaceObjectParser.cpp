// Parsers for PlaceObject 1-4 and RemoveObject 1-2, including CLIPACTIONS.

#include "swf/format/PlaceObject.h"

namespace swf::format {
namespace {

std::uint32_t readEventFlags(io::ByteReader& r, bool wide) {
    if (!wide)
        return r.u16();
    // Tolerate a last end flag written with 2 bytes instead of 4.
    if (r.remaining() == 2)
        return r.u16();
    return r.u32();
}

// CLIPACTIONS; failures here drop the actions but keep the placement.
void readClipActions(io::ByteReader& r, const ParseContext& ctx, PlaceObject& out) {
    bool wide = ctx.swfVersion >= 6;
    r.u16(); // reserved
    out.allClipEvents = readEventFlags(r, wide);
    while (r.ok() && !r.atEnd()) {
        std::uint32_t events = readEventFlags(r, wide);
        if (events == 0 || !r.ok())
            break;
        std::uint32_t size = r.u32();
        io::ByteReader body = r.sub(size);
        if (!r.ok())
            break;
        ClipActionRecord rec;
        rec.events = events;
        if (events & kClipKeyPress)
            rec.keyCode = body.u8();
        rec.actions = body.rest();
        out.clipActions.push_back(rec);
    }
}

} // namespace

// PlaceObject, PlaceObject2, PlaceObject3, PlaceObject4
bool parsePlaceObject(TagCode code, io::ByteReader& r, const ParseContext& ctx, PlaceObject& out) {
    if (code == TagCode::PlaceObject) {
        out.version = 1;
        out.characterId = r.u16();
        out.depth = r.u16();
        out.matrix = readMatrix(r);
        if (!r.ok())
            return false;
        if (!r.atEnd()) {
            ColorTransform cx = readColorTransform(r, false);
            if (r.ok())
                out.colorTransform = cx;
        }
        return true;
    }
    out.version = code == TagCode::PlaceObject2 ? 2 : 3;
    std::uint8_t a = r.u8();
    std::uint8_t b = out.version == 3 ? r.u8() : 0;
    out.depth = r.u16();
    out.move = a & 0x01;
    bool hasCharacter = a & 0x02;
    bool hasImage = b & 0x10;
    if (out.version == 3 && ((b & 0x08) || (hasImage && !hasCharacter)))
        out.className = readString(r, ctx);
    if (hasCharacter)
        out.characterId = r.u16();
    if (a & 0x04)
        out.matrix = readMatrix(r);
    if (a & 0x08)
        out.colorTransform = readColorTransform(r, true);
    if (a & 0x10)
        out.ratio = r.u16();
    if (a & 0x20)
        out.name = readString(r, ctx);
    if (a & 0x40)
        out.clipDepth = r.u16();
    if (b & 0x01)
        out.filters = readFilterList(r);
    if (b & 0x02)
        out.blendMode = blendModeFromByte(r.u8());
    if (b & 0x04)
        out.cacheAsBitmap = r.u8() != 0;
    if (b & 0x20)
        out.visible = r.u8() != 0;
    if (b & 0x40)
        out.backgroundColor = readRgba(r);
    if (!r.ok())
        return false;
    if ((a & 0x80) && ctx.swfVersion >= 5)
        readClipActions(r, ctx, out);
    return true;
}

// RemoveObject, RemoveObject2
bool parseRemoveObject(TagCode code, io::ByteReader& r, std::uint16_t& depth) {
    if (code == TagCode::RemoveObject)
        r.u16(); // character id: the depth alone decides
    depth = r.u16();
    return r.ok();
}

} // namespace swf::format
