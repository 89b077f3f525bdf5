#include "BuiltinSupport.h"
namespace swf::avm1 {
void installXmlBuiltins(Interpreter&) {}
}
