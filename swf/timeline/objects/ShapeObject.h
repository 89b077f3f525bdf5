#pragma once
// A shape or morph shape on a display list. It has nothing of its own beyond the common
// part: the morph ratio is placement state, the outline is the character's.

#include "swf/timeline/objects/ObjectState.h"

namespace swf::timeline {

class ShapeObject final : public ObjectState {
public:
    explicit ShapeObject(ObjectKind kind) : m_kind(kind) {}
    ObjectKind kind() const override { return m_kind; }
    std::optional<format::Rect> bounds(const DisplayObject& self) const override;

private:
    ObjectKind m_kind; // Shape or MorphShape
};

// A static text (DefineText): its glyphs are the character's.
class StaticTextObject final : public ObjectState {
public:
    ObjectKind kind() const override { return ObjectKind::StaticText; }
    std::optional<format::Rect> bounds(const DisplayObject& self) const override;
};

} // namespace swf::timeline
