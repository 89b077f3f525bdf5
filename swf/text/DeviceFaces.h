#pragma once
// The faces device-font text is measured with. The renderer installs the system's fonts
// (they need a GUI application); until then, and in processes without one, an estimate
// with the proportions of a common sans-serif face stands in.

#include "swf/format/Font.h"
#include "swf/text/TextLayout.h"

#include <cstdint>
#include <functional>

namespace swf::text {

// Returns the face for a format, or null to fall back to the estimate.
using DeviceFaceSource = std::function<const FontFace*(const TextFormat&)>;

void setDeviceFaceSource(DeviceFaceSource source);
// Never null.
const FontFace* deviceFace(const TextFormat& format);
// Changes whenever the source does, so layouts measured with another one are redone.
std::uint64_t deviceFaceGeneration();

// Whether a font has outlines to draw: fonts set as device fonts keep a code table but
// write empty glyphs.
bool hasOutlines(const format::FontCharacter& font);

} // namespace swf::text
