#pragma once
// Where the player puts its extracted movie.

#include <string>

namespace orvane::platform {

// $TMPDIR when set; otherwise a private per-user directory under /tmp, created with mode
// 0700 and refused when it is not a real directory owned by this user. Always ends in '/'.
// Throws std::runtime_error when no usable directory can be had.
std::string tempDirectory();

// The private per-user directory under parent ("orvane-<uid>"), created or checked as
// tempDirectory() does; ends in '/'. Throws std::runtime_error when refused.
std::string privateDirectory(const std::string& parent);

} // namespace orvane::platform
