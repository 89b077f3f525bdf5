#include "shell/MovieExtract.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr std::size_t kChunk = 1 << 20;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // close() can report a failed delayed write; a file we are about to publish must not hide it.
    bool closeChecked() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool readExactly(int fd, void* buffer, std::size_t size, off_t offset) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // error, or the file shrank under us
        out += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}


// In-kernel copy where the file systems allow it; false with copied == 0 means "not
// supported here", so the caller falls back to reading and writing.
bool kernelCopy(int from, off_t offset, int to, std::uint64_t length, std::uint64_t& copied) {
    copied = 0;
    loff_t in = offset;
    while (copied < length) {
        const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(length - copied, 1u << 30));
        const ssize_t n = ::copy_file_range(from, &in, to, nullptr, step, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        copied += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The open program file and where its movie lies; `why` says what is wrong when it has none.
struct Embedded {
    Fd file;
    off_t start = 0;
    std::uint64_t length = 0;
    std::string why;
};

void locate(const std::string& programPath, Embedded& out) {
    out.file = Fd(::open(programPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!out.file.valid()) {
        out.why = "cannot open " + programPath + ": " + std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(out.file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 8) {
        out.why = programPath + " is not a program file with a movie";
        return;
    }
    const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
    std::uint8_t trailer[4];
    if (!readExactly(out.file.get(), trailer, 4, static_cast<off_t>(fileSize - 4))) {
        out.why = "cannot read the movie trailer of " + programPath;
        return;
    }
    const std::int32_t length =
        static_cast<std::int32_t>(std::uint32_t(trailer[0]) | std::uint32_t(trailer[1]) << 8 |
                                  std::uint32_t(trailer[2]) << 16 | std::uint32_t(trailer[3]) << 24);
    if (length <= 0 || static_cast<std::uint64_t>(length) > fileSize - 8) {
        out.why = "no movie appended to " + programPath + " (trailer length " + std::to_string(length) + ")";
        return;
    }
    out.length = static_cast<std::uint64_t>(length);
    out.start = static_cast<off_t>(fileSize - 8 - out.length);
}

bool extract(const std::string& programPath, const std::string& destPath, std::string& why) {
    Embedded embedded;
    locate(programPath, embedded);
    if (!embedded.why.empty()) {
        why = embedded.why;
        return false;
    }
    if (destPath.empty() || destPath.back() == '/') {
        why = "no file name to extract the movie to";
        return false;
    }
    std::string tempPath = directoryOf(destPath) + "/." + baseName(destPath) + ".XXXXXX";
    Fd temp(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!temp.valid()) {
        why = "cannot create a file in " + directoryOf(destPath) + ": " + std::strerror(errno);
        return false;
    }
    bool written = detail::copyRange(embedded.file.get(), embedded.start, temp.get(), embedded.length);
    if (!written)
        why = "cannot copy the movie to " + destPath + ": " + std::strerror(errno);
    else if (!(written = temp.closeChecked()))
        why = "cannot finish writing " + destPath + ": " + std::strerror(errno);
    else if (!(written = ::rename(tempPath.c_str(), destPath.c_str()) == 0))
        why = "cannot move the movie into place at " + destPath + ": " + std::strerror(errno);
    if (!written) {
        temp.reset();
        ::unlink(tempPath.c_str());
    }
    return written;
}

} // namespace

namespace detail {

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyRange(int from, std::int64_t offset, int to, std::uint64_t length, CopyMethod method) {
    std::uint64_t copied = 0;
    if (method == CopyMethod::Auto) {
        if (kernelCopy(from, static_cast<off_t>(offset), to, length, copied))
            return true;
        if (copied != 0)
            return false; // a real failure part-way, not an unsupported call
    }
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, kChunk));
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[chunk]);
    while (copied < length) {
        const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(length - copied, chunk));
        if (!readExactly(from, buffer.get(), step, offset + static_cast<off_t>(copied)) ||
            !writeAll(to, buffer.get(), step))
            return false;
        copied += step;
    }
    return true;
}

} // namespace detail

bool ExtractEmbeddedMovie(const std::string& programPath, const std::string& destPath,
                          std::string* reason) noexcept {
    try {
        std::string why;
        const bool written = extract(programPath, destPath, why);
        if (!written && reason)
            *reason = why;
        return written;
    } catch (...) {
        // Only allocation can throw here; extraction failures are reported as false.
        return false;
    }
}

bool HasEmbeddedMovie(const std::string& programPath) noexcept {
    try {
        Embedded embedded;
        locate(programPath, embedded);
        std::uint8_t signature[3];
        return embedded.why.empty() && embedded.length >= 8 &&
               readExactly(embedded.file.get(), signature, 3, embedded.start) && signature[1] == 'W' &&
               signature[2] == 'S' && (signature[0] == 'F' || signature[0] == 'C' || signature[0] == 'Z');
    } catch (...) {
        return false;
    }
}

} // namespace orvane
