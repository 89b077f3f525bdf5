#pragma once
// An embedded video stream (DefineVideoStream) on a display list. The video code (issue 17)
// decodes the frame the placement's ratio names into `picture`; the renderer shows the
// picture scaled to the stream's size and nothing while there is none.

#include "swf/timeline/objects/ObjectState.h"
#include "swf/timeline/objects/Pixels.h"

#include <memory>

namespace swf::timeline {

class VideoObject final : public ObjectState {
public:
    ObjectKind kind() const override { return ObjectKind::Video; }
    std::optional<format::Rect> bounds(const DisplayObject& self) const override;

    // The frame shown now; null until one is decoded.
    std::shared_ptr<const Pixels> picture;
    // The stream frame `picture` holds, -1 for none.
    int decodedFrame = -1;
    bool smoothing = false;
};

} // namespace swf::timeline
