#include "platform/TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::platform {

namespace {

std::string withSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string withoutSeparator(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

[[noreturn]] void refuse(const std::string& dir, const std::string& why) {
    throw std::runtime_error("extraction directory " + dir + ": " + why);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string extractionDirectory() {
    if (const std::string runtime = environment("XDG_RUNTIME_DIR"); !runtime.empty())
        return ensurePrivateDirectory(withSeparator(runtime) + "orvane");
    const std::string tmp = environment("TMPDIR");
    return privateDirectory(tmp.empty() ? "/tmp" : tmp);
}

std::string privateDirectory(const std::string& parent) {
    return ensurePrivateDirectory(withSeparator(parent) + "orvane-" + std::to_string(geteuid()));
}

std::string ensurePrivateDirectory(const std::string& path) {
    const std::string dir = withoutSeparator(path);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        refuse(dir, std::strerror(errno));

    // Another user may have planted the name first (a directory, a file or a symbolic
    // link): open it without following links and check what we actually got.
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        refuse(dir, errno == ELOOP || errno == ENOTDIR ? "not a directory (or a link)" : std::strerror(errno));
    struct stat st {};
    const bool statted = fstat(fd, &st) == 0;
    close(fd);
    if (!statted)
        refuse(dir, std::strerror(errno));
    if (st.st_uid != geteuid())
        refuse(dir, "owned by another user");
    if ((st.st_mode & 077) != 0)
        refuse(dir, "open to other users (its mode must be 0700)");
    return withSeparator(dir);
}

} // namespace orvane::platform
