#include "../player/EngineMovies.h"

#include "swf/timeline/SeekIndex.h"
#include "swf/timeline/World.h"

#include <gtest/gtest.h>

#include <random>

using namespace engine_test;

namespace {

std::string rootList(const swf::Player& player) {
    std::string text = dump(player);
    return text.substr(text.find('\n') + 1); // without the playhead line
}

} // namespace

TEST(Timeline, PlaceMoveReplaceRemove) {
    SwfWriter movie;
    movie.defineShape(1, square()).defineShape(2, square({0, 0, 255}));
    PlaceObject first = placement(1, 1, false);
    first.matrix = Matrix::translate(10, 20);
    ColorTransform red;
    red.redAdd = 50;
    first.colorTransform = red;
    first.name = "a";
    movie.placeObject2(first).showFrame();
    movie.moveTo(1, Matrix::translate(30, 40)).showFrame(); // move keeps colour and name
    PlaceObject swap = placement(1, 2, true);               // replace keeps the matrix
    swap.ratio = 7;
    movie.placeObject2(swap).showFrame();
    movie.removeObject2(1).showFrame();
    movie.placeObject(1, 5, Matrix::translate(1, 2)).removeObject(1, 5).showFrame();

    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    EXPECT_EQ(rootList(player),
              "  depth 1: shape 1 matrix(1,0,0,1,10,20) cx(256,256,256,256;50,0,0,0) ratio 0 clip 0 "
              "name \"a\"\n");
    player.tick();
    EXPECT_EQ(rootList(player),
              "  depth 1: shape 1 matrix(1,0,0,1,30,40) cx(256,256,256,256;50,0,0,0) ratio 0 clip 0 "
              "name \"a\"\n");
    player.tick();
    EXPECT_EQ(rootList(player),
              "  depth 1: shape 2 matrix(1,0,0,1,30,40) cx(256,256,256,256;50,0,0,0) ratio 7 clip 0 "
              "name \"a\"\n");
    player.tick();
    EXPECT_EQ(rootList(player), "");
    player.tick();
    EXPECT_EQ(rootList(player), "");
}

TEST(Timeline, MoveOfAnEmptyDepthAndUndefinedCharactersAreIgnored) {
    SwfWriter movie;
    movie.defineShape(1, square());
    movie.moveTo(4, Matrix::translate(5, 5)).place(99, 2).place(1, 3).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    EXPECT_EQ(rootList(player), "  depth 3: shape 1 matrix(1,0,0,1,0,0) cx() ratio 0 clip 0 name \"\"\n");
}

TEST(Timeline, GotoBackAndForthAcrossRemovalsKeepsStayingInstances) {
    Sprite inner;
    inner.showFrame(4);
    SwfWriter movie;
    movie.defineShape(1, square());
    movie.defineSprite(2, inner);
    movie.placeObject2([] {
        auto p = placement(1, 2, false);
        p.name = "stay";
        return p;
    }());
    movie.place(1, 2).showFrame();                          // frame 0
    movie.removeObject2(2).showFrame();                     // 1
    movie.moveTo(1, Matrix::translate(100, 0)).showFrame(); // 2
    movie.place(1, 2, Matrix::translate(7, 7)).showFrame(); // 3

    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    ASSERT_NE(player.root()->objectAt(1), nullptr);
    auto stay = player.root()->objectAt(1)->serial;
    ticks(player, 2); // sprite advanced by two frames
    EXPECT_EQ(player.root()->findChild("stay")->currentFrame(), 2);

    player.gotoFrame(0);
    EXPECT_NE(player.root()->objectAt(2), nullptr); // back again
    EXPECT_EQ(player.root()->objectAt(1)->serial, stay);
    EXPECT_EQ(player.root()->findChild("stay")->currentFrame(), 2); // same instance, same state
    player.gotoFrame(3);
    EXPECT_EQ(player.root()->objectAt(2)->matrix.tx, 7);
    EXPECT_EQ(player.root()->objectAt(1)->matrix.tx, 100);
    player.gotoFrame(1);
    EXPECT_EQ(player.root()->objectAt(2), nullptr);
    EXPECT_EQ(player.root()->objectAt(1)->matrix.tx, 0);
    EXPECT_EQ(player.root()->objectAt(1)->serial, stay);
}

// A long movie with pseudo-random placements: seeking anywhere must land on the
// display list that playing there produces, through snapshots or not.
TEST(Timeline, SeekLandsOnTheSameListAsPlaying) {
    SwfWriter movie;
    movie.defineShape(1, square()).defineShape(2, square({0, 255, 0}));
    std::mt19937 rng(7);
    std::vector<bool> used(12, false);
    const int frames = 300;
    for (int f = 0; f < frames; ++f) {
        for (int k = 0; k < 3; ++k) {
            int depth = 1 + rng() % 12;
            int what = rng() % 4;
            if (!used[depth - 1]) {
                movie.place(1 + rng() % 2, depth, Matrix::translate(f, k));
                used[depth - 1] = true;
            } else if (what == 0) {
                movie.removeObject2(depth);
                used[depth - 1] = false;
            } else if (what == 1) {
                movie.placeObject2([&] {
                    auto p = placement(depth, 1 + rng() % 2, true);
                    p.ratio = f;
                    return p;
                }());
            } else {
                movie.moveTo(depth, Matrix::translate(f * 3, depth));
            }
        }
        movie.showFrame();
    }
    swf::Player played;
    ASSERT_TRUE(load(played, movie));
    std::vector<std::string> expected;
    for (int f = 0; f < frames; ++f) {
        played.tick();
        ASSERT_EQ(played.currentFrame(), f);
        expected.push_back(rootList(played));
    }
    swf::Player seeker;
    ASSERT_TRUE(load(seeker, movie));
    seeker.tick();
    for (int f : {299, 5, 150, 151, 64, 63, 0, 298, 33, 200, 31, 32, 250, 100}) {
        seeker.gotoFrame(f);
        EXPECT_EQ(rootList(seeker), expected[f]) << "seek to " << f;
    }
    for (int i = 0; i < 100; ++i) {
        int f = rng() % frames;
        seeker.gotoFrame(f);
        ASSERT_EQ(rootList(seeker), expected[f]) << "seek to " << f;
    }
}

TEST(Timeline, SelfPlacingSpritesAreBounded) {
    // Sprite 1 places itself twice: without limits this would never end.
    Sprite self;
    self.place(1, 1).place(1, 2).showFrame(2);
    SwfWriter movie;
    movie.defineSprite(1, self).place(1, 1).showFrame(2);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    ticks(player, 4);
    int deepest = 0;
    std::size_t clips = 0;
    player.root()->forEachClip([&](swf::timeline::Clip& c) {
        deepest = std::max(deepest, c.nesting());
        ++clips;
    });
    EXPECT_LE(deepest, swf::timeline::kMaxNesting);
    EXPECT_LE(clips, swf::timeline::kMaxLiveObjects + 1);
    EXPECT_GT(clips, 1u);
}

TEST(Timeline, ResolvesSlashAndDotPaths) {
    Sprite leaf;
    leaf.showFrame();
    Sprite branch;
    branch.placeObject2([] {
        auto p = placement(1, 2, false);
        p.name = "leaf";
        return p;
    }());
    branch.showFrame();
    SwfWriter movie;
    movie.setVersion(6);
    movie.defineSprite(2, leaf).defineSprite(3, branch);
    movie.placeObject2([] {
        auto p = placement(1, 3, false);
        p.name = "Branch";
        return p;
    }());
    movie.showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    auto* root = player.root();
    auto* leafClip = root->resolvePath("/branch/leaf"); // case-insensitive before SWF 7
    ASSERT_NE(leafClip, nullptr);
    EXPECT_EQ(leafClip->targetPath(), "/Branch/leaf");
    EXPECT_EQ(leafClip->resolvePath("../.."), root);
    EXPECT_EQ(leafClip->resolvePath("_root.Branch.leaf"), leafClip);
    EXPECT_EQ(leafClip->resolvePath("_parent"), root->findChild("Branch"));
    EXPECT_EQ(root->resolvePath("/nothing/here"), nullptr);
    EXPECT_EQ(root->resolvePath("_level3"), nullptr);
    EXPECT_EQ(root->resolvePath(".."), nullptr);
}

TEST(Timeline, ScriptEditsSurviveTheTimeline) {
    Sprite inner;
    inner.showFrame(2);
    SwfWriter movie;
    movie.defineShape(1, square()).defineSprite(2, inner);
    movie.place(1, 1).showFrame();
    movie.moveTo(1, Matrix::translate(50, 0)).showFrame();
    movie.removeObject2(1).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    auto* root = player.root();
    ASSERT_NE(root->placeScripted(2, 100, "made"), nullptr);
    ASSERT_NE(root->createEmptyClip(101, "empty"), nullptr);
    ASSERT_NE(root->duplicate(100, 102, "copy"), nullptr);
    EXPECT_EQ(root->placeScripted(999, 103, "nothing"), nullptr);
    EXPECT_EQ(root->nextHighestDepth(), 103);
    root->objectAt(1)->matrix.tx = 7; // a script moved it
    root->objectAt(1)->scriptTransformed = true;

    player.tick(); // the timeline's move does not override the script's position
    EXPECT_EQ(root->objectAt(1)->matrix.tx, 7);
    auto* made = root->findChild("made");
    ASSERT_NE(made, nullptr);
    root->swapDepths(100, 5);
    EXPECT_EQ(root->findChild("made"), made); // same instance at its new depth
    EXPECT_EQ(made->displayObject()->depth, 5);
    player.gotoFrame(0); // rebuilds from the start: scripted objects stay
    EXPECT_NE(root->findChild("empty"), nullptr);
    EXPECT_NE(root->findChild("copy"), nullptr);
    EXPECT_EQ(root->findChild("made"), made);
    EXPECT_EQ(root->findChild("empty")->totalFrames(), 1);
    ticks(player, 2);
    ASSERT_EQ(player.currentFrame(), 2);
    EXPECT_EQ(root->objectAt(1), nullptr); // removed by the timeline at frame 3
    EXPECT_NE(root->findChild("copy"), nullptr);
}
