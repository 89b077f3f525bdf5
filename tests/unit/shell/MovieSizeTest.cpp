#include "shell/MovieSize.h"

#include "ScratchDir.h"
#include "SwfWriter.h"

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::testing;

namespace {

struct Size {
    int width;
    int height;
    bool operator==(const Size&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Size& s) {
    return os << s.width << " x " << s.height;
}

class MovieSizeTest : public ::testing::Test {
protected:
    // Movie with the given stage; a few frames keep even a 0-bit rectangle past 25 bytes.
    Size sizeOf(const Rect& stage, int nbits = -1, Compression c = Compression::None) {
        SwfWriter movie;
        movie.setCompression(c).setStage(stage, nbits).showFrame(8);
        const std::string path = m_dir.file("movie.swf");
        movie.save(path);
        return {MovieWidth(path), MovieHeight(path)};
    }
    ScratchDir m_dir;
};

} // namespace

TEST_F(MovieSizeTest, RightAndBottomEdgesInWholePixels) {
    EXPECT_EQ(sizeOf({0, 11000, 0, 8000}, 15), (Size{550, 400}));
    EXPECT_EQ(sizeOf({0, 0, 0, 0}, 0), (Size{0, 0}));
    EXPECT_EQ(sizeOf({0, 10999, 0, 19}), (Size{549, 0})); // truncated, not rounded
    // Xmin and Ymin are neither read nor subtracted.
    EXPECT_EQ(sizeOf({7, 11000, 1234, 8000}, 15), (Size{550, 400}));
    // The widest field: 31 bits, read unsigned.
    EXPECT_EQ(sizeOf({0, 0x3FFFFFFF, 0, 0x3FFFFFFF}, 31), (Size{0x3FFFFFFF / 20, 0x3FFFFFFF / 20}));
}

TEST_F(MovieSizeTest, CompressedMoviesAreReadFromTheirDecompressedHeader) {
    EXPECT_EQ(sizeOf({0, 11000, 0, 8000}, 15, Compression::Zlib), (Size{550, 400}));
    EXPECT_EQ(sizeOf({0, 12800, 0, 9600}, -1, Compression::Lzma), (Size{640, 480}));
}

TEST_F(MovieSizeTest, ShortOrMissingFilesRaise) {
    SwfWriter movie;
    movie.setStage({0, 11000, 0, 8000}, 15).showFrame(8);
    auto bytes = movie.bytes();
    bytes.resize(25);
    const std::string path = m_dir.file("short.swf");
    writeFile(path, bytes);
    EXPECT_EQ(MovieWidth(path), 550); // 25 bytes are enough
    bytes.resize(24);
    writeFile(path, bytes);
    EXPECT_THROW(MovieWidth(path), ReadError);
    EXPECT_THROW(MovieHeight(path), ReadError);
    writeFile(path, {});
    EXPECT_THROW(MovieWidth(path), ReadError);

    EXPECT_THROW(MovieWidth(m_dir.file("missing.swf")), FileOpenError);
    EXPECT_THROW(MovieHeight(m_dir.file("missing.swf")), FileOpenError);
    EXPECT_THROW(MovieWidth(m_dir.path()), FileOpenError); // a directory is not a movie
}

TEST_F(MovieSizeTest, BrokenCompressedBodiesRaiseReadErrors) {
    SwfWriter movie;
    movie.setCompression(Compression::Zlib).showFrame(8);
    auto bytes = movie.bytes();
    bytes.resize(10); // the zlib stream stops after its header
    const std::string path = m_dir.file("cut.swf");
    writeFile(path, bytes);
    EXPECT_THROW(MovieWidth(path), ReadError);

    bytes = movie.bytes();
    for (std::size_t i = 8; i < bytes.size(); ++i)
        bytes[i] = 0xFF; // not a zlib stream at all
    writeFile(path, bytes);
    EXPECT_THROW(MovieWidth(path), ReadError);

    movie.setCompression(Compression::Lzma);
    bytes = movie.bytes();
    bytes.resize(16); // properties cut short
    writeFile(path, bytes);
    EXPECT_THROW(MovieHeight(path), ReadError);
}

// Every prefix of a movie, and a movie with every header byte flipped in turn: the reader
// gives a size or raises ReadError, nothing else.
TEST_F(MovieSizeTest, DamagedHeadersGiveASizeOrAReadError) {
    for (Compression c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        SwfWriter movie;
        movie.setCompression(c).setStage({0, 11000, 0, 8000}).showFrame(20);
        const auto whole = movie.bytes();
        const std::string path = m_dir.file("damaged.swf");
        auto survives = [&](const std::vector<std::uint8_t>& bytes) {
            writeFile(path, bytes);
            try {
                return MovieWidth(path) >= 0 && MovieHeight(path) >= 0;
            } catch (const ReadError&) {
                return true;
            }
        };
        for (std::size_t size = 0; size <= whole.size(); ++size)
            EXPECT_TRUE(survives(std::vector<std::uint8_t>(whole.begin(), whole.begin() + size))) << size;
        for (std::size_t i = 0; i < std::min<std::size_t>(whole.size(), 40); ++i) {
            auto bytes = whole;
            bytes[i] ^= 0xA5;
            EXPECT_TRUE(survives(bytes)) << "byte " << i;
        }
    }
}
