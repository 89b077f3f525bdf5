#pragma once
// Which display objects lie under a point. Points are twips in the space named by
// each function. Invisible objects are never hit; an object under a mask is hit only
// where its mask is hit too (an invisible mask still masks); mask objects themselves
// are never hit. A button is hit through its hit-state characters.

#include "swf/timeline/DisplayObject.h"

#include <functional>
#include <memory>
#include <unordered_map>

namespace swf::format {
struct ShapeCharacter;
struct ButtonCharacter;
} // namespace swf::format

namespace swf::timeline {

class Clip;
class HitShape;
struct World;

// Flattened shapes for hit testing, built on first use and kept for the movie's life.
class HitShapeCache {
public:
    HitShapeCache();
    ~HitShapeCache();
    const HitShape& shape(const format::ShapeCharacter& character);

private:
    std::unordered_map<const format::ShapeCharacter*, std::unique_ptr<HitShape>> m_shapes;
};

// Inverse of a placement matrix; false when it cannot be inverted (a flattened object).
bool invert(const format::Matrix& m, format::Matrix& out);
void applyMatrix(const format::Matrix& m, double& x, double& y);
// What places the clip's own space in the root's: its placements from the root down.
format::Matrix rootMatrix(const Clip& clip);

// A point in the clip's own space on anything the clip draws.
bool clipContains(World& world, const Clip& clip, double x, double y);
// A point in the space the object is placed in (its parent's) on the object.
bool objectContains(World& world, const DisplayObject& object, double x, double y);
// A point in a button's own space on its hit-state characters.
bool buttonContains(World& world, const format::ButtonCharacter& button, double x, double y);

// What the mouse is over: the topmost button, clip that acts as one, or selectable text
// field whose hit area holds the point (root space). A clip that acts as a button takes
// the mouse for everything inside it.
struct MouseTarget {
    Clip* parent = nullptr;          // whose display list holds the object
    DisplayObject* object = nullptr; // null: nothing
    explicit operator bool() const { return object != nullptr; }
};
MouseTarget findMouseTarget(World& world, Clip& root, double x, double y,
                            const std::function<bool(Clip&)>& actsAsButton);

// The topmost clip (not the root) that draws something under the point, skipping
// `ignore` and everything inside it: _droptarget.
Clip* findClipUnder(World& world, Clip& root, double x, double y, const Clip* ignore);

} // namespace swf::timeline
