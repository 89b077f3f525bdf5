#pragma once
// The script tags of an FLV file: each is a handler name and its arguments in AMF0,
// stamped with the moment of the file it belongs to. NetStream calls the handlers as
// playing passes those moments (onMetaData at the start, embedded cue points later).
// Files are hostile input: every length is checked, nesting and counts are bounded.

#include "swf/video/ScriptData.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::video {

// One script tag's body: a handler name, then its arguments. Nothing when the body does
// not start with a name.
std::optional<ScriptCall> parseScriptTag(std::span<const std::uint8_t> body, double seconds);

// Every script tag of the FLV file at `path`, in file order; empty for files that are
// not FLV.
std::vector<ScriptCall> readFlvScriptTags(const std::string& path);

} // namespace swf::video
