#include "EngineMovies.h"

#include "swf/movie/Movie.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace {

// Frames 1..n, each labelled "fN", with the square moved to x = 20 * frame.
SwfWriter labelledMovie(int frames) {
    SwfWriter movie;
    movie.defineShape(1, square());
    movie.place(1, 1);
    for (int f = 1; f <= frames; ++f) {
        if (f > 1)
            movie.moveTo(1, Matrix::translate(20 * f, 0));
        movie.frameLabel("f" + std::to_string(f)).showFrame();
    }
    return movie;
}

} // namespace

TEST(Player, FirstTickShowsFrameZeroAndStopOnItHolds) {
    SwfWriter movie = labelledMovie(3);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    EXPECT_FALSE(player.hasShownFirstFrame());
    EXPECT_EQ(player.totalFrames(), 3);
    EXPECT_EQ(player.currentFrame(), 0);

    SwfWriter stopping;
    stopping.defineShape(1, square()).place(1, 1).doAction(act::stop()).showFrame().showFrame(2);
    ASSERT_TRUE(load(player, stopping));
    ticks(player, 5);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_FALSE(player.isPlaying());
    player.play();
    player.tick();
    EXPECT_EQ(player.currentFrame(), 1);
}

TEST(Player, LoopWrapsOrStopsOnTheLastFrame) {
    SwfWriter movie = labelledMovie(3);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        player.tick();
        seen.push_back(player.currentFrame());
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0, 1}));

    player.setLoop(false);
    ticks(player, 4);
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.loop());

    // Loop persists across loads, as the control's property does.
    ASSERT_TRUE(load(player, movie));
    EXPECT_FALSE(player.loop());
}

TEST(Player, FrameControlClampsAndSteps) {
    SwfWriter movie = labelledMovie(5);
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    player.gotoFrame(99);
    EXPECT_EQ(player.currentFrame(), 4);
    EXPECT_TRUE(player.isPlaying()); // a seek keeps the play state
    player.gotoFrame(-7);
    EXPECT_EQ(player.currentFrame(), 0);
    player.forward();
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_FALSE(player.isPlaying());
    player.back();
    player.back(); // no-op on frame 0
    EXPECT_EQ(player.currentFrame(), 0);
    player.gotoFrame(4);
    player.forward(); // no-op on the last frame
    EXPECT_EQ(player.currentFrame(), 4);
    player.setPlaying(true);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.root()->objectAt(1)->matrix.tx, 100);
}

TEST(Player, HeaderFactsAndZeroFrameRate) {
    SwfWriter movie = labelledMovie(1);
    movie.setFrameRateRaw(0).setStageSize(320, 240).setBackgroundColor({1, 2, 3});
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    EXPECT_EQ(player.frameRate(), 12.0);
    EXPECT_EQ(player.stageRect().xMax, 320 * 20);
    EXPECT_EQ(player.stageRect().yMax, 240 * 20);
    EXPECT_EQ(player.backgroundColor(), (swf::format::Rgba{1, 2, 3, 255}));

    movie.setFrameRate(7.5);
    ASSERT_TRUE(load(player, movie));
    EXPECT_DOUBLE_EQ(player.frameRate(), 7.5);
}

TEST(Player, FailedLoadUnloadsAndReports) {
    swf::Player player;
    ASSERT_TRUE(load(player, labelledMovie(2)));
    EXPECT_FALSE(player.loadFromBytes({'n', 'o', 't', ' ', 'a', ' ', 's', 'w', 'f'}));
    EXPECT_FALSE(player.isLoaded());
    EXPECT_FALSE(player.error().empty());
    EXPECT_EQ(player.root(), nullptr);
    EXPECT_EQ(player.totalFrames(), 0);
    player.tick(); // harmless without a movie
    player.gotoFrame(3);
    EXPECT_FALSE(player.load("/nonexistent/movie.swf"));
    EXPECT_FALSE(player.error().empty());
    EXPECT_FALSE(player.load("/tmp"));
    EXPECT_NE(player.error().find("not a file"), std::string::npos);
}

TEST(Player, DisplayGenerationMovesOnlyWithVisibleChanges) {
    SwfWriter movie;
    movie.defineShape(1, square()).place(1, 1).doAction(act::stop()).showFrame();
    movie.moveTo(1, Matrix::translate(100, 0)).showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    auto shown = player.displayGeneration();
    ticks(player, 3); // stopped on a static frame
    EXPECT_EQ(player.displayGeneration(), shown);
    player.forward();
    EXPECT_NE(player.displayGeneration(), shown);
}

TEST(Player, TimelineActionsDriveTheRootAndSprites) {
    // Frame 1 jumps to label "end" by GoToLabel and plays on.
    Sprite spinner;
    spinner.showFrame(3);
    SwfWriter jumper;
    jumper.defineShape(1, square());
    jumper.defineSprite(2, spinner);
    jumper.place(1, 1).placeObject2([] {
        auto p = placement(2, 2, false);
        p.name = "spin";
        return p;
    }());
    jumper.doAction(cat({act::gotoLabel("end"), act::play()})).showFrame();
    jumper.showFrame();
    jumper.frameLabel("end")
        .doAction(cat({act::setTarget("spin"), act::stop(), act::setTarget(""), act::pushString("four"),
                       act::gotoFrame2(false)}))
        .showFrame();
    jumper.frameLabel("four").showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, jumper));
    player.tick();
    EXPECT_EQ(player.currentFrame(), 2); // the label's frame, displayed at once
    player.tick();                       // frame 3's actions run first: stop the sprite, go to "four"
    EXPECT_EQ(player.currentFrame(), 3);
    EXPECT_FALSE(player.isPlaying());
    auto* spin = player.root()->findChild("spin");
    ASSERT_NE(spin, nullptr);
    EXPECT_FALSE(spin->isPlaying());
    int frame = spin->currentFrame();
    ticks(player, 3);
    EXPECT_EQ(spin->currentFrame(), frame);

    // GotoFrame2 with a number counts from 1; unknown labels are ignored.
    SwfWriter m2;
    m2.defineShape(1, square())
        .place(1, 1)
        .doAction(cat(
            {act::pushString("nowhere"), act::gotoFrame2(false), act::pushInt(2), act::gotoFrame2(false)}))
        .showFrame(3);
    ASSERT_TRUE(load(player, m2));
    player.tick();
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_FALSE(player.isPlaying());
}

TEST(Player, GotoFromScriptRunsTheTargetFramesActionsOnTheNextTick) {
    SwfWriter movie;
    movie.defineShape(1, square()).place(1, 1).doAction(act::gotoFrame(2)).showFrame();
    movie.showFrame();
    movie.doAction(cat({act::gotoFrame(3), act::play()})).showFrame(); // frame 3 (index 2)
    movie.doAction(act::stop()).showFrame();                           // index 3
    movie.showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    player.tick();
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.isPlaying()); // GotoFrame stops
    player.tick();                    // frame index 2's actions: jump to index 3 and play
    EXPECT_EQ(player.currentFrame(), 3);
    player.tick(); // index 3's stop runs before the playhead would move on
    EXPECT_EQ(player.currentFrame(), 3);
    EXPECT_FALSE(player.isPlaying());
}

TEST(Player, DumpGoldenOfNestedSpritesWhileTheRootIsStopped) {
    SwfWriter movie;
    movie.defineShape(1, square());
    Sprite walker;
    walker.place(1, 1).showFrame().moveTo(1, Matrix::translate(100, 0)).showFrame();
    walker.moveTo(1, Matrix::translate(200, 0)).showFrame();
    movie.defineSprite(2, walker);
    PlaceObject kid = placement(3, 2, false);
    kid.name = "kid";
    kid.matrix = Matrix::scale(2, 0.5, 60, 80);
    ColorTransform half;
    half.alphaMult = 128;
    kid.colorTransform = half;
    movie.place(1, 1).placeObject2(kid).doAction(act::stop()).showFrame().showFrame();
    swf::Player player;
    ASSERT_TRUE(load(player, movie));
    ticks(player, 3);
    EXPECT_EQ(dump(player), "frame 1/2 stopped\n"
                            "  depth 1: shape 1 matrix(1,0,0,1,0,0) cx() ratio 0 clip 0 name \"\"\n"
                            "  depth 3: sprite 2 matrix(2,0,0,0.5,60,80) cx(256,256,256,128;0,0,0,0) ratio 0 "
                            "clip 0 name \"kid\" frame 3/3 playing\n"
                            "    depth 1: shape 1 matrix(1,0,0,1,200,0) cx() ratio 0 clip 0 name \"\"\n");
    player.tick();
    EXPECT_NE(dump(player).find("frame 1/3 playing"), std::string::npos); // the sprite loops
}
