#pragma once
// What a DefineEditText record gives a new field: its format, its first content and the
// box it lays out in.

#include "swf/format/Font.h"
#include "swf/format/Text.h"
#include "swf/text/RichText.h"
#include "swf/text/TextLayout.h"

namespace swf::text {

// The field's format: its font (by name; `font` may be null), height, colour, alignment,
// margins, indent and leading.
TextFormat definitionFormat(const format::EditTextCharacter& field, const format::FontCharacter* font);

// The initial text: read as HTML when the field is HTML, else as plain text.
RichText definitionContent(const format::EditTextCharacter& field, const TextFormat& format);

FieldBox definitionBox(const format::EditTextCharacter& field);

} // namespace swf::text
