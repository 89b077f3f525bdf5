#pragma once
// One entry of a timeline's display list. PlaceState is everything the control
// tags say about a depth; it is also what seek snapshots store.

#include "swf/format/Character.h"
#include "swf/format/PlaceObject.h"
#include "swf/format/Records.h"

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
    bool cacheAsBitmap = false;
    std::optional<format::Rgba> backgroundColor;
    // Clip actions of the placement (spans into the movie body); sprites only.
    std::uint32_t clipEvents = 0;
    std::vector<format::ClipActionRecord> clipActions;

    // Merges a PlaceObject's supplied fields over this state.
    void apply(const format::PlaceObject& place);
};

struct DisplayObject : PlaceState {
    // Never null for an object on a display list; points into the movie's dictionary.
    const format::Character* character = nullptr;
    // The nested timeline instance when the character is a sprite (null when the
    // sprite could not be instantiated because nesting or the object budget ran out).
    std::shared_ptr<Clip> clip;
    // Unique per instance for the player's lifetime; identity survives moves.
    std::uint64_t serial = 0;
    // Created by script rather than by the timeline: gotos leave it alone.
    bool scripted = false;
    // A script set its transform or colour: timeline moves no longer change those.
    bool scriptTransformed = false;
};

// Objects of one timeline instance by depth, lowest (drawn first) to highest.
using DisplayList = std::map<int, DisplayObject>;

} // namespace swf::timeline
