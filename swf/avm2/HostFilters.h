#pragma once
// flash.filters for the ActionScript 3 host (HostFilters.cpp): the filter classes, and the
// conversion between their objects and the filter records display objects carry.
#include "swf/avm2/Machine.h"
#include "swf/format/Records.h"

namespace swf::avm2 {

void installFilterClasses(Machine& m);
// The record a filter object stands for; false for what the renderer cannot draw.
bool filterRecord(Machine& m, Value filter, format::Filter& out);
// A new filter object for a record (null when its class is missing).
Value filterObject(Machine& m, const format::Filter& f);

} // namespace swf::avm2
