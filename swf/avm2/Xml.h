#pragma once
// E4X: XML and XMLList values (BuiltinXml.cpp). The machine sends property access on them
// here (children by name, attributes with @, indexes of a list), as well as the
// descendants operator, filters' check, typeof and conversion to a primitive.
#include "swf/avm2/Machine.h"

namespace swf::avm2 {

class XmlNode;

// An XML or XMLList value.
bool isXml(const Object* o);
Value xmlGet(Machine& m, Object* o, const Name& name);
void xmlSet(Machine& m, Object* o, const Name& name, Value v);
bool xmlDelete(Machine& m, Object* o, const Name& name);
bool xmlHas(Machine& m, Object* o, const Name& name);
// x..name: the matching descendants of an XML or XMLList (TypeError #1016 for anything else).
Value xmlDescendants(Machine& m, Value v, const Name& name);
// The string an XML value converts to (its text when it has simple content, else markup).
std::string xmlToString(Machine& m, Object* o);
// Text escaped for an attribute value in markup (& < " and line ends as references).
std::string xmlAttributeEscaped(std::string_view s);
// For-in over a list: its indexes.
std::size_t xmlLength(Object* o);

void installXmlBuiltins(Machine& m);

} // namespace swf::avm2
