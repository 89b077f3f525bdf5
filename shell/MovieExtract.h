#pragma once
// The projector's embedded movie: a program file that carries an SWF movie at its end,
// followed by 4 bytes the player ignores and the movie length L (signed 32-bit,
// little-endian). The movie is the L bytes before that 8-byte trailer.

#include <string>

namespace orvane {

// Copies the embedded movie of programPath to destPath. True when the movie was written.
// Refuses (false, destination untouched) a length L <= 0 or larger than the file minus 8.
// The copy streams in chunks into a temporary file beside destPath that is then renamed
// over it: a failed write never leaves a torn file, and a symbolic link planted at
// destPath is replaced, never followed. Never throws.
bool ExtractEmbeddedMovie(const std::string& programPath, const std::string& destPath) noexcept;

} // namespace orvane
