#include "shell/MovieExtract.h"

#include "ScratchDir.h"
#include "SwfWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orvane;
using namespace orvane::testing;
namespace fs = std::filesystem;

namespace {

const std::vector<std::uint8_t> kStub{0x7F, 'E', 'L', 'F', 1, 2, 3, 4, 5, 6, 7, 8, 9};
const std::vector<std::uint8_t> kSkipped{0xDE, 0xAD, 0xBE, 0xEF};

std::vector<std::uint8_t> trailerFor(std::int32_t length) {
    std::vector<std::uint8_t> t(kSkipped);
    for (int i = 0; i < 4; ++i)
        t.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(length) >> (8 * i)));
    return t;
}

std::vector<std::uint8_t> projector(const std::vector<std::uint8_t>& movie) {
    std::vector<std::uint8_t> out(kStub);
    out.insert(out.end(), movie.begin(), movie.end());
    const auto t = trailerFor(static_cast<std::int32_t>(movie.size()));
    out.insert(out.end(), t.begin(), t.end());
    return out;
}

std::vector<std::uint8_t> movieBytes(int frames) {
    SwfWriter movie;
    movie.setBackgroundColor({10, 20, 30}).showFrame(frames);
    return movie.bytes();
}

class MovieExtractTest : public ::testing::Test {
protected:
    std::string program(const std::vector<std::uint8_t>& bytes) {
        const std::string path = m_dir.file("projector");
        writeFile(path, bytes);
        return path;
    }
    // Nothing but the expected entries: no temporary file may be left behind.
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()));
    }
    ScratchDir m_dir;
    std::string m_dest = m_dir.file("player.swf");
};

} // namespace

TEST_F(MovieExtractTest, CopiesExactlyTheMovieBeforeTheTrailer) {
    const auto movie = movieBytes(3);
    ASSERT_TRUE(ExtractEmbeddedMovie(program(projector(movie)), m_dest));
    EXPECT_EQ(readFile(m_dest), movie); // neither the stub nor the skipped bytes nor the length
    EXPECT_EQ(entries(), 2u);
}

TEST_F(MovieExtractTest, SecondRunReplacesTheFirstFile) {
    const auto longer = movieBytes(200);
    const auto shorter = movieBytes(1);
    ASSERT_TRUE(ExtractEmbeddedMovie(program(projector(longer)), m_dest));
    ASSERT_TRUE(ExtractEmbeddedMovie(program(projector(shorter)), m_dest));
    EXPECT_EQ(readFile(m_dest), shorter);
}

TEST_F(MovieExtractTest, MovieLargerThanOneChunkAndMovieFillingTheFile) {
    std::vector<std::uint8_t> big(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    ASSERT_TRUE(ExtractEmbeddedMovie(program(projector(big)), m_dest));
    EXPECT_EQ(readFile(m_dest), big);

    // No stub at all: L is exactly the file size minus 8.
    auto whole = movieBytes(2);
    const auto t = trailerFor(static_cast<std::int32_t>(whole.size()));
    const auto movie = whole;
    whole.insert(whole.end(), t.begin(), t.end());
    ASSERT_TRUE(ExtractEmbeddedMovie(program(whole), m_dest));
    EXPECT_EQ(readFile(m_dest), movie);
}

TEST_F(MovieExtractTest, BadLengthsAreRefusedAndTheOldFileStays) {
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    writeFile(m_dest, old);
    const auto movie = movieBytes(1);
    const std::int32_t tooLong = static_cast<std::int32_t>(kStub.size() + movie.size() + 1);
    for (std::int32_t length : {0, -1, -8, INT32_MIN, tooLong, INT32_MAX}) {
        auto bytes = kStub;
        bytes.insert(bytes.end(), movie.begin(), movie.end());
        const auto t = trailerFor(length);
        bytes.insert(bytes.end(), t.begin(), t.end());
        EXPECT_FALSE(ExtractEmbeddedMovie(program(bytes), m_dest)) << "length " << length;
        EXPECT_EQ(readFile(m_dest), old);
    }
    // Files too short to hold a trailer, and a trailer with nothing before it.
    for (std::size_t size : {0, 3, 7}) {
        EXPECT_FALSE(ExtractEmbeddedMovie(program(std::vector<std::uint8_t>(size, 1)), m_dest));
    }
    EXPECT_FALSE(ExtractEmbeddedMovie(program(trailerFor(1)), m_dest));
    EXPECT_FALSE(ExtractEmbeddedMovie(m_dir.file("no-such-program"), m_dest));
    EXPECT_FALSE(ExtractEmbeddedMovie(m_dir.path(), m_dest));
    EXPECT_EQ(readFile(m_dest), old);
    EXPECT_EQ(entries(), 2u);
}

TEST_F(MovieExtractTest, PlantedSymbolicLinkIsReplacedNotFollowed) {
    const std::string victim = m_dir.file("victim");
    const std::vector<std::uint8_t> precious{'k', 'e', 'e', 'p'};
    writeFile(victim, precious);
    fs::create_symlink(victim, m_dest);
    const auto movie = movieBytes(2);
    ASSERT_TRUE(ExtractEmbeddedMovie(program(projector(movie)), m_dest));
    EXPECT_EQ(readFile(victim), precious);
    EXPECT_FALSE(fs::is_symlink(m_dest));
    EXPECT_EQ(readFile(m_dest), movie);
}

TEST_F(MovieExtractTest, DestinationThatCannotBeWritten) {
    const std::string program = this->program(projector(movieBytes(1)));
    EXPECT_FALSE(ExtractEmbeddedMovie(program, m_dir.path()));          // a directory
    EXPECT_FALSE(ExtractEmbeddedMovie(program, m_dir.file("a/b.swf"))); // no such directory
    EXPECT_FALSE(ExtractEmbeddedMovie(program, ""));
}

TEST_F(MovieExtractTest, UnwritableDirectoryLeavesTheOldFile) {
    const std::string program = this->program(projector(movieBytes(1)));
    const std::string locked = m_dir.file("locked");
    fs::create_directory(locked);
    const std::string dest = locked + "/player.swf";
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    writeFile(dest, old);
    chmod(locked.c_str(), 0555);

    bool result = true;
    if (geteuid() != 0) {
        result = ExtractEmbeddedMovie(program, dest);
    } else {
        // Root writes anywhere: try as an unprivileged user, who may read the projector
        // but not write the directory.
        chmod(m_dir.path().c_str(), 0755);
        chmod(program.c_str(), 0644);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            _exit(ExtractEmbeddedMovie(program, dest) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 3)
            GTEST_SKIP() << "cannot drop privileges here to make a directory unwritable";
        result = WEXITSTATUS(status) == 1;
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(readFile(dest), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
}

// Both copy paths, since which one extraction takes depends on the file systems involved.
TEST_F(MovieExtractTest, BothCopyPathsCopyTheRangeAndNoticeAShortSource) {
    std::vector<std::uint8_t> source(2 * 1024 * 1024 + 333);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
    const std::string from = program(source);
    for (auto method : {detail::CopyMethod::Auto, detail::CopyMethod::Buffered}) {
        const std::string to = m_dir.file("copy");
        const int in = open(from.c_str(), O_RDONLY);
        const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(in, 0);
        ASSERT_GE(out, 0);
        EXPECT_TRUE(detail::copyRange(in, 1001, out, source.size() - 2000, method));
        EXPECT_FALSE(detail::copyRange(in, 1001, out, source.size(), method)); // runs past the end
        close(in);
        close(out);
        const auto copied = readFile(to);
        ASSERT_GE(copied.size(), source.size() - 2000);
        EXPECT_TRUE(std::equal(source.begin() + 1001, source.end() - 999, copied.begin()));
    }
}

// The disk fills up half way through the copy (a file-size limit stands in for a full
// file system): extraction says so, the earlier movie stays whole, nothing is left behind.
TEST_F(MovieExtractTest, FullDiskMidCopyLeavesTheOldMovieAndNoDebris) {
    std::vector<std::uint8_t> big = movieBytes(1);
    big.resize(3u << 20, 0x5A);
    const std::string program = this->program(projector(big));
    const std::vector<std::uint8_t> old = movieBytes(2);
    writeFile(m_dest, old);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
        const rlimit limit{1u << 20, 1u << 20};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(3);
        std::string why;
        const bool written = ExtractEmbeddedMovie(program, m_dest, &why);
        _exit(written ? 1 : why.find(m_dest) != std::string::npos ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported success, 2: the reason does not name the file";
    EXPECT_EQ(readFile(m_dest), old);
    EXPECT_EQ(entries(), 2u); // the projector and the old movie
}

// Two projectors started at once extract the same movie to the same place: both succeed
// and the file is always one whole movie, never a mix.
TEST_F(MovieExtractTest, TwoProjectorsAtOnce) {
    std::vector<std::uint8_t> movie = movieBytes(3);
    movie.resize(2u << 20, 0x33);
    const std::string program = this->program(projector(movie));
    for (int round = 0; round < 3; ++round) {
        bool first = false, second = false;
        std::thread a([&] { first = ExtractEmbeddedMovie(program, m_dest); });
        std::thread b([&] { second = ExtractEmbeddedMovie(program, m_dest); });
        a.join();
        b.join();
        EXPECT_TRUE(first && second);
        EXPECT_EQ(readFile(m_dest), movie);
        EXPECT_EQ(entries(), 2u);
    }
}

// A trailer that names no movie, and a program that is no file at all, both get a reason.
TEST_F(MovieExtractTest, FailuresSayWhy) {
    std::string why;
    EXPECT_FALSE(ExtractEmbeddedMovie(m_dir.file("missing"), m_dest, &why));
    EXPECT_NE(why.find("missing"), std::string::npos) << why;
    auto bytes = movieBytes(1);
    const auto t = trailerFor(-5);
    bytes.insert(bytes.end(), t.begin(), t.end());
    why.clear();
    EXPECT_FALSE(ExtractEmbeddedMovie(program(bytes), m_dest, &why));
    EXPECT_NE(why.find("no movie appended"), std::string::npos) << why;
    EXPECT_FALSE(HasEmbeddedMovie(m_dir.file("projector")));
    EXPECT_FALSE(HasEmbeddedMovie(m_dir.path()));
    EXPECT_TRUE(HasEmbeddedMovie(program(projector(movieBytes(1)))));
    // A trailer that fits but is followed by no SWF signature: a program without a movie.
    auto stub = kStub;
    const auto fits = trailerFor(4);
    stub.insert(stub.end(), fits.begin(), fits.end());
    EXPECT_FALSE(HasEmbeddedMovie(program(stub)));
}
