// Flash's rules for PlaceObject on an occupied depth. Each movie is checked twice: played
// forward, and reached by seeking back from its last frame (snapshot replay), which must
// give the same list frame by frame.

#include "../player/EngineMovies.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace engine_test;

namespace {

// Unnamed instances are numbered in the order they are made, which seeking changes, so
// the lists compare without those numbers.
std::string rootList(const swf::Player& player) {
    std::string text = dump(player);
    text = text.substr(text.find('\n') + 1);
    for (std::size_t at = text.find("name \"instance"); at != std::string::npos;
         at = text.find("name \"instance", at + 1)) {
        std::size_t end = at + 6;
        std::size_t digits = end + 8;
        while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
            ++digits;
        if (digits < text.size() && text[digits] == '"')
            text.erase(end, digits - end);
    }
    return text;
}

// The root list of every frame played forward; seeking to each frame from the end must
// give the same lists.
std::vector<std::string> playedAndSought(const SwfWriter& movie) {
    swf::Player played;
    EXPECT_TRUE(load(played, movie));
    std::vector<std::string> lists;
    const int frames = [&] {
        played.tick();
        return played.totalFrames();
    }();
    lists.push_back(rootList(played));
    for (int f = 1; f < frames; ++f) {
        played.tick();
        lists.push_back(rootList(played));
    }
    swf::Player seeker;
    EXPECT_TRUE(load(seeker, movie));
    seeker.tick();
    for (int f = frames - 1; f >= 0; --f) {
        seeker.gotoFrame(frames - 1);
        seeker.gotoFrame(f);
        EXPECT_EQ(rootList(seeker), lists[static_cast<std::size_t>(f)]) << "seek to frame " << f;
    }
    return lists;
}

std::string line(int depth, const char* kind, int id, int tx, const char* tail = "") {
    return "  depth " + std::to_string(depth) + ": " + kind + " " + std::to_string(id) + " matrix(1,0,0,1," +
           std::to_string(tx) + ",0) cx() ratio 0 clip 0 name \"\"" + tail + "\n";
}

} // namespace

// A move naming another character swaps it only between shapes (DefineShape and morph);
// a sprite, button or field stays and takes the rest of the tag as a move.
TEST(PlaceRules, ReplaceSwapsTheCharacterOnlyBetweenShapes) {
    Sprite clip;
    clip.showFrame();
    ButtonBuilder button;
    button.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    EditText field;
    SwfWriter movie;
    movie.setVersion(8);
    movie.defineShape(1, square())
        .defineShape(2, square({0, 0, 255}))
        .defineMorphShape(3, MorphShapeBuilder());
    movie.defineSprite(4, clip).defineButton(5, button).defineEditText(6, field);
    movie.place(1, 1).place(1, 2).place(4, 3).place(1, 4).place(5, 5).place(6, 6).showFrame();
    auto replace = [&](std::uint16_t depth, std::uint16_t id) {
        PlaceObject p = placement(depth, id, true);
        p.matrix = Matrix::translate(7, 0);
        movie.placeObject2(p);
    };
    replace(1, 2); // shape -> shape
    replace(2, 3); // shape -> morph
    replace(3, 1); // sprite -> shape
    replace(4, 4); // shape -> sprite
    replace(5, 2); // button -> shape
    replace(6, 1); // field -> shape
    movie.showFrame(2);

    const auto lists = playedAndSought(movie);
    ASSERT_EQ(lists.size(), 3u);
    EXPECT_EQ(lists[1], line(1, "shape", 2, 7) + line(2, "morphshape", 3, 7) +
                            line(3, "sprite", 4, 7, " frame 1/1 playing") + line(4, "shape", 1, 7) +
                            line(5, "button", 5, 7) + line(6, "edittext", 6, 7));
    EXPECT_EQ(lists[2], lists[1]);
}

// From SWF 6 on, a placement without the move flag on an occupied depth is ignored.
TEST(PlaceRules, NewPlacementOnAnOccupiedDepthIsIgnoredFromVersion6) {
    for (int version : {6, 8}) {
        SwfWriter movie;
        movie.setVersion(static_cast<std::uint8_t>(version));
        movie.defineShape(1, square()).defineShape(2, square({0, 0, 255}));
        movie.place(1, 1).showFrame();
        movie.place(2, 1, Matrix::translate(40, 0)).place(1, 1, Matrix::translate(60, 0)).showFrame();
        const auto lists = playedAndSought(movie);
        ASSERT_EQ(lists.size(), 2u);
        EXPECT_EQ(lists[1], line(1, "shape", 1, 0)) << "version " << version;
    }
}

// An object a script made is never swapped for a timeline character, even a shape.
TEST(PlaceRules, ScriptObjectsAreNotReplaced) {
    SwfWriter movie;
    movie.defineShape(1, square()).defineShape(2, square({0, 0, 255}));
    movie.showFrame();
    movie.placeObject2(placement(3, 2, true)).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    ASSERT_NE(player.root()->placeScripted(1, 3, "made"), nullptr);
    player.tick();
    ASSERT_NE(player.root()->objectAt(3), nullptr);
    EXPECT_EQ(player.root()->objectAt(3)->characterId, 1);
}

// SWF 5 and earlier keep both: the new object under the old. Tags then act on the top one,
// so removing the depth uncovers the lower one.
TEST(PlaceRules, NewPlacementOnAnOccupiedDepthGoesUnderInVersion5) {
    Sprite clip;
    clip.showFrame();
    SwfWriter movie;
    movie.setVersion(5);
    movie.defineShape(1, square()).defineShape(2, square({0, 0, 255})).defineSprite(3, clip);
    movie.place(1, 1).place(3, 2).showFrame();
    movie.place(2, 1, Matrix::translate(40, 0)).place(3, 2, Matrix::translate(5, 0)).showFrame();
    movie.moveTo(1, Matrix::translate(60, 0)).showFrame();
    movie.removeObject2(1).removeObject2(2).showFrame();
    const auto lists = playedAndSought(movie);
    ASSERT_EQ(lists.size(), 4u);
    const std::string sprite = " frame 1/1 playing";
    EXPECT_EQ(lists[1], line(1, "shape", 2, 40) + line(1, "shape", 1, 0) +
                            line(2, "sprite", 3, 5, sprite.c_str()) +
                            line(2, "sprite", 3, 0, sprite.c_str()));
    EXPECT_EQ(lists[2], line(1, "shape", 2, 40) + line(1, "shape", 1, 60) +
                            line(2, "sprite", 3, 5, sprite.c_str()) +
                            line(2, "sprite", 3, 0, sprite.c_str()));
    EXPECT_EQ(lists[3], line(1, "shape", 2, 40) + line(2, "sprite", 3, 5, sprite.c_str()));

    // Both sprites are live instances.
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    ticks(player, 2);
    int clips = 0;
    player.root()->forEachClip([&](swf::timeline::Clip&) { ++clips; });
    EXPECT_EQ(clips, 3); // the root and both
}
