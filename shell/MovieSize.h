#pragma once
// Stage size of a movie file in pixels, from the frame rectangle of its header: the right
// and bottom edges (Xmax, Ymax) divided by 20 and truncated; Xmin and Ymin are not
// subtracted. Each call opens the file itself. For CWS and ZWS movies the rectangle is read
// from the decompressed body; anything else is read as it lies from offset 8.

#include <stdexcept>
#include <string>

namespace orvane {

// The file cannot be opened (missing, unreadable, not a regular file).
class FileOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file ends before the 17 header bytes after offset 8 (or a compressed body does).
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

int MovieWidth(const std::string& path);
int MovieHeight(const std::string& path);

} // namespace orvane
