#pragma once
// The TextField class: script access to text fields on the display list. A field's
// properties are accessors on the prototype that read and change the field's state
// through the ClipHost, so a script holding a field that is gone reads undefined.

#include "Interpreter.h"

#include "swf/text/StyleSheet.h"

#include <memory>

namespace swf::avm1 {

void installTextFieldBuiltins(Interpreter& vm);

// The script object for a field found by name: the same object for as long as the field
// lives, with a listener list holding itself.
Object* textFieldObject(Interpreter& vm, const FieldRef& ref, const std::string& name);
// The field a script object stands for; null for anything else.
const FieldRef* fieldRefOf(Object* o);

// TextField.StyleSheet, on the TextField class; the rules a StyleSheet object holds.
void installStyleSheetBuiltins(Interpreter& vm, Object* textField);
std::shared_ptr<const text::StyleSheet> styleSheetOf(Object* o);

} // namespace swf::avm1
