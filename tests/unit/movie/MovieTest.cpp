#include "../player/EngineMovies.h"

#include "swf/format/Shape.h"
#include "swf/format/TagCode.h"
#include "swf/movie/Movie.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace engine_test;
using swf::movie::Movie;

namespace {

std::unique_ptr<Movie> parse(Bytes bytes, std::string* errorOut = nullptr) {
    std::string error;
    auto movie = Movie::fromBytes(std::move(bytes), error);
    if (errorOut)
        *errorOut = error;
    return movie;
}

SwfWriter threeFrames() {
    SwfWriter movie;
    movie.setBackgroundColor({10, 20, 30});
    movie.defineShape(1, square()).place(1, 1).frameLabel("start").showFrame();
    movie.moveTo(1, Matrix::translate(20, 0)).showFrame();
    movie.removeObject2(1).showFrame();
    return movie;
}

} // namespace

TEST(Movie, LoadsEveryContainerToTheSameIndex) {
    for (auto compression : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        SwfWriter movie = threeFrames();
        movie.setCompression(compression).setVersion(13);
        std::string error;
        auto loaded = parse(movie.bytes(), &error);
        ASSERT_TRUE(loaded) << error;
        EXPECT_FALSE(loaded->truncated()) << loaded->truncationReason();
        EXPECT_EQ(loaded->version(), 13);
        EXPECT_EQ(loaded->frameCount(), 3);
        EXPECT_EQ(loaded->root().frameTags(0).size(), 1u); // the place; ShowFrame and labels are not kept
        EXPECT_EQ(loaded->root().findLabel("START"), 0);
        EXPECT_EQ(loaded->backgroundColor(), (swf::format::Rgba{10, 20, 30, 255}));
        ASSERT_NE(loaded->character(1), nullptr);
        EXPECT_EQ(loaded->character(1)->kind, swf::format::CharacterKind::Shape);
        EXPECT_EQ(loaded->character(2), nullptr);
        EXPECT_EQ(loaded->tagStats().unknownTotal(), 0u);
        EXPECT_EQ(loaded->tagStats().brokenTotal(), 0u);
    }
}

TEST(Movie, RefusesWhatIsNotAMovie) {
    std::string error;
    EXPECT_FALSE(parse({}, &error));
    EXPECT_EQ(error, "not an SWF movie");
    EXPECT_FALSE(parse({'F', 'W', 'S', 6, 0, 0, 0}, &error));
    EXPECT_FALSE(parse({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, &error));
    EXPECT_EQ(error, "not an SWF movie");
    // A signature and nothing else: the header is missing.
    EXPECT_FALSE(parse({'F', 'W', 'S', 6, 8, 0, 0, 0}, &error));
    EXPECT_FALSE(error.empty());
    // A compressed body that is not zlib at all.
    EXPECT_FALSE(parse({'C', 'W', 'S', 6, 100, 0, 0, 0, 1, 2, 3, 4, 5}, &error));
    EXPECT_NE(error.find("decompress"), std::string::npos);
}

TEST(Movie, RefusesBodiesOverTheLimit) {
    SwfWriter movie = threeFrames();
    movie.setCompression(Compression::Zlib).setDeclaredLength(0xFFFFFFFFu);
    std::string error;
    EXPECT_FALSE(parse(movie.bytes(), &error));
    EXPECT_NE(error.find("512 MiB"), std::string::npos);
}

// A body that expands past deflate's largest ratio is a bomb whatever its header says; one
// that keeps within it loads. Loading can be cancelled while the body inflates.
TEST(Movie, BombsAreRefusedAndDecompressionCanBeCancelled) {
    SwfWriter dense = threeFrames();
    dense.setCompression(Compression::Lzma).rawTag(87, Bytes(8u << 20, 0));
    std::string error;
    EXPECT_FALSE(parse(dense.bytes(), &error));
    EXPECT_NE(error.find("ratio"), std::string::npos) << error;

    SwfWriter fair = threeFrames();
    Bytes noise(1u << 20);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    fair.setCompression(Compression::Zlib).rawTag(87, noise);
    const Bytes fairBytes = fair.bytes();
    ASSERT_TRUE(parse(fairBytes, &error)) << error;

    std::size_t calls = 0, lastProduced = 0;
    auto cancelled = Movie::fromBytes(fairBytes, error, [&](std::size_t produced) {
        lastProduced = produced;
        return ++calls < 2;
    });
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(error, "loading cancelled");
    EXPECT_EQ(calls, 2u);
    EXPECT_LT(lastProduced, noise.size());
}

TEST(Movie, DecompressionStopsAtTheDeclaredLength) {
    // A small declared length in front of a stream that inflates to 32 MiB.
    Bytes header = threeFrames().uncompressedBytes();
    Bytes body(header.begin() + 8, header.end());
    body.resize(32u << 20, 0);
    uLongf size = compressBound(body.size());
    Bytes packed(size);
    compress2(packed.data(), &size, body.data(), body.size(), 9);
    packed.resize(size);
    Bytes file{'C', 'W', 'S', 8};
    std::uint32_t declared = static_cast<std::uint32_t>(header.size());
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
    file.insert(file.end(), packed.begin(), packed.end());
    auto loaded = parse(file);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->body().size(), header.size() - 8);
    EXPECT_EQ(loaded->frameCount(), 3);
}

TEST(Movie, TruncatedMoviesKeepTheirCompleteFrames) {
    Bytes full = threeFrames().uncompressedBytes();
    // Cut inside the last frame's RemoveObject2 tag.
    Bytes cut(full.begin(), full.end() - 4);
    auto loaded = parse(cut);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->truncated());
    EXPECT_EQ(loaded->frameCount(), 2);

    // Compressed and cut: whatever inflates is used.
    SwfWriter zipped = threeFrames();
    zipped.setCompression(Compression::Zlib);
    Bytes z = zipped.bytes();
    z.resize(z.size() - 6);
    auto partial = parse(z);
    ASSERT_TRUE(partial);
    EXPECT_TRUE(partial->truncated());
    EXPECT_GE(partial->frameCount(), 1);

    // No End tag at all is tolerated.
    SwfWriter noEnd = threeFrames();
    noEnd.setAppendEnd(false);
    auto open = parse(noEnd.bytes());
    ASSERT_TRUE(open);
    EXPECT_EQ(open->frameCount(), 3);
}

TEST(Movie, LyingLengthsAndBrokenTagsAreCountedAndSkipped) {
    SwfWriter movie;
    movie.defineShape(1, square());
    Bytes junk{1, 2, 3};
    movie.rawTag(200, junk);                         // unknown code
    movie.rawTag(tag::DefineShape, Bytes{7});        // shape cut short
    movie.rawTag(tag::PlaceObject2, Bytes{0x06, 1}); // placement cut short
    movie.place(1, 1).showFrame();
    movie.rawTag(tag::DoInitAction, Bytes{1}); // no sprite id
    movie.showFrame();
    auto loaded = parse(movie.bytes());
    ASSERT_TRUE(loaded);
    const auto& stats = loaded->tagStats();
    EXPECT_EQ(stats.unknown.at(200), 1u);
    EXPECT_EQ(stats.broken.at(2), 1u);
    EXPECT_EQ(stats.broken.at(26), 1u);
    EXPECT_EQ(stats.broken.at(59), 1u);
    EXPECT_EQ(loaded->frameCount(), 2);
    EXPECT_EQ(loaded->root().frameTags(0).size(), 1u); // only the good placement

    // A tag whose long length points far past the end.
    SwfWriter liar = threeFrames();
    liar.rawBytes(Bytes{0x3F, 0x03, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2});
    auto lied = parse(liar.bytes());
    ASSERT_TRUE(lied);
    EXPECT_TRUE(lied->truncated());
    EXPECT_EQ(lied->frameCount(), 3);
}

TEST(Movie, FrameCountFollowsShowFramesAndSpritesGetTheirOwnIndex) {
    Sprite inner;
    inner.place(1, 1).frameLabel("in").showFrame().removeObject2(1).showFrame();
    inner.place(1, 1); // an unfinished frame: dropped
    SwfWriter movie;
    movie.setFrameCount(40);
    movie.defineShape(1, square()).defineSprite(5, inner, 9).place(5, 1).showFrame();
    movie.defineShape(1, square({0, 0, 0})); // duplicate id: the first definition wins
    auto loaded = parse(movie.bytes());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->declaredFrameCount(), 40);
    EXPECT_EQ(loaded->frameCount(), 1);
    EXPECT_EQ(loaded->tagStats().duplicateIds, 1u);
    auto* sprite = static_cast<const swf::format::SpriteCharacter*>(loaded->character(5));
    ASSERT_TRUE(sprite && sprite->kind == swf::format::CharacterKind::Sprite);
    EXPECT_EQ(sprite->timeline.declaredFrameCount, 9);
    EXPECT_EQ(sprite->timeline.frameCount(), 2);
    EXPECT_EQ(sprite->timeline.frameTags(0).size(), 1u);
    EXPECT_EQ(sprite->timeline.frameTags(2).size(), 0u);
    EXPECT_EQ(sprite->timeline.tags.size(), 2u);
    EXPECT_EQ(sprite->timeline.findLabel("in"), 0);
    auto* shape = static_cast<const swf::format::ShapeCharacter*>(loaded->character(1));
    EXPECT_EQ(shape->shape.styles.fills[0].color, (swf::format::Rgba{255, 0, 0, 255}));
}

TEST(Movie, SpriteNestedInSpriteIsBounded) {
    // DefineSprite tags nested ten deep: the outer levels load, the deepest are refused.
    Sprite level;
    level.showFrame();
    for (int i = 0; i < 10; ++i) {
        Sprite outer;
        outer.defineSprite(static_cast<std::uint16_t>(100 + i), level).showFrame();
        level = outer;
    }
    SwfWriter movie;
    movie.defineSprite(1, level).showFrame();
    auto loaded = parse(movie.bytes());
    ASSERT_TRUE(loaded);
    EXPECT_NE(loaded->character(1), nullptr);
    EXPECT_GT(loaded->tagStats().brokenTotal(), 0u);
}
