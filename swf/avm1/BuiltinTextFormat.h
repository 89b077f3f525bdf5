#pragma once
// The TextFormat class, and the conversions between its objects and the formats text
// fields hold (for TextField's getTextFormat and setTextFormat).

#include "Interpreter.h"

#include "swf/text/TextFormat.h"

namespace swf::avm1 {

void installTextFormatBuiltins(Interpreter& vm);

// A new TextFormat object holding `f` (unset properties are null).
Object* newTextFormatObject(Interpreter& vm, const text::TextFormat& f);
// The format a TextFormat object describes; nullopt when `o` is not one.
std::optional<text::TextFormat> textFormatOf(const Object* o);

} // namespace swf::avm1
