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

// Restores an environment variable when the test ends.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : m_name(name) {
        if (const char* v = std::getenv(name))
            m_saved = v;
    }
    ~EnvGuard() {
        if (m_saved)
            setenv(m_name, m_saved->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

// The runtime directory (private to the user by its own rules) wins; else a private
// directory under TMPDIR or /tmp. Never the shared directory itself.
TEST(TempDir, ExtractionDirectoryIsAlwaysAPrivateOne) {
    EnvGuard tmpdir("TMPDIR"), runtime("XDG_RUNTIME_DIR");
    ScratchDir parent;
    unsetenv("XDG_RUNTIME_DIR");
    const std::string own = "orvane-" + std::to_string(geteuid());
    setenv("TMPDIR", parent.path().c_str(), 1);
    EXPECT_EQ(extractionDirectory(), parent.file(own) + "/");
    setenv("TMPDIR", (parent.path() + "/").c_str(), 1);
    EXPECT_EQ(extractionDirectory(), parent.file(own) + "/");
    unsetenv("TMPDIR");
    const std::string dir = extractionDirectory();
    EXPECT_EQ(dir, "/tmp/" + own + "/");
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(modeOf(dir), 0700u);

    setenv("XDG_RUNTIME_DIR", parent.path().c_str(), 1);
    EXPECT_EQ(extractionDirectory(), parent.file("orvane") + "/");
    EXPECT_EQ(modeOf(parent.file("orvane")), 0700u);
}

TEST(TempDir, PrivateDirectoryIsCreatedAndALooseOneRefused) {
    ScratchDir parent;
    const std::string expected = parent.file("orvane-" + std::to_string(geteuid()));
    EXPECT_EQ(privateDirectory(parent.path()), expected + "/");
    EXPECT_EQ(modeOf(expected), 0700u);
    EXPECT_EQ(privateDirectory(parent.path() + "/"), expected + "/");
    // Open to others, anyone may have put files in it: refused, not tightened and used.
    for (mode_t loose : {0777, 0750, 0701}) {
        chmod(expected.c_str(), loose);
        EXPECT_THROW(privateDirectory(parent.path()), std::runtime_error) << std::oct << loose;
    }
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
