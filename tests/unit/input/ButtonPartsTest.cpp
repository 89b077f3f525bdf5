// The characters of a button's states as live objects: a sprite in a state plays and runs
// its frame scripts, a record shown in the next state too keeps its instance, the others
// go and come with the state, and scripts see the sprite's parent as the button's timeline.

#include "InputSession.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/ButtonObject.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

ShapeBuilder square(int pixels) {
    ShapeBuilder s;
    s.setFill1(s.addFill(FillStyle::solid({0, 0, 255}))).rectangle(0, 0, pixels * 20, pixels * 20);
    return s;
}

// A sprite of `frames` frames whose frame scripts trace "<name> <frame>".
Sprite tracingSprite(const std::string& name, int frames, const std::string& first = "") {
    Sprite s;
    s.place(1, 1);
    for (int f = 1; f <= frames; ++f) {
        s.doAction(code((f == 1 ? first : "") + "push \"" + name + " " + std::to_string(f) + "\"; trace"));
        s.showFrame();
    }
    return s;
}

swf::timeline::ButtonObject& buttonAt(Session& s, int depth) {
    return *s.player.root()->objectAt(depth)->as<swf::timeline::ButtonObject>();
}

} // namespace

TEST(ButtonParts, SpritesInStatesPlayAndComeAndGoWithTheState) {
    SwfWriter movie;
    movie.setVersion(6);
    movie.defineShape(1, square(20));
    // "up" only in the up state; "both" in up and over; "over" in the over state.
    movie.defineSprite(2, tracingSprite("up", 3, "push \"parent \"; push \"_parent\"; getvariable; add2; trace\n"));
    movie.defineSprite(3, tracingSprite("both", 4));
    movie.defineSprite(4, tracingSprite("over", 2));
    ButtonBuilder b;
    b.records.push_back(ButtonRecord::of(ButtonRecord::HitTest, 1, 1));
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up, 2, 2));
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::Over, 3, 3));
    b.records.push_back(ButtonRecord::of(ButtonRecord::Over, 4, 4));
    movie.defineButton(5, b, 2).place(5, 1);
    movie.showFrame();
    Session s(movie);
    s.run("wait\n");
    EXPECT_EQ(s.out, "parent _level0|up 1|both 1|up 2|both 2");
    s.out.clear();
    swf::timeline::Clip* both = buttonAt(s, 1).parts()->objectAt(3)->clip.get();
    ASSERT_NE(both, nullptr);
    // (Each run shows a frame first.) Over: "up" goes, "both" plays on as the same
    // instance, "over" starts.
    s.run("mouse_move 10 10\nwait\n");
    EXPECT_EQ(s.out, "up 3|both 3|over 1|both 4|over 2");
    EXPECT_EQ(buttonAt(s, 1).parts()->objectAt(3)->clip.get(), both);
    EXPECT_EQ(buttonAt(s, 1).parts()->objectAt(2), nullptr);
    ASSERT_NE(buttonAt(s, 1).parts()->objectAt(4), nullptr);
    // Out again: the up state's sprite starts over from its first frame.
    s.out.clear();
    s.run("mouse_move 300 300\n");
    EXPECT_EQ(s.out, "both 1|over 1|parent _level0|up 1");
    EXPECT_EQ(buttonAt(s, 1).parts()->objectAt(4), nullptr);
}

// Leaving the stage takes the parts with the button; a button inside its own state is
// not made again and again.
TEST(ButtonParts, PartsGoWithTheButtonAndNestingIsBounded) {
    SwfWriter movie;
    movie.setVersion(6);
    movie.defineShape(1, square(20));
    movie.defineSprite(2, tracingSprite("part", 2));
    ButtonBuilder b;
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up, 2, 2));
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up, 3, 3)); // itself
    movie.defineButton(3, b, 2).place(3, 1);
    movie.showFrame(2);
    movie.removeObject2(1);
    movie.doAction(code("stop"));
    movie.showFrame();
    Session s(movie);
    s.run("wait\nwait\nwait\n");
    EXPECT_EQ(s.out, "part 1|part 2");
    EXPECT_EQ(s.player.root()->objectAt(1), nullptr);
}
