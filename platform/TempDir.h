#pragma once
// Where the player puts its extracted movie: a directory only this user can reach.

#include <string>

namespace orvane::platform {

// $XDG_RUNTIME_DIR/orvane when XDG_RUNTIME_DIR is set, else $TMPDIR/orvane-<uid> (TMPDIR
// defaulting to /tmp); created with mode 0700 when missing. Always ends in '/'. Throws
// std::runtime_error with the reason when the directory cannot be had or is refused.
std::string extractionDirectory();

// The private per-user directory "orvane-<uid>" under parent, as extractionDirectory() makes
// it without XDG_RUNTIME_DIR; ends in '/'.
std::string privateDirectory(const std::string& parent);

// Creates `dir` with mode 0700 if it is missing, then accepts it only when it is a real
// directory (not a link) owned by this user with no access for group or others; a name
// someone else planted first is refused, never used. Returns dir ending in '/'.
std::string ensurePrivateDirectory(const std::string& dir);

} // namespace orvane::platform
