#pragma once
// A bitmap on a display list: the character's own image until something gives it pixels
// of its own (a BitmapData attached by script, issue 15).

#include "swf/timeline/objects/ObjectState.h"
#include "swf/timeline/objects/Pixels.h"

#include <memory>

namespace swf::timeline {

class BitmapObject final : public ObjectState {
public:
    ObjectKind kind() const override { return ObjectKind::Bitmap; }
    std::optional<format::Rect> bounds(const DisplayObject& self) const override;

    // Null: draw the character's image. Shared because a BitmapData may show in several places.
    std::shared_ptr<const Pixels> pixels;
    bool smoothing = true;
};

} // namespace swf::timeline
