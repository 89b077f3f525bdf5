#pragma once
// The projector's embedded movie: a program file that carries an SWF movie at its end,
// followed by 4 bytes the player ignores and the movie length L (signed 32-bit,
// little-endian). The movie is the L bytes before that 8-byte trailer.

#include <cstdint>
#include <string>

namespace orvane {

// Copies the embedded movie of programPath to destPath. True when the movie was written.
// Refuses (false, destination untouched) a length L <= 0 or larger than the file minus 8.
// The copy streams in chunks into a temporary file beside destPath that is then renamed
// over it: a failed write never leaves a torn file, and a symbolic link planted at
// destPath is replaced, never followed. On failure `reason` (when given) says why in one
// line. Never throws.
bool ExtractEmbeddedMovie(const std::string& programPath, const std::string& destPath,
                          std::string* reason = nullptr) noexcept;

// Whether programPath carries a movie at all: a trailer length that fits the file and
// movie bytes that start with an SWF signature (FWS, CWS or ZWS). A program built without
// a movie is the bare player.
bool HasEmbeddedMovie(const std::string& programPath) noexcept;

namespace detail {
// Auto copies in the kernel where the file systems allow it and falls back to Buffered
// (1 MiB reads and writes) where they do not.
enum class CopyMethod { Auto, Buffered };
// Copies `length` bytes from `offset` of the open file `from` to the current position of `to`.
// False on any read or write failure, including a source shorter than offset + length.
bool copyRange(int from, std::int64_t offset, int to, std::uint64_t length,
               CopyMethod method = CopyMethod::Auto);
// Writes all of `data` to `fd`, resuming after interrupted and partial writes.
bool writeAll(int fd, const std::uint8_t* data, std::size_t size);
} // namespace detail

} // namespace orvane
