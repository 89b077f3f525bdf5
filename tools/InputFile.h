#pragma once
// File handling shared by the tool's commands: inputs are read only when they are regular
// files (a directory, a device or a FIFO is refused before anything is read, so nothing can
// throw or read for ever), and outputs are written to a temporary file renamed into place.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane::tool {

// Why `path` cannot serve as an input file; empty when it is a regular file that opens.
std::string inputProblem(const std::string& path);

// An open descriptor of a regular file (close it with ::close), and its size; -1 with `why`
// otherwise.
int openInputFile(const std::string& path, std::uint64_t& size, std::string& why);

// Up to `max` bytes read at the descriptor's position; 0 at the end or on an error (`why`).
std::size_t readSome(int fd, std::uint8_t* into, std::size_t max, std::string& why);

// The whole of a regular file of at most maxBytes; nothing (with `why`) otherwise.
std::optional<std::vector<std::uint8_t>> readInputFile(const std::string& path, std::uint64_t maxBytes,
                                                       std::string& why);

// True when both names lead to the same file (hard or symbolic links included). A name that
// does not exist is the same as nothing.
bool sameFile(const std::string& a, const std::string& b);

// Writes `out` through a temporary file beside it: `fill` writes the content to the open
// descriptor and returns false on failure; the file is then made `mode` and renamed over
// `out`. On any failure nothing is left behind and `out` is untouched; `why` says what failed.
bool writeReplacing(const std::string& out, unsigned mode, const std::function<bool(int fd)>& fill,
                    std::string& why);

} // namespace orvane::tool
