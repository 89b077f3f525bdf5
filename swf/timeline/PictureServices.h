#pragma once
// Picture work that scripts ask for but only the drawing layer can do (it decodes images
// and rasterises display lists): BitmapData.draw of a clip, BitmapData.loadBitmap of an
// exported bitmap. The engine core knows this interface only; the session installs the
// drawing layer's implementation, and without one these requests fail quietly.

#include "swf/timeline/objects/Pixels.h"

#include <cstdint>
#include <memory>
#include <span>

namespace swf::format {
struct Character;
struct ColorTransform;
} // namespace swf::format

namespace swf::timeline {

class Clip;

class PictureServices {
public:
    virtual ~PictureServices() = default;

    // The image of a bitmap character as premultiplied pixels; null when it does not decode.
    // `transparent` tells whether the format can hold alpha (lossless with alpha, JPEG 3 and 4).
    virtual std::shared_ptr<Pixels> decodeBitmap(const Clip& owner, const format::Character& bitmap,
                                                 bool& transparent) = 0;

    // A JPEG, PNG or GIF file's first picture; null for anything else, or a picture too large
    // (the same limits as bitmap characters).
    virtual std::shared_ptr<Pixels> decodeImage(std::span<const std::uint8_t> file) = 0;

    // Draws `clip`'s content over `target`: `matrix` (a b c d tx ty) maps the clip's pixels to
    // the target's, `tint` (may be null) colours it, and nothing lands outside the target's
    // rectangle (x0, y0)-(x1, y1).
    virtual bool drawClip(const Clip& clip, Pixels& target, const double (&matrix)[6],
                          const format::ColorTransform* tint, const double (&area)[4], bool smoothing) = 0;
};

} // namespace swf::timeline
