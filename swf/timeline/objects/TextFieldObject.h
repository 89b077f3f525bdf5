#pragma once
// A text field (DefineEditText, or one a script creates). What it holds lives in a
// text::FieldState: content with formats, the properties scripts set, selection and
// scroll; scripts and typing change it there (issue 13: variables, focus, caret, events).
// The renderer lays out and draws that state.

#include "swf/format/Font.h"
#include "swf/format/Text.h"
#include "swf/text/FieldState.h"
#include "swf/timeline/objects/ObjectState.h"

namespace swf::timeline {

class TextFieldObject final : public ObjectState {
public:
    // `font` is the definition's font, null when the movie has none by that id.
    TextFieldObject(const format::EditTextCharacter& definition, const format::FontCharacter* font)
        : field(definition, font) {}
    ObjectKind kind() const override { return ObjectKind::EditText; }
    std::optional<format::Rect> bounds(const DisplayObject& self) const override;
    bool hitTest(const DisplayObject& self, double x, double y) const override;
    // Blinks the caret of a focused field, twice a second whatever the frame rate.
    void advance(DisplayObject& self, World& world) override;

    text::FieldState field;
};

} // namespace swf::timeline
