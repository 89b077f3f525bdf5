#include "platform/TempDir.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvane::platform;
using orvane::testing::ScratchDir;
namespace fs = std::filesystem;

namespace {

class TmpdirGuard {
public:
    TmpdirGuard() {
        if (const char* v = std::getenv("TMPDIR"))
            m_saved = v;
    }
    ~TmpdirGuard() {
        if (m_saved)
            setenv("TMPDIR", m_saved->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> m_saved;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

TEST(TempDir, TmpdirWinsAndAlwaysEndsInASeparator) {
    TmpdirGuard guard;
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(tempDirectory(), "/var/tmp/");
    setenv("TMPDIR", "/var/tmp/", 1);
    EXPECT_EQ(tempDirectory(), "/var/tmp/");
    unsetenv("TMPDIR");
    const std::string dir = tempDirectory();
    EXPECT_EQ(dir, "/tmp/orvane-" + std::to_string(geteuid()) + "/");
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(modeOf(dir), 0700u);
}

TEST(TempDir, PrivateDirectoryIsCreatedOrTightened) {
    ScratchDir parent;
    const std::string expected = parent.file("orvane-" + std::to_string(geteuid()));
    EXPECT_EQ(privateDirectory(parent.path()), expected + "/");
    EXPECT_EQ(modeOf(expected), 0700u);
    chmod(expected.c_str(), 0777);
    EXPECT_EQ(privateDirectory(parent.path() + "/"), expected + "/");
    EXPECT_EQ(modeOf(expected), 0700u);
}

TEST(TempDir, PlantedNamesAreRefused) {
    ScratchDir parent;
    const std::string name = parent.file("orvane-" + std::to_string(geteuid()));
    const std::string elsewhere = parent.file("elsewhere");
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, name);
    EXPECT_THROW(privateDirectory(parent.path()), std::runtime_error);
    fs::remove(name);
    orvane::testing::writeFile(name, {1});
    EXPECT_THROW(privateDirectory(parent.path()), std::runtime_error);
    fs::remove(name);

    if (geteuid() != 0)
        GTEST_SKIP() << "a directory owned by someone else needs root to set up";
    fs::create_directory(name);
    ASSERT_EQ(chown(name.c_str(), 65534, 65534), 0);
    EXPECT_THROW(privateDirectory(parent.path()), std::runtime_error);
}

TEST(TempDir, UnusableParentIsRefused) {
    EXPECT_THROW(privateDirectory("/proc/self/no-such-dir"), std::runtime_error);
}
