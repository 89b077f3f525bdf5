#include "InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::tool {
namespace {

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "is a directory";
    if (S_ISFIFO(mode))
        return "is a FIFO, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device, not a file";
    if (S_ISSOCK(mode))
        return "is a socket, not a file";
    return "is not a regular file";
}

// Opens without blocking (a FIFO would wait for a writer) and accepts regular files only.
int openRegular(const std::string& path, std::string& why, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = std::string("cannot open: ") + std::strerror(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0)
        why = std::string("cannot read: ") + std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = kindOf(st.st_mode);
    if (!why.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string inputProblem(const std::string& path) {
    std::string why;
    struct stat st {};
    const int fd = openRegular(path, why, st);
    if (fd >= 0)
        ::close(fd);
    return why;
}

int openInputFile(const std::string& path, std::uint64_t& size, std::string& why) {
    struct stat st {};
    const int fd = openRegular(path, why, st);
    size = fd >= 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return fd;
}

std::size_t readSome(int fd, std::uint8_t* into, std::size_t max, std::string& why) {
    for (;;) {
        const ssize_t n = ::read(fd, into, max);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return 0;
        why = std::string("cannot read: ") + std::strerror(errno);
        return 0;
    }
}

std::optional<std::vector<std::uint8_t>> readInputFile(const std::string& path, std::uint64_t maxBytes,
                                                       std::string& why) {
    struct stat st {};
    const int fd = openRegular(path, why, st);
    if (fd < 0)
        return std::nullopt;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        why = "larger than the " + std::to_string(maxBytes >> 20) + " MiB this command reads";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = std::string("cannot read: ") + std::strerror(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break; // the file shrank while we read it
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool writeReplacing(const std::string& out, unsigned mode, const std::function<bool(int fd)>& fill,
                    std::string& why) {
    std::string temp = directoryOf(out) + "/.orvane-tool.XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        why = std::string("cannot write in ") + directoryOf(out) + ": " + std::strerror(errno);
        return false;
    }
    bool ok = fill(fd);
    if (!ok)
        why = std::string("cannot write: ") + std::strerror(errno);
    if (ok && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        why = std::string("cannot set the file mode: ") + std::strerror(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        why = std::string("cannot finish writing: ") + std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), out.c_str()) != 0) {
        why = std::string("cannot move into place: ") + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

} // namespace orvane::tool
