#pragma once
// One entry of a timeline's display list. PlaceState is everything the control
// tags say about a depth; it is also what seek snapshots store. DisplayObject adds
// what a live object has beyond that: its kind and the kind's state
// (objects/ObjectState.h), its identity and what scripts set on it.
//
// Who changes what: display lists change only through the World's operations
// (World.h; the timeline, scripts and tools alike), so the placement rules live in
// one place. Script hosts may write the common fields below and the kind's state.

#include "swf/format/Character.h"
#include "swf/format/PlaceObject.h"
#include "swf/format/Records.h"
#include "swf/timeline/objects/ObjectState.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace swf::timeline {

class Clip;

struct PlaceState {
    int depth = 0;
    std::uint16_t characterId = 0;
    format::Matrix matrix;
    format::ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::uint16_t clipDepth = 0; // > 0: this object masks depths (depth, clipDepth]
    std::string name;
    format::BlendMode blendMode = format::BlendMode::Normal;
    std::vector<format::Filter> filters;
    bool visible = true;
    // Drawn through a kept raster of the object (PlaceObject3's flag; scripts may set it).
    bool cacheAsBitmap = false;
    // Opaque fill of the object's bounds drawn under it (PlaceObject3's background colour;
    // scripts may set it, alpha is always 255 then); nullopt for none.
    std::optional<format::Rgba> opaqueBackground;
    // Clip actions of the placement (spans into the movie body); sprites only.
    std::uint32_t clipEvents = 0;
    std::vector<format::ClipActionRecord> clipActions;

    // Merges a PlaceObject's supplied fields over this state.
    void apply(const format::PlaceObject& place);
};

struct DisplayObject : PlaceState {
    // Never null for an object on a display list; points into the movie's dictionary.
    const format::Character* character = nullptr;
    // Fixed by the character when the object is made.
    ObjectKind kind = ObjectKind::Other;
    // The kind's own state; never null for an object the world made (lists the renderer
    // builds for itself may leave it null: then the character's defaults apply).
    std::unique_ptr<ObjectState> state;
    // The nested timeline instance when the character is a sprite (null when the
    // sprite could not be instantiated because nesting or the object budget ran out).
    std::shared_ptr<Clip> clip;
    // Unique per instance for the player's lifetime; identity survives moves.
    std::uint64_t serial = 0;
    // Created by script rather than by the timeline: gotos leave it alone.
    bool scripted = false;
    // A script set its transform or colour: timeline moves no longer change those.
    bool scriptTransformed = false;

    // scrollRect (set by scripts only): the object shows only this rectangle of its own
    // space (twips), moved to its origin, so xMin/yMin scroll the content.
    std::optional<format::Rect> scrollRect;
    // scale9Grid: the centre rectangle (local twips) of a nine-region stretch. Starts as the
    // sprite's or button's DefineScalingGrid; scripts may replace or clear it.
    std::optional<format::Rect> scale9Grid;
    // The object masking this one by serial (setMask; 0 for none).
    std::uint64_t scriptMask = 0;

    // The state as a given kind's class (objects/*.h), or null when it is another kind.
    template <typename T> T* as() { return dynamic_cast<T*>(state.get()); }
    template <typename T> const T* as() const { return dynamic_cast<const T*>(state.get()); }
};

// Objects of one timeline instance by depth, lowest (drawn first) to highest. A depth
// holds one object, except in SWF 5 movies where a second placement on a depth keeps both
// (the newer drawn under, so earlier in the list).
using DisplayList = std::multimap<int, DisplayObject>;
// Placement state by depth: what a timeline's tags give for a frame.
using PlaceMap = std::multimap<int, PlaceState>;

// The entry tags and scripts act on at `depth` (the top one where there are several),
// or end() when the depth is empty.
template <typename Map> auto addressed(Map& map, int depth) {
    auto above = map.upper_bound(depth);
    if (above == map.begin())
        return map.end();
    auto top = std::prev(above);
    return top->first == depth ? top : map.end();
}

} // namespace swf::timeline
