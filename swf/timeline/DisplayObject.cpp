#include "swf/timeline/DisplayObject.h"

namespace swf::timeline {

void PlaceState::apply(const format::PlaceObject& place) {
    if (place.matrix)
        matrix = *place.matrix;
    if (place.colorTransform)
        colorTransform = *place.colorTransform;
    if (place.ratio)
        ratio = *place.ratio;
    if (place.name)
        name = *place.name;
    if (place.clipDepth)
        clipDepth = *place.clipDepth;
    if (place.filters)
        filters = *place.filters;
    if (place.blendMode)
        blendMode = *place.blendMode;
    if (place.cacheAsBitmap)
        cacheAsBitmap = *place.cacheAsBitmap;
    if (place.visible)
        visible = *place.visible;
    if (place.backgroundColor)
        opaqueBackground = *place.backgroundColor;
    if (!place.clipActions.empty()) {
        clipEvents = place.allClipEvents;
        clipActions = place.clipActions;
    }
}

} // namespace swf::timeline
