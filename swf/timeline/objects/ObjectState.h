#pragma once
// What a display object is beyond its place on a display list. Every object has a kind,
// fixed by its character when it is made, and one state object of that kind holding what
// the object has of its own while it lives (a button's state, a field's text, a bitmap's
// pixels). The common part (depth, name, matrix, colour, ...) lives once in DisplayObject.
//
// Drawing is not here: the renderer (swf/render) dispatches on the kind and reads the
// state. Nothing in this directory knows about scripts.

#include "swf/format/Character.h"
#include "swf/format/Records.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace swf::movie {
class Movie;
}

namespace swf::timeline {

struct DisplayObject;
struct World;

enum class ObjectKind : std::uint8_t {
    Shape,      // DefineShape 1-4
    MorphShape, // DefineMorphShape 1-2; the ratio picks the shape
    Sprite,     // a movie clip; its timeline instance is DisplayObject::clip
    Button,
    EditText,   // a text field
    StaticText, // DefineText 1-2
    Bitmap,
    Video,
    Other, // characters that cannot be placed (fonts, sounds, binary data); room for AS3 kinds
};

const char* objectKindName(ObjectKind kind);
// The kind an instance of `character` has.
ObjectKind kindOf(const format::Character& character);
// Both are shapes in the sense of the display-list rules (DefineShape 1-4 or a morph).
inline bool isShapeKind(ObjectKind kind) {
    return kind == ObjectKind::Shape || kind == ObjectKind::MorphShape;
}

class ObjectState {
public:
    virtual ~ObjectState() = default;
    virtual ObjectKind kind() const = 0;

    // The object's own extent in its local twips, before its matrix; nullopt when it has
    // none or it is not known (a sprite's extent is its children's).
    virtual std::optional<format::Rect> bounds(const DisplayObject& self) const;
    // Whether the local point (twips) is on the object. The bounds answer until each kind
    // tests its real outline (issue 12).
    virtual bool hitTest(const DisplayObject& self, double x, double y) const;
    // Once per tick, after the timelines have moved (video frames, caret blink, ...).
    virtual void advance(DisplayObject& /*self*/, World& /*world*/) {}
    // The object has left its display list for good (sounds stop, streams close, ...).
    virtual void removed(DisplayObject& /*self*/, World& /*world*/) {}
};

// The state a fresh instance of `character` of `movie` starts with; never null.
std::unique_ptr<ObjectState> makeObjectState(const format::Character& character, const movie::Movie& movie);

} // namespace swf::timeline
