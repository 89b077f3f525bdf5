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

[[noreturn]] void refuse(const std::string& dir, const std::string& why) {
    throw std::runtime_error("temporary directory " + dir + ": " + why);
}

} // namespace

std::string tempDirectory() {
    if (const char* env = std::getenv("TMPDIR"); env && *env)
        return withSeparator(env);
    return privateDirectory("/tmp");
}

std::string privateDirectory(const std::string& parent) {
    const uid_t uid = geteuid();
    const std::string dir = withSeparator(parent) + "orvane-" + std::to_string(uid);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        refuse(dir, std::strerror(errno));

    // Another user may have planted the name first (a directory, a file or a symbolic
    // link): open it without following links and check what we actually got.
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        refuse(dir, errno == ELOOP || errno == ENOTDIR ? "not a directory" : std::strerror(errno));
    struct stat st {};
    const bool statted = fstat(fd, &st) == 0;
    std::string problem;
    if (!statted)
        problem = std::strerror(errno);
    else if (st.st_uid != uid)
        problem = "owned by another user";
    else if ((st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0)
        problem = std::string("cannot make it private: ") + std::strerror(errno);
    close(fd);
    if (!problem.empty())
        refuse(dir, problem);
    return withSeparator(dir);
}

} // namespace orvane::platform
